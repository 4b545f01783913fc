// Conditions of "if" and "while": "or" over "and" over "not", brackets and
// relations between sums. Every operand is evaluated (no short cut).
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "toplevel/charsets.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/statements.h"

namespace tavrin {

std::int64_t conditions_evaluated = 0;

namespace {

constexpr char not_equal = '\xAD';
constexpr char less_equal = '\xB2';
constexpr char greater_equal = '\xB3';

bool at_end_marker() { return std::strcmp(token.name, end_marker_name) == 0; }

bool is_relation_char(char c) {
  return c == '<' || c == '>' || c == '=' || c == not_equal || c == less_equal ||
         c == greater_equal;
}

// A sum of old_term operands into the owned cell v, as a ring value: a
// stored integer of one term (a count, a degree) takes its image modulo p
// as a sum of several terms does.
void condition_sum(textptr inf, nameptr* p, ValueCell& v) {
  old_term(inf, &v.q, p);
  sum_tail(inf, &v.q, p);
  nodes::settle_integer_inplace(v.q);
}

// The value is the number 1.
bool is_one(quoly q) {
  if (q == nullptr || !q->numb) return false;
  imptr x = q->ncoef;
  if (flotemode) return x->flote == 1.0L;
  if (lintmode) return x->lint == 1;
  return x->size == 1 && x->head->value == 1;
}

bool orderable(quoly q) {
  if (q->numb) return true;
  return !lintmode && q->rat;
}

// L op R for an ordering code, both orderable.
bool ordered(quoly l, quoly r, char op) {
  nodes::OwnedNumber pa, pb;  // products, given back at the end
  imptr a = nullptr;
  imptr b = nullptr;
  if (l->numb && r->numb) {
    a = l->ncoef;
    b = r->ncoef;
  } else if (l->numb) {
    fast_mult(l->ncoef, r->denom->ncoef, pa.get());
    a = pa.get();
    b = r->numer->ncoef;
  } else if (r->numb) {
    a = l->numer->ncoef;
    fast_mult(r->ncoef, l->denom->ncoef, pb.get());
    b = pb.get();
  } else {
    fast_mult(l->numer->ncoef, r->denom->ncoef, pa.get());
    fast_mult(l->denom->ncoef, r->numer->ncoef, pb.get());
    a = pa.get();
    b = pb.get();
  }
  switch (op) {
    case '>': return bigger(a, b);
    case '<': return bigger(b, a);
    case greater_equal: return bigger(a, b) || equal(a, b);
    default: return bigger(b, a) || equal(a, b);
  }
}

// The relation after the left sum (its two-token forms folded into one
// code); the token after it is current on return.
char read_relation(textptr inf, nameptr* p) {
  char op = token.name[0];
  scanner(inf, &token, p);
  if (op == '<' && token.name[0] == '=') {
    op = less_equal;
    scanner(inf, &token, p);
  } else if (op == '<' && token.name[0] == '>') {
    op = not_equal;
    scanner(inf, &token, p);
  } else if (op == '>' && tok_is("=")) {
    op = greater_equal;
    scanner(inf, &token, p);
  }
  return op;
}

bool no_relation_end() { return tok_is("]") || tok_is("or") || tok_is("and") || at_end_marker(); }

// Real floating mode: both sides are floating sums, compared as long
// doubles.
bool float_condition(nameptr* p) {
  long double left = 0;
  old_iexpre(&left, p);
  if (!is_relation_char(token.name[0])) {
    if (!no_relation_end()) abandon(relational_operator_expected_condition_error, &token);
    return left == 1.0L;
  }
  const char op = read_relation(&Input, p);
  long double right = 0;
  old_iexpre(&right, p);
  switch (op) {
    case '=': return left == right;
    case not_equal: return !(left == right);
    case '>': return left > right;
    case '<': return left < right;
    case greater_equal: return left >= right;
    default: return left <= right;
  }
}

bool evalcond(textptr inf, nameptr* p) {
  ++conditions_evaluated;
  if (integerflag) return float_condition(p);
  ValueCell left;
  condition_sum(inf, p, left);
  if (!is_relation_char(token.name[0])) {
    if (!no_relation_end()) abandon(relational_operator_expected_condition_error, &token);
    return is_one(left.q);
  }
  const tokentipe op_token = token;
  const char op = read_relation(inf, p);
  ValueCell right;
  condition_sum(inf, p, right);
  if (op == '=') return quoly_equal(left.q, right.q);
  if (op == not_equal) return !quoly_equal(left.q, right.q);
  if (!orderable(left.q) || !orderable(right.q))
    abandon(order_comparison_values_not_numbers_error, &op_token);
  return ordered(left.q, right.q, op);
}

bool bool_or(textptr inf, nameptr* p);

bool bool_fact(textptr inf, nameptr* p) {
  if (tok_is("[")) {
    NestingLevel level;
    scanner(inf, &token, p);
    const bool c = bool_expre(inf, p);
    if (!tok_is("]")) abandon(close_bracket_expected_after_condition_error, &token);
    scanner(inf, &token, p);
    return c;
  }
  if (tok_is("not")) {
    NestingLevel level;
    scanner(inf, &token, p);
    return !bool_fact(inf, p);
  }
  return evalcond(inf, p);
}

bool bool_term(textptr inf, nameptr* p) {
  bool c = bool_fact(inf, p);
  while (tok_is("and")) {
    scanner(inf, &token, p);
    const bool d = bool_fact(inf, p);  // evaluated whatever c is
    c = c && d;
  }
  return c;
}

bool bool_or(textptr inf, nameptr* p) {
  bool c = bool_term(inf, p);
  while (tok_is("or")) {
    scanner(inf, &token, p);
    const bool d = bool_term(inf, p);
    c = c || d;
  }
  return c;
}

}  // namespace

bool bool_expre(textptr inf, nameptr* p) {
  NestingLevel level;
  const bool c = bool_or(inf, p);
  if (!tok_is("]") && !at_end_marker()) abandon(condition_must_end_close_bracket_error, &token);
  return c;
}

}  // namespace tavrin
