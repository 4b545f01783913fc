// Transform products with the three primes (and a long product's pieces)
// on the pool's threads: the same words at 1, 2, 3 and 8 threads, below and
// above the length where the primes run side by side, equal to the product
// by rows; and products run as concurrent tasks while the primes' twiddle
// tables grow.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/thread_pool.h"
#include "numbers/ntt.h"
#include "numbers/word_array.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

using kit::word;
using Words = std::vector<word>;

constexpr int thread_counts[] = {1, 2, 3, 8};

struct Threads {
  explicit Threads(int n) { set_thread_count(n); }
  ~Threads() { set_thread_count(0); }
};

Words random_words(std::mt19937_64& rng, std::int32_t n) {
  Words w(static_cast<std::size_t>(n));
  for (word& x : w) x = rng();
  if (rng() % 2 == 0) w.back() = ~word{0};  // the top chunk's carries at their largest
  return w;
}

Words by_rows(const Words& a, const Words& b) {
  Words r(a.size() + b.size());
  kit::wmul_rows(r.data(), a.data(), static_cast<std::int32_t>(a.size()), b.data(),
                 static_cast<std::int32_t>(b.size()));
  return r;
}

// w modulo 2^(64 |w|) - 1 with that modulus itself read as 0.
Words residue(const Words& w) {
  for (word x : w)
    if (x != ~word{0}) return w;
  return Words(w.size(), 0);
}

using Product = void (*)(word*, const word*, std::int32_t, const word*, std::int32_t);

Words product(Product f, const Words& a, const Words& b) {
  Words r(a.size() + b.size(), 0x5a5a);
  f(r.data(), a.data(), static_cast<std::int32_t>(a.size()), b.data(),
    static_cast<std::int32_t>(b.size()));
  return r;
}

TEST(TransformThreads, ProductsAreTheSameAtEveryThreadCount) {
  // 600 words make transforms of 2^11 (one thread); 5000 and 7000 words
  // of 2^14 and 2^15, where the primes run as tasks. Each route against
  // the product by rows.
  std::mt19937_64 rng(test_seed() + 41);
  const std::pair<const char*, Product> routes[] = {{"whole", kit::wmul_ntt_whole},
                                                    {"split", kit::wmul_ntt_split},
                                                    {"twin", kit::wmul_ntt_twin},
                                                    {"pieces", kit::wmul_ntt_pieces}};
  for (const auto& [na, nb] : {std::pair{600, 450}, std::pair{5000, 4200}, std::pair{7000, 7000}}) {
    const Words a = random_words(rng, na), b = random_words(rng, nb);
    const Words want = by_rows(a, b);
    for (const auto& [name, f] : routes) {
      if (f == kit::wmul_ntt_split && !kit::wmul_ntt_splits(na, nb)) continue;
      for (int threads : thread_counts) {
        const Threads pool(threads);
        ASSERT_EQ(product(f, a, b), want)
            << name << ' ' << na << 'x' << nb << ", " << threads << " threads";
      }
    }
  }
}

TEST(TransformThreads, WrappedProductsAndSquaresAreTheSameAtEveryThreadCount) {
  // The product modulo 2^K - 1 against the full product folded at K bits;
  // the square (b null) against a b with b = a.
  std::mt19937_64 rng(test_seed() + 43);
  for (std::int32_t n : {300, 6000}) {
    const std::int32_t k = kit::wmul_wrap_words(n);
    ASSERT_GT(k, 0);
    const Words a = random_words(rng, k), b = random_words(rng, k);
    Words full = by_rows(a, b), want(full.begin(), full.begin() + k);
    word carry = kit::wadd(want.data(), want.data(), k, full.data() + k, k);
    while (carry != 0) carry = kit::wadd_1(want.data(), want.data(), k, carry);
    const Words sq = by_rows(a, a);
    for (int threads : thread_counts) {
      const Threads pool(threads);
      Words r(static_cast<std::size_t>(k));
      kit::wmul_ntt_wrap(r.data(), k, a.data(), k, b.data(), k);
      EXPECT_EQ(residue(r), residue(want)) << k << " words, " << threads << " threads";
      Words s(2 * static_cast<std::size_t>(k));
      kit::wmul_ntt(s.data(), a.data(), k, nullptr, 0);
      EXPECT_EQ(s, sq) << k << " words squared, " << threads << " threads";
    }
  }
}

TEST(TransformThreads, ConcurrentProductsWhileTheTwiddlesGrow) {
  // Eight tasks, each a product of its own length (transforms of 2^8 ..
  // 2^15), in a fresh process: the first products prepare the twiddles
  // while the others transform with them. Each against the product by rows.
  std::mt19937_64 rng(test_seed() + 47);
  std::vector<Words> as, bs, got(8);
  for (int i = 0; i < 8; ++i) {
    const std::int32_t n = 40 << i;
    as.push_back(random_words(rng, n > 6000 ? 6000 : n));
    bs.push_back(random_words(rng, n > 5000 ? 5000 : n));
  }
  const Threads pool(8);
  run_tasks(8, [&](std::size_t i) {
    const std::size_t j = 7 - i;  // the longest first
    got[j] = product(kit::wmul_ntt, as[j], bs[j]);
  });
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(got[i], by_rows(as[i], bs[i])) << "task " << i;
}

}  // namespace
}  // namespace tavrin::test
