// The determinant and inverse router: which method each request reaches
// (through the recording hook, with stand-in methods), the power warnings,
// the exit's division by a known factor, the guards on the pool, the residue
// matrix and the suspension, and the residue inverse the GCD code uses.
#include "det/router.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "dense/dense_matrix.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::vector<det_method> routed;
void record(det_method m) { routed.push_back(m); }

// What a stand-in method does besides being recorded.
bool lagrange_answer = false;    // the Lagrange entries' result
bool inverse_answer = true;      // mod_matrix_inv's result
std::int32_t seen_mycut = -99;   // the cut-off the dense methods saw
std::int32_t int_det_value = 5;  // what int_determ delivers

det_method_table stand_ins() {
  det_method_table t = default_det_methods();
  t.hamilton_path_driver = [](sparseptr*, std::int32_t, quolyptr, poly) {};
  t.invert_sparse = [](sparseptr*, workptr, bool, bool, std::int32_t, quolyptr) {};
  t.sparse_gauss_elim = [](sparseptr*, quolyptr, std::int32_t, std::int32_t, bool) {};
  t.sparse_gauss_Bareiss = [](sparseptr*, quolyptr, std::int32_t, std::int32_t, bool) {};
  t.sparse_mod_int_determ = [](quolyptr, sparseptr*, std::int32_t, bool, bool) {};
  t.sparse_lagrange = [](sparseptr*, quolyptr, std::int32_t, poly, std::int32_t, std::int32_t,
                         std::int32_t, bool, std::int32_t) { return lagrange_answer; };
  t.sparse_minors_det = [](quolyptr, sparseptr*, std::int32_t, bool*) {};
  t.int_sparse_minors_det = [](long double* x, sparseptr*, std::int32_t, bool*) { *x = 2; };
  t.mod_determ = [](workptr, std::int32_t, quolyptr) { EXPECT_TRUE(mod_mode_matrix_in_use); };
  t.int_determ = [](quolyptr n, arrptr, workptr, std::int32_t, quolyptr) {
    quoly_set(int_det_value, n);
  };
  t.mod_matrix_inv = [](workptr, workptr, bool, std::int32_t, quolyptr, quolyptr, sparseptr*,
                        bool) { return inverse_answer; };
  auto lag = [](workptr, std::int16_t, std::int32_t, quolyptr, bool, poly, std::int32_t) {
    return lagrange_answer;
  };
  t.rat_poly_determ = lag;
  t.mod_poly_determ = lag;
  t.mod_poly_interpolated = [](workptr, std::int32_t, quolyptr) { return lagrange_answer; };
  // The quiet interpolations over the rationals answer only once the table
  // of large primes is read: declined here, whatever ran before.
  t.rat_poly_interpolated = [](workptr, std::int32_t, quolyptr) { return false; };
  t.sparse_rat_poly_interpolated = [](sparseptr, std::int32_t, quolyptr) { return false; };
  t.fl_poly_determ = [](workptr, std::int16_t, std::int32_t, quolyptr, bool, poly, std::int32_t,
                        bool) { return lagrange_answer; };
  t.gauss_Bareiss = [](quolyptr n, std::int32_t, workptr, bool, bool, poly fct,
                       mat_invert_EnvRec& env, bool) {
    seen_mycut = env.mycut;
    exitt(env, n, fct, true);
  };
  t.standard_matrix_invert = [](quolyptr n, std::int32_t, poly fct, workptr, workptr,
                                const InvertFlags& how, mat_invert_EnvRec& env) {
    seen_mycut = env.mycut;
    if (!how.invert) exitt(env, n, fct, true);
  };
  return t;
}

class Router : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
    det_methods = stand_ins();
    det_route_hook = record;
    routed.clear();
    lagrange_answer = false;
    inverse_answer = true;
    int_det_value = 5;
  }
  void TearDown() override {
    det_methods = default_det_methods();
    det_route_hook = nullptr;
    MatrixTest::TearDown();
  }
  ScopedValue<std::int32_t> cut_{detcutoff, -1};
  ScopedValue<std::int32_t> gauss_{gauss_cutoff, 0};
  ScopedValue<std::int32_t> rat_{rat_det_method_cut, 5000};
  ScopedValue<std::int32_t> moddet_{mod_det_method_cut, 150};
  ScopedValue<bool> ok_{mod_matrix_ok, true};
  PolyVars vars_{"x"};
};

// A random m x m matrix: integers, or polynomials in x of degree <= 2 (with
// a few zero entries).
Mat integer_mat(std::int32_t m, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  return random_mat(rng, m, m, 0.2, [](std::mt19937_64& g) {
    return Value::number(BigRef(static_cast<long long>(g() % 19) - 9));
  });
}
Mat poly_mat(std::int32_t m, std::uint64_t seed, const char* entry = nullptr) {
  std::mt19937_64 rng(seed);
  return random_mat(rng, m, m, 0.3, [entry](std::mt19937_64& g) {
    if (entry != nullptr) return Value::ratfun(entry);
    const char* pool[] = {"x + 1", "x^2 - 3", "2*x", "x^2 + x + 5", "7"};
    return Value::ratfun(pool[g() % 5]);
  });
}

struct Request {
  bool invert = false;
  bool sparse = false;
  bool equal = false;
  poly fct = nullptr;
};

// Routes one request on a copy of a; answers the recorded methods.
std::vector<det_method> route(const Mat& a, const Request& r, Value* result = nullptr) {
  routed.clear();
  std::int32_t m = a.rows;
  Value n = Value::number(BigRef(1));
  auto w = fresh_work();
  Descr f;
  sparseptr sp = nullptr;
  if (r.sparse)
    sp = to_sparse(a);
  else
    to_dense(a, w.get(), f.get());
  struct Cleanup {  // the request may unwind
    sparseptr* sp;
    workptr w;
    std::int32_t cells;
    ~Cleanup() {
      if (*sp != nullptr)
        free_sparse(sp, cells, true);
      else
        free_cells(w, cells * cells);
    }
  } cleanup{&sp, w.get(), m};
  mat_invert(w.get(), w.get(), m, n.cell(), &sp, r.fct, -1, -1, -1, 0,
             {.invert = r.invert, .equal = r.equal});
  if (result != nullptr) *result = std::move(n);
  return routed;
}

using M = det_method;
using Route = std::vector<det_method>;

TEST_F(Router, SparseDecisions) {
  NodeBalance balance;
  // detcutoff -1: 3x3 by minors, 4x4 and 1x1 eliminated; a 4x4 of
  // integers filled enough (2 a row) by the dense images, not when the fill
  // needed is out of reach.
  EXPECT_EQ(route(integer_mat(3, 1), {.sparse = true}), Route{M::sparse_minors_det});
  {
    ScopedValue<std::int32_t> f(sparse_dense_int_fill, 2);
    EXPECT_EQ(route(integer_mat(4, 2), {.sparse = true}), Route{M::int_determ});
  }
  {
    // Too few entries, but its elimination fills in past a work limit of
    // 0.064 (side 4): dense all the same, not when that measure is out of
    // reach too.
    ScopedValue<std::int32_t> f(sparse_dense_int_fill, INT32_MAX);
    {
      ScopedValue<std::int32_t> w(sparse_fill_int_work, 1);
      EXPECT_EQ(route(integer_mat(4, 2), {.sparse = true}), Route{M::int_determ});
    }
    ScopedValue<std::int32_t> w(sparse_fill_int_work, INT32_MAX);
    EXPECT_EQ(route(integer_mat(4, 2), {.sparse = true}), Route{M::sparse_gauss_elim});
  }
  EXPECT_EQ(route(integer_mat(1, 3), {.sparse = true}), Route{M::sparse_gauss_elim});
  // Floating numbers by minors into a long double.
  {
    FloatingMode fl;
    Value n;
    EXPECT_EQ(route(integer_mat(3, 4), {.sparse = true}, &n), Route{M::int_sparse_minors_det});
    EXPECT_EQ(n->ncoef->flote, 2.0L);
  }
  // Elimination choices by entries and settings.
  EXPECT_EQ(route(poly_mat(4, 5), {.sparse = true}), Route{M::sparse_gauss_elim});
  {
    ModulusScope mod(7);
    EXPECT_EQ(route(integer_mat(5, 6), {.sparse = true}), Route{M::sparse_mod_int_determ});
  }
  {
    ScopedValue<std::int32_t> g(gauss_cutoff, 1);
    EXPECT_EQ(route(poly_mat(4, 7), {.sparse = true}), Route{M::sparse_gauss_Bareiss});
  }
  {
    ScopedValue<std::int32_t> l(rat_det_method_cut, 1);
    EXPECT_EQ(route(poly_mat(4, 8), {.sparse = true}),
              (Route{M::sparse_lagrange, M::sparse_gauss_elim}));
    lagrange_answer = true;
    EXPECT_EQ(route(poly_mat(4, 8), {.sparse = true}), Route{M::sparse_lagrange});
  }
  // detcutoff 100: every side 2..100 by minors (no cap of 40).
  {
    ScopedValue<std::int32_t> c(detcutoff, 100);
    for (std::int32_t m : {2, 41, 100})
      EXPECT_EQ(route(integer_mat(m, 9), {.sparse = true}), Route{M::sparse_minors_det}) << m;
    EXPECT_EQ(route(integer_mat(101, 9), {.sparse = true}), Route{M::sparse_gauss_elim});
  }
  EXPECT_EQ(route(integer_mat(3, 10), {.invert = true, .sparse = true}), Route{M::invert_sparse});
}

TEST_F(Router, DenseDecisions) {
  NodeBalance balance;
  // Integer determinants: word primes above side 3 without a factor.
  EXPECT_EQ(route(integer_mat(4, 11), {}), Route{M::int_determ});
  EXPECT_EQ(route(integer_mat(3, 12), {}), Route{M::standard_matrix_invert});
  EXPECT_EQ(seen_mycut, 2);
  Value two = Value::ratfun("x + 1");
  EXPECT_EQ(route(integer_mat(4, 13), {.fct = two->numer}), Route{M::standard_matrix_invert});
  {
    ScopedValue<std::int32_t> g(gauss_cutoff, 1);
    EXPECT_EQ(route(integer_mat(4, 13), {.fct = two->numer}), Route{M::gauss_Bareiss});
  }
  // Inverses: 3x3 by elimination, 4x4 by adjoint-CRT unless &I turned it off.
  EXPECT_EQ(route(integer_mat(3, 14), {.invert = true}), Route{M::standard_matrix_invert});
  EXPECT_EQ(route(integer_mat(4, 15), {.invert = true}), (Route{M::int_determ, M::mod_matrix_inv}));
  EXPECT_EQ(route(integer_mat(4, 15), {.invert = true, .equal = true}),
            (Route{M::int_determ, M::mod_matrix_inv}));
  inverse_answer = false;
  EXPECT_EQ(route(integer_mat(4, 15), {.invert = true}),
            (Route{M::int_determ, M::mod_matrix_inv, M::standard_matrix_invert}));
  {
    ScopedValue<bool> off(mod_matrix_ok, false);
    EXPECT_EQ(route(integer_mat(4, 15), {.invert = true}), Route{M::standard_matrix_invert});
  }
  // Cut-offs of polynomial determinants, and the cap of 40.
  const std::int32_t cuts[][2] = {{2, 2}, {3, 2}, {5, 4}, {6, 4}, {7, 0}};
  for (const auto& c : cuts) {
    route(poly_mat(c[0], 16), {});
    EXPECT_EQ(seen_mycut, c[1]) << c[0];
  }
  {
    ScopedValue<std::int32_t> c(detcutoff, 100);
    EXPECT_EQ(route(poly_mat(3, 17), {}), Route{M::standard_matrix_invert});
    EXPECT_EQ(seen_mycut, 40);
    EXPECT_EQ(route(integer_mat(5, 17), {}), Route{M::standard_matrix_invert});
  }
  // Modular numbers: the residue matrix, taken and given back; a nested
  // request while it is taken goes the general way.
  {
    ModulusScope mod(65521);
    EXPECT_EQ(route(integer_mat(5, 18), {}), Route{M::mod_determ});
    EXPECT_FALSE(mod_mode_matrix_in_use);
    ScopedValue<bool> taken(mod_mode_matrix_in_use, true);
    EXPECT_EQ(route(integer_mat(5, 18), {}), Route{M::standard_matrix_invert});
  }
  // Modulo a prime, polynomial determinants from side 8 are interpolated
  // first (declined: eliminated); not below that side, nor with a factor
  // to divide by, nor for inverses.
  {
    ModulusScope mod(65521);
    const Route first{M::mod_poly_interpolated, M::standard_matrix_invert};
    EXPECT_EQ(route(poly_mat(8, 19), {}), first);
    EXPECT_EQ(route(poly_mat(7, 19), {}), Route{M::standard_matrix_invert});
    Value f = Value::ratfun("x + 1");
    EXPECT_EQ(route(poly_mat(8, 19), {.fct = f->numer}), Route{M::standard_matrix_invert});
    lagrange_answer = true;
    EXPECT_EQ(route(poly_mat(8, 19), {}), Route{M::mod_poly_interpolated});
    EXPECT_EQ(route(poly_mat(8, 19), {.invert = true}), Route{M::standard_matrix_invert});
    // The same matrix with the Lagrange method asked for ("&L" at 1) takes
    // the printing driver instead, recorded under its own name.
    ScopedValue<std::int32_t> l(rat_det_method_cut, 1);
    EXPECT_EQ(route(poly_mat(8, 19), {}), Route{M::mod_poly_determ});
    lagrange_answer = false;
  }
}

TEST_F(Router, LagrangeOnlyWhenItsCutIsOne) {
  NodeBalance balance;
  // Start values: never, whatever the side or form.
  for (std::int32_t m = 1; m <= 8; ++m)
    for (bool sparse : {false, true}) {
      const Route r = route(poly_mat(m, 20 + static_cast<std::uint64_t>(m)), {.sparse = sparse});
      for (det_method x : r) {
        EXPECT_NE(x, M::rat_poly_determ) << m;
        EXPECT_NE(x, M::sparse_lagrange) << m;
      }
    }
  ScopedValue<std::int32_t> l(rat_det_method_cut, 1);
  // 7x7: always the Lagrange method first (declining: standard elimination).
  EXPECT_EQ(route(poly_mat(7, 30), {}), (Route{M::rat_poly_determ, M::standard_matrix_invert}));
  lagrange_answer = true;
  EXPECT_EQ(route(poly_mat(7, 30), {}), Route{M::rat_poly_determ});
  // 5x5: by its mass; light ones go to Gauss-Bareiss with gauss_cutoff 0.
  lagrange_answer = false;
  Mat light(5, 5);
  light.at(0, 0) = Value::ratfun("x");
  Mat heavy = poly_mat(5, 31);
  auto w = fresh_work();
  Descr f;
  to_dense(light, w.get(), f.get());
  EXPECT_FALSE(massive_enough(w.get(), 5));
  free_cells(w.get(), 25);
  to_dense(heavy, w.get(), f.get());
  EXPECT_TRUE(massive_enough(w.get(), 5));
  EXPECT_TRUE(massive_enough(w.get(), 7));  // side above 6: always
  free_cells(w.get(), 25);
  EXPECT_EQ(route(light, {}), Route{M::gauss_Bareiss});
  EXPECT_EQ(route(heavy, {}), (Route{M::rat_poly_determ, M::standard_matrix_invert}));
  // Floating and modular modes have their own Lagrange entries.
  {
    ModulusScope mod(7);
    // the mass limit is mod_det_method_cut there: 5x5 is light, 7x7 always
    EXPECT_EQ(route(heavy, {}), Route{M::gauss_Bareiss});
    EXPECT_EQ(route(poly_mat(7, 32), {}).front(), M::mod_poly_determ);
  }
}

TEST_F(Router, PowerWarnings) {
  ModulusScope mod(7);
  struct Case {
    std::int32_t power;
    std::int32_t warning;  // 0: none
  };
  auto expect_warnings = [](std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
      const std::string out = output_of([&] { check_det_power(c.power); });
      if (c.warning == 0) {
        EXPECT_EQ(out, "") << c.power;
      } else {
        EXPECT_NE(out.find("*** Warning."), std::string::npos) << c.power;
        const char* text = c.warning == 4 ? "With even power" : "With odd power";
        EXPECT_NE(out.find(text), std::string::npos) << c.power << out;
      }
    }
  };
  expect_warnings({{4, 0}, {-4, 0}, {6, 4}, {3, 5}, {-3, 5}, {5, 0}, {-1, 0}, {0, 0}, {1, 0}});
  // Factors of the characteristic are p-th roots: the rest of the power
  // decides (14 = 7 * 2, 42 = 7 * 6, 21 = 7 * 3 modulo 7; in GF(256) the
  // odd part, 6 = 2 * 3 and 3 | 255).
  expect_warnings({{7, 0}, {49, 0}, {14, 0}, {35, 0}, {42, 4}, {21, 5}});
  {
    ModulusScope gf256(256);
    expect_warnings({{2, 0}, {4, 0}, {7, 0}, {14, 0}, {6, 5}, {3, 5}});
  }
  {
    ModulusScope mod11(11);  // 11 mod 4 = 3, but 6 is no power of two
    EXPECT_NE(output_of([] { check_det_power(6); }).find("With even power"), std::string::npos);
    EXPECT_EQ(output_of([] { check_det_power(8); }), "");
  }
  {
    WordMode word;
    EXPECT_NE(output_of([] { check_det_power(2); }).find("Power is of use only"),
              std::string::npos);
  }
  // Through a sparse request; not checked outside single-word mode.
  const Mat a = integer_mat(4, 40);
  auto sparse_det = [&](std::int32_t power) {
    sparseptr sp = to_sparse(a);
    Value n = Value::number(BigRef(1));
    mat_invert(nullptr, nullptr, 4, n.cell(), &sp, nullptr, -1, -1, power, 0, {});
    free_sparse(&sp, 4, true);
  };
  EXPECT_NE(output_of([&] { sparse_det(6); }).find("With even power"), std::string::npos);
  ArithModeGuard rational;
  modularmode = lintmode = flotemode = finf = false;
  EXPECT_EQ(output_of([&] { sparse_det(6); }), "");
}

TEST_F(Router, TheExitDividesByTheFactor) {
  NodeBalance balance;
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  // Standard elimination's stand-in plants a determinant and exits: a
  // polynomial one is divided exactly, a number as a fraction; a factor that
  // does not divide gives error 305.
  static const char* planted;
  det_methods.standard_matrix_invert = [](quolyptr n, std::int32_t, poly fct, workptr, workptr,
                                          const InvertFlags&, mat_invert_EnvRec& env) {
    Value keep = make_value(planted);
    free_quoly(n);
    quoly_assign(keep, n);
    exitt(env, n, fct, true);
  };
  const char* cases[][3] = {
      {"x^2 - 1", "x - 1", "x + 1"}, {"6", "4", "3 / 2 rat"}, {"x^2 + 2", "x - 1", ""}};
  for (const auto& c : cases) {
    planted = c[0];
    Value fct = Value::ratfun(c[1]), n;
    bool unwound = false;
    const std::string out =
        output_of([&] { route(poly_mat(3, 50), {.fct = fct->numer}, &n); }, &unwound);
    if (*c[2] != 0)
      EXPECT_EQ(value_text(n), c[2]) << c[0];
    else
      EXPECT_TRUE(reports(out, 305)) << out;
  }
}

TEST_F(Router, GuardsUndoEverythingOnAnError) {
  NodeBalance balance;
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  const std::int32_t start = first_available;
  // An inverse with equal set copies into a work array; the integer
  // determinant of the copy asks for the inverse of that copy again, three
  // levels deep, and the innermost fails.
  static std::int32_t depth;
  depth = 0;
  det_methods.int_determ = [](quolyptr n, arrptr, workptr beta, std::int32_t m, quolyptr) {
    if (++depth == 3) error(88, &token);
    Value inner = Value::number(BigRef(1));
    mat_invert(beta, beta, m, inner.cell(), nullptr, nullptr, -1, -1, -1, 0,
               {.invert = true, .equal = true});
    quoly_set(1, n);
  };
  bool unwound = false;
  const std::string out =
      output_of([&] { route(integer_mat(4, 60), {.invert = true, .equal = true}); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_EQ(depth, 3);
  EXPECT_EQ(first_available, start);
  EXPECT_FALSE(mod_mode_matrix_in_use);
  // A singular matrix: error 44 after the copy went back.
  det_methods = stand_ins();
  int_det_value = 0;
  const std::string out44 =
      output_of([&] { route(integer_mat(4, 61), {.invert = true, .equal = true}); }, &unwound);
  EXPECT_TRUE(reports(out44, 44)) << out44;
  EXPECT_EQ(first_available, start);
}

TEST_F(Router, SparseInverseIsRegistered) {
  det_methods = default_det_methods();
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  bool unwound = false;
  const std::string out =
      output_of([&] { route(integer_mat(4, 70), {.invert = true, .sparse = true}); }, &unwound);
  EXPECT_EQ(out.find("not available"), std::string::npos) << out;
  ModulusScope mod(7);
  const std::string out2 =
      output_of([&] { route(integer_mat(4, 70), {.invert = true, .sparse = true}); }, &unwound);
  EXPECT_EQ(out2.find("not available"), std::string::npos) << out2;
}

// The residue inverse that the p-th root tables rely on, through the router:
// A * A^-1 = I for random invertible residue matrices.
TEST_F(Router, ResidueInversesThroughTheRouter) {
  det_methods = default_det_methods();
  NodeBalance balance;
  for (std::int32_t p : {7, 65521, 2147483629, 256}) {
    ModulusScope mod(p);
    std::mt19937_64 rng(static_cast<std::uint64_t>(p));
    for (std::int32_t m : {1, 2, 5, 9}) {
      Mat a = random_mat(rng, m, m, 0.1, [p](std::mt19937_64& g) {
        return Value::number(BigRef(static_cast<long long>(g() % static_cast<std::uint64_t>(p))));
      });
      auto w = fresh_work();
      Descr f;
      to_dense(a, w.get(), f.get());
      Value det = Value::number(BigRef(1));
      std::string out = output_of([&] {
        mat_invert(w.get(), w.get(), m, det.cell(), nullptr, nullptr, -1, -1, -1, 0,
                   {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
      });
      Mat inv = from_dense(w.get(), m, m);
      free_cells(w.get(), m * m);
      if (det->ncoef->lint == 0) continue;  // singular: reported, left alone
      Mat prod = schoolbook(a, inv);
      Mat id(m, m);
      for (std::int32_t i = 0; i < m; ++i) id.at(i, i) = Value::number(BigRef(1));
      EXPECT_TRUE(same_mat(prod, id)) << p << " " << m;
    }
  }
}

// The dense kernel that inverts the p-th root tables' matrices gives the
// router's inverse cell for cell, and refuses the matrices the router finds
// singular (zeros planted so that some are).
TEST_F(Router, DenseResidueInverseAgreesWithTheRouter) {
  det_methods = default_det_methods();
  NodeBalance balance;
  int singular = 0;
  for (std::int32_t p : {7, 65521, 2147483629, 256, 65536}) {
    ModulusScope mod(p);
    std::mt19937_64 rng(static_cast<std::uint64_t>(p) + 11);
    for (std::int32_t m : {1, 2, 3, 5, 9, 16}) {
      for (int round = 0; round < 4; ++round) {
        const std::size_t side = static_cast<std::size_t>(m);
        std::vector<std::int32_t> v(side * side);
        for (auto& x : v)
          x = rng() % 3 == 0 ? 0 : static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
        Mat a(m, m);
        for (std::int32_t i = 0; i < m; ++i)
          for (std::int32_t j = 0; j < m; ++j)
            a.at(i, j) = Value::number(
                BigRef(v[static_cast<std::size_t>(i) * side + static_cast<std::size_t>(j)]));
        auto w = fresh_work();
        Descr f;
        to_dense(a, w.get(), f.get());
        Value det = Value::number(BigRef(1));
        const std::string out = output_of([&] {
          mat_invert(w.get(), w.get(), m, det.cell(), nullptr, nullptr, -1, -1, -1, 0,
                     {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
        });
        Mat routed = from_dense(w.get(), m, m);
        free_cells(w.get(), m * m);
        const bool ok = residue_matrix_inverse(v, m);
        // Singular: a zero determinant, or for one row the division error
        // (its message text, or its number when no message table is loaded).
        const bool refused =
            det->ncoef->lint == 0 || out.find("*** Inappropriate symbol") != std::string::npos;
        ASSERT_EQ(ok, !refused) << p << " " << m << " " << round << out;
        if (!ok) {
          ++singular;
          continue;
        }
        Mat kernel(m, m);
        for (std::int32_t i = 0; i < m; ++i)
          for (std::int32_t j = 0; j < m; ++j)
            kernel.at(i, j) = Value::number(
                BigRef(v[static_cast<std::size_t>(i) * side + static_cast<std::size_t>(j)]));
        EXPECT_TRUE(same_mat(routed, kernel)) << p << " " << m << " " << round;
      }
    }
  }
  EXPECT_GT(singular, 0);
}

}  // namespace
}  // namespace tavrin::test
