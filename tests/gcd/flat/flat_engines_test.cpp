// The flat engines one by one, on planted GCDs built from flat products:
// Brown's method with cofactors (G Abar = A and G Bbar = B), the degree
// bounds against the planted degrees, Zippel's method again at a second
// prime from the first one's skeleton, the term arrays read from and built
// back into recursive lists, and over the integers the cases the driver's
// own stages must agree on: long coefficients, leading coefficients that
// the first image primes divide, contents and signs.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_field.h"
#include "poly/poly_repr.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat/flat_poly_impl.h"
#include "gcd/flat/flat_rec_impl.h"
#include "gcd/flat_gcd.h"
#include "gcd/gcd.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

using flat::elem;
using flat::Layout;
using flat::MPoly;

std::uint64_t seed() {
  const char* s = std::getenv("TAVRIN_TEST_SEED");
  return s != nullptr ? std::strtoull(s, nullptr, 10) : 61;
}

int multiplier() {
  const char* m = std::getenv("TAVRIN_TEST_MULTIPLIER");
  return m != nullptr ? std::max(1, std::atoi(m)) : 1;
}

// A random flat polynomial: `terms` terms, exponents 0 .. e, coefficients
// non-zero elements of f.
template <class F>
MPoly random_flat(const F& f, const Layout& lay, std::mt19937_64& rng, int terms, int e) {
  std::vector<std::pair<std::uint64_t, elem>> t;
  for (int i = 0; i < terms; ++i) {
    std::uint64_t key = 0;
    for (int k = 0; k < lay.nvars; ++k)
      key += (rng() % static_cast<std::uint64_t>(e + 1)) * lay.unit(k);
    t.emplace_back(key, f.element(1 + rng() % (f.size() - 1)));
  }
  std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  MPoly p;
  for (const auto& [k, c] : t)
    if (p.empty() || p.key.back() != k) p.push(k, c);
  return p;
}

template <class F>
MPoly times(const F& f, const Layout& lay, const MPoly& a, const MPoly& b) {
  MPoly p;
  flat::mpoly_mul(f, lay, a, b, &p);
  return p;
}

// a + b (keys decreasing, zero sums dropped).
template <class F>
MPoly plus(const F& f, const MPoly& a, const MPoly& b) {
  MPoly p;
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a.key[i] > b.key[j])) {
      p.push(a.key[i], a.coef[i]);
      ++i;
    } else if (i == a.size() || b.key[j] > a.key[i]) {
      p.push(b.key[j], b.coef[j]);
      ++j;
    } else {
      if (const elem c = f.add(a.coef[i], b.coef[j]); c != 0) p.push(a.key[i], c);
      ++i;
      ++j;
    }
  }
  return p;
}

template <class F>
MPoly monic(const F& f, MPoly p) {
  const elem i = f.inv(p.coef[0]);
  for (elem& c : p.coef) c = f.mul(c, i);
  return p;
}

template <class F>
void check_engines(const F& f, std::mt19937_64& rng) {
  for (int nvars = 2; nvars <= 4; ++nvars) {
    const Layout lay(nvars, 8);
    for (int round = 0; round < 6 * multiplier(); ++round) {
      SCOPED_TRACE(std::to_string(nvars) + " variables, round " + std::to_string(round));
      const MPoly g = random_flat(f, lay, rng, 4, 2), p = random_flat(f, lay, rng, 4, 2),
                  q = random_flat(f, lay, rng, 4, 2);
      const MPoly a = times(f, lay, g, p), b = times(f, lay, g, q);
      flat::Rng r(static_cast<std::uint64_t>(round));
      // Brown with cofactors: its identities hold exactly, and g divides G
      MPoly G, Abar, Bbar, t;
      ASSERT_EQ(flat::brown_gcd(f, lay, a, b, nvars, r, &G, &Abar, &Bbar),
                flat::engine_status::done);
      EXPECT_EQ(G.coef[0], f.one());
      EXPECT_EQ(times(f, lay, G, Abar).key, a.key);
      EXPECT_EQ(times(f, lay, G, Abar).coef, a.coef);
      EXPECT_EQ(times(f, lay, G, Bbar).coef, b.coef);
      EXPECT_TRUE(flat::mpoly_divides(f, lay, G, monic(f, g), &t));
      // the degree bounds: never below the GCD's degrees
      std::vector<std::int32_t> bounds;
      ASSERT_TRUE(flat::degree_bounds(f, lay, a, b, r, &bounds));
      const std::vector<std::int32_t> dg = flat::degrees_of(lay, G);
      for (int k = 0; k < nvars; ++k)
        EXPECT_GE(bounds[static_cast<std::size_t>(k)], dg[static_cast<std::size_t>(k)]);
      // the proven GCD by each method is Brown's
      for (flat_gcd_method how : {flat_gcd_method::dense, flat_gcd_method::sparse}) {
        const ScopedValue<flat_gcd_method> method(flat_gcd_choice, how);
        MPoly H;
        ASSERT_EQ(flat::field_gcd(f, lay, a, b, r, &H, true), flat::engine_status::done);
        EXPECT_EQ(H.key, G.key);
        EXPECT_EQ(H.coef, G.coef);
      }
    }
  }
}

TEST(FlatEngines, BrownsCofactorsBoundsAndBothMethodsAgree) {
  std::mt19937_64 rng(seed());
  check_engines(flat::PrimeField(2147483629u), rng);
  check_engines(flat::LogField(flat::log_tables_for(3, 65536)), rng);
  check_engines(flat::LogField(flat::log_tables_for(256, 65536)), rng);
}

// The images modulo a second prime from the first one's skeleton (the
// support of H and the variable order) are the GCDs found afresh, with
// images in one variable and in two.
TEST(FlatEngines, ASkeletonFromOnePrimeServesTheNext) {
  std::mt19937_64 rng(seed());
  const Layout lay(5, 8);
  const flat::PrimeField f1(flat::image_prime(0)), f2(flat::image_prime(1));
  const ScopedValue<flat_gcd_method> method(flat_gcd_choice, flat_gcd_method::sparse);
  int reused = 0;
  for (int round = 0; round < 20 * multiplier(); ++round) {
    const ScopedValue<std::int32_t> plane(zippel_plane_terms, round % 2 == 0 ? INT32_MAX : 0);
    // small integer coefficients, read modulo both primes
    const MPoly g1 = random_flat(flat::PrimeField(97), lay, rng, 6, 3),
                p1 = random_flat(flat::PrimeField(97), lay, rng, 6, 3),
                q1 = random_flat(flat::PrimeField(97), lay, rng, 6, 3);
    const MPoly a1 = times(f1, lay, g1, p1), b1 = times(f1, lay, g1, q1);
    const MPoly a2 = times(f2, lay, g1, p1), b2 = times(f2, lay, g1, q1);
    flat::Rng r(static_cast<std::uint64_t>(round));
    flat::ZippelPlan plan;
    MPoly G1, G2, H2;
    ASSERT_EQ(flat::field_gcd(f1, lay, a1, b1, r, &G1, false, &plan), flat::engine_status::done);
    if (!plan.sparse || plan.skeleton.empty()) continue;  // no interpolation was needed
    ASSERT_EQ(flat::field_gcd(f2, lay, a2, b2, r, &G2, false, &plan), flat::engine_status::done);
    ASSERT_EQ(flat::field_gcd(f2, lay, a2, b2, r, &H2, true), flat::engine_status::done);
    EXPECT_EQ(G2.key, H2.key);
    EXPECT_EQ(G2.coef, H2.coef);
    ++reused;
  }
  EXPECT_GT(reused, 0);
}

// Zippel's method with images in two variables against its images in one
// (the route it bypasses) and Brown's GCD proven by its cofactors, in three
// to five variables over word primes and a small field: every proven GCD is
// Brown's, the method rarely gives up or (unproven) errs, and the threshold
// on the operands' terms chooses the route on either side of it.
template <class F>
void check_plane_images(const F& f, std::mt19937_64& rng) {
  const ScopedValue<flat_gcd_method> method(flat_gcd_choice, flat_gcd_method::sparse);
  int tries = 0, misses = 0;
  for (int nvars = 3; nvars <= 5; ++nvars) {
    const Layout lay(nvars, 8);
    for (int round = 0; round < 4 * multiplier(); ++round) {
      SCOPED_TRACE(std::to_string(nvars) + " variables, round " + std::to_string(round));
      const int terms = 3 + static_cast<int>(rng() % 8);
      const MPoly g = random_flat(f, lay, rng, terms, 3),
                  a = times(f, lay, g, random_flat(f, lay, rng, terms, 3)),
                  b = times(f, lay, g, random_flat(f, lay, rng, terms, 3));
      const auto total = static_cast<std::int32_t>(a.size() + b.size());
      flat::Rng r(static_cast<std::uint64_t>(round));
      MPoly G, Abar, Bbar, H;
      ASSERT_EQ(flat::brown_gcd(f, lay, a, b, nvars, r, &G, &Abar, &Bbar),
                flat::engine_status::done);
      for (const std::int32_t cut : {0, total, total + 1, INT32_MAX}) {
        const ScopedValue<std::int32_t> plane(zippel_plane_terms, cut);
        const long before = flat_gcd_stats.plane;
        for (const bool verify : {false, true}) {
          const flat::engine_status st = flat::field_gcd(f, lay, a, b, r, &H, verify);
          ++tries;
          const bool same = st == flat::engine_status::done && H.key == G.key && H.coef == G.coef;
          if (!same) ++misses;
          EXPECT_TRUE(same || st == flat::engine_status::failed || !verify) << cut;
        }
        // the contents and leading coefficients are never larger than the operands
        EXPECT_TRUE(cut <= total || flat_gcd_stats.plane == before) << cut;
        EXPECT_TRUE(cut > 0 || flat::degrees_of(lay, G)[0] == 0 || flat_gcd_stats.plane > before);
      }
    }
  }
  EXPECT_LE(misses * 10, tries);
}

TEST(FlatEngines, ImagesInTwoVariablesAgreeWithImagesInOne) {
  std::mt19937_64 rng(seed());
  check_plane_images(flat::PrimeField(2147483629u), rng);
  check_plane_images(flat::PrimeField(101u), rng);
  check_plane_images(flat::LogField(flat::log_tables_for(3, 65536)), rng);
}

// Once H stops changing, Brown's cofactors come by exact division by H's
// value instead of Euclid: from problems too small for that to start to
// ones dense enough, G must be the GCD the division proof finds (Brown's
// images without cofactors) and Abar, Bbar the exact quotients A / G, B / G.
// *divided counts the points whose cofactors came by division.
void check_cofactors_by_division(const flat::PrimeField& f, std::mt19937_64& rng, long* divided) {
  struct Row {
    int nvars, terms, degree;
  };
  const Row rows[] = {{2, 2, 1},  {2, 12, 5}, {2, 30, 9}, {3, 3, 1},
                      {3, 20, 4}, {4, 2, 1},  {4, 30, 3}};
  for (const Row& row : rows) {
    const Layout lay(row.nvars, 8);
    for (int round = 0; round < 2 * multiplier(); ++round) {
      SCOPED_TRACE(std::to_string(row.nvars) + " variables, degree " + std::to_string(row.degree));
      const MPoly g = random_flat(f, lay, rng, row.terms, row.degree),
                  p = random_flat(f, lay, rng, row.terms, row.degree),
                  q = random_flat(f, lay, rng, row.terms, row.degree);
      const MPoly a = times(f, lay, g, p), b = times(f, lay, g, q);
      flat::Rng r(static_cast<std::uint64_t>(round));
      const long before = flat_gcd_stats.cofactor_points;
      MPoly G, Abar, Bbar, H, qa, qb;
      ASSERT_EQ(flat::brown_gcd(f, lay, a, b, row.nvars, r, &G, &Abar, &Bbar),
                flat::engine_status::done);
      *divided += flat_gcd_stats.cofactor_points - before;
      const ScopedValue<flat_gcd_method> method(flat_gcd_choice, flat_gcd_method::dense);
      ASSERT_EQ(flat::field_gcd(f, lay, a, b, r, &H, true), flat::engine_status::done);
      EXPECT_EQ(G.key, H.key);
      EXPECT_EQ(G.coef, H.coef);
      ASSERT_TRUE(flat::mpoly_divides(f, lay, a, H, &qa));
      ASSERT_TRUE(flat::mpoly_divides(f, lay, b, H, &qb));
      EXPECT_EQ(Abar.key, qa.key);
      EXPECT_EQ(Abar.coef, qa.coef);
      EXPECT_EQ(Bbar.key, qb.key);
      EXPECT_EQ(Bbar.coef, qb.coef);
    }
  }
}

TEST(FlatEngines, CofactorsByDivisionAreTheExactQuotients) {
  std::mt19937_64 rng(seed());
  for (const std::uint32_t p : {2147483629u, 10007u}) {
    long divided = 0;
    check_cofactors_by_division(flat::PrimeField(p), rng, &divided);
    EXPECT_GT(divided, 0) << p;
  }
}

// A random polynomial of total degree at most d, each monomial present
// with probability 3/4: the shape whose points the total degree lattice cuts.
template <class F>
MPoly random_total(const F& f, const Layout& lay, std::mt19937_64& rng, int d) {
  std::vector<std::pair<std::uint64_t, elem>> t;
  std::vector<int> e(static_cast<std::size_t>(lay.nvars), 0);
  for (;;) {
    int sum = 0;
    std::uint64_t key = 0;
    for (int k = 0; k < lay.nvars; ++k) {
      sum += e[static_cast<std::size_t>(k)];
      key += static_cast<std::uint64_t>(e[static_cast<std::size_t>(k)]) * lay.unit(k);
    }
    if (sum <= d && rng() % 4 != 0) t.emplace_back(key, f.element(1 + rng() % (f.size() - 1)));
    int k = 0;
    for (; k < lay.nvars && ++e[static_cast<std::size_t>(k)] > d; ++k)
      e[static_cast<std::size_t>(k)] = 0;
    if (k == lay.nvars) break;
  }
  std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  MPoly p;
  for (const auto& [key, c] : t) p.push(key, c);
  return p;
}

// Brown's cofactors proven on the total degree lattice are those the box
// of degrees proves (the oracle), G Abar = A and G Bbar = B, and they take
// fewer points: total degree dense factors, contents in the last variable
// (the lattice bound moves by their degree) and leading coefficients in
// variable 0 that are not constant.
TEST(FlatEngines, LatticeCofactorsAreTheBoxCofactors) {
  std::mt19937_64 rng(seed());
  struct Row {
    int nvars, dg, dc, content;
  };
  const Row rows[] = {{2, 4, 5, 0}, {2, 1, 7, 2}, {3, 3, 3, 0},
                      {3, 4, 2, 1}, {4, 2, 2, 0}, {4, 3, 1, 1}};
  for (const std::uint32_t p : {2147483629u, 10007u}) {
    const flat::PrimeField f(p);
    long lattice_points = 0, box_points = 0;
    for (const Row& row : rows) {
      const Layout lay(row.nvars, 8);
      for (int round = 0; round < 2 * multiplier(); ++round) {
        SCOPED_TRACE(std::to_string(p) + ": " + std::to_string(row.nvars) + " variables, round " +
                     std::to_string(round));
        MPoly g = random_total(f, lay, rng, row.dg),
              a = times(f, lay, g, random_total(f, lay, rng, row.dc)),
              b = times(f, lay, g, random_total(f, lay, rng, row.dc));
        if (row.content > 0) {  // a common and a private factor in the last variable alone
          const std::uint64_t unit = lay.unit(row.nvars - 1);
          MPoly c, d;
          c.push(row.content * unit, 1);
          c.push(0, 3);
          d.push(unit, 5);
          d.push(0, 1);
          a = times(f, lay, times(f, lay, a, c), d);
          b = times(f, lay, b, c);
        }
        MPoly G[2], Abar[2], Bbar[2];
        for (const bool lattice : {false, true}) {
          const ScopedValue<bool> proof(flat_lattice_proof, lattice);
          flat::Rng r(static_cast<std::uint64_t>(round));
          const long before = flat_gcd_stats.cofactor_points;
          ASSERT_EQ(flat::brown_gcd(f, lay, a, b, row.nvars, r, &G[lattice], &Abar[lattice],
                                    &Bbar[lattice]),
                    flat::engine_status::done);
          (lattice ? lattice_points : box_points) += flat_gcd_stats.cofactor_points - before;
        }
        EXPECT_EQ(G[1].key, G[0].key);
        EXPECT_EQ(G[1].coef, G[0].coef);
        EXPECT_EQ(Abar[1].coef, Abar[0].coef);
        EXPECT_EQ(Bbar[1].coef, Bbar[0].coef);
        EXPECT_EQ(times(f, lay, G[1], Abar[1]).coef, a.coef);
        EXPECT_EQ(times(f, lay, G[1], Bbar[1]).coef, b.coef);
      }
    }
    EXPECT_LT(lattice_points, box_points) << p;
  }
}

// Once H, Abar and Bbar stop changing, Brown's remaining lattice points
// only check gamma A = H Abar and gamma B = H Bbar: the results must be
// those of the points that take images (the oracle), G Abar = A and G Bbar
// = B. Rows from factors too small for the checks to start to dense ones,
// contents in the last variable and non-constant leading coefficients;
// without the lattice (the box) no point is a check.
TEST(FlatEngines, LatticeChecksLeaveTheImageCofactors) {
  std::mt19937_64 rng(seed());
  struct Row {
    int nvars, dg, dc, content;
  };
  const Row rows[] = {{2, 1, 1, 0}, {2, 5, 6, 0}, {2, 2, 7, 2}, {3, 1, 1, 0}, {3, 4, 3, 0},
                      {3, 3, 4, 1}, {4, 1, 1, 0}, {4, 3, 2, 0}, {4, 2, 3, 1}};
  for (const std::uint32_t p : {2147483629u, 10007u}) {
    const flat::PrimeField f(p);
    for (const bool lattice : {true, false}) {
      const ScopedValue<bool> proof(flat_lattice_proof, lattice);
      long checks = 0;
      for (const Row& row : rows) {
        const Layout lay(row.nvars, 8);
        for (int round = 0; round < 2 * multiplier(); ++round) {
          SCOPED_TRACE(std::to_string(p) + ": " + std::to_string(row.nvars) +
                       " variables, degrees " + std::to_string(row.dg) + ", " +
                       std::to_string(row.dc) + ", round " + std::to_string(round));
          const MPoly g = random_total(f, lay, rng, row.dg);
          MPoly a = times(f, lay, g, random_total(f, lay, rng, row.dc)),
                b = times(f, lay, g, random_total(f, lay, rng, row.dc));
          if (row.content >
              0) {  // a common content in the last variable, and x_0 + 2 in A's leading coefficient
            const std::uint64_t unit = lay.unit(row.nvars - 1);
            MPoly c, d;
            c.push(row.content * unit, 1);
            c.push(0, 3);
            d.push(static_cast<std::uint64_t>(row.dc + 1) * lay.unit(0) + unit, 1);
            d.push(0, 2);
            a = times(f, lay, times(f, lay, a, c), d);
            b = times(f, lay, b, c);
          }
          if (a.empty() || b.empty()) continue;
          MPoly G[2], Abar[2], Bbar[2];
          for (const bool check : {false, true}) {
            const ScopedValue<bool> hook(flat_lattice_check, check);
            flat::Rng r(static_cast<std::uint64_t>(round));
            const long before = flat_gcd_stats.lattice_points;
            ASSERT_EQ(
                flat::brown_gcd(f, lay, a, b, row.nvars, r, &G[check], &Abar[check], &Bbar[check]),
                flat::engine_status::done);
            checks += flat_gcd_stats.lattice_points - before;
            if (!check) {
              EXPECT_EQ(flat_gcd_stats.lattice_points, before);
            }
          }
          EXPECT_EQ(G[1].key, G[0].key);
          EXPECT_EQ(G[1].coef, G[0].coef);
          EXPECT_EQ(Abar[1].key, Abar[0].key);
          EXPECT_EQ(Abar[1].coef, Abar[0].coef);
          EXPECT_EQ(Bbar[1].key, Bbar[0].key);
          EXPECT_EQ(Bbar[1].coef, Bbar[0].coef);
          EXPECT_EQ(times(f, lay, G[1], Abar[1]).coef, a.coef);
          EXPECT_EQ(times(f, lay, G[1], Bbar[1]).coef, b.coef);
        }
      }
      if (lattice) {
        EXPECT_GT(checks, 0) << p;
      } else {
        EXPECT_EQ(checks, 0) << p;
      }
    }
  }
}

// The lattice check holds for exact products (a scalar c on A and B) and
// fails for every planted difference of total degree at most its bound:
// random ones, one monomial of the top total degree in each variable, and
// in B alone.
TEST(FlatEngines, LatticeIdentityCatchesEveryDifferenceWithinItsBound) {
  std::mt19937_64 rng(seed());
  const flat::PrimeField f(2147483629u);
  for (int nvars = 1; nvars <= 4; ++nvars) {
    const Layout lay(nvars, 8);
    for (int round = 0; round < 3 * multiplier(); ++round) {
      SCOPED_TRACE(std::to_string(nvars) + " variables, round " + std::to_string(round));
      const int dh = 1 + static_cast<int>(rng() % 3), dbar = 1 + static_cast<int>(rng() % 3);
      const MPoly h = random_total(f, lay, rng, dh), abar = random_total(f, lay, rng, dbar),
                  bbar = random_total(f, lay, rng, dbar);
      if (h.empty() || abar.empty() || bbar.empty()) continue;
      const elem c = f.element(1 + rng() % 1000);
      const auto scaled = [&](MPoly p) {
        const elem ic = f.inv(c);
        for (elem& x : p.coef) x = f.mul(x, ic);
        return p;
      };
      const MPoly a = scaled(times(f, lay, h, abar)), b = scaled(times(f, lay, h, bbar));
      const std::int64_t s = dh + dbar;
      flat::Rng r(static_cast<std::uint64_t>(round) + 1);
      EXPECT_TRUE(flat::lattice_identity(f, lay, c, a, h, abar, b, bbar, nvars, r, s));
      std::vector<MPoly> differences{random_total(f, lay, rng, static_cast<int>(s))};
      for (int v = 0; v < nvars; ++v) {
        MPoly m;
        m.push(static_cast<std::uint64_t>(s) * lay.unit(v), 1);
        differences.push_back(m);
      }
      for (const MPoly& e : differences) {
        if (e.empty()) continue;
        const MPoly ae = plus(f, a, e), be = plus(f, b, e);
        EXPECT_FALSE(flat::lattice_identity(f, lay, c, ae, h, abar, b, bbar, nvars, r, s));
        EXPECT_FALSE(flat::lattice_identity(f, lay, c, a, h, abar, be, bbar, nvars, r, s));
      }
    }
  }
}

// ---- Term arrays and recursive lists ------------------------------------------------------------

TEST(FlatPolys, ReadFlattenedAndBuiltBackTermForTerm) {
  load_data_tables();
  const PolyVars vars{"x", "y", "z", "w", "v"};
  const std::vector<std::string> texts{
      "3*y^2*w + w^4 - 7",                        // x, z and v left out: pads at x
      "x^5*z - y*v^3 + 2*x*z^2*v + 11",           // every other level
      "z*w*v",                                    // a single term below two pads
      "-123456789012345678901234567890*x*y + 1",  // a long coefficient
  };
  for (const std::string& t : texts) {
    SCOPED_TRACE(t);
    const Poly p(t), other("y + w");
    flat::Problem pr;
    ASSERT_TRUE(flat::read_problem(p, other, polynames, &pr));
    flat::Poly<imptr> terms;
    flat::flatten(p, pr, &terms);
    for (std::size_t k = 1; k < terms.size(); ++k) EXPECT_GT(terms.key[k - 1], terms.key[k]);
    const Poly back = Poly::adopt(flat::rebuild(terms.key, pr, [&terms](std::size_t k) -> poly {
      imptr c = nullptr;
      newimag(&c);
      num_assign(terms.coef[k], c);
      return nodes::new_leaf(c);
    }));
    EXPECT_TRUE(valid_poly(back));
    EXPECT_TRUE(poly_equal(back, p)) << back.str();
  }
  // what the packing refuses: 8 levels of exponents above 127
  const PolyVars eight{"a", "b", "c", "d", "e", "f", "g", "h"};
  const Poly wide("a^200*b*c*d*e*f*g*h + b"), other("a*h + 1");
  flat::Problem pr;
  EXPECT_FALSE(flat::read_problem(wide, other, polynames, &pr));
  const ScopedValue<std::int32_t> terms(flat_gcd_terms, 0);
  Poly r;
  EXPECT_FALSE(flat_gcd(wide, other, r.cell(), polynames));
}

// ---- Over the integers: what the driver's own stages must agree on ------------------------------

Poly gcd_by(poly u, poly v, bool flat) {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
  c_cntcount = a_cntcount = d_cntcount = g_cntcount = 0;
  const ScopedValue<std::int32_t> terms(flat_gcd_terms, flat ? 0 : INT32_MAX);
  Poly r;
  polygcd(u, v, r.cell(), polynames);
  return r;
}

TEST(FlatIntegers, LongCoefficientsUnluckyPrimesContentsAndSigns) {
  load_data_tables();
  const PolyVars vars{"x", "y", "z"};
  // the first three image primes divide this leading coefficient
  const std::string p3 =
      std::to_string(std::uint64_t{flat::image_prime(0)} * flat::image_prime(1)) + "*" +
      std::to_string(flat::image_prime(2));
  const std::string big = "340282366920938463463374607431768211507";  // above 2^128
  struct Row {
    std::string u, v;
  };
  const std::vector<Row> rows{
      {"(" + p3 + "*x*y + z + 1)*(x^2 + y*z + 3)", "(" + p3 + "*x*y + z + 1)*(x*z - y + 5)"},
      {"(" + big + "*x^2*y - z^3 + 2)*(x + y + z)^2", "(" + big + "*x^2*y - z^3 + 2)*(x - 7*z)"},
      {"(" + big + "*x + " + big + "*y*z - 1)^2*(x*y + 1)",
       "(" + big + "*x + " + big + "*y*z - 1)*(y - z)^2"},
      {"12*(x^2 - y*z)*(x + z + 1)", "-18*(x^2 - y*z)*(x*y + 2)*y"},
      {"-(x*y*z + x + 1)*(y^2 + 3*z)", "-(x*y*z + x + 1)*(x^3 + z)"},
      {"6*(x + y)*z^2", "10*(x - y)*z"},
  };
  const long division_primes = flat_gcd_stats.division_primes;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.u + ", " + row.v);
    const Poly u(row.u), v(row.v);
    const long calls = flat_gcd_stats.calls, declined = flat_gcd_stats.declined;
    const Poly flat = gcd_by(u, v, true);
    EXPECT_GT(flat_gcd_stats.calls, calls);
    EXPECT_EQ(flat_gcd_stats.declined, declined);
    const Poly own = gcd_by(u, v, false);
    EXPECT_TRUE(valid_poly(flat));
    EXPECT_TRUE(poly_equal(flat, own)) << flat.str() << " against " << own.str();
  }
  EXPECT_GT(flat_gcd_stats.division_primes,
            division_primes);  // the long ones divided modulo primes
}

// f a and f b, each factor every monomial of total degree <= 12 with
// coefficients near 10^8: quotients too long for the 64-bit division's
// bound (a cell sums 455 products) but not for 128 bits, which proves the
// candidate without dividing modulo primes.
TEST(FlatIntegers, QuotientsPast64BitSumsDivideIn128Bits) {
  load_data_tables();
  const PolyVars vars{"x", "y", "z"};
  const auto factor = [](long s) {
    std::string p = "0";
    for (long i = 0; i <= 12; ++i)
      for (long j = 0; i + j <= 12; ++j)
        for (long k = 0; i + j + k <= 12; ++k)
          p += " + (" +
               std::to_string(
                   ((7 * i * i * i + s * j * j + 5 * i * j * k + 3 * k + 11) % 199 - 99) * 1000000 +
                   (31 * i + s * j * j + k * k * k) % 9973) +
               ")*x^" + std::to_string(i) + "*y^" + std::to_string(j) + "*z^" + std::to_string(k);
    return p;
  };
  const Poly f(factor(13)), u("(" + factor(13) + ")*(" + factor(17) + ")"),
      v("(" + factor(13) + ")*(" + factor(11) + ")");
  const long division_primes = flat_gcd_stats.division_primes, declined = flat_gcd_stats.declined;
  const Poly flat = gcd_by(u, v, true);
  EXPECT_EQ(flat_gcd_stats.declined, declined);
  EXPECT_EQ(flat_gcd_stats.division_primes, division_primes);
  EXPECT_TRUE(poly_equal(flat, f)) << flat.str();
  EXPECT_TRUE(poly_equal(flat, gcd_by(u, v, false)));
}

// The division modulo several primes in one pass against the division
// modulo each (the oracle): exact quotients of long coefficients (residues
// 0 among them), a remainder, a quotient term past the degrees, and a
// divisor whose leading coefficient in x is not one term (no box).
TEST(FlatEngines, LanesDivideAsEachPrimeDoes) {
  load_data_tables();
  const PolyVars vars{"x", "y", "z"};
  const std::string p0 = std::to_string(flat::image_prime(0));
  const std::string g = "(2^70*x^3 + (y - 5*z)^4 + " + p0 + "*x*y*z - 3)";
  const std::string q = "((x + 2^40*y + z)^3 + " + p0 + "*y^2)";
  struct Row {
    std::string a, b;
    flat::division_result expect;
  };
  const std::vector<Row> rows{
      {g + "*" + q, g, flat::division_result::exact},
      {g + "*" + q + " + y^2", g, flat::division_result::not_exact},
      {g + "*" + q + " + x^9", g, flat::division_result::not_exact},
      {"(x^2*y + 1)*(x*y + x*z + 1)", "x*y + x*z + 1", flat::division_result::too_large},
  };
  for (const Row& row : rows)
    for (std::size_t lanes = 1; lanes <= flat::max_lanes; ++lanes) {
      SCOPED_TRACE(row.a + " / " + row.b + ", " + std::to_string(lanes) + " lanes");
      const Poly a(row.a), b(row.b);
      flat::Problem pr;
      ASSERT_TRUE(flat::read_problem(a, b, polynames, &pr));
      flat::Poly<imptr> fa, fb;
      flat::flatten(a, pr, &fa);
      flat::flatten(b, pr, &fb);
      std::vector<flat::PrimeField> fs;
      for (std::size_t k = 0; k < lanes; ++k) fs.emplace_back(flat::image_prime(k));
      std::vector<MPoly> qs;
      ASSERT_EQ(flat::lanes_divides(fs, pr.layout, fa, fb, &qs), row.expect);
      if (row.expect != flat::division_result::exact) continue;
      ASSERT_EQ(qs.size(), lanes);
      for (std::size_t k = 0; k < lanes; ++k) {
        MPoly A, B, Q;
        for (std::size_t i = 0; i < fa.size(); ++i)
          if (const elem c = number_residue(fa.coef[i], fs[k]); c != 0) A.push(fa.key[i], c);
        for (std::size_t i = 0; i < fb.size(); ++i)
          if (const elem c = number_residue(fb.coef[i], fs[k]); c != 0) B.push(fb.key[i], c);
        ASSERT_TRUE(flat::mpoly_divides(fs[k], pr.layout, A, B, &Q));
        EXPECT_EQ(qs[k].key, Q.key) << k;
        EXPECT_EQ(qs[k].coef, Q.coef) << k;
      }
    }
}

// Brown's kernels modulo a word prime against plain loops, coefficients
// random or all p - 1: products of residue vectors, values at a point by
// dot products against Horner's rule, and gcd(a c, b c) = gcd(a, b) c.
TEST(FlatEngines, ResidueProductsValuesAndRemaindersAgreeWithPlainLoops) {
  std::mt19937_64 rng(seed());
  using D = flat::Dense<flat::PrimeField>;
  for (const std::uint32_t p : {2147483629u, 32003u, 7u})
    for (const std::size_t n : {1u, 2u, 17u, 64u, 300u}) {
      SCOPED_TRACE(std::to_string(p) + ", length " + std::to_string(n));
      const flat::PrimeField f(p);
      std::vector<elem> a(n), b(n / 2 + 1), c(n / 3 + 2);
      for (auto* v : {&a, &b, &c})
        for (elem& x : *v) x = n % 2 == 0 ? p - 1 : static_cast<elem>(1 + rng() % (p - 1));
      std::vector<elem> plain(a.size() + b.size() - 1, 0);
      for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
          plain[i + j] = f.add(plain[i + j], f.mul(a[i], b[j]));
      EXPECT_EQ(D::mul(f, a, b), plain);
      const elem x = static_cast<elem>(rng() % p);
      EXPECT_EQ(flat::PointValues<flat::PrimeField>(f, x, n)(a.data(), n), D::eval(f, a, x));
      std::vector<elem> gc = D::mul(f, D::gcd(f, a, b), c);
      const elem il = f.inv(gc.back());
      for (elem& y : gc) y = f.mul(y, il);
      EXPECT_EQ(D::gcd(f, D::mul(f, a, c), D::mul(f, b, c)), gc);
    }
}

}  // namespace
}  // namespace tavrin::test
