// Images of stored values modulo the word prime `modulus`: the temporary
// image of a value, every change journalled in `masterfix` so that
// restore_from_mod gives the value back node for node, and the permanent
// conversion of a polynomial.
//
// A value's image is in the word-modular normal form (monic denominator,
// common factors cancelled). Temporary numbers and polynomials made for it
// are journalled for freeing (one: a number borrowed from a numerator leaf,
// two: a fresh number, three: a fresh numerator and denominator; rat_set:
// the value's rat flag comes back), and every link replaced is journalled
// with its old contents before it changes. The caller sets the modulus and
// the modular modes before the conversion and replays the journal after.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The state one conversion shares between its steps: the value's cell and
// the journal entry last made for it.
struct quoly_change_to_mod_EnvRec {
  quolyptr q = nullptr;
  fixptr fix = nullptr;
};

// *q := its image modulo modulus, in place: a number gets its residue in
// lint; a rational function has its numerator and denominator converted
// (poly_change_to_mod) and is brought to the word-modular normal form by
// check_quoly_1; a vanished numerator makes it the number 0, a constant
// numerator without denominator the number itself. A denominator that
// vanishes is reported by prec_error (after a constant numerator has been
// made the value's number) and the value keeps what was converted so far.
// Returns 0, or -1 after prec_error. The records made belong to *q, which is
// marked journalled (numbers/mod_journal.h).
// *q: changed in place until restore_from_mod(&masterfix); reads: modulus,
// mode flags, laurent, modout_above_field, polynames, token; writes:
// masterfix, warn_cnt
std::int32_t quoly_change_to_mod(quolyptr q);

// env.q marked a number (numb := true) and an entry (the value cell, typ)
// pushed on masterfix; env.fix := that entry. The caller has set the number.
void convert_to_num(quoly q, classtype typ, quoly_change_to_mod_EnvRec& env);

// The converted fraction *env.q (a denominator that is not zero) brought to
// the word-modular normal form without changing the converted nodes: the
// links of numerator and denominator are journalled, the GCD (Lpolygcd)
// divided out into fresh quotients (reduce), a constant denominator divided
// into the numerator and dropped, else the denominator made monic
// (monic_poly over polynames, the numerator multiplied by the same factor)
// and in Laurent mode its monomial factor moved into the numerator (reduced
// above the field when modout_above_field). A constant numerator without
// denominator makes the value a number (entry two), else the fresh parts
// are journalled (entry three).
void check_quoly_1(quoly_change_to_mod_EnvRec& env);

// Prints " *** Inappropriate symbol: " with tok, the message of num and
// " Change of precedence will continue. Some data may not be reasonably
// changed.\n", flushed; returns -1, which the conversion returns.
std::int32_t prec_error(std::int32_t num, const tokentipe* tok, quoly_change_to_mod_EnvRec& env);

// Every coefficient of *p replaced by its residue for good (limbs released):
// vanished leaves and terms are unlinked and freed, an exponent-0 term over
// a single leaf becomes that leaf; *p is nil when everything vanished.
// *p: changed in place. reads: modulus, mode flags; writes: warn_cnt
void poly_change_num(poly* p);

}  // namespace tavrin
