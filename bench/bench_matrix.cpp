// Timings of the matrix products and powers:
// - dense products of random n x n integer matrices (n = 20, 50, 100, 200;
//   entries of 1 and of 10 limbs) by matrix_mult and by Winograd's
//   fast_mat_mult;
// - sparse products of random n x n integer matrices with 5 entries a row
//   (n = 1,000 and 10,000; by row merging and by the plain row-by-column
//   walk), and of 300 x 300 matrices whose 5 entries a row
//   are linear polynomials in x and y;
// - matrix_power of a 50 x 50 integer matrix (one-limb entries) to the 16th
//   power, dense and sparse;
// - the whole statement "Trans [b] * [b]:" (read, parsed, the operand
//   copied and transposed, the product, the system array filled) on a
//   100 x 100 array of one-limb integers and of linear polynomials in x and
//   y, beside the product kernel alone on the same operands.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <set>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_products.h"
#include "matlang/matrix_powers.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;
using bench::linear_value;

void setup_once() {
  if (first_available < 1) first_available = 1;
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  bench::adjoin_variables({"x", "y"});
}

// A random integer of exactly `limbs` limbs as a number value.
quoly random_integer(std::mt19937_64& rng, int limbs) {
  quoly q = nullptr;
  quoly_set(1, &q);
  q->next = nullptr;
  imptr n = q->ncoef;
  special_free(n);
  const bool neg = rng() % 2 != 0;
  numptr head = nullptr, tail = nullptr;
  for (int k = 0; k < limbs; ++k) {
    numptr l = new_limb();
    std::int32_t v = static_cast<std::int32_t>(rng() % 268435456);
    if (k == 0 && v == 0) v = 1;
    l->value = neg ? -v : v;
    l->next = nullptr;
    nodes::append_node(head, tail, l);
  }
  n->head = head;
  n->tail = tail;
  n->size = limbs;
  return q;
}

struct Dense {
  workptr cells = new workarray;
  arr_descr f{};
  std::int32_t n;
  Dense(std::int32_t size, int limbs, std::mt19937_64& rng) : n(size) {
    for (std::int32_t k = 0; k < n * n; ++k) cells->stash[k] = random_integer(rng, limbs);
    set_descr(&f, n, n);
  }
  ~Dense() {
    for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&cells->stash[k]);
    special_free(&f.arrsize);
    delete cells;
  }
};

// A random n x n sparse matrix with `per_row` entries a row.
template <class Make>
sparseptr random_sparse(std::int32_t n, int per_row, std::mt19937_64& rng, Make make) {
  sparseptr sp = nullptr;
  sparse_init(&sp, n);
  for (std::int32_t i = 1; i <= n; ++i) {
    std::set<std::int32_t> cols;
    while (static_cast<int>(cols.size()) < per_row)
      cols.insert(1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(n)));
    colm_ptrptr t = sparse_row(sp, i);
    for (std::int32_t c : cols) {
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c;
      e->val = make(rng);
      e->next = nullptr;
      *t = e;
      t = &e->next;
    }
  }
  return sp;
}

void BM_DenseProduct(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const int limbs = static_cast<int>(state.range(1));
  const bool winograd = state.range(2) != 0;
  std::mt19937_64 rng(1);
  Dense a(n, limbs, rng), b(n, limbs, rng);
  workptr z = new workarray;
  for (auto _ : state) {
    if (winograd) {
      fast_mat_mult(a.cells, b.cells, z, n, n, n);
    } else {
      // The first operand is borrowed: its cells are left alone and the
      // product lands in z's cells.
      for (std::int32_t k = 0; k < n * n; ++k) z->stash[k] = a.cells->stash[k];
      arr_descr zf{};
      set_descr(&zf, n, n);
      sparseptr none = nullptr, none2 = nullptr;
      matrix_mult(z, b.cells, &zf, &b.f, false, &none, &none2);
      special_free(&zf.arrsize);
    }
    state.PauseTiming();
    for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&z->stash[k]);
    state.ResumeTiming();
  }
  delete z;
}
BENCHMARK(BM_DenseProduct)
    ->ArgNames({"n", "limbs", "winograd"})
    ->ArgsProduct({{20, 50, 100, 200}, {1, 10}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

void BM_SparseIntegerProduct(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const bool by_columns = state.range(1) != 0;
  std::mt19937_64 rng(2);
  auto make = [](std::mt19937_64& g) { return random_integer(g, 1); };
  sparseptr a = random_sparse(n, 5, rng, make), b = random_sparse(n, 5, rng, make);
  for (auto _ : state) {
    sparseptr p = a;
    if (by_columns) {
      mult_sparses_by_columns(&p, &b, n, n, n, false);
    } else {
      mult_sparses(&p, &b, n, n, n, false);
    }
    state.PauseTiming();
    free_sparse(&p, n, true);
    state.ResumeTiming();
  }
  free_sparse(&a, n, true);
  free_sparse(&b, n, true);
}
// by_columns: the plain row-by-column walk over the transpose, for comparison.
BENCHMARK(BM_SparseIntegerProduct)
    ->ArgNames({"n", "by_columns"})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

void BM_SparsePolynomialProduct(benchmark::State& state) {
  setup_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(3);
  auto make = [](std::mt19937_64& g) {
    auto c = [&] { return static_cast<std::int32_t>(g() % 19) - 9; };
    const std::int32_t cx = c();
    return linear_value(c(), cx == 0 ? 1 : cx, c());
  };
  sparseptr a = random_sparse(n, 5, rng, make), b = random_sparse(n, 5, rng, make);
  for (auto _ : state) {
    sparseptr p = a;
    mult_sparses(&p, &b, n, n, n, false);
    state.PauseTiming();
    free_sparse(&p, n, true);
    state.ResumeTiming();
  }
  free_sparse(&a, n, true);
  free_sparse(&b, n, true);
}
BENCHMARK(BM_SparsePolynomialProduct)->Arg(300)->Unit(benchmark::kMillisecond);

void BM_MatrixPower16(benchmark::State& state) {
  setup_once();
  const bool sparse = state.range(0) != 0;
  std::mt19937_64 rng(4);
  Dense a(50, 1, rng);
  sparseptr sp = nullptr;
  if (sparse) {
    sparse_init(&sp, 50);
    for (std::int32_t i = 1; i <= 50; ++i) {
      colm_ptrptr t = sparse_row(sp, i);
      for (std::int32_t j = 1; j <= 50; ++j) {
        colm_ptr e = nullptr;
        newcolm(&e);
        e->coord = j;
        e->val = nullptr;
        quoly_assign(a.cells->stash[(i - 1) + (j - 1) * 50], &e->val);
        e->val->next = nullptr;
        e->next = nullptr;
        *t = e;
        t = &e->next;
      }
    }
  }
  workptr w = new workarray;
  for (auto _ : state) {
    for (std::int32_t k = 0; k < 2500; ++k) w->stash[k] = a.cells->stash[k];
    arr_descr wf{};
    set_descr(&wf, 50, 50);
    bool arr_free = false;
    sparseptr p = sp;
    matrix_power(w, &wf, &arr_free, 16, &p);
    state.PauseTiming();
    if (sparse) {
      free_sparse(&p, 50, true);
    } else {
      for (std::int32_t k = 0; k < 2500; ++k) free_quoly(&w->stash[k]);
    }
    special_free(&wf.arrsize);
    state.ResumeTiming();
  }
  free_sparse(&sp, 50, true);
  delete w;
}
BENCHMARK(BM_MatrixPower16)->ArgNames({"sparse"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The 100 x 100 array named bi (kind 0: one-limb integers below 1000) or bp
// (kind 1: linear polynomials in x and y), created once.
arrptr statement_array(int kind) {
  static arrptr made[2] = {nullptr, nullptr};
  if (made[kind] != nullptr) return made[kind];
  make_token_ring();
  tokentipe name{};
  std::strcpy(name.name, kind == 0 ? "bi" : "bp");
  name.address = -1;
  insertarr(&name, 100, 100, false);
  arrptr q = find_array(&name);
  std::mt19937_64 rng(11 + kind);
  for (std::int32_t k = q->start; k <= q->stop; ++k) {
    free_quoly(arp_cell(k));
    if (kind == 0) {
      quoly_set(static_cast<std::int32_t>(rng() % 1000), arp_cell(k));
    } else {
      *arp_cell(k) = linear_value(static_cast<std::int32_t>(rng() % 19) - 9,
                                  static_cast<std::int32_t>(rng() % 19) - 9,
                                  static_cast<std::int32_t>(rng() % 19) - 9);
    }
  }
  made[kind] = q;
  return q;
}

void BM_TransProductStatement(benchmark::State& state) {
  setup_once();
  const int kind = static_cast<int>(state.range(0));
  statement_array(kind);
  const std::string text = kind == 0 ? "Trans [bi] * [bi]:" : "Trans [bp] * [bp]:";
  for (auto _ : state) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    quoly value = nullptr;
    parse(&stream, &value, &zilch);
    free_quoly(&value);
  }
}
BENCHMARK(BM_TransProductStatement)
    ->ArgNames({"poly"})
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// The product kernel alone on the same operands: the transposed cells
// (borrowed) times the array's cells (borrowed), into a pool array.
void BM_TransProductKernel(benchmark::State& state) {
  setup_once();
  const int kind = static_cast<int>(state.range(0));
  arrptr q = statement_array(kind);
  auto* a = new workarray;
  auto* b = new workarray;
  for (std::int32_t i = 0; i < 100; ++i)
    for (std::int32_t j = 0; j < 100; ++j) {
      a->stash[i * 100 + j] = *arp_cell(q->start + j * 100 + i);
      b->stash[i * 100 + j] = *arp_cell(q->start + i * 100 + j);
    }
  arr_descr fa{}, fb{};
  for (auto _ : state) {
    state.PauseTiming();
    for (std::int32_t i = 0; i < 100; ++i)
      for (std::int32_t j = 0; j < 100; ++j)
        a->stash[i * 100 + j] = *arp_cell(q->start + j * 100 + i);
    set_descr(&fa, 100, 100);
    set_descr(&fb, 100, 100);
    state.ResumeTiming();
    sparseptr s1 = nullptr, s2 = nullptr;
    matrix_mult(a, b, &fa, &fb, false, &s1, &s2);
    state.PauseTiming();
    for (std::int32_t k = 0; k < 10000; ++k) free_quoly(&a->stash[k]);
    state.ResumeTiming();
  }
  delete a;
  delete b;
}
BENCHMARK(BM_TransProductKernel)->ArgNames({"poly"})->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// Array statements that store: a 100 x 100 array assigned its own
// transpose (every cell copied and replaced) and a 100 x 100 generated
// matrix (the stored expression replayed 10,000 times) into an existing
// array of that size.
void BM_AssignmentStatement(benchmark::State& state) {
  setup_once();
  statement_array(0);
  const std::string text =
      state.range(0) == 0 ? "[bi] := Trans [bi]:" : "[bg] := [<i = 1, 100><j = 1, 100> i*j + 1]:";
  for (auto _ : state) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    quoly value = nullptr;
    parse(&stream, &value, &zilch);
    free_quoly(&value);
  }
}
BENCHMARK(BM_AssignmentStatement)
    ->ArgNames({"generated"})
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
