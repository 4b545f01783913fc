// The sparse Euclidean Hermite elimination on flat integers (see
// flat_hermite.h). The matrix is held dense by columns while it is small,
// and each step mirrors its counterpart in sparse_normal_forms.cpp: the
// pivot search of sparse_intfindbest (its counting pass, then the least
// entry), the reductions of sparse_int_colred with the entries they offer
// as a smaller pivot, the placement of phaseone_block, the reductions of
// sp_hermite_two, and every entry those check against the budget.
#include <algorithm>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/zint.h"
#include "arrays/sparse_store.h"
#include "matrix/normal_forms/flat_hermite.h"
#include "matrix/normal_forms/wide_store.h"
#include "matrix/sparse_copy.h"
#include "matrix/sparse_merge.h"

namespace tavrin {

namespace {

using wide::Factor;
using wide::Store;
using wide::WideInt;

// An entry passed the budget: the elimination is given up.
struct Swelled {};

class SparseElimination : FlatMatrix {
 public:
  SparseElimination(const bool* want, std::int32_t rows, std::int32_t cols)
      : FlatMatrix(want, rows, cols) {}

  // The entries of spar; false (nothing kept) for a stored zero, a value
  // not an integer number or a column past cols.
  bool load(sparseptr spar) {
    for (std::int32_t r = 0; r < rows_; ++r)
      for (colm_ptr e = *sparse_row(spar, r + 1); e != nullptr; e = e->next) {
        const quoly v = e->val;
        if (v == nullptr || !v->numb || v->journalled || e->coord < 1 || e->coord > cols_)
          return false;
        const imptr x = v->ncoef;
        if (x->size < 1 || x->head == nullptr || x->head->value == 0) return false;
        const std::size_t k = idx(r, e->coord - 1);
        if (std::int64_t w = 0; small_number_value(x, &w))
          a_.set(k, w);
        else
          a_.set(k, ZInt::from_number(x));
      }
    return true;
  }

  // The rank; throws Swelled when an entry passes the budget.
  std::int32_t run() {
    start();
    std::int32_t rank = std::min(rows_, cols_);
    for (std::int32_t i = 0; i < rank; ++i) {
      check_interrupt();
      std::int32_t pr = 0, pc = 0;
      if (!single_entry_column(i, &pr, &pc) && !least_entry(i, &pr, &pc)) {
        rank = i;
        break;
      }
      // Each other entry of the pivot row from column i on in turn; a smaller
      // entry met on the way becomes the pivot and the row starts again.
      for (bool restart = true; restart;) {
        restart = false;
        for (std::int32_t t = i; t < cols_ && !restart; ++t) {
          if (t == pc || a_.zero(idx(pr, t))) continue;
          if (const std::int32_t at = reduce(i, pr, pc, t); at >= 0) {
            pr = at;
            pc = t;
            restart = true;
          }
        }
      }
      place(i, pr, pc);
    }
    // The entries left of each pivot by truncated quotients.
    for (std::int32_t i = 0; i < rank; ++i)
      for (std::int32_t j = 0; j < i; ++j) {
        if (a_.zero(idx(i, j))) continue;
        const Factor f = negated_quotient(idx(i, j), idx(i, i));
        if (f.zero()) continue;
        for (std::int32_t r = 0; r < rows_; ++r) add(a_, idx(r, j), idx(r, i), f, 1);
        for (std::int32_t r = 0; r < rows_; ++r) check(a_, idx(r, j));  // the whole column
        col_add(j, i, f);
      }
    return rank;
  }

  // The results into spar's rows and the transforms (identities until now).
  void write(sparseptr spar, sparseptr* aux) const {
    for (std::int32_t r = 0; r < rows_; ++r)
      write_row(sparse_row(spar, r + 1), a_, static_cast<std::size_t>(r),
                static_cast<std::size_t>(rows_));
    // alpha's row r holds its 1 in column order[r], alphinv is its transpose:
    // one entry a row each, moved.
    for (std::int32_t r = 0; r < rows_ && !order_.empty(); ++r) {
      const std::int32_t c = order_[static_cast<std::size_t>(r)];
      if (want_[0]) (*sparse_row(aux[0], r + 1))->coord = c + 1;
      if (want_[2]) (*sparse_row(aux[2], c + 1))->coord = r + 1;
    }
    // beta is held by columns, betinv by rows.
    for (std::int32_t x = 0; x < cols_; ++x) {
      if (want_[1])
        write_row(sparse_row(aux[1], x + 1), beta_, static_cast<std::size_t>(x),
                  static_cast<std::size_t>(cols_));
      if (want_[3]) write_row(sparse_row(aux[3], x + 1), betinv_, line(x), 1);
    }
  }

 private:
  // The row at `link` := the non-zero entries s[first + c * step] of
  // columns c = 0..cols-1: an entry present is set in place, a missing one
  // made, one now zero removed.
  void write_row(colm_ptrptr link, const Store& s, std::size_t first, std::size_t step) const {
    for (std::int32_t c = 0; c < cols_; ++c) {
      const std::size_t k = first + static_cast<std::size_t>(c) * step;
      const bool here = *link != nullptr && (*link)->coord == c + 1;
      if (s.zero(k)) {
        if (here) free_colm(link);
        continue;
      }
      if (here) {
        wide::store_entry(s, k, (*link)->val->ncoef);
        link = &(*link)->next;
      } else {
        imptr x = new_word_number(s.is_big(k) ? 0 : s.word(k));
        if (s.is_big(k)) s.big(k).value().store(x);
        link = sparse_merge::insert_at(link, c + 1, nodes::new_number_value(x));
      }
    }
  }

  // The budget on entry i (EntryBudget::check: at most the limit's limbs).
  void check(const Store& s, std::size_t i) const {
    if (!s.zero(i) && s.bits(i) > most_bits_) throw Swelled{};
  }

  void add(Store& s, std::size_t x, std::size_t y, const Factor& f, int sign) const {
    wide::add_scaled(s, x, y, f, sign, &wide_y_);
  }

  // -(entry x / entry p), the quotient truncated toward zero (p != 0).
  Factor negated_quotient(std::size_t x, std::size_t p) {
    Factor f = quotient(x, p, false);
    if (f.big)
      f.z.negate();
    else
      f.w = -f.w;
    return f;
  }

  bool abs_less(std::size_t i, std::size_t j) const { return wide::abs_less_by_length(a_, i, j); }

  // The limbs of 28 bits of entry i (its mass as a number).
  std::int64_t mass(std::size_t i) const { return (a_.bits(i) + limb_bits - 1) / limb_bits; }

  // The counting pass of the search over rows i.. and columns i..rows-1
  // (not past the last column): when every row has an entry from column i
  // on and every one of those columns an entry, the columns with a single
  // entry give theirs, the heaviest in limbs (the first of equals).
  bool single_entry_column(std::int32_t i, std::int32_t* pr, std::int32_t* pc) const {
    if (rows_ > cols_) return false;  // the columns past the last are empty
    for (std::int32_t r = i; r < rows_; ++r) {
      bool active = false;
      for (std::int32_t c = i; c < cols_ && !active; ++c) active = !a_.zero(idx(r, c));
      if (!active) return false;
    }
    std::int32_t best = -1;
    std::int64_t heaviest = 0;
    for (std::int32_t c = i; c < rows_; ++c) {
      std::int32_t count = 0, at = 0;
      for (std::int32_t r = i; r < rows_ && count < 2; ++r)
        if (!a_.zero(idx(r, c))) {
          ++count;
          at = r;
        }
      if (count == 0) return false;
      if (count == 1 && (best < 0 || mass(idx(at, c)) > heaviest)) {
        best = c;
        heaviest = mass(idx(at, c));
        *pr = at;
      }
    }
    if (best < 0) return false;
    *pc = best;
    return true;
  }

  // Rows i.., columns i.. in that order.
  bool least_entry(std::int32_t i, std::int32_t* pr, std::int32_t* pc) const {
    return least_flat_entry(a_, rows_, cols_, i, false, pr, pc);
  }

  // Column t += f column pc over rows i.., f the negated quotient of the
  // pivot row's entries; the pivot row's entry becomes the remainder. The
  // row of the least entry changed in place that is smaller than the
  // pivot (the remainder first; a fill-in is not offered), or -1.
  std::int32_t reduce(std::int32_t i, std::int32_t pr, std::int32_t pc, std::int32_t t) {
    const Factor f = negated_quotient(idx(pr, t), idx(pr, pc));
    add(a_, idx(pr, t), idx(pr, pc), f, 1);
    std::size_t least = idx(pr, pc);
    std::int32_t at = -1;
    if (!a_.zero(idx(pr, t)) && abs_less(idx(pr, t), least)) {
      least = idx(pr, t);
      at = pr;
    }
    for (std::int32_t r = i; r < rows_; ++r) {
      const std::size_t x = idx(r, t);
      if (r == pr || a_.zero(idx(r, pc))) continue;
      const bool had = !a_.zero(x);
      add(a_, x, idx(r, pc), f, 1);
      if (had && !a_.zero(x) && abs_less(x, least)) {
        least = x;
        at = r;
      }
      check(a_, x);
    }
    if (!f.zero()) col_add(t, pc, f);
    return at;
  }

  // The transforms of column t += f column p: beta the same, betinv row p
  // -= f row t.
  void col_add(std::int32_t t, std::int32_t p, const Factor& f) {
    for (std::int32_t x = 0; x < cols_; ++x) {
      if (want_[1]) {
        add(beta_, line(t) + static_cast<std::size_t>(x), line(p) + static_cast<std::size_t>(x), f,
            1);
        check(beta_, line(t) + static_cast<std::size_t>(x));
      }
      if (want_[3]) {
        add(betinv_, line(p) + static_cast<std::size_t>(x), line(t) + static_cast<std::size_t>(x),
            f, -1);
        check(betinv_, line(p) + static_cast<std::size_t>(x));
      }
    }
  }
};

}  // namespace

FlatOutcome flat_sparse_intcolred(quolyptr n, sparseptr spar, const bool* want, sparseptr* aux,
                                  std::int32_t rows, std::int32_t cols) {
  const std::int64_t cap = normal_form_flat_sparse_cells;
  if (lintmode || flotemode || std::int64_t{rows} * cols > cap ||
      ((want[1] || want[3]) && std::int64_t{cols} * cols > cap))
    return FlatOutcome::declined;
  SparseElimination e(want, rows, cols);
  if (!e.load(spar)) return FlatOutcome::declined;
  for (int k = 0; k < 4; ++k)
    if (want[k]) spar_identi(&aux[k], k % 2 == 0 ? rows : cols, true);
  std::int32_t rank = 0;
  try {
    rank = e.run();
  } catch (const Swelled&) {
    return FlatOutcome::exceeded;
  }
  e.write(spar, aux);
  quoly_set_integer(rank, n);
  return FlatOutcome::done;
}

}  // namespace tavrin
