// Pivot searches of the integer normal forms: which entry an integer
// elimination (Hermite, Smith) brings to the diagonal. A unit is best, then
// the entry of least absolute value, which the Euclidean reductions shrink
// further. Ties go to the entry met first; all searches only read.
//
// Dense searches read a named array of the paged store: entry (r, c), both
// from 0, in cell start + r + c*rows, cells up to `stop` (the diagonal
// searches get the cell of the last non-zero diagonal entry as stop).
// Sparse searches take the frame holding row i (rows and columns from 1).
// Every entry is an integer number value.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Columns i.. (those whose cell at row i is at most stop), rows i..rows-1,
// in that order: *val := -1 and (*j, *k) at the first unit; else *val := 1
// at the first entry of least |value|; *val := 0 when all are zero (*j, *k
// untouched).
void intfindbest(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t i,
                 std::int32_t* j, std::int32_t* k, std::int32_t* val);

// The counting pass first: a column with a single active entry gives that
// entry with *val its mass. Otherwise rows i..rows, entries at columns >= i:
// the first unit (*val -1), else the first of least |value| (*val 1); none:
// *j = -1, *val = 0. A stored zero is reported and skipped.
void sparse_intfindbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                        std::int32_t* k, std::int32_t* val);

// The scan of sparse_intfindbest alone, without the counting pass: the
// re-diagonalisation of the Smith phase two uses it, since there the one
// single-entry column is the later diagonal entry, whose choice would undo
// the step and repeat it for ever.
void sparse_least_entry(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                        std::int32_t* k, std::int32_t* val);

// The diagonal cells (i, i), (i+1, i+1), ... up to stop: the first unit
// (*val -1), else the first of least |value| (*val 1); *j its row.
void best_on_diag(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t i,
                  std::int32_t* j, std::int32_t* val);
// The same over the leading entries of rows i..rows.
void sparse_best_diag(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                      std::int32_t* val);

// The later diagonal cell with the least non-zero remainder modulo cell
// (i, i) (a unit remainder taken at once, ties to the first); *j := its row,
// 0 when cell (i, i) divides them all.
void best_other(std::int32_t start, std::int32_t stop, std::int32_t i, std::int32_t rows,
                std::int32_t* j);
// The same over the leading entries of rows i+1..rows against that of row i.
void sparse_best_other(sparseptr sp, std::int32_t i, std::int32_t rows, std::int32_t* j);

}  // namespace tavrin
