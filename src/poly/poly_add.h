// Sums and differences of polynomials, products and quotients of a
// polynomial by a number, and the small number routines that go with them.
//
// Operands are the recursive sparse polynomials of poly_repr.h. Every result
// keeps the representation: exponents strictly decreasing, the constant leaf
// last (Laurent mode: negative exponents may follow it), no zero leaf inside
// a sum or as a coefficient, no term of exponent 0 over a bare leaf, zero the
// single leaf 0. nil is never a polynomial operand.
//
// Leaf arithmetic follows the mode flags, tested in this order:
//   floating: long-double sum and difference of `flote`;
//   characteristic 2 (modularmode and finf): `lint` xor `lint`;
//   modular: `lint` sum less `modulus` when the unsigned sum reaches it,
//            difference plus `modulus` when negative;
//   word (lintmode alone): `lint` sum and difference, wrapping, unreduced;
//   big integer: fastsum / fastdiff in place (medsum / meddiff for copies).
//
// The four contracts of addition and subtraction:
//   best_…      n: consumed; m: consumed; *p: set
//   better_…    n: consumed; m: kept;     *p: set
//   poly_…      n: kept;     m: kept;     *p: overwritten (may be &n or &m)
//   simplest_…  n: consumed; m: consumed; *p: set; one variable (every term's
//               coefficient a bare leaf), floating or word-modular mode
// A consumed operand's nodes are reused in the result or released; the two
// operands of a consuming variant are different polynomials. *p may be the
// cell that held n (best_poly_add(n, m, &n)) for every variant. The nodes a
// consuming variant releases go back to polygarb in one splice per call.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

// ---- Addition and subtraction ------------------------------------------------
// n + m and n - m. Contracts above. reads: mode flags, modulus, laurent
void best_poly_add(poly n, poly m, poly* p);
void best_poly_sub(poly n, poly m, poly* p);
void better_poly_add(poly n, poly m, poly* p);
void better_poly_sub(poly n, poly m, poly* p);
void poly_add(poly n, poly m, poly* p);
void poly_sub(poly n, poly m, poly* p);
// Outside floating and modular mode these fall back on best_poly_add /
// best_poly_sub.
void simplest_poly_add(poly n, poly m, poly* p);
void simplest_poly_sub(poly n, poly m, poly* p);

// ---- A polynomial plus a rational function -------------------------------------
// With t = r * denom(s) (poly_mult over polynames); no normalisation follows,
// and each finally sets (*q)->rat := not lintmode, the denominator a number
// leaf and the numerator a bare number leaf.
// no_denom: flag 0: r + s, numerator numer + t; flag non-zero: r - s,
// numerator t - numer; the denominator that of s. When *q is s, s's
// numerator is replaced in place; otherwise *q's numerator is freed and
// rebuilt and its denominator replaced by a copy of s's (a number cell or nil
// *q first becomes a rational-function cell).
// r: kept; s: kept unless *q is s; *q: changed. reads: polynames, mode flags
void no_denom(poly r, quoly s, quolyptr q, std::int32_t flag);
// s - r in place in s: numerator numer - t. *q must be the cell of s.
// r: kept; s: changed
void no_denom_minus(poly r, quoly s, quolyptr q);
// *q := s - r: *q's numerator := numer - t (the former numerator freed), its
// denominator a copy of s's. r: kept; s: kept
void no_denom_minus_2(poly r, quoly s, quolyptr q);

// ---- Products and quotients by a number, in place on every leaf -----------------
// Big-integer mode: leaf := leaf * m by fast_mult; nothing when m is the
// one-limb 1. n: changed; m: kept
void num_poly_mult(poly n, imptr m);
// As num_poly_mult; nothing when im's first limb is 1 and it has at most one.
void rat_number_mult(poly n, imptr im);
// As num_poly_mult without the test for 1.
void mult_num(poly x, imptr nm);
// Floating mode: flote := flote * m. n: changed
// fl_num_poly_mult: declared in dense/dense_upcalls.h (the array code calls it).
// Modular mode: lint := x * lint mod modulus (the field product in
// characteristic 2); nothing when x = 1. x < 1 or x >= modulus prints
// "bad x in mod_num_poly_mult, <x>, <modulus>" and reports the internal
// error "bad x in mod_num_poly_mult." (nested command level); n is then
// left unchanged. n: changed; reads: modulus, smallmodulus, finf
void mod_num_poly_mult(poly n, std::int32_t x);
// As mod_num_poly_mult without the checks (x a residue, not 0): mod_mult_num,
// and sub_mod_num_poly_mult, declared in dense/dense_upcalls.h (the array code
// calls it).
void mod_mult_num(poly x, std::int32_t nm);
// Every leaf := leaf / m exactly; nothing when m is 1 in the current mode.
// Modular: x = 0 asks for the inverse of m's residue (mod_inverse: a zero
// residue reports "bad seca." and n is left unchanged), a non-zero x is taken
// as that inverse unchecked, and every leaf is multiplied by it. Floating:
// flote / m. Word: truncating lint division (a zero divisor leaves n
// unchanged). Big: divide, a non-zero remainder reporting the internal error
// "non-0 rem, num_poly_quot" (no nested level) and keeping the quotient.
// n: changed; m: kept; reads: mode flags, modulus, finf
void num_poly_quot(poly n, imptr m, std::int32_t x);
// n1 := n1 / n2 for one number, the leaf step of num_poly_quot: floating
// flote / n2's; modular n1 times x, the inverse of n2's residue that the
// caller supplies; word a truncating lint division (nothing for a zero
// n2); big the exact division with its internal error for a remainder.
// n1: changed; n2: kept; reads: mode flags, modulus, finf
void simple_quot(imptr n1, imptr n2, std::int32_t x);

// *q := x * y. x is 1: *q overwritten with a copy of y (poly_assign).
// Otherwise *q: set (its old value is not freed): every leaf multiplied
// (modmult, floating, wrapped word or big product), zero products and terms
// whose coefficient product vanished are dropped, an exponent-0 term whose
// coefficient became a bare leaf is that leaf, an empty result is 0.
// x: kept; y: kept. reads: mode flags, modulus, finf
void scalar_by_poly(imptr x, poly y, poly* q);

// Modular mode: *ucoef, *vcoef := the leading numbers of u and v, and u,
// then v, are made monic in place (a zero leading residue reports
// "bad seca." and leaves that polynomial unchanged).
// u, v: changed; reads: modulus, finf
void monic_coefs(poly u, poly v, std::int32_t* ucoef, std::int32_t* vcoef);
// Floating mode: the same with long-double leading coefficients.
void fl_monic_coefs(poly u, poly v, long double* ucoef, long double* vcoef);

// Every exponent of every term at every level multiplied by modulus in place
// (x -> x^p); a term's coefficient is descended into unless it is a bare
// leaf. An exponent overflowing 32 bits is the user error
// exponent_overflow_error. n: changed; reads: modulus
void poly_to_prime(poly n);

// ---- Numbers ---------------------------------------------------------------------
// n3 := n1 - n2 in the current mode; big: in place by fastdiff when n3 is n1
// (same first limb) and has limbs, else meddiff into n3.
// n1, n2: kept (unless n3); n3: overwritten
void sub(imptr n1, imptr n2, imptr n3);
// q := n * m: floating, wrapped word, modmult, or the full big product.
// n, m: kept (unless q); q: overwritten
void int_mult(imptr n, imptr m, imptr q);
// num is 0 in the current mode (big: first limb 0).
bool iszero(imptr num);
inline std::int16_t imaxx(std::int16_t a, std::int16_t b) { return a > b ? a : b; }

}  // namespace tavrin
