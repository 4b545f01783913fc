// The fill-in foreseen on a sparse matrix's pattern, and the router's use of
// it: the weighed work of known patterns, the stop at the limit, and sparse
// matrices that fill in going to the dense engines on one side of the
// measure and staying sparse on the other, with the sparse route's value.
#include "det/sparse_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
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
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::vector<det_method> routed;
void record(det_method m) { routed.push_back(m); }

bool went_dense() {
  return std::any_of(routed.begin(), routed.end(), [](det_method m) {
    return m == det_method::int_determ || m == det_method::mod_poly_interpolated;
  });
}

class SparseFill : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
    allocate_work_areas();
    det_route_hook = record;
  }
  void TearDown() override {
    det_route_hook = nullptr;
    MatrixTest::TearDown();
  }
  PolyVars vars_{"x", "y"};
};

// A matrix with the entry 1 at each of the places.
Mat pattern(std::int32_t m, const std::vector<std::pair<std::int32_t, std::int32_t>>& places) {
  Mat a(m, m);
  for (auto [i, j] : places) a.at(i, j) = Value::number(BigRef(1));
  return a;
}

std::int64_t work_of(const Mat& a, std::int64_t limit = INT64_MAX) {
  sparseptr sp = to_sparse(a);
  const std::int64_t w = sparse_elimination_work(sp, a.rows, limit);
  free_sparse(&sp, a.rows, true);
  return w;
}

TEST_F(SparseFill, WorkOfKnownPatterns) {
  // A diagonal needs nothing; a band and an arrow one multiply-add a step
  // (sum of steps: m(m-1)/2); a full matrix (m-k)^2 at step k; a column
  // left empty ends the count.
  NodeBalance balance;
  for (std::int32_t m : {1, 2, 7, 40}) {
    std::vector<std::pair<std::int32_t, std::int32_t>> diag, band, arrow, full;
    for (std::int32_t i = 0; i < m; ++i) {
      diag.emplace_back(i, i);
      band.emplace_back(i, i);
      if (i + 1 < m) {
        band.emplace_back(i, i + 1);
        band.emplace_back(i + 1, i);
      }
      arrow.emplace_back(i, i);
      if (i > 0) {
        arrow.emplace_back(0, i);
        arrow.emplace_back(i, 0);
      }
      for (std::int32_t j = 0; j < m; ++j) full.emplace_back(i, j);
    }
    std::int64_t full_work = 0;
    for (std::int64_t k = 1; k < m; ++k) full_work += k * (m - k) * (m - k);
    const std::int64_t chain = std::int64_t{m} * (m - 1) / 2;
    EXPECT_EQ(work_of(pattern(m, diag)), 0) << m;
    EXPECT_EQ(work_of(pattern(m, band)), chain) << m;
    EXPECT_EQ(work_of(pattern(m, arrow)), chain) << m;
    EXPECT_EQ(work_of(pattern(m, full)), full_work) << m;
    // Stopped at a limit: the whole count when it is within, else above.
    EXPECT_EQ(work_of(pattern(m, full), full_work), full_work) << m;
    if (full_work > 0) {
      const std::int64_t part = work_of(pattern(m, full), full_work / 2);
      EXPECT_GT(part, full_work / 2);
      EXPECT_LE(part, full_work);
    }
  }
  // Column 3 empty: the steps stop once it is the sparsest.
  std::vector<std::pair<std::int32_t, std::int32_t>> gap;
  for (std::int32_t i = 0; i < 6; ++i)
    for (std::int32_t j = 0; j < 6; ++j)
      if (j != 3) gap.emplace_back(i, j);
  EXPECT_EQ(work_of(pattern(6, gap)), 0);
}

// The diagonal and `extra` random columns a row (drawn with repeats), the
// entries from make.
Mat scattered(std::mt19937_64& g, std::int32_t m, int extra, const ValueMaker& make) {
  Mat a(m, m);
  for (std::int32_t i = 0; i < m; ++i) {
    a.at(i, i) = make(g);
    for (int t = 0; t < extra; ++t) a.at(i, static_cast<std::int32_t>(g() % m)) = make(g);
  }
  return a;
}

Value integer(std::mt19937_64& g) {
  long long v = 0;
  while (v == 0) v = static_cast<long long>(g() % 199) - 99;
  return Value::number(BigRef(v));
}

ValueMaker polynomial(std::int64_t p) {
  return [p](std::mt19937_64& g) {
    std::string s =
        std::to_string(1 + g() % (p - 1)) + " + " + std::to_string(1 + g() % (p - 1)) + "*x";
    if (g() % 2 == 0) s += " + " + std::to_string(1 + g() % (p - 1)) + "*y^2";
    return Value::ratfun(s);
  };
}

// The router's determinant of a stored sparse (the matrix kept), the fill
// counts out of reach and the work share at share (per mille of m^3).
Value routed_det(const Mat& a, std::int32_t share) {
  ScopedValue<std::int32_t> f(sparse_dense_fill, INT32_MAX), i(sparse_dense_int_fill, INT32_MAX),
      w(sparse_fill_int_work, share), pw(sparse_fill_poly_work, share);
  sparseptr sp = to_sparse(a);
  Value d = Value::number(BigRef(1));
  routed.clear();
  mat_invert(nullptr, nullptr, a.rows, d.cell(), &sp, nullptr, -1, -1, -1, 0, {});
  EXPECT_TRUE(same_mat(from_sparse(sp, a.rows, a.rows), a));
  free_sparse(&sp, a.rows, true);
  return d;
}

// At side 10 the limit is the share itself: a share equal to the work keeps
// the matrix sparse, one less sends it dense; both give the value of the
// sparse route with the measure out of reach.
void check_cut(const Mat& a, const char* ring) {
  ASSERT_EQ(a.rows, 10);
  const std::int64_t w = work_of(a);
  if (w < 1) return;
  const Value plain = routed_det(a, INT32_MAX);
  EXPECT_FALSE(went_dense()) << ring;
  const Value kept = routed_det(a, static_cast<std::int32_t>(w));
  EXPECT_FALSE(went_dense()) << ring << " work " << w;
  const Value quick = routed_det(a, static_cast<std::int32_t>(w - 1));
  EXPECT_TRUE(went_dense()) << ring << " work " << w;
  EXPECT_EQ(value_text(kept), value_text(plain)) << ring;
  EXPECT_EQ(value_text(quick), value_text(plain)) << ring;
}

TEST_F(SparseFill, BothSidesOfTheWorkLimit) {
  // Over Z and modulo primes in x and y, 1 to 3 random columns a row
  // beside the diagonal, some singular (a row repeated).
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int trial = 0; trial < test_iterations(6); ++trial) {
    const int extra = 1 + trial % 3;
    auto singular = [&](Mat a) {
      if (trial % 2 == 1)
        for (std::int32_t j = 0; j < a.rows; ++j)
          a.at(9, j) = a.get(2, j) == nullptr ? Value() : copy_of(a.get(2, j));
      return a;
    };
    check_cut(singular(scattered(rng, 10, extra, integer)), "Z");
    ModulusScope mod{trial % 2 == 0 ? 32003 : 101};
    check_cut(singular(scattered(rng, 10, extra, polynomial(modulus))), "Z/p[x,y]");
  }
}

TEST_F(SparseFill, DefaultsSendFillingMatricesDense) {
  // The diagonal and 3 random columns a row (fewer than the 4 a row the
  // count asks) goes to the integer images at side 60, with the
  // fraction-free determinant's value; a band of 4 a row and the diagonal
  // with one random column stay sparse.
  std::mt19937_64 rng(test_seed() + 1);
  NodeBalance balance;
  const std::int32_t m = 60;
  auto as_refs = [](const Mat& a) {
    std::vector<std::vector<BigRef>> r(a.rows, std::vector<BigRef>(a.rows, BigRef(0)));
    for (std::int32_t i = 0; i < a.rows; ++i)
      for (std::int32_t j = 0; j < a.rows; ++j)
        if (a.get(i, j) != nullptr) r[i][j] = to_ref(a.get(i, j)->ncoef);
    return r;
  };
  auto default_det = [&](const Mat& a) {
    sparseptr sp = to_sparse(a);
    Value d = Value::number(BigRef(1));
    routed.clear();
    mat_invert(nullptr, nullptr, m, d.cell(), &sp, nullptr, -1, -1, -1, 0, {.ar_free = true});
    if (sp != nullptr) free_sparse(&sp, m, true);
    return d;
  };
  const Mat scatter = scattered(rng, m, 3, integer);
  EXPECT_LT(std::count_if(scatter.cell.begin(), scatter.cell.end(),
                          [](const Value& v) { return v.get() != nullptr; }),
            4 * m);
  const Value d = default_det(scatter);
  EXPECT_TRUE(went_dense());
  EXPECT_EQ(value_text(d), value_text(Value::number(bareiss_det(as_refs(scatter)))));
  Mat band(m, m), chain(m, m);
  for (std::int32_t i = 0; i < m; ++i)
    for (std::int32_t j = std::max(0, i - 1); j <= std::min(m - 1, i + 2); ++j)
      band.at(i, j) = integer(rng);
  const Mat loose = scattered(rng, m, 1, integer);
  for (const Mat* a : {static_cast<const Mat*>(&band), &loose}) {
    const Value e = default_det(*a);
    EXPECT_FALSE(went_dense());
    EXPECT_EQ(value_text(e), value_text(Value::number(bareiss_det(as_refs(*a)))));
  }
}

}  // namespace
}  // namespace tavrin::test
