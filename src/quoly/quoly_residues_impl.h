// Rational functions in one variable modulo a prime on residue vectors: the
// normal form, the sum of two fractions, the product of two fractions
// (quotients of fractions come here through the product with the divisor's
// parts exchanged) and the quotient of two polynomials. Private to quoly/.
//
// Each routine reads the parts of its operands once into residue vectors
// (onevar_residues, gcd/onevar_gcd.h), takes the GCDs, exact quotients and
// products of the term-list routine it stands in for, in the same order and
// with the same rules, and builds the parts of the result once. The GCD
// rule is that of polygcd modulo a prime: the monic GCD, and exactly 1
// when either argument is a constant (zero included). So the value, its
// normal form and the kind it ends as (a number, a polynomial or a
// fraction) are those the term-list routine gives.
//
// A routine returns false, having changed nothing, when the route does not
// apply: the ring is not a prime field in residues (residue_ring), Laurent
// mode is on, relations or field levels are in force, a part is not a
// one-variable list over residues, a denominator is zero (the term-list
// routine reports that), or the operands' degrees sum to less than
// residue_value_degree.
#pragma once

#include "core/records.h"

namespace tavrin::detail {

// lint_check_quoly(&q, false) for a rational function q whose numerator is
// not zero and whose denominator is present. q: changed in place (it may
// become a number value, the same node).
bool residue_normal_form(quoly q);

// fast_gen_quoly_add(&n, &m, add) for two fractions: n := n + m (add) or
// n - m. n: changed in place (it may become a number value); m: kept.
bool residue_fraction_sum(quoly n, quoly m, bool add);

// fractions_product(n, m, r, in_place, ...) (quoly_mult_impl.h) for two
// fractions: r := n * m, with r = n in place, else a fresh cell with nil
// parts. m: kept; n: kept unless in place.
bool residue_fractions_product(quoly n, quoly m, quoly r, bool in_place);

// The quotient n / m of two one-variable polynomials (values without
// denominators) into r, as word_quotient_of_values and its finishing step
// leave it (quoly_quot.cpp): the same value and normal form, from one
// division of the numerators; their GCD only when the remainder is not
// zero. r is n in place, else a fresh cell with nil parts; the operands are
// read before r is written. Not taken with verbose and windy, where the
// term lists' trial divisions print their trace. m: kept; n: kept unless
// in place.
bool residue_polynomial_quotient(quoly n, quoly m, quoly r);

// How often the route was taken, counted since start (a test and
// benchmark hook).
struct residue_value_counts {
  long normal_forms;
  long sums;
  long products;
  long quotients;
};
extern residue_value_counts residue_values;

}  // namespace tavrin::detail
