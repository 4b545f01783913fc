// The extended GCD of integers and of one-variable polynomials modulo a
// prime, and the built-in's bodies around it.
#include "gcd/extended_gcd.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "dense/dense_char2.h"
#include "dense/dense_modular.h"
#include "dense/residue_vectors.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::OwnedValue;
using nodes::ScratchNumber;

namespace {

bool is_negative(imptr n) { return n->size > 0 && n->head->value < 0; }

// A number value holding a copy of n.
void number_value(imptr n, quoly* q) {
  quoly_set(0, q);
  num_assign(n, (*q)->ncoef);
}

// A polynomial made a value: a number value for a constant (the leaf used
// up), else a rational function without denominator.
void poly_value(OwnedPoly& p, quoly* q) {
  poly raw = p.release();
  use_up_poly(&raw, q);
}

// row := row - q * other (row consumed and rebuilt; q, other kept).
void subtract_product(poly* row, poly q, poly other) {
  poly t = nullptr;
  simplest_poly_mult(q, other, &t, 0, 0, 0, 0);
  simplest_poly_sub(*row, t, row);
}

// The leading number of a one-variable polynomial, nil when it has none.
poly leading_number(poly p) {
  if (p->numb) return p;
  return is_bare_leaf(p->pcoef) ? p->pcoef : nullptr;
}

}  // namespace

void extended_number_gcd(imptr a, imptr b, imptr g, imptr s, imptr t) {
  BigModeGuard big;
  if (std::max(a->size, b->size) >= xgcd_hgcd_limbs && !iszero(a) && !iszero(b)) {
    half_gcd_cofactors(a, b, g, s, t);
    return;
  }
  euclid_number_gcd(a, b, g, s, t);
}

void euclid_number_gcd(imptr a, imptr b, imptr g, imptr s, imptr t) {
  BigModeGuard big;
  const bool neg_a = is_negative(a);
  const bool neg_b = is_negative(b);
  ScratchNumber n0, n1, n2, n3, n4, n5, quotient, product;
  // x, y: the two cells' values; (xs, xt), (ys, yt): their rows.
  imptr x = n0.get(), y = n1.get(), xs = n2.get(), xt = n3.get(), ys = n4.get(), yt = n5.get();
  abs_val_num(a, x);
  abs_val_num(b, y);
  setvalue(1, xs);
  setvalue(0, xt);
  setvalue(0, ys);
  setvalue(1, yt);
  bool exchanged = false;
  if (bigger(x, y)) {
    std::swap(x, y);
    exchanged = true;
  }
  if (!iszero(y)) {
    if (iszero(x)) {
      std::swap(x, y);  // the rows stay
      exchanged = !exchanged;
    } else {
      for (;;) {
        divide(y, x, quotient.get(), y);
        if (iszero(y)) break;
        fast_mult(quotient.get(), xs, product.get());
        fastdiff(ys, product.get());
        fast_mult(quotient.get(), xt, product.get());
        fastdiff(yt, product.get());
        std::swap(x, y);
        std::swap(xs, ys);
        std::swap(xt, yt);
      }
    }
  }
  if (exchanged) std::swap(xs, xt);
  num_assign(x, g);
  num_assign(xs, s);
  num_assign(xt, t);
  if (neg_a) in_place_neg(s);
  if (neg_b) in_place_neg(t);
}

namespace {

// The polynomial of the residues v, zero when v is empty.
poly residue_poly(const DensePoly& v) {
  if (!v.empty()) return poly_of_residues(v, 1);
  poly z = nullptr;
  poly_set(0, &z);
  z->ncoef->lint = 0;
  return z;
}

// The monic GCD gg with its cofactors ss, tt of the pair as ordered (a of
// the larger degree), wrapped back in the h pads and handed out in the
// caller's order.
void finish(OwnedPoly& gg, OwnedPoly& ss, OwnedPoly& tt, std::int32_t h, bool exchanged, poly* g,
            poly* s, poly* t) {
  if (h > 0) {
    for (poly* c : {&gg.p, &ss.p, &tt.p})
      if (!is_bare_leaf(*c)) add_pad(c, h);
  }
  if (exchanged) std::swap(ss.p, tt.p);
  free_poly(g);
  *g = gg.release();
  free_poly(s);
  *s = ss.release();
  free_poly(t);
  *t = tt.release();
}

}  // namespace

bool extended_poly_gcd(poly n, poly m, poly* g, poly* s, poly* t) {
  return extended_poly_gcd(n, m, g, s, t, Ring::current());
}

bool extended_poly_gcd(poly n, poly m, poly* g, poly* s, poly* t, const Ring& ring) {
  if (ring.laurent && (anynegs(n) || anynegs(m))) {
    error(negative_exponent_argument_error, &token);
    return false;
  }
  if (!ring.modular) {
    error(monic_outside_field_error, &token);
    return false;
  }
  poly a = n;
  poly b = m;
  std::int32_t h = 0;
  polypt level = polynames;  // the variable of the one-variable pair
  if (!is_bare_leaf(a) && !is_bare_leaf(b)) {
    if (!a->numb && !b->numb && a->exp == 0 && b->exp == 0) findHeight(&a, &b, &h, &level);
    if (degree(a) == 0 || degree(b) == 0 || !height_is_1(a) || !height_is_1(b)) {
      error(not_one_variable_error, &token);
      return false;
    }
    if (ring.field_depth > 0 && ring.field_depth <= h) {
      error(modular_extended_gcd_error, &token);
      return false;
    }
  } else if (!is_bare_leaf(a) || !is_bare_leaf(b)) {
    // A number and a polynomial: the polynomial's pad levels are descended
    // (and put back on the results), so that a polynomial in a variable
    // below the top one is treated as the one-variable polynomial it is.
    poly& p = is_bare_leaf(a) ? b : a;
    while (!p->numb && p->exp == 0 && p->next == nullptr) {
      p = p->pcoef;
      ++h;
    }
    // With a zero number the polynomial itself, made monic, is the GCD.
    const bool zero_number = poly_iszero(is_bare_leaf(a) ? a : b);
    if (zero_number && !height_is_1(p)) {
      error(not_one_variable_error, &token);
      return false;
    }
    if (ring.field_depth > 0 && ring.field_depth <= h) {
      error(modular_extended_gcd_error, &token);
      return false;
    }
  }

  const bool exchanged = degree(a) < degree(b);
  if (exchanged) std::swap(a, b);
  // Long polynomials over a prime field: the same remainder sequence on
  // residue vectors, by the half-GCD.
  DensePoly ra, rb, rg, rs, rt;
  const auto finish_vectors = [&] {
    OwnedPoly gg, ss, tt;
    gg.p = residue_poly(rg);
    ss.p = residue_poly(rs);
    tt.p = residue_poly(rt);
    finish(gg, ss, tt, h, exchanged, g, s, t);
    return true;
  };
  if (!is_bare_leaf(b) && degree(a) >= extended_gcd_dense_degree && residue_route_applies(level) &&
      residues_of(a, 1, &ra) && residues_of(b, 1, &rb)) {
    dense_xgcd(ra, rb, ring.modulus, &rg, &rs, &rt);
    return finish_vectors();
  }
  // In GF(2^8) and GF(2^16) the same on element vectors.
  if (!is_bare_leaf(b) && degree(a) >= char2_vector_degree && char2_route_applies(level) &&
      residues_of(a, 1, &ra) && residues_of(b, 1, &rb)) {
    dense_char2_xgcd(ra, rb, ring.modulus, &rg, &rs, &rt);
    return finish_vectors();
  }
  // The pair (a, b) with rows (as, at) and (bs, bt); a_own and b_own hold
  // whichever of a and b is a remainder of ours.
  OwnedPoly a_own, b_own, as, at, bs, bt;
  poly_set(1, &as.p);
  poly_set(0, &at.p);
  poly_set(0, &bs.p);
  poly_set(1, &bt.p);
  const bool b_zero = is_bare_leaf(b) && poly_iszero(b);
  if (!b_zero) {
    while (!is_bare_leaf(b)) {
      OwnedPoly q, r;
      basic_poly_divide(a, b, &q.p, &r.p, true);
      if (poly_iszero(r.p)) break;
      subtract_product(&as.p, q.p, bs.p);
      subtract_product(&at.p, q.p, bt.p);
      std::swap(as.p, bs.p);
      std::swap(at.p, bt.p);
      free_poly(&a_own.p);
      a_own.p = b_own.release();
      a = b;
      b_own.p = r.release();
      b = b_own.p;
    }
  }
  // The answer: the last divisor b with its row, or a when b is zero.
  poly src = b_zero ? a : b;
  OwnedPoly& src_own = b_zero ? a_own : b_own;
  OwnedPoly gg;
  if (src_own.p == src) {
    gg.p = src_own.release();
  } else {
    poly_assign(src, &gg.p);
  }
  OwnedPoly& ss = b_zero ? as : bs;
  OwnedPoly& tt = b_zero ? at : bt;
  const poly lead = leading_number(gg.p);
  if (lead == nullptr) {
    tavrin_error("r not number in egcd_polys.", true);
  } else if (lead->ncoef->lint != 1 && lead->ncoef->lint != 0) {
    std::int32_t inv = 0;
    mod_inverse(lead->ncoef->lint, &inv);
    sub_mod_num_poly_mult(gg.p, inv);
    sub_mod_num_poly_mult(ss.p, inv);
    sub_mod_num_poly_mult(tt.p, inv);
  }
  finish(gg, ss, tt, h, exchanged, g, s, t);
  return true;
}

void egcd_nums(quolyptr n, quolyptr m, void* inf, nameptr* flag) {
  const Ring ring = Ring::current();
  if (ring.lint || ring.flote) {
    error(ring.modular ? modular_extended_gcd_error : word_arithmetic_error, &token);
    return;
  }
  ScratchNumber g, s, t;
  extended_number_gcd((*n)->ncoef, (*m)->ncoef, g.get(), s.get(), t.get());
  OwnedValue qs, qt;
  number_value(s.get(), &qs.q);
  number_value(t.get(), &qt.q);
  num_assign(g.get(), (*n)->ncoef);
  assign_cofactors(&qs.q, &qt.q, inf, flag);
}

void egcd_polys(poly n, poly m, poly* gd, void* inf, nameptr* flag, bool flip) {
  OwnedPoly g, s, t;
  if (!extended_poly_gcd(n, m, &g.p, &s.p, &t.p)) return;
  if (flip) std::swap(s.p, t.p);
  OwnedValue qs, qt;
  poly_value(s, &qs.q);
  poly_value(t, &qt.q);
  // The cofactors' targets first: an error there leaves g to be freed here.
  assign_cofactors(&qs.q, &qt.q, inf, flag);
  free_poly(gd);
  *gd = g.release();
}

void egcd_num_poly(quolyptr n, quolyptr m, void* inf, nameptr* flag, bool flip) {
  // The number of *n, borrowed by a leaf node of our own.
  struct BorrowingLeaf {
    poly p;
    explicit BorrowingLeaf(imptr c) : p(nodes::new_leaf(c)) {}
    ~BorrowingLeaf() { free_polynode_list(p, p); }
    BorrowingLeaf(const BorrowingLeaf&) = delete;
    BorrowingLeaf& operator=(const BorrowingLeaf&) = delete;
  };
  OwnedPoly g;
  {
    BorrowingLeaf leaf((*n)->ncoef);
    egcd_polys((*m)->numer, leaf.p, &g.p, inf, flag, flip);
  }
  if (g.p == nullptr) return;
  free_quoly(n);
  poly raw = g.release();
  use_up_poly(&raw, n);
}

}  // namespace tavrin
