// Timings of the interpolation determinants against Gauss-Bareiss on
// fixed-seed instances (seeded point source):
// - P05: n x n, every entry all 10 monomials of total degree <= 2 in x, y, z
//   with non-zero coefficients in [-9, 9]: over Z (rat_poly_determ), n = 12
//   and 16, and Gauss-Bareiss at n = 12;
// - bivariate: every entry the 10 monomials of total degree <= 3 in x, y,
//   n = 10 and 16, modulo 32003 and over Z, each against Gauss-Bareiss;
// - P12: over GF(32003)[x], entries dense of degree 4, n = 200 and 300.
// Counters: primes and innermost residue determinants ("points").
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "det/dense_gauss.h"
#include "det/lagrange.h"
#include "det/router.h"
#include "bench_ring.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

std::uint32_t seed_state = 7;
std::int32_t seeded() {
  seed_state = seed_state * 1103515245u + 12345u;
  return static_cast<std::int32_t>((seed_state >> 8) & 0x3FFF);
}

using bench::Work;

// sum of c * x^a y^b z^c over the exponent triples with a + b + c <= total
// in the first nv variables (only x: every degree up to total).
quoly entry(std::mt19937_64& rng, std::int32_t nv, std::int32_t total) {
  poly sum = nullptr;
  poly_set(0, &sum);
  for (int a = 0; a <= total; ++a)
    for (int b = 0; a + b <= total && (b == 0 || nv >= 2); ++b)
      for (int c = 0; a + b + c <= total && (c == 0 || nv >= 3); ++c) {
        std::int32_t v = 0;
        while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
        if (modularmode) v = v < 0 ? v + modulus : v;
        best_poly_add(sum, bench::monomial_poly(v, {a, b, c}), &sum);
      }
  return bench::polynomial_value(sum);
}

enum class method { lagrange, bareiss };

void run(benchmark::State& state, std::int32_t modulus_, std::int32_t nv, std::int32_t total,
         method how) {
  bench::adjoin_xyz_once();
  allocate_work_areas();
  if (first_available < 1) first_available = 1;
  bench::ModularRing ring(modulus_);
  lagrange_random = seeded;
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(5);
  auto a = std::make_unique<Work>();
  a->cells = n * n;
  for (std::int32_t k = 0; k < a->cells; ++k) a->w.stash[k] = entry(rng, nv, total);
  for (auto _ : state) {
    bench::new_command();
    seed_state = 7;
    quoly d = nullptr;
    quoly_set(1, &d);
    if (how == method::lagrange) {
      const bool done = modularmode ? mod_poly_determ(&a->w, 1, n, &d, false, nullptr, -1)
                                    : rat_poly_determ(&a->w, 1, n, &d, false, nullptr, -1);
      if (!done) state.SkipWithError("declined");
    } else {
      mat_invert_EnvRec env;
      set_search_params(env, &a->w, n);
      try {
        gauss_Bareiss(&d, n, &a->w, false, false, nullptr, env, false);
      } catch (const mat_invert_exit&) {
      }
    }
    free_quoly(&d);
  }
  if (how == method::lagrange) {
    state.counters["primes"] = lagrange_last.primes;
    state.counters["points"] = static_cast<double>(lagrange_last.points);
  }
  lagrange_random = rand_integer3;
}

void BM_LagrangeP05Z(benchmark::State& s) { run(s, 0, 3, 2, method::lagrange); }
BENCHMARK(BM_LagrangeP05Z)->Arg(12)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);
void BM_BareissP05Z(benchmark::State& s) { run(s, 0, 3, 2, method::bareiss); }
BENCHMARK(BM_BareissP05Z)->Arg(12)->Iterations(1)->Unit(benchmark::kSecond);

void BM_LagrangeBivariateMod(benchmark::State& s) { run(s, 32003, 2, 3, method::lagrange); }
BENCHMARK(BM_LagrangeBivariateMod)->Arg(10)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);
void BM_BareissBivariateMod(benchmark::State& s) { run(s, 32003, 2, 3, method::bareiss); }
BENCHMARK(BM_BareissBivariateMod)->Arg(10)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);
void BM_LagrangeBivariateZ(benchmark::State& s) { run(s, 0, 2, 3, method::lagrange); }
BENCHMARK(BM_LagrangeBivariateZ)->Arg(10)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);
void BM_BareissBivariateZ(benchmark::State& s) { run(s, 0, 2, 3, method::bareiss); }
BENCHMARK(BM_BareissBivariateZ)->Arg(10)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);

void BM_LagrangeP12(benchmark::State& s) { run(s, 32003, 1, 4, method::lagrange); }
BENCHMARK(BM_LagrangeP12)->Arg(200)->Arg(300)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
