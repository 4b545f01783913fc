// p(A) by Horner's scheme on matrices (poly_at_matrix.h).
#include "matlang/poly_at_matrix.h"
#include "core/error_codes.h"
#include "matlang/matrix_powers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/number_tests.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"
#include "arrays/array_store.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "matlang/matrix_expr_impl.h"
#include "matlang/matrix_expressions.h"

namespace tavrin {

using namespace matexpr;

namespace {

// One term of p's top list: its exponent and its coefficient as a value of
// its own (a number, or a polynomial in the lower variables padded to the
// top level), owned here.
struct Term {
  std::int32_t exp;
  quoly coef;
};

struct Terms {
  std::vector<Term> list;
  Terms() = default;
  Terms(const Terms&) = delete;
  Terms& operator=(const Terms&) = delete;
  ~Terms() {
    for (Term& t : list) free_quoly(&t.coef);
  }
};

// The coefficient polynomial c of a term as a value: c under a pad term of
// exponent 0 (the pad node is borrowed for the copy and given back).
quoly pad_1(poly c) {
  poly t = nodes::new_term(0, c);
  quoly q = nullptr;
  p_q_assign(t, &q);
  t->pcoef = nullptr;
  free_polynode_list(t, t);
  return q;
}

// Multiplying by 1 changes nothing: that product is skipped.
bool is_one(quoly c) { return c->numb && nodes::num_is_one(c->ncoef); }

// B := B + c*I (B square, owned).
void add_scalar(MatValue& b, quoly c) {
  const std::int32_t r = b.rows();
  if (b.spar != nullptr) {
    add_to_diag(c, b.spar, r);
    return;
  }
  for (std::int32_t i = 0; i < r; ++i) {
    quolyptr cell = &b.arr->stash[static_cast<std::int64_t>(i) * (r + 1)];
    better_quoly_add(*cell, c, cell);
  }
}

// B := c * B in place (B owned).
void scale(MatValue& b, quoly c) {
  if (is_one(c)) return;
  if (b.spar != nullptr) {
    mult_cons_sparse(&b.spar, c, true, b.rows());
    return;
  }
  const std::int64_t m = b.count();
  for (std::int64_t k = 0; k < m; ++k) {
    quoly r = nullptr;
    quoly_mult(c, b.arr->stash[k], &r);
    free_quoly(&b.arr->stash[k]);
    b.arr->stash[k] = r;
  }
}

// B := c * A, A kept (B's cells own nothing before).
void scaled_copy(MatValue& b, MatValue& a, quoly c) {
  const std::int32_t r = a.rows();
  if (a.spar != nullptr) {
    if (is_one(c)) {
      copy_sparse(&a.spar, &b.spar, r, false);
    } else {
      b.spar = a.spar;  // replaced by the new matrix; A's frames are kept
      mult_cons_sparse(&b.spar, c, false, r);
    }
  } else {
    const std::int64_t m = a.count();
    for (std::int64_t k = 0; k < m; ++k) {
      b.arr->stash[k] = nullptr;
      if (is_one(c)) {
        quoly_assign(a.arr->stash[k], &b.arr->stash[k]);
      } else {
        quoly_mult(c, a.arr->stash[k], &b.arr->stash[k]);
      }
    }
  }
  b.set_shape(r, r);
  b.arr_free = true;
}

// W := A^g (W borrows A's entries first; the power owns its result).
void power_of(MatValue& w, MatValue& a, std::int32_t g) {
  w.release();
  const std::int32_t r = a.rows();
  if (a.spar != nullptr) {
    w.spar = a.spar;
  } else {
    const std::int64_t m = a.count();
    for (std::int64_t k = 0; k < m; ++k) w.arr->stash[k] = a.arr->stash[k];
  }
  w.set_shape(r, r);
  w.arr_free = false;
  if (g < 0) w.make_owned();  // the inverse is formed in place
  matrix_power(w.arr, &w.facts, &w.arr_free, g, &w.spar);
  if (!w.arr_free) w.make_owned();  // g = 1: still A's entries
}

// B := B * F (F kept).
void times(MatValue& b, MatValue& f) {
  matrix_mult(b.arr, f.arr, &b.facts, &f.facts, true, &b.spar, &f.spar);
}

// v := c * I of v's size (c kept), whatever v held.
void constant_case(MatValue& v, quoly c) {
  const std::int32_t r = v.rows();
  if (v.spar != nullptr) {
    spar_identi(&v.spar, r, v.arr_free);
    v.arr_free = true;
    mult_cons_sparse(&v.spar, c, true, r);
    v.set_shape(r, r);
    return;
  }
  v.release();
  for (std::int32_t j = 0; j < r; ++j) {
    for (std::int32_t i = 0; i < r; ++i) {
      quolyptr cell = &v.arr->stash[static_cast<std::int64_t>(j) * r + i];
      *cell = nullptr;
      if (i == j) {
        quoly_assign(c, cell);
      } else {
        quoly_set(0, cell);
      }
    }
  }
  v.set_shape(r, r);
  v.arr_free = true;
}

// The result B replaces A in v; A's entries are released when owned.
void finish_3(MatValue& v, MatValue& b) { take_over(v, b); }

// p(A) by Horner's scheme over the gaps of the exponents (terms in
// descending order); the result replaces A in v.
void horner(Terms& terms, MatValue& v) {
  const std::size_t k = terms.list.size();
  need_work_array(&bulletsign);
  WorkArrayGuard b_work(&bulletsign);
  MatValue b(b_work.get());

  const std::int32_t g0 = k == 1 ? terms.list[0].exp : terms.list[0].exp - terms.list[1].exp;
  if (g0 == 0 || g0 == 1) {
    scaled_copy(b, v, terms.list[0].coef);
  } else {
    power_of(b, v, g0);
    scale(b, terms.list[0].coef);
  }
  if (k == 1) {
    finish_3(v, b);
    return;
  }
  add_scalar(b, terms.list[1].coef);

  const std::int32_t ek = terms.list[k - 1].exp;
  std::optional<WorkArrayGuard> w_work;
  std::optional<MatValue> w;
  if (k > 2 || terms.list[1].exp > 1 || terms.list[1].exp < 0) {
    need_work_array(&bulletsign);
    w_work.emplace(&bulletsign);
    w.emplace(w_work->get());
  }
  for (std::size_t i = 1; i + 1 < k; ++i) {
    check_interrupt();
    const std::int32_t g = terms.list[i].exp - terms.list[i + 1].exp;
    if (g < 2) {
      times(b, v);
    } else {
      power_of(*w, v, g);
      times(b, *w);
    }
    add_scalar(b, terms.list[i + 1].coef);
  }
  if (ek == 1) {
    times(b, v);
  } else if (ek >= 2 || ek < 0) {
    power_of(*w, v, ek);
    times(b, *w);
  }
  if (w) w->release();
  finish_3(v, b);
}

// When every entry of A and every coefficient is a number and some entry
// is a rational number: A := d*A (owned, integers) and c_j := c_j *
// d^(e1 - e_j), with d the least common denominator; *scale := d^e1.
void clear_denominators(Terms& terms, MatValue& v, quolyptr scale) {
  for (const Term& t : terms.list)
    if (!t.coef->numb) return;
  const std::int64_t m = v.count();
  ValueCell d;
  quoly_set(1, &d.q);
  d.q->next = nullptr;
  for (std::int64_t i = 0; i < m; ++i) {
    quoly e = v.arr->stash[i];
    if (e->numb) continue;
    if (!e->rat) return;
    ValueCell t;
    quoly_mult(d.q, e, &t.q);
    if (!t.q->numb) {  // d times the entry keeps part of its denominator
      ValueCell rest;
      poly_to_quoly(t.q->denom, &rest.q);
      fast_quoly_mult(&d.q, &rest.q);
    }
  }
  if (is_one(d.q)) return;
  v.make_owned();
  for (std::int64_t i = 0; i < m; ++i) fast_quoly_mult(&v.arr->stash[i], &d.q);
  // Coefficients from the top: the power of d grows with the gap.
  ValueCell power;
  quoly_set(1, &power.q);
  power.q->next = nullptr;
  std::int32_t at = terms.list.front().exp;
  for (Term& t : terms.list) {
    for (; at > t.exp; --at) fast_quoly_mult(&power.q, &d.q);
    fast_quoly_mult(&t.coef, &power.q);
  }
  for (; at > 0; --at) fast_quoly_mult(&power.q, &d.q);
  *scale = power.release();
}

}  // namespace

void poly_at_matrix(quoly p, MatValue& v) {
  const bool constant = p->numb || (p->rat && !lintmode) ||
                        (p->numer->next == nullptr && !p->numer->numb && p->numer->exp == 0);
  if (constant) {
    constant_case(v, p);
    return;
  }
  if (p->numer->numb) {  // a polynomial that is one number leaf
    ValueCell c;
    poly_to_quoly(p->numer, &c.q);
    constant_case(v, c.q);
    return;
  }

  Terms terms;
  for (poly t = p->numer; t != nullptr; t = t->next) {
    Term term{t->numb ? 0 : t->exp, nullptr};
    if (t->numb) {
      poly_to_quoly(t, &term.coef);
    } else if (t->pcoef->numb && t->pcoef->next == nullptr) {
      poly_to_quoly(t->pcoef, &term.coef);
    } else {
      term.coef = pad_1(t->pcoef);
    }
    terms.list.push_back(term);
  }
  // Laurent mode may put the constant leaf before negative exponents.
  std::stable_sort(terms.list.begin(), terms.list.end(),
                   [](const Term& a, const Term& b) { return a.exp > b.exp; });
  // A dense matrix of rationals: p(A) = d^-e1 * sum c_j d^(e1 - e_j) (dA)^e_j
  // with d the common denominator, so the products are of integers; the
  // values are the same.
  ValueCell scale;
  if (v.spar == nullptr && !lintmode && !flotemode && terms.list.back().exp >= 0)
    clear_denominators(terms, v, &scale.q);
  horner(terms, v);
  if (scale.q != nullptr) {
    const std::int64_t m = v.count();
    for (std::int64_t i = 0; i < m; ++i) fast_quoly_quot(&v.arr->stash[i], &scale.q, false);
  }
}

void quoly_at_matrix(textptr inf, quoly nq, MatValue& v, nameptr* flag) {
  if (!nq->numb && nq->denom != nullptr && (lintmode || !nq->rat))
    abandon(irreducible_quotient_error, &bulletsign);
  arr_fact(inf, v, flag);
  if (v.is_scalar() || v.count() != static_cast<std::int64_t>(v.rows()) * v.rows()) {
    v.release();
    abandon(polynomial_matrix_not_square_error, &bulletsign);
  }
  v.settle_integers();
  v.clear_scalar();
  poly_at_matrix(nq, v);
}

}  // namespace tavrin

namespace tavrin {

void poly_at_matrix_into_syst(textptr inf, quolyptr n, nameptr* flag) {
  need_work_array(&bulletsign);
  WorkArrayGuard work(&bulletsign);
  MatValue v(work.get());
  quoly_at_matrix(inf, *n, v, flag);
  if (syst_dump && (flag == nullptr || *flag == nullptr))
    std::printf("Warning. System array was changed before it could be displayed.\n");
  fill_syst_array(v.arr, &v.facts, v.arr_free, v.spar, v.rows());
  v.forget();
  quoly_set(0, n);
}

}  // namespace tavrin

namespace tavrin {

void values_from_array(textptr inf, nameptr* flag, quolyptr n2, bool* allnumbs) {
  need_work_array(&token);
  WorkArrayGuard work(&token);
  MatValue v(work.get());
  const std::int32_t uninit_before = uninit;
  arr_fact(inf, v, flag);
  if (v.arr_free) abandon(array_values_must_stored_array_error, &token);  // not a stored array
  if (!is_tok(")")) abandon(close_paren_expected_error, &token);
  const std::int64_t count = v.count();
  if (count > number_polys) abandon(more_values_than_variables_error, &token);
  if (count == 0) abandon(array_values_empty_error, &token);
  if (v.spar != nullptr) abandon(sparse_array_not_allowed_259_error, &token);
  if (uninit != uninit_before) abandon(array_values_has_uninitialised_entry_error, &token);
  purge_list(n2);
  quoly* link = n2;
  *allnumbs = true;
  for (std::int64_t k = 0; k < count; ++k) {
    quoly c = v.arr->stash[k];
    quoly_assign(c, link);
    (*link)->next = nullptr;
    if (!c->numb || !((lintmode && (c->ncoef->lint == 0 || c->ncoef->lint == 1)) ||
                      (!lintmode && c->ncoef->size <= 1 &&
                       (c->ncoef->size == 0 || c->ncoef->head->value == 1))))
      *allnumbs = false;
    link = &(*link)->next;
  }
  v.release();
}

}  // namespace tavrin
