// Powers of square matrices: the binary ladder (through the router for a
// negative exponent), the same with the fast dense products, and powers
// with every entry reduced modulo a value ("MPowermod").
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// The square matrix (sparse when *spar is not nil) := its expont-th power by
// the left-to-right binary ladder. expont < 0 inverts first (mat_invert);
// 0 gives the identity; 1 leaves the matrix as it is. For expont != 1,
// *arr_free := true on return (the matrix is the caller's temporary); the
// matrix it started from is freed only when *arr_free was true.
void matrix_power(workptr arr, arr_descr* arr_facts, bool* arr_free, std::int32_t expont,
                  sparseptr* spar);
// The same for a dense matrix, the squarings by fast_mat_mult.
void alt_mat_power(workptr arr, arr_descr* arr_facts, bool* arr_free, std::int32_t expont);

// The expont-th power of the dense square matrix with every entry reduced
// modulo *modder (nil: no modulus); *arr_free := true. showit: progress.
void matpowermod(workptr arr, arr_descr* arr_facts, bool* arr_free, imptr expont, quoly* modder,
                 bool showit);

}  // namespace tavrin
