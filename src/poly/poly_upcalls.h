// Routines of the GCD and rational-function folders that the polynomial
// arithmetic calls (the GCD, the integer contents of a field reduction, trial
// division's choice of prime, substitution into a fraction, the normal form
// and the reduction modulo relations of values); defined there. This is
// their one declaration: each owner's header includes this one and keeps
// the contract comment, named beside each declaration below; polygcd's
// contract stands here, beside it.
// poly_mod_invert, which the array code calls too, is declared in
// dense/dense_upcalls.h, included here.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

// ---- Polynomial GCDs --------------------------------------------------------------------
// The choices of one polygcd call (their meaning below); the defaults ask
// for the normalised GCD of two kept arguments as a fresh problem.
struct GcdFlags {
  bool leave_early = false;  // only the degree in x is wanted
  bool do_fast = true;       // the random probes may run
  bool allcons = true;       // general contents may be taken
  bool usave = true;         // u kept node for node; false: given up
  bool vsave = true;         // v kept node for node; false: given up
  bool canreset = true;      // a fresh problem: the GCD counters may be reset
};
// *r := the GCD of u and v, polynomials in the variables from pt's level
// down (pt not nil unless both are numbers). Normalised unless leave_early:
// over the integers and rationals the leading number is positive and the
// integer GCD of the contents is kept; modulo a prime and in floating mode
// it is monic; over a coefficient field it is monic over the field, free of
// its integer content, times the integer GCD of the contents. Two numbers
// give their integer GCD (1, 1.0 in word and floating arithmetic; 0 for two
// zeros); gcd(0, p) is p normalised.
// The flags come in a GcdFlags (defaults: false for leave_early, true for
// the others). leave_early: only the degree in x is wanted: the answer may
// be x^delta, neither normalised nor multiplied by contents. do_fast: the
// random probes may run. allcons: general contents may be taken (the
// driver turns it off and on by its rules). canreset: a fresh problem,
// whose counters g_cntcount and g_cutoff may be reset.
// usave / vsave true: u / v kept, node for node, on every exit, an
// unwinding error included. False: given up: its nodes may become the
// driver's, leaving the caller an empty head to release (unless *r is that
// argument's cell, whose old value the driver releases).
// *r: overwritten (may be the cell of u or v). reads: the ring state,
// polynames, field_depth, the thresholds and settings of the GCD work
// (tripval, trial_cutoff, gcd_stash_cutoff, chinhensel, rat_yes,
// no_aux_primes2, the prime tables); reads and writes: original_depth, the
// content counters, g_cntcount, g_cutoff, the GCD cache.
// Its stages: gcd/gcd.h.
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
