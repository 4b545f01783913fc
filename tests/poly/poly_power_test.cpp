// Powers of polynomials and numbers against the reference, the
// characteristic-p method, and the folds by numeric and polynomial
// relations.
#include "poly/poly_power.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

RefPoly ring_power(Ring ring, const RefPoly& a, unsigned k) {
  RefPoly r = RefPoly::constant(a.nvars(), 1);
  for (unsigned i = 0; i < k; ++i) r = ring_product(ring, r, a);
  return r;
}

class PowerTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

// ---- Powers -------------------------------------------------------------------------------

TEST_F(PowerTest, PowersAgreeWithRepeatedReferenceProducts) {
  std::mt19937_64 rng(test_seed());
  for_each_ring(
      {Ring::integers, Ring::mod7, Ring::mod65521, Ring::mod_big, Ring::gf256, Ring::floating},
      [&](Ring ring) {
        for (int i = 0; i < test_iterations(25); ++i) {
          RefPoly a = random_refpoly(rng, 3, 4, 2, 1);
          if (ring == Ring::floating) a = a.reduced_mod(BigRef(5));
          a = in_ring(ring, a);
          const unsigned k = static_cast<unsigned>(i % 9);
          SCOPED_TRACE(a.to_string(vars.names()) + " ^ " + std::to_string(k));
          Poly p(a);
          compute_power(p.cell(), static_cast<std::int32_t>(k), nilpol);
          ASSERT_TRUE(valid_poly(p));
          const bool modular_zero =
              ring != Ring::integers && ring != Ring::floating && k == 0 && a.is_zero();
          ASSERT_EQ(p.ref(), modular_zero ? RefPoly(3) : ring_power(ring, a, k));
        }
      });
}

TEST_F(PowerTest, ShortOneVariablePowersByTheRecurrenceAsBySquaring) {
  // Over the integers, 2 to power_recurrence_terms terms t, degree + 1 at
  // most power_recurrence_fill t and a power of degree at least power_recurrence_spread t^2:
  // the recurrence; one term more, a monomial, a sparse list or a lower
  // degree: squaring; the same polynomial node for
  // node as squaring alone gives, with x^v factors. A polynomial in a lower
  // variable (under a pad) and a relation at the level keep the squaring.
  NodeBalance balance;
  const struct {
    const char* base;
    std::int32_t k;
    bool top_list;  // a list in the top variable
  } cases[] = {{"x^8 - 3*x^7 + 5*x^6 + x^5 - 7*x^4 + 2*x^3 - x^2 + 4*x - 9", 300, true},
               {"x^3 + 1", 100, true},
               {"-2*x^5 + x^2", 41, true},
               {"y^2 - 3*y + 7", 57, false},
               {"x^16 + x^15 + x^14 + x^13 + x^12 + x^11 + x^10 + x^9 + x^8 + x^7 + x^6 + x^5 + "
                "x^4 + x^3 + x^2 + x + 1",
                20, true},
               {"x - 1", 2, true},
               {"x^3 + 1", 3, true},
               {"x^3 + 1", 4, true},
               {"x^3 - 2*x^2", 25, true},
               {"x", 100000, true},
               {"-7*x^3", 5000, true},
               {"x^9 + x^8 - 1", 1000, true}};
  for (const auto& c : cases) {
    const struct {
      std::int32_t terms, spread, fill;
    } cuts[] = {{16, 3, 2},       {17, 3, 2}, {16, 0, 2},
                {16, 1 << 20, 2}, {16, 3, 1}, {16, 3, INT32_MAX}};
    for (const auto& [terms, spread, fill] : cuts) {
      SCOPED_TRACE(std::string(c.base) + " ^ " + std::to_string(c.k) + ", terms " +
                   std::to_string(terms) + ", spread " + std::to_string(spread) + ", fill " +
                   std::to_string(fill));
      ScopedValue<std::int32_t> cut(power_recurrence_terms, terms);
      ScopedValue<std::int32_t> spread_cut(power_recurrence_spread, spread);
      ScopedValue<std::int32_t> fill_cut(power_recurrence_fill, fill);
      Poly squared(c.base, vars.names()), p(c.base, vars.names());
      {
        ScopedValue<std::int32_t> never(power_recurrence_terms, 0);
        compute_power(squared.cell(), c.k, vars.level(1));
      }
      const long before = power_recurrences;
      compute_power(p.cell(), c.k, vars.level(1));
      const std::int32_t nodes = static_cast<std::int32_t>(poly_length(Poly(c.base, vars.names())));
      const std::int32_t degree = Poly(c.base, vars.names())->exp * c.k;
      const std::int32_t base_degree = Poly(c.base, vars.names())->exp;
      const bool recurrence = c.top_list && nodes >= 2 && nodes <= terms &&
                              std::int64_t{base_degree} + 1 <= std::int64_t{fill} * nodes &&
                              std::int64_t{degree} >= std::int64_t{spread} * nodes * nodes;
      EXPECT_EQ(power_recurrences, before + (recurrence ? 1 : 0));
      ASSERT_TRUE(valid_poly(p));
      ASSERT_EQ(dump_poly(p), dump_poly(squared));
    }
  }
  // (x + 1)^6 under x^2 = 2: squaring, folded.
  RelationScope rel(vars.level(1), make_leaf(2), 2);
  Poly p("x + 1", vars.names());
  const long before = power_recurrences;
  compute_power(p.cell(), 6, vars.level(1));
  EXPECT_EQ(power_recurrences, before);
  EXPECT_EQ(p.ref(), ref("99 + 70*x"));
}

// A single term over a number is raised at once in exact arithmetic: its
// coefficient's power and a product of exponents, against square-and-
// multiply on the reference: terms in the top variable, exponents past a
// prime modulus. The route is declined (the counter unchanged, the same
// power) for a term under a pad (a lower variable), a term over a list,
// two terms, floating and plain word arithmetic,
// GF(256), a composite modulus whose power of the coefficient is 0, and a
// relation at the level. Exponents at 2^31 - 1 are raised at once; one
// further is left to the products, which report the overflow.
TEST_F(PowerTest, SingleTermsRaisedAtOnceAsBySquaring) {
  NodeBalance balance;
  const struct {
    const char* base;
    bool single;  // one term over a number
  } bases[] = {
      {"3*x^2", true}, {"-5*y^3", false}, {"x", true}, {"2*x*y", false}, {"x^2 + 1", false}};
  for_each_ring({Ring::integers, Ring::mod7, Ring::mod65521, Ring::mod_big, Ring::gf256,
                 Ring::floating, Ring::word},
                [&](Ring ring) {
                  const bool exact =
                      ring != Ring::gf256 && ring != Ring::floating && ring != Ring::word;
                  for (const auto& b : bases) {
                    for (const std::int32_t k : {1, 2, 13, 100, 65600}) {
                      if (k > 100 && !b.single) continue;
                      if ((ring == Ring::floating || ring == Ring::word) && k > 13) continue;
                      SCOPED_TRACE(std::string(b.base) + " ^ " + std::to_string(k));
                      RefPoly want = RefPoly::constant(3, 1), base = in_ring(ring, ref(b.base));
                      for (std::int32_t e = k; e > 0; e >>= 1) {
                        if ((e & 1) != 0) want = ring_product(ring, want, base);
                        if (e > 1) base = ring_product(ring, base, base);
                      }
                      Poly p(in_ring(ring, ref(b.base)));
                      const long before = monomial_powers;
                      compute_power(p.cell(), k, nilpol);
                      EXPECT_EQ(monomial_powers, before + (exact && b.single ? 1 : 0));
                      ASSERT_TRUE(valid_poly(p));
                      if (ring != Ring::floating) {
                        EXPECT_EQ(p.ref(), want);
                      }
                    }
                  }
                });
  {
    ModulusScope m(8, false);  // 2^3 = 0: the products drop the term
    Poly p("2*x");
    const long before = monomial_powers;
    compute_power(p.cell(), 3, nilpol);
    EXPECT_EQ(monomial_powers, before);
    EXPECT_EQ(dump_poly(p), "0");
  }
  {
    RelationScope rel(vars.level(1), make_leaf(2), 2);  // x^2 = 2
    Poly p("3*x");
    const long before = monomial_powers;
    compute_power(p.cell(), 5, vars.level(1));
    EXPECT_EQ(monomial_powers, before);
    EXPECT_EQ(p.ref(), ref("972*x"));
  }
  Poly top("x");
  compute_power(top.cell(), INT32_MAX, nilpol);
  EXPECT_EQ(top->exp, INT32_MAX);
  EXPECT_EQ(dump_poly(top.get()->pcoef), "1");
  Poly over("x^2");
  const long before = monomial_powers;
  EXPECT_THROW(compute_power(over.cell(), 1 << 30, nilpol), TopLevelJump);
  EXPECT_EQ(monomial_powers, before);
}

TEST_F(PowerTest, SpecialExponentsAndConstants) {
  NodeBalance balance;
  Poly p("3*x^2*y - z + 5");
  {
    Poly q("3*x^2*y - z + 5");
    compute_power(q.cell(), 0, nilpol);
    EXPECT_EQ(dump_poly(q), "1");
    compute_power(p.cell(), 1, nilpol);
    EXPECT_EQ(p.ref(), ref("3*x^2*y - z + 5"));
  }
  {
    ModulusScope m(7);
    Poly c("3"), z("0");
    compute_power(c.cell(), 12, nilpol);  // 12 mod 6 = 0
    EXPECT_EQ(dump_poly(c), "1");
    compute_power(z.cell(), 6, nilpol);
    EXPECT_EQ(dump_poly(z), "0");
    Poly d("3");
    compute_power(d.cell(), 5, nilpol);  // 3^5 = 243 = 5 mod 7
    EXPECT_EQ(dump_poly(d), "5");
  }
  {
    Poly big("2");
    compute_power(big.cell(), 100, nilpol);
    EXPECT_EQ(big.ref(), RefPoly::constant(3, BigRef::pow2(100)));
    Poly neg("-3");
    compute_power(neg.cell(), 0, nilpol);
    EXPECT_EQ(dump_poly(neg), "1");
  }
  {
    FloatingMode f;
    Poly c("3");
    compute_power(c.cell(), 7, nilpol);
    EXPECT_EQ(c->ncoef->flote, 2187.0L);
  }
  {
    WordMode w;
    Poly c("3");
    compute_power(c.cell(), 21, nilpol);  // 3^21 wraps in 32 bits
    EXPECT_EQ(c->ncoef->lint, static_cast<std::int32_t>(10460353203ULL & 0xffffffffULL));
  }
}

TEST_F(PowerTest, CharacteristicPDigits) {
  NodeBalance balance;
  {
    ModulusScope m(5);
    Poly p("x + 1");
    compute_power(p.cell(), 27, nilpol);  // digits 2, 0, 1
    EXPECT_EQ(p.ref(),
              ring_product(Ring::integers, ref("(x + 1)^2"), ref("x^25 + 1")).reduced_mod(5));
    Poly q("x*y + 2*z + 1");
    poly_mod_prime(q.cell(), 38, nilpol);  // 38 = 3 + 2*5 + 1*25
    EXPECT_EQ(q.ref(), ref("(x*y + 2*z + 1)^38").reduced_mod(5));
    Poly r("x + 1");
    poly_mod_prime(r.cell(), 25, nilpol);
    EXPECT_EQ(r.ref(), ref("x^25 + 1"));
  }
  {
    ModulusScope m(256);
    Poly p("x + 1");
    compute_power(p.cell(), 256, nilpol);  // Frobenius in GF(256)
    EXPECT_EQ(p.ref(), ref("x^256 + 1"));
    Poly q("3*x + y");
    compute_power(q.cell(), 513, nilpol);  // 513 = 1 + 2*256
    // (3x + y)^256 = 3^256 x^256 + y^256 = 3x^256 + y^256 in GF(256).
    const RefPoly frob = ref("3*x^256 + y^256");
    EXPECT_EQ(q.ref(), gf2_product(ref("3*x + y"), gf2_product(frob, frob, 256), 256));
  }
}

// Past the modulus the power goes by the exponent's digits in the
// characteristic; each digit's power is taken before the Frobenius images
// (which spread the terms p^i apart). Against square-and-multiply on the
// reference, in GF(7) and GF(256), exponents with every digit non-zero.
TEST_F(PowerTest, CharacteristicDigitsAsBySquaring) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 29);
  for (const std::int32_t q : {7, 256}) {
    ModulusScope m(q);
    const auto mul = [q](const RefPoly& a, const RefPoly& b) {
      return q == 256 ? gf2_product(a, b, 256) : ring_product(Ring::mod7, a, b);
    };
    for (const unsigned k : q == 7 ? std::vector<unsigned>{48, 342, 2400, 100}
                                   : std::vector<unsigned>{255, 767, 1000, 2047}) {
      std::string text = "x^3";
      for (int e = 2; e >= 0; --e)
        text += " + " + std::to_string(1 + rng() % static_cast<unsigned>(q == 7 ? 6 : 255)) +
                (e > 0 ? "*x^" + std::to_string(e) : "");
      SCOPED_TRACE(text + " ^ " + std::to_string(k));
      RefPoly want = RefPoly::constant(3, 1), base = ref(text);
      for (unsigned e = k; e > 0; e >>= 1) {
        if ((e & 1u) != 0) want = mul(want, base);
        if (e > 1) base = mul(base, base);
      }
      Poly p(ref(text));
      compute_power(p.cell(), static_cast<std::int32_t>(k), nilpol);
      ASSERT_TRUE(valid_poly(p));
      EXPECT_EQ(p.ref(), want);
    }
  }
}

// The same powers of one-variable polynomials whose running product stays
// an element vector between the digits (and between the squares of a
// digit's power), against square-and-multiply by
// poly_mult on term lists: in GF(2^8), GF(2^16) and modulo the word primes
// 251 and 32003; exponents of one, two and three digits, a zero lowest
// digit (the product starts as 1, not yet a vector), a digit 1 whose
// Frobenius image has fewer terms than the vector products take, a last
// image so far spread that its product goes back to term lists, a sparse
// base (never a vector), and the scaled rows on both sides of their ratio;
// a lowest digit of 1 and of 2 (its power the first held one), long lowest
// digits before a higher digit of 1 and of more.
TEST_F(PowerTest, CharacteristicDigitsOnElementVectorsAsBySquaring) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 31);
  struct Case {
    std::int32_t q;
    std::int32_t degree;  // of the base; 0: the sparse x^40 + x + 1
    std::int32_t k;
  };
  const Case cases[] = {
      {256, 3, 200},
      {256, 8, 255 + 7 * 256},
      {256, 12, 0 + 9 * 256},
      {256, 8, 3 + 1 * 256},
      {256, 3, 65536 + 511},
      {256, 2, 65536 * 2 + 3},
      {256, 0, 65536 + 257},
      {65536, 3, 65536 + 5},
      {65536, 10, 4095},
      {65536, 2, 3 * 65536},
      {251, 8, 250 + 251 * 17},
      {251, 2, 63001 + 251 * 3 + 9},
      {251, 0, 63001 + 252},
      {32003, 3, 32003 + 17},
      {32003, 9, 2 * 32003 + 1000},
      {32003, 8, 20001},
      {65536, 5, 65536 + 1},
      {65536, 5, 65536 + 2},
      {65536, 4, 65536 + 6001},
      {65536, 3, 2 * 65536 + 4097},
      {256, 0, 200 + 3 * 256},
      {32003, 0, 32003 + 900},
      {32003, 6, 32003 * 3 + 31999},
  };
  for (const Case& c : cases) {
    ModulusScope m(c.q);
    std::string text = c.degree == 0 ? "x^40 + x + 1" : "x^" + std::to_string(c.degree);
    for (int e = c.degree - 1; e >= 0 && c.degree > 0; --e)
      text += " + " + std::to_string(1 + rng() % static_cast<unsigned>(c.q - 1)) +
              (e > 0 ? "*x^" + std::to_string(e) : "");
    SCOPED_TRACE(text + " ^ " + std::to_string(c.k) + " modulo " + std::to_string(c.q));
    Poly base(ref(text)), want;
    poly_set(1, want.cell());
    for (int bit = 30; bit >= 0; --bit) {
      poly_mult(want, want, want.cell(), nilpol);
      if (((c.k >> bit) & 1) != 0) poly_mult(want, base, want.cell(), nilpol);
    }
    for (const std::int32_t ratio : {0, 16, 1 << 20}) {
      ScopedValue<std::int32_t> rows(sparse_rows_ratio, ratio);
      Poly p(ref(text));
      compute_power(p.cell(), c.k, nilpol);
      ASSERT_TRUE(valid_poly(p));
      ASSERT_TRUE(poly_equal(p, want)) << "rows ratio " << ratio;
    }
  }
}

TEST_F(PowerTest, InPlacePowersLeaveNoStrayNodes) {
  std::mt19937_64 rng(test_seed() + 1);
  for (Ring ring : {Ring::integers, Ring::mod7, Ring::gf256}) {
    RingScope scope(ring);
    for (int i = 0; i < 10; ++i) {
      NodeBalance balance;
      const RefPoly a = in_ring(ring, random_refpoly(rng, 3, 3, 1, 1));
      poly p = build_poly(a);
      const std::int32_t k = ring == Ring::integers ? 1 + i % 8 : 1 + i * 37 % 60;
      compute_power(&p, k, vars.level(1));
      ASSERT_TRUE(valid_poly(p));
      free_poly(&p);
    }
  }
}

TEST_F(PowerTest, SquaringAndRepeatedMultiplicationAgree) {
  NodeBalance balance;
  // Several variables, a top list of several nodes with polynomial
  // coefficients: repeated multiplication. The same value as a product of
  // squares (one variable at the top) checks it.
  const RefPoly a = ref("x*y + z + 2");
  Poly p(a);
  compute_power(p.cell(), 6, nilpol);
  EXPECT_EQ(p.ref(), a.pow(6));
  Poly q(ref("x^2 + 3*x + 1"));  // numeric coefficients: squaring
  compute_power(q.cell(), 9, nilpol);
  EXPECT_EQ(q.ref(), ref("(x^2 + 3*x + 1)^9"));
  Poly r(ref("x*(y^2 + y*z)"));  // one term: bysquaring decides (no)
  compute_power(r.cell(), 5, nilpol);
  EXPECT_EQ(r.ref(), ref("x^5*(y^2 + y*z)^5"));
}

TEST_F(PowerTest, BinomialPowersAgreeWithRepeatedProducts) {
  // c x^e + B, B in y and z: the nodes of x^(e i) are the binomial terms.
  // Against the repeated products of the reference, for unit, negative and
  // long c, and B with one limb and two.
  std::mt19937_64 rng(test_seed() + 3);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  const BigRef cs[] = {BigRef(1), BigRef(-1), BigRef(3), BigRef(-7), BigRef::pow2(40) + BigRef(1)};
  for (int i = 0; i < test_iterations(30); ++i) {
    RefPoly b = RefPoly::variable(3, 1 + i % 2);
    const RefPoly r = random_refpoly(rng, 3, 5, 4, 1 + i % 2);
    for (const auto& [e, c] : r.terms()) {
      auto f = e;
      f[0] = 0;
      b.add_term(f, c);
    }
    const std::int32_t ex = 1 + i % 3;
    RefPoly lead(3);
    lead.add_term({ex, 0, 0}, cs[i % 5]);
    const RefPoly a = lead + b;
    const auto k = static_cast<unsigned>(2 + i % 13);
    SCOPED_TRACE(a.to_string(vars.names()) + " ^ " + std::to_string(k));
    Poly p(a);
    compute_power(p.cell(), static_cast<std::int32_t>(k), nilpol);
    ASSERT_TRUE(valid_poly(p));
    ASSERT_EQ(p.ref(), ring_power(Ring::integers, a, k));
  }
}

// ---- Numeric relations -----------------------------------------------------------------------

class FoldTest : public ::testing::Test {
 protected:
  PolyVars vars{"t", "x"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

TEST_F(FoldTest, NumericFoldsByExponentArithmetic) {
  NodeBalance balance;
  Poly c("2");
  {
    Poly p("t^7");
    num_fold_poly(p.cell(), c.cell(), 3);
    EXPECT_EQ(dump_poly(p), "[1:4]");
    Poly q("t^3");
    num_fold_poly(q.cell(), c.cell(), 3);
    EXPECT_EQ(dump_poly(q), "2");
    Poly r("t^8*x + 5*t^4 + t^2*x + t + 1");
    num_fold_poly(r.cell(), c.cell(), 3);
    EXPECT_TRUE(valid_poly(r));
    EXPECT_EQ(r.ref(), ref("4*t^2*x + 10*t + t^2*x + t + 1"));
  }
  {
    ModulusScope m(7);
    Poly c7("3");
    Poly p("t^10 + 6*t^5*x");
    num_fold_poly(p.cell(), c7.cell(), 5);  // 9 + 18x = 2 + 4x
    EXPECT_EQ(p.ref(), ref("4*x + 2"));
  }
}

TEST_F(FoldTest, NegativeExponentsFoldOnlyByAUnit) {
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  {
    Poly m1("-1");
    Poly p("t^-1");
    num_fold_poly(p.cell(), m1.cell(), 2);  // t^2 = -1: 1/t = -t
    EXPECT_EQ(p.ref(), ref("-t"));
    Poly q("t^3 + x*t^-3 + t^-4 + 2");
    num_fold_poly(q.cell(), m1.cell(), 2);  // -t, x*t, 1, 2
    EXPECT_TRUE(valid_poly(q));
    EXPECT_EQ(q.ref(), ref("-t + x*t + 3"));
  }
  {
    Poly three("3");
    Poly p("t^3 + t^-1");
    testing::internal::CaptureStdout();
    EXPECT_THROW(num_fold_poly(p.cell(), three.cell(), 2), TopLevelJump);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, 200),
              " *** Can't apply poly-mod-out of form t^n + c = 0 to a term with\n"
              "     a negative exponent, when c is not invertible.\n"
              "       Modding out aborted.  Some variable may have been\n"
              "     partially converted.\n");
    EXPECT_NE(out.find("*** Inappropriate symbol"), std::string::npos);
    EXPECT_EQ(p.ref(), ref("3*t"));  // the part folded so far
  }
}

TEST_F(FoldTest, PowersUnderANumericRelation) {
  std::mt19937_64 rng(test_seed() + 2);
  for_each_ring({Ring::integers, Ring::mod7, Ring::gf256}, [&](Ring ring) {
    RelationScope rel(vars.level(1), make_leaf(3), 4);
    for (int i = 0; i < test_iterations(15); ++i) {
      RefPoly a = in_ring(ring, random_refpoly(rng, 2, 4, 3, 1));
      // Modulo 7 from the seventh power on the digits method reduces through
      // the relations of every level, which are not all in place here.
      const std::int32_t k = ring == Ring::mod7 ? 1 + i % 6 : 1 + i % 11;
      SCOPED_TRACE(a.to_string(vars.names()) + " ^ " + std::to_string(k));
      Poly p(a);
      compute_power(p.cell(), k, vars.level(1));
      ASSERT_TRUE(valid_poly(p));
      // Reference: fold after every product.
      RefPoly want = RefPoly::constant(2, 1);
      for (std::int32_t j = 0; j < k; ++j) {
        want = ring_product(ring, want, a);
        RefPoly low(2), high(2);
        for (;;) {
          low = RefPoly(2);
          high = RefPoly(2);
          for (const auto& [e, c] : want.terms()) {
            RefPoly::Exps x = e;
            if (x[0] >= 4) {
              x[0] -= 4;
              high.add_term(x, c);
            } else {
              low.add_term(x, c);
            }
          }
          if (high.is_zero()) break;
          want = ring_sum(ring, low, ring_product(ring, high, RefPoly::constant(2, 3)));
        }
      }
      ASSERT_EQ(p.ref(), want);
    }
  });
}

// ---- Polynomial relations ---------------------------------------------------------------------

TEST_F(FoldTest, FastFoldThroughTheReducedPowers) {
  NodeBalance balance;
  // t^3 = t + 1 (relation t^3 - t - 1): t^4 = t^2 + t, t^3 = t + 1.
  poly md = term(4, make_poly("t^2 + t"), term(3, make_poly("t + 1")));
  RelationScope rel(vars.level(1), make_poly("t^3 - t - 1"), 3, md);
  Poly p("x*t^4 + 2*t^3 + t^2 + x");
  fast_fold_poly(p.cell(), vars.level(1));
  EXPECT_TRUE(valid_poly(p));
  // x(t^2 + t) + 2(t + 1) + t^2 + x
  EXPECT_EQ(p.ref(), ref("x*t^2 + x*t + 2*t + 2 + t^2 + x"));
  Poly low("t^2 + x");  // nothing to fold
  fast_fold_poly(low.cell(), vars.level(1));
  EXPECT_EQ(low.ref(), ref("t^2 + x"));
  Poly c("5");
  fast_fold_poly(c.cell(), vars.level(1));
  EXPECT_EQ(dump_poly(c), "5");
}

TEST_F(FoldTest, FastFoldFallsBackOnTheNumericFold) {
  NodeBalance balance;
  RelationScope rel(vars.level(1), make_poly("2"), 3);
  Poly p("t^9 + t^5 + t");  // degree above 2E - 2
  fast_fold_poly(p.cell(), vars.level(1));
  EXPECT_EQ(p.ref(), ref("8 + 2*t^2 + t"));
}

TEST_F(FoldTest, FoldByRelationLeavesLowDegreesAndReportsAConstantRelation) {
  NodeBalance balance;
  {
    RelationScope rel(vars.level(1), make_poly("t^3 - t - 1"), 3);
    Poly p("t^2*x + 1");  // below the relation's degree: no division
    fold_by_relation(p.cell(), vars.level(1));
    EXPECT_EQ(p.ref(), ref("t^2*x + 1"));
  }
  {
    RelationScope rel(vars.level(1), make_poly("x + 1"), 0);
    Poly p("t^2 + 1");
    testing::internal::CaptureStdout();
    fold_by_relation(p.cell(), vars.level(1));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "*** Tavrin error. bad m^.exp in pseudo div no q: \n0\n");
    EXPECT_EQ(p.ref(), ref("t^2 + 1"));
  }
}

}  // namespace
}  // namespace tavrin::test
