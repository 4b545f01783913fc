// Fraction-free LU of a dense named array: each new entry is a 2 x 2
// determinant divided exactly by the previous pivot, so a matrix of
// polynomials stays one of polynomials.
#include <algorithm>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/trace_level.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "matrix/pivot_search.h"
#include "matrix/row_echelon.h"
#include "matrix/row_ops.h"

namespace tavrin {

namespace {

// The columns passed over (a column zero from row s down, moved to the
// right end of the active block), put back when the factorisation ends,
// however it ends.
class ColumnMoves {
 public:
  ColumnMoves(std::int32_t start, std::int32_t rows, std::int32_t cols)
      : start_(start), rows_(rows), cols_(cols) {}
  ColumnMoves(const ColumnMoves&) = delete;
  ColumnMoves& operator=(const ColumnMoves&) = delete;
  ~ColumnMoves() {
    while (list_ != nullptr) {  // most recent first
      colptr m = list_;
      list_ = m->next;
      undo(m->i, m->j);
      m->next = colgarb;
      colgarb = m;
    }
  }
  // Rows s.. of column s (all zero) out; columns s+1 .. cols-count one to
  // the left there; fresh zeros in column cols-count.
  void pass_over(std::int32_t s, std::int32_t count) {
    for (std::int32_t r = s; r < rows_; ++r) {
      free_quoly(&at(r, s));
      for (std::int32_t c = s; c < cols_ - count; ++c) at(r, c) = at(r, c + 1);
      at(r, cols_ - count) = nullptr;
      quoly_set(0, &at(r, cols_ - count));
    }
    newcolnode(&list_, s, count);
  }

 private:
  quoly& at(std::int32_t r, std::int32_t c) { return *arp_cell(start_ + r + c * rows_); }
  void undo(std::int32_t s, std::int32_t count) {
    for (std::int32_t r = s; r < rows_; ++r) {
      free_quoly(&at(r, cols_ - count));
      for (std::int32_t c = cols_ - count; c > s; --c) at(r, c) = at(r, c - 1);
      at(r, s) = nullptr;
      quoly_set(0, &at(r, s));
    }
  }
  std::int32_t start_, rows_, cols_;
  colptr list_ = nullptr;
};

// *v := *v * f.
void scale(quoly* v, quoly f) {
  quoly t = nullptr;
  quoly_mult(*v, f, &t);
  free_quoly(v);
  *v = t;
}

}  // namespace

void fract_free_lu(bool colsok, quolyptr n, arrptr q, const bool* want, workptr pivots,
                   workptr lower, workptr alpha, workptr alphinv, workptr beta, workptr betinv) {
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  const std::int32_t start = q->start;
  const std::int32_t steps = std::min(rows, cols);
  auto w = [want](int k) { return want != nullptr && want[k]; };
  uppertri(lower, rows);
  if (w(2)) identi(alpha, rows, false);
  if (w(3)) identi(alphinv, rows, false);
  if (w(4)) identi(beta, cols, false);
  if (w(5)) identi(betinv, cols, false);
  for (std::int32_t k = 0; k < rows; ++k) pivots->stash[k] = nullptr;
  TraceLevel trace(steps);
  if (verbose) dumpitt("Fraction-Free LU, counting to ", steps, true, true, true);
  auto at = [&](std::int32_t r, std::int32_t c) -> quoly& {
    return *arp_cell(start + r + c * rows);
  };
  auto low = [&](std::int32_t r, std::int32_t c) -> quoly& { return lower->stash[r + c * rows]; };
  ColumnMoves moves(start, rows, cols);
  std::int32_t s = 0;
  for (; s < steps; ++s) {
    check_interrupt();
    std::int32_t pr = -1;
    std::int32_t pc = -1;
    if (colsok) {
      findbest(start, q->stop, rows, s, &pr, &pc, false);
    } else {
      std::int32_t count = 0;
      for (;;) {
        findbest(start, q->stop, rows, s, &pr, &pc, true);
        if (pr != -1) break;
        ++count;
        if (count >= cols - s) break;
        moves.pass_over(s, count);
      }
    }
    if (pr == -1) break;
    if (verbose) dumpitt("", s + 1, false, false, false);
    if (pc != s) {
      switchrow_col(92, s, pc, start, rows, rows, cols);
      if (w(4)) swap_cols(beta, s, pc, cols);
      if (w(5)) swap_rows(nullptr, betinv, false, true, s, pc, cols);
    }
    if (pr != s) {
      switchrow_col(93, s, pr, start + s * rows, rows, rows - s, cols - s);
      spec_swap_rows(lower, s, pr, rows);
      if (w(2)) swap_rows(nullptr, alpha, false, true, s, pr, rows);
      if (w(3)) swap_cols(alphinv, s, pr, rows);
    }
    quoly p = at(s, s);
    quoly_assign(p, &pivots->stash[s]);
    for (std::int32_t i = s + 1; i < rows; ++i) {
      quoly e = at(i, s);
      const bool e_zero = quoly_iszero(e);
      for (std::int32_t c = s + 1; c < cols; ++c) {
        quoly t = nullptr;
        quoly_mult(p, at(i, c), &t);
        if (!e_zero && !quoly_iszero(at(s, c))) {
          quoly u = nullptr;
          quoly_mult(e, at(s, c), &u);
          best_quoly_sub(&t, u);
        }
        if (s > 0 && !quoly_iszero(t)) {
          bool fails = false;
          trial_divide(&pivots->stash[s - 1], &t, true, false, false, &fails);
          // Modulo relations the entries are reduced representatives, so the
          // exact quotient need not be a polynomial quotient: divide in the
          // quotient ring instead.
          if (fails && pseudo_polynames != nullptr) {
            fast_quoly_quot(&t, &pivots->stash[s - 1], false);
            fails = false;
          }
          if (fails) tavrin_error(" FFLU", true);
          if (!t->numb && t->denom == nullptr && t->numer->numb && t->numer->next == nullptr)
            polynum_to_quoly(&t);
        }
        free_quoly(&at(i, c));
        at(i, c) = t;
      }
      low(i, s) = e;  // the value itself moves
      at(i, s) = nullptr;
      quoly_set(0, &at(i, s));
    }
    if (flotemode)  // the rounding depends on the order of the products
      for (std::int32_t r = 0; r < s; ++r)
        for (std::int32_t i = s + 1; i < rows; ++i) scale(&low(i, r), p);
  }
  // Exact arithmetic: entry (i, r) of lower receives the pivots of steps r + 1
  // to i - 1 (it sits below the pivot row at each of them, exchanges or not)
  // as one running product per column, instead of a product at every step.
  if (!flotemode)
    for (std::int32_t r = 0; r < s; ++r) {
      quoly run = nullptr;
      for (std::int32_t i = r + 2; i < rows; ++i) {
        if (i - 1 < s) {
          if (run == nullptr)
            quoly_assign(pivots->stash[i - 1], &run);
          else
            scale(&run, pivots->stash[i - 1]);
        }
        if (run != nullptr && !quoly_iszero(low(i, r))) scale(&low(i, r), run);
      }
      free_quoly(&run);
    }
  quoly_set_integer(s, n);
  for (std::int32_t k = s; k < rows; ++k) quoly_set(1, &pivots->stash[k]);
  for (std::int32_t c = s; c + 1 < rows; ++c)
    for (std::int32_t i = c + 1; i < rows; ++i) {
      low(i, c) = nullptr;  // never written: overwritten, not freed
      quoly_set(0, &low(i, c));
    }
}

}  // namespace tavrin
