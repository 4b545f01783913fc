// Exact division and monic normalisation: known small answers, planted
// products a * b over b in every ring (quotient a), pairs that cannot divide
// (a * b plus a constant), and the in-place division against the checking
// one.
#include "poly/poly_exact_divide.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/division_pairs.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

struct Division {
  RefPoly q;
  bool failed;
};

Division divide_exactly(const std::string& n, const std::string& m, polypt pt) {
  Poly a(n), b(m);
  poly q = nullptr;
  bool failed = false;
  gen_poly_divide(a, b, &q, pt, &failed);
  Poly owned = Poly::adopt(q);
  EXPECT_TRUE(valid_poly(q));
  return {read_poly(q), failed};
}

TEST(GenPolyDivide, KnownAnswers) {
  NodeBalance balance;
  for (int nvars : {1, 2}) {
    PolyVars vars(nvars == 1 ? std::vector<std::string>{"x"} : std::vector<std::string>{"x", "y"});
    const auto& names = vars.names();
    polypt pt = vars.level(1);
    Division d = divide_exactly("x^2 - 1", "x - 1", pt);
    EXPECT_FALSE(d.failed);
    EXPECT_EQ(d.q, parse_ref("x + 1", names));
    EXPECT_TRUE(divide_exactly("x^2 + 1", "x - 1", pt).failed);
    d = divide_exactly("3", "x + 1", pt);
    EXPECT_TRUE(d.failed);
    EXPECT_TRUE(d.q.is_zero());
    EXPECT_TRUE(divide_exactly("x + 1", "2*x + 1", pt).failed);  // 1 / 2 truncates to 0
    EXPECT_TRUE(divide_exactly("3*x", "2*x", pt).failed);        // 3 / 2 truncates to 1
    d = divide_exactly("6*x^2 + 4*x", "2*x", pt);
    EXPECT_FALSE(d.failed);
    EXPECT_EQ(d.q, parse_ref("3*x + 2", names));
    d = divide_exactly("0", "x + 1", pt);
    EXPECT_FALSE(d.failed);
    EXPECT_TRUE(d.q.is_zero());
  }
}

TEST(GenPolyDivide, SeveralVariables) {
  NodeBalance balance;
  PolyVars vars({"x", "y", "z"});
  const auto& names = vars.names();
  polypt pt = vars.level(1);
  Division d = divide_exactly("(x*y + z)*(2*x^2*z - y + 3)", "x*y + z", pt);
  EXPECT_FALSE(d.failed);
  EXPECT_EQ(d.q, parse_ref("2*x^2*z - y + 3", names));
  // A divisor below the main variable divides coefficientwise.
  d = divide_exactly("(y + z)*(x^3 + 2*x + z)", "y + z", pt);
  EXPECT_FALSE(d.failed);
  EXPECT_EQ(d.q, parse_ref("x^3 + 2*x + z", names));
  // Both below the main variable: the pads are skipped and put back.
  d = divide_exactly("(y*z - 1)*(y^2 + z)", "y*z - 1", pt);
  EXPECT_FALSE(d.failed);
  EXPECT_EQ(d.q, parse_ref("y^2 + z", names));
  // The leading coefficient 2y + 1 does not divide by 2: no quotient y.
  EXPECT_TRUE(divide_exactly("(2*y + 1)*x", "2*x", pt).failed);
  EXPECT_TRUE(divide_exactly("(2*y + 1)*x^2 + 2*x*y", "2*x + 2", pt).failed);
  // A constant term that a divisor below the main variable cannot divide.
  EXPECT_TRUE(divide_exactly("y*x + 1", "y", pt).failed);
  // deg n < deg m.
  EXPECT_TRUE(divide_exactly("y*x + 1", "x^2", pt).failed);
}

TEST(GenPolyDivide, ADivisorEqualToTheDividendAndAQuotientInItsCell) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  const auto& names = vars.names();
  Poly a("x*y^2 + 3*y - x + 1");
  poly q = nullptr;
  bool failed = true;
  gen_poly_divide(a, a, &q, vars.level(1), &failed);
  EXPECT_FALSE(failed);
  EXPECT_EQ(read_poly(q), parse_ref("1", names));
  free_poly(&q);
  EXPECT_EQ(read_poly(a), parse_ref("x*y^2 + 3*y - x + 1", names));

  Poly n("(x*y + 2)*(x - y)");
  Poly m("x - y");
  gen_poly_divide(n, m, n.cell(), vars.level(1), &failed);  // the quotient replaces n
  EXPECT_FALSE(failed);
  EXPECT_EQ(read_poly(n), parse_ref("x*y + 2", names));
}

TEST(GenPolyDivide, ConstantDivisors) {
  NodeBalance balance;
  PolyVars vars({"x"});
  Poly n("3*x + 1");
  poly q = nullptr;
  bool failed = false;
  {
    ModulusScope mod(7);
    Poly n7("3*x + 1");
    Poly one("1");
    gen_poly_divide(n7, one, &q, vars.level(1), &failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(read_poly(q), read_poly(n7));
    free_poly(&q);
  }
  Poly two("2");
  testing::internal::CaptureStdout();
  gen_poly_divide(n, two, &q, vars.level(1), &failed);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("m is number in poly_divide."),
            std::string::npos);
  EXPECT_TRUE(failed);
  free_poly(&q);
}

// Planted products in every ring.
class ExactDivideTest : public testing::TestWithParam<Ring> {};

TEST_P(ExactDivideTest, PlantedProductsDivideAndPerturbedOnesFail) {
  NodeBalance balance;
  const Ring ring = GetParam();
  std::mt19937_64 rng(test_seed());
  for (int nvars : {2, 3, 4}) {
    std::vector<std::string> names = {"x", "y", "z", "w"};
    names.resize(static_cast<std::size_t>(nvars));
    PolyVars vars(names);
    RingScope scope(ring);
    polypt pt = vars.level(1);
    for (int it = 0; it < test_iterations(60); ++it) {
      // Floating division is over a field with fractions the test cannot
      // read back: no free pairs there.
      PairKind kind =
          it % 3 == 0 ? PairKind::exact : (it % 3 == 1 ? PairKind::inexact : PairKind::free);
      if (ring == Ring::floating && kind == PairKind::free) kind = PairKind::exact;
      const DivisionPair pair = random_division_pair(rng, ring, nvars, kind);
      SCOPED_TRACE("(" + pair.n.to_string(names) + ") / (" + pair.m.to_string(names) + ") in " +
                   ring_name(ring));
      Poly n(pair.n), m(pair.m);
      const std::string m_shape = dump_poly(m);
      poly q = nullptr;
      bool failed = false;
      gen_poly_divide(n, m, &q, pt, &failed);
      Poly quotient = Poly::adopt(q);
      EXPECT_EQ(dump_poly(m), m_shape);  // the divisor's tail is back
      EXPECT_EQ(read_poly(n), pair.n);
      if (kind == PairKind::exact) {
        ASSERT_FALSE(failed);
        EXPECT_TRUE(valid_poly(q));
        EXPECT_EQ(read_poly(q), pair.quotient);
      } else if (kind == PairKind::inexact) {
        EXPECT_TRUE(failed);
      } else if (!failed) {
        EXPECT_EQ(ring_product(ring, read_poly(q), pair.m), pair.n);
      }
      if (failed) continue;
      // The in-place division, told the division is exact, agrees.
      poly w = build_poly(pair.n);
      fast_poly_divide(&w, m, pt, 5);
      Poly in_place = Poly::adopt(w);
      EXPECT_TRUE(valid_poly(w));
      EXPECT_EQ(read_poly(w), read_poly(q));
      EXPECT_EQ(dump_poly(m), m_shape);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rings, ExactDivideTest,
                         testing::Values(Ring::integers, Ring::mod7, Ring::mod65521, Ring::mod_big,
                                         Ring::floating),
                         ring_test_name);

// One variable over the integers, on words and by long division: planted
// products (signs, long coefficients, zero low terms) give the same
// quotient; a failure (a remainder, or a divisor's content that does not
// divide) hands the case back to the long division, whose partial quotient
// and in-place reports stay as they were.
TEST(GenPolyDivide, IntegerOneVariableOnWordsAndByLongDivision) {
  NodeBalance balance;
  PolyVars vars({"x"});
  const auto& names = vars.names();
  polypt pt = vars.level(1);
  std::mt19937_64 rng(test_seed() + 5);
  constexpr std::int32_t never = 2147483647;
  auto random_x = [&rng](int deg, int low) {
    RefPoly r(1);
    for (int e = std::min(low, deg); e <= deg; ++e) {
      BigRef c(static_cast<std::int64_t>(1 + rng() % 1000));
      if (rng() % 3 == 0) c = (c << 60) + BigRef(static_cast<std::int64_t>(rng() % 1000));
      r.add_term({e}, rng() % 2 ? -c : c);
    }
    return r;
  };
  for (int it = 0; it < test_iterations(30); ++it) {
    const RefPoly a = random_x(static_cast<int>(rng() % 30), 0),
                  b = random_x(static_cast<int>(1 + rng() % 25), it % 4 == 0 ? 2 : 0);
    RefPoly n = a * b;
    RefPoly m = b;
    if (it % 3 == 1) n = n + RefPoly::constant(1, BigRef(5));
    if (it % 3 == 2)
      m = b.scaled(BigRef(1000003));  // a prime no coefficient of a has as a factor, mostly
    SCOPED_TRACE("(" + n.to_string(names) + ") / (" + m.to_string(names) + ")");
    Poly pn(n), pm(m);
    RefPoly quotient[2];
    bool failed[2] = {false, false};
    for (int words = 0; words < 2; ++words) {
      ScopedValue<std::int32_t> route(integer_division_degree, words ? 0 : never);
      poly q = nullptr;
      gen_poly_divide(pn, pm, &q, pt, &failed[words]);
      Poly owned = Poly::adopt(q);
      ASSERT_TRUE(valid_poly(q));
      quotient[words] = read_poly(q);
    }
    EXPECT_EQ(failed[1], failed[0]);
    EXPECT_EQ(quotient[1], quotient[0]);
    if (it % 3 == 0) {
      EXPECT_FALSE(failed[1]);
      EXPECT_EQ(quotient[1], a);
      for (int words = 0; words < 2; ++words) {
        ScopedValue<std::int32_t> route(integer_division_degree, words ? 0 : never);
        Poly w(n);
        fast_poly_divide(w.cell(), pm, pt, 7);
        ASSERT_TRUE(valid_poly(w));
        EXPECT_EQ(read_poly(w), a);
      }
    }
  }
  // A failure in place reports as the long division does.
  ScopedValue<std::int32_t> route(integer_division_degree, 0);
  Poly n("x^12 + 1"), m("x^3 + x + 1");
  testing::internal::CaptureStdout();
  fast_poly_divide(n.cell(), m, pt, 13);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("bad nexp in fast_poly_divide."), std::string::npos) << out;
  EXPECT_TRUE(valid_poly(n));
}

TEST(FastPolyDivide, ReportsWhatCannotBeDividedInPlace) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  const auto& names = vars.names();
  Poly m("x + y");
  Poly three("3");
  testing::internal::CaptureStdout();
  fast_poly_divide(three.cell(), m, vars.level(1), 11);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** n is number in fast_poly_divide, 1, 0, 11"), std::string::npos);
  EXPECT_NE(out.find("n is number in fast_poly_divide."), std::string::npos);
  EXPECT_TRUE(read_poly(three).is_zero());

  Poly low("y + 1");
  Poly m2("x^2 + y");
  testing::internal::CaptureStdout();
  fast_poly_divide(low.cell(), m2, vars.level(1), 12);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** bad exps 2, 0, 12"), std::string::npos);
  EXPECT_EQ(read_poly(low), parse_ref("y + 1", names));

  // x^2 + 1 is not a multiple of x + y: the remainder runs out of degree.
  Poly n("x^2 + 1");
  testing::internal::CaptureStdout();
  fast_poly_divide(n.cell(), m, vars.level(1), 13);
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("bad nexp in fast_poly_divide."), std::string::npos);
  EXPECT_TRUE(valid_poly(n));
}

TEST(FastDivide, DividesEveryCoefficientByAContent) {
  NodeBalance balance;
  PolyVars vars({"x", "y", "z"});
  const auto& names = vars.names();
  Poly p("2*x*y + 4*x");
  Poly d("2*y + 4", {"y", "z"});  // a polynomial of the level below
  fast_divide(p.cell(), d, vars.level(1), 3);
  EXPECT_TRUE(valid_poly(p));
  EXPECT_EQ(read_poly(p), parse_ref("x", names));

  Poly r("(y*z + 1)*(x^2 + 3*x + z)");
  Poly c("y*z + 1", {"y", "z"});
  fast_divide(r.cell(), c, vars.level(1), 3);
  EXPECT_EQ(read_poly(r), parse_ref("x^2 + 3*x + z", names));

  Poly s("6*x^2*y + 4*x + 2");  // the constant term is a leaf: reported, left
  Poly two("2");
  testing::internal::CaptureStdout();
  fast_divide(s.cell(), two, vars.level(1), 3);
  EXPECT_NE(testing::internal::GetCapturedStdout().find(" tp numb in fast_divide."),
            std::string::npos);
  EXPECT_EQ(read_poly(s), parse_ref("3*x^2*y + 2*x + 2", names));
}

TEST(PolyQuot, DividesByANumber) {
  NodeBalance balance;
  PolyVars vars({"x"});
  Poly n("6*x + 4");
  Poly two("2");
  poly q = nullptr;
  poly_quot(n, two, &q, 1);
  EXPECT_EQ(read_poly(q), parse_ref("3*x + 2", vars.names()));
  free_poly(&q);
}

TEST(MonicPoly, KnownAnswers) {
  NodeBalance balance;
  PolyVars vars({"x"});
  const auto& names = vars.names();
  {
    ModulusScope mod(7);
    Poly q("3*x + 1");
    poly r = nullptr;
    monic_poly(q.cell(), &r, vars.level(1));
    EXPECT_EQ(read_poly(q), parse_ref("x + 5", names));
    EXPECT_EQ(read_poly(r), parse_ref("3", names));
    free_poly(&r);
  }
  {
    FloatingMode fl;
    Poly q("2*x^2 + 4*x - 6");
    poly r = nullptr;
    monic_poly(q.cell(), &r, vars.level(1));
    EXPECT_EQ(read_poly(q), parse_ref("x^2 + 2*x - 3", names));
    EXPECT_EQ(r->ncoef->flote, 2.0L);
    free_poly(&r);
  }
  {
    // Outside modular and floating arithmetic: error 284, nothing changes.
    Poly q("3*x + 1");
    poly r = nullptr;
    testing::internal::CaptureStdout();
    EXPECT_THROW(monic_poly(q.cell(), &r, vars.level(1)), TopLevelJump);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(r, nullptr);
    EXPECT_EQ(read_poly(q), parse_ref("3*x + 1", names));
  }
}

TEST(MonicPoly, TheFactorMultipliesBack) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  for (std::int32_t m : {7, 65521, 2147483629, 256, 65536}) {
    ModulusScope mod(m);
    const int field_size = (m == 256 || m == 65536) ? m : 0;
    for (int it = 0; it < test_iterations(40); ++it) {
      const RefPoly a = random_refpoly(rng, 2, 5, 4, 2).reduced_mod(BigRef(m));
      if (a.is_zero()) continue;
      SCOPED_TRACE(a.to_string(vars.names()) + " modulo " + std::to_string(m));
      Poly q(a);
      poly r = nullptr;
      monic_poly(q.cell(), &r, vars.level(1));
      Poly factor = Poly::adopt(r);
      EXPECT_TRUE(valid_poly(q));
      EXPECT_EQ(leading_coef(q)->ncoef->lint, 1);
      const RefPoly back = field_size != 0 ? gf2_product(read_poly(q), read_poly(r), field_size)
                                           : (read_poly(q) * read_poly(r)).reduced_mod(BigRef(m));
      EXPECT_EQ(back, a);
    }
  }
}

TEST(DivideThru, MultipliesEveryNumberByTheInverse) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  ModulusScope mod(11);
  Poly u("3*x^2*y + 5*y + 7");
  monic_poly_EnvRec env{4};  // 4 = 1 / 3 modulo 11
  divide_thru(u, &env);
  EXPECT_EQ(read_poly(u), parse_ref("x^2*y + 9*y + 6", vars.names()));
}

}  // namespace
}  // namespace tavrin::test
