// Pivot searches: known answers for the ranking and tie rules, the
// heuristic-5 switch, the residue column search, the fewest-entries search
// of the word-residue form, and the column exchange against a model.
#include "matrix/pivot_search.h"

#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"

namespace tavrin::test {
namespace {

class PivotSearch : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
  }
  ScopedValue<std::int32_t> heur_{pseudet_heur, 0};
};

// A square matrix of numbers from a table (0: absent), as a sparse chain.
struct Sparse {
  sparseptr sp = nullptr;
  std::int32_t n = 0;
  explicit Sparse(const std::vector<std::vector<BigRef>>& rows) : n(std::int32_t(rows.size())) {
    Mat m(n, n);
    for (std::int32_t i = 0; i < n; ++i)
      for (std::int32_t j = 0; j < n; ++j)
        if (!(rows[i][j] == BigRef(0))) m.at(i, j) = Value::number(rows[i][j]);
    sp = to_sparse(m);
  }
  ~Sparse() { free_sparse(&sp, n, true); }
  std::pair<std::int32_t, std::int32_t> best(bool modular = false) const {
    std::int32_t j = 0, k = 0;
    (modular ? mod_sparse_findbest : sparse_findbest)(true, sp, n, 1, &j, &k);
    return {j, k};
  }
};

TEST_F(PivotSearch, RankingAndTieRules) {
  const BigRef limbs3 = BigRef::pow2(60), limbs7 = BigRef::pow2(170);
  using P = std::pair<std::int32_t, std::int32_t>;
  // Single-entry columns come first, the heaviest of them (lower on ties).
  EXPECT_EQ(Sparse({{limbs3, 0}, {0, limbs7}}).best(), P(2, 2));
  EXPECT_EQ(Sparse({{limbs7, 0}, {0, limbs3}}).best(), P(1, 1));
  EXPECT_EQ(Sparse({{limbs3, 0}, {0, limbs3}}).best(), P(1, 1));
  // A unit in a row of three active entries is ranked (the lighter 5 met
  // first wins); in a row of two it is taken at once.
  const BigRef two_limbs = BigRef::pow2(30);
  EXPECT_EQ(Sparse({{two_limbs, 5, 7}, {1, 3, 4}, {6, 8, 9}}).best(), P(1, 2));
  EXPECT_EQ(Sparse({{two_limbs, 5, 7}, {6, 8, 9}, {1, 3, 0}}).best(), P(3, 1));
  // An empty active row: no pivot.
  EXPECT_EQ(Sparse({{2, 3, 0}, {0, 0, 0}, {3, 0, 4}}).best().first, -1);
  {  // Modulo 7 any number in a short row is taken; else the first met.
    ModulusScope mod(7);
    EXPECT_EQ(Sparse({{2, 3, 4}, {5, 6, 1}, {3, 0, 2}}).best(true), P(3, 1));
    EXPECT_EQ(Sparse({{2, 3, 4}, {5, 6, 1}, {3, 5, 2}}).best(true), P(1, 1));
  }
  // Heuristic 5: x = 2*5 + 6 = 16 against a measure of 40.
  EXPECT_TRUE(heur5_switches(16, 5, 2, 40, 3, 1, false));   // 5 <= 3 + 3
  EXPECT_FALSE(heur5_switches(16, 5, 2, 40, 1, 1, false));  // 5 > 1 + 3
  EXPECT_FALSE(heur5_switches(16, 5, 1, 40, 3, 1, false));  // same column
  EXPECT_FALSE(heur5_switches(16, 3, 2, 0, 3, 1, true));    // no polynomial seen
  EXPECT_TRUE(heur5_switches(4, 3, 2, 40, 3, 1, true));     // 4 < 40 div 8
}

TEST_F(PivotSearch, ColumnAndDenseSearches) {
  Sparse s({{2, 0, 0}, {0, 0, 0}, {3, 0, 1}});
  std::int32_t j = 0, k = 0;
  sparse_colfindbest(s.sp, 3, 1, 2, &j);  // rows with entries, none in column 2
  EXPECT_EQ(j, -1);
  sparse_colfindbest(s.sp, 2, 2, 1, &j);  // every row from 2 on empty
  EXPECT_EQ(j, -2);
  sparse_colfindbest(s.sp, 3, 1, 1, &j);  // 2 and 3 ranked by mass: the first
  EXPECT_EQ(j, 1);
  // A dense 3 x 3 array in the paged store, columns (0, 4, -6), (1, 0, 0),
  // (0, 0, 0): with firstonly the unit of column 1 is not seen.
  storerec page{};
  ScopedValue<storeptr> first(arp[0], &page);
  const std::int32_t cells[] = {0, 4, -6, 1, 0, 0, 0, 0, 0};
  std::vector<Value> values;
  for (std::int32_t c = 0; c < 9; ++c) {
    values.push_back(Value::number(BigRef(cells[c])));
    page.cell[c] = values.back().get();
  }
  findbest(0, 8, 3, 0, &j, &k, true);
  EXPECT_EQ(std::make_pair(j, k), std::make_pair(1, 0));
  findbest(0, 8, 3, 0, &j, &k, false);
  EXPECT_EQ(std::make_pair(j, k), std::make_pair(0, 1));
  findbest(0, 8, 3, 2, &j, &k, false);
  EXPECT_EQ(j, -1);
  colfindbest(0, 3, 1, 0, &j);
  EXPECT_EQ(j, 1);
}

TEST_F(PivotSearch, ResidueColumnSearchModuloSeven) {
  ModulusScope mod(7);
  // Row 2 holds 1 (d = 0, taken at once); row 1 wins only when x is.
  const bool taken[] = {true, true, true, false, true, true};
  for (std::int32_t x = 1; x <= 6; ++x) {
    Sparse s({{x, 0}, {1, 0}});
    std::int32_t j = 0;
    sparse_mod_colfindbest(s.sp, 2, 1, 1, &j);
    EXPECT_EQ(j, taken[x - 1] ? 1 : 2) << "residue " << x;
    sparse_mod_colfindbest(s.sp, 2, 1, 2, &j);
    EXPECT_EQ(j, -1);
    sparse_mod_colfindbest(s.sp, 2, 3, 1, &j);
    EXPECT_EQ(j, -2);
  }
}

// A word-residue matrix whose row r holds counts[r-1] entries (residue 1)
// from column `from` on.
sparseptr counted_rows(const std::vector<std::int32_t>& counts, std::int32_t from = 1) {
  sparseptr sp = nullptr;
  const std::int32_t n = std::int32_t(counts.size());
  sparse_init(&sp, n);
  for (std::int32_t r = 1; r <= n; ++r) {
    colm_ptrptr link = sparse_row(sp, r);
    for (std::int32_t c = from; c < from + counts[r - 1]; ++c, link = &(*link)->next) {
      newcolm(link);
      (*link)->coord = c;
      (*link)->next = nullptr;
      set_colm_word(*link, 1);
    }
  }
  return sp;
}

TEST_F(PivotSearch, FewestEntriesSearchLimitsAndStops) {
  std::vector<std::int32_t> counts(1000, 20);
  counts[0] = 100;
  counts[9] = 11;   // 11 * 9 < 100 stops the scan
  counts[600] = 1;  // beyond row 499: never read
  sparseptr sp = counted_rows(counts);
  std::int32_t j = 0, k = 0;
  EXPECT_TRUE(spec1_mod_sparse_findbest(sp, 1000, 1, &j, &k));
  EXPECT_EQ(j, 10);
  EXPECT_EQ(k, 1);
  free_stuff(sp, 1000);
  sp = counted_rows({9, 9, 9, 9, 6, 5, 1, 9, 9, 9}, 5);  // rows 5, 6 read, factor 2
  EXPECT_FALSE(spec1_mod_sparse_findbest(sp, 10, 5, &j, &k));
  EXPECT_EQ(j, 6);
  spec2_mod_sparse_findbest(sp, 7, &k);
  EXPECT_EQ(k, -1);
  free_stuff(sp, 10);
}

TEST_F(PivotSearch, ColumnExchangeKeepsNodesAndOrder) {
  NodeBalance balance;
  {  // A row holding only column 3 has that node moved to column 1.
    Sparse s({{0, 2, 5}, {4, 0, 6}, {0, 0, 0}});
    colm_ptr only_b = (*sparse_row(s.sp, 1))->next;
    colm_ptr a = *sparse_row(s.sp, 2), b = a->next;
    quoly va = a->val, vb = b->val;
    sp_switchcol(s.sp, 1, 3, 3, 1);
    EXPECT_EQ(*sparse_row(s.sp, 1), only_b);
    EXPECT_EQ(only_b->coord, 1);
    EXPECT_EQ(*sparse_row(s.sp, 2), a);
    EXPECT_EQ(a->val, vb);
    EXPECT_EQ(b->val, va);
  }
  std::mt19937_64 rng(44);
  for (int trial = 0; trial < 40; ++trial) {
    const std::int32_t n = 1 + std::int32_t(rng() % 7);
    Mat m = random_mat(rng, n, n, 0.5, [](std::mt19937_64& g) {
      return Value::number(BigRef(std::int64_t(g() % 9) + 1));
    });
    sparseptr sp = to_sparse(m);
    const std::int32_t i = 1 + std::int32_t(rng() % n), k = 1 + std::int32_t(rng() % n);
    const std::int32_t start = 1 + std::int32_t(rng() % n);
    if (i < k) sp_switchcol(sp, i, k, n, start);
    sp_switchrow(sp, i, k);
    Mat want = copy_mat(m);
    for (std::int32_t r = start - 1; r < n && i < k; ++r)
      std::swap(want.at(r, i - 1), want.at(r, k - 1));
    for (std::int32_t c = 0; c < n; ++c) std::swap(want.at(i - 1, c), want.at(k - 1, c));
    EXPECT_TRUE(sparse_ok(sp, n, n));
    EXPECT_TRUE(same_mat(from_sparse(sp, n, n), want)) << "trial " << trial;
    free_sparse(&sp, n, true);
  }
}

}  // namespace
}  // namespace tavrin::test
