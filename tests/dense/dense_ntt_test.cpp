// Products of long slices by number-theoretic transforms against the
// Karatsuba and schoolbook products below the threshold and the naive
// reference product, for moduli from 2 to 2^31 - 19 (the transform primes
// themselves included) and at the coefficient bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"
#include "dense/dense_mult.h"
#include "dense/dense_transform_impl.h"
#include "support/bigref.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"

namespace tavrin::test {
namespace {

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

// x on [xa, xa + nx), y on [ya, ya + ny) (tops non-zero), multiplied with
// the transforms from `span` on; returns the entries xa + ya .. of z.
Coeffs slice_product(const Coeffs& a, std::int32_t xa, const Coeffs& b, std::int32_t ya,
                     std::int32_t span) {
  std::vector<std::int32_t> x(gcd_array_size, 0), y(gcd_array_size, 0), z(gcd_array_size, -7);
  for (std::size_t i = 0; i < a.size(); ++i) x[xa + i] = static_cast<std::int32_t>(a[i]);
  for (std::size_t i = 0; i < b.size(); ++i) y[ya + i] = static_cast<std::int32_t>(b[i]);
  const auto xb = xa + static_cast<std::int32_t>(a.size()) - 1;
  const auto yb = ya + static_cast<std::int32_t>(b.size()) - 1;
  ScopedValue<std::int32_t> at(dense_ntt_span, span);
  fast_array_onevar_mult(x.data(), y.data(), z.data(), xa, xb, ya, yb);
  return Coeffs(z.begin() + xa + ya, z.begin() + xb + yb + 1);
}

// Coefficients of degree deg, top non-zero; low zeros, runs of p - 1 and
// random residues.
Coeffs operand(std::mt19937_64& rng, std::int64_t p, std::int64_t deg) {
  Coeffs a(static_cast<std::size_t>(deg + 1));
  const int shape = static_cast<int>(rng() % 3);
  for (auto& c : a)
    c = shape == 0 ? p - 1 : static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
  if (shape == 2) std::fill(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(a.size() / 3), 0);
  if (a.back() == 0) a.back() = 1;
  return a;
}

TEST(TransformProducts, AgreeWithKaratsubaAndTheReference) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {2, 3, 101, 65521, 65537, 469762049, 2013265921, 2147483629}) {
    SCOPED_TRACE("modulus " + std::to_string(p));
    ModulusScope ring(p);
    const RefField f(p);
    ScopedValue<std::int32_t> cutoff(poly_cutoff, 20);
    for (int i = 0; i < test_iterations(6); ++i) {
      // Spans about powers of two, unbalanced pairs, and one operand of
      // a single coefficient.
      const std::int64_t da =
          (i == 0) ? 1023 : (i == 1 ? 1024 : 1 + static_cast<std::int64_t>(rng() % 1500));
      const std::int64_t db =
          (i == 2) ? 0 : (i == 3 ? 2 * da + 7 : 1 + static_cast<std::int64_t>(rng() % 1500));
      const Coeffs a = operand(rng, p, da), b = operand(rng, p, db);
      const auto xa = static_cast<std::int32_t>(rng() % 50),
                 ya = static_cast<std::int32_t>(rng() % 50);
      const std::uint64_t before = dense_detail::karatsuba_steps.transforms;
      const Coeffs wide = slice_product(a, xa, b, ya, 0);
      EXPECT_EQ(dense_detail::karatsuba_steps.transforms - before, 1u);
      Coeffs want = ref_mult(f, a, b);
      want.resize(a.size() + b.size() - 1, 0);
      ASSERT_EQ(wide, want) << "degrees " << da << ", " << db;
      ASSERT_EQ(slice_product(a, xa, b, ya, never), want);
    }
  }
}

TEST(TransformProducts, TheLargestProductAtTheCoefficientBound) {
  // Every coefficient p - 1: the middle coefficient of the product is
  // 12,501 (p - 1)^2, which needs all three transform primes.
  for (std::int32_t p : {65521, 2147483629}) {
    ModulusScope ring(p);
    const RefField f(p);
    const Coeffs a(12501, p - 1);
    const Coeffs got = slice_product(a, 0, a, 0, 0);
    ASSERT_EQ(got.size(), 25001u);
    // (p-1)^2 = 1 mod p: the coefficient of t^k is min(k, 25000 - k) + 1.
    for (std::size_t k = 0; k < got.size(); k += 97)
      ASSERT_EQ(got[k], static_cast<std::int64_t>((std::min(k, 25000 - k) + 1) %
                                                  static_cast<std::size_t>(p)))
          << k;
    EXPECT_EQ(got[12500], 12501 % p);
  }
}

TEST(TransformProducts, OnlyFromTheThresholdAndNeverInCharacteristicTwo) {
  std::mt19937_64 rng(test_seed() + 1);
  {
    ModulusScope ring(65521);
    for (std::int32_t span : {700, 701}) {
      const Coeffs a = operand(rng, 65521, 700), b = operand(rng, 65521, 900);
      const std::uint64_t before = dense_detail::karatsuba_steps.transforms;
      slice_product(a, 0, b, 0, span);
      EXPECT_EQ(dense_detail::karatsuba_steps.transforms - before, span == 700 ? 1u : 0u);
    }
  }
  ModulusScope gf(256);
  const RefField f(256);
  const Coeffs a = operand(rng, 256, 800), b = operand(rng, 256, 800);
  const std::uint64_t before = dense_detail::karatsuba_steps.transforms;
  const Coeffs got = slice_product(a, 0, b, 0, 0);
  EXPECT_EQ(dense_detail::karatsuba_steps.transforms, before);
  Coeffs want = ref_mult(f, a, b);
  want.resize(a.size() + b.size() - 1, 0);
  EXPECT_EQ(got, want);
}

TEST(TransformProducts, PastTheLongestTransformByPieces) {
  // Products longer than the longest transform (2^21 coefficients) go
  // through Karatsuba's halves until the pieces fit one. Random operands
  // against their values at a few points, and every coefficient p - 1
  // against the closed form (the coefficient of t^k is min(k, 2n - 2 - k)
  // + 1 modulo p).
  std::mt19937_64 rng(test_seed() + 2);
  for (std::int32_t p : {65521, 2147483629}) {
    SCOPED_TRACE("modulus " + std::to_string(p));
    ModulusScope ring(p);
    const RefField f(p);
    const std::int32_t n = 1100000;
    std::vector<std::int32_t> x(n), y(n), z(2 * static_cast<std::size_t>(n) - 1, -7);
    for (auto* v : {&x, &y})
      for (auto& c : *v) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
    x.back() = y.back() = 1;
    fast_array_onevar_mult(x.data(), y.data(), z.data(), 0, n - 1, 0, n - 1);
    auto value = [&](const std::vector<std::int32_t>& v, std::int64_t r) {
      std::int64_t s = 0;
      for (auto it = v.rbegin(); it != v.rend(); ++it) s = f.add(f.mul(s, r), *it);
      return s;
    };
    for (int k = 0; k < 3; ++k) {
      const auto r = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
      ASSERT_EQ(value(z, r), f.mul(value(x, r), value(y, r))) << "at " << r;
    }
    std::fill(x.begin(), x.end(), p - 1);
    fast_array_onevar_mult(x.data(), x.data(), z.data(), 0, n - 1, 0, n - 1);
    for (std::int64_t k = 0; k < 2 * std::int64_t{n} - 1; ++k)
      ASSERT_EQ(z[static_cast<std::size_t>(k)], (std::min(k, 2 * std::int64_t{n} - 2 - k) + 1) % p)
          << k;
  }
}

TEST(TransformProducts, SplitPairAgreesWithOneTransformOfTwiceTheLength) {
  // Products filling at most 3/4 of a power-of-two transform length go by
  // the split pair of half and quarter that length: against the one
  // transform, on both sides of each step where the split starts and stops,
  // for moduli taking two and three primes, eight lanes and one; operands
  // of all ones against their closed form min(k + 1, nx, ny, nx + ny - 1 - k).
  std::mt19937_64 rng(test_seed() + 41);
  std::vector<std::int32_t> steps;
  bool was = false;
  for (std::int32_t n = 2; n <= 5000; ++n) {
    const bool now = dense_detail::ntt_product_splits(n, n / 3 + 1);
    if (now != was) steps.push_back(n);
    was = now;
  }
  ASSERT_GE(steps.size(), 6u);
  for (bool scalar : {false, true}) {
    dense_detail::force_scalar_transforms(scalar);
    for (const std::int32_t p : {7, 32003, 2147483647}) {
      for (const std::int32_t step : steps) {
        for (const std::int32_t nx : {step - 1, step}) {
          const std::int32_t ny = nx / 3 + 1;
          SCOPED_TRACE(std::to_string(nx) + " x " + std::to_string(ny) + " mod " +
                       std::to_string(p));
          std::vector<std::int32_t> x(static_cast<std::size_t>(nx)),
              y(static_cast<std::size_t>(ny));
          for (auto& v : x)
            v = rng() % 3 == 0 ? p - 1
                               : static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
          for (auto& v : y)
            v = rng() % 3 == 0 ? p - 1
                               : static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
          std::vector<std::int32_t> whole(static_cast<std::size_t>(nx + ny - 1)),
              chosen(whole.size()), split(whole.size());
          dense_detail::ntt_product_whole(x.data(), nx, y.data(), ny, whole.data(), p);
          dense_detail::ntt_product(x.data(), nx, y.data(), ny, chosen.data(), p);
          EXPECT_TRUE(chosen == whole);
          if (dense_detail::ntt_product_splits(nx, ny)) {
            dense_detail::ntt_product_split(x.data(), nx, y.data(), ny, split.data(), p);
            EXPECT_TRUE(split == whole);
            std::fill(x.begin(), x.end(), 1);
            std::fill(y.begin(), y.end(), 1);
            dense_detail::ntt_product_split(x.data(), nx, y.data(), ny, split.data(), p);
            for (std::int32_t k = 0; k < nx + ny - 1; ++k) {
              const std::int32_t c = std::min({k + 1, nx, ny, nx + ny - 1 - k}) % p;
              ASSERT_EQ(split[static_cast<std::size_t>(k)], c) << k;
            }
          }
        }
      }
    }
  }
  dense_detail::force_scalar_transforms(false);
}

TEST(TransformProducts, LongOperandsInCharacteristicTwo) {
  std::mt19937_64 rng(test_seed() + 3);
  ModulusScope gf(256);
  const RefField f(256);
  const Coeffs a = operand(rng, 256, 13000), b = operand(rng, 256, 12900);
  std::vector<std::int32_t> x(a.begin(), a.end()), y(b.begin(), b.end()),
      z(a.size() + b.size() - 1, -7);
  fast_array_onevar_mult(x.data(), y.data(), z.data(), 0, 13000, 0, 12900);
  Coeffs want = ref_mult(f, a, b);
  want.resize(a.size() + b.size() - 1, 0);
  EXPECT_EQ(Coeffs(z.begin(), z.end()), want);
}

}  // namespace
}  // namespace tavrin::test
