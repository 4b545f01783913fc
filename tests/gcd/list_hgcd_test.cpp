// The half-GCD on term lists against the dense reference: the matrix it
// returns maps the pair before to the pair after and is unimodular, on
// random pairs of degrees up to 600 with the base-case cut-off at 20 and at
// its minimum 6 (so the recursion, the base case and both early returns
// run); the GCD loop equals Euclid's up to a unit, keeps its arguments, and
// uses up the ones it is given.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "gcd/gcd.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

const std::int32_t moduli[] = {7, 65521, 2147483629, 256};

Coeffs trimmed_of(poly p) { return ref_trimmed(poly_to_coeffs(p)); }

// r1*u0 + r2*u1.
Coeffs combine(const RefField& f, const Coeffs& r1, const Coeffs& r2, const Coeffs& u0,
               const Coeffs& u1) {
  return ref_trimmed(ref_add(f, ref_mult(f, r1, u0), ref_mult(f, r2, u1)));
}

TEST(ListHalfGcd, MatrixMapsThePairBeforeToThePairAfter) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : moduli) {
    ModulusScope scope(p);
    const RefField f(p);
    for (std::int32_t cutoff : {20, 6}) {
      ScopedValue<std::int32_t> cut(poly_cutoff, cutoff);
      for (int it = 0; it < test_iterations(25); ++it) {
        const auto d0 = static_cast<std::int64_t>(1 + rng() % (it % 4 == 0 ? 40 : 600));
        const std::int64_t half = (d0 + 1) / 2;
        std::int64_t d1 = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(d0));
        if (it % 5 == 1) d1 = half < d0 ? half : d0 - 1;  // deg u1 = m: a constant upper half
        const Coeffs u0 = random_coeffs(rng, f, d0), u1 = random_coeffs(rng, f, d1);
        SCOPED_TRACE("modulus " + std::to_string(p) + " cut-off " + std::to_string(cutoff) +
                     ": " + show_coeffs(u0) + " and " + show_coeffs(u1));
        NodeBalance balance;
        Poly a = Poly::adopt(coeffs_to_poly(u0)), b = Poly::adopt(coeffs_to_poly(u1));
        Poly r11, r12, r21, r22;
        emgcd_full(a.cell(), b.cell(), r11.cell(), r12.cell(), r21.cell(), r22.cell(), true);
        for (poly x : {a.get(), b.get(), r11.get(), r12.get(), r21.get(), r22.get()})
          ASSERT_TRUE(valid_poly(x, 1));
        const Coeffs R11 = trimmed_of(r11), R12 = trimmed_of(r12), R21 = trimmed_of(r21),
                     R22 = trimmed_of(r22);
        ASSERT_EQ(combine(f, R11, R12, u0, u1), trimmed_of(a));
        ASSERT_EQ(combine(f, R21, R22, u0, u1), trimmed_of(b));
        const Coeffs det =
            ref_trimmed(ref_sub(f, ref_mult(f, R11, R22), ref_mult(f, R12, R21)));
        ASSERT_EQ(ref_degree(det), 0) << "not unimodular: " << show_coeffs(det);
        ASSERT_LT(ref_degree(trimmed_of(b)), ref_degree(trimmed_of(a)));
        if (d1 < half) {
          ASSERT_EQ(trimmed_of(a), u0) << "returned without a step";
        }
      }
    }
  }
}

TEST(ListHalfGcd, GcdLoopEqualsEuclidUpToAUnit) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 1);
  for (std::int32_t p : moduli) {
    ModulusScope scope(p);
    const RefField f(p);
    for (std::int32_t cutoff : {20, 6}) {
      ScopedValue<std::int32_t> cut(poly_cutoff, cutoff);
      for (int it = 0; it < test_iterations(12); ++it) {
        const auto dc = static_cast<std::int64_t>(it % 3 == 0 ? 0 : rng() % 200);
        const Coeffs c = random_coeffs(rng, f, dc);
        Coeffs x = ref_mult(f, random_coeffs(rng, f, 1 + static_cast<std::int64_t>(rng() % 400)), c);
        Coeffs y = ref_mult(f, random_coeffs(rng, f, 1 + static_cast<std::int64_t>(rng() % 400)), c);
        if (ref_degree(x) < ref_degree(y)) std::swap(x, y);
        SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(x) + " and " +
                     show_coeffs(y));
        const Coeffs want = ref_monic_gcd(f, x, y);
        NodeBalance balance;
        {
          Poly n = Poly::adopt(coeffs_to_poly(x)), m = Poly::adopt(coeffs_to_poly(y));
          const std::string shape_n = node_shape(n), shape_m = node_shape(m);
          Poly g;
          emgcd_poly(n, m, g.cell(), vars.level(1), true);
          ASSERT_TRUE(valid_poly(g, 1));
          ASSERT_EQ(ref_monic(f, trimmed_of(g)), want);
          if (ref_degree(want) == 0) {
            ASSERT_TRUE(poly_eq_1(g));
          }
          ASSERT_EQ(node_shape(n), shape_n);
          ASSERT_EQ(node_shape(m), shape_m);
        }
        if (ref_degree(x) > ref_degree(y)) {  // consumed arguments
          Poly g;
          emgcd_poly(coeffs_to_poly(x), coeffs_to_poly(y), g.cell(), vars.level(1), false);
          ASSERT_EQ(ref_monic(f, trimmed_of(g)), want);
        }
      }
      // A divisor of the first argument comes back as it stands.
      const Coeffs m = random_coeffs(rng, f, 150);
      const Coeffs n = ref_mult(f, random_coeffs(rng, f, 90), m);
      Poly pn = Poly::adopt(coeffs_to_poly(n)), pm = Poly::adopt(coeffs_to_poly(m)), g;
      emgcd_poly(pn, pm, g.cell(), vars.level(1), true);
      EXPECT_EQ(trimmed_of(g), m);
    }
  }
}

}  // namespace
}  // namespace tavrin::test
