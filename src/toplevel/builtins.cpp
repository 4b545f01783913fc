#include "toplevel/builtins.h"

#include <cstring>

namespace tavrin {

BuiltinRow builtin[builtin_slots] = {};
std::int32_t numbuiltins = -1;

std::int32_t find_built_in(std::int32_t start, std::int32_t stop, const char* key) {
  if (start < 0) start = 0;
  if (stop >= builtin_slots) stop = builtin_slots - 1;
  while (start <= stop) {
    const std::int32_t mid = start + (stop - start) / 2;
    // strcmp compares as unsigned bytes, a prefix sorting first.
    const int order = std::strcmp(builtin[mid].name, key);
    if (order == 0) return mid;
    if (order < 0) {
      start = mid + 1;
    } else {
      stop = mid - 1;
    }
  }
  return -1;
}

ArrayCode array_code(const tokentipe& t) {
  if (t.name[0] < 'A' || t.name[0] > 'Z') return ArrayCode::none;
  const std::int32_t index = find_built_in(0, numbuiltins, t.name);
  const OperatorAlias* a = index < 0 ? nullptr : builtin[index].alias;
  return a == nullptr ? ArrayCode::none : a->code;
}

}  // namespace tavrin
