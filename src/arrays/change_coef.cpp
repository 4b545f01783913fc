// Changing one coefficient of a stored polynomial: the target (a variable,
// an element, or the numerator or denominator of one), the exponents of the
// top variables and the new coefficient are read first; then the term lists
// along the exponents are edited, inserting, replacing or removing the one
// term, so the value keeps its normal form without being rebuilt.
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/variables.h"
#include "lang/written_places.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"
#include "arrays/second_builtins.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

using nodes::is_bare_leaf;
using nodes::new_term;
using nodes::OwnedPoly;

using namespace tokens;

poly constant_leaf(std::int32_t v) {
  quoly q = nullptr;
  quoly_set(v, &q);
  poly p = nullptr;
  quoly_consume(&q, &p);
  return p;
}

// What follows the target: the exponents, ")" ":=" and the new coefficient,
// checked against the levels it must stay below and stripped of their pads.
struct coefficient_change {
  std::vector<std::int32_t> exps;
  nodes::OwnedPoly value;  // the new coefficient, below the given levels
};

// level: the exponents read before (their levels count towards the pads the
// new coefficient must have).
void read_change(textptr inf, nameptr* flag, bool target_empty, std::int16_t level,
                 coefficient_change* ch) {
  while (is_tok(",")) {
    ModularBracket integers;
    ValueCell e;
    scan(inf, flag);
    old_expre(inf, &e.q, flag);
    if (!e.q->numb) abandon(exponent_not_number_error, &token);
    const std::int32_t v = quoly_convert_to_int(e.q);
    if (v == no_int_value) abandon(exponent_not_int_error, &token);
    if (v < 0 && !laurent) abandon(negative_exponent_outside_laurent_mode_166_error, &token);
    // An exponent for a level that has no variable would make a term no
    // display or arithmetic can place.
    if (level + static_cast<std::int32_t>(ch->exps.size()) >= number_polys)
      abandon(more_listed_values_than_variables_error, &token);
    ch->exps.push_back(v);
  }
  expect(")", close_paren_expected_error);
  scan(inf, flag);
  expect(":", colon_expected_error);
  scan(inf, flag);
  expect("=", equals_expected_error);
  scan(inf, flag);
  ValueCell v;
  old_expre(inf, &v.q, flag);
  if (!v.q->numb && v.q->denom != nullptr)
    abandon(value_has_denominator_variable_above_level_error, &token);
  const std::size_t given = static_cast<std::size_t>(level) + ch->exps.size();
  const std::size_t levels = given == 0 ? (target_empty ? 0 : 1) : given;
  if (v.q->numb) {
    quoly_consume(&v.q, ch->value.cell());
    return;
  }
  poly w = v.q->numer;
  for (std::size_t j = 0; j < levels && !w->numb; ++j) {
    if (w->exp != 0 || w->next != nullptr)
      abandon(value_has_denominator_variable_above_level_error, &token);
    w = w->pcoef;
  }
  poly_assign(w, ch->value.cell());
}

// p (taken over, nil for an empty list) at level i with the coefficient of
// the powers exps[i..] replaced by value; the result is never nil.
poly edit(poly p, std::size_t i, const coefficient_change& ch) {
  if (i == ch.exps.size()) {
    free_poly(&p);
    poly r = nullptr;
    poly_assign(ch.value.get(), &r);
    return r;
  }
  struct term {
    std::int32_t e;
    poly c;
  };
  std::vector<term> terms;
  struct release_terms {
    std::vector<term>* t;
    ~release_terms() {
      for (auto& x : *t) free_poly(&x.c);
    }
  } guard{&terms};
  if (p != nullptr && poly_iszero(p)) free_poly(&p);  // zero: no terms
  while (p != nullptr) {
    poly next = p->next;
    p->next = nullptr;
    if (p->numb) {
      terms.push_back({0, p});
    } else {
      terms.push_back({p->exp, p->pcoef});
      p->pcoef = nullptr;
      free_polynode_list(p, p);
    }
    p = next;
  }
  const std::int32_t e = ch.exps[i];
  std::size_t j = 0;
  while (j < terms.size() && terms[j].e > e) ++j;
  if (j == terms.size() || terms[j].e != e) terms.insert(terms.begin() + j, term{e, nullptr});
  terms[j].c = edit(terms[j].c, i + 1, ch);
  if (poly_iszero(terms[j].c)) {
    free_poly(&terms[j].c);
    terms.erase(terms.begin() + j);
  }
  if (terms.empty()) return constant_leaf(0);
  poly head = nullptr;
  for (std::size_t k = terms.size(); k-- > 0;) {
    poly node =
        terms[k].e == 0 && is_bare_leaf(terms[k].c) ? terms[k].c : new_term(terms[k].e, terms[k].c);
    terms[k].c = nullptr;
    node->next = head;
    head = node;
  }
  return head;
}

// The exponent of the first term of p at level 1 (the leading power).
std::int32_t leading_power(poly p) { return p->numb ? 0 : p->exp; }

// p (taken over, nil when empty) with the change applied.
poly apply(poly p, coefficient_change* ch) {
  if (ch->exps.empty()) {
    if (p == nullptr) {
      return ch->value.release();
    }
    ch->exps.push_back(leading_power(p));
  }
  return edit(p, 0, *ch);
}

// *n (nil, a number or a polynomial without denominator) with the change
// applied; a polynomial is edited in place, its numerator's nodes reused.
void edit_value(quolyptr n, coefficient_change* ch) {
  poly p = nullptr;
  if (*n == nullptr) {
    p = apply(nullptr, ch);
  } else if ((*n)->numb) {
    quoly_to_poly(*n, &p);
    p = apply(p, ch);
    free_quoly(n);
  } else {
    writable_value(n);
    poly own = (*n)->numer;
    (*n)->numer = nullptr;
    (*n)->numer = apply(own, ch);
    if (is_bare_leaf((*n)->numer)) polynum_to_quoly(n);
    return;
  }
  use_up_poly(&p, n);
}

void zero_denominator_warning(bool array, const char* name) {
  std::printf(" Warning. A quoly denominator has become 0 due to :\xC2\x8D.\n");
  std::printf(array ? "   An array named %s" : "   A variable named %s", name);
  std::printf(" was involved, and set to 0.\n");
}

}  // namespace

void set_coef(poly* n, textptr inf, nameptr* flag, std::int16_t level) {
  coefficient_change ch;
  read_change(inf, flag, *n == nullptr, level, &ch);
  poly own = *n;
  *n = nullptr;
  if (ch.exps.empty() && level > 0) {  // *n is the coefficient at the levels given before
    free_poly(&own);
    *n = ch.value.release();
    return;
  }
  *n = apply(own, &ch);
}

void quoly_set_coef(quolyptr n, textptr inf, nameptr* flag) {
  // Read first, then *n looked at: the statement read may replace it.
  coefficient_change ch;
  read_change(inf, flag, *n == nullptr, 0, &ch);
  edit_value(n, &ch);
}

void change_coef(textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  expect("(", open_paren_expected_154_error);
  scan(inf, flag);
  const bool numer_part = is_tok("Numer");
  const bool denom_part = is_tok("Denom");
  if (numer_part || denom_part) {
    scan(inf, flag);
    expect("(", open_paren_expected_177_error);
    scan(inf, flag);
  }
  const tokentipe name = token;
  if (name.name[0] < 'a' || name.name[0] > 'z') abandon(target_must_lower_case_name_error, &token);
  scan(inf, flag);

  // The target cell: an element's, a variable's, or none yet (a new
  // variable, an absent sparse entry).
  quolyptr cell = nullptr;
  bool is_array = false;
  colm_ptrptr row = nullptr;
  std::int32_t col = 0;
  if (is_tok("[")) {
    is_array = true;
    scan(inf, flag);
    std::int32_t r = 0, c = 0;
    bool two = false;
    evalcoords(inf, &r, &c, flag, ']', ',', &two, false);
    scan(inf, flag);
    arrptr q = nullptr;
    array_seek(&name, &q);
    new_array_quoly_ptr(q, &r, &c, two, &cell, &name, &row);
    col = c;
  } else if (varptr v = find_var(&name); v != nullptr) {
    cell = &v->val;
    locate_variable(v);
  }
  const bool part = numer_part || denom_part;
  if (part) {
    expect(")", close_paren_expected_error);
    scan(inf, flag);
    if (cell == nullptr || *cell == nullptr) abandon(numer_denom_empty_cell_error, &token);
    if ((*cell)->numb) abandon(numer_denom_number_error, &token);
  } else if (cell != nullptr && *cell != nullptr && !(*cell)->numb && (*cell)->denom != nullptr) {
    abandon(value_has_denominator_choose_numer_denom_error, &name);
  }

  // The exponents and the new coefficient are read before the stored value
  // is touched (the statement read may replace it, or remove the place).
  WrittenPlace target = place_of(cell, row);
  auto find_again = [&] {
    if (target.removals == places_removed || !target.described()) return;
    cell = current_place(&target, false);
    if (is_array && cell == nullptr && target.row_head == nullptr)
      abandon(no_such_array_error, &name);
    if (is_array && target.array->spar != nullptr) {
      row = target.row_head;
      col = target.col;
    }
  };
  ValueCell fresh;
  if (!part) {
    coefficient_change ch;
    read_change(inf, flag, cell == nullptr || *cell == nullptr, 0, &ch);
    find_again();
    edit_value(cell != nullptr ? cell : &fresh.q, &ch);
  } else {
    // A numerator or denominator is edited on a copy of the value, which
    // then gets its normal form.
    quoly_assign(*cell, &fresh.q);
    poly* slot = numer_part ? &fresh.q->numer : &fresh.q->denom;
    if (*slot == nullptr) *slot = constant_leaf(1);
    set_coef(slot, inf, flag, 0);
    if (denom_part && poly_iszero(fresh.q->denom)) {
      zero_denominator_warning(is_array, name.name);
      free_quoly(&fresh.q);
      quoly_set(0, &fresh.q);
    } else if (fresh.q->denom == nullptr) {
      if (is_bare_leaf(fresh.q->numer)) polynum_to_quoly(&fresh.q);
    } else {
      check_quoly(&fresh.q, laurent && denom_part);
    }
    find_again();
  }
  if (is_array && cell == nullptr) sparse_zero_set(row, col, &cell);
  if (cell != nullptr) {
    if (fresh.q != nullptr) {
      free_quoly(cell);
      *cell = fresh.release();
    }
  } else {
    varptr rec = nullptr;
    insert_var(&name, fresh.release(), &rec);
    cell = &rec->val;
  }
  free_quoly(n);
  if (*flag == nullptr) {
    quoly_assign(*cell, n);
  } else {
    quoly_set(0, n);
  }
  if (row != nullptr && sparse_val_iszero(*cell)) purge_sparse(row, col);
}

}  // namespace tavrin
