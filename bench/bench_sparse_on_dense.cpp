// The determinant of one matrix stored sparse and stored dense, side by side,
// through the router with its defaults, over a sweep of the fill (k entries
// a row, the diagonal among them; 0: full), on fixed-seed instances:
// - ring 0, over Z: entries in [-99, 99], side 200 (and 600 full);
// - ring 1, modulo 32003: residues, side 400;
// - ring 2, modulo 32003 in x: entries of degree 4, side 60 (and 200 full);
// - ring 3, over Q in x, y, z, t: a constant plus, half the time, a term of
//   degree 1 or 2, side 12;
// - ring 4, over Q: fractions with denominators up to 9, side 60 (and 200);
// - ring 5, over Q in x, y, z: the entries of ring 3, side 30;
// - rings 6 and 7, GF(256) and GF(65536): nonzero elements, side 400;
// - ring 8, modulo 32003 in x and ring 9, over Q in x, y, z, under "&(K = 1)"
//   (Gauss-Bareiss named), and ring 10, over Q in x, y, z, under "&(L = 1)"
//   (Lagrange named): sides 60, 30 and 30;
// - rings 11 and 12, over Z under "&(K = 1)" and "&(L = 1)", side 200, and
//   ring 13, modulo 32003 in x under "&(L = 1)", side 60.
// Sides above 1000 have no dense storage: sparse_s alone (dense_s 0), over
// Z and modulo 32003.
// With TAVRIN_SPARSE_ROUTE set, sparse_s is the sparse route alone (the
// fill thresholds out of reach).
// Counters: sparse_s and dense_s (processor seconds of one determinant
// each) and their ratio.
#include <benchmark/benchmark.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/work_arrays.h"
#include "quoly/quoly_quot.h"
#include "det/router.h"
#include "det/sparse_fill.h"
#include "bench_sparse_instances.h"

namespace {

using namespace tavrin;
using namespace tavrin::bench_sparse;

constexpr std::int32_t p = 32003;

// The modulus of each ring (0: the rationals).
std::int32_t modulus_of(int ring) {
  switch (ring) {
    case 1:
    case 2:
    case 8:
    case 13: return p;
    case 6: return 256;
    case 7: return 65536;
    default: return 0;
  }
}

// The arithmetic of the ring and the method it names for the lifetime of a
// scope.
class Ring {
 public:
  explicit Ring(int ring) {
    // The sparse route alone, the one the dense engines bypass.
    if (std::getenv("TAVRIN_SPARSE_ROUTE") != nullptr)
      sparse_dense_fill = sparse_dense_int_fill = sparse_dense_mod_fill = sparse_dense_char2_fill =
          sparse_fill_int_work = sparse_fill_poly_work = INT32_MAX;
    if (ring == 8 || ring == 9 || ring == 11) gauss_cutoff = 1;
    if (ring == 10 || ring == 12 || ring == 13) rat_det_method_cut = mod_det_method_cut = 1;
    const std::int32_t m = modulus_of(ring);
    if (m == 0) return;
    ring_.emplace(m, true);
    modularmode = lintmode = true;
    flotemode = false;
  }

 private:
  std::optional<ModulusGuard> ring_;
  ArithModeGuard modes_;
  ScopedValue<decltype(gauss_cutoff)> bareiss_{gauss_cutoff};
  ScopedValue<decltype(rat_det_method_cut)> lagrange_{rat_det_method_cut};
  ScopedValue<decltype(mod_det_method_cut)> mod_lagrange_{mod_det_method_cut};
  ScopedValue<decltype(sparse_dense_fill)> fill_{sparse_dense_fill};
  ScopedValue<decltype(sparse_dense_int_fill)> int_fill_{sparse_dense_int_fill};
  ScopedValue<decltype(sparse_dense_mod_fill)> mod_fill_{sparse_dense_mod_fill};
  ScopedValue<decltype(sparse_dense_char2_fill)> char2_fill_{sparse_dense_char2_fill};
  ScopedValue<decltype(sparse_fill_int_work)> int_work_{sparse_fill_int_work};
  ScopedValue<decltype(sparse_fill_poly_work)> poly_work_{sparse_fill_poly_work};
};

quoly residue_poly(std::mt19937_64& rng) {
  poly s = nullptr;
  poly_set(1 + static_cast<std::int32_t>(rng() % (p - 1)), &s);
  for (std::int32_t e = 1; e <= 4; ++e) {
    poly t = nullptr, v = nullptr;
    poly_set(1 + static_cast<std::int32_t>(rng() % (p - 1)), &t);
    for (std::int32_t k = 0; k < e; ++k) {
      base_poly(&v, 1);
      poly_mult(t, v, &t, nilpol);
      free_poly(&v);
    }
    best_poly_add(s, t, &s);  // both consumed
  }
  return polynomial_value(s);
}

quoly fraction(std::mt19937_64& rng) {
  quoly a = integer_value(nonzero(rng) * 11),
        b = integer_value(1 + static_cast<std::int32_t>(rng() % 9));
  quoly q = nullptr;
  quoly_quot(a, b, &q, false);
  q->next = nullptr;
  free_quoly(&a);
  free_quoly(&b);
  return q;
}

quoly entry(int ring, std::mt19937_64& rng) {
  switch (ring) {
    case 0:
    case 11:
    case 12: return integer_value(nonzero(rng) * 11);
    case 1: return integer_value(1 + static_cast<std::int32_t>(rng() % (p - 1)));
    case 2:
    case 8:
    case 13: return residue_poly(rng);
    case 3: return p06_entry(rng);
    case 4: return fraction(rng);
    case 6: return integer_value(1 + static_cast<std::int32_t>(rng() % 255));
    case 7: return integer_value(1 + static_cast<std::int32_t>(rng() % 65535));
    default: return p06_entry(rng, 3);
  }
}

struct Dense {
  workarray w{};
  std::int64_t cells = 0;
  ~Dense() {
    for (std::int64_t k = 0; k < cells; ++k) free_quoly(&w.stash[k]);
  }
};

double seconds_of(const std::function<void()>& f) {
  const std::clock_t t0 = std::clock();
  f();
  return static_cast<double>(std::clock() - t0) / CLOCKS_PER_SEC;
}

// Times the determinant of the m x m matrix whose row r holds the columns
// cols(r), stored dense (up to side 1000) and stored sparse, into the
// counters; work: the multiply-adds the sparse elimination foresees on the
// pattern, over m^3.
template <class Cols>
void measure(benchmark::State& state, int ring, std::int32_t m, std::mt19937_64& rng, Cols cols) {
  const bool stored_dense = m <= 1000;
  auto dense = std::make_unique<Dense>();
  dense->cells = m <= 1000 ? std::int64_t{m} * m : 0;
  sparseptr sp = build(m, cols, [&] { return entry(ring, rng); });
  for (std::int32_t r = 1; r <= m && stored_dense; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next) {
      quoly_assign(e->val, &dense->w.stash[(r - 1) + std::int64_t{e->coord - 1} * m]);
      dense->w.stash[(r - 1) + std::int64_t{e->coord - 1} * m]->next = nullptr;
    }
  for (std::int64_t c = 0; c < dense->cells; ++c)
    if (dense->w.stash[c] == nullptr) {
      quoly_set(0, &dense->w.stash[c]);
      dense->w.stash[c]->next = nullptr;
    }
  double sparse_s = 0, dense_s = 0;
  for (auto _ : state) {
    quoly a = nullptr, b = nullptr;
    quoly_set(1, &a);
    quoly_set(1, &b);
    sparseptr none = nullptr;
    if (stored_dense)
      dense_s = seconds_of([&] {
        mat_invert(&dense->w, &dense->w, m, &a, &none, nullptr, -1, -1, -1, 0, {.equal = true});
      });
    sparse_s =
        seconds_of([&] { mat_invert(nullptr, nullptr, m, &b, &sp, nullptr, -1, -1, -1, 0, {}); });
    benchmark::DoNotOptimize(a);
    free_quoly(&a);
    free_quoly(&b);
  }
  state.counters["dense_s"] = dense_s;
  state.counters["sparse_s"] = sparse_s;
  state.counters["ratio"] = dense_s > 0 ? sparse_s / dense_s : 0;
  if (m <= fill_pattern_side) {
    const double cube = static_cast<double>(m) * m * m;
    state.counters["work"] = static_cast<double>(sparse_elimination_work(sp, m, INT64_MAX)) / cube;
  }
  free_sparse(&sp, m, true);
}

void BM_SparseAgainstDense(benchmark::State& state) {
  adjoin_xyzt_once();
  if (first_available < 1) first_available = 1;  // the work-array pool, as start-up leaves it
  const auto ring = static_cast<int>(state.range(0));
  const auto m = static_cast<std::int32_t>(state.range(1));
  const auto k = static_cast<std::int32_t>(state.range(2));
  Ring arithmetic(ring);
  std::mt19937_64 rng(static_cast<std::uint64_t>(m * 100 + k));
  measure(state, ring, m, rng, [&](std::int32_t r) {
    std::set<std::int32_t> s{r};
    if (k == 0)
      for (std::int32_t c = 1; c <= m; ++c) s.insert(c);
    while (static_cast<std::int32_t>(s.size()) < k)
      s.insert(1 + static_cast<std::int32_t>(rng() % m));
    return s;
  });
}

void sweep(benchmark::internal::Benchmark* b) {
  const std::int32_t side[] = {200, 400, 60, 12, 60, 30, 400, 400, 60, 30, 30, 200, 200, 60};
  for (std::int64_t ring = 0; ring < 14; ++ring)
    for (std::int64_t k : {3, 6, 12, 50, 0})
      if (k < side[ring]) b->Args({ring, side[ring], k});
  b->Args({0, 600, 0});
  b->Args({2, 200, 0});
  b->Args({4, 200, 0});
  for (std::int64_t k : {3, 4}) b->Args({0, 600, k});
  for (std::int64_t ring : {6, 7}) b->Args({ring, 400, 4});
  for (std::int64_t ring : {0, 1})
    for (std::int64_t k : {3, 4, 6, 12, 0}) b->Args({ring, 1100, k});
}
BENCHMARK(BM_SparseAgainstDense)->Apply(sweep)->Iterations(1)->Unit(benchmark::kMillisecond);

// Patterns whose entry count says little of their fill-in, stored sparse
// and dense: shape 0, the diagonal and 3 random columns a row (a column
// drawn twice counts once); 1, the diagonal and 2 random columns; 2, a band
// (columns r - 1 to r + 2); 3, an arrow (the diagonal, the first row and
// the first column); 4, the diagonal and one random column; 5, dense blocks
// of side 8 on the diagonal and one random column a row. Doubling sides 100
// to 800, rings as above.
void BM_PatternAgainstDense(benchmark::State& state) {
  adjoin_xyzt_once();
  if (first_available < 1) first_available = 1;
  const auto ring = static_cast<int>(state.range(0));
  const auto m = static_cast<std::int32_t>(state.range(1));
  const auto shape = static_cast<int>(state.range(2));
  Ring arithmetic(ring);
  std::mt19937_64 rng(static_cast<std::uint64_t>(m * 10 + shape));
  auto any = [&] { return 1 + static_cast<std::int32_t>(rng() % m); };
  measure(state, ring, m, rng, [&](std::int32_t r) {
    std::set<std::int32_t> s{r};
    switch (shape) {
      case 0:
        for (int t = 0; t < 3; ++t) s.insert(any());
        break;
      case 1:
        for (int t = 0; t < 2; ++t) s.insert(any());
        break;
      case 2:
        for (std::int32_t c = r - 1; c <= r + 2; ++c)
          if (c >= 1 && c <= m) s.insert(c);
        break;
      case 3:
        s.insert(1);
        if (r == 1)
          for (std::int32_t c = 1; c <= m; ++c) s.insert(c);
        break;
      case 4: s.insert(any()); break;
      default: {
        const std::int32_t b = (r - 1) / 8 * 8;
        for (std::int32_t c = b + 1; c <= std::min(m, b + 8); ++c) s.insert(c);
        s.insert(any());
      }
    }
    return s;
  });
}

void patterns(benchmark::internal::Benchmark* b) {
  const std::int32_t ceiling[] = {800, 800, 100, 24, 100, 50, 800, 800};
  for (std::int64_t ring : {0, 1, 6, 2, 4, 5})
    for (std::int64_t shape = 0; shape < 6; ++shape)
      for (std::int64_t m = ring == 3 ? 12 : 25; m <= ceiling[ring]; m *= 2)
        if (m >= (ring <= 1 || ring >= 6 ? 100 : 25)) b->Args({ring, m, shape});
}
BENCHMARK(BM_PatternAgainstDense)->Apply(patterns)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
