// Element vectors of GF(2^8) and GF(2^16) against the independent reference
// of tests/support (the field product bit by bit, naive products, long
// division, Euclid) on both sides of every threshold, and against the
// schoolbook and Euclid routes they keep as base cases: products, squares,
// division, planted GCDs, the cofactors of least degree, square roots and
// products modulo a fixed polynomial; all coefficients q - 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bit_poly.h"
#include "dense/dense_char2.h"
#include "support/bigref.h"
#include "support/dense_ref.h"

namespace tavrin::test {
namespace {

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

DensePoly to_dense(const Coeffs& a) {
  DensePoly d;
  for (auto c : ref_trimmed(a)) d.push_back(static_cast<std::int32_t>(c));
  return d;
}
Coeffs to_ref(const DensePoly& a) { return Coeffs(a.begin(), a.end()); }

// A random polynomial of degree deg, or (all) every coefficient q - 1.
Coeffs operand(std::mt19937_64& rng, const RefField& f, std::int64_t deg, bool all) {
  return all ? Coeffs(static_cast<std::size_t>(deg + 1), f.p() - 1) : random_coeffs(rng, f, deg);
}

// Products, squares and divisions of degrees about n against the reference,
// with the thresholds as set by the caller.
void check_arithmetic(std::mt19937_64& rng, std::int32_t q, std::int64_t n, bool all) {
  const RefField f(q);
  const Coeffs a = operand(rng, f, n, all),
               b = operand(rng, f,
                           1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(n)),
                           all);
  SCOPED_TRACE("q " + std::to_string(q) + ": " + show_coeffs(a) + " and " + show_coeffs(b));
  ASSERT_EQ(to_ref(dense_char2_mul(to_dense(a), to_dense(b), q)), ref_trimmed(ref_mult(f, a, b)));
  ASSERT_EQ(to_ref(dense_char2_sqr(to_dense(a), q)), ref_trimmed(ref_mult(f, a, a)));
  DensePoly qq, rr;
  dense_char2_divrem(to_dense(a), to_dense(b), q, &qq, &rr);
  Coeffs rq, rem;
  ref_divmod(f, a, b, &rq, &rem);
  ASSERT_EQ(to_ref(qq), rq);
  ASSERT_EQ(to_ref(rr), rem);
}

TEST(DenseChar2, ArithmeticMatchesTheReference) {
  // With the processor's carry-less multiply where it has one, and without
  // it (the portable one-word product, as on a machine that lacks it).
  std::mt19937_64 rng(test_seed());
  for (const bool clmul : {true, false}) {
    ScopedValue<bool> kernel(bit_clmul_allowed, clmul);
    for (const std::int32_t q : {256, 65536}) {
      for (const auto& [kron, newton] :
           {std::pair{1, 1}, std::pair{16, 128}, std::pair{never, never}}) {
        ScopedValue<std::int32_t> k(char2_kronecker_length, kron), nt(char2_newton_degree, newton);
        SCOPED_TRACE(clmul ? "carry-less multiply" : "portable product");
        for (int it = 0; it < test_iterations(clmul ? 25 : 8); ++it)
          check_arithmetic(rng, q, 1 + static_cast<std::int64_t>(rng() % 300), it % 6 == 0);
        check_arithmetic(rng, q, 1, false);
      }
    }
  }
}

TEST(DenseChar2, LongProductsAndDivisionsAgreeWithTheBaseCases) {
  // Past the reference's reach: Kronecker's product against the schoolbook
  // rows, Newton's division against the elimination, q b + r = a.
  std::mt19937_64 rng(test_seed() + 1);
  for (const std::int32_t q : {256, 65536}) {
    const RefField f(q);
    for (int it = 0; it < test_iterations(2); ++it) {
      const DensePoly a =
          to_dense(operand(rng, f, 3000 + static_cast<std::int64_t>(rng() % 3000), it == 1));
      const DensePoly b =
          to_dense(operand(rng, f, 1000 + static_cast<std::int64_t>(rng() % 2000), false));
      DensePoly rows, q1, r1, q2, r2;
      {
        ScopedValue<std::int32_t> k(char2_kronecker_length, never), nt(char2_newton_degree, never);
        rows = dense_char2_mul(a, b, q);
        dense_char2_divrem(a, b, q, &q2, &r2);
      }
      ASSERT_EQ(dense_char2_mul(a, b, q), rows);
      dense_char2_divrem(a, b, q, &q1, &r1);
      ASSERT_EQ(q1, q2);
      ASSERT_EQ(r1, r2);
      ASSERT_EQ(dense_char2_add(dense_char2_mul(q1, b, q), r1), a);
      ASSERT_LT(r1.size(), b.size());
    }
  }
}

// gcd and xgcd of a and b both ways (half-GCD from the given base degree,
// and Euclid alone); the first way's answers.
std::tuple<DensePoly, DensePoly, DensePoly, DensePoly> gcds(const DensePoly& a, const DensePoly& b,
                                                            std::int32_t q, std::int32_t base) {
  DensePoly g1, g2, s1, t1, s2, t2, gx1, gx2;
  {
    ScopedValue<std::int32_t> h(char2_hgcd_degree, base);
    g1 = dense_char2_gcd(a, b, q);
    dense_char2_xgcd(a, b, q, &gx1, &s1, &t1);
  }
  {
    ScopedValue<std::int32_t> h(char2_hgcd_degree, never);
    g2 = dense_char2_gcd(a, b, q);
    dense_char2_xgcd(a, b, q, &gx2, &s2, &t2);
  }
  EXPECT_EQ(g1, g2);
  EXPECT_EQ(gx1, g1);
  EXPECT_EQ(gx2, g1);
  EXPECT_EQ(s1, s2);
  EXPECT_EQ(t1, t2);
  return {g1, gx1, s1, t1};
}

TEST(DenseChar2, PlantedGcdsAndLeastCofactors) {
  std::mt19937_64 rng(test_seed() + 2);
  for (const std::int32_t q : {256, 65536}) {
    const RefField f(q);
    for (int it = 0; it < test_iterations(12); ++it) {
      const bool all = it % 5 == 0;
      const Coeffs c = operand(rng, f, static_cast<std::int64_t>(rng() % 120), all);
      const Coeffs a =
          ref_mult(f, operand(rng, f, 1 + static_cast<std::int64_t>(rng() % 250), false), c);
      const Coeffs b =
          it % 4 == 3
              ? c
              : ref_mult(f, operand(rng, f, static_cast<std::int64_t>(rng() % 250), all), c);
      const Coeffs& big = ref_degree(a) >= ref_degree(b) ? a : b;
      const Coeffs& small = ref_degree(a) >= ref_degree(b) ? b : a;
      SCOPED_TRACE("q " + std::to_string(q) + ": " + show_coeffs(big) + " and " +
                   show_coeffs(small));
      const auto [g, gx, s, t] =
          gcds(to_dense(big), to_dense(small), q, 8 + static_cast<std::int32_t>(rng() % 40));
      ASSERT_EQ(to_ref(g), ref_monic_gcd(f, big, small));
      ASSERT_EQ(ref_trimmed(ref_add(f, ref_mult(f, to_ref(s), big), ref_mult(f, to_ref(t), small))),
                to_ref(g));
      // Least degrees: deg s < deg small - deg g, deg t < deg big - deg g.
      ASSERT_LT(ref_degree(to_ref(s)),
                std::max<std::int64_t>(ref_degree(small) - ref_degree(to_ref(g)), 1));
      ASSERT_LT(ref_degree(to_ref(t)),
                std::max<std::int64_t>(ref_degree(big) - ref_degree(to_ref(g)), 1));
    }
  }
}

TEST(DenseChar2, RootsDerivativesAndProductsModuloF) {
  std::mt19937_64 rng(test_seed() + 3);
  for (const std::int32_t q : {256, 65536}) {
    const RefField f(q);
    for (int it = 0; it < test_iterations(8); ++it) {
      const Coeffs a = operand(rng, f, static_cast<std::int64_t>(rng() % 200), it % 4 == 0);
      // The root of a square is the polynomial itself.
      ASSERT_EQ(to_ref(dense_char2_sqrt(to_dense(ref_mult(f, a, a)), q)), ref_trimmed(a));
      Coeffs d;
      for (std::size_t e = 1; e < a.size(); ++e) d.push_back(e % 2 == 1 ? a[e] : 0);
      ASSERT_EQ(to_ref(dense_char2_derivative(to_dense(a))), ref_trimmed(d));
      DensePoly m = to_dense(a);
      if (!m.empty()) {
        dense_char2_make_monic(m, q);
        ASSERT_EQ(to_ref(m), ref_monic(f, a));
      }
    }
    for (const std::int32_t newton : {1, 128, never}) {
      ScopedValue<std::int32_t> nt(char2_newton_degree, newton);
      for (int it = 0; it < test_iterations(6); ++it) {
        Coeffs m = operand(rng, f, 1 + static_cast<std::int64_t>(rng() % 300), it == 0);
        m.back() = 1;
        const Char2Modulus M(to_dense(m), q);
        const std::int64_t n = ref_degree(m);
        const Coeffs x =
            n == 0
                ? Coeffs{}
                : operand(rng, f, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(n)),
                          it == 1);
        const Coeffs y =
            n == 0
                ? Coeffs{}
                : operand(rng, f, static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(n)),
                          false);
        Coeffs rq, want, sq;
        ref_divmod(f, ref_mult(f, x, y), m, &rq, &want);
        ref_divmod(f, ref_mult(f, x, x), m, &rq, &sq);
        ASSERT_EQ(to_ref(M.mul(to_dense(x), to_dense(y))), want) << show_coeffs(m);
        ASSERT_EQ(to_ref(M.sqr(to_dense(x))), sq) << show_coeffs(m);
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
