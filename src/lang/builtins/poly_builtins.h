// The built-ins of single values (numbers, polynomials, rational
// functions): conversions, contents, derivatives, GCDs and extended GCDs,
// factor lists and square-free parts, irreducibility, primality, leading
// and numeric coefficients, leading monomials, level shifts, p-th roots,
// modular powers, and the measures of a value (height, level, terms,
// variables, digits). Their bodies read through the evaluator and call the
// polynomial folders below it; only the factor lists climb, to store their
// array (list_into_array, lang/lang_upcalls.h).
#pragma once

namespace tavrin {

// Registers their handlers in the built-in table. Called by
// install_language.
void install_poly_builtins();

}  // namespace tavrin
