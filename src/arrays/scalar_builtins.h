// The built-ins of the first body that work on single values (numbers,
// polynomials, rational functions): conversions, contents, derivatives,
// divisibility, GCDs, comparisons, factor lists, primality, coefficients,
// leading terms and monomials, level shifts, and splitting and splicing of
// polynomials in place.
#pragma once

#include <cstdint>

#include "arrays/builtin_dispatch.h"

namespace tavrin {

// Runs the built-in of this index with the shared environment; false when
// the index is not one of these.
bool scalar_builtin(builtin_func1_EnvRec* env, std::int32_t index);

}  // namespace tavrin
