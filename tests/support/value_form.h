// The normal form of values for tests: a checker of every rule a value
// (quolynode) must keep, in the current ring and over the adjoined
// variables, and the value of a value at a point of rationals.
#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/records.h"
#include "support/ratref.h"
#include "support/refpoly.h"

namespace tavrin::test {

// Checks the normal form of q in the current ring:
// - a number value holds a valid number; otherwise numer and denom (nil
//   allowed) are valid polynomials, the numerator is not 0, a value without
//   denominator is not a constant, and a denominator is not 1 or 0;
// - big-integer arithmetic: rat exactly when both are constants, the
//   leading number of the denominator positive, the integer contents of
//   numerator and denominator coprime;
// - word-size arithmetic (lintmode or flotemode): rat false, no constant
//   denominator, the denominator monic (its numeric leading coefficient 1);
// - Laurent mode: no negative exponent and no monomial factor in the
//   denominator;
// - with coprime_check, numerator and denominator coprime: a second GCD
//   (polygcd over polynames) is a constant.
::testing::AssertionResult normal_value(quoly q, bool coprime_check = true);

// q as numerator and denominator over the adjoined variables (a number:
// itself over 1; no denominator: 1), read in the current mode.
std::pair<RefPoly, RefPoly> value_parts(quoly q);

// The value of q at the point (one rational per adjoined variable, top
// first) in big-integer arithmetic; nullopt when the denominator vanishes.
std::optional<RatRef> value_at(quoly q, const std::vector<RatRef>& point);

}  // namespace tavrin::test
