// Division of dense arrays modulo a word prime: the polynomial-level exact
// division and remainder, and the in-array steps that the array GCDs are
// built from.
//
// The arrays, slices and shared arrays are those of dense_arrays.h. The
// in-array steps divide x by y in place: on return x holds the remainder and
// its degree, and *all_zeros tells whether the remainder is zero (a
// remainder the elimination brings to zero has degree -1 unless stated).
// Quotients go into a third array q of degree *qdeg. The divisor is non-zero
// with leading coefficient y[ydeg], inverted once per division.
//
// Each routine's word arithmetic bounds the modulus it serves:
//   onevar_one, onevar_one_div       signed 32-bit, multipliers in the
//                                    symmetric range; modulus below 46,340
//   onevar_array_div_mod,            unsigned 32-bit (y*(p - c) + x) mod p;
//   onevar_array_mod                 modulus at most 65,536, not char. 2
//   fastest_poly_div,                any word modulus (characteristic 2
//   simplest_div_no_q,               included)
//   word_array_mod
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// Quotient q[0 .. dn - dm] and remainder r[0 .. dm) of n (degree dn) by m
// (degree dm <= dn, m[dm] non-zero) modulo the prime p < 2^31 (residues in
// 0 .. p - 1, not characteristic 2), by Newton's iteration on the reversed
// divisor with transform products; returns the remainder's degree (-1 for
// zero; r untouched when dm = 0). q and r must not overlap n or m. Products
// longer than the longest transform (2^21 coefficients) are formed from
// pieces that fit it, so any degree keeps the transforms.
std::int32_t newton_array_divide(const std::int32_t* n, std::int32_t dn, const std::int32_t* m,
                                 std::int32_t dm, std::int32_t* q, std::int32_t* r, std::int32_t p);

// n: kept; m: kept; *q: freed, then set to n / m when m divides n exactly
// (the result true), left nil otherwise (false). n and m are one-variable
// lists over word residues with non-negative exponents, m not zero. Outside
// characteristic 2 the division runs on residue vectors (residue_divrem)
// for dividends above degree 15,000 (any degree) and wherever Newton's
// iteration pays (divisor and quotient both of dense_newton_degree or
// more); the rest on the shared arrays by elimination. In characteristic 2
// deg n is at most 25,000 (the array capacity), and dividends above degree
// 15,000 go to the divide-and-conquer division (with the divisor made monic
// for it).
// xx, yy, zz: overwritten (scratch); reads: modulus, smallmodulus, finf,
// mode flags, dense_newton_degree
bool fastest_poly_div(poly n, poly m, poly* q);
bool fastest_poly_div(poly n, poly m, poly* q, const Ring& ring);

// n: kept; m: kept (not zero); *q, *r (either may be nil): overwritten
// (either may be &n or &m) with the quotient and the remainder of n by m,
// for one-variable lists over residues with non-negative exponents, modulo
// a prime below 2^31 outside characteristic 2, at any degree: on residue
// vectors by dense_divrem (dense_modular.h: elimination, or Newton's
// iteration from dense_newton_degree on).
// reads: modulus, mode flags, dense_newton_degree, dense_transform_length
void residue_divrem(poly n, poly m, poly* q, poly* r);
void residue_divrem(poly n, poly m, poly* q, poly* r, const Ring& ring);

// Whether the division of a dividend of degree dn by a divisor of degree dm
// on residue vectors goes by Newton's iteration (divisor and quotient both
// of dense_newton_degree or more) rather than elimination.
// reads: dense_newton_degree
bool newton_division_pays(std::int64_t dn, std::int64_t dm);

// n: kept; m: kept (not zero); *r: overwritten (may be &n or &m) with the
// remainder of n divided by m.
// xx, yy: overwritten (scratch); reads: modulus, finf, mode flags
void simplest_div_no_q(poly n, poly m, poly* r);
void simplest_div_no_q(poly n, poly m, poly* r, const Ring& ring);

// x := x mod y in place for *xdeg = ydeg + 1: one two-term quotient
// q1 t + q0, eliminated in a single pass. A divisor of degree 0 takes the
// general elimination instead (it has no second coefficient to read).
// reads: modulus (below 46,340)
void onevar_one(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                bool* all_zeros);
void onevar_one(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                bool* all_zeros, const Ring& ring);

// As onevar_one, and q[0] := q0, q[1] := q1, *qdeg := 1.
void onevar_one_div(std::int32_t* x, const std::int32_t* y, std::int32_t* q, std::int32_t* xdeg,
                    std::int32_t ydeg, std::int32_t* qdeg, bool* all_zeros);
void onevar_one_div(std::int32_t* x, const std::int32_t* y, std::int32_t* q, std::int32_t* xdeg,
                    std::int32_t ydeg, std::int32_t* qdeg, bool* all_zeros, const Ring& ring);

// x := x mod y in place, q[0 .. *qdeg] := the quotient. When *xdeg < ydeg:
// *qdeg := 0, q[0] := 0, x unchanged, *all_zeros := x is the zero constant.
// reads: modulus (at most 65,536)
void onevar_array_div_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* q,
                          std::int32_t* xdeg, std::int32_t ydeg, std::int32_t* qdeg,
                          bool* all_zeros);
void onevar_array_div_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* q,
                          std::int32_t* xdeg, std::int32_t ydeg, std::int32_t* qdeg,
                          bool* all_zeros, const Ring& ring);

// x := x mod y in place. A non-zero constant y gives the zero remainder at
// once as *xdeg = 0, x[0] = 0; a zero constant y is reported.
// reads: modulus (at most 65,536)
void onevar_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                      bool* all_zeros);
void onevar_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                      bool* all_zeros, const Ring& ring);

// x := x mod y in place for any word modulus, characteristic 2 included:
// nothing when *xdeg < ydeg (*all_zeros false); otherwise *xdeg := the
// remainder's degree, or -1 with *all_zeros true when it is zero. y[ydeg]
// non-zero. reads: modulus, finf
void word_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                    bool* all_zeros);
void word_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                    bool* all_zeros, const Ring& ring);

// Splits x (degree *xb) at exponent m > 0: z := the part from t^m up,
// divided by t^m (degree *zb; 0 with z[0] = 0 when *xb < m); x keeps the
// part below t^m, *xb lowered past zero entries but not below 0. m = 0 is
// reported.
void onevar_split_poly(std::int32_t* x, std::int32_t* z, std::int32_t m, std::int32_t* xb,
                       std::int32_t* zb);

}  // namespace tavrin
