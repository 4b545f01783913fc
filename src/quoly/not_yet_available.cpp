// Placeholders for services of the GCD and matrix code that the value
// operations call and that have not been written yet. Each reports an
// internal error (with a nested command level) and leaves its results
// untouched. Every one of them is replaced by the real operation.
#include "core/errors.h"
#include "gcd/pth_root.h"
#include "quoly/quoly_great_abs.h"

namespace tavrin {

// p-th roots of field elements (square-free decomposition).
void pth_root(poly*, polypt) { tavrin_error("pth_root not available", true); }

// The sparse store: no copy is made (*t stays nil).
void copy_sparse(sparseptr*, sparseptr*, std::int32_t, bool) {
  tavrin_error("copy_sparse not available", true);
}

// The sparse store: the entry is unlinked (so a walk over the row goes on)
// but neither it nor its value is given back.
void free_colm(colm_ptrptr t) {
  tavrin_error("free_colm not available", true);
  *t = (*t)->next;
}

}  // namespace tavrin
