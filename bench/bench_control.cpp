// Throughput of the statement runner: a for loop typed as a statement,
// read once into its stored form and then run round after round. Items are
// statements run (one body statement a round).
//   increment:   for i = 1 to N do s :+ 1 od
//   assignment:  for i = 1 to N do s := s + i*i od
//   condition:   for i = 1 to N do if i | 3 = 0 then s :+ 1 fi od
//                (two statements a round: the conditional and the increment
//                when it runs, counted as one)
#include <benchmark/benchmark.h>

#include <string>

#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

void run_loop(benchmark::State& state, const std::string& body) {
  init_character_sets();
  make_token_ring();
  BigModeGuard big;
  const std::string text =
      "for i = 1 to " + std::to_string(state.range(0)) + " do " + body + " od;\n";
  for (auto _ : state) {
    quoly value = bench::statement_value("s := 0;\n");
    free_quoly(&value);
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    parse(&stream, &value, &zilch);
    benchmark::DoNotOptimize(value);
    free_quoly(&value);
    finish = nullptr;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_loop_increment(benchmark::State& state) { run_loop(state, "s :+ 1"); }
void BM_loop_assignment(benchmark::State& state) { run_loop(state, "s := s + i*i"); }
void BM_loop_condition(benchmark::State& state) { run_loop(state, "if i | 3 = 0 then s :+ 1 fi"); }

BENCHMARK(BM_loop_increment)->Arg(100000);
BENCHMARK(BM_loop_assignment)->Arg(100000);
BENCHMARK(BM_loop_condition)->Arg(100000);

}  // namespace
