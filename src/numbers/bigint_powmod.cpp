// Powers modulo a number on words (bigint_powmod.h).
#include "numbers/bigint_powmod.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/word_array.h"
#include "numbers/word_nat_impl.h"

namespace tavrin {

namespace {

using namespace kit::nats;
using kit::word;

// The magnitude of x as a nat.
nat nat_of(imptr x) {
  nat w(static_cast<std::size_t>(kit::words_for_digits(x->size)));
  w.resize(static_cast<std::size_t>(kit::words_of_limbs(w.data(), x->head, x->size)));
  trim(w);
  return w;
}

// x mod B^k as exactly k words (zeros above x's length).
nat low_words(const nat& x, std::int32_t k) {
  nat r(static_cast<std::size_t>(k), 0);
  const auto count = static_cast<std::size_t>(std::min(len(x), k));
  for (std::size_t i = 0; i < count; ++i) r[i] = x[i];
  return r;
}

// Barrett's reduction modulo m of n words: x mod m for 0 <= x < B^2n.
class Barrett {
 public:
  explicit Barrett(const nat& m) : m_(m), n_(len(m)) {
    nat power(static_cast<std::size_t>(2 * n_ + 1), 0);
    power.back() = 1;
    nat rem;
    quotient_remainder(power, m_, v_, rem);
    if (n_ >= powmod_wrap_words) wrap_ = kit::wmul_wrap_words(n_ + 1);
  }

  nat reduce(const nat& x) const {
    if (compare(x, m_) < 0) return x;
    // q := floor(floor(x / B^(n-1)) v / B^(n+1)) is the quotient or at most
    // two below it; r := x - q m then, taken modulo B^(n+1).
    const nat q = high(product(high(x, n_ - 1), v_), n_ + 1);
    if (wrap_ != 0) return wrapped_remainder(x, q);
    nat r = low_words(x, n_ + 1);
    const nat low = low_words(product(q, m_), n_ + 1);
    kit::wsub_n(r.data(), r.data(), low.data(), n_ + 1);  // exact modulo B^(n+1)
    trim(r);
    while (compare(r, m_) >= 0) r = distance(r, m_);
    return r;
  }

 private:
  // x - q m for q m <= x < q m + 3 m, taken modulo 2^K - 1 (K = 64 wrap_
  // bits, 2^K - 1 > 3 m): x folded at K bits, q m by the wrapped product.
  nat wrapped_remainder(const nat& x, const nat& q) const {
    nat r(static_cast<std::size_t>(wrap_), 0);
    for (std::int32_t at = 0; at < len(x); at += wrap_) {
      const std::int32_t k = std::min(wrap_, len(x) - at);
      word carry = kit::wadd(r.data(), r.data(), wrap_, x.data() + at, k);
      while (carry != 0) carry = kit::wadd_1(r.data(), r.data(), wrap_, carry);
    }
    nat qm(static_cast<std::size_t>(wrap_));
    if (!q.empty()) kit::wmul_ntt_wrap(qm.data(), wrap_, q.data(), len(q), m_.data(), n_);
    // r - qm modulo 2^K - 1: a borrow wrapped to + 2^K, so one less.
    if (kit::wsub_n(r.data(), r.data(), qm.data(), wrap_) != 0)
      kit::wsub_1(r.data(), r.data(), wrap_, 1);
    trim(r);
    if (len(r) == wrap_ && std::all_of(r.begin(), r.end(), [](word w) { return w == ~word{0}; }))
      r.clear();
    while (compare(r, m_) >= 0) r = distance(r, m_);
    return r;
  }

  nat m_;
  std::int32_t n_;
  nat v_;                  // floor(B^2n / m)
  std::int32_t wrap_ = 0;  // words of the wrapped products' modulus, or 0
};

// The window for an exponent of `bits` bits: the size that minimises the
// products, the 2^(k-1) odd powers against about bits / (k + 1).
int window_bits(std::int64_t bits) {
  static constexpr std::int64_t limits[] = {7, 25, 81, 241, 673, 1793, 4609};
  int k = 1;
  for (const std::int64_t l : limits)
    if (bits > l) ++k;
  return k;
}

bool bit_of(const nat& e, std::int64_t i) {
  return ((e[static_cast<std::size_t>(i / 64)] >> (i % 64)) & 1u) != 0;
}

}  // namespace

void number_powmod(imptr b, imptr e, imptr m, imptr ans) {
  const nat mod = nat_of(m), exponent = nat_of(e);
  nat base, rem;
  quotient_remainder(nat_of(b), mod, base, rem);
  if (kit::sign_of_number(b) < 0 && !rem.empty()) rem = distance(mod, rem);
  nat result;
  if (!rem.empty() && compare(mod, nat{1}) != 0) {
    const Barrett red(mod);
    // The odd powers rem^1, rem^3, ..., rem^(2^k - 1).
    const std::int64_t bits = bit_length(exponent);
    const int k = window_bits(bits);
    std::vector<nat> odd(std::size_t{1} << (k - 1));
    odd[0] = rem;
    const nat sq = red.reduce(square(rem));
    for (std::size_t i = 1; i < odd.size(); ++i) odd[i] = red.reduce(product(odd[i - 1], sq));
    // Left to right: a run of squares, then a window ending in a 1 bit.
    std::int64_t i = bits - 1;
    bool started = false;
    while (i >= 0) {
      if (!bit_of(exponent, i)) {
        result = red.reduce(square(result));
        --i;
        continue;
      }
      std::int64_t low = std::max<std::int64_t>(i - k + 1, 0);
      while (!bit_of(exponent, low)) ++low;
      std::size_t value = 0;
      for (std::int64_t j = i; j >= low; --j) value = 2 * value + (bit_of(exponent, j) ? 1 : 0);
      if (started) {
        for (std::int64_t j = i; j >= low; --j) result = red.reduce(square(result));
        result = red.reduce(product(result, odd[value / 2]));
      } else {
        result = odd[value / 2];
        started = true;
      }
      i = low - 1;
      check_interrupt();
    }
  }
  const word zero = 0;
  kit::install_limbs(ans, kit::limbs_of_words(result.empty() ? &zero : result.data(),
                                              std::max(len(result), 1), 1));
}

}  // namespace tavrin
