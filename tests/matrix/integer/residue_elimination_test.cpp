// The eliminations on word residues: the blocked LU on residues held in
// doubles against the row-by-row determinant, its inverse by the identity
// A adj(A) = det(A) I, its factors by L U = P A, and the first dependent
// column of a planted singular matrix.
#include "matrix/residue_elimination.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "support/modulus_scope.h"

namespace tavrin::test {
namespace {

TEST(ResidueElimination, BlockedKernelAgreesWithTheRowByRowKernel) {
  std::mt19937_64 rng(2525);
  // The first column without a pivot: column 11 = column 2 + 3 column 9
  // modulo p, everything before it independent.
  {
    const std::size_t n = 20;
    const std::uint32_t p = 2097143;
    std::vector<double> a(n * n);
    for (auto& v : a) v = static_cast<double>(rng() % p);
    for (std::size_t r = 0; r < n; ++r)
      a[r * n + 11] = static_cast<double>((static_cast<std::uint64_t>(a[r * n + 2]) +
                                           3 * static_cast<std::uint64_t>(a[r * n + 9])) %
                                          p);
    std::vector<std::int32_t> perm(n);
    std::int32_t dependent = -1;
    EXPECT_EQ(residue_lu(a.data(), static_cast<std::int32_t>(n), p, perm.data(), &dependent), 0u);
    EXPECT_EQ(dependent, 11);
  }
  for (std::uint32_t p : {7u, 32003u, 2097143u, 16777213u}) {
    for (std::int32_t n : {1, 2, 8, 9, 17, 40, 270}) {
      const auto size = static_cast<std::size_t>(n);
      std::vector<std::uint32_t> a(size * size);
      for (auto& v : a) v = static_cast<std::uint32_t>(rng() % p);
      if (n % 8 == 0) std::copy_n(a.begin(), size, a.end() - static_cast<std::ptrdiff_t>(size));
      std::vector<double> lu(a.begin(), a.end());
      std::vector<std::int32_t> perm(size);
      const std::uint32_t det = residue_lu(lu.data(), n, p, perm.data());
      ModulusScope mod(static_cast<std::int32_t>(p));
      std::vector<std::uint32_t> copy = a;
      EXPECT_EQ(det, static_cast<std::uint32_t>(plain_residue_determ(copy.data(), n, 1)))
          << p << " " << n;
      std::vector<std::uint32_t> inv(size * size);
      ASSERT_EQ(residue_inverse(a.data(), n, p, det, inv.data()), det != 0) << p << " " << n;
      if (det == 0) continue;
      // a adj(a) = det I modulo p on a few rows; L U = P A modulo p.
      for (std::size_t k : {std::size_t{0}, size - 1})
        for (std::size_t c = 0; c < size; ++c) {
          std::uint64_t sum = 0;
          for (std::size_t i = 0; i < size; ++i)
            sum = (sum + std::uint64_t{a[k * size + i]} * inv[i * size + c]) % p;
          ASSERT_EQ(sum, k == c ? det : 0u) << p << " " << n << " " << k << " " << c;
        }
      for (std::size_t k : {std::size_t{0}, size / 2, size - 1})
        for (std::size_t c = 0; c < size; ++c) {
          std::uint64_t sum = 0;
          for (std::size_t i = 0; i <= std::min(k, c); ++i) {
            const auto l =
                i == k
                    ? 1u
                    : static_cast<std::uint64_t>(lu[static_cast<std::size_t>(perm[k]) * size + i]);
            sum = (sum + l * static_cast<std::uint64_t>(
                                 lu[static_cast<std::size_t>(perm[i]) * size + c])) %
                  p;
          }
          ASSERT_EQ(sum, a[static_cast<std::size_t>(perm[k]) * size + c])
              << p << " " << n << " " << k << " " << c;
        }
    }
  }
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// The determinant modulo a prime given as an argument against the
// row-by-row kernel under that modulus, on both sides of 2^16 and 2^24 and
// modulo 2; singular matrices (a repeated row) give 0, and a row swap
// negates the value.
TEST(ResidueElimination, DeterminantModuloAGivenPrime) {
  std::mt19937_64 rng(2626);
  for (std::uint32_t p : {2u, 3u, 65521u, 65537u, 16777213u, 16777259u, 268435399u, 2147483629u}) {
    for (std::int32_t n : {1, 2, 5, 16, 33}) {
      const auto size = static_cast<std::size_t>(n);
      std::vector<std::uint32_t> a(size * size);
      for (auto& v : a) v = static_cast<std::uint32_t>(rng() % p);
      std::vector<std::uint32_t> work = a;
      const std::uint32_t det = prime_residue_determ(work.data(), n, p);
      ModulusScope mod(static_cast<std::int32_t>(p));
      work = a;
      EXPECT_EQ(det, static_cast<std::uint32_t>(plain_residue_determ(work.data(), n, 1)))
          << p << " " << n;
      if (n < 2) continue;
      work = a;
      std::swap_ranges(work.begin(), work.begin() + n, work.begin() + n);
      EXPECT_EQ(prime_residue_determ(work.data(), n, p), det == 0 ? 0 : p - det) << p << " " << n;
      work = a;
      std::copy_n(work.begin(), size, work.end() - static_cast<std::ptrdiff_t>(size));
      EXPECT_EQ(prime_residue_determ(work.data(), n, p), 0u) << p << " " << n;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
