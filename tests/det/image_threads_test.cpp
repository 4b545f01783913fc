// The images of the matrix routes on the thread pool: at 1, 2, 3 and 8
// threads every route gives the same value, on both sides of the size from
// which its images run on the pool, and that value is checked against an
// independent fact (a planted determinant, the recurrence's characteristic
// polynomial, Gauss-Bareiss, A adj(A) = det(A) I). An interrupt raised
// while the images run opens one level; "&_p" finishes with the same value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thread_pool.h"
#include "core/thresholds.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/divisor_determ.h"
#include "matrix/image_tasks.h"
#include "matrix/int_char_poly.h"
#include "matrix/leverrier.h"
#include "matrix/matrix_support.h"
#include "det/det_support.h"
#include "det/int_determ.h"
#include "det/lagrange.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

constexpr int thread_counts[] = {1, 2, 3, 8};

struct Threads {
  explicit Threads(int n) { set_thread_count(n); }
  ~Threads() { set_thread_count(0); }
};

std::uint32_t seeded_state = 1;
int seeded_draws = 0;
std::int32_t seeded() {
  seeded_state = seeded_state * 1103515245u + 12345u;
  return static_cast<std::int32_t>((seeded_state >> 8) & 0x3FFF);
}

class ImageThreads : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
    allocate_work_areas();
    lagrange_random = seeded;
  }
  void TearDown() override {
    lagrange_random = rand_integer3;
    MatrixTest::TearDown();
  }
  // The text of compute() at every thread count, the same at each; with
  // `forced` the pool takes even the smallest batches.
  static std::string at_every_count(const std::function<std::string()>& compute, bool forced,
                                    const std::string& what) {
    ScopedValue<double> cut(threaded_image_steps, forced ? 0.0 : threaded_image_steps);
    std::string first;
    for (int threads : thread_counts) {
      Threads pool(threads);
      seeded_state = 1;  // the same points at every count
      const std::string got = compute();
      if (threads == 1) first = got;
      EXPECT_EQ(got, first) << what << " at " << threads << " threads";
    }
    return first;
  }
  PolyVars vars_{"x"};
};

using Table = std::vector<std::vector<BigRef>>;

Mat to_mat(const Table& t) {
  const auto n = static_cast<std::int32_t>(t.size());
  Mat m(n, n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j) m.at(i, j) = Value::number(t[i][j]);
  return m;
}

// L D U with unit triangles of entries in [-9, 9] and a diagonal of
// `bits`-bit values: long entries, and *det := the product of the diagonal.
Table planted(std::mt19937_64& rng, std::int32_t n, int bits, BigRef* det) {
  Table l(n, std::vector<BigRef>(n, BigRef(0))), u = l, a = l;
  std::uniform_int_distribution<std::int64_t> e(-9, 9);
  std::vector<BigRef> d(static_cast<std::size_t>(n));
  *det = 1;
  for (std::int32_t i = 0; i < n; ++i) {
    l[i][i] = u[i][i] = 1;
    for (std::int32_t j = 0; j < i; ++j) l[i][j] = e(rng), u[j][i] = e(rng);
    d[i] = (BigRef::pow2(bits - 1) + BigRef(static_cast<std::int64_t>(rng() >> (65 - bits)))) *
           (i % 2 == 0 ? 1 : -1);
    *det = *det * d[i];
  }
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j)
      for (std::int32_t k = 0; k <= std::min(i, j); ++k)
        a[i][j] = a[i][j] + l[i][k] * d[k] * u[k][j];
  return a;
}

BigRef image_det(const Table& t) {
  const auto n = static_cast<std::int32_t>(t.size());
  ScopedValue<bool> images_only(images::divisor_route_enabled, false);
  auto w = fresh_work();
  Descr f;
  to_dense(to_mat(t), w.get(), f.get());
  Value d = Value::number(0), bound = Value::number(-1);
  int_determ(d.cell(), nullptr, w.get(), n, bound.cell());
  free_cells(w.get(), n * n);
  return number_value(d->ncoef);
}

// Sides 3 and 12 stay below the cut-off, 40 (about 150 primes) passes it.
TEST_F(ImageThreads, IntegerDeterminantsByPrimes) {
  std::mt19937_64 rng(test_seed() + 301);
  for (std::int32_t n : {3, 12, 40}) {
    BigRef det;
    const Table a = planted(rng, n, 60, &det);
    for (bool forced : {false, true}) {
      const std::string got =
          at_every_count([&] { return image_det(a).to_decimal(); }, forced, "det");
      EXPECT_EQ(got, det.to_decimal()) << n;
    }
  }
}

// Against the Leverrier-Faddeev recurrence; side 6 below the cut-off, 28
// with 50-bit entries past it.
TEST_F(ImageThreads, CharacteristicPolynomialsByPrimes) {
  std::mt19937_64 rng(test_seed() + 302);
  for (std::int32_t n : {6, 28}) {
    Mat m(n, n);
    for (auto& c : m.cell)
      c = Value::number(BigRef(static_cast<std::int64_t>(rng() >> 14)) - BigRef::pow2(49));
    sparseptr sp = to_sparse(m);
    Value recurrence;
    leverrier_chpoly(recurrence.cell(), sp, n);
    for (bool forced : {false, true}) {
      const std::string got = at_every_count(
          [&] {
            Value images;
            EXPECT_TRUE(int_char_poly_sparse(sp, n, images.cell()));
            return value_text(images.get());
          },
          forced, "chpoly");
      EXPECT_EQ(got, value_text(recurrence.get())) << n;
    }
    free_sparse(&sp, n, true);
  }
}

// A random n x n matrix of polynomials in x of degree `deg` (residues
// modulo p, or [-9, 9] over the integers).
Mat poly_mat(std::mt19937_64& rng, std::int32_t n, int deg, std::int64_t p) {
  Mat a(n, n);
  for (auto& c : a.cell) {
    std::string s;
    for (int e = 0; e <= deg; ++e) {
      const std::int64_t k = p > 0
                                 ? static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p))
                                 : static_cast<std::int64_t>(rng() % 19) - 9;
      s += (e == 0 ? "" : " + ") + ("(" + std::to_string(k) + ")*x^" + std::to_string(e));
    }
    c = Value::ratfun(s);
  }
  return a;
}

// The sparse driver on a sparse copy of a (checked unchanged).
std::string sparse_interpolated(const Mat& a) {
  sparseptr sp = to_sparse(a);
  Value d = Value::number(BigRef(1));
  EXPECT_TRUE(sparse_lagrange(&sp, d.cell(), a.rows, nullptr, -1, -1, 1, true, 0));
  EXPECT_TRUE(same_mat(from_sparse(sp, a.rows, a.rows), a));
  free_sparse(&sp, a.rows, true);
  return value_text(d.get());
}

std::string interpolated(const Mat& a, bool modular) {
  bool done = false;
  const Value d = on_dense_copy(a, [&](workptr w, std::int32_t m, Value& det) {
    done = modular ? mod_poly_determ(w, 1, m, det.cell(), false, nullptr, -1)
                   : rat_poly_determ(w, 1, m, det.cell(), false, nullptr, -1);
  });
  EXPECT_TRUE(done);
  return value_text(d.get());
}

// The evaluation points of the last variable, dense and sparse: modulo
// 32003 and over the integers (each prime's images), against Gauss-Bareiss; side 5 below the
// cut-off, 32 of degree 4 (129 points) past it.
TEST_F(ImageThreads, InterpolatedDeterminantsByPoints) {
  std::mt19937_64 rng(test_seed() + 303);
  for (std::int64_t p : {std::int64_t{32003}, std::int64_t{0}}) {
    std::optional<ModulusScope> mod;
    if (p > 0) mod.emplace(static_cast<std::int32_t>(p));
    for (std::int32_t n : {5, 32}) {
      if (p == 0 && n > 20) n = 20;
      const Mat a = poly_mat(rng, n, 4, p);
      const std::string want = value_text(bareiss(a).get());
      for (bool forced : {false, true}) {
        EXPECT_EQ(at_every_count([&] { return interpolated(a, p > 0); }, forced, "lagrange"), want)
            << p << " " << n;
        EXPECT_EQ(at_every_count([&] { return sparse_interpolated(a); }, forced, "sparse"), want)
            << p << " " << n;
      }
    }
  }
}

// The adjugate by images, the lifting held off: A adj(A) = det(A) I; side
// 6 below the cut-off, 44 past it.
TEST_F(ImageThreads, AdjugatesByPrimes) {
  ScopedValue<std::int32_t> images_only(inverse_lift_side, INT32_MAX);
  std::mt19937_64 rng(test_seed() + 304);
  for (std::int32_t n : {6, 44}) {
    BigRef det;
    const Table t = planted(rng, n, 20, &det);
    const Mat a = to_mat(t);
    Mat adj;
    const std::string got = at_every_count(
        [&] {
          auto w = fresh_work(), o = fresh_work();
          Descr f;
          to_dense(a, w.get(), f.get());
          Value d = Value::number(det), bound = Value::number(BigRef::pow2(40 * n + 64));
          EXPECT_TRUE(
              mod_matrix_inv(w.get(), o.get(), false, n, d.cell(), bound.cell(), nullptr, false));
          adj = from_dense(o.get(), n, n);
          free_cells(o.get(), n * n);
          free_cells(w.get(), n * n);
          std::string text;
          for (const Value& v : adj.cell) text += value_text(v.get()) + ",";
          return text;
        },
        false, "adjugate");
    Mat scaled(n, n);
    for (std::int32_t i = 0; i < n; ++i) scaled.at(i, i) = Value::number(det);
    EXPECT_TRUE(same_mat(schoolbook(a, adj), scaled)) << n;
  }
}

// The inverse of a matrix of integer polynomials by its grid of points:
// A A^-1 = I, at every count, with the pool forced and not.
TEST_F(ImageThreads, InterpolatedInversesByPoints) {
  std::mt19937_64 rng(test_seed() + 305);
  for (std::int32_t n : {2, 5}) {
    const Mat a = poly_mat(rng, n, 1, 0);
    Mat inverse;
    for (bool forced : {false, true})
      at_every_count(
          [&] {
            auto w = fresh_work(), o = fresh_work();
            Descr f;
            to_dense(a, w.get(), f.get());
            EXPECT_TRUE(rat_poly_inverse(w.get(), o.get(), n, {}));
            inverse = from_dense(o.get(), n, n);
            free_cells(o.get(), n * n);
            free_cells(w.get(), n * n);
            std::string text;
            for (const Value& v : inverse.cell) text += value_text(v.get()) + ",";
            return text;
          },
          forced, "inverse");
    Mat id(n, n);
    for (std::int32_t i = 0; i < n; ++i) id.at(i, i) = Value::number(1);
    EXPECT_TRUE(same_mat(schoolbook(a, inverse), id)) << n;
  }
}

// The nested level is a hook that counts itself and returns, as "&_p".
int levels_opened = 0;
void fake_level() { ++levels_opened; }

// An interrupt raised with the first point drawn: the tasks stop, one level
// opens on the caller once none runs, and the images run again.
TEST_F(ImageThreads, AnInterruptDuringTheImagesOpensOneLevel) {
  ModulusScope mod(32003);
  std::mt19937_64 rng(test_seed() + 306);
  const Mat a = poly_mat(rng, 30, 4, 32003);
  const std::string want = interpolated(a, true);
  ScopedValue<command_level_runner> runner(run_command_level, fake_level);
  ScopedValue<bool> command(command_int, true);
  ScopedValue<double> cut(threaded_image_steps, 0.0);
  for (int threads : {2, 3, 8}) {
    Threads pool(threads);
    levels_opened = 0;
    lagrange_random = [] {
      if (++seeded_draws == 1) interrupt_requested = 1;  // no poll until the images
      return seeded();
    };
    seeded_draws = 0;
    testing::internal::CaptureStdout();
    const std::string got = interpolated(a, true);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(levels_opened, 1) << threads;
    EXPECT_EQ(interrupt_requested.load(), 0);
    EXPECT_EQ(got, want) << threads;
  }
}

}  // namespace
}  // namespace tavrin::test
