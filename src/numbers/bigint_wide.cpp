// Big integers to and from native wide integers.
#include "numbers/bigint_wide.h"

#include "numbers/bigint.h"
#include "numbers/bigint_impl.h"
#include "numbers/freelists.h"
#include "numbers/zint.h"

namespace tavrin {

bool small_number_value(imptr x, std::int64_t* v) {
  if (x->size == 1) {
    *v = x->head->value;
    return true;
  }
  if (x->size == 2) {
    *v = std::int64_t{x->head->value} * limb_base + x->tail->value;
    return true;
  }
  return false;
}

void set_word_number(std::int64_t v, imptr x) {
  if (v <= -limb_base || v >= limb_base) {
    ZInt::store_word(v, x);
  } else if (x->size == 1) {
    x->head->value = static_cast<std::int32_t>(v);
  } else {
    special_set(static_cast<std::int32_t>(v), x);
  }
}

namespace {

// A fresh number of magnitude mag, each limb with the sign; lint and flote 0.
template <class U>
imptr number_of_magnitude(U mag, bool neg) {
  imptr r;
  newimag(&r);
  r->lint = 0;
  r->flote = 0;
  detail::set_limbs_from_magnitude(r, mag, neg, false);
  return r;
}

}  // namespace

imptr new_wide_number(wide_int v) {
  const bool neg = v < 0;
  const auto mag = neg ? static_cast<unsigned __int128>(-(v + 1)) + 1 : static_cast<unsigned __int128>(v);
  return number_of_magnitude(mag, neg);
}

imptr new_word_number_slow(std::int64_t v) {
  const bool neg = v < 0;
  const std::uint64_t mag = neg ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
  return number_of_magnitude(mag, neg);
}

}  // namespace tavrin
