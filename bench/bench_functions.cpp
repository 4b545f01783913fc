// The cost of calling user functions: definitions read once, then typed
// calls run. Items are function calls.
//   fib:          Fib(20), doubly recursive (21,891 calls)
//   call_loop:    for i = 1 to N do s := Inc(s) od, Inc(x) = x + 1
//   compiled:     the same with "Compile" in the body (linked tokens)
#include <benchmark/benchmark.h>

#include <string>

#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/start_tables.h"
#include "lang/expressions.h"
#include "lang/functions.h"
#include "arrays/targets.h"
#include "bench_loops.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

void set_up() {
  static bool done = false;
  if (done) return;
  done = true;
  init_character_sets();
  make_token_ring();
  make_rings_and_tables();
  install_language();
  install_arrays();
}

// Reads text (beginning with the function's name) as a definition.
void define(const std::string& text) {
  TextInput in(text);
  FILEPtr stream = &in;
  tt_flag = false;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  funcdef(&stream, &zilch);
}

void run(benchmark::State& state, const std::string& text, std::int64_t calls) {
  bench::time_statement(state, text, calls, [] { finish = nullptr; });
}

void BM_fib(benchmark::State& state) {
  set_up();
  define("Fib(n) = if n < 2 then n else Fib(n - 1) + Fib(n - 2) fi.;");
  run(state, "Fib(20);\n", 21891);
}
void BM_call_loop(benchmark::State& state) {
  set_up();
  define("Inc(x) = x + 1.;");
  run(state, "for i = 1 to " + std::to_string(state.range(0)) + " do s := Inc(s) od;\n",
      state.range(0));
}
void BM_compiled_call_loop(benchmark::State& state) {
  set_up();
  define("IncC(x) = Compile; x + 1.;");
  run(state, "for i = 1 to " + std::to_string(state.range(0)) + " do s := IncC(s) od;\n",
      state.range(0));
}

BENCHMARK(BM_fib)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_call_loop)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_compiled_call_loop)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
