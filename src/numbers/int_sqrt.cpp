#include "numbers/int_sqrt.h"

#include <cmath>
#include <cstdint>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_impl.h"
#include "numbers/bigint_multiply.h"

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
    special_set(static_cast<std::int32_t>(word_root(static_cast<std::uint64_t>(n->head->value))), &r);
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
    const long double root = std::floor(std::sqrt(static_cast<long double>(leading_pair(n))) + 0.5L);
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

}  // namespace

void int_sqrt(imptr n, imptr n2, bool flag) {
  BigModeGuard big;
  number r{};
  root_into(n, r);
  if (flag) {
    detail::install_limbs(n2, detail::limb_list{r.head, r.tail, r.size});
  } else {
    n2->head = r.head;
    n2->tail = r.tail;
    n2->size = r.size;
  }
}

}  // namespace tavrin
