// The machinery of the expansion by minors (descriptor bits, row lists,
// the table's growth and purge, permute, column removal and restoration) and
// the Hamiltonian path search: known answers, the builder's shape, the
// refusals, and random graphs against a brute force over vertex orders.
#include "matrix/minors_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/hamilton.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/output_capture.h"

namespace tavrin::test {
namespace {

class MinorsMachinery : public MatrixTest {};

TEST_F(MinorsMachinery, DescriptorsTableAndRemovals) {
  minor_descr md;
  init_minor_descr(&md, 33);
  ASSERT_EQ(md.size, 2);
  EXPECT_EQ(md.cols[0], 0xFFFFFFFFu);
  EXPECT_EQ(md.cols[1], 1u);
  EXPECT_EQ(update_col_list(&md, 33), 32);  // bit 0 of limb 2
  EXPECT_EQ(md.cols[1], 0u);
  EXPECT_EQ(update_col_list(&md, 32), 31);  // bit 31 of limb 1
  EXPECT_EQ(md.cols[0], 0x7FFFFFFFu);
  // Row 1 removed: place 1 is now initial row 2.
  init_minor_descr(&md, 3);
  EXPECT_EQ(update_row_list(&md, 1), 0);
  EXPECT_EQ(update_row_list(&md, 1), 1);
  EXPECT_EQ(md.rows[0], 4u);
  // Growth: 641 slots become 1277 at the 2,565th entry; 40,087 never grow.
  create_minor_stash(10);
  ASSERT_EQ(minorprime, 641);
  minor_descr key;
  for (std::int32_t k = 1; k <= 2565; ++k) {
    init_minor_descr(&key, 40);
    key.cols[0] = std::uint32_t(k);
    int_stash_minor(key, minorshash(key), k);
    EXPECT_EQ(minorprime, k < 2565 ? 641 : 1277) << k;
  }
  long double v = 0;  // every entry is still found after the rehash
  key.cols[0] = 1234;
  EXPECT_TRUE(int_minor_is_there(key, minorshash(key), &v));
  EXPECT_EQ(v, 1234.0L);
  // A purge empties every slot that held fewer than minor_count entries.
  minor_count = 2;
  std::vector<std::int32_t> before;
  for (minor_entry* e : minorstash) {
    std::int32_t c = 0;
    for (; e != nullptr; e = e->next) ++c;
    before.push_back(c);
  }
  try_purge_minors();
  for (std::size_t s = 0; s < minorstash.size(); ++s)
    if (before[s] < 2) {
      EXPECT_EQ(minorstash[s], nullptr) << s;
    }
  std::int32_t count = 0, hits = 0;
  free_minor_stash(&count, &hits);
  EXPECT_EQ(minorprime, 0);
  create_minor_stash(400);
  for (std::int32_t k = 1; k <= 200000; ++k) {
    key.cols[0] = std::uint32_t(k);
    int_stash_minor(key, minorshash(key), 0);
  }
  EXPECT_EQ(minorprime, 40087);
  free_minor_stash(&count, &hits);
  EXPECT_EQ(count, 200000);
  // permute with (1, 3) then (3, 2): 1 -> 2, 3 -> 1, 2 -> 3.
  col_pair b{3, 2, nullptr, nullptr}, a{1, 3, nullptr, &b};
  EXPECT_EQ(permute(&a, 1), 2);
  EXPECT_EQ(permute(&a, 3), 1);
  EXPECT_EQ(permute(&a, 2), 3);
  EXPECT_EQ(permute(nullptr, 7), 7);
  // A column with an entry in every row: removed and restored, every coord
  // comes back; the statistics count rows and columns.
  Mat m(4, 4);
  for (std::int32_t i = 0; i < 4; ++i)
    for (std::int32_t j = 0; j < 4; ++j)
      if (j == 1 || (i + j) % 2 == 0) m.at(i, j) = Value::number(BigRef(1 + i + j));
  sparseptr sp = to_sparse(m);
  allocate_minor_statistics();
  for (std::int32_t c = 1; c <= 4; ++c) sparse_number_col[c] = 0;  // what earlier tests left
  std::vector<std::int32_t> coords;
  for (std::int32_t r = 1; r <= 4; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next) {
      e->coord *= packed_base + 1;
      coords.push_back(e->coord);
      sparse_number_col[initial_col(e->coord)] += 1;
    }
  col_record *w = nullptr, *nu = nullptr;
  remove_col(sp, 2, 4, &w, &nu);
  EXPECT_GT(sparse_number_col[2], removed_col_mark);
  EXPECT_EQ(current_col((*sparse_row(sp, 1))->next->coord), 2);  // initial column 3
  colm_ptr u = nullptr;
  remove_row(sp, 4, 1, &u);
  EXPECT_EQ(sparse_number_col[1], 1);  // rows 1 and 3 hold column 1; row 1 is out
  restore_row(sp, 4, 1, u);
  restore_col(2, w, nu);
  std::size_t k = 0;
  for (std::int32_t r = 1; r <= 4; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next)
      EXPECT_EQ(e->coord, coords[k++]);
  EXPECT_EQ(sparse_number_col[2], 4);
  for (std::int32_t c = 1; c <= 4; ++c) sparse_number_col[c] = 0;
  free_sparse(&sp, 4, true);
}

// A labelled matrix from rows of (column, label) pairs.
sparseptr labelled(std::int32_t rows, const std::vector<std::vector<std::pair<int, int>>>& t) {
  sparseptr sp = nullptr;
  sparse_init(&sp, rows);
  for (std::size_t r = 0; r < t.size(); ++r) {
    colm_ptrptr link = sparse_row(sp, std::int32_t(r + 1));
    for (const auto& [c, label] : t[r]) {
      newcolm(link);
      (*link)->coord = c;
      set_ham_label(*link, label);
      (*link)->next = nullptr;
      link = &(*link)->next;
    }
  }
  return sp;
}

// The search on a labelled matrix, which is then given back.
std::int32_t search(sparseptr sp, std::int32_t rows) {
  quoly n = nullptr;
  hamilton_path_driver(&sp, rows, &n, nullptr);
  free_stuff(sp, rows);
  const std::int32_t r = number_value(n->ncoef) == BigRef(1) ? 1 : 0;
  free_quoly(&n);
  return r;
}

// Through the builder, as the built-in does it.
std::int32_t graph_search(const std::vector<std::vector<int>>& adj) {
  const std::int32_t n = std::int32_t(adj.size());
  auto w = fresh_work();
  Mat a(n, n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j)
      a.at(i, j) = Value::number(BigRef(adj[std::size_t(i)][std::size_t(j)]));
  Descr f;
  to_dense(a, w.get(), f.get());
  bool arr_free = true;
  sparseptr sp = nullptr;
  set_up_hamilton(w.get(), f.get(), &arr_free, &sp);
  EXPECT_EQ(f.get()->rows, n * n + 1);
  EXPECT_FALSE(arr_free);
  const std::int32_t r = search(sp, n * n + 1);
  return r;
}

// A path through every vertex, by brute force over the vertex orders.
bool brute_path(const std::vector<std::vector<int>>& adj) {
  std::vector<std::size_t> p(adj.size());
  std::iota(p.begin(), p.end(), 0);
  do {
    bool ok = true;
    for (std::size_t k = 0; k + 1 < p.size() && ok; ++k) ok = adj[p[k]][p[k + 1]] == 1;
    if (ok) return true;
  } while (std::next_permutation(p.begin(), p.end()));
  return false;
}

TEST_F(MinorsMachinery, HamiltonianSearch) {
  EXPECT_EQ(search(labelled(1, {{{1, 0}}}), 1), 1);
  EXPECT_EQ(search(labelled(1, {{}}), 1), 0);
  EXPECT_EQ(search(labelled(3, {{{1, 0}, {2, 0}}, {}, {{3, 0}}}), 3), 0);
  EXPECT_EQ(lowcnt, 1);
  EXPECT_EQ(search(labelled(2, {{{1, 0}}, {{1, 0}}}), 2), 0);  // column 2 empty
  EXPECT_EQ(lowcnt, 1);
  // Two entries sharing label 1 cannot both be chosen.
  EXPECT_EQ(search(labelled(2, {{{1, 1}}, {{2, 1}}}), 2), 0);
  EXPECT_EQ(search(labelled(2, {{{1, 1}}, {{2, 2}}}), 2), 1);
  // n = 3: a 10-row matrix; the path 1-2-3 is found, two isolated vertices not.
  EXPECT_EQ(graph_search({{0, 1, 0}, {1, 0, 1}, {0, 1, 0}}), 1);
  EXPECT_EQ(graph_search({{0, 1, 0}, {1, 0, 0}, {0, 0, 0}}), 0);
  // Refusals before the tables: more than 10,001 columns, labels above 100.
  for (auto [rows, label] : {std::pair{10002, 0}, std::pair{2, 101}}) {
    sparseptr sp = labelled(rows, {{{1, label}}, {{2, 0}}});
    bool unwound = false;
    quoly n = nullptr;
    const std::string out =
        output_of([&] { hamilton_path_driver(&sp, rows, &n, nullptr); }, &unwound);
    EXPECT_TRUE(unwound && reports(out, 27)) << out;
    EXPECT_EQ(total_cnt, 0);
    free_quoly(&n);
    free_stuff(sp, rows);
  }
  // Random graphs against the brute force.
  std::mt19937_64 rng(4647);
  for (int trial = 0; trial < 40; ++trial) {
    const std::size_t n = 2 + rng() % 8;
    const double p = 0.2 + 0.1 * double(rng() % 5);
    std::vector<std::vector<int>> adj(n, std::vector<int>(n, 0));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = i + 1; j < n; ++j)
        if (double(rng() % 1000) < 1000 * p) adj[i][j] = adj[j][i] = 1;
    EXPECT_EQ(graph_search(adj), brute_path(adj) ? 1 : 0) << "trial " << trial << " n " << n;
  }
}

}  // namespace
}  // namespace tavrin::test
