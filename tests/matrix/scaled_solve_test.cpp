// Solutions scaled by the determinant, for the normal forms: S X = d V and
// d = |det S| against the test's own products and fraction-free
// determinant, through each way in (lifting for short entries, the
// fraction-free elimination and the images for long ones).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "matrix/scaled_solve.h"
#include "matrix/matrix_support.h"
#include "numbers/freelists.h"
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
  for (const Case& k : {Case{1, 6}, Case{2, 6}, Case{7, 6}, Case{30, 6}, Case{3, 40}, Case{9, 40}, Case{15, 40}})
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
          for (std::size_t t = 0; t < k.n; ++t) sum = sum + s[i][t] * ref_of(x.at(std::int32_t(t), std::int32_t(j)));
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
        for (std::size_t t = 0; t < n; ++t) sum = sum + s[i][t] * ref_of(x.at(std::int32_t(t), std::int32_t(j)));
        EXPECT_EQ(sum, d * v[i][j]) << "completion " << round << " at " << i << "," << j;
      }
  }
  // Singular: a repeated row.
  M s = random_m(rng, 6, 6, 6);
  s[4] = s[1];
  EXPECT_TRUE(abs_int_determinant(zmat(s)).is_zero());
}

}  // namespace
}  // namespace tavrin::test
