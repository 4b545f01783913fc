// The reduced form of rational functions (signs, integer contents, constants,
// the Laurent monomial of the denominator) against known answers and the
// invariants of the form on random values, and the division of numerator
// and denominator by a common factor without field levels.
#include "poly/poly_modout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "support/division_pairs.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// ---- Reduced form --------------------------------------------------------------------------

class NormalFormTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }

  // normal_form of numer / denom; "" for no denominator.
  static Value normalised(const std::string& numer, const std::string& denom, bool laur = false) {
    Value v = Value::ratfun(numer, denom);
    normal_form(v, laur);
    return v;
  }
  // The value as numerator and denominator texts ("" for none; a number
  // value is its number over "").
  std::pair<RefPoly, std::string> parts(const Value& v) const {
    if (v->numb) return {RefPoly::constant(2, number_value(v->ncoef)), "number"};
    EXPECT_TRUE(valid_poly(v->numer));
    if (v->denom == nullptr) return {read_poly(v->numer), ""};
    EXPECT_TRUE(valid_poly(v->denom));
    return {read_poly(v->numer), read_poly(v->denom).to_string(vars.names())};
  }
};

TEST_F(NormalFormTest, SignsContentsAndConstants) {
  NodeBalance balance;
  Value v = normalised("1", "1 - x");
  EXPECT_EQ(parts(v), std::make_pair(ref("-1"), std::string("x - 1")));
  EXPECT_FALSE(v->rat);
  v = normalised("6*x + 4", "10*y");
  EXPECT_EQ(parts(v), std::make_pair(ref("3*x + 2"), std::string("5*y")));
  v = normalised("6*x", "-4*y");
  EXPECT_EQ(parts(v), std::make_pair(ref("-3*x"), std::string("2*y")));
  v = normalised("3*x", "3");  // the denominator 1 is dropped
  EXPECT_EQ(parts(v), std::make_pair(ref("x"), std::string("")));
  v = normalised("x*y", "1");
  EXPECT_EQ(parts(v), std::make_pair(ref("x*y"), std::string("")));
  v = normalised("6", "3");  // a constant without denominator: a number
  EXPECT_EQ(parts(v), std::make_pair(ref("2"), std::string("number")));
  v = normalised("2", "4");
  EXPECT_EQ(parts(v), std::make_pair(ref("1"), std::string("2")));
  EXPECT_TRUE(v->rat);
  v = normalised("4", "-6");
  EXPECT_EQ(parts(v), std::make_pair(ref("-2"), std::string("3")));
  EXPECT_TRUE(v->rat);
  v = normalised("x + 1", "-x*y - y");  // no common factor is looked for here
  EXPECT_EQ(parts(v), std::make_pair(ref("-x - 1"), std::string("x*y + y")));
}

TEST_F(NormalFormTest, LaurentMovesTheDenominatorsMonomialIntoTheNumerator) {
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  Value v = normalised("1", "x^3 + x^2", true);
  EXPECT_EQ(parts(v), std::make_pair(ref("x^-2"), std::string("x + 1")));
  v = normalised("1", "x^3 + x^2", false);  // without the Laurent treatment
  EXPECT_EQ(parts(v), std::make_pair(ref("1"), std::string("x^3 + x^2")));
  v = normalised("x + y", "x^2*y^3 + x*y^2", true);
  EXPECT_EQ(parts(v), std::make_pair(ref("x^-1*y^-2*(x + y)"), std::string("x*y + 1")));
  v = normalised("y", "x^2", true);  // the whole denominator moves
  EXPECT_EQ(parts(v), std::make_pair(ref("x^-2*y"), std::string("")));
  EXPECT_FALSE(v->numb);
  v = normalised("3", "-2*x", true);
  EXPECT_EQ(parts(v), std::make_pair(ref("-3*x^-1"), std::string("2")));
  v = normalised("5", "-x*y^2", true);  // a constant over a monomial
  EXPECT_EQ(parts(v), std::make_pair(ref("-5*x^-1*y^-2"), std::string("")));
}

// Planted common integer factors and signs: the value is kept (cross
// products), the contents come out coprime, the denominator's leading
// number positive and, in Laurent mode, free of a monomial factor.
TEST_F(NormalFormTest, RandomValuesKeepTheirValueAndReachTheForm) {
  std::mt19937_64 rng(test_seed() + 41);
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  for (int i = 0; i < test_iterations(60); ++i) {
    const bool laur = i % 2 == 1;
    RefPoly a = random_refpoly(rng, 2, 4, 3, 2);
    RefPoly b = random_refpoly(rng, 2, 4, 3, 2);
    if (a.is_zero() || b.is_zero()) continue;
    const BigRef k = BigRef(static_cast<std::int64_t>(rng() % 60) - 30);
    if (k == BigRef(0)) continue;
    const RefPoly mono = RefPoly::variable(2, 0, static_cast<int>(rng() % 3)) *
                         RefPoly::variable(2, 1, static_cast<int>(rng() % 3));
    const RefPoly n = a.scaled(k) * mono;
    const RefPoly d = b.scaled(k) * mono;
    SCOPED_TRACE(n.to_string(vars.names()) + "  over  " + d.to_string(vars.names()));
    Value v = Value::ratfun(n.to_string(vars.names()), d.to_string(vars.names()));
    normal_form(v, laur);
    RefPoly num(2), den = RefPoly::constant(2, 1);
    if (v->numb) {
      num = RefPoly::constant(2, number_value(v->ncoef));
    } else {
      ASSERT_TRUE(valid_poly(v->numer));
      num = read_poly(v->numer);
      if (v->denom != nullptr) {
        ASSERT_TRUE(valid_poly(v->denom));
        den = read_poly(v->denom);
        EXPECT_FALSE(den == RefPoly::constant(2, 1));
        EXPECT_EQ(v->rat, is_constant(num) && is_constant(den));
      } else {
        EXPECT_FALSE(is_constant(num));
      }
    }
    ASSERT_EQ(num * d, n * den);
    // Leading number: the coefficient of the highest exponent vector.
    EXPECT_GT(den.terms().rbegin()->second, BigRef(0));
    BigRef g(0);
    for (const auto& [e, c] : num.terms()) g = BigRef::gcd(g, c);
    for (const auto& [e, c] : den.terms()) g = BigRef::gcd(g, c);
    EXPECT_EQ(g, BigRef(1));
    if (laur) {
      for (std::size_t var = 0; var < 2; ++var) {
        std::int32_t low = 1 << 30;
        for (const auto& [e, c] : den.terms()) low = std::min(low, e[var]);
        EXPECT_EQ(low, 0);
      }
    }
  }
}

TEST_F(NormalFormTest, ModularValuesKeepTheirSign) {
  ModulusScope mod(7);
  NodeBalance balance;
  Value v = normalised("2*x", "6*y + 3");  // residues are not negative
  EXPECT_EQ(parts(v), std::make_pair(ref("2*x"), std::string("6*y + 3")));
  v = normalised("x", "1");
  EXPECT_EQ(parts(v), std::make_pair(ref("x"), std::string("")));
}

// ---- Division by a common factor without field levels ---------------------------------------

class FieldReduceTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

TEST_F(FieldReduceTest, ExactQuotientsInEveryExactRing) {
  std::mt19937_64 rng(test_seed() + 42);
  for_each_ring({Ring::integers, Ring::mod7, Ring::mod65521}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(20); ++i) {
      RefPoly g = in_ring(ring, random_refpoly(rng, 2, 3, 2, 1));
      if (is_constant(g)) g = in_ring(ring, ref("x + 2*y"));
      const RefPoly a = in_ring(ring, random_refpoly(rng, 2, 4, 3, 1));
      RefPoly b = in_ring(ring, random_refpoly(rng, 2, 4, 3, 1));
      if (b.is_zero()) b = RefPoly::constant(2, 3);
      SCOPED_TRACE(a.to_string(vars.names()) + " | " + b.to_string(vars.names()) + " | " +
                   g.to_string(vars.names()));
      Poly n(ring_product(ring, a, g)), m(ring_product(ring, b, g)), com(g), num, den, mu("17");
      const std::string n_before = node_shape(n), mu_before = node_shape(mu);
      const bool keep = i % 2 == 0;
      field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(),
                   {.nflag = keep, .dflag = true});
      ASSERT_TRUE(valid_poly(num));
      ASSERT_TRUE(valid_poly(den));
      EXPECT_EQ(num.ref(), a);
      EXPECT_EQ(den.ref(), b);
      EXPECT_EQ(node_shape(mu), mu_before);  // not touched
      if (keep) {
        EXPECT_EQ(node_shape(n), n_before);
      } else {
        EXPECT_EQ(n.get(), nullptr);  // used up by the trial division
      }
      // In place: the quotients replace the operands.
      Poly n2(ring_product(ring, a, g)), m2(ring_product(ring, b, g));
      field_reduce(n2.cell(), m2.cell(), com.cell(), n2.cell(), m2.cell(), mu.cell(),
                   {.nflag = i % 3 == 0, .dflag = i % 3 != 0});
      EXPECT_EQ(n2.ref(), a);
      EXPECT_EQ(m2.ref(), b);
    }
  });
}

TEST_F(FieldReduceTest, LaurentQuotientsAndFailures) {
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  {
    Poly n("x^-2*(x + 1)*(x + y)"), m("(x - y)*(x + y)"), com("x + y"), num, den, mu;
    field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(),
                 {.el_n = true, .el_m = true, .nflag = true});
    EXPECT_EQ(num.ref(), ref("x^-2*(x + 1)"));
    EXPECT_EQ(den.ref(), ref("x - y"));
    EXPECT_EQ(n.ref(), ref("x^-2*(x + 1)*(x + y)"));  // shifted back
    EXPECT_TRUE(valid_poly(n));
    EXPECT_EQ(mu.get(), nullptr);
  }
  {
    Poly n("x^-2*y^-1*(x + y)^2"), m("x + y"), com("x + y"), num, den, mu;
    field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(),
                 {.el_n = true, .el_m = true, .dflag = true});
    EXPECT_EQ(num.ref(), ref("x^-2*y^-1*(x + y)"));
    EXPECT_EQ(dump_poly(den), "1");
    EXPECT_EQ(n.ref(), ref("(x + y)^2"));  // left shifted
  }
  {
    Poly n("x^2 + 1"), m("x^2 - 1"), com("x - 1"), num, den, mu;
    testing::internal::CaptureStdout();
    field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(),
                 {.el_m = true, .nflag = true, .dflag = true});
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("*** Tavrin error.  field_r1\n", 0), 0u) << out;
    EXPECT_TRUE(valid_poly(num));
    EXPECT_EQ(den.ref(), ref("x + 1"));
  }
  {
    Poly n("x^2 - 1"), m("x^-1*(x^2 + 3)"), com("x - 1"), num, den, mu;
    testing::internal::CaptureStdout();
    field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(),
                 {.el_n = true, .el_m = true, .nflag = true, .dflag = true});
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("*** Tavrin error.  field_r2\n", 0), 0u) << out;
    EXPECT_EQ(num.ref(), ref("x + 1"));
    EXPECT_TRUE(valid_poly(den));
    EXPECT_EQ(m.ref(), ref("x^-1*(x^2 + 3)"));
  }
}

}  // namespace
}  // namespace tavrin::test
