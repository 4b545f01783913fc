// Sums of two fractions with polynomial denominators: a/b ± c/d. Only the
// GCD of the denominators and then the GCD of the new numerator with it are
// taken, never the GCD with the whole new denominator.
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_field.h"
#include "poly/poly_add.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_integers_impl.h"
#include "quoly/quoly_normal_form.h"
#include "quoly/quoly_residues_impl.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

quoly_sum_counts quoly_sums{};

namespace {

// The diagnostic codes of the exact divisions by a constant GCD of the
// denominators.
constexpr std::int32_t constant_gcd_b_code = -181;
constexpr std::int32_t constant_gcd_d_code = -183;

// A GCD taken that is not 1.
bool not_one(poly g) { return !poly_eq_1(g); }

// The numerator and the common factor *g divided by their GCD g2 (Laurent:
// the numerator shifted away for the GCD; reduce with el_n = laurent). True
// when g2 was exactly 1.
bool cancel_with_factor(poly* numer, poly* g) {
  ++quoly_sums.numerator_gcds;
  OwnedPoly g2;
  Lpolygcd(numer, g, &g2.p, false, polynames);
  if (g2.p == nullptr) return true;
  if (!is_bare_leaf(g2.p)) {
    reduce(numer, g, &g2.p, numer, g, {.el_n = laurent});
    return false;
  }
  if (!not_one(g2.p)) return true;
  num_poly_quot(*numer, g2.p->ncoef, 0);
  num_poly_quot(*g, g2.p->ncoef, 0);
  return false;
}

// a * b over polynames, the factor 1 skipped (a, b kept; a fresh result).
poly times(poly a, poly b) {
  OwnedPoly r;
  if (poly_eq_1(b)) {
    poly_assign(a, &r.p);
  } else if (poly_eq_1(a)) {
    poly_assign(b, &r.p);
  } else {
    poly_mult(a, b, &r.p, polynames);
  }
  return r.release();
}

// q's numerator times d, taken over where d is 1; q's numerator is left
// null (kept as it was should the product fail).
poly take_numer_times(quoly q, poly d) {
  poly r = nullptr;
  if (poly_eq_1(d)) {
    r = q->numer;
  } else {
    poly_mult(q->numer, d, &r, polynames);
    free_poly(&q->numer);
  }
  q->numer = nullptr;
  return r;
}

// The denominator's last checks: a polynomial clears rat, and while
// relations are in force (the product of the denominators was reduced by
// them, which can leave its leading number negative or not 1) the value
// gets the sign, content and leading-coefficient rules of its normal form
// (normal_form, or lint_normal_form in word-size arithmetic); 0 is user error
// 210 (then the value is 0); a number other than 1 is divided into the
// numerator in word-size arithmetic, else sets rat by the numerator; 1 is
// dropped. A constant numerator without denominator makes q a number.
void finish_denominator(quoly q) {
  if (!is_bare_leaf(q->denom)) {
    q->rat = false;
    if (pseudo_polynames == nullptr) return;
    if (detail::word_size()) {
      lint_normal_form(q, laurent);
    } else {
      normal_form(q, laurent);
    }
    return;
  }
  if (poly_iszero(q->denom)) {
    error(zero_denominator_error, &token);
    detail::become_zero(q);
    return;
  }
  if (not_one(q->denom)) {
    if (detail::word_size()) {
      num_poly_quot(q->numer, q->denom->ncoef, 0);
      free_poly(&q->denom);
      q->rat = false;
      detail::number_if_constant(q);
    } else {
      q->rat = is_bare_leaf(q->numer);
    }
    return;
  }
  free_poly(&q->denom);
  q->rat = false;
  detail::number_if_constant(q);
}

// ---- Coprime to a linear denominator ------------------------------------------------------

// The prime of the probes below.
constexpr std::uint32_t probe_prime = 2147483647;

// d = c0 + sum c_L x_L of total degree 1, each c one limb: *coef[L] := c_L
// mod probe_prime at every level of d (0 where absent), *constant := c0;
// *content := the GCD of the |c|. False when d is not of that form.
bool linear_form(poly d, std::size_t level, const WordField& f, std::vector<std::uint32_t>* coef,
                 std::uint32_t* constant, std::int64_t* content) {
  for (; d != nullptr; d = d->next) {
    if (d->numb) {
      if (d->ncoef->size != 1) return false;
      *constant = f.add(*constant, f.of(d->ncoef->head->value));
      *content = std::gcd(*content, std::int64_t{d->ncoef->head->value});
    } else if (d->exp == 0) {  // a pad term: the levels below
      if (!linear_form(d->pcoef, level + 1, f, coef, constant, content)) return false;
    } else if (d->exp == 1 && d->pcoef->numb && d->pcoef->ncoef->size == 1) {
      if (coef->size() <= level) coef->resize(level + 1, 0);
      const std::int32_t c = d->pcoef->ncoef->head->value;
      (*coef)[level] = f.of(c);
      *content = std::gcd(*content, std::int64_t{c});
    } else {
      return false;
    }
  }
  return true;
}

// p at x_L = v[L] modulo f's prime (levels past v: 0), by Horner's rule
// along each list; at a level whose value is 0 only the list's last term
// counts, when its exponent is 0.
std::uint32_t value_at(poly p, std::size_t level, const std::vector<std::uint32_t>& v,
                       const WordField& f) {
  const std::uint32_t x = level < v.size() ? v[level] : 0;
  if (x == 0) {
    while (p->next != nullptr) p = p->next;
    if (p->numb) return number_residue(p->ncoef, f);
    return p->exp == 0 ? value_at(p->pcoef, level + 1, v, f) : 0;
  }
  std::uint32_t r = 0;
  std::int32_t last = 0;  // the exponent r stands at
  for (poly t = p; t != nullptr; t = t->next) {
    const std::int32_t e = t->numb ? 0 : t->exp;
    if (t != p) r = f.mul(r, f.pow(x, static_cast<std::uint64_t>(last - e)));
    r = f.add(r, t->numb ? number_residue(t->ncoef, f) : value_at(t->pcoef, level + 1, v, f));
    last = e;
  }
  return f.mul(r, f.pow(x, static_cast<std::uint64_t>(last)));
}

// b and d are coprime, proved at one point: d primitive and of total
// degree 1 (so irreducible, and gcd(b, d) is 1 or d), and b not 0 at a
// point where d is, modulo a prime (were d a factor, b would vanish
// there). The points on the axes of d's variables come first, each with
// every variable but one 0: b's value there reads only the terms free of
// the others (a few coefficients of a long b; b = prod (x + j y + j^2 z +
// 1) vanishes on the x axis, not on the y axis); where b vanishes on them
// all, a point with the other variables from a fixed sequence follows.
// False when that does not hold or cannot be shown so cheaply (the GCD is
// then taken). Integer coefficients, no relations, no negative exponents.
bool coprime_to_linear(poly b, poly d) {
  if (modularmode || lintmode || flotemode || laurent || pseudo_polynames != nullptr ||
      is_bare_leaf(d))
    return false;
  const WordField f(probe_prime);
  std::vector<std::uint32_t> v;
  std::uint32_t constant = 0;
  std::int64_t content = 0;
  if (!linear_form(d, 0, f, &v, &constant, &content) || content != 1) return false;
  // Values for the other levels from a fixed sequence; the first level of d
  // solves d = 0 (its coefficient is below the prime, so a unit).
  std::size_t solved = 0;
  while (solved < v.size() && v[solved] == 0) ++solved;
  if (solved == v.size()) return false;  // no variable
  const std::uint32_t c = v[solved];
  for (std::size_t L = solved; L < v.size(); ++L) {
    if (v[L] == 0) continue;
    std::vector<std::uint32_t> on_axis(L + 1, 0);
    on_axis[L] = f.mul(f.neg(constant), f.inv(v[L]));
    if (value_at(b, 0, on_axis, f) != 0) return true;
  }
  std::uint32_t rest = constant;
  std::uint64_t seed = 0x9e3779b97f4a7c15u;
  for (std::size_t L = 0; L < v.size(); ++L) {
    if (L == solved) continue;
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    const std::uint32_t x = f.reduce(seed >> 17);
    rest = f.add(rest, f.mul(v[L], x));
    v[L] = x;
  }
  v[solved] = f.mul(f.neg(rest), f.inv(c));
  // Levels of b below d's take values of the same sequence.
  for (std::size_t L = v.size(); L < 64; ++L) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    v.push_back(f.reduce(seed >> 17));
  }
  return value_at(b, 0, v, f) != 0;
}

// a/b ± 1/d for coprime b and d: a d ± b over b d. By a short d with long
// coefficients in a, a d ± b is formed in one pass (and a freed before b d
// is formed); otherwise a d is formed, then b d, and b itself becomes the
// second part of the numerator instead of a copy.
void coprime_unit_sum(quoly N, poly d, bool add) {
  OwnedPoly numer;
  if (!poly_eq_1(d) && flat_mult_add(N->numer, d, N->denom, !add, numer.cell(), polynames)) {
    free_poly(&N->numer);
    N->numer = numer.release();
    poly_mult(N->denom, d, &N->denom, polynames);
    return;
  }
  OwnedPoly ad;
  ad.p = take_numer_times(N, d);
  OwnedPoly bd;
  poly_mult(N->denom, d, &bd.p, polynames);
  OwnedPoly b(std::exchange(N->denom, bd.release()));
  if (add) {
    best_poly_add(ad.release(), b.release(), &N->numer);
  } else {
    best_poly_sub(ad.release(), b.release(), &N->numer);
  }
}

}  // namespace

void settle_under_relations(quoly q) {
  if (pseudo_polynames == nullptr || q->numb || q->denom == nullptr) return;
  if (poly_iszero(q->numer)) {
    detail::become_zero(q);
    return;
  }
  if (is_bare_leaf(q->denom)) return;
  cancel_with_factor(&q->numer, &q->denom);
  finish_denominator(q);
}

namespace detail {
using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

bool terms_above(poly m, poly n) {
  if (laurent || is_bare_leaf(m)) return false;
  poly last = m;
  while (last->next != nullptr) last = last->next;
  if (last->numb || last->exp <= 0) return false;
  return is_bare_leaf(n) || (!n->numb && n->exp < last->exp);
}

bool prepend_fraction_sum(quoly n, quoly m, bool sub) {
  if (word_size() || laurent || pseudo_polynames != nullptr || field_depth > 0) return false;
  if (n->numb || m->numb || n->denom == nullptr || m->denom == nullptr) return false;
  if (!is_bare_leaf(n->denom) || !is_bare_leaf(m->denom) || !terms_above(m->numer, n->numer))
    return false;
  imptr b = n->denom->ncoef, d = m->denom->ncoef;
  ScratchNumber q;  // b / d, when they differ
  const bool equal = spec_equal(b, d);
  if (!equal) {
    ScratchNumber r;
    divide(b, d, q.get(), r.get());
    if (!nodes::num_is_zero_now(r.get())) return false;
  }
  OwnedPoly t;
  if (sub) {
    poly_makeneg(m->numer, &t.p);
  } else {
    poly_assign(m->numer, &t.p);
  }
  if (!equal) num_poly_mult(t.p, q.get());
  // Nothing fails from here on.
  poly last = t.p;
  while (last->next != nullptr) last = last->next;
  last->next = n->numer;
  n->numer = t.release();
  n->rat = false;
  return true;
}

}  // namespace detail

void fast_gen_quoly_add(quolyptr n, quolyptr m, bool add) {
  if (!detail::word_size() && field_depth > 0) {
    general_quoly_add(*n, *m, n, add);
    return;
  }
  if (detail::prepend_fraction_sum(*n, *m, !add)) return;
  if (detail::residue_fraction_sum(*n, *m, add)) return;
  if (detail::integer_fraction_sum(*n, *m, add)) return;
  quoly N = *n;
  quoly M = *m;
  const bool equal = poly_equal(N->denom, M->denom);
  bool coprime = false;
  bool moved_b = false;  // N's denominator is b d already
  OwnedPoly g_own;       // the GCD of the denominators (equal ones: N's own)
  OwnedPoly d_cof;       // d' = d / g, when it is not d itself
  if (equal) {
    if (add) {
      better_poly_add(N->numer, M->numer, &N->numer);
    } else {
      better_poly_sub(N->numer, M->numer, &N->numer);
    }
  } else {
    ++quoly_sums.denominator_gcds;
    if (coprime_to_linear(N->denom, M->denom) || coprime_to_linear(M->denom, N->denom)) {
      ++quoly_sums.linear_coprime;
      poly_set(1, &g_own.p);
    } else {
      detail::value_gcd(N->denom, M->denom, &g_own.p);
    }
    if (!is_bare_leaf(g_own.p)) {
      reduce(&N->denom, &M->denom, &g_own.p, &N->denom, &d_cof.p, {.dflag = true});
    } else if (not_one(g_own.p)) {
      poly_quot(N->denom, g_own.p, &N->denom, constant_gcd_b_code);
      poly_quot(M->denom, g_own.p, &d_cof.p, constant_gcd_d_code);
    } else {
      coprime = true;
    }
    if (coprime && poly_eq_1(M->numer)) {
      coprime_unit_sum(N, M->denom, add);
      moved_b = true;
    } else {
      const poly d1 = d_cof.p != nullptr ? d_cof.p : M->denom;
      OwnedPoly t1, t2;
      t1.p = take_numer_times(N, d1);
      poly_mult(M->numer, N->denom, &t2.p, polynames);
      if (add) {
        best_poly_add(t1.release(), t2.release(), &N->numer);
      } else {
        best_poly_sub(t1.release(), t2.release(), &N->numer);
      }
    }
  }
  if (poly_iszero(N->numer)) {
    detail::become_zero(N);
    return;
  }
  if (coprime) {
    if (!moved_b) poly_mult(N->denom, M->denom, &N->denom, polynames);
  } else if (equal) {
    cancel_with_factor(&N->numer, &N->denom);
  } else {
    const poly d1 = d_cof.p != nullptr ? d_cof.p : M->denom;
    if (cancel_with_factor(&N->numer, &g_own.p)) {
      poly_mult(N->denom, M->denom, &N->denom, polynames);  // b' d
    } else {
      OwnedPoly t;
      t.p = times(N->denom, g_own.p);  // b' (g / g2) d'
      poly_mult(t.p, d1, &t.p, polynames);
      free_poly(&N->denom);
      N->denom = t.release();
    }
  }
  finish_denominator(N);
}

void general_quoly_add(quoly n, quoly m, quolyptr q, bool add) {
  const poly b = n->denom;
  const poly d = m->denom;
  const bool equal = poly_equal(b, d);
  bool coprime = false;
  OwnedPoly numer, g_own, b_cof, d_cof, mu;
  poly g = d;  // shared when the denominators are equal
  poly b1 = b, d1 = d;
  if (equal) {
    if (add) {
      poly_add(n->numer, m->numer, &numer.p);
    } else {
      poly_sub(n->numer, m->numer, &numer.p);
    }
  } else {
    ++quoly_sums.denominator_gcds;
    detail::value_gcd(b, d, &g_own.p);
    g = g_own.p;
    if (!is_bare_leaf(g)) {
      poly bb = b, dd = d;  // kept: nflag and dflag
      field_reduce(&bb, &dd, &g_own.p, &b_cof.p, &d_cof.p, &mu.p, {.nflag = true, .dflag = true});
      b1 = b_cof.p;
      d1 = d_cof.p;
    } else if (not_one(g)) {
      poly_quot(b, g, &b_cof.p, constant_gcd_b_code);
      poly_quot(d, g, &d_cof.p, constant_gcd_d_code);
      b1 = b_cof.p;
      d1 = d_cof.p;
    } else {
      coprime = true;
    }
    OwnedPoly t1, t2;
    poly_mult(n->numer, d1, &t1.p, polynames);
    poly_mult(m->numer, b1, &t2.p, polynames);
    if (add) {
      best_poly_add(t1.release(), t2.release(), &numer.p);
    } else {
      best_poly_sub(t1.release(), t2.release(), &numer.p);
    }
  }
  quoly Q = *q;
  if (poly_iszero(numer.p)) {
    detail::become_zero(Q);
    return;
  }
  OwnedPoly den;
  if (coprime) {
    poly_mult(b, d, &den.p, polynames);
  } else {
    poly_assign(g, &den.p);
  }
  free_poly(&g_own.p);
  if (!coprime) cancel_with_factor(&numer.p, &den.p);
  if (!equal && !coprime) {
    OwnedPoly t;
    poly_mult(b1, d1, &t.p, polynames);
    if (mu.p != nullptr && field_depth > 0 && !detail::word_size() && not_one(mu.p))
      num_poly_quot(t.p, mu.p->ncoef, 0);
    poly_mult(den.p, t.p, &den.p, polynames);
  }
  free_poly(&Q->numer);
  free_poly(&Q->denom);
  Q->numer = numer.release();
  Q->denom = den.release();
  if (!detail::word_size() && field_depth > 0) sanitize(Q);
  finish_denominator(Q);
}

}  // namespace tavrin
