// Random dividend and divisor pairs with a known answer, for the division
// tests: an exact pair is a * b over b (quotient a); an inexact pair adds to
// a * b a constant that is not 0 in the ring, which no non-constant b
// divides; a free pair adds any random polynomial (answer unknown).
#pragma once

#include <random>

#include "support/refpoly.h"
#include "support/rings.h"

namespace tavrin::test {

// Every exponent of r is 0.
inline bool is_constant(const RefPoly& r) {
  for (const auto& [e, c] : r.terms())
    for (std::int32_t x : e)
      if (x != 0) return false;
  return true;
}

// r with every coefficient cut below `bound` in magnitude (floating values
// stay exact through the products).
inline RefPoly cut_coefficients(const RefPoly& r, std::int64_t bound) {
  RefPoly out(r.nvars());
  for (const auto& [e, c] : r.terms()) out.add_term(e, c % BigRef(bound));
  return out;
}

enum class PairKind { exact, inexact, free };

struct DivisionPair {
  RefPoly n, m, quotient;  // quotient: for exact pairs
  PairKind kind;
};

// A pair in the ring over nvars variables; m is never a constant in the
// ring. Operands: up to max_terms terms, exponents up to max_exp.
inline DivisionPair random_division_pair(std::mt19937_64& rng, Ring ring, int nvars, PairKind kind,
                                         int max_terms = 4, int max_exp = 3) {
  const int limbs = ring == Ring::floating ? 1 : 2;
  for (;;) {
    RefPoly a = random_refpoly(rng, nvars, max_terms, max_exp, limbs);
    RefPoly b = random_refpoly(rng, nvars, max_terms, max_exp, limbs);
    if (ring == Ring::floating) {
      a = cut_coefficients(a, 64);
      b = cut_coefficients(b, 64);
    }
    a = in_ring(ring, a);
    b = in_ring(ring, b);
    if (is_constant(b) || a.is_zero()) continue;
    RefPoly n = ring_product(ring, a, b);
    if (kind == PairKind::inexact) {
      std::int64_t c = static_cast<std::int64_t>(rng() % 5) + 1;
      n = ring_sum(ring, n, RefPoly::constant(nvars, BigRef(c)));
    } else if (kind == PairKind::free) {
      RefPoly r = random_refpoly(rng, nvars, 2, max_exp, limbs);
      if (ring == Ring::floating) r = cut_coefficients(r, 64);
      n = ring_sum(ring, n, in_ring(ring, r));
    }
    return {n, b, a, kind};
  }
}

}  // namespace tavrin::test
