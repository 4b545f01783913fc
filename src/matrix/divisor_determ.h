// The integer determinant by a divisor found first (the LU on residues held
// in doubles that it runs on is in residue_elimination.h).
//
// For a matrix of small one-limb entries, the solution of A x = b (b a fixed
// pseudo-random vector) is lifted p-adically from one LU factorisation
// modulo a prime below 2^21 until p^k exceeds twice the product of the
// Cramer bounds of its numerators and denominators, so the rational
// reconstruction of x_1 is the exact reduced fraction and its denominator d
// divides det A. The cofactor e = det A / d, bounded by the Hadamard bound
// over d, then needs only a few images det A * d^-1 mod q (the lifting
// prime's is at hand). A matrix the route does not apply to (long or large
// entries, singular modulo each of the first three primes below 2^21) is
// left to the images of the table, whose result it equals.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

namespace images {

// det A for the integer matrix (cells column by column), or nullptr when
// the route does not apply (also when the bound pd of the images, if
// given, is below the route's Hadamard bound). A fresh number.
imptr divisor_determ(const std::vector<quoly>& cells, std::int32_t m, imptr pd);

// What the last divisor_determ did: the lifting steps, the word primes
// whose images it took (the lifting prime included), the bits of d.
struct DivisorStats {
  std::int32_t lift_steps = 0;
  std::int32_t primes = 0;
  std::int32_t divisor_bits = 0;
};
extern DivisorStats last_divisor_stats;

// The route is off while false (tests compare it with the images of the
// table).
extern bool divisor_route_enabled;

}  // namespace images
}  // namespace tavrin
