// p-th roots of elements of the finite fields formed by modded-out levels.
#pragma once

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *p := the p-th root (p the characteristic) of the field element *p of
// level pt; a number is left unchanged. *p: changed in place.
// reads: modulus, polynames
void pth_root(poly* p, polypt pt);
// The same in `ring` (the ring in force), read instead of the mode globals.
void pth_root(poly* p, polypt pt, const Ring& ring);

}  // namespace tavrin
