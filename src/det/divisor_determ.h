// The integer determinant by a divisor found first, and the elimination on
// residues held in doubles that it runs on. Internal to det/.
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

// LU factorisation modulo a prime p < 2^24 of the m x m residues in [0, p) held row
// by row in store, with row exchanges (perm, when given, := the source row
// of each position). Returns det mod p, 0 when singular modulo p. On a
// nonsingular return the row at position k (store's row perm[k]) holds L's
// multipliers left of the diagonal and U's row from it, all reduced. On a
// singular return *dependent (when given) := the first column i without a
// pivot, a combination modulo p of the columns before it; the positions
// below i then hold the LU of the nonsingular block of rows perm[0..i) and
// columns [0, i) in the same way.
std::uint32_t residue_lu(double* store, std::int32_t m, std::uint32_t p, std::int32_t* perm,
                         std::int32_t* dependent = nullptr);

// out := detp * a^-1 modulo a prime p < 2^24 (the adjugate when detp = det a
// mod p), both m x m row by row. False when a is singular modulo p.
bool residue_inverse(const std::uint32_t* a, std::int32_t m, std::uint32_t p, std::uint32_t detp,
                     std::uint32_t* out);

// The primes of the p-adic lifting and of its residues held in doubles lie
// below this top (word_prime(k, lifting_prime_top)).
constexpr std::uint32_t lifting_prime_top = std::uint32_t{1} << 21;

// a^e modulo p, for p < 2^32.
inline std::uint64_t residue_power(std::uint64_t a, std::uint64_t e, std::uint64_t p) {
  std::uint64_t r = 1;
  for (a %= p; e != 0; e >>= 1, a = a * a % p)
    if (e & 1) r = r * a % p;
  return r;
}

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
