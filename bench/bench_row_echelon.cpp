// Timings of the row reductions as the built-ins run them with no transform
// asked for, on fixed-seed instances:
// - the reduced row echelon form of (A | I) (an inverse) and fraction-free
//   LU of A, A n x n with integer entries uniform in [-9, 9];
// - the inverse over Q(x, y) through the reduced row echelon form of
//   (A | I), every entry of A all 6 monomials of total degree <= 2 in x, y
//   with coefficients in [-9, 9] non-zero, n = 12, 16;
// - fraction-free LU of n x n matrices whose entries are all 10 monomials
//   of total degree <= 2 in x, y, z (the last pivot is the determinant),
//   n = 12, 16;
// - the modular sparse row reduction of a rows x cols matrix with 3 to 6
//   entries a row, modulo 32003: square 2000 with random columns (the
//   echelon form fills in), 20000 x 200 with random columns, and 20000 x
//   20000 with the columns within 8 of the row's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/row_echelon.h"
#include "frontend/data_files.h"
#include "bench_ring.h"
#include "bench_work.h"

namespace {

using namespace tavrin;

using Entry = std::function<quoly(std::mt19937_64&)>;

quoly small_integer(std::mt19937_64& rng) {
  quoly v = nullptr;
  quoly_set(static_cast<std::int32_t>(rng() % 19) - 9, &v);
  v->next = nullptr;
  return v;
}

// A dense rows x cols named array on private pages of the store: A, then
// the identity when augmented.
struct BenchArray {
  std::int32_t cells;
  bench::OwnPages pages;
  arrnode q{};
  BenchArray(std::int32_t n, bool augmented, std::uint64_t seed, const Entry& entry = small_integer)
      : cells(n * (augmented ? 2 * n : n)), pages(cells) {
    std::mt19937_64 rng(seed);
    for (std::int32_t c = 0; c < cells; ++c) {
      const std::int32_t col = c / n, row = c % n;
      quoly v = nullptr;
      if (col < n) {
        v = entry(rng);
      } else {
        quoly_set(col - n == row ? 1 : 0, &v);
        v->next = nullptr;
      }
      *arp_cell(c) = v;
    }
    q.rows = n;
    q.start = 0;
    q.stop = cells - 1;
    set_entry_count(&q.sizearr, std::int64_t{cells});
  }
  ~BenchArray() {
    for (std::int32_t c = 0; c < cells; ++c) free_quoly(arp_cell(c));
    special_free(&q.sizearr);
  }
};

void set_up_once() { bench::start_work_areas_once(); }

void BM_RedRowEchInverse(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const bool want[6] = {};
  for (auto _ : state) {
    state.PauseTiming();
    BenchArray a(n, true, 51);
    quoly rank = nullptr;
    state.ResumeTiming();
    red_row_ech(&rank, &a.q, want, nullptr, nullptr, nullptr);
    state.PauseTiming();
    free_quoly(&rank);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RedRowEchInverse)->Arg(12)->Arg(24)->Arg(48)->Unit(benchmark::kMillisecond);

void BM_FractionFreeLU(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const bool want[6] = {true, true, false, false, false, false};
  auto piv = std::make_unique<workarray>();
  auto low = std::make_unique<workarray>();
  for (auto _ : state) {
    state.PauseTiming();
    BenchArray a(n, false, 52);
    quoly rank = nullptr;
    state.ResumeTiming();
    fract_free_lu(false, &rank, &a.q, want, piv.get(), low.get(), nullptr, nullptr, nullptr,
                  nullptr);
    state.PauseTiming();
    free_quoly(&rank);
    for (std::int32_t c = 0; c < n * n; ++c) free_quoly(&low->stash[c]);
    for (std::int32_t c = 0; c < n; ++c) free_quoly(&piv->stash[c]);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FractionFreeLU)->Arg(12)->Arg(24)->Arg(48)->Unit(benchmark::kMillisecond);

std::int32_t nonzero(std::mt19937_64& rng) {
  std::int32_t v = 0;
  while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
  return v;
}

// Every monomial of total degree <= 2 in the first nv variables, with a
// non-zero coefficient in [-9, 9].
quoly dense_quadratic(std::mt19937_64& rng, int nv) {
  poly sum = nullptr;
  poly_set(0, &sum);
  for (int a = 0; a <= 2; ++a)
    for (int b = 0; a + b <= 2; ++b)
      for (int c = 0; a + b + c <= 2; ++c) {
        if (nv < 3 && c > 0) continue;
        best_poly_add(sum, bench::monomial_poly(nonzero(rng), {a, b, c}), &sum);  // uses both up
      }
  return bench::polynomial_value(sum);
}

void BM_RedRowEchInverseQxy(benchmark::State& state) {
  set_up_once();
  bench::adjoin_xyz_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  // Second argument 0: long-coefficient products and the divisions by the
  // previous pivot term by term (the old route).
  const std::int32_t saved_ratio = flat_kronecker_ratio;
  if (state.range(1) == 0) flat_kronecker_ratio = 0;
  const bool want[6] = {};
  for (auto _ : state) {
    state.PauseTiming();
    bench::new_command();
    BenchArray a(n, true, 11, [](std::mt19937_64& rng) { return dense_quadratic(rng, 2); });
    quoly rank = nullptr;
    state.ResumeTiming();
    red_row_ech(&rank, &a.q, want, nullptr, nullptr, nullptr);
    state.PauseTiming();
    free_quoly(&rank);
    state.ResumeTiming();
  }
  flat_kronecker_ratio = saved_ratio;
}
BENCHMARK(BM_RedRowEchInverseQxy)
    ->Args({12, 1})
    ->Args({16, 1})
    ->Args({12, 0})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

void BM_FractionFreeLUP05(benchmark::State& state) {
  set_up_once();
  bench::adjoin_xyz_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const bool want[6] = {true, true, false, false, false, false};
  auto piv = std::make_unique<workarray>();
  auto low = std::make_unique<workarray>();
  for (auto _ : state) {
    state.PauseTiming();
    bench::new_command();
    BenchArray a(n, false, 5, [](std::mt19937_64& rng) { return dense_quadratic(rng, 3); });
    quoly rank = nullptr;
    state.ResumeTiming();
    fract_free_lu(false, &rank, &a.q, want, piv.get(), low.get(), nullptr, nullptr, nullptr,
                  nullptr);
    state.PauseTiming();
    free_quoly(&rank);
    for (std::int32_t c = 0; c < n * n; ++c) free_quoly(&low->stash[c]);
    for (std::int32_t c = 0; c < n; ++c) free_quoly(&piv->stash[c]);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FractionFreeLUP05)->Arg(8)->Arg(12)->Arg(16)->Iterations(1)->Unit(benchmark::kSecond);

// A sparse rows x cols array of residues modulo the current modulus, 3 to 6
// entries a row in distinct random columns; band > 0: columns within band
// of the row's own (clipped to the matrix).
struct SparseBenchArray {
  arrnode q{};
  SparseBenchArray(std::int32_t rows, std::int32_t cols, std::int32_t band, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    q.rows = rows;
    set_entry_count(&q.sizearr, std::int64_t{rows} * cols);
    sparse_init(&q.spar, rows);
    for (std::int32_t r = 1; r <= rows; ++r) {
      std::vector<std::int32_t> at;
      const auto count = 3 + static_cast<std::size_t>(rng() % 4);
      while (at.size() < count) {
        auto c = 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(cols));
        if (band > 0)
          c = std::clamp(r - band + static_cast<std::int32_t>(rng() % (2 * band + 1)), 1, cols);
        if (std::find(at.begin(), at.end(), c) == at.end()) at.push_back(c);
      }
      std::sort(at.begin(), at.end(), std::greater<>());
      colm_ptrptr head = sparse_row(q.spar, r);
      for (const std::int32_t c : at) {  // pushed from the last column
        colm_ptr e = nullptr;
        newcolm(&e);
        e->coord = c;
        quoly v = nullptr;
        quoly_set(0, &v);
        v->next = nullptr;
        v->ncoef->lint =
            1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(modulus - 1));
        e->val = v;
        e->next = *head;
        *head = e;
      }
    }
  }
  ~SparseBenchArray() {
    free_sparse(&q.spar, q.rows, true);
    special_free(&q.sizearr);
  }
};

void BM_ModSparseRowReduce(benchmark::State& state) {
  set_up_once();
  bench::ModularRing ring(32003);
  const auto rows = static_cast<std::int32_t>(state.range(0));
  const auto cols = static_cast<std::int32_t>(state.range(1));
  const auto band = static_cast<std::int32_t>(state.range(2));
  const bool want[6] = {};
  sparseptr aux[4] = {nullptr, nullptr, nullptr, nullptr};
  for (auto _ : state) {
    state.PauseTiming();
    SparseBenchArray a(rows, cols, band, 20000);
    quoly rank = nullptr;
    state.ResumeTiming();
    sparse_rowreduce(&rank, &a.q, false, want, nullptr, aux, 268435456);
    state.PauseTiming();
    state.counters["rank"] = static_cast<double>(rank->ncoef->lint);
    free_quoly(&rank);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ModSparseRowReduce)
    ->Args({2000, 2000, 0})
    ->Args({20000, 200, 0})
    ->Args({20000, 20000, 8})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

}  // namespace
