// Timings of the integer determinant's second routes against the images,
// on fixed-seed n x n matrices with entries uniform in [-99, 99]:
// - the integer elimination modulo a power of 2^28 (forced), n = 10, 20, 40;
// - the word-prime images on the same matrices;
// - the plain route (a caller's bound of 600 limbs), n = 12, 17.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "arrays/det_upcalls.h"
#include "det/int_determ.h"
#include "frontend/data_files.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

using bench::random_matrix;
using bench::Work;

void setup_once() { bench::read_tables_once(); }

// route 0: images, 1: integer elimination, 2: plain (bound 2^(28*600)).
void run(benchmark::State& state, int route) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  auto a = random_matrix(n);
  force_integer_route = route == 1;
  for (auto _ : state) {
    quoly d = nullptr, bound = nullptr;
    quoly_set(1, &d);
    quoly_set(-1, &bound);
    if (route == 2) {
      quoly_set(2, &bound);
      for (int k = 0; k < 600; ++k) simp_mult(bound->ncoef, bound->ncoef, 1 << 27, nullptr);
    }
    int_determ(&d, nullptr, &a->w, n, &bound);
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
    free_quoly(&bound);
  }
  force_integer_route = false;
}

void BM_IntegerElimination(benchmark::State& state) { run(state, 1); }
void BM_Images(benchmark::State& state) { run(state, 0); }
void BM_PlainRoute(benchmark::State& state) { run(state, 2); }

BENCHMARK(BM_IntegerElimination)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Images)->Arg(10)->Arg(20)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRoute)->Arg(12)->Arg(17)->Unit(benchmark::kMillisecond);

}  // namespace
