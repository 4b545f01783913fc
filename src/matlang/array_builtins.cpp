// Array built-ins on matrices: arrays and polynomials ("Poly" and the
// factor tables), reversal ("Reverse"), and the Lagrange basis polynomials
// "Chpoly" combines.
#include <cstdint>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matlang/matrix_builtins.h"

namespace tavrin {

namespace {

// *acc := *acc + v·x^e, x the top variable; v a number value (kept).
void add_monomial(quolyptr acc, quoly v, std::int32_t e) {
  ValueCell term;
  if (e == 0) {
    quoly_set(1, &term.q);
  } else {
    base_quoly(&term.q, 1);
    quoly_compute_power(&term.q, e);
  }
  ValueCell c;
  quoly_assign(v, &c.q);
  fast_quoly_mult(&term.q, &c.q);
  quoly_add(*acc, term.q, acc);
}

// A coefficient of "Poly": nil and zero contribute nothing; not a number is
// error 227.
bool usable_coefficient(quoly v) {
  if (v == nullptr) return false;
  if (!v->numb) abandon(not_number_error, &token);
  return !quoly_iszero(v);
}

}  // namespace

void arr_to_poly(arrptr q, quolyptr n) {
  ValueCell acc;  // the sum so far, freed when a coefficient is refused
  quoly_set(0, &acc.q);
  const std::int32_t top = q->stop - q->start;
  for (std::int32_t k = q->start; k <= q->stop; ++k) {
    quoly v = *arp_cell(k);
    if (usable_coefficient(v)) add_monomial(&acc.q, v, top - (k - q->start));
  }
  free_quoly(n);
  *n = acc.release();
}

void arr_to_poly_sparse(sparseptr spar, std::int32_t rows, quolyptr n) {
  ValueCell acc;
  quoly_set(0, &acc.q);
  for (std::int32_t r = 1; r <= rows; ++r) {
    colm_ptr first = *sparse_row(spar, r);
    if (first != nullptr && usable_coefficient(first->val))
      add_monomial(&acc.q, first->val, rows - r);
  }
  free_quoly(n);
  *n = acc.release();
}

void poly_to_array(std::int32_t rows, std::int32_t start, poly* p) {
  if (rows == 0) {
    quoly_set(1, arp_cell(start));
    quoly_set(0, arp_cell(start + 1));
    return;
  }
  std::int32_t k = 0;
  for (poly t = *p; t != nullptr && k < rows; t = t->next, ++k) {
    quolyptr coef = arp_cell(start + k);
    free_quoly(coef);
    if (t->numb) {
      poly_to_quoly(t, coef);  // a constant coefficient stored as a leaf
    } else {
      *coef = nodes::new_ratfun_value(t->pcoef, nullptr);
      t->pcoef = nullptr;
      poly c = (*coef)->numer;
      if (c != nullptr && c->numb && c->next == nullptr) polynum_to_quoly(coef);
    }
    quolyptr ex = arp_cell(start + rows + k);
    free_quoly(ex);
    quoly_set_integer(t->exp, ex);
  }
  // The term nodes themselves (their coefficients moved out) are freed.
  free_poly(p);
  *p = nullptr;
}

void fillup(std::int32_t rows, std::int32_t cols, std::int32_t start, workptr arr) {
  const std::int64_t cells = static_cast<std::int64_t>(rows) * cols;
  for (std::int64_t k = 0; k < cells; ++k) {
    quolyptr c = arp_cell(start + static_cast<std::int32_t>(k));
    free_quoly(c);
    *c = arr->stash[k];
    arr->stash[k] = nullptr;
  }
}

void reverse_array(arrptr q) {
  const std::int32_t count = q->stop - q->start + 1;
  for (std::int32_t k = 0; k < count / 2; ++k) {
    std::swap(*arp_cell(q->start + k), *arp_cell(q->stop - k));
  }
}

void reverse_sparse(sparseptr spar, std::int32_t rows) {
  // Row r and row rows + 1 - r exchange their lists; each list keeps its
  // column order.
  for (std::int32_t r = 1; r <= rows / 2; ++r) {
    std::swap(*sparse_row(spar, r), *sparse_row(spar, rows + 1 - r));
  }
}

void compute_char_poly(std::int32_t m, std::int32_t i, quolyptr w) {
  // The product of (x - k) over the nodes k != i, over (i - k) for the same k.
  quoly x = nullptr;
  base_quoly(&x, 1);
  quoly q = nullptr;
  quoly_set(1, &q);
  quoly s = nullptr;
  quoly_set(1, &s);
  for (std::int32_t k = 1; k <= m; ++k) {
    if (k == i) continue;
    check_interrupt();
    quoly kq = nullptr;
    quoly_set_image(k, &kq);
    quoly f = nullptr;
    quoly_sub(x, kq, &f);
    fast_quoly_mult(&q, &f);
    free_quoly(&f);
    quoly d = nullptr;
    quoly_set_image(i - k, &d);
    fast_quoly_mult(&s, &d);
    free_quoly(&d);
    free_quoly(&kq);
  }
  fast_quoly_quot(&q, &s, false);
  free_quoly(&s);
  free_quoly(&x);
  free_quoly(w);
  *w = q;
}

}  // namespace tavrin
