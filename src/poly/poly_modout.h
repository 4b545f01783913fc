// Reduction of polynomials and values modulo the modded-out polynomials.
#pragma once

#include "numbers/records.h"

namespace tavrin {

// *p := *p reduced by the relations of level pt and of every level below
// it, in place (a nil level does nothing).
// *p: changed. reads: polynames
void total_poly_modout(poly* p, polypt pt);

}  // namespace tavrin
