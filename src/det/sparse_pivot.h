// The pivot step the sparse eliminations of det/ share.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Step i (1-based) of an elimination on the m by m sparse matrix sp: finds
// the best pivot in the rows and columns from i on (modular_search: the
// entries are residues modulo the prime modulus) and swaps its column and
// row into place i, each swap marking *n for its sign (quoly_inplace);
// false, sp untouched, when every entry left is zero. With verbose, prints
// the choice (windy) and every period-th step.
// sp: overwritten; *n: overwritten; reads: verbose, windy
bool sparse_pivot_into_place(sparseptr sp, std::int32_t m, std::int32_t i, bool modular_search,
                             std::int32_t period, quolyptr n);

}  // namespace tavrin
