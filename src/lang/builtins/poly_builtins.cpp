#include "lang/builtins/poly_builtins.h"

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
#include "factor/powermod.h"
#include "factor/square_free.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_eval_diff.h"
#include "quoly/quoly_normal_form.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/builtins/builtin_env.h"
#include "lang/builtins/coefficients.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

namespace {

using Env = builtin_func1_EnvRec;
using nodes::OwnedPoly;

using tokens::expect;
using tokens::is_tok;
void scan(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

bool has_denominator(quoly v) { return !v->numb && v->denom != nullptr; }

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
  if (m.q != nullptr && !m.q->numb && m.q->denom != nullptr)
    abandon(rational_function_not_allowed_error, &token);
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
  if (!is_tok("]"))
    abandon(is_tok(",") ? sub_array_not_allowed_error : open_bracket_expected_178_error, &token);
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
  list_into_array(&name, count, list.cell());
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

// "Lcoef" (the leading coefficient in the top variable) and "Fieldlc",
// "Nlcoef", "Ntcoef", "Zcoef": numeric and field leading coefficients.
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
    case bi::Lcoef: quoly_leading_coef(env->x, env->n); break;
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

// "Mcoef" and "Mdiv".
void monomial_coefficient(Env* env, bool cofactor) {
  check_for_paren(env);
  scan(env);
  get_the_data(env, &env->x, env->n);
  // c starts as the argument's value (not owned) and becomes the answer.
  quoly c = *env->x;
  quoly_get_coef(env->inf, &c, env->flag, true, cofactor);
  ValueCell answer;
  answer.q = c;
  expect(")", close_paren_expected_error);
  free_quoly(env->n);
  *env->n = answer.release();
  scan(env);
}

bool number_negative(imptr x) {
  if (flotemode) return x->flote < 0;
  if (lintmode) return false;
  return x->head != nullptr && x->head->value < 0;
}

// "Numcont".
void numeric_content(Env* env) {
  look_read(env);
  const quoly v = *env->x;
  if (quoly_iszero(v)) {
    set_result(env, 0);
    return;
  }
  if (v->numb || v->rat) {
    if (lintmode) {
      set_result(env, 1);
      return;
    }
    own_value(env);
    const quoly w = *env->n;
    const bool negative = w->numb ? number_negative(w->ncoef) : number_negative(w->numer->ncoef);
    if (negative) quoly_inplace(w);
    return;
  }
  if (v->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  if (lintmode) {
    set_result(env, 1);
    return;
  }
  poly r = nullptr;
  gcd_coefs(v->numer, &r);
  free_quoly(env->n);
  use_up_poly(&r, env->n);
}

// "Pfrob".
void pth_root(Env* env) {
  if (!modularmode) abandon(monic_outside_field_error, &token);
  if (!mod_is_prime) abandon(modulus_not_prime_error, &token);
  standard_read(env);
  own_value(env);
  const quoly v = *env->n;
  if (v->numb) return;
  if (v->denom != nullptr) abandon(irreducible_quotient_error, &token);
  if (laurent && anynegs(v->numer)) abandon(negative_exponent_argument_error, &token);
  if (field_depth == 0) abandon(pth_root_above_field_error, &token);
  quoly_pth_root(env->n);
}

// "Powermod".
void modular_power(Env* env) {
  if (lintmode && !modularmode) abandon(word_arithmetic_error, &token);
  check_for_paren(env);
  scanner_expre(env);
  expect(",", comma_expected_error);
  if (has_denominator(*env->n)) abandon(base_has_denominator_error, &token);
  nodes::OwnedInteger e;  // a big integer whatever the mode
  get_exponent(env->inf, env->flag, e.cell(), false);
  ValueCell m;
  if (is_tok(",")) {
    scan(env);
    old_expre(env->inf, &m.q, env->flag);
    if (has_denominator(m.q)) abandon(modulus_must_positive_number_polynomial_error, &token);
    if (m.q->numb) {
      if (lintmode) abandon(modulus_must_not_number_modular_arithmetic_error, &token);
      const imptr x = m.q->ncoef;
      if (flotemode ? !(x->flote > 0) : (x->head == nullptr || x->head->value <= 0))
        abandon(modulus_must_positive_number_polynomial_error, &token);
    }
  }
  expect(")", close_paren_expected_error);
  if (m.q == nullptr && (*env->n)->numb && !lintmode)
    abandon(numeric_base_needs_modulus_error, &token);
  powermod(env->n, &m.q, e.n, false);
  scan(env);
}

// "Fetch": its argument is skipped.
void fetch_builtin(Env* env) {
  scan(env);
  scan(env);
  set_result(env, 0);
}

// "Height" and "Level".
void height_builtin(Env* env, std::int32_t index) {
  look_read(env);
  const quoly v = *env->x;
  const std::int32_t h =
      v->numb ? 0 : (index == bi::Height ? poly_height(v->numer) : poly_level(v->numer));
  set_result(env, h);
}

// "Irred".
void irred_builtin(Env* env) {
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
}

// "Lmon".
void lmon_builtin(Env* env) {
  ValueCell y;
  read_optional_second(env, &y.q, true);
  expect(")", close_paren_expected_error);
  scan(env);
  if ((*env->x)->numb) {
    own_value(env);
    return;
  }
  leading_mon(env->x, y.q == nullptr ? nullptr : &y.q, env->n);
}

// "Longest".
void longest_builtin(Env* env) {
  look_read(env);
  set_result(env, quoly_max_digits(*env->x));
}

// "Monless".
void monless_builtin(Env* env) {
  ValueCell b;
  read_two_operands(env, &b.q, ")");
  set_result(env, quoly_mon_less_eq(*env->n, b.q) ? 1 : 0);
}

// "Rational".
void rational_builtin(Env* env) {
  look_read(env);
  const quoly v = *env->x;
  set_result(env, !v->numb && v->rat && !lintmode ? 1 : 0);
}

// "Number".
void number_builtin(Env* env) {
  look_read(env);
  set_result(env, (*env->x)->numb ? 1 : 0);
}

// "Terms" and "Termsall".
void terms_builtin(Env* env, std::int32_t index) {
  look_read(env);
  const quoly v = *env->x;
  set_result(env, v->numb ? 1 : (index == bi::Terms ? numterms(v) : f_numterms(v)));
}

// "Vars".
void vars_builtin(Env* env) {
  look_read(env);
  const quoly v = *env->x;
  set_result(env, v->numb ? 0 : driver_poly_vars(v->numer));
}

constexpr BuiltinRegistration poly_rows[] = {
    {bi::Bint, index_free<to_machine_integer>},
    {bi::Content, index_free<content_builtin>},
    {bi::Denom, [](Env* env, std::int32_t) { fraction_part(env, false); }},
    {bi::Deriv, index_free<derivative>},
    {bi::EGCD, index_free<egcd_builtin>},
    {bi::Factor, factor_list},
    {bi::Fetch, index_free<fetch_builtin>},
    {bi::Fieldlc, numeric_coef},
    {bi::GCD, index_free<gcd_builtin>},
    {bi::Height, height_builtin},
    {bi::Irred, index_free<irred_builtin>},
    {bi::Isprime, index_free<isprime_builtin>},
    {bi::Lcoef, numeric_coef},
    {bi::Level, height_builtin},
    {bi::Lmon, index_free<lmon_builtin>},
    {bi::Longest, index_free<longest_builtin>},
    {bi::Lower, [](Env* env, std::int32_t) { shift_levels(env, true); }},
    {bi::Mcoef, [](Env* env, std::int32_t) { monomial_coefficient(env, false); }},
    {bi::Mdiv, [](Env* env, std::int32_t) { monomial_coefficient(env, true); }},
    {bi::Monless, index_free<monless_builtin>},
    {bi::Nlcoef, numeric_coef},
    {bi::Nmcoef, index_free<monomial_coef>},
    {bi::Ntcoef, numeric_coef},
    {bi::Number, index_free<number_builtin>},
    {bi::Numcont, index_free<numeric_content>},
    {bi::Numer, [](Env* env, std::int32_t) { fraction_part(env, true); }},
    {bi::Pfrob, index_free<pth_root>},
    {bi::Pint, index_free<to_machine_integer>},
    {bi::Powermod, index_free<modular_power>},
    {bi::Raise, [](Env* env, std::int32_t) { shift_levels(env, false); }},
    {bi::Rational, index_free<rational_builtin>},
    {bi::Sqfree, factor_list},
    {bi::Terms, terms_builtin},
    {bi::Termsall, terms_builtin},
    {bi::Vars, index_free<vars_builtin>},
    {bi::Zcoef, numeric_coef},
};

}  // namespace

void install_poly_builtins() { register_builtins(poly_rows); }

}  // namespace tavrin
