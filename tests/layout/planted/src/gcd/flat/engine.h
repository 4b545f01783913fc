// A room of the GCD folder includes from itself, its sibling rooms, its
// folder's top and the folders below: allowed by the include order. The
// impl-includes check must name its include of a sibling's private header.
#pragma once

#include "engine_impl.h"
#include "gcd/factor/factor_impl.h"
#include "gcd/gcd.h"
#include "poly/poly_repr.h"
