// Timings of the one-variable kernels of GF(2^8) and GF(2^16) at doubling
// degrees n (the argument; the field the second): carry-less products of
// word arrays (n words: the best one-word product, the portable one up to
// 65,536 words, Karatsuba's recursion without the transforms, and the
// reference route of one-word columns up to 8,192 words),
// products of element vectors (degrees n and 2n), squares, division of
// degree 2n by n, the GCD and extended GCD of degrees 2n and n, and a
// product modulo a fixed f of degree n.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bit_poly.h"
#include "dense/dense_char2.h"

namespace {

using namespace tavrin;

DensePoly random_elements(std::mt19937_64& rng, std::int64_t deg, std::int32_t q) {
  DensePoly a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(q));
  if (a.back() == 0) a.back() = 1;
  return a;
}

void words(benchmark::State& state, bit_kernel kernel) {
  std::mt19937_64 rng(1);
  std::vector<bit_word> a(static_cast<std::size_t>(state.range(0))), b(a.size());
  for (auto& w : a) w = rng();
  for (auto& w : b) w = rng();
  for (auto _ : state) benchmark::DoNotOptimize(bit_poly_mul(a, b, kernel));
}
void BM_bit_poly_mul(benchmark::State& state) { words(state, bit_kernel::best); }
void BM_bit_poly_mul_portable(benchmark::State& state) { words(state, bit_kernel::portable); }
void BM_bit_poly_mul_karatsuba(benchmark::State& state) {
  ScopedValue<std::int32_t> never(bit_fft_words, INT32_MAX);
  words(state, bit_kernel::best);
}
void BM_bit_poly_mul_reference(benchmark::State& state) {
  ScopedValue<std::int32_t> never(bit_fft_words, INT32_MAX);
  words(state, bit_kernel::reference);
}

enum class Op { mul, sqr, divrem, gcd, xgcd, mulmod };

void kernel(benchmark::State& state, Op op) {
  const std::int64_t n = state.range(0);
  const auto q = static_cast<std::int32_t>(state.range(1));
  std::mt19937_64 rng(1);
  const DensePoly a = random_elements(rng, n, q), b = random_elements(rng, 2 * n, q);
  DensePoly f = random_elements(rng, n, q);
  f.back() = 1;
  const Char2Modulus M(f, q);
  DensePoly x = random_elements(rng, n - 1, q), y = random_elements(rng, n - 1, q);
  for (auto _ : state) {
    switch (op) {
      case Op::mul: benchmark::DoNotOptimize(dense_char2_mul(a, b, q)); break;
      case Op::sqr: benchmark::DoNotOptimize(dense_char2_sqr(b, q)); break;
      case Op::divrem: {
        DensePoly qq, rr;
        dense_char2_divrem(b, a, q, &qq, &rr);
        benchmark::DoNotOptimize(rr);
        break;
      }
      case Op::gcd: benchmark::DoNotOptimize(dense_char2_gcd(b, a, q)); break;
      case Op::xgcd: {
        DensePoly g, s, t;
        dense_char2_xgcd(b, a, q, &g, &s, &t);
        benchmark::DoNotOptimize(t);
        break;
      }
      case Op::mulmod: benchmark::DoNotOptimize(M.mul(x, y)); break;
    }
  }
}
void BM_char2_mul(benchmark::State& state) { kernel(state, Op::mul); }
void BM_char2_sqr(benchmark::State& state) { kernel(state, Op::sqr); }
void BM_char2_divrem(benchmark::State& state) { kernel(state, Op::divrem); }
void BM_char2_gcd(benchmark::State& state) { kernel(state, Op::gcd); }
void BM_char2_xgcd(benchmark::State& state) { kernel(state, Op::xgcd); }
void BM_char2_mulmod(benchmark::State& state) { kernel(state, Op::mulmod); }

void word_args(benchmark::internal::Benchmark* b) {
  for (std::int64_t n = 16; n <= 1048576; n *= 2) b->Arg(n);
  b->Unit(benchmark::kMillisecond);
}

void portable_args(benchmark::internal::Benchmark* b) {
  for (std::int64_t n = 16; n <= 65536; n *= 4) b->Arg(n);
  b->Unit(benchmark::kMillisecond);
}

void reference_args(benchmark::internal::Benchmark* b) {
  for (std::int64_t n = 4; n <= 8192; n *= 2) b->Arg(n);
  b->Unit(benchmark::kMillisecond);
}

void degree_args(benchmark::internal::Benchmark* b) {
  for (std::int64_t q : {256, 65536})
    for (std::int64_t n = 1000; n <= 32000; n *= 2) b->Args({n, q});
  b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_bit_poly_mul)->Apply(word_args);
BENCHMARK(BM_bit_poly_mul_portable)->Apply(portable_args);
BENCHMARK(BM_bit_poly_mul_karatsuba)->Apply(word_args);
BENCHMARK(BM_bit_poly_mul_reference)->Apply(reference_args);
BENCHMARK(BM_char2_mul)->Apply(degree_args);
BENCHMARK(BM_char2_sqr)->Apply(degree_args);
BENCHMARK(BM_char2_divrem)->Apply(degree_args);
BENCHMARK(BM_char2_gcd)->Apply(degree_args);
BENCHMARK(BM_char2_xgcd)->Apply(degree_args);
BENCHMARK(BM_char2_mulmod)->Apply(degree_args);

}  // namespace
