// The display of a large polynomial and the rewriting of stored values when
// a variable is adjoined at the top or cancelled.
//   display:  (1 + x + y + z)^20 (1,771 terms, coefficients up to 20 digits)
//             written to /dev/null in the nested form and as a list of
//             monomials, in the file form (no cut-off);
//   adjoin:   "&(J = u)" over s, t with the given number of stored variables,
//             each holding a polynomial or a fraction in s and t (a pad for
//             every polynomial, no arithmetic);
//   cancel:   "&(J = -u)" on the same values (1 put for u, the level removed).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"

namespace {

using namespace tavrin;

// Runs the statements of text (one a line) in-process, their output to
// /dev/null; the value of the last one in *last when asked for.
void run(const std::string& text, quoly* last = nullptr) {
  TextInput in(text);
  FILEPtr stream = &in;
  std::fflush(stdout);
  const int saved = dup(1);
  const int sink = open("/dev/null", O_WRONLY);
  dup2(sink, 1);
  leftover[0] = '\0';
  for (;;) {
    scanner(&stream, &token, &zilch);
    if (in.at_eof() && token.name[0] == ';') break;
    quoly value = nullptr;
    parse(&stream, &value, &zilch);
    if (last != nullptr) {
      free_quoly(last);
      *last = value;
    } else {
      free_quoly(&value);
    }
    if (in.at_eof()) break;
    in.drop_line();
  }
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  close(sink);
}

void prepare() {
  static bool done = false;
  if (done) return;
  done = true;
  init_character_sets();
  make_token_ring();
  quoly_set(0, &prevnum);
  // No array pages yet, as at start-up: adjoining a variable walks the
  // stored array cells up to endarr.
  endarr = -1;
}

void BM_poly_display(benchmark::State& state) {
  prepare();
  BigModeGuard big;
  run("&(J = z)\n&(J = y)\n&(J = x)\n");
  quoly value = nullptr;
  run("(1 + x + y + z)^20;\n", &value);
  monomial_list = state.range(0) == 1;
  ScopedValue<bool> no_extra_line(extra_line, false);
  std::FILE* sink = std::fopen("/dev/null", "w");
  for (auto _ : state) {
    std::int32_t length = 0;
    quoly_display(sink, value, &length, &semicolon, polynames, {.complete = true});
  }
  std::fclose(sink);
  monomial_list = false;
  free_quoly(&value);
  run("&(J = -x)\n&(J = -y)\n&(J = -z)\n");
  state.SetItemsProcessed(state.iterations() * 1771);
}

std::string stored_values(int count) {
  std::string s;
  for (int k = 0; k < count; ++k) {
    s += "v" + std::to_string(k) + " := ";
    if (k % 3 == 0) {
      s += "(s + " + std::to_string(k) + "*t + 1)^3:\n";
    } else if (k % 3 == 1) {
      s += "(s^2 - " + std::to_string(k) + ")/(t + s + 2):\n";
    } else {
      s += std::to_string(k) + "/7:\n";
    }
  }
  return s;
}

void clear_stored(int count) {
  std::string s;
  for (int k = 0; k < count; ++k) s += "v" + std::to_string(k) + " := 0:\n";
  run(s);
}

// Adjoins u above t and s with `count` values stored, and cancels it again,
// timing the adjoining or the cancelling.
void adjoin_and_cancel(benchmark::State& state, bool time_cancel) {
  prepare();
  BigModeGuard big;
  const int count = static_cast<int>(state.range(0));
  run("&(J = t)\n&(J = s)\n");
  run(stored_values(count));
  for (auto _ : state) {
    if (time_cancel) state.PauseTiming();
    run("&(J = u)\n");
    if (time_cancel) {
      state.ResumeTiming();
    } else {
      state.PauseTiming();
    }
    run("&(J = -u)\n");
    if (!time_cancel) state.ResumeTiming();
  }
  clear_stored(count);
  run("&(J = -s)\n&(J = -t)\n");
  state.SetItemsProcessed(state.iterations() * count);
}

void BM_adjoin_top(benchmark::State& state) { adjoin_and_cancel(state, false); }
void BM_cancel_top(benchmark::State& state) { adjoin_and_cancel(state, true); }

BENCHMARK(BM_poly_display)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_adjoin_top)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_cancel_top)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
