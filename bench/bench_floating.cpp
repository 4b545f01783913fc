// Throughput of real floating mode and of the sum alias: statements typed
// once, read into their stored form and run. Items are body evaluations.
//   float_loop:   for i = 1 to N do Float; _sqrt(i) * 2.5 + i / 3 - $(i / 7) od
//   float_sum:    if 1 then Float; Sigma<i = 1, N>[1 / i^2] fi
//   exact_sum:    Sigma<i = 1, N>[i^3]  (exact big integers)
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/builtins.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "lang/operator_aliases.h"
#include "bench_loops.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

void run_statement(benchmark::State& state, const std::string& text) {
  init_character_sets();
  make_token_ring();
  // The one built-in name used: the sum alias (the table is data of the
  // start-up files, not read here).
  std::strcpy(builtin[0].name, "Sigma");
  std::strcpy(builtin[0].second, "*82");
  numbuiltins = 0;
  link_builtin_aliases();
  bench::time_statement(state, text, state.range(0), [] {
    integerflag = false;
    finish = nullptr;
  });
}

void BM_float_loop(benchmark::State& state) {
  run_statement(state, "for i = 1 to " + std::to_string(state.range(0)) +
                           " do Float; _sqrt(i) * 2.5 + i / 3 - $(i / 7) od;\n");
}
void BM_float_sum(benchmark::State& state) {
  run_statement(state, "if 1 then Float; Sigma<i = 1, " + std::to_string(state.range(0)) +
                           ">[1 / i^2] fi;\n");
}
void BM_exact_sum(benchmark::State& state) {
  run_statement(state, "Sigma<i = 1, " + std::to_string(state.range(0)) + ">[i^3];\n");
}

BENCHMARK(BM_float_loop)->Arg(100000);
BENCHMARK(BM_float_sum)->Arg(100000);
BENCHMARK(BM_exact_sum)->Arg(100000);

}  // namespace
