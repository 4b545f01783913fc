// The normal form of values for tests: a checker of every rule a value
// (quolynode) must keep, in the current ring and over the adjoined
// variables, and the value of a value at a point of rationals.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/records.h"
#include "support/poly_support.h"
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

// The value of q modulo p at a point of residues, q read in modular
// arithmetic modulo p; nullopt when the denominator vanishes there.
std::optional<std::int64_t> value_mod_at(quoly q, const std::vector<std::int64_t>& point,
                                         std::int64_t p);

// The value as text: "number 3", or the numerator, " / " and the
// denominator over the adjoined variables, with " rat" when the flag is
// set. Numbers are read as number_value reads them.
std::string value_text(quoly q);

// Every node, link and limb of a value, for node-for-node comparisons.
std::string value_shape(quoly q);

// A copy of the value q.
Value copy_of(quoly q);

// A value from "n" or "n / d" over the adjoined variables, brought to
// normal form by check_quoly (Laurent switch off).
Value make_value(const std::string& s);

}  // namespace tavrin::test
