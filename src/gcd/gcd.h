// Polynomial GCDs: the driver and the engines that the polynomial
// arithmetic calls.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *r := the GCD of u and v over the level pt, normalised; with usave and
// vsave true u and v are left unchanged.
void polygcd(poly u, poly v, poly* r, bool leave_early, bool do_fast, bool allcons, polypt pt,
             bool usave, bool vsave, bool canreset);

// *p := the GCD of the one-variable polynomials n and m over the current
// field (monic when need_monic); n and m are left unchanged.
void basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt);

// Reduces (*u0, *u1) in place by term-list half-GCD steps until deg *u1 falls
// below half of deg *u0; the four cofactor cells are filled when needmult.
void emgcd_full(poly* u0, poly* u1, poly* w0, poly* v0, poly* w1, poly* v1, bool needmult);

// *p := the GCD of a0 and a1 by half-GCD and division steps; with savea01
// false a0 and a1 are used up.
void emgcd_poly(poly a0, poly a1, poly* p, polypt pt, bool savea01);

// The fraction *p / *pden with n2 / d2 substituted for its main variable
// (level target), in place; n2 and d2 are left unchanged.
void case_one(poly* p, poly* pden, std::int16_t target, poly n2, poly d2, polypt pol);

// The same for the variable at level target below the fraction's own level
// source.
void case_two(poly* p, poly* pden, std::int32_t target, std::int32_t source, poly n2, poly d2,
              polypt pol);

// The 1-based index of a prime of the table prme (entries 1 .. prmesize, a
// prime being the value of its number's first limb) that divides neither
// the numeric leading coefficient of x nor that of y (leading_coef, read
// from the limbs), scanning upward from prmesize - buffer - (rand_integer2()
// mod rand_mod), at least 1; prmesize + 1 when none qualifies.
// x, y: kept; rand_mod >= 1; writes: random_ext2
std::int16_t select_prime(poly x, poly y, std::int16_t buffer, std::int16_t rand_mod,
                          std::int16_t prmesize, imptr* prme);

}  // namespace tavrin
