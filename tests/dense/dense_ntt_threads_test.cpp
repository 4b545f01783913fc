// Residue-array products by transforms with their primes on the pool's
// threads: the same residues at 1, 2, 3 and 8 threads, below and above the
// length where the primes run side by side, and the product's value at
// random points equal to the product of the operands' values.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/thread_pool.h"
#include "dense/dense_impl.h"
#include "support/bigref.h"
#include "support/dense_ref.h"

namespace tavrin::test {
namespace {

using Residues = std::vector<std::int32_t>;
using Product = void (*)(const std::int32_t*, std::int32_t, const std::int32_t*, std::int32_t,
                         std::int32_t*, std::int32_t);

struct Threads {
  explicit Threads(int n) { set_thread_count(n); }
  ~Threads() { set_thread_count(0); }
};

std::int64_t value_at(const RefField& f, const Residues& v, std::int64_t r) {
  std::int64_t s = 0;
  for (auto it = v.rbegin(); it != v.rend(); ++it) s = f.add(f.mul(s, r), *it);
  return s;
}

TEST(DenseTransformThreads, ProductsAreTheSameAtEveryThreadCount) {
  std::mt19937_64 rng(test_seed() + 53);
  const std::pair<const char*, Product> routes[] = {{"whole", dense_detail::ntt_product_whole},
                                                    {"split", dense_detail::ntt_product_split},
                                                    {"chosen", dense_detail::ntt_product}};
  // Two primes suffice modulo 65521, three modulo 2147483629. 3000 x 2000
  // makes transforms of 2^13 (one thread), 12000 x 11000 of 2^15.
  for (std::int32_t p : {65521, 2147483629}) {
    const RefField f(p);
    for (const auto& [nx, ny] : {std::pair{3000, 2000}, std::pair{12000, 11000}}) {
      Residues x(static_cast<std::size_t>(nx)), y(static_cast<std::size_t>(ny));
      for (auto* v : {&x, &y})
        for (auto& c : *v)
          c = rng() % 4 == 0 ? p - 1
                             : static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
      for (const auto& [name, product] : routes) {
        if (product == dense_detail::ntt_product_split && !dense_detail::ntt_product_splits(nx, ny))
          continue;
        SCOPED_TRACE(std::string(name) + " modulo " + std::to_string(p) + ", " +
                     std::to_string(nx));
        Residues first;
        for (int threads : {1, 2, 3, 8}) {
          const Threads pool(threads);
          Residues z(static_cast<std::size_t>(nx + ny - 1), -7);
          product(x.data(), nx, y.data(), ny, z.data(), p);
          if (threads == 1) {
            first = z;
            for (int k = 0; k < 3; ++k) {
              const auto r = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
              ASSERT_EQ(value_at(f, z, r), f.mul(value_at(f, x, r), value_at(f, y, r)))
                  << "at " << r;
            }
          }
          ASSERT_EQ(z, first) << threads << " threads";
        }
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
