// The remainder "|" of one-variable polynomials with rational coefficients
// (e = a b + r, and e without a planted divisor): the division on words
// against the pseudo-remainder loop on term lists, on both sides of the
// degree from which the words apply, and against an independent fact: the
// remainder over the rationals is r, so "|" (a pseudo-remainder, a constant
// multiple of it) divided by r is a number.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "toplevel/state.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

class RationalRemainder : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    install_interpreter();
  }
  void TearDown() override { leave_to_the_rationals(); }
};

// A polynomial of degree d in x with coefficients p/q of two digits (a
// few of them zero, none the leading one).
std::string random_rational(std::mt19937_64& g, int d) {
  std::string s = "0";
  for (int k = 0; k <= d; ++k) {
    if (k < d && g() % 6 == 0) continue;
    const long long p = 10 + static_cast<long long>(g() % 90),
                    q = 10 + static_cast<long long>(g() % 90);
    s += (g() % 3 == 0 ? " - " : " + ") + std::to_string(p) + "/" + std::to_string(q) + "*x^" +
         std::to_string(k);
  }
  return s;
}

// e | b with the words from degree `from` on (a huge degree keeps the loop).
std::string remainder(std::int32_t from) {
  ScopedValue<std::int32_t> route(integer_division_degree, from);
  return last_value_or_error("e | b;");
}

TEST_F(RationalRemainder, WordsAgreeWithTheLoopAndLeaveAMultipleOfTheRemainder) {
  constexpr std::int32_t never = 2147483647;
  std::mt19937_64 g(test_seed() + 11);
  ASSERT_EQ(last_value_or_error("&(J = x)").find("error"), std::string::npos);
  for (int round = 0; round < test_iterations(12); ++round) {
    const int d = round % 4 == 0 ? 3 : (round % 4 == 1 ? 9 : 20 + static_cast<int>(g() % 30));
    const std::string what = "round " + std::to_string(round) + ", degree " + std::to_string(d);
    SCOPED_TRACE(what);
    const bool planted = round % 3 != 2;
    std::string set = "a := " + random_rational(g, d) + ":\nb := " + random_rational(g, d) +
                      ":\nr := " + random_rational(g, d - 1) + ":\n";
    set += planted ? "e := a*b + r:\n" : "e := " + random_rational(g, 2 * d) + ":\n";
    ASSERT_NE(last_value_or_error(set + "e;").rfind("error", 0), 0U);
    const std::string loop = remainder(never), words = remainder(0),
                      usual = remainder(integer_division_degree);
    EXPECT_EQ(words, loop);
    EXPECT_EQ(usual, loop);
    if (!planted) continue;
    // (e | b) / r is a constant: no x in its text.
    const std::string ratio = last_value_or_error("(e | b)/r;");
    EXPECT_EQ(ratio.find('x'), std::string::npos) << ratio;
    EXPECT_NE(ratio.rfind("error", 0), 0U) << ratio;
  }
}

}  // namespace
}  // namespace tavrin::test
