#include "numbers/int_sqrt.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/limb_list.h"
#include "numbers/word_array.h"
#include "numbers/word_nat_impl.h"

namespace tavrin {

namespace {

// floor(sqrt(v)) exactly, from a long-double estimate.
std::uint64_t word_root(std::uint64_t v) {
  auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<long double>(v)));
  while (r * r > v) --r;
  while ((r + 1) * (r + 1) <= v) ++r;
  return r;
}

// The value of the two leading limbs of n, a * 2^28 + b.
std::uint64_t leading_pair(imptr n) {
  return (static_cast<std::uint64_t>(n->head->value) << limb_bits) +
         static_cast<std::uint64_t>(n->head->next->value);
}

// r := floor(sqrt(n)) from the starting value r > 0, by Newton's iteration;
// the stopping rule leaves the exact floor, and a last comparison of r^2
// with n makes sure of it.
void newton(imptr n, number& r) {
  number q{}, rem{}, d{}, sq{};
  for (;;) {
    pos_divide(n, &r, &q, &rem);
    meddiff(static_cast<std::int16_t>(r.size), static_cast<std::int16_t>(q.size), r.head, q.head,
            &d);  // d := r - n div r
    if (d.size == 1 && d.head->value > -2 && d.head->value < 2) break;
    const bool below = d.head->value < 0;
    if (below) in_place_neg(&d);
    shift_right_1(&d);
    if (below) {
      fastsum(&r, &d);
    } else {
      fastdiff(&r, &d);
    }
  }
  if (d.head->value == 1) fastdiff(&r, &number_1);
  for (;;) {
    fast_mult(&r, &r, &sq);
    if (!int_abs_bigger(&sq, n, false)) break;
    fastdiff(&r, &number_1);
  }
  for (;;) {
    fastsum(&r, &number_1);
    fast_mult(&r, &r, &sq);
    if (int_abs_bigger(&sq, n, false)) break;
  }
  fastdiff(&r, &number_1);
  special_free(&q);
  special_free(&rem);
  special_free(&d);
  special_free(&sq);
}

// r (empty) := floor(sqrt(n)), n >= 0.
void root_into(imptr n, number& r) {
  const std::int32_t s = n->size;
  if (s == 1) {
    special_set(static_cast<std::int32_t>(word_root(static_cast<std::uint64_t>(n->head->value))),
                &r);
    return;
  }
  if (s == 2) {
    special_set(static_cast<std::int32_t>(word_root(leading_pair(n))), &r);
    return;
  }
  // The leading h limbs leave an even number of limbs below them; for a
  // cut-off below 7 they would be the whole number, so start as below sqcut.
  std::int32_t h = s / 2 + 2;
  if ((s - h) % 2 != 0) ++h;
  if (s < sqcut || h >= s) {
    const long double root =
        std::floor(std::sqrt(static_cast<long double>(leading_pair(n))) + 0.5L);
    special_set(static_cast<std::int32_t>(root), &r);
    fillout(&r, (s - 2) / 2);
    if ((s - 2) % 2 != 0) shift_left(&r, 14);
  } else {
    number top{};
    fast_num_assign(n->head, static_cast<std::int16_t>(h), &top);
    root_into(&top, r);
    special_free(&top);
    fillout(&r, (s - h) / 2);
  }
  newton(n, r);
}

// ---- On words: Zimmermann's recursive square root ----------------------------------

using namespace kit::nats;
using kit::dword;
using kit::word;

// floor(sqrt(v)) for v below 2^128, from a long-double estimate.
word root128(dword v) {
  auto r = static_cast<word>(std::sqrt(static_cast<long double>(v)));
  auto square_of = [](word x) { return static_cast<dword>(x) * x; };
  while (r > 0 && square_of(r) > v) --r;
  while (r < ~word{0} && square_of(r + 1) <= v) ++r;
  return r;
}

// s := floor(sqrt(m)), r := m - s^2 (0 <= r <= 2s). Bits of m: m = a3 2^3l
// + a2 2^2l + a1 2^l + a0 with l = (bits - 1) div 4, so a3 >= 2^l. With
// (s', r') the root and remainder of a3 2^l + a2, and (q, u) := (r' 2^l +
// a1) divided by 2 s', the root is s' 2^l + q and the remainder u 2^l + a0
// - q^2, less one and plus 2s - 1 when that is negative (Zimmermann,
// "Karatsuba Square Root", INRIA RR-3805, 1999; Brent and Zimmermann,
// Modern Computer Arithmetic, Algorithm 1.12).
void root_and_remainder(const nat& m, nat& s, nat& r) {
  const std::int64_t bits = bit_length(m);
  if (bits <= 120) {
    dword v = 0;
    for (std::int32_t i = len(m) - 1; i >= 0; --i) v = (v << 64) | m[static_cast<std::size_t>(i)];
    const word w = root128(v);
    const dword rem = v - static_cast<dword>(w) * w;
    s = {w};
    r = {static_cast<word>(rem), static_cast<word>(rem >> 64)};
    trim(s);
    trim(r);
    return;
  }
  const std::int64_t l = (bits - 1) / 4;
  nat s1, r1;
  root_and_remainder(shifted_right(m, 2 * l), s1, r1);
  nat q, u;
  quotient_remainder(sum(shifted_left(r1, l), low_bits(shifted_right(m, l), l)),
                     shifted_left(s1, 1), q, u);
  s = sum(shifted_left(s1, l), q);
  nat t = sum(shifted_left(u, l), low_bits(m, l));
  const nat q2 = square(q);
  if (compare(t, q2) < 0) {  // t + 2s - 1 - q^2 with the root one less
    t = sum(t, shifted_left(s, 1));
    s = distance(s, nat{1});
    t = distance(t, nat{1});
  }
  r = distance(t, q2);
}

// n2 := floor(sqrt(n)) on words.
void root_on_words(imptr n, imptr n2) {
  nat m(static_cast<std::size_t>(kit::words_for_digits(n->size)));
  m.resize(static_cast<std::size_t>(kit::words_of_limbs(m.data(), n->head, n->size)));
  trim(m);
  nat s, r;
  root_and_remainder(m, s, r);
  const word zero = 0;
  kit::install_limbs(n2, kit::limbs_of_words(s.empty() ? &zero : s.data(), std::max(len(s), 1), 1));
}

}  // namespace

void int_sqrt(imptr n, imptr n2, bool flag) {
  BigModeGuard big;
  if (n->size >= sqrt_wide_limbs) {
    if (flag) {
      root_on_words(n, n2);
    } else {
      number r{};
      root_on_words(n, &r);
      n2->head = r.head;
      n2->tail = r.tail;
      n2->size = r.size;
    }
    return;
  }
  number r{};
  root_into(n, r);
  if (flag) {
    kit::install_limbs(n2, kit::limb_list{r.head, r.tail, r.size});
  } else {
    n2->head = r.head;
    n2->tail = r.tail;
    n2->size = r.size;
  }
}

}  // namespace tavrin
