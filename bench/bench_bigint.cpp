// Timings of big-integer sums, products, long division, GCDs, decimal
// conversion and factorials, so that later changes to the kernels can be
// compared. Sizes are in limbs of 28 bits (factorials: the argument; word
// products by transforms: 64-bit words).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/thresholds.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "numbers/int_sqrt.h"
#include "numbers/integer_gcd.h"
#include "numbers/word_array.h"
#include "numbers/zint.h"
#include "gcd/extended_gcd.h"
#include "frontend/data_files.h"

namespace {

using namespace tavrin;

// A positive number of exactly `limbs` random limbs.
imptr random_number(std::mt19937_64& rng, std::int64_t limbs) {
  imptr x;
  newimag(&x);
  special_set(static_cast<std::int32_t>(1 + rng() % (limb_base - 1)), x);
  fillout(x, static_cast<std::int32_t>(limbs - 1));
  for (numptr p = x->head->next; p != nullptr; p = p->next)
    p->value = static_cast<std::int32_t>(rng() % limb_base);
  return x;
}

void BM_fast_mult(benchmark::State& state) {
  std::mt19937_64 rng(1);
  imptr a = random_number(rng, state.range(0));
  imptr b = random_number(rng, state.range(0));
  imptr ans;
  newimag(&ans);
  for (auto _ : state) {
    fast_mult(a, b, ans);
    benchmark::DoNotOptimize(ans->head);
  }
  free_imag(&a);
  free_imag(&b);
  free_imag(&ans);
}
BENCHMARK(BM_fast_mult)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

void BM_multiply_rows(benchmark::State& state) {
  std::mt19937_64 rng(2);
  imptr a = random_number(rng, state.range(0));
  imptr b = random_number(rng, state.range(0));
  imptr ans;
  newimag(&ans);
  for (auto _ : state) {
    multiply(a, b, ans);
    benchmark::DoNotOptimize(ans->head);
  }
  free_imag(&a);
  free_imag(&b);
  free_imag(&ans);
}
BENCHMARK(BM_multiply_rows)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000);

// Word products by transforms (second argument 0: one transform of the
// least power-of-two length; 1: the route wmul_ntt chooses), a square when
// the third is 1, at lengths on both sides of the steps of the transform
// lengths.
void BM_word_product_by_transforms(benchmark::State& state) {
  std::mt19937_64 rng(1);
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::vector<kit::word> a(static_cast<std::size_t>(n)), b(a.size()), r(2 * a.size());
  for (kit::word& w : a) w = rng();
  for (kit::word& w : b) w = rng();
  const kit::word* y = state.range(2) == 1 ? nullptr : b.data();
  for (auto _ : state) {
    if (state.range(1) == 0) {
      kit::wmul_ntt_whole(r.data(), a.data(), n, y, n);
    } else {
      kit::wmul_ntt(r.data(), a.data(), n, y, n);
    }
    benchmark::DoNotOptimize(r.data());
  }
}
BENCHMARK(BM_word_product_by_transforms)
    ->ArgsProduct({{256, 310, 330, 415, 470, 620, 640, 830, 940, 1230, 1260, 1660, 1870, 2450, 2500,
                    3320, 3700, 4096},
                   {0, 1},
                   {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// Long word products (wmul, products of 2n words) around and past the
// widest transform, balanced; a square when the second argument is 1.
void BM_long_word_product(benchmark::State& state) {
  std::mt19937_64 rng(7);
  const auto n = static_cast<std::int32_t>(state.range(0));
  std::vector<kit::word> a(static_cast<std::size_t>(n)), b(a.size()), r(2 * a.size());
  for (kit::word& w : a) w = rng();
  for (kit::word& w : b) w = rng();
  for (auto _ : state) {
    if (state.range(1) == 1) {
      kit::wsqr(r.data(), a.data(), n);
    } else {
      kit::wmul(r.data(), a.data(), n, b.data(), n);
    }
    benchmark::DoNotOptimize(r.data());
  }
  state.counters["ns/word"] =
      benchmark::Counter(static_cast<double>(2 * n) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_long_word_product)
    ->ArgsProduct({{1 << 19, 1 << 20, 1 << 21, 1 << 22, 1 << 23}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// A dividend of 2n limbs by a divisor of n limbs.
void BM_divide(benchmark::State& state) {
  std::mt19937_64 rng(3);
  imptr n = random_number(rng, 2 * state.range(0));
  imptr d = random_number(rng, state.range(0));
  imptr q;
  imptr r;
  newimag(&q);
  newimag(&r);
  for (auto _ : state) {
    divide(n, d, q, r);
    benchmark::DoNotOptimize(r->head);
  }
  free_imag(&n);
  free_imag(&d);
  free_imag(&q);
  free_imag(&r);
}
BENCHMARK(BM_divide)->Arg(100)->Arg(1000);

// Two random operands of n limbs (a small GCD, a long Euclidean sequence).
void BM_binary_gcd(benchmark::State& state) {
  std::mt19937_64 rng(4);
  imptr a = random_number(rng, state.range(0));
  imptr b = random_number(rng, state.range(0));
  imptr g;
  newimag(&g);
  for (auto _ : state) {
    binary_gcd(a, b, g);
    benchmark::DoNotOptimize(g->head);
  }
  free_imag(&a);
  free_imag(&b);
  free_imag(&g);
}
BENCHMARK(BM_binary_gcd)->Arg(2)->Arg(10)->Arg(100);

void BM_extgcd(benchmark::State& state) {
  std::mt19937_64 rng(5);
  imptr c = random_number(rng, state.range(0) / 2 + 1);
  imptr a = random_number(rng, state.range(0) / 2 + 1);
  imptr b = random_number(rng, state.range(0) / 2 + 1);
  fast_mult(a, c, a);
  fast_mult(b, c, b);
  imptr g;
  newimag(&g);
  for (auto _ : state) {
    number qn{};
    number qm{};
    bool gcd1 = false;
    extgcd(a, b, g, &qn, &qm, &gcd1);
    if (!gcd1) {
      special_free(&qn);
      special_free(&qm);
    }
  }
  free_imag(&a);
  free_imag(&b);
  free_imag(&c);
  free_imag(&g);
}
BENCHMARK(BM_extgcd)->Arg(2)->Arg(10)->Arg(100);

// The extended GCD of the built-in EGCD on two random operands of n limbs
// (the second one limb shorter): Euclid's steps (range(1) = 0) or the
// half-GCD route (1).
void BM_egcd(benchmark::State& state) {
  std::mt19937_64 rng(16);
  imptr a = random_number(rng, state.range(0));
  imptr b = random_number(rng, std::max<std::int64_t>(state.range(0) - 1, 1));
  imptr g, s, t;
  newimag(&g);
  newimag(&s);
  newimag(&t);
  for (auto _ : state) {
    if (state.range(1) == 0) {
      euclid_number_gcd(a, b, g, s, t);
    } else {
      half_gcd_cofactors(a, b, g, s, t);
    }
    benchmark::DoNotOptimize(s->head);
  }
  for (imptr x : {a, b, g, s, t}) free_imag(&x);
}
BENCHMARK(BM_egcd)->ArgsProduct({{1, 2, 4, 8, 16, 40, 100, 1000}, {0, 1}});

// The extended Euclidean algorithm of flat integers (ZInt::xgcd) on two
// random numbers of range(0) bits, with Lehmer's steps (range(1) = 1) or
// one division a quotient (0).
void BM_zint_xgcd(benchmark::State& state) {
  std::mt19937_64 rng(15);
  auto random_of = [&rng](std::int64_t bits) {
    ZInt x;
    for (std::int64_t b = 0; b < bits; b += 16)
      x.mul_add(1u << 16, static_cast<std::uint32_t>(rng() & 0xffff));
    return x;
  };
  const ZInt a = random_of(state.range(0)), b = random_of(state.range(0) - 3);
  const std::int32_t saved = xgcd_lehmer_bits;
  if (state.range(1) == 0) xgcd_lehmer_bits = INT32_MAX;
  ZInt s, t;
  for (auto _ : state) benchmark::DoNotOptimize(ZInt::xgcd(a, b, &s, &t));
  xgcd_lehmer_bits = saved;
}
BENCHMARK(BM_zint_xgcd)->ArgsProduct({{200, 320, 1000, 4000}, {0, 1}});

// The integer square root of a random number of n limbs: Newton's
// iteration on limbs (range(1) = 0) or Zimmermann's recursion on words (1).
void BM_int_sqrt(benchmark::State& state) {
  std::mt19937_64 rng(17);
  imptr a = random_number(rng, state.range(0));
  imptr r;
  newimag(&r);
  const std::int32_t saved = sqrt_wide_limbs;
  sqrt_wide_limbs = state.range(1) == 0 ? INT32_MAX : 1;
  for (auto _ : state) {
    int_sqrt(a, r, true);
    benchmark::DoNotOptimize(r->head);
  }
  sqrt_wide_limbs = saved;
  free_imag(&a);
  free_imag(&r);
}
BENCHMARK(BM_int_sqrt)->ArgsProduct({{3, 8, 16, 24, 40, 100, 1000, 10000, 32000}, {0, 1}});

void BM_fastsum(benchmark::State& state) {
  std::mt19937_64 rng(6);
  imptr a = random_number(rng, state.range(0));
  imptr b = random_number(rng, state.range(0));
  for (auto _ : state) {
    fastsum(a, b);
    fastdiff(a, b);
    benchmark::DoNotOptimize(a->head);
  }
  free_imag(&a);
  free_imag(&b);
}
BENCHMARK(BM_fastsum)->Arg(1)->Arg(2)->Arg(10);

void BM_make_base_10(benchmark::State& state) {
  std::mt19937_64 rng(7);
  imptr a = random_number(rng, state.range(0));
  imptr d;
  newimag(&d);
  for (auto _ : state) {
    make_base_10(a, d);
    benchmark::DoNotOptimize(d->head);
  }
  free_imag(&a);
  free_imag(&d);
}
BENCHMARK(BM_make_base_10)->Arg(2)->Arg(10)->Arg(15);

void BM_factorial(benchmark::State& state) {
  static const bool tables = (initialize(TAVRIN_BENCH_DATA_DIR), true);  // the factorial table
  (void)tables;
  imptr n;
  newimag(&n);
  for (auto _ : state) {
    special_set(static_cast<std::int32_t>(state.range(0)), n);
    factorial(n);
    benchmark::DoNotOptimize(n->head);
  }
  free_imag(&n);
}
BENCHMARK(BM_factorial)->Arg(300)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMicrosecond);

}  // namespace
