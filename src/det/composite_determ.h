// Determinants modulo a composite modulus, where residues without inverse
// rule out the divisions of the other eliminations. Numbers: the residue
// elimination, whose pivots are units or come from Euclid's steps.
// Other values: elimination on unit number pivots while the rest of the
// matrix has one; the block left then goes by the division-free
// recurrence of Berkowitz (the characteristic polynomial of each leading
// block from the one before it), which needs nothing but sums and products.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Whether the ring is the integers modulo a composite modulus (modular
// mode outside the fields and floating mode, mod_is_prime false).
// reads: mode flags, mod_is_prime, finf
bool composite_modulus();

// *n := the determinant of the m x m work array ar (column by column; nil
// cells count as 0) modulo a composite modulus; the old *n is freed. ar is
// only read. A product or sum of the values themselves may report error 85
// (a denominator without inverse).
// reads: verbose, mode flags, modulus
void composite_determ(workptr ar, std::int32_t m, quolyptr n);

}  // namespace tavrin
