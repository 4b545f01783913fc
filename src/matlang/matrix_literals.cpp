#include "matlang/matrix_literals.h"

#include <cstring>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/poly_readin.h"
#include "lang/statements.h"
#include "arrays/sparse_store.h"
#include "matlang/matrix_expr_impl.h"

namespace tavrin {

using namespace matexpr;

namespace {

// A stored token chain (head node first), given back on every exit.
struct TextHold {
  nameptr head = nullptr;
  ~TextHold() {
    if (head != nullptr) freename(head);
  }
};

bool is_zero(quoly q) { return q == nullptr || quoly_iszero(q); }

// Adds v (used up) to entry c of the row at link t; an entry summing to 0
// is removed, a zero v dropped.
void add_to_row(colm_ptrptr t, std::int32_t c, quoly v) {
  while (*t != nullptr && (*t)->coord < c) t = &(*t)->next;
  if (*t != nullptr && (*t)->coord == c) {
    best_quoly_add(&(*t)->val, v);
    if (is_zero((*t)->val)) free_colm(t);
    return;
  }
  if (is_zero(v)) {
    free_quoly(&v);
    return;
  }
  colm_ptr e = nullptr;
  newcolm(&e);
  e->coord = c;
  e->val = v;
  e->next = *t;
  *t = e;
}

// Fills the fresh matrix of a hold in the order of its positions, row by
// row and each row by increasing column: a value goes after the last entry
// of its row in constant time, a zero value is dropped. The bytes of the
// entries are held to the memory budget as they come (error 250 once past
// it; the hold then gives back what was built).
class RowFill {
 public:
  explicit RowFill(const SparseHold& hold) {
    for (sparseptr f = hold.sp; f != nullptr; f = f->next) frames_.push_back(f);
  }
  // (r, c) from 1, after every position put before; v: consumed.
  void put(std::int32_t r, std::int32_t c, quoly v) {
    if (is_zero(v)) {
      free_quoly(&v);
      return;
    }
    if (r != row_) {
      row_ = r;
      tail_ = &frames_[static_cast<std::size_t>((r - 1) / sparse_frame_rows)]
                   ->indx[(r - 1) % sparse_frame_rows];
      while (*tail_ != nullptr) tail_ = &(*tail_)->next;
    }
    ValueCell held(v);  // until the entry holds it
    colm_ptr e = nullptr;
    newcolm(&e);
    e->coord = c;
    e->val = held.release();
    e->next = nullptr;
    *tail_ = e;
    tail_ = &e->next;
    bytes_ += sparse_entry_bytes(e->val);
    check_sparse_bytes(bytes_);
  }

 private:
  std::vector<sparseptr> frames_;
  std::int32_t row_ = 0;
  colm_ptrptr tail_ = nullptr;
  std::uint64_t bytes_ = 0;
};

// A value read with modular arithmetic off, brought to its residue (a
// number; a residue of 0 is error 359).
void reduce_to_residue(quoly q) {
  if (!modularmode || !q->numb) return;
  std::int64_t w = q->ncoef->lint % modulus;
  if (w < 0) w += modulus;
  if (w == 0) abandon(coefficient_vanishes_modulo_modulus_error, &token);
  q->ncoef->lint = static_cast<std::int32_t>(w);
}

// An integer subscript read as a plain sum (modular arithmetic off) from
// the current token into *cell; false when it is not a number.
bool read_subscript(textptr inf, nameptr* flag, ValueCell& cell, std::int32_t* k) {
  ModularBracket integers;
  old_expre(inf, &cell.q, flag);
  if (!cell.q->numb) return false;
  *k = quoly_convert_to_int(cell.q);
  return true;
}

// The sparse row groups after "[" "[" (the second "[" current). Returns
// false when the text is an ordinary list: the first entry is then in v.n,
// the current token begins the second entry (or is the closing "]"), and
// *eol tells whether a line end was passed after the first entry.
bool sparse_read(textptr inf, MatValue& v, nameptr* flag, bool* eol) {
  const std::int32_t rows = v.expect_r;
  const std::int32_t cols = rows > 0 ? v.expect_c : 0;
  SparseHold hold;
  sparse_init(&hold.sp, rows);
  hold.rows = rows;
  bool first = true;
  for (;;) {  // one row group: "[" r "," pair {"," pair} "]"
    scan(inf, flag);
    ValueCell rq;
    std::int32_t r = 0;
    const bool number = read_subscript(inf, flag, rq, &r);
    const bool inside = number && r >= addresser && r <= rows - 1 + addresser;
    if (first) {
      bool ordinary = !inside;
      if (is_tok(",")) {
        spec_scanner(inf, &token, flag, eol);
        if (!is_tok("[")) ordinary = true;
      } else if (is_tok("]")) {
        ordinary = true;
      } else if (!ordinary) {
        abandon(comma_expected_error, &token);
      }
      if (ordinary) {
        if (!is_tok(",") && !is_tok("]") && !number)
          abandon(comma_close_paren_expected_error, &token);
        reduce_to_residue(rq.q);
        free_quoly(&v.n);
        v.n = rq.release();
        return false;
      }
    } else {
      if (!is_tok(",")) abandon(comma_expected_error, &token);
      if (!number) abandon(row_column_not_number_error, &token);
      if (!inside) abandon(subscript_dimension_out_range_error, &token);
      scan(inf, flag);
      if (!is_tok("[")) abandon(open_bracket_expected_before_pair_error, &token);
    }
    for (;;) {  // one pair "[" c "," v "]", the "[" current
      scan(inf, flag);
      ValueCell cq;
      std::int32_t c = 0;
      const bool cnum = read_subscript(inf, flag, cq, &c);
      if (!is_tok(",")) abandon(comma_expected_error, &token);
      if (!cnum) abandon(row_column_not_number_error, &token);
      if (c < addresser || c > cols - 1 + addresser)
        abandon(subscript_dimension_out_range_error, &token);
      scan(inf, flag);
      ValueCell value;
      old_expre(inf, &value.q, flag);
      if (!is_tok("]")) abandon(close_bracket_expected_after_pairs_error, &token);
      add_to_row(sparse_row(hold.sp, r - addresser + 1), c - addresser + 1, value.release());
      first = false;
      scan(inf, flag);
      if (!is_tok(",")) break;
      scan(inf, flag);
      if (!is_tok("[")) abandon(open_bracket_expected_before_pair_error, &token);
    }
    if (!is_tok("]")) abandon(close_bracket_expected_after_pairs_error, &token);
    scan(inf, flag);
    if (is_tok("[")) continue;
    if (!is_tok("]")) abandon(close_bracket_expected_after_pairs_error, &token);
    scan(inf, flag);
    break;
  }
  v.release();
  v.spar = hold.release();
  v.arr_free = true;
  v.set_shape(rows, cols);
  free_quoly(&v.n);
  quoly_set(0, &v.n);
  return true;
}

// The current token appended to the chain after last.
nameptr append_token(nameptr last) {
  last->next = nodes::new_name(token);
  return last->next;
}

// The tokens from the current one up to the bracket that closes `brace`,
// stored as a chain (the closing bracket, current on return, then the end
// marker, so that a replay that reads past the bracket, as a bare "&" at the
// end does, stops there instead of running off the chain).
void obtain_expression(textptr inf, nameptr* flag, char brace, TextHold& text) {
  const char close = brace == '(' ? ')' : ']';
  text.head = nodes::new_name(token);
  nameptr last = text.head;
  std::int32_t depth = 1;
  for (;;) {
    if (is_tok(";") || is_tok(end_marker_name))
      abandon(statement_ended_inside_sum_product_error, &token);
    last = append_token(last);
    if (token.name[0] == brace && token.name[1] == '\0') ++depth;
    if (token.name[0] == close && token.name[1] == '\0' && --depth == 0) break;
    scan(inf, flag);
  }
  tokentipe end{};
  std::memcpy(end.name, end_marker_name, sizeof end_marker_name);
  end.address = -1;
  last->next = nodes::new_name(end);
}

struct Header {
  varptr var = nullptr;
  std::int32_t init = 0;
  std::int32_t stop = 0;
  std::int32_t step = 1;
};

// One header "<" var = first, last [, step] ">": the variable current on
// entry, the token after ">" on return.
Header read_header(textptr inf, nameptr* flag) {
  Header h;
  numptr spcol = nullptr;
  numptr* np = nullptr;
  set_up_for_loop(inf, flag, &h.var, &h.init, &h.stop, &h.step, &spcol, &np);
  if (spcol != nullptr || (h.stop == -2 && h.init == addresser - 1)) {
    free_limb_chain(&spcol);
    abandon(header_over_sparse_column_not_allowed_error, &token);
  }
  if (!is_tok(">")) abandon(greater_expected_after_loop_header_error, &token);
  if (h.init < addresser) abandon(start_value_below_index_origin_error, &token);
  if (h.stop < addresser) abandon(end_value_below_index_origin_error, &token);
  if (h.step < 1) abandon(step_must_least_1_error, &token);
  scan(inf, flag);
  return h;
}

// The stored expression evaluated for the current index values.
quoly replay(textptr inf, const TextHold& text) {
  nameptr cursor = text.head;
  scanner(inf, &token, &cursor);
  ValueCell value;
  old_expre(inf, &value.q, &cursor);
  if (is_tok(end_marker_name)) abandon(statement_ended_inside_sum_product_error, &token);
  if (!is_tok("]")) abandon(close_bracket_expected_24_error, &token);
  return value.release();
}

// Runs the two index loops, handing each value to put(i0, j0) (from 0).
template <class Put>
void run_loops(textptr inf, const TextHold& text, const Header& h1, const Header& h2, Put put) {
  std::int64_t i = h1.init;
  while (i <= h1.stop) {
    std::int64_t j = h2.init;
    while (j <= h2.stop) {
      check_interrupt();
      put(static_cast<std::int32_t>(i - addresser), static_cast<std::int32_t>(j - addresser),
          replay(inf, text));
      j += h2.step;
      if (h2.var != nullptr) adjust(h2.var, static_cast<std::int32_t>(j));
    }
    i += h1.step;
    if (h2.var != nullptr) adjust(h2.var, h2.init);
    adjust(h1.var, static_cast<std::int32_t>(i));
  }
}

}  // namespace

void spec_scanner(textptr inf, tokentipe* tok, nameptr* flag, bool* end_ln_seen) {
  *end_ln_seen = false;
  if (*flag == nullptr && (leftover[0] == '\0' || leftover[0] == ' ')) {
    TextInput& in = **inf;
    for (;;) {
      const int c = in.peek();
      if (c == '\n') {
        if (tt_flag) break;  // the scanner makes it ";"
        in.get();
        *end_ln_seen = true;
      } else if (c == static_cast<unsigned char>(continuation)) {
        in.skip_line();
        semicount = 0;
        *end_ln_seen = true;
      } else if (c != EOF && in_set(throwaways, c)) {
        in.get();
      } else {
        break;
      }
    }
  }
  scanner(inf, tok, flag);
}

bool matrix_list(textptr inf, MatValue& v, nameptr* flag) {
  std::int32_t count = 0;
  std::int32_t row_length = 0;
  bool eol = false;
  bool pending = false;  // the current token already begins the next entry
  v.release();
  v.arr_free = true;
  if (want_sparse) {
    if (sparse_read(inf, v, flag, &eol)) return true;
    v.arr->stash[0] = v.n;
    v.n = nullptr;
    count = 1;
    v.set_shape(1, 1);
    if (eol) row_length = 1;
    pending = !is_tok("]");
  }
  if (count == 0 || pending) {
    for (;;) {
      if (!pending) {
        if (count > 999999) abandon(too_many_entries_more_than_999999_error, &token);
        spec_scanner(inf, &token, flag, &eol);
        if (eol && row_length == 0 && count > 0) row_length = count;
      }
      pending = false;
      v.arr->stash[count] = nullptr;
      ++count;
      v.set_shape(count, 1);
      old_expre(inf, &v.arr->stash[count - 1], flag);
      if (is_tok("]")) break;
      if (!is_tok(",")) abandon(comma_close_paren_expected_error, &token);
    }
  }
  scan(inf, flag);
  if (row_length == 0) row_length = 1;
  if (count % row_length != 0) abandon(entry_count_not_multiple_first_line_error, &token);
  const std::int32_t rows = count / row_length;
  // Typed row by row; stored column by column.
  std::vector<quoly> typed(v.arr->stash, v.arr->stash + count);
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < row_length; ++c)
      v.arr->stash[static_cast<std::int64_t>(c) * rows + r] = typed[r * row_length + c];
  v.set_shape(rows, row_length);
  return false;
}

void diagonal_matrix(textptr inf, MatValue& v, nameptr* flag) {
  const std::int32_t rows = v.expect_r;
  if (rows == 0) abandon(scalar_matrix_size_not_known_error, &token);
  const bool minus = is_tok("-");
  if (minus) scan(inf, flag);
  ValueCell value;
  std::int32_t depth = 0;
  quoly_readin(inf, &value.q, flag, &depth);
  if (minus) {
    quoly neg = nullptr;
    quoly_makeneg(value.q, &neg);
    free_quoly(&value.q);
    value.q = neg;
  }
  if (!is_zero(value.q)) check_sparse_entries(rows, sparse_entry_bytes(value.q));
  v.release();
  SparseHold hold;
  sparse_init(&hold.sp, rows);
  hold.rows = rows;
  if (!is_zero(value.q)) {
    RowFill fill(hold);
    for (std::int32_t i = 1; i <= rows; ++i) {
      quoly copy = nullptr;
      quoly_assign(value.q, &copy);
      copy->next = nullptr;
      fill.put(i, i, copy);
    }
  }
  v.spar = hold.release();
  v.arr_free = true;
  v.set_shape(rows, rows);
}

void generated_matrix(textptr inf, MatValue& v, nameptr* flag) {
  const tokentipe open = token;
  const Header h1 = read_header(inf, flag);
  Header h2;
  h2.init = h2.stop = addresser;
  if (is_tok("<")) {
    scan(inf, flag);
    h2 = read_header(inf, flag);
  }
  TextHold text;
  obtain_expression(inf, flag, '[', text);
  const std::int32_t rows = h1.stop - addresser + 1;
  const std::int32_t cols = h2.stop - addresser + 1;
  const std::int64_t size = static_cast<std::int64_t>(rows) * cols;
  v.release();
  v.arr_free = true;
  if (want_sparse) {
    SparseHold hold;
    sparse_init(&hold.sp, rows);
    hold.rows = rows;
    RowFill fill(hold);  // the loops run through the positions in its order
    run_loops(inf, text, h1, h2, [&](std::int32_t i0, std::int32_t j0, quoly value) {
      fill.put(i0 + 1, j0 + 1, value);
    });
    v.spar = hold.release();
  } else {
    if (size > 1000000) abandon(array_too_large_more_than_1000000_error, &open);
    // Cells the loops do not reach read as 0.
    for (std::int64_t k = 0; k < size; ++k) {
      v.arr->stash[k] = nullptr;
      quoly_set(0, &v.arr->stash[k]);
    }
    v.set_shape(rows, cols);
    run_loops(inf, text, h1, h2, [&](std::int32_t i0, std::int32_t j0, quoly value) {
      quolyptr c = &v.arr->stash[i0 + static_cast<std::int64_t>(j0) * rows];
      free_quoly(c);
      *c = value;
    });
  }
  v.set_shape(rows, cols);
}

void sparse_random(bool again, MatValue& v) {
  const std::int32_t rows = v.expect_r;
  const std::int32_t cols = v.expect_c;
  check_sparse_entries(static_cast<std::int64_t>(rows) * cols, sparse_word_entry_bytes());
  v.release();
  SparseHold hold;
  sparse_init(&hold.sp, rows);
  hold.rows = rows;
  RowFill fill(hold);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (std::int32_t j = 1; j <= cols; ++j) {
      ValueCell value;
      randomize(again, &value.q);
      fill.put(i, j, value.release());
    }
  v.spar = hold.release();
  v.arr_free = true;
  v.set_shape(rows, cols);
}

void sparse_evalquoly(textptr inf, MatValue& v, nameptr* flag) {
  v.make_owned();
  // The values are read at the first entry and kept as a chain for the
  // others; an empty matrix reads them all the same.
  struct HeldPoint {
    quoly q = nullptr;
    ~HeldPoint() { purge_list(&q); }
  } point;
  std::int16_t target = 0;
  bool any = false;
  const std::int32_t rows = v.rows();
  for (std::int32_t r = 1; r <= rows; ++r) {
    colm_ptrptr t = sparse_row(v.spar, r);
    while (*t != nullptr) {
      any = true;
      get_evalquoly(inf, &(*t)->val, &point.q, &target, flag, false, false);
      if (is_zero((*t)->val)) {
        free_colm(t);
      } else {
        t = &(*t)->next;
      }
    }
  }
  if (!any) {
    ValueCell zero;
    quoly_set(0, &zero.q);
    get_evalquoly(inf, &zero.q, &point.q, &target, flag, false, false);
  }
  free_quoly(&v.n);
}

}  // namespace tavrin
