// Work arrays of the determinant benchmarks, and their fixed-seed matrices
// of small integers.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "det/method_services.h"
#include "frontend/data_files.h"

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

// The data tables read and the work areas allocated, once per program.
inline void start_work_areas_once() {
  static bool done = false;
  if (done) return;
  initialize(TAVRIN_BENCH_DATA_DIR);
  allocate_work_areas();
  done = true;
}

// Pages of the array store of its own for `cells` cells, put in place of
// the first ones for its lifetime.
struct OwnPages {
  std::vector<std::unique_ptr<storerec>> pages;
  std::vector<storeptr> saved;
  explicit OwnPages(std::int32_t cells) {
    for (std::int32_t p = 0; p * page_cells < cells; ++p) {
      pages.push_back(std::make_unique<storerec>());
      saved.push_back(arp[p]);
      arp[p] = pages.back().get();
    }
  }
  ~OwnPages() {
    for (std::size_t p = 0; p < pages.size(); ++p) arp[p] = saved[p];
  }
  OwnPages(const OwnPages&) = delete;
  OwnPages& operator=(const OwnPages&) = delete;
};

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

// One determinant of a's n x n matrix by method(&d, env) as the router sets
// it up (d starts at 1 and is freed after; a singular matrix ends the method
// early).
template <class Method>
void determinant_once(Work& a, std::int32_t n, Method method) {
  mat_invert_EnvRec env;
  set_search_params(env, &a.w, n);
  env.mycut = 2;
  quoly d = nullptr;
  quoly_set(1, &d);
  try {
    method(&d, env);
  } catch (const mat_invert_exit&) {
  }
  free_quoly(&d);
}

}  // namespace tavrin::bench
