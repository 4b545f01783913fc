// Integers and integer matrices as plain values, for the normal forms that
// work modulo a determinant: a ZInt owns its digits (no pool, no mode
// flags), so the bounded eliminations can hold whole matrices of them and
// give every byte back on any exit.
//
// A ZInt is sign * magnitude: sign -1, 0 or +1, the magnitude in base
// 2^28 as std::uint32_t digits, least significant first, normalised (no
// leading zero digit; zero has no digits and sign 0). A ZMatrix holds rows
// x cols ZInts row by row. Conversions to and from the big integers of
// numbers/ go through their digit arrays.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

class ZInt {
 public:
  ZInt() = default;
  ZInt(std::int64_t v);  // NOLINT: integers convert implicitly

  // A copy of the big integer x (x: kept).
  static ZInt from_number(imptr x);
  // sign * magnitude for digits base 2^28, least significant first (any
  // leading zeros are dropped).
  static ZInt from_digits(std::vector<std::uint32_t> magnitude, int sign);
  const std::vector<std::uint32_t>& magnitude() const { return mag_; }
  // A fresh big integer of numbers/ holding the value.
  imptr to_number() const;
  // x := the value, x's old limbs freed.
  void store(imptr x) const;

  int sign() const { return sign_; }
  bool is_zero() const { return sign_ == 0; }
  bool is_one() const { return sign_ == 1 && mag_.size() == 1 && mag_[0] == 1; }
  // |value| < 2^62: fits the word arithmetic of the small paths.
  bool is_small() const { return mag_.size() <= 2 || (mag_.size() == 3 && mag_[2] < (1u << 6)); }
  std::int64_t to_int64() const;  // precondition: is_small()
  std::int64_t bit_length() const;
  std::int32_t digits() const { return static_cast<std::int32_t>(mag_.size()); }
  // The value modulo a word p > 0, in [0, p).
  std::uint32_t mod_word(std::uint32_t p) const;
  ZInt abs() const {
    ZInt r = *this;
    if (r.sign_ < 0) r.sign_ = 1;
    return r;
  }
  ZInt operator-() const {
    ZInt r = *this;
    r.sign_ = -r.sign_;
    return r;
  }

  friend ZInt operator+(const ZInt& a, const ZInt& b);
  friend ZInt operator-(const ZInt& a, const ZInt& b);
  friend ZInt operator*(const ZInt& a, const ZInt& b);
  ZInt& operator+=(const ZInt& b) { return *this = *this + b; }
  ZInt& operator-=(const ZInt& b) { return *this = *this - b; }
  ZInt& operator*=(const ZInt& b) { return *this = *this * b; }
  // *this += a * m for a word multiplier |m| < 2^28 (the inner products of
  // the verifications).
  void add_mul_small(const ZInt& a, std::int32_t m);

  friend int compare(const ZInt& a, const ZInt& b);
  friend int compare_abs(const ZInt& a, const ZInt& b);
  friend bool operator==(const ZInt& a, const ZInt& b) { return compare(a, b) == 0; }
  friend bool operator!=(const ZInt& a, const ZInt& b) { return compare(a, b) != 0; }
  friend bool operator<(const ZInt& a, const ZInt& b) { return compare(a, b) < 0; }

  // a = q d + r with 0 <= r < |d| (d != 0); q, r may be null.
  static void divmod(const ZInt& a, const ZInt& d, ZInt* q, ZInt* r);
  // The representative in [0, m) (m > 0).
  ZInt mod(const ZInt& m) const;
  // a / d for d dividing a exactly; false (and *q untouched) when it does not.
  static bool divides(const ZInt& a, const ZInt& d, ZInt* q);
  // g = gcd(|a|, |b|) >= 0; xgcd also gives s, t with s a + t b = g
  // (gcd(0, 0) = 0 with s = t = 0).
  static ZInt gcd(const ZInt& a, const ZInt& b);
  static ZInt xgcd(const ZInt& a, const ZInt& b, ZInt* s, ZInt* t);
  // x with a x = 1 modulo m (m > 1), or false when gcd(a, m) != 1.
  static bool inverse_mod(const ZInt& a, const ZInt& m, ZInt* x);

 private:
  void trim();
  std::int32_t sign_ = 0;
  std::vector<std::uint32_t> mag_;
};

struct ZMatrix {
  std::int32_t rows = 0, cols = 0;
  std::vector<ZInt> cell;  // row by row
  ZMatrix() = default;
  ZMatrix(std::int32_t r, std::int32_t c) : rows(r), cols(c), cell(static_cast<std::size_t>(r) * c) {}
  ZInt& at(std::int32_t r, std::int32_t c) { return cell[static_cast<std::size_t>(r) * cols + c]; }
  const ZInt& at(std::int32_t r, std::int32_t c) const {
    return cell[static_cast<std::size_t>(r) * cols + c];
  }
  static ZMatrix identity(std::int32_t n);
  ZMatrix transposed() const;
  // Every entry below 2^bits in absolute value.
  bool entries_below(std::int32_t bits) const;
};

// a * b (schoolbook, skipping zero entries of a).
ZMatrix operator*(const ZMatrix& a, const ZMatrix& b);
// a * b == c, without forming big products entry by entry: each row of
// a b is summed in signed 64-bit digits, the short entries of a (below
// 2^27) multiplying b's digits directly. The check of the transforms.
bool product_equals(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c);
bool operator==(const ZMatrix& a, const ZMatrix& b);

// Word Euclid with cofactors: returns g = gcd(|a|, |b|) >= 0 and sets *s,
// *t with s a + t b = g, for |a|, |b| < 2^62.
std::int64_t word_xgcd(std::int64_t a, std::int64_t b, std::int64_t* s, std::int64_t* t);

// n is prime: Miller and Rabin's test to the bases 2, 7 and 61, which
// decide every n below 2^32.
bool is_word_prime(std::uint32_t n);

}  // namespace tavrin
