// Polynomials over GF(2) as arrays of 64-bit words, and their carry-less
// products: the kernel under the long products of the fields of
// characteristic 2 (dense/dense_char2.h packs their coefficients into such
// arrays, Kronecker's substitution).
//
// Representation: bit j of word i is the coefficient of x^(64 i + j); a
// length counts words. Sums are exclusive or, so no product carries.
//
// The one-word product (64 x 64 -> 128 bits) is the processor's carry-less
// multiply (PCLMULQDQ) where it has one, asked once at run time, else a
// portable product by a table of the sixteen multiples of one factor; both
// give the same bits. Products of arrays run schoolbook columns below a cut
// (bit_pair_karatsuba_words words with the instruction, whose columns take
// pairs of words, four pairs at once where the 512-bit form exists;
// bit_karatsuba_words with the portable product), Karatsuba's recursion
// above and, once the two lengths average bit_fft_words words, additive
// transforms over GF(2^64) (numbers/bit_fft.h); an operand more than that of
// the other's length (four times it on the transforms' side) is cut into
// pieces as long as the shorter one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin {

using bit_word = std::uint64_t;

// Which base case the array products use: the best the processor has (with
// the carry-less multiply, columns by pairs of words), the portable one-word
// product, or the reference route: one-word columns with the processor's
// product and Karatsuba's recursion as first written (tests compare them).
enum class bit_kernel { best, portable, reference };

// The processor has the carry-less multiply instruction (asked once).
bool bit_clmul_available();

// Whether bit_kernel::best may take that instruction (default true). Off,
// every product runs as on a processor without it; tests turn it off
// through a guard. Reader: bit_poly_mul.
extern bool bit_clmul_allowed;

// The processor multiplies four pairs of words at once (the 512-bit
// carry-less multiply; asked once).
bool bit_wide_clmul_available();

// Whether bit_kernel::best may take that instruction (default true); tests
// turn it off through a guard to reach the one-pair columns. Reader:
// bit_poly_mul.
extern bool bit_wide_clmul_allowed;

// (*hi, *lo) := a * b over GF(2), the portable product.
void bit_mul1_portable(bit_word a, bit_word b, bit_word* lo, bit_word* hi);

// Scratch words bit_poly_mul needs for operands of na and nb words.
std::size_t bit_poly_mul_scratch(std::size_t na, std::size_t nb);

// c[0 .. na + nb) := a[0 .. na) * b[0 .. nb); na, nb >= 1. a, b: kept;
// c: overwritten (neither a nor b); scratch: at least
// bit_poly_mul_scratch(na, nb) words, overwritten. reads: bit_karatsuba_words,
// bit_pair_karatsuba_words, bit_fft_words
void bit_poly_mul(bit_word* c, const bit_word* a, std::size_t na, const bit_word* b, std::size_t nb,
                  bit_word* scratch, bit_kernel kernel = bit_kernel::best);

// a * b with its own scratch (the empty array for an empty operand).
std::vector<bit_word> bit_poly_mul(const std::vector<bit_word>& a, const std::vector<bit_word>& b,
                                   bit_kernel kernel = bit_kernel::best);

}  // namespace tavrin
