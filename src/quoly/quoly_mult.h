// Products of values, and the products of rational numbers that the
// quotients share.
//
// Operands and results are values in normal form (quoly_normal_form.h): a
// number (numb), a rational number (rat: numerator and denominator one
// number leaf each, the denominator above 1, big-integer arithmetic only),
// a polynomial (no denominator) or a fraction (a denominator). Since both
// operands are in lowest terms, a product cancels only what can cancel:
//   - a number factor takes no polynomial GCD (big integers: the integer
//     contents of the kept denominator and the number, sanitize);
//   - equal polynomials across the fraction bar (poly_equal) cancel without
//     a GCD, and equal denominators need no cancellation at all;
//   - otherwise only the two cross pairs, a numerator against the other
//     operand's denominator, are cancelled (Lpolygcd, reduce), each GCD of 1
//     costing no copy;
//   - rational numbers by the extgcd cofactors of the cross pairs.
// Number products by mode: floating mode long doubles; modular arithmetic
// modmult (residues 0 .. modulus - 1; the field product in characteristic
// 2); word integers 32-bit products, one that would wrap being user error
// 32 (word arithmetic without a modulus reads integer arguments); big
// integers fast_mult, or with integerflag and one limb each the product of
// the two limbs when it fits a limb.
// Every product of polynomials is taken over polynames (reduced by the
// relations), a product by a constant over nilpol. A GCD is asked with
// alg_c_count := 0 and original_depth := 1 first.
//
// Ownership (the contract every caller checks its calls against):
//   fast_quoly_mult(n, m)       *n := *n * *m; *m kept (may be *n: then a
//                               copy of it is the factor); *n changed (its
//                               node may be replaced)
//   quoly_mult(n, m, p)         *p := n * m; n, m kept; the old *p freed
//                               once the result is formed, or written in
//                               place when it and the result are numbers,
//                               so p may hold n or m
// A result that is a number is a number value whose arr_arg is false.
#pragma once

#include "core/records.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

// ---- In place: *n := *n * *m --------------------------------------------------------------
// In order: two numbers multiplied into n's number; a number n: 0 stays 0,
// times a rational number m (big integers) mult_numb_rat, else n's number
// becomes the constant numerator times m's numerator over a copy of m's
// denominator (big integers: the contents of the constant and that
// denominator cancelled first; *n then holds a fresh cell, n's old one is
// freed); a number m: a rational *n gives mult_numb_rat, 0 makes *n the
// number 0, else the numerator times m's number (big integers: the
// contents cancelled first); neither a number, with a = numer(n), b =
// denom(n), c = numer(m), d = denom(m):
//   a * c;
//   a * (c/d): a = d gives c; else g := gcd(a, d): (a/g) c over d/g;
//   (a/b) * c: c = b gives a; else g := gcd(c, b): a (c/g) over b/g;
//   (a/b) * (c/d): two rational numbers by mult_rats, else
//   the product of two fractions (fast_gen_quoly_mult);
// (constant GCDs divide by poly_quot with the codes -67 / -71 and -73 /
// -79; in word-size arithmetic a constant GCD is a unit and ignored; with
// field levels in big-integer arithmetic the contents are cancelled
// (sanitize)). Finishing: a constant numerator that is 0, or without a
// denominator, makes *n a number; a remaining denominator goes through
// normal_form(*n, false) (rat set first when both are constants) in
// big-integer arithmetic, and through lint_normal_form(*n, false) in
// word-size arithmetic when relations are in force.
// In Laurent mode the operands' polynomials are shifted for the GCDs and
// divisions and shifted back: equal afterwards, possibly in other nodes.
// *n: changed (the same node, except for a number n times a value that is
// not a rational number); *m: kept.
// reads: mode flags, modulus, finf, integerflag, laurent, field_depth,
// polynames, pseudo_polynames, token; writes: alg_c_count, original_depth
void fast_quoly_mult(quolyptr n, quolyptr m);

// *n := a/b * c/d for two values that both have denominators (a =
// numer(*n), b = denom(*n), c = numer(*m), d = denom(*m)):
//   1. a = d: c = b too gives the constant numerator 1 without denominator
//      (the caller makes it a number); else numerator a copy of c and
//      check_quoly(n, false);
//   2. c = b: denominator a copy of d and check_quoly(n, laurent);
//   3. b = d: do_mults(n, c, d), no GCD (a c and b^2 are coprime);
//   4. g1 := gcd(a, d) (Lpolygcd with v_odd = laur: in Laurent mode d's
//      negative exponents are shifted away for it only when laur is set),
//      a := a/g1 in place, t1 := d/g1 (reduce, or poly_quot codes -51 /
//      -53 for a constant g1; t1 is d itself when g1 = 1);
//      g2 := gcd(c, b), t2 := c/g2, b := b/g2 in place (codes -59 / -61);
//      do_mults(n, t2, t1);
//   5. rat := not word-size, the denominator a constant and the numerator
//      a constant.
// In word-size arithmetic a constant GCD is a unit and ignored. Modulo a
// prime, with relations in force, two fractions of one variable are
// multiplied on residue arrays first (the same result).
// *n: changed (the same node; it may become a number value); *m: kept
// (a different node from *n).
// reads: as fast_quoly_mult
void fast_gen_quoly_mult(quolyptr n, quolyptr m, bool laur);

// numer(*n) := numer(*n) * n2 and denom(*n) := denom(*n) * d2 (over
// polynames), then the denominator's checks:
//   - not a constant: a zero numerator drops it; else, outside word-size
//     arithmetic with relations in force, the integer contents cancelled;
//   - the constant 0: user error 210 with token, then *n is the number 0;
//   - a zero numerator drops it;
//   - word-size arithmetic: divided into the numerator and dropped;
//   - otherwise, with relations in force, the integer contents cancelled;
//     1 is dropped, -1 dropped with the numerator negated, a negative
//     constant negated with the numerator.
// *n: changed (a value with a denominator; the same node); n2, d2: kept.
// reads: mode flags, polynames, pseudo_polynames, token
void do_mults(quolyptr n, poly n2, poly d2);

// ---- Three arguments: *p := n * m ----------------------------------------------------------
// The cases of fast_quoly_mult with n and m kept and the result built in a
// fresh cell: a number times a rational number takes mult_numb_rat either
// way round; the one-denominator cancellations use reduce with nflag and
// dflag set and the codes -143 / -149 (gcd of n's numerator and m's
// denominator) and -151 / -157 (m's numerator and n's denominator); two
// fractions go to mult_rats or gen_quoly_mult (into q); the
// finishing step as in fast_quoly_mult.
// n, m: kept (may be the same node); *p: overwritten (may hold n or m).
// reads: as fast_quoly_mult
void quoly_mult(quoly n, quoly m, quolyptr p);

// *q := a/b * c/d for two values with denominators, the steps of
// fast_gen_quoly_mult building into *q: a = d and c = b give the numerator
// 1; a = d: c over b, check_quoly(q, false); c = b: a over d,
// check_quoly(q, laurent); b = d: a c over b d; otherwise the cross
// cofactors (Lpolygcd(a, d) with v_odd = laur, reduce with el_n = el_m =
// laurent, codes -121 / -131; Lpolygcd(c, b), codes -137 / -139) and
// (a/g1)(c/g2) over (b/g2)(d/g1); then the checks of do_mults.
// n, m: kept; *q: a fresh cell (numb false, numer and denom nil) that
// receives the product (it may become a number value, the same node).
// reads: as fast_quoly_mult
void gen_quoly_mult(quoly n, quoly m, quolyptr q, bool laur);

// spec_quoly_mult(pv, dummy, prod, pp2): quoly_mult(pv, dummy, prod) with
// polynames and pseudo_polynames := pp2 and laurent and command_int :=
// false; the four are restored on every exit, an unwinding error included.
// spec_quoly_mult: declared in poly/poly_upcalls.h (the polynomial
// arithmetic calls it).

// ---- Rational numbers (big-integer arithmetic) ------------------------------------------
// *p := n * m for two rational numbers n1/n2 and m1/m2: g1 := gcd(n1, m2),
// g2 := gcd(m1, n2) (extgcd): (n1/g1)(m1/g2) over (m2/g1)(n2/g2), the
// number itself when that denominator is 1.
// n, m: kept; *p: an existing node (may be n or m), its parts replaced (it
// becomes a number value or a rational number, the same node).
void mult_rats(quoly n, quoly m, quolyptr p);

// *p := n * m for an integer number value n and a rational number m =
// m1/m2: 0 when n is 0; else g := gcd(n, m2): (n/g) m1 over m2/g, signs
// moved to the numerator, the number itself when the denominator is 1.
// n, m: kept; *p: an existing node (may be n or m), its parts replaced.
void mult_numb_rat(quoly n, quoly m, quolyptr p);

// ---- Numbers ---------------------------------------------------------------------------------
// a := a * b in the current mode (the rule above); b kept (may be a).
// reads: mode flags, modulus, smallmodulus, finf, integerflag
void number_mult_inplace(imptr a, imptr b);

}  // namespace tavrin
