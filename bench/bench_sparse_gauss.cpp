// Timings of sparse Gaussian elimination and its pivot search, on fixed-seed
// instances:
// - the sparse polynomial determinant: n x n, 3 entries a row (the diagonal
//   and two other random columns), each entry a constant in [-9, 9] plus, half
//   the time, one term of total degree 1 or 2 in x, y, z, t; n = 34 and 37;
// - one counting pass (sparse_fill_clc at step 1) and the whole elimination
//   modulo 32003 on random integer matrices with 3-6 entries a row (2,000
//   rows only with TAVRIN_BENCH_LONG set).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "det/sparse_gauss.h"
#include "matrix/pivot_search.h"
#include "matrix/sparse_copy.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/data_files.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace {

using namespace tavrin;

void adjoin_xyzt_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  const char* names[] = {"x", "y", "z", "t"};
  polypt* link = &polynames;
  for (std::int16_t d = 1; d <= 4; ++d) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, names[d - 1], 10);
    r->let.address = -1;
    r->depth = d;
    *link = r;
    link = &r->next;
  }
  number_polys = 4;
}

std::int32_t nonzero(std::mt19937_64& rng) {
  std::int32_t v = 0;
  while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
  return v;
}

quoly number_value(std::int32_t v) {
  quoly q = nullptr;
  quoly_set(v, &q);
  q->next = nullptr;
  return q;
}

// c0 + c1 * m, m a monomial of total degree 1 or 2 in the four variables.
quoly p06_entry(std::mt19937_64& rng) {
  const std::int32_t c0 = nonzero(rng);
  if (rng() % 2 == 0) return number_value(c0);
  poly mono = nullptr;
  poly_set(nonzero(rng), &mono);
  const int degree = 1 + static_cast<int>(rng() % 2);
  for (int k = 0; k < degree; ++k) {
    poly v = nullptr;
    base_poly(&v, 1 + static_cast<std::int32_t>(rng() % 4));
    poly_mult(mono, v, &mono, nilpol);
    free_poly(&v);
  }
  poly c = nullptr;
  poly_set(c0, &c);
  poly s = nullptr;
  best_poly_add(mono, c, &s);
  quoly q = nullptr;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->rat = false;
  q->numer = s;
  q->denom = nullptr;
  return q;
}

// An n-row matrix whose row r holds the columns `cols(r)` with make() values.
template <class Cols, class Make>
sparseptr build(std::int32_t n, Cols cols, Make make) {
  sparseptr sp = nullptr;
  sparse_init(&sp, n);
  for (std::int32_t r = 1; r <= n; ++r) {
    colm_ptrptr t = sparse_row(sp, r);
    for (std::int32_t c : cols(r)) {
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c;
      e->val = make();
      e->next = nullptr;
      *t = e;
      t = &e->next;
    }
  }
  return sp;
}

sparseptr p06_matrix(std::int32_t n) {
  std::mt19937_64 rng(6);
  return build(
      n,
      [&](std::int32_t r) {
        std::set<std::int32_t> s{r};
        while (s.size() < 3) s.insert(1 + static_cast<std::int32_t>(rng() % n));
        return s;
      },
      [&] { return p06_entry(rng); });
}

sparseptr random_integer_matrix(std::int32_t n) {
  std::mt19937_64 rng(32003);
  return build(
      n,
      [&](std::int32_t) {
        std::set<std::int32_t> s;
        const std::size_t k = 3 + rng() % 4;
        while (s.size() < k) s.insert(1 + static_cast<std::int32_t>(rng() % n));
        return s;
      },
      [&] { return number_value(1 + static_cast<std::int32_t>(rng() % 32002)); });
}

void BM_SparseGaussP06(benchmark::State& state) {
  adjoin_xyzt_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = p06_matrix(n);
  for (auto _ : state) {
    quoly d = nullptr;
    sparse_gauss_elim(&a, &d, n, 3, false);
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  free_sparse(&a, n, true);
}
BENCHMARK(BM_SparseGaussP06)->Arg(20)->Arg(34)->Arg(37)->Iterations(1)->Unit(benchmark::kSecond);

class Mod32003 {
 public:
  Mod32003() : ring_(32003, true) {
    modularmode = lintmode = true;
    flotemode = false;
  }

 private:
  ModulusGuard ring_;
  ArithModeGuard modes_;
};

void BM_SparseFillClcMod32003(benchmark::State& state) {
  adjoin_xyzt_once();
  Mod32003 ring;
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = random_integer_matrix(n);
  std::int32_t j = 0, k = 0, cnt = 0, wht = 0, terms = 0;
  for (auto _ : state) {
    sparse_fill_clc(a, n, 1, &j, &k, &cnt, &wht, &terms);
    benchmark::DoNotOptimize(j);
  }
  free_sparse(&a, n, true);
}
BENCHMARK(BM_SparseFillClcMod32003)->Arg(2000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_SparseGaussMod32003(benchmark::State& state) {
  adjoin_xyzt_once();
  Mod32003 ring;
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = random_integer_matrix(n);
  for (auto _ : state) {
    quoly d = nullptr;
    sparse_gauss_elim(&a, &d, n, 3, false);
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  free_sparse(&a, n, true);
}
BENCHMARK(BM_SparseGaussMod32003)->Arg(500)->Iterations(1)->Unit(benchmark::kMillisecond);

// 2,000 rows (over a minute: fill-in makes each step sweep a nearly dense
// active part twice) only with TAVRIN_BENCH_LONG set.
static const bool long_runs = [] {
  if (std::getenv("TAVRIN_BENCH_LONG") != nullptr) {
    benchmark::RegisterBenchmark("BM_SparseGaussMod32003Long", BM_SparseGaussMod32003)
        ->Arg(2000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  return true;
}();

}  // namespace
