// Timings of the reduced row echelon form of (A | I) (an inverse over the
// rationals) and of fraction-free LU of A, for fixed-seed n x n integer
// matrices with entries uniform in [-9, 9], as the built-ins run them with
// no transform asked for.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "arrays/array_store.h"
#include "core/globals.h"
#include "matrix/row_echelon.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/data_files.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace {

using namespace tavrin;

// A dense rows x cols named array on private pages of the store: A, then
// the identity when augmented.
struct BenchArray {
  std::vector<std::unique_ptr<storerec>> pages;
  std::vector<storeptr> saved;
  arrnode q{};
  std::int32_t cells;
  BenchArray(std::int32_t n, bool augmented, std::uint64_t seed) {
    const std::int32_t cols = augmented ? 2 * n : n;
    cells = n * cols;
    for (std::int32_t p = 0; p * page_cells < cells; ++p) {
      pages.push_back(std::make_unique<storerec>());
      saved.push_back(arp[p]);
      arp[p] = pages.back().get();
    }
    std::mt19937_64 rng(seed);
    for (std::int32_t c = 0; c < cells; ++c) {
      const std::int32_t col = c / n, row = c % n;
      quoly v = nullptr;
      quoly_set(col < n ? static_cast<std::int32_t>(rng() % 19) - 9 : (col - n == row ? 1 : 0), &v);
      v->next = nullptr;
      *arp_cell(c) = v;
    }
    q.rows = n;
    q.start = 0;
    q.stop = cells - 1;
    set_entry_count(&q.sizearr, std::int64_t{cells});
  }
  ~BenchArray() {
    for (std::int32_t c = 0; c < cells; ++c) free_quoly(arp_cell(c));
    for (std::size_t p = 0; p < pages.size(); ++p) arp[p] = saved[p];
    special_free(&q.sizearr);
  }
};

void set_up_once() {
  static bool done = false;
  if (done) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  done = true;
}

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

}  // namespace
