// The watch over the floating methods of a checked determinant (see
// float_check.h).
#include "det/float_check.h"

#include <algorithm>
#include <cmath>

#include "core/globals.h"
#include "numbers/work_arrays.h"
#include "arrays/sparse_store.h"

namespace tavrin {

bool fl_check_watching = false;

void fl_check_lost() {
  if (fl_check_watching && flotemode) throw floating_precision_lost{};
}

namespace {

std::int64_t top_degree(poly p) { return p == nullptr || p->numb ? 0 : p->exp; }

}  // namespace

std::int64_t fl_minor_degree_bound(workptr ar, std::int32_t m) {
  std::int64_t bound = 0;
  for (std::int32_t r = 0; r < m; ++r) {
    std::int64_t most = 0;
    for (std::int32_t c = 0; c < m; ++c) {
      quoly q = ar->stash[std::int64_t{c} * m + r];
      if (q == nullptr || q->numb) continue;
      most = std::max({most, top_degree(q->numer), top_degree(q->denom)});
    }
    bound += most;
  }
  return bound;
}

std::int64_t fl_sparse_minor_degree_bound(sparseptr sp, std::int32_t m) {
  std::int64_t bound = 0;
  for (std::int32_t r = 1; r <= m; ++r) {
    std::int64_t most = 0;
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next) {
      quoly q = e->val;
      if (q != nullptr && !q->numb)
        most = std::max({most, top_degree(q->numer), top_degree(q->denom)});
    }
    bound += most;
  }
  return bound;
}

void fl_check_degree(quoly q, std::int64_t bound) {
  if (q == nullptr || q->numb) return;
  if (top_degree(q->numer) > bound || top_degree(q->denom) > bound) fl_check_lost();
}

long double fl_pivoted_det(std::vector<long double>& a, std::int32_t m) {
  const auto at = [&](std::int32_t r, std::int32_t c) -> long double& {
    return a[static_cast<std::size_t>(r) * static_cast<std::size_t>(m) +
             static_cast<std::size_t>(c)];
  };
  long double d = 1;
  for (std::int32_t i = 0; i < m; ++i) {
    std::int32_t best = i;
    for (std::int32_t r = i + 1; r < m; ++r)
      if (std::fabs(at(r, i)) > std::fabs(at(best, i))) best = r;
    if (at(best, i) == 0) return 0;
    if (best != i) {
      for (std::int32_t c = i; c < m; ++c) std::swap(at(i, c), at(best, c));
      d = -d;
    }
    d *= at(i, i);
    for (std::int32_t r = i + 1; r < m; ++r) {
      const long double f = at(r, i) / at(i, i);
      if (f == 0) continue;
      for (std::int32_t c = i + 1; c < m; ++c) at(r, c) -= f * at(i, c);
    }
  }
  return d;
}

}  // namespace tavrin
