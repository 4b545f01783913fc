// The settings and state of the GCD subsystem that live between calls: the
// GCD cache's switch, bookkeeping and buckets, and the size thresholds at
// which GCDs consult it. Defined once, in gcd_globals.cpp. (initial_memory,
// fast_gcd_size, auxptr, alg_c_count and original_depth are the ground
// layer's: core/globals.h.)
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The level of the GCD cache: > 0 lets the GCD routines store and look up
// GCDs (pushed and popped by init_gcd_stash / pop_gcd_stash and the "&C"
// command); image computations set it negative (-1000, -16383) for their
// duration so that no image enters or leaves the cache. 0 at start.
// Read by: basic_poly_gcd, polygcd, gcdhash's callers.
extern std::int16_t lookupgcd;

// The modulus the cached entries were made under in modular arithmetic; -1
// for entries made outside modular arithmetic, or none. -1 at start.
// Read and written by the cache (gcd_stash.h).
extern std::int32_t prev_modulus;

// The cache's buckets: chains of entries (gcd_stash.h), newest first.
constexpr int gcd_stash_buckets = 367;
extern quoly gcd_stash[gcd_stash_buckets];

// The abstract mass (13 a term, 31 a number plus 8 a limb outside word
// mode) of the argument pairs and GCDs held in the cache. 0 at start; the
// cache grows only while it is below initial_memory / 2 and is purged above
// it.
extern std::int32_t gcdmass;

// The number of GCD computations under way that will store their result
// into a cache entry; no purge runs while it is positive. 0 at start.
extern std::int32_t polygcd_stack_depth;

// Size (term counts) above which the GCD driver consults the cache (200).
extern std::int32_t gcd_stash_cutoff;

// Degree sum above which a one-variable GCD modulo a prime consults the
// cache (100: a sum of 100 is not cached, 101 is). Read by basic_poly_gcd.
extern std::int32_t small_gcd_stash_cut;

}  // namespace tavrin
