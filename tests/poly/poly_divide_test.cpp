// Division with remainder and pseudo-division of multivariate polynomials:
// random pairs over the integers and modulo primes against the identities
// n = q m + r and c^(deg n - deg m + 1) n = q m + r (c the divisor's
// leading coefficient) checked in the reference polynomial, the remainder
// of lower degree, the operands back node for node; the case split of the
// operators by constants, pads and divisors below the main variable; the
// two multipliers of the pseudo-remainder; divisions with numeric
// multipliers; division by a number-led divisor over a field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
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
#include "support/divide_routes.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// The degree of r in the variable of index 0.
std::int32_t ref_degree0(const RefPoly& r) {
  std::int32_t d = -1;
  for (const auto& [e, c] : r.terms()) d = std::max(d, e[0]);
  return d;
}

// The coefficient of x^d (x the variable of index 0), without x.
RefPoly coefficient_of(const RefPoly& r, std::int32_t d) {
  RefPoly c(r.nvars());
  for (const auto& [e, v] : r.terms()) {
    if (e[0] != d) continue;
    RefPoly::Exps x = e;
    x[0] = 0;
    c.add_term(x, v);
  }
  return c;
}

// c^k in the ring.
RefPoly ring_power(Ring ring, const RefPoly& c, std::int32_t k) {
  RefPoly r = RefPoly::constant(c.nvars(), 1);
  for (std::int32_t i = 0; i < k; ++i) r = ring_product(ring, r, c);
  return r;
}

class DivideTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
  polypt top() const { return vars.level(1); }
  // n "which" m over the top level.
  std::string op(const std::string& n, const std::string& m, char which) {
    Poly a(n), b(m), p;
    poly_mod_or_div(a, b, p.cell(), which, top());
    EXPECT_TRUE(valid_poly(p));
    return show_poly(p);
  }
};

// ---- The case split ---------------------------------------------------------------------------

TEST_F(DivideTest, ConstantsAndTheSignRules) {
  ScopedValue<bool> signed_remainders(pos_mod, false);
  NodeBalance balance;
  EXPECT_EQ(op("7", "-3", '|'), "1");
  EXPECT_EQ(op("-7", "3", '|'), "-1");
  EXPECT_EQ(op("-7", "3", '\\'), "-2");
  {
    ScopedValue<bool> pm(pos_mod, true);
    EXPECT_EQ(op("-7", "3", '|'), "2");
    EXPECT_EQ(op("-7", "-3", '|'), "2");
    EXPECT_EQ(op("-7*x - 8", "3", '|'), "2*x + 1");  // coefficientwise, raised
  }
  EXPECT_EQ(op("x^2 + 1", "2", '|'), "x^2 + 1");
  EXPECT_EQ(op("x^2 + 1", "2", '\\'), "0");
  EXPECT_EQ(op("7*x^2*y + 4*y + 9", "4", '\\'), "x^2*y + y + 2");
  EXPECT_EQ(op("7*x^2*y + 4*y + 9", "4", '|'), "3*x^2*y + 1");
  EXPECT_EQ(op("3", "x + 1", '|'), "3");
  EXPECT_EQ(op("3", "x + 1", '\\'), "0");
  EXPECT_EQ(op("x^2 + 1", "2*x + 1", '|'), "5");  // multiplier 2^2
  EXPECT_EQ(op("x^2 + 1", "2*x + 1", '\\'), "2*x - 1");
  {
    RingScope mod(Ring::mod7);                      // a field: the true remainder and quotient
    EXPECT_EQ(op("x^2 + 1", "2*x + 1", '|'), "3");  // 1 + (1/2)^2 = 1 + 2
    EXPECT_EQ(op("x^2 + 1", "2*x + 1", '\\'), "4*x + 5");
  }
}

TEST_F(DivideTest, PadsAndDivisorsBelowTheMainVariable) {
  NodeBalance balance;
  // Neither involves x: the division happens at y and is wrapped back.
  Poly n("y^3*z + y"), m("y + z"), r, q;
  poly_mod_and_div(n, m, r.cell(), q.cell(), top());
  EXPECT_TRUE(valid_poly(r));
  EXPECT_TRUE(valid_poly(q));
  EXPECT_EQ(r.ref(), ref("-z^4 - z"));
  EXPECT_EQ(q.ref(), ref("y^2*z - y*z^2 + z^3 + 1"));
  EXPECT_EQ(op("y^3*z + y", "y + z", '|'), "-z^4 - z");
  // The divisor lies below x: coefficient by coefficient; the constant
  // term stays in the remainder and leaves the quotient.
  EXPECT_EQ(op("x^2*y + x*(2*y + 1) + 3", "y", '|'), "x + 3");
  EXPECT_EQ(op("x^2*y + x*(2*y + 1) + 3", "y", '\\'), "x^2 + 2*x");
  Poly a("x^2*y + x*(2*y + 1) + 3"), b("y");
  poly_mod_and_div(a, b, r.cell(), q.cell(), top());
  EXPECT_EQ(show_poly(r), "x + 3");
  EXPECT_EQ(show_poly(q), "x^2 + 2*x");
  // Only n lies below: it is the remainder.
  EXPECT_EQ(op("y^2 + 1", "x + y", '|'), "y^2 + 1");
  EXPECT_EQ(op("y^2 + 1", "x + y", '\\'), "0");
  poly_mod_and_div(Poly("y + 1").get(), Poly("x*y").get(), r.cell(), q.cell(), top());
  EXPECT_EQ(show_poly(r), "y + 1");
  EXPECT_EQ(show_poly(q), "0");
}

TEST_F(DivideTest, NegativeExponentsAreErrorTwoHundredFive) {
  NumberedErrors numbered;
  ScopedValue<bool> l(laurent, true);
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  Poly n("x^-1"), m("x"), p, q;
  testing::internal::CaptureStdout();
  EXPECT_THROW(poly_mod_or_div(n, m, p.cell(), '|', top()), TopLevelJump);
  EXPECT_THROW(poly_mod_and_div(m, n, p.cell(), q.cell(), top()), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 205."), std::string::npos) << out;
  // When the report returns (inside a nested level) the result is 0.
  ScopedValue<std::int32_t> nested(levelcount, 2);
  ScopedValue<bool> push2(errorpush, true);
  testing::internal::CaptureStdout();
  poly_mod_or_div(n, m, p.cell(), '|', top());
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(poly_iszero(p));
}

TEST_F(DivideTest, ZeroDivisorIsErrorTwentyTwo) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  Poly n("x + 1"), zero("0"), p, q;
  testing::internal::CaptureStdout();
  EXPECT_THROW(poly_mod_or_div(n, zero, p.cell(), '|', top()), TopLevelJump);
  EXPECT_THROW(poly_mod_and_div(n, zero, p.cell(), q.cell(), top()), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 22."), std::string::npos) << out;
}

// ---- Random pairs against the identities ------------------------------------------------------

// A random divisor of positive degree in x: its leading coefficient 1, a
// number, or a polynomial in y and z.
RefPoly random_divisor(std::mt19937_64& rng, Ring ring, int kind) {
  const std::int32_t d = 1 + static_cast<std::int32_t>(rng() % 4);
  RefPoly lc = RefPoly::constant(3, 1);
  if (kind == 1) lc = RefPoly::constant(3, 2 + static_cast<std::int64_t>(rng() % 5));
  if (kind == 2) lc = lc + RefPoly::variable(3, 1 + static_cast<int>(rng() % 2), 1);
  RefPoly tail = random_refpoly(rng, 3, 6, d - 1, 2);
  // Keep the tail below x^d.
  RefPoly low(3);
  for (const auto& [e, c] : tail.terms())
    if (e[0] < d) low.add_term(e, c);
  return in_ring(ring, lc * RefPoly::variable(3, 0, d) + low);
}

TEST_F(DivideTest, RandomPairsSatisfyTheDivisionIdentities) {
  std::mt19937_64 rng(test_seed());
  const divide_route_counts before = divide_routes;
  for_each_ring({Ring::integers, Ring::mod7, Ring::mod65521, Ring::gf256}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(90); ++i) {
      const int kind = i % 3;
      RefPoly a = in_ring(ring, random_refpoly(rng, 3, 12, 6, 2));
      if (i % 5 == 0) a = in_ring(ring, a + RefPoly::variable(3, 0, 8));
      const RefPoly b = random_divisor(rng, ring, kind);
      SCOPED_TRACE(a.to_string(vars.names()) + "  by  " + b.to_string(vars.names()));
      Poly n(a), m(b);
      const std::string shape_n = node_shape(n), shape_m = node_shape(m);
      Poly r, q;
      poly_mod_and_div(n, m, r.cell(), q.cell(), top());
      ASSERT_TRUE(valid_poly(r));
      ASSERT_TRUE(valid_poly(q));
      ASSERT_EQ(node_shape(n), shape_n);
      ASSERT_EQ(node_shape(m), shape_m);
      const std::int32_t dn = ref_degree0(a), dm = ref_degree0(b);
      const RefPoly c = coefficient_of(b, dm);
      // A true division when c is 1 or an invertible number.
      const bool field = c == RefPoly::constant(3, 1) || (ring != Ring::integers && kind != 2);
      RefPoly lhs = a;
      if (!field && dn >= dm) lhs = ring_product(ring, ring_power(ring, c, dn - dm + 1), a);
      ASSERT_EQ(ring_sum(ring, ring_product(ring, read_poly(q), b), read_poly(r)), lhs);
      ASSERT_LT(ref_degree0(read_poly(r)), dm);
      // The operators give the same remainder and quotient.
      Poly r2, q2;
      poly_mod_or_div(n, m, r2.cell(), '|', top());
      poly_mod_or_div(n, m, q2.cell(), '\\', top());
      ASSERT_TRUE(poly_equal(r2, r)) << show_poly(r2) << " / " << show_poly(r);
      ASSERT_TRUE(poly_equal(q2, q)) << show_poly(q2) << " / " << show_poly(q);
      ASSERT_EQ(node_shape(m), shape_m);
    }
  });
  const divide_route_counts d = routes_since(before);
  EXPECT_GT(d.pseudo_loop, 0);
  EXPECT_GT(d.field_divide, 0);
  EXPECT_GT(d.base_case + d.step_k, 0);  // monic divisors by divide and conquer
}

TEST_F(DivideTest, PseudoDivisionIdentityAndItsRemainderOnly) {
  std::mt19937_64 rng(test_seed() + 1);
  for_each_ring({Ring::integers, Ring::mod7}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(60); ++i) {
      const RefPoly a =
          in_ring(ring, random_refpoly(rng, 3, 12, 7, 2) + RefPoly::variable(3, 0, 7));
      const RefPoly b = random_divisor(rng, ring, 2);
      SCOPED_TRACE(a.to_string(vars.names()) + "  by  " + b.to_string(vars.names()));
      Poly n(a), m(b);
      const std::string shape_m = node_shape(m);
      const std::int32_t dn = ref_degree0(a), dm = ref_degree0(b);
      const RefPoly c = coefficient_of(b, dm);
      const RefPoly ck = ring_power(ring, c, dn - dm + 1);
      Poly q, r, untouched("5");
      pseudo_div(n, m, q.cell(), r.cell(), true, top());
      ASSERT_EQ(ring_sum(ring, ring_product(ring, read_poly(q), b), read_poly(r)),
                ring_product(ring, ck, a));
      pseudo_div(n, m, q.cell(), untouched.cell(), false, top());
      EXPECT_EQ(show_poly(untouched), "5");
      Poly knuth, steps;
      pseudo_div_no_q(n, m, knuth.cell(), top(), true);
      ASSERT_TRUE(poly_equal(knuth, r));
      pseudo_div_no_q(n, m, steps.cell(), top(), false);
      ASSERT_LT(ref_degree0(read_poly(steps)), dm);
      // The step-count multiplier is c^s for some s <= k: c^(k-s) times it
      // is the full pseudo-remainder.
      RefPoly scaled = read_poly(steps);
      bool found = false;
      for (std::int32_t j = 0; j <= dn - dm + 1 && !found; ++j) {
        found = scaled == read_poly(knuth);
        scaled = ring_product(ring, scaled, c);
      }
      ASSERT_TRUE(found) << show_poly(steps) << " vs " << show_poly(knuth);
      ASSERT_EQ(node_shape(m), shape_m);
    }
  });
}

// One variable over the integers: the pseudo-division on words gives the
// pseudo-remainder loop's quotient and remainder node for node, through
// pseudo_div, pseudo_div_no_q with Knuth's multiplier and the operators;
// without it (c^s), under a relation, and in word arithmetic the loop
// stays.
TEST_F(DivideTest, IntegerPseudoDivisionOnWordsAgreesWithTheLoop) {
  std::mt19937_64 rng(test_seed() + 7);
  constexpr std::int32_t never = 2147483647;
  NodeBalance balance;
  auto random_x = [&rng](int deg, int low) {
    RefPoly r(3);
    for (int e = std::min(low, deg); e <= deg; ++e) {
      if (e < deg && rng() % 5 == 0) continue;
      BigRef c(static_cast<std::int64_t>(1 + rng() % 90));
      if (rng() % 4 == 0) c = (c << 70) + BigRef(static_cast<std::int64_t>(rng() % 1000));
      r.add_term({e, 0, 0}, rng() % 2 ? -c : c);
    }
    return r;
  };
  for (int i = 0; i < test_iterations(30); ++i) {
    const RefPoly b1 = random_x(static_cast<int>(1 + rng() % 20), i % 4 == 0 ? 2 : 0);
    // A content of 6 every fourth round: b then divides the planted a over
    // the rationals only.
    const RefPoly b = i % 4 == 3 ? b1.scaled(BigRef(6)) : b1;
    RefPoly a = random_x(static_cast<int>(rng() % 25), 0) * b1;  // planted
    if (i % 3 == 1) a = a + random_x(static_cast<int>(rng() % 30), 0);
    if (i % 3 == 2) a = random_x(static_cast<int>(ref_degree0(b) + rng() % 20), 0);
    if (ref_degree0(a) < ref_degree0(b)) continue;
    SCOPED_TRACE(a.to_string(vars.names()) + "  by  " + b.to_string(vars.names()));
    Poly n(a), m(b);
    Poly q[2], r[2], knuth[2], steps[2], rem[2], quo[2];
    for (int words = 0; words < 2; ++words) {
      ScopedValue<std::int32_t> route(integer_division_degree, words ? 0 : never);
      const divide_route_counts before = divide_routes;
      pseudo_div(n, m, q[words].cell(), r[words].cell(), true, top());
      pseudo_div_no_q(n, m, knuth[words].cell(), top(), true);
      pseudo_div_no_q(n, m, steps[words].cell(), top(), false);
      poly_mod_or_div(n, m, rem[words].cell(), '|', top());
      poly_mod_or_div(n, m, quo[words].cell(), '\\', top());
      const divide_route_counts d = routes_since(before);
      EXPECT_EQ(d.integer_pseudo, words ? 4 : 0);
      for (const Poly* p :
           {&q[words], &r[words], &knuth[words], &steps[words], &rem[words], &quo[words]})
        ASSERT_TRUE(valid_poly(*p));
    }
    EXPECT_TRUE(poly_equal(q[1], q[0])) << show_poly(q[1]) << " / " << show_poly(q[0]);
    EXPECT_TRUE(poly_equal(r[1], r[0])) << show_poly(r[1]) << " / " << show_poly(r[0]);
    EXPECT_TRUE(poly_equal(knuth[1], knuth[0]));
    EXPECT_TRUE(poly_equal(steps[1], steps[0]));
    EXPECT_TRUE(poly_equal(rem[1], r[0]));
    EXPECT_TRUE(poly_equal(quo[1], q[0]));
  }
  // Word arithmetic, and a relation at the level: the loop.
  ScopedValue<std::int32_t> route(integer_division_degree, 0);
  const divide_route_counts before = divide_routes;
  Poly n("3*x^9 + x^4 - 7"), m("2*x^3 + x + 5"), q, r;
  {
    ModulusScope mod(101);
    Poly n7("3*x^9 + x^4 - 7"), m7("2*x^3 + x + 5");
    pseudo_div_no_q(n7, m7, r.cell(), top(), true);
  }
  EXPECT_EQ(routes_since(before).integer_pseudo, 0);
  free_poly(r.cell());
  Poly relation("x^5 - 2");
  ScopedValue<poly> p(top()->p, relation.get());
  ScopedValue<std::int32_t> e(top()->expon, 5);
  pseudo_div(n, m, q.cell(), r.cell(), true, top());
  EXPECT_EQ(routes_since(before).integer_pseudo, 0);
}

TEST_F(DivideTest, PseudoRemainderMultipliers) {
  NodeBalance balance;
  Poly n("x^3"), m("2*x^2 + 1"), r;
  pseudo_div_no_q(n, m, r.cell(), top(), true);
  EXPECT_EQ(show_poly(r), "-2*x");
  pseudo_div_no_q(n, m, r.cell(), top(), false);
  EXPECT_EQ(show_poly(r), "-x");
  // x^4 by y x^2 + 1: two steps (multiplier y^2), y^3 by Knuth's rule.
  Poly a("x^4"), b("y*x^2 + 1"), q;
  pseudo_div(a, b, q.cell(), r.cell(), true, top());
  EXPECT_EQ(q.ref(), ref("y^2*x^2 - y"));
  EXPECT_EQ(r.ref(), ref("y"));
  pseudo_div_no_q(a, b, r.cell(), top(), true);
  EXPECT_EQ(r.ref(), ref("y"));
  pseudo_div_no_q(a, b, r.cell(), top(), false);
  EXPECT_EQ(r.ref(), ref("1"));
  Poly low("x + 1");  // below the divisor: a copy, quotient 0
  pseudo_div(low, b, q.cell(), r.cell(), true, top());
  EXPECT_EQ(show_poly(q), "0");
  EXPECT_EQ(show_poly(r), "x + 1");
  // A divisor of degree 0 is reported and the work goes on.
  Poly c("y + 1");
  testing::internal::CaptureStdout();
  pseudo_div_no_q(a, c, r.cell(), top(), false);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "*** Tavrin error. bad m^.exp in pseudo div no q: \n0\n");
  EXPECT_TRUE(valid_poly(r));
}

// ---- Numeric multipliers ------------------------------------------------------------------------

TEST_F(DivideTest, NumericMultipliersKeepEveryStepExact) {
  NodeBalance balance;
  Poly n("x^2 + 1"), m("2*x + 1"), q, r, coef;
  num_pseudo_div(n, m, q.cell(), r.cell(), coef.cell(), top());
  EXPECT_EQ(show_poly(coef), "4");
  EXPECT_EQ(show_poly(q), "2*x - 1");
  EXPECT_EQ(show_poly(r), "5");
  Poly n2("2*x^2");  // the gcd keeps the first multiplier at 1
  num_pseudo_div(n2, m, q.cell(), r.cell(), coef.cell(), top());
  EXPECT_EQ(show_poly(coef), "2");
  EXPECT_EQ(show_poly(q), "2*x - 1");
  EXPECT_EQ(show_poly(r), "1");
  Poly low("3"), one;
  num_pseudo_div(low, m, q.cell(), r.cell(), coef.cell(), top());
  EXPECT_EQ(show_poly(coef), "1");
  EXPECT_EQ(show_poly(q), "0");
  EXPECT_EQ(show_poly(r), "3");
  Poly six("-6"), four("4");
  num_pseudo_div(six, four, q.cell(), r.cell(), coef.cell(), top());
  EXPECT_EQ(show_poly(coef), "2");  // 2 * -6 = -3 * 4
  EXPECT_EQ(show_poly(q), "-3");
  EXPECT_EQ(show_poly(r), "0");
}

TEST_F(DivideTest, NumericMultipliersOnRandomAndPlantedDivisions) {
  std::mt19937_64 rng(test_seed() + 2);
  NodeBalance balance;
  for (int i = 0; i < test_iterations(60); ++i) {
    // One variable with integer coefficients: every step divides numbers.
    RefPoly a(3), b(3);
    const int dn = static_cast<int>(rng() % 9), dm = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e <= dn; ++e)
      a = a + RefPoly::constant(3, random_big(rng, 2)) * RefPoly::variable(3, 0, e);
    for (int e = 0; e <= dm; ++e)
      b = b + RefPoly::constant(3, random_big(rng, 1)) * RefPoly::variable(3, 0, e);
    if (coefficient_of(b, dm).is_zero()) b = b + RefPoly::variable(3, 0, dm);
    // Planted: a multiple of a divisor led by a polynomial in y.
    const RefPoly m2 =
        (RefPoly::variable(3, 1) + RefPoly::constant(3, 1 + static_cast<std::int64_t>(rng() % 3))) *
            RefPoly::variable(3, 0, 2) +
        random_refpoly(rng, 3, 4, 1, 1);
    const RefPoly n2 = random_refpoly(rng, 3, 6, 3, 1) * m2;
    for (int pass = 0; pass < 2; ++pass) {
      const RefPoly& na = pass == 0 ? a : n2;
      const RefPoly& mb = pass == 0 ? b : m2;
      if (ref_degree0(mb) < 1) continue;
      SCOPED_TRACE(na.to_string(vars.names()) + "  by  " + mb.to_string(vars.names()));
      Poly n(na), m(mb), q, r, coef;
      const std::string shape_m = node_shape(m);
      testing::internal::CaptureStdout();
      num_pseudo_div(n, m, q.cell(), r.cell(), coef.cell(), top());
      const std::string out = testing::internal::GetCapturedStdout();
      EXPECT_EQ(out, "");  // every step was exact
      ASSERT_TRUE(valid_poly(q));
      ASSERT_TRUE(valid_poly(r));
      ASSERT_TRUE(coef->numb && coef->next == nullptr);
      ASSERT_EQ(read_poly(q) * mb + read_poly(r), read_poly(coef) * na);
      ASSERT_LT(ref_degree0(read_poly(r)), ref_degree0(mb));
      if (pass == 1) {
        ASSERT_TRUE(poly_iszero(r));
      }
      ASSERT_EQ(node_shape(m), shape_m);
    }
  }
}

TEST_F(DivideTest, NumericMultipliersReportInexactLeadingDivisions) {
  NodeBalance balance;
  // x^2 by (y + 1) x: the leading y-coefficient 1 does not divide by y + 1.
  Poly n("x^2 + y"), m("(y + 1)*x"), q, r, coef;
  testing::internal::CaptureStdout();
  num_pseudo_div(n, m, q.cell(), r.cell(), coef.cell(), top());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("*** Tavrin error. rem not 0 in num_pseudo_div.\n", 0), 0u) << out;
  // The identity still holds: the part that did not cancel is in r.
  EXPECT_EQ(read_poly(q) * m.ref() + read_poly(r), read_poly(coef) * n.ref());
  // A divisor below x meets n's constant term.
  Poly a("x*(y^2 - 1) + 5"), b("y - 1");
  testing::internal::CaptureStdout();
  num_pseudo_div(a, b, q.cell(), r.cell(), coef.cell(), top());
  const std::string out2 = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out2.rfind("*** Tavrin error. n number in num_pseudo poly div.\n", 0), 0u) << out2;
  EXPECT_EQ(read_poly(q) * b.ref() + read_poly(r), read_poly(coef) * a.ref());
  EXPECT_EQ(q.ref(), ref("x*y + x"));
}

TEST_F(DivideTest, AnErrorUnwindRestoresTheDivisor) {
  // A nested command level that is abandoned: the report of an inexact
  // leading division unwinds from the middle of the loop.
  ScopedValue<command_level_runner> abandon_level(run_command_level, [] { throw TopLevelJump{}; });
  NodeBalance balance;
  Poly n("x^3 + x^2*y + 3*x + y"), m("(y + 1)*x^2 + 2*x*y - 5"), q, r, coef;
  const std::string shape_n = node_shape(n), shape_m = node_shape(m);
  testing::internal::CaptureStdout();
  EXPECT_THROW(num_pseudo_div(n, m, q.cell(), r.cell(), coef.cell(), top()), TopLevelJump);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(node_shape(n), shape_n);
  EXPECT_EQ(node_shape(m), shape_m);
}

// ---- Field coefficients -------------------------------------------------------------------------

TEST_F(DivideTest, FieldCoefficientDivisionModuloAPrime) {
  std::mt19937_64 rng(test_seed() + 3);
  RingScope scope(Ring::mod65521);
  NodeBalance balance;
  const divide_route_counts before = divide_routes;
  for (int i = 0; i < test_iterations(60); ++i) {
    const RefPoly a = in_ring(Ring::mod65521, random_refpoly(rng, 3, 14, 6, 2));
    const RefPoly b = random_divisor(rng, Ring::mod65521, 1);
    SCOPED_TRACE(a.to_string(vars.names()) + "  by  " + b.to_string(vars.names()));
    Poly n(a), m(b), q, r;
    const std::string shape_m = node_shape(m), shape_n = node_shape(n);
    field_coef_poly_divide(n, m, top(), q.cell(), r.cell());
    ASSERT_TRUE(valid_poly(q));
    ASSERT_TRUE(valid_poly(r));
    ASSERT_EQ(ring_sum(Ring::mod65521, ring_product(Ring::mod65521, read_poly(q), b), read_poly(r)),
              a);
    ASSERT_LT(ref_degree0(read_poly(r)), ref_degree0(b));
    ASSERT_EQ(node_shape(m), shape_m);
    ASSERT_EQ(node_shape(n), shape_n);
  }
  EXPECT_GT(routes_since(before).field_divide, 0);
  // The whole dividend below the divisor, and the last level (no level
  // below it: one-variable division).
  Poly n("y + 3"), m("2*x + 1"), q, r;
  field_coef_poly_divide(n, m, top(), q.cell(), r.cell());
  EXPECT_EQ(show_poly(q), "0");
  EXPECT_EQ(show_poly(r), "y + 3");
  const std::vector<std::string> zs{"z"};
  Poly z("4*z^2 + 1", zs), d("2*z + 1", zs);  // lists at the level of z
  field_coef_poly_divide(z, d, vars.level(3), q.cell(), r.cell());
  EXPECT_EQ(read_poly(q, 1), parse_ref("2*z + 65520", zs));
  EXPECT_EQ(read_poly(r, 1), parse_ref("2", zs));
}

// ---- Values -------------------------------------------------------------------------------------

TEST_F(DivideTest, ValuesDivideAsNumbersOrThroughTheirNumerators) {
  NodeBalance balance;
  {
    Value n = Value::number(-7), m = Value::number(3), p;
    quoly_mod_or_div(n, m, p.cell(), '\\');
    ASSERT_TRUE(p->numb);
    EXPECT_EQ(number_value(p->ncoef), BigRef(-2));
    ScopedValue<bool> pm(pos_mod, true);
    quoly_mod_or_div(n, m, p.cell(), '|');
    EXPECT_EQ(number_value(p->ncoef), BigRef(2));
    quoly_mod_or_div(n, m, n.cell(), '|');  // over its own cell
    EXPECT_EQ(number_value(n->ncoef), BigRef(2));
  }
  {
    Value n = Value::number(3), m = Value::ratfun("x + 1"), p;
    quoly_mod_or_div(n, m, p.cell(), '|');
    ASSERT_TRUE(p->numb);
    EXPECT_EQ(number_value(p->ncoef), BigRef(3));
    quoly_mod_or_div(n, m, p.cell(), '\\');
    ASSERT_TRUE(p->numb);
    EXPECT_EQ(number_value(p->ncoef), BigRef(0));
  }
}

TEST_F(DivideTest, ADenominatorThatVanishesIsErrorTwoHundredTen) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  Value n = Value::ratfun("x + 1", "4"), m = Value::number(2), p;
  testing::internal::CaptureStdout();
  EXPECT_THROW(quoly_mod_or_div(n, m, p.cell(), '|'), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 210."), std::string::npos) << out;
  EXPECT_EQ(p.get(), nullptr);
}

}  // namespace
}  // namespace tavrin::test
