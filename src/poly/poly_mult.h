// Products of polynomials.
//
// Each routine that takes a Ring computes in it; the overload without one
// takes the ring in force (Ring::current()).
//
// Operands are the recursive sparse polynomials of poly_repr.h over the
// level `pol` of their main variable (nilpol: no level applies, no relation,
// the global cut-off poly_cutoff). When the level is modded out (pol->p not
// nil) products are folded by its relation (poly_power.h): a number leaf c
// means t^E = c (E = pol->expon), otherwise pol->p is the relation
// polynomial in t.
//
// poly_mult picks one route, in this order:
//   1. constants: a number times a number or times a polynomial
//      (scalar_by_poly);
//   2. one variable modulo a word prime (exp_poly_length's one-variable
//      flag): simplest_poly_mult, then the fold when field levels or a
//      relation above them are in force;
//   3. two modded-out levels modulo a word prime: the packed product of
//      poly_tower_mult.h, where it applies (a route of its own, so
//      tower_mult_terms INT64_MAX gives the routes below);
//   4. two variables modulo a prime, both degrees above 30, not Laurent, and
//      try_fast_2_var agrees: the two-variable array product;
//   5. no relation, the integers or a word modulus, and the product of the
//      operands' leaf counts at least flat_mult_terms: the flat product of
//      poly_flat_mult.h (the routes below are its base case);
//   6. both signed term counts at least the level's polycut (poly_cutoff
//      without a level): Karatsuba on term lists, folding the shifted
//      middle and top products;
//   7. otherwise schoolbook rows (the shorter operand outside), a numeric
//      relation applied as each row is built, a polynomial relation by
//      fast_fold_poly at the end.
// A sparse operand (degree span above six times its term count, a negative
// count) never takes a Karatsuba or array route.
//
// Karatsuba on term lists: n = n_hi * t^s + n_lo, where n_hi is a view of
// n's first half (its exponents lowered by s and the list cut after it), not
// a copy; m is split at the same s. The views are undone before the routine
// returns, an unwinding error included, so the operands come back node for
// node.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "dense/dense_modular.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

// *p := n * m over the level pol, folded by its relation where the routes
// above say so. n and m may be the same polynomial.
// n: kept; m: kept; *p: overwritten (may be &n or &m)
// reads: mode flags, modulus, mod_is_prime, laurent, field_depth,
// modout_above_field, poly_cutoff, fast_mult_cut, fast_gcd_size,
// flat_mult_terms
// poly_mult: declared in dense/dense_upcalls.h (the array code calls it),
// with the ring read from the globals and with the ring given.

// *p := n * m for one-variable polynomials whose coefficients are all
// numbers, modulo a word prime (or in floating mode); no relation. size1,
// size2: the signed term counts of exp_poly_length, expon, exp2 the lowest
// exponents; size1 = 0 asks the routine to find all four. Short operands
// (a count below fast_mult_cut) go to schoolbook rows; otherwise the dense
// arrays when at least a quarter dense and within fast_gcd_size (never in
// floating mode or characteristic 2), past it over a prime field residue
// vectors by transforms (up to 2^21 coefficients), in GF(2^8) and GF(2^16)
// element vectors (dense/dense_char2.h) from a product degree of
// char2_vector_degree on, else Karatsuba on term lists.
// n: kept; m: kept; *p: overwritten. reads: mode flags, modulus, finf,
// fast_mult_cut, fast_gcd_size, char2_vector_degree
void simplest_poly_mult(poly n, poly m, poly* p, std::int32_t size1, std::int32_t size2,
                        std::int32_t expon, std::int32_t exp2);
void simplest_poly_mult(poly n, poly m, poly* p, std::int32_t size1, std::int32_t size2,
                        std::int32_t expon, std::int32_t exp2, const Ring& ring);

// *a := a m when simplest_poly_mult would multiply their lists on element
// vectors (rows, carry-less or transform products), a the element vector of
// a one-variable polynomial over a prime field or GF(2^8) / GF(2^16), m a
// one-variable list over it: the same product without a's term list.
// False, a unchanged, when the route is on term lists. m nil: a's square.
// a: changed; m: kept. reads: as simplest_poly_mult
bool vector_poly_mult(DensePoly* a, poly m);

// Whether simplest_poly_mult multiplies the one-variable lists n and m on
// element vectors. n, m: kept. reads: as simplest_poly_mult
bool vectors_take(poly n, poly m);

// The element vector of a one-variable list over residues (exponents >= 0),
// and the list of an element vector (zero for the empty one).
DensePoly element_vector(poly n);
poly list_of_vector(DensePoly c);

// Schoolbook rows for the operands of simplest_poly_mult: the operand with
// fewer terms (n on a tie) outside, rows summed by simplest_poly_add. size1,
// size2: positive term counts.
// n: kept; m: kept; *q: set (must hold nil on entry)
void simplest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q);
void simplest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q,
                       const Ring& ring);

// The dense-array product when 4 * size1 > deg n and 4 * size2 > deg m,
// else simplest_standard. n: kept; m: kept; *q: set (nil on entry)
void fastest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q);
void fastest_standard(poly n, poly m, std::int32_t size1, std::int32_t size2, poly* q,
                      const Ring& ring);

// Adds modulus to every negative word residue of p, at every level.
// p: changed. reads: modulus
void standard_form(poly p);
void standard_form(poly p, const Ring& ring);

// Which route each product took, counted since start (a test hook).
struct mult_route_counts {
  long constants;
  long one_variable;
  long two_variable;
  long karatsuba;
  long schoolbook;
  long simplest_rows;       // simplest_standard
  long simplest_arrays;     // the dense one-variable arrays
  long simplest_karatsuba;  // Karatsuba on term lists inside simplest_poly_mult
  long simplest_residues;   // residue vectors by transforms, past the arrays
  long flat;                // flat monomial arrays (poly_flat_mult.h)
  long simplest_char2;      // element vectors of GF(2^8) / GF(2^16) (dense_char2.h)
  long simplest_scaled;     // a short operand's scaled copies of a long one in an element vector
  long tower;               // packed rows divided by two levels' relations (poly_tower_mult.h)
};
extern mult_route_counts mult_routes;

}  // namespace tavrin
