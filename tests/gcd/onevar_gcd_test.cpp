// The one-variable GCD modulo a prime against the independent dense
// reference: planted pairs (a*c, b*c) in every ring family, checked for the
// monic GCD, the planted factor, exact units and untouched arguments; the
// routes on both sides of the array capacity; the word-array Euclid against
// the reference remainder sequence; the stated small answers.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "dense/dense_arrays.h"
#include "dense/dense_gcd.h"
#include "gcd/gcd.h"
#include "gcd/gcd_globals.h"
#include "gcd/gcd_stash.h"
#include "gcd/onevar_gcd.h"
#include "support/dense_ref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

const std::int32_t moduli[] = {7, 65521, 65537, 2147483629, 256, 65536};

struct Outcome {
  Coeffs value;
  bool leaf = false;
};

// gcd(a, b) by f(n, m, cell, monic, pt) on fresh term lists; both arguments
// must come back node for node and every node must be given back.
template <class F>
Outcome run(F f, const Coeffs& a, const Coeffs& b, bool monic, polypt pt) {
  NodeBalance balance;
  Poly n = Poly::adopt(coeffs_to_poly(a));
  Poly m = Poly::adopt(coeffs_to_poly(b));
  const std::string before_n = node_shape(n), before_m = node_shape(m);
  Poly g;
  f(n.get(), m.get(), g.cell(), monic, pt);
  EXPECT_EQ(node_shape(n), before_n) << "first argument changed";
  EXPECT_EQ(node_shape(m), before_m) << "second argument changed";
  EXPECT_TRUE(valid_poly(g, 1));
  return {poly_to_coeffs(g), g->numb};
}

Outcome basic(const Coeffs& a, const Coeffs& b, bool monic, polypt pt) {
  return run(basic_poly_gcd, a, b, monic, pt);
}

// A random polynomial of degree at most d, edge-biased: often a monomial,
// a constant or of degree 1, and its drawn leading coefficient sometimes 0
// (so it drops to a lower degree).
Coeffs biased(std::mt19937_64& rng, const RefField& f, std::int64_t d) {
  switch (rng() % 6) {
    case 0: {  // a monomial c t^k
      Coeffs m(static_cast<std::size_t>(rng() % static_cast<std::uint64_t>(d + 1)) + 1, 0);
      m.back() = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(f.p() - 1));
      return m;
    }
    case 1: return random_coeffs(rng, f, 0);
    case 2: return random_coeffs(rng, f, d < 1 ? d : 1);
    case 3: {
      Coeffs v = random_coeffs(rng, f, d);
      v.back() = 0;
      Coeffs t = ref_trimmed(v);
      return t.empty() ? Coeffs{1} : t;
    }
    default: return random_coeffs(rng, f, d);
  }
}

class OneVariableGcd : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(OneVariableGcd, PlantedPairsAgreeWithTheReference) {
  const std::int32_t p = GetParam();
  ModulusScope scope(p);
  PolyVars vars{"t"};
  const RefField f(p);
  std::mt19937_64 rng(test_seed() + static_cast<std::uint64_t>(p));
  for (int it = 0; it < test_iterations(120); ++it) {
    const std::int64_t top = it % 10 == 0 ? 400 : 40;
    const Coeffs c = biased(rng, f, top / 2);
    const Coeffs x = ref_mult(f, biased(rng, f, top), c);
    const Coeffs y = ref_mult(f, biased(rng, f, top), c);
    if (ref_degree(x) < 1 || ref_degree(y) < 1) continue;
    SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(x) + " and " +
                 show_coeffs(y));
    const Coeffs want = ref_monic_gcd(f, x, y);
    const Outcome raw = basic(x, y, false, vars.level(1));
    ASSERT_EQ(ref_monic(f, raw.value), want);
    Coeffs q, rem;
    ref_divmod(f, raw.value, c, &q, &rem);
    ASSERT_TRUE(rem.empty()) << "the planted factor does not divide the GCD";
    if (ref_degree(want) == 0) {
      ASSERT_TRUE(raw.leaf && raw.value == Coeffs{1});
    }
    ASSERT_EQ(basic(y, x, true, vars.level(1)).value, want);
  }
}

// The word-array Euclid leaves exactly the reference's last remainder.
TEST_P(OneVariableGcd, WordArraysGiveTheLastRemainder) {
  const std::int32_t p = GetParam();
  ModulusScope scope(p);
  PolyVars vars{"t"};
  const RefField f(p);
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

INSTANTIATE_TEST_SUITE_P(Rings, OneVariableGcd, ::testing::ValuesIn(moduli),
                         [](const auto& info) { return std::to_string(info.param); });

// ---- Routes on both sides of the array capacity ------------------------------------------------

onevar_gcd_route_counts routes_since(const onevar_gcd_route_counts& b) {
  const onevar_gcd_route_counts& a = onevar_gcd_routes;
  return {a.monomial - b.monomial,         a.cache_hits - b.cache_hits,
          a.dense_engine - b.dense_engine, a.word_engine - b.word_engine,
          a.list_hgcd - b.list_hgcd,       a.word_arrays - b.word_arrays,
          a.word_lists - b.word_lists,     a.word_top};
}

TEST(OneVariableGcdRoutes, ArraysUpTo24999TermListsFrom25000) {
  PolyVars vars{"t"};
  for (std::int32_t p : {65521, 2147483629}) {
    ModulusScope scope(p);
    const RefField f(p);
    std::mt19937_64 rng(test_seed() + 2);
    for (std::int64_t d : {24999, 25000, 25001}) {
      SCOPED_TRACE("modulus " + std::to_string(p) + " degree " + std::to_string(d));
      // Small coprime cofactors of a large planted factor: the GCD is c.
      Coeffs a, b;
      do {
        a = random_coeffs(rng, f, 6);
        b = random_coeffs(rng, f, 4);
      } while (ref_monic_gcd(f, a, b) != Coeffs{1});
      const Coeffs c = random_coeffs(rng, f, d - 6);
      const onevar_gcd_route_counts before = onevar_gcd_routes;
      const long dense_lists = dense_gcd_routes.term_list;
      onevar_gcd_routes.word_top = 0;
      const Outcome got = basic(ref_mult(f, a, c), ref_mult(f, b, c), true, vars.level(1));
      const onevar_gcd_route_counts r = routes_since(before);
      EXPECT_EQ(got.value, ref_monic(f, c));
      EXPECT_EQ(r.list_hgcd, d > 25000 ? 1 : 0);
      const bool small_p = p < 65535;
      EXPECT_EQ(r.dense_engine, small_p && d <= 25000 ? 1 : 0);
      EXPECT_EQ(r.word_engine, !small_p && d <= 25000 ? 1 : 0);
      EXPECT_EQ(dense_gcd_routes.term_list - dense_lists, small_p && d == 25000 ? 1 : 0);
      EXPECT_EQ(r.word_lists, !small_p && d == 25000 ? 1 : 0);
      EXPECT_LT(r.word_top, 25000) << "a degree of 25,000 went into the word arrays";
      if (!small_p && d < 25000) {
        EXPECT_EQ(r.word_top, d);
      }
    }
  }
}

// ---- Stated answers ------------------------------------------------------------------------------

TEST(OneVariableGcdCases, MonomialsAndTheScaledSurvivor) {
  PolyVars vars{"t"};
  {
    ModulusScope scope(7);
    ScopedValue<std::int16_t> on(lookupgcd, 1);
    ScopedValue<std::int32_t> cut(small_gcd_stash_cut, 0);
    ScopedValue<std::int32_t> memory(initial_memory, 50 * 225000);
    ScopedValue<std::int32_t> prev(prev_modulus);
    // 3t^5 and t^7 + t^2 give t^2; t^3 and t^2 + 1 give exactly 1; the rule's
    // answers are neither normalised nor cached.
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
  EXPECT_EQ(run(faster_poly_gcd, {65536, 0, 1}, {65536, 1}, false, vars.level(1)).value,
            (Coeffs{65536, 1}));
}

}  // namespace
}  // namespace tavrin::test
