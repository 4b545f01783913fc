// Exact integer solves scaled by a determinant, and the absolute value of
// the determinant they take, for the normal forms that work modulo a
// determinant.
#pragma once

#include "matrix/zmatrix.h"
#include "numbers/zint.h"

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

}  // namespace tavrin
