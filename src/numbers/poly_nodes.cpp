// Node-level helpers of the polynomial representation.
#include "numbers/poly_nodes.h"

#include "core/globals.h"
#include "numbers/node_handles.h"

namespace tavrin {

bool poly_iszero(poly p) {
  if (!nodes::is_bare_leaf(p)) return false;
  const imptr n = p->ncoef;
  if (flotemode) return n->flote == 0.0L;
  if (lintmode) return n->lint == 0;
  return n->head != nullptr && n->head->value == 0;
}

poly leading_coef(poly p) {
  while (!p->numb) p = p->pcoef;
  return p;
}

void add_pad(poly* r, std::int32_t h) {
  for (std::int32_t k = 0; k < h; ++k) *r = nodes::new_term(0, *r);
}

poly field_leading_coef(poly q, polypt pt, polypt* pt2) {
  *pt2 = pt;
  if (field_depth == 0) return q;
  while (!q->numb && *pt2 != nullptr && (*pt2)->depth < field_depth) {
    q = q->pcoef;
    *pt2 = (*pt2)->next;
  }
  return q;
}

}  // namespace tavrin
