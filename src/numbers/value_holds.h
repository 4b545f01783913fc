// Stored values read where they lie.
//
// A statement reads a variable's value (or an array element's) in its own
// cell instead of copying it: an operand of a product or sum, a built-in's
// argument. Whatever runs while it reads (a later argument, a user
// function, a nested command level opened by an interrupt or an error) may
// assign, cancel, move or swap that variable. So the reader holds the value
// record, not the cell: the variable takes its new value at once, and the
// old record lives on, unchanged, until its last holder lets it go.
//
// The count is the record's own `holds`. free_quoly of a held value only
// marks it `let_go` and clears the cell (the owner is done with it); the
// last holder frees it then. A writer that changes a stored value in place
// (an increment, a coefficient set, a take-over by "*name") first gives
// the place a copy of a held value (writable_value, poly/poly_repr.h) and
// lets the held one go.
#pragma once

#include "core/no_copy.h"
#include "core/records.h"

namespace tavrin {

// v: gains a hold (not nil).
inline void hold_value(quoly v) { ++v->holds; }

namespace detail {
// Frees v, let go by its owner, when its last hold ends.
void free_let_go(quoly v);
}  // namespace detail

// v: loses a hold; freed (free_quoly, in the mode in force) when that was
// the last and its owner has let it go.
inline void let_go_of(quoly v) {
  if (--v->holds == 0 && v->let_go) detail::free_let_go(v);
}

// The values one reader holds. Each is kept in a cell of the list's own,
// which the reader reads through instead of the variable's cell: that cell
// may be freed (a cancelled variable or array) or rewritten meanwhile,
// this one stays until the list goes, on every exit, an unwinding error
// included.
class HeldValues : NoCopy {
 public:
  HeldValues() = default;
  ~HeldValues() { release(); }
  // place: the cell a value lies in (a variable's, an element's). Returns a
  // cell of the list with the same record, now held; a nil place or an
  // empty cell is returned as it is.
  quolyptr hold(quolyptr place) {
    if (place == nullptr || *place == nullptr) return place;
    if (used_ == inline_cells) return hold_more(place);
    const quoly v = *place;
    hold_value(v);
    held_[used_] = v;
    cells_[used_] = v;
    return &cells_[used_++];
  }
  // Lets go of every value held so far.
  void release() {
    if (more_ != nullptr) release_more();
    while (used_ > 0) let_go_of(held_[--used_]);
  }

 private:
  quolyptr hold_more(quolyptr place);
  void release_more();

  static constexpr int inline_cells = 4;
  int used_ = 0;                // cells in use
  quoly cells_[inline_cells];   // what the reader reads through
  quoly held_[inline_cells];    // what it holds
  HeldValues* more_ = nullptr;  // the cells after the first four
};

}  // namespace tavrin
