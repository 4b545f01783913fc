// Rewriting every stored value when the variable list or the Laurent mode
// changes, so that each stays a valid value over the new ring.
//
// The stored values, in the order they are visited: the previous result
// prevnum (and, for the Laurent switch, the current statement's value
// sysnum), the scalar variables of sca_store bucket by bucket, the dense
// array cells 0 to endarr, the dense cells of the system array syst (0 to
// its stop, when it is not sparse), the entries of the sparse arrays of
// arr_store (a store shared by two records once), and the system array's
// sparse entries. A sparse entry that becomes zero is removed.
//
// Adjoining at the top wraps every polynomial in a pad (a term of exponent
// 0 over it; a bare number leaf is never wrapped): no arithmetic. Cancelling
// the variable at depth d substitutes 1 for it and removes the level; a
// value whose denominator vanishes at 1 becomes 1 with a warning (at most 40
// per command; the caller writes the summary). The Laurent switch moves
// monomial denominators into negative exponents, or back.
//
// Cancelling and the Laurent switch compute every new value before any is
// stored, so an error leaves all values as they were; no interrupt is
// honoured while they run.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Warnings of one ring-change command before the summary line.
constexpr std::int32_t ring_change_warning_limit = 40;

// What the cancelling of the variable at depth `depth` works with: the input
// and cursor passed to the evaluation, and the value 1 (a number value).
struct attach_poly_EnvRec {
  textptr inf;
  nameptr* flag;
  quoly one;
  std::int16_t depth;
};

// Cancelling: a value that does not involve the variable only loses its
// level (the same value the substitution gives). Tests switch it off to
// compare with the substitution (true).
extern bool downdate_shortcut;

// Every stored value gains a pad level at the top: update_vars the scalar
// variables, update_arrays the array cells and entries (dense, system,
// sparse).
void update_vars();
void update_arrays();

// 1 put for the variable at env.depth and that level removed: downdate_vars
// in every scalar variable, downdate_arrays in every dense array cell and
// dense cell of the system array. A value whose denominator vanishes at 1
// becomes 1 with the warning of its storage while badcnt (counting them)
// is at most the limit. Each rewrites its values together: on an error none
// of them has changed.
// reads: polynames, mode flags; writes: badcnt
void downdate_vars(attach_poly_EnvRec* env);
void downdate_arrays(attach_poly_EnvRec* env);
// downdate_vars, downdate_arrays and the same for the entries of the sparse
// arrays (an entry that becomes 0 is removed), stored as one rewriting: on
// an error no value has changed.
void downdate_stored_values(attach_poly_EnvRec* env);

// Switches Laurent mode to newval and brings every stored value (prevnum and
// sysnum first) into the form the mode expects. Error 73 where
// refuse_ring_change refuses (an operand, a level above a suspended
// statement); error 377 in word mode (resumed from a nested level,
// the switch goes on).
void change_laurent(bool newval);

// Error 271, with the variable's name, for the first variable from the top
// modded out by a relation that is not a field (error 73 first where
// refuse_ring_change refuses); either abandons the statement.
// reads: polynames
void check_for_mod_out();

}  // namespace tavrin
