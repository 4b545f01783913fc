// Placeholders for the division routines of awaiting_division.h. Each
// reports an internal error (with a nested command level) and leaves its
// results untouched. Replaced by the real routines.
#include "poly/awaiting_division.h"

#include "toplevel/errors.h"

namespace tavrin {

void quot(imptr, imptr, imptr) { tavrin_error("quot not available", true); }

void poly_quot(poly, poly, poly*, std::int32_t) { tavrin_error("poly_quot not available", true); }

void basic_poly_divide(poly, poly, poly*, poly*, bool) {
  tavrin_error("basic_poly_divide not available", true);
}

void poly_div_no_q(poly, poly, poly*) { tavrin_error("poly_div_no_q not available", true); }

}  // namespace tavrin
