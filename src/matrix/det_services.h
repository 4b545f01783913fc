// The determinant and inverse router, which the matrix powers call for a
// negative exponent. It is defined with the determinant methods; until they
// land, a stand-in (not_yet_available.cpp) reports that it is missing.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// invert false: *n (preset to 1 by the caller) receives the determinant of
// the m-by-m matrix (the sparse *spar when not nil, else the dense ar);
// invert true: its inverse goes into outar (equal: the same array as ar), or
// for a sparse matrix into *spar. ar_free: the input is the caller's to give
// up; oar_free: outar's cells hold values to free as they are overwritten.
// fct: nil or a known factor of the determinant; the_degree, the_degree2,
// the_power: -1 when absent; really, numprimes: false and 0 when absent.
void mat_invert(workptr ar, workptr outar, bool ar_free, bool oar_free, std::int32_t m,
                quolyptr n, bool invert, bool equal, sparseptr* spar, poly fct,
                std::int32_t the_degree, std::int32_t the_degree2, std::int32_t the_power,
                bool really, std::int32_t numprimes);

}  // namespace tavrin
