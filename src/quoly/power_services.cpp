// The power services of the rational-function code that the polynomial
// arithmetic calls: the choice between squaring and repeated
// multiplication, and powers of residues.
#include <cstdint>

#include "core/globals.h"
#include "numbers/word_mod.h"
#include "quoly/quoly.h"

namespace tavrin {

bool bysquaring(poly m) {
  if (polynames == nullptr || polynames->next == nullptr || pseudo_polynames != nullptr)
    return true;
  for (poly p = m; p != nullptr;) {
    if (p->next == nullptr) {
      if (p->numb) return true;
      p = p->pcoef;  // a single term: look into its coefficient
      continue;
    }
    for (poly t = p; t != nullptr; t = t->next) {
      if (!t->numb && !(t->pcoef->numb && t->pcoef->next == nullptr)) return false;
    }
    return true;
  }
  return true;
}

void mod_number_power(std::int32_t n, std::int32_t e, std::int32_t* ans) {
  if (e >= 16) {
    e %= modulus - 1;
    // Fermat's n^(p-1) = 1 holds for non-zero n only.
    if (e == 0) {
      *ans = n == 0 ? 0 : 1;
      return;
    }
  }
  *ans = modpower(static_cast<std::uint32_t>(n), static_cast<std::uint32_t>(e));
}

}  // namespace tavrin
