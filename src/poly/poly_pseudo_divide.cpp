// Pseudo-division, division with numeric multipliers, and division by a
// divisor whose leading coefficient is a number or an element of the field
// of the modded-out levels.
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/invertible.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using detail::below;
using detail::install;
using detail::is_zero;
using detail::lead_node;
using detail::make_term;
using detail::TermList;
using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The leading coefficient of m as a polynomial at m's own level: a
// constant leaf (a copy of m's own when m is a leaf), or m's coefficient
// wrapped in a pad that borrows it.
class LeadFactor {
 public:
  explicit LeadFactor(poly m) : factor_(lead(m)) {}
  poly get() const { return factor_.get(); }

 private:
  poly lead(poly m) {
    if (!m->numb) return lead_node(m);
    own_.p = detail::copy_node_alone(m);
    return own_.p;
  }

  OwnedPoly own_;  // constructed before factor_
  detail::PaddedFactor factor_;
};

// *w := *w + a, both consumed (nil standing for 0); a zero sum leaves nil.
void add_into(OwnedPoly& w, OwnedPoly& a) {
  if (w.p == nullptr) {
    w.p = a.release();
    return;
  }
  poly sum = nullptr;
  best_poly_add(w.release(), a.release(), &sum);
  w.p = sum;
  if (is_zero(w.p)) free_poly(&w.p);
}

// *p := *p * c at level pt (nothing when c is 1); a product that vanished
// leaves nil.
void times(poly* p, poly c, polypt pt) {
  if (*p == nullptr || poly_eq_1(c)) return;
  poly_mult(*p, c, p, pt);
  if (is_zero(*p)) free_poly(p);
}

// The pseudo-remainder loop: R := n; while deg R >= deg m, the leading term
// T of R (lowered by deg m) leaves R, R := c R - T tail(m), and (want_q)
// Q := c Q + T. With complete, R and Q are multiplied by the power of c
// still missing from c^(deg n - deg m + 1). *q (when want_q) and *r are set.
void pseudo_loop(poly n, poly m, polypt pt, bool want_q, bool complete, poly* q, poly* r) {
  ++divide_routes.pseudo_loop;
  const std::int32_t dm = degree(m);
  OwnedPoly R;
  poly_assign(n, &R.p);
  LeadFactor lead(m);
  poly c = lead.get();
  std::int32_t k = exp_add(exp_sub(degree(n), dm), 1);
  TermList Q;
  {
    detail::NegatedTail neg(m);
    poly negtail = neg.get();
    while (R.p != nullptr && degree(R.p) >= dm) {
      OwnedPoly T;
      T.p = R.p;
      R.p = T.p->next;
      T.p->next = nullptr;
      if (!T.p->numb) {
        T.p->exp -= dm;
        if (T.p->exp == 0 && is_bare_leaf(T.p->pcoef)) detail::unpad_leaf(&T.p);
      }
      times(&R.p, c, pt);
      if (want_q && !Q.empty()) {
        times(Q.cell(), c, pt);
        Q.relink();
      }
      k -= 1;
      if (negtail != nullptr) {
        OwnedPoly P;
        poly_mult(T.p, negtail, &P.p, pt);
        if (is_zero(P.p)) {
          free_poly(&P.p);
        } else if (R.p == nullptr) {
          R.p = P.release();
        } else {
          poly sum = nullptr;
          best_poly_add(R.release(), P.release(), &sum);
          R.p = sum;
          if (is_zero(R.p)) free_poly(&R.p);
        }
      }
      if (want_q) Q.append(T.release());
    }
  }
  if (complete && k > 0 && !poly_eq_1(c)) {
    OwnedPoly ck;
    poly_assign(c, &ck.p);
    if (k > 1) compute_power(&ck.p, k, pt);
    times(&R.p, ck.p, pt);
    if (want_q && !Q.empty()) {
      times(Q.cell(), ck.p, pt);
      Q.relink();
    }
  }
  if (R.p == nullptr) poly_set(0, &R.p);
  *r = R.release();
  if (want_q) *q = Q.release_or_zero();
}

// The pseudo-division with the full multiplier on contiguous words, when
// the integer route applies: *q and *r set (not freed) unless nil; a part
// not asked for is not formed (each is as long as c^k times the dividend).
bool integer_pseudo(poly n, poly m, polypt pt, poly* q, poly* r, const Ring& ring) {
  IntPoly a, b;
  if (!detail::integer_operands(n, m, pt, &a, &b, ring)) return false;
  ++divide_routes.integer_pseudo;
  // The multiple f goes on as the lists are built: f q and f r are as
  // long as c^k n, and are made only once, as lists.
  IntPoly qi, ri;
  WordInt f;
  intpoly_pseudo_divrem_scaled(a, b, q != nullptr ? &qi : nullptr, r != nullptr ? &ri : nullptr,
                               &f);
  OwnedPoly rr;
  if (r != nullptr) rr.p = intpoly_to_poly_times(ri, f);
  if (q != nullptr) *q = intpoly_to_poly_times(qi, f);
  if (r != nullptr) *r = rr.release();
  return true;
}

// deg n < deg m: the quotient 0 and the remainder a copy of n.
void below_divisor(poly n, poly* q, poly* r) {
  OwnedPoly qq, rr;
  poly_set(0, &qq.p);
  poly_assign(n, &rr.p);
  if (q != nullptr) install(q, qq);
  if (r != nullptr) install(r, rr);
}

}  // namespace

// ---- Pseudo-division -------------------------------------------------------------------

void pseudo_div(poly n, poly m, poly* q, poly* r, bool want_rem, polypt pt) {
  pseudo_div(n, m, q, r, want_rem, pt, Ring::current());
}

void pseudo_div(poly n, poly m, poly* q, poly* r, bool want_rem, polypt pt, const Ring& ring) {
  detail::DistinctDividend dividend(n, m);
  n = dividend.get();
  if (degree(n) < degree(m)) {
    below_divisor(n, q, want_rem ? r : nullptr);
    return;
  }
  OwnedPoly qq, rr;
  if (first_coef_invrtble(m, detail::level_depth(pt))) {
    if (ring.modular) {
      field_coef_poly_divide(n, m, pt, &qq.p, &rr.p);
    } else {
      OwnedPoly mult;
      pseudo_field_coef_poly_div(n, m, pt, &qq.p, &rr.p, &mult.p);
    }
  }
  if (qq.p == nullptr || rr.p == nullptr) {  // not invertible, or no inverse came back
    free_poly(&qq.p);
    free_poly(&rr.p);
    if (!integer_pseudo(n, m, pt, &qq.p, want_rem ? &rr.p : nullptr, ring))
      pseudo_loop(n, m, pt, true, true, &qq.p, &rr.p);
  }
  install(q, qq);
  if (want_rem) install(r, rr);
}

void pseudo_div_no_q(poly n, poly m, poly* r, polypt pp, bool want_Knuth) {
  pseudo_div_no_q(n, m, r, pp, want_Knuth, Ring::current());
}

void pseudo_div_no_q(poly n, poly m, poly* r, polypt pp, bool want_Knuth, const Ring& ring) {
  const std::int32_t dm = degree(m);
  if (dm < 1) {
    tavrin_error("bad m^.exp in pseudo div no q: ", false);
    std::printf("%" PRId32 "\n", dm);
  }
  detail::DistinctDividend dividend(n, m);
  n = dividend.get();
  if (degree(n) < dm) {
    below_divisor(n, nullptr, r);
    return;
  }
  OwnedPoly rr;
  if (!want_Knuth || !integer_pseudo(n, m, pp, nullptr, &rr.p, ring))
    pseudo_loop(n, m, pp, false, want_Knuth, nullptr, &rr.p);
  install(r, rr);
}

// ---- Division with numeric multipliers ---------------------------------------------------

namespace {

// p := p * c in place at every leaf, c a number (nothing when c is 1).
void scale_leaves(poly p, imptr c) {
  if (p == nullptr || nodes::num_is_one(c)) return;
  if (!flotemode && !lintmode) {
    rat_number_mult(p, c);
    return;
  }
  detail::for_each_number(p, [c](imptr x) { detail::num_product_inplace(x, c); });
}

// The results of one division with multipliers: coef n = q m + r, the
// quotient and the remainder built as term lists.
struct Multiplied {
  TermList q;
  TermList r;
  OwnedPoly coef;
  Multiplied() { poly_set(1, &coef.p); }
  // Everything formed so far times the number c.
  void scale(imptr c) {
    scale_leaves(*q.cell(), c);
    scale_leaves(*r.cell(), c);
    detail::num_product_inplace(coef.p->ncoef, c);
  }
};

void num_pseudo_core(poly n, poly m, polypt pt, OwnedPoly& q, OwnedPoly& r, OwnedPoly& coef);

// Two numbers: coef n = q m exactly. Big integers: coef = |m| / g and
// q = sign(m) n / g, g = gcd(n, m); floating: q = n / m; other modes
// coef = m, q = n. A zero m gives coef 1, q 0, r n.
void number_pair(poly n, poly m, OwnedPoly& q, OwnedPoly& r, OwnedPoly& coef) {
  if (nodes::num_is_zero_now(m->ncoef)) {
    poly_set(0, &q.p);
    poly_assign(n, &r.p);
    poly_set(1, &coef.p);
    return;
  }
  poly_set(0, &r.p);
  if (flotemode) {
    q.p = nodes::new_leaf(detail::copy_number(n->ncoef));
    q.p->ncoef->flote /= m->ncoef->flote;
    poly_set(1, &coef.p);
  } else if (lintmode) {
    poly_assign(n, &q.p);
    poly_assign(m, &coef.p);
  } else {
    nodes::ScratchNumber g, rem;
    binary_gcd(n->ncoef, m->ncoef, g.get());
    imptr cq, cc;
    newimag(&cq);
    q.p = nodes::new_leaf(cq);
    newimag(&cc);
    coef.p = nodes::new_leaf(cc);
    divide(n->ncoef, g.get(), cq, rem.get());
    divide(m->ncoef, g.get(), cc, rem.get());
    if (cc->head->value < 0) {
      in_place_neg(cc);
      in_place_neg(cq);
    }
  }
}

// m a constant, or of degree 0 below n's variable (a pad over m'): the
// coefficients of a copy W of n divided one by one, by m or by m' one level
// down; after each, everything formed so far and the coefficients of W
// still to divide are multiplied by the step's multiplier. Against a pad, a
// constant term of n or a coefficient that leaves a remainder is reported
// and kept in the remainder.
void coefficientwise(poly n, poly m, polypt pt, Multiplied& out) {
  const bool mc = is_bare_leaf(m);
  poly d = mc ? m : m->pcoef;
  OwnedPoly W;
  poly_assign(n, &W.p);
  for (poly t = W.p; t != nullptr; t = t->next) {
    OwnedPoly qc, rc, cc;
    if (t->numb) {
      if (!mc) {
        tavrin_error("n number in num_pseudo poly div.", true);
        out.r.append(detail::copy_node_alone(t));
        continue;
      }
      OwnedPoly alone;
      alone.p = detail::copy_node_alone(t);
      num_pseudo_core(alone.p, d, below(pt), qc, rc, cc);
    } else {
      num_pseudo_core(t->pcoef, d, below(pt), qc, rc, cc);
      if (!mc && !is_zero(rc.p)) tavrin_error("r not 0 in num_pseudo poly div.", true);
    }
    out.scale(cc.p->ncoef);
    scale_leaves(t->next, cc.p->ncoef);
    const std::int32_t e = degree(t);
    if (!is_zero(qc.p)) out.q.append(make_term(e, qc.release()));
    if (!is_zero(rc.p)) out.r.append(make_term(e, rc.release()));
  }
}

// m of positive degree: the leading coefficients divided one level down at
// every step. A leading remainder that does not vanish is kept in the
// remainder (after the report), so the identity still holds.
void by_leading(poly n, poly m, polypt pt, Multiplied& out, OwnedPoly& rest) {
  const std::int32_t dm = degree(m);
  OwnedPoly W;
  poly_assign(n, &W.p);
  detail::NegatedTail neg(m);
  while (W.p != nullptr && degree(W.p) >= dm) {
    const std::int32_t e = degree(W.p);
    OwnedPoly qc, rc, cc;
    num_pseudo_core(W.p->pcoef, m->pcoef, below(pt), qc, rc, cc);
    OwnedPoly head;
    head.p = W.p;
    W.p = head.p->next;
    head.p->next = nullptr;
    free_poly(&head.p);
    out.scale(cc.p->ncoef);
    scale_leaves(W.p, cc.p->ncoef);
    scale_leaves(rest.p, cc.p->ncoef);
    if (!is_zero(rc.p)) {
      tavrin_error("rem not 0 in num_pseudo_div.", true);
      OwnedPoly left;
      left.p = make_term(e, rc.release());
      if (rest.p == nullptr) {
        rest.p = left.release();
      } else {
        poly sum = nullptr;
        best_poly_add(rest.release(), left.release(), &sum);
        rest.p = sum;
      }
    }
    if (is_zero(qc.p)) continue;
    poly term = make_term(e - dm, qc.release());
    out.q.append(term);
    if (neg.get() == nullptr) continue;
    OwnedPoly P;
    poly_mult(term, neg.get(), &P.p, pt);
    if (!is_zero(P.p)) add_into(W, P);
  }
  if (W.p != nullptr) {
    poly w = W.release();
    *out.r.cell() = w;
    out.r.relink();
  }
}

void num_pseudo_core(poly n, poly m, polypt pt, OwnedPoly& q, OwnedPoly& r, OwnedPoly& coef) {
  const bool nc = is_bare_leaf(n), mc = is_bare_leaf(m);
  if ((nc && !mc) || degree(n) < degree(m)) {
    poly_set(0, &q.p);
    poly_assign(n, &r.p);
    poly_set(1, &coef.p);
    return;
  }
  if (first_coef_invrtble(m, detail::level_depth(pt))) {
    if (modularmode) {
      field_coef_poly_divide(n, m, pt, &q.p, &r.p);
      poly_set(1, &coef.p);
    } else {
      pseudo_field_coef_poly_div(n, m, pt, &q.p, &r.p, &coef.p);
    }
    if (q.p != nullptr && r.p != nullptr && coef.p != nullptr) return;
    free_poly(&q.p);  // no inverse came back: divide with multipliers
    free_poly(&r.p);
    free_poly(&coef.p);
  }
  if (nc && mc) {
    number_pair(n, m, q, r, coef);
    return;
  }
  if (!mc && degree(n) == 0 && degree(m) == 0) {
    std::int32_t h = 0;
    polypt lv = pt;
    poly nn = n, mm = m;
    findHeight(&nn, &mm, &h, &lv);
    num_pseudo_core(nn, mm, lv, q, r, coef);
    if (!is_bare_leaf(q.p)) add_pad(&q.p, h);
    if (!is_bare_leaf(r.p)) add_pad(&r.p, h);
    return;
  }
  Multiplied out;
  OwnedPoly rest;
  if (mc || degree(m) == 0) {
    coefficientwise(n, m, pt, out);
  } else {
    by_leading(n, m, pt, out, rest);
  }
  q.p = out.q.release_or_zero();
  r.p = out.r.release_or_zero();
  if (rest.p != nullptr) {
    poly sum = nullptr;
    best_poly_add(r.release(), rest.release(), &sum);
    r.p = sum;
  }
  coef.p = out.coef.release();
}

}  // namespace

void num_pseudo_div(poly n, poly m, poly* q, poly* r, poly* coef, polypt pt) {
  detail::DistinctDividend dividend(n, m);
  OwnedPoly qq, rr, cc;
  num_pseudo_core(dividend.get(), m, pt, qq, rr, cc);
  install(q, qq);
  install(r, rr);
  install(coef, cc);
}

// ---- Leading coefficients in the field -------------------------------------------------

namespace {

// The numerator of the inverse of the polynomial c over the field levels
// at pt; nil when no inverse came back.
poly field_inverse(poly c, polypt pt) {
  quoly inv = nullptr;
  poly_mod_invert(c, &inv, pt);
  if (inv == nullptr) return nullptr;
  poly numer = nullptr;
  if (inv->numb) {
    numer = nodes::new_leaf(inv->ncoef);
    inv->ncoef = nullptr;
  } else {
    numer = inv->numer;
    inv->numer = nullptr;
  }
  free_quoly(&inv);
  return numer;
}

}  // namespace

void field_coef_poly_divide(poly n, poly m, polypt pp, poly* q, poly* r) {
  if (pp == nullptr || pp->next == nullptr) {
    basic_poly_divide(n, m, q, r, true);
    return;
  }
  detail::DistinctDividend dividend(n, m);
  n = dividend.get();
  if (degree(n) < degree(m)) {
    below_divisor(n, q, r);
    return;
  }
  poly c = lead_node(m);
  OwnedPoly inv;
  if (is_bare_leaf(c)) {
    OwnedPoly one;
    poly_set(1, &one.p);
    imptr x;
    newimag(&x);
    inv.p = nodes::new_leaf(x);
    quot(one.p->ncoef, c->ncoef, x);
  } else {
    inv.p = field_inverse(c, pp->next);
    if (inv.p == nullptr) return;
  }
  ++divide_routes.field_divide;
  polypt lower = pp->next;
  OwnedPoly qq, rr;
  {
    detail::NegatedTail neg(m);
    poly iv = inv.p;
    auto coef = [iv, lower](poly lead) -> poly {
      OwnedPoly alone, out;
      poly a = lead;
      if (lead->numb) {
        alone.p = detail::copy_node_alone(lead);
        a = alone.p;
      }
      poly_mult(a, iv, &out.p, lower);
      return out.release();
    };
    auto mult = [pp](poly a, poly b, poly* out) { poly_mult(a, b, out, pp); };
    auto add = [](poly a, poly b, poly* out) { best_poly_add(a, b, out); };
    detail::long_division(n, m, neg.get(), coef, mult, add, &qq.p, &rr.p);
  }
  install(q, qq);
  install(r, rr);
}

void pseudo_field_coef_poly_div(poly n, poly m, polypt pp, poly* q, poly* r, poly* p) {
  detail::DistinctDividend dividend(n, m);
  n = dividend.get();
  const std::int32_t dm = degree(m);
  if (degree(n) < dm) {
    OwnedPoly one;
    poly_set(1, &one.p);
    below_divisor(n, q, r);
    install(p, one);
    return;
  }
  polypt lower = below(pp);
  // The inverse of the leading coefficient as a value.
  nodes::OwnedValue inv_cell;
  poly c = lead_node(m);
  if (is_bare_leaf(c)) {
    inv_cell.q = nodes::new_number_value(detail::copy_number(c->ncoef));
    quoly_reciprocal(&inv_cell.q);
  } else {
    poly_mod_invert(c, &inv_cell.q, lower);
  }
  if (inv_cell.q == nullptr) return;
  OwnedPoly W, P;
  poly_assign(n, &W.p);
  poly_set(1, &P.p);
  TermList Q;
  {
    detail::NegatedTail neg(m);
    while (W.p != nullptr && degree(W.p) >= dm) {
      OwnedPoly node;
      node.p = W.p;
      W.p = node.p->next;
      node.p->next = nullptr;
      quoly pv = nullptr;
      if (node.p->numb) {
        poly_to_quoly(node.p, &pv);
      } else {
        node.p->exp -= dm;
        p_q_assign(node.p->pcoef, &pv);
      }
      nodes::OwnedValue pv_cell(pv);
      nodes::OwnedValue prod;
      spec_quoly_mult(pv, inv_cell.q, &prod.q, lower);
      if (prod.q == nullptr) return;  // no product came back: the cells stay
      OwnedPoly numer;
      if (prod.q->numb) {
        numer.p = nodes::new_leaf(prod.q->ncoef);
        prod.q->ncoef = nullptr;
      } else {
        if (prod.q->denom != nullptr) {
          if (!is_bare_leaf(prod.q->denom)) return;  // not a number denominator
          imptr d = prod.q->denom->ncoef;
          scale_leaves(P.p, d);
          scale_leaves(W.p, d);
          scale_leaves(*Q.cell(), d);
        }
        numer.p = prod.q->numer;
        prod.q->numer = nullptr;
      }
      if (node.p->numb) {
        free_poly(&node.p);
        node.p = numer.release();
      } else {
        free_poly(&node.p->pcoef);
        node.p->pcoef = numer.release();
        if (node.p->exp == 0 && is_bare_leaf(node.p->pcoef)) detail::unpad_leaf(&node.p);
      }
      if (neg.get() != nullptr) {
        OwnedPoly prodt;
        poly_mult(node.p, neg.get(), &prodt.p, pp);
        if (!is_zero(prodt.p)) add_into(W, prodt);
      }
      Q.append(node.release());
    }
  }
  if (W.p == nullptr) poly_set(0, &W.p);
  OwnedPoly qq;
  qq.p = Q.release_or_zero();
  install(q, qq);
  install(r, W);
  install(p, P);
}

}  // namespace tavrin
