#include "lang/written_places.h"

#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/variables.h"

namespace tavrin {

WrittenPlace located_place;

namespace {

// Whether v is still a record of the variable table under its name.
bool still_linked(varptr v, const tokentipe& name) {
  if (std::strcmp(v->let.name, name.name) != 0) return false;
  for (varptr u = sca_store[var_bucket(&name)]; u != nullptr; u = u->next)
    if (u == v) return true;
  return false;
}

}  // namespace

quolyptr current_place(WrittenPlace* w, bool create) {
  if (w->removals == places_removed || !w->described()) return w->cell;
  w->removals = places_removed;
  if (w->array != nullptr) {
    w->cell = relocate_element(w, create);
    return w->cell;
  }
  if (!still_linked(w->var, w->name)) {
    w->var = find_var(&w->name);
    if (w->var == nullptr && create) {
      quoly zero = nullptr;
      quoly_set(0, &zero);
      insert_var(&w->name, zero, &w->var);
    }
  }
  w->cell = w->var == nullptr ? nullptr : &w->var->val;
  return w->cell;
}

quolyptr place_still_there(WrittenPlace* w, bool create) {
  const quolyptr cell = current_place(w, create);
  if (cell != nullptr || (w->array != nullptr && w->row_head != nullptr && !create)) return cell;
  abandon(w->array == nullptr ? undefined_variable_error : no_such_array_error, &w->name);
}

WrittenPlace place_of(quolyptr cell, colm_ptrptr row_head) {
  WrittenPlace w;
  // A removal since the lookup may have given the cell to another place.
  const bool same =
      located_place.cell == cell &&
      (cell != nullptr || (row_head != nullptr && located_place.row_head == row_head));
  if (located_place.removals == places_removed && same) {
    w = located_place;
    if (w.var != nullptr) w.name = w.var->let;
    return w;
  }
  w.cell = cell;
  w.removals = places_removed;
  return w;
}

}  // namespace tavrin
