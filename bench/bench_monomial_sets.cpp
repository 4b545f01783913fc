// The row sort of a sparse column of n monomials x^e (e uniform below n/4,
// so runs of equal keys are common) and the merge of two sorted columns of
// n rows each. Items are rows.
#include <benchmark/benchmark.h>

#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/monomial_sets.h"
#include "arrays/sparse_store.h"
#include "frontend/data_files.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

void set_up_once() { bench::start_work_areas_once(); }

// x^e as a value (the top variable of a temporary level is not needed: the
// keys are built directly as one-term polynomials).
quoly power_of_x(std::int32_t e) {
  quoly q = nullptr;
  base_quoly(&q, 1);
  if (e > 1) q->numer->exp = e;
  return q;
}

arrptr column(std::int32_t n, std::mt19937_64& rng, bool sorted) {
  arrptr q = nullptr;
  newarray(&q);
  q->rows = n;
  q->start = 0;
  q->stop = -1;
  set_entry_count(&q->sizearr, n);
  sparse_init(&q->spar, n);
  for (std::int32_t k = 1; k <= n; ++k) {
    colm_ptr e = nullptr;
    newcolm(&e);
    e->coord = 1;
    e->next = nullptr;
    e->val = power_of_x(sorted ? 1 + k : 1 + static_cast<std::int32_t>(rng() % (n / 4 + 1)));
    *sparse_row(q->spar, k) = e;
  }
  return q;
}

void release(arrptr q) {
  free_sparse(&q->spar, q->rows, true);
  free_array_record(q);
}

void BM_SparseSort(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(170);
  for (auto _ : state) {
    state.PauseTiming();
    arrptr q = column(n, rng, false);
    state.ResumeTiming();
    std::int32_t last = 0;
    check_set_first_col(q->spar, &last, n - 1, &q->name);
    sparse_arraysort(0, 0, n - 1, last);
    state.PauseTiming();
    release(q);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_SynthMerge(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(171);
  for (auto _ : state) {
    state.PauseTiming();
    arrptr a = column(n, rng, true), b = column(n, rng, true);
    state.ResumeTiming();
    benchmark::DoNotOptimize(synth_merge(a, b));
    state.PauseTiming();
    release(a);
    release(b);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * 2 * n);
}

}  // namespace

BENCHMARK(BM_SparseSort)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SynthMerge)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
