// The adjugate of a dense matrix, the body of the "Adjoint" statement. A
// client of the router: the determinant and the inverse (or, for a singular
// matrix or polynomial entries, the m^2 cofactors) come from mat_invert;
// an integer matrix takes the exact determinant and the adjugate by images
// (int_determ.h).
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The adjugate of the m-by-m dense matrix alpha into arr (alpha_free: alpha's
// entries are the caller's temporaries).
void adjoint(workptr alpha, workptr arr, bool alpha_free, std::int32_t m, sparseptr* spar);

}  // namespace tavrin
