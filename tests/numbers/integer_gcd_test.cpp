// Integer GCDs checked against Euclid on the reference type, against
// std::gcd for words, and by planted common factors.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using L = std::vector<std::int32_t>;
const BigRef B28 = BigRef::pow2(28);

// Forgets limbs that a cofactor shares with an operand, so that only the
// operand gives them back.
void drop_shared(Num& q) {
  q->head = q->tail = nullptr;
  q->size = 0;
}

// extgcd(a, b) with the known GCD g: n = qn*g and m = qm*g (so the
// cofactors are coprime), the gcd1 flag and its sharing, operands unchanged.
void check_extgcd(const BigRef& a, const BigRef& b, const BigRef& g) {
  SCOPED_TRACE("n = " + a.to_decimal() + ", m = " + b.to_decimal());
  Num n(a), m(b), gcd(11), qn, qm;
  bool gcd1 = false;
  extgcd(n, m, gcd, qn, qm, &gcd1);
  ASSERT_EQ(n.value(), a);
  ASSERT_EQ(m.value(), b);
  ASSERT_TRUE(valid_bigint(gcd));
  ASSERT_EQ(gcd.value(), g);
  ASSERT_EQ(gcd1, g == BigRef(1));
  if (gcd1) {
    ASSERT_EQ(qn->head, n->head);
    ASSERT_EQ(qm->head, m->head);
    drop_shared(qn);
    drop_shared(qm);
    return;
  }
  ASSERT_TRUE(valid_bigint(qn));
  ASSERT_TRUE(valid_bigint(qm));
  if (g.is_zero()) {
    ASSERT_EQ(qn.value(), BigRef(0));
    ASSERT_EQ(qm.value(), BigRef(0));
    return;
  }
  ASSERT_EQ(qn.value() * g, a);
  ASSERT_EQ(qm.value() * g, b);
}

// The same against Euclid on the reference type.
void check_extgcd(const BigRef& a, const BigRef& b) { check_extgcd(a, b, BigRef::gcd(a, b)); }

// binary_gcd and the Euclidean gcd with the known GCD g, operands kept.
void check_gcds(const BigRef& a, const BigRef& b, const BigRef& g) {
  SCOPED_TRACE("n = " + a.to_decimal() + ", m = " + b.to_decimal());
  Num n(a), m(b), ans(BigRef::pow2(77));
  binary_gcd(n, m, ans);
  ASSERT_TRUE(valid_bigint(ans));
  ASSERT_EQ(ans.value(), g);
  ASSERT_EQ(n.value(), a);
  ASSERT_EQ(m.value(), b);
  Num e;
  gcd(n, m, e);
  ASSERT_TRUE(valid_bigint(e));
  ASSERT_EQ(e.value(), g);
}

void check_gcds(const BigRef& a, const BigRef& b) { check_gcds(a, b, BigRef::gcd(a, b)); }

// A pair of coprime values of about `limbs` and `other` limbs:
// (x, x*k + 1) or (x*k - 1, x), any signs.
void coprime_pair(std::mt19937_64& rng, int limbs, int other, BigRef& a, BigRef& b) {
  const BigRef x = random_big_exact(rng, other).abs();
  const BigRef k = random_big_exact(rng, limbs - other + 1).abs();
  a = x * k + (rng() % 2 ? BigRef(1) : BigRef(-1));
  b = x;
  if (rng() % 2) a = -a;
  if (rng() % 2) b = -b;
  if (rng() % 2) std::swap(a, b);
}

BigRef fibonacci(int k) {
  BigRef a(0), b(1);
  for (int i = 0; i < k; ++i) {
    const BigRef t = a + b;
    a = b;
    b = t;
  }
  return a;
}

TEST(SmallGcd, KnownValues) {
  EXPECT_EQ(smallgcd(12, 18), 6);
  EXPECT_EQ(smallgcd(1 << 20, 1 << 12), 1 << 12);
  EXPECT_EQ(smallgcd(7, 7), 7);
  EXPECT_EQ(smallgcd(1, 268435455), 1);
  EXPECT_EQ(smallgcd(0, 5), 5);
  EXPECT_EQ(smallgcd(5, 0), 5);
  EXPECT_EQ(smallgcd(0, 0), 0);
  EXPECT_EQ(smallgcd(-12, 18), 6);
  EXPECT_EQ(smallgcd(2147483647, 2147483646), 1);
  EXPECT_EQ(smallgcd(-2147483647 - 1, 1 << 30), 1 << 30);
}

TEST(SmallGcd, RandomAgainstStd) {
  std::mt19937_64 rng(test_seed() + 30);
  for (int i = 0; i < test_iterations(20000); ++i) {
    // A planted common factor c < 2^17, cofactors below 2^14: no overflow.
    const std::int32_t c = static_cast<std::int32_t>(1 + rng() % 1000) << (rng() % 8);
    std::int32_t u = static_cast<std::int32_t>(rng() % 16000) * c;
    std::int32_t v = -static_cast<std::int32_t>(rng() % 16000) * c;
    if (i % 2) {
      u = static_cast<std::int32_t>(rng() % 2147483647);
      v = static_cast<std::int32_t>(rng() % 2147483647);
    }
    ASSERT_EQ(smallgcd(u, v), std::gcd(u, v)) << u << ", " << v;
  }
}

TEST(GcdHelpers, CountupPosBiggerShiftRight) {
  NodeBalance balance;
  EXPECT_EQ(countup(0), 28);
  EXPECT_EQ(countup(1), 0);
  EXPECT_EQ(countup(96), 5);
  EXPECT_EQ(countup(1 << 27), 27);
  std::mt19937_64 rng(test_seed() + 31);
  for (int i = 0; i < test_iterations(500); ++i) {
    const BigRef a = random_big(rng, 12).abs();
    const BigRef b = i % 7 == 0 ? a : random_big(rng, 12).abs();
    Num x(a), y(b);
    ASSERT_EQ(pos_bigger(x, y), a > b);
    const auto s = static_cast<std::int32_t>(rng() % 400);
    shift_right(x, s);
    ASSERT_TRUE(valid_bigint(x));
    ASSERT_EQ(x.value(), a / BigRef::pow2(static_cast<unsigned>(s))) << s;
  }
}

TEST(BinaryGcd, KnownValues) {
  NodeBalance balance;
  check_gcds(-BigRef::pow2(60), BigRef(3) * BigRef::pow2(40));
  {
    // ans = n: n holds the GCD, m is unchanged.
    const BigRef a = BigRef(6) * BigRef::pow2(100);
    const BigRef b = -BigRef(10) * BigRef::pow2(70) * B28;
    Num n(a), m(b);
    binary_gcd(n, m, n);
    EXPECT_EQ(n.value(), BigRef(2) * BigRef::pow2(98));
    EXPECT_EQ(m.value(), b);
    binary_gcd(n, m, m);  // and ans = m
    EXPECT_EQ(m.value(), BigRef(2) * BigRef::pow2(98));
  }
  // Zero operands end: gcd(0, v) = |v|, gcd(0, 0) = 0.
  check_gcds(BigRef(0), -BigRef::pow2(90));
  check_gcds(BigRef::from_decimal("-77777777777777777777"), BigRef(0));
  check_gcds(BigRef(0), BigRef(0));
  check_gcds(BigRef(0), BigRef(-5));
}

TEST(BinaryGcd, PlantedCommonFactors) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 32);
  for (int i = 0; i < test_iterations(300); ++i) {
    const BigRef c = random_big(rng, 10);
    const BigRef a = random_big(rng, 15) << static_cast<unsigned>(rng() % 70);
    const BigRef b = random_big(rng, 15) << static_cast<unsigned>(rng() % 70);
    check_gcds(a * c, b * c);
  }
}

TEST(BinaryGcd, CoprimeCofactorsTimesAKnownFactor) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 37);
  // gcd(a*c*2^e, b*c*2^e) = |c| 2^e for coprime a and b.
  for (int i = 0; i < test_iterations(300); ++i) {
    const int limbs = 2 + static_cast<int>(rng() % 60);
    BigRef a, b;
    coprime_pair(rng, limbs, 1 + static_cast<int>(rng() % static_cast<unsigned>(limbs)), a, b);
    BigRef c = random_big(rng, 30);
    if (c.is_zero()) c = BigRef(1);
    const unsigned e = static_cast<unsigned>(rng() % 100);
    check_gcds(a * c << e, b * c << e, c.abs() << e);
  }
}

TEST(BinaryGcd, AroundTheDoubleWordCutoff) {
  // Up to four limbs the GCD runs on 128-bit words, from five on on digits:
  // planted factors and limb-boundary values on both sides, any signs.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 41);
  for (int i = 0; i < test_iterations(400); ++i) {
    const int limbs = 1 + static_cast<int>(rng() % 6);
    const BigRef c = random_big_exact(rng, 1 + static_cast<int>(rng() % 2));
    BigRef a = random_big_exact(rng, limbs),
           b = random_big_exact(rng, 1 + static_cast<int>(rng() % 6));
    if (i % 4 == 0) a = BigRef::pow2(28 * static_cast<unsigned>(limbs)) - BigRef(1);
    if (i % 5 == 0) b = a;
    check_gcds(a, b);
    check_gcds(a * c, b * c);
  }
  check_gcds(BigRef::pow2(111), BigRef::pow2(111) * BigRef(3), BigRef::pow2(111));
}

TEST(BinaryGcd, RandomAndLopsided) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 33);
  for (int i = 0; i < test_iterations(200); ++i) {
    check_gcds(random_big(rng, 20), random_big(rng, 20));
    check_gcds(random_big(rng, 25), random_big(rng, 2));
    // Close values: subtraction steps before any division.
    const BigRef a = random_big(rng, 20);
    check_gcds(a, a + random_big(rng, 15));
  }
  check_gcds(fibonacci(1500), fibonacci(1501), BigRef(1));
  check_gcds(fibonacci(1500) * BigRef(5), fibonacci(1501) * BigRef(-5), BigRef(5));
  // F(1501) is odd, so only 2^33 is common.
  check_gcds(fibonacci(1500) << 40, -fibonacci(1501) << 33, BigRef::pow2(33));
}

TEST(ExtGcd, KnownValues) {
  NodeBalance balance;
  {
    const BigRef bb = B28 * B28;
    Num n(BigRef(6) * bb), m(BigRef(-4) * bb), g, qn, qm;
    bool gcd1 = true;
    extgcd(n, m, g, qn, qm, &gcd1);
    EXPECT_EQ(g.value(), BigRef(2) * bb);
    EXPECT_EQ(limbs_of(qn), (L{3}));
    EXPECT_EQ(limbs_of(qm), (L{-2}));
    EXPECT_FALSE(gcd1);
  }
  {
    // Coprime: the cofactors are record copies of the operands.
    Num n(BigRef::from_decimal("1000000000000000000000007")), m(BigRef::pow2(95)), g, qn, qm;
    n->lint = 42;
    bool gcd1 = false;
    extgcd(n, m, g, qn, qm, &gcd1);
    EXPECT_TRUE(gcd1);
    EXPECT_EQ(limbs_of(g), (L{1}));
    EXPECT_EQ(qn->head, n->head);
    EXPECT_EQ(qn->size, n->size);
    EXPECT_EQ(qn->lint, 42);
    EXPECT_EQ(qm->tail, m->tail);
    drop_shared(qn);
    drop_shared(qm);
  }
  check_extgcd(BigRef(12), BigRef(-18));
  check_extgcd(BigRef(-7), BigRef(-7));
  check_extgcd(BigRef(1), BigRef::pow2(200));
}

TEST(ExtGcd, ZeroOperands) {
  NodeBalance balance;
  check_extgcd(BigRef(0), BigRef(0));
  check_extgcd(BigRef(0), BigRef(-1));
  check_extgcd(BigRef(0), BigRef(-12));
  check_extgcd(BigRef::pow2(80) * BigRef(-3), BigRef(0));
  // Zero against a larger value: qn = 0 and qm = the sign of m.
  Num n(0), m(BigRef(-9) * BigRef::pow2(40)), g, qn, qm;
  bool gcd1 = true;
  extgcd(n, m, g, qn, qm, &gcd1);
  EXPECT_FALSE(gcd1);
  EXPECT_EQ(limbs_of(qn), (L{0}));
  EXPECT_EQ(limbs_of(qm), (L{-1}));
}

TEST(ExtGcd, FibonacciNumbers) {
  NodeBalance balance;
  // Euclid's worst case: mostly subtraction steps, and long enough that the
  // quotient list is dropped part way. Consecutive Fibonacci numbers are
  // coprime.
  for (int k : {40, 300, 2000}) {
    const BigRef a = fibonacci(k);
    const BigRef b = fibonacci(k + 1);
    check_extgcd(a, b, BigRef(1));
    check_extgcd(-b, a, BigRef(1));
    check_extgcd(a * BigRef(3), b * BigRef(3), BigRef(3));
    check_extgcd(b * BigRef::pow2(100), -a * BigRef::pow2(100), BigRef::pow2(100));
  }
}

TEST(ExtGcd, FirstSteps) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 34);
  for (int i = 0; i < test_iterations(100); ++i) {
    // Same length and top limb (u below v: the first step subtracts u from
    // v), close tops (u - v first), and far apart tops.
    const BigRef low1 = random_big_exact(rng, 6).abs();
    const BigRef low2 = random_big_exact(rng, 6).abs();
    const BigRef top = BigRef(static_cast<std::int64_t>(1 + rng() % 268435455)) << (28 * 6);
    const BigRef c = random_big(rng, 3);
    check_extgcd((top + low1) * c, (top + low2) * c);
    check_extgcd((top + low1) * c, (top * BigRef(2) / BigRef(3) + low2) * c);
    check_extgcd(top * c + low1, BigRef(2) * c);
    // A common factor and equal top limbs: n < m starts with m - n, n > m
    // with n - m, n = m ends at once.
    const BigRef g = BigRef(static_cast<std::int64_t>(2 + rng() % 1000));
    const BigRef x = top + low1;
    const BigRef delta = random_big(rng, 2).abs() + BigRef(1);
    check_extgcd(g * x, g * (x + delta));
    check_extgcd(-g * (x + delta), g * x);
    check_extgcd(g * x, -g * x);
  }
}

TEST(ExtGcd, PlantedCommonFactors) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 35);
  for (int i = 0; i < test_iterations(300); ++i) {
    // Large GCDs keep the quotient list to the end; small GCDs of long
    // operands drop it and divide.
    const int glimbs = 1 + static_cast<int>(rng() % 20);
    const BigRef c = random_big_exact(rng, glimbs);
    if (i % 2 == 0) check_extgcd(random_big(rng, 12) * c, random_big(rng, 12) * c);
    BigRef a, b;
    const int limbs = 2 + static_cast<int>(rng() % 50);
    coprime_pair(rng, limbs, 1 + static_cast<int>(rng() % static_cast<unsigned>(limbs)), a, b);
    check_extgcd(a * c, b * c, c.abs());
  }
}

TEST(ExtGcd, VeryDifferentLengths) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 36);
  for (int i = 0; i < test_iterations(100); ++i) {
    BigRef c = random_big(rng, 2);
    if (c.is_zero()) c = BigRef(-7);
    BigRef a, b;
    coprime_pair(rng, 60, 2, a, b);
    check_extgcd(a * c, b * c, c.abs());
    coprime_pair(rng, 50, 1, a, b);
    check_extgcd(a * c, b * c, c.abs());
    check_extgcd(random_big_exact(rng, 40) * c, random_big_exact(rng, 1) * c);
  }
}

TEST(ExtGcd, EvenGcdsOfWordOperands) {
  // The cofactors are divided out on words, the GCD's factors 2 first,
  // which may empty its top word: coprime cofactors of 1 .. 40 words (and
  // a pair of 1,000) times even GCDs.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 38);
  for (int i = 0; i < test_iterations(150); ++i) {
    const BigRef g = random_even_factor(rng, i);
    const int limbs = i == 0 ? 2286 : 1 + static_cast<int>(rng() % 92);
    BigRef a, b;
    coprime_pair(rng, limbs, 1 + static_cast<int>(rng() % static_cast<unsigned>(limbs)), a, b);
    check_extgcd(a * g, b * g, g);
  }
}

TEST(GcdNum, ValuesInEveryMode) {
  NodeBalance balance;
  auto cell = [](const BigRef& v) { return nodes::new_number_value(from_ref(v)); };
  {
    quoly n = cell(BigRef(0));
    quoly m = cell(BigRef(-5));
    quoly m_cell = m;
    gcdnum(&n, &m);
    EXPECT_EQ(m, nullptr);
    EXPECT_EQ(n, m_cell);  // m's cell moved to n
    EXPECT_EQ(to_ref(n->ncoef), BigRef(5));
    free_quoly(&n);
  }
  {
    quoly n = cell(BigRef(-12) * BigRef::pow2(50));
    quoly m = cell(BigRef(0));
    gcdnum(&n, &m);
    EXPECT_EQ(to_ref(n->ncoef), BigRef(12) * BigRef::pow2(50));
    EXPECT_EQ(to_ref(m->ncoef), BigRef(0));
    free_quoly(&n);
    free_quoly(&m);
  }
  {
    quoly n = cell(BigRef(-18) * BigRef::pow2(60));
    quoly m = cell(BigRef(30) * BigRef::pow2(35));
    gcdnum(&n, &m);
    EXPECT_EQ(to_ref(n->ncoef), BigRef(6) * BigRef::pow2(35));
    EXPECT_EQ(to_ref(m->ncoef), BigRef(30) * BigRef::pow2(35));
    free_quoly(&n);
    free_quoly(&m);
  }
  {
    quoly n = cell(BigRef(0));
    quoly m = cell(BigRef(-5));
    {
      ArithModeGuard g;
      flotemode = true;
      gcdnum(&n, &m);
      EXPECT_EQ(n->ncoef->flote, 1.0L);
      lintmode = modularmode = true;
      flotemode = false;
      gcdnum(&n, &m);
      EXPECT_EQ(n->ncoef->lint, 1);
    }
    EXPECT_EQ(to_ref(m->ncoef), BigRef(-5));
    free_quoly(&n);
    free_quoly(&m);
  }
}

}  // namespace
}  // namespace tavrin::test
