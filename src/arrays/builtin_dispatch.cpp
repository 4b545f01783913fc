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

namespace tavrin {

namespace {

using tokens::is_tok;
void scan(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

}  // namespace

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

void list_into_array(const tokentipe* name, std::int32_t count, poly* list) {
  insertarr(name, count == 0 ? 1 : count, 2, false);
  if (count > 0) poly_to_array(count, find_array(name)->start, list);
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

using Env = builtin_func1_EnvRec;

// "Func" and "Function": a user function's definition.
void function_definition(Env* env, std::int32_t) {
  scan(env);
  quoly_set(0, env->n);
  if (token.name[0] < 'A' || token.name[0] > 'Z') {
    error(function_name_must_begin_upper_case_error, &token);
    return;
  }
  funcdef(env->inf, env->flag);
}

// The built-ins that run an array statement of their own code.
template <ArrayCode code>
void array_statement_builtin(Env* env, std::int32_t) {
  run_array_statement(code, env->inf, env->n, env->flag);
}

constexpr BuiltinRegistration array_rows[] = {
    {bi::Array, [](Env* env, std::int32_t) { create_array(env->inf, env->n, env->flag); }},
    {bi::Func, function_definition},
    {bi::Function, function_definition},
    // the position of the smallest (or smallest positive) entry
    {bi::Dexmin, array_statement_builtin<ArrayCode::least_entry>},
    // the path search on the operand's labelled matrix
    {bi::Hamilton, array_statement_builtin<ArrayCode::hamilton>},
};

}  // namespace

void install_array_builtins() {
  register_builtins(array_rows);
  install_scalar_builtins();
  install_second_builtins();
}

}  // namespace tavrin
