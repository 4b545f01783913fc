// The coefficient of a power of one variable in a polynomial.
//
// Operands are the recursive sparse polynomials of poly_repr.h. Levels are
// counted from the polynomial's own top list (height 0: its main variable).
// The coefficient of v^e is a polynomial over the same levels as n in which
// v no longer occurs: its lists at v's level are pads, and a pad over a
// single constant leaf is that leaf.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *s := the coefficient of v^expo in n, v the variable height levels below
// n's top list. Height 0: the node of exponent expo of n's top list (the
// list is searched downward and stops at the first exponent not above
// expo), copied alone with exponent 0 (a pad over its coefficient, or that
// coefficient when it is a number leaf); none: 0. Height >= 1: the same in
// every coefficient, each non-zero result kept at its term's exponent; a
// constant leaf of a list above v's level is kept only when zeroexp (it is
// the v^0 part of that list). An empty result is 0.
// n: kept; *s: overwritten (may be &n). reads: mode flags
void extract_coef(poly n, poly* s, std::int16_t height, std::int32_t expo, bool zeroexp);

}  // namespace tavrin
