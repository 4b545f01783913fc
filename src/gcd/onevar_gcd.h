// One-variable GCDs over a field: the Euclid loop on the word arrays for
// large moduli, the Euclidean GCD over an algebraic extension, and the
// normalisations around them. (basic_poly_gcd, the entry that routes among
// the engines, and the term-list half-GCD emgcd_full / emgcd_poly are
// declared in gcd.h.)
//
// Operands are the sparse polynomials of poly_repr.h. Modulo a word prime
// they are one-variable lists over residues (every coefficient a leaf whose
// lint is the residue, the constant term a trailing leaf). Over an
// extension (field_coef_gcd) the coefficients are polynomials of the field
// levels below pt. deg p is the exponent of p's first node, 0 for a leaf;
// a monomial is a polynomial whose first node has no successor.
//
// The monomial rule (basic_poly_gcd and field_coef_gcd): when n, else m, is
// a monomial c*x^d, the GCD is g*x^j, j = min(d, k), k the exponent of the
// other argument's last node (0 when it has a constant term: then just g).
// g is 1 in word and floating arithmetic; in rational arithmetic it is the
// GCD (polygcd over polynames) of the two arguments' integer contents.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "dense/dense_modular.h"

namespace tavrin {

// *p := the GCD of n and m modulo a word prime by plain Euclid on the
// shared arrays xx and yy: the last non-zero remainder with its own leading
// coefficient, exactly the constant 1 when the remainders end in a non-zero
// constant (a constant m gives that constant). Degrees of fast_gcd_size or
// more (25,000 included) never enter the arrays: they go to
// emgcd_poly(n, m, p, pt, true). With need_monic a non-constant result is
// made monic (monic_poly: errors 22, 85, 284).
// n, m: kept (one-variable, deg n >= deg m >= 0, n not constant);
// *p: overwritten (may be &n or &m). xx, yy: overwritten (scratch).
// reads: modulus, finf, fast_gcd_size, poly_cutoff, mode flags
void faster_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt);

// *p := the GCD of the one-variable polynomials n and m whose coefficients
// are long doubles (floating mode): the monomial rule (g = 1.0); the cache
// as basic_poly_gcd's step 3, the pair made monic by its leading
// coefficients for the lookup (fl_monic_coefs, put back afterwards); then
// Euclid's remainder sequence on the term lists, each non-zero remainder
// cleaned of coefficients below 1e-08 in absolute value (purge_fl; a
// remainder that vanishes ends the sequence as an exact division) and made
// monic. The last non-zero remainder, or 1 when the sequence ends in a
// non-zero constant; with need_monic multiplied by 1 / its leading
// coefficient. A constant argument is the internal error " number in float
// basic_poly_gcd " (nested level), after which as basic_poly_gcd.
// n, m: kept; *p: overwritten (may be &n or &m). reads: lookupgcd,
// small_gcd_stash_cut, gcdmass, initial_memory; writes: the cache
void fl_basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt);
void fl_basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt, const Ring& ring);

// *p := the GCD of n and m over the extension below pt, not normalised:
// the monomial rule, else the remainder sequence while the divisor has
// positive degree (word arithmetic: field_coef_poly_divide; otherwise
// pseudo_field_coef_poly_div, a remainder with a multiplier other than 1
// divided by its integer content); the last non-zero remainder when the
// sequence ends in zero (a copy of m when m divides n), else 1.
// n, m: kept; *p: overwritten (may be &n or &m).
// reads: mode flags, modulus, field_depth, polynames
void field_coef_gcd(poly n, poly m, poly* p, polypt pt);
void field_coef_gcd(poly n, poly m, poly* p, polypt pt, const Ring& ring);

// *p divided in place by its content: the GCD of its integer coefficients
// (find_gcdcoefs) in rational arithmetic; nothing in word and floating
// arithmetic. *p: changed. reads: mode flags
void clear_up(poly* p);
void clear_up(poly* p, const Ring& ring);

// Normalises *q over the extension below pt in rational arithmetic: a
// numeric leading coefficient (field_leading_coef; leading_coef without
// field levels) leaves *r nil and
// divides *q by its content as clear_up does; a leading coefficient in the
// field levels gives *r := the numerator of its inverse (poly_mod_invert),
// padded down to pt's level, and *q := *q * *r. When no inverse comes back
// *q is left as it is and *r is nil.
// *q: changed; *r: replaced. reads: mode flags, field_depth, polynames
void rat_monic_poly(poly* q, poly* r, polypt pt);
void rat_monic_poly(poly* q, poly* r, polypt pt, const Ring& ring);

// The Euclid loop of faster_poly_gcd itself, for any degrees up to the
// arrays' capacity (25,000 included): the same answer, without the routing.
// n, m: kept (deg n >= deg m >= 0, deg n <= 25,000); *p: overwritten.
// xx, yy: overwritten. reads: modulus, finf
void faster_array_gcd(poly n, poly m, poly* p);

// ---- Residue vectors ---------------------------------------------------------------------
// One-variable polynomials modulo a prime held as residue vectors
// (DensePoly, dense/dense_modular.h: entry i the residue of t^i, no zero
// entry at the top, the zero polynomial empty), for routines that read
// their operands once, work on the vectors and build the result once.

// The ring has residue vectors: modular arithmetic with a prime modulus,
// not a field of characteristic 2. reads: mode flags, finf, mod_is_prime
bool residue_ring();
bool residue_ring(const Ring& ring);

// The ring is GF(2^8) or GF(2^16), whose one-variable polynomials have
// element vectors (dense/dense_char2.h) in the same form: modular
// arithmetic with finf. reads: mode flags, finf
bool char2_ring();
bool char2_ring(const Ring& ring);

// *out := the residues of p when p is a one-variable list over residues:
// terms with positive, strictly decreasing exponents whose coefficients are
// bare leaves holding 1 .. modulus - 1, then at most one bare leaf (the
// constant term, 0 .. modulus - 1, 0 only as the whole polynomial); a bare
// leaf alone is a constant (0: the empty vector). False, *out unspecified,
// for any other shape. p: kept. reads: modulus
bool onevar_residues(poly p, DensePoly* out);
bool onevar_residues(poly p, DensePoly* out, const Ring& ring);

// A fresh list of the residues d (the zero leaf for the empty vector), as
// array_to_poly builds it. reads: mode flags
poly onevar_poly(const DensePoly& d);

// The monic GCD of a and b (deg a, deg b >= 1) modulo the prime modulus:
// the half-GCD on transform products (dense_gcd) when the smaller degree
// is at least onevar_hgcd_degree, below it the Euclid loop of the array GCD
// (the two-term steps of dense_divide.h for moduli below two_term_modulus,
// the elimination steps above) on copies of the vectors. {1} for coprime a
// and b. reads: modulus, onevar_hgcd_degree, two_term_modulus and the
// thresholds of dense_gcd
DensePoly residue_gcd(const DensePoly& a, const DensePoly& b);
DensePoly residue_gcd(const DensePoly& a, const DensePoly& b, const Ring& ring);

// Which engine each call took, counted since start (a test and benchmark
// hook).
struct onevar_gcd_route_counts {
  long monomial;      // basic_poly_gcd settled by the monomial rule
  long cache_hits;    // basic_poly_gcd answered from the cache
  long dense_engine;  // basic_poly_gcd -> fastest_poly_gcd (modulus < 65,535)
  long word_engine;   // basic_poly_gcd -> faster_poly_gcd (modulus >= 65,535)
  long list_hgcd;     // basic_poly_gcd -> emgcd_poly (a degree above fast_gcd_size)
  long residue_hgcd;  // basic_poly_gcd -> residue_gcd's half-GCD (onevar_hgcd_degree)
  long word_arrays;   // faster_poly_gcd on xx / yy
  long word_lists;    // faster_poly_gcd handing a degree >= fast_gcd_size to emgcd_poly
  long word_top;      // the largest degree faster_poly_gcd has loaded into xx / yy
  long char2_hgcd;    // basic_poly_gcd -> dense_char2_gcd (char2_vector_degree)
};
extern onevar_gcd_route_counts onevar_gcd_routes;

}  // namespace tavrin
