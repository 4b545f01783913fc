// Routines of the polynomial, GCD and rational-function folders that the
// array code calls (the term-list routes of the array division and GCD, and
// the monic step over a coefficient field); defined there. This is their one
// declaration: each owner's header includes this one and keeps the contract
// comment, named beside each declaration below.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// ---- Polynomial arithmetic --------------------------------------------------------------
// Contract: poly/poly_divide.h.
void fast_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt, bool from_basic);
// Contract: poly/poly_mult.h.
void poly_mult(poly n, poly m, poly* p, polypt pol);
void poly_mult(poly n, poly m, poly* p, polypt pol, const Ring& ring);
// Contract: poly/poly_add.h.
void fl_num_poly_mult(poly n, long double m);
// Contract: poly/poly_add.h.
void sub_mod_num_poly_mult(poly n, std::int32_t x);

// ---- Polynomial GCDs --------------------------------------------------------------------
// Contract: gcd/gcd.h.
void emgcd_poly(poly a0, poly a1, poly* p, polypt pt, bool savea01);

// ---- Rational functions -----------------------------------------------------------------
// Contract: quoly/quoly.h.
void poly_mod_invert(poly q, quolyptr p, polypt pp);

}  // namespace tavrin
