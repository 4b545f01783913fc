// Includes of lower folders and of its own: allowed.
#pragma once

#include "core/records.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_repr.h"
