// Products of dense arrays modulo a word prime: the recursive Karatsuba
// product of two slices, and the drivers through which polynomial
// multiplication reaches the arrays (one variable on xx / yy / zz, two
// variables on x2 / y2 / z2).
//
// The slice conventions, trimmed degrees and shared arrays are those of
// dense_arrays.h. From a shorter span of dense_ntt_span on (outside
// characteristic 2) the product is formed by number-theoretic transforms
// (dense_ntt.cpp). The Karatsuba product falls back to the schoolbook product
// when either span is below poly_cutoff or the longer operand is more than 15
// times the shorter; operands of span ratio 2 or more are cut into chunks as
// long as the shorter one, one chunk per level. Each recursion level has
// three work arrays of 25,001 entries, kept on the heap by depth: allocated
// the first time that depth is reached and reused for the rest of the run.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "dense/dense_arrays.h"

namespace tavrin {

// z on [xa + ya, xb + yb] := [xa, xb] of x times [ya, yb] of y (any
// arrays, z neither x nor y); x[xb] and y[yb] non-zero. Low zero entries
// of either slice are skipped and the result's entries below them zeroed.
// reads: poly_cutoff, dense_ntt_span, modulus, finf
void fast_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                            std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb);
void fast_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                            std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                            const Ring& ring);

// When x[xb] and y[yb] are both non-zero: fast_array_onevar_mult and the
// result xb + yb; otherwise z[0] := 0 and the result 0.
std::int32_t fast_0_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                                      std::int32_t xa, std::int32_t xb, std::int32_t ya,
                                      std::int32_t yb);
std::int32_t fast_0_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                                      std::int32_t xa, std::int32_t xb, std::int32_t ya,
                                      std::int32_t yb, const Ring& ring);

// n: kept; m: kept; *p: overwritten (may be &n or &m) with n*m, for
// one-variable polynomials over word residues (neither constant). The
// Karatsuba product when both degrees exceed poly_cutoff, else the schoolbook
// product from the lowest non-zero coefficients. A zero leading coefficient
// prints "BAD 4" and the product goes on.
// xx, yy, zz: overwritten (scratch); reads: poly_cutoff, modulus, finf, mode flags
void k_fastest_poly_mult(poly n, poly m, poly* p);

// As k_fastest_poly_mult, always the schoolbook product, without "BAD 4".
void fastest_poly_mult(poly n, poly m, poly* p);

// As fastest_poly_mult with the row-by-row product simple_onevar_mult.
void faster_poly_mult(poly n, poly m, poly* p);

// n: kept; m: kept; *p: overwritten (may be &n or &m) with n*m for
// two-variable polynomials over word residues whose main degrees sum to at
// most 700 and whose largest coefficient degrees sum to at most 700; each
// product row is formed by fast_array_onevar_mult and added into z2.
// x2, y2, z2: overwritten (scratch); reads: poly_cutoff, modulus, finf, mode flags
void fastest_poly2_mult(poly n, poly m, poly* p);

}  // namespace tavrin
