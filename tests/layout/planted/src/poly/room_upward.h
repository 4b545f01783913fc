// A planted fault for the include-order check: the polynomial folder includes
// a header of a room of the GCD folder above it. The check must name this line.
#pragma once

#include "gcd/flat/flat_gcd_impl.h"
