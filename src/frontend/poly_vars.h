// Adjoining and cancelling polynomial variables.
//
// The variable list polynames runs from the top variable (depth 1) down,
// depths 1 .. number_polys (at most 150) renumbered after every change;
// polyvar holds the same names in ascending byte order (its_a_polyname).
// Adjoining puts a new record at the top (every stored value gains a pad
// level) or, with ">", at the bottom (nothing is rewritten). Cancelling
// substitutes 1 for the variable in every stored value and removes its
// level. Both set the previous result to 0.
#pragma once

#include <string>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Adjoins or cancels a variable. not_imper: the bare command "&J", which
// prompts for the name and reads it from Input ("-" cancels; "Var" k names
// the k-th variable from the top when cancelling); otherwise the valued form
// "&(J = name)" read from inf: "=" or ">" (the bottom) is the current token,
// then an optional "-", the name, and ")" or ", P = relation )" (the new
// top variable modded out, set_mod_out). *doscanner comes back false when the closing ")" has
// been read here. Messages when windy, when not_imper, or when *flag is nil.
// Errors: 4, 28, 124, 126, 135, 169, 228, 355, 356, 360, 361, 362; 73 where
// refuse_ring_change refuses (a statement run as an operand, a nested level
// above a suspended statement), before anything is read.
// writes: polynames, pseudo_polynames, number_polys, polyvar, field_depth,
// prevnum, every stored value, changed_in_modmode, badcnt
void attach_poly(textptr inf, nameptr* flag, bool not_imper, bool* doscanner);

// get_from_array (the name spelled by an array operand): declared in
// toplevel/language_services.h.

// polyvar and number_polys after the name was inserted into or removed from
// polynames (by byte order). reads: polynames
void insert_polyvar(const char* name);
void remove_polyvar(const char* name);

// Registers the error step that resumes a suspended quotient ring and
// recomputes the state derived from the variable list.
void install_poly_vars();

}  // namespace tavrin
