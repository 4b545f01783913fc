// Timings of p(A) by Horner's scheme on matrices (poly_at_matrix):
// - p of degree 10 and 50 with all coefficients nonzero small integers, at
//   random n x n matrices of small integers (n = 10, 30, 60), dense and
//   sparse with 5 % of the entries filled;
// - p of degree 20 at a 30 x 30 dense matrix modulo 65521 and over the
//   rationals (entries a/b with |a| < 10, 1 <= b <= 9).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_quot.h"
#include "arrays/sparse_store.h"
#include "matrix/mat_value.h"
#include "matlang/poly_at_matrix.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

void setup_once() {
  bench::adjoin_xyz_once();
  if (first_available < 1) first_available = 1;
}

// sum of c_i x^i for i = 0..degree, each c_i a nonzero integer in -9..9.
quoly random_poly(std::int32_t degree, std::mt19937_64& rng) {
  poly s = nullptr;
  poly_set(1 + static_cast<std::int32_t>(rng() % 9), &s);
  poly x = nullptr;
  base_poly(&x, 1);
  for (std::int32_t i = degree - 1; i >= 0; --i) {
    poly_mult(s, x, &s, nilpol);
    poly c = nullptr;
    std::int32_t v = 1 + static_cast<std::int32_t>(rng() % 9);
    poly_set(rng() % 2 ? v : (modularmode ? modulus - v : -v), &c);
    best_poly_add(s, c, &s);
  }
  free_poly(&x);
  return bench::polynomial_value(s);
}

quoly small_entry(std::mt19937_64& rng, bool rational) {
  quoly q = nullptr;
  const std::int32_t a = static_cast<std::int32_t>(rng() % 19) - 9;
  quoly_set(modularmode && a < 0 ? modulus + a : a, &q);
  q->next = nullptr;
  if (rational) {
    quoly b = nullptr;
    quoly_set(1 + static_cast<std::int32_t>(rng() % 9), &b);
    b->next = nullptr;
    fast_quoly_quot(&q, &b, false);
    free_quoly(&b);
  }
  return q;
}

// The matrix A as an owned value of v (dense, or sparse with `fill` of the
// entries present).
void fill_matrix(MatValue& v, std::int32_t n, double fill, bool sparse, bool rational,
                 std::mt19937_64& rng) {
  if (sparse) {
    sparse_init(&v.spar, n);
    for (std::int32_t i = 1; i <= n; ++i) {
      colm_ptrptr t = sparse_row(v.spar, i);
      for (std::int32_t c = 1; c <= n; ++c) {
        if (static_cast<double>(rng() % 1000) >= fill * 1000) continue;
        quoly e = small_entry(rng, rational);
        if (e->numb && e->ncoef->size == 0 && !modularmode) {
          free_quoly(&e);
          continue;
        }
        colm_ptr node = nullptr;
        newcolm(&node);
        node->coord = c;
        node->val = e;
        node->next = nullptr;
        *t = node;
        t = &node->next;
      }
    }
  } else {
    for (std::int32_t k = 0; k < n * n; ++k) v.arr->stash[k] = small_entry(rng, rational);
  }
  v.set_shape(n, n);
  v.arr_free = true;
}

void run(benchmark::State& state, bool sparse, std::int32_t modulus_, bool rational) {
  setup_once();
  bench::ModularRing ring(modulus_);
  const auto degree = static_cast<std::int32_t>(state.range(0));
  const auto n = static_cast<std::int32_t>(state.range(1));
  std::mt19937_64 rng(38);
  quoly p = random_poly(degree, rng);
  for (auto _ : state) {
    state.PauseTiming();
    WorkArrayGuard work(&bulletsign);
    MatValue v(work.get());
    fill_matrix(v, n, 0.05, sparse, rational, rng);
    state.ResumeTiming();
    poly_at_matrix(p, v);
    benchmark::DoNotOptimize(v.spar);
    state.PauseTiming();
    v.release();
    state.ResumeTiming();
  }
  free_quoly(&p);
}

void BM_PolyAtDenseIntegerMatrix(benchmark::State& s) { run(s, false, 0, false); }
void BM_PolyAtSparseIntegerMatrix(benchmark::State& s) { run(s, true, 0, false); }
void BM_PolyAtDenseMatrixMod65521(benchmark::State& s) { run(s, false, 65521, false); }
void BM_PolyAtDenseRationalMatrix(benchmark::State& s) { run(s, false, 0, true); }

BENCHMARK(BM_PolyAtDenseIntegerMatrix)
    ->ArgsProduct({{10, 50}, {10, 30, 60}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PolyAtSparseIntegerMatrix)
    ->ArgsProduct({{10, 50}, {10, 30, 60}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PolyAtDenseMatrixMod65521)->Args({20, 30})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PolyAtDenseRationalMatrix)->Args({20, 30})->Unit(benchmark::kMillisecond);

}  // namespace
