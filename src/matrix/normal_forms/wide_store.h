// The store of the eliminations of matrix/ that hold whole matrices: words
// while below 2^62 in absolute value, WideInt (numbers/wide_int.h) beyond,
// with the steps those eliminations take on them (a product added in place,
// a word times a long entry in one pass). Internal to matrix/.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "numbers/bigint_wide.h"
#include "numbers/wide_int.h"
#include "numbers/zint.h"

namespace tavrin::wide {

constexpr std::int64_t word_limit = std::int64_t{1} << 62;

// The limbs a slot of long entries starts with room for.
constexpr std::size_t slot_limbs = 8;

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
inline void add_scaled(Store& s, std::size_t x, std::size_t y, const Factor& f, int sign,
                       WideInt* y_scratch) {
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
  const auto low = [&s](std::size_t k) {
    return s.is_big(k) ? s.big(k).low() : magnitude(s.word(k));
  };
  return low(i) < low(j);  // one limb each
}

}  // namespace tavrin::wide
