// Timings of the integer determinant by word-prime images and the inverse
// by images, on fixed-seed n x n matrices with entries uniform in [-99, 99]:
// - int_determ, n = 50, 100, 200, 600, 1000 (the prime count, the lifting
//   steps and the bits of the divisor found first are reported), and the
//   same through the images of the table only, n = 50, 100, 200, 600;
// - Gauss-Bareiss on the same matrices, n = 50, 100, 200;
// - the adjoint-CRT inverse (int_determ then mod_matrix_inv), n = 50, 100, 200.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/det_upcalls.h"
#include "matrix/divisor_determ.h"
#include "matrix/int_images.h"
#include "det/dense_gauss.h"
#include "det/int_determ.h"
#include "det/router.h"
#include "frontend/data_files.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

using bench::random_matrix;
using bench::Work;

void setup_once() { bench::read_tables_once(); }

// int_determ on a's n x n matrix, no bound given.
void determ_once(Work& a, std::int32_t n) {
  quoly d = nullptr, bound = nullptr;
  quoly_set(1, &d);
  quoly_set(-1, &bound);
  int_determ(&d, nullptr, &a.w, n, &bound);
  benchmark::DoNotOptimize(d);
  free_quoly(&d);
  free_quoly(&bound);
}

void BM_IntDeterm(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = random_matrix(n);
  for (auto _ : state) determ_once(*a, n);
  state.counters["primes"] = last_prime_count;
  state.counters["lift_steps"] = images::last_divisor_stats.lift_steps;
  state.counters["d_bits"] = images::last_divisor_stats.divisor_bits;
}
BENCHMARK(BM_IntDeterm)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntDeterm)->Arg(600)->Arg(1000)->Iterations(1)->Unit(benchmark::kSecond);

// A singular matrix (the last row the sum of the first two), proven
// singular by a kernel vector.
void BM_IntDetermSingular(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = random_matrix(n);
  for (std::int32_t c = 0; c < n; ++c) {
    const std::int32_t v =
        a->w.stash[c * n]->ncoef->head->value + a->w.stash[c * n + 1]->ncoef->head->value;
    free_quoly(&a->w.stash[c * n + n - 1]);
    quoly_set(v, &a->w.stash[c * n + n - 1]);
    a->w.stash[c * n + n - 1]->next = nullptr;
  }
  for (auto _ : state) determ_once(*a, n);
  state.counters["lift_steps"] = images::last_divisor_stats.lift_steps;
}
BENCHMARK(BM_IntDetermSingular)->Arg(200)->Arg(600)->Iterations(1)->Unit(benchmark::kSecond);

// The same through the images of the table only (the divisor-first route
// switched off), as for singular matrices.
void BM_IntDetermTableImages(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = random_matrix(n);
  images::divisor_route_enabled = false;
  for (auto _ : state) determ_once(*a, n);
  images::divisor_route_enabled = true;
  state.counters["primes"] = last_prime_count;
}
BENCHMARK(BM_IntDetermTableImages)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IntDetermTableImages)->Arg(600)->Iterations(1)->Unit(benchmark::kSecond);

void BM_BareissIntDeterm(benchmark::State& state) {
  setup_once();
  allocate_work_areas();
  if (first_available < 1) first_available = 1;
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = random_matrix(n);
  for (auto _ : state) {
    bench::determinant_once(*a, n, [&](quoly* d, mat_invert_EnvRec& env) {
      gauss_Bareiss(d, n, &a->w, false, false, nullptr, env, false);
    });
  }
}
BENCHMARK(BM_BareissIntDeterm)->Arg(50)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_AdjointCrtInverse(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = random_matrix(n);
  auto out = std::make_unique<Work>();
  out->cells = n * n;
  for (auto _ : state) {
    quoly d = nullptr, bound = nullptr;
    quoly_set(1, &d);
    quoly_set(-1, &bound);
    int_determ(&d, nullptr, &a->w, n, &bound);
    mod_matrix_inv(&a->w, &out->w, true, n, &d, &bound, nullptr, true);
  }
  state.counters["primes"] = last_prime_count;
}
BENCHMARK(BM_AdjointCrtInverse)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
