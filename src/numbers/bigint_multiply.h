// Products of big integers.
//
// Numbers are the limb lists of bigint.h: base B = 2^28, most significant
// limb first, every limb carrying the number's sign, |limb| < B, no leading
// zero limb, zero as one limb 0. These operations work on the limbs only and
// ignore the mode flags: callers in word or floating mode multiply `lint` or
// `flote` themselves.
//
// The products run on contiguous copies of the operands' magnitudes (see
// limb_array.h) and build the result as a fresh limb list, so a result
// record may be an operand. The old limbs of the result record are given
// back only after the product is complete.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// ans := n * m for a one-limb value m (|m| < 2^28). *penult := the limb
// before the product's tail, nil when the product has one limb. A zero n or
// m gives the one-limb 0.
// n: kept; ans: overwritten (may be n; old limbs freed when size > 0)
void simp_mult(imptr n, imptr ans, std::int32_t m, numptrptr penult);

// ans := n * m by rows (schoolbook), whatever the sizes.
// n: kept; m: kept; ans: overwritten (may be n or m; old limbs freed when
// size >= 1 and word mode is off); ans's lint, flote and imag are not
// meaningful afterwards. reads: lintmode
void multiply(imptr n, imptr m, imptr ans);

// ans := n * m: by rows when either size is at most multcut or one size is
// at least twice the other; otherwise by Karatsuba's three half-size
// products, splitting at k = max(a div 2, b div 2) limbs and deciding again
// by the same test at every level. fast_mult(x, x, x) squares x in place.
// n: kept; m: kept; ans: overwritten (may be n or m; old limbs freed when
// size >= 1 and word mode is off). From wide_mult_limbs limbs on both
// factors the product runs on 64-bit words instead (word_array.h: rows,
// then Karatsuba from wide_karatsuba_words words); the result is the same.
// reads: multcut, wide_mult_limbs, wide_karatsuba_words, lintmode
void fast_mult(imptr n, imptr m, imptr ans);

}  // namespace tavrin
