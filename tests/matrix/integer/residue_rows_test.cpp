// The vectorised rows of residues in doubles against reduce_double entry by
// entry, on values biased to the edges: multiples of p and their
// neighbours, negatives, and the largest magnitudes below 2^52.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "matrix/integer/residue_rows.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

TEST(ResidueRows, EachEntryAsReduceDouble) {
  std::mt19937_64 rng(test_seed() ^ 5101);
  for (int round = 0; round < test_iterations(200); ++round) {
    const auto p = static_cast<double>(word_prime(rng() % 4, std::uint32_t{1} << (17 + rng() % 5)));
    const double inv_p = 1.0 / p;
    const std::size_t n = 1 + rng() % 40;
    std::vector<double> big(n), part(n), small(n), f(n);
    for (std::size_t j = 0; j < n; ++j) {
      const auto q = static_cast<double>(static_cast<std::int64_t>(rng() >> (12 + rng() % 40)) %
                                         (std::int64_t{1} << 52)) /
                     p;
      const double edge =
          std::floor(q) * p + static_cast<double>(static_cast<std::int64_t>(rng() % 3) - 1);
      big[j] = (rng() % 2 != 0 ? -1.0 : 1.0) * std::min(std::abs(edge), 0x1p52 - 1.0);
      part[j] = std::abs(big[j]);
      small[j] = static_cast<double>(rng() % static_cast<std::uint64_t>(p));
      f[j] = static_cast<double>(rng() % static_cast<std::uint64_t>(p));
    }
    std::vector<double> got(n), sub = small, scaled(n);
    residue_row(got.data(), big.data(), n, p, inv_p);
    sub_residue_row(sub.data(), part.data(), n, p, inv_p);
    scale_residue_row(scaled.data(), small.data(), f[0], n, p, inv_p);
    for (std::size_t j = 0; j < n; ++j) {
      EXPECT_EQ(got[j], reduce_double(big[j], p, inv_p)) << "round " << round << " x " << big[j];
      EXPECT_EQ(sub[j], reduce_double(small[j] - reduce_double(part[j], p, inv_p), p, inv_p))
          << "round " << round;
      EXPECT_EQ(scaled[j], reduce_double(small[j] * f[0], p, inv_p)) << "round " << round;
    }
    // The residual's step: (k p + r0 (p)) / p + t v = k + r0 + t v exactly.
    std::vector<double> r(n), v(n);
    for (std::size_t j = 0; j < n; ++j) {
      v[j] = static_cast<double>(static_cast<std::int64_t>(rng() % 2001) - 1000);
      r[j] = (small[j] - f[j]) * p;
    }
    const double t = static_cast<double>(rng() % static_cast<std::uint64_t>(p));
    shift_residual_row(r.data(), v.data(), t, n, inv_p);
    for (std::size_t j = 0; j < n; ++j)
      EXPECT_EQ(r[j], small[j] - f[j] + t * v[j]) << "round " << round;
  }
}

}  // namespace
}  // namespace tavrin::test
