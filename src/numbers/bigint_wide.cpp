// Big integers to and from native wide integers.
#include "numbers/bigint_wide.h"

#include "numbers/bigint.h"
#include "numbers/freelists.h"

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

namespace {

// A fresh number of the digits d[0 .. n) (least significant first, the top
// one non-zero unless n is 1), each limb with the sign; lint and flote 0.
// The limbs are taken from the head down, the order in which a freed limb
// list is handed out again.
imptr number_of_digits(const std::int32_t* d, std::int32_t n, bool neg) {
  imptr r;
  newimag(&r);
  r->lint = 0;
  r->flote = 0;
  numptr prev = nullptr;
  for (std::int32_t k = n; k-- > 0;) {
    numptr l = new_limb();
    l->value = neg ? -d[k] : d[k];
    l->next = nullptr;
    if (prev == nullptr) {
      r->head = l;
    } else {
      prev->next = l;
    }
    prev = l;
  }
  r->tail = prev;
  r->size = n;
  return r;
}

}  // namespace

imptr new_wide_number(wide_int v) {
  const bool neg = v < 0;
  unsigned __int128 mag = neg ? static_cast<unsigned __int128>(-(v + 1)) + 1
                              : static_cast<unsigned __int128>(v);
  std::int32_t d[5];
  std::int32_t n = 0;
  do {
    d[n++] = static_cast<std::int32_t>(mag & (limb_base - 1));
    mag >>= limb_bits;
  } while (mag != 0);
  return number_of_digits(d, n, neg);
}

imptr new_word_number_slow(std::int64_t v) {
  const bool neg = v < 0;
  std::uint64_t mag = neg ? ~static_cast<std::uint64_t>(v) + 1 : static_cast<std::uint64_t>(v);
  std::int32_t d[3];
  std::int32_t n = 0;
  do {
    d[n++] = static_cast<std::int32_t>(mag & (limb_base - 1));
    mag >>= limb_bits;
  } while (mag != 0);
  return number_of_digits(d, n, neg);
}

}  // namespace tavrin
