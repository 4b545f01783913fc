// An independent reference for dense one-variable polynomials over a word
// field: coefficient vectors (index i the coefficient of t^i) modulo a prime,
// or over GF(2^8) / GF(2^16) with the field product computed bit by bit. It
// shares no code with src/: plain 64-bit remainders, naive products, long
// division and Euclid. Also random arrays biased the way the dense routines
// need testing (zero runs, low zeros, extreme residues).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/records.h"

namespace tavrin::test {

using Coeffs = std::vector<std::int64_t>;

// The coefficient field: a prime p, or a field of characteristic 2 (p 256 or
// 65536, elements as bit patterns).
class RefField {
 public:
  explicit RefField(std::int64_t p);
  std::int64_t p() const { return p_; }
  bool char2() const { return char2_; }
  std::int64_t add(std::int64_t a, std::int64_t b) const;
  std::int64_t sub(std::int64_t a, std::int64_t b) const;
  std::int64_t mul(std::int64_t a, std::int64_t b) const;
  // 1 / a by Fermat (a^(q-2), q the field size); a non-zero.
  std::int64_t inv(std::int64_t a) const;

 private:
  std::int64_t p_;
  bool char2_;
};

// The degree of a (index of the top non-zero entry), -1 for zero.
std::int64_t ref_degree(const Coeffs& a);
// a without its top zero entries (empty for zero).
Coeffs ref_trimmed(Coeffs a);
Coeffs ref_mult(const RefField& f, const Coeffs& a, const Coeffs& b);
Coeffs ref_sub(const RefField& f, const Coeffs& a, const Coeffs& b);
Coeffs ref_add(const RefField& f, const Coeffs& a, const Coeffs& b);
// Quotient and remainder of a by b (b non-zero), both trimmed.
void ref_divmod(const RefField& f, const Coeffs& a, const Coeffs& b, Coeffs* q, Coeffs* r);
// The monic GCD (empty for gcd(0, 0)).
Coeffs ref_monic_gcd(const RefField& f, Coeffs a, Coeffs b);
Coeffs ref_monic(const RefField& f, Coeffs a);
// The last non-zero remainder of plain Euclid on (a, b), remainders taken
// in place with their own leading coefficients (a itself when b is zero).
// Remainders are unique, so any Euclid loop leaves exactly this polynomial.
Coeffs ref_euclid_last_remainder(const RefField& f, Coeffs a, Coeffs b);

// A random polynomial of exactly degree deg (non-zero top), edge-biased:
// sometimes a run of low zeros, sparse stretches, entries 0, 1 and p - 1.
Coeffs random_coeffs(std::mt19937_64& rng, const RefField& f, std::int64_t deg);

// Copies between reference vectors and raw arrays.
void load_array(const Coeffs& a, std::int32_t* x, std::int64_t offset = 0);
Coeffs array_slice(const std::int32_t* x, std::int64_t from, std::int64_t to);

// A one-variable poly holding the residues of a (trimmed; zero gives the
// leaf 0), built node by node by the representation's rules (residues in
// lint, as modular mode keeps them).
poly coeffs_to_poly(const Coeffs& a);
// The residues of a one-variable poly, read node by node (no check of the
// shape beyond what is needed to walk it).
Coeffs poly_to_coeffs(poly p);

// "deg 5 [7, 0, 2, ...]" for failure messages (long vectors abridged).
std::string show_coeffs(const Coeffs& a);

}  // namespace tavrin::test
