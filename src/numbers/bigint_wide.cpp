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

imptr new_wide_number(wide_int v) {
  imptr r;
  newimag(&r);
  r->lint = 0;
  r->flote = 0;
  const bool neg = v < 0;
  unsigned __int128 mag = neg ? static_cast<unsigned __int128>(-(v + 1)) + 1
                              : static_cast<unsigned __int128>(v);
  // Limbs from the least significant up, each pushed in front.
  numptr head = nullptr;
  numptr tail = nullptr;
  std::int16_t size = 0;
  do {
    const std::int32_t d = static_cast<std::int32_t>(mag & (limb_base - 1));
    mag >>= limb_bits;
    numptr l = new_limb();
    l->value = neg ? -d : d;
    l->next = head;
    head = l;
    if (tail == nullptr) tail = l;
    ++size;
  } while (mag != 0);
  r->head = head;
  r->tail = tail;
  r->size = size;
  return r;
}

}  // namespace tavrin
