// GCDs from images modulo word primes, as the driver polygcd (gcd.h) uses
// them: the probe that bounds the degree of the GCD, the test that decides
// whether the modular method is worth starting, the modular method with
// Chinese remaindering, and the multivariate method by evaluation images.
//
// The probe and the modular method run in rational arithmetic and switch
// the ring to one word prime at a time (prime-image mode): the modulus and
// its companions through ModulusGuard and set_word_modulus, the arguments
// and the relations through ModularImage (poly_images.h), lookupgcd and
// command_int through ScopedValue, so that every exit, an unwinding error
// included, leaves the caller's ring, cache switch and polynomials as they
// were.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// The probe: the GCD of n and m modulo the first prime of prme[1 ..
// prime_number] that divides neither numeric leading coefficient. False
// when no prime qualifies (nothing is computed or written). Otherwise true
// with *expon := the degree in pt's variable of that image GCD, *success :=
// that degree is 0, *isnumb := the image GCD is a number.
// n, m: kept. reads: prime tables, number_polys; ring state: restored
bool use_modular(poly n, poly m, bool* success, bool* isnumb, polypt pt,
                 std::int16_t prime_number, imptr* prme, std::int32_t* expon);

// Whether the driver should run basic_mod_method now (deg = the exponent
// of the first term, mod_deg the probe's degree bound):
//   1. field_depth > 0 and the probe did not run: false;
//   2. with d = deg v - mod_deg: true when d > mod_method_diff or
//      deg v < 6 d;
//   3. the mass of v over its top list (a term over a polynomial 13 +
//      more_simple_poly_mass of it; a number 31, plus 8 a limb outside word
//      mode): true as soon as it passes 350, or when it ends above 280;
//   4. deg v = 1 with a mass below 200, or u nil: false;
//   5. the mass of u, counted the same way: true as soon as it passes 350.
// u (may be nil), v: kept. reads: field_depth, mod_method_diff, lintmode
bool do_mod_method_now(poly u, poly v, std::int32_t mod_deg, bool tried_modular);

// The modular method: true with *r := the primitive GCD of x and y (*success
// true), or *success false and *r nil. x, y: kept; *r: set.
void basic_mod_method(poly x, poly y, poly* r, bool* success, polypt pt);

// Whether the driver should try mod_multivar_Chinese (modular mode).
bool mod_do_Chinese(poly u, poly v, std::int32_t mod_deg);

// The GCD of x and y modulo the modulus by evaluation images of the top
// variable and interpolation; expo bounds its degree in the top variable.
// True with *r the GCD; false with x, y and the variable records as they
// were. x, y: kept; *r: set on success.
bool mod_multivar_Chinese(poly x, poly y, poly* r, std::int32_t expo, polypt pt);

// ---- Tree operations of the evaluation method ----------------------------------------------
// Renumbers the levels below pt: val is subtracted from the depth of every
// record after pt and from field_depth when that is positive (val -1: one
// level deeper, for a level inserted above them; 1 undoes it).
// writes: the depths of pt->next, pt->next->next, ..., field_depth
void change_polydata_1(std::int16_t val, polypt pt);

}  // namespace tavrin
