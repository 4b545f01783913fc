// Products of big integers: one limb, rows, and Karatsuba's recursion, all
// on contiguous magnitude arrays.
#include "numbers/bigint_multiply.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/word_array.h"

namespace tavrin {

using kit::digit;
using kit::limb_list;

namespace {

// The operand and result arrays of the last product, kept for the next one.
kit::digit_buffer first_operand, second_operand, product_digits;
kit::word_buffer first_words, second_words, product_words;

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
  using kit::word;
  const std::int32_t sign = kit::sign_of_number(n) * kit::sign_of_number(m);
  word* x = first_words.get(kit::words_for_digits(n->size) + 1);
  const std::int32_t nx = kit::words_of_limbs(x, n->head, n->size);
  word* y = x;
  std::int32_t ny = nx;
  if (m != n) {
    y = second_words.get(kit::words_for_digits(m->size) + 1);
    ny = kit::words_of_limbs(y, m->head, m->size);
  }
  word* r = product_words.get(nx + ny);
  if ((nx == 1 && x[0] == 0) || (ny == 1 && y[0] == 0)) {
    r[0] = 0;
    install_product(ans, kit::limbs_of_words(r, 1, 1));
    return;
  }
  if (y == x) {
    kit::wsqr(r, x, nx);
  } else {
    kit::wmul(r, x, nx, y, ny);
  }
  install_product(ans, kit::limbs_of_words(r, nx + ny, sign));
}

// The product of short numbers, both at most short_product_limbs long
// (below the Karatsuba cut-off, so the rows' product), on the stack: pairs
// of limbs make base-2^56 digits. Each digit product is cut at bit 56 and
// its two halves summed into their columns in 64 bits (at most 16 halves
// below 2^56 each), one column sum per digit of the shorter factor held in
// registers along the rows; each carried as it is complete.
//
// The result is written over ans's old limbs from the top (no link is
// rewritten when the length stays, as it does in a loop); limbs beyond
// the result's go back, missing ones come off the free list. In word mode
// the old limbs are not ans's own: a fresh list.
constexpr std::int32_t short_product_limbs = 16;
constexpr std::int32_t short_product_digits = short_product_limbs / 2;
constexpr std::uint64_t low56 = (std::uint64_t{1} << 56) - 1;

// d[0 .. (count + 1) / 2) := the magnitude of the `count` limbs from p in
// 56-bit digits, least significant first; returns their number.
[[gnu::always_inline]] inline std::int32_t digits56_of_limbs(numptr p, std::int32_t count,
                                                             std::uint64_t* d) {
  auto mag = [](std::int64_t v) { return static_cast<std::uint64_t>(v < 0 ? -v : v); };
  const std::int32_t nd = (count + 1) / 2;
  const std::intptr_t step = limb_step(p);
  std::int32_t k = nd - 1;
  if (count % 2 == 1) {
    d[k--] = mag(p->value);
    p = limb_after(p, step);
  }
  for (; k >= 0; --k) {  // both limbs of a pair carry the number's sign or are 0
    const std::int64_t hi = p->value;
    p = limb_after(p, step);
    d[k] = mag(hi * limb_base + p->value);
    p = limb_after(p, step);  // may step past the last limb, never reads it
  }
  return nd;
}

// The signed limbs of a product from its column sums in order, carried as
// they come: v[2k], v[2k + 1] from column k.
struct carried_limbs {
  std::int32_t* v;
  std::int32_t negate;  // -1 for a negative product, else 0
  std::uint64_t carry = 0;
  void operator()(std::int32_t k, std::uint64_t column) {
    const std::uint64_t t = column + carry;
    carry = t >> 56;
    v[2 * k] = (static_cast<std::int32_t>(t & kit::digit_mask) ^ negate) - negate;
    v[2 * k + 1] = (static_cast<std::int32_t>((t >> 28) & kit::digit_mask) ^ negate) - negate;
  }
};

// out(k, column k) for k = 0 .. nx + NY: the column sums of x (nx digits)
// times y (NY digits), each below 2^61, in order.
template <int NY>
void digit_columns(const std::uint64_t* x, std::int32_t nx, const std::uint64_t* y,
                   carried_limbs& col) {
  using u128 = unsigned __int128;
  std::uint64_t y8[NY];  // y times 2^8: a product's high word is its part above bit 56
  std::uint64_t acc[NY + 1];
#pragma GCC unroll 8
  for (int j = 0; j < NY; ++j) y8[j] = y[j] << 8;
#pragma GCC unroll 9
  for (int j = 0; j <= NY; ++j) acc[j] = 0;
  for (std::int32_t i = 0; i < nx; ++i) {
    const std::uint64_t xi = x[i];
#pragma GCC unroll 8
    for (int j = 0; j < NY; ++j) {
      const u128 t = static_cast<u128>(xi) * y8[j];
      acc[j] += static_cast<std::uint64_t>(t) >> 8;
      acc[j + 1] += static_cast<std::uint64_t>(t >> 64);
    }
    col(i, acc[0]);
#pragma GCC unroll 8
    for (int j = 0; j < NY; ++j) acc[j] = acc[j + 1];
    acc[NY] = 0;
  }
#pragma GCC unroll 8
  for (int j = 0; j < NY; ++j) col(nx + j, acc[j]);
}

// The same for two factors of N digits each, column by column, unrolled.
template <int N>
void square_digit_columns(const std::uint64_t* x, const std::uint64_t* y, carried_limbs& col) {
  using u128 = unsigned __int128;
  std::uint64_t y8[N];
#pragma GCC unroll 8
  for (int j = 0; j < N; ++j) y8[j] = y[j] << 8;
  std::uint64_t cur = 0, next = 0;
#pragma GCC unroll 15
  for (int k = 0; k < 2 * N - 1; ++k) {
#pragma GCC unroll 8
    for (int i = k < N ? 0 : k - N + 1; i <= (k < N ? k : N - 1); ++i) {
      const u128 t = static_cast<u128>(x[i]) * y8[k - i];
      cur += static_cast<std::uint64_t>(t) >> 8;
      next += static_cast<std::uint64_t>(t >> 64);
    }
    col(k, cur);
    cur = next;
    next = 0;
  }
  col(2 * N - 1, cur);
}

void short_product(imptr n, imptr m, imptr ans) {
  std::uint64_t x[short_product_digits], y[short_product_digits];
  std::int32_t nx = digits56_of_limbs(n->head, n->size, x);
  std::int32_t ny = digits56_of_limbs(m->head, m->size, y);
  const bool negative = (n->head->value < 0) != (m->head->value < 0);
  const std::uint64_t* a = x;
  const std::uint64_t* b = y;
  if (nx < ny) {
    std::swap(a, b);
    std::swap(nx, ny);
  }
  // Carried, and cut into signed limbs, as the columns come.
  const std::int32_t negate =
      negative && !kit::is_zero_number(n) && !kit::is_zero_number(m) ? -1 : 0;
  std::int32_t v[4 * short_product_digits];
  carried_limbs z{v, negate};
  if (nx == ny) {
    switch (ny) {
      case 1: square_digit_columns<1>(a, b, z); break;
      case 2: square_digit_columns<2>(a, b, z); break;
      case 3: square_digit_columns<3>(a, b, z); break;
      case 4: square_digit_columns<4>(a, b, z); break;
      case 5: square_digit_columns<5>(a, b, z); break;
      case 6: square_digit_columns<6>(a, b, z); break;
      case 7: square_digit_columns<7>(a, b, z); break;
      default: square_digit_columns<8>(a, b, z); break;
    }
  } else {
    switch (ny) {
      case 1: digit_columns<1>(a, nx, b, z); break;
      case 2: digit_columns<2>(a, nx, b, z); break;
      case 3: digit_columns<3>(a, nx, b, z); break;
      case 4: digit_columns<4>(a, nx, b, z); break;
      case 5: digit_columns<5>(a, nx, b, z); break;
      case 6: digit_columns<6>(a, nx, b, z); break;
      case 7: digit_columns<7>(a, nx, b, z); break;
      default: digit_columns<8>(a, nx, b, z); break;
    }
  }
  std::int32_t len = n->size + m->size;
  while (len > 1 && v[len - 1] == 0) --len;
  const std::int32_t* top = v + len - 1;
  auto value = [top](std::int32_t k) { return top[-k]; };
  std::int32_t k = 0;  // limbs written, from the top
  numptr last = nullptr;
  numptr head = nullptr;
  if (ans->size >= 1 && !lintmode) {  // over the old limbs
    head = ans->head;
    numptr q = head;
    const std::intptr_t step = limb_step(q);
    const std::int32_t over = std::min(len, ans->size);
    for (; k < over; ++k) {
      q->value = value(k);
      last = q;
      q = limb_after(q, step);
    }
    if (q != nullptr) {  // more old limbs than the result has
      free_limb_list(q, ans->tail);
      last->next = nullptr;
    }
  }
  if (k < len) {
    limb_writer out;
    for (; k < len && out.more(); ++k) out.put(value(k));
    numptr tail = nullptr;
    numptr more = out.finish(&tail);
    if (more != nullptr) {
      if (last == nullptr) {
        head = more;
      } else {
        last->next = more;
      }
      last = tail;
    }
    head = detail::append_limbs(k, len, value, head, last, &last, [] { return new_limb(); });
  }
  ans->head = head;
  ans->tail = last;
  ans->size = len;
}

// The product of numbers of at most two limbs each, in 128 bits.
void tiny_product(imptr n, imptr m, imptr ans) {
  std::int64_t x = 0, y = 0;
  small_number_value(n, &x);
  small_number_value(m, &y);
  const auto mx = static_cast<std::uint64_t>(x < 0 ? -x : x);
  const auto my = static_cast<std::uint64_t>(y < 0 ? -y : y);
  kit::set_limbs_from_magnitude(ans, static_cast<unsigned __int128>(mx) * my, (x < 0) != (y < 0),
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
  if (a <= std::min(short_mult_limbs, short_product_limbs) &&
      b <= std::min(short_mult_limbs, short_product_limbs) && std::min(a, b) < wide_mult_limbs &&
      a > 0 && b > 0) {
    short_product(n, m, ans);
    return;
  }
  if (cut != std::numeric_limits<std::int32_t>::max() && std::min(a, b) >= wide_mult_limbs) {
    word_product(n, m, ans);
    return;
  }
  const std::int32_t sign = kit::sign_of_number(n) * kit::sign_of_number(m);
  digit* x = first_operand.get(a);
  kit::gather(n, x);
  digit* y = x;
  if (m != n) {
    y = second_operand.get(b);
    kit::gather(m, y);
  }
  digit* r = product_digits.get(a + b);
  if (kit::mag_is_zero(x, a) || kit::mag_is_zero(y, b)) {
    r[0] = 0;
    install_product(ans, kit::build_limbs(r, 1, 1));
    return;
  }
  if (cut == std::numeric_limits<std::int32_t>::max()) {
    kit::mag_mul_rows(r, x, a, y, b);
  } else {
    kit::mag_mul(r, x, a, y, b, cut);
  }
  install_product(ans, kit::build_limbs(r, a + b, sign));
}

}  // namespace

void simp_mult(imptr n, imptr ans, std::int32_t m, numptrptr penult) {
  const std::int32_t a = n->size;
  digit* x = first_operand.get(a + 1);
  kit::gather(n, x);
  const std::int32_t sign = kit::sign_of_number(n) * (m < 0 ? -1 : 1);
  kit::mag_mul_1(x, x, a, static_cast<digit>(m < 0 ? -m : m));
  kit::install_limbs(ans, kit::build_limbs(x, a + 1, sign, penult));
}

void multiply(imptr n, imptr m, imptr ans) {
  product(n, m, ans, std::numeric_limits<std::int32_t>::max());
}

void fast_mult(imptr n, imptr m, imptr ans) { product(n, m, ans, multcut); }

}  // namespace tavrin
