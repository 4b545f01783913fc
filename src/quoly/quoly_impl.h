// Helpers shared by the value routines of quoly/: kinds of values, the
// changes of kind in place, and the GCD requests of the value code.
// Private to quoly/.
#pragma once

#include <cstdint>
#include <utility>

#include "core/globals.h"
#include "core/records.h"
#include "gcd/gcd.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"

namespace tavrin::detail {

// Word-size arithmetic: every number one word (modular residues, plain
// words) or one long double; no rational numbers, no integer contents.
inline bool word_size() { return lintmode || flotemode; }

// A rational number: numerator and denominator both integer constants.
inline bool is_rational(quoly q) { return !q->numb && q->rat; }
// A rational function with a denominator (a rational number included).
inline bool is_fraction(quoly q) { return !q->numb && q->denom != nullptr; }
// A polynomial value: no denominator.
inline bool is_polynomial(quoly q) { return !q->numb && q->denom == nullptr; }

// A fresh copy of the number n in the current mode.
inline imptr number_copy(imptr n) {
  imptr x;
  newimag(&x);
  x->lint = n->lint;
  x->flote = n->flote;
  num_assign(n, x);
  return x;
}

// A fresh number holding 0 in the current mode (flote, lint or one limb).
inline imptr zero_number() {
  imptr z;
  newimag(&z);
  z->lint = 0;
  z->flote = 0.0L;
  if (!flotemode && !lintmode) setvalue(0, z);
  return z;
}

// A constant numerator without a denominator makes q a number value (the
// same node).
inline void number_if_constant(quoly q) {
  if (!q->numb && q->denom == nullptr && is_bare_leaf(q->numer)) polynum_to_quoly(&q);
}

// The rat rule after a sum whose denominator was kept: a number leaf over a
// number leaf, outside word mode.
inline void set_rat_rule(quoly q) {
  q->rat = !lintmode && q->denom != nullptr && is_bare_leaf(q->denom) && is_bare_leaf(q->numer);
}

// q (a number value, the same node) becomes a rational-function cell with
// no numerator or denominator; its number is handed to the caller.
inline imptr take_number(quoly q) {
  imptr n = q->ncoef;
  q->numb = false;
  q->numer = nullptr;
  q->denom = nullptr;
  q->rat = false;
  return n;
}

// q (the same node) becomes the number value holding num (moved in); its
// former parts are freed.
inline void become_number(quoly q, imptr num) {
  if (q->numb) {
    free_imag(&q->ncoef);
  } else {
    free_poly(&q->numer);
    free_poly(&q->denom);
  }
  q->numb = true;
  q->ncoef = num;
  q->arr_arg = false;
}

// q (the same node) becomes the number value 0; its former parts are freed.
inline void become_zero(quoly q) { become_number(q, zero_number()); }

// q (the same node) becomes the rational number num / den (both moved in),
// reusing its leaves when it has them.
inline void become_rational(quoly q, imptr num, imptr den) {
  if (q->numb) {
    free_imag(&q->ncoef);
    q->numb = false;
    q->numer = nullptr;
    q->denom = nullptr;
  }
  for (auto [cell, value] : {std::pair{&q->numer, num}, std::pair{&q->denom, den}}) {
    if (*cell != nullptr && is_bare_leaf(*cell)) {
      free_imag(&(*cell)->ncoef);
      (*cell)->ncoef = value;
    } else {
      free_poly(cell);
      *cell = new_leaf(value);
    }
  }
  q->rat = true;
}

// The GCD of two polynomials as the value code asks for it: alg_c_count := 0
// and original_depth := 1 first; leave_early false, do_fast, allcons,
// usave, vsave and canreset true, over polynames. A GCD that does not come
// back is 1. u, v: kept; *r: overwritten.
inline void value_gcd(poly u, poly v, poly* r) {
  alg_c_count = 0;
  original_depth = 1;
  polygcd(u, v, r, false, true, true, polynames, true, true, true);
  if (*r == nullptr) poly_set(1, r);
}

}  // namespace tavrin::detail
