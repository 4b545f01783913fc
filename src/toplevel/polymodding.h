// The state derived from the variable list and its relations, and the
// suspension of the quotient ring.
//
// polynames runs from the top variable (depth 1) down. A record with a
// relation p is modded out; the bottom run of records flagged field forms
// the coefficient field, from field_depth down (0: no field levels).
// pseudo_polynames is polynames while some record has a relation, else nil;
// modout_above_field says that a record above the field has one.
//
// Suspension: some matrix methods compute in the plain polynomial ring over
// the field levels. adjust_polyname_ptrs replaces the records above the
// field by relation-free copies (name and depth only) whose last one links
// to the field levels themselves; resume_old_polynames puts the full list
// back and the copies on pt_garb. An error unwinding while suspended
// resumes too (its report hook).
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Whether a matrix method must suspend polymodding: not when already
// suspended, nor when allpolys without LaGrange or Groebner work and mycut
// >= m; otherwise when a record above the field levels has a relation.
// reads: polynames, field_depth, using_new_polynames
bool need_to_turn_off_mod_out(bool allpolys, bool want_LaGrange, bool do_gb, std::int32_t mycut,
                              std::int32_t m);

// Suspends: old_polynames := polynames, polynames := pseudo_polynames := the
// copies; one progress level deeper; with verbose the progress line
// "Polymodding suspended on vars 1 to " k.
void adjust_polyname_ptrs();

// Resumes: the copies go to pt_garb, polynames := pseudo_polynames :=
// old_polynames; one progress level up; with verbose "Polymodding resumed on
// vars 1 to " k.
void resume_old_polynames();

// Recomputes pseudo_polynames, field_depth (the start of the bottom run of
// field-flagged records), the field flags (cleared above it, set from it
// down), modout_above_field and char2_degs1; with no field levels the first
// auxiliary prime list is forgotten (no_aux_primes2, aux_prime1_number 0,
// aux1_hit_0 false).
void reset_pseudo_poly();

// The step of an error that unwinds: a suspension is resumed, then
// reset_pseudo_poly. Installed by install_poly_vars (frontend/poly_vars.h).
void polymodding_on_error(std::int32_t code);

}  // namespace tavrin
