// Dense one-variable polynomials modulo a word prime: the array form, its
// conversions to and from term lists, slice sums and differences, and the
// schoolbook product of slices.
//
// Representation.
// - gcd_array: 25,001 residues 0 .. modulus - 1, entry i the coefficient of
//   t^i. The degree is never stored in the array: every routine takes it and
//   gives it back separately. Capacity: degree 25,000 (fast_gcd_size).
// - gcd2_array: 701 rows of 701 residues, row i the coefficient of u^i (u the
//   main variable), each row a one-variable polynomial of degree <= 700 in the
//   lower variable. It travels with an array of 701 row degrees, -1 marking a
//   zero row (whose entries are then undefined).
// - A slice [a, b] of an array x is sum x[i]*t^i for i = a .. b at its own
//   exponents (not shifted down); its span is b - a. A result slice is
//   written at the exponents where it belongs: the product of [xa, xb] and
//   [ya, yb] fills xa + ya .. xb + yb.
// - Result degrees are trimmed: from the highest index written, step down
//   while the entry is 0, not below the low end; an all-zero result has
//   degree (low end - 1). Entries above a returned degree are left as they
//   stand.
// - Term lists handed to the conversions are one-variable lists over word
//   residues (each term's pcoef a single leaf whose lint is the residue, the
//   constant term a trailing leaf), or two-variable lists whose coefficients
//   are such lists.
//
// Word arithmetic: sums and differences are exact residues in every mode (in
// characteristic 2 exclusive or); the negation of y is 0 for 0, else
// modulus - y (y itself in characteristic 2).
//
// Failed consistency checks print a diagnostic line on standard output and
// report an internal error with a nested command level; when that level is
// left the routine goes on with its data as they stand.
//
// The shared arrays xx, yy, zz, x2, y2, z2 belong to whichever array routine
// is running; a caller that keeps data in them must not call a routine that
// fills them until it has finished with that data.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

constexpr std::int32_t gcd_array_size = 25001;
constexpr std::int32_t gcd1_array_size = 701;

using gcd_array = std::int32_t[gcd_array_size];
using gcd_ptr = std::int32_t*;
using gcd1_array = std::int32_t[gcd1_array_size];
using gcd2_array = gcd1_array[gcd1_array_size];
using gcd2_ptr = gcd1_array*;

// The shared arrays, allocated once by allocate_dense_arrays and never freed.
extern gcd_ptr xx;
extern gcd_ptr yy;
extern gcd_ptr zz;
extern gcd2_ptr x2;
extern gcd2_ptr y2;
extern gcd2_ptr z2;

// Allocates the six shared arrays on the heap; later calls do nothing.
// Called by start-up (initialize) and by the test programs.
void allocate_dense_arrays();

// ---- Conversions ----------------------------------------------------------
// r: kept (a one-variable list over residues); x[0 .. *deg]: overwritten with
// r's residues, 0 for absent exponents; *deg: set to the degree of r.
void fill_poly1_array(poly r, std::int32_t* x, std::int32_t* deg);

// r: kept (a two-variable list). For each main exponent i from r's degree
// down to 0: row x[i] as by fill_poly1_array and deg[i] its degree, or
// deg[i] := -1 for an absent exponent (row untouched).
void fill_poly2_array(poly r, gcd1_array* x, std::int32_t* deg);

// x: kept; *p: replaced by sum x[i]*t^i for i = 0 .. xdeg, x[xdeg] taken as
// the leading coefficient without test (xdeg 0 with x[0] = 0 is reported and
// gives the zero constant). reads: mode flags
void array_to_poly(const std::int32_t* x, std::int32_t xdeg, poly* p);

// x, deg: kept; *p: replaced by the two-variable polynomial of main degree
// xdeg whose coefficient of u^i is row x[i] of degree deg[i] (-1: no term).
// reads: mode flags
void array_to_poly2(const gcd1_array* x, std::int32_t xdeg, const std::int32_t* deg, poly* p);

// ---- Sums and differences of slices ----------------------------------------
// Parameters x, y, z are any arrays of the gcd_array kind (the shared arrays,
// work arrays, rows of a table). Each routine writes its result slice into z
// and sets *deg to the trimmed degree. z may be x itself, never y.
// reads: modulus, finf

// [xa, xb] of x plus [ya, yb] of y; xa <= ya. z on [xa, max(xb, yb)].
void onevar_add(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t ya, std::int32_t yb, std::int32_t* deg);
void onevar_add(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t ya, std::int32_t yb, std::int32_t* deg,
                const Ring& ring);
// [xa, xb] of x plus ([xa, yb] of y)*t^n: z[i] = x[i] + y[i - n].
// z on [xa, max(xb, yb + n)].
void onevar_add_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg);
void onevar_add_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg, const Ring& ring);
// [xa, xb] of x minus [xa, yb] of y. z on [xa, max(xb, yb)].
void onevar_sub(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t yb, std::int32_t* deg);
void onevar_sub(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t yb, std::int32_t* deg, const Ring& ring);
// [xa, xb] of x minus ([xa + n, yb] of y)*t^-n: z[i] = x[i] - y[i + n].
// z on [xa, max(xb, yb - n)].
void onevar_sub_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg);
void onevar_sub_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg, const Ring& ring);
// The Karatsuba operand sum: on entry *deg is the top of the lower half
// A0 = [xa, *deg] of x; z := A0 + ([xa + n, xb] of x)*t^-n, that is
// z[i] = x[i] + x[i + n].
void onevar_self_add(const std::int32_t* x, std::int32_t* z, std::int32_t xa, std::int32_t xb,
                     std::int32_t n, std::int32_t* deg);
void onevar_self_add(const std::int32_t* x, std::int32_t* z, std::int32_t xa, std::int32_t xb,
                     std::int32_t n, std::int32_t* deg, const Ring& ring);

// ---- Schoolbook products ------------------------------------------------------
// z on [xa + ya, xb + yb] := [xa, xb] of x times [ya, yb] of y; x[xb] and
// y[yb] non-zero (checked). z must be neither x nor y. Outside
// characteristic 2 the terms of one coefficient are summed unreduced (in 64
// bits for moduli up to 65535, in 128 bits above) and the sum reduced once;
// in characteristic 2 each term is a field product, summed by exclusive or.
// reads: modulus, finf
void onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                 std::int32_t xb, std::int32_t ya, std::int32_t yb);
void onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                 std::int32_t xb, std::int32_t ya, std::int32_t yb, const Ring& ring);

// As onevar_mult, every term through modmult and the sum through mod_add,
// without the checks.
void slower_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                        std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb);

// za[0 .. xexp + yexp] := the product of the whole arrays xa (degree xexp)
// and ya (degree yexp), row by row.
void simple_onevar_mult(const std::int32_t* xa, const std::int32_t* ya, std::int32_t* za,
                        std::int32_t xexp, std::int32_t yexp);

}  // namespace tavrin
