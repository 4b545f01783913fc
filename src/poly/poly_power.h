// Powers of polynomials and the folding of products by the relation of a
// modded-out level.
//
// A modded-out level (polydata with p not nil, E = expon) holds either a
// number leaf c, meaning t^E = c (a numeric relation, folded by exponent
// arithmetic: t^(qE + e) = c^q t^e), or the relation polynomial in t. For a
// polynomial relation, multdata holds t^k reduced modulo the relation for k
// from 2E - 2 down to E, in decreasing order, so a product of reduced
// operands folds in one pass; higher degrees go through the remainder by the
// relation (poly_divide.h).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *n := (*n)^expont, every product by poly_mult at pol (so folded by its
// relations). expont >= 0; exponent 0 gives 1, except that in modular
// arithmetic with a prime modulus a zero constant stays 0. Modulo a prime,
// a constant's exponent is reduced modulo modulus - 1 and a polynomial
// raised to at least the modulus goes through poly_mod_prime (when no
// relations are in force, or modulus < 10). Over the integers, a
// one-variable polynomial of 2 <= t <= power_recurrence_terms terms, of
// degree below power_recurrence_fill t, whose power has a degree of at
// least power_recurrence_spread t^2, with no relation from pol down, goes
// by the recurrence of its power's coefficients
// (intpoly_power; the same polynomial). With two or more
// variables and no relations, a polynomial whose top list has several
// nodes and a non-constant coefficient (or a single term for which
// bysquaring says no) is raised by repeated multiplication; otherwise by
// squaring. A single term c v^e over a number (exact arithmetic, a prime
// modulus but not a field of characteristic 2, no relations, Laurent mode
// or field levels) becomes c^k v^(e k) at once while e k fits in 32 bits.
// *n: overwritten. reads: mode flags, modulus, mod_is_prime, polynames,
// pseudo_polynames, power_recurrence_terms, power_recurrence_spread,
// power_recurrence_fill
void compute_power(poly* n, std::int32_t expont, polypt pol);
void compute_power(poly* n, std::int32_t expont, polypt pol, const Ring& ring);

// How often compute_power took the recurrence, counted since start (a test
// hook).
extern long power_recurrences;
// How often compute_power raised a single term at once (a test hook).
extern long monomial_powers;

// *n := (*n)^expont by the digits of expont in base p = modulus: p-th powers
// by poly_to_prime, reduced by the relations when they are in force and pol
// is given. Modular arithmetic with a prime modulus, expont >= 1.
// *n: overwritten. reads: modulus, pseudo_polynames
void poly_mod_prime(poly* n, std::int32_t expont, polypt pol);
void poly_mod_prime(poly* n, std::int32_t expont, polypt pol, const Ring& ring);

// *p := *p reduced by t^expon = *num (*num a constant). Terms of negative
// exponent (Laurent mode) fold only when *num is 1 or -1; otherwise four
// lines are printed and the user error 211 is raised, *p holding the part
// folded so far (the unfolded terms are freed).
// *p: consumed and set; *num: kept. reads: mode flags, token
void num_fold_poly(poly* p, poly* num, std::int32_t expon);
void num_fold_poly(poly* p, poly* num, std::int32_t expon, const Ring& ring);

// *p := *p reduced by the relation of level pp: one pass with pp's multdata
// when deg *p <= 2E - 2; else num_fold_poly for a numeric relation, or
// fold_by_relation. In the one-pass case terms of negative exponent are left
// as they are. *p: consumed and set. reads: mode flags, modulus, mod_is_prime
void fast_fold_poly(poly* p, polypt pp);
void fast_fold_poly(poly* p, polypt pp, const Ring& ring);

// *r := *r reduced by the polynomial relation of pol: the remainder by
// pol->p at a copy of the level without its relation (a field division when
// the relation's leading coefficient is invertible, else the pseudo-remainder);
// in Laurent mode the negative tail is folded by laurent_fold. A relation of
// degree below 1 reports "bad m^.exp in pseudo div no q: " and the degree and
// leaves *r as it is. *r: consumed and set. reads: mode flags, laurent,
// field_depth
void fold_by_relation(poly* r, polypt pol);
void fold_by_relation(poly* r, polypt pol, const Ring& ring);

// The Laurent part of fold_by_relation: the tail of *r from its first term
// of negative exponent, L, is cut off, shifted up by k + 1 (k = |lowest
// exponent|), reduced by the relation of pol and multiplied by the (k+1)-th
// power of the inverse of t modulo the relation; *l := that result, nil when
// *r has no negative exponent. An inverse with a denominator is the internal
// error "laurent_fold." (nested command level), after which the numerator
// serves as the inverse. Without an inverse (poly_mod_invert gives none) *r
// is left whole and *l is nil. *r: changed (the tail cut off); *l: set
void laurent_fold(poly* r, poly* l, polypt pol);
void laurent_fold(poly* r, poly* l, polypt pol, const Ring& ring);

}  // namespace tavrin
