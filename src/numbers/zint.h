// Integers as plain values: a ZInt owns its digits (no pool, no mode
// flags), so callers can hold many of them (whole matrices, the values of a
// Chinese remaindering) and give every byte back on any exit. The flat
// integer of the word-prime kernels in every folder.
//
// A ZInt is sign * magnitude: sign -1, 0 or +1, the magnitude in base
// 2^28 as std::uint32_t digits, least significant first, normalised (no
// leading zero digit; zero has no digits and sign 0), held in a ZDigits
// (short magnitudes inside the object). A moved-from ZInt is 0.
// Conversions to and from the big integers of numbers/ go through their
// digit arrays.
#pragma once

#include <bit>
#include <cstdint>
#include <span>
#include <utility>

#include "core/records.h"
#include "numbers/zdigits.h"

namespace tavrin {

class ZInt {
 public:
  ZInt() = default;
  ZInt(std::int64_t v);  // NOLINT: integers convert implicitly
  ZInt(const ZInt&) = default;
  ZInt(ZInt&& o) noexcept : sign_(o.sign_), mag_(std::move(o.mag_)) { o.sign_ = 0; }
  ZInt& operator=(const ZInt&) = default;
  ZInt& operator=(ZInt&& o) noexcept {
    if (this != &o) {
      sign_ = o.sign_;
      mag_ = std::move(o.mag_);
      o.sign_ = 0;
    }
    return *this;
  }

  // A copy of the big integer x (x: kept).
  static ZInt from_number(imptr x);
  // sign * magnitude for digits base 2^28, least significant first (any
  // leading zeros are dropped): the store taken over, or the digits copied.
  static ZInt from_digits(ZDigits magnitude, int sign);
  static ZInt from_digits(std::span<const std::uint32_t> magnitude, int sign);
  // The digits, valid while this ZInt is alive and unchanged.
  std::span<const std::uint32_t> magnitude() const { return {mag_.data(), mag_.size()}; }
  // A fresh big integer of numbers/ holding the value.
  imptr to_number() const;
  // x := the value, x's old limbs freed.
  void store(imptr x) const;
  // x := sign * d[0 .. n) (base 2^28, least significant first, leading
  // zeros dropped; n = 0 is 0), x's old limbs freed: a value held in
  // another form stored without a ZInt. d: kept
  static void store_digits(const std::uint32_t* d, std::int32_t n, int sign, imptr x);
  // x := v, x's old limbs freed.
  static void store_word(std::int64_t v, imptr x);

  int sign() const { return sign_; }
  bool is_zero() const { return sign_ == 0; }
  bool is_one() const { return sign_ == 1 && mag_.size() == 1 && mag_[0] == 1; }
  // |value| < 2^62: fits the word arithmetic of the small paths.
  bool is_small() const { return mag_.size() <= 2 || (mag_.size() == 3 && mag_[2] < (1u << 6)); }
  std::int64_t to_int64() const {  // precondition: is_small()
    std::uint64_t v = 0;
    for (std::size_t i = mag_.size(); i-- > 0;) v = (v << 28) | mag_[i];
    return sign_ < 0 ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  }
  std::int64_t bit_length() const {
    if (mag_.empty()) return 0;
    return 28 * static_cast<std::int64_t>(mag_.size() - 1) + std::bit_width(mag_.back());
  }
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
  // In place: the digits keep their storage.
  ZInt& operator+=(const ZInt& b);
  ZInt& operator-=(const ZInt& b);
  ZInt& operator*=(const ZInt& b) { return *this = *this * b; }
  // *this += a * m for a word multiplier |m| < 2^28 (the inner products of
  // the verifications).
  void add_mul_small(const ZInt& a, std::int32_t m);
  // *this := *this * m + a for a value >= 0 and words m, a: the digit
  // loop of Horner's rule and of the mixed radix.
  void mul_add(std::uint32_t m, std::uint32_t a);

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
  // a + bs |b| for bs = +-1 (the sign b is taken with): a - b without a
  // negated copy of b.
  static ZInt add_signed(const ZInt& a, const ZInt& b, int bs);
  // *this += s * m for the n digits m (normalised, not this one's own) and
  // s = +-1, in place; *this non-zero.
  void add_digits_inplace(const std::uint32_t* m, std::int32_t n, int s);
  std::int32_t sign_ = 0;
  ZDigits mag_;
};

// Word Euclid with cofactors: returns g = gcd(|a|, |b|) >= 0 and sets *s,
// *t with s a + t b = g, for |a|, |b| < 2^62.
std::int64_t word_xgcd(std::int64_t a, std::int64_t b, std::int64_t* s, std::int64_t* t);

}  // namespace tavrin
