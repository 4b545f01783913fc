// Places written after other statements may have run.
//
// A writer finds its place (a variable's cell, an array element's) before
// it has what it writes: an assignment reads its right side after its
// target, a built-in its later arguments after its "^" target, and a "^"
// parameter gives its value back when the function's body has run. Those
// statements may cancel the variable or the array, remove the sparse entry
// or move the array's cells down (an array made before it cancelled). So
// the writer keeps a WrittenPlace and asks it for the cell when it writes:
// while nothing was removed, the cell as found; otherwise the same
// variable or element found again, and nil when it is gone.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/freelists.h"

namespace tavrin {

struct WrittenPlace {
  quolyptr cell = nullptr;
  std::uint64_t removals = 0;  // places_removed when the cell was found
  // A scalar variable: its record and name.
  varptr var = nullptr;
  tokentipe name{};
  // An array element: the array's record and stamp, and the element's
  // place counted column by column from 0; of a sparse entry also its row's
  // link and its column (from 1).
  arrptr array = nullptr;
  std::int32_t stamp = 0;
  std::int64_t offset = 0;
  colm_ptrptr row_head = nullptr;
  std::int32_t col = 0;

  // True when the place was described by a lookup (else only `cell` is known
  // and is trusted as it is).
  bool described() const { return var != nullptr || array != nullptr; }
};

// The place that the last variable or element lookup located (retrieve, the
// element mapping of the arrays): a writer copies it right after it has
// located its target.
extern WrittenPlace located_place;

// Notes a scalar variable's cell as located (its name is taken from the
// record by place_of).
inline void locate_variable(varptr v) {
  located_place.cell = &v->val;
  located_place.removals = places_removed;
  located_place.var = v;
  located_place.array = nullptr;
  located_place.row_head = nullptr;
}

// The place w describes now: its cell unchanged while no place was removed
// (places_removed); else the variable found again (the same record still
// in the table, or, with `create`, the newest variable of its name, made
// with the value 0 when there is none) or the element found again in the
// same array (with `create`, an absent sparse entry is made 0). Nil when it
// is gone. w is updated to what was found.
quolyptr current_place(WrittenPlace* w, bool create);

// current_place for a built-in's target that must still be there: a
// variable that is gone is user error 19, an array 28, with its name.
quolyptr place_still_there(WrittenPlace* w, bool create);

// The element of w's array found again (defined with the arrays): nil when
// the array is gone; an absent sparse entry gives nil too unless `create`.
quolyptr relocate_element(WrittenPlace* w, bool create);

// The place of cell (nil for an absent sparse entry whose row link is
// row_head): located_place when it describes that place, else the cell
// alone.
WrittenPlace place_of(quolyptr cell, colm_ptrptr row_head = nullptr);

}  // namespace tavrin
