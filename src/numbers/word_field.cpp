// Residues of big integers modulo a word prime (see word_field.h).
#include "numbers/word_field.h"

#include "numbers/bigint.h"

namespace tavrin {

std::uint32_t number_residue(imptr x, const WordField& f) {
  std::uint64_t r = 0;
  bool negative = false;
  for (numptr l = x->head; l != nullptr; l = l->next) {
    std::int32_t d = l->value;
    if (d < 0) {
      negative = true;
      d = -d;
    }
    r = f.reduce((r << limb_bits) + static_cast<std::uint64_t>(d));
  }
  return negative ? f.neg(static_cast<std::uint32_t>(r)) : static_cast<std::uint32_t>(r);
}

}  // namespace tavrin
