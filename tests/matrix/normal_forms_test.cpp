// Integer Hermite and Smith normal forms: the pivot searches on a table of
// known answers; the forms of small known matrices; and, the main weight,
// random matrices checked by their defining invariants with test-side
// products (alpha*A*beta = H, the inverses, unimodular beta, the shape of
// the form), dense against sparse, and planted Smith forms.
#include "matrix/normal_forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/int_pivot_search.h"
#include "matrix/matrix_support.h"
#include "matrix/pivot_search.h"
#include "numbers/freelists.h"
#include "support/bigref.h"
#include "support/output_capture.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

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
// Fraction-free (Bareiss) determinant.
BigRef det(M a) {
  const std::size_t n = a.size();
  BigRef prev = 1, sign = 1;
  for (std::size_t k = 0; k + 1 < n; ++k) {
    std::size_t p = k;
    while (p < n && a[p][k].is_zero()) ++p;
    if (p == n) return 0;
    if (p != k) std::swap(a[p], a[k]), sign = -sign;
    for (std::size_t i = k + 1; i < n; ++i)
      for (std::size_t j = k + 1; j < n; ++j) a[i][j] = (a[i][j] * a[k][k] - a[i][k] * a[k][j]) / prev;
    prev = a[k][k];
  }
  return sign * a[n - 1][n - 1];
}
BigRef mod(const BigRef& x, const BigRef& m) {
  BigRef r = x % m;
  return r.negative() ? r + m : r;
}
M random_int(std::mt19937_64& rng, std::size_t r, std::size_t c, int bits) {
  M m = zeros(r, c);
  std::uniform_int_distribution<std::int64_t> d(-(std::int64_t{1} << bits), std::int64_t{1} << bits);
  for (auto& row : m)
    for (auto& x : row) x = rng() % 4 == 0 ? BigRef(0) : BigRef(d(rng));
  return m;
}

// The matrix as a dense named array on one page of the store, or sparse.
struct Array {
  arrnode q{};
  storerec page{};
  ScopedValue<storeptr> first{arp[0], &page};
  std::vector<Value> vals;
  std::int32_t rows, cols;
  Array(const M& a, bool sparse) : rows(std::int32_t(a.size())), cols(std::int32_t(a[0].size())) {
    q.rows = rows;
    q.start = 0;
    q.stop = rows * cols - 1;
    set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
    Mat m(rows, cols);
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < cols; ++c) {
        vals.push_back(Value::number(a[r][c]));
        page.cell[r + c * rows] = vals.back().get();
        if (!a[r][c].is_zero()) m.at(r, c) = Value::number(a[r][c]);
      }
    if (sparse) q.spar = to_sparse(m);
  }
  ~Array() {
    free_sparse(&q.spar, rows, true);
    special_free(&q.sizearr);
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
        for (std::int32_t c = 0; c < cols; ++c) h[r][c] = number_value(page.cell[r + c * rows]->ncoef);
    }
    return h;
  }
};

struct Form {
  M h, alpha, beta, alphinv, betinv;
  std::int32_t rank;
};

// The Hermite (smith false) or Smith form of a with all four transforms.
Form normal_form(const M& a, bool sparse, bool smith, const BigRef* pd = nullptr) {
  Array arr(a, sparse);
  const std::int32_t r = arr.rows, c = arr.cols;
  const bool want[6] = {true, true, true, true, false, false};
  std::unique_ptr<workarray> w[4] = {fresh_work(), fresh_work(), fresh_work(), fresh_work()};
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
  for (int t = 0; t < 4; ++t) {
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
        for (std::int32_t j = 0; j < s; ++j) (*out[t])[i][j] = number_value(w[t]->stash[i + j * s]->ncoef);
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
  if (bits < 100 && !(det(f.beta).abs() == BigRef(1)))
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
      if (std::int64_t(i) < r && i == j && x.sign() <= 0) return ::testing::AssertionFailure() << "pivot " << i;
      const bool zero_here = std::int64_t(i) < r ? j > i : std::int64_t(j) >= r;
      if (zero_here && !x.is_zero()) return ::testing::AssertionFailure() << "entry " << i << "," << j;
      if (std::int64_t(i) < r && j < i &&
          (x.abs() >= f.h[i][i] || (!sparse && x.negative())))
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
  }
  ScopedValue<std::int32_t> half_{wanthalf, 1};
};

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
      const BigRef d = det(a).abs();
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
      for (std::size_t k = 0; k < n; ++k) a[0][k] = a[0][k] * BigRef(6), a[1][k] = a[1][k] * BigRef(4);
      for (std::size_t k = 0; k < n; ++k) a[k][n - 1] = a[k][n - 1] * BigRef(9);
    }
    const M h = smith_modular(a, &taken);
    if (det(a).is_zero()) {
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
    EXPECT_EQ(min == n - 1 ? p : BigRef(0), det(a)) << "round " << round;
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
      [&] { intcolred(n.cell(), &q, want, nullptr, nullptr, nullptr, nullptr, aux, false, nullptr); },
      &unwound);
  EXPECT_TRUE(unwound && reports(out, too_many_pivot_rows_error)) << out;
  EXPECT_EQ(number_value((*sparse_row(q.spar, 2))->val->ncoef), BigRef(3));
  EXPECT_EQ(aux[0], nullptr);
  EXPECT_EQ(number_value(n->ncoef), BigRef(5));
  free_sparse(&q.spar, rows, true);
  special_free(&q.sizearr);
}

}  // namespace
}  // namespace tavrin::test
