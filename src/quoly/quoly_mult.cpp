// Products of values: the in-place family (fast_), the three-argument
// family (quoly_mult) and the product over another variable list
// (spec_quoly_mult). The kinds are tested before any general work, so that
// numbers never take a polynomial GCD, and only the cross pairs of two
// normal operands are cancelled.
#include "quoly/quoly_mult.h"

#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_mult_impl.h"
#include "quoly/quoly_normal_form.h"
#include "quoly/quoly_residues_impl.h"

namespace tavrin {

using detail::cross_codes;
using detail::gcd_kind;
using detail::is_rational;
using detail::kind_of;
using detail::ResultCell;
using detail::word_size;
using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::OwnedPoly;
using nodes::OwnedValue;

namespace {

// A big integer of one limb whose value v fits a limb.
constexpr bool fits_limb(std::int64_t v) { return v > -limb_base && v < limb_base; }

// The codes of the two one-denominator cancellations, by family.
struct one_denominator_codes {
  std::int32_t a, d;  // a * (c/d): a and d divided by gcd(a, d)
  std::int32_t c, b;  // (a/b) * c: c and b divided by gcd(c, b)
};
constexpr one_denominator_codes in_place_codes{-67, -71, -73, -79};
constexpr one_denominator_codes kept_codes{-143, -149, -151, -157};

// The integer contents of r cancelled where the products ask for it: with
// field levels outside word-size arithmetic.
void field_contents(quoly r) {
  if (!word_size() && field_depth > 0 && r->denom != nullptr) sanitize(r);
}

// r := k * m for a number k (moved in) and a value m that is not a number
// (kept): k c over d, the contents of k and d cancelled first in
// big-integer arithmetic. r: an empty rational-function cell.
void number_times_value(imptr k, quoly m, quoly r) {
  r->numer = new_leaf(k);
  if (m->denom != nullptr) {
    poly_assign(m->denom, &r->denom);
    if (!word_size()) sanitize(r);
  }
  poly_mult(r->numer, m->numer, &r->numer, nilpol);
}

// r := n * k for a value n that is not a number and a number k (kept, not
// 0): a k over b, the contents of k and b cancelled first in big-integer
// arithmetic.
void value_times_number(quoly n, imptr k, quoly r, bool in_place) {
  OwnedPoly t;  // n's numerator, when r takes n's place
  poly a = n->numer;
  if (in_place) {
    t.p = n->numer;
    n->numer = nullptr;
  } else if (n->denom != nullptr) {
    poly_assign(n->denom, &r->denom);
  }
  r->numer = new_leaf(detail::number_copy(k));
  if (!word_size() && r->denom != nullptr) sanitize(r);
  poly_mult(r->numer, a, &r->numer, nilpol);
}

// r := a * (c/d) for a polynomial n = a and a fraction m = c/d.
void times_fraction(quoly n, quoly m, quoly r, bool in_place, const one_denominator_codes& codes) {
  if (poly_equal(n->numer, m->denom)) {
    poly_assign(m->numer, &r->numer);
    return;
  }
  OwnedPoly g;
  Lpolygcd(&n->numer, &m->denom, &g.p, false, polynames);
  const gcd_kind kind = kind_of(g.p);
  detail::divide_by_common(kind, &n->numer, &m->denom, &g.p, &r->numer, &r->denom,
                           {.el_n = laurent, .nflag = !in_place, .dflag = true}, codes.a, codes.d);
  if (kind == gcd_kind::one) {
    poly_mult(n->numer, m->numer, &r->numer, polynames);
    poly_assign(m->denom, &r->denom);
  } else {
    poly_mult(r->numer, m->numer, &r->numer, polynames);
    if (kind == gcd_kind::polynomial) detail::divide_out_word_denominator(r);
  }
  field_contents(r);
}

// r := (a/b) * c for a fraction n = a/b and a polynomial m = c.
void fraction_times(quoly n, quoly m, quoly r, bool in_place, const one_denominator_codes& codes) {
  if (poly_equal(m->numer, n->denom)) {
    if (in_place) {
      free_poly(&r->denom);
    } else {
      poly_assign(n->numer, &r->numer);
    }
    return;
  }
  OwnedPoly g, t;
  Lpolygcd(&m->numer, &n->denom, &g.p, false, polynames);
  const gcd_kind kind = kind_of(g.p);
  detail::divide_by_common(kind, &m->numer, &n->denom, &g.p, &t.p, &r->denom,
                           {.el_n = laurent, .nflag = true, .dflag = !in_place}, codes.c, codes.b);
  if (kind == gcd_kind::one) {
    if (!in_place) poly_assign(n->denom, &r->denom);
    poly_mult(n->numer, m->numer, &r->numer, polynames);
  } else {
    poly_mult(n->numer, t.p, &r->numer, polynames);
    if (kind == gcd_kind::polynomial) detail::divide_out_word_denominator(r);
  }
  field_contents(r);
}

// r := n * m for two values that are not numbers. True when r is complete
// (a product of rational numbers, or a number already).
bool values_product(quoly n, quoly m, quoly r, bool in_place) {
  const one_denominator_codes& codes = in_place ? in_place_codes : kept_codes;
  if (n->denom == nullptr && m->denom == nullptr) {
    poly_mult(n->numer, m->numer, &r->numer, polynames);
  } else if (n->denom == nullptr) {
    times_fraction(n, m, r, in_place, codes);
  } else if (m->denom == nullptr) {
    fraction_times(n, m, r, in_place, codes);
  } else if (is_rational(n) && is_rational(m) && !word_size()) {
    mult_rats(n, m, &r);
    return true;
  } else {
    if (in_place) {
      fast_gen_quoly_mult(&n, &m, false);
    } else {
      gen_quoly_mult(n, m, &r, false);
    }
    if (r->numb) return true;
    if (r->denom == nullptr) r->rat = false;
  }
  return false;
}

// The finishing step of a product on r: a constant numerator that is 0 or
// has no denominator makes r a number; a remaining denominator goes
// through normal_form (rat set first when both are constants) in
// big-integer arithmetic, and in word-size arithmetic through
// lint_normal_form when relations are in force.
void finish_product(quoly r) {
  if (r->numb) return;
  if (is_bare_leaf(r->numer)) {
    if (poly_iszero(r->numer) || r->denom == nullptr) {
      free_poly(&r->denom);
      r->rat = false;
      detail::number_if_constant(r);
      return;
    }
  } else if (r->denom == nullptr) {
    r->rat = false;
    return;
  }
  if (word_size()) {
    if (pseudo_polynames != nullptr) lint_normal_form(r, false);
    return;
  }
  r->rat = is_bare_leaf(r->numer) && is_bare_leaf(r->denom);
  normal_form(r, false);
}

// The state of fast_quoly_mult shared with its exits: the caller's cell n
// and the result cell q, taken before the general cases.
struct fast_quoly_mult_EnvRec {
  quolyptr n;
  ResultCell q;
  // q, when it was not needed, goes back to the free list.
  void dump_q() { q.dump(); }
  // The old *n is freed and q takes its place.
  void exit_mult() { q.hand_over(n); }
};

// The state of quoly_mult shared with its exit.
struct quoly_mult_EnvRec {
  quolyptr p;
  ResultCell q;
  // The old *p is freed and q takes its place.
  void exit_mult() { q.hand_over(p); }
};

}  // namespace

// ---- Shared steps ----------------------------------------------------------------------------

namespace detail {
using nodes::is_bare_leaf;
using nodes::new_ratfun_value;
using nodes::OwnedPoly;

ResultCell::ResultCell() : q_(new_ratfun_value(nullptr, nullptr)) {}

ResultCell::~ResultCell() { free_quoly(&q_); }

void ResultCell::hand_over(quolyptr p) {
  quoly old = *p;
  *p = q_;
  q_ = nullptr;
  if (old != *p) free_quoly(&old);
}

void ResultCell::dump() {
  if (q_ == nullptr) return;
  q_->numer = q_->denom = nullptr;
  free_quoly(&q_);
}

void divide_by_common(gcd_kind k, poly* x, poly* y, poly* g, poly* x1, poly* y1,
                      const ReduceFlags& flags, std::int32_t cx, std::int32_t cy) {
  if (k == gcd_kind::polynomial) {
    reduce(x, y, g, x1, y1, flags);
  } else if (k == gcd_kind::constant) {
    poly_quot(*x, *g, x1, cx);
    poly_quot(*y, *g, y1, cy);
  }
}

gcd_kind kind_of(poly g) {
  if (g == nullptr) return gcd_kind::one;
  if (!is_bare_leaf(g)) return gcd_kind::polynomial;
  if (word_size() || poly_eq_1(g)) return gcd_kind::one;
  return gcd_kind::constant;
}

void divide_out_word_denominator(quoly r) {
  if (!word_size() || r->denom == nullptr || !is_bare_leaf(r->denom)) return;
  num_poly_quot(r->numer, r->denom->ncoef, 0);
  free_poly(&r->denom);
}

void denominator_checks(quoly r) {
  if (!is_bare_leaf(r->denom)) {
    if (poly_iszero(r->numer)) {
      free_poly(&r->denom);
    } else if (!word_size() && pseudo_polynames != nullptr) {
      sanitize(r);
    }
    return;
  }
  if (poly_iszero(r->denom)) {
    // A quotient by zero has no value: reported, then taken as 0.
    error(zero_denominator_error, &token);
    become_zero(r);
    return;
  }
  if (poly_iszero(r->numer)) {
    free_poly(&r->denom);
    return;
  }
  if (word_size()) {
    divide_out_word_denominator(r);
    return;
  }
  if (pseudo_polynames != nullptr) sanitize(r);
  if (poly_eq_1(r->denom)) {
    free_poly(&r->denom);
  } else if (poly_eq_m1(r->denom)) {
    free_poly(&r->denom);
    poly_inplace(r->numer);
  } else if (r->denom->ncoef->head->value < 0) {
    poly_inplace(r->denom);
    poly_inplace(r->numer);
  }
}

void fractions_product(quoly n, quoly m, quoly r, bool in_place, bool laur,
                       const cross_codes& codes) {
  if (residue_fractions_product(n, m, r, in_place)) return;
  // The parts are read afresh after every GCD and division: a Laurent shift
  // may rebuild an operand's polynomial (it comes back equal, in other
  // nodes).
  if (poly_equal(n->numer, m->denom)) {
    if (poly_equal(m->numer, n->denom)) {
      poly_set(1, &r->numer);
      free_poly(&r->denom);
      r->rat = false;
      return;
    }
    poly_assign(m->numer, &r->numer);
    if (!in_place) poly_assign(n->denom, &r->denom);
    check_quoly(&r, false);
    return;
  }
  if (poly_equal(m->numer, n->denom)) {
    if (!in_place) poly_assign(n->numer, &r->numer);
    poly_assign(m->denom, &r->denom);
    check_quoly(&r, laurent);
    return;
  }
  if (poly_equal(n->denom, m->denom)) {
    // a/b times c/b: a c and b^2 are coprime already.
    if (in_place) {
      do_mults(&r, m->numer, m->denom);
      return;
    }
    poly_mult(n->numer, m->numer, &r->numer, polynames);
    poly_mult(n->denom, m->denom, &r->denom, polynames);
    denominator_checks(r);
    return;
  }
  // First cross pair: a against d. t1 = d / g1 (d itself when g1 = 1).
  OwnedPoly g1, t1;
  Lpolygcd(&n->numer, &m->denom, &g1.p, laur, polynames);
  divide_by_common(kind_of(g1.p), &n->numer, &m->denom, &g1.p, &r->numer, &t1.p,
                   {.el_n = laurent, .el_m = laurent, .nflag = !in_place, .dflag = true}, codes.a,
                   codes.d);
  free_poly(&g1.p);
  // Second cross pair: c against b. t2 = c / g2 (c itself when g2 = 1).
  OwnedPoly g2, t2;
  Lpolygcd(&m->numer, &n->denom, &g2.p, false, polynames);
  divide_by_common(kind_of(g2.p), &m->numer, &n->denom, &g2.p, &t2.p, &r->denom,
                   {.el_n = laurent, .nflag = true, .dflag = !in_place}, codes.c, codes.b);
  const poly c1 = t2.p != nullptr ? t2.p : m->numer;
  const poly d1 = t1.p != nullptr ? t1.p : m->denom;
  if (in_place) {
    // r is n, its parts a/g1 and b/g2 already.
    do_mults(&r, c1, d1);
  } else {
    // A part not yet written is read from n.
    const poly a1 = r->numer != nullptr ? r->numer : n->numer;
    const poly b1 = r->denom != nullptr ? r->denom : n->denom;
    poly_mult(a1, c1, &r->numer, polynames);
    poly_mult(b1, d1, &r->denom, polynames);
    denominator_checks(r);
  }
  if (!r->numb)
    r->rat =
        !word_size() && r->denom != nullptr && is_bare_leaf(r->denom) && is_bare_leaf(r->numer);
}

}  // namespace detail

// ---- Numbers ---------------------------------------------------------------------------------

void number_mult_inplace(imptr a, imptr b) {
  if (flotemode) {
    a->flote *= b->flote;
  } else if (modularmode) {
    a->lint = modmult(static_cast<std::uint32_t>(a->lint), static_cast<std::uint32_t>(b->lint));
  } else if (lintmode) {  // a plain word product that would wrap is refused
    const std::int64_t v = std::int64_t{a->lint} * b->lint;
    if (v > INT32_MAX || v < INT32_MIN) abandon(exponent_too_large_error, &token);
    a->lint = static_cast<std::int32_t>(v);
  } else {
    if (integerflag && a->size == 1 && b->size == 1) {
      const std::int64_t v = static_cast<std::int64_t>(a->head->value) * b->head->value;
      if (fits_limb(v)) {
        a->head->value = static_cast<std::int32_t>(v);
        return;
      }
    }
    fast_mult(a, b, a);
  }
}

// ---- In place ----------------------------------------------------------------------------------

void do_mults(quolyptr n, poly n2, poly d2) {
  quoly q = *n;
  poly_mult(q->numer, n2, &q->numer, polynames);
  poly_mult(q->denom, d2, &q->denom, polynames);
  detail::denominator_checks(q);
}

void fast_gen_quoly_mult(quolyptr n, quolyptr m, bool laur) {
  detail::fractions_product(*n, *m, *n, true, laur, detail::fast_gen_codes);
}

void fast_quoly_mult(quolyptr n, quolyptr m) {
  nodes::settle_integer_inplace(*n);
  const nodes::RingOperand factor(*m);
  OwnedValue copy;  // the factor, when it is the same node as *n
  quoly M = factor.get();
  if (M == *n) {
    quoly_assign(M, &copy.q);
    M = copy.q;
  }
  quoly N = *n;
  if (N->numb && M->numb) {
    number_mult_inplace(N->ncoef, M->ncoef);
    N->arr_arg = false;
    return;
  }
  fast_quoly_mult_EnvRec env{n, {}};
  if (N->numb) {
    if (nodes::num_is_zero_now(N->ncoef)) {
      env.dump_q();
      return;  // 0 stays 0
    }
    if (is_rational(M) && !word_size()) {
      mult_numb_rat(N, M, &N);
      env.dump_q();
      return;
    }
    // n's number moves into the result; n's emptied cell is freed on exit.
    number_times_value(detail::take_number(N), M, env.q.get());
    env.exit_mult();
    finish_product(*n);
    return;
  }
  if (M->numb) {
    if (is_rational(N) && !word_size()) {
      mult_numb_rat(M, N, &N);
      env.dump_q();
      return;
    }
    if (nodes::num_is_zero_now(M->ncoef)) {
      detail::become_zero(N);
      env.dump_q();
      return;
    }
    env.dump_q();
    value_times_number(N, M->ncoef, N, true);
    finish_product(N);
    return;
  }
  env.dump_q();
  if (values_product(N, M, N, true)) return;
  finish_product(N);
}

// ---- Three arguments ---------------------------------------------------------------------

void gen_quoly_mult(quoly n, quoly m, quolyptr q, bool laur) {
  detail::fractions_product(n, m, *q, false, laur, detail::gen_codes);
}

void quoly_mult(quoly n, quoly m, quolyptr p) {
  const nodes::RingOperand a(n), b(m);
  n = a.get();
  m = b.get();
  if (n->numb && m->numb) {
    if (*p != nullptr && (*p)->numb) {
      // Written in place: *p may be n or m, and the product commutes.
      imptr target = (*p)->ncoef;
      if (target == m->ncoef) {
        number_mult_inplace(target, n->ncoef);
      } else {
        if (target != n->ncoef) {
          num_assign(n->ncoef, target);
          target->lint = n->ncoef->lint;
          target->flote = n->ncoef->flote;
        }
        number_mult_inplace(target, m->ncoef);
      }
      (*p)->arr_arg = false;
      return;
    }
    // Held until the product succeeds: a product too long (error 302)
    // gives the cell and its copy back.
    ResultCell r(nodes::new_number_value(detail::number_copy(n->ncoef)));
    number_mult_inplace(r.get()->ncoef, m->ncoef);
    r.hand_over(p);
    return;
  }
  quoly_mult_EnvRec env{p, {}};
  quoly Q = env.q.get();
  if (n->numb || m->numb) {
    const quoly k = n->numb ? n : m;
    const quoly v = n->numb ? m : n;
    if (nodes::num_is_zero_now(k->ncoef)) {
      detail::become_zero(Q);
    } else if (is_rational(v) && !word_size()) {
      mult_numb_rat(k, v, &Q);
    } else if (n->numb) {
      number_times_value(detail::number_copy(n->ncoef), m, Q);
      finish_product(Q);
    } else {
      value_times_number(n, m->ncoef, Q, false);
      finish_product(Q);
    }
    env.exit_mult();
    return;
  }
  if (!values_product(n, m, Q, false)) finish_product(Q);
  env.exit_mult();
}

void spec_quoly_mult(quoly pv, quoly dummy, quolyptr prod, polypt pp2) {
  ScopedValue<bool> laurent_off(laurent, false);
  ScopedValue<bool> interrupts_off(command_int, false);
  ScopedValue<polypt> names(polynames, pp2);
  ScopedValue<polypt> pseudo(pseudo_polynames, pp2);
  quoly_mult(pv, dummy, prod);
}

}  // namespace tavrin
