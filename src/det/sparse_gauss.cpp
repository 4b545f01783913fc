// Sparse Gaussian elimination (see sparse_gauss.h).
#include "det/sparse_gauss.h"
#include "core/error_codes.h"

#include <cstdint>
#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_stash.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/polymodding.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/pivot_search.h"
#include "matrix/row_ops.h"
#include "matrix/sparse_copy.h"
#include "det/elimination_guards.h"
#include "det/float_check.h"
#include "det/method_services.h"
#include "det/sparse_pivot.h"

namespace tavrin {

using nodes::OwnedValue;

void sparse_gauss_elim(sparseptr* spar, quolyptr n, std::int32_t m, std::int32_t mycut,
                       bool ar_free) {
  const bool laurent_at_entry = laurent;
  TraceLevel trace(m);
  if (verbose) {
    dumpitt("Gauss-Jordan elim method, sparse, size ", m, true, true, true);
    if (modularmode && modulus == 2)
      std::printf("  Consider using &O to turn off Hensel and C.R.T. for GCD over Z/2.\n");
  }
  if (m > max_pivot_rows) abandon(sparse_matrix_too_large_error, &token);
  SparseWorkingMatrix work(spar, m, ar_free);
  ModOutSuspension suspension(mycut, m);
  GcdStashLevel cache;
  OwnedValue factor;
  quoly_set(1, n);
  const sparseptr sp = work.get();
  const bool modular_search = modularmode && mod_is_prime;
  const std::int32_t period = m / 100 + 1;
  bool singular = false;
  sparseptr frame_i = sp;  // the frame of row i
  // Watched floating polynomial entries: an entry whose degree passes every
  // minor's has lost its GCDs, and the determinant would be garbage.
  const bool watched = fl_check_watching && flotemode;
  const std::int64_t degree_bound = watched ? fl_sparse_minor_degree_bound(sp, m) : 0;
  for (std::int32_t i = 1; i < m && !singular; ++i) {
    if (!sparse_pivot_into_place(sp, m, i, modular_search, period, n)) {
      singular = true;
      break;
    }
    const std::int32_t slot = (i - 1) % sparse_frame_rows;
    if (i > 1 && slot == 0) frame_i = frame_i->next;
    colm_ptrptr pivot_row = &frame_i->indx[slot];
    colm_ptr pivot = *pivot_row;
    if (pivot == nullptr || pivot->coord != i || pivot->val == nullptr) {
      tavrin_error("nil p in sparse Gauss-Jordan.", true);
      singular = true;
      break;
    }
    quoly p = pivot->val;
    const bool unit_pivot = quoly_eq_1(p);
    if (!unit_pivot) fast_quoly_mult(n, &p);
    // Rows below: those with an entry in column i (it is their first: the
    // columns before i are gone from every row from i on).
    sparseptr frame = frame_i;
    std::int32_t s = slot;
    for (std::int32_t r = i + 1; r <= m; ++r) {
      if (++s == sparse_frame_rows) {
        frame = frame->next;
        s = 0;
        if (frame == nullptr) {
          tavrin_error("nil ksp in sparse Gauss-Jordan.", true);
          break;
        }
      }
      colm_ptrptr head = &frame->indx[s];
      colm_ptr f = *head;
      if (f == nullptr || f->coord != i) continue;
      if (unit_pivot)
        quoly_assign(f->val, &factor.q);
      else
        quoly_quot(f->val, p, &factor.q, false);
      // row r -= factor * the pivot row, past column i
      sparse_sub_multiple(&f->next, pivot->next, factor.q);
      free_colm(head);
      if (watched)
        for (colm_ptr e = *head; e != nullptr; e = e->next) fl_check_degree(e->val, degree_bound);
    }
    free_sparse_row(*pivot_row);
    *pivot_row = nullptr;
  }
  if (singular) {
    quoly_set(0, n);
  } else {
    colm_ptr last = *sparse_row(sp, m);
    if (last != nullptr && last->coord == m) {
      fast_quoly_mult(n, &last->val);
    } else {
      quoly_set(0, n);
    }
  }
  if (suspension.resume()) modout_result(n, laurent_at_entry);
}

}  // namespace tavrin
