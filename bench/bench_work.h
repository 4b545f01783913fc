// Work arrays of the determinant benchmarks, and their fixed-seed matrices
// of small integers.
#pragma once

#include <cstdint>
#include <memory>
#include <random>

#include "frontend/data_files.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"

namespace tavrin::bench {

// A work array whose first `cells` entries it owns.
struct Work {
  workarray w{};
  std::int32_t cells = 0;
  ~Work() {
    for (std::int32_t k = 0; k < cells; ++k) free_quoly(&w.stash[k]);
  }
};

// The data tables read, once per program.
inline void read_tables_once() {
  static bool done = false;
  if (done) return;
  done = true;
  initialize(TAVRIN_BENCH_DATA_DIR);
}

// An n x n matrix of entries uniform in [-99, 99], from the seed n.
inline std::unique_ptr<Work> random_matrix(std::int32_t n) {
  auto a = std::make_unique<Work>();
  std::mt19937_64 rng(static_cast<std::uint64_t>(n));
  a->cells = n * n;
  for (std::int32_t k = 0; k < a->cells; ++k) {
    quoly_set(static_cast<std::int32_t>(rng() % 199) - 99, &a->w.stash[k]);
    a->w.stash[k]->next = nullptr;
  }
  return a;
}

}  // namespace tavrin::bench
