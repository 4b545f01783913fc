// The power argument of the determinant built-in against planted powers:
// det = f^k (or -f^k for an even k, whose root is f as well), or h(x^k)
// for a negative k, built as L D U with unit
// triangular L and U and a diagonal D, over Q, modulo 7 and modulo 32003,
// dense and sparse, by the default route and the interpolation; and powers
// divisible by the characteristic modulo 7, 11 and 2 and in GF(256) and
// GF(65536). Times x + 2 the determinant is no such power: error 343, by
// every route of a sparse matrix (a dense one ignores the power).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "det/det_support.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

class PowerArgument : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    install_interpreter();
  }
  void TearDown() override {
    run_statements("&(p = _i)\n&(L = 5000)");
    clear_arrays();
    clear_variables_and_polynomial_names();
  }
  // The value of the last statement (value_text), or "error N".
  static std::string run(const std::string& text) { return last_value_or_error(text); }
};

TEST_F(PowerArgument, PlantedPowersInEveryRingAndRoute) {
  std::mt19937_64 g(test_seed());
  run("&(J = x)");  // adjoined in the rationals, so that every ring change may go back
  struct Ring {
    const char* set;
    int q;  // 0: the rationals
  };
  // The powers each ring can undo: odd k prime to q - 1, powers of two
  // (the built-in halves them: 4 asks for the square root) with q = 3 mod
  // 4, and every negative power.
  for (const Ring ring : {Ring{"&(p = _i)", 0}, Ring{"&(p = 7)", 7}, Ring{"&(p = 32003)", 32003}}) {
    run(ring.set);
    for (int round = 0; round < test_iterations(2); ++round)
      for (const auto& [k, minus] :
           {std::pair{3, false}, {5, false}, {4, false}, {4, true}, {-2, false}, {-3, false}}) {
        if (ring.q == 7 && k == 3) continue;
        auto coef = [&] { return std::to_string(1 + static_cast<int>(g() % 6)); };
        const std::string f = coef() + "*x + " + coef(), f2 = coef() + "*x^2 + " + coef();
        const std::string xk = "x^" + std::to_string(k < 0 ? -k : k);
        // The planted diagonal and the answer.
        std::string d1, d2 = "1", want;
        if (k > 0) {
          d1 = std::string(minus ? "-" : "") + "(" + f + ")^" + std::to_string(k);
          want = k == 4 ? "(" + f + ")^2" : "(" + f + ")";
        } else {
          d1 = "(" + coef() + "*" + xk + " + " + coef() + ")";
          d2 = "(" + coef() + "*(" + xk + ")^2 + " + coef() + ")";
          want = d1 + "*" + d2;
          for (std::size_t at = want.find(xk); at != std::string::npos; at = want.find(xk))
            want.replace(at, xk.size(), "x");
        }
        const int n = 4 + static_cast<int>(g() % 4);
        const std::string side = std::to_string(n);
        const std::string built = run(planted_matrices(g, n, d1, d2, "s"));
        ASSERT_EQ(built.find("error"), std::string::npos) << ring.set << " " << built;
        for (const bool holds : {true, false}) {
          if (!holds) run("a[1,1] := a[1,1] * (x + 2):\ns[1,1] := a[1,1]:");
          for (const char* matrix : {"a", "s"})
            for (const char* cut : {"5000", "1"}) {
              const std::string call =
                  std::string("Det([") + matrix + "], , , , " + std::to_string(k) + ")";
              SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", " + ring.set +
                           ", L = " + cut + ", " + call + ", side " + side + ", " + d1 + " " + d2 +
                           (holds ? "" : " times x + 2"));
              // A dense matrix ignores the power: its whole determinant.
              const bool dense = matrix[0] == 'a';
              const std::string expected = dense ? std::string("Det[a]") : "(" + want + ")";
              const std::string got =
                  run(std::string("&(L = ") + cut + ")\nr := " + call + ":\nr - " + expected + ";");
              EXPECT_EQ(got, holds || dense ? "number 0" : "error 343");
              // Never a different answer on the next call.
              if (holds) {
                EXPECT_EQ(run("r - " + call + ";"), "number 0");
              }
            }
        }
        run("@[l]:\n@[u]:\n@[d]:\n@[a]:\n@[s]:\n&(L = 5000)");
      }
  }
}

// Powers divisible by the characteristic: in characteristic p a root of
// order p^e k is e p-th roots (exponents divided by p, constants by the
// Frobenius) and one of order k. Planted f^r (f in x and y; minus f^r for
// some even r) come back as f up to sign, their r-th power the determinant
// (or its negative), by the default route and the interpolation; times
// x + 2 the determinant is no such power (error 343). The power as typed:
// a power of two 2r asks for the root of order r.
TEST_F(PowerArgument, PowersOfTheCharacteristic) {
  std::mt19937_64 g(test_seed());
  run("&(J = x)\n&(J = y)");
  struct Ring {
    const char* set;
    int q;                                    // the number of elements
    std::vector<std::pair<int, int>> powers;  // (typed, order of the root)
  };
  const Ring rings[] = {
      {"&(p = 7)", 7, {{7, 7}, {49, 49}, {14, 14}, {35, 35}}},
      {"&(p = 11)", 11, {{11, 11}, {22, 22}, {33, 33}}},
      {"&(p = 256)", 256, {{4, 2}, {8, 4}, {7, 7}, {14, 14}}},
      {"&(p = 65536)", 65536, {{4, 2}, {14, 14}}},
      {"&(p = 2)", 2, {{4, 2}, {3, 3}, {6, 6}}},
  };
  for (const Ring& ring : rings) {
    run("&(p = _i)\n" + std::string(ring.set));
    for (const auto& [typed, order] : ring.powers) {
      auto coef = [&] {
        return std::to_string(1 + static_cast<int>(g() % static_cast<unsigned>(ring.q - 1)));
      };
      const std::string f = coef() + "*x + " + coef() + "*y + " + coef();
      const bool minus = order % 2 == 0 && ring.q % 4 == 3 && g() % 2 == 1;
      const std::string d1 = std::string(minus ? "-" : "") + "(" + f + ")^" + std::to_string(order);
      const int n = 4 + static_cast<int>(g() % 3);
      const std::string built = run(planted_matrices(g, n, d1, "1", "s"));
      ASSERT_EQ(built.find("error"), std::string::npos) << ring.set << " " << built;
      const std::string call = "Det([s], , , , " + std::to_string(typed) + ")";
      for (const bool holds : {true, false}) {
        if (!holds) run("s[1,1] := s[1,1] * (x + 2):\na[1,1] := s[1,1]:");
        for (const char* cut : {"5000", "1"}) {
          SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", " + ring.set + ", L = " + cut +
                       ", " + call + ", side " + std::to_string(n) + ", " + d1 +
                       (holds ? "" : " times x + 2"));
          const std::string got = run(std::string("&(L = ") + cut + ")\nr := " + call + ":\nr^" +
                                      std::to_string(order) + (minus ? " + " : " - ") + "Det[s];");
          EXPECT_EQ(got, holds ? "number 0" : "error 343");
          if (holds) {
            EXPECT_EQ(run("(r - (" + f + "))*(r + (" + f + "));"), "number 0");
          }
          // A dense matrix ignores the power: its whole determinant.
          EXPECT_EQ(run("Det([a], , , , " + std::to_string(typed) + ") - Det[a];"), "number 0");
        }
      }
      run("@[l]:\n@[u]:\n@[d]:\n@[a]:\n@[s]:\n&(L = 5000)");
    }
  }
}

}  // namespace
}  // namespace tavrin::test
