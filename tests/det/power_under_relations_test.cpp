// The power argument of the determinant built-in when variables are modded
// out: planted powers f^k (f with coefficients in the quotient ring, among
// them zero divisors) and planted h(X^|k|) for a negative k come back as a
// root r with r^k = det (up to sign for an even order), or an h with
// h#(x = x^|k|, t^|k|) = det, by the default route and the interpolation;
// times x + 2 the determinant is no such power (error 343). Rings: products
// of fields, a ring with nilpotents, a declared field, two modded
// variables, GF(256) over t^2 + t + 1, and the integers modulo t^2 + 1.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "toplevel/state.h"
#include "det/det_support.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

class PowerUnderRelations : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    install_interpreter();
  }
  void TearDown() override {
    run_statements("&(L = 5000)");
    clear_arrays();
    leave_to_the_rationals();
  }
  static std::string run(const std::string& text) { return last_value_or_error(text); }
};

struct Ring {
  const char* name;
  std::string setup;               // after &(J = x)
  std::vector<std::string> basis;  // the reduced monomials of the modded variables
  int q;                           // elements of the ground field; 0: the integers
  std::vector<int> powers;         // typed power arguments
  bool unit_ends;                  // f's leading coefficient a non-zero ground constant
};

// A random element of the coefficient ring: a ground coefficient (small
// integers over Z) on each basis monomial, often 0.
std::string random_element(std::mt19937_64& g, const Ring& ring) {
  std::string e;
  for (const std::string& m : ring.basis) {
    if (g() % 3 == 0) continue;
    const int c = ring.q == 0 ? static_cast<int>(g() % 7) - 3
                              : static_cast<int>(g() % static_cast<unsigned>(ring.q));
    if (c == 0) continue;
    e += (e.empty() ? "" : " + ") + std::string("(") + std::to_string(c) + ")" +
         (m == "1" ? "" : "*" + m);
  }
  return e.empty() ? "0" : e;
}

// A polynomial in x of degree 1 or 2 with coefficients in the ring; its
// leading coefficient a non-zero ground constant when the ring asks for it
// (nilpotents; over Z an integer end is what a root is found from).
std::string planted_factor(std::mt19937_64& g, const Ring& ring) {
  const int degree = 1 + static_cast<int>(g() % 2);
  std::string f;
  for (int i = degree; i >= 0; --i) {
    std::string c = random_element(g, ring);
    if (i == degree && (ring.unit_ends || c == "0"))
      c = std::to_string(
          1 + static_cast<int>(g() % static_cast<unsigned>(ring.q == 0 ? 3 : ring.q - 1)));
    f += (f.empty() ? "" : " + ") + std::string("(") + c + ")*x^" + std::to_string(i);
  }
  return f;
}

// The order of the root the typed power asks for: a power of two 2^j asks
// for the root of order 2^(j-1).
int root_order(int typed) { return (typed & (typed - 1)) == 0 ? typed / 2 : typed; }

TEST_F(PowerUnderRelations, PlantedPowersAndShrinks) {
  std::mt19937_64 g(test_seed());
  const std::vector<Ring> rings = {
      {"F5[t]/(t^2 - 1)",
       "&(p = 5)\n&(J > t)\n&(P = t^2 - 1)",
       {"1", "t"},
       5,
       {3, 5, 15, -2, -3},
       false},
      {"F5[t]/(t^2 + 1)", "&(p = 5)\n&(J > t)\n&(P = t^2 + 1)", {"1", "t"}, 5, {3, 5, -3}, false},
      {"F5[t]/(t^3 - t)",
       "&(p = 5)\n&(J > t)\n&(P = t^3 - t)",
       {"1", "t", "t^2"},
       5,
       {3, 5, -2},
       false},
      {"F5[t]/(t^2)", "&(p = 5)\n&(J > t)\n&(P = t^2)", {"1", "t"}, 5, {3, 5, -2}, true},
      {"F7[t]/(t^2 - 1)",
       "&(p = 7)\n&(J > t)\n&(P = t^2 - 1)",
       {"1", "t"},
       7,
       {4, 5, 7, -2},
       false},
      {"GF(49) declared",
       "&(p = 7)\n&(J > t)\n&(P = t^2 + 1, 1)",
       {"1", "t"},
       7,
       {5, 7, 35, -3},
       false},
      {"F7[s,t]/(s^2 - t, t^2 - 2)",
       "&(p = 7)\n&(J > s)\n&(J > t)\n&(P = t^2 - 2)\n&(P = s^2 - t)",
       {"1", "t", "s", "s*t"},
       7,
       {5, 7, -5},
       false},
      {"GF(256)[t]/(t^2 + t + 1)",
       "&(p = 256)\n&(J > t)\n&(P = t^2 + t + 1)",
       {"1", "t"},
       256,
       {7, 11, 14, -3},
       false},
      {"Z[t]/(t^2 + 1)", "&(J > t)\n&(P = t^2 + 1)", {"1", "t"}, 0, {3, 5, 4}, true},
  };
  for (const Ring& ring : rings) {
    ASSERT_EQ(run("&(J = x)\n" + ring.setup).find("error"), std::string::npos) << ring.name;
    // The variables the negative power substitutes into, after x.
    const std::string lower = ring.basis.size() == 4 ? "s^K, t^K" : "t^K";
    for (int round = 0; round < test_iterations(1); ++round)
      for (const int typed : ring.powers) {
        const int k = typed < 0 ? -typed : root_order(typed);
        std::string subst = "#(x = x^K, " + lower + ")";
        for (std::size_t at = subst.find('K'); at != std::string::npos; at = subst.find('K'))
          subst.replace(at, 1, std::to_string(k));
        const bool even = typed > 0 && k % 2 == 0;
        const bool minus = even && g() % 2 == 0;
        const std::string f = planted_factor(g, ring);
        const std::string d1 =
            typed > 0 ? std::string(minus ? "-" : "") + "(" + f + ")^" + std::to_string(k)
                      : "(" + f + ")" + subst;
        const int n = 4 + static_cast<int>(g() % 3);
        const std::string built = run(planted_matrices(g, n, d1, "1", "b"));
        ASSERT_EQ(built.find("error"), std::string::npos) << ring.name << " " << built;
        for (const bool holds : {true, false}) {
          if (!holds) run("b[1,1] := b[1,1] * (x + 2):");
          for (const char* cut : {"5000", "1"}) {
            const std::string call = "Det([b], , , , " + std::to_string(typed) + ")";
            SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", " + ring.name + ", L = " + cut +
                         ", " + call + ", side " + std::to_string(n) + ", " + d1 +
                         (holds ? "" : " times x + 2"));
            run(std::string("&(L = ") + cut + ")");
            // The determinant itself is the planted one, by either route.
            if (holds) {
              EXPECT_EQ(run("Det[b] - (" + d1 + ");"), "number 0");
            }
            const std::string got = run("r := " + call + ":\nr;");
            if (!holds) {
              EXPECT_EQ(got, "error 343");
              continue;
            }
            ASSERT_EQ(got.find("error"), std::string::npos) << got;
            if (typed < 0) {
              EXPECT_EQ(run("r" + subst + " - Det[b];"), "number 0");
            } else if (even) {
              EXPECT_EQ(run("(r^" + std::to_string(k) + " - Det[b])*(r^" + std::to_string(k) +
                            " + Det[b]);"),
                        "number 0");
            } else {
              EXPECT_EQ(run("r^" + std::to_string(k) + " - Det[b];"), "number 0");
            }
          }
        }
        run("@[l]:\n@[u]:\n@[d]:\n@[a]:\n@[b]:\n&(L = 5000)");
      }
    leave_to_the_rationals();
  }
}

// A leading coefficient that is a zero divisor of F5[t]/(t^2 - 1) (t + 1
// vanishes where t = -1): the root is the sum of the roots on the two
// components, and the unique cube root there is the planted factor itself.
TEST_F(PowerUnderRelations, ZeroDivisorLeadingCoefficient) {
  run("&(J = x)\n&(p = 5)\n&(J > t)\n&(P = t^2 - 1)");
  run("Array v[3,3] Sparse:\nfor i = 1 to 3 do v[i,i] := (t + 1)*x^2 + 2*x + t od:\n");
  EXPECT_EQ(run("r := Det([v], , , , 3):\nr - ((t + 1)*x^2 + 2*x + t);"), "number 0");
  // t x + 1 to the fifth is t x^5 + 1, whose fifth root is t x + 1 again.
  run("Array w[5,5] Sparse:\nfor i = 1 to 5 do w[i,i] := t*x + 1 od:\n");
  EXPECT_EQ(run("r := Det[w]:\nr - (t*x^5 + 1);"), "number 0");
  EXPECT_EQ(run("r := Det([w], , , , 5):\nr - (t*x + 1);"), "number 0");
  // Not a cube (degree 5), nor a 25th power.
  EXPECT_EQ(run("r := Det([w], , , , 3):"), "error 343");
  EXPECT_EQ(run("r := Det([w], , , , 25):"), "error 343");
}
}  // namespace
}  // namespace tavrin::test
