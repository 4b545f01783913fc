// Integer Hermite and Smith normal forms: the pivot searches on a table of
// known answers; the forms of small known matrices; and, the main weight,
// random matrices checked by their defining invariants with test-side
// products (alpha*A*beta = H, the inverses, unimodular beta, the shape of
// the form), dense against sparse, and planted Smith forms.
#include "matrix/normal_forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matrix/normal_forms/form_routes_impl.h"
#include "matrix/normal_forms/hermite_modular.h"
#include "matrix/normal_forms/int_pivot_search.h"
#include "matrix/normal_forms/wide_store.h"
#include "matrix/pivot_search.h"
#include "matrix/scaled_solve.h"
#include "matlang/matrix_builtins.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"

namespace tavrin::test {
namespace {

using M = std::vector<std::vector<BigRef>>;  // row-major

M zeros(std::size_t r, std::size_t c) { return M(r, std::vector<BigRef>(c, BigRef(0))); }
M ident(std::size_t n) {
  M m = zeros(n, n);
  for (std::size_t i = 0; i < n; ++i) m[i][i] = 1;
  return m;
}
M mul(const M& a, const M& b) {
  M p = zeros(a.size(), b[0].size());
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t k = 0; k < b.size(); ++k)
      if (!a[i][k].is_zero())
        for (std::size_t j = 0; j < b[0].size(); ++j) p[i][j] = p[i][j] + a[i][k] * b[k][j];
  return p;
}
BigRef mod(const BigRef& x, const BigRef& m) {
  BigRef r = x % m;
  return r.negative() ? r + m : r;
}
M random_int(std::mt19937_64& rng, std::size_t r, std::size_t c, int bits) {
  M m = zeros(r, c);
  std::uniform_int_distribution<std::int64_t> d(-(std::int64_t{1} << bits),
                                                std::int64_t{1} << bits);
  for (auto& row : m)
    for (auto& x : row) x = rng() % 4 == 0 ? BigRef(0) : BigRef(d(rng));
  return m;
}

// The matrix as a dense named array on pages of its own, or sparse.
struct Array {
  arrnode q{};
  std::vector<std::unique_ptr<storerec>> pages;
  std::vector<storeptr> saved;
  std::vector<Value> vals;
  std::int32_t rows, cols;
  Array(const M& a, bool sparse) : rows(std::int32_t(a.size())), cols(std::int32_t(a[0].size())) {
    for (std::int32_t p = 0; p * page_cells < rows * cols; ++p) {
      pages.push_back(std::make_unique<storerec>());
      saved.push_back(arp[p]);
      arp[p] = pages.back().get();
    }
    q.rows = rows;
    q.start = 0;
    q.stop = rows * cols - 1;
    set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
    Mat m(rows, cols);
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < cols; ++c) {
        vals.push_back(Value::number(a[r][c]));
        *arp_cell(r + c * rows) = vals.back().get();
        if (!a[r][c].is_zero()) m.at(r, c) = Value::number(a[r][c]);
      }
    if (sparse) q.spar = to_sparse(m);
  }
  ~Array() {
    free_sparse(&q.spar, rows, true);
    special_free(&q.sizearr);
    for (std::size_t p = 0; p < pages.size(); ++p) arp[p] = saved[p];
  }
  M read() const {
    M h = zeros(rows, cols);
    if (q.spar != nullptr) {
      EXPECT_TRUE(sparse_ok(q.spar, rows, cols));
      Mat m = from_sparse(q.spar, rows, cols);
      for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c)
          if (m.get(r, c) != nullptr) h[r][c] = number_value(m.get(r, c)->ncoef);
    } else {
      for (std::int32_t r = 0; r < rows; ++r)
        for (std::int32_t c = 0; c < cols; ++c)
          h[r][c] = number_value((*arp_cell(r + c * rows))->ncoef);
    }
    return h;
  }
};

struct Form {
  M h, alpha, beta, alphinv, betinv;
  std::int32_t rank;
};

// The Hermite (smith false) or Smith form of a with all four transforms
// (or none).
Form normal_form(const M& a, bool sparse, bool smith, const BigRef* pd = nullptr,
                 bool transforms = true) {
  Array arr(a, sparse);
  const std::int32_t r = arr.rows, c = arr.cols;
  const bool want[6] = {transforms, transforms, transforms, transforms, false, false};
  std::unique_ptr<workarray> w[4];
  for (auto& x : w)
    if (transforms && !sparse) x = fresh_work();
  sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
  imptr pdn = pd != nullptr ? from_ref(*pd) : nullptr;
  Value n = Value::number(0);
  if (smith)
    intnormal(n.cell(), &arr.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get(), pd != nullptr,
              pdn, aux, 41);
  else
    intcolred(n.cell(), &arr.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get(), aux,
              pd != nullptr, pdn);
  if (pdn != nullptr) special_free(pdn), free_imag(&pdn);
  Form f{arr.read(), {}, {}, {}, {}, std::int32_t(number_value(n->ncoef).to_int64())};
  const std::int32_t size[4] = {r, c, r, c};
  M* out[4] = {&f.alpha, &f.beta, &f.alphinv, &f.betinv};
  for (int t = 0; t < 4 && transforms; ++t) {
    const std::int32_t s = size[t];
    *out[t] = zeros(s, s);
    if (sparse) {
      EXPECT_TRUE(sparse_ok(aux[t], s, s));
      Mat m = from_sparse(aux[t], s, s);
      for (std::int32_t i = 0; i < s; ++i)
        for (std::int32_t j = 0; j < s; ++j)
          if (m.get(i, j) != nullptr) (*out[t])[i][j] = number_value(m.get(i, j)->ncoef);
      free_sparse(&aux[t], s, true);
    } else {
      for (std::int32_t i = 0; i < s; ++i)
        for (std::int32_t j = 0; j < s; ++j)
          (*out[t])[i][j] = number_value(w[t]->stash[i + j * s]->ncoef);
      free_cells(w[t].get(), s * s);
    }
  }
  return f;
}

// alpha*A*beta = H (modulo pd when given), the inverses, |det beta| = 1.
::testing::AssertionResult transforms_hold(const M& a, const Form& f, const BigRef* pd = nullptr) {
  const M p = mul(mul(f.alpha, a), f.beta);
  for (std::size_t i = 0; i < p.size(); ++i)
    for (std::size_t j = 0; j < p[0].size(); ++j)
      if (pd == nullptr ? !(p[i][j] == f.h[i][j]) : !(mod(p[i][j] - f.h[i][j], *pd).is_zero()))
        return ::testing::AssertionFailure() << "alpha*A*beta differs at " << i << "," << j;
  if (mul(f.alpha, f.alphinv) != ident(a.size())) return ::testing::AssertionFailure() << "alphinv";
  if (mul(f.beta, f.betinv) != ident(a[0].size())) return ::testing::AssertionFailure() << "betinv";
  // |det beta| = 1 (implied by the integral inverse; checked directly where
  // the entries are small enough for the test-side determinant).
  std::size_t bits = 0;
  for (const auto& row : f.beta)
    for (const auto& x : row) bits = std::max(bits, x.bit_length());
  if (bits < 100 && !(bareiss_det(f.beta).abs() == BigRef(1)))
    return ::testing::AssertionFailure() << "det beta";
  return ::testing::AssertionSuccess();
}

// Lower triangular with positive pivots at (i, i), i < rank; entries left
// of a pivot in [0, d) (dense) or in (-d, d) (sparse); nothing at or right
// of column rank below the pivots.
::testing::AssertionResult hermite_shape(const Form& f, bool sparse) {
  for (std::size_t i = 0; i < f.h.size(); ++i)
    for (std::size_t j = 0; j < f.h[0].size(); ++j) {
      const BigRef& x = f.h[i][j];
      const std::int64_t r = f.rank;
      if (std::int64_t(i) < r && i == j && x.sign() <= 0)
        return ::testing::AssertionFailure() << "pivot " << i;
      const bool zero_here = std::int64_t(i) < r ? j > i : std::int64_t(j) >= r;
      if (zero_here && !x.is_zero())
        return ::testing::AssertionFailure() << "entry " << i << "," << j;
      if (std::int64_t(i) < r && j < i && (x.abs() >= f.h[i][i] || (!sparse && x.negative())))
        return ::testing::AssertionFailure() << "unreduced " << i << "," << j;
    }
  return ::testing::AssertionSuccess();
}

// Diagonal, positive d_0 | d_1 | ... up to the rank, zero after.
::testing::AssertionResult smith_shape(const Form& f) {
  for (std::size_t i = 0; i < f.h.size(); ++i)
    for (std::size_t j = 0; j < f.h[0].size(); ++j) {
      const bool pivot = i == j && std::int64_t(i) < f.rank;
      if (pivot ? f.h[i][i].sign() <= 0 : !f.h[i][j].is_zero())
        return ::testing::AssertionFailure() << "entry " << i << "," << j;
      if (pivot && i > 0 && !(f.h[i][i] % f.h[i - 1][i - 1]).is_zero())
        return ::testing::AssertionFailure() << "divisibility at " << i;
    }
  return ::testing::AssertionSuccess();
}

BigRef pivot_product(const Form& f) {
  BigRef p = 1;
  for (std::int32_t i = 0; i < f.rank; ++i) p = p * f.h[i][i];
  return p;
}

class NormalForms : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
    load_data_tables();
  }
  ScopedValue<std::int32_t> half_{wanthalf, 1};
};

// The form and the transforms P, U and U^-1 of f equal want's; at: where.
void expect_same_form(const Form& f, const Form& want, const std::string& at) {
  EXPECT_EQ(f.h, want.h) << at;
  EXPECT_EQ(f.alpha, want.alpha) << at;
  EXPECT_EQ(f.beta, want.beta) << at;
  EXPECT_EQ(f.betinv, want.betinv) << at;
}

// The Hermite form and transforms of a with the exact elimination tried at
// every side against those with it skipped past side 0 (the route modulo a
// determinant for full column rank), and their identities; at: where.
void expect_alike_by_either_route(const M& a, const std::string& at) {
  Form want;
  {
    ScopedValue<std::int32_t> cut{normal_form_exact_side, INT32_MAX};
    want = normal_form(a, false, false);
  }
  ScopedValue<std::int32_t> cut{normal_form_exact_side, 0};
  const Form f = normal_form(a, false, false);
  expect_same_form(f, want, at);
  EXPECT_TRUE(transforms_hold(a, f)) << at;
}

TEST_F(NormalForms, PivotSearchTable) {
  struct Case {
    M diag;  // a column block (intfindbest) or a diagonal (the others)
    std::int32_t want_j, want_val;
  };
  // intfindbest over one column of entries, scan order top down.
  for (const Case& c : {Case{{{6}, {-4}, {4}}, 1, 1}, Case{{{6}, {4}, {-1}}, 2, -1},
                        Case{{{0}, {0}, {0}}, -7, 0}}) {
    Array a(c.diag, false);
    std::int32_t j = -7, k = -7, val = 9;
    intfindbest(0, a.q.stop, 3, 0, &j, &k, &val);
    EXPECT_EQ(j, c.want_j);
    EXPECT_EQ(val, c.want_val);
  }
  {  // the cell of (i, i) beyond stop
    Array a({{6, 4}}, false);
    std::int32_t j = -7, k = -7, val = 9;
    intfindbest(0, a.q.stop, 1, 1, &j, &k, &val);
    EXPECT_EQ(val, 0);
    EXPECT_EQ(j, -7);
  }
  auto diag = [](std::vector<std::int64_t> d) {
    M m = zeros(d.size(), d.size());
    for (std::size_t i = 0; i < d.size(); ++i) m[i][i] = d[i];
    return m;
  };
  // best_on_diag / sparse_best_diag: (diagonal, row, val), rows from 0.
  for (const auto& [d, row, val] : std::vector<std::tuple<std::vector<std::int64_t>, int, int>>{
           {{6, 4, -4, 9}, 1, 1}, {{6, -1, 4}, 1, -1}}) {
    Array a(diag(d), false), s(diag(d), true);
    std::int32_t j = 0, v = 0, n = std::int32_t(d.size());
    best_on_diag(0, a.q.stop, n, 0, &j, &v);
    EXPECT_EQ(std::make_pair(j, v), std::make_pair(row, val));
    sparse_best_diag(s.q.spar, n, 1, &j, &v);
    EXPECT_EQ(std::make_pair(j, v), std::make_pair(row + 1, val));
  }
  // best_other / sparse_best_other: pivot first; 0 when all divisible.
  for (const auto& [d, row] : std::vector<std::pair<std::vector<std::int64_t>, int>>{
           {{4, 8, 6, 10}, 2}, {{4, 8, 12}, 0}, {{5, 7, 11}, 2}}) {
    Array a(diag(d), false), s(diag(d), true);
    std::int32_t j = -1, n = std::int32_t(d.size());
    best_other(0, a.q.stop, 0, n, &j);
    EXPECT_EQ(j, row);
    sparse_best_other(s.q.spar, 1, n, &j);
    EXPECT_EQ(j, row == 0 ? 0 : row + 1);
  }
  {  // a column with a single active entry is taken with its mass
    Array s({{6, 0, 1}, {4, 9, 0}, {5, 2, 0}}, true);
    std::int32_t j = 0, k = 0, val = 0;
    sparse_intfindbest(s.q.spar, 3, 1, &j, &k, &val);
    EXPECT_EQ(std::make_tuple(j, k, val), std::make_tuple(1, 3, 1));
  }
  {  // otherwise a unit at once, else the first of least |value|
    Array s({{6, 3, 5}, {4, -1, 7}, {5, 2, 8}}, true), t({{6, 3, 5}, {4, 2, 7}, {5, 2, 8}}, true);
    std::int32_t j = 0, k = 0, val = 0;
    sparse_intfindbest(s.q.spar, 3, 1, &j, &k, &val);
    EXPECT_EQ(std::make_tuple(j, k, val), std::make_tuple(2, 2, -1));
    sparse_intfindbest(t.q.spar, 3, 1, &j, &k, &val);
    EXPECT_EQ(std::make_tuple(j, k, val), std::make_tuple(2, 2, 1));
  }
}

TEST_F(NormalForms, KnownForms) {
  for (bool sparse : {false, true}) {
    const Form f = normal_form({{2, 4}, {1, 3}}, sparse, false);
    EXPECT_EQ(f.h, (M{{1, 0}, {0, 2}}));
    EXPECT_EQ(f.alpha, (M{{0, 1}, {1, 0}}));
    EXPECT_EQ(f.rank, 2);
    EXPECT_EQ(normal_form(zeros(3, 2), sparse, false).rank, 0);
    EXPECT_EQ(normal_form(zeros(2, 3), sparse, true).rank, 0);
    const Form row = normal_form({{6, 4, 9}}, sparse, false);
    EXPECT_EQ(row.h, (M{{1, 0, 0}}));
    const Form col = normal_form({{6}, {4}, {9}}, sparse, false);
    EXPECT_EQ(col.rank, 1);
    EXPECT_TRUE(transforms_hold({{6}, {4}, {9}}, col));
    EXPECT_EQ(normal_form({{6, 0}, {0, 4}}, sparse, true).h, (M{{2, 0}, {0, 12}}));
    EXPECT_EQ(normal_form({{15, 0}, {0, 12}}, sparse, true).h, (M{{3, 0}, {0, 60}}));
  }
}

TEST_F(NormalForms, RandomHermiteByInvariants) {
  std::mt19937_64 rng(47);
  const std::pair<int, int> shapes[] = {{6, 8}, {8, 6}, {12, 12}};
  for (int round = 0; round < 4; ++round)
    for (auto [r, c] : shapes) {
      const M a = random_int(rng, r, c, round == 3 ? 40 : 5);
      Form f[2];
      for (bool sparse : {false, true}) {
        f[sparse] = normal_form(a, sparse, false);
        EXPECT_TRUE(transforms_hold(a, f[sparse])) << r << "x" << c << " sparse " << sparse;
        EXPECT_TRUE(hermite_shape(f[sparse], sparse)) << r << "x" << c << " sparse " << sparse;
      }
      EXPECT_EQ(f[0].rank, f[1].rank);
      EXPECT_EQ(pivot_product(f[0]), pivot_product(f[1]));
      if (r != c) continue;
      const BigRef d = bareiss_det(a).abs();
      if (d.is_zero()) continue;
      const BigRef pd = d * BigRef(std::int64_t(1 + round));
      for (bool sparse : {false, true}) {
        const Form g = normal_form(a, sparse, false, &pd);
        EXPECT_TRUE(transforms_hold(a, g, &pd)) << "modular, sparse " << sparse;
      }
    }
}

TEST_F(NormalForms, RandomSmithByInvariants) {
  std::mt19937_64 rng(4747);
  for (int round = 0; round < 3; ++round)
    for (auto [r, c] : {std::pair{6, 8}, std::pair{8, 6}, std::pair{10, 10}}) {
      const M a = random_int(rng, r, c, round == 2 ? 40 : 4);
      for (bool sparse : {false, true}) {
        const Form f = normal_form(a, sparse, true);
        EXPECT_TRUE(transforms_hold(a, f)) << r << "x" << c << " sparse " << sparse;
        EXPECT_TRUE(smith_shape(f)) << r << "x" << c << " sparse " << sparse;
      }
    }
  // Planted: U * diag(d) * V with unimodular U, V gives back exactly d.
  for (int round = 0; round < 6; ++round) {
    const std::size_t n = 7;
    M d = zeros(n, n);
    BigRef g = 1;
    for (std::size_t i = 0; i < n - 1; ++i) d[i][i] = g = g * BigRef(std::int64_t(1 + rng() % 3));
    auto unimodular = [&] {
      M u = ident(n);
      for (int s = 0; s < 40; ++s) {
        const std::size_t i = rng() % n, j = rng() % n;
        const BigRef f = std::int64_t(rng() % 7) - 3;
        if (i != j)
          for (std::size_t k = 0; k < n; ++k) u[i][k] = u[i][k] + f * u[j][k];
      }
      return u;
    };
    const M a = mul(mul(unimodular(), d), unimodular());
    for (bool sparse : {false, true}) {
      const Form f = normal_form(a, sparse, true);
      EXPECT_EQ(f.h, d) << "sparse " << sparse;
      EXPECT_EQ(f.rank, std::int32_t(n - 1));
      EXPECT_TRUE(transforms_hold(a, f));
    }
  }
}

// The Smith diagonal modulo |det| (no transforms) against the Euclidean
// elimination (asked for transforms, so it takes the old route): random
// and planted nonsingular matrices; known diagonals; refused shapes.
M smith_modular(const M& a, bool* taken) {
  Array arr(a, false);
  Value n = Value::number(0);
  *taken = smith_by_determinant(n.cell(), &arr.q);
  if (*taken) {
    EXPECT_EQ(number_value(n->ncoef), BigRef(std::int64_t(a.size())));
  }
  return arr.read();
}

TEST_F(NormalForms, SmithModuloDeterminant) {
  std::mt19937_64 rng(4748);
  bool taken = false;
  for (int round = 0; round < 24; ++round) {
    const std::size_t n = 2 + rng() % 9;
    M a = random_int(rng, n, n, round % 3 == 0 ? 2 : 6);
    if (round % 2 == 1) {  // a planted common factor in two rows and a column
      for (std::size_t k = 0; k < n; ++k)
        a[0][k] = a[0][k] * BigRef(6), a[1][k] = a[1][k] * BigRef(4);
      for (std::size_t k = 0; k < n; ++k) a[k][n - 1] = a[k][n - 1] * BigRef(9);
    }
    const M h = smith_modular(a, &taken);
    if (bareiss_det(a).is_zero()) {
      EXPECT_FALSE(taken);
      EXPECT_EQ(h, a);
      continue;
    }
    ASSERT_TRUE(taken) << "round " << round;
    EXPECT_EQ(h, normal_form(a, false, true).h) << "round " << round;
  }
  const struct {
    M a, d;
  } table[] = {
      {{{2, 4, 4}, {-6, 6, 12}, {10, -4, -16}}, {{2, 0, 0}, {0, 6, 0}, {0, 0, 12}}},
      {{{4, 0, 0}, {0, 4, 0}, {0, 0, 8}}, {{4, 0, 0}, {0, 4, 0}, {0, 0, 8}}},
      {{{6, 0}, {0, -10}}, {{2, 0}, {0, 30}}},
      {{{1, 2}, {3, 4}}, {{1, 0}, {0, 2}}},
      {{{0, 3}, {2, 0}}, {{1, 0}, {0, 6}}},
  };
  for (const auto& t : table) EXPECT_EQ(smith_modular(t.a, &taken), t.d);
  smith_modular({{1, 2, 3}, {4, 5, 6}}, &taken);
  EXPECT_FALSE(taken);
}

// The determinant's use: no transforms, (-1)^flipped times the diagonal.
TEST_F(NormalForms, PhaseOneGivesTheDeterminant) {
  std::mt19937_64 rng(48);
  for (int round = 0; round < 20; ++round) {
    const std::int32_t n = 1 + std::int32_t(rng() % 9);
    M a = random_int(rng, n, n, round % 2 == 0 ? 3 : 35);
    if (round % 5 == 4) a[n - 1] = a[0];  // singular
    Array arr(a, false);
    std::int32_t min = n - 1;
    bool flipped = false;
    phaseone(nullptr, nullptr, nullptr, nullptr, nullptr, &min, n, n, 0, 0, arr.q.stop, &flipped,
             true, false, false, nullptr, nullptr);
    const M h = arr.read();
    BigRef p = flipped ? -1 : 1;
    for (std::int32_t i = 0; i < n; ++i) p = p * h[i][i];
    EXPECT_EQ(min == n - 1 ? p : BigRef(0), bareiss_det(a)) << "round " << round;
  }
}

TEST_F(NormalForms, TooManySparseRowsRefused) {
  const std::int32_t rows = max_pivot_rows + 1;
  arrnode q{};
  q.rows = rows;
  set_entry_count(&q.sizearr, std::int64_t{rows} * 2);
  sparse_init(&q.spar, rows);
  colm_ptrptr head = sparse_row(q.spar, 2);
  newcolm(head);
  (*head)->coord = 1;
  (*head)->next = nullptr;
  (*head)->val = nullptr;
  quoly_set(3, &(*head)->val);
  const bool want[6] = {true, true, true, true, false, false};
  sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
  Value n = Value::number(5);
  bool unwound = false;
  const std::string out = output_of(
      [&] {
        intcolred(n.cell(), &q, want, nullptr, nullptr, nullptr, nullptr, aux, false, nullptr);
      },
      &unwound);
  EXPECT_TRUE(unwound && reports(out, sparse_matrix_too_large_error)) << out;
  EXPECT_EQ(number_value((*sparse_row(q.spar, 2))->val->ncoef), BigRef(3));
  EXPECT_EQ(aux[0], nullptr);
  EXPECT_EQ(number_value(n->ncoef), BigRef(5));
  free_sparse(&q.spar, rows, true);
  special_free(&q.sizearr);
}

// ---- The route modulo the determinant ------------------------------------------------------

// One route for a scope: the Euclidean elimination without a budget worth
// the name, or the bounded route at once.
struct Route {
  ScopedValue<std::int32_t> side, bits, budget;
  explicit Route(bool bounded)
      : side{normal_form_direct_side, bounded ? 0 : INT32_MAX},
        bits{normal_form_direct_bits, bounded ? 0 : INT32_MAX},
        budget{normal_form_budget_bits, 1 << 20} {}
};

// The dense normalisation of a sparse elimination's Hermite form: entries
// left of each pivot into [0, pivot) by column operations.
M reduce_left(M h, std::int32_t rank) {
  for (std::int32_t i = 0; i < rank; ++i)
    for (std::int32_t j = 0; j < i; ++j) {
      BigRef q = h[i][j] / h[i][i];
      if ((h[i][j] - q * h[i][i]).negative()) q = q - BigRef(1);
      if (q.is_zero()) continue;
      for (auto& row : h) row[j] = row[j] - q * row[i];
    }
  return h;
}

// det a modulo a word prime p, by the test's own elimination.
std::uint64_t det_mod(const M& a, std::uint64_t p) {
  const std::size_t n = a.size();
  std::vector<std::vector<std::uint64_t>> m(n, std::vector<std::uint64_t>(n));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      m[i][j] = std::uint64_t(mod(a[i][j], BigRef(std::int64_t(p))).to_int64());
  std::uint64_t d = 1;
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t r = k;
    while (r < n && m[r][k] == 0) ++r;
    if (r == n) return 0;
    if (r != k) std::swap(m[r], m[k]), d = p - d;
    d = d * m[k][k] % p;
    std::uint64_t inv = 1;
    for (std::uint64_t b = m[k][k], e = p - 2; e != 0; e >>= 1, b = b * b % p)
      if (e & 1) inv = inv * b % p;
    for (std::size_t i = k + 1; i < n; ++i) {
      const std::uint64_t f = m[i][k] * inv % p;
      for (std::size_t j = k; j < n; ++j) m[i][j] = (m[i][j] + (p - f) * m[k][j]) % p;
    }
  }
  return d;
}

// The product of the first rank diagonal entries is +-det a modulo a few
// word primes.
::testing::AssertionResult diagonal_is_det(const M& a, const Form& f) {
  const BigRef prod = pivot_product(f);
  for (std::uint64_t p : {1000003ull, 998244353ull, 2147483629ull}) {
    const std::uint64_t d = det_mod(a, p),
                        x = std::uint64_t(mod(prod, BigRef(std::int64_t(p))).to_int64());
    if (x != d && (x + d) % p != 0) return ::testing::AssertionFailure() << "modulo " << p;
  }
  return ::testing::AssertionSuccess();
}

// A random matrix of the kinds the route must handle: entries in
// [-99, 99], a planted rank (products of two thin factors), long entries,
// a common factor.
M random_kind(std::mt19937_64& rng, std::size_t r, std::size_t c, int kind) {
  if (kind == 1) {  // rank below min(r, c)
    const std::size_t k = 1 + rng() % std::min(r, c);
    return mul(random_int(rng, r, k, 2), random_int(rng, k, c, 2));
  }
  M a = random_int(rng, r, c, kind == 2 ? 30 : 6);
  if (kind == 3)
    for (auto& row : a)
      for (auto& x : row) x = x * BigRef(6);
  return a;
}

TEST_F(NormalForms, BoundedRouteAgreesWithTheElimination) {
  // Given the elimination's row order the Hermite form is unique: the
  // bounded route on alpha*A gives exactly the elimination's form (the
  // sparse one after its entries are brought into [0, pivot)); the Smith
  // form is unique outright.
  std::mt19937_64 rng(4749);
  for (int round = 0; round < 24; ++round) {
    const std::size_t r = 1 + rng() % 7, c = 1 + rng() % 7;
    const M a = random_kind(rng, r, c, round % 4);
    for (bool sparse : {false, true}) {
      Form part, part_smith;
      {
        Route route(false);
        part = normal_form(a, sparse, false);
        part_smith = normal_form(a, sparse, true);
      }
      const M pa = mul(part.alpha, a);
      Route route(true);
      const Form mine = normal_form(pa, sparse, false);
      EXPECT_EQ(mine.alpha, ident(r)) << "round " << round;
      EXPECT_EQ(mine.h, sparse ? reduce_left(part.h, part.rank) : part.h)
          << "round " << round << " sparse " << sparse;
      EXPECT_TRUE(transforms_hold(pa, mine)) << "round " << round;
      const Form smith = normal_form(a, sparse, true);
      EXPECT_EQ(smith.h, part_smith.h) << "round " << round;
      EXPECT_TRUE(transforms_hold(a, smith)) << "round " << round;
      EXPECT_EQ(normal_form(a, sparse, true, nullptr, false).h, smith.h);
    }
  }
}

TEST_F(NormalForms, EstimatedQuotientsMatchTheDivision) {
  // The exact elimination's quotients of long entries, by estimate below
  // 2^normal_form_quotient_bits and by long division by a pivot of one
  // 64-bit word or the division of big integers above: every cut gives the
  // same form and transforms as the division of big integers alone (cut 0). Entries of up
  // to 120 bits beside short ones, so that quotients fall on both sides.
  std::mt19937_64 rng(4756);
  for (int round = 0; round < 16; ++round) {
    // Wide and at most half filled, so that the exact elimination answers
    // and the kernel columns of the transform show every quotient.
    const std::size_t r = 2 + rng() % 4, c = r + 2 + rng() % 4;
    M a = zeros(r, c);
    for (auto& row : a)
      for (auto& x : row) {
        if (rng() % 5 < 3) continue;
        x = BigRef(std::int64_t(rng() % 2000) - 1000);
        if (rng() % 2 == 0)
          x = x * BigRef::pow2(unsigned(rng() % 100)) + BigRef(std::int64_t(rng() >> 2));
      }
    if (round % 3 == 0) {  // long quotients ending on exact halves, of both signs
      const BigRef p = BigRef::pow2(70) * BigRef(std::int64_t(2 * (rng() % 1000) + 2));
      for (std::size_t j = 0; j < c; ++j)
        a[0][j] = j == 0 ? p
                  : j >= c / 2
                      ? BigRef(0)
                      : p * BigRef(std::int64_t(2 + rng() % 4) * (j % 2 ? 1 : -1)) + p / BigRef(2);
    }
    if (round % 3 ==
        1) {  // even pivots of 62 to 65 bits (long division up to 2^64), quotients past 2^40
      const BigRef p =
          BigRef::pow2(unsigned(61 + round % 4)) + BigRef(std::int64_t(rng() >> 5) * 2);
      for (std::size_t j = 0; j < c; ++j)
        a[0][j] = j == 0  ? p
                  : j > 2 ? BigRef(0)
                          : p * BigRef(std::int64_t(rng() >> 2) * (j % 2 ? 1 : -1)) +
                                (round % 2 ? p / BigRef(2) : BigRef(std::int64_t(rng() >> 3)));
    }
    Route route(true);
    Form want;
    {
      ScopedValue<std::int32_t> cut{normal_form_quotient_bits, 0};
      want = normal_form(a, false, false);
    }
    EXPECT_TRUE(transforms_hold(a, want)) << "round " << round;
    for (std::int32_t bits : {20, 40}) {
      ScopedValue<std::int32_t> cut{normal_form_quotient_bits, bits};
      const Form f = normal_form(a, false, false);
      expect_same_form(f, want, "round " + std::to_string(round) + " cut " + std::to_string(bits));
    }
  }
}

TEST_F(NormalForms, TransformsAlikeWithOrWithoutTheExactElimination) {
  // Dense matrices with transforms: passing over the exact elimination
  // (cut 0) gives what trying it first gives (no cut), for full column
  // rank (the transform is unique) and for a lower rank (then it is not
  // passed over: the kernel columns are the elimination's).
  std::mt19937_64 rng(4757);
  for (int round = 0; round < 12; ++round) {
    const std::size_t c = 4 + rng() % 5, r = c + rng() % 3;
    M a = random_int(rng, r, c, 3);
    for (auto& row : a)
      for (auto& x : row)
        if (x.is_zero()) x = 1;
    if (round % 3 == 2)  // rank two below the column count
      for (std::size_t i = 0; i < r; ++i) {
        a[i][c - 1] = a[i][0] * BigRef(2) - a[i][1];
        a[i][c - 2] = a[i][1] * BigRef(3) + a[i][2];
      }
    Route route(true);
    expect_alike_by_either_route(a, "round " + std::to_string(round));
  }
}

TEST_F(NormalForms, SolvesInTheLeadingBlockAgreeWithTheWholeCompletion) {
  // Dense wide matrices with transforms and dense rank-deficient ones past
  // the exact elimination's side complete to squares with u trailing unit
  // rows; solving in the leading block (cut 1 and u) gives the forms and
  // transforms of solving in the whole square (cut u + 1 and INT32_MAX).
  std::mt19937_64 rng(test_seed() ^ 4758);
  Route route(true);
  for (int round = 0; round < test_iterations(6); ++round) {
    const bool wide = round % 2 == 0;
    const std::size_t r = wide ? 2 + rng() % 8 : 21 + rng() % 3;
    const std::size_t c = wide ? r + 1 + rng() % 6 : r;
    M a = random_int(rng, r, c, 1 + static_cast<int>(rng() % 12));
    const std::size_t lost = wide ? rng() % 2 : 1 + rng() % 2;  // dependent rows
    for (std::size_t t = 0; t < lost && r > 2; ++t)
      for (std::size_t j = 0; j < c; ++j)
        a[r - 1 - t][j] = a[0][j] * BigRef(std::int64_t(t) + 2) - a[1][j];
    Form want, want_smith;
    {
      // The oracle: the whole completion, residues in big integers.
      ScopedValue<std::int32_t> cut{normal_form_split_rows, INT32_MAX};
      ScopedValue<std::int32_t> words{normal_form_fixed_words, 0};
      want = normal_form(a, false, false);
      want_smith = normal_form(a, false, true);
    }
    EXPECT_TRUE(transforms_hold(a, want)) << "round " << round;
    const std::int32_t unit = std::int32_t(c) - want.rank;
    for (std::int32_t cut_at : {1, unit, unit + 1}) {
      ScopedValue<std::int32_t> cut{normal_form_split_rows, std::max(cut_at, 1)};
      const Form f = normal_form(a, false, false);
      expect_same_form(f, want,
                       "round " + std::to_string(round) + " cut " + std::to_string(cut_at));
      EXPECT_EQ(normal_form(a, false, false, nullptr, false).h, want.h) << "round " << round;
      const Form smith = normal_form(a, false, true);
      EXPECT_EQ(smith.h, want_smith.h) << "round " << round << " cut " << cut_at;
      EXPECT_EQ(smith.beta, want_smith.beta) << "round " << round << " cut " << cut_at;
    }
  }
}

TEST_F(NormalForms, FixedWidthResiduesAgreeWithBigIntegers) {
  // The elimination modulo a multiple n of the lattice's determinant, with
  // residues in fixed-width words (cut 32, and the cut at n's own word
  // count) and in big integers (cut 0, and one word short): the same form.
  // Square blocks make the pivots non-units (n shrinks by them); n's
  // factor r spans 31 bits to past 32 words.
  std::mt19937_64 rng(test_seed() ^ 4759);
  for (int round = 0; round < test_iterations(40); ++round) {
    const std::int32_t k = 1 + static_cast<std::int32_t>(rng() % 7);
    const std::int32_t c = k + static_cast<std::int32_t>(rng() % 3);
    const int bits = 1 + static_cast<int>(rng() % 24);
    ZMatrix t(k, c);
    for (ZInt& x : t.cell)
      x = static_cast<std::int64_t>(rng() % (2ull << bits)) - (std::int64_t{1} << bits);
    ZMatrix lead(k, k);
    for (std::int32_t i = 0; i < k; ++i)
      for (std::int32_t j = 0; j < k; ++j) lead.at(i, j) = t.at(i, j);
    ZInt n = abs_int_determinant(lead);
    if (n.is_zero()) continue;
    for (int w = static_cast<int>(rng() % 72); w > 0; --w)
      n *= ZInt(static_cast<std::int64_t>(rng() >> 34) | 1);
    const std::int32_t words = static_cast<std::int32_t>((n.bit_length() + 63) / 64);
    ZMatrix want;
    {
      ScopedValue<std::int32_t> cut{normal_form_fixed_words, 0};
      want = hermite_modulo(t, n);
    }
    ZInt det = 1;
    for (std::int32_t i = 0; i < k; ++i) det *= want.at(i, i);
    ZInt q;
    EXPECT_TRUE(ZInt::divides(n, det, &q)) << "round " << round;  // det L divides n
    for (std::int32_t cut_at : {32, words, words - 1}) {
      ScopedValue<std::int32_t> cut{normal_form_fixed_words, std::clamp(cut_at, 0, 32)};
      EXPECT_EQ(hermite_modulo(t, n), want)
          << "round " << round << " words " << words << " cut " << cut_at;
    }
  }
}

TEST_F(NormalForms, FixedWidthResiduesAtEveryWordCount) {
  // The kernels of the fixed-width residues are made for each word count of
  // the modulus: n of exactly 1 to 33 words (33: big integers), each
  // against the residues in big integers, with pivots that are units and
  // pivots that are not (a square block of even entries).
  std::mt19937_64 rng(test_seed() ^ 8821);
  for (std::int32_t words = 1; words <= 33; ++words) {
    const std::int32_t k = 2 + static_cast<std::int32_t>(rng() % 4), c = k + 1;
    ZMatrix t(k, c);
    for (ZInt& x : t.cell) x = static_cast<std::int64_t>(rng() % 2001) - 1000;
    if (words % 2 == 0)
      for (ZInt& x : t.cell) x *= ZInt(2);
    ZMatrix lead(k, k);
    for (std::int32_t i = 0; i < k; ++i)
      for (std::int32_t j = 0; j < k; ++j) lead.at(i, j) = t.at(i, j);
    ZInt n = abs_int_determinant(lead);
    if (n.is_zero()) continue;
    // Factors below 2^60 from below 64 (words - 1) bits land in `words` words.
    while (n.bit_length() <= 64 * (words - 1)) n *= ZInt(static_cast<std::int64_t>(rng() >> 4) | 1);
    ASSERT_EQ((n.bit_length() + 63) / 64, words);
    ZMatrix want;
    {
      ScopedValue<std::int32_t> cut{normal_form_fixed_words, 0};
      want = hermite_modulo(t, n);
    }
    EXPECT_EQ(hermite_modulo(t, n), want) << "words " << words;
  }
}

TEST_F(NormalForms, BoundedRouteKnownForms) {
  Route route(true);
  const struct {
    M a, h;
    bool smith;
  } table[] = {
      {{{2, 4}, {1, 3}}, {{2, 0}, {0, 1}}, false},
      {{{3, 1}, {0, 2}}, {{1, 0}, {2, 6}}, false},
      {{{1, 2}, {2, 4}}, {{1, 0}, {2, 0}}, false},
      {{{6, 4, 9}}, {{1, 0, 0}}, false},
      {{{6}, {4}, {9}}, {{6}, {4}, {9}}, false},
      {{{-5}}, {{5}}, false},
      {{{2, 4, 4}, {-6, 6, 12}, {10, -4, -16}}, {{2, 0, 0}, {0, 6, 0}, {0, 0, 12}}, true},
      {{{0, 3}, {2, 0}}, {{1, 0}, {0, 6}}, true},
      {{{4, 6}, {6, 9}}, {{1, 0}, {0, 0}}, true},
  };
  for (bool sparse : {false, true})
    for (const auto& t : table) {
      const Form f = normal_form(t.a, sparse, t.smith);
      EXPECT_EQ(f.h, t.h);
      EXPECT_TRUE(transforms_hold(t.a, f));
    }
  EXPECT_EQ(normal_form(zeros(2, 3), false, false).rank, 0);
  EXPECT_EQ(normal_form(zeros(3, 2), true, true).rank, 0);
}

TEST_F(NormalForms, LargeFormsByInvariants) {
  // Sides the Euclidean elimination cannot finish, through the drivers as
  // the built-ins call them: the shape, the identities of the transforms
  // (which give the lattice both ways), the same form without them, and
  // the diagonal against the test's own determinant modulo primes.
  std::mt19937_64 rng(4750);
  const struct {
    std::size_t r, c;
    bool singular, sparse;
  } cases[] = {{100, 100, false, false}, {60, 60, true, false}, {36, 64, false, false},
               {64, 36, true, false},    {50, 50, false, true}, {40, 56, true, true}};
  for (const auto& k : cases) {
    M a = random_int(rng, k.r, k.c, 6);
    for (auto& row : a)
      for (auto& x : row) x = x % BigRef(100);
    if (k.singular)  // a row that is a combination of two others
      for (std::size_t j = 0; j < k.c; ++j) a[k.r / 2][j] = a[0][j] * BigRef(3) - a[k.r - 1][j];
    const std::int32_t rank = std::int32_t(std::min(k.r, k.c)) - (k.singular && k.r <= k.c ? 1 : 0);
    for (bool smith : {false, true}) {
      const Form f = normal_form(a, k.sparse, smith);
      const Form bare = normal_form(a, k.sparse, smith, nullptr, false);
      EXPECT_EQ(f.rank, rank) << k.r << "x" << k.c;
      EXPECT_EQ(bare.h, f.h) << k.r << "x" << k.c;
      EXPECT_TRUE(smith ? smith_shape(f) : hermite_shape(f, false)) << k.r << "x" << k.c;
      EXPECT_TRUE(transforms_hold(a, f)) << k.r << "x" << k.c << " smith " << smith;
      if (k.r == k.c && !k.singular) {
        EXPECT_TRUE(diagonal_is_det(a, f));
      }
    }
  }
}

TEST_F(NormalForms, SmithDiagonalFromMinors) {
  // d_0 d_1 ... d_(k-1) = the gcd of the k x k minors, by the test's own
  // minors, on small matrices through both routes.
  std::mt19937_64 rng(4751);
  auto minors_gcd = [](const M& a, std::size_t k) {
    BigRef g = 0;
    const std::size_t r = a.size(), c = a[0].size();
    std::vector<std::size_t> rs(k), cs(k);
    std::function<void(std::size_t, std::size_t, std::size_t, std::size_t)> pick =
        [&](std::size_t i, std::size_t from_r, std::size_t j, std::size_t from_c) {
          if (i < k) {
            for (std::size_t x = from_r; x < r; ++x) rs[i] = x, pick(i + 1, x + 1, j, from_c);
            return;
          }
          if (j < k) {
            for (std::size_t y = from_c; y < c; ++y) cs[j] = y, pick(i, from_r, j + 1, y + 1);
            return;
          }
          M m = zeros(k, k);
          for (std::size_t u = 0; u < k; ++u)
            for (std::size_t v = 0; v < k; ++v) m[u][v] = a[rs[u]][cs[v]];
          g = BigRef::gcd(g, bareiss_det(m));
        };
    pick(0, 0, 0, 0);
    return g;
  };
  for (int round = 0; round < 12; ++round) {
    const std::size_t r = 2 + rng() % 4, c = 2 + rng() % 4;
    const M a = random_kind(rng, r, c, round % 4 == 2 ? 0 : round % 4);
    for (bool bounded : {false, true}) {
      Route route(bounded);
      const Form f = normal_form(a, round % 2 == 1, true);
      BigRef prod = 1;
      for (std::size_t k = 1; k <= std::min(r, c); ++k) {
        if (std::int32_t(k) <= f.rank) prod = prod * f.h[k - 1][k - 1];
        EXPECT_EQ(std::int32_t(k) <= f.rank ? prod : BigRef(0), minors_gcd(a, k))
            << "round " << round;
      }
    }
  }
}

TEST_F(NormalForms, BudgetSendsTheSwellingAway) {
  // With a budget of one Hadamard bound an 8 x 8 elimination swells past it
  // and the bounded route answers, with its own row order; a diagonal
  // matrix stays within and keeps the elimination's form.
  std::mt19937_64 rng(4752);
  const M a = random_int(rng, 8, 8, 6);
  Form budgeted, direct;
  {
    ScopedValue<std::int32_t> side{normal_form_direct_side, INT32_MAX},
        bits{normal_form_direct_bits, INT32_MAX}, budget{normal_form_budget_bits, 1};
    budgeted = normal_form(a, false, false);
  }
  {
    Route route(true);
    direct = normal_form(a, false, false);
  }
  EXPECT_EQ(budgeted.h, direct.h);
  EXPECT_EQ(budgeted.alpha, direct.alpha);
  EXPECT_TRUE(transforms_hold(a, budgeted));
  ScopedValue<std::int32_t> side{normal_form_direct_side, INT32_MAX},
      bits{normal_form_direct_bits, INT32_MAX}, budget{normal_form_budget_bits, 1};
  const Form d = normal_form({{0, 3}, {2, 0}}, false, false);
  EXPECT_EQ(d.h, (M{{2, 0}, {0, 3}}));
  EXPECT_EQ(d.alpha, (M{{0, 1}, {1, 0}}));
}

// The entries of a matrix as (row, column, residues modulo two primes),
// read from the limbs (long entries read back in linear time).
std::vector<std::array<std::int64_t, 4>> fingerprint(const Array& arr) {
  std::vector<std::array<std::int64_t, 4>> out;
  auto add = [&out](std::int32_t r, std::int32_t c, imptr x) {
    std::int64_t m1 = 0, m2 = 0;
    for (numptr l = x->head; l != nullptr; l = l->next) {
      m1 = (m1 * (std::int64_t{1} << 28) + l->value) % 1000003;
      m2 = (m2 * (std::int64_t{1} << 28) + l->value) % 998244353;
    }
    if (m1 != 0 || m2 != 0) out.push_back({r, c, m1, m2});
  };
  if (arr.q.spar != nullptr) {
    for (std::int32_t r = 1; r <= arr.rows; ++r)
      for (colm_ptr e = *sparse_row(arr.q.spar, r); e != nullptr; e = e->next)
        add(r - 1, e->coord - 1, e->val->ncoef);
  } else {
    for (std::int32_t c = 0; c < arr.cols; ++c)
      for (std::int32_t r = 0; r < arr.rows; ++r) add(r, c, (*arp_cell(r + c * arr.rows))->ncoef);
  }
  return out;
}

// The router's Hadamard bits: exact for a diagonal matrix of one-limb
// entries (each column's norm is log2(|d| + 1), at least 1), never below
// log2 |det| of a square one, and alike whether the matrix is stored dense
// or sparse (its entries are then read in another order).
TEST_F(NormalForms, HadamardBitsFromTheEntriesLengths) {
  std::mt19937_64 rng(test_seed());
  for (int round = 0; round < 40; ++round) {
    const std::size_t n = 1 + rng() % 8;
    M d = zeros(n, n);
    double want = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const std::int64_t v =
          static_cast<std::int64_t>(rng() % (std::uint64_t{1} << (1 + rng() % 27))) - 3;
      d[i][i] = BigRef(v);
      if (v != 0) want += std::max(std::log2(std::abs(static_cast<double>(v)) + 1.0), 1.0);
    }
    for (bool sparse : {false, true}) {
      Array a(d, sparse);
      EXPECT_NEAR(form_routes::hadamard_bits(&a.q, a.rows, a.cols), want, 1e-9) << "diagonal " << n;
    }
    const int bits = std::array{3, 20, 40, 60}[rng() % 4];
    const M m = random_int(rng, n, n, bits);
    Array dense(m, false), sparse(m, true);
    const double hd = form_routes::hadamard_bits(&dense.q, dense.rows, dense.cols);
    EXPECT_NEAR(form_routes::hadamard_bits(&sparse.q, sparse.rows, sparse.cols), hd,
                1e-9 * std::max(hd, 1.0));
    const BigRef det = bareiss_det(m).abs();
    if (!det.is_zero()) {
      EXPECT_LE(static_cast<double>(det.bit_length()) - 1.0, hd + 1e-9) << "side " << n;
    }
  }
  // Past the small sizes kept on the stack (64 columns, 256 entries). Wide
  // matrices with one entry a column: a column's norm is log2(|v| + 1).
  // Full columns of entries +-v (more entries than the stack holds): its
  // norm is log2(v + 1) + log2(rows) / 2. Only the min(rows, cols) largest
  // norms count, so their order matters.
  for (int round = 0; round < 10; ++round) {
    const bool full = round >= 6;
    const std::size_t rows = full ? 17 + rng() % 8 : 2 + rng() % 9;
    const std::size_t cols = full ? 16 + rng() % 10 : 60 + rng() % 20;
    M a = zeros(rows, cols);
    std::vector<double> norms;
    for (std::size_t c = 0; c < cols; ++c) {
      const std::int64_t v =
          1 + static_cast<std::int64_t>(rng() % (std::uint64_t{1} << (1 + rng() % 27)));
      for (std::size_t r = 0; r < rows; ++r)
        if (full || r == c % rows) a[r][c] = BigRef(rng() % 2 == 0 ? v : -v);
      const double spread = full ? 0.5 * std::log2(static_cast<double>(rows)) : 0.0;
      norms.push_back(std::max(std::log2(static_cast<double>(v) + 1.0) + spread, 1.0));
    }
    std::sort(norms.rbegin(), norms.rend());
    const auto counted = static_cast<std::ptrdiff_t>(std::min(rows, cols));
    const double want = std::accumulate(norms.begin(), norms.begin() + counted, 0.0);
    for (bool sparse : {false, true}) {
      Array x(a, sparse);
      EXPECT_NEAR(form_routes::hadamard_bits(&x.q, x.rows, x.cols), want, 1e-9 * want)
          << rows << "x" << cols;
    }
  }
}

TEST_F(NormalForms, SmallSidesKeepTheElimination) {
  // At small sides with short entries the elimination runs first and its
  // budget lets it finish: the forms (and its row order) are its own.
  std::mt19937_64 rng(4753);
  for (bool sparse : {false, true}) {
    M a = random_int(rng, 8, 8, 2);
    const Form f = normal_form(a, sparse, false, nullptr, false);
    Route route(false);
    EXPECT_EQ(f.h, normal_form(a, sparse, false, nullptr, false).h) << "sparse " << sparse;
  }
}

TEST_F(NormalForms, FailurePartWayLeavesTheMatrix) {
  // det = -X Y has more limbs than a number may hold: the elimination
  // fails in its first product, the bounded route when it would store the
  // form. Either way the error unwinds, the matrix is as it was and no
  // node is left behind.
  const BigRef x = BigRef::pow2(28 * 17000) + BigRef(5);
  const M a = {{1, x}, {x, 0}};
  for (bool bounded : {false, true})
    for (bool sparse : {false, true})
      for (bool smith : {false, true}) {
        Route route(bounded);
        Array arr(a, sparse);
        const auto before = fingerprint(arr);
        NodeBalance balance;
        const bool want[6] = {true, true, true, true, false, false};
        std::unique_ptr<workarray> w[4];
        for (auto& p : w)
          if (!sparse) p = fresh_work();
        sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
        Value n = Value::number(7);
        bool unwound = false;
        const std::string out = output_of(
            [&] {
              if (smith)
                intnormal(n.cell(), &arr.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get(),
                          false, nullptr, aux, 83);
              else
                intcolred(n.cell(), &arr.q, want, w[0].get(), w[1].get(), w[2].get(), w[3].get(),
                          aux, false, nullptr);
            },
            &unwound);
        EXPECT_TRUE(unwound && reports(out, number_too_long_error)) << bounded << sparse << smith;
        EXPECT_EQ(fingerprint(arr), before) << bounded << sparse << smith;
        EXPECT_EQ(number_value(n->ncoef), BigRef(7));
        for (int t = 0; t < 4; ++t) {
          if (!sparse) free_cells(w[t].get(), 4);
          free_sparse(&aux[t], 2, true);
        }
      }
}

// ---- Hand-over at every side, and the forms modulo a pseudo-determinant ------------------

TEST_F(NormalForms, LimbLimitHandsOverAtAnySide) {
  // The elimination's first step forms F G, longer than any number, though
  // the matrix has determinant -1: both forms are I. With the elimination
  // forced first the limb limit hands over, where it used to stop with
  // error 302. (Its inverse holds F G: no transforms here.)
  const BigRef f = BigRef::pow2(28 * 17000) + BigRef(3), g = BigRef::pow2(28 * 17000) - BigRef(5);
  const M a = {{1, f, 0}, {g, 0, 1}, {0, 1, 0}};
  ScopedValue<std::int32_t> side{normal_form_direct_side, INT32_MAX},
      bits{normal_form_direct_bits, INT32_MAX}, budget{normal_form_budget_bits, 1 << 20};
  for (bool sparse : {false, true})
    for (bool smith : {false, true}) {
      NodeBalance balance;
      const Form h = normal_form(a, sparse, smith, nullptr, false);
      EXPECT_EQ(h.h, ident(3)) << sparse << smith;
      EXPECT_EQ(h.rank, 3);
    }
}

TEST_F(NormalForms, EveryKindFinishesWithItsIdentities) {
  // The kinds that swelled at small sides: sparse rows of one to four
  // entries, dense ones, few entries stored densely; square, singular, tall
  // and wide; entries to 10^4. Every form with its transforms by the
  // identities and its shape, without them the same form, the Smith
  // diagonal against the determinant.
  std::mt19937_64 rng(4754);
  for (int round = 0; round < 24; ++round) {
    const std::size_t n = 5 + rng() % 20, m = round % 4 < 2 ? n : n - 1 - rng() % (n / 2);
    const std::size_t r = round % 4 == 3 ? m : n, c = round % 4 == 2 ? m : n;
    M a = zeros(r, c);
    const bool few = round % 3 != 0;
    for (std::size_t t = 0; t < (few ? r * (1 + rng() % 4) : r * c); ++t)
      a[rng() % r][rng() % c] = BigRef(std::int64_t(rng() % 19999) - 9999);
    if (round % 4 == 1)
      for (std::size_t j = 0; j < c; ++j) a[r / 2][j] = a[0][j] * BigRef(2) - a[r - 1][j];
    const bool sparse = round % 2 == 1;
    std::int32_t rank = -1;
    for (bool smith : {false, true}) {
      const Form f = normal_form(a, sparse, smith);
      EXPECT_TRUE(transforms_hold(a, f)) << "round " << round << " smith " << smith;
      EXPECT_TRUE(smith ? smith_shape(f) : hermite_shape(f, sparse)) << "round " << round;
      EXPECT_EQ(normal_form(a, sparse, smith, nullptr, false).h, f.h) << "round " << round;
      if (rank >= 0) {
        EXPECT_EQ(f.rank, rank) << "round " << round;
      }
      rank = f.rank;
      if (smith && r == c && f.rank == std::int32_t(r)) {
        EXPECT_TRUE(diagonal_is_det(a, f)) << "round " << round;
      }
    }
  }
}

TEST_F(NormalForms, ModularSmithIsTheGcdWithThePseudoDeterminant) {
  // MSmith's form modulo pd is gcd(d_i, pd) for the Smith diagonal d_i, pd
  // itself 0; with its own pseudo-determinant (a multiple of the last
  // invariant factor, doubled) that is the Smith form, rank and all. Both
  // routes, random sparse matrices of entries in [-9, 9].
  std::mt19937_64 rng(4755);
  for (int round = 0; round < 30; ++round) {
    const std::size_t r = 4 + rng() % (round < 24 ? 12 : 33),
                      c = std::max<std::size_t>(3, r - rng() % 4);
    M a = zeros(r, c);
    for (std::size_t t = 0; t < r * 5 / 2; ++t)
      a[rng() % r][rng() % c] = BigRef(std::int64_t(rng() % 19) - 9);
    const Form smith = normal_form(a, true, true, nullptr, false);
    BigRef own;
    {
      Array arr(a, true);
      Value pd = Value::number(0);
      new_pseudo(pd.cell(), &arr.q);
      own = number_value(pd->ncoef);
    }
    const BigRef given =
        BigRef(std::int64_t(1) << (rng() % 5)) * BigRef(std::int64_t(1 + rng() % 3) * 3);
    for (bool bounded : {false, true})
      for (const BigRef& pd : {own, given}) {
        Route route(bounded);
        const Form f = normal_form(a, true, true, &pd, false);
        std::int32_t rank = 0;
        for (std::int32_t i = 0; i < std::int32_t(std::min(r, c)); ++i) {
          BigRef want = BigRef::gcd(i < smith.rank ? smith.h[i][i] : BigRef(0), pd);
          if (want == pd) want = 0;
          rank += want.is_zero() ? 0 : 1;
          EXPECT_EQ(f.h[i][i], want)
              << "round " << round << " bounded " << bounded << " at " << i << " pd " << pd;
        }
        EXPECT_EQ(f.rank, rank) << "round " << round;
        if (&pd == &own) {
          EXPECT_EQ(f.rank, smith.rank) << "round " << round;
        }
      }
  }
}

TEST_F(NormalForms, CellsStraightToTheEliminationAsThroughCopies) {
  // The bounded Hermite route read from the cells straight into the exact
  // elimination and written straight back gives what the integer-matrix
  // copies give (cell side 0), entry for entry: on both sides of a cut of
  // 8, dense and sparse stores, full and thin fill, every shape, with and
  // without transforms, entries past 2^62, and dense matrices of side 15 to
  // 18 whose elimination is given up; and the result is a Hermite form
  // with P A U = H and the inverses.
  std::mt19937_64 rng(test_seed() + 4758);
  Route route(true);
  for (int round = 0; round < test_iterations(30); ++round) {
    const int kind = round % 5;  // square, singular, tall, wide, given up
    std::size_t r = 2 + rng() % 13, c = 2 + rng() % 13;
    if (kind <= 1) c = r;
    if ((kind == 2 && r < c) || (kind == 3 && r > c)) std::swap(r, c);
    if (kind == 4) r = c = 15 + rng() % 4;
    M a = random_int(rng, r, c, kind == 4 ? 30 : rng() % 2 == 0 ? 6 : 20);
    if (round % 3 == 0 && kind != 4)  // thin: about two entries a row
      for (auto& row : a)
        for (auto& x : row)
          if (rng() % c >= 2) x = 0;
    if (round % 4 == 1)  // a few entries past 2^62
      for (int t = 0; t < 3; ++t) {
        BigRef& x = a[rng() % r][rng() % c];
        x = x * BigRef::pow2(unsigned(60 + rng() % 30)) + BigRef(std::int64_t(rng() >> 1));
      }
    if (kind == 1 && r >= 3)
      for (std::size_t j = 0; j < c; ++j) a[r / 2][j] = a[0][j] * BigRef(2) - a[r - 1][j];
    for (bool sparse : {false, true})
      for (bool transforms : {false, true}) {
        Form want;
        {
          ScopedValue<std::int32_t> cut{normal_form_cell_side, 0};
          want = normal_form(a, sparse, false, nullptr, transforms);
        }
        ScopedValue<std::int32_t> cut{normal_form_cell_side, kind == 4 ? INT32_MAX : 8};
        const Form f = normal_form(a, sparse, false, nullptr, transforms);
        const std::string at = "round " + std::to_string(round) + " sparse " +
                               std::to_string(sparse) + " transforms " + std::to_string(transforms);
        EXPECT_EQ(f.rank, want.rank) << at;
        expect_same_form(f, want, at);
        EXPECT_EQ(f.alphinv, want.alphinv) << at;
        EXPECT_TRUE(hermite_shape(f, false)) << at;
        if (transforms) {
          EXPECT_TRUE(transforms_hold(a, f)) << at;
        }
      }
  }
}

TEST_F(NormalForms, WordColumnsAsEntryByEntry) {
  // Column steps of the exact elimination in words without a test per
  // entry give what steps tested entry by entry give (cut INT32_MAX): short
  // entries beside ones of 40 to 61 bits, so that some sums stay words and
  // others pass them; steps on both sides of a cut of 4; both stores.
  std::mt19937_64 rng(test_seed() + 4760);
  Route route(true);
  for (int round = 0; round < test_iterations(16); ++round) {
    const std::size_t c = 2 + rng() % 7, r = c + rng() % 4;  // not wide: tried with transforms
    M a = random_int(rng, r, c, 8);
    for (auto& row : a)
      for (auto& x : row)
        if (rng() % 4 == 0) x = x * BigRef::pow2(unsigned(32 + rng() % 22));
    for (bool sparse : {false, true}) {
      Form want;
      {
        ScopedValue<std::int32_t> cut{normal_form_word_column, INT32_MAX};
        want = normal_form(a, sparse, false);
      }
      EXPECT_TRUE(transforms_hold(a, want)) << "round " << round;
      for (std::int32_t cut : {1, 4}) {
        ScopedValue<std::int32_t> at{normal_form_word_column, cut};
        const Form f = normal_form(a, sparse, false);
        const std::string where = "round " + std::to_string(round) + " cut " + std::to_string(cut);
        expect_same_form(f, want, where);
      }
    }
  }
}

TEST_F(NormalForms, FlatEliminationAsOnTheCells) {
  // The Euclidean elimination on flat integers against the same steps on
  // the cells (flat 0): form, all four transforms and rank alike, with or
  // without transforms, under budgets from one bit (given up part-way, so
  // the bounded route answers) to none to speak of; entries short, of 40 to
  // 61 bits, of 62 (the longest word, which sums in limbs come back down to)
  // and past two words, units among them for the pivot search.
  ScopedValue<std::int32_t> side{normal_form_direct_side, INT32_MAX},
      bits{normal_form_direct_bits, INT32_MAX};
  auto alike = [](const M& a, bool transforms, std::int32_t budget, const std::string& where) {
    ScopedValue<std::int32_t> per_bit{normal_form_budget_bits, budget};
    Form want;
    {
      ScopedValue<std::int32_t> cells{normal_form_flat_euclid, 0};
      want = normal_form(a, false, false, nullptr, transforms);
    }
    const Form f = normal_form(a, false, false, nullptr, transforms);
    expect_same_form(f, want, where);
    EXPECT_EQ(f.alphinv, want.alphinv) << where;
    EXPECT_EQ(f.rank, want.rank) << where;
    if (transforms) {
      EXPECT_TRUE(transforms_hold(a, f)) << where;
    }
  };
  // A matrix whose pivot searches weigh a 62-bit word against a 62-bit
  // entry come back from limbs.
  const BigRef e132 = BigRef::pow2(132);
  const M edge = {
      {0, 0, -4, 0, 2, 2},
      {4, 0, 0, 0, e132, 4},
      {BigRef(3) * BigRef::pow2(109), -2, BigRef(0) - e132,
       BigRef(std::int64_t{3587179356665791886}), 0, BigRef(std::int64_t{3661467703035308941})},
      {0, BigRef(std::int64_t{3987746292788177060}), 0, -4, 0, 2},
      {-4, -2, BigRef::pow2(59), -4, 0, 0}};
  alike(edge, true, 1 << 20, "62 bits");
  std::mt19937_64 rng(test_seed() + 4761);
  for (int round = 0; round < test_iterations(40); ++round) {
    const std::size_t r = 1 + rng() % 9, c = 1 + rng() % 9;
    M a = random_int(rng, r, c, 1 + int(rng() % 6));
    for (auto& row : a)
      for (auto& x : row) {
        const auto pick = rng() % 12;
        if (pick < 2)
          x = x * BigRef::pow2(unsigned(pick == 0 ? 35 + rng() % 26 : 100 + rng() % 40));
        if (pick == 2)
          x = (BigRef::pow2(61) + BigRef(std::int64_t(rng() >> 3))) *
              BigRef(rng() % 2 == 0 ? 1 : -1);
      }
    if (r >= 3 && rng() % 3 == 0) a[r / 2] = a[0];  // rank short of the rows
    const bool transforms = rng() % 4 != 0;
    const std::int32_t budget = std::array{1, 2, 16, 1 << 20}[rng() % 4];
    alike(a, transforms, budget,
          "round " + std::to_string(round) + " budget " + std::to_string(budget));
  }
}

TEST_F(NormalForms, FlatSparseEliminationAsOnTheCells) {
  // The same for a sparse matrix: one entry a row up to full rows, entries
  // short (units among them), of 35 to 61 bits and past 100 bits, repeated
  // rows, budgets that give up part-way or never, and a cap on the flat
  // copy that some matrices pass (the cells then); the stored results hold
  // no zero (read() checks the store).
  std::mt19937_64 rng(test_seed() + 4762);
  ScopedValue<std::int32_t> side{normal_form_direct_side, INT32_MAX},
      bits{normal_form_direct_bits, INT32_MAX};
  for (int round = 0; round < test_iterations(60); ++round) {
    const std::size_t r = 1 + rng() % 10, c = 1 + rng() % 10, fill = rng() % 4;
    M a = zeros(r, c);
    const int small = 1 + int(rng() % 6);
    const auto entry = [&] {
      BigRef x(std::int64_t(rng() % (2u << small)) - (std::int64_t{1} << small));
      if (x.is_zero()) x = 1;
      const unsigned shift =
          rng() % 5 == 0 ? unsigned(rng() % 2 == 0 ? 35 + rng() % 26 : 100 + rng() % 40) : 0;
      return x * BigRef::pow2(shift);
    };
    for (auto& row : a) {
      if (fill == 0) row[rng() % c] = entry();
      for (auto& x : row)
        if (fill == 3 || (fill > 0 && rng() % 4 < fill)) x = entry();
    }
    if (r >= 3 && rng() % 3 == 0) a[r - 1] = a[0];
    const bool transforms = rng() % 4 != 0;
    const std::int32_t budget = std::array{1, 2, 16, 1 << 20}[rng() % 4];
    ScopedValue<std::int32_t> per_bit{normal_form_budget_bits, budget};
    ScopedValue<std::int32_t> cap{normal_form_flat_sparse_cells, rng() % 5 == 0 ? 20 : 4096};
    Form want;
    {
      ScopedValue<std::int32_t> cells{normal_form_flat_euclid, 0};
      want = normal_form(a, true, false, nullptr, transforms);
    }
    const Form f = normal_form(a, true, false, nullptr, transforms);
    const std::string where =
        "round " + std::to_string(round) + " budget " + std::to_string(budget);
    expect_same_form(f, want, where);
    EXPECT_EQ(f.alphinv, want.alphinv) << where;
    EXPECT_EQ(f.rank, want.rank) << where;
  }
}

TEST_F(NormalForms, FlatEntriesOrderedAcrossTheWordBoundary) {
  // Both flat eliminations order entries by abs_less_by_length: a word may
  // hold 62 bits and so may an entry in limbs that a sum left there, so
  // each value below 2^62 is stored both ways; the order must be that of
  // the magnitudes whatever the storage.
  const __int128 one = 1;
  std::vector<__int128> v;
  for (__int128 m : {one, one << 28, (one << 61) + 1, (one << 62) - 2, (one << 62) - 1, one << 62,
                     (one << 62) + 1, (one << 64) - 1, one << 64, (one << 100) + 3})
    for (int sign : {1, -1}) v.push_back(sign * m);
  wide::Store s(2 * v.size());
  for (std::size_t k = 0; k < v.size(); ++k) {
    if (v[k] < (one << 62) && v[k] > -(one << 62)) s.set(2 * k, static_cast<std::int64_t>(v[k]));
    s.make_big(2 * k + 1).assign_wide(v[k]);  // unsettled: limbs even when a word would do
  }
  const auto mag = [](__int128 x) { return x < 0 ? -x : x; };
  for (std::size_t i = 0; i < 2 * v.size(); ++i)
    for (std::size_t j = 0; j < 2 * v.size(); ++j) {
      if (s.zero(i) || s.zero(j)) continue;
      EXPECT_EQ(wide::abs_less_by_length(s, i, j), mag(v[i / 2]) < mag(v[j / 2])) << i << " " << j;
    }
}

TEST_F(NormalForms, ScaledAdditionOfTheStoreAsInBigIntegers) {
  // s[x] += sign f s[y] against the same sum of ZInts: entries and factors
  // short, near the 62-bit end of a word and in limbs, of both signs, sums
  // that cancel to zero; the entry is then written to a number and read
  // back.
  std::mt19937_64 rng(test_seed() + 4762);
  auto draw = [&rng]() {
    const auto pick = rng() % 5;
    ZInt v = pick == 0   ? ZInt(0)
             : pick == 1 ? ZInt(static_cast<std::int64_t>(rng() % 2000))
             : pick == 2 ? ZInt((std::int64_t{1} << 61) + static_cast<std::int64_t>(rng() >> 4))
                         : ZInt(static_cast<std::int64_t>(rng() >> 2)) *
                               ZInt(static_cast<std::int64_t>(rng() >> (pick == 3 ? 40 : 2)));
    return rng() % 2 == 0 ? v : -v;
  };
  for (int round = 0; round < test_iterations(400); ++round) {
    const ZInt x = draw(), y = draw();
    const ZInt fv = rng() % 4 == 0 ? ZInt(rng() % 2 == 0 ? 1 : -1) : draw();
    const int sign = rng() % 2 == 0 ? 1 : -1;
    wide::Store s(2);
    s.set(0, x);
    s.set(1, y);
    wide::Factor f;
    f.set(fv);
    wide::WideInt scratch;
    wide::add_scaled(s, 0, 1, f, sign, &scratch);
    const ZInt want = sign > 0 ? x + fv * y : x - fv * y;
    ASSERT_EQ(s.value(0), want) << "round " << round;
    EXPECT_EQ(s.value(1), y) << "round " << round;
    Value cell = Value::number(0);
    wide::store_entry(s, 0, cell->ncoef);
    EXPECT_EQ(ZInt::from_number(cell->ncoef), want) << "round " << round;
  }
  // Slots handed on by finished stores: entries of up to 900 bits (some
  // past the limbs a slot holds inline), then a second store whose words
  // go into slots and grow there must hold exactly its own values.
  for (int round = 0; round < 4; ++round) {
    {
      wide::Store s(40);
      for (std::size_t i = 0; i < 40; ++i) {
        ZInt v = ZInt(static_cast<std::int64_t>(rng() >> 1)) *
                 ZInt(1 + static_cast<std::int64_t>(rng() % 7));
        for (std::uint64_t k = rng() % 14; k-- > 0;)
          v = v * ZInt(static_cast<std::int64_t>(rng() >> 1));
        s.set(i, rng() % 2 == 0 ? v : -v);
      }
    }
    wide::Store t(40);
    wide::WideInt scratch;
    for (std::size_t i = 0; i < 40; ++i) {
      const std::int64_t w = static_cast<std::int64_t>(rng() % 1000) - 500;
      const std::int64_t top = std::int64_t{1} << 60;
      const ZInt fv = ZInt(top | static_cast<std::int64_t>(rng() >> 4)) *
                      ZInt(top | static_cast<std::int64_t>(rng() >> 4));
      t.set(i, w);
      t.make_big(i);  // the word moves into a slot
      ASSERT_EQ(t.value(i), ZInt(w)) << "round " << round << " entry " << i;
      wide::Store y(1);
      y.set(0, fv);
      t.make_big(i).add_product(y.big(0), y.big(0), true);
      t.settle(i);
      ASSERT_EQ(t.value(i), ZInt(w) - fv * fv) << "round " << round << " entry " << i;
    }
  }
  // A sum that cancels: x - 1 * x is 0 by either path.
  for (const ZInt& x : {ZInt(5), ZInt(std::int64_t{1} << 61) * ZInt(3),
                        ZInt(std::int64_t{1} << 61) * ZInt(std::int64_t{1} << 61)}) {
    wide::Store s(2);
    s.set(0, x);
    s.set(1, x);
    wide::Factor one;
    one.set(1);
    wide::WideInt scratch;
    wide::add_scaled(s, 0, 1, one, -1, &scratch);
    EXPECT_TRUE(s.zero(0));
  }
}

TEST_F(NormalForms, WideStepsAsInLimbs) {
  // Steps past a word in 128-bit arithmetic give the forms and transforms
  // that limbs give (wide bits 0): entries of 30 to 110 bits beside short
  // ones, so that steps fall on both sides of cuts of 80 and 125.
  std::mt19937_64 rng(test_seed() + 4759);
  Route route(true);
  for (int round = 0; round < test_iterations(16); ++round) {
    const std::size_t r = 2 + rng() % 6, c = 2 + rng() % 6;
    M a = zeros(r, c);
    for (auto& row : a)
      for (auto& x : row) {
        if (rng() % 5 < 2) continue;
        x = BigRef(std::int64_t(rng() % 2000) - 1000);
        if (rng() % 2 == 0)
          x = x * BigRef::pow2(unsigned(30 + rng() % 80)) + BigRef(std::int64_t(rng() >> 2));
      }
    Form want;
    {
      ScopedValue<std::int32_t> cut{normal_form_wide_bits, 0};
      want = normal_form(a, false, false);
    }
    for (std::int32_t bits : {80, 125}) {
      ScopedValue<std::int32_t> cut{normal_form_wide_bits, bits};
      const Form f = normal_form(a, false, false);
      expect_same_form(f, want, "round " + std::to_string(round) + " cut " + std::to_string(bits));
    }
  }
}

TEST_F(NormalForms, ResidueProductCheckIsExact) {
  // The check of a b = c modulo word primes against the exact one: true
  // products, and false ones off by 1 or by the product of the first few
  // primes the check uses (caught only when the primes cover the bound),
  // entries short and past 2^62.
  std::mt19937_64 rng(test_seed() ^ 7727);
  auto big = [&](int digits) {
    std::vector<std::uint32_t> d(static_cast<std::size_t>(digits));
    for (auto& x : d) x = static_cast<std::uint32_t>(rng() % (1u << 28));
    return rng() % 4 == 0 ? ZInt(0) : ZInt::from_digits(std::move(d), rng() % 2 == 0 ? 1 : -1);
  };
  for (int round = 0; round < test_iterations(30); ++round) {
    const std::int32_t r = 1 + std::int32_t(rng() % 8), k = 1 + std::int32_t(rng() % 80),
                       c = 1 + std::int32_t(rng() % 8);
    ZMatrix a(r, k), b(k, c);
    for (ZInt& x : a.cell) x = big(round % 3 == 0 ? 4 : 1);
    for (ZInt& x : b.cell) x = big(1 + round % 9);
    ZMatrix p = a * b;
    EXPECT_EQ(residue_product_equals(a, b, p), product_equals(a, b, p)) << "round " << round;
    EXPECT_TRUE(residue_product_equals(a, b, p)) << "round " << round;
    ZInt off = 1;
    const std::size_t primes = rng() % 5;
    for (std::size_t t = 0; t < primes; ++t) off *= ZInt(std::int64_t{word_prime(t)});
    p.at(std::int32_t(rng() % std::uint64_t(r)), std::int32_t(rng() % std::uint64_t(c))) +=
        rng() % 2 == 0 ? off : -off;
    EXPECT_FALSE(residue_product_equals(a, b, p)) << "round " << round;
  }
}

TEST_F(NormalForms, LongEntriesAsTheModularRoute) {
  // Entries of 380 to 640 bits (around the limbs an entry holds inline)
  // beside short ones, and rows that are a short multiple of the row above
  // plus short entries, so that long entries shrink back to words and
  // change sign through zero: the exact elimination gives the forms and
  // transforms of the route modulo a determinant (cut 0), and they hold.
  std::mt19937_64 rng(test_seed() + 4761);
  Route route(true);
  for (int round = 0; round < test_iterations(12); ++round) {
    const std::size_t c = 2 + rng() % 5, r = c + rng() % 3;
    M a = zeros(r, c);
    for (auto& row : a)
      for (auto& x : row) {
        x = BigRef(std::int64_t(rng() % 2000) - 1000);
        if (rng() % 2 == 0)
          x = x * BigRef::pow2(unsigned(380 + rng() % 260)) + BigRef(std::int64_t(rng() >> 2));
      }
    for (std::size_t i = 1; i < r; i += 2) {
      const BigRef k(std::int64_t(rng() % 7) - 3);
      for (std::size_t j = 0; j < c; ++j)
        a[i][j] = a[i - 1][j] * k + BigRef(std::int64_t(rng() % 9) - 4);
    }
    expect_alike_by_either_route(a, "round " + std::to_string(round));
  }
}

TEST_F(NormalForms, ModularTransformsAlikeByEitherKernel) {
  // Dense matrices of every shape past the exact elimination, with
  // transforms: the forms and transforms of the route modulo a determinant
  // are the same with its faster kernels (exact division from one digit,
  // determinants by word images up to side 10, rows below the rank proven
  // by their solve from two, cofactors in words to 124 bits, products
  // checked modulo primes to inner side 6, rows below the rank from D M^-1
  // to 6 columns, a singular square's determinant skipped past side 5) as
  // with the plain ones (the long division, the determinant methods, the
  // proof by the product, cofactors and products in big integers, those
  // rows by a solve, the determinant first), for determinants of one digit
  // and of several.
  std::mt19937_64 rng(test_seed() ^ 5103);
  Route route(true);
  ScopedValue<std::int32_t> past{normal_form_exact_side, 0};
  for (int round = 0; round < test_iterations(8); ++round) {
    const std::size_t r = 2 + rng() % 9;
    const std::size_t c =
        round % 4 == 1 ? r + 1 + rng() % 4
        : round % 4 == 2
            ? std::size_t(std::max<std::int64_t>(1, std::int64_t(r) - 1 - std::int64_t(rng() % 3)))
            : r;
    M a = random_int(rng, r, c, round % 2 == 0 ? 2 : 1 + static_cast<int>(rng() % 20));
    if (round % 4 == 3)  // rank one short
      for (std::size_t j = 0; j < c; ++j) a[r - 1][j] = a[0][j] * BigRef(2) - a[1][j];
    Form want;
    {
      ScopedValue<std::int32_t> plain{normal_form_exact_digits, INT32_MAX};
      ScopedValue<std::int32_t> methods{normal_form_crt_det_side, 0};
      ScopedValue<std::int32_t> product{normal_form_proof_rows, INT32_MAX};
      ScopedValue<std::int32_t> big{xgcd_wide_bits, 0};
      ScopedValue<std::int32_t> exact{normal_form_residue_check, 0};
      ScopedValue<std::int32_t> solved{normal_form_rest_side, 0};
      ScopedValue<std::int32_t> det_first{normal_form_singular_side, INT32_MAX};
      want = normal_form(a, false, false);
    }
    EXPECT_TRUE(transforms_hold(a, want)) << "round " << round;
    ScopedValue<std::int32_t> fast{normal_form_exact_digits, 1};
    ScopedValue<std::int32_t> images{normal_form_crt_det_side, 10};
    ScopedValue<std::int32_t> solve{normal_form_proof_rows, 2};
    ScopedValue<std::int32_t> words{xgcd_wide_bits, 124};
    ScopedValue<std::int32_t> residues{normal_form_residue_check, 6};
    ScopedValue<std::int32_t> inverse{normal_form_rest_side, 6};
    ScopedValue<std::int32_t> det_last{normal_form_singular_side, 5};
    const Form f = normal_form(a, false, false);
    expect_same_form(f, want, "round " + std::to_string(round));
  }
}

}  // namespace
}  // namespace tavrin::test
