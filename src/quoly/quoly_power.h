// Powers and reciprocals of values and numbers.
//
// Values are in normal form (quoly_normal_form.h). A power of a quotient in
// lowest terms is not normalised again: numerator and denominator are
// raised separately and stay coprime, the denominator's leading number
// stays positive (big integers) or 1 (word-size arithmetic). Only relations
// (zero divisors and the reduction) make a normaliser run.
// Numbers are raised by binary powering from the left (the highest set bit
// of the exponent down: square, then multiply by the base where the bit is
// set), each product by the number rule of quoly_mult.h: long doubles,
// modmult, 32-bit wrapping words, big integers by fast_mult. Between the
// products of a big-integer power, and between the two parts of a value's
// power, an interrupt may open a nested level (check_interrupt).
// quoly_reciprocal is declared in quoly.h; bysquaring and mod_number_power
// (the choices of compute_power) in quoly.h too.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "gcd/gcd_upcalls.h"

namespace tavrin {

// *n := (*n)^e in normal form, e the value of n2:
//   1. modular arithmetic with a prime modulus and a number *n that is not
//      0: n2's word := n2 mod (modulus - 1), taken non-negative (so a
//      negative exponent of a non-zero residue needs no reciprocal; the
//      multiplicative group has order modulus - 1, in characteristic 2
//      too);
//   2. e := convert_to_int(n2); outside word-size arithmetic an exponent of
//      more than one limb (|e| >= 2^28) is user error 32 with token, after
//      which *n is left as it was;
//   3. e > 0: quoly_compute_power(n, e); e = 0: *n := 1 (0^0 too); e < 0:
//      quoly_compute_power(n, -e), then quoly_reciprocal(n) (errors 22 and
//      85 for the base 0 there).
// In word-size arithmetic n2's word is read as a signed 32-bit integer.
// *n: changed in place (the same node); n2: changed by step 1, else kept.
// reads: mode flags, modulus, mod_is_prime, finf, laurent, polynames,
// pseudo_polynames, token, quotsign, expsign
void raise_to_power(quolyptr n, imptr n2);

// *q := (*q)^expont for expont >= 1 (below 1: the internal error "negative
// exponent" with a nested level, *q unchanged):
//   - a number: binary powering of its number in place;
//   - a rational number (big integers): numerator and denominator raised;
//   - a quotient: numerator and denominator by compute_power over
//     polynames (folded by the relations); a denominator that is now 0 is
//     user error 210 with expsign, after which *q is the number 0; a
//     numerator that is now 0 makes *q the number 0. Word-size arithmetic:
//     a constant denominator is divided into the numerator and dropped.
//     Big integers: two constants are cancelled by their GCD (binary_gcd),
//     the denominator made positive and dropped when 1, rat set when one
//     remains; otherwise, with relations in force, check_quoly(q, false);
//   - a constant numerator without denominator makes *q a number.
// *q: changed in place (the same node).
// reads: mode flags, modulus, finf, laurent, polynames, pseudo_polynames,
// expsign
void quoly_compute_power(quolyptr q, std::int32_t expont);

// n := n^expont in place, expont >= 0 (0 gives 1 in the mode: 1.0, the word
// 1, the one-limb 1, also for n = 0); binary powering from the left. A
// negative expont is the internal error "negative exponent" (nested level),
// n unchanged. n: changed in place.
// reads: mode flags, modulus, smallmodulus, finf
// number_power(n, expont): declared in gcd/gcd_upcalls.h.

// n2 as a 32-bit integer (convert_to_int); outside word-size arithmetic an
// exponent of more than one limb is user error 32 with token, after which
// the answer is 1. n2: kept. reads: mode flags, token
std::int32_t check_and_convert(imptr n2);

// *n := (*n)^(*e) for a long double, binary powering from the left on
// |*e|; a negative exponent gives 1.0 over the power and *e := -*e
// (INT32_MIN stays, its magnitude 2^31 being used). 0.0 to a negative
// exponent is user error 22 with token, after which *n := 1.0; exponent 0
// gives 1.0. *n: overwritten; *e: made non-negative. reads: token
void inumber_power(long double* n, std::int32_t* e);

}  // namespace tavrin
