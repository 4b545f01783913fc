// Det and Chpoly typed modulo composite moduli: the matrices whose pivots
// have no inverse, dense and sparse; random matrices of polynomials with
// zero divisors planted, under every method switch, against the
// determinant over the integers that the ring change reduces; and a
// fraction whose computed GCD divides neither side (error 85).
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "toplevel/state.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

class CompositeStatements : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    install_interpreter();
  }
  void TearDown() override {
    clear_arrays();
    clear_variables_and_polynomial_names();
    run_statements("&(p = _i)");
  }
  // The value of the last statement, or "error N" for the user error that
  // stopped it (N = 0: an internal error).
  static std::string run(const std::string& text) { return last_value_or_error(text); }
};

using Rows = std::vector<std::vector<std::string>>;

// Statements that declare name (Sparse when asked) and fill it with rows.
std::string array_of(const std::string& name, const Rows& rows, bool sparse) {
  const std::string side = std::to_string(rows.size());
  std::string text =
      "Array " + name + "[" + side + "," + side + "]" + (sparse ? " Sparse" : "") + ":\n";
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (std::size_t j = 0; j < rows.size(); ++j) {
      if (sparse && rows[i][j] == "0") continue;
      text += name + "[" + std::to_string(i + 1) + "," + std::to_string(j + 1) +
              "] := " + rows[i][j] + ":\n";
    }
  return text;
}

TEST_F(CompositeStatements, PivotsWithoutInverse) {
  // A first pivot 5 modulo 25 (the integer determinant -1), and a matrix of
  // determinant -98 modulo 25, 6, 9 and 15 (2, 4, 1, 7), dense and sparse.
  const Rows f = {
      {"5", "1", "0", "0"}, {"1", "0", "0", "0"}, {"0", "0", "1", "0"}, {"0", "0", "0", "1"}};
  const Rows g = {
      {"2", "3", "1", "5"}, {"4", "1", "2", "3"}, {"5", "2", "4", "1"}, {"1", "1", "3", "2"}};
  for (const bool sparse : {false, true}) {
    run("&(p = 25)\n" + array_of("f", f, sparse));
    EXPECT_EQ(run("Det([f]) + 1;"), "number 0") << sparse;
    for (const int m : {25, 6, 9, 15}) {
      run("&(p = " + std::to_string(m) + ")\n" + array_of("g", g, sparse));
      EXPECT_EQ(run("Det([g]) + 98;"), "number 0") << m << " " << sparse;
    }
    clear_arrays();
  }
}

TEST_F(CompositeStatements, ChpolyModulo25) {
  // The same characteristic polynomial from sparse and dense storage.
  const Rows s = {{"5", "-4", "7", "-4", "-8", "-6"}, {"-9", "-4", "6", "4", "-7", "4"},
                  {"-7", "-5", "0", "-9", "3", "1"},  {"-5", "7", "3", "-3", "-8", "-3"},
                  {"5", "-1", "8", "3", "-5", "2"},   {"6", "-8", "-5", "-5", "4", "-6"}};
  run("&(J = x)\n&(p = 25)\n" + array_of("s2", s, true) + array_of("d2", s, false));
  const std::string want = "(x^6 - 12*x^5 + 9*x^4 - 8*x^3 - 10*x^2 + 6*x - 2)";
  for (const char* name : {"s2", "d2"}) {
    const StatementRun r = run_statements("Chpoly([" + std::string(name) + "]) - " + want + ";");
    EXPECT_FALSE(r.unwound) << name;
    EXPECT_EQ(r.last, "number 0") << name;
    EXPECT_EQ(r.printed.find("error"), std::string::npos) << name << ": " << r.printed;
  }
}

TEST_F(CompositeStatements, GcdThatDividesNeitherSide) {
  // Modulo 25 the GCD computed for these two divides neither; computing it
  // again gives it again. Error 85, the variables as they were.
  run("&(J = x)\n&(p = 25)\nu := 3:");
  EXPECT_EQ(run("u := (3*x^4 + 16*x^3 + 7*x^2 + 10*x + 15)/(x^4 + 12*x^3 + 17*x^2 + 2);"),
            "error 85");
  EXPECT_EQ(run("u;"), "number 3");
  // A fraction that has a GCD is brought to lowest terms as before.
  EXPECT_EQ(run("(x^2 - 1)/(x^2 + 2*x + 1);"), run("(x - 1)/(x + 1);"));
}

// A random entry: a polynomial in x and y of small degree, a constant, or
// a multiple of the divisor (a zero divisor) when planted.
std::string entry(std::mt19937_64& g, std::int64_t divisor, bool planted) {
  static const char* monos[] = {"", "*x", "*y", "*x^2", "*x*y"};
  std::string e;
  for (const char* m : monos) {
    if (g() % 3 != 0) continue;
    const long long c = static_cast<long long>(g() % 41) - 20;
    e += " + (" + std::to_string(planted ? c * divisor : c) + ")" + m;
  }
  return e.empty() ? "0" : e.substr(3);
}

TEST_F(CompositeStatements, RandomPolynomialMatrices) {
  // Each matrix formed over the integers with its determinant there, then
  // the ring changed (which reduces both): the determinant modulo m of the
  // dense and the sparse copy is the reduced one. Planted: the first
  // column, or the diagonal, multiples of a divisor of m.
  struct Case {
    int m, divisor;
  };
  const Case cases[] = {{4, 2},  {6, 3},  {9, 3},  {12, 2},    {15, 5},
                        {25, 5}, {35, 7}, {49, 7}, {32768, 2}, {2147483644, 2}};
  std::mt19937_64 rng(test_seed() + 7);
  int trial = 0;
  for (const Case& c : cases)
    for (int k = 0; k < test_iterations(8); ++k, ++trial) {
      const auto side = static_cast<std::size_t>(1 + trial % 7);
      Rows rows(side, std::vector<std::string>(side));
      for (std::size_t i = 0; i < side; ++i)
        for (std::size_t j = 0; j < side; ++j)
          rows[i][j] =
              entry(rng, c.divisor, (trial % 3 == 1 && j == 0) || (trial % 3 == 2 && i == j));
      run("&(p = _i)\n&(J = x)\n&(J > y)\n" + array_of("a", rows, false) +
          array_of("b", rows, true) + "dz := Det([a]):\n&(p = " + std::to_string(c.m) + ")");
      ASSERT_TRUE(modularmode && modulus == c.m);
      ScopedValue<std::int32_t> bareiss(gauss_cutoff, trial % 4 == 1 ? 1 : gauss_cutoff);
      ScopedValue<std::int32_t> lagrange(rat_det_method_cut,
                                         trial % 4 == 2 ? 1 : rat_det_method_cut);
      ScopedValue<std::int32_t> cut(detcutoff, trial % 4 == 3 ? 2 : detcutoff);
      EXPECT_EQ(run("Det([a]) - dz;"), "number 0") << "modulo " << c.m << ", trial " << trial;
      EXPECT_EQ(run("Det([b]) - dz;"), "number 0")
          << "sparse modulo " << c.m << ", trial " << trial;
      clear_arrays();
      clear_variables_and_polynomial_names();
    }
}

}  // namespace
}  // namespace tavrin::test
