// Timings of the value arithmetic over the integers and modulo 65,521:
// - the sums of 50 random fractions in x, y, z whose denominators are
//   products of one or two factors from a pool of four (so they share
//   factors and the running sum cancels), added one by one with
//   best_quoly_add; and the normaliser check_quoly alone on their sum over
//   the common denominator (the product of each pool factor to its highest
//   power among the denominators), which is the same value not in lowest
//   terms;
// - powers and their product: ((x + y + 1)/(x - y + 2))^k ((x - 1)/(y + 3))^k
//   by raise_to_power and fast_quoly_mult (two cross GCDs, both 1);
// - the product of 20 random fractions whose numerators and denominators
//   are products of pool factors, multiplied one by one with
//   fast_quoly_mult (the cross GCDs cancel the shared factors).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

using bench::adjoin_xyz_once;

using bench::new_command;

using bench::constant_poly;
using bench::times;

// c0 + cx x + cy y + cz z.
poly linear(std::int32_t c0, std::int32_t cx, std::int32_t cy, std::int32_t cz) {
  return bench::linear_poly(c0, {cx, cy, cz});
}

poly copy(poly p) {
  poly r = nullptr;
  poly_assign(p, &r);
  return r;
}

// The fraction n / d brought to normal form (n, d used up).
quoly fraction(poly n, poly d) {
  quoly q = bench::fraction_value(n, d);
  new_command();
  check_quoly(&q, false);
  return q;
}

// The pool: x + y + 1, x - z + 2, 2y + z - 3, and x y + z.
std::vector<poly> factor_pool() {
  std::vector<poly> pool = {linear(1, 1, 1, 0), linear(2, 1, 0, -1), linear(-3, 0, 2, 1)};
  poly xy = times(linear(0, 1, 0, 0), linear(0, 0, 1, 0));
  poly z = linear(0, 0, 0, 1);
  best_poly_add(xy, z, &xy);
  pool.push_back(xy);
  return pool;
}

struct Fractions {
  std::vector<quoly> values;  // in normal form
  quoly unreduced = nullptr;  // their sum over the common denominator
  ~Fractions() {
    for (quoly& q : values) free_quoly(&q);
    free_quoly(&unreduced);
  }
};

// 50 fractions n_i / d_i: n_i a random linear polynomial with coefficients
// in -9 .. 9, d_i one or two pool factors; and the unreduced sum.
void make_fractions(Fractions& f) {
  std::mt19937_64 rng(7);
  std::vector<poly> pool = factor_pool();
  std::vector<int> highest(pool.size(), 0);
  std::vector<poly> numers, denoms;
  std::vector<std::vector<int>> mult;
  auto coef = [&] { return static_cast<std::int32_t>(rng() % 19) - 9; };
  for (int i = 0; i < 50; ++i) {
    std::vector<int> m(pool.size(), 0);
    const int k = 1 + static_cast<int>(rng() % 2);
    for (int j = 0; j < k; ++j) ++m[rng() % pool.size()];
    poly d = nullptr;
    poly_set(1, &d);
    for (std::size_t j = 0; j < pool.size(); ++j)
      for (int e = 0; e < m[j]; ++e) d = times(d, copy(pool[j]));
    for (std::size_t j = 0; j < pool.size(); ++j) highest[j] = std::max(highest[j], m[j]);
    poly n = linear(coef(), coef(), coef(), coef() == 0 ? 1 : coef());
    numers.push_back(n);
    denoms.push_back(d);
    mult.push_back(m);
    f.values.push_back(fraction(copy(n), copy(d)));
  }
  // Sum over L = prod pool[j]^highest[j]: numerator sum n_i L / d_i.
  poly L = nullptr;
  poly_set(1, &L);
  for (std::size_t j = 0; j < pool.size(); ++j)
    for (int e = 0; e < highest[j]; ++e) L = times(L, copy(pool[j]));
  poly num = nullptr;
  poly_set(0, &num);
  for (std::size_t i = 0; i < numers.size(); ++i) {
    poly t = copy(numers[i]);
    for (std::size_t j = 0; j < pool.size(); ++j)
      for (int e = mult[i][j]; e < highest[j]; ++e) t = times(t, copy(pool[j]));
    best_poly_add(num, t, &num);
  }
  newquoly(&f.unreduced);
  f.unreduced->next = nullptr;
  f.unreduced->numb = false;
  f.unreduced->rat = false;
  f.unreduced->numer = num;
  f.unreduced->denom = L;
  for (poly& p : numers) free_poly(&p);
  for (poly& p : denoms) free_poly(&p);
  for (poly& p : pool) free_poly(&p);
}

// The sum of the fractions, one best_quoly_add at a time.
quoly sum_of(const Fractions& f) {
  quoly s = nullptr;
  quoly_set(0, &s);
  for (quoly q : f.values) {
    quoly c = nullptr;
    quoly_assign(q, &c);
    new_command();
    best_quoly_add(&s, c);
  }
  return s;
}

void BM_sum_of_50_fractions(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  Fractions f;
  make_fractions(f);
  {
    // The two routes agree before anything is timed.
    quoly s = sum_of(f), u = nullptr;
    quoly_assign(f.unreduced, &u);
    new_command();
    check_quoly(&u, false);
    const bool same = quoly_equal(s, u);
    free_quoly(&s);
    free_quoly(&u);
    if (!same) state.SkipWithError("the sum and the normalised unreduced sum differ");
  }
  for (auto _ : state) {
    quoly s = sum_of(f);
    benchmark::DoNotOptimize(s);
    free_quoly(&s);
  }
}

void BM_check_quoly_unreduced_sum(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  Fractions f;
  make_fractions(f);
  for (auto _ : state) {
    quoly s = nullptr;
    quoly_assign(f.unreduced, &s);
    new_command();
    check_quoly(&s, false);
    benchmark::DoNotOptimize(s);
    free_quoly(&s);
  }
}

// An exponent number holding k in the current mode.
imptr exponent_number(std::int32_t k) {
  imptr e = nullptr;
  newimag(&e);
  e->lint = k;
  e->flote = k;
  if (!lintmode) setvalue(k, e);
  return e;
}

void BM_power_product(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(1)));
  const auto k = static_cast<std::int32_t>(state.range(0));
  quoly a = fraction(linear(1, 1, 1, 0), linear(2, 1, -1, 0));
  quoly b = fraction(linear(-1, 1, 0, 0), linear(3, 0, 1, 0));
  for (auto _ : state) {
    quoly p = nullptr, q = nullptr;
    quoly_assign(a, &p);
    quoly_assign(b, &q);
    imptr e1 = exponent_number(k), e2 = exponent_number(k);
    new_command();
    raise_to_power(&p, e1);
    raise_to_power(&q, e2);
    new_command();
    fast_quoly_mult(&p, &q);
    benchmark::DoNotOptimize(p);
    free_quoly(&p);
    free_quoly(&q);
    special_free(e1);
    special_free(e2);
    free_imag(&e1);
    free_imag(&e2);
  }
  free_quoly(&a);
  free_quoly(&b);
}

void BM_product_of_20_fractions(benchmark::State& state) {
  adjoin_xyz_once();
  const bench::ModularRing ring(static_cast<std::int32_t>(state.range(0)));
  std::mt19937_64 rng(11);
  std::vector<poly> pool = factor_pool();
  pool.push_back(linear(1, 1, 0, 1));
  pool.push_back(linear(-2, 0, 1, 1));
  // A product of one to three pool factors, times a small number.
  auto product = [&] {
    poly p = constant_poly(static_cast<std::int32_t>(rng() % 5) + 1);
    const int k = 1 + static_cast<int>(rng() % 3);
    for (int j = 0; j < k; ++j) p = times(p, copy(pool[rng() % pool.size()]));
    return p;
  };
  std::vector<quoly> values;
  for (int i = 0; i < 20; ++i) values.push_back(fraction(product(), product()));
  for (auto _ : state) {
    quoly p = nullptr;
    quoly_set(1, &p);
    for (quoly v : values) {
      new_command();
      quoly m = v;
      fast_quoly_mult(&p, &m);
    }
    benchmark::DoNotOptimize(p);
    free_quoly(&p);
  }
  for (quoly& q : values) free_quoly(&q);
  for (poly& q : pool) free_poly(&q);
}

// Argument: the modulus (0: the integers).
// The harmonic number H_n = 1 + 1/2 + ... + 1/n by best_quoly_add, as
// Sigma<k = 1, n>[1/k] forms it: every sum a rational number plus one
// with a one-limb denominator.
void BM_harmonic_sum(benchmark::State& state) {
  for (auto _ : state) {
    quoly s = nullptr;
    quoly_set(0, &s);
    s->next = nullptr;
    for (std::int32_t k = 1; k <= state.range(0); ++k) {
      quoly term = nullptr;
      quoly_set(1, &term);
      term->next = nullptr;
      if (k > 1) {
        quoly den = nullptr;
        quoly_set(k, &den);
        den->next = nullptr;
        fast_quoly_quot(&term, &den, false);
        free_quoly(&den);
      }
      best_quoly_add(&s, term);
    }
    benchmark::DoNotOptimize(s);
    free_quoly(&s);
  }
}

BENCHMARK(BM_sum_of_50_fractions)->Arg(0)->Arg(65521)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_check_quoly_unreduced_sum)->Arg(0)->Arg(65521)->Unit(benchmark::kMillisecond);

// Arguments: k, then the modulus (0: the integers).
BENCHMARK(BM_power_product)
    ->Args({10, 0})
    ->Args({20, 0})
    ->Args({40, 0})
    ->Args({10, 65521})
    ->Args({20, 65521})
    ->Args({40, 65521})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_product_of_20_fractions)->Arg(0)->Arg(65521)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_harmonic_sum)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace
