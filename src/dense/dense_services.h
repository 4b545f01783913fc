// What the dense division uses of the polynomial division: the
// divide-and-conquer division that takes dividends too large for the
// quadratic array loop. Until the polynomial division provides it, a
// placeholder (not_yet_available.cpp) reports an internal error and leaves
// the results untouched.
#pragma once

#include "numbers/records.h"

namespace tavrin {

// *r, *qt := remainder and quotient of n by a monic m; n and m unchanged on
// return.
void fast_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt, bool from_basic);

}  // namespace tavrin
