#include "matlang/matrix_builtins.h"

#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/number_tests.h"
#include "toplevel/builtin_names.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/monomial_sets.h"
#include "arrays/sparse_store.h"
#include "matrix/mat_value.h"
#include "matrix/normal_forms.h"
#include "matrix/operand_keeper.h"
#include "matrix/sparse_copy.h"
#include "matlang/matrix_expr_impl.h"
#include "matlang/matrix_expressions.h"

namespace tavrin {

namespace {

// The operand just read is one the built-in may change: its copy is kept
// until the built-in returns.
void keep_operand(builtin_func1_EnvRec* env, arrptr q) {
  if (env->keeper != nullptr) env->keeper->keep(q);
}

void next(builtin_func1_EnvRec* env) { scanner(env->inf, &token, env->flag); }

const char* builtin_name(std::int32_t index) {
  switch (index) {
    case bi::Chpoly:
    case bi::Colreduce:
    case bi::FFLU:
    case bi::FFLUC:
    case bi::Hermite:
    case bi::Iszero:
    case bi::MSmith:
    case bi::Minors:
    case bi::Normalize:
    case bi::Poly:
    case bi::Pseudet:
    case bi::Redrowech:
    case bi::Reverse:
    case bi::Rowreduce:
    case bi::STrans:
    case bi::Smith:
    case bi::Sort: return builtin_names[index];
    default: return "";
  }
}

void set_errorname(builtin_func1_EnvRec* env, std::int32_t index) {
  std::snprintf(env->errorname.name, sizeof env->errorname.name, "%s", builtin_name(index));
  env->errorname.address = 0;
}

// The integer of a value that must be a number (227 otherwise).
std::int32_t integer_of(quoly v) {
  if (v == nullptr || !v->numb) abandon(not_number_error, &token);
  const imptr x = v->ncoef;
  if (flotemode) return static_cast<std::int32_t>(x->flote);
  if (lintmode) return x->lint;
  return x->head == nullptr ? 0 : x->head->value;
}

bool positive(imptr x) {
  if (flotemode) return x->flote > 0.0L;
  if (lintmode) return x->lint > 0;
  return x->head->value > 0;
}

// The output slots of a normal form or an LU: the name of each wanted one.
struct Slots {
  static constexpr int most = 6;
  bool want[most] = {};
  tokentipe name[most] = {};
  int given = 0;  // slots introduced by ","
};

// "[" name "]" as an output slot, "[" current; the token after "]" current.
void read_slot_name(builtin_func1_EnvRec* env, tokentipe* name) {
  if (std::strcmp(token.name, "[") != 0) abandon(open_bracket_expected_178_error, &token);
  next(env);
  *name = token;
  if (std::strcmp(token.name, "%") == 0) abandon(store_arrays_percent_not_allowed_error, &token);
  next(env);
  if (std::strcmp(token.name, "]") != 0) abandon(sub_array_not_allowed_error, name);
  next(env);
}

// Work arrays for the dense outputs, taken in slot order and given back in
// the reverse order on every exit; their cells are cleared before the
// engine runs and the values still in them are freed at the end, so an
// error leaves nothing behind.
struct OutputArrays {
  workptr w[Slots::most] = {};
  std::int64_t cells[Slots::most] = {};
  std::int32_t index[Slots::most] = {};
  ~OutputArrays() {
    for (int i = Slots::most - 1; i >= 0; --i) {
      if (w[i] == nullptr) continue;
      for (std::int64_t k = 0; k < cells[i]; ++k) free_quoly(&w[i]->stash[k]);
      if (first_available > index[i]) first_available = index[i];
    }
  }
  // A matrix of more cells than a work array holds is error 43.
  void take(int i, std::int64_t size, const tokentipe* x) {
    if (size > workarray_cells) abandon(array_too_large_more_than_1000000_error, x);
    std::int32_t p = 0;
    new_worknode(&p, x);
    if (p == 0) abandon(all_20_work_arrays_use_error, x);
    index[i] = p;
    w[i] = workhead[p];
    cells[i] = size;
    for (std::int64_t k = 0; k < size; ++k) w[i]->stash[k] = nullptr;
  }
};

struct SparseOutputs {
  sparseptr s[Slots::most] = {};
  std::int32_t rows[Slots::most] = {};
  ~SparseOutputs() {
    for (int i = 0; i < Slots::most; ++i)
      if (s[i] != nullptr) free_sparse(&s[i], rows[i], true);
  }
};

// The size of output i (from 0) of the built-in.
void output_size(std::int32_t index, int i, const builtin_func1_EnvRec* env, std::int32_t* r,
                 std::int32_t* c) {
  if (index == bi::Pseudet) {
    *r = 2;
    *c = integer_of(*env->n);
  } else if (index == bi::Redrowech) {
    *r = *c = env->rows;
  } else if (index == bi::FFLU || index == bi::FFLUC) {
    *r = env->rows;
    *c = i == 0 ? 1 : env->rows;
    if (i >= 4) *r = *c = env->cols;
  } else {
    *r = *c = i % 2 == 0 ? env->rows : env->cols;
  }
}

// Creates the wanted outputs under their names, moving the engine's results
// into them.
void make_outputs(builtin_func1_EnvRec* env, std::int32_t index, const Slots& slots,
                  OutputArrays& dense, SparseOutputs& sparse, bool sparse_out) {
  for (int i = 0; i < Slots::most; ++i) {
    if (!slots.want[i]) continue;
    std::int32_t r = 0, c = 0;
    output_size(index, i, env, &r, &c);
    if (r <= 0 || c <= 0) {
      if (verbose)
        std::fputs(
            " Warning. An auxiliary matrix that you wanted would have no rows or "
            "columns.\n",
            stdout);
      continue;
    }
    if (sparse_out) {
      sparse_create(&slots.name[i], r, c, false, false);
      arrptr a = find_array(&slots.name[i]);
      a->spar = sparse.s[i];
      sparse.s[i] = nullptr;
      continue;
    }
    insertarr(&slots.name[i], r, c, false);
    const arrptr a = find_array(&slots.name[i]);
    const std::int64_t size = static_cast<std::int64_t>(r) * c;
    workptr w = dense.w[i];
    for (std::int64_t k = 0; k < size && k < dense.cells[i]; ++k) {
      quolyptr cell = arp_cell(a->start + static_cast<std::int32_t>(k));
      free_quoly(cell);
      *cell = w->stash[k];
      w->stash[k] = nullptr;
    }
  }
}

// Reads the array operand and checks it: "(" ["*"] "[" a "]" with a whole
// array. The built-in's name is left in errorname.
void read_matrix_operand(builtin_func1_EnvRec* env, std::int32_t index, bool star_ok) {
  read_command(env);
  set_errorname(env, index);
  if (env->see_star && !star_ok)
    std::fputs(" *** Warning. leading * in argument list makes no sense here and was ignored.\n",
               stdout);
  if (env->start != -1) abandon(sub_array_not_allowed_error, &env->errorname);
  keep_operand(env, env->q);
  if (env->keeper != nullptr) env->keeper->settle_integers(env->q);
}

// The engines read every cell of a dense operand: once the operand has
// passed its checks, an uninitialised cell becomes 0 with the usual warning.
void zero_unset_cells(arrptr q) {
  if (q->spar != nullptr) return;
  for (std::int32_t k = q->start; k <= q->stop; ++k) {
    quolyptr cell = arp_cell(k);
    if (*cell != nullptr) continue;
    count_uninitialised(q->name.name);
    quoly_set(0, cell);
  }
}

// The Hermite and Smith forms work on integers only: every entry must be a
// number.
void check_integer_entries(const builtin_func1_EnvRec* env, arrptr q) {
  auto check = [env](quoly v) {
    if (v->numb) return;
    abandon(v->rat ? matrix_entry_denominator_error : array_entry_not_number_error,
            &env->errorname);
  };
  if (q->spar != nullptr) {
    for (std::int32_t i = 1; i <= q->rows; ++i)
      for (colm_ptr e = *sparse_row(q->spar, i); e != nullptr; e = e->next) check(e->val);
    return;
  }
  for (std::int32_t k = q->start; k <= q->stop; ++k)
    if (*arp_cell(k) != nullptr) check(*arp_cell(k));  // an unset cell will be 0
}

// The normal-form family: 6, 29, 42, 45, 54, 67, 73, 78, 83.
void normal_form(builtin_func1_EnvRec* env, std::int32_t index) {
  if (lintmode && (index == bi::MSmith || index == bi::Smith || index == bi::Hermite))
    abandon(not_available_word_arithmetic_error, &token);
  read_matrix_operand(env, index, index == bi::Minors);
  const arrptr q = env->q;
  const bool is_sparse = q->spar != nullptr;
  if (is_sparse && (index == bi::Colreduce || index == bi::Normalize))
    abandon(sparse_array_not_allowed_242_error, &env->errorname);
  if (!is_sparse && index == bi::Rowreduce) abandon(dense_array_not_allowed_error, &env->errorname);
  if (index == bi::Hermite || index == bi::MSmith || index == bi::Smith)
    check_integer_entries(env, q);
  const bool sparse_out = is_sparse && index != bi::Pseudet;

  Slots slots;
  std::int32_t k = 268435456;
  ValueCell pd;
  bool have_pd = false;
  if (index == bi::MSmith) {
    if (std::strcmp(token.name, ",") == 0) {
      next(env);
      free_quoly(&pd.q);
      old_expre(env->inf, &pd.q, env->flag);
      if (!pd.q->numb) abandon(not_number_error, &token);
      if (!positive(pd.q->ncoef)) abandon(pseudo_determinant_must_positive_error, &token);
      have_pd = true;
    }
    if (std::strcmp(token.name, ")") != 0) abandon(close_paren_expected_error, &token);
  } else {
    while (std::strcmp(token.name, ")") != 0) {
      if (slots.given == 4) abandon(close_paren_expected_error, &token);
      if (std::strcmp(token.name, ",") != 0) abandon(comma_close_paren_expected_error, &token);
      const int i = slots.given++;
      if (index == bi::Redrowech && i == 2) abandon(too_many_output_arrays_325_error, &token);
      if (index == bi::Minors && i == 3) abandon(three_output_arrays_required_error, &token);
      if (index == bi::Pseudet && i == 2) abandon(too_many_output_arrays_306_error, &token);
      next(env);
      if (std::strcmp(token.name, ",") == 0) continue;
      if (index == bi::Pseudet && i == 1) {
        ValueCell cut;
        old_expre(env->inf, &cut.q, env->flag);
        k = integer_of(cut.q) - addresser + 1;
        continue;
      }
      read_slot_name(env, &slots.name[i]);
      slots.want[i] = true;
    }
    if (index == bi::Minors && !(slots.want[0] && slots.want[1] && slots.want[2]))
      abandon(three_output_arrays_required_error, &token);
  }
  next(env);

  free_quoly(env->n);
  quoly_set(0, env->n);
  if (index == bi::Minors) {
    zero_unset_cells(q);
    matrix_engines.minors(q, find_array(&slots.name[0]), find_array(&slots.name[1]), &slots.name[2],
                          env->see_star, env->n);
    return;
  }

  OutputArrays dense;
  SparseOutputs sparse;
  if (!sparse_out) {
    for (int i = 0; i < 4; ++i) {
      if (!slots.want[i]) continue;
      std::int32_t r = 0, c = 0;
      // Pseudet's work arrays are sized as Colreduce's.
      output_size(index == bi::Pseudet ? bi::Colreduce : index, i, env, &r, &c);
      dense.take(i, static_cast<std::int64_t>(r) * c, &env->errorname);
    }
  } else {
    for (int i = 0; i < 4; ++i) sparse.rows[i] = i % 2 == 0 ? env->rows : env->cols;
  }
  zero_unset_cells(q);
  if (index == bi::MSmith && !have_pd) {
    matrix_engines.new_pseudo(env->n, q);
    free_quoly(&pd.q);
    pd.q = *env->n;
    *env->n = nullptr;
    quoly_set(0, env->n);
    if (!pd.q->numb) abandon(not_number_error, &token);
  }
  const imptr pseudodet = index == bi::MSmith ? pd.q->ncoef : nullptr;
  workptr* w = dense.w;
  switch (index) {
    case bi::Colreduce:
    case bi::Pseudet:
      matrix_engines.colreduce(env->n, q, slots.want, w[0], w[1], w[2], w[3], sparse.s,
                               index == bi::Pseudet, k);
      break;
    case bi::Hermite:
      matrix_engines.intcolred(env->n, q, slots.want, w[0], w[1], w[2], w[3], sparse.s, false,
                               pseudodet);
      break;
    case bi::MSmith:
    case bi::Smith:
      matrix_engines.intnormal(env->n, q, slots.want, w[0], w[1], w[2], w[3], index == bi::MSmith,
                               pseudodet, sparse.s, index);
      break;
    case bi::Normalize:
      matrix_engines.normalize(env->n, q, slots.want, w[0], w[1], w[2], w[3]);
      break;
    case bi::Redrowech:
      matrix_engines.red_row_ech(env->n, q, slots.want, w[0], w[1], sparse.s);
      break;
    default:
      matrix_engines.sparse_rowreduce(env->n, q, false, slots.want, w[0], sparse.s, k);
      break;
  }
  make_outputs(env, index, slots, dense, sparse, sparse_out);
}

// "FFLU" and "FFLUC".
void fflu(builtin_func1_EnvRec* env, std::int32_t index) {
  read_matrix_operand(env, index, false);
  if (env->q->spar != nullptr) abandon(sparse_array_not_allowed_242_error, &env->errorname);
  Slots slots;
  while (std::strcmp(token.name, ")") != 0) {
    if (slots.given == 6) abandon(close_paren_expected_error, &token);
    if (std::strcmp(token.name, ",") != 0) abandon(comma_close_paren_expected_error, &token);
    const int i = slots.given++;
    next(env);
    if (std::strcmp(token.name, ",") == 0) continue;
    if (index == bi::FFLU && i >= 4) abandon(too_many_output_arrays_325_error, &token);
    read_slot_name(env, &slots.name[i]);
    slots.want[i] = true;
  }
  if (!slots.want[0] || !slots.want[1]) abandon(first_two_output_arrays_required_error, &token);
  next(env);
  free_quoly(env->n);
  quoly_set(0, env->n);
  OutputArrays dense;
  for (int i = 0; i < Slots::most; ++i) {
    if (!slots.want[i]) continue;
    std::int32_t r = 0, c = 0;
    output_size(index, i, env, &r, &c);
    dense.take(i, static_cast<std::int64_t>(r) * c, &env->errorname);
  }
  zero_unset_cells(env->q);
  workptr* w = dense.w;
  matrix_engines.fract_free_lu(index == bi::FFLUC, env->n, env->q, slots.want, w[0], w[1], w[2],
                               w[3], w[4], w[5]);
  SparseOutputs none;
  make_outputs(env, index, slots, dense, none, false);
}

// "Iszero": 1 when every entry of the matrix factor that follows is zero.
void iszero(builtin_func1_EnvRec* env) {
  set_errorname(env, 32);
  next(env);
  matexpr::need_work_array(&token);
  WorkArrayGuard work(&token);
  MatValue v(work.get());
  arr_fact(env->inf, v, env->flag);
  if (v.is_scalar()) abandon(matrix_has_no_entries_error, &env->errorname);
  v.settle_integers();
  bool zero = true;
  if (v.is_sparse()) {
    sparse_iszero(v.spar, v.rows(), &zero);
  } else {
    const std::int64_t cells = v.count();
    for (std::int64_t k = 0; k < cells && zero; ++k) {
      const quoly e = v.arr->stash[k];
      zero = e == nullptr || (e->numb && nodes::num_is_zero_now(e->ncoef));
    }
  }
  free_quoly(env->n);
  quoly_set(zero ? 1 : 0, env->n);
}

// "STrans": the sparse array named transposed in place.
void strans(builtin_func1_EnvRec* env) {
  next(env);
  if (std::strcmp(token.name, "[") != 0) abandon(open_bracket_expected_178_error, &token);
  tokentipe name{};
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, &name, env->flag, true);
  if (env->q == nullptr) abandon(no_such_array_error, &name);
  if (env->start != -1) abandon(sub_array_not_allowed_error, &name);
  set_errorname(env, 81);
  if (env->q->spar == nullptr) abandon(dense_array_not_allowed_error, &env->errorname);
  const std::int32_t rows = env->q->rows;
  const std::int32_t cols = array_cols(env->q);
  check_sparse_rows(cols);  // before the operand is kept
  keep_operand(env, env->q);
  trans_sparse(&env->q->spar, rows, cols);
  env->q->rows = cols;
  free_quoly(env->n);
  quoly_set(0, env->n);
}

// "[" a "]" after the built-in's name: a whole array (178, 28, 182).
void read_bracketed_array(builtin_func1_EnvRec* env, tokentipe* name) {
  next(env);
  if (std::strcmp(token.name, "[") != 0) abandon(open_bracket_expected_178_error, &token);
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, name, env->flag, true);
  if (env->q == nullptr) abandon(no_such_array_error, name);
  if (env->start != -1) abandon(sub_array_not_allowed_error, name);
  keep_operand(env, env->q);
}

// "Sort": the rows of the array in place, by their first column.
void sort_rows(builtin_func1_EnvRec* env) {
  tokentipe name{};
  read_bracketed_array(env, &name);
  set_errorname(env, 84);
  const arrptr q = env->q;
  const std::int32_t rows = q->rows;
  if (q->spar != nullptr) {
    std::int32_t last_frame = 0;
    check_set_first_col(q->spar, &last_frame, rows - 1, &name);
    struct sorting {
      sorting() { using_spsort = true; }
      ~sorting() { using_spsort = false; }
    } during;
    sparse_arraysort(0, 0, rows - 1, last_frame);
  } else {
    const std::int32_t cols = array_cols(q);
    for (std::int32_t k = 0; k < rows; ++k)
      if (*arp_cell(q->start + k) == nullptr)
        abandon(cell_first_column_has_no_value_error, &env->errorname);
    matexpr::need_work_array(&env->errorname);
    WorkArrayGuard work(&env->errorname);
    const workptr w = work.get();
    const std::int64_t cells = static_cast<std::int64_t>(rows) * cols;
    for (std::int64_t k = 0; k < cells; ++k)
      w->stash[k] = *arp_cell(q->start + static_cast<std::int32_t>(k));
    arraysort(w, 0, rows - 1, rows, cols);
    // The cells' values now sit in w (sorted): clear the cells first so
    // that fillup frees nothing it is about to store.
    for (std::int64_t k = 0; k < cells; ++k)
      *arp_cell(q->start + static_cast<std::int32_t>(k)) = nullptr;
    fillup(rows, cols, q->start, w);
  }
  free_quoly(env->n);
  quoly_set(0, env->n);
}

// "LCM": the least common multiple of the denominators of the entries.
void lcm_of_entries(builtin_func1_EnvRec* env) {
  read_command(env);
  if (env->start == -1) {
    env->start = env->q->spar == nullptr ? env->q->start : 0;
    env->target_rows = env->total_rows;
  } else if (env->q->spar != nullptr) {
    abandon(sub_array_sparse_array_not_allowed_error, &env->errorname);
  }
  if (std::strcmp(token.name, ")") != 0) abandon(comma_close_paren_expected_error, &token);
  next(env);
  free_quoly(env->n);
  if (lintmode) {
    // Typed at the prompt rather than replayed from a stored body.
    if (*env->flag == nullptr)
      std::fputs(" Warning.  LCM called in longint/modular mode.\n", stdout);
    quoly_set(1, env->n);
    return;
  }
  quoly_set(1, env->n);
  findlcm(env->n, env->q->spar, env->start, env->total_rows, env->target_rows, env->cols);
}

// "Poly" and "Reverse".
void poly_or_reverse(builtin_func1_EnvRec* env, std::int32_t index) {
  if (index == bi::Poly && polynames == nullptr) abandon(no_polynomial_variables_error, &token);
  tokentipe name{};
  read_bracketed_array(env, &name);
  const arrptr q = env->q;
  free_quoly(env->n);
  quoly_set(0, env->n);
  if (index == bi::Poly) {
    if (q->spar != nullptr) {
      arr_to_poly_sparse(q->spar, q->rows, env->n);
    } else {
      arr_to_poly(q, env->n);
    }
  } else if (q->spar != nullptr) {
    reverse_sparse(q->spar, q->rows);
  } else {
    reverse_array(q);
  }
}

// A sparse whole array in "[" name "]" form for the set operations.
arrptr set_operand(builtin_func1_EnvRec* env) {
  if (std::strcmp(token.name, "[") != 0) abandon(open_bracket_expected_178_error, &token);
  tokentipe name{};
  left_side(env->inf, &env->q, &env->rows, &env->cols, &env->start, &env->total_rows,
            &env->firstrow, &env->firstcol, &env->target_rows, &name, env->flag, true);
  if (env->q == nullptr) abandon(no_such_array_error, &name);
  if (env->q->spar == nullptr) abandon(dense_array_not_allowed_error, &name);
  if (env->start != -1) abandon(sub_array_not_allowed_error, &name);
  keep_operand(env, env->q);  // the first operand takes the result
  return env->q;
}

// "Synth": intersection (0), union (1) or merge (2) of two sorted sparse
// arrays into the first.
void set_operation(builtin_func1_EnvRec* env) {
  check_for_paren(env);
  next(env);
  const arrptr a = set_operand(env);
  if (std::strcmp(token.name, ",") != 0) abandon(comma_close_paren_expected_error, &token);
  next(env);
  const arrptr b = set_operand(env);
  if (std::strcmp(token.name, ",") != 0) abandon(comma_close_paren_expected_error, &token);
  next(env);
  ValueCell k;
  old_expre(env->inf, &k.q, env->flag);
  const std::int32_t op = integer_of(k.q);
  if (op < 0 || op > 2) abandon(set_operation_must_0_1_2_error, &token);
  if (std::strcmp(token.name, ")") != 0) abandon(close_paren_expected_error, &token);
  next(env);
  check_set_cols(a, b);
  const std::int32_t count = op == 0   ? intersect(a, b)
                             : op == 1 ? synth_union(a, b)
                                       : synth_merge(a, b);
  free_quoly(env->n);
  quoly_set_integer(count, env->n);
}

// A matrix built-in run with its operand keeper: one that changes its
// operand in place (changes) has it put back when an error or an interrupt
// abandons it mid-way; one that reads it has its integers settled for the
// engines until it ends.
template <builtin_handler body, bool changes>
void matrix_builtin(builtin_func1_EnvRec* env, std::int32_t index) {
  OperandKeeper keeper(changes);
  env->keeper = &keeper;
  body(env, index);
  env->keeper = nullptr;
  keeper.commit();
}

constexpr BuiltinRegistration matrix_rows[] = {
    {bi::Chpoly, matrix_builtin<index_free<chpoly_builtin>, false>},
    {bi::Colreduce, matrix_builtin<normal_form, true>},
    {bi::FFLU, matrix_builtin<fflu, true>},
    {bi::FFLUC, matrix_builtin<fflu, true>},
    {bi::Hermite, matrix_builtin<normal_form, true>},
    {bi::Iszero, matrix_builtin<index_free<iszero>, false>},
    {bi::LCM, matrix_builtin<index_free<lcm_of_entries>, false>},
    // A factor of matrix expressions (matrix_factors.cpp); as a scalar
    // factor it has no value.
    {bi::MPowermod, [](builtin_func1_EnvRec*, std::int32_t) { not_implemented(); }},
    {bi::MSmith, matrix_builtin<normal_form, true>},
    {bi::Minors, matrix_builtin<normal_form, false>},
    {bi::Normalize, matrix_builtin<normal_form, true>},
    {bi::Poly, matrix_builtin<poly_or_reverse, false>},
    {bi::Pseudet, matrix_builtin<normal_form, true>},
    {bi::Redrowech, matrix_builtin<normal_form, true>},
    {bi::Reverse, matrix_builtin<poly_or_reverse, true>},
    {bi::Rowreduce, matrix_builtin<normal_form, true>},
    {bi::STrans, matrix_builtin<index_free<strans>, true>},
    {bi::Smith, matrix_builtin<normal_form, true>},
    {bi::Sort, matrix_builtin<index_free<sort_rows>, true>},
    {bi::Synth, matrix_builtin<index_free<set_operation>, true>},
};

}  // namespace

void install_matrix_builtins() { register_builtins(matrix_rows); }

}  // namespace tavrin
