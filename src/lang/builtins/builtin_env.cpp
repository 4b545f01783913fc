#include "lang/builtins/builtin_env.h"

#include <cmath>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_repr.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

namespace {

using tokens::is_tok;
void scan(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

// The one cell an argument resolved to: a missing or empty cell gives 0 in
// *n and the cell n.
void resolve_cell(quolyptr* x, quolyptr n) {
  if (*x == nullptr || **x == nullptr) {
    free_quoly(n);
    quoly_set(0, n);
    *x = n;
  }
}

}  // namespace

void read_sum(builtin_func1_EnvRec* env, quolyptr c) {
  free_quoly(c);
  old_expre(env->inf, c, env->flag);
}

void set_result(builtin_func1_EnvRec* env, std::int64_t v) { quoly_set_integer(v, env->n); }

void check_for_paren(builtin_func1_EnvRec* env) {
  scan(env);
  if (!is_tok("(")) abandon(open_paren_expected_177_error, &token);
}

void scanner_expre(builtin_func1_EnvRec* env) {
  scan(env);
  if (is_tok("^")) abandon(caret_not_allowed_error, &token);
  read_sum(env, env->n);
}

void read_with_comma(builtin_func1_EnvRec* env) {
  check_for_paren(env);
  scanner_expre(env);
  if (!is_tok(",")) abandon(comma_expected_error, &token);
  scan(env);
}

void get_the_data(builtin_func1_EnvRec* env, quolyptr* x, quolyptr n, bool look) {
  if (is_tok("^")) {
    scan(env);
    read_quoly_ptr2(env, x, n);
    return;
  }
  if (!look) {
    read_sum(env, n);
    *x = n;
    return;
  }
  free_quoly(n);
  quolyptr qp = nullptr;
  lent_expre(env->inf, &qp, n, env->flag);
  *x = qp == n ? n : env->held.hold(qp);
}

void read_quoly_ptr2(builtin_func1_EnvRec* env, quolyptr* x, quolyptr n) {
  read_target_cell(env, x, n);
  if (*x != n) *x = env->held.hold(*x);
}

void read_target_cell(builtin_func1_EnvRec* env, quolyptr* x, quolyptr n) {
  if (is_tok("^")) scan(env);
  free_quoly(n);
  get_quoly_ptr(x, env->inf, env->flag);
  resolve_cell(x, n);
}

namespace {

void read_one_argument(builtin_func1_EnvRec* env, bool look) {
  check_for_paren(env);
  scan(env);
  get_the_data(env, &env->x, env->n, look);
  if (!is_tok(")")) abandon(close_paren_expected_error, &token);
  scan(env);
}

}  // namespace

void standard_read(builtin_func1_EnvRec* env) { read_one_argument(env, false); }

void look_read(builtin_func1_EnvRec* env) { read_one_argument(env, true); }

void get_level_k(builtin_func1_EnvRec* env, bool negcheck) {
  scan(env);
  std::int32_t k = 0;
  {
    ModularBracket integers;
    ValueCell bound;
    read_sum(env, &bound.q);
    const quoly v = bound.q;
    if (!v->numb) abandon(not_number_error, &token);
    const imptr x = v->ncoef;
    if (flotemode) {
      const long double r = std::floor(x->flote + 0.5L);
      if (!(r > -2147483648.0L && r < 2147483648.0L)) abandon(integer_out_range_error, &token);
      k = static_cast<std::int32_t>(r);
    } else if (lintmode) {
      k = x->lint;
    } else {
      if (x->size > 1) abandon(integer_out_range_error, &token);
      k = x->head == nullptr ? 0 : x->head->value;
    }
  }
  if (negcheck && k < 0) abandon(factor_level_error, &token);
  env->k = k;
}

void check_for_monic_poly(std::int32_t erno, quoly num, std::int16_t* n, std::int32_t* expon,
                          poly* p, poly* t) {
  if (num->numb) abandon(erno, &token);
  if (num->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  *p = num->numer;
  *n = 1;
  *t = nullptr;
  while ((*p)->numb || (*p)->exp == 0) {
    if ((*p)->numb) abandon(negative_exponent_argument_error, &token);
    ++*n;
    *t = *p;
    *p = (*p)->pcoef;
  }
  *expon = (*p)->exp;
  if (*expon < 0) abandon(negative_exponent_argument_error, &token);
  if (!poly_eq_1((*p)->pcoef)) abandon(modulus_not_monic_error, &token);
}

void builtin_func(textptr inf, quolyptr n, nameptr* flag, std::int32_t index) {
  builtin_func1_EnvRec env{};
  env.inf = inf;
  env.flag = flag;
  env.n = n;
  env.see_star = false;
  env.oldm1 = command_int;  // what the built-ins that hold interrupts put back
  // Every exit gives the count's limbs back.
  struct count_release {
    arr_descr* f;
    ~count_release() { special_free(&f->arrsize); }
  } release{&env.arr_facts};
  struct scratch_release {
    builtin_func1_EnvRec* e;
    ~scratch_release() {
      free_quoly(&e->bound);
      free_quoly(&e->copy);
      free_quoly(&e->dum);
    }
  } scratch{&env};
  const builtin_handler handler =
      index >= 0 && index < bi::count ? builtin_table[index].handler : nullptr;
  if (handler == nullptr) not_implemented();
  handler(&env, index);
}

}  // namespace tavrin
