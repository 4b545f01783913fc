// Products of big integers: one limb, rows, and Karatsuba's recursion, all
// on contiguous magnitude arrays.
#include "numbers/bigint_multiply.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_impl.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/limb_array_impl.h"
#include "numbers/word_array_impl.h"
#include "core/thresholds.h"

namespace tavrin {

using detail::digit;
using detail::limb_list;

namespace {

// The operand and result arrays of the last product, kept for the next one.
detail::digit_buffer first_operand, second_operand, product_digits;
detail::word_buffer first_words, second_words, product_words;

// Gives ans the finished product r; its old limbs go back first unless word
// mode is on (a number's limbs are not its own in word mode).
void install_product(imptr ans, const limb_list& r) {
  if (ans->size >= 1 && !lintmode) free_limb_list(ans->head, ans->tail);
  ans->head = r.head;
  ans->tail = r.tail;
  ans->size = r.size;
}

// ans := n * m on 64-bit words: both read straight from their limbs, the
// product built straight into limbs; a square when m is n.
void word_product(imptr n, imptr m, imptr ans) {
  using detail::word;
  const std::int32_t sign = detail::sign_of_number(n) * detail::sign_of_number(m);
  word* x = first_words.get(detail::words_for_digits(n->size) + 1);
  const std::int32_t nx = detail::words_of_limbs(x, n->head, n->size);
  word* y = x;
  std::int32_t ny = nx;
  if (m != n) {
    y = second_words.get(detail::words_for_digits(m->size) + 1);
    ny = detail::words_of_limbs(y, m->head, m->size);
  }
  word* r = product_words.get(nx + ny);
  if ((nx == 1 && x[0] == 0) || (ny == 1 && y[0] == 0)) {
    r[0] = 0;
    install_product(ans, detail::limbs_of_words(r, 1, 1));
    return;
  }
  if (y == x) {
    detail::wsqr(r, x, nx);
  } else {
    detail::wmul(r, x, nx, y, ny);
  }
  install_product(ans, detail::limbs_of_words(r, nx + ny, sign));
}

// The product of short numbers, both at most short_product_limbs long
// (below the Karatsuba cut-off, so the rows' product), on the stack: pairs
// of digits make base-2^56 digits, whose products are summed column by
// column in 128 bits (at most 8 products below 2^112 each, and the carry)
// and split back into limbs. No allocation but the result's limbs.
//
// The result takes over the upper half of ans's old limbs in place and
// pops the rest; the lower half of ans's limbs goes back. That leaves the
// records and the free list as many as freeing ans's limbs and popping
// fresh ones would, but the links are followed in four independent chains
// side by side (both operands, ans's limbs, the free list) instead of one
// after another.
constexpr std::int32_t short_product_limbs = 16;

void short_product(imptr n, imptr m, imptr ans) {
  using u128 = unsigned __int128;
  constexpr std::uint64_t low56 = (std::uint64_t{1} << 56) - 1;
  const std::int32_t a = n->size;
  const std::int32_t b = m->size;
  const bool negative = (n->head->value < 0) != (m->head->value < 0);
  const std::int32_t nr = a + b;
  const bool reuse = ans->size >= 1 && !lintmode;
  const std::int32_t own = reuse ? std::min<std::int32_t>(ans->size, (nr + 1) / 2) : 0;
  std::uint64_t x[short_product_limbs + 1], y[short_product_limbs + 1];
  numptr node[2 * short_product_limbs];
  numptr after_own = nullptr;     // ans's first limb not taken over
  std::int32_t listed = 0;         // the free list's limbs found, in node[own ..]
  numptr after_listed = nullptr;   // the free list after them
  {
    numptr p = n->head;
    numptr q = m->head;
    numptr o = reuse ? ans->head : nullptr;
    numptr f = numhead;
    const std::int32_t steps = std::max(std::max(a, b), nr - own);
    for (std::int32_t k = 0; k < steps; ++k) {
      if (k < a) {
        x[a - 1 - k] = static_cast<std::uint64_t>(p->value < 0 ? -p->value : p->value);
        p = p->next;
      }
      if (k < b) {
        y[b - 1 - k] = static_cast<std::uint64_t>(q->value < 0 ? -q->value : q->value);
        q = q->next;
      }
      if (k < own) {
        node[k] = o;
        o = o->next;
      }
      if (k < nr - own && f != nullptr) {  // the free list's first limbs, not yet taken
        node[own + k] = f;
        f = f->next;
        ++listed;
      }
    }
    after_listed = f;
    after_own = o;
  }
  x[a] = 0;
  y[b] = 0;
  const std::int32_t na = (a + 1) / 2, nb = (b + 1) / 2;
  std::uint64_t X[short_product_limbs / 2], Y[short_product_limbs / 2];
  for (std::int32_t k = 0; k < na; ++k) X[k] = x[2 * k] | (x[2 * k + 1] << limb_bits);
  for (std::int32_t k = 0; k < nb; ++k) Y[k] = y[2 * k] | (y[2 * k + 1] << limb_bits);
  std::uint64_t col[2 * short_product_limbs + 2];
  u128 acc = 0;
  for (std::int32_t k = 0; k < na + nb - 1; ++k) {
    const std::int32_t lo = k < nb ? 0 : k - nb + 1;
    const std::int32_t hi = k < na ? k : na - 1;
    for (std::int32_t i = lo; i <= hi; ++i) acc += static_cast<u128>(X[i]) * Y[k - i];
    const std::uint64_t w = static_cast<std::uint64_t>(acc) & low56;
    acc >>= 56;
    col[2 * k] = w & detail::digit_mask;
    col[2 * k + 1] = w >> limb_bits;
  }
  const auto top = static_cast<std::uint64_t>(acc);  // below 2^56
  col[2 * (na + nb - 1)] = top & detail::digit_mask;
  col[2 * (na + nb - 1) + 1] = top >> limb_bits;
  std::int32_t len = nr;
  while (len > 1 && col[len - 1] == 0) --len;
  const bool minus = negative && (len > 1 || col[0] != 0);
  // Take the free-list limbs found (numhead is as the walk found it), then
  // any more there were not.
  const std::int32_t take = std::min(len - own, listed);
  if (take > 0) numhead = take < listed ? node[own + take] : after_listed;
  for (std::int32_t k = own + take; k < len; ++k) node[k] = new_limb();
  if (reuse) {  // ans's limbs beyond those kept go back
    numptr back = len < own ? node[len] : after_own;
    if (back != nullptr) free_limb_list(back, ans->tail);
  } else if (ans->size >= 1 && !lintmode) {
    free_limb_list(ans->head, ans->tail);
  }
  for (std::int32_t k = 0; k < len; ++k) {
    const auto v = static_cast<std::int32_t>(col[len - 1 - k]);
    node[k]->value = minus ? -v : v;
    node[k]->next = k + 1 < len ? node[k + 1] : nullptr;
  }
  ans->head = node[0];
  ans->tail = node[len - 1];
  ans->size = len;
}

// The product of numbers of at most two limbs each, in 128 bits.
void tiny_product(imptr n, imptr m, imptr ans) {
  std::int64_t x = 0, y = 0;
  small_number_value(n, &x);
  small_number_value(m, &y);
  const auto mx = static_cast<std::uint64_t>(x < 0 ? -x : x);
  const auto my = static_cast<std::uint64_t>(y < 0 ? -y : y);
  detail::set_limbs_from_magnitude(ans, static_cast<unsigned __int128>(mx) * my, (x < 0) != (y < 0),
                                   ans->size >= 1 && !lintmode);
}

// ans := n * m; rows only when cut is the largest int32.
void product(imptr n, imptr m, imptr ans, std::int32_t cut) {
  const std::int32_t a = n->size;
  const std::int32_t b = m->size;
  if (a <= word_number_limbs && b <= word_number_limbs && a > 0 && b > 0) {
    tiny_product(n, m, ans);
    return;
  }
  if (a <= std::min(short_mult_limbs, short_product_limbs) && b <= std::min(short_mult_limbs, short_product_limbs) &&
      std::min(a, b) < wide_mult_limbs && a > 0 && b > 0) {
    short_product(n, m, ans);
    return;
  }
  if (cut != std::numeric_limits<std::int32_t>::max() && std::min(a, b) >= wide_mult_limbs) {
    word_product(n, m, ans);
    return;
  }
  const std::int32_t sign = detail::sign_of_number(n) * detail::sign_of_number(m);
  digit* x = first_operand.get(a);
  detail::gather(n, x);
  digit* y = x;
  if (m != n) {
    y = second_operand.get(b);
    detail::gather(m, y);
  }
  digit* r = product_digits.get(a + b);
  if (detail::mag_is_zero(x, a) || detail::mag_is_zero(y, b)) {
    r[0] = 0;
    install_product(ans, detail::build_limbs(r, 1, 1));
    return;
  }
  if (cut == std::numeric_limits<std::int32_t>::max()) {
    detail::mag_mul_rows(r, x, a, y, b);
  } else {
    detail::mag_mul(r, x, a, y, b, cut);
  }
  install_product(ans, detail::build_limbs(r, a + b, sign));
}

}  // namespace

void simp_mult(imptr n, imptr ans, std::int32_t m, numptrptr penult) {
  const std::int32_t a = n->size;
  digit* x = first_operand.get(a + 1);
  detail::gather(n, x);
  const std::int32_t sign = detail::sign_of_number(n) * (m < 0 ? -1 : 1);
  detail::mag_mul_1(x, x, a, static_cast<digit>(m < 0 ? -m : m));
  detail::install_limbs(ans, detail::build_limbs(x, a + 1, sign, penult));
}

void multiply(imptr n, imptr m, imptr ans) {
  product(n, m, ans, std::numeric_limits<std::int32_t>::max());
}

void fast_mult(imptr n, imptr m, imptr ans) { product(n, m, ans, multcut); }

}  // namespace tavrin
