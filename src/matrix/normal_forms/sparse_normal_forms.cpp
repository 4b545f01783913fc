// Sparse integer Hermite and Smith normal forms (see normal_forms.h).
#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "core/trace_level.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/normal_forms.h"
#include "matrix/normal_forms/flat_hermite.h"
#include "matrix/normal_forms/form_routes_impl.h"
#include "matrix/normal_forms/int_pivot_search.h"
#include "matrix/pivot_search.h"
#include "matrix/row_ops.h"
#include "matrix/sparse_copy.h"
#include "matrix/sparse_merge.h"
#include "matrix/sparse_rows.h"

namespace tavrin {

namespace {

using sparse_merge::insert_at;
using sparse_merge::seek;

inline bool int_zero(imptr x) { return x->head == nullptr || x->head->value == 0; }
inline bool int_negative(imptr x) { return x->head != nullptr && x->head->value < 0; }
inline bool int_unit(imptr x) {
  bool minus = false;
  return equal_to_pm1(x, &minus);
}

// Row k of the sparse matrix, or its column k over rows 1..rows (by_rows
// false), against the entry budget.
void check_row(sparseptr sp, std::int32_t k) {
  if (!EntryBudget::open()) return;
  for (colm_ptr e = *sparse_row(sp, k); e != nullptr; e = e->next)
    EntryBudget::check(e->val->ncoef);
}
void check_col(sparseptr sp, std::int32_t rows, std::int32_t k) {
  if (!EntryBudget::open()) return;
  for (std::int32_t r = 1; r <= rows; ++r) {
    colm_ptrptr e = seek(sparse_row(sp, r), k);
    if (*e != nullptr && (*e)->coord == k) EntryBudget::check((*e)->val->ncoef);
  }
}

// A number value that owns a scratch integer: the multiplier handed to the
// quoly-valued row and column additions (its ncoef is the factor itself).
class FactorValue {
 public:
  FactorValue() {
    quoly_set(0, &q_);
    q_->next = nullptr;
  }
  ~FactorValue() { free_quoly(&q_); }
  FactorValue(const FactorValue&) = delete;
  FactorValue& operator=(const FactorValue&) = delete;
  quoly value() const { return q_; }
  imptr num() const { return q_->ncoef; }

 private:
  quoly q_ = nullptr;
};

// The sparse transforms and their sizes (alpha, alphinv: arows; beta,
// betinv: acols), which stay those of the whole matrix when an elimination
// works on a leading block.
struct SparseTransforms {
  const bool* want;
  sparseptr* aux;
  std::int32_t arows, acols;
  // row t += f*row p of the matrix (f: the negated quotient).
  void row_add(std::int32_t t, std::int32_t p, const FactorValue& f) const {
    if (want[0]) {
      sparse_row_add(aux[0], f.value(), t, p);
      check_row(aux[0], t);
    }
    if (want[2]) {
      in_place_neg(f.num());
      sparse_col_add(aux[2], f.value(), arows, p, t);
      in_place_neg(f.num());
      check_col(aux[2], arows, p);
    }
  }
  // column t += f*column p.
  void col_add(std::int32_t t, std::int32_t p, const FactorValue& f) const {
    if (want[1]) {
      sparse_col_add(aux[1], f.value(), acols, t, p);
      check_col(aux[1], acols, t);
    }
    if (want[3]) {
      in_place_neg(f.num());
      sparse_row_add(aux[3], f.value(), p, t);
      in_place_neg(f.num());
      check_row(aux[3], p);
    }
  }
  void swap_rows(std::int32_t i, std::int32_t p) const {
    if (i == p) return;
    if (want[0]) sp_switchrow(aux[0], i, p);
    if (want[2]) sp_switchcol(aux[2], std::min(i, p), std::max(i, p), arows, 1);
  }
  void swap_cols(std::int32_t i, std::int32_t p) const {
    if (i == p) return;
    if (want[1]) sp_switchcol(aux[1], std::min(i, p), std::max(i, p), acols, 1);
    if (want[3]) sp_switchrow(aux[3], i, p);
  }
  void neg_col(std::int32_t i) const {
    if (want[1]) sp_col_neg(i, 1, acols, aux[1]);
    if (want[3]) sp_row_neg(i, aux[3]);
  }
};

// The pseudo-determinant rule on x; with wantsmallest the least value is
// tracked (strictly smaller, non-zero).
struct ColredEnv {
  bool wantmod, wanthalf, wantsmallest;
  imptr pseudodet, halfpseudo;
  imptr mkey = nullptr;
  std::int32_t j2 = -1;
  void check_smallest(imptr x, std::int32_t row) {
    if (wantmod) reduce_it(x, pseudodet, halfpseudo, wanthalf);
    if (wantsmallest && !int_zero(x) && int_abs_bigger(mkey, x, false)) {
      j2 = row;
      mkey = x;
    }
  }
  // A value made where the entry was zero: tracked only when reduced.
  void careful_check(imptr x, std::int32_t row) {
    bool shrunk = false;
    reduce_and_tell(x, pseudodet, halfpseudo, wanthalf, &shrunk);
    if (shrunk && wantsmallest && !int_zero(x) && int_abs_bigger(mkey, x, false)) {
      j2 = row;
      mkey = x;
    }
  }
};

// The pivot row's entries in columns k (pivot) and tg at or after column
// init: *key and *tgp (links), or false after setting the factor to 0.
// *last: the pivot is the row's last entry from column init on.
// The head link of row r, given the frame holding row `from` (r >= from).
colm_ptrptr row_link(sparseptr frame, std::int32_t from, std::int32_t r) {
  for (std::int32_t n = (r - 1) / sparse_frame_rows - (from - 1) / sparse_frame_rows; n > 0; --n)
    frame = frame->next;
  return &frame->indx[(r - 1) % sparse_frame_rows];
}

// The pivot entry (column k) and the target entry (column tg) of a row from
// column init on: *key and *tgp := their links, true when both are there.
// A pivot that is the row's last entry sets *val2 := -2; a row without
// entries from init on is internal error nil1, a target without a pivot
// after it nil2 (non-fatal: the reduction is skipped).
bool find_pair(colm_ptrptr row, std::int32_t init, std::int32_t k, std::int32_t tg,
               colm_ptrptr* key, colm_ptrptr* tgp, const char* nil1, const char* nil2,
               std::int32_t* val2) {
  colm_ptrptr u = seek(row, init);
  if (*u == nullptr) {
    tavrin_error(nil1, false);
    return false;
  }
  if ((*u)->coord == k) {
    if (tg < k) return false;
    *key = u;
    colm_ptrptr nx = &(*u)->next;
    if (*nx == nullptr) {
      *val2 = -2;
      return false;
    }
    if ((*nx)->coord != tg) return false;
    *tgp = nx;
    return true;
  }
  if ((*u)->coord == tg) {
    *tgp = u;
    colm_ptrptr kk = seek(&(*u)->next, k);
    if (*kk == nullptr || (*kk)->coord != k) {
      tavrin_error(nil2, false);
      return false;
    }
    *key = kk;
    return true;
  }
  return false;
}

// (*tgp) := its remainder by key (sign of the entry), factor := -quotient;
// a zero remainder's node is removed. Answers the remainder or nil.
imptr reduce_pivot_row(colm_ptrptr tgp, imptr key, imptr factor) {
  imptr x = (*tgp)->val->ncoef;
  divide(x, key, factor, x);
  in_place_neg(factor);
  if (int_negative(key)) in_place_neg(x);
  if (!int_zero(x)) return x;
  free_colm(tgp);
  return nullptr;
}

}  // namespace

// ---- Column reductions --------------------------------------------------------------------

void sparse_int_colred(sparseptr sp, std::int32_t init, std::int32_t j, std::int32_t k,
                       std::int32_t tg, std::int32_t rows, std::int32_t* j2, std::int32_t* k2,
                       std::int32_t* val2, bool wantsmallest, imptr factor, bool wantmod,
                       bool wanthalf, imptr pseudodet, imptr halfpseudo) {
  *val2 = 0;
  *k2 = -1;
  setvalue(0, factor);
  colm_ptrptr key = nullptr, tgp = nullptr;
  if (!find_pair(row_link(sp, init, j), init, k, tg, &key, &tgp,
                 "t is nil in sparse_int_colred, 1.", "t is nil in sparse_int_colred, 2.", val2))
    return;
  imptr p = (*key)->val->ncoef;
  ColredEnv env{wantmod, wanthalf, wantsmallest, pseudodet, halfpseudo};
  env.mkey = p;
  if (imptr x = reduce_pivot_row(tgp, p, factor); x != nullptr) env.check_smallest(x, j);
  nodes::ScratchNumber v;
  // Rows init..rows but j: column tg += factor * column k.
  RowWalk walk(sp, init);
  for (std::int32_t r = init; r <= rows; ++r, walk.next()) {
    colm_ptrptr head = walk.head();
    if (r == j) continue;
    colm_ptrptr u = seek(head, std::min(k, tg));
    colm_ptrptr kl = seek(u, k), tl = seek(u, tg);
    if (*kl == nullptr || (*kl)->coord != k) continue;
    fast_mult(factor, (*kl)->val->ncoef, v.get());
    if (*tl == nullptr || (*tl)->coord != tg) {
      if (wantmod) env.careful_check(v.get(), r);
      if (int_zero(v.get())) continue;
      quoly nv = nullptr;
      quoly_set(0, &nv);
      nv->next = nullptr;
      num_assign(v.get(), nv->ncoef);
      if (env.mkey == v.get()) env.mkey = nv->ncoef;
      insert_at(tl, tg, nv);
      EntryBudget::check(nv->ncoef);
    } else {
      imptr e = (*tl)->val->ncoef;
      fastsum(e, v.get());
      env.check_smallest(e, r);
      if (int_zero(e))
        free_colm(tl);
      else
        EntryBudget::check(e);
    }
  }
  if (env.j2 >= 0) {
    *j2 = env.j2;
    *k2 = tg;
    *val2 = int_unit(env.mkey) ? -1 : 1;
  }
}

void fast_sparse_colred(sparseptr sp, std::int32_t init, std::int32_t j, std::int32_t k,
                        std::int32_t tg, std::int32_t, std::int32_t* j2, std::int32_t* k2,
                        std::int32_t* val2, imptr factor) {
  *k2 = -1;
  *val2 = 0;
  setvalue(0, factor);
  colm_ptrptr row = row_link(sp, init, j);
  if (*row == nullptr) {
    tavrin_error("t is nil in fast_sparse_colred, 1.", false);
    return;
  }
  colm_ptrptr key = nullptr, tgp = nullptr;
  if (!find_pair(row, init, k, tg, &key, &tgp, "t is nil in fast_sparse_colred, 1.",
                 "t is nil in fast_sparse_colred, 2.", val2))
    return;
  imptr x = reduce_pivot_row(tgp, (*key)->val->ncoef, factor);
  if (x == nullptr) return;
  *j2 = j;
  *k2 = tg;
  *val2 = int_unit(x) ? -1 : 1;
}

// ---- Phase one ------------------------------------------------------------------------------

namespace {

// What phase one is asked for: the row transform, reduction modulo the
// pseudo-determinant (or its half), or only the least pivot.
struct PhaseOneWants {
  bool rows = false;
  bool mod = false;
  bool half = false;
  bool least_only = false;
};

// The elimination of sparse_phaseone with the transforms' sizes apart from
// the block eliminated.
void phaseone_block(const SparseTransforms& tx, std::int32_t* min, std::int32_t rows,
                    std::int32_t cols, std::int32_t init, sparseptr spar, bool* flipped,
                    const PhaseOneWants& wants, imptr pseudodet, imptr halfpseudo) {
  const bool wantrows = wants.rows;
  const bool wantmod = wants.mod;
  const bool wanthalf = wants.half;
  const bool least_only = wants.least_only;
  FactorValue fv;
  imptr f = fv.num();
  const std::int32_t steps = *min - init + 1;
  TraceLevel trace(steps);
  if (verbose) dumpitt("Phase 1, ", steps, false, true, true);
  for (std::int32_t i = init; i <= *min; ++i) {
    check_interrupt();
    if (verbose && i % disper(*min) == 0) std::printf(" %d", i);
    sparseptr frame = sparse_frame_of(spar, i);
    std::int32_t pr = -1, pc = 0, code = 0, j2 = 0, k2 = 0, val2 = 0;
    if (least_only)
      sparse_least_entry(frame, rows, i, &pr, &pc, &code);
    else
      sparse_intfindbest(frame, rows, i, &pr, &pc, &code);
    if (code == 0 || pr < 0) {
      *min = i - 1;
      break;
    }
    if (code == -1 && !wantrows) code = 1;
    while (code > 0) {
      colm_ptrptr prow = sparse_row(spar, pr);
      if (*prow == nullptr) {
        tavrin_error("w is nil in sparse_phaseone.", true);
        code = -2;
        break;
      }
      bool restart = false;
      if (wantrows && i <= rows) {
        for (std::int32_t t = i; t <= rows && !restart; ++t) {
          if (t == pr) continue;
          sparse_int_rowred(frame, sparse_row(spar, pr), sparse_row(spar, t), t, pc, &t, rows, &j2,
                            &k2, &val2, true, f, wantmod, wanthalf, pseudodet, halfpseudo);
          check_row(spar, t);
          if (!int_zero(f)) tx.row_add(t, pr, fv);
          if (val2 == -2) {
            code = -2;
            restart = true;
          } else {
            restart = take_smaller_pivot(j2, k2, val2, true, &pr, &pc, &code);
          }
        }
        if (restart) continue;
      }
      if (cols < i) {
        code = -2;
        break;
      }
      for (std::int32_t t = i; t <= cols && !restart; ++t) {
        if (t == pc) continue;
        if (wantrows)
          fast_sparse_colred(frame, i, pr, pc, t, rows, &j2, &k2, &val2, f);
        else
          sparse_int_colred(frame, i, pr, pc, t, rows, &j2, &k2, &val2, true, f, wantmod, wanthalf,
                            pseudodet, halfpseudo);
        if (val2 == -2) {
          code = -2;
          restart = true;
          break;
        }
        if (!int_zero(f)) tx.col_add(t, pc, fv);
        restart = take_smaller_pivot(j2, k2, val2, wantrows, &pr, &pc, &code);
      }
      if (!restart) code = -2;
    }
    // Placement.
    if (pc != i) {
      sp_switchcol(spar, i, pc, rows, i);
      *flipped = !*flipped;
      tx.swap_cols(i, pc);
    }
    if (pr != i) {
      sp_switchrow(spar, i, pr);
      *flipped = !*flipped;
      tx.swap_rows(i, pr);
    }
    colm_ptrptr row = sparse_row(spar, i);
    if (*row == nullptr) {
      tavrin_error("u is nil in sparse_phaseone.", true);
      continue;
    }
    colm_ptrptr piv = seek(row, i);
    if (*piv != nullptr && (*piv)->coord == i && int_negative((*piv)->val->ncoef)) {
      sp_col_neg(i, i, rows, spar);
      tx.neg_col(i);
    }
    if (code == -1) {
      for (std::int32_t t = i + 1; t <= rows; ++t) {
        std::int32_t tt = t;
        sparse_int_rowred(frame, sparse_row(spar, i), sparse_row(spar, t), t, i, &tt, rows, &j2,
                          &k2, &val2, false, f, wantmod, wanthalf, pseudodet, halfpseudo);
        check_row(spar, t);
        if (!int_zero(f)) tx.row_add(t, i, fv);
      }
      piv = seek(sparse_row(spar, i), i);
      if (*piv == nullptr) continue;
      colm_ptrptr link = &(*piv)->next;
      while (*link != nullptr) {
        const std::int32_t c = (*link)->coord;
        num_assign((*link)->val->ncoef, f);
        in_place_neg(f);
        tx.col_add(c, i, fv);
        free_colm(link);
      }
    }
  }
}

}  // namespace

void sparse_phaseone(const bool* want, sparseptr* auxspar, std::int32_t* min, std::int32_t rows,
                     std::int32_t cols, std::int32_t init, sparseptr spar, bool* flipped,
                     bool wantrows, bool wantmod, bool wanthalf, imptr pseudodet,
                     imptr halfpseudo) {
  const SparseTransforms tx{want, auxspar, rows, cols};
  phaseone_block(tx, min, rows, cols, init, spar, flipped,
                 {.rows = wantrows, .mod = wantmod, .half = wanthalf}, pseudodet, halfpseudo);
}

// ---- Phase two ------------------------------------------------------------------------------

namespace {

void phasetwo_block(const SparseTransforms& tx, std::int32_t rows, std::int32_t i, sparseptr* sp,
                    sparseptr* spar) {
  FactorValue one;
  setvalue(1, one.num());
  for (;;) {
    check_interrupt();
    std::int32_t b = i, flag = 1;
    sparse_best_diag(*sp, rows, i, &b, &flag);
    if (b != i) {
      colm_ptrptr ri = sparse_row(*spar, i), rb = sparse_row(*spar, b);
      std::swap(*ri, *rb);
      (*ri)->coord = i;
      (*rb)->coord = b;
      tx.swap_rows(i, b);
      tx.swap_cols(i, b);
    }
    if (flag != 1) break;
    sparse_best_other(*sp, i, rows, &b);
    if (b == 0) break;
    // Column i += column b: entry (b, i) := d_b, at the head of row b.
    colm_ptrptr rb = sparse_row(*spar, b);
    quoly v = nullptr;
    quoly_set(0, &v);
    v->next = nullptr;
    num_assign((*rb)->val->ncoef, v->ncoef);
    insert_at(rb, i, v);
    tx.col_add(i, b, one);
    std::int32_t rank = rows;
    bool flip = false;
    phaseone_block(tx, &rank, rows, rows, i, *spar, &flip, {.rows = true, .least_only = true},
                   nullptr, nullptr);
  }
  if (i % sparse_frame_rows == 0 && (*sp)->next != nullptr) *sp = (*sp)->next;
}

}  // namespace

void sparse_phasetwo(const bool* want, sparseptr* auxspar, std::int32_t rows, std::int32_t oldrows,
                     std::int32_t cols, std::int32_t i, sparseptr* sp, sparseptr* spar) {
  const SparseTransforms tx{want, auxspar, oldrows, cols};
  phasetwo_block(tx, rows, i, sp, spar);
}

void sp_hermite_two(const bool* want, sparseptr* auxspar, std::int32_t rank, std::int32_t rows,
                    std::int32_t cols, sparseptr spar, bool wantmod) {
  const SparseTransforms tx{want, auxspar, rows, cols};
  if (verbose) dumpitt("Hermite Phase 2, ", rank, false, true, true);
  FactorValue fv;
  nodes::ScratchNumber rem;
  std::vector<std::int32_t> left;
  for (std::int32_t i = 1; i <= rank; ++i) {
    if (verbose && i % disper(rank) == 0) std::printf(" %d", i);
    colm_ptrptr row = sparse_row(spar, i);
    colm_ptrptr dl = seek(row, i);
    if (*dl == nullptr || (*dl)->coord != i) {
      tavrin_error("bad t in hermite phase two", true);
      continue;
    }
    imptr d = (*dl)->val->ncoef;
    left.clear();
    for (colm_ptr e = *row; e != nullptr && e->coord < i; e = e->next) left.push_back(e->coord);
    for (std::int32_t j : left) {
      colm_ptrptr el = seek(row, j);
      if (*el == nullptr || (*el)->coord != j) continue;
      divide((*el)->val->ncoef, d, fv.num(), rem.get());
      if (wantmod && int_negative(rem.get())) fastdiff(fv.num(), &number_1);
      if (int_zero(fv.num())) continue;
      in_place_neg(fv.num());
      sparse_col_add(spar, fv.value(), rows, j, i);
      check_col(spar, rows, j);
      tx.col_add(j, i, fv);
    }
  }
}

// ---- Drivers --------------------------------------------------------------------------------

namespace {

void check_size(std::int32_t rows) {
  if (rows > max_pivot_rows) abandon(sparse_matrix_too_large_error, &token);
}

void start_identities(const bool* want, sparseptr* aux, std::int32_t rows, std::int32_t cols) {
  if (want[0]) spar_identi(&aux[0], rows, true);
  if (want[1]) spar_identi(&aux[1], cols, true);
  if (want[2]) spar_identi(&aux[2], rows, true);
  if (want[3]) spar_identi(&aux[3], cols, true);
}

// Phase one over the whole of spar with the transforms started as
// identities (diagonal: Smith's, clearing below the pivots too); h :=
// pseudodet div 2 when wantmod. Returns the rank.
std::int32_t first_phase(const bool* want, sparseptr* auxspar, std::int32_t rows, std::int32_t cols,
                         sparseptr spar, bool diagonal, bool wantmod, imptr pseudodet, imptr h) {
  std::int32_t m = std::min(rows, cols);
  start_identities(want, auxspar, rows, cols);
  if (wantmod) halve_pseudodet(pseudodet, h);
  bool flipped = false;
  sparse_phaseone(want, auxspar, &m, rows, cols, 1, spar, &flipped, diagonal, wantmod,
                  wanthalf != 0, pseudodet, h);
  return m;
}

}  // namespace

void sparse_intcolred(quolyptr n, arrptr q, const bool* want, sparseptr* auxspar, bool wantmod,
                      imptr pseudodet, std::int32_t rows, std::int32_t cols) {
  check_size(rows);
  TraceLevel trace(std::min(rows, cols));
  if (verbose) dumpitt("Hermite Normal Form, side ", std::min(rows, cols), true, true, true);
  auto euclid = [&] {
    // The same steps on flat integers while a budget keeps them short.
    if (normal_form_flat_euclid != 0 && !wantmod && !verbose && EntryBudget::open()) {
      const FlatOutcome o = flat_sparse_intcolred(n, q->spar, want, auxspar, rows, cols);
      if (o == FlatOutcome::exceeded) throw EntryBudget::exceeded{};
      if (o == FlatOutcome::done) return;
    }
    nodes::ScratchNumber h;
    const std::int32_t m =
        first_phase(want, auxspar, rows, cols, q->spar, false, wantmod, pseudodet, h.get());
    sp_hermite_two(want, auxspar, m, rows, cols, q->spar, wantmod);
    quoly_set_integer(m, n);
  };
  form_routes::run(n, q, {want, {nullptr, nullptr, nullptr, nullptr}, auxspar, rows, cols}, false,
                   wantmod ? pseudodet : nullptr, euclid);
}

void sparse_intnormal(quolyptr n, arrptr q, const bool* want, sparseptr* auxspar, bool wantmod,
                      imptr pseudodet, std::int32_t index, std::int32_t rows, std::int32_t cols) {
  check_size(rows);
  TraceLevel trace(std::min(rows, cols));
  if (verbose) {
    dumpitt("Smith Normal Form, side ", std::min(rows, cols), true, true, true);
    if (index == bi::MSmith) std::printf(" pseudo-determinant size: %3d\n", pseudodet->size);
  }
  auto euclid = [&] {
    nodes::ScratchNumber h;
    const std::int32_t m =
        first_phase(want, auxspar, rows, cols, q->spar, true, wantmod, pseudodet, h.get());
    quoly_set_integer(m, n);
    if (verbose) dumpitt("Smith Normal Form, phase 2's, rank ", m, false, true, true);
    sparseptr sp = q->spar;
    for (std::int32_t i = 1; i <= m; ++i) {
      if (verbose && i % disper(m) == 0) std::printf(" %d", i);
      sparse_phasetwo(want, auxspar, m, rows, cols, i, &sp, &q->spar);
    }
    if (!wantmod) return;
    std::int32_t rank = 0;
    for (std::int32_t i = 1; i <= m; ++i) {
      colm_ptrptr dl = seek(sparse_row(q->spar, i), i);
      if (*dl == nullptr) {
        tavrin_error("bad t in sparse_qq_set, 1.", true);
        continue;
      }
      if ((*dl)->coord != i) {
        tavrin_error("bad t in sparse_qq_set, 2.", true);
        continue;
      }
      if (modular_invariant((*dl)->val->ncoef, pseudodet))
        ++rank;
      else
        free_colm(dl);
    }
    quoly_set_integer(rank, n);
  };
  form_routes::run(n, q, {want, {nullptr, nullptr, nullptr, nullptr}, auxspar, rows, cols}, true,
                   wantmod ? pseudodet : nullptr, euclid);
}

}  // namespace tavrin
