#include "arrays/second_builtins.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/builtin_dispatch.h"
#include "arrays/coefficients.h"
#include "arrays/det_upcalls.h"
#include "arrays/monomial_sets.h"
#include "arrays/targets.h"
#include "core/errors.h"
#include "core/globals.h"
#include "gcd/content.h"
#include "gcd/powermod.h"
#include "lang/expressions.h"
#include "lang/later_services.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_coef.h"
#include "quoly/quoly_quot.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/poly_display.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

using Env = builtin_func1_EnvRec;

bool is_tok(const char* w) { return std::strcmp(token.name, w) == 0; }
void scan(Env* env) { scanner(env->inf, &token, env->flag); }
void expect(const char* w, std::int32_t code) {
  if (!is_tok(w)) abandon(code, &token);
}

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
  expect(")", 1);
  scan(env);
}

// "(" "[" array operand (no "*" form).
void read_array_operand(Env* env) {
  check_for_paren(env);
  scan(env);
  expect("[", 178);
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, &env->errorname, env->flag, false);
  if (env->q == nullptr) abandon(28, &env->errorname);
}

// Indices 43 and 44.
void monomial_coefficient(Env* env, bool cofactor) {
  check_for_paren(env);
  scan(env);
  get_the_data(env, &env->x, env->n);
  // c starts as the argument's value (not owned) and becomes the answer.
  quoly c = *env->x;
  quoly_get_coef(env->inf, &c, env->flag, true, cofactor);
  ValueCell answer;
  answer.q = c;
  expect(")", 1);
  free_quoly(env->n);
  *env->n = answer.release();
  scan(env);
}

// Index 46.
void minimal_polynomial(Env* env) {
  if (polynames == nullptr) abandon(213, &token);
  read_array_operand(env);
  if (env->start != -1) abandon(182, &env->errorname);
  if (env->rows != env->cols) abandon(212, &token);
  if (env->q->spar == nullptr) abandon(252, &token);
  if (env->rows > 32767) abandon(245, &token);
  ValueCell bound;
  std::int32_t slow = 0;
  {
    ModularBracket integers;
    expect(",", 202);
    scan(env);
    old_expre(env->inf, &bound.q, env->flag);
  }
  if (!bound.q->numb) abandon(257, &token);
  slow = integer_of(bound.q->ncoef);
  if (!lintmode && !flotemode && bound.q->ncoef->size > 1) abandon(257, &token);
  if (slow < 0 || slow > 3) abandon(257, &token);
  free_quoly(&bound.q);
  if (is_tok(",")) {
    scan(env);
    old_expre(env->inf, &bound.q, env->flag);
  } else {
    gershgorn(&bound.q, env->q, env->rows);
  }
  expect(")", 1);
  scan(env);
  bool succeed = true;
  free_quoly(env->n);
  Mills(env->q, env->rows, slow, &bound.q, env->n, &succeed);
  if (!succeed) {
    std::printf(" *** Warning: Minpoly failed. Integers in answer are too large\n");
    set_result(env, 0);
  }
}

// Index 50.
void monomial_column(Env* env) {
  check_for_paren(env);
  scan(env);
  quolyptr x = env->n;
  if (is_tok("^")) {
    free_quoly(env->n);
    scan(env);
    get_quoly_ptr(&x, env->inf, env->flag);
    if (x == nullptr || *x == nullptr) {
      quoly_set(0, env->n);
      x = env->n;
    }
  } else {
    free_quoly(env->n);
    old_expre(env->inf, env->n, env->flag);
  }
  expect(",", 202);
  scan(env);
  expect("[", 178);
  arrptr q = nullptr;
  std::int32_t rows = 0, cols = 0, start = 0, total_rows = 0, firstrow = 0, firstcol = 0,
               target_rows = 0;
  tokentipe name{};
  left_side(env->inf, &q, &rows, &cols, &start, &total_rows, &firstrow, &firstcol, &target_rows,
            &name, env->flag, false);
  if (std::strcmp(name.name, "%") == 0) abandon(296, &name);
  if (q != nullptr && start != -1) abandon(182, &name);
  env->k = 0;
  if (is_tok(",")) get_level_k(env, false);
  expect(")", 1);
  const quoly v = *x;
  if (has_denominator(v)) abandon(196, &token);
  const std::int32_t terms = v->numb ? 1 : numterms(v);
  sparse_create(&name, terms, 1, true, true);
  dump_mons(find_array(&name), v, env->k == 1);
  scan(env);
  set_result(env, terms);
}

// Index 57.
void numeric_content(Env* env) {
  standard_read(env);
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
  if (v->denom != nullptr) abandon(196, &token);
  if (lintmode) {
    set_result(env, 1);
    return;
  }
  poly r = nullptr;
  gcd_coefs(v->numer, &r);
  free_quoly(env->n);
  use_up_poly(&r, env->n);
}

// Index 61.
void pth_root(Env* env) {
  if (!modularmode) abandon(284, &token);
  if (!mod_is_prime) abandon(293, &token);
  standard_read(env);
  own_value(env);
  const quoly v = *env->n;
  if (v->numb) return;
  if (v->denom != nullptr) abandon(186, &token);
  if (laurent && anynegs(v->numer)) abandon(198, &token);
  if (field_depth == 0) abandon(301, &token);
  quoly_pth_root(env->n);
}

// Index 64.
void modular_power(Env* env) {
  if (lintmode && !modularmode) abandon(62, &token);
  check_for_paren(env);
  scanner_expre(env);
  expect(",", 202);
  if (has_denominator(*env->n)) abandon(286, &token);
  // The exponent is a big integer whatever the mode: its limbs go back even
  // under word arithmetic.
  struct owned_number {
    imptr e = nullptr;
    ~owned_number() {
      if (e != nullptr) special_free(e);
      free_imag(&e);
    }
  } e;
  get_exponent(env->inf, env->flag, &e.e, false);
  ValueCell m;
  if (is_tok(",")) {
    scan(env);
    old_expre(env->inf, &m.q, env->flag);
    if (has_denominator(m.q)) abandon(288, &token);
    if (m.q->numb) {
      if (lintmode) abandon(188, &token);
      const imptr x = m.q->ncoef;
      if (flotemode ? !(x->flote > 0) : (x->head == nullptr || x->head->value <= 0))
        abandon(288, &token);
    }
  }
  expect(")", 1);
  if (m.q == nullptr && (*env->n)->numb && !lintmode) abandon(292, &token);
  powermod(env->n, &m.q, e.e, false);
  scan(env);
}

// Index 74.
void remainder(Env* env) {
  read_with_comma(env);
  ValueCell b;
  old_expre(env->inf, &b.q, env->flag);
  expect(",", 202);
  scan(env);
  quoly_mod_and_quot(env->n, &b.q);
  set_quotient(b.release(), env->inf, env->flag, 1, ')');
  scan(env);
}

// Indices 92 (columns) and 93 (rows).
void exchange(Env* env, std::int32_t index) {
  read_array_operand(env);
  const bool sparse = env->q->spar != nullptr;
  if (env->start == -1) {
    env->start = sparse ? 0 : env->q->start;
    env->target_rows = env->total_rows;
  } else if (sparse) {
    abandon(244, &env->errorname);
  }
  if (index == 93 && env->target_rows != env->total_rows) abandon(180, &env->errorname);
  if (index == 92 && array_entries(env->q) !=
                         static_cast<std::int64_t>(env->total_rows) * env->cols)
    abandon(181, &env->errorname);
  expect(",", 202);
  std::int32_t i = 0, j = 0;
  {
    ModularBracket integers;
    ValueCell v;
    scan(env);
    if (is_tok("^")) abandon(313, &token);
    old_expre(env->inf, &v.q, env->flag);
    i = quoly_convert_to_int(v.q);
    expect(",", 70);
    scan(env);
    if (is_tok("^")) abandon(313, &token);
    free_quoly(&v.q);
    old_expre(env->inf, &v.q, env->flag);
    j = quoly_convert_to_int(v.q);
    expect(")", 70);
  }
  const std::int32_t base = sparse ? 1 : 0;
  const std::int64_t ii = static_cast<std::int64_t>(i) - addresser + base;
  const std::int64_t jj = static_cast<std::int64_t>(j) - addresser + base;
  const std::int64_t limit = base + (index == 93 ? env->total_rows : env->cols);
  if (ii < base || jj < base || ii >= limit || jj >= limit) abandon(179, &token);
  const std::int32_t lo = static_cast<std::int32_t>(ii < jj ? ii : jj);
  const std::int32_t hi = static_cast<std::int32_t>(ii < jj ? jj : ii);
  if (lo != hi) {
    if (sparse && index == 93) {
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

// Index 99.
void total_degree_part(Env* env) {
  read_with_comma(env);
  if (has_denominator(*env->n)) abandon(186, &token);
  expect("[", 178);
  arrptr q = nullptr;
  std::int32_t rows = 0, cols = 0, start = 0, total_rows = 0, firstrow = 0, firstcol = 0,
               target_rows = 0;
  tokentipe name{};
  left_side(env->inf, &q, &rows, &cols, &start, &total_rows, &firstrow, &firstcol, &target_rows,
            &name, env->flag, false);
  if (std::strcmp(name.name, "%") == 0) abandon(296, &name);
  if (q == nullptr) abandon(28, &name);
  if (start != -1) abandon(182, &token);
  expect(",", 202);
  get_level_k(env, false);
  expect(")", 1);
  scan(env);
  if ((*env->n)->numb) {
    if (env->k != 0) set_result(env, 0);
    return;
  }
  do_total_degree(env->n, q, env->k);
}

// Indices 106 and 107.
void raw_display(Env* env, bool with_names) {
  standard_read(env);
  const quoly v = *env->x;
  if (v->numb) {
    std::int32_t length = 0;
    quoly_display(Output, true, true, true, v, &length, &semicolon, polynames, false, true, false);
  } else {
    if (!with_names) noisy = false;
    polypt names = with_names ? polynames : nullptr;
    crude_poly_disp(stdout, true, v->numer, 1, names);
    std::printf("\n");
    if (v->denom != nullptr) crude_poly_disp(stdout, true, v->denom, 1, names);
  }
  if (*env->n == nullptr) quoly_set(0, env->n);
}

// Index 108.
void generic_display(Env* env) {
  standard_read(env);
  if (number_polys > 78) {
    std::printf("*** Warning: too many variables (> 78). Can't do ZZ3.\n");
  } else {
    struct line_switch {
      bool saved = do_line_sup;
      ~line_switch() { do_line_sup = saved; }
    } keep;
    do_line_sup = false;
    dummy = 0;
    std::int32_t length = 0;
    quoly_display(Output, true, true, true, *env->x, &length, &semicolon, dodo, false, true,
                  false);
  }
  set_result(env, 0);
}

}  // namespace

std::int32_t nth_prime(quolyptr n) {
  const std::int32_t k = quoly_convert_to_int(*n);
  if (k < 1 || k > 1229) {
    error(346, &token);
    return 0;
  }
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
    case 43:
    case 44:
      monomial_coefficient(&env, index == 44);
      return;
    case 46:
      minimal_polynomial(&env);
      return;
    case 47:
      scan(&env);
      set_result(&env, modularmode ? 1 : 0);
      return;
    case 48:
      // The setting itself, not its image (which is 0 in its own ring).
      scan(&env);
      free_quoly(env.n);
      quoly_set(modulus, env.n);
      return;
    case 50:
      monomial_column(&env);
      return;
    case 51:
      move_storage(inf, n, flag);
      return;
    case 56:
      standard_read(&env);
      set_result(&env, (*env.x)->numb ? 1 : 0);
      return;
    case 57:
      numeric_content(&env);
      return;
    case 59:
      scan(&env);
      set_result(&env, number_polys);
      return;
    case 61:
      pth_root(&env);
      return;
    case 64:
      modular_power(&env);
      return;
    case 65: {
      standard_read(&env);
      if (!(*env.x)->numb) abandon(227, &token);
      const std::int32_t k = quoly_convert_to_int(*env.x);
      if (k < 1 || k > 1229) abandon(346, &token);
      set_result(&env, small_prime[k]);
      return;
    }
    case 72:
      change_coef(inf, n, flag);
      return;
    case 74:
      remainder(&env);
      return;
    case 75:
      simple_read(&env);
      if (*flag != nullptr) {
        exit_flag = true;
      } else {
        std::printf(" *** Warning. 'Return' ignored.\n");
      }
      return;
    case 77:
      namechange(inf, n, flag);
      set_result(&env, 0);
      return;
    case 85:
      make_sparse(inf, n, flag);
      return;
    case 90:
      arr_parse('S', inf, n, flag);
      return;
    case 91:
      swap_storage(inf, n, flag);
      return;
    case 92:
    case 93:
      exchange(&env, index);
      return;
    case 95:
    case 96: {
      standard_read(&env);
      const quoly v = *env.x;
      set_result(&env, v->numb ? 1 : (index == 95 ? numterms(v) : f_numterms(v)));
      return;
    }
    case 97: {
      scan(&env);
      const std::time_t now = std::time(nullptr);
      std::printf("%s", std::asctime(std::localtime(&now)));
      set_result(&env, 0);
      return;
    }
    case 98:
      scan(&env);
      std::printf("\a");
      set_result(&env, 0);
      return;
    case 99:
      total_degree_part(&env);
      return;
    case 100:
      arr_parse('T', inf, n, flag);
      return;
    case 102:
      scan(&env);
      set_result(&env, 1);
      return;
    case 104: {
      standard_read(&env);
      const quoly v = *env.x;
      set_result(&env, v->numb ? 0 : driver_poly_vars(v->numer));
      return;
    }
    case 105:
      scan(&env);
      set_result(&env, 0);
      wipe_free_lists();
      return;
    case 106:
    case 107:
      raw_display(&env, index == 106);
      return;
    case 108:
      generic_display(&env);
      return;
    default:
      not_implemented();
  }
}

}  // namespace tavrin
