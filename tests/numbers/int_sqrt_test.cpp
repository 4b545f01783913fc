// Integer square roots: the floor, checked by r^2 <= n < (r + 1)^2 with the
// reference big integer, on planted squares and around every size switch.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/int_sqrt.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

BigRef root_of(const BigRef& v) {
  Num n(v), r;
  int_sqrt(n, r, true);
  EXPECT_TRUE(valid_bigint(r));
  EXPECT_EQ(n.value(), v);
  return r.value();
}

void expect_floor_root(const BigRef& v) {
  const BigRef r = root_of(v);
  ASSERT_LE(r * r, v) << v;
  ASSERT_GT((r + BigRef(1)) * (r + BigRef(1)), v) << v;
}

TEST(IntSqrt, SmallValuesAreFloors) {
  NodeBalance balance;
  EXPECT_EQ(root_of(0), BigRef(0));
  EXPECT_EQ(root_of(1), BigRef(1));
  EXPECT_EQ(root_of(8), BigRef(2));
  EXPECT_EQ(root_of(15), BigRef(3));
  EXPECT_EQ(root_of(16), BigRef(4));
  EXPECT_EQ(root_of(268435455), BigRef(16383));
  for (std::int64_t v = 0; v < 20000; ++v) expect_floor_root(v);
}

TEST(IntSqrt, TwoAndThreeLimbBoundaries) {
  NodeBalance balance;
  const BigRef b = BigRef::pow2(28);
  const BigRef top = BigRef::pow2(56) - BigRef(1);  // the largest two-limb value
  EXPECT_EQ(root_of(top), b - BigRef(1));
  EXPECT_EQ(root_of((b - BigRef(1)) * (b - BigRef(1))), b - BigRef(1));
  EXPECT_EQ(root_of((b - BigRef(1)) * (b - BigRef(1)) - BigRef(1)), b - BigRef(2));
  const BigRef sq = (b + BigRef(1)) * (b + BigRef(1));  // 2^56 + 2^29 + 1
  EXPECT_EQ(root_of(sq), b + BigRef(1));
  EXPECT_EQ(root_of(sq - BigRef(1)), b);
  EXPECT_EQ(root_of(BigRef::pow2(56)), b);
  // Two-limb squares where a double square root rounds the wrong way.
  for (std::int64_t r = 94906265; r < 94906265 + 2000; ++r) {
    EXPECT_EQ(root_of(BigRef(r) * BigRef(r) - BigRef(1)), BigRef(r - 1));
    EXPECT_EQ(root_of(BigRef(r) * BigRef(r)), BigRef(r));
  }
}

TEST(IntSqrt, RandomValuesUpTo100Limbs) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(400); ++it) {
    const BigRef v = random_big(rng, 100).abs();
    SCOPED_TRACE(v.to_decimal());
    expect_floor_root(v);
  }
}

TEST(IntSqrt, PlantedSquaresAroundTheRecursionCutoff) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int limbs = 1; limbs <= 40; ++limbs) {
    for (int rep = 0; rep < 4; ++rep) {
      const BigRef r = random_big_exact(rng, limbs).abs();
      const BigRef sq = r * r;
      SCOPED_TRACE(r.to_decimal());
      ASSERT_EQ(root_of(sq), r);
      ASSERT_EQ(root_of(sq + r + r), r);  // (r + 1)^2 - 1
      if (r > BigRef(0)) {
        ASSERT_EQ(root_of(sq - BigRef(1)), r - BigRef(1));
      }
    }
  }
  // The starting value taken from the leading half at sqcut and above,
  // and the double-precision start below it.
  for (std::int32_t cut : {3, 16, 100}) {
    ScopedValue<std::int32_t> s(sqcut, cut);
    for (int it = 0; it < test_iterations(30); ++it) expect_floor_root(random_big(rng, 40).abs());
  }
}

TEST(IntSqrt, ResultFormsAndAliasing) {
  NodeBalance balance;
  const BigRef v = BigRef::from_decimal("123456789012345678901234567890123456789");
  Num n(v);
  int_sqrt(n, n, true);  // the root replaces n
  EXPECT_EQ(n.value(), BigRef::from_decimal("11111111061111110993"));
  Num m(v);
  number fresh{};
  int_sqrt(m, &fresh, false);  // an empty header receives the root
  EXPECT_EQ(to_ref(&fresh), BigRef::from_decimal("11111111061111110993"));
  special_free(&fresh);
}

}  // namespace
}  // namespace tavrin::test
