// Timings of the determinant by expansion by minors against sparse Gaussian
// elimination, and of the Hamiltonian path search, on fixed-seed instances:
// - n x n sparse matrices with 3 entries a row (the diagonal and two other
//   random columns): integers in [-9, 9], or a constant plus, half the time,
//   one term of total degree 1 or 2 in x, y, z, t; n = 12 and 16;
// - the path search on random graphs of 30 and 60 vertices (each edge with
//   probability 1/4), through the builder of the labelled matrix (60 only
//   with TAVRIN_BENCH_LONG set).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <set>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/stash/stash.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/hamilton.h"
#include "det/minors_det.h"
#include "det/sparse_gauss.h"
#include "frontend/data_files.h"
#include "bench_sparse_instances.h"

namespace {

using namespace tavrin;
using namespace tavrin::bench_sparse;

sparseptr random_matrix(std::int32_t n, bool polys) {
  std::mt19937_64 rng(46);
  sparseptr sp = nullptr;
  sparse_init(&sp, n);
  for (std::int32_t r = 1; r <= n; ++r) {
    std::set<std::int32_t> cols{r};
    while (cols.size() < 3) cols.insert(1 + static_cast<std::int32_t>(rng() % n));
    colm_ptrptr t = sparse_row(sp, r);
    for (std::int32_t c : cols) {
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c;
      e->val = polys ? p06_entry(rng) : integer_value(nonzero(rng));
      e->next = nullptr;
      *t = e;
      t = &e->next;
    }
  }
  return sp;
}

// range(0): side; range(1): 1 for polynomial entries; minors or elimination.
template <bool Minors>
void BM_SparseDet(benchmark::State& state) {
  adjoin_xyzt_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = random_matrix(n, state.range(1) == 1);
  for (auto _ : state) {
    quoly d = nullptr;
    quoly_set(1, &d);
    if (Minors) {
      sparseptr b = a;
      bool ar_free = false;
      sparse_minors_det(&d, &b, n, &ar_free);
    } else {
      sparse_gauss_elim(&a, &d, n, 3, false);
    }
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  free_sparse(&a, n, true);
}
BENCHMARK(BM_SparseDet<true>)
    ->Name("BM_MinorsDet")
    ->ArgsProduct({{12, 16, 20, 24}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SparseDet<false>)
    ->Name("BM_SparseGaussDet")
    ->ArgsProduct({{12, 16, 20, 24}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_HamiltonPath(benchmark::State& state) {
  adjoin_xyzt_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::uint64_t one_in = 4;
  std::mt19937_64 rng(4610);
  auto w = std::make_unique<workarray>();
  for (std::int32_t i = 0; i < n * n; ++i) w->stash[i] = nullptr;
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j <= i; ++j) {
      const std::int32_t v = i != j && rng() % one_in == 0 ? 1 : 0;
      quoly_set(v, &w->stash[j * n + i]);
      quoly_set(v, &w->stash[i * n + j]);
    }
  std::int64_t found = 0;
  for (auto _ : state) {
    arr_descr f{};
    set_descr(&f, n, n);
    bool arr_free = false;
    sparseptr sp = nullptr;
    set_up_hamilton(w.get(), &f, &arr_free, &sp);
    quoly r = nullptr;
    hamilton_path_driver(&sp, f.rows, &r, nullptr);
    found = quoly_eq_1(r) ? 1 : 0;
    free_quoly(&r);
    free_stuff(sp, f.rows);
    special_free(&f.arrsize);
  }
  state.counters["found"] = static_cast<double>(found);
  state.counters["leaves"] = static_cast<double>(lowcnt);
  for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&w->stash[k]);
}
BENCHMARK(BM_HamiltonPath)->Arg(30)->Unit(benchmark::kMillisecond);

// 60 vertices (minutes: every level scans the 3,601 rows of the labelled
// matrix) only with TAVRIN_BENCH_LONG set.
const bool long_runs = [] {
  if (std::getenv("TAVRIN_BENCH_LONG") != nullptr)
    benchmark::RegisterBenchmark("BM_HamiltonPathLong", BM_HamiltonPath)
        ->Arg(60)
        ->Iterations(1)
        ->Unit(benchmark::kSecond);
  return true;
}();

}  // namespace
