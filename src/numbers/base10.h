// Decimal conversion of big integers: base-10^8 numbers, their arithmetic,
// and the signed adder and subtracter for any limb base.
//
// A base-10^8 number is an ordinary number record whose limbs are digit
// groups 0 .. 99,999,999 instead of base-2^28 limbs: most significant first,
// every limb with the number's sign, no leading zero limb, zero as one limb
// 0, `size` the number of limbs. Printing a big integer converts it so and
// prints the groups: make_base_10 by repeated division by 10^8, and
// verybig_base_10 (for long numbers) by splitting the limb list in halves
// and joining the converted halves with one product by a power of 2^28
// taken from the table two_28 (two_28[j] = (2^28)^(j+1) in base 10^8).
//
// The products run on contiguous copies of the magnitudes (least
// significant group first) and build fresh limb lists, so a result record
// may be an operand; a result's old limbs are freed once it is formed. All
// of these are big-integer work: they ignore the mode flags.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

constexpr std::int32_t ten_8 = 100000000;  // the limb base of base-10^8 numbers

// n2 := n in base 10^8 (the groups of the decimal digits of n, with n's sign).
// n: kept; n2: overwritten (old limbs freed), as divide fills a remainder
void make_base_10(imptr n, imptr n2);

// n2 := the number whose base-2^28 limbs are the `size` limbs from p to t
// (sign carried by the limbs) in base 10^8. Below 10 limbs as make_base_10;
// otherwise the upper size div 2 limbs and the lower rest are converted
// separately and joined as upper * (2^28)^k + lower, k the lower length.
// list: kept (links cut only for the time of a call); n2: overwritten (old
// limbs freed). From wide_decimal_limbs limbs on, and from 10 limbs on when
// the table two_28 is not in use, the same groups come from the magnitude
// on 64-bit words divided by powers 10^(8 2^k) (wdecimal).
// reads: two_28 and its file's state, wide_decimal_limbs, wide_decimal_words
void verybig_base_10(numptr p, numptr t, std::int16_t size, imptr n2);

// x := the big integer whose decimal digit groups (base 10^8, each below
// 10^8, most significant first) are groups[0 .. count), count >= 1, formed
// on 64-bit words (wfrom_decimal); error 302 beyond 32,767 limbs, x then
// unchanged. x: overwritten (old limbs freed)
void number_of_groups(const std::uint32_t* groups, std::int64_t count, imptr x);

// ans := n + m for numbers in limb base vblock (2^28 for ordinary numbers,
// 10^8 for base-10^8 numbers).
// n: kept; m: kept; ans: overwritten (may be n or m; old limbs freed after
// the sum is formed)
void summ(imptr n, imptr m, imptr ans, std::int32_t vblock);

// ans := (the number of `size` limbs from p) - m, in limb base vblock.
// list: kept; m: kept; ans: overwritten (may own the list or be m)
void diff(numptr p, std::int16_t size, imptr m, imptr ans, std::int32_t vblock);

// ans := n * m for a base-10^8 number n and one digit group m (|m| < 10^8);
// *penult := the limb before ans's tail (nil for one limb). m = 0 gives the
// one limb 0.
// n: kept; ans: overwritten (may be n)
void simp_base_10_mult(imptr n, imptr ans, std::int32_t m, numptrptr penult);

// ans := n * m in base 10^8: by rows when either size is at most 10 or one
// size is at least twice the other, else by Karatsuba's three half-size
// products, the same test at every level.
// n: kept; m: kept; ans: overwritten (may be n or m)
void base_10_fast_mult(imptr n, imptr m, imptr ans);

// ans := n * m in base 10^8 by rows, whatever the sizes.
// n: kept; m: kept; ans: overwritten (may be n or m)
void base_10_multiply(imptr n, imptr m, imptr ans);

}  // namespace tavrin
