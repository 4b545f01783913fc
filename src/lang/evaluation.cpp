// Evaluation at values ("#"): the reader of the values after "#", one value
// substituted for one variable, and a list of values for consecutive
// variables (total_eval).
//
// A value v with a denominator that is not a constant is put in by Horner's
// rule on the numerator and the denominator of the value separately (their
// coefficients in the variable taken as values); any other v (a number, a
// polynomial, a polynomial over a constant) is substituted into both
// polynomials directly (actual_eval_poly), the denominators it brings in
// multiplied across, and the value normalised. A list of values (written
// out, or the entries of an array) is put in by total evaluation of the
// numerator and the denominator; in characteristic 2 with values 0 and 1
// only, by the word path of tot_eval_poly2.
#include <cstdint>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_coef.h"
#include "poly/poly_diff.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_eval_diff.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

namespace {

using nodes::OwnedPoly;

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
  actual_eval_poly(&q->numer, numer_extra.cell(), &value, &value_denom, target, source, polynames);
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
  actual_eval_poly(&q->denom, denom_extra.cell(), &value, &value_denom, target, source, polynames);
  if (poly_iszero(q->denom)) {
    error(division_by_zero_error, &quotsign);
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

using namespace tokens;

// Frees the values after the first of the chain *n2.
void free_rest(quoly first) {
  if (first == nullptr) return;
  quoly rest = first->next;
  first->next = nullptr;
  purge_list(&rest);
}

// *n := p's value over q's value, each evaluated at the chain of values for
// the variables from depth target on.
void evaluate_parts(quolyptr n, quoly values, std::int16_t target, bool char2, std::int32_t count) {
  quoly q = *n;
  auto at = [&](poly p, quolyptr out) {
    if (char2) {
      tot_eval_poly2(p, values, out, 0, static_cast<std::int16_t>(target - 1), count);
    } else {
      tot_eval_poly(p, values, out, 0, static_cast<std::int16_t>(target - 1));
    }
  };
  ValueCell top;
  at(q->numer, &top.q);
  if (q->denom != nullptr) {
    ValueCell bottom;
    at(q->denom, &bottom.q);
    fast_quoly_quot(&top.q, &bottom.q, false);
  }
  *n = top.release();
}

}  // namespace

void total_eval(textptr inf, quolyptr n, quolyptr n2, nameptr* flag, bool should_free,
                std::int16_t target, bool leave_n) {
  bool char2 = modularmode && (finf || modulus == 2) && char2_degs1;
  try {
    std::int32_t count = 0;
    bool allnumbs = true;
    if (*n2 == nullptr) {
      values_from_array(inf, flag, n2, &allnumbs);
      for (quoly v = *n2; v != nullptr; v = v->next) ++count;
      char2 = char2 && allnumbs;
    } else if ((*n2)->next != nullptr) {
      for (quoly v = *n2; v != nullptr; v = v->next) ++count;
    } else {
      count = 1;
      quoly last = *n2;
      while (is_tok(",")) {
        scanner(inf, &token, flag);
        nodes::OwnedValue v;  // an error in the value leaves it to be freed here
        old_expre(inf, v.cell(), flag);
        v.q->next = nullptr;
        last->next = v.q;
        last = v.release();
        ++count;
      }
      if (!is_tok(")")) abandon(close_paren_expected_error, &token);
    }
    // One value a variable, counted from the first that takes one.
    if (count + target - 1 > number_polys) abandon(more_listed_values_than_variables_error, &token);
    for (quoly v = *n2; char2 && v != nullptr; v = v->next)
      char2 = v->numb && (v->ncoef->lint == 0 || v->ncoef->lint == 1);

    quoly q = *n;
    if (q->numb || (q->rat && !lintmode)) {
      if (leave_n) {
        *n = nullptr;
        quoly_assign(q, n);
      }
    } else {
      evaluate_parts(n, *n2, target, char2, count);
      if (!leave_n) free_quoly(&q);
    }
  } catch (...) {
    if (should_free) free_rest(*n2);
    throw;
  }
  if (should_free) free_rest(*n2);
}

void get_evalquoly(textptr inf, quolyptr n, quolyptr n2, std::int16_t* target, nameptr* flag,
                   bool should_free, bool leave_n) {
  if (*n2 != nullptr) {
    if ((*n2)->next != nullptr) {
      total_eval(inf, n, n2, flag, should_free, *target, leave_n);
    } else {
      single_substitution(n, *n2, *target, leave_n);
    }
    return;
  }
  if (!is_tok("(")) {
    *target = 1;
    old_fact(inf, n2, flag);
    (*n2)->next = nullptr;
    single_substitution(n, *n2, *target, leave_n);
    return;
  }
  scanner(inf, &token, flag);
  old_expre(inf, n2, flag);
  bool from_array = false;
  std::int16_t depth = 0;
  *target = 1;
  if (is_poly_var(*n2, &depth) && depth >= 1 && is_tok("=")) {
    scanner(inf, &token, flag);
    *target = depth;
    if (is_tok("[")) {
      free_quoly(n2);
      from_array = true;
    } else {
      old_expre(inf, n2, flag);
    }
  }
  if (*n2 != nullptr) (*n2)->next = nullptr;
  if (is_tok(",") || from_array) {
    total_eval(inf, n, n2, flag, should_free, *target, leave_n);
    if (!is_tok(")")) abandon(close_paren_expected_after_values_error, &token);
    scanner(inf, &token, flag);
    return;
  }
  if (!is_tok(")")) abandon(close_paren_expected_after_values_error, &token);
  scanner(inf, &token, flag);
  single_substitution(n, *n2, *target, leave_n);
}

}  // namespace tavrin
