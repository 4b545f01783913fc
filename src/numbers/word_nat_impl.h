// Natural numbers as growable word vectors: the convenient form of the
// recursive word kernels (the half-GCD, the extended GCD, the square root,
// powers modulo a number), whose pieces change length at every step. The
// arithmetic is that of word_array.h.
//
// A nat holds its words least significant first with no leading zero
// word; zero is empty. Every routine takes and gives normalised nats.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "numbers/word_array.h"

namespace tavrin::kit::nats {

using nat = std::vector<word>;

inline std::int32_t len(const nat& x) { return static_cast<std::int32_t>(x.size()); }

inline void trim(nat& x) {
  while (!x.empty() && x.back() == 0) x.pop_back();
}

inline int compare(const nat& a, const nat& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.empty() ? 0 : wcmp(a.data(), b.data(), len(a));
}

inline nat product(const nat& a, const nat& b) {
  if (a.empty() || b.empty()) return {};
  nat r(a.size() + b.size());
  if (a.size() >= b.size()) {
    wmul(r.data(), a.data(), len(a), b.data(), len(b));
  } else {
    wmul(r.data(), b.data(), len(b), a.data(), len(a));
  }
  trim(r);
  return r;
}

inline nat square(const nat& a) {
  if (a.empty()) return {};
  nat r(2 * a.size());
  wsqr(r.data(), a.data(), len(a));
  trim(r);
  return r;
}

inline nat sum(const nat& a, const nat& b) {
  const nat& l = a.size() >= b.size() ? a : b;
  const nat& s = a.size() >= b.size() ? b : a;
  if (s.empty()) return l;
  nat r(l.size() + 1);
  r.back() = wadd(r.data(), l.data(), len(l), s.data(), len(s));
  trim(r);
  return r;
}

// |a - b|.
inline nat distance(const nat& a, const nat& b) {
  const bool ab = compare(a, b) >= 0;
  const nat& l = ab ? a : b;
  const nat& s = ab ? b : a;
  nat r = l;
  if (!s.empty()) wsub(r.data(), r.data(), len(r), s.data(), len(s));
  trim(r);
  return r;
}

// x div B^p (B = 2^64).
inline nat high(const nat& x, std::int32_t p) {
  return len(x) <= p ? nat{} : nat(x.begin() + p, x.end());
}

// The number of bits of x (0 for zero).
inline std::int64_t bit_length(const nat& x) {
  if (x.empty()) return 0;
  return std::int64_t{64} * len(x) - __builtin_clzll(x.back());
}

// x div 2^bits.
inline nat shifted_right(const nat& x, std::int64_t bits) {
  const auto whole = static_cast<std::int32_t>(bits / 64);
  if (whole >= len(x)) return {};
  nat r(x.begin() + whole, x.end());
  wshr(r.data(), r.data(), len(r), static_cast<int>(bits % 64));
  trim(r);
  return r;
}

// x mod 2^bits.
inline nat low_bits(const nat& x, std::int64_t bits) {
  const auto whole = static_cast<std::int32_t>(bits / 64);
  if (whole >= len(x)) return x;
  nat r(x.begin(), x.begin() + whole + 1);
  r.back() &= (word{1} << (bits % 64)) - 1;
  trim(r);
  return r;
}

// x 2^bits.
inline nat shifted_left(const nat& x, std::int64_t bits) {
  if (x.empty()) return {};
  const auto whole = static_cast<std::size_t>(bits / 64);
  nat r(whole + x.size() + 1, 0);
  r.back() = wshl(r.data() + whole, x.data(), len(x), static_cast<int>(bits % 64));
  trim(r);
  return r;
}

// q := a div b, r := a mod b for b non-zero.
inline void quotient_remainder(const nat& a, const nat& b, nat& q, nat& r) {
  if (compare(a, b) < 0) {
    q.clear();
    r = a;
    return;
  }
  nat qq(a.size() - b.size() + 1), rr(b.size());
  wdivrem(qq.data(), rr.data(), a.data(), len(a), b.data(), len(b));
  trim(qq);
  trim(rr);
  q = std::move(qq);
  r = std::move(rr);
}

}  // namespace tavrin::kit::nats
