// Plain-value integers of the bounded normal forms against the test's own
// big integers: sums, products, floor division, gcd with cofactors,
// inverses and the round trip through Tavrin's numbers, on values biased to
// zero, units, the 2^28 digit boundary and long magnitudes; the word prime
// test against trial division.
#include "matrix/zmatrix.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

ZInt zint_of(const BigRef& v) {
  imptr n = from_ref(v);
  const ZInt z = ZInt::from_number(n);
  free_imag(&n);
  return z;
}

BigRef random_value(std::mt19937_64& rng) {
  switch (rng() % 6) {
    case 0: return BigRef(std::int64_t(rng() % 3) - 1);
    case 1: return BigRef::pow2(28 * unsigned(1 + rng() % 3)) - BigRef(std::int64_t(rng() % 2));
    default: {
      BigRef v = 0;
      for (int k = int(rng() % 8); k >= 0; --k) v = (v << 32) + BigRef(std::int64_t(rng() >> 32));
      return rng() % 2 ? -v : v;
    }
  }
}

using ZIntTest = MatrixTest;

TEST_F(ZIntTest, AgreesWithReference) {
  std::mt19937_64 rng(2828);
  for (int round = 0; round < 600; ++round) {
    const BigRef a = random_value(rng), b = random_value(rng);
    const ZInt x = zint_of(a), y = zint_of(b);
    ASSERT_EQ(ref_of(x), a);
    EXPECT_EQ(ref_of(x + y), a + b);
    EXPECT_EQ(ref_of(x - y), a - b);
    EXPECT_EQ(ref_of(x * y), a * b);
    EXPECT_EQ(compare(x, y) < 0, a < b);
    if (!b.is_zero()) {
      ZInt q, r;
      ZInt::divmod(x, y, &q, &r);
      EXPECT_EQ(ref_of(q) * b + ref_of(r), a);
      EXPECT_TRUE(!ref_of(r).negative() && ref_of(r) < b.abs()) << a << " " << b;
      ZInt e;
      EXPECT_TRUE(ZInt::divides(x * y, y, &e) && e == x);
    }
    ZInt s, t;
    const ZInt g = ZInt::xgcd(x, y, &s, &t);
    EXPECT_EQ(ref_of(g), BigRef::gcd(a, b));
    EXPECT_EQ(ref_of(ZInt::gcd(x, y)), BigRef::gcd(a, b));
    EXPECT_EQ(ref_of(s) * a + ref_of(t) * b, ref_of(g));
    if (b.abs() > BigRef(1)) {
      ZInt inv;
      const ZInt m = y.abs();
      if (ZInt::inverse_mod(x, m, &inv))
        EXPECT_EQ(ref_of((inv * x).mod(m)), BigRef(1));
      else
        EXPECT_NE(BigRef::gcd(a, b), BigRef(1));
    }
    ZInt small = 0;
    small.add_mul_small(x, 1 << 27);
    EXPECT_EQ(ref_of(small), a * BigRef(1 << 27));
    // In place, against the values: sums that cross zero or cancel, a
    // multiplier of either sign, and the operand itself.
    ZInt acc = x;
    acc += y;
    EXPECT_EQ(ref_of(acc), a + b);
    acc -= x;
    EXPECT_EQ(ref_of(acc), b);
    acc -= y;
    EXPECT_TRUE(acc.is_zero());
    const std::int32_t m = std::int32_t(rng() % (1 << 27)) - (1 << 26);
    acc = y;
    acc.add_mul_small(x, m);
    EXPECT_EQ(ref_of(acc), b + a * BigRef(m)) << a << " " << b << " " << m;
    acc.add_mul_small(acc, -1);
    EXPECT_TRUE(acc.is_zero());
    acc = x;
    acc += acc;
    EXPECT_EQ(ref_of(acc), a + a);
    acc -= acc;
    EXPECT_TRUE(acc.is_zero());
  }
}

TEST_F(ZIntTest, ProductCheckAgreesWithProducts) {
  // product_equals against the schoolbook product: short and long entries
  // on the left (the digit sums and the exact fallback), signs, zeros, and
  // a changed entry caught.
  std::mt19937_64 rng(2829);
  for (int round = 0; round < 40; ++round) {
    const std::int32_t r = 1 + std::int32_t(rng() % 6), k = 1 + std::int32_t(rng() % 70),
                       c = 1 + std::int32_t(rng() % 6);
    ZMatrix a(r, k), b(k, c);
    for (ZInt& x : a.cell)
      x = round % 3 == 0 ? zint_of(random_value(rng))
                         : ZInt(std::int64_t(rng() % (1u << 27)) - (1 << 26));
    for (ZInt& x : b.cell) x = zint_of(random_value(rng));
    ZMatrix p = a * b;
    EXPECT_TRUE(product_equals(a, b, p)) << "round " << round;
    p.at(std::int32_t(rng() % std::uint64_t(r)), std::int32_t(rng() % std::uint64_t(c))) += ZInt(1);
    EXPECT_FALSE(product_equals(a, b, p)) << "round " << round;
  }
}

}  // namespace
}  // namespace tavrin::test
