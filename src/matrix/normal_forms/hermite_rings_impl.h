// The residue rings of the Hermite elimination modulo a determinant
// (hermite_elimination.cpp): a word, a fixed number of 64-bit words, or a
// big integer, behind one interface, so that one template serves every size
// of the modulus.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <type_traits>
#include <utility>
#include <vector>

#include "numbers/word_field.h"
#include "numbers/zint.h"

namespace tavrin::hermite_rings {

// ---- Residues modulo R --------------------------------------------------------------------
// Two rings with one interface: words (R < 2^32) and big integers. The
// modulus shrinks as pivots are found; values are kept in [0, R).

struct WordRing {
  using E = std::uint64_t;
  std::uint64_t R;
  WordField f;  // reduction modulo R (Barrett's)
  explicit WordRing(const ZInt& n)
      : R(static_cast<std::uint64_t>(n.to_int64())), f(static_cast<std::uint32_t>(R)) {}
  E from(const ZInt& x) const { return x.mod_word(static_cast<std::uint32_t>(R)); }
  ZInt value(E x) const { return ZInt(static_cast<std::int64_t>(x)); }
  bool one() const { return R == 1; }
  E mul(E a, E b) const { return f.reduce(a * b); }
  // y := y - f x over n entries.
  void axpy(E* y, const E* x, std::size_t n, E g0) const {
    const E g = g0 == 0 ? 0 : R - g0;
    for (std::size_t k = 0; k < n; ++k) y[k] = f.reduce(y[k] + g * x[k]);
  }
  // x, y := s x + t y, u x + v y (s v - t u = 1); every product below 2^62.
  void combine(E* x, E* y, std::size_t n, E s, E t, E u, E v) const {
    for (std::size_t k = 0; k < n; ++k) {
      const E a = x[k], b = y[k];
      x[k] = f.reduce(s * a + t * b);
      y[k] = f.reduce(u * a + v * b);
    }
  }
  E residue(std::int64_t v) const {
    const auto r = static_cast<std::int64_t>(R);
    const std::int64_t m = v % r;
    return static_cast<E>(m < 0 ? m + r : m);
  }
  // g = gcd(a, b) as integers and the unimodular pair of Euclid: s a + t b
  // = g, u = -b/g, v = a/g, all reduced.
  E bezout(E a, E b, E* s, E* t, E* u, E* v) const {
    std::int64_t ss = 0, tt = 0;
    const std::int64_t g =
        word_xgcd(static_cast<std::int64_t>(a), static_cast<std::int64_t>(b), &ss, &tt);
    *s = residue(ss);
    *t = residue(tt);
    *u = residue(-static_cast<std::int64_t>(b) / g);
    *v = residue(static_cast<std::int64_t>(a) / g);
    return static_cast<E>(g);
  }
  // d = gcd(a, R) and w with w a = d modulo R (a = 0: d = R, w = 0).
  E gcd_with_modulus(E a, E* w) const {
    if (a == 0) {
      *w = 0;
      return R;
    }
    std::int64_t s = 0, t = 0;
    const std::int64_t g =
        word_xgcd(static_cast<std::int64_t>(a), static_cast<std::int64_t>(R), &s, &t);
    *w = residue(s);
    return static_cast<E>(g);
  }
  void shrink(E d) {
    R /= d;
    f = WordField(static_cast<std::uint32_t>(R));
  }
  E reduce(E x) const { return f.reduce(x); }
  // gcd(a, R) (R for a = 0).
  E gcd_r(E a) const {
    std::uint64_t x = a, y = R;
    while (y != 0) {
      x %= y;
      std::swap(x, y);
    }
    return x;
  }
  static E gcd(E a, E b) { return std::gcd(a, b); }
  // The floor quotient of x (in [0, G)) by d, and x - q d.
  static E quotient(E x, E d) { return x / d; }
  static E remainder(E x, E d) { return x % d; }
};

struct BigRing {
  using E = ZInt;
  ZInt R;
  explicit BigRing(const ZInt& n) : R(n) {}
  E from(const ZInt& x) const { return x.mod(R); }
  ZInt value(const E& x) const { return x; }
  bool one() const { return R.is_one(); }
  E mul(const E& a, const E& b) const { return (a * b).mod(R); }
  void axpy(E* y, const E* x, std::size_t n, const E& f) const {
    for (std::size_t k = 0; k < n; ++k)
      if (!x[k].is_zero()) y[k] = (y[k] - f * x[k]).mod(R);
  }
  void combine(E* x, E* y, std::size_t n, const E& s, const E& t, const E& u, const E& v) const {
    for (std::size_t k = 0; k < n; ++k) {
      const E a = x[k], b = y[k];
      x[k] = (s * a + t * b).mod(R);
      y[k] = (u * a + v * b).mod(R);
    }
  }
  E bezout(const E& a, const E& b, E* s, E* t, E* u, E* v) const {
    ZInt ss, tt;
    const ZInt g = ZInt::xgcd(a, b, &ss, &tt);
    *s = ss.mod(R);
    *t = tt.mod(R);
    ZInt q;
    ZInt::divides(b, g, &q);
    *u = (-q).mod(R);
    ZInt::divides(a, g, &q);
    *v = q.mod(R);
    return g;
  }
  E gcd_with_modulus(const E& a, E* w) const {
    if (a.is_zero()) {
      *w = 0;
      return R;
    }
    ZInt s, t;
    const ZInt g = ZInt::xgcd(a, R, &s, &t);
    *w = s.mod(R);
    return g;
  }
  void shrink(const E& d) { ZInt::divides(R, d, &R); }
  E reduce(const E& x) const { return x.mod(R); }
  E gcd_r(const E& a) const { return ZInt::gcd(a, R); }
  static E gcd(const E& a, const E& b) { return ZInt::gcd(a, b); }
  static E quotient(const E& x, const E& d) {
    ZInt q;
    ZInt::divmod(x, d, &q, nullptr);
    return q;
  }
  static E remainder(const E& x, const E& d) {
    ZInt r;
    ZInt::divmod(x, d, nullptr, &r);
    return r;
  }
};

// The arithmetic of residues modulo R of exactly K 64-bit words
// (little-endian), shared by every width of FixedRing: loops of a fixed
// length, which unroll. mu = floor(2^(128 K) / R), K + 1 words.
template <int K>
struct Words {
  using u64 = std::uint64_t;
  using u128 = unsigned __int128;
  // x >= R, for x of K + 1 words.
  static bool at_least(const u64* x, const u64* R) {
    if (x[K] != 0) return true;
    for (int i = K - 1; i >= 0; --i)
      if (x[i] != R[i]) return x[i] > R[i];
    return true;
  }
  // x := x - R while x >= R (x of K + 1 words).
  static void settle(u64* x, const u64* R) {
    while (at_least(x, R)) {
      unsigned char borrow = 0;
#pragma GCC unroll 16
      for (int i = 0; i <= K; ++i) {
        const u128 t = static_cast<u128>(x[i]) - (i < K ? R[i] : 0) - borrow;
        x[i] = static_cast<u64>(t);
        borrow = static_cast<unsigned char>((t >> 64) != 0);
      }
    }
  }
  // out := x mod R (x of 2K words, below 2^(128 K)).
  static void barrett(const u64* x, const u64* R, const u64* mu, u64* out) {
    // q3 = floor(floor(x / 2^(64(K-1))) mu / 2^(64(K+1))), less the
    // products below word K - 1 (together under 2^(64(K+1)) by far: q3
    // one short at most, which settle makes good).
    u64 q2[2 * K + 2] = {};
#pragma GCC unroll 8
    for (int i = 0; i <= K; ++i) {
      const u64 a = x[K - 1 + i];
      if (a == 0) continue;
      u64 carry = 0;
#pragma GCC unroll 16
      for (int j = i + 1 < K ? K - 1 - i : 0; j <= K; ++j) {
        const u128 t = static_cast<u128>(a) * mu[j] + q2[i + j] + carry;
        q2[i + j] = static_cast<u64>(t);
        carry = static_cast<u64>(t >> 64);
      }
      q2[i + K + 1] += carry;
    }
    const u64* q3 = q2 + K + 1;
    // r = x - q3 R modulo 2^(64(K+1)).
    u64 qr[K + 1] = {};
#pragma GCC unroll 8
    for (int i = 0; i <= K; ++i) {
      if (q3[i] == 0) continue;
      u64 carry = 0;
#pragma GCC unroll 16
      for (int j = 0; i + j <= K; ++j) {
        const u128 t = static_cast<u128>(q3[i]) * (j < K ? R[j] : 0) + qr[i + j] + carry;
        qr[i + j] = static_cast<u64>(t);
        carry = static_cast<u64>(t >> 64);
      }
    }
    u64 r[K + 1];
    sub_words<K + 1>(x, qr, r);
    settle(r, R);
    for (int i = 0; i < K; ++i) out[i] = r[i];
  }
  // out := a b mod R (a, b in [0, R)).
  static void mul(const u64* a, const u64* b, const u64* R, const u64* mu, u64* out) {
    u64 t[2 * K] = {};
#pragma GCC unroll 8
    for (int i = 0; i < K; ++i) {
      if (a[i] == 0) continue;
      u64 carry = 0;
#pragma GCC unroll 16
      for (int j = 0; j < K; ++j) {
        const u128 p = static_cast<u128>(a[i]) * b[j] + t[i + j] + carry;
        t[i + j] = static_cast<u64>(p);
        carry = static_cast<u64>(p >> 64);
      }
      t[i + K] = carry;
    }
    barrett(t, R, mu, out);
  }
  // out := a - b over N words (out may be a or b); the borrow out of them.
  template <int N>
  static unsigned char sub_words(const u64* a, const u64* b, u64* out) {
    unsigned char borrow = 0;
#pragma GCC unroll 8
    for (int i = 0; i < N; ++i) {
      const u128 t = static_cast<u128>(a[i]) - b[i] - borrow;
      out[i] = static_cast<u64>(t);
      borrow = static_cast<unsigned char>((t >> 64) != 0);
    }
    return borrow;
  }
  // out := a + b over K words (out may be a or b); the carry out of them.
  static unsigned char add_words(const u64* a, const u64* b, u64* out) {
    unsigned char carry = 0;
#pragma GCC unroll 8
    for (int i = 0; i < K; ++i) {
      const u128 s = static_cast<u128>(a[i]) + b[i] + carry;
      out[i] = static_cast<u64>(s);
      carry = static_cast<unsigned char>(s >> 64);
    }
    return carry;
  }
  // out := a + b and a - b mod R (a, b in [0, R)).
  static void add(const u64* a, const u64* b, const u64* R, u64* out) {
    u64 t[K + 1];
    t[K] = add_words(a, b, t);
    settle(t, R);
    for (int i = 0; i < K; ++i) out[i] = t[i];
  }
  static void sub(const u64* a, const u64* b, const u64* R, u64* out) {
    // a - b + 2^(64 K) + R: the carry out of K words drops the 2^(64 K).
    if (sub_words<K>(a, b, out) != 0) add_words(out, R, out);
  }
};

// Residues of a modulus R of at most W 64-bit words, held in W words
// (little-endian) without allocation: products by schoolbook, reduced by
// Barrett's method (mu = floor(2^(128 k) / R) for R of k words, the
// quotient estimate at most two short). Values may lag behind a shrunken
// R (they are below an earlier multiple of it) and are brought into [0, R)
// before use. The rare gcd steps go through ZInt. (Barrett: Handbook of
// Applied Cryptography, Algorithm 14.42.)
template <int W>
struct FixedRing {
  struct E {
    std::array<std::uint64_t, W> w{};
    E() = default;
    explicit E(std::uint64_t v) { w[0] = v; }
    bool operator==(const E&) const = default;
  };
  ZInt Rz;
  E R;
  std::int32_t k = 1;                     // words of R
  std::array<std::uint64_t, W + 2> mu{};  // k + 1 words

  explicit FixedRing(const ZInt& n) { set(n); }

  static E words(const ZInt& x) {  // x in [0, 2^(64 W))
    E e;
    std::size_t bit = 0;
    for (std::uint32_t d : x.magnitude()) {
      const std::size_t at = bit / 64, off = bit % 64;
      e.w[at] |= static_cast<std::uint64_t>(d) << off;
      if (off > 36 && at + 1 < W) e.w[at + 1] |= static_cast<std::uint64_t>(d) >> (64 - off);
      bit += 28;
    }
    return e;
  }
  static ZInt integer(const std::uint64_t* w, std::int32_t n) {
    while (n > 0 && w[n - 1] == 0) --n;  // the digits of the words in use, sized once
    const std::size_t bits = static_cast<std::size_t>(n) * 64;
    ZDigits d;
    d.resize_for_overwrite((bits + 27) / 28);
    for (std::size_t bit = 0, i = 0; bit < bits; bit += 28, ++i) {
      const std::size_t at = bit / 64, off = bit % 64;
      std::uint64_t v = w[at] >> off;
      if (off > 36 && at + 1 < static_cast<std::size_t>(n)) v |= w[at + 1] << (64 - off);
      d[i] = static_cast<std::uint32_t>(v & ((1u << 28) - 1));
    }
    return ZInt::from_digits(std::move(d), 1);
  }
  void set(const ZInt& n) {
    Rz = n;
    R = words(n);
    k = W;
    while (k > 1 && R.w[static_cast<std::size_t>(k) - 1] == 0) --k;
    const std::int64_t bits = 128 * static_cast<std::int64_t>(k);
    std::vector<std::uint32_t> d(static_cast<std::size_t>(bits / 28) + 1, 0);
    d.back() = 1u << (bits % 28);
    ZInt q;
    ZInt::divmod(ZInt::from_digits(std::move(d), 1), n, &q, nullptr);
    mu.fill(0);
    std::size_t bit = 0;
    for (std::uint32_t x : q.magnitude()) {
      const std::size_t at = bit / 64, off = bit % 64;
      mu[at] |= static_cast<std::uint64_t>(x) << off;
      if (off > 36 && at + 1 < mu.size()) mu[at + 1] |= static_cast<std::uint64_t>(x) >> (64 - off);
      bit += 28;
    }
  }
  // Calls f.template operator()<K>() with K = k, the words of R.
  template <class F>
  decltype(auto) by_words(F&& f) const {
    return with_words(f, std::make_integer_sequence<int, W>{});
  }
  template <class F, int... I>
  decltype(auto) with_words(F& f, std::integer_sequence<int, I...>) const {
    using Result = decltype(f.template operator()<1>());
    if constexpr (std::is_void_v<Result>) {
      (void)((k == I + 1 && (f.template operator()<I + 1>(), true)) || ...);
    } else {
      Result r{};
      (void)((k == I + 1 && (r = f.template operator()<I + 1>(), true)) || ...);
      return r;
    }
  }
  // x brought into [0, R).
  template <int K>
  E reduce(const E& x) const {
    bool high = false;
    for (int i = K; i < W; ++i) high = high || x.w[static_cast<std::size_t>(i)] != 0;
    if (!high)
      for (int i = K - 1; i >= 0; --i)
        if (x.w[static_cast<std::size_t>(i)] != R.w[static_cast<std::size_t>(i)]) {
          if (x.w[static_cast<std::size_t>(i)] < R.w[static_cast<std::size_t>(i)]) return x;
          break;
        }
    for (int i = 2 * K; i < W; ++i)
      if (x.w[static_cast<std::size_t>(i)] != 0) return words(value(x).mod(Rz));
    std::array<std::uint64_t, 2 * K> t{};
    for (int i = 0; i < std::min(2 * K, W); ++i)
      t[static_cast<std::size_t>(i)] = x.w[static_cast<std::size_t>(i)];
    E e;
    Words<K>::barrett(t.data(), R.w.data(), mu.data(), e.w.data());
    return e;
  }
  template <int K>
  E mul(const E& a, const E& b) const {
    E e;
    Words<K>::mul(a.w.data(), b.w.data(), R.w.data(), mu.data(), e.w.data());
    return e;
  }
  template <int K>
  E add(const E& a, const E& b) const {
    E e;
    Words<K>::add(a.w.data(), b.w.data(), R.w.data(), e.w.data());
    return e;
  }
  template <int K>
  E sub(const E& a, const E& b) const {
    E e;
    Words<K>::sub(a.w.data(), b.w.data(), R.w.data(), e.w.data());
    return e;
  }
  E from(const ZInt& x) const { return words(x.mod(Rz)); }
  ZInt value(const E& x) const { return integer(x.w.data(), W); }
  bool one() const { return Rz.is_one(); }
  E reduce(const E& x) const {
    return by_words([&]<int K>() { return reduce<K>(x); });
  }
  E mul(const E& a, const E& b) const {
    return by_words([&]<int K>() { return mul<K>(reduce<K>(a), reduce<K>(b)); });
  }
  // y := y - f x over n entries.
  void axpy(E* y, const E* x, std::size_t n, const E& f) const {
    by_words([&]<int K>() {
      const E g = reduce<K>(f);
      for (std::size_t i = 0; i < n; ++i)
        if (!(x[i] == E(0))) y[i] = sub<K>(reduce<K>(y[i]), mul<K>(g, reduce<K>(x[i])));
    });
  }
  // x, y := s x + t y, u x + v y.
  void combine(E* x, E* y, std::size_t n, const E& s0, const E& t0, const E& u0,
               const E& v0) const {
    by_words([&]<int K>() {
      const E s = reduce<K>(s0), t = reduce<K>(t0), u = reduce<K>(u0), v = reduce<K>(v0);
      for (std::size_t i = 0; i < n; ++i) {
        const E a = reduce<K>(x[i]), b = reduce<K>(y[i]);
        x[i] = add<K>(mul<K>(s, a), mul<K>(t, b));
        y[i] = add<K>(mul<K>(u, a), mul<K>(v, b));
      }
    });
  }
  E bezout(const E& a, const E& b, E* s, E* t, E* u, E* v) const {
    ZInt ss, tt, q;
    const ZInt az = value(a), bz = value(b);
    const ZInt g = ZInt::xgcd(az, bz, &ss, &tt);
    *s = from(ss);
    *t = from(tt);
    ZInt::divides(bz, g, &q);
    *u = from(-q);
    ZInt::divides(az, g, &q);
    *v = from(q);
    return words(g);
  }
  E gcd_with_modulus(const E& a, E* w) const {
    if (a == E(0)) {
      *w = E(0);
      return R;
    }
    ZInt s, t;
    const ZInt g = ZInt::xgcd(value(a), Rz, &s, &t);
    *w = from(s);
    return words(g);
  }
  E gcd_r(const E& a) const { return words(ZInt::gcd(value(a), Rz)); }
  static E gcd(const E& a, const E& b) {
    return words(ZInt::gcd(integer(a.w.data(), W), integer(b.w.data(), W)));
  }
  void shrink(const E& d) {
    if (d == E(1)) return;
    ZInt q;
    ZInt::divides(Rz, value(d), &q);
    set(q);
  }
  // The floor quotient of x (in [0, G)) by the pivot d, and the remainder.
  static E quotient(const E& x, const E& d) {
    if (d == E(1)) return x;
    ZInt q;
    ZInt::divmod(integer(x.w.data(), W), integer(d.w.data(), W), &q, nullptr);
    return words(q);
  }
  static E remainder(const E& x, const E& d) {
    if (d == E(1)) return E(0);
    ZInt r;
    ZInt::divmod(integer(x.w.data(), W), integer(d.w.data(), W), nullptr, &r);
    return words(r);
  }
};

}  // namespace tavrin::hermite_rings
