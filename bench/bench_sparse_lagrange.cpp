// Timings of the sparse Lagrange determinant beside sparse elimination and
// expansion by minors, on fixed-seed instances: n x n, 3 entries a row (the
// diagonal and two other random columns), each entry a constant in [-9, 9]
// plus, half the time, one term of total degree 1 or 2 in x, y (bivariate)
// or x, y, z, t; over Z. Lagrange rows report the primes and points used.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "det/lagrange.h"
#include "det/minors_det.h"
#include "det/sparse_gauss.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/data_files.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace {

using namespace tavrin;

void adjoin_xyzt_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  const char* names[] = {"x", "y", "z", "t"};
  polypt* link = &polynames;
  for (std::int16_t d = 1; d <= 4; ++d) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, names[d - 1], 10);
    r->let.address = -1;
    r->depth = d;
    *link = r;
    link = &r->next;
  }
  number_polys = 4;
}

std::int32_t nonzero(std::mt19937_64& rng) {
  std::int32_t v = 0;
  while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
  return v;
}

quoly number_value(std::int32_t v) {
  quoly q = nullptr;
  quoly_set(v, &q);
  q->next = nullptr;
  return q;
}

// c0 + c1 * m, m a monomial of total degree 1 or 2 in the first nv variables.
quoly p06_entry(std::mt19937_64& rng, std::int32_t nv) {
  const std::int32_t c0 = nonzero(rng);
  if (rng() % 2 == 0) return number_value(c0);
  poly mono = nullptr;
  poly_set(nonzero(rng), &mono);
  const int degree = 1 + static_cast<int>(rng() % 2);
  for (int k = 0; k < degree; ++k) {
    poly v = nullptr;
    base_poly(&v, 1 + static_cast<std::int32_t>(rng() % nv));
    poly_mult(mono, v, &mono, nilpol);
    free_poly(&v);
  }
  poly c = nullptr;
  poly_set(c0, &c);
  poly s = nullptr;
  best_poly_add(mono, c, &s);
  quoly q = nullptr;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->rat = false;
  q->numer = s;
  q->denom = nullptr;
  return q;
}

// An n-row matrix whose row r holds the columns `cols(r)` with make() values.
template <class Cols, class Make>
sparseptr build(std::int32_t n, Cols cols, Make make) {
  sparseptr sp = nullptr;
  sparse_init(&sp, n);
  for (std::int32_t r = 1; r <= n; ++r) {
    colm_ptrptr t = sparse_row(sp, r);
    for (std::int32_t c : cols(r)) {
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

sparseptr p06_matrix(std::int32_t n, std::int32_t nv) {
  std::mt19937_64 rng(6);
  return build(
      n,
      [&](std::int32_t r) {
        std::set<std::int32_t> s{r};
        while (s.size() < 3) s.insert(1 + static_cast<std::int32_t>(rng() % n));
        return s;
      },
      [&] { return p06_entry(rng, nv); });
}

std::uint32_t seed_state = 7;
std::int32_t seeded() {
  seed_state = seed_state * 1103515245u + 12345u;
  return static_cast<std::int32_t>((seed_state >> 8) & 0x3FFF);
}

enum class method { lagrange, elim, minors };

void run(benchmark::State& state, std::int32_t nv, method how) {
  adjoin_xyzt_once();
  if (first_available < 1) first_available = 1;
  lagrange_random = seeded;
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = p06_matrix(n, nv);
  for (auto _ : state) {
    quoly d = nullptr;
    if (how == method::lagrange) {
      if (!sparse_lagrange(&a, &d, n, nullptr, -1, -1, 1, true, 0)) state.SkipWithError("declined");
    } else if (how == method::elim) {
      sparse_gauss_elim(&a, &d, n, 3, false);
    } else {
      bool ar_free = false;
      sparse_minors_det(&d, &a, n, &ar_free);
    }
    benchmark::DoNotOptimize(d);
    free_quoly(&d);
  }
  if (how == method::lagrange) {
    state.counters["primes"] = lagrange_last.primes;
    state.counters["points"] = static_cast<double>(lagrange_last.points);
  }
  free_sparse(&a, n, true);
  lagrange_random = rand_integer3;
}

void BM_SparseLagrangeBivZ(benchmark::State& s) { run(s, 2, method::lagrange); }
BENCHMARK(BM_SparseLagrangeBivZ)->Arg(34)->Iterations(1)->Unit(benchmark::kMillisecond);
void BM_SparseElimBivZ(benchmark::State& s) { run(s, 2, method::elim); }
BENCHMARK(BM_SparseElimBivZ)->Arg(34)->Iterations(1)->Unit(benchmark::kMillisecond);
void BM_SparseMinorsBivZ(benchmark::State& s) { run(s, 2, method::minors); }
BENCHMARK(BM_SparseMinorsBivZ)->Arg(34)->Iterations(1)->Unit(benchmark::kMillisecond);
void BM_SparseLagrangeP06Z(benchmark::State& s) { run(s, 4, method::lagrange); }
BENCHMARK(BM_SparseLagrangeP06Z)->Arg(34)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
