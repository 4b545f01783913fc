// The half-GCD, called directly: the cofactor matrix maps the input pair to
// the output pair (checked with the reference arithmetic), it is unimodular,
// the output pair has the promised degrees, and the GCD finished by hgcd
// equals Euclid's on pairs with planted common factors. The recursion
// thresholds are pushed down so that small inputs take the deep paths.
#include "dense/dense_hgcd.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "support/dense_ref.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/word_field_test.h"

namespace tavrin::test {
namespace {

std::string ring_name(std::int32_t p) { return "modulus " + std::to_string(p); }

// Moduli of the two-term step (below 46,340) and of the general step.
const std::int32_t moduli[] = {3, 101, 46337, 65521};

// The array's polynomial of degree d, the zero polynomial (degree 0, entry
// 0) as empty.
Coeffs read(const std::vector<std::int32_t>& a, std::int32_t d) {
  return ref_trimmed(array_slice(a.data(), 0, d));
}

// A pair with a planted common factor of degree dg: x = a*g, y = b*g with
// deg x = dx >= deg y = dy.
void planted_pair(std::mt19937_64& rng, const RefField& f, std::int64_t dx, std::int64_t dy,
                  std::int64_t dg, Coeffs* x, Coeffs* y) {
  const Coeffs g = random_coeffs(rng, f, dg);
  *x = ref_mult(f, random_coeffs(rng, f, dx - dg), g);
  *y = ref_mult(f, random_coeffs(rng, f, dy - dg), g);
}

// The matrix routines' arrays.
struct MatrixRun {
  std::vector<std::int32_t> x = std::vector<std::int32_t>(gcd_array_size, 0);
  std::vector<std::int32_t> y = std::vector<std::int32_t>(gcd_array_size, 0);
  std::vector<std::int32_t> m[4];
  std::int32_t xd = 0, yd = 0, md[4] = {-9, -9, -9, -9};
  Coeffs x_in, y_in;

  MatrixRun(const Coeffs& a, const Coeffs& b) : x_in(a), y_in(b) {
    for (auto& e : m) e.assign(gcd_array_size, 0);
    load_array(a, x.data());
    load_array(b, y.data());
    xd = static_cast<std::int32_t>(ref_degree(a));
    yd = static_cast<std::int32_t>(std::max<std::int64_t>(ref_degree(b), 0));
  }
  void euclid() {
    euclid_onevar(x.data(), y.data(), m[0].data(), m[1].data(), m[2].data(), m[3].data(), &xd, &yd,
                  &md[0], &md[1], &md[2], &md[3]);
  }
  void half(bool dob) {
    parthg(x.data(), y.data(), dob, m[0].data(), m[1].data(), m[2].data(), m[3].data(), &xd, &yd,
           &md[0], &md[1], &md[2], &md[3]);
  }
  Coeffs entry(int k) const { return read(m[k], md[k]); }
  // M applied to the input pair by the reference arithmetic.
  Coeffs image(const RefField& f, int row) const {
    return ref_add(f, ref_mult(f, entry(2 * row), x_in), ref_mult(f, entry(2 * row + 1), y_in));
  }
};

// Checks the matrix: unimodular (determinant a non-zero constant), and when
// with_pair, mapping the input pair to the pair left in the arrays.
void check_matrix(const RefField& f, const MatrixRun& r, bool with_pair) {
  const Coeffs det =
      ref_sub(f, ref_mult(f, r.entry(0), r.entry(3)), ref_mult(f, r.entry(1), r.entry(2)));
  ASSERT_EQ(ref_degree(det), 0) << "determinant " << show_coeffs(det);
  for (int k = 0; k < 4; ++k) {  // degrees are trimmed (zero is degree 0)
    if (r.md[k] > 0) {
      ASSERT_NE(r.m[k][static_cast<std::size_t>(r.md[k])], 0) << "entry " << k;
    }
  }
  if (!with_pair) return;
  ASSERT_EQ(r.image(f, 0), read(r.x, r.xd));
  ASSERT_EQ(r.image(f, 1), read(r.y, r.yd));
  if (r.xd > 0) {
    ASSERT_NE(r.x[static_cast<std::size_t>(r.xd)], 0);
  }
  if (r.yd > 0) {
    ASSERT_NE(r.y[static_cast<std::size_t>(r.yd)], 0);
  }
}

// ---- euclid_onevar and parthg ------------------------------------------------------

class HalfGcd : public WordFieldTest {};

TEST_P(HalfGcd, MatricesMapTheInputPairToTheReducedPair) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t base : {4, 10, 100}) {
    ScopedValue<std::int32_t> euclid_below(hgcd_euclid_degree, base);
    ScopedValue<std::int32_t> cutoff(poly_cutoff, base == 4 ? 6 : 20);
    for (int it = 0; it < test_iterations(base == 100 ? 6 : 25); ++it) {
      const auto dx = static_cast<std::int64_t>(2 + rng() % (base == 100 ? 700 : 160));
      const auto dy =
          static_cast<std::int64_t>(dx / 2 + 1 + rng() % static_cast<std::uint64_t>(dx - dx / 2));
      // Planted factors from none to most of the smaller degree, so that
      // some pairs reach their GCD inside the reduction.
      const auto dg =
          static_cast<std::int64_t>(it % 3 == 0 ? 0 : rng() % static_cast<std::uint64_t>(dy + 1));
      Coeffs a, b;
      planted_pair(rng, f, dx, dy, dg, &a, &b);
      SCOPED_TRACE(ring_name(p) + " base " + std::to_string(base) + " degrees " +
                   std::to_string(dx) + ", " + std::to_string(dy) + " common " +
                   std::to_string(dg));
      const std::int32_t half = static_cast<std::int32_t>(dx / 2);

      MatrixRun e(a, b);
      e.euclid();
      check_matrix(f, e, true);
      EXPECT_TRUE(e.yd < half || read(e.y, e.yd).empty()) << e.yd;
      EXPECT_GE(e.xd, e.yd);

      // The split reduction is approximate (its second split point is fixed
      // at deg x div 4), so the pair it reaches need not be in order; it is
      // a pair of the same GCD, reduced to about half the degree.
      MatrixRun h(a, b);
      h.half(true);
      check_matrix(f, h, true);
      if (b.size() > static_cast<std::size_t>(half) + 1) {
        EXPECT_LT(std::max(h.xd, h.yd), dx);
        EXPECT_LE(std::min(h.xd, h.yd), 3 * dx / 4 + 1);
      }
      EXPECT_EQ(ref_monic_gcd(f, read(h.x, h.xd), read(h.y, h.yd)), ref_monic_gcd(f, a, b));

      MatrixRun g(a, b);  // the same matrix without the pair
      g.half(false);
      check_matrix(f, g, false);
      for (int k = 0; k < 4; ++k) ASSERT_EQ(g.entry(k), h.entry(k)) << "entry " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, HalfGcd, ::testing::ValuesIn(moduli));

TEST(HalfGcdCases, SmallSecondPolynomialsGiveTheIdentity) {
  ModulusScope ring(101);
  const RefField f(101);
  std::mt19937_64 rng(test_seed());
  const Coeffs a = random_coeffs(rng, f, 300), b = random_coeffs(rng, f, 150);
  MatrixRun h(a, b);
  h.half(true);
  EXPECT_EQ(h.entry(0), (Coeffs{1}));
  EXPECT_EQ(h.entry(1), Coeffs{});
  EXPECT_EQ(h.entry(2), Coeffs{});
  EXPECT_EQ(h.entry(3), (Coeffs{1}));
  EXPECT_EQ(read(h.x, h.xd), a);
  EXPECT_EQ(read(h.y, h.yd), b);
  std::vector<std::int32_t> x(gcd_array_size), y(gcd_array_size);
  load_array(a, x.data());
  load_array(b, y.data());
  std::int32_t xd = 300, yd = 150;
  fullhg(x.data(), y.data(), &xd, &yd);  // nothing to do, nothing printed
  EXPECT_EQ(read(x, xd), a);
  EXPECT_EQ(read(y, yd), b);
}

TEST(HalfGcdCases, BelowTheBaseDegreeParthgIsExactlyEuclid) {
  ModulusScope ring(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed());
  for (std::int64_t dx : {99, 100}) {
    SCOPED_TRACE("degree " + std::to_string(dx));
    const Coeffs a = random_coeffs(rng, f, dx), b = random_coeffs(rng, f, dx - 1);
    MatrixRun e(a, b), h(a, b);
    e.euclid();
    h.half(true);
    check_matrix(f, h, true);
    if (dx == 99) {  // the very same steps
      EXPECT_EQ(read(h.x, h.xd), read(e.x, e.xd));
      EXPECT_EQ(read(h.y, h.yd), read(e.y, e.yd));
      for (int k = 0; k < 4; ++k) EXPECT_EQ(h.entry(k), e.entry(k)) << "entry " << k;
    }
  }
}

TEST(HalfGcdCases, AnOddNumberOfExchangesStillLeavesTheLargerInX) {
  ModulusScope ring(7);
  const RefField f(7);
  // t^3 + 1 and t^2: one step (quotient t, remainder 1) leaves (t^2, 1).
  MatrixRun e(Coeffs{1, 0, 0, 1}, Coeffs{0, 0, 1});
  e.euclid();
  EXPECT_EQ(read(e.x, e.xd), (Coeffs{0, 0, 1}));
  EXPECT_EQ(read(e.y, e.yd), (Coeffs{1}));
  check_matrix(f, e, true);
  EXPECT_EQ(e.entry(0), Coeffs{});     // [[0, 1],
  EXPECT_EQ(e.entry(1), (Coeffs{1}));  //  [1, -t]]
  EXPECT_EQ(e.entry(2), (Coeffs{1}));
  EXPECT_EQ(e.entry(3), (Coeffs{0, 6}));
}

TEST(HalfGcdCases, DiagnosticsOfReversedAndTinyPairs) {
  ModulusScope ring(101);
  std::vector<std::int32_t> x(gcd_array_size), y(gcd_array_size);
  std::int32_t xd = 1, yd = 1;
  x[0] = 1;
  x[1] = 1;
  y[0] = 2;
  y[1] = 1;
  testing::internal::CaptureStdout();
  fullhg(x.data(), y.data(), &xd, &yd);  // both of degree 1: the split would be at 0
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind(" 1m = 0 in fullhg, 1, 1\nm is 0 in onevar_split\n"
                      "*** Tavrin error.  onevar_split_poly.\n",
                      0),
            0u)
      << out;

  MatrixRun r(Coeffs{1, 2, 3}, Coeffs{1, 1, 1, 1});  // deg y > deg x
  testing::internal::CaptureStdout();
  r.half(true);
  out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind(" in parthg deg yy > deg xx, 3, 2\n", 0), 0u) << out;
}

TEST(HalfGcdCases, FullReductionReportsItsWork) {
  ModulusScope ring(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed() + 5);
  const Coeffs a = random_coeffs(rng, f, 400), b = random_coeffs(rng, f, 399);
  std::vector<std::int32_t> x(gcd_array_size), y(gcd_array_size);
  load_array(a, x.data());
  load_array(b, y.data());
  std::int32_t xd = 400, yd = 399;
  testing::internal::CaptureStdout();
  fullhg(y.data(), x.data(), &yd, &xd);  // given in the wrong order: the roles exchange
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            " ********* swap in fullhg deg yy > deg xx, 400, 399\n"
            " 1m: in fullhg, 200, 400, 399\n");
  EXPECT_LE(std::max(xd, yd), 300);  // about half the degree
  EXPECT_EQ(ref_monic_gcd(f, read(x, xd), read(y, yd)), ref_monic_gcd(f, a, b));
}

// ---- hgcd: the whole GCD ---------------------------------------------------------------

// Loads the pair into xx / yy, runs hgcd and returns the GCD it reports
// (monic), counting the half-GCD reductions by their progress lines.
Coeffs run_hgcd(const RefField& f, const Coeffs& a, const Coeffs& b, int* reductions) {
  std::fill(xx, xx + gcd_array_size, 0);
  std::fill(yy, yy + gcd_array_size, 0);
  load_array(a, xx);
  load_array(b, yy);
  fastest_poly_gcd_EnvRec e{static_cast<std::int32_t>(ref_degree(b)),
                            static_cast<std::int32_t>(ref_degree(a)), false};
  testing::internal::CaptureStdout();
  hgcd(&e);
  const std::string out = testing::internal::GetCapturedStdout();
  *reductions = static_cast<int>(occurrences(out, " 1m: in fullhg"));
  if (!e.all_zeros) return {1};
  if (e.xexp == -1) return ref_monic(f, array_slice(yy, 0, e.yexp));
  return ref_monic(f, array_slice(xx, 0, e.xexp));
}

class Hgcd : public WordFieldTest {};

TEST_P(Hgcd, GcdEqualsEuclidsOnPlantedFactors) {
  std::mt19937_64 rng(test_seed());
  ScopedValue<std::int32_t> euclid_below(hgcd_euclid_degree, 8);
  ScopedValue<std::int32_t> recurse_above(hgcd_recursion_sum, 60);
  ScopedValue<std::int32_t> cutoff(poly_cutoff, 6);
  for (int it = 0; it < test_iterations(40); ++it) {
    const auto dx = static_cast<std::int64_t>(20 + rng() % 400);
    const auto dy = static_cast<std::int64_t>(1 + rng() % static_cast<std::uint64_t>(dx));
    const auto dg =
        static_cast<std::int64_t>(it % 4 == 0 ? 0 : rng() % static_cast<std::uint64_t>(dy + 1));
    Coeffs a, b;
    planted_pair(rng, f, dx, dy, dg, &a, &b);
    if (ref_degree(b) < 1) continue;
    SCOPED_TRACE(ring_name(p) + " degrees " + std::to_string(dx) + ", " + std::to_string(dy) +
                 " common " + std::to_string(dg));
    int reductions = 0;
    ASSERT_EQ(run_hgcd(f, a, b, &reductions), ref_monic_gcd(f, a, b));
    ASSERT_EQ(run_hgcd(f, b, a, &reductions), ref_monic_gcd(f, a, b));  // smaller in xx
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, Hgcd, ::testing::ValuesIn(moduli));

TEST(HgcdCases, DefaultThresholdsOnALargePair) {
  for (std::int32_t p : {46337, 65521}) {
    ModulusScope scope(p);
    const RefField f(p);
    std::mt19937_64 rng(test_seed() + 9);
    Coeffs a, b;
    planted_pair(rng, f, 6000, 5990, 700, &a, &b);
    int reductions = 0;
    ASSERT_EQ(run_hgcd(f, a, b, &reductions), ref_monic_gcd(f, a, b)) << ring_name(p);
    EXPECT_GE(reductions, 2);  // 11,990 is far above 4,000: a second reduction
  }
}

TEST(HgcdCases, TheEuclidLoopTakesOverAtTheDegreeSum) {
  ModulusScope scope(65521);
  const RefField f(65521);
  std::mt19937_64 rng(test_seed() + 13);
  const Coeffs a = random_coeffs(rng, f, 300), b = random_coeffs(rng, f, 299);
  // The degree sum after the first reduction and remainder, found by letting
  // the Euclid loop take over at once.
  std::int32_t sum_after_first = 0;
  {
    ScopedValue<std::int32_t> never(hgcd_recursion_sum, 1000000);
    std::fill(xx, xx + gcd_array_size, 0);
    std::fill(yy, yy + gcd_array_size, 0);
    load_array(a, xx);
    load_array(b, yy);
    fastest_poly_gcd_EnvRec e{299, 300, false};
    testing::internal::CaptureStdout();
    fullhg(xx, yy, &e.xexp, &e.yexp);
    testing::internal::GetCapturedStdout();
    bool vanished = false;  // the remainder of the larger by the smaller
    if (e.yexp > e.xexp) {
      onevar_array_mod(yy, xx, &e.yexp, e.xexp, &vanished);
    } else {
      onevar_array_mod(xx, yy, &e.xexp, e.yexp, &vanished);
    }
    sum_after_first = e.xexp + e.yexp;
  }
  ASSERT_GT(sum_after_first, 100);
  int reductions = 0;
  {
    ScopedValue<std::int32_t> at(hgcd_recursion_sum, sum_after_first);  // not above: Euclid
    EXPECT_EQ(run_hgcd(f, a, b, &reductions), ref_monic_gcd(f, a, b));
    EXPECT_EQ(reductions, 1);
  }
  {
    ScopedValue<std::int32_t> below(hgcd_recursion_sum, sum_after_first - 1);  // above: again
    EXPECT_EQ(run_hgcd(f, a, b, &reductions), ref_monic_gcd(f, a, b));
    EXPECT_EQ(reductions, 2);
  }
}

TEST(HgcdCases, EuclidLoopAloneFindsDivisorsAndCoprimality) {
  ModulusScope scope(101);
  const RefField f(101);
  std::mt19937_64 rng(test_seed());
  const Coeffs g = random_coeffs(rng, f, 30);
  const Coeffs a = ref_mult(f, random_coeffs(rng, f, 40), g);
  for (const Coeffs& b : {g, random_coeffs(rng, f, 29)}) {
    std::fill(xx, xx + gcd_array_size, 0);
    std::fill(yy, yy + gcd_array_size, 0);
    load_array(a, xx);
    load_array(b, yy);
    fastest_poly_gcd_EnvRec e{static_cast<std::int32_t>(ref_degree(b)), 70, false};
    simple_onevar_gcd(&e);
    const Coeffs want = ref_monic_gcd(f, a, b);
    if (want == Coeffs{1}) {
      EXPECT_FALSE(e.all_zeros);
    } else {
      ASSERT_TRUE(e.all_zeros);
      ASSERT_EQ(e.xexp, -1);  // m divides n: the first remainder is zero, the GCD is yy
      EXPECT_EQ(array_slice(yy, 0, e.yexp), g);  // with its own leading coefficient
    }
  }
}

}  // namespace
}  // namespace tavrin::test
