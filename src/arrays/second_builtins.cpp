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
#include "gcd/content.h"
#include "factor/powermod.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_quot.h"
#include "toplevel/builtin_names.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/poly_display.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/builtin_dispatch.h"
#include "arrays/coefficients.h"
#include "arrays/det_upcalls.h"
#include "arrays/monomial_sets.h"
#include "arrays/targets.h"

namespace tavrin {

namespace {

using Env = builtin_func1_EnvRec;

using tokens::is_tok;
using tokens::expect;
void scan(Env* env) { scanner(env->inf, &token, env->flag); }

void set_result(Env* env, std::int64_t v) { quoly_set_integer(v, env->n); }

bool has_denominator(quoly v) { return !v->numb && v->denom != nullptr; }

bool number_negative(imptr x) {
  if (flotemode) return x->flote < 0;
  if (lintmode) return false;
  return x->head != nullptr && x->head->value < 0;
}

// The integer a bound or count argument stands for: floating values rounded,
// the word in single-word arithmetic, else the leading limb.
std::int32_t integer_of(imptr x) {
  if (flotemode) return static_cast<std::int32_t>(std::floor(x->flote + 0.5L));
  if (lintmode) return x->lint;
  return x->head == nullptr ? 0 : x->head->value;
}

// The value in the result cell: a copy of a referenced value.
void own_value(Env* env) {
  if (env->x != env->n) {
    free_quoly(env->n);
    quoly_assign(*env->x, env->n);
    env->x = env->n;
  }
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
  left_side(env->inf, &a.q, &rows, &cols, &a.start, &total_rows, &firstrow, &firstcol,
            &target_rows, &a.name, env->flag, false);
  if (std::strcmp(a.name.name, "%") == 0) abandon(store_arrays_percent_not_allowed_error, &a.name);
  return a;
}

// "Mcoef" and "Mdiv".
void monomial_coefficient(Env* env, bool cofactor) {
  check_for_paren(env);
  scan(env);
  get_the_data(env, &env->x, env->n);
  // c starts as the argument's value (not owned) and becomes the answer.
  quoly c = *env->x;
  quoly_get_coef(env->inf, &c, env->flag, true, cofactor);
  ValueCell answer;
  answer.q = c;
  expect(")", close_paren_expected_error);
  free_quoly(env->n);
  *env->n = answer.release();
  scan(env);
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
  if (!lintmode && !flotemode && bound.q->ncoef->size > 1) abandon(method_must_0_1_2_3_error, &token);
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

// "Numcont".
void numeric_content(Env* env) {
  look_read(env);
  const quoly v = *env->x;
  if (quoly_iszero(v)) {
    set_result(env, 0);
    return;
  }
  if (v->numb || v->rat) {
    if (lintmode) {
      set_result(env, 1);
      return;
    }
    own_value(env);
    const quoly w = *env->n;
    const bool negative =
        w->numb ? number_negative(w->ncoef) : number_negative(w->numer->ncoef);
    if (negative) quoly_inplace(w);
    return;
  }
  if (v->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  if (lintmode) {
    set_result(env, 1);
    return;
  }
  poly r = nullptr;
  gcd_coefs(v->numer, &r);
  free_quoly(env->n);
  use_up_poly(&r, env->n);
}

// "Pfrob".
void pth_root(Env* env) {
  if (!modularmode) abandon(monic_outside_field_error, &token);
  if (!mod_is_prime) abandon(modulus_not_prime_error, &token);
  standard_read(env);
  own_value(env);
  const quoly v = *env->n;
  if (v->numb) return;
  if (v->denom != nullptr) abandon(irreducible_quotient_error, &token);
  if (laurent && anynegs(v->numer)) abandon(negative_exponent_argument_error, &token);
  if (field_depth == 0) abandon(pth_root_above_field_error, &token);
  quoly_pth_root(env->n);
}

// "Powermod".
void modular_power(Env* env) {
  if (lintmode && !modularmode) abandon(word_arithmetic_error, &token);
  check_for_paren(env);
  scanner_expre(env);
  expect(",", comma_expected_error);
  if (has_denominator(*env->n)) abandon(base_has_denominator_error, &token);
  detail::OwnedInteger e;  // a big integer whatever the mode
  get_exponent(env->inf, env->flag, e.cell(), false);
  ValueCell m;
  if (is_tok(",")) {
    scan(env);
    old_expre(env->inf, &m.q, env->flag);
    if (has_denominator(m.q)) abandon(modulus_must_positive_number_polynomial_error, &token);
    if (m.q->numb) {
      if (lintmode) abandon(modulus_must_not_number_modular_arithmetic_error, &token);
      const imptr x = m.q->ncoef;
      if (flotemode ? !(x->flote > 0) : (x->head == nullptr || x->head->value <= 0))
        abandon(modulus_must_positive_number_polynomial_error, &token);
    }
  }
  expect(")", close_paren_expected_error);
  if (m.q == nullptr && (*env->n)->numb && !lintmode) abandon(numeric_base_needs_modulus_error, &token);
  powermod(env->n, &m.q, e.n, false);
  scan(env);
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
  if (index == bi::Swaprow && env->target_rows != env->total_rows) abandon(row_exchange_needs_all_rows_array_error, &env->errorname);
  if (index == bi::Swapcol && array_entries(env->q) !=
                         static_cast<std::int64_t>(env->total_rows) * env->cols)
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
  if (ii < base || jj < base || ii >= limit || jj >= limit) abandon(row_column_index_out_range_179_error, &token);
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

void builtin_func2(textptr inf, quolyptr n, nameptr* flag, std::int32_t index) {
  Env env{};
  env.inf = inf;
  env.flag = flag;
  env.n = n;
  struct count_release {
    arr_descr* f;
    ~count_release() { special_free(&f->arrsize); }
  } release{&env.arr_facts};
  switch (index) {
    case bi::Mcoef:
    case bi::Mdiv:
      monomial_coefficient(&env, index == bi::Mdiv);
      return;
    case bi::Minpoly:
      minimal_polynomial(&env);
      return;
    case bi::Modmode:
      scan(&env);
      set_result(&env, modularmode ? 1 : 0);
      return;
    case bi::Modulus:
      // The setting itself, not its image (which is 0 in its own ring).
      scan(&env);
      free_quoly(env.n);
      quoly_set(modulus, env.n);
      return;
    case bi::Monomials:
      monomial_column(&env);
      return;
    case bi::Move:
      move_storage(inf, n, flag);
      return;
    case bi::Number:
      look_read(&env);
      set_result(&env, (*env.x)->numb ? 1 : 0);
      return;
    case bi::Numcont:
      numeric_content(&env);
      return;
    case bi::Numvars:
      scan(&env);
      set_result(&env, number_polys);
      return;
    case bi::Pfrob:
      pth_root(&env);
      return;
    case bi::Powermod:
      modular_power(&env);
      return;
    case bi::Prime: {
      look_read(&env);
      if (!(*env.x)->numb) abandon(not_number_error, &token);
      const std::int32_t k = quoly_convert_to_int(*env.x);
      if (k < 1 || k > 1229) abandon(prime_index_must_lie_between_1_error, &token);
      need_data_file(data_file::primelist);
      set_result(&env, small_prime[k]);
      return;
    }
    case bi::Recoef:
      change_coef(inf, n, flag);
      return;
    case bi::Rem:
      remainder(&env);
      return;
    case bi::Return:
      simple_read(&env);
      if (*flag != nullptr) {
        exit_flag = true;
      } else {
        std::printf(" *** Warning. 'Return' ignored.\n");
      }
      return;
    case bi::Rlabel:
      namechange(inf, n, flag);
      set_result(&env, 0);
      return;
    case bi::Sparse:
      make_sparse(inf, n, flag);
      return;
    case bi::Sum:
      run_array_statement(ArrayCode::matrix_sum, inf, n, flag);
      return;
    case bi::Swap:
      swap_storage(inf, n, flag);
      return;
    case bi::Swapcol:
    case bi::Swaprow:
      exchange(&env, index);
      return;
    case bi::Terms:
    case bi::Termsall: {
      look_read(&env);
      const quoly v = *env.x;
      set_result(&env, v->numb ? 1 : (index == bi::Terms ? numterms(v) : f_numterms(v)));
      return;
    }
    case bi::Time: {
      scan(&env);
      const std::time_t now = std::time(nullptr);
      std::printf("%s", std::asctime(std::localtime(&now)));
      set_result(&env, 0);
      return;
    }
    case bi::Tone:
      scan(&env);
      std::printf("\a");
      set_result(&env, 0);
      return;
    case bi::Totdeg:
      total_degree_part(&env);
      return;
    case bi::Trace:
      run_array_statement(ArrayCode::trace, inf, n, flag);
      return;
    case bi::True:
      scan(&env);
      set_result(&env, 1);
      return;
    case bi::Vars: {
      look_read(&env);
      const quoly v = *env.x;
      set_result(&env, v->numb ? 0 : driver_poly_vars(v->numer));
      return;
    }
    case bi::Wipe:
      scan(&env);
      set_result(&env, 0);
      wipe_free_lists();
      return;
    case bi::ZZ1:
    case bi::ZZ2:
      raw_display(&env, index == bi::ZZ1);
      return;
    case bi::ZZ3:
      generic_display(&env);
      return;
    default:
      not_implemented();
  }
}

}  // namespace tavrin
