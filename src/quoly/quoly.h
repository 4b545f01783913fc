// Rational-function values: the operations the polynomial arithmetic calls.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *p := a new value whose numer is the inverse of q modulo the relations of
// the levels at and below pp, and whose denom is the common number
// denominator of that inverse (nil meaning 1); q is left unchanged.
void poly_mod_invert(poly q, quolyptr p, polypt pp);

// Brings *q to normal form in place (common factors cancelled, signs and
// leading coefficient normalised, reduced modulo the relations); q_odd is
// the Laurent switch.
void check_quoly(quolyptr q, bool q_odd);

// Reduces *p in place modulo the relation *modder (degree expon) of the
// variable at position depth (from 1) of the level list pp; *modder is left
// unchanged.
void mod_out_poly(poly* p, poly* modder, std::int32_t depth, std::int32_t expon, polypt pp);

// *n := 1 / *n in place, in normal form.
void quoly_reciprocal(quolyptr n);

// *prod := pv * dummy as rational functions over the variable list pp2.
void spec_quoly_mult(quoly pv, quoly dummy, quolyptr prod, polypt pp2);

// Whether compute_power may raise by squaring: false exactly when, following
// m down through lists of a single term (into each term's coefficient), it
// meets a list of two or more nodes one of whose terms has a coefficient
// that is not a constant; always true with fewer than two adjoined variables
// or while relations are in force.
// m: kept; reads: polynames, pseudo_polynames
bool bysquaring(poly m);

// *ans := n^e modulo the prime modulus by square-and-multiply; an exponent
// of 16 or more is first reduced modulo modulus - 1 (a reduced exponent 0
// gives 1, and 0 for n = 0). n: a residue; e >= 0.
// reads: modulus, smallmodulus, finf
void mod_number_power(std::int32_t n, std::int32_t e, std::int32_t* ans);

}  // namespace tavrin
