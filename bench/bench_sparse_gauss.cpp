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

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/pivot_search.h"
#include "matrix/sparse_copy.h"
#include "det/sparse_gauss.h"
#include "frontend/data_files.h"
#include "bench_sparse_instances.h"

namespace {

using namespace tavrin;
using namespace tavrin::bench_sparse;

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
      [&] { return integer_value(1 + static_cast<std::int32_t>(rng() % 32002)); });
}

// Times sparse_gauss_elim on the n x n matrix a (consumed).
void eliminate(benchmark::State& state, sparseptr a, std::int32_t n) {
  for (auto _ : state) {
    quoly d = nullptr;
    sparse_gauss_elim(&a, &d, n, 3, false);
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  free_sparse(&a, n, true);
}

void BM_SparseGaussP06(benchmark::State& state) {
  adjoin_xyzt_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = p06_matrix(n);
  eliminate(state, a, n);
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
  eliminate(state, a, n);
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
