#include "gcd/gcd_globals.h"

namespace tavrin {

quoly gcd_stash[gcd_stash_buckets] = {};

}  // namespace tavrin
