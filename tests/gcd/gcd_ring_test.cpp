// The ring as a value at the GCD entry points: a Ring is in force only while
// every mode global agrees with it; the GCD cache weighs its entries in the
// ring they were made in, whatever ring is in force when it is asked; and in
// each ground ring the driver, the one-variable GCD and the content, given
// the ring, find the planted answer.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/ring.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_mult.h"
#include "poly/poly_trial.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/gcd_stash.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

using RingValue = tavrin::Ring;

// Whether a and b divide each other: the same polynomial up to a unit.
bool associates(poly a, poly b) {
  return trial_poly_divide_noq(a, b, polynames, false, false, false) &&
         trial_poly_divide_noq(b, a, polynames, false, false, false);
}

Poly product(poly a, poly b) {
  Poly r;
  poly_mult(a, b, r.cell(), polynames);
  return r;
}

TEST(GcdRing, InForceOnlyWhileEveryModeGlobalAgrees) {
  PolyVars vars{"x"};
  const RingValue here = RingValue::current();
  ASSERT_TRUE(here.in_force());
  // Each global changed through a guard takes the ring out of force.
  auto out_of_force = [&](const char* what, auto make_guard) {
    SCOPED_TRACE(what);
    const auto guard = make_guard();
    EXPECT_FALSE(here.in_force());
  };
  using Flag = ScopedValue<bool>;
  out_of_force("flotemode", [] { return std::make_unique<Flag>(flotemode, !flotemode); });
  out_of_force("lintmode", [] { return std::make_unique<Flag>(lintmode, !lintmode); });
  out_of_force("modularmode", [] { return std::make_unique<Flag>(modularmode, !modularmode); });
  out_of_force("finf", [] { return std::make_unique<Flag>(finf, !finf); });
  out_of_force("laurent", [] { return std::make_unique<Flag>(laurent, !laurent); });
  out_of_force("field_depth",
               [] { return std::make_unique<ScopedValue<std::int16_t>>(field_depth, 1); });
  out_of_force("modulus", [] { return std::make_unique<ModulusGuard>(7); });
  out_of_force("levels",
               [] { return std::make_unique<PolyVars>(std::initializer_list<std::string>{"y"}); });
  EXPECT_TRUE(here.in_force());
}

// An entry's weight counts the limbs of its numbers when it was made in
// big-integer arithmetic, in any ring in force when the cache is weighed.
TEST(GcdRing, CacheEntriesWeighInTheRingTheyWereMadeIn) {
  PolyVars vars{"t"};
  ScopedValue<std::int16_t> level(lookupgcd, 1);
  ScopedValue<std::int32_t> prev(prev_modulus, -1);
  ScopedValue<std::int32_t> mass(gcdmass, 0);
  NodeBalance balance;
  const BigModeGuard big;
  auto weight_of = [](const char* u_text, const char* v_text) {
    Poly u(u_text), v(v_text);
    poly holder = nullptr;
    gcdhash(u, v, &holder);
    const std::int64_t w = mass_gcd_stash();
    free_gcd_stash();
    return w;
  };
  const std::int64_t small = weight_of("7*t^3 + 2*t + 1", "t^2 + 5");
  // 2^84 + 1 and 2^56 + 3 take four and three limbs of 28 bits.
  Poly u("19342813113834066795298817*t^3 + 2*t + 1"), v("t^2 + 72057594037927939");
  poly holder = nullptr;
  gcdhash(u, v, &holder);
  const std::int64_t large = mass_gcd_stash();
  EXPECT_EQ(large - small, std::int64_t{numnodesize} * (3 + 2));
  {
    ModulusScope mod7(7);
    EXPECT_EQ(mass_gcd_stash(), large);
  }
  {
    FloatingMode floating;
    EXPECT_EQ(mass_gcd_stash(), large);
  }
  free_gcd_stash();
}

// In each ground ring, gcd(a c, b c) is c up to a unit for a and b coprime,
// by the driver given the ring, in two variables and in one (the
// one-variable GCD); the content in x of c (y + 2) is y + 2 up to a unit.
TEST(GcdRing, EntryPointsGivenTheRingFindThePlantedGcd) {
  load_data_tables();
  for (const std::int32_t m : {0, 7, 65521, 256}) {
    SCOPED_TRACE(m);
    PolyVars vars{"x", "y"};
    std::optional<ModulusScope> scope;
    if (m != 0) scope.emplace(m);
    NodeBalance balance;
    const RingValue ring = RingValue::current();
    for (const auto& [a_text, b_text, c_text] :
         {std::array<const char*, 3>{"x^3 + y + 2", "x*y^2 + x + 5", "x^2*y + 3*x + y^2 + 1"},
          std::array<const char*, 3>{"x^3 + 2", "x^2 + x + 5", "x^2 + 3*x + 1"}}) {
      Poly a(a_text), b(b_text), c(c_text), g;
      polygcd(product(a, c), product(b, c), g.cell(), polynames, {}, ring);
      EXPECT_TRUE(associates(g, c)) << c_text << " : " << g.str();
    }
    Poly c("x^2*y + 3*x + y^2 + 1"), y2("y + 2"), k;
    content(product(c, y2), k.cell(), polynames, false, false, true, ring);
    add_pad(k.cell(), 1);  // the content is one level down
    EXPECT_TRUE(associates(k, y2)) << k.str();
  }
}

}  // namespace
}  // namespace tavrin::test
