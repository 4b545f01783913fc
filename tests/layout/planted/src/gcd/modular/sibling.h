// Planted faults: a room of the GCD folder includes a header of a sibling
// room (the include-order check must name it) and a sibling's private
// header (the include-order and impl-includes checks must name it).
#pragma once

#include "gcd/flat/engine.h"
#include "gcd/flat/flat_gcd_impl.h"
