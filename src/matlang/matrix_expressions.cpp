#include "matlang/matrix_expressions.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_divide.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_stash.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/nesting.h"
#include "arrays/sparse_store.h"
#include "matrix/float_images.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "det/router.h"
#include "matlang/matrix_expr_impl.h"

namespace tavrin {

namespace matexpr {

void need_work_array(const tokentipe* x) {
  if (first_available > work_pool_size) abandon(all_20_work_arrays_use_error, x);
}

quoly entry_op(char op, quoly a, quoly b) {
  quoly r = nullptr;
  switch (op) {
    case '+': quoly_add(a, b, &r); break;
    case '-': quoly_sub(a, b, &r); break;
    case '*': quoly_mult(a, b, &r); break;
    case '/': quoly_quot(a, b, &r, false); break;
    default: quoly_mod_or_div(a, b, &r, op); break;
  }
  return r;
}

void put(quolyptr cell, quoly r, bool owned) {
  if (owned) free_quoly(cell);
  *cell = r;
}

void take_over(MatValue& v, MatValue& w) {
  v.release();
  if (w.spar != nullptr) {
    v.spar = w.spar;
  } else {
    const std::int64_t m = w.count();
    for (std::int64_t k = 0; k < m; ++k) v.arr->stash[k] = w.arr->stash[k];
  }
  v.set_shape(w.facts.rows, w.cols());
  v.arr_free = w.arr_free;
  w.forget();
}

void join_scalar(MatValue& v, quoly s, bool front) {
  v.make_owned();
  const std::int64_t m = v.count();
  if (m > 999999) abandon(vector_too_long_more_than_1000000_error, &token);
  if (front) {
    for (std::int64_t k = m; k > 0; --k) v.arr->stash[k] = v.arr->stash[k - 1];
    v.arr->stash[0] = copy_of(s, false);
  } else {
    v.arr->stash[m] = copy_of(s, false);
  }
  const auto total = static_cast<std::int32_t>(m + 1);
  if (v.facts.rows > 1) {
    v.set_shape(total, 1);
  } else {
    v.set_shape(1, total);
  }
}

}  // namespace matexpr

using namespace matexpr;

namespace {

struct CancelHold {
  CancelHold() { ++cancelflag; }
  ~CancelHold() { --cancelflag; }
};

// ---- Sums ---------------------------------------------------------------------------------

void check_sizes(const MatValue& v, const MatValue& w, bool rows_too) {
  if (v.count() != w.count() || (rows_too && v.facts.rows != w.facts.rows))
    abandon(matrix_sizes_do_not_match_error, &token);
}

// The dense cells of v := t (negated when neg) for every one of count
// entries; v's cells own nothing.
void fill_with(MatValue& v, std::int64_t count, quoly t, bool neg) {
  if (count > 1000000) abandon(sparse_matrix_too_large_operation_error, &token);
  for (std::int64_t k = 0; k < count; ++k) v.arr->stash[k] = copy_of(t, neg);
}

void combine_sum(MatValue& v, MatValue& w, bool plus) {
  const char op = plus ? '+' : '-';
  v.settle_integers();
  w.settle_integers();
  if (v.is_scalar() && w.is_scalar()) {
    if (plus) {
      best_quoly_add(&v.n, w.n);
    } else {
      best_quoly_sub(&v.n, w.n);
    }
    w.n = nullptr;
    return;
  }
  if (w.is_scalar()) {
    if (v.spar == nullptr) {
      const std::int64_t m = v.count();
      for (std::int64_t k = 0; k < m; ++k)
        put(&v.arr->stash[k], entry_op(op, v.arr->stash[k], w.n), v.arr_free);
    } else {
      const std::int32_t r = v.facts.rows;
      const std::int32_t c = v.cols();
      fill_with(v, v.count(), w.n, !plus);
      add_one_sparse(v.arr, &v.facts, v.arr_free, v.spar, true);
      v.spar = nullptr;
      v.set_shape(r, c);
    }
    v.arr_free = true;
    return;
  }
  if (v.is_scalar()) {
    if (w.spar == nullptr) {
      const std::int64_t m = w.count();
      for (std::int64_t k = 0; k < m; ++k) v.arr->stash[k] = entry_op(op, v.n, w.arr->stash[k]);
      v.set_shape(w.facts.rows, w.cols());
      w.release();
    } else {
      fill_with(v, w.count(), v.n, false);
      v.set_shape(w.facts.rows, w.cols());
      add_one_sparse(v.arr, &v.facts, w.arr_free, w.spar, plus);
      w.forget();
    }
    v.arr_free = true;
    return;
  }
  check_sizes(v, w, v.spar != nullptr || w.spar != nullptr);
  if (v.spar == nullptr && w.spar == nullptr) {
    const std::int64_t m = v.count();
    for (std::int64_t k = 0; k < m; ++k) {
      if (v.arr_free && w.arr_free) {
        if (plus) {
          best_quoly_add(&v.arr->stash[k], w.arr->stash[k]);
        } else {
          best_quoly_sub(&v.arr->stash[k], w.arr->stash[k]);
        }
        w.arr->stash[k] = nullptr;
      } else {
        put(&v.arr->stash[k], entry_op(op, v.arr->stash[k], w.arr->stash[k]), v.arr_free);
      }
    }
  } else if (v.spar == nullptr) {
    v.make_owned();
    add_one_sparse(v.arr, &v.facts, w.arr_free, w.spar, plus);
    w.forget();
  } else if (w.spar != nullptr) {
    add_sparses(&v.spar, &w.spar, v.arr_free, w.arr_free, v.facts.rows, plus);
    if (w.arr_free) w.forget();
  } else {
    // Sparse first, dense second: a dense result.
    const std::int64_t m = w.count();
    for (std::int64_t k = 0; k < m; ++k) {
      quolyptr cell = &w.arr->stash[k];
      if (w.arr_free && plus) {
        v.arr->stash[k] = *cell;
        *cell = nullptr;
      } else {
        v.arr->stash[k] = copy_of(*cell, !plus);
      }
    }
    add_one_sparse(v.arr, &v.facts, v.arr_free, v.spar, true);
    v.spar = nullptr;
    v.set_shape(w.facts.rows, w.cols());
  }
  v.arr_free = true;
}

// ---- Products ------------------------------------------------------------------------------

// Every entry of the matrix v := entry op t (t kept).
void matrix_by_scalar(MatValue& v, quoly t, char op, const tokentipe& optok) {
  if (v.spar != nullptr) {
    const std::int32_t r = v.facts.rows;
    if (op == '*') {
      auto scale = [&](quoly s) { mult_cons_sparse(&v.spar, s, v.arr_free, r); };
      if (!run_floating_scaled(v, t, scale)) scale(t);
    } else if (op == '/') {
      quoly one = nullptr;
      quoly_set(1, &one);
      quoly inv = entry_op('/', one, t);
      free_quoly(&one);
      mult_cons_sparse(&v.spar, inv, v.arr_free, r);
      free_quoly(&inv);
    } else if (op == '_') {
      abandon(sparse_array_not_allowed_242_error, &optok);
    } else {
      sparse_mod_or_div(&v.spar, t, r, v.arr_free, op);
    }
    v.arr_free = true;
    return;
  }
  if (op == '_') {
    join_scalar(v, t, false);
    return;
  }
  const std::int64_t m = v.count();
  for (std::int64_t k = 0; k < m; ++k)
    put(&v.arr->stash[k], entry_op(op, v.arr->stash[k], t), v.arr_free);
  v.arr_free = true;
}

// w := its inverse (the square matrix w inverted in place by the router),
// times the scalar v.n unless that is 1 (nil: 1). The router gets a cell of
// its own, whatever it leaves there.
void invert_into(MatValue& v, MatValue& w, const tokentipe& optok) {
  if (first_available > work_pool_size) abandon(no_work_array_free_matrix_inversion_error, &optok);
  const std::int32_t m = w.facts.rows;
  w.make_owned();
  nodes::OwnedValue cell;
  auto inverse = [&] {
    quoly_set(1, cell.cell());  // in the mode of the inversion
    cell.q->next = nullptr;
    mat_invert(w.arr, w.arr, m, cell.cell(), &w.spar, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
  };
  if (!run_floating(w, nullptr, inverse)) inverse();
  if (v.n != nullptr && !quoly_eq_1(v.n)) matrix_by_scalar(w, v.n, '*', optok);
}

// s (the scalar v) op the matrix w.
void scalar_by_matrix(MatValue& v, MatValue& w, char op, const tokentipe& optok) {
  const bool square = w.count() == static_cast<std::int64_t>(w.facts.rows) * w.facts.rows;
  if (op == '/' && square) {
    invert_into(v, w, optok);
    take_over(v, w);
    return;
  }
  if (w.spar != nullptr) {
    if (op == '*') {
      auto scale = [&](quoly s) { mult_cons_sparse(&w.spar, s, w.arr_free, w.facts.rows); };
      if (!run_floating_scaled(w, v.n, scale)) scale(v.n);
      w.arr_free = true;
      take_over(v, w);
      return;
    }
    abandon(sparse_array_not_allowed_242_error, &optok);
  }
  if (op == '_') {
    join_scalar(w, v.n, true);
    take_over(v, w);
    return;
  }
  const std::int64_t m = w.count();
  for (std::int64_t k = 0; k < m; ++k) v.arr->stash[k] = entry_op(op, v.n, w.arr->stash[k]);
  v.set_shape(w.facts.rows, w.cols());
  v.arr_free = true;
  w.release();
}

// v := v * w, the matrices' product.
void product(MatValue& v, MatValue& w) {
  auto mult = [&] { matrix_mult(v.arr, w.arr, &v.facts, &w.facts, v.arr_free, &v.spar, &w.spar); };
  if (!run_floating(v, &w, mult)) mult();
}

void entrywise(MatValue& v, MatValue& w, char op) {
  check_sizes(v, w, true);
  if (v.spar != nullptr || w.spar != nullptr)
    abandon(entrywise_operation_sparse_matrix_error, &token);
  const std::int64_t m = v.count();
  for (std::int64_t k = 0; k < m; ++k)
    put(&v.arr->stash[k], entry_op(op, v.arr->stash[k], w.arr->stash[k]), v.arr_free);
  v.arr_free = true;
}

void combine_product(MatValue& v, MatValue& w, char op, const tokentipe& optok) {
  v.settle_integers();
  w.settle_integers();
  if (v.is_scalar() && w.is_scalar()) {
    switch (op) {
      case '*': fast_quoly_mult(&v.n, &w.n); break;
      case '/': fast_quoly_quot(&v.n, &w.n, false); break;
      case '_': abandon(underscore_between_two_scalars_error, &optok);
      default: {
        quoly r = entry_op(op, v.n, w.n);
        free_quoly(&v.n);
        v.n = r;
      }
    }
    return;
  }
  if (w.is_scalar()) {
    matrix_by_scalar(v, w.n, op, optok);
    return;
  }
  if (v.is_scalar()) {
    scalar_by_matrix(v, w, op, optok);
    return;
  }
  const std::int32_t r1 = v.facts.rows;
  const std::int32_t k1 = v.cols();
  const std::int32_t r2 = w.facts.rows;
  const std::int32_t k2 = w.cols();
  // "*" of conformable matrices is their product, "/" by a conformable
  // square matrix the product with its inverse; "_" joins the two; the rest
  // (and "*", "/" otherwise) works entry by entry.
  const bool square_w = static_cast<std::int64_t>(r2) * r2 == w.count();
  if (k1 == r2 && (op == '*' || (op == '/' && square_w))) {
    if (op == '/') {
      free_quoly(&v.n);
      invert_into(v, w, optok);
    }
    product(v, w);
    v.set_shape(r1, k2);
    v.arr_free = true;
  } else if (op == '_') {
    if (v.spar != nullptr || w.spar != nullptr) abandon(sparse_array_not_allowed_242_error, &optok);
    bool oktofree = true;
    concatenate(v, w, &oktofree);
  } else {
    entrywise(v, w, op);
  }
}

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

void arr_expre(textptr inf, MatValue& v, nameptr* flag, bool callterm) {
  NestingLevel depth;
  CancelHold hold;
  if (!callterm && (is_tok("^") || is_tok("#"))) half_arr_fact(inf, v, flag);
  const std::int32_t er = v.expect_r;
  const std::int32_t ec = v.expect_c;
  arr_term(inf, v, flag, callterm);
  std::optional<WorkArrayGuard> work;
  std::unique_ptr<MatValue> w;
  while (is_tok("+") || is_tok("-")) {
    const bool plus = is_tok("+");
    scan(inf, flag);
    if (!work) {
      need_work_array(&token);
      work.emplace(&token);
      w = std::make_unique<MatValue>(work->get());
    }
    w->release();
    w->clear_scalar();
    w->expect_r = er;
    w->expect_c = ec;
    arr_term(inf, *w, flag, true);
    combine_sum(v, *w, plus);
    w->release();
  }
}

void arr_term(textptr inf, MatValue& v, nameptr* flag, bool callfact) {
  const std::int32_t er = v.expect_r;
  const std::int32_t ec = v.expect_c;
  if (callfact) arr_fact(inf, v, flag);
  GcdStashLevel cache;
  for (;;) {
    const char c = token.name[0];
    const bool implied = is_letter(c);
    if (!implied &&
        !(token.name[1] == '\0' && (c == '*' || c == '/' || c == '|' || c == '\\' || c == '_')))
      break;
    const tokentipe optok = token;
    const char op = implied ? '*' : c;
    need_work_array(&optok);
    WorkArrayGuard work(&optok);
    MatValue w(work.get());
    w.expect_r = er;
    w.expect_c = ec;
    if (!implied) scan(inf, flag);
    arr_fact(inf, w, flag);
    combine_product(v, w, op, optok);
  }
}

void half_arr_fact(textptr inf, MatValue& v, nameptr* flag) {
  if (is_tok("^")) {
    apply_power(inf, v, flag);
  } else if (is_tok("#")) {
    apply_evaluation(inf, v, flag);
  }
}

void concatenate(MatValue& v, MatValue& w, bool* oktofree) {
  const std::int64_t m1 = v.count();
  const std::int64_t m2 = w.count();
  if (m1 + m2 > 1000000) abandon(vector_too_long_more_than_1000000_error, &token);
  if (m1 == 1) {
    w.make_owned();
    quoly first = v.arr->stash[0];
    if (v.arr_free) v.arr->stash[0] = nullptr;
    join_scalar(w, first, true);
    if (v.arr_free) free_quoly(&first);
    take_over(v, w);
    *oktofree = false;
    return;
  }
  if (m2 == 1) {
    join_scalar(v, w.arr->stash[0], false);
    return;
  }
  const std::int32_t r1 = v.facts.rows;
  const std::int32_t k1 = v.cols();
  const std::int32_t r2 = w.facts.rows;
  const std::int32_t k2 = w.cols();
  std::int32_t rows = 0;
  std::int32_t cols = 0;
  if (k1 == k2) {
    rows = r1 + r2;
    cols = k1;
  } else if (r1 == r2) {
    rows = r1;
    cols = k1 + k2;
  } else {
    abandon(matrices_join_differ_both_rows_columns_error, &token);
  }
  need_work_array(&token);
  WorkArrayGuard work(&token);
  workptr z = work.get();
  auto take = [](MatValue& x, std::int64_t k) {
    quolyptr cell = &x.arr->stash[k];
    if (!x.arr_free) return copy_of(*cell, false);
    quoly e = *cell;
    *cell = nullptr;
    return e;
  };
  if (k1 == k2) {
    for (std::int32_t j = 0; j < cols; ++j) {
      for (std::int32_t i = 0; i < r1; ++i)
        z->stash[static_cast<std::int64_t>(j) * rows + i] =
            take(v, static_cast<std::int64_t>(j) * r1 + i);
      for (std::int32_t i = 0; i < r2; ++i)
        z->stash[static_cast<std::int64_t>(j) * rows + r1 + i] =
            take(w, static_cast<std::int64_t>(j) * r2 + i);
    }
  } else {
    for (std::int64_t k = 0; k < m1; ++k) z->stash[k] = take(v, k);
    for (std::int64_t k = 0; k < m2; ++k) z->stash[m1 + k] = take(w, k);
  }
  v.release();
  const std::int64_t total = m1 + m2;
  for (std::int64_t k = 0; k < total; ++k) v.arr->stash[k] = z->stash[k];
  v.set_shape(rows, cols);
  v.arr_free = true;
  if (w.arr_free) *oktofree = false;
}

}  // namespace tavrin
