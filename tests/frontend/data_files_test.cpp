// The tables read from the generated data directory, checked against the
// reference big integer and an independent sieve: every value is what its
// description says, every sentinel holds, and loading prints nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"

namespace tavrin::test {
namespace {

class DataFiles : public ::testing::Test {
 protected:
  void SetUp() override { load_data_tables(); }
};

// The primes up to 65536 by a sieve.
const std::vector<bool>& is_small_prime() {
  static const std::vector<bool> sieve = [] {
    std::vector<bool> s(65537, true);
    s[0] = s[1] = false;
    for (std::size_t i = 2; i * i <= 65536; ++i)
      if (s[i])
        for (std::size_t j = i * i; j <= 65536; j += i) s[j] = false;
    return s;
  }();
  return sieve;
}

bool word_prime(std::int64_t x) {
  if (x < 2) return false;
  if (x <= 65536) return is_small_prime()[static_cast<std::size_t>(x)];
  for (std::int64_t d = 2; d * d <= x; ++d)
    if (is_small_prime()[static_cast<std::size_t>(d)] && x % d == 0) return false;
  return true;
}

// All primes in lo .. hi.
std::vector<std::int64_t> primes_in(std::int64_t lo, std::int64_t hi) {
  std::vector<std::int64_t> r;
  for (std::int64_t x = lo; x <= hi; ++x)
    if (word_prime(x)) r.push_back(x);
  return r;
}

// The value of a number whose limbs are base-10^8 groups.
BigRef base10_value(const number& x) {
  BigRef v;
  for (numptr p = x.head; p != nullptr; p = p->next) v = v * BigRef(100000000) + BigRef(p->value);
  return v;
}

BigRef factorial(std::int64_t n) {
  BigRef f(1);
  for (std::int64_t k = 2; k <= n; ++k) f = f * BigRef(k);
  return f;
}

BigRef binomial(std::int64_t n, std::int64_t r) {
  BigRef b(1);
  for (std::int64_t k = 1; k <= r; ++k) b = b * BigRef(n - r + k) / BigRef(k);
  return b;
}

// The index of binomial(3q, r) in binom, counted from 1.
int binom_index(int q, int r) {
  const int off = q % 2 == 0 ? q * (3 * q - 4) / 4 : (3 * q - 1) * (q - 1) / 4;
  return off + r;
}

TEST_F(DataFiles, LoadWithoutAnyMessage) { EXPECT_EQ(load_data_tables(), ""); }

TEST_F(DataFiles, Sentinels) {
  EXPECT_EQ(small_prime[1229], 9973);
  EXPECT_EQ(med_prime[2466], 42349);
  EXPECT_EQ(big_prime[1516], 65521);
  EXPECT_EQ(lrgpme[2000], 2147483629);
  EXPECT_EQ(prime[604]->lint, 48869);
  EXPECT_EQ(num_prod[598].size, 332);
}

TEST_F(DataFiles, PowersOf2To28InBase10To8) {
  std::vector<std::int32_t> first;
  for (numptr p = two_28[0].head; p != nullptr; p = p->next) first.push_back(p->value);
  EXPECT_EQ(first, (std::vector<std::int32_t>{2, 68435456}));
  for (unsigned j = 0; j < 130; ++j) {
    const number& x = two_28[j];
    ASSERT_GT(x.size, 0) << j;
    int count = 0;
    for (numptr p = x.head; p != nullptr; p = p->next) {
      ASSERT_TRUE(p->value >= 0 && p->value < 100000000) << j;
      if (p == x.head) {
        ASSERT_NE(p->value, 0) << j;
      }
      if (p->next == nullptr) {
        ASSERT_EQ(p, x.tail) << j;
      }
      ++count;
    }
    ASSERT_EQ(count, x.size) << j;
    ASSERT_EQ(base10_value(x), BigRef::pow2(28 * (j + 1))) << j;
  }
}

TEST_F(DataFiles, Factorials) {
  EXPECT_LE(factnum[0], 1);
  EXPECT_EQ(factnum[1], 10);
  EXPECT_EQ(to_ref(&facts[1]), BigRef(3628800));
  EXPECT_EQ(facts[0].lint, 1);
  EXPECT_EQ(facts[1].lint, 3628800);
  for (int i = 0; i < 22; ++i) {
    if (i > 0) {
      ASSERT_LT(factnum[i - 1], factnum[i]);
    }
    ASSERT_TRUE(valid_bigint(&facts[i])) << i;
    const BigRef f = factorial(factnum[i]);
    ASSERT_EQ(to_ref(&facts[i]), f) << "facts[" << i << "]";
    const long double expect = std::stold(f.to_decimal());
    ASSERT_NEAR(static_cast<double>(facts[i].flote / expect), 1.0, 1e-15) << i;
  }
}

TEST_F(DataFiles, Binomials) {
  int k = 0;
  for (int q = 1; q <= 50; ++q) {
    std::int16_t width = 1;
    for (int r = 1; r <= 3 * q / 2; ++r) {
      ++k;
      ASSERT_EQ(binom_index(q, r), k);
      const imptr b = binom[k];
      ASSERT_NE(b, nullptr) << k;
      ASSERT_TRUE(valid_bigint(b)) << "binomial(" << 3 * q << ", " << r << ")";
      ASSERT_EQ(to_ref(b), binomial(3 * q, r)) << "binomial(" << 3 * q << ", " << r << ")";
      ASSERT_GE(b->size, width);
      width = b->size;
      if (k <= 80) {
        ASSERT_EQ(BigRef(b->lint), to_ref(b)) << k;
        ASSERT_EQ(b->flote, static_cast<long double>(b->lint)) << k;
      }
    }
  }
  EXPECT_EQ(k, binom_entries);
  EXPECT_EQ(to_ref(binom[binom_index(50, 75)]), binomial(150, 75));
}

// out := lo * (lo + 1) * ... * hi by Tavrin's own products (1 when lo > hi).
void range_product(std::int32_t lo, std::int32_t hi, imptr out) {
  special_set(1, out);
  number factor{};
  for (std::int32_t k = lo; k <= hi; ++k) {
    special_set(k, &factor);
    fast_mult(out, &factor, out);
  }
  special_free(&factor);
}

TEST_F(DataFiles, TablesAgreeWithTheSystemsOwnProductsAndQuotients) {
  NodeBalance balance;
  number top{}, bottom{}, quot{}, rem{};
  // binomial(3q, r) = (3q - r + 1) ... (3q) / r!, for whole rows and a spread of others.
  for (int q = 1; q <= 50; ++q) {
    for (int r = 1; r <= 3 * q / 2; ++r) {
      if (q % 7 != 0 && q != 50 && r % 11 != 1) continue;
      range_product(3 * q - r + 1, 3 * q, &top);
      range_product(1, r, &bottom);
      divide(&top, &bottom, &quot, &rem);
      ASSERT_EQ(to_ref(&rem), BigRef(0));
      ASSERT_TRUE(spec_equal(&quot, binom[binom_index(q, r)]))
          << "binomial(" << 3 * q << ", " << r << ")";
    }
  }
  // factnum[i]! by products, and each factorial divided by the one before.
  for (int i = 0; i < 22; ++i) {
    range_product(1, factnum[i], &top);
    ASSERT_TRUE(spec_equal(&top, &facts[i])) << i;
    if (i > 0) {
      divide(&facts[i], &facts[i - 1], &quot, &rem);
      range_product(factnum[i - 1] + 1, factnum[i], &bottom);
      ASSERT_TRUE(spec_equal(&quot, &bottom)) << i;
      ASSERT_EQ(to_ref(&rem), BigRef(0));
    }
  }
  special_free(&top);
  special_free(&bottom);
  special_free(&quot);
  special_free(&rem);
}

TEST_F(DataFiles, PrimeTablesHoldExactlyTheirRanges) {
  const auto expect_range = [](auto const& table, int count, std::int64_t lo, std::int64_t hi) {
    const std::vector<std::int64_t> want = primes_in(lo, hi);
    ASSERT_EQ(static_cast<int>(want.size()), count) << lo << ".." << hi;
    for (int i = 1; i <= count; ++i)
      ASSERT_EQ(table(i), want[static_cast<std::size_t>(i - 1)])
          << lo << ".." << hi << " entry " << i;
  };
  expect_range([](int i) { return std::int64_t{small_prime[i]}; }, 1229, 2, 9973);
  expect_range([](int i) { return std::int64_t{med_prime[i]}; }, 2466, 17021, 42349);
  expect_range([](int i) { return std::int64_t{prime[i + 5]->lint}; }, 599, 42359, 48869);
  expect_range([](int i) { return std::int64_t{big_prime[i]}; }, 1516, 48871, 65521);
  // The largest primes: consecutive, ending at the last prime up to 2147483644.
  for (int i = 1; i <= 2000; ++i) {
    ASSERT_TRUE(word_prime(lrgpme[i])) << i;
    if (i > 1) {
      for (std::int64_t x = std::int64_t{lrgpme[i - 1]} + 1; x < lrgpme[i]; ++x)
        ASSERT_FALSE(word_prime(x)) << x;
    }
  }
  for (std::int64_t x = std::int64_t{lrgpme[2000]} + 1; x <= 2147483644; ++x)
    ASSERT_FALSE(word_prime(x)) << x;
}

TEST_F(DataFiles, PrimesArePrimeAndTheTablesShareNone) {
  std::set<std::int64_t> seen;
  std::size_t total = 0;
  const auto add = [&](std::int64_t p) {
    EXPECT_TRUE(word_prime(p)) << p;
    seen.insert(p);
    ++total;
  };
  for (int i = 1; i <= 1229; ++i) add(small_prime[i]);
  for (int i = 1; i <= 2466; ++i) add(med_prime[i]);
  for (int i = 6; i <= 604; ++i) add(prime[i]->lint);
  for (int i = 1; i <= 1516; ++i) add(big_prime[i]);
  for (int i = 1; i <= 2000; ++i) add(lrgpme[i]);
  EXPECT_EQ(seen.size(), total);
  // The five built-in primes come first in prime.
  const std::int64_t builtin[5] = {3001, 16087, 16273, 16339, 19997};
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(prime[i]->lint, builtin[i - 1]);
    EXPECT_TRUE(word_prime(prime[i]->lint));
  }
  for (int i = 1; i <= 604; ++i) {
    ASSERT_TRUE(valid_bigint(prime[i])) << i;
    ASSERT_EQ(to_ref(prime[i]), BigRef(prime[i]->lint)) << i;
    ASSERT_EQ(prime[i]->flote, static_cast<long double>(prime[i]->lint)) << i;
  }
}

TEST_F(DataFiles, ProductsOfPrimesAndTheirInverses) {
  BigRef product(1);
  for (int j = 0; j < 599; ++j) {
    product = product * BigRef(prime[6 + j]->lint);
    ASSERT_TRUE(valid_bigint(&num_prod[j])) << j;
    ASSERT_EQ(to_ref(&num_prod[j]), product) << "num_prod[" << j << "]";
    if (j < 598) {
      const std::int64_t p = prime[7 + j]->lint;
      const std::int64_t residue = (product % BigRef(p)).to_int64();
      ASSERT_TRUE(invs_prod[j] > 0 && invs_prod[j] < p) << j;
      ASSERT_EQ(residue * invs_prod[j] % p, 1) << "invs_prod[" << j << "]";
    }
  }
}

TEST_F(DataFiles, EvaluationPointsFollowTheSmallPrimes) {
  EXPECT_EQ(global_list[0], 19);  // the eighth prime
  for (int i = 0; i <= 150; ++i) ASSERT_EQ(global_list[i], small_prime[8 + i]);
}

}  // namespace
}  // namespace tavrin::test
