// Carry-less products of word arrays (bit_poly.h).
//
// Karatsuba over GF(2): with a = a0 + a1 X and b = b0 + b1 X (X = x^(64 h),
// the lower halves h words, the upper ones l = n - h <= h),
// a b = a0 b0 + (a0 b0 + a1 b1 + (a0 + a1)(b0 + b1)) X + a1 b1 X^2: the
// outer products go straight into c, the middle one into the scratch.
#include "numbers/bit_poly.h"

#include <algorithm>
#include <utility>

#include "core/thresholds.h"
#include "numbers/bit_fft.h"
#include "numbers/clmul_impl.h"

namespace tavrin {

namespace {

using u64 = bit_word;
using u128 = unsigned __int128;

// ---- One-word products --------------------------------------------------------------------

// The schoolbook columns with the portable one-word product: c[k] is the
// low word of column k plus the high word of column k - 1.
void columns_portable(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb) {
  std::fill(c, c + na + nb, u64{0});
  for (std::size_t i = 0; i < na; ++i) {
    // The sixteen multiples of a[i], 67 bits each.
    u128 tab[16];
    tab[0] = 0;
    tab[1] = a[i];
    for (int u = 2; u < 16; u += 2) {
      tab[u] = tab[u / 2] << 1;
      tab[u + 1] = tab[u] ^ tab[1];
    }
    for (std::size_t j = 0; j < nb; ++j) {
      const u64 y = b[j];
      u128 r = tab[y & 15];
      for (int s = 4; s < 64; s += 4) r ^= tab[(y >> s) & 15] << s;
      c[i + j] ^= static_cast<u64>(r);
      c[i + j + 1] ^= static_cast<u64>(r >> 64);
    }
  }
}

#ifdef TAVRIN_CLMUL
__attribute__((target("pclmul,sse2"))) void columns_clmul(u64* c, const u64* a, std::size_t na,
                                                          const u64* b, std::size_t nb) {
  u64 carry = 0;
  for (std::size_t k = 0; k + 1 < na + nb; ++k) {
    const std::size_t lo = k + 1 > nb ? k + 1 - nb : 0;
    const std::size_t hi = std::min(k, na - 1);
    __m128i acc = _mm_setzero_si128();
    for (std::size_t i = lo; i <= hi; ++i) {
      const __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(a + i));
      const __m128i y = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + (k - i)));
      acc = _mm_xor_si128(acc, _mm_clmulepi64_si128(x, y, 0x00));
    }
    c[k] = static_cast<u64>(_mm_cvtsi128_si64(acc)) ^ carry;
    carry = static_cast<u64>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
  }
  c[na + nb - 1] = carry;
}
#endif

using Columns = void (*)(u64*, const u64*, std::size_t, const u64*, std::size_t);

Columns columns_for(bit_kernel kernel) {
#ifdef TAVRIN_CLMUL
  if (kernel == bit_kernel::best && bit_clmul_allowed && bit_clmul_available()) return columns_clmul;
#endif
  (void)kernel;
  return columns_portable;
}

// ---- Karatsuba ----------------------------------------------------------------------------

std::size_t cut_words() { return static_cast<std::size_t>(std::max(bit_karatsuba_words, 2)); }

// The transforms take na <= nb words from bit_fft_words on, as one product
// while b is shorter than four times a; longer ones go by pieces of na
// words (fewer points, and shorter transforms).
bool by_transform(std::size_t na, std::size_t nb) {
  return na >= static_cast<std::size_t>(std::max(bit_fft_words, 1)) && nb < 4 * na;
}

// Scratch of the balanced product of n words.
std::size_t balanced_scratch(std::size_t n) {
  std::size_t total = 0;
  while (n >= cut_words()) {
    const std::size_t h = (n + 1) / 2;
    total += 4 * h;
    n = h;
  }
  return total;
}

void multiply(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb, u64* scratch, Columns cols,
              bit_kernel kernel);

// c[0 .. 2n) := a * b, both of n words.
void balanced(u64* c, const u64* a, const u64* b, std::size_t n, u64* scratch, Columns cols) {
  if (n < cut_words()) {
    cols(c, a, n, b, n);
    return;
  }
  const std::size_t h = (n + 1) / 2, l = n - h;
  balanced(c, a, b, h, scratch, cols);
  balanced(c + 2 * h, a + h, b + h, l, scratch, cols);
  u64* sa = scratch;
  u64* sb = sa + h;
  u64* mid = sb + h;
  for (std::size_t i = 0; i < h; ++i) {
    sa[i] = a[i] ^ (i < l ? a[h + i] : 0);
    sb[i] = b[i] ^ (i < l ? b[h + i] : 0);
  }
  balanced(mid, sa, sb, h, mid + 2 * h, cols);
  for (std::size_t i = 0; i < 2 * h; ++i) mid[i] ^= c[i];
  for (std::size_t i = 0; i < 2 * l; ++i) mid[i] ^= c[2 * h + i];
  // The middle product has fewer than h + h words' worth of terms above
  // X, and c has room for them: 3 h <= 2 n.
  for (std::size_t i = 0; i < 2 * h; ++i) c[h + i] ^= mid[i];
}

// na <= nb: b cut into pieces of na words, each product added in.
void pieces(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb, u64* scratch, Columns cols,
            bit_kernel kernel) {
  std::fill(c, c + na + nb, u64{0});
  u64* t = scratch;
  for (std::size_t j = 0; j < nb; j += na) {
    const std::size_t len = std::min(na, nb - j);
    multiply(t, a, na, b + j, len, t + na + len, cols, kernel);
    for (std::size_t i = 0; i < na + len; ++i) c[j + i] ^= t[i];
  }
}

void multiply(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb, u64* scratch, Columns cols,
              bit_kernel kernel) {
  if (na > nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  if (by_transform(na, nb)) {
    bit_fft_mul(c, a, na, b, nb, scratch, kernel);
  } else if (na < cut_words()) {
    cols(c, a, na, b, nb);
  } else if (na == nb) {
    balanced(c, a, b, na, scratch, cols);
  } else {
    pieces(c, a, na, b, nb, scratch, cols, kernel);
  }
}

}  // namespace

bool bit_clmul_allowed = true;

bool bit_clmul_available() {
#ifdef TAVRIN_CLMUL
  static const bool yes = __builtin_cpu_supports("pclmul");
  return yes;
#else
  return false;
#endif
}

void bit_mul1_portable(bit_word a, bit_word b, bit_word* lo, bit_word* hi) {
  u64 c[2];
  columns_portable(c, &a, 1, &b, 1);
  *lo = c[0];
  *hi = c[1];
}

std::size_t bit_poly_mul_scratch(std::size_t na, std::size_t nb) {
  if (na > nb) std::swap(na, nb);
  if (by_transform(na, nb)) return bit_fft_mul_scratch(na, nb);
  if (na < cut_words()) return 0;
  if (na == nb) return balanced_scratch(na);
  // A piece's product, then the scratch of the longest product of a piece
  // (the last piece, shorter, may cut na into pieces in turn).
  const std::size_t r = nb % na;
  std::size_t rest = bit_poly_mul_scratch(na, na);
  if (r != 0) rest = std::max(rest, bit_poly_mul_scratch(r, na));
  return 2 * na + rest;
}

void bit_poly_mul(bit_word* c, const bit_word* a, std::size_t na, const bit_word* b, std::size_t nb,
                  bit_word* scratch, bit_kernel kernel) {
  multiply(c, a, na, b, nb, scratch, columns_for(kernel), kernel);
}

std::vector<bit_word> bit_poly_mul(const std::vector<bit_word>& a, const std::vector<bit_word>& b,
                                   bit_kernel kernel) {
  if (a.empty() || b.empty()) return {};
  std::vector<bit_word> c(a.size() + b.size());
  std::vector<bit_word> scratch(bit_poly_mul_scratch(a.size(), b.size()));
  bit_poly_mul(c.data(), a.data(), a.size(), b.data(), b.size(), scratch.data(), kernel);
  return c;
}

}  // namespace tavrin
