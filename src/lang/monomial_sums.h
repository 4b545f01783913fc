// Long sums of monomials read in one pass: "c*x^e*y + d*z^2 - ..." with
// the terms in any order, as data files and pasted results hold them. The
// terms are gathered with their exponents, sorted once and combined, and
// the polynomial is built once, instead of evaluating every power and
// product and adding each term into a growing sum. The value is the one
// the expression evaluator gives (the polynomial of a sum is canonical).
#pragma once

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// When the current token begins a sum of monomials that runs to a ":" or
// ";" on the current line of the stream: *n := its value (a polynomial, or
// a number when it is constant), the text up to the terminator is taken,
// `token` := the terminator (recorded with the tokens before it, as the
// scanner records them), and true. Otherwise false, nothing read or
// changed. Declines unless the text left on the line is at least
// monomial_sum_chars long, the ground ring is the rationals (no word,
// modular or floating arithmetic, no Laurent mode), no adjoined variable is
// modded out, and the tokens come from a stream (*flag nil).
// Accepted: sums of terms joined by "+" or "-" (the first may carry a
// "-"); a term is factors joined by "*" (or by nothing before a name), at
// most one of them a run of digits and at most one a parenthesised sum, the
// others the name of an adjoined variable (lower case, at most `namelength`
// letters), each optionally with "^" and 1 to 7 digits, not 0; blanks and
// tabs between tokens. This covers the nested form the display writes on
// one line. Anything else declines.
// *n: replaced on success. reads: polynames, mode flags, namelength,
// monomial_sum_chars; changes: token, leftover, the recent-token ring
bool read_monomial_sum(textptr inf, nameptr* flag, quolyptr n);

// Sums read this way, counted since start (a test hook).
extern long monomial_sums_read;

}  // namespace tavrin
