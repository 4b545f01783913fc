// |det S| of a small square integer matrix from det S modulo word primes,
// as many as Hadamard's bound needs, joined by Garner's mixed radix
// (numbers/garner.h): each image is one elimination of k^3 / 3 word steps,
// with no conversion of S into cells. For the sides and entries of the
// normal forms' leading blocks, where the determinant methods' fixed costs
// (scaled_solve.h: abs_int_determinant) dominate.
#pragma once

#include "matrix/zmatrix.h"

namespace tavrin {

// |det s| for the square s (s: kept). Exact: the primes' product exceeds
// twice the Hadamard bound of s (by rows, from above).
ZInt crt_abs_determinant(const ZMatrix& s);

}  // namespace tavrin
