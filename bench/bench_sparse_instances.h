// Fixed-seed sparse instances shared by the sparse determinant benchmarks:
// the four variables x, y, z, t adjoined once, entries that are a constant
// in [-9, 9] plus, half the time, one term of total degree 1 or 2, and a
// builder of sparse matrices row by row.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <set>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace tavrin::bench_sparse {

// Start-up tables and work areas, then x, y, z, t adjoined (once).
inline void adjoin_xyzt_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  if (totalavailablememory == 0) totalavailablememory = std::uint64_t{1} << 30;
  bench::adjoin_variables({"x", "y", "z", "t"});
}

inline std::int32_t nonzero(std::mt19937_64& rng) {
  std::int32_t v = 0;
  while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
  return v;
}

using bench::integer_value;
using bench::polynomial_value;

// c0 + c1 * m, m a monomial of total degree 1 or 2 in the first nv variables.
inline quoly p06_entry(std::mt19937_64& rng, std::int32_t nv = 4) {
  const std::int32_t c0 = nonzero(rng);
  if (rng() % 2 == 0) return integer_value(c0);
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
  return polynomial_value(s);
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

// The seeded n x n instance: in row r the diagonal and two random columns,
// entries p06_entry in the first nv variables.
inline sparseptr p06_matrix(std::int32_t n, std::int32_t nv = 4) {
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

}  // namespace tavrin::bench_sparse
