// The GCD of word arrays above wide_hgcd_words: the half-GCD recursion
// (word_hgcd.cpp) on Lehmer's step (word_gcd.cpp), which stays the base
// case and finishes every GCD.
#pragma once

#include <cstdint>
#include <vector>

#include "numbers/word_array.h"

namespace tavrin::kit {

using sword = std::int64_t;

// A 2x2 matrix of Euclidean steps (A B; C D) mapping a pair (u, v) to
// (A u + B v, C u + D v); entries below 2^62 in magnitude, of alternating
// signs along each row, determinant +-1.
struct Matrix {
  sword A, B, C, D;
};

// Bits [pos, pos + 124) of a (n words; words above n read as 0), pos >= 0.
dword bits124(const word* a, std::int32_t n, std::int64_t pos);

// The Euclidean quotients shared by every pair of numbers whose leading
// bits are x >= y (each below 2^124), as m; false when not even one
// quotient is certain.
bool lehmer_matrix(dword x, dword y, Matrix& m);

// Bits [pos, pos + 128) of a, the same way.
dword bits128(const word* a, std::int32_t n, std::int64_t pos);

// The steps that keep both values of every pair with leading bits x, y
// (below 2^128) positive, as m (see word_gcd.cpp); false when there is
// none. The entries of m are below 2^62 and m has determinant 1; unlike
// lehmer_matrix the reduced pair may come out in either order.
bool double_word_matrix(dword x, dword y, Matrix& m);

// wgcd by Lehmer's method alone on the certain quotients of the leading
// 124 bits (lehmer_matrix), same contract: the oracle for the routes below.
std::int32_t wgcd_lehmer(word* g, word* a, std::int32_t na, word* b, std::int32_t nb);

// wgcd by Lehmer's method on the matrices of double_word_matrix (the base
// case of wgcd), same contract.
std::int32_t wgcd_double(word* g, word* a, std::int32_t na, word* b, std::int32_t nb);

// wgcd from wide_hgcd_words words of the longer operand: half-GCD
// reductions of the leading words, each applied to the whole pair, down
// to wide_hgcd_words; Lehmer's method from there. Same contract as wgcd.
// reads: wide_hgcd_words, hgcd_base_words and the product thresholds
std::int32_t wgcd_halves(word* g, word* a, std::int32_t na, word* b, std::int32_t nb);

// A signed word array: a magnitude (normalised; zero is empty) and a sign
// (zero is never negative).
struct signed_words {
  std::vector<word> mag;
  bool negative = false;
};

// The extended GCD of x and y, normalised with 0 < x <= y: g := gcd(x, y)
// and the cofactors s, t of s x + t y = g that Euclid's algorithm on (y, x)
// ends with: (1, 0) when x divides y; otherwise the unique s with |s| <
// (y/g)/2 (any two cofactors of x differ by a multiple of y/g, and the
// quotient of Euclid's last step is at least 2) and t = (g - s x)/y. The
// pair is halved by hgcd on the whole pair (a division where the lengths
// differ much) down to 128 bits, finished by Euclid's steps there, and the
// cofactors carried back through the reductions; those that come out
// outside the range are brought into it. g, s, t: overwritten.
// reads: hgcd_base_words and the product and division thresholds
void wgcdext(const word* x, std::int32_t nx, const word* y, std::int32_t ny, std::vector<word>& g,
             signed_words& s, signed_words& t);

}  // namespace tavrin::kit
