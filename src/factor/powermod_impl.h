// Helpers of the powers modulo a value that the factorisation shares: the
// binary powering of a polynomial, and the one-variable case on arrays of
// residues.
//
// Modulo a word prime (GF(2^8) and GF(2^16) included), with polynomials in
// the top variable alone and no relation on it, the powers and remainders
// are formed on arrays: over a prime field on the residue vectors of
// dense_modular.h; in GF(2^8) and GF(2^16) on the element vectors of
// dense_char2.h (Char2Modulus) from a modulus of degree char2_vector_degree
// on, below it here (low degree first, deg -1 for zero), the products by
// the array product, the remainders by a series inverse of the reversed
// modulus from degree 64 on. Every value is the same polynomial the term
// lists would give.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin::detail {

// *b := (*b)^u (u >= 1) by left-to-right binary powering, every product by
// poly_mult at pt and, when m is not nil, reduced modulo m (poly_mod_or_div
// with '|' over polynames). *b: overwritten; m: kept.
void poly_power_limb(poly* b, std::uint32_t u, poly m, polypt pt);

// A constant, or a polynomial in its top list alone with numeric
// coefficients and a positive degree.
bool one_variable(poly p);

// The array route applies to the base b and the monic modulus m: modular
// mode with a prime modulus, both one-variable in the top variable, and no
// relation on it. reads: ring's flags, mod_is_prime, polynames
bool dense_applies(poly b, poly m, const Ring& ring);

struct Dense {
  std::vector<std::int32_t> c;
  std::int32_t deg = -1;
};

// The residues of a one-variable polynomial or constant; and back.
Dense dense_of(poly p);
poly poly_of(const Dense& d);

// A monic modulus of degree n >= 1 modulo the prime p (the word modulus
// in force) with, from degree 64 on, the series inverse of its reversal to
// n terms.
struct DenseModulus {
  Dense m;
  std::int32_t p;
  std::vector<std::int32_t> inv;  // empty: the classical elimination
  DenseModulus(poly f, std::int32_t prime);
  DenseModulus(Dense d, std::int32_t prime);
};

// a := a * b mod m; z is scratch.
void dense_mulmod(Dense& a, const Dense& b, const DenseModulus& m, std::vector<std::int32_t>& z);
// b := b^u mod m (u >= 1), left to right over the bits of u.
void dense_power_limb(Dense& b, std::uint32_t u, const DenseModulus& m,
                      std::vector<std::int32_t>& z);

}  // namespace tavrin::detail
