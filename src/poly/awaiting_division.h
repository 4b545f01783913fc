// The division routines that exact and trial division call and that the
// polynomial division provides. Until it is merged, awaiting_division.cpp
// holds placeholders that report "<name> not available".
#pragma once

#include <cstdint>

#include "numbers/records.h"

namespace tavrin {

// n3 := n1 / n2 in the current mode (modular: times the inverse).
void quot(imptr n1, imptr n2, imptr n3);

// *p := n / m for a constant m, coefficient by coefficient.
void poly_quot(poly n, poly m, poly* p, std::int32_t xx);

// *q, *r := quotient and remainder of n by m (m's leading coefficient a
// number).
void basic_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall);

// *r := the remainder of n by m, one variable, modular or floating.
void poly_div_no_q(poly n, poly m, poly* r);

}  // namespace tavrin
