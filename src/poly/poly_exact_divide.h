// Division that is known or expected to leave no remainder: by a number
// (poly_quot), by a polynomial with a check that the division is exact
// (gen_poly_divide), in place without a check (fast_poly_divide,
// fast_divide); and monic normalisation (monic_poly, divide_thru).
//
// Operands are the recursive sparse polynomials of poly_repr.h over the
// level pt of their top variable (pt->next is the level below). With
// field_depth > 0 the levels from field_depth down form a coefficient field:
// a polynomial lies in the field levels when the level of its first list
// that is not a pad (pt->depth + poly_depth - 1) is at least field_depth,
// and it is inverted through poly_mod_invert, whose inverse may carry a
// number denominator in rational arithmetic.
//
// gen_poly_divide checks and reports failure; fast_poly_divide and
// fast_divide do not check (the caller knows the division is exact) and
// work in place. A divisor's tail is negated in place during a long
// division and always restored (also when an error unwinds through the
// call).
//
// Diagnostic codes: a routine that takes `xx` prints it with its internal
// errors so that the calling site can be found; poly_quot passes xx - 1001
// to its recursive calls, fast_poly_divide 2 * xx. Codes used inside the
// polynomial arithmetic: -31 (basic_poly_divide), -37 (exact division),
// -151 (poly_div_no_q).
//
// Internal errors go through tavrin_error with a nested command level; when
// the level is left the routine goes on as its contract says.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *p := n / m for a constant m, coefficient by coefficient, each number
// divided by the rule of quot (poly_divide.h): floating quotient, truncated
// word quotient, modular product by the inverse (user errors 22 and 85 with
// quotsign), truncated big-integer quotient.
// - m = 1: a copy of n.
// - m not a constant: prints "code <xx>", the internal error "divisor not
//   number in poly quot." (nested level), "  modularmode" in word mode and
//   a line end; the result is then a copy of n.
// - A number of n's top list whose quotient is 0 prints "code <xx>" and is
//   the internal error "zero node t." (nested level); the leaf is dropped
//   (without a report in word arithmetic without a modulus, where only
//   integer arguments are read).
//   A term whose coefficient divides to 0 is dropped without a report.
// n, m: kept; *p: overwritten (may be &n). reads: mode flags, modulus, finf
void poly_quot(poly n, poly m, poly* p, std::int32_t xx);

// *q := n / m over the level pt, and *failed := whether m does not divide n.
// Failure leaves in *q either 0 or the quotient built so far (when the long
// division ended with a non-zero remainder). m must not be a constant
// (callers divide by numbers with poly_quot): "m is number in poly_divide."
// is reported except for the divisor 1 in modular arithmetic, which gives a
// copy of n. Division by an element of the field levels multiplies by its
// inverse and reports no failure. One-variable operands (or both of height
// 1) are divided by basic_poly_divide in word, modular and floating
// arithmetic. In big-integer arithmetic every division is the long division
// in which each coefficient must divide by a number leading coefficient with
// remainder 0; in the other modes a quotient coefficient of 0 (its term
// could not cancel) is a failure. One-variable operands over the integers
// (integer_operands, poly_divide_impl.h) are divided on words first
// (intpoly_divexact): a quotient found there is the long division's; when
// there is none the long division runs, for its failure and partial
// quotient.
// n: kept; m: kept (its tail negated during the call); *q: overwritten (may
// be &n); *failed: set. reads: mode flags, modulus, field_depth,
// number_polys, polynames, integer_division_degree
void gen_poly_divide(poly n, poly m, poly* q, polypt pt, bool* failed);
void gen_poly_divide(poly n, poly m, poly* q, polypt pt, bool* failed, const Ring& ring);

// *n := *n / m in place, for a division the caller knows to be exact: the
// nodes of *n become the quotient's nodes. Reported as internal errors: pt
// nil or m a number (*n left as it is), a non-zero constant *n (*n := 0), deg
// *n < deg m (*n left as it is), a remainder that cannot be divided further
// (*n := the quotient built so far).
// One-variable operands over the integers divide on words first, as in
// gen_poly_divide (*n then replaced by fresh nodes); when they do not divide
// there, the long division runs and reports.
// *n: changed in place; m: kept (its tail negated during the call).
// reads: mode flags, modulus, field_depth, integer_division_degree
void fast_poly_divide(poly* n, poly m, polypt pt, std::int32_t xx);

// Every coefficient of *p's top list divided in place by d, a number or a
// polynomial of the levels below pt (a content of *p): by poly_quot for a
// number, by fast_poly_divide over pt->next otherwise. A number leaf in the
// top list is the internal error " tp numb in fast_divide." and stays.
// *p: changed in place; d: kept. reads: as fast_poly_divide
void fast_divide(poly* p, poly d, polypt pt, std::int32_t xx);

// The environment record through which divide_thru reads its multiplier: in
// effect a pointer to an inverse modulo the modulus.
struct monic_poly_EnvRec {
  std::int32_t inverse;
};

// *q made monic in place, the factor in *r:
// - floating mode: c := the leading number; *q := *q / c; *r := c;
// - modular mode, a numeric leading coefficient v (over the field levels,
//   when there are any): *q := *q * v^-1; *r := v;
// - modular mode, a leading coefficient c in the field levels: *r := the
//   numerator of c's inverse, wrapped in pads up to *q's level; *q := *q * *r.
// A zero leading coefficient is error 22 (then taken as 1); a leading residue
// without inverse is error 85 (then *q is left as it is); outside modular
// and floating arithmetic error 284 (nothing changes).
// *q: changed in place; *r: replaced. reads: mode flags, modulus, finf,
// field_depth, token, quotsign
void monic_poly(poly* q, poly* r, polypt pt);
void monic_poly(poly* q, poly* r, polypt pt, const Ring& ring);

// Every number of u, at every level, multiplied in place by the residue
// env->inverse modulo the modulus (modmult).
// u: changed in place. reads: modulus, smallmodulus, finf
void divide_thru(poly u, monic_poly_EnvRec* env);

}  // namespace tavrin
