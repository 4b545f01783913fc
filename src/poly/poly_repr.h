// Recursive sparse polynomials: the representation, and the operations that
// build, copy, move, negate, compare and convert polynomials and values.
//
// Representation (polynode, records.h). The adjoined variables form levels,
// level 1 being the top variable (the head of `polynames`).
// - A polynomial whose top level is d is a list, along `next`, of nodes in
//   the variable of level d with exponents `exp` strictly decreasing, so the
//   head carries the degree.
// - A term (`numb` false) has `exp` and a coefficient `pcoef`, which is a bare
//   leaf or a list whose top is level d+1, padded as needed.
// - A number leaf (`numb` true, `exp` 0, `ncoef`) is either a whole constant
//   (the only node, `next` nil) or the constant term of a list, and then its
//   last node. A constant term that is a polynomial in lower variables is a
//   term of exponent 0 at the end of the list.
// - A constant is one bare leaf, never wrapped. Zero is the single leaf 0; no
//   zero leaf stands inside a sum or as a coefficient. nil is not a
//   polynomial unless a contract says so.
// - A non-constant polynomial that does not involve the variable of its level
//   is wrapped in a pad: a term of exponent 0, `next` nil, whose `pcoef` is the
//   lower polynomial. No term of exponent 0 has a bare leaf as coefficient.
//   The variable of depth d is d-1 pads, then the term x^1 over the leaf 1.
// - Laurent mode (`laurent`): exponents may be negative, so a leaf (exponent
//   0) may be followed by terms of negative exponent.
// Example, x level 1 and y level 2: x*y + 2 is [x^1 over [y^1 over 1]], 2.
//
// Number leaves hold their value in the field of the current mode (floating
// `flote`, word `lint` (a residue in modular mode), else the limbs); a copy
// of a leaf copies that field only.
//
// Contract words. kept: left unchanged. consumed: its nodes and numbers
// change owner or are freed; the caller must not use it again. "*q:
// overwritten": the new value is formed completely and then the old *q is
// freed, so the source may be *q itself or lie inside it. "*q: set": the old
// *q is not freed (it is the caller's). "*q: replaced": the old *q is freed
// first, so the source must not lie inside it.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/poly_nodes.h"  // node helpers every folder from dense up uses

namespace tavrin {

// The answer of the integer conversions for a value that does not fit.
constexpr std::int32_t no_int_value = -2147483647;

// ---- Exponent arithmetic ----------------------------------------------------
// a + b, a - b and a * b for exponents. A result outside 32 bits raises the
// user error exponent_overflow_error; when the nested command level that
// error opened is left, the result is clamped to the 32-bit range.
// reads: token
std::int32_t exp_add(std::int32_t a, std::int32_t b);
std::int32_t exp_sub(std::int32_t a, std::int32_t b);
std::int32_t exp_mul(std::int32_t a, std::int32_t b);

// ---- Copies and assignment ----------------------------------------------------
// p: kept; *q: overwritten with a deep copy of p (p must not be nil).
// reads: mode flags
void poly_assign(poly p, poly* q);
// p: kept; *q: overwritten with a copy of the value p: a number by
// num_assign; a rational function copies numer and denom, rat := p's rat and
// not lintmode. reads: mode flags
void quoly_assign(quoly p, quolyptr q);
// *cell: a stored value that its owner is about to change in place. When
// readers hold it (numbers/value_holds.h) the cell is given a copy and the
// held record let go, so they go on reading it unchanged; otherwise
// nothing. reads: mode flags
void writable_value(quolyptr cell);
// As poly_assign, every leaf of the copy negated (makeneg: modular 0 stays 0,
// x becomes modulus - x, unchanged in characteristic 2; floating -x; word the
// wrapped negation; big the negated limbs). reads: mode flags, modulus, finf
void poly_makeneg(poly p, poly* q);
// As quoly_assign, the number negated (makeneg), or the numerator's leaves;
// the denominator is copied unchanged. reads: mode flags, modulus, finf
void quoly_makeneg(quoly p, quolyptr q);
// p: kept (a leaf; its next is ignored); *q: overwritten with a constant
// holding a copy of p's number. reads: mode flags
void node_assign(poly p, poly* q);
// p: kept, but shared: *q: set to fresh nodes for p's top list (exponents
// copied, coefficients shared, not copied) ending in p's own constant leaf, if
// any (shared too); p nil gives nil; a bare leaf p gives p itself.
void spec_poly_assign(poly p, poly* q);
// p a leaf: p: kept; *q: overwritten with a copy of it.
// p a term: p: its exp, next and coefficient move into a fresh node, and p is
// left with next and pcoef nil for the caller to free; *q: set to that node.
// reads: mode flags
void mini_copy(poly p, poly* q);

// ---- Conversions between polynomials, numbers and values ---------------------------
// q: kept (a number value); *p: set to a fresh leaf holding a copy of q's
// number. reads: mode flags
void quoly_to_poly(quoly q, poly* p);
// p: kept (a leaf); *q: set to a fresh number value holding a copy of its
// number. reads: mode flags
void poly_to_quoly(poly p, quolyptr q);
// p: kept; *q: replaced by a value holding a copy of p: a number value when p
// is one leaf, else a rational function (numer a copy, denom nil, rat false).
// reads: mode flags
void p_q_assign(poly p, quolyptr q);
// *q: changed in place: its numerator must be a single leaf and its
// denominator nil; the number moves into *q, which becomes a number value;
// the leaf node is freed.
void polynum_to_quoly(quolyptr q);
// *n: consumed (a number value; its number moves, the cell is freed, *n :=
// nil); *p: set to a fresh leaf holding that number.
void quoly_consume(quolyptr n, poly* p);
// *n: consumed (a leaf; its number moves, the node is freed, *n := nil); *q:
// set to a fresh number value holding that number.
void poly_consume(poly* n, quolyptr q);
// *n: consumed, without copying. A leaf: *q := a number value taking its
// number, the leaf freed, *n := nil. Otherwise *q := a rational function
// with numer *n (denom nil, rat false) and *n still points at the polynomial,
// now owned by *q. *q: set.
void use_up_poly(poly* n, quolyptr q);
// n: its header is copied field by field, its limb chain is shared: the caller
// may discard n's header but not its limbs; *p: replaced by a fresh leaf.
void scalar_to_poly(imptr n, poly* p);
// As scalar_to_poly, giving a number value; *q: replaced.
void scalar_to_quoly(imptr n, quolyptr q);
// n: kept; *q: replaced by a number value: outside word mode a copy
// (num_assign); in word mode the word first limb * 2^28 + last limb (or the
// single limb), warning when it exceeds 2^30 compared unsigned; in every mode
// flote := the first limb. reads: mode flags
void spec_scalar_quoly(imptr n, quolyptr q);
// n: kept. n as a 32-bit integer: floating floor(flote + 0.5); word lint; one
// limb its value; two limbs with a first limb of magnitude at most 7 their
// value; anything else no_int_value (which also answers -2147483647 itself).
// reads: mode flags
std::int32_t convert_to_int(imptr n);
// q: kept. convert_to_int of q's number, or of the numeric leading
// coefficient of its numerator (the denominator is ignored).
std::int32_t quoly_convert_to_int(quoly q);
// As quoly_convert_to_int: more than two limbs no_int_value, one limb its
// value, two limbs need a first limb of magnitude below 8.
std::int32_t big_quoly_convert_to_int(quoly q);

// ---- Construction and the pad levels -------------------------------------------------
// *p: replaced by the variable of level depth (>= 0): depth-1 pads, the term
// of exponent 1, the leaf 1; depth 0 gives the constant 1. reads: mode flags
void base_poly(poly* p, std::int32_t depth);
// *q: replaced by a rational function whose numer is built as by base_poly
// (denom nil, rat false). reads: mode flags
void base_quoly(quolyptr q, std::int32_t depth);
// cf: consumed (moved); *p: set to one term x^expo over cf (next nil), or to
// cf itself when expo is 0 and cf is a leaf.
void make_monomial(poly* p, std::int32_t expo, poly cf);
// add_pad: numbers/poly_nodes.h.
// *t: changed in place: wrapped in one new term of exponent expon (next nil);
// nothing when expon is 0 and *t is a bare leaf.
void fluff_out(poly* t, std::int32_t expon);
// u: changed in place: its top list divided by x^uexp, uexp being its lowest
// exponent. When the last node is a term over a bare leaf, that node is
// unlinked into *utail (set) and its leaf becomes the constant term (when u
// has that one node only, u itself turns into the leaf and *utail keeps the
// leaf's node); otherwise the last node gets exponent 0 and *utail := nil.
// A caller that does not restore u gives *utail's node alone back
// (free_polynode_list).
void sub_expons(poly u, poly* utail, std::int32_t uexp);
// u: changed in place: undoes sub_expons(u, &utail, uexp) exactly.
void restore_exps(poly u, poly utail, std::int32_t uexp);
// *q: changed in place: level depth is removed from both polynomials of the
// value (a number value is left alone); the value must not involve that
// variable (at that level every list is a pad).
void remove_poly_var(quolyptr q, std::int32_t depth);
// *p: changed in place: as remove_poly_var for one polynomial. depth 1: *p :=
// its first node's coefficient, the rest of *p freed (a leaf is left alone);
// else the same at depth-1 in the coefficient of every term.
void remove_one(poly* p, std::int32_t depth);
// Unlinks the polydata record at position depth (1 = head) from polynames and
// frees it as free_pt does (its p, alt, roots, multdata and gcd_data numbers;
// pwr is not touched). polynames: changed; number_polys and polyvar are the
// caller's to update.
void delete_poly_name(std::int32_t depth);

// ---- Negation in place, tests and comparisons ----------------------------------------
// p: changed in place: every leaf negated (in_place_neg; a residue stays a
// residue); nil allowed. reads: mode flags, modulus, finf
void poly_inplace(poly p);
// q: changed in place: its number, or its numerator's leaves, negated.
void quoly_inplace(quoly q);
// poly_iszero: numbers/poly_nodes.h.
// The node p is a leaf of value 0; next is not looked at.
bool node_iszero(poly p);
// p is one leaf equal to 1 (big: one limb 1).
bool poly_eq_1(poly p);
// p is one leaf equal to -1: modular modulus - 1 (1 in characteristic 2);
// floating -1.0; word -1; big one limb -1. reads: modulus, finf
bool poly_eq_m1(poly p);
// The same tests on a number value; a rational function answers false.
bool quoly_iszero(quoly q);
bool quoly_eq_1(quoly q);
bool quoly_eq_m1(quoly q);
// q is a number value whose word is 0.
bool lint_quoly_iszero(quoly q);
// Structural equality, numbers by equal; nil equals only nil.
bool poly_equal(poly p, poly q);
// The same walk with leaves compared by negtive: p = -q.
bool poly_neg(poly p, poly q);
// Both number values with equal numbers, or both rational functions with
// structurally equal numerators and denominators (both nil or both equal).
// In modular arithmetic a stored integer outside the residues compares as
// its image (integer_image), here and in the next two.
bool quoly_equal(quoly p, quoly q);
// q = -p: numbers by negtive; rational functions: numerators by poly_neg,
// denominators structurally equal.
bool quoly_negtive(quoly p, quoly q);
// bigger of the two number values' numbers.
bool quoly_larger(quoly p, quoly q);
// p = c*q for a unit c: floating any non-zero ratio, modular with a prime
// modulus any residue ratio, big integers c = 1 or -1; other word modes false.
// reads: mode flags, modulus, mod_is_prime
bool essentially_equal(poly p, poly q);
// Big only: n and m have the same limb count and pairwise negated limbs.
bool opposites(imptr n, imptr m);
// q is a number value with arr_arg set.
bool is_array_param(quoly q);

// ---- Names, leading terms and signs ------------------------------------------------
// x: an 11-byte name. True with *depth := its position in polynames (1 = head)
// when some level's let has that name; false with *depth one past the last
// level. reads: polynames
bool is_poly_name(const char* x, std::int16_t* depth);
// As is_poly_name, also *q := the record (nil when absent).
bool is_poly_name2(const char* x, std::int16_t* depth, polypt* q);
// x is among the first number_polys names of polyvar, scanned upwards and
// abandoned as soon as x sorts before an entry (unsigned byte order).
// reads: polyvar, number_polys
bool its_a_polyname(const char* x);
// q: kept. q is exactly one adjoined variable: a rational function without
// denominator whose numerator is a chain of single nodes, exponents 0 except
// a last 1, ending in the leaf 1; *depth := that term's level. A number value
// is false; a numerator that is the bare leaf 1 is true with *depth 0.
bool is_poly_var(quoly q, std::int16_t* depth);
// leading_coef: numbers/poly_nodes.h.
// The last node of p's top list.
poly lastnode(poly p);
// The numeric leading coefficient is negative (floating < 0, word < 0 as a
// signed word, big the sign of the first limb). reads: mode flags
bool neg_leading_term(poly p);
// It is positive; in modular mode with alt_form_display a residue above
// half_modulus counts as residue - modulus. reads: mode flags,
// alt_form_display, half_modulus
bool pos_leading_coef(poly p);
// q: kept (a rational function); *n: set to a new rational value holding its
// leading term (copied) over a copy of its denominator. reads: mode flags
void leading_term(quoly q, quolyptr n);
// Every coefficient of p's top list is a bare leaf; nil and a leaf: true.
bool height_is_1(poly p);
// *n, *m: changed (moved down, the polynomials themselves kept): while both
// heads are terms of exponent 0, both step to their first coefficient, *pt to
// (*pt)->next and *h grows from 0. Neither may be a constant.
void findHeight(poly* n, poly* m, std::int32_t* h, polypt* pt);
// p: kept. A new polynomial: the coefficient of the highest power y^D of the
// level-two variable, taken over p's top list, without that variable.
// reads: mode flags
poly leading_coef_level_two(poly p);

// ---- Laurent mode -----------------------------------------------------------------
// *p: changed in place: multiplied by a monomial so that it needs no
// exponent below the per-level bound; *exps: set to the list of per-level
// shifts (one node per level, shift in exp; nil when nothing was shifted,
// else free it with free_poly after use); *tail: its last node. value 0 clears
// only negative exponents; a positive value makes each level's lowest
// exponent (up to value) 0. depth 0 means every level. reads: polynames
void clear_bads(poly* p, poly* exps, poly* tail, std::int32_t value, std::int16_t depth);
// *p: changed in place: multiplied by the monomial whose exponent at each
// level is factor times that level's shift in exps (-1 clears, +1 restores);
// exps: kept.
void eliminate_bads(poly* p, poly exps, std::int32_t factor);

}  // namespace tavrin
