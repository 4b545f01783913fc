// Fraction-free elimination (Gauss-Bareiss) of sparse matrices, and the
// exact division test the Bareiss steps divide by.
//
// Step i (from 1) brings a pivot p to (i, i), replaces every entry (r, c)
// below and right of it by p*(r, c) - (r, i)*(i, c) and divides that by the
// previous pivot; the division is exact, so no rational functions and no
// GCDs arise. The dense form is gauss_Bareiss (dense_gauss.h).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "arrays/det_upcalls.h"

namespace tavrin {

// Multiplies the determinant of the m x m sparse matrix *spar into *n (1 on
// entry). ar_free: *spar is the caller's temporary and is used up (freed,
// *spar := nil); otherwise the elimination runs on a copy. m > 50000:
// error 375 before anything changes. Modding-out suspended when it must
// be, restored (and *n reduced) on every exit; the trace level likewise.
void sparse_gauss_Bareiss(sparseptr* spar, quolyptr n, std::int32_t m, std::int32_t mycut,
                          bool ar_free);

// trial_divide (exact trial division): declared in arrays/det_upcalls.h, which
// the built-ins include.

// The polynomial case (n the divisor, m the dividend, pt their level); with
// wantquot *m := the quotient when it divides.
bool check_polys(poly* n, poly* m, polypt pt, bool wantquot, bool fast_yes, bool SDivide);

// Whether the number nm divides every number coefficient of m (dividing them
// in place when wantq). An empty m: false.
bool check_num_poly(imptr nm, poly m, bool wantq);

// Pre-test: false when the dividend m is of lower degree than the divisor n
// in the first variable where n has positive degree.
bool height_check(poly n, poly m);

}  // namespace tavrin
