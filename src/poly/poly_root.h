// Exact roots of polynomials: g with g^r = h.
//
// The terms of the recursive representation run in the lexicographic order
// of the levels, and in that order the leading term of a product is the
// product of the leading terms. So lt(g) = lt(h)^(1/s), and once the leading
// terms G of g are known, the leading term of h - G^s is s lt(G)^(s-1) t for
// the next term t of g: each term costs one exact division by
// s lt(G)^(s-1), and h is an s-th power exactly when h - G^s reaches 0. The
// powers G^i (i < s) are kept and updated by the binomial expansion as terms
// are added. A root of composite order is taken prime by prime, the smaller
// primes first.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *g := the r-th root of h (g^r = h); false, *g nil, when h is not an r-th
// power. Products are plain (no relation is folded in).
// Rational arithmetic (integer leaves): any r >= 2; for an even r the root
// whose leading numeric coefficient is positive.
// In a modular field of q elements (mod_is_prime: a prime q, or the fields
// of 256 and 65536 elements) and for r prime to its characteristic: r a
// power of two with q = 3 mod 4, the root whose leading numeric coefficient
// is a square modulo q (the other root is its negative); or r odd with
// gcd(r, q - 1) = 1, the only root. Every other ring or order: false (a
// factor p of r, p the characteristic, is a p-th root, which the terms
// cannot give: the divisor p lc^(p-1) vanishes).
// h: kept; *g: set. reads: mode flags, modulus, mod_is_prime
bool poly_exact_root(poly h, std::int32_t r, poly* g);

}  // namespace tavrin
