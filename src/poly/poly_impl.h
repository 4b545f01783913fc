// Copies of nodes and lists shared by the polynomial routines of poly/;
// the node constructors and owning handles are in numbers/node_handles.h.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"

namespace tavrin::detail {
using nodes::is_bare_leaf;
using nodes::new_term;
using nodes::OwnedPoly;

// A fresh number holding a copy of n's value in the field of the current
// mode: flote in floating mode, lint in word mode, the limbs otherwise.
// reads: mode flags
imptr copy_number(imptr n);

// A fresh deep copy of the list p (nil gives nil).
poly copy_list(poly p);

// As copy_list, every leaf negated by makeneg.
// reads: mode flags, modulus, finf
poly copy_list_negated(poly p);

// A fresh copy of the single node p (its coefficient or number copied deeply),
// next nil.
poly copy_node_alone(poly p);

// As copy_node_alone, every leaf negated by makeneg.
// reads: mode flags, modulus, finf
poly copy_node_negated(poly p);

// The node x^e over c (c consumed); the bare leaf c itself at exponent 0.
inline poly make_term(std::int32_t e, poly c) {
  return (e == 0 && is_bare_leaf(c)) ? c : new_term(e, c);
}

// A fresh list made from p's top list node by node: a leaf becomes
// leaf(t), a term the term over coef(t->pcoef) at its exponent (make_term);
// a node or coefficient given as nil is left out, so the list is nil when
// every node was. p: kept.
template <class Leaf, class Coef>
poly map_nodes(poly p, Leaf leaf, Coef coef) {
  OwnedPoly head;
  poly* link = head.cell();
  for (poly t = p; t != nullptr; t = t->next) {
    poly node;
    if (t->numb) {
      node = leaf(t);
      if (node == nullptr) continue;
    } else {
      poly c = coef(t->pcoef);
      if (c == nullptr) continue;
      node = make_term(t->exp, c);
    }
    *link = node;
    link = &node->next;
  }
  return head.release();
}

}  // namespace tavrin::detail
