// Sums, scalar multiples, diagonals and scans of matrices against sums of
// values formed test-side, and the position rules of the extreme-entry scan.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_products.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MatrixSums : public MatrixTest {};

Value sum_of(const Mat& m, bool diagonal_only) {
  Value s;
  quoly_set(0, s.cell());
  for (std::int32_t i = 0; i < m.rows; ++i)
    for (std::int32_t j = 0; j < m.cols; ++j)
      if (m.get(i, j) != nullptr && (!diagonal_only || i == j)) quoly_add(s, m.get(i, j), s.cell());
  return s;
}

TEST_F(MatrixSums, SumsAndMultiplesAgreeWithSumsOfValues) {
  std::mt19937_64 rng(test_seed() + 6);
  PolyVars vars{"x", "y"};
  const ValueMaker make = [](std::mt19937_64& g) {
    static const char* const forms[] = {"x + 1", "-x - 1",      "y^2", "3 / 7",
                                        "2",     "x / (y + 1)", "-2"};
    return make_value(forms[g() % 7]);
  };
  NodeBalance balance;
  auto buf = fresh_work();
  for (std::int32_t rows : {1, 5, 2050}) {
    const std::int32_t cols = rows == 2050 ? 3 : rows;
    Mat a = random_mat(rng, rows, cols, 0.5, make), b = random_mat(rng, rows, cols, 0.5, make);
    for (bool plus : {true, false}) {
      const Mat expect = mat_sum(a, b, plus);
      for (bool af : {false, true}) {
        for (bool bf : {false, true}) {
          for (bool self : {false, true}) {  // self: A - A and A + A
            sparseptr x = to_sparse(a), y = self ? (bf && af ? x : to_sparse(a)) : to_sparse(b);
            const sparseptr x0 = x, y0 = y;
            add_sparses(&x, &y, af, bf, rows, plus);
            ASSERT_TRUE(sparse_ok(x, rows, cols));
            const Mat want = self ? mat_sum(a, a, plus) : copy_mat(expect);
            EXPECT_TRUE(same_mat(from_sparse(x, rows, cols), want))
                << (plus ? "sum" : "difference") << af << bf << self;
            if (self && !plus) {
              EXPECT_EQ(sparse_entries(x, rows), 0);
            }
            // Borrowed operands are intact; the test frees them.
            sparseptr xo = x0, yo = y0;
            if (!af) {
              EXPECT_TRUE(same_mat(from_sparse(xo, rows, cols), a));
              free_sparse(&xo, rows, true);
            }
            if (!bf) {
              EXPECT_TRUE(same_mat(from_sparse(yo, rows, cols), self ? a : b));
              free_sparse(&yo, rows, true);
            }
            free_sparse(&x, rows, true);
          }
        }
      }
      // Sparse onto dense, the sparse operand consumed or kept.
      for (bool spar_free : {false, true}) {
        Descr f;
        to_dense(a, buf.get(), f.get());
        sparseptr y = to_sparse(b);
        add_one_sparse(buf.get(), f.get(), spar_free, y, plus);
        EXPECT_TRUE(same_mat(from_dense(buf.get(), rows, cols), expect));
        free_cells(buf.get(), rows * cols);
        if (!spar_free) free_sparse(&y, rows, true);
      }
    }
    // Scalar multiples, into a new matrix and in place.
    Value m = make_value("x - 2");
    Mat scaled(rows, cols);
    for (std::size_t k = 0; k < a.cell.size(); ++k)
      if (a.cell[k].get() != nullptr) quoly_mult(a.cell[k], m, scaled.cell[k].cell());
    for (bool in_place : {false, true}) {
      sparseptr x = to_sparse(a);
      const sparseptr x0 = x;
      mult_cons_sparse(&x, m, in_place, rows);
      EXPECT_TRUE(sparse_ok(x, rows, cols));
      EXPECT_TRUE(same_mat(from_sparse(x, rows, cols), scaled));
      if (!in_place) {
        sparseptr o = x0;
        EXPECT_TRUE(same_mat(from_sparse(o, rows, cols), a));
        free_sparse(&o, rows, true);
      }
      free_sparse(&x, rows, true);
    }
    if (rows == cols) {
      // Adding m to the diagonal is adding m times the identity.
      Mat mi(rows, rows);
      for (std::int32_t i = 0; i < rows; ++i) mi.at(i, i) = copy_of(m);
      sparseptr x = to_sparse(a);
      add_to_diag(m, x, rows);
      EXPECT_TRUE(sparse_ok(x, rows, rows));
      EXPECT_TRUE(same_mat(from_sparse(x, rows, rows), mat_sum(a, mi, true)));
      Value neg;
      quoly_makeneg(m, neg.cell());
      add_to_diag(neg, x, rows);
      EXPECT_TRUE(same_mat(from_sparse(x, rows, rows), a));
      free_sparse(&x, rows, true);
    }
    // Sums and the trace.
    sparseptr x = to_sparse(a);
    Value total, trace;
    sparse_sum(total.cell(), x, rows);
    sparse_trace(trace.cell(), x, rows);
    EXPECT_TRUE(quoly_equal(total, sum_of(a, false)));
    EXPECT_TRUE(quoly_equal(trace, sum_of(a, true)));
    Descr f;
    to_dense(a, buf.get(), f.get());
    Value dense_total;
    sum_arr(buf.get(), rows * cols, dense_total.cell());
    EXPECT_TRUE(quoly_equal(dense_total, sum_of(a, false)));
    free_cells(buf.get(), rows * cols);
    free_sparse(&x, rows, true);
  }
}

TEST_F(MatrixSums, DiagonalsAndExtremeEntries) {
  NodeBalance balance;
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  auto buf = fresh_work(), buf2 = fresh_work();
  // The diagonal of a 3 x 5 matrix has 3 entries in one row, in all four forms.
  Mat m(3, 5);
  for (std::int32_t i = 0; i < 3; ++i)
    for (std::int32_t j = 0; j < 5; ++j) m.at(i, j) = Value::number(BigRef(10 * (i + 1) + j + 1));
  Mat diag(1, 3);
  for (std::int32_t i = 0; i < 3; ++i) diag.at(0, i) = Value::number(BigRef(11 * (i + 1)));
  for (bool sparse : {false, true}) {
    for (bool arr_free : {false, true}) {
      Descr f;
      sparseptr sp = nullptr;
      if (sparse) {
        sp = to_sparse(m);
        set_descr(f.get(), 3, 5);
      } else {
        to_dense(m, buf2.get(), f.get());
      }
      const sparseptr sp0 = sp;
      std::int32_t rows = 3;
      extract_diagonal(buf.get(), buf2.get(), f.get(), arr_free, &rows, &sp);
      EXPECT_EQ(rows, 3);
      EXPECT_EQ(f.d.rows, 1);
      EXPECT_EQ(descr_cols(f.get()), 3);
      EXPECT_EQ(sp, nullptr);
      EXPECT_TRUE(same_mat(from_dense(buf.get(), 1, 3), diag));
      if (arr_free) {
        free_cells(buf.get(), 3);  // the diagonal is the caller's now
      } else if (sparse) {
        sparseptr o = sp0;
        free_sparse(&o, 3, true);
      } else {
        free_cells(buf2.get(), 15);
      }
    }
  }
  // Extreme entries: positions count down the columns from the origin.
  struct Row {
    std::vector<std::vector<int>> rows;  // 0 = absent
    bool max, pos_only;
    std::int32_t origin, expected;
  };
  const Row table[] = {
      {{{3, 0, 5}, {7, 7, 1}}, true, false, 1, 2},   // the first of two sevens: (2, 1)
      {{{3, 0, 5}, {7, 7, 1}}, false, false, 1, 3},  // the absent 0 at (1, 2)
      {{{3, 0, 5}, {7, 7, 1}}, false, true, 1, 6},   // the positive minimum 1 at (2, 3)
      {{{3, 0, 5}, {7, 7, 1}}, false, true, 0, 5},
      {{{-3, 0}, {0, -1}}, false, true, 1, 0},  // no positive entry: origin - 1
      {{{-3, 0}, {0, -1}}, true, false, 1, 3},  // the first absent 0, (1, 2)
      {{{0, 0}, {0, 0}}, true, false, 1, 1},    // an empty matrix: its first position
      {{{2, 4}, {4, 2}}, false, false, 1, 1},   // no absent entry: the first minimum
  };
  for (const Row& r : table) {
    ScopedValue<std::int32_t> origin(addresser, r.origin);
    const std::int32_t rows = static_cast<std::int32_t>(r.rows.size());
    const std::int32_t cols = static_cast<std::int32_t>(r.rows[0].size());
    Mat a(rows, cols);
    for (std::int32_t i = 0; i < rows; ++i)
      for (std::int32_t j = 0; j < cols; ++j)
        if (r.rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] != 0)
          a.at(i, j) = Value::number(
              BigRef(r.rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]));
    sparseptr sp = to_sparse(a);
    Value pos;
    sparse_max_min(sp, rows, cols, r.max, r.pos_only, pos.cell());
    EXPECT_EQ(value_text(pos), "number " + std::to_string(r.expected))
        << (r.max ? "max" : "min") << (r.pos_only ? " positive" : "") << " origin " << r.origin;
    free_sparse(&sp, rows, true);
  }
  // A polynomial entry is error 119; the scan goes on past it.
  {
    PolyVars vars{"x"};
    ScopedValue<std::int32_t> origin(addresser, 1);
    Mat a(1, 2);
    a.at(0, 0) = make_value("x");
    a.at(0, 1) = Value::number(BigRef(4));
    sparseptr sp = to_sparse(a);
    Value pos;
    bool unwound = false;
    const std::string out =
        output_of([&] { sparse_max_min(sp, 1, 2, true, false, pos.cell()); }, &unwound);
    EXPECT_TRUE(reports(out, 119)) << out;
    free_sparse(&sp, 1, true);
  }
}

}  // namespace
}  // namespace tavrin::test
