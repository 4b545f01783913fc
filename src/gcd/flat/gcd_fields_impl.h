// The coefficient fields of the flat GCD engines (flat_gcd.h): a word prime
// field, and a finite field given by logarithm tables, used for GF(2^8),
// GF(2^16) and for extensions GF(p^d) of small prime fields, whose many
// elements give evaluation points where the ground field has too few.
// Private to src/gcd/flat.
//
// Representation. An element is a std::uint32_t. PrimeField: the residue
// 0 .. p - 1. LogField (q elements, generator g): 0 is zero and k + 1 stands
// for g^k (k = 0 .. q - 2); the product adds logarithms, the sum uses Zech's
// table, z(k) = log(1 + g^k). Both give every element an index 0 .. q - 1
// (element(i)), the evaluation points of the engines.
//
// A LogField also knows the ground field it extends (the user's modulus) and
// maps its elements in and out: from_ground(residue or bit pattern) and
// to_ground (false when the element does not lie in the ground field).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "numbers/word_field.h"

namespace tavrin::flat {

using elem = std::uint32_t;

// Residues modulo a prime p < 2^31: the kit's WordField with the
// interface of the engines' fields.
class PrimeField : public WordField {
 public:
  explicit PrimeField(std::uint32_t p) : WordField(p) {}
  elem zero() const { return 0; }
  elem one() const { return 1; }
  bool is_zero(elem a) const { return a == 0; }
  elem element(std::uint64_t i) const { return static_cast<elem>(i); }
  // A residue of the ground field (the same prime).
  elem from_ground(std::uint32_t r) const { return r; }
  bool to_ground(elem a, std::uint32_t* r) const {
    *r = a;
    return true;
  }
};

// The tables of one field of q <= 2^22 elements.
struct LogTables {
  std::uint32_t q = 0;              // elements
  std::uint32_t ground = 0;         // the ground field's modulus (256 / 65536: the char-2 fields)
  std::vector<std::uint32_t> zech;  // log(1 + g^k), or q - 1 for 1 + g^k = 0
  std::vector<std::uint32_t> in;    // ground element -> element (index by residue / pattern)
  std::vector<std::uint32_t> out;   // log k -> ground element + 1, 0 when not in the ground field
};

// The tables for the ground field of modulus m (a prime, 256 or 65536),
// extended to at least `wanted` elements where m has fewer and the tables
// stay below 2^22 entries; nil when no such field is available (m a prime
// of 2^11 or more with too few elements). Built once for each (m, size) and
// kept for the run.
std::shared_ptr<const LogTables> log_tables_for(std::uint32_t m, std::uint64_t wanted);

class LogField {
 public:
  explicit LogField(std::shared_ptr<const LogTables> t) : t_(std::move(t)), n1_(t_->q - 1) {}
  std::uint64_t size() const { return t_->q; }
  elem zero() const { return 0; }
  elem one() const { return 1; }
  bool is_zero(elem a) const { return a == 0; }
  elem mul(elem a, elem b) const {
    if (a == 0 || b == 0) return 0;
    std::uint32_t s = (a - 1) + (b - 1);
    if (s >= n1_) s -= n1_;
    return s + 1;
  }
  elem add(elem a, elem b) const {
    if (a == 0) return b;
    if (b == 0) return a;
    // g^x + g^y = g^x (1 + g^(y - x))
    std::uint32_t d = b >= a ? b - a : b + n1_ - a;
    const std::uint32_t z = t_->zech[d];
    if (z == n1_) return 0;
    std::uint32_t s = (a - 1) + z;
    if (s >= n1_) s -= n1_;
    return s + 1;
  }
  elem neg(elem a) const {
    if (a == 0) return 0;
    // -1 = g^((q - 1) / 2) in odd characteristic, 1 in characteristic 2
    if ((t_->q & 1u) == 0) return a;
    std::uint32_t s = (a - 1) + n1_ / 2;
    if (s >= n1_) s -= n1_;
    return s + 1;
  }
  elem sub(elem a, elem b) const { return add(a, neg(b)); }
  elem mul_add(elem a, elem b, elem c) const { return add(mul(a, b), c); }
  elem inv(elem a) const { return a <= 1 ? a : n1_ - (a - 1) + 1; }
  elem element(std::uint64_t i) const { return static_cast<elem>(i); }
  elem from_ground(std::uint32_t r) const { return t_->in[r]; }
  bool to_ground(elem a, std::uint32_t* r) const {
    if (a == 0) {
      *r = 0;
      return true;
    }
    const std::uint32_t v = t_->out[a - 1];
    if (v == 0) return false;
    *r = v - 1;
    return true;
  }

 private:
  std::shared_ptr<const LogTables> t_;
  std::uint32_t n1_;  // q - 1
};

// Word primes below 2^31 for the images of integer polynomials, largest
// first: prime k (k = 0, 1, ...), found once and kept.
std::uint32_t image_prime(std::size_t k);

// A small deterministic generator of the engines' random choices (points,
// field elements); the system's own random sequence is never drawn from.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 7;
    s_ ^= s_ << 17;
    return s_;
  }

 private:
  std::uint64_t s_;
};

}  // namespace tavrin::flat
