// Placeholders for rational-function operations, and for services of the
// GCD and matrix code that the value operations call, that have not been
// written yet. Each reports an internal error (with a nested command level)
// and leaves its results untouched. Every one of them is replaced by the
// real operation.
#include "core/errors.h"
#include "gcd/pth_root.h"
#include "quoly/quoly.h"
#include "quoly/quoly_great_abs.h"

namespace tavrin {

void poly_mod_invert(poly, quolyptr, polypt) { tavrin_error("poly_mod_invert not available", true); }

void mod_out_poly(poly*, poly*, std::int32_t, std::int32_t, polypt) {
  tavrin_error("mod_out_poly not available", true);
}

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
