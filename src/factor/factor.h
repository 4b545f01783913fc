// Factorisation of a polynomial in one variable over a finite field, and the
// irreducibility test built on it.
//
// The field: Z/p of the modulus, the tower of extensions made by the
// modded-out field levels, or the subfield of the lowest few of them. The
// `level` argument chooses it: -1 the whole coefficient field (every level
// flagged field), 0 the prime field, L >= 1 the field of the L lowest
// levels (the records from depth D = number_polys - L + 1 down); level 0
// without field levels counts as -1. q, the field's order, is p to the
// product of the degrees of the chosen levels.
//
// Factor lists are polynodes used as pairs along next: `exp` the
// multiplicity, `pcoef` an irreducible factor (monic, padded to the top
// level); the caller owns the list (free_poly frees it whole).
//
// The stages: the square-free decomposition (square_free.h); the
// distinct-degree stage, x^(q^i) modulo each part by powermod, carried from
// one degree to the next and reduced modulo the part still to split; and the
// equal-degree stage of Cantor and Zassenhaus by random trial polynomials,
// r^((q^d - 1)/2) - 1 in odd characteristic and the trace r + r^2 + ... +
// r^(2^(N-1)), N = d log2 q, in characteristic 2.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *sq := the factor list of *a, *count := its length. With leave_early it
// stops at the first finding: a part that is not square-free gives its first
// entry exp -1; a polynomial not over the chosen field gives its degree;
// otherwise the first product found by the distinct-degree stage (exp its
// common degree d, pcoef the product), or the irreducible rest with its
// degree. With showit each irreducible factor is displayed when found (and
// the powers show progress when verbose is on too). Errors: 300 (a level
// that is not made of field variables), and those of powermod (197, 291).
// The modes switched on for the work are restored on every exit.
// *a: left as its primitive part (may be changed); *sq: set; *count: set.
// reads: modulus, finf, polynames, field_depth, number_polys, verbose; uses
// the standard random generator; polls check_interrupt between trials
void factor_poly(poly* a, poly* sq, std::int32_t* count, bool leave_early, bool showit,
                 std::int32_t level);
// The same in `ring` (the ring in force), read instead of the mode globals.
void factor_poly(poly* a, poly* sq, std::int32_t* count, bool leave_early, bool showit,
                 std::int32_t level, const Ring& ring);

// *n := the verdict on *n: 0 for a number or a constant; -1 when
// cant_factor; 1 when irreducible; a proper factor (the value's numerator
// replaced) when one is found first; otherwise k, the number of irreducible
// factors, all of one degree. A quotient of polynomials is error 186;
// negative exponents in Laurent mode error 198.
// *n: overwritten. reads: as factor_poly
void irreducible_poly(quolyptr n, std::int32_t level);

// True when q cannot be factored in the current ring: *errno := 298 when a
// level with a relation that is not a field lies at or below q's variable
// (with field levels present); otherwise *errno := 299, and with
// check_below true when a coefficient of q's top list involves a variable
// strictly between q's variable and the field.
// q: kept. reads: polynames, field_depth
bool cant_factor(poly q, std::int32_t* errno_out, bool check_below);
bool cant_factor(poly q, std::int32_t* errno_out, bool check_below, const Ring& ring);

// n := q, the order of the field of the level (a big integer). err: a
// level of -1 with no field level is the internal error " pt nil in
// order_of_field." (nested level). Modes are restored on return.
// n: overwritten. reads: modulus, polynames, number_polys
void order_of_field(imptr n, bool err, std::int32_t level);
void order_of_field(imptr n, bool err, std::int32_t level, const Ring& ring);

// n := the product of the degrees of the same levels (1 when none), a big
// integer. n: overwritten.
void log_order_field(imptr n, std::int32_t level);

// *q := a random element of the field of `height` levels from record pt
// down; left as it was (callers pass nil: zero) for zero. Ground residues:
// rand_integer3() mod modulus (below 48871), in the fields of 256 and 65536
// elements drawn from the whole field.
// *q: replaced or kept. writes: the random generator
void random_field_element(poly* q, std::int16_t height, polypt pt);
void random_field_element(poly* q, std::int16_t height, polypt pt, const Ring& ring);

// The degree of p in the variable of depth h: the exponent of the first term
// after h - 1 pad levels.
std::int32_t true_degree(poly p, std::int32_t h);

}  // namespace tavrin
