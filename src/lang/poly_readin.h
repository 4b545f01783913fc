// Reading polynomials and rational functions in the notation values are
// written out in: nested by variable, exponents descending, a polynomial
// coefficient in parentheses before its variable, e.g.
//   (y^2 + 3z + 1)x^3 - 2x + (z)y^2 + (z + 1)y - 7
// The terms must come in that canonical order; the structure is built
// directly, term by term, without the expression evaluator.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// One polynomial, its first token current, into *p (a fresh polynomial);
// *depth := the level of its first term (16384 for a constant). When *p is
// given on entry it is the coefficient of a first term whose variable is
// current, *depth its level. Errors (the partial result freed first, the
// modular mode as before): 1, 159, 160, 161, 162, 163, 165, 204, 368.
void poly_readin(textptr inf, poly* p, nameptr* flag, std::int32_t* depth);

// Armed by the loader of files: the first minus sign read while a reader
// has switched the modular mode off prints a warning once.
extern bool minus_warning;

// A value in the notation values are written out in (nested by variable,
// exponents descending), read into *n (old value freed); *depth: the
// variable level the reading reached.
void quoly_readin(textptr inf, quolyptr n, nameptr* flag, std::int32_t* depth);
// True while a command file is read: the polynomial reader may then warn
// once about a negative value read in a modular ring.
extern bool minus_warning;

}  // namespace tavrin
