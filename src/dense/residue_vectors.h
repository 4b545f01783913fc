// Between term lists in one variable and residue vectors (DensePoly): where
// the residue routes of the extended GCD, the square-free decomposition,
// the factorisation and Powermod apply, and the conversions they share.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "dense/dense_modular.h"

namespace tavrin {

// The residue routes apply to a polynomial in the variable of record r:
// modular mode, a prime modulus (not 256 or 65536), r without a relation.
// reads: mode flags, finf, mod_is_prime
bool residue_route_applies(polypt r);
bool residue_route_applies(polypt r, const Ring& ring);

// The same in GF(2^8) and GF(2^16), whose element vectors
// (dense/dense_char2.h) residues_of and poly_of_residues also read and
// build: modular mode with finf, r without a relation. reads: mode flags,
// finf
bool char2_route_applies(polypt r);
bool char2_route_applies(polypt r, const Ring& ring);

// *out := the residues of p, a polynomial in the variable of depth h (h - 1
// pads above its term list) with number coefficients, top zeros trimmed;
// false (out unspecified) when p is not of that shape. In GF(2^8) and
// GF(2^16) the entries are the element codes (dense/dense_char2.h).
// p: kept. reads: lintmode (residues in lint)
bool residues_of(poly p, std::int32_t h, DensePoly* out);

// A fresh polynomial of the residues d (non-zero), wrapped in h - 1 pads
// when it is not a constant. reads: mode flags
poly poly_of_residues(const DensePoly& d, std::int32_t h);

}  // namespace tavrin
