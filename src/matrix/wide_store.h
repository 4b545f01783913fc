// Integers for the eliminations of matrix/ that hold whole matrices: words
// while below 2^62 in absolute value, 64-bit limbs beyond, with the steps
// those eliminations take on them (a product added in place, a word times
// a long entry in one pass). Internal to matrix/.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "numbers/bigint_wide.h"
#include "numbers/zint.h"

namespace tavrin::wide {

constexpr std::int64_t word_limit = std::int64_t{1} << 62;

using u128 = unsigned __int128;

inline std::uint64_t magnitude(std::int64_t v) { return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v); }
// The limbs a slot of long entries starts with room for.
constexpr std::size_t slot_limbs = 8;

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
    return mag_.empty() ? 0 : 64 * static_cast<std::int64_t>(mag_.size() - 1) + std::bit_width(mag_.back());
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
    if (v != 0) mag_.push_back(v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v));
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
      for (; have >= 28; have -= 28, acc >>= 28) digits->push_back(static_cast<std::uint32_t>(acc & 0xFFFFFFF));
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
      add_word_product(a.mag_.size() == 1 ? b : a, a.mag_.size() == 1 ? a.mag_[0] : b.mag_[0], a.sign_ * b.sign_ * (subtract ? -1 : 1));
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

// Slots of long entries kept from one store to the next. An elimination
// with transforms of a small matrix puts hundreds of entries in limbs, and
// taking each slot from the heap and giving it back cost a tenth of its
// time. Only slots holding their limbs inline are kept, and at most
// max_spare, so the pool never holds more than that many small objects.
class SlotPool {
 public:
  // Room for every slot kept, taken once: giving back runs in destructors,
  // during unwinding too, and must not allocate.
  SlotPool() { spare_.reserve(max_spare); }
  std::unique_ptr<WideInt> take() {
    if (spare_.empty()) {
      auto p = std::make_unique<WideInt>();
      p->reserve(slot_limbs);
      return p;
    }
    std::unique_ptr<WideInt> p = std::move(spare_.back());
    spare_.pop_back();
    return p;
  }
  // Takes the slots of a store that is done with them.
  void give(std::vector<std::unique_ptr<WideInt>>& slots) noexcept {
    for (std::unique_ptr<WideInt>& s : slots) {
      if (spare_.size() == spare_.capacity()) break;
      s->assign(0);  // in the sanitizer build this gives back its exact block
      if (s->held_inline()) spare_.push_back(std::move(s));
    }
    slots.clear();
  }

 private:
  static constexpr std::size_t max_spare = 4096;
  std::vector<std::unique_ptr<WideInt>> spare_;
};

inline SlotPool& slot_pool() {
  thread_local SlotPool pool;
  return pool;
}

// n integers: words while below 2^62 in absolute value; an entry past
// them holds a mark below -2^62 naming its slot in a side table of limbs,
// so that a matrix of words carries no limbs at all. A slot given back
// keeps its storage for the next long entry.
class Store {
 public:
  explicit Store(std::size_t n) : w_(n, 0) {}
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;
  Store(Store&&) = default;
  Store& operator=(Store&&) = default;
  ~Store() {
    if (!big_.empty()) slot_pool().give(big_);  // the pool exists: it gave them
  }
  bool is_big(std::size_t i) const { return w_[i] < -word_limit; }
  bool zero(std::size_t i) const { return w_[i] == 0; }
  std::int64_t word(std::size_t i) const { return w_[i]; }
  // The words, long entries' marks among them (below -2^62).
  std::int64_t* words() { return w_.data(); }
  const WideInt& big(std::size_t i) const { return *big_[slot(i)]; }
  ZInt value(std::size_t i) const { return is_big(i) ? big(i).value() : ZInt(w_[i]); }
  int sign(std::size_t i) const { return is_big(i) ? big(i).sign() : (w_[i] > 0) - (w_[i] < 0); }
  // The bits of the entry (of its absolute value).
  std::int64_t bits(std::size_t i) const {
    return is_big(i) ? big(i).bits() : std::bit_width(static_cast<std::uint64_t>(std::abs(w_[i])));
  }
  void set(std::size_t i, std::int64_t v) {
    release(i);
    w_[i] = v;
  }
  void set(std::size_t i, const ZInt& z) {
    if (z.bit_length() < 62) {
      set(i, z.to_int64());
      return;
    }
    make_big(i).assign(z);
  }
  // Entry i held in limbs (to be changed in place, then settled).
  WideInt& make_big(std::size_t i) {
    if (!is_big(i)) to_slot(i);
    return *big_[slot(i)];
  }
  // Back into a word when it fits.
  void settle(std::size_t i) {
    if (big(i).fits_word()) set(i, big(i).word());
  }
  void swap(std::size_t i, std::size_t j) { std::swap(w_[i], w_[j]); }
  void negate(std::size_t i) {
    if (is_big(i))
      big_[slot(i)]->negate();
    else
      w_[i] = -w_[i];
  }
  // |entry i| < |entry j| (both non-zero).
  bool abs_less(std::size_t i, std::size_t j) const {
    if (is_big(i) || is_big(j)) return !is_big(i) || (is_big(j) && compare_abs(big(i), big(j)) < 0);
    return std::abs(w_[i]) < std::abs(w_[j]);
  }
  // The bits of the longest entry in limbs (0: none).
  std::int64_t long_bits() const {
    std::int64_t b = 0;
    for (const auto& l : big_) b = std::max(b, l->bits());
    return b;
  }

 private:
  // Word entry i moved into a slot.
  void to_slot(std::size_t i) {
    const std::int64_t v = w_[i];
    std::size_t s = 0;
    if (free_.empty()) {
      s = big_.size();
      big_.push_back(slot_pool().take());
    } else {
      s = free_.back();
      free_.pop_back();
    }
    big_[s]->assign(v);
    w_[i] = INT64_MIN + static_cast<std::int64_t>(s);
  }

  std::size_t slot(std::size_t i) const { return static_cast<std::size_t>(w_[i] - INT64_MIN); }
  void release(std::size_t i) {
    if (!is_big(i)) return;
    big_[slot(i)]->assign(0);
    free_.push_back(slot(i));
  }
  std::vector<std::int64_t> w_;
  std::vector<std::unique_ptr<WideInt>> big_;  // stable while the table grows
  std::vector<std::size_t> free_;
};

// A multiplier: a word, or limbs.
struct Factor {
  bool big = false;
  std::int64_t w = 0;
  WideInt z;
  bool zero() const { return !big && w == 0; }
  void set(const ZInt& v) {
    big = v.bit_length() >= 62;
    if (big)
      z.assign(v);
    else
      w = v.to_int64();
  }
};

// s[x] += sign f s[y] (sign +-1): in words while the sum stays one, in
// limbs beyond; y_scratch holds a word operand in limbs.
inline void add_scaled(Store& s, std::size_t x, std::size_t y, const Factor& f, int sign, WideInt* y_scratch) {
  if (s.zero(y) || f.zero()) return;
  const std::int64_t fw = f.big ? 0 : sign * f.w;
  if (!f.big && !s.is_big(x) && !s.is_big(y)) {
    const __int128 v = static_cast<__int128>(s.word(x)) + static_cast<__int128>(fw) * s.word(y);
    if (v < word_limit && v > -word_limit) {
      s.set(x, static_cast<std::int64_t>(v));
      return;
    }
    s.make_big(x).assign_wide(v);
  } else {
    const WideInt& yz = s.is_big(y) ? s.big(y) : (y_scratch->assign(s.word(y)), *y_scratch);
    if (f.big)
      s.make_big(x).add_product(f.z, yz, sign < 0);
    else
      s.make_big(x).add_word_times(yz, fw);
  }
  s.settle(x);
}

// The number x := entry i of s.
inline void store_entry(const Store& s, std::size_t i, imptr x) {
  if (s.is_big(i))
    s.big(i).value().store(x);
  else
    set_word_number(s.word(i), x);
}

// |entry i| < |entry j| of s (both non-zero). A sum kept as a word may
// have 62 bits, as may an entry in limbs brought back down, so the lengths
// come first and the magnitudes decide between equal ones (Store::abs_less
// puts every entry in limbs above every word).
inline bool abs_less_by_length(const Store& s, std::size_t i, std::size_t j) {
  if (!s.is_big(i) && !s.is_big(j)) return magnitude(s.word(i)) < magnitude(s.word(j));
  const std::int64_t bi = s.bits(i), bj = s.bits(j);
  if (bi != bj) return bi < bj;
  if (s.is_big(i) && s.is_big(j)) return compare_abs(s.big(i), s.big(j)) < 0;
  const auto low = [&s](std::size_t k) { return s.is_big(k) ? s.big(k).low() : magnitude(s.word(k)); };
  return low(i) < low(j);  // one limb each
}


}  // namespace tavrin::wide
