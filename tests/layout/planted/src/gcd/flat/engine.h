// A room of the GCD folder includes from itself, its folder's top and the
// folders below: allowed.
#pragma once

#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "engine_impl.h"
