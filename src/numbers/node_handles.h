// Owning handles and node helpers shared by every folder: scratch records
// with guaranteed release for routines that an error can unwind through,
// and the few constructors of nodes that most routines need.
//
// A handle owns what it holds until the holder releases it: its destructor
// gives the records back on every exit, an unwinding error included.
#pragma once

#include <cstdint>
#include <utility>

#include "core/globals.h"
#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"

namespace tavrin::nodes {

// ---- Owning handles --------------------------------------------------------------------

// The field each handle keeps its record in. It is public: holders pass
// &h.p to routines that fill a polynomial, or write h.q directly.
struct PolyField {
  poly p = nullptr;
};
struct NumberField {
  imptr n = nullptr;
};
struct ValueField {
  quoly q = nullptr;
};
struct LevelField {
  polypt pt = nullptr;
};
struct NamesField {
  nameptr names = nullptr;
};

// The one owning handle: the record in Field::*held is given back by
// give_back (which takes nil) on every exit unless released to the caller.
template <class Field, class T, T Field::*held, void (*give_back)(T*)>
class Owning : public Field {
 public:
  Owning() = default;
  explicit Owning(T r) { this->*held = r; }
  ~Owning() { give_back(&(this->*held)); }
  Owning(const Owning&) = delete;
  Owning& operator=(const Owning&) = delete;
  T get() const { return this->*held; }
  T* cell() { return &(this->*held); }
  T release() { return std::exchange(this->*held, nullptr); }
};

// Gives back a scratch number's limbs whatever the mode, then its header.
inline void free_scratch_number(imptr* n) {
  if (*n == nullptr) return;
  special_free(*n);
  free_imag(n);
}

// A number header for intermediate values, starting as zero in every
// field (no limbs, lint 0, flote 0): its limbs (whatever the mode) and the
// header go back on every exit unless released to the caller.
class ScratchNumber : public Owning<NumberField, imptr, &NumberField::n, free_scratch_number> {
 public:
  ScratchNumber() {
    newimag(&n);
    n->lint = 0;
    n->flote = 0;
  }
};

// A number read as an integer whatever the ring in force (an exponent): its
// limbs (whatever the mode) and the header go back on every exit.
using OwnedInteger = Owning<NumberField, imptr, &NumberField::n, free_scratch_number>;

// A polynomial under construction, freed on every exit unless released to
// the caller.
using OwnedPoly = Owning<PolyField, poly, &PolyField::p, free_poly>;

// A number header, fresh or taken over, freed (free_imag: limbs and header)
// on every exit unless released to the caller.
class OwnedNumber : public Owning<NumberField, imptr, &NumberField::n, free_imag> {
 public:
  OwnedNumber() { newimag(&n); }
  explicit OwnedNumber(imptr r) : Owning(r) {}
};

// A value cell (number or rational function), freed on every exit unless
// released to the caller.
using OwnedValue = Owning<ValueField, quoly, &ValueField::q, free_quoly>;

// Gives back a whole token list (nil allowed).
inline void free_names(nameptr* p) {
  if (*p != nullptr) freename(*p);
  *p = nullptr;
}

// A token list (captured or stored text), freed on every exit unless
// released to the caller.
using OwnedNames = Owning<NamesField, nameptr, &NamesField::names, free_names>;

// A working copy of a level without its relation (newdummy), freed on every
// exit.
class DummyLevel : public Owning<LevelField, polypt, &LevelField::pt, free_pt> {
 public:
  explicit DummyLevel(polypt pol) { newdummy(pol, &pt); }
};

// ---- Node helpers ----------------------------------------------------------------------

// A leaf with no successor: a whole constant.
inline bool is_bare_leaf(poly p) { return p->numb && p->next == nullptr; }

// deg p: the exponent of its first node, 0 for a leaf.
inline std::int32_t degree(poly p) { return p->numb ? 0 : p->exp; }

// A fresh term node x^e over coef (moved in), followed by next.
inline poly new_term(std::int32_t e, poly coef, poly next = nullptr) {
  poly t;
  newpoly(&t);
  t->exp = e;
  t->numb = false;
  t->pcoef = coef;
  t->next = next;
  return t;
}

// A fresh leaf node holding the number n (moved in), next nil.
inline poly new_leaf(imptr n) {
  poly t;
  newpoly(&t);
  t->exp = 0;
  t->numb = true;
  t->ncoef = n;
  t->next = nullptr;
  return t;
}

// A fresh number value cell holding n (moved in).
inline quoly new_number_value(imptr n) {
  quoly q;
  newquoly(&q);
  q->next = nullptr;
  q->numb = true;
  q->ncoef = n;
  q->arr_arg = false;
  return q;
}

// The value cell q (its former parts already freed or handed on) becomes
// the rational-function cell numer / denom (both moved in), rat false.
inline void set_ratfun(quoly q, poly numer, poly denom) {
  q->numb = false;
  q->numer = numer;
  q->denom = denom;
  q->rat = false;
}

// A fresh rational-function cell numer / denom (both moved in); a nil
// denominator is 1.
inline quoly new_ratfun_value(poly numer, poly denom) {
  quoly q;
  newquoly(&q);
  q->next = nullptr;
  set_ratfun(q, numer, denom);
  return q;
}

// A fresh node of a token chain holding t, of kind tipe (zzero: a plain
// token), bound to nothing (nother and qp nil), next nil.
inline nameptr new_name(const tokentipe& t, classtype tipe = zzero) {
  nameptr n;
  newname(&n);
  n->let = t;
  n->nother = nullptr;
  n->qp = nullptr;
  n->tipe = tipe;
  n->next = nullptr;
  return n;
}

// Appends node (its next already nil) to the list head .. tail linked
// through next; both are nil for an empty list.
template <class Node>
inline void append_node(Node*& head, Node*& tail, Node* node) {
  if (tail == nullptr) {
    head = node;
  } else {
    tail->next = node;
  }
  tail = node;
}

// ---- Stored integers as operands of ring arithmetic ----------------------------------
// In modular arithmetic an integer result (a count, a degree, a position) is
// stored as the integer itself and may lie outside the residues; ring
// arithmetic reads it as its image (integer_image). Every other value is
// used as it is.

// v is a number value of the modular ring whose word is not a residue.
inline bool unreduced_integer(quoly v) {
  return modularmode && !flotemode && v != nullptr && v->numb && v->ncoef != nullptr &&
         outside_residues(v->ncoef->lint);
}

// v, the caller's own, takes its image in place.
inline void settle_integer_inplace(quoly v) {
  if (unreduced_integer(v)) v->ncoef->lint = integer_image(v->ncoef->lint);
}

// An operand that is kept: v itself, or its image in a cell held for the
// scope.
class RingOperand {
 public:
  explicit RingOperand(quoly v) : v_(v) {
    if (!unreduced_integer(v)) return;
    quoly_set(integer_image(v->ncoef->lint), &image_.q);
    image_.q->next = nullptr;
    v_ = image_.q;
  }
  quoly get() const { return v_; }

 private:
  OwnedValue image_;
  quoly v_;
};

}  // namespace tavrin::nodes
