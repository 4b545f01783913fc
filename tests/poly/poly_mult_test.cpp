// Products of polynomials through every route, in every ring, against the
// naive reference product; the Karatsuba views; products folded by
// numeric and polynomial relations.
#include "poly/poly_mult.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// Node addresses and text of a polynomial: a kept operand must come back
// node for node.
struct Snapshot {
  std::string text;
  std::vector<poly> nodes;
  std::vector<std::int32_t> exps;
  explicit Snapshot(poly p) : text(dump_poly(p)) { walk(p); }
  void walk(poly p) {
    for (; p != nullptr; p = p->next) {
      nodes.push_back(p);
      exps.push_back(p->exp);
      if (!p->numb) walk(p->pcoef);
    }
  }
  bool operator==(const Snapshot& o) const {
    return text == o.text && nodes == o.nodes && exps == o.exps;
  }
};

// A random polynomial dense in the variable `var` (index) up to degree deg:
// each power present with probability about `fill`, its coefficient a random
// polynomial in the variables below (or a number when var is the last used).
RefPoly dense_in(std::mt19937_64& rng, int nvars, int var, int deg, double fill, int inner_vars,
                 int limbs) {
  std::bernoulli_distribution keep(fill);
  RefPoly r(nvars);
  for (int e = 0; e <= deg; ++e) {
    if (e != deg && !keep(rng)) continue;
    RefPoly c = RefPoly::constant(nvars, random_big(rng, limbs));
    if (inner_vars > 0) {
      RefPoly lower = random_refpoly(rng, nvars, 4, 3, limbs);
      // Keep only the variables after var.
      RefPoly kept(nvars);
      for (const auto& [ex, v] : lower.terms()) {
        RefPoly::Exps x = ex;
        for (int i = 0; i <= var; ++i) x[static_cast<std::size_t>(i)] = 0;
        for (int i = var + 1 + inner_vars; i < nvars; ++i) x[static_cast<std::size_t>(i)] = 0;
        kept.add_term(x, v);
      }
      c = c + kept;
    }
    r = r + c * RefPoly::variable(nvars, var, e);
  }
  return r;
}

// Coefficients small enough for exact long-double products and sums.
RefPoly for_ring(Ring ring, const RefPoly& a) {
  if (ring != Ring::floating) return in_ring(ring, a);
  RefPoly r(a.nvars());
  for (const auto& [e, c] : a.terms()) r.add_term(e, c % BigRef(4096));
  return r;
}

mult_route_counts route_delta(const mult_route_counts& before) {
  const mult_route_counts& a = mult_routes;
  return {a.constants - before.constants,
          a.one_variable - before.one_variable,
          a.two_variable - before.two_variable,
          a.karatsuba - before.karatsuba,
          a.schoolbook - before.schoolbook,
          a.simplest_rows - before.simplest_rows,
          a.simplest_arrays - before.simplest_arrays,
          a.simplest_karatsuba - before.simplest_karatsuba,
          a.simplest_residues - before.simplest_residues,
          a.flat - before.flat,
          a.simplest_char2 - before.simplest_char2,
          a.simplest_scaled - before.simplest_scaled,
          a.tower - before.tower};
}

class PolyMultTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z", "w"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
  // Every level's Karatsuba cut-off.
  void set_cutoffs(std::int32_t c) {
    for (int d = 1; d <= 4; ++d) vars.level(d)->polycut = c;
  }
};

// ---- Every route against the reference -------------------------------------------------

TEST_F(PolyMultTest, ProductsAgreeWithTheReferenceInEveryRingAndRoute) {
  std::mt19937_64 rng(test_seed());
  const mult_route_counts before = mult_routes;
  set_cutoffs(6);
  for_each_ring(
      {Ring::integers, Ring::mod7, Ring::mod65521, Ring::mod_big, Ring::gf256, Ring::floating},
      [&](Ring ring) {
        const int limbs = limbs_for(ring);
        for (int i = 0; i < test_iterations(60); ++i) {
          RefPoly a, b;
          switch (i % 6) {
            case 0:  // sparse multivariate: schoolbook
              a = random_refpoly(rng, 4, 12, 5, limbs);
              b = random_refpoly(rng, 4, 12, 5, limbs);
              break;
            case 1:  // dense in x over y, z: Karatsuba on term lists
              a = dense_in(rng, 4, 0, 14 + i % 7, 0.8, 2, limbs);
              b = dense_in(rng, 4, 0, 10 + i % 9, 0.8, 2, limbs);
              break;
            case 2:  // one variable, dense: the one-variable route modulo a prime
              a = dense_in(rng, 4, 0, 12 + i % 30, 0.9, 0, limbs);
              b = dense_in(rng, 4, 0, 11 + i % 25, 0.9, 0, limbs);
              break;
            case 3:  // dense in y under a pad
              a = dense_in(rng, 4, 1, 9 + i % 5, 0.9, 1, limbs);
              b = dense_in(rng, 4, 1, 8, 0.9, 2, limbs);
              break;
            case 4:  // constants against polynomials
              a = RefPoly::constant(4, random_big(rng, limbs));
              b = random_refpoly(rng, 4, 10, 4, limbs);
              break;
            default:  // one operand short, the other long
              a = random_refpoly(rng, 4, 3, 3, limbs);
              b = dense_in(rng, 4, 0, 25, 0.7, 1, limbs);
              break;
          }
          a = for_ring(ring, a);
          b = for_ring(ring, b);
          SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
          Poly n(a), m(b);
          const Snapshot sn(n), sm(m);
          const RefPoly want = ring_product(ring, a, b);
          for (polypt pol : {nilpol, vars.level(1)}) {
            ScopedValue<std::int32_t> cut(poly_cutoff, 6);
            Poly r;
            poly_mult(n, m, r.cell(), pol);
            ASSERT_TRUE(valid_poly(r));
            ASSERT_EQ(read_poly(r), want);
            ASSERT_TRUE(Snapshot(n) == sn);
            ASSERT_TRUE(Snapshot(m) == sm);
          }
          Poly sq;  // squares take the same routes with one operand
          poly_mult(n, n, sq.cell(), vars.level(1));
          ASSERT_EQ(read_poly(sq), ring_product(ring, a, a));
          ASSERT_TRUE(Snapshot(n) == sn);
        }
      });
  const mult_route_counts d = route_delta(before);
  EXPECT_GT(d.constants, 0);
  EXPECT_GT(d.one_variable, 0);
  EXPECT_GT(d.karatsuba, 0);
  EXPECT_GT(d.schoolbook, 0);
  EXPECT_GT(d.simplest_rows, 0);
  EXPECT_GT(d.simplest_karatsuba, 0);  // GF(256) one-variable products
  EXPECT_GT(d.simplest_arrays, 0);     // the odd primes
}

TEST_F(PolyMultTest, OneVariableProductsModuloAPrimeAndInFloatingMode) {
  PolyVars one{"x"};
  std::mt19937_64 rng(test_seed() + 1);
  // GF(256) on its term-list routes (poly_char2_routes_test.cpp takes its
  // element vectors).
  ScopedValue<std::int32_t> lists(char2_vector_degree, INT32_MAX);
  for_each_ring(
      {Ring::mod7, Ring::mod65521, Ring::mod_big, Ring::gf256, Ring::floating}, [&](Ring ring) {
        const mult_route_counts before = mult_routes;
        for (int i = 0; i < test_iterations(40); ++i) {
          const RefPoly a = for_ring(ring, dense_in(rng, 1, 0, 1 + i * 3 % 60, 0.85, 0, 1));
          const RefPoly b = for_ring(ring, dense_in(rng, 1, 0, 1 + i * 7 % 45, 0.85, 0, 1));
          SCOPED_TRACE(a.to_string({"x"}) + "  times  " + b.to_string({"x"}));
          Poly n(a), m(b);
          Poly r;
          simplest_poly_mult(n, m, r.cell(), 0, 0, 0, 0);
          ASSERT_TRUE(valid_poly(r));
          ASSERT_EQ(read_poly(r), ring_product(ring, a, b));
          // The schoolbook rows alone give the same product.
          Poly rows;
          simplest_standard(n, m, poly_length(n), poly_length(m), rows.cell());
          ASSERT_EQ(read_poly(rows), read_poly(r));
        }
        const mult_route_counts d = route_delta(before);
        if (ring == Ring::floating || ring == Ring::gf256) {
          EXPECT_GT(d.simplest_karatsuba, 0);
          EXPECT_EQ(d.simplest_arrays, 0);  // never residue arrays for these
        } else {
          EXPECT_GT(d.simplest_arrays, 0);
        }
      });
}

TEST_F(PolyMultTest, LongOneVariableProductsOnResidueVectors) {
  // Past the arrays (fast_gcd_size, lowered here) over a prime field: the
  // transforms on residue vectors, against the reference and the list
  // split that GF(256) and floating mode keep.
  PolyVars one{"x"};
  std::mt19937_64 rng(test_seed() + 4);
  ScopedValue<std::int32_t> cap(fast_gcd_size, 50);
  ScopedValue<std::int32_t> lists(char2_vector_degree, INT32_MAX);
  for_each_ring({Ring::mod7, Ring::mod65521, Ring::mod_big, Ring::gf256}, [&](Ring ring) {
    const mult_route_counts before = mult_routes;
    for (int i = 0; i < test_iterations(10); ++i) {
      const RefPoly a =
          for_ring(ring, dense_in(rng, 1, 0, 20 + static_cast<int>(rng() % 160), 0.85, 0, 1));
      const RefPoly b =
          for_ring(ring, dense_in(rng, 1, 0, 20 + static_cast<int>(rng() % 160), 0.6, 0, 1));
      SCOPED_TRACE(a.to_string({"x"}) + "  times  " + b.to_string({"x"}));
      Poly n(a), m(b), r;
      poly_mult(n, m, r.cell(), nilpol);
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(read_poly(r), ring_product(ring, a, b));
    }
    const mult_route_counts d = route_delta(before);
    EXPECT_EQ(d.simplest_residues > 0, ring != Ring::gf256);
    EXPECT_EQ(d.simplest_karatsuba > 0, ring == Ring::gf256);
  });
}

// ---- Thresholds ---------------------------------------------------------------------------

TEST_F(PolyMultTest, SparseOperandsTakeTheSchoolbookRouteWhateverTheirLength) {
  NodeBalance balance;
  set_cutoffs(6);
  // The routes below the flat product.
  ScopedValue<std::int64_t> no_flat(flat_mult_terms, INT64_MAX);
  RefPoly a(4), b(4);
  for (int k = 0; k < 20; ++k) a = a + RefPoly::variable(4, 0, 25 * k) * ref("y + 1");
  for (int k = 0; k < 20; ++k) b = b + RefPoly::variable(4, 0, 3 * k) * ref("z - 2");
  Poly n(a), m(b);
  const mult_route_counts before = mult_routes;
  Poly r;
  poly_mult(n, m, r.cell(), vars.level(1));
  EXPECT_EQ(read_poly(r), a * b);
  const mult_route_counts d = route_delta(before);
  EXPECT_EQ(d.karatsuba, 0);
  EXPECT_GE(d.schoolbook, 1);
  // The same degrees filled densely do split.
  std::mt19937_64 rng(5);
  Poly dense(dense_in(rng, 4, 0, 19, 1.0, 1, 1));
  const mult_route_counts before2 = mult_routes;
  poly_mult(dense, m, r.cell(), vars.level(1));
  EXPECT_GT(route_delta(before2).karatsuba, 0);
}

// One-variable products of a sparse list (terms spread apart, as a power's
// Frobenius image) by a dense one whose rows do not overlap or overlap four
// times: the rows summed pairwise or each into the running sum, and in
// GF(256) the scaled rows or the element vectors once the term products
// outnumber the degree twice, all give the reference product.
TEST_F(PolyMultTest, SpreadTimesDenseByPairwiseRowsAndElementVectors) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 71);
  ScopedValue<std::int32_t> arrays(fast_gcd_size, 200);  // residue vectors past degree 200
  for_each_ring({Ring::mod7, Ring::mod65521, Ring::gf256}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(6); ++i) {
      const int spread = 10 + i, count = 12 + i;
      RefPoly a(1);
      for (int k = 0; k < count; ++k)
        a = a + RefPoly::constant(1, BigRef(static_cast<std::int64_t>(1 + rng() % 200))) *
                    RefPoly::variable(1, 0, spread * k);
      a = for_ring(ring, a);
      const RefPoly b =
          for_ring(ring, dense_in(rng, 1, 0, i % 2 == 0 ? spread - 1 : 4 * spread + i, 1.0, 0, 1));
      Poly n(a), m(b), product(ring_product(ring, a, b));
      const RefPoly want = read_poly(product);  // in the session's variables
      for (const std::int32_t rows : {0, 4, INT32_MAX}) {
        ScopedValue<std::int32_t> pairwise(standard_pairwise_rows, rows);
        Poly r;
        simplest_standard(n, m, poly_length(n), poly_length(m), r.cell());
        ASSERT_EQ(read_poly(r), want) << "pairwise from " << rows << " rows";
      }
      const mult_route_counts before = mult_routes;
      Poly r;
      simplest_poly_mult(n, m, r.cell(), 0, 0, 0, 0);
      ASSERT_EQ(read_poly(r), want);
      if (ring == Ring::gf256) {
        // The overlapping rows by scaled rows, and by element vectors when
        // sparse_rows_ratio sends none to the rows.
        EXPECT_EQ(route_delta(before).simplest_scaled, i % 2 == 0 ? 0 : 1);
        ScopedValue<std::int32_t> no_rows(sparse_rows_ratio, 0);
        const mult_route_counts before_vectors = mult_routes;
        Poly v;
        simplest_poly_mult(n, m, v.cell(), 0, 0, 0, 0);
        ASSERT_EQ(read_poly(v), want);
        EXPECT_EQ(route_delta(before_vectors).simplest_char2, i % 2 == 0 ? 0 : 1);
      } else {
        // The residue vectors when sparse_rows_ratio sends none to the rows.
        const std::int64_t degree = std::int64_t{n.get()->exp} + m.get()->exp;
        const bool many = std::int64_t{poly_length(n)} * poly_length(m) >= 2 * degree;
        const bool vectors = degree > fast_gcd_size && many;
        EXPECT_EQ(route_delta(before).simplest_scaled + route_delta(before).simplest_residues,
                  vectors ? 1 : 0);
        ScopedValue<std::int32_t> no_rows(sparse_rows_ratio, 0);
        const mult_route_counts before_vectors = mult_routes;
        Poly v;
        simplest_poly_mult(n, m, v.cell(), 0, 0, 0, 0);
        ASSERT_EQ(read_poly(v), want);
        EXPECT_EQ(route_delta(before_vectors).simplest_residues, vectors ? 1 : 0);
      }
    }
  });
}

// A short operand (2 to 9 terms, spread apart, with or without a constant)
// times a long dense one: the scaled copies in one element vector against
// the term-list rows (the cut-off pushed past every length) and the
// reference, on both sides of scaled_rows_terms; too sparse a product
// stays on the rows.
TEST_F(PolyMultTest, ShortTimesLongByScaledRows) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 83);
  ScopedValue<std::int32_t> cut(scaled_rows_terms, 60);
  for_each_ring({Ring::mod7, Ring::mod_big, Ring::gf256}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(8); ++i) {
      const int count = 2 + i % 8, spread = i % 3 == 0 ? 1 : 37 * i;
      RefPoly a(1);
      for (int k = i % 2; k < count + i % 2; ++k)
        a = a + RefPoly::constant(1, BigRef(static_cast<std::int64_t>(1 + rng() % 200))) *
                    RefPoly::variable(1, 0, spread * k);
      a = for_ring(ring, a);
      // 59, 60 or 61 terms about the cut-off, else more.
      const int len = i % 2 == 1 ? 58 + i % 3 : 60 + static_cast<int>(rng() % 200);
      RefPoly b(1);
      for (int k = 0; k <= len; ++k)
        b = b + RefPoly::constant(1, BigRef(static_cast<std::int64_t>(1 + rng() % 6))) *
                    RefPoly::variable(1, 0, k);
      b = for_ring(ring, b);
      Poly n(a), m(b), product(ring_product(ring, a, b));
      const RefPoly want = read_poly(product);  // in the session's variables
      Poly rows;
      {
        ScopedValue<std::int32_t> never(scaled_rows_terms, INT32_MAX);
        simplest_poly_mult(n, m, rows.cell(), 0, 0, 0, 0);
      }
      ASSERT_EQ(read_poly(rows), want);
      for (const bool swapped : {false, true}) {
        const mult_route_counts before = mult_routes;
        Poly r;
        simplest_poly_mult(swapped ? m : n, swapped ? n : m, r.cell(), 0, 0, 0, 0);
        ASSERT_EQ(read_poly(r), want)
            << ring_name(ring) << " count " << count << " spread " << spread;
        const std::int64_t terms = poly_length(m),
                           degree = std::int64_t{n.get()->exp} + m.get()->exp;
        const bool scaled =
            terms >= 60 && poly_length(n) >= 2 && degree <= 4 * poly_length(n) * terms;
        EXPECT_EQ(route_delta(before).simplest_scaled, scaled ? 1 : 0)
            << ring_name(ring) << " len " << len;
      }
    }
  });
}

TEST_F(PolyMultTest, OneVariableRoutesOnBothSidesOfTheirCutOffs) {
  PolyVars one{"x"};
  ModulusScope mod(65521);
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 2);
  auto route_of = [&](const RefPoly& a, const RefPoly& b) {
    Poly n(a), m(b), r;
    const mult_route_counts before = mult_routes;
    poly_mult(n, m, r.cell(), nilpol);
    EXPECT_EQ(read_poly(r), ring_product(Ring::mod65521, a, b));
    return route_delta(before);
  };
  const RefPoly a = for_ring(Ring::mod65521, dense_in(rng, 1, 0, 39, 1.0, 0, 1));
  const RefPoly b = for_ring(Ring::mod65521, dense_in(rng, 1, 0, 30, 1.0, 0, 1));
  {
    // Degree sum above fast_gcd_size: residue vectors over a prime field.
    ScopedValue<std::int32_t> cap(fast_gcd_size, 68);
    const mult_route_counts d = route_of(a, b);
    EXPECT_EQ(d.simplest_residues, 1);
    EXPECT_EQ(d.simplest_karatsuba, 0);
    // Less than a quarter of the exponents present: the list split.
    RefPoly thin(1);
    for (int k = 0; k < 12; ++k) thin = thin + RefPoly::variable(1, 0, 5 * k);
    const mult_route_counts t = route_of(thin, thin);
    EXPECT_EQ(t.simplest_residues, 0);
    EXPECT_EQ(t.simplest_karatsuba, 1);
  }
  {
    ScopedValue<std::int32_t> cap(fast_gcd_size, 69);  // degree sum 69: not above
    const mult_route_counts d = route_of(a, b);
    EXPECT_EQ(d.simplest_karatsuba, 0);
    EXPECT_EQ(d.simplest_arrays, 1);
  }
  // Fewer than fast_mult_cut terms: schoolbook rows.
  const RefPoly short9 = for_ring(Ring::mod65521, dense_in(rng, 1, 0, 8, 1.0, 0, 1));
  EXPECT_EQ(route_of(short9, b).simplest_rows, 1);
  // Degree at least four times the terms (not sparse): schoolbook rows.
  RefPoly spread(1);
  for (int k = 0; k <= 10; ++k) spread = spread + RefPoly::variable(1, 0, 5 * k);
  const mult_route_counts d = route_of(spread, b);
  EXPECT_EQ(d.simplest_arrays, 0);
  EXPECT_EQ(d.simplest_rows, 1);
}

TEST_F(PolyMultTest, TwoVariableProductsGoToTheArraysModuloAPrime) {
  std::mt19937_64 rng(test_seed() + 7);
  for_each_ring({Ring::mod7, Ring::mod65521, Ring::mod_big}, [&](Ring ring) {
    const mult_route_counts before = mult_routes;
    for (int i = 0; i < test_iterations(6); ++i) {
      // Every power of x up to 31 .. 60 over a polynomial in y of degree up to 12.
      const RefPoly a = in_ring(ring, dense_in(rng, 4, 0, 31 + i * 5, 1.0, 1, 1));
      const RefPoly b = in_ring(ring, dense_in(rng, 4, 0, 40 - i, 0.95, 1, 1));
      SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
      Poly n(a), m(b), r;
      const mult_route_counts one = mult_routes;
      poly_mult(n, m, r.cell(), vars.level(1));
      ASSERT_EQ(route_delta(one).two_variable, 1);
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(read_poly(r), ring_product(ring, a, b));
    }
    EXPECT_GT(route_delta(before).two_variable, 0);
  });
  {  // not in Laurent mode, nor with a degree of 30
    ModulusScope mod(65521);
    const RefPoly a = in_ring(Ring::mod65521, dense_in(rng, 4, 0, 30, 1.0, 1, 1));
    const RefPoly b = in_ring(Ring::mod65521, dense_in(rng, 4, 0, 45, 1.0, 1, 1));
    Poly n(a), m(b), r;
    const mult_route_counts before = mult_routes;
    poly_mult(n, m, r.cell(), vars.level(1));
    EXPECT_EQ(route_delta(before).two_variable, 0);
    EXPECT_EQ(read_poly(r), ring_product(Ring::mod65521, a, b));
  }
  // The degree cut-off is a threshold: lowered, products of degrees below 30
  // take the arrays too (the arrays still want more than 25 top terms).
  for (std::int32_t cut : {25, 27}) {
    ScopedValue<std::int32_t> lowered(fast_2_var_degree, cut);
    ModulusScope mod(65521);
    for (int i = 0; i < test_iterations(4); ++i) {
      const RefPoly a = in_ring(Ring::mod65521, dense_in(rng, 4, 0, cut + 1 + i % 2, 1.0, 1, 1));
      const RefPoly b = in_ring(Ring::mod65521, dense_in(rng, 4, 0, cut + 2, 1.0, 1, 1));
      SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
      Poly n(a), m(b), r;
      const mult_route_counts before = mult_routes;
      poly_mult(n, m, r.cell(), vars.level(1));
      EXPECT_EQ(route_delta(before).two_variable, 1);
      EXPECT_EQ(read_poly(r), ring_product(Ring::mod65521, a, b));
    }
  }
}

// ---- Views, aliasing, constants --------------------------------------------------------------

TEST_F(PolyMultTest, KaratsubaViewsAreRestoredWhenAnErrorUnwinds) {
  set_cutoffs(4);
  // Exponents near 2^30: the products overflow 32 bits deep inside the split.
  RefPoly a(4), b(4);
  for (int k = 0; k < 12; ++k) {
    a = a + RefPoly::variable(4, 0, (1 << 30) + k) * ref("y + " + std::to_string(k + 1));
    b = b + RefPoly::variable(4, 0, (1 << 30) + 2 * k) * ref("z - 1");
  }
  Poly n(a), m(b);
  const Snapshot sn(n), sm(m);
  const mult_route_counts before = mult_routes;
  Poly r;
  testing::internal::CaptureStdout();
  EXPECT_THROW(poly_mult(n, m, r.cell(), vars.level(1)), TopLevelJump);
  testing::internal::GetCapturedStdout();
  EXPECT_GT(route_delta(before).karatsuba, 0);
  EXPECT_TRUE(Snapshot(n) == sn);
  EXPECT_TRUE(Snapshot(m) == sm);
  EXPECT_EQ(n.ref(), a);
  {  // the one-variable split modulo 2
    PolyVars one{"x"};
    ModulusScope mod(256);
    RefPoly c(1);
    for (int k = 0; k < 12; ++k) c = c + RefPoly::variable(1, 0, (1 << 30) + k);
    Poly p(c);
    const Snapshot sp(p);
    testing::internal::CaptureStdout();
    EXPECT_THROW(simplest_poly_mult(p, p, r.cell(), 0, 0, 0, 0), TopLevelJump);
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(Snapshot(p) == sp);
  }
}

TEST_F(PolyMultTest, InPlaceProductsAndSquares) {
  NodeBalance balance;
  set_cutoffs(6);
  std::mt19937_64 rng(test_seed() + 3);
  for (int i = 0; i < test_iterations(20); ++i) {
    const RefPoly a = dense_in(rng, 4, 0, 12, 0.8, 2, 2);
    const RefPoly b = random_refpoly(rng, 4, 10, 3, 2);
    Poly n(a), m(b);
    poly_mult(n, m, n.cell(), vars.level(1));  // into the first operand's cell
    ASSERT_EQ(n.ref(), a * b);
    poly_mult(n, m, m.cell(), vars.level(1));  // into the second
    ASSERT_EQ(m.ref(), a * b * b);
    Poly s(a);
    poly_mult(s, s, s.cell(), vars.level(1));  // squared in place
    ASSERT_TRUE(valid_poly(s));
    ASSERT_EQ(s.ref(), a * a);
  }
}

TEST_F(PolyMultTest, ConstantFactors) {
  NodeBalance balance;
  Poly p("3*x^2*y - z + 5");
  for (const char* zero : {"0"}) {
    Poly z(zero), r;
    poly_mult(z, p, r.cell(), nilpol);
    EXPECT_EQ(dump_poly(r), "0");
    poly_mult(p, z, r.cell(), nilpol);
    EXPECT_EQ(dump_poly(r), "0");
  }
  Poly one("1"), r;
  poly_mult(one, p, r.cell(), nilpol);
  EXPECT_EQ(r.ref(), p.ref());
  EXPECT_NE(r.get(), p.get());
  Poly a("6"), b("-7");
  poly_mult(a, b, r.cell(), nilpol);
  EXPECT_EQ(dump_poly(r), "-42");
  {
    WordMode w;
    Poly c("65536"), d("65536"), q;
    poly_mult(c, d, q.cell(), nilpol);  // the plain 32-bit product wraps
    EXPECT_EQ(dump_poly(q), "0");
  }
  {
    ModulusScope m(7);
    Poly c("3*x + 4"), q;
    poly_mult(Poly("7"), c, q.cell(), nilpol);  // 7 is 0 modulo 7
    EXPECT_EQ(dump_poly(q), "0");
  }
}

TEST_F(PolyMultTest, StandardFormRaisesNegativeResidues) {
  ModulusScope m(11);
  NodeBalance balance;
  Poly p("3*x*y + 4");
  p->pcoef->pcoef->ncoef->lint = -8;
  p->next->ncoef->lint = -1;
  standard_form(p);
  EXPECT_EQ(p.ref(), ref("3*x*y + 10"));
}

// ---- Products under relations ------------------------------------------------------------------

class RelationTest : public ::testing::Test {
 protected:
  PolyVars vars{"t", "x"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

TEST_F(RelationTest, NumericRelationExample) {
  NodeBalance balance;
  RelationScope rel(vars.level(1), make_poly("2"), 3);
  Poly a("t^2 + 1"), b("t^2 + t"), r;
  poly_mult(a, b, r.cell(), vars.level(1));
  EXPECT_EQ(r.ref(), ref("t^2 + 3*t + 2"));
  EXPECT_TRUE(valid_poly(r));
}

TEST_F(RelationTest, NumericRelationsInEveryRingAndRoute) {
  std::mt19937_64 rng(test_seed() + 4);
  for_each_ring(
      {Ring::integers, Ring::mod7, Ring::mod65521, Ring::gf256, Ring::floating}, [&](Ring ring) {
        const mult_route_counts before = mult_routes;
        for (int E : {3, 7, 25}) {
          const BigRef c = ring == Ring::floating ? BigRef(3) : BigRef(5);
          RelationScope rel(vars.level(1), make_leaf(c), E);
          vars.level(1)->polycut = 6;
          for (int i = 0; i < test_iterations(12); ++i) {
            // Reduced operands: degree in t below E.
            const int inner = i % 2;  // coefficients numbers or polynomials in x
            const RefPoly a = for_ring(ring, dense_in(rng, 2, 0, E - 1 - i % 2, 0.9, inner, 1));
            const RefPoly b = for_ring(ring, dense_in(rng, 2, 0, E - 1, 0.8, inner, 1));
            SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
            Poly n(a), m(b), r;
            poly_mult(n, m, r.cell(), vars.level(1));
            ASSERT_TRUE(valid_poly(r));
            ASSERT_EQ(read_poly(r),
                      fold_ref(ring, ring_product(ring, a, b), 0, E, RefPoly::constant(2, c)));
          }
          // Unreduced operands (degree E and more) still give the reduced product.
          const RefPoly u = for_ring(ring, ref("t^" + std::to_string(E + 2) + " + x*t + 1"));
          const RefPoly v = for_ring(ring, ref("t^" + std::to_string(2 * E) + " + 2"));
          Poly n(u), m(v), r;
          poly_mult(n, m, r.cell(), vars.level(1));
          ASSERT_TRUE(valid_poly(r));
          ASSERT_EQ(read_poly(r),
                    fold_ref(ring, ring_product(ring, u, v), 0, E, RefPoly::constant(2, c)));
        }
        const mult_route_counts d = route_delta(before);
        EXPECT_GT(d.schoolbook, 0);
        EXPECT_GT(d.karatsuba + d.one_variable, 0);
      });
}

// t^3 = t + 1 with the reduced powers t^4 = t^2 + t and t^3 = t + 1.
TEST_F(RelationTest, PolynomialRelationFoldsProductsThroughTheReducedPowers) {
  std::mt19937_64 rng(test_seed() + 5);
  for_each_ring({Ring::integers, Ring::mod7, Ring::gf256}, [&](Ring ring) {
    // In characteristic 2, -t - 1 is t + 1.
    const RefPoly relpoly =
        ring == Ring::gf256 ? ref("t^3 + t + 1") : in_ring(ring, ref("t^3 - t - 1"));
    const RefPoly rhs = in_ring(ring, ref("t + 1"));
    poly md = term(4, build_poly(in_ring(ring, ref("t^2 + t"))), term(3, build_poly(rhs)));
    RelationScope rel(vars.level(1), build_poly(relpoly), 3, md);
    for (int i = 0; i < test_iterations(40); ++i) {
      // Coefficients in x keep the products off the one-variable route,
      // whose fold divides by the relation.
      const RefPoly a = in_ring(ring, dense_in(rng, 2, 0, 2, 0.9, i % 2, 2) * ref("x + 1"));
      const RefPoly b = in_ring(ring, dense_in(rng, 2, 0, 1 + i % 2, 0.9, 1, 2) * ref("x - 1"));
      SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
      Poly n(a), m(b), r;
      poly_mult(n, m, r.cell(), vars.level(1));
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(read_poly(r), fold_ref(ring, ring_product(ring, a, b), 0, 3, rhs));
    }
  });
}

}  // namespace
}  // namespace tavrin::test
