// Reduction of polynomials by the relations of the modded-out levels: the
// total reduction through every level, the reduction above the field, and
// the fold by one relation that builds a level's multiplication data.
#include "poly/poly_modout.h"

#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/ring.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using detail::is_zero;
using detail::lead_node;
using detail::PaddedFactor;
using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// ---- Total reduction --------------------------------------------------------------

// Every term of *p's top list whose coefficient begins with a term has that
// coefficient reduced by the levels from below down; vanished terms go, an
// exponent-0 term left over a bare leaf becomes the leaf; an emptied list
// is 0.
void reduce_coefficients(poly* p, polypt below) {
  poly* link = p;
  while (*link != nullptr) {
    poly t = *link;
    if (t->numb || t->pcoef->numb) {
      link = &t->next;
      continue;
    }
    total_poly_modout(&t->pcoef, below);
    link = detail::settle_term(link, is_zero(t->pcoef));
  }
  if (*p == nullptr) poly_set(0, p);
}

// ---- Fold by one relation ------------------------------------------------------------

// *w := *w + a, both consumed; a zero sum is 0.
void add_into(poly* w, poly a) {
  if (*w == nullptr) {
    *w = a;
    return;
  }
  poly sum = nullptr;
  best_poly_add(*w, a, &sum);
  *w = sum;
}

// c0^k w modulo the relation m of degree d >= 1, k the number of steps,
// with the products over the relation-free level work: the head term c t^e
// of w leaves it (lowered to c t^(e - d)), w := (rest of w) c0 - c t^(e-d)
// (m - c0 t^d), until deg w < d. w: kept; the result is fresh.
poly fold_steps(poly w_in, poly m, polypt work) {
  const std::int32_t d = degree(m);
  PaddedFactor c0(lead_node(m));
  const bool monic = poly_eq_1(c0.get());
  OwnedPoly w;
  poly_assign(w_in, &w.p);
  detail::NegatedTail neg(m);
  while (w.p != nullptr && !w.p->numb && w.p->exp >= d) {
    OwnedPoly head;
    head.p = w.p;
    w.p = head.p->next;
    head.p->next = nullptr;
    head.p->exp -= d;
    if (head.p->exp == 0 && is_bare_leaf(head.p->pcoef)) detail::unpad_leaf(&head.p);
    if (w.p != nullptr && !monic) {
      poly_mult(w.p, c0.get(), &w.p, work);
      if (is_zero(w.p)) free_poly(&w.p);
    }
    if (neg.get() != nullptr) {
      OwnedPoly product;
      poly_mult(head.p, neg.get(), &product.p, work);
      if (!is_zero(product.p)) {
        add_into(&w.p, product.release());
        if (is_zero(w.p)) free_poly(&w.p);
      }
    }
  }
  if (w.p == nullptr) poly_set(0, &w.p);
  return w.release();
}

// w reduced by the polynomial relation m (degree >= 1) of level pp, over the
// relation-free copy work: the remainder when m's leading coefficient is
// invertible, else c0^k w by fold_steps. nil when the division services
// gave no remainder. w: kept; the result is fresh.
poly relation_reduce(poly w, poly m, polypt pp, polypt work, const Ring& ring) {
  if (degree(w) < degree(m)) {
    OwnedPoly copy;
    poly_assign(w, &copy.p);
    return copy.release();
  }
  if (!first_coef_invrtble(m, pp->depth)) return fold_steps(w, m, work);
  OwnedPoly q, r, mult;
  if (ring.modular) {
    field_coef_poly_divide(w, m, work, &q.p, &r.p);
  } else {
    pseudo_field_coef_poly_div(w, m, work, &q.p, &r.p, &mult.p);
  }
  return r.release();
}

// Cuts *p before its first term of negative exponent and returns that tail
// (nil when there is none); an emptied *p is 0.
poly cut_negative_tail(poly* p) {
  poly* link = p;
  while (*link != nullptr && (*link)->exp >= 0) link = &(*link)->next;
  poly tail = *link;
  *link = nullptr;
  if (*p == nullptr) poly_set(0, p);
  return tail;
}

// The negative tail L of a Laurent polynomial folded by the relation *modder
// of pp: L t^s (s = 1 + |lowest exponent|) reduced, times (1/t)^s modulo the
// relation. nil when no inverse of t comes back (L is then left to the
// caller, unchanged). L: consumed when folded.
poly fold_negative_tail(poly* L, poly* modder, polypt pp, polypt work, const Ring& ring) {
  InterruptHold hold;  // the level's relation is swapped until the end
  // The level carries the relation for the inverse, the power and the
  // product; reduced powers of another relation must not be used meanwhile.
  const bool other = pp->p != *modder;
  ScopedValue<poly> relation(pp->p, *modder);
  ScopedValue<poly> reduced_powers(pp->multdata, other ? nullptr : pp->multdata);
  detail::FieldInverse inv;
  {
    OwnedPoly t;
    base_poly(&t.p, 1);
    if (!inv.take(t.p, pp)) return nullptr;
  }
  if (inv.denom != nullptr) tavrin_error("laurent_fold.", true);
  const std::int32_t s = exp_add(-lastnode(*L)->exp, 1);
  for (poly t = *L; t != nullptr; t = t->next) t->exp = exp_add(t->exp, s);
  OwnedPoly shifted;
  shifted.p = *L;
  *L = nullptr;
  OwnedPoly folded;
  folded.p = relation_reduce(shifted.p, *modder, pp, work, ring);
  if (folded.p == nullptr) folded.p = shifted.release();
  compute_power(&inv.numer, s, pp);
  poly_mult(folded.p, inv.numer, &folded.p, pp);
  return folded.release();
}

}  // namespace

// ---- Total reduction ----------------------------------------------------------------

void total_poly_modout(poly* p, polypt pt) {
  if (pt == nullptr) return;
  if (pt->next == nullptr) {
    if (pt->p != nullptr) mod_out_poly(p, &pt->p, 1, pt->expon, pt);
    return;
  }
  reduce_coefficients(p, pt->next);
  if (degree(*p) != 0 && pt->p != nullptr) mod_out_poly(p, &pt->p, 1, pt->expon, pt);
}

void above_field_modout(poly* p) {
  const Ring ring = Ring::current();
  std::int32_t depth = 1;
  for (polypt pp = polynames; pp != nullptr; pp = pp->next, ++depth) {
    if (ring.field_depth > 0 && depth >= ring.field_depth) break;
    if (pp->p != nullptr) mod_out_poly(p, &pp->p, depth, pp->expon, polynames);
  }
}

bool doing_polymod_field() {
  for (polypt pp = polynames; pp != nullptr; pp = pp->next)
    if (pp->p != nullptr && pp->field) return true;
  return false;
}

// ---- Fold by one relation -------------------------------------------------------------

void fold_poly(poly* p, poly* modder, std::int32_t expon, polypt pp) {
  const Ring ring = Ring::current();
  if (is_bare_leaf(*modder)) {
    num_fold_poly(p, modder, expon, ring);
    return;
  }
  const std::int32_t d = degree(*modder);
  if (d < 1) {
    tavrin_error("bad m^.exp in pseudo div no q: ", false);
    std::printf("%" PRId32 "\n", d);
    return;
  }
  nodes::DummyLevel work(pp);
  OwnedPoly tail, folded_tail;
  if (ring.laurent) {
    tail.p = cut_negative_tail(p);
    if (tail.p != nullptr)
      folded_tail.p = fold_negative_tail(&tail.p, modder, pp, work.get(), ring);
  }
  OwnedPoly result;
  result.p = relation_reduce(*p, *modder, pp, work.get(), ring);
  if (result.p != nullptr) {
    free_poly(p);
    *p = result.release();
  }
  if (folded_tail.p != nullptr) add_into(p, folded_tail.release());
  if (tail.p != nullptr) add_into(p, tail.release());  // no inverse of t: unfolded
}

}  // namespace tavrin
