#include "toplevel/builtin_names.h"

#include <algorithm>
#include <vector>

namespace tavrin {

constinit std::array<BuiltinEntry, bi::count> builtin_table = [] {
  std::array<BuiltinEntry, bi::count> rows{};
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i] = {builtin_name_rows[i].index, builtin_name_rows[i].name, nullptr, 0};
  return rows;
}();

void register_builtins(std::span<const BuiltinRegistration> rows) {
  // The lists registered so far, by address: start-up run again (as every
  // test does) registers each list once.
  static std::vector<const BuiltinRegistration*> registered;
  if (std::find(registered.begin(), registered.end(), rows.data()) != registered.end()) return;
  registered.push_back(rows.data());
  for (const BuiltinRegistration& r : rows) {
    BuiltinEntry& row = builtin_table[static_cast<std::size_t>(r.index)];
    row.handler = r.handler;
    ++row.registrations;
  }
}

}  // namespace tavrin
