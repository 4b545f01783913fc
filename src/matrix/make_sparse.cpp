// Turning a dense array into sparse form ("Sparse"): its cells become the
// sparse rows, and the cells leave the dense store, which closes up.
#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"

namespace tavrin {

void fill_sparse(arrptr q) {
  const std::int32_t rows = q->rows;
  const std::int32_t count = q->stop - q->start + 1;
  const std::int32_t cols = rows > 0 ? count / rows : 0;
  sparseptr frame = q->spar;
  frame->next = nullptr;
  for (std::int32_t r = 1; r <= rows; ++r) {
    const std::int32_t slot = (r - 1) % sparse_frame_rows;
    if (slot == 0 && r > 1) {
      sparseptr more = nullptr;
      newsparse(&more);
      more->next = nullptr;
      frame->next = more;
      frame = more;
    }
    colm_ptrptr link = &frame->indx[slot];
    *link = nullptr;
    for (std::int32_t c = 1; c <= cols; ++c) {
      quolyptr cell = arp_cell(q->start + (c - 1) * rows + (r - 1));
      if (*cell == nullptr) continue;
      if (quoly_iszero(*cell)) {
        free_quoly(cell);
        continue;
      }
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c;
      e->val = *cell;
      e->next = nullptr;
      *cell = nullptr;
      *link = e;
      link = &e->next;
    }
  }
  // The cells above the array move down over its place.
  close_dense_gap(q->stop, count);
  arrptr referring = nullptr;
  for (arrptr head : arr_store) {
    for (arrptr a = head; a != nullptr; a = a->next) {
      if (a == q) continue;
      if (a->spar == nullptr && (a->time < 0 ? -a->time : a->time) > q->time) {
        a->start -= count;
        a->stop -= count;
      }
      if (a->time == -q->time) {
        // A parameter bound to q: it now refers to the sparse rows.
        warning(parameter_made_sparse_warning, &a->name);
        a->spar = q->spar;
        referring = a;
      }
    }
  }
  q->start = 0;
  q->stop = -1;
  if (referring != nullptr) error(parameter_made_sparse_warning, &referring->name);
}

}  // namespace tavrin
