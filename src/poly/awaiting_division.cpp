// Placeholders for the one-variable divisions over a field, which the
// polynomial division has not provided yet. Each reports an internal error
// (with a nested command level) and leaves its results untouched. Replaced
// by the real routines.
#include "poly/poly_divide.h"
#include "toplevel/errors.h"

namespace tavrin {

void basic_poly_divide(poly, poly, poly*, poly*, bool) {
  tavrin_error("basic_poly_divide not available", true);
}

void poly_div_no_q(poly, poly, poly*) { tavrin_error("poly_div_no_q not available", true); }

}  // namespace tavrin
