// Division of polynomials with remainder, pseudo-division, division over a
// field and divide-and-conquer division; the language's remainder "|" and
// quotient "\" on numbers, polynomials and values.
//
// Operands are the recursive sparse polynomials of poly_repr.h over the
// level pt (or pp) of their top variable; pt->next is the level of the
// coefficients (nilpol: no level applies). deg p is the exponent of p's first
// node, 0 for a leaf. `which` is '|' for the remainder; any other character
// (the evaluator passes '\\') asks for the quotient.
//
// Numbers divide by one convention, chosen by mode in the order floating,
// word (lintmode, so also modular residues), big integer:
//   quotient:  truncated toward zero (floating: the long-double quotient);
//   remainder: |n| mod |d| with the dividend's sign (floating: 0);
//   with pos_mod (my_posmod for mod_or_div) a negative remainder is raised
//   by |d|, so it lies in 0 .. |d| - 1 whatever the divisor's sign.
// Examples: 7 | -3 = 1, -7 | 3 = -1, -7 \ 3 = -2; with pos_mod -7 | 3 = 2
// and -7 | -3 = 2.
//
// Pseudo-division: c^k n = q m + r, c the divisor's leading coefficient (a
// number or a polynomial one level down) and k = deg n - deg m + 1, used
// where c cannot be inverted.
//
// Divisors (and, on the fast path of the one-variable divisions, dividends)
// are changed in place during a call: tails negated, exponents shifted or
// split, coefficients made monic. They are restored before the call
// returns, an unwinding error included, node for node. Every other operand
// is kept.
//
// Result cells are overwritten: the results are formed completely and then
// the cell's old value is freed, so a cell may hold an operand.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

// ---- Numbers -------------------------------------------------------------------------
// q := n div d and r := n mod d by the convention above (either nil when not
// wanted), a negative remainder raised when posmod. A zero d is user error
// 22 with token; if the report returns, floating divides anyway (n / 0.0,
// remainder 0.0), word and big set r := 1 (q := 1 when r is nil) and leave
// q. n, d: kept (may be q or r); q, r: overwritten, distinct.
// reads: mode flags, token
void divide_numbers(imptr n, imptr d, imptr q, imptr r, bool posmod);

// n3 := n mod n2 (which '|') or n div n2 by the convention above, raising a
// negative remainder when my_posmod. A zero n2 is user error 22 with token;
// if the report returns, n3 := 1 (word and big), or 0 for '|' and the
// long-double quotient for '\' (floating).
// n, n2: kept; n3: overwritten (may be n or n2). reads: mode flags, token
void mod_or_div(imptr n, imptr n2, imptr n3, char which, bool my_posmod);

// n3 := n1 / n2. Floating: the long-double quotient. Word without modular
// mode: the truncated quotient. Modular: n1 times the inverse of n2 by
// extended Euclid on (modulus, n2) (in characteristic 2 the field inverse
// and product); no inverse (n2 = 0 included) is user error 85. Big
// integers: the quotient of divide, truncated toward zero. A zero divisor
// (floating, word, big; in characteristic 2 a divisor not above 0 or a
// negative dividend) is user error 22. Both errors pass quotsign ("/"); if
// the report returns, n3 := n1 (floating, word, modular) or 1 (big).
// n1, n2: kept; n3: overwritten (may be n1 or n2).
// reads: mode flags, modulus, smallmodulus, finf
void quot(imptr n1, imptr n2, imptr n3);

// ---- The operators on values and polynomials ---------------------------------------------
// *p := n "|" m or n "\" m. Two numbers: by the number convention with
// pos_mod. Otherwise the divisor is m's numerator (m's denominator is not
// used) or the constant m; a rational function n divides numerator and
// denominator separately (poly_mod_or_div over polynames), a denominator
// that becomes 0 is user error 210 with token (if the report returns the
// result is the number 0), and the result is normalised by check_quoly; a
// number n gives a number when the result is a constant.
// n, m: kept; *p: overwritten. reads: polynames, pos_mod, laurent, token
void quoly_mod_or_div(quoly n, quoly m, quolyptr p, char which);

// *p := n "|" m or n "\" m over level pt. Two constants: the number
// convention with pos_mod. A constant m: coefficientwise, zero results
// dropped. A constant n: '|' a copy of n, '\' 0. In Laurent mode a negative
// exponent in n or m is user error 205 with token (if the report returns,
// *p := 0). Otherwise common pads are skipped; a divisor that lies below
// the main variable divides coefficientwise; modulo a word prime with one
// variable (or both operands of height 1) by basic_poly_divide; else '\'
// is the pseudo-quotient and '|' the remainder over a field when m's
// leading coefficient is invertible, the pseudo-remainder otherwise.
// n, m: kept; *p: overwritten.
// reads: mode flags, pos_mod, laurent, number_polys, field_depth, token
void poly_mod_or_div(poly n, poly m, poly* p, char which, polypt pt);
void poly_mod_or_div(poly n, poly m, poly* p, char which, polypt pt, const Ring& ring);

// *r, *qt := remainder and quotient together, by the case split of
// poly_mod_or_div; for two operands of positive degree outside the
// one-variable field case: fast_mod_and_div when m's leading coefficient is
// exactly 1 (n = qt m + r), else pseudo_div (c^k n = qt m + r).
// n, m: kept; *r, *qt: overwritten. reads: as poly_mod_or_div
void poly_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt);
void poly_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt, const Ring& ring);

// ---- Pseudo-division -----------------------------------------------------------------------
// c^k n = *q m + *r with k = deg n - deg m + 1 (*r only when want_rem).
// deg n < deg m: *q := 0, *r := a copy of n. When m's leading coefficient
// is invertible at pt's depth (first_coef_invrtble) the true quotient is
// taken instead: field_coef_poly_divide in modular mode, else
// pseudo_field_coef_poly_div (its multiplier dropped). One-variable
// operands over the integers (integer_operands, poly_divide_impl.h) divide
// on words (intpoly_pseudo_divrem): the same unique q and r.
// n, m: kept; *q, *r: overwritten (*r untouched without want_rem).
// reads: mode flags, field_depth, modulus, integer_division_degree
void pseudo_div(poly n, poly m, poly* q, poly* r, bool want_rem, polypt pt);
void pseudo_div(poly n, poly m, poly* q, poly* r, bool want_rem, polypt pt, const Ring& ring);

// *r := the pseudo-remainder of n by m: with want_Knuth the multiplier is
// c^(deg n - deg m + 1), as in pseudo_div; without it c^s, s the number of
// reduction steps made; with want_Knuth one-variable operands over the
// integers divide on words, as in pseudo_div. deg n < deg m: *r := a copy
// of n. A divisor of degree below 1 prints "*** Tavrin error. bad m^.exp in
// pseudo div no q: " and the degree (no nested level) and the work goes on.
// Example: x^3 by 2x^2 + 1 gives -2x with want_Knuth, -x without.
// n, m: kept; *r: overwritten. reads: mode flags
void pseudo_div_no_q(poly n, poly m, poly* r, polypt pp, bool want_Knuth);
void pseudo_div_no_q(poly n, poly m, poly* r, polypt pp, bool want_Knuth, const Ring& ring);

// *coef n = *q m + *r with *coef a constant built from the numeric
// factors that keep every step exact (big integers: each pair of leading
// numbers a, b contributes |b| / gcd(a, b)). deg n < deg m: *r := a copy of
// n, *q := 0, *coef := 1. An invertible leading coefficient of m goes to
// pseudo_field_coef_poly_div. Meant for divisions whose leading
// coefficients divide exactly one level down: a remainder there, or a
// constant term of n facing a divisor below the main variable, is an
// internal error ("rem not 0 in num_pseudo_div.", "r not 0 in num_pseudo
// poly div.", "n number in num_pseudo poly div.") with a nested level, after
// which the work goes on.
// n, m: kept; *q, *r, *coef: overwritten. reads: mode flags, field_depth
void num_pseudo_div(poly n, poly m, poly* q, poly* r, poly* coef, polypt pt);

// *q, *r := quotient and remainder when m's leading coefficient is
// invertible: a number (its inverse by the rule of quot: errors 22 and 85
// with quotsign), or an element of the field of the modded-out levels below
// pp (poly_mod_invert). Without a level below pp: basic_poly_divide. When
// no inverse comes back, *q and *r are left as they are.
// n, m: kept; *q, *r: overwritten. reads: mode flags, modulus, polynames
void field_coef_poly_divide(poly n, poly m, polypt pp, poly* q, poly* r);

// As field_coef_poly_divide in rational arithmetic, where the inverse of
// the leading coefficient (poly_mod_invert, or quoly_reciprocal of a
// number) may carry a number denominator: *p n = *q m + *r with *p a
// constant (1 when no denominator arose). When a service gives no value the
// division stops and the cells are left as they are.
// n, m: kept; *q, *r, *p: overwritten. reads: polynames, mode flags
void pseudo_field_coef_poly_div(poly n, poly m, polypt pp, poly* q, poly* r, poly* p);

// ---- One variable over a field ---------------------------------------------------------------
// *q, *r := quotient and remainder of n by m in the main variable; m's
// leading coefficient is a number (the quotient's coefficients are divided
// by it with poly_quot, diagnostic code -31). With cancall, in GF(2^8) and
// GF(2^16), a dividend of degree char2_vector_degree or more and a divisor
// of more than fast_mult_cut terms divide on element vectors
// (dense_char2_divrem). Otherwise with cancall, modulo a prime
// in modular mode, for one-variable operands whose divisor's degree is
// above poly_cutoff, or above 2 with a dividend more than 20 times its
// degree (the fast path): on residue vectors (residue_divrem) outside
// characteristic 2, without negative exponents, from a divisor degree of
// dense_newton_degree or a dividend degree of residue_division_degree on,
// unless both operands are sparse (residue_division_span); otherwise n
// and m are made monic in place and fast_mod_and_div divides. Otherwise
// long division (schoolbook).
// n, m: kept; *q, *r: overwritten.
// reads: mode flags, modulus, mod_is_prime, poly_cutoff, div_poly_cutoff,
// dense_newton_degree, residue_division_degree, residue_division_span,
// char2_vector_degree, fast_mult_cut
void basic_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall);
void basic_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall, const Ring& ring);

// The same for one-variable polynomials over word residues modulo modulus
// (a prime when mod_is_prime); the schoolbook divides by multiplying by the
// inverse of m's leading coefficient, taken once.
void simplest_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall);
void simplest_poly_divide(poly n, poly m, poly* q, poly* r, bool cancall, const Ring& ring);

// *r, *qt := remainder and quotient of n by the monic m, by divide and
// conquer (dn = deg n, dm = deg m):
//   4 dn <= 9 dm         step K: m and n split at t^k and t^2k,
//                        k = (dm + 1) div 2, two half-size divisions;
//   9/4 < dn/dm < 10/3   step S: m shifted up by s = min(dn div 2 - dm,
//                        3 dm div 5), step K, then step K on the remainder;
//   otherwise            n split at t^(2 dm), the top divided recursively.
// Step K and step S fall back on the base case (simplest_poly_divide
// without the fast path when from_basic, else pseudo_div at pt) when
// 3 dn < 4 dm (step K), when m has fewer than div_poly_cutoff terms, or
// when m is a constant; so does an operand with a negative exponent in
// Laurent mode. from_basic:
// one-variable word residues (the simplest_ sums and products); otherwise
// any coefficients with the general sums and products at pt.
// n, m: kept (split and rejoined in place during the call); *r, *qt:
// overwritten. reads: mode flags, modulus, div_poly_cutoff, laurent
// fast_mod_and_div: declared in dense/dense_upcalls.h (the array code calls it).

// *r := the remainder of n by m, one variable, modular or floating mode.
// In GF(2^8) and GF(2^16) as basic_poly_divide on element vectors.
// Outside floating mode, operands of more than fast_mult_cut terms, each
// with more terms than half its degree, go to the dense arrays
// (simplest_div_no_q) up to deg n = fast_gcd_size, and modulo a prime
// outside characteristic 2, without negative exponents, to residue vectors
// (residue_divrem) past it, or wherever Newton's iteration pays
// (newton_division_pays); otherwise long division without a quotient. m's
// leading coefficient must be a number: otherwise the internal error
// "divisor not number in fastest poly quot." (nested level) and *r := a
// copy of n.
// n, m: kept; *r: overwritten.
// reads: mode flags, modulus, mod_is_prime, fast_mult_cut, fast_gcd_size,
// dense_newton_degree, char2_vector_degree
void poly_div_no_q(poly n, poly m, poly* r);
void poly_div_no_q(poly n, poly m, poly* r, const Ring& ring);

// *p := n times the inverse modulo modulus of the constant m (a copy of n
// when m is 1). A non-constant m is the internal error "divisor not number
// in fastest poly quot." (nested level) and gives a copy of n.
// n, m: kept; *p: overwritten. reads: modulus, smallmodulus, finf
void fastest_poly_quot(poly n, poly m, poly* p);

// Which route each division took, counted since start (a test hook).
struct divide_route_counts {
  long long_division;  // schoolbook steps of basic_/simplest_poly_divide, poly_div_no_q
  long monic_fast;     // the fast path of basic_/simplest_poly_divide
  long dense_no_q;     // poly_div_no_q on the dense arrays
  long split;          // fast_mod_and_div's split at t^(2 dm)
  long step_s;
  long step_k;          // step K splits (not counting its base cases)
  long base_case;       // base cases of the divide and conquer
  long pseudo_loop;     // the pseudo-remainder loop
  long field_divide;    // field_coef_poly_divide's long division
  long newton;          // the monic division on residue vectors
  long integer_exact;   // exact quotients of integer lists on words (trial, gen_, fast_poly_divide)
  long integer_pseudo;  // pseudo-divisions of integer lists on words
  long char2;           // element vectors in GF(2^8) / GF(2^16) (dense_char2.h)
};
extern divide_route_counts divide_routes;

}  // namespace tavrin
