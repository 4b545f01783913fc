// Between term lists in one variable and residue vectors.
#include "dense/residue_vectors.h"

#include "core/globals.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "dense/dense_arrays.h"

namespace tavrin {

namespace {

bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

// Every coefficient of p's top list is a bare leaf.
bool one_variable(poly p) {
  for (; p != nullptr; p = p->next)
    if (!p->numb && !nodes::is_bare_leaf(p->pcoef)) return false;
  return true;
}

}  // namespace

bool residue_route_applies(polypt r) { return residue_route_applies(r, Ring::current()); }

bool residue_route_applies(polypt r, const Ring& ring) {
  return ring.modular && ring.lint && !ring.flote && !ring.char2 && mod_is_prime && r != nullptr &&
         r->p == nullptr;
}

bool char2_route_applies(polypt r) { return char2_route_applies(r, Ring::current()); }

bool char2_route_applies(polypt r, const Ring& ring) {
  return ring.modular && ring.lint && !ring.flote && ring.char2 && r != nullptr && r->p == nullptr;
}

bool residues_of(poly p, std::int32_t h, DensePoly* out) {
  for (std::int32_t k = 1; k < h; ++k) {
    if (p->numb || !is_pad(p)) return false;
    p = p->pcoef;
  }
  if (!one_variable(p)) return false;
  const std::int32_t deg = p->numb ? 0 : p->exp;
  out->assign(static_cast<std::size_t>(deg) + 1, 0);
  std::int32_t d = 0;
  fill_poly1_array(p, out->data(), &d);
  dense_trim(*out);
  return true;
}

poly poly_of_residues(const DensePoly& d, std::int32_t h) {
  poly r = nullptr;
  array_to_poly(d.data(), dense_degree(d), &r);
  if (!r->numb && h > 1) add_pad(&r, h - 1);
  return r;
}

}  // namespace tavrin
