// The reduced row echelon form of a dense named array.
#include "matrix/row_echelon.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "arrays/array_store.h"
#include "core/errors.h"
#include "core/globals.h"
#include "matrix/pivot_search.h"
#include "matrix/row_ops.h"
#include "matrix/sparse_copy.h"
#include "arrays/sparse_store.h"
#include "numbers/word_mod.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

// Raises the trace level for the life of a reduction.
class TraceLevel {
 public:
  explicit TraceLevel(std::int32_t n) : n_(n) { ++dumpitt_level; }
  ~TraceLevel() {
    if (dumpitt_level > 0) decr_dumpitt(n_, true, verbose);
  }
  TraceLevel(const TraceLevel&) = delete;
  TraceLevel& operator=(const TraceLevel&) = delete;

 private:
  std::int32_t n_;
};

// A value freed when the scope ends.
struct OwnedValue {
  quoly v = nullptr;
  OwnedValue() = default;
  OwnedValue(const OwnedValue&) = delete;
  OwnedValue& operator=(const OwnedValue&) = delete;
  ~OwnedValue() { free_quoly(&v); }
};

}  // namespace

void red_row_ech(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr alphinv,
                 sparseptr* auxspar) {
  if (q->spar != nullptr) {
    sparse_redrowech(n, q, want, auxspar);
    return;
  }
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  const bool wa = want != nullptr && want[0];
  const bool wi = want != nullptr && want[1];
  if (wa) identi(alpha, rows, false);
  if (wi) identi(alphinv, rows, false);
  TraceLevel trace(cols);
  if (verbose) dumpitt("Reduced row echelon, cols ", cols, true, true, true);
  const std::int32_t start = q->start;
  auto at = [&](std::int32_t r, std::int32_t c) -> quoly& {
    return *arp_cell(start + r + c * rows);
  };
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool done = cols < 2;
  while (!done && r < rows) {
    std::int32_t j = -1;
    colfindbest(start, rows, r, c, &j);
    if (j == -1) {
      ++c;
      if (c > cols - 2) break;
      continue;
    }
    if (j != r) {
      switchrow_col(93, r, j, start + c * rows, rows, rows, cols - c);
      if (wa) swap_rows(nullptr, alpha, false, true, r, j, rows);
      if (wi) swap_cols(alphinv, r, j, rows);
    }
    if (verbose && c % 10 == 0) dumpitt("", c + 1, false, false, false);
    if (!quoly_eq_1(at(r, c))) {
      OwnedValue p;
      quoly_assign(at(r, c), &p.v);
      for (std::int32_t k = c + 1; k < cols; ++k) fast_quoly_quot(&at(r, k), &p.v, false);
      if (wa) divide_row(alpha, p.v, rows, r);
      if (wi) mult_col(alphinv, p.v, rows, r);
      quoly_set(1, &at(r, c));
    }
    for (std::int32_t pass = 0; pass < 2; ++pass) {
      const std::int32_t lo = pass == 0 ? 0 : r + 1;
      const std::int32_t hi = pass == 0 ? r : rows;
      for (std::int32_t i = lo; i < hi; ++i) {
        quoly e = at(i, c);
        if (quoly_iszero(e)) continue;
        for (std::int32_t k = c + 1; k < cols; ++k) {
          if (quoly_iszero(at(r, k))) continue;
          quoly t = nullptr;
          quoly_mult(e, at(r, k), &t);
          best_quoly_sub(&at(i, k), t);
        }
        if (wa) row_reduce(alpha, e, rows, i, r);
        if (wi) {
          OwnedValue neg;
          quoly_makeneg(e, &neg.v);
          col_reduce(alphinv, neg.v, rows, r, i);
        }
        quoly_set(0, &at(i, c));
      }
    }
    ++r;
    ++c;
    if (c > cols - 2) done = true;
  }
  quoly_set(r, n);
}

void sparse_mod_redrowech(quolyptr n, sparseptr sp, const bool* want, std::int32_t rows,
                          std::int32_t cols, sparseptr* auxspar) {
  const bool wa = want != nullptr && want[0];
  const bool wi = want != nullptr && want[1];
  TraceLevel trace(cols);
  if (verbose) dumpitt(" Sparse modular reduce row echelon, cols ", cols, true, true, true);
  std::int32_t r = 1;
  std::int32_t c = 1;
  std::int32_t count = 0;
  while (count < rows && cols > 1) {
    std::int32_t j = -1;
    sparse_mod_colfindbest(sp, rows, r, c, &j);
    if (j == -2) break;
    if (j == -1) {
      ++c;
      if (c > cols - 1) break;
      continue;
    }
    if (verbose && c % (cols / 100 + 1) == 0) dumpitt("", c, false, false, false);
    ++count;
    if (j != r) {
      sp_switchrow(sp, r, j);
      if (wa) sp_switchrow(auxspar[0], r, j);
      if (wi) sp_switchcol(auxspar[1], std::min(r, j), std::max(r, j), rows, 1);
    }
    colm_ptrptr link = nullptr;
    get_sparse_colm(sparse_frame_of(sp, r), r, c, &link);
    if (*link == nullptr || (*link)->coord != c) {
      tavrin_error("nil qp in sparse mod reduce row echelon.", true);
      quoly_set(count - 1, n);  // the promised pivot is missing: stop here
      return;
    }
    const std::int32_t p = (*link)->val->ncoef->lint;
    if (p != 1) {
      std::int32_t pinv = p;
      mod_inverse(p, &pinv);
      for (colm_ptr e = (*link)->next; e != nullptr; e = e->next)
        e->val->ncoef->lint = modmult(std::uint32_t(e->val->ncoef->lint), std::uint32_t(pinv));
      (*link)->val->ncoef->lint = 1;
      if (wa) sparse_mod_divide_row(auxspar[0], p, r);
      if (wi) sparse_mod_mult_col(auxspar[1], p, rows, r);
    }
    for (std::int32_t i = 1; i <= rows; ++i) {
      if (i == r) continue;
      colm_ptrptr ei = nullptr;
      get_sparse_colm(sparse_frame_of(sp, i), i, c, &ei);
      if (*ei == nullptr || (*ei)->coord != c) continue;
      const std::int32_t e = (*ei)->val->ncoef->lint;
      // row i -= e * row r (row r is zero left of its pivot at c)
      sparse_mod_row_add(sp, finf ? e : modulus - e, i, r);
      if (wi) sparse_mod_col_add(auxspar[1], e, rows, r, i);
      if (wa) sparse_mod_row_add(auxspar[0], finf ? e : modulus - e, i, r);
    }
    ++r;
    ++c;
    if (c > cols - 1) break;
  }
  quoly_set(count, n);
}

void sparse_redrowech(quolyptr n, arrptr q, const bool* want, sparseptr* auxspar) {
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  const bool wa = want != nullptr && want[0];
  const bool wi = want != nullptr && want[1];
  if (wa) spar_identi(&auxspar[0], rows, true);
  if (wi) spar_identi(&auxspar[1], rows, true);
  sparseptr sp = q->spar;
  if (modularmode && mod_is_prime && sparse_allnumbs(sp, rows)) {
    sparse_mod_redrowech(n, sp, want, rows, cols, auxspar);
    return;
  }
  TraceLevel trace(cols);
  if (verbose) dumpitt(" Sparse reduce row echelon, cols ", cols, true, true, true);
  std::int32_t r = 1;
  std::int32_t c = 1;
  std::int32_t count = 0;
  while (count < rows && cols > 1) {
    std::int32_t j = -1;
    sparse_colfindbest(sp, rows, r, c, &j);
    if (j == -2) break;
    if (j == -1) {
      ++c;
      if (c > cols - 1) break;
      continue;
    }
    if (verbose && c % (cols / 100 + 1) == 0) dumpitt("", c, false, false, false);
    ++count;
    if (j != r) {
      sp_switchrow(sp, r, j);
      if (wa) sp_switchrow(auxspar[0], r, j);
      if (wi) sp_switchcol(auxspar[1], std::min(r, j), std::max(r, j), rows, 1);
    }
    colm_ptrptr link = nullptr;
    get_sparse_colm(sparse_frame_of(sp, r), r, c, &link);
    if (*link == nullptr || (*link)->coord != c) {
      tavrin_error("nil qp in sparse reduce row echelon.", true);
      quoly_set(count - 1, n);  // the promised pivot is missing: stop here
      return;
    }
    if (!quoly_eq_1((*link)->val)) {
      OwnedValue p;
      quoly_assign((*link)->val, &p.v);
      sparse_divide_row(sp, p.v, r);  // the pivot becomes 1
      if (wa) sparse_divide_row(auxspar[0], p.v, r);
      if (wi) sparse_mult_col(auxspar[1], p.v, rows, r);
    }
    for (std::int32_t i = 1; i <= rows; ++i) {
      if (i == r) continue;
      colm_ptrptr ei = nullptr;
      get_sparse_colm(sparse_frame_of(sp, i), i, c, &ei);
      if (*ei == nullptr || (*ei)->coord != c) continue;
      OwnedValue e;
      OwnedValue neg;
      quoly_assign((*ei)->val, &e.v);
      quoly_makeneg(e.v, &neg.v);
      // row i -= e * row r (row r is zero left of its pivot at c): the
      // entry (i, c) cancels and is removed
      sparse_row_add(sp, neg.v, i, r);
      if (wi) sparse_col_add(auxspar[1], e.v, rows, r, i);
      if (wa) sparse_row_add(auxspar[0], neg.v, i, r);
    }
    ++r;
    ++c;
    if (c > cols - 1) break;
  }
  quoly_set(count, n);
}

}  // namespace tavrin
