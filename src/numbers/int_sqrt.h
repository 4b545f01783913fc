// The integer square root of big integers.
//
// The root starts from a double-precision root of the two leading limbs
// scaled to the size of the result (below `sqcut` limbs), or from the root
// of the leading half of the limbs found by the same routine (from `sqcut`
// limbs on), and is refined by Newton's iteration r := r - (r - n div r) / 2
// until r and n div r differ by at most 1. One- and two-limb values are
// taken exactly in machine arithmetic. The result is always the floor.
#pragma once

#include "core/records.h"

namespace tavrin {

// n2 := floor(sqrt(n)) for a big integer n >= 0 (big-integer mode). With
// flag true n2's old limbs are freed; with flag false they are not (n2 is
// then an empty header or shares limbs it does not own).
// n: kept; n2: overwritten (may be n when flag is true); reads: sqcut
void int_sqrt(imptr n, imptr n2, bool flag);

}  // namespace tavrin
