// Helpers shared by the division routines of poly/: degrees and leading
// coefficients of term lists, the guards that change a divisor in place
// and restore it, field elements and their inverses, and the long-division
// loop. Private to poly/.
#pragma once

#include <cstdint>
#include <utility>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin::detail {
using tavrin::nodes::degree;
using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::num_is_zero_now;
using tavrin::nodes::OwnedPoly;

// The leading coefficient's node: a leaf itself, else its coefficient.
inline poly lead_node(poly p) { return p->numb ? p : p->pcoef; }

// The depth of a level, 1 when no level applies.
inline std::int16_t level_depth(polypt pt) { return pt != nullptr ? pt->depth : 1; }

// p is the zero polynomial.
inline bool is_zero(poly p) { return is_bare_leaf(p) && num_is_zero_now(p->ncoef); }

// The tail of a divisor (its nodes after the first) negated in place for
// the guard's lifetime, interrupts held meanwhile (a nested command level
// would see the divisor changed).
class NegatedTail {
 public:
  explicit NegatedTail(poly m) : tail_(m->next) { poly_inplace(tail_); }
  ~NegatedTail() { poly_inplace(tail_); }
  NegatedTail(const NegatedTail&) = delete;
  NegatedTail& operator=(const NegatedTail&) = delete;
  poly get() const { return tail_; }

 private:
  InterruptHold hold_;
  poly tail_;
};

// m (a polynomial at level pt) lies in the coefficient field: the level of
// its first list that is not a pad is a field level. reads: field_depth
inline bool in_field_levels(poly m, polypt pt) {
  return field_depth > 0 && pt != nullptr && pt->depth + poly_depth(m) - 1 >= field_depth;
}

// The inverse of a field element modulo the relations, as its numerator and
// its number denominator (nil meaning 1); both are freed with the record.
class FieldInverse {
 public:
  FieldInverse() = default;
  ~FieldInverse() {
    free_poly(&numer);
    free_poly(&denom);
  }
  FieldInverse(const FieldInverse&) = delete;
  FieldInverse& operator=(const FieldInverse&) = delete;

  // Takes the inverse of c over the levels from pt down (poly_mod_invert);
  // false when none came back. c: kept
  bool take(poly c, polypt pt) {
    quoly v = nullptr;
    poly_mod_invert(c, &v, pt);
    if (v == nullptr) return false;
    if (v->numb) {
      quoly_consume(&v, &numer);  // a number inverse: the leaf alone
    } else {
      numer = v->numer;
      denom = v->denom;
      v->numer = nullptr;
      v->denom = nullptr;
      free_quoly(&v);
    }
    return numer != nullptr;
  }
  // The denominator is absent or a number.
  bool denom_is_number() const {
    return denom == nullptr || (denom->numb && denom->next == nullptr);
  }

  poly numer = nullptr;
  poly denom = nullptr;
};

// When the operands are one polynomial, a copy stands in for the dividend,
// so that changing the divisor in place leaves the dividend alone.
class DistinctDividend {
 public:
  DistinctDividend(poly n, poly m) : n_(n) {
    if (n == m) {
      poly_assign(n, &copy_.p);
      n_ = copy_.p;
    }
  }
  poly get() const { return n_; }

 private:
  OwnedPoly copy_;
  poly n_;
};

// A term list built at its end.
class TermList {
 public:
  TermList() = default;
  TermList(const TermList&) = delete;
  TermList& operator=(const TermList&) = delete;
  // Appends the node t (its next is overwritten).
  void append(poly t) {
    t->next = nullptr;
    *link_ = t;
    link_ = &t->next;
  }
  bool empty() const { return list_.p == nullptr; }
  // The list, or the zero polynomial when empty; the builder is emptied.
  poly release_or_zero() {
    if (list_.p == nullptr) poly_set(0, &list_.p);
    link_ = &list_.p;
    return list_.release();
  }
  poly* cell() { return &list_.p; }
  // After the list was replaced through cell(): finds its end again.
  void relink() {
    link_ = &list_.p;
    while (*link_ != nullptr) link_ = &(*link_)->next;
  }

 private:
  OwnedPoly list_;
  poly* link_ = &list_.p;
};

// *cell: replaced by the value owned by `value` (the old *cell freed first).
inline void install(poly* cell, OwnedPoly& value) {
  free_poly(cell);
  *cell = value.release();
}

// n and m (degree >= 1, deg n >= deg m) are one-variable lists over big
// integers in rational arithmetic, without field levels and without a
// relation at pt, and deg n reaches integer_division_degree: *a, *b := the
// two on contiguous words (poly/intpoly.h), where exact quotients and
// pseudo-divisions take Kronecker's substitution; false otherwise.
// n, m: kept. reads: integer_division_degree
bool integer_operands(poly n, poly m, polypt pt, IntPoly* a, IntPoly* b, const Ring& ring);

// The level below pt (nilpol when there is none).
inline polypt below(polypt pt) { return pt != nullptr ? pt->next : nilpol; }

// The division of n by m in GF(2^8) or GF(2^16) goes by element vectors
// (dense/dense_char2.h): one variable each without negative exponents, a
// dividend of degree char2_vector_degree or more and a divisor of more than
// fast_mult_cut terms. reads: mode flags, finf, char2_vector_degree,
// fast_mult_cut
bool char2_division_applies(poly n, poly m, const Ring& ring);

// *q, *r := quotient and remainder of such n by m (either cell may be nil
// when not wanted), both formed before the cells' old values are freed (a
// cell may hold n or m). n, m: kept. reads: modulus
void char2_division(poly n, poly m, poly* q, poly* r, const Ring& ring);

// One step of a division that checks exactness: R's leading node is dropped
// and R := rest of R + term * negtail, the product by poly_mult over pt
// (term and negtail kept). While `held` is empty, R is still the dividend's
// own list and is left untouched (the first sum copies what it keeps); once
// `held` owns R, the dropped node is freed. A zero R becomes nil.
inline void subtract_term_product(poly& R, OwnedPoly& held, poly term, poly negtail, polypt pt) {
  poly rest = R->next;
  const bool own = held.p != nullptr;
  if (own) {
    R->next = nullptr;
    free_poly(&held.p);
    held.p = rest;
  }
  R = rest;
  if (negtail == nullptr) return;
  poly prod = nullptr;
  poly_mult(term, negtail, &prod, pt);
  poly sum = nullptr;
  if (R == nullptr) {
    sum = prod;
  } else if (own) {
    held.p = nullptr;
    best_poly_add(prod, R, &sum);
  } else {
    better_poly_add(prod, R, &sum);
  }
  held.p = sum;
  R = sum;
  if (poly_iszero(R)) {
    free_poly(&held.p);
    R = nullptr;
  }
}

// Long division of n by m, m's tail already negated (negtail). Each step
// takes the quotient coefficient coef(lead) of R's leading coefficient
// (a fresh polynomial; a zero one adds no term), appends the term of
// exponent deg R - deg m, and sets R := rest of R + term * negtail, the
// product by mult(term, negtail, &out) (operands kept) and the sum by
// add(a, b, &out) (both consumed). R starts as n itself: until the first
// product arrives it walks n's own nodes (the first sum keeps them, by
// better_poly_add), and what is left of them at the end is copied. Stops
// when R is empty or deg R < deg m. *q (when q is not nil) and *r are set
// (not freed): the quotient, and the remainder (0 when empty).
template <class Coef, class Mult, class Add>
void long_division(poly n, poly m, poly negtail, Coef coef, Mult mult, Add add, poly* q, poly* r) {
  const std::int32_t dm = degree(m);
  TermList quotient;
  OwnedPoly owned;  // R once it is ours
  poly R = n;       // n's own nodes until owned
  bool ours = false;
  while (R != nullptr && degree(R) >= dm) {
    const std::int32_t e = degree(R) - dm;
    OwnedPoly c;
    c.p = coef(lead_node(R));
    poly term = nullptr;
    OwnedPoly product;
    if (!is_zero(c.p)) {
      term = make_term(e, c.release());
      if (negtail != nullptr) {
        OwnedPoly t;
        t.p = term;
        mult(t.p, negtail, &product.p);
        term = t.release();
        if (is_zero(product.p)) free_poly(&product.p);
      }
    }
    poly rest = R->next;
    if (ours) {
      R->next = nullptr;
      owned.p = rest;  // the old head goes; rest is ours
      free_poly(&R);
    }
    if (product.p != nullptr) {
      if (rest == nullptr) {
        free_poly(&owned.p);  // nil already when rest is nil
        owned.p = product.release();
      } else if (ours) {
        poly sum = nullptr;
        owned.p = nullptr;
        add(rest, product.release(), &sum);
        owned.p = sum;
      } else {
        poly sum = nullptr;
        better_poly_add(product.release(), rest, &sum);
        owned.p = sum;
      }
      ours = true;
    }
    R = ours ? owned.p : rest;
    if (term != nullptr) {
      if (q != nullptr) {
        quotient.append(term);
      } else {
        free_poly(&term);
      }
    }
    if (ours && R != nullptr && is_zero(R)) {
      free_poly(&owned.p);
      R = nullptr;
    }
  }
  if (ours) {
    if (owned.p == nullptr) poly_set(0, &owned.p);
    *r = owned.release();
  } else if (R == nullptr) {
    *r = nullptr;
    poly_set(0, r);
  } else {
    *r = copy_list(R);
  }
  if (q != nullptr) *q = quotient.release_or_zero();
}

}  // namespace tavrin::detail
