// Roots and exponent shrinks of polynomials in the quotient ring.
//
// With relations in force a reduced polynomial is an element of A[X]: X the
// free levels (no relation), A the coefficient algebra of the modded-out
// levels, spanned over the ground ring by the reduced monomials T^a (each
// exponent below its level's degree), of dimension N = the product of those
// degrees. The plain routines (poly_root.h, the exponent tests of a power)
// read T as free variables, so a power formed with the relations folded in
// is refused; these routines compute in A itself. They apply when every
// relation involves only modded-out levels (A is then a finite algebra over a
// prime field or GF(2^8), GF(2^16), or a free Z-module), outside floating
// and Laurent mode.
//
// Roots of order s prime to the characteristic go term by term over the
// free monomials in lexicographic order, as in poly_root.h, with
// coefficients in A: g's leading coefficient is a root of h's, every later
// term a coefficient of h - G^s divided by s lc(G)^(s-1). That needs a unit
// leading coefficient. Modulo a prime p every element a of A has its
// Frobenius orbit a, a^p, a^p^2, ...: from J on (p^J >= N kills the
// nilpotent parts) it runs round a cycle of length L, and M = p^J (p^L - 1)
// is then an exponent with a^M = u the idempotent of a's unit part (1 on
// the components where a is a unit, 0 where it is nilpotent). So a^(M-1)
// inverts a unit, a^((jM + 1)/s) with jM = -1 mod s is its root of odd
// order s (when s does not divide p^L - 1: the only root), a^((M + 2)/4) its
// square root that is itself a square (p^L = 3 mod 4); and a leading
// coefficient that is a zero divisor splits h into u h and (1 - u) h, whose
// roots add up to h's. Over the integers only an integer leading
// coefficient is taken (every later division then exact). When the leading
// end gives no root the trailing end is tried the same way, from the least
// free monomial up (least terms multiply as leading terms do).
// Roots of order p and the shrink h = g(X^k) are linear: g's coefficient b
// of each free monomial solves sum_a c_a (T^a)^k = (h's coefficient), a
// linear system of side N over the prime field or GF(2^m) (N <= 512), with
// b_a = c_a^(1/p) for the root (the Frobenius is additive) and b_a = c_a for
// the shrink.
//
// Every answer is checked against h in the quotient ring before it is given.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Relations are in force and the routines below can compute in this ring
// (see above). reads: polynames, mode flags, mod_is_prime, laurent
bool quotient_roots_apply();

// *g := a root of order r >= 2 of h in the quotient ring: g^r = h, products
// reduced by the relations. Orders prime to the characteristic with the
// root rules of poly_exact_root (over the integers the root with a positive
// leading integer; modulo a prime the unique one, a square root that is a
// square); a factor p of r, p the characteristic, as a p-th root. False, *g
// nil, when none is found: h is no r-th power, its end coefficients are
// nilpotent or not integers (over the integers), or the root of a unit is
// not unique (s divides p^L - 1).
// h: kept, reduced; *g: set. reads: polynames, mode flags, modulus, finf
bool poly_quotient_root(poly h, std::int32_t r, poly* g);

// *g := a polynomial with g(X^k) = h in the quotient ring, every variable
// raised to the power k and the relations folded in (k >= 2, modulo a
// prime only). False, *g nil, when there is none (or N > 512).
// h: kept, reduced; *g: set. reads: polynames, mode flags, modulus, finf
bool poly_quotient_shrink(poly h, std::int32_t k, poly* g);

}  // namespace tavrin
