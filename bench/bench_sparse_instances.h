// Fixed-seed sparse instances shared by the sparse determinant benchmarks:
// the four variables x, y, z, t adjoined once, entries that are a constant
// in [-9, 9] plus, half the time, one term of total degree 1 or 2, and a
// builder of sparse matrices row by row.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>

#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "frontend/data_files.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace tavrin::bench_sparse {

// Start-up tables and work areas, then x, y, z, t adjoined (once).
inline void adjoin_xyzt_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  if (totalavailablememory == 0) totalavailablememory = std::uint64_t{1} << 30;
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

inline std::int32_t nonzero(std::mt19937_64& rng) {
  std::int32_t v = 0;
  while (v == 0) v = static_cast<std::int32_t>(rng() % 19) - 9;
  return v;
}

// The value of polynomial s (consumed), with denominator 1.
inline quoly polynomial_value(poly s) {
  quoly q = nullptr;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->rat = false;
  q->numer = s;
  q->denom = nullptr;
  return q;
}

inline quoly number_value(std::int32_t v) {
  quoly q = nullptr;
  quoly_set(v, &q);
  q->next = nullptr;
  return q;
}

// c0 + c1 * m, m a monomial of total degree 1 or 2 in the first nv variables.
inline quoly p06_entry(std::mt19937_64& rng, std::int32_t nv = 4) {
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

}  // namespace tavrin::bench_sparse
