// The state of the GCD subsystem that lives between calls and belongs to
// it alone. Defined once, in gcd_globals.cpp. The cache's switch and
// bookkeeping that the top level sets at start-up (lookupgcd, prev_modulus,
// polygcd_stack_depth, gcdmass) are ground state in core/globals.h; its
// size thresholds (gcd_stash_cutoff, small_gcd_stash_cut) are in
// core/thresholds.h.
#pragma once

#include "core/records.h"

namespace tavrin {

// The GCD cache's buckets: chains of entries (gcd_stash.h), newest first,
// all nil at start. Read and written only through gcd_stash.h.
constexpr int gcd_stash_buckets = 367;
extern quoly gcd_stash[gcd_stash_buckets];

}  // namespace tavrin
