// Sparse Gaussian elimination: known answers (sizes 1, empty rows, the sign
// of exchanges, the row limit, the banner), planted determinants (P L U with
// known diagonal) in seven rings, and a differential test against cofactor
// expansion on small random matrices, singular ones included.
#include "core/error_codes.h"
#include "det/sparse_gauss.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "matrix/pivot_search.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/relation_scope.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class SparseGauss : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
  }
  PolyVars vars_{"x", "y"};
};

// The determinant of m by sparse elimination (a borrowed copy: checked
// unchanged) and, once more, of a temporary (used up).
Value gauss_det(const Mat& m) {
  sparseptr sp = to_sparse(m);
  Value d = Value::number(BigRef(7));
  sparse_gauss_elim(&sp, d.cell(), m.rows, 3, false);
  EXPECT_TRUE(same_mat(from_sparse(sp, m.rows, m.rows), m));
  Value again;
  sparse_gauss_elim(&sp, again.cell(), m.rows, 3, true);
  EXPECT_EQ(sp, nullptr);
  EXPECT_TRUE(quoly_equal(d, again));
  return d;
}

Value product(quoly a, quoly b) {
  Value p;
  quoly_mult(a, b, p.cell());
  return p;
}

// The determinant by cofactor expansion along the first column.
Value cofactor_det(const Mat& m) {
  if (m.rows == 1) {
    Value v = Value::number(BigRef(0));
    if (m.get(0, 0) != nullptr) quoly_assign(m.get(0, 0), v.cell());
    return v;
  }
  Value sum = Value::number(BigRef(0));
  for (std::int32_t r = 0; r < m.rows; ++r) {
    if (m.get(r, 0) == nullptr) continue;
    Mat minor(m.rows - 1, m.rows - 1);
    for (std::int32_t i = 0, mi = 0; i < m.rows; ++i) {
      if (i == r) continue;
      for (std::int32_t j = 1; j < m.rows; ++j)
        if (m.get(i, j) != nullptr) quoly_assign(m.get(i, j), minor.at(mi, j - 1).cell());
      ++mi;
    }
    Value term = product(m.get(r, 0), cofactor_det(minor));
    if (r % 2 == 1) quoly_inplace(term);
    best_quoly_add(sum.cell(), term.get());
    *term.cell() = nullptr;
  }
  return sum;
}

TEST_F(SparseGauss, KnownAnswers) {
  NodeBalance balance;
  auto det_of = [](const std::vector<std::vector<int>>& t) {
    Mat m(std::int32_t(t.size()), std::int32_t(t.size()));
    for (std::size_t i = 0; i < t.size(); ++i)
      for (std::size_t j = 0; j < t.size(); ++j)
        if (t[i][j] != 0) m.at(std::int32_t(i), std::int32_t(j)) = Value::number(BigRef(t[i][j]));
    return number_value(gauss_det(m)->ncoef);
  };
  EXPECT_EQ(det_of({{-6}}), BigRef(-6));
  EXPECT_EQ(det_of({{0}}), BigRef(0));
  EXPECT_EQ(det_of({{1, 2, 3}, {0, 0, 0}, {4, 5, 6}}), BigRef(0));
  // Step 1 takes the single-entry column 3's entry 5 at (2, 3): one column
  // and one row exchange; then 7 at (2, 2).
  EXPECT_EQ(det_of({{2, 3, 0}, {0, 0, 5}, {4, 7, 0}}), BigRef(-10));
  EXPECT_EQ(det_of({{0, 1}, {1, 0}}), BigRef(-1));
  EXPECT_EQ(det_of({{2, 0, 0, 1}, {0, 3, 0, 0}, {0, 0, 4, 0}, {1, 0, 0, 2}}), BigRef(36));
  // 50,000 rows are served (row 1 empty: 0 at the first step); 50,001 are
  // refused before anything changes.
  sparseptr big = nullptr;
  sparse_init(&big, max_pivot_rows + 1);
  colm_ptrptr head = sparse_row(big, 2);
  newcolm(head);
  (*head)->coord = 2;
  (*head)->next = nullptr;
  (*head)->val = nullptr;
  quoly_set(3, &(*head)->val);
  Value d = Value::number(BigRef(7));
  sparse_gauss_elim(&big, d.cell(), max_pivot_rows, 3, false);
  EXPECT_EQ(number_value(d->ncoef), BigRef(0));
  bool unwound = false;
  const std::string out =
      output_of([&] { sparse_gauss_elim(&big, d.cell(), max_pivot_rows + 1, 3, true); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, sparse_matrix_too_large_error)) << out;
  EXPECT_NE(big, nullptr);
  EXPECT_EQ(number_value(d->ncoef), BigRef(0));
  free_sparse(&big, max_pivot_rows + 1, true);
  // Through the router's default table, with the banner.
  ScopedValue<bool> loud(verbose, true);
  Mat m(4, 4);
  const int entries[][3] = {{0, 0, 1}, {0, 1, 2}, {1, 0, 3}, {1, 1, 4},
                            {2, 2, 1}, {2, 3, 1}, {3, 3, 5}};
  for (const auto& e : entries) m.at(e[0], e[1]) = Value::number(BigRef(e[2]));
  sparseptr sp = to_sparse(m);
  const std::string banner = output_of([&] {
    mat_invert(nullptr, nullptr, 4, d.cell(), &sp, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .equal = true});
  });
  EXPECT_EQ(sp, nullptr);
  EXPECT_EQ(number_value(d->ncoef), BigRef(-10));
  EXPECT_NE(banner.find("Gauss-Jordan elim method, sparse, size 4"), std::string::npos) << banner;
}

struct RingCase {
  const char* name;
  std::int32_t modulus;  // 0: rational arithmetic
  bool polys, fractions;
};

// A random non-zero entry of the ring.
Value random_entry(std::mt19937_64& g, const RingCase& rc) {
  auto small = [&g] { return std::int64_t(g() % 17) - 8; };
  auto number = [&]() {
    std::int64_t v = 0;
    while (v == 0) v = rc.modulus > 0 ? std::int64_t(g() % std::uint64_t(rc.modulus)) : small();
    return Value::number(BigRef(v));
  };
  auto base = [&]() {
    if (!rc.polys || g() % 3 == 0) return number();
    const std::int64_t a = small(), b = small();
    if (a == 0 && b == 0) return number();
    auto term = [](std::int64_t c, const char* mono) {
      return (c < 0 ? " - " : " + ") + std::to_string(c < 0 ? -c : c) + mono;
    };
    const std::string text =
        "0" + term(a, g() % 2 ? "*x^2" : "*x") + term(b, "*x*y") + term(small(), "");
    return Value::ratfun(text);
  };
  Value v = base();
  if (!rc.fractions || g() % 2 == 0) return v;
  Value q;
  quoly_quot(v, base(), q.cell(), false);
  return q;
}

TEST_F(SparseGauss, PlantedDeterminantsAndCofactorCrossCheck) {
  const RingCase rings[] = {
      {"Z", 0, false, false},           {"Q", 0, false, true},
      {"Z/32003", 32003, false, false}, {"Z/2147483629", 2147483629, false, false},
      {"GF(256)", 256, false, false},   {"Z[x,y]", 0, true, false},
      {"Q(x,y)", 0, true, true}};
  std::mt19937_64 rng(4444);
  for (const RingCase& rc : rings) {
    std::optional<ModulusScope> mod;
    if (rc.modulus > 0) mod.emplace(rc.modulus);
    NodeBalance balance;
    for (int trial = 0; trial < 12; ++trial) {
      const std::int32_t n = 1 + std::int32_t(rng() % (rc.polys ? 7 : 12));
      // L unit lower, U upper with diagonal d; 1-3 further entries a row each.
      Mat l(n, n), u(n, n);
      Value planted = Value::number(BigRef(1));
      for (std::int32_t i = 0; i < n; ++i) {
        l.at(i, i) = Value::number(BigRef(1));
        u.at(i, i) = random_entry(rng, rc);
        planted = product(planted, u.get(i, i));
        for (std::uint64_t e = rng() % 3; e-- > 0;) {
          const std::int32_t j = std::int32_t(rng() % std::uint64_t(n));
          if (j < i) l.at(i, j) = random_entry(rng, rc);
          if (j > i) u.at(i, j) = random_entry(rng, rc);
        }
      }
      Mat a = schoolbook(l, u);
      // Rows shuffled: each exchange negates the planted value.
      for (std::int32_t i = n - 1; i > 0; --i) {
        const std::int32_t j = std::int32_t(rng() % std::uint64_t(i + 1));
        if (j == i) continue;
        for (std::int32_t c = 0; c < n; ++c) std::swap(a.at(i, c), a.at(j, c));
        quoly_inplace(planted);
      }
      Value d = gauss_det(a);
      EXPECT_TRUE(quoly_equal(d, planted)) << rc.name << " trial " << trial << " n " << n;
      EXPECT_TRUE(normal_value(d));
      // A random small matrix, zeros and singular ones included.
      const std::int32_t s = 1 + std::int32_t(rng() % 5);
      Mat b =
          random_mat(rng, s, s, 0.45, [&rc](std::mt19937_64& g) { return random_entry(g, rc); });
      if (s > 1 && rng() % 4 == 0)
        for (std::int32_t c = 0; c < s; ++c)
          if (b.get(0, c) != nullptr) quoly_assign(b.get(0, c), b.at(1, c).cell());
      EXPECT_TRUE(quoly_equal(gauss_det(b), cofactor_det(b))) << rc.name << " trial " << trial;
    }
  }
}

// With y^2 = 2 modded out the elimination runs over Z[x, y] and reduces the
// result; cofactor expansion reduces every product. Both are the same
// normal form, and the relations are back in force afterwards.
TEST_F(SparseGauss, SuspendedRelationsAgreeWithReducedProducts) {
  ModOutScope rel(vars_, 2, "y^2 - 2");
  std::mt19937_64 rng(2);
  const RingCase rc{"Z[x,y]/(y^2-2)", 0, true, false};
  for (int trial = 0; trial < 6; ++trial) {
    const std::int32_t s = 4 + trial % 2;
    Mat b = random_mat(rng, s, s, 0.3, [&rc](std::mt19937_64& g) { return random_entry(g, rc); });
    EXPECT_TRUE(quoly_equal(gauss_det(b), cofactor_det(b))) << "trial " << trial;
    EXPECT_FALSE(using_new_polynames);
  }
}

}  // namespace
}  // namespace tavrin::test
