// Timings of one-variable division modulo a word prime: basic_poly_divide's
// fast path (residue vectors; "lists" with the vectors switched off: the
// divide-and-conquer division on term lists, which makes the divisor monic)
// against the schoolbook long division, and the remainder alone on the
// dense arrays. The arguments are the degrees of the dividend and of the
// divisor; the cut-offs are those in force after a change into modular
// arithmetic (poly_cutoff 40, div_poly_cutoff 25). Then the exact quotient
// of the trial division and the remainder alone past the arrays modulo a
// prime, and exact quotients and pseudo-divisions over the integers, at
// doubling degrees (the argument: the divisor's and the quotient's degree).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_trial.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

poly random_poly(std::mt19937_64& rng, std::int64_t deg, std::int32_t p) {
  return bench::random_residue_poly(rng, deg, p);
}

enum class Method { halves, halves_lists, schoolbook, dense_remainder };

constexpr std::int32_t never = 2147483647;

void division(benchmark::State& state, std::int32_t p, Method method) {
  const bench::ModularRing ring(p);
  poly_cutoff = 40;
  div_poly_cutoff = 25;
  std::mt19937_64 rng(1);
  poly n = random_poly(rng, state.range(0), p);
  poly m = random_poly(rng, state.range(1), p);
  poly q = nullptr, r = nullptr;
  const bool lists = method == Method::halves_lists;
  ScopedValue<std::int32_t> newton(dense_newton_degree, lists ? never : dense_newton_degree);
  ScopedValue<std::int32_t> vectors(residue_division_degree,
                                    lists ? never : residue_division_degree);
  for (auto _ : state) {
    switch (method) {
      case Method::halves:
      case Method::halves_lists: basic_poly_divide(n, m, &q, &r, true); break;
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
void BM_divide_halves_lists_p31(benchmark::State& s) {
  division(s, 2147483629, Method::halves_lists);
}
void BM_divide_schoolbook_p31(benchmark::State& s) { division(s, 2147483629, Method::schoolbook); }
void BM_remainder_arrays_p31(benchmark::State& s) {
  division(s, 2147483629, Method::dense_remainder);
}
void BM_divide_halves_p16(benchmark::State& s) { division(s, 65521, Method::halves); }
void BM_divide_schoolbook_p16(benchmark::State& s) { division(s, 65521, Method::schoolbook); }

void degrees(benchmark::internal::Benchmark* b) {
  b->Args({2000, 1000})->Args({20000, 10000})->Args({20000, 500});
  b->Unit(benchmark::kMillisecond);
}

// Dividends of degree 100 to 1,000 by divisors of degree 41 to 100.
void short_divisors(benchmark::internal::Benchmark* b) {
  b->Args({300, 50})->Args({1000, 100})->Args({256, 60})->Args({128, 41})->Args({100, 60});
}

BENCHMARK(BM_divide_halves_p31)->Apply(degrees)->Apply(short_divisors);
BENCHMARK(BM_divide_halves_lists_p31)->Apply(degrees)->Apply(short_divisors);
BENCHMARK(BM_divide_schoolbook_p31)->Apply(degrees);
BENCHMARK(BM_remainder_arrays_p31)->Apply(degrees);
BENCHMARK(BM_divide_halves_p16)->Apply(degrees);
BENCHMARK(BM_divide_schoolbook_p16)->Apply(degrees);

// ---- At doubling degrees -------------------------------------------------------------------

// The product a b of two random polynomials of degree d (coefficients below
// `bound`, signed when `signed_coefs`), and b; in the current ring.
struct Planted {
  poly n = nullptr, m = nullptr, s = nullptr;
  Planted(std::int64_t d, std::int32_t bound, bool signed_coefs) {
    std::mt19937_64 rng(7);
    auto draw = [&](std::int64_t deg) {
      std::vector<std::int32_t> c(static_cast<std::size_t>(deg + 1));
      for (auto& v : c) {
        v = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(bound));
        if (signed_coefs && rng() % 2 == 0) v = -v;
      }
      if (c.back() == 0) c.back() = 3;
      poly r = nullptr;
      if (lintmode) {
        array_to_poly(c.data(), static_cast<std::int32_t>(deg), &r);
      } else {
        IntPoly x;
        for (const std::int32_t v : c) {
          const IntPoly::word w = static_cast<IntPoly::word>(v < 0 ? -v : v);
          x.push(&w, 1, v < 0);
        }
        x.trim();
        r = intpoly_to_poly(x);
      }
      return r;
    };
    poly a = draw(d);
    m = draw(d);
    s = draw(d - 1);
    poly_mult(a, m, &n, polynames);
    free_poly(&a);
  }
  ~Planted() {
    free_poly(&n);
    free_poly(&m);
    free_poly(&s);
  }
};

void trial_modular(benchmark::State& state) {
  bench::adjoin_xyz_once();
  const bench::ModularRing ring(32003);
  const Planted pl(state.range(0), 32003, false);
  for (auto _ : state) {
    poly q = nullptr;
    benchmark::DoNotOptimize(trial_poly_divide(pl.n, pl.m, &q, polynames, false, false, false));
    free_poly(&q);
  }
}

void remainder_modular(benchmark::State& state) {
  bench::adjoin_xyz_once();
  const bench::ModularRing ring(32003);
  const Planted pl(state.range(0), 32003, false);
  for (auto _ : state) {
    poly r = nullptr;
    poly_div_no_q(pl.n, pl.s, &r);
    free_poly(&r);
  }
}

void trial_integers(benchmark::State& state, bool words) {
  bench::adjoin_xyz_once();
  ScopedValue<std::int32_t> route(integer_division_degree, words ? integer_division_degree : never);
  const Planted pl(state.range(0), 100, true);
  for (auto _ : state) {
    poly q = nullptr;
    benchmark::DoNotOptimize(trial_poly_divide(pl.n, pl.m, &q, polynames, false, false, false));
    free_poly(&q);
  }
}

void pseudo_integers(benchmark::State& state, bool words) {
  bench::adjoin_xyz_once();
  ScopedValue<std::int32_t> route(integer_division_degree, words ? integer_division_degree : never);
  const Planted pl(state.range(0), 100, true);
  poly d = nullptr;
  poly_add(pl.n, pl.s, &d);
  for (auto _ : state) {
    poly q = nullptr, r = nullptr;
    pseudo_div(d, pl.m, &q, &r, true, polynames);
    free_poly(&q);
    free_poly(&r);
  }
  free_poly(&d);
}

void BM_trial_modular(benchmark::State& s) { trial_modular(s); }
void BM_remainder_modular(benchmark::State& s) { remainder_modular(s); }
void BM_trial_integers(benchmark::State& s) { trial_integers(s, true); }
void BM_trial_integers_lists(benchmark::State& s) { trial_integers(s, false); }
void BM_pseudo_integers(benchmark::State& s) { pseudo_integers(s, true); }
void BM_pseudo_integers_lists(benchmark::State& s) { pseudo_integers(s, false); }

BENCHMARK(BM_trial_modular)->RangeMultiplier(2)->Range(4000, 64000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_remainder_modular)
    ->RangeMultiplier(2)
    ->Range(4000, 64000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_trial_integers)->RangeMultiplier(2)->Range(2, 32000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_trial_integers_lists)
    ->RangeMultiplier(2)
    ->Range(2, 1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pseudo_integers)->RangeMultiplier(2)->Range(2, 32000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_pseudo_integers_lists)
    ->RangeMultiplier(2)
    ->Range(2, 500)
    ->Unit(benchmark::kMillisecond);

}  // namespace
