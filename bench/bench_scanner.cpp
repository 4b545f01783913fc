// Timings of the token scanner, the per-token cost of every parser: a
// stream of statements read as from a file (line ends are white space) and
// as from the terminal, and the replay of the same tokens as stored text.
// The argument is the number of statements; each holds about 12 tokens of
// names, numbers and operators.
#include <benchmark/benchmark.h>

#include <string>

#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"

namespace {

using namespace tavrin;

std::string statements(int count) {
  std::string text;
  for (int k = 0; k < count; ++k)
    text += "alpha" + std::to_string(k % 97) + " := (beta*x^2 + 3*gamma_1) / delta - 17;\n";
  return text;
}

void scan_stream(benchmark::State& state, bool terminal) {
  init_character_sets();
  make_token_ring();
  const std::string text = statements(static_cast<int>(state.range(0)));
  std::int64_t tokens = 0;
  for (auto _ : state) {
    TextInput in(text);
    FILEPtr saved = Input;
    Input = &in;
    tt_flag = terminal;
    leftover[0] = '\0';
    tokentipe t;
    for (;;) {
      scanner(&Input, &t, &zilch);
      ++tokens;
      if (t.name[0] == ';' && in.at_eof()) break;
      if (terminal && t.name[0] == ';' && in.peek() == '\n') in.get();
    }
    Input = saved;
    finish = nullptr;
  }
  state.SetItemsProcessed(tokens);
}

void BM_scan_file(benchmark::State& state) { scan_stream(state, false); }
void BM_scan_terminal(benchmark::State& state) { scan_stream(state, true); }

// The same tokens replayed from a stored chain.
void BM_scan_replay(benchmark::State& state) {
  init_character_sets();
  make_token_ring();
  const std::string text = statements(static_cast<int>(state.range(0)));
  TextInput in(text);
  FILEPtr saved = Input;
  Input = &in;
  tt_flag = false;
  leftover[0] = '\0';
  nameptr head;
  newname(&head);
  nameptr last = head;
  std::int64_t count = 0;
  for (;;) {
    tokentipe t;
    scanner(&Input, &t, &zilch);
    if (t.name[0] == ';' && in.at_eof()) break;
    nameptr node;
    newname(&node);
    node->let = t;
    last->next = node;
    last = node;
    ++count;
  }
  last->next = nullptr;
  Input = saved;
  for (auto _ : state) {
    nameptr cursor = head;
    tokentipe t;
    for (std::int64_t k = 0; k < count; ++k) scanner(&Input, &t, &cursor);
    benchmark::DoNotOptimize(t);
  }
  state.SetItemsProcessed(count * state.iterations());
  freename(head);
}

BENCHMARK(BM_scan_file)->Arg(1000);
BENCHMARK(BM_scan_terminal)->Arg(1000);
BENCHMARK(BM_scan_replay)->Arg(1000);

}  // namespace
