// Timings of the one-variable product modulo a word prime on the dense
// arrays: the whole driver (term lists in and out) and the array kernel
// alone. The first argument is the degree of the product (two operands of
// half that degree; 25,000 is the capacity of the arrays), the second the
// Karatsuba cut-off (20 at start-up, 40 after a change into modular
// arithmetic). And the residue-vector kernels modulo 32003 at degree n
// (the argument): a product modulo a fixed f, a product by a prepared
// factor, a composition g(h) mod f with a table for 64 uses, and a GCD of
// two polynomials of degree n.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "dense/dense_modular.h"
#include "dense/dense_mult.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

std::vector<std::int32_t> random_residues(std::mt19937_64& rng, std::int64_t deg, std::int32_t p) {
  std::vector<std::int32_t> a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
  if (a.back() == 0) a.back() = 1;
  return a;
}

void product(benchmark::State& state, std::int32_t p, bool driver) {
  const bench::ModularRing ring(p);
  poly_cutoff = static_cast<std::int32_t>(state.range(1));
  const std::int64_t half = state.range(0) / 2;
  std::mt19937_64 rng(1);
  std::vector<std::int32_t> a = random_residues(rng, half, p), b = random_residues(rng, half, p);
  poly n = nullptr, m = nullptr, r = nullptr;
  array_to_poly(a.data(), static_cast<std::int32_t>(half), &n);
  array_to_poly(b.data(), static_cast<std::int32_t>(half), &m);
  std::vector<std::int32_t> z(gcd_array_size);
  for (auto _ : state) {
    if (driver) {
      k_fastest_poly_mult(n, m, &r);
      benchmark::DoNotOptimize(r);
    } else {
      fast_array_onevar_mult(a.data(), b.data(), z.data(), 0, static_cast<std::int32_t>(half), 0,
                             static_cast<std::int32_t>(half));
      benchmark::DoNotOptimize(z.data());
    }
  }
  free_poly(&n);
  free_poly(&m);
  free_poly(&r);
}

void BM_poly_mult_p31(benchmark::State& state) { product(state, 2147483629, true); }
void BM_array_mult_p31(benchmark::State& state) { product(state, 2147483629, false); }
void BM_poly_mult_p16(benchmark::State& state) { product(state, 65521, true); }

void product_args(benchmark::internal::Benchmark* b) {
  for (std::int64_t cut : {20, 40})
    for (std::int64_t deg : {1000, 10000, 25000}) b->Args({deg, cut});
  b->Unit(benchmark::kMillisecond);
}

DensePoly random_vector(std::mt19937_64& rng, std::int64_t n, std::int32_t p) {
  DensePoly a(static_cast<std::size_t>(n));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
  dense_trim(a);
  return a;
}

enum class Kernel { mulmod, fixed, compose, gcd };

void residue_kernel(benchmark::State& state, Kernel k) {
  const std::int32_t p = 32003;
  const std::int64_t n = state.range(0);
  std::mt19937_64 rng(2);
  DensePoly f = random_vector(rng, n, p), a = random_vector(rng, n, p),
            b = random_vector(rng, n, p);
  f.push_back(1);
  const PolyModulus m(f, p);
  const FixedFactor fb(b, m);
  std::unique_ptr<Composer> c;
  if (k == Kernel::compose)
    c = std::make_unique<Composer>(
        b, m, static_cast<std::int32_t>(std::sqrt(64.0 * static_cast<double>(n))));
  for (auto _ : state) {
    DensePoly r;
    switch (k) {
      case Kernel::mulmod: r = m.mul(a, b); break;
      case Kernel::fixed: r = fb.times(a); break;
      case Kernel::compose: r = c->compose(a); break;
      case Kernel::gcd: r = dense_gcd(f, a, p); break;
    }
    benchmark::DoNotOptimize(r.data());
  }
}

void BM_residue_mulmod(benchmark::State& state) { residue_kernel(state, Kernel::mulmod); }
void BM_residue_fixed_factor(benchmark::State& state) { residue_kernel(state, Kernel::fixed); }
void BM_residue_compose(benchmark::State& state) { residue_kernel(state, Kernel::compose); }
void BM_residue_gcd(benchmark::State& state) { residue_kernel(state, Kernel::gcd); }

BENCHMARK(BM_residue_mulmod)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_residue_fixed_factor)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_residue_compose)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_residue_gcd)->Arg(1000)->Arg(4000)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_poly_mult_p31)->Apply(product_args);
BENCHMARK(BM_array_mult_p31)->Apply(product_args);
BENCHMARK(BM_poly_mult_p16)->Apply(product_args);

}  // namespace
