// The textual form of polynomials (poly_display itself has its contract in
// display.h, beside the value display that calls it, and its declaration in
// gcd/gcd_upcalls.h) and the raw dumps of the node structure and of the
// variable list.
//
// A polynomial is a recursive term list over the variable records from q
// down: a term (exp, pcoef one level lower), exponents decreasing along
// next, a number leaf last (in Laurent mode terms of negative exponent may
// follow it), pads of exponent 0 over what does not involve the variable.
//
// Nested form (the default): terms in stored order, a coefficient that is
// itself a polynomial in parentheses before the power ((3y)x^2 + (-y)x + 5),
// coefficients 1 and -1 suppressed, "x^-2" in Laurent mode.
// Monomial-list form (monomial_list, for a polynomial whose variable has a
// lower one): a flat sum of monomials naming the variables from the lowest up
// (3*y*x^2 - y*x + 5 ). Both keep the running line length, break lines at
// dispcutoff and, at the terminal with do_line_sup, stop after 150 lines with
// one "   ... more output suppressed ... " line per value.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/records.h"

namespace tavrin {

// Lines of one value written at the terminal before the rest is cut off.
constexpr std::int32_t poly_display_max_lines = 150;

// Whether a "+" must precede a polynomial whose leading coefficient is not
// positive: a leaf its positivity; a term of exponent != 0 when its
// coefficient is not a plain number; a term of exponent 0 false when flag is
// false, else need_to of its coefficient. reads: mode flags, alt_form_display
bool need_to(poly p, bool flag);

// Writes p as a list of monomials over the variables from q down; chain
// holds the outer (name, exponent) pairs, the innermost last; *notfirst: a
// monomial has been written for this value; *extra_space: the next
// coefficient is written as "- " and its magnitude.
// p: kept. reads: the display settings, mode flags
struct monomial_chain;
void monomial_disp(std::FILE* outf, bool outf_is_tty, poly p, polypt q, monomial_chain& chain,
                   bool* notfirst, bool* extra_space, std::int32_t* mylength, std::int32_t* lines);

// Raw dump of p's nodes, one line per term list, indented by depth:
// "name: " and every node ("%li " for a term, "*" number " " for a leaf),
// then the coefficients one level deeper. uglyprint is forced on while a line
// is written; no line is broken.
void crude_poly_disp(std::FILE* outf, bool outf_is_tty, poly p, std::int32_t depth, polypt q);

// Lists the nodes of the list *p (one level) on standard output, one line
// each: "val %d, %d\n" with the word value (lint) of the node's number and
// its exponent, the number being a leaf's own or a term's coefficient when
// that is a leaf; "val skipped, %d\n" with the exponent for a node without
// such a number.
void special_print_poly(poly* p);

// Lists the adjoined variables on standard output from the lowest up, twelve
// a line, a modded-out one on its own line with the degree of its relation
// (and ". This creates a field." for a field level). reads: polynames
void epolylist();

}  // namespace tavrin
