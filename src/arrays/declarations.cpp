#include "arrays/declarations.h"

#include <cmath>
#include <cstring>

#include "arrays/array_store.h"
#include "core/errors.h"
#include "core/globals.h"
#include "lang/expressions.h"
#include "lang/later_services.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

bool is_tok(const char* w) { return std::strcmp(token.name, w) == 0; }

// One exact coordinate: a sum, which must be an integer that fits a word.
std::int32_t exact_coordinate(textptr inf, nameptr* flag, bool creating) {
  ValueCell v;
  old_expre(inf, &v.q, flag);
  if (!v.q->numb) abandon(118, &token);
  const imptr x = v.q->ncoef;
  const std::int32_t k = convert_to_int(x);
  if (k == no_int_value) {
    const bool negative = flotemode ? x->flote < 0
                          : lintmode ? x->lint < 0
                                     : x->head != nullptr && x->head->value < 0;
    abandon(creating && negative ? 314 : 27, &token);
  }
  if (k < 0 && creating) abandon(314, &token);
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
  if (token.name[0] != ending && !is_tok("]")) abandon(61, &token);
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
  long double v = float_factor(inf, flag, 129);
  while (in_iterm_set(token.name[0])) {
    const char op = token.name[0];
    scanner(inf, &token, flag);
    if (is_tok("/")) abandon(340, &token);
    const long double w = float_factor(inf, flag, 68);
    if (op == '*') {
      v *= w;
      continue;
    }
    if (w == 0) abandon(22, &token);
    if (op != '|') {
      v /= w;
      continue;
    }
    const long long a = std::llround(v);
    const long long b = std::llround(w);
    // A divisor that rounds to 0 is refused as a zero divisor.
    if (b == 0) abandon(22, &token);
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
  if (!is_tok("]")) error(61, &token);
}

void create_array(textptr inf, quolyptr n, nameptr* flag) {
  for (;;) {
    scanner(inf, &token, flag);
    const tokentipe name = token;
    if (name.name[0] < 'a' || name.name[0] > 'z') abandon(40, &token);
    if (number_polys > 0 && its_a_polyname(name.name)) abandon(125, &token);
    scanner(inf, &token, flag);
    if (!is_tok("[")) abandon(178, &token);
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
      if (!is_tok("]")) abandon(61, &token);
      if (rows < 0 || cols < 0) abandon(27, &name);
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
