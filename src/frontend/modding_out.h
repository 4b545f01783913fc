// Modding out an adjoined variable by a monic relation, field declarations
// and their auxiliary primes.
//
// A relation t^e + (lower terms), e >= 2, is stored on t's record from t's
// own level down: a binomial t^e + c as p = the leaf -c with alt = t^e + c,
// any other relation whole in p; multdata holds t^k reduced for k = 2e - 2
// down to e; expon = e. Every stored value is then reduced by it.
//
// A field level (", 1") gets the first auxiliary list (auxptr, primes
// modulo which the relation stays irreducible, shared by the field levels)
// and its second list (gcd_data: primes with a root of the relation). Both
// can be given after ":" as a saved file writes them; otherwise they are
// searched. The searches set the modulus per candidate through
// set_word_modulus and leave the user's modulus as it was.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

extern std::int32_t second_aux_num;  // the latest field level's second-list length

// imperative: the valued forms (false for the bare command, which asks for
// the relation at the terminal); highest: the relation of an adjoining, in
// the top variable just adjoined (no stored value is reduced). "-" and the
// bare variable cancel the modding out.
// Errors 1, 98, 129, 168, 171, 195 - 202, 266, 268 - 271, 357.
// writes: the record's p, alt, multdata, expon, field, polycut, gcd_data,
// aux_num; field_depth, pseudo_polynames, auxptr, aux_prime1_number,
// aux1_hit_0, no_aux_primes2, second_aux_num, prevnum, every stored value
void set_mod_out(textptr inf, nameptr* flag, bool imperative, bool highest);

// "&P" (changed_in_modmode set in word mode); *n := 0 in the ring in force.
void mod_out_command(textptr inf, quolyptr n, nameptr* flag);
// "&(P = relation [, field] [: list [: pairs]])" after the "=".
void mod_out_setting(textptr inf, quolyptr n, nameptr* flag);

// t^k reduced modulo the relation r of degree expon of q, k = 2 expon - 2
// down to expon, one term node each (exponent k, coefficient the reduction).
void make_muldata(poly* muldata, poly* r, std::int32_t expon, polypt q);

// The second list of q: primes p >= 41 with a root of q's relation modulo
// p, agreeing with the lists of the levels below (reconciled).
void make_and_reconcile_gcd_lists(polypt q);
// Keeps in q's list and the lists below only the primes all of them have.
void reconcile_gcd_lists(polypt q);
// aux_num of q := the length of its gcd_data.
void set_aux_num(polypt q);

// Terms of numerator plus denominator of n.
std::int32_t fieldterms(quoly n);

}  // namespace tavrin
