// Dense one-variable polynomials over GF(2^8) and GF(2^16) as element
// vectors: products, division with remainder, the GCD and extended GCD by
// the half-GCD, and arithmetic modulo a fixed monic polynomial. The
// one-variable routes of those fields reach them past char2_vector_degree.
//
// Representation. A DensePoly (dense_modular.h) holds the field elements
// 0 .. q - 1 of the coefficients (q = 256 or 65536; bit k of an element is
// its coefficient of z^k, numbers/char2_field.h), entry i that of t^i,
// with no zero entry at the top; the zero polynomial is empty. Sum and
// difference are the exclusive or. Every routine takes q as an argument;
// none reads the ring globals. Thresholds are read from core/thresholds.h
// as each contract says.
//
// Products go by Kronecker's substitution: the coefficients, polynomials of
// degree below k = 8 or 16 in z over GF(2), are packed into slots of 2k
// bits of one long GF(2)[z] polynomial (numbers/bit_poly.h); the product's
// slots hold the coefficient products, of degree below 2k - 1, with nothing
// carried, and each is reduced by the field's polynomial through a table of
// its upper half. A square is the squares of the coefficients at the even
// exponents. Division takes Newton's series inverse of the reversed divisor
// (floor(a / b) reversed is rev(a) rev(b)^-1 modulo t^(deg a - deg b + 1)).
#pragma once

#include <cstdint>

#include "dense/dense_modular.h"

namespace tavrin {

// a * b. Schoolbook rows by the field's tables below char2_kronecker_length
// coefficients of the shorter operand, Kronecker's substitution from
// there on. reads: char2_kronecker_length, bit_karatsuba_words,
// bit_pair_karatsuba_words, bit_fft_words
DensePoly dense_char2_mul(const DensePoly& a, const DensePoly& b, std::int32_t q);

// a * a.
DensePoly dense_char2_sqr(const DensePoly& a, std::int32_t q);

// a + b, which is also a - b.
DensePoly dense_char2_add(const DensePoly& a, const DensePoly& b);

// *quo := a div b and *rem := a mod b (either may be nil; neither is a or
// b); b non-zero. Elimination, or Newton's iteration when the divisor's
// degree and the quotient's length both reach char2_newton_degree.
// reads: char2_newton_degree and the thresholds of dense_char2_mul
void dense_char2_divrem(const DensePoly& a, const DensePoly& b, std::int32_t q, DensePoly* quo,
                        DensePoly* rem);

// The monic GCD of a and b (empty when both are zero): the remainder steps
// by the half-GCD down to char2_hgcd_degree, Euclid's loop below.
// reads: char2_hgcd_degree and the thresholds of dense_char2_divrem
DensePoly dense_char2_gcd(const DensePoly& a, const DensePoly& b, std::int32_t q);

// The monic GCD g of a and b with the cofactors s, t of s a + t b = g that
// Euclid's loop gives (those of least degree): deg a >= deg b, b non-zero.
// reads: as dense_char2_gcd
void dense_char2_xgcd(const DensePoly& a, const DensePoly& b, std::int32_t q, DensePoly* g,
                      DensePoly* s, DensePoly* t);

// The derivative: the coefficients of the odd exponents moved down by one.
DensePoly dense_char2_derivative(const DensePoly& a);

// The square root of a polynomial in t^2: every exponent halved, every
// coefficient replaced by its square root (the odd entries of a are
// ignored).
DensePoly dense_char2_sqrt(const DensePoly& a, std::int32_t q);

// a divided by its leading coefficient (a non-zero). a: changed.
void dense_char2_make_monic(DensePoly& a, std::int32_t q);

// Arithmetic modulo a monic f of degree n >= 1: the remainder of a product
// (degree below 2n) by the precomputed series inverse g of f reversed, to
// n terms, with two products (for a square, the first as two of half the
// length); below char2_newton_degree by elimination.
// Arguments called reduced have degree below n; every result is reduced.
class Char2Modulus {
 public:
  Char2Modulus(DensePoly f, std::int32_t q);
  std::int32_t degree() const { return n_; }
  // a mod f, deg a < 2n.
  DensePoly reduce(DensePoly a) const;
  // a b mod f and a^2 mod f, a and b reduced.
  DensePoly mul(const DensePoly& a, const DensePoly& b) const;
  DensePoly sqr(const DensePoly& a) const;

 private:
  DensePoly f_;
  std::int32_t q_;
  std::int32_t n_;
  DensePoly g_;               // empty: the elimination
  DensePoly g_even_, g_odd_;  // g's entries of even and of odd index
};

}  // namespace tavrin
