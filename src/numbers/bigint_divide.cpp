// Long division of big integers on contiguous magnitude arrays.
#include "numbers/bigint_divide.h"

#include <algorithm>
#include <cstdint>

#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/word_array.h"

namespace tavrin {

using kit::digit;
using kit::limb_list;

namespace {

struct division_result {
  limb_list quot;
  limb_list rem;
};

kit::digit_buffer dividend_digits, divisor_digits, quotient_digits;
kit::word_buffer dividend_words, divisor_words, quotient_words, remainder_words;

// The division of the s limbs from nhead by the k limbs from dhead on
// 64-bit words, read straight from the limbs and written straight back:
// out gets the quotient (when want_quot) and the remainder. False,
// building nothing, when the divisor is zero.
bool divide_words(numptr nhead, std::int32_t s, numptr dhead, std::int32_t k, std::int32_t sign,
                  bool want_quot, division_result* out) {
  using kit::word;
  word* wd = divisor_words.get(kit::words_for_digits(k) + 1);
  const std::int32_t nd = kit::words_of_limbs(wd, dhead, k);
  if (nd == 1 && wd[0] == 0) return false;
  word* wu = dividend_words.get(kit::words_for_digits(s) + 1);
  const std::int32_t nu = kit::words_of_limbs(wu, nhead, s);
  if (kit::wcmp_norm(wu, nu, wd, nd) < 0) {  // quotient 0, the dividend is the remainder
    const word zero = 0;
    if (want_quot) out->quot = kit::limbs_of_words(&zero, 1, 1);
    out->rem = kit::limbs_of_words(wu, nu, sign);
    return true;
  }
  word* wq = want_quot ? quotient_words.get(nu - nd + 1) : nullptr;
  word* wr = remainder_words.get(nd);
  kit::wdivrem(wq, wr, wu, nu, wd, nd);
  if (want_quot) out->quot = kit::limbs_of_words(wq, kit::wnormalised(wq, nu - nd + 1), sign);
  out->rem = kit::limbs_of_words(wr, kit::wnormalised(wr, nd), sign);
  return true;
}

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
    if (want_quot) out->quot = kit::build_limbs(&q, 1, sign);
    out->rem = kit::build_limbs(&r, 1, sign);
    return true;
  }
  if (k >= wide_divide_limbs) return divide_words(nhead, s, dhead, k, sign, want_quot, out);
  digit* d = divisor_digits.get(k);
  kit::gather(dhead, k, d);
  k = kit::normalised_length(d, k);
  if (kit::mag_is_zero(d, k)) return false;
  digit* u = dividend_digits.get(s + 1);
  kit::gather(nhead, s, u);
  s = kit::normalised_length(u, s);
  if (s < k) {  // quotient 0, the dividend is the remainder
    const digit zero = 0;
    if (want_quot) out->quot = kit::build_limbs(&zero, 1, 1);
    out->rem = kit::build_limbs(u, s, sign);
    return true;
  }
  digit* q = want_quot ? quotient_digits.get(s - k + 1) : nullptr;
  kit::mag_divmod(u, s, d, k, q);
  if (want_quot) out->quot = kit::build_limbs(q, s - k + 1, sign);
  out->rem = kit::build_limbs(u, k, sign);
  return true;
}

// Writes the limbs of r into x (x's old limbs freed when it has any).
void install(imptr x, const limb_list& r) { kit::install_limbs(x, r); }

// x := sign * v for v below 2^56, x's old limbs written over (what
// installing fresh limbs would leave).
void install_word(imptr x, std::uint64_t v, std::int32_t sign) {
  kit::set_limbs_from_magnitude(x, v, sign<0, x->size> 0);
}

// The division when both numbers have one or two limbs, in 64 bits, the
// results written as divide writes them (quot first, so that a rem that is
// quot ends holding the remainder). False when it does not apply.
bool word_division(imptr n, imptr d, std::int32_t sign, imptr quot, imptr rem) {
  if (n->size < 1 || n->size > word_number_limbs || d->size < 1 || d->size > word_number_limbs)
    return false;
  const std::int64_t x =
      n->size == 1 ? n->head->value : std::int64_t{n->head->value} * limb_base + n->tail->value;
  const std::int64_t y =
      d->size == 1 ? d->head->value : std::int64_t{d->head->value} * limb_base + d->tail->value;
  if (y == 0) return true;  // nothing is written
  const auto a = static_cast<std::uint64_t>(x < 0 ? -x : x);
  const auto b = static_cast<std::uint64_t>(y < 0 ? -y : y);
  const std::uint64_t q = a / b;
  const std::uint64_t r = a % b;
  install_word(quot, q, sign);
  install_word(rem, r, sign);
  return true;
}

}  // namespace

void divide(imptr n, imptr d, imptr quot, imptr rem) {
  const std::int32_t sign = kit::sign_of_number(n) * kit::sign_of_number(d);
  if (word_division(n, d, sign, quot, rem)) return;
  division_result res;
  if (!divide_lists(n->head, n->size, d->head, d->size, sign, true, &res)) return;
  install(quot, res.quot);
  install(rem, res.rem);
}

void pos_divide(imptr n, imptr d, imptr quot, imptr rem) {
  if (word_division(n, d, 1, quot, rem)) return;
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

void simp_divide_noq(numptr p, numptr dhead, numptr dtail, std::int16_t size, std::int16_t dsize,
                     imptr rem) {
  pos_divide_noq(p, dhead, dtail, size, dsize, rem);
}

}  // namespace tavrin
