// Limb lists: building one limb by limb, copying, installing it in a
// number, and the limit on a number's length. The limb side of the word
// and limb kit, for the big-integer routines of numbers/ and the packed
// products and images of the folders above.
#pragma once

#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"

namespace tavrin::kit {

// A limb list under construction: head..tail, `size` limbs.
struct limb_list {
  numptr head = nullptr;
  numptr tail = nullptr;
  std::int32_t size = 0;
};

// The most limbs a number can have: its length is a 16-bit count.
constexpr std::int32_t max_limbs = 32767;

// n as a limb count; a longer number abandons the computation with a report
// (while a LimbTrap is open it throws LimbTrap::reached instead).
inline std::int16_t limb_count(std::int32_t n) {
  if (n > max_limbs) {
    if (LimbTrap::open()) throw LimbTrap::reached{};
    abandon(number_too_long_error, &token);
  }
  return static_cast<std::int16_t>(n);
}

// Appends a fresh limb holding v at the less significant end of r.
inline void append_limb(limb_list& r, std::int32_t v) {
  numptr l = new_limb();
  l->value = v;
  l->next = nullptr;
  if (r.tail == nullptr) {
    r.head = l;
  } else {
    r.tail->next = l;
  }
  r.tail = l;
  ++r.size;
}

// A fresh copy of `count` limbs starting at p, each multiplied by `sign`
// (+1 or -1).
inline limb_list copy_limbs(numptr p, std::int32_t count, std::int32_t sign) {
  count_built_limbs(count);
  limb_list r;
  const std::int32_t n = p == nullptr ? 0 : count;  // a number's list holds its size
  if (n <= 0) return r;
  r.size = n;
  r.head = take_limbs(
      n,
      [&p, sign](std::int32_t) {
        const std::int32_t v = sign * p->value;
        p = p->next;
        return v;
      },
      &r.tail);
  return r;
}

// Frees x's limbs (when it has any) and gives it the list r.
inline void install_limbs(imptr x, const limb_list& r) {
  if (x->size > 0) free_limb_list(x->head, x->tail);
  x->head = r.head;
  x->tail = r.tail;
  x->size = r.size;
}

// Makes x the one-limb big integer v (|v| < 2^28), freeing its old limbs.
inline void set_one_limb(imptr x, std::int32_t v) {
  if (x->size > 0) free_limb_list(x->head, x->tail);
  numptr l = new_limb();
  l->value = v;
  l->next = nullptr;
  x->head = l;
  x->tail = l;
  x->size = 1;
}

// x := the number whose limbs are d[len - 1], ..., d[0] (most significant
// first; d normalised, each below the limb base), each limb negated when
// `negative` (zero is never negated). With `reuse` x's old limbs are
// written over from the head, more popped when it has too few and the
// surplus given back: the records and free lists end as when x's limbs are
// freed and fresh ones built, without walking the free list for them.
// Without it fresh limbs are built and x's old ones are left alone.
inline void set_limbs_from(imptr x, const std::uint32_t* d, std::int32_t len, bool negative,
                           bool reuse) {
  const bool minus = negative && (len > 1 || d[0] != 0);
  numptr keep = reuse && x->size >= 1 ? x->head : nullptr;
  numptr prev = nullptr;
  for (std::int32_t k = len; k-- > 0;) {
    numptr l = keep;
    if (l != nullptr) {
      keep = l->next;
    } else {
      l = new_limb();
    }
    const auto v = static_cast<std::int32_t>(d[k]);
    l->value = minus ? -v : v;
    if (prev == nullptr) {
      x->head = l;
    } else {
      prev->next = l;
    }
    prev = l;
  }
  if (keep != nullptr) free_limb_list(keep, x->tail);
  prev->next = nullptr;
  x->tail = prev;
  x->size = len;
}

// x := mag as a number, negated when `negative`: mag (an unsigned integer of
// up to 128 bits) is cut into limbs of limb_bits, then set_limbs_from with
// `reuse` as there.
template <class U>
inline void set_limbs_from_magnitude(imptr x, U mag, bool negative, bool reuse) {
  std::uint32_t d[(sizeof(U) * 8 + limb_bits - 1) / limb_bits];
  std::int32_t len = 0;
  do {
    d[len++] = static_cast<std::uint32_t>(mag & (limb_base - 1));
    mag >>= limb_bits;
  } while (mag != 0);
  set_limbs_from(x, d, len, negative, reuse);
}

inline std::int32_t wrap_neg(std::int32_t v) {
  return static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(v));
}

}  // namespace tavrin::kit
