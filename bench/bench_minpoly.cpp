// "Minpoly" of fixed-seed sparse integer matrices: side n with 3-6 entries a
// row in [-9, 9] (BM_Minpoly), and a block-diagonal matrix of repeated
// companion blocks of one polynomial of degree 5 (BM_MinpolyBlocks). The
// counter "primes" is the number of word primes the coefficient bound asks
// for (0: more than the table holds, the built-in then gives up at once).
// BM_MPowermod: "MPowermod" of a 20 x 20 matrix of polynomials of degree 2
// in x modulo x^10 + 3x^7 - 2x + 5 with a 100-digit exponent, over the
// integers modulo 65521 (over Z the coefficients would double in length
// with every squaring).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "toplevel/charsets.h"
#include "toplevel/chdat.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "frontend/data_files.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

void run(const std::string& text) { bench::run_statements(text); }

void set_up_once() {
  static const bool done = (bench::start_with_x(), true);
  (void)done;
}

// The primes the bound of the named array asks for, as the routine counts
// them (0 past the table).
std::int32_t primes_for_bound(const std::string& name, std::int32_t n) {
  tokentipe t{};
  std::copy(name.begin(), name.end(), t.name);
  t.address = -1;  // found by its name
  quoly b = nullptr;
  gershgorn(&b, find_array(&t), n);
  const std::int32_t L = b->ncoef->size;
  std::int32_t count = std::max(6, L * 7 / 4 + 4);
  while (count <= 603 && num_prod[count - 6].size < L) ++count;
  while (count <= 603 && num_prod[count - 6].size == L &&
         num_prod[count - 6].head->value < b->ncoef->head->value)
    ++count;
  free_quoly(&b);
  return count > 603 ? 0 : count - 5;
}

void time_minpoly(benchmark::State& state, const std::string& name, std::int32_t n) {
  state.counters["primes"] = primes_for_bound(name, n);
  const std::string call = "mp := Minpoly([" + name + "], 1):\n";
  for (auto _ : state) {
    seed_random(52);
    run(call);
  }
}

void BM_Minpoly(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(252 + static_cast<std::uint64_t>(n));
  const std::string name = "m" + std::to_string(n);
  std::string text =
      "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "] Sparse:\n";
  for (std::int32_t i = 1; i <= n; ++i) {
    const auto k = 3 + static_cast<std::int32_t>(rng() % 4);
    for (std::int32_t e = 0; e < k; ++e) {
      const auto j = 1 + static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(n));
      const auto v = 1 + static_cast<std::int64_t>(rng() % 9);
      text += name + "[" + std::to_string(i) + "," + std::to_string(j) +
              "] := " + std::to_string(rng() % 2 == 0 ? v : -v) + ":\n";
    }
  }
  run(text);
  time_minpoly(state, name, n);
}

// Companion blocks of x^5 - 3x^3 + 2x - 7.
void BM_MinpolyBlocks(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::string name = "b" + std::to_string(n);
  std::string text =
      "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "] Sparse:\n";
  const std::int64_t last_col[5] = {7, -2, 0, 3, 0};  // minus the low coefficients
  for (std::int32_t at = 0; at + 5 <= n; at += 5) {
    for (std::int32_t i = 0; i < 4; ++i)
      text +=
          name + "[" + std::to_string(at + i + 2) + "," + std::to_string(at + i + 1) + "] := 1:\n";
    for (std::int32_t i = 0; i < 5; ++i)
      if (last_col[i] != 0)
        text += name + "[" + std::to_string(at + i + 1) + "," + std::to_string(at + 5) +
                "] := " + std::to_string(last_col[i]) + ":\n";
  }
  run(text);
  time_minpoly(state, name, n);
}

void BM_MPowermod(benchmark::State& state) {
  set_up_once();
  std::mt19937_64 rng(352);
  // The ground ring as the ring change sets it up, restored afterwards.
  ModulusGuard ring(65521, true);
  const bool saved_mod = modularmode, saved_lint = lintmode;
  modularmode = lintmode = true;
  std::string text = "Array pw[20,20]:\n";
  for (std::int32_t i = 1; i <= 20; ++i)
    for (std::int32_t j = 1; j <= 20; ++j) {
      text += "pw[" + std::to_string(i) + "," + std::to_string(j) + "] := ";
      for (std::int32_t k = 2; k >= 0; --k)
        text += std::to_string(static_cast<std::int64_t>(rng() % 19) - 9) + "*x^" +
                std::to_string(k) + (k > 0 ? " + " : ":\n");
    }
  run(text);
  const std::string call = "MPowermod([pw], 10^99 + 12345, x^10 + 3*x^7 - 2*x + 5):\n";
  for (auto _ : state) run(call);
  modularmode = saved_mod;
  lintmode = saved_lint;
}

}  // namespace

BENCHMARK(BM_Minpoly)->Arg(100)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MinpolyBlocks)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MPowermod)->Unit(benchmark::kMillisecond);
