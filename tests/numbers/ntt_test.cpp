// The transforms modulo the three word primes: long transforms (run by
// halves once past the cache) against direct cyclic convolutions, and the
// lazy 64-bit sums of pointwise products against sums of Montgomery
// products, with the eight lanes and with one.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "numbers/ntt.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

using kit::u32;
using kit::u64;

// Switches the eight lanes off for a scope when asked.
struct Lanes {
  explicit Lanes(bool scalar) { kit::force_scalar_ntt(scalar); }
  ~Lanes() { kit::force_scalar_ntt(false); }
};

u64 mulmod(u64 a, u64 b, u64 p) {
  return static_cast<u64>(static_cast<unsigned __int128>(a) * b % p);
}

TEST(Transforms, LongTransformsGiveCyclicConvolutions) {
  // backward(forward(a) * forward(b)) is N 2^-32 times the cyclic
  // convolution of a and b: a dense, b with a few terms, so the
  // convolution is direct. Lengths on both sides of the cache's, with one
  // lane and eight, each prime; past it, levels by one pass and by pairs.
  std::mt19937_64 rng(test_seed() + 11);
  std::vector<kit::TransformPrime>& primes = kit::transform_primes();
  for (kit::TransformPrime& P : primes) P.prepare(20);
  for (const bool scalar : {false, true}) {
    const Lanes lanes(scalar);
    for (const int lg : {12, 14, 15, 16, 17, 18, 19, 20}) {
      const std::size_t n = std::size_t{1} << lg;
      for (const kit::TransformPrime& P : primes) {
        SCOPED_TRACE("lg " + std::to_string(lg) + ", p " + std::to_string(P.p()) +
                     (scalar ? ", one lane" : ""));
        const u64 p = P.p();
        std::vector<u32> a(n), b(n, 0);
        for (u32& x : a) x = static_cast<u32>(rng() % p);
        std::vector<std::pair<std::size_t, u32>> terms;
        for (int t = 0; t < 5; ++t) terms.emplace_back(rng() % n, static_cast<u32>(rng() % p));
        terms.emplace_back(n - 1, static_cast<u32>(p - 1));  // the last place wraps round
        for (const auto& [at, c] : terms) b[at] = static_cast<u32>((b[at] + c) % p);
        std::vector<u32> want(n, 0);
        for (std::size_t at = 0; at < n; ++at) {
          if (b[at] == 0) continue;
          for (std::size_t i = 0; i < n; ++i) {
            u32& w = want[(i + at) & (n - 1)];
            w = static_cast<u32>((w + mulmod(a[i], b[at], p)) % p);
          }
        }
        kit::ntt_forward(a.data(), lg, P);
        kit::ntt_forward(b.data(), lg, P);
        kit::ntt_pointwise(a.data(), b.data(), nullptr, nullptr, a.data(), n, P);
        kit::ntt_backward(a.data(), lg, P);
        // the factor N 2^-32: 2^-32 is (p + 1)/2 to the 32nd power
        u64 f = n % p;
        for (int i = 0; i < 32; ++i) f = mulmod(f, (p + 1) / 2, p);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < n; ++i) wrong += a[i] % p != mulmod(want[i], f, p);
        EXPECT_EQ(wrong, 0u);
      }
    }
  }
}

TEST(Transforms, TwiddlesArePowersOfOneRootAndTheirInverses) {
  // Entry h + j of each table against powers of the longest level's root w
  // (w_2h = w^(N/2h), w of order N exactly): the forward twiddle w_2h^j,
  // the backward one its inverse, each with its Shoup quotient; every
  // entry at short lengths, a sample at long ones (whose backward
  // twiddles are read from the forward table), and tables prepared again at
  // a greater length equal to fresh ones.
  std::mt19937_64 rng(test_seed() + 5);
  for (const kit::TransformPrimeName& name : kit::transform_prime_table) {
    for (const int lg : {1, 2, 3, 7, 12, 20, kit::ntt_max_lg}) {
      SCOPED_TRACE("p " + std::to_string(name.p) + ", lg " + std::to_string(lg));
      const u64 p = name.p;
      kit::TransformPrime P(name.p, name.two_adicity), Q(name.p, name.two_adicity);
      P.prepare(lg);
      Q.prepare(lg / 2);
      Q.prepare(lg);
      const std::size_t n = std::size_t{1} << lg;
      // (at length 2 the one twiddle is 1)
      const u64 w = n >= 4 ? P.fw()[n / 2 + 1] : 1;
      if (n >= 4) {
        ASSERT_EQ(power_modulo(w, n / 2, name.p), p - 1);  // of order n
      }
      auto check = [&](std::size_t h, std::size_t j) {
        const u64 root = power_modulo(w, n / (2 * h), name.p);
        const u64 f = power_modulo(root, j, name.p);
        const std::size_t i = h + j;
        ASSERT_EQ(P.fw()[i], f) << h << " " << j;
        ASSERT_EQ(P.fwq()[i], (f << 32) / p);
        const u64 b = P.backward_twiddle(h, j);
        ASSERT_EQ(mulmod(b, f, p), 1u) << h << " " << j;
        ASSERT_EQ(P.backward_quotient(h, j), (b << 32) / p);
        ASSERT_EQ(Q.fw()[i], P.fw()[i]);
        ASSERT_EQ(Q.fwq()[i], P.fwq()[i]);
        ASSERT_EQ(Q.backward_twiddle(h, j), b);
        ASSERT_EQ(Q.backward_quotient(h, j), P.backward_quotient(h, j));
      };
      for (std::size_t h = 1; h < n; h <<= 1) {
        if (h <= 4096) {
          for (std::size_t j = 0; j < h; ++j) check(h, j);
        } else {
          for (const std::size_t j : {std::size_t{0}, std::size_t{1}, h / 2, h - 1}) check(h, j);
          for (int t = 0; t < 64; ++t) check(h, rng() % h);
        }
      }
    }
  }
}

TEST(Transforms, LazySumsAgreeWithSumsOfMontgomeryProducts) {
  // acc += a b in 64 bits, folded every eight products, then reduced once:
  // the same residues as the sum of the Montgomery products a b 2^-32.
  // Values at 2p - 1 (p - 1 once below p) are the sums' worst case.
  std::mt19937_64 rng(test_seed() + 12);
  const std::size_t n = 64;
  for (const bool scalar : {false, true}) {
    const Lanes lanes(scalar);
    for (const kit::TransformPrime& P : kit::transform_primes()) {
      const u32 p = P.p();
      for (const int count : {1, 7, 8, 9, 16, 17, 40}) {
        for (const bool worst : {false, true}) {
          SCOPED_TRACE(std::to_string(count) + " products modulo " + std::to_string(p) +
                       (worst ? ", largest values" : "") + (scalar ? ", one lane" : ""));
          std::vector<u64> acc(n, 0);
          std::vector<u32> want(n, 0), sum(n);
          for (int k = 0; k < count; ++k) {
            std::vector<u32> a(n), b(n), t(n);
            for (std::size_t i = 0; i < n; ++i) {
              a[i] = worst ? 2 * p - 1 : static_cast<u32>(rng() % (2 * p));
              b[i] = worst ? 2 * p - 1 : static_cast<u32>(rng() % (2 * p));
            }
            kit::ntt_pointwise(a.data(), b.data(), nullptr, nullptr, t.data(), n, P);
            for (std::size_t i = 0; i < n; ++i)
              want[i] = static_cast<u32>((want[i] + t[i] % p) % p);
            kit::ntt_below_p(a.data(), n, P);
            kit::ntt_below_p(b.data(), n, P);
            kit::ntt_mul_add_lazy(a.data(), b.data(), acc.data(), n);
            if (k % 8 == 7) kit::ntt_fold_lazy(acc.data(), n, P);
          }
          kit::ntt_reduce_lazy(acc.data(), sum.data(), n, P);
          for (std::size_t i = 0; i < n; ++i) {
            ASSERT_LT(sum[i], 2 * p);
            ASSERT_EQ(sum[i] % p, want[i]) << "at " << i;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
