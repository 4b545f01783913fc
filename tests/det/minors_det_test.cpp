// Expansion by minors: known answers (2 x 2, empty lines, diagonal, odd
// permutation, a borrowed matrix untouched, the row limit, re-entry), and
// the main cross-check: random sparse matrices in six rings against sparse
// elimination and planted determinants; the long-double form against
// fl_determ.
#include "det/minors_det.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "numbers/stash/stash.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "det/dense_gauss.h"
#include "det/router.h"
#include "det/sparse_gauss.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MinorsDet : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
    init_min_stash = 3;
    init_max_stash = 2;
  }
  PolyVars vars_{"x", "y"};
  // A budget, so that the table is not starved of memory.
  ScopedValue<std::uint64_t> budget_{totalavailablememory, std::uint64_t{1} << 30};
};

// The minors determinant of a borrowed copy, which must come back node for
// node, then of a temporary.
Value minors_det(const Mat& m, std::string* trace = nullptr) {
  sparseptr sp = to_sparse(m);
  std::vector<colm_ptr> nodes;
  for (std::int32_t r = 1; r <= m.rows; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next) nodes.push_back(e);
  Value d = Value::number(BigRef(5));
  sparseptr borrowed = sp;
  bool ar_free = false;
  const std::string out =
      output_of([&] { sparse_minors_det(d.cell(), &borrowed, m.rows, &ar_free); });
  if (trace != nullptr) *trace = out;
  EXPECT_TRUE(borrowed == nullptr && ar_free);
  std::size_t k = 0;
  for (std::int32_t r = 1; r <= m.rows; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next, ++k)
      EXPECT_TRUE(k < nodes.size() && nodes[k] == e);
  EXPECT_EQ(k, nodes.size());
  EXPECT_TRUE(same_mat(from_sparse(sp, m.rows, m.rows), m));
  Value again;
  ar_free = true;
  sparse_minors_det(again.cell(), &sp, m.rows, &ar_free);
  EXPECT_TRUE(quoly_equal(d, again));
  EXPECT_EQ(minorprime, 0);
  EXPECT_EQ(sp_total_cnt, 0);
  free_sparse(&sp, m.rows, true);
  return d;
}

Mat int_mat(const std::vector<std::vector<int>>& t) {
  Mat m(std::int32_t(t.size()), std::int32_t(t.size()));
  for (std::size_t i = 0; i < t.size(); ++i)
    for (std::size_t j = 0; j < t.size(); ++j)
      if (t[i][j] != 0) m.at(std::int32_t(i), std::int32_t(j)) = Value::number(BigRef(t[i][j]));
  return m;
}

TEST_F(MinorsDet, KnownAnswers) {
  NodeBalance balance;
  ScopedValue<bool> loud(verbose, true);
  // 2 x 2: a*d - b*c, no table entry at size 2.
  Mat two(2, 2);
  two.at(0, 0) = Value::ratfun("x + 1");
  two.at(0, 1) = Value::ratfun("y");
  two.at(1, 0) = Value::ratfun("x*y - 2");
  two.at(1, 1) = Value::ratfun("x");
  std::string trace;
  EXPECT_TRUE(quoly_equal(minors_det(two, &trace), Value::ratfun("x^2 + x - x*y^2 + 2*y")));
  EXPECT_NE(trace.find("stash nodes, hits: 2 2 0 0"), std::string::npos) << trace;
  // An empty row, then an empty column: 0 after one leaf.
  for (const Mat& m :
       {int_mat({{1, 2, 3}, {0, 0, 0}, {4, 5, 6}}), int_mat({{1, 0, 3}, {4, 0, 6}, {7, 0, 9}})}) {
    EXPECT_EQ(number_value(minors_det(m)->ncoef), BigRef(0));
    EXPECT_EQ(sp_lowcnt, 1);
  }
  // A diagonal matrix; an odd permutation (places, not initial numbers, set
  // the signs); a 5 x 5 whose minors recur and hit the table.
  EXPECT_EQ(
      number_value(
          minors_det(int_mat({{2, 0, 0, 0}, {0, -3, 0, 0}, {0, 0, 5, 0}, {0, 0, 0, 7}}))->ncoef),
      BigRef(-210));
  EXPECT_EQ(
      number_value(
          minors_det(int_mat({{0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {1, 0, 0, 0}}))->ncoef),
      BigRef(-1));
  Mat full = int_mat(
      {{2, 1, 0, 3, 1}, {1, 4, 1, 0, 2}, {0, 1, 5, 1, 0}, {3, 0, 1, 6, 1}, {1, 2, 0, 1, 7}});
  EXPECT_EQ(number_value(minors_det(full, &trace)->ncoef), BigRef(79));
  EXPECT_EQ(trace.find("stash nodes, hits: ") == std::string::npos, false);
  EXPECT_EQ(trace.find(" 0 0\n"), std::string::npos) << trace;  // entries stored and hit
  // 32,767 rows: error 310 before anything is touched; a running
  // expansion: error 309; n unchanged, nothing left behind.
  Value d = Value::number(BigRef(9));
  sparseptr sp = to_sparse(full);
  bool ar_free = false;
  bool unwound = false;
  std::string out =
      output_of([&] { sparse_minors_det(d.cell(), &sp, max_minor_rows, &ar_free); }, &unwound);
  EXPECT_TRUE(reports(out, too_many_minor_rows_error)) << out;
  sp_total_cnt = 4;
  out = output_of([&] { sparse_minors_det(d.cell(), &sp, 5, &ar_free); }, &unwound);
  EXPECT_TRUE(reports(out, search_running_error)) << out;
  sp_total_cnt = 0;
  EXPECT_EQ(number_value(d->ncoef), BigRef(9));
  EXPECT_TRUE(same_mat(from_sparse(sp, 5, 5), full) && !ar_free && minorprime == 0);
  free_sparse(&sp, 5, true);
}

struct RingCase {
  const char* name;
  std::int32_t modulus;  // 0: rational arithmetic
  bool polys, fractions;
};

Value random_entry(std::mt19937_64& g, const RingCase& rc) {
  auto number = [&]() {
    std::int64_t v = 0;
    while (v == 0)
      v = rc.modulus > 0 ? std::int64_t(g() % std::uint64_t(rc.modulus))
                         : std::int64_t(g() % 19) - 9;
    return Value::number(BigRef(v));
  };
  auto base = [&]() {
    if (!rc.polys || g() % 3 == 0) return number();
    const char* forms[] = {"x + 1", "y - 2", "x*y", "x^2 - y", "3*y + x", "2"};
    return Value::ratfun(forms[g() % 6]);
  };
  Value v = base();
  if (!rc.fractions || g() % 2 == 0) return v;
  Value q;
  quoly_quot(v, base(), q.cell(), false);
  return q;
}

// A random sparse matrix of side n with 2-4 entries a row.
Mat random_sparse(std::mt19937_64& rng, std::int32_t n, const RingCase& rc) {
  Mat m(n, n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::uint64_t e = 2 + rng() % 3; e-- > 0;)
      m.at(i, std::int32_t(rng() % std::uint64_t(n))) = random_entry(rng, rc);
  return m;
}

TEST_F(MinorsDet, AgreesWithEliminationAndPlantedDeterminants) {
  const RingCase rings[] = {{"Z", 0, false, false},           {"Q", 0, false, true},
                            {"Z/32003", 32003, false, false}, {"GF(256)", 256, false, false},
                            {"Z[x,y]", 0, true, false},       {"Q(x,y)", 0, true, true}};
  std::mt19937_64 rng(4646);
  for (const RingCase& rc : rings) {
    std::optional<ModulusScope> mod;
    if (rc.modulus > 0) mod.emplace(rc.modulus);
    NodeBalance balance;
    for (int trial = 0; trial < 10; ++trial) {
      const std::int32_t n = 2 + std::int32_t(rng() % (rc.polys ? 7 : 11));
      Mat a = random_sparse(rng, n, rc);
      sparseptr sp = to_sparse(a);
      Value byelim = Value::number(BigRef(1));
      sparse_gauss_elim(&sp, byelim.cell(), n, 3, true);
      Value d = minors_det(a);
      EXPECT_TRUE(quoly_equal(d, byelim)) << rc.name << " trial " << trial << " n " << n;
      EXPECT_TRUE(normal_value(d));
      // Planted: a permuted triangular matrix with a known diagonal.
      Mat t(n, n);
      Value planted = Value::number(BigRef(1));
      std::vector<std::int32_t> perm(std::size_t(n), 0);
      for (std::int32_t i = 0; i < n; ++i) perm[std::size_t(i)] = i;
      std::shuffle(perm.begin(), perm.end(), rng);
      for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t r = perm[std::size_t(i)];
        t.at(r, i) = random_entry(rng, rc);
        Value p;
        quoly_mult(planted, t.get(r, i), p.cell());
        planted = std::move(p);
        if (i + 1 < n && rng() % 2 == 0)
          t.at(r, i + 1 + std::int32_t(rng() % std::uint64_t(n - i - 1))) = random_entry(rng, rc);
      }
      for (std::int32_t i = 0; i < n; ++i)  // the sign of the permutation
        for (std::int32_t j = i + 1; j < n; ++j)
          if (perm[std::size_t(i)] > perm[std::size_t(j)]) quoly_inplace(planted);
      EXPECT_TRUE(quoly_equal(minors_det(t), planted)) << rc.name << " planted, n " << n;
    }
  }
  // Long doubles: the floating expansion against fl_determ.
  FloatingMode fl;
  for (int trial = 0; trial < 12; ++trial) {
    const std::int32_t n = 2 + std::int32_t(rng() % 11);
    Mat a(n, n);
    for (std::int32_t i = 0; i < n; ++i)
      for (std::uint64_t e = 2 + rng() % 3; e-- > 0;)
        a.at(i, std::int32_t(rng() % std::uint64_t(n))) =
            Value::number(BigRef(std::int64_t(rng() % 41) - 20));
    auto w = fresh_work();
    Descr f;
    to_dense(a, w.get(), f.get());
    Value ref = Value::number(BigRef(1));
    fl_determ(w.get(), n, ref.cell());
    free_cells(w.get(), n * n);
    sparseptr sp = to_sparse(a), borrowed = sp;
    bool ar_free = false;
    long double x = 0;
    int_sparse_minors_det(&x, &borrowed, n, &ar_free);
    free_sparse(&sp, n, true);
    const long double want = ref->ncoef->flote;
    EXPECT_LE(std::fabs(x - want), 1e-9L * (1 + std::fabs(want))) << "n " << n;
  }
}

}  // namespace
}  // namespace tavrin::test
