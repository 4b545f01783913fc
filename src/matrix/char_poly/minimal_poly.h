// Minimal polynomials of sparse matrices from random projections (Mills'
// continued-fraction form of Berlekamp-Massey, images modulo word primes
// combined by the Chinese remainder theorem). The routine itself, Mills, is
// declared in arrays/det_upcalls.h for the built-in that calls it.
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin {

// The random start vector, drawn on first use with 32767 entries in
// [0, mills_mod) and kept between calls; it is drawn again only when the
// current modulus asks for another range. mills_mod = min(modulus, 5), 0
// before the first draw.
extern std::vector<std::uint32_t> xmills;
extern std::int32_t mills_mod;

// The check prime that fixes the signs of the combined coefficients: it lies
// just beyond the word primes of the images.
constexpr std::uint32_t mills_check_prime = 48871;

}  // namespace tavrin
