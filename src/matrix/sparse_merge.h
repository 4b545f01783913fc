// The merge of two column-sorted sparse rows that every sparse row and
// column addition, and the sparse eliminations, are built on.
//
// A cursor is the address of a link (a row head or an entry's next); rows
// hold entries in strictly increasing column order (arrays/sparse_store.h).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/freelists.h"
#include "arrays/sparse_store.h"

namespace tavrin::sparse_merge {

// The link holding column c of the row reached through `link`, or the link
// where column c would be inserted.
inline colm_ptrptr seek(colm_ptrptr link, std::int32_t c) {
  while (*link != nullptr && (*link)->coord < c) link = &(*link)->next;
  return link;
}

// Inserts a new entry (column c, value v) at link; returns its next link.
inline colm_ptrptr insert_at(colm_ptrptr link, std::int32_t c, quoly v) {
  colm_ptr e = nullptr;
  newcolm(&e);
  e->coord = c;
  e->val = v;
  e->next = *link;
  *link = e;
  return &e->next;
}

// The generic merge: for each entry s of the source row in column order,
// with the target cursor at the first entry of column >= s's,
//  - a target entry of the same column: on_match(entry, s) changes it and
//    answers whether it stays (false: removed and freed);
//  - none: make(s) answers the value of a new entry, or nil for none.
// The source may be the target row itself (no insertion happens then).
template <class OnMatch, class Make>
void merge_into_row(colm_ptrptr link, colm_ptr src, OnMatch on_match, Make make) {
  while (src != nullptr) {
    colm_ptr next = src->next;
    link = seek(link, src->coord);
    if (*link != nullptr && (*link)->coord == src->coord) {
      if (on_match(*link, src))
        link = &(*link)->next;
      else
        free_colm(link);
    } else if (quoly v = make(src); v != nullptr) {
      link = insert_at(link, src->coord, v);
    }
    src = next;
  }
}

}  // namespace tavrin::sparse_merge
