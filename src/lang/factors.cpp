// The factor reader of exact expressions: numbers, names, calls, the prefix
// and bracket forms, and the postfix operators.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "poly/poly_in_place.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_eval_diff.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_power.h"
#include "toplevel/builtins.h"
#include "toplevel/dispatch.h"
#include "toplevel/number_literals.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/builtins/builtin_env.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/functions.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/operator_aliases.h"
#include "lang/statements.h"
#include "lang/variables.h"
#include "lang/written_places.h"

namespace tavrin {

varptr fresh_variable = nullptr;
bool ring_values_lack_limbs = false;

namespace {

// How many statements run as operands of expressions, innermost last.
std::int32_t statement_operands = 0;

// Every number of v carries its limbs (a value of a word or floating ring
// has none).
bool has_all_limbs(quoly v) {
  if (v->numb) return v->ncoef != nullptr && v->ncoef->head != nullptr;
  bool all = true;
  auto check = [&all](imptr x) { all = all && x->head != nullptr; };
  detail::for_each_number(v->numer, check);
  if (v->denom != nullptr) detail::for_each_number(v->denom, check);
  return all;
}

using namespace tokens;
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }
bool is_upper(char c) { return c >= 'A' && c <= 'Z'; }

// *n := the small integer v (0 .. 255) as a value of the current ring.
void set_small(quolyptr n, std::int32_t v) { quoly_set_integer(v, n); }

// Makes the value owned: a value at a place is copied into n (a nil place
// gives 0), or, with `take`, moved out of the place, which is left holding
// the number 1. Afterwards *qp == n.
void own_value(quolyptr* qp, quolyptr n, bool take) {
  if (*n == nullptr) {
    if (*qp == nullptr) {
      quoly_set(0, n);
    } else if (take) {
      take_stored_value(*qp, n);
    } else {
      quoly_assign(**qp, n);
    }
  }
  *qp = n;
}

// The depth (from 1) of the adjoined variable named like the token, or 0.
std::int32_t adjoined_depth(const tokentipe& t) {
  std::int32_t d = 1;
  for (polypt p = polynames; p != nullptr; p = p->next, ++d)
    if (std::strcmp(p->let.name, t.name) == 0) return d;
  return 0;
}

polypt level_record(std::int32_t depth) {
  polypt p = polynames;
  for (std::int32_t d = 1; d < depth; ++d) p = p->next;
  return p;
}

// A number literal: digits, an optional fraction after ".", and in floating
// mode an optional exponent "e" sign digits.
void number_literal(textptr inf, quolyptr n, nameptr* flag) {
  quoly_set(0, n);
  std::int32_t count = 0;
  new_readin(inf, (*n)->ncoef, flag, &count);
  if (is_tok(".")) {
    ValueCell frac;
    get_decimal_part(&frac.q, inf, flag);
    best_quoly_add(n, frac.release());
  }
  if (flotemode && is_tok("e")) {
    scan(inf, flag);
    bool up = true;
    if (is_tok("-")) {
      up = false;
    } else if (!is_tok("+")) {
      error(plus_minus_expected_after_e_error, &token);
    }
    scan(inf, flag);
    number e{};
    new_readin(inf, &e, flag, &count);
    long double k = std::fabs(std::round(e.flote));
    long double p = std::pow(10.0L, k);
    if ((*n)->numb) (*n)->ncoef->flote = up ? (*n)->ncoef->flote * p : (*n)->ncoef->flote / p;
  }
}

// "_" name "(" sum ")": a floating-point function of a number.
void floating_function(textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  const tokentipe name = token;
  scan(inf, flag);
  if (!is_tok("(")) error(open_paren_expected_177_error, &token);
  scan(inf, flag);
  old_expre(inf, n, flag);
  if (!is_tok(")")) error(close_paren_expected_error, &token);
  if (!(*n)->numb) {
    error(not_number_error, &token);
    return;
  }
  scan(inf, flag);
  apply_float_function(name.name, &(*n)->ncoef->flote);
}

// "(" sum ")": the inside is a plain sum (no assignment, no condition).
void do_parens(textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  old_term(inf, n, flag);
  sum_tail(inf, n, flag);
  if (is_tok(")")) {
    scan(inf, flag);
  } else {
    error(close_paren_expected_error, &token);
  }
}

// "<": the previous result; "<[" an element of the system array; "<F" the
// system function.
void previous_result(textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  if (is_tok("[")) {
    if (syst == nullptr || syst->stop == -1) {
      quoly_set(0, n);
      error(system_array_empty_error, &token);
      return;
    }
    tokentipe lt{};
    lt.name[0] = '<';
    lt.address = -1;
    quolyptr qp = nullptr;
    colm_ptrptr t = nullptr;
    std::int32_t colpos = 0;
    new_arretrieve(inf, &lt, flag, &qp, n, &t, &colpos);
    if (qp == nullptr || *qp == nullptr) {
      quoly_set(0, n);
    } else {
      quoly_assign(*qp, n);
    }
    return;
  }
  if (is_tok("F")) {
    if (sys_func == nullptr) {
      quoly_set(0, n);
      error(no_system_function_defined_error, &token);
      return;
    }
    if (*flag != nullptr) {
      quoly_set(0, n);
      error(if_while_not_allowed_error, &token);
      return;
    }
    call_last_sys_func(inf, n);
    scan(inf, flag);
    return;
  }
  if (prevnum == nullptr) {
    quoly_set(0, n);
  } else {
    quoly_assign(prevnum, n);
  }
}

// A lower-case name: an adjoined variable, an array element or a scalar
// variable (created with 0 when ":" follows, so that an assignment or
// increment can fill it).
void named_factor(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
                  nameptr* flag, bool leave_it, bool take) {
  if (number_polys > 0) {
    if (const std::int32_t d = adjoined_depth(token); d > 0) {
      if (take) error(star_not_allowed_before_adjoined_variable_error, &token);
      polypt pt = level_record(d);
      if (pt->p != nullptr && pt->expon == 1) {
        p_q_assign(pt->p, n);
      } else {
        base_quoly(n, d);
      }
      scan(inf, flag);
      *qp = n;
      return;
    }
  }
  if (*flag != nullptr && (*flag)->compiled && ((*flag)->tipe == one || (*flag)->tipe == two)) {
    // A token linked by "Compile": its cell is bound, no lookup.
    const nameptr node = *flag;
    for (int k = node->tipe == one ? 1 : 4; k > 0; --k) scan(inf, flag);
    *qp = node->qp;
    if (**qp == nullptr) quoly_set(0, *qp);
    return;
  }
  const tokentipe name = token;
  scan(inf, flag);
  if (is_tok("[")) {
    new_arretrieve(inf, &name, flag, qp, n, aux, colpos);
    if (*qp == nullptr && !leave_it && !is_tok(":")) {
      quoly_set(0, n);
      *qp = n;
    }
    return;
  }
  retrieve(&name, qp, n, inf, flag);
  if (*qp != nullptr) return;
  if (is_tok(":")) {
    quoly zero = nullptr;
    quoly_set(0, &zero);
    varptr v = nullptr;
    insert_var(&name, zero, &v);
    fresh_variable = v;
    *qp = &v->val;
    locate_variable(v);
    return;
  }
  if (std::strcmp(name.name, "quit") == 0) {
    std::printf(" The quit command is &q.\n");
    quoly_set(0, n);
    *qp = n;
    return;
  }
  quoly_set(0, n);
  *qp = n;
  error(undefined_variable_error, &name);
}

// The factor after a prefix symbol ("$", "-" or "|", the current token) into
// n; returns the place of its value (nil for a missing sparse element).
quolyptr prefixed_factor(textptr inf, quolyptr n, nameptr* flag) {
  scan(inf, flag);
  quolyptr inner = nullptr;
  colm_ptrptr inner_aux = nullptr;
  std::int32_t inner_col = 0;
  fact(inf, &inner, n, &inner_aux, &inner_col, flag, false);
  return inner;
}

// The postfix operators: one of "^", "!", "#", then '"' derivatives.
void postfix(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag, bool take) {
  if (is_tok("^")) {
    // The exponent may change the variable the base lies in.
    HeldValues held;
    if (*qp != n) *qp = held.hold(*qp);
    imptr e = nullptr;
    get_exponent(inf, flag, &e, true);
    own_value(qp, n, false);
    nodes::OwnedInteger exponent(e);
    raise_to_power(n, e);
  } else if (is_tok("!")) {
    own_value(qp, n, false);
    if (!(*n)->numb) {
      free_quoly(n);
      quoly_set(0, n);
      error(factorial_value_not_number_error, &factsign);
      return;
    }
    scan(inf, flag);
    factorial((*n)->ncoef);
  } else if (is_tok("#")) {
    scan(inf, flag);
    own_value(qp, n, take);
    if (!evaluate_after_hash(inf, n, flag)) return;
  }
  while (is_tok("\"")) {
    own_value(qp, n, take);
    quoly_differen_once(n, 1);
    scan(inf, flag);
  }
}

}  // namespace

void fact(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
          nameptr* flag, bool leave_it) {
  NestingLevel level;
  // What runs inside a factor read after another operand of its statement
  // runs as an operand: the operands read before it are held.
  std::optional<StatementOperand> held;
  std::optional<NestingLevel> alias_level;
  if (operand_begun) held.emplace();
  operand_begun = true;
  free_quoly(n);
  *aux = nullptr;
  *qp = nullptr;
  bool take = false;
  if (is_tok("*")) {
    scan(inf, flag);
    if (!is_lower(token.name[0])) {
      error(lower_case_name_expected_after_star_error, &token);
    } else {
      take = true;
    }
  }
  const char c = token.name[0];
  if (is_digit(c)) {
    number_literal(inf, n, flag);
  } else if (is_upper(c)) {
    const std::int32_t index = find_built_in(0, numbuiltins, token.name);
    if (index < 0) {
      const tokentipe name = token;
      // "Compile" runs a function's compiled body: nothing to run at the top.
      if (statcount == 0 && std::strcmp(name.name, "Compile") == 0)
        abandon(compile_outside_function_error, &name);
      evaluate(inf, &name, n, flag);
    } else if (const OperatorAlias* alias = builtin[index].alias) {
      // The operator the name stands for, at the depth and as the operand
      // it has as a factor of its own.
      alias_level.emplace();
      if (!held) held.emplace();
      operator_alias(*alias, inf, qp, n, flag);
    } else {
      builtin_func(inf, n, flag, index);
    }
  } else if (is_lower(c)) {
    named_factor(inf, qp, n, aux, colpos, flag, leave_it, take);
  } else if (const OperatorAlias* alias = find_operator_alias(token.name)) {
    operator_alias(*alias, inf, qp, n, flag);
  } else {
    switch (c) {
      case '!':
      case '&':
      case '?':
      case '@': {
        StatementOperand running;
        parse(inf, n, flag);
        if (*n == nullptr) quoly_set(0, n);
        break;
      }
      case '$': {
        quolyptr inner = prefixed_factor(inf, n, flag);
        own_value(&inner, n, false);
        quoly_great_int(n);
        break;
      }
      case '%': {
        std::int32_t m = 0;
        {
          ValueCell index;
          get_arr_arr(inf, &index.q, flag, &m);
        }
        if (m < 0 || m >= arrstash_slots || arrstash == nullptr || arrstash[m] == nullptr) {
          quoly_set(0, n);
          error(empty_slot_store_arrays_error, &token);
          break;
        }
        scan(inf, flag);
        if (!is_tok("[")) error(open_bracket_expected_after_percent_error, &token);
        spec_arretrieve(inf, flag, arrstash[m], qp, aux, colpos);
        if (*qp == nullptr && !leave_it && !is_tok(":")) quoly_set(0, n);
        break;
      }
      case '\'': {
        tokentipe ch{};
        bool endline = false;
        dumbscanner(inf, &ch, flag, &endline);
        set_small(n, static_cast<unsigned char>(ch.name[0]));
        dumbscanner(inf, &ch, flag, &endline);
        if (std::strcmp(ch.name, "'") != 0) error(character_constant_must_end_quote_error, &ch);
        scan(inf, flag);
        break;
      }
      case '(': do_parens(inf, n, flag); break;
      case '-': {
        quolyptr inner = prefixed_factor(inf, n, flag);
        if (inner == nullptr) {
          quoly_set(0, n);
        } else if (*n != nullptr) {
          quoly_inplace(*n);
        } else {
          quoly_makeneg(*inner, n);
        }
        break;
      }
      case '.': get_decimal_part(n, inf, flag); break;
      case '<': previous_result(inf, n, flag); break;
      case '_':
        if (!flotemode) return;  // no value, nothing read
        floating_function(inf, n, flag);
        break;
      case '|': {
        quolyptr inner = prefixed_factor(inf, n, flag);
        if (!is_tok("|")) error(closing_bar_expected_error, &token);
        own_value(&inner, n, false);
        quoly_abs(*n);
        scan(inf, flag);
        break;
      }
      default:
        quoly_set(0, n);
        *qp = n;
        error(factor_cannot_begin_symbol_error, &token);
        return;
    }
  }
  if (*n != nullptr) *qp = n;
  if (ring_values_lack_limbs && *qp != nullptr && **qp != nullptr && !has_all_limbs(**qp))
    abandon(not_in_this_arithmetic_error, &token);
  postfix(inf, qp, n, flag, take);
}

StatementOperand::StatementOperand() { ++statement_operands; }
StatementOperand::~StatementOperand() { --statement_operands; }

bool statement_as_operand() { return statement_operands > 0; }

void refuse_as_operand() {
  if (statement_as_operand()) abandon(ground_ring_can_change_only_top_error, &token);
}

void refuse_ring_change() {
  if (statement_as_operand() || levels_above_statements > 0)
    abandon(ground_ring_can_change_only_top_error, &token);
}

}  // namespace tavrin
