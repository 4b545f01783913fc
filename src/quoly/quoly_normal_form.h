// The normal form of values and the routines that establish it: exact
// division of a numerator and a denominator by their GCD (reduce), the
// integer contents (sanitize), the GCD entries of the value code (Lpolygcd,
// Lpolygcd2), the one-argument GCD built-in (gcd_0_poly) and the word-size
// normal form (lint_check_quoly, lint_normal_form). check_quoly, the general
// normaliser, is declared in quoly.h.
//
// A value (quolynode) is a number (numb, ncoef) or a rational function
// numer / denom (denom nil meaning 1). Normal form in big-integer arithmetic:
//   1. zero and every constant are number values, never quotients; a value
//      that becomes a number keeps its node (every holder sees the change);
//   2. otherwise numer is a polynomial and denom is nil or a polynomial or
//      integer constant other than 1;
//   3. numer and denom have no common factor of positive degree;
//   4. their integer contents are coprime;
//   5. the leading number of denom is positive; over a coefficient field of
//      modded-out levels (field_depth > 0) a denominator whose leading
//      coefficient over the field is a field element has been multiplied,
//      with the numerator, by that coefficient's inverse;
//   6. a denominator lying wholly in the field levels has been inverted into
//      the numerator: at most an integer denominator remains;
//   7. rat is set exactly when numer and denom are both integer constants;
//   8. in Laurent mode the numerator may carry negative exponents, the
//      denominator has no monomial factor;
//   9. both are reduced modulo the relations of polynames.
// Word-size arithmetic (lintmode: residues, the floating mode, plain words):
// there is no integer content; the denominator is nil or a monic polynomial
// of positive degree (a constant denominator is divided into the numerator),
// and rat is never set.
//
// Every GCD asked here is polygcd(.., leave_early false, do_fast true,
// allcons true, polynames, usave, vsave and canreset true); a GCD that does
// not come back (nil) counts as 1. Laurent shifts (poly_laurent.h) go back
// to the free list on every exit, an unwinding error included.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "poly/poly_modout.h"  // ReduceFlags

namespace tavrin {

// ---- Exact division by a common factor ---------------------------------------------------
// *num := *n / *com and *den := *m / *com, exactly, for a non-constant common
// factor *com of *n and *m (a constant *com divides coefficientwise).
// Big-integer arithmetic with field levels (field_depth > 0): pseudo_reduce
// (poly_modout.h) with the internal errors " reduce 3. Try setting &_t to
// 0.", " reduce 4. Try setting &_t to 0." and "non-numbers. reduce.", the
// multipliers cancelled into the other side. Without el_n / el_m and the
// verdict hook, when *com is the GCD of *n and *m the flat engines just
// found, their cofactors (flat_gcd_cofactors, gcd/flat_gcd.h) are the
// quotients and nothing is divided. Every other mode: each side by
// trial_poly_divide (without el_n / el_m; in floating mode gen_poly_divide,
// its answer taken as exact) or by gen_poly_divide (with el_n / el_m, around
// a Laurent shift of that side in Laurent mode: the quotient is shifted
// back, and the side itself when nflag / dflag is set or the side failed).
// alg_c_count := 0 and original_depth := 1 after each side. When a side does
// not divide, the GCD is recomputed into *com by polygcd(*n, *m) and the
// division starts over, after exactly one of (tested in this order, both el
// flags clear for the first two): try_rat := false (warning 1 on the n side,
// 2 on the m side), rat_yes := false (3, 4), nothing (5, 6); the warnings
// print only with verbose. After reduce_retry_limit starts over in one call
// the internal error "reduce retry limit" opens a nested level; if the user
// resumes, *num and *den become *n and *m undivided (the value is kept,
// not in lowest terms). Modulo a composite modulus a side that the GCD
// computed again (without the probabilistic tests) does not divide is
// error 85 instead, resumed the same way.
// The quotients are formed before the old *num and *den are freed, so num
// may be n and den may be m (in place), or other cells (whose old values
// are freed).
// *n: kept (shifted instead with el_n, laurent and no nflag, when num is
// another cell); *m: the same with el_m, dflag; *com: kept unless a retry
// recomputes it; *num, *den: overwritten.
// reads: mode flags, laurent, field_depth, polynames, verbose; writes:
// try_rat, rat_yes, alg_c_count, original_depth
void reduce(poly* n, poly* m, poly* com, poly* num, poly* den, const ReduceFlags& flags);

// How reduce divided, counted since start (a test and benchmark hook):
// cofactors: the quotients came with the GCD from the flat engines
// (flat_gcd_cofactors), no division made.
struct reduce_count_record {
  long cofactors;
};
extern reduce_count_record reduce_counts;

// Starts over of one reduce call before it gives up.
constexpr int reduce_retry_limit = 20;

// Test seam: when set, every exact-division verdict of reduce (side 1 the
// numerator, 2 the denominator; exact as found) passes through it and its
// answer is used instead. nil in use.
using reduce_verdict_hook = bool (*)(int side, bool exact);
extern reduce_verdict_hook reduce_verdict;

// ---- Integer contents and GCD entries ------------------------------------------------------
// Divides q's numerator and denominator by the GCD of their integer contents
// when it is not 1 (cancel_contents, poly_modout.h). q must have a
// denominator. q: changed in place. reads: mode flags
void sanitize(quoly q);

// GCDs the value code has asked polygcd for since start (a test and
// benchmark hook).
extern long value_gcd_requests;

// *r := the GCD of *u and *v by polygcd over pt. In Laurent mode *u's
// negative exponents are shifted away for the GCD, and *v's when v_odd is
// set; both come back as they were. The GCD is not shifted.
// *u, *v: kept; *r: overwritten (not the cell of *u or *v).
// reads: laurent, polynames; writes: alg_c_count := 0, original_depth := 1
void Lpolygcd(poly* u, poly* v, poly* r, bool v_odd, polypt pt);

// *r := the GCD of *u and *v; in Laurent mode both are shifted away first
// and left in the shifted form.
// *u, *v: changed in Laurent mode, else kept; *r: overwritten.
// reads: laurent; writes: alg_c_count := 0
void Lpolygcd2(poly* u, poly* v, poly* r, polypt pt);

// *x := the GCD of *n's numerator with itself as a value: a number value
// when it is a constant (a number *n gives its absolute value). A value
// with a denominator is user error 203 with token; if the report returns,
// the numerator alone is used. In Laurent mode the numerator is shifted away
// for the GCD and back after.
// *n: kept; *x: overwritten (its old value freed; may be n's cell).
// reads: laurent, polynames, token; writes: alg_c_count := 0
void gcd_0_poly(quolyptr n, quolyptr x);

// ---- Word-size arithmetic ------------------------------------------------------------------
// The normal form of the quotient *q in place in word-size arithmetic
// (lintmode): a denominator that is not a constant is divided with the
// numerator by their GCD (Lpolygcd with v_odd = q_odd; reduce with el_n =
// laurent, el_m = q_odd; a numeric GCD is a unit and ignored); a constant
// denominator c is divided into the numerator (a zero c is user error 22
// with quotsign, then taken as 1) and dropped; else the field-denominator
// step, else lint_normal_form(q, q_odd). A constant numerator without a
// denominator makes the value a number (the same node).
// *q: changed in place (a rational function; a number is left alone).
// reads: mode flags, modulus, laurent, field_depth, polynames; writes:
// alg_c_count, original_depth
void lint_check_quoly(quolyptr q, bool q_odd);

// q's denominator made monic, and with laur its monomial factor moved into
// the numerator (clear_bads from 2147483647 on the denominator, the
// numerator shifted the other way, then reduced by the relations above the
// field when modout_above_field is set). In order:
//   1. the field-denominator step when it applies (and ends the work when
//      an inverse came back);
//   2. floating mode: lc := the denominator's numeric leading coefficient
//      (0.0 is user error 22 with quotsign, then 1.0); both divided by it;
//      word mode outside modular arithmetic: user error 284 with token
//      (nothing changes if the report returns); modular arithmetic: lc over
//      the field levels (field_leading_coef) when field_depth > 0; a field
//      element lc: both multiplied by the numerator of its inverse
//      (clear_field_leading_coef); a residue c: 0 is user error 22 with
//      quotsign (then 1), a residue without inverse (composite modulus)
//      user error 85 with quotsign (nothing changes if the report returns),
//      else the denominator's numbers times c^-1 (divide_thru) and the
//      numerator's too (the field inverse in characteristic 2);
//   3. the Laurent step;
//   4. a denominator that is now a constant is divided into the numerator
//      and dropped, and a constant numerator makes q a number.
// q: changed in place (the same node; it may become a number value); a
// number value or a value without denominator only gets step 4.
// reads: mode flags, modulus, finf, field_depth, polynames,
// modout_above_field, token, quotsign
void lint_normal_form(quoly q, bool laur);

}  // namespace tavrin
