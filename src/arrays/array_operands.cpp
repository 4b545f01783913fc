#include "arrays/array_operands.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"

namespace tavrin {

namespace {

using namespace tokens;

// One range of subscripts (rows: ending ",", columns: ending "]"), the
// first token of the range current; an open range runs to the last index.
void read_range(textptr inf, nameptr* flag, char ending, std::int32_t count, std::int32_t* first,
                std::int32_t* last) {
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool two = false;
  evalcoords(inf, &r, &c, flag, ending, '~', &two, false);
  *first = r;
  *last = two ? c : (c == -1 ? addresser + count - 1 : r);
}

// The range of one dimension of `count` indices, read unless its ending
// (`ending`: "," for the rows, "]" for the columns) follows at once, when it
// stays the whole dimension. A range outside the array is error `outside`,
// a reversed one error `reversed`, both with the array's name.
void dimension_range(textptr inf, nameptr* flag, const tokentipe* name, char ending,
                     std::int32_t count, std::int32_t* first, std::int32_t* last,
                     std::int32_t outside, std::int32_t reversed) {
  const char end[2] = {ending, '\0'};
  if (!is_tok(end)) read_range(inf, flag, ending, count, first, last);
  if (*first < addresser || *first > count || *last < addresser || *last > addresser + count - 1)
    abandon(outside, name);
  if (*first > *last) abandon(reversed, name);
}

struct block {
  std::int32_t firstrow, lastrow, firstcol, lastcol;
};

// The ranges of q, its "[" current, through their "]".
block read_ranges(textptr inf, nameptr* flag, arrptr q) {
  const std::int32_t rows = q->rows;
  const std::int32_t cols = array_cols(q);
  block b{addresser, addresser + rows - 1, addresser, addresser + cols - 1};
  scan(inf, flag);
  dimension_range(inf, flag, &q->name, ',', rows, &b.firstrow, &b.lastrow,
                  row_range_outside_array_error, row_range_reversed_error);
  if (is_tok(",")) {
    scan(inf, flag);
    dimension_range(inf, flag, &q->name, ']', cols, &b.firstcol, &b.lastcol,
                    column_range_outside_array_error, column_range_reversed_error);
  }
  scan(inf, flag);
  return b;
}

// The first cell of the block: dense, its global index; sparse, the offset.
std::int32_t block_start(arrptr q, const block& b) {
  const std::int32_t base = q->spar == nullptr ? q->start : 0;
  return base + (b.firstrow - addresser) + (b.firstcol - addresser) * q->rows;
}

}  // namespace

void subarray(textptr inf, arrptr q, std::int32_t* start, std::int32_t* rows, std::int32_t* cols,
              std::int32_t* firstrow, std::int32_t* firstcol, std::int32_t* total_rows,
              nameptr* flag) {
  const block b = read_ranges(inf, flag, q);
  *total_rows = q->rows;
  *rows = b.lastrow - b.firstrow + 1;
  *cols = b.lastcol - b.firstcol + 1;
  *firstrow = b.firstrow;
  *firstcol = b.firstcol;
  *start = block_start(q, b);
}

void left_side(textptr inf, arrptr* q, std::int32_t* rows, std::int32_t* cols, std::int32_t* start,
               std::int32_t* total_rows, std::int32_t* firstrow, std::int32_t* firstcol,
               std::int32_t* target_rows, tokentipe* oldtok, nameptr* flag, bool systok) {
  // The cells of a word or floating ring have no limbs to read as big integers.
  if (ring_values_lack_limbs) abandon(not_in_this_arithmetic_error, &token);
  *start = -1;
  *target_rows = 0;
  *firstrow = addresser;
  *firstcol = addresser;
  scan(inf, flag);
  *oldtok = token;
  if (is_tok("<")) {
    if (!systok) abandon(system_array_not_allowed_error, &token);
    if (syst == nullptr || syst->stop == -1) abandon(system_array_empty_error, &token);
    scan(inf, flag);
    if (is_tok("[")) abandon(no_ranges_allowed_system_array_error, &token);
    if (!is_tok("]")) abandon(close_bracket_expected_24_error, &token);
    scan(inf, flag);
    *q = syst;
    *rows = *total_rows = syst->rows;
    *cols = syst->rows > 0 ? (syst->stop + 1) / syst->rows : 0;
    return;
  }
  if (is_tok("%")) {
    std::int32_t m = 0;
    {
      ValueCell index;
      get_arr_arr(inf, &index.q, flag, &m);
    }
    std::strcpy(token.name, "%");
    token.address = -1;
    if (arrstash == nullptr || m < 0 || m >= arrstash_slots || arrstash[m] == nullptr)
      abandon(empty_slot_store_arrays_error, &token);
    *q = arrstash[m];
    *rows = (*q)->rows;
  } else {
    if (token.name[0] < 'a' || token.name[0] > 'z')
      abandon(array_name_must_begin_lower_case_error, &token);
    if (number_polys > 0 && its_a_polyname(token.name))
      abandon(name_adjoined_variable_not_allowed_error, &token);
    fastestlookup(&token, q);  // caches the bucket in the token
    *oldtok = token;
    *rows = *q == nullptr ? 0 : (*q)->rows;
  }
  scan(inf, flag);
  if (!is_tok("[")) {
    *total_rows = *rows;
    *cols = *q == nullptr || *rows == 0 ? 0 : array_cols(*q);
  } else {
    if (*q == nullptr) abandon(ranges_given_after_name_not_array_error, oldtok);
    const block b = read_ranges(inf, flag, *q);
    *total_rows = (*q)->rows;
    *target_rows = b.lastrow - b.firstrow + 1;
    *cols = b.lastcol - b.firstcol + 1;
    *firstrow = b.firstrow;
    *firstcol = b.firstcol;
    *start = block_start(*q, b);
  }
  if (!is_tok("]")) abandon(close_bracket_expected_24_error, &token);
  scan(inf, flag);
}

void arrinsert(const char* x, quolyptr qp, std::int32_t r, std::int32_t c, arrptr q, quolyptr n,
               bool colflag) {
  if (levelcount > 1 && prompt[0] != '\r') std::printf("%1d", static_cast<int>(levelcount));
  if (promptsize > 0) std::printf("%s", prompt);
  if (array_cols(q) < 2 || !colflag) {
    std::printf("%s[%2d] := ", x, static_cast<int>(r));
  } else {
    std::printf("%s[%2d,%2d] := ", x, static_cast<int>(r), static_cast<int>(c));
  }
  std::fflush(stdout);
  ScopedValue<bool> terminal(tt_flag, true);
  leftover[0] = '\0';
  Input->get();  // the line end before the answer
  nameptr answer_cursor = nullptr;
  scanner(&Input, &token, &answer_cursor);
  if (is_tok("@")) return;
  free_quoly(n);
  old_expre(&Input, n, &answer_cursor);
  free_quoly(qp);
  *qp = *n;
  *n = nullptr;
}

void quoted_text_row(textptr inf, nameptr* flag, workptr arr, arr_descr* arf) {
  std::int32_t count = 0;
  for (;;) {
    tokentipe ch{};
    bool endline = false;
    dumbscanner(inf, &ch, flag, &endline);
    if (std::strcmp(ch.name, "'") == 0) break;
    if (count > 999999) {
      set_descr(arf, 1, count);
      free_arr(arr, arf);
      abandon(too_many_entries_more_than_999999_error, &ch);
    }
    arr->stash[count] = nullptr;
    quoly_set_integer(static_cast<unsigned char>(ch.name[0]), &arr->stash[count]);
    ++count;
  }
  scan(inf, flag);
  if (count == 0) abandon(empty_quoted_text_error, &token);
  set_descr(arf, 1, count);
}

namespace {

// "?[name]:char": the typed text after "'" becomes a new 1-row array of its
// character codes.
void load_char_string(textptr inf, const tokentipe* x, nameptr* flag, quolyptr n, tokentipe* stash,
                      char* saveleft) {
  scan(inf, flag);
  *stash = token;
  saveleft[0] = leftover[0];
  saveleft[1] = leftover[1];
  WorkArrayGuard work(x);
  if (!work.taken()) return;
  workptr arr = work.get();
  arr_descr facts{};
  struct release {
    workptr a;
    arr_descr* f;
    ~release() {
      free_arr(a, f);
      special_free(&f->arrsize);
    }
  } owned{arr, &facts};
  if (levelcount > 1) std::printf("%1d", static_cast<int>(levelcount));
  if (promptsize > 0 || prompt[0] == '\r') std::printf("%s", prompt);
  std::printf("[%s] := '", x->name);
  std::fflush(stdout);
  {
    ScopedValue<bool> terminal(tt_flag, true);
    leftover[0] = '\0';
    Input->get();  // the line end before the text
    nameptr text_cursor = nullptr;
    std::strcpy(token.name, "'");
    token.address = -1;
    quoted_text_row(&Input, &text_cursor, arr, &facts);
  }
  const std::int32_t cols = descr_cols(&facts);
  insertarr(x, 1, cols, cols == 1);
  arrptr q = find_array(x);
  for (std::int32_t k = 0; k < cols; ++k) {
    quolyptr cell = arp_cell(q->start + k);
    free_quoly(cell);
    *cell = arr->stash[k];
    arr->stash[k] = nullptr;
  }
  free_quoly(n);
  quoly_set(0, n);
}

}  // namespace

void whole_arrinsert(textptr inf, const tokentipe* x, nameptr* flag, quolyptr n, tokentipe* stash,
                     char* saveleft) {
  // Input into an array rewrites its cells, which an expression reading this
  // statement as an operand may hold: refused there, as a ring change is.
  refuse_as_operand();
  tokentipe name = *x;
  if (std::strcmp(name.name, "<") == 0) abandon(system_array_not_allowed_error, &name);
  arrptr q = nullptr;
  fasterlookup(&name, &q, inf, flag);
  if (q != nullptr) name = q->name;
  scan(inf, flag);
  std::int32_t firstrow = addresser;
  std::int32_t firstcol = addresser;
  std::int32_t rows = q == nullptr ? 0 : q->rows;
  std::int32_t cols = q == nullptr ? 0 : array_cols(q);
  if (is_tok("[")) {
    if (q == nullptr) abandon(no_such_array_error, &name);
    if (q->spar != nullptr) abandon(sparse_array_not_allowed_242_error, &name);
    std::int32_t start = 0;
    std::int32_t total = 0;
    subarray(inf, q, &start, &rows, &cols, &firstrow, &firstcol, &total, flag);
  }
  if (!is_tok("]")) abandon(close_bracket_expected_24_error, &token);
  scan(inf, flag);
  if (!is_tok(end_marker_name) && !is_tok(";") && !is_tok(":"))
    abandon(bad_end_query_statement_error, &token);
  if (is_tok(":")) {
    scan(inf, flag);
    if (!is_tok("char")) abandon(char_expected_after_colon_error, &token);
    load_char_string(inf, &name, flag, n, stash, saveleft);
    return;
  }
  if (q == nullptr) abandon(no_such_array_error, &name);
  if (q->spar != nullptr) abandon(sparse_array_not_allowed_242_error, &name);
  *stash = token;
  saveleft[0] = leftover[0];
  saveleft[1] = leftover[1];
  for (std::int32_t i = firstrow; i < firstrow + rows; ++i) {
    for (std::int32_t j = firstcol; j < firstcol + cols; ++j) {
      const std::int32_t k = q->start + (i - addresser) + (j - addresser) * q->rows;
      ValueCell scratch;
      arrinsert(name.name, arp_cell(k), i, j, q, &scratch.q, true);
      if (is_tok("@")) return;
    }
  }
}

void element_input(textptr inf, const tokentipe* x, nameptr* flag) {
  refuse_as_operand();
  const tokentipe name = *x;
  scan(inf, flag);
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool two = false;
  evalcoords(inf, &r, &c, flag, ']', ',', &two, false);
  scan(inf, flag);
  const tokentipe ending = token;
  const char saveleft[2] = {leftover[0], leftover[1]};
  arrptr q = nullptr;
  quolyptr cell = nullptr;
  lookup(&name, r, c, &q, &cell, two);
  if (q->spar != nullptr) abandon(sparse_array_not_allowed_242_error, &name);
  ValueCell scratch;
  arrinsert(name.name, cell, r, c, q, &scratch.q, two);
  token = ending;
  leftover[0] = saveleft[0];
  leftover[1] = saveleft[1];
}

namespace {

// The whole dense array named next ("[" current); errors 28, 258, 259.
arrptr whole_dense_array(textptr inf, nameptr* flag, tokentipe* name) {
  arrptr q = nullptr;
  std::int32_t rows = 0, cols = 0, start = 0, total = 0, firstrow = 0, firstcol = 0, target = 0;
  left_side(inf, &q, &rows, &cols, &start, &total, &firstrow, &firstcol, &target, name, flag,
            false);
  if (q == nullptr) abandon(no_such_array_error, name);
  if (start != -1) abandon(array_subscript_not_allowed_error, name);
  if (q->spar != nullptr) abandon(sparse_array_not_allowed_259_error, name);
  return q;
}

// The integer a number cell stands for: the nearest integer in floating
// mode, the residue in word arithmetic, else the most significant limb.
std::int32_t cell_integer(imptr x) {
  if (flotemode) {
    const long double r = std::floor(x->flote + 0.5L);
    return r > -2147483648.0L && r < 2147483648.0L ? static_cast<std::int32_t>(r) : 0;
  }
  if (lintmode) return x->lint;
  return x->head == nullptr ? 0 : x->head->value;
}

}  // namespace

void get_from_array(textptr inf, nameptr* flag, std::string* newname) {
  newname->clear();
  tokentipe name{};
  const arrptr q = whole_dense_array(inf, flag, &name);
  for (std::int32_t k = q->start; k <= q->stop && newname->size() < 255; ++k) {
    const quoly v = *arp_cell(k);
    if (v == nullptr) continue;
    if (!v->numb) abandon(array_entry_not_number_error, &name);
    const char ch = static_cast<char>(cell_integer(v->ncoef) & 0xFF);
    if (ch != ' ') newname->push_back(ch);
  }
  if (newname->empty()) std::printf("*** Warning. array [%s] is empty.\n", q->name.name);
}

void get_cut_from_array(textptr inf, nameptr* flag) {
  tokentipe name{};
  const arrptr q = whole_dense_array(inf, flag, &name);
  bool any = false;
  polypt cursor = polynames;
  std::int32_t k = 1;
  for (std::int32_t cell = q->start; cell <= q->stop; ++cell, ++k) {
    const quoly v = *arp_cell(cell);
    if (v == nullptr) continue;  // counts in k, keeps the cursor
    if (!v->numb) {
      error(array_entry_not_number_error, &name);  // resumed: taken as empty
      continue;
    }
    any = true;
    if (cursor == nullptr) break;
    const std::int32_t cut = cell_integer(v->ncoef);
    if (cut >= 6) cursor->polycut = cut;
    if (k == 1) poly_cutoff = cut >= 6 ? cut : 40;
    cursor = cursor->next;
    if (cursor == nullptr || k >= number_polys) break;
  }
  if (!any) std::printf("*** Warning. array [%s] is empty.\n", q->name.name);
}

}  // namespace tavrin
