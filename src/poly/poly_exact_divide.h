// Division that is known or expected to leave no remainder.
//
// Operands are the recursive sparse polynomials of poly_repr.h. Diagnostic
// codes: a routine that takes `xx` prints it with its internal errors so
// that the calling site can be found; poly_quot passes xx - 1001 to its
// recursive calls. Codes used inside the polynomial arithmetic: -31
// (basic_poly_divide), -37 (exact division), -151 (poly_div_no_q).
#pragma once

#include <cstdint>

#include "numbers/records.h"

namespace tavrin {

// *p := n / m for a constant m, coefficient by coefficient, each number
// divided by the rule of quot (poly_divide.h): floating quotient, truncated
// word quotient, modular product by the inverse (user errors 22 and 85 with
// quotsign), truncated big-integer quotient.
// - m = 1: a copy of n.
// - m not a constant: prints "code <xx>", the internal error "divisor not
//   number in poly quot." (nested level), "  modularmode" in word mode and
//   a line end; the result is then a copy of n.
// - A number of n's top list whose quotient is 0 prints "code <xx>" and is
//   the internal error "zero node t." (nested level); the leaf is dropped.
//   A term whose coefficient divides to 0 is dropped without a report.
// n, m: kept; *p: overwritten (may be &n). reads: mode flags, modulus, finf
void poly_quot(poly n, poly m, poly* p, std::int32_t xx);

}  // namespace tavrin
