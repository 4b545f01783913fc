// The long carry-less products of word arrays (numbers/bit_poly.h) by an
// additive transform over GF(2^64) on the subspaces of a Cantor basis, in
// the novel polynomial basis of Lin, Chung and Han ("Novel polynomial
// basis and its application to Reed-Solomon erasure codes", 2014), reached
// from the monomial basis by Taylor expansions as in Gao and Mateer
// ("Additive fast Fourier transforms over finite fields", 2010).
//
// Field: GF(2^64) = GF(2)[z]/(z^64 + z^4 + z^3 + z + 1), an element a word
// (bit j the coefficient of z^j). Cantor basis: v_0 = 1 and
// v_j^2 + v_j = v_(j-1) for j = 1 .. 63 (each v_j the root with bit 0
// clear), found at first use by solving the quadratics as linear systems
// over GF(2). S(x) = x^2 + x is GF(2)-linear and maps v_j to v_(j-1), v_0
// to 0, so s_j = S^j (j-fold) is the polynomial vanishing on
// W_j = span(v_0 .. v_(j-1)), and s_j(v_j) = 1.
//
// Transform of length 2^m: a polynomial of 2^m coefficients (monomial
// basis) becomes its values on W_m, position i holding the value at
// W[i] = the sum of v_k over the set bits k of i (bit_fft_point). The
// coefficients go to the novel basis X_i = product of s_j over the set
// bits j of i (O(n log n log log n) exclusive ors), then m levels of
// butterflies take one field product per pair: O(n log n) for n = 2^m.
//
// Product: each operand is cut into 32-bit pieces, each a field element of
// degree < 32. The product of two has degree < 63, so products and sums of
// them in the field are the carry-less ones: the coefficients of the
// product in GF(2^64)[y] are the 63-bit convolution sums, added back at bit
// offsets 32 k. The transforms have 2^m >= 2 (na + nb) - 1 points.
#pragma once

#include <cstddef>

#include "numbers/bit_poly.h"

namespace tavrin {

// a * b in GF(2^64), by the portable one-word product.
bit_word gf2_64_mul(bit_word a, bit_word b);

// v_j of the Cantor basis, j = 0 .. 63.
bit_word bit_fft_basis(int j);

// W[i], the point of position i in every transform longer than i.
bit_word bit_fft_point(std::size_t i);

// f[0 .. 2^m) := its values at W[0 .. 2^m) (m in 0 .. 63), and back.
// f: overwritten.
void bit_fft_forward(bit_word* f, int m, bit_kernel kernel = bit_kernel::best);
void bit_fft_inverse(bit_word* f, int m, bit_kernel kernel = bit_kernel::best);

// Scratch words bit_fft_mul needs for operands of na and nb words.
std::size_t bit_fft_mul_scratch(std::size_t na, std::size_t nb);

// c[0 .. na + nb) := a[0 .. na) * b[0 .. nb) by the transforms; na, nb >= 1.
// a, b: kept; c: overwritten (neither a nor b); scratch: at least
// bit_fft_mul_scratch(na, nb) words, overwritten. The same bits as
// bit_poly_mul.
void bit_fft_mul(bit_word* c, const bit_word* a, std::size_t na, const bit_word* b, std::size_t nb,
                 bit_word* scratch, bit_kernel kernel = bit_kernel::best);

}  // namespace tavrin
