// The whole-array statements: arr_parse (array expressions into the system
// array, trace, sum of entries, the determinant family with its options,
// position searches and counts) and fill_syst_array.
#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_float_image.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/operator_aliases.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/float_images.h"
#include "matrix/hamilton.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "det/float_determinant.h"
#include "det/router.h"
#include "matlang/matrix_builtins.h"
#include "matlang/matrix_expr_impl.h"
#include "matlang/matrix_expressions.h"

namespace tavrin {

using namespace matexpr;

namespace {

tokentipe word_token(const char* w) {
  tokentipe t{};
  std::strncpy(t.name, w, sizeof t.name - 1);
  t.address = -1;
  return t;
}

void set_value(quolyptr n, quoly v) {
  free_quoly(n);
  *n = v;
}

void set_small_value(quolyptr n, std::int32_t k) {
  free_quoly(n);
  quoly_set_integer(k, n);
}

// A number value as a long: floating: floor(value + 0.5); word: the word;
// else its leading limb.
std::int32_t number_as_long(quoly q) {
  if (flotemode) return static_cast<std::int32_t>(std::floor(q->ncoef->flote + 0.5L));
  if (lintmode) return q->ncoef->lint;
  return q->ncoef->head == nullptr ? 0 : q->ncoef->head->value;
}

bool is_positive(quoly q) {
  if (flotemode) return q->ncoef->flote > 0.0L;
  if (lintmode) return q->ncoef->lint > 0;
  return q->ncoef->head != nullptr && q->ncoef->head->value > 0;
}

// Reads a scalar sum into a fresh cell (the current token is its first).
quoly read_sum(textptr inf, nameptr* flag, bool no_modular) {
  ValueCell c;
  if (no_modular) {
    ModularBracket bracket;
    old_expre(inf, &c.q, flag);
  } else {
    old_expre(inf, &c.q, flag);
  }
  return c.release();
}

void trace_or_sum(textptr inf, MatValue& v, quolyptr n, nameptr* flag, bool trace) {
  scan(inf, flag);
  arr_fact(inf, v, flag);
  v.settle_integers();
  const std::int64_t m = v.count();
  const std::int32_t r = v.rows();
  if (trace && (m == 0 || m != static_cast<std::int64_t>(r) * r))
    abandon(trace_needs_non_empty_square_matrix_error, &token);
  if (!trace && m == 0) abandon(array_has_no_entries_error, &token);
  ValueCell result;
  if (v.spar != nullptr) {
    if (trace) {
      sparse_trace(&result.q, v.spar, r);
    } else {
      sparse_sum(&result.q, v.spar, r);
    }
  } else if (trace) {
    quoly_assign(v.arr->stash[0], &result.q);
    for (std::int32_t k = 1; k < r; ++k) {
      quoly e = copy_of(v.arr->stash[static_cast<std::int64_t>(k) * (r + 1)], false);
      best_quoly_add(&result.q, e);
    }
  } else {
    auto sum = [&] { sum_arr(v.arr, static_cast<std::int32_t>(m), &result.q); };
    if (run_floating(v, nullptr, sum)) {
      quoly_from_float_image(&result.q);
    } else {
      sum();
    }
  }
  set_value(n, result.release());
}

// Position of the largest ("^") or smallest ("_", positive only with "+")
// entry, from the origin addresser, column-major.
void position_search(MatValue& v, quolyptr n, bool largest, bool pos_only) {
  if (v.spar != nullptr) {
    ValueCell result;
    sparse_max_min(v.spar, v.rows(), v.cols(), largest, pos_only, &result.q);
    set_value(n, result.release());
    return;
  }
  const std::int64_t m = v.count();
  const tokentipe hat = word_token(largest ? "^" : "_");
  auto entry = [&](std::int64_t k) {
    quoly e = v.arr->stash[k];
    if (e == nullptr || !e->numb) abandon(entry_not_number_119_error, &hat);
    return e;
  };
  std::int64_t best = -1;
  for (std::int64_t k = 0; k < m; ++k) {
    quoly e = entry(k);
    if (pos_only && !is_positive(e)) continue;
    if (best < 0) {
      best = k;
    } else if (largest ? quoly_larger(e, v.arr->stash[best])
                       : quoly_larger(v.arr->stash[best], e)) {
      best = k;
    }
  }
  set_small_value(n, static_cast<std::int32_t>(best + addresser));
}

// "#" "(" relation value ")": the count of entries e with e = v, e > v or
// e < v.
void count_against(textptr inf, MatValue& v, quolyptr n, nameptr* flag) {
  if (v.spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
  const char rel = token.name[0];
  if (!((rel == '=' || rel == '>' || rel == '<') && token.name[1] == '\0'))
    abandon(equals_greater_less_expected_error, &token);
  scan(inf, flag);
  ValueCell value;
  value.q = read_sum(inf, flag, false);
  if (!is_tok(")")) abandon(close_paren_expected_after_count_error, &token);
  scan(inf, flag);
  if (rel != '=' && !value.q->numb) abandon(order_count_value_not_number_error, &token);
  const std::int64_t m = v.count();
  std::int32_t count = 0;
  for (std::int64_t k = 0; k < m; ++k) {
    quoly e = v.arr->stash[k];
    if (rel == '=') {
      if (quoly_equal(e, value.q)) ++count;
    } else {
      if (e == nullptr || !e->numb) abandon(order_count_value_not_number_error, &token);
      if (rel == '>' ? quoly_larger(e, value.q) : quoly_larger(value.q, e)) ++count;
    }
  }
  set_small_value(n, count);
}

// The determinant's options as read, -1 where absent (fct: nil).
struct DetOptions {
  nodes::OwnedPoly fct;
  std::int32_t the_degree = -1;
  std::int32_t the_degree2 = -1;
  std::int32_t the_power = -1;
};

// The options after the operand: "," [factor] "," [degree] "," [degree2]
// "," [power] ")".
void read_det_options(textptr inf, nameptr* flag, ArrayCode x, DetOptions* o) {
  std::int32_t k = 0;
  while (is_tok(",")) {
    ++k;
    if (k >= 5 || (x == ArrayCode::hamilton && k > 1))
      abandon(too_many_arguments_options_error, &token);
    scan(inf, flag);
    if (is_tok(",")) continue;
    ValueCell val;
    val.q = read_sum(inf, flag, x == ArrayCode::hamilton || k > 1);
    quoly q = val.q;
    if (x == ArrayCode::hamilton || k > 1) {
      if (!q->numb) abandon(not_number_error, &token);
    }
    if (x == ArrayCode::hamilton || (k == 1 && q->numb)) {
      free_poly(o->fct.cell());
      poly_set(0, o->fct.cell());
      num_assign(q->ncoef, o->fct.p->ncoef);
    } else if (k == 1) {
      if (q->denom != nullptr) {
        warning(unusable_det_factor_warning, &token);
      } else {
        if (laurent && anynegs(q->numer)) abandon(negative_exponent_argument_error, &token);
        free_poly(o->fct.cell());
        o->fct.p = q->numer;
        q->numer = nullptr;
      }
    } else {
      const std::int32_t w = number_as_long(q);
      if (k == 2) o->the_degree = w;
      if (k == 3) o->the_degree2 = w;
      if (k == 4) {
        std::int32_t p = w;
        if ((p < 0 ? -static_cast<std::int64_t>(p) : p) < 2)
          abandon(power_must_have_absolute_value_least_error, &token);
        if (p > 0 && p % 2 == 0) {
          if ((p & (p - 1)) != 0) {
            // In characteristic q the factors q are p-th roots: the rest
            // of the power must be a power of two (or odd).
            const std::int64_t rest = power_prime_to_characteristic(p);
            if (rest % 2 == 0 && (rest & (rest - 1)) != 0) warning(even_power_warning, &token);
          } else {
            p /= 2;
            if (p == 1) {
              if (verbose) std::printf(" Warning. Setting power = 2 has no effect.\n");
              p = -1;
            }
          }
        }
        o->the_power = p;
      }
    }
  }
  if (!is_tok(")")) abandon(close_paren_expected_error, &token);
  scan(inf, flag);
}

// The determinant of the square matrix v in floating mode, on its images,
// into *n as the exact rational equal to the long double (a polynomial of
// such coefficients).
void floating_determinant(MatValue& v, quolyptr n, std::int32_t r, const DetOptions& o) {
  if (v.spar == nullptr) need_work_array(&token);
  to_float_images(v);
  free_quoly(n);
  fl_quoly_set(1.0L, n);
  const bool sparse = v.spar != nullptr;
  {
    FloatingModeGuard floating;
    fl_checked_determinant(v.arr, &v.spar, r, n, o.the_degree, o.the_degree2, o.the_power);
  }
  // The dense methods leave the cells to the caller; a sparse method that
  // used the matrix up set its frames nil.
  if (sparse && v.spar == nullptr) v.forget();
  v.release();
  quoly_from_float_image(n);
}

// The labelled matrix of a path search holds labels, not values: its
// entries and frames are given back without their fields, on every exit.
struct LabelledMatrix {
  explicit LabelledMatrix(MatValue& m) : v(m) {}
  MatValue& v;
  ~LabelledMatrix() {
    free_stuff(v.spar, v.rows());
    v.spar = nullptr;
    v.forget();
  }
  LabelledMatrix(const LabelledMatrix&) = delete;
  LabelledMatrix& operator=(const LabelledMatrix&) = delete;
};

void determinant_family(ArrayCode x, textptr inf, MatValue& v, quolyptr n, nameptr* flag) {
  bool pos_only = false;
  bool paren = false;
  char modifier = ' ';
  std::int32_t numprimes = 0;
  if (x == ArrayCode::least_entry) {
    token = word_token("_");
  } else {
    scan(inf, flag);
    if (x == ArrayCode::sparse_determinant) {
      if (!is_tok("(")) abandon(open_paren_expected_177_error, &token);
      if (lintmode) abandon(not_in_this_arithmetic_error, &token);
    }
  }
  // A path search's matrix holds labels: no positions or counts of it.
  if (x == ArrayCode::hamilton && (is_tok("^") || is_tok("_") || is_tok("#")))
    abandon(open_bracket_expected_96_error, &token);
  if (is_tok("^") || is_tok("_")) {
    modifier = token.name[0];
    scan(inf, flag);
    if (modifier == '_' && is_tok("+")) {
      scan(inf, flag);
      pos_only = true;
    }
  } else if (is_tok("#")) {
    modifier = '#';
    scan(inf, flag);
    if (!is_tok("(")) abandon(open_paren_expected_after_hash_error, &token);
    scan(inf, flag);
  } else if (is_tok("(")) {
    scan(inf, flag);
    paren = true;
  }
  if (x == ArrayCode::sparse_determinant) {
    ValueCell np;
    np.q = read_sum(inf, flag, false);
    if (!np.q->numb) abandon(not_number_error, &token);
    numprimes = number_as_long(np.q);
    if (numprimes < 2) abandon(number_primes_must_least_2_error, &token);
    if (!is_tok(",")) abandon(comma_expected_error, &token);
    scan(inf, flag);
  }
  arr_fact(inf, v, flag);
  v.settle_integers();
  std::optional<LabelledMatrix> labelled;
  if (x == ArrayCode::hamilton) {
    const std::int32_t r = v.rows();
    if (v.count() != static_cast<std::int64_t>(r) * r || r > 100 || v.spar != nullptr)
      abandon(path_search_needs_dense_square_matrix_error, &token);
    set_up_hamilton(v.arr, &v.facts, &v.arr_free, &v.spar);
    labelled.emplace(v);
  }
  if (x == ArrayCode::sparse_determinant && v.spar == nullptr)
    abandon(dense_array_not_allowed_error, &token);
  if (v.count() == 0) {
    const tokentipe det = word_token("Det");
    abandon(array_has_no_entries_error, &det);
  }
  if (modifier == '^' || modifier == '_') {
    position_search(v, n, modifier == '^', pos_only);
    return;
  }
  if (modifier == '#') {
    count_against(inf, v, n, flag);
    return;
  }
  DetOptions o;
  if (paren) read_det_options(inf, flag, x, &o);
  set_small_value(n, 1);
  if ((o.the_degree != -1 && o.the_degree < 1) || (o.the_degree2 != -1 && o.the_degree2 < 1))
    warning(unreasonable_degree_warning, &token);
  const std::int32_t r = v.rows();
  if (v.count() != static_cast<std::int64_t>(r) * r) abandon(matrix_not_square_241_error, &token);
  const bool floating = floating_engines();
  if (x == ArrayCode::determinant && o.fct.p == nullptr && floating && float_ready(v, true)) {
    floating_determinant(v, n, r, o);
    return;
  }
  // A floating statement's determinant that has no floating route is taken
  // exactly, not in the integer evaluation of its numbers (whose quotients
  // truncate), and its coefficients rounded to long doubles after.
  ScopedValue<bool> exact(integerflag, integerflag && !floating);
  if (v.spar == nullptr) {
    // A determinant without its work array is an error, not the value 1.
    need_work_array(&token);
    mat_invert(v.arr, v.arr, r, n, &v.spar, o.fct.p, o.the_degree, o.the_degree2, o.the_power, 0,
               {.ar_free = v.arr_free, .oar_free = v.arr_free, .equal = true});
    v.release();  // the router leaves the cells, changed or not, to their owner
  } else if (x == ArrayCode::hamilton) {
    mat_invert(v.arr, v.arr, -r, n, &v.spar, o.fct.p, o.the_degree, o.the_degree2, o.the_power,
               numprimes, {.equal = true});
  } else {
    mat_invert(v.arr, v.arr, r, n, &v.spar, o.fct.p, o.the_degree, o.the_degree2, o.the_power,
               numprimes, {.ar_free = v.arr_free, .oar_free = v.arr_free, .equal = true});
    if (v.spar == nullptr) v.forget();
  }
  if (floating && x != ArrayCode::hamilton && has_float_image(*n)) {
    nodes::OwnedValue image;
    quoly_float_image(*n, image.cell());
    quoly_from_float_image(image.cell());
    free_quoly(n);
    *n = image.q;
    image.q = nullptr;
  }
}

}  // namespace

void fill_syst_array(workptr arr, arr_descr* arr_facts, bool arr_free, sparseptr spar,
                     std::int32_t r) {
  if (syst->spar != nullptr) {
    free_sparse(&syst->spar, syst->rows, true);
  } else {
    for (std::int32_t k = 0; k <= syst->stop; ++k) free_quoly(&syst_stash->stash[k]);
  }
  syst->stop = -1;
  syst->rows = r;
  const std::int64_t count = r > 0 ? static_cast<std::int64_t>(r) * descr_cols(arr_facts) : 0;
  if (spar != nullptr) {
    if (arr_free) {
      syst->spar = spar;
    } else {
      copy_sparse(&spar, &syst->spar, r, false);
    }
  } else {
    for (std::int64_t k = 0; k < count; ++k) {
      if (arr_free) {
        syst_stash->stash[k] = arr->stash[k];
        arr->stash[k] = nullptr;
      } else {
        syst_stash->stash[k] = nullptr;
        quoly_assign(arr->stash[k], &syst_stash->stash[k]);
      }
    }
  }
  // A sparse value may have more entries than a 32-bit stop can count; its
  // shape is read from rows and sizearr.
  syst->stop = static_cast<std::int32_t>(std::min<std::int64_t>(count - 1, INT32_MAX));
  set_entry_count(&syst->sizearr, count);
  syst_dump = true;
}

namespace {

// The array statement or operation of code x; as_factor: met as a factor,
// its built-in's name current.
void array_statement_or_factor(ArrayCode x, bool as_factor, textptr inf, quolyptr n,
                               nameptr* flag) {
  // The operands of an array statement are held while the rest is read.
  operand_begun = true;
  // The cells of a word or floating ring have no limbs to read as big integers
  // (the name of an operation met as a factor is not shown).
  if (ring_values_lack_limbs) abandon(not_in_this_arithmetic_error, as_factor ? &blank : &token);
  char code[2] = {static_cast<char>(x), '\0'};
  const tokentipe xt = word_token(code);
  assert(first_available >= 1);
  need_work_array(&xt);
  WorkArrayGuard work(&xt);
  MatValue v(work.get());
  switch (x) {
    case ArrayCode::transpose:
    case ArrayCode::adjoint:
    case ArrayCode::matrix_powermod:
      arr_expre(inf, v, flag, true);
      if (!v.is_scalar()) {
        fill_syst_array(v.arr, &v.facts, v.arr_free, v.spar, v.rows());
        v.forget();
      }
      set_small_value(n, 0);
      break;
    case ArrayCode::assignment:
    case ArrayCode::diagonal: arr_asstat(inf, n, v, flag); break;
    case ArrayCode::trace: trace_or_sum(inf, v, n, flag, true); break;
    case ArrayCode::matrix_sum: trace_or_sum(inf, v, n, flag, false); break;
    case ArrayCode::determinant:
    case ArrayCode::sparse_determinant:
    case ArrayCode::hamilton:
    case ArrayCode::least_entry: determinant_family(x, inf, v, n, flag); break;
    default: break;
  }
}

// The handler of the operator aliases of array operations.
void array_factor(ArrayCode x, textptr inf, quolyptr n, nameptr* flag) {
  array_statement_or_factor(x, true, inf, n, flag);
}

}  // namespace

void arr_parse(ArrayCode x, textptr inf, quolyptr n, nameptr* flag) {
  array_statement_or_factor(x, false, inf, n, flag);
}

void install_matrix_statements() {
  register_array_statements(arr_parse);
  register_array_aliases(array_factor);
  install_matrix_builtins();
}

}  // namespace tavrin
