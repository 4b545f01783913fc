// Timings of the row and column operations, the per-step costs of the
// eliminations:
// - one sparse row merge (row k += f * row q) of two 1,000-entry rows over
//   Z (one-limb integers), modulo 32003, and of linear polynomials in x, y;
// - one dense row operation (row k -= f * row q) on a 500 x 500 work array
//   of one-limb integers, and on a 100 x 100 array of linear polynomials;
// - one residue elimination step (mod_zero_out at the first pivot) on a
//   500 x 500 work array modulo 32003.
// Each iteration adds f * row q and then -f * row q, so the matrix comes
// back as it was; the figures are per operation (two per iteration).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <set>

#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "frontend/data_files.h"
#include "matrix/row_ops.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"

namespace {

using namespace tavrin;

void setup_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  const char* names[] = {"x", "y"};
  polypt* link = &polynames;
  for (std::int16_t d = 1; d <= 2; ++d) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, names[d - 1], 10);
    r->let.address = -1;
    r->depth = d;
    *link = r;
    link = &r->next;
  }
  number_polys = 2;
}

quoly integer_value(std::int32_t v) {
  quoly q = nullptr;
  quoly_set(v, &q);
  q->next = nullptr;
  return q;
}

// c0 + cx x + cy y as a value.
quoly linear_value(std::int32_t c0, std::int32_t cx, std::int32_t cy) {
  poly s = nullptr;
  poly_set(c0, &s);
  const std::int32_t c[] = {cx, cy};
  for (std::int32_t d = 1; d <= 2; ++d) {
    poly v = nullptr, k = nullptr;
    base_poly(&v, d);
    poly_set(c[d - 1], &k);
    poly_mult(v, k, &v, nilpol);
    free_poly(&k);
    best_poly_add(s, v, &s);
  }
  quoly q = nullptr;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->numer = s;
  q->denom = nullptr;
  q->rat = false;
  return q;
}

std::int32_t small(std::mt19937_64& rng, std::int32_t bound) {
  return 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(bound));
}

// Two rows of 1,000 entries among 3,000 columns.
template <class Make>
sparseptr two_rows(std::mt19937_64& rng, Make make) {
  sparseptr sp = nullptr;
  sparse_init(&sp, 2);
  for (std::int32_t i = 1; i <= 2; ++i) {
    std::set<std::int32_t> cols;
    while (cols.size() < 1000) cols.insert(small(rng, 3000));
    colm_ptrptr t = sparse_row(sp, i);
    for (std::int32_t c : cols) {
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c;
      e->val = make();
      e->next = nullptr;
      *t = e;
      t = &e->next;
    }
  }
  return sp;
}

void BM_SparseRowMergeZ(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(1);
  sparseptr sp = two_rows(rng, [&] { return integer_value(small(rng, 1000000)); });
  quoly f = integer_value(12345), g = integer_value(-12345);
  for (auto _ : state) {
    sparse_row_add(sp, f, 1, 2);
    sparse_row_add(sp, g, 1, 2);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_quoly(&f);
  free_quoly(&g);
  free_sparse(&sp, 2, true);
}
BENCHMARK(BM_SparseRowMergeZ);

void BM_SparseRowMergeMod32003(benchmark::State& state) {
  setup_once();
  ModulusGuard ring(32003, true);
  ArithModeGuard modes;
  modularmode = lintmode = true;
  flotemode = false;
  std::mt19937_64 rng(2);
  sparseptr sp = two_rows(rng, [&] { return integer_value(small(rng, 32002)); });
  for (auto _ : state) {
    sparse_mod_row_add(sp, 12345, 1, 2);
    sparse_mod_row_add(sp, 32003 - 12345, 1, 2);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_sparse(&sp, 2, true);
}
BENCHMARK(BM_SparseRowMergeMod32003);

void BM_SparseRowMergePoly(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(3);
  sparseptr sp = two_rows(rng, [&] { return linear_value(small(rng, 100), small(rng, 100), small(rng, 100)); });
  quoly f = integer_value(7), g = integer_value(-7);
  for (auto _ : state) {
    sparse_row_add(sp, f, 1, 2);
    sparse_row_add(sp, g, 1, 2);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_quoly(&f);
  free_quoly(&g);
  free_sparse(&sp, 2, true);
}
BENCHMARK(BM_SparseRowMergePoly);

template <class Make>
workptr dense(std::int32_t n, Make make) {
  workptr w = new workarray;
  for (std::int32_t k = 0; k < n * n; ++k) w->stash[k] = make();
  return w;
}
void free_dense(workptr w, std::int32_t n) {
  for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&w->stash[k]);
  delete w;
}

void BM_DenseRowReduceZ500(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(4);
  const std::int32_t n = 500;
  workptr w = dense(n, [&] { return integer_value(small(rng, 1000000)); });
  quoly f = integer_value(12345), g = integer_value(-12345);
  for (auto _ : state) {
    row_reduce(w, f, n, 3, 7);
    row_reduce(w, g, n, 3, 7);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_quoly(&f);
  free_quoly(&g);
  free_dense(w, n);
}
BENCHMARK(BM_DenseRowReduceZ500);

void BM_DenseRowReducePoly100(benchmark::State& state) {
  setup_once();
  std::mt19937_64 rng(5);
  const std::int32_t n = 100;
  workptr w = dense(n, [&] { return linear_value(small(rng, 100), small(rng, 100), small(rng, 100)); });
  quoly f = integer_value(7), g = integer_value(-7);
  for (auto _ : state) {
    row_reduce(w, f, n, 3, 7);
    row_reduce(w, g, n, 3, 7);
  }
  state.SetItemsProcessed(2 * state.iterations());
  free_quoly(&f);
  free_quoly(&g);
  free_dense(w, n);
}
BENCHMARK(BM_DenseRowReducePoly100);

void BM_ModZeroOut500(benchmark::State& state) {
  setup_once();
  ModulusGuard ring(32003, true);
  ArithModeGuard modes;
  modularmode = lintmode = true;
  flotemode = false;
  std::mt19937_64 rng(6);
  const std::int32_t n = 500;
  workptr w = dense(n, [&] { return integer_value(small(rng, 32002)); });
  for (auto _ : state) mod_zero_out(w, 1, n, 1);  // one full pivot step (499 x 499 updates)
  state.SetItemsProcessed(state.iterations());
  free_dense(w, n);
}
BENCHMARK(BM_ModZeroOut500);

}  // namespace
