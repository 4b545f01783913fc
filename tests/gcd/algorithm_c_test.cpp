// The GCD driver with its last resort, the subresultant remainder sequence:
// randomised pairs with a planted common factor over the integers and
// modulo primes, checked by independent facts (the result divides both
// inputs exactly, the cofactors are coprime on images, the normal form),
// the known answers, the change of main variable through a temporary level
// (restored also when an error unwinds from the sequence), the abandonment
// of an expensive sequence with its messages, and the cost estimate.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "gcd/polygcd_impl.h"
#include "numbers/primes.h"  // seed_random
#include "poly/poly_exact_divide.h"
#include "poly/poly_repr.h"
#include "support/data_tables.h"
#include "support/dense_ref.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

void new_command() {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
  c_cntcount = a_cntcount = d_cntcount = g_cntcount = 0;
  c_cntdepth = a_cntdepth = d_cntdepth = 0;
}

class AlgorithmC : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    new_command();
  }
};

// The level records and the globals a temporary level changes.
struct LevelState {
  std::int32_t polys, global;
  std::int16_t fdepth;
  polypt names, pseudo;
  std::vector<std::int32_t> depths;
  static LevelState now() {
    LevelState s{number_polys, globalpoly, field_depth, polynames, pseudo_polynames, {}};
    for (polypt r = polynames; r != nullptr; r = r->next) s.depths.push_back(r->depth);
    return s;
  }
  bool operator==(const LevelState&) const = default;
};

std::int64_t residue(const BigRef& c, std::int64_t p) {
  return ((c % BigRef(p)).to_int64() + p) % p;
}

// The field of the evaluation points: GF(p), or GF(p^3) = F_p[t]/(t^3 +
// t + 1) for p = 7 (t^3 + t + 1 has no root modulo 7), whose 343 points
// leave room for points at which no common root appears by accident.
// Elements are coded c0 + c1 p + c2 p^2.
class PointField {
 public:
  explicit PointField(std::int64_t p) : p_(p), cubic_(p == 7) {}
  std::int64_t size() const { return cubic_ ? p_ * p_ * p_ : p_; }
  std::int64_t of(const BigRef& c) const { return residue(c, p_); }
  std::int64_t add(std::int64_t a, std::int64_t b) const {
    if (!cubic_) return (a + b) % p_;
    std::int64_t r = 0;
    for (std::int64_t w = 1, x = a, y = b; w < size(); w *= p_, x /= p_, y /= p_)
      r += (x % p_ + y % p_) % p_ * w;
    return r;
  }
  std::int64_t neg(std::int64_t a) const { return mul(a, of(BigRef(-1))); }
  std::int64_t mul(std::int64_t a, std::int64_t b) const {
    if (!cubic_) return a * b % p_;
    std::int64_t x[3] = {a % p_, a / p_ % p_, a / (p_ * p_)}, y[3] = {b % p_, b / p_ % p_, b / (p_ * p_)};
    std::int64_t z[5] = {};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) z[i + j] = (z[i + j] + x[i] * y[j]) % p_;
    for (int d = 4; d >= 3; --d) {  // t^3 = -t - 1
      z[d - 2] = (z[d - 2] + (p_ - 1) * z[d]) % p_;
      z[d - 3] = (z[d - 3] + (p_ - 1) * z[d]) % p_;
      z[d] = 0;
    }
    return z[0] + z[1] * p_ + z[2] * p_ * p_;
  }
  std::int64_t inv(std::int64_t a) const {
    std::int64_t r = 1;
    for (std::int64_t e = size() - 2, b = a; e > 0; e >>= 1, b = mul(b, b))
      if (e & 1) r = mul(r, b);
    return r;
  }

 private:
  std::int64_t p_;
  bool cubic_;
};

using Elems = std::vector<std::int64_t>;

void trim(Elems& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// The degree of the GCD of a and b by Euclid (-1 for gcd(0, 0)).
std::int64_t gcd_degree(const PointField& f, Elems a, Elems b) {
  trim(a);
  trim(b);
  while (!b.empty()) {
    const std::int64_t lead = f.inv(b.back());
    while (a.size() >= b.size()) {
      const std::int64_t c = f.neg(f.mul(a.back(), lead));
      const std::size_t shift = a.size() - b.size();
      for (std::size_t j = 0; j < b.size(); ++j) a[shift + j] = f.add(a[shift + j], f.mul(c, b[j]));
      trim(a);
    }
    std::swap(a, b);
  }
  return static_cast<std::int64_t>(a.size()) - 1;
}

// The image of a with the values given for every variable but free_var:
// the coefficients of the powers of free_var.
Elems image(const PointField& f, const RefPoly& a, int free_var, const Elems& values) {
  Elems r;
  for (const auto& [e, c] : a.terms()) {
    std::int64_t t = f.of(c);
    for (int i = 0; i < a.nvars(); ++i) {
      if (i == free_var) continue;
      for (std::int32_t k = 0; k < e[static_cast<std::size_t>(i)]; ++k)
        t = f.mul(t, values[static_cast<std::size_t>(i)]);
    }
    const auto d = static_cast<std::size_t>(e[static_cast<std::size_t>(free_var)]);
    if (r.size() <= d) r.resize(d + 1, 0);
    r[d] = f.add(r[d], t);
  }
  trim(r);
  return r;
}

std::int32_t degree_in(const RefPoly& a, int var) {
  std::int32_t d = -1;
  for (const auto& [e, c] : a.terms()) d = std::max(d, e[static_cast<std::size_t>(var)]);
  return d;
}

bool involves(const RefPoly& a, int var) { return degree_in(a, var) > 0; }

bool trial_prime(std::int64_t q) {
  for (std::int64_t d = 3; d * d <= q; d += 2)
    if (q % d == 0) return false;
  return q % 2 != 0;
}

// No common factor of positive degree: for every variable that both
// involve, one of two images at random points (modulo p, over GF(7^3) for
// p = 7, or modulo a random word prime for p = 0) that keep both degrees in
// that variable has Euclid GCD 1 (at such a point a common factor would
// keep its degree). Points that lower a degree do not count.
bool coprime(const RefPoly& a, const RefPoly& b, std::int64_t p, std::mt19937_64& rng) {
  for (int var = 0; var < a.nvars(); ++var) {
    if (!involves(a, var) || !involves(b, var)) continue;
    const std::int64_t da = degree_in(a, var), db = degree_in(b, var);
    bool one = false;
    int lucky = 0;
    for (int attempt = 0; attempt < 40 && lucky < 2 && !one; ++attempt) {
      std::int64_t q = p;
      while (q == 0) {
        const std::int64_t c = 1000003 + 2 * static_cast<std::int64_t>(rng() % 400000);
        if (trial_prime(c)) q = c;
      }
      const PointField f(q);
      Elems values(static_cast<std::size_t>(a.nvars()));
      for (auto& v : values) v = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(f.size()));
      const Elems ia = image(f, a, var, values), ib = image(f, b, var, values);
      if (static_cast<std::int64_t>(ia.size()) - 1 != da || static_cast<std::int64_t>(ib.size()) - 1 != db)
        continue;
      ++lucky;
      one = gcd_degree(f, ia, ib) == 0;
    }
    if (!one) return false;
  }
  return true;
}

BigRef int_content(const RefPoly& a) {
  BigRef g = 0;
  for (const auto& [e, c] : a.terms()) g = BigRef::gcd(g, c);
  return g;
}

RefPoly ring_of(std::int64_t p, const RefPoly& a) { return p == 0 ? a : a.reduced_mod(BigRef(p)); }

std::int64_t inverse_mod(std::int64_t a, std::int64_t p) {
  std::int64_t r = 1;
  for (std::int64_t e = p - 2, b = a % p; e > 0; e >>= 1, b = b * b % p)
    if (e & 1) r = r * b % p;
  return r;
}

// q := n / m: by the landed exact division, which must succeed, for a
// polynomial m; coefficientwise for a number m (exactly over the integers).
::testing::AssertionResult divides(poly m, poly n, polypt pt, std::int64_t p, RefPoly* q) {
  if (m->numb && m->next == nullptr) {
    const BigRef c = read_poly(m).coefficient(RefPoly::Exps(static_cast<std::size_t>(number_polys), 0));
    const RefPoly nr = read_poly(n);
    if (p != 0) {
      *q = nr.scaled(BigRef(inverse_mod(residue(c, p), p))).reduced_mod(BigRef(p));
      return ::testing::AssertionSuccess();
    }
    *q = RefPoly(nr.nvars());
    for (const auto& [e, x] : nr.terms()) {
      if (!(x % c).is_zero()) return ::testing::AssertionFailure() << c << " does not divide " << show_poly(n);
      q->add_term(e, x / c);
    }
    return ::testing::AssertionSuccess();
  }
  Poly quotient;
  bool failed = true;
  gen_poly_divide(n, m, quotient.cell(), pt, &failed);
  if (failed) return ::testing::AssertionFailure() << show_poly(m) << " does not divide " << show_poly(n);
  *q = quotient.ref();
  return ::testing::AssertionSuccess();
}

// g is the normalised GCD of u and v (p = 0: over the integers) and the
// planted factor divides it.
void check_gcd(poly u, poly v, poly g, const RefPoly& planted, std::int64_t p, polypt pt,
               std::mt19937_64& rng) {
  ASSERT_TRUE(valid_poly(g));
  const RefPoly gr = read_poly(g);
  RefPoly a, b, c;
  ASSERT_TRUE(divides(g, u, pt, p, &a));
  ASSERT_TRUE(divides(g, v, pt, p, &b));
  EXPECT_EQ(ring_of(p, a * gr), read_poly(u));
  EXPECT_EQ(ring_of(p, b * gr), read_poly(v));
  if (!planted.is_zero()) {
    Poly pl(planted);
    EXPECT_TRUE(divides(pl, g, pt, p, &c));
  }
  EXPECT_TRUE(coprime(a, b, p, rng)) << "cofactors " << a.to_string(current_var_names())
                                                     << " and " << b.to_string(current_var_names());
  const BigRef lc = gr.terms().rbegin()->second;
  if (p == 0) {
    EXPECT_FALSE(lc.negative());
    EXPECT_EQ(BigRef::gcd(int_content(a), int_content(b)), BigRef(1));
  } else {
    EXPECT_EQ(lc, BigRef(1));
  }
}

// A random factor in nv variables: a non-zero constant, or up to `terms`
// terms of exponents up to max_deg (most of them 0), coefficients in
// -bound .. bound.
RefPoly random_factor(std::mt19937_64& rng, int nv, int max_deg, int terms, int bound) {
  auto coef = [&] {
    const auto c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(bound));
    return BigRef(rng() % 2 ? c : -c);
  };
  RefPoly r(nv);
  if (rng() % 6 == 0) {
    r.add_term(RefPoly::Exps(static_cast<std::size_t>(nv), 0), coef());
    return r;
  }
  const int n = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(terms));
  for (int k = 0; k < n; ++k) {
    RefPoly::Exps e(static_cast<std::size_t>(nv), 0);
    for (auto& x : e)
      if (rng() % 2) x = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(max_deg + 1));
    r.add_term(e, coef());
  }
  if (rng() % 4 == 0) r.add_term(RefPoly::Exps(static_cast<std::size_t>(nv), 0), coef());
  return r;
}

// A cofactor whose leading coefficient in x is shared with the other one:
// lc x^k + lower terms in x.
RefPoly with_leading(std::mt19937_64& rng, const RefPoly& lc, int nv, std::int32_t k) {
  RefPoly lower = random_factor(rng, nv, 3, 3, 100);
  RefPoly r = lc * RefPoly::variable(nv, 0, k);
  for (const auto& [e, c] : lower.terms())
    if (e[0] < k) r.add_term(e, c);
  return r;
}

struct Pair {
  RefPoly u, v, planted;
};

Pair random_pair(std::mt19937_64& rng, int nv, std::int64_t p) {
  for (;;) {
    Pair t;
    t.planted = ring_of(p, random_factor(rng, nv, 2, 4, 100));
    RefPoly a, b;
    if (rng() % 3 == 0) {
      RefPoly shared(nv);  // a leading coefficient free of x
      const RefPoly lc = random_factor(rng, nv, 2, 2, 20);
      for (const auto& [e, c] : lc.terms()) {
        RefPoly::Exps x = e;
        x[0] = 0;
        shared.add_term(x, c);
      }
      if (shared.is_zero()) continue;
      a = with_leading(rng, shared, nv, 1 + static_cast<std::int32_t>(rng() % 3));
      b = with_leading(rng, shared, nv, 1 + static_cast<std::int32_t>(rng() % 3));
    } else {
      a = random_factor(rng, nv, 3, 5, 100);
      b = random_factor(rng, nv, 3, 5, 100);
    }
    t.u = ring_of(p, t.planted * a);
    t.v = ring_of(p, t.planted * b);
    if (t.u.is_zero() || t.v.is_zero() || t.planted.is_zero()) continue;
    if (degree_in(t.u, 0) < 1 && degree_in(t.v, 0) < 1) continue;
    return t;
  }
}

std::vector<std::string> names_for(int nv) {
  const std::vector<std::string> all{"x", "y", "z", "w"};
  return {all.begin(), all.begin() + nv};
}

// polygcd of fresh copies of a and b with kept arguments: the arguments
// come back node for node and the nodes balance.
RefPoly gcd_of(const RefPoly& a, const RefPoly& b, polypt pt, std::string* out = nullptr) {
  NodeBalance balance;
  Poly u(a), v(b), g;
  const std::string su = node_shape(u), sv = node_shape(v);
  const std::string printed =
      output_of([&] { polygcd(u, v, g.cell(), false, true, true, pt, true, true, true); });
  if (out != nullptr) *out = printed;
  EXPECT_EQ(node_shape(u), su);
  EXPECT_EQ(node_shape(v), sv);
  return g.ref();
}

TEST_F(AlgorithmC, PlantedPairsOverTheIntegersAndModuloPrimes) {
  std::mt19937_64 rng(test_seed() + 1901);
  const struct {
    const char *u, *v, *want;
  } known[] = {
      {"(x + y)*(x^2 + 1)", "(x + y)*(x - 1)", "x + y"},
      {"4*(x^3 + 2*x*y + y + 1)", "6*(x^2*y + x + 3)", "2"},
      {"x^4 + x^3*y", "x^5 + x^2*(y + 1)", "x^2"},
  };
  long reached = 0;
  for (std::int64_t p : {0, 7, 101, 65521}) {
    std::optional<ModulusScope> ring;
    if (p != 0) ring.emplace(static_cast<std::int32_t>(p));
    const long before = polygcd_stages.algorithm_c;
    if (p == 0) {
      PolyVars vars{"x", "y"};
      for (const auto& k : known) {
        new_command();
        const RefPoly want = parse_ref(k.want, vars.names());
        EXPECT_EQ(gcd_of(parse_ref(k.u, vars.names()), parse_ref(k.v, vars.names()), vars.level(1)),
                  want)
            << k.u << ", " << k.v;
      }
    }
    const int pairs = test_iterations(p == 0 ? 300 : 100);
    for (int it = 0; it < pairs; ++it) {
      const int nv = 2 + it % 3;
      PolyVars vars(names_for(nv));
      new_command();
      const Pair t = random_pair(rng, nv, p);
      SCOPED_TRACE("modulus " + std::to_string(p) + ": " + t.u.to_string(vars.names()) + " and " +
                   t.v.to_string(vars.names()));
      NodeBalance balance;
      Poly u(t.u), v(t.v), g;
      const std::string su = node_shape(u), sv = node_shape(v);
      const std::string out =
          output_of([&] { polygcd(u, v, g.cell(), false, true, true, vars.level(1), true, true, true); });
      ASSERT_EQ(out, "");
      EXPECT_EQ(node_shape(u), su);
      EXPECT_EQ(node_shape(v), sv);
      check_gcd(u, v, g, t.planted, p, vars.level(1), rng);
      if (it % 10 == 0) {  // the same answer whatever the switches and the random points
        const RefPoly first = g.ref();
        const ScopedValue<bool> other_o(chinhensel, !chinhensel);
        const ScopedValue<bool> other_t(rat_yes, !rat_yes);
        seed_random(static_cast<std::uint32_t>(rng()));
        new_command();
        EXPECT_EQ(gcd_of(t.u, t.v, vars.level(1)), first);
      }
    }
    reached += polygcd_stages.algorithm_c - before;
    RecordProperty("algorithm_c_" + std::to_string(p), static_cast<int>(polygcd_stages.algorithm_c - before));
  }
  EXPECT_GT(reached, 100);
}

// ---- The change of main variable ----------------------------------------------------------

// The level state seen inside the nested level that an interrupt opened
// while the temporary level existed; the level then abandons the command.
struct Injected {
  static inline bool fired = false;
  static inline std::int32_t globalpoly_inside = 0;
  static inline std::int32_t polys_inside = 0;
  static void runner() {
    if (globalpoly == 0) {  // not yet inside: let the computation go on
      interrupt_requested = 1;
      return;
    }
    fired = true;
    globalpoly_inside = globalpoly;
    polys_inside = number_polys;
    throw TopLevelJump{};
  }
};

// v's leading coefficient in x has many terms, in y one (x^1 y^5): y goes
// to the top for the sequence, at a top level (depth 1, the levels below
// renumbered) and below one (depth 2). The GCD is right, and the levels,
// globalpoly and the arguments are as before, also when an interrupt
// opens a nested level inside the sequence and that level abandons it.
TEST_F(AlgorithmC, AnotherVariableMovesToTheTopOnATemporaryLevel) {
  for (int top : {1, 2}) {
    PolyVars vars = top == 1 ? PolyVars{"x", "y", "z"} : PolyVars{"t", "x", "y", "z"};
    const std::vector<std::string>& names = vars.names();
    const RefPoly g = parse_ref("x*y^2 + z*x + y + 1", names);
    const RefPoly u = g * parse_ref("(z^2 + z + 1)*x^3 + y^4 + x*z + 2", names);
    const RefPoly v = g * parse_ref("(z^2 + 2*z + 3)*x^2 + y^3 + x + z", names);
    for (bool inject : {false, true}) {
      SCOPED_TRACE("depth " + std::to_string(top) + (inject ? ", interrupted" : ""));
      new_command();
      const LevelState before = LevelState::now();
      const long levels = polygcd_stages.temporary_levels;
      NodeBalance balance;
      Poly pu(u), pv(v), r;
      const std::string su = node_shape(pu), sv = node_shape(pv);
      poly a = top == 1 ? pu.get() : pu->pcoef;  // the level-2 lists below t's pads
      poly b = top == 1 ? pv.get() : pv->pcoef;
      std::optional<ScopedValue<command_level_runner>> runner;
      std::optional<ScopedValue<bool>> interrupts, danger;
      Injected::fired = false;
      if (inject) {
        runner.emplace(run_command_level, &Injected::runner);
        interrupts.emplace(command_int, true);
        danger.emplace(danger_ok, true);
        interrupt_requested = 1;
      }
      bool unwound = false;
      output_of([&] { polygcd(a, b, r.cell(), false, true, true, vars.level(top), true, true, true); },
                &unwound);
      interrupt_requested = 0;
      EXPECT_EQ(unwound, inject);
      EXPECT_EQ(Injected::fired, inject);
      if (inject) {
        EXPECT_EQ(Injected::globalpoly_inside, 1);
        EXPECT_EQ(Injected::polys_inside, static_cast<std::int32_t>(names.size()) + (top == 1 ? 1 : 0));
      } else {
        if (top == 2) add_pad(r.cell(), 1);
        EXPECT_EQ(r.ref(), g);
      }
      EXPECT_GE(polygcd_stages.temporary_levels, levels + 1);
      EXPECT_TRUE(LevelState::now() == before);
      EXPECT_EQ(levelcount, 1);
      EXPECT_EQ(node_shape(pu), su);
      EXPECT_EQ(node_shape(pv), sv);
    }
  }
  // The renumbering itself: one level deeper and back, field_depth with it.
  PolyVars vars{"x", "y", "z"};
  ScopedValue<std::int16_t> fd(field_depth, 3);
  change_polydata_1(-1, vars.level(1));
  EXPECT_EQ(vars.level(1)->depth, 1);
  EXPECT_EQ(vars.level(2)->depth, 3);
  EXPECT_EQ(vars.level(3)->depth, 4);
  EXPECT_EQ(field_depth, 4);
  change_polydata_1(1, vars.level(1));
  EXPECT_EQ(vars.level(3)->depth, 3);
  EXPECT_EQ(field_depth, 3);
}

// ---- Abandonment ------------------------------------------------------------------------------

// (x + y + 1) times cofactors whose coefficients carry y^60000: the cost
// estimate of the first step is far above 200000 and v's leading
// coefficient has 3 terms, so the sequence hands the pair back to polygcd
// four times in a command and runs to its end the fifth time.
TEST_F(AlgorithmC, AnExpensiveSequenceIsAbandonedFourTimesAndThenRuns) {
  PolyVars vars{"x", "y"};
  const std::vector<std::string>& names = vars.names();
  const RefPoly g = parse_ref("x + y + 1", names);
  const RefPoly u = g * parse_ref("x^2 + y^60000*x + 1", names);
  const RefPoly v = g * parse_ref("(y^60000 + y + 1)*x + 2", names);
  std::int32_t cost = 0;
  {
    Poly pu(u), pv(v);
    cost = algorithm_c_cost(pu, pv);
  }
  ASSERT_GT(cost, 200000);
  const std::string n = std::to_string(cost);
  auto abandon = [&](int k) { return "Warning. Abandon Algorithm C. " + std::to_string(k) + ", 3, 2, " + n + ", 3\n"; };
  const std::string cannot = "Warning. Can't abandon Algorithm C. 3, 2, " + n + "\n";
  const std::string forced =
      "\n!! ** Warning. You set &O to force Algorithm C!\n\n*** Tavrin error. &O conflict with large GCD problem.\n";
  struct Case {
    bool verbose, chinhensel;
    std::int32_t count;
    std::string printed;
  };
  const Case cases[] = {
      {true, true, 0, abandon(1) + abandon(2) + abandon(3) + abandon(4) + cannot},
      {true, true, 4, cannot},
      {false, true, 0, ""},
      {false, false, 0, abandon(1) + forced + abandon(2) + forced + abandon(3) + forced + abandon(4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("verbose " + std::to_string(c.verbose) + ", &O " + std::to_string(c.chinhensel) +
                 ", count " + std::to_string(c.count));
    new_command();
    alg_c_count = c.count;
    const ScopedValue<bool> loud(verbose, c.verbose), o(chinhensel, c.chinhensel);
    const long abandoned = polygcd_stages.abandoned;
    std::string out;
    EXPECT_EQ(gcd_of(u, v, vars.level(1), &out), g);
    EXPECT_EQ(out, c.printed);
    EXPECT_EQ(polygcd_stages.abandoned - abandoned, 4 - c.count);
    EXPECT_EQ(alg_c_count, 4);
  }
}

// The estimate in 32-bit arithmetic: a product that wraps negative counts
// as L + 1 (L = 120000, or 40000 with 10 variables or more).
TEST_F(AlgorithmC, TheCostEstimateCountsAnOverflowAsJustAboveTheLimit) {
  for (int nv : {2, 10}) {
    std::vector<std::string> names{"x", "y"};
    for (int k = 2; k < nv; ++k) names.push_back("v" + std::to_string(k));
    PolyVars vars(names);
    // (18 + 17) / 10 = 3 terms, both masses saturated at 2^28, degree 3:
    // 9 * 2^28 wraps negative.
    const std::string big = "y^536870000", s = "(1 + y + y^2 + y^3 + y^4 + y^5 + y^6 + y^7 + y^8 + y^9 + y^10 + y^11 + y^12 + y^13 + y^14)";
    Poly u("x^4 + " + big + "*x^3 + " + s + "*x + 1"), v(big + "*x^3 + " + s + "*x^2 + 3");
    const std::int32_t limit = nv < 10 ? 120000 : 40000;
    EXPECT_EQ(algorithm_c_cost(u, v), limit + 1);
    // Without overflow: (18 + 3) / 10 = 2, 6 * 2^28 stays positive; fewer
    // than 10 terms give 0.
    Poly w(big + "*x^3 + x^2 + 3");
    EXPECT_EQ(algorithm_c_cost(u, w), 6 * 268435456);
    Poly a("x^2 + 1"), b("x^2 + x + 1");
    EXPECT_EQ(algorithm_c_cost(a, b), 0);
  }
}

}  // namespace
}  // namespace tavrin::test
