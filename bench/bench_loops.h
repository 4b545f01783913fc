// Timing loops shared by the benchmark programs.
#pragma once

#include <benchmark/benchmark.h>

#include "numbers/freelists.h"

namespace tavrin::bench {

// Times op(p, q, &r) (p, q kept until the end, then freed with the last r).
template <class Op>
void time_binary(benchmark::State& state, poly p, poly q, Op op) {
  poly r = nullptr;
  for (auto _ : state) {
    op(p, q, &r);
    benchmark::DoNotOptimize(r);
  }
  free_poly(&p);
  free_poly(&q);
  free_poly(&r);
}

}  // namespace tavrin::bench
