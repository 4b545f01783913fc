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
bool use_modular(poly n, poly m, bool* success, bool* isnumb, polypt pt, std::int16_t prime_number,
                 imptr* prme, std::int32_t* expon);

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

// What the modular methods did, counted since start (a test and benchmark
// hook; recursive calls count too).
struct modular_gcd_counts {
  long runs;                       // basic_mod_method started with a prime table
  long images;                     // image GCDs modulo a prime
  long garner_steps;               // images combined into the mixed-radix digits
  long first_image;                // results confirmed from the first image alone
  long restarts;                   // runs restarted after an image of lower degree
  long big_prime_switches;         // the main table used up, big_prime taken on
  long multivar_runs;              // mod_multivar_Chinese past its size gate
  long multivar_points;            // evaluation images of mod_multivar_Chinese
  long multivar_failures;          // interpolation attempts that failed
  long multivar_rejected;          // interpolations that did not divide the arguments
  long multivar_skipped;           // levels skipped because neither argument had them
  std::int64_t image_nanoseconds;  // wall time in the image GCDs modulo primes
};
extern modular_gcd_counts modular_gcd_stats;

// Test hooks of basic_mod_method: the number of entries of `prime` it uses
// (604; a smaller number makes it reach big_prime early), and, when not
// nil, a function that may replace the k-th prime (k from 0 in each call)
// it is about to use.
extern std::int16_t prime_table_limit;

// Test and benchmark hook: false makes use_modular find no prime and the
// two methods fail at once, and keeps the flat engines (flat_gcd.h) out, so
// that the driver answers by its other methods (the subresultant sequence
// in the end). Default true.
extern bool modular_methods_enabled;
extern std::int32_t (*modular_prime_hook)(std::int32_t k, std::int32_t p);
// Test hook: when not nil, called inside every image of both methods just
// before its GCD is taken (the ring is then modulo the image's prime).
extern void (*modular_image_hook)();

// Whether the driver should try mod_multivar_Chinese (modular mode).
bool mod_do_Chinese(poly u, poly v, std::int32_t mod_deg);

// The GCD of x and y modulo the modulus by evaluation images of the top
// variable and interpolation; expo bounds its degree in the top variable.
// True with *r the GCD; false with x, y and the variable records as they
// were. x, y: kept; *r: set on success.
bool mod_multivar_Chinese(poly x, poly y, poly* r, std::int32_t expo, polypt pt);

// One interpolation attempt of mod_multivar_Chinese: x at expo + deg glc + 1
// residues a (spread with random gaps, glc the GCD of the leading
// coefficients of x and y in the second variable), the image GCDs in the
// second variable scaled to leading coefficient glc(a), Newton's
// interpolation in the top variable, the content in the second variable
// removed (when glc is not a number) and the result made monic. xdeg, ydeg:
// the degrees of x and y in the second variable (points that lower them are
// passed over, as are images of higher degree than the first). False, with
// nothing allocated, when the residues run out or an image has a lower
// degree than the first. x, y: kept; *r: set on success. Modular mode.
bool sub_mod_multivar_Chinese(poly x, poly y, poly* r, std::int32_t expo, std::int32_t xdeg,
                              std::int32_t ydeg, polypt pt);

// ---- Tree operations of the evaluation method ----------------------------------------------
// *p := q with its top variable replaced by the residue held in the
// constant n2 (1 <= value < modulus; otherwise an internal error and *p :=
// 0), by Horner's rule over the top list; with addpad a polynomial result
// gets one pad node so that it sits at q's level again.
// q, n2: kept; *p: replaced (must not be q's cell). Modular mode.
void mod_poly_at_numb(poly* p, poly q, poly n2, polypt pol, bool addpad);

// *p with its two top variables exchanged (x^e y^f d becomes y^f x^e d),
// rebuilt from copies; a constant is left alone. *p: replaced.
void swap_levels_1_2(poly* p);

// The GCD of x's coefficients with respect to its second variable (content
// of the copy with the two top variables exchanged), as a polynomial at x's
// level free of that variable. x: kept; the result is new.
poly content_2(poly x, polypt pt);

// x does not involve its second variable: every top-level coefficient that
// is a polynomial (a pad) is replaced in place by the coefficient one level
// down, and the removed pad nodes are appended to the list *q (through
// next; their pcoef cleared). *allnumbs := no coefficient was a polynomial;
// *deg is raised to the degree of every new coefficient.
// x: changed in place; *q: appended to.
void raise_coefs(poly x, poly* q, bool* allnumbs, std::int32_t* deg);

// Renumbers the levels below pt: val is subtracted from the depth of every
// record after pt and from field_depth when that is positive (val -1: one
// level deeper, for a level inserted above them; 1 undoes it).
// writes: the depths of pt->next, pt->next->next, ..., field_depth
void change_polydata_1(std::int16_t val, polypt pt);

}  // namespace tavrin
