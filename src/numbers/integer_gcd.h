// Greatest common divisors of integers: of two words (smallgcd), of two big
// integers (binary_gcd, a binary GCD with division steps), of two big
// integers together with the cofactors n/gcd and m/gcd (extgcd), and of two
// numeric values of the language (gcdnum). All results are non-negative.
//
// Numbers are the limb lists of bigint.h (base B = 2^28, most significant
// limb first, every limb with the number's sign, zero as one limb 0). The
// big-integer routines ignore the mode flags. They work on contiguous copies
// of their operands (limb_array.h), so the operands are never changed
// and a result record may be an operand.
//
// A zero operand is allowed everywhere: gcd(0, v) = |v| and gcd(0, 0) = 0.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// gcd(|u|, |v|) by the binary method on unsigned 32-bit patterns.
// smallgcd(0, v) = |v|; |-2^31| is taken as 2^31 (the result wraps like a
// 32-bit word when it is 2^31).
std::int32_t smallgcd(std::int32_t u, std::int32_t v);

// The number of trailing zero bits of a limb; 28 for 0.
std::int32_t countup(std::int32_t n);

// n > m for non-negative big integers (more limbs, or the first differing
// limb from the top larger); false when equal.
bool pos_bigger(imptr n, imptr m);

// n := n div 2^m in place for a non-negative big integer (whole limbs
// dropped from the tail, then a bit shift; a top limb that becomes 0 goes).
// n: changed in place
void shift_right(imptr n, std::int32_t m);

// ans := gcd(|n|, |m|): factors of 2 taken out of both, then subtraction
// steps while the two are of similar size and remainder steps (a long
// division) when they differ in length or one is at least about twice the
// other; one-limb values finish with smallgcd; the common power of two is
// put back at the end. From wide_gcd_limbs limbs (the longer operand) on,
// the same GCD comes from Lehmer's method on 64-bit words (wgcd).
// n: kept; m: kept; ans: overwritten (may be n or m; old limbs freed)
// reads: wide_gcd_limbs (and the division thresholds)
void binary_gcd(imptr n, imptr m, imptr ans);

// gcd := gcd(|n|, |m|); qn := n / gcd and qm := m / gcd exactly, with the
// signs of n and m; *gcd1 := (gcd = 1). When *gcd1 is true, *qn and *qm are
// record copies of *n and *m and share their limbs (release only one of each
// pair). Otherwise qn and qm receive fresh limbs that the caller gives back.
// The cofactors come from the Euclidean quotients (recorded while rebuilding
// from them is estimated to be cheaper than two divisions by the GCD,
// otherwise by those divisions). From wide_gcd_limbs limbs on, the GCD comes
// from wgcd on 64-bit words and the cofactors from the two exact
// divisions. gcd(0, 0) = 0 gives qn = qm = 0.
// n: kept; m: kept; gcd: overwritten (old limbs freed when size > 0);
// qn, qm: overwritten, their old limbs NOT freed (pass headers without limbs
// of their own). gcd, qn and qm are records distinct from n, m and each other.
void extgcd(imptr n, imptr m, imptr gcd, imptr qn, imptr qm, bool* gcd1);

// g := gcd(|a|, |b|) and s, t with s*a + t*b = g for non-zero a and b:
// the cofactors that extended Euclid ends with when it divides the larger
// of |a|, |b| by the smaller (|a| counting as the smaller when they are
// equal) and keeps a cofactor row beside each remainder, the signs of a
// and b put on s and t. They are (1, 0) for the smaller (when it divides
// the larger) and otherwise the only pair with |s| < |b|/(2g) and |t| <
// |a|/(2g). Found by half-GCD reductions on 64-bit words (wgcdext), not by
// Euclid's steps: the extended_number_gcd of gcd/extended_gcd.h for long
// operands.
// a: kept; b: kept; g, s, t: overwritten (old limbs freed; records
// distinct from a and b)
void half_gcd_cofactors(imptr a, imptr b, imptr g, imptr s, imptr t);

// For two cells holding number values: the value in *n := gcd of the two
// values in the current mode: 1.0 in floating mode, 1 in word modes; big
// integers by binary_gcd. When n's value is 0, n's cell is freed and m's
// cell (its value made non-negative) moves to n (*m := nil).
// *n: changed in place (or replaced by *m); *m: kept (or moved to *n).
// reads: flotemode, lintmode
void gcdnum(quolyptr n, quolyptr m);

// ans := gcd(|n|, |m|) by Euclid's algorithm on remainders (pos_divide_noq).
// n: kept; m: kept; ans: overwritten (may be n or m; old limbs freed)
void gcd(imptr n, imptr m, imptr ans);

}  // namespace tavrin
