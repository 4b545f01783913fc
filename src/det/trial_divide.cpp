// The exact division test of the Bareiss steps (see bareiss.h).
#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "det/bareiss.h"

namespace tavrin {

namespace {

bool leaf(poly p) { return p != nullptr && p->numb && p->next == nullptr; }

bool number_zero(imptr x) { return x->head == nullptr || (x->size == 1 && x->head->value == 0); }

// Whether d divides a exactly (a, d numbers of the current mode); with
// wantq a := a / d. Word arithmetic: always, by the word quotient.
bool number_divides(imptr a, imptr d, bool wantq) {
  if (lintmode) {
    if (wantq) quot(a, d, a);
    return true;
  }
  imptr q = nullptr, r = nullptr;
  newimag(&q);
  newimag(&r);
  divide(a, d, q, r);
  const bool ok = number_zero(r);
  if (ok && wantq) divide(a, d, a, r);
  free_imag(&q);
  free_imag(&r);
  return ok;
}

// A divisor that lies in the coefficient field of the modded-out levels.
bool in_field(poly d) { return field_depth > 0 && poly_depth(d) >= field_depth; }

// *m := *m / d by the full division over polynames; false when it does not
// divide (then *m is kept).
bool divide_poly(poly* m, poly d, bool wantquot, polypt pt) {
  poly q = nullptr;
  const bool ok = trial_poly_divide(*m, d, &q, pt, false, false, false);
  if (ok && wantquot) {
    free_poly(m);
    *m = q;
  } else {
    free_poly(&q);
  }
  return ok;
}

// A number value *m divided by the field element n (its inverse modulo the
// relations has a number denominator that must divide m).
bool number_by_field(quolyptr n, quolyptr m, bool wantquot) {
  if (leaf((*n)->numer)) {
    tavrin_error("n^.numer number in trial_divide.", true);
    return false;
  }
  quoly inv = nullptr;
  poly_mod_invert((*n)->numer, &inv, polynames);
  bool ok = true;
  if (!inv->numb && inv->denom != nullptr) {
    if (!leaf(inv->denom)) {
      ok = false;
    } else {
      imptr r = nullptr;
      newimag(&r);
      mod_or_div((*m)->ncoef, inv->denom->ncoef, r, '|', false);
      ok = number_zero(r);
      free_imag(&r);
    }
  }
  if (ok && wantquot) {
    quoly q = nullptr;
    quoly_mult(*m, inv, &q);
    free_quoly(m);
    *m = q;
  }
  free_quoly(&inv);
  return ok;
}

// The Laurent form of the polynomial case: negative powers moved out of
// both, put back on the quotient (times m's, over n's).
bool laurent_polys(poly* n, poly* m, bool wantquot, bool fast_yes, bool SDivide) {
  nodes::OwnedPoly en, em;  // the moved-out powers, freed on every exit
  poly tail = nullptr;
  clear_bads(n, en.cell(), &tail, 0, 0);
  clear_bads(m, em.cell(), &tail, 0, 0);
  const bool ok = in_field(*n) ? divide_poly(m, *n, wantquot, polynames)
                               : check_polys(n, m, polynames, wantquot, fast_yes, SDivide);
  eliminate_bads(n, en.get(), 1);
  eliminate_bads(m, em.get(), 1);
  if (ok && wantquot) eliminate_bads(m, en.get(), -1);
  return ok;
}

}  // namespace

bool check_num_poly(imptr nm, poly m, bool wantq) {
  if (m == nullptr) return false;
  for (poly t = m; t != nullptr; t = t->next) {
    const bool ok =
        t->numb ? number_divides(t->ncoef, nm, wantq) : check_num_poly(nm, t->pcoef, wantq);
    if (!ok) return false;
  }
  return true;
}

bool height_check(poly n, poly m) {
  if (n == nullptr || n->numb) return true;
  const poly nc = n->pcoef;
  const std::int32_t h = nc->numb ? 0 : nc->exp;
  for (poly t = m; t != nullptr; t = t->next) {
    if (t->numb || t->pcoef->numb) return false;
    const std::int32_t e = t->pcoef->exp;
    if (h > 0 && h > e) return false;
    if (h == 0 && e > 0 && !nc->numb && !height_check(nc, t->pcoef)) return false;
  }
  return true;
}

bool check_polys(poly* n, poly* m, polypt pt, bool wantquot, bool fast_yes, bool SDivide) {
  (void)fast_yes;
  if (leaf(*n)) {
    if (leaf(*m)) return number_divides((*m)->ncoef, (*n)->ncoef, wantquot);
    if (!wantquot) return check_num_poly((*n)->ncoef, *m, false);
    // Test first, then divide: a failing coefficient leaves m whole.
    if (!lintmode && !check_num_poly((*n)->ncoef, *m, false)) return false;
    return check_num_poly((*n)->ncoef, *m, true);
  }
  if (leaf(*m)) return false;
  const bool n_pad = (*n)->exp == 0 && (*n)->next == nullptr;
  const bool m_pad = !(*m)->numb && (*m)->exp == 0 && (*m)->next == nullptr;
  if (!n_pad && m_pad) return false;  // n involves this variable, m does not
  if (n_pad && !m_pad && !SDivide) {
    // Degree pre-test on every coefficient of m (each must be a multiple of
    // n, which lies in the levels below).
    const poly nc = (*n)->pcoef;
    const std::int32_t e = nc->numb ? 0 : nc->exp;
    for (poly t = *m; t != nullptr; t = t->next) {
      if (t->numb || t->pcoef->numb) return false;
      const std::int32_t f = t->pcoef->exp;
      if (e > 0 && f < e) return false;
      if (e == 0 && f > 0 && !height_check(nc, t->pcoef)) return false;
    }
  }
  return divide_poly(m, *n, wantquot, pt);
}

void trial_divide(quolyptr n, quolyptr m, bool wantquot, bool fast_yes, bool SDivide, bool* use_n) {
  if (lintmode && !flotemode && !(modularmode && mod_is_prime)) {
    error(exact_division_needs_prime_modulus_word_error, &token);
    return;
  }
  bool divides = true;
  quoly dn = *n, dm = *m;
  if (quoly_iszero(dm)) {
    divides = true;
  } else if (!dn->numb) {
    if (!dm->numb) {
      if (laurent)
        divides = laurent_polys(&dn->numer, &dm->numer, wantquot, fast_yes, SDivide);
      else if (in_field(dn->numer))
        divides = divide_poly(&dm->numer, dn->numer, wantquot, polynames);
      else
        divides = check_polys(&dn->numer, &dm->numer, polynames, wantquot, fast_yes, SDivide);
      if (divides && wantquot && dm->denom == nullptr && leaf(dm->numer)) polynum_to_quoly(m);
    } else if (in_field(dn->numer)) {
      divides = number_by_field(n, m, wantquot);
    } else {
      divides = false;  // a non-constant divisor and a non-zero number
    }
  } else if (dm->numb) {
    divides = number_divides(dm->ncoef, dn->ncoef, wantquot);
  } else {
    divides = lintmode || check_num_poly(dn->ncoef, dm->numer, false);
    if (divides && wantquot) check_num_poly(dn->ncoef, dm->numer, true);
  }
  if (*use_n) {
    quoly_set(divides ? 1 : 0, n);
    (*n)->next = nullptr;
  } else {
    *use_n = !divides;
  }
}

}  // namespace tavrin
