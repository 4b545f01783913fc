// The integer content of a polynomial.
#include <utility>

#include "core/errors.h"
#include "numbers/bigint.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
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

void find_common_content(poly a, poly b, imptr com) {
  if (poly_iszero(a) || poly_iszero(b)) {  // each content as find_gcdcoefs has it
    nodes::ScratchNumber cb;
    find_gcdcoefs(a, com);
    find_gcdcoefs(b, cb.get());
    binary_gcd(com, cb.get(), com);
    return;
  }
  // The side with the shorter leading coefficient goes first: the running
  // GCD stays short, so each long leaf of the other side costs one
  // reduction instead of a GCD of two long numbers.
  if (leading_coef(b)->ncoef->size < leading_coef(a)->ncoef->size) std::swap(a, b);
  find_gcdcoefs(a, com);
  if (!is_one(com)) content_walk(b, com);
}

}  // namespace tavrin
