// The inverse by the recurrence of the sparse inverses on a sparse copy
// (see recurrence_inverse.h).
#include "det/recurrence_inverse.h"

#include <algorithm>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "arrays/sparse_store.h"
#include "matrix/leverrier.h"
#include "det/lagrange.h"

namespace tavrin {

bool dense_recurrence_inverse(workptr ar, workptr outar, std::int32_t m, const InvertFlags& how) {
  if (!rat_poly_surely_regular(ar, m)) return false;
  // The sparse copy, given back on every exit unless the recurrence took it.
  struct Copy {
    sparseptr sp = nullptr;
    std::int32_t m;
    ~Copy() {
      if (sp != nullptr) free_sparse(&sp, m, true);
    }
  } copy{nullptr, m};
  sparse_init(&copy.sp, m);
  for (std::int32_t r = 1; r <= m; ++r) {
    colm_ptrptr tail = sparse_row(copy.sp, r);
    for (std::int32_t c = 1; c <= m; ++c) {
      quoly q = ar->stash[(r - 1) + std::int64_t{c - 1} * m];
      if (q == nullptr || quoly_iszero(q)) continue;
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c;
      e->val = nullptr;
      e->next = nullptr;
      *tail = e;
      tail = &e->next;
      quoly_assign(q, &e->val);
      e->val->next = nullptr;
    }
  }
  WorkArrayGuard dense(&quotsign);
  if (!dense.taken()) return false;
  workptr w = dense.get();
  const std::int64_t cells = std::int64_t{m} * m;
  std::fill(w->stash, w->stash + cells, nullptr);
  nodes::OwnedValue unused;
  quoly_set(1, unused.cell());
  invert_sparse(&copy.sp, w, true, true, m, unused.cell());
  // The inverse: still sparse, or in w after the recurrence went dense.
  if (copy.sp != nullptr) {
    for (std::int32_t r = 1; r <= m; ++r)
      for (colm_ptr e = *sparse_row(copy.sp, r); e != nullptr; e = e->next) {
        w->stash[(r - 1) + std::int64_t{e->coord - 1} * m] = e->val;
        e->val = nullptr;
      }
    free_sparse(&copy.sp, m, true);
  }
  for (std::int64_t k = 0; k < cells; ++k) {
    if (w->stash[k] == nullptr) quoly_set(0, &w->stash[k]);
    w->stash[k]->next = nullptr;
    if (how.oar_free) free_quoly(&outar->stash[k]);
    outar->stash[k] = w->stash[k];
    w->stash[k] = nullptr;
  }
  return true;
}

}  // namespace tavrin
