// Number arithmetic at the leaves of polynomials, one kernel per arithmetic
// mode, and the chain of released nodes of the consuming operations. Private
// to poly/.
//
// The merges and products are templates over NumMode, chosen once per call
// by num_mode(), so their inner loops test no mode flag.
#pragma once

#include <cstdint>

#include "core/globals.h"
#include "core/records.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/number_tests.h"
#include "numbers/word_mod.h"

namespace tavrin::detail {
using nodes::OwnedNumber;

// The arithmetic mode of the leaves, in the order the flags are tested.
enum class NumMode { floating, char2, modular, word, big };

// reads: flotemode, modularmode, finf, lintmode
inline NumMode num_mode() {
  if (flotemode) return NumMode::floating;
  if (modularmode) return finf ? NumMode::char2 : NumMode::modular;
  if (lintmode) return NumMode::word;
  return NumMode::big;
}

template <NumMode M>
inline bool num_is_zero(imptr a) {
  if constexpr (M == NumMode::floating) {
    return a->flote == 0.0L;
  } else if constexpr (M == NumMode::big) {
    return a->head->value == 0;
  } else {
    return a->lint == 0;
  }
}

// The value of a big integer of one or two limbs.
inline std::int64_t small_big_value(imptr a) {
  return a->size == 1 ? a->head->value : std::int64_t{a->head->value} * limb_base + a->tail->value;
}

// *v := a + b (Sub: a - b) when both have one or two limbs and the result
// fits two (|v| < 2^56); false otherwise.
template <bool Sub>
inline bool small_big_sum(imptr a, imptr b, std::int64_t* v) {
  if (a->size > 2 || b->size > 2 || a->size < 1 || b->size < 1) return false;
  *v = Sub ? small_big_value(a) - small_big_value(b) : small_big_value(a) + small_big_value(b);
  constexpr std::int64_t B2 = std::int64_t{limb_base} * limb_base;
  return *v > -B2 && *v < B2;
}

// r (a header without limbs) := v, |v| < 2^56: one limb when |v| < 2^28,
// else two with the sign on both.
inline void set_new_small_big(imptr r, std::int64_t v) {
  numptr lo = new_limb();
  lo->next = nullptr;
  if (v > -limb_base && v < limb_base) {
    lo->value = static_cast<std::int32_t>(v);
    r->head = r->tail = lo;
    r->size = 1;
    return;
  }
  numptr hi = new_limb();
  hi->value = static_cast<std::int32_t>(v / limb_base);
  lo->value = static_cast<std::int32_t>(v % limb_base);
  hi->next = lo;
  r->head = hi;
  r->tail = lo;
  r->size = 2;
}

// a (one or two limbs) := v, |v| < 2^56, reusing its limbs: one limb when
// |v| < 2^28, else two with the sign on both.
inline void set_small_big(imptr a, std::int64_t v) {
  if (v > -limb_base && v < limb_base) {
    if (a->size == 2) {
      numptr top = a->head;
      a->head = a->tail;
      free_limb_list(top, top);
      a->size = 1;
    }
    a->head->value = static_cast<std::int32_t>(v);
    return;
  }
  if (a->size == 1) {
    numptr top = new_limb();
    top->next = a->head;
    a->head = top;
    a->size = 2;
  }
  a->head->value = static_cast<std::int32_t>(v / limb_base);
  a->tail->value = static_cast<std::int32_t>(v % limb_base);
}

// a := a + b (Sub: a - b) in place; b is unchanged (b may be a).
// reads: modulus (modular)
template <NumMode M, bool Sub>
inline void num_combine(imptr a, imptr b) {
  if constexpr (M == NumMode::floating) {
    a->flote = Sub ? a->flote - b->flote : a->flote + b->flote;
  } else if constexpr (M == NumMode::char2) {
    a->lint ^= b->lint;
  } else if constexpr (M == NumMode::modular) {
    if constexpr (Sub) {
      const std::int32_t d = a->lint - b->lint;  // residues: no overflow
      a->lint = d < 0 ? d + modulus : d;
    } else {
      const std::uint32_t s =
          static_cast<std::uint32_t>(a->lint) + static_cast<std::uint32_t>(b->lint);
      const std::uint32_t m = static_cast<std::uint32_t>(modulus);
      a->lint = static_cast<std::int32_t>(s >= m ? s - m : s);
    }
  } else if constexpr (M == NumMode::word) {
    const std::uint32_t x = static_cast<std::uint32_t>(a->lint);
    const std::uint32_t y = static_cast<std::uint32_t>(b->lint);
    a->lint = static_cast<std::int32_t>(Sub ? x - y : x + y);
  } else {
    // Operands of one or two limbs whose sum fits two: the common case.
    if (std::int64_t v = 0; small_big_sum<Sub>(a, b, &v)) {
      set_small_big(a, v);
      return;
    }
    if constexpr (Sub) {
      fastdiff(a, b);
    } else {
      fastsum(a, b);
    }
  }
}

// A fresh number a + b (Sub: a - b); a and b unchanged.
template <NumMode M, bool Sub>
inline imptr num_combine_new(imptr a, imptr b) {
  imptr r;
  newimag(&r);
  if constexpr (M == NumMode::big) {
    // Operands of one or two limbs whose sum fits two, as in place.
    if (std::int64_t v = 0; small_big_sum<Sub>(a, b, &v)) {
      set_new_small_big(r, v);
      return r;
    }
    if constexpr (Sub) {
      meddiff(a->size, b->size, a->head, b->head, r);
    } else {
      medsum(a->size, b->size, a->head, b->head, r);
    }
  } else {
    if constexpr (M == NumMode::floating) {
      r->flote = a->flote;
    } else {
      r->lint = a->lint;
    }
    num_combine<M, Sub>(r, b);
  }
  return r;
}

// x * y modulo modulus for residues, inline for the product loops; the
// field product (modmult) in characteristic 2.
// reads: modulus, smallmodulus, finf
inline std::int32_t residue_product(std::int32_t x, std::int32_t y) {
  if (finf) return modmult(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y));
  const std::uint32_t m = static_cast<std::uint32_t>(modulus);
  if (smallmodulus) {
    const std::uint32_t p = static_cast<std::uint32_t>(x) * static_cast<std::uint32_t>(y);
    return static_cast<std::int32_t>(p < m ? p : p % m);
  }
  const std::uint64_t p =
      std::uint64_t{static_cast<std::uint32_t>(x)} * static_cast<std::uint32_t>(y);
  return static_cast<std::int32_t>(p < m ? p : p % m);
}

// r (a header without limbs) := x * y for one-limb values.
inline void small_big_product(imptr r, std::int32_t x, std::int32_t y) {
  set_new_small_big(r, std::int64_t{x} * y);  // |x y| < 2^56
}

// A fresh number a * b in the current mode: floating product, modmult
// (the field product in characteristic 2), the wrapped word product, or the
// big product. reads: mode flags, modulus, smallmodulus, finf
inline imptr num_product_new(imptr a, imptr b) {
  imptr r;
  newimag(&r);
  if (flotemode) {
    r->flote = a->flote * b->flote;
  } else if (modularmode) {
    r->lint = residue_product(a->lint, b->lint);
  } else if (lintmode) {
    r->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(a->lint) *
                                        static_cast<std::uint32_t>(b->lint));
  } else if (a->size == 1 && b->size == 1) {
    small_big_product(r, a->head->value, b->head->value);
  } else {
    OwnedNumber held(r);  // a product too long is an error
    fast_mult(a, b, r);
    held.release();
  }
  return r;
}

// a := a * b in place, as num_product_new.
inline void num_product_inplace(imptr a, imptr b) {
  if (flotemode) {
    a->flote *= b->flote;
  } else if (modularmode) {
    a->lint = residue_product(a->lint, b->lint);
  } else if (lintmode) {
    a->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(a->lint) *
                                        static_cast<std::uint32_t>(b->lint));
  } else {
    fast_mult(a, b, a);
  }
}

// Nodes released by one operation, chained through next (numbers already
// freed), given back to polygarb in one splice when the operation ends.
class Released {
 public:
  Released() = default;
  ~Released() { free_polynode_list(head_, tail_); }
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;

  // The node alone (its coefficient is owned elsewhere or already released).
  void node(poly t) {
    t->next = head_;
    if (head_ == nullptr) tail_ = t;
    head_ = t;
  }
  // A leaf: its number is freed, the node released.
  void leaf(poly t) {
    free_imag(&t->ncoef);
    node(t);
  }

 private:
  poly head_ = nullptr;
  poly tail_ = nullptr;
};

}  // namespace tavrin::detail
