// Evaluation of polynomials at given values: some or all variables
// replaced by numbers, over the current ground ring, modulo the word prime
// `modulus`, or over the integers.
//
// A value list is a chain of number leaves linked through `next`, one per
// level from the top level of the polynomial down: the first value belongs
// to the polynomial's own top variable, the next to the level below it, and
// so on (a pad level takes its value too). In all_poly_eval a value node
// whose `exp` field is 1 marks a variable that is not substituted; the
// other evaluators take every value.
//
// The substitution keeps the levels: a variable that is replaced leaves a
// pad where it stood, so a result that still involves lower variables sits
// at the level of the polynomial it came from.
//
// Every evaluation is Horner's rule in each level's variable: the running
// value is multiplied by v^g for each exponent gap g (v itself for a gap of
// 1, one power per larger gap) and the next coefficient's value added; at the
// end it is multiplied by v^e, e the last exponent.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *ans := *q with the variables below its top `level` ones replaced by the
// values of arg; the top `level` variables stay, and their coefficients are
// evaluated with the same value list (level 1 keeps the main variable and
// takes the first value for the level below it). A marked value keeps its
// variable too (the next value serves the level below). A zero result
// leaves *ans nil: callers read nil as 0.
// With level < 1, no field levels and no marked value the whole value is
// formed at once by mod_all_poly_eval (modular) or rat_all_poly_eval (big
// integers).
// *q: kept; arg: kept; *ans: set (its old value is not freed).
// reads: mode flags, modulus, field_depth, polynames
void all_poly_eval(poly* q, poly arg, poly* ans, std::int16_t level);

// The same substitution in place: *q is consumed and replaced by the result
// (nil for zero, as all_poly_eval).
// *q: consumed and set; arg: kept. reads: as all_poly_eval
void old_all_poly_eval(poly* q, poly arg, std::int16_t level);

// *ans := the residue of q modulo `modulus` with every variable replaced by
// its value (residues). A gap g >= 16 is first reduced modulo modulus - 1
// (a reduced gap of 0 gives the factor 1), so the modulus must be prime or
// the order of the field of characteristic 2. A value of 0 gives the value
// of the constant term. Running out of values while q is not a number, or a
// marked value, is an internal error reported without a nested command
// level; the part concerned then counts as 0.
// q: kept; arg: kept; *ans: set. reads: modulus, smallmodulus, finf
void mod_all_poly_eval(poly q, poly arg, std::int32_t* ans);

// *ans := a fresh big integer: the value of q with every variable replaced
// by its value, from the limbs whatever the mode flags. Running out of
// values while q is not a number is an internal error reported without a
// nested command level; the part concerned then counts as 0.
// q: kept; arg: kept; *ans: set (its old value is not freed).
void rat_all_poly_eval(poly q, poly arg, imptr* ans);

}  // namespace tavrin
