// Number-theoretic transforms (dense_transform_impl.h) and the long array
// product built on them (ntt_product, dense_impl.h).
//
// Forward: decimation in frequency, butterflies (x, y) -> (x + y,
// (x - y) w) with lazy reduction (values in [0, 2p), Harvey's bounds for p
// < 2^30), twiddles multiplied by Shoup's method (a precomputed quotient per
// twiddle). The levels of half-length 8 and more run over contiguous runs;
// the last three levels run on blocks of 64 entries viewed as 8 x 8 and
// transposed, so that every butterfly pairs whole rows, and the block is
// left transposed. Backward: the exact inverse of each level in reverse
// order ((X, Y) -> (X + Y w^-1, X - Y w^-1) = (2x, 2y)), so the result is N
// times the cyclic product in natural order, with no reordering pass.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dense/dense_impl.h"
#include "dense/dense_simd_impl.h"
#include "dense/dense_transform_impl.h"


namespace tavrin::dense_detail {

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;
using u128 = unsigned __int128;

u32 pow_mod(u64 b, u64 e, u64 p) {
  u64 r = 1;
  for (b %= p; e != 0; e >>= 1) {
    if (e & 1) r = r * b % p;
    b = b * b % p;
  }
  return static_cast<u32>(r);
}

// Shoup's quotient of the constant w < p: floor(w 2^32 / p).
u32 shoup_quotient(u32 w, u32 p) { return static_cast<u32>((static_cast<u64>(w) << 32) / p); }

// a w mod p in [0, 2p) for any a < 2^32 (w < p, wq its quotient).
inline u32 shoup_lazy(u32 a, u32 w, u32 wq, u32 p) {
  const u32 q = static_cast<u32>((static_cast<u64>(a) * wq) >> 32);
  return a * w - q * p;
}

inline u32 below_2p(u32 v, u32 p2) { return v >= p2 ? v - p2 : v; }
inline u32 below_p(u32 v, u32 p) { return v >= p ? v - p : v; }

class TransformPrime {
 public:
  TransformPrime(u32 p, int two_adicity) : p_(p), two_adicity_(two_adicity) {
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
    u32 inv = p;  // p^-1 mod 2^32 by Newton's iteration
    for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;
    neg_inv_ = 0u - inv;
  }

  u32 p() const { return p_; }
  u32 neg_inv() const { return neg_inv_; }
  const u32* fw() const { return fw_.data(); }
  const u32* fwq() const { return fwq_.data(); }
  const u32* bw() const { return bw_.data(); }
  const u32* bwq() const { return bwq_.data(); }

  // Twiddles for lengths up to 2^lg: entry h + j is w_2h^j (j < h).
  void prepare(int lg) {
    if (lg <= prepared_) return;
    const std::size_t n = std::size_t{1} << lg;
    fw_.assign(n, 0);
    fwq_.assign(n, 0);
    bw_.assign(n, 0);
    bwq_.assign(n, 0);
    for (std::size_t h = 1; h < n; h <<= 1) {
      const u32 w = pow_mod(g_, (p_ - 1) / (2 * h), p_);
      const u32 wi = pow_mod(w, p_ - 2, p_);
      u64 a = 1, b = 1;
      for (std::size_t j = 0; j < h; ++j) {
        fw_[h + j] = static_cast<u32>(a);
        fwq_[h + j] = shoup_quotient(static_cast<u32>(a), p_);
        bw_[h + j] = static_cast<u32>(b);
        bwq_[h + j] = shoup_quotient(static_cast<u32>(b), p_);
        a = a * w % p_;
        b = b * wi % p_;
      }
    }
    prepared_ = lg;
  }

  // a b 2^-32 mod p in [0, 2p) for a, b < 2p (Montgomery).
  u32 mont(u32 a, u32 b) const {
    const u64 t = static_cast<u64>(a) * b;
    const u32 m = static_cast<u32>(t) * neg_inv_;
    return static_cast<u32>((t + static_cast<u64>(m) * p_) >> 32);
  }

 private:
  u32 p_;
  int two_adicity_;
  u32 g_ = 2;
  u32 neg_inv_ = 0;
  int prepared_ = -1;
  std::vector<u32> fw_, fwq_, bw_, bwq_;
};

std::vector<TransformPrime>& primes() {
  static std::vector<TransformPrime> ps{TransformPrime(1004535809u, 21), TransformPrime(998244353u, 23),
                                        TransformPrime(754974721u, 24)};
  return ps;
}

bool scalar_only = false;

// ---- One lane at a time ---------------------------------------------------------------

void forward_scalar(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const u32 p = P.p(), p2 = 2 * p;
  const u32 *w = P.fw(), *wq = P.fwq();
  for (std::size_t h = n >> 1; h >= 8; h >>= 1) {
    for (std::size_t s = 0; s < n; s += 2 * h) {
      u32* x = a + s;
      u32* y = x + h;
      for (std::size_t j = 0; j < h; ++j) {
        const u32 u = x[j], v = y[j];
        x[j] = below_2p(u + v, p2);
        y[j] = shoup_lazy(u - v + p2, w[h + j], wq[h + j], p);
      }
    }
  }
  for (std::size_t c0 = 0; c0 < n; c0 += 64) {
    u32 m[8][8];  // m[c][r]: column c of row r
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c) m[c][r] = a[c0 + 8 * static_cast<std::size_t>(r) + static_cast<std::size_t>(c)];
    for (int h = 4; h >= 1; h >>= 1)
      for (int c = 0; c < 8; ++c) {
        if ((c & h) != 0) continue;
        const std::size_t t = static_cast<std::size_t>(h + (c & (h - 1)));
        for (int r = 0; r < 8; ++r) {
          const u32 u = m[c][r], v = m[c + h][r];
          m[c][r] = below_2p(u + v, p2);
          m[c + h][r] = shoup_lazy(u - v + p2, w[t], wq[t], p);
        }
      }
    for (int c = 0; c < 8; ++c)
      for (int r = 0; r < 8; ++r) a[c0 + 8 * static_cast<std::size_t>(c) + static_cast<std::size_t>(r)] = m[c][r];
  }
}

void backward_scalar(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const u32 p = P.p(), p2 = 2 * p;
  const u32 *w = P.bw(), *wq = P.bwq();
  for (std::size_t c0 = 0; c0 < n; c0 += 64) {
    u32 m[8][8];
    for (int c = 0; c < 8; ++c)
      for (int r = 0; r < 8; ++r) m[c][r] = a[c0 + 8 * static_cast<std::size_t>(c) + static_cast<std::size_t>(r)];
    for (int h = 1; h <= 4; h <<= 1)
      for (int c = 0; c < 8; ++c) {
        if ((c & h) != 0) continue;
        const std::size_t t = static_cast<std::size_t>(h + (c & (h - 1)));
        for (int r = 0; r < 8; ++r) {
          const u32 u = m[c][r];
          const u32 v = shoup_lazy(m[c + h][r], w[t], wq[t], p);
          m[c][r] = below_2p(u + v, p2);
          m[c + h][r] = below_2p(u - v + p2, p2);
        }
      }
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c) a[c0 + 8 * static_cast<std::size_t>(r) + static_cast<std::size_t>(c)] = m[c][r];
  }
  for (std::size_t h = 8; h < n; h <<= 1) {
    for (std::size_t s = 0; s < n; s += 2 * h) {
      u32* x = a + s;
      u32* y = x + h;
      for (std::size_t j = 0; j < h; ++j) {
        const u32 u = x[j];
        const u32 v = shoup_lazy(y[j], w[h + j], wq[h + j], p);
        x[j] = below_2p(u + v, p2);
        y[j] = below_2p(u - v + p2, p2);
      }
    }
  }
}

// ---- Eight lanes (AVX2) -----------------------------------------------------------------

#ifdef TAVRIN_DENSE_AVX2
AVX2_FN inline void transpose8(__m256i* r) {
  const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpackhi_epi32(r[0], r[1]);
  const __m256i t2 = _mm256_unpacklo_epi32(r[2], r[3]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
  const __m256i t4 = _mm256_unpacklo_epi32(r[4], r[5]), t5 = _mm256_unpackhi_epi32(r[4], r[5]);
  const __m256i t6 = _mm256_unpacklo_epi32(r[6], r[7]), t7 = _mm256_unpackhi_epi32(r[6], r[7]);
  const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
  const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
  const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
  const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
  r[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
  r[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
  r[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
  r[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
  r[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
  r[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
  r[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
  r[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

AVX2_FN void forward_avx2(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  const u32 *w = P.fw(), *wq = P.fwq();
  for (std::size_t h = n >> 1; h >= 8; h >>= 1) {
    for (std::size_t s = 0; s < n; s += 2 * h) {
      u32* x = a + s;
      u32* y = x + h;
      for (std::size_t j = 0; j < h; j += 8) {
        const __m256i u = vload(x + j), v = vload(y + j);
        vstore(x + j, vreduce(_mm256_add_epi32(u, v), p2));
        const __m256i d = _mm256_add_epi32(_mm256_sub_epi32(u, v), p2);
        vstore(y + j, vshoup(d, vload(w + h + j), vload(wq + h + j), p));
      }
    }
  }
  for (std::size_t c0 = 0; c0 < n; c0 += 64) {
    __m256i m[8];
    for (int r = 0; r < 8; ++r) m[r] = vload(a + c0 + 8 * static_cast<std::size_t>(r));
    transpose8(m);
    for (int h = 4; h >= 1; h >>= 1)
      for (int c = 0; c < 8; ++c) {
        if ((c & h) != 0) continue;
        const std::size_t t = static_cast<std::size_t>(h + (c & (h - 1)));
        const __m256i u = m[c], v = m[c + h];
        m[c] = vreduce(_mm256_add_epi32(u, v), p2);
        m[c + h] = vshoup(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), vset(w[t]), vset(wq[t]), p);
      }
    for (int c = 0; c < 8; ++c) vstore(a + c0 + 8 * static_cast<std::size_t>(c), m[c]);
  }
}

AVX2_FN void backward_avx2(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  const u32 *w = P.bw(), *wq = P.bwq();
  for (std::size_t c0 = 0; c0 < n; c0 += 64) {
    __m256i m[8];
    for (int c = 0; c < 8; ++c) m[c] = vload(a + c0 + 8 * static_cast<std::size_t>(c));
    for (int h = 1; h <= 4; h <<= 1)
      for (int c = 0; c < 8; ++c) {
        if ((c & h) != 0) continue;
        const std::size_t t = static_cast<std::size_t>(h + (c & (h - 1)));
        const __m256i u = m[c];
        const __m256i v = vshoup(m[c + h], vset(w[t]), vset(wq[t]), p);
        m[c] = vreduce(_mm256_add_epi32(u, v), p2);
        m[c + h] = vreduce(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), p2);
      }
    transpose8(m);
    for (int r = 0; r < 8; ++r) vstore(a + c0 + 8 * static_cast<std::size_t>(r), m[r]);
  }
  for (std::size_t h = 8; h < n; h <<= 1) {
    for (std::size_t s = 0; s < n; s += 2 * h) {
      u32* x = a + s;
      u32* y = x + h;
      for (std::size_t j = 0; j < h; j += 8) {
        const __m256i u = vload(x + j);
        const __m256i v = vshoup(vload(y + j), vload(w + h + j), vload(wq + h + j), p);
        vstore(x + j, vreduce(_mm256_add_epi32(u, v), p2));
        vstore(y + j, vreduce(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), p2));
      }
    }
  }
}

// r := a b (+ c d) pointwise, n a multiple of 8.
AVX2_FN void pointwise_avx2(const u32* a, const u32* b, const u32* c, const u32* d, u32* r,
                            std::size_t n, const TransformPrime& P) {
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p()), ninv = vset(P.neg_inv());
  for (std::size_t i = 0; i < n; i += 8) {
    __m256i v = vmont(vload(a + i), vload(b + i), p, ninv);
    if (c != nullptr) {
      v = vreduce(_mm256_add_epi32(v, vmont(vload(c + i), vload(d + i), p, ninv)), p2);
    }
    vstore(r + i, v);
  }
}

// r := a + b (values in [0, 2p)).
AVX2_FN void sum_avx2(const u32* a, const u32* b, u32* r, std::size_t n, u32 pp) {
  const __m256i p2 = vset(2 * pp);
  for (std::size_t i = 0; i < n; i += 8) vstore(r + i, vreduce(_mm256_add_epi32(vload(a + i), vload(b + i)), p2));
}

#endif

bool vectorised() { return !scalar_only && simd_available(); }

void forward(u32* a, int lg, const TransformPrime& P) {
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return forward_avx2(a, lg, P);
#endif
  forward_scalar(a, lg, P);
}

void backward(u32* a, int lg, const TransformPrime& P) {
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return backward_avx2(a, lg, P);
#endif
  backward_scalar(a, lg, P);
}

void pointwise(const u32* a, const u32* b, const u32* c, const u32* d, u32* r, std::size_t n,
               const TransformPrime& P) {
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return pointwise_avx2(a, b, c, d, r, n, P);
#endif
  const u32 p2 = 2 * P.p();
  for (std::size_t i = 0; i < n; ++i) {
    u32 v = P.mont(a[i], b[i]);
    if (c != nullptr) v = below_2p(v + P.mont(c[i], d[i]), p2);
    r[i] = v;
  }
}

void sum(const u32* a, const u32* b, u32* r, std::size_t n, u32 p) {
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return sum_avx2(a, b, r, n, p);
#endif
  const u32 p2 = 2 * p;
  for (std::size_t i = 0; i < n; ++i) r[i] = below_2p(a[i] + b[i], p2);
}

// Multiplication by a constant w modulo m < 2^31, by Shoup's quotient: exact
// (in [0, m)) for any factor a below 2^32.
class ShoupConstant {
 public:
  ShoupConstant(u64 w, u64 m)
      : w_(static_cast<u32>(w % m)), wq_(shoup_quotient(w_, static_cast<u32>(m))), m_(static_cast<u32>(m)) {}
  u32 times(u32 a) const { return below_p(shoup_lazy(a, w_, wq_, m_), m_); }
#ifdef TAVRIN_DENSE_AVX2
  AVX2_FN __m256i times(__m256i a) const { return vreduce(vshoup(a, vset(w_), vset(wq_), vset(m_)), vset(m_)); }
#endif

 private:
  u32 w_, wq_, m_;
};

// The constants of the Chinese remainder step (spectrum_values): v1 = r1
// s1; v2 = (r2 s2 - v1) / p1 mod p2; v3 = ((r3 s3 - v1) / p1 - v2) / p2 mod
// p3; the value v1 + p1 v2 + p1 p2 v3 modulo m.
struct Crt {
  ShoupConstant c1, c2, d2, c3, d3, e3, onem, p1m, p12m;
  u32 m, q2, q3;
};

void crt_scalar(const Crt& c, const u32* r1, const u32* r2, const u32* r3, std::int64_t n, std::int32_t* out) {
  for (std::int64_t i = 0; i < n; ++i) {
    const u32 v1 = c.c1.times(r1[i]);
    const u32 a2 = c.c2.times(r2[i]), b2 = c.d2.times(v1);
    const u32 v2 = a2 >= b2 ? a2 - b2 : a2 + c.q2 - b2;
    u32 v = c.onem.times(v1) + c.p1m.times(v2);
    if (v >= c.m) v -= c.m;
    if (r3 != nullptr) {
      const u32 a3 = c.c3.times(r3[i]), b3 = c.d3.times(v1), f3 = c.e3.times(v2);
      u32 v3 = a3 >= b3 ? a3 - b3 : a3 + c.q3 - b3;
      v3 = v3 >= f3 ? v3 - f3 : v3 + c.q3 - f3;
      v += c.p12m.times(v3);
      if (v >= c.m) v -= c.m;
    }
    out[i] = static_cast<std::int32_t>(v);
  }
}

#ifdef TAVRIN_DENSE_AVX2
// a - b mod q for residues a, b of q.
AVX2_FN inline __m256i vsub_mod(__m256i a, __m256i b, __m256i q) {
  return vreduce(_mm256_add_epi32(_mm256_sub_epi32(a, b), q), q);
}

AVX2_FN void crt_avx2(const Crt& c, const u32* r1, const u32* r2, const u32* r3, std::int64_t n, std::int32_t* out) {
  const __m256i m = vset(c.m), q2 = vset(c.q2), q3 = vset(c.q3);
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i v1 = c.c1.times(vload(r1 + i));
    const __m256i v2 = vsub_mod(c.c2.times(vload(r2 + i)), c.d2.times(v1), q2);
    __m256i v = vreduce(_mm256_add_epi32(c.onem.times(v1), c.p1m.times(v2)), m);
    if (r3 != nullptr) {
      const __m256i t = vsub_mod(c.c3.times(vload(r3 + i)), c.d3.times(v1), q3);
      const __m256i v3 = vsub_mod(t, c.e3.times(v2), q3);
      v = vreduce(_mm256_add_epi32(v, c.p12m.times(v3)), m);
    }
    vstore(reinterpret_cast<u32*>(out + i), v);
  }
  crt_scalar(c, r1 + i, r2 + i, r3 == nullptr ? nullptr : r3 + i, n - i, out + i);
}
#endif

u64 inverse_mod(u64 a, u64 m) { return pow_mod(a % m, m - 2, m); }

}  // namespace

int transform_primes_needed(std::int64_t len, std::int32_t modul) {
  const std::vector<TransformPrime>& ps = primes();
  const u128 bound = static_cast<u128>(static_cast<u64>(len)) * static_cast<u64>(modul - 1) *
                     static_cast<u64>(modul - 1);
  return bound < static_cast<u128>(ps[0].p()) * ps[1].p() ? 2 : 3;
}

int transform_lg(std::int64_t n) {
  int lg = transform_min_lg;
  while ((std::int64_t{1} << lg) < n) ++lg;
  return lg;
}

SpectrumView spectrum_of(const std::int32_t* a, std::int64_t na, int lg, int count, Spectrum& s) {
  std::vector<TransformPrime>& ps = primes();
  const std::size_t n = std::size_t{1} << lg;
  const SpectrumView view = s.shape(lg, count);
  for (int k = 0; k < count; ++k) {
    TransformPrime& P = ps[static_cast<std::size_t>(k)];
    P.prepare(lg);
    const u32 p = P.p(), p2 = 2 * p;
    u32* out = view.of(k);
    if (static_cast<std::size_t>(na) <= n) {
      const auto m = static_cast<std::size_t>(na);
      for (std::size_t i = 0; i < m; ++i) {
        const auto v = static_cast<u32>(a[i]);  // below 2^31 < 3p
        out[i] = v >= p2 ? v - p2 : v;
      }
      std::fill(out + m, out + n, 0u);
    } else {
      std::fill(out, out + n, 0u);
      for (std::size_t i = 0; i < static_cast<std::size_t>(na); ++i) {
        const u32 v = static_cast<u32>(a[i]) % p;
        out[i & (n - 1)] = below_p(out[i & (n - 1)] + v, p);
      }
    }
    forward(out, lg, P);
  }
  return view;
}

void spectrum_mul(ConstSpectrum a, ConstSpectrum b, SpectrumView r) {
  for (int k = 0; k < a.count; ++k)
    pointwise(a.of(k), b.of(k), nullptr, nullptr, r.of(k), a.size(), primes()[static_cast<std::size_t>(k)]);
}

void spectrum_mul_add(ConstSpectrum a, ConstSpectrum b, ConstSpectrum c, ConstSpectrum d,
                      SpectrumView r) {
  for (int k = 0; k < a.count; ++k)
    pointwise(a.of(k), b.of(k), c.of(k), d.of(k), r.of(k), a.size(), primes()[static_cast<std::size_t>(k)]);
}

void spectrum_add(ConstSpectrum a, ConstSpectrum b, SpectrumView r) {
  for (int k = 0; k < a.count; ++k)
    sum(a.of(k), b.of(k), r.of(k), a.size(), primes()[static_cast<std::size_t>(k)].p());
}

void spectrum_values(SpectrumView s, std::int32_t modul, std::int64_t from, std::int64_t n,
                     std::int32_t* out) {
  std::vector<TransformPrime>& ps = primes();
  const std::size_t len = s.size();
  for (int k = 0; k < s.count; ++k) backward(s.of(k), s.lg, ps[static_cast<std::size_t>(k)]);
  // Each value is len 2^-32 times the coefficient: the scale 2^32 / len.
  const u64 p1 = ps[0].p(), p2 = ps[1].p(), p3 = ps[2].p(), m = static_cast<u64>(modul);
  auto scale = [&](u64 p) { return (u64{1} << 32) % p * inverse_mod(len % p, p) % p; };
  const u64 s1 = scale(p1), s2 = scale(p2), s3 = scale(p3);
  const u64 i12 = inverse_mod(p1, p2), i13 = inverse_mod(p1, p3), i23 = inverse_mod(p2, p3);
  const Crt c{ShoupConstant(s1, p1),
              ShoupConstant(s2 * i12 % p2, p2),
              ShoupConstant(i12, p2),
              ShoupConstant(s3 * i13 % p3 * i23 % p3, p3),
              ShoupConstant(i13 * i23 % p3, p3),
              ShoupConstant(i23, p3),
              ShoupConstant(1, m),
              ShoupConstant(p1 % m, m),
              ShoupConstant(p1 % m * (p2 % m) % m, m),
              static_cast<u32>(m),
              static_cast<u32>(p2),
              static_cast<u32>(p3)};
  const u32* r1 = s.of(0) + from;
  const u32* r2 = s.of(1) + from;
  const u32* r3 = s.count == 3 ? s.of(2) + from : nullptr;
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return crt_avx2(c, r1, r2, r3, n, out);
#endif
  crt_scalar(c, r1, r2, r3, n, out);
}

bool transforms_vectorised() { return vectorised(); }
void force_scalar_transforms(bool scalar) { scalar_only = scalar; }

void ntt_product(const std::int32_t* x, std::int32_t nx, const std::int32_t* y, std::int32_t ny,
                 std::int32_t* z, std::int32_t modul) {
  const std::int64_t nz = std::int64_t{nx} + ny - 1;
  const int lg = transform_lg(nz);
  const int count = transform_primes_needed(std::min(nx, ny), modul);
  static Spectrum a, b;
  const SpectrumView sa = spectrum_of(x, nx, lg, count, a);
  spectrum_mul(sa, spectrum_of(y, ny, lg, count, b), sa);
  spectrum_values(sa, modul, 0, nz, z);
}

}  // namespace tavrin::dense_detail
