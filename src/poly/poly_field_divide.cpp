// One-variable division over a field: long division, the monic fast path
// (residue vectors, or the divide-and-conquer division on term lists), and
// the remainder-only division.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <tuple>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "dense/dense_arrays.h"
#include "dense/dense_char2.h"
#include "dense/dense_divide.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"

namespace tavrin {

divide_route_counts divide_routes{};

using detail::install;
using detail::lead_node;
using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The old values of the cells go once the new ones are formed.
// A fresh copy of the leading coefficient of a list whose first node is
// lead's owner: a leaf alone, or a whole coefficient list.
poly copy_lead(poly lead, bool negated) {
  if (lead->numb) return negated ? detail::copy_node_negated(lead) : detail::copy_node_alone(lead);
  return negated ? detail::copy_list_negated(lead) : detail::copy_list(lead);
}

// The word residue of a one-variable list's leading coefficient.
std::int32_t lead_residue(poly m) { return lead_node(m)->ncoef->lint; }

// n and m multiplied in place by the inverse of c for the guard's lifetime,
// and back by c at its end (n only while it is still wanted).
class MonicInPlace {
 public:
  MonicInPlace(poly n, poly m, std::int32_t c, std::int32_t inv) : n_(n), m_(m), c_(c) {
    sub_mod_num_poly_mult(m_, inv);
    sub_mod_num_poly_mult(n_, inv);
  }
  ~MonicInPlace() {
    sub_mod_num_poly_mult(m_, c_);
    if (n_ != nullptr) sub_mod_num_poly_mult(n_, c_);
  }
  MonicInPlace(const MonicInPlace&) = delete;
  MonicInPlace& operator=(const MonicInPlace&) = delete;
  // n is about to be freed by the caller: it need not be scaled back.
  void drop_dividend() { n_ = nullptr; }

 private:
  InterruptHold hold_;  // declared first: held until n and m are back
  poly n_;
  poly m_;
  std::int32_t c_;
};

// The fast path of the long divisions applies: modulo a prime, one variable,
// a divisor of degree above poly_cutoff, or above 2 under a dividend more
// than 20 times its degree.
bool monic_path(poly n, poly m, bool cancall, const Ring& ring) {
  if (!cancall || !mod_is_prime || !ring.modular) return false;
  const std::int64_t dn = degree(n), dm = degree(m);
  if (!(dm > poly_cutoff || (dm > 2 && dn > 20 * dm))) return false;
  return height_is_1(n) && height_is_1(m);
}

// The monic division runs on residue vectors (residue_divrem: elimination,
// or Newton's iteration with transform products) outside characteristic 2,
// without negative exponents, from a divisor degree of dense_newton_degree
// or a dividend degree of residue_division_degree on, unless both operands
// are sparse (residue_division_span).
bool vectors_apply(poly n, poly m, const Ring& ring) {
  if (ring.char2 || (degree(m) < dense_newton_degree && degree(n) < residue_division_degree))
    return false;
  if (lastnode(n)->exp < 0 || lastnode(m)->exp < 0) return false;
  auto dense = [](poly p) {
    return std::int64_t{poly_length(p)} * residue_division_span > degree(p);
  };
  return dense(n) || dense(m);
}

// On residue vectors when they apply; otherwise n and m made monic in
// place, divided by fast_mod_and_div, and restored, the remainder scaled
// back by m's leading coefficient.
void monic_division(poly n, poly m, poly* q, poly* r, const Ring& ring) {
  ++divide_routes.monic_fast;
  if (vectors_apply(n, m, ring)) {
    ++divide_routes.newton;
    residue_divrem(n, m, q, r, ring);
    return;
  }
  const std::int32_t c = lead_residue(m);
  OwnedPoly qq, rr;
  {
    std::optional<MonicInPlace> monic;
    if (c != 1) {
      std::int32_t inv = 0;
      mod_inverse(c, &inv);
      monic.emplace(n, m, c, inv);
    }
    fast_mod_and_div(n, m, &rr.p, &qq.p, nilpol, true);
    if (c != 1) {
      sub_mod_num_poly_mult(rr.p, c);
      if (*q == n) monic->drop_dividend();
    }
  }
  install(q, qq);
  install(r, rr);
}

// deg n < deg m: *q := 0, *r := a copy of n.
void below_divisor(poly n, poly* q, poly* r) {
  OwnedPoly rr, qq;
  poly_assign(n, &rr.p);
  poly_set(0, &qq.p);
  if (q != nullptr) install(q, qq);
  install(r, rr);
}

// A fresh leaf holding v (word mode).
poly word_leaf(std::int32_t v) {
  imptr x;
  newimag(&x);
  x->lint = v;
  return nodes::new_leaf(x);
}

}  // namespace

// ---- Element vectors of GF(2^8) and GF(2^16) -------------------------------------------

bool detail::char2_division_applies(poly n, poly m, const Ring& ring) {
  if (!ring.modular || !ring.lint || !ring.char2 || ring.flote || degree(n) < char2_vector_degree)
    return false;
  if (!height_is_1(n) || !height_is_1(m) || lastnode(n)->exp < 0 || lastnode(m)->exp < 0)
    return false;
  return poly_length(m) > fast_mult_cut;
}

void detail::char2_division(poly n, poly m, poly* q, poly* r, const Ring& ring) {
  ++divide_routes.char2;
  const std::int32_t dn = degree(n), dm = degree(m);
  DensePoly x(static_cast<std::size_t>(dn) + 1), y(static_cast<std::size_t>(dm) + 1), qv, rv;
  std::int32_t d = 0;
  fill_poly1_array(n, x.data(), &d);
  fill_poly1_array(m, y.data(), &d);
  dense_char2_divrem(x, y, ring.modulus, q != nullptr ? &qv : nullptr,
                     r != nullptr ? &rv : nullptr);
  auto build = [](const DensePoly& v, poly* out) {
    OwnedPoly built;
    if (v.empty()) {
      poly_set(0, &built.p);
      built.p->ncoef->lint = 0;
    } else {
      array_to_poly(v.data(), dense_degree(v), &built.p);
    }
    install(out, built);
  };
  if (q != nullptr) build(qv, q);
  if (r != nullptr) build(rv, r);
}

// ---- Long division ---------------------------------------------------------------------

namespace {

// The shared frame of the two long divisions: the trivial and monic cases,
// then long division with m's tail negated for the duration (restored on
// every exit). steps(m) gives the division's (coef, mult, add) for m.
template <class Steps>
void field_long_division(poly n, poly m, poly* q, poly* r, bool cancall, const Ring& ring,
                         Steps steps) {
  detail::DistinctDividend dividend(n, m);
  n = dividend.get();
  if (degree(n) < degree(m)) {
    below_divisor(n, q, r);
    return;
  }
  if (cancall && detail::char2_division_applies(n, m, ring)) {
    detail::char2_division(n, m, q, r, ring);
    return;
  }
  if (monic_path(n, m, cancall, ring)) {
    monic_division(n, m, q, r, ring);
    return;
  }
  ++divide_routes.long_division;
  OwnedPoly qq, rr;
  {
    detail::NegatedTail neg(m);
    auto [coef, mult, add] = steps(m);
    detail::long_division(n, m, neg.get(), coef, mult, add, &qq.p, &rr.p);
  }
  install(q, qq);
  install(r, rr);
}

}  // namespace

void basic_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall) {
  basic_poly_divide(n, m, q, r, cancall, Ring::current());
}

void basic_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall, const Ring& ring) {
  field_long_division(n, m, q, r, cancall, ring, [&ring](poly m_) {
    poly c = lead_node(m_);
    bool unit = false, minus = false;
    if (is_bare_leaf(c)) unit = equal_to_pm1(c->ncoef, &minus);
    auto coef = [c, unit, minus](poly lead) -> poly {
      if (unit) return copy_lead(lead, minus);
      OwnedPoly out;
      if (lead->numb) {
        OwnedPoly alone;
        alone.p = detail::copy_node_alone(lead);
        poly_quot(alone.p, c, &out.p, -31);
      } else {
        poly_quot(lead, c, &out.p, -31);
      }
      return out.release();
    };
    auto mult = [&ring](poly a, poly b, poly* out) { poly_mult(a, b, out, nilpol, ring); };
    auto add = [](poly a, poly b, poly* out) { best_poly_add(a, b, out); };
    return std::make_tuple(coef, mult, add);
  });
}

void simplest_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall) {
  simplest_poly_divide(n, m, q, r, cancall, Ring::current());
}

void simplest_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall, const Ring& ring) {
  field_long_division(n, m, q, r, cancall, ring, [&ring](poly m_) {
    const std::int32_t c = lead_residue(m_);
    std::int32_t inv = 1;
    if (c != 1) mod_inverse(c, &inv);
    auto coef = [inv](poly lead) -> poly {
      const std::int32_t v = lead->ncoef->lint;
      return word_leaf(
          inv == 1 ? v : modmult(static_cast<std::uint32_t>(v), static_cast<std::uint32_t>(inv)));
    };
    auto mult = [&ring](poly a, poly b, poly* out) {
      simplest_poly_mult(a, b, out, 0, 0, 0, 0, ring);
    };
    auto add = [](poly a, poly b, poly* out) { simplest_poly_add(a, b, out); };
    return std::make_tuple(coef, mult, add);
  });
}

// ---- Remainder only ----------------------------------------------------------------------

namespace {

void divisor_not_number() {
  tavrin_error("divisor not number in fastest poly quot.", true);
  std::printf("\n");
  std::fflush(stdout);
}

// The inverse of a non-zero residue; 0 (after the report of mod_inverse)
// for 0.
std::int32_t residue_inverse(std::int32_t c) {
  std::int32_t inv = 0;
  mod_inverse(c, &inv);
  return inv;
}

}  // namespace

void fastest_poly_quot(poly n, poly m, poly* p) {
  OwnedPoly out;
  poly_assign(n, &out.p);
  if (!is_bare_leaf(m)) {
    divisor_not_number();
  } else if (!poly_eq_1(m)) {
    const std::int32_t inv = residue_inverse(m->ncoef->lint);
    if (inv != 0) sub_mod_num_poly_mult(out.p, inv);
  }
  install(p, out);
}

void poly_div_no_q(poly n, poly m, poly* r) { poly_div_no_q(n, m, r, Ring::current()); }

void poly_div_no_q(poly n, poly m, poly* r, const Ring& ring) {
  if (degree(m) > degree(n)) {
    below_divisor(n, nullptr, r);
    return;
  }
  poly c = lead_node(m);
  if (!is_bare_leaf(c)) {
    divisor_not_number();
    below_divisor(n, nullptr, r);
    return;
  }
  detail::DistinctDividend dividend(n, m);
  n = dividend.get();
  OwnedPoly rr;
  if (detail::char2_division_applies(n, m, ring)) {
    detail::char2_division(n, m, nullptr, &rr.p, ring);
    install(r, rr);
    return;
  }
  if (!ring.flote) {
    const std::int64_t tn = poly_length(n), tm = poly_length(m);
    if (tn > fast_mult_cut && tm > fast_mult_cut && 2 * tn > degree(n) && 2 * tm > degree(m)) {
      // Past the arrays, or where Newton's iteration pays: residue vectors
      // (not in characteristic 2, whose long dividends stay lists).
      const bool vectors =
          !ring.char2 && mod_is_prime && lastnode(n)->exp >= 0 && lastnode(m)->exp >= 0 &&
          (degree(n) > fast_gcd_size || newton_division_pays(degree(n), degree(m)));
      if (vectors || degree(n) <= fast_gcd_size) {
        ++divide_routes.dense_no_q;
        if (vectors) {
          residue_divrem(n, m, nullptr, &rr.p, ring);
        } else {
          simplest_div_no_q(n, m, &rr.p, ring);
        }
        install(r, rr);
        return;
      }
    }
  }
  ++divide_routes.long_division;
  {
    detail::NegatedTail neg(m);
    const bool one = poly_eq_1(c);
    const std::int32_t inv = (one || ring.flote) ? 1 : residue_inverse(c->ncoef->lint);
    auto coef = [c, one, inv, &ring](poly lead) -> poly {
      OwnedPoly alone;
      alone.p = copy_lead(lead, false);
      if (one) return alone.release();
      if (ring.flote) {
        OwnedPoly out;
        poly_quot(alone.p, c, &out.p, -151);
        return out.release();
      }
      sub_mod_num_poly_mult(alone.p, inv);
      return alone.release();
    };
    auto mult = [&ring](poly a, poly b, poly* out) {
      simplest_poly_mult(a, b, out, 0, 0, 0, 0, ring);
    };
    auto add = [](poly a, poly b, poly* out) { simplest_poly_add(a, b, out); };
    detail::long_division(n, m, neg.get(), coef, mult, add, nullptr, &rr.p);
  }
  install(r, rr);
}

}  // namespace tavrin
