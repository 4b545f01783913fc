// Routines of the GCD and rational-function folders that the polynomial
// arithmetic calls (the integer contents of a field reduction, trial
// division's choice of prime, substitution into a fraction, the normal form
// and the reduction modulo relations of values); defined there. This is
// their one declaration: each owner's header includes this one and keeps
// the contract comment, named beside each declaration below.
// poly_mod_invert, which the array code calls too, is declared in
// dense/dense_upcalls.h, included here.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

// ---- Polynomial GCDs --------------------------------------------------------------------
// Contract: gcd/gcd.h.
// The choices of one polygcd call (their meaning: gcd/gcd.h); the defaults
// ask for the normalised GCD of two kept arguments as a fresh problem.
struct GcdFlags {
  bool leave_early = false;  // only the degree in x is wanted
  bool do_fast = true;       // the random probes may run
  bool allcons = true;       // general contents may be taken
  bool usave = true;         // u kept node for node; false: given up
  bool vsave = true;         // v kept node for node; false: given up
  bool canreset = true;      // a fresh problem: the GCD counters may be reset
};
void polygcd(poly u, poly v, poly* r, polypt pt, const GcdFlags& how = {});
// Contract: gcd/gcd.h.
void case_one(poly* p, poly* pden, std::int16_t target, poly n2, poly d2, polypt pol);
// Contract: gcd/gcd.h.
void case_two(poly* p, poly* pden, std::int32_t target, std::int32_t source, poly n2, poly d2,
              polypt pol);
// Contract: gcd/gcd.h.
std::int16_t select_prime(poly x, poly y, std::int16_t buffer, std::int16_t rand_mod,
                          std::int16_t prmesize, imptr* prme);

// ---- Rational functions -----------------------------------------------------------------
// Contract: quoly/quoly.h.
void check_quoly(quolyptr q, bool q_odd);
// Contract: quoly/quoly.h.
void mod_out_poly(poly* p, poly* modder, std::int32_t depth, std::int32_t expon, polypt pp);
// Contract: quoly/quoly.h.
void quoly_reciprocal(quolyptr n);
// Contract: quoly/quoly.h.
void spec_quoly_mult(quoly pv, quoly dummy, quolyptr prod, polypt pp2);
// Contract: quoly/quoly.h.
bool bysquaring(poly m);

}  // namespace tavrin
