// Spectra of residue arrays (dense_transform_impl.h) on the transforms of
// numbers/ntt.h, and the long array product built on them
// (ntt_product, dense_impl.h): folding, pointwise sums, and the values
// brought back through the Chinese remainder theorem.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "numbers/ntt.h"
#include "numbers/word_field.h"
#include "dense/dense_impl.h"
#include "dense/dense_simd_impl.h"
#include "dense/dense_transform_impl.h"

namespace tavrin::dense_detail {

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;
using u128 = unsigned __int128;
using kit::below_2p;
using kit::below_p;
using kit::TransformPrime;

std::vector<TransformPrime>& primes() { return kit::transform_primes(); }

bool vectorised() { return kit::ntt_vectorised(); }

void forward(u32* a, int lg, const TransformPrime& P) { kit::ntt_forward(a, lg, P); }
void backward(u32* a, int lg, const TransformPrime& P) { kit::ntt_backward(a, lg, P); }
void pointwise(const u32* a, const u32* b, const u32* c, const u32* d, u32* r, std::size_t n,
               const TransformPrime& P) {
  kit::ntt_pointwise(a, b, c, d, r, n, P);
}

#ifdef TAVRIN_DENSE_AVX2
// r := a + b (values in [0, 2p)).
AVX2_FN void sum_avx2(const u32* a, const u32* b, u32* r, std::size_t n, u32 pp) {
  const __m256i p2 = vset(2 * pp);
  for (std::size_t i = 0; i < n; i += 8)
    vstore(r + i, vreduce(_mm256_add_epi32(vload(a + i), vload(b + i)), p2));
}

#endif

void sum(const u32* a, const u32* b, u32* r, std::size_t n, u32 p) {
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return sum_avx2(a, b, r, n, p);
#endif
  const u32 p2 = 2 * p;
  for (std::size_t i = 0; i < n; ++i) r[i] = below_2p(a[i] + b[i], p2);
}

// The Chinese remainder step (spectrum_values): the digits v1, v2 (v3) of
// TransformCrt and the value v1 + p1 v2 (+ p1 p2 v3) modulo m, each term
// by a Shoup constant modulo m.
struct Crt {
  kit::TransformCrt digits;
  ShoupMultiplier onem, p1m, p12m;
  u32 m;
};

void crt_scalar(const Crt& c, const u32* r1, const u32* r2, const u32* r3, std::int64_t n,
                std::int32_t* out) {
  for (std::int64_t i = 0; i < n; ++i) {
    const u32 v1 = c.digits.digit1(r1[i]), v2 = c.digits.digit2(r2[i], v1);
    u32 v = c.onem.times(v1) + c.p1m.times(v2);
    if (v >= c.m) v -= c.m;
    if (r3 != nullptr) {
      v += c.p12m.times(c.digits.digit3(r3[i], v1, v2));
      if (v >= c.m) v -= c.m;
    }
    out[i] = static_cast<std::int32_t>(v);
  }
}

#ifdef TAVRIN_DENSE_AVX2
AVX2_FN void crt_avx2(const Crt& c, const u32* r1, const u32* r2, const u32* r3, std::int64_t n,
                      std::int32_t* out) {
  using kit::TransformCrt;
  const __m256i m = vset(c.m);
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i v1 = c.digits.digit1(vload(r1 + i));
    const __m256i v2 = c.digits.digit2(vload(r2 + i), v1);
    __m256i v = vreduce(
        _mm256_add_epi32(TransformCrt::times(c.onem, v1), TransformCrt::times(c.p1m, v2)), m);
    if (r3 != nullptr) {
      const __m256i v3 = c.digits.digit3(vload(r3 + i), v1, v2);
      v = vreduce(_mm256_add_epi32(v, TransformCrt::times(c.p12m, v3)), m);
    }
    vstore(reinterpret_cast<u32*>(out + i), v);
  }
  crt_scalar(c, r1 + i, r2 + i, r3 == nullptr ? nullptr : r3 + i, n - i, out + i);
}
#endif

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
  for (int k = 0; k < count; ++k) ps[static_cast<std::size_t>(k)].prepare(lg);
  kit::ntt_tasks(count, lg, [&](std::size_t k) {
    const TransformPrime& P = ps[k];
    const u32 p = P.p(), p2 = 2 * p;
    u32* out = view.of(static_cast<int>(k));
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
  });
  return view;
}

void spectrum_mul(ConstSpectrum a, ConstSpectrum b, SpectrumView r) {
  kit::ntt_tasks(a.count, r.lg, [&](std::size_t k) {
    const int i = static_cast<int>(k);
    pointwise(a.of(i), b.of(i), nullptr, nullptr, r.of(i), a.size(), primes()[k]);
  });
}

void spectrum_mul_add(ConstSpectrum a, ConstSpectrum b, ConstSpectrum c, ConstSpectrum d,
                      SpectrumView r) {
  for (int k = 0; k < a.count; ++k)
    pointwise(a.of(k), b.of(k), c.of(k), d.of(k), r.of(k), a.size(),
              primes()[static_cast<std::size_t>(k)]);
}

void spectrum_add(ConstSpectrum a, ConstSpectrum b, SpectrumView r) {
  for (int k = 0; k < a.count; ++k)
    sum(a.of(k), b.of(k), r.of(k), a.size(), primes()[static_cast<std::size_t>(k)].p());
}

void spectrum_values(SpectrumView s, std::int32_t modul, std::int64_t from, std::int64_t n,
                     std::int32_t* out) {
  std::vector<TransformPrime>& ps = primes();
  const std::size_t len = s.size();
  kit::ntt_tasks(s.count, s.lg,
                 [&](std::size_t k) { backward(s.of(static_cast<int>(k)), s.lg, ps[k]); });
  const u64 p1 = ps[0].p(), p2 = ps[1].p(), m = static_cast<u64>(modul);
  const auto um = static_cast<u32>(m);
  const Crt c{kit::TransformCrt(static_cast<std::int64_t>(len)), ShoupMultiplier(1, um),
              ShoupMultiplier(p1 % m, um), ShoupMultiplier(p1 % m * (p2 % m) % m, um), um};
  const u32* r1 = s.of(0) + from;
  const u32* r2 = s.of(1) + from;
  const u32* r3 = s.count == 3 ? s.of(2) + from : nullptr;
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return crt_avx2(c, r1, r2, r3, n, out);
#endif
  crt_scalar(c, r1, r2, r3, n, out);
}

bool transforms_vectorised() { return vectorised(); }
void force_scalar_transforms(bool scalar) { kit::force_scalar_ntt(scalar); }

namespace {

// z := x y by the kit's split pair of lengths 2^lg and 2^(lg-1) a prime
// (numbers/ntt.h), for nx + ny - 1 <= 3 2^(lg-1).
void split_product(const std::int32_t* x, std::int32_t nx, const std::int32_t* y, std::int32_t ny,
                   std::int32_t* z, std::int32_t modul, int lg, int count) {
  std::vector<TransformPrime>& ps = primes();
  const std::int64_t n = std::int64_t{1} << lg, m = n / 2;
  thread_local std::vector<u32> values;
  values.resize(static_cast<std::size_t>(8 * m * count));
  u32* const base =
      values.data();  // the calling thread's buffer (in a task the name is the worker's)
  auto block = [base, m](int operand, int k) { return base + (2 * k + operand) * 4 * m; };
  for (int k = 0; k < count; ++k) ps[static_cast<std::size_t>(k)].prepare(lg);
  kit::ntt_tasks(count, lg, [&](std::size_t kk) {
    const int k = static_cast<int>(kk);
    const TransformPrime& P = ps[kk];
    const u32 p = P.p();
    for (int operand = 0; operand < 2; ++operand) {
      const std::int32_t* a = operand == 0 ? x : y;
      const std::int64_t na = operand == 0 ? nx : ny;
      u32* out = block(operand, k);
      for (std::int64_t i = 0; i < na; ++i)
        out[i] = below_p(below_p(static_cast<u32>(a[i]), 2 * p), p);  // < 3p
      std::fill(out + na, out + 3 * m, 0u);
      kit::ntt_split_fold(out, out + 3 * m, m, static_cast<std::size_t>(k));
      forward(out, lg, P);
      forward(out + 3 * m, lg - 1, P);
    }
    u32 *u = block(0, k), *v = block(1, k);
    pointwise(u, v, nullptr, nullptr, u, static_cast<std::size_t>(n), P);
    pointwise(u + 3 * m, v + 3 * m, nullptr, nullptr, u + 3 * m, static_cast<std::size_t>(m), P);
    backward(u, lg, P);
    backward(u + 3 * m, lg - 1, P);
    kit::ntt_split_recombine(u, u + 3 * m, m, kk);
  });
  const u64 p1 = ps[0].p(), p2 = ps[1].p(), mm = static_cast<u64>(modul);
  const auto um = static_cast<u32>(mm);
  const Crt c{kit::TransformCrt(n), ShoupMultiplier(1, um), ShoupMultiplier(p1 % mm, um),
              ShoupMultiplier(p1 % mm * (p2 % mm) % mm, um), um};
  const std::int64_t nz = std::int64_t{nx} + ny - 1;
  const u32* r3 = count == 3 ? block(0, 2) : nullptr;
#ifdef TAVRIN_DENSE_AVX2
  if (vectorised()) return crt_avx2(c, block(0, 0), block(0, 1), r3, nz, z);
#endif
  crt_scalar(c, block(0, 0), block(0, 1), r3, nz, z);
}

}  // namespace

void ntt_product_split(const std::int32_t* x, std::int32_t nx, const std::int32_t* y,
                       std::int32_t ny, std::int32_t* z, std::int32_t modul) {
  const int lg = transform_lg(std::int64_t{nx} + ny - 1);
  split_product(x, nx, y, ny, z, modul, lg - 1, transform_primes_needed(std::min(nx, ny), modul));
}

bool ntt_product_splits(std::int32_t nx, std::int32_t ny) {
  const std::int64_t nz = std::int64_t{nx} + ny - 1;
  const int lg = transform_lg(nz);
  return lg - 2 >= transform_min_lg && 4 * nz <= 3 * (std::int64_t{1} << lg);
}

void ntt_product_whole(const std::int32_t* x, std::int32_t nx, const std::int32_t* y,
                       std::int32_t ny, std::int32_t* z, std::int32_t modul) {
  const std::int64_t nz = std::int64_t{nx} + ny - 1;
  const int lg = transform_lg(nz);
  const int count = transform_primes_needed(std::min(nx, ny), modul);
  thread_local Spectrum a, b;
  const SpectrumView sa = spectrum_of(x, nx, lg, count, a);
  spectrum_mul(sa, spectrum_of(y, ny, lg, count, b), sa);
  spectrum_values(sa, modul, 0, nz, z);
}

void ntt_product(const std::int32_t* x, std::int32_t nx, const std::int32_t* y, std::int32_t ny,
                 std::int32_t* z, std::int32_t modul) {
  if (ntt_product_splits(nx, ny) &&
      kit::ntt_split_pays(transform_lg(std::int64_t{nx} + ny - 1), 3)) {
    ntt_product_split(x, nx, y, ny, z, modul);
  } else {
    ntt_product_whole(x, nx, y, ny, z, modul);
  }
}

}  // namespace tavrin::dense_detail
