// The packed product of one-variable polynomials over the integers (one
// big-integer product on slots of bits) against the summation by cells or
// heap it replaces, on both sides of its cut-off: dense, sparse and
// unbalanced operands, negative coefficients, magnitudes at the limb
// boundaries and at the two-limb top, a negative leading coefficient and a
// leading 1 over a negative one (slots that lend), squares and products in
// place, a variable below the top one, and degrees far past the cells.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>

#include "core/thresholds.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

class PackedProductTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z", "w"};
};

// A coefficient of the kind asked for: two digits; at the limb boundary
// (2^28 - 1, 2^28, 2^28 + 1); near the top of two limbs (2^56 - 1 down);
// a fixed positive value (every product sum at its largest).
BigRef coefficient(std::mt19937_64& rng, int kind) {
  const bool negative = rng() % 2 != 0;
  BigRef c(1);
  switch (kind) {
    case 0: c = BigRef(static_cast<std::int64_t>(1 + rng() % 99)); break;
    case 1: c = BigRef::pow2(28) + BigRef(static_cast<std::int64_t>(rng() % 3) - 1); break;
    case 2: c = BigRef::pow2(56) - BigRef(static_cast<std::int64_t>(1 + rng() % 1000)); break;
    default: return BigRef(97);
  }
  return negative ? BigRef(0) - c : c;
}

// A polynomial in variable `var` (0: x, 1: y) of degree deg with about
// `terms` terms (all when terms > deg), the top and bottom ones present.
RefPoly onevar(std::mt19937_64& rng, int var, std::int32_t deg, std::int32_t terms, int kind) {
  RefPoly p(4);
  auto put = [&](std::int32_t e) {
    RefPoly::Exps ex(4, 0);
    ex[static_cast<std::size_t>(var)] = e;
    p.add_term(ex, coefficient(rng, kind));
  };
  std::set<std::int32_t> exps{0, deg};
  if (terms > deg) {
    for (std::int32_t e = 1; e < deg; ++e) exps.insert(e);
  } else {
    while (static_cast<std::int32_t>(exps.size()) < terms)
      exps.insert(static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(deg)));
  }
  for (std::int32_t e : exps) put(e);
  return p;
}

// The product of a and b (and a's square, and the product in place)
// packed against the summation, node for node, and against the reference
// when `reference`; the operands unchanged.
void check_packed(const RefPoly& a, const RefPoly& b, bool reference, const std::string& what) {
  SCOPED_TRACE(what);
  Poly n(a), m(b);
  const std::string sn = node_shape(n), sm = node_shape(m);
  Poly summed, summed_sq;
  {
    ScopedValue<std::int32_t> never(flat_packed_ratio, 0);
    ASSERT_TRUE(flat_poly_mult(n, m, summed.cell(), nilpol));
    ASSERT_TRUE(flat_poly_mult(n, n, summed_sq.cell(), nilpol));
  }
  ScopedValue<std::int32_t> always(flat_packed_ratio, 1 << 30);
  const flat_mult_counts before = flat_mult_methods;
  Poly r, sq;
  ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), nilpol));
  ASSERT_TRUE(flat_poly_mult(n, n, sq.cell(), nilpol));
  ASSERT_EQ(flat_mult_methods.packed, before.packed + 2);
  ASSERT_TRUE(valid_poly(r));
  ASSERT_EQ(dump_poly(r), dump_poly(summed));
  ASSERT_EQ(dump_poly(sq), dump_poly(summed_sq));
  if (reference) {
    ASSERT_EQ(read_poly(r), a * b);
    ASSERT_EQ(read_poly(sq), a * a);
  }
  ASSERT_EQ(node_shape(n), sn);
  ASSERT_EQ(node_shape(m), sm);
  ASSERT_TRUE(flat_poly_mult(n, m, n.cell(), nilpol));
  ASSERT_EQ(dump_poly(n), dump_poly(summed));
}

TEST_F(PackedProductTest, AgreesWithTheSummationOnEveryKindOfOperand) {
  std::mt19937_64 rng(test_seed());
  RingScope scope(Ring::integers);
  NodeBalance balance;
  for (int i = 0; i < test_iterations(48); ++i) {
    const int kind = i % 4;
    const int var = (i / 4) % 2;
    // Dense, sparse, one short factor.
    const std::int32_t da = 1 + static_cast<std::int32_t>(rng() % 300);
    const std::int32_t db = (i % 3 == 2) ? 1 + static_cast<std::int32_t>(rng() % 6)
                                         : 1 + static_cast<std::int32_t>(rng() % 300);
    const std::int32_t ta = (i % 3 == 1) ? 2 + static_cast<std::int32_t>(rng() % 20) : da + 1;
    const RefPoly a = onevar(rng, var, da, ta, kind);
    const RefPoly b = onevar(rng, var, db, db + 1, (kind + i / 8) % 4);
    check_packed(a, b, true,
                 std::to_string(i) + ": " + a.to_string(vars.names()) + "  times  " +
                     b.to_string(vars.names()));
    if (HasFatalFailure()) return;
  }
}

TEST_F(PackedProductTest, SlotsThatLendAndSlotsAtTheirBound) {
  RingScope scope(Ring::integers);
  NodeBalance balance;
  const std::vector<std::string>& names = vars.names();
  // A leading 1 over negative coefficients, a negative leading coefficient,
  // all coefficients -1, and equal coefficients whose product sums reach
  // the slots' bound (the middle of (c sum x^i)^2 is n c^2; with n = 63 and
  // c = 2^28 - 1 it needs all but the sign bit of a 63-bit slot).
  for (const char* text :
       {"x^5 - 3*x^4 + 2*x - 1", "-x^7 + 4*x^3 + 1", "-x^6 - x^5 - x^4 - x^3 - x^2 - x - 1",
        "x^40 - 99*x^39 - 99*x^38 + 1", "y^9 - 5*y^8 - 7"}) {
    const RefPoly a = parse_ref(text, names);
    check_packed(a, a, true, text);
    if (HasFatalFailure()) return;
  }
  for (const BigRef& c : {BigRef(1), BigRef::pow2(28) - BigRef(1), BigRef::pow2(28),
                          BigRef::pow2(31), BigRef::pow2(56) - BigRef(1)}) {
    for (int sign : {1, -1}) {
      RefPoly a(4), b(4);
      for (std::int32_t e = 0; e < 63; ++e) {
        a.add_term({e, 0, 0, 0}, c);
        b.add_term({e, 0, 0, 0}, sign < 0 && e % 2 ? BigRef(0) - c : c);
      }
      check_packed(a, b, true,
                   "equal coefficients " + c.to_decimal() + (sign < 0 ? ", alternating" : ""));
      if (HasFatalFailure()) return;
    }
  }
}

TEST_F(PackedProductTest, TakenPastItsCutOffAndLeftBelowIt) {
  // The default estimate: short or very sparse operands are summed, long
  // dense ones and sparse ones past the cells (2^16 of them) packed; the
  // same products either way. Through poly_mult, as statements reach it.
  std::mt19937_64 rng(test_seed() + 1);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  const struct {
    std::int32_t da, ta, db, tb;
    bool packed;
  } cases[] = {
      {20, 21, 20, 21, false},          // short
      {20000, 21, 20000, 21, false},    // few terms far apart
      {3000, 3001, 3000, 3001, true},   // long and dense
      {5000, 5001, 40, 41, true},       // long by a short factor
      {60000, 2000, 60000, 2000, true}  // sparse, past the cells
  };
  for (const auto& c : cases) {
    const RefPoly a = onevar(rng, 0, c.da, c.ta, 0);
    const RefPoly b = onevar(rng, 0, c.db, c.tb, 0);
    SCOPED_TRACE(std::to_string(c.da) + " by " + std::to_string(c.db));
    Poly n(a), m(b), summed, r;
    {
      ScopedValue<std::int32_t> never(flat_packed_ratio, 0);
      poly_mult(n, m, summed.cell(), nilpol);
    }
    const flat_mult_counts before = flat_mult_methods;
    poly_mult(n, m, r.cell(), nilpol);
    EXPECT_EQ(flat_mult_methods.packed, before.packed + (c.packed ? 1 : 0));
    ASSERT_EQ(dump_poly(r), dump_poly(summed));
  }
}

TEST_F(PackedProductTest, DegreesFarPastTheCells) {
  // Sparse operands of degree 2^20 (the packed integers some 40 million
  // bits long) against the summation; the square of a dense operand of
  // degree 2^16 with coefficients below 50 (so the product's are below
  // half the word prime p) against the product of its residues modulo p.
  std::mt19937_64 rng(test_seed() + 2);
  RefPoly square;
  RefPoly d(4);
  {
    RingScope scope(Ring::integers);
    NodeBalance balance;
    const RefPoly a = onevar(rng, 0, 1 << 20, 40, 0);
    const RefPoly b = onevar(rng, 0, (1 << 20) - 3, 30, 1);
    check_packed(a, b, true, "degree 2^20");
    for (std::int32_t e = 0; e <= (1 << 16); ++e)
      d.add_term({e, 0, 0, 0}, BigRef(static_cast<std::int64_t>(rng() % 99) - 49));
    d.add_term({1 << 16, 0, 0, 0}, BigRef(50));
    Poly n(d), r;
    const flat_mult_counts before = flat_mult_methods;
    poly_mult(n, n, r.cell(), nilpol);
    EXPECT_EQ(flat_mult_methods.packed, before.packed + 1);
    square = read_poly(r);
  }
  RingScope scope(Ring::mod_big);
  Poly n(in_ring(Ring::mod_big, d)), r;
  poly_mult(n, n, r.cell(), nilpol);
  ASSERT_EQ(read_poly(r), in_ring(Ring::mod_big, square));
}

TEST_F(PackedProductTest, OneVariableLongCoefficientsPackPastTheSlotLimit) {
  // Coefficients of some 600 limbs need slots of over 1,024 limbs: one big
  // integer product in one variable, the products by terms in two (the
  // limit kept there); against the products by terms.
  std::mt19937_64 rng(test_seed() + 3);
  RingScope scope(Ring::integers);
  NodeBalance balance;
  for (int vars_used : {1, 2}) {
    RefPoly a(4), b(4);
    for (std::int32_t i = 0; i < 12; ++i) {
      a.add_term({i, vars_used == 2 ? i % 2 : 0, 0, 0},
                 random_big_exact(rng, 600) * BigRef(i % 3 == 0 ? -1 : 1));
      b.add_term({i, 0, 0, 0}, random_big_exact(rng, 590));
    }
    SCOPED_TRACE(vars_used);
    Poly n(a), m(b), by_terms, r;
    {
      ScopedValue<std::int32_t> never(flat_kronecker_ratio, 0);
      ASSERT_TRUE(flat_poly_mult(n, m, by_terms.cell(), nilpol));
    }
    const flat_mult_counts before = flat_mult_methods;
    ASSERT_TRUE(flat_poly_mult(n, m, r.cell(), nilpol));
    EXPECT_EQ(flat_mult_methods.kronecker, before.kronecker + (vars_used == 1 ? 1 : 0));
    ASSERT_EQ(dump_poly(r), dump_poly(by_terms));
    ASSERT_EQ(read_poly(r), a * b);
  }
}

}  // namespace
}  // namespace tavrin::test
