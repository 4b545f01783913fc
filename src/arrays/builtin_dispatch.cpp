#include "arrays/builtin_dispatch.h"

#include <cassert>
#include <cmath>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_repr.h"
#include "toplevel/builtin_names.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/functions.h"
#include "lang/lang_upcalls.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/declarations.h"
#include "arrays/det_upcalls.h"
#include "arrays/scalar_builtins.h"
#include "arrays/second_builtins.h"
#include "arrays/sparse_store.h"
#include "arrays/targets.h"

namespace tavrin {

namespace {

using tokens::is_tok;
void scan(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

// A sum of terms from the current token into *n (old content freed).
void read_sum(builtin_func1_EnvRec* env, quolyptr n) {
  free_quoly(n);
  old_expre(env->inf, n, env->flag);
}

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

void read_command(builtin_func1_EnvRec* env) {
  check_for_paren(env);
  scan(env);
  if (is_tok("*")) {
    env->see_star = true;
    scan(env);
  }
  if (!is_tok("[")) abandon(open_bracket_expected_178_error, &token);
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, &env->errorname, env->flag, true);
  if (env->q == nullptr) abandon(no_such_array_error, &env->errorname);
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

bool allnumbs(builtin_func1_EnvRec* env) {
  const std::int64_t cells = static_cast<std::int64_t>(env->rows) * env->rows;
  for (std::int64_t k = 0; k < cells; ++k) {
    const quoly v = env->alpha->stash[k];
    if (v == nullptr || !v->numb) return false;
  }
  return true;
}

void finish_1(builtin_func1_EnvRec* env) {
  free_arr(env->alpha, &env->arr_facts);
  free_work();
  special_free(&env->arr_facts.arrsize);
  command_int = env->oldm1;
}

void basic_killden(builtin_func1_EnvRec* env) {
  scan(env);
  quolyptr x = nullptr;
  get_quoly_ptr(&x, env->inf, env->flag);
  if (!is_tok(")")) abandon(close_paren_expected_error, &token);
  env->x = x;
  if (x != nullptr && *x != nullptr && !(*x)->numb && (*x)->denom != nullptr) {
    writable_value(x);
    free_poly(&(*x)->denom);
    (*x)->rat = false;
    const poly nu = (*x)->numer;
    if (nu->numb && nu->next == nullptr) polynum_to_quoly(x);
  }
  scan(env);
}

void array_killden(builtin_func1_EnvRec* env) {
  tokentipe name{};
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, &name, env->flag, true);
  if (env->q == nullptr) abandon(no_such_array_error, &name);
  if (env->start == -1) {
    env->start = env->q->spar == nullptr ? env->q->start : 0;
    env->target_rows = env->total_rows;
  } else if (env->q->spar != nullptr) {
    abandon(sub_array_sparse_array_not_allowed_error, &name);
  }
  killdenoms(env->q->spar, env->start, env->total_rows, env->target_rows, env->cols);
}

void do_int_determ(builtin_func1_EnvRec* env, quolyptr m, std::int32_t val, workptr beta) {
  free_quoly(&env->copy);
  if (env->bound == nullptr) {
    quoly_set(-1, &env->copy);
  } else {
    env->k = 1;
    free_quoly(&env->dum);
    quoly_set(val, &env->dum);
    quoly_assign(env->bound, &env->copy);
    std::int16_t target = 1;
    get_evalquoly(env->inf, &env->copy, &env->dum, &target, env->flag, false, false);
    if (!env->copy->numb) abandon(determinant_bound_not_number_error, &token);
    imptr b = env->copy->ncoef;
    if (b->head != nullptr && b->head->value == 0 && b->size == 1) {
      setvalue(1, b);
    } else if (b->head != nullptr && b->head->value < 0) {
      in_place_neg(b);
    }
  }
  int_determ(m, beta == nullptr ? env->q : nullptr, beta, env->rows, &env->copy);
}

void new_worknode(std::int32_t* p, const tokentipe* x) {
  *p = 0;
  if (first_available > work_pool_size) {
    error(all_20_work_arrays_use_error, x);
    return;
  }
  assert(first_available >= 1);
  enew_worknode(p, x);
}

namespace {

// The built-ins after "MSmith" that the first body serves.
bool first_body_index(std::int32_t index) {
  static constexpr std::int32_t extra[] = {bi::Minors, bi::Monless, bi::Nlcoef, bi::Nmcoef,
                                           bi::Normalize, bi::Ntcoef, bi::Numer, bi::Pdiv,
                                           bi::Pint, bi::Poly, bi::Pseudet, bi::Raise,
                                           bi::Rational, bi::Redrowech, bi::Reverse, bi::Rowreduce,
                                           bi::SDivide, bi::STrans, bi::Smith, bi::Sort,
                                           bi::Splice, bi::Split, bi::Sqfree, bi::Synth, bi::Zcoef};
  if (index <= bi::MSmith) return true;
  for (std::int32_t e : extra)
    if (e == index) return true;
  return false;
}

void builtin_func1(textptr inf, quolyptr n, nameptr* flag, std::int32_t index) {
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
  switch (index) {
    case bi::Array:
      create_array(inf, n, flag);
      return;
    case bi::Func:
    case bi::Function:
      scan(&env);
      quoly_set(0, n);
      if (token.name[0] < 'A' || token.name[0] > 'Z') {
        error(function_name_must_begin_upper_case_error, &token);
        return;
      }
      funcdef(inf, flag);
      return;
    case bi::Dexmin:  // the position of the smallest (or smallest positive) entry
      run_array_statement(ArrayCode::least_entry, inf, n, flag);
      return;
    case bi::Hamilton:  // the path search on the operand's labelled matrix
      run_array_statement(ArrayCode::hamilton, inf, n, flag);
      return;
    default:
      if (!scalar_builtin(&env, index) && !matrix_builtin(&env, index)) not_implemented();
  }
}

}  // namespace

void builtin_func(textptr inf, quolyptr n, nameptr* flag, std::int32_t index) {
  if (first_body_index(index)) {
    builtin_func1(inf, n, flag, index);
  } else {
    builtin_func2(inf, n, flag, index);
  }
}

}  // namespace tavrin
