// p-th roots of elements of the finite fields formed by modded-out levels.
#pragma once

#include "core/records.h"

namespace tavrin {

// *p := the p-th root (p the characteristic) of the field element *p of
// level pt; a number is left unchanged. *p: changed in place.
// reads: modulus, polynames
void pth_root(poly* p, polypt pt);

}  // namespace tavrin
