// Carry-less products of word arrays (bit_poly.h).
//
// Karatsuba over GF(2): with a = a0 + a1 X and b = b0 + b1 X (X = x^(64 h),
// the lower halves h words, the upper ones l = n - h <= h),
// a b = a0 b0 + (a0 b0 + a1 b1 + (a0 + a1)(b0 + b1)) X + a1 b1 X^2: the
// outer products go straight into c, the middle one into the scratch.
//
// The base case with the processor's carry-less multiply takes pairs of
// words: one 128-bit load of each factor feeds four one-word products, and
// the 512-bit form does four such pairs in one instruction.
#include "numbers/bit_poly.h"

#include <algorithm>
#include <cstdint>
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
// The one-word columns with the instruction: c[k] gathers column k's
// products, one pair of words a time (the reference route's base case).
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

// c[0 .. 2 (ma + mb)) := a * b for a of ma and b of mb pairs of words
// (ma, mb >= 1). Pair column k sums, over the pairs i + j = k, the low
// products a0 b0 (at word 2 k), the high ones a1 b1 (at 2 k + 2) and the
// crossed ones a0 b1 + a1 b0 (at 2 k + 1): four products a load of two
// pairs, against one for two words in the one-word columns.
__attribute__((target("pclmul,sse2"))) void pair_columns_clmul(u64* c, const u64* a, std::size_t ma,
                                                               const u64* b, std::size_t mb) {
  const auto* pa = reinterpret_cast<const __m128i*>(a);
  const auto* pb = reinterpret_cast<const __m128i*>(b);
  auto* pc = reinterpret_cast<__m128i*>(c);
  __m128i pending = _mm_setzero_si128();  // what column k - 1 leaves at word 2 k
  for (std::size_t k = 0; k + 1 < ma + mb; ++k) {
    const std::size_t lo = k + 1 > mb ? k + 1 - mb : 0;
    const std::size_t hi = std::min(k, ma - 1);
    __m128i low = _mm_setzero_si128(), cross = low, high = low;
    for (std::size_t i = lo; i <= hi; ++i) {
      const __m128i x = _mm_loadu_si128(pa + i);
      const __m128i y = _mm_loadu_si128(pb + (k - i));
      low = _mm_xor_si128(low, _mm_clmulepi64_si128(x, y, 0x00));
      cross = _mm_xor_si128(cross, _mm_clmulepi64_si128(x, y, 0x01));
      cross = _mm_xor_si128(cross, _mm_clmulepi64_si128(x, y, 0x10));
      high = _mm_xor_si128(high, _mm_clmulepi64_si128(x, y, 0x11));
    }
    _mm_storeu_si128(pc + k, _mm_xor_si128(_mm_xor_si128(low, pending), _mm_slli_si128(cross, 8)));
    pending = _mm_xor_si128(high, _mm_srli_si128(cross, 8));
  }
  _mm_storeu_si128(pc + ma + mb - 1, pending);
}

// pair_columns_clmul with the wide instruction: four pair columns k + j
// (j < 4) at once, lane j of a 512-bit register gathering column k + j from
// a pair of a (the same in every lane) and four consecutive pairs of b,
// loaded under a mask only where they run out. Pair column k + j of the sum
// takes the crossed products' high word and the high products of column
// k + j - 1: one lane along, the last lane of the previous four carried.
// (The zero-masked forms of the lane operations are the plain ones without
// their undefined start value, which GCC warns about.)
__attribute__((target("avx512f,vpclmulqdq"))) void pair_columns_wide(u64* c, const u64* a,
                                                                     std::size_t ma, const u64* b,
                                                                     std::size_t mb) {
  const std::size_t m = ma + mb;  // pairs of c; the last column ma + mb - 2
  const auto sma = static_cast<std::ptrdiff_t>(ma), smb = static_cast<std::ptrdiff_t>(mb);
  const __m512i zero = _mm512_setzero_si512();
  __m512i carried = zero;  // lane 3: what the previous four columns leave
  for (std::size_t k = 0; k < m; k += 4) {
    const auto sk = static_cast<std::ptrdiff_t>(k);
    __m512i low = zero, cross = zero, high = zero;
    const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, sk - smb + 1);
    const std::ptrdiff_t last = std::min<std::ptrdiff_t>(sma - 1, sk + 3);
    // From i = k + 4 - mb to i = k every lane's pair of b lies in [0, mb).
    const std::ptrdiff_t inner = sk + 4 - smb;
    for (std::ptrdiff_t i = first; i <= last; ++i) {
      const __m512i x = _mm512_maskz_broadcast_i32x4(
          0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * i)));
      __m512i y;
      if (i >= inner && i <= sk) {
        y = _mm512_loadu_si512(b + 2 * (sk - i));
      } else {
        // Lane j takes b's pair k + j - i when it lies in [0, mb).
        const std::ptrdiff_t from = std::max<std::ptrdiff_t>(0, i - sk),
                             to = std::min<std::ptrdiff_t>(4, smb - sk + i);
        const auto mask = static_cast<__mmask8>(((1u << (2 * to)) - 1) & ~((1u << (2 * from)) - 1));
        // The lanes before b are masked off; the address is formed as an
        // integer, since a pointer before the array would be undefined.
        const auto at = reinterpret_cast<std::uintptr_t>(b) +
                        static_cast<std::uintptr_t>(2 * (sk - i)) * sizeof(u64);
        y = _mm512_maskz_loadu_epi64(mask, reinterpret_cast<const void*>(at));
      }
      low = _mm512_xor_si512(low, _mm512_clmulepi64_epi128(x, y, 0x00));
      cross = _mm512_xor_si512(cross, _mm512_clmulepi64_epi128(x, y, 0x01));
      cross = _mm512_xor_si512(cross, _mm512_clmulepi64_epi128(x, y, 0x10));
      high = _mm512_xor_si512(high, _mm512_clmulepi64_epi128(x, y, 0x11));
    }
    // Within each lane the crossed products straddle the pair: low word up,
    // high word to the next lane with the high products.
    const __m512i up = _mm512_xor_si512(high, _mm512_maskz_unpackhi_epi64(0xFF, cross, zero));
    const __m512i out =
        _mm512_xor_si512(_mm512_xor_si512(low, _mm512_maskz_unpacklo_epi64(0xFF, zero, cross)),
                         _mm512_maskz_alignr_epi64(0xFF, up, carried, 6));
    carried = up;
    const std::size_t left = std::min<std::size_t>(4, m - k);
    _mm512_mask_storeu_epi64(c + 2 * k, static_cast<__mmask8>((1u << (2 * left)) - 1), out);
  }
}

// c[0 .. n + 1) ^= w * b[0 .. n).
__attribute__((target("pclmul,sse2"))) void add_row_clmul(u64* c, u64 w, const u64* b,
                                                          std::size_t n) {
  const __m128i x = _mm_cvtsi64_si128(static_cast<long long>(w));
  u64 carry = 0;
  for (std::size_t j = 0; j < n; ++j) {
    const __m128i p =
        _mm_clmulepi64_si128(x, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(b + j)), 0x00);
    c[j] ^= static_cast<u64>(_mm_cvtsi128_si64(p)) ^ carry;
    carry = static_cast<u64>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(p, p)));
  }
  c[n] ^= carry;
}

using Pairs = void (*)(u64*, const u64*, std::size_t, const u64*, std::size_t);

// The columns by pairs of words: the even parts a' and b' of a and b by
// pairs, then the odd last words as rows: with a = a' + s x^(64 ea) and
// b = b' + t x^(64 eb), a b = a' b' + s b x^(64 ea) + t a' x^(64 eb).
__attribute__((target("pclmul,sse2"))) void columns_by_pairs(u64* c, const u64* a, std::size_t na,
                                                             const u64* b, std::size_t nb,
                                                             Pairs pairs) {
  const std::size_t ea = na & ~std::size_t{1}, eb = nb & ~std::size_t{1};
  if (ea != 0 && eb != 0) {
    pairs(c, a, ea / 2, b, eb / 2);
    std::fill(c + ea + eb, c + na + nb, u64{0});
  } else {
    std::fill(c, c + na + nb, u64{0});
  }
  if (ea != na) add_row_clmul(c + ea, a[ea], b, nb);
  if (eb != nb && ea != 0) add_row_clmul(c + eb, b[eb], a, ea);
}

void columns_pairs_narrow(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb) {
  columns_by_pairs(c, a, na, b, nb, pair_columns_clmul);
}

void columns_pairs_wide(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb) {
  columns_by_pairs(c, a, na, b, nb, pair_columns_wide);
}
#endif

using Columns = void (*)(u64*, const u64*, std::size_t, const u64*, std::size_t);

// ---- Karatsuba ----------------------------------------------------------------------------

std::size_t cut_of(std::int32_t words) { return static_cast<std::size_t>(std::max(words, 2)); }

// The scratch is sized for the lower of the two cuts: more levels of the
// recursion need more of it.
std::size_t scratch_cut() {
  return cut_of(std::min(bit_karatsuba_words, bit_pair_karatsuba_words));
}

// The transforms take na <= nb words once their mean reaches bit_fft_words,
// as one product while b is shorter than four times a; longer ones go by
// pieces of na words (fewer points, and shorter transforms). The mean, not
// na: the transforms' cost follows the product's length, Karatsuba's
// pieces that of the shorter factor to the power 1.58 times nb / na.
bool by_transform(std::size_t na, std::size_t nb) {
  return na + nb >= 2 * static_cast<std::size_t>(std::max(bit_fft_words, 1)) && nb < 4 * na;
}

// Scratch of the balanced product of n words.
std::size_t balanced_scratch(std::size_t n) {
  std::size_t total = 0;
  while (n >= scratch_cut()) {
    const std::size_t h = (n + 1) / 2;
    total += 4 * h;
    n = h;
  }
  return total;
}

struct Route;

// c[0 .. 2n) := a * b, both of n words; scratch: balanced_scratch(n) words.
using Balanced = void (*)(u64* c, const u64* a, const u64* b, std::size_t n, u64* scratch,
                          const Route& r);

// The base case, its cut and the recursion a product runs.
struct Route {
  Columns cols;
  std::size_t cut;
  Balanced balanced;
  bit_kernel kernel;
};

void multiply(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb, u64* scratch,
              const Route& r);

// Karatsuba's recursion as first written: the sums of the halves, then
// three passes adding L = a0 b0 and H = a1 b1 into the middle product and
// the middle product into c. The reference route's (tests compare).
void balanced_reference(u64* c, const u64* a, const u64* b, std::size_t n, u64* scratch,
                        const Route& r) {
  if (n < r.cut) {
    r.cols(c, a, n, b, n);
    return;
  }
  const std::size_t h = (n + 1) / 2, l = n - h;
  balanced_reference(c, a, b, h, scratch, r);
  balanced_reference(c + 2 * h, a + h, b + h, l, scratch, r);
  u64* sa = scratch;
  u64* sb = sa + h;
  u64* mid = sb + h;
  for (std::size_t i = 0; i < h; ++i) {
    sa[i] = a[i] ^ (i < l ? a[h + i] : 0);
    sb[i] = b[i] ^ (i < l ? b[h + i] : 0);
  }
  balanced_reference(mid, sa, sb, h, mid + 2 * h, r);
  for (std::size_t i = 0; i < 2 * h; ++i) mid[i] ^= c[i];
  for (std::size_t i = 0; i < 2 * l; ++i) mid[i] ^= c[2 * h + i];
  // The middle product has fewer than h + h words' worth of terms above
  // X, and c has room for them: 3 h <= 2 n.
  for (std::size_t i = 0; i < 2 * h; ++i) c[h + i] ^= mid[i];
}

// The same recursion with one pass for the middle term: with L = L0 + L1 X,
// H = H0 + H1 X (H1 of 2 l - h words: h, or h - 2 for odd n) and
// t = L1 + H0, the words at X and X^2 become L0 + M0 + t and M1 + H1 + t.
void balanced(u64* c, const u64* a, const u64* b, std::size_t n, u64* scratch, const Route& r) {
  if (n < r.cut) {
    r.cols(c, a, n, b, n);
    return;
  }
  const std::size_t h = (n + 1) / 2, l = n - h;
  balanced(c, a, b, h, scratch, r);
  balanced(c + 2 * h, a + h, b + h, l, scratch, r);
  u64* sa = scratch;
  u64* sb = sa + h;
  u64* mid = sb + h;
  for (std::size_t i = 0; i < l; ++i) {
    sa[i] = a[i] ^ a[h + i];
    sb[i] = b[i] ^ b[h + i];
  }
  if (l < h) {
    sa[l] = a[l];
    sb[l] = b[l];
  }
  balanced(mid, sa, sb, h, mid + 2 * h, r);
  const std::size_t top = 2 * l - h;
  u64* x1 = c + h;
  u64* x2 = c + 2 * h;
  for (std::size_t i = 0; i < top; ++i) {
    const u64 t = x1[i] ^ x2[i];
    x1[i] = t ^ mid[i] ^ c[i];
    x2[i] = t ^ mid[h + i] ^ x2[h + i];
  }
  for (std::size_t i = top; i < h; ++i) {
    const u64 t = x1[i] ^ x2[i];
    x1[i] = t ^ mid[i] ^ c[i];
    x2[i] = t ^ mid[h + i];
  }
}

// na <= nb: b cut into pieces of na words, each product added in.
void pieces(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb, u64* scratch,
            const Route& r) {
  std::fill(c, c + na + nb, u64{0});
  u64* t = scratch;
  for (std::size_t j = 0; j < nb; j += na) {
    const std::size_t len = std::min(na, nb - j);
    multiply(t, a, na, b + j, len, t + na + len, r);
    for (std::size_t i = 0; i < na + len; ++i) c[j + i] ^= t[i];
  }
}

void multiply(u64* c, const u64* a, std::size_t na, const u64* b, std::size_t nb, u64* scratch,
              const Route& r) {
  if (na > nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  if (by_transform(na, nb)) {
    bit_fft_mul(c, a, na, b, nb, scratch, r.kernel);
  } else if (na < r.cut) {
    r.cols(c, a, na, b, nb);
  } else if (na == nb) {
    r.balanced(c, a, b, na, scratch, r);
  } else {
    pieces(c, a, na, b, nb, scratch, r);
  }
}

Route route_for(bit_kernel kernel) {
  const Balanced karatsuba = kernel == bit_kernel::reference ? balanced_reference : balanced;
  const std::size_t one = cut_of(bit_karatsuba_words);
#ifdef TAVRIN_CLMUL
  if (kernel != bit_kernel::portable && bit_clmul_allowed && bit_clmul_available()) {
    if (kernel == bit_kernel::reference) return {columns_clmul, one, karatsuba, kernel};
    const bool wide = bit_wide_clmul_allowed && bit_wide_clmul_available();
    return {wide ? columns_pairs_wide : columns_pairs_narrow, cut_of(bit_pair_karatsuba_words),
            karatsuba, kernel};
  }
#endif
  return {columns_portable, one, karatsuba, kernel};
}

}  // namespace

bool bit_clmul_allowed = true;
bool bit_wide_clmul_allowed = true;

bool bit_clmul_available() {
#ifdef TAVRIN_CLMUL
  static const bool yes = __builtin_cpu_supports("pclmul");
  return yes;
#else
  return false;
#endif
}

bool bit_wide_clmul_available() {
#ifdef TAVRIN_CLMUL
  static const bool yes = __builtin_cpu_supports("vpclmulqdq") && __builtin_cpu_supports("avx512f");
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
  if (na < scratch_cut()) return 0;
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
  multiply(c, a, na, b, nb, scratch, route_for(kernel));
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
