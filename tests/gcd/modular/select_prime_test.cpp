// The first prime of a run of modular images: the scan from the random start
// passes over every prime that divides a leading coefficient and stops at
// the first that divides neither.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "gcd/gcd.h"
#include "support/data_tables.h"
#include "support/num.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// The start index the last call drew: prmesize - buffer - (draw mod rand_mod).
std::int32_t drawn_start(std::int32_t prmesize, std::int32_t buffer, std::int32_t rand_mod) {
  const std::int32_t draw = static_cast<std::int32_t>(random_ext2 / 2147483647.0 * 16384.0);
  return prmesize - buffer - draw % rand_mod;
}

bool divides(std::int32_t p, const BigRef& v) { return (v % BigRef(p)).is_zero(); }

// lc * x^3 * y^2 plus lower terms in x.
RefPoly with_leading_coefficient(std::mt19937_64& rng, const BigRef& lc) {
  RefPoly r = random_refpoly(rng, 2, 6, 2, 2);
  r.add_term({3, 2}, lc);
  return r;
}

TEST(SelectPrime, SkipsEveryPrimeThatDividesALeadingCoefficient) {
  load_data_tables();
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(200); ++i) {
    // Leading coefficients built from table primes around the start range,
    // so that the scan has primes to pass over.
    BigRef lc_x(rng() % 2 ? 1 : -1);
    BigRef lc_y(rng() % 2 ? 7 : -11);
    for (int j = 11; j <= 140; ++j) {
      const std::int32_t p = prime[j]->head->value;
      if (rng() % 3 == 0) continue;
      BigRef& lc = rng() % 2 ? lc_x : lc_y;
      lc = lc * BigRef(p);
    }
    SCOPED_TRACE(lc_x.to_decimal() + " and " + lc_y.to_decimal());
    Poly x(with_leading_coefficient(rng, lc_x));
    Poly y(with_leading_coefficient(rng, lc_y));
    const std::int16_t k = select_prime(x, y, 530, 64, 604, prime);
    const std::int32_t start = drawn_start(604, 530, 64);
    EXPECT_GE(start, 11);
    EXPECT_LE(start, 74);
    ASSERT_GE(k, start);
    for (std::int32_t j = start; j < k; ++j) {
      const std::int32_t p = prime[j]->head->value;
      EXPECT_TRUE(divides(p, lc_x) || divides(p, lc_y)) << "index " << j << " was passed over";
    }
    ASSERT_LE(k, 604);
    const std::int32_t p = prime[k]->head->value;
    EXPECT_FALSE(divides(p, lc_x));
    EXPECT_FALSE(divides(p, lc_y));
  }
}

TEST(SelectPrime, SmallTablesAndNoSuitablePrime) {
  PolyVars vars({"x"});
  std::deque<Num> numbers;
  for (std::int32_t p : {3, 5, 7, 11, 13, 17}) numbers.emplace_back(p);
  std::vector<imptr> table = {nullptr};
  for (const Num& n : numbers) table.push_back(n.get());
  const std::int16_t n = 6;
  {
    // An auxiliary list starts at 1 .. 3; 105 = 3 * 5 * 7 rules those out.
    Poly x("105*x^2 + 1");
    Poly y("11*x + 2");
    const std::int16_t k = select_prime(x, y, n - 3, 3, n, table.data());
    const std::int32_t start = drawn_start(n, n - 3, 3);
    EXPECT_GE(start, 1);
    EXPECT_LE(start, 3);
    EXPECT_EQ(k, 5);  // 11 divides y's leading coefficient
  }
  {
    Poly x("-2*x");
    Poly y("1");
    EXPECT_EQ(select_prime(x, y, 10, 1, n, table.data()), 1) << "a start below 1 begins at 1";
  }
  {
    Poly zero("0");
    Poly y("x + 1");
    EXPECT_EQ(select_prime(zero, y, n - 3, 3, n, table.data()), n + 1);
    Poly big("255255*x");  // 3 * 5 * 7 * 11 * 13 * 17
    EXPECT_EQ(select_prime(y, big, n - 3, 3, n, table.data()), n + 1);
  }
}

}  // namespace
}  // namespace tavrin::test
