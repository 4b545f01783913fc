// A planted fault for the include-order check: the array folder includes a
// polynomial header. The check must name this line.
#pragma once

#include "core/records.h"
#include "poly/poly_repr.h"
