// A room of the GCD folder includes from itself, its folder's top and the
// folders below: allowed.
#pragma once

#include "engine_impl.h"
#include "gcd/gcd.h"
#include "poly/poly_repr.h"
