// Mixed-mode operations and size measures, checked against the reference
// big integer, brute-force squares and known small values.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/poly_build.h"

namespace tavrin::test {
namespace {

TEST(WordArithmetic, DivisionIsDefinedEverywhere) {
  EXPECT_EQ(word_quo(INT32_MIN, -1), INT32_MIN);
  EXPECT_EQ(word_rem(INT32_MIN, -1), 0);
  EXPECT_EQ(word_quo(7, -2), -3);
  EXPECT_EQ(word_rem(7, -2), 1);
  EXPECT_EQ(word_quo(-7, 2), -3);
  EXPECT_EQ(word_rem(-7, 2), -1);
  EXPECT_EQ(word_quo(INT32_MAX, -1), -INT32_MAX);
  EXPECT_EQ(word_quo(INT32_MIN, 1), INT32_MIN);
}

TEST(WordArithmetic, LongDoubleToWordSaturates) {
  EXPECT_EQ(saturate_to_int32(1e30L), INT32_MAX);
  EXPECT_EQ(saturate_to_int32(-1e30L), INT32_MIN);
  EXPECT_EQ(saturate_to_int32(2147483647.9L), INT32_MAX);
  EXPECT_EQ(saturate_to_int32(-2147483648.5L), INT32_MIN);
  EXPECT_EQ(saturate_to_int32(-2.7L), -2);
  EXPECT_EQ(saturate_to_int32(2.7L), 2);
  EXPECT_EQ(saturate_to_int32(std::nanl("")), 0);
  EXPECT_EQ(saturate_to_int32(INFINITY), INT32_MAX);
}

TEST(WordProducts, ExactWhateverTheMode) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::int32_t> limb(-268435455, 268435455);
  Num x(BigRef(-77));
  for (int it = 0; it < test_iterations(500); ++it) {
    const std::int32_t n = it % 9 == 0 ? 0 : limb(rng), m = it % 7 == 0 ? 268435455 : limb(rng);
    SCOPED_TRACE(std::to_string(n) + " * " + std::to_string(m));
    ArithModeGuard g;
    lintmode = (it % 2 == 0);  // the big product is formed in any mode
    flotemode = (it % 3 == 0);
    special_set_2(n, m, x);
    const bool word = lintmode, floating = flotemode;
    EXPECT_EQ(lintmode, word);
    EXPECT_EQ(flotemode, floating);
    ASSERT_TRUE(valid_bigint(x));
    ASSERT_EQ(x.value(), BigRef(n) * BigRef(m));
    ASSERT_TRUE(is_product_of(x, n, m));
    ASSERT_TRUE(is_product_of(x, m, n));
    ASSERT_FALSE(is_product_of(x, n, m == 0 ? 1 : m - 1) && n != 0);
  }
}

TEST(WordProducts, Oversize) {
  NodeBalance balance;
  EXPECT_FALSE(oversize(1000, 1000));
  EXPECT_TRUE(oversize(1000, 1001));
  EXPECT_TRUE(oversize(20000, 20000));  // two limbs
  EXPECT_FALSE(oversize(1, 1000000));
  EXPECT_TRUE(oversize(1, 1000001));
  EXPECT_FALSE(oversize(0, 268435455));
}

TEST(QuotientOf, AgreesWithTheReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::int32_t> div(1, 268435455);
  for (int it = 0; it < test_iterations(500); ++it) {
    const std::int32_t m = it % 5 == 0 ? 1 + it % 17 : div(rng);
    // A quotient below 2^28, as the callers keep it.
    const BigRef q = BigRef(div(rng) % 268435456);
    const BigRef n = q * BigRef(m) + BigRef(it % 3 == 0 ? m - 1 : it % m);
    Num num(n);
    ArithModeGuard g;
    lintmode = (it % 2 == 0);
    ASSERT_EQ(BigRef(quotient_of(num, m)), n / BigRef(m)) << n << " / " << m;
    ASSERT_EQ(num.value(), n);
  }
}

TEST(Modout, ResidueOfABigInteger) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {2, 7, 65521, 268435399, 2147483647}) {
    for (int it = 0; it < test_iterations(200); ++it) {
      const BigRef v = random_big(rng, 12);
      Num n(v);  // made and freed in big mode, where its limbs are its own
      ModulusScope ring(p);
      const std::int32_t got = modout(n);
      BigRef want = v % BigRef(p);
      if (want.negative()) want = want + BigRef(p);
      ASSERT_EQ(BigRef(got), want) << v << " mod " << p;
      ASSERT_TRUE(lintmode);  // left in word mode, as it was called
      ASSERT_TRUE(modularmode);
      ASSERT_EQ(n.value(), v);
    }
  }
}

TEST(ItsASquare, EulerCriterionAgreesWithTheSquares) {
  for (std::int32_t p : {3, 7, 101, 65521, 65537}) {
    ModulusScope ring(p);
    std::set<std::int64_t> squares;
    for (std::int64_t x = 1; x < p; ++x) squares.insert(x * x % p);
    for (std::int32_t n = 0; n < p; ++n)
      ASSERT_EQ(its_a_square(n), squares.count(n) == 1) << "p=" << p << " n=" << n;
  }
  ModulusScope large(2147483647);
  EXPECT_TRUE(its_a_square(4));
  EXPECT_TRUE(its_a_square(2));            // 2^31 - 1 = 7 mod 8
  EXPECT_FALSE(its_a_square(2147483646));  // -1 is no square when p = 3 mod 4
}

// modular_sqrt against squaring, prime_factors against trial division,
// nmodmult against 64-bit products, sparse_oversize on both sides of 2^31.
TEST(NumberHelpers, RootsFactorsProductsAndSizes) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {7, 17, 1000003, 65521, 2147483629}) {  // 3, 1, 3, 1, 1 mod 4
    ModulusScope ring(p);
    for (int it = 0; it < test_iterations(200); ++it) {
      const std::int32_t n = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
      const std::int32_t r = modular_sqrt(n);
      const std::int64_t want = its_a_square(n) ? n : 0;
      EXPECT_EQ(std::int64_t{r} * r % p, want) << "p " << p << " n " << n;
      const std::uint32_t a = static_cast<std::uint32_t>(rng() % static_cast<std::uint64_t>(p));
      EXPECT_EQ(nmodmult(a, static_cast<std::uint32_t>(n)),
                static_cast<std::int32_t>(std::uint64_t{a} * static_cast<std::uint64_t>(n) %
                                          static_cast<std::uint64_t>(p)));
    }
  }
  for (std::int32_t q : {256, 65536}) {  // every element is a square
    ModulusScope ring(q);
    for (std::int32_t n = 0; n < q; n += q == 256 ? 1 : 97) {
      const std::int32_t r = modular_sqrt(n);
      EXPECT_EQ(modmult(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(r)), n) << q;
    }
  }
  for (int it = 0; it < test_iterations(300); ++it) {
    const std::int32_t x =
        1 + static_cast<std::int32_t>(rng() % (it % 2 == 0 ? 1000u : 2147483647u));
    std::set<std::int32_t> want;
    std::int32_t y = x;
    for (std::int32_t d = 2; std::int64_t{d} * d <= y; ++d)
      for (; y % d == 0; y /= d) want.insert(d);
    if (y > 1) want.insert(y);
    numptr list = nullptr, quotients = nullptr;
    prime_factors(x, &list);
    set_prime_quotients(&quotients, x);
    std::set<std::int32_t> got;
    numptr q = quotients;
    for (numptr l = list; l != nullptr; l = l->next, q = q->next) {
      got.insert(l->value);
      ASSERT_NE(q, nullptr);
      EXPECT_EQ(q->value, x / l->value);
    }
    EXPECT_EQ(got, want) << x;
    for (numptr l : {list, quotients}) {
      if (l == nullptr) continue;
      numptr tail = l;
      while (tail->next != nullptr) tail = tail->next;
      free_limb_list(l, tail);
    }
  }
  EXPECT_FALSE(sparse_oversize(65536, 32767));  // 2^31 - 2^16
  EXPECT_TRUE(sparse_oversize(65536, 32768));   // 2^31
  EXPECT_TRUE(sparse_oversize(-65536, 32768));
  EXPECT_FALSE(sparse_oversize(46340, 46340));
  EXPECT_TRUE(sparse_oversize(268435455, 268435455));  // three limbs
}

TEST(ItsASquare, EveryNonZeroFieldElementOfCharacteristic2) {
  for (std::int32_t size : {256, 65536}) {
    ModulusScope ring(size);
    EXPECT_FALSE(its_a_square(0));
    for (std::int32_t n = 1; n < size; n += (size == 256 ? 1 : 97))
      ASSERT_TRUE(its_a_square(n)) << n;
  }
}

TEST(MaxDigits, BitLengthOfTheLargestCoefficient) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(200); ++it) {
    const BigRef a = random_big(rng, 6), b = random_big(rng, 6), c = random_big(rng, 6);
    // a x^2 + (b y + c) x, nested one level.
    poly p = term(2, nullptr, term(1, term(1, nullptr, nullptr)));
    p->pcoef = leaf(0);
    assign_ref(p->pcoef->ncoef, a);
    p->next->pcoef->pcoef = leaf(0);
    assign_ref(p->next->pcoef->pcoef->ncoef, b);
    p->next->pcoef->next = leaf(0);
    assign_ref(p->next->pcoef->next->ncoef, c);
    const auto bits = [](const BigRef& v) {
      return static_cast<std::int32_t>(v.abs().bit_length());
    };
    const std::int32_t expect = std::max({bits(a), bits(b), bits(c)});
    EXPECT_EQ(max_digits(p), expect) << a << " " << b << " " << c;
    free_poly(&p);
  }
  EXPECT_EQ(max_digits(nullptr), -1);
}

TEST(MaxDigits, WordAndFloatingMeasures) {
  NodeBalance balance;
  poly p = term(1, leaf(0), leaf(0));
  {
    ArithModeGuard g;
    lintmode = true;
    p->pcoef->ncoef->lint = -1000;  // |x| = 1000: highest bit 9
    p->next->ncoef->lint = 3;
    EXPECT_EQ(max_digits(p), 9);
  }
  {
    ModulusScope ring(101);
    p->pcoef->ncoef->lint = 100;  // symmetric residue -1
    p->next->ncoef->lint = 4;
    EXPECT_EQ(max_digits(p), 2);
  }
  {
    ArithModeGuard g;
    flotemode = true;
    p->pcoef->ncoef->flote = -1023.6L;  // rounds to -1024: highest bit 10
    p->next->ncoef->flote = 0.2L;
    EXPECT_EQ(max_digits(p), 10);
    p->pcoef->ncoef->flote = 1e40L;  // saturated, not undefined
    EXPECT_EQ(max_digits(p), 30);
  }
  quoly q = nullptr;
  newquoly(&q);
  q->numb = false;
  q->numer = p;
  q->denom = leaf(1 << 20);
  EXPECT_EQ(quoly_max_digits(q), 21);
  q->denom->ncoef->head->value = 1;
  EXPECT_EQ(quoly_max_digits(q), 1);  // both coefficients of p are 0 in big mode
  free_quoly(&q);
  EXPECT_EQ(quoly_max_digits(nullptr), -1);
}

TEST(NumberMass, ByMode) {
  NodeBalance balance;
  quoly q = nullptr;
  quoly_set(0, &q);
  assign_ref(q->ncoef, BigRef(65535) * BigRef::pow2(28) + BigRef(5));
  EXPECT_EQ(number_mass(q), 3);
  assign_ref(q->ncoef, -(BigRef(65536) * BigRef::pow2(28)));
  EXPECT_EQ(number_mass(q), 4);
  assign_ref(q->ncoef, BigRef(7));
  EXPECT_EQ(number_mass(q), 1);
  {
    ModulusScope ring(101);
    q->ncoef->lint = 100;  // distance 1 from 0
    EXPECT_EQ(number_mass(q), 1);
    q->ncoef->lint = 50;  // 250 div 101 + 1
    EXPECT_EQ(number_mass(q), 3);
  }
  {
    ModulusScope ring(2147483647);
    q->ncoef->lint = 1073741823;  // 5x exceeds 32 bits: still exact
    EXPECT_EQ(number_mass(q), 3);
  }
  {
    ArithModeGuard g;
    flotemode = true;
    q->ncoef->flote = -3.0L * 268435456.0L;
    EXPECT_EQ(number_mass(q), 4);
    q->ncoef->flote = 1e300L;
    EXPECT_EQ(number_mass(q), INT32_MAX);
  }
  free_quoly(&q);
}

}  // namespace
}  // namespace tavrin::test
