// Products of big integers, checked against the independent reference type,
// on both routes (rows and Karatsuba) and on both sides of the cut-off.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
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

// Cut-offs that send balanced operands through the recursion from 2 limbs
// up, the default one, and one that never recurses.
const std::int32_t cutoffs[] = {1, 2, 3, 16, std::numeric_limits<std::int32_t>::max()};

// Checks fast_mult (under every cut-off) and multiply on a and b: the
// product, its limbs, unchanged operands.
void check_product(const BigRef& a, const BigRef& b) {
  SCOPED_TRACE("a = " + a.to_decimal() + ", b = " + b.to_decimal());
  const BigRef want = a * b;
  Num x(a), y(b);
  for (std::int32_t cut : cutoffs) {
    SCOPED_TRACE("multcut = " + std::to_string(cut));
    ScopedValue<std::int32_t> c(multcut, cut);
    Num p(7);
    fast_mult(x, y, p);
    ASSERT_TRUE(valid_bigint(p));
    ASSERT_EQ(p.value(), want);
  }
  Num p;
  multiply(x, y, p);
  ASSERT_TRUE(valid_bigint(p));
  ASSERT_EQ(p.value(), want);
  ASSERT_EQ(x.value(), a);
  ASSERT_EQ(y.value(), b);
}

// A value of exactly `limbs` limbs whose low `zeros` limbs are 0.
BigRef with_low_zeros(std::mt19937_64& rng, int limbs, int zeros) {
  return random_big_exact(rng, limbs - zeros) << static_cast<unsigned>(28 * zeros);
}

TEST(SimpMult, KnownValuesAndPenult) {
  NodeBalance balance;
  Num n(BigRef(268435455)), ans(123);
  numptr penult = reinterpret_cast<numptr>(1);
  simp_mult(n, ans, 268435455, &penult);
  // (2^28 - 1)^2 = (2^28 - 2) * 2^28 + 1
  EXPECT_EQ(limbs_of(ans), (L{268435454, 1}));
  EXPECT_EQ(penult, ans->head);
  simp_mult(n, ans, 0, &penult);
  EXPECT_EQ(limbs_of(ans), (L{0}));
  EXPECT_EQ(penult, nullptr);
  simp_mult(n, ans, 1, &penult);
  EXPECT_EQ(limbs_of(ans), (L{268435455}));
  EXPECT_EQ(penult, nullptr);
  Num z(0);
  simp_mult(z, ans, -5, &penult);
  EXPECT_EQ(limbs_of(ans), (L{0}));
  Num neg(-BigRef::pow2(56) + BigRef(1));  // limbs -268435455 -268435455
  simp_mult(neg, ans, -3, &penult);
  EXPECT_EQ(ans.value(), (BigRef::pow2(56) - BigRef(1)) * BigRef(3));
  EXPECT_TRUE(valid_bigint(ans));
  EXPECT_EQ(penult->next, ans->tail);
  simp_mult(neg, neg, 2, &penult);  // ans may be n
  EXPECT_EQ(neg.value(), (BigRef(1) - BigRef::pow2(56)) * BigRef(2));
}

TEST(SimpMult, RandomAgainstReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 10);
  for (int i = 0; i < test_iterations(1000); ++i) {
    const BigRef a = random_big(rng, 60);
    const BigRef mb = random_big(rng, 1);
    const std::int32_t m = static_cast<std::int32_t>(mb.to_int64());
    SCOPED_TRACE("a = " + a.to_decimal() + ", m = " + std::to_string(m));
    Num n(a), ans(BigRef::pow2(300));
    numptr penult = nullptr;
    simp_mult(n, ans, m, &penult);
    ASSERT_TRUE(valid_bigint(ans));
    ASSERT_EQ(ans.value(), a * mb);
    ASSERT_EQ(n.value(), a);
    if (ans->size == 1) {
      ASSERT_EQ(penult, nullptr);
    } else {
      ASSERT_EQ(penult->next, ans->tail);
    }
  }
}

TEST(FastMult, ZeroAndUnitOperands) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 11);
  for (int limbs : {1, 2, 17, 40}) {
    const BigRef a = random_big_exact(rng, limbs);
    for (const BigRef& other : {BigRef(0), BigRef(1), BigRef(-1)}) {
      check_product(a, other);
      check_product(other, a);
    }
  }
  Num m1(-1), p;
  fast_mult(m1, m1, p);
  EXPECT_EQ(limbs_of(p), (L{1}));
  Num z(0);
  fast_mult(z, z, p);
  EXPECT_EQ(limbs_of(p), (L{0}));
}

TEST(FastMult, SizesAroundTheCutoff) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 12);
  // 17x17 splits at k = 8, 17x33 at k = 16 (a one-limb high part); 16x17,
  // 17x34, 16x16 and lopsided pairs use rows under the default cut-off.
  const int pairs[][2] = {
      {16, 16}, {16, 17},   {17, 16},   {17, 17},   {17, 33},  {33, 17}, {17, 34},
      {34, 17}, {18, 35},   {20, 40},   {40, 20},   {21, 41},  {32, 32}, {33, 33},
      {64, 65}, {100, 199}, {199, 100}, {200, 200}, {300, 260}};  // more rows than fit between two
                                                                  // carry passes
  for (const auto& pr : pairs) {
    for (int rep = 0; rep < test_iterations(4); ++rep) {
      check_product(random_big_exact(rng, pr[0]), random_big_exact(rng, pr[1]));
    }
  }
}

TEST(FastMult, LowHalvesWithZeroLimbs) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 13);
  for (int rep = 0; rep < test_iterations(10); ++rep) {
    // Low parts entirely zero (multiples of 2^(28k)) and low parts with
    // leading zero limbs.
    check_product(with_low_zeros(rng, 17, 8), with_low_zeros(rng, 17, 8));
    check_product(with_low_zeros(rng, 40, 25), random_big_exact(rng, 40));
    check_product(random_big_exact(rng, 33), with_low_zeros(rng, 17, 16));
    const BigRef hi = random_big_exact(rng, 10) << (28 * 30);
    const BigRef lo = random_big_exact(rng, 3);
    check_product(hi + lo, hi - lo);
    check_product(BigRef::pow2(28 * 50), BigRef::pow2(28 * 45) + BigRef(1));
  }
}

TEST(FastMult, RandomAgainstReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 14);
  for (int i = 0; i < test_iterations(300); ++i)
    check_product(random_big(rng, 200), random_big(rng, 200));
}

TEST(FastMult, AllOnesLimbs) {
  NodeBalance balance;
  // (B^k - 1)(B^j - 1): every limb at its largest, the worst case for carries.
  for (int k : {17, 30, 64, 150, 300}) {
    for (int j : {k - 1, k * 7 / 8, k + 5}) {
      const BigRef a = BigRef::pow2(static_cast<unsigned>(28 * k)) - BigRef(1);
      const BigRef b = BigRef::pow2(static_cast<unsigned>(28 * j)) - BigRef(1);
      check_product(a, -b);
    }
  }
}

TEST(FastMult, ResultMayBeAnOperand) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 15);
  for (std::int32_t cut : cutoffs) {
    ScopedValue<std::int32_t> c(multcut, cut);
    for (int i = 0; i < test_iterations(40); ++i) {
      const BigRef a = random_big(rng, 80);
      const BigRef b = random_big(rng, 80);
      SCOPED_TRACE("a = " + a.to_decimal() + ", b = " + b.to_decimal());
      Num x(a), y(b);
      fast_mult(x, x, x);  // squares in place
      ASSERT_TRUE(valid_bigint(x));
      ASSERT_EQ(x.value(), a * a);
      fast_mult(x, y, y);
      ASSERT_EQ(y.value(), a * a * b);
      ASSERT_EQ(x.value(), a * a);
      multiply(y, x, x);
      ASSERT_TRUE(valid_bigint(x));
      ASSERT_EQ(x.value(), a * a * a * a * b);
    }
  }
}

TEST(FastMult, LargeOperandsAgreeWithRows) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 16);
  // Deep recursion under the default cut-off: compare with the row product
  // and with the distributive law a(b + c) = ab + ac.
  for (int limbs : {500, 1024, 1500}) {
    const BigRef a = random_big_exact(rng, limbs);
    const BigRef b = random_big_exact(rng, limbs - 7);
    const BigRef c = random_big_exact(rng, limbs / 2 + 3);
    Num x(a), y(b), z(c), k1, k2, rows;
    fast_mult(x, y, k1);
    multiply(x, y, rows);
    ASSERT_TRUE(valid_bigint(k1));
    ASSERT_TRUE(spec_equal(k1, rows));
    fastsum(y, z);  // y := b + c
    fast_mult(x, y, k2);
    fast_mult(x, z, rows);
    fastsum(k1, rows);
    ASSERT_TRUE(spec_equal(k1, k2));
    if (limbs == 500) {
      ASSERT_EQ(k2.value(), a * (b + c));
    }
  }
}

// The short products (both factors up to 16 limbs) against the rows (short
// products off) and the reference: every pair of lengths on both sides of
// the cut, signs, zero and one-limb factors, receivers without limbs,
// shorter than, as long as and longer than the product, a free list that
// runs out part-way, squares in place and products into an operand.
TEST(FastMult, ShortProductsAgreeWithRows) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 17);
  for (int a = 1; a <= 17; ++a) {
    for (int b = 1; b <= 17; ++b) {
      const BigRef x = a == 1 && rng() % 3 == 0 ? BigRef(0) : random_big_exact(rng, a);
      const BigRef y = b == 1 && rng() % 3 == 0 ? BigRef(0) : random_big_exact(rng, b);
      SCOPED_TRACE("x = " + x.to_decimal() + ", y = " + y.to_decimal());
      Num nx(x), ny(y), rows;
      {
        ScopedValue<std::int32_t> off(short_mult_limbs, 0);
        multiply(nx, ny, rows);
      }
      ASSERT_EQ(rows.value(), x * y);
      for (int old : {0, 1, a + b - 1, a + b, a + b + 5}) {
        Num p;
        if (old > 0) assign_ref(p, random_big_exact(rng, old));
        fast_mult(nx, ny, p);
        ASSERT_TRUE(valid_bigint(p));
        ASSERT_TRUE(spec_equal(p, rows));
      }
      with_short_free_list(static_cast<int>(rng() % 24), [&] {
        Num p(3);
        fast_mult(nx, ny, p);
        ASSERT_TRUE(valid_bigint(p));
        ASSERT_TRUE(spec_equal(p, rows));
      });
      Num s(x), t(y);
      fast_mult(s, s, s);
      ASSERT_EQ(s.value(), x * x);
      fast_mult(nx, t, t);
      ASSERT_TRUE(spec_equal(t, rows));
    }
  }
}

TEST(FastMult, WordModeLeavesTheOldLimbs) {
  // In word mode a number's limbs are not its own: the result's old list is
  // not given back.
  Num x(BigRef(12345)), y(BigRef::pow2(40)), ans(BigRef::pow2(80));
  numptr old_head = ans->head;
  numptr old_tail = ans->tail;
  {
    ArithModeGuard g;
    lintmode = true;
    fast_mult(x, y, ans);
  }
  EXPECT_EQ(ans.value(), BigRef(12345) * BigRef::pow2(40));
  EXPECT_EQ(old_head->value, 1 << 24);  // 2^80 = 2^24 B^2: still intact
  free_limb_list(old_head, old_tail);
  // The same for a short product (five limbs by four).
  Num u(BigRef::pow2(130) + BigRef(7)), v(BigRef::pow2(100) - BigRef(1));
  old_head = ans->head;
  old_tail = ans->tail;
  const std::vector<std::int32_t> old_limbs = limbs_of(ans);
  {
    ArithModeGuard g;
    lintmode = true;
    fast_mult(u, v, ans);
  }
  EXPECT_EQ(ans.value(), (BigRef::pow2(130) + BigRef(7)) * (BigRef::pow2(100) - BigRef(1)));
  std::vector<std::int32_t> kept;
  for (numptr p = old_head; p != nullptr; p = p->next) kept.push_back(p->value);
  EXPECT_EQ(kept, old_limbs);
  free_limb_list(old_head, old_tail);
}

// Lazy sums of scaled digit rows, settled once, against the reference sum:
// zero, carries through every digit, negative sums, and lazy_row_terms rows
// of the largest digits and factors (cells at the edge of 2^63), either sign.
TEST(LazyRowSums, AgreeWithTheReferenceUpToTheirRowBound) {
  std::mt19937_64 rng(test_seed() + 5104);
  const BigRef all_ones = BigRef::pow2(28 * 6) - 1;  // six digits 2^28 - 1
  struct Row {
    const char* what;
    int rows;
    int pattern;  // 0: random rows and factors; 1: largest, one sign; 2: largest, signs
                  // alternating; 3: a row less itself
  };
  const Row rows[] = {{"one row", 1, 0},
                      {"a few", 5, 0},
                      {"the bound, random", kit::lazy_row_terms, 0},
                      {"the bound, largest", kit::lazy_row_terms, 1},
                      {"the bound, alternating", kit::lazy_row_terms, 2},
                      {"cancelling to zero", 2, 3}};
  NodeBalance balance;
  for (const Row& row : rows) {
    for (int rep = 0; rep < test_iterations(10); ++rep) {
      SCOPED_TRACE(std::string(row.what) + ", rep " + std::to_string(rep));
      std::vector<std::int64_t> acc(8, 0);
      std::vector<kit::digit> r(10);
      BigRef want = 0;
      const BigRef first = random_big(rng, 6);
      for (int i = 0; i < row.rows; ++i) {
        BigRef v = row.pattern == 0 ? random_big(rng, 6) : all_ones;
        std::int64_t m =
            row.pattern == 0 ? static_cast<std::int64_t>(rng() % (1u << 28)) : (1 << 28) - 1;
        if (row.pattern == 0 && rng() % 2 == 0) m = -m;
        if (row.pattern == 2 && i % 2 == 1) m = -m;
        if (row.pattern == 3) {
          v = first;
          m = i == 0 ? 3 : -3;
        }
        const Num x(v);
        std::vector<kit::digit> d(static_cast<std::size_t>(x->size));
        kit::gather(x.get(), d.data());
        kit::lazy_addmul_1(acc.data(), d.data(), x->size, v.negative() ? -m : m);
        want = want + BigRef(m) * v;
      }
      std::int32_t sign = 0;
      const std::int32_t n = kit::lazy_settle(acc.data(), 6, r.data(), &sign);
      imptr got = number_from_digits(r.data(), n, sign);
      const BigRef value = to_ref(got);
      free_imag(&got);
      ASSERT_EQ(value, want);
      ASSERT_TRUE(std::all_of(acc.begin(), acc.end(), [](std::int64_t c) { return c == 0; }));
      ASSERT_EQ(want.is_zero() ? 1 : 0, kit::mag_is_zero(r.data(), n) ? 1 : 0);
    }
  }
}

}  // namespace
}  // namespace tavrin::test
