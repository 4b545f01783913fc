// Long division of big integers on contiguous magnitude arrays.
#include "numbers/bigint_divide.h"

#include <algorithm>
#include <cstdint>

#include "numbers/bigint.h"
#include "numbers/bigint_impl.h"
#include "numbers/freelists.h"
#include "numbers/limb_array_impl.h"

namespace tavrin {

using detail::digit;
using detail::limb_list;

namespace {

detail::digit_buffer dividend_digits, divisor_digits, quotient_digits;

struct division_result {
  limb_list quot;
  limb_list rem;
};

// The quotient (when want_quot) and remainder of the magnitudes of the list
// of s limbs from nhead by the list of k limbs from dhead, both multiplied by
// sign. Returns false, building nothing, when the divisor is zero.
bool divide_lists(numptr nhead, std::int32_t s, numptr dhead, std::int32_t k, std::int32_t sign,
                  bool want_quot, division_result* out) {
  if (s == 1 && k == 1) {  // one word each
    const std::int32_t a = nhead->value < 0 ? -nhead->value : nhead->value;
    const std::int32_t b = dhead->value < 0 ? -dhead->value : dhead->value;
    if (b == 0) return false;
    const digit q = static_cast<digit>(a / b);
    const digit r = static_cast<digit>(a % b);
    if (want_quot) out->quot = detail::build_limbs(&q, 1, sign);
    out->rem = detail::build_limbs(&r, 1, sign);
    return true;
  }
  digit* d = divisor_digits.get(k);
  detail::gather(dhead, k, d);
  k = detail::normalised_length(d, k);
  if (detail::mag_is_zero(d, k)) return false;
  digit* u = dividend_digits.get(s + 1);
  detail::gather(nhead, s, u);
  s = detail::normalised_length(u, s);
  if (s < k) {  // quotient 0, the dividend is the remainder
    const digit zero = 0;
    if (want_quot) out->quot = detail::build_limbs(&zero, 1, 1);
    out->rem = detail::build_limbs(u, s, sign);
    return true;
  }
  digit* q = want_quot ? quotient_digits.get(s - k + 1) : nullptr;
  detail::mag_divmod(u, s, d, k, q);
  if (want_quot) out->quot = detail::build_limbs(q, s - k + 1, sign);
  out->rem = detail::build_limbs(u, k, sign);
  return true;
}

// Writes the limbs of r into x (x's old limbs freed when it has any).
void install(imptr x, const limb_list& r) { detail::install_limbs(x, r); }

}  // namespace

void divide(imptr n, imptr d, imptr quot, imptr rem) {
  const std::int32_t sign = detail::sign_of_number(n) * detail::sign_of_number(d);
  division_result res;
  if (!divide_lists(n->head, n->size, d->head, d->size, sign, true, &res)) return;
  install(quot, res.quot);
  install(rem, res.rem);
}

void pos_divide(imptr n, imptr d, imptr quot, imptr rem) {
  division_result res;
  if (!divide_lists(n->head, n->size, d->head, d->size, 1, true, &res)) return;
  install(quot, res.quot);
  install(rem, res.rem);
}

void simp_divide(numptr p, std::int16_t size, imptr d, imptr quot, imptr rem) {
  division_result res;
  if (!divide_lists(p, size, d->head, d->size, 1, true, &res)) return;
  install(quot, res.quot);
  quot->lint = 0;
  quot->flote = 0.0L;
  quot->imag = nullptr;
  install(rem, res.rem);
}

void pos_divide_noq(numptr nhead, numptr dhead, numptr /*dtail*/, std::int16_t nsize,
                    std::int16_t dsize, imptr rem) {
  division_result res;
  if (!divide_lists(nhead, nsize, dhead, dsize, 1, false, &res)) return;
  install(rem, res.rem);
}

void simp_divide_noq(numptr p, numptr dhead, numptr dtail, std::int16_t size,
                     std::int16_t dsize, imptr rem) {
  pos_divide_noq(p, dhead, dtail, size, dsize, rem);
}

}  // namespace tavrin
