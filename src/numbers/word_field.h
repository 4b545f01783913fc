// Arithmetic modulo one word prime, carried as a value: a WordField holds
// the prime and its precomputed reciprocal, and kernels take it as an
// argument (no global modulus is read). Char2Field is its twin for the
// fields of 256 and 65536 elements (char2_field.h).
//
// Representation. An element is a std::uint32_t. WordField: the residue
// 0 .. p - 1 for a prime p < 2^32 (the kernels use p < 2^31). Char2Field:
// the bit pattern 0 .. size - 1, sum and difference exclusive or.
//
// Reduction is Barrett's: with r = floor((2^64 - 1) / p), the estimate
// q = floor(x r / 2^64) of floor(x / p) is at most two short for every
// 64-bit x, so x - q p needs at most two corrections. The sole Barrett
// reduction of the kernels: every word-prime field reduces through it.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/char2_field.h"
#include "numbers/word_mod.h"

namespace tavrin {

class WordField {
 public:
  // p: a prime (any p >= 2 for reduce, add, sub, neg and mul).
  explicit WordField(std::uint32_t p) : p_(p), r_(~std::uint64_t{0} / p) {
    const std::uint64_t t = ~std::uint64_t{0} - r_ * p + 1;  // (2^64 - 1) mod p, plus 1
    two64_ = t == p ? 0 : t;
  }
  std::uint32_t modulus() const { return p_; }
  std::uint64_t size() const { return p_; }
  // x mod p for any 64-bit x.
  std::uint32_t reduce(std::uint64_t x) const {
    const auto q = static_cast<std::uint64_t>((static_cast<unsigned __int128>(x) * r_) >> 64);
    std::uint64_t t = x - q * p_;
    while (t >= p_) t -= p_;
    return static_cast<std::uint32_t>(t);
  }
  // x mod p for any 128-bit x: hi 2^64 + lo as (hi mod p) (2^64 mod p) + lo.
  std::uint32_t reduce_wide(unsigned __int128 x) const {
    const std::uint64_t hi = reduce(static_cast<std::uint64_t>(x >> 64));
    return reduce(hi * two64_ + reduce(static_cast<std::uint64_t>(x)));
  }
  // a, b: residues below.
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const {
    const std::uint64_t s = std::uint64_t{a} + b;
    return static_cast<std::uint32_t>(s >= p_ ? s - p_ : s);
  }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return a >= b ? a - b : a + (p_ - b); }
  std::uint32_t neg(std::uint32_t a) const { return a == 0 ? 0 : p_ - a; }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const { return reduce(std::uint64_t{a} * b); }
  // a * b + c
  std::uint32_t mul_add(std::uint32_t a, std::uint32_t b, std::uint32_t c) const {
    return reduce(std::uint64_t{a} * b + c);
  }
  // 1 / a for a residue a not 0 (0 gives 0).
  std::uint32_t inv(std::uint32_t a) const { return inverse_modulo(a, p_); }
  // a^e
  std::uint32_t pow(std::uint32_t a, std::uint64_t e) const {
    std::uint32_t r = p_ == 1 ? 0 : 1;
    for (; e != 0; e >>= 1, a = mul(a, a))
      if ((e & 1u) != 0) r = mul(r, a);
    return r;
  }
  // The residue of a signed word.
  std::uint32_t of(std::int64_t v) const {
    const std::uint32_t r = reduce(v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v));
    return v < 0 ? neg(r) : r;
  }

 private:
  std::uint32_t p_;
  std::uint64_t r_;      // floor((2^64 - 1) / p)
  std::uint64_t two64_ = 0;  // 2^64 mod p
};

// The residue of the big integer x (its limbs carry the sign) modulo f's
// prime. x: kept
std::uint32_t number_residue(imptr x, const WordField& f);

class Char2Field {
 public:
  // field_size: 256 or 65536.
  explicit Char2Field(std::int32_t field_size) : size_(field_size) {}
  std::uint64_t size() const { return static_cast<std::uint64_t>(size_); }
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const { return a ^ b; }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return a ^ b; }
  std::uint32_t neg(std::uint32_t a) const { return a; }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const {
    return static_cast<std::uint32_t>(char2_mult(a, b, size_));
  }
  std::uint32_t mul_add(std::uint32_t a, std::uint32_t b, std::uint32_t c) const { return mul(a, b) ^ c; }
  std::uint32_t inv(std::uint32_t a) const { return static_cast<std::uint32_t>(char2_inverse(a, size_)); }

 private:
  std::int32_t size_;
};

}  // namespace tavrin
