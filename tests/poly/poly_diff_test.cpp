// Derivatives in every ground ring against the reference polynomial's own
// falling factorials, the composition of derivatives, Laurent exponents,
// and the out-of-range reports.
#include "poly/poly_diff.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// The k-th derivative of a with respect to variable `var` (0 = top), exact.
RefPoly derivative(const RefPoly& a, int var, int k) {
  RefPoly r(a.nvars());
  const std::size_t v = static_cast<std::size_t>(var);
  for (const auto& [e, c] : a.terms()) {
    BigRef f(1);
    for (int j = 0; j < k; ++j) f = f * BigRef(e[v] - j);
    RefPoly::Exps e2 = e;
    e2[v] -= k;
    r.add_term(e2, c * f);
  }
  return r;
}

// The same in characteristic 2 on field elements: c x^e gives c x^(e-1)
// for odd e when k = 1; every other term vanishes.
RefPoly char2_derivative(const RefPoly& a, int var, int k) {
  RefPoly r(a.nvars());
  const std::size_t v = static_cast<std::size_t>(var);
  for (const auto& [e, c] : a.terms()) {
    if (k != 1 || e[v] % 2 == 0) continue;
    RefPoly::Exps e2 = e;
    e2[v] -= 1;
    r.add_term(e2, c);
  }
  return r;
}

RefPoly expected_derivative(Ring r, const RefPoly& a, int var, int k) {
  if (r == Ring::gf256) return char2_derivative(in_ring(r, a), var, k);
  return in_ring(r, derivative(a, var, k));
}

// A random Laurent polynomial: exponents -3 .. 3 at every level.
RefPoly random_laurent(std::mt19937_64& rng, int nvars, int terms) {
  RefPoly r(nvars);
  const int count = static_cast<int>(rng() % static_cast<unsigned>(terms + 1));
  for (int t = 0; t < count; ++t) {
    RefPoly::Exps e(static_cast<std::size_t>(nvars));
    for (auto& x : e) x = static_cast<std::int32_t>(rng() % 7) - 3;
    r.add_term(e, random_big(rng, 2));
  }
  return r;
}

// ---- Known values --------------------------------------------------------------------------

TEST(Derivative, KnownCases) {
  PolyVars vars({"x"});
  NodeBalance balance;
  {
    Poly p("x^3 + x");
    poly_diff(p.cell(), 2);
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(p.ref(), parse_ref("6*x", vars.names()));
  }
  {
    ModulusScope mod(3);
    Poly p("x^3 + x");
    poly_diff(p.cell(), 2);  // x^3 gives 3 * 2 = 0, x is removed
    EXPECT_TRUE(poly_iszero(p));
  }
  {
    ModulusScope mod(256);
    Poly p("x^3 + x^2 + 1");
    poly_diff(p.cell(), 1);
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(p.ref(), parse_ref("x^2", vars.names()));
  }
  {
    ScopedValue<bool> neg(laurent, true);
    Poly p("x^-1");
    poly_diff(p.cell(), 1);
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(p.ref(), parse_ref("-x^-2", vars.names()));
  }
  {
    Poly p("5");
    poly_diff(p.cell(), 1);
    EXPECT_TRUE(poly_iszero(p));
    Poly q("x^2 + 4*x");
    poly_diff(q.cell(), 3);
    EXPECT_TRUE(poly_iszero(q));
  }
}

TEST(Derivative, LowerVariablesAndCollapsingConstantTerms) {
  PolyVars vars({"x", "y", "z"});
  NodeBalance balance;
  struct Case {
    const char* text;
    int degree, height;
    const char* result;
  };
  const Case cases[] = {
      {"x*y^2 + y", 1, 2, "2*x*y + 1"},  // the constant term collapses to a leaf
      {"x^2*y + x + 7", 1, 2, "x^2"},    // leaves at the top level go
      {"x*y*z^3 + z^2", 2, 3, "6*x*y*z + 2"},
      {"x^3 + y^3", 2, 2, "6*y"},  // a pad is left over y
      {"x^4*y + 2*x", 1, 3, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Poly p(c.text);
    general_poly_diff(p.cell(), c.degree, c.height);
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(p.ref(), parse_ref(c.result, vars.names()));
  }
}

// ---- Random polynomials in every ring ---------------------------------------------------------

TEST(Derivative, AgreesWithTheReferenceInEveryRing) {
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed());
  const Ring rings[] = {Ring::integers, Ring::mod3,  Ring::mod7, Ring::mod65521,
                        Ring::mod_big,  Ring::gf256, Ring::word, Ring::floating};
  for (Ring ring : rings) {
    RingScope scope(ring);
    for (int i = 0; i < test_iterations(120); ++i) {
      const int limbs = ring == Ring::floating ? 1 : 3;
      const RefPoly a = random_refpoly(rng, 3, 10, 7, limbs);
      const int height = 1 + static_cast<int>(rng() % 3);
      const int degree = 1 + static_cast<int>(rng() % (ring == Ring::floating ? 3 : 5));
      SCOPED_TRACE(std::string(ring_name(ring)) + ": " + a.to_string(vars.names()) + ", order " +
                   std::to_string(degree) + ", height " + std::to_string(height));
      NodeBalance balance;
      Poly p(a);
      general_poly_diff(p.cell(), degree, height);
      ASSERT_TRUE(valid_poly(p));
      EXPECT_EQ(p.ref(), expected_derivative(ring, a, height - 1, degree));
    }
  }
}

TEST(Derivative, LaurentPolynomialsAgreeWithTheReference) {
  PolyVars vars({"x", "y"});
  ScopedValue<bool> neg(laurent, true);
  std::mt19937_64 rng(test_seed());
  for (Ring ring : {Ring::integers, Ring::mod7, Ring::gf256}) {
    RingScope scope(ring);
    for (int i = 0; i < test_iterations(150); ++i) {
      const RefPoly a = random_laurent(rng, 2, 8);
      const int height = 1 + static_cast<int>(rng() % 2);
      const int degree = 1 + static_cast<int>(rng() % 3);
      SCOPED_TRACE(std::string(ring_name(ring)) + ": " + a.to_string(vars.names()) + ", order " +
                   std::to_string(degree) + ", height " + std::to_string(height));
      NodeBalance balance;
      Poly p(a);
      ASSERT_TRUE(valid_poly(p));
      general_poly_diff(p.cell(), degree, height);
      ASSERT_TRUE(valid_poly(p));
      EXPECT_EQ(p.ref(), expected_derivative(ring, a, height - 1, degree));
    }
  }
}

TEST(Derivative, OrdersOfSuccessiveDerivativesAdd) {
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  for (bool neg : {false, true}) {
    ScopedValue<bool> lau(laurent, neg);
    for (int i = 0; i < test_iterations(100); ++i) {
      const RefPoly a = neg ? random_laurent(rng, 2, 8) : random_refpoly(rng, 2, 10, 8, 3);
      const int j = 1 + static_cast<int>(rng() % 3);
      const int k = 1 + static_cast<int>(rng() % 3);
      const int height = 1 + static_cast<int>(rng() % 2);
      SCOPED_TRACE(a.to_string(vars.names()));
      Poly twice(a);
      general_poly_diff(twice.cell(), j, height);
      general_poly_diff(twice.cell(), k, height);
      Poly once(a);
      general_poly_diff(once.cell(), j + k, height);
      EXPECT_TRUE(valid_poly(twice));
      EXPECT_TRUE(poly_equal(twice, once));
    }
  }
}

// ---- The derivative built from a kept polynomial ----------------------------------------------

// poly_derivative against poly_diff on a copy in every ring: one and two
// variables, coefficients of one limb (small products) and more, orders 1
// to 3, Laurent exponents; the operand is left as it was.
TEST(Derivative, BuiltFromAKeptPolynomialMatchesTheInPlaceOne) {
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  for (Ring ring :
       {Ring::integers, Ring::mod7, Ring::mod_big, Ring::gf256, Ring::word, Ring::floating}) {
    RingScope scope(ring);
    for (bool neg : {false, true}) {
      ScopedValue<bool> lau(laurent, neg);
      for (int i = 0; i < test_iterations(80); ++i) {
        const int nvars = 1 + static_cast<int>(rng() % 2), degree = 1 + static_cast<int>(rng() % 3);
        const int limbs = ring == Ring::floating ? 1 : 1 + static_cast<int>(rng() % 6);
        const RefPoly a =
            neg ? random_laurent(rng, nvars, 8) : random_refpoly(rng, nvars, 12, 9, limbs);
        SCOPED_TRACE(std::string(ring_name(ring)) + ": " + a.to_string(vars.names()) + "'" +
                     std::to_string(degree));
        NodeBalance balance;
        Poly p(a), in_place(a);
        const std::string before = node_shape(p);
        poly_diff(in_place.cell(), degree);
        Poly built = Poly::adopt(poly_derivative(p, degree));
        EXPECT_EQ(valid_poly(built), valid_poly(in_place));  // word inputs may wrap to 0
        EXPECT_TRUE(poly_equal(built, in_place));
        EXPECT_EQ(node_shape(p), before);
      }
    }
  }
  // Products by the exponent up to the largest limb, of integers of one limb
  // and of several; past it as in place, reported.
  const BigRef long_coefficient = BigRef(-123456789) * BigRef(987654321) * BigRef(555555555);
  for (const std::int32_t e : {268435455, 268435456}) {
    for (const BigRef& c : {BigRef(-3), long_coefficient}) {
      RefPoly a(1);
      a.add_term({e}, c);
      a.add_term({2}, long_coefficient);
      a.add_term({0}, BigRef(7));
      Poly p(a), in_place(a);
      testing::internal::CaptureStdout();
      Poly built = Poly::adopt(poly_derivative(p, 1));
      const std::string built_out = testing::internal::GetCapturedStdout();
      testing::internal::CaptureStdout();
      poly_diff(in_place.cell(), 1);
      EXPECT_EQ(built_out, testing::internal::GetCapturedStdout()) << e;
      EXPECT_EQ(built.ref(), in_place.ref()) << e;
    }
  }
}

// ---- Limits ----------------------------------------------------------------------------------

TEST(Derivative, OutsizedFactorsAreReportedAndTheProductStaysExact) {
  PolyVars vars({"x"});
  const std::int32_t e = 536870912;  // 2^29
  Poly p = Poly::adopt(term(e, leaf(3), term(1, leaf(1))));
  testing::internal::CaptureStdout();
  poly_diff(p.cell(), 2);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Tavrin error.  outsized exponent in derivative"), std::string::npos)
      << out;
  EXPECT_TRUE(valid_poly(p));
  RefPoly::Exps ex = {e - 2};
  RefPoly expected(1);
  expected.add_term(ex, BigRef(3) * BigRef(e) * BigRef(e - 1));
  EXPECT_EQ(p.ref(), expected);
}

TEST(Derivative, ExponentOverflowIsRaisedBeforeAnythingChanges) {
  PolyVars vars({"x"});
  ScopedValue<bool> neg(laurent, true);
  ScopedValue<bool> no_push(errorpush, false);
  const std::int32_t low = std::numeric_limits<std::int32_t>::min() + 2;
  Poly p = Poly::adopt(term(4, leaf(1), leaf(5, term(low, leaf(2)))));
  const std::string before = node_shape(p);
  testing::internal::CaptureStdout();
  EXPECT_THROW(poly_diff(p.cell(), 3), TopLevelJump);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(node_shape(p), before);
}

// The derivative built from a kept polynomial checks the lowest exponent
// when it first meets a term that could raise another error; whatever
// comes first, it reports what the in-place derivative (which checks before
// anything else) reports, frees all it built and leaves the operand alone.
TEST(Derivative, BuiltFromAKeptPolynomialReportsTheInPlaceError) {
  PolyVars vars({"x", "y"});
  ScopedValue<bool> neg(laurent, true);
  ScopedValue<bool> no_push(errorpush, false);
  const std::int32_t low = std::numeric_limits<std::int32_t>::min() + 1;
  const std::int32_t outsized = 536870912;  // 2^29: beyond a limb
  const BigRef long_c = BigRef(-123456789) * BigRef(987654321) * BigRef(555555555);
  struct Case {
    const char* what;
    Ring ring;
    std::vector<std::pair<std::int32_t, BigRef>> terms;  // (exponent, coefficient)
    bool y_coefficient;                                  // the first term's coefficient times y
    int degree;
  };
  const std::vector<Case> cases = {
      {"one-limb terms, then the overflow",
       Ring::integers,
       {{9, 4}, {3, 1}, {0, 5}, {low, 2}},
       false,
       2},
      {"an outsized exponent first", Ring::integers, {{outsized, 3}, {4, 1}, {low, 2}}, false, 2},
      {"a long coefficient first", Ring::integers, {{7, long_c}, {low, 1}}, false, 1},
      {"a coefficient in y first", Ring::integers, {{6, 5}, {low, 1}}, true, 3},
      {"residues, then the overflow", Ring::mod_big, {{8, 3}, {2, 7}, {low, 4}}, false, 2},
      {"an outsized exponent alone", Ring::integers, {{outsized, 3}, {1, 1}}, false, 2},
      {"in range", Ring::integers, {{268435455, 3}, {-5, 1}, {low + 2, 2}}, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RingScope scope(c.ring);
    RefPoly a(2);
    for (const auto& [e, v] : c.terms) a.add_term({e, 0}, v);
    if (c.y_coefficient) a.add_term({c.terms.front().first, 1}, BigRef(2));
    Poly p(a), in_place(a);
    const std::string before = node_shape(p);
    testing::internal::CaptureStdout();
    bool in_place_threw = false;
    try {
      poly_diff(in_place.cell(), c.degree);
    } catch (const TopLevelJump&) {
      in_place_threw = true;
    }
    const std::string in_place_out = testing::internal::GetCapturedStdout();
    NodeBalance balance;
    testing::internal::CaptureStdout();
    std::optional<Poly> built;
    try {
      built.emplace(Poly::adopt(poly_derivative(p, c.degree)));
    } catch (const TopLevelJump&) {
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), in_place_out);
    EXPECT_EQ(built.has_value(), !in_place_threw);
    if (built) {
      EXPECT_TRUE(poly_equal(*built, in_place));
      built.reset();
    }
    EXPECT_EQ(node_shape(p), before);
  }
}

TEST(Derivative, OrderBelowOneLeavesThePolynomialAlone) {
  PolyVars vars({"x", "y"});
  Poly p("x^2*y + 3*y + 4");
  const std::string before = node_shape(p);
  poly_diff(p.cell(), 0);
  general_poly_diff(p.cell(), 0, 2);
  EXPECT_EQ(node_shape(p), before);
}

}  // namespace
}  // namespace tavrin::test
