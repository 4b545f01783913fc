#include "matrix/leverrier.h"

#include <cstdint>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "arrays/sparse_store.h"
#include "matrix/float_images.h"
#include "matrix/int_char_poly.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

namespace {

// B := B + c I in place; a diagonal entry that becomes zero is removed.
void add_to_diagonal(sparseptr b, std::int32_t n, quoly c) {
  if (quoly_iszero(c)) return;
  for (std::int32_t i = 1; i <= n; ++i) {
    colm_ptrptr link = sparse_row(b, i);
    while (*link != nullptr && (*link)->coord < i) link = &(*link)->next;
    if (*link != nullptr && (*link)->coord == i) {
      better_quoly_add((*link)->val, c, &(*link)->val);
      if (sparse_val_iszero((*link)->val)) free_colm(link);
    } else {
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = i;
      e->val = nullptr;
      quoly_assign(c, &e->val);
      e->next = *link;
      *link = e;
    }
  }
}

// The traces are built in owned cells: a sum may fail (a denominator that
// vanishes modulo the relations, error 210).
quoly sparse_trace(sparseptr b, std::int32_t n) {
  nodes::OwnedValue s;
  quoly_set(0, s.cell());
  for (std::int32_t i = 1; i <= n; ++i) {
    quoly v = spar_retrieve(b, i, i);
    if (!quoly_iszero(v)) quoly_add(s.q, v, s.cell());
  }
  return s.release();
}

quoly dense_trace(workptr w, std::int32_t n) {
  nodes::OwnedValue s;
  quoly_set(0, s.cell());
  for (std::int32_t i = 0; i < n; ++i) {
    quoly v = w->stash[i + i * n];
    if (v != nullptr && !quoly_iszero(v)) quoly_add(s.q, v, s.cell());
  }
  return s.release();
}

std::int64_t count_entries(sparseptr b, std::int32_t n) {
  std::int64_t count = 0;
  for (std::int32_t i = 1; i <= n; ++i) {
    for (colm_ptr e = *sparse_row(b, i); e != nullptr; e = e->next) ++count;
  }
  return count;
}

// *t := *t / k (the step number in the ground ring); modulo a composite k
// may have no inverse (error 85).
void divide_by_step(quoly* t, std::int32_t k) {
  nodes::OwnedValue kq;
  quoly_set(k, kq.cell());
  fast_quoly_quot(t, kq.cell(), false);
}

// The values of b moved into the n x n cells of w (absent entries 0); b freed.
void sparse_into_dense(sparseptr* b, workptr w, std::int32_t n) {
  for (std::int32_t k = 0; k < n * n; ++k) {
    w->stash[k] = nullptr;
    quoly_set(0, &w->stash[k]);
  }
  for (std::int32_t i = 1; i <= n; ++i) {
    for (colm_ptr e = *sparse_row(*b, i); e != nullptr; e = e->next) {
      quoly& cell = w->stash[(i - 1) + (e->coord - 1) * n];
      free_quoly(&cell);
      cell = e->val;
      e->val = nullptr;
    }
  }
  free_sparse(b, n, true);
}

void add_to_dense_diagonal(workptr w, std::int32_t n, quoly c) {
  if (quoly_iszero(c)) return;
  for (std::int32_t i = 0; i < n; ++i) {
    quoly& cell = w->stash[i + i * n];
    if (cell == nullptr) quoly_set(0, &cell);
    better_quoly_add(cell, c, &cell);
  }
}

void free_cells(workptr w, std::int32_t cells) {
  for (std::int32_t k = 0; k < cells; ++k) free_quoly(&w->stash[k]);
}

// dst's cells (owning nothing) take over src's; src's cells are cleared.
void move_cells(workptr src, workptr dst, std::int32_t cells) {
  for (std::int32_t k = 0; k < cells; ++k) {
    dst->stash[k] = src->stash[k];
    src->stash[k] = nullptr;
  }
}

bool switch_allowed(std::int32_t n) { return n <= 1000; }

// The recurrence's values and matrices, given back on every exit (an error
// or an abandoned interrupt included) unless handed on; the dense arrays'
// cells (nil when moved) likewise.
struct Recurrence {
  std::int32_t rows;
  quoly c = nullptr, t = nullptr, x = nullptr, p = nullptr;
  sparseptr b = nullptr, last = nullptr;
  workptr dense[2] = {nullptr, nullptr};
  explicit Recurrence(std::int32_t n) : rows(n) {}
  ~Recurrence() {
    for (quoly* q : {&c, &t, &x, &p}) free_quoly(q);
    for (sparseptr* m : {&b, &last})
      if (*m != nullptr) free_sparse(m, rows, true);
    for (workptr w : dense)
      if (w != nullptr) free_cells(w, rows * rows);
  }
  Recurrence(const Recurrence&) = delete;
  Recurrence& operator=(const Recurrence&) = delete;
};

// One level deeper of progress lines for a scope.
class ProgressLevel {
 public:
  explicit ProgressLevel(std::int32_t n) : n_(n) { ++dumpitt_level; }
  ~ProgressLevel() {
    if (dumpitt_level > 0) decr_dumpitt(n_, true, verbose);
  }
  ProgressLevel(const ProgressLevel&) = delete;
  ProgressLevel& operator=(const ProgressLevel&) = delete;

 private:
  std::int32_t n_;
};

// A sized descriptor whose limbs go back on every exit.
struct Descr {
  arr_descr d{};
  void release() {
    special_free(&d.arrsize);  // the limbs, whatever the mode
    d.arrsize = number{};
  }
  ~Descr() { release(); }
};

// The sparse stage of the recurrence from step 2 (a: the sparse matrix): at
// each step k, prod := a * (st.b + st.c I) and step(k, prod) takes it over.
// The stage ends after step rows, or once st.b fills more than half of the
// matrix when the switch is allowed. Answers the next step (rows + 1 after
// the last).
template <class Step>
std::int32_t sparse_stage(Recurrence& st, sparseptr a, Step&& step) {
  const std::int32_t rows = st.rows;
  const std::int64_t half = static_cast<std::int64_t>(rows) * rows / 2;
  for (std::int32_t k = 2; k <= rows; ++k) {
    check_interrupt();
    add_to_diagonal(st.b, rows, st.c);
    sparseptr prod = a;
    mult_sparses(&prod, &st.b, rows, rows, rows, false);
    step(k, prod);
    if (k < rows && switch_allowed(rows) && count_entries(st.b, rows) > half) return k + 1;
  }
  return rows + 1;
}

// The dense stage of the recurrence, steps k..rows (a: the sparse matrix;
// w1, w2: work arrays whose cells st then owns): st.b moves into w1; at each
// step w2 := a * (w1 + st.c I), step(k, w2) reads it and w2 becomes w1 for
// the next step (after the last, w1 keeps the one before).
template <class Step>
void dense_stage(Recurrence& st, sparseptr a, workptr w1, workptr w2, std::int32_t k, Step&& step) {
  const std::int32_t rows = st.rows, cells = rows * rows;
  for (std::int32_t j = 0; j < cells; ++j) w2->stash[j] = nullptr;
  sparse_into_dense(&st.b, w1, rows);
  st.dense[0] = w1;
  st.dense[1] = w2;
  Descr facts;
  for (; k <= rows; ++k) {
    check_interrupt();
    add_to_dense_diagonal(w1, rows, st.c);
    sparseptr prod = a;
    mult_sparse_norm(&prod, w1, w2, false, rows, rows, rows, &facts.d);
    facts.release();
    step(k, w2);
    if (k < rows) {
      free_cells(w1, cells);
      move_cells(w2, w1, cells);
    }
  }
}

}  // namespace

bool leverrier_refused(std::int32_t rows) {
  if (!modularmode) return false;
  if (finf) return rows >= 2;
  return rows >= modulus;
}

void sparse_chpoly(quolyptr n, sparseptr spar, std::int32_t rows) {
  if (leverrier_refused(rows)) abandon(sparse_chpoly_word_mode_needs_fewer_error, &token);
  // The images print no progress lines: with them wanted, the recurrence.
  if (!verbose && int_char_poly_sparse(spar, rows, n)) return;
  leverrier_chpoly(n, spar, rows);
}

void leverrier_chpoly(quolyptr n, sparseptr spar, std::int32_t rows) {
  if (leverrier_refused(rows)) abandon(sparse_chpoly_word_mode_needs_fewer_error, &token);
  Recurrence st(rows);
  // Coefficients c_1 .. c_rows of det(xI - A) = x^n + c_1 x^(n-1) + ...
  st.c = sparse_trace(spar, rows);
  quoly_inplace(st.c);
  base_quoly(&st.x, 1);
  quoly_set(0, &st.p);
  auto add_term = [&](quoly coef, std::int32_t power) {
    nodes::OwnedValue term, cc;  // the powers poll for interrupts
    if (power == 0) {
      quoly_set(1, term.cell());
    } else {
      quoly_assign(st.x, term.cell());
      quoly_compute_power(term.cell(), power);
    }
    if (coef != nullptr) {
      quoly_assign(coef, cc.cell());
      fast_quoly_mult(term.cell(), cc.cell());
    }
    quoly_add(st.p, term.q, &st.p);
  };
  add_term(st.c, rows - 1);
  copy_sparse(&spar, &st.b, rows, false);
  ProgressLevel level(rows);
  if (verbose) dumpitt("Counting to ", rows, true, true, true);
  // Step k: c := -trace / k, the coefficient of x^(rows-k).
  auto next_coefficient = [&](std::int32_t step, quoly trace) {
    free_quoly(&st.c);
    st.c = trace;
    if (verbose) dumpitt(" ", step, false, false, true);
    divide_by_step(&st.c, step);
    quoly_inplace(st.c);
    add_term(st.c, rows - step);
  };
  const std::int32_t k = sparse_stage(st, spar, [&](std::int32_t step, sparseptr prod) {
    free_sparse(&st.b, rows, true);
    st.b = prod;
    next_coefficient(step, sparse_trace(st.b, rows));
  });
  if (k <= rows) {
    WorkArrayGuard g1(&token), g2(&token);
    dense_stage(st, spar, g1.get(), g2.get(), k, [&](std::int32_t step, workptr w) {
      next_coefficient(step, dense_trace(w, rows));
    });
  }
  add_term(nullptr, rows);
  if (rows % 2 == 1) quoly_inplace(st.p);
  free_quoly(n);
  *n = st.p;
  st.p = nullptr;
}

void invert_sparse(sparseptr* spar, workptr arr, bool ar_free, bool invert, std::int32_t rows,
                   quolyptr n) {
  if (leverrier_refused(rows)) abandon(sparse_chpoly_word_mode_needs_fewer_error, &token);
  sparseptr a0 = *spar;
  // Floating: a matrix singular to working precision has no inverse (the
  // recurrence's rounded determinant is seldom exactly 0).
  if (invert && flotemode && fl_singular(a0, rows))
    abandon(matrix_singular_no_inverse_error, &token);
  // The trace, owned until the answer or the recurrence takes it: modulo a
  // composite the reciprocal may fail (error 85).
  nodes::OwnedValue t(sparse_trace(a0, rows));
  if (rows == 1) {
    if (!invert) {
      free_quoly(n);
      *n = t.release();
      if (ar_free) free_sparse(spar, 1, true);
      *spar = nullptr;
      return;
    }
    if (quoly_iszero(t.q)) abandon(matrix_singular_no_inverse_error, &token);
    quoly_reciprocal(t.cell());
    if (ar_free) {
      colm_ptr e = *sparse_row(a0, 1);
      free_quoly(&e->val);
      e->val = t.release();
    } else {
      sparse_init(spar, 1);
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = 1;
      e->val = t.release();
      e->next = nullptr;
      *sparse_row(*spar, 1) = e;
    }
    return;
  }
  Recurrence st(rows);
  st.t = t.release();
  quoly_assign(st.t, &st.c);
  quoly_inplace(st.c);
  copy_sparse(&a0, &st.b, rows, false);
  // Step k: t := trace / k, and c := -t for the next step.
  auto next_trace = [&](std::int32_t step, quoly trace) {
    free_quoly(&st.t);
    st.t = trace;
    divide_by_step(&st.t, step);
    if (step == rows) return;
    free_quoly(&st.c);
    quoly_assign(st.t, &st.c);
    quoly_inplace(st.c);
  };
  const std::int32_t k = sparse_stage(st, a0, [&](std::int32_t step, sparseptr prod) {
    if (step == rows) {
      st.last = prod;
    } else {
      free_sparse(&st.b, rows, true);
      st.b = prod;
    }
    next_trace(step, sparse_trace(prod, rows));
  });
  const bool switched = k <= rows;
  const std::int32_t cells = rows * rows;
  // Without a work array of the caller's, the pool lends one.
  std::optional<WorkArrayGuard> g1;
  if (switched) {
    if (arr == nullptr) g1.emplace(&token);
    WorkArrayGuard g2(&token);
    workptr w2 = g2.get();
    dense_stage(st, a0, arr != nullptr ? arr : g1->get(), w2, k,
                [&](std::int32_t step, workptr w) { next_trace(step, dense_trace(w, rows)); });
    free_cells(w2, cells);
    st.dense[1] = nullptr;
  }
  if (!invert) {
    if (rows % 2 == 0) quoly_inplace(st.t);
    free_quoly(n);
    *n = st.t;
    st.t = nullptr;
    if (ar_free) free_sparse(&a0, rows, true);
    *spar = nullptr;
    return;
  }
  if (quoly_iszero(st.t)) abandon(matrix_singular_no_inverse_error, &token);
  quoly_reciprocal(&st.t);
  if (switched) {
    for (std::int32_t j = 0; j < cells; ++j) {
      if (arr->stash[j] != nullptr) fast_quoly_mult(&arr->stash[j], &st.t);
    }
    st.dense[0] = nullptr;  // the inverse, in the caller's array
  } else {
    mult_cons_sparse(&st.b, st.t, true, rows);
  }
  if (ar_free) free_sparse(&a0, rows, true);
  *spar = st.b;
  st.b = nullptr;
}

}  // namespace tavrin
