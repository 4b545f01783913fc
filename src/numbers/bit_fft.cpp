// The additive transform over GF(2^64) and the products by it (bit_fft.h).
//
// Taylor expansion at T = x^t + x (t a power of 2, so T^s = x^(t s) + x^s
// for s a power of 2) of f of length n: with s = n / 2t, f = lo + x^(n/2) hi
// and x^(n/2) = T^s + x^s, f = A + T^s B where B = hi + (the top s
// coefficients of hi) and A = lo + x^s (B's first s coefficients, then the
// rest of hi); both halves expand in turn.
#include "numbers/bit_fft.h"

#include <algorithm>
#include <bit>

#include "numbers/clmul_impl.h"

namespace tavrin {

namespace {

using u64 = bit_word;

// ---- The field ----------------------------------------------------------------------------

// (hi z^64 + lo) mod z^64 + z^4 + z^3 + z + 1: hi z^64 = hi (z^4 + z^3 + z + 1),
// whose bits past z^63 fold back the same way once more.
inline u64 reduce(u64 lo, u64 hi) {
  const u64 t = hi ^ (hi >> 63) ^ (hi >> 61) ^ (hi >> 60);
  return lo ^ t ^ (t << 1) ^ (t << 3) ^ (t << 4);
}

u64 mul_portable(u64 a, u64 b) {
  u64 lo = 0, hi = 0;
  bit_mul1_portable(a, b, &lo, &hi);
  return reduce(lo, hi);
}

// twiddle(v, b) = W[2 b]: the sum of v_(k+1) over the set bits k of b.
inline u64 twiddle(const u64* v, std::size_t b) {
  u64 x = 0;
  for (; b != 0; b &= b - 1) x ^= v[std::countr_zero(b) + 1];
  return x;
}

// The butterfly of a block of 2 h values: lo += lambda hi, then hi += lo;
// and its inverse.
template <u64 (*Mul)(u64, u64)>
inline void butterfly(u64* lo, u64* hi, std::size_t h, u64 lambda) {
  if (lambda != 0)
    for (std::size_t i = 0; i < h; ++i) lo[i] ^= Mul(lambda, hi[i]);
  for (std::size_t i = 0; i < h; ++i) hi[i] ^= lo[i];
}

template <u64 (*Mul)(u64, u64)>
inline void unbutterfly(u64* lo, u64* hi, std::size_t h, u64 lambda) {
  for (std::size_t i = 0; i < h; ++i) hi[i] ^= lo[i];
  if (lambda != 0)
    for (std::size_t i = 0; i < h; ++i) lo[i] ^= Mul(lambda, hi[i]);
}

// All the butterflies of a block of 2^j values at index b of its level,
// level by level (downwards, or upwards for the inverse). The blocks of a
// level are b 2^d + r, r < 2^d; their twiddles step by a prefix sum of v
// as r counts up (bits 0 .. ctz r flip).
template <u64 (*Mul)(u64, u64), bool Down>
inline void block(u64* f, int j, std::size_t b, const u64* v) {
  u64 steps[64];
  u64 sum = 0;
  for (int t = 0; t < j; ++t) steps[t] = sum ^= v[t + 1];
  for (int i = 0; i < j; ++i) {
    const int l = Down ? j - i : i + 1, d = j - l;
    const std::size_t h = std::size_t{1} << (l - 1);
    u64 lambda = twiddle(v, b << d);
    for (std::size_t r = 0; r < (std::size_t{1} << d); ++r) {
      if (r != 0) lambda ^= steps[std::countr_zero(r)];
      u64* p = f + 2 * h * r;
      if (Down) {
        butterfly<Mul>(p, p + h, h, lambda);
      } else {
        unbutterfly<Mul>(p, p + h, h, lambda);
      }
    }
  }
}

template <u64 (*Mul)(u64, u64)>
inline void points(u64* a, const u64* b, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) a[i] = Mul(a[i], b[i]);
}

struct Kernel {
  void (*butterfly)(u64*, u64*, std::size_t, u64);
  void (*unbutterfly)(u64*, u64*, std::size_t, u64);
  void (*down)(u64*, int, std::size_t, const u64*);
  void (*up)(u64*, int, std::size_t, const u64*);
  void (*points)(u64*, const u64*, std::size_t);
};

#ifdef TAVRIN_CLMUL
__attribute__((target("pclmul,sse2"))) inline u64 mul_clmul(u64 a, u64 b) {
  const __m128i p = _mm_clmulepi64_si128(_mm_cvtsi64_si128(static_cast<long long>(a)),
                                         _mm_cvtsi64_si128(static_cast<long long>(b)), 0x00);
  return reduce(static_cast<u64>(_mm_cvtsi128_si64(p)),
                static_cast<u64>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(p, p))));
}

// The instances with the instruction: flatten inlines mul_clmul into them.
__attribute__((target("pclmul,sse2"), flatten)) void butterfly_clmul(u64* lo, u64* hi,
                                                                     std::size_t h, u64 lambda) {
  butterfly<mul_clmul>(lo, hi, h, lambda);
}
__attribute__((target("pclmul,sse2"), flatten)) void unbutterfly_clmul(u64* lo, u64* hi,
                                                                       std::size_t h, u64 lambda) {
  unbutterfly<mul_clmul>(lo, hi, h, lambda);
}
__attribute__((target("pclmul,sse2"), flatten)) void down_clmul(u64* f, int j, std::size_t b,
                                                                const u64* v) {
  block<mul_clmul, true>(f, j, b, v);
}
__attribute__((target("pclmul,sse2"), flatten)) void up_clmul(u64* f, int j, std::size_t b,
                                                              const u64* v) {
  block<mul_clmul, false>(f, j, b, v);
}
__attribute__((target("pclmul,sse2"), flatten)) void points_clmul(u64* a, const u64* b,
                                                                  std::size_t n) {
  points<mul_clmul>(a, b, n);
}
#endif

Kernel kernel_for(bit_kernel kernel) {
#ifdef TAVRIN_CLMUL
  if (kernel == bit_kernel::best && bit_clmul_allowed && bit_clmul_available())
    return {butterfly_clmul, unbutterfly_clmul, down_clmul, up_clmul, points_clmul};
#endif
  (void)kernel;
  return {butterfly<mul_portable>, unbutterfly<mul_portable>, block<mul_portable, true>,
          block<mul_portable, false>, points<mul_portable>};
}

// ---- The Cantor basis ---------------------------------------------------------------------

struct Basis {
  u64 v[64];
};

// v_j solves S(v) = v_(j-1): S is linear with kernel {0, 1}, so an echelon
// form of the images S(z^k) (by highest bit) reduces v_(j-1) to zero and
// the combination used is a root (bit 0 clear, as S(1) = 0 never pivots).
Basis make_basis() {
  u64 image[64] = {}, source[64] = {};
  auto reduce_by = [&](u64& y, u64& from) {
    for (int p = 63; p >= 0; --p) {
      if (((y >> p) & 1u) != 0 && image[p] != 0) {
        y ^= image[p];
        from ^= source[p];
      }
    }
  };
  for (int k = 0; k < 64; ++k) {
    const u64 zk = u64{1} << k;
    u64 y = mul_portable(zk, zk) ^ zk, from = zk;
    reduce_by(y, from);
    if (y != 0) {
      const int p = 63 - std::countl_zero(y);
      image[p] = y;
      source[p] = from;
    }
  }
  Basis b{};
  b.v[0] = 1;
  for (int j = 1; j < 64; ++j) {
    u64 y = b.v[j - 1], root = 0;
    reduce_by(y, root);
    b.v[j] = root;  // y is 0: v_(j-1) has trace 0 for j < 64
  }
  return b;
}

const Basis& basis() {
  static const Basis b = make_basis();
  return b;
}

// ---- The transforms -----------------------------------------------------------------------

void add_into(u64* __restrict d, const u64* __restrict s, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) d[i] ^= s[i];
}

// Taylor expansion at T = x^t + x of f of n elements of w words (n, t
// powers of 2, t >= 2): f = sum h_i T^i, h_i the i-th block of t elements.
void taylor(u64* f, std::size_t n, std::size_t t, std::size_t w) {
  if (n <= t) return;
  const std::size_t h = n / 2, s = n / (2 * t);
  add_into(f + h * w, f + (n - s) * w, s * w);
  add_into(f + s * w, f + h * w, (h - s) * w);
  taylor(f, h, t, w);
  taylor(f + h * w, h, t, w);
}

void untaylor(u64* f, std::size_t n, std::size_t t, std::size_t w) {
  if (n <= t) return;
  const std::size_t h = n / 2, s = n / (2 * t);
  untaylor(f, h, t, w);
  untaylor(f + h * w, h, t, w);
  add_into(f + s * w, f + h * w, (h - s) * w);
  add_into(f + h * w, f + (n - s) * w, s * w);
}

// f of 2^m elements of w words from the monomial basis to the novel one:
// X_i = product of s_j(x) = S^j(x) over the set bits j of i. With K the
// largest power of 2 below m and t = 2^K, T = S^K(x) = x^t + x and
// X_(l t + j) = X_l(T) X_j(x) for j < t: expand at T, convert each h_i (in
// x) and then the blocks as elements (in T).
void to_novel(u64* f, int m, std::size_t w) {
  if (m <= 1) return;
  const int k = std::bit_floor(static_cast<unsigned>(m - 1));
  const std::size_t n = std::size_t{1} << m, t = std::size_t{1} << k;
  taylor(f, n, t, w);
  for (std::size_t i = 0; i < n; i += t) to_novel(f + i * w, k, w);
  to_novel(f, m - k, w * t);
}

void from_novel(u64* f, int m, std::size_t w) {
  if (m <= 1) return;
  const int k = std::bit_floor(static_cast<unsigned>(m - 1));
  const std::size_t n = std::size_t{1} << m, t = std::size_t{1} << k;
  from_novel(f, m - k, w * t);
  for (std::size_t i = 0; i < n; i += t) from_novel(f + i * w, k, w);
  untaylor(f, n, t, w);
}

// Blocks of up to 2^kBlockOrder values run their butterflies level by
// level (they fit the first-level cache); longer ones split depth first.
constexpr int kBlockOrder = 10;

// f = f0 + s_(j-1) f1 (halves, novel basis) on c + W_j: the first half of
// the points gives f0 + lambda f1, the second (c + v_(j-1) + W_(j-1)) that
// plus f1. The block of 2^j values at index b of its level lies on
// c = W[b 2^j], so lambda = s_(j-1)(c) = W[2 b].
void butterflies(u64* f, int j, std::size_t b, const u64* v, const Kernel& k) {
  if (j <= kBlockOrder) {
    k.down(f, j, b, v);
    return;
  }
  const std::size_t h = std::size_t{1} << (j - 1);
  k.butterfly(f, f + h, h, twiddle(v, b));
  butterflies(f, j - 1, 2 * b, v, k);
  butterflies(f + h, j - 1, 2 * b + 1, v, k);
}

void unbutterflies(u64* f, int j, std::size_t b, const u64* v, const Kernel& k) {
  if (j <= kBlockOrder) {
    k.up(f, j, b, v);
    return;
  }
  const std::size_t h = std::size_t{1} << (j - 1);
  unbutterflies(f, j - 1, 2 * b, v, k);
  unbutterflies(f + h, j - 1, 2 * b + 1, v, k);
  k.unbutterfly(f, f + h, h, twiddle(v, b));
}

// f[0 .. 2^m) := its values, where f[len .. 2^m) is zero: while the upper
// half of a block is zero its butterfly copies the lower half, so the
// shortest block of 2^j >= len values is converted and copied into place.
void forward(u64* f, int m, std::size_t len, const Kernel& k) {
  int j = m;
  while (j > 0 && len <= (std::size_t{1} << (j - 1))) --j;
  const std::size_t n = std::size_t{1} << m, block_len = std::size_t{1} << j;
  to_novel(f, j, 1);
  for (std::size_t i = block_len; i < n; i += block_len) std::copy(f, f + block_len, f + i);
  for (std::size_t b = 0; b < n / block_len; ++b)
    butterflies(f + b * block_len, j, b, basis().v, k);
}

void inverse(u64* f, int m, const Kernel& k) {
  unbutterflies(f, m, 0, basis().v, k);
  from_novel(f, m, 1);
}

// Transform length for operands of na and nb words: 2 (na + nb) - 1 pieces.
int product_order(std::size_t na, std::size_t nb) {
  return std::max(1, static_cast<int>(std::bit_width(2 * (na + nb) - 2)));
}

void pack(u64* f, const u64* a, std::size_t na, std::size_t n) {
  for (std::size_t i = 0; i < na; ++i) {
    f[2 * i] = a[i] & 0xFFFFFFFFu;
    f[2 * i + 1] = a[i] >> 32;
  }
  std::fill(f + 2 * na, f + n, u64{0});
}

}  // namespace

bit_word gf2_64_mul(bit_word a, bit_word b) { return mul_portable(a, b); }

bit_word bit_fft_basis(int j) { return basis().v[j]; }

bit_word bit_fft_point(std::size_t i) {
  u64 x = 0;
  for (; i != 0; i &= i - 1) x ^= basis().v[std::countr_zero(i)];
  return x;
}

void bit_fft_forward(bit_word* f, int m, bit_kernel kernel) {
  forward(f, m, std::size_t{1} << m, kernel_for(kernel));
}

void bit_fft_inverse(bit_word* f, int m, bit_kernel kernel) { inverse(f, m, kernel_for(kernel)); }

std::size_t bit_fft_mul_scratch(std::size_t na, std::size_t nb) {
  return 2 * (std::size_t{1} << product_order(na, nb));
}

void bit_fft_mul(bit_word* c, const bit_word* a, std::size_t na, const bit_word* b, std::size_t nb,
                 bit_word* scratch, bit_kernel kernel) {
  const Kernel k = kernel_for(kernel);
  const int m = product_order(na, nb);
  const std::size_t n = std::size_t{1} << m;
  u64* fa = scratch;
  u64* fb = fa + n;
  pack(fa, a, na, n);
  pack(fb, b, nb, n);
  forward(fa, m, 2 * na, k);
  forward(fb, m, 2 * nb, k);
  k.points(fa, fb, n);
  inverse(fa, m, k);
  // Piece i of the product, 63 bits, at bit 32 i.
  std::fill(c, c + na + nb, u64{0});
  for (std::size_t i = 0; i + 1 < 2 * (na + nb); ++i) {
    if (i % 2 == 0) {
      c[i / 2] ^= fa[i];
    } else {
      c[i / 2] ^= fa[i] << 32;
      c[i / 2 + 1] ^= fa[i] >> 32;
    }
  }
}

}  // namespace tavrin
