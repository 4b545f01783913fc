// Characteristic polynomials and inverses of sparse matrices by the
// Leverrier-Faddeev recurrence: B_1 = A, c_1 = -tr A, B_k = A(B_{k-1} +
// c_{k-1} I), c_k = -tr(B_k)/k. Past half fill (sides up to 1000) the
// remaining steps multiply the sparse A by dense work arrays.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// *n := det(A - xI) of the rows x rows sparse matrix spar, x the top
// variable; spar kept. Modulo a prime not above rows: error 36. Integer
// matrices in rational arithmetic go by images (int_char_poly.h), any other
// by the recurrence.
void sparse_chpoly(quolyptr n, sparseptr spar, std::int32_t rows);

// sparse_chpoly by the recurrence alone, whatever the entries.
void leverrier_chpoly(quolyptr n, sparseptr spar, std::int32_t rows);

// invert: the inverse of *spar into *spar (still sparse) or into arr (after
// the switch, *spar := nil); otherwise *n := det A and *spar := nil. ar_free:
// the given matrix is freed, else left to its owner. A singular matrix is
// error 44; modulo a prime not above rows, error 36 before any change.
void invert_sparse(sparseptr* spar, workptr arr, bool ar_free, bool invert, std::int32_t rows,
                   quolyptr n);

// Whether a side of rows needs a division by a step number that is zero in
// the ground ring.
bool leverrier_refused(std::int32_t rows);

}  // namespace tavrin
