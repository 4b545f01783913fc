// Reading statements into their stored form (see statements.h): lists of
// statements, control statements with their conditions and bodies, and the
// token texts of plain statements, conditions and loop headers.
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/statements.h"

namespace tavrin {

std::int32_t statement_depth = 0;
bool in_sys_func = false;
nameptr last_attached = nullptr;
condexptr last_good_one = nullptr;
comptr last_comm = nullptr;
tokentipe sys_func_token = {"", -1};

namespace {

bool begins_with_digit(const char* s) { return s[0] >= '0' && s[0] <= '9'; }

void set_token(const char* w) {
  std::snprintf(token.name, sizeof token.name, "%s", w);
  token.address = -1;
}

bool at_input_end(textptr inf, nameptr* flag) {
  return *flag == nullptr && inf != nullptr && *inf != nullptr && (*inf)->at_eof();
}

// Does the current token end a list whose end word is `stop`?
bool ends_list(const char* stop) {
  if (std::strcmp(stop, "elfi*") == 0) return tok_is("else") || tok_is("fi");
  if (std::strcmp(stop, "od") == 0 && tok_is("else")) return true;  // reported as 214
  return tok_is(stop);
}

// The word that opens a pair closed by endflag, or nil.
const char* opening_word(const char* endflag) {
  if (std::strcmp(endflag, ")") == 0) return "(";
  if (std::strcmp(endflag, "]") == 0) return "[";
  if (std::strcmp(endflag, "od") == 0) return "do";
  if (std::strcmp(endflag, "elfi*") == 0 || std::strcmp(endflag, "fi") == 0) return "if";
  return nullptr;
}
bool opens_pair(const char* endflag) {
  if (std::strcmp(endflag, ".") == 0) return tok_is("Function") || tok_is("Func");
  const char* w = opening_word(endflag);
  return w != nullptr && tok_is(w);
}

using nodes::new_name;

// A token chain under construction, given back unless released.
class ChainOwner {
 public:
  nameptr head = nullptr;
  ~ChainOwner() { freename(head); }
};

// The input ended inside what `opener` opened: error 103 naming it.
[[noreturn]] void input_ended(const char* opener) {
  tokentipe t{};
  std::snprintf(t.name, sizeof t.name, "%s", opener);
  t.address = -1;
  abandon(input_ended_inside_unfinished_statement_definition_error, &t);
}

// Reads the next character of a literal or comment as the current token.
void read_single(textptr inf, nameptr* flag, const char* where) {
  if (at_input_end(inf, flag)) input_ended(std::strcmp(where, "comment") == 0 ? "{" : "'");
  bool endline = false;
  dumbscanner(inf, &token, flag, &endline);
  if (endline) {
    std::printf(" Warning. End of line encountered inside a %s.\n", where);
    std::fflush(stdout);
  }
}

// The reader of one statement: the environment its helpers share.
struct FormReader {
  textptr inf;
  nameptr* flag;
  bool* once_more;
  tokentipe* realtok;
  bool forloop = false;

  // "{" current: one comment appended to *comms; the token after "}"
  // is current afterwards.
  void comment(comptr* comms) {
    comptr c = new comnode{nullptr, nullptr};
    comptr* tail = comms;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = c;
    nameptr* chars = &c->q;
    for (;;) {
      read_single(inf, flag, "comment");
      if (tok_is("}")) break;
      *chars = new_name(token);
      (*chars)->let.address = -1;
      chars = &(*chars)->next;
    }
    scanner(inf, &token, flag);
  }

  // The token text from the current token up to the end of a statement
  // ended by endflag (the ending word not stored).
  nameptr attach(const char* endflag) {
    ChainOwner chain;
    chain.head = new_name(token);
    nameptr last = chain.head;
    auto append = [&last](const tokentipe& t) {
      last->next = new_name(t);
      last = last->next;
    };
    const bool header = forloop;
    forloop = false;
    if (tok_is(";")) {  // an empty statement: the ";" alone
      append(token);
    } else {
      std::int32_t count = opens_pair(endflag) ? 2 : 1;
      const bool body_of_function = std::strcmp(endflag, ".") == 0;
      // Definitions written inside the statement: open_defs counts those
      // opened; a "Function" or "Func" waits for its name (pending_def).
      std::int32_t open_defs = 0;
      bool pending_def = tok_is("Function") || tok_is("Func");
      if (header) append(tokentipe{":", -1});
      bool maybe_more = false, literal = false, in_comment = false;
      bool prev_digit = false;
      std::int32_t semis = 0;  // ";" in a row
      for (;;) {
        // insertval: store the current token and read the next.
        if (!maybe_more) {
          tokentipe t = token;
          if (header && (tok_is("to") || tok_is("by"))) {
            t.name[0] = ' ';
            std::memcpy(t.name + 1, token.name, 3);  // "to" or "by" and its zero
            t.address = -1;
          } else if (t.name[0] >= 'A' && t.name[0] <= 'Z') {
            t.address = hash(t.name, 71);
          } else if (t.name[0] >= 'a' && t.name[0] <= 'z') {
            t.address = hash(t.name, 151);
          }
          append(t);
          prev_digit = begins_with_digit(token.name);
        }
        if (tok_is("'") && !in_comment) literal = !literal;
        if (literal || in_comment) {
          read_single(inf, flag, literal ? "literal" : "comment");
        } else {
          if (!maybe_more) last->space = leftover[0] == ' ';
          scanner(inf, &token, flag);
        }
        if (in_comment) {
          if (tok_is("}")) in_comment = false;
          continue;
        }
        if (literal) continue;
        if (tok_is("{")) {
          in_comment = true;
          continue;
        }
        if (pending_def) {
          // Only a capitalised name after the word opens a definition.
          if (token.name[0] >= 'A' && token.name[0] <= 'Z') {
            ++open_defs;
          } else if (body_of_function) {
            --count;
          }
          pending_def = false;
        }
        if (maybe_more) {
          // A held-back "." is a decimal point before digits; otherwise it
          // closes a definition.
          if (!begins_with_digit(token.name)) {
            --count;
            if (--open_defs < 0) break;
          }
          append(tokentipe{".", -1});
          maybe_more = false;
        }
        if (tok_is(endflag) || (std::strcmp(endflag, "elfi*") == 0 && tok_is("fi")) ||
            (tok_is("else") && count == 1)) {
          if (body_of_function && prev_digit && tok_is(".")) {
            maybe_more = true;
            continue;
          }
          --count;
          if (body_of_function && --open_defs < 0) break;
        } else if (opens_pair(endflag)) {
          ++count;
        }
        if (tok_is("Function") || tok_is("Func")) pending_def = true;
        if ((tok_is(";") && open_defs <= 0) || count < 1) break;
        if (open_defs > 0 && at_input_end(inf, flag)) input_ended("Func");
        // At the terminal a line end yields ";" again and again: a run of
        // them inside a definition gives up on it, as a body's run does.
        semis = tok_is(";") && tt_flag && *flag == nullptr ? semis + 1 : 0;
        if (semis >= 15) {
          if ((*inf)->only_white_space_left()) input_ended("Func");
          abandon(too_many_empty_statements_row_error, &token);
        }
      }
      if (maybe_more) {
        *realtok = token;
        set_token(".");
        *once_more = false;
      }
    }
    append(tokentipe{"", -1});
    std::memcpy(last->let.name, end_marker_name, sizeof end_marker_name);
    nameptr text = chain.head->next;
    chain.head->next = nullptr;
    last_attached = text;
    return text;
  }
};

}  // namespace

void basic_form(condexptr* q, comptr* comm, const char* endflag, textptr inf, nameptr* flag,
                bool* once_more, tokentipe* realtok) {
  FormReader reader{inf, flag, once_more, realtok};
  newcond(q);
  condexptr c = *q;
  c->cond = c->expr = nullptr;
  c->form1 = c->form2 = nullptr;
  c->next = nullptr;
  c->aloop = false;
  if (in_sys_func && tok_is(";")) {
    // An empty statement of a system function is the statement 0; the ";"
    // stays current and separates it from the next.
    c->expr = new_name(tokentipe{"0", -1});
    c->expr->next = new_name(tokentipe{"", -1});
    std::memcpy(c->expr->next->let.name, end_marker_name, sizeof end_marker_name);
    return;
  }
  while (tok_is("{")) reader.comment(comm);
  if (tok_is("else") || tok_is("fi") || tok_is("od")) abandon(misplaced_else_fi_od_error, &token);
  const char* end_word = nullptr;
  if (tok_is("if")) {
    end_word = "then";
  } else if (tok_is("while") || tok_is("for")) {
    end_word = "do";
    c->aloop = true;
  } else {
    c->expr = reader.attach(endflag);
    return;
  }
  NestingLevel level;
  reader.forloop = tok_is("for");
  const char* const keyword = tok_is("if") ? "if" : tok_is("while") ? "while" : "for";
  if (doing_sys_func) {
    token = sys_func_token;
    doing_sys_func = false;
  } else {
    scanner(inf, &token, flag);
  }
  c->cond = reader.attach(end_word);
  if (!tok_is(end_word)) abandon(semicolon_end_word_expected_error, &token);
  scanner(inf, &token, flag);
  right_side(&c->form1, c->aloop ? "od" : "elfi*", inf, flag, once_more, realtok, keyword);
  if (tok_is("else")) {
    if (c->aloop) abandon(else_after_loop_body_error, &token);
    scanner(inf, &token, flag);
    right_side(&c->form2, "fi", inf, flag, once_more, realtok, keyword);
  }
  if (!tok_is(c->aloop ? "od" : "fi")) input_ended(keyword);
  scanner(inf, &token, flag);
}

void right_side(formptr* q, const char* stop, textptr inf, nameptr* flag, bool* once_more,
                tokentipe* realtok, const char* opener) {
  const bool closable = std::strcmp(stop, "od") == 0 || std::strcmp(stop, "elfi*") == 0 ||
                        std::strcmp(stop, "fi") == 0;
  newform(q);
  formptr entry = *q;
  entry->cptr = nullptr;
  entry->comms = nullptr;
  entry->next = nullptr;
  semicount = 0;
  for (;;) {
    basic_form(&entry->cptr, &entry->comms, stop, inf, flag, once_more, realtok);
    // The ";" that the end of input yields closes nothing.
    if (tok_is(";") && at_input_end(inf, flag)) input_ended(opener);
    if (tok_is(";") && tt_flag && *flag == nullptr) {
      ++semicount;
    } else {
      semicount = 0;
    }
    // At the terminal a line end stays in the stream and yields ";" again
    // and again: a run of them that would close the body (or give up on it)
    // stands for the end of input when nothing but white space follows.
    const bool closing_run = (in_sys_func && closable && semicount >= 12) || semicount >= 15;
    if (closing_run && (*inf)->only_white_space_left()) input_ended(opener);
    if (in_sys_func && closable && semicount >= 12) {
      // Twelve ";" in a row at the terminal close the open body.
      last_good_one = entry->cptr;
      last_comm = entry->comms;
      semicount = 0;
      set_token(std::strcmp(stop, "od") == 0 ? "od" : "fi");
      return;
    }
    if (semicount == 1) {
      last_good_one = entry->cptr;
      last_comm = entry->comms;
    }
    if (semicount >= 15) abandon(too_many_empty_statements_row_error, &token);
    if (ends_list(stop)) return;
    if (tok_is(";")) {
      scanner(inf, &token, flag);
      if (ends_list(stop)) return;
    } else if (tok_is("{")) {
      abandon(open_brace_not_allowed_semicolon_end_word_error, &token);
    } else {
      abandon(semicolon_end_word_expected_error, &token);
    }
    newform(&entry->next);
    entry = entry->next;
    entry->cptr = nullptr;
    entry->comms = nullptr;
    entry->next = nullptr;
  }
}

void spec_right_side(formptr* q, textptr inf, nameptr* flag, const char* endflag) {
  semicount = 0;
  bool once_more = true;
  tokentipe realtok{};
  newform(q);
  (*q)->cptr = nullptr;
  (*q)->comms = nullptr;
  (*q)->next = nullptr;
  basic_form(&(*q)->cptr, &(*q)->comms, endflag, inf, flag, &once_more, &realtok);
  if (tok_is(";") && tt_flag && *flag == nullptr) {
    if (++semicount == 1) {
      last_good_one = (*q)->cptr;
      last_comm = (*q)->comms;
    }
    if (semicount >= 15) abandon(too_many_empty_statements_row_error, &token);
  } else {
    semicount = 0;
  }
}

}  // namespace tavrin
