// Products in a tower of two adjoined variables modulo a word prime: the
// operands as dense arrays, multiplied in one transform product by
// Kronecker's substitution, and reduced by the relations level by level.
//
// The level pol (variable s) and the level below it (variable t) may each
// hold a relation; at least one does. A relation is monic: s^E + sum r_k
// s^k with r_k polynomials in t, or the number leaf c (s^E = c); the
// relation of t has number coefficients. The product of the operands is
// packed with one row of t-coefficients per power of s, a row wide enough
// for the product's t-degree, so that one product of one-variable residue
// vectors (dense_mul) gives every coefficient. The rows of s-degree E and
// more are then divided out from the top (each quotient row first reduced
// by t's relation, then its multiples by the r_k added into the rows
// below), and every row left is reduced by t's relation. A monic division
// has one remainder, so the result is the normal form the term-list routes
// of poly_mult give.
#pragma once

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *p := n * m at the level pol, reduced by the relations of pol and of the
// level below it, when: modular arithmetic with a word prime (not GF(2^k),
// not floating, not Laurent); n and m are polynomials in pol's variable
// whose coefficients are polynomials in the next level's variable with
// number coefficients, each of degree below its level's relation; the
// relations are as above; the product of the operands' leaf counts is at
// least tower_mult_terms; and the packed product has at most four times
// that product of leaf counts and at most 2^27 coefficients. False, *p
// untouched, otherwise.
// n, m: kept (may be the same); *p: overwritten when true.
// reads: mode flags, modulus, mod_is_prime, finf, laurent, tower_mult_terms
bool tower_poly_mult(poly n, poly m, poly* p, polypt pol);
bool tower_poly_mult(poly n, poly m, poly* p, polypt pol, const Ring& ring);

}  // namespace tavrin
