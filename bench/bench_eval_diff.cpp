// Timings of total evaluation and derivatives of values, over the integers
// and modulo 65,521:
// - tot_eval_poly of the dense (x + 2y - z + 3)^d at the rational point
//   (3/7, -2/5, 5/3) (modulo 65,521 the same fractions as residues): one
//   product per degree step, the sums of the coefficients' values;
// - tot_eval_poly of the sparse x^4000 + 7x^2000 - x^17 + 1 at 2/3: one
//   power per gap;
// - quoly_differen_once of ((x + y + 1)/(x - y + 2))^k in x: the quotient
//   rule with the GCD of the denominator and its derivative;
// - differentiate of the polynomial (x + 2y - z + 3)^d, three times in x.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_eval_diff.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

using bench::adjoin_xyz_once;

using bench::new_command;

// The number value c (a residue in modular arithmetic).
quoly number_value(std::int32_t c) {
  if (modularmode) c = ((c % modulus) + modulus) % modulus;
  quoly q = nullptr;
  quoly_set(c, &q);
  q->next = nullptr;
  return q;
}

// The value a / b.
quoly fraction(std::int32_t a, std::int32_t b) {
  quoly n = number_value(a);
  quoly d = number_value(b);
  new_command();
  fast_quoly_quot(&n, &d, false);
  free_quoly(&d);
  return n;
}

// c0 + cx x + cy y + cz z.
poly linear(std::int32_t c0, std::int32_t cx, std::int32_t cy, std::int32_t cz) {
  return bench::linear_poly(c0, {cx, cy, cz});
}

// The value p^k (p consumed).
quoly power_of(poly p, std::int32_t k) {
  quoly q = nullptr;
  use_up_poly(&p, &q);
  q->next = nullptr;
  new_command();
  quoly_compute_power(&q, k);
  return q;
}

void BM_tot_eval_dense(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  quoly p = power_of(linear(3, 1, 2, -1), static_cast<std::int32_t>(state.range(0)));
  quoly point[] = {fraction(3, 7), fraction(-2, 5), fraction(5, 3)};
  point[0]->next = point[1];
  point[1]->next = point[2];
  for (auto _ : state) {
    quoly n = nullptr;
    new_command();
    tot_eval_poly(p->numer, point[0], &n, 0, 0);
    benchmark::DoNotOptimize(n);
    free_quoly(&n);
  }
  for (quoly& q : point) free_quoly(&q);
  free_quoly(&p);
}

void BM_tot_eval_sparse(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  poly p = linear(1, 0, 0, 0);
  for (auto [e, c] : {std::pair{4000, 1}, {2000, 7}, {17, -1}}) {
    poly x = nullptr;
    base_poly(&x, 1);
    x->exp = e;
    if (c != 1) {
      poly k = linear(c, 0, 0, 0);
      poly_mult(x, k, &x, nilpol);
      free_poly(&k);
    }
    best_poly_add(p, x, &p);
  }
  quoly at = fraction(2, 3);
  for (auto _ : state) {
    quoly n = nullptr;
    new_command();
    tot_eval_poly(p, at, &n, 0, 0);
    benchmark::DoNotOptimize(n);
    free_quoly(&n);
  }
  free_quoly(&at);
  free_poly(&p);
}

void BM_derivative_of_fraction_power(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  const auto k = static_cast<std::int32_t>(state.range(0));
  quoly f = power_of(linear(1, 1, 1, 0), k);
  quoly g = power_of(linear(2, 1, -1, 0), k);
  new_command();
  fast_quoly_quot(&f, &g, false);
  free_quoly(&g);
  for (auto _ : state) {
    quoly d = nullptr;
    quoly_assign(f, &d);
    new_command();
    quoly_differen_once(&d, 1);
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  free_quoly(&f);
}

void BM_differentiate_polynomial(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  quoly p = power_of(linear(3, 1, 2, -1), static_cast<std::int32_t>(state.range(0)));
  for (auto _ : state) {
    quoly d = nullptr;
    quoly_assign(p, &d);
    differentiate(&d, 1, 3);
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  free_quoly(&p);
}

}  // namespace

// Arguments: the degree, then the modulus (0: the integers).
BENCHMARK(BM_tot_eval_dense)
    ->Args({10, 0})
    ->Args({20, 0})
    ->Args({10, 65521})
    ->Args({20, 65521})
    ->Unit(benchmark::kMillisecond);
// Argument: the modulus (0: the integers).
BENCHMARK(BM_tot_eval_sparse)->Arg(0)->Arg(65521)->Unit(benchmark::kMillisecond);
// Arguments: k, then the modulus (0: the integers).
BENCHMARK(BM_derivative_of_fraction_power)
    ->Args({4, 0})
    ->Args({8, 0})
    ->Args({4, 65521})
    ->Args({8, 65521})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_differentiate_polynomial)
    ->Args({10, 0})
    ->Args({20, 0})
    ->Args({10, 65521})
    ->Args({20, 65521})
    ->Unit(benchmark::kMillisecond);
