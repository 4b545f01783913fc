// Timings of the finite-field work of the GCD folder:
// - factor_poly of random monic polynomials of degree 500, 1,000 and 4,000
//   modulo 32003 (10,000 only with TAVRIN_BENCH_LONG set), and of degree
//   100 over GF(65521^2) given by the relation t^2 = 17;
// - powermod: x^p modulo a random monic f of degree 100 and 500, p =
//   2147483629, and x^(p^2) over GF(65521^2) modulo a degree-100 f;
// - total_sq_free of a b^2 c^3 over the integers, a, b, c dense in x, y, z
//   of total degree 2 and 6 with small random coefficients (14 only with
//   TAVRIN_BENCH_LONG).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "dense/dense_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "factor/factor.h"
#include "factor/powermod.h"
#include "factor/square_free.h"
#include "quoly/quoly_power.h"
#include "frontend/data_files.h"
#include "bench_ring.h"

namespace {

using namespace tavrin;

// The variables named, top first, for the scope (no relations, no field).
class Adjoin {
 public:
  explicit Adjoin(std::vector<const char*> names) {
    static bool started = false;
    if (!started) {
      initialize(TAVRIN_BENCH_DATA_DIR);
      started = true;
    }
    first_available = 1;
    bench::adjoin_variables(names);
  }
  ~Adjoin() {
    while (polynames != nullptr) {
      polypt r = polynames;
      polynames = r->next;
      free_pt(&r);
    }
    number_polys = 0;
    field_depth = 0;
    pseudo_polynames = nullptr;
  }
};

poly residue(std::int32_t c) {
  poly k = nullptr;
  poly_set(c, &k);
  if (lintmode) k->ncoef->lint = c;
  return k;
}

// A random monic polynomial of degree deg in the top variable modulo p.
poly random_monic(std::mt19937_64& rng, int deg, std::int32_t p) {
  std::vector<std::int32_t> a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
  a.back() = 1;
  poly n = nullptr;
  array_to_poly(a.data(), deg, &n);
  return n;
}

// Times factor_poly on copies of f (freed after), reporting the factors.
void time_factor(benchmark::State& state, poly f) {
  std::int32_t factors = 0;
  for (auto _ : state) {
    poly a = nullptr, sq = nullptr;
    poly_assign(f, &a);
    factor_poly(&a, &sq, &factors, false, false, -1);
    free_poly(&a);
    free_poly(&sq);
  }
  state.counters["factors"] = factors;
  free_poly(&f);
}

void BM_FactorModPrime(benchmark::State& state) {
  Adjoin vars({"x"});
  bench::ModularRing ring(32003);
  std::mt19937_64 rng(1);
  poly f = random_monic(rng, static_cast<int>(state.range(0)), 32003);
  time_factor(state, f);
}

// GF(65521^2): t (level 2) modded out by t^2 = 17, a field level.
class Gf65521Squared {
 public:
  Gf65521Squared() : vars_({"x", "t"}), ring_(65521) {
    polypt t = polynames->next;
    t->expon = 2;
    t->field = true;
    t->p = residue(17);
    OwnedPoly alt;
    t->alt = nodes::new_term(2, residue(1), residue(65521 - 17));
    field_depth = 2;
    pseudo_polynames = polynames;
  }

 private:
  using OwnedPoly = nodes::OwnedPoly;
  Adjoin vars_;
  bench::ModularRing ring_;
};

// A random monic polynomial in x of degree deg over GF(65521^2).
poly random_monic_gf(std::mt19937_64& rng, int deg) {
  poly f = nodes::new_term(deg, residue(1));
  poly* link = &f->next;
  for (int j = deg - 1; j >= 0; --j) {
    const std::int32_t a = static_cast<std::int32_t>(rng() % 65521),
                       b = static_cast<std::int32_t>(rng() % 65521);
    poly c = a == 0 ? (b == 0 ? nullptr : residue(b))
                    : (b == 0 ? nodes::new_term(1, residue(a))
                              : nodes::new_term(1, residue(a), residue(b)));
    if (c == nullptr) continue;
    *link = (j == 0 && c->numb) ? c : nodes::new_term(j, c);
    link = &(*link)->next;
  }
  return f;
}

void BM_FactorGf65521Squared(benchmark::State& state) {
  Gf65521Squared field;
  std::mt19937_64 rng(2);
  poly f = random_monic_gf(rng, static_cast<int>(state.range(0)));
  time_factor(state, f);
}

// x^e modulo f, e a big integer given in decimal pieces: p or p^2.
void power_of_x(benchmark::State& state, poly f, imptr e) {
  quoly m = nodes::new_ratfun_value(f, nullptr);
  for (auto _ : state) {
    quoly b = nullptr;
    base_quoly(&b, 1);
    number ex{};
    {
      BigModeGuard big;
      num_assign(e, &ex);
    }
    powermod(&b, &m, &ex, false);
    special_free(&ex);
    free_quoly(&b);
  }
  free_quoly(&m);
}

void BM_PowermodXtoP(benchmark::State& state) {
  Adjoin vars({"x"});
  bench::ModularRing ring(2147483629);
  std::mt19937_64 rng(3);
  number e{};
  {
    BigModeGuard big;
    special_set(2147483629, &e);
  }
  power_of_x(state, random_monic(rng, static_cast<int>(state.range(0)), 2147483629), &e);
  special_free(&e);
}

void BM_PowermodGf65521Squared(benchmark::State& state) {
  Gf65521Squared field;
  std::mt19937_64 rng(4);
  number e{};
  {
    BigModeGuard big;
    special_set(65521, &e);
    number_power(&e, 2);
  }
  power_of_x(state, random_monic_gf(rng, static_cast<int>(state.range(0))), &e);
  special_free(&e);
}

// c x^i y^j z^k at the top level.
poly monomial_xyz(std::int32_t c, std::int32_t i, std::int32_t j, std::int32_t k) {
  poly p = residue(c);
  for (std::int32_t e : {k, j, i}) {
    if (e > 0) {
      p = nodes::new_term(e, p);
    } else if (!p->numb) {
      add_pad(&p, 1);
    }
  }
  return p;
}

// A dense polynomial of total degree d in x, y, z, coefficients -9 .. 9.
poly dense_xyz(std::mt19937_64& rng, std::int32_t d) {
  poly s = residue(0);
  for (std::int32_t i = 0; i <= d; ++i)
    for (std::int32_t j = 0; i + j <= d; ++j)
      for (std::int32_t k = 0; i + j + k <= d; ++k) {
        std::int32_t c = static_cast<std::int32_t>(rng() % 19) - 9;
        if (i + j + k == d && c == 0) c = 1;
        if (c != 0) best_poly_add(s, monomial_xyz(c, i, j, k), &s);
      }
  return s;
}

void BM_SquareFreeABBCCC(benchmark::State& state) {
  Adjoin vars({"x", "y", "z"});
  std::mt19937_64 rng(5);
  const auto d = static_cast<std::int32_t>(state.range(0));
  poly a = dense_xyz(rng, d), b = dense_xyz(rng, d), c = dense_xyz(rng, d), p = nullptr;
  poly_mult(a, b, &p, polynames);
  poly_mult(p, b, &p, polynames);
  for (int k = 0; k < 3; ++k) poly_mult(p, c, &p, polynames);
  std::int32_t parts = 0;
  for (auto _ : state) {
    poly x = nullptr, sq = nullptr;
    poly_assign(p, &x);
    total_sq_free(&x, &sq, &parts, true, polynames);
    free_poly(&x);
    free_poly(&sq);
  }
  state.counters["parts"] = parts;
  for (poly* q : {&a, &b, &c, &p}) free_poly(q);
}

}  // namespace

// b^e modulo m for three random numbers of range(0) limbs: the power on
// limbs with a division a product (range(1) = 0) or on words with Barrett's
// reduction (1).
void BM_PowermodNumbers(benchmark::State& state) {
  std::mt19937_64 rng(5);
  auto random_value = [&rng](std::int64_t limbs) {
    quoly q = nullptr;
    quoly_set(0, &q);
    q->next = nullptr;
    BigModeGuard big;
    special_set(static_cast<std::int32_t>(1 + rng() % (limb_base - 1)), q->ncoef);
    fillout(q->ncoef, static_cast<std::int32_t>(limbs - 1));
    for (numptr p = q->ncoef->head->next; p != nullptr; p = p->next)
      p->value = static_cast<std::int32_t>(rng() % limb_base);
    return q;
  };
  quoly b = random_value(state.range(0)), m = random_value(state.range(0)),
        e = random_value(state.range(0));
  const std::int32_t saved = powmod_wide_limbs;
  powmod_wide_limbs = state.range(1) == 0 ? INT32_MAX : 1;
  for (auto _ : state) {
    quoly r = nullptr;
    quoly_assign(b, &r);
    number ex{};
    {
      BigModeGuard big;
      num_assign(e->ncoef, &ex);
    }
    powermod(&r, &m, &ex, false);
    special_free(&ex);
    free_quoly(&r);
  }
  powmod_wide_limbs = saved;
  for (quoly* q : {&b, &m, &e}) free_quoly(q);
}

BENCHMARK(BM_FactorModPrime)->Arg(500)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FactorGf65521Squared)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PowermodXtoP)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PowermodGf65521Squared)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PowermodNumbers)
    ->ArgsProduct({{1, 2, 3, 4, 8, 16, 40, 130, 500, 950}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SquareFreeABBCCC)->Arg(2)->Arg(6)->Unit(benchmark::kMillisecond);

// Degree 10,000 (some seconds) and the square-free parts of degree 14 (some
// seconds, in the multivariate GCD over the integers): only with
// TAVRIN_BENCH_LONG set.
static const bool long_runs = [] {
  if (std::getenv("TAVRIN_BENCH_LONG") != nullptr) {
    benchmark::RegisterBenchmark("BM_FactorModPrimeLong", BM_FactorModPrime)
        ->Arg(10000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("BM_SquareFreeABBCCCLong", BM_SquareFreeABBCCC)
        ->Arg(14)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  return true;
}();
