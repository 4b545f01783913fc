// The Karatsuba array product and the product drivers: every split (the
// schoolbook fall-backs, the 15x and 2x span rules, the balanced step) is
// taken on purpose, with the cut-off pushed to its extremes, and every result
// is checked against a naive reference product, the schoolbook product, or
// evaluation at random points.
#include "dense/dense_mult.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"
#include "support/poly_support.h"
#include "support/word_field_test.h"

namespace tavrin::test {
namespace {

const std::int32_t moduli[] = {101, 65521, 65537, 2147483629, 256};

std::string ring_name(std::int32_t p) { return "modulus " + std::to_string(p); }

// A polynomial of degree deg with every coefficient non-zero, so that no
// piece of a split loses its top entries.
Coeffs full_coeffs(std::mt19937_64& rng, const RefField& f, std::int64_t deg) {
  Coeffs a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a)
    c = 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(f.p() - 1));
  return a;
}

// a(r) by Horner's rule in the reference field.
std::int64_t evaluate(const RefField& f, const Coeffs& a, std::int64_t r) {
  std::int64_t v = 0;
  for (auto it = a.rbegin(); it != a.rend(); ++it) v = f.add(f.mul(v, r), *it);
  return v;
}

// Karatsuba steps taken by one call.
struct Steps {
  std::uint64_t balanced, unbalanced;
};

// Work arrays for slice products: x and y hold the operands at offsets xa
// and ya, z is pre-filled with garbage.
class SliceProduct {
 public:
  SliceProduct() : x_(gcd_array_size, 0), y_(gcd_array_size, 0), z_(gcd_array_size, -3) {}

  // Karatsuba product of a at xa and b at ya; returns the steps taken.
  Steps run(const Coeffs& a, std::int32_t xa, const Coeffs& b, std::int32_t ya) {
    std::fill(x_.begin(), x_.end(), 0);
    std::fill(y_.begin(), y_.end(), 0);
    std::fill(z_.begin(), z_.end(), -3);
    load_array(a, x_.data(), xa);
    load_array(b, y_.data(), ya);
    xa_ = xa;
    ya_ = ya;
    xb_ = xa + static_cast<std::int32_t>(a.size()) - 1;
    yb_ = ya + static_cast<std::int32_t>(b.size()) - 1;
    const dense_detail::KaratsubaSteps before = dense_detail::karatsuba_steps;
    fast_array_onevar_mult(x_.data(), y_.data(), z_.data(), xa_, xb_, ya_, yb_);
    return {dense_detail::karatsuba_steps.balanced - before.balanced,
            dense_detail::karatsuba_steps.unbalanced - before.unbalanced};
  }
  // The product's entries xa + ya .. xb + yb.
  Coeffs result() const { return array_slice(z_.data(), xa_ + ya_, xb_ + yb_); }
  // The same product by the schoolbook routine.
  Coeffs schoolbook() {
    std::vector<std::int32_t> w(gcd_array_size, -5);
    onevar_mult(x_.data(), y_.data(), w.data(), xa_, xb_, ya_, yb_);
    return array_slice(w.data(), xa_ + ya_, xb_ + yb_);
  }
  std::int32_t z(std::int32_t k) const { return z_[static_cast<std::size_t>(k)]; }

 private:
  std::vector<std::int32_t> x_, y_, z_;
  std::int32_t xa_ = 0, xb_ = 0, ya_ = 0, yb_ = 0;
};

// The reference product of a and b laid out as the entries of a slice
// product (length deg a + deg b + 1, low zeros kept).
Coeffs reference_entries(const RefField& f, const Coeffs& a, const Coeffs& b) {
  Coeffs c = ref_mult(f, a, b);
  c.resize(a.size() + b.size() - 1, 0);
  return c;
}

// ---- Method choice -------------------------------------------------------------------

TEST(KaratsubaChoice, SpansDecideBetweenSchoolbookChunksAndBalancedSteps) {
  ModulusScope ring(65521);
  const RefField f(65521);
  ScopedValue<std::int32_t> cutoff(poly_cutoff, 20);
  std::mt19937_64 rng(test_seed());
  SliceProduct sp;
  struct Case {
    std::int32_t s, l;
    std::uint64_t balanced, unbalanced;  // expected steps; 99: some
  };
  const Case cases[] = {
      {19, 19, 0, 0},    {19, 20, 0, 0},    {20, 20, 1, 0},  // both spans must reach the cut-off
      {19, 5000, 0, 0},                                      // the shorter one is below it
      {30, 451, 0, 0},   {20, 301, 0, 0},                    // longer than 15 times the shorter
      {30, 450, 99, 99}, {20, 300, 99, 99},                  // 15 times: chunks
      {30, 59, 1, 0},                                        // below twice: one balanced step
      {30, 60, 2, 1},                                        // twice: one chunk, two halves
  };
  for (const Case& c : cases) {
    for (bool swapped : {false, true}) {
      const Coeffs a = full_coeffs(rng, f, c.s), b = full_coeffs(rng, f, c.l);
      SCOPED_TRACE("spans " + std::to_string(c.s) + ", " + std::to_string(c.l) +
                   (swapped ? " swapped" : ""));
      const Steps st = swapped ? sp.run(b, 3, a, 0) : sp.run(a, 0, b, 3);
      if (c.balanced == 99) {
        EXPECT_GE(st.unbalanced, 1u);
      } else {
        EXPECT_EQ(st.balanced, c.balanced);
        EXPECT_EQ(st.unbalanced, c.unbalanced);
      }
      ASSERT_EQ(sp.result(), reference_entries(f, swapped ? b : a, swapped ? a : b));
    }
  }
}

TEST(KaratsubaChoice, DriverTakesKaratsubaOnlyAboveTheCutoffOnBothDegrees) {
  PolyVars vars{"t"};
  ModulusScope ring(65537);
  const RefField f(65537);
  ScopedValue<std::int32_t> cutoff(poly_cutoff, 20);
  std::mt19937_64 rng(test_seed());
  struct Case {
    std::int64_t dn, dm;
    bool karatsuba;
  };
  for (const Case& c : {Case{20, 500, false}, Case{500, 20, false}, Case{21, 21, true},
                        Case{21, 315, true}, Case{21, 316, false}, Case{20, 20, false}}) {
    SCOPED_TRACE(std::to_string(c.dn) + " x " + std::to_string(c.dm));
    const Coeffs a = full_coeffs(rng, f, c.dn), b = full_coeffs(rng, f, c.dm);
    Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b)), p;
    const dense_detail::KaratsubaSteps before = dense_detail::karatsuba_steps;
    k_fastest_poly_mult(n, m, p.cell());
    const bool took = dense_detail::karatsuba_steps.balanced != before.balanced ||
                      dense_detail::karatsuba_steps.unbalanced != before.unbalanced;
    EXPECT_EQ(took, c.karatsuba);
    EXPECT_EQ(poly_to_coeffs(p), ref_mult(f, a, b));
  }
}

// ---- Karatsuba against the reference ----------------------------------------------------

class Karatsuba : public WordFieldTest {};

TEST_P(Karatsuba, AgreesWithTheReferenceAcrossEverySplit) {
  std::mt19937_64 rng(test_seed());
  SliceProduct sp;
  for (std::int32_t cut : {6, 20, 40}) {
    ScopedValue<std::int32_t> cutoff(poly_cutoff, cut);
    // Spans at the cut-off, around twice and fifteen times the shorter
    // span, and random ones.
    std::vector<std::pair<std::int64_t, std::int64_t>> spans = {
        {cut - 1, cut - 1},       {cut, cut},         {cut, cut - 1},
        {cut + 1, 2 * cut + 2},   {cut, 2 * cut - 1}, {cut, 2 * cut},
        {cut, 2 * cut + 1},       {cut, 15 * cut},    {cut, 15 * cut + 1},
        {cut + 3, 15 * cut + 44}, {3 * cut, 7 * cut}, {5, 400}};
    for (int k = 0; k < test_iterations(12); ++k)
      spans.emplace_back(static_cast<std::int64_t>(rng() % 300),
                         static_cast<std::int64_t>(rng() % 300));
    for (const auto& [s, l] : spans) {
      const Coeffs a = random_coeffs(rng, f, s), b = random_coeffs(rng, f, l);
      const auto xa = static_cast<std::int32_t>(rng() % 20),
                 ya = static_cast<std::int32_t>(rng() % 20);
      SCOPED_TRACE(ring_name(p) + " cut-off " + std::to_string(cut) + " x " + show_coeffs(a) +
                   " at " + std::to_string(xa) + ", y " + show_coeffs(b) + " at " +
                   std::to_string(ya));
      sp.run(a, xa, b, ya);
      const Coeffs want = reference_entries(f, a, b);
      ASSERT_EQ(sp.result(), want);
      sp.run(b, ya, a, xa);  // the operands exchanged
      ASSERT_EQ(sp.result(), want);
    }
  }
}

TEST_P(Karatsuba, LargeProductsMatchTheSchoolbookAndEvaluation) {
  std::mt19937_64 rng(test_seed() + 7);
  SliceProduct sp;
  struct Case {
    std::int32_t cut;
    std::int64_t dx, dy;
  };
  for (const Case& c : {Case{6, 5000, 5000}, Case{20, 4000, 9000}, Case{40, 1000, 14999},
                        Case{6, 1, 24000}, Case{40, 24999, 1}}) {
    ScopedValue<std::int32_t> cutoff(poly_cutoff, c.cut);
    const Coeffs a = random_coeffs(rng, f, c.dx), b = random_coeffs(rng, f, c.dy);
    SCOPED_TRACE(ring_name(p) + " cut-off " + std::to_string(c.cut) + " degrees " +
                 std::to_string(c.dx) + ", " + std::to_string(c.dy));
    sp.run(a, 0, b, 0);
    const Coeffs got = sp.result();
    ASSERT_EQ(got, sp.schoolbook());
    for (int k = 0; k < 3; ++k) {
      const auto r = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
      ASSERT_EQ(evaluate(f, got, r), f.mul(evaluate(f, a, r), evaluate(f, b, r))) << "at " << r;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, Karatsuba, ::testing::ValuesIn(moduli));

TEST(KaratsubaEdges, TheLargestProductIsRightAtTheDeepestRecursion) {
  // Degree 25,000 with the smallest cut-off; checked by evaluation, which is
  // conclusive for a prime this large.
  for (std::int32_t p : {65537, 2147483629}) {
    ModulusScope scope(p);
    const RefField f(p);
    ScopedValue<std::int32_t> cutoff(poly_cutoff, 6);
    std::mt19937_64 rng(test_seed() + 11);
    SliceProduct sp;
    const Coeffs a = random_coeffs(rng, f, 12500), b = random_coeffs(rng, f, 12500);
    sp.run(a, 0, b, 0);
    const Coeffs got = sp.result();
    for (int k = 0; k < 4; ++k) {
      const auto r = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
      ASSERT_EQ(evaluate(f, got, r), f.mul(evaluate(f, a, r), evaluate(f, b, r)))
          << ring_name(p) << " at " << r;
    }
  }
}

TEST(KaratsubaEdges, LowZerosAreSkippedAndTheirProductEntriesZeroed) {
  ModulusScope ring(65521);
  const RefField f(65521);
  ScopedValue<std::int32_t> cutoff(poly_cutoff, 6);
  std::mt19937_64 rng(test_seed());
  SliceProduct sp;
  Coeffs a = full_coeffs(rng, f, 80), b = full_coeffs(rng, f, 90);
  std::fill(a.begin(), a.begin() + 5, 0);  // t^5 times a polynomial
  std::fill(b.begin(), b.begin() + 11, 0);
  sp.run(a, 2, b, 1);
  for (std::int32_t k = 3; k < 3 + 16; ++k) EXPECT_EQ(sp.z(k), 0) << k;
  EXPECT_EQ(sp.result(), reference_entries(f, a, b));
}

TEST(KaratsubaEdges, ZeroTopsGiveZeroAndAnEmptySliceIsReported) {
  ModulusScope ring(101);
  std::int32_t x[40] = {}, y[40] = {}, z[80] = {};
  x[0] = 1;
  x[3] = 2;
  y[1] = 5;
  z[0] = 9;
  EXPECT_EQ(fast_0_array_onevar_mult(x, y, z, 0, 4, 0, 1), 0);  // x[4] = 0
  EXPECT_EQ(z[0], 0);
  EXPECT_EQ(fast_0_array_onevar_mult(x, y, z, 0, 3, 0, 1), 4);
  EXPECT_EQ(array_slice(z, 0, 4), (Coeffs{0, 5, 0, 0, 10}));

  std::int32_t zero[8] = {};
  testing::internal::CaptureStdout();
  fast_array_onevar_mult(zero, y, z, 0, 3, 0, 1);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(" ** bad exps fast_array_onevar 4, 3, 1, 1, 0, 5, 0, 0\n"
                     "*** Tavrin error. bad exps in fast_array_onevar_mult.\n"),
            std::string::npos)
      << out;
}

// ---- The drivers ------------------------------------------------------------------------

class Drivers : public WordFieldTest {
 protected:
  PolyVars vars{"t"};
};

TEST_P(Drivers, EveryDriverAgreesWithTheReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (std::int32_t cut : {6, 20, 40}) {
    ScopedValue<std::int32_t> cutoff(poly_cutoff, cut);
    for (int it = 0; it < test_iterations(25); ++it) {
      // Degrees on both sides of the cut-off, and well above it.
      const auto pick = [&] {
        switch (rng() % 3) {
          case 0: return static_cast<std::int64_t>(cut - 1 + static_cast<std::int32_t>(rng() % 3));
          case 1: return static_cast<std::int64_t>(rng() % 20);
          default: return static_cast<std::int64_t>(rng() % 700);
        }
      };
      const Coeffs a = random_coeffs(rng, f, pick()), b = random_coeffs(rng, f, pick());
      SCOPED_TRACE(ring_name(p) + " cut-off " + std::to_string(cut) + " " + show_coeffs(a) +
                   " times " + show_coeffs(b));
      Poly n = Poly::adopt(coeffs_to_poly(a)), m = Poly::adopt(coeffs_to_poly(b));
      const Coeffs want = ref_mult(f, a, b);
      Poly r1, r2, r3;
      k_fastest_poly_mult(n, m, r1.cell());
      fastest_poly_mult(n, m, r2.cell());
      faster_poly_mult(n, m, r3.cell());
      ASSERT_TRUE(valid_poly(r1));
      ASSERT_EQ(poly_to_coeffs(r1), want);
      ASSERT_TRUE(poly_equal(r1, r2));
      ASSERT_TRUE(poly_equal(r1, r3));
      // Into an operand's own cell: the old value is freed after the product
      // (its nodes reused). Into a cell holding a longer product, and one
      // holding a constant.
      k_fastest_poly_mult(n, m, n.cell());
      ASSERT_TRUE(valid_poly(n));
      ASSERT_TRUE(poly_equal(n, r1));
      Poly longer = Poly::adopt(coeffs_to_poly(ref_mult(f, want, want))), constant("3");
      k_fastest_poly_mult(r2, m, longer.cell());
      k_fastest_poly_mult(r2, m, constant.cell());
      ASSERT_TRUE(valid_poly(longer));
      ASSERT_EQ(poly_to_coeffs(longer), ref_mult(f, want, b));
      ASSERT_TRUE(poly_equal(longer, constant));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, Drivers, ::testing::ValuesIn(moduli));

TEST(DriverShapes, ConstantsZeroConstantTermsAndBadLeadingCoefficients) {
  PolyVars vars{"t"};
  ModulusScope ring(101);
  NodeBalance balance;
  Poly a("7"), b("9"), c;
  k_fastest_poly_mult(a, b, c.cell());
  EXPECT_EQ(dump_poly(c), "63");
  Poly t2("t^2 + t"), t3("t^3 + 5*t"), d;
  k_fastest_poly_mult(t2, t3, d.cell());
  EXPECT_EQ(dump_poly(d), "[5:1; 4:1; 3:5; 2:5]");  // no trailing leaf

  // A list whose head coefficient is zero: reported, and the product goes on.
  Poly bad = Poly::adopt(term(3, make_leaf(BigRef(0)), term(1, make_leaf(BigRef(2)))));
  Poly e;
  testing::internal::CaptureStdout();
  k_fastest_poly_mult(bad, t2, e.cell());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("BAD 4: 3, 2, 0, 1\n", 0), 0u) << out;
}

// ---- Two variables -----------------------------------------------------------------------

using Rows = std::vector<Coeffs>;  // row i: the coefficient of u^i

RefPoly rows_to_ref(const Rows& r) {
  RefPoly out(2);
  for (std::size_t i = 0; i < r.size(); ++i)
    for (std::size_t j = 0; j < r[i].size(); ++j)
      if (r[i][j] != 0)
        out.add_term({static_cast<std::int32_t>(i), static_cast<std::int32_t>(j)}, BigRef(r[i][j]));
  return out;
}

Rows rows_product(const RefField& f, const Rows& a, const Rows& b) {
  Rows c(a.size() + b.size() - 1);
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < b.size(); ++j)
      c[i + j] = ref_add(f, c[i + j], ref_mult(f, a[i], b[j]));
  return c;
}

class TwoVariable : public WordFieldTest {
 protected:
  PolyVars vars{"u", "t"};
};

TEST_P(TwoVariable, RowProductsAgreeWithTheReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (std::int32_t cut : {6, 40}) {
    ScopedValue<std::int32_t> cutoff(poly_cutoff, cut);
    for (int it = 0; it < test_iterations(6); ++it) {
      auto random_rows = [&](std::int64_t main_deg, std::int64_t max_coef_deg) {
        Rows r(static_cast<std::size_t>(main_deg + 1));
        for (auto& row : r)
          if (rng() % 4 != 0)
            row = random_coeffs(
                rng, f,
                static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(max_coef_deg + 1)));
        if (r.back().empty()) r.back() = random_coeffs(rng, f, 3);
        return r;
      };
      const Rows a = random_rows(31 + static_cast<std::int64_t>(rng() % 30), it % 2 ? 120 : 20);
      const Rows b = random_rows(31 + static_cast<std::int64_t>(rng() % 30), it % 2 ? 120 : 20);
      SCOPED_TRACE(ring_name(p) + " cut-off " + std::to_string(cut) + " iteration " +
                   std::to_string(it));
      Poly n(rows_to_ref(a)), m(rows_to_ref(b)), r;
      fastest_poly2_mult(n, m, r.cell());
      ASSERT_TRUE(valid_poly(r));
      ASSERT_EQ(r.ref(), rows_to_ref(rows_product(f, a, b)));
      fastest_poly2_mult(n, m, m.cell());  // into an operand's cell
      ASSERT_TRUE(poly_equal(m, r));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, TwoVariable, ::testing::ValuesIn(moduli));

TEST(TwoVariableShapes, CancelledRowsMakeNoTerm) {
  PolyVars vars{"u", "t"};
  ModulusScope ring(101);
  NodeBalance balance;
  Poly n("u*t + t"), m("u*t - t"), r;
  fastest_poly2_mult(n, m, r.cell());
  EXPECT_EQ(dump_poly(r), "[2:[2:1]; 0:[2:100]]");  // u^2 t^2 - t^2: row 1 cancelled
  Poly c("u^2*t + 3"), d("u + 2"), e;
  fastest_poly2_mult(c, d, e.cell());
  EXPECT_TRUE(valid_poly(e));
  EXPECT_EQ(e.ref(), Poly("u^3*t + 2*u^2*t + 3*u + 6").ref());
}

}  // namespace
}  // namespace tavrin::test
