// The inverse of a dense matrix of polynomials over the rationals by the
// recurrence of the sparse inverses, a method of the router's table.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "det/method_services.h"

namespace tavrin {

// The inverse of the m x m matrix of polynomials over the rationals in ar
// by the recurrence of the sparse inverses (invert_sparse) on a sparse
// copy: the values Gauss-Jordan gives (both in normal form), several times
// sooner for polynomial entries. It goes into outar as standard elimination
// leaves it: outar's old cells freed when how.oar_free, ar's cells kept
// unless outar is ar. Declines (false, nothing changed) unless the
// determinant is surely not 0, so that Gauss-Jordan still reports a
// singular matrix. reads: number_polys (the entries' layout)
bool dense_recurrence_inverse(workptr ar, workptr outar, std::int32_t m, const InvertFlags& how);

}  // namespace tavrin
