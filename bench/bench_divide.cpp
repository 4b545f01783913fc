// Timings of one-variable division modulo a word prime on term lists: the
// divide-and-conquer division (through basic_poly_divide's fast path, which
// makes the divisor monic) against the schoolbook long division, and the
// remainder alone on the dense arrays. The arguments are the degrees of the
// dividend and of the divisor; the cut-offs are those in force after a
// change into modular arithmetic (poly_cutoff 40, div_poly_cutoff 25).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "bench_ring.h"
#include "core/globals.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "numbers/freelists.h"
#include "poly/poly_divide.h"

namespace {

using namespace tavrin;

poly random_poly(std::mt19937_64& rng, std::int64_t deg, std::int32_t p) {
  std::vector<std::int32_t> a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
  if (a.back() == 0) a.back() = 1;
  poly r = nullptr;
  array_to_poly(a.data(), static_cast<std::int32_t>(deg), &r);
  return r;
}

enum class Method { halves, schoolbook, dense_remainder };

void division(benchmark::State& state, std::int32_t p, Method method) {
  const bench::ModularRing ring(p);
  poly_cutoff = 40;
  div_poly_cutoff = 25;
  std::mt19937_64 rng(1);
  poly n = random_poly(rng, state.range(0), p);
  poly m = random_poly(rng, state.range(1), p);
  poly q = nullptr, r = nullptr;
  for (auto _ : state) {
    switch (method) {
      case Method::halves: basic_poly_divide(n, m, &q, &r, true); break;
      case Method::schoolbook: simplest_poly_divide(n, m, &q, &r, false); break;
      case Method::dense_remainder: simplest_div_no_q(n, m, &r); break;
    }
    benchmark::DoNotOptimize(r);
  }
  free_poly(&n);
  free_poly(&m);
  free_poly(&q);
  free_poly(&r);
}

void BM_divide_halves_p31(benchmark::State& s) { division(s, 2147483629, Method::halves); }
void BM_divide_schoolbook_p31(benchmark::State& s) { division(s, 2147483629, Method::schoolbook); }
void BM_remainder_arrays_p31(benchmark::State& s) { division(s, 2147483629, Method::dense_remainder); }
void BM_divide_halves_p16(benchmark::State& s) { division(s, 65521, Method::halves); }
void BM_divide_schoolbook_p16(benchmark::State& s) { division(s, 65521, Method::schoolbook); }

void degrees(benchmark::internal::Benchmark* b) {
  b->Args({2000, 1000})->Args({20000, 10000})->Args({20000, 500});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_divide_halves_p31)->Apply(degrees);
BENCHMARK(BM_divide_schoolbook_p31)->Apply(degrees);
BENCHMARK(BM_remainder_arrays_p31)->Apply(degrees);
BENCHMARK(BM_divide_halves_p16)->Apply(degrees);
BENCHMARK(BM_divide_schoolbook_p16)->Apply(degrees);

}  // namespace
