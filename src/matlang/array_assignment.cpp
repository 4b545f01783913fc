// The array statement that begins with an array operand in brackets
// (arr_asstat): an assignment of a matrix or scalar to a whole array, a
// block of one or its diagonal, or an array expression whose first operand
// is that array, whose value goes to the system array.
//
// Cells of a target block: block row r, column c (from 0) is global cell
// start + r + c * total_rows. A value's entries are taken in column-major
// order, so a vector fits a block of the other orientation and a whole
// dense target of the same entry count keeps its own shape.
#include <algorithm>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/dispatch.h"
#include "toplevel/state.h"
#include "lang/operator_aliases.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "matlang/matrix_expr_impl.h"
#include "matlang/matrix_expressions.h"

namespace tavrin {

using namespace matexpr;

namespace {

// What left_side found, and where the value goes.
struct Target {
  arrptr q = nullptr;           // nil: no array of that name yet
  tokentipe name{};             // the naming token ("%" for a numbered array)
  std::int32_t rows = 0;        // block rows (whole array: the array's rows)
  std::int32_t cols = 0;        // block columns
  std::int32_t start = -1;      // first cell of the block; -1: the whole array
  std::int32_t total_rows = 0;  // column stride
  std::int32_t target_rows = 0;
  bool whole() const { return start == -1; }
  bool numbered() const { return std::strcmp(name.name, "%") == 0; }
};

tokentipe word(const char* w) {
  tokentipe t{};
  std::strncpy(t.name, w, sizeof t.name - 1);
  t.address = -1;
  return t;
}

void set_zero(quolyptr n) {
  free_quoly(n);
  quoly_set(0, n);
}

quolyptr cell(std::int32_t k) { return arp_cell(k); }

// Stores the entry k of the dense value v into the cell c: moved when v
// owns it, else copied; the cell's old value is freed.
void store_entry(MatValue& v, std::int64_t k, quolyptr c) {
  free_quoly(c);
  if (v.arr_free) {
    *c = v.arr->stash[k];
    v.arr->stash[k] = nullptr;
  } else {
    *c = copy_of(v.arr->stash[k], false);
  }
}

// The first operand of the expression form: the target's cells (borrowed),
// its rows (borrowed) or a copy of the system array.
void load_target(MatValue& v, const Target& t) {
  arrptr q = t.q;
  if (q == syst) {
    copy_syst(v.arr, syst->rows, &v.spar);
    v.arr_free = true;
    v.set_shape(syst->rows, (syst->stop + 1) / syst->rows);
    return;
  }
  if (q->spar != nullptr) {
    v.spar = q->spar;
    v.arr_free = false;
    v.set_shape(q->rows, array_cols(q));
    return;
  }
  const std::int32_t first = t.whole() ? q->start : t.start;
  const std::int32_t rows = t.whole() ? q->rows : t.target_rows;
  for (std::int32_t j = 0; j < t.cols; ++j)
    for (std::int32_t i = 0; i < rows; ++i)
      check_and_assign(first + i + j * t.total_rows,
                       &v.arr->stash[static_cast<std::int64_t>(j) * rows + i]);
  v.arr_free = false;
  v.set_shape(rows, t.cols);
}

void expression_form(textptr inf, quolyptr n, MatValue& v, nameptr* flag, Target& t, bool diag) {
  if (t.q == nullptr) abandon(no_such_array_error, &t.name);
  if (!t.whole() && t.q->spar != nullptr)
    abandon(sub_array_sparse_array_not_allowed_error, &t.name);
  if (diag) {
    need_work_array(&token);
    WorkArrayGuard work(&token);
    MatValue w(work.get());
    load_target(w, t);
    diagonal_into(v, w);
  } else {
    load_target(v, t);
  }
  // Operands that need a size (a scalar diagonal "[5]", "Rand") take the
  // first operand's.
  v.expect_r = v.rows();
  v.expect_c = v.cols();
  arr_expre(inf, v, flag, false);
  if (!v.is_scalar()) {
    fill_syst_array(v.arr, &v.facts, v.arr_free, v.spar, v.rows());
    v.forget();
  }
  set_zero(n);
}

// A new dense array of the value's shape under the target's name, filled
// with its entries.
void new_dense(MatValue& v, Target& t, std::int32_t rows, std::int32_t cols) {
  insertarr(&t.name, rows, cols, false);
  t.q = find_array(&t.name);
  const std::int64_t m = static_cast<std::int64_t>(rows) * cols;
  for (std::int64_t k = 0; k < m; ++k)
    store_entry(v, k, cell(t.q->start + static_cast<std::int32_t>(k)));
}

// A new sparse array under the target's name holding the value's rows.
void new_sparse(MatValue& v, Target& t, std::int32_t rows, std::int32_t cols) {
  if (rows < 1 || cols < 1) abandon(subscript_dimension_out_range_error, &t.name);
  sparseptr sp = v.spar;
  if (!v.arr_free) {
    sp = nullptr;
    copy_sparse(&v.spar, &sp, rows, false);
  }
  quick_sparse_create(sp, &t.name, rows, cols, false);
  v.forget();
}

void store_sparse(MatValue& v, Target& t) {
  arrptr q = t.q;
  const std::int32_t rows = v.rows();
  const std::int32_t cols = v.cols();
  if (q == nullptr) {
    new_sparse(v, t, rows, cols);
    return;
  }
  if (v.count() != array_entries(q) || rows != q->rows) {
    if (t.numbered()) abandon(element_store_arrays_cannot_reshaped_error, &t.name);
    new_sparse(v, t, rows, cols);
    return;
  }
  if (q->spar == v.spar) {  // the array's own rows: nothing to do
    v.forget();
    return;
  }
  sparseptr sp = v.spar;
  if (!v.arr_free) {
    sp = nullptr;
    copy_sparse(&v.spar, &sp, rows, false);
  }
  if (q->spar == nullptr) {
    // A dense array becomes sparse: its cells are freed and no longer its.
    ++places_removed;
    for (std::int32_t k = q->start; k <= q->stop; ++k) free_quoly(cell(k));
    q->start = 0;
    q->stop = -1;
  } else {
    free_sparse(&q->spar, q->rows, true);
  }
  q->spar = sp;
  v.forget();
}

void store_scalar(MatValue& v, Target& t) {
  arrptr q = t.q;
  if (q == nullptr) {
    insertarr(&t.name, 1, 1, true);
    q = find_array(&t.name);
    *cell(q->start) = copy_of(v.n, false);
    return;
  }
  if (q->spar != nullptr) {
    sparse_set_scalar(q, array_cols(q), v.n);
    return;
  }
  const std::int32_t first = t.whole() ? q->start : t.start;
  const std::int32_t rows = t.whole() ? q->rows : t.target_rows;
  const std::int32_t cols = t.whole() ? array_cols(q) : t.cols;
  for (std::int32_t j = 0; j < cols; ++j)
    for (std::int32_t i = 0; i < rows; ++i) {
      quolyptr c = cell(first + i + j * t.total_rows);
      free_quoly(c);
      *c = copy_of(v.n, false);
    }
}

void store_dense(MatValue& v, Target& t) {
  const std::int32_t rows = v.rows();
  const std::int32_t cols = v.cols();
  const std::int64_t m = v.count();
  if (t.q == nullptr) {
    new_dense(v, t, rows, cols);
    return;
  }
  // A borrowed value may be the target's own cells (rearranged): copies
  // first, so no cell is freed while the value still points at it.
  v.make_owned();
  arrptr q = t.q;
  if (q->spar != nullptr) {
    if (rows != q->rows) abandon(dense_value_into_sparse_array_another_error, &t.name);
    standard_to_sparse(q, v.arr, cols, true);
    // The rows now hold the value's columns: the count follows them.
    set_entry_count(&q->sizearr, m);
    return;
  }
  if (t.whole()) {
    if (m != array_entries(q)) {
      if (t.numbered()) abandon(element_store_arrays_cannot_reshaped_error, &t.name);
      new_dense(v, t, rows, cols);
      return;
    }
    for (std::int64_t k = 0; k < m; ++k)
      store_entry(v, k, cell(q->start + static_cast<std::int32_t>(k)));
    return;
  }
  for (std::int64_t k = 0; k < m; ++k) {
    const std::int32_t i = static_cast<std::int32_t>(k % t.target_rows);
    const std::int32_t j = static_cast<std::int32_t>(k / t.target_rows);
    store_entry(v, k, cell(t.start + i + j * t.total_rows));
  }
}

// The diagonal cells of the block (or whole array) from first, stride
// total_rows, count min(rows, cols): the scalar copied, or the vector's
// entries in order.
void fill_diagonal(MatValue& v, std::int32_t first, std::int32_t total_rows, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    quolyptr c = cell(first + i * total_rows + i);
    if (v.is_scalar()) {
      free_quoly(c);
      *c = copy_of(v.n, false);
    } else if (i < v.count()) {
      store_entry(v, i, c);
    }
  }
}

// A new square array of the vector's length (1 x 1 for a scalar) with the
// vector on its diagonal and 0 elsewhere.
void new_diagonal(MatValue& v, Target& t) {
  const std::int32_t len = v.is_scalar() ? 1 : static_cast<std::int32_t>(v.count());
  insertarr(&t.name, len, len, len == 1);
  t.q = find_array(&t.name);
  for (std::int32_t j = 0; j < len; ++j)
    for (std::int32_t i = 0; i < len; ++i)
      if (i != j) quoly_set(0, cell(t.q->start + i + j * len));
  fill_diagonal(v, t.q->start, len, len);
}

void diag_assignment(MatValue& v, Target& t) {
  if (v.spar != nullptr) {
    const tokentipe d = word("Diag");
    abandon(sparse_array_not_allowed_242_error, &d);
  }
  const std::int64_t len = v.count();
  if (!t.whole() && len != 0 && len != t.target_rows)
    abandon(diag_vector_length_differs_from_rows_error, &token);
  if (t.q == nullptr) {
    new_diagonal(v, t);
    return;
  }
  arrptr q = t.q;
  if (q->spar != nullptr) {
    const tokentipe d = word("Diag");
    abandon(sparse_array_not_allowed_242_error, &d);
  }
  if (!v.is_scalar()) v.make_owned();
  if (t.whole()) {
    if (len != 0 && len != q->rows) {
      if (t.numbered()) abandon(element_store_arrays_cannot_reshaped_error, &t.name);
      new_diagonal(v, t);
      return;
    }
    fill_diagonal(v, q->start, q->rows, std::min(q->rows, array_cols(q)));
    return;
  }
  fill_diagonal(v, t.start, t.total_rows, std::min(t.target_rows, t.cols));
}

void assignment_form(textptr inf, quolyptr n, MatValue& v, nameptr* flag, Target& t, bool diag) {
  if (t.q == syst && syst != nullptr) abandon(system_array_not_allowed_error, &t.name);
  scan(inf, flag);
  if (!is_tok("=")) abandon(equals_expected_error, &token);
  scan(inf, flag);
  if (t.q != nullptr && !t.whole() && t.q->spar != nullptr)
    abandon(sub_array_sparse_array_not_allowed_error, &t.name);
  v.expect_r = t.whole() ? t.rows : t.target_rows;
  v.expect_c = t.cols;
  {
    ScopedValue<bool> sparse_wanted(want_sparse, t.q != nullptr && t.q->spar != nullptr);
    arr_expre(inf, v, flag, true);
  }
  // A statement that cannot end leaves the target as it was.
  if (!at_statement_end()) abandon(statement_must_end_semicolon_colon_error, &token);
  if (diag) {
    diag_assignment(v, t);
  } else if (v.is_scalar()) {
    store_scalar(v, t);
  } else {
    if (!t.whole()) {
      if (v.spar != nullptr) abandon(sub_array_sparse_array_not_allowed_error, &t.name);
      const bool vector_value = v.rows() == 1 || v.cols() == 1;
      const bool vector_block = t.cols == 1 || t.target_rows == 1;
      const bool fits = v.count() == static_cast<std::int64_t>(t.cols) * t.target_rows &&
                        (v.rows() == t.target_rows || (vector_value && vector_block));
      if (!fits) abandon(array_value_does_not_fit_block_error, &t.name);
    }
    if (v.spar != nullptr) {
      store_sparse(v, t);
    } else {
      store_dense(v, t);
    }
  }
  set_zero(n);
}

}  // namespace

void arr_asstat(textptr inf, quolyptr n, MatValue& v, nameptr* flag) {
  bool diag = false;
  if (is_tok("Diag") || is_array_alias(token.name, ArrayCode::diagonal)) {
    scan(inf, flag);
    if (!is_tok("[")) abandon(open_bracket_expected_after_diag_error, &token);
    diag = true;
  }
  Target t;
  std::int32_t firstrow = 0;
  std::int32_t firstcol = 0;
  left_side(inf, &t.q, &t.rows, &t.cols, &t.start, &t.total_rows, &firstrow, &firstcol,
            &t.target_rows, &t.name, flag, true);
  if (is_tok(":")) {
    assignment_form(inf, n, v, flag, t, diag);
  } else {
    expression_form(inf, n, v, flag, t, diag);
  }
}

}  // namespace tavrin
