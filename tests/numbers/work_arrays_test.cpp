// The pool of work arrays: the stack discipline, error 88 when all twenty
// are taken, and the guard that gives an array back when an error unwinds
// through a power; the release of a work array's values and the identity.
#include "numbers/work_arrays.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "toplevel/state.h"
#include "matrix/matrix_products.h"
#include "matrix/matrix_support.h"
#include "matlang/matrix_powers.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class WorkArrays : public MatrixTest {};

TEST_F(WorkArrays, ThePoolIsAStackOfTwenty) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  const std::int32_t start = first_available;
  {
    std::vector<std::optional<WorkArrayGuard>> taken(static_cast<std::size_t>(work_pool_size));
    std::vector<workptr> arrays;
    for (std::int32_t k = start; k <= work_pool_size; ++k) {
      auto& g = taken[static_cast<std::size_t>(k - 1)];
      g.emplace(&token);
      ASSERT_TRUE(g->taken());
      arrays.push_back(g->get());
    }
    EXPECT_EQ(first_available, work_pool_size + 1);
    // Distinct arrays, kept in their slots.
    for (std::size_t i = 1; i < arrays.size(); ++i) EXPECT_NE(arrays[i], arrays[i - 1]);
    bool unwound = false;
    std::int32_t index = -1;
    const std::string out = output_of([&] { enew_worknode(&index, &token); }, &unwound);
    EXPECT_TRUE(reports(out, 88)) << out;
    EXPECT_TRUE(unwound);
    EXPECT_EQ(first_available, work_pool_size + 1);
    // Given back in the reverse order of taking.
    for (auto it = taken.rbegin(); it != taken.rend(); ++it) it->reset();
  }
  EXPECT_EQ(first_available, start);
}

TEST_F(WorkArrays, AnErrorInsideAPowerGivesItsArraysBack) {
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  auto buf = fresh_work();
  Mat m(2, 2);
  m.at(0, 0) = Value::number(BigRef(1));
  m.at(0, 1) = Value::number(BigRef(1));
  m.at(1, 1) = Value::number(BigRef(1));
  Descr f;
  to_dense(m, buf.get(), f.get());
  // The power takes the last array; its first product finds none left.
  ScopedValue<std::int32_t> pool(first_available, work_pool_size);
  bool unwound = false, arr_free = true;
  sparseptr none = nullptr;
  const std::string out =
      output_of([&] { matrix_power(buf.get(), f.get(), &arr_free, 4, &none); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(reports(out, 88)) << out;
  EXPECT_EQ(first_available, work_pool_size);
  EXPECT_TRUE(same_mat(from_dense(buf.get(), 2, 2), m));  // the matrix is as it was
  free_cells(buf.get(), 4);
}

TEST_F(WorkArrays, ReleaseAndIdentity) {
  NodeBalance balance;
  auto buf = fresh_work();
  Descr f(3, 4);
  identi(buf.get(), 3, false);
  Mat id(3, 3);
  for (std::int32_t i = 0; i < 3; ++i) id.at(i, i) = Value::number(BigRef(1));
  EXPECT_TRUE(same_mat(from_dense(buf.get(), 3, 3), id));
  identi(buf.get(), 3, true);    // the old cells are freed first
  free_arr(buf.get(), f.get());  // 12 cells: the three beyond the identity are nil
  EXPECT_EQ(f.d.arrsize.head->value, 0);
  for (int k = 0; k < 12; ++k) EXPECT_EQ(buf->stash[k], nullptr);
}

}  // namespace
}  // namespace tavrin::test
