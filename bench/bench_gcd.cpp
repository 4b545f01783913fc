// Timings of the one-variable GCD modulo a word prime: on the dense arrays
// (fastest_poly_gcd, term lists in and out), through the router
// basic_poly_gcd, and the term-list half-GCD against the array Euclid. The argument is the degree d
// of the first operand; the second has degree d - 1 and the pair is random,
// so the remainders drop one degree at a time (the longest Euclid run).
// 24,999 is the largest degree the arrays take: at 25,000 the term-list
// route starts. The Euclid loop is timed modulo 46,337 (two-term steps),
// modulo 65,521 (general steps) and in GF(2^8); the half-GCD route, which
// the default threshold never reaches, is timed with the threshold at 0.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "dense/dense_gcd.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "gcd/onevar_gcd.h"
#include "frontend/data_files.h"
#include "bench_loops.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

poly random_poly(std::mt19937_64& rng, std::int64_t deg, std::int32_t p) {
  return bench::random_residue_poly(rng, deg, p);
}

void gcd(benchmark::State& state, std::int32_t p, std::int32_t hgcd_sum) {
  const bench::ModularRing ring(p);
  poly_cutoff = 40;
  fast_gcd_hgcd_sum = hgcd_sum;
  std::mt19937_64 rng(1);
  poly n = random_poly(rng, state.range(0), p);
  poly m = random_poly(rng, state.range(0) - 1, p);
  poly g = nullptr;
  for (auto _ : state) {
    fastest_poly_gcd(n, m, &g, false, nilpol);
    benchmark::DoNotOptimize(g);
  }
  free_poly(&n);
  free_poly(&m);
  free_poly(&g);
  fast_gcd_hgcd_sum = 999999;
}

void BM_gcd_euclid_p46337(benchmark::State& state) { gcd(state, 46337, 999999); }
void BM_gcd_euclid_p65521(benchmark::State& state) { gcd(state, 65521, 999999); }
void BM_gcd_euclid_gf256(benchmark::State& state) { gcd(state, 256, 999999); }
void BM_gcd_halfgcd_p46337(benchmark::State& state) { gcd(state, 46337, 0); }
void BM_gcd_halfgcd_p65521(benchmark::State& state) { gcd(state, 65521, 0); }

void degrees(benchmark::internal::Benchmark* b) {
  for (std::int64_t deg : {1000, 10000, 24999}) b->Arg(deg);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_gcd_euclid_p46337)->Apply(degrees);
BENCHMARK(BM_gcd_euclid_p65521)->Apply(degrees);
BENCHMARK(BM_gcd_euclid_gf256)->Apply(degrees);
BENCHMARK(BM_gcd_halfgcd_p46337)->Apply(degrees);
BENCHMARK(BM_gcd_halfgcd_p65521)->Apply(degrees);

// ---- basic_poly_gcd and the term-list half-GCD ------------------------------------------
// basic_poly_gcd of a random pair of degrees d and d - 1: modulo 65,537 and
// 2,147,483,629 the word-array Euclid (faster_poly_gcd) up to 24,999, the
// term-list half-GCD (emgcd_poly) from 25,000. Then emgcd_poly against the
// word-array Euclid called directly (faster_array_gcd, which takes degree
// 25,000 too), at equal degrees, to find where the half-GCD starts to win.

template <class F>
void time_pair(benchmark::State& state, std::int32_t p, F f) {
  const bench::ModularRing ring(p);
  poly_cutoff = 40;
  std::mt19937_64 rng(1);
  poly n = random_poly(rng, state.range(0), p);
  poly m = random_poly(rng, state.range(0) - 1, p);
  bench::time_binary(state, n, m, f);
}

void basic(benchmark::State& state, std::int32_t p) {
  time_pair(state, p, [](poly n, poly m, poly* g) { basic_poly_gcd(n, m, g, false, nilpol); });
}
void list_hgcd(benchmark::State& state, std::int32_t p) {
  time_pair(state, p, [](poly n, poly m, poly* g) { emgcd_poly(n, m, g, nilpol, true); });
}
void word_arrays(benchmark::State& state, std::int32_t p) {
  time_pair(state, p, [](poly n, poly m, poly* g) { faster_array_gcd(n, m, g); });
}

void BM_basic_poly_gcd_p65537(benchmark::State& state) { basic(state, 65537); }
void BM_basic_poly_gcd_p2147483629(benchmark::State& state) { basic(state, 2147483629); }
void BM_emgcd_poly_p65537(benchmark::State& state) { list_hgcd(state, 65537); }
void BM_emgcd_poly_p2147483629(benchmark::State& state) { list_hgcd(state, 2147483629); }
void BM_array_euclid_p65537(benchmark::State& state) { word_arrays(state, 65537); }
void BM_array_euclid_p2147483629(benchmark::State& state) { word_arrays(state, 2147483629); }

void router_degrees(benchmark::internal::Benchmark* b) {
  for (std::int64_t deg : {1000, 10000, 25000, 50000}) b->Arg(deg);
  b->Unit(benchmark::kMillisecond);
}

void crossover_degrees(benchmark::internal::Benchmark* b) {
  for (std::int64_t deg : {1000, 2500, 5000, 10000, 25000}) b->Arg(deg);
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_basic_poly_gcd_p65537)->Apply(router_degrees);
BENCHMARK(BM_basic_poly_gcd_p2147483629)->Apply(router_degrees);
BENCHMARK(BM_emgcd_poly_p65537)->Apply(crossover_degrees);
BENCHMARK(BM_array_euclid_p65537)->Apply(crossover_degrees);
BENCHMARK(BM_emgcd_poly_p2147483629)->Apply(crossover_degrees);
BENCHMARK(BM_array_euclid_p2147483629)->Apply(crossover_degrees);

// ---- The multivariate driver: contents and the cheap stages --------------------------------
// Three variables x > y > z over the integers (0) and modulo 65,521:
// content of (y + z + 1)(x + y + z + 2)^19 (total degree 20, 231 terms in
// x's coefficients); polygcd of u = v w, v = (x + y + z + 1)^2, w = (x + 2y
// + 3z + 4)^6, settled by the first trial division of Stage D; and, asked
// only for the degree, x^3 A against x^2 B with A, B = (1 + x + y + z)^10
// and (2 + x + y + z)^10, settled by the common power of x (Stage C).

using bench::adjoin_xyz_once;

// c0 + cx x + cy y + cz z.
poly linear(std::int32_t c0, std::int32_t cx, std::int32_t cy, std::int32_t cz) {
  return bench::linear_poly(c0, {cx, cy, cz});
}

poly power(poly p, std::int32_t k) {
  compute_power(&p, k, polynames);
  return p;
}

using bench::times;

using bench::new_command;

void BM_content_dense3_deg20(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  poly q = times(linear(1, 0, 1, 1), power(linear(2, 1, 1, 1), 19));
  poly r = nullptr;
  for (auto _ : state) {
    new_command();
    content(q, &r, polynames, false, true, true);
    benchmark::DoNotOptimize(r);
  }
  poly want = linear(1, 0, 1, 1);  // y + z + 1, at y's level
  if (!poly_equal(r, want->pcoef)) state.SkipWithError("wrong content");
  free_poly(&want);
  free_poly(&q);
  free_poly(&r);
}

void BM_polygcd_divides_stage_d(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  poly v = power(linear(1, 1, 1, 1), 2);
  poly u = times(power(linear(1, 1, 1, 1), 2), power(linear(4, 1, 2, 3), 6));
  poly g = nullptr;
  const long before = polygcd_stages.divides;
  for (auto _ : state) {
    new_command();
    polygcd(u, v, &g, polynames);
    benchmark::DoNotOptimize(g);
  }
  if (polygcd_stages.divides == before) state.SkipWithError("not settled by Stage D");
  free_poly(&u);
  free_poly(&v);
  free_poly(&g);
}

void BM_polygcd_common_power(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  poly x3 = nullptr;
  base_poly(&x3, 1);
  x3->exp = 3;
  poly x2 = nullptr;
  base_poly(&x2, 1);
  x2->exp = 2;
  poly u = times(x3, power(linear(1, 1, 1, 1), 10));
  poly v = times(x2, power(linear(2, 1, 1, 1), 10));
  poly g = nullptr;
  const long before = polygcd_stages.common_power;
  for (auto _ : state) {
    new_command();
    polygcd(u, v, &g, polynames, {.leave_early = true});
    benchmark::DoNotOptimize(g);
  }
  if (polygcd_stages.common_power == before) state.SkipWithError("not settled by Stage C");
  free_poly(&u);
  free_poly(&v);
  free_poly(&g);
}

void rings(benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(65521)->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_content_dense3_deg20)->Apply(rings);
BENCHMARK(BM_polygcd_divides_stage_d)->Apply(rings);
BENCHMARK(BM_polygcd_common_power)->Apply(rings);

// ---- The driver to its end: the subresultant remainder sequence ---------------------------
// polygcd(g a, g b) over the integers for random g, a, b in n variables:
// dense (every monomial of total degree up to d, coefficients in -99 .. 99)
// or sparse (t terms of total degree up to d), fixed seed. The third
// argument switches the modular methods on (1) or off (0: the driver ends
// in the subresultant sequence, as before they existed; that reference is
// very slow beyond the smallest sizes, so the large sizes are timed only with
// the modular methods unless TAVRIN_BENCH_LONG is set, which also adds the
// sparse case). The GCD cache is
// off, so every iteration computes. Counters: subresultant sequences, image
// GCDs modulo primes and evaluation images per call, and the share of the
// time spent in the image GCDs modulo primes. The result is checked to be
// g up to its sign.

// Variables below z (w, v, u, ...) for the benchmark's scope.
class ExtraVariables {
 public:
  explicit ExtraVariables(std::int32_t n) {
    polypt last = polynames->next->next;
    static const char* names[] = {"w", "v", "u", "t", "s"};
    for (std::int32_t d = 4; d <= n; ++d) {
      polypt r = nullptr;
      newpt(&r);
      std::strncpy(r->let.name, names[d - 4], 10);
      r->let.address = -1;
      r->depth = static_cast<std::int16_t>(d);
      last->next = r;
      last = r;
      added_.push_back(r);
    }
    number_polys = std::max(3, n);
  }
  ~ExtraVariables() {
    polynames->next->next->next = nullptr;
    for (polypt& r : added_) free_pt(&r);
    number_polys = 3;
  }
  ExtraVariables(const ExtraVariables&) = delete;
  ExtraVariables& operator=(const ExtraVariables&) = delete;

 private:
  std::vector<polypt> added_;
};

// c times the monomial with the exponents e (top variable first).
poly monomial(std::int32_t c, const std::vector<std::int32_t>& e) {
  poly cur = nullptr;
  poly_set(c, &cur);
  for (std::size_t k = e.size(); k-- > 0;) {
    if (e[k] == 0 && cur->numb) continue;  // a constant needs no pad
    poly t = nullptr;
    newpoly(&t);
    t->numb = false;
    t->exp = e[k];
    t->pcoef = cur;
    t->next = nullptr;
    cur = t;
  }
  return cur;
}

std::int32_t random_coefficient(std::mt19937_64& rng) {
  std::int32_t c = static_cast<std::int32_t>(rng() % 199) - 99;
  return c == 0 ? 1 : c;
}

// Every monomial of total degree up to d in n variables with a random
// non-zero coefficient in -99 .. 99.
poly dense_random(std::mt19937_64& rng, std::int32_t n, std::int32_t d) {
  poly sum = nullptr;
  poly_set(0, &sum);
  std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
  auto walk = [&](auto&& self, std::size_t k, std::int32_t left) -> void {
    if (k == e.size()) {
      best_poly_add(sum, monomial(random_coefficient(rng), e), &sum);
      return;
    }
    for (std::int32_t i = 0; i <= left; ++i) {
      e[k] = i;
      self(self, k + 1, left - i);
    }
    e[k] = 0;
  };
  walk(walk, 0, d);
  return sum;
}

// t random monomials of total degree up to d in n variables, coefficients
// in -99 .. 99 (repeated monomials add up).
poly sparse_random(std::mt19937_64& rng, std::int32_t n, std::int32_t d, std::int32_t t) {
  poly sum = nullptr;
  poly_set(0, &sum);
  for (std::int32_t k = 0; k < t; ++k) {
    std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
    std::int32_t left = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(d + 1));
    while (left > 0) {
      ++e[rng() % static_cast<std::uint64_t>(n)];
      --left;
    }
    best_poly_add(sum, monomial(random_coefficient(rng), e), &sum);
  }
  return sum;
}

void polygcd_planted(benchmark::State& state, std::int32_t terms) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const auto d = static_cast<std::int32_t>(state.range(1));
  const bool modular = state.range(2) != 0;
  adjoin_xyz_once();
  ExtraVariables extra(n);
  const ScopedValue<bool> methods(modular_methods_enabled, modular);
  const ScopedValue<std::int16_t> no_cache(lookupgcd, 0);
  std::mt19937_64 rng(20261219);
  auto make = [&] {
    return terms == 0 ? dense_random(rng, n, d) : sparse_random(rng, n, d, terms);
  };
  poly g = make();
  poly u = nullptr;
  poly v = nullptr;
  {
    poly a = make();
    poly b = make();
    poly_mult(g, a, &u, polynames);
    poly_mult(g, b, &v, polynames);
    free_poly(&a);
    free_poly(&b);
  }
  poly r = nullptr;
  const long sequences = polygcd_stages.algorithm_c;
  const modular_gcd_counts before = modular_gcd_stats;
  const auto t0 = std::chrono::steady_clock::now();
  for (auto _ : state) {
    new_command();
    polygcd(u, v, &r, polynames);
    benchmark::DoNotOptimize(r);
  }
  const double elapsed =
      std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - t0).count();
  const auto per_call = [&](long now, long then) {
    return static_cast<double>(now - then) / static_cast<double>(state.iterations());
  };
  state.counters["sequences"] = per_call(polygcd_stages.algorithm_c, sequences);
  state.counters["prime_images"] = per_call(modular_gcd_stats.images, before.images);
  state.counters["eval_images"] =
      per_call(modular_gcd_stats.multivar_points, before.multivar_points);
  state.counters["image_share"] =
      static_cast<double>(modular_gcd_stats.image_nanoseconds - before.image_nanoseconds) /
      std::max(1.0, elapsed);
  poly minus_g = nullptr;
  poly_makeneg(g, &minus_g);
  if (!poly_equal(r, g) && !poly_equal(r, minus_g)) state.SkipWithError("not g");
  for (poly* q : {&g, &minus_g, &u, &v, &r}) free_poly(q);
}

void BM_polygcd_dense(benchmark::State& state) { polygcd_planted(state, 0); }
void BM_polygcd_sparse(benchmark::State& state) { polygcd_planted(state, 300); }

BENCHMARK(BM_polygcd_dense)
    ->ArgNames({"vars", "deg", "modular"})
    ->Args({3, 2, 0})
    ->Args({3, 2, 1})
    ->Args({3, 4, 0})
    ->Args({3, 4, 1})
    ->Args({4, 3, 0})
    ->Args({4, 3, 1})
    ->Args({3, 6, 1})
    ->Args({4, 10, 1})
    ->Args({4, 16, 1})
    ->Args({3, 24, 1})
    ->Args({3, 32, 1})
    ->Args({3, 48, 1})
    ->Unit(benchmark::kMillisecond);

const bool long_sizes = [] {
  if (std::getenv("TAVRIN_BENCH_LONG") != nullptr) {
    benchmark::RegisterBenchmark("BM_polygcd_dense_long", BM_polygcd_dense)
        ->ArgNames({"vars", "deg", "modular"})
        ->Args({3, 5, 0})
        ->Args({3, 6, 0})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    // Sparse inputs defeat the dense interpolation: about four minutes.
    benchmark::RegisterBenchmark("BM_polygcd_sparse", BM_polygcd_sparse)
        ->ArgNames({"vars", "deg", "modular"})
        ->Args({8, 12, 1})
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
