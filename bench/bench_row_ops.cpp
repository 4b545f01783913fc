// Timings of the row and column operations, the per-step costs of the
// eliminations:
// - one sparse row merge (row k += f * row q) of two 1,000-entry rows over
//   Z (one-limb integers), modulo 32003, and of linear polynomials in x, y;
// - one dense row operation (row k -= f * row q) on a 500 x 500 work array
//   of one-limb integers, and on a 100 x 100 array of linear polynomials;
// - one residue elimination step (mod_zero_out at the first pivot) on a
//   500 x 500 work array modulo 32003.
// Each iteration adds f * row q and then -f * row q, so the matrix comes
// back as it was; the figures are per operation (two per iteration).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <set>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/row_ops.h"
#include "frontend/data_files.h"
#include "bench_ring.h"
#include "bench_sparse_instances.h"

namespace {

using namespace tavrin;
using bench::integer_value;
using bench::linear_value;

void setup_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  bench::adjoin_variables({"x", "y"});
}

std::int32_t small(std::mt19937_64& rng, std::int32_t bound) {
  return 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(bound));
}

// Two rows of 1,000 entries among 3,000 columns.
template <class Make>
sparseptr two_rows(std::mt19937_64& rng, Make make) {
  return bench_sparse::build(
      2,
      [&](std::int32_t) {
        std::set<std::int32_t> cols;
        while (cols.size() < 1000) cols.insert(small(rng, 3000));
        return cols;
      },
      make);
}

// Times row 1 += f row 2 and back again (sp consumed).
void merge_and_back(benchmark::State& state, sparseptr sp, std::int32_t f) {
  quoly a = integer_value(f), b = integer_value(-f);
  for (auto _ : state) {
    sparse_row_add(sp, a, 1, 2);
    sparse_row_add(sp, b, 1, 2);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_quoly(&a);
  free_quoly(&b);
  free_sparse(&sp, 2, true);
}

void BM_SparseRowMergeZ(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(1);
  sparseptr sp = two_rows(rng, [&] { return integer_value(small(rng, 1000000)); });
  merge_and_back(state, sp, 12345);
}
BENCHMARK(BM_SparseRowMergeZ);

void BM_SparseRowMergeMod32003(benchmark::State& state) {
  setup_once();
  ModulusGuard ring(32003, true);
  ArithModeGuard modes;
  modularmode = lintmode = true;
  flotemode = false;
  std::mt19937_64 rng(2);
  sparseptr sp = two_rows(rng, [&] { return integer_value(small(rng, 32002)); });
  for (auto _ : state) {
    sparse_mod_row_add(sp, 12345, 1, 2);
    sparse_mod_row_add(sp, 32003 - 12345, 1, 2);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_sparse(&sp, 2, true);
}
BENCHMARK(BM_SparseRowMergeMod32003);

void BM_SparseRowMergePoly(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(3);
  sparseptr sp = two_rows(
      rng, [&] { return linear_value(small(rng, 100), small(rng, 100), small(rng, 100)); });
  merge_and_back(state, sp, 7);
}
BENCHMARK(BM_SparseRowMergePoly);

template <class Make>
workptr dense(std::int32_t n, Make make) {
  workptr w = new workarray;
  for (std::int32_t k = 0; k < n * n; ++k) w->stash[k] = make();
  return w;
}
void free_dense(workptr w, std::int32_t n) {
  for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&w->stash[k]);
  delete w;
}

// Times row 3 -= f row 7 and back again on the n x n array w (freed).
void reduce_and_back(benchmark::State& state, workptr w, std::int32_t n, std::int32_t f) {
  quoly a = integer_value(f), b = integer_value(-f);
  for (auto _ : state) {
    row_reduce(w, a, n, 3, 7);
    row_reduce(w, b, n, 3, 7);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_quoly(&a);
  free_quoly(&b);
  free_dense(w, n);
}

void BM_DenseRowReduceZ500(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(4);
  const std::int32_t n = 500;
  workptr w = dense(n, [&] { return integer_value(small(rng, 1000000)); });
  reduce_and_back(state, w, n, 12345);
}
BENCHMARK(BM_DenseRowReduceZ500);

void BM_DenseRowReducePoly100(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(5);
  const std::int32_t n = 100;
  workptr w =
      dense(n, [&] { return linear_value(small(rng, 100), small(rng, 100), small(rng, 100)); });
  reduce_and_back(state, w, n, 7);
}
BENCHMARK(BM_DenseRowReducePoly100);

void BM_ModZeroOut500(benchmark::State& state) {
  setup_once();
  ModulusGuard ring(32003, true);
  ArithModeGuard modes;
  modularmode = lintmode = true;
  flotemode = false;
  std::mt19937_64 rng(6);
  const std::int32_t n = 500;
  workptr w = dense(n, [&] { return integer_value(small(rng, 32002)); });
  for (auto _ : state) mod_zero_out(w, 1, n, 1);  // one full pivot step (499 x 499 updates)
  state.SetItemsProcessed(state.iterations());
  free_dense(w, n);
}
BENCHMARK(BM_ModZeroOut500);

}  // namespace
