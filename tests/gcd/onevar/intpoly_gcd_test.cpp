// The modular GCD of one-variable integer polynomials against the driver on
// term lists: planted common factors with contents and signs, constants,
// coprime pairs, an unlucky first prime, and one operand dividing the other.
#include "gcd/intpoly_gcd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "poly/poly_upcalls.h"
#include "gcd/gcd.h"
#include "support/bigref.h"
#include "support/intpoly_support.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

RefPoly random_x(std::mt19937_64& rng, int deg, unsigned bits) {
  RefPoly r(1);
  for (int e = 0; e <= deg; ++e) {
    if (rng() % 5 == 0) continue;
    BigRef c(0);
    for (unsigned k = 0; k < bits; k += 30)
      c = (c << 30) + BigRef(static_cast<std::int64_t>(rng() % (1U << 30)));
    r.add_term({e}, rng() % 2 ? -c : c);
  }
  return r;
}

// The driver's GCD of a and b on term lists, as the value code asks for it
// (its own stages when `stages`, else by whatever route it takes).
RefPoly driver_gcd(const RefPoly& a, const RefPoly& b, bool stages = true) {
  ScopedValue<std::int32_t> cut(integer_gcd_limbs, stages ? INT32_MAX : integer_gcd_limbs);
  ScopedValue<std::int32_t> no_words(integer_gcd_word_degree, stages ? 0 : integer_gcd_word_degree);
  nodes::OwnedPoly u, v, g;
  u.p = build_poly(a);
  v.p = build_poly(b);
  alg_c_count = 0;
  original_depth = 1;
  polygcd(u.p, v.p, g.cell(), polynames);
  return read_poly(g.p, 1);
}

TEST(IntPolyGcd, SameAsTheDriverOnPlantedFactors) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7);
  const int rounds = test_iterations(40);
  for (int round = 0; round < rounds; ++round) {
    const unsigned bits = round % 4 == 0 ? 400 : 40;
    RefPoly c = random_x(rng, static_cast<int>(rng() % 6), bits);
    if (round % 5 == 1) c = c.scaled(BigRef(-12));  // a content and a sign
    const RefPoly a = random_x(rng, static_cast<int>(rng() % 8), bits) * c;
    const RefPoly b = random_x(rng, static_cast<int>(rng() % 8), bits) * c;
    if (a.is_zero() || b.is_zero()) continue;
    const std::string what = "round " + std::to_string(round);
    const RefPoly want = driver_gcd(a, b);
    EXPECT_EQ(ref_of(intpoly_gcd(int_of(a), int_of(b))), want) << what;
    EXPECT_EQ(ref_of(intpoly_gcd(int_of(b), int_of(a))), want) << what << " (swapped)";
    // The driver hands the pair over from integer_gcd_limbs on.
    ScopedValue<std::int32_t> always(integer_gcd_limbs, 0);
    const long taken = polygcd_stages.integer_vectors;
    EXPECT_EQ(driver_gcd(a, b, false), want) << what << " through the driver";
    if (!int_of(a).is_constant() && !int_of(b).is_constant()) {
      EXPECT_EQ(polygcd_stages.integer_vectors, taken + 1) << what;
    }
  }
}

TEST(IntPolyGcd, AnUnluckyFirstPrimeIsPassedOver) {
  PolyVars vars{"x"};
  // Modulo the first prime p = 2^31 - 1, x + p is x: the image GCD has one
  // degree too many.
  const RefPoly c = parse_ref("3*x^2 - 5*x + 7", {"x"});
  const RefPoly a = c * parse_ref("x + 2147483647", {"x"});
  const RefPoly b = c * parse_ref("x", {"x"});
  const long restarts = intpoly_gcd_stats.restarts;
  ScopedValue<std::int32_t (*)(std::int32_t, std::int32_t)> hook(
      intpoly_prime_hook, [](std::int32_t k, std::int32_t q) { return k == 0 ? 2147483647 : q; });
  EXPECT_EQ(ref_of(intpoly_gcd(int_of(a), int_of(b))), c);
  EXPECT_EQ(intpoly_gcd_stats.restarts, restarts + 1);
}

TEST(IntPolyGcd, AnOperandDividingTheOtherIsTheGcdByOneDivision) {
  // b | a with contents and signs on either side, b of a's degree or
  // lower: the GCD the driver's stages give, after the first image and one
  // exact division; a b that does not divide (b + 1) goes the whole way.
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 8);
  const RefPoly one = RefPoly::constant(1, BigRef(1));
  for (int round = 0; round < test_iterations(40); ++round) {
    const unsigned bits = round % 4 == 0 ? 300 : 30;
    RefPoly b = random_x(rng, 1 + static_cast<int>(rng() % 12), bits);
    if (round % 3 == 1) b = b.scaled(BigRef(-6));
    RefPoly q = round % 5 == 0 ? RefPoly::constant(1, BigRef(-35))
                               : random_x(rng, static_cast<int>(rng() % 12), bits);
    if (int_of(b).degree() < 1 || q.is_zero()) continue;
    const std::string what = "round " + std::to_string(round);
    for (const RefPoly& d : {b, b + one}) {
      const RefPoly a = b * q;
      const RefPoly want = driver_gcd(a, d);
      const long images = intpoly_gcd_stats.images, runs = intpoly_gcd_stats.runs;
      EXPECT_EQ(ref_of(intpoly_gcd(int_of(a), int_of(d))), want) << what;
      EXPECT_EQ(ref_of(intpoly_gcd(int_of(d), int_of(a))), want) << what << " (swapped)";
      const long ran = intpoly_gcd_stats.runs - runs;
      if (&d == &b) {  // the coprimality test's image and one more a run
        EXPECT_EQ(intpoly_gcd_stats.images - images, 2 * ran) << what;
      }
    }
  }
}

TEST(IntPolyGcd, ConstantsGiveTheGcdOfTheContents) {
  PolyVars vars{"x"};
  const RefPoly a = parse_ref("12*x^3 - 18", {"x"});
  EXPECT_EQ(ref_of(intpoly_gcd(int_of(a), int_of(parse_ref("-8", {"x"})))), parse_ref("2", {"x"}));
  EXPECT_EQ(ref_of(intpoly_gcd(int_of(a), int_of(parse_ref("8*x + 4", {"x"})))),
            parse_ref("2", {"x"}));
  EXPECT_EQ(ref_of(intpoly_gcd(int_of(parse_ref("x^2 - 1", {"x"})),
                               int_of(parse_ref("-2*x - 2", {"x"})))),
            parse_ref("x + 1", {"x"}));
}

// The dot-product residues against the chained reduction, on magnitudes of
// all-ones words (the largest products) and random words up to the longest
// coefficient (32,767 limbs), and on signed coefficients.
TEST(IntPolyGcd, WordResiduesAgreeWithWordsMod) {
  std::mt19937_64 rng(test_seed() + 11);
  const std::int32_t longest = (32767 * 28 + 63) / 64;
  for (const std::uint32_t p : {2147483647U, 2147483629U, 65537U, 3U}) {
    WordResidues res(p);
    for (const std::int32_t n : {0, 1, 2, 3, 17, 300, longest}) {
      std::vector<IntPoly::word> ones(static_cast<std::size_t>(n), ~IntPoly::word{0}),
          any(ones.size());
      for (auto& w : any) w = rng();
      EXPECT_EQ(res.of(ones.data(), n), words_mod(ones.data(), n, p)) << p << " " << n;
      EXPECT_EQ(res.of(any.data(), n), words_mod(any.data(), n, p)) << p << " " << n;
    }
    PolyVars vars{"x"};
    for (int round = 0; round < 4; ++round) {
      const IntPoly a = int_of(random_x(rng, 6 + round, 64U << (3 * round)));
      EXPECT_EQ(res.of(a), intpoly_residues(a, static_cast<std::int32_t>(p)))
          << p << " round " << round;
    }
  }
}

// Pairs with coprime primitive parts settle on one image and the common
// content of all coefficients: against the driver, with contents shared in
// part, large, one-sided, and with signs.
TEST(IntPolyGcd, CoprimePrimitivePartsGiveTheCommonContent) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 13);
  const int rounds = test_iterations(30);
  for (int round = 0; round < rounds; ++round) {
    const unsigned bits = round % 3 == 0 ? 300 : 40;
    const RefPoly k = random_x(rng, 0, bits);
    if (k.is_zero()) continue;
    RefPoly a = random_x(rng, 1 + static_cast<int>(rng() % 8), bits);
    RefPoly b = random_x(rng, 1 + static_cast<int>(rng() % 8), bits);
    if (round % 4 != 3) a = a * k.scaled(BigRef(6));
    if (round % 4 != 2) b = b * k.scaled(BigRef(round % 2 ? -4 : 10));
    if (int_of(a).is_constant() || int_of(b).is_constant()) continue;
    const std::string what = "round " + std::to_string(round);
    const RefPoly want = driver_gcd(a, b);
    const long coprime = intpoly_gcd_stats.coprime, runs = intpoly_gcd_stats.runs;
    EXPECT_EQ(ref_of(intpoly_gcd(int_of(a), int_of(b))), want) << what;
    EXPECT_EQ(ref_of(intpoly_gcd(int_of(b), int_of(a))), want) << what << " (swapped)";
    // Random parts are coprime as a rule; then no modular run starts.
    if (int_of(want).is_constant()) {
      EXPECT_EQ(intpoly_gcd_stats.coprime, coprime + 2) << what;
      EXPECT_EQ(intpoly_gcd_stats.runs, runs) << what;
    }
  }
}

// A polynomial in x of degree deg, coefficients below 2^bits (bits <= 63)
// with random signs, some zero.
RefPoly small_x(std::mt19937_64& rng, int deg, unsigned bits) {
  RefPoly r(1);
  for (int e = 0; e <= deg; ++e) {
    if (e < deg && rng() % 4 == 0) continue;
    const auto c = static_cast<std::int64_t>((rng() >> (64 - bits)) | (e == deg ? 1 : 0));
    if (c != 0) r.add_term({e}, rng() % 2 ? -c : c);
  }
  return r;
}

// The word path settles exactly the pairs within its limits (degree,
// coefficients below 2^56, not a monomial nor two binomials), with the
// driver's answer, on both sides of each limit: planted factors with
// contents and signs, coprime pairs, equal arguments, a divisor, a number,
// a monomial, two binomials.
TEST(IntPolyGcd, WordPathSameAsTheDriverOnBothSidesOfItsLimits) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 17);
  const RefPoly a0 = parse_ref("6*x^2 - 6", {"x"}), b0 = parse_ref("-4*x^2 - 8*x - 4", {"x"});
  ScopedValue<std::int32_t> words(integer_gcd_word_degree, 64);
  EXPECT_EQ(driver_gcd(a0, b0, false), parse_ref("2*x + 2", {"x"}));
  const BigRef limit = BigRef(1) << 56;
  const int rounds = test_iterations(120);
  const long runs = intpoly_gcd_stats.word_runs, declined = intpoly_gcd_stats.word_declined;
  int fitting = 0;
  for (int round = 0; round < rounds; ++round) {
    const int cap = 2 + round % 12;
    integer_gcd_word_degree = cap;
    const int dg = 1 + static_cast<int>(rng() % 4), da = cap + 1 - dg - static_cast<int>(rng() % 3);
    const int db = std::max(0, cap - dg - static_cast<int>(rng() % 3));
    const unsigned bits = 20 + static_cast<unsigned>(rng() % 10);
    const RefPoly g = small_x(rng, dg, bits).scaled(BigRef(round % 3 == 0 ? -35 : 1));
    RefPoly a = small_x(rng, std::max(da, 0), bits) * g, b = small_x(rng, db, bits) * g;
    switch (round % 6) {
      case 1:
        a = small_x(rng, cap + 1 - static_cast<int>(rng() % 2), 55 + round % 3);
        break;                                                  // coprime
      case 2: b = a.scaled(BigRef(round % 4 ? 1 : -3)); break;  // equal
      case 3: a = g; break;                                     // a divisor
      case 4: b = small_x(rng, 0, 40); break;                   // a number
      case 5:                                                   // a monomial, or two binomials
        b = parse_ref("x^" + std::to_string(1 + round % 3), {"x"}).scaled(BigRef(-6));
        if (round % 12 == 11)
          a = parse_ref("x^" + std::to_string(cap) + " - 8", {"x"}),
          b = parse_ref("2*x^3 - 4", {"x"});
        break;
      default: break;
    }
    if (a.is_zero() || b.is_zero()) continue;
    bool fits = true;
    int degree = 0;
    for (const RefPoly* x : {&a, &b})
      for (const auto& [e, c] : x->terms()) {
        fits = fits && (c < limit && -c < limit);
        degree = std::max(degree, e[0]);
      }
    const std::size_t ta = a.terms().size(), tb = b.terms().size();
    fits = fits && degree <= cap && !int_of(a).is_constant() && !int_of(b).is_constant() &&
           ta > 1 && tb > 1 && ta + tb > 4;
    fitting += fits ? 1 : 0;
    const std::string what =
        "round " + std::to_string(round) + ": " + a.to_string({"x"}) + ", " + b.to_string({"x"});
    const long taken = intpoly_gcd_stats.word_runs + intpoly_gcd_stats.word_declined;
    EXPECT_EQ(driver_gcd(a, b, false), driver_gcd(a, b)) << what;
    EXPECT_EQ(intpoly_gcd_stats.word_runs + intpoly_gcd_stats.word_declined, taken + (fits ? 1 : 0))
        << what;
  }
  // both sides seen, and nearly every pair within the limits settled
  EXPECT_GE(fitting, rounds / 6);
  EXPECT_LE(fitting, rounds * 3 / 4);
  EXPECT_GE(10 * (intpoly_gcd_stats.word_runs - runs), 9L * fitting);
  EXPECT_EQ(intpoly_gcd_stats.word_runs - runs + intpoly_gcd_stats.word_declined - declined,
            fitting);
}

// A pair whose proof would need more than the prime: the bound on a = M
// (x^2 - 1)^10 = (x + 1)^10 Q is |(x + 1)^10|_1 |Q|_inf = 2^10 252 M, past
// 2^61 for M = 2^44 + 1 (a's coefficients stay below 2^52). The path gives the pair back and the
// driver finds (x + 1)^10.
TEST(IntPolyGcd, WordPathGivesBackWhatItCannotProve) {
  PolyVars vars{"x"};
  NodeBalance balance;
  ScopedValue<std::int32_t> words(integer_gcd_word_degree, 64);
  const RefPoly x1 = parse_ref("x + 1", {"x"}).pow(10);
  const RefPoly a = parse_ref("x^2 - 1", {"x"}).pow(10).scaled(BigRef((std::int64_t{1} << 44) + 1));
  const RefPoly b = x1 * parse_ref("x + 2", {"x"});
  const long declined = intpoly_gcd_stats.word_declined;
  EXPECT_EQ(driver_gcd(a, b, false), x1);
  EXPECT_EQ(intpoly_gcd_stats.word_declined, declined + 1);
  // Leading coefficients -(2^31 - 1) vanish modulo the first prime, where
  // the images of the planted factor are constants.
  const RefPoly g = parse_ref("2147483647*x + 1", {"x"});
  const long runs = intpoly_gcd_stats.word_runs;
  EXPECT_EQ(driver_gcd(-g * parse_ref("x + 2", {"x"}), -g * parse_ref("x^2 + 3", {"x"}), false), g);
  EXPECT_EQ(intpoly_gcd_stats.word_runs, runs + 1);
}

}  // namespace
}  // namespace tavrin::test
