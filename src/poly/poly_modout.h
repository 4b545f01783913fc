// Reduction of polynomials and values modulo the modded-out polynomials.
//
// A modded-out level (polydata with p not nil, E = expon) holds either a
// number leaf c, meaning t^E = c, or the relation polynomial in its variable
// t, whose coefficients lie in the levels below. The bottom run of levels
// from field_depth down forms the coefficient field (field_depth 0: none);
// modout_above_field says that a level above it has a relation.
//
// Reduced form: every polynomial reduced by the relation of each level from
// the bottom up; a rational function whose denominator lies in the field is
// replaced by the numerator times its inverse, a denominator whose leading
// coefficient over the field is invertible gets an integer leading
// coefficient, the integer contents of numerator and denominator are
// coprime, the denominator's leading number is positive and, in Laurent
// mode, the denominator has no monomial factor (moved into the numerator as
// negative exponents).
//
// The reduction by one relation through all coefficient levels (mod_out_poly),
// the inverse of a field element (poly_mod_invert), the normal form of a value
// (check_quoly) and the GCD driver (polygcd) belong to the rational-function
// and GCD code (quoly/quoly.h, gcd/gcd.h); the routines here call them.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *p := *p reduced by the relations of level pt and of every level below
// it, in place (a nil level does nothing). At the bottom level (no next)
// *p is reduced by its relation, if any, by mod_out_poly at position 1 of
// the list from pt. Above it, every term whose coefficient begins with a
// term is reduced first one level down: a coefficient that became zero
// removes its term, an exponent-0 term left over a bare leaf becomes that
// leaf; an emptied list is 0. Then, when the leading exponent is not 0 and
// pt has a relation, *p is reduced by it (mod_out_poly); a polynomial that
// does not involve pt's variable is left alone at that level.
// *p: changed in place. reads: the relations of pt and below
void total_poly_modout(poly* p, polypt pt);

// *p reduced in place by the relation of every level of polynames above the
// field (depth below field_depth; every level when field_depth is 0), top
// level first, each by mod_out_poly with its position in polynames.
// *p: changed in place. reads: polynames, field_depth
void above_field_modout(poly* p);

// Some level of polynames has a relation and its field flag set.
// reads: polynames
bool doing_polymod_field();

// ---- Steps of the normal form, shared with the rational-function code ----------
// The field-denominator step applies: field levels exist (field_depth > 0),
// q has a denominator that is not a number, and the denominator lies wholly
// in the field levels (its poly_depth is field_depth or deeper).
// q: kept. reads: field_depth
bool field_denominator_applies(quoly q);
bool field_denominator_applies(quoly q, const Ring& ring);

// The field-denominator step: q := numer * (1 / denom), the inverse taken by
// poly_mod_invert over polynames (the product over polynames reduces it).
// Without a number denominator in the inverse, a constant numerator makes q
// a number; with one, it becomes q's denominator, the integer contents are
// cancelled (cancel_contents), a denominator 1 is dropped, and a constant
// numerator makes q a number (no denominator left) or sets rat. False, with
// q unchanged, when no inverse came back.
// q: changed in place (the same node). reads: polynames, mode flags
bool invert_field_denominator(quoly q);
bool invert_field_denominator(quoly q, const Ring& ring);

// Divides q's numerator and denominator by the GCD of their integer contents
// when it is not 1 (find_common_content). Nothing in word and floating arithmetic,
// without a denominator, or with a zero numerator.
// q: changed in place. reads: mode flags
void cancel_contents(quoly q);
void cancel_contents(quoly q, const Ring& ring);

// The denominator's leading coefficient over the field, c (a polynomial in
// the field levels): numerator and denominator are multiplied by the
// numerator of 1/c (poly_mod_invert over c's level, padded up to the top
// level; products over polynames), so the denominator's leading coefficient
// over the field becomes a number. Nothing when no inverse came back.
// q: changed in place. reads: polynames, field_depth, mode flags
void clear_field_leading_coef(quoly q);

// The value q (a rational function) brought to reduced form in place, in
// big-integer arithmetic, in this order:
// 1. With field levels (field_depth > 0) and a denominator that is not a
//    number: a denominator lying wholly in the field levels is replaced by
//    its inverse (poly_mod_invert over polynames), the numerator multiplied
//    by the inverse's numerator and the inverse's number denominator taken
//    as q's; contents cancelled, a denominator 1 dropped, a constant
//    numerator making q a number (no denominator left) or setting rat; and
//    the work ends. Otherwise, when the denominator's leading coefficient
//    over the field is a polynomial of the field (invertible_coef), numerator
//    and denominator are multiplied by the numerator of its inverse (padded
//    up to the top level), so the denominator's leading coefficient over the
//    field becomes an integer.
// 2. The integer contents of numerator and denominator are cancelled.
// 3. A denominator whose leading number is negative: both negated.
// 4. With laur and a denominator that is not a bare number, the lowest power
//    of every variable in the denominator moves into the numerator as
//    negative exponents; when anything moved and modout_above_field is set,
//    the numerator is reduced as by above_field_modout.
// 5. A denominator equal to 1 is dropped; then a constant numerator makes q
//    a number (no denominator) or sets rat := the denominator is a number.
// An inverse that does not come back (poly_mod_invert gives none) leaves the
// denominator as it is and the work goes on at step 2. Contents are
// cancelled in big-integer arithmetic only.
// q: changed in place (the same node; it may become a number value).
// reads: polynames, field_depth, modout_above_field, mode flags
void normal_form(quoly q, bool laur);

// Laurent mode, q a rational function with a denominator: the lowest power
// of every variable in the denominator moves into the numerator as negative
// exponents; when anything moved and modout_above_field is set, the
// numerator is reduced as by above_field_modout (normal_form's step 4).
// q: changed in place. reads: polynames, field_depth, modout_above_field
void denominator_lows_to_numerator(quoly q);

// The value *q reduced by a relation being installed on level qq: modder
// (the relation, kept), alter and md (its alternate form and its multdata,
// kept), depth and expon (the level's position in polynames and the
// relation's degree). A number value is left alone. The numerator is reduced
// (mod_out_poly over polynames); a zero numerator makes *q the number 0;
// without a denominator a constant numerator makes *q a number and the work
// ends. The denominator is reduced the same way; when it becomes zero *q is
// the number 0 and two warning lines are printed (always). Otherwise qq gets
// p, alt and multdata from *modder, *alter and *md for one check_quoly(q,
// laurent), after which the three fields are nil again (on every exit).
// *q: changed in place (the same cell). reads: polynames, laurent
void mod_out_quoly(quolyptr q, poly* modder, poly* alter, poly* md, std::int32_t depth,
                   std::int32_t expon, polypt qq);

// *p := *p reduced by the relation *modder of degree expon of level pp (used
// to build a level's multdata). A number leaf c means t^expon = c and folds
// by num_fold_poly. A polynomial relation divides over a copy of pp without
// a relation (newdummy): when its leading coefficient is invertible
// (first_coef_invrtble) *p becomes the remainder (field_coef_poly_divide in
// modular arithmetic, else pseudo_field_coef_poly_div, its multiplier
// dropped); otherwise c0^k times *p modulo the relation, c0 the relation's
// leading coefficient and k the number of reduction steps (exact for a
// monic relation). In Laurent mode the terms of negative exponent are cut
// off, shifted up by 1 + |lowest exponent| = s, reduced, multiplied by the
// s-th power of the inverse of t modulo the relation (poly_mod_invert,
// compute_power and poly_mult over pp, whose p is *modder meanwhile) and
// added back; an inverse with a number denominator is the internal error
// "laurent_fold." (nested level), after which its numerator serves; without
// an inverse the negative terms stay as they are. A relation of degree below
// 1 prints the internal error "bad m^.exp in pseudo div no q: " and the
// degree (no nested level) and leaves *p as it is. A polynomial of lower
// degree than the relation is left as it is. When no remainder comes back
// from the division services, *p is left as it is.
// *p: changed (consumed and set); *modder: kept (pp->p restored).
// reads: mode flags, modulus, mod_is_prime, laurent, field_depth
void fold_poly(poly* p, poly* modder, std::int32_t expon, polypt pp);

// The messages of pseudo_reduce's internal errors (nested levels): a
// remainder on n's side, on m's side, and a multiplier that is not a number.
struct pseudo_reduce_reports {
  const char* n_side;
  const char* m_side;
  const char* non_numbers;
};

// Division of *n and *m by their common factor *com over a coefficient
// field in big-integer arithmetic, with number multipliers: c1 n = q1 com +
// r1 by num_pseudo_div (with el_n, *n's negative exponents shifted away
// around the division and *n and q1 shifted back after); a non-zero r1 is
// the internal error reports.n_side; q1 and c1 are divided by the number
// polygcd(q1, c1) (allcons false) when it is not 1. The same for *m with el_m
// (reports.m_side). c1 and c2 must be numbers (else reports.non_numbers,
// after which nothing is written). g := polygcd(c1, c2) divides both when not
// 1. Then *num := q1 c2 and *den := q2 c1 (products over nilpol), so that
// *num / *den = *n / *m, and, when mu is not nil, *mu := c1 c2. A GCD that
// does not come back counts as 1. alg_c_count := 0 and original_depth := 1
// after each side's division.
// The old *num, *den (and *mu) are freed once the results are formed, so num
// may be n and den may be m.
// *n, *m, *com: kept; *num, *den: overwritten; *mu: overwritten unless mu is
// nil. reads: laurent, polynames; writes: alg_c_count, original_depth
void pseudo_reduce(poly* n, poly* m, poly* com, poly* num, poly* den, poly* mu, bool el_n,
                   bool el_m, const pseudo_reduce_reports& reports);

// How field_reduce and reduce (quoly/quoly_normal_form.h) treat the two
// sides n and m.
struct ReduceFlags {
  bool el_n = false;   // divide the n side by gen_poly_divide (Laurent shift)
  bool el_m = false;   // the same for the m side
  bool nflag = false;  // keep *n (shifted back after a Laurent shift)
  bool dflag = false;  // the same for *m
};

// *num := *n / *com and *den := *m / *com for a common factor *com of *n and
// *m, and the multiplier *mu, so that *num / *den = *n / *m.
// - Word mode, or no field levels: exact divisions. Without el_n by
//   trial_poly_divide (which uses *n up when nflag is false: *n := nil);
//   with el_n by gen_poly_divide, in Laurent mode with *n's negative
//   exponents shifted away first and the quotient (and, with nflag, *n)
//   shifted back after; with el_n and without nflag *n is left shifted. A
//   failure is the internal error " field_r1" (nested level), the quotient
//   then being what the division left (0 when nothing). The same for *m with
//   el_m, dflag and " field_r2". *mu is not touched.
// - Exact modes with field levels: pseudo_reduce with the reports
//   " field_r3", " field_r4" and "non-numbers. field_reduce.", and *mu :=
//   c1 c2.
// The old *num, *den (and *mu in the second case) are freed once the results
// are formed, so num may be n and den may be m.
// *n: kept with nflag (see above); *m: the same with dflag; *com: kept;
// *num, *den: overwritten; *mu: overwritten in the second case.
// reads: mode flags, laurent, field_depth, polynames; writes: alg_c_count,
// original_depth
void field_reduce(poly* n, poly* m, poly* com, poly* num, poly* den, poly* mu,
                  const ReduceFlags& flags);

}  // namespace tavrin
