// Helpers shared by the value routines of quoly/: kinds of values, the
// changes of kind in place, and the GCD requests of the value code.
// Private to quoly/.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "core/globals.h"
#include "core/records.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/number_tests.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "quoly/quoly_normal_form.h"

namespace tavrin::detail {
using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::set_ratfun;

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

// A fresh number holding the small value v in the current mode (flote,
// lint or one limb); the fields of the other modes hold v too.
inline imptr small_number(std::int32_t v) {
  imptr z;
  newimag(&z);
  z->lint = v;
  z->flote = v;
  if (!flotemode && !lintmode) setvalue(v, z);
  return z;
}

// A fresh number holding 0 in the current mode.
inline imptr zero_number() { return small_number(0); }

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
  set_ratfun(q, nullptr, nullptr);
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

// The cases every normal form settles first: a number stays; a zero
// numerator makes v the number 0; without a denominator a constant numerator
// makes v a number. True when v is settled.
inline bool settle_without_denominator(quoly v) {
  if (v->numb) return true;
  if (poly_iszero(v->numer)) {
    become_zero(v);
    return true;
  }
  if (v->denom == nullptr) {
    number_if_constant(v);
    return true;
  }
  return false;
}

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

// Every GCD the value code asks for: polygcd(u, v, r, pt) with the default
// flags (leave_early false, do_fast, allcons, usave, vsave and canreset
// true), counted in value_gcd_requests. u, v: kept; *r: overwritten.
inline void value_polygcd(poly u, poly v, poly* r, polypt pt) {
  ++value_gcd_requests;
  polygcd(u, v, r, pt);
}

// The GCD of two polynomials as the value code asks for it: alg_c_count := 0
// and original_depth := 1 first, over polynames. A GCD that does not come
// back is 1. u, v: kept; *r: overwritten.
inline void value_gcd(poly u, poly v, poly* r) {
  alg_c_count = 0;
  original_depth = 1;
  value_polygcd(u, v, r, polynames);
  if (*r == nullptr) poly_set(1, r);
}

// A fresh number holding 1 in the current mode.
inline imptr one_number() { return small_number(1); }

// q (the same node) becomes the number value 1; its former parts are freed.
inline void become_one(quoly q) { become_number(q, one_number()); }

// *inv := 1 / c modulo the modulus, c a non-zero residue: the field inverse
// in characteristic 2, else extended Euclid on (modulus, c). False when c
// has no inverse (a modulus that is not prime). reads: modulus, finf
inline bool residue_inverse(std::int32_t c, std::int32_t* inv) {
  if (finf) {
    *inv = c;
    verse(inv);
    return true;
  }
  const std::optional<std::uint32_t> r = checked_inverse(c, modulus);
  if (!r) return false;
  *inv = static_cast<std::int32_t>(*r);
  return true;
}

// Every monomial of the polynomial m lies above every monomial of n: m is
// no constant, its lowest top-level node a term of positive exponent, and n
// a constant or a list of lower degree. Then m's terms go in front of n's
// and no coefficient meets another. Outside Laurent mode. m, n: kept.
bool terms_above(poly m, poly n);

// a/b ± c/d for two fractions over constants, d dividing b, when every
// monomial of c lies above a's (terms_above): the numerator becomes ±c
// (b/d) in front of a's terms and the denominator stays b, the value the
// general method gives (g = d; the numerator's content shares nothing with
// b, as a's does not: g2 = 1), without its two GCDs. Big-integer
// arithmetic, no relations, field levels or Laurent mode. True: n changed
// in place (m kept); false: nothing changed.
bool prepend_fraction_sum(quoly n, quoly m, bool sub);

}  // namespace tavrin::detail
