// The routes the polynomial division took since a saved copy of its
// counters: a test saves divide_routes, runs one case and checks the counts.
#pragma once

#include "poly/poly_divide.h"

namespace tavrin::test {

inline divide_route_counts routes_since(const divide_route_counts& b) {
  const divide_route_counts& a = divide_routes;
  return {a.long_division - b.long_division,
          a.monic_fast - b.monic_fast,
          a.dense_no_q - b.dense_no_q,
          a.split - b.split,
          a.step_s - b.step_s,
          a.step_k - b.step_k,
          a.base_case - b.base_case,
          a.pseudo_loop - b.pseudo_loop,
          a.field_divide - b.field_divide,
          a.newton - b.newton,
          a.integer_exact - b.integer_exact,
          a.integer_pseudo - b.integer_pseudo,
          a.char2 - b.char2};
}

}  // namespace tavrin::test
