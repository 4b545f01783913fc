#include "numbers/word_mod.h"

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/char2_field.h"

namespace tavrin {

namespace {

// x * y mod m for m > 0: the 32-bit product when `small`, else the 64-bit one.
std::int32_t product_mod(std::uint32_t x, std::uint32_t y, std::uint32_t m, bool small) {
  if (small) {
    const std::uint32_t p = x * y;
    return static_cast<std::int32_t>(p < m ? p : p % m);
  }
  const std::uint64_t p = std::uint64_t{x} * y;
  if (p < m) return static_cast<std::int32_t>(p);
  return static_cast<std::int32_t>(p % m);
}

// One step of Euclid's algorithm on a sequence x0, x1, ... that follows the
// quotients q of the remainders (the remainders themselves or a cofactor):
// (x0, x1) := (x1, x0 - q x1).
inline void euclid_step(std::int64_t q, std::int64_t& x0, std::int64_t& x1) {
  const std::int64_t x2 = x0 - q * x1;
  x0 = x1;
  x1 = x2;
}

// The inverse of a modulo m by extended Euclid on (m, a): the cofactor of a
// once the remainder divides the one before, made non-negative.
std::int32_t euclid_inverse(std::int32_t a, std::int32_t m) {
  if (a == 0) return 0;  // a caller's fault; answer a residue instead of faulting
  std::int64_t r0 = m, r1 = a;
  std::int64_t c0 = 0, c1 = 1;
  while (r0 % r1 != 0) {
    const std::int64_t q = r0 / r1;
    euclid_step(q, r0, r1);
    euclid_step(q, c0, c1);
  }
  if (c1 < 0) c1 += m;
  return static_cast<std::int32_t>(c1);
}

}  // namespace

std::int32_t modmult(std::uint32_t x, std::uint32_t y) {
  if (finf) return char2_mult(x, y, modulus);
  return product_mod(x, y, static_cast<std::uint32_t>(modulus), smallmodulus);
}

std::int32_t modpower(std::uint32_t x, std::uint64_t e) {
  return static_cast<std::int32_t>(power_by_squaring(x, e, 1, [](std::uint32_t a, std::uint32_t b) {
    return static_cast<std::uint32_t>(modmult(a, b));
  }));
}

std::int32_t spec_modmult(std::uint32_t x, std::uint32_t y) {
  return product_mod(x, y, static_cast<std::uint32_t>(modulus - 1), smallmodulus);
}

std::int32_t nmodmult(std::uint32_t x, std::uint32_t y) {
  return product_mod(x, y, static_cast<std::uint32_t>(modulus), smallmodulus);
}

std::int32_t mod_mult(std::uint32_t x, std::uint32_t y, std::int32_t modul) {
  const std::uint32_t p = x * y;
  const std::uint32_t m = static_cast<std::uint32_t>(modul);
  return static_cast<std::int32_t>(p < m ? p : p % m);
}

std::int32_t mod_add(std::uint32_t x, std::uint32_t y, std::int32_t modul) {
  if (finf) return static_cast<std::int32_t>(x ^ y);
  const std::uint32_t s = x + y;
  const std::uint32_t m = static_cast<std::uint32_t>(modul);
  return static_cast<std::int32_t>(s < m ? s : s - m);
}

std::int32_t mod_sub(std::int32_t x, std::int32_t y, std::int32_t modul) {
  if (finf) return x ^ y;
  const std::int64_t d = std::int64_t{x} - y;
  return static_cast<std::int32_t>(d < 0 ? d + modul : d);
}

std::int32_t spec_mod_add(std::uint32_t x, std::int32_t y, std::int32_t modul) {
  if (y < 0) {
    y = y % modul + modul;
    if (y == modul) y = 0;
  } else if (y >= modul) {
    y %= modul;
  }
  const std::uint32_t s = x + static_cast<std::uint32_t>(y);
  const std::uint32_t m = static_cast<std::uint32_t>(modul);
  return static_cast<std::int32_t>(s < m ? s : s - m);
}

void mod_inverse(std::int32_t seca, std::int32_t* ans) {
  if (seca == 0) {
    tavrin_error("bad seca.", true);
    *ans = 0;  // meaningless, but a residue: the resumed computation goes on
    return;
  }
  verse(&seca);
  *ans = seca;
}

void verse(std::int32_t* ans) {
  if (finf) {
    *ans = char2_inverse(static_cast<std::uint32_t>(*ans), modulus);
    return;
  }
  *ans = euclid_inverse(*ans, modulus);
}

void egcd_ints(std::int32_t* n, std::int32_t m, std::int32_t* x, std::int32_t* y) {
  const bool swapped = *n < m;
  std::int64_t r0 = swapped ? m : *n;
  std::int64_t r1 = swapped ? *n : m;
  // Invariant: s_i * (first dividend) + t_i * (second) = r_i.
  std::int64_t s0 = 1, t0 = 0, s1 = 0, t1 = 1;
  while (r1 != 0) {
    const std::int64_t q = r0 / r1;
    euclid_step(q, r0, r1);
    euclid_step(q, s0, s1);
    euclid_step(q, t0, t1);
  }
  *n = static_cast<std::int32_t>(r0);
  *x = static_cast<std::int32_t>(swapped ? t0 : s0);
  *y = static_cast<std::int32_t>(swapped ? s0 : t0);
}

std::int32_t integer_image(std::int64_t v) {
  const std::int64_t m = modulus;
  if (finf) return static_cast<std::int32_t>((v < 0 ? -v : v) % m);
  return static_cast<std::int32_t>(((v % m) + m) % m);
}

}  // namespace tavrin
