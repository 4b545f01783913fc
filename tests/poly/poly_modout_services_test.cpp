// The reduction routines of the polynomial code together with the services
// they call: the reduction by one relation (mod_out_poly), the inverse of a
// field element (poly_mod_invert), the normal form of a value (check_quoly)
// and the GCD driver (polygcd).
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
  const RefPoly nref = reduce(ref("(2*x + y)*(2*x + 1)")), mref = reduce(ref("(2*x + y)*(x - y)"));
  Poly n(nref), m(mref), com("2*x + y"), num, den, mu;
  const std::string out = output_of([&] {
    field_reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), mu.cell(),
                 {.nflag = true, .dflag = true});
  });
  EXPECT_EQ(out, "");
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

TEST(ModOutResults, AFieldDenominatorIsInverted) {
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

TEST(ModOutResults, TheLeadingCoefficientOverTheFieldBecomesAnInteger) {
  PolyVars vars{"x", "y"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  ModOutScope field(vars, 2, "y^2 - 2", true);
  Value v = Value::ratfun("x", "y*x + 1");  // = x*y / (2*x + y)
  normal_form(v, false);
  EXPECT_EQ(read_poly(v->numer), ref("x*y"));
  EXPECT_EQ(read_poly(v->denom), ref("2*x + y"));
}

TEST(ModOutResults, InstallingARelationThatKillsTheDenominator) {
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

TEST(ModOutResults, TotalReductionAgreesWithTheReference) {
  PolyVars vars{"s", "t"};
  std::mt19937_64 rng(test_seed() + 51);
  for_each_ring({Ring::integers, Ring::mod7}, [&](Ring ring) {
    const TwoLevelTower tower(vars, ring);
    for (int i = 0; i < test_iterations(20); ++i) {
      const RefPoly a = in_ring(ring, random_refpoly(rng, 2, 6, 7, 2));
      SCOPED_TRACE(a.to_string(vars.names()));
      Poly p(a);
      total_poly_modout(p.cell(), polynames);
      ASSERT_TRUE(valid_poly(p));
      ASSERT_EQ(p.ref(), tower.reduce(tower.reduce_t(a)));
    }
  });
}

TEST(ModOutResults, LaurentFoldByAPolynomialRelation) {
  PolyVars vars{"t"};
  ScopedValue<bool> l(laurent, true);
  ScopedValue<bool> field(vars.level(1)->field, true);  // the inverse of t lies in a field
  NodeBalance balance;
  Poly rel("t^2 - t - 1");  // 1/t = t - 1
  Poly p("t^-1");
  fold_poly(p.cell(), rel.cell(), 2, vars.level(1));
  EXPECT_EQ(p.ref(), parse_ref("t - 1", vars.names()));
}

}  // namespace
}  // namespace tavrin::test
