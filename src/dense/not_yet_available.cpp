// Placeholder for the divide-and-conquer division of the polynomial
// division, which has not been written yet: reports an internal error (with
// a nested command level) and leaves its results untouched. Replaced by the
// real division.
#include "dense/dense_services.h"
#include "toplevel/errors.h"

namespace tavrin {

void fast_mod_and_div(poly, poly, poly*, poly*, polypt, bool) {
  tavrin_error("fast_mod_and_div not available", true);
}

}  // namespace tavrin
