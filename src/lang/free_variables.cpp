// The free list of scalar variables as the memory report counts it.
#include <cstdio>

#include "numbers/garbage.h"
#include "lang/variables.h"

namespace tavrin {

std::int32_t count_free_vars(bool list) {
  std::int32_t n = 0;
  for (varptr v = var_garb; v != nullptr; v = v->next) {
    ++n;
    if (list) std::printf("%s\n", v->let.name);
  }
  return n;
}

}  // namespace tavrin
