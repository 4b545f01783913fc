// Binomials in the floating, word and exact modes against Pascal's rule
// computed here with exact integers, and integer square roots against the
// defining inequality r^2 <= v < (r + 1)^2.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "lang/binomials.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

class Binomials : public testing::Test {
 protected:
  Binomials() {
    load_data_tables();
    // Pascal's triangle up to row 152.
    rows.assign(153, {});
    for (std::size_t n = 0; n < rows.size(); ++n) {
      rows[n].assign(n + 1, BigRef(1));
      for (std::size_t r = 1; r < n; ++r) rows[n][r] = rows[n - 1][r - 1] + rows[n - 1][r];
    }
  }
  BigModeGuard big;
  std::vector<std::vector<BigRef>> rows;
};

long double as_real(const BigRef& v) {
  imptr n = from_ref(v);
  long double x = 0;
  for (std::int32_t limb : limbs_of(n)) x = x * 268435456.0L + limb;
  free_imag(&n);
  return x;
}

TEST_F(Binomials, EveryModeAgreesWithPascalsRule) {
  for (std::int32_t n = 0; n <= 152; ++n) {
    for (std::int32_t r = 0; r <= n; ++r) {
      const BigRef& want = rows[n][r];
      if (n <= 150) {
        quoly m = nullptr;
        rat_binom(n, r, &m);
        EXPECT_EQ(number_value(m->ncoef), want) << n << " " << r;
        free_quoly(&m);
      }
      {
        FloatingMode fl;
        quoly m = nullptr;
        flote_binom(n, r, &m);
        const long double w = as_real(want);
        EXPECT_LE(std::fabs(m->ncoef->flote - w), w * 1e-17L) << n << " " << r;
        free_quoly(&m);
      }
      if (n <= 30) {
        WordMode word;
        quoly m = nullptr;
        lint_binom(n, r, &m);
        EXPECT_EQ(BigRef(m->ncoef->lint), want) << n << " " << r;
        free_quoly(&m);
      }
      if (n % 3 == 0 && n >= 3 && r >= 1 && r <= n - 1 && want < BigRef(1 << 28)) {
        EXPECT_EQ(BigRef(ifrom_table(n, r)), want) << n << " " << r;
      }
      if (r == 1 || r == 2) {
        long double t = 0;
        itrivial(n, r, &t);
        EXPECT_EQ(t, as_real(rows[n][r])) << n << " " << r;
      }
    }
  }
}

TEST_F(Binomials, LimitsOfTheModes) {
  bool unwound = false;
  quoly m = nullptr;
  {
    WordMode word;
    std::string out = output_of([&] { lint_binom(31, 2, &m); }, &unwound);
    EXPECT_TRUE(unwound && reports(out, 239));
    EXPECT_EQ(m, nullptr);
  }
  {
    FloatingMode fl;
    std::string out = output_of([&] { flote_binom(153, 1, &m); }, &unwound);
    EXPECT_TRUE(unwound && reports(out, 377));
    EXPECT_EQ(m, nullptr);
  }
}

TEST_F(Binomials, SquareRootsBracketTheirOperand) {
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(200); ++i) {
    const int limbs = 1 + static_cast<int>(rng() % 60);
    const BigRef v = random_big_exact(rng, limbs).abs();
    imptr x = from_ref(v);
    square_root(x, x);
    const BigRef r = to_ref(x);
    EXPECT_LE(r * r, v);
    EXPECT_LT(v, (r + 1) * (r + 1));
    free_imag(&x);
  }
  {
    WordMode word;
    number w{};
    for (std::int32_t v : {0, 1, 2, 3, 4, 15, 16, 17, 2147395599, 2147395600, 2147483647}) {
      w.lint = v;
      square_root(&w, &w);
      const std::int64_t r = w.lint;
      EXPECT_LE(r * r, v);
      EXPECT_LT(v, (r + 1) * (r + 1));
    }
    for (int i = 0; i < 1000; ++i) {
      w.lint = static_cast<std::int32_t>(rng() >> 33);
      const std::int64_t v = w.lint;
      square_root(&w, &w);
      const std::int64_t r = w.lint;
      EXPECT_TRUE(r * r <= v && v < (r + 1) * (r + 1)) << v;
    }
    w.lint = -1;
    bool unwound = false;
    EXPECT_TRUE(reports(output_of([&] { square_root(&w, &w); }, &unwound), 37));
    EXPECT_EQ(w.lint, -1);
  }
}

}  // namespace
}  // namespace tavrin::test
