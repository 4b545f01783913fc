// Spectra of residue arrays (dense_transform_impl.h) on the transforms of
// numbers/ntt_impl.h, and the long array product built on them
// (ntt_product, dense_impl.h): folding, pointwise sums, and the values
// brought back through the Chinese remainder theorem.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "dense/dense_impl.h"
#include "dense/dense_simd_impl.h"
#include "dense/dense_transform_impl.h"
#include "numbers/ntt_impl.h"


namespace tavrin::dense_detail {

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;
using u128 = unsigned __int128;
using detail::below_2p;
using detail::below_p;
using detail::pow_mod;
using detail::shoup_lazy;
using detail::shoup_quotient;
using detail::TransformPrime;

std::vector<TransformPrime>& primes() { return detail::transform_primes(); }

bool vectorised() { return detail::ntt_vectorised(); }

void forward(u32* a, int lg, const TransformPrime& P) { detail::ntt_forward(a, lg, P); }
void backward(u32* a, int lg, const TransformPrime& P) { detail::ntt_backward(a, lg, P); }
void pointwise(const u32* a, const u32* b, const u32* c, const u32* d, u32* r, std::size_t n,
               const TransformPrime& P) {
  detail::ntt_pointwise(a, b, c, d, r, n, P);
}

#ifdef TAVRIN_DENSE_AVX2
// r := a + b (values in [0, 2p)).
AVX2_FN void sum_avx2(const u32* a, const u32* b, u32* r, std::size_t n, u32 pp) {
  const __m256i p2 = vset(2 * pp);
  for (std::size_t i = 0; i < n; i += 8) vstore(r + i, vreduce(_mm256_add_epi32(vload(a + i), vload(b + i)), p2));
}

#endif

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
void force_scalar_transforms(bool scalar) { detail::force_scalar_ntt(scalar); }

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
