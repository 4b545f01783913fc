// Numbers at the limit of their 16-bit limb count.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"

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
  NumberedErrors numbered;
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

TEST(LimbLimit, TheReceiverOfATooLongSumKeepsItsValue) {
  NodeBalance balance;
  ScopedValue<bool> quiet(extra_line, false);
  const BigRef top = all_ones(32767);
  Num x(top), one(1), minus_one(-1), neg(-top), shorter(all_ones(32766));
  // Limbs compared directly: the reference conversion of such numbers is slow.
  const std::vector<std::int32_t> xs = limbs_of(x), negs = limbs_of(neg), shs = limbs_of(shorter);
  testing::internal::CaptureStdout();
  EXPECT_THROW(fastsum(x, one), TopLevelJump);
  EXPECT_EQ(limbs_of(x), xs);
  EXPECT_THROW(fastdiff(x, minus_one), TopLevelJump);
  EXPECT_EQ(limbs_of(x), xs);
  EXPECT_THROW(fastsum(x, x), TopLevelJump);  // the operand is the receiver
  EXPECT_EQ(limbs_of(x), xs);
  EXPECT_THROW(fastdiff(neg, x), TopLevelJump);
  EXPECT_EQ(limbs_of(neg), negs);
  EXPECT_THROW(fastsum(shorter, x), TopLevelJump);  // the longer operand overflows
  EXPECT_EQ(limbs_of(shorter), shs);
  Num ans(7);
  EXPECT_THROW(medsum(32767, 1, x->head, one->head, ans), TopLevelJump);
  EXPECT_EQ(ans.value(), BigRef(7));
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(valid_bigint(x));
  EXPECT_EQ(x->size, 32767);
  // Sums of the greatest length that fit still work in place.
  fastdiff(x, one);
  EXPECT_EQ(x->tail->value, 268435454);
  EXPECT_EQ(x->head->value, 268435455);
  EXPECT_TRUE(valid_bigint(x));
  fastsum(x, neg);
  EXPECT_EQ(limbs_of(x), (std::vector<std::int32_t>{-1}));
}

}  // namespace
}  // namespace tavrin::test
