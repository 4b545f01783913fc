// Dense Gaussian elimination and its kernels: known answers (small sides,
// the pivot choice, singular matrices, the word and floating kernels),
// planted determinants det(L U) in eight rings checked against sparse
// elimination and expansion by minors, inverses checked by A A^-1 = I, and
// the residue and floating kernels against a plain elimination.
#include "core/error_codes.h"
#include "det/dense_gauss.h"
#include "det/det_support.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matrix/pivot_search.h"
#include "det/bareiss.h"
#include "det/router.h"
#include "det/sparse_gauss.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class DenseGauss : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
  }
  PolyVars vars_{"x", "y"};
};

Mat numbers(const std::vector<std::vector<long long>>& t) {
  Mat m(std::int32_t(t.size()), std::int32_t(t.size()));
  for (std::size_t i = 0; i < t.size(); ++i)
    for (std::size_t j = 0; j < t.size(); ++j)
      m.at(std::int32_t(i), std::int32_t(j)) = Value::number(BigRef(t[i][j]));
  return m;
}

// Runs the standard method on a dense copy of a; checks a's copy unchanged
// (determinant) and returns the determinant, or the inverse in *inv.
Value standard(const Mat& a, std::int32_t cut, Mat* inv = nullptr, std::string* out = nullptr) {
  const std::int32_t m = a.rows;
  auto w = fresh_work();
  auto o = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  mat_invert_EnvRec env;
  set_search_params(env, w.get(), m);
  env.mycut = cut;
  Value d = Value::number(BigRef(1));
  const std::string text = output_of([&] {
    try {
      standard_matrix_invert(d.cell(), m, nullptr, w.get(), o.get(), {.invert = inv != nullptr},
                             env);
    } catch (const mat_invert_exit&) {
    }
  });
  if (out != nullptr) *out = text;
  EXPECT_TRUE(same_mat(from_dense(w.get(), m, m), a));
  if (inv != nullptr) *inv = from_dense(o.get(), m, m);
  free_cells(w.get(), m * m);
  free_cells(o.get(), m * m);
  EXPECT_EQ(dupptr, nullptr);
  return d;
}

Value sparse_bareiss(const Mat& a) {
  Value d = Value::number(BigRef(1));
  sparseptr sp = to_sparse(a);
  sparse_gauss_Bareiss(&sp, d.cell(), a.rows, 3, true);
  EXPECT_EQ(sp, nullptr);
  return d;
}

TEST_F(DenseGauss, KnownAnswers) {
  NodeBalance balance;
  EXPECT_EQ(number_value(standard(numbers({{-6}}), 2)->ncoef), BigRef(-6));
  for (std::int32_t cut : {0, 2}) {
    EXPECT_EQ(number_value(standard(numbers({{3, 5}, {7, 11}}), cut)->ncoef),
              BigRef(3 * 11 - 7 * 5));
    EXPECT_EQ(number_value(standard(numbers({{1, 2, 3}, {4, 5, 6}, {7, 8, 10}}), cut)->ncoef),
              BigRef(-3));
    EXPECT_EQ(number_value(standard(numbers({{0, 1, 2}, {0, 3, 4}, {0, 5, 6}}), cut)->ncoef),
              BigRef(0));
  }
  // A zero first column: no inverse, error 44.
  Mat inv;
  std::string out;
  standard(numbers({{0, 1}, {0, 2}}), 0, &inv, &out);
  EXPECT_TRUE(reports(out, 44)) << out;
  // The kernels on an exchange: modulo 7 -1 is 6; floating -1.0.
  auto on_exchange = [](void (*kernel)(workptr, std::int32_t, quolyptr)) {
    Mat a = numbers({{0, 1}, {1, 0}});
    auto w = fresh_work();
    Descr f;
    to_dense(a, w.get(), f.get());
    Value d = Value::number(BigRef(1));
    kernel(w.get(), 2, d.cell());
    free_cells(w.get(), 4);
    return d;
  };
  {
    ModulusScope mod(7);
    EXPECT_EQ(on_exchange(mod_determ)->ncoef->lint, 6);
  }
  {
    FloatingMode fl;
    EXPECT_EQ(on_exchange(fl_determ)->ncoef->flote, -1.0L);
  }
  // Pivot choice: a number beats any polynomial; among polynomials the
  // lightest, here in a later column (row 2, column 3).
  Mat p(3, 3);
  const char* cells[3][3] = {
      {"x^2+y", "x*y+1", "x^3"}, {"x+y+1", "x^2", "y"}, {"x*y", "y^2+1", "7"}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) p.at(i, j) = Value::ratfun(cells[i][j]);
  auto w = fresh_work();
  Descr f;
  to_dense(p, w.get(), f.get());
  std::int32_t newi = 0, j = 0;
  find_good_spot(w.get(), 1, 3, 3, &newi, &j);
  EXPECT_EQ(newi, 3);
  EXPECT_EQ(j, 3);
  quoly_set(0, &w->stash[8]);
  w->stash[8]->next = nullptr;
  find_good_spot(w.get(), 1, 3, 3, &newi, &j);
  EXPECT_EQ(newi, 2);
  EXPECT_EQ(j, 3);
  free_cells(w.get(), 9);
  // The sign of det(L U) with one row and one column exchange agrees with
  // expansion by minors.
  EXPECT_TRUE(quoly_equal(standard(p, 0), minors(p)));
  // Through the router with a factor: one that divides gives the quotient;
  // one that does not is error 305, the array and the ring untouched.
  const Value det = minors(p);
  for (const std::string& factor : {show_poly(det->numer), std::string("x + 7")}) {
    Poly fct(factor);
    to_dense(p, w.get(), f.get());
    Value d = Value::number(BigRef(1));
    const std::string text = output_of(
        [&] { mat_invert(w.get(), w.get(), 3, d.cell(), nullptr, fct, -1, -1, -1, 0, {}); });
    EXPECT_TRUE(same_mat(from_dense(w.get(), 3, 3), p));
    free_cells(w.get(), 9);
    EXPECT_FALSE(modularmode || lintmode || flotemode);
    EXPECT_EQ(reports(text, 305), factor == "x + 7") << text;
    if (factor != "x + 7") {
      EXPECT_EQ(number_value(d->ncoef), BigRef(1));
    }
  }
}

struct RingCase {
  std::int32_t modulus;  // 0: rational arithmetic
  bool polys, fractions;
};

Value entry(std::mt19937_64& g, const RingCase& rc, bool nonzero) {
  auto number = [&]() {
    long long v = 0;
    do
      v = rc.modulus > 0 ? (long long)(g() % std::uint64_t(rc.modulus)) : (long long)(g() % 19) - 9;
    while (nonzero && v == 0);
    return Value::number(BigRef(v));
  };
  Value v = number();
  if (rc.polys && g() % 2 == 0)
    v = Value::ratfun(std::to_string(1 + g() % 5) + "*x + " + std::to_string(g() % 5) + "*y^2 - 1");
  if (!rc.fractions || g() % 2 == 0) return v;
  Value q;
  quoly_quot(v, Value::ratfun("x + " + std::to_string(1 + g() % 4)), q.cell(), false);
  return q;
}

TEST_F(DenseGauss, PlantedDeterminantsAndInverses) {
  const RingCase rings[] = {
      {0, false, false},          {0, false, true},    {7, false, false}, {32003, false, false},
      {2147483629, false, false}, {256, false, false}, {0, true, false},  {0, true, true}};
  std::mt19937_64 rng(45);
  for (const RingCase& rc : rings) {
    std::optional<ModulusScope> mod;
    if (rc.modulus > 0) mod.emplace(rc.modulus);
    NodeBalance balance;
    for (int trial = 0; trial < 6; ++trial) {
      const std::int32_t n = 2 + std::int32_t(rng() % (rc.polys ? 4 : 7));
      Mat l(n, n), u(n, n);
      Value planted = Value::number(BigRef(1));
      for (std::int32_t i = 0; i < n; ++i)
        for (std::int32_t j = 0; j < n; ++j) {
          if (j <= i) l.at(i, j) = entry(rng, rc, i == j);
          if (j >= i) u.at(i, j) = entry(rng, rc, i == j);
        }
      for (std::int32_t i = 0; i < n; ++i) {
        fast_quoly_mult(planted.cell(), l.at(i, i).cell());
        fast_quoly_mult(planted.cell(), u.at(i, i).cell());
      }
      const Mat a = schoolbook(l, u);
      for (std::int32_t cut : {0, 2, n}) EXPECT_TRUE(quoly_equal(standard(a, cut), planted)) << n;
      if (!rc.fractions) {
        EXPECT_TRUE(quoly_equal(bareiss(a), planted)) << n;
        EXPECT_TRUE(quoly_equal(sparse_bareiss(a), planted)) << n;
      }
      Value sparse;
      sparseptr sp = to_sparse(a);
      sparse_gauss_elim(&sp, sparse.cell(), n, 3, true);
      EXPECT_TRUE(quoly_equal(sparse, planted));
      Mat inv;
      standard(a, 0, &inv);
      Mat id(n, n);
      for (std::int32_t i = 0; i < n; ++i) id.at(i, i) = Value::number(BigRef(1));
      EXPECT_TRUE(same_mat(schoolbook(a, inv), id)) << n;
    }
  }
}

TEST_F(DenseGauss, BareissAndTrialDivision) {
  NodeBalance balance;
  // [[a, b], [c, d]]: a d - c b, no division.
  Mat s(2, 2);
  const char* e[] = {"x + 1", "y", "x*y - 2", "x^2"};
  for (int k = 0; k < 4; ++k) s.at(k % 2, k / 2) = Value::ratfun(e[k]);
  EXPECT_TRUE(quoly_equal(bareiss(s), Value::ratfun("(x+1)*x^2 - (x*y-2)*y")));
  EXPECT_TRUE(quoly_equal(sparse_bareiss(s), Value::ratfun("(x+1)*x^2 - (x*y-2)*y")));
  // 50,001 rows: error 375.
  sparseptr big = nullptr;
  sparse_init(&big, max_pivot_rows + 1);
  Value d = Value::number(BigRef(1));
  bool unwound = false;
  const std::string out = output_of(
      [&] { sparse_gauss_Bareiss(&big, d.cell(), max_pivot_rows + 1, 3, false); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, sparse_matrix_too_large_error)) << out;
  free_sparse(&big, max_pivot_rows + 1, true);
  // Planted products a b divide by b (quotient a); a b + 1 does not; a zero
  // dividend divides; a number is not divided by a polynomial.
  for (std::int32_t p : {0, 32003}) {
    std::optional<ModulusScope> mod;
    if (p > 0) mod.emplace(p);
    auto val = [](const std::string& t) {
      return t.find_first_of("xy") == std::string::npos ? Value::number(BigRef(std::stoll(t)))
                                                        : Value::ratfun(t);
    };
    const char* as[] = {"x^2*y - 3*x + 7", "2*y^3 + x", "5", "x*y + y^2 + 11"};
    const char* bs[] = {"x - y + 2", "3*y + 1", "y^2 - x^3*y + 4", "6"};
    for (const char* a : as)
      for (const char* b : bs) {
        Value divisor = val(b);
        Value ab;
        quoly_mult(val(a), divisor, ab.cell());
        bool fails = false;
        trial_divide(divisor.cell(), ab.cell(), true, false, false, &fails);
        EXPECT_FALSE(fails) << a << " / " << b;
        EXPECT_TRUE(quoly_equal(ab, val(a))) << a << " / " << b;
        Value plus1 = Value::ratfun(std::string("(") + a + ")*(" + b + ") + 1");
        fails = false;
        trial_divide(divisor.cell(), plus1.cell(), false, false, false, &fails);
        EXPECT_EQ(fails, b != std::string("6") || p == 0) << a << " / " << b;
      }
    Value zero = Value::number(BigRef(0)), x = Value::ratfun("x"), seven = Value::number(BigRef(7));
    bool fails = false;
    trial_divide(x.cell(), zero.cell(), false, false, false, &fails);
    EXPECT_FALSE(fails);
    trial_divide(x.cell(), seven.cell(), false, false, false, &fails);
    EXPECT_TRUE(fails);
    Value answer = Value::ratfun("x + 1"), dividend = Value::ratfun("x^2 - 1");
    fails = true;  // answer mode
    trial_divide(answer.cell(), dividend.cell(), false, false, false, &fails);
    EXPECT_EQ(number_value(answer->ncoef), BigRef(1));
  }
}

// The plain elimination the residue kernel must equal, cell by cell.
std::int32_t plain_mod_det(std::vector<std::vector<std::int32_t>> a) {
  std::int32_t d = 1;
  const std::size_t m = a.size();
  for (std::size_t i = 0; i < m; ++i) {
    std::size_t r = i;
    while (r < m && a[r][i] == 0) ++r;
    if (r == m) return 0;
    if (r != i) {
      std::swap(a[r], a[i]);
      d = mod_sub(0, d, modulus);
    }
    d = modmult(std::uint32_t(a[i][i]), std::uint32_t(d));
    std::int32_t inv = 0;
    mod_inverse(a[i][i], &inv);
    for (std::size_t k = i + 1; k < m; ++k) {
      const std::int32_t g = modmult(std::uint32_t(a[k][i]), std::uint32_t(inv));
      for (std::size_t c = i + 1; c < m; ++c)
        a[k][c] = mod_sub(a[k][c], modmult(std::uint32_t(a[i][c]), std::uint32_t(g)), modulus);
    }
  }
  return d;
}

TEST_F(DenseGauss, KernelsAgreeWithThePlainElimination) {
  std::mt19937_64 rng(4545);
  for (std::int32_t p : {7, 32003, 65521, 2147483629, 256, 65536}) {
    ModulusScope mod(p);
    for (std::int32_t m : {1, 2, 3, 8, 17, 40}) {
      std::vector<std::vector<std::int32_t>> a(
          static_cast<std::size_t>(m), std::vector<std::int32_t>(static_cast<std::size_t>(m)));
      Mat v(m, m);
      const bool sparse = rng() % 2 == 0;
      for (std::int32_t i = 0; i < m; ++i)
        for (std::int32_t j = 0; j < m; ++j) {
          const auto x = std::int32_t((sparse && rng() % 3 != 0) ? 0 : rng() % std::uint64_t(p));
          a[std::size_t(i)][std::size_t(j)] = x;
          v.at(i, j) = Value::number(BigRef(x));
        }
      auto w = fresh_work();
      Descr f;
      to_dense(v, w.get(), f.get());
      Value d = Value::number(BigRef(3));
      mod_determ(w.get(), m, d.cell());
      EXPECT_EQ(d->ncoef->lint, modmult(3, std::uint32_t(plain_mod_det(a)))) << p << " " << m;
      free_cells(w.get(), m * m);
    }
  }
  // Floating: exactly the plain elimination's long double.
  FloatingMode fl;
  for (std::int32_t m : {3, 12, 30}) {
    Mat v(m, m);
    std::vector<std::vector<long double>> a(static_cast<std::size_t>(m),
                                            std::vector<long double>(static_cast<std::size_t>(m)));
    for (std::int32_t i = 0; i < m; ++i)
      for (std::int32_t j = 0; j < m; ++j) {
        const long long x = (long long)(rng() % 201) - 100;
        a[std::size_t(i)][std::size_t(j)] = (long double)x;
        v.at(i, j) = Value::number(BigRef(x));
      }
    long double d = 1;
    for (std::size_t i = 0; i < std::size_t(m); ++i) {
      std::size_t r = i;
      while (a[r][i] == 0.0L) ++r;
      if (r != i) std::swap(a[r], a[i]), d = -d;
      d *= a[i][i];
      for (std::size_t k = i + 1; k < std::size_t(m); ++k)
        for (std::size_t c = i + 1; c < std::size_t(m); ++c)
          a[k][c] -= a[i][c] * a[k][i] * (1.0L / a[i][i]);
    }
    auto w = fresh_work();
    Descr f;
    to_dense(v, w.get(), f.get());
    Value got = Value::number(BigRef(1));
    fl_determ(w.get(), m, got.cell());
    EXPECT_EQ(got->ncoef->flote, d) << m;
    free_cells(w.get(), m * m);
  }
}

}  // namespace
}  // namespace tavrin::test
