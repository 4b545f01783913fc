// The ground ring of a benchmark, set up as a change of ground ring leaves
// it, for the benchmark's scope.
#pragma once

#include <cstdint>
#include <optional>

#include "core/globals.h"
#include "core/mode_guard.h"

namespace tavrin::bench {

// Modular arithmetic modulo m (a word prime, or 256 / 65536 for the fields
// of characteristic 2) until the scope ends; m = 0 stays in the integers.
class ModularRing {
 public:
  explicit ModularRing(std::int32_t m) {
    if (m == 0) return;
    ring_.emplace(m);
    modularmode = true;
    lintmode = true;
    flotemode = false;
  }

 private:
  std::optional<ModulusGuard> ring_;
};

}  // namespace tavrin::bench
