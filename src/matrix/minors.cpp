// "Minors": a new sparse array made of chosen rows and columns of a sparse
// array. The row and column lists are dense arrays of indices in the
// user's origin, in any order, repeats counted once; the new array keeps
// the source's order of rows and columns.
#include <cstdio>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_engines.h"

namespace tavrin {

namespace {

constexpr std::int32_t most_indices = 1000000;

// Marks the indices listed in the dense array list in chosen (one slot a
// source row or column); returns how many distinct ones there were.
std::int32_t mark_chosen(arrptr list, std::vector<bool>& chosen) {
  const std::int64_t cells = array_entries(list);
  std::int32_t count = 0;
  for (std::int64_t k = 0; k < cells; ++k) {
    const quoly v = *arp_cell(list->start + static_cast<std::int32_t>(k));
    if (v == nullptr || !v->numb) abandon(row_column_index_not_number_error, &token);
    const imptr x = v->ncoef;
    std::int64_t i = 0;
    if (flotemode) {
      i = static_cast<std::int64_t>(x->flote + 0.5L);
    } else if (lintmode) {
      i = x->lint;
    } else {
      i = x->size > 1 ? -1 - addresser : x->head->value;
    }
    i -= addresser;
    if (i < 0 || i >= static_cast<std::int64_t>(chosen.size()))
      abandon(row_column_index_out_range_332_error, &token);
    if (!chosen[static_cast<std::size_t>(i)]) ++count;
    chosen[static_cast<std::size_t>(i)] = true;
  }
  return count;
}

std::int32_t capped(std::int64_t count, const char* what) {
  if (count <= most_indices) return static_cast<std::int32_t>(count);
  std::printf(" Warning. more than %0d %s.\n", most_indices, what);
  std::fputs("    This may cause problems later.\n", stdout);
  return most_indices;
}

}  // namespace

void minors(arrptr q, arrptr qrows, arrptr qcols, const tokentipe* let, bool seestar, quolyptr n) {
  if (qrows == nullptr || qcols == nullptr) abandon(row_column_list_missing_empty_error, &token);
  if (qrows->spar != nullptr || qcols->spar != nullptr)
    abandon(row_column_list_must_dense_error, &token);
  if (array_entries(qrows) == 0 || array_entries(qcols) == 0)
    abandon(row_column_list_missing_empty_error, &token);
  if (q->spar == nullptr) abandon(source_array_must_sparse_error, &token);
  const std::int32_t rows = capped(q->rows, "rows");
  const std::int32_t cols = capped(array_entries(q) / q->rows, "cols");
  std::vector<bool> row_chosen(static_cast<std::size_t>(rows), false);
  std::vector<bool> col_chosen(static_cast<std::size_t>(cols), false);
  const std::int32_t newrows = mark_chosen(qrows, row_chosen);
  const std::int32_t newcols = mark_chosen(qcols, col_chosen);
  // Source column (from 1) -> new column, 0 when not chosen.
  std::vector<std::int32_t> new_col(static_cast<std::size_t>(cols) + 1, 0);
  std::int32_t j = 0;
  for (std::int32_t c = 0; c < cols; ++c)
    if (col_chosen[static_cast<std::size_t>(c)]) new_col[static_cast<std::size_t>(c) + 1] = ++j;

  sparseptr made = nullptr;
  sparse_init(&made, newrows);
  std::int32_t target = 0;
  for (std::int32_t r = 0; r < rows; ++r) {
    if (!row_chosen[static_cast<std::size_t>(r)]) continue;
    colm_ptrptr u = sparse_row(made, ++target);
    for (colm_ptr e = *sparse_row(q->spar, r + 1); e != nullptr; e = e->next) {
      if (e->coord > cols) break;
      const std::int32_t to = new_col[static_cast<std::size_t>(e->coord)];
      if (to == 0) continue;
      colm_ptr node = nullptr;
      newcolm(&node);
      node->coord = to;
      node->val = nullptr;
      node->next = nullptr;
      if (seestar) {
        node->val = e->val;
        e->val = nullptr;
        quoly_set(1, &e->val);
      } else {
        quoly_assign(e->val, &node->val);
      }
      *u = node;
      u = &node->next;
    }
    *u = nullptr;
  }
  quick_sparse_create(made, let, newrows, newcols, newcols == 1);
  free_quoly(n);
  quoly_set_integer(newrows, n);
}

}  // namespace tavrin
