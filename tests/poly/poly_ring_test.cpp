// The kernels that take the ground ring as a value: the array products
// computed in a ring given to them while the globals name another (two
// primes side by side, the rationals in force), and the polynomial kernels
// given the ring in force, against reference products, powers, quotients
// and GCDs.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/globals.h"
#include "core/ring.h"
#include "dense/dense_arrays.h"
#include "dense/dense_gcd.h"
#include "dense/dense_mult.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_trial.h"
#include "support/dense_ref.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// A word prime field as a ring value, made without touching the globals.
tavrin::Ring prime_ring(std::int32_t p) {
  tavrin::Ring r;
  r.modular = true;
  r.lint = true;
  r.modulus = p;
  return r;
}

// The array product of a and b in ring r (a's and b's lengths past the
// Karatsuba cut and, for the longest, the transform span).
Coeffs array_product(const Coeffs& a, const Coeffs& b, const tavrin::Ring& r) {
  std::vector<std::int32_t> x(a.size()), y(b.size()), z(a.size() + b.size() - 1);
  load_array(a, x.data());
  load_array(b, y.data());
  fast_array_onevar_mult(x.data(), y.data(), z.data(), 0, static_cast<std::int32_t>(a.size()) - 1,
                         0, static_cast<std::int32_t>(b.size()) - 1, r);
  return ref_trimmed(Coeffs(z.begin(), z.end()));
}

TEST(RingValueTest, ArrayProductsRunInTheRingGivenBesideTheOneInForce) {
  ASSERT_FALSE(modularmode);  // the rationals are in force throughout
  std::mt19937_64 rng(test_seed());
  const RefField small(65521), big(2147483629);
  const tavrin::Ring r_small = prime_ring(65521), r_big = prime_ring(2147483629);
  for (int i = 0; i < test_iterations(12); ++i) {
    const std::int64_t da = 3 + (i * 37) % 300, db = 2 + (i * 53) % 260;
    const Coeffs as = random_coeffs(rng, small, da), bs = random_coeffs(rng, small, db);
    const Coeffs ab = random_coeffs(rng, big, da), bb = random_coeffs(rng, big, db);
    // Interleaved: neither product may leave anything of its ring behind.
    const Coeffs ps = array_product(as, bs, r_small);
    const Coeffs pb = array_product(ab, bb, r_big);
    EXPECT_EQ(ps, ref_mult(small, as, bs)) << "degrees " << da << ", " << db;
    EXPECT_EQ(pb, ref_mult(big, ab, bb)) << "degrees " << da << ", " << db;
  }
  EXPECT_FALSE(modularmode);
}

class RingKernelTest : public ::testing::TestWithParam<Ring> {
 protected:
  PolyVars vars{"x", "y", "z"};
};

// Products, powers, exact and long divisions given the ring in force agree
// with the reference arithmetic: a*b against the reference product, (a*b)/b
// back to a, q*m + r = n for a monic m, a^k against k - 1 products.
TEST_P(RingKernelTest, KernelsGivenTheRingAgreeWithTheReference) {
  const Ring which = GetParam();
  std::mt19937_64 rng(test_seed() + 7);
  for_each_ring({which}, [&](Ring ring) {
    const tavrin::Ring r = tavrin::Ring::current();
    const int limbs = limbs_for(ring);
    for (int i = 0; i < test_iterations(20); ++i) {
      const RefPoly a = in_ring(ring, random_refpoly(rng, 3, 8, 4, limbs));
      RefPoly b = in_ring(ring, random_refpoly(rng, 3, 6, 3, limbs));
      // A monic divisor in x keeps every division exact in every ring.
      b = b + RefPoly::variable(3, 0, 6);
      SCOPED_TRACE(a.to_string(vars.names()) + "  and  " + b.to_string(vars.names()));
      Poly n(a), m(b);
      Poly prod;
      poly_mult(n, m, prod.cell(), vars.level(1), r);
      ASSERT_TRUE(valid_poly(prod));
      const RefPoly want = ring_product(ring, a, b);
      ASSERT_EQ(read_poly(prod), want);

      Poly q;
      bool failed = true;
      gen_poly_divide(prod, m, q.cell(), vars.level(1), &failed, r);
      EXPECT_FALSE(failed);
      EXPECT_EQ(read_poly(q), in_ring(ring, a));

      Poly tq;
      EXPECT_TRUE(trial_poly_divide(prod, m, tq.cell(), vars.level(1), false, false, false, r));
      EXPECT_EQ(read_poly(tq), in_ring(ring, a));

      if (ring != Ring::integers) {  // over a field: n = q m + r with deg r < 6
        Poly rem, quo;
        poly_mod_and_div(n, m, rem.cell(), quo.cell(), vars.level(1), r);
        const RefPoly back = ring_sum(ring, ring_product(ring, read_poly(quo), b), read_poly(rem));
        EXPECT_EQ(back, in_ring(ring, a));
      }

      Poly pw(a);
      const unsigned k = 2 + static_cast<unsigned>(i % 3);
      compute_power(pw.cell(), static_cast<std::int32_t>(k), vars.level(1), r);
      RefPoly power = in_ring(ring, a);
      for (unsigned j = 1; j < k; ++j) power = ring_product(ring, power, in_ring(ring, a));
      EXPECT_EQ(read_poly(pw), power);
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Rings, RingKernelTest,
                         ::testing::Values(Ring::integers, Ring::mod7, Ring::mod65521,
                                           Ring::mod_big, Ring::gf256),
                         ring_test_name);

// The one-variable GCD modulo a prime given its ring: gcd(a c, b c) is the
// monic c when a and b are coprime (x^k + 1 and x^k + 2 differ by 1).
TEST(RingValueTest, OneVariableGcdGivenTheRingIsTheCommonFactor) {
  PolyVars one{"x"};
  std::mt19937_64 rng(test_seed() + 3);
  for_each_ring({Ring::mod7, Ring::mod65521, Ring::gf256}, [&](Ring ring) {
    const tavrin::Ring r = tavrin::Ring::current();
    for (int i = 0; i < test_iterations(10); ++i) {
      const int k = 1 + i % 9;
      RefPoly c = in_ring(ring, random_refpoly(rng, 1, 6, 12, 1));
      c = c + RefPoly::variable(1, 0, 13);  // monic of degree 13
      const RefPoly a = RefPoly::variable(1, 0, k) + RefPoly::constant(1, BigRef(1));
      const RefPoly b = RefPoly::variable(1, 0, k) + RefPoly::constant(1, BigRef(2));
      Poly n(ring_product(ring, a, c)), m(ring_product(ring, b, c)), g;
      fastest_poly_gcd(n, m, g.cell(), true, one.level(1), r);
      EXPECT_EQ(read_poly(g), in_ring(ring, c)) << "k = " << k;
    }
  });
}

}  // namespace
}  // namespace tavrin::test
