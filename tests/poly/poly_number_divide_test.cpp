// The remainder and quotient of numbers by the operators' sign rules in
// every mode, the quotient of numbers (modular inverses, errors 22 and 85
// with the "/" token), and the quotient of a polynomial by a number.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// n "which" d on fresh numbers in big-integer mode.
BigRef big_op(const BigRef& n, const BigRef& d, char which, bool posmod) {
  Num a(n), b(d), c;
  mod_or_div(a, b, c, which, posmod);
  EXPECT_TRUE(valid_bigint(c));
  return c.value();
}

std::int32_t word_op(std::int32_t n, std::int32_t d, char which, bool posmod) {
  Num a, b, c;
  a->lint = n;
  b->lint = d;
  mod_or_div(a, b, c, which, posmod);
  return c->lint;
}

// ---- The sign rules ----------------------------------------------------------------------

TEST(ModOrDiv, SignRulesOfTheOperators) {
  NodeBalance balance;
  EXPECT_EQ(big_op(7, -3, '|', false), BigRef(1));
  EXPECT_EQ(big_op(-7, 3, '|', false), BigRef(-1));
  EXPECT_EQ(big_op(-7, 3, '\\', false), BigRef(-2));
  EXPECT_EQ(big_op(-7, -3, '|', false), BigRef(-1));
  EXPECT_EQ(big_op(-7, -3, '\\', false), BigRef(2));
  EXPECT_EQ(big_op(-7, 3, '|', true), BigRef(2));
  EXPECT_EQ(big_op(-7, -3, '|', true), BigRef(2));
  EXPECT_EQ(big_op(7, -3, '|', true), BigRef(1));
  EXPECT_EQ(big_op(6, -3, '|', true), BigRef(0));
  {
    WordMode word;
    EXPECT_EQ(word_op(7, -3, '|', false), 1);
    EXPECT_EQ(word_op(-7, 3, '|', false), -1);
    EXPECT_EQ(word_op(-7, 3, '\\', false), -2);
    EXPECT_EQ(word_op(-7, 3, '|', true), 2);
    EXPECT_EQ(word_op(-7, -3, '|', true), 2);                   // raised by |d| in every mode
    EXPECT_EQ(word_op(INT32_MIN, -1, '\\', false), INT32_MIN);  // wraps, no trap
    EXPECT_EQ(word_op(INT32_MIN, -1, '|', true), 0);
  }
  {
    ModulusScope mod(11);
    EXPECT_EQ(word_op(7, 3, '\\', false), 2);  // residues divide as words
    EXPECT_EQ(word_op(7, 3, '|', true), 1);
  }
  {
    FloatingMode fl;
    Num a, b, c;
    a->flote = -7.0L;
    b->flote = 2.0L;
    mod_or_div(a, b, c, '\\', false);
    EXPECT_EQ(c->flote, -3.5L);
    mod_or_div(a, b, c, '|', true);
    EXPECT_EQ(c->flote, 0.0L);
  }
}

TEST(ModOrDiv, RandomBigIntegersAgainstTheReference) {
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int i = 0; i < test_iterations(400); ++i) {
    const BigRef n = random_big(rng, 6);
    BigRef d = random_big(rng, i % 3 == 0 ? 1 : 4);
    if (d.is_zero()) d = BigRef(-5);
    SCOPED_TRACE(n.to_decimal() + " by " + d.to_decimal());
    BigRef q, r;
    divmod(n, d, q, r);  // truncated; r has n's sign
    ASSERT_EQ(big_op(n, d, '\\', false), q);
    ASSERT_EQ(big_op(n, d, '|', false), r);
    const BigRef pr = big_op(n, d, '|', true);
    ASSERT_GE(pr, BigRef(0));
    ASSERT_LT(pr, d.abs());
    ASSERT_TRUE(((n - pr) % d).is_zero());
    // Results written over an operand.
    Num a(n), b(d);
    mod_or_div(a, b, a, '|', false);
    ASSERT_EQ(a.value(), r);
    Num a2(n), b2(d);
    mod_or_div(a2, b2, b2, '\\', false);
    ASSERT_EQ(b2.value(), q);
  }
}

TEST(ModOrDiv, ZeroDivisorIsErrorTwentyTwoWithTheCurrentToken) {
  ScopedValue<bool> push(errorpush, false);
  bool unwound = false;
  Num a(7), zero(0), c;
  std::string out = output_of([&] { mod_or_div(a, zero, c, '|', false); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_NE(out.find("*** Inappropriate symbol:"), std::string::npos) << out;
  // Inside a nested level the report returns: the result is 1.
  ScopedValue<std::int32_t> nested(levelcount, 2);
  out = output_of([&] { mod_or_div(a, zero, c, '\\', false); }, &unwound);
  EXPECT_FALSE(unwound);
  EXPECT_EQ(c.value(), BigRef(1));
  FloatingMode fl;
  a->flote = 3.0L;
  zero->flote = 0.0L;
  out = output_of([&] { mod_or_div(a, zero, c, '\\', false); }, &unwound);
  EXPECT_EQ(c->flote, std::numeric_limits<long double>::infinity());
  out = output_of([&] { mod_or_div(a, zero, c, '|', false); }, &unwound);
  EXPECT_EQ(c->flote, 0.0L);
}

// ---- quot ----------------------------------------------------------------------------------

TEST(Quot, ModularQuotientsMultiplyBack) {
  std::mt19937_64 rng(test_seed() + 1);
  for (std::int32_t p : {7, 65521, 65537, 2147483629, 256, 65536}) {
    SCOPED_TRACE("modulus " + std::to_string(p));
    ModulusScope mod(p);
    for (int i = 0; i < test_iterations(200); ++i) {
      Num a, b, c, back;
      a->lint = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
      b->lint = 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p - 1));
      quot(a, b, c);
      ASSERT_GE(c->lint, 0);
      ASSERT_LT(c->lint, p);
      int_mult(c, b, back);  // (a / b) * b = a
      ASSERT_EQ(back->lint, a->lint) << a->lint << " / " << b->lint;
    }
  }
  ModulusScope mod(7);
  Num a, b;
  a->lint = 3;
  b->lint = 5;
  quot(a, b, a);  // 3 / 5 = 3 * 3 = 2 mod 7, written over the dividend
  EXPECT_EQ(a->lint, 2);
}

TEST(Quot, TruncatedAndFloatingQuotients) {
  NodeBalance balance;
  Num a(BigRef::from_decimal("-100000000000000000000")), b(7), c;
  quot(a, b, c);
  EXPECT_EQ(c.value(), BigRef::from_decimal("-14285714285714285714"));
  {
    WordMode word;
    Num x, y, z;
    x->lint = -7;
    y->lint = 2;
    quot(x, y, z);
    EXPECT_EQ(z->lint, -3);
  }
  FloatingMode fl;
  Num x, y, z;
  x->flote = 1.0L;
  y->flote = 4.0L;
  quot(x, y, z);
  EXPECT_EQ(z->flote, 0.25L);
}

// simple_quot, the leaf step of num_poly_quot, against the quotient of
// numbers in every mode; modulo p the caller supplies the divisor's inverse.
TEST(Quot, LeafStepOfTheQuotientByANumber) {
  NodeBalance balance;
  {
    Num a(BigRef::from_decimal("864197523086419752307")), b(7), c(100);
    simple_quot(a, b, 0);  // 7 * 123456789012345678901
    EXPECT_EQ(a.value(), BigRef::from_decimal("123456789012345678901"));
    EXPECT_NE(output_of([&] { simple_quot(c, b, 0); }).find("non-0 rem, num_poly_quot"),
              std::string::npos);
    EXPECT_EQ(c.value(), BigRef(14));  // the truncated quotient stays
  }
  ModulusScope mod(65521);
  for (std::int32_t k = 1; k < 65521; k += 997) {
    Num a, b, one, inverse, expected;
    a->lint = 40000;
    b->lint = k;
    one->lint = 1;
    quot(one, b, inverse);
    quot(a, b, expected);
    simple_quot(a, b, inverse->lint);
    ASSERT_EQ(a->lint, expected->lint) << k;
  }
  FloatingMode fl;
  Num x, y;
  x->flote = 1.0L;
  y->flote = 4.0L;
  simple_quot(x, y, 0);
  EXPECT_EQ(x->flote, 0.25L);
}

TEST(Quot, ErrorsCarryTheSlashToken) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  bool unwound = false;
  {
    Num a(5), zero(0), c;
    const std::string out = output_of([&] { quot(a, zero, c); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_NE(out.find("*** Inappropriate symbol: /\nError number 22."), std::string::npos) << out;
  }
  {
    ModulusScope mod(15, false);
    Num a, b, c;
    a->lint = 4;
    b->lint = 6;  // gcd(15, 6) = 3: no inverse, error 85
    const std::string out = output_of([&] { quot(a, b, c); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_NE(out.find("*** Inappropriate symbol: /\nError number 85."), std::string::npos) << out;
  }
  {
    ModulusScope mod(256);
    Num a, zero, c;
    a->lint = 4;
    zero->lint = 0;
    output_of([&] { quot(a, zero, c); }, &unwound);
    EXPECT_TRUE(unwound);
  }
  // In a nested level the reports return with the dividend (1 for big
  // integers) as the quotient.
  ScopedValue<std::int32_t> nested(levelcount, 2);
  Num a(5), zero(0), c(9);
  output_of([&] { quot(a, zero, c); }, &unwound);
  EXPECT_EQ(c.value(), BigRef(1));
  WordMode word;
  a->lint = 5;
  zero->lint = 0;
  output_of([&] { quot(a, zero, c); }, &unwound);
  EXPECT_EQ(c->lint, 5);
}

// ---- poly_quot --------------------------------------------------------------------------------

class PolyQuotTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

TEST_F(PolyQuotTest, DividesEveryCoefficient) {
  NodeBalance balance;
  Poly n("6*x + 4"), two("2"), one("1"), r;
  poly_quot(n, two, r.cell(), -31);
  EXPECT_TRUE(valid_poly(r));
  EXPECT_EQ(r.ref(), ref("3*x + 2"));
  poly_quot(n, one, r.cell(), -31);
  EXPECT_TRUE(poly_equal(r, n));
  EXPECT_NE(r.get(), n.get());
  Poly m("12*x^2*y^3 - 8*y*z + 4*x - 20"), four("-4");
  poly_quot(m, four, m.cell(), 5);  // over its own cell
  EXPECT_TRUE(valid_poly(m));
  EXPECT_EQ(m.ref(), ref("-3*x^2*y^3 + 2*y*z - x + 5"));
  Poly c("-9"), d("2");
  poly_quot(c, d, r.cell(), 0);  // a constant: truncated, -4
  EXPECT_EQ(r.ref(), ref("-4"));
}

TEST_F(PolyQuotTest, ModularAndFloatingQuotientsMultiplyBack) {
  std::mt19937_64 rng(test_seed() + 2);
  for_each_ring({Ring::mod7, Ring::mod_big, Ring::gf256, Ring::floating}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(40); ++i) {
      RefPoly a = in_ring(ring, random_refpoly(rng, 3, 10, 4, 1));
      BigRef cv = ring == Ring::floating ? BigRef(1 << (rng() % 6))
                                         : BigRef(1 + static_cast<std::int64_t>(rng() % 6));
      if (ring == Ring::floating && rng() % 2 == 0) cv = -cv;
      Poly n(a), c(RefPoly::constant(3, cv)), q, back;
      poly_quot(n, c, q.cell(), -31);
      ASSERT_TRUE(valid_poly(q));
      poly_mult(q, c, back.cell(), vars.level(1));
      ASSERT_EQ(back.ref(), n.ref()) << show_poly(n) << " / " << show_poly(c);
    }
  });
}

TEST_F(PolyQuotTest, ReportsANonConstantDivisorAndAZeroNode) {
  NodeBalance balance;
  {
    Poly n("x + 3"), m("y"), r;
    bool unwound = false;
    const std::string out = output_of([&] { poly_quot(n, m, r.cell(), 17); }, &unwound);
    EXPECT_EQ(out.rfind("code 17\n*** Tavrin error. divisor not number in poly quot.\n", 0), 0u)
        << out;
    EXPECT_NE(out.find("*** New command level.\n\n"), std::string::npos) << out;
    EXPECT_EQ(r.ref(), ref("x + 3"));
  }
  {
    WordMode word;
    Poly n("x + 3"), m("y"), r;
    bool unwound = false;
    const std::string out = output_of([&] { poly_quot(n, m, r.cell(), 17); }, &unwound);
    EXPECT_NE(out.find("  modularmode\n"), std::string::npos) << out;
  }
  // The constant term 1 divides to 0: reported with the code and dropped;
  // the coefficient 1 of x divides to 0 and the term goes silently.
  Poly n("4*x^2*y + x*y + 2*x + 1"), two("2"), r;
  bool unwound = false;
  const std::string out = output_of([&] { poly_quot(n, two, r.cell(), 3); }, &unwound);
  EXPECT_EQ(out.rfind("code 3\n*** Tavrin error. zero node t.\n", 0), 0u) << out;
  EXPECT_TRUE(valid_poly(r));
  EXPECT_EQ(r.ref(), ref("2*x^2*y + x"));
}

}  // namespace
}  // namespace tavrin::test
