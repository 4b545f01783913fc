// Timings of polynomial sums and products: dense and sparse multivariate
// products over the integers and modulo a word prime, and the sums that
// dominate every polynomial computation.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "bench_loops.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

// Adjoins x, y, z (levels 1 to 3), once.
void adjoin_xyz() {
  if (polynames != nullptr) return;
  bench::adjoin_variables({"x", "y", "z"});
}

// The constant c as a polynomial in the current mode.
poly constant(std::int32_t c) {
  poly r = nullptr;
  poly_set(c, &r);
  return r;
}

// (1 + x + y + z)^k.
poly dense_power(std::int32_t k) { return bench::dense_power(3, k); }

// A sum of `terms` monomials c x^a y^b z^c with exponents below `span` and
// coefficients below 1000: sparse in every variable.
poly sparse_random(std::mt19937_64& rng, int terms, int span) {
  poly s = constant(0);
  for (int i = 0; i < terms; ++i) {
    poly m = constant(static_cast<std::int32_t>(1 + rng() % 999));
    for (std::int32_t d = 1; d <= 3; ++d) {
      poly v = nullptr;
      base_poly(&v, d);
      compute_power(&v, static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(span)),
                    nilpol);
      poly_mult(m, v, &m, polynames);
      free_poly(&v);
    }
    best_poly_add(s, m, &s);
  }
  return s;
}

// p * p for p = (1 + x + y + z)^k: 1771 terms at k = 20, 12341 in the product.
// Times p q (p, q consumed).
void time_product(benchmark::State& state, poly p, poly q) {
  bench::time_binary(state, p, q, [](poly a, poly b, poly* r) { poly_mult(a, b, r, polynames); });
}

void BM_dense_product(benchmark::State& state) {
  adjoin_xyz();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  poly p = dense_power(static_cast<std::int32_t>(state.range(0)));
  poly q = dense_power(static_cast<std::int32_t>(state.range(0)));
  time_product(state, p, q);
}
BENCHMARK(BM_dense_product)
    ->Args({10, 0})
    ->Args({20, 0})
    ->Args({20, 2147483629})
    ->Args({20, 65521})
    ->Unit(benchmark::kMillisecond);

// Two random sparse polynomials of n terms each, exponents below 40.
void BM_sparse_product(benchmark::State& state) {
  adjoin_xyz();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  std::mt19937_64 rng(7);
  poly p = sparse_random(rng, static_cast<int>(state.range(0)), 40);
  poly q = sparse_random(rng, static_cast<int>(state.range(0)), 40);
  time_product(state, p, q);
}
BENCHMARK(BM_sparse_product)
    ->Args({300, 0})
    ->Args({300, 2147483629})
    ->Args({1000, 0})
    ->Args({1000, 2147483629})
    ->Unit(benchmark::kMillisecond);

// The copying sum of (1 + x + y + z)^k and (1 + x + y + z)^(k-1).
void BM_poly_add(benchmark::State& state) {
  adjoin_xyz();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  poly p = dense_power(static_cast<std::int32_t>(state.range(0)));
  poly q = dense_power(static_cast<std::int32_t>(state.range(0)) - 1);
  bench::time_binary(state, p, q, [](poly a, poly b, poly* r) { poly_add(a, b, r); });
}
BENCHMARK(BM_poly_add)->Args({20, 0})->Args({20, 2147483629})->Unit(benchmark::kMicrosecond);

// The consuming sum, its operands copied outside the timing.
void BM_best_poly_add(benchmark::State& state) {
  adjoin_xyz();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  poly p = dense_power(static_cast<std::int32_t>(state.range(0)));
  poly q = dense_power(static_cast<std::int32_t>(state.range(0)) - 1);
  for (auto _ : state) {
    state.PauseTiming();
    poly a = nullptr, b = nullptr, r = nullptr;
    poly_assign(p, &a);
    poly_assign(q, &b);
    state.ResumeTiming();
    best_poly_add(a, b, &r);
    benchmark::DoNotOptimize(r);
    state.PauseTiming();
    free_poly(&r);
    state.ResumeTiming();
  }
  free_poly(&p);
  free_poly(&q);
}
BENCHMARK(BM_best_poly_add)->Args({20, 0})->Args({20, 2147483629})->Unit(benchmark::kMicrosecond);

}  // namespace
