// Dense integer Hermite and Smith normal forms (see normal_forms.h).
#include "matrix/normal_forms.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "core/trace_level.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "matrix/normal_forms/flat_hermite.h"
#include "matrix/normal_forms/form_routes_impl.h"
#include "matrix/normal_forms/int_pivot_search.h"
#include "matrix/row_ops.h"

namespace tavrin {

namespace {

inline imptr at(std::int32_t start, std::int32_t rows, std::int32_t r, std::int32_t c) {
  return (*arp_cell(start + r + c * rows))->ncoef;
}
inline bool int_zero(imptr x) { return x->head == nullptr || x->head->value == 0; }
inline bool int_negative(imptr x) { return x->head != nullptr && x->head->value < 0; }
inline bool int_unit(imptr x) {
  bool minus = false;
  return equal_to_pm1(x, &minus);
}

// x := x - f*y.
void sub_mul(imptr x, imptr f, imptr y, imptr scratch) {
  if (int_zero(y)) return;
  fast_mult(f, y, scratch);
  fastdiff(x, scratch);
}

// The least non-zero |entry| a reduction produces, starting from |pivot|;
// only a strictly smaller one is recorded.
struct Smallest {
  imptr key;
  std::int32_t row = -1, col = -1;
  void offer(imptr x, std::int32_t r, std::int32_t c) {
    if (!int_zero(x) && int_abs_bigger(key, x, false)) {
      key = x;
      row = r;
      col = c;
    }
  }
  void report(std::int32_t* j2, std::int32_t* k2, std::int32_t* val2) const {
    if (row < 0) return;
    *j2 = row;
    *k2 = col;
    *val2 = int_unit(key) ? -1 : 1;
  }
};

// The reduction of entries modulo the pseudo-determinant, when wanted.
struct Modulo {
  bool wanted;
  bool half;
  imptr pseudodet, halfpseudo;
};

// Line t (a row when by_rows, else a column) -= f * line s at positions
// from..to-1, each entry reduced by mod when wanted and checked against the
// entry budget; least (when not nil) is offered every result.
void sub_line(std::int32_t start, std::int32_t rows, bool by_rows, std::int32_t t, std::int32_t s,
              std::int32_t from, std::int32_t to, imptr f, const Modulo& mod, Smallest* least) {
  nodes::ScratchNumber scratch;
  for (std::int32_t x = from; x < to; ++x) {
    const std::int32_t r = by_rows ? t : x, c = by_rows ? x : t;
    imptr e = at(start, rows, r, c);
    sub_mul(e, f, by_rows ? at(start, rows, s, x) : at(start, rows, x, s), scratch.get());
    if (mod.wanted) reduce_it(e, mod.pseudodet, mod.halfpseudo, mod.half);
    EntryBudget::check(e);
    if (least != nullptr) least->offer(e, r, c);
  }
}

// Columns c of the dense matrix whose first cell is at most stop: 0..n-1.
inline std::int32_t columns_to(std::int32_t start, std::int32_t stop, std::int32_t rows) {
  return rows <= 0 ? 0 : (stop - start) / rows + 1;
}

void swap_cells(std::int32_t a, std::int32_t b) { std::swap(*arp_cell(a), *arp_cell(b)); }

}  // namespace

// ---- Transforms ----------------------------------------------------------------------------

namespace {

// Row (by_rows) or column k of an order-m work array against the budget.
void check_line(workptr arr, std::int32_t m, std::int32_t k, bool by_rows) {
  if (!EntryBudget::open()) return;
  for (std::int32_t x = 0; x < m; ++x)
    EntryBudget::check(arr->stash[by_rows ? k + x * m : x + k * m]->ncoef);
}

// Line t -= f * line p of the order-m transform tr (rows when by_rows, else
// columns), and its mirror on the inverse inv: line p -= (-f) * line t the
// other way; each when wanted, and checked against the budget.
void sub_mirrored(workptr tr, bool want_tr, workptr inv, bool want_inv, std::int32_t m,
                  bool by_rows, std::int32_t t, std::int32_t p, imptr f) {
  auto line_sub = [m](workptr arr, imptr g, bool rows, std::int32_t a, std::int32_t b) {
    if (rows)
      row_red_arr(arr, g, m, a, b);
    else
      col_red_arr(arr, g, m, a, b);
    check_line(arr, m, a, rows);
  };
  if (want_tr) line_sub(tr, f, by_rows, t, p);
  if (want_inv) {
    nodes::ScratchNumber g;
    makeneg(f, g.get());
    line_sub(inv, g.get(), !by_rows, p, t);
  }
}

}  // namespace

void DenseTransforms::row_sub(std::int32_t t, std::int32_t p, imptr f) const {
  sub_mirrored(alpha, want[0], alphinv, want[2], rows, true, t, p, f);
}

void DenseTransforms::col_sub(std::int32_t t, std::int32_t p, imptr f) const {
  sub_mirrored(beta, want[1], betinv, want[3], cols, false, t, p, f);
}

void DenseTransforms::swap_rows(std::int32_t i, std::int32_t p) const {
  if (want[0]) tavrin::swap_rows(nullptr, alpha, false, true, i, p, rows);
  if (want[2]) tavrin::swap_cols(alphinv, i, p, rows);
}

void DenseTransforms::swap_cols(std::int32_t i, std::int32_t p) const {
  if (want[1]) tavrin::swap_cols(beta, i, p, cols);
  if (want[3]) tavrin::swap_rows(nullptr, betinv, false, true, i, p, cols);
}

void DenseTransforms::neg_col(std::int32_t i) const {
  if (want[1]) int_arr_col_neg(beta, i, cols);
  if (want[3]) int_arr_row_neg(betinv, i, cols, cols);
}

void DenseTransforms::start_identities() const {
  if (want[0]) identi(alpha, rows, false);
  if (want[1]) identi(beta, cols, false);
  if (want[2]) identi(alphinv, rows, false);
  if (want[3]) identi(betinv, cols, false);
}

void apply_col_sub(const DenseTransforms& tx, std::int32_t start, std::int32_t rows, std::int32_t j,
                   std::int32_t k, imptr f) {
  int_col_manip(j, k, start, rows, f);
  for (std::int32_t r = k; r < rows; ++r) EntryBudget::check(at(start, rows, r, j));
  tx.col_sub(j, k, f);
}

// ---- Reductions ----------------------------------------------------------------------------

void int_rowreduce(std::int32_t start, std::int32_t i, std::int32_t j, std::int32_t k,
                   std::int32_t t, std::int32_t rows, std::int32_t stop, std::int32_t* j2,
                   std::int32_t* k2, std::int32_t* val2, bool wantsmallest, imptr factor,
                   bool wantmod, bool wanthalf, imptr pseudodet, imptr halfpseudo) {
  *val2 = 0;
  *k2 = -1;
  imptr p = at(start, rows, j, k);
  imptr x = at(start, rows, t, k);
  if (int_zero(x)) {
    setvalue(0, factor);
    return;
  }
  {
    nodes::ScratchNumber rem;
    divide(x, p, factor, rem.get());
  }
  Smallest least{p};
  sub_line(start, rows, true, t, j, i, columns_to(start, stop, rows), factor,
           Modulo{wantmod, wanthalf, pseudodet, halfpseudo}, wantsmallest ? &least : nullptr);
  least.report(j2, k2, val2);
}

void int_colreduce(std::int32_t start, std::int32_t i, std::int32_t j, std::int32_t k,
                   std::int32_t t, std::int32_t rows, std::int32_t* j2, std::int32_t* k2,
                   std::int32_t* val2, bool wantsmallest, imptr factor, bool wantmod, bool wanthalf,
                   imptr pseudodet, imptr halfpseudo) {
  *val2 = 0;
  *k2 = -1;
  imptr p = at(start, rows, j, k);
  imptr x = at(start, rows, j, t);
  {
    nodes::ScratchNumber rem;
    divide(x, p, factor, rem.get());
  }
  if (int_zero(factor)) {
    if (!int_zero(x)) tavrin_error("odd 0 value in int_colreduce", false);
    return;
  }
  Smallest least{p};
  sub_line(start, rows, false, t, k, i, rows, factor,
           Modulo{wantmod, wanthalf, pseudodet, halfpseudo}, wantsmallest ? &least : nullptr);
  least.report(j2, k2, val2);
}

void fast_colreduce(std::int32_t start, std::int32_t j, std::int32_t k, std::int32_t t,
                    std::int32_t rows, std::int32_t* j2, std::int32_t* k2, std::int32_t* val2,
                    imptr factor) {
  *k2 = -1;
  *val2 = 0;
  imptr p = at(start, rows, j, k);
  imptr e = at(start, rows, j, t);
  divide(e, p, factor, e);
  if (int_negative(p)) in_place_neg(e);
  if (int_zero(e)) return;
  *j2 = j;
  *k2 = t;
  *val2 = int_unit(e) ? -1 : 1;
}

// ---- Phase one -----------------------------------------------------------------------------

void phaseone(const bool* want, workptr alpha, workptr beta, workptr alphinv, workptr betinv,
              std::int32_t* min, std::int32_t rows, std::int32_t cols, std::int32_t init,
              std::int32_t start, std::int32_t stop, bool* flipped, bool wantrows, bool wantmod,
              bool wanthalf, imptr pseudodet, imptr halfpseudo) {
  static const bool none[4] = {false, false, false, false};
  const DenseTransforms tx{want != nullptr ? want : none, alpha, beta, alphinv, betinv, rows, cols};
  const std::int32_t steps = *min - init + 1;
  TraceLevel trace(steps);
  if (verbose) dumpitt("Phase 1, ", steps, false, true, true);
  const std::int32_t ncols = std::min(cols, columns_to(start, stop, rows));
  nodes::ScratchNumber factor;
  imptr f = factor.get();
  setvalue(0, f);
  for (std::int32_t i = init; i <= *min; ++i) {
    check_interrupt();
    if (verbose && i % disper(*min) == 0) std::printf(" %d", i + 1 - init);
    std::int32_t pr = 0, pc = 0, code = 0, j2 = 0, k2 = 0, val2 = 0;
    intfindbest(start, stop, rows, i, &pr, &pc, &code);
    if (code == 0) {
      *min = i - 1;
      break;
    }
    if (code == -1 && !wantrows) code = 1;
    while (code == 1) {
      bool restart = false;
      if (wantrows) {
        for (std::int32_t t = i; t < rows && !restart; ++t) {
          if (t == pr) continue;
          int_rowreduce(start, i, pr, pc, t, rows, stop, &j2, &k2, &val2, true, f, wantmod,
                        wanthalf, pseudodet, halfpseudo);
          if (!int_zero(f)) tx.row_sub(t, pr, f);
          restart = take_smaller_pivot(j2, k2, val2, true, &pr, &pc, &code);
        }
        if (restart) continue;
      }
      for (std::int32_t t = i; t < ncols && !restart; ++t) {
        if (t == pc) continue;
        if (wantrows)
          fast_colreduce(start, pr, pc, t, rows, &j2, &k2, &val2, f);
        else
          int_colreduce(start, i, pr, pc, t, rows, &j2, &k2, &val2, true, f, wantmod, wanthalf,
                        pseudodet, halfpseudo);
        if (!int_zero(f)) tx.col_sub(t, pc, f);
        restart = take_smaller_pivot(j2, k2, val2, wantrows, &pr, &pc, &code);
      }
      if (!restart) code = -2;
    }
    // Placement.
    if (pc != i) {
      for (std::int32_t r = i; r < rows; ++r)
        swap_cells(start + r + i * rows, start + r + pc * rows);
      *flipped = !*flipped;
      tx.swap_cols(i, pc);
    }
    if (pr != i) {
      for (std::int32_t c = wantrows ? i : 0; c < cols; ++c)
        swap_cells(start + i + c * rows, start + pr + c * rows);
      *flipped = !*flipped;
      tx.swap_rows(i, pr);
    }
    if (int_negative(at(start, rows, i, i))) {
      int_col_neg(i, i, start, rows);
      tx.neg_col(i);
      *flipped = !*flipped;
    }
    if (code == -1) {
      for (std::int32_t t = i + 1; t < rows; ++t) {
        int_rowreduce(start, i, i, i, t, rows, stop, &j2, &k2, &val2, false, f, wantmod, wanthalf,
                      pseudodet, halfpseudo);
        if (!int_zero(f)) tx.row_sub(t, i, f);
      }
      for (std::int32_t c = i + 1; c < ncols; ++c) {
        imptr e = at(start, rows, i, c);
        if (int_zero(e)) continue;
        tx.col_sub(c, i, e);
        setvalue(0, e);
      }
    }
  }
}

// ---- Phase two -----------------------------------------------------------------------------

void phasetwo(const bool* want, workptr alpha, workptr beta, workptr alphinv, workptr betinv,
              std::int32_t* min, std::int32_t rows, std::int32_t cols, std::int32_t i,
              std::int32_t start, std::int32_t stop) {
  const DenseTransforms tx{want, alpha, beta, alphinv, betinv, rows, cols};
  nodes::ScratchNumber minus_one;
  setvalue(-1, minus_one.get());
  for (;;) {
    check_interrupt();
    std::int32_t b = i, flag = 1;
    best_on_diag(start, stop, rows, i, &b, &flag);
    if (b != i) {
      swap_cells(start + i + i * rows, start + b + b * rows);
      tx.swap_rows(i, b);
      tx.swap_cols(i, b);
    }
    if (flag != 1) return;
    best_other(start, stop, i, rows, &b);
    if (b == 0) return;
    // Column i += column b: entry (b, i) := d_b.
    num_assign(at(start, rows, b, b), at(start, rows, b, i));
    tx.col_sub(i, b, minus_one.get());
    bool flip = false;
    phaseone(want, alpha, beta, alphinv, betinv, min, rows, cols, i, start, stop, &flip, true,
             false, false, nullptr, nullptr);
  }
}

void hermite_two(const bool* want, workptr beta, workptr betinv, std::int32_t rank,
                 std::int32_t rows, std::int32_t cols, std::int32_t start, bool) {
  const DenseTransforms tx{want, nullptr, beta, nullptr, betinv, rows, cols};
  if (verbose) dumpitt("Hermite Phase 2, ", rank - 1, false, true, true);
  nodes::ScratchNumber q, rem;
  for (std::int32_t i = 0; i < rank; ++i) {
    if (verbose && i % disper(rank - 1) == 0) std::printf(" %d", i);
    imptr d = at(start, rows, i, i);
    if (int_zero(d)) continue;
    for (std::int32_t j = 0; j < i; ++j) {
      divide(at(start, rows, i, j), d, q.get(), rem.get());
      if (int_negative(rem.get())) fastdiff(q.get(), &number_1);
      if (!int_zero(q.get())) apply_col_sub(tx, start, rows, j, i, q.get());
    }
  }
}

// ---- Drivers -------------------------------------------------------------------------------

namespace {

// The shape and the pseudo-determinant half of a driver.
struct Shape {
  std::int32_t rows, cols, m;
};

Shape shape_of(arrptr q) {
  const std::int32_t cols = array_cols(q);
  return {q->rows, cols, std::min(q->rows, cols)};
}

// Phase one over the whole of q with the transforms started as identities
// (diagonal: Smith's, clearing below the pivots too); h := pseudodet div 2
// when wantmod. Returns the index of the last pivot (the rank - 1).
std::int32_t first_phase(const DenseTransforms& tx, arrptr q, const Shape& s, bool diagonal,
                         bool wantmod, imptr pseudodet, imptr h) {
  std::int32_t m = s.m - 1;
  tx.start_identities();
  if (wantmod) halve_pseudodet(pseudodet, h);
  bool flipped = false;
  phaseone(tx.want, tx.alpha, tx.beta, tx.alphinv, tx.betinv, &m, s.rows, s.cols, 0, q->start,
           q->stop, &flipped, diagonal, wantmod, wanthalf != 0, pseudodet, h);
  return m;
}

}  // namespace

bool modular_invariant(imptr d, imptr pseudodet) {
  gcd(d, pseudodet, d);
  if (!equal(d, pseudodet)) return !int_zero(d);
  setvalue(0, d);
  return false;
}

void halve_pseudodet(imptr d, imptr h) {
  nodes::ScratchNumber r;
  nodes::ScratchNumber two;
  setvalue(2, two.get());
  divide(d, two.get(), h, r.get());
}

void intcolred(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv, sparseptr* auxspar, bool wantmod, imptr pseudodet) {
  const Shape s = shape_of(q);
  if (q->spar != nullptr) {
    sparse_intcolred(n, q, want, auxspar, wantmod, pseudodet, s.rows, s.cols);
    return;
  }
  TraceLevel trace(s.m);
  if (verbose) dumpitt("Hermite Normal Form, side ", s.m, true, true, true);
  const DenseTransforms tx{want, alpha, beta, alphinv, betinv, s.rows, s.cols};
  auto euclid = [&] {
    // The same steps on flat integers while a budget keeps them short.
    if (normal_form_flat_euclid != 0 && !wantmod && !verbose && EntryBudget::open() &&
        q->stop == q->start + s.rows * s.cols - 1) {
      if (flat_intcolred(n, q, tx) == FlatOutcome::exceeded) throw EntryBudget::exceeded{};
      return;
    }
    nodes::ScratchNumber h;
    const std::int32_t m = first_phase(tx, q, s, false, wantmod, pseudodet, h.get());
    hermite_two(want, beta, betinv, m + 1, s.rows, s.cols, q->start, wantmod);
    quoly_set_integer(m + 1, n);
  };
  form_routes::run(n, q, {want, {alpha, beta, alphinv, betinv}, auxspar, s.rows, s.cols}, false,
                   wantmod ? pseudodet : nullptr, euclid);
}

void intnormal(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv, bool wantmod, imptr pseudodet, sparseptr* auxspar,
               std::int32_t index) {
  const Shape s = shape_of(q);
  if (q->spar != nullptr) {
    sparse_intnormal(n, q, want, auxspar, wantmod, pseudodet, index, s.rows, s.cols);
    return;
  }
  // The diagonal is unique: without transforms, modulus or banners a
  // nonsingular matrix up to the direct side takes the elimination modulo
  // its determinant; above it the bounded route, which also has the
  // transforms, answers.
  const bool transforms = want != nullptr && (want[0] || want[1] || want[2] || want[3]);
  if (!transforms && !wantmod && !verbose && s.m <= normal_form_direct_side &&
      smith_by_determinant(n, q))
    return;
  TraceLevel trace(s.m);
  if (verbose) {
    dumpitt("Smith Normal Form, side ", s.m, true, true, true);
    if (index == bi::MSmith) std::printf(" pseudo-determinant size: %3d\n", pseudodet->size);
  }
  const DenseTransforms tx{want, alpha, beta, alphinv, betinv, s.rows, s.cols};
  auto euclid = [&] {
    nodes::ScratchNumber h;
    std::int32_t m = first_phase(tx, q, s, true, wantmod, pseudodet, h.get());
    quoly_set_integer(m + 1, n);
    if (verbose) dumpitt("Smith Normal Form, phase 2's, rank ", m + 1, false, true, true);
    if (m < 0) return;
    const std::int32_t last = q->start + m + m * s.rows;
    for (std::int32_t i = 0; i <= m; ++i) {
      if (verbose && i % disper(m) == 0) std::printf(" %d", i + 1);
      phasetwo(want, alpha, beta, alphinv, betinv, &m, s.rows, s.cols, i, q->start, last);
    }
    if (!wantmod) return;
    std::int32_t rank = 0;
    for (std::int32_t i = 0; i <= m; ++i) {
      imptr d = at(q->start, s.rows, i, i);
      if (modular_invariant(d, pseudodet)) ++rank;
    }
    quoly_set_integer(rank, n);
  };
  form_routes::run(n, q, {want, {alpha, beta, alphinv, betinv}, auxspar, s.rows, s.cols}, true,
                   wantmod ? pseudodet : nullptr, euclid);
}

}  // namespace tavrin
