// The greatest integer "$" and the absolute value of values, and both (with
// integer remainder and quotient) over the entries of sparse matrices.
//
// "$" by mode: floating truncates a number toward zero (through a 32-bit
// integer inside +-2^31, truncl outside) and a non-number is user error
// 377; modular mode changes nothing; word mode outside modular mode is
// user error 62; exact arithmetic takes the floor of a rational number
// and leaves integers, polynomials and fractions alone. Both errors pass
// greatintsign and leave the value unchanged when the report returns.
//
// The absolute value makes every number of a value non-negative (fabsl in
// floating mode, the wrapped word negation in word mode, the limbs
// negated for big integers); modular mode changes nothing. A value with a
// denominator is renormalised (check_quoly).
//
// Sparse matrices: the frames of rowarray, rows numbered from 1, entries in
// increasing column order; an entry that becomes 0 is unlinked and freed,
// so no row holds a zero.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *q := the greatest integer of *q, in place.
// reads: mode flags, greatintsign
void quoly_great_int(quolyptr q);

// q's number, or every number of its numerator and denominator, made
// non-negative, in place; a constant numerator without denominator makes q
// a number value. reads: mode flags, polynames
void quoly_abs(quoly q);
// Every number leaf of p made non-negative, in place. reads: mode flags
void poly_abs(poly p);

// The greatest integer (abs false) or absolute value (abs true) of every
// entry of rows 1..rows. Unless free, *spar is first replaced by a copy
// (copy_sparse); the matrix passed in stays intact for its other owners.
// *spar: changed in place or replaced. reads: as quoly_great_int, quoly_abs
void sparse_great_abs(sparseptr* spar, std::int32_t rows, bool free, bool abs);

// Every entry of rows 1..row replaced by entry "|" n2 (which '|') or entry
// "\" n2 (quoly_mod_or_div). free: in place; else *spar := a new matrix
// (the old one is left to its owner). n2: kept.
void sparse_mod_or_div(sparseptr* spar, quoly n2, std::int32_t row, bool free, char which);

}  // namespace tavrin
