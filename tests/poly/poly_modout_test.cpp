// Reduction by the relations of modded-out levels: the fold by one relation
// against the reference reduction, the reduced powers it builds for a level,
// products and powers under polynomial relations (one and two modded-out
// levels, a finite field, polymodding suspended), and the reductions that
// have nothing to do when no relation applies.
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
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// The terms of a whose exponent at each variable i is below bound[i].
RefPoly bounded(const RefPoly& a, const std::vector<int>& bound) {
  RefPoly r(a.nvars());
  for (const auto& [e, c] : a.terms()) {
    bool keep = true;
    for (std::size_t i = 0; i < bound.size(); ++i) keep = keep && e[i] < bound[i];
    if (keep) r.add_term(e, c);
  }
  return r;
}

// The right-hand side of t^E = rest for the monic relation rel in the ring.
RefPoly rest_of(Ring ring, const RefPoly& rel, int var, int E) {
  return ring_sum(ring, RefPoly::variable(rel.nvars(), var, E), in_ring(ring, rel), true);
}

// The degree of a in the variable of index var (-1 for 0).
int degree_in(const RefPoly& a, int var) {
  int d = -1;
  for (const auto& [e, c] : a.terms()) d = std::max(d, e[static_cast<std::size_t>(var)]);
  return d;
}

// ---- The fold by one relation ------------------------------------------------------------

class FoldPolyTest : public ::testing::Test {
 protected:
  PolyVars vars{"t", "x"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

TEST_F(FoldPolyTest, MonicRelationsAgreeWithTheReferenceInEveryRing) {
  std::mt19937_64 rng(test_seed() + 31);
  for_each_ring({Ring::integers, Ring::mod7, Ring::mod65521, Ring::gf256}, [&](Ring ring) {
    for (const std::string text : {"t^3 - t - 1", "t^4 - x*t - 2", "t^2 + 3*x^2*t + x", "t - 5"}) {
      SCOPED_TRACE(text);
      const RefPoly relref = in_ring(ring, ref(text));
      const int E = degree_in(relref, 0);
      const RefPoly rest = rest_of(ring, relref, 0, E);
      Poly rel(relref);
      const std::string before = node_shape(rel);
      for (int i = 0; i < test_iterations(25); ++i) {
        const RefPoly a = in_ring(ring, random_refpoly(rng, 2, 6, 3 * E + 2, 2));
        SCOPED_TRACE(a.to_string(vars.names()));
        Poly p(a);
        fold_poly(p.cell(), rel.cell(), E, vars.level(1));
        ASSERT_TRUE(valid_poly(p));
        ASSERT_EQ(p.ref(), fold_ref(ring, a, 0, E, rest));
      }
      EXPECT_EQ(node_shape(rel), before);  // the relation comes back node for node
      EXPECT_EQ(vars.level(1)->p, nullptr);
    }
  });
}

// Without an inverse of the leading coefficient c0 each step multiplies by
// c0, so a = q m + b (deg b < deg m) folds to c0^j b for some j.
TEST_F(FoldPolyTest, NonMonicRelationsGiveAPowerOfTheLeadingCoefficientTimesTheRemainder) {
  std::mt19937_64 rng(test_seed() + 32);
  NodeBalance balance;
  const std::vector<std::pair<std::string, std::string>> relations = {
      {"2*t^2 + x*t + 1", "2"}, {"x*t^2 + 1", "x"}, {"(x + 1)*t^3 - 3*t + x", "x + 1"}};
  for (const auto& [text, lead] : relations) {
    SCOPED_TRACE(text);
    const RefPoly m = ref(text);
    const int d = degree_in(m, 0);
    const RefPoly c0 = ref(lead);
    Poly rel(m);
    for (int i = 0; i < test_iterations(20); ++i) {
      const RefPoly q = random_refpoly(rng, 2, 4, 4, 1);
      const RefPoly b = bounded(random_refpoly(rng, 2, 5, 4, 2), {d, 9});
      const RefPoly a = q * m + b;
      SCOPED_TRACE(a.to_string(vars.names()));
      Poly p(a);
      fold_poly(p.cell(), rel.cell(), d, vars.level(1));
      ASSERT_TRUE(valid_poly(p));
      const RefPoly got = p.ref();
      bool found = false;
      RefPoly scaled = b;
      for (int j = 0; j <= degree_in(a, 0) + 1 && !found; ++j) {
        found = got == scaled;
        scaled = scaled * c0;
      }
      ASSERT_TRUE(found) << got.to_string(vars.names());
    }
  }
}

TEST_F(FoldPolyTest, NumericRelationsLowDegreesAndAConstantRelation) {
  NodeBalance balance;
  {
    Poly two("2");  // t^3 = 2
    Poly p("t^7");
    fold_poly(p.cell(), two.cell(), 3, vars.level(1));
    EXPECT_EQ(dump_poly(p), "[1:4]");
    Poly q("t^3");
    fold_poly(q.cell(), two.cell(), 3, vars.level(1));
    EXPECT_EQ(dump_poly(q), "2");
    Poly r("t^5*x + t^4 + t^2");
    fold_poly(r.cell(), two.cell(), 3, vars.level(1));
    EXPECT_EQ(r.ref(), ref("2*t^2*x + 2*t + t^2"));
  }
  {
    ScopedValue<bool> l(laurent, true);
    Poly m1("-1");  // t^2 = -1: 1/t = -t
    Poly p("t^3 + t^-1");
    fold_poly(p.cell(), m1.cell(), 2, vars.level(1));
    EXPECT_EQ(p.ref(), ref("-2*t"));
  }
  {
    Poly rel("t^3 - t - 1");
    Poly p("t^2*x + 5*t + x");  // below the relation's degree: as it is
    fold_poly(p.cell(), rel.cell(), 3, vars.level(1));
    EXPECT_EQ(p.ref(), ref("t^2*x + 5*t + x"));
    EXPECT_TRUE(valid_poly(p));
  }
  {
    Poly rel("x + 1");  // of degree 0 in t
    Poly p("t^2 + 1");
    testing::internal::CaptureStdout();
    fold_poly(p.cell(), rel.cell(), 0, vars.level(1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "*** Tavrin error. bad m^.exp in pseudo div no q: \n0\n");
    EXPECT_EQ(p.ref(), ref("t^2 + 1"));
  }
}

// ---- Installed relations: reduced powers and products ------------------------------------

class InstalledRelationTest : public ::testing::Test {
 protected:
  PolyVars vars{"t", "x"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

TEST_F(InstalledRelationTest, ReducedPowersAndTheStateOfTheLevels) {
  NodeBalance balance;
  {
    ModOutScope rel(vars, 1, "t^3 - t - 1");
    // t^4 = t^2 + t, t^3 = t + 1
    EXPECT_EQ(dump_poly(vars.level(1)->multdata), "[4:[2:1; 1:1]; 3:[1:1; 1]]");
    EXPECT_EQ(vars.level(1)->expon, 3);
    EXPECT_EQ(pseudo_polynames, polynames);
    EXPECT_EQ(field_depth, 0);
    EXPECT_TRUE(modout_above_field);
    EXPECT_FALSE(doing_polymod_field());
  }
  EXPECT_EQ(pseudo_polynames, nullptr);
  EXPECT_EQ(vars.level(1)->p, nullptr);
  {
    ModOutScope rel(vars, 1, "t^3 - 2");  // a binomial: t^3 = 2
    EXPECT_EQ(dump_poly(vars.level(1)->p), "2");
    ASSERT_NE(vars.level(1)->alt, nullptr);
    EXPECT_EQ(read_poly(vars.level(1)->alt), ref("t^3 - 2"));
    EXPECT_EQ(vars.level(1)->multdata, nullptr);
  }
  {
    ModOutScope rel(vars, 2, "x^2 - 3", true);  // the bottom level: a field
    EXPECT_EQ(field_depth, 2);
    EXPECT_FALSE(modout_above_field);
    EXPECT_TRUE(vars.level(2)->field);
    EXPECT_FALSE(vars.level(1)->field);
    EXPECT_TRUE(doing_polymod_field());
  }
  EXPECT_EQ(field_depth, 0);
  EXPECT_FALSE(vars.level(2)->field);
}

TEST_F(InstalledRelationTest, ReducedPowersAgreeWithTheReference) {
  for_each_ring({Ring::integers, Ring::mod7, Ring::gf256}, [&](Ring ring) {
    for (const std::string text : {"t^5 - x*t^3 + 2*t - 1", "t^4 + t^3 + x^2", "t^2 - x*t - 7"}) {
      SCOPED_TRACE(text);
      const RefPoly relref = in_ring(ring, ref(text));
      const int E = degree_in(relref, 0);
      const RefPoly rest = rest_of(ring, relref, 0, E);
      ModOutScope rel(vars, 1, text);
      int k = 2 * E - 2;
      for (poly md = vars.level(1)->multdata; md != nullptr; md = md->next, --k) {
        ASSERT_EQ(md->exp, k);
        ASSERT_TRUE(valid_poly(md->pcoef));
        ASSERT_EQ(read_poly(md->pcoef), fold_ref(ring, RefPoly::variable(2, 0, k), 0, E, rest));
      }
      EXPECT_EQ(k, E - 1);
    }
  });
}

// Products of reduced operands, by schoolbook rows, Karatsuba (polycut 2)
// and the one-variable route, and of unreduced ones, all reduced.
TEST_F(InstalledRelationTest, ProductsAndPowersAgreeWithTheReducedReferenceProduct) {
  std::mt19937_64 rng(test_seed() + 33);
  for_each_ring({Ring::integers, Ring::mod7, Ring::mod65521, Ring::gf256}, [&](Ring ring) {
    for (const std::string text : {"t^4 - x*t - 2", "t^3 - t - 1"}) {
      SCOPED_TRACE(text);
      const RefPoly relref = in_ring(ring, ref(text));
      const int E = degree_in(relref, 0);
      const RefPoly rest = rest_of(ring, relref, 0, E);
      ModOutScope rel(vars, 1, text);
      const mult_route_counts before = mult_routes;
      for (int i = 0; i < test_iterations(30); ++i) {
        ScopedValue<std::int32_t> cut(vars.level(1)->polycut, i % 2 == 0 ? 2 : 40);
        const int inner = i % 3 == 0 ? 1 : 9;  // numbers only: the one-variable route
        const RefPoly a = in_ring(ring, bounded(random_refpoly(rng, 2, 6, 4, 2), {E, inner}));
        const RefPoly b = in_ring(ring, bounded(random_refpoly(rng, 2, 6, 4, 2), {E, inner}));
        SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
        Poly n(a), m(b), r, sq;
        poly_mult(n, m, r.cell(), vars.level(1));
        ASSERT_TRUE(valid_poly(r));
        ASSERT_EQ(r.ref(), fold_ref(ring, ring_product(ring, a, b), 0, E, rest));
        poly_mult(n, n, sq.cell(), vars.level(1));
        ASSERT_EQ(sq.ref(), fold_ref(ring, ring_product(ring, a, a), 0, E, rest));
        // Powers: every product reduced (exponents below 7 keep modulo 7 off
        // the characteristic-p method).
        const std::int32_t k = 2 + i % 5;
        Poly pw(a);
        compute_power(pw.cell(), k, vars.level(1));
        RefPoly want = RefPoly::constant(2, 1);
        for (std::int32_t j = 0; j < k; ++j)
          want = fold_ref(ring, ring_product(ring, want, a), 0, E, rest);
        ASSERT_EQ(pw.ref(), want);
      }
      // Operands of degree E and more: the fold divides by the relation.
      const RefPoly u = in_ring(ring, ref("t^" + std::to_string(E + 3) + " + x*t^2 + 1"));
      const RefPoly v = in_ring(ring, ref("t^" + std::to_string(2 * E) + " - x"));
      Poly n(u), m(v), r;
      poly_mult(n, m, r.cell(), vars.level(1));
      ASSERT_TRUE(valid_poly(r));
      EXPECT_EQ(r.ref(), fold_ref(ring, ring_product(ring, u, v), 0, E, rest));
      EXPECT_GT(mult_routes.karatsuba, before.karatsuba);
      EXPECT_GT(mult_routes.schoolbook, before.schoolbook);
      if (ring != Ring::integers) {
        EXPECT_GT(mult_routes.one_variable, before.one_variable);
      }
    }
  });
}

// GF(121) = F_11[t] / (t^2 + t + 1): t is a cube root of 1, and every
// non-zero element a has a^120 = 1.
TEST_F(InstalledRelationTest, PowersInAFiniteField) {
  PolyVars one{"t"};
  ModulusScope mod(11);
  NodeBalance balance;
  ModOutScope rel(one, 1, "t^2 + t + 1", true);
  ASSERT_EQ(field_depth, 1);
  std::mt19937_64 rng(test_seed() + 34);
  Poly t("t");
  compute_power(t.cell(), 3, one.level(1));
  EXPECT_EQ(dump_poly(t), "1");
  for (int i = 0; i < test_iterations(10); ++i) {
    RefPoly a = bounded(random_refpoly(rng, 1, 2, 1, 1), {2}).reduced_mod(BigRef(11));
    if (a.is_zero()) a = RefPoly::constant(1, 3);
    SCOPED_TRACE(a.to_string(one.names()));
    Poly p(a), q(a);
    compute_power(p.cell(), 120, one.level(1));
    EXPECT_EQ(dump_poly(p), "1");
    compute_power(q.cell(), 121, one.level(1));
    EXPECT_EQ(q.ref(), a);
  }
}

// ---- Two modded-out levels ------------------------------------------------------------------

// s^2 = t s + 1 over t^3 = t + 1: the reduced powers of s and every product
// reduce the coefficients by the lower relation too.
TEST(TwoModdedOutLevels, ProductsReduceByBothRelations) {
  PolyVars vars{"s", "t"};
  std::mt19937_64 rng(test_seed() + 35);
  for_each_ring({Ring::integers, Ring::mod7}, [&](Ring ring) {
    const TwoLevelTower tower(vars, ring);
    // s^2 = t s + 1 already has reduced coefficients.
    EXPECT_EQ(read_poly(vars.level(1)->multdata->pcoef), tower.rest_s());
    for (int i = 0; i < test_iterations(25); ++i) {
      const RefPoly a = in_ring(ring, bounded(random_refpoly(rng, 2, 6, 3, 2), {2, 3}));
      const RefPoly b = in_ring(ring, bounded(random_refpoly(rng, 2, 6, 3, 2), {2, 3}));
      SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
      Poly n(a), m(b), r;
      poly_mult(n, m, r.cell(), vars.level(1));
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(r.ref(), tower.reduce(ring_product(ring, a, b)));
      Poly pw(a);
      compute_power(pw.cell(), 4, vars.level(1));
      const RefPoly a2 = tower.reduce(ring_product(ring, a, a));
      ASSERT_EQ(pw.ref(), tower.reduce(ring_product(ring, a2, a2)));
      // A fold of an unreduced polynomial in s over the reduced lower level.
      const RefPoly c = in_ring(ring, bounded(random_refpoly(rng, 2, 5, 6, 1), {9, 3}));
      Poly f(c);
      fold_poly(f.cell(), &vars.level(1)->p, 2, vars.level(1));
      ASSERT_EQ(f.ref(), tower.reduce(c));
    }
  });
}

// With polymodding suspended the level above the field is a relation-free
// copy: products reduce by the field's relation only, and by both again
// afterwards.
TEST(SuspendedPolymodding, OnlyTheFieldLevelsReduce) {
  PolyVars vars{"a", "b"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  std::mt19937_64 rng(test_seed() + 36);
  ModulusScope mod(7);
  NodeBalance balance;
  ModOutScope field(vars, 2, "b^2 - 3", true);  // 3 is not a square modulo 7
  ModOutScope upper(vars, 1, "a^3 - b*a - 1");
  ASSERT_EQ(field_depth, 2);
  ASSERT_TRUE(modout_above_field);
  const RefPoly rest_b = ref("3");
  const RefPoly rest_a = ref("b*a + 1");
  int differ = 0;
  for (int i = 0; i < test_iterations(20); ++i) {
    // Reduced operands (a product by a constant is not folded again); their
    // products reach a^4, which only a's relation reduces.
    const RefPoly x = in_ring(Ring::mod7, bounded(random_refpoly(rng, 2, 5, 4, 1), {3, 2}));
    const RefPoly y = in_ring(Ring::mod7, bounded(random_refpoly(rng, 2, 5, 4, 1), {3, 2}));
    SCOPED_TRACE(x.to_string(vars.names()) + "  times  " + y.to_string(vars.names()));
    const RefPoly xy = fold_ref(Ring::mod7, ring_product(Ring::mod7, x, y), 1, 2, rest_b);
    Poly n(x), m(y);
    {
      SuspendedPolymodding suspended;
      ASSERT_EQ(polynames->p, nullptr);
      ASSERT_EQ(polynames->next, vars.level(2));
      EXPECT_TRUE(doing_polymod_field());
      Poly r;
      poly_mult(n, m, r.cell(), polynames);
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(r.ref(), xy);
    }
    ASSERT_EQ(polynames, vars.level(1));
    Poly r;
    poly_mult(n, m, r.cell(), polynames);
    const RefPoly both = fold_ref(Ring::mod7, fold_ref(Ring::mod7, xy, 0, 3, rest_a), 1, 2, rest_b);
    ASSERT_EQ(r.ref(), both);
    if (!(both == xy)) ++differ;
  }
  EXPECT_GT(differ, 0);  // some products needed a's relation
}

// ---- Nothing to reduce --------------------------------------------------------------------------

TEST(NothingToReduce, LevelsWithoutRelationsAreLeftAlone) {
  PolyVars vars{"x", "y", "z"};
  NodeBalance balance;
  Poly p("x^3*(y^2 + z) + y*z^4 + 7");
  const std::string before = node_shape(p);
  testing::internal::CaptureStdout();
  total_poly_modout(p.cell(), polynames);
  total_poly_modout(p.cell(), nilpol);
  above_field_modout(p.cell());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(node_shape(p), before);
  EXPECT_FALSE(doing_polymod_field());
}

TEST(NothingToReduce, AFieldLevelAloneHasNothingAboveIt) {
  PolyVars vars{"x", "y"};
  ModulusScope mod(5);
  NodeBalance balance;
  ModOutScope field(vars, 2, "y^2 - 2", true);
  Poly p("x^3*y + x*y + 4");
  const std::string before = node_shape(p);
  testing::internal::CaptureStdout();
  above_field_modout(p.cell());
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(node_shape(p), before);
  EXPECT_TRUE(doing_polymod_field());
}

}  // namespace
}  // namespace tavrin::test
