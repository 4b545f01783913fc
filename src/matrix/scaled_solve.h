// Exact integer solves scaled by a determinant, and the absolute value of
// the determinant they take, for the normal forms that work modulo a
// determinant.
#pragma once

#include "numbers/zint.h"
#include "matrix/zmatrix.h"

namespace tavrin {

// |det S| of the square integer matrix S: the divisor route when its
// entries allow it, else the images of the word primes (whose verbose lines
// it then prints).
ZInt abs_int_determinant(const ZMatrix& s);

// X := d S^-1 V, exact, for the nonsingular n x n integer matrix S, the n x
// k integer matrix V and d = |det S| (X is integral: d S^-1 = +-adj S). By
// p-adic lifting from one LU modulo a word prime when the entries are small,
// else from images modulo word primes.
ZMatrix scaled_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d);

// *out := d S^-1 (the adjugate up to sign) for the nonsingular n x n integer
// matrix S and d = |det S|, by the p-adic lifting of scaled_solve over the
// columns of the identity. False, nothing to use, when S's entries are too
// long for the lifting (2^24 and beyond), S is singular modulo the lifting
// primes tried, d is 0 or S is empty.
bool scaled_inverse(const ZMatrix& s, const ZInt& d, ZMatrix* out);

// X := S^-1 V over the rationals as num / den (den > 0, num integral), for
// the nonsingular n x n integer matrix S and the n x k integer matrix V:
// by p-adic lifting from one LU modulo a word prime, tried by rational
// reconstruction as the digits come (after rational_solve_first_bits, then
// at twice as many, up to the count that makes it certain), and proven by
// the exact product S num = den V (by residues modulo enough primes). No determinant
// is needed, and the lifting stops near the size of the answer. False when
// the entries are too long for the lifting (2^24 and beyond) or S is
// singular modulo the lifting primes tried: nothing to use.
bool rational_solve(const ZMatrix& s, const ZMatrix& v, ZMatrix* num, ZInt* den);

}  // namespace tavrin
