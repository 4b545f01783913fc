// The determinant kernels run on dense work copies of test-side matrices,
// for the tests that compare them with each other.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "matrix/matrix_support.h"

namespace tavrin::test {

// Runs kernel(w, m, d) on a dense work copy w of the m x m matrix a with d
// starting as 1, checks that the kernel left w equal to a, and returns d.
template <class Kernel>
Value on_dense_copy(const Mat& a, Kernel&& kernel) {
  const std::int32_t m = a.rows;
  auto w = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  Value d = Value::number(BigRef(1));
  kernel(w.get(), m, d);
  EXPECT_TRUE(same_mat(from_dense(w.get(), m, m), a));
  free_cells(w.get(), m * m);
  return d;
}

// Dense Gauss-Bareiss on a copy of a (checked unchanged).
Value bareiss(const Mat& a);

// Expansion by minors of a (small_determ on its cells in place).
Value minors(const Mat& a);

// Statements that make the n x n matrix a = l d u (dense) and its sparse
// copy named `sparse`, l and u unit triangular with random entries in x, d
// the diagonal d1, d2, 1, ..., 1: det a = d1 * d2.
std::string planted_matrices(std::mt19937_64& g, int n, const std::string& d1,
                             const std::string& d2, const std::string& sparse);

}  // namespace tavrin::test
