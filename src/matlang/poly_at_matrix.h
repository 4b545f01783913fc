// A polynomial at a square matrix: p # [A] gives p(A).
//
// p is read as a polynomial in its top variable x; its coefficients
// (numbers, or polynomials in the lower variables) act as scalar multiples
// of the identity. p(A) is formed by Horner's scheme on matrices over the
// gaps between p's exponents: B := c1*A^(e1-e2), then for each later term
// B := B + c*I and B := B*A^(gap), so a power of A is formed only where a
// gap is wider than one. A negative exponent (Laurent mode) inverts A.
#pragma once

#include "core/records.h"
#include "toplevel/scanner.h"
#include "matrix/mat_value.h"

namespace tavrin {

// The matrix operand that follows "#" (the current token, "[" or another
// matrix factor) is read into v, and v := nq(A), owned. nq is kept (the
// caller releases it). nq with a denominator (not a number; in lintmode or
// not a rational number) is error 186 before the matrix is read; a matrix
// that is not square is error 174; no work array left is error 88. The
// errors are reported at "#". v's work array is the caller's.
void quoly_at_matrix(textptr inf, quoly nq, MatValue& v, nameptr* flag);

// v := p(A) for the square matrix A that v holds (dense or sparse, borrowed
// or owned; v.rows() rows); the result is owned, of v's form (a sparse A
// gives a sparse p(A)). p is kept and must have no denominator (checked by
// quoly_at_matrix). Takes up to two work arrays from the pool (error 88 at
// "#"). This is the entry for a caller that already holds the matrix, e.g.
// MatValue a(work.get()); a.spar = frames; a.arr_free = false;
// a.set_shape(r, r); poly_at_matrix(p, a);
void poly_at_matrix(quoly p, MatValue& v);

}  // namespace tavrin
