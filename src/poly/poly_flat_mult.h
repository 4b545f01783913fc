// Products of multivariate polynomials through flat monomial arrays.
//
// Representation. An operand of d levels becomes an array of terms
// (key, coefficient) in the order of its recursive lists. The exponents of
// levels 1 .. d are packed into one 64-bit key, level 1 in the highest
// field, a missing level (a bare-leaf coefficient, the constant term) as
// exponent 0. Because every level's list has strictly decreasing exponents
// and its constant term last, the keys of an operand strictly decrease. Each
// field is as wide as the sum of the two operands' largest exponents at its
// level needs, so the key of a product of two terms is the sum of their keys
// and keys of products compare as their exponent vectors do.
//
// Coefficients are gathered once: modulo a word modulus the residues, over
// the integers the values when every coefficient has at most two limbs,
// otherwise the numbers themselves (summed with fast_mult and fastsum, one
// output term at a time). Word-size products are summed without
// normalising each one: in one-word accumulators when the bound of every
// sum (from the largest coefficients and the term counts) fits a word,
// else in 128-bit ones; a residue is reduced once, when its sum is
// complete.
//
// Two ways to sum word-size term products, both giving the product's terms
// in decreasing key order, each coefficient formed once (poly_flat_sum.cpp):
//   - dense chunks: the lowest levels whose exponent bounds multiply to at
//     most 2^flat_cell_bits index an array of accumulators (a mixed radix,
//     so a cell of a term product is the sum of its factors' cells); the
//     upper levels pick a chunk, one pass each;
//   - a heap of row heads (Johnson's method): a row per term of the shorter
//     operand, entering once the row above has started.
// The cheaper by an estimate from measured costs (per term product, per
// cell visited, per chunk pair; per heap level) is taken.
// Long integer coefficients are summed on the heap as numbers, or, when the
// operands are dense enough, both operands become one big integer each
// (Kronecker substitution) multiplied once by the fast big-integer product.
// By an operand of few terms with one-limb coefficients (a linear factor
// times a large polynomial) the long operand's coefficients are gathered
// once as digits and the heap's sums taken in lazy word cells instead.
// The product is then rebuilt as recursive lists.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *p := n * m through flat arrays when that applies: no level from pol down
// has a relation; the ring is the integers or modular with a word modulus
// (not characteristic 2, floating or plain word arithmetic); neither operand
// is a bare constant; no exponent is negative; the packed fields fit 64 bits
// (each exponent sum within 32 bits); residues are reduced. The result is
// the product in the representation of poly_repr.h, the same polynomial the
// term-by-term product gives. Returns false, having changed nothing, when it
// does not apply.
// n: kept; m: kept (may be n); *p: overwritten (may be &n or &m)
// reads: mode flags, modulus, flat_cell_bits, flat_scan_ratio, flat_kronecker_ratio,
//        flat_fold_sums, flat_scaled_terms
bool flat_poly_mult(poly n, poly m, poly* p, polypt pol);
bool flat_poly_mult(poly n, poly m, poly* p, polypt pol, const Ring& ring);

// *p := n * m + c (sub: n * m - c) in one pass when one of n and m scales
// the other (at most flat_scaled_terms terms, each coefficient one limb),
// over the integers with coefficients past two limbs, under the conditions
// of flat_poly_mult (c may be a bare constant): c's terms are one more row
// of the product's sums. The same polynomial as the product followed by
// the sum; returns false, having changed nothing, when it does not apply.
// n: kept; m: kept; c: kept; *p: overwritten (may be &n, &m or &c)
// reads: mode flags, flat_scaled_terms
bool flat_mult_add(poly n, poly m, poly c, bool sub, poly* p, polypt pol);
bool flat_mult_add(poly n, poly m, poly c, bool sub, poly* p, polypt pol, const Ring& ring);
// *q := n / m for polynomials with integer coefficients, m dividing n,
// through one exact division of big integers (Kronecker substitution),
// when the ring is the integers or the rationals (no floating, modular or
// word mode), no level from pol down has a relation, neither operand is a
// bare constant, no exponent is negative, and n is dense enough. The
// quotient is checked to be exact (see kronecker_quotient); returns false,
// having changed nothing, when it does not apply or m does not divide n
// (the caller then divides by terms).
// n: kept; m: kept; *q: overwritten (may be &n or &m)
bool flat_exact_quotient(poly n, poly m, poly* q, polypt pol);
bool flat_exact_quotient(poly n, poly m, poly* q, polypt pol, const Ring& ring);

// The number of leaves of n over all levels when at most cap; past cap,
// some number above cap (the count stops as soon as it knows).
std::int64_t leaf_count_capped(poly n, std::int64_t cap);

// Which summation flat_poly_mult used, counted since start (a test hook).
struct flat_mult_counts {
  long dense_cells;
  long heap;
  long packed;            // one variable, word-size integers: one big-integer product
  long big_coefficients;  // heap with the numbers themselves
  long kronecker;         // one big-integer product
  long scaled;            // long coefficients by a short operand's one-limb ones
  long scaled_sums;       // flat_mult_add's successes
  long quotients;         // flat_exact_quotient's successes
};
extern flat_mult_counts flat_mult_methods;

}  // namespace tavrin
