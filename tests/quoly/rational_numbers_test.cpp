// Rational numbers whose parts share planted even factors (2^64 + 2,
// powers of two, odd values times 2^t) come out in lowest terms.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "quoly/quoly_quot.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

TEST(RationalNumbers, QuotientsCancelPlantedEvenFactors) {
  // x g / (y g) with y = k x - 1 (so x and y are coprime) is x / y, the sign
  // on the numerator: x of 1 .. 40 words, and twice of 1,000.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 91);
  for (int i = 0; i < test_iterations(150); ++i) {
    const BigRef g = random_even_factor(rng, i);
    const BigRef x = random_big_exact(rng, i < 2 ? 2286 : 1 + static_cast<int>(rng() % 92));
    const BigRef y = x * BigRef(static_cast<std::int64_t>(2 + rng() % 1000)) - BigRef(1);
    Num a(x * g), b(y * g);
    Value q = Value::number(BigRef(0));
    divide_integers(a, b, q.cell());
    const auto [num, den] = value_parts(q);
    EXPECT_EQ(num, RefPoly::constant(0, y.negative() ? -x : x)) << i;
    EXPECT_EQ(den, RefPoly::constant(0, y.abs())) << i;
  }
}

}  // namespace
}  // namespace tavrin::test
