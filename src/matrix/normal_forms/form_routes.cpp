// The route choice of the integer normal forms (see form_routes_impl.h).
#include "matrix/normal_forms/form_routes_impl.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/zint.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/normal_forms.h"
#include "matrix/normal_forms/hermite_direct.h"
#include "matrix/normal_forms/hermite_modular.h"
#include "matrix/sparse_copy.h"

namespace tavrin::form_routes {

namespace {

imptr dense_entry(arrptr q, std::int32_t rows, std::int32_t r, std::int32_t c) {
  return (*arp_cell(q->start + r + c * rows))->ncoef;
}

// Calls f(row, column, number) for every non-zero entry (from 0).
template <class F>
void each_entry(arrptr q, std::int32_t rows, std::int32_t cols, F f) {
  if (q->spar == nullptr) {
    for (std::int32_t c = 0; c < cols; ++c)
      for (std::int32_t r = 0; r < rows; ++r) f(r, c, dense_entry(q, rows, r, c));
    return;
  }
  for (std::int32_t r = 1; r <= rows; ++r)
    for (colm_ptr e = *sparse_row(q->spar, r); e != nullptr; e = e->next)
      f(r - 1, e->coord - 1, e->val->ncoef);
}

// A fresh cell holding the integer v (|v| < 2^62), its limbs built at
// once; lint and flote 0. The cells of the results are made this way, each
// written once.
quoly fresh_cell(std::int64_t v) { return nodes::new_number_value(new_word_number(v)); }

// A fresh cell holding v.
quoly fresh_cell(const ZInt& v) {
  if (v.is_small()) return fresh_cell(v.to_int64());
  imptr x = nullptr;
  newimag(&x);
  x->lint = 0;
  x->flote = 0;
  v.store(x);
  return nodes::new_number_value(x);
}

// x := v, a word without building its limbs first.
void put(const ZInt& v, imptr x) {
  if (v.digits() <= 1)
    special_set(static_cast<std::int32_t>(v.to_int64()), x);
  else
    v.store(x);
}

// The cell := v (a fresh cell when it has none).
void put_value(const ZInt& v, quoly& cell) {
  if (cell == nullptr)
    cell = fresh_cell(v);
  else
    put(v, cell->ncoef);
}

ZMatrix read_matrix(arrptr q, std::int32_t rows, std::int32_t cols) {
  ZMatrix a(rows, cols);
  each_entry(q, rows, cols,
             [&a](std::int32_t r, std::int32_t c, imptr x) { a.at(r, c) = ZInt::from_number(x); });
  return a;
}

// A fresh sparse matrix of m's rows holding its non-zero entries.
sparseptr to_sparse(const ZMatrix& m) {
  sparseptr sp = nullptr;
  sparse_init(&sp, m.rows);
  for (std::int32_t r = 0; r < m.rows; ++r) {
    colm_ptrptr link = sparse_row(sp, r + 1);
    for (std::int32_t c = 0; c < m.cols; ++c) {
      if (m.at(r, c).is_zero()) continue;
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c + 1;
      e->next = nullptr;
      e->val = fresh_cell(m.at(r, c));
      *link = e;
      link = &e->next;
    }
  }
  return sp;
}

// The work array w of order m.rows := m.
void to_work(const ZMatrix& m, workptr w) {
  const std::int32_t s = m.rows;
  for (std::int32_t j = 0; j < s; ++j)
    for (std::int32_t i = 0; i < s; ++i) put_value(m.at(i, j), w->stash[i + j * s]);
}

bool too_long(const ZMatrix& m) {
  return std::any_of(m.cell.begin(), m.cell.end(),
                     [](const ZInt& x) { return x.digits() > 32767; });
}

// The wanted transforms back to nothing (after an elimination that was
// given up).
void clear(const Outputs& out) {
  for (int i = 0; i < 4 && out.want != nullptr; ++i) {
    if (!out.want[i]) continue;
    const std::int32_t s = i % 2 == 0 ? out.rows : out.cols;
    if (out.aux != nullptr && out.aux[i] != nullptr) free_sparse(&out.aux[i], s, true);
    if (out.w[i] != nullptr)
      for (std::int32_t k = 0; k < s * s; ++k) free_quoly(&out.w[i]->stash[k]);
  }
}

// The cell := entry (i, j) of part p of d, whose word (or big_entry) is v
// (a fresh cell when it has none).
void put_entry(const DirectHermite& d, DirectHermite::Part p, std::int32_t i, std::int32_t j,
               std::int64_t v, quoly& cell) {
  if (v != DirectHermite::big_entry) {
    if (cell == nullptr)
      cell = fresh_cell(v);
    else
      set_word_number(v, cell->ncoef);
    return;
  }
  if (cell == nullptr) {
    imptr x = nullptr;
    newimag(&x);
    x->lint = 0;
    x->flote = 0;
    d.store(p, i, j, x);
    cell = nodes::new_number_value(x);
    return;
  }
  d.store(p, i, j, cell->ncoef);
}

// The cell := v, a small word, as put_entry.
void put_cell(std::int32_t v, quoly& cell) {
  if (cell == nullptr)
    cell = fresh_cell(v);
  else
    set_word_number(v, cell->ncoef);
}

// A fresh sparse matrix of the non-zero entries of part p of d (s x cols).
sparseptr part_to_sparse(const DirectHermite& d, DirectHermite::Part p, std::int32_t s,
                         std::int32_t cols) {
  sparseptr sp = nullptr;
  sparse_init(&sp, s);
  std::vector<std::int64_t> row(static_cast<std::size_t>(cols));
  for (std::int32_t r = 0; r < s; ++r) {
    colm_ptrptr link = sparse_row(sp, r + 1);
    d.words(p, r, true, row.data());
    for (std::int32_t c = 0; c < cols; ++c) {
      if (row[static_cast<std::size_t>(c)] == 0) continue;
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c + 1;
      e->next = nullptr;
      e->val = nullptr;
      put_entry(d, p, r, c, row[static_cast<std::size_t>(c)], e->val);
      *link = e;
      link = &e->next;
    }
  }
  return sp;
}

// The permutation of the form's rows (P, or P^-1 when inverse): entry
// (i, order[i]) is 1 (its transpose for P^-1).
sparseptr permutation_to_sparse(const std::vector<std::int32_t>& order, bool inverse) {
  const auto s = static_cast<std::int32_t>(order.size());
  std::vector<std::int32_t> at(order.size());
  for (std::int32_t i = 0; i < s; ++i)
    if (inverse)
      at[static_cast<std::size_t>(order[static_cast<std::size_t>(i)])] = i;
    else
      at[static_cast<std::size_t>(i)] = order[static_cast<std::size_t>(i)];
  sparseptr sp = nullptr;
  sparse_init(&sp, s);
  for (std::int32_t r = 0; r < s; ++r) {
    colm_ptr e = nullptr;
    newcolm(&e);
    e->coord = at[static_cast<std::size_t>(r)] + 1;
    e->next = nullptr;
    e->val = nullptr;
    put_cell(1, e->val);
    *sparse_row(sp, r + 1) = e;
  }
  return sp;
}

// The Hermite form by the exact elimination read straight from q's cells
// and written straight back (see hermite_direct.h): true when it answered.
// False, nothing changed, when it was given up (*tried) or not tried: for
// a matrix it would not finish, or whose transforms hermite_bounded takes
// from the modular route for full column rank (skip_exact there).
bool direct_on_cells(quolyptr n, arrptr q, const Outputs& out, bool* tried) {
  const std::int32_t rows = out.rows, cols = out.cols;
  const bool transforms = out.any();
  DirectHermite d(rows, cols, transforms);
  std::int64_t filled = 0;
  each_entry(q, rows, cols, [&](std::int32_t r, std::int32_t c, imptr x) {
    if (std::int64_t v = 0; small_number_value(x, &v)) {
      filled += v != 0 ? 1 : 0;
      if (v != 0) d.set(r, c, v);
      return;
    }
    const ZInt v = ZInt::from_number(x);
    filled += v.is_zero() ? 0 : 1;
    if (!v.is_zero()) d.set(r, c, v);
  });
  const bool dense = 2 * filled > std::int64_t{rows} * cols;
  if (!DirectHermite::worth_trying(rows, cols, filled, transforms) ||
      (dense && transforms && rows >= cols && std::min(rows, cols) > normal_form_exact_side))
    return false;
  *tried = true;
  if (!d.run()) return false;
  const std::int64_t too_long = std::int64_t{32767} * limb_bits;
  bool longer = d.long_bits(DirectHermite::form) > too_long;
  if (transforms)
    longer = longer || (out.want[1] && d.long_bits(DirectHermite::right) > too_long) ||
             (out.want[3] && d.long_bits(DirectHermite::right_inv) > too_long);
  if (longer) abandon(number_too_long_error, &token);
  // Nothing below can fail.
  std::vector<std::int64_t> col(static_cast<std::size_t>(std::max(rows, cols)));
  if (q->spar == nullptr) {
    for (std::int32_t c = 0; c < cols; ++c) {
      d.words(DirectHermite::form, c, false, col.data());
      for (std::int32_t r = 0; r < rows; ++r)
        put_entry(d, DirectHermite::form, r, c, col[static_cast<std::size_t>(r)],
                  *arp_cell(q->start + r + c * rows));
    }
  } else {
    sparseptr fresh = part_to_sparse(d, DirectHermite::form, rows, cols);
    free_sparse(&q->spar, rows, true);
    q->spar = fresh;
  }
  const std::vector<std::int32_t>& order = d.order();
  for (int i = 0; i < 4 && transforms; ++i) {
    if (!out.want[i]) continue;
    const std::int32_t s = i % 2 == 0 ? rows : cols;
    if (q->spar != nullptr) {
      free_sparse(&out.aux[i], s, true);
      out.aux[i] =
          i % 2 == 0
              ? permutation_to_sparse(order, i == 2)
              : part_to_sparse(d, i == 1 ? DirectHermite::right : DirectHermite::right_inv, s, s);
      continue;
    }
    quoly* cells = out.w[i]->stash;
    if (i % 2 == 0) {
      // P: (k, order[k]) is 1; P^-1: (order[k], k). Column by column, each
      // cell written once.
      std::vector<std::int32_t> one_in(static_cast<std::size_t>(s));
      for (std::int32_t k = 0; k < s; ++k) {
        const std::int32_t o = order[static_cast<std::size_t>(k)];
        one_in[static_cast<std::size_t>(i == 0 ? o : k)] = i == 0 ? k : o;
      }
      for (std::int32_t c = 0; c < s; ++c)
        for (std::int32_t r = 0; r < s; ++r)
          put_cell(r == one_in[static_cast<std::size_t>(c)] ? 1 : 0, cells[r + c * s]);
      continue;
    }
    const DirectHermite::Part p = i == 1 ? DirectHermite::right : DirectHermite::right_inv;
    for (std::int32_t c = 0; c < s; ++c) {
      d.words(p, c, false, col.data());
      for (std::int32_t r = 0; r < s; ++r)
        put_entry(d, p, r, c, col[static_cast<std::size_t>(r)], cells[r + c * s]);
    }
  }
  quoly_set_integer(d.rank(), n);
  return true;
}

// The bounded route; false (nothing changed) when its result could not be
// proven. modulus (Smith only): each invariant factor d becomes gcd(d,
// modulus), modulus itself 0, as the elimination modulo it ends.
bool bounded(quolyptr n, arrptr q, const Outputs& out, bool smith, imptr modulus) {
  bool tried = false;
  if (!smith && modulus == nullptr && std::min(out.rows, out.cols) <= normal_form_cell_side &&
      direct_on_cells(n, q, out, &tried))
    return true;
  const ZMatrix a = read_matrix(q, out.rows, out.cols);
  FormResult f;
  const bool transforms = out.any();
  if (!(smith ? smith_bounded(a, transforms, &f) : hermite_bounded(a, transforms, &f, tried))) {
    tavrin_error("normal form modulo the determinant not proven", false);
    return false;
  }
  if (modulus != nullptr) {
    const ZInt pd = ZInt::from_number(modulus);
    std::int32_t rank = 0;
    for (std::int32_t i = 0; i < f.rank; ++i) {
      ZInt& d = f.form.at(i, i);
      d = ZInt::gcd(d, pd);
      if (d == pd) d = 0;
      if (!d.is_zero()) ++rank;
    }
    f.rank = rank;
  }
  const ZMatrix* t[4] = {&f.left, &f.right, &f.left_inv, &f.right_inv};
  bool longer = too_long(f.form);
  for (int i = 0; i < 4; ++i) longer = longer || (transforms && out.want[i] && too_long(*t[i]));
  if (longer) abandon(number_too_long_error, &token);
  // Nothing below can fail.
  if (q->spar == nullptr) {
    for (std::int32_t c = 0; c < out.cols; ++c)
      for (std::int32_t r = 0; r < out.rows; ++r)
        put(f.form.at(r, c), dense_entry(q, out.rows, r, c));
  } else {
    sparseptr fresh = to_sparse(f.form);
    free_sparse(&q->spar, out.rows, true);
    q->spar = fresh;
  }
  for (int i = 0; i < 4 && transforms; ++i) {
    if (!out.want[i]) continue;
    if (q->spar != nullptr) {
      const std::int32_t s = i % 2 == 0 ? out.rows : out.cols;
      free_sparse(&out.aux[i], s, true);
      out.aux[i] = to_sparse(*t[i]);
    } else {
      to_work(*t[i], out.w[i]);
    }
  }
  quoly_set_integer(f.rank, n);
  return true;
}

// The matrix as it was, put back unless kept.
class Snapshot {
 public:
  Snapshot(arrptr q, std::int32_t rows, std::int32_t cols) : q_(q), rows_(rows) {
    if (q->spar != nullptr) {
      copy_sparse(&q->spar, &spar_, rows, false);
      return;
    }
    // Entries of one limb, the rule at the sizes the elimination takes
    // first, are kept as their limb values: copying them as numbers cost
    // a tenth of a small form's time.
    const std::int32_t n = rows * cols;
    if (!flotemode && !lintmode) {
      limbs_.reserve(static_cast<std::size_t>(n));
      for (std::int32_t k = 0; k < n; ++k) {
        const imptr x = (*arp_cell(q->start + k))->ncoef;
        if (x->size != 1) break;
        limbs_.push_back(x->head->value);
      }
      if (static_cast<std::int32_t>(limbs_.size()) == n) return;
      limbs_.clear();
    }
    cells_.reserve(static_cast<std::size_t>(n));
    for (std::int32_t k = 0; k < n; ++k) {
      imptr x = nullptr;
      newimag(&x);
      x->size = 0;
      num_assign((*arp_cell(q->start + k))->ncoef, x);
      cells_.push_back(x);
    }
  }
  ~Snapshot() {
    if (!kept_) restore();
    if (spar_ != nullptr) free_sparse(&spar_, rows_, true);
    for (imptr& x : cells_) {
      special_free(x);
      free_imag(&x);
    }
  }
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;
  void keep() { kept_ = true; }
  void restore() {
    if (q_->spar != nullptr || spar_ != nullptr) {
      free_sparse(&q_->spar, rows_, true);
      copy_sparse(&spar_, &q_->spar, rows_, false);
      return;
    }
    for (std::size_t k = 0; k < limbs_.size(); ++k)
      special_set(limbs_[k], (*arp_cell(q_->start + static_cast<std::int32_t>(k)))->ncoef);
    for (std::size_t k = 0; k < cells_.size(); ++k)
      num_assign(cells_[k], (*arp_cell(q_->start + static_cast<std::int32_t>(k)))->ncoef);
  }

 private:
  arrptr q_;
  std::int32_t rows_;
  sparseptr spar_ = nullptr;
  std::vector<std::int32_t> limbs_;  // the entries' values when each is one limb
  std::vector<imptr> cells_;         // else copies of the entries
  bool kept_ = false;
};

}  // namespace

double hadamard_bits(arrptr q, std::int32_t rows, std::int32_t cols) {
  // log2 of each column's norm from the entries' bit lengths (from above):
  // the longest entry's bits t, then t + log2 of the root of the sum of
  // 2^(2 (b - t)).
  auto bits_of = [](imptr x) {
    return static_cast<double>(limb_bits) * (x->size - 1) +
           std::log2(std::abs(static_cast<double>(x->head->value)) + 1.0);
  };
  auto zero = [](imptr x) { return x->size == 1 && x->head->value == 0; };
  // Small matrices, which the router sees most, keep their working values
  // on the stack: the heap's traffic was a sixth of a 6x2 form's time.
  // Entries past the stack's room spill into a vector that grows with the
  // non-zero entries (a sparse matrix may have few of its cells).
  constexpr std::size_t stack_entries = 256, stack_cols = 64;
  const auto n_cols = static_cast<std::size_t>(cols);
  struct Entry {
    std::int32_t c;
    double b;
  };
  std::array<Entry, stack_entries> entries_here;  // left uninitialised: written before read
  std::array<double, 3 * stack_cols> cols_here;
  std::vector<Entry> entries_heap;
  std::vector<double> cols_heap;
  if (n_cols > stack_cols) cols_heap.resize(3 * n_cols);
  double* const top = n_cols > stack_cols ? cols_heap.data() : cols_here.data();
  double* const sum = top + n_cols;
  double* const norms = sum + n_cols;
  std::fill_n(top, n_cols, -1.0);
  std::fill_n(sum, n_cols, 0.0);
  // Each non-zero entry's bits, read once: (column, bits).
  std::size_t count = 0;
  each_entry(q, rows, cols, [&](std::int32_t, std::int32_t c, imptr x) {
    if (zero(x)) return;
    const Entry e{c, bits_of(x)};
    if (count < stack_entries) {
      entries_here[count] = e;
    } else {
      if (count == stack_entries) entries_heap.assign(entries_here.begin(), entries_here.end());
      entries_heap.push_back(e);
    }
    ++count;
    top[static_cast<std::size_t>(c)] = std::max(top[static_cast<std::size_t>(c)], e.b);
  });
  const Entry* const entries = count > stack_entries ? entries_heap.data() : entries_here.data();
  for (std::size_t k = 0; k < count; ++k) {
    const auto c = static_cast<std::size_t>(entries[k].c);
    sum[c] += std::exp2(2.0 * (entries[k].b - top[c]));
  }
  std::size_t found = 0;
  for (std::size_t c = 0; c < n_cols; ++c)
    if (top[c] >= 0.0) norms[found++] = top[c] + 0.5 * std::log2(sum[c]);
  std::sort(norms, norms + found, std::greater<>());
  double hbits = 0.0;
  for (std::size_t i = 0; i < found && i < static_cast<std::size_t>(std::min(rows, cols)); ++i)
    hbits += std::max(norms[i], 1.0);
  return hbits;
}

std::int32_t budget_limbs(double hbits) {
  const double limbs =
      static_cast<double>(normal_form_budget_bits) * std::max(hbits, 1.0) / limb_bits + 2.0;
  return static_cast<std::int32_t>(std::min(limbs, 30000.0));
}

void run(quolyptr n, arrptr q, const Outputs& out, bool smith, imptr modulus,
         const std::function<void()>& euclid) {
  const std::int32_t rows = out.rows, cols = out.cols;
  const bool possible =
      (smith || modulus == nullptr) && std::int64_t{rows} * cols <= normal_form_cells;
  // The Hadamard bits, needed (and found) only for the smaller sides.
  const double hbits = possible && std::min(rows, cols) <= normal_form_direct_side
                           ? hadamard_bits(q, rows, cols)
                           : 0.0;
  const bool first = possible && (std::min(rows, cols) > normal_form_direct_side ||
                                  hbits > normal_form_direct_bits);
  if (first && bounded(n, q, out, smith, modulus)) return;
  Snapshot snap(q, rows, cols);
  if (possible && !first) {
    // An elimination that swells past its budget or past the longest
    // number is given up, and the snapshot puts the matrix back.
    try {
      EntryBudget budget(budget_limbs(hbits));
      LimbTrap trap;
      euclid();
      snap.keep();
      return;
    } catch (const EntryBudget::exceeded&) {
    } catch (const LimbTrap::reached&) {
    }
    snap.restore();
    clear(out);
    if (bounded(n, q, out, smith, modulus)) {
      snap.keep();
      return;
    }
  }
  euclid();
  snap.keep();
}

}  // namespace tavrin::form_routes
