// Matrices for the tests of the sparse store and the matrix products: a
// test-side matrix of owned values, its conversion to and from the dense and
// sparse forms, the schoolbook product and sum, and the checker of the
// sparse representation.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/records.h"
#include "numbers/work_arrays.h"
#include "matrix/zmatrix.h"
#include "support/bigref.h"
#include "support/poly_support.h"

namespace tavrin::test {

// A matrix of owned values, entry (i, j) from 0 at i + j*rows; nil is 0.
struct Mat {
  std::int32_t rows = 0, cols = 0;
  std::vector<Value> cell;
  Mat() = default;
  Mat(std::int32_t r, std::int32_t c) : rows(r), cols(c), cell(static_cast<std::size_t>(r) * c) {}
  Value& at(std::int32_t i, std::int32_t j) { return cell[static_cast<std::size_t>(i + j * rows)]; }
  quoly get(std::int32_t i, std::int32_t j) const {
    return cell[static_cast<std::size_t>(i + j * rows)].get();
  }
};

using ValueMaker = std::function<Value(std::mt19937_64&)>;

// A random matrix: each entry 0 with probability zero_share, else make(rng).
Mat random_mat(std::mt19937_64& rng, std::int32_t rows, std::int32_t cols, double zero_share,
               const ValueMaker& make);
// A copy of the matrix.
Mat copy_mat(const Mat& m);
// The transpose of the matrix (copies).
Mat transposed(const Mat& m);
// The matrix as a fresh sparse chain (copies; zeros not stored).
sparseptr to_sparse(const Mat& m);
// The matrix copied into the first rows*cols cells of w (zeros as the
// number 0); f := rows*cols entries in rows rows.
void to_dense(const Mat& m, workptr w, arr_descr* f);
// Copies of the entries of a sparse or dense matrix.
Mat from_sparse(sparseptr sp, std::int32_t rows, std::int32_t cols);
Mat from_dense(workptr w, std::int32_t rows, std::int32_t cols);
// Equal entry by entry (nil and a zero number are both 0).
::testing::AssertionResult same_mat(const Mat& a, const Mat& b);
// a*b and a+-b by values, entry by entry (quoly_mult, quoly_add).
Mat schoolbook(const Mat& a, const Mat& b);
Mat mat_sum(const Mat& a, const Mat& b, bool plus);

// The representation of a sparse matrix of `rows` rows whose columns are at
// most cols: ceil(rows / 2048) frames, nil after the last; every row in
// strictly increasing columns 1..cols; no stored zero (unless allow_zero);
// every value a valid value in the current ring.
::testing::AssertionResult sparse_ok(sparseptr sp, std::int32_t rows, std::int32_t cols,
                                     bool allow_zero = false);

// The number of stored entries.
long sparse_entries(sparseptr sp, std::int32_t rows);

// A description of a dense matrix that owns its count's limbs.
struct Descr {
  arr_descr d{};
  Descr() = default;
  Descr(std::int32_t rows, std::int32_t cols) { set_descr(&d, rows, cols); }
  ~Descr();
  Descr(const Descr&) = delete;
  Descr& operator=(const Descr&) = delete;
  arr_descr* get() { return &d; }
};

// A private work array with every cell nil.
std::unique_ptr<workarray> fresh_work();

// Frees the first `cells` cells of w.
void free_cells(workptr w, std::int32_t cells);

// The fraction-free (Bareiss) determinant of a square matrix of test-side
// integers, rows swapped to a non-zero pivot; 0 when a column has none.
BigRef bareiss_det(std::vector<std::vector<BigRef>> a);

// The value of x as a test-side integer.
BigRef ref_of(const ZInt& x);

// Sets up what the start-up sets for the matrix code: the pool index and
// the shared value 0; checks that each test gives every work array back.
class MatrixTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  std::int32_t pool_at_start_ = 0;
};

// A matrix test of statements run in-process: the interpreter installed,
// and before and after each test no arrays, an empty system array and the
// dense store and work-array pool used from their starts.
class ArrayStatementTest : public MatrixTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  static void clear();
};

}  // namespace tavrin::test
