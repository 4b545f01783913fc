// The coefficient bound of minimal polynomials: every eigenvalue lies
// within R of 0, R the largest row sum of absolute values, so a monic
// factor of the characteristic polynomial has coefficients at most
// max over k of C(rows, k)·R^k.
#include <cstdint>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"

namespace tavrin {

void gershgorn(quolyptr n, arrptr q, std::int32_t rows) {
  if (modularmode) return;
  // Only numbers have a size (the minimal polynomial refuses the rest).
  for (std::int32_t i = 1; i <= rows; ++i)
    for (colm_ptr e = *sparse_row(q->spar, i); e != nullptr; e = e->next)
      if (!e->val->numb) abandon(entry_not_number_254_error, &token);
  quoly zero = nullptr;
  quoly_set(0, &zero);
  quoly r = nullptr;
  quoly_set(0, &r);
  for (std::int32_t i = 1; i <= rows; ++i) {
    quoly s = nullptr;
    quoly_set(0, &s);
    for (colm_ptr e = *sparse_row(q->spar, i); e != nullptr; e = e->next) {
      if (quoly_larger(zero, e->val)) {
        quoly_sub(s, e->val, &s);
      } else {
        quoly_add(s, e->val, &s);
      }
    }
    if (quoly_larger(s, r)) std::swap(s, r);
    free_quoly(&s);
  }
  quoly best = nullptr;
  quoly_set(0, &best);
  quoly p = nullptr;
  quoly_set(1, &p);
  quoly b = nullptr;
  quoly_set(1, &b);
  for (std::int32_t k = 1; k <= rows; ++k) {
    check_interrupt();
    fast_quoly_mult(&p, &r);
    // C(rows, k) = C(rows, k - 1)·(rows - k + 1)/k, exactly.
    quoly f = nullptr;
    quoly_set(rows - k + 1, &f);
    fast_quoly_mult(&b, &f);
    quoly_set(k, &f);
    fast_quoly_quot(&b, &f, false);
    free_quoly(&f);
    quoly t = nullptr;
    quoly_assign(b, &t);
    fast_quoly_mult(&t, &p);
    if (quoly_larger(t, best)) std::swap(t, best);
    free_quoly(&t);
  }
  free_quoly(&p);
  free_quoly(&b);
  free_quoly(&r);
  free_quoly(&zero);
  free_quoly(n);
  *n = best;
}

}  // namespace tavrin
