// Sums and differences of values: the in-place family (best_), the
// three-argument family (quoly_) and the family that uses up its first
// operand (better_). The kinds are tested before any general work, so that
// numbers, rational numbers and polynomials never build fractions or take
// polynomial GCDs.
#include "quoly/quoly_add.h"

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_in_place.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_integers_impl.h"

namespace tavrin {

using detail::BorrowingNode;
using detail::is_fraction;
using detail::is_polynomial;
using detail::is_rational;
using detail::word_size;
using nodes::new_leaf;
using nodes::OwnedPoly;
using nodes::OwnedValue;
using nodes::RingOperand;
using nodes::ScratchNumber;
using nodes::settle_integer_inplace;

namespace {

// *p := n - m when sub, else n + m (best_poly_add's ownership rules).
void best_poly_add_or_sub(poly n, poly m, poly* p, bool sub) {
  (sub ? best_poly_sub : best_poly_add)(n, m, p);
}

// N := (prod ± c) / d for the fraction m = c / d, prod being N's former
// numerator times d: prod (consumed) and m's parts move into N, which must
// have no numerator or denominator of its own.
void take_fraction(quoly N, OwnedPoly& prod, quoly m, bool sub) {
  best_poly_add_or_sub(prod.release(), m->numer, &N->numer, sub);
  m->numer = nullptr;
  N->denom = m->denom;
  m->denom = nullptr;
  detail::set_rat_rule(N);
}

// *r := s - a when sub, else s + a, for a rational function s and a
// polynomial a over s's denominator: in place when *r is s (no_denom,
// no_denom_minus), else into the fresh cell *r (no_denom, no_denom_minus_2).
// a: kept; s: kept unless *r is s.
void ratfun_plus_poly(quoly s, poly a, quolyptr r, bool sub) {
  if (!sub) {
    no_denom(a, s, r, 0);
  } else if (*r == s) {
    no_denom_minus(a, s, r);
  } else {
    no_denom_minus_2(a, s, r);
  }
}

// A big integer of one limb whose value v fits a limb.
constexpr bool fits_limb(std::int32_t v) { return v > -limb_base && v < limb_base; }

// a := a + b, or a - b with sub, in the current mode; b kept (may be a).
// Modular residues by mod_add / mod_sub (exclusive or in characteristic 2);
// a plain word sum beyond 32 bits is user error 32 (it would wrap). With
// word_limbs, big integers of one limb each are combined as words when the
// result fits a limb.
void combine_numbers(imptr a, imptr b, bool sub, bool word_limbs) {
  if (flotemode) {
    a->flote = sub ? a->flote - b->flote : a->flote + b->flote;
  } else if (modularmode) {
    a->lint = sub ? mod_sub(a->lint, b->lint, modulus)
                  : mod_add(static_cast<std::uint32_t>(a->lint),
                            static_cast<std::uint32_t>(b->lint), modulus);
  } else if (lintmode) {
    const std::int64_t v = sub ? std::int64_t{a->lint} - b->lint : std::int64_t{a->lint} + b->lint;
    if (v > INT32_MAX || v < INT32_MIN) abandon(exponent_too_large_error, &token);
    a->lint = static_cast<std::int32_t>(v);
  } else {
    if (word_limbs && a->size == 1 && b->size == 1) {
      const std::int32_t v =
          sub ? a->head->value - b->head->value : a->head->value + b->head->value;
      if (fits_limb(v)) {
        a->head->value = v;
        return;
      }
    }
    if (sub) {
      fastdiff(a, b);
    } else {
      fastsum(a, b);
    }
  }
}

// A fresh number a ± b (a, b kept), as combine_numbers.
imptr combined_number(imptr a, imptr b, bool sub, bool word_limbs) {
  ScratchNumber r;
  if (!flotemode && !lintmode && !(word_limbs && a->size == 1 && b->size == 1)) {
    if (sub) {
      meddiff(a->size, b->size, a->head, b->head, r.get());
    } else {
      medsum(a->size, b->size, a->head, b->head, r.get());
    }
    return r.release();
  }
  num_assign(a, r.get());
  r.get()->lint = a->lint;
  r.get()->flote = a->flote;
  combine_numbers(r.get(), b, sub, word_limbs);
  return r.release();
}

// The rational number q := q ± k·(its denominator) in place (k an integer
// number; q's denominator above 1 keeps the result in lowest terms).
void rational_plus_integer(quoly q, imptr k, bool sub) {
  ScratchNumber t;
  fast_mult(k, q->denom->ncoef, t.get());
  if (sub) {
    fastdiff(q->numer->ncoef, t.get());
  } else {
    fastsum(q->numer->ncoef, t.get());
  }
}

// A fresh rational-function cell with no parts.
quoly new_empty_ratfun() { return nodes::new_ratfun_value(nullptr, nullptr); }

// *n ± m with m used up.
void best_sum(quolyptr n, quoly m, bool sub) {
  OwnedValue m_owner(m);
  quoly N = *n;
  if (N->numb) {
    if (m->numb) {
      combine_numbers(N->ncoef, m->ncoef, sub, sub && integerflag);
      N->arr_arg = false;
      return;
    }
    if (is_rational(m) && !word_size()) {
      // (N d ± c) / d in m's node: no GCD, d > 1 keeps it in lowest terms.
      ScratchNumber t;
      fast_mult(N->ncoef, m->denom->ncoef, t.get());
      if (sub) {
        fastdiff(t.get(), m->numer->ncoef);
      } else {
        fastsum(t.get(), m->numer->ncoef);
      }
      free_imag(&m->numer->ncoef);
      m->numer->ncoef = t.release();
      *n = m_owner.release();
      free_quoly(&N);
      return;
    }
    poly t = new_leaf(detail::take_number(N));  // N's number moves into t
    if (m->denom != nullptr) {
      OwnedPoly owned_t, prod;
      owned_t.p = t;
      poly_mult(t, m->denom, &prod.p, polynames);
      take_fraction(N, prod, m, sub);
    } else {
      best_poly_add_or_sub(t, m->numer, &N->numer, sub);
      m->numer = nullptr;
    }
    return;
  }
  if (m->numb) {
    if (is_rational(N) && !word_size()) {
      rational_plus_integer(N, m->ncoef, sub);
      return;
    }
    OwnedPoly t;
    t.p = new_leaf(m->ncoef);  // m's number moves into t
    m->ncoef = nullptr;
    if (N->denom == nullptr) {
      best_poly_add_or_sub(N->numer, t.release(), &N->numer, sub);
      detail::number_if_constant(N);
    } else {
      OwnedPoly prod;
      poly_mult(t.p, N->denom, &prod.p, polynames);
      best_poly_add_or_sub(N->numer, prod.release(), &N->numer, sub);
      detail::set_rat_rule(N);
    }
    return;
  }
  if (is_polynomial(N)) {
    if (is_fraction(m)) {
      // a d ± c over d: m's denominator moves to N.
      OwnedPoly prod;
      poly_mult(N->numer, m->denom, &prod.p, polynames);
      free_poly(&N->numer);
      take_fraction(N, prod, m, sub);
    } else {
      best_poly_add_or_sub(N->numer, m->numer, &N->numer, sub);
      m->numer = nullptr;
      detail::number_if_constant(N);
    }
    return;
  }
  if (is_polynomial(m)) {
    // a ± c b over b.
    OwnedPoly prod;
    poly_mult(m->numer, N->denom, &prod.p, polynames);
    best_poly_add_or_sub(N->numer, prod.release(), &N->numer, sub);
    detail::set_rat_rule(N);
    return;
  }
  if (is_rational(N) && is_rational(m) && !word_size()) {
    add_rats(N, m, n, !sub);
    return;
  }
  fast_gen_quoly_add(n, &m, !sub);
}

// *p := n ± m, both kept.
void three_argument_sum(quoly n, quoly m, quolyptr p, bool sub) {
  if (n->numb && m->numb) {
    imptr r = combined_number(n->ncoef, m->ncoef, sub, integerflag);
    if (*p != nullptr && (*p)->numb) {
      free_imag(&(*p)->ncoef);
      (*p)->ncoef = r;
      (*p)->arr_arg = false;
    } else {
      quoly old = *p;
      *p = nodes::new_number_value(r);
      free_quoly(&old);
    }
    return;
  }
  quoly R = new_empty_ratfun();  // the same node throughout
  OwnedValue r_owner(R);
  const auto poly_sum = sub ? poly_sub : poly_add;  // n ± m, both kept
  if (!n->numb && !m->numb) {
    if (is_polynomial(n) && is_polynomial(m)) {
      poly_sum(n->numer, m->numer, &R->numer);
      detail::number_if_constant(R);
    } else if (is_polynomial(n)) {
      no_denom(n->numer, m, &R, sub ? 1 : 0);
    } else if (is_polynomial(m)) {
      ratfun_plus_poly(n, m->numer, &R, sub);
    } else if (is_rational(n) && is_rational(m) && !word_size()) {
      add_rats(n, m, &R, !sub);
    } else {
      general_quoly_add(n, m, &R, !sub);
    }
  } else if (m->numb) {
    if (is_rational(n) && !word_size()) {
      add_numb_rat(m, n, &R, !sub);  // m ± n
      if (sub) quoly_inplace(R);
    } else {
      OwnedPoly t;
      t.p = new_leaf(detail::number_copy(m->ncoef));
      if (is_polynomial(n)) {
        poly_sum(n->numer, t.p, &R->numer);
        detail::number_if_constant(R);
      } else {
        ratfun_plus_poly(n, t.p, &R, sub);
      }
    }
  } else {
    if (is_rational(m) && !word_size()) {
      add_numb_rat(n, m, &R, !sub);
    } else {
      OwnedPoly t;
      t.p = new_leaf(detail::number_copy(n->ncoef));
      if (is_polynomial(m)) {
        poly_sum(t.p, m->numer, &R->numer);
        detail::number_if_constant(R);
      } else {
        no_denom(t.p, m, &R, sub ? 1 : 0);
      }
    }
  }
  quoly old = *p;
  *p = r_owner.release();
  free_quoly(&old);
}

// *p := n ± m, n used up (its node becomes the result), m kept.
void better_sum(quoly n, quoly m, quolyptr p, bool sub) {
  quoly old = *p;
  OwnedValue n_owner(n);
  // While n is worked on it is n_owner's alone: an error that unwinds frees
  // it once and leaves *p empty, not holding the freed node.
  if (old == n) *p = nullptr;
  const auto poly_sum = sub ? better_poly_sub : better_poly_add;  // n used up
  if (n->numb) {
    if (m->numb) {
      combine_numbers(n->ncoef, m->ncoef, sub, integerflag);
      n->arr_arg = false;
    } else if (is_rational(m) && !word_size()) {
      add_numb_rat(n, m, &n, !sub);
    } else {
      OwnedPoly t;
      t.p = new_leaf(detail::take_number(n));  // n's number moves into t
      if (m->denom != nullptr) {
        no_denom(t.p, m, &n, sub ? 1 : 0);
      } else {
        poly_sum(t.release(), m->numer, &n->numer);
      }
    }
  } else if (m->numb) {
    if (is_rational(n) && !word_size()) {
      rational_plus_integer(n, m->ncoef, sub);
    } else {
      BorrowingNode t(m->ncoef);
      if (n->denom == nullptr) {
        poly_sum(n->numer, t.get(), &n->numer);
        detail::number_if_constant(n);
      } else {
        ratfun_plus_poly(n, t.get(), &n, sub);
      }
    }
  } else if (is_polynomial(n)) {
    if (is_fraction(m)) {
      no_denom(n->numer, m, &n, sub ? 1 : 0);
    } else {
      poly_sum(n->numer, m->numer, &n->numer);
      detail::number_if_constant(n);
    }
  } else if (is_polynomial(m)) {
    ratfun_plus_poly(n, m->numer, &n, sub);
  } else if (is_rational(n) && is_rational(m) && !word_size()) {
    add_rats(n, m, &n, !sub);
  } else {
    quoly mm = m;
    fast_gen_quoly_add(&n, &mm, !sub);
  }
  *p = n_owner.release();
  if (old != n) free_quoly(&old);
}

}  // namespace

void best_quoly_add(quolyptr n, quoly m) {
  settle_integer_inplace(*n);
  settle_integer_inplace(m);
  best_sum(n, m, false);
  settle_under_relations(*n);
}
void best_quoly_sub(quolyptr n, quoly m) {
  settle_integer_inplace(*n);
  settle_integer_inplace(m);
  best_sum(n, m, true);
  settle_under_relations(*n);
}

bool quoly_add_in_place(quolyptr n, quoly m, bool sub) {
  if (flotemode || integerflag || laurent || pseudo_polynames != nullptr || field_depth > 0)
    return false;
  quoly N = *n;
  if (N == nullptr || N->numb || m->numb) return false;
  if (lintmode) {  // residue sums of polynomials cannot fail (plain word sums can overflow)
    if (!modularmode || N->denom != nullptr || m->denom != nullptr) return false;
  } else if (m->denom == nullptr) {
    // N's numerator (times nothing, or N's denominator's multiple of m in
    // front) takes m's terms ahead of its own.
    if (!detail::terms_above(m->numer, N->numer)) return false;
    if (N->denom != nullptr && !nodes::is_bare_leaf(N->denom)) return false;
  } else {
    if (N->denom == nullptr) return false;
    // The sum over contiguous integer coefficients writes N only once it
    // is formed whole, as the sum would reach it (fast_gen_quoly_add).
    if (detail::prepend_fraction_sum(N, m, sub) || detail::integer_fraction_sum(N, m, !sub)) {
      free_quoly(&m);
      return true;
    }
    return false;
  }
  (sub ? best_quoly_sub : best_quoly_add)(n, m);
  return true;
}

void quoly_add(quoly n, quoly m, quolyptr p) {
  const RingOperand a(n), b(m);
  three_argument_sum(a.get(), b.get(), p, false);
  settle_under_relations(*p);
}

void quoly_sub(quoly n, quoly m, quolyptr p) {
  if (n == m) {
    if (*p != nullptr && (*p)->numb) {
      detail::become_zero(*p);
    } else {
      quoly old = *p;
      *p = nodes::new_number_value(detail::zero_number());
      free_quoly(&old);
    }
    return;
  }
  const RingOperand a(n), b(m);
  three_argument_sum(a.get(), b.get(), p, true);
  settle_under_relations(*p);
}

void better_quoly_add(quoly n, quoly m, quolyptr p) {
  settle_integer_inplace(n);
  const RingOperand b(m);
  better_sum(n, b.get(), p, false);
  settle_under_relations(*p);
}
void better_quoly_sub(quoly n, quoly m, quolyptr p) {
  settle_integer_inplace(n);
  const RingOperand b(m);
  better_sum(n, b.get(), p, true);
  settle_under_relations(*p);
}

}  // namespace tavrin
