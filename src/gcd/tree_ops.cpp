// Operations on the chain of level records used while a GCD method moves
// variables between levels.
#include "core/globals.h"
#include "gcd/modular_gcd.h"

namespace tavrin {

void change_polydata_1(std::int16_t val, polypt pt) {
  for (polypt r = pt->next; r != nullptr; r = r->next)
    r->depth = static_cast<std::int16_t>(r->depth - val);
  if (field_depth > 0) field_depth = static_cast<std::int16_t>(field_depth - val);
}

}  // namespace tavrin
