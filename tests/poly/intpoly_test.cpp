// One-variable integer polynomials on contiguous words against the
// reference polynomials: round trips through term lists, products by both
// routes, exact quotients that undo products, contents, and coefficients at
// the limb limit.
#include "poly/intpoly.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/node_handles.h"
#include "support/bigref.h"
#include "support/intpoly_support.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// A random coefficient of up to `bits` bits, biased to 0, +-1, and the
// 2^28 and 2^64 boundaries.
BigRef random_coef(std::mt19937_64& rng, unsigned bits) {
  switch (rng() % 8) {
    case 0: return BigRef(0);
    case 1: return BigRef(rng() % 2 ? 1 : -1);
    case 2:
      return BigRef::pow2(28 * static_cast<unsigned>(1 + rng() % 4)) -
             BigRef(static_cast<std::int64_t>(rng() % 2));
    case 3: return -BigRef::pow2(64 * static_cast<unsigned>(1 + rng() % 2));
    default: break;
  }
  BigRef r(0);
  const unsigned n = 1 + static_cast<unsigned>(rng() % bits);
  for (unsigned k = 0; k < n; k += 32)
    r = (r << 32) + BigRef(static_cast<std::int64_t>(rng() & 0xffffffffU));
  r = r % BigRef::pow2(n);
  return rng() % 2 ? -r : r;
}

RefPoly random_x(std::mt19937_64& rng, int deg, unsigned bits) {
  RefPoly r(1);
  for (int e = 0; e <= deg; ++e) r.add_term({e}, random_coef(rng, bits));
  return r;
}

TEST(IntPoly, RoundTripsProductsAndQuotientsAgreeWithTheReference) {
  PolyVars vars{"x"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  const int rounds = test_iterations(60);
  for (int round = 0; round < rounds; ++round) {
    const unsigned bits = round % 3 == 0 ? 600 : 90;
    const RefPoly a = random_x(rng, static_cast<int>(rng() % 12), bits);
    const RefPoly b = random_x(rng, static_cast<int>(rng() % 12), bits);
    const std::string what = "round " + std::to_string(round);
    const IntPoly ia = int_of(a), ib = int_of(b);
    EXPECT_EQ(ref_of(ia), a) << what << ": round trip";
    EXPECT_EQ(ref_of(intpoly_add(ia, ib, false)), a + b) << what;
    EXPECT_EQ(ref_of(intpoly_add(ia, ib, true)), a - b) << what;
    // Both sides of the rows / substitution cutoff.
    for (const std::int32_t cut : {0, 1000}) {
      ScopedValue<std::int32_t> rows(intpoly_rows_degree, cut);
      EXPECT_EQ(ref_of(intpoly_mul(ia, ib)), a * b) << what << " cut " << cut;
    }
    EXPECT_EQ(intpoly_mul_rows(ia, ib), intpoly_mul(ia, ib)) << what;
    if (!b.is_zero()) {
      IntPoly q;
      ASSERT_TRUE(intpoly_divexact(intpoly_mul(ia, ib), ib, &q)) << what;
      EXPECT_EQ(q, ia) << what << ": a b / b = a";
      // both sides of the rows / substitution cutoff
      for (const std::int32_t cut : {0, 1000}) {
        ScopedValue<std::int32_t> rows(intpoly_rows_degree, cut);
        IntPoly q2;
        ASSERT_TRUE(intpoly_divexact(intpoly_mul(ia, ib), ib, &q2)) << what << " cut " << cut;
        EXPECT_EQ(q2, ia) << what << " cut " << cut;
        const RefPoly off2 = a * b + RefPoly::variable(1, 0, 1).scaled(BigRef(3));
        if (!a.is_zero() && b.terms().size() > 1) {
          EXPECT_FALSE(intpoly_divexact(int_of(off2), ib, &q2))
              << what << " cut " << cut << ": a b + 3x";
        }
      }
      IntPoly q3;
      EXPECT_TRUE(intpoly_divexact_rows(intpoly_mul(ia, ib), ib, &q3)) << what;
      const RefPoly off = a * b + RefPoly::constant(1, BigRef(1));
      const bool unit = b.terms().size() == 1 && b.terms().begin()->first[0] == 0 &&
                        b.terms().begin()->second.abs() == BigRef(1);
      if (!unit) {
        EXPECT_FALSE(intpoly_divexact(int_of(off), ib, &q))
            << what << ": a b + 1 is no multiple of b";
      }
    }
    // The content, and the division by it.
    const RefPoly scaled = a.scaled(BigRef(6) * BigRef::pow2(70));
    const IntPoly is = int_of(scaled);
    const std::vector<IntPoly::word> c = intpoly_content(is);
    BigRef g(0);
    for (const auto& [e, v] : scaled.terms()) g = BigRef::gcd(g, v);
    BigRef cv(0);
    for (std::size_t k = c.size(); k-- > 0;)
      cv = (cv << 64) + (BigRef(static_cast<std::int64_t>(c[k] >> 32)) << 32) +
           BigRef(static_cast<std::int64_t>(c[k] & 0xffffffffU));
    EXPECT_EQ(cv, g.abs()) << what << ": content";
    if (!c.empty()) {
      EXPECT_EQ(intpoly_mul_integer(intpoly_div_integer(is, c), c), is) << what;
    }
    // Residues against the reference.
    const std::vector<std::int32_t> res = intpoly_residues(ia, 2147483629);
    for (int e = 0; e <= ia.degree(); ++e) {
      BigRef want = a.coefficient({e}) % BigRef(2147483629);
      if (want.negative()) want = want + BigRef(2147483629);
      const std::int64_t got =
          e < static_cast<int>(res.size()) ? res[static_cast<std::size_t>(e)] : 0;
      EXPECT_EQ(BigRef(got), want) << what << ": residue " << e;
    }
  }
}

TEST(IntPoly, CoefficientsAtTheLimbLimit) {
  PolyVars vars{"x"};
  NodeBalance balance;
  const BigRef top = BigRef::pow2(28 * 32767) - BigRef(1);  // 32,767 limbs
  RefPoly a(1);
  a.add_term({1}, -top);
  a.add_term({0}, BigRef(7));
  const IntPoly ia = int_of(a);
  EXPECT_EQ(ref_of(ia), a);
  // One bit more is error 302 when the list is built, leaving nothing behind.
  NumberedErrors numbered;
  ScopedValue<bool> quiet(extra_line, false);
  const IntPoly twice = intpoly_add(ia, ia, false);
  testing::internal::CaptureStdout();
  EXPECT_THROW((void)intpoly_to_poly(twice), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error number 302."), std::string::npos) << out;
}

// The big integer of a fresh number (read through a constant polynomial).
BigRef ref_of_number(imptr x) {
  nodes::OwnedPoly p;
  p.p = nodes::new_leaf(x);
  const RefPoly r = read_poly(p.p, 1);
  return r.is_zero() ? BigRef(0) : r.coefficient({0});
}

BigRef ref_of(const WordInt& v) { return ref_of_number(number_of_word_int(v)); }

BigRef power(const BigRef& b, unsigned e) {
  BigRef r(1);
  for (unsigned k = 0; k < e; ++k) r = r * b;
  return r;
}

WordInt word_int(const BigRef& b) {
  nodes::OwnedPoly p;
  p.p = build_poly(RefPoly::constant(1, b));
  return word_int_of(p.p->ncoef);
}

TEST(IntPoly, ScaledValuesByHalvesAgreeWithHornersRuleAndTheReference) {
  // sum a_i p^i q^(d-i) by halves (segments of 2 to 33 coefficients by
  // Horner's rule) against Horner's rule alone and the reference sum, for
  // points 0, +-1, small, at the 2^28 and 2^64 boundaries and of several
  // words, with q absent, 1, negative and long; coefficients with zeros
  // and runs of zeros.
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int i = 0; i < test_iterations(40); ++i) {
    const int deg = static_cast<int>(rng() % (i % 4 == 0 ? 400 : 70));
    RefPoly a = random_x(rng, deg, i % 3 == 0 ? 200 : 20);
    if (i % 5 == 1)
      a = a * RefPoly::variable(1, 0, 17) + RefPoly::constant(1, BigRef(3));  // a zero run
    if (a.is_zero()) continue;
    const IntPoly ia = int_of(a);
    const BigRef p =
        i % 7 == 0 ? BigRef(static_cast<std::int64_t>(rng() % 3) - 1) : random_coef(rng, 90);
    const bool with_q = i % 2 == 1;
    const BigRef q = with_q ? (i % 6 == 1 ? BigRef(1) : random_coef(rng, 70)) : BigRef(1);
    if (q.sign() == 0) continue;
    SCOPED_TRACE("a = " + a.to_string({"x"}) + " at " + p.to_decimal() + " / " + q.to_decimal());
    // The reference: Horner's rule on the reference coefficients.
    const int d = ia.degree();
    BigRef want(0);
    for (int e = d; e >= 0; --e)
      want = want * p + a.coefficient({e}) * power(q, static_cast<unsigned>(d - e));
    const WordInt wp = word_int(p), wq = word_int(q);
    WordInt horner;
    {
      ScopedValue<std::int32_t> alone(value_split_degree, INT32_MAX);
      horner = intpoly_scaled_value(ia, wp, with_q ? &wq : nullptr);
    }
    ASSERT_EQ(ref_of(horner), want);
    for (std::int32_t split : {1, 2, 5, 32}) {
      ScopedValue<std::int32_t> halves(value_split_degree, split);
      const WordInt v = intpoly_scaled_value(ia, wp, with_q ? &wq : nullptr);
      ASSERT_EQ(v.m, horner.m) << "split " << split;
      ASSERT_EQ(v.neg, horner.neg) << "split " << split;
    }
  }
  // Powers.
  EXPECT_EQ(ref_of(word_int_power(word_int(BigRef(-3)), 41)), power(BigRef(-3), 41));
  EXPECT_EQ(ref_of(word_int_power(word_int(BigRef(5)), 0)), BigRef(1));
}

TEST(IntPoly, PowersByTheRecurrenceAgreeWithRepeatedProducts) {
  // h of a few terms times x^v, h(0) negative or positive, gaps in h,
  // coefficients up to the largest the multipliers allow: a^k against k
  // products by rows; refused past the bound, and for coefficients of two
  // words.
  std::mt19937_64 rng(test_seed() + 5);
  for (int i = 0; i < test_iterations(60); ++i) {
    const int d = 1 + static_cast<int>(rng() % 9);
    const std::int32_t k = 1 + static_cast<std::int32_t>(rng() % (i % 5 == 0 ? 300 : 25));
    const int v = static_cast<int>(rng() % 3);
    const std::int64_t big = i % 7 == 3 ? (std::int64_t{1} << 62) / ((k + 1) * (d + 1)) - 1 : 40;
    RefPoly a(1);
    for (int e = 0; e <= d; ++e) {
      if (e > 0 && e < d && rng() % 3 == 0) continue;
      std::int64_t c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(big));
      if (rng() % 2) c = -c;
      a.add_term({e + v}, BigRef(c));
    }
    SCOPED_TRACE(a.to_string({"x"}) + " ^ " + std::to_string(k));
    const IntPoly ia = int_of(a);
    IntPoly g;
    ASSERT_TRUE(intpoly_power(ia, k, &g));
    IntPoly want = ia;
    for (std::int32_t j = 1; j < k; ++j) want = intpoly_mul_rows(want, ia);
    ASSERT_TRUE(g == want);
  }
  // A multiplier h_i ((k + 1) i - n) of 2^63 or more, and a coefficient of
  // two words: refused.
  RefPoly wide(1);
  wide.add_term({1}, BigRef(INT64_MAX / 20 + 1));  // times (9 + 1) (1 + 1) passes 2^63
  wide.add_term({0}, BigRef(1));
  IntPoly g;
  EXPECT_TRUE(intpoly_power(int_of(wide), 8, &g));
  EXPECT_FALSE(intpoly_power(int_of(wide), 9, &g));
  RefPoly two_words(1);
  two_words.add_term({1}, BigRef::pow2(64) + BigRef(1));
  two_words.add_term({0}, BigRef(3));
  EXPECT_FALSE(intpoly_power(int_of(two_words), 2, &g));
}

}  // namespace
}  // namespace tavrin::test
