// Characteristic polynomials of integer matrices by images: the matrix
// modulo word primes, det(xI - A) modulo each prime by a reduction to
// Hessenberg form, the coefficients combined by Chinese remaindering up to
// a proven bound and lifted to symmetric residues.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

// The n x n integer matrix, stored column by column: entry (r, c) at
// cells[c * n + r], each a number value in rational arithmetic (nil is 0).
// Returns false, touching nothing, when the route does not apply (another
// ground ring, an entry that is not an integer, a side out of range);
// otherwise *out := det(A - xI) in the top variable x (replaced).
bool int_char_poly(const std::vector<quoly>& cells, std::int32_t n, quolyptr out);

// The same for the rows x rows sparse matrix spar (kept).
bool int_char_poly_sparse(sparseptr spar, std::int32_t rows, quolyptr out);

namespace charpoly_images {

// The primes of the images: the word primes below 2^31 (Shoup products stay
// in 32 bits), largest first; largest_word_prime(0) is the largest.
std::uint32_t largest_word_prime(std::int32_t k);

// c[0 .. n] of det(xI - A) modulo p (c[n] = 1), A the n x n matrix of
// residues in [0, p) stored column by column; a is overwritten.
std::vector<std::uint32_t> char_poly_mod(std::uint32_t* a, std::int32_t n, std::uint32_t p);

// An upper bound, in bits, on the magnitude of every coefficient of the
// characteristic polynomial of a matrix whose row i has Euclidean norm
// 2^log_rows[i] and column j norm 2^log_cols[j]: the largest over k of the
// elementary symmetric function e_k of the norms (Hadamard's bound on every
// principal minor).
double coefficient_bits(const std::vector<long double>& log_rows,
                        const std::vector<long double>& log_cols);

}  // namespace charpoly_images

}  // namespace tavrin
