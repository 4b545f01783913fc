// Mixed-mode number operations: word values multiplied and divided exactly
// as big integers whatever mode is in force, a big integer reduced by the
// modulus, quadratic residues, the size measures of numbers, polynomials
// and values, and the defined forms of word division and of long double to
// word conversion.
//
// Mode dispatch as in bigint.h (F floating, W word, M modular, B big);
// "big only" ignores the flags. The big-only operations switch word and
// floating mode off for their own work and restore them (BigModeGuard).
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// ---- Defined word arithmetic ---------------------------------------------------
// a div b and a rem b truncated toward zero; INT32_MIN / -1 wraps to
// INT32_MIN (remainder 0) instead of overflowing. b != 0.
std::int32_t word_quo(std::int32_t a, std::int32_t b);
std::int32_t word_rem(std::int32_t a, std::int32_t b);

// trunc(v) as a word, saturated to INT32_MIN .. INT32_MAX; NaN gives 0.
std::int32_t saturate_to_int32(long double v);

// ---- Products and quotients of word values as big integers (big only) ---------
// x := n * m by the schoolbook product, word and floating mode off.
// n, m: one-limb values (|n|, |m| < 2^28); x: old limbs freed, lint, flote
// and imag not meaningful afterwards
void special_set_2(std::int32_t n, std::int32_t m, imptr x);

// num = n * m, the product formed as in special_set_2.
// num: kept
bool is_product_of(imptr num, std::int32_t n, std::int32_t m);

// n * m > 1,000,000 (two or more limbs, or one limb above it): the limit on
// the entries of a dense array.
bool oversize(std::int32_t n, std::int32_t m);

// n * m, formed as a big integer as oversize does, has three or more limbs,
// or two with a head limb of at least 8 (a magnitude of 2^31 or more).
// n, m: one-limb values
bool sparse_oversize(std::int32_t n, std::int32_t m);

// n div m by the positive division, word and floating mode off.
// n: kept, n >= 0; 0 < m < 2^28; the quotient must be below 2^28
std::int32_t quotient_of(imptr n, std::int32_t m);

// n reduced by modulus, as a residue 0 .. modulus - 1 (the division's
// remainder made non-negative). Word mode is off during the division and on
// when it returns (it is called in modular mode).
// n: kept; reads: modulus; writes: lintmode (left on)
std::int32_t modout(imptr n);

// ---- Quadratic residues (modular) -------------------------------------------------
// n is a non-zero square modulo the prime modulus: Euler's criterion
// n^((modulus - 1) div 2) = 1 by left-to-right square-and-multiply with
// modmult; 0 gives false. In a field of characteristic 2 every non-zero
// element is a square.
// n: residue; reads: modulus, smallmodulus, finf
bool its_a_square(std::int32_t n);

// A square root of n modulo the prime modulus, 0 when n is no square: one
// power n^((p + 1) / 4) when p = 3 mod 4, otherwise Tonelli and Shanks with
// a non-residue found once per modulus and cached. In a field of
// characteristic 2 (q = 256 or 65536) the root n^(q / 2).
// n: residue; reads: modulus, smallmodulus, finf
std::int32_t modular_sqrt(std::int32_t n);

// ---- Size measures (F, W, B) -------------------------------------------------------
// The largest measure over all number nodes of q at every level; -1 for nil.
// B: bit length (28 (size - 1) + highest bit of |head| + 1, or 28 (size - 1)
// when the head is 0); W: highest set bit of |lint| (symmetric residue in
// modular mode, as logg2lint); F: the same of |floor(flote + 0.5)|.
// q: kept; reads: flotemode, lintmode, modularmode, modulus
std::int32_t max_digits(poly q);

// The measure of max_digits over a value cell: its number, or the larger
// over numerator and denominator (-1 when both are nil, or q is nil).
// q: kept
std::int32_t quoly_max_digits(quoly q);

// The weight of a number cell as a pivot: F: trunc(|flote / 2^28|) + 1;
// W: (5 x') div modulus + 1, x' the distance of lint from 0 modulo modulus
// (modulus - lint when lint > modulus div 2); B: 2 size - 1 when
// |head| < 65536, else 2 size.
// p: kept (a number cell); reads: flotemode, lintmode, modulus
std::int32_t number_mass(quoly p);

}  // namespace tavrin
