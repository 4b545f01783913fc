// Statements that begin with "%", on the numbered arrays arrstash (a slot
// refers to an array record; it is shared, never copied): binding a slot to
// a named array or to another slot's array, assigning one entry, a scalar
// expression that begins with an entry, and an array expression that begins
// with a slot's whole array (its value to the system array).
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"
#include "arrays/sparse_store.h"
#include "matlang/matrix_expr_impl.h"
#include "matlang/matrix_expressions.h"

namespace tavrin {

using namespace matexpr;

namespace {

// "[" index "]" after "%" (modular arithmetic off for the index): the slot
// from 0; the token after "]" current. Errors 217-221.
std::int32_t read_slot(textptr inf, nameptr* flag) {
  std::int32_t m = 0;
  {
    ValueCell index;
    get_arr_arr(inf, &index.q, flag, &m);
  }
  if (m < 0 || m >= arrstash_slots)
    abandon(index_outside_0_399999_error, &token);  // a resumed report
  scan(inf, flag);
  return m;
}

arrptr filled_slot(std::int32_t k) {
  arrptr q = arrstash[k];
  if (q == nullptr) {
    const tokentipe pct = unstored_token("%");
    abandon(empty_slot_store_arrays_error, &pct);
  }
  return q;
}

// One entry of a slot's array.
struct EntryRef {
  arrptr q = nullptr;
  std::int32_t r = 0;  // the subscripts as typed
  std::int32_t c = 0;
  bool two = false;         // two subscripts written
  quolyptr cell = nullptr;  // dense: the cell; sparse: the entry's value or nil
};

// "[" current: the subscripts through "]", the token after it current.
EntryRef read_entry(textptr inf, nameptr* flag, arrptr q) {
  EntryRef e;
  e.q = q;
  scan(inf, flag);
  evalcoords(inf, &e.r, &e.c, flag, ']', ',', &e.two, false);
  scan(inf, flag);
  std::int32_t r0 = e.r - addresser;
  std::int32_t c0 = e.two ? e.c - addresser : 0;
  if (r0 < 0 || c0 < 0 || (e.two && r0 >= q->rows))
    abandon(subscript_dimension_out_range_error, &token);
  if (q->spar == nullptr) {
    const std::int64_t k =
        static_cast<std::int64_t>(q->start) + r0 + static_cast<std::int64_t>(c0) * q->rows;
    if (k < q->start || k > q->stop) abandon(subscript_dimension_out_range_error, &token);
    e.cell = arp_cell(static_cast<std::int32_t>(k));
    return e;
  }
  if (!e.two) {
    c0 = r0 / q->rows;
    r0 = r0 % q->rows;
  }
  if (c0 + 1 > array_cols(q)) abandon(subscript_dimension_out_range_error, &token);
  colm_ptr t = *sparse_row(q->spar, r0 + 1);
  while (t != nullptr && t->coord < c0 + 1) t = t->next;
  if (t != nullptr && t->coord == c0 + 1) e.cell = &t->val;
  return e;
}

void set_zero(quolyptr n) {
  free_quoly(n);
  quoly_set(0, n);
}

// entry := the sum that follows; the value stays in *n.
void assign_entry(textptr inf, quolyptr n, nameptr* flag, const EntryRef& e) {
  scan(inf, flag);
  if (!is_tok("=")) abandon(equals_expected_error, &token);
  scan(inf, flag);
  free_quoly(n);
  old_expre(inf, n, flag);
  if (e.q->spar == nullptr) {
    free_quoly(e.cell);
    *e.cell = copy_of(*n, false);
  } else if (e.cell == nullptr) {
    sparse_insert(e.r, e.c, e.q, e.two, n);
  } else if (quoly_iszero(*n)) {
    sparse_delete(e.r, e.c, e.q, e.two);
  } else {
    free_quoly(e.cell);
    *e.cell = copy_of(*n, false);
  }
}

// A scalar expression whose first factor is the entry.
void entry_expression(textptr inf, quolyptr n, nameptr* flag, const EntryRef& e) {
  free_quoly(n);
  if (e.cell == nullptr) {
    quoly_set(0, n);
  } else {
    if (*e.cell == nullptr) {
      quoly_set(0, e.cell);
      ++uninit;
      if (uninit < 21) {
        std::printf("Warning. Uninitialized array element in # has been set to 0.\n");
      } else if (uninit == 21) {
        std::printf(" ....etc...\n");
      }
    }
    *n = copy_of(*e.cell, false);
  }
  half_expre(inf, n, flag);
}

// slot k := the array of slot j, or the array named in brackets.
void bind_slot(textptr inf, nameptr* flag, std::int32_t k) {
  scan(inf, flag);
  if (!is_tok("=")) abandon(equals_expected_error, &token);
  scan(inf, flag);
  if (is_tok("%")) {
    const std::int32_t j = read_slot(inf, flag);
    if (!at_statement_end()) abandon(statement_must_end_semicolon_colon_error, &token);
    arrstash[k] = arrstash[j];
  } else if (is_tok("[")) {
    scan(inf, flag);
    tokentipe name = token;
    scan(inf, flag);
    if (!is_tok("]")) abandon(close_bracket_expected_after_index_error, &token);
    scan(inf, flag);
    arrptr q = nullptr;
    fastestlookup(&name, &q);
    if (q == nullptr) abandon(no_such_array_error, &name);
    arrstash[k] = q;
  } else {
    abandon(open_bracket_expected_after_percent_error, &token);
  }
}

// An array expression whose first operand is slot k's array.
void slot_expression(textptr inf, quolyptr n, nameptr* flag, std::int32_t k) {
  arrptr q = filled_slot(k);
  const tokentipe pct = unstored_token("%");
  need_work_array(&pct);
  WorkArrayGuard work(&pct);
  MatValue v(work.get());
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  if (q->spar != nullptr) {
    v.spar = q->spar;
  } else {
    for (std::int32_t j = 0; j < cols; ++j)
      for (std::int32_t i = 0; i < rows; ++i)
        check_and_assign(q->start + i + j * rows,
                         &v.arr->stash[static_cast<std::int64_t>(j) * rows + i]);
  }
  v.arr_free = false;
  v.set_shape(rows, cols);
  v.expect_r = rows;
  v.expect_c = cols;
  arr_expre(inf, v, flag, false);
  if (!v.is_scalar()) {
    fill_syst_array(v.arr, &v.facts, v.arr_free, v.spar, v.rows());
    v.forget();
  }
  set_zero(n);
}

}  // namespace

void arr_arr_state(textptr inf, quolyptr n, nameptr* flag) {
  const std::int32_t k = read_slot(inf, flag);
  if (is_tok("[")) {
    const EntryRef e = read_entry(inf, flag, filled_slot(k));
    if (is_tok(":")) {
      assign_entry(inf, n, flag, e);
    } else {
      entry_expression(inf, n, flag, e);
    }
  } else if (is_tok(":")) {
    bind_slot(inf, flag, k);
    set_zero(n);
  } else {
    slot_expression(inf, n, flag, k);
  }
}

}  // namespace tavrin
