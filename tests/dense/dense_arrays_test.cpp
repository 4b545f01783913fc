// Dense arrays: conversions both ways (round trips and hand-checked shapes),
// slice sums and differences against an entry-by-entry definition, and the
// schoolbook products against a naive reference product, in every word
// arithmetic (32-bit products, 64-bit products, sums above 2^30, GF(2^8)).
#include "dense/dense_arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "support/dense_ref.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"
#include "support/poly_support.h"
#include "support/word_field_test.h"

namespace tavrin::test {
namespace {

// 32-bit products, the largest prime below 2^16 (still 32-bit), 64-bit
// products, sums above 2^30, and GF(2^8).
const std::int32_t moduli[] = {101, 65521, 65537, 2147483629, 256};

std::string ring_name(std::int32_t p) { return "modulus " + std::to_string(p); }

// Output of a failed consistency check: the diagnostic line, then the
// internal error and its nested command level.
std::string check_report(const std::string& line, const std::string& message) {
  return line + "*** Tavrin error. " + message + "\n";
}

// ---- Conversions ------------------------------------------------------------------

class Conversions : public ::testing::Test {
 protected:
  PolyVars vars{"t"};
  ModulusScope ring{101};
  std::vector<std::int32_t> a = std::vector<std::int32_t>(gcd_array_size, -1);
};

TEST_F(Conversions, FillGivesEveryEntryUpToTheDegree) {
  Poly p("3*t^5 + 2*t^2 + 7");
  std::int32_t deg = -5;
  fill_poly1_array(p, a.data(), &deg);
  EXPECT_EQ(deg, 5);
  EXPECT_EQ(array_slice(a.data(), 0, 6), (Coeffs{7, 0, 2, 0, 0, 3, -1}));  // a[6] untouched

  Poly q("t^4 + t");  // no constant term
  fill_poly1_array(q, a.data(), &deg);
  EXPECT_EQ(deg, 4);
  EXPECT_EQ(array_slice(a.data(), 0, 4), (Coeffs{0, 1, 0, 0, 1}));

  Poly c("42");
  fill_poly1_array(c, a.data(), &deg);
  EXPECT_EQ(deg, 0);
  EXPECT_EQ(a[0], 42);
}

TEST_F(Conversions, ArrayToPolyMakesTheCanonicalList) {
  NodeBalance balance;
  const std::int32_t x[] = {0, 5, 0, 0, 9};
  Poly p("t^7 + 1");  // the old value is freed
  array_to_poly(x, 4, p.cell());
  EXPECT_TRUE(valid_poly(p));
  EXPECT_EQ(dump_poly(p), "[4:9; 1:5]");  // no trailing leaf for a zero constant term
  const std::int32_t y[] = {6};
  array_to_poly(y, 0, p.cell());
  EXPECT_EQ(dump_poly(p), "6");
  const std::int32_t z[] = {4, 0, 100};
  array_to_poly(z, 2, p.cell());
  EXPECT_EQ(dump_poly(p), "[2:100; 4]");
}

TEST_F(Conversions, ZeroConstantIsReportedAndSetAnyway) {
  NodeBalance balance;
  Poly p;
  const std::int32_t x[] = {0};
  testing::internal::CaptureStdout();
  array_to_poly(x, 0, p.cell());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(check_report("", "bad x[0] in array_to_poly.")), std::string::npos) << out;
  EXPECT_TRUE(poly_iszero(p));
}

TEST_F(Conversions, RandomRoundTripsKeepThePolynomial) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : moduli) {
    ModulusScope scope(p);
    const RefField f(p);
    for (int it = 0; it < test_iterations(40); ++it) {
      const auto deg = static_cast<std::int64_t>(rng() % (it < 30 ? 40 : 3000));
      const Coeffs c = random_coeffs(rng, f, deg);
      SCOPED_TRACE(ring_name(p) + " " + show_coeffs(c));
      Poly n = Poly::adopt(coeffs_to_poly(c));
      std::int32_t d = -1;
      fill_poly1_array(n, a.data(), &d);
      ASSERT_EQ(d, deg);
      ASSERT_EQ(array_slice(a.data(), 0, d), c);
      Poly back;
      array_to_poly(a.data(), d, back.cell());
      ASSERT_TRUE(valid_poly(back, 1));
      ASSERT_TRUE(poly_equal(back, n));
    }
  }
}

class TwoVariables : public ::testing::Test {
 protected:
  PolyVars vars{"u", "t"};
  ModulusScope ring{101};
  std::vector<std::int32_t> deg = std::vector<std::int32_t>(gcd1_array_size, -9);
};

TEST_F(TwoVariables, FillMarksAbsentRowsAndReadsEachShapeOfConstantTerm) {
  // x2 is shared scratch; the rows are read through the row degrees.
  Poly p("u^3*(t^2 + 5) + u*7 + t + 3");  // constant term a pad over t + 3
  fill_poly2_array(p, x2, deg.data());
  EXPECT_EQ((std::vector<std::int32_t>(deg.begin(), deg.begin() + 5)),
            (std::vector<std::int32_t>{1, 0, -1, 2, -9}));
  EXPECT_EQ(array_slice(x2[3], 0, 2), (Coeffs{5, 0, 1}));
  EXPECT_EQ(x2[1][0], 7);
  EXPECT_EQ(array_slice(x2[0], 0, 1), (Coeffs{3, 1}));

  Poly q("u^2*t + 4");  // constant term a leaf
  fill_poly2_array(q, x2, deg.data());
  EXPECT_EQ(deg[0], 0);
  EXPECT_EQ(x2[0][0], 4);
  EXPECT_EQ(deg[1], -1);

  Poly r("u^2*t + u");  // no constant term
  fill_poly2_array(r, x2, deg.data());
  EXPECT_EQ(deg[0], -1);
}

TEST_F(TwoVariables, RoundTripsGiveTheSamePolynomial) {
  NodeBalance balance;
  for (const char* text : {"u^3*(t^2 + 5) + u*7 + t + 3", "u^2*t + 4", "u^4*t^3 + u*(t + 1)",
                           "u^2 + t^2", "t^5 + 2*t"}) {
    SCOPED_TRACE(text);
    Poly p(text);
    fill_poly2_array(p, x2, deg.data());
    Poly back;
    array_to_poly2(x2, p->numb ? 0 : p->exp, deg.data(), back.cell());
    ASSERT_TRUE(valid_poly(back));
    EXPECT_TRUE(poly_equal(back, p)) << show_poly(back);
  }
}

TEST_F(TwoVariables, ZeroConstantRowsAreReported) {
  NodeBalance balance;
  Poly p;
  x2[0][0] = 0;
  x2[2][0] = 0;
  x2[1][0] = 3;
  deg[0] = 0;
  deg[1] = 0;
  deg[2] = 0;
  testing::internal::CaptureStdout();
  array_to_poly2(x2, 2, deg.data(), p.cell());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(check_report("", "bad x[0] in array_to_poly.")), std::string::npos) << out;
  EXPECT_NE(out.find(check_report("", "bad x[0][0] in array_to_poly2.")), std::string::npos);
}

// ---- Sums and differences ----------------------------------------------------------

// One slice operation and its definition entry by entry.
struct SliceCase {
  std::int32_t xa, xb, ya, yb, n, self_deg;
};

// Fills x and y with random residues, runs op, and checks z against
// expected(i) over [xa, top], the trimmed degree, and that z is untouched
// outside [xa, top].
void check_slice_op(
    std::mt19937_64& rng, const RefField& f, const SliceCase& c, std::int32_t top,
    const std::function<void(const std::int32_t*, const std::int32_t*, std::int32_t*,
                             std::int32_t*)>& op,
    const std::function<std::int64_t(const std::vector<std::int32_t>&,
                                     const std::vector<std::int32_t>&, std::int32_t)>& expected,
    bool cancel_top) {
  std::vector<std::int32_t> x(200), y(200), z(200, -7);
  for (auto& v : x) v = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(f.p()));
  for (auto& v : y) v = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(f.p()));
  if (cancel_top) {  // make the top entries of the result vanish
    for (std::int32_t i = top; i >= c.xa && i > top - 3; --i) {
      const std::int64_t e = expected(x, y, i);
      if (i >= c.xa && i <= c.xb)
        x[static_cast<std::size_t>(i)] =
            static_cast<std::int32_t>(f.sub(x[static_cast<std::size_t>(i)], e));
    }
  }
  std::int32_t deg = c.self_deg;
  op(x.data(), y.data(), z.data(), &deg);
  std::int32_t want_deg = c.xa - 1;
  for (std::int32_t i = c.xa; i <= top; ++i) {
    const std::int64_t e = expected(x, y, i);
    if (e != 0) want_deg = i;
    ASSERT_EQ(z[static_cast<std::size_t>(i)], e) << "entry " << i;
  }
  EXPECT_EQ(deg, want_deg);
  EXPECT_EQ(z[static_cast<std::size_t>(c.xa - 1)], -7);
  EXPECT_EQ(z[static_cast<std::size_t>(top + 1)], -7);
}

class Sums : public WordFieldTest {};

TEST_P(Sums, AddCopiesFillsGapsAndTrims) {
  std::mt19937_64 rng(test_seed());
  for (int it = 0; it < test_iterations(300); ++it) {
    SliceCase c{};
    c.xa = 1 + static_cast<std::int32_t>(rng() % 40);
    c.xb = c.xa + static_cast<std::int32_t>(rng() % 40);
    c.ya = c.xa + static_cast<std::int32_t>(rng() % 60);  // gaps when ya > xb + 1
    c.yb = c.ya + static_cast<std::int32_t>(rng() % 40);
    const std::int32_t top = std::max(c.xb, c.yb);
    SCOPED_TRACE(std::to_string(c.xa) + " " + std::to_string(c.xb) + " " + std::to_string(c.ya) +
                 " " + std::to_string(c.yb));
    auto def = [&](const std::vector<std::int32_t>& x, const std::vector<std::int32_t>& y,
                   std::int32_t i) {
      const std::int64_t a = (i >= c.xa && i <= c.xb) ? x[static_cast<std::size_t>(i)] : 0;
      const std::int64_t b = (i >= c.ya && i <= c.yb) ? y[static_cast<std::size_t>(i)] : 0;
      return f.add(a, b);
    };
    check_slice_op(
        rng, f, c, top,
        [&](const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t* d) {
          onevar_add(x, y, z, c.xa, c.xb, c.ya, c.yb, d);
        },
        def, it % 3 == 0);
  }
}

TEST_P(Sums, ShiftedAddAndDifferencesMatchTheirDefinitions) {
  std::mt19937_64 rng(test_seed() + 1);
  for (int it = 0; it < test_iterations(300); ++it) {
    SliceCase c{};
    c.xa = 1 + static_cast<std::int32_t>(rng() % 30);
    c.xb = c.xa - 1 + static_cast<std::int32_t>(rng() % 40);
    c.n = static_cast<std::int32_t>(rng() % 30);
    c.yb = c.xa + c.n + static_cast<std::int32_t>(rng() % 40);
    const bool cancel = it % 3 == 0;
    SCOPED_TRACE(std::to_string(c.xa) + " " + std::to_string(c.xb) + " " + std::to_string(c.yb) +
                 " n " + std::to_string(c.n));
    auto xv = [&](const std::vector<std::int32_t>& x, std::int32_t i) -> std::int64_t {
      return (i >= c.xa && i <= c.xb) ? x[static_cast<std::size_t>(i)] : 0;
    };
    if (c.xb >= c.xa) {
      // x + y t^n, y on [xa, yb - n] so that the shifted top stays in range.
      const std::int32_t yb = c.yb - c.n;
      check_slice_op(
          rng, f, c, std::max(c.xb, yb + c.n),
          [&](const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t* d) {
            onevar_add_shift(x, y, z, c.xa, c.xb, yb, c.n, d);
          },
          [&](const std::vector<std::int32_t>& x, const std::vector<std::int32_t>& y,
              std::int32_t i) {
            const std::int32_t j = i - c.n;
            return f.add(xv(x, i), (j >= c.xa && j <= yb) ? y[static_cast<std::size_t>(j)] : 0);
          },
          cancel);
      // x - y on [xa, yb - n].
      check_slice_op(
          rng, f, c, std::max(c.xb, yb),
          [&](const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t* d) {
            onevar_sub(x, y, z, c.xa, c.xb, yb, d);
          },
          [&](const std::vector<std::int32_t>& x, const std::vector<std::int32_t>& y,
              std::int32_t i) {
            return f.sub(xv(x, i), (i <= yb) ? y[static_cast<std::size_t>(i)] : 0);
          },
          cancel);
    }
    // x - y t^-n, y on [xa + n, yb]; the first operand may be empty
    // (xb = xa - 1), which is reported first.
    testing::internal::CaptureStdout();
    check_slice_op(
        rng, f, c, std::max(c.xb, c.yb - c.n),
        [&](const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t* d) {
          onevar_sub_shift(x, y, z, c.xa, c.xb, c.yb, c.n, d);
        },
        [&](const std::vector<std::int32_t>& x, const std::vector<std::int32_t>& y,
            std::int32_t i) {
          const std::int32_t j = i + c.n;
          return f.sub(xv(x, i), (j <= c.yb) ? y[static_cast<std::size_t>(j)] : 0);
        },
        cancel && c.xb >= c.xa);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.empty(), c.xb >= c.xa) << out;
  }
}

TEST_P(Sums, SelfAddFoldsTheUpperHalfDown) {
  std::mt19937_64 rng(test_seed() + 2);
  for (int it = 0; it < test_iterations(300); ++it) {
    SliceCase c{};
    c.xa = 1 + static_cast<std::int32_t>(rng() % 30);
    c.n = 1 + static_cast<std::int32_t>(rng() % 30);
    c.xb = c.xa + c.n + static_cast<std::int32_t>(rng() % 60);
    c.self_deg = c.xa + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(c.n));
    SCOPED_TRACE(std::to_string(c.xa) + " " + std::to_string(c.xb) + " n " + std::to_string(c.n) +
                 " lower top " + std::to_string(c.self_deg));
    check_slice_op(
        rng, f, c, std::max(c.self_deg, c.xb - c.n),
        [&](const std::int32_t* x, const std::int32_t*, std::int32_t* z, std::int32_t* d) {
          onevar_self_add(x, z, c.xa, c.xb, c.n, d);
        },
        [&](const std::vector<std::int32_t>& x, const std::vector<std::int32_t>&, std::int32_t i) {
          const std::int64_t lower = i <= c.self_deg ? x[static_cast<std::size_t>(i)] : 0;
          const std::int64_t upper = i + c.n <= c.xb ? x[static_cast<std::size_t>(i + c.n)] : 0;
          return f.add(lower, upper);
        },
        false);
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, Sums, ::testing::ValuesIn(moduli));

TEST(SumsByHand, GapsCancellationNegationAndAliasing) {
  ModulusScope ring(7);
  std::int32_t x[12] = {0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0};
  std::int32_t y[12] = {0, 0, 0, 0, 0, 0, 4, 5, 0, 0, 0, 0};
  std::int32_t z[12] = {};
  std::int32_t d = 0;
  std::fill(z, z + 12, 9);
  onevar_add(x, y, z, 1, 3, 6, 7, &d);  // a gap of two zeros
  EXPECT_EQ(d, 7);
  EXPECT_EQ(array_slice(z, 0, 8), (Coeffs{9, 1, 2, 3, 0, 0, 4, 5, 9}));
  // Top entries cancel; everything cancels.
  std::int32_t w[12] = {0, 6, 5, 4, 0, 0, 0, 0, 0, 0, 0, 0};
  onevar_add(x, w, z, 1, 3, 1, 3, &d);
  EXPECT_EQ(d, 0);  // xa - 1
  w[1] = 0;
  onevar_add(x, w, z, 1, 3, 1, 3, &d);
  EXPECT_EQ(d, 1);
  // Above the first operand, the second is negated.
  onevar_sub(x, y, z, 1, 3, 7, &d);
  EXPECT_EQ(d, 7);
  EXPECT_EQ(array_slice(z, 1, 7), (Coeffs{1, 2, 3, 0, 0, 3, 2}));
  // The result may overwrite the first operand.
  onevar_add(x, y, x, 1, 3, 6, 7, &d);
  EXPECT_EQ(array_slice(x, 1, 7), (Coeffs{1, 2, 3, 0, 0, 4, 5}));
  {
    ModulusScope field(256);  // characteristic 2: negation leaves entries alone
    std::int32_t a[4] = {0, 0, 0, 0};
    std::int32_t b[4] = {0, 7, 200, 0};
    onevar_sub(a, b, z, 0, 0, 2, &d);
    EXPECT_EQ(array_slice(z, 0, 2), (Coeffs{0, 7, 200}));
  }
}

TEST(SumsByHand, ReversedDegreesAreReportedExactly) {
  ModulusScope ring(7);
  std::int32_t x[20] = {}, y[20] = {}, z[20] = {};
  std::int32_t d = 0;
  testing::internal::CaptureStdout();
  onevar_add(x, y, z, 5, 3, 6, 8, &d);
  onevar_add_shift(x, y, z, 5, 6, 4, 2, &d);
  onevar_sub_shift(x, y, z, 5, 6, 6, 2, &d);
  onevar_sub_shift(x, y, z, 5, 4, 9, 2, &d);
  const std::string out = testing::internal::GetCapturedStdout();
  for (const std::string& want :
       {check_report("** onevar_add 5, 3, 6, 8\n", " onevar_add reversed degrees. "),
        check_report("** onevar_add_shift 5, 6, 4, 2\n", " onevar_add_shift reversed degrees."),
        check_report("** onevar_sub_shift 5, 6, 6, 2\n", " onevar_sub_shift reversed degrees."),
        check_report("** new xb=xa-1 5, 4, 9, 2\n", " onevar_sub_shift xb=xa-1.")})
    EXPECT_NE(out.find(want), std::string::npos) << want << "\nin\n" << out;
}

// ---- Schoolbook products ------------------------------------------------------------

// The slice [a, b] of x times [c, d] of y by the reference, as the entries
// a + c .. b + d.
Coeffs reference_slice_product(const RefField& f, const std::int32_t* x, std::int32_t a,
                               std::int32_t b, const std::int32_t* y, std::int32_t c,
                               std::int32_t d) {
  Coeffs prod = ref_mult(f, array_slice(x, a, b), array_slice(y, c, d));
  prod.resize(static_cast<std::size_t>(b - a + d - c + 1), 0);
  return prod;
}

class Schoolbook : public WordFieldTest {};

TEST_P(Schoolbook, EveryFormAgreesWithTheReference) {
  std::mt19937_64 rng(test_seed());
  std::vector<std::int32_t> x(3000), y(3000), z(6000);
  for (int it = 0; it < test_iterations(60); ++it) {
    const auto dx = static_cast<std::int64_t>(rng() % (it < 50 ? 30 : 900));
    const auto dy = static_cast<std::int64_t>(rng() % (it < 50 ? 30 : 900));
    const auto xa = static_cast<std::int32_t>(rng() % 50);
    const auto ya = static_cast<std::int32_t>(rng() % 50);
    const Coeffs a = random_coeffs(rng, f, dx), b = random_coeffs(rng, f, dy);
    SCOPED_TRACE(ring_name(p) + " x " + show_coeffs(a) + " at " + std::to_string(xa) + ", y " +
                 show_coeffs(b) + " at " + std::to_string(ya));
    std::fill(x.begin(), x.end(), 0);
    std::fill(y.begin(), y.end(), 0);
    load_array(a, x.data(), xa);
    load_array(b, y.data(), ya);
    const auto xb = static_cast<std::int32_t>(xa + dx), yb = static_cast<std::int32_t>(ya + dy);
    const Coeffs want = reference_slice_product(f, x.data(), xa, xb, y.data(), ya, yb);
    onevar_mult(x.data(), y.data(), z.data(), xa, xb, ya, yb);
    ASSERT_EQ(array_slice(z.data(), xa + ya, xb + yb), want);
    std::fill(z.begin(), z.end(), -1);
    slower_onevar_mult(x.data(), y.data(), z.data(), xa, xb, ya, yb);
    ASSERT_EQ(array_slice(z.data(), xa + ya, xb + yb), want);
    // Whole arrays, row by row.
    simple_onevar_mult(x.data(), y.data(), z.data(), xb, yb);
    ASSERT_EQ(array_slice(z.data(), 0, xb + yb),
              reference_slice_product(f, x.data(), 0, xb, y.data(), 0, yb));
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, Schoolbook, ::testing::ValuesIn(moduli));

TEST(SchoolbookByHand, SingleEntriesAndLowZeros) {
  ModulusScope ring(101);
  std::int32_t x[8] = {0, 0, 3, 100, 7, 0, 0, 0};
  std::int32_t y[8] = {0, 0, 0, 5, 0, 0, 0, 0};
  std::int32_t z[16] = {};
  onevar_mult(x, y, z, 2, 4, 3, 3);  // a slice times one entry
  EXPECT_EQ(array_slice(z, 5, 7), (Coeffs{15, 500 % 101, 35}));
  onevar_mult(x, y, z, 0, 4, 1, 3);  // low zero entries give zero results
  EXPECT_EQ(array_slice(z, 1, 7), (Coeffs{0, 0, 0, 0, 15, 500 % 101, 35}));
}

TEST(SchoolbookByHand, ThirtyTwoBitSumsOfTheLongestRowsDoNotOverflow) {
  // 12,501 terms of 65520 * 1 in the middle coefficient: sum < 2^32 only
  // because every term is reduced first.
  ModulusScope ring(65521);
  std::vector<std::int32_t> x(12501, 65520), y(12501, 65520), z(25001);
  onevar_mult(x.data(), y.data(), z.data(), 0, 12500, 0, 12500);
  for (std::int32_t k : {0, 1, 6000, 12500, 20000, 25000}) {
    const std::int64_t terms = std::min(k, 12500) - std::max(0, k - 12500) + 1;
    EXPECT_EQ(z[static_cast<std::size_t>(k)], terms % 65521) << k;  // (-1)(-1) = 1 each
  }
  std::fill(y.begin(), y.end(), 1);
  onevar_mult(x.data(), y.data(), z.data(), 0, 12500, 0, 12500);
  EXPECT_EQ(z[12500], (65521 - 12501 % 65521) % 65521);
}

TEST(SchoolbookByHand, BadSlicesAreReportedExactly) {
  ModulusScope ring(101);
  std::int32_t x[8] = {1, 2, 0, 0, 0, 0, 0, 0}, y[8] = {1, 2, 3, 0, 0, 0, 0, 0}, z[16] = {};
  testing::internal::CaptureStdout();
  onevar_mult(x, y, z, 0, 2, 0, 2);
  onevar_mult(x, y, z, 1, 0, 0, 2);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find(check_report(" ** bad upper limits, onevar 0, 3, 0, 2, 0, 2\n",
                                  "0 upper value in onevar_mult.")),
            std::string::npos)
      << out;
  EXPECT_NE(
      out.find(check_report(" ** bad exps onevar 1, 0, 0, 2\n", "potential 0 in onevar_mult.")),
      std::string::npos)
      << out;
}

}  // namespace
}  // namespace tavrin::test
