// Helpers shared by the exact and the trial divisions. Private to poly/.
#pragma once

#include "numbers/freelists.h"
#include "numbers/records.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "toplevel/globals.h"

namespace tavrin::detail {

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
  bool denom_is_number() const { return denom == nullptr || (denom->numb && denom->next == nullptr); }

  poly numer = nullptr;
  poly denom = nullptr;
};

// Negates the tail of a divisor (the nodes after its head) for the guard's
// lifetime; negating again on exit gives it back in every mode.
class NegatedTail {
 public:
  explicit NegatedTail(poly m) : tail_(m->next) {
    if (tail_ != nullptr) poly_inplace(tail_);
  }
  ~NegatedTail() {
    if (tail_ != nullptr) poly_inplace(tail_);
  }
  NegatedTail(const NegatedTail&) = delete;
  NegatedTail& operator=(const NegatedTail&) = delete;

 private:
  poly tail_;
};

}  // namespace tavrin::detail
