// The reduced row echelon form of a dense named array.
#include "matrix/row_echelon.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "core/trace_level.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "numbers/work_arrays.h"
#include "numbers/zint.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/owned_cells.h"
#include "matrix/pivot_search.h"
#include "matrix/residue_elimination.h"
#include "matrix/row_ops.h"
#include "matrix/scaled_solve.h"
#include "matrix/sparse_copy.h"
#include "matrix/zmatrix.h"

namespace tavrin {

namespace {

using nodes::OwnedValue;

// A polynomial with integer coefficients (an integer number counts).
bool integer_polynomial(quoly v) {
  return v != nullptr && (v->numb ? !v->rat : v->denom == nullptr);
}

// t := t / d by one big-integer division when both are polynomials (not
// numbers) and d divides t; false, t untouched, otherwise. The quotient is
// the one trial_divide gives, a constant one made a number as there.
bool exact_quotient(quoly t, quoly d) {
  if (t->numb || d->numb || t->denom != nullptr || d->denom != nullptr) return false;
  if (!flat_exact_quotient(t->numer, d->numer, &t->numer, polynames)) return false;
  if (nodes::is_bare_leaf(t->numer)) polynum_to_quoly(&t);
  return true;
}

// The reduced row echelon form of a dense matrix of integer polynomials of
// full row rank, with no transform asked for, by fraction-free
// Gauss-Jordan elimination on a copy: at each pivot (p in column c) every
// other row i becomes (p * row i - (i, c) * pivot row) divided exactly by
// the previous pivot, so every entry stays a polynomial (a minor of the
// matrix) and each pivot entry equals the latest pivot d; at the end the
// rows are divided by d once. Such a form is unique, so the result is the
// one the elimination over fractions gives, at a fraction of its GCDs.
// Returns false, the matrix untouched, when it does not apply (a rank below
// the row count included); the caller then reduces over fractions.
bool fraction_free_rref(quolyptr n, std::int32_t start, std::int32_t rows, std::int32_t cols) {
  if (modularmode || flotemode || lintmode || laurent || pseudo_polynames != nullptr ||
      field_depth != 0 || cols < 2 || rows > cols - 1)
    return false;
  for (std::int32_t k = 0; k < rows * cols; ++k)
    if (!integer_polynomial(*arp_cell(start + k))) return false;
  OwnedCells m(static_cast<std::size_t>(rows) * cols);
  for (std::int32_t k = 0; k < rows * cols; ++k) quoly_assign(*arp_cell(start + k), &m.cell[k]);
  auto at = [&](std::int32_t r, std::int32_t c) -> quoly& { return m.cell[r + c * rows]; };
  std::vector<std::int32_t> pivot_col;
  OwnedValue latest;  // a copy of the latest pivot (nil: none yet)
  quoly& d = latest.q;
  std::int32_t r = 0;
  for (std::int32_t c = 0; r < rows && c <= cols - 2; ++c) {
    check_interrupt();
    std::int32_t j = r;
    while (j < rows && quoly_iszero(at(j, c))) ++j;
    if (j == rows) continue;
    if (j != r)
      for (std::int32_t k = 0; k < cols; ++k) std::swap(at(r, k), at(j, k));
    if (verbose && c % 10 == 0) dumpitt("", c + 1, false, false, false);
    quoly p = at(r, c);
    for (std::int32_t i = 0; i < rows; ++i) {
      if (i == r) continue;
      quoly e = at(i, c);
      const bool e_zero = quoly_iszero(e);
      for (std::int32_t k = 0; k < cols; ++k) {
        if (k == c) continue;
        const bool own = quoly_iszero(at(i, k));
        if (own && (e_zero || quoly_iszero(at(r, k)))) continue;
        quoly t = nullptr;
        if (own)
          quoly_set(0, &t);
        else
          quoly_mult(p, at(i, k), &t);
        if (!e_zero && !quoly_iszero(at(r, k))) {
          quoly u = nullptr;
          quoly_mult(e, at(r, k), &u);
          best_quoly_sub(&t, u);
        }
        if (d != nullptr && !quoly_iszero(t) && !exact_quotient(t, d)) {
          bool fails = false;
          trial_divide(&d, &t, true, false, false, &fails);
          if (fails) {  // cannot happen over an integral domain; stay safe
            free_quoly(&t);
            return false;
          }
        }
        free_quoly(&at(i, k));
        at(i, k) = t;
      }
      if (!e_zero) quoly_set(0, &at(i, c));
    }
    free_quoly(&d);
    quoly_assign(p, &d);
    pivot_col.push_back(c);
    ++r;
  }
  if (r < rows) return false;
  // Every row holds d at its pivot: the form is the rows divided by d.
  std::vector<bool> is_pivot(static_cast<std::size_t>(cols), false);
  for (const std::int32_t c : pivot_col) is_pivot[c] = true;
  for (std::int32_t i = 0; i < rows; ++i)
    for (std::int32_t k = 0; k < cols; ++k) {
      quoly& cell = *arp_cell(start + i + k * rows);
      if (is_pivot[k]) {
        quoly_set(k == pivot_col[i] ? 1 : 0, &cell);
      } else if (quoly_iszero(at(i, k))) {
        quoly_set(0, &cell);
      } else {
        quoly v = nullptr;
        quoly_quot(at(i, k), d, &v, false);
        free_quoly(&cell);
        cell = v;
      }
    }
  quoly_set_integer(r, n);
  return true;
}

// The pivot columns, from the left, of the row echelon form of m's first
// `width` columns modulo the prime p: the first independent columns over
// the integers modulo p. The leading square block is tried first by its LU.
std::vector<std::int32_t> pivot_columns(const ZMatrix& m, std::int32_t width, std::uint32_t p) {
  const std::int32_t rows = m.rows;
  std::vector<std::int32_t> pivots;
  if (rows <= width) {
    std::vector<double> store(static_cast<std::size_t>(rows) * rows);
    for (std::int32_t r = 0; r < rows; ++r)
      for (std::int32_t c = 0; c < rows; ++c)
        store[static_cast<std::size_t>(r) * rows + c] = m.at(r, c).mod_word(p);
    if (residue_lu(store.data(), rows, p, nullptr) != 0) {
      for (std::int32_t c = 0; c < rows; ++c) pivots.push_back(c);
      return pivots;
    }
  }
  const WordField f(p);
  std::vector<std::vector<std::uint32_t>> a(
      static_cast<std::size_t>(rows), std::vector<std::uint32_t>(static_cast<std::size_t>(width)));
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < width; ++c)
      a[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = m.at(r, c).mod_word(p);
  std::size_t rank = 0;
  for (std::int32_t c = 0; c < width && rank < static_cast<std::size_t>(rows); ++c) {
    check_interrupt();
    const auto sc = static_cast<std::size_t>(c);
    std::size_t r = rank;
    while (r < a.size() && a[r][sc] == 0) ++r;
    if (r == a.size()) continue;
    std::swap(a[rank], a[r]);
    const std::uint32_t inv = f.inv(a[rank][sc]);
    for (std::size_t i = rank + 1; i < a.size(); ++i) {
      const std::uint32_t g = f.mul(a[i][sc], inv);
      if (g == 0) continue;
      for (std::size_t k = sc; k < static_cast<std::size_t>(width); ++k)
        a[i][k] = f.sub(a[i][k], f.mul(g, a[rank][k]));
    }
    pivots.push_back(c);
    ++rank;
  }
  return pivots;
}

// The reduced row echelon form of a dense integer matrix of full row rank
// left of its last column, with no transform asked for, from the solve X
// = A_P^-1 A over the rationals (rational_solve, proven by its product),
// A_P the matrix's pivot columns: those modulo a word prime, the pivots
// over the rationals unless the prime divides a minor, when X fails the
// echelon shape (a column not a pivot must be zero in the rows whose
// pivots lie right of it) and the next prime is tried. Such a form is
// unique, so the result is the one the eliminations give. False, the
// matrix untouched, when the route does not apply (fewer rows than
// rref_lift_rows, an entry not an integer or too long for the solve's
// lifting, a rank below the row count modulo each prime tried); the
// caller then takes the fraction-free route.
bool lifted_rref(quolyptr n, std::int32_t start, std::int32_t rows, std::int32_t cols) {
  if (rows < rref_lift_rows || modularmode || flotemode || lintmode || laurent ||
      pseudo_polynames != nullptr || field_depth != 0 || verbose || cols < 2 || rows > cols - 1)
    return false;
  ZMatrix m(rows, cols);
  for (std::int32_t c = 0; c < cols; ++c)
    for (std::int32_t r = 0; r < rows; ++r) {
      const quoly v = *arp_cell(start + r + c * rows);
      if (v == nullptr || !v->numb || v->ncoef->size > 1) return false;
      m.at(r, c) = ZInt::from_number(v->ncoef);
    }
  for (std::size_t k = 0; k < 3; ++k) {
    const std::vector<std::int32_t> pivots =
        pivot_columns(m, cols - 1, word_prime(k, lifting_prime_top));
    if (static_cast<std::int32_t>(pivots.size()) < rows) continue;
    // The pivot columns' solve against the others (the last among them).
    std::vector<std::int32_t> place(static_cast<std::size_t>(cols), -1);  // a pivot's row, else -1
    std::vector<std::int32_t> other;
    for (std::int32_t i = 0; i < rows; ++i)
      place[static_cast<std::size_t>(pivots[static_cast<std::size_t>(i)])] = i;
    for (std::int32_t c = 0; c < cols; ++c)
      if (place[static_cast<std::size_t>(c)] < 0) other.push_back(c);
    ZMatrix a(rows, rows), b(rows, static_cast<std::int32_t>(other.size()));
    for (std::int32_t r = 0; r < rows; ++r) {
      for (std::int32_t i = 0; i < rows; ++i)
        a.at(r, i) = m.at(r, pivots[static_cast<std::size_t>(i)]);
      for (std::int32_t j = 0; j < b.cols; ++j)
        b.at(r, j) = m.at(r, other[static_cast<std::size_t>(j)]);
    }
    ZMatrix num;
    ZInt den;
    if (!rational_solve(a, b, &num, &den)) return false;
    bool shaped = true;
    for (std::int32_t j = 0; j < b.cols && shaped; ++j) {
      const std::int32_t c = other[static_cast<std::size_t>(j)];
      for (std::int32_t i = 0; i < rows && shaped && c < cols - 1; ++i)
        shaped = pivots[static_cast<std::size_t>(i)] < c || num.at(i, j).is_zero();
    }
    if (!shaped) continue;
    // Nothing below can fail.
    OwnedValue d;
    d.q = nodes::new_number_value(den.to_number());
    for (std::int32_t c = 0; c < cols; ++c) {
      const std::int32_t at = place[static_cast<std::size_t>(c)];
      const auto j = static_cast<std::int32_t>(std::lower_bound(other.begin(), other.end(), c) -
                                               other.begin());
      for (std::int32_t i = 0; i < rows; ++i) {
        quoly& cell = *arp_cell(start + i + c * rows);
        if (at >= 0) {
          quoly_set(at == i ? 1 : 0, &cell);
        } else if (num.at(i, j).is_zero()) {
          quoly_set(0, &cell);
        } else {
          OwnedValue x;
          x.q = nodes::new_number_value(num.at(i, j).to_number());
          quoly v = nullptr;
          quoly_quot(x.q, d.q, &v, false);
          free_quoly(&cell);
          cell = v;
        }
      }
    }
    quoly_set_integer(rows, n);
    return true;
  }
  return false;
}

// The matrix and transforms of a sparse reduction to row echelon form.
struct SparseSweep {
  sparseptr sp;
  sparseptr* auxspar;  // [0]: the row transform, [1]: its inverse
  std::int32_t rows;
  std::int32_t cols;
  bool wa;       // keep the row transform
  bool wi;       // keep its inverse
  bool modular;  // the entries are residues modulo the prime modulus
};

enum class PivotStep { found, none, missing };

// The next pivot of a sparse reduction at row r (1-based): *c moves right
// past the columns with no pivot at or below row r; a pivot row found is
// counted in *count, swapped into row r (with the transforms) and *link
// set to its entry in column *c. none: no pivot is left; missing: the
// pivot promised by the search is not in row r (an internal fault).
PivotStep next_sparse_pivot(const SparseSweep& s, std::int32_t r, std::int32_t* c,
                            std::int32_t* count, colm_ptrptr* link) {
  std::int32_t j = -1;
  for (;;) {
    check_interrupt();
    j = -1;
    if (s.modular)
      sparse_mod_colfindbest(s.sp, s.rows, r, *c, &j);
    else
      sparse_colfindbest(s.sp, s.rows, r, *c, &j);
    if (j == -2) return PivotStep::none;
    if (j != -1) break;
    ++*c;
    if (*c > s.cols - 1) return PivotStep::none;
  }
  if (verbose && *c % (s.cols / 100 + 1) == 0) dumpitt("", *c, false, false, false);
  ++*count;
  if (j != r) {
    sp_switchrow(s.sp, r, j);
    if (s.wa) sp_switchrow(s.auxspar[0], r, j);
    if (s.wi) sp_switchcol(s.auxspar[1], std::min(r, j), std::max(r, j), s.rows, 1);
  }
  get_sparse_colm(sparse_frame_of(s.sp, r), r, *c, link);
  if (**link == nullptr || (**link)->coord != *c) return PivotStep::missing;
  return PivotStep::found;
}

// The sweep of a sparse reduction to row echelon form: at each pivot
// (row r, column c, its entry at *link) eliminate clears the column and
// scales the row; *n := the rank. A pivot the search promised but row r
// lacks is the tavrin_error missing, and *n the rank found before it.
template <class Eliminate>
void sparse_sweep(quolyptr n, const SparseSweep& s, const char* missing, Eliminate eliminate) {
  std::int32_t r = 1;
  std::int32_t c = 1;
  std::int32_t count = 0;
  while (count < s.rows && s.cols > 1) {
    colm_ptrptr link = nullptr;
    const PivotStep step = next_sparse_pivot(s, r, &c, &count, &link);
    if (step == PivotStep::none) break;
    if (step == PivotStep::missing) {
      tavrin_error(missing, true);
      quoly_set_integer(count - 1, n);  // the promised pivot is missing: stop here
      return;
    }
    eliminate(r, c, link);
    ++r;
    ++c;
    if (c > s.cols - 1) break;
  }
  quoly_set_integer(count, n);
}

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
  if (!wa && !wi && (lifted_rref(n, start, rows, cols) || fraction_free_rref(n, start, rows, cols)))
    return;
  auto at = [&](std::int32_t r, std::int32_t c) -> quoly& {
    return *arp_cell(start + r + c * rows);
  };
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool done = cols < 2;
  while (!done && r < rows) {
    check_interrupt();
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
      quoly_assign(at(r, c), &p.q);
      for (std::int32_t k = c + 1; k < cols; ++k) fast_quoly_quot(&at(r, k), &p.q, false);
      if (wa) divide_row(alpha, p.q, rows, r);
      if (wi) mult_col(alphinv, p.q, rows, r);
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
          quoly_makeneg(e, &neg.q);
          col_reduce(alphinv, neg.q, rows, r, i);
        }
        quoly_set(0, &at(i, c));
      }
    }
    ++r;
    ++c;
    if (c > cols - 2) done = true;
  }
  quoly_set_integer(r, n);
}

void sparse_mod_redrowech(quolyptr n, sparseptr sp, const bool* want, std::int32_t rows,
                          std::int32_t cols, sparseptr* auxspar) {
  const bool wa = want != nullptr && want[0];
  const bool wi = want != nullptr && want[1];
  TraceLevel trace(cols);
  if (verbose) dumpitt(" Sparse modular reduce row echelon, cols ", cols, true, true, true);
  const SparseSweep sweep{sp, auxspar, rows, cols, wa, wi, true};
  auto eliminate = [&](std::int32_t r, std::int32_t c, colm_ptrptr link) {
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
  };
  sparse_sweep(n, sweep, "nil qp in sparse mod reduce row echelon.", eliminate);
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
  const SparseSweep sweep{sp, auxspar, rows, cols, wa, wi, false};
  auto eliminate = [&](std::int32_t r, std::int32_t c, colm_ptrptr link) {
    if (!quoly_eq_1((*link)->val)) {
      OwnedValue p;
      quoly_assign((*link)->val, &p.q);
      sparse_divide_row(sp, p.q, r);  // the pivot becomes 1
      if (wa) sparse_divide_row(auxspar[0], p.q, r);
      if (wi) sparse_mult_col(auxspar[1], p.q, rows, r);
    }
    for (std::int32_t i = 1; i <= rows; ++i) {
      if (i == r) continue;
      colm_ptrptr ei = nullptr;
      get_sparse_colm(sparse_frame_of(sp, i), i, c, &ei);
      if (*ei == nullptr || (*ei)->coord != c) continue;
      OwnedValue e;
      OwnedValue neg;
      quoly_assign((*ei)->val, &e.q);
      quoly_makeneg(e.q, &neg.q);
      // row i -= e * row r (row r is zero left of its pivot at c): the
      // entry (i, c) cancels and is removed
      sparse_row_add(sp, neg.q, i, r);
      if (wi) sparse_col_add(auxspar[1], e.q, rows, r, i);
      if (wa) sparse_row_add(auxspar[0], neg.q, i, r);
    }
  };
  sparse_sweep(n, sweep, "nil qp in sparse reduce row echelon.", eliminate);
}

}  // namespace tavrin
