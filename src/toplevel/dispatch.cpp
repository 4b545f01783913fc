#include "toplevel/dispatch.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

using statement_rule = void (*)(char c, textptr inf, quolyptr n, nameptr* flag);

bool is_word(const tokentipe& t, const char* w) { return std::strcmp(t.name, w) == 0; }

/* stat -> arraystat  (first character '"', '[' or '~') */
void array_statement(char c, textptr inf, quolyptr n, nameptr* flag) {
  run_array_statement(static_cast<ArrayCode>(c), inf, n, flag);
}

/* stat -> "MPowermod" arraystat | sum */
void m_word(char, textptr inf, quolyptr n, nameptr* flag) {
  if (is_word(token, "MPowermod")) {
    run_array_statement(ArrayCode::matrix_powermod, inf, n, flag);
  } else {
    old_expre(inf, n, flag);
  }
}

/* stat -> ("Adjoint" | "Altmult" | "Altpower") arraystat | sum */
void a_word(char, textptr inf, quolyptr n, nameptr* flag) {
  if (is_word(token, "Adjoint") || is_word(token, "Altmult") || is_word(token, "Altpower")) {
    run_array_statement(ArrayCode::adjoint, inf, n, flag);
  } else {
    old_expre(inf, n, flag);
  }
}

/* stat -> "%" arrays-of-arrays statement */
void arrays_of_arrays(char, textptr inf, quolyptr n, nameptr* flag) { arr_arr_state(inf, n, flag); }

/* stat -> "!" output statement */
void output_statement(char, textptr inf, quolyptr n, nameptr* flag) { write_out(inf, n, flag); }

/* stat -> "@" names  (cancelling; the value is 0) */
void cancel_statement(char, textptr inf, quolyptr n, nameptr* flag) {
  rubout(inf, flag);
  set_zero_value(n);
  scanner(inf, &token, flag);
}

/* stat -> ";"  (nothing is read; the statement ends with "@") */
void empty_statement(char, textptr, quolyptr, nameptr*) {
  std::strcpy(token.name, "@");
  token.address = -1;
}

/* stat -> "?" name | "?" name "[" coords "]" | "?" "[" name "]" */
// Reads a value for a scalar variable from the terminal: the prompt and
// "name := ", then an expression (or "@": nothing is assigned). The answer
// is always read from Input, whatever the statement came from; the
// statement's ending and the scanner's push-back are kept meanwhile.
void read_value_statement(char, textptr inf, quolyptr n, nameptr* flag) {
  tokentipe name;
  scanner(inf, &name, flag);
  scanner(inf, &token, flag);
  set_zero_value(n);
  if (is_word(name, "[")) {
    tokentipe stash = token;
    char saveleft[2] = {leftover[0], leftover[1]};
    whole_arrinsert(inf, &token, flag, n, &stash, saveleft);
    token = stash;
    leftover[0] = saveleft[0];
    leftover[1] = saveleft[1];
    if (*flag != nullptr) set_zero_value(n);
    return;
  }
  if (is_word(token, "[")) {
    element_input(inf, &name, flag);
    return;
  }
  if (name.name[0] < 'a' || name.name[0] > 'z') {
    error(name_must_begin_lower_case_letter_error, &name);
    return;
  }
  const tokentipe ending = token;
  char saveleft[2] = {leftover[0], leftover[1]};
  {
    ScopedValue<bool> terminal(tt_flag, true);
    if (levelcount > 1) std::printf("%1d", static_cast<int>(levelcount));
    if (promptsize > 0 || prompt[0] == '\r') std::printf("%s", prompt);
    std::printf("%s := ", name.name);
    std::fflush(stdout);
    leftover[0] = '\0';
    Input->get();  // the line end after the statement
    nameptr answer_cursor = nullptr;
    scanner(&Input, &token, &answer_cursor);
    if (!is_word(token, "@")) {
      nodes::OwnedValue value;
      old_expre(&Input, value.cell(), &answer_cursor);
      varptr v = nullptr;
      insert_var(&name, value.get(), &v);
      value.release();
      quoly_assign(v->val, n);
    }
  }
  token = ending;
  leftover[0] = saveleft[0];
  leftover[1] = saveleft[1];
  if (*flag != nullptr) set_zero_value(n);
}

/* stat -> "&" command */
void command(char, textptr inf, quolyptr n, nameptr* flag) { command_statement(inf, n, flag); }

/* stat -> expr  (an expression, assignment or increment) */
void expression_statement(char, textptr inf, quolyptr n, nameptr* flag) {
  quolyptr place = nullptr;
  colm_ptrptr aux = nullptr;
  std::int32_t colpos = 0;
  expre(inf, &place, n, &aux, &colpos, flag);
  if (*n != nullptr) return;
  if (place != nullptr && *place != nullptr) {
    quoly_assign(*place, n);
  } else {
    set_zero_value(n);
  }
}

// One rule for each first character from '!' to '~'; the rest are
// expressions.
constexpr char first_rule_char = '!';
constexpr char last_rule_char = '~';
struct rule_entry {
  char c;
  statement_rule rule;
};
constexpr rule_entry special_rules[] = {
    {'"', array_statement},  {'[', array_statement},
    {'~', array_statement},  {'M', m_word},
    {'A', a_word},           {'%', arrays_of_arrays},
    {'!', output_statement}, {'@', cancel_statement},
    {';', empty_statement},  {'?', read_value_statement},
    {'&', command},
};

constexpr auto make_rules() {
  std::array<statement_rule, last_rule_char - first_rule_char + 1> table{};
  for (statement_rule& r : table) r = expression_statement;
  for (const rule_entry& e : special_rules)
    table[static_cast<std::size_t>(e.c - first_rule_char)] = e.rule;
  return table;
}
constexpr auto statement_rules = make_rules();

}  // namespace

namespace {
std::int32_t bracketed_statements = 0;  // "&_m(" statements being run
}  // namespace

BracketedStatement::BracketedStatement() { ++bracketed_statements; }
BracketedStatement::~BracketedStatement() { --bracketed_statements; }

bool at_statement_end() {
  if (is_word(token, ";") || is_word(token, ":") || is_word(token, "@") ||
      is_word(token, end_marker_name))
    return true;
  return bracketed_statements > 0 && is_word(token, ")");
}

char statement_character(const tokentipe& t) {
  const ArrayCode code = array_code(t);
  return code == ArrayCode::none ? t.name[0] : static_cast<char>(code);
}

namespace {
array_statement_reader array_reader = nullptr;
}  // namespace

void register_array_statements(array_statement_reader reader) { array_reader = reader; }

bool array_statements_registered() { return array_reader != nullptr; }

void run_array_statement(ArrayCode code, textptr inf, quolyptr n, nameptr* flag) {
  if (array_reader == nullptr) not_implemented();
  array_reader(code, inf, n, flag);
}

bool operand_begun = false;
std::int32_t statements_under_way = 0;
std::int32_t levels_above_statements = 0;

void parse(textptr inf, quolyptr n, nameptr* flag) {
  StatementStart fresh;
  const char c = statement_character(token);
  statement_rule rule = expression_statement;
  if (c >= first_rule_char && c <= last_rule_char)
    rule = statement_rules[static_cast<std::size_t>(c - first_rule_char)];
  rule(c, inf, n, flag);
}

void set_zero_value(quolyptr n) {
  free_quoly(n);  // in the mode it was made in
  // Word mode frees no limbs, so a word-mode zero is given none (values do
  // not outlive a change of ring).
  if (lintmode) {
    quoly_set(0, n);
  } else {
    BigModeGuard big;
    quoly_set(0, n);
  }
  (*n)->next = nullptr;
  (*n)->arr_arg = false;
  (*n)->ncoef->lint = 0;
  (*n)->ncoef->flote = 0;
}

}  // namespace tavrin
