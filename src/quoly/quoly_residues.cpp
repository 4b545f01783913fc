// Rational functions in one variable modulo a prime on residue vectors
// (quoly_residues_impl.h).
#include <cstdint>
#include <utility>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "dense/dense_modular.h"
#include "gcd/onevar_gcd.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_residues_impl.h"

namespace tavrin::detail {

residue_value_counts residue_values{};

namespace {

using Vec = DensePoly;

bool route_applies() {
  return residue_ring() && !laurent && pseudo_polynames == nullptr && field_depth == 0;
}

bool is_constant(const Vec& v) { return v.size() <= 1; }
bool is_one(const Vec& v) { return v.size() == 1 && v[0] == 1; }

// The parts of the fraction q as residue vectors; false when q is not a
// fraction of one-variable residue lists or its denominator is zero.
bool read_parts(quoly q, Vec* num, Vec* den) {
  return !q->numb && q->denom != nullptr && onevar_residues(q->numer, num) &&
         onevar_residues(q->denom, den) && !den->empty();
}

// The parts a / b of n and c / d of m, when the route applies to the pair:
// both fractions read and of total degree at least residue_value_degree.
bool read_large_pair(quoly n, quoly m, Vec* a, Vec* b, Vec* c, Vec* d) {
  if (!route_applies() || !read_parts(n, a, b) || !read_parts(m, c, d)) return false;
  return dense_degree(*a) + dense_degree(*b) + dense_degree(*c) + dense_degree(*d) >=
         residue_value_degree;
}

// The GCD as the value code gets it from polygcd modulo a prime.
Vec value_gcd_of(const Vec& a, const Vec& b) {
  if (is_constant(a) || is_constant(b)) return {1};
  return residue_gcd(a, b);
}

// a / g for g dividing a.
Vec quotient(const Vec& a, const Vec& g) {
  if (is_one(g)) return a;
  Vec q;
  dense_divrem(a, g, modulus, &q, nullptr);
  return q;
}

// a b, a factor 1 skipped as the term-list products skip it.
Vec times(const Vec& a, const Vec& b) {
  if (is_one(a)) return b;
  if (is_one(b)) return a;
  return dense_mul(a, b, modulus);
}

void scale_by_inverse(Vec& v, std::int32_t c) {
  if (c == 1) return;
  dense_scale(v,
              static_cast<std::int32_t>(inverse_modulo(static_cast<std::uint64_t>(c),
                                                       static_cast<std::uint32_t>(modulus))),
              modulus);
}

// r's parts := num and den (none when den is nil); the old parts freed.
void put(quoly r, const Vec& num, const Vec* den) {
  poly n = onevar_poly(num);
  poly d = den != nullptr ? onevar_poly(*den) : nullptr;
  free_poly(&r->numer);
  free_poly(&r->denom);
  r->numer = n;
  r->denom = d;
  r->rat = false;
}

// num / den (den not zero) with no common factor left: a constant den
// divided into num and dropped (false returned), else den made monic with
// num scaled alike.
bool make_monic_denominator(Vec& num, Vec& den) {
  if (is_constant(den)) {
    scale_by_inverse(num, den[0]);
    return false;
  }
  const std::int32_t c = den.back();
  if (c != 1) {
    const auto inv = static_cast<std::int32_t>(
        inverse_modulo(static_cast<std::uint64_t>(c), static_cast<std::uint32_t>(modulus)));
    dense_scale(den, inv, modulus);
    dense_scale(num, inv, modulus);
  }
  return true;
}

// num / den (den not zero) as lint_check_quoly leaves it: divided by their
// GCD when den is not a constant, then the denominator made monic.
bool normalise(Vec& num, Vec& den) {
  if (!is_constant(den)) {
    const Vec g = value_gcd_of(num, den);
    if (!is_constant(g)) {
      num = quotient(num, g);
      den = quotient(den, g);
    }
  }
  return make_monic_denominator(num, den);
}

// r := num / den through check_quoly(&r, false): a zero num makes r the
// number 0; a constant without denominator makes r a number value.
void checked_quotient(quoly r, Vec num, Vec den) {
  if (num.empty()) {
    become_zero(r);
    return;
  }
  const bool has_den = normalise(num, den);
  put(r, num, has_den ? &den : nullptr);
  number_if_constant(r);
}

}  // namespace

bool residue_normal_form(quoly q) {
  if (!route_applies()) return false;
  Vec num, den;
  if (!read_parts(q, &num, &den) || num.empty()) return false;
  if (dense_degree(num) + dense_degree(den) < residue_value_degree) return false;
  ++residue_values.normal_forms;
  checked_quotient(q, std::move(num), std::move(den));
  return true;
}

bool residue_fraction_sum(quoly n, quoly m, bool add) {
  Vec a, b, c, d;
  if (!read_large_pair(n, m, &a, &b, &c, &d)) return false;
  ++residue_values.sums;
  const std::int32_t p = modulus;
  const bool equal = b == d;
  bool coprime = false;
  Vec num, g, b1 = b, d1 = d;  // b1 = b / g, d1 = d / g
  if (equal) {
    num = add ? dense_add(a, c, p) : dense_sub(a, c, p);
  } else {
    g = value_gcd_of(b, d);
    if (!is_constant(g)) {
      b1 = quotient(b, g);
      d1 = quotient(d, g);
    } else {
      coprime = true;
    }
    const Vec t1 = times(a, d1), t2 = times(c, b1);
    num = add ? dense_add(t1, t2, p) : dense_sub(t1, t2, p);
  }
  if (num.empty()) {
    become_zero(n);
    return true;
  }
  Vec den;
  if (coprime) {
    den = times(b, d);
  } else if (equal) {
    // the new numerator against the common denominator
    const Vec g2 = value_gcd_of(num, b);
    if (!is_constant(g2)) {
      num = quotient(num, g2);
      den = quotient(b, g2);
    } else {
      den = b;
    }
  } else {
    // the new numerator against the common factor g only
    const Vec g2 = value_gcd_of(num, g);
    if (!is_constant(g2)) {
      num = quotient(num, g2);
      den = times(times(b1, quotient(g, g2)), d1);  // b' (g / g2) d'
    } else {
      den = times(b1, d);  // b' d
    }
  }
  if (!is_constant(den)) {
    put(n, num, &den);
    return true;
  }
  scale_by_inverse(num, den[0]);  // a constant denominator is divided out
  put(n, num, nullptr);
  number_if_constant(n);
  return true;
}

bool residue_polynomial_quotient(quoly n, quoly m, quoly r) {
  // the trace of the term lists' trial divisions is left to them
  if (!route_applies() || (verbose && windy)) return false;
  if (n->numb || m->numb || n->denom != nullptr || m->denom != nullptr) return false;
  Vec a, c;
  if (!onevar_residues(n->numer, &a) || !onevar_residues(m->numer, &c) || a.empty() ||
      is_constant(c))
    return false;
  if (dense_degree(a) + dense_degree(c) < residue_value_degree) return false;
  ++residue_values.quotients;
  // One division decides: a zero remainder gives the quotient, the value
  // the GCD c and the cancelled parts q c / c come to.
  Vec q, rem;
  dense_divrem(a, c, modulus, &q, &rem);
  if (rem.empty()) {
    put(r, q, nullptr);
    number_if_constant(r);
    return true;
  }
  // Otherwise gcd(a, c) = gcd(c, a mod c), both monic.
  const Vec g = value_gcd_of(c, rem);
  Vec num, den;
  if (is_constant(g)) {
    num = std::move(a);
    den = std::move(c);
  } else {
    num = quotient(a, g);
    den = quotient(c, g);
  }
  const bool has_den = make_monic_denominator(num, den);
  put(r, num, has_den ? &den : nullptr);
  number_if_constant(r);
  return true;
}

bool residue_fractions_product(quoly n, quoly m, quoly r, bool in_place) {
  (void)in_place;  // every part is read before r is written
  Vec a, b, c, d;
  if (!read_large_pair(n, m, &a, &b, &c, &d)) return false;
  ++residue_values.products;
  if (a == d) {
    if (c == b) {
      put(r, {1}, nullptr);
      return true;
    }
    checked_quotient(r, std::move(c), std::move(b));
    return true;
  }
  if (c == b) {
    checked_quotient(r, std::move(a), std::move(d));
    return true;
  }
  Vec num, den;
  if (b == d) {
    // a/b times c/b: nothing to cancel
    num = times(a, c);
    den = times(b, d);
  } else {
    // the cross pairs: a against d, c against b
    const Vec g1 = value_gcd_of(a, d);
    const Vec g2 = value_gcd_of(c, b);
    const bool cut1 = !is_constant(g1), cut2 = !is_constant(g2);
    num = times(cut1 ? quotient(a, g1) : a, cut2 ? quotient(c, g2) : c);
    den = times(cut2 ? quotient(b, g2) : b, cut1 ? quotient(d, g1) : d);
  }
  // The denominator checks: a zero numerator drops the denominator, a
  // constant denominator is divided into the numerator.
  if (num.empty() || is_constant(den)) {
    if (!num.empty()) scale_by_inverse(num, den[0]);
    put(r, num, nullptr);
  } else {
    put(r, num, &den);
  }
  return true;
}

}  // namespace tavrin::detail
