// Decimal conversion and base-10^8 arithmetic, checked against the
// reference big integer's own decimal form and arithmetic, and the two
// conversions and the two products against each other.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"

namespace tavrin::test {
namespace {

using L = std::vector<std::int32_t>;

// Checks a base-10^8 number: groups below 10^8 with one sign, no leading
// zero group, size and tail consistent.
::testing::AssertionResult valid_base10(const number* x) {
  if (x->size < 1 || x->head == nullptr) return ::testing::AssertionFailure() << "no limbs";
  int count = 0;
  int sign = 0;
  numptr last = nullptr;
  for (numptr p = x->head; p != nullptr; p = p->next, ++count) {
    last = p;
    if (std::abs(p->value) >= ten_8) return ::testing::AssertionFailure() << "group " << p->value;
    const int s = p->value > 0 ? 1 : (p->value < 0 ? -1 : 0);
    if (s != 0 && sign != 0 && s != sign) return ::testing::AssertionFailure() << "mixed signs";
    if (s != 0) sign = s;
  }
  if (count != x->size || last != x->tail) return ::testing::AssertionFailure() << "size or tail";
  if (x->size > 1 && x->head->value == 0) return ::testing::AssertionFailure() << "leading zero";
  return ::testing::AssertionSuccess();
}

// The value of a base-10^8 number.
BigRef value10(const number* x) {
  BigRef v;
  for (numptr p = x->head; p != nullptr; p = p->next) v = v * BigRef(ten_8) + BigRef(p->value);
  return v;
}

// A base-10^8 number holding v, built from the reference's decimal string.
void set_base10(imptr x, const BigRef& v) {
  std::string digits = v.abs().to_decimal();
  const int sign = v.negative() ? -1 : 1;
  std::vector<std::int32_t> groups;
  while (!digits.empty()) {
    const std::size_t take = digits.size() >= 8 ? 8 : digits.size();
    groups.insert(groups.begin(), sign * std::stoi(digits.substr(digits.size() - take)));
    digits.erase(digits.size() - take);
  }
  special_free(x);
  numptr prev = nullptr;
  for (std::int32_t g : groups) {
    numptr l = new_limb();
    l->value = g;
    l->next = nullptr;
    if (prev == nullptr) {
      x->head = l;
    } else {
      prev->next = l;
    }
    prev = l;
  }
  x->tail = prev;
  x->size = static_cast<std::int16_t>(groups.size());
}

// A random base-10^8 number of 1 .. max_groups groups, biased to zero and
// full groups.
BigRef random_decimal(std::mt19937_64& rng, int max_groups) {
  std::uniform_int_distribution<int> len(1, max_groups);
  std::uniform_int_distribution<int> kind(0, 5);
  std::uniform_int_distribution<std::int32_t> group(0, ten_8 - 1);
  BigRef v;
  const int n = len(rng);
  for (int k = 0; k < n; ++k) {
    const int c = kind(rng);
    v = v * BigRef(ten_8) + BigRef(c == 0 ? 0 : c == 1 ? ten_8 - 1 : group(rng));
  }
  return kind(rng) < 2 ? -v : v;
}

TEST(MakeBase10, EdgeValues) {
  NodeBalance balance;
  Num out;
  const auto groups = [&](const BigRef& v) {
    Num n(v);
    make_base_10(n, out);
    EXPECT_TRUE(valid_base10(out));
    return limbs_of(out);
  };
  EXPECT_EQ(groups(0), (L{0}));
  EXPECT_EQ(groups(99999999), (L{99999999}));
  EXPECT_EQ(groups(100000000), (L{1, 0}));
  EXPECT_EQ(groups(-123456789012LL), (L{-1234, -56789012}));
  EXPECT_EQ(groups(BigRef::from_decimal("1000000000000000000000000")), (L{1, 0, 0, 0}));
}

TEST(MakeBase10, AgreesWithTheReferenceDecimalForm) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  Num out;
  for (int it = 0; it < test_iterations(300); ++it) {
    const BigRef v = random_big(rng, 20);
    Num n(v);
    const L before = limbs_of(n);
    make_base_10(n, out);
    ASSERT_TRUE(valid_base10(out)) << v;
    ASSERT_EQ(value10(out), v);
    ASSERT_EQ(limbs_of(n), before);
    // The groups printed with eight digits each spell the decimal form.
    std::string s;
    for (numptr p = out->head; p != nullptr; p = p->next) {
      const std::string g = std::to_string(std::abs(p->value));
      s += (p == out->head ? g : std::string(8 - g.size(), '0') + g);
    }
    ASSERT_EQ((v.negative() ? "-" : "") + s, v.to_decimal());
  }
}

class VeryBig : public ::testing::Test {
 protected:
  void SetUp() override { load_data_tables(); }
};

void expect_conversions_agree(const BigRef& v) {
  Num n(v), slow, fast;
  const L before = limbs_of(n);
  make_base_10(n, slow);
  verybig_base_10(n->head, n->tail, n->size, fast);
  ASSERT_TRUE(valid_base10(fast)) << v.to_decimal();
  ASSERT_EQ(limbs_of(fast), limbs_of(slow)) << limbs_of(n).size() << " limbs";
  ASSERT_EQ(limbs_of(n), before);
  ASSERT_EQ(n->tail->next, nullptr);
}

TEST_F(VeryBig, AgreesWithMakeBase10From9To300Limbs) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<int> len(9, 300);
  for (int it = 0; it < test_iterations(40); ++it) {
    const int limbs = it < 4 ? 9 + it : len(rng);  // 9 divides; 10 splits 5 and 5
    SCOPED_TRACE(limbs);
    expect_conversions_agree(random_big_exact(rng, limbs));
  }
}

TEST_F(VeryBig, LowerPartsOfZerosAndLongLowerParts) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  // Lower halves made of zero limbs, wholly or in part.
  expect_conversions_agree(random_big_exact(rng, 10) * BigRef::pow2(28 * 10));
  expect_conversions_agree(-(random_big_exact(rng, 5) * BigRef::pow2(28 * 15) + BigRef(7)));
  expect_conversions_agree(BigRef::pow2(28 * 40));
  // Lower parts of 130 limbs and more: the table entry alone, then
  // products of entries.
  for (int limbs : {260, 261, 262, 520, 530, 700}) {
    SCOPED_TRACE(limbs);
    expect_conversions_agree(random_big_exact(rng, limbs));
  }
  expect_conversions_agree(BigRef::pow2(28 * 600) - BigRef(1));
}

// The longest numbers have more digit groups than a 16-bit count holds.
TEST_F(VeryBig, TheLongestNumbersConvertToEveryDigit) {
  NodeBalance balance;
  for (unsigned limbs : {32767u}) {
    SCOPED_TRACE(limbs);
    const BigRef v = BigRef::pow2(28 * limbs) - BigRef(1);
    const std::string digits = v.to_decimal();
    Num n(v), out;
    verybig_base_10(n->head, n->tail, static_cast<std::int16_t>(n->size), out);
    ASSERT_TRUE(valid_base10(out));
    EXPECT_EQ(static_cast<std::size_t>(out->size), (digits.size() + 7) / 8);
    std::string got = std::to_string(out->head->value);
    for (numptr p = out->head->next; p != nullptr; p = p->next) {
      const std::string g = std::to_string(p->value);
      got += std::string(8 - g.size(), '0') + g;
    }
    EXPECT_TRUE(got == digits) << "the digits differ";
    EXPECT_EQ(n.value(), v);
  }
}

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

// The groups of n on words, dividing by the kept powers through their
// reciprocals from `inverse` words on; *back := the limbs of |n| read back
// from them.
L word_groups(imptr n, std::int32_t inverse, L* back) {
  ScopedValue<std::int32_t> words(wide_decimal_limbs, 1), recip(decimal_inverse_words, inverse);
  Num out, x;
  verybig_base_10(n->head, n->tail, static_cast<std::int16_t>(n->size), out);
  EXPECT_TRUE(valid_base10(out));
  std::vector<std::uint32_t> g;
  for (numptr p = out->head; p != nullptr; p = p->next)
    g.push_back(static_cast<std::uint32_t>(std::abs(p->value)));
  number_of_groups(g.data(), static_cast<std::int64_t>(g.size()), x);
  *back = limbs_of(x);
  return limbs_of(out);
}

// Splits by P_k = 10^(8 2^k) at their edges (P_k, P_k - 1, P_k^2 - 1, the
// largest quotient with a zero or a largest remainder) and at random, the
// reciprocal taken at every level and never, the base case at both ends.
TEST(WordDecimal, ReciprocalAndLongDivisionAgreeAtEveryPowersEdge) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 11);
  BigRef p(ten_8);
  for (int k = 0; k < 8; ++k, p = p * p) {
    const BigRef one(1);
    const BigRef values[] = {p,
                             p - one,
                             p * p - one,
                             p * (p - one),
                             -(p * (p - one) + p - one),
                             random_big_exact(rng, 1 + static_cast<int>(rng() % 40)) * p + p - one,
                             -random_big_exact(rng, 1 + static_cast<int>(rng() % (30 << k))),
                             BigRef::pow2(64 * 31) - one,
                             random_big_exact(rng, 69)};  // 31 words
    for (const BigRef& v : values) {
      for (std::int32_t base : {4, 32}) {
        ScopedValue<std::int32_t> split(wide_decimal_words, base);
        Num n(v);
        L back1, back2;
        const L quick = word_groups(n, 1, &back1);
        const L slow = word_groups(n, never, &back2);
        ASSERT_EQ(quick, slow) << "k " << k << " " << v.bit_length() << " bits";
        Num groups;
        set_base10(groups, v);
        ASSERT_EQ(quick, limbs_of(groups));
        ASSERT_EQ(back1, limbs_of(Num(v.abs())));
      }
    }
  }
}

// The longest numbers, made from random groups and from the groups of the
// largest 10^(8 g) - 1, give their groups back (the random one negated) and
// read back; the powers and reciprocals kept by then serve a conversion
// after an error unwound through the reading, and under a modulus.
TEST(WordDecimal, LongestNumbersAndTheKeptPowersAfterAnErrorAndAChangeOfRing) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 13);
  std::vector<std::uint32_t> random_groups(34523);
  for (std::uint32_t& g : random_groups) g = static_cast<std::uint32_t>(rng() % ten_8);
  random_groups[0] = ten_8 / 2 + random_groups[0] / 2;
  Num n;
  number_of_groups(random_groups.data(), 34523, n);
  ASSERT_EQ(n->size, 32767);
  L back, magnitude = limbs_of(n), negated;
  for (numptr p = n->head; p != nullptr; p = p->next) p->value = -p->value;
  for (std::uint32_t g : random_groups) negated.push_back(-static_cast<std::int32_t>(g));
  const L quick = word_groups(n, decimal_inverse_words, &back);
  EXPECT_EQ(quick, negated);
  EXPECT_EQ(word_groups(n, never, &back), negated);
  EXPECT_EQ(back, magnitude);
  const std::vector<std::uint32_t> nines(34523, ten_8 - 1);  // 917,453 bits
  Num x;
  number_of_groups(nines.data(), 34523, x);
  EXPECT_EQ(x->size, 32767);
  EXPECT_EQ(word_groups(x, decimal_inverse_words, &back), L(34523, ten_8 - 1));
  bool unwound = false;
  const std::vector<std::uint32_t> more(34524, ten_8 - 1);
  const std::string out = output_of([&] { number_of_groups(more.data(), 34524, x); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, number_too_long_error));
  EXPECT_EQ(x->size, 32767);
  ImageRing ring(1000003);
  EXPECT_EQ(word_groups(n, decimal_inverse_words, &back), quick);
}

TEST(Summ, KnownValues) {
  NodeBalance balance;
  Num a(268435455), one(1), ans;
  summ(a, one, ans, limb_base);
  EXPECT_EQ(limbs_of(ans), (L{1, 0}));
  Num five(5), minus_five(-5);
  summ(five, minus_five, ans, limb_base);
  EXPECT_EQ(limbs_of(ans), (L{0}));
  Num x, y;
  set_base10(x, BigRef(99999999));
  set_base10(y, BigRef(1));
  summ(x, y, ans, ten_8);
  EXPECT_EQ(limbs_of(ans), (L{1, 0}));
  set_base10(x, BigRef(100000000));
  diff(x->head, x->size, y, ans, ten_8);
  EXPECT_EQ(limbs_of(ans), (L{99999999}));
}

TEST(Summ, SignedSumsAndDifferencesInBothBases) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(500); ++it) {
    // Base 2^28.
    const BigRef a = random_big(rng, 8), b = it % 7 == 0 ? -a + BigRef(it % 3) : random_big(rng, 8);
    SCOPED_TRACE(a.to_decimal() + " " + b.to_decimal());
    Num n(a), m(b), ans;
    summ(n, m, ans, limb_base);
    ASSERT_TRUE(valid_bigint(ans));
    ASSERT_EQ(ans.value(), a + b);
    diff(n->head, n->size, m, ans, limb_base);
    ASSERT_TRUE(valid_bigint(ans));
    ASSERT_EQ(ans.value(), a - b);
    summ(n, m, n, limb_base);  // the result replaces an operand
    ASSERT_EQ(n.value(), a + b);
    diff(m->head, m->size, n, m, limb_base);
    ASSERT_EQ(m.value(), b - (a + b));
    // Base 10^8.
    const BigRef c = random_decimal(rng, 8), d = it % 5 == 0 ? -c : random_decimal(rng, 8);
    Num p, q, r;
    set_base10(p, c);
    set_base10(q, d);
    summ(p, q, r, ten_8);
    ASSERT_TRUE(valid_base10(r));
    ASSERT_EQ(value10(r), c + d);
    diff(p->head, p->size, q, q, ten_8);
    ASSERT_TRUE(valid_base10(q));
    ASSERT_EQ(value10(q), c - d);
  }
}

TEST(Base10Products, OneGroup) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::int32_t> group(-(ten_8 - 1), ten_8 - 1);
  Num n, ans;
  numptr penult = nullptr;
  set_base10(n, BigRef(12345678));
  simp_base_10_mult(n, ans, 0, &penult);
  EXPECT_EQ(limbs_of(ans), (L{0}));
  EXPECT_EQ(penult, nullptr);
  for (int it = 0; it < test_iterations(500); ++it) {
    const BigRef v = random_decimal(rng, 10);
    const std::int32_t m = it % 4 == 0 ? ten_8 - 1 : group(rng);
    set_base10(n, v);
    simp_base_10_mult(n, ans, m, &penult);
    ASSERT_TRUE(valid_base10(ans)) << v << " * " << m;
    ASSERT_EQ(value10(ans), v * BigRef(m)) << v << " * " << m;
    if (ans->size > 1) {
      ASSERT_EQ(penult->next, ans->tail);
    } else {
      ASSERT_EQ(penult, nullptr);
    }
    ASSERT_LE(ans->size, n->size + 1);
  }
}

TEST(Base10Products, RowsAndKaratsubaAgreeWithTheReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  // Sizes on both sides of 10 and of the factor-two balance test.
  const int sizes[][2] = {{10, 10}, {11, 11}, {11, 21},  {11, 22},
                          {17, 33}, {40, 41}, {64, 100}, {1, 50}};
  for (int it = 0; it < test_iterations(60); ++it) {
    const int* s = sizes[it % 8];
    const BigRef a = random_decimal(rng, s[0]), b = random_decimal(rng, s[1]);
    Num n, m, fast, rows;
    set_base10(n, a);
    set_base10(m, b);
    base_10_fast_mult(n, m, fast);
    base_10_multiply(n, m, rows);
    ASSERT_TRUE(valid_base10(fast));
    ASSERT_EQ(value10(fast), a * b) << a << " * " << b;
    ASSERT_EQ(limbs_of(fast), limbs_of(rows));
    base_10_fast_mult(n, n, n);  // squaring in place
    ASSERT_EQ(value10(n), a * a);
  }
  // Exact group counts: 10^(8k) - 1 squared.
  Num n, ans;
  const BigRef nines = BigRef::from_decimal(std::string(8 * 30, '9'));
  set_base10(n, nines);
  base_10_fast_mult(n, n, ans);
  EXPECT_EQ(value10(ans), nines * nines);
  EXPECT_EQ(ans->size, 60);
}

}  // namespace
}  // namespace tavrin::test
