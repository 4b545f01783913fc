// Kronecker's substitution for the IntPoly routines: a polynomial packed
// into one integer, slot i (s 64-bit words) at word i s, and back. Private
// to poly/ (intpoly.cpp, intpoly_divide.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "poly/intpoly.h"

namespace tavrin::detail {

// The coefficients of a packed into one signed integer, slot i (s words) at
// word i * s: the positive coefficients' sum minus the negative ones'.
// *negative := the value is negative; returns its magnitude (the slots
// must hold every coefficient).
std::vector<IntPoly::word> pack_slots(const IntPoly& a, std::int32_t s, bool* negative);

// The polynomial of degree at most d packed in x[0 .. n) (slot k of s words
// at word k s, in balanced form: a slot at or above half its range is
// negative and borrows one from the next), negated when flip. *fits (when
// given) := the value needs no slot above d (x holds nothing beyond slot d
// and slot d borrows nothing), so that the result's value at 2^(64 s) is
// the packed integer itself.
IntPoly unpack_slots(const IntPoly::word* x, std::int32_t n, std::int32_t d, std::int32_t s,
                     bool flip, bool* fits = nullptr);

// One attempt of intpoly_pseudo_divrem: c^k a = *q b + *r (deg a >= deg b
// >= 1, k = deg a - deg b + 1) with the multiplier given as the magnitude
// ck and its sign (ck = 1 asks for the division over the integers, a = q b
// + r, when the quotient over the rationals has integer coefficients).
// A = a(X) ck and B = b(X) at X = 2^(64 s), s words holding `bits` bits;
// the quotient A / B rounded to the nearest integer gives q(X), the rest
// r(X). true when the result is proven (the slots hold q and r, and the
// bound of intpoly_divide.cpp's comment holds), false otherwise (a slot too
// narrow, or no such division), *q and *r then untouched; q or r may be nil.
bool pseudo_divrem_on_slots(const IntPoly& a, const IntPoly& b,
                            const std::vector<IntPoly::word>& ck, bool ck_negative,
                            std::int64_t bits, IntPoly* q, IntPoly* r);

}  // namespace tavrin::detail
