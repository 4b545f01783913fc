// Polynomial GCDs: the driver and the engines that the polynomial
// arithmetic calls.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

// polygcd and GcdFlags: declared with their contract in poly/poly_upcalls.h
// (the polynomial arithmetic calls it). That entry point reads the ring in
// force and calls this one, which takes it; every stage and every engine
// below it reads `ring` instead of the mode globals. ring: the one in force.
void polygcd(poly u, poly v, poly* r, polypt pt, const GcdFlags& how, const Ring& ring);
//
// The stages of polygcd, each leaving as soon as it has the answer: A
// trivial cases and the one-variable engines (basic_poly_gcd,
// fl_basic_poly_gcd); B the main variable absent from one or both; C both
// in one variable modulo a prime (basic_poly_gcd), then, unless
// leave_early, one variable over the integers on contiguous words
// (intpoly_gcd.h) and the flat engines of Brown's and Zippel's methods for
// large multivariate problems (flat_gcd.h), then the common power of x and
// (modulo a prime) the common divisor of the exponents divided out; D exact
// division of u by v, the modular probe, the GCD over the field, the first
// random probe; E contents; F general contents; G shape measures; H exact
// division, the modular method, the cache, the second probe, the field GCD,
// the evaluation method, the subresultant sequence (polygcd_impl.h).

// Which stage ended each call of polygcd, counted since start (a test and
// benchmark hook; recursive calls count too).
struct polygcd_stage_counts {
  long numbers;              // A: two numbers, a number, zero, the same node, the field levels
  long one_variable;         // A, C: handed to basic_poly_gcd / fl_basic_poly_gcd
  long flat;                 // C: solved by the flat engines (flat_gcd.h)
  long integer_vectors;      // C: one variable over Z on contiguous words (intpoly_gcd.h)
  long pads;                 // B: x absent from one argument or both
  long common_power;         // C: leave_early answered by the common power of x
  long divides;              // D: v divides u (the first trial division)
  long probes;               // D, H: answered by the modular or a random probe
  long field;                // D, H: the GCD over the coefficient field
  long monomial;             // E, F: one argument a single term (monomial_1)
  long equal;                // E: the primitive parts agree up to a unit
  long general;              // F: the general contents ended the problem
  long exact_division;       // H: v divides u
  long cache_hits;           // H: the cache held the GCD
  long engines;              // H: the modular or the evaluation method
  long algorithm_c;          // H: the subresultant remainder sequence
  long temporary_levels;     // H: the sequence moved another variable to the top
  long abandoned;            // H: the sequence handed its pair back to polygcd
  long exponent_divisions;   // C: the exponents had a common divisor above 1
  long general_contents;     // F: general contents taken
  std::int32_t last_gcdexp;  // that divisor, the last time one was divided out
};
extern polygcd_stage_counts polygcd_stages;

// *p := the GCD of the one-variable polynomials n and m modulo a word prime
// (modular mode with mod_is_prime, GF(2^8) and GF(2^16) included), monic
// when need_monic; its own leading coefficient otherwise. Steps:
//   1. the arguments are taken in degree order (n the larger); a constant
//      argument is the internal error " number in basic_poly_gcd " (nested
//      level), after which a zero argument gives the other one and a
//      non-zero constant 1;
//   2. the monomial rule (onevar_gcd.h): g*x^j with g = 1, returned as it
//      is (neither normalised nor cached);
//   3. the cache (gcd_stash.h) when lookupgcd > 0, deg n + deg m >
//      small_gcd_stash_cut, deg m >= 2 and gcdmass < initial_memory / 2: the
//      pair is looked up made monic (its leading coefficients restored
//      afterwards, on every exit); a stored GCD is returned as stored
//      (made monic when need_monic and it was stored without);
//   4. with need_monic, a prime modulus outside characteristic 2 and deg m
//      >= onevar_hgcd_degree: the monic GCD by the half-GCD on residue
//      vectors (residue_gcd, onevar_gcd.h); with need_monic in GF(2^8) and
//      GF(2^16) and deg n >= char2_vector_degree: the monic GCD by the
//      half-GCD on element vectors (dense_char2_gcd); otherwise
//      both degrees <= fast_gcd_size: fastest_poly_gcd (dense_gcd.h) when
//      modulus < 65,535, else faster_poly_gcd (onevar_gcd.h), unnormalised
//      (either sends a degree of exactly fast_gcd_size on to the term
//      lists); a degree above fast_gcd_size: emgcd_poly(n, m, p, pt, true);
//   5. with need_monic a non-constant result is made monic (monic_poly:
//      errors 22, 85, 284); a result that comes from a unit is exactly 1;
//   6. the result of step 3's miss is stored in the cache.
// n, m: kept (node for node); *p: overwritten (may be &n or &m).
// reads: modulus, finf, mode flags, fast_gcd_size, poly_cutoff, lookupgcd,
// small_gcd_stash_cut, gcdmass, initial_memory, onevar_hgcd_degree,
// char2_vector_degree; writes: the cache, xx, yy
void basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt);
// The same in `ring` (the ring in force), read instead of the mode globals.
void basic_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt, const Ring& ring);

// The half-GCD on term lists modulo a word prime. (*u0, *u1), deg *u0 >
// deg *u1 >= 0, *u1 not zero, is reduced in place by Euclidean steps taken
// in two recursive halves until deg *u1 falls below ceil(deg *u0 / 2) (not
// promised: the caller loops); *u1 may come back a constant (zero
// included). With needmult, [[*w0, *v0], [*w1, *v1]] := the matrix R of the
// steps taken: (u0, u1) after = (w0*u0 + v0*u1, w1*u0 + v1*u1) before, R of
// determinant a non-zero constant; without it the four cells receive
// scratch that the caller frees. Base case below poly_cutoff: division
// steps. The lists are split and shifted in place (terms relinked, not
// copied); new polynomials come only from divisions and products.
// *u0, *u1: changed in place; *w0, *v0, *w1, *v1: overwritten (nil or
// polynomials). reads: modulus, finf, poly_cutoff
void emgcd_full(poly* u0, poly* u1, poly* w0, poly* v0, poly* w1, poly* v1, bool needmult);

// *p := the GCD of a0 and a1 modulo a word prime, not normalised: a copy of
// a1 when a1 divides a0, 1 when the remainders end in a non-zero constant,
// otherwise the last non-zero remainder of a half-GCD / division-step
// sequence (equal to Euclid's up to a unit). Steps: (with savea01) r := a0
// mod a1 and the pair (a1, r); then emgcd_full on the pair, one division
// step, and again until the degree sum falls below poly_cutoff, when
// basic_poly_gcd(.., false, pt) finishes.
// savea01 true: a0, a1: kept, deg a0 >= deg a1 >= 1; *p: overwritten (may
// be &a0 or &a1). savea01 false: a0, a1: consumed, deg a0 > deg a1 >= 1;
// *p: overwritten (its old value freed; not a0's or a1's cell).
// reads: modulus, finf, poly_cutoff, fast_gcd_size
// emgcd_poly: declared in dense/dense_upcalls.h (the array code calls it).

// ---- Substitution of a fraction for one variable ---------------------------------------
// Levels are counted from the polynomial's own top list (1 = its main
// variable); pol is the record of that list's level. The value n2/d2 (d2
// nil: 1) replaces the variable of level `target`; n2 and d2 are bare
// leaves or polynomials given at the level stated below (a polynomial not
// involving a level is a pad there). The result is a numerator, written
// over the polynomial, and a denominator in the second cell (replaced: its
// old value is freed): nil for 1, otherwise a polynomial at the
// polynomial's own level. At the variable's level the substitution is
// Horner's rule with a fraction, giving the denominator d2^deg exactly;
// above it the substituted coefficients are added over one common
// denominator, the integer contents of each coefficient and its own
// denominator cancelled first (big integers). A coefficient that becomes 0
// removes its term; a variable the polynomial does not involve leaves it
// unchanged (denominator nil). Products go through poly_mult at the level
// where they are formed, so relations in force reduce them.
// Every case: *p: changed in place (consumed and rebuilt); n2, d2: kept.
// reads: mode flags, modulus, polynames' relations

// *p / *pden := *p with n2/d2 for the variable of level target; n2 and d2
// at that variable's own level.
// case_one: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// The same where n2 and d2 are given at *p's own level and may involve the
// variables of levels source .. target - 1 (their top source - 1 levels are
// pads). target <= source: case_one with n2, d2 taken target - 1 levels down.
// case_two: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

// *q / *qden := *q with n2/d2 for *q's main variable, n2 and d2 (and the
// result) at the level `level` levels above *q's coefficients; pol is the
// record of that level.
void highest_level(poly* q, poly* qden, poly n2, poly d2, std::int16_t level, polypt pol);

// *q / *qden := *q (whose top list is leveldown levels below n2's level)
// with n2/d2 for its variable of level target; n2, d2 and the result at
// n2's level, pol the record of that level.
void highest_case2(poly* q, poly* qden, std::int32_t target, poly n2, poly d2,
                   std::int16_t leveldown, polypt pol);

// The probe of a trivial GCD over a coefficient field (field_depth > 0):
// g and h are taken modulo an auxiliary prime P, every field variable is
// replaced by its root modulo P from the auxiliary lists (built by the
// relations' set-up, aux_primes.h), and *success := the GCD of the images
// is a number. The first entry tried is entry rand_integer2() mod 2 (mod 4
// when the field level's list has 11 entries or more); primes at which g
// or h loses its degree are passed over; no prime left: *success false.
// Internal errors (nested level, then *success false): " velmor_modular,
// p is nil 1" (the field level's list lacks the entry), " velmor_modular,
// p is nil 2" (a lower field level's list lacks it).
// g, h: kept (imaged in place and restored). reads: polynames, field_depth,
// number_polys, the auxiliary lists; the modulus and its companions, the
// mode flags, command_int, lookupgcd and the journal: restored on every exit
void velmor_modular(poly g, poly h, polypt pt, bool* success);

// The 1-based index of a prime of the table prme (entries 1 .. prmesize, a
// prime being the value of its number's first limb) that divides neither
// the numeric leading coefficient of x nor that of y (leading_coef, read
// from the limbs), scanning upward from prmesize - buffer - (rand_integer2()
// mod rand_mod), at least 1; prmesize + 1 when none qualifies.
// x, y: kept; rand_mod >= 1; writes: random_ext2
// select_prime: declared in poly/poly_upcalls.h (the polynomial arithmetic calls it).

}  // namespace tavrin
