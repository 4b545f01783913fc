// Running sums taken in balanced pairs against the running sum that adds
// each term to the whole (best_quoly_add), text for text: on both sides of
// the dense-packing rule, in the modes where pairs must not be taken, and
// over random terms.
#include "quoly/quoly_balanced_sum.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "quoly/quoly_add.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// Sums terms(1) .. terms(n) both ways; returns the pairs the balanced sum took.
long sum_both_ways(const std::function<std::string(int)>& terms, int n) {
  Value running = Value::number(BigRef(0));
  BalancedSum balanced;
  const long before = balanced_sum_pairs;
  for (int k = 1; k <= n; ++k) {
    const std::string t = terms(k);
    Value a = make_value(t), b = make_value(t);
    best_quoly_add(running.cell(), a.get());
    *a.cell() = nullptr;  // used up
    balanced.add(b.get());
    *b.cell() = nullptr;
  }
  Value sum = Value::adopt(balanced.take());
  EXPECT_EQ(value_text(sum), value_text(running)) << "n = " << n;
  EXPECT_TRUE(normal_value(sum));
  return balanced_sum_pairs - before;
}

std::string K(int k) { return std::to_string(k); }

TEST(BalancedSums, AgreeWithTheRunningSumOnBothSidesOfDensePacking) {
  PolyVars vars{"x", "y", "z"};
  NodeBalance balance;
  struct Row {
    const char* what;
    std::function<std::string(int)> term;
    bool paired;  // parts of 4 terms and more are paired
  };
  const Row rows[] = {
      {"1/(x + k y + k^2)", [](int k) { return "1 / (x + " + K(k) + "*y + " + K(k * k) + ")"; },
       true},
      {"1/(x + k)", [](int k) { return "1 / (x + " + K(k) + ")"; }, true},
      {"telescoping",
       [](int k) { return "1 / (x^2 + " + K(2 * k + 1) + "*x + " + K(k * (k + 1)) + ")"; }, true},
      {"signs, contents",
       [](int k) {
         return K(k % 2 == 0 ? 3 : -2) + " / (" + K(2 * k) + "*x - 4*y + " + K(2 * k + 6) + ")";
       },
       true},
      {"shared factors",
       [](int k) { return "x - " + K(k) + " / ((x + " + K(k % 3) + ")*(y - " + K(k % 4) + "))"; },
       true},
      {"one denominator", [](int k) { return K(k) + "*x / (x^2 + y + 1)"; }, true},
      {"1/(x + k y + k^2 z + 1)",
       [](int k) { return "1 / (x + " + K(k) + "*y + " + K(k * k) + "*z + 1)"; }, false},
      {"polynomials", [](int k) { return K(k) + "*x^" + K(k % 5) + "*y + " + K(k) + " / 7"; },
       false},
      {"numbers", [](int k) { return K(k) + " / " + K(k + 1); }, false},
  };
  for (const Row& row : rows) {
    for (int n : {1, 2, 7, 16, 23}) {
      SCOPED_TRACE(std::string(row.what) + ", n = " + K(n));
      const long pairs = sum_both_ways(row.term, n);
      // Parts of 4 terms: 7 = 4 + 3 takes 1 pair, 16 = 4 + 4 + 4 + 4 takes
      // 3, 23 = 16 + 4 + 3 takes 5.
      const long expected = !row.paired ? 0 : n == 7 ? 1 : n == 16 ? 3 : n == 23 ? 5 : 0;
      EXPECT_EQ(pairs, expected);
    }
  }
}

// Modulo a prime, in Laurent mode and with real words every term goes onto
// the whole, as the running sum adds them.
TEST(BalancedSums, TakeNoPairsWhereTheOrderMayShow) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  auto term = [](int k) { return "1 / (x + " + K(k) + "*y + " + K(k * k) + ")"; };
  {
    ModulusScope prime(101);
    EXPECT_EQ(sum_both_ways(term, 12), 0);
  }
  {
    ScopedValue<bool> l(laurent, true);
    EXPECT_EQ(sum_both_ways(term, 12), 0);
  }
}

TEST(BalancedSums, RandomTermsAgreeWithTheRunningSum) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7711);
  SCOPED_TRACE("seed " + std::to_string(test_seed()));
  const std::vector<std::string> pool = {"x",       "y + 1",   "x - y", "2*x + 3*y - 1",
                                         "x*y - 2", "x^2 + y", "3",     "x + 5*y"};
  auto pick = [&] { return "(" + pool[rng() % pool.size()] + ")"; };
  for (int i = 0; i < test_iterations(40); ++i) {
    std::vector<std::string> terms;
    const int n = 2 + static_cast<int>(rng() % 20);
    for (int k = 0; k < n; ++k) {
      std::string num = rng() % 3 == 0 ? pick() + "*" + pick() : pick();
      if (rng() % 2 == 0) num = "-" + num;
      terms.push_back(num + (rng() % 5 == 0 ? "" : " / (" + pick() + "*" + pick() + ")"));
    }
    SCOPED_TRACE(terms.front() + " ... " + terms.back());
    sum_both_ways([&](int k) { return terms[static_cast<std::size_t>(k - 1)]; }, n);
  }
}

}  // namespace
}  // namespace tavrin::test
