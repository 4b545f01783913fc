// The per-command state of the GCD drivers, which the command loop resets
// before each statement: tests of the drivers reset it before each case.
#pragma once

#include "core/globals.h"

namespace tavrin::test {

inline void reset_gcd_counters() {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
  c_cntcount = a_cntcount = d_cntcount = g_cntcount = 0;
  c_cntdepth = a_cntdepth = d_cntdepth = 0;
}

}  // namespace tavrin::test
