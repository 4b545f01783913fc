// Rows of residues modulo a prime p < 2^26 held in doubles, each an integer
// exact in its double: the row operations of the p-adic lifting in the
// scaled solves (scaled_solve.h), as loops the compiler vectorises (one
// clone per instruction set), each entry reduced by the kit's branch-free
// reduce_double_floor (numbers/word_field.h).
#pragma once

#include <cstddef>

namespace tavrin {

// dst[j] := src[j] mod p in [0, p), |src[j]| < 2^52; dst: overwritten (may
// be src); inv_p = 1 / p.
void residue_row(double* dst, const double* src, std::size_t n, double p, double inv_p);

// dst[j] := (dst[j] - src[j]) mod p for dst[j] in [0, p) and |src[j]| <
// 2^52; src: kept.
void sub_residue_row(double* dst, const double* src, std::size_t n, double p, double inv_p);

// dst[j] := (src[j] f) mod p for src[j], f in [0, p); dst may be src.
void scale_residue_row(double* dst, const double* src, double f, std::size_t n, double p,
                       double inv_p);

// The sum of a[j] b[j] over j < n, summed in several lanes: exact when
// every partial sum is an integer below 2^53 in absolute value (the
// products of residues below p^2, summed in chunks of 2^52 / p^2).
double dot_row(const double* a, const double* b, std::size_t n);

// out[j] := the sum of coef[c] x[c b + j] over c < count, for j < b: a
// row of coefficients times a block of rows, exact under the same bound
// as dot_row; out: overwritten.
void block_dot(double* out, const double* coef, const double* x, std::size_t count, std::size_t b);

// r[j] := round(r[j] / p) + t v[j]: the residual's step down by p (r[j]
// exactly divisible by p), the next digit's right-hand side joined; v: kept.
void shift_residual_row(double* r, const double* v, double t, std::size_t n, double inv_p);

}  // namespace tavrin
