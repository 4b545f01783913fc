#include "frontend/function_listing.h"

#include <cstring>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "toplevel/charsets.h"
#include "toplevel/display.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "frontend/listings.h"

namespace tavrin {

namespace {

constexpr std::int32_t body_indent = 4;
constexpr std::int32_t nest_indent = 3;

// The token "€" (0xE2 0x82 0xAC) that names the system function.
constexpr char sys_func_name[] = "\xE2\x82\xAC";

bool is(const nameptr t, const char* s) { return std::strcmp(t->let.name, s) == 0; }

void blanks(std::FILE* outf, std::int32_t n) {
  for (std::int32_t k = 0; k < n; ++k) std::fputc(' ', outf);
}

// The line end after "then", "do" (after_word) or after a body and "else".
void line_end(std::FILE* outf, bool outf_is_tty, bool after_word) {
  if (outf_is_tty || uglyprint)
    std::fprintf(outf, " %c\n", continuation);
  else
    std::fprintf(outf, after_word ? " \n" : "\n");
}

void separator(std::FILE* outf, bool outf_is_tty) {
  if (outf_is_tty || uglyprint)
    std::fprintf(outf, "; %c\n", continuation);
  else
    std::fprintf(outf, "; \n");
}

bool is_sign(const nameptr t) { return is(t, "+") || is(t, "-"); }
bool is_comparison(const nameptr t) {
  return in_set(cond_set, static_cast<unsigned char>(t->let.name[0]));
}

// Writes a token chain (its last node, the end marker, is not written),
// spacing assignments, signs at bracket depth 0, comparisons and, in a
// condition, "and" / "or" as the source is normally written.
void listchars(std::FILE* outf, nameptr p, std::int32_t* ind, bool* afterspace, bool itsacond) {
  std::int32_t depth = 0;
  bool after_colon = false, prev_operator = false;
  const bool starts_at = p != nullptr && is(p, "@");
  for (nameptr t = p; t != nullptr && t->next != nullptr; t = t->next) {
    const nameptr n = t->next;
    if (is(t, "[")) ++depth;
    if (is(t, "]") && depth > 0) --depth;
    const bool assignment = is(t, ":") && is(n, "=");
    const bool sign = depth == 0 && !after_colon && is_sign(t);
    const bool comparison = is_comparison(t) && !starts_at && depth == 0 && !prev_operator;
    const bool joiner = itsacond && (is(t, "and") || is(t, "or"));
    if (!*afterspace && (assignment || sign || comparison || joiner)) std::fputc(' ', outf);
    std::fputs(t->let.name, outf);
    *afterspace = t->space;
    if (t->space) {
      std::fputc(' ', outf);
      *ind += 1;
    }
    if (depth == 0 && is(t, ",")) std::fputc(' ', outf);
    prev_operator = false;
    if (assignment) {
      std::fputs("= ", outf);
      *ind += 4;
      *afterspace = true;
      after_colon = true;
      t = n;  // the "=" is written already
      continue;
    }
    if (is_sign(t) || is_comparison(t)) {
      prev_operator = sign || comparison;
      const bool joined = in_set(short_set, static_cast<unsigned char>(n->let.name[0]));
      if (!t->space && !joined) {
        std::fputc(' ', outf);
        *ind += 1;
        *afterspace = true;
      }
      *ind += 2;
    } else {
      *ind += static_cast<std::int32_t>(std::strlen(t->let.name));
    }
    after_colon = is(t, ":");
  }
}

// A comment's characters: line ends as line ends.
void listchars_com(std::FILE* outf, nameptr p, std::int32_t* ind) {
  for (nameptr t = p; t != nullptr; t = t->next) {
    const char c = t->let.name[0];
    if ((c == '\n' || c == '\r') && t->let.name[1] == '\0')
      std::fputc('\n', outf);
    else
      std::fputs(t->let.name, outf);
    *ind += static_cast<std::int32_t>(std::strlen(t->let.name));
  }
}

void listpars(std::FILE* outf, paramptr p, std::int32_t* ind) {
  for (; p != nullptr; p = p->next) {
    if (p->result) {
      std::fputc('^', outf);
      ++*ind;
    }
    std::fputs(p->let.name, outf);
    *ind += static_cast<std::int32_t>(std::strlen(p->let.name));
    if (p->next != nullptr) {
      std::fputc(',', outf);
      ++*ind;
    }
  }
}

void listrht(std::FILE* outf, bool outf_is_tty, condexptr p, comptr comm, std::int32_t ind) {
  std::int32_t length = ind;
  for (; comm != nullptr; comm = comm->next) {
    std::fputc('{', outf);
    listchars_com(outf, comm->q, &length);
    // In a file the comment closes right after its text: a blank before
    // the "}" would be read back into it, and every save and reload would
    // lengthen the comment by one blank.
    if (outf_is_tty || uglyprint)
      std::fprintf(outf, "} %c\n", continuation);
    else
      std::fprintf(outf, "}\n");
    blanks(outf, ind);
  }
  bool afterspace = false;
  if (p->cond == nullptr) {
    listchars(outf, p->expr, &length, &afterspace, false);
    return;
  }
  nameptr cond = p->cond;
  if (p->aloop && is(cond, ":")) {
    std::fputs("for ", outf);
    cond = cond->next;
  } else {
    std::fputs(p->aloop ? "while " : "if ", outf);
  }
  listchars(outf, cond, &length, &afterspace, true);
  if (!afterspace) std::fputc(' ', outf);
  std::fputs(p->aloop ? "do" : "then", outf);
  line_end(outf, outf_is_tty, true);
  blanks(outf, ind + nest_indent);
  listform(outf, outf_is_tty, p->form1, ind + nest_indent);
  line_end(outf, outf_is_tty, false);
  blanks(outf, ind);
  if (p->aloop) {
    std::fputs("od", outf);
    return;
  }
  if (p->form2 != nullptr) {
    std::fputs("else", outf);
    line_end(outf, outf_is_tty, false);
    blanks(outf, ind + nest_indent);
    listform(outf, outf_is_tty, p->form2, ind + nest_indent);
    line_end(outf, outf_is_tty, false);
    blanks(outf, ind);
  }
  std::fputs("fi", outf);
}

// One function in full; `closing`: the sorted listing's ";" (in a file) and
// line end after the ".".
void list_function(std::FILE* outf, bool outf_is_tty, funcptr f, bool closing) {
  std::fprintf(outf, "\n Function %s", f->name.name);
  std::int32_t ind = 0;
  if (f->pars != nullptr) {
    std::fputc('(', outf);
    listpars(outf, f->pars, &ind);
    std::fputc(')', outf);
  }
  if (outf_is_tty)
    std::fprintf(outf, " =  %c\n", continuation);
  else
    std::fprintf(outf, " =  \n");
  blanks(outf, body_indent);
  listform(outf, outf_is_tty, f->rht, body_indent);
  std::fputc('.', outf);
  if (closing) {
    if (!outf_is_tty) std::fputc(';', outf);
    std::fputc('\n', outf);
  }
}

void list_heading(std::FILE* outf, funcptr f) {
  std::fprintf(outf, "\n%s", f->name.name);
  if (f->pars != nullptr) {
    std::int32_t ind = 0;
    std::fputc('(', outf);
    listpars(outf, f->pars, &ind);
    std::fputc(')', outf);
  }
  std::fputc('\n', outf);
}

// Every function, in name order (the k-th of a chain keyed with k) or, past
// the sort table's size, in table order.
void list_all(std::FILE* outf, bool outf_is_tty, bool big) {
  std::vector<funcptr> order;
  std::int32_t count = 0;
  for (funcptr chain : func_store) {
    std::int32_t k = 0;
    for (funcptr f = chain; f != nullptr; f = f->next) {
      order.push_back(f);
      if (++count > sort_entries) continue;
      chain_key(sortp[count].name, f->name, ++k);
      sortp[count].count = 0;
      sortp[count].pt = reinterpret_cast<varptr>(f);
    }
  }
  const bool sorted = count <= sort_entries;
  if (sorted) {
    sort_vars(sortp, count);
    for (std::int32_t i = 1; i <= count; ++i) order[i - 1] = reinterpret_cast<funcptr>(sortp[i].pt);
  }
  for (funcptr f : order) {
    if (big)
      list_function(outf, outf_is_tty, f, true);
    else
      list_heading(outf, f);
  }
}

using tokens::is_tok;

}  // namespace

void listform(std::FILE* outf, bool outf_is_tty, formptr p, std::int32_t ind) {
  for (; p != nullptr; p = p->next) {
    listrht(outf, outf_is_tty, p->cptr, p->comms, ind);
    if (p->next != nullptr) {
      separator(outf, outf_is_tty);
      blanks(outf, ind);
    }
  }
}

void list_functions_to_file(std::FILE* outf) { list_all(outf, false, true); }

void listfuncs(std::FILE* outf, textptr inf, bool outf_is_tty, const tokentipe& x, nameptr* flag) {
  const char* const arg = x.name;
  if (std::strcmp(arg, "*") == 0) {
    list_all(outf, outf_is_tty, true);
  } else if (std::strcmp(arg, ";") == 0 || std::strcmp(arg, end_marker_name) == 0) {
    list_all(outf, outf_is_tty, false);
  } else if (std::strcmp(arg, ",") == 0 || std::strcmp(arg, "<") == 0) {
    scanner(inf, &token, flag);
    if (is_tok(sys_func_name)) {
      if (sys_func == nullptr) {
        error(no_system_function_defined_error, &token);
      } else {
        std::fputc('\n', outf);
        for (formptr p = sys_func; p != nullptr; p = p->next) {
          listrht(outf, outf_is_tty, p->cptr, p->comms, nest_indent);
          if (p->next != nullptr) {
            separator(outf, outf_is_tty);
            blanks(outf, nest_indent);
          }
        }
        std::fputc('\n', outf);
      }
    } else {
      const std::int16_t bucket = token.address >= 0 && token.address < func_buckets
                                      ? token.address
                                      : hash(token.name, func_buckets);
      funcptr f = func_store[bucket];
      while (f != nullptr && std::strcmp(f->name.name, token.name) != 0) f = f->next;
      if (f == nullptr)
        std::printf("%s has not been defined.\n", token.name);
      else
        list_function(outf, outf_is_tty, f, false);
    }
  } else {
    std::printf("%s is not a legal function name.\n", arg);
    while (!is_tok(";") && !is_tok(end_marker_name)) scanner(inf, &token, flag);
  }
  std::strcpy(token.name, "@");
  token.address = -1;
}

}  // namespace tavrin
