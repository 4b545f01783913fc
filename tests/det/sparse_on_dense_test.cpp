// Determinants of sparse-stored matrices that the router spreads over a work
// array for the dense engines (integer images, the residue elimination, the
// interpolation modulo a prime): against the sparse routes they bypass, with
// the fill thresholds at both ends and met exactly, planted determinants,
// the matrix kept or given back, and the requests that stay sparse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::vector<det_method> routed;
void record(det_method m) { routed.push_back(m); }

bool went(det_method m) { return std::find(routed.begin(), routed.end(), m) != routed.end(); }

bool went_dense() {
  return std::any_of(routed.begin(), routed.end(), [](det_method m) {
    return m == det_method::int_determ || m == det_method::mod_determ ||
           m == det_method::mod_poly_interpolated;
  });
}

class SparseOnDense : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
    allocate_work_areas();
    check_mod_matrix_size(40);  // the residue matrix grows once and stays
    det_route_hook = record;
  }
  void TearDown() override {
    det_route_hook = nullptr;
    MatrixTest::TearDown();
  }
  PolyVars vars_{"x", "y"};
};

// The router's determinant of a stored sparse, every fill threshold at
// fill (< 0: the defaults). consume: the router may give the entries up;
// else the matrix must come back unchanged.
Value sparse_det(const Mat& a, std::int32_t fill, bool consume = false) {
  auto at = [fill](std::int32_t v) { return fill < 0 ? v : fill; };
  ScopedValue<std::int32_t> f(sparse_dense_fill, at(sparse_dense_fill)),
      g(sparse_dense_mod_fill, at(sparse_dense_mod_fill)),
      h(sparse_dense_char2_fill, at(sparse_dense_char2_fill)),
      i(sparse_dense_int_fill, at(sparse_dense_int_fill)),
      w(sparse_fill_int_work, at(sparse_fill_int_work)),
      pw(sparse_fill_poly_work, at(sparse_fill_poly_work));
  sparseptr own = to_sparse(a), sp = own;
  Value d = Value::number(BigRef(1));
  routed.clear();
  mat_invert(nullptr, nullptr, a.rows, d.cell(), &sp, nullptr, -1, -1, -1, 0, {.ar_free = consume});
  if (consume) {
    if (sp != nullptr) free_sparse(&sp, a.rows, true);
  } else {
    EXPECT_EQ(sp, own);
    EXPECT_TRUE(same_mat(from_sparse(own, a.rows, a.rows), a));
    free_sparse(&own, a.rows, true);
  }
  return d;
}

// An m x m matrix with about k entries a row (the diagonal among them),
// entries from make.
Mat filled(std::mt19937_64& g, std::int32_t m, std::int32_t k, const ValueMaker& make) {
  Mat a(m, m);
  for (std::int32_t i = 0; i < m; ++i) {
    a.at(i, i) = make(g);
    for (std::int32_t t = 1; t < k; ++t) a.at(i, static_cast<std::int32_t>(g() % m)) = make(g);
  }
  return a;
}

Value integer(std::mt19937_64& g) {
  return Value::number(BigRef(static_cast<long long>(g() % 199) - 99));
}

// A residue modulo p, never 0 (a stored sparse entry is not zero).
ValueMaker residue(std::int64_t p) {
  return [p](std::mt19937_64& g) {
    return Value::number(BigRef(1 + static_cast<long long>(g() % (p - 1))));
  };
}

// A polynomial in x and y modulo p, sometimes a constant.
ValueMaker polynomial(std::int64_t p) {
  return [p](std::mt19937_64& g) {
    static const char* monos[] = {"x", "x^2", "y", "x*y", "y^3"};
    std::string s = std::to_string(1 + g() % (p - 1));
    for (const char* m : monos)
      if (g() % 2 == 0) s += " + " + std::to_string(1 + g() % (p - 1)) + "*" + m;
    if (s.find('*') == std::string::npos) return Value::number(BigRef(std::stoll(s)));
    return Value::ratfun(s);
  };
}

// Dense (fill 0) against sparse (no fill suffices) on one matrix, a row
// repeated for a singular one on odd trials; both values the same text.
void check_both_routes(const Mat& a, const char* ring, bool consume) {
  const Value quick = sparse_det(a, 0, consume);
  const bool dense = went_dense();
  const Value plain = sparse_det(a, INT32_MAX);
  EXPECT_FALSE(went_dense()) << ring;
  EXPECT_TRUE(dense) << ring << " side " << a.rows;
  EXPECT_EQ(value_text(quick), value_text(plain)) << ring << " side " << a.rows;
}

TEST_F(SparseOnDense, DenseEnginesGiveTheSparseRoutesValue) {
  // Over Z, modulo small and word primes and in GF(256) and GF(65536) with
  // numbers, modulo primes with polynomials in two variables; sides 8 to 22, 1 entry a row to full;
  // planted singular matrices; the entries kept or given up.
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int trial = 0; trial < test_iterations(8); ++trial) {
    const auto m = std::int32_t(8 + rng() % 15);
    const auto k = std::int32_t(1 + rng() % m);
    const bool consume = trial % 3 == 2;
    auto singular = [&](Mat a) {
      if (trial % 2 == 1)
        for (std::int32_t j = 0; j < m; ++j)
          a.at(m - 1, j) = a.get(0, j) == nullptr ? Value() : copy_of(a.get(0, j));
      return a;
    };
    check_both_routes(singular(filled(rng, m, k, integer)), "Z", consume);
    for (std::int64_t p : {3, 101, 2147483629, 256, 65536}) {
      ModulusScope mod{static_cast<std::int32_t>(p)};
      check_both_routes(singular(filled(rng, m, k, residue(p))), "Z/p", consume);
      // (The sparse elimination of polynomials fills in slowly: small ones.)
      if (p > 3 && p < 256 && m <= 14)
        check_both_routes(singular(filled(rng, m, std::min(k, 4), polynomial(p))), "Z/p[x,y]",
                          consume);
    }
  }
}

TEST_F(SparseOnDense, PlantedDeterminants) {
  // An upper triangle with its diagonal known, two rows swapped: the
  // determinant is minus the diagonal's product, over Z (beyond a word)
  // and modulo a prime, as the dense engines take it.
  std::mt19937_64 rng(test_seed() + 1);
  NodeBalance balance;
  for (std::int64_t p : {0, 32003}) {
    std::optional<ModulusScope> mod;
    if (p > 0) mod.emplace(static_cast<std::int32_t>(p));
    const std::int32_t m = 25;
    Mat a(m, m);
    BigRef want(-1);
    for (std::int32_t i = 0; i < m; ++i) {
      const long long d = 2 + static_cast<long long>(rng() % 97);
      a.at(i, i) = Value::number(BigRef(d));
      want = p > 0 ? (want * BigRef(d)) % BigRef(p) : want * BigRef(d);
      for (std::int32_t j = i + 1; j < m; ++j)
        if (rng() % 3 == 0)
          a.at(i, j) = Value::number(BigRef(1 + static_cast<long long>(rng() % 50)));
    }
    if (p > 0 && want < BigRef(0)) want = want + BigRef(p);
    for (std::int32_t j = 0; j < m; ++j) std::swap(a.at(3, j), a.at(17, j));
    const Value d = sparse_det(a, 0);
    EXPECT_TRUE(went_dense());
    EXPECT_EQ(value_text(d), value_text(Value::number(want))) << p;
  }
}

TEST_F(SparseOnDense, FillThresholdsMetExactly) {
  // Side 10 over Z: 40 entries (4 a row) go dense, 39 stay, at the
  // defaults. Modulo a
  // prime the need is sparse_dense_mod_fill * sqrt(m): at fill 10 and side
  // 16, 40 entries.
  std::mt19937_64 rng(5);
  NodeBalance balance;
  // The counts alone: the fill-in foreseen out of reach.
  ScopedValue<std::int32_t> work(sparse_fill_int_work, INT32_MAX),
      poly_work(sparse_fill_poly_work, INT32_MAX);
  auto with_entries = [&](std::int32_t m, std::int32_t count, const ValueMaker& make) {
    Mat a(m, m);
    for (std::int32_t i = 0; i < m; ++i) a.at(i, i) = make(rng);
    for (std::int32_t c = m; c < count;) {
      const auto i = std::int32_t(rng() % m), j = std::int32_t(rng() % m);
      if (a.get(i, j) != nullptr) continue;
      a.at(i, j) = make(rng);
      ++c;
    }
    return a;
  };
  for (std::int32_t count : {39, 40}) {
    const Mat a = with_entries(10, count, integer);
    const Value d = sparse_det(a, -1);
    EXPECT_EQ(went_dense(), count == 40) << count;
    EXPECT_EQ(value_text(d), value_text(sparse_det(a, INT32_MAX)));
  }
  // Under "&K" integers go from 3 a row, past sparse Gauss-Bareiss (no
  // entry 0, which the store would drop).
  for (std::int32_t count : {29, 30}) {
    ScopedValue<std::int32_t> bareiss(gauss_cutoff, 1);
    const Mat a = with_entries(10, count, residue(100));
    const Value d = sparse_det(a, -1);
    EXPECT_EQ(went_dense(), count == 30) << count;
    EXPECT_EQ(value_text(d), value_text(sparse_det(a, INT32_MAX)));
    EXPECT_TRUE(went(det_method::sparse_gauss_Bareiss));
  }
  for (std::int32_t p : {32003, 256}) {
    ModulusScope mod{p};
    for (std::int32_t count : {39, 40}) {
      const Mat a = with_entries(16, count, residue(p));
      const Value d = sparse_det(a, 10);
      EXPECT_EQ(went_dense(), count == 40) << count << " mod " << p;
      EXPECT_EQ(value_text(d), value_text(sparse_det(a, INT32_MAX))) << p;
    }
  }
}

TEST_F(SparseOnDense, SidesAboveTheWorkArrays) {
  // Side 1001 and more: no work array holds the matrix; integers and
  // residues are laid out flat. A bidiagonal matrix with a few more entries
  // below (a lower band cut by a row swap) against the sparse elimination.
  // (Over Z some hundred images of side 1001 take seconds: only with a
  // raised multiplier.)
  std::mt19937_64 rng(test_seed() + 2);
  NodeBalance balance;
  for (std::int64_t p : {0, 101, 65536}) {
    if (p == 0 && test_iterations(1) < 2) continue;
    std::optional<ModulusScope> mod;
    if (p > 0) mod.emplace(static_cast<std::int32_t>(p));
    const std::int32_t m = 1001 + static_cast<std::int32_t>(rng() % 3);
    Mat a(m, m);
    const ValueMaker make = p > 0 ? residue(p) : ValueMaker(integer);
    for (std::int32_t i = 0; i < m; ++i) {
      a.at(i, i) = make(rng);
      if (i + 1 < m) a.at(i, i + 1) = make(rng);
      if (i >= 5 && rng() % 4 == 0) a.at(i, i - 5) = make(rng);
    }
    for (std::int32_t j = 0; j < m; ++j) std::swap(a.at(7, j), a.at(500, j));
    const Value quick = sparse_det(a, 0);
    EXPECT_TRUE(went_dense()) << p;
    EXPECT_EQ(value_text(quick), value_text(sparse_det(a, INT32_MAX))) << p;
  }
}

TEST_F(SparseOnDense, NamedMethodsAsForDenseStorage) {
  // "&K" (Gauss-Bareiss) and "&L" (Lagrange) name no method for numbers,
  // as for a dense matrix: the images and residues answer, with the value
  // of the named sparse method. Modulo a prime "&K" takes the
  // interpolation and over the rationals the sparse interpolation, as a
  // dense matrix does, with the value of sparse Gauss-Bareiss (reached
  // under the thresholds); "&L" keeps the sparse Lagrange method.
  std::mt19937_64 rng(test_seed() + 3);
  NodeBalance balance;
  const Mat z = filled(rng, 12, 6, integer);
  for (auto* setting : {&gauss_cutoff, &rat_det_method_cut}) {
    ScopedValue<std::int32_t> named(*setting, 1);
    const Value quick = sparse_det(z, 0);
    EXPECT_TRUE(went(det_method::int_determ));
    const Value plain = sparse_det(z, INT32_MAX);
    EXPECT_TRUE(went(setting == &gauss_cutoff ? det_method::sparse_gauss_Bareiss
                                              : det_method::sparse_lagrange));
    EXPECT_EQ(value_text(quick), value_text(plain));
  }
  {
    ModulusScope mod{32003};
    const Mat a = filled(rng, 10, 4, polynomial(32003));
    {
      ScopedValue<std::int32_t> bareiss(gauss_cutoff, 1);
      const Value quick = sparse_det(a, 0);
      EXPECT_TRUE(went(det_method::mod_poly_interpolated));
      const Value plain = sparse_det(a, INT32_MAX);
      EXPECT_TRUE(went(det_method::sparse_gauss_Bareiss));
      EXPECT_EQ(value_text(quick), value_text(plain));
    }
    ScopedValue<std::int32_t> lagrange(rat_det_method_cut, 1);
    sparse_det(a, 0);
    EXPECT_TRUE(went(det_method::sparse_lagrange));
    EXPECT_FALSE(went_dense());
  }
  const Mat q = filled(rng, 12, 3, polynomial(101));
  ScopedValue<std::int32_t> bareiss(gauss_cutoff, 1);
  const Value quick = sparse_det(q, 0);
  EXPECT_TRUE(went(det_method::sparse_rat_poly_interpolated));
  ScopedValue<std::int32_t> side(quiet_sparse_lagrange_side, INT32_MAX);
  const Value plain = sparse_det(q, 0);
  EXPECT_TRUE(went(det_method::sparse_gauss_Bareiss));
  EXPECT_EQ(value_text(quick), value_text(plain));
}

TEST_F(SparseOnDense, CutOffsAndSmallSidesStaySparseCompositeModuliGoFlat) {
  // A request that names a method for polynomials or a cut-off and a side
  // the minors take keep their own routes (given the entries to give up);
  // modulo a composite the residues go flat whatever the fill, to the
  // elimination that takes no residue without inverse as a pivot.
  std::mt19937_64 rng(9);
  NodeBalance balance;
  const Mat a = filled(rng, 12, 12, integer);
  {
    ModulusScope mod{32003};
    ScopedValue<std::int32_t> lagrange(rat_det_method_cut, 1);
    sparse_det(filled(rng, 12, 4, polynomial(32003)), 0, true);
    EXPECT_FALSE(went_dense());
  }
  {
    ScopedValue<std::int32_t> cut(detcutoff, 5);
    sparse_det(a, 0, true);
    EXPECT_FALSE(went_dense());
  }
  sparse_det(filled(rng, 3, 3, integer), 0, true);
  EXPECT_FALSE(went_dense());
  {
    ModulusScope composite{32004, false};
    sparse_det(filled(rng, 12, 1, residue(32004)), INT32_MAX, true);
    EXPECT_TRUE(went(det_method::mod_determ));
    EXPECT_FALSE(went(det_method::sparse_mod_int_determ));
  }
}

}  // namespace
}  // namespace tavrin::test
