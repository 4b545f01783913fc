// The Euclidean Hermite elimination of an integer matrix, dense
// (intcolred's phase one without row operations, then hermite_two) or
// sparse (sparse_intcolred's: sparse_phaseone without row operations, then
// sp_hermite_two), on flat integers: the same pivots, quotients and
// operations in the same order, so the same form, transforms and rank,
// without a number record per entry. The small matrices the elimination
// answers spend most of their time in those records' arithmetic.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "matrix/normal_forms.h"
#include "matrix/normal_forms/wide_store.h"

namespace tavrin {

enum class FlatOutcome {
  done,      // q holds the form, the wanted transforms are set, *n the rank
  exceeded,  // an entry passed the open entry budget; q untouched, the transforms identities
  declined,  // (sparse) a matrix the flat route does not take; nothing changed
};

// The elimination of the dense named array q (rows x cols integer entries,
// all cells stored) under the open entry budget (EntryBudget::open()), the
// transforms tx started as identities and mirrored as the cells' route
// mirrors them. reads: the open entry budget
FlatOutcome flat_intcolred(quolyptr n, arrptr q, const DenseTransforms& tx);

// The same for the sparse matrix spar (rows x cols, rows and columns from
// 1), the wanted transforms aux[0..3] started as identities (spar_identi)
// and kept sparse as sparse_intcolred keeps them; the result rows hold no
// zero entry. Declined when an entry is not a non-zero integer number, in
// word or floating mode, or past normal_form_flat_sparse_cells.
// n: overwritten; spar: overwritten; aux[k]: overwritten (want[k])
// reads: the open entry budget, normal_form_flat_sparse_cells
FlatOutcome flat_sparse_intcolred(quolyptr n, sparseptr spar, const bool* want, sparseptr* aux,
                                  std::int32_t rows, std::int32_t cols);

// What both eliminations hold: the matrix by columns, U by columns and
// U^-1 by rows (when wanted), the row order (when P is), and the longest
// entry the open budget allows (its limbs of 28 bits).
class FlatMatrix {
 protected:
  FlatMatrix(const bool* want, std::int32_t rows, std::int32_t cols);
  std::size_t idx(std::int32_t r, std::int32_t c) const {
    return static_cast<std::size_t>(c) * rows_ + r;
  }
  std::size_t line(std::int32_t j) const { return static_cast<std::size_t>(j) * cols_; }
  // The transforms as identities and the rows in their order.
  void start();
  // Entry x by entry p (p != 0): truncated toward zero, as the division of
  // the big integers, or with floor the floor (p > 0).
  wide::Factor quotient(std::size_t x, std::size_t p, bool floor);
  // The pivot (pr, pc) to (i, i) by a column and a row exchange (the
  // column below row i, the whole row), made positive.
  void place(std::int32_t i, std::int32_t pr, std::int32_t pc);

  const bool* want_;
  const std::int32_t rows_, cols_;
  const std::int64_t most_bits_;
  wide::Store a_, beta_, betinv_;
  std::vector<std::int32_t> order_;
  mutable wide::WideInt wide_y_;  // a word operand in limbs
  wide::WideInt quotient_;        // the work of quotient()
};

// The pivot search of both: over rows and columns from i of the matrix a
// (held by columns of `rows` entries), columns outer when by_columns (the
// dense search) else rows (the sparse one), the first unit, else the first
// entry of least absolute value into (*pr, *pc); false when all are zero.
bool least_flat_entry(const wide::Store& a, std::int32_t rows, std::int32_t cols, std::int32_t i,
                      bool by_columns, std::int32_t* pr, std::int32_t* pc);

}  // namespace tavrin
