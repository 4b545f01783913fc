// Routines of the determinant folder that the built-ins call; defined there.
// Until the integer determinant lands, arrays/not_yet_available.cpp holds a
// placeholder that reports "int_determ not available" (nested level).
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *n := the determinant of the integer matrix in the dense cells of q, or,
// q nil, in the work array beta (rows x rows). *pseudodet -1 asks for the
// bound on the determinant to be computed; on return it holds the bound
// used.
void int_determ(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet);

}  // namespace tavrin
