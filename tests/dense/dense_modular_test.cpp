// Residue vectors and arithmetic modulo a fixed polynomial against the
// independent reference of tests/support (naive products, long division,
// Euclid), on both sides of every threshold and for moduli from 2 to
// 2^31 - 19; the eight-lane transforms against the one-lane ones.
#include <gtest/gtest.h>

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
  return n <= 0 ? Coeffs{} : random_coeffs(rng, f, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(n)));
}

// Every operation on operands of degree about n, modulo p, against the
// reference.
void check_operations(std::mt19937_64& rng, std::int32_t p, std::int64_t n) {
  const RefField f(p);
  const std::string where = "p " + std::to_string(p) + " n " + std::to_string(n);
  const Coeffs a = random_coeffs(rng, f, n), b = random_coeffs(rng, f, 1 + rng() % static_cast<std::uint64_t>(n));
  EXPECT_EQ(to_ref(dense_mul(to_dense(a), to_dense(b), p)), ref_trimmed(ref_mult(f, a, b))) << where;
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
  const Coeffs x = random_below(rng, f, n), y = random_below(rng, f, n), big = random_coeffs(rng, f, 2 * n + 5);
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
  EXPECT_EQ(to_ref(FixedFactor::sum(fx, fy).times(to_dense(x))), ref_mulmod(f, ref_sub(f, x, y), x, m))
      << where;
  // g(h) mod m by Horner in the reference.
  const std::int32_t k = 1 + static_cast<std::int32_t>(rng() % 12);
  const Composer comp(to_dense(x), M, k);
  const Coeffs g1 = random_below(rng, f, 3 * n), g2 = random_below(rng, f, n / 2 + 1);
  const auto got = comp.compose(std::vector<DensePoly>{to_dense(g1), to_dense(g2)});
  for (int i = 0; i < 2; ++i) {
    const Coeffs& g = i == 0 ? g1 : g2;
    Coeffs want;
    for (std::size_t j = g.size(); j-- > 0;) want = ref_add(f, ref_mulmod(f, want, x, m), Coeffs{g[j]});
    EXPECT_EQ(to_ref(got[static_cast<std::size_t>(i)]), ref_trimmed(ref_mod(f, want, m))) << where << " k " << k;
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
      for (int i = 0; i < test_iterations(3); ++i) check_operations(rng, p, 34 + static_cast<std::int64_t>(rng() % 150));
    }
    // Default thresholds, below and above them.
    for (int i = 0; i < test_iterations(2); ++i) check_operations(rng, p, 1 + static_cast<std::int64_t>(rng() % 30));
    check_operations(rng, p, 300 + static_cast<std::int64_t>(rng() % 400));
  }
}

TEST(ResidueVectors, EightLaneTransformsGiveTheOneLaneResults) {
  if (!dense_detail::transforms_vectorised()) GTEST_SKIP() << "no AVX2";
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {32003, 2147483629}) {
    const RefField f(p);
    for (std::int64_t n : {40, 700, 5000}) {
      const DensePoly a = to_dense(random_coeffs(rng, f, n)), b = to_dense(random_coeffs(rng, f, n / 3));
      const DensePoly wide = dense_mul(a, b, p);
      dense_detail::force_scalar_transforms(true);
      const DensePoly narrow = dense_mul(a, b, p);
      dense_detail::force_scalar_transforms(false);
      EXPECT_EQ(wide, narrow) << "p " << p << " n " << n;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
