// The Lagrange basis polynomials against the interpolation identities, and
// the modular matrix power against repeated products with reduction.
#include <gtest/gtest.h>

#include <random>

#include "numbers/freelists.h"
#include "poly/poly_divide.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/start_tables.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matlang/matrix_builtins.h"
#include "matlang/matrix_powers.h"
#include "support/bigref.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class ArrayBuiltins : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
  }
  PolyVars vars_{"x"};
};

TEST_F(ArrayBuiltins, LagrangeBasisReproducesLowDegreePolynomials) {
  Value b;
  compute_char_poly(3, 2, b.cell());
  EXPECT_TRUE(quoly_equal(b, Value::ratfun("-(x - 1)*(x - 3)")));
  for (std::int32_t n : {1, 2, 5, 12, 30}) {
    // sum L_i = 1 and sum i L_i = x for nodes 1 .. n.
    Value sum = Value::number(BigRef(0)), first = Value::number(BigRef(0));
    for (std::int32_t i = 1; i <= n; ++i) {
      Value l;
      compute_char_poly(n, i, l.cell());
      quoly_add(sum, l, sum.cell());
      Value scaled = Value::number(BigRef(i));
      quoly_mult(scaled, l, scaled.cell());
      quoly_add(first, scaled, first.cell());
    }
    EXPECT_TRUE(quoly_equal(sum, Value::number(BigRef(1)))) << n << " " << value_text(sum);
    if (n > 1) {
      EXPECT_TRUE(quoly_equal(first, Value::ratfun("x"))) << n;
    }
  }
}

Mat reduced(const Mat& a, quoly m) {
  Mat r(a.rows, a.cols);
  for (std::int32_t k = 0; k < a.rows * a.cols; ++k) {
    Value v;
    quoly_mod_or_div(a.cell[k].get() == nullptr ? Value::number(BigRef(0)).get() : a.cell[k].get(),
                     m, v.cell(), '|');
    r.cell[k] = std::move(v);
  }
  return r;
}

TEST_F(ArrayBuiltins, ModularPowerEqualsRepeatedProducts) {
  std::mt19937_64 g(1152);
  const Value moduli[] = {Value::number(BigRef(97)), Value::ratfun("x^3 + 2*x + 5")};
  for (const Value& m : moduli) {
    for (std::int32_t n : {1, 2, 4}) {
      for (std::int64_t e : {1, 2, 3, 7, 20}) {
        const bool poly_entries = !m->numb;
        Mat a = random_mat(g, n, n, 0.2, [&](std::mt19937_64& r) {
          const std::int64_t c = static_cast<std::int64_t>(r() % 41) - 20;
          return poly_entries && r() % 2 == 0 ? Value::ratfun(std::to_string(c) + "*x^4 + x - 3")
                                              : Value::number(BigRef(c));
        });
        Mat expect = reduced(a, m);
        for (std::int64_t k = 1; k < e; ++k) expect = reduced(schoolbook(expect, a), m);
        auto w = fresh_work();
        Descr f;
        to_dense(a, w.get(), f.get());
        bool owned = true;
        imptr ex = make_number(BigRef(e));
        quoly mq = m.get();
        matpowermod(w.get(), f.get(), &owned, ex, &mq, false);
        free_num(ex);
        free_imag(&ex);
        EXPECT_TRUE(same_mat(from_dense(w.get(), n, n), expect)) << n << "^" << e;
        free_cells(w.get(), n * n);
      }
    }
  }
}

// max over k of C(rows, k)·R^k, R the largest absolute row sum.
TEST_F(ArrayBuiltins, CoefficientBoundKnownAnswers) {
  struct Case {
    std::int32_t rows;
    std::int64_t diag, off, bound;
  } cases[] = {{8, 1, 0, 70}, {8, 0, 0, 0}, {3, -2, 1, 27}, {2, 3, -1, 16}};
  for (const Case& c : cases) {
    Mat m(c.rows, c.rows);
    for (std::int32_t i = 0; i < c.rows; ++i) {
      if (c.diag != 0) m.at(i, i) = Value::number(BigRef(c.diag));
      if (c.off != 0 && i + 1 < c.rows) m.at(i, i + 1) = Value::number(BigRef(c.off));
    }
    arrnode a{};
    a.rows = c.rows;
    a.spar = to_sparse(m);
    Value n;
    gershgorn(n.cell(), &a, c.rows);
    EXPECT_TRUE(quoly_equal(n, Value::number(BigRef(c.bound)))) << c.rows << " " << value_text(n);
    free_sparse(&a.spar, c.rows, true);
  }
}

}  // namespace
}  // namespace tavrin::test
