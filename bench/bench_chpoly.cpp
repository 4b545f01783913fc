// "Chpoly" of fixed-seed n x n integer matrices, entries in [0, 99], run as
// the statement "Chpoly([a]);" (n = 4, 8, 16, 32). The numeric determinants
// of the interpolation need the integer determinant and its minimum cut:
// until both are in the program the runs are skipped unless
// TAVRIN_BENCH_CHPOLY is set. BM_ChpolyCombine times the combining step
// alone (the r - 2 Lagrange terms) from fixed determinants.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "matrix/matrix_builtins.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/chdat.h"
#include "toplevel/data_files.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace {

using namespace tavrin;

void run(const std::string& text) {
  TextInput in(text);
  FILEPtr stream = &in;
  tt_flag = false;
  leftover[0] = '\0';
  for (;;) {
    scanner(&stream, &token, &zilch);
    if (in.at_eof() && token.name[0] == ';') break;
    quoly value = nullptr;
    parse(&stream, &value, &zilch);
    free_quoly(&value);
    if (in.at_eof()) break;
    in.get();
  }
}

void set_up_once() {
  static bool done = false;
  if (done) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  init_character_sets();
  make_token_ring();
  Set_prods_for_char();  // the basis rows 12 and up come with the first variable
  run("&(J = x)\n");
  done = true;
}

void BM_Chpoly(benchmark::State& state) {
  if (std::getenv("TAVRIN_BENCH_CHPOLY") == nullptr) {
    state.SkipWithError("integer determinant pending (set TAVRIN_BENCH_CHPOLY)");
    return;
  }
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(52 + static_cast<std::uint64_t>(n));
  const std::string name = "c" + std::to_string(n);
  std::string text = "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      text += name + "[" + std::to_string(i) + "," + std::to_string(j) + "] := " +
              std::to_string(rng() % 100) + ":\n";
  run(text);
  const std::string call = "x := Chpoly([" + name + "]):\n";
  for (auto _ : state) run(call);
}

void BM_ChpolyCombine(benchmark::State& state) {
  set_up_once();
  const auto r = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(53);
  std::vector<quoly> d(static_cast<std::size_t>(r - 2), nullptr);
  for (auto& v : d) quoly_set(static_cast<std::int32_t>(rng() % 100000), &v);
  quoly c0 = nullptr, t = nullptr;
  quoly_set(12345, &c0);
  quoly_set(77, &t);
  auto basis = [](std::int32_t m, std::int32_t i, quolyptr w) {
    free_quoly(w);
    quoly_assign(pol[m][i], w);
  };
  for (auto _ : state) {
    quoly n = nullptr;
    combine_char_poly(&n, r, t, c0, d.data(), basis);
    benchmark::DoNotOptimize(n);
    free_quoly(&n);
  }
  for (auto& v : d) free_quoly(&v);
  free_quoly(&c0);
  free_quoly(&t);
}

// Leverrier-Faddeev on a stored-sparse n x n integer matrix, entries in
// [-99, 99] ("Chpoly" with a second argument).
void BM_ChpolySparse(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::mt19937_64 rng(152 + static_cast<std::uint64_t>(n));
  const std::string name = "s" + std::to_string(n);
  addresser = 1;
  first_available = 1;
  std::string text =
      "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      text += name + "[" + std::to_string(i) + "," + std::to_string(j) + "] := " +
              std::to_string(static_cast<std::int64_t>(rng() % 199) - 99) + ":\n";
  text += "Sparse[" + name + "]:\n";
  run(text);
  const std::string call = "cp := Chpoly([" + name + "], 1):\n";
  for (auto _ : state) run(call);
}

// "Chpoly" of a fixed-seed dense n x n matrix modulo 32003 (interpolation:
// n - 1 modular determinants), and the direct determinant of a - xI that
// the modular route used before (Arg 1: direct).
void BM_ChpolyModular(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const bool direct = state.range(1) == 1;
  ModulusGuard ring(32003);
  modularmode = true;
  lintmode = true;
  flotemode = false;
  std::mt19937_64 rng(252 + static_cast<std::uint64_t>(n));
  const std::string name = "m" + std::to_string(n) + (direct ? "d" : "");
  addresser = 1;
  first_available = 1;
  std::string text = "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      text += name + "[" + std::to_string(i) + "," + std::to_string(j) + "] := " +
              std::to_string(rng() % 32003) + (i == j && direct ? " - x" : "") + ":\n";
  run(text);
  const std::string call =
      direct ? "y := Det([" + name + "]):\n" : "y := Chpoly([" + name + "]):\n";
  for (auto _ : state) run(call);
}

}  // namespace

BENCHMARK(BM_ChpolySparse)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chpoly)->Arg(4)->Arg(8)->Arg(16)->Arg(32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChpolyCombine)->Arg(8)->Arg(16)->Arg(32)->Arg(39)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChpolyModular)
    ->ArgsProduct({{8, 16, 32, 64}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
