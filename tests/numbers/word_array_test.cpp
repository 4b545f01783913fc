// The 64-bit word routes of the big-integer product and division against
// the 28-bit limb routes below their thresholds (the base cases) and the
// reference type, with every cut-off pushed to its extremes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/integer_gcd.h"
#include "numbers/ntt.h"
#include "numbers/word_array.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

// A value of exactly `limbs` limbs whose shape stresses carries: random,
// all ones, a power of the limb base minus small values, long zero runs.
BigRef shaped(std::mt19937_64& rng, int limbs) {
  switch (rng() % 5) {
    case 0: return BigRef::pow2(28 * static_cast<unsigned>(limbs)) - BigRef(1);
    case 1:
      return BigRef::pow2(28 * static_cast<unsigned>(limbs) - 1) +
             BigRef(static_cast<std::int64_t>(rng() % 7));
    case 2: {
      BigRef v = random_big_exact(rng, std::max(1, limbs / 3));
      return v * BigRef::pow2(28 * static_cast<unsigned>(limbs - std::max(1, limbs / 3))) +
             BigRef(1);
    }
    default: return random_big_exact(rng, limbs);
  }
}

// The product by both routes: the word route with the given Karatsuba,
// Toom-3 and transform cut-offs, and the limb route.
void check_product(const BigRef& a, const BigRef& b, std::int32_t kara, std::int32_t toom,
                   std::int32_t ntt) {
  SCOPED_TRACE("sizes " + std::to_string(a.bit_length()) + " x " + std::to_string(b.bit_length()) +
               " bits, word Karatsuba from " + std::to_string(kara) + ", Toom-3 from " +
               std::to_string(toom) + ", transforms from " + std::to_string(ntt));
  Num x(a), y(b), wide, base;
  {
    ScopedValue<std::int32_t> on(wide_mult_limbs, 1), k(wide_karatsuba_words, kara),
        t(wide_toom3_words, toom), f(wide_ntt_words, ntt);
    fast_mult(x, y, wide);
  }
  {
    ScopedValue<std::int32_t> off(wide_mult_limbs, never);
    fast_mult(x, y, base);
  }
  ASSERT_TRUE(valid_bigint(wide));
  ASSERT_EQ(wide.value(), a * b);
  ASSERT_EQ(wide.value(), base.value());
  ASSERT_EQ(x.value(), a);
}

TEST(WideProducts, AgreeWithTheLimbRoutesOnBothSidesOfEveryCutOff) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  const std::int32_t cutoffs[][3] = {{2, 3, never},      {3, never, never},    {5, 6, 9},
                                     {5, never, 1},      {24, 40, never},      {32, 160, 30},
                                     {never, never, 20}, {never, never, never}};
  for (const auto& [kara, toom, ntt] : cutoffs) {
    for (int i = 0; i < test_iterations(30); ++i) {
      const int na = 1 + static_cast<int>(rng() % 160);
      int nb = 1 + static_cast<int>(rng() % 160);
      if (i % 4 == 0) nb = std::max(1, na / 5);  // unbalanced
      if (i % 7 == 0) nb = na;                   // equal
      const BigRef a = i % 2 ? -shaped(rng, na) : shaped(rng, na);
      const BigRef b = shaped(rng, nb);
      check_product(a, b, kara, toom, ntt);
      if (HasFatalFailure()) return;
    }
  }
  // Squares in place, on both sides of the default threshold (20 limbs).
  for (int n : {19, 20, 21, 60}) {
    const BigRef a = random_big_exact(rng, n);
    Num x(a);
    fast_mult(x, x, x);
    EXPECT_EQ(x.value(), a * a);
  }
  Num zero(0), big(random_big_exact(rng, 90)), out;
  ScopedValue<std::int32_t> on(wide_mult_limbs, 1);
  fast_mult(zero, big, out);
  EXPECT_EQ(out.value(), BigRef(0));
}

TEST(WideProducts, LongestOperandsByTransformsAgreeWithTheLimbRoute) {
  // A product whose result has the greatest length, 16,384 by 16,383 limbs
  // (the widest transforms), and an unbalanced one, by the default word
  // route against the limb route; all-ones factors have the largest
  // coefficients the chunk width allows for.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 66);
  const BigRef ones = BigRef::pow2(28 * 16384) - BigRef(1);
  for (const auto& [a, b] :
       {std::pair{ones, BigRef::pow2(28 * 16383) - BigRef(1)},
        std::pair{-random_big_exact(rng, 16384), random_big_exact(rng, 16383)},
        std::pair{random_big_exact(rng, 30000), random_big_exact(rng, 2767)}}) {
    Num x(a), y(b), wide, base;
    fast_mult(x, y, wide);
    {
      ScopedValue<std::int32_t> off(wide_mult_limbs, never);
      fast_mult(x, y, base);
    }
    ASSERT_TRUE(valid_bigint(wide));
    ASSERT_EQ(limbs_of(wide), limbs_of(base));
  }
}

TEST(WideProducts, ProductsPastTheWidestTransformSplitIntoTransforms) {
  // Operands too long for one transform (the flat products of long
  // polynomials reach them; single numbers do not) are cut into pieces
  // transformed once each, their products summed on each diagonal. Against
  // the route without transforms, and products of all-ones words (every
  // chunk at its largest, several products on a diagonal) against their
  // closed forms.
  using kit::word;
  std::mt19937_64 rng(test_seed() + 67);
  auto random_words = [&](std::int32_t n) {
    std::vector<word> v(static_cast<std::size_t>(n));
    for (word& w : v) w = rng() % 4 == 0 ? ~word{0} : rng();
    return v;
  };
  // Against the route without transforms; or, for the balanced product
  // (too slow by that route), its residues modulo 2^61 - 1 and a random
  // odd modulus against those of the factors.
  auto both_routes = [&](const std::vector<word>& a, const std::vector<word>& b, bool plain_route) {
    const auto na = static_cast<std::int32_t>(a.size()), nb = static_cast<std::int32_t>(b.size());
    SCOPED_TRACE(std::to_string(na) + " x " + std::to_string(nb) + " words");
    ASSERT_FALSE(kit::wmul_ntt_fits(na, nb));
    std::vector<word> split(a.size() + b.size()), plain(a.size() + b.size());
    kit::wmul(split.data(), a.data(), na, b.data(), nb);
    if (!plain_route) {
      for (const word m : {(word{1} << 61) - 1, (rng() >> 2) | 1}) {
        auto residue = [m](const std::vector<word>& v) {
          unsigned __int128 r = 0;
          for (auto w = v.rbegin(); w != v.rend(); ++w) r = ((r << 64) | *w) % m;
          return r;
        };
        EXPECT_EQ(residue(split), residue(a) * residue(b) % m) << "modulo " << m;
      }
      return;
    }
    {
      ScopedValue<std::int32_t> off(wide_ntt_words, never);
      kit::wmul(plain.data(), a.data(), na, b.data(), nb);
    }
    ASSERT_TRUE(split == plain);
  };
  both_routes(random_words(4500000), random_words(4460001), false);  // balanced: three pieces each
  both_routes(random_words(12000000), random_words(300), true);      // unbalanced: one piece of b
  // One piece each, where one transform also holds the product.
  const std::vector<word> a = random_words(200000), b = random_words(150001);
  std::vector<word> one(a.size() + b.size()), pieces(a.size() + b.size());
  kit::wmul_ntt(one.data(), a.data(), 200000, b.data(), 150001);
  kit::wmul_ntt_pieces(pieces.data(), a.data(), 200000, b.data(), 150001);
  EXPECT_TRUE(one == pieces);
  // By pieces against one transform: 15 pieces of a by 5 of b (a's pieces
  // in one group, the most), 16 by 5 (groups of 5 pieces of a, the last of
  // one), 17 by 7 (sums folded twice), and a square of 15 pieces.
  for (const auto& [na, nb] : {std::pair{65000, 20000}, std::pair{70000, 20000},
                               std::pair{75000, 30000}, std::pair{70000, 0}}) {
    SCOPED_TRACE(std::to_string(na) + " x " + std::to_string(nb) + " words by pieces");
    const std::vector<word> x = random_words(na), y = random_words(nb == 0 ? na : nb);
    const word* yp = nb == 0 ? nullptr : y.data();
    std::vector<word> whole(x.size() + y.size()), cut(x.size() + y.size());
    kit::wmul_ntt(whole.data(), x.data(), na, yp, nb);
    kit::wmul_ntt_pieces(cut.data(), x.data(), na, yp, nb);
    EXPECT_TRUE(whole == cut);
  }

  // (W^na - 1)(W^nb - 1) = W^(na+nb) - W^na - W^nb + 1, nb <= na: low
  // words 1, 0, ..., 0 up to nb, then all ones to na, W - 2 at na, then
  // all ones.
  for (const auto& [na, nb] : {std::pair{4500000, 4400000}, std::pair{4400000, 4400000}}) {
    const std::vector<word> x(static_cast<std::size_t>(na), ~word{0}),
        y(static_cast<std::size_t>(nb), ~word{0});
    std::vector<word> got(x.size() + y.size());
    kit::wmul(got.data(), x.data(), na, y.data(), nb);
    std::vector<word> want(got.size(), ~word{0});
    std::fill(want.begin(), want.begin() + nb, word{0});
    want[0] = 1;
    want[static_cast<std::size_t>(na)] = ~word{0} - 1;
    EXPECT_TRUE(got == want) << na << " x " << nb;
  }

  // (W^n - 1)^2 = W^2n - 2 W^n + 1: low words 1, 0, ..., 0; high words
  // W - 2, then all ones.
  const std::int32_t n = 4400000;
  ASSERT_FALSE(kit::wmul_ntt_fits(n, n));
  const std::vector<word> ones(static_cast<std::size_t>(n), ~word{0});
  std::vector<word> sq(2 * ones.size());
  kit::wsqr(sq.data(), ones.data(), n);
  std::vector<word> want(2 * ones.size(), ~word{0});
  std::fill(want.begin(), want.begin() + n, word{0});
  want[0] = 1;
  want[static_cast<std::size_t>(n)] = ~word{0} - 1;
  EXPECT_TRUE(sq == want);
}

// The lengths n at which wmul_ntt_splits(n, n / ratio) changes, scanning
// n up to `most` words: the steps of the transform lengths.
std::vector<std::int32_t> split_steps(std::int32_t ratio, std::int32_t most) {
  std::vector<std::int32_t> steps;
  bool was = false;
  for (std::int32_t n = ratio; n <= most; ++n) {
    const bool now = kit::wmul_ntt_splits(n, std::max(1, n / ratio));
    if (now != was) steps.push_back(n);
    was = now;
  }
  return steps;
}

// Restores the butterflies' own choice at the end of a test.
struct ScalarTransforms {
  explicit ScalarTransforms(bool on) { kit::force_scalar_ntt(on); }
  ~ScalarTransforms() { kit::force_scalar_ntt(false); }
};

TEST(WideProducts, SplitTransformsAgreeWithOneTransformOfTwiceTheLength) {
  // Products of at most 3/4 of a power-of-two transform length 2N go by
  // two transforms of lengths N and N/2 (and, forced here, by the twin
  // pair of two of length N). Against the one transform of
  // length 2N, on both sides of every step where the split route starts
  // and stops, balanced, unbalanced and squares, eight lanes and one; and
  // all-ones operands against (W^na - 1)(W^nb - 1) = W^(na+nb) - W^na -
  // W^nb + 1.
  using kit::word;
  std::mt19937_64 rng(test_seed() + 68);
  auto random_words = [&](std::int32_t n) {
    std::vector<word> v(static_cast<std::size_t>(n));
    for (word& w : v) w = rng() % 4 == 0 ? ~word{0} : rng() % 8 == 0 ? 0 : rng();
    return v;
  };
  auto all_ones_product = [](std::int32_t na, std::int32_t nb) {
    std::vector<word> want(static_cast<std::size_t>(na + nb), ~word{0});
    std::fill(want.begin(), want.begin() + std::min(na, nb), word{0});
    want[0] = 1;
    want[static_cast<std::size_t>(std::max(na, nb))] = ~word{0} - 1;
    return want;
  };
  auto check = [&](std::int32_t na, std::int32_t nb, bool square) {
    SCOPED_TRACE(std::to_string(na) + " x " + std::to_string(nb) + (square ? " square" : ""));
    for (bool ones : {false, true}) {
      const std::vector<word> a =
          ones ? std::vector<word>(static_cast<std::size_t>(na), ~word{0}) : random_words(na);
      const std::vector<word> b = square ? a
                                  : ones ? std::vector<word>(static_cast<std::size_t>(nb), ~word{0})
                                         : random_words(nb);
      const word* bp = square ? nullptr : b.data();
      std::vector<word> whole(a.size() + b.size()), chosen(whole.size()), split(whole.size());
      kit::wmul_ntt_whole(whole.data(), a.data(), na, bp, nb);
      kit::wmul_ntt(chosen.data(), a.data(), na, bp, nb);
      ASSERT_TRUE(chosen == whole);
      if (kit::wmul_ntt_splits(na, nb)) {
        kit::wmul_ntt_split(split.data(), a.data(), na, bp, nb);
        ASSERT_TRUE(split == whole);
      }
      kit::wmul_ntt_twin(split.data(), a.data(), na, bp, nb);
      ASSERT_TRUE(split == whole) << "twin pair";
      if (ones) {
        ASSERT_TRUE(whole == all_ones_product(na, nb));
      }
    }
  };
  for (bool scalar : {false, true}) {
    ScalarTransforms lanes(scalar);
    for (const std::int32_t ratio : {1, 3, 50}) {
      const std::vector<std::int32_t> steps = split_steps(ratio, 9000);
      ASSERT_GE(steps.size(), 4u);
      for (const std::int32_t n : steps) {
        for (const std::int32_t na : {n - 1, n}) {
          check(na, std::max(1, na / ratio), false);
          if (ratio == 1) check(na, na, true);
          if (HasFatalFailure()) return;
        }
      }
    }
  }
  check(300000, 300000, true);
  check(290000, 310000, false);
}

TEST(WideProducts, SplitAndTwinTransformsReachPastTheWidestTransform) {
  // Products of 2^23 to 3 2^22 chunks go by transforms of 2^23 and 2^22
  // where no one transform holds them, those up to 2^24 chunks by the twin
  // pair of 2^23: random operands against the pieces' route and all-ones
  // ones against the closed form. Both sides of the split's end and the
  // twin's end, an unbalanced twin product and a twin square.
  using kit::word;
  std::mt19937_64 rng(test_seed() + 69);
  // The last n for which pred(n, n) holds, from a start where it does.
  auto last_of = [](std::int32_t n, auto pred) {
    EXPECT_TRUE(pred(n, n));
    while (pred(n + 1000, n + 1000)) n += 1000;
    while (pred(n + 1, n + 1)) ++n;
    return n;
  };
  const std::int32_t split_end = last_of(2240000, kit::wmul_ntt_splits);
  const std::int32_t twin_end = last_of(split_end + 1, kit::wmul_ntt_twins);
  // Random operands against the pieces (squares too), or all-ones ones
  // against the closed form.
  auto check = [&](std::int32_t na, std::int32_t nb, bool fits, bool twin, bool square) {
    SCOPED_TRACE(std::to_string(na) + " x " + std::to_string(nb) + (square ? " square" : ""));
    ASSERT_EQ(kit::wmul_ntt_fits(na, nb), fits);
    ASSERT_EQ(kit::wmul_ntt_twins(na, nb), twin);
    std::vector<word> a(static_cast<std::size_t>(na)), got(static_cast<std::size_t>(na + nb)),
        want(got.size());
    if (square || na != nb) {
      for (word& w : a) w = rng() % 4 == 0 ? ~word{0} : rng();
      const std::vector<word> b(a.begin(), a.begin() + nb);
      if (square) {
        kit::wsqr(got.data(), a.data(), na);
        kit::wmul_ntt_pieces(want.data(), a.data(), na, nullptr, na);
      } else {
        kit::wmul(got.data(), a.data(), na, b.data(), nb);
        kit::wmul_ntt_pieces(want.data(), a.data(), na, b.data(), nb);
      }
      ASSERT_TRUE(got == want);
      return;
    }
    const std::vector<word> ones(static_cast<std::size_t>(na), ~word{0});
    kit::wmul(got.data(), ones.data(), na, ones.data(), nb);
    std::fill(want.begin(), want.end(), ~word{0});
    std::fill(want.begin(), want.begin() + nb, word{0});
    want[0] = 1;
    want[static_cast<std::size_t>(na)] = ~word{0} - 1;
    ASSERT_TRUE(got == want);
  };
  ASSERT_FALSE(kit::wmul_ntt_fits(twin_end + 1, twin_end + 1));
  for (const auto& [na, nb, fits, twin] :
       {std::tuple{split_end, split_end, true, false},
        std::tuple{split_end + 1, split_end + 1, true, true},
        std::tuple{twin_end, twin_end, true, true}, std::tuple{7200000, 1000000, true, true}}) {
    check(na, nb, fits, twin, false);
    if (HasFatalFailure()) return;
  }
  check(twin_end, twin_end, true, true, true);
}

// The division by both routes; the word route with the given recursion cut-off.
void check_division(const BigRef& n, const BigRef& d, std::int32_t rec) {
  SCOPED_TRACE("n " + std::to_string(n.bit_length()) + " bits, d " +
               std::to_string(d.bit_length()) + " bits, recursion from " + std::to_string(rec) +
               " words");
  Num x(n), y(d), q1, r1, q2, r2, r3;
  {
    ScopedValue<std::int32_t> on(wide_divide_limbs, 1), k(wide_divide_words, rec);
    divide(x, y, q1, r1);
    if (!n.negative() && !d.negative())
      pos_divide_noq(x->head, y->head, y->tail, static_cast<std::int16_t>(x->size),
                     static_cast<std::int16_t>(y->size), r3);
  }
  {
    ScopedValue<std::int32_t> off(wide_divide_limbs, never);
    divide(x, y, q2, r2);
  }
  ASSERT_TRUE(valid_bigint(q1));
  ASSERT_TRUE(valid_bigint(r1));
  BigRef q = n.abs() / d.abs(), r = n.abs() % d.abs();
  if (n.negative() != d.negative()) {
    q = -q;
    r = -r;
  }
  ASSERT_EQ(q1.value(), q);
  ASSERT_EQ(r1.value(), r);
  ASSERT_EQ(q2.value(), q);
  ASSERT_EQ(r2.value(), r);
  if (!n.negative() && !d.negative()) {
    ASSERT_EQ(r3.value(), r);
  }
  ASSERT_EQ(x.value(), n);
}

TEST(WideProducts, SquaresAgreeWithProducts) {
  // wsqr against the schoolbook product of the operand by itself, by rows,
  // Karatsuba's recursion, Toom-3 and transforms from every cut-off, across
  // lengths around them; all-ones words are the carries' worst case.
  std::mt19937_64 rng(test_seed() + 64);
  const std::int32_t cutoffs[][3] = {{2, 3, never},    {3, never, never}, {32, 40, never},
                                     {32, 160, never}, {never, never, 1}, {never, never, never}};
  for (const auto& [kara, toom, ntt] : cutoffs) {
    ScopedValue<std::int32_t> k(wide_karatsuba_words, kara), t(wide_toom3_words, toom),
        f(wide_ntt_words, ntt);
    for (int n : {1, 2, 3, 4, 5, 7, 9, 10, 31, 32, 33, 63, 64, 65, 100, 161, 257, 500}) {
      SCOPED_TRACE("n = " + std::to_string(n) + ", Karatsuba from " + std::to_string(kara) +
                   ", Toom-3 from " + std::to_string(toom) + ", transforms from " +
                   std::to_string(ntt));
      std::vector<kit::word> a(static_cast<std::size_t>(n));
      for (auto& w : a) w = rng() % 4 == 0 ? ~kit::word{0} : rng();
      std::vector<kit::word> sq(2 * a.size()), pr(2 * a.size());
      kit::wsqr(sq.data(), a.data(), n);
      kit::wmul_rows(pr.data(), a.data(), n, a.data(), n);
      ASSERT_EQ(sq, pr);
    }
  }
}

// Restores the row kernels' own choice at the end of a test.
struct PortableRows {
  explicit PortableRows(bool on) { kit::force_portable_rows(on); }
  ~PortableRows() { kit::force_portable_rows(false); }
};

TEST(WideRows, CarryChainsAgreeWithThePortableLoops) {
  // Every length up to a few blocks of four and past them, words biased to
  // all ones (the longest carries): each row kernel on both routes, a row
  // added and taken back leaves the words as they were, and the squares
  // equal the products of an operand by itself.
  std::mt19937_64 rng(test_seed() + 65);
  SCOPED_TRACE(kit::rows_by_carry_chains() ? "carry chains against portable loops"
                                           : "portable loops only");
  auto words = [&](int n) {
    std::vector<kit::word> v(static_cast<std::size_t>(n));
    for (auto& w : v) w = rng() % 3 == 0 ? ~kit::word{0} : rng();
    return v;
  };
  for (int n = 1; n <= 41; n += n < 12 ? 1 : 7) {
    SCOPED_TRACE("n = " + std::to_string(n));
    const auto a = words(n), b = words(n / 2 + 1), r0 = words(n);
    const kit::word m = rng() % 2 ? ~kit::word{0} : rng();
    std::vector<kit::word> out[2][4];
    kit::word carry[2][3];
    for (int portable = 0; portable < 2; ++portable) {
      PortableRows mode(portable == 1);
      auto& o = out[portable];
      o[0] = r0;
      carry[portable][0] = kit::waddmul_1(o[0].data(), a.data(), n, m);
      o[1] = o[0];
      carry[portable][1] = kit::wsubmul_1(o[1].data(), a.data(), n, m);
      ASSERT_EQ(o[1], r0) << "a row added and taken back";
      ASSERT_EQ(carry[portable][1], carry[portable][0]);
      o[1].assign(static_cast<std::size_t>(n), 0);
      carry[portable][2] = kit::wmul_1(o[1].data(), a.data(), n, m);
      o[2].assign(a.size() + b.size(), 0);
      kit::wmul_rows(o[2].data(), a.data(), n, b.data(), static_cast<std::int32_t>(b.size()));
      o[3].assign(2 * a.size(), 0);
      kit::wsqr_rows(o[3].data(), a.data(), n);
      std::vector<kit::word> aa(2 * a.size());
      kit::wmul_rows(aa.data(), a.data(), n, a.data(), n);
      ASSERT_EQ(o[3], aa);
    }
    for (int k = 0; k < 4; ++k) ASSERT_EQ(out[0][k], out[1][k]) << "kernel " << k;
    for (int k = 0; k < 3; ++k) ASSERT_EQ(carry[0][k], carry[1][k]) << "carry " << k;
  }
}

TEST(WideRows, SumsAndDifferencesCarryThroughEveryPlace) {
  // Every length up to a few blocks of four and past them, words biased to
  // all ones: the sum and difference place by place in 128 bits, a sum
  // taken back (in place, the result over its operand) gives the operand
  // again with the borrow equal to the carry.
  std::mt19937_64 rng(test_seed() + 66);
  for (int n = 1; n <= 45; n += n < 13 ? 1 : 8) {
    SCOPED_TRACE("n = " + std::to_string(n));
    std::vector<kit::word> a(static_cast<std::size_t>(n)), b(a.size()), sum(a.size()),
        diff(a.size());
    for (int i = 0; i < n; ++i) {
      a[i] = rng() % 2 == 0 ? ~kit::word{0} : rng();
      b[i] = rng() % 3 == 0 ? ~kit::word{0} : (rng() % 3 == 0 ? 0 : rng());
    }
    kit::word carry = 0, borrow = 0;
    for (int i = 0; i < n; ++i) {
      const kit::dword s = static_cast<kit::dword>(a[i]) + b[i] + carry;
      sum[i] = static_cast<kit::word>(s);
      carry = static_cast<kit::word>(s >> 64);
      const kit::dword d = static_cast<kit::dword>(a[i]) - b[i] - borrow;
      diff[i] = static_cast<kit::word>(d);
      borrow = static_cast<kit::word>(d >> 64) & 1;
    }
    std::vector<kit::word> r(a.size());
    ASSERT_EQ(kit::wadd_n(r.data(), a.data(), b.data(), n), carry);
    ASSERT_EQ(r, sum);
    ASSERT_EQ(kit::wsub_n(r.data(), r.data(), b.data(), n), carry);
    ASSERT_EQ(r, a);
    ASSERT_EQ(kit::wsub_n(r.data(), a.data(), b.data(), n), borrow);
    ASSERT_EQ(r, diff);
  }
}

TEST(WideDivision, AgreesWithTheLimbRouteOnBothSidesOfEveryCutOff) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 1);
  for (std::int32_t rec : {2, 3, 4, 7, 40, never}) {
    for (int i = 0; i < test_iterations(30); ++i) {
      const int nd = 1 + static_cast<int>(rng() % 120);
      const int nq = 1 + static_cast<int>(rng() % 150);
      const BigRef d = shaped(rng, nd);
      if (d.is_zero()) continue;
      // Planted: n = q d + r with r of every size up to d - 1.
      const BigRef qv = shaped(rng, nq);
      BigRef r =
          i % 3 == 0 ? d - BigRef(1) : (i % 3 == 1 ? BigRef(0) : random_big(rng, nd).abs() % d);
      const BigRef n = qv * d + r;
      check_division(i % 5 == 0 ? -n : n, i % 4 == 0 ? -d : d, rec);
      if (HasFatalFailure()) return;
      // Dividends shorter than, or as long as, the divisor.
      check_division(random_big(rng, nd), d, rec);
      if (HasFatalFailure()) return;
    }
  }
}

TEST(WideDivision, DivisorsAtEveryNormalisingShift) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 2);
  ScopedValue<std::int32_t> k(wide_divide_words, 3);
  for (unsigned bits = 57; bits <= 57 + 64 * 9; bits += 7) {
    const BigRef d = BigRef::pow2(bits) - BigRef(static_cast<std::int64_t>(1 + rng() % 1000));
    const BigRef top = BigRef::pow2(bits - 1) + BigRef(1);  // a small top word after shifting
    for (const BigRef& dv : {d, top}) {
      const BigRef n = random_big_exact(rng, static_cast<int>(2 * bits / 28 + 3));
      check_division(n, dv, 3);
      if (HasFatalFailure()) return;
      // Quotient digits of all ones: n = (B^k - 1) d + (d - 1).
      check_division((BigRef::pow2(64 * 5) - BigRef(1)) * dv + dv - BigRef(1), dv, 3);
      if (HasFatalFailure()) return;
    }
  }
}

// binary_gcd and extgcd by Lehmer's method on words against the limb
// routes and the planted GCD g of a = x g, b = y g.
void check_gcd_routes(const BigRef& a, const BigRef& b, const BigRef& g) {
  SCOPED_TRACE("n " + std::to_string(a.bit_length()) + " bits, m " +
               std::to_string(b.bit_length()) + " bits");
  Num n(a), m(b);
  for (std::int32_t cut : {1, never}) {
    ScopedValue<std::int32_t> at(wide_gcd_limbs, cut);
    Num ans(5);
    binary_gcd(n, m, ans);
    ASSERT_TRUE(valid_bigint(ans));
    ASSERT_EQ(ans.value(), g);
    Num gcd(11), qn, qm;
    bool gcd1 = false;
    extgcd(n, m, gcd, qn, qm, &gcd1);
    ASSERT_EQ(gcd.value(), g);
    ASSERT_EQ(gcd1, g == BigRef(1));
    if (gcd1) {  // the cofactors are the operands' own records
      ASSERT_EQ(qn->head, n->head);
      ASSERT_EQ(qm->head, m->head);
      qn->head = qn->tail = qm->head = qm->tail = nullptr;
      qn->size = qm->size = 0;
    } else {
      ASSERT_TRUE(valid_bigint(qn));
      ASSERT_EQ(qn.value() * g, a);
      ASSERT_EQ(qm.value() * g, b);
    }
    ASSERT_EQ(n.value(), a);
    ASSERT_EQ(m.value(), b);
  }
}

TEST(WideGcd, AgreesWithTheLimbRoutesAndPlantedFactors) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  for (int i = 0; i < test_iterations(60); ++i) {
    const int lg = 1 + static_cast<int>(rng() % 40);
    const int lx = 1 + static_cast<int>(rng() % 60);
    int ly = 1 + static_cast<int>(rng() % 60);
    if (i % 5 == 0) ly = 1;  // very different lengths: division steps
    BigRef g = shaped(rng, lg).abs();
    if (g.is_zero()) g = BigRef(1);
    if (i % 6 == 0) g = BigRef(1);
    // Cofactors x and x k + 1 are coprime.
    const BigRef x = shaped(rng, lx).abs() + BigRef(1);
    const BigRef y =
        i % 3 ? x * shaped(rng, ly).abs() + BigRef(1) : shaped(rng, ly).abs() + BigRef(1);
    const BigRef gg = BigRef::gcd(x, y) * g;
    check_gcd_routes(i % 2 ? -(x * g) : x * g, i % 4 == 0 ? -(y * g) : y * g, gg);
    if (HasFatalFailure()) return;
  }
  // Equal operands, multiples, and Fibonacci neighbours (every quotient 1).
  const BigRef v = random_big_exact(rng, 50).abs();
  check_gcd_routes(v, v, v);
  check_gcd_routes(v * BigRef(12345), v, v);
  BigRef f0(0), f1(1);
  for (int k = 0; k < 3000; ++k) {
    const BigRef t = f0 + f1;
    f0 = f1;
    f1 = t;
  }
  check_gcd_routes(f1, f0, BigRef(1));
  check_gcd_routes(f1 * v, f0 * v, v);
}

TEST(WideGcd, QuotientsBeyondEveryWordBoundAndTheLongestOperands) {
  // Single Euclidean quotients near 2^48, 2^62, 2^64 and 2^120 (the
  // leading bits then decide one step, or none within the matrix bound),
  // against the limb route; then the longest operands with a planted
  // factor g and coprime cofactors x and x k + 1, whose GCD is g.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 67);
  for (int bits : {47, 48, 61, 62, 63, 64, 65, 120, 200}) {
    const BigRef b = random_big_exact(rng, 1 + static_cast<int>(rng() % 12)).abs() + BigRef(1);
    const BigRef q = BigRef::pow2(bits) + random_big_exact(rng, 1).abs();
    const BigRef r = random_big_exact(rng, 1 + static_cast<int>(rng() % 3)).abs() % b;
    const BigRef a = b * q + r;
    check_gcd_routes(a, b, BigRef::gcd(b, r));
    if (HasFatalFailure()) return;
  }
  const BigRef g = random_big_exact(rng, 8000).abs() + BigRef(1);
  const BigRef x = random_big_exact(rng, 24760).abs() + BigRef(1);
  const BigRef y = x * BigRef(12345) + BigRef(1);
  Num gn(g), xn(x), yn(y), n, m, ans;
  fast_mult(xn, gn, n);
  fast_mult(yn, gn, m);
  ASSERT_LE(m->size, 32767);
  binary_gcd(n, m, ans);
  ASSERT_EQ(ans.value(), g);
}

TEST(WideDivision, LongestOperandsAndAZeroDivisor) {
  // 32,767 by 16,383 limbs by the word route against the limb route; a zero
  // divisor on the word route builds nothing.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 68);
  Num x(-random_big_exact(rng, 32767)), y(random_big_exact(rng, 16383)), q1(3), r1(4), q2, r2;
  divide(x, y, q1, r1);
  {
    ScopedValue<std::int32_t> off(wide_divide_limbs, never);
    divide(x, y, q2, r2);
  }
  ASSERT_TRUE(valid_bigint(q1));
  ASSERT_TRUE(valid_bigint(r1));
  ASSERT_EQ(limbs_of(q1), limbs_of(q2));
  ASSERT_EQ(limbs_of(r1), limbs_of(r2));
  ScopedValue<std::int32_t> on(wide_divide_limbs, 1);
  Num zero(0), q(3), r(4);
  divide(x, zero, q, r);
  EXPECT_EQ(q.value(), BigRef(3));
  EXPECT_EQ(r.value(), BigRef(4));
}

TEST(WideDecimal, AgreesWithTheTableRouteAndRepeatedDivision) {
  load_data_tables();
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5);
  for (std::int32_t split : {4, 5, 12}) {
    ScopedValue<std::int32_t> words(wide_decimal_words, split);
    for (int i = 0; i < test_iterations(25); ++i) {
      const int limbs = 1 + static_cast<int>(rng() % (i % 5 == 0 ? 400 : 90));
      BigRef v = shaped(rng, limbs);
      if (i % 2) v = -v;
      if (i % 9 == 0)
        v = BigRef::from_decimal("1" + std::string(static_cast<std::size_t>(8 * limbs), '0'));
      SCOPED_TRACE(v.to_decimal());
      Num n(v), wide, table, slow;
      {
        ScopedValue<std::int32_t> on(wide_decimal_limbs, 1);
        verybig_base_10(n->head, n->tail, static_cast<std::int16_t>(n->size), wide);
      }
      {
        ScopedValue<std::int32_t> off(wide_decimal_limbs, never);
        verybig_base_10(n->head, n->tail, static_cast<std::int16_t>(n->size), table);
      }
      ASSERT_EQ(limbs_of(wide), limbs_of(table));
      ASSERT_EQ(wide->size, table->size);
      if (n->size <= 100) {
        make_base_10(n, slow);
        ASSERT_EQ(limbs_of(wide), limbs_of(slow));
      }
      ASSERT_EQ(n.value(), v);
    }
  }
}

TEST(WideArrays, RepackingRoundTrips) {
  std::mt19937_64 rng(test_seed() + 3);
  for (int n = 1; n < 60; ++n) {
    std::vector<kit::digit> a(static_cast<std::size_t>(n));
    for (auto& d : a)
      d = static_cast<kit::digit>(rng() % 3 == 0 ? kit::digit_mask : rng() & kit::digit_mask);
    if (n > 1 && rng() % 4 == 0) a.back() = 0;
    std::vector<kit::word> w(static_cast<std::size_t>(kit::words_for_digits(n)));
    const std::int32_t nw = kit::words_of_digits(w.data(), a.data(), n);
    std::vector<kit::digit> back(static_cast<std::size_t>(kit::digits_for_words(nw)));
    const std::int32_t nb = kit::digits_of_words(back.data(), w.data(), nw);
    ASSERT_EQ(nb, kit::normalised_length(a.data(), n));
    for (std::int32_t i = 0; i < nb; ++i)
      ASSERT_EQ(back[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(i)]);
  }
}

// Limb lists to words and back at every length up to 70 (across the
// seven-word blocks of limb pairs) and at the longest, against the digit
// route: signs, leading zero limbs, word arrays of exactly the promised
// size, and a free list that runs out part-way.
TEST(WideArrays, LimbListsToWordsAndBack) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 4);
  std::vector<int> lengths;
  for (int n = 1; n <= 70; ++n) lengths.push_back(n);
  lengths.push_back(kit::max_limbs);
  for (int n : lengths) {
    SCOPED_TRACE("limbs " + std::to_string(n));
    std::vector<kit::digit> d(static_cast<std::size_t>(n));
    const bool ones = rng() % 4 == 0;
    for (auto& x : d) x = ones ? kit::digit_mask : static_cast<kit::digit>(rng() & kit::digit_mask);
    if (n > 1 || rng() % 3 != 0) d.back() |= 1;  // else possibly zero
    const std::int32_t sign = rng() % 2 == 0 ? 1 : -1;
    imptr x = number_from_digits(d.data(), n, sign);
    std::vector<kit::word> want(static_cast<std::size_t>(kit::words_for_digits(n)));
    const std::int32_t nw = kit::words_of_digits(want.data(), d.data(), n);
    // The number itself, then behind one and two zero limbs.
    numptr zeros[2] = {new_limb(), new_limb()};
    zeros[1]->value = 0;
    zeros[1]->next = x->head;
    zeros[0]->value = 0;
    zeros[0]->next = zeros[1];
    for (int lead = 0; lead <= 2; ++lead) {
      const std::int32_t count = n + lead;
      std::vector<kit::word> w(static_cast<std::size_t>(kit::words_for_digits(count)));
      ASSERT_EQ(kit::words_of_limbs(w.data(), lead == 0 ? x->head : zeros[2 - lead], count), nw);
      for (std::int32_t i = 0; i < nw; ++i)
        ASSERT_EQ(w[static_cast<std::size_t>(i)], want[static_cast<std::size_t>(i)]);
    }
    zeros[1]->next = nullptr;
    free_limb_list(zeros[0], zeros[1]);
    with_short_free_list(static_cast<int>(rng() % 40), [&] {
      Num back;
      kit::install_limbs(back, kit::limbs_of_words(want.data(), nw, kit::sign_of_number(x)));
      ASSERT_TRUE(valid_bigint(back));
      ASSERT_TRUE(spec_equal(back, x));
    });
    free_imag(&x);
  }
}

}  // namespace
}  // namespace tavrin::test
