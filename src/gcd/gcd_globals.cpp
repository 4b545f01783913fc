#include "gcd/gcd_globals.h"

namespace tavrin {

std::int16_t lookupgcd = 0;
std::int32_t prev_modulus = -1;
quoly gcd_stash[gcd_stash_buckets] = {};
std::int32_t gcdmass = 0;
std::int32_t polygcd_stack_depth = 0;
std::int32_t gcd_stash_cutoff = 200;
std::int32_t small_gcd_stash_cut = 100;

}  // namespace tavrin
