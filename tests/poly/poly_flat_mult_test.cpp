// The flat product against the term-by-term product (the routes below its
// threshold) and the reference polynomial, through both summations, on both
// sides of every cut-off, in the rings it serves; and the cases it refuses.
#include "poly/poly_flat_mult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/thresholds.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_flat_impl.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// The product by the routes below the flat one.
RefPoly base_product(poly n, poly m, polypt pol) {
  ScopedValue<std::int64_t> never(flat_mult_terms, INT64_MAX);
  Poly r;
  poly_mult(n, m, r.cell(), pol);
  return read_poly(r);
}

// A random operand: sparse, dense in a few variables, or a dense power.
RefPoly random_operand(std::mt19937_64& rng, int kind, int limbs) {
  switch (kind % 4) {
    case 0: return random_refpoly(rng, 4, 40, 9, limbs);
    case 1: return random_refpoly(rng, 4, 120, 30, limbs);
    case 2: {
      RefPoly s = RefPoly::constant(4, BigRef(1 + static_cast<std::int64_t>(rng() % 5)));
      for (int v = 0; v < 3; ++v) s = s + RefPoly::variable(4, v + static_cast<int>(rng() % 2));
      return s.pow(2 + static_cast<unsigned>(rng() % 5));
    }
    default: return random_refpoly(rng, 4, 8, 400, limbs);  // wide exponents
  }
}

class FlatMultTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z", "w"};
};

// Each product: the flat one equals the base routes and the reference, is a
// valid polynomial, leaves its operands unchanged, and works in place.
void check_flat(Ring ring, const RefPoly& a0, const RefPoly& b0, polypt pol,
                const std::string& what) {
  SCOPED_TRACE(what);
  const RefPoly a = in_ring(ring, a0);
  const RefPoly b = in_ring(ring, b0);
  Poly n(a), m(b);
  if (nodes::is_bare_leaf(n) || nodes::is_bare_leaf(m)) return;  // constants are refused
  const std::string sn = node_shape(n), sm = node_shape(m);
  Poly r;
  ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), pol));
  ASSERT_TRUE(valid_poly(r));
  const RefPoly got = read_poly(r);
  ASSERT_EQ(got, ring_product(ring, a, b));
  ASSERT_EQ(got, base_product(n, m, pol));
  ASSERT_EQ(node_shape(n), sn);
  ASSERT_EQ(node_shape(m), sm);
  // In place, and squares.
  Poly sq;
  ASSERT_TRUE(flat_poly_mult(n, n, sq.cell(), pol));
  ASSERT_EQ(read_poly(sq), ring_product(ring, a, a));
  ASSERT_TRUE(flat_poly_mult(n, m, n.cell(), pol));
  ASSERT_EQ(read_poly(n), got);
}

TEST_F(FlatMultTest, AgreesWithTheTermByTermProductInEveryRingAndSummation) {
  std::mt19937_64 rng(test_seed());
  const flat_mult_counts before = flat_mult_methods;
  for (Ring ring : {Ring::integers, Ring::mod3, Ring::mod7, Ring::mod65521, Ring::mod_big}) {
    SCOPED_TRACE(ring_name(ring));
    RingScope scope(ring);
    NodeBalance balance;
    // Cell widths: always the heap, a low part of one level at most, the default.
    for (std::int32_t bits : {0, 4, 9, 16}) {
      ScopedValue<std::int32_t> cells(flat_cell_bits, bits);
      for (std::int32_t ratio : {0, 4, 1 << 20}) {
        ScopedValue<std::int32_t> scan(flat_scan_ratio, ratio);
        for (int i = 0; i < test_iterations(8); ++i) {
          const int limbs = (i % 3 == 0) ? 3 : 1;  // big coefficients now and then
          const RefPoly a = random_operand(rng, i, limbs);
          const RefPoly b = random_operand(rng, i + (i / 4), limbs);
          if (a.terms().size() <= 1 || b.terms().size() <= 1) continue;
          check_flat(ring, a, b, (i % 2) ? vars.level(1) : nilpol,
                     "bits " + std::to_string(bits) + " ratio " + std::to_string(ratio) + ": " +
                         a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
          if (HasFatalFailure()) return;
        }
      }
    }
  }
  EXPECT_GT(flat_mult_methods.dense_cells, before.dense_cells);
  EXPECT_GT(flat_mult_methods.heap, before.heap);
  EXPECT_GT(flat_mult_methods.big_coefficients, before.big_coefficients);
}

// The planted sums of K products on one term: a = c sum x^i y^(K-1-i),
// b = d sum x^(K-1-j) y^j (signs alternating in b when `alternate`), every
// pair i = j landing on x^(K-1) y^(K-1).
void planted(int K, const BigRef& c, const BigRef& d, bool alternate, RefPoly& a, RefPoly& b) {
  a = RefPoly(4);
  b = RefPoly(4);
  for (int i = 0; i < K; ++i) {
    a.add_term({i, K - 1 - i, 0, 0}, c);
    b.add_term({K - 1 - i, i, 0, 0}, alternate && i % 2 ? BigRef(0) - d : d);
  }
}

TEST_F(FlatMultTest, AccumulatorsAtTheWordBoundAndPackingAtSixtyFourBits) {
  NodeBalance balance;
  const flat_mult_counts before = flat_mult_methods;
  // Both summations, and the chunks of one level, of two, of all.
  auto both_ways = [&](Ring ring, const RefPoly& a, const RefPoly& b, const std::string& what) {
    for (std::int32_t ratio : {0, 1 << 20}) {
      for (std::int32_t bits : {4, 7, 16}) {
        ScopedValue<std::int32_t> scan(flat_scan_ratio, ratio), cells(flat_cell_bits, bits);
        check_flat(ring, a, b, nilpol,
                   what + ", ratio " + std::to_string(ratio) + ", cells 2^" + std::to_string(bits));
      }
    }
  };
  RefPoly a, b;
  {
    // Integers: K (2^30 - 1)^2 stays in one word for K = 7 (3 + 30 + 30
    // bits), not for K = 8 and 15 (the last passes 2^63); two-limb
    // coefficients take 128 bits.
    RingScope z(Ring::integers);
    const BigRef c30 = BigRef::pow2(30) - BigRef(1);
    const BigRef c56 = BigRef::pow2(56) - BigRef(1);
    for (int K : {7, 8, 15}) {
      for (bool alternate : {false, true}) {
        planted(K, c30, c30, alternate, a, b);
        both_ways(Ring::integers, a, b, "K = " + std::to_string(K) + " of 2^30 - 1");
        planted(K, c56, BigRef(0) - c56, alternate, a, b);
        both_ways(Ring::integers, a, b, "K = " + std::to_string(K) + " of 2^56 - 1");
      }
    }
  }
  {
    // Residues modulo 2147483629: three products of (p - 1)^2 fit a word,
    // four do not; one word folded back by a multiple of p whenever a sum
    // passes 2^63 (every second product here), or 128 bits.
    RingScope mod(Ring::mod_big);
    const BigRef top(2147483628), mid(1073741827);
    for (std::int32_t fold : {1, 0}) {
      ScopedValue<std::int32_t> folding(flat_fold_sums, fold);
      for (int K : {3, 4, 5, 61}) {
        planted(K, top, top, false, a, b);
        both_ways(Ring::mod_big, a, b,
                  "K = " + std::to_string(K) + " of p - 1, fold " + std::to_string(fold));
        planted(K, mid, top, true, a, b);
        both_ways(Ring::mod_big, a, b,
                  "K = " + std::to_string(K) + " of p / 2, fold " + std::to_string(fold));
      }
    }
  }
  {
    // Exponent sums of 16 bits at every level (65535) fill the key; one sum
    // of 17 bits does not fit, and the flat product refuses.
    RingScope z(Ring::integers);
    RefPoly f(4), g(4);
    f.add_term({40000, 30000, 65000, 1}, BigRef(3));
    f.add_term({1, 2, 0, 32768}, BigRef(-5));
    f.add_term({0, 0, 0, 0}, BigRef(7));
    g.add_term({25535, 35535, 0, 32767}, BigRef(11));
    g.add_term({0, 1, 535, 0}, BigRef(-1));
    g.add_term({2, 0, 1, 0}, BigRef(2));
    Poly pf(f), pg(g);
    for (std::int32_t ratio : {0, 1 << 20}) {
      ScopedValue<std::int32_t> scan(flat_scan_ratio, ratio);
      Poly r;
      ASSERT_TRUE(flat_poly_mult(pf, pg, r.cell(), nilpol));
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(read_poly(r), f * g);
      ASSERT_EQ(read_poly(r), base_product(pf, pg, nilpol));
    }
    RefPoly h = g;
    h.add_term({0, 0, 536, 0}, BigRef(1));
    Poly ph(h), r("7");
    EXPECT_FALSE(flat_poly_mult(pf, ph, r.cell(), nilpol));
    EXPECT_EQ(dump_poly(r), "7");
    poly_mult(pf, ph, r.cell(), nilpol);
    EXPECT_EQ(read_poly(r), f * h);
  }
  EXPECT_GT(flat_mult_methods.dense_cells, before.dense_cells);
  EXPECT_GT(flat_mult_methods.heap, before.heap);
}

TEST_F(FlatMultTest, CompositeModulusProductsThatVanish) {
  ModulusScope mod(6, false);
  NodeBalance balance;
  // (2x + 4y)(3x + 3y^2) = 0 modulo 6; (2x + 1)(3x + 1) = 5x + 1.
  Poly a("2*x + 4*y"), b("3*x + 3*y^2"), c("2*x + 1"), d("3*x + 1");
  Poly r;
  ASSERT_TRUE(flat_poly_mult(a, b, r.cell(), nilpol));
  EXPECT_EQ(dump_poly(r), "0");
  ASSERT_TRUE(flat_poly_mult(c, d, r.cell(), nilpol));
  EXPECT_TRUE(valid_poly(r));
  EXPECT_EQ(read_poly(r), parse_ref("5*x + 1", vars.names()));
}

TEST_F(FlatMultTest, WideAccumulatorsAtTheirBound) {
  // Every product of a_i = c x^i y^(K-i) and b_j = c x^(K-j) y^j with i = j
  // lands on x^K y^K: K + 1 products of (2^56 - 1)^2 on one term, and the
  // signs alternate in a second pair. The term x^(K+d) y^(K-d) sums the
  // products with i - j = d, so its coefficient is c^2 times a count of
  // signs: a closed form that needs no product of long references, which
  // keeps the largest K affordable under the sanitizer.
  NodeBalance balance;
  RingScope scope(Ring::integers);
  const BigRef c = BigRef(std::int64_t{1} << 56) - BigRef(1);
  for (int K : {1, 200, 700}) {
    SCOPED_TRACE(K);
    RefPoly a(4), b(4), e(4), same(4), alternating(4);
    for (int i = 0; i <= K; ++i) {
      RefPoly::Exps x{i, K - i, 0, 0}, y{K - i, i, 0, 0};
      a.add_term(x, c);
      b.add_term(y, i % 2 ? c : BigRef(0) - c);
      e.add_term(y, c);
    }
    for (int d = -K; d <= K; ++d) {
      std::int64_t signs = 0;
      for (int j = std::max(0, -d); j <= K && j + d <= K; ++j) signs += j % 2 ? 1 : -1;
      const RefPoly::Exps m{K + d, K - d, 0, 0};
      same.add_term(m, c * c * BigRef(K + 1 - std::abs(d)));
      if (signs != 0) alternating.add_term(m, c * c * BigRef(signs));
    }
    for (std::int32_t bits : {0, 16}) {
      ScopedValue<std::int32_t> cells(flat_cell_bits, bits);
      if (K <= 200) {
        check_flat(Ring::integers, a, e, nilpol, "same signs");
        check_flat(Ring::integers, a, b, nilpol, "alternating signs");
      }
      Poly n(a), m(e), m2(b), r;
      ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), nilpol));
      ASSERT_EQ(read_poly(r), same);
      ASSERT_TRUE(flat_poly_mult(n, m2, r.cell(), nilpol));
      ASSERT_EQ(read_poly(r), alternating);
    }
  }
}

TEST_F(FlatMultTest, OneBigIntegerProductAgreesWithTheProductByTerms) {
  // Long coefficients: the packed product (any density taken) against the
  // coefficient products one by one, on dense and sparse operands and on
  // coefficients of the largest magnitude of their length (2^(28 k) - 1),
  // which fill their slots, with mixed and with equal signs.
  std::mt19937_64 rng(test_seed());
  RingScope scope(Ring::integers);
  NodeBalance balance;
  const flat_mult_counts before = flat_mult_methods;
  for (int i = 0; i < test_iterations(60); ++i) {
    RefPoly a = random_operand(rng, i, 1 + i % 4);
    RefPoly b = random_operand(rng, i / 2, 1 + i % 3);
    if (i % 5 == 4) {
      const BigRef top = BigRef::pow2(28 * static_cast<unsigned>(1 + i % 3)) - BigRef(1);
      RefPoly fa(4), fb(4);
      for (const auto& [e, c] : a.terms())
        fa.add_term(e, (i % 2 || c.sign() > 0) ? top : BigRef(0) - top);
      for (const auto& [e, c] : b.terms()) fb.add_term(e, c.sign() > 0 ? top : BigRef(0) - top);
      a = fa;
      b = fb;
    }
    if (a.terms().size() <= 1 || b.terms().size() <= 1) continue;
    SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
    Poly n(a), m(b);
    Poly by_terms;
    {
      ScopedValue<std::int32_t> never(flat_kronecker_ratio, 0);
      ASSERT_TRUE(flat_poly_mult(n, m, by_terms.cell(), nilpol));
    }
    ScopedValue<std::int32_t> always(flat_kronecker_ratio, 4096);
    check_flat(Ring::integers, a, b, nilpol, "packed");
    Poly r;
    ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), nilpol));
    ASSERT_EQ(dump_poly(r), dump_poly(by_terms));
  }
  EXPECT_GT(flat_mult_methods.kronecker, before.kronecker);
}

TEST_F(FlatMultTest, PackedProductsPastTheWidestTransform) {
  // Few terms far apart with coefficients of about 440 limbs: slots of 871
  // limbs, some 4.5 million limbs in all, whose packed integers (about a
  // million words each) multiply in transformed pieces. Against the
  // coefficient products one by one and the reference; the largest
  // magnitudes of their length fill the slots, with mixed and equal signs.
  std::mt19937_64 rng(test_seed() + 5);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  ScopedValue<std::int32_t> sparse_enough(flat_kronecker_ratio, 1 << 30);
  const BigRef top = BigRef::pow2(28 * 440) - BigRef(1);
  for (int round = 0; round < 2; ++round) {
    RefPoly a(4), b(4);
    for (std::int32_t i = 0; i < 4; ++i)
      a.add_term({215 * i, i % 2, 0, 0},
                 round == 0 ? random_big_exact(rng, 440) : (i == 2 ? -top : top));
    for (std::int32_t j = 0; j < 3; ++j)
      b.add_term({320 * j, j, 0, 0}, round == 0 ? -random_big_exact(rng, 430) : top);
    SCOPED_TRACE(round == 0 ? "random coefficients" : "largest coefficients");
    const flat_mult_counts before = flat_mult_methods;
    Poly n(a), m(b), packed, by_terms;
    ASSERT_TRUE(flat_poly_mult(n, m, packed.cell(), nilpol));
    ASSERT_EQ(flat_mult_methods.kronecker, before.kronecker + 1);
    {
      ScopedValue<std::int32_t> never(flat_kronecker_ratio, 0);
      ASSERT_TRUE(flat_poly_mult(n, m, by_terms.cell(), nilpol));
    }
    ASSERT_EQ(dump_poly(packed), dump_poly(by_terms));
    ASSERT_EQ(read_poly(packed), a * b);
    // The square packs once and squares.
    Poly sq;
    ASSERT_TRUE(flat_poly_mult(n, n, sq.cell(), nilpol));
    ASSERT_EQ(flat_mult_methods.kronecker, before.kronecker + 2);
    ASSERT_EQ(read_poly(sq), a * a);
  }
}

TEST_F(FlatMultTest, ALeadingOneOverANegativeCoefficientPacksToAnEmptyTopSlot) {
  // x^k - c x^(k-1) + ... packs to an integer whose top slot is empty (the
  // 1 lent to the slot below): read back, the lending may reach one slot
  // past the integer's words, as it does when they end at a slot's end.
  // The packed product, square and quotient, not the products by terms,
  // give such products (monic powers, for one). Coefficients past two
  // limbs, in slots of 5 to 19 limbs: 16 limbs a slot end the operands'
  // words at a slot's end.
  RingScope scope(Ring::integers);
  NodeBalance balance;
  ScopedValue<std::int32_t> always(flat_kronecker_ratio, 4096);
  for (unsigned bits = 60; bits < 260; ++bits) {
    for (int top_sign : {1, -1}) {
      const BigRef c = BigRef::pow2(bits) + BigRef(5);
      RefPoly a(4), b(4);
      a.add_term({3, 0, 0, 0}, BigRef(top_sign));
      a.add_term({2, 0, 0, 0}, BigRef(0) - c * BigRef(top_sign));
      a.add_term({0, 0, 0, 0}, BigRef(7));
      b.add_term({2, 0, 0, 0}, BigRef(1));
      b.add_term({1, 0, 0, 0}, BigRef(0) - c);
      b.add_term({0, 0, 0, 0}, BigRef(-3));
      SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
      const flat_mult_counts before = flat_mult_methods;
      Poly n(a), m(b), r, sq, q;
      ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), nilpol));
      ASSERT_TRUE(flat_poly_mult(n, n, sq.cell(), nilpol));
      ASSERT_EQ(flat_mult_methods.kronecker, before.kronecker + 2);
      ASSERT_EQ(read_poly(r), a * b);
      ASSERT_EQ(read_poly(sq), a * a);
      ASSERT_TRUE(flat_exact_quotient(r, m, q.cell(), nilpol));
      ASSERT_EQ(read_poly(q), a);
    }
  }
}

TEST_F(FlatMultTest, PackedProductsInPieces) {
  // A packed product longer than flat_kronecker_limbs is cut into runs of
  // slots multiplied pair by pair: with the limit from a couple of limbs (a
  // run a slot or so) up to past the whole product (one product), it equals
  // the coefficient products one by one and the reference, on random
  // operands, on the largest magnitudes of their length with mixed and
  // equal signs, and on squares.
  std::mt19937_64 rng(test_seed() + 11);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  ScopedValue<std::int32_t> always(flat_kronecker_ratio, 1 << 30);
  int rounds = 0;  // with both products packed
  for (int i = 0; i < test_iterations(16); ++i) {
    // Coefficients past two limbs, low degrees (few slots), and a dense
    // power times a long number.
    RefPoly a = random_refpoly(rng, 4, 12 + i % 20, 3 + i % 5, 3 + i % 3);
    RefPoly b = i % 4 == 1
                    ? random_operand(rng, 2, 1) * RefPoly::constant(4, BigRef::pow2(90) + BigRef(7))
                    : random_refpoly(rng, 4, 8 + i % 30, 2 + i % 6, 3 + i % 2);
    if (i % 3 == 2) {
      const BigRef top = BigRef::pow2(28 * static_cast<unsigned>(3 + i % 2)) - BigRef(1);
      RefPoly fa(4), fb(4);
      for (const auto& [e, c] : a.terms())
        fa.add_term(e, (i % 2 || c.sign() > 0) ? top : BigRef(0) - top);
      for (const auto& [e, c] : b.terms()) fb.add_term(e, c.sign() > 0 ? top : BigRef(0) - top);
      a = fa;
      b = fb;
    }
    if (a.terms().size() <= 1 || b.terms().size() <= 1) continue;
    SCOPED_TRACE(a.to_string(vars.names()) + "  times  " + b.to_string(vars.names()));
    Poly n(a), m(b), by_terms, sq_by_terms;
    {
      ScopedValue<std::int32_t> never(flat_kronecker_ratio, 0);
      ASSERT_TRUE(flat_poly_mult(n, m, by_terms.cell(), nilpol));
      ASSERT_TRUE(flat_poly_mult(n, n, sq_by_terms.cell(), nilpol));
    }
    ASSERT_EQ(read_poly(by_terms), a * b);
    ASSERT_EQ(read_poly(sq_by_terms), a * a);
    std::int64_t packed = -1;  // products packed at the first limit (the widest)
    for (const std::int64_t limit : {1 << 30, 5000, 2000, 800, 300, 120, 40, 16, 7, 2}) {
      SCOPED_TRACE("limit " + std::to_string(limit));
      ScopedValue<std::int64_t> pieces(flat_kronecker_limbs, limit);
      const flat_mult_counts before = flat_mult_methods;
      Poly r, sq;
      ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), nilpol));
      ASSERT_TRUE(flat_poly_mult(n, n, sq.cell(), nilpol));
      const std::int64_t now = flat_mult_methods.kronecker - before.kronecker;
      if (packed < 0) packed = now;
      ASSERT_EQ(now, packed);  // the pieces refuse nothing the one product takes
      ASSERT_EQ(dump_poly(r), dump_poly(by_terms));
      ASSERT_EQ(dump_poly(sq), dump_poly(sq_by_terms));
    }
    rounds += packed == 2 ? 1 : 0;
  }
  EXPECT_GE(rounds, test_iterations(16) / 3);
}

TEST(KroneckerRunCounts, TheLeastWorkWithinTheLimit) {
  // Against a search of every pair of run counts: each pair of runs within
  // the limit, and no pair within it doing less work; never more work than
  // halving both; one operand left whole when the two pass the limit by
  // little.
  const struct {
    double la, lb, limit;
  } cases[] = {{52, 52, 100},      {60, 45, 100},          {10, 95, 100},       {95, 10, 100},
               {100, 100, 100},    {240, 240, 100},        {1000, 3, 100},      {3, 1000, 100},
               {700, 300, 64},     {51, 50, 100},          {199, 1, 100},       {50, 50, 100},
               {25e6, 25e6, 48e6}, {41.7e6, 41.7e6, 48e6}, {116e6, 116e6, 48e6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.la) + " " + std::to_string(c.lb) + " " + std::to_string(c.limit));
    const detail::RunCounts r = detail::kronecker_run_counts(c.la, c.lb, c.limit);
    const auto work = [&](double ra, double rb) { return rb * c.la + ra * c.lb; };
    ASSERT_LE(c.la / static_cast<double>(r.a) + c.lb / static_cast<double>(r.b), c.limit);
    const double got = work(static_cast<double>(r.a), static_cast<double>(r.b));
    for (int ra = 1; ra <= 64; ++ra)
      for (int rb = 1; rb <= 64; ++rb)
        if (c.la / ra + c.lb / rb <= c.limit) {
          ASSERT_LE(got, work(ra, rb)) << ra << " " << rb;
        }
    EXPECT_LE(got, work(std::ceil(2 * c.la / c.limit), std::ceil(2 * c.lb / c.limit)));
  }
  EXPECT_EQ(detail::kronecker_run_counts(52, 52, 100).a, 1u);
  EXPECT_EQ(detail::kronecker_run_counts(52, 52, 100).b, 2u);
  EXPECT_EQ(detail::kronecker_run_counts(25e6, 25e6, 48e6).a *
                detail::kronecker_run_counts(25e6, 25e6, 48e6).b,
            2u);
}

TEST_F(FlatMultTest, ExactQuotientsByOneIntegerDivision) {
  RingScope scope(Ring::integers);
  NodeBalance balance;
  const std::vector<std::string>& names = vars.names();
  // Known quotients, a constant one a bare number; refusals where m does
  // not divide n or spans a variable n lacks.
  const struct {
    const char *n, *m, *q;
  } known[] = {
      {"x^2 - y^2", "x - y", "x + y"}, {"x^3 - 1", "x - 1", "x^2 + x + 1"},
      {"6*x + 6*y", "x + y", "6"},     {"x^4*y^2 - 2*x^2*y + 1", "x^2*y - 1", "x^2*y - 1"},
      {"x^2 + 1", "x + 1", nullptr},   {"2*x^2 + 2", "4*x + 4", nullptr},
      {"x^2 + x", "x + y", nullptr},
  };
  for (const auto& k : known) {
    SCOPED_TRACE(std::string(k.n) + " / " + k.m);
    Poly n(k.n, names), m(k.m, names), q;
    const bool ok = flat_exact_quotient(n, m, q.cell(), nilpol);
    ASSERT_EQ(ok, k.q != nullptr);
    if (ok) {
      ASSERT_TRUE(valid_poly(q));
      EXPECT_EQ(read_poly(q), parse_ref(k.q, names));
    }
  }
  // Random q and m with long coefficients: (q m) / m gives q, node for node
  // as the division by terms gives it; q m + 1 is refused.
  std::mt19937_64 rng(test_seed());
  const flat_mult_counts before = flat_mult_methods;
  for (int i = 0; i < test_iterations(60); ++i) {
    const RefPoly q = random_refpoly(rng, 4, 30, 5, 1 + i % 4);
    const RefPoly m = random_refpoly(rng, 4, 12, 3, 1 + i % 3);
    if (q.is_zero() || m.terms().size() <= 1) continue;
    const RefPoly n = q * m;
    SCOPED_TRACE(n.to_string(names) + "  by  " + m.to_string(names));
    Poly pn(n), pm(m), got, by_terms;
    if (!flat_exact_quotient(pn, pm, got.cell(), nilpol)) continue;  // too sparse
    ASSERT_TRUE(valid_poly(got));
    ASSERT_EQ(read_poly(got), q);
    ASSERT_TRUE(trial_poly_divide(pn, pm, by_terms.cell(), vars.level(1), false, false, false));
    ASSERT_EQ(dump_poly(got), dump_poly(by_terms));
    Poly off(n + RefPoly::constant(4, BigRef(1))), none;
    ASSERT_FALSE(flat_exact_quotient(off, pm, none.cell(), nilpol));
  }
  EXPECT_GT(flat_mult_methods.quotients, before.quotients + test_iterations(60) / 4);
}

TEST_F(FlatMultTest, RefusesWhatItDoesNotServe) {
  NodeBalance balance;
  Poly a("x*y + 2"), b("x^3 + y + 1");
  Poly r("7");
  const std::string before = dump_poly(r);
  {
    RingScope gf(Ring::gf256);
    EXPECT_FALSE(flat_poly_mult(a, b, r.cell(), nilpol));
  }
  {
    RingScope fl(Ring::floating);
    EXPECT_FALSE(flat_poly_mult(a, b, r.cell(), nilpol));
  }
  {
    RingScope w(Ring::word);
    EXPECT_FALSE(flat_poly_mult(a, b, r.cell(), nilpol));
  }
  EXPECT_FALSE(flat_poly_mult(a, Poly("5"), r.cell(), nilpol));  // a bare constant
  {
    // A relation on a level below the product's.
    polypt low = vars.level(2);
    low->p = make_poly("2");
    low->expon = 3;
    EXPECT_FALSE(flat_poly_mult(a, b, r.cell(), vars.level(1)));
    EXPECT_TRUE(flat_poly_mult(a, b, r.cell(), nilpol));  // no level: no relation
    free_poly(&low->p);
    free_poly(r.cell());
    *r.cell() = make_poly("7");
  }
  {
    // Exponent sums beyond 32 bits: the term-by-term product reports them.
    RefPoly big(4);
    big.add_term({1 << 30, 0, 0, 0}, BigRef(1));
    big.add_term({0, 1, 0, 0}, BigRef(1));
    Poly h(big);
    EXPECT_FALSE(flat_poly_mult(h, h, r.cell(), nilpol));
    testing::internal::CaptureStdout();
    EXPECT_THROW(poly_mult(h, h, r.cell(), nilpol), TopLevelJump);
    testing::internal::GetCapturedStdout();
  }
  {
    ScopedValue<bool> l(laurent, true);
    Poly neg("x^2 + x^-1");
    EXPECT_FALSE(flat_poly_mult(neg, b, r.cell(), nilpol));
  }
  EXPECT_EQ(dump_poly(r), before);
}

TEST_F(FlatMultTest, PolyMultTakesItFromItsThresholdOn) {
  std::mt19937_64 rng(test_seed() + 3);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  for (int i = 0; i < test_iterations(20); ++i) {
    const RefPoly a = random_refpoly(rng, 4, 12, 6, 2);
    const RefPoly b = random_refpoly(rng, 4, 12, 6, 2);
    Poly n(a), m(b);
    if (nodes::is_bare_leaf(n) || nodes::is_bare_leaf(m)) continue;
    const std::int64_t t = leaf_count_capped(n, INT64_MAX) * leaf_count_capped(m, INT64_MAX);
    for (std::int64_t cut : {t, t + 1}) {
      ScopedValue<std::int64_t> at(flat_mult_terms, cut);
      const long before = mult_routes.flat;
      Poly r;
      poly_mult(n, m, r.cell(), vars.level(1));
      ASSERT_EQ(read_poly(r), a * b);
      // One-variable products modulo a prime never get here; over the
      // integers every non-constant pair does from its threshold on.
      EXPECT_EQ(mult_routes.flat - before, cut == t ? 1 : 0) << a.to_string(vars.names());
    }
  }
  // What the flat product refuses (a negative exponent) goes on to the
  // later routes with the same value (their products of coefficients may
  // take the flat one).
  ScopedValue<bool> l(laurent, true);
  ScopedValue<std::int64_t> at(flat_mult_terms, 1);
  Poly neg("x^2*y + x^-1"), r;
  const mult_route_counts before = mult_routes;
  poly_mult(neg, neg, r.cell(), vars.level(1));
  EXPECT_EQ(dump_poly(r), dump_poly(Poly("x^4*y^2 + 2*x*y + x^-2")));
  EXPECT_GT(mult_routes.karatsuba + mult_routes.schoolbook, before.karatsuba + before.schoolbook);
}

TEST_F(FlatMultTest, LeafCountsExactUpToTheirCapAndAboveItPast) {
  // The leaves are the terms: a count at most the cap is exact, one past
  // it is above the cap, on long one-variable lists (where the count stops
  // early) and on nested ones.
  std::mt19937_64 rng(test_seed() + 5);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  std::vector<RefPoly> cases;
  RefPoly line(4);
  for (int e = 0; e < 300; ++e) line.add_term({e, 0, 0, 0}, BigRef(e % 7 + 1));
  cases.push_back(line);
  for (int i = 0; i < test_iterations(10); ++i) cases.push_back(random_refpoly(rng, 4, 12, 6, 2));
  for (const RefPoly& a : cases) {
    Poly n(a);
    const auto leaves = static_cast<std::int64_t>(a.terms().size());
    for (std::int64_t cap :
         {std::int64_t{1}, leaves - 1, leaves, leaves + 1, leaves / 2, std::int64_t{256}}) {
      if (cap < 1) continue;
      const std::int64_t got = leaf_count_capped(n, cap);
      if (leaves <= cap) {
        EXPECT_EQ(got, leaves) << cap << " " << a.to_string(vars.names());
      } else {
        EXPECT_GT(got, cap) << a.to_string(vars.names());
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// `terms` terms in x, y, z with exponents below `span`, coefficients of one
// limb or, with `long_coefficients`, of three.
RefPoly many_terms(std::mt19937_64& rng, int terms, int span, bool long_coefficients) {
  RefPoly r(4);
  for (int k = 0; k < terms; ++k) {
    BigRef c(static_cast<std::int64_t>(1 + rng() % 999));
    if (long_coefficients)
      c = c * BigRef::pow2(60) + BigRef(static_cast<std::int64_t>(rng() % 1000));
    const auto e = [&] { return static_cast<int>(rng() % static_cast<unsigned>(span)); };
    r.add_term({e(), e(), e(), 0}, c);
  }
  return r;
}

// What the nested level opened by an interrupt inside a product does: a
// product of its own (which must not disturb the interrupted one's arrays),
// then it resumes, or it abandons the interrupted product.
struct NestedProduct {
  static inline int levels = 0;
  static inline bool abandon = false;
  static inline const RefPoly* c = nullptr;
  static inline const RefPoly* d = nullptr;
  static inline bool right = false;
  static void runner() {
    ++levels;
    Poly n(*c), m(*d), r;
    flat_poly_mult(n, m, r.cell(), nilpol);
    // the level computes in the ring it is given (the user's)
    Poly by_terms;
    {
      ScopedValue<std::int64_t> never(flat_mult_terms, INT64_MAX);
      poly_mult(n, m, by_terms.cell(), nilpol);
    }
    right = poly_equal(r, by_terms);
    if (abandon) throw TopLevelJump{};
  }
};

// Products poll as they sum: an interrupt opens a level inside the product,
// which resumes with its right value after the level's own products, or is
// abandoned and leaves its cells clear for the next product, with every
// node back, by each summation in both kinds of ring.
TEST_F(FlatMultTest, AnInterruptedProductResumesOrIsAbandonedIntact) {
  load_data_tables();
  init_character_sets();
  make_token_ring();
  ScopedValue<command_level_runner> runner(run_command_level, &NestedProduct::runner);
  ScopedValue<bool> on(command_int, true);
  std::mt19937_64 rng(test_seed());
  for (Ring ring : {Ring::integers, Ring::mod65521}) {
    RingScope scope(ring);
    // dense cells, the heap, and (long coefficients, no packing) the heap of numbers
    for (int way = 0; way < 3; ++way) {
      SCOPED_TRACE(std::string(ring_name(ring)) + " way " + std::to_string(way));
      if (way == 2 && ring != Ring::integers) continue;
      ScopedValue<std::int32_t> scan(flat_scan_ratio, way == 0 ? 1 << 20 : 0);
      ScopedValue<std::int32_t> packing(flat_kronecker_ratio, 0);
      const bool long_coefficients = way == 2;
      // past 2^16 term products, so that the sums poll; the nested product
      // is a smaller one of the same kind
      const RefPoly a = in_ring(ring, many_terms(rng, 320, 30, long_coefficients));
      const RefPoly b = in_ring(ring, many_terms(rng, 260, 30, long_coefficients));
      const RefPoly c = in_ring(ring, many_terms(rng, 100, 20, long_coefficients));
      const RefPoly d = in_ring(ring, many_terms(rng, 100, 20, long_coefficients));
      NestedProduct::c = &c;
      NestedProduct::d = &d;
      // the product by the routes below the flat one
      Poly ab;
      {
        ScopedValue<std::int64_t> never(flat_mult_terms, INT64_MAX);
        poly_mult(Poly(a), Poly(b), ab.cell(), nilpol);
      }
      NodeBalance balance;
      for (bool abandon : {false, true}) {
        NestedProduct::levels = 0;
        NestedProduct::right = false;
        NestedProduct::abandon = abandon;
        Poly n(a), m(b), r;
        interrupt_requested = 1;
        testing::internal::CaptureStdout();
        bool unwound = false;
        try {
          flat_poly_mult(n, m, r.cell(), nilpol);
        } catch (const TopLevelJump&) {
          unwound = true;
        }
        testing::internal::GetCapturedStdout();
        interrupt_requested = 0;
        EXPECT_EQ(NestedProduct::levels, 1);
        EXPECT_TRUE(NestedProduct::right);
        EXPECT_EQ(unwound, abandon);
        if (!abandon) {
          EXPECT_TRUE(poly_equal(r, ab));
        }
        // the next product finds its arrays as a product leaves them
        Poly again;
        flat_poly_mult(n, m, again.cell(), nilpol);
        EXPECT_TRUE(poly_equal(again, ab));
      }
    }
  }
}

// A short operand of `terms` terms in x, y, z (distinct exponents), its
// coefficients of magnitude at most `top` with one of them at ±top.
RefPoly short_operand(std::mt19937_64& rng, int terms, const BigRef& top) {
  RefPoly s(4);
  for (int t = 0; t < terms; ++t) {
    const int e =
        t + 1 + static_cast<int>(rng() % 3) * 200;  // distinct, never 0: e mod 200 = t + 1
    BigRef c = t == 0 ? top : BigRef(1 + static_cast<std::int64_t>(rng() % 9000));
    if (rng() % 2 == 0) c = BigRef(0) - c;
    s.add_term({e % 5, (e / 5) % 40, e / 200, 0}, c);
  }
  return s;
}

// The long operand's copies scaled by a short operand's terms: short ones on
// both sides of flat_scaled_terms and of one limb, as the shorter operand
// and as the longer one, long ones of several limbs; and sums at the lazy
// cells' bound (lazy_row_terms products of the largest one-limb factor and
// digits on one key), each against the base routes, the reference and the
// flat product without this route.
TEST_F(FlatMultTest, ScaledCopiesByAShortOperandOnBothSidesOfTheirCutOffs) {
  std::mt19937_64 rng(test_seed() + 5105);
  RingScope z(Ring::integers);
  NodeBalance balance;
  const BigRef one_limb = BigRef::pow2(28) - 1, two_limbs = BigRef::pow2(28);
  auto check = [&](const RefPoly& a, const RefPoly& b, bool scaled, const std::string& what) {
    const long before = flat_mult_methods.scaled;
    Poly n(a), m(b);
    Poly old;
    {
      ScopedValue<std::int32_t> never(flat_scaled_terms, 0);
      ASSERT_TRUE(flat_poly_mult(n, m, old.cell(), nilpol));
    }
    ASSERT_EQ(flat_mult_methods.scaled, before);
    check_flat(Ring::integers, a, b, nilpol, what);
    if (::testing::Test::HasFatalFailure()) return;
    ASSERT_EQ(read_poly(n) * read_poly(m), read_poly(old)) << what;
    // check_flat's product and its product in place; its square is no route of this kind.
    EXPECT_EQ(flat_mult_methods.scaled - before, scaled ? 2 : 0) << what;
  };
  struct Row {
    int terms;
    bool one_limb_top;
    std::int32_t cut;
    bool scaled;
  };
  const Row rows[] = {{1, true, 16, true},   {4, true, 16, true},    {16, true, 16, true},
                      {17, true, 16, false}, {4, false, 16, false},  {4, true, 0, false},
                      {4, true, 3, false},   {127, true, 200, true}, {128, true, 200, false}};
  for (const Row& row : rows) {
    ScopedValue<std::int32_t> cut(flat_scaled_terms, row.cut);
    for (int i = 0; i < test_iterations(6); ++i) {
      const RefPoly s = short_operand(rng, row.terms, row.one_limb_top ? one_limb : two_limbs);
      const RefPoly f = random_refpoly(rng, 4, 60 + row.terms * 2, 9, 4) *
                        RefPoly::constant(4, random_big(rng, 3) * BigRef::pow2(60) + 1);
      const std::string what = std::to_string(row.terms) + " terms, cut " +
                               std::to_string(row.cut) + ": " + s.to_string(vars.names()) +
                               "  times  " + f.to_string(vars.names());
      if (f.terms().size() <= 1) continue;
      check(s, f, row.scaled, what);
      if (HasFatalFailure()) return;
      check(f, s, row.scaled, "reversed, " + what);
      if (HasFatalFailure()) return;
    }
  }
  // lazy_row_terms products of 2^28 - 1 and digits 2^28 - 1 on one key, of
  // one sign and alternating; and coefficients that cancel to zero.
  ScopedValue<std::int32_t> cut(flat_scaled_terms, 1000);
  RefPoly a, b;
  const BigRef digits = BigRef::pow2(28 * 5) - 1;
  for (bool alternate : {false, true}) {
    planted(127, one_limb, digits, alternate, a, b);
    check(a, b, true,
          std::string("127 largest products on one key") + (alternate ? ", alternating" : ""));
    if (HasFatalFailure()) return;
  }
  const RefPoly x = RefPoly::variable(4, 0), y = RefPoly::variable(4, 1);
  const RefPoly big = RefPoly::constant(4, digits);
  check(x - y, big * (x * x + x * y + y * y) + x, true,
        "(x - y)(c x^2 + c x y + c y^2 + x): x y cancels");
}

// n m ± c in one pass against the product followed by the sum (the route it
// replaces) and the reference: addends that overlap the product's terms,
// cancel it wholly or in part, reach above its exponents or are a constant;
// on both sides of flat_scaled_terms, of the lazy cells' row bound (one row
// kept for c) and of word-size coefficients; either operand order, and the
// result over c's own cell.
TEST_F(FlatMultTest, AProductAndAnAddendInOnePassAgreeWithTheProductThenTheSum) {
  std::mt19937_64 rng(test_seed() + 5107);
  RingScope z(Ring::integers);
  NodeBalance balance;
  enum class Addend { overlaps, cancels, cancels_in_part, above, constant };
  struct Row {
    int terms;
    std::int32_t cut;
    bool long_coefficients;
    Addend addend;
    bool taken;
  };
  const Row rows[] = {
      {1, 16, true, Addend::overlaps, true},        {5, 16, true, Addend::cancels, true},
      {5, 16, true, Addend::cancels_in_part, true}, {5, 16, true, Addend::above, true},
      {5, 16, true, Addend::constant, true},        {16, 16, true, Addend::overlaps, true},
      {17, 16, true, Addend::overlaps, false},      {126, 200, true, Addend::overlaps, true},
      {127, 200, true, Addend::overlaps, false},    {5, 16, false, Addend::overlaps, false},
  };
  const RefPoly x = RefPoly::variable(4, 0), w = RefPoly::variable(4, 3);
  for (const Row& row : rows) {
    ScopedValue<std::int32_t> cut(flat_scaled_terms, row.cut);
    for (int i = 0; i < test_iterations(4); ++i) {
      for (bool sub : {false, true}) {
        const RefPoly s = short_operand(rng, row.terms, BigRef::pow2(28) - 1);
        RefPoly f = random_refpoly(rng, 4, 60, 9, 1);
        if (row.long_coefficients)
          f = f * RefPoly::constant(4, BigRef::pow2(90) + random_big(rng, 3));
        if (f.terms().size() <= 1) continue;
        const RefPoly product = s * f;
        // c such that s f ± c cancels: -s f for a sum, s f for a difference
        const RefPoly cancel = sub ? product : RefPoly(4) - product;
        RefPoly c(4);
        switch (row.addend) {
          case Addend::overlaps:
            c = random_refpoly(rng, 4, 30, 9, 4) + s * random_refpoly(rng, 4, 8, 9, 3);
            break;
          case Addend::cancels: c = cancel; break;
          case Addend::cancels_in_part: c = cancel + random_refpoly(rng, 4, 10, 9, 2); break;
          case Addend::above:
            c = random_refpoly(rng, 4, 10, 9, 3) * x.pow(60) * w.pow(50) + x;
            break;
          case Addend::constant: c = RefPoly::constant(4, random_big(rng, 4) + 1); break;
        }
        if (c.terms().empty()) continue;
        const std::string what = std::to_string(row.terms) + " terms, cut " +
                                 std::to_string(row.cut) + (sub ? ", minus " : ", plus ") +
                                 c.to_string(vars.names());
        SCOPED_TRACE(what);
        Poly n(s), m(f), a(c);
        Poly fused;
        const long before = flat_mult_methods.scaled_sums;
        ASSERT_EQ(flat_mult_add(n, m, a, sub, fused.cell(), nilpol), row.taken);
        ASSERT_EQ(flat_mult_methods.scaled_sums - before, row.taken ? 1 : 0);
        if (!row.taken) {
          ASSERT_EQ(fused.get(), nullptr);
          continue;
        }
        ASSERT_TRUE(valid_poly(fused));
        Poly prod, old;
        poly_mult(n, m, prod.cell(), nilpol);
        if (sub) {
          poly_sub(prod, a, old.cell());
        } else {
          poly_add(prod, a, old.cell());
        }
        ASSERT_EQ(read_poly(fused), read_poly(old));
        ASSERT_EQ(read_poly(fused), sub ? product - c : product + c);
        ASSERT_EQ(read_poly(a), c);
        ASSERT_TRUE(flat_mult_add(m, n, a, sub, a.cell(), nilpol));
        ASSERT_EQ(read_poly(a), read_poly(old));
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
