// The operator tokens that built-in names of the table stand for ("*1"
// binomial, "*9" degree, "*82" sum, ...), evaluated as factors, and the two
// readers they rest on: get_quoly (a stored value looked at in place) and
// obtain_sum (the text of a sum or product, kept for replaying).
#include <cmath>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/value_holds.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_great_abs.h"
#include "toplevel/builtins.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/binomials.h"
#include "lang/builtins/coefficients.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/lang_upcalls.h"
#include "lang/operator_aliases.h"
#include "lang/statements.h"
#include "lang/variables.h"

namespace tavrin {

namespace {

using namespace tokens;

// A number value of the current ring as a 64-bit integer (error `code`
// when it is not a number or has more than two limbs).
std::int64_t small_integer(quoly q, std::int32_t code) {
  if (q == nullptr) return 0;
  if (!q->numb) abandon(code, &token);
  imptr x = q->ncoef;
  if (flotemode) return round_real(x->flote);
  if (lintmode) return x->lint;
  if (x->size > 2) abandon(exponent_too_large_error, &token);
  std::int64_t v = 0;
  for (numptr l = x->head; l != nullptr; l = l->next) v = v * 268435456 + l->value;
  return v;
}

// *n := the integer v in the current ring.
void set_integer(quolyptr n, std::int64_t v) { quoly_set_integer(v, n); }

// A plain sum with modular arithmetic off, into the owned cell v.
void integer_sum(textptr inf, nameptr* flag, quolyptr v) {
  ModularBracket off;
  old_expre(inf, v, flag);
}

// The entry count of an array.
std::int64_t entry_count(const arrnode* q) {
  std::int64_t v = 0;
  for (numptr l = q->sizearr.head; l != nullptr; l = l->next) v = v * 268435456 + l->value;
  return v;
}

// "[" name "]" (the token before "[" current, or "[" itself when
// `at_open`): the array named; errors `open`, 28 and `close`.
arrptr bracketed_array(textptr inf, nameptr* flag, std::int32_t open, std::int32_t close,
                       bool at_open) {
  if (!at_open) scan(inf, flag);
  expect("[", open);
  scan(inf, flag);
  arrptr q = nullptr;
  tokentipe name = token;
  fastestlookup(&name, &q);
  if (q == nullptr || q->start == -1) abandon(no_such_array_error, &name);
  scan(inf, flag);
  expect("]", close);
  scan(inf, flag);
  return q;
}

// "*103": the adjoined variable of level k.
void adjoined_variable(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  ValueCell k;
  {
    ModularBracket off;
    old_fact(inf, &k.q, flag);
  }
  if (k.q == nullptr) abandon(variable_level_missing_out_range_error, &token);
  if (!k.q->numb) abandon(not_number_error, &token);
  const std::int64_t level = small_integer(k.q, variable_level_missing_out_range_error);
  if (level < 1 || level > number_polys) abandon(variable_level_missing_out_range_error, &token);
  free_quoly(n);
  base_quoly(n, static_cast<std::int32_t>(level));
}

// "*89": the integer square root of a number.
void square_root_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  old_fact(inf, n, flag);
  quoly q = *n;
  if (!q->numb) {
    const bool rational_number =
        q->denom != nullptr && q->numer->numb && q->denom->numb && !lintmode && !flotemode;
    if (!rational_number) abandon(square_root_value_not_number_error, &sqrtsign);
    quoly_great_int(n);
    q = *n;
  }
  square_root(q->ncoef, q->ncoef);
}

// "*1": "(" a "," b ")", the binomial coefficient.
void binomial_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  expect("(", open_paren_expected_177_error);
  scan(inf, flag);
  ValueCell a;
  integer_sum(inf, flag, &a.q);
  expect(",", comma_expected_error);
  scan(inf, flag);
  ValueCell b;
  integer_sum(inf, flag, &b.q);
  expect(")", close_paren_expected_error);
  scan(inf, flag);
  std::int64_t ia = small_integer(a.q, increment_not_number_error);
  std::int64_t ib = small_integer(b.q, increment_not_number_error);
  if (ib < 0 || ib > ia) {
    set_integer(n, 0);
    return;
  }
  // B(n, 0) = B(n, n) = 1 for every n, below the limit or not: each mode's
  // routine answers it as B(0, 0), in its own form.
  if (ib == 0 || ib == ia) ia = ib = 0;
  if (ia > binomial_limit) abandon(binomial_too_large_error, &token);
  const auto an = static_cast<std::int32_t>(ia);
  const auto bn = static_cast<std::int32_t>(ib);
  if (flotemode) {
    flote_binom(an, bn, n);
  } else if (lintmode) {
    lint_binom(an, bn, n);
    // Under a modulus the exact word becomes its residue.
    if (modularmode && !finf) (*n)->ncoef->lint %= modulus;
  } else {
    rat_binom(an, bn, n);
  }
}

// "*66" / "*82": a product or sum over the ranges of its header.
void sum_or_product(bool is_sum, textptr inf, quolyptr n, nameptr* flag) {
  nameptr list = nullptr;
  obtain_sum(inf, flag, &list);
  const bool typed = *flag == nullptr;
  struct Owner {
    nameptr list;
    bool typed;
    ~Owner() {
      if (typed && list != nullptr) freename(list);
    }
  } owner{list, typed};
  nameptr cursor = list;
  token = cursor->let;
  currentchar = cursor->next;
  expect("<", less_expected_after_sum_product_word_error);
  long double sum = 0;
  char mate = ')';
  free_quoly(n);
  sum_mult_up(is_sum, inf, n, &cursor, false, &sum, &mate);
  if (integerflag) real_to_value(sum, n);
  if (token.name[0] != mate) abandon(statement_ended_inside_sum_product_error, &token);
  if (!typed) *flag = cursor;
  scan(inf, flag);
}

// The operand of "*9", "*4" and "*40" after "(": "^" and a stored value,
// or a sum. A sum that is one stored value is read where it lies too. A
// value read where it lies is held in `held`: a further argument may
// change the variable meanwhile. Returns the value.
quoly degree_operand(textptr inf, quolyptr n, nameptr* flag, HeldValues& held) {
  if (is_tok("^")) {
    scan(inf, flag);
    quolyptr place = nullptr;
    get_quoly_ptr(&place, inf, flag);
    if (place != nullptr && *place != nullptr) return *held.hold(place);
    quoly_set(0, n);
    return *n;
  }
  quolyptr qp = nullptr;
  lent_expre(inf, &qp, n, flag);
  return qp == n ? *n : *held.hold(qp);
}

// The level argument of "*9" and "*4": a number, or one adjoined variable.
std::int32_t level_argument(textptr inf, nameptr* flag) {
  ValueCell v;
  integer_sum(inf, flag, &v.q);
  std::int64_t level = 0;
  if (v.q != nullptr && !v.q->numb) {
    std::int16_t height = 0;
    check_get_height(v.q, &height, single_variable_expected_error);
    level = height + 1;
  } else {
    level = small_integer(v.q, level_count_out_range_error);
  }
  if (level < 1 || level > number_polys) abandon(level_count_out_range_error, &token);
  return static_cast<std::int32_t>(level);
}

// "*9" (degree) and "*4" (lowest degree).
void degree_alias(textptr inf, quolyptr n, nameptr* flag, bool lowest) {
  scan(inf, flag);
  if (is_tok("[")) {
    if (lowest) abandon(open_bracket_form_not_allowed_error, &token);
    arrptr q = bracketed_array(inf, flag, open_bracket_expected_96_error,
                               close_bracket_expected_after_array_name_error, true);
    set_integer(n, entry_count(q));
    return;
  }
  ValueCell own;
  HeldValues held;
  quoly value = nullptr;
  std::int32_t level = 1;
  bool explicit_level = false;
  if (is_tok("(")) {
    scan(inf, flag);
    value = degree_operand(inf, &own.q, flag, held);
    if (is_tok(",")) {
      scan(inf, flag);
      level = level_argument(inf, flag);
      explicit_level = true;
      expect(")", close_paren_expected_error);
    } else if (!is_tok(")")) {
      abandon(comma_expected_error, &token);
    }
    scan(inf, flag);
  } else {
    get_quoly(&value, inf, flag);
  }
  ValueCell result;
  if (value == nullptr || value->numb || (value->numer != nullptr && value->numer->numb)) {
    set_integer(&result.q, 0);
  } else if (!explicit_level && !lowest) {
    set_integer(&result.q, value->numer->exp);
  } else {
    quoly v = value;
    generalized_degree(&v, &result.q, level, lowest);
  }
  free_quoly(n);
  *n = result.release();
}

// "*7": the column count of an array.
void column_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  arrptr q = bracketed_array(inf, flag, open_bracket_expected_96_error,
                             close_bracket_expected_97_error, false);
  set_integer(n, q->rows == 0 ? 0 : entry_count(q) / q->rows);
}

// "*5": a coefficient of a stored value.
void coefficient_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  expect("(", open_paren_expected_154_error);
  scan(inf, flag);
  if (is_tok("^")) scan(inf, flag);
  quoly value = nullptr;
  get_quoly(&value, inf, flag);
  // Held: the exponents read next may change the variable.
  HeldValues held;
  ValueCell zero;
  if (value == nullptr) {
    quoly_set(0, &zero.q);
    value = zero.q;
  } else {
    value = *held.hold(&value);
  }
  // The coefficient reader gets the value to share and leaves a new one.
  quoly c = value;
  try {
    quoly_get_coef(inf, &c, flag, false, false);
  } catch (...) {
    if (c != value) free_quoly(&c);
    throw;
  }
  ValueCell answer;
  if (c == value) {
    quoly_assign(value, &answer.q);
  } else {
    answer.q = c;
  }
  expect(")", close_paren_expected_error);
  scan(inf, flag);
  free_quoly(n);
  *n = answer.release();
}

// "*40": the leading term.
void leading_term_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  expect("(", open_paren_expected_177_error);
  scan(inf, flag);
  ValueCell own;
  HeldValues held;
  quoly value = nullptr;
  if (is_tok(")")) {
    quoly_set(0, &own.q);
    value = own.q;
  } else {
    value = degree_operand(inf, &own.q, flag, held);
  }
  expect(")", close_paren_expected_error);
  scan(inf, flag);
  const bool number_like = value->numb || (!lintmode && !flotemode && value->denom != nullptr &&
                                           value->numer->numb && value->denom->numb);
  ValueCell result;
  if (number_like) {
    quoly_assign(value, &result.q);
  } else {
    if (value->denom != nullptr && !value->denom->numb) abandon(irreducible_quotient_error, &token);
    leading_term(value, &result.q);
    if (result.q->denom == nullptr && result.q->numer->numb) {
      polynum_to_quoly(&result.q);
    } else if (result.q->denom != nullptr) {
      check_quoly(&result.q, false);
    }
  }
  free_quoly(n);
  *n = result.release();
}

}  // namespace

void get_quoly(quolyptr n, textptr inf, nameptr* flag) {
  *n = nullptr;
  const bool system = is_tok("<");
  if (!system && number_polys > 0 && its_a_polyname(token.name))
    abandon(name_adjoined_variable_not_allowed_error, &token);
  if (is_tok("^")) scan(inf, flag);
  const tokentipe name = token;
  const bool numbered = is_tok("%");
  if (!numbered) scan(inf, flag);
  if (!is_tok("[") && !numbered) {
    if (system) {
      *n = prevnum;
      return;
    }
    varptr v = find_var(&name);
    if (v == nullptr) abandon(undefined_variable_error, &name);
    *n = v->val;
    return;
  }
  quolyptr cell = nullptr;
  colm_ptrptr aux = nullptr;
  std::int32_t colpos = 0;
  ValueCell scratch;
  if (numbered) {
    std::int32_t m = 0;
    {
      ValueCell index;
      get_arr_arr(inf, &index.q, flag, &m);
    }
    if (m < 0 || m >= arrstash_slots || arrstash == nullptr || arrstash[m] == nullptr)
      abandon(empty_slot_store_arrays_error, &token);
    if (arrstash[m]->start == -1) abandon(no_such_array_error, &token);
    scan(inf, flag);
    expect("[", open_bracket_expected_after_percent_error);
    spec_arretrieve(inf, flag, arrstash[m], &cell, &aux, &colpos);
  } else {
    new_arretrieve(inf, &name, flag, &cell, &scratch.q, &aux, &colpos);
  }
  // An element whose reading computed a value (a statement run in place of
  // the subscripts) has no stored place: nothing to look at.
  *n = (cell == nullptr || cell == &scratch.q) ? nullptr : *cell;
}

void obtain_sum(textptr inf, nameptr* flag, nameptr* p) {
  if (*flag != nullptr) {
    *p = (*flag)->next;
    return;
  }
  scan(inf, flag);
  if (!is_tok("<")) abandon(less_expected_after_sum_product_word_error, &token);
  struct Chain {
    nameptr head = nullptr;
    nameptr tail = nullptr;
    ~Chain() {
      if (head != nullptr) freename(head);
    }
    void add(const tokentipe& t) { nodes::append_node(head, tail, nodes::new_name(t, one)); }
  } chain;
  auto statement_end = [] { return is_tok(";") || is_tok(end_marker_name); };
  // The header: range groups "<" ... ">", then the body's opening bracket.
  for (;;) {
    if (statement_end()) abandon(statement_ended_inside_sum_product_header_error, &semicolon);
    chain.add(token);
    if (is_tok(">")) {
      scan(inf, flag);
      if (is_tok("[") || is_tok("(")) break;
      if (!is_tok("<")) abandon(open_bracket_open_paren_less_expected_after_loop_error, &token);
      continue;
    }
    scan(inf, flag);
  }
  const char open = token.name[0];
  const char close = open == '[' ? ']' : ')';
  std::int32_t depth = 0;
  for (;;) {
    if (statement_end()) abandon(statement_ended_inside_sum_product_error, &semicolon);
    chain.add(token);
    if (token.name[0] == open && token.name[1] == '\0') ++depth;
    if (token.name[0] == close && token.name[1] == '\0' && --depth == 0) break;
    scan(inf, flag);
  }
  // An end marker after the closing bracket keeps a replay from running
  // off the list.
  tokentipe end{};
  std::memcpy(end.name, end_marker_name, sizeof end_marker_name);
  end.address = -1;
  chain.add(end);
  *p = chain.head;
  chain.head = nullptr;
}

namespace {

void random_alias(textptr inf, quolyptr n, nameptr* flag, bool again) {
  scan(inf, flag);
  free_quoly(n);
  randomize(again, n);
}
void random_word(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  random_alias(inf, n, flag, false);
}
void random_mixed(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  random_alias(inf, n, flag, true);
}
void degree(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  degree_alias(inf, n, flag, false);
}
void lowest_degree(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  degree_alias(inf, n, flag, true);
}
void sum_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  sum_or_product(true, inf, n, flag);
}
void product_alias(ArrayCode, textptr inf, quolyptr n, nameptr* flag) {
  sum_or_product(false, inf, n, flag);
}

// The rows in the order the factor reader tests the tokens.
// The array operations' handler is registered at start-up.
OperatorAlias alias_rows[] = {
    {"*103", ArrayCode::none, floating_alias::refused, adjoined_variable},
    {"*89", ArrayCode::none, floating_alias::refused, square_root_alias},
    {"*70", ArrayCode::none, floating_alias::random, random_word},
    {"*68", ArrayCode::none, floating_alias::random_again, random_mixed},
    {"*1", ArrayCode::none, floating_alias::binomial, binomial_alias},
    {"*66", ArrayCode::none, floating_alias::product, product_alias},
    {"*82", ArrayCode::none, floating_alias::sum, sum_alias},
    {"*12", ArrayCode::determinant, floating_alias::array, nullptr},
    {"*79", ArrayCode::sparse_determinant, floating_alias::refused, nullptr},
    {"*101", ArrayCode::transpose, floating_alias::refused, nullptr},
    {"*14", ArrayCode::diagonal, floating_alias::refused, nullptr},
    {"*7", ArrayCode::none, floating_alias::exact, column_alias},
    {"*4", ArrayCode::none, floating_alias::exact, lowest_degree},
    {"*9", ArrayCode::none, floating_alias::exact, degree},
    {"*5", ArrayCode::none, floating_alias::refused, coefficient_alias},
    {"*40", ArrayCode::none, floating_alias::refused, leading_term_alias},
};

}  // namespace

std::span<const OperatorAlias> operator_aliases() { return alias_rows; }

const OperatorAlias* find_operator_alias(const char* name) {
  if (name[0] != '*') return nullptr;
  for (const OperatorAlias& a : alias_rows)
    if (std::strcmp(name, a.token) == 0) return &a;
  return nullptr;
}

bool is_array_alias(const char* name, ArrayCode code) {
  const OperatorAlias* a = code == ArrayCode::none ? nullptr : find_operator_alias(name);
  return a != nullptr && a->code == code;
}

void link_builtin_aliases() {
  for (std::int32_t i = 0; i <= numbuiltins; ++i)
    builtin[i].alias = find_operator_alias(builtin[i].second);
}

void register_array_aliases(alias_handler reader) {
  for (OperatorAlias& a : alias_rows)
    if (a.code != ArrayCode::none) a.handler = reader;
}

void operator_alias(const OperatorAlias& a, textptr inf, quolyptr* qp, quolyptr n, nameptr* flag) {
  if (a.handler == nullptr) not_implemented();
  a.handler(a.code, inf, n, flag);
  if (*n == nullptr) quoly_set(0, n);
  *qp = n;
}

}  // namespace tavrin
