// Leverrier-Faddeev: known characteristic polynomials, a differential test
// against det(A - xI) through the router, inverses checked by A·A⁻¹ = I
// (switched to dense work or not), and the refusals.
#include "matrix/leverrier.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "toplevel/start_tables.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class Leverrier : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
  }
  PolyVars vars_{"x"};
};

Mat int_mat(std::int32_t n, std::initializer_list<std::int64_t> rows_first) {
  Mat m(n, n);
  std::int32_t k = 0;
  for (std::int64_t v : rows_first) {
    m.at(k / n, k % n) = Value::number(BigRef(v));
    ++k;
  }
  return m;
}

Value chpoly(const Mat& m) {
  sparseptr sp = to_sparse(m);
  Value p;
  sparse_chpoly(p.cell(), sp, m.rows);
  EXPECT_TRUE(same_mat(from_sparse(sp, m.rows, m.rows), m));
  free_sparse(&sp, m.rows, true);
  return p;
}

// det(A - xI) through the router's sparse route.
Value router_chpoly(const Mat& m) {
  Mat b = copy_mat(m);
  for (std::int32_t i = 0; i < m.rows; ++i) {
    Value minus_x = Value::ratfun("-x");
    Value s;
    if (b.get(i, i) == nullptr) {
      s = Value::ratfun("-x");
    } else {
      quoly_add(b.get(i, i), minus_x, s.cell());
    }
    b.at(i, i) = std::move(s);
  }
  sparseptr sp = to_sparse(b);
  Value d = Value::number(BigRef(0));
  mat_invert(nullptr, nullptr, m.rows, d.cell(), &sp, nullptr, -1, -1, -1, 0,
             {.ar_free = true, .oar_free = true, .equal = true});
  if (sp != nullptr) free_sparse(&sp, m.rows, true);
  return d;
}

Mat random_int_mat(std::mt19937_64& g, std::int32_t n, double zero_share) {
  return random_mat(g, n, n, zero_share, [](std::mt19937_64& r) {
    return Value::number(BigRef(static_cast<std::int64_t>(r() % 19) - 9));
  });
}

TEST_F(Leverrier, KnownCharacteristicPolynomials) {
  EXPECT_TRUE(quoly_equal(chpoly(int_mat(1, {5})), Value::ratfun("5 - x")));
  // x^2 - (a + d)x + (ad - bc)
  EXPECT_TRUE(quoly_equal(chpoly(int_mat(2, {1, 2, 3, 4})), Value::ratfun("x^2 - 5*x - 2")));
  // Odd side: leading term -x^3.
  EXPECT_TRUE(quoly_equal(chpoly(int_mat(3, {2, 0, 0, 0, 3, 0, 0, 0, 4})),
                          Value::ratfun("-(x - 2)*(x - 3)*(x - 4)")));
}

TEST_F(Leverrier, AgreesWithDeterminantOfShiftedMatrix) {
  std::mt19937_64 g(52);
  for (std::int32_t n = 2; n <= 9; ++n) {
    for (double zeros : {0.0, 0.7}) {
      Mat a = random_int_mat(g, n, zeros);
      Value p = chpoly(a);
      Value d = router_chpoly(a);
      EXPECT_TRUE(quoly_equal(p, d)) << n << ": " << value_text(p) << " vs " << value_text(d);
    }
  }
}

TEST_F(Leverrier, InverseTimesMatrixIsIdentity) {
  std::mt19937_64 g(5200);
  for (std::int32_t n = 1; n <= 8; ++n) {
    for (double zeros : {0.0, 0.6}) {
      Mat a = random_int_mat(g, n, zeros);
      for (std::int32_t i = 0; i < n; ++i) a.at(i, i) = Value::number(BigRef(20 + i));
      auto w = fresh_work();
      sparseptr sp = to_sparse(a);
      invert_sparse(&sp, w.get(), true, true, n, nullptr);
      Mat inv = sp != nullptr ? from_sparse(sp, n, n) : from_dense(w.get(), n, n);
      if (sp != nullptr)
        free_sparse(&sp, n, true);
      else
        free_cells(w.get(), n * n);
      Mat id(n, n);
      for (std::int32_t i = 0; i < n; ++i) id.at(i, i) = Value::number(BigRef(1));
      EXPECT_TRUE(same_mat(schoolbook(a, inv), id)) << n;
      // The determinant form agrees with the router's elimination.
      sparseptr sp2 = to_sparse(a);
      Value det = Value::number(BigRef(0));
      invert_sparse(&sp2, nullptr, true, false, n, det.cell());
      EXPECT_EQ(sp2, nullptr);
      sparseptr sp3 = to_sparse(a);
      Value det2 = Value::number(BigRef(0));
      mat_invert(nullptr, nullptr, n, det2.cell(), &sp3, nullptr, -1, -1, -1, 0,
                 {.ar_free = true, .oar_free = true, .equal = true});
      if (sp3 != nullptr) free_sparse(&sp3, n, true);
      EXPECT_TRUE(quoly_equal(det, det2)) << n;
    }
  }
}

TEST_F(Leverrier, RefusalsLeaveTheMatrix) {
  sparseptr sp = nullptr;
  sparse_init(&sp, 1);
  bool unwound = false;
  std::string out =
      output_of([&] { invert_sparse(&sp, nullptr, false, true, 1, nullptr); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, 44)) << out;
  free_sparse(&sp, 1, true);
  ModulusScope mod(3);
  Mat a = int_mat(3, {1, 1, 0, 0, 1, 1, 1, 0, 1});
  sparseptr sa = to_sparse(a);
  out = output_of([&] { invert_sparse(&sa, nullptr, false, true, 3, nullptr); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, 36)) << out;
  EXPECT_TRUE(same_mat(from_sparse(sa, 3, 3), a));
  free_sparse(&sa, 3, true);
}

// Modulo 35 the step 5 and the reciprocal of 5 have no inverse (error 85):
// the failed recurrence gives back every node it made and leaves the matrix.
TEST_F(Leverrier, NoInverseModuloACompositeGivesEveryNodeBack) {
  ModulusScope mod(35, false);
  Mat a = int_mat(5, {1, 2, 0, 0, 0, 0, 1, 3, 0, 0, 0, 0, 1, 4, 0, 0, 0, 0, 1, 5, 6, 0, 0, 0, 1});
  Mat five = int_mat(1, {5});
  for (const Mat* m : {&a, &five}) {
    const std::int32_t n = m->rows;
    NodeBalance balance;
    sparseptr sp = to_sparse(*m);
    bool unwound = false;
    std::string out = output_of(
        [&] {
          Value p;
          if (n == 1) {
            invert_sparse(&sp, nullptr, false, true, n, nullptr);
          } else {
            leverrier_chpoly(p.cell(), sp, n);
          }
        },
        &unwound);
    EXPECT_TRUE(unwound && reports(out, 85)) << n << ": " << out;
    EXPECT_TRUE(same_mat(from_sparse(sp, n, n), *m)) << n;
    free_sparse(&sp, n, true);
  }
}

}  // namespace
}  // namespace tavrin::test
