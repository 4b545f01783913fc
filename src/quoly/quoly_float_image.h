// Floating images of exact values, and the exact values of floating ones.
//
// A floating image is a value of floating mode (flotemode, which comes with
// lintmode): a number holds its value in `flote` only (no limbs, lint 0); a
// polynomial has the shape of its exact original with every leaf held so.
// The image of a rational number a/b is the number a / b; the image of a
// polynomial over a number denominator d is the polynomial whose
// coefficients are divided by d. Images are built and read back in
// big-integer arithmetic, so the exact values are never looked at in
// floating mode; an image holds no limbs, so it may be freed in any mode.
//
// Every finite long double is a dyadic rational m * 2^e: a floating result
// comes back as the exact rational equal to it (its coefficients equal to
// theirs), in the normal form of big-integer arithmetic.
#pragma once

#include "core/records.h"

namespace tavrin {

// The value of the big integer x (its limbs) as a long double; x kept.
long double big_to_real(imptr x);
// a / b of two big integers (b not 0) as a long double; both kept.
long double big_ratio_to_real(imptr a, imptr b);

// Whether q has a floating image: nil, a number, a rational number, or a
// polynomial without denominator or over a number one. q kept.
bool has_float_image(quoly q);

// *img := the floating image of q (has_float_image(q); nil gives nil).
// q: kept; *img: replaced (it must not be q).
// reads: nothing of the mode (big-integer arithmetic is assumed)
void quoly_float_image(quoly q, quolyptr img);

// *n := x as an exact rational: an integer, or an odd integer over a power
// of 2. x must be finite. *n: replaced. Big-integer arithmetic.
void real_to_exact(long double x, quolyptr n);

// *q, a floating image (a number, a polynomial, or a quotient of two
// polynomials, with long doubles at the leaves), := its exact value: each
// polynomial scaled by the least power of 2 that makes its leaves integers,
// and the value formed by exact division (normal form). A leaf that is not
// finite: *q := 0 and user error 22 with the current token.
// *q: changed (the image freed); reads: laurent, polynames, token
void quoly_from_float_image(quolyptr q);

}  // namespace tavrin
