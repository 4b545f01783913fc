// The Euclidean Hermite elimination of a dense integer matrix (intcolred's
// phase one without row operations, then hermite_two) on flat integers:
// the same pivots, quotients and operations in the same order, so the same
// form, transforms and rank, without a number record per entry. The small
// matrices the elimination answers spend most of their time in those
// records' arithmetic.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "matrix/normal_forms.h"

namespace tavrin {

enum class FlatOutcome {
  done,      // q holds the form, the wanted transforms are set, *n the rank
  exceeded,  // an entry passed the open entry budget; q untouched, the transforms identities
};

// The elimination of the dense named array q (rows x cols integer entries,
// all cells stored) under the open entry budget (EntryBudget::open()), the
// transforms tx started as identities and mirrored as the cells' route
// mirrors them. reads: the open entry budget
FlatOutcome flat_intcolred(quolyptr n, arrptr q, const DenseTransforms& tx);

}  // namespace tavrin
