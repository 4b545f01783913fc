// The Lagrange basis polynomials of "chdat", read into pol, checked with
// exact rationals of the tests' own: each is 1 at its point and 0 at the
// others, and together they reproduce 1, x and x^2 at random rational points.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "toplevel/chdat.h"
#include "toplevel/state.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// An exact rational n / d (d > 0), not reduced: equality is tested by
// cross-multiplication, which keeps the tests free of slow gcds.
struct Rat {
  BigRef n, d;
  Rat(BigRef num = 0, BigRef den = 1) : n(std::move(num)), d(std::move(den)) {
    if (d.negative()) {
      n = -n;
      d = -d;
    }
  }
  friend Rat operator+(const Rat& a, const Rat& b) {
    if (a.d == b.d) return Rat(a.n + b.n, a.d);
    return Rat(a.n * b.d + b.n * a.d, a.d * b.d);
  }
  friend Rat operator*(const Rat& a, const Rat& b) { return Rat(a.n * b.n, a.d * b.d); }
  friend bool operator==(const Rat& a, const Rat& b) { return a.n * b.d == b.n * a.d; }
};

std::ostream& operator<<(std::ostream& os, const Rat& r) { return os << r.n << "/" << r.d; }

// The one-variable polynomial p at x = a / b, as an integer over b^deg:
// every term c x^e contributes c a^e b^(deg - e). A bare leaf is a constant;
// otherwise terms over number leaves and a final constant leaf.
Rat eval_poly(poly p, const BigRef& a, const BigRef& b) {
  const std::int32_t deg = p->numb ? 0 : p->exp;
  std::vector<BigRef> apow{1}, bpow{1};
  for (std::int32_t k = 0; k < deg; ++k) {
    apow.push_back(apow.back() * a);
    bpow.push_back(bpow.back() * b);
  }
  BigRef sum = 0;
  for (poly t = p; t != nullptr; t = t->next) {
    const std::int32_t e = t->numb ? 0 : t->exp;
    if (!t->numb) {
      EXPECT_TRUE(t->pcoef->numb && t->pcoef->next == nullptr) << "number coefficients";
    }
    const BigRef c = to_ref(t->numb ? t->ncoef : t->pcoef->ncoef);
    sum = sum + c * apow[static_cast<std::size_t>(e)] * bpow[static_cast<std::size_t>(deg - e)];
  }
  return Rat(sum, bpow[static_cast<std::size_t>(deg)]);
}

Rat eval_value(quoly q, const BigRef& a, const BigRef& b = 1) {
  if (q->numb) return Rat(to_ref(q->ncoef));
  const Rat num = eval_poly(q->numer, a, b);
  if (q->denom == nullptr) return num;
  EXPECT_TRUE(q->denom->numb && q->denom->next == nullptr) << "the denominator is a number";
  return num * Rat(1, to_ref(q->denom->ncoef));
}

class CharTables : public ::testing::Test {
 protected:
  // The rows 12 .. 37 are read from "chdat" once a process, as the first
  // adjoining of a variable reads them: here unless an earlier test of the
  // program adjoined one.
  static void SetUpTestSuite() {
    load_data_tables();
    if (!need_to_set_char_poly) return;
    need_to_set_char_poly = false;
    EXPECT_EQ(read_char_poly_rows(12, 37), 26 + (12 + 37) * 26 / 2) << "rows 12 .. 37";
  }
};

TEST_F(CharTables, EachBasisPolynomialIsOneAtItsPointAndZeroAtTheOthers) {
  ASSERT_NE(pol[0][0], nullptr);
  EXPECT_EQ(eval_value(pol[0][0], 7), Rat(1));
  for (int m = 1; m < pol_rows; ++m) {
    for (int i = 0; i <= m; ++i) {
      quoly q = pol[m][i];
      ASSERT_NE(q, nullptr) << m << " " << i;
      EXPECT_EQ(q->next, nullptr);
      if (i == 0 || m == 1) {
        ASSERT_TRUE(q->numb) << "a constant is a number value";
        EXPECT_EQ(to_ref(q->ncoef), BigRef(i == 0 ? 0 : 1));
        continue;
      }
      ASSERT_FALSE(q->numb);
      EXPECT_TRUE(valid_poly(q->numer, 1)) << m << " " << i;
      EXPECT_EQ(q->numer->exp, m - 1) << "degree m - 1";
      for (int k = 1; k <= m; ++k)
        ASSERT_EQ(eval_value(q, k), Rat(k == i ? 1 : 0))
            << "pol[" << m << "][" << i << "] at " << k;
    }
  }
}

TEST_F(CharTables, BasisPolynomialsReproduceLowPowersAtRandomPoints) {
  std::mt19937_64 rng(test_seed());
  for (int round = 0; round < test_iterations(300); ++round) {
    const int m = 3 + static_cast<int>(rng() % 35);
    const BigRef a = static_cast<std::int64_t>(rng() % 2001) - 1000;
    const BigRef b = static_cast<std::int64_t>(rng() % 50) + 1;
    const Rat x(a, b);
    Rat sum0(0), sum1(0), sum2(0);
    for (int i = 1; i <= m; ++i) {
      const Rat v = eval_value(pol[m][i], a, b);
      sum0 = sum0 + v;
      sum1 = sum1 + Rat(i) * v;
      sum2 = sum2 + Rat(i * i) * v;
    }
    ASSERT_EQ(sum0, Rat(1)) << "m " << m << " at " << x;
    ASSERT_EQ(sum1, x) << "m " << m << " at " << x;
    ASSERT_EQ(sum2, x * x) << "m " << m << " at " << x;
  }
}

TEST_F(CharTables, KnownRowsExactly) {
  // pol[3][1] = (x^2 - 5x + 6) / 2 over the positive denominator 0! 2!.
  quoly q = pol[3][1];
  ASSERT_FALSE(q->numb);
  ASSERT_NE(q->denom, nullptr);
  EXPECT_EQ(to_ref(q->denom->ncoef), BigRef(2));
  EXPECT_FALSE(q->rat);
  poly t = q->numer;
  ASSERT_FALSE(t->numb);
  EXPECT_EQ(t->exp, 2);
  EXPECT_EQ(to_ref(t->pcoef->ncoef), BigRef(1));
  t = t->next;
  ASSERT_FALSE(t->numb);
  EXPECT_EQ(t->exp, 1);
  EXPECT_EQ(to_ref(t->pcoef->ncoef), BigRef(-5));
  t = t->next;
  ASSERT_TRUE(t->numb);
  EXPECT_EQ(to_ref(t->ncoef), BigRef(6));
  EXPECT_EQ(t->next, nullptr);
  EXPECT_EQ(t->ncoef->flote, 6.0L) << "the long-double fields are set";

  // pol[2][2] = x - 1 has no denominator: (1)! 0! = 1.
  EXPECT_EQ(pol[2][2]->denom, nullptr);
  // The last row's denominators are (i-1)! (37-i)!; at i = 1 that is 36!.
  BigRef f36(1);
  for (int k = 2; k <= 36; ++k) f36 = f36 * BigRef(k);
  EXPECT_EQ(to_ref(pol[37][1]->denom->ncoef), f36);
}

TEST_F(CharTables, DenominatorTableHoldsTheIntegers) {
  Set_prods_for_char();
  for (int k = 1; k <= denom_count; ++k) {
    ASSERT_NE(denom[k], nullptr);
    ASSERT_TRUE(denom[k]->numb);
    ASSERT_EQ(to_ref(denom[k]->ncoef), BigRef(k));
    ASSERT_EQ(denom[k]->ncoef->lint, k);
    ASSERT_EQ(denom[k]->ncoef->flote, static_cast<long double>(k));
  }
  EXPECT_TRUE(need_to_set_char_poly);
}

}  // namespace
}  // namespace tavrin::test
