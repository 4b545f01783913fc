// Substitution of a fraction for one variable (case_one, case_two,
// highest_case2 and the evaluator's entry actual_eval_poly) against the
// test-side rational evaluation, with the denominator d2^n, absent
// variables and vanishing coefficients; and the auxiliary-prime probe
// velmor_modular over a field given by a relation, with the ring state
// restored also when an error unwinds through it.
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
#include "poly/poly_diff.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/aux_primes.h"
#include "gcd/gcd.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/ratref.h"
#include "support/relation_scope.h"

namespace tavrin::test {
namespace {

const std::vector<std::string> all_names{"x", "y", "z", "w"};

// A random polynomial in the variables of the indices allowed (others 0).
RefPoly random_in(std::mt19937_64& rng, int nv, const std::vector<bool>& allowed, int terms) {
  const RefPoly r = random_refpoly(rng, nv, terms, 3, 1);
  RefPoly out(nv);
  for (const auto& [e, c] : r.terms()) {
    RefPoly::Exps x = e;
    for (int i = 0; i < nv; ++i)
      if (!allowed[static_cast<std::size_t>(i)]) x[static_cast<std::size_t>(i)] = 0;
    out.add_term(x, BigRef(c.to_int64() % 50));
  }
  return out;
}

RefPoly ref_of(poly p, int nv) {
  return p == nullptr ? RefPoly::constant(nv, 1) : read_poly(p, nv);
}

// The fraction num/den equals a/b (cross-multiplied).
bool same_fraction(const RefPoly& num, const RefPoly& den, const RefPoly& a, const RefPoly& b) {
  return num * b == a * den;
}

TEST(Substitution, RandomFractionsAgreeWithRationalEvaluation) {
  std::mt19937_64 rng(test_seed() + 1903);
  int checked = 0;
  for (int it = 0; it < test_iterations(400); ++it) {
    const int nv = 1 + it % 4;
    PolyVars vars(std::vector<std::string>(all_names.begin(), all_names.begin() + nv));
    polypt pt = vars.level(1);
    const int target = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(nv));  // level
    const int t = target - 1;                                                         // index
    // case_one: the value lies below the variable; case_two: it may also
    // involve the variables above it, from a random first level down.
    const bool mixed = target > 1 && rng() % 2 == 0;
    const int first = mixed ? static_cast<int>(rng() % static_cast<std::uint64_t>(t)) : t + 1;
    std::vector<bool> allowed(static_cast<std::size_t>(nv), false);
    for (int i = first; i < nv; ++i) allowed[static_cast<std::size_t>(i)] = i != t;
    const RefPoly pr = random_refpoly(rng, nv, 8, 3, 1);
    const RefPoly n2r = random_in(rng, nv, allowed, 3);
    RefPoly d2r = rng() % 3 == 0 ? RefPoly(nv) : random_in(rng, nv, allowed, 2);
    if (pr.is_zero() || (!d2r.is_zero() && d2r == RefPoly::constant(nv, 1))) continue;
    SCOPED_TRACE("p = " + pr.to_string(vars.names()) + ", level " + std::to_string(target) +
                 " := (" + n2r.to_string(vars.names()) + ") / (" + d2r.to_string(vars.names()) +
                 ")");
    NodeBalance balance;
    Poly p(pr), n2(n2r), d2;
    if (!d2r.is_zero()) d2 = Poly(d2r);
    const std::string n2_shape = node_shape(n2);
    Poly den;
    // The first level at which the value is not a pad.
    const std::int32_t source =
        std::min<std::int32_t>(poly_depth(n2), d2.get() == nullptr ? 16384 : poly_depth(d2));
    poly* d2cell = d2.get() == nullptr ? nullptr : d2.cell();
    actual_eval_poly(p.cell(), den.cell(), n2.cell(), d2cell, target, source, pt);
    EXPECT_EQ(node_shape(n2), n2_shape);
    ASSERT_TRUE(valid_poly(p));
    if (den.get() != nullptr) {
      ASSERT_TRUE(valid_poly(den));
    }
    const RefPoly num = p.ref(), dr = ref_of(den, nv);
    // Values at random rational points.
    for (int k = 0; k < 3; ++k) {
      std::vector<RatRef> point(static_cast<std::size_t>(nv));
      for (auto& v : point) v = random_ratref(rng, 9, 7);
      const RatRef dv = d2r.is_zero() ? RatRef(1) : evaluate(d2r, point);
      const RatRef resv = evaluate(dr, point);
      if (dv.is_zero() || resv.is_zero()) continue;
      std::vector<RatRef> sub = point;
      sub[static_cast<std::size_t>(t)] = evaluate(n2r, point) / dv;
      EXPECT_EQ(evaluate(num, point) / resv, evaluate(pr, sub));
      ++checked;
    }
    // Not involved: unchanged, no denominator.
    bool involved = false;
    for (const auto& [e, c] : pr.terms()) involved = involved || e[static_cast<std::size_t>(t)] > 0;
    if (!involved) {
      EXPECT_EQ(num, pr);
      EXPECT_EQ(den.get(), nullptr);
    }
    if (mixed) continue;
    // At the top level the denominator is d2^deg exactly.
    if (target == 1 && !d2r.is_zero() && involved) {
      std::int32_t deg = 0;
      for (const auto& [e, c] : pr.terms()) deg = std::max(deg, e[0]);
      EXPECT_EQ(dr, d2r.pow(static_cast<unsigned>(deg)));
    }
    // case_two from the top level and highest_case2 give the same fraction
    // as case_one (through actual_eval_poly) does level by level.
    for (int route = 0; route < 2; ++route) {
      Poly q(pr), qden;
      if (route == 0) {
        case_two(q.cell(), qden.cell(), target, 1, n2, d2.get(), pt);
      } else {
        highest_case2(q.cell(), qden.cell(), target, n2, d2.get(), 0, pt);
      }
      ASSERT_TRUE(valid_poly(q));
      EXPECT_TRUE(same_fraction(q.ref(), ref_of(qden, nv), num, dr)) << "route " << route;
    }
  }
  EXPECT_GT(checked, 300);
}

// Coefficients that vanish take their terms with them: (y - 2)x^2 + x + 1
// at y := 2 is x + 1; (y - 2)x at y := 2 is the bare 0.
TEST(Substitution, VanishingCoefficientsLeaveNoTerms) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  Poly two("2");
  for (auto [text, want] :
       {std::pair{"(y - 2)*x^2 + x + 1", "[1:1; 1]"}, std::pair{"(y - 2)*x", "0"}}) {
    Poly p(text), den;
    case_one(p.cell(), den.cell(), 2, two, nullptr, vars.level(1));
    EXPECT_EQ(dump_poly(p), want);
    EXPECT_EQ(den.get(), nullptr);
  }
}

// A one-variable polynomial over the integers at an integer or a fraction
// of integers, on words (intpoly_scaled_value) and by Horner's rule on the
// term list: the same numerator and denominator, node for node, below and
// above value_words_degree, dense and with zero runs; sparse lists keep
// the list route. A value past 32,767 limbs is error 302 either way.
TEST(Substitution, OneVariableValuesOnWordsAgreeWithHornersRuleOnTheList) {
  PolyVars vars{"x"};
  std::mt19937_64 rng(test_seed() + 77);
  NodeBalance balance;
  auto random_x = [&](int deg, bool runs) {
    RefPoly r(1);
    for (int e = 0; e <= deg; ++e) {
      if (runs && (e / 7) % 3 == 1) continue;
      r.add_term({e}, BigRef(static_cast<std::int64_t>(rng() % 2001) - 1000) *
                          BigRef::pow2(static_cast<unsigned>(rng() % 70)));
    }
    r.add_term({deg}, BigRef(1));
    return r;
  };
  const char* points[][2] = {{"3", nullptr}, {"-2", nullptr},
                             {"0", nullptr}, {"123456789012345678901234567890", nullptr},
                             {"3", "7"},     {"-5", "268435456"},
                             {"1", "1"},     {"98765432109876543210", "12345678901"}};
  for (int i = 0; i < test_iterations(24); ++i) {
    const int deg = 1 + static_cast<int>(rng() % (i % 3 == 0 ? 600 : 40));
    const RefPoly a = random_x(deg, i % 4 == 3);
    const auto& pt = points[static_cast<std::size_t>(i) % (sizeof points / sizeof points[0])];
    SCOPED_TRACE(a.to_string(vars.names()) + " at " + pt[0] +
                 (pt[1] != nullptr ? std::string(" / ") + pt[1] : ""));
    Poly n2(pt[0], vars.names());
    Poly d2;
    if (pt[1] != nullptr) d2 = Poly(pt[1], vars.names());
    Poly on_list(a), list_den, on_words(a), words_den;
    {
      ScopedValue<std::int32_t> never(value_words_degree, INT32_MAX);
      case_one(on_list.cell(), list_den.cell(), 1, n2, d2.get(), vars.level(1));
    }
    {
      ScopedValue<std::int32_t> always(value_words_degree, 1);
      ScopedValue<std::int32_t> halves(value_split_degree, 1 + i % 8);
      case_one(on_words.cell(), words_den.cell(), 1, n2, d2.get(), vars.level(1));
    }
    ASSERT_EQ(dump_poly(on_words), dump_poly(on_list));
    ASSERT_EQ(words_den.get() == nullptr, list_den.get() == nullptr);
    if (list_den.get() != nullptr) {
      ASSERT_EQ(dump_poly(words_den), dump_poly(list_den));
    }
  }
  // Below the default cut-off, and a sparse list, the list route; above
  // it the words: the same values.
  for (const char* text : {"x^10 - 3*x + 1", "x^5000 + 2*x^17 - 1", "(x - 2)^40"}) {
    Poly three("3", vars.names()), p(text, vars.names()), den;
    const RefPoly a = p.ref();
    case_one(p.cell(), den.cell(), 1, three, nullptr, vars.level(1));
    BigRef want(0);
    for (const auto& [e, c] : a.terms()) {
      BigRef term = c;
      for (int k = 0; k < e[0]; ++k) term = term * BigRef(3);
      want = want + term;
    }
    EXPECT_EQ(p.ref(), RefPoly::constant(1, want)) << text;
  }
  // 2^(28 * 20000) squared passes 32,767 limbs: error 302 on both routes.
  NumberedErrors numbered;
  ScopedValue<bool> quiet(extra_line, false);
  for (std::int32_t cut : {1, INT32_MAX}) {
    SCOPED_TRACE(cut);
    NodeBalance one_route;
    ScopedValue<std::int32_t> route(value_words_degree, cut);
    Poly big(RefPoly::constant(1, BigRef::pow2(28 * 20000))), p("x^2 + 1", vars.names()), den;
    testing::internal::CaptureStdout();
    EXPECT_THROW(case_one(p.cell(), den.cell(), 1, big, nullptr, vars.level(1)), TopLevelJump);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Error number 302."), std::string::npos) << out;
  }
}

// ---- The auxiliary-prime probe --------------------------------------------------------------

// The largest `entries` primes below 1000 at which 2 is a square, each with
// a square root of 2 modulo it, into the level's list (largest first).
void fill_root_list(polypt level, int entries) {
  int added = 0;
  for (std::int32_t p = 997; p > 40 && added < entries; --p) {
    bool prime = true;
    for (std::int32_t d = 2; d * d <= p; ++d) prime = prime && p % d != 0;
    if (!prime) continue;
    for (std::int32_t r = 1; r < p; ++r) {
      if (r * r % p == 2) {
        add_prime_to_list(level, p, r);
        ++added;
        break;
      }
    }
  }
  level->aux_num = static_cast<std::int16_t>(added);
}

struct RingState {
  std::int32_t mod, half, two28;
  bool flote, lint, modular, small, prime, interrupts;
  std::int16_t lookup;
  fixptr journal;
  static RingState now() {
    return {tavrin::modulus, half_modulus, two28_mod,   flotemode, lintmode, modularmode,
            smallmodulus,    mod_is_prime, command_int, lookupgcd, masterfix};
  }
  bool operator==(const RingState&) const = default;
};

// Over Q(a), a^2 = 2 (a field level with its list of primes and roots):
// pairs with a common factor give no success, pairs whose resultant is a
// unit succeed; the ring, the interrupt switch, the cache switch and the
// journal are as before, and so are g and h. A second field level without
// a list makes the probe report " velmor_modular, p is nil 2" inside its
// image; the nested level that opens abandons the command, and everything
// is restored all the same.
TEST(AuxPrimeProbe, CommonFactorsFailAndCoprimePairsSucceed) {
  load_data_tables();
  PolyVars vars{"x", "a", "b"};
  ModOutScope b_relation(vars, 3, "b^2 - 3", true);  // the bottom level first
  ModOutScope a_relation(vars, 2, "a^2 - 2", true);
  ASSERT_EQ(field_depth, 2);
  fill_root_list(vars.level(2), 6);
  ASSERT_EQ(vars.level(2)->aux_num, 6);
  ScopedValue<bool> interrupts(command_int, true);
  const struct {
    const char *g, *h;
    bool success;
  } cases[] = {
      {"(x + a)*(x + 1)", "(x + a)*(x + 3)", false},
      {"x^2 + a*x + 1", "x^3 + (a + 2)*x^2 + 5", true},
      {"x + a", "x + a + 1", true},
      {"x^2 - 2", "x^3 + a*x^2 + x + a", false},  // x + a divides both
  };
  {
    // b is substituted too: its list is the same length (roots of 3 are
    // not needed: g and h do not involve b).
    for (imptr e = vars.level(2)->gcd_data; e != nullptr; e = e->imag)
      add_prime_to_list(vars.level(3), e->lint, 1);
    vars.level(3)->aux_num = vars.level(2)->aux_num;
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.g) + ", " + c.h);
    for (int k = 0; k < 4; ++k) {  // the start entry is random
      NodeBalance balance;
      Poly g(c.g), h(c.h);
      const std::string sg = node_shape(g), sh = node_shape(h);
      const RingState before = RingState::now();
      bool success = !c.success;
      velmor_modular(g, h, vars.level(1), &success);
      EXPECT_EQ(success, c.success);
      EXPECT_TRUE(RingState::now() == before);
      EXPECT_EQ(node_shape(g), sg);
      EXPECT_EQ(node_shape(h), sh);
    }
  }
  // The injected error.
  free_gcd_data(vars.level(3));
  ScopedValue<command_level_runner> abandon(run_command_level, [] { throw TopLevelJump{}; });
  NodeBalance balance;
  {
    Poly g("x + a"), h("x + a + 1");
    const std::string sg = node_shape(g);
    const RingState before = RingState::now();
    bool success = true;
    bool unwound = false;
    const std::string out =
        output_of([&] { velmor_modular(g, h, vars.level(1), &success); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_NE(out.find("*** Tavrin error.  velmor_modular, p is nil 2"), std::string::npos) << out;
    EXPECT_TRUE(RingState::now() == before);
    EXPECT_EQ(node_shape(g), sg);
    EXPECT_EQ(levelcount, 1);
  }
  balance.expect_balanced();
  free_gcd_data(vars.level(2));
}

}  // namespace
}  // namespace tavrin::test
