#include "matrix/matrix_support.h"

#include <set>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matlang/matrix_expressions.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {

namespace {

Value copy_or_nil(quoly q) {
  if (q == nullptr || sparse_val_iszero(q)) return Value();
  return copy_of(q);
}

bool is_zero(quoly q) { return q == nullptr || sparse_val_iszero(q); }

}  // namespace

Mat random_mat(std::mt19937_64& rng, std::int32_t rows, std::int32_t cols, double zero_share,
               const ValueMaker& make) {
  Mat m(rows, cols);
  std::uniform_real_distribution<double> u(0, 1);
  for (auto& c : m.cell) {
    if (u(rng) >= zero_share) {
      c = make(rng);
      if (is_zero(c.get())) c = Value();
    }
  }
  return m;
}

Mat copy_mat(const Mat& m) {
  Mat r(m.rows, m.cols);
  for (std::size_t k = 0; k < m.cell.size(); ++k) r.cell[k] = copy_or_nil(m.cell[k].get());
  return r;
}

Mat transposed(const Mat& m) {
  Mat t(m.cols, m.rows);
  for (std::int32_t i = 0; i < m.rows; ++i)
    for (std::int32_t j = 0; j < m.cols; ++j)
      if (m.get(i, j) != nullptr) t.at(j, i) = copy_of(m.get(i, j));
  return t;
}

sparseptr to_sparse(const Mat& m) {
  sparseptr sp = nullptr;
  sparse_init(&sp, m.rows);
  for (std::int32_t i = 0; i < m.rows; ++i) {
    colm_ptrptr t = sparse_row(sp, i + 1);
    for (std::int32_t j = 0; j < m.cols; ++j) {
      if (is_zero(m.get(i, j))) continue;
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = j + 1;
      e->val = nullptr;
      quoly_assign(m.get(i, j), &e->val);
      e->val->next = nullptr;
      e->next = nullptr;
      *t = e;
      t = &e->next;
    }
  }
  return sp;
}

void to_dense(const Mat& m, workptr w, arr_descr* f) {
  for (std::int32_t k = 0; k < m.rows * m.cols; ++k) {
    w->stash[k] = nullptr;
    quoly q = m.cell[static_cast<std::size_t>(k)].get();
    if (q == nullptr) {
      quoly_set(0, &w->stash[k]);
    } else {
      quoly_assign(q, &w->stash[k]);
    }
    w->stash[k]->next = nullptr;
  }
  set_descr(f, m.rows, m.cols);
}

Mat from_sparse(sparseptr sp, std::int32_t rows, std::int32_t cols) {
  Mat m(rows, cols);
  for (std::int32_t i = 1; i <= rows; ++i) {
    for (colm_ptr e = *sparse_row(sp, i); e != nullptr; e = e->next) {
      if (e->coord >= 1 && e->coord <= cols) m.at(i - 1, e->coord - 1) = copy_or_nil(e->val);
    }
  }
  return m;
}

Mat from_dense(workptr w, std::int32_t rows, std::int32_t cols) {
  Mat m(rows, cols);
  for (std::int32_t k = 0; k < rows * cols; ++k)
    m.cell[static_cast<std::size_t>(k)] = copy_or_nil(w->stash[k]);
  return m;
}

::testing::AssertionResult same_mat(const Mat& a, const Mat& b) {
  if (a.rows != b.rows || a.cols != b.cols)
    return ::testing::AssertionFailure()
           << "shapes " << a.rows << "x" << a.cols << " and " << b.rows << "x" << b.cols;
  for (std::int32_t i = 0; i < a.rows; ++i) {
    for (std::int32_t j = 0; j < a.cols; ++j) {
      quoly p = a.get(i, j), q = b.get(i, j);
      const bool equal = (is_zero(p) && is_zero(q)) ||
                         (!is_zero(p) && !is_zero(q) && p->numb == q->numb && quoly_equal(p, q));
      if (!equal)
        return ::testing::AssertionFailure()
               << "entry (" << i + 1 << ", " << j + 1
               << "): " << (is_zero(p) ? std::string("0") : value_text(p)) << " against "
               << (is_zero(q) ? std::string("0") : value_text(q));
    }
  }
  return ::testing::AssertionSuccess();
}

Mat schoolbook(const Mat& a, const Mat& b) {
  Mat r(a.rows, b.cols);
  for (std::int32_t i = 0; i < a.rows; ++i) {
    for (std::int32_t j = 0; j < b.cols; ++j) {
      Value sum;
      quoly_set(0, sum.cell());
      for (std::int32_t k = 0; k < a.cols; ++k) {
        if (is_zero(a.get(i, k)) || is_zero(b.get(k, j))) continue;
        Value t;
        quoly_mult(a.get(i, k), b.get(k, j), t.cell());
        quoly_add(sum, t, sum.cell());
      }
      if (!is_zero(sum.get())) r.at(i, j) = std::move(sum);
    }
  }
  return r;
}

Mat mat_sum(const Mat& a, const Mat& b, bool plus) {
  Mat r(a.rows, a.cols);
  Value zero;
  quoly_set(0, zero.cell());
  for (std::size_t k = 0; k < a.cell.size(); ++k) {
    quoly p = a.cell[k].get() ? a.cell[k].get() : zero.get();
    quoly q = b.cell[k].get() ? b.cell[k].get() : zero.get();
    Value s;
    if (plus) {
      quoly_add(p, q, s.cell());
    } else {
      quoly_sub(p, q, s.cell());
    }
    if (!is_zero(s.get())) r.cell[k] = std::move(s);
  }
  return r;
}

::testing::AssertionResult sparse_ok(sparseptr sp, std::int32_t rows, std::int32_t cols,
                                     bool allow_zero) {
  std::int32_t frames = 0;
  sparseptr last = nullptr;
  for (sparseptr f = sp; f != nullptr; f = f->next) {
    ++frames;
    last = f;
    if (frames > sparse_frame_count(rows)) break;
  }
  if (frames != sparse_frame_count(rows))
    return ::testing::AssertionFailure() << frames << " frames for " << rows << " rows";
  if (last != nullptr && last->next != nullptr)
    return ::testing::AssertionFailure() << "the last frame has a successor";
  for (std::int32_t i = 1; i <= rows; ++i) {
    std::int32_t prev = 0;
    for (colm_ptr e = *sparse_row(sp, i); e != nullptr; e = e->next) {
      if (e->coord <= prev || e->coord > cols)
        return ::testing::AssertionFailure() << "row " << i << ": column " << e->coord << " after "
                                             << prev << " (of " << cols << ")";
      prev = e->coord;
      if (e->val == nullptr) return ::testing::AssertionFailure() << "row " << i << ": nil value";
      if (!allow_zero && sparse_val_iszero(e->val))
        return ::testing::AssertionFailure()
               << "row " << i << ": a stored zero in column " << e->coord;
      if (auto ok = normal_value(e->val, false); !ok)
        return ok << " at (" << i << ", " << e->coord << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

long sparse_entries(sparseptr sp, std::int32_t rows) {
  long n = 0;
  for (std::int32_t i = 1; i <= rows; ++i)
    for (colm_ptr e = *sparse_row(sp, i); e != nullptr; e = e->next) ++n;
  return n;
}

Descr::~Descr() { special_free(&d.arrsize); }

std::unique_ptr<workarray> fresh_work() { return std::make_unique<workarray>(); }

void free_cells(workptr w, std::int32_t cells) {
  for (std::int32_t k = 0; k < cells; ++k) free_quoly(&w->stash[k]);
}

BigRef bareiss_det(std::vector<std::vector<BigRef>> a) {
  const std::size_t n = a.size();
  BigRef prev = 1, sign = 1;
  for (std::size_t k = 0; k + 1 < n; ++k) {
    std::size_t p = k;
    while (p < n && a[p][k].is_zero()) ++p;
    if (p == n) return 0;
    if (p != k) std::swap(a[p], a[k]), sign = -sign;
    for (std::size_t i = k + 1; i < n; ++i)
      for (std::size_t j = k + 1; j < n; ++j)
        a[i][j] = (a[i][j] * a[k][k] - a[i][k] * a[k][j]) / prev;
    prev = a[k][k];
  }
  return sign * a[n - 1][n - 1];
}

BigRef ref_of(const ZInt& x) {
  imptr n = x.to_number();
  const BigRef r = to_ref(n);
  free_imag(&n);
  return r;
}

void MatrixTest::SetUp() {
  if (first_available < 1) first_available = 1;
  if (quol_num_0 == nullptr) {
    quoly_set(0, &quol_num_0);
    quol_num_0->next = nullptr;
    quol_num_0->ncoef->lint = 0;
    quol_num_0->ncoef->flote = 0;
  }
  pool_at_start_ = first_available;
}

void MatrixTest::TearDown() {
  EXPECT_EQ(first_available, pool_at_start_) << "a work array was kept";
}

void ArrayStatementTest::SetUp() {
  MatrixTest::SetUp();
  install_interpreter();
  addresser = 1;
  first_available = 1;
  clear();
}

void ArrayStatementTest::TearDown() {
  clear();
  addresser = 1;
  MatrixTest::TearDown();
}

void ArrayStatementTest::clear() {
  fill_syst_array(nullptr, nullptr, true, nullptr, 0);  // empties the system array
  syst->stop = -1;
  syst_dump = false;
  clear_arrays();
}

}  // namespace tavrin::test
