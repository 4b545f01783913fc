// Evaluation at values: one given value substituted for one variable.
//
// A value v with a denominator that is not a constant is put in by Horner's
// rule on the numerator and the denominator of the value separately (their
// coefficients in the variable taken as values); any other v (a number, a
// polynomial, a polynomial over a constant) is substituted into both
// polynomials directly (actual_eval_poly), the denominators it brings in
// multiplied across, and the value normalised. The reading of values after
// "#" and the evaluation at a list of values are still to come.
#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "lang/expressions.h"
#include "lang/later_services.h"
#include "toplevel/language_services.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_coef.h"
#include "poly/poly_diff.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

namespace {

constexpr std::int32_t zero_denominator_error = 22;

using detail::OwnedPoly;

// The value of polynomial p (kept) with v for the variable target levels
// down, by Horner's rule over its coefficients in that variable.
void horner_poly(poly p, quoly v, std::int16_t target, quolyptr result) {
  std::int32_t top = -2147483647;
  max_degree(p, target, &top);
  ValueCell acc;
  ValueCell coefficient;
  {
    OwnedPoly c;
    extract_coef(p, c.cell(), static_cast<std::int16_t>(target - 1), top, top == 0);
    p_q_assign(c.get(), &acc.q);
  }
  ValueCell factor;
  for (std::int32_t i = top - 1; i >= 0; --i) {
    quoly_assign(v, &factor.q);
    fast_quoly_mult(&acc.q, &factor.q);
    OwnedPoly c;
    extract_coef(p, c.cell(), static_cast<std::int16_t>(target - 1), i, i == 0);
    p_q_assign(c.get(), &coefficient.q);
    best_quoly_add(&acc.q, coefficient.release());
  }
  free_quoly(result);
  *result = acc.release();
}

// *n := its numerator's value over its denominator's value, each by
// Horner's rule.
void horner_quoly_eval(quolyptr n, quoly v, std::int16_t target) {
  ValueCell top;
  horner_poly((*n)->numer, v, target, &top.q);
  if ((*n)->denom != nullptr) {
    ValueCell bottom;
    horner_poly((*n)->denom, v, target, &bottom.q);
    fast_quoly_quot(&top.q, &bottom.q, false);
  }
  free_quoly(n);
  *n = top.release();
}

// Some term of p at level depth (1: p's own list) has a negative exponent.
bool needto(poly p, std::int32_t depth) {
  for (poly t = p; t != nullptr; t = t->next) {
    if (depth == 1) {
      if (!t->numb && t->exp < 0) return true;
    } else if (!t->numb && needto(t->pcoef, depth - 1)) {
      return true;
    }
  }
  return false;
}

// v is a number, a polynomial or a polynomial over a constant: substituted
// into *n's numerator and denominator at level target.
void direct_substitution(quolyptr n, quoly v, std::int16_t target) {
  quoly q = *n;
  OwnedPoly own_value;
  poly value = nullptr;
  poly value_denom = nullptr;
  if (v->numb) {
    quoly_to_poly(v, own_value.cell());
    value = own_value.get();
  } else {
    value = v->numer;
    value_denom = v->denom;
  }
  const std::int32_t source = poly_depth(value);

  if (laurent && needto(q->numer, target)) {
    OwnedPoly shifts;
    poly tail = nullptr;
    clear_bads(&q->numer, shifts.cell(), &tail, 0, 0);
    if (shifts.get() != nullptr) {
      if (q->denom == nullptr) poly_set(1, &q->denom);
      eliminate_bads(&q->denom, shifts.get(), -1);
    }
  }

  OwnedPoly numer_extra;
  actual_eval_poly(&q->numer, numer_extra.cell(), &value, &value_denom, target, source,
                   polynames);
  if (q->denom == nullptr) {
    if (numer_extra.get() != nullptr) {
      q->denom = numer_extra.release();
      check_quoly(n, laurent);
    } else if (q->numer->numb && q->numer->next == nullptr) {
      polynum_to_quoly(n);
    }
    return;
  }
  OwnedPoly denom_extra;
  actual_eval_poly(&q->denom, denom_extra.cell(), &value, &value_denom, target, source,
                   polynames);
  if (poly_iszero(q->denom)) {
    error(zero_denominator_error, &quotsign);
    // Resumed from a nested level: the value becomes 1.
    free_poly(&q->numer);
    free_poly(&q->denom);
    poly_set(1, &q->numer);
    polynum_to_quoly(n);
    return;
  }
  if (denom_extra.get() != nullptr) {
    OwnedPoly product;
    poly_mult(q->numer, denom_extra.get(), product.cell(), polynames);
    free_poly(&q->numer);
    q->numer = product.release();
  }
  if (numer_extra.get() != nullptr) {
    OwnedPoly product;
    poly_mult(q->denom, numer_extra.get(), product.cell(), polynames);
    free_poly(&q->denom);
    q->denom = product.release();
  }
  check_quoly(n, laurent);
}

void single_substitution(quolyptr n, quoly v, std::int16_t target, bool leave_n) {
  if (leave_n) {
    quoly copy = nullptr;
    quoly_assign(*n, &copy);
    *n = copy;
  }
  quoly q = *n;
  if (!v->numb && v->denom != nullptr && !(v->denom->numb && v->denom->next == nullptr)) {
    if (q->numb || (q->rat && !lintmode)) return;
    horner_quoly_eval(n, v, target);
    return;
  }
  if (q->numb) return;
  direct_substitution(n, v, target);
}

}  // namespace

void get_evalquoly(textptr, quolyptr n, quolyptr n2, std::int16_t* target, nameptr*,
                   bool should_free, bool leave_n) {
  // The values after "#" and lists of values come with the evaluation at
  // several values.
  if (*n2 == nullptr || (*n2)->next != nullptr) not_implemented();
  single_substitution(n, *n2, *target, leave_n);
  (void)should_free;  // one value: nothing after the first to free
}

}  // namespace tavrin
