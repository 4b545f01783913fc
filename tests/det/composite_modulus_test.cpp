// Determinants modulo composite moduli, where some residues have no
// inverse: random matrices of residues with zero divisors planted where
// pivots are sought, dense and sparse, under every method switch, against
// the integer determinant of the same entries (fraction-free, over big
// integers) reduced modulo m; a sparse matrix beyond the flat layout on
// unit pivots.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::vector<det_method> routed;
void record(det_method m) { routed.push_back(m); }

class CompositeModulus : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
    det_route_hook = record;
  }
  void TearDown() override {
    det_route_hook = nullptr;
    MatrixTest::TearDown();
  }
};

struct Modulus {
  std::int64_t m;
  std::int64_t divisor;  // a proper divisor: its multiples are zero divisors
};

// The moduli: prime squares, products of primes, powers of two (2^16 is
// the field of 65536 elements, so 2^15 is the largest), the largest
// modulus of 16-bit rows (7 * 31 * 151), and the largest modulus of all
// (2^2 * 233 * 1103 * 2089).
const Modulus moduli[] = {{4, 2},  {6, 3},  {9, 3},    {12, 6},      {15, 5},    {25, 5},
                          {35, 7}, {49, 7}, {1024, 2}, {32768, 256}, {32767, 7}, {2147483644, 2}};

// A random m x m matrix of residues modulo mod.m (a quarter zeros) with
// zero divisors planted by kind: 1 the first column, 2 the diagonal, 3 a
// leading block, all multiples of the divisor; 0 none. Half the time a
// row is a sum of two others plus a multiple of the divisor.
std::vector<std::vector<BigRef>> residues(std::mt19937_64& g, std::int32_t m, const Modulus& mod,
                                          int kind) {
  std::vector<std::vector<BigRef>> a(static_cast<std::size_t>(m),
                                     std::vector<BigRef>(static_cast<std::size_t>(m)));
  const std::int64_t classes = mod.m / mod.divisor;
  for (std::int32_t i = 0; i < m; ++i)
    for (std::int32_t j = 0; j < m; ++j) {
      const bool planted = (kind == 1 && j == 0) || (kind == 2 && i == j) ||
                           (kind == 3 && i < m / 2 + 1 && j < m / 2 + 1);
      std::int64_t v =
          g() % 4 == 0 ? 0 : static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(mod.m));
      if (planted)
        v = mod.divisor * static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(classes));
      a[i][j] = BigRef(v);
    }
  if (m >= 3 && g() % 2 == 0) {
    const std::int64_t d =
        mod.divisor * static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(classes));
    for (std::int32_t j = 0; j < m; ++j)
      a[m - 1][j] = (a[0][j] + a[1][j] + BigRef(j == 0 ? d : 0)) % BigRef(mod.m);
  }
  return a;
}

Mat as_mat(const std::vector<std::vector<BigRef>>& a) {
  const auto m = static_cast<std::int32_t>(a.size());
  Mat out(m, m);
  for (std::int32_t i = 0; i < m; ++i)
    for (std::int32_t j = 0; j < m; ++j)
      if (!a[i][j].is_zero()) out.at(i, j) = Value::number(a[i][j]);
  return out;
}

Value dense_det(const Mat& a) {
  auto w = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  Value d = Value::number(BigRef(1));
  mat_invert(w.get(), w.get(), a.rows, d.cell(), nullptr, nullptr, -1, -1, -1, 0, {.equal = true});
  EXPECT_TRUE(same_mat(from_dense(w.get(), a.rows, a.rows), a));
  free_cells(w.get(), a.rows * a.rows);
  return d;
}

Value sparse_det(const Mat& a) {
  sparseptr own = to_sparse(a), sp = own;
  Value d = Value::number(BigRef(1));
  mat_invert(nullptr, nullptr, a.rows, d.cell(), &sp, nullptr, -1, -1, -1, 0, {});
  EXPECT_EQ(sp, own);
  EXPECT_TRUE(same_mat(from_sparse(own, a.rows, a.rows), a));
  free_sparse(&own, a.rows, true);
  return d;
}

TEST_F(CompositeModulus, RandomResiduesAgainstIntegerDeterminants) {
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  int matrices = 0;
  for (const Modulus& mod : moduli) {
    ModulusScope scope{static_cast<std::int32_t>(mod.m), false};
    for (int trial = 0; trial < test_iterations(48); ++trial) {
      const auto m = static_cast<std::int32_t>(1 + trial % 12);
      const auto a = residues(rng, m, mod, trial % 4);
      BigRef want = bareiss_det(a) % BigRef(mod.m);
      if (want < BigRef(0)) want = want + BigRef(mod.m);
      const Value expected = Value::number(want);
      const Mat mat = as_mat(a);
      // The method switches a user may set: none, the cut-off,
      // Gauss-Bareiss, the Lagrange method.
      const int k = trial / 12 % 4;
      ScopedValue<std::int32_t> cut(detcutoff, k == 1 ? 2 : detcutoff);
      ScopedValue<std::int32_t> bareiss(gauss_cutoff, k == 2 ? 1 : gauss_cutoff);
      ScopedValue<std::int32_t> lagrange(rat_det_method_cut, k == 3 ? 1 : rat_det_method_cut);
      routed.clear();
      EXPECT_EQ(value_text(dense_det(mat)), value_text(expected))
          << "modulo " << mod.m << ", side " << m << ", trial " << trial;
      EXPECT_EQ(value_text(sparse_det(mat)), value_text(expected))
          << "sparse modulo " << mod.m << ", side " << m << ", trial " << trial;
      ++matrices;
    }
  }
  EXPECT_GE(matrices, 500);
}

TEST_F(CompositeModulus, LargeSparseMatricesTakeUnitPivots) {
  // Beyond the flat layout the sparse residue elimination runs: on a
  // lower triangle whose first pivot is a zero divisor, with units below
  // the diagonal, two rows exchanged, the determinant is minus the product
  // of the diagonal.
  ModulusScope scope{25, false};
  NodeBalance balance;
  const std::int32_t m = 1003;
  Mat a(m, m);
  std::int64_t want = 1;
  for (std::int32_t i = 0; i < m; ++i) {
    const std::int64_t d = i == 0 ? 5 : (i % 4) + 1;
    a.at(i, i) = Value::number(BigRef(d));
    want = want * d % 25;
    if (i > 0) a.at(i, i - 1) = Value::number(BigRef(7));
  }
  for (std::int32_t j = 0; j < m; ++j) std::swap(a.at(0, j), a.at(500, j));
  routed.clear();
  EXPECT_EQ(value_text(sparse_det(a)), value_text(Value::number(BigRef((25 - want) % 25))));
  EXPECT_EQ(routed, std::vector<det_method>{det_method::sparse_mod_int_determ});
}

}  // namespace
}  // namespace tavrin::test
