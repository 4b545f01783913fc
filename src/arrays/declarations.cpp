#include "arrays/declarations.h"

#include <cmath>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "arrays/array_store.h"

namespace tavrin {

namespace {

using namespace tokens;

// One exact coordinate: a sum, which must be an integer that fits a word.
std::int32_t exact_coordinate(textptr inf, nameptr* flag, bool creating) {
  ValueCell v;
  old_expre(inf, &v.q, flag);
  if (!v.q->numb) abandon(subscript_dimension_not_integer_error, &token);
  const imptr x = v.q->ncoef;
  const std::int32_t k = convert_to_int(x);
  if (k == no_int_value) {
    const bool negative = flotemode  ? x->flote < 0
                          : lintmode ? x->lint < 0
                                     : x->head != nullptr && x->head->value < 0;
    abandon(creating && negative ? integer_out_range_error : subscript_dimension_out_range_error,
            &token);
  }
  if (k < 0 && creating) abandon(integer_out_range_error, &token);
  return k;
}

}  // namespace

void evalcoords(textptr inf, std::int32_t* r, std::int32_t* c, nameptr* flag, char ending,
                char separator, bool* c_is_there, bool creating) {
  {
    // Subscripts are ordinary integers in every ring; the bracket is closed
    // on every exit.
    ModularBracket integers;
    if (separator == '~' && token.name[0] == '~') {
      *r = addresser;
    } else {
      *r = exact_coordinate(inf, flag, creating);
    }
    *c = addresser;
    *c_is_there = false;
    if (token.name[0] == separator) {
      scanner(inf, &token, flag);
      if (separator == '~' && (is_tok(",") || is_tok("]"))) {
        *c = -1;
      } else {
        *c = exact_coordinate(inf, flag, creating);
        *c_is_there = true;
      }
    }
  }
  if (token.name[0] != ending && !is_tok("]"))
    abandon(close_bracket_expected_after_subscripts_error, &token);
}

namespace {

// One floating factor; no value is user error `code`.
long double float_factor(textptr inf, nameptr* flag, std::int32_t code) {
  long double buffer = 0;
  long double* place = nullptr;
  (void)inf;
  ifact(&place, &buffer, flag);
  if (place == nullptr) abandon(code, &token);
  return *place;
}

bool in_iterm_set(char ch) { return ch == '*' || ch == '/' || ch == '\\' || ch == '|'; }

long double float_term(textptr inf, nameptr* flag) {
  long double v = float_factor(inf, flag, statement_must_end_semicolon_colon_error);
  while (in_iterm_set(token.name[0])) {
    const char op = token.name[0];
    scanner(inf, &token, flag);
    if (is_tok("/")) abandon(slash_not_allowed_directly_after_operator_error, &token);
    const long double w = float_factor(inf, flag, operand_without_value_error);
    if (op == '*') {
      v *= w;
      continue;
    }
    if (w == 0) abandon(division_by_zero_error, &token);
    if (op != '|') {
      v /= w;
      continue;
    }
    const long long a = std::llround(v);
    const long long b = std::llround(w);
    // A divisor that rounds to 0 is refused as a zero divisor.
    if (b == 0) abandon(division_by_zero_error, &token);
    long long rem = a % b;
    if (pos_mod && rem < 0) rem += b > 0 ? b : -b;
    v = static_cast<long double>(rem);
  }
  return v;
}

}  // namespace

std::int32_t float_coordinate(textptr inf, nameptr* flag) {
  long double sum = float_term(inf, flag);
  while (is_tok("+") || is_tok("-")) {
    const bool add = is_tok("+");
    scanner(inf, &token, flag);
    const long double t = float_term(inf, flag);
    sum = add ? sum + t : sum - t;
  }
  return static_cast<std::int32_t>(std::lround(sum));
}

void float_coords(textptr inf, std::int32_t* r, std::int32_t* c, nameptr* flag, bool* c_is_there) {
  *r = float_coordinate(inf, flag);
  *c = addresser;
  *c_is_there = false;
  if (is_tok(",")) {
    scanner(inf, &token, flag);
    *c = float_coordinate(inf, flag);
    *c_is_there = true;
  }
  if (!is_tok("]")) error(close_bracket_expected_after_subscripts_error, &token);
}

void element_subscripts(textptr inf, nameptr* flag, std::int32_t* r, std::int32_t* c, bool* two) {
  scanner(inf, &token, flag);
  *r = 0;
  *c = 0;
  *two = false;
  if (integerflag) {
    float_coords(inf, r, c, flag, two);
  } else {
    evalcoords(inf, r, c, flag, ']', ',', two, false);
  }
  scanner(inf, &token, flag);
}

void create_array(textptr inf, quolyptr n, nameptr* flag) {
  for (;;) {
    scanner(inf, &token, flag);
    const tokentipe name = token;
    if (name.name[0] < 'a' || name.name[0] > 'z')
      abandon(array_name_expected_lower_case_letter_error, &token);
    if (number_polys > 0 && its_a_polyname(name.name))
      abandon(name_adjoined_variable_not_allowed_error, &token);
    scanner(inf, &token, flag);
    if (!is_tok("[")) abandon(open_bracket_expected_178_error, &token);
    scanner(inf, &token, flag);
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    bool two = false;
    if (integerflag) {
      rows = float_coordinate(inf, flag);
      if (is_tok(",")) {
        scanner(inf, &token, flag);
        cols = float_coordinate(inf, flag);
        two = true;
      }
      if (!is_tok("]")) abandon(close_bracket_expected_after_subscripts_error, &token);
      if (rows < 0 || cols < 0) abandon(subscript_dimension_out_range_error, &name);
    } else {
      evalcoords(inf, &rows, &cols, flag, ']', ',', &two, true);
    }
    scanner(inf, &token, flag);
    if (!two) cols = 1;
    if (is_tok("Sparse")) {
      scanner(inf, &token, flag);
      sparse_create(&name, rows, cols, !two, true);
    } else {
      insertarr(&name, rows, cols, !two);
    }
    new_array = true;
    if (!is_tok(",")) break;
  }
  free_quoly(n);
  quoly_set(0, n);
}

}  // namespace tavrin
