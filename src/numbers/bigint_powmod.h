// Powers of big integers modulo a big integer, on 64-bit words.
//
// Numbers are the limb lists of bigint.h (base 2^28, most significant limb
// first, the sign on every limb). The power runs on word arrays
// (word_array.h): the base reduced once, a sliding window over the
// exponent's bits, every product and square reduced by Barrett's method
// with the reciprocal floor(B^2n / m) formed once (B = 2^64, n the words of
// m; Menezes, van Oorschot and Vanstone, Handbook of Applied Cryptography,
// Algorithm 14.42): three products a step, each by the word products'
// transforms at length; from powmod_wrap_words words of m the product of
// the quotient estimate by m is formed modulo 2^K - 1 (K just past the
// words of m), half the transforms' length, since only the remainder,
// below 3 m, is wanted. These ignore the mode flags.
#pragma once

#include "core/records.h"

namespace tavrin {

// ans := b^e mod m, the residue in [0, m), for e >= 1 and m > 0 (a
// negative b is taken modulo m first). Polls check_interrupt between
// windows of the exponent.
// b, e, m: kept; ans: overwritten (old limbs freed; may be b, e or m)
void number_powmod(imptr b, imptr e, imptr m, imptr ans);

}  // namespace tavrin
