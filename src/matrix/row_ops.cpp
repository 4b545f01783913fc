// Dense row and column operations on work arrays and on named arrays of the
// paged store (see row_ops.h).
#include <utility>
#include <vector>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "matrix/row_ops.h"

namespace tavrin {

namespace {

inline quoly& cell(workptr a, std::int32_t r, std::int32_t c, std::int32_t m) {
  return a->stash[static_cast<std::int64_t>(c) * m + r];
}
inline std::int32_t& lint_at(workptr a, std::int32_t r, std::int32_t c, std::int32_t m) {
  return cell(a, r, c, m)->ncoef->lint;
}
inline long double& flote_at(workptr a, std::int32_t r, std::int32_t c, std::int32_t m) {
  return cell(a, r, c, m)->ncoef->flote;
}

void negate_accumulator(quolyptr n) { quoly_inplace(*n); }

void negate_residue(quolyptr n) {
  if (finf) return;
  std::int32_t& d = (*n)->ncoef->lint;
  if (d > 0) d = modulus - d;
}

// target := target - factor * source (exact values).
void sub_product(quoly* target, quoly factor, quoly source) {
  quoly t = nullptr;
  quoly_mult(factor, source, &t);
  best_quoly_sub(target, t);  // uses t up
}

// x := x - factor * y (big integers): operands of up to four limbs in
// 128-bit words, a zero y not at all.
void int_sub_product(imptr x, imptr factor, imptr y) {
  std::int64_t a = 0, f = 0, b = 0;
  if (small_number_value(y, &b) && small_number_value(x, &a) && small_number_value(factor, &f)) {
    if (b == 0) return;
    set_wide_number(static_cast<__int128>(a) - static_cast<__int128>(f) * b,
                    x);  // in x's limbs where they fit
    return;
  }
  if (x->size <= 4 && factor->size >= 1 && y->size >= 1 && factor->size + y->size <= 4) {
    // |x| < 2^112 and |factor y| < 2^112: the difference in 128 bits.
    set_wide_number(wide_number_value(x) - wide_number_value(factor) * wide_number_value(y), x);
    return;
  }
  nodes::ScratchNumber p;
  fast_mult(factor, y, p.get());
  fastdiff(x, p.get());
}

}  // namespace

void swap_rows(quolyptr n, workptr dup, bool want_n, bool do_all, std::int32_t i, std::int32_t j,
               std::int32_t m) {
  for (std::int32_t c = do_all ? 0 : i; c < m; ++c)
    std::swap(cell(dup, i, c, m), cell(dup, j, c, m));
  if (want_n) negate_accumulator(n);
}

void swap_cols(workptr arr, std::int32_t i, std::int32_t j, std::int32_t rows) {
  for (std::int32_t r = 0; r < rows; ++r) std::swap(cell(arr, r, i, rows), cell(arr, r, j, rows));
}

void spec_swap_rows(workptr dup, std::int32_t i, std::int32_t j, std::int32_t rows) {
  for (std::int32_t c = 0; c < i; ++c) std::swap(cell(dup, i, c, rows), cell(dup, j, c, rows));
}

void simple_swap_rows(workptr dup, std::int32_t i, std::int32_t j, std::int32_t m, std::int32_t c) {
  for (; c < m; ++c) std::swap(cell(dup, i, c, m), cell(dup, j, c, m));
}

void simple_swap_cols(workptr dup, std::int32_t i, std::int32_t j, std::int32_t m, std::int32_t r) {
  if (i == j) return;
  for (; r < m; ++r) std::swap(cell(dup, r, i, m), cell(dup, r, j, m));
}

void dual_swap_cols(quolyptr n, workptr dup, bool invert, std::int32_t i, std::int32_t j,
                    std::int32_t m) {
  if (invert) {
    swap_cols(dup, i, j, m);
    return;
  }
  for (std::int32_t r = i; r < m; ++r) std::swap(cell(dup, r, i, m), cell(dup, r, j, m));
  negate_accumulator(n);
}

void mod_swap_rows(quolyptr n, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m) {
  for (std::int32_t c = i; c < m; ++c) std::swap(lint_at(dup, i, c, m), lint_at(dup, j, c, m));
  negate_residue(n);
}

void mod_swap_cols(quolyptr n, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m) {
  for (std::int32_t r = i; r < m; ++r) std::swap(lint_at(dup, r, i, m), lint_at(dup, r, j, m));
  negate_residue(n);
}

void fl_swap_rows(quolyptr, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m) {
  for (std::int32_t c = i; c < m; ++c) std::swap(flote_at(dup, i, c, m), flote_at(dup, j, c, m));
}

void fl_swap_cols(quolyptr, workptr dup, std::int32_t i, std::int32_t j, std::int32_t m) {
  for (std::int32_t r = i; r < m; ++r) std::swap(flote_at(dup, r, i, m), flote_at(dup, r, j, m));
}

void row_reduce(workptr arr, quoly factor, std::int32_t rows, std::int32_t k, std::int32_t q) {
  for (std::int32_t c = 0; c < rows; ++c)
    sub_product(&cell(arr, k, c, rows), factor, cell(arr, q, c, rows));
}

void col_reduce(workptr arr, quoly factor, std::int32_t rows, std::int32_t k, std::int32_t q) {
  for (std::int32_t r = 0; r < rows; ++r)
    sub_product(&cell(arr, r, k, rows), factor, cell(arr, r, q, rows));
}

void mult_col(workptr arr, quoly factor, std::int32_t rows, std::int32_t q) {
  for (std::int32_t r = 0; r < rows; ++r) fast_quoly_mult(&cell(arr, r, q, rows), &factor);
}

void divide_row(workptr arr, quoly factor, std::int32_t rows, std::int32_t q) {
  for (std::int32_t c = 0; c < rows; ++c) fast_quoly_quot(&cell(arr, q, c, rows), &factor, false);
}

void row_red_arr(workptr arr, imptr factor, std::int32_t rows, std::int32_t k, std::int32_t q) {
  for (std::int32_t c = 0; c < rows; ++c)
    int_sub_product(cell(arr, k, c, rows)->ncoef, factor, cell(arr, q, c, rows)->ncoef);
}

void col_red_arr(workptr arr, imptr factor, std::int32_t rows, std::int32_t k, std::int32_t q) {
  for (std::int32_t r = 0; r < rows; ++r)
    int_sub_product(cell(arr, r, k, rows)->ncoef, factor, cell(arr, r, q, rows)->ncoef);
}

void int_arr_col_neg(workptr arr, std::int32_t j, std::int32_t rows) {
  for (std::int32_t r = 0; r < rows; ++r) in_place_neg(cell(arr, r, j, rows)->ncoef);
}

void int_arr_row_neg(workptr arr, std::int32_t j, std::int32_t rows, std::int32_t cols) {
  for (std::int32_t c = 0; c < cols; ++c) in_place_neg(cell(arr, j, c, rows)->ncoef);
}

void simple_zero_out(workptr dup, std::int32_t i, std::int32_t m, bool allnumbs) {
  const std::int32_t p = i - 1;
  for (std::int32_t r = i; r < m; ++r) {
    quoly f = cell(dup, r, p, m);
    if (allnumbs) {
      const long double fv = f->ncoef->flote;
      for (std::int32_t c = i; c < m; ++c) flote_at(dup, r, c, m) -= fv * flote_at(dup, p, c, m);
    } else {
      for (std::int32_t c = i; c < m; ++c) sub_product(&cell(dup, r, c, m), f, cell(dup, p, c, m));
    }
  }
}

// The zero-out steps run column by column (each column is contiguous), with
// the multipliers of the rows formed once; every cell is updated once, so the
// values are those of the row-by-row order.
void mod_zero_out(workptr dup, std::int32_t i, std::int32_t m, std::int32_t valinv) {
  const std::int32_t p = i - 1;
  std::vector<std::uint32_t> f(static_cast<std::size_t>(m), 0);
  bool any = false;
  for (std::int32_t r = i; r < m; ++r) {
    f[static_cast<std::size_t>(r)] = static_cast<std::uint32_t>(modmult(
        static_cast<std::uint32_t>(lint_at(dup, r, p, m)), static_cast<std::uint32_t>(valinv)));
    any = any || f[static_cast<std::size_t>(r)] != 0;
  }
  if (!any) return;
  const std::int32_t mod = modulus;
  for (std::int32_t c = i; c < m; ++c) {
    const std::uint32_t v = static_cast<std::uint32_t>(lint_at(dup, p, c, m));
    if (v == 0) continue;
    quoly* column = &cell(dup, 0, c, m);
    for (std::int32_t r = i; r < m; ++r) {
      const std::uint32_t fr = f[static_cast<std::size_t>(r)];
      if (fr == 0) continue;
      std::int32_t& x = column[r]->ncoef->lint;
      x = mod_sub(x, modmult(fr, v), mod);
    }
  }
}

void fl_zero_out(workptr dup, std::int32_t i, std::int32_t m, long double valinv) {
  const std::int32_t p = i - 1;
  std::vector<long double> f(static_cast<std::size_t>(m), 0);
  for (std::int32_t r = i; r < m; ++r)
    f[static_cast<std::size_t>(r)] = flote_at(dup, r, p, m) * valinv;
  for (std::int32_t c = i; c < m; ++c) {
    const long double v = flote_at(dup, p, c, m);
    quoly* column = &cell(dup, 0, c, m);
    for (std::int32_t r = i; r < m; ++r)
      column[r]->ncoef->flote -= f[static_cast<std::size_t>(r)] * v;
  }
}

void numb_divide_thru(quolyptr n, workptr dup, bool invert, std::int32_t i, std::int32_t m,
                      colptr* ops) {
  const std::int32_t p = i - 1;
  const long double v = flote_at(dup, p, p, m);
  if (!invert) {
    (*n)->ncoef->flote *= v;
  } else {
    colptr op = nullptr;
    newcol(&op);
    op->i = p;
    op->j = p;
    op->f = nullptr;
    fl_quoly_set(v, &op->f);
    op->next = *ops;
    *ops = op;
  }
  flote_at(dup, p, p, m) = 1.0L;
  const long double inv = 1.0L / v;
  for (std::int32_t c = i; c < m; ++c) flote_at(dup, p, c, m) *= inv;
}

void uppertri(workptr arr, std::int32_t rows) {
  for (std::int32_t c = 0; c < rows; ++c)
    for (std::int32_t r = 0; r <= c; ++r) {
      cell(arr, r, c, rows) = nullptr;
      quoly_set(r == c ? 1 : 0, &cell(arr, r, c, rows));
    }
}

void switchrow_col(std::int32_t index, std::int32_t j, std::int32_t k, std::int32_t start,
                   std::int32_t total_rows, std::int32_t target_rows, std::int32_t cols) {
  if (index == bi::Swaprow) {
    for (std::int32_t t = 0; t < cols; ++t)
      std::swap(*arp_cell(start + j + t * total_rows), *arp_cell(start + k + t * total_rows));
  } else {
    for (std::int32_t t = 0; t < target_rows; ++t)
      std::swap(*arp_cell(start + j * total_rows + t), *arp_cell(start + k * total_rows + t));
  }
}

void int_col_manip(std::int32_t j, std::int32_t k, std::int32_t start, std::int32_t rows,
                   imptr factor) {
  for (std::int32_t r = k; r < rows; ++r)
    int_sub_product((*arp_cell(start + j * rows + r))->ncoef, factor,
                    (*arp_cell(start + k * rows + r))->ncoef);
}

void int_col_neg(std::int32_t j, std::int32_t k, std::int32_t start, std::int32_t rows) {
  for (std::int32_t r = k; r < rows; ++r) in_place_neg((*arp_cell(start + j * rows + r))->ncoef);
}

void int_row_neg(std::int32_t j, std::int32_t k, std::int32_t start, std::int32_t rows,
                 std::int32_t cols) {
  for (std::int32_t c = k; c < cols; ++c) in_place_neg((*arp_cell(start + j + c * rows))->ncoef);
}

std::int32_t disper(std::int32_t n) {
  if (n <= 100) return 1;
  if (n <= 1000) return 5;
  if (n <= 5000) return 10;
  return 50;
}

bool larger_number(imptr n1, imptr n2) {
  if (flotemode) return n1->flote > n2->flote;
  if (lintmode) return n1->lint > n2->lint;
  auto bits = [](imptr x) -> std::int64_t {
    if (x->head == nullptr) return 0;
    std::int32_t v = x->head->value < 0 ? -x->head->value : x->head->value;
    std::int32_t len = 0;
    for (; v != 0; v >>= 1) ++len;
    return std::int64_t{28} * x->size + len;
  };
  return bits(n1) > bits(n2);
}

}  // namespace tavrin
