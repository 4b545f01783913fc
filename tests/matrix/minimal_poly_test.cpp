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

Dense mul(const Dense& a, const Dense& b) {
  const std::size_t n = a.size();
  Dense c(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < n; ++k)
      if (a[i][k] != 0)
        for (std::size_t j = 0; j < n; ++j) c[i][j] = (c[i][j] + a[i][k] * b[k][j]) % test_prime;
  return c;
}

TEST_F(MinimalPoly, PlantedLeastCommonMultiples) {
  std::mt19937_64 g(5252);
  seed_random(4848);
  for (std::int32_t n : {8, 13, 21, 34, 60}) {
    // B: companion blocks of products of (x - r)^e, some blocks repeated.
    Mat b = int_mat(n);
    std::map<std::int64_t, std::int32_t> lcm;  // root -> largest multiplicity
    std::int32_t at = 0;
    std::vector<std::int64_t> last;
    std::map<std::int64_t, std::int32_t> last_roots;
    while (at < n) {
      std::vector<std::int64_t> poly{1};  // lowest first, monic
      std::map<std::int64_t, std::int32_t> roots;
      if (!last.empty() && g() % 3 == 0 && at + static_cast<std::int32_t>(last.size()) - 1 <= n) {
        poly = last;
        roots = last_roots;
      } else {
        const std::int32_t factors = 1 + static_cast<std::int32_t>(g() % 3);
        for (std::int32_t f = 0; f < factors && at + static_cast<std::int32_t>(poly.size()) - 1 < n; ++f) {
          const std::int64_t r = static_cast<std::int64_t>(g() % 7) - 3;
          std::vector<std::int64_t> next(poly.size() + 1, 0);
          for (std::size_t i = 0; i < poly.size(); ++i) {
            next[i + 1] += poly[i];
            next[i] -= r * poly[i];
          }
          poly = next;
          ++roots[r];
        }
      }
      last = poly;
      last_roots = roots;
      std::vector<std::int64_t> low(poly.begin(), poly.end() - 1);
      put_companion(b, at, low);
      at += static_cast<std::int32_t>(low.size());
      for (auto [r, e] : roots) lcm[r] = std::max(lcm[r], e);
    }
    // U = I + N, N nonzero only in the rows the projections may read and
    // only outside their columns, so N² = 0 and U⁻¹ = I - N.
    std::vector<bool> read(static_cast<std::size_t>(n), false);
    for (std::int32_t y : {n / 3 - 1, n / 3, 2 * n / 3 - 1, 2 * n / 3, n - 2, n - 1})
      read[static_cast<std::size_t>(y)] = true;
    Dense N(static_cast<std::size_t>(n), std::vector<std::int64_t>(static_cast<std::size_t>(n), 0));
    for (std::int32_t i = 0; i < n; ++i)
      for (std::int32_t j = 0; j < n; ++j)
        if (read[static_cast<std::size_t>(i)] && !read[static_cast<std::size_t>(j)])
          N[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = 1 + static_cast<std::int64_t>(g() % 2);
    Dense U = N, V = N, B(static_cast<std::size_t>(n), std::vector<std::int64_t>(static_cast<std::size_t>(n), 0));
    for (std::int32_t i = 0; i < n; ++i) {
      const auto si = static_cast<std::size_t>(i);
      for (std::int32_t j = 0; j < n; ++j) {
        const auto sj = static_cast<std::size_t>(j);
        V[si][sj] = -N[si][sj];
        quoly v = b.get(i, j);
        B[si][sj] = v == nullptr ? 0 : static_cast<std::int64_t>(quoly_convert_to_int(v));
      }
      U[si][si] = 1;
      V[si][si] = 1;
    }
    // The entries stay far below the test prime, so A is exact.
    const Dense A = mul(mul(U, B), V);
    Mat a = int_mat(n);
    for (std::int32_t i = 0; i < n; ++i)
      for (std::int32_t j = 0; j < n; ++j) {
        std::int64_t v = A[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        if (v > test_prime / 2) v -= test_prime;
        if (v != 0) put(a, i, j, v);
      }
    std::string want = "1";
    for (auto [r, e] : lcm) want += "*(x - (" + std::to_string(r) + "))^" + std::to_string(e);
    Value p = minpoly(a, 3);
    EXPECT_TRUE(quoly_equal(p, Value::ratfun(want))) << n << ": " << value_text(p) << " vs " << want;
    // The planted polynomial annihilates A.
    Dense prod(static_cast<std::size_t>(n), std::vector<std::int64_t>(static_cast<std::size_t>(n), 0));
    for (std::int32_t i = 0; i < n; ++i) prod[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 1;
    for (auto [r, e] : lcm)
      for (std::int32_t k = 0; k < e; ++k) {
        Dense f = A;
        for (std::int32_t i = 0; i < n; ++i) {
          auto& x = f[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)];
          x = ((x - r) % test_prime + test_prime) % test_prime;
        }
        prod = mul(prod, f);
      }
    for (const auto& row : prod)
      for (std::int64_t v : row) ASSERT_EQ(v, 0) << n;
  }
}

}  // namespace
}  // namespace tavrin::test
