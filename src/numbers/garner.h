// Chinese remaindering over word primes by Garner's mixed radix: the one
// combiner of the images of every multimodular method.
//
// For primes p_0, p_1, ..., p_{n-1} (distinct, each below 2^31) and
// M = p_0 ... p_{n-1}, a value x in [0, M) has the digits d_k in
// [0, p_k) with x = d_0 + d_1 p_0 + d_2 p_0 p_1 + ... . Digit k follows
// from x mod p_k and the digits below it:
//   d_k = (x mod p_k - (d_0 + d_1 p_0 + ... + d_{k-1} p_0 ... p_{k-2}))
//         / (p_0 ... p_{k-1})  modulo p_k.
// A Garner object keeps each prime's field, the place values of the earlier
// digits modulo it and the inverse of the earlier primes' product, so that
// many values (the coefficients of one polynomial, the entries of one
// matrix) share them. The sum of the earlier digits times their place
// values is a word dot product (word_field.h), reduced once.
// Digits of one value may be spread with a stride (digit j at d[j * stride]).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "numbers/word_field.h"
#include "numbers/zint.h"

namespace tavrin {

class Garner {
 public:
  Garner() = default;
  explicit Garner(const std::vector<std::uint32_t>& primes) {
    for (std::uint32_t p : primes) add_prime(p);
  }
  // Appends the prime p (prime to the earlier ones).
  void add_prime(std::uint32_t p);
  // Forgets every prime.
  void clear() { *this = Garner(); }
  std::size_t size() const { return fields_.size(); }
  std::uint32_t prime(std::size_t k) const { return fields_[k].modulus(); }
  const WordField& field(std::size_t k) const { return fields_[k]; }
  // M, the product of the primes.
  const ZInt& modulus() const { return modulus_; }

  // Digit k of the value whose residue modulo prime k is r (0 .. p_k - 1)
  // and whose digits 0 .. k - 1 are d[0], d[stride], ... .
  std::uint32_t digit(std::size_t k, std::uint32_t r, const std::uint32_t* d,
                      std::size_t stride = 1) const;
  // Digit k of `count` values at once: value i has the residue r[i] modulo
  // prime k and its digit j (j < k) at d[j * stride + i]; out[i] := its
  // digit k (out may be r; r: kept otherwise).
  void digits_of(std::size_t k, const std::uint32_t* r, const std::uint32_t* d, std::size_t stride,
                 std::size_t count, std::uint32_t* out) const;
  // The digits d[0], d[stride], ... of the value with residues r[0], r[1], ...
  // modulo primes 0 .. size() - 1 (d: overwritten; r: kept).
  void digits(const std::uint32_t* r, std::uint32_t* d, std::size_t stride = 1) const;
  // The value of digits 0 .. size() - 1, in [0, M).
  ZInt value(const std::uint32_t* d, std::size_t stride = 1) const;
  // The value lifted to the symmetric range: x - M when x > M / 2.
  ZInt symmetric(const std::uint32_t* d, std::size_t stride = 1) const;
  // The value x of digits 0 .. k - 1 exceeds half the product M_k of primes
  // 0 .. k - 1 (all odd): digit by digit from the top against those of
  // (M_k - 1) / 2, which are (p_j - 1) / 2.
  bool above_half(const std::uint32_t* d, std::size_t k, std::size_t stride = 1) const;

 private:
  std::vector<WordField> fields_;
  std::vector<std::uint32_t> inverse_;  // 1 / (p_0 ... p_{k-1}) mod p_k
  // (p_0 ... p_{j-1}) mod p_k for j < k, at k (k - 1) / 2 + j: the place
  // value of digit j modulo p_k
  std::vector<std::uint32_t> weight_;
  std::uint32_t largest_ = 0;    // the largest prime
  ZInt modulus_ = 1, half_ = 0;  // M and floor(M / 2)
};

}  // namespace tavrin
