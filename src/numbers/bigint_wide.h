// Big integers to and from native wide integers, for kernels that gather
// small coefficients into machine words and give back numbers once.
//
// Numbers are the limb lists of bigint.h (base 2^28, most significant limb
// first, the sign on every limb). These routines ignore the mode flags.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"

namespace tavrin {

using wide_int = __int128;

// *v := the value of x when x has at most two limbs (|x| < 2^56).
// x: kept. Returns false (and leaves *v) for a longer x.
inline bool small_number_value(imptr x, std::int64_t* v) {
  if (x->size == 1) {
    *v = x->head->value;
    return true;
  }
  if (x->size != 2) return false;
  *v = std::int64_t{x->head->value} * limb_base + x->tail->value;
  return true;
}

// The value of x, which has one to four limbs (|x| < 2^112). x: kept.
inline wide_int wide_number_value(imptr x) {
  wide_int v = 0;
  for (numptr l = x->head; l != nullptr; l = l->next) v = v * limb_base + l->value;
  return v;
}

// A fresh number (header and limbs) holding v: one limb per 28 bits of |v|,
// the sign on every limb, zero as one limb 0; lint and flote are 0.
imptr new_wide_number(wide_int v);
// The same for a 64-bit v (one to three limbs); the one-limb case inline.
imptr new_word_number_slow(std::int64_t v);
inline imptr new_word_number(std::int64_t v) {
  if (v <= -limb_base || v >= limb_base) return new_word_number_slow(v);
  imptr r;
  newimag(&r);
  r->lint = 0;
  r->flote = 0;
  numptr l = new_limb();
  l->value = static_cast<std::int32_t>(v);
  l->next = nullptr;
  r->head = l;
  r->tail = l;
  r->size = 1;
  return r;
}

// x := v for |v| < 2^62 (x's old limbs freed, or reused: a one- or
// two-limb x takes a v of as many limbs in place); lint and flote are left.
void set_word_number(std::int64_t v, imptr x);
// x := v for |v| < 2^127, in the fewest limbs, as set_word_number.
void set_wide_number(wide_int v, imptr x);

}  // namespace tavrin
