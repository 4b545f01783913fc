// The Euclidean Hermite elimination of an integer matrix, dense
// (intcolred's phase one without row operations, then hermite_two) or
// sparse (sparse_intcolred's: sparse_phaseone without row operations, then
// sp_hermite_two), on flat integers: the same pivots, quotients and
// operations in the same order, so the same form, transforms and rank,
// without a number record per entry. The small matrices the elimination
// answers spend most of their time in those records' arithmetic.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "matrix/normal_forms.h"

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

}  // namespace tavrin
