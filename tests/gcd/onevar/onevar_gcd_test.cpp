// The one-variable GCD modulo a prime against the independent dense
// reference: planted pairs (a*c, b*c) in every ring family (monic GCD, the
// planted factor, exact units, untouched arguments), the routes around the
// array capacity, the word-array Euclid's exact last remainder, the stated
// small answers; the term-list half-GCD's matrix (it maps the pair before
// to the pair after and is unimodular, through the base case and both early
// returns, cut-offs 20 and 6) and its GCD loop against Euclid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "dense/dense_gcd.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/gcd_globals.h"
#include "gcd/gcd_stash.h"
#include "gcd/onevar_gcd.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/word_field_test.h"

namespace tavrin::test {
namespace {

struct Outcome {
  Coeffs value;
  bool leaf = false;
};

// f(n, m, cell, monic, pt) on fresh term lists of a and b; both must come
// back node for node and every node must be given back.
template <class F>
Outcome run(F f, const Coeffs& a, const Coeffs& b, bool monic, polypt pt) {
  NodeBalance balance;
  Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), g;
  const std::string before_n = node_shape(n), before_m = node_shape(m);
  f(n.get(), m.get(), g.cell(), monic, pt);
  EXPECT_EQ(node_shape(n), before_n) << "first argument changed";
  EXPECT_EQ(node_shape(m), before_m) << "second argument changed";
  EXPECT_TRUE(valid_poly(g, 1));
  return {poly_to_coeffs(g), g->numb};
}

Outcome basic(const Coeffs& a, const Coeffs& b, bool monic, polypt pt) {
  // The entry point that reads the ring in force (basic_poly_gcd is overloaded).
  using Entry = void (*)(poly, poly, poly*, bool, polypt);
  return run(static_cast<Entry>(basic_poly_gcd), a, b, monic, pt);
}

// Degree at most d, edge-biased: a monomial, a constant, degree 1, or a
// drawn leading coefficient of 0 (dropping the degree).
Coeffs biased(std::mt19937_64& rng, const RefField& f, std::int64_t d) {
  const auto r = rng() % 6;
  Coeffs v = random_coeffs(rng, f, r == 1 ? 0 : r == 2 ? std::min<std::int64_t>(d, 1) : d);
  if (r == 0) std::fill(v.begin(), v.end() - 1, 0);
  if (r == 3) v = v.size() > 1 ? ref_trimmed(Coeffs(v.begin(), v.end() - 1)) : v;
  return v.empty() ? Coeffs{1} : v;
}

class OneVariableGcd : public WordFieldTest {};

TEST_P(OneVariableGcd, PlantedPairsAgreeWithTheReference) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + static_cast<std::uint64_t>(p));
  for (int it = 0; it < test_iterations(120); ++it) {
    const std::int64_t top = it % 10 == 0 ? 400 : 40;
    const Coeffs c = biased(rng, f, top / 2);
    const Coeffs x = ref_mult(f, biased(rng, f, top), c), y = ref_mult(f, biased(rng, f, top), c);
    if (ref_degree(x) < 1 || ref_degree(y) < 1) continue;
    SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(x) + ", " + show_coeffs(y));
    const Coeffs want = ref_monic_gcd(f, x, y);
    const Outcome raw = basic(x, y, false, vars.level(1));
    ASSERT_EQ(ref_monic(f, raw.value), want);
    Coeffs q, rem;
    ref_divmod(f, raw.value, c, &q, &rem);
    ASSERT_TRUE(rem.empty()) << "the planted factor does not divide the GCD";
    ASSERT_TRUE(ref_degree(want) > 0 || (raw.leaf && raw.value == Coeffs{1}));
    ASSERT_EQ(basic(y, x, true, vars.level(1)).value, want);
  }
}

TEST_P(OneVariableGcd, WordArraysGiveTheLastRemainder) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 1);
  for (int it = 0; it < test_iterations(40); ++it) {
    const Coeffs c = random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 30));
    Coeffs x = ref_mult(f, random_coeffs(rng, f, 1 + static_cast<std::int64_t>(rng() % 60)), c);
    Coeffs y = ref_mult(f, random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 60)), c);
    if (ref_degree(x) < ref_degree(y)) std::swap(x, y);
    const Coeffs last = ref_euclid_last_remainder(f, x, y);
    const Coeffs want = ref_degree(last) == 0 && ref_degree(y) > 0 ? Coeffs{1} : last;
    EXPECT_EQ(run(faster_poly_gcd, x, y, false, vars.level(1)).value, want)
        << show_coeffs(x) << " and " << show_coeffs(y);
  }
}

INSTANTIATE_TEST_SUITE_P(Rings, OneVariableGcd,
                         ::testing::Values(7, 65521, 65537, 2147483629, 256, 65536),
                         [](const auto& info) { return std::to_string(info.param); });

TEST(OneVariableGcdRoutes, ArraysUpTo24999TermListsFrom25000) {
  PolyVars vars{"t"};
  ScopedValue<std::int32_t> no_residues(onevar_hgcd_degree, INT32_MAX);  // the engines' own routes
  for (std::int32_t p : {65521, 2147483629}) {
    ModulusScope scope(p);
    const RefField f(p);
    const bool small_p = p < 65535;
    std::mt19937_64 rng(test_seed() + 2);
    for (std::int64_t d : {24999, 25000, 25001}) {
      SCOPED_TRACE("modulus " + std::to_string(p) + " degree " + std::to_string(d));
      Coeffs a, b;  // small coprime cofactors of a large planted factor: the GCD is c
      do {
        a = random_coeffs(rng, f, 6);
        b = random_coeffs(rng, f, 4);
      } while (ref_monic_gcd(f, a, b) != Coeffs{1});
      const Coeffs c = random_coeffs(rng, f, d - 6);
      const onevar_gcd_route_counts was = onevar_gcd_routes;
      const long dense_lists = dense_gcd_routes.term_list;
      onevar_gcd_routes.word_top = 0;
      EXPECT_EQ(basic(ref_mult(f, a, c), ref_mult(f, b, c), true, vars.level(1)).value,
                ref_monic(f, c));
      const onevar_gcd_route_counts& now = onevar_gcd_routes;
      EXPECT_EQ(now.list_hgcd - was.list_hgcd, d > 25000 ? 1 : 0);
      EXPECT_EQ(now.dense_engine - was.dense_engine, small_p && d <= 25000 ? 1 : 0);
      EXPECT_EQ(now.word_engine - was.word_engine, !small_p && d <= 25000 ? 1 : 0);
      EXPECT_EQ(dense_gcd_routes.term_list - dense_lists, small_p && d == 25000 ? 1 : 0);
      EXPECT_EQ(now.word_lists - was.word_lists, !small_p && d == 25000 ? 1 : 0);
      EXPECT_TRUE(!small_p && d < 25000 ? now.word_top == d : now.word_top < 25000)
          << "the word arrays took degree " << now.word_top;
    }
  }
}

TEST(OneVariableGcdCases, MonomialsAndTheScaledSurvivor) {
  PolyVars vars{"t"};
  {
    ModulusScope scope(7);
    ScopedValue<std::int16_t> on(lookupgcd, 1);
    ScopedValue<std::int32_t> cut(small_gcd_stash_cut, 0);
    ScopedValue<std::int64_t> memory(initial_memory, 50 * 225000);
    ScopedValue<std::int32_t> prev(prev_modulus);
    // 3t^5 and t^7 + t^2 give t^2; t^3 and t^2 + 1 exactly 1; not cached.
    EXPECT_EQ(basic({0, 0, 0, 0, 0, 3}, {0, 0, 1, 0, 0, 0, 0, 1}, false, vars.level(1)).value,
              (Coeffs{0, 0, 1}));
    const Outcome one = basic({0, 0, 0, 1}, {1, 0, 1}, true, vars.level(1));
    EXPECT_TRUE(one.leaf && one.value == Coeffs{1});
    EXPECT_EQ(gcd_stash_contents().entries, 0);
  }
  ModulusScope scope(65537);
  // 2t^2 - 2 and 3t - 3: the survivor 3t - 3 as it stands, t - 1 made monic.
  const Coeffs n{65535, 0, 2}, m{65534, 3};
  EXPECT_EQ(run(faster_poly_gcd, n, m, false, vars.level(1)).value, (Coeffs{65534, 3}));
  EXPECT_EQ(run(faster_poly_gcd, n, m, true, vars.level(1)).value, (Coeffs{65536, 1}));
  EXPECT_EQ(basic(n, m, false, vars.level(1)).value, (Coeffs{65534, 3}));
}

// Without field levels: the Euclidean remainder sequence itself, and the
// integer content divided out.
TEST(OneVariableGcdCases, OverTheGroundFieldAndContents) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  {
    ModulusScope scope(7);
    Poly n("(x + 1)*(x^2 + 3)*(x + 2)"), m("3*(x + 1)*(x^2 + 3)*(x + 4)"), g;
    field_coef_gcd(n, m, g.cell(), vars.level(1));
    // n mod m = n - m/3 = n - 5m divides m: the last remainder as it stands.
    EXPECT_EQ(g.ref(), (n.ref() - m.ref() * parse_ref("5", vars.names())).reduced_mod(BigRef(7)));
  }
  Poly p("6*x^2 + 9*y + 3"), r("x");
  clear_up(p.cell());
  EXPECT_EQ(p.ref(), parse_ref("2*x^2 + 3*y + 1", vars.names()));
  Poly q("4*x*y + 6");
  rat_monic_poly(q.cell(), r.cell(), vars.level(1));
  EXPECT_EQ(q.ref(), parse_ref("2*x*y + 3", vars.names()));
  EXPECT_EQ(r.get(), nullptr);
}

// ---- The term-list half-GCD -----------------------------------------------------------------

Coeffs trimmed_of(poly p) { return ref_trimmed(poly_to_coeffs(p)); }

// r1*u0 + r2*u1.
Coeffs combine(const RefField& f, const Coeffs& r1, const Coeffs& r2, const Coeffs& u0,
               const Coeffs& u1) {
  return ref_trimmed(ref_add(f, ref_mult(f, r1, u0), ref_mult(f, r2, u1)));
}

TEST(ListHalfGcd, MatrixMapsThePairBeforeToThePairAfter) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {7, 65521, 2147483629, 256}) {
    ModulusScope scope(p);
    const RefField f(p);
    for (std::int32_t cutoff : {20, 6}) {
      ScopedValue<std::int32_t> cut(poly_cutoff, cutoff);
      for (int it = 0; it < test_iterations(25); ++it) {
        const auto d0 = static_cast<std::int64_t>(1 + rng() % (it % 4 == 0 ? 40 : 600));
        const std::int64_t half = (d0 + 1) / 2;  // deg u1 = half: a constant upper half
        const std::int64_t d1 =
            it % 5 == 1 ? std::min(half, d0 - 1)
                        : static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(d0));
        const Coeffs u0 = random_coeffs(rng, f, d0), u1 = random_coeffs(rng, f, d1);
        SCOPED_TRACE("modulus " + std::to_string(p) + " cut-off " + std::to_string(cutoff) + ": " +
                     show_coeffs(u0) + " and " + show_coeffs(u1));
        NodeBalance balance;
        Poly a = Poly::adopt(coeffs_to_poly(u0)), b = Poly::adopt(coeffs_to_poly(u1));
        Poly r[4];
        emgcd_full(a.cell(), b.cell(), r[0].cell(), r[1].cell(), r[2].cell(), r[3].cell(), true);
        Coeffs R[4];
        for (int k = 0; k < 4; ++k) {
          ASSERT_TRUE(valid_poly(r[k], 1));
          R[k] = trimmed_of(r[k]);
        }
        ASSERT_TRUE(valid_poly(a, 1) && valid_poly(b, 1));
        ASSERT_EQ(combine(f, R[0], R[1], u0, u1), trimmed_of(a));
        ASSERT_EQ(combine(f, R[2], R[3], u0, u1), trimmed_of(b));
        const Coeffs det =
            ref_trimmed(ref_sub(f, ref_mult(f, R[0], R[3]), ref_mult(f, R[1], R[2])));
        ASSERT_EQ(ref_degree(det), 0) << "not unimodular: " << show_coeffs(det);
        ASSERT_LT(ref_degree(trimmed_of(b)), ref_degree(trimmed_of(a)));
        ASSERT_TRUE(d1 >= half || trimmed_of(a) == u0) << "a step was taken below half";
      }
    }
  }
}

TEST(ListHalfGcd, GcdLoopEqualsEuclidUpToAUnit) {
  PolyVars vars{"t"};
  std::mt19937_64 rng(test_seed() + 1);
  auto deg = [&](std::uint64_t top) { return static_cast<std::int64_t>(rng() % top); };
  for (std::int32_t p : {7, 65521, 2147483629, 256}) {
    ModulusScope scope(p);
    const RefField f(p);
    for (std::int32_t cutoff : {20, 6}) {
      ScopedValue<std::int32_t> cut(poly_cutoff, cutoff);
      for (int it = 0; it < test_iterations(12); ++it) {
        const Coeffs c = random_coeffs(rng, f, it % 3 == 0 ? 0 : deg(200));
        Coeffs x = ref_mult(f, random_coeffs(rng, f, 1 + deg(400)), c);
        Coeffs y = ref_mult(f, random_coeffs(rng, f, 1 + deg(400)), c);
        if (ref_degree(x) < ref_degree(y)) std::swap(x, y);
        SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(x) + ", " +
                     show_coeffs(y));
        const Outcome kept =
            run([](poly n, poly m, poly* g, bool, polypt pt) { emgcd_poly(n, m, g, pt, true); }, x,
                y, false, vars.level(1));
        ASSERT_EQ(ref_monic(f, kept.value), ref_monic_gcd(f, x, y));
        ASSERT_TRUE(ref_degree(kept.value) > 0 || (kept.leaf && kept.value == Coeffs{1}));
        if (ref_degree(x) == ref_degree(y)) continue;
        NodeBalance balance;  // arguments used up
        Poly g;
        emgcd_poly(coeffs_to_poly(x), coeffs_to_poly(y), g.cell(), vars.level(1), false);
        ASSERT_EQ(ref_monic(f, trimmed_of(g)), ref_monic_gcd(f, x, y));
      }
      // A divisor of the first argument comes back as it stands.
      const Coeffs m = random_coeffs(rng, f, 150), n = ref_mult(f, random_coeffs(rng, f, 90), m);
      EXPECT_EQ(run([](poly a, poly b, poly* g, bool, polypt pt) { emgcd_poly(a, b, g, pt, true); },
                    n, m, false, vars.level(1))
                    .value,
                m);
    }
  }
}

}  // namespace
}  // namespace tavrin::test
