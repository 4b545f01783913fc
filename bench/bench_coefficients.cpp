// Taking polynomials apart and the number-mode kernels of the built-ins.
//   coef:        the coefficient of one power of x in (1 + x + y + z + w)^n
//                (the exponent-list reader over a token stream);
//   extract:     the coefficient of the monomial x^2 y z in the same value;
//   cullout:     the cofactor of x y (the terms it divides, divided by it);
//   totdeg:      the part of total degree n/2 in x and z;
//   leadmon:     the leading monomial of every level (copied);
//   sqrt:        the integer square root of a 60-limb number;
//   binom_rat, binom_word, binom_float: B(n, n/2) in each mode.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/binomials.h"
#include "lang/builtins/coefficients.h"
#include "frontend/data_files.h"
#include "bench_ring.h"
#include "bench_statements.h"

namespace {

using namespace tavrin;

using bench::adjoin_xyzw_once;

// (1 + x + y + z + w)^n.
poly dense4(std::int32_t n) { return bench::dense_power(4, n); }

// x^e[0] y^e[1] z^e[2] w^e[3] (every exponent at least 1), node by node.
poly monomial(const std::int32_t (&e)[4]) {
  poly m = nullptr;
  poly_set(1, &m);
  for (int d = 3; d >= 0; --d) {
    poly t = nullptr;
    newpoly(&t);
    t->exp = e[d];
    t->next = nullptr;
    t->numb = false;
    t->pcoef = m;
    m = t;
  }
  return m;
}

void BM_coef(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  poly p = dense4(static_cast<std::int32_t>(state.range(0)));
  const std::string text = ", " + std::to_string(state.range(0) / 2) + ")";
  for (auto _ : state) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    poly ans = nullptr;
    get_coef(p, &ans, &stream, &zilch, true);
    free_poly(&ans);
  }
  free_poly(&p);
}
BENCHMARK(BM_coef)->Arg(8)->Arg(16);

void BM_extract(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  poly p = dense4(static_cast<std::int32_t>(state.range(0)));
  poly m = monomial({2, 1, 1, 1});
  poly one = nullptr;
  poly_set(1, &one);
  for (auto _ : state) {
    poly s = nullptr;
    extract(p, m, one, &s);
    free_poly(&s);
  }
  free_poly(&one);
  free_poly(&m);
  free_poly(&p);
}
BENCHMARK(BM_extract)->Arg(8)->Arg(16);

void BM_cullout(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  poly p = dense4(static_cast<std::int32_t>(state.range(0)));
  poly m = monomial({1, 1, 1, 1});
  for (auto _ : state) {
    poly s = nullptr;
    cullout(p, m, &s, 0);
    free_poly(&s);
  }
  free_poly(&m);
  free_poly(&p);
}
BENCHMARK(BM_cullout)->Arg(8)->Arg(16);

void BM_totdeg(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  const auto n = static_cast<std::int32_t>(state.range(0));
  poly p = dense4(n);
  bool marked[151] = {};
  marked[1] = marked[3] = true;
  for (auto _ : state) {
    poly c = nullptr;
    poly_assign(p, &c);
    c = total_degree(c, 1, n / 2, marked, 3);
    if (c != nullptr) free_poly(&c);
  }
  free_poly(&p);
}
BENCHMARK(BM_totdeg)->Arg(8)->Arg(16);

void BM_leadmon(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  quoly v = nullptr;
  {
    poly p = dense4(static_cast<std::int32_t>(state.range(0)));
    use_up_poly(&p, &v);
  }
  for (auto _ : state) {
    quoly lm = nullptr;
    leading_mon(&v, nullptr, &lm);
    free_quoly(&lm);
  }
  free_quoly(&v);
}
BENCHMARK(BM_leadmon)->Arg(16);

void BM_sqrt(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  const auto limbs = static_cast<std::int32_t>(state.range(0));
  std::vector<std::int32_t> values(static_cast<std::size_t>(limbs));
  for (std::int32_t k = 0; k < limbs; ++k)
    values[static_cast<std::size_t>(k)] =
        static_cast<std::int32_t>((k * 2654435761u + 12345u) & 0xFFFFFFF);
  imptr v = bench::number_of_limbs(values);
  imptr r = nullptr;
  newimag(&r);
  for (auto _ : state) {
    num_assign(v, r);
    square_root(r, r);
  }
  free_imag(&r);
  free_imag(&v);
}
BENCHMARK(BM_sqrt)->Arg(60)->Arg(600);

void BM_binom_rat(benchmark::State& state) {
  adjoin_xyzw_once();
  BigModeGuard big;
  const auto n = static_cast<std::int32_t>(state.range(0));
  for (auto _ : state) {
    quoly m = nullptr;
    rat_binom(n, n / 2, &m);
    free_quoly(&m);
  }
}
BENCHMARK(BM_binom_rat)->Arg(149)->Arg(1000);

void BM_binom_word(benchmark::State& state) {
  adjoin_xyzw_once();
  ArithModeGuard word;
  lintmode = true;
  modularmode = false;
  flotemode = false;
  for (auto _ : state) {
    for (std::int32_t n = 0; n <= 30; ++n) {
      quoly m = nullptr;
      lint_binom(n, n / 2, &m);
      free_quoly(&m);
    }
  }
}
BENCHMARK(BM_binom_word);

void BM_binom_float(benchmark::State& state) {
  adjoin_xyzw_once();
  ArithModeGuard fl;
  flotemode = true;
  lintmode = false;
  modularmode = false;
  for (auto _ : state) {
    for (std::int32_t n = 0; n <= 152; ++n) {
      quoly m = nullptr;
      flote_binom(n, n / 2, &m);
      free_quoly(&m);
    }
  }
}
BENCHMARK(BM_binom_float);

}  // namespace
