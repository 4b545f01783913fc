// The ground ring of a benchmark, set up as a change of ground ring leaves
// it, for the benchmark's scope.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "frontend/data_files.h"
#include "numbers/freelists.h"

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

// The data tables read, and x, y, z adjoined (x the top variable), once per
// program.
inline void adjoin_xyz_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);  // the prime tables and evaluation points
  const char* names[] = {"x", "y", "z"};
  polypt* link = &polynames;
  for (std::int16_t d = 1; d <= 3; ++d) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, names[d - 1], 10);
    r->let.address = -1;
    r->depth = d;
    *link = r;
    link = &r->next;
  }
  number_polys = 3;
}

// The per-statement state the command loop resets.
inline void new_command() {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
  c_cntcount = a_cntcount = d_cntcount = g_cntcount = c_cntdepth = 0;
}

}  // namespace tavrin::bench
