// Sums and differences of values, and the arithmetic of rational numbers.
//
// Operands and results are values in normal form (quoly_normal_form.h). A
// value is of one of four kinds: a number (numb); a rational number (rat:
// numerator and denominator one number leaf each, the denominator positive
// and above 1, the two coprime; big-integer arithmetic only); a polynomial
// (no denominator); a fraction (a denominator). "Word-size" below means
// lintmode or flotemode: there, rat is never set and number sums are formed
// on the words: modular arithmetic by mod_add / mod_sub (exclusive or in
// characteristic 2), so every residue stays in 0 .. modulus - 1; floating
// mode on the long doubles; plain words as 32-bit sums, one that would wrap
// being user error 32.
//
// Only what a sum can create is cancelled: a number, a rational number or a
// polynomial combined with anything takes no GCD (the denominator kept is
// still normalised); rational numbers use one GCD of the denominators and
// one of the new numerator with it; fractions with polynomial denominators
// take the GCD g of the denominators (none when they are equal) and then
// only the GCD of the new numerator with g (none when g is 1).
//
// Ownership (the contract every caller checks its calls against):
//   best_quoly_add/sub(n, m)       *n := *n ± m; m used up (its nodes freed
//                                  or reused); *n changed (its node may be
//                                  replaced)
//   quoly_add/sub(n, m, p)         *p := n ± m; n, m kept; the old *p freed
//                                  once the result is formed, or, when it
//                                  and the result are numbers, written in
//                                  place, so p may hold n or m
//   better_quoly_add/sub(n, m, p)  *p := n ± m; n used up (its node becomes
//                                  the result or is freed); m kept; the old
//                                  *p freed unless it is n (p may hold n or m);
//                                  an error that unwinds frees n, and *p
//                                  that held n is left nil
//   fast_gen_quoly_add(n, m, add)  *n := *n ± *m, two fractions that are not
//                                  both rational; *m kept
//   general_quoly_add(n, m, q, add) *q := n ± m, two fractions; n, m kept;
//                                  *q an existing non-number node, whose
//                                  numerator and denominator are replaced
//                                  (*q may be n)
// A number result is a number value (numb) whose arr_arg is false; a value
// that becomes a number in place keeps its node.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// ---- In place: *n := *n ± m, m used up -----------------------------------------------
// reads: mode flags, modulus, finf, integerflag (best_quoly_sub: single-limb
// numbers subtracted as words), laurent, field_depth, polynames, token;
// writes: alg_c_count, original_depth, quoly_sums
void best_quoly_add(quolyptr n, quoly m);
void best_quoly_sub(quolyptr n, quoly m);

// *n := *n + *m (add) or *n - *m, both fractions with denominators, not both
// rational numbers in big-integer arithmetic. With field levels in
// big-integer arithmetic: general_quoly_add(*n, *m, n, add). Otherwise: equal
// denominators b = d give numerator a ± c over b and g = b; else g :=
// GCD(b, d), b' := b / g (in place) and d' := d / g (a numeric g divides
// both; g = 1 leaves them: coprime). Numerator a d' ± c b'; zero makes *n
// the number 0. Coprime: denominator b d. Otherwise g2 := GCD(numerator, g)
// (Laurent: the numerator shifted away for it) divides the numerator and g
// (equal denominators: the denominator); the denominator is b' (g / g2) d',
// or b' d when g2 = 1. Finishing: a denominator 0 is user error 210 with
// token (then *n := 0); a number denominator other than 1 is divided into
// the numerator in word-size arithmetic, else sets rat by the numerator; a
// denominator 1 is dropped; a constant numerator without denominator makes
// *n a number.
// *n: changed in place (the same node); *m: kept.
void fast_gen_quoly_add(quolyptr n, quolyptr m, bool add);

// *n := *n ± m (sub) in place when no step of the sum can fail once *n has
// begun to change, so that an assignment v := v ± t may form the sum in v's
// own cell instead of a copy: modulo a number (not floating) a sum of two
// polynomials; in big-integer arithmetic a polynomial, or a fraction
// over a constant, plus a polynomial, or plus a fraction over a constant
// dividing *n's (prepend_fraction_sum), every monomial of m above *n's (its
// terms go in front of *n's: no coefficient meets another); over the
// rationals two fractions of one-variable integer lists on the contiguous
// route (integer_fraction_sum), which writes *n once the sum is whole. Never modulo
// relations, with field levels or in Laurent mode. True: *n as
// best_quoly_add leaves it, m used up; false: *n and m untouched.
// An empty cell (*n nil) is declined.
// reads: mode flags, laurent, pseudo_polynames, field_depth
bool quoly_add_in_place(quolyptr n, quoly m, bool sub);

// ---- Three-argument forms -----------------------------------------------------------------
// *p := n ± m; n and m kept. quoly_sub of a value and the same node gives 0.
// reads: as best_quoly_add, integerflag for both
void quoly_add(quoly n, quoly m, quolyptr p);
void quoly_sub(quoly n, quoly m, quolyptr p);

// *p := n ± m; n used up, m kept (n and m must be different nodes).
void better_quoly_add(quoly n, quoly m, quolyptr p);
void better_quoly_sub(quoly n, quoly m, quolyptr p);

// *q := n ± m for two fractions, aware of coefficient fields: the GCD g of
// the denominators (none when equal); with a polynomial g, field_reduce
// (poly_modout.h) gives b' and d' and a number multiplier mu (mu b / g and
// mu d / g over a field, else exact); numerator a d' ± c b'; zero makes *q
// the number 0; denominator b d (coprime) or g, whose GCD h with the
// numerator (Lpolygcd; none when coprime) is divided out (reduce with el_n
// = laurent); then, when neither equal nor coprime, the denominator times
// b' d' / mu. With field levels in big-integer arithmetic, sanitize. The
// finishing of fast_gen_quoly_add (user error 210 on a zero denominator).
// n, m: kept; *q: an existing non-number node (may be n), its numerator and
// denominator replaced (it may become a number value).
void general_quoly_add(quoly n, quoly m, quolyptr q, bool add);

// Modulo relations a sum over a denominator is reduced, which can leave a
// zero numerator or one sharing a factor with the denominator (1/y + y is 0
// and 1/y + y + 1 is 1 under y^2 + 1): such a value gets its normal form,
// 0 or the fraction in lowest terms. Nothing happens without relations.
void settle_under_relations(quoly q);

// ---- Rational numbers (big-integer arithmetic) ------------------------------------------
// *p := n + m (add) or n - m for two rational numbers a/b, c/d: g1 := gcd(b,
// d) with b = g1 n1, d = g1 n2 (extgcd); com := a n2 ± c n1; g1 = 1: over b
// n2; com = 0: the number 0; else g2 := gcd(com, g1): com / g2 over (g1 /
// g2) n1 n2, the number com / g2 when that denominator is 1.
// n, m: kept; *p: an existing node (may be n or m), its parts replaced (it
// becomes a number value or a rational number, the same node).
void add_rats(quoly n, quoly m, quolyptr p, bool add);

// *p := n + m (add) or n - m for an integer number value n and a rational
// number m = c/d: (n d ± c) / d, in lowest terms without a GCD.
// n, m: kept; *p: an existing node (may be n or m), its parts replaced.
void add_numb_rat(quoly n, quoly m, quolyptr p, bool add);

// *p := n / m for a rational number n = a/b and a non-zero integer number
// value m = k: g := gcd(a, k); (a / g) / (b k / g), signs moved to the
// numerator. n, m: kept; *p: an existing node (may be n or m), its parts
// replaced.
void quot_rat_numb(quoly n, quoly m, quolyptr p);

// *p := n / m for two rational numbers a/b, c/d: 1 when they are the same
// node or equal; else g1 := gcd(a, c), g2 := gcd(d, b): (a/g1)(d/g2) over
// (c/g1)(b/g2), signs moved to the numerator, the number itself when the
// denominator is 1. n, m: kept (m is not altered); *p: an existing node
// (may be n or m), its parts replaced.
void quot_rats(quoly n, quoly m, quolyptr p);

// ---- Counters ------------------------------------------------------------------------------
// GCDs taken by the sums since start (a test and benchmark hook).
struct quoly_sum_counts {
  long denominator_gcds;  // GCDs of two denominators (polynomials or integers)
  long numerator_gcds;    // second GCDs: the new numerator against the first
  long linear_coprime;    // denominator GCDs answered 1 by a point of a linear one
};
extern quoly_sum_counts quoly_sums;

}  // namespace tavrin
