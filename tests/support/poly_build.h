// Hand-built polynomial nodes for tests that need a polynomial's shape
// before the polynomial arithmetic exists: a term list is built from the
// back, e.g. term(2, leaf(3), term(1, leaf(5), leaf(7))) is 3x^2 + 5x + 7.
// Free the result with free_poly.
#pragma once

#include <cstdint>

#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"

namespace tavrin::test {

// A number leaf holding the big integer v (a constant term).
inline poly leaf(std::int32_t v, poly next = nullptr) {
  poly p = nullptr;
  newpoly(&p);
  p->numb = true;
  p->exp = 0;
  p->next = next;
  newimag(&p->ncoef);
  special_set(v, p->ncoef);
  p->ncoef->lint = v;
  p->ncoef->flote = v;
  return p;
}

// A term coef * t^exp followed by `next`.
inline poly term(std::int32_t exp, poly coef, poly next = nullptr) {
  return nodes::new_term(exp, coef, next);
}

// A pad term: coef does not involve this level's variable.
inline poly pad(poly coef) { return term(0, coef); }

}  // namespace tavrin::test
