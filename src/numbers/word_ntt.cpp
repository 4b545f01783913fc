// Long products of word arrays by number-theoretic transforms (ntt_impl.h):
// each operand is cut into chunks of `bits` bits (the coefficients of a
// polynomial at 2^bits), the chunks' cyclic convolution is formed modulo
// the three transform primes, and each coefficient, rebuilt exactly by the
// Chinese remainder theorem, is added in at its chunk's place. `bits` is the
// largest for which every coefficient (at most the shorter operand's chunk
// count times (2^bits - 1)^2) stays below the product of the primes, and the
// transform length the least power of two that holds the whole product, so
// the cyclic convolution is the plain one.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "numbers/ntt_impl.h"
#include "numbers/simd_impl.h"
#include "numbers/word_array_impl.h"

namespace tavrin::detail {

namespace {

constexpr u32 prime1 = 1004535809u, prime2 = 998244353u, prime3 = 754974721u;

// The chunk width and transform size of a product.
struct ntt_shape {
  int bits = 0;
  std::int64_t chunks_a = 0, chunks_b = 0;
  int lg = 0;
};

std::int64_t chunk_count(std::int32_t n, int bits) { return (64 * std::int64_t{n} + bits - 1) / bits; }

// The widest chunks (at most 40 bits) whose coefficients stay below the
// primes' product; lg 0 when no width fits the transform lengths.
ntt_shape shape_of(std::int32_t na, std::int32_t nb) {
  const u128 primes_product = static_cast<u128>(prime1) * prime2 * prime3;
  for (int bits = 40; bits >= 16; --bits) {
    ntt_shape s{bits, chunk_count(na, bits), chunk_count(nb, bits), ntt_min_lg};
    const u128 top = (static_cast<u128>(1) << bits) - 1;
    if (top * top * static_cast<u128>(std::min(s.chunks_a, s.chunks_b)) >= primes_product) continue;
    while ((std::int64_t{1} << s.lg) < s.chunks_a + s.chunks_b - 1) ++s.lg;
    if (s.lg > ntt_max_lg) return {};
    return s;
  }
  return {};
}

// out_k[0 .. 2^lg) := the chunks of a (n words) modulo prime k, zero
// padded; each chunk is below 2^40.
void chunks_of(const word* a, std::int32_t n, const ntt_shape& s, std::int64_t count, u32* out1, u32* out2,
               u32* out3) {
  const word mask = (word{1} << s.bits) - 1;
  std::int64_t bit = 0;
  for (std::int64_t i = 0; i < count; ++i, bit += s.bits) {
    const auto k = static_cast<std::int32_t>(bit >> 6);
    const int off = static_cast<int>(bit & 63);
    word c = a[k] >> off;
    if (off + s.bits > 64 && k + 1 < n) c |= a[k + 1] << (64 - off);
    c &= mask;
    out1[i] = static_cast<u32>(c % prime1);
    out2[i] = static_cast<u32>(c % prime2);
    out3[i] = static_cast<u32>(c % prime3);
  }
  const std::int64_t len = std::int64_t{1} << s.lg;
  std::fill(out1 + count, out1 + len, 0u);
  std::fill(out2 + count, out2 + len, 0u);
  std::fill(out3 + count, out3 + len, 0u);
}

// Multiplication by a constant w modulo m, exact, by Shoup's quotient.
struct shoup_constant {
  u32 w, wq, m;
  shoup_constant(u64 v, u32 mod) : w(static_cast<u32>(v % mod)), wq(shoup_quotient(w, mod)), m(mod) {}
  u32 times(u32 a) const { return below_p(shoup_lazy(a, w, wq, m), m); }
};

u32 sub_mod(u32 a, u32 b, u32 m) { return a >= b ? a - b : a + m - b; }

// Garner's form of the Chinese remainder step: with v1 = r1 s1 mod p1,
// v2 = (r2 s2 - v1) / p1 mod p2 and v3 = ((r3 s3 - v1) / p1 - v2) / p2 mod
// p3, the coefficient is v1 + p1 v2 + p1 p2 v3. The s_k take back the
// transform's factor N 2^-32.
struct garner {
  shoup_constant c1, c2, d2, c3, d3, e3;
  explicit garner(std::int64_t len)
      : c1(scale(prime1, len), prime1),
        c2(u64{scale(prime2, len)} * inverse(prime1, prime2) % prime2, prime2),
        d2(inverse(prime1, prime2), prime2),
        c3(u64{scale(prime3, len)} * inverse(prime1, prime3) % prime3 * inverse(prime2, prime3) % prime3, prime3),
        d3(u64{inverse(prime1, prime3)} * inverse(prime2, prime3) % prime3, prime3),
        e3(inverse(prime2, prime3), prime3) {}
  static u32 inverse(u64 a, u32 p) { return pow_mod(a % p, p - 2, p); }
  static u32 scale(u32 p, std::int64_t len) {
    return static_cast<u32>((u64{1} << 32) % p * inverse(static_cast<u64>(len) % p, p) % p);
  }
  // r_k := v_k in place.
  void digits(u32& r1, u32& r2, u32& r3) const {
    const u32 v1 = c1.times(r1);
    const u32 v2 = sub_mod(c2.times(r2), d2.times(v1), prime2);
    r3 = sub_mod(sub_mod(c3.times(r3), d3.times(v1), prime3), e3.times(v2), prime3);
    r1 = v1;
    r2 = v2;
  }
};

#ifdef TAVRIN_AVX2
AVX2_FN __m256i times8(const shoup_constant& c, __m256i a) {
  const __m256i m = simd::vset(c.m);
  return simd::vreduce(simd::vshoup(a, simd::vset(c.w), simd::vset(c.wq), m), m);
}

AVX2_FN __m256i sub_mod8(__m256i a, __m256i b, u32 m) {
  const __m256i q = simd::vset(m);
  return simd::vreduce(_mm256_add_epi32(_mm256_sub_epi32(a, b), q), q);
}

AVX2_FN void garner_avx2(const garner& g, u32* r1, u32* r2, u32* r3, std::int64_t n) {
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i v1 = times8(g.c1, simd::vload(r1 + i));
    const __m256i v2 = sub_mod8(times8(g.c2, simd::vload(r2 + i)), times8(g.d2, v1), prime2);
    const __m256i t = sub_mod8(times8(g.c3, simd::vload(r3 + i)), times8(g.d3, v1), prime3);
    simd::vstore(r3 + i, sub_mod8(t, times8(g.e3, v2), prime3));
    simd::vstore(r1 + i, v1);
    simd::vstore(r2 + i, v2);
  }
  for (; i < n; ++i) g.digits(r1[i], r2[i], r3[i]);
}
#endif

// r[0 .. nr) := the sum of the coefficients v1 + p1 v2 + p1 p2 v3, the i-th
// at bit i bits, and zero words above.
void add_in(word* r, std::int32_t nr, const u32* v1, const u32* v2, const u32* v3, std::int64_t count, int bits) {
  constexpr u64 p1 = prime1;
  constexpr u64 p12 = u64{prime1} * prime2;
  const word mask = (word{1} << bits) - 1;
  u128 carry = 0;     // the coefficients' sum above the bits written
  u128 pending = 0;   // bits written but not yet a whole word
  int held = 0;
  std::int32_t k = 0;
  auto put = [&](word v, int width) {
    pending |= static_cast<u128>(v) << held;
    held += width;
    if (held >= 64) {
      if (k < nr) r[k++] = static_cast<word>(pending);
      pending >>= 64;
      held -= 64;
    }
  };
  for (std::int64_t i = 0; i < count; ++i) {
    carry += v1[i] + static_cast<u128>(p1) * v2[i] + static_cast<u128>(p12) * v3[i];
    put(static_cast<word>(carry) & mask, bits);
    carry >>= bits;
  }
  while (carry != 0 && k < nr) {
    put(static_cast<word>(carry) & mask, bits);
    carry >>= bits;
  }
  if (held > 0 && k < nr) r[k++] = static_cast<word>(pending);
  std::fill(r + k, r + nr, word{0});
}

growable_buffer<u32> spectra;

}  // namespace

bool wmul_ntt_fits(std::int32_t na, std::int32_t nb) { return shape_of(na, nb).lg != 0; }

void wmul_ntt(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  const bool square = b == nullptr;
  if (square) nb = na;
  const ntt_shape s = shape_of(na, nb);
  const std::int64_t len = std::int64_t{1} << s.lg;
  std::vector<TransformPrime>& ps = transform_primes();
  for (TransformPrime& P : ps) P.prepare(s.lg);
  u32* x = spectra.get(static_cast<std::int32_t>(6 * len));
  u32* y = x + 3 * len;
  chunks_of(a, na, s, s.chunks_a, x, x + len, x + 2 * len);
  if (!square) chunks_of(b, nb, s, s.chunks_b, y, y + len, y + 2 * len);
  for (std::size_t k = 0; k < 3; ++k) {
    u32* xk = x + static_cast<std::int64_t>(k) * len;
    u32* yk = square ? xk : y + static_cast<std::int64_t>(k) * len;
    ntt_forward(xk, s.lg, ps[k]);
    if (!square) ntt_forward(yk, s.lg, ps[k]);
    ntt_pointwise(xk, yk, nullptr, nullptr, xk, static_cast<std::size_t>(len), ps[k]);
    ntt_backward(xk, s.lg, ps[k]);
  }
  const std::int64_t count = s.chunks_a + s.chunks_b - 1;
  const garner g(len);
#ifdef TAVRIN_AVX2
  if (ntt_vectorised()) {
    garner_avx2(g, x, x + len, x + 2 * len, count);
  } else
#endif
  {
    for (std::int64_t i = 0; i < count; ++i) g.digits(x[i], x[len + i], x[2 * len + i]);
  }
  add_in(r, na + nb, x, x + len, x + 2 * len, count, s.bits);
}

}  // namespace tavrin::detail
