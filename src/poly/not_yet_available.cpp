// Placeholder for the reduction by the modded-out polynomials, which has
// not been written yet: reports an internal error (with a nested command
// level) and leaves its argument untouched. Replaced by the real routine.
#include "poly/poly_modout.h"
#include "toplevel/errors.h"

namespace tavrin {

void total_poly_modout(poly*, polypt) { tavrin_error("total_poly_modout not available", true); }

}  // namespace tavrin
