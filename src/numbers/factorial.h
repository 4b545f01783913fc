// Factorials and binomial coefficients, from the start-up tables.
//
// Tables (globals.h, read once at start-up from "pow228"):
//   factnum[0..21]  the points of the factorial table, ascending, with
//                   factnum[0] <= 1 and factnum[1] = 10;
//   facts[0..21]    facts[i] = factnum[i]! as limbs, flote formed from the
//                   limbs; lint is 1 and 10! for i = 0, 1 only (word mode
//                   never needs the others);
//   binom[1..1900]  binomial(3q, r) for q = 1..50, r = 1..floor(3q/2), row
//                   by row: binomial(3q, r) is binom[off(q) + r], where
//                   off(q) = q(3q - 4)/4 for even q, (3q - 1)(q - 1)/4 for odd
//                   q. Entries 1..80 (the rows 3..30) also carry their value
//                   in lint and flote.
//
// Mode dispatch follows bigint.h: floating (flote), modular (lint residues,
// finf the fields of characteristic 2), word (lint, 32-bit wrap-around),
// big integer (limbs).
//
// factorial starts from the nearest tabulated point below its argument and
// multiplies in the rest as a balanced product tree, so the big products are
// of equal-sized operands and profit from Karatsuba's method. rat_binom
// answers the rows 3q <= 150 from the table, reaches the rows near them by a
// few exact multiply-and-divide steps with one-limb factors (three rows at a
// time between 150 and 500), and uses the factorial formula beyond.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The user errors of this family (core/error_codes.h): char2_factorial_error,
// factorial_too_large_error and word_factorial_error are reported with the
// token "!", binomial_too_large_error with the current token.

// Largest arguments: 46340^2 < 2^31; 12! is the last factorial below 2^31;
// 1754! is the last factorial within the range of a long double.
constexpr std::int32_t modular_factorial_limit = 46340;
constexpr std::int32_t word_factorial_limit = 12;
constexpr std::int32_t binomial_limit = 1754;
// The largest n whose factorial a long double holds (1755! overflows).
constexpr std::int32_t largest_finite_factorial = 1754;

// n := n! in place in the current mode. The argument is read as a word:
// floating floor(flote + 0.5); modular lint (error 347 in characteristic 2
// first, then error 94 above 46340); word lint (error 240 above 12); big its
// one limb (error 94 for two or more limbs). When an error returns (nested
// command level left) the computation goes on with the word as read (for a
// big n, its top limb). Arguments below 1 give 1. In modular mode an
// argument of at least `modulus` gives 0, and so does a zero partial
// product as soon as it appears.
// n: overwritten in place (floating: flote, and the table's limbs when it
// lands on a table point; word/modular: lint; big: limbs);
// reads: flotemode, modularmode, finf, lintmode, modulus, smallmodulus,
// factnum, facts
void factorial(imptr n);

// n := lower * (lower + 1) * ... * upper in the current mode, as a balanced
// product tree: up to five factors one at a time, else the lower half into
// a local number and the upper half into n, then their product. In modular
// mode a zero partial product ends it with lint 0 (a zero lower half
// without computing the upper one); every factor is reduced by `modulus`.
// Precondition: 1 <= lower <= upper.
// n: overwritten (as factorial); reads: the mode flags, modulus, smallmodulus
void multout(std::int32_t lower, std::int32_t upper, imptr n);

// *m := binomial(n, r) as a number value (big integers).
// Precondition: 0 <= r <= n; big-integer mode.
// *m: replaced (old cell freed); reads: factnum, facts, binom; may report
// error 87 (n > 1754 off the table and step routes)
void rat_binom(std::int32_t n, std::int32_t r, quolyptr m);

// *m := a fresh number value holding a copy (num_assign, in the current
// mode) of the table entry binomial(n, r).
// Precondition: n = 3q with 1 <= q <= 50, 1 <= r <= n/2.
// *m: replaced (old cell freed); reads: binom, the mode flags
void from_table(std::int32_t n, std::int32_t r, quolyptr m);

// *m := n for r = 1; otherwise (r = 2) n(n - 1)/2 formed in a signed 32-bit
// word (wrapping). In modular mode the word is then reduced by `modulus`
// (remainder of truncating division). Set by quoly_set, in the current mode.
// Precondition: r is 1 or 2, and n is small enough for the word.
// *m: replaced (old cell freed); reads: modularmode, modulus, the mode flags
void trivial(std::int32_t n, std::int32_t r, quolyptr m);

// *m := binomial(n, r) by the factorial formula n! / r! / (n - r)!, with
// r = 1 giving n and r = 2 (n <= 16384) n(n - 1)/2 in a word. Reports
// error 87 for n > 1754 first; when it returns, goes on.
// Precondition: 0 <= r <= n; big-integer mode.
// *m: replaced (old cell freed); reads: factnum, facts, token
void standard(std::int32_t n, std::int32_t r, quolyptr m);

// The index in binom of binomial(n, r): off(n div 3) + r.
// Precondition: as from_table.
std::int32_t binom_index(std::int32_t n, std::int32_t r);

}  // namespace tavrin
