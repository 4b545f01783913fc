// A planted fault for the include-order check: a room of the GCD folder
// includes a header of a sibling room. The check must name this line.
#pragma once

#include "gcd/flat/engine.h"
