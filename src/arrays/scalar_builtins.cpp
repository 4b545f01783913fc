#include "arrays/scalar_builtins.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/mixed_mode.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "numbers/primes.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/extended_gcd.h"
#include "factor/factor.h"
#include "factor/square_free.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_eval_diff.h"
#include "quoly/quoly_normal_form.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/lang_upcalls.h"
#include "lang/written_places.h"
#include "arrays/array_store.h"
#include "arrays/coefficients.h"
#include "arrays/det_upcalls.h"
#include "arrays/targets.h"

namespace tavrin {

namespace {

using detail::OwnedPoly;

using tokens::is_tok;
using tokens::expect;
void scan(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

// A sum from the current token into a fresh cell.
void read_sum(builtin_func1_EnvRec* env, quolyptr c) {
  free_quoly(c);
  old_expre(env->inf, c, env->flag);
}

// "(" a "," b and then `mark`, ")" or "," (else error 1 or 202): a into
// the result cell, the sum b into *b; the token after the mark current.
void read_two_operands(builtin_func1_EnvRec* env, quolyptr b, const char* mark) {
  read_with_comma(env);
  read_sum(env, b);
  expect(mark, std::strcmp(mark, ")") == 0 ? close_paren_expected_error : comma_expected_error);
  scan(env);
}

// "(" a ["," b] from the current token "(": x := a's cell (get_the_data,
// with look), *b := the sum b when a comma follows; the token after it
// current.
void read_optional_second(builtin_func1_EnvRec* env, quolyptr b, bool look = false) {
  check_for_paren(env);
  scan(env);
  get_the_data(env, &env->x, env->n, look);
  if (is_tok(",")) {
    scan(env);
    read_sum(env, b);
  }
}

// The value in the result cell: a copy of a referenced value.
void own_value(builtin_func1_EnvRec* env) {
  if (env->x != env->n) {
    free_quoly(env->n);
    quoly_assign(*env->x, env->n);
    env->x = env->n;
  }
}

void set_result(builtin_func1_EnvRec* env, std::int64_t v) { quoly_set_integer(v, env->n); }

// *n := p (taken over) as a value; a single leaf becomes a number.
void set_poly_result(builtin_func1_EnvRec* env, poly p) {
  free_quoly(env->n);
  use_up_poly(&p, env->n);
}

// The integer of one number: the word in single-word mode, else the most
// significant limb.
std::int32_t machine_integer(imptr x) {
  if (lintmode) return x->lint;
  return x->head == nullptr ? 0 : x->head->value;
}

// "Bint" and "Pint".
void to_machine_integer(builtin_func1_EnvRec* env) {
  check_for_paren(env);
  if (integerflag) {
    scan(env);
    long double r = 0;
    old_iexpre(&r, env->flag);
    expect(")", close_paren_expected_error);
    scan(env);
    set_result(env, static_cast<std::int32_t>(round_real(r)));
    return;
  }
  scanner_expre(env);
  if (!(*env->n)->numb) abandon(argument_not_number_error, &token);
  expect(")", close_paren_expected_error);
  scan(env);
  set_result(env, machine_integer((*env->n)->ncoef));
}

// "Content".
void content_builtin(builtin_func1_EnvRec* env) {
  ValueCell m;
  read_optional_second(env, &m.q, true);
  if (m.q != nullptr && !m.q->numb && m.q->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  expect(")", close_paren_expected_error);
  scan(env);
  if (env->x == env->n) {
    call_content(env->n, env->n, m.q == nullptr ? nullptr : &m.q);
  } else {
    free_quoly(env->n);
    call_content(env->x, env->n, m.q == nullptr ? nullptr : &m.q);
  }
}

// "Denom" (denominator) and "Numer" (numerator).
void fraction_part(builtin_func1_EnvRec* env, bool numerator) {
  look_read(env);
  const quoly v = *env->x;
  ValueCell out;
  if (v->numb) {
    if (numerator) {
      own_value(env);
      return;
    }
    quoly_set(1, &out.q);
  } else if (numerator) {
    p_q_assign(v->numer, &out.q);
  } else if (v->denom == nullptr) {
    quoly_set(1, &out.q);
  } else {
    p_q_assign(v->denom, &out.q);
  }
  free_quoly(env->n);
  *env->n = out.release();
}

// "Deriv".
void derivative(builtin_func1_EnvRec* env) {
  // The operand is read where it lies and held while the rest is read; the
  // derivative is then built from it, not from a copy.
  check_for_paren(env);
  scan(env);
  if (is_tok("^")) abandon(caret_not_allowed_error, &token);
  free_quoly(env->n);
  quolyptr operand = nullptr;
  lent_expre(env->inf, &operand, env->n, env->flag);
  if (operand != env->n) operand = env->held.hold(operand);
  if (!is_tok(",")) abandon(comma_expected_error, &token);
  scan(env);
  ValueCell var;
  read_sum(env, &var.q);
  std::int16_t depth = 0;
  std::int32_t expon = 0;
  poly p = nullptr;
  poly t = nullptr;
  check_for_monic_poly(single_variable_expected_error, var.q, &depth, &expon, &p, &t);
  if (expon != 1 || p->next != nullptr) abandon(single_variable_expected_error, &token);
  expect(",", comma_expected_error);
  get_level_k(env, false);
  if (env->k < 0) abandon(order_derivative_must_not_negative_error, &token);
  expect(")", close_paren_expected_error);
  scan(env);
  if (*env->n == nullptr && (*operand)->numb) quoly_assign(*operand, env->n);
  if (*env->n != nullptr) {  // owned, or a number copied
    if ((*env->n)->numb) {
      if (env->k > 0) set_result(env, 0);
      return;
    }
    differentiate(env->n, depth, env->k);
    return;
  }
  derivative_of(*operand, depth, env->k, env->n);
}

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
  if (has_denominator(d.q) || has_denominator(m.q)) abandon(division_test_value_denominator_error, &token);
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

// "Factor" (factors) and "Sqfree" (square-free parts): a k x 2 array.
void factor_list(builtin_func1_EnvRec* env, std::int32_t index) {
  if (index == bi::Factor && !modularmode) abandon(monic_outside_field_error, &token);
  if (lintmode && !modularmode) abandon(word_arithmetic_error, &token);
  read_with_comma(env);
  const quoly v = *env->n;
  if (!v->numb && v->denom != nullptr) abandon(irreducible_quotient_error, &token);
  if (!v->numb && laurent && anynegs(v->numer)) abandon(negative_exponent_argument_error, &token);
  expect("[", open_bracket_expected_178_error);
  scan(env);
  const tokentipe name = token;
  if (std::strcmp(name.name, "%") == 0) abandon(store_arrays_percent_not_allowed_error, &token);
  scan(env);
  if (!is_tok("]")) abandon(is_tok(",") ? sub_array_not_allowed_error : open_bracket_expected_178_error, &token);
  scan(env);
  std::int32_t level = -1;
  if (index == bi::Factor && is_tok(",")) {
    get_level_k(env, false);
    level = env->k;
  }
  expect(")", close_paren_expected_error);
  const bool show = verbose && *env->flag == nullptr;
  OwnedPoly list;  // freed when an error or an interrupt abandons the factoring
  std::int32_t count = 0;
  if (!v->numb) {
    std::int32_t code = 0;
    if (cant_factor(v->numer, &code, true)) abandon(code, &token);
    OwnedPoly a;
    poly_assign(v->numer, a.cell());
    if (index == bi::Factor) {
      factor_poly(a.cell(), list.cell(), &count, false, show, level);
    } else {
      total_sq_free(a.cell(), list.cell(), &count, true, polynames);
    }
  }
  scan(env);
  if (list.get() == nullptr) count = 0;
  insertarr(&name, count == 0 ? 1 : count, 2, false);
  if (count > 0) poly_to_array(count, find_array(&name)->start, list.cell());
  set_result(env, count);
}

// "GCD".
void gcd_builtin(builtin_func1_EnvRec* env) {
  ValueCell b;
  read_two_operands(env, &b.q, ")");
  quoly a = *env->n;
  if (a->numb && b.q->numb) {
    gcdnum(env->n, &b.q);
    return;
  }
  if (a->numb || b.q->numb) {
    quoly num = a->numb ? a : b.q;
    quoly pol = a->numb ? b.q : a;
    ValueCell out;
    if (quoly_iszero(num)) {
      gcd_0_poly(&pol, &out.q);
    } else {
      poly g = nullptr;
      gcd_coefs(pol->numer, &g);
      ValueCell c;
      poly_consume(&g, &c.q);
      quoly_assign(num, &out.q);
      gcdnum(&out.q, &c.q);
    }
    free_quoly(env->n);
    *env->n = out.release();
    return;
  }
  if ((a->denom != nullptr || b.q->denom != nullptr) && verbose)
    std::fputs("Warning. An argument to GCD is a rational function. Denominators ignored. \n",
               stdout);
  // Both operands are values of their own, freed after: the GCD may work
  // on their numerators in place (a Laurent shift does), so they are not
  // copied again.
  poly r = nullptr;
  Lpolygcd2(&a->numer, &b.q->numer, &r, polynames);
  set_poly_result(env, r);
}

// "EGCD": the cofactor targets are read by the extended-GCD routines.
void egcd_builtin(builtin_func1_EnvRec* env) {
  ValueCell b;
  read_two_operands(env, &b.q, ",");
  const quoly a = *env->n;
  if (a->numb && b.q->numb) {
    egcd_nums(env->n, &b.q, env->inf, env->flag);
  } else if (a->numb) {
    egcd_num_poly(env->n, &b.q, env->inf, env->flag, true);
  } else if (b.q->numb) {
    egcd_num_poly(&b.q, env->n, env->inf, env->flag, false);
    free_quoly(env->n);
    *env->n = b.release();
  } else {
    if (a->denom != nullptr || b.q->denom != nullptr) abandon(fraction_gcd_error, &token);
    poly g = nullptr;
    egcd_polys(a->numer, b.q->numer, &g, env->inf, env->flag, false);
    if (g == nullptr) return;
    set_poly_result(env, g);
  }
  scan(env);
}

// "Isprime": 1 for a prime, its least factor otherwise, 0 below 2.
void isprime_builtin(builtin_func1_EnvRec* env) {
  look_read(env);
  const quoly v = *env->x;
  if (!v->numb) abandon(not_number_error, &token);
  const imptr x = v->ncoef;
  std::int64_t value = 0;
  std::int32_t limbs[3] = {0, 0, 0};
  bool wide = false;
  if (flotemode) {
    const long double r = std::floor(x->flote + 0.5L);
    if (!(r < 9.2e18L && r > -9.2e18L)) abandon(number_too_large_primality_test_error, &token);
    value = static_cast<std::int64_t>(r);
  } else if (lintmode) {
    value = x->lint;
  } else if (x->head == nullptr || x->size <= 1) {
    value = x->head == nullptr ? 0 : x->head->value;
  } else if (x->head->value < 0) {
    value = -1;
  } else if (x->size == 2 && x->head->value <= 7) {
    value = (std::int64_t{x->head->value} << 28) + x->tail->value;
  } else if (x->size == 2 || (x->size == 3 && x->head->value <= 127)) {
    numptr l = x->head;
    for (std::int32_t k = 3 - x->size; k < 3; ++k, l = l->next) limbs[k] = l->value;
    wide = true;
  } else {
    abandon(number_too_large_primality_test_error, &token);
  }
  std::int64_t answer = 0;
  if (wide) {
    answer = longg_is_prime(limbs[0], limbs[1], limbs[2]);
  } else if (value < 2) {
    answer = 0;
  } else if (value <= 2147483647) {
    answer = long_is_prime(static_cast<std::int32_t>(value));
  } else {
    answer = longg_is_prime(static_cast<std::int32_t>(value >> 56),
                            static_cast<std::int32_t>((value >> 28) & 0xFFFFFFF),
                            static_cast<std::int32_t>(value & 0xFFFFFFF));
  }
  set_result(env, answer);
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

// "Fieldlc", "Nlcoef", "Ntcoef", "Zcoef": numeric and field leading coefficients.
void numeric_coef(builtin_func1_EnvRec* env, std::int32_t index) {
  look_read(env);
  const quoly v = *env->x;
  if (v->numb) {
    own_value(env);
    return;
  }
  if (v->denom != nullptr) abandon(irreducible_quotient_error, &token);
  switch (index) {
    case bi::Fieldlc:
      if (field_depth != 0) {
        quoly_field_leading_coef(env->x, env->n);
      } else {
        quoly_leading_num_coef(env->x, env->n);
      }
      break;
    case bi::Nlcoef: quoly_leading_num_coef(env->x, env->n); break;
    case bi::Ntcoef: quoly_trail_num_coef(env->x, env->n); break;
    default: quoly_z_num_coef(env->x, env->n); break;
  }
}

// "Lower" and "Raise".
void shift_levels(builtin_func1_EnvRec* env, bool lower) {
  check_for_paren(env);
  scanner_expre(env);
  env->k = 1;
  if (is_tok(",")) get_level_k(env, true);
  expect(")", close_paren_expected_error);
  scan(env);
  if ((*env->n)->numb || env->k == 0) return;
  if (lower) {
    lower_quoly(env->n, env->k);
  } else {
    raise_quoly(env->n, env->k);
  }
}

// "Nmcoef".
void monomial_coef(builtin_func1_EnvRec* env) {
  ValueCell m;
  read_two_operands(env, &m.q, ")");
  const quoly a = *env->n;
  if ((!a->numb && a->denom != nullptr) || (!m.q->numb && m.q->denom != nullptr))
    abandon(irreducible_quotient_error, &token);
  if (a->numb) {
    if (!m.q->numb) set_result(env, 0);
    return;
  }
  if (m.q->numb) {
    quoly_z_num_coef(env->n, env->n);
    return;
  }
  if (!monomial(m.q->numer)) abandon(single_monomial_expected_error, &token);
  quoly_mono_num_coef(env->n, env->n, m.q->numer);
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
  if (with_denominator(*a) || with_denominator(*b)) abandon(rational_function_not_allowed_error, &token);
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

bool scalar_builtin(builtin_func1_EnvRec* env, std::int32_t index) {
  switch (index) {
    case bi::Bint:
    case bi::Pint: to_machine_integer(env); return true;
    case bi::Content: content_builtin(env); return true;
    case bi::Denom: fraction_part(env, false); return true;
    case bi::Numer: fraction_part(env, true); return true;
    case bi::Deriv: derivative(env); return true;
    case bi::Div:
    case bi::Pdiv:
    case bi::SDivide: divides(env, index); return true;
    case bi::EGCD: egcd_builtin(env); return true;
    case bi::Equal:
    case bi::Equalneg: equal_builtin(env, index); return true;
    case bi::Factor:
    case bi::Sqfree: factor_list(env, index); return true;
    case bi::Fetch:
      scan(env);
      scan(env);
      set_result(env, 0);
      return true;
    case bi::Fieldlc:
    case bi::Nlcoef:
    case bi::Ntcoef:
    case bi::Zcoef: numeric_coef(env, index); return true;
    case bi::GCD: gcd_builtin(env); return true;
    case bi::Height:
    case bi::Level: {
      look_read(env);
      const quoly v = *env->x;
      const std::int32_t h = v->numb ? 0 : (index == bi::Height ? poly_height(v->numer) : poly_level(v->numer));
      set_result(env, h);
      return true;
    }
    case bi::Irred: {
      check_for_paren(env);
      scanner_expre(env);
      std::int32_t level = -1;
      if (is_tok(",")) {
        get_level_k(env, true);
        level = env->k;
      }
      expect(")", close_paren_expected_error);
      scan(env);
      if (!modularmode) abandon(monic_outside_field_error, &token);
      if (!mod_is_prime) abandon(modulus_not_prime_error, &token);
      irreducible_poly(env->n, level);
      return true;
    }
    case bi::Isprime: isprime_builtin(env); return true;
    case bi::Killden: killden_builtin(env); return true;
    case bi::Lcoef: {
      look_read(env);
      const quoly v = *env->x;
      if (v->numb) {
        own_value(env);
        return true;
      }
      if (v->denom != nullptr) abandon(irreducible_quotient_error, &token);
      quoly_leading_coef(env->x, env->n);
      return true;
    }
    case bi::Lmon: {
      ValueCell y;
      read_optional_second(env, &y.q, true);
      expect(")", close_paren_expected_error);
      scan(env);
      if ((*env->x)->numb) {
        own_value(env);
        return true;
      }
      leading_mon(env->x, y.q == nullptr ? nullptr : &y.q, env->n);
      return true;
    }
    case bi::Longest: {
      look_read(env);
      set_result(env, quoly_max_digits(*env->x));
      return true;
    }
    case bi::Lower: shift_levels(env, true); return true;
    case bi::Raise: shift_levels(env, false); return true;
    case bi::Monless: {
      ValueCell b;
      read_two_operands(env, &b.q, ")");
      set_result(env, quoly_mon_less_eq(*env->n, b.q) ? 1 : 0);
      return true;
    }
    case bi::Nmcoef: monomial_coef(env); return true;
    case bi::Rational: {
      look_read(env);
      const quoly v = *env->x;
      set_result(env, !v->numb && v->rat && !lintmode ? 1 : 0);
      return true;
    }
    case bi::Splice: splice_builtin(env); return true;
    case bi::Split: split_builtin(env); return true;
    default: return false;
  }
}

}  // namespace tavrin
