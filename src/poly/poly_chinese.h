// Chinese remaindering of polynomial images in mixed-radix (Garner) form,
// the inverse of a product of primes modulo the current prime, and the
// division with remainder of numbers in the current mode.
//
// A value V known modulo the primes p0, p1, ..., pk is held as its
// mixed-radix digits d0, ..., dk (each a polynomial reduced modulo its
// prime): V = d0 + d1 p0 + d2 p0 p1 + ... + dk p0 ... p(k-1). Chinese
// evaluates that sum modulo a further prime in Horner form, starting from the
// most significant digit.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// A new polynomial: with c0, c1, ..., ck the coefficients (pcoef) of the
// nodes of val in list order and w0, w1, ..., wk the values of the limb list
// q: r := c0, then for i = 1 .. k, r := (r * wi + ci) mod modder; w0 is not
// used. The remainder is taken coefficientwise by mod_and_div (sign of the
// dividend; non-negative with pos_mod). val nil gives the zero
// polynomial. Big-integer mode (the digits' integers are in their limbs).
// val: kept; modder: kept, a constant (one leaf: the next prime); q: kept,
// at least as long as val; pt: the level of the digits.
// reads: pos_mod, multcut
poly Chinese(poly val, poly modder, numptr q, polypt pt);

// *r := *r mod d coefficientwise, in place, the remainders by mod_and_div
// (non-negative with pos_mod): zero leaves and emptied terms go, an
// exponent-0 term left over a bare leaf becomes that leaf; nil when every
// coefficient vanished. Big-integer mode.
// *r: changed in place; d: kept, not zero. reads: pos_mod
void poly_remainder_inplace(poly* r, imptr d);

// The inverse modulo modulus of the product of the values of the limb list
// h (each value reduced modulo modulus first, the product by modmult), by
// extended Euclid on (modulus, product), in 0 .. modulus - 1. When the
// product has no inverse (also when it is 0) "bad2: <product>" is printed
// and user error 85 is raised with quotsign; if that returns, the answer
// is 0.
// h: kept; reads: modulus, smallmodulus
std::int32_t inverse_prod(numptr h);
std::int32_t inverse_prod(numptr h, const Ring& ring);

// n4 := n div n2 and n3 := n mod n2 in the current mode:
//   floating: n4 := n / n2, n3 := 0.0;
//   word modes: truncating quotient and remainder of the words;
//   big integers: divide, the remainder negated when n2 < 0 (so it has n's
//   sign);
// with pos_mod, a negative remainder is raised by |n2| (word and big), so it
// lies in 0 .. |n2| - 1 whatever the divisor's sign.
// A zero n2 is user error 22 with token; if that returns: floating divides
// anyway (n / 0.0, remainder 0.0), word and big set n3 := 1 and leave n4.
// n: kept (may be n3 or n4); n2: kept (must not be n3 or n4); n3, n4:
// overwritten, distinct. reads: mode flags, pos_mod, token
void mod_and_div(imptr n, imptr n2, imptr n3, imptr n4);

}  // namespace tavrin
