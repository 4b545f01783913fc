// Rational-function values: the operations the polynomial arithmetic calls.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

// *p := a new value whose numer is the inverse of q modulo the relations of
// the levels at and below pp (pp: the record of q's top level), with q's pad
// terms above it, and whose denom is nil or, in big-integer arithmetic, the
// positive integer denominator of that inverse (contents cancelled). Found
// by extended Euclid against the relation of q's main level (the level
// without its relation for the divisions, the real level for the products),
// the leftover below inverted recursively. Internal errors (nested level),
// after which *p is nil: "poly invertibility failure. q is a number",
// "... bad pp2" (q's level has no relation or is not a field level), "...
// q is not invertible" (it shares a factor with the relation); a
// denominator that is not a number after the recursion is "poly mod invert".
// q: kept. reads: mode flags, modulus, polynames, field_depth
// poly_mod_invert: declared in dense/dense_upcalls.h (the array code calls it).

// Brings *q to normal form in place (common factors cancelled, signs and
// leading coefficient normalised, reduced modulo the relations); q_odd is
// the Laurent switch.
// check_quoly: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// Reduces *p in place modulo the relation *modder (degree expon) of the
// variable at position depth (from 1) of the level list pp; *modder is left
// unchanged. depth 1: fold_poly (poly_modout.h: a compact relation by
// exponents, else the remainder over a relation-free copy of the level or
// the pseudo-remainder by the fold steps, and the Laurent tail through the
// inverse of t; the relation's tail and pp->p are restored on every exit).
// Deeper: every term's coefficient reduced one level down; a vanished
// coefficient drops its term, a pad left over a constant gives way to the
// constant; an emptied list is the zero leaf.
// mod_out_poly: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// *n := 1 / *n in place, in normal form (the same node).
// Big-integer arithmetic: a number c: 0 is user error 22 with token (then
// *n is 1), 1 and -1 stay, else the rational number sign(c) / |c|; a
// rational number a/b: a = 1 or -1 gives the number b or -b, else b/a with
// a positive denominator; a quotient: numerator and denominator exchanged
// (numerator 1 when there was no denominator), then normal_form(*n,
// laurent). Word-size arithmetic: a number: modular arithmetic the inverse
// of the residue (extended Euclid, the field inverse in characteristic 2;
// 0 or a residue without inverse is user error 85 with quotsign, then *n is
// 1); floating 1.0 / c; word integers the truncated 1 / c (0 is user error
// 22 with quotsign, then 1); a quotient: exchanged as above, a constant
// denominator divided into the numerator, else lint_normal_form(*n,
// laurent). *n: changed in place.
// reads: mode flags, modulus, finf, laurent, field_depth, polynames,
// token, quotsign
// quoly_reciprocal: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// *prod := pv * dummy as quoly_mult (quoly_mult.h) forms it over the
// variable list pp2: polynames and pseudo_polynames := pp2, laurent and
// command_int := false, all four restored on every exit (an unwinding
// error included). pv, dummy: kept; *prod: overwritten (may hold pv).
// spec_quoly_mult: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// Whether compute_power may raise by squaring: false exactly when, following
// m down through lists of a single term (into each term's coefficient), it
// meets a list of two or more nodes one of whose terms has a coefficient
// that is not a constant; always true with fewer than two adjoined variables
// or while relations are in force.
// m: kept; reads: polynames, pseudo_polynames
// bysquaring: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// *ans := n^e modulo the prime modulus by square-and-multiply; an exponent
// of 16 or more is first reduced modulo modulus - 1 (a reduced exponent 0
// gives 1, and 0 for n = 0). n: a residue; e >= 0.
// reads: modulus, smallmodulus, finf
void mod_number_power(std::int32_t n, std::int32_t e, std::int32_t* ans);

}  // namespace tavrin
