// Derivatives of polynomials with respect to one of their variables, and
// the substitution of a fraction for a variable.
//
// The k-th derivative of c x^e is F c x^(e-k) with the falling factorial
// F = e (e-1) ... (e-k+1), formed in the current mode: modulo a prime it is
// 0 as soon as one factor is (e mod modulus < k); in characteristic 2 only
// a first derivative of an odd power survives, with F = 1; floating and word
// modes take the long-double and the wrapped word product; big integers the
// exact product. Negative exponents (Laurent mode) have no zero factor.
// Terms whose derivative vanishes are removed and freed, an exponent-0 term
// left over a bare leaf becomes that leaf, and a polynomial left empty is
// the zero polynomial. An order below 1 leaves the polynomial unchanged.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *n := its degree-th derivative with respect to its main variable, in
// place. A factor of F above 268435455 in magnitude (big integers) is the
// internal error " outsized exponent in derivative" (nested command level),
// after which the exact product is formed anyway. A new exponent below the
// 32-bit range is the user error exponent_overflow_error, raised before
// anything changes.
// *n: changed in place; reads: mode flags, modulus, smallmodulus, finf
void poly_diff(poly* n, std::int32_t degree);

// The list poly_diff(&copy, degree) leaves in a copy of n, built fresh
// from n instead (first derivatives over one-limb integers by one small
// product a term); the same errors, raised before anything is built.
// n: kept; reads: as poly_diff
poly poly_derivative(poly n, std::int32_t degree);

// *p := its degree-th derivative with respect to the variable height levels
// down (1: its main variable, exactly poly_diff), in place: for height > 1
// every coefficient is differentiated with height - 1 and every leaf at
// this level (free of that variable) is removed.
// *p: changed in place; reads: as poly_diff
void general_poly_diff(poly* p, std::int32_t degree, std::int32_t height);

// *n / *nden := *n with the fraction *n2 / *d2 (d2 nil or *d2 nil: 1)
// substituted for the variable of level target (1: *n's main variable, pt
// the record of *n's level): by case_one when target <= source, else by
// case_two (gcd/gcd.h). *n2 and *d2 are given at *n's level, as values are
// held (source: the first level at which n2 is not a pad, 16384 for a
// constant; below target it is taken target - 1 levels down for case_one).
// *nden receives the denominator the substitution brings in (nil: 1), at
// *n's level; its old value is freed.
// *n: changed in place; *nden: replaced; *n2, *d2: kept.
// reads: mode flags, modulus, the relations of pt's levels
void actual_eval_poly(poly* n, poly* nden, poly* n2, poly* d2, std::int32_t target,
                      std::int32_t source, polypt pt);

}  // namespace tavrin
