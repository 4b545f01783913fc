// Numbers at the limit of their 16-bit limb count.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

// 2^(28 * limbs) - 1: every limb 2^28 - 1.
BigRef all_ones(unsigned limbs) { return BigRef::pow2(28 * limbs) - BigRef(1); }

TEST(LimbLimit, LongestSumThatFitsIsFormed) {
  NodeBalance balance;
  Num a(all_ones(32767) - BigRef(5)), b(5);
  fastsum(a, b);
  EXPECT_EQ(a->size, 32767);
  EXPECT_TRUE(valid_bigint(a));
  Num c(all_ones(32767)), d(all_ones(32767));
  fastdiff(c, d);
  EXPECT_EQ(c->size, 1);
  EXPECT_TRUE(valid_bigint(c));
}

TEST(LimbLimit, SumsAndProductsTooLongAreReported) {
  NodeBalance balance;
  ScopedValue<bool> quiet(extra_line, false);
  Num a(all_ones(32767)), one(1);
  testing::internal::CaptureStdout();
  EXPECT_THROW(fastsum(a, one), TopLevelJump);
  EXPECT_TRUE(valid_bigint(a)) << "the receiver is left a valid number";
  Num x(all_ones(20000)), y(all_ones(20000)), z(3);
  EXPECT_THROW(fast_mult(x, y, z), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 302."), std::string::npos) << out;
  EXPECT_EQ(z.value(), BigRef(3)) << "the result cell keeps its value";
  EXPECT_EQ(x.value(), all_ones(20000));
}

}  // namespace
}  // namespace tavrin::test
