// The floating evaluator: factors, plain sums and binomials on long
// doubles, and the conversions between long doubles and exact values.
#include "lang/floating.h"
#include "core/error_codes.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_float_image.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "toplevel/builtins.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/number_literals.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/binomials.h"
#include "lang/builtins/builtin_env.h"
#include "lang/expressions.h"
#include "lang/functions.h"
#include "lang/lang_upcalls.h"
#include "lang/operator_aliases.h"
#include "lang/statements.h"
#include "lang/variables.h"

namespace tavrin {

namespace {

void advance(nameptr* flag) { scanner(&Input, &token, flag); }

long double number_to_real(imptr x) {
  if (flotemode) return x->flote;
  if (lintmode) return static_cast<long double>(x->lint);
  return big_to_real(x);
}

// A floating operand: the factor's value, or error `code` when it has none.
long double operand(nameptr* flag, std::int32_t code) {
  long double buffer = 0;
  long double* place = nullptr;
  ifact(&place, &buffer, flag);
  if (place == nullptr) abandon(code, &token);
  return *place;
}

bool in_iterm_set(char c) { return c == '*' || c == '/' || c == '\\' || c == '|'; }

// a | b: the remainder of the rounded operands (sign of a); with pos_mod a
// negative remainder is lifted by the unrounded divisor's magnitude.
long double float_remainder(long double a, long double y) {
  const std::int64_t ia = round_real(a);
  const std::int64_t ib = round_real(y);
  if (ib == 0) abandon(division_by_zero_error, &token);
  long double r = static_cast<long double>(ib == -1 ? 0 : ia % ib);
  if (pos_mod && r < 0) r += y > 0 ? y : -y;
  return r;
}

// One term of the floating sum rule; no value is error 129.
long double float_term(nameptr* flag) {
  long double buffer = 0;
  long double* place = nullptr;
  ifact(&place, &buffer, flag);
  while (in_iterm_set(token.name[0])) {
    const char op = token.name[0];
    advance(flag);
    if (std::strcmp(token.name, "/") == 0)
      abandon(slash_not_allowed_directly_after_operator_error, &token);
    const long double left = place == nullptr ? 0 : *place;
    const long double y = operand(flag, operand_without_value_error);
    if (op == '*') {
      buffer = left * y;
    } else if (y == 0) {
      abandon(division_by_zero_error, &token);
    } else if (op == '|') {
      buffer = float_remainder(left, y);
    } else {
      buffer = left / y;
    }
    place = &buffer;
  }
  if (place == nullptr) abandon(statement_must_end_semicolon_colon_error, &token);
  return *place;
}

using namespace tokens;

// The value an exact reader left in v (none: 0).
long double exact_result(quoly v, const tokentipe* name) { return value_to_real(v, name); }

// The current token (a name) skipped, then "(": the token after it current.
void open_arguments(nameptr* flag) {
  advance(flag);
  expect("(", open_paren_expected_177_error);
  advance(flag);
}

// A floating sum that must be followed by `mark` (else error `code`); the
// token after the mark current.
long double float_argument(nameptr* flag, const char* mark, std::int32_t code) {
  long double x = 0;
  old_iexpre(&x, flag);
  expect(mark, code);
  advance(flag);
  return x;
}

// "_" name "(" sum ")".
long double float_function(nameptr* flag) {
  advance(flag);
  const tokentipe name = token;
  open_arguments(flag);
  long double x = float_argument(flag, ")", close_paren_expected_error);
  apply_float_function(name.name, &x);
  return x;
}

// A number literal with its fraction and "e" exponent.
long double float_literal(nameptr* flag) {
  ValueCell v;
  quoly_set(0, &v.q);
  std::int32_t count = 0;
  new_readin(&Input, v.q->ncoef, flag, &count);
  long double x = value_to_real(v.q, &token);
  if (is_tok(".")) {
    ValueCell frac;
    get_decimal_part(&frac.q, &Input, flag);
    x += value_to_real(frac.q, &token);
  }
  if (is_tok("e")) {
    advance(flag);
    bool up = true;
    if (is_tok("-")) {
      up = false;
    } else if (!is_tok("+")) {
      abandon(plus_minus_expected_after_e_error, &token);
    }
    advance(flag);
    ValueCell e;
    quoly_set(0, &e.q);
    new_readin(&Input, e.q->ncoef, flag, &count);
    const std::int64_t k = round_real(value_to_real(e.q, &token));
    std::int32_t power = static_cast<std::int32_t>(k < 0 ? -k : k);
    long double ten = 10;
    inumber_power(&ten, &power);
    x = up ? x * ten : x / ten;
  }
  return x;
}

// A lower-case name: an element or a scalar variable. Returns false for an
// element of a sparse array followed by ":" (the cursor then back on the
// name).
bool float_name(long double* n, nameptr* flag) {
  const nameptr at = *flag;
  const tokentipe name = token;
  advance(flag);
  if (is_tok("[")) {
    quolyptr cell = nullptr;
    bool sparse = false;
    iarretrieve(&name, &cell, flag, &sparse);
    if (sparse && is_tok(":")) {
      *flag = at;
      token = at->let;
      currentchar = at->next;
      return false;
    }
    *n = cell == nullptr ? 0 : value_to_real(*cell, &name);
    return true;
  }
  varptr v = find_var(&name);
  if (v != nullptr) {
    *n = value_to_real(v->val, &name);
    return true;
  }
  if (!is_tok(":")) abandon(undefined_variable_error, &name);
  quoly zero = nullptr;
  quoly_set(0, &zero);
  insert_var(&name, zero, &v);
  *n = 0;
  return true;
}

// "GCD" "(" a "," b ")".
long double float_gcd(nameptr* flag) {
  open_arguments(flag);
  const long double a = std::fabs(operand(flag, operand_without_value_error));
  expect(",", comma_expected_error);
  advance(flag);
  const long double b = std::fabs(operand(flag, operand_without_value_error));
  expect(")", close_paren_expected_error);
  advance(flag);
  if (a == 0) return b;
  if (b == 0) return a;
  const std::int64_t ia = round_real(a);
  const std::int64_t ib = round_real(b);
  if (ia > INT32_MAX || ib > INT32_MAX) abandon(exponent_too_large_error, &token);
  return smallgcd(static_cast<std::int32_t>(ia), static_cast<std::int32_t>(ib));
}

// The binomial alias: "(" a "," b ")", both floating sums.
long double float_binomial(nameptr* flag) {
  open_arguments(flag);
  const long double a = float_argument(flag, ",", comma_expected_error);
  const long double b = float_argument(flag, ")", close_paren_expected_error);
  if (b < 0 || b > a) return 0;
  const std::int64_t ia = round_real(a);
  const std::int64_t ib = round_real(b);
  if (ia > INT32_MAX) abandon(binomial_argument_too_large_error, &token);
  long double m = 0;
  iflote_binom(static_cast<std::int32_t>(ia), static_cast<std::int32_t>(ib), &m);
  return m;
}

// A sum (is_sum) or product alias: header and body, evaluated on long
// doubles.
long double float_sum(bool is_sum, nameptr* flag) {
  nameptr list = nullptr;
  obtain_sum(&Input, flag, &list);
  nameptr cursor = list;
  token = cursor->let;
  currentchar = cursor->next;
  expect("<", less_expected_after_sum_product_word_error);
  ValueCell result;
  long double sum = 0;
  char mate = ')';
  sum_mult_up(is_sum, &Input, &result.q, &cursor, false, &sum, &mate);
  *flag = cursor;
  if (token.name[0] != mate) abandon(statement_ended_inside_sum_product_error, &token);
  advance(flag);
  return sum;
}

// "<": an element of the system array, or the previous result.
long double float_previous(nameptr* flag) {
  advance(flag);
  if (!is_tok("[")) return value_to_real(prevnum, &token);
  if (syst == nullptr || syst->stop == -1) abandon(system_array_empty_error, &token);
  tokentipe lt{};
  lt.name[0] = '<';
  lt.address = -1;
  quolyptr cell = nullptr;
  bool sparse = false;
  iarretrieve(&lt, &cell, flag, &sparse);
  return cell == nullptr ? 0 : value_to_real(*cell, &lt);
}

// A factor handed to the exact reader (an alias of the built-in table, or
// a command); its value must be a number.
long double exact_factor(nameptr* flag) {
  ValueCell v;
  quolyptr qp = nullptr;
  colm_ptrptr aux = nullptr;
  std::int32_t colpos = 0;
  const tokentipe name = token;
  fact(&Input, &qp, &v.q, &aux, &colpos, flag, false);
  return exact_result(qp == nullptr ? nullptr : *qp, &name);
}

// A random value of 28 bits; `again` mixes in the processor time.
long double float_random(bool again, nameptr* flag) {
  const std::uint32_t r = static_cast<std::uint32_t>(rand_integer2()) % 268435456U;
  advance(flag);
  if (!again) return r;
  const auto t = static_cast<std::uint32_t>(std::clock());
  return ((r * t) / 1000U) % 268435456U;
}

// An operator alias token that is current: the floating form of its row,
// or the exact reader's value taken as a number.
long double float_alias(const OperatorAlias& a, nameptr* flag) {
  switch (a.floating) {
    case floating_alias::exact: return exact_factor(flag);
    case floating_alias::sum: return float_sum(true, flag);
    case floating_alias::product: return float_sum(false, flag);
    case floating_alias::random: return float_random(false, flag);
    case floating_alias::random_again: return float_random(true, flag);
    case floating_alias::binomial: return float_binomial(flag);
    case floating_alias::array: {
      ValueCell v;
      quolyptr qp = nullptr;
      operator_alias(a, &Input, &qp, &v.q, flag);
      return exact_result(v.q, &token);
    }
    case floating_alias::refused: break;
  }
  abandon(factor_cannot_begin_symbol_error, &token);
}

// The postfix "^" or "!" after the value at *lp.
void float_postfix(long double** lp, long double* n, nameptr* flag) {
  if (*lp == nullptr) return;
  if (is_tok("^")) {
    advance(flag);
    const long double e = operand(flag, operand_without_value_error);
    const std::int64_t k = round_real(e);
    if (k > INT32_MAX || k < INT32_MIN) abandon(exponent_too_large_error, &token);
    std::int32_t power = static_cast<std::int32_t>(k);
    *n = **lp;
    inumber_power(n, &power);
    *lp = n;
  } else if (is_tok("!")) {
    const std::int64_t k = round_real(**lp);
    if (k > largest_finite_factorial) abandon(division_by_zero_error, &factsign);
    *n = 1;
    for (std::int64_t i = 2; i <= k; ++i) *n *= static_cast<long double>(i);
    *lp = n;
    advance(flag);
  }
}

}  // namespace

void apply_float_function(const char* name, long double* x) {
  struct named_function {
    const char* name;
    long double (*apply)(long double);
  };
  static const named_function functions[] = {
      {"sqrt", [](long double v) { return std::sqrt(v); }},
      {"sin", [](long double v) { return std::sin(v); }},
      {"cos", [](long double v) { return std::cos(v); }},
      {"ln", [](long double v) { return std::log(v); }},
      {"e", [](long double v) { return std::exp(v); }},
      {"atan", [](long double v) { return std::atan(v); }},
      {"tan", [](long double v) { return std::tan(v); }},
      {"asin", [](long double v) { return std::asin(v); }},
  };
  for (const named_function& f : functions) {
    if (std::strcmp(name, f.name) == 0) {
      *x = f.apply(*x);
      return;
    }
  }
  std::printf("Warning. function %s is not defined.\n", name);
}

long double value_to_real(quoly q, const tokentipe* name) {
  if (q == nullptr) return 0;
  if (q->numb) return number_to_real(q->ncoef);
  if (q->numer != nullptr && q->denom != nullptr && q->numer->numb && q->denom->numb) {
    imptr a = q->numer->ncoef;
    imptr b = q->denom->ncoef;
    if (flotemode || lintmode) return number_to_real(a) / number_to_real(b);
    return big_ratio_to_real(a, b);
  }
  abandon(not_number_error, name);
}

std::int64_t round_real(long double x) {
  const double d = static_cast<double>(x);
  if (!(std::fabs(d) < 9.2e18)) abandon(exponent_too_large_error, &token);
  return std::llround(d);
}

void real_to_value(long double x, quolyptr n) {
  if (!std::isfinite(x)) abandon(division_by_zero_error, &token);
  if (flotemode) {
    fl_quoly_set(x, n);
    return;
  }
  if (x == 0) {
    free_quoly(n);
    quoly_set(0, n);
    return;
  }
  if (lintmode) {
    if (x != std::trunc(x) || std::fabs(x) > 2147483647.0L)
      abandon(exponent_too_large_error, &token);
    quoly_set_integer(static_cast<std::int32_t>(x), n);
    return;
  }
  real_to_exact(x, n);
}

void ifact(long double** lp, long double* n, nameptr* flag) {
  if (*flag == nullptr) abandon(factor_cannot_begin_symbol_error, &token);
  *lp = n;
  const char c = token.name[0];
  if (c >= 'a' && c <= 'z') {
    if (!float_name(n, flag)) {
      *lp = nullptr;
      return;
    }
  } else if (c >= '0' && c <= '9') {
    *n = float_literal(flag);
  } else if (c == '(') {
    advance(flag);
    old_iexpre(n, flag);
    expect(")", close_paren_expected_error);
    advance(flag);
  } else if (c == '-' && token.name[1] == '\0') {
    advance(flag);
    *n = -operand(flag, operand_without_value_error);
    return;  // the operand's postfix operators came with it
  } else if (const OperatorAlias* alias = find_operator_alias(token.name)) {
    *n = float_alias(*alias, flag);
  } else if (c == '|') {
    advance(flag);
    const long double v = operand(flag, operand_without_value_error);
    expect("|", closing_bar_expected_error);
    advance(flag);
    *n = std::fabs(v);
  } else if (is_tok("GCD")) {
    *n = float_gcd(flag);
  } else if (c >= 'A' && c <= 'Z') {
    const std::int32_t index = find_built_in(0, numbuiltins, token.name);
    ValueCell v;
    const tokentipe name = token;
    if (index >= 0 && builtin[index].alias != nullptr) {
      *n = exact_factor(flag);
    } else {
      if (index < 0) {
        evaluate(&Input, &name, &v.q, flag);
      } else {
        builtin_func(&Input, &v.q, flag, index);
      }
      *n = exact_result(v.q, &name);
    }
  } else if (c == '%') {
    const nameptr at = *flag;
    ValueCell index;
    std::int32_t m = 0;
    get_arr_arr(&Input, &index.q, flag, &m);
    if (m < 0 || m >= arrstash_slots || arrstash == nullptr || arrstash[m] == nullptr)
      abandon(empty_slot_store_arrays_error, &token);
    advance(flag);
    expect("[", open_bracket_expected_after_percent_error);
    quolyptr cell = nullptr;
    colm_ptrptr aux = nullptr;
    std::int32_t colpos = 0;
    spec_arretrieve(&Input, flag, arrstash[m], &cell, &aux, &colpos);
    if (arrstash[m]->spar != nullptr && is_tok(":")) {
      // An assignment target: the cursor goes back to the "%".
      *flag = at;
      token = at->let;
      currentchar = at->next;
      *lp = nullptr;
      return;
    }
    *n = cell == nullptr ? 0 : value_to_real(*cell, &token);
  } else if (c == '<') {
    *n = float_previous(flag);
  } else if (c == '!' || c == '&' || c == '?' || c == '@') {
    ValueCell v;
    StatementOperand running;
    parse(&Input, &v.q, flag);
    *n = exact_result(v.q, &token);
  } else if (c == '$') {
    advance(flag);
    *n = static_cast<long double>(
        std::floor(static_cast<double>(operand(flag, operand_without_value_error))));
    return;
  } else if (c == '_') {
    *n = float_function(flag);
  } else {
    abandon(factor_cannot_begin_symbol_error, &token);
  }
  float_postfix(lp, n, flag);
}

void old_iexpre(long double* n, nameptr* flag) {
  *n = float_term(flag);
  while (is_tok("+") || is_tok("-")) {
    const bool add = is_tok("+");
    advance(flag);
    const long double t = float_term(flag);
    *n = add ? *n + t : *n - t;
  }
}

namespace {

// The target of a floating assignment, read again from its first token:
// a variable (created with 0 when new), or an element; an absent sparse
// element has no cell, its row head and column are kept instead.
struct FloatTarget {
  quolyptr cell = nullptr;
  colm_ptrptr row = nullptr;
  std::int32_t col = 0;
};

FloatTarget read_target(nameptr* flag) {
  FloatTarget t;
  const tokentipe name = token;
  if (name.name[0] < 'a' || name.name[0] > 'z') not_implemented();
  advance(flag);
  if (!is_tok("[")) {
    varptr v = find_var(&name);
    if (v == nullptr) {
      quoly zero = nullptr;
      quoly_set(0, &zero);
      insert_var(&name, zero, &v);
    }
    t.cell = &v->val;
    return t;
  }
  ValueCell shown;
  new_arretrieve(&Input, &name, flag, &t.cell, &shown.q, &t.row, &t.col);
  return t;
}

// The amount of ":+", ":-" and ":*": one factor, or 1 when none follows.
long double amount(nameptr* flag) {
  const char c = token.name[0];
  if (c != '(' && !(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'z')) return 1.0L;
  long double value = 0;
  long double* lp = nullptr;
  ifact(&lp, &value, flag);
  if (lp == nullptr) abandon(operand_without_value_error, &token);
  return *lp;
}

// Writes x into the target; an absent sparse element gets the value
// truncated to a 32-bit integer, and only when that is not 0.
void store(const FloatTarget& t, long double x, bool add) {
  if (t.cell == nullptr) {
    const long double v = std::trunc(x);
    if (!(v >= -2147483648.0L && v <= 2147483647.0L)) abandon(exponent_too_large_error, &token);
    if (v == 0) return;
    quolyptr cell = nullptr;
    sparse_zero_set(t.row, t.col, &cell);
    real_to_value(v, cell);
    return;
  }
  if (add) x += *t.cell == nullptr ? 0.0L : value_to_real(*t.cell, &token);
  real_to_value(x, t.cell);
}

}  // namespace

// Does the stored statement at t begin with a target (a name, perhaps with
// subscripts in brackets) followed by ":"?
bool begins_with_target(nameptr t) {
  if (t == nullptr || t->let.name[0] < 'a' || t->let.name[0] > 'z') return false;
  t = t->next;
  if (t != nullptr && std::strcmp(t->let.name, "[") == 0) {
    int depth = 0;
    for (; t != nullptr; t = t->next) {
      if (std::strcmp(t->let.name, "[") == 0) ++depth;
      if (std::strcmp(t->let.name, "]") == 0 && --depth == 0) break;
      if (std::strcmp(t->let.name, end_marker_name) == 0) return false;
    }
    if (t != nullptr) t = t->next;
  }
  return t != nullptr && std::strcmp(t->let.name, ":") == 0;
}

void iexpre(long double* n, nameptr* flag) {
  if (!begins_with_target(*flag)) {
    old_iexpre(n, flag);
    return;
  }
  const FloatTarget target = read_target(flag);
  if (!is_tok(":")) abandon(colon_must_followed_equals_plus_minus_error, &token);
  advance(flag);
  if (is_tok("=")) {
    advance(flag);
    long double value = 0;
    old_iexpre(&value, flag);
    store(target, value, false);
  } else if (is_tok("+") || is_tok("-")) {
    const bool minus = is_tok("-");
    advance(flag);
    const long double a = amount(flag);
    store(target, minus ? -a : a, true);
  } else if (is_tok("*")) {
    advance(flag);
    const long double a = amount(flag);
    if (target.cell != nullptr) real_to_value(value_to_real(*target.cell, &token) * a, target.cell);
  } else {
    abandon(colon_must_followed_equals_plus_minus_error, &token);
  }
  *n = 0;
}

namespace {

// binomial(n, r) on the long double from the table row below n: the row
// entry, then one multiply-divide step for each row n lies above it. Rows
// beyond `limit` are error `code`.
long double binom_real(std::int32_t n, std::int32_t r, std::int32_t limit, std::int32_t code) {
  if (r > n / 2) r = n - r;
  if (r < 1 || n < 3) return (n == 2 && r == 1) ? 2 : 1;
  if (n > limit) abandon(code, &token);
  need_data_file(data_file::pow228);
  auto entry = [](std::int32_t a, std::int32_t b) {
    if (b > a / 2) b = a - b;
    return big_to_real(binom[binom_index(a, b)]);
  };
  if (n % 3 == 0) return entry(n, r);
  std::int32_t n3 = 3 * (n / 3);
  const std::int32_t d = n % 3;
  const std::int32_t r3 = r - d;
  if (r3 < 1) {
    long double v = 0;
    itrivial(n, r, &v);
    return v;
  }
  long double v = entry(n3, r3);
  long double t = r3 + 1;
  for (std::int32_t j = 0; j < d; ++j) {
    ++n3;
    v = (n3 * v) / t;
    t += 1;
  }
  return v;
}

}  // namespace

void iflote_binom(std::int32_t n, std::int32_t r, long double* m) {
  *m = binom_real(n, r, 150, binomial_argument_too_large_error);
}

void flote_binom(std::int32_t n, std::int32_t r, quolyptr m) {
  const long double v = binom_real(n, r, 152, not_in_this_arithmetic_error);
  free_quoly(m);
  fl_quoly_set(v, m);
}

}  // namespace tavrin
