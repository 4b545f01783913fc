// The integer content of a polynomial.
#include "core/errors.h"
#include "numbers/bigint.h"
#include "numbers/integer_gcd.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"

namespace tavrin {

namespace {

bool is_one(imptr n) { return n->size == 1 && n->head->value == 1; }

// com := gcd(com, every leaf of p), depth first; true as soon as com is 1
// (the walk is abandoned there).
bool content_walk(poly p, imptr com) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      if (!(p->ncoef->size == 1 && p->ncoef->head->value == 0)) binary_gcd(com, p->ncoef, com);
    } else if (content_walk(p->pcoef, com)) {
      return true;
    }
    if (is_one(com)) return true;
  }
  return false;
}

}  // namespace

void find_gcdcoefs(poly p, imptr com) {
  if (p->numb && p->ncoef->head != nullptr && p->ncoef->head->value == 0) {
    tavrinerror("0 in find gcd coefs.");
    special_set(1, com);
    return;
  }
  abs_val_num(leading_coef(p)->ncoef, com);
  if (!is_one(com)) content_walk(p, com);
}

}  // namespace tavrin
