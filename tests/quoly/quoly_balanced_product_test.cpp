// Running products taken in a balanced tree against the running product
// that multiplies each factor into the whole (fast_quoly_mult), text for
// text: polynomials and numbers in the exact rings, on both sides of the
// bounds on exponents and on coefficient lengths, a fraction midway, and
// the rings where the tree must not be taken.
#include "quoly/quoly_balanced_product.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "quoly/quoly_mult.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// Multiplies factors(1) .. factors(n) both ways; returns the partial
// products the tree multiplied together (n when it kept the tree to the
// end, j - 1 when factor j sent it back to the running product).
long product_both_ways(const std::function<std::string(int)>& factors, int n) {
  Value running = Value::number(BigRef(1));
  BalancedProduct balanced;
  const long before = balanced_product_pairs;
  for (int k = 1; k <= n; ++k) {
    const std::string f = factors(k);
    Value a = make_value(f), b = make_value(f);
    fast_quoly_mult(running.cell(), a.cell());
    balanced.multiply(b.get());
    *b.cell() = nullptr;  // used up
  }
  Value product = Value::adopt(balanced.take());
  EXPECT_EQ(value_text(product), value_text(running)) << "n = " << n;
  EXPECT_TRUE(normal_value(product));
  return balanced_product_pairs - before;
}

// The partial products the tree multiplies for the factors 1..n, without
// the running product beside it (for factors too long to compare as text).
long pairs_of(const std::function<std::string(int)>& factors, int n) {
  BalancedProduct balanced;
  const long before = balanced_product_pairs;
  for (int k = 1; k <= n; ++k) {
    Value b = make_value(factors(k));
    balanced.multiply(b.get());
    *b.cell() = nullptr;  // used up
  }
  Value product = Value::adopt(balanced.take());
  EXPECT_TRUE(normal_value(product));
  return balanced_product_pairs - before;
}

std::string K(long k) { return std::to_string(k); }

TEST(BalancedProducts, AgreeWithTheRunningProductInTheExactRings) {
  PolyVars vars{"x", "y", "z"};
  NodeBalance balance;
  const std::function<std::string(int)> rows[] = {
      [](int k) { return "x^2 + " + K(k) + "*x + " + K(k * k * k + 1); },
      [](int k) { return K(k % 2 == 0 ? 3 : -2) + "*x*y - " + K(k) + "*z + y^" + K(k % 4); },
      [](int k) { return K(k) + "*x - " + K(k + 1) + " + 0*y"; },
      [](int k) { return K(k + 1); },
      [](int k) { return k % 3 == 0 ? K(k) : "x - " + K(k); },
  };
  for (const bool modular : {false, true}) {
    std::optional<ModulusScope> prime;
    if (modular) prime.emplace(32003);
    for (std::size_t r = 0; r < std::size(rows); ++r) {
      for (int n : {1, 2, 7, 16, 33}) {
        SCOPED_TRACE("row " + K(static_cast<long>(r)) + ", n = " + K(n) +
                     (modular ? ", mod 32003" : ""));
        EXPECT_EQ(product_both_ways(rows[r], n), n);
      }
    }
  }
}

// The tree goes back to the running product at the first fraction, and at
// the factor that brings the sum of the largest exponents to 2^31 - 1 or
// the coefficient bits to a number's longest; one short of either it keeps
// the tree.
TEST(BalancedProducts, GoBackToTheRunningProductAtAFractionAndAtTheBounds) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  EXPECT_EQ(product_both_ways([](int k) { return k == 6 ? "1 / (x + 2)" : "x + " + K(k); }, 9), 5);
  // 2^29 = 16,384 * 32,768 (an exponent literal holds 28 bits): three
  // factors of x^(2^29) and one of y^(2^29 - 2) or y^(2^29 - 1).
  auto exponents = [](int last) {
    return [last](int k) {
      return k < 4 ? K(k + 1) + "*(x^16384)^32768*y" : "-(y^16383)^32768*y^" + K(last) + "*x";
    };
  };
  EXPECT_EQ(product_both_ways(exponents(32766), 4), 4);  // 2^31 - 2
  EXPECT_EQ(product_both_ways(exponents(32767), 4), 3);  // 2^31 - 1
  // 2^99,000 x + k: 3,536 limbs of 28 bits and 2 terms, 99,010 bits a
  // factor, nine of them 891,090; the longest number holds 32,767 limbs,
  // 917,476 bits. A tenth factor 2^26,300 x + 1 (940 limbs) stays under,
  // 2^26,400 x + 1 (943 limbs) reaches it; the product itself fits.
  auto wide = [](int last) {
    return [last](int k) { return k < 10 ? "2^99000*x + " + K(k) : "2^" + K(last) + "*x + 1"; };
  };
  EXPECT_EQ(pairs_of(wide(26300), 10), 10);
  EXPECT_EQ(pairs_of(wide(26400), 10), 9);
}

// Modulo a composite, with real words, in floating and Laurent mode every
// factor goes onto the whole, as the running product takes them.
TEST(BalancedProducts, TakeNoTreeWhereTheGroupingMayShow) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  auto factor = [](int k) { return "x + " + K(k) + "*y + " + K(k * k); };
  {
    ModulusScope composite(8, false);
    EXPECT_EQ(product_both_ways(factor, 12), 0);
  }
  {
    WordMode w;
    EXPECT_EQ(product_both_ways(factor, 12), 0);
  }
  {
    ScopedValue<bool> l(laurent, true);
    EXPECT_EQ(product_both_ways(factor, 12), 0);
  }
}

TEST(BalancedProducts, RandomFactorsAgreeWithTheRunningProduct) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7717);
  SCOPED_TRACE("seed " + std::to_string(test_seed()));
  const std::vector<std::string> pool = {"x",       "y + 1", "x - y", "2*x + 3*y - 1", "x*y - 2",
                                         "x^2 + y", "3",     "-1",    "x + 5*y"};
  for (int i = 0; i < test_iterations(40); ++i) {
    std::vector<std::string> factors;
    const int n = 2 + static_cast<int>(rng() % 40);
    for (int k = 0; k < n; ++k) factors.push_back(pool[rng() % pool.size()]);
    SCOPED_TRACE(factors.front() + " ... " + factors.back());
    EXPECT_EQ(product_both_ways([&](int k) { return factors[static_cast<std::size_t>(k - 1)]; }, n),
              n);
  }
}

}  // namespace
}  // namespace tavrin::test
