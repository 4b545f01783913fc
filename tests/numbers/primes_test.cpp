// Primality, smallest factors and the next prime, checked against a sieve
// and, for values beyond it, a Miller-Rabin test; the random routines'
// ranges.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "numbers/primes.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

// Smallest prime factor of every n <= limit (0 for 0 and 1).
std::vector<std::uint32_t> smallest_factors(std::uint32_t limit) {
  std::vector<std::uint32_t> spf(limit + 1, 0);
  for (std::uint32_t i = 2; i <= limit; ++i) {
    if (spf[i] != 0) continue;
    for (std::uint64_t j = i; j <= limit; j += i)
      if (spf[j] == 0) spf[j] = i;
  }
  return spf;
}

std::uint64_t mulmod(std::uint64_t a, std::uint64_t b, std::uint64_t m) {
  return (BigRef(static_cast<std::int64_t>(a)) * BigRef(static_cast<std::int64_t>(b)) %
          BigRef(static_cast<std::int64_t>(m)))
      .to_int64();
}

// Deterministic Miller-Rabin for values below 2^63 (first twelve prime bases).
bool miller_rabin(std::uint64_t n) {
  if (n < 2) return false;
  for (std::uint64_t p : {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37}) {
    if (n % p == 0) return n == p;
  }
  std::uint64_t d = n - 1;
  int s = 0;
  for (; d % 2 == 0; d /= 2) ++s;
  for (std::uint64_t a : {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31, 37}) {
    std::uint64_t x = 1, b = a, e = d;
    for (; e != 0; e >>= 1, b = mulmod(b, b, n))
      if ((e & 1) != 0) x = mulmod(x, b, n);
    if (x == 1 || x == n - 1) continue;
    bool witness = true;
    for (int r = 1; r < s && witness; ++r) {
      x = mulmod(x, x, n);
      if (x == n - 1) witness = false;
    }
    if (witness) return false;
  }
  return true;
}

const std::vector<std::uint32_t>& spf() {
  static const std::vector<std::uint32_t> table = smallest_factors(300000);
  return table;
}

TEST(IsPrime, KnownValues) {
  EXPECT_TRUE(is_prime(2));
  EXPECT_TRUE(is_prime(3));
  EXPECT_TRUE(is_prime(5));
  EXPECT_TRUE(is_prime(7));
  EXPECT_FALSE(is_prime(1));
  EXPECT_FALSE(is_prime(0));
  EXPECT_FALSE(is_prime(-7));
  EXPECT_FALSE(is_prime(25));
  EXPECT_FALSE(is_prime(49));
  EXPECT_TRUE(is_prime(2147483647));
  EXPECT_FALSE(is_prime(2147483643));     // 3 * 715827881
  EXPECT_FALSE(is_prime(46337 * 46337));  // the square of the largest prime below sqrt(2^31)
}

TEST(IsPrime, AgreesWithASieve) {
  for (std::int32_t x = 0; x <= 300000; ++x) {
    const bool expect =
        x >= 2 && spf()[static_cast<std::size_t>(x)] == static_cast<std::uint32_t>(x);
    ASSERT_EQ(is_prime(x), expect) << x;
  }
}

TEST(IsPrime, AgreesWithMillerRabinNear2To31) {
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::int32_t> big(2147000000, 2147483647);
  for (int it = 0; it < test_iterations(3000); ++it) {
    const std::int32_t x = big(rng);
    ASSERT_EQ(is_prime(x), miller_rabin(static_cast<std::uint64_t>(x))) << x;
  }
}

TEST(LongIsPrime, SmallestFactor) {
  EXPECT_EQ(long_is_prime(91), 7);
  EXPECT_EQ(long_is_prime(97), 1);
  EXPECT_EQ(long_is_prime(1000), 2);
  EXPECT_EQ(long_is_prime(2147483643), 3);
  EXPECT_EQ(long_is_prime(2147483645), 5);
  EXPECT_EQ(long_is_prime(1), 0);
  EXPECT_EQ(long_is_prime(46337 * 46337), 46337);
  EXPECT_EQ(long_is_prime(46327 * 46337), 46327);
  for (std::int32_t x = 2; x <= 300000; ++x) {
    const std::uint32_t f = spf()[static_cast<std::size_t>(x)];
    const std::int32_t expect =
        f == static_cast<std::uint32_t>(x) ? 1 : static_cast<std::int32_t>(f);
    ASSERT_EQ(long_is_prime(x), expect) << x;
  }
}

// Splits v into the three 28-bit limbs of longg_is_prime.
std::uint32_t longg(std::uint64_t v) {
  return longg_is_prime(static_cast<std::int32_t>(v >> 56),
                        static_cast<std::int32_t>((v >> 28) & 0xFFFFFFF),
                        static_cast<std::int32_t>(v & 0xFFFFFFF));
}

TEST(LonggIsPrime, ThreeLimbValues) {
  EXPECT_EQ(longg(97), 1u);
  EXPECT_EQ(longg(std::uint64_t{1000003} * 1000033), 1000003u);
  EXPECT_EQ(longg(std::uint64_t{4294967291} * 3), 3u);
  EXPECT_EQ(longg((std::uint64_t{1} << 62) + 2), 2u);
  EXPECT_EQ(longg(std::uint64_t{1000003} * 1000003), 1000003u);
  EXPECT_EQ(longg((std::uint64_t{1} << 56) + 1), 257u);  // 257 is its smallest factor
  std::mt19937_64 rng(test_seed());
  std::uniform_int_distribution<std::uint64_t> mid(1ull << 30, 1ull << 40);
  for (int it = 0; it < test_iterations(300); ++it) {
    const std::uint64_t v = mid(rng);
    const std::uint32_t r = longg(v);
    if (miller_rabin(v)) {
      ASSERT_EQ(r, 1u) << v;
    } else {
      ASSERT_GT(r, 1u) << v;
      ASSERT_EQ(v % r, 0u) << v;
      ASSERT_TRUE(miller_rabin(r)) << v << " gives " << r;
    }
  }
}

TEST(LonggIsPrime, RefusesValuesFrom2To63) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(longg_is_prime(128, 0, 1), 0u);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Tavrin error. "), std::string::npos) << out;
  // Just below 2^63 the value is taken (even, so answered at once).
  EXPECT_EQ(longg_is_prime(127, 268435455, 268435454), 2u);
}

TEST(NextPrime, KnownValuesAndEvenStarts) {
  EXPECT_EQ(nextprime(7), 11);
  EXPECT_EQ(nextprime(23), 29);
  EXPECT_EQ(nextprime(1), 3);
  EXPECT_EQ(nextprime(3), 5);
  EXPECT_EQ(nextprime(8), 11);  // an even start goes on from the next odd number
  EXPECT_EQ(nextprime(2), 3);
  EXPECT_EQ(nextprime(0), 3);
  EXPECT_EQ(nextprime(2147483629), 2147483647);
}

TEST(NextPrime, IsTheLeastPrimeAmongTheCandidates) {
  for (std::int32_t x = 1; x < 290000; x += 1) {
    const std::int32_t y = nextprime(x);
    const std::int32_t first = (x & 1) != 0 ? x + 2 : x + 1;
    ASSERT_EQ(spf()[static_cast<std::size_t>(y)], static_cast<std::uint32_t>(y)) << x;
    for (std::int32_t z = first; z < y; z += 2)
      ASSERT_NE(spf()[static_cast<std::size_t>(z)], static_cast<std::uint32_t>(z)) << x;
  }
}

TEST(RandomIntegers, Ranges) {
  for (int it = 0; it < test_iterations(20000); ++it) {
    const std::int32_t r = rand_integer2();
    ASSERT_TRUE(r >= 0 && r <= 16384) << r;
    ASSERT_EQ(r, static_cast<std::int32_t>(random_ext2 / 2147483647.0 * 16384.0));
    const std::int32_t s = rand_integer3();
    ASSERT_TRUE(s >= 0 && s <= 48870) << s;
  }
}

TEST(IsWordPrime, AgreesWithKnownAnswersAndTrialDivision) {
  // Known answers: the ends of the range, the primes that are also bases
  // or small divisors, the largest word primes, and composites that fool
  // weaker sets of bases (strong pseudoprimes to 2, 3, 5 and to 2, 3, 5, 7).
  const std::pair<std::uint32_t, bool> known[] = {
      {0, false},          {1, false},           {2, true},           {3, true},
      {4, false},          {13, true},           {61, true},          {121, false},
      {3721, false},       {25326001, false},    {2147483647, true},  {3215031751u, false},
      {4294967291u, true}, {4294967295u, false}, {4294967279u, true}, {4294967293u, false}};
  for (const auto& [n, prime] : known) EXPECT_EQ(is_word_prime(n), prime) << n;
  // Random words below 2^31 (odd ones near the top, where the images take
  // their primes) against trial division.
  std::mt19937_64 rng(2830);
  for (int round = 0; round < 3000; ++round) {
    const auto n = static_cast<std::uint32_t>(round % 2 ? (1u << 31) - 1 - 2 * (rng() % 50000)
                                                        : rng() % (1u << 31));
    EXPECT_EQ(is_word_prime(n), is_prime(static_cast<std::int32_t>(n))) << n;
  }
}

}  // namespace
}  // namespace tavrin::test
