// Changing one coefficient of random polynomials (with and without negative
// exponents) against a test-side polynomial; random moves and swaps between
// variables, dense elements and present and absent sparse entries run
// through the program against a test-side store; the generic variable names
// and the date line.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "arrays/second_builtins.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/program_run.h"
#include "support/refpoly.h"

namespace tavrin::test {
namespace {

using Exps = RefPoly::Exps;

class ChangeCoef : public testing::Test {
 protected:
  ChangeCoef() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }
  BigModeGuard big;

  // quoly_set_coef on *v with the text after the target ("," e ... ":=" c);
  // or set_coef on the polynomial *p, level exponents read before.
  static void set_by_text(quolyptr v, const std::string& text, poly* p = nullptr,
                          std::int16_t level = 0) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    if (p != nullptr) {
      set_coef(p, &stream, &zilch, level);
    } else {
      quoly_set_coef(v, &stream, &zilch);
    }
  }
};

TEST_F(ChangeCoef, RandomCoefficientsAgreeWithTheTestSidePolynomial) {
  std::mt19937_64 rng(test_seed());
  const PolyVars vars({"x", "y", "z"});
  const bool saved_laurent = laurent;
  for (int i = 0; i < test_iterations(120); ++i) {
    laurent = i % 2 == 1;
    const int nvars = 1 + static_cast<int>(rng() % 3);
    RefPoly f = random_refpoly(rng, 3, 6, 3, 2);
    const int k = 1 + static_cast<int>(rng() % nvars);
    Exps e(3, 0);
    std::string text;
    for (int j = 0; j < k; ++j) {
      e[j] = static_cast<std::int32_t>(rng() % 4) - (laurent ? 1 : 0);
      text += ", " + std::to_string(e[j]);
    }
    // The new coefficient: a constant, plus a term in the next variable down.
    const std::int64_t c = static_cast<std::int64_t>(rng() % 7) - 3;
    const std::int64_t d = k < 3 && rng() % 2 ? static_cast<std::int64_t>(rng() % 5) + 1 : 0;
    text += ") := " + std::to_string(c);
    if (d != 0) text += " + " + std::to_string(d) + "*" + vars.names()[k];
    text += ";";

    RefPoly expected(3);
    for (const auto& [x, a] : f.terms()) {
      if (!std::equal(x.begin(), x.begin() + k, e.begin())) expected.add_term(x, a);
    }
    expected.add_term(e, BigRef(c));
    if (d != 0) {
      Exps ed = e;
      ed[k] = 1;
      expected.add_term(ed, BigRef(d));
    }

    NodeBalance balance;
    quoly v = nullptr;
    poly p = build_poly(f);
    use_up_poly(&p, &v);
    set_by_text(&v, text);
    poly got = nullptr;
    if (v->numb) {
      quoly_to_poly(v, &got);
    } else {
      poly_assign(v->numer, &got);
      EXPECT_TRUE(valid_poly(v->numer, 3)) << text;
    }
    EXPECT_EQ(read_poly(got, 3), expected) << f.to_string(vars.names()) << text;
    free_poly(&got);
    free_quoly(&v);
    // set_coef on the polynomial itself.
    poly q = build_poly(f);
    set_by_text(nullptr, text, &q);
    EXPECT_EQ(read_poly(q, 3), expected) << text;
    free_poly(&q);
  }
  laurent = saved_laurent;
  // Exponents read before the call: the polynomial is the coefficient at
  // those levels, and without further exponents it is replaced whole.
  NodeBalance balance;
  poly g = make_poly("3*x^2*y + x^2 + 5");
  set_by_text(nullptr, ", 0) := 7;", &g->pcoef, 1);  // the coefficient of x^2
  EXPECT_EQ(read_poly(g, 3), parse_ref("3*x^2*y + 7*x^2 + 5", vars.names()));
  set_by_text(nullptr, ") := 2*y;", &g->pcoef, 1);
  EXPECT_EQ(read_poly(g, 3), parse_ref("2*x^2*y + 5", vars.names()));
  free_poly(&g);
}

TEST_F(ChangeCoef, ClearingEveryCoefficientLeavesZero) {
  std::mt19937_64 rng(test_seed() + 1);
  const PolyVars vars({"x", "y"});
  for (int i = 0; i < test_iterations(40); ++i) {
    const RefPoly f = random_refpoly(rng, 2, 6, 3, 1);
    NodeBalance balance;
    quoly v = nullptr;
    poly p = build_poly(f);
    use_up_poly(&p, &v);
    for (const auto& [x, a] : f.terms())
      set_by_text(&v, ", " + std::to_string(x[0]) + ", " + std::to_string(x[1]) + ") := 0;");
    ASSERT_TRUE(v->numb);
    EXPECT_TRUE(quoly_iszero(v));
    free_quoly(&v);
  }
}

// ---- Moves and swaps through the program ---------------------------------------------------

TEST(StorageBuiltins, RandomMovesAndSwapsKeepEveryValue) {
  std::mt19937_64 rng(test_seed() + 2);
  // Places: two variables, two dense elements, three sparse entries.
  const std::vector<std::string> places = {"p",      "q",      "d[1,1]", "d[2,1]",
                                           "s[1,1]", "s[1,2]", "s[2,2]"};
  for (int round = 0; round < test_iterations(4); ++round) {
    std::map<std::string, int> model;
    std::string in = "Array d[2,1]:\nArray s[2,2] Sparse:\n";
    for (const auto& pl : places) {
      const int v = rng() % 3 == 0 ? 0 : static_cast<int>(rng() % 90) + 10;
      model[pl] = v;
      in += pl + " := " + std::to_string(v) + ":\n";
    }
    for (int step = 0; step < 40; ++step) {
      const std::string& a = places[rng() % places.size()];
      const std::string& b = places[rng() % places.size()];
      if (rng() % 2) {
        in += "Swap(" + a + ", " + b + "):\n";
        std::swap(model[a], model[b]);
      } else {
        in += "Move(" + a + ", " + b + "):\n";
        const int v = model[b];
        model[b] = 0;
        model[a] = v;
      }
    }
    std::string expected;
    for (const auto& pl : places) {
      in += pl + ";\n";
      expected += std::to_string(model[pl]) + ",";
    }
    // Every absent sparse entry reads 0, every present one is non-zero.
    in += "[s];\n";
    const std::string out = run_program(in);
    std::string got;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
      pos = out.find(">\n", pos);
      while (pos != std::string::npos && out.compare(pos + 2, 1, " ") != 0)
        pos = out.find(">\n", pos + 2);
      ASSERT_NE(pos, std::string::npos) << out;
      const std::size_t end = out.find('\n', pos + 2);
      std::string line = out.substr(pos + 2, end - pos - 2);
      line.erase(0, line.find_first_not_of(' '));
      got += line + ",";
      pos = end;
    }
    EXPECT_EQ(got, expected) << in << out;
  }
}

TEST(StorageBuiltins, GenericNamesFollowTheLevelsAndDatesEndTheirLine) {
  std::string in;
  std::string names;
  for (int k = 0; k < 79; ++k) {
    const std::string v = "v" + std::to_string(k);
    in += "&(J = " + v + "):\n";
    if (k == 27) in += "ZZ3(v26*v27 + v25);\n";
  }
  in += "ZZ3(v0);\nTime;\n";
  const std::string out = run_program(in);
  // With 28 variables the newest (v27) is the top level: generic z, then y, x.
  EXPECT_NE(out.find("> (y)z + x\n"), std::string::npos) << out;
  EXPECT_NE(out.find("*** Warning: too many variables (> 78). Can't do ZZ3.\n"), std::string::npos);
  // The date line: "Www Mmm dd hh:mm:ss yyyy".
  EXPECT_TRUE(std::regex_search(
      out,
      std::regex(">[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}\n")))
      << out;
}

}  // namespace
}  // namespace tavrin::test
