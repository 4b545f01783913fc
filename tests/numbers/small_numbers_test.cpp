// The paths for short numbers (one and two limbs in sums, quotients and
// GCDs; up to sixteen in products; any length in decimal conversion)
// against the reference integers and the general routes, for operands of
// one, two and three limbs biased to the limb and word boundaries; result
// records that held shorter and longer lists before, aliased records, and
// the records each operation keeps.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

const BigRef B28 = BigRef::pow2(28);
const BigRef B56 = BigRef::pow2(56);

// A value of one to three limbs, often at a boundary: 0, +-1, 2^28 - 1,
// 2^28, 2^56 - 1, 2^56, 2^56 + 1, a limb of all ones above zeros.
BigRef edge_value(std::mt19937_64& rng) {
  static const BigRef edges[] = {0,
                                 1,
                                 B28 - 1,
                                 B28,
                                 B28 + 1,
                                 B56 - 1,
                                 B56,
                                 B56 + 1,
                                 (B28 - 1) * B28,
                                 BigRef::pow2(63) - 1,
                                 BigRef::pow2(63),
                                 BigRef::pow2(84) - 1};
  BigRef v = rng() % 3 == 0 ? edges[rng() % std::size(edges)] : random_big(rng, 3);
  return rng() % 2 ? -v : v;
}

// The decimal digits of a base-10^8 number.
std::string decimal_of(imptr d) {
  std::string s = d->head->value < 0 ? "-" : "";
  s += std::to_string(std::abs(d->head->value));
  for (numptr q = d->head->next; q != nullptr; q = q->next) {
    const std::string g = std::to_string(std::abs(q->value));
    s += std::string(8 - g.size(), '0') + g;
  }
  return s;
}

// One randomised round of every operation on a and b, into result records
// that held `old` before.
void check_pair(const BigRef& a, const BigRef& b, const BigRef& old) {
  SCOPED_TRACE("a = " + a.to_decimal() + ", b = " + b.to_decimal() + ", old = " + old.to_decimal());
  Num x(a), y(b);
  {  // sums and differences in place, and with itself
    Num s(a);
    fastsum(s, y);
    ASSERT_TRUE(valid_bigint(s));
    ASSERT_EQ(s.value(), a + b);
    fastdiff(s, y);
    ASSERT_EQ(s.value(), a);
    fastdiff(s, s);
    ASSERT_TRUE(valid_bigint(s));
    ASSERT_EQ(s.value(), BigRef(0));
    assign_ref(s, a);
    fastsum(s, s);
    ASSERT_EQ(s.value(), a + a);
  }
  {  // products into a fresh header, an older value, and an operand
    Num p(old), fresh;
    fast_mult(x, y, p);
    ASSERT_TRUE(valid_bigint(p));
    ASSERT_EQ(p.value(), a * b);
    multiply(x, y, fresh);
    ASSERT_TRUE(valid_bigint(fresh));
    ASSERT_EQ(fresh.value(), a * b);
    Num sq(a);
    fast_mult(sq, sq, sq);
    ASSERT_EQ(sq.value(), a * a);
    fast_mult(x, sq, sq);
    ASSERT_EQ(sq.value(), a * a * a);
    ASSERT_EQ(x.value(), a);
  }
  if (!b.is_zero()) {  // quotients: truncated, the remainder with the sign of a*b
    BigRef q, r;
    divmod(a, b, q, r);
    if (b.negative()) r = -r;
    Num quot(old), rem(old);
    divide(x, y, quot, rem);
    ASSERT_TRUE(valid_bigint(quot));
    ASSERT_TRUE(valid_bigint(rem));
    ASSERT_EQ(quot.value(), q);
    ASSERT_EQ(rem.value(), r);
    Num n(a), both(old);
    divide(n, y, n, both);  // the quotient replaces the dividend
    ASSERT_EQ(n.value(), q);
    ASSERT_EQ(both.value(), r);
    divide(x, y, both, both);  // quot and rem one record: it holds rem
    ASSERT_EQ(both.value(), r);
    if (!a.negative() && !b.negative()) {
      pos_divide(x, y, quot, rem);
      ASSERT_EQ(quot.value(), q);
      ASSERT_EQ(rem.value(), r);
    }
  }
  if (!a.is_zero() && !b.is_zero()) {  // GCDs and cofactors
    const BigRef g = BigRef::gcd(a, b);
    Num h(old), n(a);
    binary_gcd(x, y, h);
    ASSERT_TRUE(valid_bigint(h));
    ASSERT_EQ(h.value(), g);
    binary_gcd(n, y, n);  // the result may be the first operand
    ASSERT_EQ(n.value(), g);
    ASSERT_EQ(y.value(), b);
    Num gcd(old);
    number qn{}, qm{};
    bool gcd1 = false;
    extgcd(x, y, gcd, &qn, &qm, &gcd1);
    ASSERT_EQ(gcd.value(), g);
    ASSERT_EQ(gcd1, g == BigRef(1));
    if (gcd1) {  // the cofactors are the operands' own records
      ASSERT_EQ(qn.head, x->head);
      ASSERT_EQ(qm.head, y->head);
    } else {
      ASSERT_TRUE(valid_bigint(&qn));
      ASSERT_TRUE(valid_bigint(&qm));
      ASSERT_EQ(to_ref(&qn), a / g);
      ASSERT_EQ(to_ref(&qm), b / g);
      special_free(&qn);
      special_free(&qm);
    }
  }
  {  // decimal groups
    Num d(old);
    make_base_10(x, d);
    ASSERT_EQ(decimal_of(d), a.to_decimal());
    for (numptr l = d->head; l != nullptr; l = l->next) {
      ASSERT_LT(std::abs(l->value), 100000000);
      ASSERT_TRUE(l->value == 0 || (l->value < 0) == a.negative());
    }
    ASSERT_EQ(d->size,
              static_cast<std::int32_t>((decimal_of(d).size() - (a.negative() ? 1 : 0) + 7) / 8));
  }
}

TEST(SmallNumbers, AgreeWithTheReferenceAtTheLimbAndWordBoundaries) {
  // With the word paths and without them (the general routes for every
  // length), both against the reference.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 70);
  for (std::int32_t words : {2, 0}) {
    SCOPED_TRACE("word_number_limbs = " + std::to_string(words));
    ScopedValue<std::int32_t> w(word_number_limbs, words), s(short_mult_limbs, words == 0 ? 0 : 16);
    for (int i = 0; i < test_iterations(1500); ++i) {
      const BigRef old = rng() % 3 == 0 ? BigRef(0) : random_big(rng, 6);
      check_pair(edge_value(rng), edge_value(rng), old);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(SmallNumbers, ShortProductsOnBothSidesOfTheirLengthAgreeWithRows) {
  // Every pair of lengths up to 18 limbs (the short products end at 16),
  // against the rows without the short and word paths and the reference;
  // all-ones limbs are the carries' worst case.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 71);
  for (int la = 1; la <= 18; ++la) {
    for (int lb = 1; lb <= 18; ++lb) {
      for (int rep = 0; rep < test_iterations(2); ++rep) {
        const BigRef a =
            rep == 0 ? BigRef::pow2(static_cast<unsigned>(28 * la)) - 1 : random_big_exact(rng, la);
        const BigRef b = rep == 0 ? -(BigRef::pow2(static_cast<unsigned>(28 * lb)) - 1)
                                  : random_big_exact(rng, lb);
        SCOPED_TRACE(std::to_string(la) + " by " + std::to_string(lb) + " limbs");
        Num x(a), y(b), fast(random_big(rng, 40)), rows;
        fast_mult(x, y, fast);
        ASSERT_TRUE(valid_bigint(fast));
        ASSERT_EQ(fast.value(), a * b);
        ScopedValue<std::int32_t> w(word_number_limbs, 0), s(short_mult_limbs, 0);
        multiply(x, y, rows);
        ASSERT_TRUE(spec_equal(fast, rows));
      }
    }
  }
}

TEST(SmallNumbers, KnownValues) {
  NodeBalance balance;
  using L = std::vector<std::int32_t>;
  // (2^56 - 1)^2 = (2^56 - 2) 2^56 + 1: four limbs, three more than the
  // result record held.
  Num a(B56 - 1), p(5), shorter(3);
  const long before = live_nodes().limbs;
  fast_mult(a, a, p);
  EXPECT_EQ(limbs_of(p), (L{268435455, 268435454, 0, 1}));
  EXPECT_EQ(live_nodes().limbs - before, 3);
  fast_mult(shorter, shorter, p);  // and three fewer again
  EXPECT_EQ(live_nodes().limbs - before, 0);
  // 2^56 + 5 - 2^56 = 5 leaves one limb; -(2^28) - 1 + 1 = -2^28.
  Num s(B56 + 5), t(B56);
  fastdiff(s, t);
  EXPECT_EQ(limbs_of(s), (L{5}));
  Num u(-B28 - 1), one(1);
  fastsum(u, one);
  EXPECT_EQ(limbs_of(u), (L{-1, 0}));
  // -(2^56 - 1) / 2^28 = -(2^28 - 1) rem -(2^28 - 1).
  Num n(-(B56 - 1)), d(B28), q, r;
  divide(n, d, q, r);
  EXPECT_EQ(limbs_of(q), (L{-268435455}));
  EXPECT_EQ(limbs_of(r), (L{-268435455}));
  // gcd(2^55, 3 2^40) = 2^40, two limbs.
  Num g1(BigRef::pow2(55)), g2(BigRef(3) * BigRef::pow2(40)), g;
  binary_gcd(g1, g2, g);
  EXPECT_EQ(limbs_of(g), (L{4096, 0}));
  // 2^56 - 1 = 72057594037927935: the groups 7, 20575940, 37927935.
  Num big(B56 - 1), dec;
  make_base_10(big, dec);
  EXPECT_EQ(limbs_of(dec), (L{7, 20575940, 37927935}));
  Num zero(0);
  make_base_10(zero, dec);
  EXPECT_EQ(limbs_of(dec), (L{0}));
}

TEST(SmallNumbers, WordModeLeavesTheOldLimbsOfAProduct) {
  // In word mode a number's limbs are not its own: a short product does not
  // take the old list over.
  Num x(BigRef(-12345)), y(B28 + 3), ans(BigRef::pow2(70));
  numptr old_head = ans->head;
  numptr old_tail = ans->tail;
  {
    ArithModeGuard guard;
    lintmode = true;
    fast_mult(x, y, ans);
  }
  EXPECT_EQ(ans.value(), BigRef(-12345) * (B28 + 3));
  EXPECT_EQ(old_head->value, 1 << 14);  // 2^70 = 2^14 B^2: still intact
  EXPECT_EQ(old_head->next->next, old_tail);
  free_limb_list(old_head, old_tail);
}

// Numbers set from native words in place, over every length of the
// number before and after: the value read back through the reference
// integers and the limb readers, and the limbs in the fewest needed.
TEST(WideNumbers, SetInPlaceAcrossLimbLengths) {
  NodeBalance balance;
  std::vector<__int128> values = {0, 1, -1};
  for (int k : {27, 28, 55, 56, 61, 83, 84, 111, 112, 126})
    for (__int128 d : {-1, 0, 1}) {
      const __int128 v = (__int128{1} << k) + d;
      values.push_back(v);
      values.push_back(-v);
    }
  for (const __int128 v : values)
    for (int before : {0, 1, 2, 3, 5}) {
      imptr x = from_ref(before == 0 ? BigRef(0) : BigRef::pow2(unsigned(28 * before - 1)));
      const __int128 m = v < 0 ? -v : v;
      if (m < (__int128{1} << 62))
        set_word_number(static_cast<std::int64_t>(v), x);
      else
        set_wide_number(v, x);
      const auto chunk = [m](int at) {
        return BigRef(static_cast<std::int64_t>((m >> at) & ((__int128{1} << 43) - 1)));
      };
      BigRef want = (chunk(86) * BigRef::pow2(43) + chunk(43)) * BigRef::pow2(43) + chunk(0);
      if (v < 0) want = -want;
      EXPECT_EQ(to_ref(x), want) << before;
      std::int32_t limbs = 1;
      for (__int128 t = m >> 28; t != 0; t >>= 28) ++limbs;
      EXPECT_EQ(x->size, limbs) << before;
      if (x->size <= 4) {
        EXPECT_TRUE(wide_number_value(x) == v) << before;
      }
      std::int64_t w = 0;
      EXPECT_EQ(small_number_value(x, &w), limbs <= 2) << before;
      if (limbs <= 2) {
        EXPECT_TRUE(w == v) << before;
      }
      free_imag(&x);
    }
}

}  // namespace
}  // namespace tavrin::test
