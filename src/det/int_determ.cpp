// Integer determinants from word-prime images (see int_determ.h).
#include "det/int_determ.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "core/trace_level.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/limb_array.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/int_images.h"
#include "det/dense_gauss.h"
#include "det/int_routes.h"

namespace tavrin {

bool force_integer_route = false;

void set_min_cut(std::int32_t rows) {
  if (rows < 6)
    mincutoff = 1000000;
  else if (rows <= 8)
    mincutoff = rows - 4;
  else if (rows <= 13)
    mincutoff = rows - 3;
  else if (rows <= 15)
    mincutoff = 5;
  else
    mincutoff = 6;
}

void do_mod_prime(std::int32_t rows, std::int32_t k, workptr beta, quoly m) {
  if (k > 5) need_data_file(data_file::pprods);
  m->ncoef->lint = static_cast<std::int32_t>(
      images::residue_image(images::cells_of(nullptr, beta, rows * rows), rows,
                            static_cast<std::uint32_t>(prime[k]->lint)));
}

void small_mod_determ(std::int32_t rows, quolyptr n, workptr beta, imptr pseudodet, bool* succeed) {
  need_data_file(data_file::pprods);
  const std::int32_t L = pseudodet->size;
  std::int32_t k = std::max(L * 7 / 4 + 4, 6);
  while (k <= prime_count && num_prod[k - 6].size < L) ++k;
  while (k <= prime_count && num_prod[k - 6].size == L &&
         num_prod[k - 6].head->value < pseudodet->head->value)
    ++k;
  if (k > prime_count) {
    *succeed = false;
    return;
  }
  *succeed = true;
  BigModeGuard big;
  const std::int32_t np = k - 5;
  TraceLevel trace(np);
  if (verbose) dumpitt("CRT. number of primes needed is ", np, true, true, true);
  // Garner's digits: d[t] < prime[6 + t], det = sum d[t] prime[6] .. prime[5 + t] mod M.
  Garner garner;
  std::vector<std::uint32_t> d(static_cast<std::size_t>(np));
  nodes::OwnedValue image(nodes::new_number_value(nullptr));
  newimag(&image.q->ncoef);
  for (std::int32_t t = 0; t < np; ++t) {
    garner.add_prime(static_cast<std::uint32_t>(prime[6 + t]->lint));
    if (verbose) dumpitt(" ", t + 1, false, false, true);
    do_mod_prime(rows, 6 + t, beta, image.q);
    const auto at = static_cast<std::size_t>(t);
    d[at] = garner.digit(at, garner.field(at).of(image.q->ncoef->lint), d.data());
  }
  // The value in [0, M) or, by its parity (M is odd), the one in (-M, 0).
  ZInt A = garner.value(d.data());
  const std::uint32_t parity =
      images::residue_image(images::cells_of(nullptr, beta, rows * rows), rows, 2);
  if (A.mod_word(2) != parity) A -= garner.modulus();
  free_quoly(n);
  *n = nodes::new_number_value(A.to_number());
}

namespace {

// int_determ on the cells (column by column, nil for 0) of q, or of a
// matrix that has no array (q nil).
void cells_determ(quolyptr n, arrptr q, const std::vector<quoly>& cells, std::int32_t rows,
                  quolyptr pseudodet) {
  set_min_cut(rows);
  bool small_one = false;
  std::int32_t size = 0;
  // The bound, given back on every exit unless handed to the caller.
  nodes::OwnedNumber bound;
  imptr pd = bound.get();
  pd->size = 0;
  images::find_pseudo_cells(cells, pd, &small_one, rows, rows, &size, false, false);
  // A bound of the caller's (positive) replaces the computed one.
  if (pseudodet != nullptr && *pseudodet != nullptr && (*pseudodet)->numb &&
      (*pseudodet)->ncoef->size > 0 && (*pseudodet)->ncoef->head->value > 0)
    images::assign_number((*pseudodet)->ncoef, pd);
  // A small light matrix with a huge bound of the caller's: exact
  // elimination of the first pivots, the rest through the router. The
  // images cover every other bound; the integer elimination only on request.
  const bool plain = std::int64_t{rows} * rows <= 301 && size <= sizeval && pd->size > 599;
  imptr d = nullptr;
  if (plain || force_integer_route) {
    const std::int32_t cut = plain ? std::min(mincutoff, rows - 1) : rows - 1;
    d = images::triangular_determ(q, cells, rows, pd, cut, !plain);
  } else {
    d = images::crt_determ(cells, rows, pd);
  }
  if (d != nullptr) {
    free_quoly(n);
    *n = nodes::new_number_value(d);
  }
  if (pseudodet != nullptr) {
    free_quoly(pseudodet);
    *pseudodet = nodes::new_number_value(bound.release());
  }
}

}  // namespace

void int_determ(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet) {
  cells_determ(n, q, images::cells_of(q, beta, rows * rows), rows, pseudodet);
}

void sparse_int_determ(quolyptr n, sparseptr sp, std::int32_t rows) {
  std::vector<quoly> cells(static_cast<std::size_t>(rows) * static_cast<std::size_t>(rows),
                           nullptr);
  for (std::int32_t r = 1; r <= rows; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next)
      cells[static_cast<std::size_t>(e->coord - 1) * static_cast<std::size_t>(rows) +
            static_cast<std::size_t>(r - 1)] = e->val;
  cells_determ(n, nullptr, cells, rows, nullptr);
}

}  // namespace tavrin
