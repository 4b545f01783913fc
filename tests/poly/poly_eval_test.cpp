// Evaluation at given values: every evaluator against term-by-term
// substitution in the reference polynomial (powers of the values, no
// Horner's rule), in the rings where each one works.
#include "poly/poly_eval.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

BigRef power(const BigRef& v, std::int32_t e) {
  BigRef r(1);
  for (std::int32_t k = 0; k < e; ++k) r = r * v;
  return r;
}

BigRef residue(const BigRef& v, std::int32_t m) {
  BigRef r = v % BigRef(m);
  return r.negative() ? r + BigRef(m) : r;
}

// a with the variables from index `first` on replaced by vals (vals[k] for
// index first + k), except those listed in `kept`.
RefPoly substitute(const RefPoly& a, int first, const std::vector<BigRef>& vals,
                   const std::vector<int>& kept = {}) {
  RefPoly r(a.nvars());
  for (const auto& [e, c] : a.terms()) {
    RefPoly::Exps x = e;
    BigRef v = c;
    for (int i = first; i < a.nvars(); ++i) {
      bool keep = false;
      for (int k : kept) keep = keep || k == i;
      if (keep) continue;
      v = v * power(vals[static_cast<std::size_t>(i - first)], e[static_cast<std::size_t>(i)]);
      x[static_cast<std::size_t>(i)] = 0;
    }
    r.add_term(x, v);
  }
  return r;
}

// A value list of leaves in the current mode; marked entries get exp 1.
class Values {
 public:
  explicit Values(const std::vector<BigRef>& vals, const std::vector<bool>& marked = {}) {
    poly* link = &head_;
    for (std::size_t k = 0; k < vals.size(); ++k) {
      poly leaf = make_leaf(vals[k]);
      if (k < marked.size() && marked[k]) leaf->exp = 1;
      *link = leaf;
      link = &leaf->next;
    }
  }
  ~Values() {
    for (poly p = head_; p != nullptr; p = p->next) p->exp = 0;
    free_poly(&head_);
  }
  Values(const Values&) = delete;
  Values& operator=(const Values&) = delete;
  poly get() const { return head_; }

 private:
  poly head_ = nullptr;
};

std::vector<BigRef> random_values(std::mt19937_64& rng, int count, std::int64_t bound) {
  std::uniform_int_distribution<std::int64_t> pick(-bound, bound);
  std::vector<BigRef> v;
  for (int k = 0; k < count; ++k) v.emplace_back(pick(rng));
  return v;
}

TEST(ModAllPolyEval, ReducesLargeGapsModuloTheGroupOrder) {
  NodeBalance balance;
  PolyVars vars({"x"});
  ModulusScope mod(7);
  Poly p("x^21 + 1");
  Values at({BigRef(2)});
  std::int32_t v = -1;
  mod_all_poly_eval(p, at.get(), &v);
  EXPECT_EQ(v, 2);  // 2^21 = (2^3)^7 = 1 modulo 7
}

TEST(ModAllPolyEval, AgreesWithTermByTermSubstitution) {
  NodeBalance balance;
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed());
  for (std::int32_t m : {7, 65521, 2147483629}) {
    ModulusScope mod(m);
    for (int it = 0; it < test_iterations(60); ++it) {
      const RefPoly a = random_refpoly(rng, 3, 6, 40, 2).reduced_mod(BigRef(m));
      std::vector<BigRef> vals = random_values(rng, 3, m - 1);
      for (BigRef& v : vals) v = residue(v, m);
      if (it % 7 == 0) vals[static_cast<std::size_t>(it % 3)] = BigRef(0);
      SCOPED_TRACE(a.to_string(vars.names()) + " modulo " + std::to_string(m));
      Poly p(a);
      Values at(vals);
      std::int32_t v = -1;
      mod_all_poly_eval(p, at.get(), &v);
      const RefPoly expect = substitute(a, 0, vals).reduced_mod(BigRef(m));
      EXPECT_EQ(BigRef(v), expect.coefficient({0, 0, 0}));
    }
  }
}

TEST(ModAllPolyEval, CharacteristicTwoUsesTheFieldProduct) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  ModulusScope mod(256);
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(40); ++it) {
    const RefPoly a = random_refpoly(rng, 2, 5, 300, 1).reduced_mod(BigRef(256));
    const std::uint32_t vx = static_cast<std::uint32_t>(rng() % 256);
    const std::uint32_t vy = static_cast<std::uint32_t>(rng() % 256);
    std::uint32_t expect = 0;
    for (const auto& [e, c] : a.terms()) {
      std::uint32_t t = static_cast<std::uint32_t>(c.to_int64());
      for (std::int32_t k = 0; k < e[0]; ++k) t = gf2_mul(t, vx, 256);
      for (std::int32_t k = 0; k < e[1]; ++k) t = gf2_mul(t, vy, 256);
      expect ^= t;
    }
    Poly p(a);
    Values at({BigRef(vx), BigRef(vy)});
    std::int32_t v = -1;
    mod_all_poly_eval(p, at.get(), &v);
    EXPECT_EQ(static_cast<std::uint32_t>(v), expect) << a.to_string(vars.names());
  }
}

TEST(ModAllPolyEval, MissingOrMarkedValuesAreReportedAndCountAsZero) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  ModulusScope mod(7);
  Poly p("x*y + 3");
  std::int32_t v = -1;
  testing::internal::CaptureStdout();
  {
    Values at({BigRef(2)});
    mod_all_poly_eval(p, at.get(), &v);  // y has no value: x*y counts as 0
  }
  EXPECT_EQ(v, 3);
  {
    Values at({BigRef(2), BigRef(5)}, {false, true});
    mod_all_poly_eval(p, at.get(), &v);
  }
  EXPECT_EQ(v, 3);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("arg is NULL but q not number in mod_all_poly_eval."), std::string::npos);
  EXPECT_NE(out.find("arg->exp = 1 in mod_all_poly_eval."), std::string::npos);
}

TEST(RatAllPolyEval, AgreesWithTermByTermSubstitution) {
  NodeBalance balance;
  PolyVars vars({"x", "y", "z", "w"});
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(100); ++it) {
    const RefPoly a = random_refpoly(rng, 4, 7, 9, 3);
    std::vector<BigRef> vals;
    for (int k = 0; k < 4; ++k)
      vals.push_back(it % 5 == 0 ? random_big(rng, 2)
                                 : BigRef(static_cast<std::int64_t>(rng() % 41) - 20));
    SCOPED_TRACE(a.to_string(vars.names()));
    Poly p(a);
    Values at(vals);
    imptr v = nullptr;
    rat_all_poly_eval(p, at.get(), &v);
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(valid_bigint(v));
    EXPECT_EQ(to_ref(v), substitute(a, 0, vals).coefficient({0, 0, 0, 0}));
    free_imag(&v);
  }
}

// all_poly_eval in the rings it serves: keeping the top `level` variables.
class AllPolyEvalTest : public testing::TestWithParam<Ring> {};

TEST_P(AllPolyEvalTest, KeepsTheTopLevelsAndSubstitutesTheRest) {
  NodeBalance balance;
  const Ring ring = GetParam();
  PolyVars vars({"x", "y", "z"});
  RingScope scope(ring);
  std::mt19937_64 rng(test_seed());
  const std::int64_t bound = ring == Ring::floating ? 6 : 1000;
  for (int it = 0; it < test_iterations(80); ++it) {
    const std::int16_t level = static_cast<std::int16_t>(it % 4);
    RefPoly a = random_refpoly(rng, 3, 6, ring == Ring::floating ? 3 : 6, 1);
    if (ring == Ring::floating) {
      RefPoly small(3);  // values stay exact in long doubles
      for (const auto& [e, c] : a.terms()) small.add_term(e, c % BigRef(1000));
      a = small;
    }
    a = in_ring(ring, a);
    std::vector<BigRef> vals = random_values(rng, 3 - std::min<int>(level, 3), bound);
    SCOPED_TRACE(a.to_string(vars.names()) + " level " + std::to_string(level));
    Poly p(a);
    Values at(vals);
    poly ans = nullptr;
    all_poly_eval(p.cell(), at.get(), &ans, level);
    Poly result = Poly::adopt(ans);
    const RefPoly expect = in_ring(ring, substitute(a, level, vals));
    if (expect.is_zero()) {
      EXPECT_EQ(ans, nullptr);
    } else {
      ASSERT_NE(ans, nullptr);
      EXPECT_TRUE(valid_poly(ans));
      EXPECT_EQ(read_poly(ans), expect);
    }
    EXPECT_EQ(read_poly(p), a);  // kept

    // In place: the same value.
    Poly copy(a);
    poly c = copy.release();
    old_all_poly_eval(&c, at.get(), level);
    Poly in_place = Poly::adopt(c);
    EXPECT_EQ(read_poly(c), expect);
  }
}

INSTANTIATE_TEST_SUITE_P(Rings, AllPolyEvalTest,
                         testing::Values(Ring::integers, Ring::mod7, Ring::mod_big, Ring::floating),
                         ring_test_name);

// A marked value keeps its variable where the evaluation goes level by
// level: the modular and big-integer evaluators take every value.
TEST(AllPolyEval, AMarkedValueKeepsItsVariable) {
  NodeBalance balance;
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed() + 1);
  for (Ring ring : {Ring::floating, Ring::word}) {
    RingScope scope(ring);
    for (int it = 0; it < test_iterations(40); ++it) {
      RefPoly a = random_refpoly(rng, 3, 6, 3, 1);
      RefPoly small(3);
      for (const auto& [e, c] : a.terms()) small.add_term(e, c % BigRef(100));
      a = in_ring(ring, small);
      const int marked = it % 3;
      std::vector<BigRef> vals = random_values(rng, 3, 5);
      std::vector<bool> marks(3, false);
      marks[static_cast<std::size_t>(marked)] = true;
      SCOPED_TRACE(a.to_string(vars.names()) + " keeping variable " + std::to_string(marked) +
                   " in " + ring_name(ring));
      Poly p(a);
      Values at(vals, marks);
      poly ans = nullptr;
      all_poly_eval(p.cell(), at.get(), &ans, 0);
      Poly result = Poly::adopt(ans);
      EXPECT_EQ(read_poly(ans), in_ring(ring, substitute(a, 0, vals, {marked})));
      if (ans != nullptr) {
        EXPECT_TRUE(valid_poly(ans));
      }
    }
  }
}

TEST(AllPolyEval, ConstantsAndEmptyValueListsCopy) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  Poly five("5");
  Poly zero("0");
  Poly p("x*y + 2");
  Values at({BigRef(3)});
  poly ans = nullptr;
  all_poly_eval(five.cell(), at.get(), &ans, 1);
  EXPECT_EQ(read_poly(ans), parse_ref("5", vars.names()));
  free_poly(&ans);
  all_poly_eval(zero.cell(), at.get(), &ans, 1);
  EXPECT_EQ(ans, nullptr);
  all_poly_eval(p.cell(), nullptr, &ans, 1);  // no values: a copy
  EXPECT_EQ(read_poly(ans), parse_ref("x*y + 2", vars.names()));
  free_poly(&ans);
  {
    // y = 3 leaves 3x + 2 at the top level; y = 0 leaves the constant 2.
    all_poly_eval(p.cell(), at.get(), &ans, 1);
    EXPECT_EQ(dump_poly(ans), "[1:3; 2]");
    free_poly(&ans);
    Values zero_at({BigRef(0)});
    all_poly_eval(p.cell(), zero_at.get(), &ans, 1);
    EXPECT_EQ(dump_poly(ans), "2");
    free_poly(&ans);
  }
}

}  // namespace
}  // namespace tavrin::test
