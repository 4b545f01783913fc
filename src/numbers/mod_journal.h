// Leaving modular mode for integer work, and the undo journals of values
// turned temporarily into residues.
//
// The bracket: check_modular switches modular mode off (word mode stays on,
// so numbers inside are plain machine integers in `lint`, not reduced) and
// counts the open brackets that did so in `mod_is_changed`; restore_modular
// puts the flag back. ModularBracket pairs the two on every exit.
//
// The journals: conversions to residues change links and value cells in
// place and push one record per change, newest first. Replaying a journal
// puts every cell back, so the values return node for node.
//   masterfix (fixdata): `special` zzero: `prev` is a poly cell (a list head,
//     a `next` or a `pcoef` field) that held `node`; one, two, three: `prev`
//     is a value cell (quoly) that was turned into a temporary form: one a
//     number borrowed from a numerator leaf, two a fresh number, three a
//     fresh numerator and denominator; four: `prev` is a value cell whose
//     rat flag was cleared; five: `prev` is a poly cell given a fresh node
//     while the journal stands (a relation whose image vanished): the node
//     is freed and `node` put back.
// A record made while a stored value was converted is owned by that value
// (`owner`, and the value's `journalled` flag): the value may be freed while
// the journal still holds its records (a variable cancelled or assigned
// anew while the ring is modular), so freeing it first replays its own
// records, and the journal never points into freed nodes. Its numbers hold
// limbs beside their residues, so the value is freed limbs and all whatever
// the ring.
// The sparse journal of unlinked entries lives with the change of ground
// ring (frontend/ring_change.h).
#pragma once

#include "core/records.h"
#include "numbers/freelists.h"

namespace tavrin {

extern fixptr masterfix;  // undo journal of temporary residues, newest first

// Pushes the record (cell, old, special), owned by no value yet, on
// masterfix and returns it: cell is what changed (see the journal kinds
// above), old what it held.
// writes: masterfix
inline fixptr push_fix(void* cell, poly old, classtype special) {
  fixptr f;
  newfix(&f);
  *f = fixdata{cell, old, special, nullptr, masterfix};
  masterfix = f;
  return f;
}

// *modular_stuff := modularmode; when it was on it is switched off and
// mod_is_changed goes up by 1.
// writes: modularmode, mod_is_changed
void check_modular(bool* modular_stuff);

// modularmode := modular_stuff; when that is on, mod_is_changed goes down by
// 1 (never below 0: an error that unwound through the bracket has already
// reset the count).
// writes: modularmode, mod_is_changed
void restore_modular(bool modular_stuff);

// check_modular for the guard's lifetime, restore_modular at its end.
class ModularBracket {
 public:
  ModularBracket() { check_modular(&saved_); }
  ~ModularBracket() { restore_modular(saved_); }
  ModularBracket(const ModularBracket&) = delete;
  ModularBracket& operator=(const ModularBracket&) = delete;

 private:
  bool saved_ = false;
};

// Replays the journal *fx from its first (newest) record: zzero: *prev :=
// node (five: the node it holds is freed first); one: the value cell's
// numb := false, denom := nil; two: its number
// is freed, then as one; three: its numerator and denominator are freed
// (both nil); four: its rat := true. The records go back on fixgarb and
// *fx := nil; an empty journal does nothing. (A value stays marked
// journalled: it holds its integers, and is freed limbs and all.)
// *fx: consumed, set to nil
void restore_from_mod(fixptr* fx);

// The records pushed on masterfix since it was `before` become q's own and
// q is journalled (q: the stored value just converted in place).
void own_journal_records(quoly q, fixptr before);

// The records pushed on masterfix since it was `before` become owner's own
// (owner: a variable record whose relation was just converted in place).
void claim_journal_records(void* owner, fixptr before);

// The records of `owner` are taken out of masterfix and replayed (newest
// first): what they changed is as it was, and nothing in the journal points
// into it any more.
void release_journal_records(void* owner);

// q is about to be freed: its own records are released, so that q holds its
// exact value again; q is no longer journalled.
void release_journalled(quoly q);

// Frees the relation polynomials of the variable record r (p, alt, roots,
// multdata; each nil afterwards): their records are released first, and
// their numbers are freed limbs and all whatever the ring.
void free_relations(polypt r);

}  // namespace tavrin
