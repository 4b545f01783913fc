// The routes of the integer determinant besides the word-prime images
// (matrix/int_images.h): the integer triangularisation and the single
// images it shares with them. Internal to det/.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin::images {

// det of the rows x rows integer matrix (cells column by column) modulo the
// word prime p, the word modulus being the caller's again on return.
std::uint32_t residue_image(const std::vector<quoly>& cells, std::int32_t rows, std::uint32_t p);

// The determinant by the integer triangularisation (a fresh number), on q's
// store cells when q is given, else on a temporary named array "Fast_Det"
// holding copies of the cells. check: residues modulo pd (raised to a power
// of 2^28 here, *pd changed) with the sign fixed by the image modulo
// prime[6]; otherwise exact elimination of the first cut + 1 pivots and the
// trailing block's determinant through the router.
imptr triangular_determ(arrptr q, const std::vector<quoly>& cells, std::int32_t rows, imptr pd,
                        std::int32_t cut, bool check);

}  // namespace tavrin::images
