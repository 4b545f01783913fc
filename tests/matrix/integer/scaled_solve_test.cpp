// Solutions scaled by the determinant, for the normal forms: S X = d V and
// d = |det S| against the test's own products and fraction-free
// determinant, through each way in (lifting for short entries, the
// fraction-free elimination and the images for long ones); the lifting by
// single columns and by blocks; the rational solve and the inverse by
// lifting against the scaled solve.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "matrix/matrix_support.h"
#include "matrix/scaled_solve.h"
#include "support/bigref.h"
#include "support/data_tables.h"

namespace tavrin::test {
namespace {

using M = std::vector<std::vector<BigRef>>;

ZMatrix zmat(const M& a) {
  ZMatrix z(std::int32_t(a.size()), std::int32_t(a[0].size()));
  for (std::int32_t r = 0; r < z.rows; ++r)
    for (std::int32_t c = 0; c < z.cols; ++c) {
      imptr n = from_ref(a[std::size_t(r)][std::size_t(c)]);
      z.at(r, c) = ZInt::from_number(n);
      free_imag(&n);
    }
  return z;
}

M random_m(std::mt19937_64& rng, std::size_t r, std::size_t c, int bits) {
  M m(r, std::vector<BigRef>(c));
  for (auto& row : m)
    for (auto& x : row) {
      x = BigRef(std::int64_t(rng() % (std::uint64_t{1} << bits)));
      if (rng() % 2) x = -x;
      if (rng() % 5 == 0) x = 0;
    }
  return m;
}

class ScaledSolve : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
  }
};

TEST_F(ScaledSolve, SolvesAgainstReference) {
  std::mt19937_64 rng(5151);
  struct Case {
    std::size_t n;
    int bits;  // 6: lifting; 40: fraction-free (n <= 12) or images
  };
  for (const Case& k :
       {Case{1, 6}, Case{2, 6}, Case{7, 6}, Case{30, 6}, Case{3, 40}, Case{9, 40}, Case{15, 40}})
    for (int round = 0; round < 3; ++round) {
      M s = random_m(rng, k.n, k.n, k.bits);
      const BigRef d = bareiss_det(s).abs();
      const ZInt zd = abs_int_determinant(zmat(s));
      EXPECT_EQ(ref_of(zd), d) << k.n << " " << k.bits;
      if (d.is_zero()) continue;
      const M v = random_m(rng, k.n, 1 + rng() % 3, k.bits);
      const ZMatrix x = scaled_solve(zmat(s), zmat(v), zd);
      for (std::size_t i = 0; i < k.n; ++i)
        for (std::size_t j = 0; j < v[0].size(); ++j) {
          BigRef sum = 0;
          for (std::size_t t = 0; t < k.n; ++t)
            sum = sum + s[i][t] * ref_of(x.at(std::int32_t(t), std::int32_t(j)));
          EXPECT_EQ(sum, d * v[i][j]) << k.n << " " << k.bits << " at " << i << "," << j;
        }
    }
  // Square completions of wide matrices (unit rows below k rows of
  // entries, as the normal forms build them) and their transposes: the
  // bound by rows, then by columns, is the lesser, and the lifting stops
  // by it.
  for (int round = 0; round < 6; ++round) {
    const std::size_t n = 8 + rng() % 20, k = 2 + rng() % (n - 4);
    M s = random_m(rng, n, n, 14);
    for (std::size_t i = k; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) s[i][j] = BigRef(i == j ? 1 : 0);
    if (round % 2 == 1) {
      M t = s;
      for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) t[i][j] = s[j][i];
      s = t;
    }
    const BigRef d = bareiss_det(s).abs();
    if (d.is_zero()) continue;
    const M v = random_m(rng, n, 1 + rng() % 4, 14);
    const ZMatrix x = scaled_solve(zmat(s), zmat(v), abs_int_determinant(zmat(s)));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < v[0].size(); ++j) {
        BigRef sum = 0;
        for (std::size_t t = 0; t < n; ++t)
          sum = sum + s[i][t] * ref_of(x.at(std::int32_t(t), std::int32_t(j)));
        EXPECT_EQ(sum, d * v[i][j]) << "completion " << round << " at " << i << "," << j;
      }
  }
  // Singular: a repeated row.
  M s = random_m(rng, 6, 6, 6);
  s[4] = s[1];
  EXPECT_TRUE(abs_int_determinant(zmat(s)).is_zero());
}

// S x = d v for every column, by the test's own products.
::testing::AssertionResult solves(const M& s, const ZMatrix& x, const BigRef& d, const M& v) {
  for (std::size_t i = 0; i < s.size(); ++i)
    for (std::size_t j = 0; j < v[0].size(); ++j) {
      BigRef sum = 0;
      for (std::size_t t = 0; t < s.size(); ++t)
        sum = sum + s[i][t] * ref_of(x.at(std::int32_t(t), std::int32_t(j)));
      if (!(sum == d * v[i][j])) return ::testing::AssertionFailure() << "at " << i << "," << j;
    }
  return ::testing::AssertionSuccess();
}

// B + p C with B of rank k (p divides all but k invariant factors).
M repeated_factors(std::mt19937_64& rng, std::size_t n, std::size_t k, std::int64_t p) {
  const M b = random_m(rng, n, k, 4), c = random_m(rng, k, n, 4), e = random_m(rng, n, n, 3);
  M a(n, std::vector<BigRef>(n));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      BigRef sum = 0;
      for (std::size_t t = 0; t < k; ++t) sum = sum + b[i][t] * c[t][j];
      a[i][j] = sum + BigRef(p) * e[i][j];
    }
  return a;
}

TEST_F(ScaledSolve, OneColumnAtATimeAsInBlocks) {
  // The lifting by single columns (dot products of rows) and by blocks of
  // 32 gives the same solution: cut 0 (blocks always) against INT32_MAX
  // (single columns always), for 1 to 40 right-hand sides.
  std::mt19937_64 rng(test_seed() ^ 5152);
  for (int round = 0; round < test_iterations(8); ++round) {
    const std::size_t n = 1 + rng() % 40;
    const M s = random_m(rng, n, n, 1 + static_cast<int>(rng() % 14));
    const ZInt d = abs_int_determinant(zmat(s));
    if (d.is_zero()) continue;
    const M v = random_m(rng, n, 1 + rng() % 40, 8);
    ZMatrix blocks, single;
    {
      ScopedValue<std::int32_t> cut{lift_single_columns, 0};
      blocks = scaled_solve(zmat(s), zmat(v), d);
    }
    {
      ScopedValue<std::int32_t> cut{lift_single_columns, INT32_MAX};
      single = scaled_solve(zmat(s), zmat(v), d);
    }
    EXPECT_TRUE(blocks == single) << "round " << round;
    EXPECT_TRUE(solves(s, single, ref_of(d), v)) << "round " << round;
  }
}

TEST_F(ScaledSolve, RationalSolveIsTheReducedSolution) {
  // num / den = S^-1 V: S num = den V by the test's products, den the least
  // common denominator (no prime of it divides every numerator), and num /
  // den equal to the scaled solve's X / |det S|. Random and repeated
  // invariant factors (den far below det); right-hand sides whose probe
  // columns (first, middle, last) solve integrally, so that their
  // denominator 1 misses the others' and every column is reconstructed;
  // the first try at 1 bit, at 128 and only at the certain count.
  std::mt19937_64 rng(test_seed() ^ 5153);
  for (int round = 0; round < test_iterations(12); ++round) {
    const std::size_t n = 1 + rng() % 30;
    const M s =
        round % 3 == 1 && n > 3 ? repeated_factors(rng, n, 2, 1009) : random_m(rng, n, n, 6);
    const ZInt d = abs_int_determinant(zmat(s));
    if (d.is_zero()) continue;
    const std::size_t k = 1 + rng() % 12;
    M v = random_m(rng, n, k, 6);
    if (round % 3 == 2)
      for (std::size_t j : {std::size_t{0}, k / 2, k - 1})
        for (std::size_t i = 0; i < n; ++i) {
          BigRef sum = 0;
          for (std::size_t t = 0; t < n; ++t) sum = sum + s[i][t] * BigRef(std::int64_t(t % 3) - 1);
          v[i][j] = sum;
        }
    const ZMatrix x = scaled_solve(zmat(s), zmat(v), d);
    for (std::int32_t first : {1, 128, 1 << 20}) {
      ScopedValue<std::int32_t> cut{rational_solve_first_bits, first};
      ZMatrix num;
      ZInt den;
      ASSERT_TRUE(rational_solve(zmat(s), zmat(v), &num, &den)) << "round " << round;
      ASSERT_GT(den.sign(), 0);
      EXPECT_TRUE(solves(s, num, ref_of(den), v)) << "round " << round;
      ZInt g = den;
      for (const ZInt& y : num.cell) g = ZInt::gcd(g, y);
      EXPECT_TRUE(g.is_one()) << "round " << round;
      for (std::size_t i = 0; i < num.cell.size(); ++i)
        EXPECT_EQ(ref_of(num.cell[i]) * ref_of(d), ref_of(x.cell[i]) * ref_of(den))
            << "round " << round;
    }
  }
  // Nothing to use: a singular S, an entry of 2^24.
  M s = random_m(rng, 5, 5, 6);
  s[3] = s[1];
  ZMatrix num;
  ZInt den;
  EXPECT_FALSE(rational_solve(zmat(s), zmat(random_m(rng, 5, 2, 6)), &num, &den));
  s = random_m(rng, 5, 5, 6);
  s[2][2] = BigRef(std::int64_t{1} << 24);
  EXPECT_FALSE(rational_solve(zmat(s), zmat(random_m(rng, 5, 2, 6)), &num, &den));
}

TEST_F(ScaledSolve, InverseByLiftingIsTheAdjugate) {
  // d S^-1 from scaled_inverse: S Y = d I, and Y the scaled solve against
  // the identity; random and repeated invariant factors.
  std::mt19937_64 rng(test_seed() ^ 5154);
  for (int round = 0; round < test_iterations(8); ++round) {
    const std::size_t n = 1 + rng() % 36;
    const M s = round % 2 == 1 && n > 3 ? repeated_factors(rng, n, 1, 3) : random_m(rng, n, n, 7);
    const ZInt d = abs_int_determinant(zmat(s));
    if (d.is_zero()) continue;
    ZMatrix y;
    ASSERT_TRUE(scaled_inverse(zmat(s), d, &y)) << "round " << round;
    M unit(n, std::vector<BigRef>(n, BigRef(0)));
    for (std::size_t i = 0; i < n; ++i) unit[i][i] = 1;
    EXPECT_TRUE(solves(s, y, ref_of(d), unit)) << "round " << round;
  }
  // A singular matrix (two equal rows) with its determinant 0 is refused.
  M s = random_m(rng, 6, 6, 7);
  s[4] = s[1];
  ZMatrix y;
  EXPECT_FALSE(scaled_inverse(zmat(s), abs_int_determinant(zmat(s)), &y));
}

}  // namespace
}  // namespace tavrin::test
