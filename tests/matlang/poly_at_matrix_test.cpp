// p(A): random polynomials at random dense and sparse matrices against a
// test-side Horner evaluation by schoolbook products, a table of known
// answers, and the errors of "#" followed by a matrix.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "quoly/quoly_add.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "arrays/sparse_store.h"
#include "matrix/mat_value.h"
#include "matrix/matrix_support.h"
#include "matlang/matrix_expressions.h"
#include "matlang/poly_at_matrix.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

using PolyAtMatrix = MatrixTest;

// c*I + a*b (a*b by schoolbook products), entry by entry.
Mat times_plus(const Mat& a, const Mat& b, quoly c) {
  Mat r = schoolbook(a, b);
  for (std::int32_t i = 0; i < r.rows; ++i) {
    quoly s = nullptr;
    quoly zero = nullptr;
    quoly_set(0, &zero);
    quoly_add(r.get(i, i) ? r.get(i, i) : zero, c, &s);
    free_quoly(&zero);
    r.at(i, i) = Value::adopt(s);
  }
  return r;
}

// The test-side p(A): acc := c_d*I, then acc := acc*A + c_i*I for every
// lower degree i (a zero coefficient adds 0).
Mat horner(const std::vector<std::int64_t>& coef, const Mat& a) {
  const std::int32_t n = a.rows;
  Mat acc(n, n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j)
      acc.at(i, j) = Value::number(BigRef(i == j ? coef.back() : 0));
  for (std::size_t d = coef.size() - 1; d-- > 0;) {
    Value c = Value::number(BigRef(coef[d]));
    acc = times_plus(acc, a, c);
  }
  return acc;
}

std::string poly_text(const std::vector<std::int64_t>& coef) {
  std::string s;
  for (std::size_t d = coef.size(); d-- > 0;) {
    if (coef[d] == 0) continue;
    s += (s.empty() ? "" : " + ") + std::string("(") + std::to_string(coef[d]) + ")*x^" +
         std::to_string(d);
  }
  return s.empty() ? "0" : s;
}

// p(A) with A given dense or sparse, borrowed; A must come back unchanged.
Mat at_matrix(quoly p, const Mat& a, bool sparse) {
  WorkArrayGuard work(&bulletsign);
  MatValue v(work.get());
  sparseptr frames = nullptr;
  Descr d(a.rows, a.cols);
  if (sparse) {
    frames = to_sparse(a);
    v.spar = frames;
  } else {
    to_dense(a, v.arr, d.get());
  }
  v.set_shape(a.rows, a.cols);
  v.arr_free = sparse ? false : true;
  poly_at_matrix(p, v);
  EXPECT_TRUE(v.arr_free);
  EXPECT_EQ(v.spar != nullptr, sparse);
  Mat r = sparse ? from_sparse(v.spar, v.rows(), v.cols()) : from_dense(v.arr, v.rows(), v.cols());
  if (sparse) {
    EXPECT_TRUE(sparse_ok(v.spar, v.rows(), v.cols()));
    EXPECT_TRUE(same_mat(from_sparse(frames, a.rows, a.cols), a)) << "A was changed";
    free_sparse(&frames, a.rows, true);
  }
  v.release();
  return r;
}

TEST_F(PolyAtMatrix, RandomPolynomialsAgreeWithHornerBySchoolbookProducts) {
  std::mt19937_64 rng(test_seed() + 38);
  PolyVars vars({"x", "y"});
  auto run = [&](const char* ring, std::int64_t lo, std::int64_t span, bool fractions) {
    for (int round = 0; round < 60; ++round) {
      const std::int32_t n = 1 + static_cast<std::int32_t>(rng() % 8);
      std::vector<std::int64_t> coef(1 + rng() % 13, 0);
      // Sparse exponents: most coefficients 0, so the gaps vary.
      for (auto& c : coef)
        if (rng() % 3 == 0) c = lo + static_cast<std::int64_t>(rng() % span);
      if (coef.back() == 0) coef.back() = lo + span - 1;
      const bool sparse = round % 2 == 1;
      NodeBalance balance;
      {
        Value p = make_value(poly_text(coef));
        Mat a = random_mat(rng, n, n, sparse ? 0.6 : 0.1, [&](std::mt19937_64& g) {
          const std::int64_t e = lo + static_cast<std::int64_t>(g() % span);
          if (!fractions || g() % 2 == 0) return Value::number(BigRef(e));
          return make_value(std::to_string(e) + " / " + std::to_string(1 + g() % 6));
        });
        EXPECT_TRUE(same_mat(at_matrix(p, a, sparse), horner(coef, a)))
            << ring << ": " << poly_text(coef) << " at " << n << "x" << n
            << (sparse ? " sparse" : " dense");
      }
      balance.expect_balanced();
    }
  };
  run("integers", -9, 19, false);
  run("rationals", -9, 19, true);  // dense ones through the common denominator
  {
    ModulusScope mod(65521);
    run("modulo 65521", 0, 65521, false);
  }
}

TEST_F(PolyAtMatrix, KnownAnswers) {
  PolyVars vars({"x", "y"});
  Mat m(2, 2);
  const std::int64_t entries[] = {1, 3, 2, 4};  // column by column: [[1, 2], [3, 4]]
  for (int k = 0; k < 4; ++k)
    m.cell[static_cast<std::size_t>(k)] = Value::number(BigRef(entries[k]));
  struct Case {
    const char* p;
    const char* r[4];  // (1,1), (2,1), (1,2), (2,2)
  } cases[] = {
      {"x^2 + 1", {"8", "15", "10", "23"}},
      {"3", {"3", "0", "0", "3"}},
      {"x^5 + x", {"1070", "2340", "1560", "3410"}},
      {"y*x + 1", {"y + 1", "3*y", "2*y", "4*y + 1"}},
      {"x^3 - 2*x + 5", {"40", "75", "50", "115"}},
      {"x", {"1", "3", "2", "4"}},
      {"y", {"y", "0", "0", "y"}},
      {"0", {"0", "0", "0", "0"}},
  };
  NodeBalance balance;
  for (const Case& c : cases) {
    for (bool sparse : {false, true}) {
      Value p = make_value(c.p);
      Mat got = at_matrix(p, m, sparse);
      for (int k = 0; k < 4; ++k) {
        Value want = make_value(c.r[k]);
        quoly g = got.cell[static_cast<std::size_t>(k)].get();
        Value zero = make_value("0");
        EXPECT_EQ(value_text(g ? g : zero.get()), value_text(want))
            << c.p << (sparse ? " sparse" : " dense") << " entry " << k;
      }
    }
  }
  balance.expect_balanced();
}

}  // namespace
}  // namespace tavrin::test
