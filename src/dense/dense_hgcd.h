// The half-GCD of dense one-variable polynomials modulo a word prime below
// 65,535, and the Euclid loop on the shared arrays that finishes a GCD.
//
// A pair (x, y), deg x >= deg y, is reduced to a pair of consecutive
// remainders of about half the degree, together with the 2x2 polynomial
// matrix M = [[m1, m2], [m3, m4]] that maps the input pair to the output
// pair: x' = m1*x + m2*y, y' = m3*x + m4*y. Recursion is on the upper halves
// of the coefficient arrays; below degree hgcd_euclid_degree plain Euclid
// with the matrix is used.
//
// Here the zero polynomial is degree 0 with entry 0: a sum, difference or
// remainder that comes out zero is given degree 0. Arrays are of the
// gcd_array kind (dense_arrays.h); every routine gets and returns the
// degrees separately. Products go through the Karatsuba product; recursion
// levels take their work arrays from the heap stack of dense_impl.h.
//
// Division steps use unsigned 32-bit products (moduli below 65,535); the
// two-term step serves moduli below 46,340.
#pragma once

#include <cstdint>

#include "core/ring.h"
#include "core/thresholds.h"

namespace tavrin {

// Thresholds read here (core/thresholds.h): hgcd_euclid_degree (plain
// Euclid with the matrix below it), hgcd_recursion_sum (the Euclid loop
// finishes at or below it), poly_cutoff.

// The frame shared by the dense GCD and its nested steps.
struct fastest_poly_gcd_EnvRec {
  std::int32_t yexp;  // degree of the polynomial in yy
  std::int32_t xexp;  // degree of the polynomial in xx; -1: xx is zero, the GCD is in yy
  bool all_zeros;     // one of the pair became zero (the GCD is the other); clear: GCD 1
};

// Reduces (x, y) in place by single division steps until deg y falls below
// (entry deg x) div 2, and sets M to the product of the steps (the identity
// when deg y is already below). On return x holds the larger polynomial of
// the final pair. A zero y ends the reduction.
// x, y, m1 .. m4: overwritten; reads: modulus
void euclid_onevar(std::int32_t* x, std::int32_t* y, std::int32_t* m1, std::int32_t* m2,
                   std::int32_t* m3, std::int32_t* m4, std::int32_t* xdeg, std::int32_t* ydeg,
                   std::int32_t* m1deg, std::int32_t* m2deg, std::int32_t* m3deg,
                   std::int32_t* m4deg);

// The half-GCD matrix of (x, y) into m1 .. m4: the identity when deg y <=
// deg x div 2. With dob, x and y also receive the reduced pair; without it
// their contents on return are scratch.
// x, y, m1 .. m4: overwritten; reads: modulus, poly_cutoff, hgcd_euclid_degree
void parthg(std::int32_t* x, std::int32_t* y, bool dob, std::int32_t* m1, std::int32_t* m2,
            std::int32_t* m3, std::int32_t* m4, std::int32_t* xdeg, std::int32_t* ydeg,
            std::int32_t* m1deg, std::int32_t* m2deg, std::int32_t* m3deg, std::int32_t* m4deg);

// Reduces (x, y) in place by one half-GCD reduction, without the matrix,
// printing a progress line. When deg y > deg x the two exchange roles (each
// array keeps its own degree variable).
// x, y: overwritten; reads: modulus, poly_cutoff, hgcd_euclid_degree
void fullhg(std::int32_t* x, std::int32_t* y, std::int32_t* xdeg, std::int32_t* ydeg);

// Finishes the GCD of the pair in xx (degree e->xexp) and yy (degree
// e->yexp), both non-zero: e->all_zeros clear means the GCD is 1; set means
// it is xx of degree e->xexp, or yy of degree e->yexp when e->xexp is -1.
// Half-GCD reductions while the degree sum exceeds hgcd_recursion_sum, then
// the Euclid loop.
// xx, yy: overwritten; reads: modulus, poly_cutoff, hgcd_euclid_degree, hgcd_recursion_sum
void hgcd(fastest_poly_gcd_EnvRec* e);

// The Euclid loop on xx / yy to the end, its answer in the frame as hgcd
// leaves it; a zero constant divisor is reported. (It is the array GCD's
// own loop and lives with it, in dense_gcd.cpp.)
// xx, yy: overwritten; reads: modulus
void simple_onevar_gcd(fastest_poly_gcd_EnvRec* e);
void simple_onevar_gcd(fastest_poly_gcd_EnvRec* e, const Ring& ring);

}  // namespace tavrin
