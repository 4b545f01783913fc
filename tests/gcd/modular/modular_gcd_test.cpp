// The modular GCD over the integers (primes and Garner combination) and the
// GCD modulo a prime by evaluation images: known answers of both methods
// called directly, and random pairs whose GCD through the driver must be
// exactly the subresultant sequence's (the methods switched off), whatever
// the switches, with the ring, the chain of levels and the arguments as
// before, also when an error unwinds from inside an image.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/mod_journal.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "support/data_tables.h"
#include "support/gcd_counters.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"

namespace tavrin::test {
namespace {

class ModularGcd : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    reset_gcd_counters();
  }
  void TearDown() override {
    modular_prime_hook = nullptr;
    modular_image_hook = nullptr;
  }
};

// Everything a call must leave as it found it.
auto ring_state() {
  std::vector<std::tuple<polypt, std::int16_t>> chain;
  for (polypt r = polynames; r != nullptr; r = r->next) chain.emplace_back(r, r->depth);
  return std::tuple(modulus, half_modulus, two28_mod, mod_is_prime, modularmode, lintmode,
                    flotemode, lookupgcd, command_int, masterfix, pos_mod, alt_form_display,
                    field_depth, number_polys, globalpoly, chain);
}

// polygcd of fresh copies (kept, node for node), with the modular methods
// on or off; the ring state comes back, and with count_nodes (the cache
// off) the nodes balance. *unwound: an error left the call.
RefPoly driver_gcd(const RefPoly& a, const RefPoly& b, polypt pt, bool modular,
                   bool* unwound = nullptr, bool count_nodes = true) {
  const ScopedValue<bool> methods(modular_methods_enabled, modular);
  std::optional<NodeBalance> balance;
  if (count_nodes) balance.emplace();
  const auto before = ring_state();
  Poly u(a), v(b), g;
  const std::string su = node_shape(u), sv = node_shape(v);
  bool left = false;
  output_of([&] { polygcd(u, v, g.cell(), pt); }, &left);
  if (unwound != nullptr) *unwound = left;
  EXPECT_TRUE(ring_state() == before);
  EXPECT_EQ(node_shape(u), su);
  EXPECT_EQ(node_shape(v), sv);
  return left ? RefPoly() : g.ref();
}

// basic_mod_method on fresh copies; *r's value or nil for a failure.
std::optional<RefPoly> mod_method(const RefPoly& a, const RefPoly& b, polypt pt) {
  NodeBalance balance;
  const auto before = ring_state();
  Poly u(a), v(b), r;
  bool success = false;
  output_of([&] { basic_mod_method(u, v, r.cell(), &success, pt); });
  EXPECT_TRUE(ring_state() == before);
  if (!success) return std::nullopt;
  return r.ref();
}

// mod_multivar_Chinese modulo the prime in force, with the bound expo.
std::optional<RefPoly> eval_method(const RefPoly& a, const RefPoly& b, std::int32_t expo,
                                   polypt pt) {
  NodeBalance balance;
  const auto before = ring_state();
  Poly u(a), v(b), r;
  const std::string su = node_shape(u), sv = node_shape(v);
  bool ok = false;
  output_of([&] { ok = mod_multivar_Chinese(u, v, r.cell(), expo, pt); });
  EXPECT_TRUE(ring_state() == before);
  EXPECT_EQ(node_shape(u), su);
  EXPECT_EQ(node_shape(v), sv);
  if (!ok) return std::nullopt;
  return r.ref();
}

std::int32_t forced_prime = 0;
std::int32_t hook_calls = 0;
std::int32_t first_prime_forced(std::int32_t k, std::int32_t p) {
  ++hook_calls;
  return k == 0 ? forced_prime : p;
}

std::int32_t second_prime_forced(std::int32_t k, std::int32_t p) {
  ++hook_calls;
  return k == 1 ? forced_prime : p;
}

TEST_F(ModularGcd, PrimesAndGarnerKnownAnswers) {
  PolyVars vars{"x", "y"};
  const auto ref = [&](const char* s) { return parse_ref(s, vars.names()); };
  const polypt x = vars.level(1);
  // The primitive part: the driver keeps the integer content.
  EXPECT_EQ(mod_method(ref("6*x + 6"), ref("4*x + 4"), x), ref("x + 1"));
  EXPECT_EQ(driver_gcd(ref("6*x + 6"), ref("4*x + 4"), x, true), ref("2*x + 2"));

  // Small leading numbers: the first image is confirmed by trial division.
  modular_gcd_counts before = modular_gcd_stats;
  const RefPoly g = ref("x*y + 3*y^2 - 2");
  EXPECT_EQ(mod_method(g * ref("x + y + 1"), g * ref("x - y + 5"), x), g);
  EXPECT_EQ(modular_gcd_stats.first_image - before.first_image, 1);
  EXPECT_EQ(modular_gcd_stats.garner_steps - before.garner_steps, 0);

  // Coefficients beyond half a prime, negative ones among them: Garner steps
  // and the symmetric range.
  before = modular_gcd_stats;
  const RefPoly big = ref("3*x^2 - 50*y*x - 400000000*y + 1");
  EXPECT_EQ(mod_method(big * ref("x + 2"), big * ref("x - 2*y"), x), big);
  EXPECT_GE(modular_gcd_stats.garner_steps - before.garner_steps, 3);

  // An unlucky first prime P: x + 1 + P is x + 1 modulo P, the image has
  // degree 2, and the next prime restarts the run.
  forced_prime = 16087;
  modular_prime_hook = first_prime_forced;
  before = modular_gcd_stats;
  EXPECT_EQ(mod_method(ref("(x + 1)*(x + 16088)"), ref("(x + 1)^2"), x), ref("x + 1"));
  EXPECT_EQ(modular_gcd_stats.restarts - before.restarts, 1);

  // An unlucky later prime P: its image has degree 3, above the run's 2; the
  // pass leaves the combination as it was (no Garner step for it).
  modular_prime_hook = second_prime_forced;
  before = modular_gcd_stats;
  EXPECT_EQ(mod_method(big * ref("x + 16088"), big * ref("x + 1"), x), big);
  EXPECT_EQ(modular_gcd_stats.garner_steps - before.garner_steps,
            modular_gcd_stats.images - before.images - 1);
  modular_prime_hook = first_prime_forced;

  // A prime dividing a leading coefficient is passed over without an image.
  hook_calls = 0;
  before = modular_gcd_stats;
  EXPECT_EQ(mod_method(ref("(16087*x + 1)*(x + y)"), ref("(x + y)*(x + 3)"), x), ref("x + y"));
  EXPECT_EQ(modular_gcd_stats.images - before.images, hook_calls - 1);
  modular_prime_hook = nullptr;

  // The main table used up (shortened to 5 entries): big_prime takes over.
  {
    const ScopedValue<std::int16_t> shorter(prime_table_limit, 5);
    before = modular_gcd_stats;
    EXPECT_EQ(mod_method(big * ref("x + 2"), big * ref("x - 2*y"), x), big);
    EXPECT_EQ(modular_gcd_stats.big_prime_switches - before.big_prime_switches, 1);
  }

  // The probe: the GCD modulo the first prime is free of x.
  {
    Poly u(ref("(y + 1)*(x + 1)")), v(ref("(y + 1)*(x + 2)"));
    bool success = false, isnumb = true;
    std::int32_t expon = -1;
    EXPECT_TRUE(use_modular(u, v, &success, &isnumb, x, 10, prime, &expon));
    EXPECT_TRUE(success);
    EXPECT_FALSE(isnumb);
    EXPECT_EQ(expon, 0);
  }

  // Field variables involved and no auxiliary primes: failure at once.
  {
    PolyVars fv{"x", "a"};
    const ModOutScope field(fv, 2, "a^2 - 2", true);
    ASSERT_GT(field_depth, 0);
    const ScopedValue<std::int16_t> none(aux_prime1_number, 0);
    before = modular_gcd_stats;
    const auto fr = [&](const char* s) { return parse_ref(s, fv.names()); };
    EXPECT_EQ(mod_method(fr("(x + a)*(x + 1)"), fr("(x + a)*(x + 2)"), fv.level(1)), std::nullopt);
    EXPECT_EQ(modular_gcd_stats.runs - before.runs, 0);
  }
}

TEST_F(ModularGcd, EvaluationImagesKnownAnswers) {
  PolyVars vars{"x", "y", "z"};
  const auto ref = [&](const char* s) { return parse_ref(s, vars.names()); };
  const polypt x = vars.level(1);
  const auto mod = [](const RefPoly& r, std::int64_t p) { return r.reduced_mod(BigRef(p)); };
  for (std::int32_t p : {101, 65521}) {
    SCOPED_TRACE(p);
    const ModulusScope ring(p);
    // y absent from both: the level is skipped and comes back.
    modular_gcd_counts before = modular_gcd_stats;
    const RefPoly gz = ref("x^2*z + 3*x*z^2 + z + 7");
    const RefPoly u1 = mod(gz * ref("x^3 + z^3*x + 2*z + 1"), p);
    const RefPoly v1 = mod(gz * ref("x^2*z^2 + x + 5*z^4 + 3"), p);
    const auto r1 = eval_method(u1, v1, 2, x);
    ASSERT_TRUE(r1.has_value());
    EXPECT_EQ(*r1, driver_gcd(u1, v1, x, false));
    EXPECT_EQ(modular_gcd_stats.multivar_skipped - before.multivar_skipped, 1);

    // An argument free of y: the GCD of the contents in y alone.
    const RefPoly c = ref("x*z + x + z^2 + 1");
    const RefPoly u2 = mod(c * ref("x^3 + z^2*x^2 + 5*x + z + 2"), p);
    const RefPoly v2 = mod(c * ref("y^2*x^2 + y*z*x + x*z + 3*y^3 + 1"), p);
    EXPECT_EQ(eval_method(u2, v2, 3, x), driver_gcd(u2, v2, x, false));

    // The leading coefficient of the GCD in y depends on x.
    const RefPoly g3 = ref("(x^2 + z + 1)*y^3 + x*y*z + x^3 + 2");
    const RefPoly u3 = mod(g3 * ref("(x + 1)*y^2 + x^2*z + y + 4"), p);
    const RefPoly v3 = mod(g3 * ref("(x*z + 2)*y^2 + x^3 + y*z + 1"), p);
    const auto r3 = eval_method(u3, v3, 3, x);
    ASSERT_TRUE(r3.has_value());
    EXPECT_EQ(*r3, driver_gcd(u3, v3, x, false));
    EXPECT_EQ(mod(*r3 * ref("x^2 + z + 1"), p).is_zero(), false);

    // A bound one too low (the GCD monic in y, of degree 3 in x): two
    // interpolations do not divide, the third, one higher, does.
    before = modular_gcd_stats;
    const RefPoly g4 = ref("y^3 + x^3*y + x*z + 2");
    const RefPoly u4 = mod(g4 * ref("y^2 + x^2*z + x*y + 4"), p);
    const RefPoly v4 = mod(g4 * ref("y^2 + x^3 + y*z + 1"), p);
    EXPECT_EQ(eval_method(u4, v4, 2, x), driver_gcd(u4, v4, x, false));
    EXPECT_EQ(modular_gcd_stats.multivar_rejected - before.multivar_rejected, 2);
  }
  // Modulo 7 a bound of 20 leaves too few residues: eight attempts, then
  // false.
  const ModulusScope ring(7);
  const RefPoly g = ref("x^7*y^7 + x*y + z + 1");
  const RefPoly u = g * ref("x^7 + y^8 + z*x*y + 2"), v = g * ref("x^8*y^7 + y^2 + x + z + 3");
  const modular_gcd_counts before = modular_gcd_stats;
  EXPECT_EQ(eval_method(u.reduced_mod(BigRef(7)), v.reduced_mod(BigRef(7)), 20, x), std::nullopt);
  EXPECT_EQ(modular_gcd_stats.multivar_failures - before.multivar_failures, 8);
}

// A random factor in nv variables: 1 .. terms terms, each exponent up to
// max_deg, coefficients up to bound in magnitude.
RefPoly random_factor(std::mt19937_64& rng, int nv, int max_deg, int terms, std::int64_t bound) {
  RefPoly r(nv);
  for (int k = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(terms)); k > 0; --k) {
    RefPoly::Exps e(static_cast<std::size_t>(nv), 0);
    for (auto& d : e)
      d = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(max_deg + 1));
    const auto c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(bound));
    r.add_term(e, BigRef(rng() % 2 ? c : -c));
  }
  return r;
}

// The nested level of an error from inside an image abandons the command.
void abandon() { throw TopLevelJump{}; }
std::int32_t images_left = 0;
void error_in_image() {
  if (--images_left == 0) error(no_inverse_error, &quotsign);
}

TEST_F(ModularGcd, RandomPairsGiveTheSubresultantAnswer) {
  std::mt19937_64 rng(test_seed() + 2701);
  const std::vector<std::string> all{"x", "y", "z", "w", "v"};
  const modular_gcd_counts before = modular_gcd_stats;
  const ScopedValue<command_level_runner> runner(run_command_level, &abandon);
  long unwound_count = 0;
  for (std::int64_t p : {0, 7, 101, 65521}) {
    std::optional<ModulusScope> ring;
    if (p != 0) ring.emplace(static_cast<std::int32_t>(p));
    const auto in_ring = [p](const RefPoly& r) { return p == 0 ? r : r.reduced_mod(BigRef(p)); };
    for (int it = 0; it < test_iterations(p == 0 ? 300 : 100); ++it) {
      const int nv = p == 0 ? 2 + it % 4 : 2 + it % 3;
      PolyVars vars(std::vector<std::string>(all.begin(), all.begin() + nv));
      const std::int64_t bound = p == 0 ? 1000000000000 : 1000;
      const int deg = nv <= 3 ? 3 : 2;
      RefPoly f, u, v;
      do {
        f = in_ring(random_factor(rng, nv, deg, 4, bound));
        u = in_ring(f * random_factor(rng, nv, deg, 5, bound));
        v = in_ring(f * random_factor(rng, nv, deg, 5, bound));
      } while (u.is_zero() || v.is_zero() || u.terms().size() < 2 || v.terms().size() < 2);
      SCOPED_TRACE("p " + std::to_string(p) + ", u = " + u.to_string(vars.names()) +
                   ", v = " + v.to_string(vars.names()));
      reset_gcd_counters();
      const RefPoly reference = driver_gcd(u, v, vars.level(1), false, nullptr, false);
      // Whatever the switches and the random choices.
      const ScopedValue<bool> o(chinhensel, rng() % 2 == 0), t(try_rat, rng() % 2 == 0);
      const bool count = it % 10 == 0;  // counting the nodes is slow
      const ScopedValue<std::int16_t> cache(lookupgcd,
                                            count ? 0 : static_cast<std::int16_t>(rng() % 2));
      seed_random(static_cast<std::uint32_t>(rng()));
      reset_gcd_counters();
      EXPECT_EQ(driver_gcd(u, v, vars.level(1), true, nullptr, count), reference);
      if (it % 8 == 0) {  // error 85 from inside an image: everything comes back
        // An error that unwinds past a cache in use empties it and switches it
        // off; images modulo primes keep the cache out of the way.
        const ScopedValue<std::int16_t> no_cache(lookupgcd, p == 0 ? 1 : 0);
        images_left = 1 + static_cast<std::int32_t>(rng() % 3);
        modular_image_hook = error_in_image;
        bool unwound = false;
        reset_gcd_counters();
        driver_gcd(u, v, vars.level(1), true, &unwound, p != 0);
        modular_image_hook = nullptr;
        unwound_count += unwound ? 1 : 0;
        EXPECT_EQ(levelcount, 1);
      }
    }
  }
  EXPECT_GT(modular_gcd_stats.runs - before.runs, 30);
  EXPECT_GT(modular_gcd_stats.multivar_runs - before.multivar_runs, 10);
  EXPECT_GT(unwound_count, 5);
}

}  // namespace
}  // namespace tavrin::test
