// The determinant by images modulo word primes against the determinant
// methods (abs_int_determinant) and a planted value: sides 1 to 20, entries
// from one bit to past two digits, singular ones (a repeated row, a zero
// row) and unimodular ones built by row operations on the identity.
#include "matrix/crt_determinant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "matrix/matrix_support.h"
#include "matrix/scaled_solve.h"
#include "support/bigref.h"
#include "support/data_tables.h"

namespace tavrin::test {
namespace {

class CrtDeterminant : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();  // the determinant methods' primes
  }
};

TEST_F(CrtDeterminant, AgreesWithTheDeterminantMethods) {
  std::mt19937_64 rng(test_seed() ^ 5104);
  for (int round = 0; round < test_iterations(60); ++round) {
    const std::int32_t n = 1 + static_cast<std::int32_t>(rng() % 20);
    const int bits = 1 + static_cast<int>(rng() % 70);
    ZMatrix s(n, n);
    for (ZInt& x : s.cell) {
      x = static_cast<std::int64_t>(rng() >> (64 - std::min(bits, 62)));
      if (bits > 62) x = x * x;
      if (rng() % 2 == 0) x = -x;
    }
    const bool singular = (round % 5 == 1 && n > 1) || round % 5 == 2;
    if (round % 5 == 1)
      for (std::int32_t c = 0; c < n; ++c) s.at(n - 1, c) = s.at(0, c);
    if (round % 5 == 2)
      for (std::int32_t c = 0; c < n; ++c) s.at(n / 2, c) = 0;
    if (round % 5 == 3) {  // row operations on the identity: |det| = 1
      s = ZMatrix::identity(n);
      for (int t = 0; t < 3 * n; ++t) {
        const auto i = static_cast<std::int32_t>(rng() % n),
                   j = static_cast<std::int32_t>(rng() % n);
        if (i == j) continue;
        const ZInt f = static_cast<std::int64_t>(rng() % 7) - 3;
        for (std::int32_t c = 0; c < n; ++c) s.at(i, c) += f * s.at(j, c);
      }
      EXPECT_EQ(crt_abs_determinant(s), ZInt(1)) << "round " << round;
    }
    const ZInt want = singular ? ZInt(0) : abs_int_determinant(s);
    EXPECT_EQ(crt_abs_determinant(s), want)
        << "round " << round << " side " << n << " bits " << bits;
  }
}

}  // namespace
}  // namespace tavrin::test
