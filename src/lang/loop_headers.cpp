// Loop headers: the loop variable, its bounds and step read as one-limb
// integers with modular arithmetic off, and the setter of the variable.
#include <cmath>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "quoly/quoly_add.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/lang_upcalls.h"
#include "lang/statements.h"
#include "lang/variables.h"

namespace tavrin {

namespace {

constexpr std::int32_t one_limb_max = 268435455;

// One integer expression (a sum of terms) as a machine integer.
std::int32_t obtain_int(textptr inf, nameptr* p, std::int32_t bad) {
  if (integerflag) {
    long double x = 0;
    old_iexpre(&x, p);
    const std::int64_t k = round_real(x);
    if (k > INT32_MAX || k < INT32_MIN) abandon(bad, &token);
    return static_cast<std::int32_t>(k);
  }
  ScopedValue<bool> words(loop_bound_words, true);
  ValueCell v;
  old_term(inf, &v.q, p);
  sum_tail(inf, &v.q, p);
  if (v.q == nullptr || !v.q->numb) abandon(bad, &token);
  // A bound or step that does not fit one limb is refused in every mode
  // (the loop variable holds one limb).
  imptr x = v.q->ncoef;
  if (flotemode) {
    const long double f = x->flote;
    if (!(f > -one_limb_max - 0.5L && f < one_limb_max + 0.5L)) abandon(bad, &token);
    return static_cast<std::int32_t>(std::llroundl(f));
  }
  if (lintmode) {
    if (x->lint > one_limb_max || x->lint < -one_limb_max) abandon(bad, &token);
    return x->lint;
  }
  if (x->size == 0) return 0;
  if (x->size != 1) abandon(bad, &token);
  return x->head->value;
}

// The entry count of an array (a big integer of at most a few limbs).
std::int64_t entries_of(const arrnode* q) {
  std::int64_t v = 0;
  for (numptr l = q->sizearr.head; l != nullptr; l = l->next) v = v * 268435456 + l->value;
  return v;
}

// "[" current: the rows of the nonzero entries of the listed columns of a
// sparse array, merged in increasing order without repeats, as a chain of
// limbs *spcol (nil when there are none).
void read_columns(textptr inf, nameptr* p, numptr* spcol) {
  arrptr q = sparse_loop_array(inf, p);
  const std::int32_t rows = q->rows;
  const std::int64_t cols = rows > 0 ? entries_of(q) / rows : 0;
  for (;;) {
    const std::int32_t col = obtain_int(inf, p, subscript_dimension_not_integer_error);
    if (col - addresser < 0 || col - addresser >= cols)
      abandon(subscript_dimension_out_range_error, &token);
    numptr* link = spcol;
    sparseptr frame = q->spar;
    for (std::int32_t r = 0; r < rows && frame != nullptr; ++r) {
      colm_ptr e = frame->indx[r % sparse_frame_rows];
      while (e != nullptr && e->coord < col - addresser + 1) e = e->next;
      if (e != nullptr && e->coord == col - addresser + 1) {
        const std::int32_t v = r + addresser;
        while (*link != nullptr && (*link)->value < v) link = &(*link)->next;
        if (*link == nullptr || (*link)->value != v) {
          numptr node = new_limb();
          node->value = v;
          node->next = *link;
          *link = node;
        }
      }
      if ((r + 1) % sparse_frame_rows == 0) frame = frame->next;
    }
    if (std::strcmp(token.name, ",") != 0) break;
    scanner(inf, &token, p);
  }
}

void sparse_col_loop(textptr inf, nameptr* p, numptr* spcol) {
  try {
    read_columns(inf, p, spcol);
  } catch (...) {
    free_limb_chain(spcol);
    throw;
  }
}

std::int32_t residue_form(std::int32_t i) {
  return (modularmode && lintmode && i < 0) ? modulus + i : i;
}

}  // namespace

void free_limb_chain(numptr* chain) {
  if (*chain == nullptr) return;
  numptr last = *chain;
  while (last->next != nullptr) last = last->next;
  free_limb_list(*chain, last);
  *chain = nullptr;
}

std::int32_t next_loop_round(const tokentipe& name, std::int32_t init, std::int32_t step,
                             std::int32_t stop, numptr** np, std::int32_t sign) {
  std::int64_t next = static_cast<std::int64_t>(init) + step;
  if (*np != nullptr) {  // the next listed row, or past the end
    next = **np != nullptr ? (**np)->value : static_cast<std::int64_t>(stop) + 1;
    if (**np != nullptr) *np = &(**np)->next;
  }
  const std::int64_t v = next * sign;
  if (v > one_limb_max || v < -one_limb_max) abandon(loop_value_out_range_magnitude_2_error, &name);
  varptr r = find_var(&name);
  if (r == nullptr) {
    quoly val = nullptr;
    quoly_set(0, &val);
    val->next = nullptr;
    insert_var(&name, val, &r);
  }
  adjust(r, static_cast<std::int32_t>(v));
  return static_cast<std::int32_t>(next);
}

void adjust(varptr r, std::int32_t i) {
  if (i > one_limb_max || i < -one_limb_max)
    abandon(loop_value_out_range_magnitude_2_error, &r->let);
  quoly v = r->val;
  if (v != nullptr && v->numb) {
    imptr x = v->ncoef;
    if (flotemode) {
      x->flote = i;
      return;
    }
    if (lintmode) {
      x->lint = residue_form(i);
      return;
    }
    if (x->size == 1) {
      x->head->value = i;
      return;
    }
  }
  // The body left something other than a one-limb number: a fresh number.
  quoly_set(residue_form(i), &r->val);
  r->val->next = nullptr;
  r->val->arr_arg = false;
}

void set_up_for_loop(textptr inf, nameptr* p, varptr* r, std::int32_t* init, std::int32_t* stop,
                     std::int32_t* increm, numptr* spcol, numptr** np) {
  *spcol = nullptr;
  *np = nullptr;
  if (!(token.name[0] >= 'a' && token.name[0] <= 'z'))
    abandon(loop_variable_must_begin_lower_case_error, &token);
  tokentipe oldtok = token;
  scanner(inf, &token, p);
  if (tok_is(":")) {
    scanner(inf, &token, p);
    if (!tok_is("=")) abandon(assign_equals_from_expected_loop_header_error, &token);
  } else if (!tok_is("=") && !tok_is("from") && !tok_is(" from ")) {
    abandon(assign_equals_from_expected_loop_header_error, &token);
  }
  {
    ModularBracket bounds;  // bounds are plain integers in every ring
    scanner(inf, &token, p);
    if (tok_is("[")) {
      sparse_col_loop(inf, p, spcol);
      *increm = 1;
      if (*spcol == nullptr) {
        *init = addresser - 1;
        *stop = -2;
      } else {
        *init = (*spcol)->value;
        *np = &(*spcol)->next;
        numptr last = *spcol;
        while (last->next != nullptr) last = last->next;
        *stop = last->value;
      }
      quoly val = nullptr;
      quoly_set(*init, &val);
      val->next = nullptr;
      insert_var(&oldtok, val, r);
      return;
    }
    *init = obtain_int(inf, p, loop_start_not_one_limb_integer_error);
    if (!tok_is(" to") && !tok_is(",")) abandon(comma_expected_loop_header_error, &token);
    {
      quoly val = nullptr;
      quoly_set(*init, &val);
      val->next = nullptr;
      insert_var(&oldtok, val, r);
    }
    scanner(inf, &token, p);
    *stop = obtain_int(inf, p, loop_end_not_one_limb_integer_error);
    *increm = 1;
    if (tok_is("by")) abandon(comma_expected_loop_header_error, &token);  // typed live: commas only
    if (tok_is(" by") || tok_is(",")) {
      scanner(inf, &token, p);
      *increm = obtain_int(inf, p, loop_step_not_one_limb_integer_error);
    }
  }
  if (modularmode && *init < 0) adjust(*r, *init);  // stored as its residue
}

void CountingLoop::read_header(textptr inf, nameptr* p) {
  varptr var = nullptr;
  set_up_for_loop(inf, p, &var, &init, &stop, &step, &columns.head, &np);
  name = var->let;
  if (step < 0) {
    init = -init;
    stop = -stop;
    step = -step;
    sign = -1;
  }
}

}  // namespace tavrin
