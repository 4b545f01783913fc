#include "arrays/targets.h"

#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "gcd/extended_gcd.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "lang/written_places.h"
#include "arrays/array_store.h"
#include "arrays/builtin_dispatch.h"
#include "arrays/declarations.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

using namespace tokens;
bool is_name(const tokentipe* x, const char* w) { return std::strcmp(x->name, w) == 0; }

// Advances k nodes of the stored chain.
void advance(textptr inf, nameptr* flag, int k) {
  for (; k > 0; --k) scan(inf, flag);
}

// A linked token of a stored body is current.
bool linked(nameptr* flag) { return *flag != nullptr && (*flag)->compiled; }

// The subscripts of an array parameter's element, "[" passed: read by the
// floating rule in every mode, then "]" (error 61) is passed.
void parameter_subscripts(textptr inf, nameptr* flag, std::int32_t* r, std::int32_t* c, bool* two) {
  *r = float_coordinate(inf, flag);
  *c = addresser;
  *two = false;
  if (is_tok(",")) {
    scan(inf, flag);
    *c = float_coordinate(inf, flag);
    *two = true;
  }
  if (!is_tok("]")) abandon(close_bracket_expected_after_subscripts_error, &token);
  scan(inf, flag);
}

// "%" current: the record of the numbered array "%[k]"; "]" stays current.
arrptr numbered_array(textptr inf, nameptr* flag) {
  std::int32_t m = 0;
  {
    ValueCell index;
    get_arr_arr(inf, &index.q, flag, &m);
  }
  if (arrstash == nullptr || m < 0 || m >= arrstash_slots || arrstash[m] == nullptr)
    abandon(empty_slot_store_arrays_error, &token);
  return arrstash[m];
}

}  // namespace

quolyptr parameter_element(const quolyptr binding, std::int32_t r, std::int32_t c, bool two,
                           const tokentipe* x) {
  const arrptr a = reinterpret_cast<arrptr>(binding);
  const std::int64_t start = a->start;
  const std::int64_t rows = a->rows;
  const std::int64_t stop = a->stop;
  std::int64_t i = static_cast<std::int64_t>(r) - addresser + start;
  if (two) i += (static_cast<std::int64_t>(c) - addresser) * rows;
  if (i < start || i > stop || (two && r - addresser >= rows))
    abandon(subscript_dimension_out_range_error, x);
  return arp_cell(static_cast<std::int32_t>(i));
}

void new_get_quoly_ptr(quolyptr* qp, textptr inf, nameptr* flag, bool* spars) {
  *spars = false;
  if (linked(flag)) {
    nameptr node = *flag;
    switch (node->tipe) {
      case one:
        *qp = node->qp;
        advance(inf, flag, 1);
        return;
      case two:
        *qp = node->qp;
        advance(inf, flag, 4);
        return;
      case three: {
        const tokentipe name = node->let;
        advance(inf, flag, 2);
        std::int32_t r = 0;
        std::int32_t c = 0;
        bool both = false;
        parameter_subscripts(inf, flag, &r, &c, &both);
        *qp = parameter_element(node->qp, r, c, both, &name);
        return;
      }
      default: break;
    }
  }
  const tokentipe name = token;
  if (is_name(&name, "<")) abandon(system_array_cannot_target_error, &token);
  const bool numbered = is_name(&name, "%");
  if (!numbered) scan(inf, flag);
  if (!numbered && !is_tok("[") && !is_tok("%")) {
    varptr v = find_var(&name);
    if (v == nullptr) abandon(undefined_variable_error, &name);
    *qp = &v->val;
    return;
  }
  arrptr q = nullptr;
  if (numbered) {
    q = numbered_array(inf, flag);
    scan(inf, flag);
    if (!is_tok("[")) abandon(open_bracket_expected_after_percent_error, &token);
  } else {
    tokentipe key = name;
    fastestlookup(&key, &q);
    if (q == nullptr) abandon(no_such_array_error, &name);
  }
  *spars = q->spar != nullptr;
  scan(inf, flag);
  std::int32_t r = 0;
  std::int32_t c = 0;
  bool both = false;
  evalcoords(inf, &r, &c, flag, ']', ',', &both, false);
  colm_ptrptr aux = nullptr;
  new_array_quoly_ptr(q, &r, &c, both, qp, &q->name, &aux);
  scan(inf, flag);
}

void get_quoly_ptr(quolyptr* qp, textptr inf, nameptr* flag) {
  bool spars = false;
  new_get_quoly_ptr(qp, inf, flag, &spars);
}

void set_quotient(quoly m, textptr inf, nameptr* flag, std::int32_t errno_, char end_char) {
  ValueCell value;  // m until it is stored; freed on every other exit
  value.q = m;
  const tokentipe name = token;
  quolyptr bound = nullptr;
  if (linked(flag)) {
    nameptr node = *flag;
    bound = node->qp;
    if (node->tipe == two) {
      while (*flag != nullptr && std::strcmp((*flag)->let.name, "]") != 0) advance(inf, flag, 1);
    }
    advance(inf, flag, 1);
  } else {
    scan(inf, flag);
  }
  if (number_polys > 0 && its_a_polyname(name.name))
    abandon(name_adjoined_variable_not_allowed_error, &name);
  // The system array as an element target is refused as such.
  if (is_name(&name, "<") && is_tok("[")) abandon(system_array_not_allowed_error, &name);
  if (name.name[0] < 'a' || name.name[0] > 'z')
    abandon(target_must_begin_lower_case_letter_error, &name);
  if (token.name[0] == end_char) {
    if (bound == nullptr) {
      varptr v = nullptr;
      insert_var(&name, value.release(), &v);
    } else {
      quoly q = value.release();
      if (q->numb) q->arr_arg = false;
      free_quoly(bound);
      *bound = q;
    }
  } else if (is_tok("[")) {
    scan(inf, flag);
    std::int32_t r = 0;
    std::int32_t c = 0;
    bool two = false;
    if (integerflag) {
      float_coords(inf, &r, &c, flag, &two);
      if (!is_tok("]")) abandon(close_bracket_expected_after_subscripts_error, &token);
    } else {
      evalcoords(inf, &r, &c, flag, ']', ',', &two, false);
    }
    scan(inf, flag);
    quolyptr cell = nullptr;
    arrptr q = nullptr;
    colm_ptrptr aux = nullptr;
    if (bound != nullptr) {
      cell = parameter_element(bound, r, c, two, &name);
    } else {
      array_seek(&name, &q);
      std::int32_t rr = r;
      std::int32_t cc = c;
      new_array_quoly_ptr(q, &rr, &cc, two, &cell, &name, &aux);
    }
    if (aux == nullptr || (cell != nullptr && !quoly_iszero(value.q))) {
      free_quoly(cell);
      quoly v = value.release();
      if (v->numb) v->arr_arg = false;
      *cell = v;
    } else if (cell != nullptr) {
      sparse_delete(r, c, q, two);
    } else {
      sparse_insert(r, c, q, two, &value.q);
    }
  }
  if (token.name[0] != end_char) abandon(errno_, &token);
}

namespace {

// The cofactors of the extended GCD go to the two targets named next: the
// first followed by ",", the second by ")".
void assign_to_targets(quoly* s, quoly* t, void* inf, nameptr* flag) {
  const textptr in = static_cast<textptr>(inf);
  ValueCell second;
  second.q = *t;
  *t = nullptr;
  const quoly first = *s;
  *s = nullptr;
  set_quotient(first, in, flag, comma_expected_error, ',');
  scanner(in, &token, flag);
  set_quotient(second.release(), in, flag, close_paren_expected_error, ')');
}

}  // namespace

void install_arrays() {
  assign_cofactors = assign_to_targets;
  install_array_builtins();
}

namespace {

// Whether q is a live array: in the table, the system array or an array of
// the arrays store, still with the stamp it had.
bool live_record(arrptr q, std::int32_t stamp) {
  if (q->time != stamp) return false;
  if (q == syst) return true;
  for (arrptr head : arr_store)
    for (arrptr a = head; a != nullptr; a = a->next)
      if (a == q) return true;
  if (arrstash != nullptr)
    for (std::int32_t k = 0; k < arrstash_slots; ++k)
      if (arrstash[k] == q) return true;
  return false;
}

}  // namespace

quolyptr relocate_element(WrittenPlace* w, bool create) {
  const arrptr q = w->array;
  w->row_head = nullptr;
  if (!live_record(q, w->stamp) || q->rows <= 0) return nullptr;
  if (q->spar == nullptr) {
    const std::int64_t i = q->start + w->offset;
    return i > q->stop ? nullptr : arp_cell(static_cast<std::int32_t>(i));
  }
  const std::int64_t row = w->offset % q->rows;
  const std::int64_t col = w->offset / q->rows + 1;
  if (col > array_cols(q)) return nullptr;
  w->row_head = sparse_row(q->spar, static_cast<std::int32_t>(row + 1));
  w->col = static_cast<std::int32_t>(col);
  colm_ptr e = *w->row_head;
  while (e != nullptr && e->coord < col) e = e->next;
  if (e != nullptr && e->coord == col) return &e->val;
  if (!create) return nullptr;
  quolyptr cell = nullptr;
  sparse_zero_set(w->row_head, w->col, &cell);
  return cell;
}

}  // namespace tavrin
