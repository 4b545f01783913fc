// Sparse Gauss-Bareiss elimination (see bareiss.h).
#include <cstdint>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/polymodding.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/pivot_search.h"
#include "matrix/row_ops.h"
#include "matrix/sparse_copy.h"
#include "det/bareiss.h"
#include "det/elimination_guards.h"
#include "det/float_check.h"
#include "det/method_services.h"
#include "det/sparse_pivot.h"

namespace tavrin {

namespace {

bool num_zero(imptr x) { return x->head == nullptr || (x->size == 1 && x->head->value == 0); }

// *e := *e / prev, exact by construction; false when it is not.
void divide_by_prev(quolyptr e, quoly prev) {
  quoly v = *e;
  if (!v->numb || !prev->numb) {
    bool fails = false;
    trial_divide(&prev, e, true, false, true, &fails);
    if (fails) {
      fl_check_lost();  // long doubles seldom divide exactly
      tavrin_error(" trial divide 2, Sparse Gauss-Bareiss", true);
    }
    v = *e;
    if (!v->numb && v->denom == nullptr && v->numer->numb && v->numer->next == nullptr)
      polynum_to_quoly(e);
    return;
  }
  if (modularmode && mod_is_prime) {
    std::int32_t inv = 0;
    mod_inverse(prev->ncoef->lint, &inv);
    v->ncoef->lint =
        modmult(static_cast<std::uint32_t>(v->ncoef->lint), static_cast<std::uint32_t>(inv));
    return;
  }
  if (flotemode) {
    v->ncoef->flote /= prev->ncoef->flote;
    return;
  }
  if (lintmode) {
    tavrin_error(" must have modularmode and mod is prime, Sparse Gauss-Bareiss", true);
    return;
  }
  imptr q = nullptr, r = nullptr;
  newimag(&q);
  newimag(&r);
  divide(v->ncoef, prev->ncoef, q, r);
  const bool exact = num_zero(r);
  if (exact) divide(v->ncoef, prev->ncoef, v->ncoef, r);
  free_imag(&q);
  free_imag(&r);
  if (!exact) tavrin_error(" trial divide 1, Sparse Gauss-Bareiss", true);
}

// Every entry of the row from link on: times p (unless p is 1), then over
// prev (when given); zeros unlinked.
void scale_row(colm_ptrptr link, quoly p, bool unit, quoly prev) {
  while (*link != nullptr) {
    if (!unit) fast_quoly_mult(&(*link)->val, &p);
    if (prev != nullptr && !quoly_iszero((*link)->val)) divide_by_prev(&(*link)->val, prev);
    if (quoly_iszero((*link)->val))
      free_colm(link);
    else
      link = &(*link)->next;
  }
}

}  // namespace

void sparse_gauss_Bareiss(sparseptr* spar, quolyptr n, std::int32_t m, std::int32_t mycut,
                          bool ar_free) {
  const bool laurent_at_entry = laurent;
  TraceLevel trace(m);
  if (verbose) dumpitt("Gauss-Bareiss method, sparse, size ", m, true, true, true);
  if (m > max_pivot_rows) abandon(sparse_matrix_too_large_error, &token);
  SparseWorkingMatrix work(spar, m, ar_free);
  ModOutSuspension suspension(mycut, m);
  nodes::OwnedValue prev;
  const sparseptr sp = work.get();
  const bool modular_search = modularmode && mod_is_prime;
  const std::int32_t period = m / 100 + 1;
  for (std::int32_t i = 1; i < m; ++i) {
    if (!sparse_pivot_into_place(sp, m, i, modular_search, period, n)) {
      quoly_set(0, n);
      if (suspension.resume()) modout_result(n, laurent_at_entry);
      return;
    }
    colm_ptr pivot = *sparse_row(sp, i);
    if (pivot == nullptr || pivot->coord != i || pivot->val == nullptr) {
      tavrin_error("nil qp in sparse Gauss-Bareiss.", true);
      quoly_set(0, n);
      return;
    }
    quoly p = pivot->val;
    const bool unit = quoly_eq_1(p);
    const quoly divisor = (i >= 2 && prev.q != nullptr && !quoly_eq_1(prev.q)) ? prev.q : nullptr;
    for (std::int32_t r = i + 1; r <= m; ++r) {
      colm_ptrptr head = sparse_row(sp, r);
      colm_ptr f = *head;
      if (f == nullptr || f->coord != i) {
        scale_row(head, p, unit, divisor);
        continue;
      }
      // Row r after column i: p*(r, c) - f*(i, c), then over prev.
      colm_ptrptr rest = &f->next;
      if (!unit)
        for (colm_ptr e = *rest; e != nullptr; e = e->next) fast_quoly_mult(&e->val, &p);
      sparse_sub_multiple(rest, pivot->next, f->val);
      if (divisor != nullptr) scale_row(rest, p, true, divisor);
      free_colm(head);
    }
    free_quoly(&prev.q);
    quoly_assign(p, &prev.q);
  }
  colm_ptr last = *sparse_row(sp, m);
  if (last != nullptr && last->coord == m)
    fast_quoly_mult(n, &last->val);
  else
    quoly_set(0, n);
  if (suspension.resume()) modout_result(n, laurent_at_entry);
}

}  // namespace tavrin
