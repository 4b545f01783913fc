// The built-ins of the arrays after "MSmith": coefficients and cofactors
// of monomials, minimal polynomials, the ring settings, monomial columns,
// the prime table, remainders, "Return", exchanging rows and columns,
// total-degree parts, the raw and generic displays; and the statements
// that change stored values in place: changing one coefficient, renaming
// an array, moving, swapping and sparsifying stored values.
//
// Every routine reads from the current token (the built-in's name) through
// inf / *flag and leaves the first token after its call current.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Registers the handlers of the built-ins of this file. Called by
// install_array_builtins.
void install_second_builtins();

// "(" target {"," e} ")" ":=" value: the coefficient of the powers e of the
// polynomial stored in a variable, an element, or "Numer"/"Denom" of one,
// becomes value. *n := the changed value at the prompt, 0 in a stored
// statement.
void change_coef(textptr inf, quolyptr n, nameptr* flag);
// Entry k (1 .. 1229) of the table of small primes for k the integer value
// of *n; another k is error 346, then 0. (The built-in Prime applies the
// same rule with its own reading.) *n: kept.
std::int32_t nth_prime(quolyptr n);
// Edits the polynomial *n (nil: empty) from the current token: "," e for
// each further level (e an integer read with modular arithmetic off;
// errors 155, 156, 166, 193 beyond the variables), then ")" ":" "=" and
// the new coefficient (errors 1, 152, 4), which must have no denominator
// and pads for the level + (exponents read) levels above it (1 when none
// are given and *n is not empty), else error 158. The coefficient of those
// powers is replaced, inserted in exponent order, or removed when the new
// one is 0 (an emptied list is 0); no exponent at all replaces the leading
// coefficient, or *n itself when it is empty or level > 0. level: the
// exponents read before the call (0 from change_coef).
// *n: changed (its nodes reused; looked at only after the reading).
void set_coef(poly* n, textptr inf, nameptr* flag, std::int16_t level);
// The middle step of change_coef on a value: the change read, then its
// numerator (a number or nil as a constant polynomial) edited as set_coef
// does, a leaf result made a number. *n is looked at only after the
// reading.
void quoly_set_coef(quolyptr n, textptr inf, nameptr* flag);

// "[" old "]" ":=" "'" "[" new "]" "'": the array gets the new name; the
// table changes only after every check.
void namechange(textptr inf, quolyptr n, nameptr* flag);

// "(" A "," B ")": A := B, B := 0 by moving B's value node.
void move_storage(textptr inf, quolyptr n, nameptr* flag);
// "(" A "," B ")": A and B exchange their value nodes.
void swap_storage(textptr inf, quolyptr n, nameptr* flag);
// "[" name "]" or "(" "[" name "]" ")": a dense array becomes sparse (error
// 250 when the frames of its rows would pass the memory budget).
void make_sparse(textptr inf, quolyptr n, nameptr* flag);

}  // namespace tavrin
