// Whether this build can name the carry-less multiply instruction (x86-64
// under GCC or Clang): TAVRIN_CLMUL is then defined and the intrinsics are
// included. Whether the processor running has it is asked at run time
// (bit_clmul_available in numbers/bit_poly.h).
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TAVRIN_CLMUL 1
#endif
