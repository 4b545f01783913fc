// The extended GCD: of two integers, and of two one-variable polynomials
// (or a number and a polynomial) modulo a prime, with the cofactors s, t of
// s*a + t*b = g; and the bodies of the built-in function that assign the
// cofactors to the two variables named next in the call.
//
// Cofactors come from plain extended Euclid, a cofactor row (s, t) kept
// beside each value (value = s*a0 + t*b0): a division step replaces the
// dividend by its remainder and its row by (its row) - q*(the divisor's
// row), then the two exchange places, rows included. The last divisor and
// its row are the answer. The cofactors are those of this sequence (they
// are not unique): egcd(12, -18) gives 6 = (-1)*12 + (-1)*(-18). Over a
// prime field the polynomials' cofactors are those of least degree, and
// long ones take the same remainder sequence on residue vectors by the
// half-GCD (dense_xgcd, from extended_gcd_dense_degree); in GF(2^8) and
// GF(2^16) on element vectors (dense_char2_xgcd, from
// char2_vector_degree).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// ---- The computations ----------------------------------------------------------------------
// g := gcd(a, b) >= 0 and s, t with s*a + t*b = g, for big integers: the
// absolute values reduced by Euclid from the smaller (the first when
// equal); gcd(0, b) = |b| with (0, +-1), gcd(0, 0) = 0 with (1, 0).
// From xgcd_hgcd_limbs limbs of the longer operand (both non-zero) the
// same cofactors come from half_gcd_cofactors (numbers/integer_gcd.h).
// a, b: kept; g, s, t: overwritten (headers; may not be a or b).
// Big-integer arithmetic whatever the mode flags. reads: xgcd_hgcd_limbs
void extended_number_gcd(imptr a, imptr b, imptr g, imptr s, imptr t);
// The same by Euclid's steps alone, whatever the lengths (the base case
// and the oracle of the half-GCD route).
void euclid_number_gcd(imptr a, imptr b, imptr g, imptr s, imptr t);

// *g := the monic GCD of n and m modulo a prime, *s, *t := cofactors with
// s*n + t*m = g (one variable each, after the pads common to both; g, s, t
// wrapped back in those pads). A zero m gives n made monic with s = 1/lc,
// t = 0 (and the same with the roles exchanged); a non-zero constant m
// gives 1 with s = 0, t = 1/m. Errors (with token), after which nothing is
// written and the answer is false: 198 a negative exponent in Laurent mode;
// 284 outside modular arithmetic; 349 arguments in different variables, or
// not of one variable; 348 pads reaching the field levels.
// n, m: kept; *g, *s, *t: overwritten. reads: modulus, finf, mode flags,
// laurent, field_depth, polynames
bool extended_poly_gcd(poly n, poly m, poly* g, poly* s, poly* t);
// The same in `ring` (the ring in force), read instead of the mode globals.
bool extended_poly_gcd(poly n, poly m, poly* g, poly* s, poly* t, const Ring& ring);

// ---- The built-in's bodies ------------------------------------------------------------------
// Hands the two cofactors to the variables named next in the built-in call:
// set_quotient(*s, inf, flag, 202, ','), the scanner's next token, then
// set_quotient(*t, inf, flag, 1, ')'); both values are taken over (*s, *t
// := nil). inf is the input stream of the call, the scanner's textptr
// passed through untouched (gcd/ sits below the scanner), *flag the
// stored-token cursor. The array folder installs the real one at start-up
// (install_arrays); until then the default (gcd/cofactor_hook.cpp) reports
// "set_quotient not available" (nested level) and frees the two values.
using cofactor_assigner = void (*)(quoly* s, quoly* t, void* inf, nameptr* flag);
extern cofactor_assigner assign_cofactors;

// *n := gcd of the integer values *n and *m (non-negative); the cofactors,
// for *n's and *m's original values in that order, go to assign_cofactors.
// In word or floating arithmetic error 62 (348 in modular arithmetic) with
// token, and nothing changes.
// *n: overwritten; *m: kept
void egcd_nums(quolyptr n, quolyptr m, void* inf, nameptr* flag);

// *gd := the monic GCD of the polynomials n and m (extended_poly_gcd); the
// cofactors of n and m go to assign_cofactors, in the order (t, s) when
// flip. After an error of extended_poly_gcd nothing is assigned and *gd is
// unchanged.
// n, m: kept; *gd: overwritten
void egcd_polys(poly n, poly m, poly* gd, void* inf, nameptr* flag, bool flip);

// *n (a number value c) := the GCD of c and the polynomial numerator of *m,
// as egcd_polys(numerator of *m, c, .., flip) computes it (c is borrowed,
// not copied): 1 for c non-zero, with cofactors 0 (polynomial) and 1/c
// (number); the polynomial made monic for c = 0, with cofactors 1/lc and 0.
// The cofactors go out in the order (number, polynomial) when flip, else
// (polynomial, number). *n becomes the value of the GCD (a number value when
// it is constant).
// *n: overwritten; *m: kept
void egcd_num_poly(quolyptr n, quolyptr m, void* inf, nameptr* flag, bool flip);

}  // namespace tavrin
