// Helpers for the routines of poly/ and quoly/ that work on a polynomial's
// own nodes (the representation is in poly/poly_repr.h): walks over every
// leaf, the repair of a term whose coefficient was rewritten in place, and
// nodes that borrow what they hold for the length of a call.
#pragma once

#include <optional>

#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"

namespace tavrin::detail {
using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::new_leaf;
using tavrin::nodes::new_term;

// ---- Walks over the leaves ---------------------------------------------------------------

// f(leaf) for every leaf of p, at every level, in list order.
template <class F>
void for_each_leaf(poly p, F&& f) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      f(p);
    } else {
      for_each_leaf(p->pcoef, f);
    }
  }
}

// f(number) for the number of every leaf of p, at every level.
template <class F>
void for_each_number(poly p, F&& f) {
  for_each_leaf(p, [&f](poly leaf) { f(leaf->ncoef); });
}

// ---- Terms after their coefficient changed ----------------------------------------------

// *link, a pad (a term of exponent 0) over a bare leaf, gives way to the
// leaf, which takes the pad's successor; the pad node alone is freed.
// Returns the leaf.
inline poly unpad_leaf(poly* link) {
  poly t = *link;
  poly leaf = t->pcoef;
  leaf->next = t->next;
  t->pcoef = nullptr;
  t->next = nullptr;
  free_polynode_list(t, t);
  *link = leaf;
  return leaf;
}

// The term *link after its coefficient was rewritten in place: when
// vanished, the term and what is left of its coefficient (nil or a zero
// leaf) are freed and unlinked; a pad left over a bare leaf gives way to
// the leaf. Returns the link at which the walk goes on.
inline poly* settle_term(poly* link, bool vanished) {
  poly t = *link;
  if (vanished) {
    *link = t->next;
    free_poly(&t->pcoef);
    free_polynode_list(t, t);
    return link;
  }
  if (t->exp == 0 && is_bare_leaf(t->pcoef)) return &unpad_leaf(link)->next;
  return &t->next;
}

// ---- Borrowing nodes ---------------------------------------------------------------------

// A fresh node over a part it borrows: a leaf over the number x, or a pad
// over the polynomial c. The part is shared, not copied; the node alone is
// freed on every exit.
class BorrowingNode {
 public:
  explicit BorrowingNode(imptr x) : node_(new_leaf(x)) {}
  explicit BorrowingNode(poly c) : node_(new_term(0, c)) {}
  ~BorrowingNode() {
    if (node_->numb) {
      node_->ncoef = nullptr;
    } else {
      node_->pcoef = nullptr;
    }
    free_polynode_list(node_, node_);
  }
  BorrowingNode(const BorrowingNode&) = delete;
  BorrowingNode& operator=(const BorrowingNode&) = delete;
  poly get() const { return node_; }

 private:
  poly node_;
};

// The polynomial c as a factor at the level of the list it multiplies: a
// bare leaf itself, a lower polynomial wrapped in a pad that borrows it.
class PaddedFactor {
 public:
  explicit PaddedFactor(poly c) : c_(c) {
    if (!is_bare_leaf(c)) c_ = pad_.emplace(c).get();
  }
  PaddedFactor(const PaddedFactor&) = delete;
  PaddedFactor& operator=(const PaddedFactor&) = delete;
  poly get() const { return c_; }

 private:
  std::optional<BorrowingNode> pad_;
  poly c_;
};

}  // namespace tavrin::detail
