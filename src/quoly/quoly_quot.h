// Quotients of values, and remainder with quotient together.
//
// Operands and results are values in normal form (quoly_normal_form.h),
// of the kinds of quoly_mult.h. Division is multiplication by the
// reciprocal with the cross pairs changed: a/b over c/d cancels the two
// numerators (g := gcd(a, c)) and the two denominators. Numbers never reach
// a polynomial GCD (rational numbers and integers cancel by extgcd
// cofactors), and the divisor is never copied to form its reciprocal: when
// both operands have denominators, the divisor's numerator and denominator
// are exchanged in place for the one product that needs them and exchanged
// back by a guard on every exit, an unwinding error included, so the
// divisor reads exactly as before after any division.
// A GCD is asked with alg_c_count := 0 and original_depth := 1 first; in
// Laurent mode both numerators are shifted for it (Lpolygcd with v_odd).
// With nogcd the GCD of the numerators is taken to be 1 (for callers that
// know them coprime or need no lowest terms); constant contents and
// rational numbers are still cancelled.
//
// Failures (the value left when a nested level that the report opened
// returns):
//   - a zero divisor (a number; 0 in every mode): user error 22 with
//     quotsign, the result the number 1;
//   - modular arithmetic, a number divisor without an inverse (a modulus
//     that is not prime): user error 85 with quotsign, the result 1 for two
//     numbers; a polynomial divided by it is left as it was;
//   - a denominator that becomes 0 (modulo relations): user error 210 with
//     token, the result the number 0.
//
// Ownership:
//   fast_quoly_quot(n, m, nogcd)   *n := *n / *m; *m kept (it may be *n:
//                                  the result is then 1); *n changed (its
//                                  node may be replaced)
//   quoly_quot(n, m, p, nogcd)     *p := n / m; n, m kept; the old *p freed
//                                  once the result is formed (p may hold n
//                                  or m)
//   quoly_mod_and_quot(n, m)       (*n, *m) := (*n mod *m, *n div *m);
//                                  both cells replaced
#pragma once

#include "core/records.h"

namespace tavrin {

// *n := *n / *m in normal form, in place. Big-integer arithmetic:
//   - two numbers: floating and word arithmetic as below; big integers:
//     n / 0 is error 22 (then 1), 0 / m is 0; with integerflag and one limb
//     each the truncated quotient of the limbs; otherwise g := gcd(n, m) by
//     extgcd and (n/g) / (m/g) with a positive denominator (the number when
//     it is 1, else a rational number);
//   - two rational numbers: quot_rats;
//   - a number n over a rational m: n times m's reciprocal as mult_numb_rat;
//     over another value c/d: 0 stays 0, else n over c (contents
//     cancelled), times d;
//   - a number m: 0 is error 22 (then 1); a rational n: quot_rat_numb; 1
//     leaves n; else n's denominator becomes m (contents cancelled) times
//     the old one;
//   - neither a number (g the GCD of a and c, or 1 with nogcd; a constant g
//     divides by poly_quot with the codes in brackets):
//       a / c         a/g over c/g                      [-89, -91]
//       a / (c/d)     (a/g) d over c/g                  [-97, -101]
//       (a/b) / c     a/g over b (c/g)                  [-103, -107]
//       (a/b) / (c/d) the product of two fractions n (d/c), in place, with m's parts
//                     exchanged;
//     with field levels the integer contents are cancelled (sanitize).
//   Finishing: a denominator 1 is dropped, -1 dropped with the numerator
//   negated; rat := both constants; a constant numerator that is 0, or has
//   no denominator, makes *n a number; otherwise normal_form(*n, laurent).
// Word-size arithmetic (lintmode): two numbers by the word rule (floating:
// quotient of the long doubles; modular: the product by the inverse of the
// divisor, extended Euclid on (modulus, divisor), the field inverse in
// characteristic 2; word integers: the quotient truncated toward zero,
// INT32_MIN / -1 wrapping), everything else by lint_quot.
// *n: changed; *m: kept (exchanged and restored).
// reads: mode flags, modulus, finf, integerflag, laurent, field_depth,
// polynames, pseudo_polynames, token, quotsign; writes: alg_c_count,
// original_depth
void fast_quoly_quot(quolyptr n, quolyptr m, bool nogcd);

// The word-size part of fast_quoly_quot for operands that are not both
// numbers (every constant a unit, so a constant GCD counts as 1):
//   - a number m: 1 changes nothing, 0 is error 22 (then 1), else the
//     numerator divided by it (poly_quot, code -83);
//   - a number n: n d over c, a constant denominator divided into the
//     numerator;
//   - otherwise the three one-denominator cases of fast_quoly_quot (reduce
//     for a polynomial GCD, else the plain products), a constant denominator
//     divided into the numerator; two fractions: in Laurent mode the
//     reciprocal d/c copied and brought to normal form (lint_normal_form
//     with laur, or c divided into d), then fast_quoly_mult; otherwise
//     the product of two fractions with a reciprocal cell sharing m's parts.
//   Finishing: a constant numerator that is 0, or has no denominator, makes
//   *n a number; a remaining denominator: lint_normal_form(*n, laurent).
// q: a fresh rational-function cell (numer, denom nil) that becomes the
// result when *n is a number (it replaces *n), else goes back to the free
// list. *n: changed; *m: kept.
void lint_quot(quolyptr n, quolyptr m, quoly q, bool nogcd);

// *p := n / m in normal form; n and m kept. The cases of fast_quoly_quot
// built in a fresh cell, with these differences: n and m the same node
// give 1 (0 / 0 is error 22); two numbers write into *p's number when *p
// holds one; m = 1 gives a copy of n; the one-denominator cases take the
// codes -163 / -167 (a / c), -169 / -173 (a / (c/d)), -179 / -181
// ((a/b) / c); two fractions go to the product n (d/c) into a fresh cell
// (quoly_mult in word-size Laurent mode). Word-size arithmetic: the nested
// lint_quot, in which a number m always divides (code -161).
// n, m: kept (m exchanged and restored); *p: overwritten (may hold n or m).
// reads: as fast_quoly_quot
void quoly_quot(quoly n, quoly m, quolyptr p, bool nogcd);

// Two numbers: *n := n mod m and *m := n div m by mod_and_div (signs and
// pos_mod as there; a zero m is error 22 with token, then the remainder 1
// and the quotient 0). Otherwise the numerators as polynomials (a number
// made a constant, denominators ignored): poly_mod_and_div(numer n, numer
// m, over polynames), remainder to *n and quotient to *m, a constant
// result a number value.
// *n, *m: replaced (the old cells freed after the results are formed).
// reads: mode flags, pos_mod, laurent, polynames, token
void quoly_mod_and_quot(quolyptr n, quolyptr m);

// ---- Integers (big-integer arithmetic) -----------------------------------------------------
// *p := a / b for big integers, b not 0: g := gcd(a, b) by extgcd, (a/g) /
// (b/g) with a positive denominator; the number itself when that is 1,
// else a rational number.
// a, b: kept; *p: an existing node (may hold a or b), its parts replaced.
void divide_integers(imptr a, imptr b, quolyptr p);

}  // namespace tavrin
