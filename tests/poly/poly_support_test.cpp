// The polynomial test support itself: the parser, the builder, the reader,
// the printers and the validator, checked against hand-made structures.
#include <gtest/gtest.h>

#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

TEST(RefPoly, ParserAgreesWithArithmetic) {
  const std::vector<std::string> v{"x", "y"};
  EXPECT_EQ(parse_ref("(x + 1)^2", v), parse_ref("x^2 + 2*x + 1", v));
  EXPECT_EQ(parse_ref("(x - y)*(x + y)", v), parse_ref("x^2 - y^2", v));
  EXPECT_EQ(parse_ref("x - x", v), RefPoly(2));
  EXPECT_EQ(parse_ref("-3*x^2*y + 5", v).coefficient({2, 1}), BigRef(-3));
  EXPECT_EQ(parse_ref("x^-2*y", v).coefficient({-2, 1}), BigRef(1));
  EXPECT_EQ(parse_ref("123456789012345678901234567890", v).coefficient({0, 0}),
            BigRef::from_decimal("123456789012345678901234567890"));
  EXPECT_EQ(parse_ref("3*x^2*y + 5", v).to_string(v), "3*x^2*y + 5");
  EXPECT_EQ(parse_ref("-x + y^3 - 2", v).to_string(v), "-x + y^3 - 2");
}

TEST(PolyBuilder, StructuresOfTheRepresentation) {
  PolyVars vars({"x", "y", "z"});
  NodeBalance balance;
  EXPECT_EQ(dump_poly(Poly("3*x^2 + 5")), "[2:3; 5]");
  EXPECT_EQ(dump_poly(Poly("y")), "[0:[1:1]]");
  EXPECT_EQ(dump_poly(Poly("x*y + 2")), "[1:[1:1]; 2]");
  EXPECT_EQ(dump_poly(Poly("z")), "[0:[0:[1:1]]]");
  EXPECT_EQ(dump_poly(Poly("7")), "7");
  EXPECT_EQ(dump_poly(Poly("0")), "0");
  EXPECT_EQ(dump_poly(Poly("x + y")), "[1:1; 0:[1:1]]");
  EXPECT_EQ(dump_poly(Poly("x*z^2 - 4")), "[1:[0:[2:1]]; -4]");
  EXPECT_EQ(dump_poly(Poly("y^2 + y*z + 1")), "[0:[2:1; 1:[1:1]; 1]]");
}

TEST(PolyBuilder, RandomRoundTripsAreValid) {
  PolyVars vars({"x", "y", "z", "w"});
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(300); ++i) {
    const RefPoly r = random_refpoly(rng, 4, 12, 5, 3);
    SCOPED_TRACE(r.to_string(vars.names()));
    Poly p(r);
    ASSERT_TRUE(valid_poly(p));
    ASSERT_EQ(read_poly(p), r);
    ASSERT_EQ(parse_ref(p.str(), vars.names()), r);
  }
}

TEST(PolyBuilder, ModesHoldTheirOwnField) {
  PolyVars vars({"x"});
  NodeBalance balance;
  {
    ModulusScope m(7);
    Poly p("10*x - 1");
    EXPECT_EQ(p->pcoef->ncoef->lint, 3);
    EXPECT_EQ(p->next->ncoef->lint, 6);
    EXPECT_TRUE(valid_poly(p));
    Poly z("7*x");
    EXPECT_EQ(dump_poly(z), "0");
  }
  {
    FloatingMode f;
    Poly p("2*x + 3");
    EXPECT_EQ(p->pcoef->ncoef->flote, 2.0L);
    EXPECT_EQ(read_poly(p), parse_ref("2*x + 3", vars.names()));
  }
}

TEST(PolyVarsGuard, SetsAndRestoresTheVariableGlobals) {
  const std::int32_t before = number_polys;
  const polypt names_before = polynames;
  {
    PolyVars vars({"zeta", "alpha", "Beta"});
    EXPECT_EQ(number_polys, 3);
    EXPECT_STREQ(polynames->let.name, "zeta");
    EXPECT_EQ(vars.level(3)->depth, 3);
    EXPECT_STREQ(polyvar[0], "Beta");  // upper case sorts first
    EXPECT_STREQ(polyvar[1], "alpha");
    EXPECT_STREQ(polyvar[2], "zeta");
    EXPECT_EQ(current_var_names(), (std::vector<std::string>{"zeta", "alpha", "Beta"}));
  }
  EXPECT_EQ(number_polys, before);
  EXPECT_EQ(polynames, names_before);
}

// Hand-made structures, each breaking one rule of the representation.
class Malformed : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y"};
  static poly leaf(std::int64_t v) { return make_leaf(BigRef(v)); }
  void expect_invalid(poly p, const std::string& why) {
    Poly owner = Poly::adopt(p);
    auto r = valid_poly(owner);
    EXPECT_FALSE(r);
    EXPECT_NE(std::string(r.message()).find(why), std::string::npos) << r.message();
  }
};

TEST_F(Malformed, EachRuleIsChecked) {
  expect_invalid(term(1, leaf(1), term(2, leaf(1))), "not strictly decreasing");
  expect_invalid(term(1, leaf(1), term(1, leaf(1))), "not strictly decreasing");
  {
    poly l = leaf(3);
    l->next = term(1, leaf(1));
    expect_invalid(l, "");
  }
  expect_invalid(term(0, leaf(4)), "exponent 0 over a bare leaf");
  expect_invalid(term(2, leaf(1), leaf(0)), "zero leaf inside a sum");
  expect_invalid(term(2, leaf(0)), "zero leaf inside a sum");
  expect_invalid(term(-1, leaf(1)), "negative exponent outside Laurent mode");
  expect_invalid(term(1, term(1, term(1, leaf(1)))), "below the last variable");
  {
    poly l = leaf(2);
    l->exp = 1;
    expect_invalid(l, "leaf with a non-zero exponent");
  }
  EXPECT_FALSE(valid_poly(nullptr));
}

TEST_F(Malformed, LaurentAllowsNegativeTermsAfterTheLeaf) {
  ScopedValue<bool> l(laurent, true);
  poly c = leaf(3);
  c->next = term(-1, leaf(1));
  Poly p = Poly::adopt(c);
  EXPECT_TRUE(valid_poly(p));
  EXPECT_EQ(read_poly(p), parse_ref("3 + x^-1", vars.names()));
}

}  // namespace
}  // namespace tavrin::test
