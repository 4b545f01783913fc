// Products in towers of two modded-out levels: the packed product against
// the rows folded term by term (the routes below it), on both sides of its
// cut-off, with one relation or two, numeric and polynomial relations, a
// declared field and a large word prime; rings it leaves alone (the
// rationals, GF(256)) keep their route; and values from Singular.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "poly/poly_mult.h"
#include "toplevel/state.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

class TowerProduct : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    install_interpreter();
  }
  void TearDown() override { leave_to_the_rationals(); }
  static std::string run(const std::string& text) { return last_value_or_error(text); }
};

struct Tower {
  const char* name;
  std::string setup;  // after &(J = x), &(J > s), &(J > t)
  int ds, dt;         // operands' degrees stay below these in s and t
  int q;              // coefficients drawn below q (0: -5 .. 5)
  bool packed;        // the packed product applies
};

// A random element sum c t^i s^j, i < dt, j < ds, about a third of the
// coefficients zero; with lower, one term carries x as well.
std::string random_element(std::mt19937_64& g, const Tower& tw, int ds, int dt, bool lower) {
  std::string e;
  for (int j = 0; j < ds; ++j)
    for (int i = 0; i < dt; ++i) {
      if (g() % 3 == 0) continue;
      const long long c =
          tw.q == 0 ? static_cast<long long>(g() % 11) - 5 : static_cast<long long>(g() % tw.q);
      if (c == 0) continue;
      e += " + (" + std::to_string(c) + ")*t^" + std::to_string(i) + "*s^" + std::to_string(j);
    }
  if (lower) e += " + x*t*s";
  return e.empty() ? "t*s + 1" : e.substr(3);
}

// c := op (a*b or a*a) at
// the cut-off cut: the value's text, and whether the packed product ran.
std::string product(const std::string& op, std::int64_t cut, bool* packed) {
  ScopedValue<std::int64_t> at(tower_mult_terms, cut);
  const long before = mult_routes.tower;
  const StatementRun r = run_statements("c := " + op + ":\nc;");
  *packed = mult_routes.tower > before;
  return r.unwound ? "error " + std::to_string(reported_error(r.failed)) : r.last;
}

TEST_F(TowerProduct, AgreesWithTermRowsOnBothSidesOfTheCut) {
  std::mt19937_64 g(test_seed());
  const std::string dense_s =
      "s^9 + (t^6 + 5*t^3 + 2)*s^8 + (3*t^7 + t)*s^5 + (2*t^5 + 7)*s^2 + t^4*s + t + 11";
  const std::vector<Tower> towers = {
      {"relations over Z, then modulo 32003",
       "&(P = t^7 + t + 3)\n&(P = s^6 + t*s + 1)\n&(p = 32003)", 6, 7, 32003, true},
      {"dense relations modulo 32003",
       "&(p = 32003)\n&(P = t^8 + 3*t^7 + t^5 - t^4 + 9*t^2 + t + 1)\n&(P = " + dense_s + ")", 9, 8,
       32003, true},
      {"wide coefficients modulo 32003",
       "&(p = 32003)\n&(P = t^36 + t^35 + 7*t + 1)\n&(P = s^3 + (t + 1)^35*s + t^20 + 1)", 3, 36,
       32003, true},
      {"t alone modulo 32003", "&(p = 32003)\n&(P = t^5 + 2*t^2 + 1)", 7, 5, 32003, true},
      {"s alone modulo 32003", "&(p = 32003)\n&(P = s^4 + t^2*s + t + 1)", 4, 6, 32003, true},
      {"binomials modulo 101", "&(p = 101)\n&(P = t^5 - 3)\n&(P = s^4 - 7)", 4, 5, 101, true},
      {"s^3 = t modulo 101", "&(p = 101)\n&(P = t^4 + t + 1)\n&(P = s^3 - t)", 3, 4, 101, true},
      {"a word prime", "&(p = 2147483629)\n&(P = t^6 + 5*t + 2)\n&(P = s^5 + t^3*s^2 + t + 1)", 5,
       6, 2147483629, true},
      {"GF(49) declared", "&(p = 7)\n&(P = t^2 + 1, 1)\n&(P = s^5 + t*s + 3)", 5, 2, 7, true},
      {"GF(256)", "&(p = 256)\n&(P = t^3 + t + 1)\n&(P = s^4 + t*s + 1)", 4, 3, 256, false},
      {"the rationals", "&(P = t^4 + t + 3)\n&(P = s^4 + t*s + 1)", 4, 4, 0, false},
  };
  for (const Tower& tw : towers) {
    SCOPED_TRACE(std::string(tw.name) + ", seed " + std::to_string(test_seed()));
    ASSERT_EQ(run("&(J = x)\n&(J > s)\n&(J > t)\n" + tw.setup).find("error"), std::string::npos);
    for (int round = 0; round < test_iterations(6); ++round) {
      // Small operands fall below the cut of 64 leaf products; x is below
      // the tower's two levels.
      const bool tiny = round % 3 == 0;
      const bool lower = round % 3 == 1 && round > 3;
      const int ds = tiny ? 2 : tw.ds, dt = tiny ? 2 : tw.dt;
      run("a := " + random_element(g, tw, ds, dt, lower) +
          ":\nb := " + random_element(g, tw, ds, dt, false) + ":");
      const std::string a = run("a;"), b = run("b;");
      // Two operands in one variable take the one-variable products, a
      // monomial may take the term products.
      auto both = [](const std::string& v) {
        return v.find('s') != v.npos && v.find('t') != v.npos && v.find('+') != v.npos;
      };
      for (const char* op : {"a*b", "a*a"}) {
        SCOPED_TRACE(std::string(op) + " a = " + a + ", b = " + b);
        bool packed = false;
        const std::string want = product(op, INT64_MAX, &packed);
        EXPECT_FALSE(packed);
        EXPECT_EQ(want.find("error"), std::string::npos) << want;
        EXPECT_EQ(product(op, 0, &packed), want);
        if (!tw.packed) {
          EXPECT_FALSE(packed);
        }
        // With x a product lower down may take the route too.
        if (tw.packed && !lower && both(a) && (op[2] == 'a' || both(b))) {
          EXPECT_TRUE(packed);
        }
        EXPECT_EQ(product(op, tower_mult_terms, &packed), want);
        if (tiny) {
          EXPECT_FALSE(packed) << "below the cut";
        }
      }
    }
    leave_to_the_rationals();
  }
}

// Sparse operands, whose packed rows would outnumber the term products
// four times over, keep the term rows at any cut; a dense pair of the same
// degrees is packed. Both agree with the term rows.
TEST_F(TowerProduct, SparseOperandsKeepTheTermRows) {
  run("&(J = x)\n&(J > s)\n&(J > t)\n&(p = 32003)\n&(P = t^40 + t + 3)\n&(P = s^30 + t*s + 1)");
  const std::vector<std::pair<std::string, bool>> cases = {
      {"a := t^30*s^20 + 5*t^2*s + 1:\nb := t^29*s^25 + 7*s + t:", false},
      {"a := (t + s + 1)^12:\nb := (t - 2*s + 3)^13:", true},
  };
  for (const auto& [operands, dense] : cases) {
    SCOPED_TRACE(operands);
    run(operands);
    bool packed = false;
    const std::string want = product("a*b", INT64_MAX, &packed);
    EXPECT_EQ(product("a*b", 0, &packed), want);
    EXPECT_EQ(packed, dense);
  }
}

// The sweep's elements, every exponent below n: c := a*b reduced by
// t^n + t + 3 and s^n + t s + 1 modulo 32003, at (s, t) = (3, 5), is what
// Singular's reduce(a*b, std(...)) gives there.
TEST_F(TowerProduct, SingularValues) {
  const std::vector<std::pair<int, int>> cases = {{8, 2041}, {20, 8589}, {40, 19700}};
  for (const auto& [n, value] : cases) {
    SCOPED_TRACE("n = " + std::to_string(n));
    const std::string e = std::to_string(n), m = std::to_string(n - 1);
    run("&(J = x)\n&(J > s)\n&(J > t)\na := 0: b := 0:\nfor i = 0 to " + m + " do for j = 0 to " +
        m +
        " do a := a + ((7*i + 3*j*j + 1) | 97)*t^i*s^j; b := b + ((5*i*i + j + 2) | 89)*t^i*s^j od "
        "od:\n&(P = t^" +
        e + " + t + 3)\n&(P = s^" + e + " + t*s + 1)\n&(p = 32003)");
    const long before = mult_routes.tower;
    EXPECT_EQ(run("c := a*b:\nc#(0, 3, 5);"), "number " + std::to_string(value));
    EXPECT_GT(mult_routes.tower, before);
    leave_to_the_rationals();
  }
}

}  // namespace
}  // namespace tavrin::test
