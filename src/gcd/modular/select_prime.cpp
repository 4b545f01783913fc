// The first prime of a run of modular images: a prime of the table that
// divides neither leading coefficient, so that neither image loses its
// degree.
#include <cstdint>

#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"

namespace tavrin {

std::int16_t select_prime(poly x, poly y, std::int16_t buffer, std::int16_t rand_mod,
                          std::int16_t prmesize, imptr* prme) {
  std::int32_t i = prmesize - buffer - rand_integer2() % rand_mod;
  if (i < 1) i = 1;  // the tables count from 1
  imptr xc = leading_coef(x)->ncoef;
  imptr yc = leading_coef(y)->ncoef;
  for (; i <= prmesize; ++i) {
    const WordField f(static_cast<std::uint32_t>(prme[i]->head->value));
    if (number_residue(xc, f) != 0 && number_residue(yc, f) != 0)
      return static_cast<std::int16_t>(i);
  }
  return static_cast<std::int16_t>(prmesize + 1);
}

}  // namespace tavrin
