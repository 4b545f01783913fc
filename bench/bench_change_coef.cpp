// Changing one coefficient of (1 + x + y + z + w)^n in place: the coefficient
// of x^(n/2) y z set to 7 and back to 0 (insert/replace and remove).
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "arrays/second_builtins.h"
#include "frontend/data_files.h"
#include "bench_ring.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

using bench::adjoin_xyzw_once;

void set_by_text(quolyptr v, const std::string& text) {
  TextInput in(text);
  FILEPtr stream = &in;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  quoly_set_coef(v, &stream, &zilch);
}

void BM_change_coef(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  poly s = bench::dense_power(4, static_cast<std::int32_t>(state.range(0)));
  quoly q = nullptr;
  use_up_poly(&s, &q);
  const std::string e = ", " + std::to_string(state.range(0) / 2) + ", 1, 1) := ";
  for (auto _ : state) {
    set_by_text(&q, e + "7;");
    set_by_text(&q, e + "0;");
  }
  free_quoly(&q);
}
BENCHMARK(BM_change_coef)->Arg(8)->Arg(16);

}  // namespace
