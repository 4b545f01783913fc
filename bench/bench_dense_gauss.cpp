// Timings of dense elimination on fixed-seed instances:
// - mod_determ modulo 32003 and 2147483629, n = 100, 200, 500 (uniform
//   residues), and fl_determ at n = 200;
// - the standard method on polynomial matrices (every entry all 10 monomials
//   of total degree <= 2 in x, y, z, coefficients in [-9, 9] non-zero):
//   determinant at n = 6 and 8, inverse at n = 5.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "det/dense_gauss.h"
#include "det/router.h"
#include "bench_ring.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

using bench::Work;

void fill_numbers(Work& a, std::int32_t n, std::uint64_t seed, std::uint32_t bound, bool floats) {
  std::mt19937_64 rng(seed);
  a.cells = n * n;
  for (std::int32_t k = 0; k < a.cells; ++k) {
    quoly_set(0, &a.w.stash[k]);
    a.w.stash[k]->next = nullptr;
    const auto v = static_cast<std::int32_t>(rng() % bound);
    a.w.stash[k]->ncoef->lint = v;
    a.w.stash[k]->ncoef->flote = floats ? v - 100.0L : 0.0L;
  }
}

void BM_ModDeterm(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto p = static_cast<std::int32_t>(state.range(1));
  bench::ModularRing ring(p);
  auto a = std::make_unique<Work>();
  fill_numbers(*a, n, 45, static_cast<std::uint32_t>(p), false);
  for (auto _ : state) {
    quoly d = nullptr;
    quoly_set(1, &d);
    d->ncoef->lint = 1;
    mod_determ(&a->w, n, &d);  // reads the residues only
    benchmark::DoNotOptimize(d->ncoef->lint);
    free_quoly(&d);
  }
}
BENCHMARK(BM_ModDeterm)
    ->ArgsProduct({{100, 200, 500}, {32003, 2147483629}})
    ->Unit(benchmark::kMillisecond);

void BM_FlDeterm(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = std::make_unique<Work>();
  fill_numbers(*a, n, 46, 201, true);
  for (auto _ : state) {
    quoly d = nullptr;
    fl_quoly_set(1.0L, &d);
    fl_determ(&a->w, n, &d);
    benchmark::DoNotOptimize(d->ncoef->flote);
    free_quoly(&d);
  }
}
BENCHMARK(BM_FlDeterm)->Arg(200)->Unit(benchmark::kMillisecond);

std::int32_t nonzero(std::mt19937_64& rng) {
  std::int32_t v = 0;
  while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
  return v;
}

// All 10 monomials of total degree <= 2 in x, y, z.
quoly p05_entry(std::mt19937_64& rng) {
  poly sum = nullptr;
  poly_set(0, &sum);
  for (int a = 0; a <= 2; ++a)
    for (int b = 0; a + b <= 2; ++b)
      for (int c = 0; a + b + c <= 2; ++c) {
        best_poly_add(sum, bench::monomial_poly(nonzero(rng), {a, b, c}), &sum);  // uses both up
      }
  return bench::polynomial_value(sum);
}

void run_standard(benchmark::State& state, bool invert, bool bareiss = false) {
  bench::adjoin_xyz_once();
  allocate_work_areas();
  if (first_available < 1) first_available = 1;
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(5);
  auto a = std::make_unique<Work>();
  auto out = std::make_unique<Work>();
  a->cells = n * n;
  for (std::int32_t k = 0; k < a->cells; ++k) a->w.stash[k] = p05_entry(rng);
  out->cells = n * n;
  for (auto _ : state) {
    bench::new_command();
    mat_invert_EnvRec env;
    set_search_params(env, &a->w, n);
    env.mycut = invert ? 0 : n <= 2 ? 2 : n <= 5 ? n - 1 : n == 6 ? 4 : 0;  // the router's cut
    quoly d = nullptr;
    quoly_set(1, &d);
    try {
      if (bareiss)
        gauss_Bareiss(&d, n, &a->w, false, false, nullptr, env, false);
      else
        standard_matrix_invert(&d, n, nullptr, &a->w, &out->w, {.invert = invert}, env);
    } catch (const mat_invert_exit&) {
    }
    free_quoly(&d);
  }
}

void BM_StandardPolyDet(benchmark::State& state) { run_standard(state, false); }
BENCHMARK(BM_StandardPolyDet)->Arg(6)->Arg(8)->Iterations(1)->Unit(benchmark::kSecond);

void BM_BareissPolyDet(benchmark::State& state) { run_standard(state, false, true); }
BENCHMARK(BM_BareissPolyDet)->Arg(6)->Arg(8)->Arg(12)->Iterations(1)->Unit(benchmark::kSecond);

// Gauss-Bareiss and the standard method on a 10 x 10 integer matrix with
// entries in [-99, 99].
void BM_IntegerDet10(benchmark::State& state) {
  allocate_work_areas();
  if (first_available < 1) first_available = 1;
  const std::int32_t n = 10;
  auto a = bench::random_matrix(n);  // from the seed 10
  for (auto _ : state) {
    bench::determinant_once(*a, n, [&](quoly* d, mat_invert_EnvRec& env) {
      if (state.range(0) == 1)
        gauss_Bareiss(d, n, &a->w, false, false, nullptr, env, false);
      else
        standard_matrix_invert(d, n, nullptr, &a->w, nullptr, {}, env);
    });
  }
}
BENCHMARK(BM_IntegerDet10)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_StandardPolyInverse(benchmark::State& state) { run_standard(state, true); }
BENCHMARK(BM_StandardPolyInverse)->Arg(4)->Arg(5)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
