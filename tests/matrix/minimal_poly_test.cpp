// Minimal polynomials by random projections: known answers and refusals,
// and planted cases U·B·U⁻¹ (B block-diagonal from companion matrices, U
// unimodular) whose answer must be the planted least common multiple,
// checked to annihilate the matrix by products on the test side.
#include "matrix/minimal_poly.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "matrix/matrix_support.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MinimalPoly : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();  // the word primes and their products
  }
  PolyVars vars_{"x"};
};

// A named-array node over a sparse copy of m.
struct SparseArray {
  arrnode a{};
  explicit SparseArray(const Mat& m) {
    a.rows = m.rows;
    a.spar = to_sparse(m);
    special_set_2(m.rows, m.rows, &a.sizearr);
  }
  ~SparseArray() {
    free_sparse(&a.spar, a.rows, true);
    special_free(&a.sizearr);
  }
};

// Mills with the coefficient bound of gershgorn (none in modular mode).
Value minpoly(const Mat& m, std::int32_t slow) {
  SparseArray s(m);
  Value bound;
  gershgorn(bound.cell(), &s.a, m.rows);
  Value p;
  bool ok = false;
  Mills(&s.a, m.rows, slow, bound.cell(), p.cell(), &ok);
  EXPECT_TRUE(ok);
  return p;
}

Mat int_mat(std::int32_t n) { return Mat(n, n); }
void put(Mat& m, std::int32_t i, std::int32_t j, std::int64_t v) {
  m.at(i, j) = Value::number(BigRef(v));
}

// The companion matrix of the monic polynomial c (lowest coefficient
// first, leading 1 left out) at rows and columns from `at`.
void put_companion(Mat& m, std::int32_t at, const std::vector<std::int64_t>& c) {
  const auto d = static_cast<std::int32_t>(c.size());
  for (std::int32_t i = 0; i + 1 < d; ++i) put(m, at + i + 1, at + i, 1);
  for (std::int32_t i = 0; i < d; ++i)
    if (c[static_cast<std::size_t>(i)] != 0) put(m, at + i, at + d - 1, -c[static_cast<std::size_t>(i)]);
}

TEST_F(MinimalPoly, KnownAnswersAndRefusals) {
  seed_random(52);
  bool unwound = false;
  std::string out = output_of([&] { minpoly(int_mat(7), 0); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, 253)) << out;

  Mat id = int_mat(8);
  for (std::int32_t i = 0; i < 8; ++i) put(id, i, i, 1);
  EXPECT_TRUE(quoly_equal(minpoly(id, 0), Value::ratfun("x - 1")));

  Mat diag = int_mat(8);
  const std::int64_t d[8] = {1, 1, 1, 2, 2, 2, 3, 3};
  for (std::int32_t i = 0; i < 8; ++i) put(diag, i, i, d[i]);
  EXPECT_TRUE(quoly_equal(minpoly(diag, 1), Value::ratfun("(x - 1)*(x - 2)*(x - 3)")));

  // Negative coefficients, whatever the display of residues says: the
  // companion matrix of x^10 - 3x^7 + 5x^2 - 7x - 11.
  Mat c = int_mat(10);
  put_companion(c, 0, {-11, -7, 5, 0, 0, 0, 0, -3, 0, 0});
  for (bool alt : {true, false}) {
    const bool saved = alt_form_display;
    alt_form_display = alt;
    EXPECT_TRUE(quoly_equal(minpoly(c, 1), Value::ratfun("x^10 - 3*x^7 + 5*x^2 - 7*x - 11")))
        << alt;
    alt_form_display = saved;
  }

  // A non-number entry.
  Mat r = copy_mat(id);
  r.at(2, 3) = Value::ratfun("x");
  out = output_of([&] { minpoly(r, 0); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, 254)) << out;

  // Modulo 3 the start vector lies in [0, 3); the answer is reduced.
  {
    ModulusScope mod(3);
    Mat m3 = int_mat(9);
    // x^9 + 2x^3 + x^2 + 1 is irreducible over GF(3): every non-zero
    // start vector finds it.
    put_companion(m3, 0, {1, 0, 1, 2, 0, 0, 0, 0, 0});
    Value p3 = minpoly(m3, 2);
    EXPECT_TRUE(quoly_equal(p3, Value::ratfun("x^9 + 2*x^3 + x^2 + 1"))) << value_text(p3);
    EXPECT_EQ(mills_mod, 3);
    for (std::uint32_t v : xmills) ASSERT_LT(v, 3u);
  }
  Mat again = copy_mat(id);
  EXPECT_TRUE(quoly_equal(minpoly(again, 0), Value::ratfun("x - 1")));
  EXPECT_EQ(mills_mod, 5);
}

// Products modulo a word prime on the test side.
using Dense = std::vector<std::vector<std::int64_t>>;
constexpr std::int64_t test_prime = 2147483647;

Dense identity(std::size_t n) {
  Dense d(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i) d[i][i] = 1;
  return d;
}

Dense mul(const Dense& a, const Dense& b) {
  const std::size_t n = a.size();
  Dense c(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < n; ++k)
      if (a[i][k] != 0)
        for (std::size_t j = 0; j < n; ++j) c[i][j] = (c[i][j] + a[i][k] * b[k][j]) % test_prime;
  return c;
}

// Every size meets a root 0, whose factor x a sequence started at A·x
// instead of x would lose.
TEST_F(MinimalPoly, PlantedLeastCommonMultiples) {
  std::mt19937_64 g(5252);
  seed_random(4848);
  for (std::size_t n : {8, 13, 21, 34, 60}) {
    // B: companion blocks of products of (x - r)^e, r in -3..3, a block
    // sometimes repeating the one before; lcm: root -> largest multiplicity.
    Dense B(n, std::vector<std::int64_t>(n, 0));
    std::map<std::int64_t, int> lcm, roots;
    for (std::size_t at = 0; at < n;) {
      if (roots.empty() || g() % 3 != 0) {
        roots.clear();
        for (std::size_t f = 0, k = 1 + g() % 3; f < k && at + f < n; ++f)
          ++roots[static_cast<std::int64_t>(g() % 7) - 3];
      }
      std::vector<std::int64_t> c{1};  // the block's polynomial, lowest first
      for (auto [r, e] : roots)
        for (int k = 0; k < e; ++k) {
          c.insert(c.begin(), 0);
          for (std::size_t i = 0; i + 1 < c.size(); ++i) c[i] -= r * c[i + 1];
        }
      const std::size_t d = c.size() - 1;
      if (at + d > n) {
        roots.clear();
        continue;
      }
      for (std::size_t i = 0; i < d; ++i) {
        if (i + 1 < d) B[at + i + 1][at + i] = 1;
        B[at + i][at + d - 1] = -c[i];
      }
      for (auto [r, e] : roots) lcm[r] = std::max(lcm[r], e);
      at += d;
    }
    // U = I + N, N nonzero only in the rows the projections may read and
    // only outside their columns, so N² = 0 and U⁻¹ = I - N.
    std::vector<bool> read(n, false);
    for (std::size_t y : {n / 3 - 1, n / 3, 2 * n / 3 - 1, 2 * n / 3, n - 2, n - 1}) read[y] = true;
    Dense U = identity(n), V = identity(n);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (read[i] && !read[j]) {
          U[i][j] = 1 + static_cast<std::int64_t>(g() % 2);
          V[i][j] = -U[i][j];
        }
    const Dense A = mul(mul(U, B), V);  // exact: the entries stay small
    Mat a = int_mat(static_cast<std::int32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (A[i][j] != 0) put(a, static_cast<std::int32_t>(i), static_cast<std::int32_t>(j), A[i][j]);
    std::string want = "1";
    for (auto [r, e] : lcm) want += "*(x - (" + std::to_string(r) + "))^" + std::to_string(e);
    EXPECT_TRUE(lcm.count(0) == 1) << n;
    Value p = minpoly(a, 3);
    EXPECT_TRUE(quoly_equal(p, Value::ratfun(want))) << n << ": " << value_text(p) << " vs " << want;
    // The planted polynomial annihilates A.
    Dense prod = identity(n);
    for (auto [r, e] : lcm)
      for (int k = 0; k < e; ++k) {
        Dense f = A;
        for (std::size_t i = 0; i < n; ++i) f[i][i] -= r;
        prod = mul(prod, f);
      }
    for (const auto& row : prod)
      for (std::int64_t v : row) ASSERT_EQ(v % test_prime, 0) << n;
  }
}

}  // namespace
}  // namespace tavrin::test
