// Integer determinants by word-prime images and the adjugate: known answers
// (cut-offs, prime counts around the end of the table, small and singular
// matrices), random matrices against a test-side fraction-free elimination,
// planted determinants det(L U) with entries past the prime table, and the
// identities A adj(A) = det(A) I and A A^-1 = I.
#include "det/int_determ.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/divisor_determ.h"
#include "matrix/int_images.h"
#include "matrix/matrix_support.h"
#include "det/adjugate.h"
#include "det/dense_gauss.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"

namespace tavrin::test {
namespace {

class IntDeterm : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
    allocate_work_areas();
  }
};

using Table = std::vector<std::vector<BigRef>>;

Mat to_mat(const Table& t) {
  const auto n = static_cast<std::int32_t>(t.size());
  Mat m(n, n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j) m.at(i, j) = Value::number(t[i][j]);
  return m;
}

// Fraction-free elimination on the test side.
BigRef bareiss(Table a) {
  const std::size_t n = a.size();
  BigRef prev = 1, sign = 1;
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t r = k;
    while (r < n && a[r][k] == BigRef(0)) ++r;
    if (r == n) return 0;
    if (r != k) std::swap(a[r], a[k]), sign = -sign;
    for (std::size_t i = k + 1; i < n; ++i)
      for (std::size_t j = k + 1; j < n; ++j)
        a[i][j] = (a[k][k] * a[i][j] - a[i][k] * a[k][j]) / prev;
    prev = a[k][k];
  }
  return n == 0 ? BigRef(1) : sign * a[n - 1][n - 1];
}

BigRef int_det(const Table& t, std::string* out = nullptr, const BigRef& given = -1) {
  const auto n = static_cast<std::int32_t>(t.size());
  auto w = fresh_work();
  Descr f;
  to_dense(to_mat(t), w.get(), f.get());
  Value d = Value::number(0), bound = Value::number(given);
  const std::string text =
      output_of([&] { int_determ(d.cell(), nullptr, w.get(), n, bound.cell()); });
  if (out != nullptr) *out = text;
  EXPECT_TRUE(same_mat(from_dense(w.get(), n, n), to_mat(t)));
  free_cells(w.get(), n * n);
  return number_value(d->ncoef);
}

Table random_table(std::mt19937_64& rng, std::int32_t n, std::int64_t span, unsigned shift) {
  Table t(static_cast<std::size_t>(n), std::vector<BigRef>(static_cast<std::size_t>(n)));
  std::uniform_int_distribution<std::int64_t> e(-span, span);
  for (auto& row : t)
    for (auto& x : row) x = BigRef(e(rng)) << shift;
  return t;
}

Table product(const Table& a, const Table& b) {
  const std::size_t n = a.size();
  Table c(n, std::vector<BigRef>(n, BigRef(0)));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      for (std::size_t k = 0; k < n; ++k) c[i][j] = c[i][j] + a[i][k] * b[k][j];
  return c;
}

// L U with unit triangles (off-diagonal entries about 2^shift) and the
// diagonal 1..7 with alternating signs; *det := its product.
Table planted(std::mt19937_64& rng, std::int32_t n, unsigned shift, BigRef* det) {
  Table l(n, std::vector<BigRef>(n, BigRef(0))), u = l;
  *det = 1;
  std::uniform_int_distribution<std::int64_t> e(-1000, 1000);
  for (std::int32_t i = 0; i < n; ++i) {
    l[i][i] = 1;
    u[i][i] = BigRef(1 + i % 7) * (i % 2 == 0 ? 1 : -1);
    *det = *det * u[i][i];
    for (std::int32_t j = 0; j < i; ++j) l[i][j] = BigRef(e(rng)) << shift;
    for (std::int32_t j = i + 1; j < n; ++j) u[i][j] = BigRef(e(rng)) << shift;
  }
  return product(l, u);
}

TEST_F(IntDeterm, KnownAnswers) {
  const std::pair<std::int32_t, std::int32_t> cuts[] = {{5, 1000000}, {6, 2},  {8, 4},  {9, 6},
                                                        {13, 10},     {14, 5}, {15, 5}, {16, 6}};
  for (auto [rows, cut] : cuts) {
    set_min_cut(rows);
    EXPECT_EQ(mincutoff, cut) << rows;
  }
  EXPECT_DOUBLE_EQ(fsmallsize(13), 1.0);
  EXPECT_NEAR(fsmallsize(18), 0.333333, 1e-6);
  EXPECT_NEAR(fsmallsize(19), -7.0 / 150 + 0.333333, 1e-9);
  EXPECT_EQ(fsmallsize(24), 0.0);
  EXPECT_EQ(int_det({{1, 2}, {3, 4}}), BigRef(-2));
  EXPECT_EQ(int_det({{7}}), BigRef(7));
  EXPECT_EQ(int_det({{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 1}, {5, 6, 7, 8}}), BigRef(0));
  EXPECT_EQ(int_det({{0, 0, 0, -3}, {0, 0, 5, 0}, {0, 2, 0, 0}, {1, 0, 0, 0}}), BigRef(-30));
  EXPECT_EQ(int_det({{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, -9}}), BigRef(9));
  // Vandermonde of 1..5: 1! 2! 3! 4!, with the prime count in verbose mode.
  Table h(5, std::vector<BigRef>(5));
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) h[i][j] = BigRef(1) * static_cast<std::int64_t>(std::pow(i + 1, j));
  std::string out;
  {
    ScopedValue<bool> v(verbose, true);
    EXPECT_EQ(int_det(h, &out), BigRef(288));
  }
  EXPECT_NE(out.find("CRT. number of primes needed is "), std::string::npos) << out;
  // The images leave the caller's word modulus, modes and entries as they were.
  {
    ModulusScope mod(7);
    {
      BigModeGuard big;
      const Mat a = to_mat({{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 13}, {2, 3, 5, 7}});
      auto w = fresh_work();
      Descr f;
      to_dense(a, w.get(), f.get());
      Value d = Value::number(0), bound = Value::number(-1);
      int_determ(d.cell(), nullptr, w.get(), 4, bound.cell());
      EXPECT_EQ(number_value(d->ncoef), BigRef(4));
      EXPECT_EQ(modulus, 7);
      EXPECT_TRUE(same_mat(from_dense(w.get(), 4, 4), a));
      free_cells(w.get(), 16);
    }
    EXPECT_TRUE(modularmode && lintmode);
  }
  // Bounds of 342 and 343 limbs take the images; past the table's product
  // generated primes follow, and their product covers the bound.
  for (std::int64_t limbs : {332, 342, 343}) {
    imptr pd = nullptr;
    newimag(&pd);
    pd->size = 0;
    images::set_power_of_two(pd, 28 * limbs - 1);
    const std::int32_t np = images::primes_for(pd);
    EXPECT_GT(np, 599) << limbs;
    BigRef prod = 1;
    for (std::int32_t k = 0; k < np; ++k) prod = prod * BigRef(images::table_then_limb_prime(k));
    EXPECT_FALSE(prod < number_value(pd)) << limbs;
    EXPECT_LT(prod / BigRef(images::table_then_limb_prime(np - 1)), number_value(pd)) << limbs;
    free_imag(&pd);
  }
}

TEST_F(IntDeterm, RandomAndPlantedDeterminants) {
  std::mt19937_64 rng(48);
  for (int round = 0; round < 24; ++round) {
    const std::int32_t n = 1 + round % 12;
    const Table a = random_table(rng, n, 99, round % 3 == 0 ? 90 : 0);
    EXPECT_EQ(int_det(a), bareiss(a)) << n;
    const Table b = random_table(rng, n, 9, 0);
    EXPECT_EQ(int_det(product(a, b)), int_det(a) * int_det(b)) << n;
  }
  // L U with unit triangles and a known diagonal, entries near 2^400.
  BigRef d;
  const Table lu = planted(rng, 30, 190, &d);
  EXPECT_EQ(int_det(lu), d);
  EXPECT_GT(last_prime_count, 599);
}

// The divisor-first route against the images of the table (the route
// switched off) and against planted determinants: Smith invariants far
// from 1, determinants divisible by the first primes of the table, by the
// primes the route images by (the two below the lifting prime), by its
// lifting prime (the next one lifts) or by the first three (it falls back),
// and singular matrices.
TEST_F(IntDeterm, DivisorRouteAgreesWithTheImagesOfTheTable) {
  const auto both_routes = [](const Table& t) {
    const BigRef fast = int_det(t);
    const images::DivisorStats stats = images::last_divisor_stats;
    ScopedValue<bool> off(images::divisor_route_enabled, false);
    EXPECT_EQ(fast, int_det(t)) << t.size();
    return std::pair{fast, stats};
  };
  std::mt19937_64 rng(4848);
  for (int round = 0; round < 14; ++round) {
    const std::int32_t n = 2 + 3 * round;
    const Table a = random_table(rng, n, round % 4 == 3 ? 1 << 20 : 99, 0);
    const auto [det, stats] = both_routes(a);
    EXPECT_GT(stats.lift_steps, 0) << n;
    if (n <= 14) {
      EXPECT_EQ(det, bareiss(a)) << n;
    }
  }
  // One past the column blocks of the elimination (256) and its panels.
  {
    const Table a = random_table(rng, 283, 99, 0);
    const auto [det, stats] = both_routes(a);
    EXPECT_GT(stats.lift_steps, 0);
    EXPECT_NE(det, BigRef(0));
  }
  // The primes below 2^21, downwards: the first lifts, the next two image.
  std::vector<std::int64_t> top;
  for (std::int64_t c = (1 << 21) - 1; top.size() < 3; c -= 2) {
    bool prime = true;
    for (std::int64_t f = 3; f * f <= c && prime; f += 2) prime = c % f != 0;
    if (prime) top.push_back(c);
  }
  const std::vector<std::vector<std::int64_t>> diagonals = {
      {1, 1, 1, 1, 1, 1, 1, 1, 2, 6, 30, -2310},
      {1, 1, 1, 1, -4096, 3 * 3 * 3 * 3 * 3 * 7},
      {1, 1, 1, 1, top[1], -top[2]},
      {1, 1, 1, 1, images::table_then_limb_prime(0),
       -std::int64_t{images::table_then_limb_prime(1)}},
      {1, 1, 1, 1, 2, top[0]},
      {1, 1, 1, top[0], top[1], -top[2]},
      {1, 1, 1, 3, 5, 1 << 20},
      {1, 1, 1, 1, 1, 17, 0},
      {1, 1, 1, 1, 5, 0, 0}};
  for (const auto& diag : diagonals) {
    const auto n = static_cast<std::int32_t>(diag.size());
    std::uniform_int_distribution<std::int64_t> e(-1, 1);
    Table l(n, std::vector<BigRef>(n, BigRef(0))), u = l, dm = l;
    BigRef planted = 1;
    for (std::int32_t i = 0; i < n; ++i) {
      l[i][i] = u[i][i] = 1;
      dm[i][i] = diag[i];
      planted = planted * BigRef(diag[i]);
      for (std::int32_t j = 0; j < i; ++j) l[i][j] = e(rng), u[j][i] = e(rng);
    }
    const auto [det, stats] = both_routes(product(product(l, dm), u));
    EXPECT_EQ(det, planted) << n;
    // Only the one singular modulo all three lifting primes falls back (the
    // singular ones are proven so by a kernel vector); the denominators found
    // carry much of the determinant.
    const bool falls_back = planted != BigRef(0) && diag[3] == top[0];
    EXPECT_EQ(stats.lift_steps == 0, falls_back) << n;
    if (BigRef(1) << 44 < planted * planted && !falls_back) {
      EXPECT_GE(stats.divisor_bits, 12) << n;
    }
  }
}

// Known determinants on the divisor-first route (tridiagonal 2, -1: n + 1;
// min(i, j): 1; J - I: (n - 1)(-1)^(n-1); Vandermonde of 1..8: 1! 2! ... 7!;
// a zero column; singular matrices of several ranks), det(AB) = det A det B
// at sides the route lifts, and the
// matrices it leaves to the table: entries of 2^24 and more, long entries,
// a caller's bound below its own, verbose mode (whose texts are the table's).
TEST_F(IntDeterm, DivisorRouteKnownAnswersAndIdentities) {
  const auto table = [](std::int32_t n, auto entry) {
    Table t(static_cast<std::size_t>(n), std::vector<BigRef>(static_cast<std::size_t>(n)));
    for (std::int32_t i = 0; i < n; ++i)
      for (std::int32_t j = 0; j < n; ++j) t[i][j] = BigRef(entry(i, j));
    return t;
  };
  const auto lifted = [](const Table& t) {
    const BigRef d = int_det(t);
    EXPECT_GT(images::last_divisor_stats.lift_steps, 0) << t.size();
    return d;
  };
  const auto band = [](std::int64_t i, std::int64_t j) {
    return i == j ? 2 : (i - j == 1 || j - i == 1) ? -1 : 0;
  };
  EXPECT_EQ(lifted(table(100, band)), BigRef(101));
  EXPECT_EQ(lifted(table(50, [](std::int64_t i, std::int64_t j) { return 1 + std::min(i, j); })),
            BigRef(1));
  EXPECT_EQ(lifted(table(30, [](std::int64_t i, std::int64_t j) { return i == j ? 0 : 1; })),
            BigRef(-29));
  const auto vandermonde = [](std::int64_t i, std::int64_t j) {
    std::int64_t v = 1;
    for (std::int64_t k = 0; k < j; ++k) v *= i + 1;
    return v;
  };
  EXPECT_EQ(lifted(table(8, vandermonde)), BigRef(125411328000));
  EXPECT_EQ(
      int_det(table(20, [](std::int64_t i, std::int64_t j) { return j == 7 ? 0 : i * j + 1; })),
      BigRef(0));
  std::mt19937_64 rng(4849);
  for (std::int32_t n : {16, 33}) {
    const Table a = random_table(rng, n, 99, 0), b = random_table(rng, n, 9, 0);
    EXPECT_EQ(lifted(product(a, b)), lifted(a) * lifted(b)) << n;
  }
  // Singular matrices of rank n - 1 and n - 3 (rows combined from others,
  // a dependent column placed first or last) are proven singular on the route.
  for (std::int32_t n : {5, 30, 71}) {
    for (int deficiency : {1, 3}) {
      Table a = random_table(rng, n, 99, 0);
      for (int k = 0; k < deficiency; ++k)
        for (std::int32_t j = 0; j < n; ++j)
          a[j][n - 1 - k] = a[j][0] * BigRef(2 + k) - a[j][1 + k];
      if (deficiency == 3)
        for (auto& row : a) std::swap(row[0], row[n - 1]);
      EXPECT_EQ(lifted(a), BigRef(0)) << n << " " << deficiency;
    }
  }
  const auto left = [](const Table& t) {
    const BigRef d = int_det(t);
    EXPECT_EQ(images::last_divisor_stats.lift_steps, 0) << t.size();
    return d;
  };
  Table big = random_table(rng, 10, 99, 0), longer = big;
  big[2][2] = BigRef(1) << 24;
  longer[3][5] = BigRef(1) << 40;
  EXPECT_EQ(left(big), bareiss(big));
  EXPECT_EQ(left(longer), bareiss(longer));
  // A caller's bound below the Hadamard bound: the images of the table
  // answer modulo their product, with the route on or off.
  const auto with_bound = [&](const Table& t, std::int32_t bound) {
    const auto n = static_cast<std::int32_t>(t.size());
    auto w = fresh_work();
    Descr f;
    to_dense(to_mat(t), w.get(), f.get());
    Value d = Value::number(0), b = Value::number(bound);
    int_determ(d.cell(), nullptr, w.get(), n, b.cell());
    free_cells(w.get(), n * n);
    return number_value(d->ncoef);
  };
  const Table c = random_table(rng, 12, 99, 0);
  const BigRef capped = with_bound(c, 1000);
  EXPECT_NE(capped, bareiss(c));
  {
    ScopedValue<bool> off(images::divisor_route_enabled, false);
    EXPECT_EQ(with_bound(c, 1000), capped);
  }
  std::string out;
  {
    ScopedValue<bool> v(verbose, true);
    EXPECT_EQ(left(table(100, band)), BigRef(101));
    out = std::string();
    int_det(table(12, band), &out);
  }
  EXPECT_NE(out.find("CRT. number of primes needed is "), std::string::npos) << out;
}

// The blocked elimination on doubles against the row-by-row kernel, across
// panel and column-block edges, with moduli whose squares force the
// periodic reduction (2^24 - 3: every panel) or never do (7), singular
// matrices (a repeated row) included; the factorisation is checked by
// L U = P A, the adjugate modulo p by a adj(a) = det I, the first column
// without a pivot on a planted dependency.
// A adj(A) = det(A) I by values; inv: A A^-1 = I.
void check_adjugate(const Mat& a, bool inverse_too) {
  const std::int32_t n = a.rows;
  auto w = fresh_work(), o = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  adjoint(w.get(), o.get(), false, n, nullptr);
  const Mat adj = from_dense(o.get(), n, n);
  free_cells(o.get(), n * n);
  Value d = Value::number(1);
  mat_invert(w.get(), w.get(), n, d.cell(), nullptr, nullptr, -1, -1, -1, 0, {.equal = true});
  Mat scaled(n, n);
  for (std::int32_t i = 0; i < n; ++i) {
    Value v = Value::adopt(nullptr);
    quoly_assign(d.get(), v.cell());
    scaled.at(i, i) = std::move(v);
  }
  EXPECT_TRUE(same_mat(schoolbook(a, adj), scaled)) << n;
  if (inverse_too && !quoly_iszero(d.get())) {
    Value det = Value::number(0), bound = Value::number(-1);
    int_determ(det.cell(), nullptr, w.get(), n, bound.cell());
    ASSERT_TRUE(
        mod_matrix_inv(w.get(), o.get(), false, n, det.cell(), bound.cell(), nullptr, true));
    Mat id(n, n);
    for (std::int32_t i = 0; i < n; ++i) id.at(i, i) = Value::number(1);
    EXPECT_TRUE(same_mat(schoolbook(a, from_dense(o.get(), n, n)), id)) << n;
    free_cells(o.get(), n * n);
  }
  free_cells(w.get(), n * n);
}

TEST_F(IntDeterm, LiftedAdjugatesAsTheImages) {
  // The adjugate and the inverse by lifting (cut 0) against the images of
  // the adjoint-CRT method (INT32_MAX): the same values, sides 1 to 40 on
  // both sides of the default cut, negative determinants, B + 7 C with B of
  // rank 1 (repeated invariant factors), and entries of 2^24 (left to the
  // images); A A^-1 = I for the lifted inverse.
  std::mt19937_64 rng(test_seed() ^ 4849);
  for (int round = 0; round < test_iterations(16); ++round) {
    const auto n = static_cast<std::int32_t>(1 + rng() % 40);
    Table t = random_table(rng, n, 99, 0);
    if (round % 4 == 1)
      for (std::int32_t i = 0; i < n; ++i)
        for (std::int32_t j = 0; j < n; ++j)
          t[i][j] = BigRef(std::int64_t((i % 5 + 1) * (j % 3 + 2))) + BigRef(7) * t[i][j];
    if (round % 4 == 2) t[0][0] = BigRef(std::int64_t{1} << 24);
    if (round % 4 == 3) std::swap(t[0], t[n - 1]);
    if (int_det(t).is_zero()) continue;
    auto w = fresh_work();
    Descr f;
    to_dense(to_mat(t), w.get(), f.get());
    Mat out[2][2];  // [cut][inverse]
    for (int cut = 0; cut < 2; ++cut)
      for (int inverse = 0; inverse < 2; ++inverse) {
        ScopedValue<std::int32_t> side(inverse_lift_side, cut == 0 ? INT32_MAX : 0);
        auto o = fresh_work();
        Value d = Value::number(0), bound = Value::number(-1);
        int_determ(d.cell(), nullptr, w.get(), n, bound.cell());
        ASSERT_TRUE(mod_matrix_inv(w.get(), o.get(), false, n, d.cell(), bound.cell(), nullptr,
                                   inverse == 1));
        out[cut][inverse] = from_dense(o.get(), n, n);
        free_cells(o.get(), n * n);
      }
    EXPECT_TRUE(same_mat(out[0][0], out[1][0])) << "round " << round << " side " << n;
    EXPECT_TRUE(same_mat(out[0][1], out[1][1])) << "round " << round << " side " << n;
    Mat id(n, n);
    for (std::int32_t i = 0; i < n; ++i) id.at(i, i) = Value::number(1);
    EXPECT_TRUE(same_mat(schoolbook(to_mat(t), out[1][1]), id)) << "round " << round;
    free_cells(w.get(), n * n);
  }
}

TEST_F(IntDeterm, InversesWithEvenDiagonals) {
  // Upper triangles of side 20 with 60-bit diagonals (every third 2^59),
  // and L U with unit L and diagonals 2^64 + 2, 2^t and odd times 2^t in U,
  // entries -9 .. 9 off the diagonals: inverted in place through the
  // router, as "[w] := [m]^-1" does, and checked by m m^-1 = I.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 92);
  for (int round = 0; round < test_iterations(12); ++round) {
    const bool triangle = round < 3;
    const std::int32_t n = triangle ? 20 : 2 + round % 19;
    Table l = random_table(rng, n, 9, 0), u = random_table(rng, n, 9, 0);
    for (std::int32_t i = 0; i < n; ++i) {
      for (std::int32_t j = 0; j < n; ++j) {
        if (j > i || triangle) l[i][j] = 0;
        if (j < i) u[i][j] = 0;
      }
      l[i][i] = 1;
      u[i][i] = !triangle    ? random_even_factor(rng, i)
                : i % 3 == 0 ? BigRef::pow2(59)
                             : BigRef::pow2(59) + BigRef(static_cast<std::int64_t>(rng() >> 5));
      if (u[i][i].bit_length() > 600) u[i][i] = BigRef::pow2(64) + BigRef(2);
    }
    const Mat a = to_mat(product(l, u));
    auto w = fresh_work();
    Descr f;
    to_dense(a, w.get(), f.get());
    Value d = Value::number(1);
    sparseptr none = nullptr;
    mat_invert(w.get(), w.get(), n, d.cell(), &none, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
    const Mat inverse = from_dense(w.get(), n, n);
    free_cells(w.get(), n * n);
    Mat id(n, n);
    for (std::int32_t i = 0; i < n; ++i) id.at(i, i) = Value::number(1);
    EXPECT_TRUE(same_mat(schoolbook(a, inverse), id)) << round;
  }
}

TEST_F(IntDeterm, AdjugatesAndInverses) {
  {
    const Mat a = to_mat({{5, -7}, {3, 11}});
    auto w = fresh_work(), o = fresh_work();
    Descr f;
    to_dense(a, w.get(), f.get());
    adjoint(w.get(), o.get(), false, 2, nullptr);
    EXPECT_TRUE(same_mat(from_dense(o.get(), 2, 2), to_mat({{11, 7}, {-3, 5}})));
    free_cells(o.get(), 4);
    free_cells(w.get(), 4);
  }
  std::mt19937_64 rng(4848);
  for (std::int32_t n : {4, 7, 12, 20}) {
    Table t = random_table(rng, n, 99, 0);
    check_adjugate(to_mat(t), true);
    // A determinant divisible by the first table primes, and a singular one.
    for (auto& x : t[0])
      x = x * BigRef(images::table_then_limb_prime(0)) * BigRef(images::table_then_limb_prime(1));
    check_adjugate(to_mat(t), true);
    t[1] = t[2];
    check_adjugate(to_mat(t), false);
  }
  // A 45 x 45 adjugate (thirty-odd images joined in mixed radix) against
  // the determinant of the divisor-first route: A adj(A) = det(A) I. The
  // images route is held (the lifting takes such a matrix by default).
  {
    ScopedValue<std::int32_t> images_only(inverse_lift_side, INT32_MAX);
    const std::int32_t n = 45;
    const Table t = random_table(rng, n, 99, 0);
    const BigRef det = int_det(t);
    auto w = fresh_work(), o = fresh_work();
    Descr f;
    to_dense(to_mat(t), w.get(), f.get());
    Value d = Value::number(0), bound = Value::number(-1);
    int_determ(d.cell(), nullptr, w.get(), n, bound.cell());
    ASSERT_TRUE(mod_matrix_inv(w.get(), o.get(), false, n, d.cell(), bound.cell(), nullptr, false));
    EXPECT_GT(last_prime_count, 20);
    Table adj(static_cast<std::size_t>(n), std::vector<BigRef>(static_cast<std::size_t>(n)));
    for (std::int32_t c = 0; c < n; ++c)
      for (std::int32_t r = 0; r < n; ++r)
        adj[r][c] = number_value(o.get()->stash[c * n + r]->ncoef);
    const Table prod = product(t, adj);
    for (std::int32_t i = 0; i < n; ++i)
      for (std::int32_t j = 0; j < n; ++j)
        ASSERT_EQ(prod[i][j], i == j ? det : BigRef(0)) << i << " " << j;
    free_cells(o.get(), n * n);
    free_cells(w.get(), n * n);
  }
  PolyVars vars({"x", "y"});
  Mat p(3, 3);
  const char* e[9] = {"x", "y + 1", "2", "x*y", "0", "x - y", "1", "y^2", "3*x"};
  for (int k = 0; k < 9; ++k) p.cell[static_cast<std::size_t>(k)] = Value::ratfun(e[k]);
  check_adjugate(p, false);
  p.cell[4] = Value::ratfun("1", "x + 1");
  check_adjugate(p, false);
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// Determinant of residues by a plain elimination on the test side.
std::uint32_t residue_det(std::vector<std::vector<std::uint32_t>> a) {
  const std::size_t n = a.size();
  std::int32_t d = 1;
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t r = k;
    while (r < n && a[r][k] == 0) ++r;
    if (r == n) return 0;
    if (r != k) std::swap(a[r], a[k]), d = finf ? d : mod_sub(0, d, modulus);
    d = modmult(static_cast<std::uint32_t>(d), a[k][k]);
    std::int32_t inv = static_cast<std::int32_t>(a[k][k]);
    verse(&inv);
    for (std::size_t i = k + 1; i < n; ++i) {
      const auto f = static_cast<std::uint32_t>(modmult(a[i][k], static_cast<std::uint32_t>(inv)));
      for (std::size_t j = k; j < n; ++j) {
        const auto t = static_cast<std::uint32_t>(modmult(f, a[k][j]));
        a[i][j] = finf ? a[i][j] ^ t : static_cast<std::uint32_t>(mod_sub(a[i][j], t, modulus));
      }
    }
  }
  return static_cast<std::uint32_t>(d);
}

TEST_F(IntDeterm, SparseResidueDeterminants) {
  NodeBalance balance;
  std::mt19937_64 rng(32003);
  for (std::int32_t p : {32003, 256}) {
    ModulusScope mod(p);
    for (std::int32_t n : {0, 1, 3, 8, 25, 60}) {
      std::vector<std::vector<std::uint32_t>> t(
          static_cast<std::size_t>(n), std::vector<std::uint32_t>(static_cast<std::size_t>(n)));
      Mat a(n, n);
      for (std::int32_t i = 0; i < n; ++i)
        for (std::int32_t j = 0; j < n; ++j) {
          const std::uint32_t v = rng() % 4 == 0 ? static_cast<std::uint32_t>(rng() % p) : 0;
          t[i][j] = v;
          if (v != 0) a.at(i, j) = Value::number(BigRef(v));
        }
      for (bool consume : {false, true}) {
        sparseptr sp = to_sparse(a);
        Value d = Value::number(0);
        sparse_mod_int_determ(d.cell(), &sp, n, consume, false);
        EXPECT_EQ(static_cast<std::uint32_t>(d->ncoef->lint), residue_det(t)) << p << " " << n;
        if (consume) {
          EXPECT_EQ(sp, nullptr);
        }
        if (sp != nullptr) free_sparse(&sp, n, true);
      }
    }
  }
  // An odd exchange negates; an empty row below the pivot gives 0.
  ModulusScope mod(32003);
  const std::vector<std::vector<std::int32_t>> cases[] = {{{0, 2}, {3, 0}},
                                                          {{1, 2, 3}, {0, 0, 0}, {4, 5, 6}}};
  const std::int32_t want[] = {32003 - 6, 0};
  for (int c = 0; c < 2; ++c) {
    const auto n = static_cast<std::int32_t>(cases[c].size());
    Mat a(n, n);
    for (std::int32_t i = 0; i < n; ++i)
      for (std::int32_t j = 0; j < n; ++j)
        if (cases[c][i][j] != 0) a.at(i, j) = Value::number(BigRef(cases[c][i][j]));
    sparseptr sp = to_sparse(a);
    Value d = Value::number(0);
    sparse_mod_int_determ(d.cell(), &sp, n, false, false);
    EXPECT_EQ(d->ncoef->lint, want[c]);
    free_sparse(&sp, n, true);
  }
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// The integer elimination (forced) and the plain route against the images
// and a test-side elimination; the temporary array never outlives a call.
TEST_F(IntDeterm, SecondRouteAgrees) {
  const tokentipe fast{"Fast_Det", -1};
  const std::int32_t end = endarr;
  std::mt19937_64 rng(4804);
  for (bool integer : {false, true}) {
    ScopedValue<bool> force(force_integer_route, integer);
    EXPECT_EQ(int_det({{1, 2, 3, 4}, {2, 4, 6, 8}, {0, 1, 0, 1}, {5, 6, 7, 8}}), BigRef(0));
    EXPECT_EQ(int_det({{0, 0, 0, -3}, {0, 0, 5, 0}, {0, 2, 0, 0}, {1, 0, 0, 0}}), BigRef(-30));
    EXPECT_EQ(int_det({{0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, -9}}), BigRef(9));
    for (int round = 0; round < 16; ++round) {
      const Table a = random_table(rng, 1 + round % 9, 99, round % 4 == 0 ? 60 : 0);
      EXPECT_EQ(int_det(a), bareiss(a)) << integer << " " << round;
    }
    BigRef d;
    const Table lu = planted(rng, 16, 140, &d);
    EXPECT_EQ(int_det(lu), d) << integer;
  }
  // Caller bounds of 342 and 343 limbs take the images (past the table,
  // counted with the divisor-first route off); one of 600 limbs on a light
  // 6 x 6 the plain route (cut 2, the rest through the router).
  const Table big = random_table(rng, 18, 99, 0);
  for (std::int32_t limbs : {342, 343}) {
    EXPECT_EQ(int_det(big, nullptr, BigRef(1) << (28 * limbs - 1)), bareiss(big)) << limbs;
    ScopedValue<bool> table_only(images::divisor_route_enabled, false);
    EXPECT_EQ(int_det(big, nullptr, BigRef(1) << (28 * limbs - 1)), bareiss(big)) << limbs;
    EXPECT_GT(last_prime_count, 599) << limbs;
  }
  {
    // The same matrix modulo 32003 through the sparse residue determinant.
    const BigRef p = 32003, want = (bareiss(big) % p + p) % p;
    ModulusScope mod(32003);
    Mat r(18, 18);
    for (std::int32_t i = 0; i < 18; ++i)
      for (std::int32_t j = 0; j < 18; ++j) r.at(i, j) = Value::number((big[i][j] % p + p) % p);
    sparseptr sp = to_sparse(r);
    Value d = Value::number(0);
    sparse_mod_int_determ(d.cell(), &sp, 18, true, false);
    EXPECT_EQ(BigRef(d->ncoef->lint), want);
  }
  const Table small = random_table(rng, 6, 99, 0);
  last_prime_count = 0;
  EXPECT_EQ(int_det(small, nullptr, BigRef(1) << (28 * 600)), bareiss(small));
  EXPECT_EQ(last_prime_count, 0);
  EXPECT_EQ(endarr, end);
  EXPECT_EQ(find_array(&fast), nullptr);
  // On a named array's own cells.
  const tokentipe name{"m", -1};
  insertarr(&name, 5, 5, false);
  arrptr q = find_array(&name);
  for (std::int32_t k = 0; k < 25; ++k)
    quoly_set(static_cast<std::int32_t>(std::pow(k % 5 + 1, k / 5)), arp_cell(q->start + k));
  {
    ScopedValue<bool> force(force_integer_route, true);
    Value d = Value::number(0), b = Value::number(-1);
    int_determ(d.cell(), q, nullptr, 5, b.cell());
    EXPECT_EQ(number_value(d->ncoef), BigRef(288));
  }
  // One image, and the bound of a sparse array (its rows are the lines).
  auto w = fresh_work();
  Descr f;
  to_dense(to_mat(big), w.get(), f.get());
  for (std::int32_t k : {6, 604}) {
    Value m = Value::number(0);
    do_mod_prime(18, k, w.get(), m.get());
    const BigRef p(prime[k]->lint);
    EXPECT_EQ(BigRef(m->ncoef->lint), ((bareiss(big) % p) + p) % p) << k;
  }
  Table tr = big;
  for (std::size_t i = 0; i < tr.size(); ++i)
    for (std::size_t j = 0; j < tr.size(); ++j) tr[i][j] = big[j][i];
  arrnode sq{};
  sq.spar = to_sparse(to_mat(tr));
  Value pd1 = Value::number(0), pd2 = Value::number(0);
  bool small1 = false, small2 = true;
  std::int32_t size1 = 0, size2 = 0;
  find_pseudo(nullptr, w.get(), pd1->ncoef, &small1, 18, 18, &size1, false, true);
  find_pseudo(&sq, nullptr, pd2->ncoef, &small2, 18, 18, &size2, false, true);
  EXPECT_EQ(number_value(pd1->ncoef), number_value(pd2->ncoef));
  EXPECT_EQ(size1, size2);
  EXPECT_EQ(small1, small2);
  free_sparse(&sq.spar, 18, true);
  free_cells(w.get(), 18 * 18);
  // [[1, 2], [3, 4]]: size 0+1+1+2, bound 2^(1+2 + (2+2+1) div 2) = 2^7.
  to_dense(to_mat({{1, 2}, {3, 4}}), w.get(), f.get());
  find_pseudo(nullptr, w.get(), pd1->ncoef, &small1, 2, 2, &size1, false, false);
  EXPECT_EQ(number_value(pd1->ncoef), BigRef(128));
  EXPECT_EQ(size1, 4);
  free_cells(w.get(), 4);
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// An error unwinding from inside the plain route (no work array left for the
// trailing block) and an interrupt abandoned between the adjugate's images
// leave the ring, the matrix, the store, the pool and the nodes as before.
TEST_F(IntDeterm, ErrorsUnwindCleanly) {
  const auto ring = [] {
    return std::tuple(modulus, half_modulus, two28_mod, smallmodulus, mod_is_prime, flotemode,
                      lintmode, modularmode, command_int);
  };
  const tokentipe fast{"Fast_Det", -1};
  ScopedValue<command_level_runner> abandon(run_command_level, [] { throw TopLevelJump{}; });
  std::mt19937_64 rng(88);
  const Mat a = to_mat(random_table(rng, 6, 99, 0));
  auto w = fresh_work(), o = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  const auto before = ring();
  const std::int32_t end = endarr, pool = first_available;
  NodeBalance balance;
  {
    ScopedValue<std::int32_t> full(first_available, work_pool_size + 1);
    Value d = Value::number(0), bound = Value::number(BigRef(1) << (28 * 600));
    bool unwound = false;
    const std::string out =
        output_of([&] { int_determ(d.cell(), nullptr, w.get(), 6, bound.cell()); }, &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_TRUE(reports(out, 88)) << out;
    EXPECT_EQ(find_array(&fast), nullptr);
  }
  {
    ScopedValue<bool> danger(danger_ok, true), ints(command_int, true);
    Value d = Value::number(0), bound = Value::number(-1);
    int_determ(d.cell(), nullptr, w.get(), 6, bound.cell());
    interrupt_requested = 1;
    bool unwound = false;
    const std::string out = output_of(
        [&] { mod_matrix_inv(w.get(), o.get(), false, 6, d.cell(), bound.cell(), nullptr, true); },
        &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_EQ(interrupt_requested, 0);
    EXPECT_NE(out.find("New command level"), std::string::npos) << out;
    EXPECT_EQ(d.get(), nullptr);
    EXPECT_EQ(o->stash[0], nullptr);
  }
  EXPECT_TRUE(ring() == before);
  EXPECT_EQ(endarr, end);
  EXPECT_EQ(first_available, pool);
  EXPECT_TRUE(same_mat(from_dense(w.get(), 6, 6), a));
  balance.expect_balanced();
  free_cells(w.get(), 36);
}

// small_mod_determ, the images modulo the table's primes alone, is the base
// case of int_determ's images: the same determinants as they and the test
// side's elimination; a bound past the table's primes is declined.
TEST_F(IntDeterm, TablePrimesAloneAgreeWithTheImages) {
  std::mt19937_64 rng(49);
  auto table_det = [](const Table& t, std::int64_t bound_bits, bool* ok) {
    const auto n = static_cast<std::int32_t>(t.size());
    auto w = fresh_work();
    Descr f;
    to_dense(to_mat(t), w.get(), f.get());
    Value d = Value::number(7), pd = Value::number(0);
    bool small_one = false;
    std::int32_t size = 0;
    find_pseudo(nullptr, w.get(), pd->ncoef, &small_one, n, n, &size, false, false);
    if (bound_bits > 0) images::set_power_of_two(pd->ncoef, bound_bits);
    small_mod_determ(n, d.cell(), w.get(), pd->ncoef, ok);
    free_cells(w.get(), n * n);
    return number_value(d->ncoef);
  };
  bool ok = false;
  for (int round = 0; round < 16; ++round) {
    const Table a = random_table(rng, 1 + round % 10, 99, round % 4 == 0 ? 60 : 0);
    EXPECT_TRUE(table_det(a, 0, &ok) == bareiss(a) && ok && bareiss(a) == int_det(a)) << round;
  }
  BigRef planted_det;  // negative: five negative pivots
  const Table lu = planted(rng, 11, 40, &planted_det);
  EXPECT_EQ(table_det(lu, 0, &ok), planted_det);
  EXPECT_EQ(table_det(lu, 28 * 333 - 1, &ok), BigRef(7));  // 333 limbs: past the table
  EXPECT_FALSE(ok);
}

}  // namespace
}  // namespace tavrin::test
