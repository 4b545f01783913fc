// Row and column operations: known answers of the integer reductions, the
// progress period, the residue exchanges and the paged-store exchange; a
// randomised check that every operation mirrored on kept transforms keeps
// alpha*A0*beta = A, alpha*alphinv = I and beta*betinv = I, with the sparse
// forms matching the dense ones; and determinants by the elimination steps
// against the Leibniz formula.
#include "matrix/row_ops.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include <optional>
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matrix/row_echelon.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class RowOps : public MatrixTest {};

using nodes::ScratchNumber;

std::int64_t num(imptr x) { return number_value(x).to_int64(); }

TEST_F(RowOps, IntegerReductionsKnownAnswers) {
  NodeBalance balance;
  ScratchNumber pd, half, m;
  setvalue(10, pd.get());
  setvalue(5, half.get());
  struct Case {
    std::int64_t in;
    bool wanthalf;
    std::int64_t it, tell;  // reduce_it, reduce_and_tell
    bool shrunk;
  } cases[] = {{-5, true, -5, -5, false}, {-7, true, 3, 3, true},  {5, true, -5, 5, false},
               {7, true, -3, -3, true},   {23, true, 3, 3, true},  {-23, true, -3, -3, true},
               {25, true, -5, 5, true},   {23, false, 3, 3, true}, {-7, false, -7, -7, false},
               {0, true, 0, 0, false},    {10, true, 0, 0, true}};
  for (const Case& c : cases) {
    setvalue(static_cast<std::int32_t>(c.in), m.get());
    reduce_it(m.get(), pd.get(), half.get(), c.wanthalf);
    EXPECT_EQ(num(m.get()), c.it) << c.in;
    setvalue(static_cast<std::int32_t>(c.in), m.get());
    bool shrunk = false;
    reduce_and_tell(m.get(), pd.get(), half.get(), c.wanthalf, &shrunk);
    EXPECT_EQ(num(m.get()), c.tell) << c.in;
    EXPECT_EQ(shrunk, c.shrunk) << c.in;
  }
  const std::int32_t periods[][2] = {{1, 1},     {100, 1},   {101, 5},   {1000, 5},
                                     {1001, 10}, {5000, 10}, {5001, 50}, {100000, 50}};
  for (const auto& p : periods) EXPECT_EQ(disper(p[0]), p[1]) << p[0];
  // Size, not value: -2^40 is larger than 2^30.
  ScratchNumber a, b;
  setvalue(1 << 30, a.get());
  setvalue(-(1 << 27), b.get());
  fast_mult(b.get(), b.get(), b.get());
  in_place_neg(b.get());
  EXPECT_TRUE(larger_number(b.get(), a.get()));
  EXPECT_FALSE(larger_number(a.get(), b.get()));
}

// A sparse integer matrix from rows of (column, value) pairs.
sparseptr int_rows(const std::vector<std::vector<std::pair<int, int>>>& rows) {
  Mat m(static_cast<std::int32_t>(rows.size()), 6);
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (auto [c, v] : rows[r])
      m.at(static_cast<std::int32_t>(r), c - 1) = Value::number(BigRef(v));
  return to_sparse(m);
}

std::vector<std::int64_t> row_values(sparseptr sp, std::int32_t r, std::int32_t cols) {
  std::vector<std::int64_t> out(static_cast<std::size_t>(cols), 0);
  for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next)
    out[static_cast<std::size_t>(e->coord - 1)] = num(e->val->ncoef);
  return out;
}

TEST_F(RowOps, SparseIntegerRowStep) {
  NodeBalance balance;
  // Column 2 holds 3 in row t and 7 in row u: factor -2 leaves 1 there.
  sparseptr sp = int_rows({{{2, 3}, {4, 5}, {5, 1}}, {{1, 1}, {2, 7}, {3, 2}, {4, 10}}});
  ScratchNumber factor, pd, half;
  std::int32_t tg = 1, j2 = -5, k2 = -5, val2 = -5;
  sparse_int_rowred(sp, sparse_row(sp, 1), sparse_row(sp, 2), 0, 2, &tg, 2, &j2, &k2, &val2, true,
                    factor.get(), false, false, pd.get(), half.get());
  EXPECT_EQ(num(factor.get()), -2);
  EXPECT_EQ(row_values(sp, 2, 6), (std::vector<std::int64_t>{1, 1, 2, 0, -2, 0}));
  EXPECT_TRUE(sparse_ok(sp, 2, 6));  // column 4 cancelled and removed
  EXPECT_EQ(k2, 2);
  EXPECT_EQ(val2, -1);
  EXPECT_EQ(j2, 1);
  // No entry of row u in the column: factor 0, nothing changed.
  sparse_int_rowred(sp, sparse_row(sp, 1), sparse_row(sp, 2), 0, 4, &tg, 2, &j2, &k2, &val2, true,
                    factor.get(), false, false, pd.get(), half.get());
  EXPECT_EQ(num(factor.get()), 0);
  EXPECT_EQ(k2, -1);
  // Reduced modulo 10 into the symmetric range: factor -2; 10 - 8 = 2 is
  // the smallest made, 5 - 18 = -13 -> -3; 0 - 2*7 = -14 -> -4 is new.
  sparseptr s2 = int_rows({{{1, 4}, {2, 9}, {3, 7}}, {{1, 10}, {2, 5}}});
  setvalue(10, pd.get());
  setvalue(5, half.get());
  sparse_int_rowred(s2, sparse_row(s2, 1), sparse_row(s2, 2), 0, 1, &tg, 2, &j2, &k2, &val2, true,
                    factor.get(), true, true, pd.get(), half.get());
  EXPECT_EQ(num(factor.get()), -2);
  EXPECT_EQ(row_values(s2, 2, 6), (std::vector<std::int64_t>{2, -3, -4, 0, 0, 0}));
  EXPECT_EQ(k2, 1);
  EXPECT_EQ(val2, 1);
  free_sparse(&sp, 2, true);
  free_sparse(&s2, 2, true);
}

TEST_F(RowOps, ResidueExchangesAndThePagedStore) {
  NodeBalance balance;
  auto w = fresh_work();
  for (std::int32_t p : {7, 256}) {
    ModulusScope mod(p);
    Mat a(2, 2);
    a.at(0, 0) = Value::number(BigRef(1));
    a.at(0, 1) = Value::number(BigRef(2));
    a.at(1, 0) = Value::number(BigRef(3));
    a.at(1, 1) = Value::number(BigRef(4));
    Descr f;
    to_dense(a, w.get(), f.get());
    for (std::int32_t d : {0, 3}) {
      Value n = Value::number(BigRef(d));
      mod_swap_rows(n.cell(), w.get(), 0, 1, 2);
      EXPECT_EQ(n->ncoef->lint, d == 0 || p == 256 ? d : p - d) << p;
      mod_swap_cols(n.cell(), w.get(), 0, 1, 2);
      EXPECT_EQ(n->ncoef->lint, d) << p;
    }
    // Two row and two column exchanges: back where it started.
    EXPECT_TRUE(same_mat(from_dense(w.get(), 2, 2), a));
    free_cells(w.get(), 4);
  }
  // A 3-row, 4-column named array at cell 5 of the paged store.
  storerec page{};
  ScopedValue<storeptr> first(arp[0], &page);
  for (std::int32_t k = 0; k < 12; ++k) quoly_set(k, arp_cell(5 + k));
  switchrow_col(93, 0, 2, 5, 3, 3, 4);  // rows 0 and 2: 4 cells of stride 3
  std::vector<std::int64_t> got;
  for (std::int32_t k = 0; k < 12; ++k) got.push_back(num((*arp_cell(5 + k))->ncoef));
  EXPECT_EQ(got, (std::vector<std::int64_t>{2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9}));
  switchrow_col(92, 1, 3, 5, 3, 2, 4);  // columns 1 and 3, first two cells
  got.clear();
  for (std::int32_t k = 0; k < 12; ++k) got.push_back(num((*arp_cell(5 + k))->ncoef));
  EXPECT_EQ(got, (std::vector<std::int64_t>{2, 1, 0, 11, 10, 3, 8, 7, 6, 5, 4, 9}));
  ScratchNumber two;
  setvalue(2, two.get());
  int_col_manip(3, 1, 5, 3, two.get());  // column 3 -= 2 column 1 in rows 1, 2
  int_row_neg(0, 1, 5, 3, 4);            // row 0 negated from column 1 on
  got.clear();
  for (std::int32_t k = 0; k < 12; ++k) got.push_back(num((*arp_cell(5 + k))->ncoef));
  EXPECT_EQ(got, (std::vector<std::int64_t>{2, 1, 0, -11, 10, 3, -8, 7, 6, -5, -16, 3}));
  for (std::int32_t k = 0; k < 12; ++k) free_quoly(arp_cell(5 + k));
  // A sparse row cut after its first node: the nodes go, their values stay.
  sparseptr sp = int_rows({{{1, 4}, {3, 7}, {5, 9}}});
  const quoly seven = (*sparse_row(sp, 1))->next->val, nine = (*sparse_row(sp, 1))->next->next->val;
  killoffu(sparse_row(sp, 1));
  EXPECT_EQ(row_values(sp, 1, 6), (std::vector<std::int64_t>{4, 0, 0, 0, 0, 0}));
  EXPECT_EQ(num(seven->ncoef) + num(nine->ncoef), 16);
  for (quoly v : {seven, nine}) free_quoly(&v);
  free_sparse(&sp, 1, true);
}

// A 3 x 3 work array holding 0..8 in cell order, and its cells read back.
struct Cells {
  std::unique_ptr<workarray> w = fresh_work();
  Cells() {
    for (std::int32_t k = 0; k < 9; ++k) quoly_set(k, &w->stash[k]);
  }
  ~Cells() { free_cells(w.get(), 9); }
  std::vector<std::int64_t> read() const {
    std::vector<std::int64_t> out;
    for (std::int32_t k = 0; k < 9; ++k) out.push_back(num(w->stash[k]->ncoef));
    return out;
  }
};

TEST_F(RowOps, DenseExchangesKnownAnswers) {
  NodeBalance balance;
  using V = std::vector<std::int64_t>;
  // Cell r + 3c holds 3c + r: row r is {r, r + 3, r + 6}.
  struct Case {
    const char* what;
    std::function<void(workptr, quolyptr)> op;
    V cells;
    bool negated;
  } cases[] = {
      // clang-format off
      {"swap_rows from 0", [](workptr w, quolyptr n) { swap_rows(n, w, true, false, 0, 2, 3); }, {2, 1, 0, 5, 4, 3, 8, 7, 6}, true},
      {"swap_rows last column", [](workptr w, quolyptr n) { swap_rows(n, w, false, false, 2, 0, 3); }, {0, 1, 2, 3, 4, 5, 8, 7, 6}, false},
      {"swap_rows do_all", [](workptr w, quolyptr n) { swap_rows(n, w, true, true, 1, 2, 3); }, {0, 2, 1, 3, 5, 4, 6, 8, 7}, true},
      {"swap_cols", [](workptr w, quolyptr) { swap_cols(w, 0, 2, 3); }, {6, 7, 8, 3, 4, 5, 0, 1, 2}, false},
      {"spec_swap_rows", [](workptr w, quolyptr) { spec_swap_rows(w, 2, 1, 3); }, {0, 2, 1, 3, 5, 4, 6, 7, 8}, false},
      {"simple_swap_rows", [](workptr w, quolyptr) { simple_swap_rows(w, 0, 1, 3, 1); }, {0, 1, 2, 4, 3, 5, 7, 6, 8}, false},
      {"simple_swap_cols i = j", [](workptr w, quolyptr) { simple_swap_cols(w, 1, 1, 3, 0); }, {0, 1, 2, 3, 4, 5, 6, 7, 8}, false},
      {"simple_swap_cols", [](workptr w, quolyptr) { simple_swap_cols(w, 0, 2, 3, 1); }, {0, 7, 8, 3, 4, 5, 6, 1, 2}, false},
      {"dual_swap_cols", [](workptr w, quolyptr n) { dual_swap_cols(n, w, false, 1, 2, 3); }, {0, 1, 2, 3, 7, 8, 6, 4, 5}, true},
      {"dual_swap_cols invert", [](workptr w, quolyptr n) { dual_swap_cols(n, w, true, 1, 2, 3); }, {0, 1, 2, 6, 7, 8, 3, 4, 5}, false},
      {"uppertri", [](workptr w, quolyptr) { for (std::int32_t k : {0, 3, 4, 6, 7, 8}) free_quoly(&w->stash[k]); uppertri(w, 3); }, {1, 1, 2, 0, 1, 5, 0, 0, 1}, false},
      // clang-format on
  };
  for (const Case& c : cases) {
    Cells m;
    Value n = Value::number(BigRef(5));
    c.op(m.w.get(), n.cell());
    EXPECT_EQ(m.read(), c.cells) << c.what;
    EXPECT_EQ(num(n->ncoef), c.negated ? -5 : 5) << c.what;
  }
  {
    // Long doubles: columns 1 and 2 exchanged from row 1 down, *n left alone.
    FloatingMode fl;
    Cells m;
    for (std::int32_t k = 0; k < 9; ++k) m.w->stash[k]->ncoef->flote = k;
    Value n = Value::number(BigRef(5));
    fl_swap_cols(n.cell(), m.w.get(), 1, 2, 3);
    std::vector<long double> cells;
    for (std::int32_t k = 0; k < 9; ++k) cells.push_back(m.w->stash[k]->ncoef->flote);
    EXPECT_EQ(cells, (std::vector<long double>{0, 1, 2, 3, 7, 8, 6, 4, 5}));
    EXPECT_EQ(n->ncoef->flote, 5.0L);
  }
  // A zero factor for the residue row division is reported, nothing changed.
  ModulusScope mod(7);
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  Mat a(1, 2);
  a.at(0, 1) = Value::number(BigRef(3));
  sparseptr sp = to_sparse(a);
  EXPECT_NE(output_of([&] { sparse_mod_divide_row(sp, 0, 1); }).find("bad seca."),
            std::string::npos);
  sparse_mod_divide_row(sp, 3, 1);
  EXPECT_EQ(row_values(sp, 1, 2), (std::vector<std::int64_t>{0, 1}));
  free_sparse(&sp, 1, true);
}

// ---- Transforms ------------------------------------------------------------------------------

enum class Kind { integers, rationals, mod7, mod65521, mod_big, gf256, floating };

Value random_entry(Kind k, std::mt19937_64& g) {
  const long long v = static_cast<long long>(g() % 11) - 5;
  switch (k) {
    case Kind::rationals:
      if (v == 0) return Value::number(BigRef(0));
      return make_value(std::to_string(v) + " / " + std::to_string(1 + g() % 4));
    case Kind::mod7: return Value::number(BigRef((v % 7 + 7) % 7));
    case Kind::mod65521: return Value::number(BigRef(static_cast<long long>(g() % 65521)));
    case Kind::mod_big: return Value::number(BigRef(static_cast<long long>(g() % 2147483629)));
    case Kind::gf256: return Value::number(BigRef(static_cast<long long>(g() % 256)));
    default: return Value::number(BigRef(v));
  }
}

bool is_modular(Kind k) {
  return k == Kind::mod7 || k == Kind::mod65521 || k == Kind::mod_big || k == Kind::gf256;
}

struct KindScope {
  std::optional<ModulusScope> mod;
  std::optional<FloatingMode> fl;
  explicit KindScope(Kind k) {
    if (k == Kind::mod7) mod.emplace(7);
    if (k == Kind::mod65521) mod.emplace(65521);
    if (k == Kind::mod_big) mod.emplace(2147483629);
    if (k == Kind::gf256) mod.emplace(256);
    if (k == Kind::floating) fl.emplace();
  }
};

Mat identity(std::int32_t m) {
  Mat id(m, m);
  for (std::int32_t i = 0; i < m; ++i) id.at(i, i) = Value::number(BigRef(1));
  return id;
}

// -v and the inverse of a unit, as values of the ring.
Value negated(quoly v) {
  Value r;
  quoly_assign(v, r.cell());
  quoly_inplace(r);
  return r;
}

// A dense work array holding a test matrix for the length of a scope.
struct Dense {
  std::unique_ptr<workarray> w = fresh_work();
  std::int32_t m;
  explicit Dense(const Mat& a) : m(a.rows) {
    Descr f;
    to_dense(a, w.get(), f.get());
  }
  ~Dense() { free_cells(w.get(), m * m); }
  Mat mat() const { return from_dense(w.get(), m, m); }
};

TEST_F(RowOps, TransformsKeepTheProductAndTheInverses) {
  NodeBalance balance;
  for (Kind kind : {Kind::integers, Kind::rationals, Kind::mod7, Kind::mod65521, Kind::mod_big,
                    Kind::gf256, Kind::floating}) {
    KindScope scope(kind);
    std::mt19937_64 g(static_cast<std::uint64_t>(kind) * 977 + 1);
    for (std::int32_t m : {1, 3, 6}) {
      const Mat a0 =
          random_mat(g, m, m, 0.3, [kind](std::mt19937_64& r) { return random_entry(kind, r); });
      Dense a(a0), alpha(identity(m)), alphinv(identity(m)), beta(identity(m)), betinv(identity(m));
      sparseptr sp = to_sparse(a0);
      Value det = Value::number(BigRef(1));
      std::int32_t swaps = 0;
      const bool ints = kind != Kind::rationals;
      for (int step = 0; step < 40; ++step) {
        const auto i = static_cast<std::int32_t>(g() % static_cast<std::uint64_t>(m));
        const auto j = static_cast<std::int32_t>(g() % static_cast<std::uint64_t>(m));
        const int op = static_cast<int>(g() % 6);
        if (op == 0) {  // exchange rows i, j (all columns)
          swap_rows(det.cell(), a.w.get(), true, true, i, j, m);
          ++swaps;
          swap_rows(nullptr, alpha.w.get(), false, true, i, j, m);
          swap_cols(alphinv.w.get(), i, j, m);
          free_sparse(&sp, m, true);
          sp = to_sparse(a.mat());
        } else if (op == 1) {  // exchange columns i, j
          swap_cols(a.w.get(), i, j, m);
          swap_cols(beta.w.get(), i, j, m);
          swap_rows(nullptr, betinv.w.get(), false, true, i, j, m);
          free_sparse(&sp, m, true);
          sp = to_sparse(a.mat());
        } else if (op == 2 && i != j) {  // row i -= f * row j
          Value f = random_entry(kind, g), nf = negated(f);
          row_reduce(a.w.get(), f, m, i, j);
          row_reduce(alpha.w.get(), f, m, i, j);
          col_reduce(alphinv.w.get(), nf, m, j, i);
          if (is_modular(kind))
            sparse_mod_row_add(sp, nf->ncoef->lint, i + 1, j + 1);
          else
            sparse_row_add(sp, nf, i + 1, j + 1);
        } else if (op == 3 && i != j) {  // column i -= f * column j
          Value f = random_entry(kind, g), nf = negated(f);
          col_reduce(a.w.get(), f, m, i, j);
          col_reduce(beta.w.get(), f, m, i, j);
          row_reduce(betinv.w.get(), nf, m, j, i);
          if (is_modular(kind))
            sparse_mod_col_add(sp, nf->ncoef->lint, m, i + 1, j + 1);
          else
            sparse_col_add(sp, nf, m, i + 1, j + 1);
        } else if (op == 4) {  // column i times a unit c
          Value c = kind == Kind::integers || kind == Kind::floating ? Value::number(BigRef(-1))
                    : kind == Kind::rationals                        ? make_value("-3 / 2")
                                                                     : Value::number(BigRef(3));
          mult_col(a.w.get(), c, m, i);
          mult_col(beta.w.get(), c, m, i);
          divide_row(betinv.w.get(), c, m, i);
          if (is_modular(kind))
            sparse_mod_mult_col(sp, c->ncoef->lint, m, i + 1);
          else
            sparse_mult_col(sp, c, m, i + 1);
        } else if (op == 5 && ints) {  // negate row i
          int_arr_row_neg(a.w.get(), i, m, m);
          int_arr_row_neg(alpha.w.get(), i, m, m);
          int_arr_col_neg(alphinv.w.get(), i, m);
          sp_row_neg(i + 1, sp);
        }
        ASSERT_TRUE(same_mat(from_sparse(sp, m, m), a.mat()))
            << static_cast<int>(kind) << " step " << step << " op " << op << " " << i << " " << j;
        ASSERT_TRUE(sparse_ok(sp, m, m));
      }
      const Mat am = a.mat();
      EXPECT_TRUE(same_mat(schoolbook(schoolbook(alpha.mat(), a0), beta.mat()), am)) << m;
      EXPECT_TRUE(same_mat(schoolbook(alpha.mat(), alphinv.mat()), identity(m))) << m;
      EXPECT_TRUE(same_mat(schoolbook(beta.mat(), betinv.mat()), identity(m))) << m;
      // The accumulator changed sign with every row exchange.
      Value sign = Value::number(BigRef(1));
      if (swaps % 2 == 1) quoly_inplace(sign);
      EXPECT_EQ(value_text(det), value_text(sign));
      free_sparse(&sp, m, true);
    }
  }
}

// Integer row and column additions in words and through the value
// arithmetic give the same entries, limb for limb: factors and entries of
// one to three limbs, sums on both sides of 2^62, cancellations.
TEST_F(RowOps, SparseWordStepsAsByValues) {
  NodeBalance balance;
  std::mt19937_64 g(test_seed() + 41);
  auto entry = [&g]() {
    switch (g() % 5) {
      case 0:
      case 4: return BigRef(static_cast<std::int64_t>(g() % 7) - 3);
      case 1: return random_big_exact(g, 1);
      case 2: return random_big_exact(g, 2);
      default: return random_big_exact(g, 3);
    }
  };
  for (int round = 0; round < 6; ++round) {
    const std::int32_t m = 3 + round;
    const Mat a0 =
        random_mat(g, m, m, 0.4, [&entry](std::mt19937_64&) { return Value::number(entry()); });
    sparseptr sp[2] = {to_sparse(a0), to_sparse(a0)};
    for (int step = 0; step < 60; ++step) {
      const auto i = static_cast<std::int32_t>(g() % static_cast<std::uint64_t>(m)) + 1;
      auto j = static_cast<std::int32_t>(g() % static_cast<std::uint64_t>(m)) + 1;
      if (j == i) j = i % m + 1;
      const bool rows = g() % 2 == 0;
      // Every other step the factor cancels an entry where one divides the other.
      Value f = Value::number(entry());
      for (std::int32_t c = 1; c <= m && step % 2 == 0; ++c) {
        colm_ptr x = rows ? *sparse_row(sp[0], i) : nullptr,
                 y = rows ? *sparse_row(sp[0], j) : nullptr;
        if (rows) {
          while (x != nullptr && x->coord < c) x = x->next;
          while (y != nullptr && y->coord < c) y = y->next;
        } else {
          for (x = *sparse_row(sp[0], c); x != nullptr && x->coord < i; x = x->next) {
          }
          for (y = *sparse_row(sp[0], c); y != nullptr && y->coord < j; y = y->next) {
          }
        }
        if (x == nullptr || y == nullptr || x->coord != (rows ? c : i) ||
            y->coord != (rows ? c : j))
          continue;
        const BigRef xv = to_ref(x->val->ncoef), yv = to_ref(y->val->ncoef);
        if (xv % yv != BigRef(0)) continue;
        f = Value::number(-(xv / yv));
        break;
      }
      for (int k = 0; k < 2; ++k) {
        ScopedValue<std::int32_t> words(sparse_word_steps, k == 0 ? 1 : 0);
        if (rows)
          sparse_row_add(sp[k], f.get(), i, j);
        else
          sparse_col_add(sp[k], f.get(), m, i, j);
      }
      ASSERT_TRUE(sparse_ok(sp[0], m, m));
      for (std::int32_t r = 1; r <= m; ++r) {
        colm_ptr x = *sparse_row(sp[0], r), y = *sparse_row(sp[1], r);
        for (; x != nullptr && y != nullptr; x = x->next, y = y->next) {
          ASSERT_EQ(x->coord, y->coord);
          ASSERT_EQ(limbs_of(x->val->ncoef), limbs_of(y->val->ncoef))
              << "round " << round << " step " << step;
        }
        ASSERT_TRUE(x == nullptr && y == nullptr) << "row " << r << " step " << step;
      }
    }
    free_sparse(&sp[0], m, true);
    free_sparse(&sp[1], m, true);
  }
}

// ---- Determinants by the elimination steps -----------------------------------------------

std::int64_t gf_mult(std::int64_t a, std::int64_t b) {
  std::int64_t r = 0;
  for (; b != 0; b >>= 1) {
    if (b & 1) r ^= a;
    a <<= 1;
    if (a & 0x100) a ^= 0x11D;
  }
  return r;
}

// The Leibniz formula over Z (p 0), Z/p or GF(256) (p 256).
std::int64_t leibniz(const std::vector<std::int64_t>& e, std::int32_t m, std::int64_t p) {
  std::vector<int> perm(static_cast<std::size_t>(m));
  std::iota(perm.begin(), perm.end(), 0);
  std::int64_t total = 0;
  do {
    int inversions = 0;
    for (int x = 0; x < m; ++x)
      for (int y = x + 1; y < m; ++y) inversions += perm[x] > perm[y];
    std::int64_t t = 1;
    for (int r = 0; r < m; ++r) {
      const std::int64_t v = e[static_cast<std::size_t>(r + perm[r] * m)];
      t = p == 256 ? gf_mult(t, v)
          : p == 0 ? t * v
                   : static_cast<std::int64_t>((__int128)t * v % p);
    }
    if (p == 256)
      total ^= t;
    else if (inversions % 2 == 1)
      total = p == 0 ? total - t : (total - t + p) % p;
    else
      total = p == 0 ? total + t : (total + t) % p;
  } while (std::next_permutation(perm.begin(), perm.end()));
  return total;
}

TEST_F(RowOps, IntegerStepsAcrossTheLimbLengths) {
  // Row k -= f row q (row_red_arr) and column k -= f column q (col_red_arr)
  // on entries of one, two and more limbs near 2^28 and 2^56, so that
  // results keep, gain or lose a limb, and on zero entries, against
  // test-side integers.
  NodeBalance balance;
  std::mt19937_64 g(test_seed() + 41);
  auto pick = [&g] {
    const BigRef s(g() % 2 == 0 ? 1 : -1), d(std::int64_t(g() % 5));
    switch (g() % 6) {
      case 0: return BigRef(0);
      case 1: return s * BigRef(std::int64_t(1 + g() % 9));
      case 2: return s * (BigRef::pow2(28) - BigRef(2) + d);
      case 3: return s * (BigRef::pow2(56) - BigRef(2) + d);
      case 4: return s * BigRef(std::int64_t(g() >> 14));
      default: return s * BigRef::pow2(unsigned(60 + g() % 40)) + BigRef(std::int64_t(g() >> 1));
    }
  };
  const std::int32_t m = 5;
  for (int round = 0; round < test_iterations(300); ++round) {
    Mat a(m, m);
    for (Value& v : a.cell) v = Value::number(pick());
    const BigRef f = pick();
    const Num fn(f);
    const std::int32_t k = round % m, q = (k + 1 + std::int32_t(g() % (m - 1))) % m;
    const bool by_rows = round % 2 == 0;
    Dense d(a);
    if (by_rows)
      row_red_arr(d.w.get(), fn, m, k, q);
    else
      col_red_arr(d.w.get(), fn, m, k, q);
    const Mat out = d.mat();
    auto at = [](const Mat& x, std::int32_t i, std::int32_t j) {
      return x.get(i, j) == nullptr ? BigRef(0) : number_value(x.get(i, j)->ncoef);
    };
    for (std::int32_t i = 0; i < m; ++i)
      for (std::int32_t j = 0; j < m; ++j) {
        BigRef want = at(a, i, j);
        if ((by_rows ? i : j) == k) want = want - f * at(a, by_rows ? q : i, by_rows ? j : q);
        EXPECT_EQ(at(out, i, j), want) << "round " << round << " at " << i << "," << j;
      }
  }
}

TEST_F(RowOps, EliminationStepsGiveTheLeibnizDeterminant) {
  NodeBalance balance;
  std::mt19937_64 g(4242);
  for (std::int64_t p : {0LL, 7LL, 65521LL, 2147483629LL, 256LL, -1LL}) {  // -1: floating
    std::optional<ModulusScope> mod;
    std::optional<FloatingMode> fl;
    if (p > 0) mod.emplace(static_cast<std::int32_t>(p));
    if (p < 0) fl.emplace();
    for (std::int32_t m = 1; m <= 6; ++m) {
      for (int trial = 0; trial < 4; ++trial) {
        std::vector<std::int64_t> e(static_cast<std::size_t>(m * m));
        Mat a(m, m);
        for (std::int32_t k = 0; k < m * m; ++k) {
          std::int64_t v = static_cast<std::int64_t>(g() % 7) - 3;
          if (g() % 3 == 0) v = 0;  // pivots have to be searched for
          if (p > 0) v = p == 256 ? (v < 0 ? -v * 37 : v) : (v % p + p) % p;
          e[static_cast<std::size_t>(k)] = v;
          a.cell[static_cast<std::size_t>(k)] = Value::number(BigRef(v));
        }
        const std::int64_t want = leibniz(e, m, p > 0 ? p : 0);
        Dense d(a);
        Value n = Value::number(BigRef(1));
        bool zero = false;
        long double fl_sign = 1;
        for (std::int32_t i = 1; i <= m && !zero; ++i) {
          const std::int32_t c = i - 1;
          std::int32_t r = c;
          auto at = [&](std::int32_t x, std::int32_t y) { return d.w->stash[x + y * m]; };
          while (r < m && (p > 0   ? at(r, c)->ncoef->lint == 0
                           : p < 0 ? at(r, c)->ncoef->flote == 0
                                   : quoly_iszero(at(r, c))))
            ++r;
          if (r == m) {
            zero = true;
            break;
          }
          if (p > 0) {
            if (r != c) mod_swap_rows(n.cell(), d.w.get(), c, r, m);
            const std::int32_t piv = at(c, c)->ncoef->lint;
            n->ncoef->lint = modmult(static_cast<std::uint32_t>(n->ncoef->lint),
                                     static_cast<std::uint32_t>(piv));
            std::int32_t inv = 0;
            mod_inverse(piv, &inv);
            mod_zero_out(d.w.get(), i, m, inv);
          } else if (p < 0) {
            if (r != c) {
              fl_swap_rows(n.cell(), d.w.get(), c, r, m);
              fl_sign = -fl_sign;
            }
            if (trial % 2 == 0) {
              const long double piv = at(c, c)->ncoef->flote;
              n->ncoef->flote *= piv;
              fl_zero_out(d.w.get(), i, m, 1.0L / piv);
            } else {
              colptr ops = nullptr;
              numb_divide_thru(n.cell(), d.w.get(), false, i, m, &ops);
              simple_zero_out(d.w.get(), i, m, true);
            }
          } else {
            if (r != c) swap_rows(n.cell(), d.w.get(), true, false, c, r, m);
            Value piv;
            quoly_assign(at(c, c), piv.cell());
            fast_quoly_mult(n.cell(), piv.cell());
            divide_row(d.w.get(), piv, m, c);
            simple_zero_out(d.w.get(), i, m, false);
          }
        }
        if (p > 0)
          EXPECT_EQ(zero ? 0 : n->ncoef->lint, want) << p << " " << m;
        else if (p < 0)
          EXPECT_NEAR(zero ? 0.0 : static_cast<double>(n->ncoef->flote * fl_sign),
                      static_cast<double>(want), 1e-6)
              << m;
        else
          EXPECT_EQ(value_text(zero ? Value::number(BigRef(0)).get() : n.get()),
                    value_text(Value::number(BigRef(want))))
              << m;
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
