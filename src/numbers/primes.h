// Primality by trial division, the next prime, and the two small random
// integers drawn from the standard generator.
//
// The trial division tries 2, 3 and then d, d + 2 for d = 5, 11, 17, ...
// while d <= b, with b = trunc(sqrt(x)) + 2; a divisor d + 2 above b does
// not count.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/records.h"

namespace tavrin {

// x is prime. 1 and values below it are not.
// reads: nothing
bool is_prime(std::int32_t x);

// 1 when x is prime; otherwise 2 for an even x, 3 for a multiple of 3, else
// the first divisor the trial division finds (its smallest prime factor).
// 0 for x < 2 (neither prime nor with a factor).
std::int32_t long_is_prime(std::int32_t x);

// long_is_prime for v = x0 * 2^56 + x1 * 2^28 + x2 (limbs 0 .. 2^28 - 1,
// x0 <= 127), parity read from x2, the bound from the long-double square
// root. A value of 2^63 or more (or a negative limb) is refused: reported
// as an internal error without a nested level, and 0 returned.
std::uint32_t longg_is_prime(std::int32_t x0, std::int32_t x1, std::int32_t x2);

// The least prime among x + 2, x + 4, ... for an odd x; for an even x the
// candidates start at x + 1. Candidates below 2 are passed over.
// x < 2147483647, so that the result (at most 2147483647) fits a word
std::int32_t nextprime(std::int32_t x);

// n is prime: Miller and Rabin's test to the bases 2, 7 and 61, which
// decide every n below 2^32.
bool is_word_prime(std::uint32_t n);

// The primes of the word-prime images below top, largest first: prime k
// (k = 0, 1, ...) below top, found once by is_word_prime and kept for the
// run. The images of integer polynomials and matrices take top = 2^31;
// kernels whose sums must stay in 64 bits take a lower power of two.
// top: 3 .. 2^31
constexpr std::uint32_t word_prime_top = std::uint32_t{1} << 31;
std::uint32_t word_prime(std::size_t k, std::uint32_t top = word_prime_top);

// *np := a list of limbs (linked through next, each pushed at the front)
// holding the distinct primes dividing x, by trial division: 2, 3, then d and
// d + 2 for d = 5, 11, 17, ... up to trunc(sqrt(x)) + 2 (x divided by each
// prime found as often as it divides), and last the cofactor left when it is
// at least 2. x >= 1; 1 gives the empty list.
// *np: overwritten (the old list is the caller's)
void prime_factors(std::int32_t x, numptr* np);

// *qp := the list of n div q for the distinct primes q dividing n (in
// prime_factors' order). n >= 1. *qp: overwritten
void set_prime_quotients(numptr* qp, std::int32_t n);

// r := a draw of the standard generator (0 .. 2^31 - 1), kept in
// random_ext2; returns trunc(r / 2147483647 * 16384), 0 .. 16384.
// writes: random_ext2
std::int32_t rand_integer2();

// rand_integer2() times the processor time in 32-bit unsigned arithmetic
// (wrapping), divided by 1000, reduced modulo 48871: 0 .. 48870.
// writes: random_ext2
std::int32_t rand_integer3();

// Restarts the standard generator behind rand_integer2 and rand_integer3 at
// `seed`, so that a run of random choices can be repeated.
void seed_random(std::uint32_t seed);

}  // namespace tavrin
