// One-variable division over a field: long division and the remainder-only
// division against naive long division on coefficient vectors; the
// divide-and-conquer division against the schoolbook division at every
// threshold of its degree ratio, with the thresholds pushed down so that
// small inputs reach every route; monic divisors over the integers and
// over polynomial coefficients against the identity n = q m + r; operands
// back node for node afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/divide_routes.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

std::string field_name(std::int64_t p) { return "modulus " + std::to_string(p); }

std::int32_t deg_of(poly p) { return p->numb ? 0 : p->exp; }

// A random one-variable polynomial of degree exactly deg, monic when asked.
Coeffs random_poly(std::mt19937_64& rng, const RefField& f, std::int64_t deg, bool monic) {
  Coeffs a = random_coeffs(rng, f, deg);
  if (monic) a.back() = 1;
  return a;
}

// n divided by m through `divide`, compared with naive long division; n and
// m must come back node for node.
template <class Divide>
void expect_division(const RefField& f, const Coeffs& n, const Coeffs& m, Divide divide) {
  SCOPED_TRACE("n " + show_coeffs(n) + "  m " + show_coeffs(m));
  Coeffs want_q, want_r;
  ref_divmod(f, n, m, &want_q, &want_r);
  Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m));
  const std::string shape_n = node_shape(pn), shape_m = node_shape(pm);
  Poly q, r;
  divide(pn.get(), pm.get(), q.cell(), r.cell());
  ASSERT_TRUE(valid_poly(r));
  EXPECT_EQ(poly_to_coeffs(r), ref_trimmed(want_r));
  if (q.get() != nullptr) {
    ASSERT_TRUE(valid_poly(q));
    EXPECT_EQ(poly_to_coeffs(q), ref_trimmed(want_q));
  }
  EXPECT_EQ(node_shape(pn), shape_n);
  EXPECT_EQ(node_shape(pm), shape_m);
}

class FieldDivideTest : public ::testing::Test {
 protected:
  PolyVars vars{"t"};
};

// ---- Long division ------------------------------------------------------------------------

TEST_F(FieldDivideTest, LongDivisionAgreesWithNaiveDivision) {
  std::mt19937_64 rng(test_seed());
  const divide_route_counts before = divide_routes;
  for (std::int64_t p : {7, 65521, 2147483629, 256, 65536}) {
    ModulusScope mod(static_cast<std::int32_t>(p));
    const RefField f(p);
    SCOPED_TRACE(field_name(p));
    NodeBalance balance;
    for (int i = 0; i < test_iterations(60); ++i) {
      const std::int64_t dm = static_cast<std::int64_t>(rng() % 12);
      const std::int64_t dn = static_cast<std::int64_t>(rng() % 30);
      const Coeffs n = random_poly(rng, f, dn, false), m = random_poly(rng, f, dm, i % 3 == 0);
      expect_division(f, n, m, [](poly a, poly b, poly* q, poly* r) {
        simplest_poly_divide(a, b, q, r, false);
      });
      expect_division(
          f, n, m, [](poly a, poly b, poly* q, poly* r) { basic_poly_divide(a, b, q, r, false); });
      expect_division(f, n, m, [](poly a, poly b, poly*, poly* r) { poly_div_no_q(a, b, r); });
    }
  }
  EXPECT_GT(routes_since(before).long_division, 0);
}

TEST_F(FieldDivideTest, ExactDivisionsAndDivisorsWithoutATail) {
  ModulusScope mod(101);
  NodeBalance balance;
  Poly n("t^5 + 3*t^2 + 7"), m("t^2"), q, r;  // no tail: R walks along n
  simplest_poly_divide(n, m, q.cell(), r.cell(), false);
  EXPECT_EQ(show_poly(q), "t^3 + 3");
  EXPECT_EQ(show_poly(r), "7");
  Poly e("t^4 - 1"), g("t^2 + 1");
  basic_poly_divide(e, g, q.cell(), r.cell(), false);
  EXPECT_EQ(q.ref(), parse_ref("t^2 - 1", vars.names()).reduced_mod(BigRef(101)));
  EXPECT_TRUE(poly_iszero(r));
  Poly c("5"), d("t + 1");  // below the divisor: q 0, r a copy
  basic_poly_divide(c, d, q.cell(), r.cell(), true);
  EXPECT_TRUE(poly_iszero(q));
  EXPECT_EQ(show_poly(r), "5");
  Poly k("3"), s("2*t^2 + 1");  // a constant dividend below every divisor
  poly_div_no_q(k, s, r.cell());
  EXPECT_EQ(show_poly(r), "3");
  Poly u("6*t^3 + 4*t"), two("2");  // a constant divisor: coefficientwise
  simplest_poly_divide(u, two, q.cell(), r.cell(), false);
  EXPECT_EQ(show_poly(q), "3*t^3 + 2*t");
  EXPECT_TRUE(poly_iszero(r));
}

TEST_F(FieldDivideTest, SameDividendAndDivisor) {
  ModulusScope mod(13);
  NodeBalance balance;
  Poly n("3*t^3 + t + 5"), q, r;
  const std::string shape = node_shape(n);
  basic_poly_divide(n, n, q.cell(), r.cell(), false);
  EXPECT_EQ(show_poly(q), "1");
  EXPECT_TRUE(poly_iszero(r));
  poly_div_no_q(n, n, r.cell());
  EXPECT_TRUE(poly_iszero(r));
  ScopedValue<std::int32_t> cut(poly_cutoff, 1);
  simplest_poly_divide(n, n, q.cell(), r.cell(), true);  // the monic fast path
  EXPECT_EQ(show_poly(q), "1");
  EXPECT_TRUE(poly_iszero(r));
  EXPECT_EQ(node_shape(n), shape);
}

TEST_F(FieldDivideTest, FloatingLongDivision) {
  FloatingMode fl;
  NodeBalance balance;
  // (2t + 1)(t^2 - 3t + 0.5) + 4, with exact binary fractions.
  Poly m("2*t + 1"), a("2*t^2 - 6*t + 1"), n, q, r, eight("8");
  poly_mult(m, a, n.cell(), nilpol);
  poly_add(n, eight, n.cell());
  basic_poly_divide(n, m, q.cell(), r.cell(), true);
  Poly back;
  poly_mult(q, m, back.cell(), nilpol);
  poly_add(back, r, back.cell());
  EXPECT_TRUE(poly_equal(back, n)) << show_poly(back);
  EXPECT_EQ(show_poly(r), "8");
  EXPECT_EQ(deg_of(q), 2);
  poly_div_no_q(n, m, r.cell());
  EXPECT_EQ(show_poly(r), "8");
}

TEST_F(FieldDivideTest, AnErrorUnwindRestoresTheDivisor) {
  NumberedErrors numbered;
  // Modulo 15 the leading coefficient 3 has no inverse: error 85 unwinds
  // from the middle of the long division, its tail negated.
  ModulusScope mod(15, false);
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  Poly n("t^5 + 2*t^3 + 7*t + 1"), m("3*t^2 + 4*t + 2"), q, r;
  const std::string shape_n = node_shape(n), shape_m = node_shape(m);
  testing::internal::CaptureStdout();
  EXPECT_THROW(basic_poly_divide(n, m, q.cell(), r.cell(), false), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 85."), std::string::npos) << out;
  EXPECT_EQ(node_shape(n), shape_n);
  EXPECT_EQ(node_shape(m), shape_m);
  EXPECT_EQ(q.get(), nullptr);
  EXPECT_EQ(r.get(), nullptr);
}

// ---- The remainder alone ----------------------------------------------------------------------

TEST_F(FieldDivideTest, RemainderTakesTheArraysForDenseOperands) {
  std::mt19937_64 rng(test_seed() + 3);
  for (std::int64_t p : {65521, 2147483629}) {
    ModulusScope mod(static_cast<std::int32_t>(p));
    const RefField f(p);
    NodeBalance balance;
    const divide_route_counts before = divide_routes;
    for (int i = 0; i < test_iterations(20); ++i) {
      // Dense (every coefficient present), more than fast_mult_cut terms.
      Coeffs n(static_cast<std::size_t>(40 + i), 0), m(static_cast<std::size_t>(12 + i % 5), 0);
      for (auto& c : n)
        c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p - 1));
      for (auto& c : m)
        c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p - 1));
      expect_division(f, n, m, [](poly a, poly b, poly*, poly* r) { poly_div_no_q(a, b, r); });
    }
    EXPECT_EQ(routes_since(before).dense_no_q, test_iterations(20));
    EXPECT_EQ(routes_since(before).long_division, 0);
  }
}

// Past the arrays (fast_gcd_size lowered) the remainder takes residue
// vectors, but in characteristic 2 without element vectors, whose long
// dividends stay term lists; on every side the remainder of the arrays and
// of the long division, and with the default cut-offs (element vectors in
// GF(256)) the same remainder.
TEST_F(FieldDivideTest, RemaindersPastTheArraysOnVectors) {
  std::mt19937_64 rng(test_seed() + 13);
  constexpr std::int32_t never = 2147483647;
  for (std::int64_t p : {7, 65521, 2147483629, 256}) {
    ModulusScope mod(static_cast<std::int32_t>(p));
    const RefField f(p);
    NodeBalance balance;
    for (std::int64_t dn : {59, 60, 61, 200}) {
      for (std::int64_t dm : {11, 30}) {
        Coeffs n(static_cast<std::size_t>(dn + 1)), m(static_cast<std::size_t>(dm + 1));
        for (auto& c : n)
          c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p - 1));
        for (auto& c : m)
          c = dn == 61 ? p - 1
                       : 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p - 1));
        SCOPED_TRACE(field_name(p) + " degrees " + std::to_string(dn) + ", " + std::to_string(dm));
        const divide_route_counts before = divide_routes;
        Poly by_lists;
        {
          ScopedValue<std::int32_t> cap(fast_gcd_size, 60);
          ScopedValue<std::int32_t> no_vectors(char2_vector_degree,
                                               never);  // GF(2^k) element vectors
          expect_division(f, n, m, [](poly a, poly b, poly*, poly* r) { poly_div_no_q(a, b, r); });
          const divide_route_counts d = routes_since(before);
          const bool past = dn > 60;
          EXPECT_EQ(d.dense_no_q, past && p == 256 ? 0 : 1);
          EXPECT_EQ(d.long_division, past && p == 256 ? 1 : 0);
          ScopedValue<std::int32_t> lists(fast_mult_cut, never);
          expect_division(f, n, m, [](poly a, poly b, poly*, poly* r) { poly_div_no_q(a, b, r); });
        }
        expect_division(f, n, m, [](poly a, poly b, poly*, poly* r) { poly_div_no_q(a, b, r); });
      }
    }
  }
}

TEST_F(FieldDivideTest, RemainderReportsADivisorWithoutANumberLead) {
  PolyVars two{"t", "y"};
  ModulusScope mod(7);
  NodeBalance balance;
  Poly n("t^3 + y"), m("y*t + 1"), r;
  testing::internal::CaptureStdout();
  poly_div_no_q(n, m, r.cell());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("*** Tavrin error. divisor not number in fastest poly quot.\n", 0), 0u)
      << out;
  EXPECT_TRUE(poly_equal(r, n));
  Poly p("3*t + 1"), c("y"), q;
  testing::internal::CaptureStdout();
  fastest_poly_quot(p, c, q.cell());
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(poly_equal(q, p));
  Poly three("3");
  fastest_poly_quot(p, three, q.cell());  // 3^-1 = 5 mod 7
  EXPECT_EQ(show_poly(q), "t + 5");
}

// ---- Divide and conquer -------------------------------------------------------------------

class DivideAndConquer : public ::testing::TestWithParam<std::int64_t> {
 protected:
  PolyVars vars{"t"};
};

// The degree pairs (dn, dm) of each route: ratio at most 9/4 (step K),
// between 9/4 and 10/3 (step S), at least 10/3 (the split at t^(2 dm)),
// beyond 20 (the split, many times over); below 4/3 the base case at once.
enum class Route { k, s, split, base };
struct Shape {
  const char* name;
  std::int64_t dn, dm;
  Route route;
};
constexpr Shape shapes[] = {
    {"ratio 1", 40, 40, Route::base},      {"ratio 1.35", 54, 40, Route::k},
    {"ratio 1.5", 60, 40, Route::k},       {"ratio 2.2", 66, 30, Route::k},
    {"ratio 2.25", 90, 40, Route::k},      {"ratio 2.3", 69, 30, Route::s},
    {"ratio 2.6", 78, 30, Route::s},       {"ratio 3.2", 96, 30, Route::s},
    {"ratio 3.33", 100, 30, Route::split}, {"ratio 4", 120, 30, Route::split},
    {"ratio 7.5", 150, 20, Route::split},  {"ratio 25", 250, 10, Route::split},
    {"ratio 60", 300, 5, Route::split},    {"divisor 1", 50, 1, Route::split},
    {"divisor 2", 50, 2, Route::split},    {"dividend below", 20, 30, Route::base},
};

TEST_P(DivideAndConquer, QuotientAndRemainderEqualTheSchoolbookAtEveryRatio) {
  const std::int64_t p = GetParam();
  ModulusScope mod(static_cast<std::int32_t>(p));
  const RefField f(p);
  std::mt19937_64 rng(test_seed() + static_cast<std::uint64_t>(p));
  ScopedValue<std::int32_t> cut(div_poly_cutoff, 3);
  NodeBalance balance;
  for (const Shape& s : shapes) {
    SCOPED_TRACE(s.name);
    const divide_route_counts before = divide_routes;
    for (int i = 0; i < test_iterations(6); ++i) {
      const Coeffs n = random_poly(rng, f, s.dn, false), m = random_poly(rng, f, s.dm, true);
      Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m));
      const std::string shape_n = node_shape(pn), shape_m = node_shape(pm);
      Poly q, r, sq, sr;
      fast_mod_and_div(pn, pm, r.cell(), q.cell(), nilpol, true);
      simplest_poly_divide(pn, pm, sq.cell(), sr.cell(), false);
      ASSERT_TRUE(valid_poly(q));
      ASSERT_TRUE(valid_poly(r));
      ASSERT_TRUE(poly_equal(q, sq)) << show_poly(q) << "\n" << show_poly(sq);
      ASSERT_TRUE(poly_equal(r, sr)) << show_poly(r) << "\n" << show_poly(sr);
      ASSERT_EQ(node_shape(pn), shape_n);
      ASSERT_EQ(node_shape(pm), shape_m);
      Coeffs want_q, want_r;
      ref_divmod(f, n, m, &want_q, &want_r);
      ASSERT_EQ(poly_to_coeffs(r), ref_trimmed(want_r));
    }
    const divide_route_counts d = routes_since(before);
    switch (s.route) {
      case Route::k:
        EXPECT_GT(d.step_k, 0);
        EXPECT_EQ(d.split, 0);
        break;
      case Route::s:
        EXPECT_GT(d.step_s, 0);
        EXPECT_EQ(d.split, 0);
        break;
      case Route::split: EXPECT_GT(d.split, 0); break;
      case Route::base:
        EXPECT_EQ(d.step_k + d.step_s + d.split, 0);
        EXPECT_GT(d.base_case, 0);
        break;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, DivideAndConquer, ::testing::Values(7, 65521, 2147483629, 256),
                         [](const auto& info) { return std::to_string(info.param); });

TEST_F(FieldDivideTest, LongDivisionsHandLargeDivisionsOver) {
  std::mt19937_64 rng(test_seed() + 5);
  ModulusScope mod(65521);
  const RefField f(65521);
  ScopedValue<std::int32_t> cut(div_poly_cutoff, 4);
  NodeBalance balance;
  struct Case {
    std::int64_t dn, dm;
    bool fast;  // dm > poly_cutoff, or dm > 2 and dn > 20 dm
  };
  // poly_cutoff 40: a divisor above it, one at it, a long dividend over a
  // short divisor (ratio above 20), the same divisor at ratio 20, and a
  // divisor of degree 2.
  for (const Case c : {Case{90, 41, true}, Case{90, 40, false}, Case{130, 6, true},
                       Case{120, 6, false}, Case{200, 2, false}}) {
    SCOPED_TRACE(std::to_string(c.dn) + " by " + std::to_string(c.dm));
    ScopedValue<std::int32_t> pc(poly_cutoff, 40);
    for (bool monic : {true, false}) {
      const divide_route_counts before = divide_routes;
      const Coeffs n = random_poly(rng, f, c.dn, false), m = random_poly(rng, f, c.dm, monic);
      expect_division(
          f, n, m, [](poly a, poly b, poly* q, poly* r) { basic_poly_divide(a, b, q, r, true); });
      expect_division(f, n, m, [](poly a, poly b, poly* q, poly* r) {
        simplest_poly_divide(a, b, q, r, true);
      });
      const divide_route_counts d = routes_since(before);
      EXPECT_EQ(d.monic_fast, c.fast ? 2 : 0);
      // On the fast path every long division is a base case of the halves.
      EXPECT_EQ(d.long_division, c.fast ? d.base_case : 2);
    }
  }
  // Without cancall, or modulo a composite, always the long division.
  const Coeffs n = random_poly(rng, f, 100, false), m = random_poly(rng, f, 45, false);
  const divide_route_counts before = divide_routes;
  expect_division(f, n, m,
                  [](poly a, poly b, poly* q, poly* r) { basic_poly_divide(a, b, q, r, false); });
  {
    ScopedValue<bool> composite(mod_is_prime, false);
    expect_division(
        f, n, m, [](poly a, poly b, poly* q, poly* r) { simplest_poly_divide(a, b, q, r, true); });
  }
  EXPECT_EQ(routes_since(before).monic_fast, 0);
}

TEST_F(FieldDivideTest, TheFastPathMayReplaceTheDividendByItsQuotient) {
  ModulusScope mod(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed() + 6);
  ScopedValue<std::int32_t> pc(poly_cutoff, 10);
  NodeBalance balance;
  const Coeffs n = random_poly(rng, f, 60, false), m = random_poly(rng, f, 20, false);
  Coeffs want_q, want_r;
  ref_divmod(f, n, m, &want_q, &want_r);
  Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m)), r;
  const std::string shape_m = node_shape(pm);
  const divide_route_counts before = divide_routes;
  basic_poly_divide(pn, pm, pn.cell(), r.cell(), true);  // the quotient replaces n
  EXPECT_EQ(routes_since(before).monic_fast, 1);
  EXPECT_EQ(poly_to_coeffs(pn), ref_trimmed(want_q));
  EXPECT_EQ(poly_to_coeffs(r), ref_trimmed(want_r));
  EXPECT_EQ(node_shape(pm), shape_m);
}

TEST_F(FieldDivideTest, FewDivisorTermsAlwaysTakeTheBaseCase) {
  ModulusScope mod(7);
  const RefField f(7);
  NodeBalance balance;
  ScopedValue<std::int32_t> cut(div_poly_cutoff, 25);
  // t^40 + t^3 + 1: three terms, far below the cut-off.
  Coeffs m(41, 0);
  m[40] = m[3] = m[0] = 1;
  std::mt19937_64 rng(test_seed() + 7);
  for (std::int64_t dn : {60, 100, 150, 400}) {
    const Coeffs n = random_poly(rng, f, dn, false);
    const divide_route_counts before = divide_routes;
    expect_division(f, n, m, [](poly a, poly b, poly* q, poly* r) {
      fast_mod_and_div(a, b, r, q, nilpol, true);
    });
    EXPECT_EQ(routes_since(before).step_k, 0);
    EXPECT_EQ(routes_since(before).step_s, 0);
  }
}

// ---- Divide and conquer over other coefficients ---------------------------------------------

// n = q m + r with deg r < deg m (in the top variable), in the reference.
void expect_identity(Ring ring, poly n, poly m, poly q, poly r) {
  ASSERT_TRUE(valid_poly(q));
  ASSERT_TRUE(valid_poly(r));
  EXPECT_EQ(ring_sum(ring, ring_product(ring, read_poly(q), read_poly(m)), read_poly(r)),
            in_ring(ring, read_poly(n)));
  if (!poly_iszero(r)) {
    EXPECT_LT(deg_of(r), deg_of(m));
  }
}

TEST(DivideAndConquerGeneral, MonicDivisorsOverTheIntegersAndOverPolynomials) {
  PolyVars vars{"x", "y"};
  std::mt19937_64 rng(test_seed() + 8);
  ScopedValue<std::int32_t> cut(div_poly_cutoff, 3);
  const divide_route_counts before = divide_routes;
  for_each_ring({Ring::integers, Ring::mod7}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(12); ++i) {
      // Dense in x; coefficients numbers or small polynomials in y.
      const std::int32_t dm = 6 + static_cast<std::int32_t>(rng() % 10);
      const std::int32_t dn = dm + static_cast<std::int32_t>(rng() % (4 * dm));
      RefPoly a(2), b(2);
      for (std::int32_t e = 0; e <= dn; ++e) {
        RefPoly c = RefPoly::constant(2, random_big(rng, 2));
        if (i % 2 == 1 && rng() % 3 == 0) {
          c = c + RefPoly::variable(2, 1, 1 + static_cast<std::int32_t>(rng() % 3));
        }
        a = a + c * RefPoly::variable(2, 0, e);
      }
      for (std::int32_t e = 0; e < dm; ++e) {
        RefPoly c = RefPoly::constant(2, random_big(rng, 2));
        if (i % 2 == 1 && rng() % 3 == 0) {
          c = c - RefPoly::variable(2, 1, 2);
        }
        b = b + c * RefPoly::variable(2, 0, e);
      }
      b = b + RefPoly::variable(2, 0, dm);  // monic
      a = in_ring(ring, a);
      b = in_ring(ring, b);
      Poly n(a), m(b);
      const std::string shape_n = node_shape(n), shape_m = node_shape(m);
      Poly q, r;
      fast_mod_and_div(n, m, r.cell(), q.cell(), vars.level(1), false);
      expect_identity(ring, n, m, q, r);
      EXPECT_EQ(node_shape(n), shape_n);
      EXPECT_EQ(node_shape(m), shape_m);
    }
  });
  const divide_route_counts d = routes_since(before);
  EXPECT_GT(d.step_k, 0);
  EXPECT_GT(d.split + d.step_s, 0);
}

TEST(DivideAndConquerGeneral, LaurentOperandsGoToTheBaseCase) {
  PolyVars vars{"x"};
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  ScopedValue<std::int32_t> cut(div_poly_cutoff, 2);
  Poly n("x^9 + 3*x^4 + x^-2"), m("x^4 + 2*x + 1"), q, r;
  const divide_route_counts before = divide_routes;
  fast_mod_and_div(n, m, r.cell(), q.cell(), vars.level(1), false);
  EXPECT_EQ(routes_since(before).base_case, 1);
  EXPECT_EQ(routes_since(before).step_k, 0);
  expect_identity(Ring::integers, n, m, q, r);
}

// The monic division on residue vectors against the divide-and-conquer
// division on term lists, node for node: divisors short and long, monic or
// not, every coefficient p - 1, low coefficients zero; quotients of every
// length. Negative exponents and characteristic 2 keep the term lists.
TEST_F(FieldDivideTest, MonicDivisionOnVectorsAgreesWithTheListDivision) {
  std::mt19937_64 rng(test_seed() + 12);
  constexpr std::int32_t never = 2147483647;
  for (std::int32_t p : {7, 32003, 2147483629}) {
    SCOPED_TRACE(field_name(p));
    ModulusScope mod(p);
    const RefField f(p);
    NodeBalance balance;
    for (std::int64_t dm : {3, 41, 150}) {
      for (std::int64_t dn : {dm, dm + 1, 2 * dm + 5, 20 * dm + 7}) {
        for (int shape = 0; shape < 4; ++shape) {
          Coeffs m = random_poly(rng, f, dm, shape == 1);
          if (shape == 2) std::fill(m.begin(), m.end(), p - 1);
          if (shape == 3) std::fill(m.begin(), m.begin() + 2, 0);
          const Coeffs n = random_poly(rng, f, dn, false);
          Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m));
          const std::string shape_n = node_shape(pn), shape_m = node_shape(pm);
          Coeffs want_q, want_r;
          ref_divmod(f, n, m, &want_q, &want_r);
          Poly q[2], r[2];
          for (int vectors = 0; vectors < 2; ++vectors) {
            ScopedValue<std::int32_t> by_dividend(residue_division_degree, vectors ? 0 : never);
            ScopedValue<std::int32_t> by_divisor(dense_newton_degree,
                                                 vectors ? dense_newton_degree : never);
            const divide_route_counts before = divide_routes;
            basic_poly_divide(pn, pm, q[vectors].cell(), r[vectors].cell(), true);
            const divide_route_counts d = routes_since(before);
            EXPECT_EQ(d.newton, vectors ? d.monic_fast : 0);
            ASSERT_TRUE(valid_poly(q[vectors]) && valid_poly(r[vectors]));
            ASSERT_EQ(poly_to_coeffs(q[vectors]), ref_trimmed(want_q))
                << "degrees " << dn << ", " << dm;
            ASSERT_EQ(poly_to_coeffs(r[vectors]), ref_trimmed(want_r));
            ASSERT_EQ(node_shape(pn), shape_n);
            ASSERT_EQ(node_shape(pm), shape_m);
          }
          EXPECT_TRUE(poly_equal(q[0], q[1]));
          EXPECT_TRUE(poly_equal(r[0], r[1]));
          Poly sq, sr;  // the word twin takes the same route
          simplest_poly_divide(pn, pm, sq.cell(), sr.cell(), true);
          EXPECT_TRUE(poly_equal(sq, q[1]));
          EXPECT_TRUE(poly_equal(sr, r[1]));
        }
      }
    }
  }
  // Both operands sparse: the lists, unless nothing counts as sparse.
  ScopedValue<std::int32_t> by_dividend(residue_division_degree, 0);
  ScopedValue<std::int32_t> cut(poly_cutoff, 2);
  {
    ModulusScope mod(32003);
    NodeBalance balance;
    Poly n("t^5000 + 3*t^2007 + 1"), m("t^500 - 2*t^3 + 1"), q[2], r[2];
    for (int vectors = 0; vectors < 2; ++vectors) {
      ScopedValue<std::int32_t> span(residue_division_span,
                                     vectors ? never : residue_division_span);
      const divide_route_counts before = divide_routes;
      basic_poly_divide(n, m, q[vectors].cell(), r[vectors].cell(), true);
      EXPECT_EQ(routes_since(before).newton, vectors);
    }
    EXPECT_TRUE(poly_equal(q[0], q[1]));
    EXPECT_TRUE(poly_equal(r[0], r[1]));
  }
  // Negative exponents, and characteristic 2: the lists.
  for (std::int32_t p : {101, 256}) {
    ModulusScope mod(p);
    ScopedValue<bool> l(laurent, p == 101);
    NodeBalance balance;
    Poly n(p == 101 ? "t^9 + 3*t^4 + t^-2" : "t^9 + 3*t^4 + t + 1"), m("t^3 + 2*t + 1"), q, r;
    const divide_route_counts before = divide_routes;
    basic_poly_divide(n, m, q.cell(), r.cell(), true);
    EXPECT_EQ(routes_since(before).monic_fast, 1);
    EXPECT_EQ(routes_since(before).newton, 0);
    Poly back;
    poly_mult(q, m, back.cell(), nilpol);
    poly_add(back, r, back.cell());
    EXPECT_TRUE(poly_equal(back, n)) << show_poly(back);
  }
}

TEST_F(FieldDivideTest, NewtonDivisionOnArraysAgreesWithTheListDivision) {
  std::mt19937_64 rng(test_seed() + 11);
  constexpr std::int32_t never = 2147483647;
  ScopedValue<std::int32_t> by_divisor_only(residue_division_degree, never);
  for (std::int32_t p : {101, 65521, 2147483629}) {
    SCOPED_TRACE("modulus " + std::to_string(p));
    ModulusScope mod(p);
    const RefField f(p);
    NodeBalance balance;
    for (std::int64_t dm : {599, 600, 901}) {
      for (std::int64_t dn : {dm, 2 * dm + 3}) {
        for (bool monic : {true, false}) {
          const Coeffs n = random_poly(rng, f, dn, false), m = random_poly(rng, f, dm, monic);
          for (bool newton : {true, false}) {
            ScopedValue<std::int32_t> at(dense_newton_degree, newton ? 600 : never);
            const divide_route_counts before = divide_routes;
            expect_division(f, n, m, [](poly a, poly b, poly* q, poly* r) {
              basic_poly_divide(a, b, q, r, true);
            });
            if (HasFailure()) return;
            EXPECT_EQ(routes_since(before).newton, newton && dm >= 600 ? 1 : 0);
          }
        }
      }
    }
    // An exact division gives the zero remainder, and the quotient may
    // replace the dividend.
    const Coeffs a = random_poly(rng, f, 700, false), b = random_poly(rng, f, 650, false);
    const Coeffs prod = ref_mult(f, a, b);
    Poly pn = Poly::adopt(coeffs_to_poly(prod)), pm = Poly::adopt(coeffs_to_poly(b)), r;
    ScopedValue<std::int32_t> at(dense_newton_degree, 600);
    basic_poly_divide(pn, pm, pn.cell(), r.cell(), true);
    EXPECT_EQ(poly_to_coeffs(pn), ref_trimmed(a));
    EXPECT_EQ(dump_poly(r), "0");
  }
}

}  // namespace
}  // namespace tavrin::test
