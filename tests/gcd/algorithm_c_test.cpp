// The GCD driver down to the subresultant remainder sequence: random pairs
// with a planted common factor over the integers and modulo primes, checked
// by independent facts (exact division both ways, coprime cofactors on
// images, the normal form), the change of main variable on a temporary
// level (restored also when an interrupt abandons the sequence), and the
// abandonment of an expensive sequence with its messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/primes.h"  // seed_random
#include "poly/poly_exact_divide.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "gcd/polygcd_impl.h"
#include "support/data_tables.h"
#include "support/gcd_counters.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

class AlgorithmC : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    reset_gcd_counters();
    modular_methods_enabled = false;  // the sequence itself is under test
  }
  void TearDown() override { modular_methods_enabled = true; }
};

std::int64_t residue(const BigRef& c, std::int64_t p) {
  return ((c % BigRef(p)).to_int64() + p) % p;
}

// Evaluation points: GF(p), or for p = 7 GF(7^3) = F_7[t]/(t^3 + t + 1) (no
// root mod 7), since over F_7 coprime pairs can share a root at every point
// (x^3 = +-1 for every x != 0). Elements are coded c0 + 7 c1 + 49 c2.
struct PointField {
  std::int64_t p;
  bool cubic() const { return p == 7; }
  std::int64_t size() const { return cubic() ? 343 : p; }
  std::int64_t add(std::int64_t a, std::int64_t b) const {
    if (!cubic()) return (a + b) % p;
    return (a % 7 + b % 7) % 7 + (a / 7 % 7 + b / 7 % 7) % 7 * 7 + (a / 49 + b / 49) % 7 * 49;
  }
  std::int64_t mul(std::int64_t a, std::int64_t b) const {
    if (!cubic()) return a * b % p;
    std::int64_t z[5] = {};
    for (std::int64_t i = 0, x = a; i < 3; ++i, x /= 7)
      for (std::int64_t j = 0, y = b; j < 3; ++j, y /= 7) z[i + j] += x % 7 * (y % 7);
    for (int d = 4; d >= 3; --d) z[d - 2] += 6 * z[d], z[d - 3] += 6 * z[d];  // t^3 = -t - 1
    return z[0] % 7 + z[1] % 7 * 7 + z[2] % 7 * 49;
  }
  std::int64_t inv(std::int64_t a) const {
    std::int64_t r = 1;
    for (std::int64_t e = size() - 2; e > 0; e >>= 1, a = mul(a, a))
      if (e & 1) r = mul(r, a);
    return r;
  }
};

using Elems = std::vector<std::int64_t>;

Elems trimmed(Elems a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
  return a;
}

// The degree of gcd(a, b) by Euclid (-1 for two zeros).
std::int64_t gcd_degree(const PointField& f, Elems a, Elems b) {
  a = trimmed(a), b = trimmed(b);
  while (!b.empty()) {
    const std::int64_t lead = f.inv(b.back());
    while (a.size() >= b.size()) {
      const std::int64_t c = f.mul(f.mul(a.back(), lead), f.size() == 343 ? 6 : f.p - 1);
      const std::size_t shift = a.size() - b.size();
      for (std::size_t j = 0; j < b.size(); ++j) a[shift + j] = f.add(a[shift + j], f.mul(c, b[j]));
      a = trimmed(a);
    }
    std::swap(a, b);
  }
  return static_cast<std::int64_t>(a.size()) - 1;
}

// a with the values for every variable but var: its coefficients in var.
Elems image(const PointField& f, const RefPoly& a, int var, const Elems& values) {
  Elems r;
  for (const auto& [e, c] : a.terms()) {
    std::int64_t t = residue(c, f.p);
    for (int i = 0; i < a.nvars(); ++i)
      for (std::int32_t k = 0; i != var && k < e[static_cast<std::size_t>(i)]; ++k)
        t = f.mul(t, values[static_cast<std::size_t>(i)]);
    const auto d = static_cast<std::size_t>(e[static_cast<std::size_t>(var)]);
    if (r.size() <= d) r.resize(d + 1, 0);
    r[d] = f.add(r[d], t);
  }
  return trimmed(r);
}

std::int64_t degree_in(const RefPoly& a, int var) {
  std::int64_t d = -1;
  for (const auto& [e, c] : a.terms())
    d = std::max<std::int64_t>(d, e[static_cast<std::size_t>(var)]);
  return d;
}

// No common factor: for each variable both involve, one of two images at
// random points (modulo p; modulo a random prime near 10^6 for p = 0) that
// keep both degrees has Euclid GCD 1; a common factor would keep its degree
// there too.
bool coprime(const RefPoly& a, const RefPoly& b, std::int64_t p, std::mt19937_64& rng) {
  auto is_prime = [](std::int64_t q) {
    for (std::int64_t d = 3; d * d <= q; d += 2)
      if (q % d == 0) return false;
    return q % 2 != 0;
  };
  for (int var = 0; var < a.nvars(); ++var) {
    if (degree_in(a, var) < 1 || degree_in(b, var) < 1) continue;
    bool one = false;
    for (int attempt = 0, lucky = 0; attempt < 40 && lucky < 2 && !one; ++attempt) {
      PointField f{p};
      while (f.p == 0) {
        const std::int64_t c = 1000003 + 2 * static_cast<std::int64_t>(rng() % 400000);
        if (is_prime(c)) f.p = c;
      }
      Elems values(static_cast<std::size_t>(a.nvars()));
      for (auto& v : values)
        v = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(f.size()));
      const Elems ia = image(f, a, var, values), ib = image(f, b, var, values);
      if (static_cast<std::int64_t>(ia.size()) != degree_in(a, var) + 1 ||
          static_cast<std::int64_t>(ib.size()) != degree_in(b, var) + 1)
        continue;
      ++lucky;
      one = gcd_degree(f, ia, ib) == 0;
    }
    if (!one) return false;
  }
  return true;
}

RefPoly ring_of(std::int64_t p, const RefPoly& a) { return p == 0 ? a : a.reduced_mod(BigRef(p)); }

// *q := n / m: the landed exact division for a polynomial m, which must
// succeed; coefficientwise for a number (exactly over the integers).
::testing::AssertionResult divides(poly m, poly n, polypt pt, std::int64_t p, RefPoly* q) {
  if (m->numb && m->next == nullptr) {
    const BigRef c =
        read_poly(m).coefficient(RefPoly::Exps(static_cast<std::size_t>(number_polys), 0));
    *q = RefPoly(number_polys);
    const RefPoly nr = read_poly(n);
    const PointField f{p == 0 ? 2 : p};
    const std::int64_t inv = p == 0 ? 1 : f.inv(residue(c, p));
    for (const auto& [e, x] : nr.terms()) {
      if (p == 0 && !(x % c).is_zero())
        return ::testing::AssertionFailure() << c << " does not divide";
      q->add_term(e, p == 0 ? x / c : BigRef(f.mul(residue(x, p), inv)));
    }
    return ::testing::AssertionSuccess();
  }
  Poly quotient;
  bool failed = true;
  gen_poly_divide(n, m, quotient.cell(), pt, &failed);
  if (failed)
    return ::testing::AssertionFailure() << show_poly(m) << " does not divide " << show_poly(n);
  *q = quotient.ref();
  return ::testing::AssertionSuccess();
}

BigRef int_content(const RefPoly& a) {
  BigRef g = 0;
  for (const auto& [e, c] : a.terms()) g = BigRef::gcd(g, c);
  return g;
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
  Poly pl(planted);
  EXPECT_TRUE(divides(pl, g, pt, p, &c));
  EXPECT_TRUE(coprime(a, b, p, rng)) << "cofactors " << a.to_string(current_var_names()) << " and "
                                     << b.to_string(current_var_names());
  const BigRef lc = gr.terms().rbegin()->second;  // the leading term, x first
  if (p == 0) {
    EXPECT_FALSE(lc.negative());
    EXPECT_EQ(BigRef::gcd(int_content(a), int_content(b)), BigRef(1));
  } else {
    EXPECT_EQ(lc, BigRef(1));
  }
}

// A random factor: a non-zero constant, or up to `terms` terms of exponents
// up to max_deg (most of them 0), coefficients in -bound .. bound.
RefPoly random_factor(std::mt19937_64& rng, int nv, int max_deg, int terms, int bound) {
  auto coef = [&] {
    const auto c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(bound));
    return BigRef(rng() % 2 ? c : -c);
  };
  RefPoly r = RefPoly::constant(nv, coef());
  if (rng() % 6 == 0) return r;
  if (rng() % 4 != 0) r = RefPoly(nv);
  for (int k = 1 + static_cast<int>(rng() % static_cast<std::uint64_t>(terms)); k > 0; --k) {
    RefPoly::Exps e(static_cast<std::size_t>(nv), 0);
    for (auto& x : e)
      if (rng() % 2) x = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(max_deg + 1));
    r.add_term(e, coef());
  }
  return r;
}

// u = f a, v = f b; a third of the time a and b have the same leading
// coefficient in x (free of x), times x^1 .. x^3, over random lower terms.
void random_pair(std::mt19937_64& rng, int nv, std::int64_t p, RefPoly* u, RefPoly* v, RefPoly* f) {
  do {
    *f = ring_of(p, random_factor(rng, nv, 2, 4, 100));
    RefPoly a = random_factor(rng, nv, 3, 5, 100), b = random_factor(rng, nv, 3, 5, 100);
    if (rng() % 3 == 0) {
      RefPoly lc(nv);
      const RefPoly l = random_factor(rng, nv, 2, 2, 20);
      for (const auto& [e, c] : l.terms()) {
        RefPoly::Exps free_of_x = e;
        free_of_x[0] = 0;
        lc.add_term(free_of_x, c);
      }
      for (RefPoly* x : {&a, &b}) {
        const auto k = 1 + static_cast<std::int32_t>(rng() % 3);
        RefPoly r = lc * RefPoly::variable(nv, 0, k);
        for (const auto& [e, c] : x->terms())
          if (e[0] < k) r.add_term(e, c);
        *x = r;
      }
    }
    *u = ring_of(p, *f * a), *v = ring_of(p, *f * b);
  } while (f->is_zero() || u->is_zero() || v->is_zero() ||
           (degree_in(*u, 0) < 1 && degree_in(*v, 0) < 1));
}

// polygcd of fresh copies with kept arguments, which come back node for
// node; the nodes balance. *out: what the call printed.
RefPoly gcd_of(const RefPoly& a, const RefPoly& b, polypt pt, std::string* out = nullptr) {
  NodeBalance balance;
  Poly u(a), v(b), g;
  const std::string su = node_shape(u), sv = node_shape(v);
  const std::string printed = output_of([&] { polygcd(u, v, g.cell(), pt); });
  if (out != nullptr) *out = printed;
  EXPECT_EQ(node_shape(u), su);
  EXPECT_EQ(node_shape(v), sv);
  return g.ref();
}

TEST_F(AlgorithmC, PlantedPairsOverTheIntegersAndModuloPrimes) {
  std::mt19937_64 rng(test_seed() + 1901);
  {
    PolyVars vars{"x", "y"};
    const char* known[][3] = {{"(x + y)*(x^2 + 1)", "(x + y)*(x - 1)", "x + y"},
                              {"4*(x^3 + 2*x*y + y + 1)", "6*(x^2*y + x + 3)", "2"},
                              {"x^4 + x^3*y", "x^5 + x^2*(y + 1)", "x^2"}};
    for (const auto& k : known) {
      reset_gcd_counters();
      EXPECT_EQ(gcd_of(parse_ref(k[0], vars.names()), parse_ref(k[1], vars.names()), vars.level(1)),
                parse_ref(k[2], vars.names()));
    }
  }
  const long before = polygcd_stages.algorithm_c;
  for (std::int64_t p : {0, 7, 101, 65521}) {
    std::optional<ModulusScope> ring;
    if (p != 0) ring.emplace(static_cast<std::int32_t>(p));
    for (int it = 0; it < test_iterations(p == 0 ? 300 : 100); ++it) {
      const int nv = 2 + it % 3;
      const std::vector<std::string> all{"x", "y", "z", "w"};
      PolyVars vars(std::vector<std::string>(all.begin(), all.begin() + nv));
      reset_gcd_counters();
      RefPoly ur, vr, planted;
      random_pair(rng, nv, p, &ur, &vr, &planted);
      SCOPED_TRACE("modulus " + std::to_string(p) + ": " + ur.to_string(vars.names()) + " and " +
                   vr.to_string(vars.names()));
      NodeBalance balance;
      Poly u(ur), v(vr), g;
      std::string out;
      g = Poly(gcd_of(ur, vr, vars.level(1), &out));
      ASSERT_EQ(out, "");
      check_gcd(u, v, g, planted, p, vars.level(1), rng);
      if (it % 10 == 0) {  // the same answer whatever the switches and the random points
        const ScopedValue<bool> other_o(chinhensel, !chinhensel), other_t(rat_yes, !rat_yes);
        seed_random(static_cast<std::uint32_t>(rng()));
        reset_gcd_counters();
        EXPECT_EQ(gcd_of(ur, vr, vars.level(1)), g.ref());
      }
    }
  }
  EXPECT_GT(polygcd_stages.algorithm_c - before, 300);
}

// ---- The change of main variable ----------------------------------------------------------

// The nested level an interrupt opens: inside the temporary level it notes
// the state and abandons the command; elsewhere it lets the work go on.
struct Injected {
  static inline std::int32_t globalpoly_inside = 0, polys_inside = 0;
  static void runner() {
    if (globalpoly == 0) {
      interrupt_requested = 1;
      return;
    }
    globalpoly_inside = globalpoly;
    polys_inside = number_polys;
    throw TopLevelJump{};
  }
};

// v's leading coefficient has several terms in x and one in y (x y^5): y is
// moved to the top, above a top level (whose levels are renumbered) and
// above a level of depth 2. The GCD is right; the levels, number_polys,
// globalpoly and the arguments are as before, also when an interrupt in
// the sequence abandons it.
TEST_F(AlgorithmC, AnotherVariableMovesToTheTopOnATemporaryLevel) {
  for (int top : {1, 2}) {
    PolyVars vars = top == 1 ? PolyVars{"x", "y", "z"} : PolyVars{"t", "x", "y", "z"};
    const auto ref = [&](const char* s) { return parse_ref(s, vars.names()); };
    const RefPoly g = ref("x*y^2 + z*x + y + 1");
    const RefPoly u = g * ref("(z^2 + z + 1)*x^3 + y^4 + x*z + 2"),
                  v = g * ref("(z^2 + 2*z + 3)*x^2 + y^3 + x + z");
    for (bool inject : {false, true}) {
      SCOPED_TRACE("depth " + std::to_string(top) + (inject ? ", interrupted" : ""));
      reset_gcd_counters();
      std::vector<std::int32_t> depths;
      for (polypt r = polynames; r != nullptr; r = r->next) depths.push_back(r->depth);
      const auto state = [&] {
        return std::tuple(number_polys, globalpoly, field_depth, polynames, depths);
      };
      const auto before = state();
      const long levels = polygcd_stages.temporary_levels;
      NodeBalance balance;
      Poly pu(u), pv(v), r;
      const std::string su = node_shape(pu), sv = node_shape(pv);
      std::optional<ScopedValue<command_level_runner>> runner;
      std::optional<ScopedValue<bool>> interrupts, danger;
      if (inject) {
        runner.emplace(run_command_level, &Injected::runner);
        interrupts.emplace(command_int, true);
        danger.emplace(danger_ok, true);
        interrupt_requested = 1;
        Injected::globalpoly_inside = 0;
      }
      bool unwound = false;
      output_of(
          [&] {
            polygcd(top == 1 ? pu.get() : pu->pcoef, top == 1 ? pv.get() : pv->pcoef, r.cell(),
                    vars.level(top));
          },
          &unwound);
      interrupt_requested = 0;
      EXPECT_EQ(unwound, inject);
      if (inject) {
        EXPECT_EQ(Injected::globalpoly_inside, 1);
        EXPECT_EQ(Injected::polys_inside, number_polys + (top == 1 ? 1 : 0));
      } else {
        if (top == 2) add_pad(r.cell(), 1);
        EXPECT_EQ(r.ref(), g);
      }
      EXPECT_GE(polygcd_stages.temporary_levels, levels + 1);
      depths.clear();
      for (polypt l = polynames; l != nullptr; l = l->next) depths.push_back(l->depth);
      EXPECT_TRUE(state() == before);
      EXPECT_EQ(levelcount, 1);
      EXPECT_EQ(node_shape(pu), su);
      EXPECT_EQ(node_shape(pv), sv);
    }
  }
  PolyVars vars{"x", "y", "z"};  // the renumbering itself, field_depth with it
  const ScopedValue<std::int16_t> fd(field_depth, 3);
  change_polydata_1(-1, vars.level(1));
  EXPECT_EQ(
      std::tuple(vars.level(1)->depth, vars.level(2)->depth, vars.level(3)->depth, field_depth),
      std::tuple(1, 3, 4, 4));
  change_polydata_1(1, vars.level(1));
  EXPECT_EQ(std::tuple(vars.level(3)->depth, field_depth), std::tuple(3, 3));
}

// ---- Abandonment ------------------------------------------------------------------------------

// Cofactors of x + y + 1 carrying y^60000: the first step's estimate is far
// above 200000 and v's leading coefficient has 3 terms, so the pair goes
// back to polygcd four times in a command and the fifth sequence runs to
// its end, with the lines verbose and the &O switch ask for.
TEST_F(AlgorithmC, AnExpensiveSequenceIsAbandonedFourTimesAndThenRuns) {
  PolyVars vars{"x", "y"};
  const RefPoly g = parse_ref("x + y + 1", vars.names());
  const RefPoly u = g * parse_ref("x^2 + y^60000*x + 1", vars.names());
  const RefPoly v = g * parse_ref("(y^60000 + y + 1)*x + 2", vars.names());
  std::int32_t cost = 0;
  {
    Poly pu(u), pv(v);
    cost = algorithm_c_cost(pu, pv);
  }
  ASSERT_GT(cost, 200000);
  const std::string n = std::to_string(cost);
  auto abandon = [&](int k) {
    return "Warning. Abandon Algorithm C. " + std::to_string(k) + ", 3, 2, " + n + ", 3\n";
  };
  const std::string cannot = "Warning. Can't abandon Algorithm C. 3, 2, " + n + "\n";
  const std::string forced =
      "\n!! ** Warning. You set &O to force Algorithm C!\n\n*** Tavrin error. &O conflict with "
      "large GCD problem.\n";
  const struct {
    bool verbose, chinhensel;
    std::int32_t count;
    std::string printed;
  } cases[] = {
      {true, true, 0, abandon(1) + abandon(2) + abandon(3) + abandon(4) + cannot},
      {true, true, 4, cannot},
      {false, true, 0, ""},
      {false, false, 0,
       abandon(1) + forced + abandon(2) + forced + abandon(3) + forced + abandon(4)},
  };
  for (const auto& c : cases) {
    reset_gcd_counters();
    alg_c_count = c.count;
    const ScopedValue<bool> loud(verbose, c.verbose), o(chinhensel, c.chinhensel);
    const long abandoned = polygcd_stages.abandoned;
    std::string out;
    EXPECT_EQ(gcd_of(u, v, vars.level(1), &out), g);
    EXPECT_EQ(out, c.printed);
    EXPECT_EQ(polygcd_stages.abandoned - abandoned, 4 - c.count);
  }
  // The estimate wraps in 32 bits: (18 + 17) / 10 terms times masses
  // saturated at 2^28 times degree 3 is negative and counts as L + 1.
  for (int nv : {2, 10}) {
    std::vector<std::string> names{"x", "y"};
    for (int k = 2; k < nv; ++k) names.push_back("v" + std::to_string(k));
    PolyVars many(names);
    const std::string big = "y^536870000", s = "(1 + y + y^2 + y^3 + y^4 + y^5 + y^6 + y^7 + y^8 + "
                                               "y^9 + y^10 + y^11 + y^12 + y^13 + y^14)";
    Poly a("x^4 + " + big + "*x^3 + " + s + "*x + 1"), b(big + "*x^3 + " + s + "*x^2 + 3"),
        w(big + "*x^3 + x^2 + 3");
    EXPECT_EQ(algorithm_c_cost(a, b), nv < 10 ? 120001 : 40001);
    EXPECT_EQ(algorithm_c_cost(a, w), 6 * 268435456);  // (18 + 3) / 10 = 2: no wrap
  }
}

}  // namespace
}  // namespace tavrin::test
