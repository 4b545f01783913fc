// The GCD driver polygcd: its trivial cases, the cheap stages that settle a
// problem before the engines (the stage counters show which), one-variable
// GCDs modulo primes against the dense reference, and randomised planted
// pairs over the integers and modulo primes that the cheap stages settle:
// the normalised planted GCD, the caller's arguments node for node
// afterwards (also when an error unwinds through the driver), node
// accounting, and the ring and cache state as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/mod_journal.h"
#include "poly/poly_trial.h"
#include "gcd/gcd.h"
#include "gcd/gcd_stash.h"
#include "support/data_tables.h"
#include "support/dense_ref.h"
#include "support/gcd_counters.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// The driver's own stages are under test: the flat engines stay out.
class PolyGcd : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    reset_gcd_counters();
    flat_gcd_terms = INT32_MAX;
  }
  void TearDown() override { flat_gcd_terms = saved_terms_; }

 private:
  std::int32_t saved_terms_ = flat_gcd_terms;
};

// What a call must leave as it found it: the ring, the cache switch and its
// pending stores, the journal of images, the level records.
struct DriverState {
  bool flote, lint, modular, field2, small, prime;
  std::int32_t mod, half, two28, stack;
  std::int16_t lookup, fdepth;
  fixptr journal;
  std::vector<std::int32_t> depths;
  static DriverState now() {
    DriverState s{flotemode,       lintmode,
                  modularmode,     tavrin::finf,
                  smallmodulus,    mod_is_prime,
                  tavrin::modulus, half_modulus,
                  two28_mod,       polygcd_stack_depth,
                  lookupgcd,       field_depth,
                  masterfix,       {}};
    for (polypt r = polynames; r != nullptr; r = r->next) s.depths.push_back(r->depth);
    return s;
  }
  bool operator==(const DriverState&) const = default;
};

std::int64_t residue(const BigRef& c, std::int64_t p) {
  return ((c % BigRef(p)).to_int64() + p) % p;
}

std::int64_t inverse_mod(std::int64_t a, std::int64_t p) {
  std::int64_t r0 = p, r1 = a, s0 = 0, s1 = 1;
  while (r1 != 0) {
    const std::int64_t q = r0 / r1;
    std::swap(r0, r1);
    r1 -= q * r0;
    std::swap(s0, s1);
    s1 -= q * s0;
  }
  return ((s0 % p) + p) % p;
}

// The form the driver gives a GCD: a positive leading coefficient over the
// integers (p = 0), monic modulo p. The leading term is the one of the
// largest exponents, the top variable first.
RefPoly normalised(const RefPoly& a, std::int64_t p) {
  if (a.is_zero()) return a;
  const BigRef lc = a.terms().rbegin()->second;
  if (p == 0) return lc.negative() ? -a : a;
  return a.scaled(inverse_mod(residue(lc, p), p)).reduced_mod(BigRef(p));
}

struct Outcome {
  RefPoly value;
  std::string out;
  bool unwound = false;
};

// polygcd(u, v) on fresh polynomials built from a and b in the current ring,
// with the keep flags asked for; a kept argument must come back node for
// node, a given-up one is released afterwards (or, with result_in_u, u is
// given up and its own cell receives the GCD); nodes and the driver state
// must balance.
Outcome run_gcd(const RefPoly& a, const RefPoly& b, polypt pt, bool usave = true, bool vsave = true,
                bool leave_early = false, bool result_in_u = false) {
  std::optional<NodeBalance> balance;
  if (lookupgcd <= 0) balance.emplace();  // the cache keeps what it stores
  const DriverState before = DriverState::now();
  Outcome o;
  {
    Poly u(a), v(b), out;
    Poly& g = result_in_u ? u : out;
    usave = usave && !result_in_u;
    const std::string su = node_shape(u), sv = node_shape(v);
    o.out = output_of(
        [&] {
          polygcd(u, v, g.cell(), pt, {.leave_early = leave_early, .usave = usave, .vsave = vsave});
        },
        &o.unwound);
    if (usave) {
      EXPECT_EQ(node_shape(u), su) << "u changed";
    }
    if (vsave) {
      EXPECT_EQ(node_shape(v), sv) << "v changed";
    }
    if (!o.unwound) {
      EXPECT_TRUE(valid_poly(g));
      o.value = g.ref();
    }
  }
  EXPECT_TRUE(DriverState::now() == before) << "the ring or cache state changed";
  return o;
}

// ---- Trivial cases -----------------------------------------------------------------------------

TEST_F(PolyGcd, TrivialCasesTable) {
  PolyVars vars{"x", "y"};
  struct Case {
    Ring ring;
    const char* u;
    const char* v;  // nullptr: the same node as u
    const char* want;
  };
  const Case cases[] = {
      {Ring::integers, "12", "18", "6"},
      {Ring::integers, "-12", "0", "12"},
      {Ring::mod7, "3", "5", "1"},
      {Ring::floating, "12", "18", "1"},
      {Ring::integers, "4", "6*x + 2", "2"},
      {Ring::integers, "6*x*y + 2", "-4", "2"},
      {Ring::mod7, "2", "3*x + 1", "1"},
      {Ring::integers, "-2*x - 2", nullptr, "2*x + 2"},
      {Ring::mod7, "-2*x - 2", nullptr, "x + 1"},
      {Ring::integers, "0", "-6*x - 4", "6*x + 4"},
      {Ring::mod7, "3*x*y + 6", "0", "x*y + 2"},
      {Ring::integers, "0", "0", "0"},
      {Ring::mod7, "0", "0", "0"},
      {Ring::floating, "0", "0", "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ring_name(c.ring)) + ": (" + c.u + ", " + (c.v ? c.v : "same") + ")");
    RingScope ring(c.ring);
    NodeBalance balance;
    const long numbers = polygcd_stages.numbers;
    Poly u(c.u), v(c.v ? c.v : "0"), g;
    const std::string shape = node_shape(u);
    polygcd(u, c.v ? v.get() : u.get(), g.cell(), vars.level(1));
    EXPECT_EQ(node_shape(u), shape);
    ASSERT_TRUE(valid_poly(g));
    EXPECT_EQ(g.ref(), in_ring(c.ring, parse_ref(c.want, vars.names())));
    EXPECT_GE(polygcd_stages.numbers - numbers, 1);
  }
}

// ---- The cheap stages ---------------------------------------------------------------------------

TEST_F(PolyGcd, CheapStagesSettleWithTheirPlantedAnswers) {
  PolyVars vars{"x", "y"};
  const std::vector<std::string>& names = vars.names();
  struct Case {
    Ring ring;
    const char* u;
    const char* v;
    bool leave_early;
    const char* want;
    long polygcd_stage_counts::*stage;
  };
  const Case cases[] = {
      // The common power x^min(3, 2) answers a degree question at once.
      {Ring::integers, "x^4 + x^3*y", "x^5 + x^2*(y + 1)", true, "x^2",
       &polygcd_stage_counts::common_power},
      // A single term: x^min(4, 2) times the GCD of the contents 5 and 1.
      {Ring::integers, "5*x^4", "(y + 1)*x^3 + x^2", false, "x^2", &polygcd_stage_counts::monomial},
      {Ring::integers, "6*y*x^4", "(4*y + 2)*x^3 + 8*x^2", false, "2*x^2",
       &polygcd_stage_counts::monomial},
      // Small v dividing a larger u.
      {Ring::integers, "(2*x^2 + x*y - 3)*(x^3 + y^2*x + 7*y + 5)*(x + 2*y + 1)",
       "-2*x^2 - x*y + 3", false, "2*x^2 + x*y - 3", &polygcd_stage_counts::divides},
      // Both free of x: handled at y's level and padded back.
      {Ring::mod7, "(y + 1)*(y + 2)", "(y + 1)*(y + 3)", false, "y + 1",
       &polygcd_stage_counts::pads},
      // One free of x: its GCD with the content of the other.
      {Ring::mod7, "(y + 1)*x^2 + (y + 1)*(y + 2)", "3*y + 3", false, "y + 1",
       &polygcd_stage_counts::pads},
      {Ring::integers, "6*y", "x*(4*y) + 2*y^2", false, "2*y", &polygcd_stage_counts::pads},
      // Primitive parts equal up to a unit.
      {Ring::integers, "(3*y + 6)*x^2 + (6*y + 12)", "4*x^2 + 8", false, "x^2 + 2",
       &polygcd_stage_counts::equal},
      // Modulo a prime the exponents' common divisor 3 is divided out and
      // multiplied back.
      {Ring::mod7, "(x^3 + y)*(x^3 + 2)", "x^3 + y", false, "x^3 + y",
       &polygcd_stage_counts::exact_division},
      {Ring::mod7, "x^6 + y*x^3 + 1", "x^3 + y", false, "1", &polygcd_stage_counts::probes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ring_name(c.ring)) + ": (" + c.u + ", " + c.v + ")");
    RingScope ring(c.ring);
    reset_gcd_counters();
    const polygcd_stage_counts before = polygcd_stages;
    const Outcome o =
        run_gcd(in_ring(c.ring, parse_ref(c.u, names)), in_ring(c.ring, parse_ref(c.v, names)),
                vars.level(1), true, true, c.leave_early);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.value, in_ring(c.ring, parse_ref(c.want, names)));
    EXPECT_GE(polygcd_stages.*c.stage, before.*c.stage + 1);
    EXPECT_EQ(polygcd_stages.algorithm_c, before.algorithm_c);
    if (c.ring == Ring::mod7 && std::string(c.v) == "x^3 + y") {
      EXPECT_EQ(polygcd_stages.exponent_divisions, before.exponent_divisions + 1);
      EXPECT_EQ(polygcd_stages.last_gcdexp, 3);
    }
  }
}

// Modulo a prime, x + y + 1 times large coprime factors P, Q free of y:
// the contents in y, P^2 and Q^2, are divided out (Stage F), their GCD is 1,
// and x + y + 1 is left.
TEST_F(PolyGcd, GeneralContentsDivideOutFactorsFreeOfAnInnerVariable) {
  PolyVars vars{"x", "y", "z"};
  ModulusScope scope(65521);
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  const RefPoly p = ref("x^2*z^3 + 3*x^2 + x*z + 5*z^2 + x + 7"),
                q = ref("x^3*z + x*z^2 + 2*x + 4*z + 9");
  const RefPoly common = ref("x + y + 1");
  const long general = polygcd_stages.general_contents;
  const Outcome o = run_gcd(common * p * p, common * q * q, vars.level(1));
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.value, common);
  EXPECT_GE(polygcd_stages.general_contents, general + 2);
}

// A large pair modulo a prime goes through the cache: the first call stores
// the GCD of its reduced pair, the second is answered from it; both give
// the planted GCD and leave the arguments (made monic for the lookup) as
// they were.
TEST_F(PolyGcd, TheCacheAnswersTheSecondTime) {
  PolyVars vars{"x", "y", "z"};
  ModulusScope scope(65521);
  ScopedValue<std::int64_t> memory(initial_memory, 50 * 225000);
  ScopedValue<std::int32_t> prev(prev_modulus);
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  const RefPoly v = ref("(2*x + y + z + 1)^3*(x + 3*y*z + 2) + 5*x^2*z^3");
  const RefPoly u = ref("(x^2 + 2*y + 3*z + 5)*(x*y + 3*z^2 + 4)") * v;
  init_gcd_stash();
  for (int call = 0; call < 2; ++call) {
    reset_gcd_counters();
    const long hits = polygcd_stages.cache_hits;
    const Outcome o =
        run_gcd(u.reduced_mod(BigRef(65521)), v.reduced_mod(BigRef(65521)), vars.level(1));
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.value, normalised(v.reduced_mod(BigRef(65521)), 65521));
    EXPECT_EQ(polygcd_stages.cache_hits, hits + call);
  }
  EXPECT_EQ(polygcd_stack_depth, 0);
  pop_gcd_stash();
  {
    BigModeGuard rational;  // outside modular arithmetic the entries are freed
    free_gcd_stash();
  }
  balance.expect_balanced();
}

// Under a^2 = 2, (x + a)(x - a) = x^2 - 2: the divisor spans a level the
// dividend does not, and only the division can tell.
TEST_F(PolyGcd, TrialDivisionUnderARelationDecidesByDividing) {
  PolyVars vars{"x", "a"};
  NodeBalance balance;
  ModOutScope relation(vars, 2, "a^2 - 2");
  Poly n("x^2 - 2"), m("x + a"), other("x + a + 1");
  EXPECT_TRUE(trial_poly_divide_noq(n, m, vars.level(1), false, false, false));
  EXPECT_FALSE(trial_poly_divide_noq(n, other, vars.level(1), false, false, false));
}

// ---- One variable modulo a prime ----------------------------------------------------------------

TEST_F(PolyGcd, OneVariableModuloPrimesAgreesWithTheEngineAndTheReference) {
  std::mt19937_64 rng(test_seed() + 18);
  for (std::int32_t p : {7, 101, 65521}) {
    const RefField f(p);
    ModulusScope scope(p);
    for (int nvars : {1, 2}) {
      PolyVars vars = nvars == 1 ? PolyVars{"x"} : PolyVars{"x", "y"};
      for (int it = 0; it < test_iterations(40); ++it) {
        const Coeffs c = random_coeffs(rng, f, static_cast<std::int64_t>(rng() % 6));
        const Coeffs a =
            ref_mult(f, random_coeffs(rng, f, 1 + static_cast<std::int64_t>(rng() % 12)), c);
        const Coeffs b =
            ref_mult(f, random_coeffs(rng, f, 1 + static_cast<std::int64_t>(rng() % 12)), c);
        SCOPED_TRACE("modulus " + std::to_string(p) + ": " + show_coeffs(a) + ", " +
                     show_coeffs(b));
        NodeBalance balance;
        Poly u = Poly::adopt(coeffs_to_poly(a)), v = Poly::adopt(coeffs_to_poly(b)), g, h;
        const long one_var = polygcd_stages.one_variable;
        polygcd(u, v, g.cell(), vars.level(1));
        EXPECT_EQ(polygcd_stages.one_variable, one_var + 1);
        basic_poly_gcd(u, v, h.cell(), true, vars.level(1));
        EXPECT_EQ(poly_to_coeffs(g), poly_to_coeffs(h));
        EXPECT_EQ(poly_to_coeffs(g), ref_monic_gcd(f, a, b));
      }
    }
  }
}

// ---- Randomised planted pairs -------------------------------------------------------------------

// A random polynomial in nv variables of up to `terms` terms in the
// variables from .. to - 1 (exponents below 4, that of x at least 1,
// coefficients in -9 .. 9) plus the constant c: when it involves x its
// constant term in x is the plain number c.
RefPoly random_with_constant(std::mt19937_64& rng, int nv, int from, int to, int terms, int c) {
  RefPoly r = RefPoly::constant(nv, BigRef(c));
  for (int k = 0; k < terms; ++k) {
    RefPoly::Exps e(static_cast<std::size_t>(nv), 0);
    for (int i = from; i < to; ++i)
      e[static_cast<std::size_t>(i)] =
          static_cast<std::int32_t>(rng() % (i == 0 ? 3 : 4)) + (i == 0);
    r.add_term(e, BigRef(static_cast<std::int64_t>(rng() % 19) - 9));
  }
  return r;
}

int nonzero(std::mt19937_64& rng, int bound) {
  const int c = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(bound));
  return rng() % 2 ? c : -c;
}

std::int32_t degree_in(const RefPoly& a, int var) {
  std::int32_t d = -1;
  for (const auto& [e, c] : a.terms()) d = std::max(d, e[static_cast<std::size_t>(var)]);
  return d;
}

BigRef constant_term(const RefPoly& a) {
  return a.coefficient(RefPoly::Exps(static_cast<std::size_t>(a.nvars()), 0));
}

RefPoly x_power(int nv, std::int32_t k) { return RefPoly::variable(nv, 0, k); }

// Pairs the cheap stages settle, with their GCD:
//   0: a common power of x times a divisor of the other: x^a v0 w and
//      x^b v0, v0 of degree 1 in x, w of positive degree -> x^min(a, b) v0;
//   1: a single term c x^k against x^e w -> x^min(k, e) gcd(c, content(w));
//   2: a factor f free of x against f g (two variables) -> f.
// Every constant term in x is a plain number, so that the contents are
// numbers and the GCDs the driver takes on the way settle without the
// engines still to come.
struct Planted {
  RefPoly u, v, gcd;
};

Planted planted_pair(std::mt19937_64& rng, int family, int nv, std::int64_t p) {
  auto ring = [p](const RefPoly& a) { return p == 0 ? a : a.reduced_mod(BigRef(p)); };
  auto terms = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  for (;;) {
    Planted t;
    if (family == 0) {
      const RefPoly v0 = ring(random_with_constant(rng, nv, 1, nv, terms(3), 0) * x_power(nv, 1) +
                              x_power(nv, 1).scaled(BigRef(nonzero(rng, 5))) +
                              RefPoly::constant(nv, BigRef(nonzero(rng, 9))));
      const RefPoly w = ring(random_with_constant(rng, nv, 0, nv, 1 + terms(4), nonzero(rng, 9)));
      const auto a = static_cast<std::int32_t>(rng() % 4), b = static_cast<std::int32_t>(rng() % 4);
      if (degree_in(v0, 0) != 1 || degree_in(w, 0) < 1 || constant_term(v0).is_zero() ||
          constant_term(w).is_zero())
        continue;
      t.u = ring(x_power(nv, a) * v0 * w);
      t.v = ring(x_power(nv, b) * v0);
      t.gcd = x_power(nv, std::min(a, b)) * v0;
    } else if (family == 1) {
      const int c = nonzero(rng, 12);
      const RefPoly w = ring(random_with_constant(rng, nv, 0, nv, terms(6), nonzero(rng, 12)));
      const auto k = static_cast<std::int32_t>(rng() % 5), e = static_cast<std::int32_t>(rng() % 4);
      if (constant_term(w).is_zero() || (p != 0 && residue(BigRef(c), p) == 0)) continue;
      t.u = ring(x_power(nv, k).scaled(BigRef(c)));
      t.v = ring(x_power(nv, e) * w);
      BigRef content = 0;
      for (const auto& [ex, co] : w.terms()) content = BigRef::gcd(content, co);
      t.gcd =
          x_power(nv, std::min(k, e)).scaled(p == 0 ? BigRef::gcd(BigRef(c), content) : BigRef(1));
    } else {
      // g in x alone over the integers (its coefficients numbers), in x and
      // y modulo p.
      const RefPoly f = ring(random_with_constant(rng, nv, 1, nv, 1 + terms(3), nonzero(rng, 9)));
      const RefPoly g =
          ring(random_with_constant(rng, nv, 0, p == 0 ? 1 : nv, terms(4), nonzero(rng, 9)) +
               x_power(nv, 1 + static_cast<std::int32_t>(rng() % 3)));
      if (degree_in(f, 1) < 1 || degree_in(g, 0) < 1 || (p == 0 && degree_in(g, 1) > 0)) continue;
      t.u = ring(f * g);
      t.v = f;
      t.gcd = f;
    }
    if (t.u.is_zero() || t.v.is_zero()) continue;
    if (rng() % 2) std::swap(t.u, t.v);
    t.gcd = normalised(ring(t.gcd), p);
    return t;
  }
}

TEST_F(PolyGcd, PlantedPairsTheCheapStagesSettle) {
  std::mt19937_64 rng(test_seed() + 1801);
  for (std::int64_t p : {0, 7, 101, 65521}) {
    for (int nv : {2, 3}) {
      PolyVars vars = nv == 2 ? PolyVars{"x", "y"} : PolyVars{"x", "y", "z"};
      std::optional<ModulusScope> ring;
      if (p != 0) ring.emplace(static_cast<std::int32_t>(p));
      for (int it = 0; it < test_iterations(60); ++it) {
        const int family = it % 3;
        if (family == 2 && nv == 3) continue;  // its contents would need the engines still to come
        reset_gcd_counters();
        const Planted t = planted_pair(rng, family, nv, p);
        SCOPED_TRACE("modulus " + std::to_string(p) + ", family " + std::to_string(family) + ": " +
                     t.u.to_string(vars.names()) + " and " + t.v.to_string(vars.names()));
        const bool usave = rng() % 4 != 0, vsave = rng() % 4 != 0, in_u = rng() % 5 == 0;
        const long engines = polygcd_stages.algorithm_c;
        const Outcome o = run_gcd(t.u, t.v, vars.level(1), usave, vsave, false, in_u);
        ASSERT_EQ(o.out, "");
        EXPECT_EQ(polygcd_stages.algorithm_c, engines);
        EXPECT_EQ(o.value, t.gcd);
      }
    }
  }
}

// An error that unwinds through the driver (here: the nested level that an
// internal error opens is abandoned by the user) leaves the caller's
// arguments node for node, gives back every node and leaves the ring, the
// cache and the command level as they were, whatever stage it came from.
TEST_F(PolyGcd, AnUnwindingErrorLeavesTheArgumentsAndTheRing) {
  ScopedValue<command_level_runner> abandon(run_command_level, [] { throw TopLevelJump{}; });
  std::mt19937_64 rng(test_seed() + 1802);
  PolyVars vars{"x", "y", "z"};
  for (std::int64_t p : {0, 7}) {
    std::optional<ModulusScope> ring;
    if (p != 0) ring.emplace(static_cast<std::int32_t>(p));
    int unwound = 0;
    for (int it = 0; it < test_iterations(40); ++it) {
      reset_gcd_counters();
      auto pick = [&] {
        RefPoly a = random_refpoly(rng, 3, 8, 3, 1);
        if (p != 0) a = a.reduced_mod(BigRef(p));
        return a;
      };
      const RefPoly c = pick(), a = pick() * c, b = pick() * c;
      if (a.is_zero() || b.is_zero()) continue;
      SCOPED_TRACE(a.to_string(vars.names()) + " and " + b.to_string(vars.names()));
      const Outcome o = run_gcd(a, b, vars.level(1), true, rng() % 2 == 0);
      unwound += o.unwound ? 1 : 0;
      EXPECT_EQ(levelcount, 1);
    }
    RecordProperty("unwound" + std::to_string(p), unwound);
  }
}

}  // namespace
}  // namespace tavrin::test
