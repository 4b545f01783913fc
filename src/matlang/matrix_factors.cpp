// One factor of a matrix expression: the operator and function forms, the
// bracketed forms (named arrays and blocks, "%" slots, the system array,
// row lists), quoted text, the scalar fallback, and the postfix "^" / "#".

#include <algorithm>
#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_great_abs.h"
#include "quoly/quoly_power.h"
#include "toplevel/charsets.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "lang/nesting.h"
#include "lang/operator_aliases.h"
#include "lang/variables.h"
#include "arrays/array_operands.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/float_images.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "det/adjugate.h"
#include "matlang/matrix_expr_impl.h"
#include "matlang/matrix_expressions.h"
#include "matlang/matrix_literals.h"
#include "matlang/matrix_powers.h"
#include "matlang/poly_at_matrix.h"

namespace tavrin {

using namespace matexpr;

namespace {

using tokens::is_digit;
bool is_lower(char c) { return c >= 'a' && c <= 'z'; }

void expect(const char* w, std::int32_t code, textptr inf, nameptr* flag) {
  if (!is_tok(w)) abandon(code, &token);
  scan(inf, flag);
}

// A sub-factor read into its own value w (fresh work array; the caller's
// expected size).
void read_factor_into(textptr inf, MatValue& v, MatValue& w, nameptr* flag) {
  w.expect_r = v.expect_r;
  w.expect_c = v.expect_c;
  arr_fact(inf, w, flag);
}

// The factor after "-": negated.
void negate(MatValue& v) {
  if (v.is_scalar()) {
    quoly r = copy_of(v.n, true);
    free_quoly(&v.n);
    v.n = r;
  } else if (v.spar != nullptr) {
    sparse_makeneg(&v.spar, v.facts.rows, &v.arr_free);
  } else {
    const std::int64_t m = v.count();
    for (std::int64_t k = 0; k < m; ++k)
      put(&v.arr->stash[k], copy_of(v.arr->stash[k], true), v.arr_free);
    v.arr_free = true;
  }
}

// v := the transpose of w (sparse: owned; dense: the cells moved).
void transpose_into(MatValue& v, MatValue& w) {
  const std::int32_t r = w.facts.rows;
  const std::int32_t k = w.cols();
  if (w.spar != nullptr) {
    check_sparse_rows(k);  // before a borrowed matrix is copied
    w.make_owned();
    trans_sparse(&w.spar, r, k);
    w.set_shape(k, r);
    take_over(v, w);
    return;
  }
  for (std::int32_t j = 0; j < k; ++j) {
    for (std::int32_t i = 0; i < r; ++i) {
      quolyptr cell = &w.arr->stash[static_cast<std::int64_t>(j) * r + i];
      quolyptr to = &v.arr->stash[static_cast<std::int64_t>(i) * k + j];
      *to = *cell;
      if (w.arr_free) *cell = nullptr;
    }
  }
  // A borrowed matrix stays borrowed: its cells are only rearranged, and
  // whatever is done with them next copies them (or leaves them alone).
  v.arr_free = w.arr_free;
  w.forget();
  v.set_shape(k, r);
}

// Greatest integer ("$") or absolute value ("|...|") of every entry.
void great_or_abs(MatValue& v, bool abs) {
  if (v.is_scalar()) {
    if (abs) {
      quoly_abs(v.n);
    } else {
      quoly_great_int(&v.n);
    }
    return;
  }
  if (v.spar != nullptr) {
    sparse_great_abs(&v.spar, v.facts.rows, v.arr_free, abs);
    v.arr_free = true;
    return;
  }
  v.make_owned();
  const std::int64_t m = v.count();
  for (std::int64_t k = 0; k < m; ++k) {
    if (abs) {
      quoly_abs(v.arr->stash[k]);
    } else {
      quoly_great_int(&v.arr->stash[k]);
    }
  }
}

// A named array (or an array of the "%" store) q: a dense one's cells (or a
// block of them, when "[" follows) borrowed into v.arr, a sparse one's
// frames shared. The token after the name is current on entry.
void named_array(textptr inf, MatValue& v, arrptr q, nameptr* flag) {
  if (q->spar != nullptr) {
    if (is_tok("[")) abandon(sub_array_sparse_array_not_allowed_error, &token);
    v.spar = q->spar;
    v.arr_free = false;
    v.set_shape(q->rows, array_cols(q));
    return;
  }
  std::int32_t start = q->start;
  std::int32_t rows = q->rows;
  std::int32_t cols = array_cols(q);
  std::int32_t total_rows = q->rows;
  if (is_tok("[")) {
    std::int32_t firstrow = 0;
    std::int32_t firstcol = 0;
    subarray(inf, q, &start, &rows, &cols, &firstrow, &firstcol, &total_rows, flag);
  }
  for (std::int32_t j = 0; j < cols; ++j)
    for (std::int32_t i = 0; i < rows; ++i)
      check_and_assign(start + i + j * total_rows,
                       &v.arr->stash[static_cast<std::int64_t>(j) * rows + i]);
  v.arr_free = false;
  v.set_shape(rows, cols);
}

// "[" "(" entries ")" "]": one row of scalar sums.
void row_list(textptr inf, MatValue& v, nameptr* flag) {
  std::int32_t count = 0;
  v.arr_free = true;
  for (;;) {
    if (count > 999999) {
      v.set_shape(1, count);
      abandon(too_many_entries_more_than_999999_error, &token);
    }
    scan(inf, flag);
    v.arr->stash[count] = nullptr;
    ++count;
    v.set_shape(1, count);
    old_expre(inf, &v.arr->stash[count - 1], flag);
    if (is_tok(")")) break;
    if (!is_tok(",")) abandon(comma_close_paren_expected_error, &token);
  }
  scan(inf, flag);
}

// After "[": the bracketed forms. Returns false when the form consumed its
// closing "]" and takes no postfix operator (a sparse literal); otherwise
// the caller checks "]".
bool bracketed(textptr inf, MatValue& v, nameptr* flag) {
  scan(inf, flag);
  const char c = token.name[0];
  if (is_digit(c) || is_tok("-") ||
      (is_lower(c) && number_polys > 0 && its_a_polyname(token.name))) {
    diagonal_matrix(inf, v, flag);
  } else if (is_lower(c)) {
    arrptr q = nullptr;
    fastestlookup(&token, &q);
    if (q == nullptr) abandon(no_such_array_error, &token);
    scan(inf, flag);
    named_array(inf, v, q, flag);
  } else if (is_tok("%")) {
    std::int32_t m = 0;
    {
      ValueCell index;
      get_arr_arr(inf, &index.q, flag, &m);
    }
    if (arrstash == nullptr || m < 0 || m >= arrstash_slots || arrstash[m] == nullptr) {
      const tokentipe pct = unstored_token("%");
      abandon(empty_slot_store_arrays_error, &pct);
    }
    scan(inf, flag);  // past the index's "]"
    named_array(inf, v, arrstash[m], flag);
  } else if (is_tok("(")) {
    row_list(inf, v, flag);
  } else if (is_tok("<")) {
    scan(inf, flag);
    if (!is_tok("]")) {
      generated_matrix(inf, v, flag);
      return true;
    }
    if (syst == nullptr || syst->stop == -1) abandon(system_array_empty_error, &token);
    copy_syst(v.arr, syst->rows, &v.spar);
    v.arr_free = true;
    v.set_shape(syst->rows, (syst->stop + 1) / syst->rows);
  } else if (is_tok("Rand") || is_tok("RRand")) {
    if (v.expect_r == 0) abandon(random_matrix_number_rows_not_known_error, &token);
    const bool again = is_tok("RRand");
    scan(inf, flag);
    if (want_sparse) {
      sparse_random(again, v);
      return true;
    }
    const std::int64_t m = static_cast<std::int64_t>(v.expect_r) * v.expect_c;
    v.arr_free = true;
    for (std::int64_t k = 0; k < m; ++k) {
      v.arr->stash[k] = nullptr;
      v.set_shape(v.expect_r, static_cast<std::int32_t>((k + v.expect_r) / v.expect_r));
      randomize(again, &v.arr->stash[k]);
    }
    v.set_shape(v.expect_r, v.expect_c);
  } else if (is_tok("[")) {
    if (matrix_list(inf, v, flag)) return false;  // a sparse literal ends the factor
  } else if (is_tok("]") && want_sparse) {
    sparse_init(&v.spar, v.expect_r);
    v.arr_free = true;
    v.set_shape(v.expect_r, v.expect_c);
  } else {
    abandon(array_name_expected_lower_case_letter_error, &token);
  }
  return true;
}

// "Altmult" "(" expression "," expression ")".
void alt_mult(textptr inf, MatValue& v, nameptr* flag) {
  scan(inf, flag);
  if (!is_tok("(")) abandon(open_paren_expected_177_error, &token);
  scan(inf, flag);
  need_work_array(&token);
  WorkArrayGuard work1(&token);
  MatValue w1(work1.get());
  w1.expect_r = v.expect_r;
  w1.expect_c = v.expect_c;
  arr_expre(inf, w1, flag, true);
  if (w1.is_scalar()) abandon(matrix_operation_applied_scalar_error, &token);
  if (w1.spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
  const std::int32_t r1 = w1.facts.rows;
  const std::int32_t k1 = w1.cols();
  if (!is_tok(",")) abandon(comma_expected_error, &token);
  scan(inf, flag);
  need_work_array(&token);
  WorkArrayGuard work2(&token);
  MatValue w2(work2.get());
  w2.expect_r = k1;
  w2.expect_c = r1;
  arr_expre(inf, w2, flag, true);
  if (w2.is_scalar()) abandon(matrix_operation_applied_scalar_error, &token);
  if (w2.spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
  if (!is_tok(")")) abandon(close_paren_expected_error, &token);
  const std::int32_t r2 = w2.facts.rows;
  const std::int32_t k2 = w2.cols();
  if (k1 != r2) abandon(matrix_sizes_do_not_match_error, &token);
  if (static_cast<std::int64_t>(r1) * k2 > 1000000)
    abandon(array_too_large_more_than_1000000_error, &token);
  w1.settle_integers();
  w2.settle_integers();
  fast_mat_mult(w1.arr, w2.arr, v.arr, r1, r2, k2);
  v.set_shape(r1, k2);
  v.arr_free = true;
  scan(inf, flag);
}

// "Altpower" / "MPowermod" "(" expression "," exponent ["," modulus] ")".
void alt_power(textptr inf, MatValue& v, nameptr* flag, bool modular) {
  scan(inf, flag);
  if (!is_tok("(")) abandon(open_paren_expected_177_error, &token);
  scan(inf, flag);
  arr_expre(inf, v, flag, true);
  if (v.is_scalar()) abandon(matrix_operation_applied_scalar_error, &token);
  if (v.spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
  if (v.count() != static_cast<std::int64_t>(v.facts.rows) * v.facts.rows)
    abandon(matrix_not_square_172_error, &token);
  v.settle_integers();
  if (!is_tok(",")) abandon(comma_expected_error, &token);
  imptr e = nullptr;
  get_exponent(inf, flag, &e, false);
  nodes::OwnedInteger hold{e};
  if (!modular) {
    if (!is_tok(")")) abandon(close_paren_expected_error, &token);
    std::int32_t k = 1;
    {
      BigModeGuard big;  // the exponent is a big integer whatever the ring
      k = check_and_convert(e);
    }
    alt_mat_power(v.arr, &v.facts, &v.arr_free, k);
  } else {
    ValueCell modder;
    bool given = false;
    if (is_tok(",")) {
      scan(inf, flag);
      old_expre(inf, &modder.q, flag);
      given = true;
      quoly m = modder.q;
      if (!m->numb && m->denom != nullptr)
        abandon(modulus_must_positive_number_polynomial_error, &token);
      if (m->numb && lintmode) abandon(modulus_must_not_number_modular_arithmetic_error, &token);
      if (m->numb) {
        ValueCell zero;
        quoly_set(0, &zero.q);
        if (!quoly_larger(m, zero.q))
          abandon(modulus_must_positive_number_polynomial_error, &token);
      }
    }
    if (!is_tok(")")) abandon(close_paren_expected_error, &token);
    matpowermod(v.arr, &v.facts, &v.arr_free, e, given ? &modder.q : nullptr, verbose && windy);
  }
  scan(inf, flag);
}

// The scalar fallback: one factor of the scalar reader.
void scalar_factor(textptr inf, MatValue& v, nameptr* flag) {
  ++matrix_eval;
  const std::int32_t mark = matrix_eval;
  old_fact(inf, &v.n, flag);
  if (matrix_eval == mark) {
    --matrix_eval;
    return;
  }
  // The scalar reader met a polynomial followed by "#" "[": p(A).
  ValueCell p;
  p.q = v.n;
  v.n = nullptr;
  quoly_at_matrix(inf, p.q, v, flag);
}

}  // namespace

namespace matexpr {

void diagonal_into(MatValue& v, MatValue& w) {
  // The diagonal is one row of the work array, also for a sparse matrix.
  if (std::min<std::int64_t>(w.facts.rows, w.cols()) > workarray_cells)
    abandon(array_too_large_more_than_1000000_error, &token);
  std::int32_t rows = w.facts.rows;
  extract_diagonal(v.arr, w.arr, &w.facts, w.arr_free, &rows, &w.spar);
  v.set_shape(1, w.cols());
  v.arr_free = w.arr_free;
  w.forget();
}

void apply_power(textptr inf, MatValue& v, nameptr* flag) {
  const tokentipe hat = token;
  if (v.count() != static_cast<std::int64_t>(v.rows()) * v.rows())
    abandon(matrix_not_square_172_error, &hat);
  imptr e = nullptr;
  get_exponent(inf, flag, &e, true);
  nodes::OwnedInteger hold{e};
  if (v.is_scalar()) {
    raise_to_power(&v.n, e);
  } else {
    v.settle_integers();
    const std::int32_t k = check_and_convert(e);
    auto power = [&] { matrix_power(v.arr, &v.facts, &v.arr_free, k, &v.spar); };
    if (!run_floating(v, nullptr, power)) power();
  }
}

void apply_evaluation(textptr inf, MatValue& v, nameptr* flag) {
  scan(inf, flag);
  if (v.is_scalar() && is_tok("[")) {
    ValueCell p;
    p.q = v.n;
    v.n = nullptr;
    v.spar = nullptr;
    quoly_at_matrix(inf, p.q, v, flag);
    quoly_set(0, &v.n);
    return;
  }
  if (!v.is_scalar()) {
    v.clear_scalar();
    if (v.spar != nullptr) {
      sparse_evalquoly(inf, v, flag);
      quoly_set(0, &v.n);
      return;
    }
    // Every entry at the same values: read at the first entry, then kept
    // as a chain in the scalar cell for the others.
    v.make_owned();
    std::int16_t target = 0;
    const std::int64_t m = v.count();
    {
      // The chain goes on every exit, an unwinding error included.
      struct ChainPurge {
        quoly* chain;
        ~ChainPurge() { purge_list(chain); }
      } purge{&v.n};
      for (std::int64_t k = 0; k < m; ++k)
        get_evalquoly(inf, &v.arr->stash[k], &v.n, &target, flag, false, false);
    }
    quoly_set(0, &v.n);
    return;
  }
  ValueCell values;
  std::int16_t target = 0;
  get_evalquoly(inf, &v.n, &values.q, &target, flag, true, false);
}

}  // namespace matexpr

void arr_fact(textptr inf, MatValue& v, nameptr* flag) {
  NestingLevel depth;
  if (is_tok("(")) {
    scan(inf, flag);
    arr_expre(inf, v, flag, true);
    if (!is_tok(")")) abandon(close_paren_expected_error, &token);
    scan(inf, flag);
  } else if (is_tok("-")) {
    scan(inf, flag);
    arr_fact(inf, v, flag);
    negate(v);
  } else if (is_tok("Trans") || is_array_alias(token.name, ArrayCode::transpose) ||
             is_tok("Diag") || is_tok("Adjoint")) {
    const bool trans = is_tok("Trans") || is_array_alias(token.name, ArrayCode::transpose);
    const bool diag = is_tok("Diag");
    scan(inf, flag);
    need_work_array(&token);
    WorkArrayGuard work(&token);
    MatValue w(work.get());
    read_factor_into(inf, v, w, flag);
    if (w.is_scalar())
      abandon(diag ? diag_applied_scalar_error : matrix_operation_applied_scalar_error, &token);
    if (trans) {
      transpose_into(v, w);
    } else if (diag) {
      diagonal_into(v, w);
    } else {
      if (w.count() != static_cast<std::int64_t>(w.facts.rows) * w.facts.rows)
        abandon(matrix_not_square_241_error, &token);
      if (w.spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
      w.settle_integers();
      adjoint(w.arr, v.arr, w.arr_free, w.facts.rows, &w.spar);
      v.set_shape(w.facts.rows, w.facts.rows);
      v.arr_free = true;
    }
  } else if (is_tok("$")) {
    scan(inf, flag);
    arr_fact(inf, v, flag);
    great_or_abs(v, false);
  } else if (is_tok("|")) {
    scan(inf, flag);
    arr_fact(inf, v, flag);
    if (!is_tok("|")) abandon(closing_bar_expected_error, &token);
    scan(inf, flag);
    great_or_abs(v, true);
  } else if (is_tok("[")) {
    if (!bracketed(inf, v, flag)) return;
    expect("]", close_bracket_expected_24_error, inf, flag);
  } else if (is_tok("Altmult")) {
    alt_mult(inf, v, flag);
  } else if (is_tok("Altpower") || is_tok("MPowermod")) {
    alt_power(inf, v, flag, is_tok("MPowermod"));
  } else if (is_tok("'")) {
    v.arr_free = true;
    quoted_text_row(inf, flag, v.arr, &v.facts);
  } else {
    scalar_factor(inf, v, flag);
  }
  if (is_tok("^")) {
    apply_power(inf, v, flag);
  } else if (is_tok("#")) {
    apply_evaluation(inf, v, flag);
  }
}

}  // namespace tavrin
