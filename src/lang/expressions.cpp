// Statement expressions: sums, assignments, increments and terms.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "poly/poly_divide.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/charsets.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/variables.h"
#include "lang/written_places.h"

namespace tavrin {

namespace {

using namespace tokens;
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A long double to the nearest integer, halves away from zero, kept in the
// 32-bit range.
std::int32_t nearest_int(long double v) {
  const long double r = std::round(v);
  if (r >= 2147483647.0L) return 2147483647;
  if (r <= -2147483648.0L) return -2147483647 - 1;
  return static_cast<std::int32_t>(r);
}

// The zero test of an assigned number: its integer value (the first limb,
// the word, or the nearest integer) is 0.
bool integer_value_is_zero(imptr x) {
  if (flotemode) return nearest_int(x->flote) == 0;
  if (lintmode) return x->lint == 0;
  return x->head == nullptr || x->head->value == 0;
}

// ---- The increment ------------------------------------------------------------------------

// Adds the amount a to the number x in place, in the current mode, and
// answers its new word (the value changed). Big integers: the amount goes
// to the least significant limb alone; a carry or a borrow it would need
// (a limb of magnitude 2^28 or more, or for two or more limbs a non-zero
// limb against the number's sign) is user error 294, and the number is left
// as it was.
std::int32_t add_to_number(imptr x, std::int32_t a) {
  if (flotemode) {
    x->flote += a;
    x->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(x->lint) +
                                        static_cast<std::uint32_t>(a));
    return nearest_int(x->flote);
  }
  if (modularmode) {
    if (finf && verbose) {
      ++warn_cnt;
      if (warn_cnt < 11)
        std::printf("*** Warning. increment makes no sense over finite field GF(2^n).\n");
    }
    std::int32_t r = a % modulus;
    if (r < 0) r += modulus;
    if (outside_residues(x->lint)) x->lint = integer_image(x->lint);  // a stored integer
    x->lint = mod_add(static_cast<std::uint32_t>(x->lint), static_cast<std::uint32_t>(r), modulus);
    return x->lint;
  }
  if (lintmode) {
    x->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(x->lint) +
                                        static_cast<std::uint32_t>(a));
    return x->lint;
  }
  const std::int64_t limb = static_cast<std::int64_t>(x->tail->value) + a;
  const bool too_big = limb >= limb_base || limb <= -limb_base;
  const bool against_sign = x->size > 1 && limb != 0 && ((limb < 0) != (x->head->value < 0));
  if (too_big || against_sign) {
    error(increment_would_carry_between_limbs_error, &token);
    return x->tail->value;
  }
  x->tail->value = static_cast<std::int32_t>(limb);
  return x->tail->value;
}

// A fresh constant leaf of value a in the current mode.
poly constant_leaf(std::int32_t a) {
  poly p = nullptr;
  if (modularmode && !flotemode) {
    a %= modulus;
    if (a < 0) a += modulus;
  }
  poly_set(a, &p);
  if (flotemode) p->ncoef->flote = a;
  return p;
}

// A variable created for an assignment or increment is removed again when
// an error unwinds through the statement, so a failed statement leaves no
// new name behind.
class NewVariableGuard {
 public:
  explicit NewVariableGuard(varptr v) : v_(v), unwinding_(std::uncaught_exceptions()) {}
  ~NewVariableGuard() {
    if (v_ == nullptr || std::uncaught_exceptions() == unwinding_) return;
    for (varptr* link = &sca_store[var_bucket(&v_->let)]; *link != nullptr; link = &(*link)->next) {
      if (*link == v_) {
        *link = v_->next;
        free_var_record(v_);
        return;
      }
    }
  }
  NewVariableGuard(const NewVariableGuard&) = delete;
  NewVariableGuard& operator=(const NewVariableGuard&) = delete;

 private:
  varptr v_;
  int unwinding_;
};

struct increment_EnvRec {
  std::int32_t* incr;  // the amount
  std::int32_t val;    // the new value of the constant term
};

}  // namespace

// Adds *env->incr to the constant term of the polynomial *n in place,
// descending through pad terms; a missing constant is created (only for a
// non-zero amount), one that becomes zero is unlinked and freed.
void do_poly(poly* n, increment_EnvRec* env) {
  const std::int32_t a = *env->incr;
  poly* link = n;
  for (;;) {
    while (*link != nullptr && !(*link)->numb && (*link)->exp > 0) link = &(*link)->next;
    poly t = *link;
    if (t == nullptr || (!t->numb && t->exp < 0)) {
      if (a != 0) {
        poly c = constant_leaf(a);
        c->next = t;
        *link = c;
      }
      env->val = a;
      return;
    }
    if (!t->numb) {  // a pad: the constant term lies in the lower variable
      link = &t->pcoef;
      continue;
    }
    env->val = add_to_number(t->ncoef, a);
    if (node_iszero(t) && !(link == n && t->next == nullptr)) {
      *link = t->next;
      t->next = nullptr;
      free_poly(&t);
    }
    return;
  }
}

namespace {

// The target of an assignment or increment found again after its right side
// ran, which may have removed variables, arrays or sparse entries: a
// variable that is gone is made again by its name; an array that is gone
// is error 28 with its name, and the statement changes nothing.
void find_target_again(WrittenPlace* target, quolyptr* qp, colm_ptrptr* aux, std::int32_t* colpos) {
  if (target->removals == places_removed || !target->described()) return;
  *qp = current_place(target, true);
  if (target->array == nullptr) return;
  if (*qp == nullptr) abandon(no_such_array_error, &target->name);
  *aux = target->array->spar == nullptr ? nullptr : target->row_head;
  *colpos = target->col;
}

// The amount of an increment (after ":" and "+" or "-", which is current).
std::int32_t increment_amount(textptr inf, quolyptr n, nameptr* flag) {
  const char c = token.name[0];
  if (c != '(' && !is_digit(c) && !(c >= 'a' && c <= 'z')) return 1;
  if (integerflag) not_implemented();  // real floating evaluation of the amount
  quolyptr place = nullptr;
  colm_ptrptr aux = nullptr;
  std::int32_t colpos = 0;
  fact(inf, &place, n, &aux, &colpos, flag, false);
  if (*n == nullptr) {
    if (place == nullptr) {
      quoly_set(0, n);
    } else {
      quoly_assign(*place, n);
    }
  }
  if (!(*n)->numb) {
    error(increment_not_number_error, &token);
    return 0;
  }
  imptr x = (*n)->ncoef;
  if (flotemode) return nearest_int(x->flote);
  if (lintmode) return x->lint;
  if (x->size > 1) {
    error(increment_too_large_error, &token);
    return 0;
  }
  return x->head->value;
}

// ":" "+" or ":" "-" after a place: the increment.
void increment(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
               nameptr* flag) {
  if (*n != nullptr) {  // a computed value is no place
    error(variable_array_element_expected_error, &token);
    *qp = n;
    return;
  }
  const bool down = is_tok("-");
  scan(inf, flag);
  WrittenPlace target = place_of(*qp, *aux);
  std::int32_t a = increment_amount(inf, n, flag);
  find_target_again(&target, qp, aux, colpos);
  if (down) a = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(a));
  if (*qp == nullptr) sparse_zero_set(*aux, *colpos, qp);  // an absent sparse entry
  writable_value(*qp);
  quoly v = **qp;
  std::int32_t result = a;
  if (v->numb) {
    result = add_to_number(v->ncoef, a);
    if (!flotemode && !lintmode && v->ncoef->size > 1) {
      // The statement shows the whole new value of a long number.
      quoly_assign(v, n);
      *qp = n;
      return;
    }
  } else if (v->denom != nullptr) {
    error(rational_function_not_allowed_error, &token);
  } else {
    increment_EnvRec env{&a, 0};
    do_poly(&v->numer, &env);
    result = env.val;
  }
  if (*n == nullptr) quoly_set(0, n);
  setvalue(result, (*n)->ncoef);
  if (*aux != nullptr && result == 0) purge_sparse(*aux, *colpos);
  *qp = n;
}

// A stored token that can change no variable: a digit or ".", a lower-case
// name (a variable or an adjoined one; "for", "if" and "while" would run a
// statement), or an operator or bracket of products, quotients, powers,
// factorials, evaluation at values and derivatives. Never ":" (an
// assignment or increment), a capital (a built-in or function, which may
// assign to its arguments or globals), "?" (a value read from the terminal)
// nor any other sign.
bool named(const tokentipe& t, const char* w) { return std::strcmp(t.name, w) == 0; }

bool harmless_token(const tokentipe& t) {
  const char c = t.name[0];
  if (c >= 'a' && c <= 'z') return !named(t, "for") && !named(t, "if") && !named(t, "while");
  if (t.name[1] != '\0') return false;
  return is_digit(c) || std::strchr(".+-*/\\|^!#()[],\"", c) != nullptr;
}

// The cell of the variable named by the stored token at node, when it is a
// plain variable (not an adjoined one); else nil.
quolyptr variable_cell(nameptr node) {
  const tokentipe& t = node->let;
  if (t.name[0] < 'a' || t.name[0] > 'z') return nullptr;
  for (polypt p = polynames; p != nullptr; p = p->next)
    if (std::strcmp(p->let.name, t.name) == 0) return nullptr;
  if (node->compiled) return node->tipe == one ? node->qp : nullptr;
  varptr v = find_var(&t);
  return v == nullptr ? nullptr : &v->val;
}

// Whether the stored right side at node (its first token, current) is
// "v + t" or "v - t" up to the statement's end, v the variable of cell
// place and t one term of harmless tokens: no "+" or "-" outside brackets,
// no take-over "*name" (a "*" where a factor begins). Evaluating such a t
// changes no variable, so v ± t may be formed in v's cell after t.
bool accumulates_into(nameptr node, quolyptr place) {
  if (variable_cell(node) != place) return false;
  node = node->next;
  if (node == nullptr || !(named(node->let, "+") || named(node->let, "-"))) return false;
  std::int32_t depth = 0;
  bool factor_expected = true;
  bool empty = true;
  for (node = node->next; node != nullptr; node = node->next) {
    const tokentipe& t = node->let;
    if (std::strcmp(t.name, end_marker_name) == 0) return depth == 0 && !empty && !factor_expected;
    if (!harmless_token(t)) return false;
    const char c = t.name[0];
    if ((c == '+' || c == '-') && depth == 0) return false;
    if (c == '*' && factor_expected) return false;  // "*name" moves a variable's value out
    if (c == '(' || c == '[') ++depth;
    if ((c == ')' || c == ']') && --depth < 0) return false;
    factor_expected = t.name[1] == '\0' && std::strchr("+-*/\\|^#([,", c) != nullptr;
    empty = false;
  }
  return false;
}

// v := v ± t for the stored form accumulates_into accepts (the variable
// the current token): t is evaluated first, while v holds its value, and
// then added in v's cell (quoly_add_in_place) instead of to a copy of v;
// where that sum could fail part-way, to a copy as before. The value is
// the same either way; a failing t leaves v alone.
void accumulate(textptr inf, quolyptr place, nameptr* flag) {
  scan(inf, flag);  // the sign
  const bool sub = is_tok("-");
  scan(inf, flag);
  ValueCell t;
  old_term(inf, &t.q, flag);
  quoly term = t.release();
  writable_value(place);
  if (quoly_add_in_place(place, term, sub)) return;
  t.q = term;
  ValueCell sum;
  quoly_assign(*place, &sum.q);
  (sub ? best_quoly_sub : best_quoly_add)(&sum.q, t.release());
  free_quoly(place);
  *place = sum.release();
}

// ":" "=" after a place: the assignment. The value is formed completely
// before the place is written, so a failing right side leaves it alone.
void assignment(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
                nameptr* flag) {
  if (*n != nullptr) {  // a computed value is no place
    error(variable_array_element_expected_error, &token);
    *qp = n;
    return;
  }
  scan(inf, flag);
  if (*flag != nullptr && *aux == nullptr && *qp != nullptr && accumulates_into(*flag, *qp)) {
    accumulate(inf, *qp, flag);
  } else {
    WrittenPlace target = place_of(*qp, *aux);
    ValueCell value;
    old_expre(inf, &value.q, flag);
    find_target_again(&target, qp, aux, colpos);
    if (*qp == nullptr) sparse_zero_set(*aux, *colpos, qp);  // an absent sparse entry
    free_quoly(*qp);
    **qp = value.release();
  }
  quoly stored = **qp;
  const bool zero = stored->numb && integer_value_is_zero(stored->ncoef);
  if (stored->numb) stored->arr_arg = false;
  if (*flag == nullptr) {
    quoly_assign(stored, n);
  } else {
    quoly_set(0, n);
  }
  if (*aux != nullptr && zero) purge_sparse(*aux, *colpos);  // the entry is 0: removed
  *qp = n;
}

}  // namespace

void term(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
          nameptr* flag) {
  fact(inf, qp, n, aux, colpos, flag, false);
  for (;;) {
    const char c = token.name[0];
    if (!in_set(term_set, static_cast<unsigned char>(c)) && !is_letter(c)) return;
    bool explicit_op = c == '*' || c == '\\' || c == '|' || c == '/';
    char op = '*';
    bool nogcd = false;
    if (explicit_op) {
      op = c;
      scan(inf, flag);
    } else if (is_tok("or") || is_tok("and")) {
      return;
    }
    if (*qp == nullptr) quoly_set(0, n);
    if (*n != nullptr) *qp = n;
    if (explicit_op && is_tok("/")) {
      if (op == '/') {
        nogcd = true;
        scan(inf, flag);
      } else {
        error(slash_not_allowed_after_star_backslash_error, &token);
      }
    }
    // Operands lying in variables are held while the right one is read
    // and while the operation runs.
    HeldValues held;
    if (*qp != n) *qp = held.hold(*qp);
    ValueCell right;
    quolyptr right_place = nullptr;
    colm_ptrptr right_aux = nullptr;
    std::int32_t right_col = 0;
    fact(inf, &right_place, &right.q, &right_aux, &right_col, flag, false);
    if (right_place == nullptr) {
      quoly_set(0, &right.q);
      right_place = &right.q;
    } else if (right_place != &right.q) {
      right_place = held.hold(right_place);
    }
    const bool owned = *n != nullptr;
    if (op == '*') {
      if (owned) {
        fast_quoly_mult(n, right_place);
      } else {
        quoly_mult(**qp, *right_place, n);
      }
    } else if (op == '/') {
      if (owned) {
        fast_quoly_quot(n, right_place, nogcd);
      } else {
        quoly_quot(**qp, *right_place, n, nogcd);
      }
    } else {
      ValueCell r;
      quoly_mod_or_div(**qp, *right_place, &r.q, op);
      free_quoly(n);
      *n = r.release();
    }
    *qp = n;
  }
}

namespace {

// After the ":" that follows a typed statement's first term: true when the
// next token begins another statement on the line (it is none of "=", "+",
// "-", "*", ":", ";", "@" and not the line's end), so the ":" ends this
// statement quietly, as at the end of a line: "STrans[s]: s[1,3];". Looks
// ahead without taking the token: blanks are skipped, and line ends too in
// a file, where they are blanks. Stored text keeps ":" inside a statement.
bool statement_follows(textptr inf, nameptr* flag) {
  if (*flag != nullptr) return false;
  int c = static_cast<unsigned char>(leftover[0]);
  if (c == 0) {
    TextInput* in = *inf;
    for (c = in->peek(); c == ' ' || c == '\t' || (!tt_flag && (c == '\n' || c == '\r'));
         c = in->peek())
      in->get();
  }
  if (c == EOF || c == '\n' || c == '\r' || c == continuation) return false;
  return std::strchr("=+-*:;@", c) == nullptr;
}

}  // namespace

void expre(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
           nameptr* flag) {
  NestingLevel level;
  fresh_variable = nullptr;
  term(inf, qp, n, aux, colpos, flag);
  const varptr fresh = fresh_variable;
  fresh_variable = nullptr;
  if (!is_tok(":")) {
    while (is_tok("+") || is_tok("-")) {
      const bool add = is_tok("+");
      scan(inf, flag);
      if (*n == nullptr) {
        if (*qp == nullptr) {
          quoly_set(0, n);
        } else {
          quoly_assign(**qp, n);
        }
      }
      ValueCell fresh;
      quolyptr place = nullptr;
      term(inf, &place, &fresh.q, aux, colpos, flag);
      HeldValues held;  // a sum may poll for an interrupt
      if (place == nullptr) {
        quoly_set(0, &fresh.q);
        place = &fresh.q;
      } else if (place != &fresh.q) {
        place = held.hold(place);
      }
      if (fresh.q == nullptr) {
        if (add) {
          better_quoly_add(*n, *place, n);
        } else {
          better_quoly_sub(*n, *place, n);
        }
      } else if (add) {
        best_quoly_add(n, fresh.release());
      } else {
        best_quoly_sub(n, fresh.release());
      }
      *qp = n;
    }
    if (*n != nullptr) *qp = n;
    return;
  }
  const bool quiet_end = statement_follows(inf, flag);
  if (!quiet_end) scan(inf, flag);
  if (quiet_end || (is_tok(";") && *flag == nullptr)) {
    if (*n == nullptr) {
      if (*qp == nullptr) {
        quoly_set(0, n);
      } else {
        quoly_assign(**qp, n);
      }
    }
    std::strcpy(token.name, ":");
    token.address = -1;
    *qp = n;
  } else if (is_tok("=")) {
    NewVariableGuard created(fresh);
    assignment(inf, qp, n, aux, colpos, flag);
  } else if (is_tok("+") || is_tok("-")) {
    NewVariableGuard created(fresh);
    increment(inf, qp, n, aux, colpos, flag);
  } else {
    error(colon_must_followed_equals_plus_minus_error, &token);
  }
}

}  // namespace tavrin
