// Node-level helpers of the polynomial representation (poly/poly_repr.h
// describes it) that the array, polynomial and GCD code all use: the zero
// test of a constant, the leading leaf, pad levels and the leading
// coefficient over the coefficient field. They look only at nodes, level
// records and the mode flags, so they live below every folder that walks
// polynomials; poly/poly_repr.h and poly/poly_measures.h include this header.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// All kept. p is one leaf (no next) of value 0 (floating 0.0, word 0, first
// limb 0). reads: mode flags
bool poly_iszero(poly p);

// The leaf reached by following first coefficients down (p for a leaf); no copy.
poly leading_coef(poly p);

// *r: changed in place: wrapped in h >= 0 pads, so it sits h levels lower.
// *r is not looked at (wrapping a constant is the caller's error).
void add_pad(poly* r, std::int32_t h);

// Descends from q along first coefficients, *pt2 (set, starting at pt) moving
// down the level records, until a record's depth >= field_depth or a leaf;
// returns that polynomial (no copy). field_depth 0: q itself.
// reads: field_depth
poly field_leading_coef(poly q, polypt pt, polypt* pt2);

}  // namespace tavrin
