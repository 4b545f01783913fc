// Big integers to and from native wide integers, for kernels that gather
// small coefficients into machine words and give back numbers once.
//
// Numbers are the limb lists of bigint.h (base 2^28, most significant limb
// first, the sign on every limb). These routines ignore the mode flags.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

using wide_int = __int128;

// *v := the value of x when x has at most two limbs (|x| < 2^56).
// x: kept. Returns false (and leaves *v) for a longer x.
bool small_number_value(imptr x, std::int64_t* v);

// A fresh number (header and limbs) holding v: one limb per 28 bits of |v|,
// the sign on every limb, zero as one limb 0; lint and flote are 0.
imptr new_wide_number(wide_int v);

}  // namespace tavrin
