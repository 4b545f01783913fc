// Sums of two fractions of big integers, one of whose denominators is a
// single limb: the gcd-of-denominators method of rational addition in one
// pass over each operand's limbs. With g1 = gcd(b, d), the sum a/b + c/d
// is (a (d/g1) + c (b/g1)) / (b (d/g1)), and only g2 = gcd(numerator, g1)
// can cancel; every GCD and quotient here is by one limb, formed on the
// magnitude arrays of limb_array.h.
//
// Numbers are the limb lists of bigint.h (base 2^28, most significant limb
// first, the sign on every limb). These ignore the mode flags.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The sum in lowest terms: num / den, den > 0.
enum class fraction_sum_result {
  zero,              // the sum is 0 (num, den unwritten)
  fraction,          // num and den written
  same_denominator,  // num written; den is b itself (unwritten)
};

// num / den := a/b + c/d (add) or a/b - c/d, for fractions in lowest terms
// with b > 1 and a one-limb d > 1 (signs on the numerators). *numerator_gcd
// := whether the second GCD (the numerator against g1 > 1) was taken.
// a, b, c: kept; num, den: overwritten (old limbs freed).
fraction_sum_result short_fraction_sum(imptr a, imptr b, imptr c, std::int32_t d, bool add,
                                       imptr num, imptr den, bool* numerator_gcd);

}  // namespace tavrin
