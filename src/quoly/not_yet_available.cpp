// Placeholders for rational-function operations that have not been written
// yet. Each reports an internal error (with a nested command level) and
// leaves its results untouched. Every one of them is replaced by the real
// operation.
#include "core/errors.h"
#include "quoly/quoly.h"

namespace tavrin {

void poly_mod_invert(poly, quolyptr, polypt) { tavrin_error("poly_mod_invert not available", true); }

void mod_out_poly(poly*, poly*, std::int32_t, std::int32_t, polypt) {
  tavrin_error("mod_out_poly not available", true);
}

}  // namespace tavrin
