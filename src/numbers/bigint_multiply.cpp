// Products of big integers: one limb, rows, and Karatsuba's recursion, all
// on contiguous magnitude arrays.
#include "numbers/bigint_multiply.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_impl.h"
#include "numbers/freelists.h"
#include "numbers/limb_array_impl.h"
#include "numbers/word_array_impl.h"

namespace tavrin {

using detail::digit;
using detail::limb_list;

namespace {

// The operand and result arrays of the last product, kept for the next one.
detail::digit_buffer first_operand, second_operand, product_digits;
detail::word_buffer first_words, second_words, product_words;

// r[0 .. na+nb) := x * y through 64-bit words (the operands repacked);
// returns the digits written (at least na + nb, r sized for them).
digit* word_product(const digit* x, std::int32_t na, const digit* y, std::int32_t nb,
                    std::int32_t* nr) {
  using detail::word;
  word* wx = first_words.get(detail::words_for_digits(na));
  const std::int32_t wa = detail::words_of_digits(wx, x, na);
  word* wy = wx;
  std::int32_t wb = wa;
  if (y != x || nb != na) {
    wy = second_words.get(detail::words_for_digits(nb));
    wb = detail::words_of_digits(wy, y, nb);
  }
  word* wr = product_words.get(wa + wb);
  detail::wmul(wr, wx, wa, wy, wb);
  digit* r = product_digits.get(std::max(detail::digits_for_words(wa + wb), na + nb));
  *nr = detail::digits_of_words(r, wr, wa + wb);
  return r;
}

// Gives ans the finished product r; its old limbs go back first unless word
// mode is on (a number's limbs are not its own in word mode).
void install_product(imptr ans, const limb_list& r) {
  if (ans->size >= 1 && !lintmode) free_limb_list(ans->head, ans->tail);
  ans->head = r.head;
  ans->tail = r.tail;
  ans->size = r.size;
}

// ans := n * m; rows only when cut is the largest int32.
void product(imptr n, imptr m, imptr ans, std::int32_t cut) {
  const std::int32_t sign = detail::sign_of_number(n) * detail::sign_of_number(m);
  const std::int32_t a = n->size;
  const std::int32_t b = m->size;
  if (a == 1 && b == 1) {  // one or two limbs, every value of the product's sign
    const std::int64_t p = static_cast<std::int64_t>(n->head->value) * m->head->value;
    const digit both[2] = {
        static_cast<digit>((p < 0 ? -p : p) & detail::digit_mask),
        static_cast<digit>((p < 0 ? -p : p) >> limb_bits)};
    install_product(ans, detail::build_limbs(both, 2, sign));
    return;
  }
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
  if (cut != std::numeric_limits<std::int32_t>::max() && std::min(a, b) >= wide_mult_limbs) {
    std::int32_t nr = 0;
    const digit* w = word_product(x, a, y, b, &nr);
    install_product(ans, detail::build_limbs(w, nr, sign));
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
