// Tests of a number node read in the arithmetic mode in force: floating
// (flote), word or modular (lint), else a big integer (its limbs).
#pragma once

#include "core/globals.h"
#include "core/records.h"

namespace tavrin::nodes {

// The number n is 0 in the mode now in force (floating 0.0, word 0, big
// leading limb 0; a big integer has at least one limb).
// reads: flotemode, lintmode
inline bool num_is_zero_now(imptr n) {
  if (flotemode) return n->flote == 0.0L;
  if (lintmode) return n->lint == 0;
  return n->head->value == 0;
}

// The number a is 1 in the current mode (big: one limb of value 1).
// reads: flotemode, lintmode
inline bool num_is_one(imptr a) {
  if (flotemode) return a->flote == 1.0L;
  if (lintmode) return a->lint == 1;
  return a->size == 1 && a->head->value == 1;
}

}  // namespace tavrin::nodes
