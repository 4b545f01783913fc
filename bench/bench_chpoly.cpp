// Characteristic polynomials of fixed-seed n x n integer matrices, entries
// in [-99, 99]: "Chpoly([a])" of a dense array (BM_Chpoly), "Chpoly([s], 1)"
// of a stored-sparse one (BM_ChpolySparse; integer entries go by images),
// the Leverrier-Faddeev recurrence alone on the same sparse matrix
// (BM_ChpolyLeverrier) and the per-prime kernel alone (BM_ChpolyModKernel).
// BM_ChpolyCombine times the interpolation's combining step alone (the
// r - 2 Lagrange terms) from fixed determinants.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/chdat.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "matrix/int_char_poly.h"
#include "matrix/leverrier.h"
#include "matlang/matrix_builtins.h"
#include "frontend/data_files.h"
#include "frontend/startup.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

void run(const std::string& text) { bench::run_statements(text); }

void set_up_once() {
  static bool done = false;
  if (done) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  set_language_defaults();  // as the program has them at its first prompt: no array cells yet
  allocate_work_areas();
  init_character_sets();
  make_token_ring();
  Set_prods_for_char();  // the basis rows 12 and up come with the first variable
  run("&(J = x)\n");
  done = true;
}

// Declares the n x n array `name` with entries in [-99, 99] drawn from seed.
void make_array(const std::string& name, std::int32_t n, std::uint64_t seed, bool sparse) {
  std::mt19937_64 rng(seed);
  addresser = 1;
  first_available = 1;
  std::string text = "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      text += name + "[" + std::to_string(i) + "," + std::to_string(j) +
              "] := " + std::to_string(static_cast<std::int64_t>(rng() % 199) - 99) + ":\n";
  if (sparse) text += "Sparse[" + name + "]:\n";
  run(text);
}

void BM_Chpoly(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::string name = "c" + std::to_string(n);
  make_array(name, n, 52 + static_cast<std::uint64_t>(n), false);
  const std::string call = "cp := Chpoly([" + name + "]):\n";
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

// "Chpoly" with a second argument: the stored-sparse route.
void BM_ChpolySparse(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::string name = "s" + std::to_string(n);
  make_array(name, n, 152 + static_cast<std::uint64_t>(n), true);
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
  run("&(p = 32003)\n");  // the stored arrays of the other benchmarks go modular too
  std::mt19937_64 rng(252 + static_cast<std::uint64_t>(n));
  const std::string name = "m" + std::to_string(n) + (direct ? "d" : "");
  addresser = 1;
  first_available = 1;
  std::string text = "Array " + name + "[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  for (std::int32_t i = 1; i <= n; ++i)
    for (std::int32_t j = 1; j <= n; ++j)
      text += name + "[" + std::to_string(i) + "," + std::to_string(j) +
              "] := " + std::to_string(rng() % 32003) + (i == j && direct ? " - x" : "") + ":\n";
  run(text);
  const std::string call =
      direct ? "y := Det([" + name + "]):\n" : "y := Chpoly([" + name + "]):\n";
  for (auto _ : state) run(call);
  run("&p\n");  // back to rational arithmetic
}

// The Leverrier-Faddeev recurrence on the same matrices.
void BM_ChpolyLeverrier(benchmark::State& state) {
  set_up_once();
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::string name = "s" + std::to_string(n);
  make_array(name, n, 152 + static_cast<std::uint64_t>(n), true);
  tokentipe id{};
  std::snprintf(id.name, sizeof id.name, "%s", name.c_str());
  id.address = -1;
  const arrptr q = find_array(&id);
  for (auto _ : state) {
    quoly p = nullptr;
    leverrier_chpoly(&p, q->spar, n);
    free_quoly(&p);
  }
}

// One prime's image: Hessenberg reduction and the recurrence.
void BM_ChpolyModKernel(benchmark::State& state) {
  const auto n = static_cast<std::int32_t>(state.range(0));
  const std::uint32_t p = charpoly_images::largest_word_prime(0);
  std::mt19937_64 rng(7);
  std::vector<std::uint32_t> a(static_cast<std::size_t>(n) * n), work;
  for (auto& v : a) v = static_cast<std::uint32_t>(rng() % p);
  for (auto _ : state) {
    work = a;
    benchmark::DoNotOptimize(charpoly_images::char_poly_mod(work.data(), n, p));
  }
}

}  // namespace

BENCHMARK(BM_ChpolySparse)->Arg(16)->Arg(64)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChpolyLeverrier)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chpoly)->Arg(16)->Arg(64)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChpolyModKernel)->Arg(64)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChpolyCombine)->Arg(8)->Arg(16)->Arg(32)->Arg(39)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChpolyModular)->ArgsProduct({{8, 16, 32, 64}, {0, 1}})->Unit(benchmark::kMillisecond);
