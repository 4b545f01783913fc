// Helpers of the powers modulo a value that the factorisation shares.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin::detail {

// *b := (*b)^u (u >= 1) by left-to-right binary powering, every product by
// poly_mult at pt and, when m is not nil, reduced modulo m (poly_mod_or_div
// with '|' over polynames). *b: overwritten; m: kept.
void poly_power_limb(poly* b, std::uint32_t u, poly m, polypt pt);

}  // namespace tavrin::detail
