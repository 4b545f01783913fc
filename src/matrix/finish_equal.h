// The ending of the built-in that compares two values (or their numerators
// or denominators) for equality or for being each other's negative.
#pragma once

#include "arrays/det_upcalls.h"

namespace tavrin {

// *n := 1 when the chosen part of x equals the chosen part of y (index 17)
// or is its negative (any other index), else 0. The part of x is x itself,
// its numerator (want[0]) or its denominator (want[1]); of y likewise with
// want[2] and want[3]. A number's numerator is itself and its denominator
// 1; a missing denominator is 1.
// x, y: kept; *n: overwritten
// finish_equal(index, n, x, y, want): declared in arrays/det_upcalls.h.

}  // namespace tavrin
