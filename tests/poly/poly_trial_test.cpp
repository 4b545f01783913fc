// Trial division: planted products a * b over b must divide with quotient a,
// a * b plus a constant must not, and other pairs must agree with the
// checking exact division; with the pre-tests on and off, with and without
// the quotient, with the dividend given up or kept; the dense path, the
// trace, and the decision on two primes. The answers are asserted, never
// which point or prime was used.
#include "poly/poly_trial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "support/data_tables.h"
#include "support/divide_routes.h"
#include "support/division_pairs.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

class TrialTest : public testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();  // the test points come from global_list
    seed_random(static_cast<std::uint32_t>(test_seed()));
  }
};

std::vector<std::string> first_names(int nvars) {
  std::vector<std::string> names = {"x", "y", "z", "w", "v", "u"};
  names.resize(static_cast<std::size_t>(nvars));
  return names;
}

TEST_F(TrialTest, QuotientByANumberCoefficientByCoefficient) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  const auto& names = vars.names();
  Poly two("2");
  Poly n("6*x*y + 4*x + 2");
  poly p = nullptr;
  bool ok = false;
  trial_poly_quot(n, two, &p, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(read_poly(p), parse_ref("3*x*y + 2*x + 1", names));
  free_poly(&p);

  Poly odd("6*x*y + 3*x");
  Poly keep("5");
  p = keep.get();
  trial_poly_quot(odd, two, &p, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(p, keep.get());  // not written on failure
  {
    ModulusScope mod(7);
    Poly n7("3*x + 1");
    Poly three("3");
    trial_poly_quot(n7, three, &p, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(read_poly(p), parse_ref("x + 5", names));
    free_poly(&p);
  }
  {
    WordMode word;
    Poly nw("4*x + 1");
    Poly two_w("2");
    p = keep.get();
    trial_poly_quot(nw, two_w, &p, &ok);  // 1 / 2 truncates to 0: not exact
    EXPECT_FALSE(ok);
    EXPECT_EQ(p, keep.get());
  }
}

TEST_F(TrialTest, RefusalsBeforeAnyDivision) {
  NodeBalance balance;
  PolyVars vars({"x", "y", "z"});
  polypt pt = vars.level(1);
  Poly n("x^2*y + x");
  Poly m("x^2");
  EXPECT_FALSE(trial_poly_divide_noq(n, m, pt, false, false, false));
  Poly deeper("x + z");
  Poly shallow("x^2 + x*y");
  EXPECT_FALSE(trial_poly_divide_noq(shallow, deeper, pt, true, false, false));
  // deg n < deg m: false at once, the quotient cell untouched.
  Poly low("x + 1");
  Poly high("x^2 + 1");
  Poly cell("7");
  poly q = cell.get();
  EXPECT_FALSE(trial_poly_divide(low, high, &q, pt, true, false, false));
  EXPECT_EQ(q, cell.get());
  // A dividend given up is freed on that path too (the balance checks it).
  EXPECT_FALSE(trial_poly_divide_noq(build_poly(parse_ref("x + 1", vars.names())), high, pt, true,
                                     false, true));
  // Zero divides by anything.
  Poly zero("0");
  q = nullptr;
  EXPECT_TRUE(trial_poly_divide(zero, high, &q, pt, true, false, false));
  EXPECT_TRUE(read_poly(q).is_zero());
  free_poly(&q);
}

TEST_F(TrialTest, NumberOfPreTestPasses) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  Poly small("x + y");
  Poly wide("x^12 + x^11*y + x^10 + x^9 + x^8 + x^7 + x^6 + x^5 + x^4 + x^3 + x^2 + x*y + y");
  EXPECT_EQ(compute_height(1, small, small), -1);
  EXPECT_EQ(compute_height(2, small, small), 3);
  EXPECT_EQ(compute_height(2, small, wide), 4);
  EXPECT_EQ(compute_height(2, wide, wide), 5);
  ModulusScope mod(3);
  EXPECT_EQ(compute_height(2, wide, wide), 2);
  EXPECT_EQ(compute_height(1, wide, wide), -1);
}

class TrialDivideTest : public TrialTest, public testing::WithParamInterface<Ring> {};

using Product = std::function<RefPoly(const RefPoly&, const RefPoly&)>;

Product product_in(Ring ring) {
  return [ring](const RefPoly& a, const RefPoly& b) { return ring_product(ring, a, b); };
}

// Every combination of the flags on one pair; the expected answer is known
// for exact and inexact pairs and taken from the exact division otherwise.
void check_pair(const Product& product, const DivisionPair& pair, polypt pt) {
  Poly n(pair.n), m(pair.m);
  const std::string n_shape = dump_poly(n);
  const std::string m_shape = dump_poly(m);
  bool expect = pair.kind == PairKind::exact;
  if (pair.kind == PairKind::free) {
    poly q = nullptr;
    bool failed = false;
    gen_poly_divide(n, m, &q, pt, &failed);
    Poly quotient = Poly::adopt(q);
    expect = !failed;
    if (expect) {
      EXPECT_EQ(product(read_poly(q), pair.m), pair.n);
    }
  }
  for (int flags = 0; flags < 8; ++flags) {
    const bool shortcut = flags & 1;
    const bool yes_check = flags & 2;
    const bool kill_n = flags & 4;
    SCOPED_TRACE("shortcut " + std::to_string(shortcut) + ", yes_check " +
                 std::to_string(yes_check) + ", kill_n " + std::to_string(kill_n));
    poly q = nullptr;
    const bool got = trial_poly_divide(kill_n ? build_poly(pair.n) : n.get(), m, &q, pt, shortcut,
                                       yes_check, kill_n);
    Poly quotient = Poly::adopt(q);
    // A passing pre-test is taken as the answer with yes_check: it may say
    // "divides" of a pair it cannot tell apart (never of a planted one).
    const bool may_guess = shortcut && yes_check && pair.kind == PairKind::free;
    if (!(may_guess && got)) {
      EXPECT_EQ(got, expect);
    }
    if (got && !(shortcut && yes_check)) {
      ASSERT_NE(q, nullptr);
      EXPECT_TRUE(valid_poly(q));
      EXPECT_EQ(product(read_poly(q), pair.m), pair.n);
      if (pair.kind == PairKind::exact) {
        EXPECT_EQ(read_poly(q), pair.quotient);
      }
    } else {
      EXPECT_EQ(q, nullptr);
    }
    const bool noq = trial_poly_divide_noq(kill_n ? build_poly(pair.n) : n.get(), m, pt, shortcut,
                                           yes_check, kill_n);
    if (!(may_guess && noq)) {
      EXPECT_EQ(noq, expect);
    }
    EXPECT_EQ(dump_poly(m), m_shape);  // the divisor comes back
    EXPECT_EQ(dump_poly(n), n_shape);  // a kept dividend too
  }
}

TEST_P(TrialDivideTest, AgreesWithExactDivisionOnRandomPairs) {
  NodeBalance balance;
  const Ring ring = GetParam();
  std::mt19937_64 rng(test_seed());
  for (int nvars : {1, 2, 3, 4, 5}) {
    // Long doubles hold the images at the pre-tests' points (up to 180)
    // exactly only for few variables.
    if (ring == Ring::floating && nvars > 2) break;
    PolyVars vars(first_names(nvars));
    RingScope scope(ring);
    for (int it = 0; it < test_iterations(24); ++it) {
      PairKind kind =
          it % 3 == 0 ? PairKind::exact : (it % 3 == 1 ? PairKind::inexact : PairKind::free);
      if (ring == Ring::floating && kind == PairKind::free) kind = PairKind::exact;
      const DivisionPair pair = random_division_pair(rng, ring, nvars, kind, 4, 3);
      SCOPED_TRACE("(" + pair.n.to_string(vars.names()) + ") / (" + pair.m.to_string(vars.names()) +
                   ") in " + ring_name(ring));
      check_pair(product_in(ring), pair, vars.level(1));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rings, TrialDivideTest,
                         testing::Values(Ring::integers, Ring::mod7, Ring::mod65521, Ring::mod_big,
                                         Ring::floating),
                         ring_test_name);

TEST_F(TrialTest, SmallModulusLimitsThePasses) {
  NodeBalance balance;
  PolyVars vars(first_names(3));
  ModulusScope mod(3);
  std::mt19937_64 rng(test_seed() + 3);
  for (int it = 0; it < test_iterations(30); ++it) {
    // Coefficients modulo 3: the images often lose their degree.
    RefPoly a = random_refpoly(rng, 3, 4, 3, 1).reduced_mod(BigRef(3));
    RefPoly b = random_refpoly(rng, 3, 4, 3, 1).reduced_mod(BigRef(3));
    if (is_constant(b) || a.is_zero()) continue;
    DivisionPair pair{(a * b).reduced_mod(BigRef(3)), b, a, PairKind::exact};
    if (it % 2 == 1) {
      pair.n = (pair.n + RefPoly::constant(3, BigRef(1))).reduced_mod(BigRef(3));
      pair.kind = PairKind::inexact;
    }
    SCOPED_TRACE("(" + pair.n.to_string(vars.names()) + ") / (" + pair.m.to_string(vars.names()) +
                 ") modulo 3");
    check_pair([](const RefPoly& u, const RefPoly& v) { return (u * v).reduced_mod(BigRef(3)); },
               pair, vars.level(1));
  }
}

TEST_F(TrialTest, DenseOneVariablePairsModuloAPrime) {
  NodeBalance balance;
  PolyVars vars({"x"});
  ModulusScope mod(65521);
  std::mt19937_64 rng(test_seed() + 4);
  for (int it = 0; it < test_iterations(10); ++it) {
    RefPoly a(1), b(1);
    for (int e = 0; e <= 30; ++e)
      a.add_term({e}, BigRef(static_cast<std::int64_t>(rng() % 65520) + 1));
    for (int e = 0; e <= 20; ++e)
      b.add_term({e}, BigRef(static_cast<std::int64_t>(rng() % 65520) + 1));
    const RefPoly n = (a * b).reduced_mod(BigRef(65521));
    for (bool exact : {true, false}) {
      const RefPoly nn = exact ? n : (n + RefPoly::variable(1, 0, 3)).reduced_mod(BigRef(65521));
      Poly pn(nn), pm(b);
      poly q = nullptr;
      EXPECT_EQ(trial_poly_divide(pn, pm, &q, vars.level(1), false, false, false), exact);
      Poly quotient = Poly::adopt(q);
      if (exact) {
        EXPECT_EQ(read_poly(q), a);
      }
      EXPECT_EQ(trial_poly_divide_noq(pn, pm, vars.level(1), false, false, false), exact);
    }
  }
}

// A dense random polynomial in x of degree deg: coefficients of up to
// `limbs` limbs, signed, a sixth of the lower ones missing, none below x^low.
RefPoly dense_x(std::mt19937_64& rng, int deg, int limbs, int low = 0) {
  RefPoly r(1);
  for (int e = std::min(low, deg); e <= deg; ++e) {
    if (e < deg && rng() % 6 == 0) continue;
    BigRef c(static_cast<std::int64_t>(1 + rng() % 97));
    for (int l = 1; l < limbs; ++l)
      c = (c << 28) + BigRef(static_cast<std::int64_t>(rng() % (1u << 28)));
    r.add_term({e}, rng() % 2 ? -c : c);
  }
  return r;
}

// One variable over the integers: on words (Kronecker's substitution) and
// by long division, every flag, the same answers and quotients: planted
// products, a remainder added, and a divisor whose content does not divide.
TEST_F(TrialTest, IntegerOneVariablePairsOnWordsAndByLongDivision) {
  NodeBalance balance;
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 8);
  constexpr std::int32_t never = 2147483647;
  const Product times = [](const RefPoly& u, const RefPoly& v) { return u * v; };
  for (int words = 0; words < 2; ++words) {
    ScopedValue<std::int32_t> route(integer_division_degree, words ? 0 : never);
    const divide_route_counts before = divide_routes;
    for (int it = 0; it < test_iterations(18); ++it) {
      const RefPoly a = dense_x(rng, static_cast<int>(rng() % 40), 1 + it % 3);
      RefPoly b = dense_x(rng, static_cast<int>(1 + rng() % 30), 1 + it % 2, it % 4 == 0 ? 3 : 0);
      DivisionPair pair{a * b, b, a, PairKind::exact};
      if (it % 3 == 1) {
        pair.n = pair.n + RefPoly::variable(1, 0, static_cast<std::int32_t>(rng() % 5));
        pair.kind = PairKind::inexact;
      } else if (it % 3 == 2) {
        // 6 b divides a b only when 6 divides a: a's x^0 coefficient is made 1.
        RefPoly a1 = a + RefPoly::constant(1, BigRef(1) - a.coefficient({0}));
        pair = DivisionPair{a1 * b, b.scaled(BigRef(6)), a1, PairKind::inexact};
      }
      SCOPED_TRACE("(" + pair.n.to_string(vars.names()) + ") / (" + pair.m.to_string(vars.names()) +
                   ")" + (words ? " on words" : " by long division"));
      check_pair(times, pair, vars.level(1));
    }
    EXPECT_EQ(routes_since(before).integer_exact > 0, words == 1);
  }
}

// Past the arrays modulo a prime (fast_gcd_size lowered): residue vectors
// (dense_newton_degree 1) or the array loop, against the long division on
// term lists; in characteristic 2 the long division.
TEST_F(TrialTest, DenseOneVariablePairsPastTheArrays) {
  NodeBalance balance;
  PolyVars vars({"x"});
  std::mt19937_64 rng(test_seed() + 10);
  constexpr std::int32_t never = 2147483647;
  ScopedValue<std::int32_t> cap(fast_gcd_size, 20);
  for (std::int32_t p : {7, 65521, 2147483629, 256}) {
    ModulusScope mod(p);
    const Product times = [p](const RefPoly& u, const RefPoly& v) {
      return p == 256 ? ring_product(Ring::gf256, u, v) : (u * v).reduced_mod(BigRef(p));
    };
    for (int it = 0; it < test_iterations(8); ++it) {
      RefPoly a(1), b(1);
      const int da = static_cast<int>(12 + rng() % 30), db = static_cast<int>(12 + rng() % 20);
      for (int e = 0; e <= da; ++e)
        a.add_term(
            {e}, BigRef(static_cast<std::int64_t>(1 + rng() % static_cast<std::uint64_t>(p - 1))));
      for (int e = 0; e <= db; ++e)
        b.add_term({e}, BigRef(it % 2 == 0 ? p - 1
                                           : static_cast<std::int64_t>(
                                                 1 + rng() % static_cast<std::uint64_t>(p - 1))));
      DivisionPair pair{times(a, b), b, a, PairKind::exact};
      if (it % 3 == 1) {
        pair.n = p == 256 ? ring_sum(Ring::gf256, pair.n, RefPoly::constant(1, BigRef(1)))
                          : (pair.n + RefPoly::constant(1, BigRef(1))).reduced_mod(BigRef(p));
        pair.kind = PairKind::inexact;
      }
      if (pair.n.coefficient({0}) == BigRef(0)) continue;  // keep it dense
      for (int route = 0; route < 3; ++route) {
        SCOPED_TRACE("modulus " + std::to_string(p) + " route " + std::to_string(route));
        ScopedValue<std::int32_t> newton(dense_newton_degree, route == 0 ? 1 : never);
        ScopedValue<std::int32_t> lists(fast_mult_cut, route == 2 ? never : fast_mult_cut);
        check_pair(times, pair, vars.level(1));
      }
    }
  }
}

TEST_F(TrialTest, TheAllVariableTestMayAnswerOnItsOwn) {
  NodeBalance balance;
  PolyVars vars(first_names(5));
  ScopedValue<bool> rat(try_rat, true);
  std::mt19937_64 rng(test_seed() + 5);
  for (int it = 0; it < test_iterations(30); ++it) {
    const DivisionPair exact = random_division_pair(rng, Ring::integers, 5, PairKind::exact, 4, 2);
    const DivisionPair inexact =
        random_division_pair(rng, Ring::integers, 5, PairKind::inexact, 4, 2);
    Poly n(exact.n), m(exact.m), n2(inexact.n), m2(inexact.m);
    EXPECT_TRUE(trial_poly_divide_noq(n, m, vars.level(1), true, true, false));
    EXPECT_FALSE(trial_poly_divide_noq(n2, m2, vars.level(1), true, true, false));
  }
}

// A divisor of more than 2000 leaves is subtracted through a negated copy
// of its tail, so that the long steps may answer an interrupt: the level
// opens during the division, the answers (divides, with the planted
// quotient; does not) are those of the small divisors' route, and the
// divisor is left as it was.
TEST_F(TrialTest, ALargeDivisorLeavesItsTailAloneAndTheStepsPoll) {
  init_character_sets();
  make_token_ring();
  static int levels = 0;
  ScopedValue<command_level_runner> runner(run_command_level, [] { ++levels; });
  ScopedValue<bool> on(command_int, true);
  PolyVars vars({"x", "y", "z"});
  const auto& names = vars.names();
  NodeBalance balance;
  const RefPoly g = parse_ref("(x + 2*y + 3*z + 1)^24", names);  // 2925 leaves
  const RefPoly h = parse_ref("x^3 - y*z + 5", names);
  Poly m(g), n(g * h), not_n(g * h + RefPoly::constant(3, BigRef(1)));
  const std::string shape = node_shape(m);
  for (const bool divisible : {true, false}) {
    levels = 0;
    interrupt_requested = 1;
    testing::internal::CaptureStdout();
    Poly q;
    const bool divides =
        trial_poly_divide(divisible ? n : not_n, m, q.cell(), vars.level(1), false, false, false);
    testing::internal::GetCapturedStdout();
    interrupt_requested = 0;
    EXPECT_EQ(divides, divisible);
    if (divisible) {
      EXPECT_TRUE(read_poly(q) == h);
    }
    EXPECT_GE(levels, 1) << "the division polled";
    EXPECT_EQ(node_shape(m), shape);
  }
}

TEST_F(TrialTest, EveryExitClosesTheTraceLevel) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  ScopedValue<bool> v(verbose, true);
  ScopedValue<bool> w(windy, true);
  const std::int16_t level = dumpitt_level;
  Poly m("x*y + 1");
  Poly exact("(x*y + 1)*(x^2 - y)");
  Poly inexact("(x*y + 1)*(x^2 - y) + 1");
  testing::internal::CaptureStdout();
  for (bool shortcut : {false, true}) {
    for (bool yes_check : {false, true}) {
      poly q = nullptr;
      EXPECT_TRUE(trial_poly_divide(exact, m, &q, vars.level(1), shortcut, yes_check, false));
      free_poly(&q);
      EXPECT_EQ(dumpitt_level, level);
      EXPECT_FALSE(trial_poly_divide(inexact, m, &q, vars.level(1), shortcut, yes_check, false));
      EXPECT_EQ(q, nullptr);
      EXPECT_EQ(dumpitt_level, level);
      EXPECT_FALSE(trial_poly_divide_noq(inexact, m, vars.level(1), shortcut, yes_check, false));
      EXPECT_EQ(dumpitt_level, level);
    }
  }
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("trial divide, counting to 3"), std::string::npos);
  EXPECT_NE(out.find("trial divide noq, counting to 3"), std::string::npos);
}

// ---- The decision on two primes ----------------------------------------------------------

class ModTrialTest : public TrialTest {
 protected:
  ModulusGuard ring_;
};

// The caller's ground ring as the globals hold it.
struct RingState {
  std::int32_t modulus, half, two28;
  double rmodulus;
  bool small, prime, finf, f256, f2t16, flote, lint, modular;
  bool operator==(const RingState&) const = default;
};
RingState ring_state() {
  return {modulus, half_modulus, two28_mod, rmodulus,  smallmodulus, mod_is_prime,
          finf,    f256,         f2t16,     flotemode, lintmode,     modularmode};
}
std::ostream& operator<<(std::ostream& os, const RingState& r) {
  return os << "{modulus " << r.modulus << ", half " << r.half << ", two28 " << r.two28
            << ", rmodulus " << r.rmodulus << ", small " << r.small << ", prime " << r.prime
            << ", finf " << r.finf << r.f256 << r.f2t16 << ", modes " << r.flote << r.lint
            << r.modular << "}";
}

TEST_F(ModTrialTest, DecidesOnImagesAndGivesTheOperandsBack) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 6);
  for (int nvars : {1, 2, 3}) {
    PolyVars vars(first_names(nvars));
    for (int it = 0; it < test_iterations(20); ++it) {
      const PairKind kind = it % 2 == 0 ? PairKind::exact : PairKind::inexact;
      const DivisionPair pair = random_division_pair(rng, Ring::integers, nvars, kind, 4, 3);
      SCOPED_TRACE("(" + pair.n.to_string(vars.names()) + ") / (" + pair.m.to_string(vars.names()) +
                   ")");
      Poly x(pair.n), y(pair.m);
      const std::string x_nodes = node_shape(x);
      const std::string y_nodes = node_shape(y);
      const RingState caller = ring_state();
      for (bool fast_yes : {false, true}) {
        bool worked = false;
        bool checked = false;
        mod_trial_poly_divide(x, y, fast_yes, &worked, &checked, vars.level(1));
        EXPECT_TRUE(worked);
        EXPECT_EQ(checked, kind == PairKind::exact);
        EXPECT_EQ(node_shape(x), x_nodes);
        EXPECT_EQ(node_shape(y), y_nodes);
        EXPECT_EQ(ring_state(), caller);
      }
    }
  }
}

TEST_F(ModTrialTest, NoAuxiliaryPrimesNoDecision) {
  NodeBalance balance;
  PolyVars vars({"x", "y"});
  ScopedValue<std::int16_t> field(field_depth, 2);
  Poly x("(x + y)*(x - 1)");
  Poly y("x + y");
  bool worked = true;
  bool checked = false;
  mod_trial_poly_divide(x, y, false, &worked, &checked, vars.level(1));
  EXPECT_FALSE(worked);
}

// The primes are set under a guard: whatever ring the caller is in (rational
// arithmetic, or modulo 65521 with polynomials formed over the integers),
// the answer is the same and the caller's modulus, its companions and the
// modes are back afterwards, also when an error is raised while the images
// are in force.
RingState at_level;  // the ring in force when a nested level opened

TEST_F(ModTrialTest, TheCallersRingComesBackAlsoThroughAnError) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7);
  PolyVars vars({"x", "y"});
  int levels = 0;
  ScopedValue<command_level_runner> abandon_level(run_command_level, [] {
    at_level = ring_state();
    throw TopLevelJump{};
  });
  for (int it = 0; it < test_iterations(10); ++it) {
    const PairKind kind = it % 2 == 0 ? PairKind::exact : PairKind::inexact;
    const DivisionPair pair = random_division_pair(rng, Ring::integers, 2, kind, 4, 3);
    SCOPED_TRACE("(" + pair.n.to_string(vars.names()) + ") / (" + pair.m.to_string(vars.names()) +
                 ")");
    Poly x(pair.n), y(pair.m);
    const std::string x_nodes = node_shape(x);
    const std::string y_nodes = node_shape(y);
    for (std::int32_t m : {0, 65521}) {
      std::optional<ModulusScope> mod;
      if (m != 0) mod.emplace(m);
      const RingState caller = ring_state();
      bool worked = false;
      bool checked = false;
      mod_trial_poly_divide(x, y, false, &worked, &checked, vars.level(1));
      EXPECT_TRUE(worked);
      EXPECT_EQ(checked, kind == PairKind::exact);
      EXPECT_EQ(ring_state(), caller) << "modulus " << m;

      // No level for the division: the internal error opens a nested level,
      // which is abandoned while a prime is in force.
      at_level = {};
      testing::internal::CaptureStdout();
      try {
        mod_trial_poly_divide(x, y, false, &worked, &checked, nullptr);
        ADD_FAILURE() << "no error raised";
      } catch (const TopLevelJump&) {
        ++levels;
      }
      const std::string out = testing::internal::GetCapturedStdout();
      EXPECT_NE(out.find("pt nil in trial_poly_divide_noq."), std::string::npos) << out;
      EXPECT_TRUE(at_level.modular && at_level.lint && at_level.prime) << at_level;
      EXPECT_TRUE(is_prime(at_level.modulus)) << at_level;
      EXPECT_NE(at_level.modulus, caller.modulus);
      EXPECT_EQ(at_level.two28, 268435456 % at_level.modulus);
      EXPECT_EQ(at_level.half, at_level.modulus / 2);
      EXPECT_EQ(ring_state(), caller) << "modulus " << m;
      EXPECT_EQ(node_shape(x), x_nodes);
      EXPECT_EQ(node_shape(y), y_nodes);
    }
  }
  EXPECT_EQ(levels, 2 * test_iterations(10));
}

}  // namespace
}  // namespace tavrin::test
