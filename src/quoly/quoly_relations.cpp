// Arithmetic in quotient rings: the inverse of a polynomial modulo the
// relation of its main variable (extended Euclid over the field levels
// below it), and the reduction of a polynomial by one relation at any level.
#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_in_place.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"

namespace tavrin {

using nodes::degree;
using nodes::DummyLevel;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The polynomial n divided by m over pp2, as a*n = b*m + r: a field division
// in word mode (a := 1), a pseudo-division with a number multiplier a
// otherwise. False when the division services gave no remainder.
bool divide_over_field(poly n, poly m, polypt pp2, OwnedPoly& a, OwnedPoly& b, OwnedPoly& r) {
  if (lintmode) {
    field_coef_poly_divide(n, m, pp2, b.cell(), r.cell());
    poly_set(1, a.cell());
  } else {
    pseudo_field_coef_poly_div(n, m, pp2, b.cell(), r.cell(), a.cell());
  }
  return b.p != nullptr && r.p != nullptr && a.p != nullptr;
}

// *out := x - b*y, the product over pp (its old value freed; it may hold
// b). x consumed, b and y kept.
void minus_product(poly x, poly b, poly y, polypt pp, poly* out) {
  OwnedPoly by, xx;
  xx.p = x;
  poly_mult(b, y, by.cell(), pp);
  poly diff = nullptr;
  best_poly_sub(xx.release(), by.release(), &diff);
  free_poly(out);
  *out = diff;
}

bool is_zero_leaf(poly p) { return is_bare_leaf(p) && poly_iszero(p); }

// The number denominator of v (v has one) made positive and coprime to the
// numerator's integer content; a denominator 1 is dropped.
void settle_number_denominator(quoly v) {
  if (poly_eq_1(v->denom)) {
    free_poly(&v->denom);
    return;
  }
  if (poly_eq_m1(v->denom)) {
    poly_inplace(v->numer);
    free_poly(&v->denom);
    return;
  }
  cancel_contents(v);
  if (poly_eq_1(v->denom)) {
    free_poly(&v->denom);
  } else if (poly_eq_m1(v->denom)) {
    poly_inplace(v->numer);
    free_poly(&v->denom);
  } else if (!pos_leading_coef(v->denom)) {
    poly_inplace(v->numer);
    poly_inplace(v->denom);
  }
}

// *a*n + *b*m = *r with *r free of the main variable; products over pp,
// divisions over pp2 (the level without its relation). Unchanged cells
// when a division gave no result.
void reverse_euclid(poly n, poly m, poly* a, poly* b, poly* r, polypt pp, polypt pp2) {
  OwnedPoly aa, bb, rr;
  if (!divide_over_field(n, m, pp2, aa, bb, rr)) return;
  if (degree(rr.p) > 0) {
    OwnedPoly x, y, z;
    reverse_euclid(m, rr.p, x.cell(), y.cell(), z.cell(), pp, pp2);
    if (z.p == nullptr) return;
    poly_mult(aa.p, y.p, aa.cell(), pp);
    minus_product(x.release(), bb.p, y.p, pp, bb.cell());
    free_poly(rr.cell());
    rr.p = z.release();
  } else {
    poly_inplace(bb.p);
  }
  free_poly(a);
  free_poly(b);
  free_poly(r);
  *a = aa.release();
  *b = bb.release();
  *r = rr.release();
}

// The inverse of q (not a pad) modulo the relation of its level pp: its
// numerator into num, its number denominator (nil meaning 1) into den.
// False, after the report, when no inverse can be formed.
bool invert_at_level(poly q, polypt pp, OwnedPoly& num, OwnedPoly& den) {
  poly rel = pp != nullptr ? pp->p : nullptr;
  if (rel != nullptr && is_bare_leaf(rel)) rel = pp->alt;
  if (rel == nullptr || !pp->field) {
    tavrin_error("poly invertibility failure. bad pp2", true);
    return false;
  }
  DummyLevel dummy(pp);
  OwnedPoly mu, b, r;
  if (!divide_over_field(rel, q, dummy.get(), mu, b, r)) return false;
  // mu rel = b q + r: b q = -r modulo rel.
  if (degree(r.p) == 0) {
    poly_inplace(b.p);
  } else {
    OwnedPoly x, y, z;
    reverse_euclid(q, r.p, x.cell(), y.cell(), z.cell(), pp, dummy.get());
    if (z.p == nullptr) return false;
    minus_product(x.release(), b.p, y.p, pp, b.cell());
    free_poly(r.cell());
    r.p = z.release();
  }
  // Now b q = r modulo rel, r free of the main variable.
  if (is_zero_leaf(r.p)) {
    tavrin_error("poly invertibility failure. q is not invertible", true);
    return false;
  }
  if (is_bare_leaf(r.p)) {
    if (lintmode) {
      num_poly_quot(b.p, r.p->ncoef, 0);
    } else {
      den.p = r.release();
    }
    num.p = b.release();
    return true;
  }
  OwnedPoly tn, td;
  {  // r lies in the levels below; the recursion walks its pad down
    quoly t = nullptr;
    poly_mod_invert(r.p, &t, pp);
    if (t == nullptr) return false;
    if (t->numb) {
      tn.p = nodes::new_leaf(t->ncoef);
      t->ncoef = nullptr;
    } else {
      tn.p = t->numer;
      td.p = t->denom;
      t->numer = nullptr;
      t->denom = nullptr;
    }
    t->numb = false;
    free_quoly(&t);
  }
  poly_mult(b.p, tn.p, b.cell(), dummy.get());
  num.p = b.release();
  den.p = td.release();
  return true;
}

}  // namespace

void poly_mod_invert(poly q, quolyptr p, polypt pp) {
  *p = nullptr;
  if (q->numb) {
    tavrin_error("poly invertibility failure. q is a number", true);
    return;
  }
  std::int32_t pads = 0;
  while (!q->numb && q->exp == 0) {  // pad terms: one level down
    ++pads;
    pp = pp != nullptr ? pp->next : nullptr;
    q = q->pcoef;
  }
  OwnedPoly num, den;
  if (!invert_at_level(q, pp, num, den)) return;
  add_pad(num.cell(), pads);
  *p = nodes::new_ratfun_value(num.release(), den.release());
  if ((*p)->denom == nullptr || lintmode) return;
  settle_number_denominator(*p);
  if ((*p)->denom != nullptr && !is_bare_leaf((*p)->denom)) tavrin_error("poly mod invert", true);
}

void mod_out_poly(poly* p, poly* modder, std::int32_t depth, std::int32_t expon, polypt pp) {
  if (depth == 1) {
    fold_poly(p, modder, expon, pp);
    return;
  }
  // Each term's coefficient is reduced one level down; the order of the
  // exponents does not change, so the list is relinked in place.
  poly* link = p;
  while (*link != nullptr) {
    poly t = *link;
    if (t->numb || is_bare_leaf(t->pcoef)) {
      link = &t->next;
      continue;
    }
    mod_out_poly(&t->pcoef, modder, depth - 1, expon, pp->next);
    link = detail::settle_term(link, is_zero_leaf(t->pcoef));
  }
  if (*p == nullptr) poly_set(0, p);
}

}  // namespace tavrin
