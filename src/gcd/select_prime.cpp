// The first prime of a run of modular images: a prime of the table that
// divides neither leading coefficient, so that neither image loses its
// degree.
#include <cstdint>

#include "gcd/gcd.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"

namespace tavrin {

namespace {

// |n| mod p from n's limbs (the integer, whatever the mode), 0 < p < 2^31.
std::int64_t magnitude_mod(imptr n, std::int64_t p) {
  std::int64_t r = 0;
  for (numptr l = n->head; l != nullptr; l = l->next) {
    const std::int64_t v = l->value < 0 ? -static_cast<std::int64_t>(l->value) : l->value;
    r = (r * 268435456 + v) % p;
  }
  return r;
}

}  // namespace

std::int16_t select_prime(poly x, poly y, std::int16_t buffer, std::int16_t rand_mod,
                          std::int16_t prmesize, imptr* prme) {
  std::int32_t i = prmesize - buffer - rand_integer2() % rand_mod;
  if (i < 1) i = 1;  // the tables count from 1
  imptr xc = leading_coef(x)->ncoef;
  imptr yc = leading_coef(y)->ncoef;
  for (; i <= prmesize; ++i) {
    const std::int64_t p = prme[i]->head->value;
    if (magnitude_mod(xc, p) != 0 && magnitude_mod(yc, p) != 0) return static_cast<std::int16_t>(i);
  }
  return static_cast<std::int16_t>(prmesize + 1);
}

}  // namespace tavrin
