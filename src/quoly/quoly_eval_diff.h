// Total evaluation of polynomials at values, and derivatives of values.
//
// The values substituted come as a chain of values linked through next: the
// first for the polynomial's top variable, the next one level down, and so
// on; a nil chain substitutes nothing further. level counts the levels
// above the polynomial (0 at the top; its variable is at depth level + 1);
// skip is the number of the current and following levels left as
// variables, which take no value from the chain.
//
// Evaluation is Horner's rule over the term list with one product per gap
// in the exponents and a power for gaps above 1, so a sparse polynomial of
// high degree costs one power per gap. A trailing negative exponent
// (Laurent mode) divides by the power of the value. Progress lines ("total
// eval, counting to ") go through dumpitt when verbose and windy are on.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *n := q with the values of the chain arg substituted (a new value in
// normal form); levels without a value stay, padded to their depth.
// q, arg: kept; *n: overwritten. reads: mode flags, polynames, laurent,
// verbose, windy
void tot_eval_poly(poly q, quoly arg, quolyptr n, std::int16_t level, std::int16_t skip);

// As tot_eval_poly for multilinear q in characteristic 2 with values 0 and
// 1 (words); count is the number of levels from this one down that take
// values. When skip is 0 and every remaining level takes a value the
// result is computed in words (tot_eval_poly2_fast).
void tot_eval_poly2(poly q, quoly arg, quolyptr n, std::int16_t level, std::int16_t skip,
                    std::int32_t count);
// *n := the value (a field word) of multilinear q when every level takes a
// value; terms are summed by exclusive or, the sum of every field of
// characteristic 2.
void tot_eval_poly2_fast(poly q, quoly arg, std::int32_t* n);

// *q := its derivative in the variable at depth height, in place (quotient
// rule with the GCD of the denominator and its derivative). A zero
// denominator after it is user error 22 with quotsign, after which *q is 1.
// reads: mode flags, polynames, laurent, quotsign
void quoly_differen_once(quolyptr q, std::int16_t height);
// *n := its degree-th derivative in the variable at depth height, in
// place (degree <= 0: unchanged).
void differentiate(quolyptr n, std::int16_t height, std::int32_t degree);
// *out := the value differentiate leaves in a copy of v: for a polynomial,
// or one over a constant, in its main variable its derivative is built
// from v's numerator (poly_derivative) instead of a copy.
// v: kept; *out: overwritten (must not hold v)
void derivative_of(quoly v, std::int16_t height, std::int32_t degree, quolyptr out);

}  // namespace tavrin
