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
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "det/lagrange.h"
#include "det/minors_det.h"
#include "det/sparse_gauss.h"
#include "frontend/data_files.h"
#include "bench_ring.h"
#include "bench_sparse_instances.h"

namespace {

using namespace tavrin;
using namespace tavrin::bench_sparse;

std::uint32_t seed_state = 7;
std::int32_t seeded() {
  seed_state = seed_state * 1103515245u + 12345u;
  return static_cast<std::int32_t>((seed_state >> 8) & 0x3FFF);
}

// Every integer leaf of p taken modulo the current modulus (one-limb values).
void to_residues(poly p) {
  for (; p != nullptr; p = p->next) {
    if (!p->numb) {
      to_residues(p->pcoef);
      continue;
    }
    const std::int32_t v = p->ncoef->head->value % modulus;
    p->ncoef->lint = v < 0 ? v + modulus : v;
  }
}

void to_residues(sparseptr a, std::int32_t n) {
  for (std::int32_t r = 1; r <= n; ++r)
    for (colm_ptr e = *sparse_row(a, r); e != nullptr; e = e->next) {
      if (e->val->numb) {
        const std::int32_t v = e->val->ncoef->head->value % modulus;
        e->val->ncoef->lint = v < 0 ? v + modulus : v;
      } else {
        to_residues(e->val->numer);
      }
    }
}

enum class method { lagrange, elim, minors };

void run(benchmark::State& state, std::int32_t nv, method how, std::int32_t prime = 0) {
  adjoin_xyzt_once();
  if (first_available < 1) first_available = 1;
  lagrange_random = seeded;
  const auto n = static_cast<std::int32_t>(state.range(0));
  sparseptr a = p06_matrix(n, nv);
  bench::ModularRing ring(prime);
  if (prime != 0) to_residues(a, n);
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
BENCHMARK(BM_SparseLagrangeP06Z)->Arg(34)->Arg(37)->Iterations(1)->Unit(benchmark::kSecond);
void BM_SparseLagrangeP06Mod(benchmark::State& s) { run(s, 4, method::lagrange, 32003); }
BENCHMARK(BM_SparseLagrangeP06Mod)->Arg(34)->Arg(37)->Iterations(1)->Unit(benchmark::kSecond);
// P12 stored sparse: n x n over GF(32003)[x], every entry of degree 4 with
// coefficients in [-9, 9], beside the dense driver's figure.
void BM_SparseLagrangeP12(benchmark::State& state) {
  adjoin_xyzt_once();
  if (first_available < 1) first_available = 1;
  lagrange_random = seeded;
  const auto n = static_cast<std::int32_t>(state.range(0));
  bench::ModularRing ring(32003);
  std::mt19937_64 rng(12);
  sparseptr a = build(
      n,
      [&](std::int32_t) {
        std::vector<std::int32_t> all(static_cast<std::size_t>(n));
        for (std::int32_t c = 0; c < n; ++c) all[static_cast<std::size_t>(c)] = c + 1;
        return all;
      },
      [&] {
        poly sum = nullptr;
        poly_set(0, &sum);
        for (int k = 0; k <= 4; ++k)
          best_poly_add(sum, bench::monomial_poly((nonzero(rng) + 32003) % 32003, {k}), &sum);
        return bench::polynomial_value(sum);
      });
  for (auto _ : state) {
    quoly d = nullptr;
    if (!sparse_lagrange(&a, &d, n, nullptr, -1, -1, 1, true, 0)) state.SkipWithError("declined");
    free_quoly(&d);
  }
  state.counters["points"] = static_cast<double>(lagrange_last.points);
  free_sparse(&a, n, true);
  lagrange_random = rand_integer3;
}
BENCHMARK(BM_SparseLagrangeP12)->Arg(200)->Iterations(1)->Unit(benchmark::kSecond);

void BM_SparseElimP06Mod(benchmark::State& s) { run(s, 4, method::elim, 32003); }
BENCHMARK(BM_SparseElimP06Mod)->Arg(34)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
