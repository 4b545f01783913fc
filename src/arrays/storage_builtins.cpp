// Renaming arrays, moving and swapping stored values between variables and
// elements, and turning a dense array sparse. Values move as whole nodes:
// nothing is copied.
#include <cstring>
#include <exception>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/written_places.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/second_builtins.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

using namespace tokens;
bool lower_initial(const tokentipe& t) { return t.name[0] >= 'a' && t.name[0] <= 'z'; }

// A storage place: a cell (variable, dense element, present sparse entry),
// or, cell nil, the absent sparse entry at (row, col).
struct place {
  quolyptr cell = nullptr;
  colm_ptrptr row = nullptr;
  std::int32_t col = 0;
  bool sparse() const { return row != nullptr; }
  bool absent() const { return cell == nullptr; }
  bool nonzero() const { return cell != nullptr && *cell != nullptr && !quoly_iszero(*cell); }
  bool same_as(const place& o) const {
    if (!absent() || !o.absent()) return cell == o.cell;
    return row == o.row && col == o.col;
  }
};

// One place through the factor reader; a factor that only yields a value is
// error 316.
place read_place(textptr inf, nameptr* flag, quolyptr scratch) {
  place p;
  fact(inf, &p.cell, scratch, &p.row, &p.col, flag, true);
  if (p.cell == scratch || (p.cell == nullptr && p.row == nullptr))
    abandon(variable_array_element_expected_error, &token);
  return p;
}

// "(" A "," B, the scratch cells holding what the factor reader leaves.
void read_two_places(textptr inf, nameptr* flag, place* a, place* b, quolyptr s1, quolyptr s2) {
  scan(inf, flag);
  expect("(", open_paren_expected_177_error);
  scan(inf, flag);
  *a = read_place(inf, flag, s1);
  WrittenPlace first = place_of(a->cell, a->row);
  expect(",", comma_expected_error);
  scan(inf, flag);
  *b = read_place(inf, flag, s2);
  // B's subscripts may have removed places: A is found again.
  if (first.removals != places_removed && first.described()) {
    a->cell = place_still_there(&first, false);
    const bool sparse = first.array != nullptr && first.array->spar != nullptr;
    a->row = sparse ? first.row_head : nullptr;
    a->col = sparse ? first.col : 0;
  }
}

// A place after it lost or received a value: a dense number no longer
// stands for an array argument; a sparse entry holding zero is removed.
void tidy(const place& p) {
  if (p.absent()) return;
  if (p.sparse()) {
    if (sparse_val_iszero(*p.cell)) purge_sparse(p.row, p.col);
  } else if (*p.cell != nullptr && (*p.cell)->numb) {
    (*p.cell)->arr_arg = false;
  }
}

// The value at `from` (present) moves into `to` (its cell created when it
// is an absent sparse entry, its old value freed); `from` is left holding 0
// and tidied.
void move_value(place* to, const place& from) {
  if (to->absent()) sparse_zero_set(to->row, to->col, &to->cell);
  free_quoly(to->cell);
  *to->cell = *from.cell;
  *from.cell = nullptr;
  quoly_set(0, from.cell);
  tidy(from);
}

void make_zero(quolyptr c) {
  free_quoly(c);
  quoly_set(0, c);
}

// The statement "(" A "," B ")" of "Move" and "Swap": change(a, b) runs
// unless both name the same place; *n := 0.
template <class Change>
void two_places_statement(textptr inf, quolyptr n, nameptr* flag, Change change) {
  free_quoly(n);
  ValueCell s1, s2;
  place a, b;
  read_two_places(inf, flag, &a, &b, &s1.q, &s2.q);
  if (!a.same_as(b)) change(a, b);
  expect(")", close_paren_expected_error);
  scan(inf, flag);
  free_quoly(n);
  quoly_set(0, n);
}

}  // namespace

void move_storage(textptr inf, quolyptr n, nameptr* flag) {
  two_places_statement(inf, n, flag, [](place& a, place& b) {
    if (b.absent()) {
      if (a.nonzero()) {
        make_zero(a.cell);
        tidy(a);
      }
    } else if (a.absent()) {
      if (b.nonzero()) move_value(&a, b);
    } else {
      if (*b.cell == nullptr) quoly_set(0, b.cell);
      move_value(&a, b);
      tidy(a);
    }
  });
}

void swap_storage(textptr inf, quolyptr n, nameptr* flag) {
  two_places_statement(inf, n, flag, [](place& a, place& b) {
    if (b.absent()) {
      if (a.nonzero()) move_value(&b, a);
    } else if (a.absent()) {
      if (b.nonzero()) move_value(&a, b);
    } else {
      if (*a.cell == nullptr) quoly_set(0, a.cell);
      if (*b.cell == nullptr) quoly_set(0, b.cell);
      const quoly t = *a.cell;
      *a.cell = *b.cell;
      *b.cell = t;
      tidy(a);
      tidy(b);
    }
  });
}

void make_sparse(textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  const bool paren = is_tok("(");
  if (paren) scan(inf, flag);
  expect("[", open_bracket_expected_178_error);
  scan(inf, flag);
  if (is_tok("<")) abandon(system_array_not_allowed_error, &token);
  arrptr q = nullptr;
  array_seek(&token, &q);
  if (q->spar == nullptr && q->time < 0) abandon(array_parameter_cannot_changed_error, &token);
  scan(inf, flag);
  expect("]", close_bracket_expected_24_error);
  if (paren) {
    scan(inf, flag);
    expect(")", close_paren_expected_error);
  }
  scan(inf, flag);
  if (q->spar == nullptr) check_sparse_rows(q->rows);  // the frames its rows will take
  free_quoly(n);
  quoly_set(0, n);
  if (q->spar != nullptr) return;
  newsparse(&q->spar);
  try {
    fill_sparse(q);
  } catch (...) {
    // The array stays dense when the rows could not be built.
    free_frame_list(q->spar, q->spar);
    q->spar = nullptr;
    throw;
  }
}

void namechange(textptr inf, quolyptr, nameptr* flag) {
  // Every error is reported and ends the statement here.
  auto call_error = [](std::int32_t bad, const tokentipe* tok) { error(bad, tok); };
  scan(inf, flag);
  if (!is_tok("[")) return call_error(open_bracket_expected_before_name_error, &token);
  scan(inf, flag);
  tokentipe old = token;
  scan(inf, flag);
  if (*flag != nullptr) {
    while (lower_initial(token)) {
      const std::size_t have = std::strlen(old.name);
      std::strncat(old.name, token.name, sizeof(old.name) - 1 - have);
      scan(inf, flag);
    }
  }
  if (!is_tok("]")) return call_error(close_bracket_expected_after_name_error, &token);
  scan(inf, flag);
  if (!is_tok(":")) return call_error(colon_expected_error, &token);
  scan(inf, flag);
  if (!is_tok("=")) return call_error(equals_expected_error, &token);
  scan(inf, flag);
  if (!is_tok("'")) return call_error(quote_expected_around_new_name_error, &token);
  scan(inf, flag);
  if (!is_tok("[")) return call_error(open_bracket_expected_before_name_error, &token);
  scan(inf, flag);
  if (!lower_initial(token)) return call_error(array_name_expected_lower_case_letter_error, &token);
  const std::int32_t from = hash(old.name, arr_buckets);
  arrptr prev = nullptr;
  arrptr q = arr_store[from];
  while (q != nullptr && std::strcmp(q->name.name, old.name) != 0) {
    prev = q;
    q = q->next;
  }
  if (q == nullptr) return call_error(no_such_array_error, &old);
  if (q->time < 0) return call_error(array_parameter_cannot_renamed_error, &old);
  tokentipe fresh = token;
  scan(inf, flag);
  if (!is_tok("]")) return call_error(close_bracket_expected_after_name_error, &token);
  scan(inf, flag);
  if (!is_tok("'")) return call_error(quote_expected_around_new_name_error, &token);
  (prev == nullptr ? arr_store[from] : prev->next) = q->next;
  fresh.address = hash(fresh.name, arr_buckets);
  q->name = fresh;
  q->next = arr_store[fresh.address];
  arr_store[fresh.address] = q;
  scan(inf, flag);
}

}  // namespace tavrin
