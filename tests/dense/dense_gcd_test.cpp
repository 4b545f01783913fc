// The array GCD against plain Euclid: random pairs with planted common
// factors, gcd(a*c, b*c) = c*gcd(a, b), compared exactly with the reference
// remainder sequence (remainders are unique, so the last non-zero one is the
// same polynomial with the same leading coefficient) and, made monic, with
// the reference GCD; coprime pairs give exactly the constant 1; the route
// taken on each side of every threshold; the term-list route on the pairs
// that its own divisions finish.
#include "dense/dense_gcd.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/word_field_test.h"

namespace tavrin::test {
namespace {

std::string ring_name(std::int32_t p) {
  if (p == 256 || p == 65536) return "GF(" + std::to_string(p) + ")";
  return "modulus " + std::to_string(p);
}

// Primes on both sides of 46,340 (the two-term step's bound), the largest
// prime the arrays serve, GF(2^8) and GF(2^16).
const std::int32_t moduli[] = {3, 101, 46337, 46349, 65521, 256, 65536};

// What one call of fastest_poly_gcd gave.
struct GcdResult {
  Coeffs value;          // the result's coefficients
  bool is_leaf = false;  // the result is a bare number leaf
};

// fastest_poly_gcd on the term lists of a and b (deg a >= deg b >= 1):
// checks that the operands come back unchanged, that the result is a valid
// one-variable polynomial, and that every node is given back.
GcdResult run_gcd(const Coeffs& a, const Coeffs& b, bool need_monic, polypt pt) {
  NodeBalance balance;
  GcdResult r;
  Poly n = Poly::adopt(coeffs_to_poly(a));
  Poly m = Poly::adopt(coeffs_to_poly(b));
  Poly g;
  fastest_poly_gcd(n, m, g.cell(), need_monic, pt);
  EXPECT_EQ(poly_to_coeffs(n), a) << "first operand changed";
  EXPECT_EQ(poly_to_coeffs(m), b) << "second operand changed";
  EXPECT_TRUE(valid_poly(g, 1));
  r.value = poly_to_coeffs(g);
  r.is_leaf = g->numb;
  return r;
}

// A pair with a planted common factor: x = u*c, y = v*c, deg x = dx >=
// deg y = dy >= deg c = dc.
void planted_pair(std::mt19937_64& rng, const RefField& f, std::int64_t dx, std::int64_t dy,
                  std::int64_t dc, Coeffs* x, Coeffs* y, Coeffs* c) {
  *c = random_coeffs(rng, f, dc);
  *x = ref_mult(f, random_coeffs(rng, f, dx - dc), *c);
  *y = ref_mult(f, random_coeffs(rng, f, dy - dc), *c);
}

// What the GCD of a and b must be: Euclid's last non-zero remainder, or
// exactly 1 when that is a constant.
Coeffs euclid_answer(const RefField& f, const Coeffs& a, const Coeffs& b) {
  const Coeffs last = ref_euclid_last_remainder(f, a, b);
  return ref_degree(last) == 0 ? Coeffs{1} : last;
}

// The checks every planted pair gets: the exact last remainder of Euclid
// (the constant 1 for coprime pairs), the planted factor dividing it, and
// with need_monic the monic GCD.
void check_planted(const RefField& f, const Coeffs& x, const Coeffs& y, const Coeffs& c,
                   polypt pt) {
  const Coeffs want = euclid_answer(f, x, y);
  const GcdResult got = run_gcd(x, y, false, pt);
  ASSERT_EQ(got.value, want) << "got " << show_coeffs(got.value) << " want " << show_coeffs(want);
  if (want == Coeffs{1}) {
    ASSERT_TRUE(got.is_leaf) << "coprime pairs give exactly 1";
  }
  Coeffs q, rem;
  ref_divmod(f, got.value, c, &q, &rem);
  ASSERT_TRUE(rem.empty()) << "the planted factor does not divide the GCD";

  const GcdResult monic = run_gcd(x, y, true, pt);
  ASSERT_EQ(monic.value, ref_monic_gcd(f, x, y));
}

class DenseGcd : public WordFieldTest {};

TEST_P(DenseGcd, PlantedFactorsAgreeWithEuclid) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(150); ++it) {
    const std::uint64_t top = it % 15 == 0 ? 1500 : 60;
    const auto dx = static_cast<std::int64_t>(1 + rng() % top);
    const auto dy = static_cast<std::int64_t>(1 + rng() % static_cast<std::uint64_t>(dx));
    // No common factor, a small one, or most of the smaller degree.
    const auto dc =
        static_cast<std::int64_t>(it % 3 == 0 ? 0 : rng() % static_cast<std::uint64_t>(dy + 1));
    Coeffs x, y, c;
    planted_pair(rng, f, dx, dy, dc, &x, &y, &c);
    SCOPED_TRACE(ring_name(p) + " degrees " + std::to_string(dx) + ", " + std::to_string(dy) +
                 " planted " + std::to_string(dc) + ": " + show_coeffs(x) + " and " +
                 show_coeffs(y));
    check_planted(f, x, y, c, vars.level(1));
  }
}

TEST_P(DenseGcd, CoprimePairsGiveExactlyTheConstantOne) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 1);
  int seen = 0;
  for (int it = 0; it < test_iterations(60); ++it) {
    const auto dx = static_cast<std::int64_t>(1 + rng() % 80);
    const auto dy = static_cast<std::int64_t>(1 + rng() % static_cast<std::uint64_t>(dx));
    const Coeffs x = random_coeffs(rng, f, dx), y = random_coeffs(rng, f, dy);
    if (ref_monic_gcd(f, x, y) != Coeffs{1}) continue;
    ++seen;
    SCOPED_TRACE(ring_name(p) + ": " + show_coeffs(x) + " and " + show_coeffs(y));
    for (bool monic : {false, true}) {
      const GcdResult got = run_gcd(x, y, monic, vars.level(1));
      ASSERT_TRUE(got.is_leaf);
      ASSERT_EQ(got.value, Coeffs{1});
    }
  }
  EXPECT_GT(seen, 0);
}

TEST_P(DenseGcd, EqualDegreesAndDivisorsKeepTheirLeadingCoefficient) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 2);
  for (int it = 0; it < test_iterations(40); ++it) {
    const auto dm = static_cast<std::int64_t>(1 + rng() % 50);
    const Coeffs m = random_coeffs(rng, f, dm);
    // m divides n: the first remainder is zero and m itself is the answer.
    const Coeffs n = ref_mult(f, random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 40)), m);
    SCOPED_TRACE(ring_name(p) + ": " + show_coeffs(n) + " by " + show_coeffs(m));
    ASSERT_EQ(run_gcd(n, m, false, vars.level(1)).value, m);
    // Equal degrees, in both orders.
    const Coeffs e = random_coeffs(rng, f, dm);
    ASSERT_EQ(run_gcd(m, e, false, vars.level(1)).value, euclid_answer(f, m, e));
    ASSERT_EQ(run_gcd(e, m, false, vars.level(1)).value, euclid_answer(f, e, m));
  }
}

INSTANTIATE_TEST_SUITE_P(Rings, DenseGcd, ::testing::ValuesIn(moduli),
                         [](const auto& info) { return std::to_string(info.param); });

TEST(DenseGcdCases, KnownSmallAnswers) {
  ModulusScope scope(7);
  PolyVars vars{"t"};
  // Modulo 7 the GCD of 2t^2 + 4t + 2 and 2t + 2 is 2t + 2 itself, t + 1
  // when made monic.
  EXPECT_EQ(run_gcd({2, 4, 2}, {2, 2}, false, vars.level(1)).value, (Coeffs{2, 2}));
  EXPECT_EQ(run_gcd({2, 4, 2}, {2, 2}, true, vars.level(1)).value, (Coeffs{1, 1}));
  // t^2 + 1 is irreducible modulo 7: coprime to t + 1.
  const GcdResult one = run_gcd({1, 0, 1}, {1, 1}, false, vars.level(1));
  EXPECT_TRUE(one.is_leaf);
  EXPECT_EQ(one.value, Coeffs{1});
  // t^6 + 2t^5 by t^5: the top cancels and every lower entry is 0, so the
  // remainder is zero after one pass: the answer is t^5.
  EXPECT_EQ(run_gcd({0, 0, 0, 0, 0, 2, 1}, {0, 0, 0, 0, 0, 1}, false, vars.level(1)).value,
            (Coeffs{0, 0, 0, 0, 0, 1}));
  // t^4 - 1 and t^2 - 1 share t^2 - 1 = (t - 1)(t + 1); 3t^2 - 3 stays scaled.
  EXPECT_EQ(run_gcd({6, 0, 0, 0, 1}, {4, 0, 3}, false, vars.level(1)).value, (Coeffs{4, 0, 3}));
  // t^3 - t = (t - 3)(t^2 + 3t + 2) + 6t + 6, and t + 1 divides t^2 + 3t + 2:
  // the answer is 6t + 6, or t + 1 made monic.
  EXPECT_EQ(run_gcd({0, 6, 0, 1}, {2, 3, 1}, false, vars.level(1)).value, (Coeffs{6, 6}));
  EXPECT_EQ(run_gcd({0, 6, 0, 1}, {2, 3, 1}, true, vars.level(1)).value, (Coeffs{1, 1}));
}

TEST(DenseGcdCases, ResultMayBeWrittenOverAnOperand) {
  ModulusScope scope(101);
  PolyVars vars{"t"};
  const RefField f(101);
  std::mt19937_64 rng(test_seed() + 3);
  Coeffs x, y, c;
  planted_pair(rng, f, 40, 30, 12, &x, &y, &c);
  const Coeffs want = euclid_answer(f, x, y);
  NodeBalance balance;
  {
    Poly n = Poly::adopt(coeffs_to_poly(x));
    Poly m = Poly::adopt(coeffs_to_poly(y));
    fastest_poly_gcd(n, m, n.cell(), false, vars.level(1));
    EXPECT_EQ(poly_to_coeffs(n), want);
    EXPECT_EQ(poly_to_coeffs(m), y);
  }
  {
    Poly n = Poly::adopt(coeffs_to_poly(x));
    Poly m = Poly::adopt(coeffs_to_poly(y));
    fastest_poly_gcd(n, m, m.cell(), true, vars.level(1));
    EXPECT_EQ(poly_to_coeffs(m), ref_monic(f, want));
    EXPECT_EQ(poly_to_coeffs(n), x);
  }
}

// ---- Routes ----------------------------------------------------------------------------

// The route counters' change over one call.
dense_gcd_route_counts routes_of(const Coeffs& a, const Coeffs& b, polypt pt, Coeffs* value) {
  const dense_gcd_route_counts before = dense_gcd_routes;
  *value = run_gcd(a, b, false, pt).value;
  const dense_gcd_route_counts& now = dense_gcd_routes;
  return {now.term_list - before.term_list, now.char2 - before.char2,
          now.half_gcd - before.half_gcd, now.euclid - before.euclid,
          now.two_term - before.two_term};
}

TEST(DenseGcdRoutes, TwoTermStepsServeModuliBelow46340Only) {
  PolyVars vars{"t"};
  for (std::int32_t p : {46337, 46349}) {
    ModulusScope scope(p);
    const RefField f(p);
    std::mt19937_64 rng(test_seed() + 4);
    Coeffs x, y, c;
    planted_pair(rng, f, 300, 299, 20, &x, &y, &c);
    Coeffs got;
    const dense_gcd_route_counts d = routes_of(x, y, vars.level(1), &got);
    SCOPED_TRACE(ring_name(p));
    EXPECT_EQ(d.euclid, 1);
    EXPECT_EQ(d.term_list + d.char2 + d.half_gcd, 0);
    if (p < 46340) {
      EXPECT_GT(d.two_term, 200);  // random remainders drop one degree at a time
    } else {
      EXPECT_EQ(d.two_term, 0);
    }
    EXPECT_EQ(got, euclid_answer(f, x, y));
  }
}

TEST(DenseGcdRoutes, CharacteristicTwoTakesItsOwnLoop) {
  ModulusScope scope(256);
  PolyVars vars{"t"};
  const RefField f(256);
  std::mt19937_64 rng(test_seed() + 5);
  Coeffs x, y, c;
  // Long enough for the tabulated products (divisors of degree >= 384).
  planted_pair(rng, f, 1600, 1500, 300, &x, &y, &c);
  Coeffs got;
  const dense_gcd_route_counts d = routes_of(x, y, vars.level(1), &got);
  EXPECT_EQ(d.char2, 1);
  EXPECT_EQ(d.euclid + d.half_gcd + d.term_list + d.two_term, 0);
  EXPECT_EQ(got, euclid_answer(f, x, y));
}

TEST(DenseGcdRoutes, HalfGcdAboveTheDegreeSum) {
  PolyVars vars{"t"};
  for (std::int32_t p : {101, 65521}) {
    ModulusScope scope(p);
    const RefField f(p);
    std::mt19937_64 rng(test_seed() + 6);
    Coeffs x, y, c;
    planted_pair(rng, f, 900, 850, 200, &x, &y, &c);
    SCOPED_TRACE(ring_name(p));
    Coeffs at, above;
    {
      ScopedValue<std::int32_t> sum(fast_gcd_hgcd_sum, 1750);  // the sum itself: Euclid
      const dense_gcd_route_counts d = routes_of(x, y, vars.level(1), &at);
      EXPECT_EQ(d.euclid, 1);
      EXPECT_EQ(d.half_gcd, 0);
    }
    {
      ScopedValue<std::int32_t> sum(fast_gcd_hgcd_sum, 1749);
      testing::internal::CaptureStdout();  // the half-GCD's progress lines
      const dense_gcd_route_counts d = routes_of(x, y, vars.level(1), &above);
      testing::internal::GetCapturedStdout();
      EXPECT_EQ(d.half_gcd, 1);
      EXPECT_EQ(d.euclid, 0);
    }
    EXPECT_EQ(at, euclid_answer(f, x, y));
    // The half-GCD's remainders are scaled by its matrices: equal up to a unit.
    EXPECT_EQ(ref_monic(f, above), ref_monic_gcd(f, x, y));
    EXPECT_EQ(ref_degree(above), ref_degree(at));
  }
}

// The two-term bound and the GF(2^8) table degree are thresholds: at their
// extremes the route changes and the GCD does not.
TEST(DenseGcdRoutes, TheTwoTermAndTableCutOffsChangeRoutesNotAnswers) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 8);
  for (std::int32_t p : {101, 256}) {
    ModulusScope scope(p);
    const RefField f(p);
    for (int it = 0; it < test_iterations(12); ++it) {
      const auto dx = static_cast<std::int64_t>(2 + rng() % 500);
      const auto dy = dx - 1 - static_cast<std::int64_t>(rng() % 2);
      Coeffs x, y, c;
      planted_pair(rng, f, dx, dy, static_cast<std::int64_t>(rng() % 40), &x, &y, &c);
      SCOPED_TRACE(ring_name(p) + " degrees " + std::to_string(dx) + ", " + std::to_string(dy));
      const Coeffs want = euclid_answer(f, x, y);
      for (std::int32_t cut : {0, 1, 46340}) {
        ScopedValue<std::int32_t> two_term(two_term_modulus, cut);
        ScopedValue<std::int32_t> table(gf256_row_degree, cut == 46340 ? 384 : cut + 1);
        Coeffs got;
        const dense_gcd_route_counts d = routes_of(x, y, vars.level(1), &got);
        ASSERT_EQ(got, want) << "cut-off " << cut;
        if (p != 256 && cut <= 101) {
          ASSERT_EQ(d.two_term, 0);
        }
      }
    }
  }
}

// ---- The largest arrays ----------------------------------------------------------------

class DenseGcdLarge : public WordFieldTest {};

TEST_P(DenseGcdLarge, DegreesUpTo24999TakeTheArrays) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 7);
  Coeffs x, y, c;
  planted_pair(rng, f, 24999, 24999, 18000, &x, &y, &c);
  SCOPED_TRACE(ring_name(p));
  Coeffs got;
  const dense_gcd_route_counts d = routes_of(x, y, vars.level(1), &got);
  EXPECT_EQ(d.term_list, 0);
  EXPECT_EQ(p == 256 ? d.char2 : d.euclid, 1);
  ASSERT_EQ(got, euclid_answer(f, x, y));
  Coeffs q, rem;
  ref_divmod(f, got, c, &q, &rem);
  EXPECT_TRUE(rem.empty());
}

INSTANTIATE_TEST_SUITE_P(Rings, DenseGcdLarge, ::testing::Values(46337, 65521, 256),
                         [](const auto& info) { return std::to_string(info.param); });

// ---- The term-list route -----------------------------------------------------------------

// The pair (n, m) = (q1*m + r1, q2*r1 + r2): n mod m = r1 and m mod r1 = r2,
// with n of degree 25,000.
void remainder_chain(std::mt19937_64& rng, const RefField& f, const Coeffs& r1, const Coeffs& r2,
                     std::int64_t dm, Coeffs* n, Coeffs* m) {
  const Coeffs q2 = random_coeffs(rng, f, dm - ref_degree(r1));
  *m = ref_add(f, ref_mult(f, q2, r1), r2);
  const Coeffs q1 = random_coeffs(rng, f, 25000 - dm);
  *n = ref_add(f, ref_mult(f, q1, *m), r1);
}

TEST(DenseGcdTermLists, DegreeOf25000FinishedByTheRouteOwnDivisions) {
  PolyVars vars{"t"};
  for (std::int32_t p : {101, 65521}) {
    ModulusScope scope(p);
    const RefField f(p);
    std::mt19937_64 rng(test_seed() + 8);
    SCOPED_TRACE(ring_name(p));
    const Coeffs m = random_coeffs(rng, f, 24990);
    Coeffs got;
    // m divides n: a copy of m, with its own leading coefficient.
    const Coeffs n = ref_mult(f, random_coeffs(rng, f, 10), m);
    dense_gcd_route_counts d = routes_of(n, m, vars.level(1), &got);
    EXPECT_EQ(d.term_list, 1);
    EXPECT_EQ(d.euclid + d.char2 + d.half_gcd, 0);
    EXPECT_EQ(got, m);
    // n mod m a non-zero constant: exactly 1.
    const Coeffs n1 = ref_add(f, n, Coeffs{5});
    routes_of(n1, m, vars.level(1), &got);
    EXPECT_EQ(got, Coeffs{1});

    // The list half-GCD reduces (m, n mod m); whatever it leaves, the pairs
    // below are finished by the division after it (or earlier), so the
    // answer is the GCD up to a unit.
    const Coeffs g = random_coeffs(rng, f, 7);
    Coeffs n2, m2;
    remainder_chain(rng, f, g, Coeffs{}, 24995, &n2, &m2);  // m2 mod (n2 mod m2) = 0
    routes_of(n2, m2, vars.level(1), &got);
    EXPECT_EQ(ref_monic(f, got), ref_monic(f, g));
    remainder_chain(rng, f, g, Coeffs{3}, 24995, &n2, &m2);  // ends in a constant
    routes_of(n2, m2, vars.level(1), &got);
    EXPECT_EQ(got, Coeffs{1});
  }
}

TEST(DenseGcdTermLists, SmallRemaindersGoToTheListGcd) {
  // n mod m of degree 10 and the next remainder of degree 5: a degree sum
  // below poly_cutoff, handed to basic_poly_gcd.
  ModulusScope scope(101);
  PolyVars vars{"t"};
  const RefField f(101);
  std::mt19937_64 rng(test_seed() + 9);
  Coeffs n, m;
  remainder_chain(rng, f, random_coeffs(rng, f, 10), random_coeffs(rng, f, 5), 24990, &n, &m);
  ScopedValue<std::int32_t> cutoff(poly_cutoff, 20);
  NodeBalance balance;
  Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m));
  Poly g;
  fastest_poly_gcd(pn, pm, g.cell(), false, vars.level(1));
  ASSERT_NE(g.get(), nullptr);
  EXPECT_EQ(ref_monic(f, poly_to_coeffs(g)), ref_monic_gcd(f, n, m));
}

}  // namespace
}  // namespace tavrin::test
