// Whether the leading coefficients of a polynomial are invertible in the
// current coefficient ring.
//
// A polynomial is a term list in the variable of its level (exponents
// strictly decreasing, a number leaf at the end being the constant term);
// the coefficients of the top list of a polynomial at level `depth` lie at
// level depth + 1. A pad term (exponent 0, not a number) wraps a coefficient
// that does not involve its level's variable. The levels from `field_depth`
// down form the coefficient field (none when field_depth is 0).
#pragma once

#include "core/records.h"

namespace tavrin {

// False when test_depth = depth + 1 or u is nil. Otherwise true when some
// term of u has a polynomial coefficient whose first term has a non-zero
// exponent, or is a single pad term for which nogood(coefficient, depth + 1,
// test_depth) holds.
// u: kept
bool nogood(poly u, std::int16_t depth, std::int16_t test_depth);

// True when field_depth = depth + 1 or u is nil; otherwise true exactly
// when no coefficient of u is flagged by nogood with test_depth field_depth.
// u: kept; reads: field_depth
bool all_coefs_invrtble(poly u, std::int16_t depth);

// all_coefs_invrtble of u and then of v.
// u, v: kept; reads: field_depth
bool all_coefs_invrtble_both(poly u, poly v, std::int16_t depth);

// The coefficient c of q's first term (q's number when q is a number leaf)
// is invertible: a number when field_depth > 0, or in modular mode with
// mod_is_prime; a polynomial when field_depth != 0 and the level reached by
// following its first terms down through pad terms (depth + 1 for c, plus
// one per pad) is at least field_depth.
// q: kept; reads: field_depth, modularmode, mod_is_prime
bool first_coef_invrtble(poly q, std::int16_t depth);

// False when q is a number. Otherwise follows q's first coefficients down
// the level records from pt, one record per level: true at the first record
// whose depth is at least field_depth, false as soon as the coefficient
// reached is a number (or the records run out).
// q: kept; reads: field_depth
bool invertible_coef(poly q, polypt pt);

}  // namespace tavrin
