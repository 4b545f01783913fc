// The sparse Lagrange determinant: random sparse polynomial matrices against
// sparse elimination and the dense interpolation driver over Z and two
// primes, planted determinants, and a table of the edge cases.
#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "det/lagrange.h"
#include "det/sparse_gauss.h"
#include "matrix/matrix_support.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"
#include "toplevel/start_tables.h"

namespace tavrin::test {
namespace {

std::uint32_t seeded_state = 5;
std::int32_t seeded() {
  seeded_state = seeded_state * 1103515245u + 12345u;
  return static_cast<std::int32_t>((seeded_state >> 8) & 0x3FFF);
}

class SparseLagrange : public MatrixTest {
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
  PolyVars vars_{"x", "y", "z"};
};

// The sparse method on a copy of a (checked unchanged); nullopt: declined.
std::optional<Value> sparse_lag(const Mat& a, poly fct = nullptr, std::int32_t power = 1,
                                std::string* out = nullptr) {
  sparseptr sp = to_sparse(a);
  Value d = Value::number(BigRef(1));
  bool done = false;
  const std::string text =
      output_of([&] { done = sparse_lagrange(&sp, d.cell(), a.rows, fct, -1, -1, power, true, 0); });
  if (out != nullptr) *out = text;
  EXPECT_TRUE(same_mat(from_sparse(sp, a.rows, a.rows), a));
  free_sparse(&sp, a.rows, true);
  if (!done) return std::nullopt;
  return d;
}

Value elim(const Mat& a) {
  sparseptr sp = to_sparse(a);
  Value d;
  sparse_gauss_elim(&sp, d.cell(), a.rows, 3, true);
  return d;
}

Value dense_lag(const Mat& a) {
  auto w = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  Value d = Value::number(BigRef(1));
  if (modularmode) EXPECT_TRUE(mod_poly_determ(w.get(), 1, a.rows, d.cell(), false, nullptr, -1));
  else EXPECT_TRUE(rat_poly_determ(w.get(), 1, a.rows, d.cell(), false, nullptr, -1));
  free_cells(w.get(), a.rows * a.rows);
  return d;
}

// 1 or 2 terms of total degree <= 2 in the first nv variables, the
// constant always present.
Value entry(std::mt19937_64& g, std::int32_t nv, std::int64_t p) {
  static const char* monos[] = {"x", "x^2", "y", "x*y", "y^2", "z", "x*z", "y*z", "z^2"};
  const int count = nv == 1 ? 2 : nv == 2 ? 5 : 9;
  auto coef = [&] { return std::to_string(p > 0 ? (long long)(g() % p) : (long long)(g() % 19) - 9); };
  std::string s = "(" + coef() + ")";
  if (g() % 2 == 0) s += " + (" + coef() + ")*" + monos[g() % count];
  return Value::ratfun(s);
}

TEST_F(SparseLagrange, AgreesWithEliminationAndTheDenseDriver) {
  const std::int64_t rings[] = {0, 32003, 2147483629};
  std::mt19937_64 rng(50);
  for (std::int64_t p : rings) {
    std::optional<ModulusScope> mod;
    if (p > 0) mod.emplace(std::int32_t(p));
    NodeBalance balance;
    for (int trial = 0; trial < 4; ++trial) {
      const auto n = std::int32_t(8 + rng() % (p == 0 ? 5 : 13));
      const auto nv = std::int32_t(2 + rng() % 2);
      Mat a(n, n);
      for (std::int32_t i = 0; i < n; ++i) {  // 3 entries a row, the diagonal among them
        a.at(i, i) = entry(rng, nv, p);
        for (int k = 0; k < 2; ++k) a.at(i, std::int32_t(rng() % n)) = entry(rng, nv, p);
      }
      const auto got = sparse_lag(a);
      ASSERT_TRUE(got.has_value()) << p << " n " << n;
      EXPECT_TRUE(quoly_equal(*got, elim(a))) << p << " n " << n << " vars " << nv;
      EXPECT_TRUE(quoly_equal(*got, dense_lag(a))) << p << " n " << n;
    }
    // Planted: a bidiagonal matrix with polynomial diagonal and a corner.
    const std::int32_t n = 12;
    Mat b(n, n);
    Value planted = Value::number(BigRef(1));
    for (std::int32_t i = 0; i < n; ++i) {
      b.at(i, i) = Value::ratfun("x*y + " + std::to_string(i + 2));
      if (i + 1 < n) b.at(i, i + 1) = entry(rng, 2, p);
      fast_quoly_mult(planted.cell(), b.at(i, i).cell());
    }
    EXPECT_TRUE(quoly_equal(*sparse_lag(b), planted)) << p;
  }
}

TEST_F(SparseLagrange, KnownAnswers) {
  NodeBalance balance;
  {  // more than 65,535 columns: the warning, declined before the rows are read
    sparseptr none = nullptr;
    Value d;
    std::string out = output_of([&] {
      EXPECT_FALSE(sparse_lagrange(&none, d.cell(), 65536, nullptr, -1, -1, 1, true, 0));
    });
    EXPECT_EQ(out, "Warning. Too many columns (> 65535) for sparse LaGrange method.\n");
  }
  Mat v(4, 4);  // Vandermonde in x + i y: 12 y^6
  for (std::int32_t i = 0; i < 4; ++i)
    for (std::int32_t j = 0; j < 4; ++j)
      v.at(i, j) = Value::ratfun("(x + " + std::to_string(i + 1) + "*y)^" + std::to_string(j));
  EXPECT_EQ(value_text(*sparse_lag(v)), value_text(Value::ratfun("12*y^6")));
  {
    Poly two("2"), bad("x + 7");
    EXPECT_TRUE(quoly_equal(*sparse_lag(v, two), Value::ratfun("6*y^6")));
    std::string out;
    sparse_lag(v, bad, 1, &out);
    EXPECT_TRUE(reports(out, 305)) << out;
  }
  {  // a power argument: declined (the router eliminates); 6 over Z says why
    ScopedValue<bool> talk(verbose, true);
    std::string out;
    EXPECT_FALSE(sparse_lag(v, nullptr, 6, &out).has_value());
    EXPECT_EQ(out, "Specified power must be odd or power of 2. LaGrange method abandoned.\n");
  }
  Mat c(3, 3);  // numbers only: 2*3*5 with an exchange
  c.at(0, 1) = Value::number(BigRef(2));
  c.at(1, 0) = Value::number(BigRef(3));
  c.at(2, 2) = Value::number(BigRef(5));
  EXPECT_TRUE(quoly_equal(*sparse_lag(c), Value::number(BigRef(-30))));
  {
    ModulusScope mod(32003);  // residues: the same as elimination gives
    Mat r(3, 3);
    r.at(0, 1) = Value::ratfun("2");
    r.at(1, 0) = Value::ratfun("3");
    r.at(2, 2) = Value::ratfun("5");
    EXPECT_TRUE(quoly_equal(*sparse_lag(r), elim(r))) << value_text(*sparse_lag(r));
  }
}

}  // namespace
}  // namespace tavrin::test
