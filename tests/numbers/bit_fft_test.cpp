// The additive transform over GF(2^64) against independent facts: the
// field product against a shift-and-reduce product, the Cantor basis by its
// defining relations and rank, the forward transform against evaluation by
// Horner's rule, the inverse as a round trip, and the products against
// Karatsuba's (the transforms switched off) on both sides of the cut-off.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bit_fft.h"
#include "numbers/bit_poly.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

using Words = std::vector<bit_word>;
constexpr bit_kernel kKernels[] = {bit_kernel::best, bit_kernel::portable};

// a * b mod z^64 + z^4 + z^3 + z + 1, one bit of b at a time.
bit_word field_product(bit_word a, bit_word b) {
  bit_word r = 0;
  for (int j = 63; j >= 0; --j) {
    const bool top = (r >> 63) != 0;
    r <<= 1;
    if (top) r ^= 0x1B;
    if (((b >> j) & 1u) != 0) r ^= a;
  }
  return r;
}

TEST(BitFft, FieldAndCantorBasis) {
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < 2000; ++i) {
    const bit_word a = i < 64 ? bit_word{1} << i : rng(), b = i % 3 == 0 ? ~bit_word{0} : rng();
    ASSERT_EQ(gf2_64_mul(a, b), field_product(a, b)) << a << " * " << b;
  }
  ASSERT_EQ(bit_fft_basis(0), 1u);
  // v_j^2 + v_j = v_(j-1), and the 64 elements independent (an echelon form).
  bit_word echelon[64] = {};
  for (int j = 0; j < 64; ++j) {
    const bit_word v = bit_fft_basis(j);
    if (j > 0) {
      ASSERT_EQ(field_product(v, v) ^ v, bit_fft_basis(j - 1)) << "j = " << j;
    }
    bit_word y = v;
    for (int p = 63; p >= 0; --p)
      if (((y >> p) & 1u) != 0 && echelon[p] != 0) y ^= echelon[p];
    ASSERT_NE(y, 0u) << "v_" << j << " depends on the earlier ones";
    echelon[63 - std::countl_zero(y)] = y;
  }
}

TEST(BitFft, TransformsEvaluateAndInvert) {
  std::mt19937_64 rng(test_seed() + 1);
  for (const bit_kernel kernel : kKernels) {
    for (int m = 0; m <= 13; ++m) {
      const std::size_t n = std::size_t{1} << m;
      Words f(n);
      for (auto& x : f) x = m % 2 == 0 ? rng() : rng() >> 32;
      Words values = f;
      bit_fft_forward(values.data(), m, kernel);
      // Every position for short transforms, a few for long ones.
      for (std::size_t i = 0; i < n; i += m <= 6 ? 1 : 1 + rng() % (n / 8)) {
        const bit_word x = bit_fft_point(i);
        bit_word horner = 0;
        for (std::size_t k = n; k-- > 0;) horner = field_product(horner, x) ^ f[k];
        ASSERT_EQ(values[i], horner) << "m = " << m << ", position " << i;
      }
      bit_fft_inverse(values.data(), m, kernel);
      ASSERT_EQ(values, f) << "m = " << m;
    }
  }
}

Words random_words(std::mt19937_64& rng, std::size_t n, int shape) {
  Words w(n);
  for (auto& x : w) x = shape == 1 ? ~bit_word{0} : rng();
  if (shape == 2) w.back() = 0;  // top words zero
  if (shape == 3) {              // one bit
    w.assign(n, 0);
    w[rng() % n] = bit_word{1} << (rng() % 64);
  }
  return w;
}

Words karatsuba_product(const Words& a, const Words& b) {
  ScopedValue<std::int32_t> never(bit_fft_words, std::numeric_limits<std::int32_t>::max());
  return bit_poly_mul(a, b);
}

TEST(BitFft, ProductsMatchKaratsuba) {
  // (na, nb) pairs against cut-offs that put them on either side, the
  // unequal ones also past four times (products by pieces).
  std::mt19937_64 rng(test_seed() + 2);
  const std::size_t shapes[][2] = {{1, 1},     {1, 2},     {1, 9},     {2, 3},   {3, 3},
                                   {5, 19},    {7, 20},    {31, 33},   {64, 64}, {65, 300},
                                   {100, 399}, {129, 130}, {250, 1001}};
  for (const std::int32_t cut : {1, 5, 64, 200}) {
    ScopedValue<std::int32_t> k(bit_fft_words, cut);
    for (const auto& s : shapes) {
      for (int it = 0; it < test_iterations(2); ++it) {
        const Words a = random_words(rng, s[0], it % 4), b = random_words(rng, s[1], (it + 1) % 4);
        const Words want = karatsuba_product(a, b);
        for (const bit_kernel kernel : kKernels) {
          SCOPED_TRACE("cut " + std::to_string(cut) + ", " + std::to_string(s[0]) + " x " +
                       std::to_string(s[1]));
          ASSERT_EQ(bit_poly_mul(a, b, kernel), want);
          ASSERT_EQ(bit_poly_mul(b, a, kernel), want);
        }
      }
    }
  }
}

TEST(BitFft, LongProductsAtTheDefaultCut) {
  std::mt19937_64 rng(test_seed() + 3);
  const std::size_t n = static_cast<std::size_t>(bit_fft_words);
  for (const std::size_t na : {n - 1, n, 2 * n + 1}) {
    const Words a = random_words(rng, na, 0), b = random_words(rng, na + 1 + rng() % (2 * na), 0);
    const Words want = karatsuba_product(a, b);
    ASSERT_EQ(bit_poly_mul(a, b), want) << na << " x " << b.size();
    ASSERT_EQ(bit_poly_mul(b, a, bit_kernel::portable), want) << na << " x " << b.size();
  }
}

}  // namespace
}  // namespace tavrin::test
