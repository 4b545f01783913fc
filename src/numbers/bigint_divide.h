// Long division of big integers.
//
// Numbers are the limb lists of bigint.h (base B = 2^28, most significant
// limb first, every limb with the number's sign, zero as one limb 0). These
// are big-integer primitives: they ignore the mode flags, and callers in
// word or floating mode divide `lint` or `flote` themselves.
//
// Sign rule of divide: with Q = |n| div |d| and R = |n| mod |d|,
//   n >= 0, d > 0: quot = Q,  rem = R
//   n <  0, d > 0: quot = -Q, rem = -R
//   n >= 0, d < 0: quot = -Q, rem = -R
//   n <  0, d < 0: quot = Q,  rem = R
// so the quotient is truncated toward zero and the remainder has the sign of
// n*d: n = quot*d + rem when d > 0 and n = quot*d - rem when d < 0. Callers
// that want the remainder with the sign of n negate it when d < 0.
//
// Method: schoolbook long division in base B, one quotient digit per limb
// brought down; each digit is estimated from the top two limbs of the window
// and of the divisor (a one-limb divisor below 2^18 exactly in 32-bit pieces,
// one of 2^18 or more in double precision checked in 64 bits, a longer one
// in double precision, exactly formed when its top limb is below 16) and
// corrected by multiply and subtract. From a divisor of wide_divide_limbs
// limbs on, the same quotient and remainder are formed on 64-bit words
// (word_array.h): long division there, the recursive division of
// Burnikel and Ziegler from wide_divide_words words, the quotient by the
// divisor's reciprocal from Newton's iteration once divisor and quotient
// reach wide_newton_divide_words words. The operands are copied into
// contiguous arrays first and the results built as fresh limb lists, so
// every result record may be an operand.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// quot := n / d truncated toward zero, rem := the remainder by the sign rule
// above. d = 0 writes nothing. Only the limbs (head, tail, size) of quot and
// rem are written; their old limbs are freed when size > 0. Any of n, d,
// quot, rem may be the same record (when quot is rem it ends holding rem).
// n: kept (unless it is quot or rem); d: kept (likewise);
// *quot: overwritten; *rem: overwritten
// reads: wide_divide_limbs, wide_divide_words, wide_newton_divide_words, wide_karatsuba_words
void divide(imptr n, imptr d, imptr quot, imptr rem);

// n >= 0, d > 0: quot := n div d, rem := n mod d (0 <= rem < d). As divide
// for records, aliasing and d = 0.
// n: kept; d: kept; *quot: overwritten; *rem: overwritten
void pos_divide(imptr n, imptr d, imptr quot, imptr rem);

// One step: the window is the `size` limbs from p (non-negative, below
// B * d). quot := its one-digit quotient (size 1, lint 0, flote 0.0, imag
// nil), rem := window - digit * d.
// p..: kept; d: kept; *quot: overwritten; *rem: overwritten (old limbs freed)
void simp_divide(numptr p, std::int16_t size, imptr d, imptr quot, imptr rem);

// rem := dividend mod divisor, the non-negative dividend being the list of
// nsize limbs from nhead and the positive divisor the dsize limbs dhead ..
// dtail. No quotient is formed. A zero divisor writes nothing.
// lists: kept; *rem: overwritten (old limbs freed when size > 0; may own
// either list)
void pos_divide_noq(numptr nhead, numptr dhead, numptr dtail, std::int16_t nsize,
                    std::int16_t dsize, imptr rem);

// The step of pos_divide_noq: the window of `size` limbs from p is below
// B * divisor; rem := window mod divisor.
void simp_divide_noq(numptr p, numptr dhead, numptr dtail, std::int16_t size, std::int16_t dsize,
                     imptr rem);

}  // namespace tavrin
