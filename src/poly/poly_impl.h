// Node helpers shared by the polynomial routines of poly/.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/freelists.h"

namespace tavrin::detail {

// A leaf with no successor: a whole constant.
inline bool is_bare_leaf(poly p) { return p->numb && p->next == nullptr; }

// A fresh term node x^e over coef, followed by next.
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

// A fresh rational-function cell numer / denom (both moved in).
inline quoly new_ratfun_value(poly numer, poly denom) {
  quoly q;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->numer = numer;
  q->denom = denom;
  q->rat = false;
  return q;
}

// A fresh number holding a copy of n's value in the field of the current
// mode: flote in floating mode, lint in word mode, the limbs otherwise.
// reads: mode flags
imptr copy_number(imptr n);

// A fresh deep copy of the list p (nil gives nil).
poly copy_list(poly p);

// As copy_list, every leaf negated by makeneg.
// reads: mode flags, modulus, finf
poly copy_list_negated(poly p);

// A fresh copy of the single node p (its coefficient or number copied deeply),
// next nil.
poly copy_node_alone(poly p);

// As copy_node_alone, every leaf negated by makeneg.
// reads: mode flags, modulus, finf
poly copy_node_negated(poly p);

}  // namespace tavrin::detail
