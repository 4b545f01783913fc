// Integer square roots: the floor, checked by r^2 <= n < (r + 1)^2 with the
// reference big integer, on planted squares and around every size switch.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
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
    ScopedValue<std::int32_t> s(sqcut, cut), newton(sqrt_wide_limbs, INT32_MAX);
    for (int it = 0; it < test_iterations(30); ++it) expect_floor_root(random_big(rng, 40).abs());
  }
}

// The root on words (Zimmermann's recursion) against Newton's iteration
// on limbs, the oracle; n must come back unchanged.
void check_routes(const BigRef& v) {
  Num n(v), newton_root, word_root;
  {
    ScopedValue<std::int32_t> never(sqrt_wide_limbs, INT32_MAX);
    int_sqrt(n, newton_root, true);
  }
  {
    ScopedValue<std::int32_t> always(sqrt_wide_limbs, 1);
    int_sqrt(n, word_root, true);
  }
  ASSERT_TRUE(valid_bigint(word_root));
  ASSERT_EQ(n.value(), v);
  ASSERT_EQ(word_root.value(), newton_root.value()) << v;
}

TEST(IntSqrt, WordRouteAgreesWithNewton) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 3);
  for (int it = 0; it < test_iterations(300); ++it) {
    const BigRef r = random_big(rng, it % 10 == 0 ? 150 : 12).abs();
    switch (it % 4) {
      case 0: check_routes(r * r); break;  // planted squares and their neighbours
      case 1: check_routes(r * r + r + r); break;
      case 2: check_routes(r.is_zero() ? r : r * r - BigRef(1)); break;
      default: check_routes(random_big(rng, 300).abs()); break;
    }
    if (HasFatalFailure()) return;
  }
  // Powers of two and their neighbours about the 120-bit base case and
  // the word and limb boundaries.
  for (unsigned k :
       {55u, 56u, 63u, 64u, 118u, 119u, 120u, 121u, 127u, 128u, 129u, 240u, 241u, 1000u}) {
    const BigRef p = BigRef::pow2(k);
    check_routes(p - BigRef(1));
    check_routes(p);
    check_routes(p + BigRef(1));
    if (HasFatalFailure()) return;
  }
  // Long values, and a square of 8,000 limbs.
  check_routes(random_big_exact(rng, 5000).abs());
  const BigRef root = random_big_exact(rng, 4000).abs();
  check_routes(root * root);
}

TEST(IntSqrt, RootAtTheLimbLimit) {
  // 32,767 limbs: all limbs 2^28 - 1 (whose root squared plus one, by
  // Newton's last check, would not fit in a number), a random value, and a
  // planted square. The floor by 0 <= n - r^2 <= 2r with the products of
  // numbers/.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  const BigRef root = random_big_exact(rng, 16383).abs();
  for (const BigRef& v :
       {BigRef::pow2(28 * 32767) - BigRef(1), random_big_exact(rng, 32767).abs(), root * root}) {
    Num n(v), r, gap, twice;
    ASSERT_LE(n->size, 32767);
    int_sqrt(n, r, true);
    ASSERT_TRUE(valid_bigint(r));
    fast_mult(r, r, gap);
    num_assign(n, twice);
    fastdiff(twice, gap);  // n - r^2
    ASSERT_FALSE(twice->head->value < 0);
    num_assign(r, gap);
    fastsum(gap, r);  // 2r
    ASSERT_FALSE(int_abs_bigger(twice, gap, false));
  }
  Num n(root * root), r;
  int_sqrt(n, r, true);
  EXPECT_EQ(r.value(), root);
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
