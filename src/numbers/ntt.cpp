// The number-theoretic transforms of ntt.h: one lane and eight lanes.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "numbers/ntt.h"

#include "core/thread_pool.h"
#include "numbers/simd.h"

namespace tavrin::kit {

namespace {

#ifdef TAVRIN_AVX2
using simd::vload;
using simd::vmont;
using simd::vreduce;
using simd::vset;
using simd::vshoup;
using simd::vstore;
#endif

bool scalar_only = false;

// ---- One lane at a time ---------------------------------------------------------------

// The forward level of half-length h (h >= 8) over a[0 .. n).
void forward_level_scalar(u32* a, std::size_t n, std::size_t h, const TransformPrime& P) {
  const u32 p = P.p(), p2 = 2 * p;
  const u32 *w = P.fw(), *wq = P.fwq();
  for (std::size_t s = 0; s < n; s += 2 * h) {
    u32* x = a + s;
    u32* y = x + h;
    for (std::size_t j = 0; j < h; ++j) {
      const u32 u = x[j], v = y[j];
      x[j] = below_2p(u + v, p2);
      y[j] = shoup_mul_lazy(u - v + p2, w[h + j], wq[h + j], p);
    }
  }
}

void forward_scalar(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const u32 p = P.p(), p2 = 2 * p;
  const u32 *w = P.fw(), *wq = P.fwq();
  for (std::size_t h = n >> 1; h >= 8; h >>= 1) forward_level_scalar(a, n, h, P);
  for (std::size_t c0 = 0; c0 < n; c0 += 64) {
    u32 m[8][8];  // m[c][r]: column c of row r
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        m[c][r] = a[c0 + 8 * static_cast<std::size_t>(r) + static_cast<std::size_t>(c)];
    for (int h = 4; h >= 1; h >>= 1)
      for (int c = 0; c < 8; ++c) {
        if ((c & h) != 0) continue;
        const std::size_t t = static_cast<std::size_t>(h + (c & (h - 1)));
        for (int r = 0; r < 8; ++r) {
          const u32 u = m[c][r], v = m[c + h][r];
          m[c][r] = below_2p(u + v, p2);
          m[c + h][r] = shoup_mul_lazy(u - v + p2, w[t], wq[t], p);
        }
      }
    for (int c = 0; c < 8; ++c)
      for (int r = 0; r < 8; ++r)
        a[c0 + 8 * static_cast<std::size_t>(c) + static_cast<std::size_t>(r)] = m[c][r];
  }
}

// The backward level of half-length h (h >= 8) over a[0 .. n).
void backward_level_scalar(u32* a, std::size_t n, std::size_t h, const TransformPrime& P) {
  const u32 p = P.p(), p2 = 2 * p;
  for (std::size_t s = 0; s < n; s += 2 * h) {
    u32* x = a + s;
    u32* y = x + h;
    for (std::size_t j = 0; j < h; ++j) {
      const u32 u = x[j];
      const u32 v = shoup_mul_lazy(y[j], P.backward_twiddle(h, j), P.backward_quotient(h, j), p);
      x[j] = below_2p(u + v, p2);
      y[j] = below_2p(u - v + p2, p2);
    }
  }
}

void backward_scalar(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const u32 p = P.p(), p2 = 2 * p;
  const u32 *w = P.bw(), *wq = P.bwq();
  for (std::size_t c0 = 0; c0 < n; c0 += 64) {
    u32 m[8][8];
    for (int c = 0; c < 8; ++c)
      for (int r = 0; r < 8; ++r)
        m[c][r] = a[c0 + 8 * static_cast<std::size_t>(c) + static_cast<std::size_t>(r)];
    for (int h = 1; h <= 4; h <<= 1)
      for (int c = 0; c < 8; ++c) {
        if ((c & h) != 0) continue;
        const std::size_t t = static_cast<std::size_t>(h + (c & (h - 1)));
        for (int r = 0; r < 8; ++r) {
          const u32 u = m[c][r];
          const u32 v = shoup_mul_lazy(m[c + h][r], w[t], wq[t], p);
          m[c][r] = below_2p(u + v, p2);
          m[c + h][r] = below_2p(u - v + p2, p2);
        }
      }
    for (int r = 0; r < 8; ++r)
      for (int c = 0; c < 8; ++c)
        a[c0 + 8 * static_cast<std::size_t>(r) + static_cast<std::size_t>(c)] = m[c][r];
  }
  for (std::size_t h = 8; h < n; h <<= 1) backward_level_scalar(a, n, h, P);
}

// ---- Eight lanes (AVX2) -----------------------------------------------------------------

#ifdef TAVRIN_AVX2
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

AVX2_FN void forward_level_avx2(u32* a, std::size_t n, std::size_t h, const TransformPrime& P) {
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  const u32 *w = P.fw(), *wq = P.fwq();
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

// The butterflies of forward_level_avx2 and backward_level_avx2 on one
// pair of vectors, twiddles t (Shoup quotients tq).
AVX2_FN inline void forward_butterfly(__m256i& u, __m256i& v, __m256i t, __m256i tq, __m256i p,
                                      __m256i p2) {
  const __m256i d = _mm256_add_epi32(_mm256_sub_epi32(u, v), p2);
  u = vreduce(_mm256_add_epi32(u, v), p2);
  v = vshoup(d, t, tq, p);
}

// Entries h + j .. h + j + 7 of the backward twiddles (w) and their Shoup
// quotients (wq), past the stored levels read from the forward table.
AVX2_FN inline void backward_twiddles(const TransformPrime& P, std::size_t h, std::size_t j,
                                      __m256i& w, __m256i& wq) {
  if (h < TransformPrime::stored_backward) {
    w = vload(P.bw() + h + j);
    wq = vload(P.bwq() + h + j);
  } else if (j == 0) {
    u32 t[8], tq[8];
    for (std::size_t k = 0; k < 8; ++k) {
      t[k] = P.backward_twiddle(h, k);
      tq[k] = P.backward_quotient(h, k);
    }
    w = vload(t);
    wq = vload(tq);
  } else {
    const __m256i reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
    const std::size_t at = 2 * h - j - 7;
    w = _mm256_sub_epi32(vset(P.p()), _mm256_permutevar8x32_epi32(vload(P.fw() + at), reverse));
    wq = _mm256_xor_si256(_mm256_permutevar8x32_epi32(vload(P.fwq() + at), reverse),
                          _mm256_set1_epi32(-1));
  }
}

AVX2_FN inline void backward_butterfly(__m256i& u, __m256i& y, __m256i t, __m256i tq, __m256i p,
                                       __m256i p2) {
  const __m256i v = vshoup(y, t, tq, p);
  y = vreduce(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), p2);
  u = vreduce(_mm256_add_epi32(u, v), p2);
}

// The forward levels of half-lengths h and h/2 over a[0 .. 2h) in one pass:
// the same butterflies as two passes of forward_level_avx2.
AVX2_FN void forward_two_levels_avx2(u32* a, std::size_t h, const TransformPrime& P) {
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  const u32 *w = P.fw(), *wq = P.fwq();
  const std::size_t q = h / 2;
  u32 *x0 = a, *x1 = a + q, *x2 = a + h, *x3 = a + h + q;
  for (std::size_t j = 0; j < q; j += 8) {
    __m256i u0 = vload(x0 + j), u1 = vload(x1 + j), u2 = vload(x2 + j), u3 = vload(x3 + j);
    forward_butterfly(u0, u2, vload(w + h + j), vload(wq + h + j), p, p2);
    forward_butterfly(u1, u3, vload(w + h + q + j), vload(wq + h + q + j), p, p2);
    const __m256i t = vload(w + q + j), tq = vload(wq + q + j);
    forward_butterfly(u0, u1, t, tq, p, p2);
    forward_butterfly(u2, u3, t, tq, p, p2);
    vstore(x0 + j, u0);
    vstore(x1 + j, u1);
    vstore(x2 + j, u2);
    vstore(x3 + j, u3);
  }
}

// The backward levels of half-lengths h/2 and h over a[0 .. 2h) in one pass.
AVX2_FN void backward_two_levels_avx2(u32* a, std::size_t h, const TransformPrime& P) {
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  const std::size_t q = h / 2;
  u32 *x0 = a, *x1 = a + q, *x2 = a + h, *x3 = a + h + q;
  for (std::size_t j = 0; j < q; j += 8) {
    __m256i u0 = vload(x0 + j), u1 = vload(x1 + j), u2 = vload(x2 + j), u3 = vload(x3 + j);
    __m256i t, tq;
    backward_twiddles(P, q, j, t, tq);
    backward_butterfly(u0, u1, t, tq, p, p2);
    backward_butterfly(u2, u3, t, tq, p, p2);
    backward_twiddles(P, h, j, t, tq);
    backward_butterfly(u0, u2, t, tq, p, p2);
    backward_twiddles(P, h, q + j, t, tq);
    backward_butterfly(u1, u3, t, tq, p, p2);
    vstore(x0 + j, u0);
    vstore(x1 + j, u1);
    vstore(x2 + j, u2);
    vstore(x3 + j, u3);
  }
}

AVX2_FN void forward_avx2(u32* a, int lg, const TransformPrime& P) {
  const std::size_t n = std::size_t{1} << lg;
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  const u32 *w = P.fw(), *wq = P.fwq();
  // The levels of half-length 8 and more two at a time, the last alone
  // when their count is odd.
  std::size_t half = n >> 1;
  for (; half >= 16; half >>= 2)
    for (std::size_t s = 0; s < n; s += 2 * half) forward_two_levels_avx2(a + s, half, P);
  if (half == 8) forward_level_avx2(a, n, 8, P);
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

AVX2_FN void backward_level_avx2(u32* a, std::size_t n, std::size_t h, const TransformPrime& P) {
  const __m256i p = vset(P.p()), p2 = vset(2 * P.p());
  for (std::size_t s = 0; s < n; s += 2 * h) {
    u32* x = a + s;
    u32* y = x + h;
    for (std::size_t j = 0; j < h; j += 8) {
      const __m256i u = vload(x + j);
      __m256i t, tq;
      backward_twiddles(P, h, j, t, tq);
      const __m256i v = vshoup(vload(y + j), t, tq, p);
      vstore(x + j, vreduce(_mm256_add_epi32(u, v), p2));
      vstore(y + j, vreduce(_mm256_add_epi32(_mm256_sub_epi32(u, v), p2), p2));
    }
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
  std::size_t h = 8;
  if (lg % 2 == 0 && h < n) {  // an odd count of levels from 8 to n/2
    backward_level_avx2(a, n, h, P);
    h = 16;
  }
  for (; 2 * h < n; h <<= 2)
    for (std::size_t s = 0; s < n; s += 4 * h) backward_two_levels_avx2(a + s, 2 * h, P);
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

#endif

bool vectorised() { return !scalar_only && simd::simd_available(); }

// Transforms longer than 2^cache_lg values run their top level over the
// whole array, then the rest on each half (the backward transform the
// other way round): the halves' levels are the same butterflies, and once
// a half fits the cache all its levels run there instead of one pass over
// the whole array a level.
constexpr int cache_lg = 15;

void ntt_forward_impl(u32* a, int lg, const TransformPrime& P) {
  const bool lanes = vectorised();
#ifdef TAVRIN_AVX2
  // Two levels above the cache in one pass over the array, then its quarters.
  if (lanes && lg - 1 > cache_lg) {
    const std::size_t q = std::size_t{1} << (lg - 2);
    forward_two_levels_avx2(a, 2 * q, P);
    for (std::size_t k = 0; k < 4; ++k) ntt_forward_impl(a + k * q, lg - 2, P);
    return;
  }
#endif
  if (lg > cache_lg) {
    const std::size_t h = std::size_t{1} << (lg - 1);
#ifdef TAVRIN_AVX2
    if (lanes) forward_level_avx2(a, 2 * h, h, P);
#endif
    if (!lanes) forward_level_scalar(a, 2 * h, h, P);
    ntt_forward_impl(a, lg - 1, P);
    ntt_forward_impl(a + h, lg - 1, P);
    return;
  }
#ifdef TAVRIN_AVX2
  if (lanes) return forward_avx2(a, lg, P);
#endif
  forward_scalar(a, lg, P);
}

void ntt_backward_impl(u32* a, int lg, const TransformPrime& P) {
  const bool lanes = vectorised();
#ifdef TAVRIN_AVX2
  if (lanes && lg - 1 > cache_lg) {
    const std::size_t q = std::size_t{1} << (lg - 2);
    for (std::size_t k = 0; k < 4; ++k) ntt_backward_impl(a + k * q, lg - 2, P);
    backward_two_levels_avx2(a, 2 * q, P);
    return;
  }
#endif
  if (lg > cache_lg) {
    const std::size_t h = std::size_t{1} << (lg - 1);
    ntt_backward_impl(a, lg - 1, P);
    ntt_backward_impl(a + h, lg - 1, P);
#ifdef TAVRIN_AVX2
    if (lanes) backward_level_avx2(a, 2 * h, h, P);
#endif
    if (!lanes) backward_level_scalar(a, 2 * h, h, P);
    return;
  }
#ifdef TAVRIN_AVX2
  if (lanes) return backward_avx2(a, lg, P);
#endif
  backward_scalar(a, lg, P);
}

void ntt_pointwise_impl(const u32* a, const u32* b, const u32* c, const u32* d, u32* r,
                        std::size_t n, const TransformPrime& P) {
#ifdef TAVRIN_AVX2
  if (vectorised()) return pointwise_avx2(a, b, c, d, r, n, P);
#endif
  const u32 p2 = 2 * P.p();
  for (std::size_t i = 0; i < n; ++i) {
    u32 v = P.mont(a[i], b[i]);
    if (c != nullptr) v = below_2p(v + P.mont(c[i], d[i]), p2);
    r[i] = v;
  }
}

// ---- Lazy sums of products ------------------------------------------------------------
//
// A group of eight values keeps its sums as the four of its even lanes,
// then the four of its odd lanes (the order of the eight-lane products);
// one lane at a time keeps the same order.

inline std::size_t lazy_lane(std::size_t i) {
  return (i & ~std::size_t{7}) + ((i & 1) << 2) + ((i & 7) >> 1);
}

// hi (2^32 mod p) + lo: the same residue, below 2^62 + 2^32.
inline u64 fold(u64 t, u64 c) { return (t >> 32) * c + (t & 0xffffffffu); }

#ifdef TAVRIN_AVX2
AVX2_FN void below_p_avx2(u32* a, std::size_t n, u32 p) {
  const __m256i m = vset(p);
  for (std::size_t i = 0; i < n; i += 8) vstore(a + i, vreduce(vload(a + i), m));
}

AVX2_FN void mul_add_lazy_avx2(const u32* a, const u32* b, u64* acc, std::size_t n) {
  for (std::size_t i = 0; i < n; i += 8) {
    const __m256i x = vload(a + i), y = vload(b + i);
    auto* s = reinterpret_cast<__m256i*>(acc + i);
    const __m256i e = _mm256_mul_epu32(x, y);
    const __m256i o = _mm256_mul_epu32(_mm256_srli_epi64(x, 32), _mm256_srli_epi64(y, 32));
    _mm256_storeu_si256(s, _mm256_add_epi64(_mm256_loadu_si256(s), e));
    _mm256_storeu_si256(s + 1, _mm256_add_epi64(_mm256_loadu_si256(s + 1), o));
  }
}

AVX2_FN __m256i vfold(__m256i t, __m256i c) {
  return _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(t, 32), c),
                          _mm256_and_si256(t, _mm256_set1_epi64x(0xffffffff)));
}

AVX2_FN void fold_lazy_avx2(u64* acc, std::size_t n, u64 c) {
  const __m256i vc = _mm256_set1_epi64x(static_cast<long long>(c));
  for (std::size_t i = 0; i < n; i += 4) {
    auto* s = reinterpret_cast<__m256i*>(acc + i);
    _mm256_storeu_si256(s, vfold(_mm256_loadu_si256(s), vc));
  }
}

// Two folds, then t 2^-32 by Montgomery's reduction of the 64-bit t (in
// the low half of each lane).
AVX2_FN __m256i vredc(__m256i t, __m256i c, __m256i p, __m256i ninv) {
  t = vfold(vfold(t, c), c);
  return _mm256_srli_epi64(_mm256_add_epi64(t, _mm256_mul_epu32(_mm256_mul_epu32(t, ninv), p)), 32);
}

AVX2_FN void reduce_lazy_avx2(const u64* acc, u32* r, std::size_t n, const TransformPrime& P,
                              u64 c) {
  const __m256i vc = _mm256_set1_epi64x(static_cast<long long>(c));
  const __m256i p = vset(P.p()), ninv = vset(P.neg_inv());
  for (std::size_t i = 0; i < n; i += 8) {
    const auto* s = reinterpret_cast<const __m256i*>(acc + i);
    const __m256i e = vredc(_mm256_loadu_si256(s), vc, p, ninv),
                  o = vredc(_mm256_loadu_si256(s + 1), vc, p, ninv);
    vstore(r + i, _mm256_blend_epi32(e, _mm256_slli_epi64(o, 32), 0xAA));
  }
}
#endif

}  // namespace

std::vector<TransformPrime>& transform_primes() {
  static std::vector<TransformPrime> ps = [] {
    std::vector<TransformPrime> v;
    for (const TransformPrimeName& t : transform_prime_table) v.emplace_back(t.p, t.two_adicity);
    return v;
  }();
  return ps;
}

namespace {

u32 inverse(u64 a, u32 p) { return power_modulo(a % p, p - 2, p); }

// 2^32 / len mod p: the factor that takes back len 2^-32.
u32 scale(u32 p, std::int64_t len) {
  return static_cast<u32>((u64{1} << 32) % p * inverse(static_cast<u64>(len) % p, p) % p);
}

constexpr u32 prime1 = transform_prime_table[0].p, prime2 = transform_prime_table[1].p,
              prime3 = transform_prime_table[2].p;

}  // namespace

TransformCrt::TransformCrt(std::int64_t len)
    : p2_(prime2),
      p3_(prime3),
      c1_(scale(prime1, len), prime1),
      c2_(u64{scale(prime2, len)} * inverse(prime1, prime2) % prime2, prime2),
      d2_(inverse(prime1, prime2), prime2),
      c3_(u64{scale(prime3, len)} * inverse(prime1, prime3) % prime3 * inverse(prime2, prime3) %
              prime3,
          prime3),
      d3_(u64{inverse(prime1, prime3)} * inverse(prime2, prime3) % prime3, prime3),
      e3_(inverse(prime2, prime3), prime3) {}

void ntt_forward(u32* a, int lg, const TransformPrime& P) { ntt_forward_impl(a, lg, P); }
void ntt_backward(u32* a, int lg, const TransformPrime& P) { ntt_backward_impl(a, lg, P); }
void ntt_pointwise(const u32* a, const u32* b, const u32* c, const u32* d, u32* r, std::size_t n,
                   const TransformPrime& P) {
  ntt_pointwise_impl(a, b, c, d, r, n, P);
}
void ntt_below_p(u32* a, std::size_t n, const TransformPrime& P) {
#ifdef TAVRIN_AVX2
  if (vectorised()) return below_p_avx2(a, n, P.p());
#endif
  for (std::size_t i = 0; i < n; ++i) a[i] = below_p(a[i], P.p());
}

void ntt_mul_add_lazy(const u32* a, const u32* b, u64* acc, std::size_t n) {
#ifdef TAVRIN_AVX2
  if (vectorised()) return mul_add_lazy_avx2(a, b, acc, n);
#endif
  for (std::size_t i = 0; i < n; ++i) acc[lazy_lane(i)] += static_cast<u64>(a[i]) * b[i];
}

void ntt_fold_lazy(u64* acc, std::size_t n, const TransformPrime& P) {
  const u64 c = (u64{1} << 32) % P.p();
#ifdef TAVRIN_AVX2
  if (vectorised()) return fold_lazy_avx2(acc, n, c);
#endif
  for (std::size_t i = 0; i < n; ++i) acc[i] = fold(acc[i], c);
}

void ntt_reduce_lazy(const u64* acc, u32* r, std::size_t n, const TransformPrime& P) {
  const u64 c = (u64{1} << 32) % P.p();
#ifdef TAVRIN_AVX2
  if (vectorised()) return reduce_lazy_avx2(acc, r, n, P, c);
#endif
  for (std::size_t i = 0; i < n; ++i) {
    const u64 t = fold(fold(acc[lazy_lane(i)], c), c);
    const u32 m = static_cast<u32>(t) * P.neg_inv();
    r[i] = static_cast<u32>((t + static_cast<u64>(m) * P.p()) >> 32);
  }
}
bool ntt_vectorised() { return vectorised(); }
void force_scalar_ntt(bool scalar) { scalar_only = scalar; }

namespace {

// The split pair. With 2N the whole length and m = N/2, a product c of at
// most 3m chunks is found from c mod (x^N - 1), one cyclic transform of
// length N, and c mod (x^m - t^m) for a unit t with t^N != 1, so that the
// two moduli are coprime: the substitution x = t y turns the latter into a
// cyclic product of length m of the operands folded with weights t^j. With
// c = c0 + x^m c1 + x^N c2 and u = t^m, U = c mod (x^N - 1) = (c0 + c2) +
// x^m c1 and V = c mod (x^m - u) = c0 + u c1 + u^2 c2, so c2 = (V - U0 -
// u U1) / (u^2 - 1), c0 = U0 - c2, c1 = U1. t is no root of unity of
// power-of-two order, so N may be the widest transform length.
struct SplitTwiddles {
  u32 p, neg_inv;
  u32 u, uq, uu, uuq, e, eq;  // u, u^2, 1 / (u^2 - 1) (Shoup quotients)
  u32 e1, e1q;                // 1 / (u - 1), for the twin pair
  // Montgomery forms t^r 2^32 of t^0 .. t^7 and t^-0 .. t^-7, and the
  // steps t^(+-1) 2^32 and t^(+-8) 2^32.
  u32 tw[8], itw[8], step, istep, step8, istep8;
  SplitTwiddles(const TransformPrime& P, std::int64_t m) : p(P.p()), neg_inv(P.neg_inv()) {
    u64 t = 3;
    while (power_modulo(t, u64{1} << ntt_max_lg, p) == 1) ++t;
    const u64 it = power_modulo(t, p - 2, p), r32 = (u64{1} << 32) % p;
    u = power_modulo(t, static_cast<u64>(m), p);
    uu = static_cast<u32>(u64{u} * u % p);
    e = power_modulo(uu + p - 1, p - 2, p);
    uq = shoup_quotient(u, p);
    uuq = shoup_quotient(uu, p);
    eq = shoup_quotient(e, p);
    e1 = power_modulo(u + p - 1, p - 2, p);
    e1q = shoup_quotient(e1, p);
    for (int r = 0; r < 8; ++r) {
      tw[r] = static_cast<u32>(power_modulo(t, static_cast<u64>(r), p) * r32 % p);
      itw[r] = static_cast<u32>(power_modulo(it, static_cast<u64>(r), p) * r32 % p);
    }
    step = static_cast<u32>(t * r32 % p);
    istep = static_cast<u32>(it * r32 % p);
    step8 = static_cast<u32>(power_modulo(t, 8, p) * r32 % p);
    istep8 = static_cast<u32>(power_modulo(it, 8, p) * r32 % p);
  }
  // a b 2^-32 mod p in [0, 2p) for a, b < 2p.
  u32 mont(u32 a, u32 b) const {
    const u64 x = u64{a} * b;
    const u32 q = static_cast<u32>(x) * neg_inv;
    return static_cast<u32>((x + u64{q} * p) >> 32);
  }
};

// The constants of prime k for m = 2^lg, made once (by the first of the
// threads that asks).
const SplitTwiddles& split_twiddles(std::size_t k, int lg) {
  static std::unique_ptr<SplitTwiddles> made[3][ntt_max_lg + 1];
  static std::once_flag making[3][ntt_max_lg + 1];
  std::unique_ptr<SplitTwiddles>& t = made[k][lg];
  std::call_once(making[k][lg], [&] {
    t = std::make_unique<SplitTwiddles>(transform_primes()[k], std::int64_t{1} << lg);
  });
  return *t;
}

#ifdef TAVRIN_AVX2
AVX2_FN void fold_avx2(u32* x, u32* h, std::int64_t m, const SplitTwiddles& t) {
  const __m256i p = simd::vset(t.p), ninv = simd::vset(t.neg_inv), step = simd::vset(t.step8);
  const __m256i u = simd::vset(t.u), uq = simd::vset(t.uq), uu = simd::vset(t.uu),
                uuq = simd::vset(t.uuq);
  __m256i w = simd::vload(t.tw);
  for (std::int64_t r = 0; r < m; r += 8) {
    const __m256i a0 = simd::vload(x + r), a1 = simd::vload(x + m + r),
                  a2 = simd::vload(x + 2 * m + r);
    const __m256i s =
        simd::vreduce(_mm256_add_epi32(a0, simd::vreduce(simd::vshoup(a1, u, uq, p), p)), p);
    const __m256i f = _mm256_add_epi32(s, simd::vreduce(simd::vshoup(a2, uu, uuq, p), p));
    simd::vstore(h + r, simd::vmont(f, w, p, ninv));
    simd::vstore(x + r, _mm256_add_epi32(a0, a2));
    w = simd::vmont(w, step, p, ninv);
  }
}

AVX2_FN void recombine_avx2(u32* x, const u32* h, std::int64_t m, const SplitTwiddles& t) {
  const __m256i p = simd::vset(t.p), ninv = simd::vset(t.neg_inv);
  const __m256i step = simd::vset(t.istep8), u = simd::vset(t.u), uq = simd::vset(t.uq);
  const __m256i e = simd::vset(t.e), eq = simd::vset(t.eq);
  __m256i w = simd::vload(t.itw);
  for (std::int64_t r = 0; r < m; r += 8) {
    const __m256i u0 = simd::vreduce(simd::vload(x + r), p),
                  u1 = simd::vreduce(simd::vload(x + m + r), p);
    const __m256i uv =
        simd::vreduce(_mm256_add_epi32(u0, simd::vreduce(simd::vshoup(u1, u, uq, p), p)), p);
    const __m256i v = simd::vreduce(simd::vmont(simd::vload(h + r), w, p, ninv), p);
    const __m256i d = _mm256_sub_epi32(_mm256_add_epi32(_mm256_add_epi32(v, v), p), uv);
    const __m256i c2 = simd::vreduce(simd::vshoup(d, e, eq, p), p);
    simd::vstore(x + 2 * m + r, c2);
    simd::vstore(x + r, simd::vreduce(_mm256_sub_epi32(_mm256_add_epi32(u0, p), c2), p));
    w = simd::vmont(w, step, p, ninv);
  }
}

AVX2_FN void twin_fold_avx2(u32* x, std::int64_t n, const SplitTwiddles& t) {
  const __m256i p = simd::vset(t.p), ninv = simd::vset(t.neg_inv), step = simd::vset(t.step8);
  const __m256i u = simd::vset(t.u), uq = simd::vset(t.uq);
  __m256i w = simd::vload(t.tw);
  for (std::int64_t r = 0; r < n; r += 8) {
    const __m256i a0 = simd::vload(x + r), a1 = simd::vload(x + n + r);
    const __m256i f = _mm256_add_epi32(a0, simd::vreduce(simd::vshoup(a1, u, uq, p), p));
    simd::vstore(x + n + r, simd::vmont(f, w, p, ninv));
    simd::vstore(x + r, _mm256_add_epi32(a0, a1));
    w = simd::vmont(w, step, p, ninv);
  }
}

AVX2_FN void twin_recombine_avx2(u32* x, std::int64_t n, const SplitTwiddles& t) {
  const __m256i p = simd::vset(t.p), ninv = simd::vset(t.neg_inv), step = simd::vset(t.istep8);
  const __m256i e = simd::vset(t.e1), eq = simd::vset(t.e1q);
  __m256i w = simd::vload(t.itw);
  for (std::int64_t r = 0; r < n; r += 8) {
    const __m256i u0 = simd::vreduce(simd::vload(x + r), p);
    const __m256i v = simd::vreduce(simd::vmont(simd::vload(x + n + r), w, p, ninv), p);
    const __m256i c1 =
        simd::vreduce(simd::vshoup(_mm256_sub_epi32(_mm256_add_epi32(v, p), u0), e, eq, p), p);
    simd::vstore(x + n + r, c1);
    simd::vstore(x + r, simd::vreduce(_mm256_sub_epi32(_mm256_add_epi32(u0, p), c1), p));
    w = simd::vmont(w, step, p, ninv);
  }
}
#endif

// x[0 .. 3m) holds an operand's chunks (values below p): h[0 .. m) := the
// chunks folded modulo x^m - u, weighted by t^r, and x[0 .. 2m) := the
// chunks folded modulo x^N - 1; values below 2p.
void fold_scalar(u32* x, u32* h, std::int64_t m, const SplitTwiddles& t) {
  u32 w = t.tw[0];
  for (std::int64_t r = 0; r < m; ++r, w = t.mont(w, t.step)) {
    const u32 a0 = x[r], a2 = x[2 * m + r];
    const u32 s =
        below_p(a0 + shoup_mul(x[m + r], t.u, t.uq, t.p), t.p) + shoup_mul(a2, t.uu, t.uuq, t.p);
    h[r] = t.mont(s, w);
    x[r] = a0 + a2;
  }
}

// From S U in x[0 .. 2m) and S V t^r / 2 in h (values below 2p, S the
// transforms' common factor N 2^-32): x[0 .. 3m) := S c.
void recombine_scalar(u32* x, const u32* h, std::int64_t m, const SplitTwiddles& t) {
  u32 w = t.itw[0];
  for (std::int64_t r = 0; r < m; ++r, w = t.mont(w, t.istep)) {
    const u32 u0 = below_p(x[r], t.p), u1 = below_p(x[m + r], t.p);
    const u32 uv = below_p(u0 + shoup_mul(u1, t.u, t.uq, t.p), t.p);
    const u32 v = below_p(t.mont(h[r], w), t.p);
    const u32 c2 = shoup_mul(2 * v + t.p - uv, t.e, t.eq, t.p);
    x[2 * m + r] = c2;
    x[r] = word_sub(u0, c2, t.p);
  }
}

// The twin pair's fold: with a = a0 + x^N a1, x[0 .. N) := a0 + a1 and
// x[N .. 2N) := (a0 + u a1) t^r; values below 2p.
void twin_fold_scalar(u32* x, std::int64_t n, const SplitTwiddles& t) {
  u32 w = t.tw[0];
  for (std::int64_t r = 0; r < n; ++r, w = t.mont(w, t.step)) {
    const u32 a0 = x[r], a1 = x[n + r];
    x[n + r] = t.mont(a0 + shoup_mul(a1, t.u, t.uq, t.p), w);
    x[r] = a0 + a1;
  }
}

// From S U in x[0 .. N) and S V t^r in x[N .. 2N), U = c0 + c1 and V = c0 +
// u c1 for c = c0 + x^N c1: x[N .. 2N) := S c1 = S (V - U) / (u - 1),
// x[0 .. N) := S c0 = S U - S c1.
void twin_recombine_scalar(u32* x, std::int64_t n, const SplitTwiddles& t) {
  u32 w = t.itw[0];
  for (std::int64_t r = 0; r < n; ++r, w = t.mont(w, t.istep)) {
    const u32 u0 = below_p(x[r], t.p);
    const u32 v = below_p(t.mont(x[n + r], w), t.p);
    const u32 c1 = shoup_mul(v + t.p - u0, t.e1, t.e1q, t.p);
    x[n + r] = c1;
    x[r] = word_sub(u0, c1, t.p);
  }
}

// The lg with m = 2^lg.
int lg_of(std::int64_t m) {
  int lg = 0;
  while ((std::int64_t{1} << lg) < m) ++lg;
  return lg;
}

}  // namespace

void ntt_split_fold(u32* x, u32* h, std::int64_t m, std::size_t k) {
  const SplitTwiddles& t = split_twiddles(k, lg_of(m));
#ifdef TAVRIN_AVX2
  if (vectorised()) return fold_avx2(x, h, m, t);
#endif
  fold_scalar(x, h, m, t);
}

void ntt_split_recombine(u32* x, const u32* h, std::int64_t m, std::size_t k) {
  const SplitTwiddles& t = split_twiddles(k, lg_of(m));
#ifdef TAVRIN_AVX2
  if (vectorised()) return recombine_avx2(x, h, m, t);
#endif
  recombine_scalar(x, h, m, t);
}

// The twin pair's unit: that of the split pair, its constants made for m = N.
void ntt_twin_fold(u32* x, std::int64_t n, std::size_t k) {
  const SplitTwiddles& t = split_twiddles(k, lg_of(n));
#ifdef TAVRIN_AVX2
  if (vectorised()) return twin_fold_avx2(x, n, t);
#endif
  twin_fold_scalar(x, n, t);
}

void ntt_twin_recombine(u32* x, std::int64_t n, std::size_t k) {
  const SplitTwiddles& t = split_twiddles(k, lg_of(n));
#ifdef TAVRIN_AVX2
  if (vectorised()) return twin_recombine_avx2(x, n, t);
#endif
  twin_recombine_scalar(x, n, t);
}

// Estimated cost, in butterflies a value, of a product by transforms of
// length 2^lg (`transforms` of them) and by the split pair 2^(lg-1),
// 2^(lg-2): the split pair adds a fold a transformed operand and a
// recombination, some four levels on half the values each.
void ntt_tasks(int count, int lg, const std::function<void(std::size_t)>& body) {
  if (lg >= ntt_thread_min_lg && count > 1) return run_tasks(static_cast<std::size_t>(count), body);
  for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) body(k);
}

bool ntt_split_pays(int lg, int transforms) {
  const double whole = std::ldexp(transforms * lg + 2.0, lg);
  const double split = std::ldexp(transforms * (lg - 1) + 2.0, lg - 1) +
                       std::ldexp(transforms * (lg - 2) + 2.0 + 4.0 * transforms, lg - 2);
  return split < whole;
}

}  // namespace tavrin::kit
