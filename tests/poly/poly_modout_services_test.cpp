// The calls of the reduction routines into the services of the rational
// function and GCD code: the reduction by one relation (mod_out_poly), the
// inverse of a field element (poly_mod_invert), the normal form of a value
// (check_quoly) and the GCD driver (polygcd).
//
// While a service is still a placeholder, each call of it prints
// "*** Tavrin error. <name> not available" and returns without a result.
// The first group of tests counts those reports to check which services are
// called, how often and in what state, and that the caller goes on soundly.
// When a service arrives, its counts here give way to the DISABLED_ tests
// at the end, which state the results the routines must then give.
#include "poly/poly_modout.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// The number of placeholder reports of the service `name` in out.
int reports(const std::string& out, const std::string& name) {
  const std::string line = "*** Tavrin error. " + name + " not available";
  int n = 0;
  for (std::size_t at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) ++n;
  return n;
}

// The relation fields of one level, recorded each time a nested command
// level opens (every placeholder opens one).
polypt watched_level = nullptr;
std::vector<std::pair<poly, poly>> seen_relations;  // (p, alt)
void record_level() { seen_relations.emplace_back(watched_level->p, watched_level->alt); }

class WatchLevel {
 public:
  explicit WatchLevel(polypt level) : runner_(run_command_level, record_level) {
    watched_level = level;
    seen_relations.clear();
  }

 private:
  ScopedValue<command_level_runner> runner_;
};

// ---- Calls while the services are placeholders -----------------------------------------------

TEST(ModOutServices, TotalReductionReducesEachLevelThatInvolvesItsVariable) {
  PolyVars vars{"x", "t"};
  NodeBalance balance;
  ModOutScope bottom(vars, 2, "t^3 - t - 1");
  // Three coefficients begin with a term of t (the constant term t^5 too);
  // x has no relation.
  Poly p("x^2*(t^4 + 1) + x*t + 5*x + t^5");
  const std::string shape = node_shape(p);
  testing::internal::CaptureStdout();
  total_poly_modout(p.cell(), polynames);
  EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 3);
  EXPECT_EQ(node_shape(p), shape);
  {
    ModOutScope top(vars, 1, "x^2 - 2");
    testing::internal::CaptureStdout();
    total_poly_modout(p.cell(), polynames);  // and once by x's relation
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 4);
    Poly no_x("t^4 + t");  // does not involve x: x's level is left alone
    testing::internal::CaptureStdout();
    total_poly_modout(no_x.cell(), polynames);
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 1);
    Poly no_t("x^3 + 2*x");  // numbers as coefficients: the top level only
    testing::internal::CaptureStdout();
    total_poly_modout(no_t.cell(), polynames);
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 1);
    EXPECT_TRUE(valid_poly(no_t));
  }
  Poly in_t("t^4 + 2", {"t"});  // the bottom level by itself
  testing::internal::CaptureStdout();
  total_poly_modout(in_t.cell(), vars.level(2));
  EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 1);
}

TEST(ModOutServices, AboveTheFieldEveryRelationIsApplied) {
  PolyVars vars{"a", "b", "c"};
  ModulusScope mod(7);
  NodeBalance balance;
  ModOutScope c(vars, 3, "c^2 - 3", true);
  ModOutScope b(vars, 2, "b^2 - c*b - 1");
  ModOutScope a(vars, 1, "a^2 - 2");
  Poly p("a^3*b + c");
  testing::internal::CaptureStdout();
  above_field_modout(p.cell());
  EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 2);
  vars.level(3)->field = false;  // no field: every level
  ScopedValue<std::int16_t> no_field(field_depth, 0);
  testing::internal::CaptureStdout();
  above_field_modout(p.cell());
  EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 3);
}

TEST(ModOutServices, NormalFormAsksForFieldInversesAndGoesOnWithoutThem) {
  PolyVars vars{"x", "y"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  ModOutScope field(vars, 2, "y^2 - 2", true);
  {
    Value v = Value::ratfun("2", "-4*y");  // a denominator in the field
    testing::internal::CaptureStdout();
    normal_form(v, false);
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "poly_mod_invert"), 1);
    ASSERT_FALSE(v->numb);
    EXPECT_EQ(read_poly(v->numer), ref("-1"));  // contents and sign all the same
    EXPECT_EQ(read_poly(v->denom), ref("2*y"));
  }
  {
    Value v = Value::ratfun("x", "y*x + 1");  // leading coefficient y over the field
    testing::internal::CaptureStdout();
    normal_form(v, false);
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "poly_mod_invert"), 1);
    EXPECT_EQ(read_poly(v->numer), ref("x"));
    EXPECT_EQ(read_poly(v->denom), ref("y*x + 1"));
  }
  {
    Value v = Value::ratfun("x", "x^2 + 1");  // leading coefficient 1: nothing to invert
    testing::internal::CaptureStdout();
    normal_form(v, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  }
  {
    ModOutScope top(vars, 1, "x^2 - 3");  // a relation above the field
    ScopedValue<bool> l(laurent, true);
    Value v = Value::ratfun("y + 1", "x^3 + x");
    testing::internal::CaptureStdout();
    normal_form(v, true);  // x moves out, then the numerator is reduced by x's relation
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 1);
    EXPECT_EQ(read_poly(v->numer), ref("x^-1*(y + 1)"));
    EXPECT_EQ(read_poly(v->denom), ref("x^2 + 1"));
  }
}

TEST(ModOutServices, InstallingARelationReducesBothPartsThenNormalisesWithTheRelationInPlace) {
  PolyVars vars{"t"};
  NodeBalance balance;
  Poly modder("-1"), alter("t^2 + 1"), md;  // t^2 = -1
  polypt level = vars.level(1);
  WatchLevel watch(level);
  {
    Value v = Value::number(BigRef(5));
    testing::internal::CaptureStdout();
    mod_out_quoly(v.cell(), modder.cell(), alter.cell(), md.cell(), 1, 2, level);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(number_value(v->ncoef), BigRef(5));
  }
  {
    Value v = Value::ratfun("7");  // a constant without denominator
    testing::internal::CaptureStdout();
    mod_out_quoly(v.cell(), modder.cell(), alter.cell(), md.cell(), 1, 2, level);
    EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "mod_out_poly"), 1);
    ASSERT_TRUE(v->numb);
    EXPECT_EQ(number_value(v->ncoef), BigRef(7));
  }
  {
    Value v = Value::ratfun("t^3", "t^2 + 2");
    seen_relations.clear();
    testing::internal::CaptureStdout();
    mod_out_quoly(v.cell(), modder.cell(), alter.cell(), md.cell(), 1, 2, level);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(reports(out, "mod_out_poly"), 2);
    // The reductions ran without the relation on the level; the value is
    // then normalised (coprime parts: it stays as it is), and afterwards
    // the level is free again.
    ASSERT_EQ(seen_relations.size(), 2u);
    EXPECT_EQ(seen_relations[0], std::make_pair(poly{nullptr}, poly{nullptr}));
    ASSERT_FALSE(v->numb);
    ASSERT_NE(v->denom, nullptr);
    EXPECT_EQ(show_poly(v->numer), "t^3");
    EXPECT_EQ(show_poly(v->denom), "t^2 + 2");
    EXPECT_EQ(level->p, nullptr);
    EXPECT_EQ(level->alt, nullptr);
    EXPECT_EQ(level->multdata, nullptr);
  }
}

TEST(ModOutServices, LaurentFoldAsksForTheInverseOfTheVariableWithTheRelationInPlace) {
  PolyVars vars{"t", "x"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  Poly rel("t^2 - t - 1");
  WatchLevel watch(vars.level(1));
  Poly p("t^3 + x + t^-2");
  testing::internal::CaptureStdout();
  fold_poly(p.cell(), rel.cell(), 2, vars.level(1));
  EXPECT_EQ(reports(testing::internal::GetCapturedStdout(), "poly_mod_invert"), 1);
  ASSERT_EQ(seen_relations.size(), 1u);
  EXPECT_EQ(seen_relations[0].first, rel.get());
  EXPECT_EQ(vars.level(1)->p, nullptr);
  // t^3 = 2t + 1; without an inverse of t the negative term stays.
  EXPECT_TRUE(valid_poly(p));
  EXPECT_EQ(p.ref(), ref("2*t + 1 + x + t^-2"));
}

// c1 n = q1 com and c2 m = q2 com with the multipliers c1 = c2 = 2 of the
// pseudo-divisions by 2x + y; the GCDs of q1 with c1 and of q2 with c2
// cancel them, so num = n / com, den = m / com and mu = 1 exactly, and
// num / den = n / m.
TEST(ModOutServices, FieldReduceWithFieldLevelsKeepsTheQuotient) {
  PolyVars vars{"x", "y"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  ModOutScope field(vars, 2, "y^2 - 2", true);
  const RefPoly two = ref("2");
  auto reduce = [&](const RefPoly& a) { return fold_ref(Ring::integers, a, 1, 2, two); };
  const RefPoly nref = reduce(ref("(2*x + y)*(2*x + 1)")),
                mref = reduce(ref("(2*x + y)*(x - y)"));
  Poly n(nref), m(mref), com("2*x + y"), num, den, mu;
  const std::string out = output_of([&] {  // the products under y^2 = 2 still report
    field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(), false, false,
                 true, true);
  });
  EXPECT_EQ(reports(out, "polygcd"), 0);
  ASSERT_TRUE(valid_poly(num));
  ASSERT_TRUE(valid_poly(den));
  ASSERT_TRUE(valid_poly(mu));
  EXPECT_EQ(num.ref(), ref("2*x + 1"));
  EXPECT_EQ(den.ref(), ref("x - y"));
  EXPECT_EQ(mu.ref(), ref("1"));
  EXPECT_EQ(reduce(num.ref() * mref), reduce(den.ref() * nref));
  EXPECT_EQ(reduce(num.ref() * com.ref()), reduce(nref * mu.ref()));
  EXPECT_EQ(reduce(den.ref() * com.ref()), reduce(mref * mu.ref()));
  EXPECT_EQ(n.ref(), nref);
}

// ---- Results once the services exist ---------------------------------------------------------

TEST(ModOutResults, DISABLED_AFieldDenominatorIsInverted) {
  PolyVars vars{"y"};
  NodeBalance balance;
  ModOutScope field(vars, 1, "y^2 - 2", true);
  Value v = Value::ratfun("1", "y");  // 1/y = y/2
  normal_form(v, false);
  ASSERT_FALSE(v->numb);
  EXPECT_EQ(dump_poly(v->numer), "[1:1]");
  EXPECT_EQ(dump_poly(v->denom), "2");
  EXPECT_FALSE(v->rat);
}

TEST(ModOutResults, DISABLED_TheLeadingCoefficientOverTheFieldBecomesAnInteger) {
  PolyVars vars{"x", "y"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  ModOutScope field(vars, 2, "y^2 - 2", true);
  Value v = Value::ratfun("x", "y*x + 1");  // = x*y / (2*x + y)
  normal_form(v, false);
  EXPECT_EQ(read_poly(v->numer), ref("x*y"));
  EXPECT_EQ(read_poly(v->denom), ref("2*x + y"));
}

TEST(ModOutResults, DISABLED_InstallingARelationThatKillsTheDenominator) {
  PolyVars vars{"t"};
  NodeBalance balance;
  Poly modder("-1"), alter("t^2 + 1"), md;
  Value v = Value::ratfun("1", "t^2 + 1");
  testing::internal::CaptureStdout();
  mod_out_quoly(v.cell(), modder.cell(), alter.cell(), md.cell(), 1, 2, vars.level(1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " Warning.  In converting to poly-mod-out, a denominator became 0.\n"
            "   That quoly has been set to 0.\n");
  ASSERT_TRUE(v->numb);
  EXPECT_EQ(number_value(v->ncoef), BigRef(0));
}

TEST(ModOutResults, DISABLED_TotalReductionAgreesWithTheReference) {
  PolyVars vars{"s", "t"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  std::mt19937_64 rng(test_seed() + 51);
  for (Ring ring : {Ring::integers, Ring::mod7}) {
    SCOPED_TRACE(ring_name(ring));
    RingScope scope(ring);
    NodeBalance balance;
    ModOutScope lower(vars, 2, "t^3 - t - 1");
    ModOutScope upper(vars, 1, "s^2 - t*s - 1");
    for (int i = 0; i < test_iterations(20); ++i) {
      const RefPoly a = in_ring(ring, random_refpoly(rng, 2, 6, 7, 2));
      SCOPED_TRACE(a.to_string(vars.names()));
      Poly p(a);
      total_poly_modout(p.cell(), polynames);
      ASSERT_TRUE(valid_poly(p));
      const RefPoly in_t = fold_ref(ring, a, 1, 3, in_ring(ring, ref("t + 1")));
      ASSERT_EQ(p.ref(), fold_ref(ring, fold_ref(ring, in_t, 0, 2, in_ring(ring, ref("t*s + 1"))),
                                  1, 3, in_ring(ring, ref("t + 1"))));
    }
  }
}

TEST(ModOutResults, DISABLED_LaurentFoldByAPolynomialRelation) {
  PolyVars vars{"t"};
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  Poly rel("t^2 - t - 1");  // 1/t = t - 1
  Poly p("t^-1");
  fold_poly(p.cell(), rel.cell(), 2, vars.level(1));
  EXPECT_EQ(p.ref(), parse_ref("t - 1", vars.names()));
}

}  // namespace
}  // namespace tavrin::test
