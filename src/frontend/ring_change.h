// Changing the ground ring between rational and modular arithmetic, and
// converting the stored values into the new ring.
//
// Entering modular arithmetic sets the modulus (set_word_modulus) and the
// mode flags, reduces the adjoined variables' relations and the
// characteristic-polynomial tables with journal entries (masterfix), then
// converts the stored values for good: the previous result, the scalar
// variables bucket by bucket, the dense cells of the system array, the
// sparse arrays and the system array's sparse frames. Returning lifts the
// stored values in the same order and replays the journal last.
//
// A name list (the tokens after ":" up to ")") restricts the conversion to
// the named data; an entry marked "*" is journalled so that the return
// gives its exact old value back, "**" journals everything. The values the
// list leaves out are journalled too: they read as their residues while the
// ring is modular, and every return gives them back exactly.
//
// A change is all or nothing: an error raised while converting (other than
// the reports that end a name list) leaves the old ring and every stored
// value as they were. Interrupts are held while values are converted.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The journal of the sparse entries that a journalled conversion unlinked
// because they vanished modulo the prime, newest first (records from new).
extern sparse_fixer sparse_fix;

// Links every entry of sparse_fix back into its array, found by name and
// creation stamp, at its row and column; an entry whose array is gone, or
// whose place the array has meanwhile filled, is freed instead. The records
// are deleted; sparse_fix := nil.
void restore_sparsefix();

// What change_prec shares with the conversion steps.
struct change_prec_EnvRec {
  bool wasmodular = false;  // the switch returns to rational arithmetic
  textptr inf = nullptr;
};

// One switch of the ground ring; the direction is decided by modularmode.
// val2: the new modulus, or -1 (return to rational arithmetic; in rational
// arithmetic -1 asks for the modulus: at the terminal until one in range is
// given, otherwise read from the statement). np: a name list or nil.
// printstuff: write the progress lines. *num ends as 0.
// Errors: 62 (a computation works modulo a prime), 84 (modulus outside 2 ..
// 2147483644), 148 (the asked modulus is not a number), 353 (return after a
// relation was set in modular arithmetic).
// writes: the ground-ring globals, every stored value, prevnum, sysnum,
// poly_cutoff, div_poly_cutoff, disp_size, rand_denom_n, the GCD cache
void change_prec(textptr inf, quolyptr num, nameptr* flag, std::int32_t val2, nameptr np,
                 bool printstuff);

// *q converted into the current modular ring for good; nil when it
// vanished. A denominator that vanishes frees the value (nil) with the
// zero-denominator warning (at most 40 a command, see
// finish_zero_denominator_warnings).
void quoly_change_num(quolyptr q);

// The adjoined variables' relations and the characteristic-polynomial
// tables: reduced with journal entries when entering, the journal replayed
// when returning.
void change_polydata(change_prec_EnvRec* env);

// The conversion of the data named by the list np (its first node is the
// first token) in place of the conversion of every stored value.
void change_local(nameptr np, change_prec_EnvRec* env);

// "&p": switch, asking for the modulus when in rational arithmetic; "&p("
// captures the rest of the line as a name list. Error 73 in a nested level,
// 264 for "&p(" in stored text, 1 when nothing was captured.
void modulus_command(textptr inf, quolyptr n, nameptr* flag);

// "&(p = v)" after the "=": the value (a sum read as an exact integer, or
// "_i" for rational arithmetic), an optional ":" and name list, and ")".
// Errors 62, 73, 84, 135, 137, 147; each abandons the statement (the ring
// cannot change to a value refused).
void modulus_setting(textptr inf, quolyptr n, nameptr* flag);

// Called after every value converted into a modular ring; tests use it to
// inject a fault. Nil in the product.
extern void (*ring_change_probe)();

// The user has set the signed display ('H') for themselves: a
// characteristic-2 field no longer puts it back on when it is left.
void signed_display_chosen();

}  // namespace tavrin
