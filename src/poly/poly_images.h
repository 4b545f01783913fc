// Images of numbers and polynomials in another ground ring: residues modulo
// `modulus`, long doubles, and the lifting of residues back to integers;
// the temporary in-place modular image of a polynomial with its undo journal.
//
// A number keeps its integer in its limbs (head, tail, size) and its residue
// in `lint`. The conversions to residues write `lint` only, so the integer
// survives under the residue unless a contract says the limbs are released.
//
// Residue of an integer with limbs l1 .. lk (base 2^28, most significant
// first, each with the number's sign):
//   - outside characteristic 2: Horner's rule, r := l1 mod modulus made
//     non-negative, then r := r * (2^28 mod modulus) + l(i) mod modulus;
//   - characteristic 2 (`finf`, modulus 256 or 65536): |l1| mod modulus for
//     one limb; several limbs have no meaningful image (a warning says so)
//     and give |lk| mod modulus, which is |n| mod modulus.
// Warnings are printed only with `verbose` and while fewer than 20 have been
// printed in the current command (`warn_cnt`, which each one raises).
//
// The temporary image (poly_change_to_mod) walks the polynomial through its
// link cells (the list head, `next` fields, `pcoef` fields) and changes them
// in place: zero leaves and terms whose coefficient vanished are unlinked,
// and an exponent-0 term left over a bare leaf is replaced by that leaf.
// Before a cell first changes in a walk, one record (cell, old value) is
// pushed on the journal `masterfix` (numbers/mod_journal.h); unlinked nodes
// are not freed and stay reachable through the journal.
// restore_from_mod(&masterfix) replays it and gives back the polynomial node
// for node, limbs untouched. Until then the polynomial must not be freed or
// used in its own ring. Images of several polynomials may share one journal.
// ModularImage is the guard that makes sure the journal is replayed.
#pragma once

#include "core/interrupts.h"
#include "core/records.h"
#include "core/ring.h"
#include "numbers/mod_journal.h"

namespace tavrin {

// ---- Numbers ---------------------------------------------------------------
// n's lint := n mod modulus by the rule above; with should_free the limbs are
// released and size := 0. shouldwarn allows the warning for a negative
// one-limb value in characteristic 2 (values >= modulus always warn).
// n: changed (lint; limbs when should_free), must have limbs;
// reads: modulus, two28_mod, smallmodulus, finf, verbose; writes: warn_cnt
void change_num(imptr n, bool should_free, bool shouldwarn);
void change_num(imptr n, bool should_free, bool shouldwarn, const Ring& ring);

// n's flote := its limbs' value: f := l1, then f := f * 2^28 + l(i).
// n: changed (flote), must have limbs
void change_flote(imptr n);

// change_flote on every leaf of p, at every level.
// p: changed (flote fields)
void poly_change_to_flote(poly p);

// ---- Temporary modular image ---------------------------------------------------
// *p := its image modulo modulus, in place, every changed cell logged in
// masterfix (see above); nil when every coefficient vanished. Leaves get
// their residues by change_num (limbs kept).
// *p: changed in place until restore_from_mod(&masterfix); reads: as
// change_num; writes: masterfix, warn_cnt
void poly_change_to_mod(poly* p, bool shouldwarn);
void poly_change_to_mod(poly* p, bool shouldwarn, const Ring& ring);

// poly_change_to_mod, without warnings, on every level of polynames: its
// relation p and alt (when present) and the coefficient of every node of its
// multdata list.
// reads: polynames; writes: those polynomials in place, masterfix
void change_poly_modout_data();

// Sets the journal in force aside and starts an empty one for its lifetime;
// the destructor replays that journal (restore_from_mod) and puts the
// set-aside journal back, on every exit, an unwinding error included. The
// images made meanwhile therefore always come back. Interrupts wait while
// an image exists (a nested level could change what the journal records):
//   ModularImage image;
//   image.take(&x);
//   image.take(&y);
//   image.take_modout_data();
//   ... compute modulo the prime ...
//   image.restore();            // or leave the scope
class ModularImage {
 public:
  ModularImage() : outer_(masterfix) { masterfix = nullptr; }
  ~ModularImage() {
    restore_from_mod(&masterfix);
    masterfix = outer_;
  }
  ModularImage(const ModularImage&) = delete;
  ModularImage& operator=(const ModularImage&) = delete;

  // poly_change_to_mod(p, shouldwarn).
  void take(poly* p, bool shouldwarn = false) { poly_change_to_mod(p, shouldwarn); }
  // change_poly_modout_data().
  void take_modout_data() { change_poly_modout_data(); }
  // Replays the journal now; the scope stays open for further images.
  void restore() { restore_from_mod(&masterfix); }

 private:
  InterruptHold hold_;
  fixptr outer_;
};

// ---- Lifting -------------------------------------------------------------------
// Every leaf's residue r (its lint) becomes the integer r, or r - modulus
// when alt_form_display is set and r > modulus div 2, written to the limbs
// (one limb below 2^28 in magnitude, else two); old limbs are released.
// p: changed (limbs); reads: modulus, alt_form_display
void poly_change_from_mod(poly p);
void poly_change_from_mod(poly p, const Ring& ring);

// on_number(q's number) for a number value q, else on_poly(numerator) and
// on_poly(denominator) when it has one.
template <class N, class P>
void for_value_parts(quoly q, N&& on_number, P&& on_poly) {
  if (q->numb) {
    on_number(q->ncoef);
    return;
  }
  on_poly(q->numer);
  if (q->denom != nullptr) on_poly(q->denom);
}

// The same for a value: its number, or every leaf of its numerator and of
// its denominator (when present).
// q: changed (limbs); reads: modulus, alt_form_display
void quoly_change_from_mod(quoly q);

}  // namespace tavrin
