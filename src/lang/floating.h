// Real floating mode: the statements of a body after "Float" are evaluated
// on long doubles instead of exact values.
//
// The ground ring stays what the user chose. A number is read into the
// evaluator by converting its exact value (big integer, rational number,
// word or residue) to a long double; a result handed back to the exact
// world is stored as the exact rational equal to the long double (every
// finite long double is one), so nothing ever reads a stale long-double
// field and later exact arithmetic stays sound. An infinite or undefined
// result is user error 22.
//
// The readers take the cursor of stored token text (never nil: the mode is
// only switched on inside stored bodies); on entry the current token begins
// the construct, on return it is the first token after it.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The value of q (a number or a rational number) as a long double; nil is
// 0. Anything else is user error 227 with *name.
long double value_to_real(quoly q, const tokentipe* name);
// *n (old content freed) := the exact value of x in the current ring; not
// finite: error 22 with the current token. In word and modular arithmetic
// x must be an integer of 32 bits (else error 32). (Also declared in
// toplevel/language_services.h.)
void real_to_value(long double x, quolyptr n);
// x rounded to the nearest integer, halves away from zero, by way of double
// precision; beyond 64 bits (or not a number) user error 32.
std::int64_t round_real(long double x);

// The floating plain sum: terms of factors joined by "*", "/", "\", "|",
// and the terms joined by "+" and "-", all to the left. Errors 340 ("/"
// right after an operator), 68 (an operand without value), 22 (a zero
// divisor, or a "|" divisor that rounds to 0), 129 (a term without value).
void old_iexpre(long double* n, nameptr* flag);
// A floating statement: the plain sum, or after its target ":=", ":+",
// ":-" or ":*" (value 0). An absent sparse target is set only to a nonzero
// value truncated to an integer; ":*" leaves it absent. Error 317 after ":"
// otherwise. (Also declared in toplevel/language_services.h.)
void iexpre(long double* n, nameptr* flag);
// The functions "_name(x)" of floating mode: *x := name(*x) for sqrt, sin,
// cos, ln (the natural logarithm), e (the exponential), atan, tan and asin.
// Any other name prints a warning and leaves *x as it is.
void apply_float_function(const char* name, long double* x);
// *m := binomial(n, r) as a long double from the start-up table (0 <= r <=
// n assumed). n above 150 (after the trivial cases) is error 279.
void iflote_binom(std::int32_t n, std::int32_t r, long double* m);

// The floating factor reader: *lp := the place of the factor's value (a
// variable's number or n), nil when the factor has none.
void ifact(long double** lp, long double* n, nameptr* flag);

}  // namespace tavrin
