// Powers modulo a value: a number modulo a number, a polynomial modulo a
// polynomial or a number, and a value of the current modular ring to a power
// in that ring (cut down by the order of the field where the modded-out
// levels form one).
//
// The exponent is a big integer (limbs in base 2^28, most significant
// first, every limb with its sign) whatever the mode. Every case walks it
// limb by limb from the top, Horner's rule in base 2^28: result :=
// result^(2^28) * base^limb, each limb's power taken left to right over its
// bits.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"

namespace tavrin {

// *n := (*n)^expont modulo *modder (a number or a polynomial value), or in
// the current ring when *modder is nil:
// - a negative exponent is taken only for a number base in modular mode
//   with a prime modulus and no modulus value (the power of the inverse);
//   elsewhere "*** bad exponent (negative): \n", the exponent, and user
//   error 287;
// - exponent 0 gives 1, also for a zero base;
// - a number modulo a number: binary powering with the remainder taken
//   after each product (every second squaring), the exponent first cut
//   modulo p - 1 when the modulus is a word prime p;
// - modular mode without a modulus value: a number by its residue power (a
//   composite modulus is error 290, 0 to a negative power error 22); a
//   polynomial in the field levels with the exponent cut modulo q - 1 (q the
//   field's order), by base-p digits and Frobenius steps for a prime above
//   100 and an exponent of two or more limbs (large_prime), else by binary
//   powering, every product reduced by the relations;
// - a polynomial modulus must be monic in its top variable (error 197), may
//   not lie in the coefficient field (error 291) nor hold negative exponents
//   (error 198); every product is reduced modulo it (or modulo a number
//   modulus, coefficientwise);
// - a number base with a polynomial modulus gives the power of the number
//   (modular mode: as without a modulus; otherwise number_power, an exponent
//   of more than one limb being error 32);
// - an exponent of 2^28 or more on a polynomial whose top variable is free
//   (no relation) and outside the field prints the warning
//   " *** Warning. exponent overflow may occur.\n".
// showit: progress for the polynomial cases, "          counting to " the
// number of limbs, then the limb count after each limb, ten a line.
// A constant result becomes a number value.
// *n: overwritten (the base cell); *modder: kept; expont: may be reduced in
// place (callers that need it again pass a copy; large_prime leaves 0).
// reads: mode flags, modulus, mod_is_prime, polynames, field_depth, laurent,
// token; polls check_interrupt between the exponent's limbs
void powermod(quolyptr n, quolyptr modder, imptr expont, bool showit);
// The same in `ring` (the ring in force), read instead of the mode globals.
void powermod(quolyptr n, quolyptr modder, imptr expont, bool showit, const Ring& ring);

// *n := (*n)^expont in characteristic p = modulus (a prime above 100, or
// the fields of 256 and 65536 elements with p = q), by the base-p digits of
// expont: one Frobenius step per digit. dp: the depth of *n's top variable
// (its dp - 1 pads are taken off and put back). The `pwr` field of the
// record at depth dp and of every record below holds x^p of its variable
// (reduced by its relation) during the call and is nil again on every exit.
// *n: overwritten; expont: consumed (divided down to 0).
// reads: modulus, polynames, pseudo_polynames
void large_prime(poly* n, imptr expont, std::int16_t dp);
void large_prime(poly* n, imptr expont, std::int16_t dp, const Ring& ring);

// *q := (*q)^p at level pt (p = modulus), using the pwr fields that
// large_prime prepares from pt down: a constant is kept, every term c x^e
// becomes pwr^e times the Frobenius image of c.
// *q: overwritten. reads: modulus, the pwr fields
void fast_mod_power(poly* q, polypt pt);
void fast_mod_power(poly* q, polypt pt, const Ring& ring);

}  // namespace tavrin
