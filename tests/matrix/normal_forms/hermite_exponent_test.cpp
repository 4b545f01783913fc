// The Hermite form modulo a multiple of the lattice's exponent: the fixed
// modulus elimination against the shrinking one on the lattice with n e_i
// joined, and the route modulo a determinant with it (exponent bits 0)
// against without it (INT32_MAX) on matrices whose invariant factors repeat
// (a prime p dividing every minor past a small rank), where the leading
// rows' index G is long and their exponent short.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "core/thresholds.h"
#include "matrix/matrix_support.h"
#include "matrix/normal_forms/hermite_modular.h"
#include "matrix/scaled_solve.h"
#include "support/bigref.h"
#include "support/data_tables.h"

namespace tavrin::test {
namespace {

ZMatrix random_z(std::mt19937_64& rng, std::int32_t r, std::int32_t c, std::int64_t bound) {
  ZMatrix m(r, c);
  for (ZInt& x : m.cell)
    x = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(2 * bound + 1)) - bound;
  return m;
}

// B + p C with B of rank k: modulo p the rank is at most k, so p divides
// all but k invariant factors (det has p^(n - k) at least).
ZMatrix repeated_factors(std::mt19937_64& rng, std::int32_t r, std::int32_t c, std::int32_t k,
                         std::int64_t p) {
  const ZMatrix b = random_z(rng, r, k, 9) * random_z(rng, k, c, 9);
  ZMatrix a = random_z(rng, r, c, 3);
  for (std::size_t i = 0; i < a.cell.size(); ++i) a.cell[i] = b.cell[i] + ZInt(p) * a.cell[i];
  return a;
}

// The form's identities: P A U = H and U U^-1 = I by exact products, the
// Hermite shape of the leading rows.
::testing::AssertionResult form_holds(const ZMatrix& a, const FormResult& f, bool transforms) {
  for (std::int32_t i = 0; i < f.rank; ++i)
    for (std::int32_t j = 0; j < a.cols; ++j) {
      const ZInt& x = f.form.at(i, j);
      if (j > i    ? !x.is_zero()
          : j == i ? x.sign() <= 0
                   : (x.sign() < 0 || compare(x, f.form.at(i, i)) >= 0))
        return ::testing::AssertionFailure() << "shape at " << i << "," << j;
    }
  if (!transforms) return ::testing::AssertionSuccess();
  if (!(f.left * a * f.right == f.form)) return ::testing::AssertionFailure() << "P A U";
  if (!(f.right * f.right_inv == ZMatrix::identity(a.cols)))
    return ::testing::AssertionFailure() << "U U^-1";
  return ::testing::AssertionSuccess();
}

class HermiteExponent : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
  }
};

TEST_F(HermiteExponent, FixedModulusFormIsTheLatticeWithTheModulusJoined) {
  // t (k x c) and any n: the fixed elimination modulo n gives the form of
  // L(t) + n Z^k, which the shrinking elimination gives on [t | n I]
  // modulo n^k (a multiple of that lattice's index). Moduli of one word,
  // of two words and past four (big integers at cut 0), units and not.
  std::mt19937_64 rng(test_seed() ^ 6101);
  for (int round = 0; round < test_iterations(40); ++round) {
    const std::int32_t k = 1 + static_cast<std::int32_t>(rng() % 6);
    const std::int32_t c = static_cast<std::int32_t>(rng() % 8);
    ZMatrix t = round % 3 == 0 ? repeated_factors(rng, k, c, 1, 7) : random_z(rng, k, c, 50);
    ZInt n = static_cast<std::int64_t>(1 + rng() % 5000);
    if (round % 4 == 1) n = n * ZInt(std::int64_t{1009} * 1009);
    if (round % 4 == 2)
      n = n * ZInt(static_cast<std::int64_t>(rng() >> 3)) *
          ZInt(static_cast<std::int64_t>(rng() >> 3));
    ZMatrix joined(k, c + k);
    ZInt index = 1;
    for (std::int32_t i = 0; i < k; ++i) {
      for (std::int32_t j = 0; j < c; ++j) joined.at(i, j) = t.at(i, j);
      joined.at(i, c + i) = n;
      index *= n;
    }
    const ZMatrix want = hermite_modulo(joined, index);
    for (std::int32_t words : {32, 0}) {
      ScopedValue<std::int32_t> cut{normal_form_fixed_words, words};
      EXPECT_EQ(hermite_modulo(t, n, true), want) << "round " << round << " words " << words;
    }
  }
}

TEST_F(HermiteExponent, ModuloTheExponentAsModuloTheIndex) {
  // Square and wide matrices with repeated invariant factors, with and
  // without transforms: the route with the leading rows modulo their
  // exponent (bits 0: always tried) gives the form and transforms of the
  // route modulo their index G (INT32_MAX), and the default cut alike.
  std::mt19937_64 rng(test_seed() ^ 6102);
  ScopedValue<std::int32_t> exact{normal_form_exact_side, 0};
  for (int round = 0; round < test_iterations(12); ++round) {
    const std::int32_t n = 6 + static_cast<std::int32_t>(rng() % 20);
    const std::int32_t c = n + (round % 3 == 2 ? static_cast<std::int32_t>(rng() % 3) : 0);
    const std::int64_t p = round % 2 == 0 ? 1009 : 2;
    const ZMatrix a = repeated_factors(rng, n, c, 1 + static_cast<std::int32_t>(rng() % 3), p);
    const bool transforms = round % 4 < 2;
    FormResult want;
    {
      ScopedValue<std::int32_t> off{normal_form_exponent_bits, INT32_MAX};
      ASSERT_TRUE(hermite_bounded(a, transforms, &want, true)) << "round " << round;
    }
    EXPECT_TRUE(form_holds(a, want, transforms)) << "round " << round;
    for (std::int32_t bits : {0, 128}) {
      ScopedValue<std::int32_t> cut{normal_form_exponent_bits, bits};
      FormResult f;
      ASSERT_TRUE(hermite_bounded(a, transforms, &f, true)) << "round " << round;
      const std::string at = "round " + std::to_string(round) + " bits " + std::to_string(bits);
      EXPECT_EQ(f.rank, want.rank) << at;
      EXPECT_EQ(f.form, want.form) << at;
      EXPECT_EQ(f.order, want.order) << at;
      EXPECT_EQ(f.right, want.right) << at;
      EXPECT_EQ(f.right_inv, want.right_inv) << at;
    }
  }
}

TEST_F(HermiteExponent, RepeatedFactorsShowInTheForm) {
  // A 40 x 40 matrix B + 1009 C with B of rank 2: the diagonal of the
  // form holds 1009 at least 37 times (the exponent route's case, G past
  // 128 bits), and the product of the diagonal is |det A| from the
  // determinant methods.
  std::mt19937_64 rng(6103);
  const ZMatrix a = repeated_factors(rng, 40, 40, 2, 1009);
  FormResult f;
  ASSERT_TRUE(hermite_bounded(a, false, &f, true));
  ASSERT_EQ(f.rank, 40);
  ZInt prod = 1;
  std::int32_t divisible = 0;
  for (std::int32_t i = 0; i < 40; ++i) {
    prod *= f.form.at(i, i);
    divisible += f.form.at(i, i).mod_word(1009) == 0 ? 1 : 0;
  }
  EXPECT_GE(divisible, 37);
  EXPECT_EQ(prod, abs_int_determinant(a));
  EXPECT_TRUE(form_holds(a, f, false));
}

}  // namespace
}  // namespace tavrin::test
