// Reduced row echelon form: small known answers over the rationals, and
// random matrices modulo a word prime checked by their invariants (alpha*A0
// = A, alpha*alphinv = I, the echelon shape, the rank of an independent
// elimination, the form unchanged under a left multiplication).
#include "core/error_codes.h"
#include "matrix/row_echelon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matrix/pivot_search.h"
#include "matrix/residue_elimination.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"

namespace tavrin::test {
namespace {

using M = std::vector<std::vector<std::int64_t>>;  // row-major
constexpr std::int64_t P = 32003;
constexpr std::int64_t kNotInteger = -(std::int64_t{1} << 62);  // a fraction read back

M from_mat(const Mat& m) {
  M h(m.rows, std::vector<std::int64_t>(m.cols, 0));
  for (std::int32_t r = 0; r < m.rows; ++r)
    for (std::int32_t c = 0; c < m.cols; ++c)
      if (m.get(r, c) != nullptr)
        h[r][c] = m.get(r, c)->numb ? number_value(m.get(r, c)->ncoef).to_int64() : kNotInteger;
  return h;
}

// The matrix as a named array (dense on one page of the store, or sparse) on one page of the store.
struct Dense {
  arrnode q{};
  storerec page{};
  ScopedValue<storeptr> first{arp[0], &page};
  std::vector<Value> vals;
  std::int32_t rows, cols;
  explicit Dense(const M& a, bool sparse)
      : rows(std::int32_t(a.size())), cols(std::int32_t(a[0].size())) {
    q.rows = rows;
    q.start = 0;
    q.stop = rows * cols - 1;
    set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
    vals.resize(std::size_t(rows) * cols);
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < cols; ++c) {
        vals[r + c * rows] = Value::number(BigRef(a[r][c]));
        page.cell[r + c * rows] = vals[r + c * rows].get();
      }
    if (sparse) {
      Mat m(rows, cols);
      for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c)
          if (a[r][c] != 0) m.at(r, c) = Value::number(BigRef(a[r][c]));
      q.spar = to_sparse(m);
    }
  }
  ~Dense() {
    for (std::int32_t i = 0; i < rows * cols; ++i) *vals[i].cell() = page.cell[i];
    free_sparse(&q.spar, rows, true);
    special_free(&q.sizearr);
  }
  M read() const {
    M h(rows, std::vector<std::int64_t>(cols));
    if (q.spar != nullptr) {
      EXPECT_TRUE(sparse_ok(q.spar, rows, cols));
      return from_mat(from_sparse(q.spar, rows, cols));
    }
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < cols; ++c) {
        quoly v = page.cell[r + c * rows];
        h[r][c] = v->numb ? number_value(v->ncoef).to_int64() : kNotInteger;
      }
    return h;
  }
};

M read_work(workptr w, std::int32_t n) {
  M h(n, std::vector<std::int64_t>(n));
  for (std::int32_t r = 0; r < n; ++r)
    for (std::int32_t c = 0; c < n; ++c) {
      quoly v = w->stash[r + c * n];
      h[r][c] = v != nullptr && v->numb ? number_value(v->ncoef).to_int64() : kNotInteger;
    }
  return h;
}

struct Result {
  M a, alpha, alphinv;
  std::int32_t rank;
};

Result rref(const M& a, bool sparse = false) {
  Dense d(a, sparse);
  const bool want[6] = {true, true, false, false, false, false};
  std::unique_ptr<workarray> w[2] = {fresh_work(), fresh_work()};
  sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
  Value n = Value::number(BigRef(0));
  red_row_ech(n.cell(), &d.q, want, w[0].get(), w[1].get(), aux);
  Result res{d.read(), {}, {}, std::int32_t(number_value(n->ncoef).to_int64())};
  if (sparse) {
    res.alpha = from_mat(from_sparse(aux[0], d.rows, d.rows));
    res.alphinv = from_mat(from_sparse(aux[1], d.rows, d.rows));
    free_sparse(&aux[0], d.rows, true);
    free_sparse(&aux[1], d.rows, true);
    return res;
  }
  res.alpha = read_work(w[0].get(), d.rows);
  res.alphinv = read_work(w[1].get(), d.rows);
  for (auto& wk : w)
    for (std::int32_t i = 0; i < d.rows * d.rows; ++i) free_quoly(&wk->stash[i]);
  return res;
}

std::int64_t md(std::int64_t x, std::int64_t m) { return ((x % m) + m) % m; }
M mul(const M& a, const M& b, std::int64_t m) {
  M p(a.size(), std::vector<std::int64_t>(b[0].size(), 0));
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t k = 0; k < b.size(); ++k)
      for (std::size_t j = 0; j < b[0].size(); ++j) p[i][j] = md(p[i][j] + a[i][k] * b[k][j], m);
  return p;
}
M reduce(M a, std::int64_t m) {
  for (auto& row : a)
    for (auto& x : row) x = md(x, m);
  return a;
}
M ident(std::size_t n) {
  M m(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i) m[i][i] = 1;
  return m;
}
// Rank of the first cols columns by plain elimination modulo m.
std::int32_t rank_mod(M a, std::size_t cols, std::int64_t m) {
  auto inv = [m](std::int64_t x) {
    std::int64_t r = 1, e = m - 2;
    for (x = md(x, m); e > 0; e >>= 1, x = x * x % m)
      if (e & 1) r = r * x % m;
    return r;
  };
  std::size_t r = 0;
  for (std::size_t c = 0; c < cols && r < a.size(); ++c) {
    std::size_t p = r;
    while (p < a.size() && md(a[p][c], m) == 0) ++p;
    if (p == a.size()) continue;
    std::swap(a[p], a[r]);
    const std::int64_t iv = inv(a[r][c]);
    for (std::size_t i = r + 1; i < a.size(); ++i) {
      const std::int64_t f = md(a[i][c], m) * iv % m;
      for (std::size_t j = 0; j < a[0].size(); ++j) a[i][j] = md(a[i][j] - f * a[r][j], m);
    }
    ++r;
  }
  return std::int32_t(r);
}

TEST(RowEchelon, KnownAnswers) {
  ArithModeGuard rational;
  modularmode = lintmode = flotemode = finf = false;
  for (const bool sp : {false, true}) {
    SCOPED_TRACE(sp ? "sparse" : "dense");
    // The last column is never a pivot column.
    Result r = rref({{1, 2, 3}, {0, 0, 5}}, sp);
    EXPECT_EQ(r.rank, 1);
    EXPECT_EQ(r.a, (M{{1, 2, 3}, {0, 0, 5}}));
    // (A | b) with A unimodular: (I | x), alpha = A^-1, alphinv = A.
    const M u = {{1, 2, 0}, {0, 1, 3}, {1, 2, 1}};  // det 1
    const std::vector<std::int64_t> x = {3, -1, 2};
    M ab(3, std::vector<std::int64_t>(4));
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) ab[i][j] = u[i][j];
      ab[i][3] = u[i][0] * x[0] + u[i][1] * x[1] + u[i][2] * x[2];
    }
    r = rref(ab, sp);
    EXPECT_EQ(r.rank, 3);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) EXPECT_EQ(r.a[i][j], i == j ? 1 : 0);
      EXPECT_EQ(r.a[i][3], x[i]);
    }
    EXPECT_EQ(r.alphinv, u);
    EXPECT_EQ(mul(r.alpha, u, 1 << 30), reduce(ident(3), 1 << 30));
    // A square invertible matrix is not brought to the identity.
    r = rref({{2, 0}, {0, 3}}, sp);
    EXPECT_EQ(r.rank, 1);
    // Zero matrix: rank 0, transforms the identity.
    r = rref({{0, 0, 0}, {0, 0, 0}}, sp);
    EXPECT_EQ(r.rank, 0);
    EXPECT_EQ(r.alpha, ident(2));
    EXPECT_EQ(r.alphinv, ident(2));
  }
}

TEST(RowEchelon, RandomByInvariantsModP) {
  ModulusScope ring{std::int32_t(P)};
  std::mt19937_64 rng(51);
  for (int round = 0; round < 60; ++round) {
    const std::size_t rows = 1 + rng() % 8, cols = 1 + rng() % 9;
    M a(rows, std::vector<std::int64_t>(cols));
    if (round % 3 == 0) {  // rank-deficient: a product of thin factors
      const std::size_t k = 1 + rng() % 2;
      M f(rows, std::vector<std::int64_t>(k)), g(k, std::vector<std::int64_t>(cols));
      for (auto& row : f)
        for (auto& v : row) v = std::int64_t(rng() % 7);
      for (auto& row : g)
        for (auto& v : row) v = std::int64_t(rng() % 7);
      a = mul(f, g, P);
    } else {
      for (auto& row : a)
        for (auto& v : row) v = rng() % 3 == 0 ? 0 : std::int64_t(rng() % P);
    }
    const bool sp = round % 2 == 1;
    const Result r = rref(a, sp);
    SCOPED_TRACE(testing::Message() << rows << "x" << cols << " round " << round);
    EXPECT_EQ(mul(r.alpha, a, P), r.a);
    EXPECT_EQ(mul(r.alpha, r.alphinv, P), ident(rows));
    EXPECT_EQ(r.rank, cols < 2 ? 0 : rank_mod(a, cols - 1, P));
    // Echelon shape: pivots 1 in rising columns, the rest of their columns 0.
    std::size_t last = 0;
    for (std::int32_t i = 0; i < r.rank; ++i) {
      std::size_t c = 0;
      while (c < cols && r.a[i][c] == 0) ++c;
      ASSERT_LT(c, cols - 1);
      EXPECT_TRUE(i == 0 || c > last);
      last = c;
      EXPECT_EQ(r.a[i][c], 1);
      for (std::size_t i2 = 0; i2 < rows; ++i2)
        if (std::int32_t(i2) != i) {
          EXPECT_EQ(r.a[i2][c], 0);
        }
    }
    // The same form for U*A with U invertible (first cols - 1 columns).
    M u = ident(rows);
    for (std::size_t i = 0; i < rows; ++i)
      for (std::size_t j = i + 1; j < rows; ++j) u[i][j] = std::int64_t(rng() % P);
    M ua = mul(u, a, P);
    const Result r2 = rref(ua, !sp);
    EXPECT_EQ(r2.rank, r.rank);
    for (std::int32_t i = 0; i < r.rank; ++i)
      for (std::size_t c = 0; c + 1 < cols; ++c) EXPECT_EQ(r2.a[i][c], r.a[i][c]);
  }
}

// ---- Column, row and diagonal reduction; fraction-free LU -------------------------------------
enum class Routine { colreduce, pseudet, normalize, rowreduce, fflu, ffluc };

struct Reduced {
  M a;
  M t[6];  // the transforms (or pivots, lower) as the routine numbers them
  std::int32_t rank;
};

Reduced reduce_with(Routine which, const M& a, std::int32_t cut = 268435456) {
  allocate_work_areas();  // the pivot tables of the sparse searches
  const bool sparse = which == Routine::rowreduce;
  Dense d(a, sparse);
  const std::int32_t r = d.rows, c = d.cols;
  const bool want[6] = {true, true, true, true, true, true};
  // one set of work arrays for every call (cells freed after each)
  static std::unique_ptr<workarray> w[6] = {fresh_work(), fresh_work(), fresh_work(),
                                            fresh_work(), fresh_work(), fresh_work()};
  sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
  Value n = Value::number(BigRef(0));
  switch (which) {
    case Routine::colreduce:
    case Routine::pseudet:
    case Routine::rowreduce:
      colreduce(n.cell(), &d.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get(), aux,
                which == Routine::pseudet, cut);
      break;
    case Routine::normalize:
      normalize(n.cell(), &d.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get());
      break;
    case Routine::fflu:
    case Routine::ffluc:
      fract_free_lu(which == Routine::ffluc, n.cell(), &d.q, want, w[0].get(), w[1].get(),
                    w[2].get(), w[3].get(), w[4].get(), w[5].get());
      break;
  }
  Reduced res{d.read(), {}, std::int32_t(number_value(n->ncoef).to_int64())};
  const bool lu = which == Routine::fflu || which == Routine::ffluc;
  const std::int32_t size[6] = {r, c, r, c, r, c};
  const std::int32_t lu_size[6] = {r, r, r, r, c, c};
  for (int k = 0; k < 6; ++k) {
    const std::int32_t sz = lu ? lu_size[k] : size[k];
    if (!lu && k >= 4) continue;
    if (sparse) {
      res.t[k] = from_mat(from_sparse(aux[k], sz, sz));
      free_sparse(&aux[k], sz, true);
    } else if (lu && k == 0) {
      M piv(1, std::vector<std::int64_t>(sz));
      for (std::int32_t i = 0; i < sz; ++i)
        piv[0][i] = number_value(w[0]->stash[i]->ncoef).to_int64();
      res.t[0] = piv;
    } else if (which == Routine::pseudet && k == 0) {
      M pos(2, std::vector<std::int64_t>(res.rank));
      for (std::int32_t i = 0; i < 2 * res.rank; ++i)
        pos[i % 2][i / 2] = number_value(w[0]->stash[i]->ncoef).to_int64();
      res.t[0] = pos;
    } else {
      res.t[k] = read_work(w[k].get(), sz);
    }
  }
  for (int k = 0; k < 6; ++k)
    for (std::int32_t i = 0; i < 1000 && i < std::max(r, c) * std::max(r, c); ++i)
      free_quoly(&w[k]->stash[i]);
  return res;
}

TEST(RowEchelon, ReductionKnownAnswers) {
  ArithModeGuard rational;
  modularmode = lintmode = flotemode = finf = false;
  // Pivot positions of [[0,1],[1,0]] in either index origin.
  for (const std::int32_t origin : {0, 1}) {
    ScopedValue<std::int32_t> o{addresser, origin};
    const Reduced r = reduce_with(Routine::pseudet, {{0, 1}, {1, 0}});
    EXPECT_EQ(r.rank, 2);
    EXPECT_EQ(r.a[0][1], 0);
    EXPECT_EQ(r.a[1][0], 0);
    // each (row, column) pair is a position of a 1 in the given matrix
    for (int k = 0; k < 2; ++k) EXPECT_EQ(r.t[0][0][k] + r.t[0][1][k], 2 * origin + 1);
    EXPECT_NE(r.t[0][0][0], r.t[0][0][1]);
  }
  // FFLU of [[a,b],[c,d]]: pivots (a, ad - bc), lower [[1,0],[c,1]], U [[a,b],[0,ad-bc]].
  Reduced f = reduce_with(Routine::fflu, {{2, 3}, {4, 5}});
  EXPECT_EQ(f.rank, 2);
  EXPECT_EQ(f.t[0], (M{{2, -2}}));
  EXPECT_EQ(f.t[1], (M{{1, 0}, {4, 1}}));
  EXPECT_EQ(f.a, (M{{2, 3}, {0, -2}}));
  // A column zero from row 1 down is passed over and put back.
  f = reduce_with(Routine::fflu, {{1, 2, 3}, {0, 0, 4}, {0, 0, 5}});
  EXPECT_EQ(f.rank, 2);
  EXPECT_EQ(f.a, (M{{1, 2, 3}, {0, 0, 4}, {0, 0, 0}}));
  EXPECT_EQ(f.t[0], (M{{1, 4, 1}}));
  // A step limit of 1 stops a full-rank column reduction after one pivot.
  EXPECT_EQ(reduce_with(Routine::colreduce, {{1, 2}, {3, 4}}, 1).rank, 1);
  // A sparse matrix of 50,001 rows: error 375, nothing changed.
  {
    allocate_work_areas();
    arrnode big{};
    big.rows = max_pivot_rows + 1;
    set_entry_count(&big.sizearr, std::int64_t{big.rows} * 3);
    sparse_init(&big.spar, big.rows);
    const sparseptr before = big.spar;
    const bool want[6] = {true, true, true, true, false, false};
    sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
    Value n = Value::number(BigRef(0));
    bool unwound = false;
    const std::string out = output_of(
        [&] { sparse_rowreduce(n.cell(), &big, false, want, nullptr, aux, 268435456); }, &unwound);
    EXPECT_TRUE(unwound && reports(out, sparse_matrix_too_large_error)) << out;
    EXPECT_EQ(big.spar, before);
    for (sparseptr a : aux) EXPECT_EQ(a, nullptr);
    free_sparse(&big.spar, big.rows, true);
    special_free(&big.sizearr);
  }
  // Zero matrices: rank 0 and identities.
  for (const Routine w : {Routine::colreduce, Routine::normalize, Routine::rowreduce}) {
    const Reduced z = reduce_with(w, {{0, 0, 0}, {0, 0, 0}});
    EXPECT_EQ(z.rank, 0);
    EXPECT_EQ(z.t[0], ident(2));
    EXPECT_EQ(z.t[1], ident(3));
  }
}

TEST(RowEchelon, DenominatorLcm) {
  ArithModeGuard rational;
  modularmode = lintmode = flotemode = finf = false;
  PolyVars vars{"x"};
  struct Case {
    std::vector<std::pair<std::string, std::string>> entries;
    std::int64_t lcm;
  };
  const Case cases[] = {
      {{{"1", "6"}, {"1", "4"}, {"1", "5*x"}}, 60},
      {{{"1", "6"}, {"1", "4"}, {"1", "5*x"}, {"1", "x + 1"}, {"7", ""}}, 60},
      {{{"3", ""}, {"x", "x + 1"}}, 1},
      {{{"5", "-9*x^2"}, {"1", "6"}}, 18},
  };
  for (const Case& c : cases) {
    // the entries as one dense row on a page of the store, and as a sparse row
    storerec page{};
    ScopedValue<storeptr> first{arp[0], &page};
    std::vector<Value> vals;
    Mat m(1, std::int32_t(c.entries.size()));
    for (std::size_t k = 0; k < c.entries.size(); ++k) {
      vals.push_back(Value::ratfun(c.entries[k].first, c.entries[k].second));
      page.cell[k] = vals.back().get();
      m.at(0, std::int32_t(k)) = Value::ratfun(c.entries[k].first, c.entries[k].second);
    }
    sparseptr sp = to_sparse(m);
    Value n = Value::number(BigRef(0));
    findlcm(n.cell(), nullptr, 0, 1, 1, std::int32_t(c.entries.size()));
    EXPECT_EQ(number_value(n->ncoef).to_int64(), c.lcm);
    findlcm(n.cell(), sp, 0, 1, 1, std::int32_t(c.entries.size()));
    EXPECT_EQ(number_value(n->ncoef).to_int64(), c.lcm);
    free_sparse(&sp, 1, true);
  }
}

// FFLU of a 3 x 3 polynomial matrix with 1 on the diagonal (no exchange):
// the last pivot is the determinant (expanded test-side), and row i of
// lower * D * U is p_0...p_(i-1) times row i of the matrix.
TEST(RowEchelon, PolynomialFractionFreeLU) {
  ArithModeGuard rational;
  modularmode = lintmode = flotemode = finf = false;
  PolyVars vars{"x", "y"};
  const char* e[3][3] = {
      {"1", "x + y", "x^2 - 3"}, {"2*x*y - 1", "1", "y^2 + x"}, {"x - 5", "3*y", "1"}};
  auto v = [&](int i, int j) { return Value::ratfun(e[i][j]); };
  auto mul = [](quoly a, quoly b) {
    Value p;
    quoly_mult(a, b, p.cell());
    return p;
  };
  auto sub = [](Value a, quoly b) {
    quoly t = nullptr;
    quoly_assign(b, &t);
    best_quoly_sub(a.cell(), t);
    return a;
  };
  auto add = [](Value a, quoly b) {
    quoly t = nullptr;
    quoly_assign(b, &t);
    best_quoly_add(a.cell(), t);
    return a;
  };
  auto minor = [&](int r0, int r1, int c0, int c1) {
    return sub(mul(v(r0, c0), v(r1, c1)), mul(v(r0, c1), v(r1, c0)));
  };
  const Value det = add(sub(mul(v(0, 0), minor(1, 2, 1, 2)), mul(v(0, 1), minor(1, 2, 0, 2))),
                        mul(v(0, 2), minor(1, 2, 0, 1)));
  storerec page{};
  ScopedValue<storeptr> first{arp[0], &page};
  arrnode q{};
  q.rows = 3;
  q.stop = 8;
  set_entry_count(&q.sizearr, 9);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      quoly t = nullptr;
      quoly_assign(v(i, j), &t);
      page.cell[i + 3 * j] = t;
    }
  const bool want[6] = {true, true, true, false, false, false};
  static std::unique_ptr<workarray> w[3] = {fresh_work(), fresh_work(), fresh_work()};
  Value n = Value::number(BigRef(0));
  fract_free_lu(false, n.cell(), &q, want, w[0].get(), w[1].get(), w[2].get(), nullptr, nullptr,
                nullptr);
  EXPECT_TRUE(quoly_equal(n, Value::number(BigRef(3))));
  // alpha is the row permutation: row i of alpha*A is row src[i] of A
  int src[3];
  for (int i = 0; i < 3; ++i)
    for (int k = 0; k < 3; ++k)
      if (quoly_equal(w[2]->stash[i + 3 * k], Value::number(BigRef(1)))) src[i] = k;
  const int inversions = (src[0] > src[1]) + (src[0] > src[2]) + (src[1] > src[2]);
  Value signed_det = Value::number(BigRef(0));
  signed_det =
      inversions % 2 == 0 ? add(std::move(signed_det), det) : sub(std::move(signed_det), det);
  EXPECT_TRUE(quoly_equal(w[0]->stash[2], signed_det));
  // D = diag(1, 1, p_0): row i of L*D*U = p_0...p_(i-1) row i of alpha*A
  for (int i = 1; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      Value lhs = mul(w[1]->stash[i], page.cell[0 + 3 * j]);
      lhs = add(std::move(lhs), mul(w[1]->stash[i + 3], page.cell[1 + 3 * j]));
      if (i == 2) lhs = add(std::move(lhs), mul(w[0]->stash[0], page.cell[2 + 3 * j]));
      Value rhs = mul(w[0]->stash[0], v(src[i], j));
      if (i == 2) rhs = mul(rhs, w[0]->stash[1]);
      EXPECT_TRUE(quoly_equal(lhs, rhs)) << i << "," << j;
    }
  for (int k = 0; k < 9; ++k) {
    free_quoly(&page.cell[k]);
    free_quoly(&w[1]->stash[k]);
    free_quoly(&w[2]->stash[k]);
  }
  for (int k = 0; k < 3; ++k) free_quoly(&w[0]->stash[k]);
  special_free(&q.sizearr);
}

TEST(RowEchelon, ReductionsByInvariantsModP) {
  ModulusScope ring{std::int32_t(P)};
  std::mt19937_64 rng(5151);
  for (int round = 0; round < 40; ++round) {
    const std::size_t rows = 1 + rng() % 8, cols = 1 + rng() % 8;
    M a(rows, std::vector<std::int64_t>(cols));
    if (round % 3 == 0) {
      M f(rows, std::vector<std::int64_t>(1 + rng() % 2)),
          g(f[0].size(), std::vector<std::int64_t>(cols));
      for (auto& row : f)
        for (auto& v : row) v = std::int64_t(rng() % 5);
      for (auto& row : g)
        for (auto& v : row) v = std::int64_t(rng() % 5);
      a = mul(f, g, P);
    } else {
      for (auto& row : a)
        for (auto& v : row) v = rng() % 3 == 0 ? 0 : std::int64_t(rng() % P);
    }
    const std::int32_t rank = rank_mod(a, cols, P);
    SCOPED_TRACE(testing::Message() << rows << "x" << cols << " round " << round);
    for (const Routine w : {Routine::colreduce, Routine::normalize, Routine::rowreduce}) {
      const Reduced r = reduce_with(w, a);
      EXPECT_EQ(r.rank, rank);
      EXPECT_EQ(mul(mul(r.t[0], a, P), r.t[1], P), r.a);
      EXPECT_EQ(mul(r.t[0], r.t[2], P), ident(rows));
      EXPECT_EQ(mul(r.t[1], r.t[3], P), ident(cols));
      for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < cols; ++j) {
          const bool off = w == Routine::normalize   ? i != j
                           : w == Routine::colreduce ? j > i
                                                     : i > j;
          if (off) {
            EXPECT_EQ(r.a[i][j], 0) << i << "," << j;
          }
        }
    }
    for (const Routine w : {Routine::fflu, Routine::ffluc}) {
      const Reduced r = reduce_with(w, a);
      EXPECT_EQ(r.rank, rank);
      EXPECT_EQ(mul(r.t[2], r.t[3], P), ident(rows));
      EXPECT_EQ(mul(r.t[4], r.t[5], P), ident(cols));
      if (w == Routine::fflu || r.rank < std::int32_t(std::min(rows, cols))) continue;
      // row i of lower * D * U = p_0 ... p_(i-1) * row i of alpha * A * beta
      const M ap = mul(mul(r.t[2], a, P), r.t[4], P);
      M d = ident(rows);
      for (std::size_t k = 2; k < rows; ++k) d[k][k] = md(d[k - 1][k - 1] * r.t[0][0][k - 2], P);
      const M ldu = mul(mul(r.t[1], d, P), r.a, P);
      if (rows == cols) {  // the last pivot is the determinant of alpha*A*beta
        M e = ap;
        std::int64_t det = 1;
        for (std::size_t k = 0; k < rows && det != 0; ++k) {
          std::size_t p = k;
          while (p < rows && e[p][k] == 0) ++p;
          if (p == rows) {
            det = 0;
            break;
          }
          if (p != k) std::swap(e[p], e[k]), det = md(-det, P);
          det = md(det * e[k][k], P);
          std::int64_t iv = 1;
          for (std::int64_t x = e[k][k], ex = P - 2; ex > 0; ex >>= 1, x = x * x % P)
            if (ex & 1) iv = iv * x % P;
          for (std::size_t i = k + 1; i < rows; ++i) {
            const std::int64_t f = e[i][k] * iv % P;
            for (std::size_t j = k; j < rows; ++j) e[i][j] = md(e[i][j] - f * e[k][j], P);
          }
        }
        EXPECT_EQ(r.t[0][0][rows - 1], det);
      }
      std::int64_t prod = 1;
      for (std::size_t i = 0; i < rows; ++i) {
        for (std::size_t j = 0; j < cols; ++j) EXPECT_EQ(ldu[i][j], md(prod * ap[i][j], P)) << i;
        if (i < cols) prod = md(prod * r.t[0][0][i], P);
      }
    }
  }
}

// The modular sparse row reduction works on residues in a copy's nodes; the
// row reduction over values with the same pivot rule must give the same
// matrix, transforms, rank and pivot positions, over Z/32003, Z/7 and
// GF(256), with rows enough for a second frame now and then.
TEST(RowEchelon, ModularRowReduceMatchesValueForm) {
  allocate_work_areas();
  std::mt19937_64 rng(2051);
  for (const std::int32_t m : {32003, 7, 256}) {
    ModulusScope ring{m};
    for (int round = 0; round < 45; ++round) {
      const bool tall = round % 15 == 14;
      const std::int32_t rows =
          tall ? 2050 + std::int32_t(rng() % 40) : 1 + std::int32_t(rng() % 12);
      const std::int32_t cols = 1 + std::int32_t(rng() % 12);
      const bool pseudo = round % 4 == 1;
      Mat a(rows, cols);
      for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c)
          if (rng() % (tall ? 6 : 2) == 0) {
            const auto v = std::int64_t(1 + rng() % (m - 1));
            a.at(r, c) = Value::number(BigRef(v));
          }
      struct Out {
        Mat a, t[4];
        std::vector<std::int64_t> pos;
        std::int32_t rank;
      } out[2];
      for (int way = 0; way < 2; ++way) {
        arrnode q{};
        q.rows = rows;
        set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
        q.spar = to_sparse(a);
        const bool want[6] = {true, true, true, true, false, false};
        static std::unique_ptr<workarray> w = fresh_work();
        sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
        Value n = Value::number(BigRef(0));
        if (way == 0)
          sparse_rowreduce(n.cell(), &q, pseudo, want, w.get(), aux, 268435456);
        else
          sparse_rowreduce_values(n.cell(), &q, pseudo, want, w.get(), aux, 268435456, true);
        Out& o = out[way];
        o.rank = std::int32_t(number_value(n->ncoef).to_int64());
        EXPECT_TRUE(sparse_ok(q.spar, rows, cols));
        o.a = from_sparse(q.spar, rows, cols);
        const std::int32_t size[4] = {rows, cols, rows, cols};
        for (int k = 0; k < 4; ++k)
          if (aux[k] != nullptr) {
            o.t[k] = from_sparse(aux[k], size[k], size[k]);
            free_sparse(&aux[k], size[k], true);
          }
        // The rank is a value of the ring (its residue): the positions are
        // the cells the reduction filled.
        if (pseudo)
          for (std::int32_t i = 0; i < 2 * std::min(rows, cols); ++i) {
            if (w->stash[i] == nullptr) continue;
            o.pos.push_back(number_value(w->stash[i]->ncoef).to_int64());
            free_quoly(&w->stash[i]);
          }
        free_sparse(&q.spar, rows, true);
        special_free(&q.sizearr);
      }
      SCOPED_TRACE(testing::Message() << "mod " << m << ", " << rows << "x" << cols << " round "
                                      << round << (pseudo ? " pseudo" : ""));
      EXPECT_EQ(out[0].rank, out[1].rank);
      EXPECT_TRUE(same_mat(out[0].a, out[1].a));
      for (int k = 0; k < 4; ++k)
        if (!(pseudo && k == 0)) {
          EXPECT_TRUE(same_mat(out[0].t[k], out[1].t[k])) << k;
        }
      EXPECT_EQ(out[0].pos, out[1].pos);
      if (!tall) continue;
      // The reduced row echelon form reaches the rows of the second frame too:
      // (A | 0) has the row reduction's rank, and at full column rank the
      // form is the identity on top and nothing else.
      Mat b(rows, cols + 1);
      for (std::int32_t i = 0; i < rows * cols; ++i)
        if (a.cell[i].get() != nullptr) quoly_assign(a.cell[i].get(), b.cell[i].cell());
      arrnode q{};
      q.rows = rows;
      set_entry_count(&q.sizearr, std::int64_t{rows} * (cols + 1));
      q.spar = to_sparse(b);
      Value n = Value::number(BigRef(0));
      red_row_ech(n.cell(), &q, nullptr, nullptr, nullptr, nullptr);
      const Mat r = from_sparse(q.spar, rows, cols + 1);
      EXPECT_EQ(number_value(n->ncoef).to_int64(), out[1].rank);
      std::int32_t nonzero = 0;
      for (const Value& v : r.cell) nonzero += v.get() != nullptr && !quoly_iszero(v.get());
      if (out[1].rank == cols) {
        EXPECT_EQ(nonzero, cols);  // the identity on top, nothing below
      }
      free_sparse(&q.spar, rows, true);
      special_free(&q.sizearr);
    }
  }
}

// ---- One family over Z/7, GF(256), Z[x, y] and Q(x, y) ----------------------------------------
// A matrix of values as a named array on one page of the store (dense) or
// as sparse rows.
struct PageArray {
  arrnode q{};
  storerec page{};
  ScopedValue<storeptr> first{arp[0], &page};
  std::int32_t rows, cols;
  PageArray(const Mat& m, bool sparse) : rows(m.rows), cols(m.cols) {
    q.rows = rows;
    q.stop = rows * cols - 1;
    set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
    for (std::int32_t i = 0; i < rows * cols; ++i)
      if (m.cell[i].get() != nullptr)
        quoly_assign(m.cell[i].get(), &page.cell[i]);
      else
        quoly_set(0, &page.cell[i]);
    if (sparse) q.spar = to_sparse(m);
  }
  Mat read() const {
    if (q.spar != nullptr) return from_sparse(q.spar, rows, cols);
    Mat m(rows, cols);
    for (std::int32_t i = 0; i < rows * cols; ++i) quoly_assign(page.cell[i], m.cell[i].cell());
    return m;
  }
  ~PageArray() {
    for (std::int32_t i = 0; i < rows * cols; ++i) free_quoly(&page.cell[i]);
    free_sparse(&q.spar, rows, true);
    special_free(&q.sizearr);
  }
};

Mat identity_mat(std::int32_t n) {
  Mat m(n, n);
  for (std::int32_t i = 0; i < n; ++i) m.at(i, i) = Value::number(BigRef(1));
  return m;
}

// For random matrices A, full rank and planted rank-deficient: the reduced
// row echelon form of (A | 0) (dense) equals that of (U*A | 0) (sparse), U
// unit upper triangular; alpha*(A | 0) is the form and alpha*alphinv = I;
// fraction-free LU and both row reductions find the same rank; for a
// non-singular square A, row i of lower*D*U is p_0...p_(i-1) times row i of
// alpha*A, and the last pivot is the router's determinant times the sign of
// the row permutation alpha.
class RowEchelonRings : public MatrixTest {  // the router's pool, zero constant and primes
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
  }
};

TEST_F(RowEchelonRings, AcrossRingsByInvariants) {
  allocate_work_areas();
  std::mt19937_64 rng(4051);
  for (const std::int32_t m : {7, 256, 0, -1}) {  // 0: Z[x, y], -1: Q(x, y)
    ArithModeGuard rational;
    modularmode = lintmode = flotemode = finf = false;
    std::unique_ptr<ModulusScope> ring;
    if (m > 0) ring = std::make_unique<ModulusScope>(m);
    PolyVars vars{"x", "y"};
    const ValueMaker entry = [m](std::mt19937_64& g) {
      if (m > 0) return Value::number(BigRef(std::int64_t(g() % m)));
      auto c = [&g](const char* x) {
        const std::int64_t v = std::int64_t(g() % 7) - 3;
        return (v < 0 ? " - " : " + ") + std::to_string(v < 0 ? -v : v) + x;
      };
      if (g() % 4 == 0) return Value::number(BigRef(std::int64_t(g() % 19) - 9));
      const std::string num = "1" + c("") + c("*x") + c("*y");
      if (m == 0 || g() % 2 == 0) return Value::ratfun(num);
      return Value::ratfun(num, g() % 2 ? "x + " + std::to_string(1 + g() % 3) : "y - 2");
    };
    for (int round = 0; round < 15; ++round) {
      const auto rows = std::int32_t(1 + rng() % 4);
      const auto cols =
          m == 0 && round % 2 == 0 ? rows + std::int32_t(rng() % 2) : std::int32_t(1 + rng() % 4);
      Mat a = round % 3 == 0 ? schoolbook(random_mat(rng, rows, 1, 0.2, entry),
                                          random_mat(rng, 1, cols, 0.2, entry))
                             : random_mat(rng, rows, cols, 0.25, entry);
      SCOPED_TRACE(testing::Message()
                   << "ring " << m << ", " << rows << "x" << cols << " round " << round);
      Mat u = identity_mat(rows);
      for (std::int32_t i = 0; i < rows; ++i)
        for (std::int32_t j = i + 1; j < rows; ++j) u.at(i, j) = entry(rng);
      const Mat ua = schoolbook(u, a);
      const bool want[6] = {true, true, true, true, true, true};
      std::unique_ptr<workarray> w[6] = {fresh_work(), fresh_work(), fresh_work(),
                                         fresh_work(), fresh_work(), fresh_work()};
      sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
      std::int32_t rank[3];
      Mat form[3];
      // the zero column keeps every column of A eligible; k = 2: dense with no
      // transform, by fraction-free elimination when the rank is the row count
      for (int k = 0; k < 3; ++k) {
        Mat b(rows, cols + 1);
        for (std::int32_t i = 0; i < rows; ++i)
          for (std::int32_t j = 0; j < cols; ++j)
            if ((k == 0 ? a : ua).get(i, j) != nullptr)
              quoly_assign((k == 0 ? a : ua).get(i, j), b.at(i, j).cell());
        PageArray arr(b, k == 1);
        Value n = Value::number(BigRef(0));
        const bool none[6] = {};
        red_row_ech(n.cell(), &arr.q, k == 2 ? none : want, w[0].get(), w[1].get(), aux);
        rank[k] = std::int32_t(number_value(n->ncoef).to_int64());
        form[k] = arr.read();
        if (k == 2) continue;
        if (k == 1) {
          for (int t = 0; t < 2; ++t) free_sparse(&aux[t], rows, true);
          continue;
        }
        const Mat alpha = from_dense(w[0].get(), rows, rows);
        EXPECT_TRUE(same_mat(schoolbook(alpha, b), form[0]));
        EXPECT_TRUE(
            same_mat(schoolbook(alpha, from_dense(w[1].get(), rows, rows)), identity_mat(rows)));
        for (int t = 0; t < 2; ++t) free_cells(w[t].get(), rows * rows);
      }
      EXPECT_EQ(rank[0], rank[1]);
      EXPECT_EQ(rank[0], rank[2]);
      EXPECT_TRUE(same_mat(form[0], form[1]));
      EXPECT_TRUE(same_mat(form[0], form[2]));
      // the same rank from the row reductions (dense by columns, sparse by rows)
      for (const bool sparse : {false, true}) {
        PageArray arr(a, sparse);
        Value n = Value::number(BigRef(0));
        const bool none[6] = {};
        colreduce(n.cell(), &arr.q, none, nullptr, nullptr, nullptr, nullptr, aux, false,
                  268435456);
        EXPECT_EQ(number_value(n->ncoef).to_int64(), rank[0]) << sparse;
      }
      PageArray arr(a, false);
      Value n = Value::number(BigRef(0));
      fract_free_lu(false, n.cell(), &arr.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get(),
                    w[4].get(), w[5].get());
      EXPECT_EQ(number_value(n->ncoef).to_int64(), rank[0]);
      const Mat pivots = from_dense(w[0].get(), 1, rows),
                lower = from_dense(w[1].get(), rows, rows);
      const Mat alpha = from_dense(w[2].get(), rows, rows);
      if (rank[0] == rows && rows == cols) {
        Mat d(rows, rows), prod = identity_mat(rows);  // D = diag(1, 1, p_0, p_0 p_1, ...)
        Value acc = Value::number(BigRef(1));
        for (std::int32_t i = 0; i < rows; ++i) {
          quoly_assign(acc.get(), prod.at(i, i).cell());
          if (i >= 2) {
            Value p;
            quoly_mult(d.get(i - 1, i - 1), pivots.get(0, i - 2), p.cell());
            d.at(i, i) = std::move(p);
          } else {
            d.at(i, i) = Value::number(BigRef(1));
          }
          Value next;
          quoly_mult(acc.get(), pivots.get(0, i), next.cell());
          acc = std::move(next);
        }
        EXPECT_TRUE(same_mat(schoolbook(schoolbook(lower, d), arr.read()),
                             schoolbook(prod, schoolbook(alpha, a))));
        auto dw = fresh_work();
        Descr f;
        to_dense(a, dw.get(), f.get());
        Value det = Value::number(BigRef(1));
        mat_invert(dw.get(), dw.get(), rows, det.cell(), nullptr, nullptr, -1, -1, -1, 0,
                   {.equal = true});
        free_cells(dw.get(), rows * rows);
        // the sign of alpha is its determinant, itself a permutation matrix
        to_dense(alpha, dw.get(), f.get());
        Value sign = Value::number(BigRef(1));
        mat_invert(dw.get(), dw.get(), rows, sign.cell(), nullptr, nullptr, -1, -1, -1, 0,
                   {.equal = true});
        free_cells(dw.get(), rows * rows);
        Value expect;
        quoly_mult(det.get(), sign.get(), expect.cell());
        EXPECT_TRUE(quoly_equal(pivots.get(0, rows - 1), expect.get()))
            << show_poly(pivots.get(0, rows - 1)->numer) << " against " << show_poly(expect->numer);
      }
      free_cells(w[0].get(), rows);
      for (int t = 1; t < 6; ++t)
        free_cells(w[t].get(), t == 4 || t == 5 ? cols * cols : rows * rows);
    }
  }
}

// An integer matrix of r x c as values, entries in [-bound, bound].
Mat integer_mat(std::mt19937_64& rng, std::int32_t r, std::int32_t c, std::int64_t bound) {
  Mat m(r, c);
  for (Value& v : m.cell)
    v = Value::number(BigRef(std::int64_t(rng() % std::uint64_t(2 * bound + 1)) - bound));
  return m;
}

TEST_F(RowEchelonRings, LiftedFormAsTheFractionFreeOne) {
  // The reduced row echelon form of integer matrices with no transform by
  // the pivot columns' rational solve (cut 0) against the fraction-free
  // elimination (INT32_MAX): the same values and rank. Full row rank, wide
  // and square (the last column never a pivot), a leading column that is
  // zero or repeats (pivots past the diagonal), a pivot lost modulo the
  // first lifting prime (its 2 x 2 minor that prime: the echelon shape
  // fails and the next prime answers), repeated invariant factors, a rank
  // below the row count and an entry of 2^24 (both left to the
  // elimination).
  allocate_work_areas();
  ArithModeGuard rational;
  modularmode = lintmode = flotemode = finf = false;
  std::mt19937_64 rng(test_seed() ^ 4052);
  const std::int64_t p0 = word_prime(0, lifting_prime_top);
  for (int round = 0; round < test_iterations(28); ++round) {
    const auto rows = std::int32_t(1 + rng() % 16);
    const auto cols =
        std::int32_t(rows + 1 + rng() % std::uint64_t(std::min(16, 1024 / rows - rows)));
    Mat a = integer_mat(rng, rows, cols, round % 5 == 3 ? 1 << 20 : 40);
    const int kind = round % 7;
    if (kind == 1)
      for (std::int32_t i = 0; i < rows; ++i) a.at(i, 0) = Value::number(BigRef(0));
    if (kind == 2 && cols > 2)
      for (std::int32_t i = 0; i < rows; ++i) quoly_assign(a.get(i, 0), a.at(i, 1).cell());
    if (kind == 3 && rows >= 2) {  // columns 0, 1 over rows 0, 1: [[1, 0], [0, p0]]
      for (std::int32_t i = 0; i < rows; ++i)
        for (std::int32_t j = 0; j < 2; ++j)
          a.at(i, j) = Value::number(BigRef(i == j ? (i == 0 ? 1 : p0) : 0));
    }
    if (kind == 4 && rows >= 3) {  // B + 1009 C, B of rank 2
      const Mat b = schoolbook(integer_mat(rng, rows, 2, 9), integer_mat(rng, 2, cols, 9));
      for (std::int32_t i = 0; i < rows; ++i)
        for (std::int32_t j = 0; j < cols; ++j) {
          const BigRef bij = b.get(i, j) == nullptr ? BigRef(0) : number_value(b.get(i, j)->ncoef);
          const BigRef x = bij + BigRef(1009) * BigRef(std::int64_t(rng() % 7) - 3);
          a.at(i, j) = Value::number(x);
        }
    }
    if (kind == 5 && rows >= 2)
      for (std::int32_t j = 0; j < cols; ++j) quoly_assign(a.get(0, j), a.at(rows - 1, j).cell());
    if (kind == 6) a.at(0, 0) = Value::number(BigRef(std::int64_t{1} << 24));
    SCOPED_TRACE(testing::Message()
                 << rows << "x" << cols << " round " << round << " kind " << kind);
    std::int32_t rank[2];
    Mat form[2];
    for (int k = 0; k < 2; ++k) {
      ScopedValue<std::int32_t> cut{rref_lift_rows, k == 0 ? INT32_MAX : 0};
      PageArray arr(a, false);
      Value n = Value::number(BigRef(0));
      red_row_ech(n.cell(), &arr.q, nullptr, nullptr, nullptr, nullptr);
      rank[k] = std::int32_t(number_value(n->ncoef).to_int64());
      form[k] = arr.read();
    }
    EXPECT_EQ(rank[0], rank[1]);
    EXPECT_TRUE(same_mat(form[0], form[1]));
    if (kind == 3 && rows >= 2) {  // the pivots over the rationals are columns 0 and 1
      EXPECT_TRUE(quoly_eq_1(form[1].get(1, 1)));
    }
  }
}

}  // namespace
}  // namespace tavrin::test
