// Addition, subtraction, negation and comparison of big integers, checked
// against the independent reference type.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using L = std::vector<std::int32_t>;
const BigRef B28 = BigRef::pow2(28);

TEST(SetValue, LimbsOfMachineIntegers) {
  NodeBalance balance;
  Num x;
  setvalue(268435456, x);
  EXPECT_EQ(limbs_of(x), (L{1, 0}));
  setvalue(-(268435456 + 1), x);
  EXPECT_EQ(limbs_of(x), (L{-1, -1}));
  setvalue(-2147483647 - 1, x);
  EXPECT_EQ(limbs_of(x), (L{-8, 0}));
  setvalue(0, x);
  EXPECT_EQ(limbs_of(x), (L{0}));
  setvalue(2147483647, x);
  EXPECT_EQ(x.value(), BigRef(2147483647));
  EXPECT_TRUE(valid_bigint(x));
  setvalue(-268435455, x);
  EXPECT_EQ(limbs_of(x), (L{-268435455}));
}

TEST(SetValue, WordAndFloatingModesLeaveLimbsAlone) {
  Num x(BigRef(123456789012LL));
  const L before = limbs_of(x);
  {
    ArithModeGuard g;
    lintmode = true;
    setvalue(-5, x);
    EXPECT_EQ(x->lint, -5);
    flotemode = true;
    setvalue(7, x);
    EXPECT_EQ(x->flote, 7.0L);
  }
  EXPECT_EQ(limbs_of(x), before);
}

TEST(FastSum, KnownValues) {
  NodeBalance balance;
  {
    Num a(268435455), one(1);
    fastsum(a, one);
    EXPECT_EQ(limbs_of(a), (L{1, 0}));
    EXPECT_TRUE(valid_bigint(a));
  }
  {
    Num a(-268435455), m1(-1);
    fastsum(a, m1);
    EXPECT_EQ(limbs_of(a), (L{-1, 0}));
  }
  {
    Num a(BigRef::pow2(56)), m1(-1);
    EXPECT_EQ(limbs_of(a), (L{1, 0, 0}));
    fastsum(a, m1);
    EXPECT_EQ(limbs_of(a), (L{268435455, 268435455}));
    EXPECT_TRUE(valid_bigint(a));
  }
  {
    Num a(5), b(-BigRef::pow2(28));
    fastsum(a, b);
    EXPECT_EQ(limbs_of(a), (L{-268435451}));
  }
  {
    Num a(BigRef::from_decimal("-987654321987654321987"));
    fastdiff(a, a);
    EXPECT_EQ(limbs_of(a), (L{0}));
    EXPECT_TRUE(valid_bigint(a));
  }
  {
    const BigRef v = BigRef::from_decimal("98765432198765432198765");
    Num a(v);
    fastsum(a, a);
    EXPECT_EQ(a.value(), v + v);
    EXPECT_TRUE(valid_bigint(a));
  }
}

TEST(FastSum, HeadsThatCancel) {
  NodeBalance balance;
  // Equal sizes whose leading limbs cancel over several positions.
  const BigRef a = BigRef::from_decimal("5") * B28 * B28 * B28 + BigRef(17) * B28 + BigRef(3);
  const BigRef b = -(BigRef::from_decimal("5") * B28 * B28 * B28) - BigRef(20) * B28;
  Num x(a), y(b);
  fastsum(x, y);
  EXPECT_EQ(x.value(), a + b);
  EXPECT_TRUE(valid_bigint(x));
  EXPECT_EQ(x->size, 2);
}

TEST(FastSum, CarryRunsThroughManyLimbs) {
  NodeBalance balance;
  // (2^(28*k)) - 1 + 1 and 2^(28*k) - 1: carries and borrows across every limb.
  for (int k = 2; k <= 12; ++k) {
    const BigRef top = BigRef::pow2(static_cast<unsigned>(28 * k));
    Num x(top - BigRef(1)), one(1);
    fastsum(x, one);
    EXPECT_EQ(x.value(), top);
    EXPECT_TRUE(valid_bigint(x));
    fastdiff(x, one);
    EXPECT_EQ(x.value(), top - BigRef(1));
    EXPECT_TRUE(valid_bigint(x));
    Num y(-top);
    fastsum(y, one);
    EXPECT_EQ(y.value(), BigRef(1) - top);
    EXPECT_TRUE(valid_bigint(y));
  }
}

// Differential test of the in-place and list forms against the reference,
// over every sign combination and sizes 1..40 limbs.
TEST(FastSum, RandomAgainstReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  const int rounds = test_iterations(3000);
  for (int i = 0; i < rounds; ++i) {
    const BigRef a = random_big(rng, 40);
    const BigRef b = random_big(rng, 40);
    SCOPED_TRACE("a = " + a.to_decimal() + ", b = " + b.to_decimal());
    Num x(a), y(b);
    fastsum(x, y);
    ASSERT_TRUE(valid_bigint(x));
    ASSERT_EQ(x.value(), a + b);
    ASSERT_EQ(y.value(), b);  // m is unchanged
    fastdiff(x, y);
    ASSERT_TRUE(valid_bigint(x));
    ASSERT_EQ(x.value(), a);
    fastdiff(x, y);
    ASSERT_TRUE(valid_bigint(x));
    ASSERT_EQ(x.value(), a - b);

    Num s, d, p(a), q(b);
    medsum(p->size, q->size, p->head, q->head, s);
    meddiff(p->size, q->size, p->head, q->head, d);
    ASSERT_TRUE(valid_bigint(s));
    ASSERT_TRUE(valid_bigint(d));
    ASSERT_EQ(s.value(), a + b);
    ASSERT_EQ(d.value(), a - b);
    ASSERT_EQ(p.value(), a);
    ASSERT_EQ(q.value(), b);
  }
}

TEST(MedSum, ResultMayBeAnOperandsOwner) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 1);
  for (int i = 0; i < test_iterations(300); ++i) {
    const BigRef a = random_big(rng, 20);
    const BigRef b = random_big(rng, 20);
    Num p(a), q(b);
    medsum(p->size, q->size, p->head, q->head, p);  // ans is p itself
    ASSERT_TRUE(valid_bigint(p));
    ASSERT_EQ(p.value(), a + b);
    meddiff(p->size, q->size, p->head, q->head, q);  // ans is q itself
    ASSERT_TRUE(valid_bigint(q));
    ASSERT_EQ(q.value(), a);
  }
}

TEST(MedSum, PiecesOfLongerLists) {
  NodeBalance balance;
  // The operands are the leading limbs of longer lists, cut by a nil link.
  const BigRef a = BigRef::from_decimal("123456789123456789123456789123456789");
  const BigRef b = BigRef::from_decimal("-99999999999999999999999999999");
  Num p(a), q(b), ans(7);
  // Cut p after its first two limbs.
  numptr second = p->head->next;
  numptr rest = second->next;
  second->next = nullptr;
  medsum(2, q->size, p->head, q->head, ans);
  second->next = rest;
  const std::vector<std::int32_t> pl = limbs_of(p);
  const BigRef lead = BigRef(pl[0]) * B28 + BigRef(pl[1]);
  EXPECT_EQ(ans.value(), lead + b);
  EXPECT_TRUE(valid_bigint(ans));
}

TEST(Negation, BigAndModular) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 2);
  for (int i = 0; i < test_iterations(500); ++i) {
    const BigRef a = random_big(rng, 40);
    Num x(a), y(99);
    makeneg(x, y);
    ASSERT_EQ(y.value(), -a);
    ASSERT_TRUE(valid_bigint(y));
    makeneg(x, x);
    ASSERT_EQ(x.value(), -a);
    in_place_neg(x);
    ASSERT_EQ(x.value(), a);
    abs_val_num(x, y);
    ASSERT_EQ(y.value(), a.abs());
    ASSERT_TRUE(valid_bigint(y));
  }
  Num r;
  {
    ArithModeGuard g;
    lintmode = modularmode = true;
    ScopedValue<std::int32_t> m(modulus, 7);
    Num s;
    r->lint = 0;
    makeneg(r, s);
    EXPECT_EQ(s->lint, 0);
    r->lint = 3;
    makeneg(r, s);
    EXPECT_EQ(s->lint, 4);
    in_place_neg(r);
    EXPECT_EQ(r->lint, 4);
    r->lint = 0;
    in_place_neg(r);
    EXPECT_EQ(r->lint, 0);
    finf = true;
    r->lint = 5;
    makeneg(r, s);
    EXPECT_EQ(s->lint, 5);
    in_place_neg(r);
    EXPECT_EQ(r->lint, 5);
  }
  {
    ArithModeGuard g;
    lintmode = true;
    r->lint = -2147483647 - 1;
    in_place_neg(r);  // wraps, as 32-bit words do
    EXPECT_EQ(r->lint, -2147483647 - 1);
  }
}

TEST(Comparison, KnownValues) {
  Num m1(-1), zero(0), mb(-BigRef::pow2(28)), a(BigRef::from_decimal("1234567890123"));
  Num a2(BigRef::from_decimal("1234567890123"));
  EXPECT_FALSE(bigger(m1, zero));
  EXPECT_TRUE(bigger(zero, mb));
  EXPECT_FALSE(bigger(a, a2));
  EXPECT_TRUE(equal(a, a2));
  bool minus = true;
  EXPECT_FALSE(equal_to_pm1(zero, &minus));
  EXPECT_FALSE(minus);
  EXPECT_TRUE(equal_to_pm1(m1, &minus));
  EXPECT_TRUE(minus);
  Num one(1);
  EXPECT_TRUE(equal_to_pm1(one, &minus));
  EXPECT_FALSE(minus);
  EXPECT_TRUE(negtive(a, Num(-BigRef::from_decimal("1234567890123"))));
  EXPECT_TRUE(negtive(zero, zero));
}

TEST(Comparison, ModularAndWordModes) {
  Num x, y;
  ArithModeGuard g;
  lintmode = modularmode = true;
  ScopedValue<std::int32_t> m(modulus, 7);
  x->lint = 3;
  y->lint = 4;
  EXPECT_TRUE(negtive(x, y));
  y->lint = 3;
  EXPECT_FALSE(negtive(x, y));
  x->lint = y->lint = 0;
  EXPECT_TRUE(negtive(x, y));
  bool minus = true;
  x->lint = 1;
  EXPECT_TRUE(equal_to_pm1(x, &minus));
  EXPECT_FALSE(minus);
  x->lint = 6;  // modulus - 1 is not recognised as -1
  EXPECT_FALSE(equal_to_pm1(x, &minus));
  finf = true;
  x->lint = y->lint = 6;
  EXPECT_TRUE(negtive(x, y));
}

TEST(Comparison, RandomAgainstReference) {
  std::mt19937_64 rng(test_seed() + 3);
  for (int i = 0; i < test_iterations(3000); ++i) {
    BigRef a = random_big(rng, 12);
    BigRef b = rng() % 5 == 0 ? a : (rng() % 5 == 0 ? -a : random_big(rng, 12));
    SCOPED_TRACE("a = " + a.to_decimal() + ", b = " + b.to_decimal());
    Num x(a), y(b);
    ASSERT_EQ(bigger(x, y), a > b);
    ASSERT_EQ(equal(x, y), a == b);
    ASSERT_EQ(spec_equal(x, y), a == b);
    ASSERT_EQ(negtive(x, y), a == -b);
    ASSERT_EQ(abs_larger(x, y), a.abs() > b.abs());
    ASSERT_EQ(int_abs_bigger(x, y, true), a.abs() >= b.abs());
    ASSERT_EQ(int_abs_bigger(x, y, false), a.abs() > b.abs());
    bool firstone = false;
    const bool eq = equal_which(x, y, &firstone);
    ASSERT_EQ(eq, a == b);
  }
}

TEST(Predicates, SmallOnes) {
  EXPECT_TRUE(power_of_two(1));
  EXPECT_FALSE(power_of_two(0));
  EXPECT_FALSE(power_of_two(6));
  EXPECT_TRUE(power_of_two(1 << 30));
  EXPECT_TRUE(power_of_two(-2147483647 - 1));  // 2^31 as an unsigned word
  Num a(BigRef::pow2(100)), b(-BigRef::pow2(100) + BigRef(1)), c(5);
  EXPECT_EQ(logg2(a), 101);
  EXPECT_EQ(logg2_neg(b), 100);
  EXPECT_EQ(logg2(c), 3);
  EXPECT_TRUE(is_longint(c, 5));
  EXPECT_FALSE(is_longint(a, 0));
  EXPECT_EQ(logg2lint(0), -1);
  EXPECT_EQ(logg2lint(-8), 3);
  {
    ArithModeGuard g;
    modularmode = lintmode = true;
    ScopedValue<std::int32_t> m(modulus, 101);
    EXPECT_EQ(logg2lint(100), 0);  // 100 is -1 modulo 101
    EXPECT_EQ(logg2lint(40), 5);
  }
  EXPECT_EQ(maxx(3, -4), 3);
  EXPECT_EQ(minn(3, -4), -4);
  EXPECT_EQ(Iminn(3, 2), 2);
}

TEST(Copies, AssignAndFasterAssign) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  for (int i = 0; i < test_iterations(300); ++i) {
    const BigRef a = random_big(rng, 30);
    Num x(a), y(BigRef::pow2(200));
    num_assign(x, y);
    ASSERT_EQ(y.value(), a);
    ASSERT_TRUE(valid_bigint(y));
    num_assign(y, y);
    ASSERT_EQ(y.value(), a);
    imptr z = nullptr;
    faster_num_assign(x->head, x->size, &z);
    if (a.is_zero()) {
      ASSERT_EQ(z, nullptr);
    } else {
      ASSERT_NE(z, nullptr);
      ASSERT_EQ(to_ref(z), a);
      ASSERT_TRUE(valid_bigint(z));
      free_imag(&z);
    }
  }
  // spec_num_assign copies limbs whatever the mode.
  Num src(BigRef::from_decimal("-77777777777777777")), dst;
  {
    ArithModeGuard g;
    lintmode = modularmode = true;
    spec_num_assign(src, dst);
    EXPECT_TRUE(lintmode && modularmode);
  }
  EXPECT_EQ(dst.value(), src.value());
  // num_assign in floating mode without word mode copies the limbs as well.
  Num f;
  src->flote = 2.5L;
  {
    ArithModeGuard g;
    flotemode = true;
    num_assign(src, f);
  }
  EXPECT_EQ(f->flote, 2.5L);
  EXPECT_EQ(f.value(), src.value());
}

TEST(Shifts, AgainstReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5);
  for (int i = 0; i < test_iterations(300); ++i) {
    const BigRef a = random_big(rng, 10).abs();
    const int m = static_cast<int>(rng() % 28);
    {
      Num x(a);
      gen_shift_right(x, m);
      ASSERT_EQ(x.value(), a / BigRef::pow2(static_cast<unsigned>(m)));
      ASSERT_TRUE(valid_bigint(x));
    }
    if (!a.is_zero()) {
      const int k = static_cast<int>(rng() % 100);
      Num x(a);
      shift_left(x, k);
      ASSERT_EQ(x.value(), a << static_cast<unsigned>(k));
      ASSERT_TRUE(valid_bigint(x));
      Num y(a);
      fillout(y, 2);
      ASSERT_EQ(y.value(), a << 56);
    }
  }
  Num x(7);
  shift_right_1(x);
  EXPECT_EQ(x.value(), BigRef(3));
  shift_right_2(x);
  EXPECT_EQ(x.value(), BigRef(0));
  EXPECT_TRUE(valid_bigint(x));
  // fast_modout keeps the lowest limbs.
  Num n(BigRef(5) * B28 * B28 + BigRef(0) * B28 + BigRef(9)), pd(BigRef(1) * B28 * B28);
  fast_modout(n, pd);
  EXPECT_EQ(n.value(), BigRef(9));
  EXPECT_TRUE(valid_bigint(n));
}

}  // namespace
}  // namespace tavrin::test
