// Division of polynomials with remainder and pseudo-division.
//
// Operands are the recursive sparse polynomials of poly_repr.h over the level
// pp of their top variable. Results come back through the cells; unless a
// contract says otherwise a cell's previous value is freed and replaced.
// Operands are left unchanged (a divisor's tail may be negated in place
// during the call and is always restored).
#pragma once

#include "numbers/records.h"

namespace tavrin {

// *r := the pseudo-remainder of n by m: with want_Knuth the multiplier is
// c^(deg n - deg m + 1), c the leading coefficient of m; without it c^s, s
// the number of reduction steps made. deg n < deg m: *r := a copy of n. A
// divisor of degree below 1 reports "bad m^.exp in pseudo div no q: " and
// its degree, and the work goes on.
// n: kept; m: kept; *r: replaced
void pseudo_div_no_q(poly n, poly m, poly* r, polypt pp, bool want_Knuth);

// *q, *r := quotient and remainder of n by m when m's leading coefficient is
// invertible (a number, or an element of the field of modded-out levels
// below pp).
// n: kept; m: kept; *q, *r: replaced
void field_coef_poly_divide(poly n, poly m, polypt pp, poly* q, poly* r);

// As field_coef_poly_divide in rational arithmetic, where the inverse may
// carry a number denominator: *p * n = *q * m + *r with *p a number (1 when
// no denominator arose).
// n: kept; m: kept; *q, *r, *p: replaced
void pseudo_field_coef_poly_div(poly n, poly m, polypt pp, poly* q, poly* r, poly* p);

}  // namespace tavrin
