// Long division of big integers, checked against the reference type and
// against the identity n = quot * d + rem.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using L = std::vector<std::int32_t>;
const BigRef B28 = BigRef::pow2(28);

// The results divide promises: Q = |n| div |d|, R = |n| mod |d|, both
// negated when exactly one operand is negative.
void expected(const BigRef& n, const BigRef& d, BigRef& q, BigRef& r) {
  q = n.abs() / d.abs();
  r = n.abs() % d.abs();
  if (n.negative() != d.negative()) {
    q = -q;
    r = -r;
  }
}

void check_divide(const BigRef& n, const BigRef& d) {
  SCOPED_TRACE("n = " + n.to_decimal() + ", d = " + d.to_decimal());
  BigRef q, r;
  expected(n, d, q, r);
  Num x(n), y(d), quot(99), rem(BigRef::pow2(100));
  divide(x, y, quot, rem);
  ASSERT_TRUE(valid_bigint(quot));
  ASSERT_TRUE(valid_bigint(rem));
  ASSERT_EQ(quot.value(), q);
  ASSERT_EQ(rem.value(), r);
  ASSERT_EQ(x.value(), n);
  ASSERT_EQ(y.value(), d);
  // n = quot*d + rem for d > 0, n = quot*d - rem for d < 0.
  ASSERT_EQ(d.negative() ? q * d - r : q * d + r, n);
}

TEST(Divide, SignRule) {
  NodeBalance balance;
  const struct {
    int n, d, q, r;
  } cases[] = {{7, -2, -3, -1}, {-7, -2, 3, 1}, {-7, 2, -3, -1}, {7, 2, 3, 1},
               {6, -3, -2, 0},  {-1, 5, 0, -1}, {0, -4, 0, 0}};
  for (const auto& c : cases) {
    Num n(c.n), d(c.d), q, r;
    divide(n, d, q, r);
    EXPECT_EQ(limbs_of(q), (L{c.q})) << c.n << " / " << c.d;
    EXPECT_EQ(limbs_of(r), (L{c.r})) << c.n << " / " << c.d;
  }
  // The same rule with many limbs on each side.
  const BigRef big = BigRef::from_decimal("123456789012345678901234567890123456789");
  const BigRef div = BigRef::from_decimal("98765432109876543210987");
  for (int sn : {1, -1})
    for (int sd : {1, -1}) check_divide(sn < 0 ? -big : big, sd < 0 ? -div : div);
}

TEST(Divide, ByZeroWritesNothing) {
  NodeBalance balance;
  Num n(BigRef::from_decimal("-1234567890123456789")), zero(0), q(17), r(BigRef::pow2(60));
  numptr qh = q->head;
  numptr rh = r->head;
  divide(n, zero, q, r);
  pos_divide(n, zero, q, r);
  pos_divide_noq(n->head, zero->head, zero->tail, n->size, zero->size, r);
  EXPECT_EQ(q->head, qh);
  EXPECT_EQ(r->head, rh);
  EXPECT_EQ(q.value(), BigRef(17));
  EXPECT_EQ(r.value(), BigRef::pow2(60));
}

TEST(Divide, ShortDividends) {
  NodeBalance balance;
  Num zero(0), d(BigRef::from_decimal("-99999999999999999999")), q(5), r(6);
  divide(zero, d, q, r);
  EXPECT_EQ(limbs_of(q), (L{0}));
  EXPECT_EQ(limbs_of(r), (L{0}));
  // Fewer limbs than the divisor: quotient 0, the remainder a fresh copy.
  Num n(BigRef::from_decimal("12345678901234567")), big(BigRef::pow2(200));
  pos_divide(n, big, q, r);
  EXPECT_EQ(limbs_of(q), (L{0}));
  EXPECT_EQ(r.value(), n.value());
  EXPECT_NE(r->head, n->head);
}

TEST(Divide, KnownLimbPatterns) {
  NodeBalance balance;
  {
    // 2 B^4 / 2 = B^4: four zero limbs pass while the remainder is 0.
    Num n(BigRef(2) * BigRef::pow2(28 * 4)), two(2), q, r;
    divide(n, two, q, r);
    EXPECT_EQ(limbs_of(q), (L{1, 0, 0, 0, 0}));
    EXPECT_EQ(limbs_of(r), (L{0}));
  }
  {
    // Top limbs equal to the divisor: first digit 1, remainder the rest.
    const BigRef d = BigRef(5) * B28 * B28 + BigRef(7) * B28 + BigRef(9);
    Num n(d * B28 * B28 + BigRef(3)), dd(d), q, r;
    divide(n, dd, q, r);
    EXPECT_EQ(limbs_of(q), (L{1, 0, 0}));
    EXPECT_EQ(limbs_of(r), (L{3}));
  }
  {
    // After a zero remainder the dividend runs out before the window
    // reaches the divisor's length: zero digits, the window is the remainder.
    const BigRef d = BigRef::pow2(28 * 3) + BigRef(1);
    Num n(d * B28 * B28 + BigRef(5)), dd(d), q, r;
    divide(n, dd, q, r);
    EXPECT_EQ(limbs_of(q), (L{1, 0, 0}));
    EXPECT_EQ(limbs_of(r), (L{5}));
  }
}

TEST(Divide, OneLimbDivisors) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 20);
  // Around 2^18, where the digit step changes method, and at the ends.
  const std::int64_t divisors[] = {
      1, 2, 3, 15, 16, 262143, 262144, 262145, 1000003, 268435455, 268435454, 134217728, 134217729};
  for (std::int64_t dv : divisors) {
    for (int i = 0; i < test_iterations(40); ++i) {
      const BigRef n = random_big(rng, 60);
      check_divide(n, BigRef(dv));
      check_divide(n, BigRef(-dv));
    }
    // Every digit at its largest: remainders d - 1 at every step.
    check_divide(BigRef::pow2(28 * 20) - BigRef(1), BigRef(dv));
  }
}

TEST(Divide, DivisorsWithSmallTopLimb) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 21);
  for (std::int32_t top = 1; top <= 17; ++top) {
    for (int i = 0; i < test_iterations(20); ++i) {
      const int k = 2 + static_cast<int>(rng() % 12);
      // top, then limbs that are mostly 2^28 - 1 or 0 (estimates off by one).
      BigRef d = BigRef(top);
      for (int j = 1; j < k; ++j)
        d = d * B28 + BigRef(rng() % 2 ? 268435455 : static_cast<std::int64_t>(rng() % 3));
      const BigRef q = random_big(rng, 30).abs();
      const BigRef r = BigRef(static_cast<std::int64_t>(rng() % 1000));
      check_divide(q * d + r, d);
      check_divide(q * d + d - BigRef(1), d);
      check_divide(random_big(rng, 60), rng() % 2 ? d : -d);
    }
  }
}

TEST(Divide, PlantedQuotientsAndRemainders) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 22);
  for (int i = 0; i < test_iterations(1500); ++i) {
    const BigRef d = random_big(rng, 30);
    if (d.is_zero()) continue;
    const BigRef q = random_big(rng, 30);
    // A remainder of the same sign as q*d, below |d|: d - 1, 0 or random.
    BigRef r = d.abs() - BigRef(1);
    if (i % 3 == 1) r = BigRef(0);
    if (i % 3 == 2) r = random_big(rng, 30).abs() % d.abs();
    const BigRef n = q * d + (q.negative() != d.negative() ? -r : r);
    check_divide(n, d);
  }
}

TEST(Divide, RandomAgainstReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 23);
  for (int i = 0; i < test_iterations(1500); ++i) {
    const BigRef n = random_big(rng, 60);
    const BigRef d = random_big(rng, 1 + static_cast<int>(rng() % 60));
    if (d.is_zero()) continue;
    check_divide(n, d);
  }
}

TEST(Divide, ResultsMayBeOperands) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 24);
  for (int i = 0; i < test_iterations(200); ++i) {
    const BigRef a = random_big(rng, 40);
    BigRef b = random_big(rng, 20);
    if (b.is_zero()) b = BigRef(3);
    SCOPED_TRACE("a = " + a.to_decimal() + ", b = " + b.to_decimal());
    BigRef q, r;
    expected(a, b, q, r);
    {
      Num n(a), d(b), rem;
      divide(n, d, n, rem);  // the quotient replaces the dividend
      ASSERT_EQ(n.value(), q);
      ASSERT_EQ(rem.value(), r);
    }
    {
      Num n(a), d(b), quot;
      divide(n, d, quot, n);  // the remainder replaces the dividend
      ASSERT_EQ(quot.value(), q);
      ASSERT_EQ(n.value(), r);
      ASSERT_TRUE(valid_bigint(n));
    }
    {
      Num n(a), d(b), quot;
      divide(n, d, quot, d);  // the remainder replaces the divisor
      ASSERT_EQ(quot.value(), q);
      ASSERT_EQ(d.value(), r);
    }
    {
      Num n(a), d(b);
      divide(n, d, d, n);  // both results over both operands
      ASSERT_EQ(d.value(), q);
      ASSERT_EQ(n.value(), r);
    }
    {
      Num n(a), quot, rem;
      divide(n, n, quot, rem);  // n / n
      if (!a.is_zero()) {
        ASSERT_EQ(quot.value(), BigRef(1));
        ASSERT_EQ(rem.value(), BigRef(0));
      }
    }
    {
      Num n(a), d(b), both;
      divide(n, d, both, both);  // one record for both: it ends with rem
      ASSERT_EQ(both.value(), r);
    }
  }
}

TEST(Divide, LongOperands) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 25);
  // Beyond the reference's comfortable range: check n = q*d + r, 0 <= r < d.
  for (int rep = 0; rep < test_iterations(3); ++rep) {
    for (int dl : {1, 2, 150, 700}) {
      const BigRef n = random_big_exact(rng, 1500).abs();
      const BigRef d = random_big_exact(rng, dl).abs();
      Num x(n), y(d), q, r, back;
      pos_divide(x, y, q, r);
      ASSERT_TRUE(valid_bigint(q));
      ASSERT_TRUE(valid_bigint(r));
      fast_mult(q, y, back);
      fastsum(back, r);
      ASSERT_TRUE(spec_equal(back, x));
      ASSERT_TRUE(r.value() < d);
      ASSERT_FALSE(r.value().negative());
    }
  }
}

// The word route (operands repacked into words, results cut back into
// limbs) against the limb route at every dividend length up to 40 around
// the divisor lengths where the word route starts, with quotient and
// remainder receivers that are the operands or whose free list runs out;
// and the longest numbers: a 32,767-limb product divided by a factor.
TEST(Divide, WordRouteAgreesWithTheLimbRoute) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 28);
  for (int k = 1; k <= 10; ++k) {
    for (int s = 1; s <= 40; ++s) {
      const BigRef n = s == 1 && rng() % 4 == 0 ? BigRef(0) : random_big_exact(rng, s);
      const BigRef d = random_big_exact(rng, k);
      SCOPED_TRACE("n = " + n.to_decimal() + ", d = " + d.to_decimal());
      Num x(n), y(d), q1, r1;
      {
        ScopedValue<std::int32_t> limbs(wide_divide_limbs,
                                        std::numeric_limits<std::int32_t>::max());
        divide(x, y, q1, r1);
      }
      check_divide(n, d);
      ScopedValue<std::int32_t> words(wide_divide_limbs, 1);
      with_short_free_list(static_cast<int>(rng() % 30), [&] {
        Num q, r;
        divide(x, y, q, r);
        ASSERT_TRUE(valid_bigint(q));
        ASSERT_TRUE(valid_bigint(r));
        ASSERT_TRUE(spec_equal(q, q1));
        ASSERT_TRUE(spec_equal(r, r1));
      });
      Num a(n), b(d);
      divide(a, b, a, b);
      ASSERT_TRUE(spec_equal(a, q1));
      ASSERT_TRUE(spec_equal(b, r1));
    }
  }
  std::vector<std::uint32_t> f(16384), g(16383);
  for (auto& v : f) v = static_cast<std::uint32_t>(rng() % limb_base);
  for (auto& v : g) v = static_cast<std::uint32_t>(rng() % limb_base);
  f.back() = g.back() = limb_base - 1;
  imptr x = number_from_digits(f.data(), 16384, -1), y = number_from_digits(g.data(), 16383, 1);
  Num p, q, r;
  fast_mult(x, y, p);
  ASSERT_EQ(p->size, 32767);
  divide(p, y, q, r);
  ASSERT_TRUE(spec_equal(q, x));
  free_imag(&x);
  free_imag(&y);
  ASSERT_EQ(limbs_of(r), (L{0}));
}

TEST(PosDivideNoq, PiecesOfLists) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 26);
  for (int i = 0; i < test_iterations(300); ++i) {
    const BigRef n = random_big(rng, 40).abs();
    BigRef d = random_big(rng, 15).abs();
    if (d.is_zero()) d = BigRef(7);
    SCOPED_TRACE("n = " + n.to_decimal() + ", d = " + d.to_decimal());
    Num x(n), y(d), r(BigRef::pow2(90));
    pos_divide_noq(x->head, y->head, y->tail, x->size, y->size, r);
    ASSERT_TRUE(valid_bigint(r));
    ASSERT_EQ(r.value(), n % d);
    // The leading limbs of x as the dividend: the list goes on beyond nsize.
    if (x->size > 2) {
      const std::int16_t lead = static_cast<std::int16_t>(x->size - 2);
      BigRef top_part;
      numptr p = x->head;
      for (int k = 0; k < lead; ++k, p = p->next) top_part = top_part * B28 + BigRef(p->value);
      pos_divide_noq(x->head, y->head, y->tail, lead, y->size, r);
      ASSERT_EQ(r.value(), top_part % d);
    }
    ASSERT_EQ(x.value(), n);
    ASSERT_EQ(y.value(), d);
  }
}

TEST(SimpDivide, OneDigitWindows) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 27);
  for (int i = 0; i < test_iterations(500); ++i) {
    BigRef d = random_big(rng, 10).abs();
    if (d.is_zero()) d = BigRef(1);
    // window = digit * d + r with a digit below B and r below d.
    const BigRef digit =
        BigRef(static_cast<std::int64_t>(i % 4 == 0 ? 268435455 : rng() % 268435456));
    const BigRef r = i % 5 == 0 ? d - BigRef(1) : random_big(rng, 10).abs() % d;
    const BigRef w = digit * d + r;
    SCOPED_TRACE("w = " + w.to_decimal() + ", d = " + d.to_decimal());
    Num win(w), dd(d), q(BigRef::pow2(70)), rem(5), rem2;
    q->lint = 77;
    q->imag = q.get();
    simp_divide(win->head, win->size, dd, q, rem);
    ASSERT_EQ(q->size, 1);
    ASSERT_EQ(q.value(), digit);
    ASSERT_EQ(q->lint, 0);
    ASSERT_EQ(q->flote, 0.0L);
    ASSERT_EQ(q->imag, nullptr);
    ASSERT_EQ(rem.value(), r);
    simp_divide_noq(win->head, dd->head, dd->tail, win->size, dd->size, rem2);
    ASSERT_EQ(rem2.value(), r);
  }
}

TEST(OneDigitDivisors, ReciprocalAndHenselAgreeWithLongDivision) {
  // The residue (three digits a step through the reciprocal) and the exact
  // quotient (Hensel's division on pairs of digits) against the long
  // division of digits, for divisors 1, powers of two, 2^28 - 1, odd and
  // even ones, on arrays of odd and even lengths with digits 0 and 2^28 - 1,
  // short and long enough for the two-chain forms.
  std::mt19937_64 rng(test_seed() + 31);
  using kit::digit;
  for (int it = 0; it < test_iterations(400); ++it) {
    const int n = 1 + static_cast<int>(rng() % (it % 2 == 0 ? 40 : 120));
    std::vector<digit> a(static_cast<std::size_t>(n) + 1);
    for (auto& x : a)
      x = rng() % 4 == 0 ? (rng() % 2 == 0 ? 0u : kit::digit_mask)
                         : static_cast<digit>(rng() % limb_base);
    a[static_cast<std::size_t>(n)] = 0;
    const digit choices[] = {1,
                             2,
                             static_cast<digit>(1u << (rng() % 28)),
                             kit::digit_mask,
                             3 * 5 * 7 * 11 * 13,
                             static_cast<digit>(1 + rng() % (limb_base - 1))};
    const digit d = choices[rng() % 6];
    // a mod d against the long division.
    std::vector<digit> u = a, q(static_cast<std::size_t>(n) + 1);
    kit::mag_divmod(u.data(), n, &d, 1, q.data());
    ASSERT_EQ(kit::mag_mod_1(a.data(), n, d), u[0]) << "divisor " << d << ", " << n << " digits";
    Num x;  // the same digits as a limb list: gathered, the residue taken in the walk
    kit::install_limbs(x, kit::build_limbs(a.data(), n, it % 3 == 0 ? -1 : 1));
    std::vector<digit> g(static_cast<std::size_t>(x->size));
    ASSERT_EQ(kit::gather_mod_1(x, g.data(), d), u[0]) << "divisor " << d << ", " << n << " digits";
    ASSERT_TRUE(std::equal(g.begin(), g.end(), a.begin()));
    // (a - a mod d) / d exactly, in place and into another array.
    std::vector<digit> e = a;
    e.resize(static_cast<std::size_t>(n));
    std::int64_t borrow = u[0];
    for (auto& x : e) {  // e := a - (a mod d)
      const std::int64_t t = static_cast<std::int64_t>(x) - borrow;
      borrow = t < 0 ? 1 : 0;
      x = static_cast<digit>(t < 0 ? t + limb_base : t);
    }
    std::vector<digit> out(static_cast<std::size_t>(n));
    const std::int32_t nq = kit::mag_divexact_1(out.data(), e.data(), n, d);
    const std::int32_t nl = kit::normalised_length(q.data(), n);
    ASSERT_EQ(nq, nl) << "divisor " << d;
    ASSERT_TRUE(std::equal(q.begin(), q.begin() + nl, out.begin())) << "divisor " << d;
    ASSERT_EQ(kit::mag_divexact_1(e.data(), e.data(), n, d), nl);
    ASSERT_TRUE(std::equal(q.begin(), q.begin() + nl, e.begin())) << "divisor " << d << " in place";
  }
}

}  // namespace
}  // namespace tavrin::test
