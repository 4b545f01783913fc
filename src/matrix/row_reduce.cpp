// Column reduction and pseudo-determinant pivots (dense), row reduction
// (sparse), the diagonal form, and the lists of recorded exchanges.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/trace_level.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_stash.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/minors_cache.h"
#include "matrix/pivot_search.h"
#include "matrix/row_echelon.h"
#include "matrix/row_ops.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

namespace {

using tavrin::nodes::OwnedValue;

// -f, owned until the end of the statement that asks for it.
OwnedValue negated(quoly f) {
  quoly neg = nullptr;
  quoly_makeneg(f, &neg);
  return OwnedValue(neg);
}

// The recorded row and column exchanges of pseudo mode; given back to the
// free list when the reduction ends, however it ends.
struct ExchangeLists {
  colptr rows = nullptr, cols = nullptr;
  ExchangeLists() = default;
  ExchangeLists(const ExchangeLists&) = delete;
  ExchangeLists& operator=(const ExchangeLists&) = delete;
  ~ExchangeLists() {
    give_back(rows);
    give_back(cols);
  }
  static void give_back(colptr c) {
    while (c != nullptr) {
      colptr next = c->next;
      free_quoly(&c->f);
      c->next = colgarb;
      colgarb = c;
      c = next;
    }
  }
  // Cells 2k and 2k+1 of alpha := the row and column, in the user's index
  // origin, that the k-th pivot (k from 0) had in the given matrix.
  void write_positions(workptr alpha, std::int32_t steps, std::int32_t base) const {
    for (std::int32_t k = 0; k < steps; ++k) {
      // the cells are overwritten, as identi overwrites a fresh work array
      alpha->stash[2 * k] = alpha->stash[2 * k + 1] = nullptr;
      quoly_set_integer(addresser + permute(rows, k + base) - base, &alpha->stash[2 * k]);
      quoly_set_integer(addresser + permute(cols, k + base) - base, &alpha->stash[2 * k + 1]);
    }
  }
};

// The dense transforms: alpha, beta, alphinv, betinv (any may be absent).
struct Tx {
  workptr alpha, beta, alphinv, betinv;
  std::int32_t rows, cols;
  // The pivot of step s from (pr, pc) to (s, s) in the dense matrix from
  // cell `start`: columns s and pc exchanged over rows s.., rows s and pr
  // over columns first_col..; mirrored on the transforms.
  void exchange(std::int32_t start, std::int32_t s, std::int32_t pr, std::int32_t pc,
                std::int32_t first_col) const {
    if (pc != s) {
      switchrow_col(92, s, pc, start + s, rows, rows - s, cols - s);
      if (beta != nullptr) swap_cols(beta, s, pc, cols);
      if (betinv != nullptr) swap_rows(nullptr, betinv, false, true, s, pc, cols);
    }
    if (pr != s) {
      switchrow_col(93, s, pr, start + first_col * rows, rows, rows - s, cols - first_col);
      if (alpha != nullptr) swap_rows(nullptr, alpha, false, true, s, pr, rows);
      if (alphinv != nullptr) swap_cols(alphinv, s, pr, rows);
    }
  }
  // row i -= f * row s (the inverse: column s += f * column i)
  void row_sub(std::int32_t i, std::int32_t s, quoly f) const {
    if (alpha != nullptr) row_reduce(alpha, f, rows, i, s);
    if (alphinv != nullptr) col_reduce(alphinv, negated(f).q, rows, s, i);
  }
  // column c -= f * column s (the inverse: row s += f * row c)
  void col_sub(std::int32_t c, std::int32_t s, quoly f) const {
    if (beta != nullptr) col_reduce(beta, f, cols, c, s);
    if (betinv != nullptr) row_reduce(betinv, negated(f).q, cols, s, c);
  }
  void start(std::int32_t which_rows_alpha) const {
    if (alpha != nullptr) identi(alpha, which_rows_alpha, false);
    if (alphinv != nullptr) identi(alphinv, rows, false);
    if (beta != nullptr) identi(beta, cols, false);
    if (betinv != nullptr) identi(betinv, cols, false);
  }
};

// Entry (r, c), from 0, of the named dense array of `rows` rows from cell
// `start`.
struct NamedCells {
  std::int32_t start, rows;
  quoly& operator()(std::int32_t r, std::int32_t c) const {
    return *arp_cell(start + r + c * rows);
  }
};

workptr wanted(const bool* want, int k, workptr w) {
  return want != nullptr && want[k] ? w : nullptr;
}

// The transforms `want` asks for, of a rows x cols matrix (alpha left out
// when without_alpha).
Tx wanted_transforms(const bool* want, workptr alpha, workptr beta, workptr alphinv, workptr betinv,
                     std::int32_t rows, std::int32_t cols, bool without_alpha = false) {
  return Tx{without_alpha ? nullptr : wanted(want, 0, alpha),
            wanted(want, 1, beta),
            wanted(want, 2, alphinv),
            wanted(want, 3, betinv),
            rows,
            cols};
}

// The pivot of step s of a dense block by findbest's rules, taken after a
// check for an interrupt: row -1 when none is left.
struct Pivot {
  std::int32_t row = -1;
  std::int32_t col = -1;
};
Pivot next_pivot(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t s) {
  check_interrupt();
  Pivot p;
  findbest(start, stop, rows, s, &p.row, &p.col, false);
  return p;
}

// target := target - f * source
void sub_product(quoly* target, quoly f, quoly source) {
  if (quoly_iszero(source)) return;
  quoly t = nullptr;
  quoly_mult(f, source, &t);
  best_quoly_sub(target, t);
}

}  // namespace

void newcolnode(colptr* c, std::int32_t i, std::int32_t j) {
  colptr p = nullptr;
  newcol(&p);
  p->i = i;
  p->j = j;
  p->next = *c;
  *c = p;
}

void killoffu(colm_ptrptr u) {
  colm_ptr rest = (*u)->next;
  if (rest == nullptr) return;
  (*u)->next = nullptr;
  colm_ptr last = rest;
  for (colm_ptr e = rest; e != nullptr; e = e->next) {
    e->val = nullptr;
    last = e;
  }
  free_colm_list(rest, last);
}

void colreduce(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv, sparseptr* auxspar, bool pseudo, std::int32_t cut) {
  if (q->spar != nullptr) {
    sparse_rowreduce(n, q, pseudo, want, alpha, auxspar, cut);
    return;
  }
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  const std::int32_t start = q->start;
  std::int32_t steps = std::min({rows, cols, cut});
  TraceLevel trace(steps);
  if (verbose) dumpitt("Counting to ", steps, true, true, true);
  GcdStashLevel gcd_level;
  const bool positions = pseudo && want != nullptr && want[0];
  const Tx tx = wanted_transforms(want, alpha, beta, alphinv, betinv, rows, cols, pseudo);
  tx.start(rows);
  ExchangeLists lists;
  const NamedCells at{start, rows};
  std::int32_t s = 0;
  for (; s < steps; ++s) {
    const auto [pr, pc] = next_pivot(start, q->stop, rows, s);
    if (verbose && s % disper(steps - 1) == 0) dumpitt("", s + 1, false, false, false);
    if (pr == -1) break;
    tx.exchange(start, s, pr, pc, 0);
    if (positions && pc != s) newcolnode(&lists.cols, s, pc);
    if (positions && pr != s) newcolnode(&lists.rows, s, pr);
    quoly p = at(s, s);
    for (std::int32_t c = s + 1; c < cols; ++c) {
      if (quoly_iszero(at(s, c))) continue;
      OwnedValue f;
      quoly_quot(at(s, c), p, &f.q, false);
      for (std::int32_t i = s + 1; i < rows; ++i) sub_product(&at(i, c), f.q, at(i, s));
      tx.col_sub(c, s, f.q);
      quoly_set(0, &at(s, c));
    }
    if (pseudo)
      for (std::int32_t i = s + 1; i < rows; ++i)
        if (!quoly_iszero(at(i, s))) quoly_set(0, &at(i, s));
  }
  steps = s;
  quoly_set_integer(steps, n);
  if (positions) lists.write_positions(alpha, steps, 0);
}

void normalize(quolyptr n, arrptr q, const bool* want, workptr alpha, workptr beta, workptr alphinv,
               workptr betinv) {
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  const std::int32_t start = q->start;
  const Tx tx = wanted_transforms(want, alpha, beta, alphinv, betinv, rows, cols);
  tx.start(rows);
  const NamedCells at{start, rows};
  const std::int32_t m = std::min(rows, cols);
  std::int32_t s = 0;
  for (; s < m; ++s) {
    const auto [pr, pc] = next_pivot(start, q->stop, rows, s);
    if (pr == -1) break;
    tx.exchange(start, s, pr, pc, s);
    quoly p = at(s, s);
    for (std::int32_t i = s + 1; i < rows; ++i) {
      if (quoly_iszero(at(i, s))) continue;
      OwnedValue f;
      quoly_quot(at(i, s), p, &f.q, false);
      quoly_set(0, &at(i, s));
      for (std::int32_t c = s + 1; c < cols; ++c) sub_product(&at(i, c), f.q, at(s, c));
      tx.row_sub(i, s, f.q);
    }
    for (std::int32_t c = s + 1; c < cols; ++c) {
      if (quoly_iszero(at(s, c))) continue;
      if (tx.beta != nullptr || tx.betinv != nullptr) {
        OwnedValue f;
        quoly_quot(at(s, c), p, &f.q, false);
        tx.col_sub(c, s, f.q);
      }
      quoly_set(0, &at(s, c));
    }
  }
  quoly_set_integer(s, n);
}

namespace {

// The transforms a sparse row reduction keeps: alpha (not in pseudo mode),
// beta, alphinv, betinv; in pseudo mode with want[0], the pivot positions.
struct SparseTx {
  bool w[4];
  bool positions;
  SparseTx(bool pseudo, const bool* want)
      : w{!pseudo && want != nullptr && want[0], want != nullptr && want[1],
          want != nullptr && want[2], want != nullptr && want[3]},
        positions(pseudo && want != nullptr && want[0]) {}
  // Each kept transform := the identity.
  void start(std::int32_t rows, std::int32_t cols, sparseptr* auxspar) const {
    const std::int32_t size[4] = {rows, cols, rows, cols};
    for (int k = 0; k < 4; ++k)
      if (w[k]) spar_identi(&auxspar[k], size[k], true);
  }
  // Exchanges column s with pc and row s with pr in the matrix (from row
  // `first` for the columns) and the transforms, recording them in pseudo
  // mode.
  // sp nil: the transforms and lists only.
  void exchange(sparseptr sp, std::int32_t s, std::int32_t pr, std::int32_t pc, std::int32_t rows,
                std::int32_t cols, std::int32_t first, sparseptr* auxspar,
                ExchangeLists& lists) const {
    if (pc != s) {
      if (sp != nullptr) sp_switchcol(sp, std::min(s, pc), std::max(s, pc), rows, first);
      if (w[1]) sp_switchcol(auxspar[1], std::min(s, pc), std::max(s, pc), cols, 1);
      if (w[3]) sp_switchrow(auxspar[3], s, pc);
      if (positions) newcolnode(&lists.cols, s, pc);
    }
    if (pr != s) {
      if (sp != nullptr) sp_switchrow(sp, s, pr);
      if (w[0]) sp_switchrow(auxspar[0], s, pr);
      if (w[2]) sp_switchcol(auxspar[2], std::min(s, pr), std::max(s, pr), rows, 1);
      if (positions) newcolnode(&lists.rows, s, pr);
    }
  }
};

// The first non-zero entry at a column >= s of the first row from s that
// has one (the pivot rule of the residue form, on values).
void first_active_pivot(sparseptr sp, std::int32_t rows, std::int32_t s, std::int32_t* j,
                        std::int32_t* k) {
  *j = -1;
  for (std::int32_t r = s; r <= rows; ++r) {
    colm_ptrptr l = nullptr;
    get_sparse_colm(sparse_frame_of(sp, r), r, s, &l);
    for (colm_ptr e = *l; e != nullptr; e = e->next)
      if (!sparse_val_iszero(e->val)) {
        *j = r;
        *k = e->coord;
        return;
      }
  }
}

std::uint32_t word(colm_ptr c) { return static_cast<std::uint32_t>(colm_word(c)); }

// Row r (1 <= r <= steps) was finished at step r, before the column
// exchanges (s, exchanged[s]) of the steps r < s <= steps; they are applied
// here: going up from the last row, `to` maps a column of row r to where those
// exchanges take it, and each row is relabelled and put back in column
// order. exchanged[s] = s (or 0) means no exchange at step s.
void deferred_exchanges(sparseptr a, std::int32_t steps, std::int32_t cols,
                        const std::vector<std::int32_t>& exchanged) {
  std::vector<std::int32_t> to(static_cast<std::size_t>(cols) + 1);
  for (std::int32_t c = 0; c <= cols; ++c) to[c] = c;
  bool moved = false;
  std::vector<colm_ptr> nodes;
  for (std::int32_t r = steps; r >= 1; --r) {
    colm_ptrptr head = sparse_row(a, r);
    if (moved && *head != nullptr) {
      nodes.clear();
      for (colm_ptr e = *head; e != nullptr; e = e->next) {
        e->coord = to[e->coord];
        nodes.push_back(e);
      }
      std::sort(nodes.begin(), nodes.end(),
                [](colm_ptr x, colm_ptr y) { return x->coord < y->coord; });
      for (std::size_t k = 0; k + 1 < nodes.size(); ++k) nodes[k]->next = nodes[k + 1];
      nodes.back()->next = nullptr;
      *head = nodes.front();
    }
    const std::int32_t pc = exchanged[r];
    if (pc != 0 && pc != r) {
      std::swap(to[r], to[pc]);
      moved = true;
    }
  }
}

// The column of a row's first entry; past every column for an empty row.
std::int32_t first_column(colm_ptr first) {
  return first == nullptr ? std::numeric_limits<std::int32_t>::max() : first->coord;
}

// The residue copy a modular row reduction works on: its entries and frames
// are given back on every exit (after put_back_sparse its rows are empty).
struct ResidueCopy {
  sparseptr a = nullptr;
  std::int32_t rows;
  explicit ResidueCopy(std::int32_t r) : rows(r) {}
  ResidueCopy(const ResidueCopy&) = delete;
  ResidueCopy& operator=(const ResidueCopy&) = delete;
  ~ResidueCopy() {
    if (a != nullptr) free_sparse_frame(&a, rows);
  }
};

}  // namespace

void sparse_rowreduce(quolyptr n, arrptr q, bool pseudo, const bool* want, workptr alpha,
                      sparseptr* auxspar, std::int32_t cut) {
  sparse_rowreduce_values(n, q, pseudo, want, alpha, auxspar, cut, false);
}

void sparse_rowreduce_values(quolyptr n, arrptr q, bool pseudo, const bool* want, workptr alpha,
                             sparseptr* auxspar, std::int32_t cut, bool first_active) {
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  const bool modular = modularmode && mod_is_prime;
  const bool residues = modular && !first_active && sparse_allnumbs(q->spar, rows);
  if (rows > 50000 && !residues)
    abandon(sparse_matrix_too_large_error, nullptr);  // before anything changes
  std::int32_t steps = std::min({rows, cols, cut});
  const SparseTx tx(pseudo, want);
  tx.start(rows, cols, auxspar);
  sparseptr sp = q->spar;
  if (residues) {
    sparse_mod_rowreduce(n, sp, pseudo, want, rows, cols, alpha, auxspar);
    return;
  }
  TraceLevel trace(steps);
  if (verbose) dumpitt(" Sparse row reduce, size ", steps, true, true, true);
  ExchangeLists lists;
  std::int32_t s = 1;
  for (; s <= steps; ++s) {
    check_interrupt();
    std::int32_t pr = -1;
    std::int32_t pc = -1;
    if (first_active)
      first_active_pivot(sp, rows, s, &pr, &pc);
    else if (modular)
      mod_sparse_findbest(false, sp, rows, s, &pr, &pc);
    else
      sparse_findbest(false, sp, rows, s, &pr, &pc);
    if (verbose && windy) std::printf("  choosing pivot at: %d, %d, %d\n", s, pr, pc);
    if (verbose && s % (steps / 100 + 1) == 0) dumpitt("", s, false, false, false);
    if (pr == -1) break;
    tx.exchange(sp, s, pr, pc, rows, cols, pseudo ? s : 1, auxspar, lists);
    colm_ptrptr link = nullptr;
    get_sparse_colm(sparse_frame_of(sp, s), s, s, &link);
    if (*link == nullptr || (*link)->coord != s) {
      tavrin_error("nil qp in sparse row reduce.", true);
      break;
    }
    quoly p = (*link)->val;
    for (std::int32_t i = s + 1; i <= rows; ++i) {
      colm_ptrptr ei = nullptr;
      get_sparse_colm(sparse_frame_of(sp, i), i, s, &ei);
      if (*ei == nullptr || (*ei)->coord != s) continue;
      OwnedValue f;
      if (quoly_eq_1(p))
        quoly_assign((*ei)->val, &f.q);
      else
        quoly_quot((*ei)->val, p, &f.q, false);
      const OwnedValue neg = negated(f.q);
      // row i -= f * row s (row s is zero left of column s): entry (i, s)
      // cancels and is removed
      sparse_row_add(sp, neg.q, i, s);
      if (tx.w[2]) sparse_col_add(auxspar[2], f.q, rows, s, i);
      if (tx.w[0]) sparse_row_add(auxspar[0], neg.q, i, s);
    }
    if (pseudo) {
      get_sparse_colm(sparse_frame_of(sp, s), s, s, &link);
      if ((*link)->next != nullptr) {
        free_sparse_row((*link)->next);
        (*link)->next = nullptr;
      }
    }
  }
  steps = s - 1;
  quoly_set_integer(steps, n);
  if (2 * steps > 1000000) error(too_many_pivot_positions_work_array_error, nullptr);
  if (tx.positions) lists.write_positions(alpha, steps, 1);
}

void sparse_mod_rowreduce(quolyptr n, sparseptr spar, bool pseudo, const bool* want,
                          std::int32_t rows, std::int32_t cols, workptr alpha, sparseptr* auxspar) {
  const SparseTx tx(pseudo, want);
  std::int32_t steps = std::min(rows, cols);
  TraceLevel trace(steps);
  if (verbose) dumpitt(" Sparse row reduce, mod integer, size ", steps, true, true, true);
  // The work copy holds the residues in its nodes; the user's matrix is
  // untouched until the values are put back at the end.
  ResidueCopy copy(rows);
  special_copy_sparse(&spar, &copy.a, rows);
  sparseptr a = copy.a;
  ExchangeLists lists;
  std::vector<std::int32_t> exchanged(static_cast<std::size_t>(steps) + 1, 0);
  std::int32_t exchanged_upto = 0;  // the last step whose exchanges were made
  // The head link of every row, and the column of its first entry.
  std::vector<colm_ptrptr> link(static_cast<std::size_t>(rows) + 1, nullptr);
  std::vector<std::int32_t> head(static_cast<std::size_t>(rows) + 1, 0);
  for (std::int32_t r = 1; r <= rows; ++r) {
    link[r] = sparse_row(a, r);
    head[r] = first_column(*link[r]);
  }
  const auto m = static_cast<std::uint32_t>(modulus);
  std::int32_t s = 1;
  for (; s <= steps; ++s) {
    check_interrupt();
    std::int32_t pr = -1;
    std::int32_t pc = -1;
    special_mod_sparse_findbest(false, a, rows, s, &pr, &pc);
    if (verbose && windy) std::printf("  choosing pivot at: %d, %d, %d\n", s, pr, pc);
    if (verbose && s % (steps / 100 + 1) == 0) dumpitt("", s, false, false, false);
    if (pr == -1) break;
    // The finished rows above s take their column exchanges all at once at
    // the end (deferred_exchanges); the rows from s on take them now, those
    // whose first column is beyond both columns having nothing to exchange.
    if (pc != s) {
      for (std::int32_t r = s; r <= rows; ++r)
        if (head[r] <= pc) {
          sp_switchcol(a, s, pc, r, r);
          head[r] = first_column(*link[r]);
        }
    }
    if (pr != s) {
      sp_switchrow(a, s, pr);
      std::swap(head[s], head[pr]);
    }
    tx.exchange(nullptr, s, pr, pc, rows, cols, s, auxspar, lists);
    if (!pseudo) exchanged[s] = pc;
    exchanged_upto = s;
    // Rows from s on are zero left of column s, so the pivot heads row s
    // and an entry in column s heads the row below that has one.
    colm_ptr piv = *sparse_row(a, s);
    if (piv == nullptr || piv->coord != s) {
      tavrin_error("nil qp in sparse mod row reduce.", true);
      break;
    }
    std::int32_t inv = colm_word(piv);
    if (inv != 1) mod_inverse(colm_word(piv), &inv);
    for (std::int32_t i = s + 1; i <= rows; ++i) {
      if (head[i] != s) continue;
      colm_ptrptr row_i = link[i];
      const auto f = static_cast<std::uint32_t>(
          inv == 1 ? colm_word(*row_i) : modmult(word(*row_i), static_cast<std::uint32_t>(inv)));
      eliminate_residue_row(row_i, piv->next, f);
      head[i] = first_column(*row_i);
      if (tx.w[2]) sparse_mod_col_add(auxspar[2], static_cast<std::int32_t>(f), rows, s, i);
      if (tx.w[0])
        sparse_mod_row_add(auxspar[0], static_cast<std::int32_t>(finf ? f : m - f), i, s);
    }
    if (pseudo) killoffu(&piv);
  }
  steps = s - 1;
  if (!pseudo) deferred_exchanges(a, exchanged_upto, cols, exchanged);
  quoly_set_integer(steps, n);
  move_data_outof_quoly(a, rows);
  put_back_sparse(a, spar, rows);
  if (2 * steps > 1000000) error(too_many_pivot_positions_work_array_error, nullptr);
  if (tx.positions) lists.write_positions(alpha, steps, 1);
}

}  // namespace tavrin
