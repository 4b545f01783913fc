// Timings of element reads and writes through the array store's subscript
// mapping `lookup` (name search, origin, range tests, the cell or the row
// walk):
// - a dense 1000 x 1000 array of one-limb integers: random reads, and random
//   writes of a new integer into the cell;
// - a sparse 10,000 x 1,000 array with 5 entries a row: random reads (most
//   of them absent), and random writes that insert an absent entry or
//   delete a present one (sparse_insert / sparse_delete);
// - the whole language path: the statement "x := a[i, j] + a[j, i]:" read,
//   parsed and run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "frontend/data_files.h"

namespace {

using namespace tavrin;

constexpr std::int32_t dense_n = 1000;
constexpr std::int32_t sparse_rows = 10000;
constexpr std::int32_t sparse_cols = 1000;

tokentipe dense_name{"dn", -1};
tokentipe sparse_name{"sp", -1};

void setup_once() {
  static bool done = false;
  if (done) return;
  done = true;
  initialize(TAVRIN_BENCH_DATA_DIR);
  make_token_ring();
  addresser = 1;
  endarr = -1;
  numblocks = -1;
  insertarr(&dense_name, dense_n, dense_n, false);
  arrptr q = find_array(&dense_name);
  for (std::int32_t k = q->start; k <= q->stop; ++k) quoly_set(k % 1000, arp_cell(k));
  sparse_create(&sparse_name, sparse_rows, sparse_cols, false, true);
  q = find_array(&sparse_name);
  std::mt19937 gen(7);
  for (std::int32_t r = 1; r <= sparse_rows; ++r) {
    for (int e = 0; e < 5; ++e) {
      const std::int32_t c = 1 + static_cast<std::int32_t>(gen() % sparse_cols);
      quoly v = nullptr;
      quoly_set(1 + r % 97, &v);
      arrptr a = nullptr;
      quolyptr cell = nullptr;
      lookup(&sparse_name, r, c, &a, &cell, true);
      if (cell == nullptr) sparse_insert(r, c, q, true, &v);
      free_quoly(&v);
    }
  }
}

void BM_dense_read(benchmark::State& state) {
  setup_once();
  std::mt19937 gen(1);
  std::int64_t present = 0;
  for (auto _ : state) {
    arrptr q = nullptr;
    quolyptr cell = nullptr;
    lookup(&dense_name, 1 + static_cast<std::int32_t>(gen() % dense_n),
           1 + static_cast<std::int32_t>(gen() % dense_n), &q, &cell, true);
    present += *cell != nullptr;
  }
  benchmark::DoNotOptimize(present);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_dense_read);

void BM_dense_write(benchmark::State& state) {
  setup_once();
  std::mt19937 gen(2);
  for (auto _ : state) {
    arrptr q = nullptr;
    quolyptr cell = nullptr;
    lookup(&dense_name, 1 + static_cast<std::int32_t>(gen() % dense_n),
           1 + static_cast<std::int32_t>(gen() % dense_n), &q, &cell, true);
    free_quoly(cell);
    quoly_set(static_cast<std::int32_t>(gen() % 1000), cell);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_dense_write);

void BM_sparse_read(benchmark::State& state) {
  setup_once();
  std::mt19937 gen(3);
  std::int64_t present = 0;
  for (auto _ : state) {
    arrptr q = nullptr;
    quolyptr cell = nullptr;
    lookup(&sparse_name, 1 + static_cast<std::int32_t>(gen() % sparse_rows),
           1 + static_cast<std::int32_t>(gen() % sparse_cols), &q, &cell, true);
    present += cell != nullptr;
  }
  benchmark::DoNotOptimize(present);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_sparse_read);

void BM_sparse_write(benchmark::State& state) {
  setup_once();
  std::mt19937 gen(4);
  arrptr q = find_array(&sparse_name);
  quoly v = nullptr;
  quoly_set(5, &v);
  for (auto _ : state) {
    const std::int32_t r = 1 + static_cast<std::int32_t>(gen() % sparse_rows);
    const std::int32_t c = 1 + static_cast<std::int32_t>(gen() % sparse_cols);
    arrptr a = nullptr;
    quolyptr cell = nullptr;
    lookup(&sparse_name, r, c, &a, &cell, true);
    if (cell == nullptr) {
      sparse_insert(r, c, q, true, &v);
    } else {
      sparse_delete(r, c, q, true);
    }
  }
  free_quoly(&v);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_sparse_write);

void BM_element_statement(benchmark::State& state) {
  setup_once();
  std::mt19937 gen(5);
  std::string text;
  for (int k = 0; k < 1000; ++k) {
    const auto i = 1 + gen() % dense_n;
    const auto j = 1 + gen() % dense_n;
    text += "x := dn[" + std::to_string(i) + ", " + std::to_string(j) + "] + dn[" +
            std::to_string(j) + ", " + std::to_string(i) + "]:\n";
  }
  for (auto _ : state) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    for (int k = 0; k < 1000; ++k) {
      scanner(&stream, &token, &zilch);
      quoly value = nullptr;
      parse(&stream, &value, &zilch);
      free_quoly(&value);
      in.get();
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_element_statement);

}  // namespace
