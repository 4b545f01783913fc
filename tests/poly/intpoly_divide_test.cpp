// Quotients of one-variable integer polynomials by Kronecker's substitution
// against the reference polynomials: the pseudo-division against its
// identity c^k a = q b + r with deg r < deg b (which fixes q and r), on
// random pairs, products planted over the integers and over the rationals,
// and divisors whose roots make the quotient grow past the first slots; one
// attempt on slots too narrow refuses instead of answering; exact quotients
// and the prime test against planted products and their perturbations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "poly/intpoly_impl.h"
#include "support/bigref.h"
#include "support/intpoly_support.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

using Words = std::vector<IntPoly::word>;

// A random coefficient of 1 to `bits` bits, signed, biased to +-1.
BigRef random_coef(std::mt19937_64& rng, unsigned bits) {
  if (rng() % 6 == 0) return BigRef(rng() % 2 ? 1 : -1);
  BigRef r(0);
  const unsigned n = 1 + static_cast<unsigned>(rng() % bits);
  for (unsigned k = 0; k < n; k += 32) r = (r << 32) + BigRef(static_cast<std::int64_t>(rng() & 0xffffffffU));
  r = r % BigRef::pow2(n);
  if (r == BigRef(0)) r = BigRef(5);
  return rng() % 2 ? -r : r;
}

// A random polynomial of degree exactly deg, a fifth of its lower terms
// missing, and none below x^low (when low <= deg).
RefPoly random_x(std::mt19937_64& rng, int deg, unsigned bits, int low = 0) {
  RefPoly r(1);
  for (int e = std::min(low, deg); e <= deg; ++e)
    if (e == deg || rng() % 5 != 0) r.add_term({e}, random_coef(rng, bits));
  return r;
}

int degree_of(const RefPoly& r) {
  int d = -1;
  for (const auto& [e, c] : r.terms()) d = std::max(d, e[0]);
  return d;
}

// intpoly_pseudo_divrem(a, b) against its identity; q and r asked for
// alone agree with the pair.
void expect_pseudo(const RefPoly& a, const RefPoly& b, const std::string& what) {
  SCOPED_TRACE(what);
  const IntPoly ia = int_of(a), ib = int_of(b);
  IntPoly q, r, q_only, r_only;
  intpoly_pseudo_divrem(ia, ib, &q, &r);
  const int k = degree_of(a) - degree_of(b) + 1;
  BigRef ck(1);
  for (int i = 0; i < k; ++i) ck = ck * b.coefficient({degree_of(b)});
  ASSERT_EQ(a.scaled(ck), ref_of(q) * b + ref_of(r));
  ASSERT_LT(degree_of(ref_of(r)), degree_of(b));
  intpoly_pseudo_divrem(ia, ib, &q_only, nullptr);
  intpoly_pseudo_divrem(ia, ib, nullptr, &r_only);
  EXPECT_EQ(q_only, q);
  EXPECT_EQ(r_only, r);
}

TEST(IntPolyPseudoDivision, RandomPairsSatisfyTheIdentity) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int round = 0; round < test_iterations(120); ++round) {
    const unsigned bits = round % 4 == 0 ? 300 : (round % 4 == 1 ? 70 : 8);
    const int da = static_cast<int>(1 + rng() % 40);
    const int db = static_cast<int>(1 + rng() % static_cast<std::uint64_t>(da));
    RefPoly b = random_x(rng, db, bits, round % 5 == 0 ? 2 : 0);
    if (round % 7 == 0) b = b.scaled(BigRef(6));  // a content
    expect_pseudo(random_x(rng, da, bits), b, "round " + std::to_string(round));
  }
}

TEST(IntPolyPseudoDivision, PlantedProductsLeaveNoRemainder) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 1);
  for (int round = 0; round < test_iterations(60); ++round) {
    const RefPoly q1 = random_x(rng, static_cast<int>(rng() % 30), round % 3 == 0 ? 200 : 10);
    const RefPoly b1 = random_x(rng, static_cast<int>(1 + rng() % 30), round % 3 == 1 ? 200 : 10);
    // Over the integers (b divides a), and over the rationals only (b = 6 b1
    // divides a = b1 q1 when 6 does not divide q1).
    const RefPoly g = RefPoly::constant(1, BigRef(round % 2 == 0 ? 1 : 6));
    const RefPoly a = b1 * q1, b = b1 * g;
    expect_pseudo(a, b, "round " + std::to_string(round));
    IntPoly q, r;
    intpoly_pseudo_divrem(int_of(a), int_of(b), &q, &r);
    EXPECT_TRUE(r.is_zero());
    IntPoly exact;
    EXPECT_TRUE(intpoly_divexact(int_of(a), int_of(b1), &exact));
    EXPECT_EQ(ref_of(exact), q1);
    EXPECT_TRUE(intpoly_may_divide(int_of(a), int_of(b)));
    // Plus one: no multiple over the rationals, seen at a prime.
    EXPECT_FALSE(intpoly_may_divide(int_of(a + RefPoly::constant(1, BigRef(1))), int_of(b)));
  }
}

TEST(IntPolyPseudoDivision, QuotientsThatGrowPastTheFirstSlots) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 2);
  // Roots of modulus 3, 7/2 and -1 (eightfold): the quotient over the
  // rationals grows like 3^j, 3.5^j, j^7.
  const RefPoly x = RefPoly::variable(1, 0);
  const std::vector<RefPoly> divisors = {x - RefPoly::constant(1, BigRef(3)),
                                         x.scaled(BigRef(2)) - RefPoly::constant(1, BigRef(7)),
                                         (x + RefPoly::constant(1, BigRef(1))).pow(8),
                                         x.pow(5).scaled(BigRef(-3)) + x.scaled(BigRef(97)) + RefPoly::constant(1, BigRef(1))};
  for (std::size_t i = 0; i < divisors.size(); ++i) {
    for (int da : {20, 90}) expect_pseudo(random_x(rng, da, 20), divisors[i], "divisor " + std::to_string(i));
  }
}

TEST(IntPolyPseudoDivision, SlotsTooNarrowRefuseRatherThanAnswer) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 3);
  const RefPoly x = RefPoly::variable(1, 0);
  const RefPoly b = x.scaled(BigRef(2)) - RefPoly::constant(1, BigRef(7));
  const RefPoly a = random_x(rng, 60, 10);
  const IntPoly ia = int_of(a), ib = int_of(b);
  // c^k = 2^60; the quotient's coefficients reach about 60 + 10 + 60
  // log2(3.5) = 178 bits, so slots of 128 bits are too narrow.
  const Words two60 = {1ULL << 60};
  IntPoly q = int_of(RefPoly::constant(1, BigRef(5))), r = q;
  EXPECT_FALSE(detail::pseudo_divrem_on_slots(ia, ib, two60, false, 128, &q, &r));
  EXPECT_EQ(ref_of(q), RefPoly::constant(1, BigRef(5)));  // untouched
  ASSERT_TRUE(detail::pseudo_divrem_on_slots(ia, ib, two60, false, 512, &q, &r));
  EXPECT_EQ(a.scaled(BigRef::pow2(60)), ref_of(q) * b + ref_of(r));
  // The multiplier 1 over the integers: 2 x - 7 does not divide a, and no
  // slot proves a quotient over the integers.
  const Words one = {1};
  EXPECT_FALSE(detail::pseudo_divrem_on_slots(ia, ib, one, false, 4096, &q, &r));
  // A monic divisor divides over the integers on narrow slots.
  const RefPoly m = x.pow(3) + x.scaled(BigRef(-4)) + RefPoly::constant(1, BigRef(1));
  ASSERT_TRUE(detail::pseudo_divrem_on_slots(ia, int_of(m), one, false, 192, &q, &r));
  EXPECT_EQ(a, ref_of(q) * m + ref_of(r));
}

TEST(IntPolyExactQuotient, PlantedProductsAndTheirPerturbations) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  for (int round = 0; round < test_iterations(60); ++round) {
    const unsigned bits = round % 3 == 0 ? 500 : 30;
    const RefPoly q1 = random_x(rng, static_cast<int>(4 + rng() % 40), bits);
    RefPoly b = random_x(rng, static_cast<int>(4 + rng() % 40), bits, round % 4 == 0 ? 3 : 0);
    if (round % 5 == 0) b = b.scaled(BigRef(2147483629));  // a leading coefficient the first prime divides
    const RefPoly a = q1 * b;
    const std::string what = "round " + std::to_string(round);
    IntPoly q;
    ASSERT_TRUE(intpoly_divexact(int_of(a), int_of(b), &q)) << what;
    EXPECT_EQ(ref_of(q), q1) << what;
    EXPECT_TRUE(intpoly_may_divide(int_of(a), int_of(b))) << what;
    const RefPoly off = a + RefPoly::variable(1, 0).scaled(BigRef(3));
    EXPECT_FALSE(intpoly_divexact(int_of(off), int_of(b), &q)) << what;
    EXPECT_FALSE(intpoly_may_divide(int_of(off), int_of(b))) << what;
  }
}

}  // namespace
}  // namespace tavrin::test
