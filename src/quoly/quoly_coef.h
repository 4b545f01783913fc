// Coefficients, degrees and the splicing of values: the scalar operations
// of the coefficient, degree and codegree built-ins.
//
// Values are in normal form (quoly_normal_form.h); polynomials are the
// recursive sparse lists of poly/poly_repr.h: exponents decreasing along
// next, a number leaf last is the constant term, pads (exponent 0, one
// term) lift a polynomial free of the upper variables, a constant is one
// leaf. Levels are counted from the top variable (depth 1) down polynames.
//
// The numeric accessors read only x's numerator (x must hold a polynomial;
// callers reject numbers and fractions). Two forms, chosen by *n:
//   - *n nil: *n := a new value built from a copy of the coefficient; x is
//     kept;
//   - *n not nil (n names x's own cell): the coefficient's number is moved
//     out of the numerator, the rest of the value and any denominator are
//     freed, and *n becomes the coefficient, in the same cell.
// An absent coefficient gives the number 0 (a new value, or the old cell
// turned into 0).
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// ---- The coefficient built-in -------------------------------------------------------------
// Reads the exponent expression of the coefficient built-in: the scanner's
// next token, then a plain sum (old_expre) from inf / *flag into *v (nil on
// entry). Installed by the language; until then the stand-in reports
// "old_expre not available" (nested level) and leaves *v nil.
using coef_exponent_reader = void (*)(void* inf, nameptr* flag, quolyptr v);
extern coef_exponent_reader read_coef_exponent;

// *ans := the coefficient of v^e in n, q the variable v (a bare variable:
// no denominator, single-node lists down to a term of exponent 1 over the
// constant 1, pads counted as the height), e read from the input (after the
// current token ",") with modular mode off. Errors (with token): 315 q not
// a bare variable; 202 the current token not ","; 155 the exponent not a
// number (then e = 0); 156 it does not fit 32 bits (then nothing matches
// and *ans is 0). After 315 or 202, if the report returns, *ans := 0; when
// the reader gives no value, *ans := 0 too.
// n, q: kept; *ans: overwritten. reads: mode flags, token
void general_coef(poly n, poly* ans, quoly q, void* inf, nameptr* flag);

// ---- Numeric accessors (the two forms above) ----------------------------------------------
// The number at the end of the leading chain (first node at every level).
void quoly_leading_num_coef(quolyptr x, quolyptr n);
// The number at the end of the trailing chain (last node at every level).
void quoly_trail_num_coef(quolyptr x, quolyptr n);
// The constant term of the numerator (all variables 0), or 0.
void quoly_z_num_coef(quolyptr x, quolyptr n);
// The numeric coefficient of the monomial m (a term chain over the leaf 1,
// pads included) in the numerator, or 0. m: kept.
void quoly_mono_num_coef(quolyptr x, quolyptr n, poly m);
// The leading coefficient of the numerator with respect to the variables
// above the coefficient field (field_depth), padded back to its depth; in
// the in-place form the passed levels are trimmed to pads over it.
// reads: field_depth, polynames
void quoly_field_leading_coef(quolyptr x, quolyptr n);

// The link that holds the trailing leaf, the constant leaf, or the leaf of
// the monomial m's coefficient of the polynomial at *pp; nil when absent.
// Nothing changes.
poly* poly_trail_num_coef(poly* pp);
poly* poly_z_num_coef(poly* pp);
poly* poly_mono_num_coef(poly* pp, poly m);

// ---- Degrees ------------------------------------------------------------------------------
// *n := the highest (lowest false) or lowest degree of *qp's numerator in
// the variable at level (1: the top); a number value gives 0. The
// denominator is not looked at; in modular arithmetic the degree is taken
// as a residue. *qp: kept; *n: replaced by a number value.
void generalized_degree(quolyptr qp, quolyptr n, std::int32_t level, bool lowest);
// The lowest exponent of the variable level levels down (1: q's top list)
// in q; a constant leaf of a list counts as 0. q: kept.
std::int32_t codegree(poly q, std::int32_t level);

// ---- Conversions and splicing -------------------------------------------------------------
// Every number of q given the long-double value of its limbs (change_flote),
// in place: a number value's, or every leaf of the numerator and denominator.
// q: changed (flote fields only)
void quoly_put_flote(quoly q);
// *n := its p-th root in characteristic p (pth_root on the first level
// below the pads); the main variable above the field is user error 301 with
// token. *n: changed in place. reads: polynames, field_depth
void quoly_pth_root(quolyptr n);
// *p := *p + *q * t^m (t the top variable, m > 0) without a product: the
// shifted terms of *q are linked to (or, where exponents overlap, added to)
// *p's. *p and *q are polynomials or numbers (no denominators); m below 1
// is the internal error "splice at a power below 1" (nested level), after
// which nothing changes. *p: replaced by the sum; *q: becomes the number 1.
// reads: mode flags
void splice_poly(quolyptr p, quolyptr q, std::int32_t m);

}  // namespace tavrin
