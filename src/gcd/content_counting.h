// Small steps shared by the single and the paired content routines: the
// wrapping search counters and the pads above a polynomial's leading part.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "poly/poly_upcalls.h"

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

// *g := the GCD a content search starts from, at the level lev: a copy of
// the coefficient of sml when sec is nil, else the GCD of the coefficients
// of sml and sec, taken with the flags how (usave for sml's, vsave for
// sec's). True when that GCD was taken. *g: set (nil on entry)
bool first_pair_gcd(poly sml, poly sec, polypt lev, const GcdFlags& how, poly* g, const Ring& ring);

}  // namespace tavrin::detail
