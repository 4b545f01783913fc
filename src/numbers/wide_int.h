// A signed integer of 64-bit limbs changed in place, its first eight limbs
// held inside the object: the entries of the eliminations that keep whole
// matrices (matrix/'s normal forms), where most entries stay short and a
// step should touch no heap. ZInt (zint.h) is the digit-based integer of the
// other kernels; the two convert through ZInt (WideInt::assign, value).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "numbers/zint.h"

namespace tavrin::wide {

using u128 = unsigned __int128;

// |v| as a word.
inline std::uint64_t magnitude(std::int64_t v) {
  return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// The limbs an entry holds inside its own object before it takes storage
// from the heap.
constexpr std::size_t inline_limbs = 8;

// A growable array of limbs with room for inline_limbs of them inline: the
// entries of the elimination rarely pass that, so most steps touch no heap
// and no out-of-line resize. Shrinking keeps the capacity. In the sanitizer
// build (TAVRIN_EXACT_BUFFERS) the limbs always lie in a heap block of
// exactly size() limbs, so that a step past them is caught.
class Limbs {
 public:
  Limbs() = default;
  Limbs(const Limbs& o) { *this = o; }
  Limbs& operator=(const Limbs& o) {
    if (this != &o) {
      set_size(o.n_);
      std::copy_n(o.p_, o.n_, p_);
    }
    return *this;
  }
  ~Limbs() {
    if (p_ != in_) delete[] p_;
  }
  std::size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  std::uint64_t& operator[](std::size_t i) { return p_[i]; }
  std::uint64_t operator[](std::size_t i) const { return p_[i]; }
  std::uint64_t& back() { return p_[n_ - 1]; }
  std::uint64_t back() const { return p_[n_ - 1]; }
  std::uint64_t* begin() { return p_; }
  std::uint64_t* end() { return p_ + n_; }
  const std::uint64_t* begin() const { return p_; }
  const std::uint64_t* end() const { return p_ + n_; }
  void clear() { set_size(0); }
  void pop_back() { set_size(n_ - 1); }
  void push_back(std::uint64_t v) {
    set_size(n_ + 1);
    p_[n_ - 1] = v;
  }
  // n limbs, those added zero.
  void resize(std::size_t n) {
    const std::size_t had = n_;
    set_size(n);
    if (n > had) std::fill(p_ + had, p_ + n, std::uint64_t{0});
  }
  void assign(std::size_t n, std::uint64_t v) {
    set_size(n);
    std::fill_n(p_, n, v);
  }
  void reserve([[maybe_unused]] std::size_t n) {
#ifndef TAVRIN_EXACT_BUFFERS
    if (n > cap_) grow(n);
#endif
  }
  // Whether no heap block is held (the limbs, if any, lie inside the object).
  bool held_inline() const {
#ifdef TAVRIN_EXACT_BUFFERS
    return p_ == nullptr;
#else
    return p_ == in_;
#endif
  }

 private:
  void set_size(std::size_t n) {
#ifdef TAVRIN_EXACT_BUFFERS
    if (n != cap_) grow(n);
#else
    if (n > cap_) grow(n);
#endif
    n_ = n;
  }
  // Room for n limbs (exactly n in the sanitizer build), the first of
  // those in use kept.
  void grow(std::size_t n) {
#ifdef TAVRIN_EXACT_BUFFERS
    const std::size_t cap = n;
#else
    const std::size_t cap = std::max(n, 2 * cap_);
#endif
    auto* p = cap == 0 ? nullptr : new std::uint64_t[cap];
    std::copy_n(p_, std::min(n_, cap), p);
    if (p_ != in_) delete[] p_;
    p_ = p;
    cap_ = cap;
  }
#ifdef TAVRIN_EXACT_BUFFERS
  std::uint64_t* p_ = nullptr;
  std::size_t n_ = 0, cap_ = 0;
#else
  std::uint64_t* p_ = in_;
  std::size_t n_ = 0, cap_ = inline_limbs;
#endif
  std::uint64_t in_[inline_limbs];
};

// An integer as a sign and 64-bit limbs, least significant first, no
// leading zero limb (zero: none). Changed in place, so that an entry that
// stays long keeps its storage.
class WideInt {
 public:
  int sign() const { return sign_; }
  std::int64_t bits() const {
    return mag_.empty()
               ? 0
               : 64 * static_cast<std::int64_t>(mag_.size() - 1) + std::bit_width(mag_.back());
  }
  std::size_t size() const { return mag_.size(); }
  std::uint64_t low() const { return mag_.empty() ? 0 : mag_[0]; }  // |value| mod 2^64
  bool fits_word() const { return bits() < 62; }
  std::int64_t word() const {
    const auto m = static_cast<std::int64_t>(mag_.empty() ? 0 : mag_[0]);
    return sign_ < 0 ? -m : m;
  }
  void assign(std::int64_t v) {
    mag_.clear();
    sign_ = (v > 0) - (v < 0);
    if (v != 0)
      mag_.push_back(v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v));
  }
  // The value when it has at most `most` bits (<= 125; else false).
  bool small(std::int64_t most, __int128* v) const {
    if (bits() > most) return false;
    u128 m = 0;
    for (std::size_t i = mag_.size(); i-- > 0;) m = (m << 64) | mag_[i];
    *v = sign_ < 0 ? -static_cast<__int128>(m) : static_cast<__int128>(m);
    return true;
  }
  void assign_wide(__int128 v) {
    mag_.clear();
    sign_ = (v > 0) - (v < 0);
    u128 m = v < 0 ? -static_cast<u128>(v) : static_cast<u128>(v);
    for (; m != 0; m >>= 64) mag_.push_back(static_cast<std::uint64_t>(m));
  }
  void assign(const ZInt& z) {
    mag_.clear();
    sign_ = z.sign();
    std::uint64_t acc = 0;
    int have = 0;
    for (std::uint32_t d : z.magnitude()) {
      acc |= static_cast<std::uint64_t>(d) << have;
      if (have + 28 >= 64) {
        mag_.push_back(acc);
        acc = have + 28 == 64 ? 0 : static_cast<std::uint64_t>(d) >> (64 - have);
        have += 28 - 64;
      } else {
        have += 28;
      }
    }
    if (have > 0) mag_.push_back(acc);
    trim();
  }
  ZInt value() const {
    std::vector<std::uint32_t> digits;
    to_digits(&digits);
    return ZInt::from_digits(std::move(digits), sign_);
  }
  // *digits := the magnitude in base 2^28, least significant first (a
  // leading zero digit possible).
  void to_digits(std::vector<std::uint32_t>* digits) const {
    digits->clear();
    u128 acc = 0;
    int have = 0;
    for (std::uint64_t l : mag_) {
      acc |= static_cast<u128>(l) << have;
      have += 64;
      for (; have >= 28; have -= 28, acc >>= 28)
        digits->push_back(static_cast<std::uint32_t>(acc & 0xFFFFFFF));
    }
    if (have > 0) digits->push_back(static_cast<std::uint32_t>(acc));
  }
  void negate() { sign_ = -sign_; }
  // *q := |this| div d, returning |this| mod d (d > 0); q may not be this.
  std::uint64_t divide_word(std::uint64_t d, WideInt* q) const {
    q->mag_.assign(mag_.size(), 0);
    u128 rem = 0;
    for (std::size_t i = mag_.size(); i-- > 0;) {
      const u128 t = (rem << 64) | mag_[i];
      q->mag_[i] = static_cast<std::uint64_t>(t / d);
      rem = t % d;
    }
    q->sign_ = 1;
    q->trim();
    return static_cast<std::uint64_t>(rem);
  }
  void reserve(std::size_t n) { mag_.reserve(n); }
  bool held_inline() const { return mag_.held_inline(); }
  // The value from its top 128 bits (relative error below 2^-62), divided
  // by 2^64 for each of the *dropped limbs below them.
  long double approx(std::int64_t* dropped) const {
    const std::size_t n = mag_.size();
    *dropped = n >= 2 ? static_cast<std::int64_t>(n - 2) : 0;
    if (n == 0) return 0.0L;
    long double v = static_cast<long double>(mag_[n - 1]);
    if (n >= 2) v = v * 0x1p64L + static_cast<long double>(mag_[n - 2]);
    return sign_ < 0 ? -v : v;
  }
  friend int compare_abs(const WideInt& a, const WideInt& b) {
    if (a.mag_.size() != b.mag_.size()) return a.mag_.size() < b.mag_.size() ? -1 : 1;
    for (std::size_t i = a.mag_.size(); i-- > 0;)
      if (a.mag_[i] != b.mag_[i]) return a.mag_[i] < b.mag_[i] ? -1 : 1;
    return 0;
  }

  // *this += a * b, or -= with subtract.
  void add_product(const WideInt& a, const WideInt& b, bool subtract) {
    if (a.sign_ == 0 || b.sign_ == 0) return;
    if (a.mag_.size() == 1 || b.mag_.size() == 1) {
      add_word_product(a.mag_.size() == 1 ? b : a, a.mag_.size() == 1 ? a.mag_[0] : b.mag_[0],
                       a.sign_ * b.sign_ * (subtract ? -1 : 1));
      return;
    }
    thread_local std::vector<std::uint64_t> prod;
    const std::size_t na = a.mag_.size(), nb = b.mag_.size();
    prod.assign(na + nb, 0);
    for (std::size_t i = 0; i < na; ++i) {
      std::uint64_t carry = 0;
      for (std::size_t j = 0; j < nb; ++j) {
        const u128 t = static_cast<u128>(a.mag_[i]) * b.mag_[j] + prod[i + j] + carry;
        prod[i + j] = static_cast<std::uint64_t>(t);
        carry = static_cast<std::uint64_t>(t >> 64);
      }
      prod[i + nb] = carry;
    }
    std::size_t np = prod.size();
    while (np > 0 && prod[np - 1] == 0) --np;
    const int ps = a.sign_ * b.sign_ * (subtract ? -1 : 1);
    const std::size_t nm = mag_.size();
    if (sign_ == 0 || sign_ == ps) {
      mag_.resize(std::max(nm, np) + 1);
      std::uint64_t carry = 0;
      for (std::size_t i = 0; i < mag_.size(); ++i) {
        const u128 t = static_cast<u128>(mag_[i]) + (i < np ? prod[i] : 0) + carry;
        mag_[i] = static_cast<std::uint64_t>(t);
        carry = static_cast<std::uint64_t>(t >> 64);
      }
      sign_ = ps;
      trim();
      return;
    }
    // Opposite signs: the larger magnitude less the smaller.
    int c = nm != np ? (nm < np ? -1 : 1) : 0;
    for (std::size_t i = nm; c == 0 && i-- > 0;)
      if (mag_[i] != prod[i]) c = mag_[i] < prod[i] ? -1 : 1;
    if (c == 0) {
      assign(0);
      return;
    }
    mag_.resize(std::max(nm, np));
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < mag_.size(); ++i) {
      const std::uint64_t mine = i < nm ? mag_[i] : 0, theirs = i < np ? prod[i] : 0;
      const std::uint64_t x = c > 0 ? mine : theirs, y = c > 0 ? theirs : mine;
      const u128 t = static_cast<u128>(x) - y - borrow;
      mag_[i] = static_cast<std::uint64_t>(t);
      borrow = static_cast<std::uint64_t>(t >> 64) != 0 ? 1 : 0;
    }
    if (c < 0) sign_ = ps;
    trim();
  }

  // *this += fw * y for a word fw (|fw| <= 2^62).
  void add_word_times(const WideInt& y, std::int64_t fw) {
    if (fw == 0 || y.sign_ == 0) return;
    add_word_product(y, magnitude(fw), fw < 0 ? -y.sign_ : y.sign_);
  }

  // *this += sign * m (sign +-1).
  void add_magnitude(u128 m, int sign) {
    if (m == 0) return;
    const auto lo = static_cast<std::uint64_t>(m), hi = static_cast<std::uint64_t>(m >> 64);
    if (sign_ == 0 || sign_ == sign) {
      if (mag_.size() < 2) mag_.resize(2);
      u128 t = static_cast<u128>(mag_[0]) + lo;
      mag_[0] = static_cast<std::uint64_t>(t);
      t = static_cast<u128>(mag_[1]) + hi + static_cast<std::uint64_t>(t >> 64);
      mag_[1] = static_cast<std::uint64_t>(t);
      std::uint64_t carry = static_cast<std::uint64_t>(t >> 64);
      for (std::size_t i = 2; carry != 0; ++i) {
        if (i == mag_.size()) {
          mag_.push_back(carry);
          break;
        }
        carry = ++mag_[i] == 0 ? 1 : 0;
      }
      sign_ = sign;
      trim();
      return;
    }
    if (mag_.size() <= 2) {  // both fit 128 bits: the difference directly
      const u128 mine = (mag_.size() == 2 ? static_cast<u128>(mag_[1]) << 64 : 0) | mag_[0];
      if (mine < m) sign_ = sign;
      const u128 d = mine < m ? m - mine : mine - m;
      mag_.resize(2);
      mag_[0] = static_cast<std::uint64_t>(d);
      mag_[1] = static_cast<std::uint64_t>(d >> 64);
      trim();
      return;
    }
    // |this| >= 2^128 > m.
    std::uint64_t borrow = mag_[0] < lo ? 1 : 0;
    mag_[0] -= lo;
    const u128 t = static_cast<u128>(mag_[1]) - hi - borrow;
    mag_[1] = static_cast<std::uint64_t>(t);
    borrow = static_cast<std::uint64_t>(t >> 64) != 0 ? 1 : 0;
    for (std::size_t i = 2; borrow != 0; ++i) borrow = mag_[i]-- == 0 ? 1 : 0;
    trim();
  }

 private:
  // |this| -= |longer| f (a product of the opposite sign to this non-zero
  // value), in one pass: the difference is taken in two's complement over
  // one limb more than either magnitude, and a borrow out of the top means
  // the product was the larger, so the limbs are negated and the sign flips.
  void sub_word_product(const WideInt& longer, std::uint64_t f) {
    const std::size_t nl = longer.mag_.size();
    const std::size_t n = std::max(mag_.size(), nl + 1);
    mag_.resize(n);
    std::uint64_t carry = 0;  // the product's high limb and the borrow, at most 2^64 - 1
    std::size_t i = 0;
    for (; i < nl; ++i) {
      const u128 t = static_cast<u128>(longer.mag_[i]) * f + carry;
      const auto lo = static_cast<std::uint64_t>(t);
      const std::uint64_t m = mag_[i];
      mag_[i] = m - lo;
      carry = static_cast<std::uint64_t>(t >> 64) + (m < lo ? 1 : 0);
    }
    for (; carry != 0 && i < n; ++i) {
      const std::uint64_t m = mag_[i];
      mag_[i] = m - carry;
      carry = m < carry ? 1 : 0;
    }
    if (carry != 0) {
      std::uint64_t c = 1;
      for (std::uint64_t& l : mag_) {
        l = ~l + c;
        c = (l == 0 && c == 1) ? 1 : 0;
      }
      sign_ = -sign_;
    }
    trim();
  }
  // *this += ps |longer| f (ps +-1, f > 0) in one pass.
  void add_word_product(const WideInt& longer, std::uint64_t f, int ps) {
    if (sign_ == -ps) {
      sub_word_product(longer, f);
      return;
    }
    // The same sign (or zero).
    const std::size_t nl = longer.mag_.size();
    mag_.resize(std::max(mag_.size(), nl) + 1);
    std::uint64_t carry = 0;
    std::size_t i = 0;
    for (; i < nl; ++i) {
      const u128 t = static_cast<u128>(longer.mag_[i]) * f + mag_[i] + carry;
      mag_[i] = static_cast<std::uint64_t>(t);
      carry = static_cast<std::uint64_t>(t >> 64);
    }
    for (; carry != 0 && i < mag_.size(); ++i) {
      const u128 t = static_cast<u128>(mag_[i]) + carry;
      mag_[i] = static_cast<std::uint64_t>(t);
      carry = static_cast<std::uint64_t>(t >> 64);
    }
    sign_ = ps;
    trim();
  }
  void trim() {
    while (!mag_.empty() && mag_.back() == 0) mag_.pop_back();
    if (mag_.empty()) sign_ = 0;
  }
  int sign_ = 0;
  Limbs mag_;
};

}  // namespace tavrin::wide
