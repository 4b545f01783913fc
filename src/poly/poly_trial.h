// Trial division: does m divide n, and if so what is the quotient. The long
// division stops at the first coefficient that does not divide, and may be
// preceded by cheap probabilistic tests at random points:
// - partial evaluation: numbers for the variables below the main one leave
//   one-variable images; when m divides n, m's image divides n's image
//   whenever the evaluation keeps both degrees, so an image that does not
//   divide proves that m does not divide n;
// - evaluation at every variable (big integers, three or more levels, no
//   relation on the levels involved): the value of m must divide the value
//   of n.
// A level with a relation keeps its variable in the images: a value there
// that is no root of the relation is no image of the quotient ring, and a
// divisor there could fail to divide at it.
// A pass whose images lose degree (or whose values are too small) gives no
// verdict and the next pass is tried. "&_t" (try_rat) lets the all-variable
// test answer "divides" on its own.
//
// The random points come from rand_integer2 (numbers/primes.h), which
// seed_random makes reproducible. The number of passes follows the size of
// the operands (compute_height).
//
// Operands are the recursive sparse polynomials of poly_repr.h over the level
// pt of their main variable. A divisor's tail is negated in place during a
// long division and always restored.
//
// kill_n: the caller gives n up: the call frees it (every part of it, on
// every path), using its nodes for the running remainder instead of copies.
// Without kill_n, n is kept.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// True when m divides n over the level pt; then *q := the quotient, except
// that with shortcut and yes_check together no quotient is returned (*q
// freed to nil) whether a pre-test or the full division gave the answer.
// shortcut runs the partial-evaluation pre-test first; with yes_check a
// passing pre-test is taken as the answer. A zero n is divisible (quotient
// 0). When the answer is false *q is freed to nil, except that deg n < deg m
// returns false at once without touching *q. m must not be a constant
// (internal error, answer false); n == m divides (quotient 1).
// Two one-variable polynomials divide on contiguous words: over the
// integers by Kronecker's substitution (intpoly_divexact, after a prime
// image that may already show m not dividing n), modulo a prime on the
// dense arrays or, past them or where Newton's iteration pays, residue
// vectors (fastest_poly_div; in characteristic 2 up to fast_gcd_size); the
// rest by long division.
// n: kept, or consumed with kill_n; m: kept; *q: replaced on every answer
// but that one (it must not be the cell holding n).
// One variable in GF(2^8) or GF(2^16), at a level without relation, with
// the degrees of basic_poly_divide's route: the division on element vectors
// (dense_char2_divrem), its remainder deciding.
// reads: mode flags, modulus, mod_is_prime, field_depth, fast_gcd_size,
// fast_mult_cut, integer_division_degree, dense_newton_degree,
// char2_vector_degree, verbose, windy, polynames, global_list; writes:
// random generator state, the progress trace (closed again on every exit)
bool trial_poly_divide(poly n, poly m, poly* q, polypt pt, bool shortcut, bool yes_check,
                       bool kill_n);
bool trial_poly_divide(poly n, poly m, poly* q, polypt pt, bool shortcut, bool yes_check,
                       bool kill_n, const Ring& ring);

// The same question without a quotient. Its pre-test adds the all-variable
// test in big-integer mode; it refuses at once when m is a single term in the
// main variable and n's lowest exponent is below m's degree, or, while no
// relation is in force (pseudo_polynames nil), when m spans more levels
// below the main one than n. In word arithmetic a divisor in
// the field levels divides at once.
// n: kept, or consumed with kill_n; m: kept.
// reads: as trial_poly_divide, and try_rat
bool trial_poly_divide_noq(poly n, poly m, polypt pt, bool shortcut, bool yes_check, bool kill_n);
bool trial_poly_divide_noq(poly n, poly m, polypt pt, bool shortcut, bool yes_check, bool kill_n,
                           const Ring& ring);

// *p := n / m for a number m, coefficient by coefficient, and *success :=
// every coefficient divides: in big-integer mode with remainder 0; in the
// other modes by the rule of quot (floating and word quotients, modular
// inverse; errors 22 and 85). A quotient of 0 from a non-zero coefficient (a
// truncated word quotient) is a failure in every mode. On failure the partial
// result is freed and *p is not written; on success *p is set without
// freeing its old value. In big-integer mode m must not be 0.
// n: kept; m: kept. reads: mode flags, modulus, finf, quotsign
void trial_poly_quot(poly n, poly m, poly* p, bool* success);
void trial_poly_quot(poly n, poly m, poly* p, bool* success, const Ring& ring);

// The number of pre-test passes less one for operands spanning `height`
// levels: -1 (no test) below 2 levels; else by their sizes, with L the top
// term counts of m and n (each counted up to 11) and T their node totals
// (each counted up to 18): L < 14 gives 3 when T < 18, else 4; L >= 14 gives
// 5 when T > 34, else 4; modulo a prime at most modulus - 1.
// m, n: kept. reads: modularmode, modulus
std::int32_t compute_height(std::int16_t height, poly m, poly n);
std::int32_t compute_height(std::int16_t height, poly m, poly n, const Ring& ring);

// Whether y divides x, decided on images modulo up to two word primes: from
// the table `prime` when no field levels are involved below pt, else from
// the auxiliary primes `auxptr` (nothing is done when there are none). The
// first prime at which the images keep their leading terms is tried by
// trial_poly_divide_noq (shortcut, yes_check fast_yes); a failure there
// decides: *worked true, *checked false. A success is confirmed at a second
// prime: *worked and *checked true; a second answer that differs, or
// running out of primes, leaves *worked false. The images are temporary
// (ModularImage): x, y and the relations come back node for node.
// The primes are set through a ModulusGuard: on every exit, an unwinding
// error included, the caller's modulus, its companions and the mode flags
// are back. The images are taken with modular and word mode off.
// x: kept; y: kept; *worked, *checked: set.
// reads: field_depth, polynames, prime, auxptr, aux_prime1_number, danger_ok;
// modulus, mode flags, command_int: restored
void mod_trial_poly_divide(poly x, poly y, bool fast_yes, bool* worked, bool* checked, polypt pt);

}  // namespace tavrin
