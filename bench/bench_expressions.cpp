// Throughput of the exact expression evaluator: one long statement read from
// a stream, parsed and evaluated in place (no syntax tree). The argument is
// the number of terms.
//   integers:   a sum of products of 9-digit literals, with powers and
//               integer quotients and remainders;
//   rationals:  a sum of fractions p/q (a GCD per sum);
//   variables:  terms that read stored variables and multiply them.
#include <benchmark/benchmark.h>

#include <string>

#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

std::string integer_sum(int terms) {
  std::string s;
  for (int k = 0; k < terms; ++k) {
    if (k > 0) s += k % 3 == 0 ? " - " : " + ";
    s += std::to_string(123456789 + 7919 * k) + "*" + std::to_string(987654321 - 104729 * k);
    if (k % 5 == 0) s += " + 3^" + std::to_string(20 + k % 40);
    if (k % 7 == 0) s += " + " + std::to_string(1000003 * (k + 1)) + " \\ 97";
  }
  return s + ";\n";
}

std::string rational_sum(int terms) {
  std::string s;
  for (int k = 0; k < terms; ++k) {
    if (k > 0) s += " + ";
    s += std::to_string(1 + k % 17) + "/" + std::to_string(2 + k % 29);
  }
  return s + ";\n";
}

std::string variable_terms(int terms) {
  std::string s;
  for (int k = 0; k < terms; ++k) {
    if (k > 0) s += " + ";
    s += "alpha*beta - gamma*2";
  }
  return s + ";\n";
}

void set_variable(const char* name, std::int32_t v) {
  tokentipe t{};
  std::snprintf(t.name, sizeof t.name, "%s", name);
  t.address = -1;
  quoly q = nullptr;
  quoly_set(v, &q);
  varptr r = nullptr;
  insert_var(&t, q, &r);
}

void evaluate_text(benchmark::State& state, const std::string& text) {
  init_character_sets();
  make_token_ring();
  BigModeGuard big;
  set_variable("alpha", 12345);
  set_variable("beta", 67890);
  set_variable("gamma", 4242);
  for (auto _ : state) {
    quoly value = bench::statement_value(text, old_expre);
    benchmark::DoNotOptimize(value);
    free_quoly(&value);
    finish = nullptr;
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_expression_integers(benchmark::State& state) {
  evaluate_text(state, integer_sum(static_cast<int>(state.range(0))));
}
void BM_expression_rationals(benchmark::State& state) {
  evaluate_text(state, rational_sum(static_cast<int>(state.range(0))));
}
void BM_expression_variables(benchmark::State& state) {
  evaluate_text(state, variable_terms(static_cast<int>(state.range(0))));
}

BENCHMARK(BM_expression_integers)->Arg(100)->Arg(10000);
BENCHMARK(BM_expression_rationals)->Arg(100)->Arg(10000);
BENCHMARK(BM_expression_variables)->Arg(100)->Arg(10000);

}  // namespace
