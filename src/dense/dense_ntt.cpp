// Products of long residue arrays by number-theoretic transforms: the
// product over the integers is formed modulo two or three primes
// c 2^k + 1 below 2^31 (enough that their product exceeds every
// coefficient, at most (shorter length) (p - 1)^2), joined by the Chinese
// remainder theorem and reduced modulo p.
//
// Transforms: decimation in frequency forward (natural order in,
// bit-reversed out), decimation in time backward (bit-reversed in, natural
// out), so no reordering pass is needed. Twiddle factors are multiplied by
// Shoup's method (a precomputed quotient per factor), pointwise products by
// Montgomery's reduction with R = 2^32, whose factor R^-1 the final scaling
// takes back.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dense/dense_impl.h"

namespace tavrin::dense_detail {

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

// t mod p for t < 2p, p < 2^31, without a branch: t - p, and p back when
// that went below zero.
inline u32 reduce_once(u32 t, u32 p) {
  const u32 r = t - p;
  return r + (p & static_cast<u32>(static_cast<std::int32_t>(r) >> 31));
}

u32 pow_mod(u32 b, u64 e, u32 p) {
  u64 r = 1, x = b;
  for (; e != 0; e >>= 1) {
    if (e & 1) r = r * x % p;
    x = x * x % p;
  }
  return static_cast<u32>(r);
}

// One transform prime with its tables for lengths up to 2^max_log.
class Prime {
 public:
  Prime(u32 p, int two_adicity) : p_(p), two_adicity_(two_adicity) {
    // The least generator of the multiplicative group: p - 1 = c 2^k, so its
    // prime factors are 2 and those of c.
    const u32 odd = (p - 1) >> two_adicity;
    std::vector<u32> factors{2};
    u32 c = odd;
    for (u32 f = 3; f * f <= c; f += 2) {
      if (c % f != 0) continue;
      factors.push_back(f);
      while (c % f == 0) c /= f;
    }
    if (c > 1) factors.push_back(c);
    for (g_ = 2;; ++g_) {
      bool generator = true;
      for (u32 f : factors) generator = generator && pow_mod(g_, (p - 1) / f, p) != 1;
      if (generator) break;
    }
    // -p^-1 mod 2^32 by Newton's iteration.
    u32 inv = p;
    for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;
    neg_inv_ = 0u - inv;
  }

  u32 p() const { return p_; }

  // Tables of the twiddles for length n = 2^lg (forward and backward):
  // entry half + j is w_len^j for len = 2 half, with Shoup's quotient.
  void prepare(int lg) {
    if (lg <= prepared_) return;
    const std::size_t n = std::size_t{1} << lg;
    fw_.assign(n, 0);
    fwq_.assign(n, 0);
    bw_.assign(n, 0);
    bwq_.assign(n, 0);
    for (std::size_t half = 1; half < n; half <<= 1) {
      const u32 w = pow_mod(g_, (p_ - 1) / (2 * half), p_);
      const u32 wi = pow_mod(w, p_ - 2, p_);
      u64 a = 1, b = 1;
      for (std::size_t j = 0; j < half; ++j) {
        fw_[half + j] = static_cast<u32>(a);
        fwq_[half + j] = static_cast<u32>((a << 32) / p_);
        bw_[half + j] = static_cast<u32>(b);
        bwq_[half + j] = static_cast<u32>((b << 32) / p_);
        a = a * w % p_;
        b = b * wi % p_;
      }
    }
    prepared_ = lg;
  }

  // a * w mod p for the twiddle w with Shoup quotient wq (a < p).
  u32 twiddle(u32 a, u32 w, u32 wq) const {
    const u32 q = static_cast<u32>((static_cast<u64>(a) * wq) >> 32);
    u32 r = a * w - q * p_;  // exact modulo 2^32, below 2p
    return r >= p_ ? r - p_ : r;
  }

  // a b / 2^32 mod p (Montgomery).
  u32 mont(u32 a, u32 b) const {
    const u64 t = static_cast<u64>(a) * b;
    const u32 m = static_cast<u32>(t) * neg_inv_;
    const u64 u = (t + static_cast<u64>(m) * p_) >> 32;
    return u >= p_ ? static_cast<u32>(u - p_) : static_cast<u32>(u);
  }

  // One level of the forward transform: blocks of 2 half entries.
  void forward_level(u32* a, std::size_t n, std::size_t half) const {
    const u32* w = fw_.data() + half;
    const u32* wq = fwq_.data() + half;
    for (std::size_t s = 0; s < n; s += 2 * half) {
      u32* __restrict x = a + s;
      u32* __restrict y = x + half;
      const u32 p = p_;
      for (std::size_t j = 0; j < half; ++j) {
        const u32 u = x[j], v = y[j];
        const u32 dif = reduce_once(u + p - v, p);
        const u32 q = static_cast<u32>((static_cast<u64>(dif) * wq[j]) >> 32);
        const u32 sum = reduce_once(u + v, p);
        const u32 t = reduce_once(dif * w[j] - q * p, p);
        x[j] = sum;
        y[j] = t;
      }
    }
  }

  void forward(u32* a, std::size_t n) const {
    for (std::size_t half = n >> 1; half > 0; half >>= 1) forward_level(a, n, half);
  }

  void backward(u32* a, std::size_t n) const {
    for (std::size_t half = 1; half < n; half *= 2) {
      const u32* w = bw_.data() + half;
      const u32* wq = bwq_.data() + half;
      for (std::size_t s = 0; s < n; s += 2 * half) {
        u32* __restrict x = a + s;
        u32* __restrict y = x + half;
        for (std::size_t j = 0; j < half; ++j) {
          const u32 u = x[j];
          const u32 q = static_cast<u32>((static_cast<u64>(y[j]) * wq[j]) >> 32);
          const u32 v = reduce_once(y[j] * w[j] - q * p_, p_);
          x[j] = reduce_once(u + v, p_);
          y[j] = reduce_once(u + p_ - v, p_);
        }
      }
    }
  }

  // out[0 .. n) := the residues x[0 .. n) (below 2^31) reduced modulo p.
  void load(const std::int32_t* x, std::int32_t n, u32* out) const {
    if (p_ > (u32{1} << 30)) {  // below 2p: one subtraction
      for (std::int32_t i = 0; i < n; ++i) {
        const auto v = static_cast<u32>(x[i]);
        out[i] = v >= p_ ? v - p_ : v;
      }
    } else {
      for (std::int32_t i = 0; i < n; ++i) out[i] = static_cast<u32>(x[i]) % p_;
    }
  }

  // c := x * y modulo this prime, n = 2^lg >= nx + ny - 1; x, y residues of
  // any modulus below 2^31 (reduced here), zero padded.
  void product(const std::int32_t* x, std::int32_t nx, const std::int32_t* y, std::int32_t ny,
               int lg, std::vector<u32>& c, std::vector<u32>& t) const {
    const std::size_t n = std::size_t{1} << lg;
    c.assign(n, 0);
    t.assign(n, 0);
    load(x, nx, c.data());
    load(y, ny, t.data());
    forward(c.data(), n);
    forward(t.data(), n);
    for (std::size_t i = 0; i < n; ++i) c[i] = mont(c[i], t[i]);
    backward(c.data(), n);
    // Each entry is n times the coefficient divided by 2^32: multiply by
    // 2^32 / n.
    const u32 scale = static_cast<u32>((u64{1} << 32) % p_ * pow_mod(static_cast<u32>(n % p_), p_ - 2, p_) % p_);
    const u32 sq = static_cast<u32>((static_cast<u64>(scale) << 32) / p_);
    for (std::size_t i = 0; i < n; ++i) c[i] = twiddle(c[i], scale, sq);
  }

 private:
  u32 p_;
  int two_adicity_;
  u32 g_ = 2;
  u32 neg_inv_ = 0;
  int prepared_ = -1;
  std::vector<u32> fw_, fwq_, bw_, bwq_;
};

// 2013265921 = 15 2^27 + 1, 1811939329 = 27 2^26 + 1, 469762049 = 7 2^26 + 1.
std::vector<Prime>& primes() {
  static std::vector<Prime> ps{Prime(2013265921u, 27), Prime(1811939329u, 26), Prime(469762049u, 26)};
  return ps;
}

u64 inverse_mod(u64 a, u64 m) { return pow_mod(static_cast<u32>(a % m), m - 2, static_cast<u32>(m)); }

// Multiplication by a constant w modulo a modulus m below 2^31, by Shoup's
// precomputed quotient: exact for any factor below 2^32.
class ShoupConstant {
 public:
  ShoupConstant(u64 w, u64 m)
      : w_(static_cast<u32>(w % m)), wq_(static_cast<u32>((u64{w_} << 32) / m)), m_(static_cast<u32>(m)) {}
  u32 times(u32 a) const {
    const u32 q = static_cast<u32>((static_cast<u64>(a) * wq_) >> 32);
    const u32 r = a * w_ - q * m_;
    return r >= m_ ? r - m_ : r;
  }

 private:
  u32 w_, wq_, m_;
};

}  // namespace

void ntt_product(const std::int32_t* x, std::int32_t nx, const std::int32_t* y, std::int32_t ny,
                 std::int32_t* z, std::int32_t modul) {
  const std::int32_t nz = nx + ny - 1;
  int lg = 0;
  while ((std::int32_t{1} << lg) < nz) ++lg;
  // The coefficients are below min(nx, ny) (p - 1)^2; two primes hold
  // below 2^61, three below 2^89.
  const u64 pm = static_cast<u64>(modul) - 1;
  const long double bound = static_cast<long double>(std::min(nx, ny)) * static_cast<long double>(pm) *
                            static_cast<long double>(pm);
  std::vector<Prime>& ps = primes();
  const std::size_t count = bound < 3.6e18L ? 2 : 3;
  static std::vector<u32> r[3], scratch;
  for (std::size_t k = 0; k < count; ++k) {
    ps[k].prepare(lg);
    ps[k].product(x, nx, y, ny, lg, r[k], scratch);
  }
  // Mixed radix: v = v1 + v2 p1 + v3 p1 p2, each digit below its prime.
  const u64 p1 = ps[0].p(), p2 = ps[1].p(), p3 = ps[2].p(), m = static_cast<u64>(modul);
  const ShoupConstant one2(1, p2), one3(1, p3), onem(1, m);
  const ShoupConstant i12(inverse_mod(p1, p2), p2), i13(inverse_mod(p1, p3), p3),
      i23(inverse_mod(p2, p3), p3);
  const ShoupConstant p1m(p1, m), p12m(p1 % m * (p2 % m) % m, m);
  const auto m32 = static_cast<u32>(m);
  const auto q2 = static_cast<u32>(p2), q3 = static_cast<u32>(p3);
  for (std::int32_t i = 0; i < nz; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const u32 v1 = r[0][k];
    const u32 a2 = r[1][k], b2 = one2.times(v1);
    const u32 v2 = i12.times(a2 >= b2 ? a2 - b2 : a2 + q2 - b2);
    u32 v = onem.times(v1) + p1m.times(v2);
    if (v >= m32) v -= m32;
    if (count == 3) {
      const u32 a3 = r[2][k], b3 = one3.times(v1);
      const u32 t = i13.times(a3 >= b3 ? a3 - b3 : a3 + q3 - b3);
      const u32 c3 = one3.times(v2);
      const u32 v3 = i23.times(t >= c3 ? t - c3 : t + q3 - c3);
      v += p12m.times(v3);
      if (v >= m32) v -= m32;
    }
    z[i] = static_cast<std::int32_t>(v);
  }
}

}  // namespace tavrin::dense_detail
