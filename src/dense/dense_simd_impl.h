// The eight-lane residue arithmetic of numbers/simd.h under the names
// dense/ uses (TAVRIN_DENSE_AVX2 where the lanes exist).
#pragma once

#include "numbers/simd.h"

#ifdef TAVRIN_AVX2
#define TAVRIN_DENSE_AVX2 1
#endif

namespace tavrin::dense_detail {

using simd::simd_available;
#ifdef TAVRIN_DENSE_AVX2
using simd::vload;
using simd::vmont;
using simd::vmulhi;
using simd::vreduce;
using simd::vset;
using simd::vshoup;
using simd::vstore;
#endif

}  // namespace tavrin::dense_detail
