// Divide-and-conquer division by a monic divisor.
//
// The operands are split and shifted in place through views that restore
// every node (exponent, kind and link) when they end, an unwinding error
// included; results are always fresh polynomials.
//
// Step K divides n by m with dn < 9/4 dm: with k = (dm + 1) div 2,
// m = M1 t^k + M0 and n = N1 t^2k + N0,
//   N1 = Q1 M1 + R1,  R1 t^k - Q1 M0 = Q2 M1 + R2,
//   n = (Q1 t^k + Q2) m + (R2 t^k - Q2 M0 + N0),
// the last remainder divided once more by the base case when its degree is
// not yet below dm. Step S brings a dividend between 9/4 and 10/3 of the
// divisor's degree into step K's range by dividing first by m t^s. Longer
// dividends are split at t^(2 dm): n = H t^(2 dm) + B, H divided
// recursively, and the three pieces of degree below 2 dm by step K.
#include <algorithm>
#include <cstdint>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_view_impl.h"

namespace tavrin {

using detail::is_zero;
using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The leading terms of p with exponent >= e, lowered by e, as a view (see
// SplitView); the rest of p is the lower part.
class UpperView : public detail::SplitView {
 public:
  UpperView(poly p, std::int32_t e) { split_at(p, e); }
};

// A kept polynomial of positive degree multiplied by t^s in place for the
// view's lifetime: every top exponent raised by s, a constant leaf at the
// end wrapped in a fresh term of exponent s.
class ShiftedView {
 public:
  ShiftedView(poly p, std::int32_t s) : head_(p), s_(s) {
    if (s == 0) return;
    poly prev = nullptr;
    for (poly t = p; t != nullptr; prev = t, t = t->next) {
      if (t->numb) {
        leaf_ = t;
        prev_ = prev;
        break;
      }
      t->exp += s;
    }
    if (leaf_ != nullptr) {
      wrapper_ = nodes::new_term(s, leaf_);
      prev_->next = wrapper_;
    }
  }
  ~ShiftedView() {
    if (s_ == 0) return;
    if (wrapper_ != nullptr) {
      prev_->next = leaf_;
      wrapper_->pcoef = nullptr;
      free_polynode_list(wrapper_, wrapper_);
    }
    for (poly t = head_; t != nullptr && !t->numb; t = t->next) t->exp -= s_;
  }
  ShiftedView(const ShiftedView&) = delete;
  ShiftedView& operator=(const ShiftedView&) = delete;
  poly get() const { return head_; }

 private:
  poly head_;
  std::int32_t s_;
  poly leaf_ = nullptr;
  poly prev_ = nullptr;
  poly wrapper_ = nullptr;
  InterruptHold hold_;  // a nested command level would see p shifted
};

// *p := *p * t^s for an owned polynomial, s >= 0; zero stays zero.
void mult_by_t_to_expon(poly* p, std::int32_t s) {
  if (s == 0 || is_zero(*p)) return;
  poly* link = p;
  for (poly t = *p; t != nullptr; t = t->next) {
    if (t->numb) {
      poly w = nodes::new_term(s, t, t->next);
      t->next = nullptr;
      *link = w;
      break;
    }
    t->exp = exp_add(t->exp, s);
    link = &t->next;
  }
}

// The number of top-level nodes of p, counted up to cap.
std::int32_t terms_up_to(poly p, std::int32_t cap) {
  std::int32_t c = 0;
  for (; p != nullptr && c < cap; p = p->next) ++c;
  return c;
}

// The divisions of one fast_mod_and_div call. Results go into cells that
// hold nil (they are set, not freed).
class Divider {
 public:
  Divider(polypt pt, bool from_basic) : pt_(pt), from_basic_(from_basic) {}

  // The whole division: the split at t^(2 dm) above 10/3, step S above
  // 9/4, step K below.
  void top(poly n, poly m, poly* qt, poly* r) const {
    const std::int64_t dn = degree(n), dm = degree(m);
    if (dm < 1 || (laurent && (anynegs(n) || anynegs(m)))) {
      base(n, m, qt, r);
    } else if (4 * dn <= 9 * dm) {
      step_k(n, m, qt, r);
    } else if (3 * dn < 10 * dm) {
      step_s(n, m, qt, r);
    } else {
      split(n, m, qt, r, static_cast<std::int32_t>(dm));
    }
  }

 private:
  void mult(poly a, poly b, poly* out) const {
    if (from_basic_) {
      simplest_poly_mult(a, b, out, 0, 0, 0, 0);
    } else {
      poly_mult(a, b, out, pt_);
    }
  }
  // Both consumed.
  void add(poly a, poly b, poly* out) const {
    if (from_basic_) {
      simplest_poly_add(a, b, out);
    } else {
      best_poly_add(a, b, out);
    }
  }
  void sub(poly a, poly b, poly* out) const {
    if (from_basic_) {
      simplest_poly_sub(a, b, out);
    } else {
      best_poly_sub(a, b, out);
    }
  }
  // *x := *x + y, y consumed.
  void add_into(OwnedPoly& x, OwnedPoly& y) const {
    poly sum = nullptr;
    add(x.release(), y.release(), &sum);
    x.p = sum;
  }
  // *x := *x - f * g, f and g kept (nothing when g is nil).
  void sub_product(OwnedPoly& x, poly f, poly g) const {
    if (g == nullptr) return;
    OwnedPoly prod;
    mult(f, g, &prod.p);
    poly diff = nullptr;
    sub(x.release(), prod.release(), &diff);
    x.p = diff;
  }

  void base(poly n, poly m, poly* qt, poly* r) const {
    ++divide_routes.base_case;
    if (from_basic_) {
      simplest_poly_divide(n, m, qt, r, false);
    } else {
      pseudo_div(n, m, qt, r, true, pt_);
    }
  }

  bool few_terms(poly m) const {
    return degree(m) < 1 || terms_up_to(m, div_poly_cutoff) < div_poly_cutoff;
  }

  // Step S when the ratio of degrees exceeds 9/4, else step K.
  void half(poly n, poly m, poly* qt, poly* r) const {
    if (4 * std::int64_t{degree(n)} > 9 * std::int64_t{degree(m)}) {
      step_s(n, m, qt, r);
    } else {
      step_k(n, m, qt, r);
    }
  }

  void step_k(poly n, poly m, poly* qt, poly* r) const {
    const std::int32_t dn = degree(n), dm = degree(m);
    if (3 * std::int64_t{dn} < 4 * std::int64_t{dm} || few_terms(m)) {
      base(n, m, qt, r);
      return;
    }
    ++divide_routes.step_k;
    const std::int32_t k = (dm + 1) / 2;
    OwnedPoly q1, r2;
    {
      UpperView vm(m, k), vn(n, 2 * k);
      poly m1 = vm.upper(), m0 = vm.lower();
      poly n1 = vn.upper(), n0 = vn.lower();
      OwnedPoly r1;
      half(n1, m1, &q1.p, &r1.p);
      mult_by_t_to_expon(&r1.p, k);
      sub_product(r1, q1.p, m0);
      OwnedPoly q2;
      half(r1.p, m1, &q2.p, &r2.p);
      free_poly(&r1.p);
      mult_by_t_to_expon(&r2.p, k);
      sub_product(r2, q2.p, m0);
      if (n0 != nullptr) {
        poly sum = nullptr;
        better_poly_add(r2.release(), n0, &sum);
        r2.p = sum;
      }
      mult_by_t_to_expon(&q1.p, k);
      add_into(q1, q2);
    }
    if (degree(r2.p) < dm) {
      *qt = q1.release();
      *r = r2.release();
      return;
    }
    OwnedPoly q3, r3;
    base(r2.p, m, &q3.p, &r3.p);
    add_into(q3, q1);
    *qt = q3.release();
    *r = r3.release();
  }

  void step_s(poly n, poly m, poly* qt, poly* r) const {
    if (few_terms(m)) {
      base(n, m, qt, r);
      return;
    }
    ++divide_routes.step_s;
    const std::int32_t dn = degree(n), dm = degree(m);
    const std::int32_t s = std::max(0, std::min(dn / 2 - dm, (3 * dm) / 5));
    OwnedPoly q, rr;
    {
      ShiftedView shifted(m, s);
      step_k(n, shifted.get(), &q.p, &rr.p);
    }
    mult_by_t_to_expon(&q.p, s);
    OwnedPoly q2, r2;
    step_k(rr.p, m, &q2.p, &r2.p);
    add_into(q, q2);
    *qt = q.release();
    *r = r2.release();
  }

  void split(poly n, poly m, poly* qt, poly* r, std::int32_t dm) const {
    ++divide_routes.split;
    OwnedPoly q, rr;
    poly b = nullptr;
    {
      UpperView vn(n, 2 * dm);
      b = vn.lower();
      top(vn.upper(), m, &q.p, &rr.p);
    }
    mult_by_t_to_expon(&q.p, 2 * dm);
    mult_by_t_to_expon(&rr.p, dm);
    OwnedPoly q2, r2;
    step_k(rr.p, m, &q2.p, &r2.p);
    mult_by_t_to_expon(&q2.p, dm);
    add_into(q, q2);
    mult_by_t_to_expon(&r2.p, dm);
    OwnedPoly q3, r3;
    step_k(r2.p, m, &q3.p, &r3.p);
    add_into(q, q3);
    if (b != nullptr) {
      OwnedPoly q4, r4;
      step_k(b, m, &q4.p, &r4.p);
      add_into(q, q4);
      add_into(r3, r4);
    }
    *qt = q.release();
    *r = r3.release();
  }

  polypt pt_;
  bool from_basic_;
};

}  // namespace

void fast_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt, bool from_basic) {
  detail::DistinctDividend dividend(n, m);
  OwnedPoly q, rr;
  Divider(pt, from_basic).top(dividend.get(), m, &q.p, &rr.p);
  free_poly(qt);
  *qt = q.release();
  free_poly(r);
  *r = rr.release();
}

}  // namespace tavrin
