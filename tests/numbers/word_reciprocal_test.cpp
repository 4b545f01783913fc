// Division by Newton's reciprocal against the recursive division (the
// route it replaces, as oracle), on both sides of its cut-off, with and
// without the wrapped products; the reciprocal against its defining
// inequalities; square roots and integer quotients through it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint_divide.h"
#include "numbers/int_sqrt.h"
#include "numbers/word_array.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/num.h"

namespace tavrin::test {
namespace {

using kit::word;
using words = std::vector<word>;

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

// n words shaped to stress carries and corrections: random, all ones, the
// power B^n / 2 of the base (the smallest top-bit value), one above it,
// and all ones over a zero low half.
words shaped(std::mt19937_64& rng, std::int32_t n, int kind) {
  words v(static_cast<std::size_t>(n));
  for (word& w : v) w = rng();
  switch (kind) {
    case 1: std::fill(v.begin(), v.end(), ~word{0}); break;
    case 2: std::fill(v.begin(), v.end(), word{0}); break;
    case 3:
      std::fill(v.begin(), v.end(), word{0});
      v[0] = 1;
      break;
    case 4:
      std::fill(v.begin(), v.begin() + n / 2, word{0});
      std::fill(v.begin() + n / 2, v.end(), ~word{0});
      break;
    default: break;
  }
  v.back() |= word{1} << 63;
  return v;
}

// Whether a x < B^(2n) <= a (x + 2) for the n words a and the n + 1 words x.
void expect_reciprocal(const words& a, const words& x) {
  const auto n = static_cast<std::int32_t>(a.size());
  words p(static_cast<std::size_t>(2 * n + 1)), x2(x);
  kit::wmul(p.data(), x.data(), n + 1, a.data(), n);
  EXPECT_EQ(p.back(), 0u) << "a x reaches B^2n, n = " << n;
  kit::wadd_1(x2.data(), x2.data(), n + 1, 2);
  kit::wmul(p.data(), x2.data(), n + 1, a.data(), n);
  EXPECT_NE(p.back(), 0u) << "a (x + 2) is below B^2n, n = " << n;
}

TEST(WordReciprocal, MeetsItsBoundsOnBothSidesOfTheCuts) {
  std::mt19937_64 rng(test_seed() + 11);
  for (const std::int32_t cut : {3, 8, 400}) {
    for (const std::int32_t ntt : {1, 280}) {
      ScopedValue<std::int32_t> c(newton_reciprocal_words, cut), t(wide_ntt_words, ntt);
      for (const std::int32_t n : {1, 2, cut - 1, cut, cut + 1, 2 * cut + 3, 61}) {
        if (n < 1 || (cut == 400 && n < 399 && n > 2) || (cut == 400 && ntt == 1 && n > 401))
          continue;
        for (int kind = 0; kind < 5; ++kind) {
          SCOPED_TRACE("cut " + std::to_string(cut) + ", transforms from " + std::to_string(ntt) +
                       ", kind " + std::to_string(kind));
          const words a = shaped(rng, n, kind);
          words x(static_cast<std::size_t>(n + 1));
          kit::wreciprocal(x.data(), a.data(), n);
          expect_reciprocal(a, x);
        }
      }
    }
  }
}

// The quotient and remainder of n by d through the reciprocal (from `cut`
// words) against the recursive division.
void expect_same_division(const words& n, const words& d, std::int32_t cut) {
  const auto nn = static_cast<std::int32_t>(n.size()), dn = static_cast<std::int32_t>(d.size());
  SCOPED_TRACE(std::to_string(nn) + " by " + std::to_string(dn) + " words, cut " +
               std::to_string(cut));
  words q1(static_cast<std::size_t>(nn - dn + 1)), r1(static_cast<std::size_t>(dn)), q2(q1), r2(r1);
  {
    ScopedValue<std::int32_t> c(wide_newton_divide_words, cut),
        r(newton_reciprocal_words, std::min(cut, 400));
    kit::wdivrem(q1.data(), r1.data(), n.data(), nn, d.data(), dn);
  }
  {
    ScopedValue<std::int32_t> c(wide_newton_divide_words, never);
    kit::wdivrem(q2.data(), r2.data(), n.data(), nn, d.data(), dn);
  }
  ASSERT_EQ(q1, q2);
  ASSERT_EQ(r1, r2);
}

TEST(WordReciprocal, DivisionAgreesWithTheRecursiveOne) {
  std::mt19937_64 rng(test_seed() + 12);
  for (const std::int32_t ntt : {1, 280}) {
    ScopedValue<std::int32_t> t(wide_ntt_words, ntt);
    for (const std::int32_t cut : {3, 6}) {
      for (std::int32_t dn = cut - 1; dn <= 4 * cut + 5; ++dn) {
        for (const std::int32_t qn : {cut - 1, cut, cut + 1, dn, 2 * dn + 1, 5 * dn + 3}) {
          for (int kind = 0; kind < 5; ++kind) {
            words d = shaped(rng, dn, kind);
            if (kind == 0) d.back() >>= rng() % 64;  // divisors off the top bit
            if (d.back() == 0) d.back() = 1;
            words n = shaped(rng, dn + qn, (kind + 1) % 5);
            expect_same_division(n, d, cut);
            // A quotient of all ones: n = (B^qn - 1) d + d - 1.
            words all(static_cast<std::size_t>(dn + qn + 1), 0);
            std::copy(d.begin(), d.end(), all.begin() + qn);
            kit::wsub_1(all.data(), all.data(), dn + qn + 1, 1);
            all.resize(static_cast<std::size_t>(kit::wnormalised(all.data(), dn + qn + 1)));
            if (all.size() >= d.size()) expect_same_division(all, d, cut);
            if (HasFatalFailure()) return;
          }
        }
      }
    }
  }
}

TEST(WordReciprocal, DivisionAtTheDefaultCut) {
  std::mt19937_64 rng(test_seed() + 13);
  const std::int32_t cut = wide_newton_divide_words;
  for (const std::int32_t dn : {cut - 1, cut, cut + 700}) {  // the reciprocal by Newton's steps
    for (const std::int32_t qn : {cut - 1, cut, dn + 1, 3 * dn}) {
      for (int kind : {0, 1, 4}) {
        expect_same_division(shaped(rng, dn + qn, kind), shaped(rng, dn, (kind + 2) % 5), cut);
        if (HasFatalFailure()) return;
      }
    }
  }
}

// Square roots and quotients of big integers with the reciprocal from
// three words against the recursive division alone: perfect squares,
// squares less one, powers of the base.
TEST(WordReciprocal, RootsAndQuotientsOfIntegers) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 14);
  for (const int limbs : {40, 150, 600}) {
    const BigRef r = random_big_exact(rng, limbs).abs();
    const BigRef d = random_big_exact(rng, limbs / 2 + 1).abs();
    for (const BigRef& v :
         {r * r, r * r - BigRef(1), BigRef::pow2(28 * static_cast<unsigned>(limbs)),
          r * d + d - BigRef(1)}) {
      Num n(v), root1, root2, div(d), q1, q2, m1, m2;
      {
        ScopedValue<std::int32_t> c(wide_newton_divide_words, 3), rc(newton_reciprocal_words, 3);
        int_sqrt(n, root1, true);
        divide(n, div, q1, m1);
      }
      {
        ScopedValue<std::int32_t> c(wide_newton_divide_words, never);
        int_sqrt(n, root2, true);
        divide(n, div, q2, m2);
      }
      EXPECT_EQ(root1.value(), root2.value());
      EXPECT_LE(root1.value() * root1.value(), v);
      EXPECT_EQ(q1.value(), q2.value());
      EXPECT_EQ(m1.value(), m2.value());
      EXPECT_EQ(q1.value() * d + m1.value(), v);
    }
  }
}

}  // namespace
}  // namespace tavrin::test
