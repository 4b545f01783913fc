// Small steps shared by the single and the paired content routines: the
// wrapping search counters and the pads above a polynomial's leading part.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin::detail {

// Counters grow as 32-bit words that wrap.
inline void bump(std::int32_t& counter) {
  counter = static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u);
}

// The pads met going down from p through first coefficients.
inline std::int32_t leading_pads(poly p) {
  std::int32_t n = 0;
  for (; !p->numb && p->exp == 0 && p->next == nullptr; p = p->pcoef) ++n;
  return n;
}

}  // namespace tavrin::detail
