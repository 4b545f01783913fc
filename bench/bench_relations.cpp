// Timings of arithmetic in fields given by relations, the elements held as
// polynomials in t below a free variable x:
// - 1,000 products of random elements (degree below the relation's, small
//   coefficients), each reduced modulo the relation by the product itself:
//   Q(a) with a^3 = 2 (the compact relation t^3 = 2, folded by exponents)
//   and GF(125) = F_5[t]/(t^3 + t + 1) (a polynomial relation, folded with
//   its table of reduced powers);
// - poly_mod_invert of a random element of degree 2 in both fields;
// - mod_out_poly of a polynomial in x of degree 10 whose coefficients have
//   degree 4 in t, by t^3 + t + 1 at the level of t (depth 2), over the
//   integers and modulo 5.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

// The variables x (depth 1) and t (depth 2), once.
void adjoin_xt_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  bench::adjoin_variables({"x", "t"});
}

using nodes::new_term;

// c t^e at t's own level (no pad), c reduced in modular arithmetic.
poly monomial_t(std::int32_t c, std::int32_t e) {
  if (modularmode) c = ((c % modulus) + modulus) % modulus;
  poly k = bench::constant_poly(c);
  if (e == 0 || c == 0) return k;
  return new_term(e, k);
}

// sum c_k t^k at t's level.
poly poly_t(const std::vector<std::int32_t>& c) {
  poly s = nullptr;
  poly_set(0, &s);
  for (std::size_t k = 0; k < c.size(); ++k)
    best_poly_add(s, monomial_t(c[k], static_cast<std::int32_t>(k)), &s);
  return s;
}

// p at t's level wrapped in the pad of x's level (a constant stays).
poly padded(poly p) { return p->numb ? p : new_term(0, p); }

// t's level modded out by a monic relation of degree 3 for the scope: t^3 =
// 2 in the compact form, or t^3 + t + 1 with its reduced powers t^4, t^3.
class Field {
 public:
  explicit Field(bool compact) {
    level_ = polynames->next;
    level_->expon = 3;
    level_->field = true;
    if (compact) {
      poly_set(2, &level_->p);
      level_->alt = poly_t({-2, 0, 0, 1});
    } else {
      poly rel = poly_t({1, 1, 0, 1});
      poly* link = &level_->multdata;
      for (std::int32_t k = 4; k >= 3; --k) {
        poly tk = monomial_t(1, k);
        fold_poly(&tk, &rel, 3, level_);
        poly node = new_term(k, tk);
        *link = node;
        link = &node->next;
      }
      level_->p = rel;
    }
    field_depth = 2;
    pseudo_polynames = polynames;
  }
  ~Field() {
    free_poly(&level_->p);
    free_poly(&level_->alt);
    free_poly(&level_->multdata);
    level_->field = false;
    field_depth = 0;
    pseudo_polynames = nullptr;
  }

 private:
  polypt level_ = nullptr;
};

// Random field elements of degree below 3 (degree exactly 2 with exact2),
// padded to x's level.
std::vector<poly> elements(int count, bool exact2, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<poly> v;
  while (static_cast<int>(v.size()) < count) {
    std::vector<std::int32_t> c(3);
    for (auto& k : c) k = static_cast<std::int32_t>(rng() % 19) - 9;
    if (exact2 && (modularmode ? c[2] % modulus == 0 : c[2] == 0)) continue;
    poly p = poly_t(c);
    if (p->numb) {
      free_poly(&p);
      continue;
    }
    v.push_back(padded(p));
  }
  return v;
}

// range(0): 0 for Q(a), 5 for GF(125).
void BM_field_products(benchmark::State& state) {
  adjoin_xt_once();
  const auto p = static_cast<std::int32_t>(state.range(0));
  const bench::ModularRing ring(p);
  const Field field(p == 0);
  std::vector<poly> a = elements(1000, false, 1), b = elements(1000, false, 2);
  for (auto _ : state) {
    for (std::size_t i = 0; i < a.size(); ++i) {
      poly r = nullptr;
      poly_mult(a[i], b[i], &r, polynames);
      benchmark::DoNotOptimize(r);
      free_poly(&r);
    }
  }
  for (poly& x : a) free_poly(&x);
  for (poly& x : b) free_poly(&x);
  state.SetItemsProcessed(state.iterations() * 1000);
}

void BM_poly_mod_invert(benchmark::State& state) {
  adjoin_xt_once();
  const auto p = static_cast<std::int32_t>(state.range(0));
  const bench::ModularRing ring(p);
  const Field field(p == 0);
  std::vector<poly> a = elements(64, true, 3);
  std::size_t i = 0;
  for (auto _ : state) {
    quoly inv = nullptr;
    poly_mod_invert(a[i++ % a.size()], &inv, polynames);
    benchmark::DoNotOptimize(inv);
    free_quoly(&inv);
  }
  for (poly& x : a) free_poly(&x);
}

// x^10 c10 + ... + c0 with c_k random of degree 4 in t.
void BM_mod_out_poly(benchmark::State& state) {
  adjoin_xt_once();
  const auto p = static_cast<std::int32_t>(state.range(0));
  const bench::ModularRing ring(p);
  poly rel = poly_t({1, 1, 0, 1});
  std::mt19937_64 rng(4);
  poly big = nullptr;
  poly_set(0, &big);
  for (std::int32_t e = 10; e >= 0; --e) {
    std::vector<std::int32_t> c(5);
    for (auto& k : c) k = static_cast<std::int32_t>(rng() % 19) - 9;
    c[4] = 1;
    best_poly_add(big, new_term(e, poly_t(c)), &big);
  }
  for (auto _ : state) {
    poly w = nullptr;
    poly_assign(big, &w);
    mod_out_poly(&w, &rel, 2, 3, polynames);
    benchmark::DoNotOptimize(w);
    free_poly(&w);
  }
  free_poly(&big);
  free_poly(&rel);
}

BENCHMARK(BM_field_products)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_poly_mod_invert)->Arg(0)->Arg(5)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_mod_out_poly)->Arg(0)->Arg(5)->Unit(benchmark::kMicrosecond);

}  // namespace
