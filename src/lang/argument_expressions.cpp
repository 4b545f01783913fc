// The evaluator of command and built-in arguments (always an owned value),
// exponents and variable heights.
#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/value_holds.h"
#include "poly/poly_divide.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_eval_diff.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "toplevel/charsets.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/builtins/poly_builtins.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/monomial_sums.h"
#include "lang/nesting.h"

namespace tavrin {

namespace {

using namespace tokens;
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One factor: a value computed, or moved out of a variable by the take-over
// form "*name" (which leaves 1 there), is owned in *n and *qp := n; a value
// lying in a variable's cell stays there: *qp := that cell, *n nil.
void lent_factor(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag) {
  const bool take = token.name[0] == '*';
  colm_ptrptr aux = nullptr;
  std::int32_t colpos = 0;
  fact(inf, qp, n, &aux, &colpos, flag, false);
  if (*qp == nullptr) {
    if (*n == nullptr) special_set_quol(n);
    *qp = n;
    return;
  }
  if (*n == nullptr) {
    if (!take) return;
    take_stored_value(*qp, n);
  } else if (take && !quoly_iszero(*n)) {
    std::printf("*** Tavrin error. eatstorage and n <> nil in old_fact.\n");
    std::fflush(stdout);
    error(open_level_code, &blank);
  }
  *qp = n;
}

// The value at *qp made n's own: copied when it lies in a variable's cell.
void own_at(quolyptr* qp, quolyptr n) {
  if (*qp != n) {
    quoly_assign(**qp, n);
    *qp = n;
  }
}

// One factor into *n, always owned: a value at a place is copied, or, in the
// take-over form "*name", moved out of the variable, which is left holding 1.
void take_factor(textptr inf, quolyptr n, nameptr* flag) {
  quolyptr qp = nullptr;
  lent_factor(inf, &qp, n, flag);
  own_at(&qp, n);
}

// The multiplicative tail of a product whose left operand lies at *qp (n,
// or a variable's cell while *n is nil); with `stop_at_words` the names
// "or" and "and" end it. A product reads both operands where they lie,
// held while the right one is read and while they are multiplied; a
// quotient or remainder takes its left operand as n's own first.
void product_tail(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag, bool stop_at_words) {
  for (;;) {
    const char c = token.name[0];
    if (!in_set(term_set, static_cast<unsigned char>(c)) && !is_letter(c)) return;
    char op = '*';
    bool nogcd = false;
    if (c == '*' || c == '\\' || c == '|' || c == '/') {
      op = c;
      scan(inf, flag);
      if (is_tok("/")) {
        if (op == '/') {
          nogcd = true;
          scan(inf, flag);
        } else {
          error(slash_not_allowed_after_star_backslash_error, &token);
        }
      }
    } else {
      if (stop_at_words && (is_tok("or") || is_tok("and"))) return;
      if (stop_at_words && loop_bound_words && (is_tok("to") || is_tok("by"))) return;
    }
    ValueCell t;
    if (op != '*') {
      own_at(qp, n);
      take_factor(inf, &t.q, flag);
      if (op == '/') {
        fast_quoly_quot(n, &t.q, nogcd);
      } else {
        ValueCell r;
        quoly_mod_or_div(*n, t.q, &r.q, op);
        free_quoly(n);
        *n = r.release();
      }
      continue;
    }
    HeldValues held;
    if (*qp != n) *qp = held.hold(*qp);
    quolyptr right = nullptr;
    lent_factor(inf, &right, &t.q, flag);
    if (right != &t.q) right = held.hold(right);
    if (*qp == n) {
      fast_quoly_mult(n, right);
    } else {
      quoly_mult(**qp, *right, n);
      *qp = n;
    }
  }
}

// A product whose value is left where it lies when it is one factor in a
// variable's cell (lent_factor's protocol).
void lent_term(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag) {
  NestingLevel level;
  lent_factor(inf, qp, n, flag);
  product_tail(inf, qp, n, flag, true);
}

// The "+"/"-" terms that follow the left operand at *qp (lent_factor's
// protocol), added as they come; each sum reads its operands where they
// lie, held as in a product.
void lent_sum_tail(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag) {
  while (is_tok("+") || is_tok("-")) {
    const bool add = is_tok("+");
    scan(inf, flag);
    ValueCell t;
    HeldValues held;
    if (*qp != n) *qp = held.hold(*qp);
    quolyptr right = nullptr;
    lent_term(inf, &right, &t.q, flag);
    if (right != &t.q) right = held.hold(right);
    if (*qp != n) {
      (add ? quoly_add : quoly_sub)(**qp, *right, n);
      *qp = n;
    } else if (right == &t.q) {
      (add ? best_quoly_add : best_quoly_sub)(n, t.release());
    } else {
      (add ? better_quoly_add : better_quoly_sub)(*n, *right, n);
    }
  }
}

}  // namespace

void take_stored_value(quolyptr place, quolyptr n) {
  writable_value(place);
  *n = *place;
  *place = nullptr;
  quoly_set(1, place);
  (*place)->arr_arg = false;
}

void sum_tail(textptr inf, quolyptr n, nameptr* flag) {
  quolyptr qp = n;
  lent_sum_tail(inf, &qp, n, flag);
}

bool loop_bound_words = false;

void lent_expre(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag) {
  if (read_monomial_sum(inf, flag, n)) {
    *qp = n;
    return;
  }
  lent_term(inf, qp, n, flag);
  lent_sum_tail(inf, qp, n, flag);
}

void old_expre(textptr inf, quolyptr n, nameptr* flag) {
  quolyptr qp = nullptr;
  lent_expre(inf, &qp, n, flag);
  own_at(&qp, n);
}

void old_term(textptr inf, quolyptr n, nameptr* flag) {
  quolyptr qp = nullptr;
  lent_term(inf, &qp, n, flag);
  own_at(&qp, n);
}

void old_fact(textptr inf, quolyptr n, nameptr* flag) { take_factor(inf, n, flag); }

void half_term(textptr inf, quolyptr n, nameptr* flag) {
  quolyptr qp = n;
  product_tail(inf, &qp, n, flag, false);
}

void half_fact(textptr inf, quolyptr n, nameptr* flag) {
  if (is_tok("^")) {
    imptr e = nullptr;
    get_exponent(inf, flag, &e, true);
    nodes::OwnedInteger exponent(e);
    raise_to_power(n, e);
  } else if (is_tok("!")) {
    if (!(*n)->numb) {
      error(factorial_value_not_number_error, &factsign);
    } else {
      scan(inf, flag);
      factorial((*n)->ncoef);
    }
  } else if (is_tok("#")) {
    scan(inf, flag);
    if (!evaluate_after_hash(inf, n, flag)) return;
  }
  while (is_tok("\"")) {
    quoly_differen_once(n, 1);
    scan(inf, flag);
  }
}

bool evaluate_after_hash(textptr inf, quolyptr n, nameptr* flag) {
  if (!is_tok("[")) {
    ValueCell values;
    std::int16_t target = 0;
    get_evalquoly(inf, n, &values.q, &target, flag, true, false);
  } else if (matrix_eval >= 1) {
    --matrix_eval;
    return false;
  } else {
    poly_at_matrix_into_syst(inf, n, flag);
  }
  return true;
}

void half_expre(textptr inf, quolyptr n, nameptr* flag) {
  const char c = token.name[0];
  if (c == '^' || c == '#' || c == '!' || c == '"') half_fact(inf, n, flag);
  half_term(inf, n, flag);
  sum_tail(inf, n, flag);
}

void install_language() {
  install_poly_builtins();
  read_coef_exponent = [](void* inf, nameptr* flag, quolyptr v) {
    textptr in = static_cast<textptr>(inf);
    scan(in, flag);
    old_expre(in, v, flag);
  };
}

void special_set_quol(quolyptr p) {
  quoly r;
  newquoly(&r);
  r->next = nullptr;
  r->numb = true;
  r->arr_arg = false;
  init_quoly_node(r);
  setvalue(0, r->ncoef);
  *p = r;
}

void get_exponent(textptr inf, nameptr* flag, imptr* m2, bool factor) {
  ModularBracket integers;
  scan(inf, flag);
  // Declared before the cell: an error leaves the cell to be freed in the
  // arithmetic that made it.
  ScopedValue<bool> keep_lint(lintmode), keep_flote(flotemode);
  ScopedValue<bool> guarded(ring_values_lack_limbs,
                            ring_values_lack_limbs || (!factor && (lintmode || flotemode)));
  ValueCell cell;
  if (!factor) {
    lintmode = false;
    flotemode = false;
    old_term(inf, &cell.q, flag);
    sum_tail(inf, &cell.q, flag);
  } else {
    take_factor(inf, &cell.q, flag);
  }
  if (!cell.q->numb) {
    error(exponent_not_number_116_error, &expsign);
    newimag(m2);
    (*m2)->lint = 0;
    (*m2)->flote = 0;
    setvalue(0, *m2);
    return;
  }
  *m2 = cell.q->ncoef;
  cell.q->ncoef = nullptr;
}

void height_next_var(poly* p, std::int16_t* height, std::int32_t err) {
  for (;;) {
    poly t = *p;
    if (t->next != nullptr) {
      error(err, &token);
      return;
    }
    if (t->numb || t->exp != 0) return;
    *p = t->pcoef;
    ++*height;
  }
}

void check_get_height(quoly q, std::int16_t* height, std::int32_t err) {
  if (q->numb || q->denom != nullptr) {
    error(err, &token);
    return;
  }
  *height = 0;
  poly p = q->numer;
  height_next_var(&p, height, err);
  if (p->numb || p->exp != 1 || !poly_eq_1(p->pcoef)) error(err, &token);
}

}  // namespace tavrin
