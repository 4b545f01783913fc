// Carry-less products of word arrays against a bit-by-bit product that
// shares no code with them: both one-word products, both sides of the
// Karatsuba cut-off (pushed to its extremes), balanced and unbalanced
// lengths, all-ones words; and the product's ring laws. The columns by
// pairs of words (both widths) and the one-pass recursion against the
// reference route, up to 3,000 words.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bit_poly.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

using Words = std::vector<bit_word>;

// a * b bit by bit: every set bit of a adds b shifted into place.
Words naive_product(const Words& a, const Words& b) {
  Words c(a.size() + b.size(), 0);
  for (std::size_t i = 0; i < 64 * a.size(); ++i) {
    if (((a[i / 64] >> (i % 64)) & 1u) == 0) continue;
    for (std::size_t j = 0; j < 64 * b.size(); ++j)
      if (((b[j / 64] >> (j % 64)) & 1u) != 0) c[(i + j) / 64] ^= bit_word{1} << ((i + j) % 64);
  }
  return c;
}

// Random words, or (shape 1) all ones, or (shape 2) sparse single bits.
Words random_words(std::mt19937_64& rng, std::size_t n, int shape) {
  Words w(n);
  for (auto& x : w) {
    if (shape == 1) {
      x = ~bit_word{0};
    } else if (shape == 2) {
      x = rng() % 3 == 0 ? bit_word{1} << (rng() % 64) : 0;
    } else {
      x = rng();
    }
  }
  return w;
}

TEST(BitPoly, OneWordProductsAgree) {
  std::mt19937_64 rng(test_seed());
  const bit_word edges[] = {
      0, 1, 2, ~bit_word{0}, bit_word{1} << 63, 0x8000000000000001u, 0xF0F0F0F0F0F0F0F0u};
  std::vector<bit_word> values(std::begin(edges), std::end(edges));
  for (int i = 0; i < 200; ++i) values.push_back(rng());
  for (bit_word a : values) {
    for (bit_word b : {values[static_cast<std::size_t>(rng() % values.size())], ~bit_word{0},
                       bit_word{1} << 63}) {
      bit_word lo = 0, hi = 0;
      bit_mul1_portable(a, b, &lo, &hi);
      ASSERT_EQ((Words{lo, hi}), naive_product({a}, {b})) << a << " * " << b;
      ASSERT_EQ((Words{lo, hi}), bit_poly_mul(Words{a}, Words{b})) << a << " * " << b;
    }
  }
}

TEST(BitPoly, ArrayProductsMatchTheBitwiseProduct) {
  std::mt19937_64 rng(test_seed() + 1);
  const std::size_t lengths[] = {1, 2, 3, 5, 11, 12, 13, 24, 25, 40, 63, 64, 65, 100};
  for (const std::int32_t cut : {2, 3, 12, std::numeric_limits<std::int32_t>::max()}) {
    ScopedValue<std::int32_t> k(bit_karatsuba_words, cut);
    for (int it = 0; it < test_iterations(30); ++it) {
      const std::size_t na = lengths[rng() % std::size(lengths)],
                        nb = lengths[rng() % std::size(lengths)];
      const Words a = random_words(rng, na, it % 5), b = random_words(rng, nb, (it / 5) % 3);
      SCOPED_TRACE("cut " + std::to_string(cut) + ", " + std::to_string(na) + " x " +
                   std::to_string(nb) + " words");
      const Words want = naive_product(a, b);
      ASSERT_EQ(bit_poly_mul(a, b, bit_kernel::best), want);
      ASSERT_EQ(bit_poly_mul(a, b, bit_kernel::portable), want);
    }
  }
}

TEST(BitPoly, LongProductsKeepTheRingLaws) {
  // Past the reach of the bitwise product: a b = b a, (a + b) c = a c + b c
  // and, for a short c, a product against the Karatsuba-free columns.
  std::mt19937_64 rng(test_seed() + 2);
  for (int it = 0; it < test_iterations(4); ++it) {
    const std::size_t n = 500 + rng() % 1500;
    const Words a = random_words(rng, n, it % 2), b = random_words(rng, n + rng() % 900, 0),
                c = random_words(rng, 200 + rng() % 700, 0);
    Words sum = b;
    for (std::size_t i = 0; i < n; ++i) sum[i] ^= a[i];
    const Words ac = bit_poly_mul(a, c), bc = bit_poly_mul(b, c), sc = bit_poly_mul(sum, c);
    Words both = bc;
    for (std::size_t i = 0; i < ac.size(); ++i) both[i] ^= ac[i];
    ASSERT_EQ(sc, both);
    ASSERT_EQ(bit_poly_mul(a, b), bit_poly_mul(b, a));
    Words plain;
    {
      ScopedValue<std::int32_t> never(bit_karatsuba_words,
                                      std::numeric_limits<std::int32_t>::max());
      plain = bit_poly_mul(a, c, bit_kernel::portable);
    }
    ASSERT_EQ(ac, plain);
  }
}

// The pair columns with the 512-bit instruction, then with the 128-bit one
// alone (where the processor has them).
constexpr bool kWide[] = {true, false};

TEST(BitPoly, PairColumnsMatchTheReferenceAtEverySmallShape) {
  // Every pair of lengths to 20 words as columns alone: odd last words,
  // pair counts on every side of a multiple of four, single words.
  std::mt19937_64 rng(test_seed() + 3);
  ScopedValue<std::int32_t> never(bit_pair_karatsuba_words,
                                  std::numeric_limits<std::int32_t>::max());
  for (const bool wide : kWide) {
    ScopedValue<bool> w(bit_wide_clmul_allowed, wide);
    for (std::size_t na = 1; na <= 20; ++na) {
      for (std::size_t nb = 1; nb <= 20; ++nb) {
        const Words a = random_words(rng, na, static_cast<int>((na + nb) % 3)),
                    b = random_words(rng, nb, 0);
        ASSERT_EQ(bit_poly_mul(a, b), bit_poly_mul(a, b, bit_kernel::reference))
            << (wide ? "wide, " : "narrow, ") << na << " x " << nb << " words";
      }
    }
  }
}

TEST(BitPoly, PairRouteMatchesTheReferenceAcrossItsCuts) {
  // Random lengths to 3,000 words near the powers of two and the cuts,
  // equal and unequal, under cuts pushed low, at the default and off.
  std::mt19937_64 rng(test_seed() + 4);
  const std::size_t lengths[] = {1,   2,   3,   4,    5,    31,   32,   33,  63,
                                 64,  65,  127, 128,  129,  200,  255,  256, 257,
                                 511, 640, 800, 1023, 1025, 1600, 2047, 3000};
  ScopedValue<std::int32_t> no_transforms(bit_fft_words, std::numeric_limits<std::int32_t>::max());
  for (const std::int32_t cut : {2, 3, 17, 64, std::numeric_limits<std::int32_t>::max()}) {
    ScopedValue<std::int32_t> k(bit_pair_karatsuba_words, cut);
    for (const bool wide : kWide) {
      ScopedValue<bool> w(bit_wide_clmul_allowed, wide);
      for (int it = 0; it < test_iterations(24); ++it) {
        std::size_t na = lengths[rng() % std::size(lengths)],
                    nb = lengths[rng() % std::size(lengths)];
        if (it % 3 == 0) nb = na;
        if (cut == std::numeric_limits<std::int32_t>::max()) na = std::min<std::size_t>(na, 300);
        const Words a = random_words(rng, na, it % 4 == 1 ? 1 : 0),
                    b = random_words(rng, nb, (it / 4) % 3);
        SCOPED_TRACE("cut " + std::to_string(cut) + (wide ? ", wide, " : ", narrow, ") +
                     std::to_string(na) + " x " + std::to_string(nb) + " words");
        ASSERT_EQ(bit_poly_mul(a, b), bit_poly_mul(a, b, bit_kernel::reference));
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
