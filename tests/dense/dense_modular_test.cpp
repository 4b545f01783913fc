// Residue vectors and arithmetic modulo a fixed polynomial against the
// independent reference of tests/support (naive products, long division,
// Euclid), on both sides of every threshold and for moduli from 2 to
// 2^31 - 19; the eight-lane transforms against the one-lane ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "dense/dense_modular.h"
#include "dense/dense_transform_impl.h"
#include "support/bigref.h"
#include "support/dense_ref.h"

namespace tavrin::test {
namespace {

DensePoly to_dense(const Coeffs& a) {
  DensePoly d;
  for (auto c : ref_trimmed(a)) d.push_back(static_cast<std::int32_t>(c));
  return d;
}
Coeffs to_ref(const DensePoly& a) { return Coeffs(a.begin(), a.end()); }

Coeffs ref_mod(const RefField& f, const Coeffs& a, const Coeffs& m) {
  Coeffs q, r;
  ref_divmod(f, a, m, &q, &r);
  return r;
}
Coeffs ref_mulmod(const RefField& f, const Coeffs& a, const Coeffs& b, const Coeffs& m) {
  return ref_mod(f, ref_mult(f, a, b), m);
}
Coeffs ref_powmod(const RefField& f, Coeffs a, std::uint64_t e, const Coeffs& m) {
  Coeffs r = ref_mod(f, Coeffs{1}, m);
  for (a = ref_mod(f, a, m); e != 0; e >>= 1, a = ref_mulmod(f, a, a, m))
    if (e & 1u) r = ref_mulmod(f, r, a, m);
  return r;
}
Coeffs random_below(std::mt19937_64& rng, const RefField& f, std::int64_t n) {
  return n <= 0 ? Coeffs{}
                : random_coeffs(rng, f,
                                static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(n)));
}

// Every operation on operands of degree about n, modulo p, against the
// reference.
void check_operations(std::mt19937_64& rng, std::int32_t p, std::int64_t n) {
  const RefField f(p);
  const std::string where = "p " + std::to_string(p) + " n " + std::to_string(n);
  const Coeffs a = random_coeffs(rng, f, n),
               b = random_coeffs(rng, f, 1 + rng() % static_cast<std::uint64_t>(n));
  EXPECT_EQ(to_ref(dense_mul(to_dense(a), to_dense(b), p)), ref_trimmed(ref_mult(f, a, b)))
      << where;
  DensePoly q, r;
  dense_divrem(to_dense(a), to_dense(b), p, &q, &r);
  Coeffs rq, rr;
  ref_divmod(f, a, b, &rq, &rr);
  EXPECT_EQ(to_ref(q), rq) << where;
  EXPECT_EQ(to_ref(r), rr) << where;
  // A planted common factor: gcd(a c, b c) = c gcd(a, b), monic.
  const Coeffs c = ref_monic(f, random_coeffs(rng, f, 1 + static_cast<std::int64_t>(rng() % 40)));
  const Coeffs ac = ref_mult(f, a, c), bc = ref_mult(f, b, c);
  EXPECT_EQ(to_ref(dense_gcd(to_dense(ac), to_dense(bc), p)), ref_monic_gcd(f, ac, bc)) << where;

  // Modulo a monic m of degree n.
  Coeffs m = random_coeffs(rng, f, n);
  m = ref_monic(f, m);
  const PolyModulus M(to_dense(m), p);
  const Coeffs x = random_below(rng, f, n), y = random_below(rng, f, n),
               big = random_coeffs(rng, f, 2 * n + 5);
  EXPECT_EQ(to_ref(M.mul(to_dense(x), to_dense(y))), ref_mulmod(f, x, y, m)) << where;
  EXPECT_EQ(to_ref(M.sqr(to_dense(x))), ref_mulmod(f, x, x, m)) << where;
  EXPECT_EQ(to_ref(M.reduce(to_dense(big))), ref_mod(f, big, m)) << where;
  const Coeffs bound = random_below(rng, f, 2 * n);
  EXPECT_EQ(to_ref(M.reduce(to_dense(bound))), ref_mod(f, bound, m)) << where;
  const std::uint64_t e = rng() % 100000;
  EXPECT_EQ(to_ref(M.power(to_dense(x), e)), ref_powmod(f, x, e, m)) << where << " e " << e;
  EXPECT_EQ(to_ref(M.power_of_t(e)), ref_powmod(f, Coeffs{0, 1}, e, m)) << where << " e " << e;
  const FixedFactor fx(to_dense(x), M), fy(to_dense(ref_sub(f, Coeffs{}, y)), M);
  EXPECT_EQ(to_ref(fx.times(to_dense(y))), ref_mulmod(f, x, y, m)) << where;
  EXPECT_EQ(to_ref(FixedFactor::sum(fx, fy).times(to_dense(x))),
            ref_mulmod(f, ref_sub(f, x, y), x, m))
      << where;
  // g(h) mod m by Horner in the reference.
  const std::int32_t k = 1 + static_cast<std::int32_t>(rng() % 12);
  const Composer comp(to_dense(x), M, k);
  const Coeffs g1 = random_below(rng, f, 3 * n), g2 = random_below(rng, f, n / 2 + 1);
  const auto got = comp.compose(std::vector<DensePoly>{to_dense(g1), to_dense(g2)});
  for (int i = 0; i < 2; ++i) {
    const Coeffs& g = i == 0 ? g1 : g2;
    Coeffs want;
    for (std::size_t j = g.size(); j-- > 0;)
      want = ref_add(f, ref_mulmod(f, want, x, m), Coeffs{g[j]});
    EXPECT_EQ(to_ref(got[static_cast<std::size_t>(i)]), ref_trimmed(ref_mod(f, want, m)))
        << where << " k " << k;
  }
}

TEST(ResidueVectors, RandomAgainstTheReferenceOnBothSidesOfTheThresholds) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {2, 3, 7, 101, 32003, 65521, 65537, 2147483629}) {
    // Low thresholds: transforms, the transform remainder and the half-GCD
    // from small degrees on.
    {
      ScopedValue<std::int32_t> t(dense_transform_length, 1), m(dense_modulus_degree, 33),
          h(dense_hgcd_degree, 8), d(dense_newton_degree, 20);
      for (int i = 0; i < test_iterations(3); ++i)
        check_operations(rng, p, 34 + static_cast<std::int64_t>(rng() % 150));
    }
    // Default thresholds, below and above them.
    for (int i = 0; i < test_iterations(2); ++i)
      check_operations(rng, p, 1 + static_cast<std::int64_t>(rng() % 30));
    check_operations(rng, p, 300 + static_cast<std::int64_t>(rng() % 400));
  }
}

// GCDs whose remainder sequences are not normal (degrees dropping by more
// than one, quotients of high degree), with one operand zero, equal or a
// multiple of the other, on both sides of the half-GCD threshold.
TEST(ResidueVectors, GcdsOfAbnormalRemainderSequences) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {3, 32003, 2147483629}) {
    const RefField f(p);
    for (std::int32_t threshold : {8, 160}) {
      ScopedValue<std::int32_t> h(dense_hgcd_degree, threshold);
      for (std::int64_t n : {20, 300, 900}) {
        const std::string where = "p " + std::to_string(p) + " n " + std::to_string(n);
        const Coeffs c = ref_monic(f, random_coeffs(rng, f, n / 3));
        // t^n + 1 and t^(n/2): the first quotient has degree n/2, then
        // remainders of degree 0 or sequences of sparse polynomials.
        Coeffs u(static_cast<std::size_t>(n) + 1, 0), w(static_cast<std::size_t>(n / 2) + 1, 0);
        u[0] = u.back() = 1;
        w.back() = 1;
        w[static_cast<std::size_t>(n / 5)] = p - 1;
        const Coeffs a = ref_mult(f, c, u), b = ref_mult(f, c, w);
        EXPECT_EQ(to_ref(dense_gcd(to_dense(a), to_dense(b), p)), ref_monic_gcd(f, a, b)) << where;
        EXPECT_EQ(to_ref(dense_gcd(to_dense(a), {}, p)), ref_monic(f, a)) << where;
        EXPECT_EQ(to_ref(dense_gcd({}, to_dense(b), p)), ref_monic(f, b)) << where;
        EXPECT_TRUE(dense_gcd({}, {}, p).empty());
        EXPECT_EQ(to_ref(dense_gcd(to_dense(a), to_dense(a), p)), ref_monic(f, a)) << where;
        EXPECT_EQ(to_ref(dense_gcd(to_dense(ref_mult(f, a, b)), to_dense(b), p)), ref_monic(f, b))
            << where;
        // Equal degrees, and a divisor of degree 1.
        const Coeffs e = random_coeffs(rng, f, n), l = random_coeffs(rng, f, 1);
        EXPECT_EQ(to_ref(dense_gcd(to_dense(ref_mult(f, e, c)),
                                   to_dense(ref_mult(f, a, Coeffs{1, 1})), p)),
                  ref_monic_gcd(f, ref_mult(f, e, c), ref_mult(f, a, Coeffs{1, 1})))
            << where;
        EXPECT_EQ(to_ref(dense_gcd(to_dense(ref_mult(f, a, l)), to_dense(l), p)), ref_monic(f, l))
            << where;
      }
    }
  }
}

// The transforms' own laws: the first half of a spectrum is the spectrum
// of the array folded to half length (the remainders modulo t^(N/2) - 1
// rest on it), and the residue matrix product against the naive one for
// odd shapes and for moduli of one and of two 16-bit planes.
TEST(ResidueVectors, HalfSpectraAndTheMatrixProduct) {
  std::mt19937_64 rng(test_seed());
  for (int lg : {7, 12}) {
    const std::size_t n = std::size_t{1} << lg;
    std::vector<std::int32_t> a(n), one(1, 1), folded(n / 2);
    for (auto& c : a) c = static_cast<std::int32_t>(rng() % 2147483629);
    for (std::size_t i = 0; i < n / 2; ++i)
      folded[i] =
          static_cast<std::int32_t>((static_cast<std::int64_t>(a[i]) + a[i + n / 2]) % 2147483629);
    dense_detail::Spectrum full, half, unit;
    const auto sf = dense_detail::spectrum_of(a.data(), static_cast<std::int64_t>(n), lg, 3, full);
    const auto sh =
        dense_detail::spectrum_of(folded.data(), static_cast<std::int64_t>(n / 2), lg - 1, 3, half);
    // Both times the constant 1, back to coefficients.
    const auto su = dense_detail::spectrum_of(one.data(), 1, lg - 1, 3, unit);
    std::vector<std::int32_t> x(n / 2), y(n / 2);
    dense_detail::spectrum_mul(sf.half(), su, sh);
    dense_detail::spectrum_values(sh, 2147483629, 0, static_cast<std::int64_t>(n / 2), x.data());
    EXPECT_EQ(x, folded) << "lg " << lg;
  }
  for (std::int32_t p : {32003, 65537, 2147483629}) {
    const std::int32_t r = 7, k = 13, n = 29;
    std::vector<std::uint32_t> a(static_cast<std::size_t>(r * k)),
        h(static_cast<std::size_t>(k * n));
    for (auto& c : a) c = static_cast<std::uint32_t>(rng() % static_cast<std::uint64_t>(p));
    for (auto& c : h) c = static_cast<std::uint32_t>(p - 1 - static_cast<std::int32_t>(rng() % 3));
    std::vector<std::int32_t> out(static_cast<std::size_t>(r * n));
    dense_detail::residue_matrix_product(a.data(), r, k, h.data(), n, p, out.data());
    for (std::int32_t i = 0; i < r; ++i)
      for (std::int32_t t = 0; t < n; ++t) {
        unsigned __int128 sum = 0;
        for (std::int32_t j = 0; j < k; ++j)
          sum += static_cast<std::uint64_t>(a[i * k + j]) * h[j * n + t];
        EXPECT_EQ(out[i * n + t], static_cast<std::int32_t>(sum % static_cast<std::uint64_t>(p)))
            << "p " << p;
      }
  }
}

TEST(ResidueVectors, EightLaneTransformsGiveTheOneLaneResults) {
  if (!dense_detail::transforms_vectorised()) GTEST_SKIP() << "no AVX2";
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {32003, 2147483629}) {
    const RefField f(p);
    for (std::int64_t n : {40, 700, 5000}) {
      const DensePoly a = to_dense(random_coeffs(rng, f, n)),
                      b = to_dense(random_coeffs(rng, f, n / 3));
      const DensePoly wide = dense_mul(a, b, p);
      dense_detail::force_scalar_transforms(true);
      const DensePoly narrow = dense_mul(a, b, p);
      dense_detail::force_scalar_transforms(false);
      EXPECT_EQ(wide, narrow) << "p " << p << " n " << n;
    }
  }
}

// Past the longest transform (products over 2^21 terms, moduli over 2^20):
// products by pieces against evaluation at random points, remainders
// modulo t^n + s (s of degree 40) against folding t^n = -s from the top.
TEST(ResidueVectors, PastTheLongestTransform) {
  std::mt19937_64 rng(test_seed());
  const std::int64_t n = (std::int64_t{1} << 20) + 37;
  for (std::int32_t p : {32003, 2147483629}) {
    const RefField f(p);
    const auto up = static_cast<std::uint64_t>(p);
    auto value = [&](const DensePoly& a, std::uint64_t t) {
      std::uint64_t v = 0;
      for (std::size_t i = a.size(); i-- > 0;) v = (v * t + static_cast<std::uint64_t>(a[i])) % up;
      return v;
    };
    const DensePoly x = to_dense(random_coeffs(rng, f, n - 1)),
                    y = to_dense(random_coeffs(rng, f, n - 2));
    const DensePoly xy = dense_mul(x, y, p);
    ASSERT_EQ(xy.size(), x.size() + y.size() - 1);
    for (int k = 0; k < 3; ++k) {
      const std::uint64_t t = rng() % up;
      EXPECT_EQ(value(xy, t), value(x, t) * value(y, t) % up) << "p " << p << " t " << t;
    }
    DensePoly m = to_dense(random_coeffs(rng, f, 40));
    m.resize(static_cast<std::size_t>(n) + 1, 0);
    m.back() = 1;
    auto fold = [&](DensePoly a) {
      for (std::int64_t k = static_cast<std::int64_t>(a.size()) - 1; k >= n; --k) {
        const std::uint64_t c = up - static_cast<std::uint64_t>(a[static_cast<std::size_t>(k)]);
        a[static_cast<std::size_t>(k)] = 0;
        for (std::int64_t j = 0; j <= 40; ++j) {
          std::int32_t& z = a[static_cast<std::size_t>(k - n + j)];
          z = static_cast<std::int32_t>(
              (static_cast<std::uint64_t>(z) +
               c * static_cast<std::uint64_t>(m[static_cast<std::size_t>(j)])) %
              up);
        }
      }
      a.resize(
          static_cast<std::size_t>(std::min<std::int64_t>(n, static_cast<std::int64_t>(a.size()))));
      dense_trim(a);
      return a;
    };
    const PolyModulus M(m, p);
    EXPECT_EQ(M.mul(x, y), fold(xy)) << "p " << p;
    EXPECT_EQ(M.sqr(y), fold(dense_mul(y, y, p))) << "p " << p;
  }
}

}  // namespace
}  // namespace tavrin::test
