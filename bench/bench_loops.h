// Timing loops shared by the benchmark programs.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "bench_statements.h"

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

// Times the statement text, its value freed, counting `items` a run; after()
// clears what a run leaves behind.
template <class After>
void time_statement(benchmark::State& state, const std::string& text, std::int64_t items,
                    After after) {
  BigModeGuard big;
  for (auto _ : state) {
    quoly value = statement_value(text);
    benchmark::DoNotOptimize(value);
    free_quoly(&value);
    after();
  }
  state.SetItemsProcessed(state.iterations() * items);
}

}  // namespace tavrin::bench
