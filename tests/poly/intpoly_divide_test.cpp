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

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "poly/intpoly_impl.h"
#include "support/bigref.h"
#include "support/intpoly_support.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

using Words = std::vector<IntPoly::word>;

// A random coefficient of 1 to `bits` bits, signed, biased to +-1.
BigRef random_coef(std::mt19937_64& rng, unsigned bits) {
  if (rng() % 6 == 0) return BigRef(rng() % 2 ? 1 : -1);
  BigRef r(0);
  const unsigned n = 1 + static_cast<unsigned>(rng() % bits);
  for (unsigned k = 0; k < n; k += 32)
    r = (r << 32) + BigRef(static_cast<std::int64_t>(rng() & 0xffffffffU));
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
  const std::vector<RefPoly> divisors = {
      x - RefPoly::constant(1, BigRef(3)), x.scaled(BigRef(2)) - RefPoly::constant(1, BigRef(7)),
      (x + RefPoly::constant(1, BigRef(1))).pow(8),
      x.pow(5).scaled(BigRef(-3)) + x.scaled(BigRef(97)) + RefPoly::constant(1, BigRef(1))};
  for (std::size_t i = 0; i < divisors.size(); ++i) {
    for (int da : {20, 90})
      expect_pseudo(random_x(rng, da, 20), divisors[i], "divisor " + std::to_string(i));
  }
}

TEST(IntPolyPseudoDivision, UnitLeadingCoefficientsWithLongGrowingQuotients) {
  // Divisors with leading coefficient +-1 and roots just outside the unit
  // circle: the quotient over the integers grows far past a's coefficients
  // over thousands of steps (slots widened several times), yet stays short
  // beside one bit a step. Both signs of c and both parities of k.
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7);
  const RefPoly x = RefPoly::variable(1, 0);
  const RefPoly two = RefPoly::constant(1, BigRef(2));
  const std::vector<RefPoly> divisors = {two - x.pow(40) + x.pow(3), x.pow(25) - x.pow(2) - two,
                                         -x.pow(30) + x - two};
  for (std::size_t i = 0; i < divisors.size(); ++i) {
    for (int da : {3000 + static_cast<int>(i), 3001}) {
      RefPoly a(1);
      for (int e = 0; e <= da; ++e) a.add_term({e}, BigRef(1 + static_cast<int>(rng() % 3)));
      expect_pseudo(a, divisors[i],
                    "divisor " + std::to_string(i) + ", degree " + std::to_string(da));
      IntPoly q, r;
      intpoly_pseudo_divrem(int_of(a), int_of(divisors[i]), &q, &r);
      EXPECT_GT(q.max_bits(), 120) << "the quotient outgrows the first slots (two words)";
      EXPECT_LT(q.max_bits(), 1500) << "and stays short beside a bit a step";
    }
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

// v as a WordInt and back (through a constant polynomial).
WordInt words_of(const BigRef& v) {
  nodes::OwnedPoly p;
  p.p = build_poly(RefPoly::constant(1, v));
  return word_int_of(p.p->ncoef);
}

BigRef ref_of_words(const WordInt& v) {
  nodes::OwnedPoly p;
  p.p = nodes::new_leaf(number_of_word_int(v));
  const RefPoly r = read_poly(p.p, 1);
  return r.is_zero() ? BigRef(0) : r.coefficient({0});
}

// The list of f x (intpoly_to_poly_times) against the list of the product
// on words (intpoly_mul_integer, negated when f is, then intpoly_to_poly)
// and against the reference.
void expect_list_times(const IntPoly& x, const WordInt& f, const BigRef& fr,
                       const std::string& what) {
  SCOPED_TRACE(what);
  nodes::OwnedPoly fused, plain;
  fused.p = intpoly_to_poly_times(x, f);
  ASSERT_TRUE(valid_poly(fused.p));
  IntPoly product = x.is_zero() ? x : intpoly_mul_integer(x, f.m);
  if (f.neg) product = intpoly_add(IntPoly{}, product, true);
  plain.p = intpoly_to_poly(product);
  EXPECT_EQ(read_poly(fused.p, 1), read_poly(plain.p, 1));
  EXPECT_EQ(read_poly(fused.p, 1), ref_of(x).scaled(fr));
}

TEST(IntPolyPseudoDivision, ScaledResultsBuildTheListsOfTheFullProducts) {
  // intpoly_pseudo_divrem_scaled leaves the multiplier to the lists when
  // the quotient over the rationals is integral (or b's primitive part
  // divides a), and is the whole division otherwise: both sides, against
  // the identity c^k a = q b + r and the route of full products on words.
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5);
  int left_to_lists = 0, whole = 0;
  for (int round = 0; round < test_iterations(90); ++round) {
    const unsigned bits = round % 3 == 0 ? 200 : 12;
    const RefPoly b1 =
        random_x(rng, static_cast<int>(1 + rng() % 25), bits, round % 5 == 0 ? 2 : 0);
    // b1 divides a; every fourth b has a content, negative, so that b
    // divides a over the rationals only.
    const RefPoly b = round % 4 == 1 ? b1.scaled(BigRef(-6)) : b1;
    RefPoly a = random_x(rng, static_cast<int>(rng() % 30), bits) * b1;
    if (round % 4 == 2)
      a = a + random_x(rng, static_cast<int>(rng() % 25), bits);  // an integral quotient
    if (round % 4 == 3) a = random_x(rng, degree_of(b) + static_cast<int>(rng() % 30), bits);
    if (degree_of(a) < degree_of(b)) continue;
    const std::string what = "round " + std::to_string(round);
    SCOPED_TRACE(what);
    const IntPoly ia = int_of(a), ib = int_of(b);
    IntPoly q, r, qs, rs;
    WordInt f;
    intpoly_pseudo_divrem(ia, ib, &q, &r);
    intpoly_pseudo_divrem_scaled(ia, ib, &qs, &rs, &f);
    const BigRef fr = ref_of_words(f);
    ++(fr == BigRef(1) ? whole : left_to_lists);
    nodes::OwnedPoly lq, lr;
    lq.p = intpoly_to_poly_times(qs, f);
    lr.p = intpoly_to_poly_times(rs, f);
    EXPECT_EQ(read_poly(lq.p, 1), ref_of(q));
    EXPECT_EQ(read_poly(lr.p, 1), ref_of(r));
    BigRef ck(1);
    for (int i = degree_of(b) - degree_of(a); i <= 0; ++i) ck = ck * b.coefficient({degree_of(b)});
    ASSERT_EQ(a.scaled(ck), read_poly(lq.p, 1) * b + read_poly(lr.p, 1));
  }
  EXPECT_GT(left_to_lists, 10);
  EXPECT_GT(whole, 10);
}

TEST(IntPolyLists, TimesAnIntegerAgreesWithTheProductOnWords) {
  // Multipliers 1, -1, one word, two words across 2^64, longer than the
  // coefficients and shorter; polynomials zero, constant, with gaps.
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 6);
  const BigRef two64 = BigRef::pow2(64);
  const std::vector<BigRef> multipliers = {
      BigRef(1),         BigRef(-1),           BigRef(97),
      two64 + BigRef(1), -(two64 - BigRef(1)), BigRef::pow2(500) - BigRef(3)};
  const std::vector<RefPoly> polys = {RefPoly(1), RefPoly::constant(1, BigRef(-5)),
                                      random_x(rng, 12, 20, 3), random_x(rng, 40, 700),
                                      random_x(rng, 7, 64)};
  for (std::size_t i = 0; i < multipliers.size(); ++i)
    for (std::size_t j = 0; j < polys.size(); ++j)
      expect_list_times(int_of(polys[j]), words_of(multipliers[i]), multipliers[i],
                        "multiplier " + std::to_string(i) + ", polynomial " + std::to_string(j));
}

TEST(IntPolyLists, AProductPastTheLimbLimitIsReportedAndLeavesNoNodes) {
  PolyVars vars{"x"};
  NodeBalance balance;
  NumberedErrors numbered;
  ScopedValue<bool> quiet(extra_line, false);
  // x^2 + 1 times 2^(28 * 32767): the top coefficient passes 32,767 limbs.
  const IntPoly x = int_of(RefPoly::variable(1, 0).pow(2) + RefPoly::constant(1, BigRef(1)));
  WordInt f;
  f.m.assign(28 * 32767 / 64 + 1, 0);
  f.m.back() = std::uint64_t{1} << (28 * 32767 % 64);
  testing::internal::CaptureStdout();
  EXPECT_THROW((void)intpoly_to_poly_times(x, f), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 302."), std::string::npos) << out;
}

// (x^j - 1)^m by (x - 1)^m: the quotient (1 + x + ... + x^(j-1))^m has
// coefficients about m log2 j bits long, the dividend's about m bits. For
// j = 2 the quotient fits the tight slot (one word past the dividend's
// coefficients) but the bound cannot prove it there; for j = 4 and 6 it
// overflows that slot. Either way the division goes on to the wider slots;
// the tight slot alone still shows a perturbed dividend indivisible.
TEST(IntPolyExactQuotient, QuotientsLongerThanTheTightSlotGoOnToWiderSlots) {
  PolyVars vars{"x"};
  NodeBalance balance;
  const RefPoly x = RefPoly::variable(1, 0), one = RefPoly::constant(1, BigRef(1));
  for (int j : {2, 4, 6}) {
    RefPoly sum = one;
    for (int i = 1; i < j; ++i) sum = sum + x.pow(i);
    for (int m : {20, 40, 64, 100}) {
      const std::string what = "j = " + std::to_string(j) + ", m = " + std::to_string(m);
      const RefPoly a = (x.pow(j) - one).pow(m), b = (x - one).pow(m);
      IntPoly q;
      ASSERT_TRUE(intpoly_divexact(int_of(a), int_of(b), &q)) << what;
      EXPECT_EQ(ref_of(q), sum.pow(m)) << what;
      EXPECT_FALSE(intpoly_divexact(int_of(a + x), int_of(b), &q)) << what;
    }
  }
  // Short coefficients: the first attempt takes one word a coefficient.
  const RefPoly a = (x.pow(2) + x - one).pow(6), b = (x.pow(2) + x - one).pow(3);
  EXPECT_TRUE(intpoly_divexact_one_word(int_of(a), int_of(b)));
  EXPECT_FALSE(intpoly_divexact_one_word(int_of((x - one).pow(200)), int_of(b)));
}

TEST(IntPolyExactQuotient, PlantedProductsAndTheirPerturbations) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  for (int round = 0; round < test_iterations(60); ++round) {
    const unsigned bits = round % 3 == 0 ? 500 : 30;
    const RefPoly q1 = random_x(rng, static_cast<int>(4 + rng() % 40), bits);
    RefPoly b = random_x(rng, static_cast<int>(4 + rng() % 40), bits, round % 4 == 0 ? 3 : 0);
    if (round % 5 == 0)
      b = b.scaled(BigRef(2147483629));  // a leading coefficient the first prime divides
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
