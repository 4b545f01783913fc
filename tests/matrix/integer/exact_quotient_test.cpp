// Exact quotients against the long division: (q d) / d = q for q and d of
// either sign, d with long runs of trailing zero bits (whole digits of
// them and part of one), one digit, and digits at the 2^28 boundary.
#include "matrix/exact_quotient.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "support/bigref.h"

namespace tavrin::test {
namespace {

ZInt random_zint(std::mt19937_64& rng, int digits) {
  std::vector<std::uint32_t> m(static_cast<std::size_t>(digits));
  for (std::uint32_t& x : m)
    x = rng() % 4 == 0 ? (1u << 28) - 1 - static_cast<std::uint32_t>(rng() % 2)
                       : static_cast<std::uint32_t>(rng() >> 36);
  return ZInt::from_digits(m, rng() % 2 == 0 ? 1 : -1);
}

TEST(ExactQuotient, MultiplesComeBackToTheirFactor) {
  std::mt19937_64 rng(test_seed() ^ 5102);
  for (int round = 0; round < test_iterations(400); ++round) {
    ZInt d = random_zint(rng, 1 + static_cast<int>(rng() % 6));
    if (d.is_zero()) d = 1;
    if (rng() % 3 == 0)
      d = d * ZInt::from_digits(std::vector<std::uint32_t>{0, 0, 1u << (rng() % 28)},
                                1);  // trailing zero bits
    const ZInt q = random_zint(rng, static_cast<int>(rng() % 8));
    const ZInt n = q * d;
    const ExactDivisor by_d(d);
    ZInt want;
    ASSERT_TRUE(ZInt::divides(n, d, &want));
    EXPECT_EQ(by_d.quotient(n), want) << "round " << round;
    EXPECT_EQ(by_d.quotient(n), q) << "round " << round;
  }
}

}  // namespace
}  // namespace tavrin::test
