// Word-size modular arithmetic: products, sums, differences, powers and
// inverses of residues, and extended Euclid on machine integers.
//
// Residues are 32-bit values 0 .. modulus - 1. `modulus` is a word prime,
// or 256 / 65536 in the fields of characteristic 2 (`finf`, see
// char2_field.h), where elements are bit patterns, the product is the field
// product and sum and difference are exclusive or. With `smallmodulus`
// (modulus < 65535) the product of two residues fits in 32 bits.
#pragma once

#include <cstdint>
#include <optional>

#include "core/globals.h"

namespace tavrin {

// x * y mod modulus. finf: the field product. smallmodulus: 32-bit product;
// otherwise 64-bit. The remainder is taken only when the product is not
// already below modulus.
// x, y: residues; reads: modulus, smallmodulus, finf
std::int32_t modmult(std::uint32_t x, std::uint32_t y);

// x * y mod (modulus - 1), in every mode (exponent arithmetic in the
// multiplicative group): 32-bit product with smallmodulus, else 64-bit.
// x, y: 0 .. modulus - 2; reads: modulus, smallmodulus
std::int32_t spec_modmult(std::uint32_t x, std::uint32_t y);

// x * y mod modulus as for a word prime, in every mode (no field product in
// characteristic 2): 32-bit product with smallmodulus, else 64-bit.
// x, y: 0 .. modulus - 1; reads: modulus, smallmodulus
std::int32_t nmodmult(std::uint32_t x, std::uint32_t y);

// x * y mod modul from the 32-bit product (wrapping when it exceeds 32 bits:
// for moduli whose residue products fit in 32 bits).
// x, y: kept; reads: nothing
std::int32_t mod_mult(std::uint32_t x, std::uint32_t y, std::int32_t modul);

// x + y mod modul, one comparison and one correction; finf: x xor y.
// x, y: residues of modul; reads: finf
std::int32_t mod_add(std::uint32_t x, std::uint32_t y, std::int32_t modul);

// x - y mod modul; finf: x xor y.
// x, y: residues of modul; reads: finf
std::int32_t mod_sub(std::int32_t x, std::int32_t y, std::int32_t modul);

// x + y mod modul for a residue x and any y (y is reduced first); never the
// characteristic-2 sum.
// x: residue of modul; y: any; reads: nothing
std::int32_t spec_mod_add(std::uint32_t x, std::int32_t y, std::int32_t modul);

// *ans := 1 / seca mod modulus by extended Euclid (finf: the field inverse).
// seca = 0 reports "bad seca." (internal error, nested command level) and
// then gives *ans := 0.
// seca: non-zero residue; *ans: overwritten; reads: modulus, finf
void mod_inverse(std::int32_t seca, std::int32_t* ans);

// ---- Powers and inverses of residues --------------------------------------
// The one home of the square-and-multiply loop and of extended Euclid on
// words: callers in every folder take these rather than a loop of their own.

// a^e by squaring and multiplying with mul, an associative product of
// residues; `one` is the answer for e = 0. Reads what mul reads.
template <class Mul>
std::uint32_t power_by_squaring(std::uint32_t a, std::uint64_t e, std::uint32_t one, Mul mul) {
  std::uint32_t r = one;
  for (; e != 0; e >>= 1) {
    if ((e & 1u) != 0) r = mul(r, a);
    if (e > 1) a = mul(a, a);
  }
  return r;
}

// x^e mod modulus (finf: the field power), x^0 = 1.
// x: residue; reads: modulus, smallmodulus, finf
std::int32_t modpower(std::uint32_t x, std::uint64_t e);

// b^e mod p for any p in 1 .. 2^32 - 1 (p = 1 gives 0), on 64-bit
// products. Independent of the word-prime settings.
inline std::uint32_t power_modulo(std::uint64_t b, std::uint64_t e, std::uint32_t p) {
  return power_by_squaring(static_cast<std::uint32_t>(b % p), e, p == 1 ? 0 : 1,
                           [p](std::uint32_t x, std::uint32_t y) {
                             return static_cast<std::uint32_t>(std::uint64_t{x} * y % p);
                           });
}

namespace word_mod_detail {
// Extended Euclid on (m, a): the cofactor t of a with t a = r mod m, r the
// last non-zero remainder (*last := r), |t| <= m. m >= 1.
inline std::int64_t euclid_cofactor(std::int64_t a, std::int64_t m, std::int64_t* last) {
  std::int64_t t = 0, nt = 1;
  std::int64_t r = m, nr = a;
  while (nr != 0) {
    const std::int64_t q = r / nr;
    std::int64_t x = t - q * nt;
    t = nt;
    nt = x;
    x = r - q * nr;
    r = nr;
    nr = x;
  }
  *last = r;
  return t;
}
}  // namespace word_mod_detail

// 1 / a mod p for a prime p < 2^32 by extended Euclid, in [0, p); 0 when
// p divides a. Independent of the word-prime settings.
inline std::uint32_t inverse_modulo(std::uint64_t a, std::uint32_t p) {
  std::int64_t last = 0;
  const std::int64_t t =
      word_mod_detail::euclid_cofactor(static_cast<std::int64_t>(a % p), p, &last);
  return static_cast<std::uint32_t>(t < 0 ? t + p : t);
}

// The checked inverse: 1 / a mod m for any m in 1 .. 2^31 - 1 (prime or
// not) by extended Euclid on (m, a), in [0, m); nothing when a has none
// (a and m share a factor, a = 0 among them for m > 1). a: a residue, or
// any word whose Euclid ends on the remainder 1. Independent of the
// word-prime settings.
inline std::optional<std::uint32_t> checked_inverse(std::int64_t a, std::int64_t m) {
  std::int64_t last = 0;
  const std::int64_t t = word_mod_detail::euclid_cofactor(a, m, &last);
  if (last != 1) return std::nullopt;
  return static_cast<std::uint32_t>((t % m + m) % m);  // m = 1: 0, whatever a
}

// ---- Stored integers ------------------------------------------------------
// Counts, degrees, ranks, positions and other integer results keep the
// integer itself in modular arithmetic (quoly_set_integer), so a number may
// hold a word outside the residues. Ring arithmetic reads such a word as its
// image, the residue a literal of that value reads as: v mod modulus in
// 0 .. modulus - 1; in the fields of 2^8 and 2^16, |v| mod 2^8 or 2^16.
// reads: modulus, finf
std::int32_t integer_image(std::int64_t v);
// v is not a residue (0 .. modulus - 1). reads: modulus
inline bool outside_residues(std::int32_t v) {
  return static_cast<std::uint32_t>(v) >= static_cast<std::uint32_t>(modulus);
}

// *ans := 1 / *ans mod modulus, as mod_inverse without the zero test.
// *ans: non-zero residue, overwritten; reads: modulus, finf
void verse(std::int32_t* ans);

// Extended Euclid with the larger value as the first dividend: *n := g =
// gcd(old *n, m), and *x * (old *n) + *y * m = g.
// Example: *n = 3, m = 5 give g = 1, *x = 2, *y = -1.
// *n, m: positive; *n, *x, *y: overwritten
void egcd_ints(std::int32_t* n, std::int32_t m, std::int32_t* x, std::int32_t* y);

}  // namespace tavrin
