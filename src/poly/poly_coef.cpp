// The coefficient of a power of one variable.
#include "poly/poly_coef.h"

#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::new_term;
using nodes::OwnedPoly;

namespace {

poly coefficient_of(poly n, std::int32_t height, std::int32_t e, bool zeroexp) {
  OwnedPoly out;
  if (height == 0) {
    for (poly t = n; t != nullptr; t = t->next) {
      if (t->exp > e) continue;
      if (t->exp < e) break;
      if (t->numb) {
        node_assign(t, &out.p);
      } else if (is_bare_leaf(t->pcoef)) {
        poly_assign(t->pcoef, &out.p);
      } else {
        poly c = nullptr;
        poly_assign(t->pcoef, &c);
        out.p = new_term(0, c);
      }
      return out.release();
    }
    poly_set(0, &out.p);
    return out.release();
  }
  poly* link = &out.p;
  for (poly t = n; t != nullptr; t = t->next) {
    poly c = nullptr;
    if (t->numb) {
      if (!zeroexp) continue;
      node_assign(t, &c);
    } else {
      c = coefficient_of(t->pcoef, height - 1, e, zeroexp);
      if (poly_iszero(c)) {
        free_poly(&c);
        continue;
      }
      fluff_out(&c, t->exp);
    }
    *link = c;
    link = &c->next;
  }
  if (out.p == nullptr) poly_set(0, &out.p);
  return out.release();
}

}  // namespace

void extract_coef(poly n, poly* s, std::int16_t height, std::int32_t expo, bool zeroexp) {
  poly c = coefficient_of(n, height, expo, zeroexp);
  free_poly(s);
  *s = c;
}

}  // namespace tavrin
