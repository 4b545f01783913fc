// The auxiliary prime lists of the levels of a quotient ring: for each
// level record, the word primes P with a residue at which the level's
// relation vanishes modulo P. The modular GCD methods read them; the set-up
// of relations builds them with these routines.
//
// Representation: the gcd_data field of a polydata record is a chain of
// number headers linked through `imag`. In each entry `lint` holds the
// prime P and a single limb (size 1, head = tail) the residue value.
// add_prime_to_list and add_all_to_list keep a list in strictly decreasing
// order of P without repeats; insert_new_prime pushes at the head in no
// order. aux_num of the record is the list's length: the set-up sets it
// once a list is built, free_gcd_data resets it to 0.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *ii := a new entry (prime this_prime, value x) linked in front of *ii.
// *ii: changed
void insert_new_prime(std::int32_t this_prime, std::int32_t x, imptr* ii);

// At the first entry of q->gcd_data whose prime is <= thisone: nothing
// when it is thisone, otherwise the new entry (thisone, x) goes before it;
// at the end of the list it is appended. q->gcd_data: changed
void add_prime_to_list(polypt q, std::int32_t thisone, std::int32_t x);

// Every prime d > 40 dividing the integer y goes into q->gcd_data as
// add_prime_to_list puts it, with the value x mod d (non-negative). The
// primes are tried in increasing order: small_prime[1 .. 1229], then the
// primes above 9973 (odd candidates not divisible by 3, tested by 5, 7, 11,
// 13, ... up to the square root plus 2), each divided out of |y|
// completely; the search ends when what is left of y is 1 or after the
// 4,916th prime. Nothing for y = 0.
// y: kept (a big integer: its limbs are read whatever the mode flags);
// q->gcd_data: changed. reads: small_prime
void add_all_to_list(polypt q, std::int32_t x, imptr y);

// Every entry of q->gcd_data freed (limbs included, whatever the mode),
// the list emptied and q->aux_num := 0.
void free_gcd_data(polypt q);

}  // namespace tavrin
