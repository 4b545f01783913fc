// Taking polynomials apart: the coefficient of given powers or of a
// monomial, the quotient of the part divisible by a monomial, the part of a
// given total degree, the leading coefficient and leading monomial, moving a
// value to lower or higher variables, and the content.
//
// Level 1 is the top variable. A pad term (exponent 0, not a leaf, no
// further term) carries a polynomial that does not involve its level's
// variable. A monomial argument is a polynomial with one term on every
// level; only its variables and exponents matter, a number standing for the
// monomial 1.
//
// Where a routine takes a source cell x and a result cell n: *n nil means
// the source came by reference and is left alone (the answer is built as a
// copy); *n holding the value means x is n and the work is done in place.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// *n holds a value v that may be shared (neither freed nor changed): the
// remaining arguments of the coefficient form are read and *n := a new
// value, the coefficient asked for. mcoef: a monomial form, the coefficient
// (mfact false) or the cofactor (mfact true); otherwise the exponent list.
void quoly_get_coef(textptr inf, quolyptr n, nameptr* flag, bool mcoef, bool mfact);

// Exponent list "," e1 "," e2 ...: *ans := the coefficient of those powers
// of the top variables (no exponent: the leading coefficient in the top
// variable). ok: a first e that is no number is a variable whose exponent
// follows (general_coef). Errors 155, 156.
void get_coef(poly n, poly* ans, textptr inf, nameptr* flag, bool ok);
// "," m ["," v]: *ans := the coefficient of monomial m in n, the variables
// of v also in play (mcoef), or the cofactor of m (n's terms divisible by
// m, divided by it). Errors 192, 307, 320, 321.
void get_Mcoef(poly n, poly* ans, textptr inf, nameptr* flag, bool mcoef);
// *s := the coefficient of monomial p in n, where the variables in play are
// those of p or r: each must have p's exponent (0 when only in r) and
// leaves the answer; the other variables stay with all their terms.
// n, p, r: kept; *s: set (a fresh polynomial, 0 when nothing is left).
void extract(poly n, poly p, poly r, poly* s);
// *s := the part of n divisible by monomial p, divided by p (nil when
// empty); p's first variable lies height levels below n's. Error 307.
void cullout(poly n, poly p, poly* s, std::int16_t height);
// The part of p (a list at `level`) whose exponents in the levels marked in
// searchlist (up to `last`) add up to deg; nil when empty. Consumes p.
poly total_degree(poly p, std::int32_t level, std::int32_t deg, const bool* searchlist,
                  std::int32_t last);
// *n (not a number) := its part of total degree exactly k in the variables
// listed in the cells of the dense array q. Errors 242, 29, 311.
void do_total_degree(quolyptr n, arrptr q, std::int32_t k);

// *n := the leading coefficient of *x in its top variable (a number when
// constant).
void quoly_leading_coef(quolyptr x, quolyptr n);
// *n := the leading monomial: every level cut to its leading term; with y,
// only the levels above y's variable. Errors 196, 282.
void leading_mon(quolyptr x, quolyptr y, quolyptr n);
// *n moved k levels down (every variable replaced by the one k below).
// Errors 273, 277.
void lower_quoly(quolyptr n, std::int32_t k);
// *n moved k levels up; its top k levels must be pads. Errors 273, 275.
void raise_quoly(quolyptr n, std::int32_t k);
// *n := the content of *x with respect to the level *m (a variable or a
// level number; nil: *x's top variable). Errors 196, 282, 312, 344, 345.
void call_content(quolyptr x, quolyptr n, quolyptr m);

}  // namespace tavrin
