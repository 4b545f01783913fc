// The power services: the squaring test and powers of residues.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "core/globals.h"
#include "quoly/quoly.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"

namespace tavrin::test {
namespace {

TEST(Bysquaring, FollowsSingleTermsDownToTheFirstLongerList) {
  NodeBalance balance;
  {
    PolyVars vars{"x", "y", "z"};
    EXPECT_TRUE(bysquaring(Poly("y^2 + 3*y + 1")));         // numeric coefficients
    EXPECT_FALSE(bysquaring(Poly("y^2*z + 3*y + 1")));      // y^2 over z
    EXPECT_FALSE(bysquaring(Poly("y^2 + z")));              // the pad over z
    EXPECT_TRUE(bysquaring(Poly("y^2*z^3")));               // single terms all the way
    EXPECT_TRUE(bysquaring(Poly("y^2*(z^3 + z + 4)")));     // the longer list is numeric
    EXPECT_FALSE(bysquaring(Poly("y^2*(x*z^3 + z + 4)")));  // not a constant in it
    EXPECT_TRUE(bysquaring(Poly("5")));
    {
      RelationScope rel(vars.level(3), make_poly("2"), 2);  // relations in force
      EXPECT_TRUE(bysquaring(Poly("y^2*z + 3*y + 1")));
    }
  }
  {
    PolyVars one{"y"};  // fewer than two variables
    EXPECT_TRUE(bysquaring(Poly("y^2 + y + 1")));
  }
}

TEST(ModNumberPower, AgreesWithRepeatedProducts) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {7, 65521, 2147483629}) {
    ModulusScope m(p);
    for (int i = 0; i < test_iterations(200); ++i) {
      const std::int32_t n = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
      const std::int32_t e = static_cast<std::int32_t>(rng() % 40);
      std::uint64_t want = 1;
      for (std::int32_t k = 0; k < e; ++k)
        want = want * static_cast<std::uint64_t>(n) % static_cast<std::uint64_t>(p);
      std::int32_t got = -1;
      mod_number_power(n, e, &got);
      ASSERT_EQ(static_cast<std::uint64_t>(got), want) << n << "^" << e << " mod " << p;
    }
  }
  ModulusScope m(7);
  std::int32_t r = -1;
  mod_number_power(3, 18, &r);  // 18 = 3 * 6: Fermat gives 1
  EXPECT_EQ(r, 1);
  mod_number_power(0, 18, &r);  // 0 stays 0
  EXPECT_EQ(r, 0);
  mod_number_power(0, 0, &r);
  EXPECT_EQ(r, 1);
  mod_number_power(5, 1000005, &r);  // 1000005 = 3 mod 6: 125 mod 7 = 6
  EXPECT_EQ(r, 6);
}

TEST(ModNumberPower, InTheFieldOf256Elements) {
  ModulusScope m(256);
  std::int32_t r = -1;
  for (std::uint32_t a : {2u, 3u, 29u, 255u}) {
    std::uint32_t want = 1;
    for (int k = 0; k < 300; ++k) want = gf2_mul(want, a, 256);
    mod_number_power(static_cast<std::int32_t>(a), 300, &r);
    EXPECT_EQ(static_cast<std::uint32_t>(r), want) << a;
  }
}

}  // namespace
}  // namespace tavrin::test
