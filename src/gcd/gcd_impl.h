// Helpers shared by the routines of gcd/: owned polynomials and small node
// helpers. Private to gcd/.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/freelists.h"
#include "poly/poly_scratch_impl.h"

namespace tavrin::gcd_detail {

using detail::OwnedPoly;
using detail::ScratchNumber;

// deg p: the exponent of its first node, 0 for a leaf.
inline std::int32_t degree(poly p) { return p->numb ? 0 : p->exp; }

// A leaf with no successor: a whole constant.
inline bool is_constant(poly p) { return p->numb && p->next == nullptr; }

// *p := q (moved in); the old *p is freed afterwards, so q may have been
// computed from it (q must not share its nodes).
inline void install(poly* p, poly q) {
  poly old = *p;
  *p = q;
  free_poly(&old);
}

}  // namespace tavrin::gcd_detail
