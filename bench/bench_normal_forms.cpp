// Timings of the integer Hermite and Smith forms on fixed-seed n x n
// matrices with entries uniform in [-99, 99], dense, as the built-ins run
// them (range(2) = 1: all four transforms kept), without and with a
// pseudo-determinant (range(1) = 1: |det| itself, from the fast exact
// determinant). Up to side 20 the Euclidean elimination answers; above it
// the route modulo the determinant. Counter: the largest entry in limbs at
// the end. The pivot search alone: BM_IntFindbest. Sides of 300 and more
// with transforms only with TAVRIN_BENCH_LONG set.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "matrix/divisor_determ.h"
#include "matrix/normal_forms.h"
#include "matrix/normal_forms/hermite_modular.h"
#include "matrix/normal_forms/int_pivot_search.h"
#include "matrix/scaled_solve.h"
#include "matrix/zmatrix.h"
#include "frontend/data_files.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

// A dense n x n named array on private pages of the store.
struct BenchArray {
  std::int32_t n;
  bench::OwnPages pages;
  arrnode q{};
  explicit BenchArray(std::int32_t n_, std::uint64_t seed) : n(n_), pages(n * n) {
    const std::int32_t cells = n * n;
    std::mt19937_64 rng(seed);
    for (std::int32_t c = 0; c < cells; ++c) {
      quoly v = nullptr;
      quoly_set(static_cast<std::int32_t>(rng() % 199) - 99, &v);
      v->next = nullptr;
      *arp_cell(c) = v;
    }
    q.rows = n;
    q.start = 0;
    q.stop = cells - 1;
    set_entry_count(&q.sizearr, std::int64_t{n} * n);
  }
  ~BenchArray() {
    for (std::int32_t c = 0; c < n * n; ++c) free_quoly(arp_cell(c));
    special_free(&q.sizearr);
  }
  std::int32_t largest_limbs() const {
    std::int32_t m = 0;
    for (std::int32_t c = 0; c < n * n; ++c) m = std::max(m, (*arp_cell(c))->ncoef->size);
    return m;
  }
};

struct Work {
  std::int32_t n;
  workptr w[4];
  explicit Work(std::int32_t n_) : n(n_) {
    for (auto& a : w) {
      a = new workarray;
      for (std::int32_t c = 0; c < n * n; ++c) a->stash[c] = nullptr;
    }
  }
  ~Work() {
    for (auto& a : w) {
      for (std::int32_t c = 0; c < n * n; ++c) free_quoly(&a->stash[c]);
      delete a;
    }
  }
};

void set_up_once() {
  static bool done = false;
  if (done) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  wanthalf = 1;
  done = true;
}

// |det| of the seed's matrix by the fast exact determinant: the
// pseudo-determinant of the modular runs.
imptr det_of(std::int32_t n, std::uint64_t seed) {
  BenchArray a(n, seed);
  std::vector<quoly> cells(static_cast<std::size_t>(n) * n);
  for (std::int32_t c = 0; c < n * n; ++c) cells[c] = *arp_cell(c);
  imptr d = images::divisor_determ(cells, n, nullptr);
  if (d->head->value < 0) in_place_neg(d);
  return d;  // kept for the program's life
}

// Hermite (smith false) or Smith form of the seed-47 matrix of side range(0),
// modulo |det| when range(1) is set.
void run_form(benchmark::State& state, bool smith) {
  set_up_once();
  const std::int32_t n = static_cast<std::int32_t>(state.range(0));
  const bool modular = state.range(1) != 0;
  const bool all = state.range(2) != 0;
  if (n >= 300 && all && std::getenv("TAVRIN_BENCH_LONG") == nullptr) {
    state.SkipWithError("set TAVRIN_BENCH_LONG");
    return;
  }
  imptr pd = modular ? det_of(n, 47) : nullptr;
  const bool want[6] = {all, all, all, all, false, false};
  std::int32_t limbs = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto a = std::make_unique<BenchArray>(n, 47);
    Work w(n);
    quoly rank = nullptr;
    state.ResumeTiming();
    if (smith)
      intnormal(&rank, &a->q, want, w.w[0], w.w[1], w.w[2], w.w[3], modular, pd, nullptr, 42);
    else
      intcolred(&rank, &a->q, want, w.w[0], w.w[1], w.w[2], w.w[3], nullptr, modular, pd);
    state.PauseTiming();
    limbs = a->largest_limbs();
    free_quoly(&rank);
    a.reset();
    state.ResumeTiming();
  }
  state.counters["largest_limbs"] = limbs;
  if (pd != nullptr) state.counters["pd_limbs"] = pd->size;
}
void BM_Hermite(benchmark::State& state) { run_form(state, false); }
void BM_Smith(benchmark::State& state) { run_form(state, true); }
BENCHMARK(BM_Smith)
    ->Args({20, 0, 0})
    ->Args({20, 1, 0})
    ->Args({50, 0, 0})
    ->Args({50, 1, 0})
    ->Args({100, 0, 0})
    ->Args({100, 0, 1})
    ->Args({300, 0, 0})
    ->Args({500, 0, 0})
    ->Args({300, 0, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK(BM_Hermite)
    ->Args({20, 0, 0})
    ->Args({20, 1, 0})
    ->Args({30, 0, 0})
    ->Args({30, 1, 0})
    ->Args({30, 0, 1})
    ->Args({100, 0, 0})
    ->Args({100, 1, 0})
    ->Args({100, 0, 1})
    ->Args({300, 0, 0})
    ->Args({500, 0, 0})
    ->Args({300, 0, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// One integer pivot search over the whole of a 300 x 300 matrix.
void BM_IntFindbest(benchmark::State& state) {
  set_up_once();
  BenchArray a(300, 47);
  std::int32_t j = 0, k = 0, val = 0;
  for (auto _ : state) {
    intfindbest(0, a.q.stop, 300, 0, &j, &k, &val);
    benchmark::DoNotOptimize(val);
  }
}
BENCHMARK(BM_IntFindbest);

// The elimination modulo n alone, on a 40 x 48 matrix of entries in
// [-99, 99] (seed 47), n = |det| of its leading block times odd words
// until n has range(0) 64-bit words: the residues in fixed-width words
// (up to 16) or in big integers (17).
void BM_HermiteModulo(benchmark::State& state) {
  set_up_once();
  const auto words = static_cast<std::int64_t>(state.range(0));
  std::mt19937_64 rng(47);
  ZMatrix t(40, 48);
  for (ZInt& x : t.cell) x = static_cast<std::int64_t>(rng() % 199) - 99;
  ZMatrix lead(40, 40);
  for (std::int32_t i = 0; i < 40; ++i)
    for (std::int32_t j = 0; j < 40; ++j) lead.at(i, j) = t.at(i, j);
  ZInt n = abs_int_determinant(lead);
  while ((n.bit_length() + 63) / 64 < words) n *= ZInt(static_cast<std::int64_t>(rng() >> 2) | 1);
  for (auto _ : state) benchmark::DoNotOptimize(hermite_modulo(t, n));
  state.counters["n_words"] = static_cast<double>((n.bit_length() + 63) / 64);
}
BENCHMARK(BM_HermiteModulo)
    ->Arg(5)
    ->Arg(8)
    ->Arg(16)
    ->Arg(24)
    ->Arg(32)
    ->Arg(33)
    ->Unit(benchmark::kMillisecond);

}  // namespace
