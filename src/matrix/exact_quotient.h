// Quotients known to be exact, by Jebelean's right-to-left division: with
// d = 2^s d' (d' odd) and n a multiple of d, n / d is the residue of
// (n / 2^s) d'^-1 modulo 2^(28 L), L the quotient's digit count, found a
// digit at a time from the least significant end: each digit the residue
// times d'^-1 modulo 2^28, d' times it taken off what is left. No trial
// quotients and no normalisation; about half the digit products of the
// long division, whose remainder the caller does not need. (T. Jebelean,
// An algorithm for exact division, J. Symbolic Computation 15 (1993).)
#pragma once

#include <cstdint>
#include <vector>

#include "numbers/zint.h"

namespace tavrin {

class ExactDivisor {
 public:
  // d: kept (d != 0).
  explicit ExactDivisor(const ZInt& d);
  // n / d for a multiple n of d (precondition: the result is meaningless
  // otherwise); n: kept.
  ZInt quotient(const ZInt& n) const;

 private:
  std::int32_t shift_ = 0;          // s
  std::vector<std::uint32_t> odd_;  // d', digits base 2^28
  std::uint32_t inverse_ = 1;       // d'^-1 modulo 2^28
  int sign_ = 1;
};

}  // namespace tavrin
