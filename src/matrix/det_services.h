// The determinant and inverse router (defined in det/), which the matrix powers call for a
// negative exponent. It is defined with the determinant methods; until they
// land, its method entries report that they are missing.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "gcd/gcd_upcalls.h"

namespace tavrin {

// invert false: *n (preset to 1 by the caller) receives the determinant of
// the m-by-m matrix (the sparse *spar when not nil, else the dense ar);
// invert true: its inverse goes into outar (equal: the same array as ar), or
// for a sparse matrix into *spar. ar_free: the input is the caller's to give
// up; oar_free: outar's cells hold values to free as they are overwritten.
// fct: nil or a known factor of the determinant; the_degree, the_degree2,
// the_power: -1 when absent; really, numprimes: false and 0 when absent.
// mat_invert (det/router.h): declared in gcd/gcd_upcalls.h (the p-th root tables invert a
// residue matrix with it).

}  // namespace tavrin
