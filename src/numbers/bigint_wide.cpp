// Big integers to and from native wide integers.
#include "numbers/bigint_wide.h"

#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/limb_list.h"
#include "numbers/zint.h"

namespace tavrin {

void set_word_number(std::int64_t v, imptr x) {
  constexpr std::int64_t two_limbs = std::int64_t{1} << (2 * limb_bits);
  if (v > -limb_base && v < limb_base) {
    if (x->size == 1)
      x->head->value = static_cast<std::int32_t>(v);
    else
      special_set(static_cast<std::int32_t>(v), x);
  } else if (x->size == 2 && v > -two_limbs &&
             v < two_limbs) {  // both limbs in place, each with v's sign
    x->head->value = static_cast<std::int32_t>(v / limb_base);
    x->tail->value = static_cast<std::int32_t>(v % limb_base);
  } else {
    ZInt::store_word(v, x);
  }
}

void set_wide_number(wide_int v, imptr x) {
  constexpr wide_int word = wide_int{1} << 62;
  if (v > -word && v < word) {
    set_word_number(static_cast<std::int64_t>(v), x);
    return;
  }
  auto m = v < 0 ? -static_cast<unsigned __int128>(v) : static_cast<unsigned __int128>(v);
  std::uint32_t d[5];
  std::int32_t n = 0;
  for (; m != 0; m >>= limb_bits) d[n++] = static_cast<std::uint32_t>(m & (limb_base - 1));
  ZInt::store_digits(d, n, v < 0 ? -1 : 1, x);
}

namespace {

// A fresh number of magnitude mag, each limb with the sign; lint and flote 0.
template <class U>
imptr number_of_magnitude(U mag, bool neg) {
  imptr r;
  newimag(&r);
  r->lint = 0;
  r->flote = 0;
  kit::set_limbs_from_magnitude(r, mag, neg, false);
  return r;
}

}  // namespace

imptr new_wide_number(wide_int v) {
  const bool neg = v < 0;
  const auto mag =
      neg ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
  return number_of_magnitude(mag, neg);
}

imptr new_word_number_slow(std::int64_t v) {
  const bool neg = v < 0;
  const std::uint64_t mag =
      neg ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
  return number_of_magnitude(mag, neg);
}

}  // namespace tavrin
