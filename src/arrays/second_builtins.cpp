#include "arrays/second_builtins.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_quot.h"
#include "toplevel/builtin_names.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/poly_display.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/builtins/coefficients.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/builtin_dispatch.h"
#include "arrays/det_upcalls.h"
#include "arrays/monomial_sets.h"
#include "arrays/targets.h"

namespace tavrin {

namespace {

using Env = builtin_func1_EnvRec;

using tokens::expect;
using tokens::is_tok;
void scan(Env* env) { scanner(env->inf, &token, env->flag); }

bool has_denominator(quoly v) { return !v->numb && v->denom != nullptr; }

// The integer a bound or count argument stands for: floating values rounded,
// the word in single-word arithmetic, else the leading limb.
std::int32_t integer_of(imptr x) {
  if (flotemode) return static_cast<std::int32_t>(std::floor(x->flote + 0.5L));
  if (lintmode) return x->lint;
  return x->head == nullptr ? 0 : x->head->value;
}

// "(" a ")" with "^" refused; the token after ")" current.
void simple_read(Env* env) {
  check_for_paren(env);
  scanner_expre(env);
  expect(")", close_paren_expected_error);
  scan(env);
}

// "(" "[" array operand (no "*" form).
void read_array_operand(Env* env) {
  check_for_paren(env);
  scan(env);
  expect("[", open_bracket_expected_178_error);
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, &env->errorname, env->flag, false);
  if (env->q == nullptr) abandon(no_such_array_error, &env->errorname);
}

// An array named as an argument, read by left_side from its "[": the record
// (nil when no array has the name yet), its first cell (-1 for a whole
// array) and the name. The store arrays "%" are refused.
struct named_array {
  arrptr q = nullptr;
  std::int32_t start = 0;
  tokentipe name{};
};

named_array read_named_array(Env* env) {
  expect("[", open_bracket_expected_178_error);
  named_array a;
  std::int32_t rows = 0, cols = 0, total_rows = 0, firstrow = 0, firstcol = 0, target_rows = 0;
  left_side(env->inf, &a.q, &rows, &cols, &a.start, &total_rows, &firstrow, &firstcol, &target_rows,
            &a.name, env->flag, false);
  if (std::strcmp(a.name.name, "%") == 0) abandon(store_arrays_percent_not_allowed_error, &a.name);
  return a;
}

// "Minpoly".
void minimal_polynomial(Env* env) {
  if (polynames == nullptr) abandon(no_polynomial_variables_error, &token);
  read_array_operand(env);
  if (env->start != -1) abandon(sub_array_not_allowed_error, &env->errorname);
  if (env->rows != env->cols) abandon(matrix_not_square_212_error, &token);
  if (env->q->spar == nullptr) abandon(minimal_polynomial_needs_sparse_square_matrix_error, &token);
  if (env->rows > 32767) abandon(too_many_rows_more_than_32767_error, &token);
  ValueCell bound;
  std::int32_t slow = 0;
  {
    ModularBracket integers;
    expect(",", comma_expected_error);
    scan(env);
    old_expre(env->inf, &bound.q, env->flag);
  }
  if (!bound.q->numb) abandon(method_must_0_1_2_3_error, &token);
  slow = integer_of(bound.q->ncoef);
  if (!lintmode && !flotemode && bound.q->ncoef->size > 1)
    abandon(method_must_0_1_2_3_error, &token);
  if (slow < 0 || slow > 3) abandon(method_must_0_1_2_3_error, &token);
  free_quoly(&bound.q);
  if (is_tok(",")) {
    scan(env);
    old_expre(env->inf, &bound.q, env->flag);
  } else {
    gershgorn(&bound.q, env->q, env->rows);
  }
  expect(")", close_paren_expected_error);
  scan(env);
  bool succeed = true;
  free_quoly(env->n);
  Mills(env->q, env->rows, slow, &bound.q, env->n, &succeed);
  if (!succeed) {
    std::printf(" *** Warning: Minpoly failed. Integers in answer are too large\n");
    set_result(env, 0);
  }
}

// "Monomials".
void monomial_column(Env* env) {
  check_for_paren(env);
  scan(env);
  quolyptr x = env->n;
  if (is_tok("^")) {
    read_quoly_ptr2(env, &x, env->n);
  } else {
    free_quoly(env->n);
    old_expre(env->inf, env->n, env->flag);
  }
  expect(",", comma_expected_error);
  scan(env);
  const named_array column = read_named_array(env);
  if (column.q != nullptr && column.start != -1) abandon(sub_array_not_allowed_error, &column.name);
  env->k = 0;
  if (is_tok(",")) get_level_k(env, false);
  expect(")", close_paren_expected_error);
  const quoly v = *x;
  if (has_denominator(v)) abandon(rational_function_not_allowed_error, &token);
  const std::int32_t terms = v->numb ? 1 : numterms(v);
  sparse_create(&column.name, terms, 1, true, true);
  dump_mons(find_array(&column.name), v, env->k == 1);
  scan(env);
  set_result(env, terms);
}

// "Rem".
void remainder(Env* env) {
  read_with_comma(env);
  ValueCell b;
  old_expre(env->inf, &b.q, env->flag);
  expect(",", comma_expected_error);
  scan(env);
  quoly_mod_and_quot(env->n, &b.q);
  set_quotient(b.release(), env->inf, env->flag, close_paren_expected_error, ')');
  scan(env);
}

// "Swapcol" (columns) and "Swaprow" (rows).
void exchange(Env* env, std::int32_t index) {
  read_array_operand(env);
  const bool sparse = env->q->spar != nullptr;
  if (env->start == -1) {
    env->start = sparse ? 0 : env->q->start;
    env->target_rows = env->total_rows;
  } else if (sparse) {
    abandon(sub_array_sparse_array_not_allowed_error, &env->errorname);
  }
  if (index == bi::Swaprow && env->target_rows != env->total_rows)
    abandon(row_exchange_needs_all_rows_array_error, &env->errorname);
  if (index == bi::Swapcol &&
      array_entries(env->q) != static_cast<std::int64_t>(env->total_rows) * env->cols)
    abandon(column_exchange_needs_all_columns_array_error, &env->errorname);
  expect(",", comma_expected_error);
  std::int32_t i = 0, j = 0;
  {
    ModularBracket integers;
    ValueCell v;
    scan(env);
    if (is_tok("^")) abandon(caret_not_allowed_error, &token);
    old_expre(env->inf, &v.q, env->flag);
    i = quoly_convert_to_int(v.q);
    expect(",", comma_close_paren_expected_error);
    scan(env);
    if (is_tok("^")) abandon(caret_not_allowed_error, &token);
    free_quoly(&v.q);
    old_expre(env->inf, &v.q, env->flag);
    j = quoly_convert_to_int(v.q);
    expect(")", comma_close_paren_expected_error);
  }
  const std::int32_t base = sparse ? 1 : 0;
  const std::int64_t ii = static_cast<std::int64_t>(i) - addresser + base;
  const std::int64_t jj = static_cast<std::int64_t>(j) - addresser + base;
  const std::int64_t limit = base + (index == bi::Swaprow ? env->total_rows : env->cols);
  if (ii < base || jj < base || ii >= limit || jj >= limit)
    abandon(row_column_index_out_range_179_error, &token);
  const std::int32_t lo = static_cast<std::int32_t>(ii < jj ? ii : jj);
  const std::int32_t hi = static_cast<std::int32_t>(ii < jj ? jj : ii);
  if (lo != hi) {
    if (sparse && index == bi::Swaprow) {
      sp_switchrow(env->q->spar, lo, hi);
    } else if (sparse) {
      sp_switchcol(env->q->spar, lo, hi, env->q->rows, 1);
    } else {
      switchrow_col(index, lo, hi, env->start, env->total_rows, env->target_rows, env->cols);
    }
  }
  scan(env);
  set_result(env, 0);
}

// "Totdeg".
void total_degree_part(Env* env) {
  read_with_comma(env);
  if (has_denominator(*env->n)) abandon(irreducible_quotient_error, &token);
  const named_array variables = read_named_array(env);
  if (variables.q == nullptr) abandon(no_such_array_error, &variables.name);
  if (variables.start != -1) abandon(sub_array_not_allowed_error, &token);
  expect(",", comma_expected_error);
  get_level_k(env, false);
  expect(")", close_paren_expected_error);
  scan(env);
  if ((*env->n)->numb) {
    if (env->k != 0) set_result(env, 0);
    return;
  }
  do_total_degree(env->n, variables.q, env->k);
}

// "ZZ1" and "ZZ2".
void raw_display(Env* env, bool with_names) {
  standard_read(env);
  const quoly v = *env->x;
  if (v->numb) {
    std::int32_t length = 0;
    quoly_display(Output, v, &length, &semicolon, polynames, result_display);
  } else {
    if (!with_names) noisy = false;
    polypt names = with_names ? polynames : nullptr;
    crude_poly_disp(stdout, true, v->numer, 1, names);
    std::printf("\n");
    if (v->denom != nullptr) crude_poly_disp(stdout, true, v->denom, 1, names);
  }
  if (*env->n == nullptr) quoly_set(0, env->n);
}

// "ZZ3".
void generic_display(Env* env) {
  look_read(env);
  if (number_polys > 78) {
    std::printf("*** Warning: too many variables (> 78). Can't do ZZ3.\n");
  } else {
    ScopedValue<bool> keep(do_line_sup, false);
    dummy = 0;
    std::int32_t length = 0;
    quoly_display(Output, *env->x, &length, &semicolon, dodo, result_display);
  }
  set_result(env, 0);
}

}  // namespace

std::int32_t nth_prime(quolyptr n) {
  const std::int32_t k = quoly_convert_to_int(*n);
  if (k < 1 || k > 1229) {
    error(prime_index_must_lie_between_1_error, &token);
    return 0;
  }
  need_data_file(data_file::primelist);
  return small_prime[k];
}

namespace {

// "Prime".
void prime_builtin(Env* env) {
  look_read(env);
  if (!(*env->x)->numb) abandon(not_number_error, &token);
  const std::int32_t k = quoly_convert_to_int(*env->x);
  if (k < 1 || k > 1229) abandon(prime_index_must_lie_between_1_error, &token);
  need_data_file(data_file::primelist);
  set_result(env, small_prime[k]);
}

// "Return".
void return_builtin(Env* env) {
  simple_read(env);
  if (*env->flag != nullptr) {
    exit_flag = true;
  } else {
    std::printf(" *** Warning. 'Return' ignored.\n");
  }
}

// "Time".
void time_builtin(Env* env) {
  scan(env);
  const std::time_t now = std::time(nullptr);
  std::printf("%s", std::asctime(std::localtime(&now)));
  set_result(env, 0);
}

// The built-ins that run an array statement of their own code.
template <ArrayCode code>
void array_statement_builtin(Env* env, std::int32_t) {
  run_array_statement(code, env->inf, env->n, env->flag);
}

constexpr BuiltinRegistration second_rows[] = {
    {bi::Minpoly, index_free<minimal_polynomial>},
    {bi::Modmode,
     [](Env* env, std::int32_t) {
       scan(env);
       set_result(env, modularmode ? 1 : 0);
     }},
    // The setting itself, not its image (which is 0 in its own ring).
    {bi::Modulus,
     [](Env* env, std::int32_t) {
       scan(env);
       free_quoly(env->n);
       quoly_set(modulus, env->n);
     }},
    {bi::Monomials, index_free<monomial_column>},
    {bi::Move, [](Env* env, std::int32_t) { move_storage(env->inf, env->n, env->flag); }},
    {bi::Numvars,
     [](Env* env, std::int32_t) {
       scan(env);
       set_result(env, number_polys);
     }},
    {bi::Prime, index_free<prime_builtin>},
    {bi::Recoef, [](Env* env, std::int32_t) { change_coef(env->inf, env->n, env->flag); }},
    {bi::Rem, index_free<remainder>},
    {bi::Return, index_free<return_builtin>},
    {bi::Rlabel,
     [](Env* env, std::int32_t) {
       namechange(env->inf, env->n, env->flag);
       set_result(env, 0);
     }},
    {bi::Sparse, [](Env* env, std::int32_t) { make_sparse(env->inf, env->n, env->flag); }},
    {bi::Sum, array_statement_builtin<ArrayCode::matrix_sum>},
    {bi::Swap, [](Env* env, std::int32_t) { swap_storage(env->inf, env->n, env->flag); }},
    {bi::Swapcol, exchange},
    {bi::Swaprow, exchange},
    {bi::Time, index_free<time_builtin>},
    {bi::Tone,
     [](Env* env, std::int32_t) {
       scan(env);
       std::printf("\a");
       set_result(env, 0);
     }},
    {bi::Totdeg, index_free<total_degree_part>},
    {bi::Trace, array_statement_builtin<ArrayCode::trace>},
    {bi::True,
     [](Env* env, std::int32_t) {
       scan(env);
       set_result(env, 1);
     }},
    {bi::Wipe,
     [](Env* env, std::int32_t) {
       scan(env);
       set_result(env, 0);
       wipe_free_lists();
     }},
    {bi::ZZ1, [](Env* env, std::int32_t) { raw_display(env, true); }},
    {bi::ZZ2, [](Env* env, std::int32_t) { raw_display(env, false); }},
    {bi::ZZ3, index_free<generic_display>},
};

}  // namespace

void install_second_builtins() { register_builtins(second_rows); }

}  // namespace tavrin
