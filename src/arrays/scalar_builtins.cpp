#include "arrays/scalar_builtins.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_normal_form.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/written_places.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/targets.h"

namespace tavrin {

namespace {

using tokens::expect;
using tokens::is_tok;
void scan(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

// "Div", "Pdiv" and "SDivide": divisibility by the exact trial division.
void divides(builtin_func1_EnvRec* env, std::int32_t index) {
  ValueCell d, m;
  quolyptr target = nullptr;
  check_for_paren(env);
  scan(env);
  if (index != bi::Div && is_tok("^")) scan(env);
  if (is_tok("^")) abandon(caret_not_allowed_error, &token);
  read_sum(env, &d.q);
  expect(",", comma_expected_error);
  scan(env);
  WrittenPlace target_place;
  if (index == bi::SDivide) {
    read_target_cell(env, &target, &m.q);
    target_place = place_of(target);
    if (target != &m.q) quoly_assign(*target == nullptr ? m.q : *target, &m.q);
  } else {
    if (index == bi::Pdiv && is_tok("^")) scan(env);
    read_sum(env, &m.q);
  }
  auto has_denominator = [](quoly v) { return !v->numb && v->denom != nullptr; };
  if (has_denominator(d.q) || has_denominator(m.q))
    abandon(division_test_value_denominator_error, &token);
  if (quoly_iszero(d.q)) {
    error(division_by_zero_error, &token);
    quoly_set(1, &d.q);
  }
  const bool third = index == bi::Div && is_tok(",");
  if (!third) expect(")", close_paren_expected_error);
  bool use_n = false;
  trial_divide(&d.q, &m.q, third || index == bi::SDivide, index != bi::Div, false, &use_n);
  const std::int32_t answer = use_n ? 0 : 1;
  if (third) {
    scan(env);
    if (use_n) quoly_set(1, &m.q);
    set_quotient(m.release(), env->inf, env->flag, close_paren_expected_error, ')');
  } else if (index == bi::SDivide && target != &m.q && !use_n) {
    target = place_still_there(&target_place, true);
    free_quoly(target);
    *target = m.release();
  }
  scan(env);
  set_result(env, answer);
}

// "Equal" and "Equalneg": one side, "Numer(" / "Denom(" wrappers allowed.
quoly equal_side(builtin_func1_EnvRec* env, bool* in_numer, bool* in_denom, quolyptr scratch) {
  *in_numer = is_tok("Numer");
  *in_denom = is_tok("Denom");
  if (*in_numer || *in_denom) {
    check_for_paren(env);
    scan(env);
  }
  quolyptr cell = nullptr;
  read_quoly_ptr2(env, &cell, scratch);
  if (*in_numer || *in_denom) {
    expect(")", close_paren_expected_error);
    scan(env);
  }
  return *cell;
}

void equal_builtin(builtin_func1_EnvRec* env, std::int32_t index) {
  check_for_paren(env);
  scan(env);
  bool want[6] = {};
  ValueCell a, b;
  const quoly x = equal_side(env, &want[0], &want[1], &a.q);
  expect(",", comma_expected_error);
  scan(env);
  const quoly y = equal_side(env, &want[2], &want[3], &b.q);
  expect(")", close_paren_expected_error);
  scan(env);
  free_quoly(env->n);
  finish_equal(index, env->n, x, y, want);
}

// "Killden".
void killden_builtin(builtin_func1_EnvRec* env) {
  scan(env);
  if (is_tok("[")) {
    array_killden(env);
  } else if (is_tok("(")) {
    basic_killden(env);
  } else {
    abandon(open_paren_expected_177_error, &token);
  }
  set_result(env, 0);
}

// The count of 86 and 87, read with modular arithmetic off. Errors 227, 32.
std::int32_t read_count(builtin_func1_EnvRec* env) {
  scan(env);
  ModularBracket integers;
  ValueCell c;
  read_sum(env, &c.q);
  if (!c.q->numb) abandon(not_number_error, &token);
  const imptr x = c.q->ncoef;
  if (flotemode) {
    const long double r = std::floor(x->flote + 0.5L);
    if (!(r > -2147483648.0L && r < 2147483648.0L)) abandon(exponent_too_large_error, &token);
    return static_cast<std::int32_t>(r);
  }
  if (lintmode) return x->lint;
  if (x->size > 1) abandon(exponent_too_large_error, &token);
  return x->head == nullptr ? 0 : x->head->value;
}

// The value of a cell taken out for an in-place change (the cell holds 1
// meanwhile) and written back on every exit.
struct TakenOut {
  quolyptr cell;
  quoly value = nullptr;
  explicit TakenOut(quolyptr c) : cell(c) {
    writable_value(cell);
    value = *cell;
    *cell = nullptr;
    quoly_set(1, cell);
    if (value == nullptr) quoly_set(0, &value);
  }
  ~TakenOut() {
    free_quoly(cell);
    *cell = value;
  }
  TakenOut(const TakenOut&) = delete;
  TakenOut& operator=(const TakenOut&) = delete;
};

bool with_denominator(quoly v) { return v != nullptr && !v->numb && v->denom != nullptr; }

// A built-in's target cell found again after its later arguments, which may
// have removed places: an absent one (an entry removed meanwhile) reads 0
// from the scratch cell.
quolyptr found_again(WrittenPlace* w, quolyptr cell, quolyptr scratch) {
  if (w->removals == places_removed || !w->described()) return cell;
  cell = place_still_there(w, false);
  if (cell != nullptr && *cell != nullptr) return cell;
  free_quoly(scratch);
  quoly_set(0, scratch);
  return scratch;
}

// "Splice": a := a + b x^k.
void splice_builtin(builtin_func1_EnvRec* env) {
  check_for_paren(env);
  scan(env);
  ValueCell sa, sb;
  quolyptr a = nullptr;
  read_target_cell(env, &a, &sa.q);
  WrittenPlace a_place = place_of(a);
  expect(",", comma_expected_error);
  scan(env);
  quolyptr b = nullptr;
  read_target_cell(env, &b, &sb.q);  // b is left holding 1
  WrittenPlace b_place = place_of(b);
  expect(",", comma_expected_error);
  const std::int32_t k = read_count(env);
  // The count may have removed places: both are found again.
  a = found_again(&a_place, a, &sa.q);
  b = found_again(&b_place, b, &sb.q);
  if (k <= 0) abandon(count_must_positive_error, &token);
  expect(")", close_paren_expected_error);
  scan(env);
  if (with_denominator(*a) || with_denominator(*b))
    abandon(rational_function_not_allowed_error, &token);
  if (*b == nullptr) quoly_set(0, b);
  {
    TakenOut av(a);
    splice_poly(&av.value, b, k);
  }
  set_result(env, 0);
}

// "Split": a keeps its terms below x^k, the rest over x^k goes to b.
void split_builtin(builtin_func1_EnvRec* env) {
  check_for_paren(env);
  scan(env);
  ValueCell sa;
  quolyptr a = nullptr;
  if (is_tok("^")) scan(env);
  bool sparse = false;
  new_get_quoly_ptr(&a, env->inf, env->flag, &sparse);
  if (a == nullptr || *a == nullptr) {
    quoly_set(0, &sa.q);
    a = &sa.q;
    sparse = false;
  }
  WrittenPlace a_place = place_of(a);
  expect(",", comma_expected_error);
  const std::int32_t k = read_count(env);
  a = found_again(&a_place, a, &sa.q);
  if (k < 0) abandon(count_must_not_negative_error, &token);
  if (with_denominator(*a)) abandon(rational_function_not_allowed_error, &token);
  // A sparse entry may not be left at zero: refused before anything moves.
  if (sparse && (k == 0 || (!(*a)->numb && lastnode((*a)->numer)->exp >= k)))
    abandon(sparse_entry_would_become_zero_error, &token);
  ValueCell rest;
  quoly_set(k, &rest.q);
  {
    TakenOut av(a);
    split_poly(&av.value, &rest.q);
  }
  if (is_tok(",")) {
    scan(env);
    set_quotient(rest.release(), env->inf, env->flag, close_paren_expected_error, ')');
  }
  expect(")", close_paren_expected_error);
  scan(env);
  set_result(env, 0);
}

}  // namespace

namespace {

constexpr BuiltinRegistration scalar_rows[] = {
    {bi::Div, divides},
    {bi::Pdiv, divides},
    {bi::SDivide, divides},
    {bi::Equal, equal_builtin},
    {bi::Equalneg, equal_builtin},
    {bi::Killden, index_free<killden_builtin>},
    {bi::Splice, index_free<splice_builtin>},
    {bi::Split, index_free<split_builtin>},
};

}  // namespace

void install_scalar_builtins() { register_builtins(scalar_rows); }

}  // namespace tavrin
