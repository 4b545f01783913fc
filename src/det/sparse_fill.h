// The fill-in of a sparse elimination, foreseen on the matrix's pattern
// alone: the router's measure of whether a sparse matrix stays sparse while
// it is eliminated or fills in to a dense one.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The most rows the pattern elimination takes (two bit squares of this side
// are 4 MB): larger matrices are measured by their entries alone.
constexpr std::int32_t fill_pattern_side = 4096;

// The multiply-adds an elimination of the m x m sparse matrix sp would make,
// counted on its pattern (no entry cancels), each weighed by the index of
// its step (from 1), as entries grow with the depth of an exact elimination:
// at each step the pivot is taken in a column of fewest active entries, and
// there in the row of fewest, as the sparse pivot searches rank them; each
// other row with an entry in the pivot column costs the pivot row's length
// less one. The count stops at the first step that passes limit (its value
// is then above limit), and at a step without a pivot (a singular pattern).
// 1 <= m <= fill_pattern_side; sp: only read.
std::int64_t sparse_elimination_work(sparseptr sp, std::int32_t m, std::int64_t limit);

}  // namespace tavrin
