// The pseudo-determinant "MSmith" works modulo when the user gives none:
// the product of the pivots of a pseudo-determinant column reduction of a
// copy of the sparse matrix, made positive and doubled.
//
// Why it serves. That reduction is an exact elimination over the rationals
// that stops when the rest is zero, so it finds rank-many pivots and their
// product is, up to sign, the minor on the pivot rows and columns: a
// non-zero minor of order the rank. The product of the invariant factors
// is the gcd of those minors, so the last non-zero factor divides it, and
// doubled it is a proper multiple pd. The form modulo pd has the
// invariants gcd(d_i, pd): d_i itself up to the rank and pd (shown as 0)
// beyond it.
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_mult.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_engines.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

void new_pseudo(quolyptr n, arrptr oq) {
  if (verbose) std::printf("\n Precomputing pseudo-determinant, rows %2d:\n", oq->rows);
  if (oq->spar == nullptr) abandon(pseudo_determinant_array_not_sparse_error, &token);
  // A scratch record over a copy of the rows, released on every exit.
  struct Scratch {
    arrptr q = nullptr;
    ~Scratch() {
      if (q == nullptr) return;
      free_sparse(&q->spar, q->rows, true);
      free_array_record(q);
    }
  } scratch;
  newarray(&scratch.q);
  const arrptr q = scratch.q;
  q->name = oq->name;
  q->rows = oq->rows;
  q->start = 0;
  q->stop = -1;
  q->spar = nullptr;
  set_entry_count(&q->sizearr, array_entries(oq));
  copy_sparse(&oq->spar, &q->spar, oq->rows, false);
  const bool want[6] = {};
  sparseptr aux[4] = {};
  free_quoly(n);
  quoly_set(0, n);
  matrix_engines.colreduce(n, q, want, nullptr, nullptr, nullptr, nullptr, aux, true, 268435456);
  const std::int32_t pivots = (*n)->numb ? (*n)->ncoef->head->value : 0;
  free_quoly(n);
  quoly_set(1, n);
  sparseptr frame = q->spar;
  for (std::int32_t i = 1; i <= pivots; ++i) {
    quoly d = nullptr;
    sparse_qq_set(i, &frame, &d);
    if (d == nullptr) continue;
    quoly factor = nullptr;
    quoly_assign(d, &factor);
    fast_quoly_mult(n, &factor);
    free_quoly(&factor);
  }
  quoly_abs(*n);
  quoly twice = nullptr;
  quoly_assign(*n, &twice);
  best_quoly_add(n, twice);
  if ((*n)->numb && (*n)->ncoef->head->value == 0 && (*n)->ncoef->size == 1) {
    tavrin_error("zero value in new_pseudo", true);
    std::fflush(stdout);
  }
}

}  // namespace tavrin
