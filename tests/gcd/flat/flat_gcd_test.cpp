// The flat GCD engines: through the driver, on planted GCDs in every ring
// they serve, each answer must be exactly the one of the driver's own
// stages (the engines kept out); a table of GCDs known by hand; the fields
// of logarithm tables against plain modular and characteristic-2
// arithmetic; the exact division (both ways) against products.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <map>
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
#include "numbers/char2_field.h"
#include "numbers/freelists.h"
#include "numbers/zint.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat_gcd.h"
#include "gcd/gcd.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

void new_command() {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
  c_cntcount = a_cntcount = d_cntcount = g_cntcount = 0;
  c_cntdepth = a_cntdepth = d_cntdepth = 0;
}

class FlatGcd : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    new_command();
  }
  void TearDown() override { flat_gcd_choice = flat_gcd_method::automatic; }
};

int multiplier() {
  const char* m = std::getenv("TAVRIN_TEST_MULTIPLIER");
  return m != nullptr ? std::max(1, std::atoi(m)) : 1;
}

std::uint64_t seed() {
  const char* s = std::getenv("TAVRIN_TEST_SEED");
  return s != nullptr ? std::strtoull(s, nullptr, 10) : 61;
}

// A random polynomial of `terms` terms (fewer when they collide) in the
// variables first .. nvars - 1, exponents 0 .. max_exp; coefficients
// non-zero residues modulo m, or in [-99, 99] when m is 0.
RefPoly random_poly(std::mt19937_64& rng, int nvars, int first, int terms, int max_exp,
                    std::int64_t m) {
  RefPoly p(nvars);
  for (int t = 0; t < terms; ++t) {
    RefPoly::Exps e(static_cast<std::size_t>(nvars), 0);
    for (int k = first; k < nvars; ++k)
      if (rng() % 3 != 0)
        e[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(rng() % (max_exp + 1));
    std::int64_t c = 0;
    while (c == 0)
      c = m > 0 ? static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(m))
                : static_cast<std::int64_t>(rng() % 199) - 99;
    p.add_term(e, BigRef(c));
  }
  return p;
}

poly times(poly a, poly b) {
  poly r = nullptr;
  poly_mult(a, b, &r, polynames);
  return r;
}

// The GCD by the driver with the flat engines (method `how`) or without.
Poly gcd_by(poly u, poly v, bool flat, flat_gcd_method how) {
  new_command();
  const ScopedValue<std::int32_t> terms(flat_gcd_terms, flat ? 0 : INT32_MAX);
  const ScopedValue<flat_gcd_method> method(flat_gcd_choice, how);
  Poly r;
  polygcd(u, v, r.cell(), polynames);
  return r;
}

// The product of the polynomials.
Poly product(std::initializer_list<const RefPoly*> fs) {
  Poly r = Poly::adopt(make_leaf(BigRef(1)));
  for (const RefPoly* f : fs) {
    const Poly p(*f);
    r = Poly::adopt(times(r, p));
  }
  return r;
}

// ---- Planted GCDs against the driver's own stages -----------------------------------------------

TEST_F(FlatGcd, PlantedGcdsAgreeWithTheDriversOwnStages) {
  const std::vector<std::int64_t> moduli{0, 2, 3, 7, 101, 65521, 2147483629, 256, 65536};
  const std::vector<std::string> names{"x", "y", "z", "w", "v", "u", "t", "s"};
  std::mt19937_64 rng(seed());
  const long calls = flat_gcd_stats.calls, declined = flat_gcd_stats.declined;
  for (int round = 0; round < multiplier(); ++round)
    for (const std::int64_t m : moduli)
      for (int nvars = 1; nvars <= 8; ++nvars)
        for (int kind = 0; kind < 4; ++kind) {  // planted, coprime, contents, dense
          const PolyVars vars(std::vector<std::string>(names.begin(), names.begin() + nvars));
          std::optional<ModulusScope> ring;
          if (m > 0) ring.emplace(static_cast<std::int32_t>(m));
          const bool dense = kind == 3;
          if (dense && nvars > 4) continue;  // the driver's own stages would take long
          const int terms = dense ? 8 : 3, max_exp = dense ? 2 : 3;
          const RefPoly one = RefPoly::constant(nvars, BigRef(1));
          const RefPoly g = kind == 1 ? one : random_poly(rng, nvars, 0, terms, max_exp, m);
          const RefPoly a = random_poly(rng, nvars, 0, terms, max_exp, m);
          const RefPoly b = random_poly(rng, nvars, 0, terms, max_exp, m);
          // contents: a factor free of the top variable, and over Z integers
          const RefPoly c = kind == 2 ? random_poly(rng, nvars, 1, 2, 2, m) : one;
          const RefPoly ku = RefPoly::constant(nvars, BigRef(kind == 2 && m == 0 ? 6 : 1));
          const RefPoly kv = RefPoly::constant(nvars, BigRef(kind == 2 && m == 0 ? -4 : 1));
          const Poly u = product({&g, &a, &c, &ku}), v = product({&g, &b, &c, &kv});
          if ((u->numb && poly_iszero(u)) || (v->numb && poly_iszero(v))) continue;
          SCOPED_TRACE("modulus " + std::to_string(m) + ", " + std::to_string(nvars) +
                       " variables, kind " + std::to_string(kind) + ": u = " + u.str() +
                       ", v = " + v.str());
          const Poly expected = gcd_by(u, v, false, flat_gcd_method::automatic);
          const std::string su = node_shape(u), sv = node_shape(v);
          // the last pass: Zippel's method with images in two variables
          for (int pass = 0; pass < 4; ++pass) {
            const flat_gcd_method how =
                std::array{flat_gcd_method::automatic, flat_gcd_method::dense,
                           flat_gcd_method::sparse, flat_gcd_method::sparse}[pass];
            const ScopedValue<std::int32_t> plane(zippel_plane_terms,
                                                  pass == 3 ? 0 : zippel_plane_terms);
            NodeBalance balance;
            {
              const Poly r = gcd_by(u, v, true, how);
              EXPECT_TRUE(valid_poly(r));
              EXPECT_TRUE(poly_equal(r, expected))
                  << "flat " << r.str() << ", driver " << expected.str();
            }
            balance.expect_balanced();
            EXPECT_EQ(node_shape(u), su);
            EXPECT_EQ(node_shape(v), sv);
          }
        }
  EXPECT_GT(flat_gcd_stats.calls, calls + 500);  // the engines did take the problems
  EXPECT_EQ(flat_gcd_stats.declined, declined);
}

TEST_F(FlatGcd, LargePlantedGcdsInEightVariables) {
  // Factors of 40 terms: long runs through Zippel's geometric sweep over the
  // integers and modulo a word prime, with images in two variables and in
  // one; the GCD is the planted factor times a constant (a and b are
  // coprime but for a chance of about 1 in p).
  const std::vector<std::string> names{"x", "y", "z", "w", "v", "u", "t", "s"};
  const PolyVars vars(names);
  std::mt19937_64 rng(seed());
  const long calls = flat_gcd_stats.calls, declined = flat_gcd_stats.declined;
  for (const std::int64_t m : {std::int64_t{0}, std::int64_t{2147483629}})
    for (int round = 0; round < multiplier(); ++round) {
      std::optional<ModulusScope> ring;
      if (m > 0) ring.emplace(static_cast<std::int32_t>(m));
      const RefPoly g = random_poly(rng, 8, 0, 40, 4, m), a = random_poly(rng, 8, 0, 40, 4, m),
                    b = random_poly(rng, 8, 0, 40, 4, m);
      const Poly u = product({&g, &a}), v = product({&g, &b}), planted(g);
      for (flat_gcd_method how : {flat_gcd_method::automatic, flat_gcd_method::sparse}) {
        const long plane = flat_gcd_stats.plane;
        const Poly r = [&] {
          const ScopedValue<std::int32_t> two(zippel_plane_terms, 0);
          return gcd_by(u, v, true, how);
        }();
        Poly q;
        ASSERT_TRUE(trial_poly_divide(r, planted, q.cell(), polynames, false, false, false))
            << m << " " << r.str();
        EXPECT_TRUE(q->numb && q->next == nullptr) << m << " quotient " << q.str();
        // the images were in two variables; in one, the same GCD
        EXPECT_GT(flat_gcd_stats.plane, plane);
        const ScopedValue<std::int32_t> one(zippel_plane_terms, INT32_MAX);
        EXPECT_TRUE(poly_equal(gcd_by(u, v, true, how), r)) << m;
      }
    }
  EXPECT_EQ(flat_gcd_stats.calls, calls + 8 * multiplier());  // the engines answered every one
  EXPECT_EQ(flat_gcd_stats.declined, declined);
}

// ---- The choice between Brown's and Zippel's images ---------------------------------------------

// The shapes of measured GCDs (terms of g a and g b, their degrees, and
// Brown's univariate problems on the lattice of the proof by cofactors, or
// -1 for the box) and which method was the faster there, both timed.
TEST_F(FlatGcd, TheChoiceFollowsTheMethodMeasuredFaster) {
  struct Shape {
    const char* what;
    int nvars;
    std::size_t ta, tb;
    std::int32_t degree;  // in every variable, both operands
    double points;
    bool brown;
  };
  const std::vector<Shape> shapes{
      {"dense, 4 variables, total degree 32: Brown 1.5x faster", 4, 58905, 58904, 32, 13532, true},
      {"the same, Brown's box: still Brown", 4, 58905, 58904, 32, -1, true},
      {"dense, 5 variables, total degree 24: Brown 1.1x faster", 5, 118754, 118754, 24, 86541,
       true},
      {"sparse, 8 variables, 128 terms each: Zippel 300x faster", 8, 16366, 16363, 8, 4663353,
       false},
      {"sparse, 8 variables, 512 terms each: Zippel 16x faster", 8, 256979, 256945, 8, 4663353,
       false},
      {"sparse, 8 variables, 768 terms each: Zippel 8x faster", 8, 564396, 564919, 8, 4663353,
       false},
  };
  for (const Shape& s : shapes) {
    const flat::Layout lay(s.nvars, 7);
    const std::vector<std::int32_t> d(static_cast<std::size_t>(s.nvars), s.degree);
    EXPECT_EQ(flat::dense_preferred(lay, s.ta, s.tb, d, d, s.points), s.brown) << s.what;
  }
  // the lattice counts: Brown's box in 5 variables costs more than Zippel's images
  const std::vector<std::int32_t> d5(5, 24);
  EXPECT_FALSE(flat::dense_preferred(flat::Layout(5, 7), 118754, 118754, d5, d5));
}

// The eight-variable GCD of g a and g b with few terms: automatic takes
// Zippel's images, the ratio moved across the estimates' quotient takes
// Brown's; every route gives the driver's own answer.
TEST_F(FlatGcd, BothSidesOfTheChoiceGiveTheSameGcd) {
  const std::vector<std::string> names{"x", "y", "z", "w", "v", "u", "t", "s"};
  const PolyVars vars(names);
  auto factor = [](int k0, int n) {  // the benchmark's terms, exponents below 2
    const int c[8] = {7, 11, 13, 17, 19, 23, 29, 37},
              q[8] = {101, 103, 107, 109, 113, 127, 131, 137};
    RefPoly p(8);
    for (std::int64_t k = k0 + 1; k <= k0 + n; ++k) {
      RefPoly::Exps e(8);
      for (std::size_t v = 0; v < 8; ++v)
        e[v] = static_cast<std::int32_t>(((31 * k * k + c[v] * k + 3) % q[v]) % 2);
      p.add_term(e, BigRef((k * k + k) % 19 + 1));
    }
    return p;
  };
  const RefPoly g = factor(0, 24), a = factor(1000, 24), b = factor(2000, 24);
  const Poly u = product({&g, &a}), v = product({&g, &b});
  const Poly expected = gcd_by(u, v, false, flat_gcd_method::automatic);
  const long sparse = flat_gcd_stats.sparse, dense = flat_gcd_stats.dense;
  EXPECT_TRUE(poly_equal(gcd_by(u, v, true, flat_gcd_method::automatic), expected));
  EXPECT_GT(flat_gcd_stats.sparse, sparse);
  EXPECT_EQ(flat_gcd_stats.dense, dense);
  {
    const ScopedValue<std::int32_t> ratio(flat_dense_ratio, INT32_MAX);
    EXPECT_TRUE(poly_equal(gcd_by(u, v, true, flat_gcd_method::automatic), expected));
    EXPECT_GT(flat_gcd_stats.dense, dense);
  }
  EXPECT_TRUE(poly_equal(gcd_by(u, v, true, flat_gcd_method::dense), expected));
  // a dense GCD in 3 variables: Brown's images, and Zippel's the same
  const PolyVars three{"x", "y", "z"};
  const Poly d1("(1 + x + 2*y + 3*z)^4*(x - y + 5*z + 2)^3"),
      d2("(1 + x + 2*y + 3*z)^4*(x + y*z + 7)^2");
  const Poly e3 = gcd_by(d1, d2, false, flat_gcd_method::automatic);
  const long dense3 = flat_gcd_stats.dense;
  EXPECT_TRUE(poly_equal(gcd_by(d1, d2, true, flat_gcd_method::automatic), e3));
  EXPECT_GT(flat_gcd_stats.dense, dense3);
  EXPECT_TRUE(poly_equal(gcd_by(d1, d2, true, flat_gcd_method::sparse), e3));
}

// ---- GCDs known by hand -------------------------------------------------------------------------

struct Known {
  std::int32_t modulus;  // 0: the integers
  std::vector<std::string> vars;
  std::vector<std::string> u, v;  // factors, multiplied in the ring
  std::string gcd;
};

TEST_F(FlatGcd, KnownGcdsInEveryRing) {
  const std::vector<std::string> eight{"a", "b", "c", "d", "e", "f", "g", "h"};
  const std::vector<Known> table{
      {0, {"x", "y"}, {"6", "x + y", "x - y"}, {"4", "(x + y)^2"}, "2*x + 2*y"},
      {0, {"x", "y"}, {"-1", "x*y + 1", "x + 2"}, {"x*y + 1", "y + 3"}, "x*y + 1"},
      {0, {"x", "y", "z"}, {"x^2 + y^2 + z"}, {"x*y + z + 1"}, "1"},
      {0, {"x", "y", "z"}, {"3*y", "x + z"}, {"6*y^2", "x - z"}, "3*y"},
      {0,
       eight,
       {"a + b + c + d + e + f + g + h", "a - h"},
       {"a + b + c + d + e + f + g + h", "b + 3"},
       "a + b + c + d + e + f + g + h"},
      {7, {"x", "y"}, {"x^7 + 6*y^7"}, {"x^2 + 6*y^2"}, "x + 6*y"},
      {2,
       {"x", "y", "z"},
       {"(x + y + 1)^3", "x*y + 1"},
       {"(x + y + 1)^2", "x + z"},
       "x^2 + y^2 + 1"},
      {3, {"x", "y"}, {"(x^3 + 2*y)^2", "x + 1"}, {"x^3 + 2*y", "x + 2", "y"}, "x^3 + 2*y"},
      {256, {"x", "y"}, {"x + 2*y", "x + y + 1"}, {"x + 2*y", "x + 3"}, "x + 2*y"},
      {65536, {"x", "y"}, {"x*y + 5", "(x + y)^2"}, {"x*y + 5", "x + 7*y"}, "x*y + 5"},
      {2147483629,
       {"x", "y", "z", "w"},
       {"(x + y + z + w)^2", "x + 2147483628*w"},
       {"x + y + z + w", "x + 2*w"},
       "x + y + z + w"},
  };
  for (const Known& k : table) {
    const PolyVars vars(k.vars);
    std::optional<ModulusScope> ring;
    if (k.modulus > 0) ring.emplace(k.modulus);
    auto build = [&](const std::vector<std::string>& fs) {
      Poly r = Poly::adopt(make_leaf(BigRef(1)));
      for (const std::string& t : fs) r = Poly::adopt(times(r, Poly(t)));
      return r;
    };
    const Poly u = build(k.u), v = build(k.v), expected(k.gcd);
    for (flat_gcd_method how : {flat_gcd_method::dense, flat_gcd_method::sparse}) {
      SCOPED_TRACE(std::to_string(k.modulus) + ": gcd(" + u.str() + ", " + v.str() + ")");
      const long calls = flat_gcd_stats.calls;
      const Poly r = gcd_by(u, v, true, how);
      EXPECT_GT(flat_gcd_stats.calls, calls);
      EXPECT_TRUE(poly_equal(r, expected)) << r.str();
    }
  }
}

// ---- The cofactors that come with a GCD ---------------------------------------------------------

TEST_F(FlatGcd, CofactorsComeWithTheLastGcdOnly) {
  const ScopedValue<std::int32_t> terms(flat_gcd_terms, 0);
  for (const std::int32_t m : {0, 7, 65521, 256}) {
    // x is absent from both, so the driver descends one pad level first
    const PolyVars vars{"x", "y", "z", "w"};
    std::optional<ModulusScope> ring;
    if (m > 0) ring.emplace(m);
    SCOPED_TRACE("modulus " + std::to_string(m));
    const Poly g("y^2*z + 3*w + 1"), a("2*y*w + z^2 + 5"), b("y^3 + 4*z*w");
    const Poly k(m == 0 ? "6" : "1"), l(m == 0 ? "-4" : "1");
    const Poly u = Poly::adopt(times(Poly::adopt(times(g, a)), k)),
               v = Poly::adopt(times(Poly::adopt(times(g, b)), l));
    new_command();
    Poly r;
    polygcd(u, v, r.cell(), polynames);
    Poly qu, qv;
    // another argument: refused, and the record is spent
    EXPECT_FALSE(flat_gcd_cofactors(v, u, r, qu.cell(), qv.cell()));
    EXPECT_FALSE(flat_gcd_cofactors(u, v, r, qu.cell(), qv.cell()));
    polygcd(u, v, r.cell(), polynames);
    ASSERT_TRUE(flat_gcd_cofactors(u, v, r, qu.cell(), qv.cell()));
    EXPECT_TRUE(valid_poly(qu));
    EXPECT_TRUE(valid_poly(qv));
    EXPECT_TRUE(poly_equal(Poly::adopt(times(qu, r)), u));
    EXPECT_TRUE(poly_equal(Poly::adopt(times(qv, r)), v));
    EXPECT_FALSE(flat_gcd_cofactors(u, v, r, qu.cell(), qv.cell()));  // used once
  }
}

// ---- Over the integers, the proof by cofactors against the proof by division --------------------

TEST_F(FlatGcd, CofactorProofAgreesWithDivisionAndNeedsItsBound) {
  const PolyVars vars{"x", "y", "z"};
  const std::string p0 = std::to_string(flat::image_prime(0)),
                    big = "((1 + x + 2*y + 3*z)^9 + 2^40*x)";
  std::vector<std::array<std::string, 2>> rows{
      {big + "*(x*y - 3)", big + "*(y^2 + x + z)"},                       // a GCD past one prime
      {"-6*(x^2 + y*z)*(z - x)", "4*(x^2 + y*z)*(x + y + z)"},            // contents and signs
      {"(x + y + 1)^3 - 7*z", "(x - y)^4 + z^2"},                         // GCD 1
      {"(3*x*y + 2^40)*(x + y + " + p0 + ")", "(3*x*y + 2^40)*(x + y)"},  // the first prime unlucky
      {"(" + p0 + "*x^2*y + z)*(x*y + 2)^5",
       "(x*y + 2)^6*(y - z)"}};  // it divides a leading coefficient
  std::mt19937_64 rng(seed());
  for (int k = 0; k < 4 * multiplier(); ++k) {  // random planted GCDs g^4, past one prime
    const Poly g(random_poly(rng, 3, 0, 5, 3, 0)), g2 = Poly::adopt(times(g, g)),
                                                   g4 = Poly::adopt(times(g2, g2));
    rows.push_back({Poly::adopt(times(g4, Poly(random_poly(rng, 3, 0, 5, 3, 0)))).str(),
                    Poly::adopt(times(g4, Poly(random_poly(rng, 3, 0, 5, 3, 0)))).str()});
  }
  for (const auto& [su, sv] : rows) {
    const Poly u(su), v(sv), old = [&] {
      const ScopedValue<bool> division(flat_cofactor_proof, false);
      return gcd_by(u, v, true, flat_gcd_method::dense);
    }();
    const long proofs = flat_gcd_stats.cofactor_proofs;
    EXPECT_TRUE(
        poly_equal(gcd_by(u, v, true, flat_gcd_method::dense), old));  // the divisions cost less
    const ScopedValue<std::int32_t> always(flat_cofactor_ratio, 0);
    const Poly r = gcd_by(u, v, true, flat_gcd_method::dense);
    EXPECT_TRUE(poly_equal(r, old))
        << su << ", " << sv << ": " << r.str() << " against " << old.str();
    Poly qu, qv;  // the combined cofactors, as the driver's reduction takes them
    ASSERT_EQ(flat_gcd_cofactors(u, v, r, qu.cell(), qv.cell()), !r->numb);
    EXPECT_TRUE(r->numb || (poly_equal(Poly::adopt(times(qu, r)), u) &&
                            poly_equal(Poly::adopt(times(qv, r)), v)));
    EXPECT_TRUE(
        poly_equal(gcd_by(u, v, true, flat_gcd_method::sparse), old));  // no cofactors there
    EXPECT_EQ(flat_gcd_stats.cofactor_proofs - proofs, r->numb ? 0 : 1);
  }
}

// Total degree dense GCDs with long coefficients: the proof by division
// (several primes a pass), by cofactors on the total degree lattice and by
// cofactors on the box of degrees must all give the driver's own answer.
TEST_F(FlatGcd, LatticeCofactorsAndDivisionsInLanesAgreeWithTheDriver) {
  const PolyVars vars{"x", "y", "z", "w"};
  const std::vector<std::array<std::string, 3>> rows{
      {"(1 + x + 2*y + 3*z)^6 + 2^90*x^6", "(2 + 3*x + y + z)^6 + y^6",
       "(3 + x + 5*y + 2*z)^6 + z^6"},
      {"(1 + x + 2*y + 3*z + w)^4 + 2^70*x^4", "(2 + 3*x + y + z + 2*w)^4 + w^4",
       "(3 + x + 5*y + 2*z + w)^4 + z^4"},
      {"(x*y + 5*z^2 - 2^64)^3", "(x + y + z)^5*(x + w + 7)", "(x - y + 2*z)^4*(x + w + 7)^2"},
  };
  for (const auto& [g, a, b] : rows) {
    SCOPED_TRACE(g);
    const Poly u("(" + g + ")*(" + a + ")"), v("(" + g + ")*(" + b + ")");
    const Poly old = gcd_by(u, v, false, flat_gcd_method::automatic);
    const long lanes = flat::flat_divisions.lanes;
    {
      const ScopedValue<bool> division(flat_cofactor_proof, false);
      EXPECT_TRUE(poly_equal(gcd_by(u, v, true, flat_gcd_method::dense), old));
    }
    EXPECT_GT(flat::flat_divisions.lanes, lanes);
    const ScopedValue<std::int32_t> always(flat_cofactor_ratio, 0);
    for (const bool lattice : {true, false}) {
      const ScopedValue<bool> proof(flat_lattice_proof, lattice);
      const long proofs = flat_gcd_stats.cofactor_proofs;
      const Poly r = gcd_by(u, v, true, flat_gcd_method::dense);
      EXPECT_TRUE(poly_equal(r, old)) << lattice << ": " << r.str() << " against " << old.str();
      EXPECT_EQ(flat_gcd_stats.cofactor_proofs, proofs + 1);
    }
  }
}

// The proof by cofactors with its last bits from products checked modulo
// transform primes, against the same proof by further images; rows whose
// degrees do not fit one transform take the images.
TEST_F(FlatGcd, ProductChecksAgreeWithFurtherImages) {
  const PolyVars vars{"x", "y", "z"};
  const std::string f3 = "((1 + x + 2*y + 3*z)^8 + 2^60*x^8)",
                    f2 = "((1 + x + 2*y)^20 + 2^60*x^20)";
  std::vector<std::array<std::string, 3>> rows{
      {f3 + "*((2 + 3*x + y + z)^8 + y^8)", f3 + "*((3 + x + 5*y + 2*z)^8 + z^8)", "checked"},
      {f2 + "*((2 + 3*x + y)^20 + y^20)", f2 + "*((3 + x + 5*y)^20 - 7*x*y^19)", "checked"},
      {"-6*" + f3 + "*(x*y - 2^50)", "4*" + f3 + "*(y^2 - 3^40*x + z)",
       "checked"}};  // contents and signs
  std::mt19937_64 rng(seed());
  for (int k = 0; k < 3 * multiplier(); ++k) {  // random planted GCDs g^4 with long coefficients
    const Poly g(random_poly(rng, 3, 0, 6, 3, 0)), g2 = Poly::adopt(times(g, g)),
                                                   g4 = Poly::adopt(times(g2, g2));
    const Poly c("2^70*x*y - 3^45"), g4c = Poly::adopt(times(g4, c));
    rows.push_back({Poly::adopt(times(g4c, Poly(random_poly(rng, 3, 0, 6, 3, 0)))).str(),
                    Poly::adopt(times(g4, Poly(random_poly(rng, 3, 0, 6, 3, 0)))).str(), ""});
  }
  const ScopedValue<std::int32_t> always(flat_cofactor_ratio, 0);
  for (const auto& [su, sv, how] : rows) {
    SCOPED_TRACE(su + ", " + sv);
    const Poly u(su), v(sv), old = [&] {
      const ScopedValue<bool> images(flat_product_check, false);
      return gcd_by(u, v, true, flat_gcd_method::dense);
    }();
    const long checks = flat_gcd_stats.product_primes, proofs = flat_gcd_stats.cofactor_proofs;
    const Poly r = gcd_by(u, v, true, flat_gcd_method::dense);
    EXPECT_TRUE(poly_equal(r, old)) << r.str() << " against " << old.str();
    EXPECT_EQ(flat_gcd_stats.cofactor_proofs - proofs, r->numb ? 0 : 1);
    if (!how.empty()) {
      EXPECT_EQ(flat_gcd_stats.product_primes > checks, how == "checked");
    }
    Poly qu, qv;
    ASSERT_EQ(flat_gcd_cofactors(u, v, r, qu.cell(), qv.cell()), !r->numb);
    EXPECT_TRUE(r->numb || (poly_equal(Poly::adopt(times(qu, r)), u) &&
                            poly_equal(Poly::adopt(times(qv, r)), v)));
  }
}

// ---- An interrupt inside ------------------------------------------------------------------------

// The nested level an interrupt opens: the first time it abandons the
// command; its count tells that the engines polled.
struct Abandon {
  static inline int calls = 0;
  static void runner() {
    ++calls;
    throw TopLevelJump{};
  }
};

TEST_F(FlatGcd, AnInterruptAbandonsTheGcdAndLeavesNothingBehind) {
  const PolyVars vars{"x", "y", "z", "w"};
  std::mt19937_64 rng(seed());
  for (const std::int32_t m : {0, 7}) {
    std::optional<ModulusScope> ring;
    if (m > 0) ring.emplace(m);
    const RefPoly g = random_poly(rng, 4, 0, 12, 4, m), a = random_poly(rng, 4, 0, 12, 4, m),
                  b = random_poly(rng, 4, 0, 12, 4, m);
    const Poly u = product({&g, &a}), v = product({&g, &b});
    const std::string su = node_shape(u), sv = node_shape(v);
    const Poly before = gcd_by(u, v, true, flat_gcd_method::automatic);
    NodeBalance balance;
    {
      const ScopedValue<command_level_runner> runner(run_command_level, &Abandon::runner);
      const ScopedValue<bool> interrupts(command_int, true);
      Abandon::calls = 0;
      interrupt_requested = 1;
      bool unwound = false;
      output_of([&] { gcd_by(u, v, true, flat_gcd_method::automatic); }, &unwound);
      interrupt_requested = 0;
      EXPECT_TRUE(unwound);
      EXPECT_EQ(Abandon::calls, 1);
    }
    balance.expect_balanced();
    EXPECT_EQ(node_shape(u), su);
    EXPECT_EQ(node_shape(v), sv);
    // and the same problem runs to the same end afterwards
    EXPECT_TRUE(poly_equal(gcd_by(u, v, true, flat_gcd_method::automatic), before));
  }
}

// ---- The fields ---------------------------------------------------------------------------------

// The ground field's own sum and product (a prime, or GF(2^8) / GF(2^16)).
std::uint32_t ground_add(std::uint32_t m, std::uint32_t a, std::uint32_t b) {
  return is_char2_field_size(static_cast<std::int32_t>(m)) ? a ^ b : (a + b) % m;
}
std::uint32_t ground_mul(std::uint32_t m, std::uint32_t a, std::uint32_t b) {
  return is_char2_field_size(static_cast<std::int32_t>(m))
             ? static_cast<std::uint32_t>(char2_mult(a, b, static_cast<std::int32_t>(m)))
             : static_cast<std::uint32_t>(std::uint64_t{a} * b % m);
}

TEST(FlatFields, LogTablesExtendTheGroundField) {
  load_data_tables();
  std::mt19937_64 rng(seed());
  for (const std::uint32_t m : {2u, 3u, 7u, 101u, 256u, 65536u}) {
    SCOPED_TRACE("ground field of " + std::to_string(m));
    const auto t = flat::log_tables_for(m, 65536);
    ASSERT_NE(t, nullptr);
    EXPECT_GE(t->q, 65536u);
    const flat::LogField f(t);
    // the ground field inside, its sum and product kept; nothing else maps back
    std::uint32_t outside = 0;
    for (std::uint64_t i = 0; i < f.size(); ++i) {
      std::uint32_t r = 0;
      if (!f.to_ground(f.element(i), &r)) ++outside;
    }
    EXPECT_EQ(outside, t->q - m);
    for (int i = 0; i < 2000 * multiplier(); ++i) {
      const auto r = static_cast<std::uint32_t>(rng() % m),
                 s = static_cast<std::uint32_t>(rng() % m);
      std::uint32_t back = 0;
      ASSERT_TRUE(f.to_ground(f.add(f.from_ground(r), f.from_ground(s)), &back));
      EXPECT_EQ(back, ground_add(m, r, s));
      ASSERT_TRUE(f.to_ground(f.mul(f.from_ground(r), f.from_ground(s)), &back));
      EXPECT_EQ(back, ground_mul(m, r, s));
      // field identities on the whole field
      const flat::elem a = f.element(rng() % f.size()), b = f.element(rng() % f.size()),
                       c = f.element(rng() % f.size());
      EXPECT_EQ(f.mul(f.add(a, b), c), f.add(f.mul(a, c), f.mul(b, c)));
      EXPECT_EQ(f.add(f.add(a, b), c), f.add(a, f.add(b, c)));
      EXPECT_EQ(f.sub(f.add(a, b), b), a);
      EXPECT_EQ(f.add(a, f.neg(a)), f.zero());
      if (a != f.zero()) {
        EXPECT_EQ(f.mul(a, f.inv(a)), f.one());
      }
    }
  }
  // a prime whose square is beyond the tables is not extended
  EXPECT_EQ(flat::log_tables_for(40009, 65536), nullptr);
  // the word prime field against plain arithmetic
  const flat::PrimeField p(2147483629u);
  for (int i = 0; i < 10000; ++i) {
    const auto a = static_cast<flat::elem>(rng() % 2147483629u),
               b = static_cast<flat::elem>(rng() % 2147483629u);
    EXPECT_EQ(p.mul(a, b), std::uint64_t{a} * b % 2147483629u);
    if (a != 0) {
      EXPECT_EQ(p.mul(a, p.inv(a)), 1u);
    }
  }
}

// ---- Exact division -----------------------------------------------------------------------------

// A random flat polynomial in n variables over f (terms, exponents 0 .. e).
template <class F>
flat::MPoly random_flat(const F& f, const flat::Layout& lay, std::mt19937_64& rng, int terms,
                        int e) {
  flat::MPoly p;
  std::vector<std::pair<std::uint64_t, flat::elem>> t;
  for (int i = 0; i < terms; ++i) {
    std::uint64_t key = 0;
    for (int k = 0; k < lay.nvars; ++k)
      key += (rng() % static_cast<std::uint64_t>(e + 1)) * lay.unit(k);
    const flat::elem c = f.element(1 + rng() % (f.size() - 1));
    t.emplace_back(key, c);
  }
  std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  for (const auto& [k, c] : t)
    if (p.empty() || p.key.back() != k) p.push(k, c);
  return p;
}

template <class F>
void check_division(const F& f, std::mt19937_64& rng) {
  const flat::Layout lay(4, 8);
  for (int i = 0; i < 80 * multiplier(); ++i) {
    // rows of the dense division that record their cells, and rows that scan them all
    const ScopedValue<std::int32_t> scan(flat_division_scan, i % 2 == 0 ? 0 : INT32_MAX);
    const bool one_lead = i % 4 < 2;  // the dense way needs a one-term leading coefficient
    flat::MPoly a = random_flat(f, lay, rng, 1 + static_cast<int>(rng() % 30), 4);
    flat::MPoly b = random_flat(f, lay, rng, 1 + static_cast<int>(rng() % 20), 3);
    if (one_lead) {  // b := x0^4 c + (terms of lower degree in x0)
      flat::MPoly c;
      c.push(4 * lay.unit(0) + lay.unit(2), f.element(2));
      for (std::size_t k = 0; k < b.size(); ++k)
        if (lay.exponent(b.key[k], 0) < 4) c.push(b.key[k], b.coef[k]);
      b = c;
    }
    flat::MPoly p, q;
    flat::mpoly_mul(f, lay, a, b, &p);
    ASSERT_TRUE(flat::mpoly_divides(f, lay, p, b, &q));
    EXPECT_EQ(q.key, a.key);
    EXPECT_EQ(q.coef, a.coef);
    // one more term breaks exactness: found as a remainder or a quotient term out of range
    flat::MPoly r = p;
    if (r.key.back() != 0) {
      r.push(0, f.one());
    } else {
      r.coef.back() = f.add(r.coef.back(), f.one());
    }
    if (r.coef.back() == f.zero() || (b.size() == 1 && b.key[0] == 0)) continue;
    EXPECT_FALSE(flat::mpoly_divides(f, lay, r, b, &q));
  }
}

TEST(FlatDivide, ProductsDivideBackAndOneTermMoreDoesNot) {
  std::mt19937_64 rng(seed());
  check_division(flat::PrimeField(2147483629u), rng);
  check_division(flat::LogField(flat::log_tables_for(7, 65536)), rng);
}

// ---- Products modulo transform primes -----------------------------------------------------------

// h bar = gamma a checked on products built here: exact ones hold, and a
// coefficient off by one, a term missing, another gamma or degrees past
// one transform do not.
TEST(FlatProducts, ExactProductsHoldAndAlteredOnesDoNot) {
  const flat::Layout lay(3, 16);
  std::mt19937_64 rng(seed());
  using Terms = std::map<std::uint64_t, ZInt, std::greater<>>;
  const auto random_terms = [&](int n, int e, int shift) {
    Terms t;
    for (int i = 0; i < n; ++i) {
      std::uint64_t key = 0;
      for (int k = 0; k < lay.nvars; ++k)
        key += (rng() % static_cast<std::uint64_t>(e + 1)) * lay.unit(k);
      ZInt c(static_cast<std::int64_t>(rng() % 2001) - 1000);
      for (int j = 0; j < shift; j += 30) c = c * ZInt(std::int64_t{1} << 30);
      t[key] = c + ZInt(1);
    }
    return t;
  };
  const auto product = [](const Terms& a, const Terms& b) {
    Terms t;
    for (const auto& [ka, ca] : a)
      for (const auto& [kb, cb] : b) t[ka + kb] += ca * cb;
    return t;
  };
  struct Side {
    std::vector<std::uint64_t> key;
    std::vector<ZInt> value;
  };
  const auto side = [](const Terms& t) {
    Side s;
    for (const auto& [k, c] : t)
      if (!c.is_zero()) s.key.push_back(k), s.value.push_back(c);
    return s;
  };
  enum Alter { none, plus_one, drop_term, other_gamma, too_long };
  for (int i = 0; i < 5 * 4 * multiplier(); ++i) {
    const auto alter = static_cast<Alter>(i % 5);
    Terms g = random_terms(20, 6, 90), bar = random_terms(25, 7, 60);
    if (alter == too_long) g[1500 * lay.unit(0) + 1500 * lay.unit(1) + lay.unit(2)] = ZInt(5);
    const Terms a = product(g, bar);
    const ZInt gamma(7);
    Terms h = g;
    for (auto& [k, c] : h) c = c * gamma;
    if (alter == plus_one) bar.begin()->second += ZInt(1);
    if (alter == drop_term) bar.erase(std::next(bar.begin(), 3));
    const Side sh = side(h), sb = side(bar), sa = side(a);
    flat::Poly<imptr> pa;
    for (std::size_t k = 0; k < sa.key.size(); ++k) pa.push(sa.key[k], sa.value[k].to_number());
    const bool held = flat::products_agree(lay, {&sh.key, &sh.value}, {{&sb.key, &sb.value}}, {&pa},
                                           alter == other_gamma ? ZInt(1) : gamma, 1 + i % 3);
    EXPECT_EQ(held, alter == none) << i;
    for (imptr& c : pa.coef) free_imag(&c);
  }
}

}  // namespace
}  // namespace tavrin::test
