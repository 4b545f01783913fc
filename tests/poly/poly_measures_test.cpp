// Levels, degrees, counts, masses, shape tests, the monomial order, the
// integer content and splitting: known values on both sides of every cut-off,
// cap and saturation value.
#include "poly/poly_measures.h"

#include <gtest/gtest.h>

#include <random>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

class Measures : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }

  // x^(n-1) + ... + x + 1: n leaves, 2n - 1 nodes (with_constant), or
  // x^n + ... + x: n leaves, 2n nodes.
  RefPoly dense_x(int n, bool with_constant = true) const {
    RefPoly r(3);
    for (int e = with_constant ? 0 : 1; e < (with_constant ? n : n + 1); ++e)
      r.add_term({e, 0, 0}, BigRef(1));
    return r;
  }
  // A polynomial with exactly n nodes.
  Poly with_nodes(int n) const { return Poly(dense_x((n + 1) / 2, n % 2 == 1)); }
};

// ---- Levels and degrees -----------------------------------------------------------------

TEST_F(Measures, DepthAndLevel) {
  struct Case {
    const char* p;
    std::int16_t depth, level;
  } cases[] = {{"7", 16384, 0}, {"x", 1, 1},       {"y", 2, 2},       {"z", 3, 3},
               {"x + y", 1, 1}, {"y*z + y", 2, 2}, {"z^2 + 1", 3, 3}, {"x*y + 5", 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    Poly p(c.p);
    EXPECT_EQ(poly_depth(p), c.depth);
    EXPECT_EQ(poly_level(p), c.level);
  }
  ScopedValue<bool> l(laurent, true);
  Poly lp(ref("3 + x^-1"));  // a leaf with a successor
  EXPECT_EQ(poly_depth(lp), 1);
  EXPECT_EQ(poly_level(lp), 1);
}

TEST_F(Measures, DepthBelowAndHeight) {
  struct Case {
    const char* p;
    std::int16_t below, height;
  } cases[] = {{"7", 0, 0}, {"3*x^2 + 5", 1, 1}, {"x*y + 1", 2, 2},
               {"z", 3, 1}, {"y*z", 3, 2},       {"x + z", 3, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    Poly p(c.p);
    EXPECT_EQ(depth_below(p), c.below);
    EXPECT_EQ(poly_height(p), c.height);
  }
  EXPECT_EQ(depth_below(nullptr), 0);
}

TEST_F(Measures, Degrees) {
  Poly p("x^3*(y^2*z^4 + 1) + x*z + 2");
  EXPECT_EQ(real_degree(p, 1), 3);
  EXPECT_EQ(real_degree(p, 2), 2);
  EXPECT_EQ(real_degree(p, 3), 4);
  EXPECT_EQ(real_degree(Poly("x^2"), 3), 0);  // stops at the leaf
  EXPECT_EQ(real_q_degree(Value::number(BigRef(5)), 1), 0);
  EXPECT_EQ(real_q_degree(Value::ratfun("y^4 + x", "x"), 2), 0);
  EXPECT_EQ(real_q_degree(Value::ratfun("x^2*y^4 + x", "x"), 2), 4);

  struct MaxCase {
    const char* p;
    std::int32_t lev, start, expect;
  } mc[] = {{"x^2*y^3 + y", 1, -2147483647, 2}, {"x^2*y^3 + y", 2, -2147483647, 3},
            {"x^2*y + 5", 2, -2147483647, 1},   {"x^2 + 5", 2, -2147483647, 0},
            {"x^2*y^3 + y", 2, 10, 10},         {"x*z^6 + y^2*z", 3, -2147483647, 6}};
  for (const MaxCase& c : mc) {
    SCOPED_TRACE(c.p);
    std::int32_t ans = c.start;
    max_degree(Poly(c.p), c.lev, &ans);
    EXPECT_EQ(ans, c.expect);
  }
}

TEST_F(Measures, CleanDegreeReportsNonPadLevels) {
  EXPECT_EQ(clean_degree(Poly("z^5 + z"), 3), 5);
  EXPECT_EQ(clean_degree(Poly("7"), 3), 0);
  EXPECT_EQ(clean_degree(Poly("y^2 + 1"), 2), 2);
  testing::internal::CaptureStdout();
  EXPECT_EQ(clean_degree(Poly("x*z"), 3), 1);  // reported, then the walk goes on
  EXPECT_EQ(clean_degree(Poly("x + 1"), 3), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Tavrin error. bad u in clean_degree"), std::string::npos);
  EXPECT_NE(out.find("*** Tavrin error. bad number node in clean_degree"), std::string::npos);
}

TEST_F(Measures, SumDegreesBoundsTheTotalDegree) {
  Poly p("x^2*y^3 + x*z^5");
  EXPECT_EQ(sum_degrees(p, 1, 100), 7);  // 2 + max(3, 5): a bound of the true 6
  EXPECT_EQ(sum_degrees(p, 1, 3), 5);    // stops once the bound reaches 3
  EXPECT_GE(sum_degrees(p, 1, 7), 7);
  EXPECT_EQ(sum_degrees(Poly("9"), 1, 100), 0);
  Poly z("z^4*x + z");
  EXPECT_EQ(sum_degrees(z->pcoef->pcoef, 3, 100), 4);  // the last level: its head only
  EXPECT_EQ(sum_degrees(z, 1, 100), 5);
  EXPECT_EQ(sum_degrees(Poly("x^5*y^9"), 1, 5), 5);  // the head alone reaches stop
}

TEST_F(Measures, FieldLevels) {
  ScopedValue<std::int16_t> fd(field_depth, 2);  // y and z form the field
  Poly p("x*(y + 1) + 3");
  polypt pt2 = nullptr;
  EXPECT_EQ(field_leading_coef(p, polynames, &pt2), p->pcoef);
  EXPECT_EQ(pt2, vars.level(2));
  EXPECT_FALSE(exists_field_element(Poly("x^2 + 1"), 1));
  EXPECT_TRUE(exists_field_element(Poly("x*y"), 1));
  EXPECT_TRUE(exists_field_element(Poly("x + z"), 1));
  EXPECT_TRUE(both_above_field_depth(Poly("x^2 + 1"), Poly("x + 3"), 1));
  EXPECT_FALSE(both_above_field_depth(Poly("x^2 + 1"), Poly("x*y"), 1));
  EXPECT_FALSE(both_above_field_depth(Poly("y^2 + 1"), Poly("7"), 2));
  {
    ScopedValue<std::int16_t> none(field_depth, 0);
    EXPECT_EQ(field_leading_coef(p, polynames, &pt2), p.get());
    EXPECT_EQ(pt2, polynames);
  }
  ScopedValue<std::int16_t> f3(field_depth, 3);  // only z
  EXPECT_EQ(max_below(Poly("x*y"), 1), 2);
  EXPECT_EQ(max_below(Poly("x*z"), 1), 1);
  EXPECT_EQ(max_below(Poly("z"), 3), 0);
  EXPECT_EQ(quick_depth_below(Poly("x*(y + z)"), 1), 2);
  EXPECT_EQ(quick_depth_below(Poly("x^2 + 1"), 1), 1);
  EXPECT_EQ(quick_depth_below(nullptr, 1), 1);
  ScopedValue<std::int16_t> f0(field_depth, 0);
  EXPECT_EQ(quick_depth_below(Poly("x*(y + z)"), 1), 3);
}

TEST_F(Measures, DepthOnlyTwoSamplesFourNodesOfEachCoefficient) {
  struct Case {
    const char* p;
    bool expect;
  } cases[] = {{"5", true},
               {"x*y + 1", true},
               {"x*y*z", false},
               {"x*(y^4 + y^3 + y^2 + y*z)", false},       // fourth node sampled
               {"x*(y^5 + y^4 + y^3 + y^2 + y*z)", true},  // fifth node not
               {"x^2*y + x*(y^2 + y*z) + 1", false}};
  for (const Case& c : cases) EXPECT_EQ(depth_only_2(Poly(c.p)), c.expect) << c.p;
}

TEST_F(Measures, LevelDepthThresholds) {
  struct Case {
    std::int32_t u, v, total, depth;
  } cases[] = {{3, 5, 1199, 4},  {3, 5, 1200, 5},    {9, 2, 9999, 8},
               {9, 2, 10000, 9}, {20, 1, 10000, 12}, {2, 1, 0, 2}};
  for (const Case& c : cases) {
    std::int32_t lev = 0, depth = 0;
    poly_level_depth(c.u, c.v, c.total, &lev, &depth);
    EXPECT_EQ(lev, 2);
    EXPECT_EQ(depth, c.depth) << c.total;
  }
}

TEST_F(Measures, VariablesThatOccur) {
  EXPECT_EQ(polys_there(Poly("x^2*y + x"), 1), 2);
  EXPECT_EQ(polys_there(Poly("z"), 1), 2);  // level 1 and level 3
  EXPECT_EQ(polys_there(Poly("7"), 1), 1);
  EXPECT_EQ(polys_there(Poly("x*y*z"), 1), 3);
  EXPECT_EQ(driver_poly_vars(Poly("x*z + 3")), 2);
  EXPECT_EQ(driver_poly_vars(Poly("7")), 0);
  EXPECT_EQ(driver_poly_vars(Poly("y")), 1);
  EXPECT_EQ(driver_poly_vars(Poly("x*y*z + y^2")), 3);
}

// ---- Counts -------------------------------------------------------------------------------

TEST_F(Measures, TopListLengths) {
  Poly p(dense_x(5));
  EXPECT_EQ(poly_length(p), 5);
  EXPECT_EQ(poly_length(nullptr), 0);
  EXPECT_EQ(fast_poly_length(p, 5), 5);
  EXPECT_EQ(fast_poly_length(p, 4), 5);
  EXPECT_EQ(fast_poly_length(p, 2), 3);
  std::int32_t last = -1;
  bool one_var = false;
  EXPECT_EQ(exp_poly_length(Poly("3*x^12 + 1"), &last, &one_var), 2);  // 12 <= 6 * 2
  EXPECT_EQ(last, 0);
  EXPECT_EQ(exp_poly_length(Poly("3*x^13 + 1"), &last, &one_var), -2);
  EXPECT_EQ(exp_poly_length(Poly("x^20 + x^8"), &last, &one_var), 2);  // spread 12
  EXPECT_EQ(last, 8);
}

TEST_F(Measures, ExpPolyLengthOneVariableRequest) {
  struct Case {
    const char* p;
    bool modular, expect;
  } cases[] = {
      {"x^3 + 2*x + 1", true, true}, {"x^3*y + 1", true, false}, {"x^3 + 1", false, false}};
  for (const Case& c : cases) {
    ModulusScope m(101);
    Poly p(c.p);
    bool one_var = true;
    std::int32_t last;
    if (!c.modular) {
      ArithModeGuard g;
      modularmode = false;
      exp_poly_length(p, &last, &one_var);
    } else {
      exp_poly_length(p, &last, &one_var);
    }
    EXPECT_EQ(one_var, c.expect) << c.p;
    bool not_asked = false;
    exp_poly_length(p, &last, &not_asked);
    EXPECT_FALSE(not_asked);
  }
  ScopedValue<bool> l(laurent, true);
  ModulusScope m(101);
  PolyVars one{"t"};
  bool one_var = true;
  std::int32_t last;
  exp_poly_length(Poly("t^3 + t"), &last, &one_var);
  EXPECT_TRUE(one_var);
  exp_poly_length(Poly("t^3 + t^-1"), &last, &one_var);
  EXPECT_FALSE(one_var);
}

// The residues gathered by the counting walk against element_vector as the
// oracle, over prime fields and GF(2^k): random lists around fast_mult_cut
// terms, with exponent gaps on both sides of the sparse spread, with and
// without a constant, and a dense list broken by one wide gap (the gather
// given up midway although the whole list counts as dense). Lists gathered
// whole are the dense ones of fast_mult_cut terms or more; the counts are
// those of the plain walk; lists over two variables and integer lists
// gather nothing.
TEST_F(Measures, ResidueGatherAgreesWithTheElementVector) {
  std::mt19937_64 rng(test_seed() + 29);
  const std::int32_t cut = fast_mult_cut;
  for (const std::int32_t q : {7, 32003, 256, 65536}) {
    PolyVars one{"t"};
    ModulusScope mod(q);
    const RefField f(q);
    auto element = [&] {
      return 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(q - 1));
    };
    struct Shape {
      int terms, gap, low;  // terms gap apart down to exponent low
      int broken;           // the top `broken` terms lie 100 exponents higher
    };
    for (const Shape& s :
         {Shape{1, 1, 0, 0}, Shape{cut - 1, 1, 0, 0}, Shape{cut, 1, 0, 0}, Shape{cut, 1, 1, 0},
          Shape{cut + 1, 3, 0, 0}, Shape{200, 1, 0, 0}, Shape{200, 6, 1, 0}, Shape{200, 7, 0, 0},
          Shape{30, 13, 2, 0}, Shape{300, 1, 0, cut}}) {
      // Term i (from the lowest) at its exponent.
      auto exponent = [&](int i) {
        return s.low + i * s.gap + (s.broken > 0 && i >= s.terms - s.broken ? 100 : 0);
      };
      Coeffs a(static_cast<std::size_t>(exponent(s.terms - 1)) + 1, 0);
      for (int i = 0; i < s.terms; ++i) a[static_cast<std::size_t>(exponent(i))] = element();
      const std::string where = "q " + std::to_string(q) + ", " + std::to_string(s.terms) +
                                " terms gap " + std::to_string(s.gap) + " low " +
                                std::to_string(s.low);
      Poly p = Poly::adopt(coeffs_to_poly(a));
      std::int32_t low = -1, plain_low = -1;
      bool one_var = true, plain_one = true;
      ResidueGather gather;
      const std::int32_t count = exp_poly_length(p, &low, &one_var, &gather);
      EXPECT_EQ(count, exp_poly_length(p, &plain_low, &plain_one)) << where;
      EXPECT_EQ(low, plain_low) << where;
      EXPECT_EQ(one_var, plain_one) << where;
      const DensePoly v = gather.take(p);
      const bool whole = s.terms >= cut && s.gap <= sparse_spread && s.broken == 0;
      EXPECT_EQ(!v.empty(), whole) << where;
      if (!v.empty()) {
        EXPECT_EQ(v, element_vector(p)) << where;
      }
    }
  }
  ModulusScope mod(101);
  for (const char* text : {"y^40*x + y^12 + 1", "x^3*y^2 + x^2 + x + 1"}) {
    Poly p(text);
    std::int32_t low = 0;
    bool one_var = true;
    ScopedValue<std::int32_t> early(fast_mult_cut, 1);
    ResidueGather gather;
    exp_poly_length(p, &low, &one_var, &gather);
    EXPECT_TRUE(gather.take(p).empty()) << text;
  }
  ArithModeGuard g;
  modularmode = false;
  lintmode = false;
  Poly p(dense_x(3 * cut));
  std::int32_t low = 0;
  bool one_var = true;
  ResidueGather gather;
  exp_poly_length(p, &low, &one_var, &gather);
  EXPECT_TRUE(gather.take(p).empty());
}

// Each counter on both sides of its cut-off: (polynomial size, expected).
TEST_F(Measures, StoppingCountersOnBothSidesOfTheirCutOffs) {
  NodeBalance balance;
  struct LeafCase {
    int leaves;
    std::int32_t (*count)(poly);
    std::int64_t lo, hi;  // expected range, inclusive
    const char* name;
  } leaf_cases[] = {
      {60, [](poly p) -> std::int32_t { return fast_numterms(p); }, 60, 60, "fast_numterms"},
      {61, [](poly p) -> std::int32_t { return fast_numterms(p); }, 61, 61, "fast_numterms"},
      {1000, [](poly p) -> std::int32_t { return fast_numterms(p); }, 61, 120, "fast_numterms"},
      {40, poly_nodes, 40, 40, "poly_nodes"},
      {41, poly_nodes, 41, 41, "poly_nodes"},
      {500, poly_nodes, 41, 80, "poly_nodes"},
      {200009, q_poly_numterms, 200009, 200009, "q_poly_numterms"},
      {200011, q_poly_numterms, 200010, 200010, "q_poly_numterms"},
      {3000, f_poly_numterms, 3000, 3000, "f_poly_numterms"},
  };
  for (const LeafCase& c : leaf_cases) {
    SCOPED_TRACE(std::string(c.name) + " of " + std::to_string(c.leaves) + " leaves");
    Poly p(dense_x(c.leaves));
    const std::int64_t got = c.count(p);
    EXPECT_GE(got, c.lo);
    EXPECT_LE(got, c.hi);
  }
  struct NodeCase {
    int nodes;
    std::int32_t (*count)(poly);
    std::int64_t lo, hi;
    const char* name;
  } node_cases[] = {
      {17, node_total, 17, 17, "node_total"},
      {18, node_total, 18, 18, "node_total"},
      {800, big_node_total, 800, 800, "big_node_total"},
      {801, big_node_total, 801, 1600, "big_node_total"},
      {20000, big_node_total, 801, 1600, "big_node_total"},
      {12000, bigg_node_total, 12000, 12000, "bigg_node_total"},
      {12001, bigg_node_total, 12001, 24000, "bigg_node_total"},
      {256000, bigger_node_total, 256000, 256000, "bigger_node_total"},
      {256001, bigger_node_total, 256001, 512000, "bigger_node_total"},
  };
  for (const NodeCase& c : node_cases) {
    SCOPED_TRACE(std::string(c.name) + " of " + std::to_string(c.nodes) + " nodes");
    Poly p = with_nodes(c.nodes);
    const std::int64_t got = c.count(p);
    EXPECT_GE(got, c.lo);
    EXPECT_LE(got, c.hi);
  }
  EXPECT_EQ(f_poly_numterms(nullptr), 0);
}

TEST_F(Measures, NewNodeTotalWeighsExponentsAndCapsAt200) {
  struct Case {
    const char* p;
    std::int32_t expect;
  } cases[] = {{"3*x^2 + 5", 4}, {"x^99", 100},  {"x^100", 101},
               {"x^150", 150},   {"x^500", 200}, {"x^2*y^3 + 1", 7}};
  for (const Case& c : cases) EXPECT_EQ(new_node_total(Poly(c.p)), c.expect) << c.p;
}

TEST_F(Measures, ExponNodeTotalFillsDeglist) {
  std::int32_t expop = -1;
  EXPECT_EQ(expon_node_total(Poly("x^2*(y^3 + 1) + x + 5"), 1, true, &expop), 7);
  EXPECT_EQ(deglist[1], 3);
  EXPECT_EQ(deglist[2], 4);
  EXPECT_EQ(deglist[3], 1);
  EXPECT_EQ(expop, 12);
  EXPECT_EQ(expon_node_total(Poly("z"), 1, true, &expop), 2);  // pads walked, not counted
  EXPECT_EQ(expop, 2);
  // Without init the entries are only raised.
  deglist[1] = 10;
  expop = -1;
  EXPECT_EQ(expon_node_total(Poly("x^4"), 1, false, &expop), 2);
  EXPECT_EQ(deglist[1], 10);
  EXPECT_EQ(expop, -1);
  // The dense volume on both sides of 32 bits.
  expon_node_total(Poly("x^46339*y^46339"), 1, true, &expop);
  EXPECT_EQ(expop, 46340 * 46340);
  expon_node_total(Poly("x^46340*y^46340"), 1, true, &expop);
  EXPECT_EQ(expop, dense_volume_limit);
  // The count on both sides of 1600, capped at 3200.
  EXPECT_EQ(expon_node_total(with_nodes(1599), 1, true, &expop), 1599);
  EXPECT_EQ(expon_node_total(with_nodes(1600), 1, true, &expop), 1600);
  const std::int16_t big = expon_node_total(with_nodes(9001), 1, true, &expop);
  EXPECT_GT(big, 1600);
  EXPECT_LE(big, 3200);
}

TEST_F(Measures, FieldLevelTermCounts) {
  Poly p("x^2*(y + z + 1) + x*y + 4");  // leaves: 3 + 1 + 1 = 5
  EXPECT_EQ(poly_numterms(p, 1), 5);
  EXPECT_EQ(qpoly_numterms(p, 1), 5);
  EXPECT_EQ(fast_f_numterms(p, 1), 5);
  EXPECT_EQ(numterms(Value::ratfun("x^2*(y + z + 1) + x*y + 4", "x + y")), 7);
  EXPECT_EQ(numterms(Value::number(BigRef(3))), 1);
  EXPECT_EQ(f_numterms(Value::ratfun("x + y + 1", "z - 1")), 5);
  EXPECT_EQ(f_numterms(Value::number(BigRef(3))), 1);
  {
    ScopedValue<std::int16_t> fd(field_depth, 2);  // each y-coefficient counts 1
    EXPECT_EQ(poly_numterms(p, 1), 3);
    EXPECT_EQ(fast_f_numterms(p, 1), 3);
    EXPECT_EQ(numterms(Value::ratfun("x^2*(y + z + 1) + x*y + 4", "x + y")), 5);
  }
  {
    ScopedValue<std::int16_t> fd(field_depth, 1);  // the whole polynomial counts 1
    EXPECT_EQ(numterms(Value::ratfun("x^2*(y + z + 1) + x*y + 4", "x + y")), 2);
  }
  EXPECT_EQ(fast_f_numterms(Poly(dense_x(100)), 1), 100);
  Poly wide(dense_x(150));
  EXPECT_EQ(fast_f_numterms(wide, 1), 101);
  Poly huge(dense_x(3000));
  const std::int32_t q = qpoly_numterms(huge, 1);
  EXPECT_GT(q, 1000);
  EXPECT_LE(q, 1002);
  EXPECT_EQ(qpoly_numterms(Poly(dense_x(1000)), 1), 1000);
}

TEST_F(Measures, PolyWeightSaturatesAtTenMillion) {
  EXPECT_EQ(poly_weight(Poly("x*y + 2"), 1), 7);  // 1*(2*3) + 1
  EXPECT_EQ(poly_weight(Poly("5"), 4), 4);
  std::vector<std::string> names;
  std::string mono9, mono10;
  for (int i = 1; i <= 10; ++i) {
    names.push_back("v" + std::to_string(i));
    if (i <= 9) mono9 += (i > 1 ? "*v" : "v") + std::to_string(i);
  }
  mono10 = mono9 + "*v10";
  PolyVars ten(names);
  EXPECT_EQ(poly_weight(Poly(mono9), 1), 3628800);    // 10!
  EXPECT_EQ(poly_weight(Poly(mono10), 1), 10000000);  // 11! is past the cap
  ScopedValue<std::int16_t> fd(field_depth, 3);
  EXPECT_EQ(poly_weight(Poly(mono10), 1), 2);  // 1 * (2 * 1): v3 and below weigh 1
}

// ---- Masses -------------------------------------------------------------------------------

TEST_F(Measures, PolyMassValuesAndSaturation) {
  struct Case {
    const char* p;
    std::int32_t m, depth, mass, better;
  } cases[] = {
      {"5", 2, 1, 1, 1},
      {"1180591620717411303424", 2, 1, 3, 3},  // 2^70: three limbs
      {"3*x^2 + 5", 2, 1, 5, 3},
      {"x*y + 2", 2, 1, 5, 5},  // 2*1*1*(1*2*1*1) + 1; 2*1*1*(2*1*1) + 1
      {"y", 2, 1, 2, 2},
      {"x^5*y^3", 1, 1, 15 * 2, 12},
      {"x^2147483647", 1, 1, 2147483647, 1073741824},
      {"x^2147483647", 2, 1, poly_mass_limit, better_poly_mass_limit},
      {"x^2147483647 + 1", 1, 1, poly_mass_limit, 1073741825},
      {"x^2147483645", 1, 1, 2147483645, 1073741823},
      {"x^2147483645", 3, 1, poly_mass_limit, better_poly_mass_limit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    Poly p(c.p);
    EXPECT_EQ(poly_mass(p, c.m, c.depth), c.mass);
    EXPECT_EQ(better_poly_mass(p, c.m, c.depth), c.better);
  }
  EXPECT_EQ(poly_mass(nullptr, 2, 1), 0);
  {
    WordMode w;
    EXPECT_EQ(poly_mass(Poly("123456789*x + 3"), 1, 1), 2);
  }
  ScopedValue<bool> l(laurent, true);
  EXPECT_EQ(poly_mass(Poly(ref("x^-1*y^2")), 2, 1), 3);  // 0 pads + 1 + depth_below 2
  EXPECT_EQ(poly_mass(Poly(ref("y^-3")), 2, 1), 3);      // 1 pad + 1 + 1
  EXPECT_EQ(poly_mass(Poly(ref("x^-1 + 1")), 2, 1), 2);  // not a monomial: leaf 1, then 1*1*1*1
  EXPECT_EQ(poly_mass(Poly("7"), 2, 1), 1);
}

TEST_F(Measures, FullAndNewPolyMass) {
  EXPECT_EQ(full_poly_mass(Poly("3*x^2 + 5"), 1, 1), 4);  // 2 * size_of(3) + size_of(5)
  EXPECT_EQ(full_poly_mass(Poly("3*x^2 + 5"), 2, 3), 2 * 1 * 3 * 2 + 2);
  {
    WordMode w;
    EXPECT_EQ(full_poly_mass(Poly("3*x^2 + 5"), 1, 1), 3);
  }
  EXPECT_EQ(full_poly_mass(Poly("2*x^268435455"), 1, 1), 268435455);
  EXPECT_EQ(full_poly_mass(Poly("2*x^268435457"), 1, 1), full_poly_mass_limit);
  EXPECT_EQ(full_poly_mass(Poly("4*x^2147483647"), 1, 1), full_poly_mass_limit);
  EXPECT_EQ(full_poly_mass(Poly("0"), 1, 1), full_poly_mass_limit);  // bit size -1

  EXPECT_EQ(new_poly_mass(Poly("3*x^2 + 5"), 1), 2);
  EXPECT_EQ(new_poly_mass(Poly("x^3*y^2 + x"), 1), 7);  // 3 + 2*2
  EXPECT_EQ(new_poly_mass(Poly("9"), 1), 0);
  EXPECT_EQ(new_poly_mass(nullptr, 1), 0);
  // Only the first 7 nodes are looked at.
  EXPECT_EQ(new_poly_mass(Poly("x^7 + x^6 + x^5 + x^4 + x^3 + x^2 + x*y^100"), 1), 201);
  EXPECT_EQ(new_poly_mass(Poly("x^8 + x^7 + x^6 + x^5 + x^4 + x^3 + x^2 + x*y^100"), 1), 8);
  EXPECT_EQ(new_poly_mass(Poly("x^268435455"), 1), 268435455);
  EXPECT_EQ(new_poly_mass(Poly("x^268435457"), 1), new_poly_mass_limit);
}

TEST_F(Measures, SimpleMassesStopPastTheirLimits) {
  EXPECT_EQ(simple_poly_mass(Poly("3*x^2 + 5")), 13 + 39 + 39);
  EXPECT_EQ(simple_poly_mass(nullptr), 0);
  {
    WordMode w;
    EXPECT_EQ(simple_poly_mass(Poly("3*x^2 + 5")), 13 + 31 + 31);
  }
  // k terms: 52 per term with a leaf coefficient, 39 for the constant.
  struct Case {
    int terms;
    std::int32_t simple, more, very;
  } cases[] = {{5, 247, 247, 247}, {6, 299, 299, 260}, {7, 351, 351, 260}, {8, 403, 364, 260}};
  for (const Case& c : cases) {
    Poly p(dense_x(c.terms));
    EXPECT_EQ(simple_poly_mass(p), c.simple) << c.terms;
    EXPECT_EQ(more_simple_poly_mass(p), c.more) << c.terms;
    EXPECT_EQ(very_simple_poly_mass(p), c.very) << c.terms;
  }
}

TEST_F(Measures, SizeOfTable) {
  struct Case {
    std::int32_t value, size, bits;
  } cases[] = {{0, 1, -1},          {1, 1, 0},  {2, 1, 1},  {268435455, 1, 27},
               {-1, 1, 0},          {-2, 1, 0}, {-3, 1, 1}, {-134217728, 1, 26},
               {-268435455, 1, 27}, {5, 2, 30}, {1, 3, 56}};
  for (const Case& c : cases) EXPECT_EQ(size_of(c.value, c.size), c.bits) << c.value;
  EXPECT_EQ(p_size_of(Poly("1073741824")), 30);  // 2^30: limbs 4, 0
}

TEST_F(Measures, QuolyMass) {
  NodeBalance balance;
  EXPECT_EQ(quoly_mass(Value::number(BigRef::pow2(70))), 3);
  {
    WordMode w;
    EXPECT_EQ(quoly_mass(Value::number(BigRef(123456789))), 1);
  }
  Value r = Value::ratfun("3", "1180591620717411303424");
  r->rat = true;
  EXPECT_EQ(quoly_mass(r), 4);
  EXPECT_EQ(quoly_mass(Value::ratfun("x*y + 2")), 5);
  EXPECT_EQ(quoly_mass(Value::ratfun("x*y + 2", "1073741824")), 5 + 30 / 3 + 1);
  EXPECT_EQ(quoly_mass(Value::ratfun("x*y + 2", "x + 1")), 5 + 3 * 3);
  EXPECT_EQ(better_quoly_mass(Value::ratfun("x*y + 2", "x + 1")), 5 + 3 * 3);
  // 2147483646 + 3 * 3 wraps in 32 bits: reported and returned.
  testing::internal::CaptureStdout();
  EXPECT_EQ(quoly_mass(Value::ratfun("x^1073741823", "x + 1")), -2147483641);
  // A saturated denominator adds massnum * 2^30, which wraps too.
  EXPECT_LT(better_quoly_mass(Value::ratfun("x", "x^2147483647 + 1")), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Tavrin error. quoly_mass < 0."), std::string::npos);
  EXPECT_NE(out.find("*** Tavrin error. better_quoly_mass < 0."), std::string::npos);
}

// ---- Shape tests ----------------------------------------------------------------------------

TEST_F(Measures, ShapeTests) {
  struct Case {
    const char* p;
    bool mono, small;
  } cases[] = {{"7", true, true},       {"x", true, true},           {"-y", true, true},
               {"x^2*y", true, false},  {"2*x", true, false},        {"x^3", true, true},
               {"x + 1", false, false}, {"x*(y + 1)", false, false}, {"z", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    Poly p(c.p);
    EXPECT_EQ(monomial(p), c.mono);
    EXPECT_EQ(poly_small(p), c.small);
  }
  EXPECT_TRUE(poly_eq_pm1(Poly("1")));
  EXPECT_TRUE(poly_eq_pm1(Poly("-1")));
  EXPECT_FALSE(poly_eq_pm1(Poly("2")));
  EXPECT_FALSE(poly_eq_pm1(Poly("x")));
  struct Neg {
    const char* p;
    bool expect;
  } negs[] = {{"x^2 + 1", false}, {"x^-1", true}, {"x*y^-2 + 1", true}, {"7", false}};
  for (const Neg& c : negs) {
    ScopedValue<bool> l(laurent, true);
    EXPECT_EQ(anynegs(Poly(ref(c.p))), c.expect) << c.p;
  }
  EXPECT_FALSE(anynegs(nullptr));
}

TEST_F(Measures, AllCoefsNumbAndMultExpons) {
  std::int16_t level = 0;
  EXPECT_TRUE(all_coefs_numb(Poly("x^2 + 3*x"), &level));
  EXPECT_EQ(level, 1);
  EXPECT_TRUE(all_coefs_numb(Poly("y^2 + 1"), &level));
  EXPECT_EQ(level, 2);
  EXPECT_FALSE(all_coefs_numb(Poly("x*y + 1"), &level));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(all_coefs_numb(Poly("5"), &level));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("bad number node in all_coefs_numb"),
            std::string::npos);

  NodeBalance balance;
  Poly p("x^2 + x*y + 3");
  mult_expons(p, 3);
  EXPECT_EQ(p.ref(), ref("x^6 + x^3*y + 3"));
  Poly q("y^2*z + y");
  mult_expons(q, 2);
  EXPECT_EQ(q.ref(), ref("y^4*z + y^2"));
  EXPECT_TRUE(valid_poly(q));
  Poly big("x^65536");
  testing::internal::CaptureStdout();
  EXPECT_THROW(mult_expons(big, 32768), TopLevelJump);
  testing::internal::GetCapturedStdout();
}

TEST_F(Measures, TwoVariableProductTest) {
  // n terms x^(n-1) .. x^0, each with the coefficient y^ydeg + 1.
  auto dense = [](int n, int ydeg) {
    RefPoly r(3);
    for (int e = 0; e < n; ++e) {
      r.add_term({e, ydeg, 0}, BigRef(1));
      r.add_term({e, 0, 0}, BigRef(2));
    }
    return r;
  };
  struct Case {
    int nu, yu, nv, yv;
    bool expect;
  } cases[] = {
      {27, 10, 27, 10, true},  {26, 10, 26, 10, true},   {25, 10, 27, 10, false},
      {27, 10, 25, 10, false}, {27, 350, 27, 350, true}, {27, 350, 27, 351, false},
      {235, 5, 27, 5, true},   {236, 5, 27, 5, false},   // degree 234 = 9 * 26, then 235
      {350, 5, 351, 5, true},  {351, 5, 352, 5, false},  // degree sums 699 / 701
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.nu << "," << c.yu << " / " << c.nv << "," << c.yv);
    Poly u(dense(c.nu, c.yu)), v(dense(c.nv, c.yv));
    EXPECT_EQ(try_fast_2_var(u, v), c.expect);
    EXPECT_EQ(try_fast_2_var(v, u), c.expect);
  }
  Poly u(dense(27, 10)), v(dense(27, 10));
  {
    ScopedValue<std::int16_t> fd(field_depth, 2);
    EXPECT_FALSE(try_fast_2_var(u, v));
  }
  {
    ScopedValue<bool> m(modout_above_field, true);
    EXPECT_FALSE(try_fast_2_var(u, v));
  }
  {
    ScopedValue<bool> f(finf, true);
    EXPECT_FALSE(try_fast_2_var(u, v));
  }
  RefPoly with_z = dense(27, 10) + ref("x^3*y*z");  // one coefficient involves z
  EXPECT_FALSE(try_fast_2_var(Poly(with_z), v));
  RefPoly sparse(3);  // 27 terms over degree 90: 3 * 27 = 81 is not above 90
  sparse.add_term({90, 1, 0}, BigRef(1));
  for (int e = 0; e < 26; ++e) sparse.add_term({e, 1, 0}, BigRef(1));
  EXPECT_FALSE(try_fast_2_var(Poly(sparse), Poly(dense(27, 10))));
}

// ---- Order, content, cut-offs, splitting --------------------------------------------------------

TEST_F(Measures, MonomialOrder) {
  struct Case {
    const char* p;
    const char* q;
    bool less, equal;
  } cases[] = {
      {"x", "y", false, false},    {"y", "x", true, false},        {"x", "x^2", true, false},
      {"x^2", "x", false, false},  {"x*y", "x^5", false, false},   {"x^5", "x*y", true, false},
      {"3", "x", true, false},     {"x", "3", false, false},       {"x*y^2", "x*y^3", true, false},
      {"x*z", "x*y", true, false}, {"2*x*y", "5*x*y", true, true}, {"3", "5", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.p) + " < " + c.q);
    bool eq = !c.equal;
    EXPECT_EQ(mon_less(Poly(c.p), Poly(c.q), &eq), c.less);
    EXPECT_EQ(eq, c.equal);
  }
  ScopedValue<bool> l(laurent, true);
  testing::internal::CaptureStdout();
  bool eq = false;
  EXPECT_TRUE(mon_less(Poly(ref("x^-1")), Poly(ref("y^-2")), &eq));  // both empty: equal
  EXPECT_TRUE(eq);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(" Warning! p is illegal, mon_less."), std::string::npos);
  EXPECT_NE(out.find(" Warning! q is illegal, mon_less."), std::string::npos);
}

TEST_F(Measures, ValueMonomialOrder) {
  Value three = Value::number(BigRef(3)), five = Value::number(BigRef(5));
  EXPECT_FALSE(quoly_mon_less(three, five));
  EXPECT_TRUE(quoly_mon_less_eq(three, five));
  Value x = Value::ratfun("x"), y = Value::ratfun("y"), xx = Value::ratfun("2*x");
  EXPECT_TRUE(quoly_mon_less(three, x));
  EXPECT_FALSE(quoly_mon_less(x, three));
  EXPECT_FALSE(quoly_mon_less_eq(x, three));
  EXPECT_TRUE(quoly_mon_less(y, x));
  EXPECT_FALSE(quoly_mon_less(x, y));
  EXPECT_FALSE(quoly_mon_less(x, xx));  // the same monomial
  EXPECT_TRUE(quoly_mon_less_eq(x, xx));
  Value leaf = Value::ratfun("2", "x");
  EXPECT_TRUE(quoly_mon_less(leaf, x));
  EXPECT_FALSE(quoly_mon_less(x, leaf));
}

TEST_F(Measures, IntegerContent) {
  NodeBalance balance;
  struct Case {
    const char* p;
    const char* content;
  } cases[] = {{"6*x^2 + 9*y + 3", "3"},
               {"2*x + 3", "1"},
               {"-12*x*y^2 + 18*z - 30", "6"},
               {"-7", "7"},
               {"123456789012345678901234567890*x + 246913578024691357802469135780",
                "123456789012345678901234567890"}};
  for (const Case& c : cases) {
    Num com(99);
    find_gcdcoefs(Poly(c.p), com);
    EXPECT_EQ(com.value(), BigRef::from_decimal(c.content)) << c.p;
    EXPECT_TRUE(valid_bigint(com));
  }
  testing::internal::CaptureStdout();
  Num com(5);
  find_gcdcoefs(Poly("0"), com);
  EXPECT_EQ(com.value(), BigRef(1));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "*** Tavrin error. 0 in find gcd coefs.");

  // The walk stops once the content is 1: a node after that is never read.
  Poly p("2*x^2 + 3*x + 1");
  imptr saved = p->next->next->ncoef;
  p->next->next->ncoef = nullptr;
  find_gcdcoefs(p, com);
  EXPECT_EQ(com.value(), BigRef(1));
  p->next->next->ncoef = saved;

  // A planted common factor: content(c * r) = |c| * content(r).
  std::mt19937_64 rng(test_seed() + 3);
  for (int i = 0; i < test_iterations(100); ++i) {
    const RefPoly r = random_refpoly(rng, 3, 8, 3, 3);
    if (r.is_zero()) continue;
    const BigRef c = random_big(rng, 2);
    if (c.is_zero()) continue;
    BigRef g(0);
    for (const auto& t : r.terms()) g = BigRef::gcd(g, t.second);
    find_gcdcoefs(Poly(r.scaled(c)), com);
    ASSERT_EQ(com.value(), g * c.abs()) << r.to_string(vars.names());
  }
}

// The GCD of two contents against the GCD of the two found apart; either
// side may hold the long coefficients, and a planted common factor c must
// come out whole.
TEST_F(Measures, CommonContentAgreesWithTwoContents) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5);
  for (int i = 0; i < test_iterations(150); ++i) {
    const RefPoly r = random_refpoly(rng, 3, 6, 3, 2), s = random_refpoly(rng, 3, 6, 3, 2);
    if (r.is_zero() || s.is_zero()) continue;
    const BigRef c = random_big(rng, 1 + i % 3);
    if (c.is_zero()) continue;
    // Long multipliers on one side only: the walk starts on the other.
    BigRef lift(1);
    for (int k = 0; k < 40 + 97 * (i % 4); ++k) lift = lift * BigRef(7);
    Poly a(r.scaled(i % 2 == 0 ? c * lift : c)), b(s.scaled(i % 2 == 0 ? c : c * lift));
    Num ca(1), cb(1), want(1), got(99);
    find_gcdcoefs(a, ca);
    find_gcdcoefs(b, cb);
    binary_gcd(ca, cb, want);
    find_common_content(a, b, got);
    ASSERT_EQ(got.value(), want.value())
        << r.to_string(vars.names()) << " / " << s.to_string(vars.names());
    find_common_content(b, a, got);
    ASSERT_EQ(got.value(), want.value());
    EXPECT_TRUE(valid_bigint(got));
    EXPECT_EQ(BigRef::gcd(got.value(), c.abs()), c.abs());
  }
  // Constant sides, and a content of 1 found on the first side.
  Num g(0);
  find_common_content(Poly("12"), Poly("18*x + 30"), g);
  EXPECT_EQ(g.value(), BigRef(6));
  find_common_content(Poly("2*x + 3"), Poly("4*x^2 + 8"), g);
  EXPECT_EQ(g.value(), BigRef(1));
}

TEST_F(Measures, ResetCutoffsKeepsOwnValues) {
  ScopedValue<std::int32_t> cut(poly_cutoff, 20);
  vars.level(1)->polycut = 20;
  vars.level(2)->polycut = 99;
  vars.level(3)->polycut = 20;
  reset_cutoffs(40);
  EXPECT_EQ(vars.level(1)->polycut, 40);
  EXPECT_EQ(vars.level(2)->polycut, 99);
  EXPECT_EQ(vars.level(3)->polycut, 40);
}

TEST_F(Measures, SplitPolyAtAPower) {
  NodeBalance balance;
  struct Case {
    const char* p;
    std::int32_t k;
    const char* low;
    const char* high;
  } cases[] = {
      {"x^3 + x + 1", 2, "x + 1", "x"},
      {"3*x^2 + 2*x", 1, "0", "3*x + 2"},  // every term moves: the cells are exchanged
      {"x^2 + 5", 3, "x^2 + 5", "0"},      // none moves
      {"7*x^4", 4, "0", "7"},
      {"x^4*y + x^2*z + y", 2, "y", "x^2*y + z"},
      {"x^5 + 4", 0, "0", "x^5 + 4"},  // k = 0 exchanges
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.p) + " at " + std::to_string(c.k));
    Value p = Value::ratfun(c.p);
    Value m = Value::number(BigRef(c.k));
    split_poly(p.cell(), m.cell());
    for (auto [v, text] : {std::pair<quoly, const char*>{p, c.low}, {m, c.high}}) {
      const RefPoly want = ref(text);
      if (want.is_zero() ||
          (want.terms().size() == 1 && want.terms().begin()->first == RefPoly::Exps{0, 0, 0})) {
        ASSERT_TRUE(v->numb) << text;  // a constant side is a number value
        EXPECT_EQ(RefPoly::constant(3, number_value(v->ncoef)), want);
      } else {
        ASSERT_FALSE(v->numb) << text;
        EXPECT_TRUE(valid_poly(v->numer));
        EXPECT_EQ(read_poly(v->numer), want);
      }
    }
  }
  Value n = Value::number(BigRef(12)), k = Value::number(BigRef(2));
  split_poly(n.cell(), k.cell());
  EXPECT_EQ(number_value(n->ncoef), BigRef(12));
  EXPECT_EQ(number_value(k->ncoef), BigRef(0));
  {
    ScopedValue<bool> l(laurent, true);
    Value p = Value::ratfun("x + 2");
    Value m = Value::number(BigRef(-1));
    split_poly(p.cell(), m.cell());  // x + 2 = (x^2 + 2x) * x^-1
    EXPECT_TRUE(p->numb);
    EXPECT_EQ(read_poly(m->numer), ref("x^2 + 2*x"));
    EXPECT_TRUE(valid_poly(m->numer));
  }
}

TEST_F(Measures, SplitPolyRecombines) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  const RefPoly x = ref("x");
  for (int i = 0; i < test_iterations(200); ++i) {
    const RefPoly r = random_refpoly(rng, 3, 8, 5, 2);
    const std::int32_t k = static_cast<std::int32_t>(rng() % 7);
    SCOPED_TRACE(r.to_string(vars.names()) + " at " + std::to_string(k));
    Value p = Value::adopt(nullptr);
    p_q_assign(Poly(r), p.cell());
    Value m = Value::number(BigRef(k));
    split_poly(p.cell(), m.cell());
    auto as_ref = [](quoly v) {
      return v->numb ? RefPoly::constant(3, number_value(v->ncoef)) : read_poly(v->numer);
    };
    ASSERT_EQ(as_ref(p) + as_ref(m) * x.pow(static_cast<unsigned>(k)), r);
    const RefPoly low = as_ref(p);
    for (const auto& t : low.terms()) ASSERT_LT(t.first[0], std::max(k, 1));
  }
}

}  // namespace
}  // namespace tavrin::test
