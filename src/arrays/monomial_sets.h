// Arrays of monomials: rows sorted by the monomial in their first column
// (the term order), and the set operations on two sorted sparse arrays.
//
// Keys are the first-column values: a number (the monomial 1 with a
// coefficient) precedes every polynomial; two numbers never precede one
// another. Rows always move whole (dense: every cell of the row; sparse:
// the row head).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The monomials of n, in its own term order, as the rows of the one-column
// sparse array q (made beforehand with numterms(n) rows, heads clear);
// strip: every coefficient 1. A field-level list is one monomial's
// coefficient. A number gives one row (none for 0 unless stripping).
void dump_mons(arrptr q, quoly n, bool strip);

// Sorts rows i .. j (from 0) of the rows x cols matrix held column by
// column in the cells from `cells` (a work array's stash or the store's
// dense cells through cell_at) by their key, ascending. Quicksort with the
// median of three; a run of keys equal to the pivot stays where the
// partition left it.
void arraysort(workptr par, std::int32_t i, std::int32_t j, std::int32_t rows, std::int32_t cols);

// The same on the rows of the sparse array whose frames check_set_first_col
// put in spsort; ii and ij are the frames of rows i and j (i div 2048).
void sparse_arraysort(std::int32_t i, std::int32_t ii, std::int32_t j, std::int32_t ij);

// Before a sparse sort of sp, whose last row (from 0) is r: *j := the last
// frame; spsort := the frames. Errors (with x): 371 a sort under way, 372
// more than 5000 frames, 370 a row without entries.
void check_set_first_col(sparseptr sp, std::int32_t* j, std::int32_t r, const tokentipe* x);
// Both sparse arrays must have an entry in every row (370 with the name).
void check_set_cols(arrptr q0, arrptr q1);

// q0 := the rows of q0 whose key q1 also has (q1 unchanged; every number
// matches every number). No row left: one empty row, result 0.
std::int32_t intersect(arrptr q0, arrptr q1);
// q0 := the merge of q0 and q1 keeping q0's row of a key both have; the
// rows taken from q1 leave it empty rows.
std::int32_t synth_union(arrptr q0, arrptr q1);
// q0 := every row of both, q0's first on a tie.
std::int32_t synth_merge(arrptr q0, arrptr q1);

}  // namespace tavrin
