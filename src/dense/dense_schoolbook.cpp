// Schoolbook products of array slices: coefficient by coefficient, each
// result entry the sum of its terms x[i]*y[k - i].
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"
#include "numbers/word_mod.h"

namespace tavrin {

using dense_detail::diagnostic;
using dense_detail::Residues;

namespace {

// Moduli up to 65535: the terms of one coefficient (each product below
// 2^32, at most 25,001 of them) are summed in 64 bits and the sum reduced
// once.
void small_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                   std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                   std::uint32_t p) {
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    std::uint64_t sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i)
      sum += std::uint64_t{static_cast<std::uint32_t>(x[i])} * static_cast<std::uint32_t>(y[k - i]);
    z[k] = static_cast<std::int32_t>(sum % p);
  }
}

// Larger word moduli: the terms of one coefficient (each product below
// 2^62) are summed in 128 bits and the sum reduced once, from its two
// halves: (hi 2^64 + lo) mod p = ((hi mod p) (2^64 mod p) + lo mod p) mod p,
// every step in 64 bits.
void word_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                  std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                  std::int32_t modul) {
  const auto p = static_cast<std::uint64_t>(modul);
  const auto two64 = static_cast<std::uint64_t>((static_cast<unsigned __int128>(1) << 64) % p);
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    unsigned __int128 sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i)
      sum += std::uint64_t{static_cast<std::uint32_t>(x[i])} * static_cast<std::uint32_t>(y[k - i]);
    const std::uint64_t h = static_cast<std::uint64_t>(sum >> 64) % p;
    const std::uint64_t l = static_cast<std::uint64_t>(sum) % p;
    z[k] = static_cast<std::int32_t>((h * two64 % p + l) % p);
  }
}

// Characteristic 2: field products, summed by exclusive or.
void field_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                   std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    std::int32_t sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i)
      sum ^= modmult(static_cast<std::uint32_t>(x[i]), static_cast<std::uint32_t>(y[k - i]));
    z[k] = sum;
  }
}

}  // namespace

void onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                 std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  if (x[xb] == 0 || y[yb] == 0) {
    diagnostic(" ** bad upper limits, onevar %li, %li, %li, %li, %li, %li\n", x[xb], y[yb], xa,
               xb, ya, yb);
    tavrin_error("0 upper value in onevar_mult.", true);
  }
  if (xb < xa || yb < ya) {
    diagnostic(" ** bad exps onevar %li, %li, %li, %li\n", xa, xb, ya, yb);
    tavrin_error("potential 0 in onevar_mult.", true);
  }
  if (finf) {
    field_product(x, y, z, xa, xb, ya, yb);
  } else if (modulus <= 65535) {
    small_product(x, y, z, xa, xb, ya, yb, static_cast<std::uint32_t>(modulus));
  } else {
    word_product(x, y, z, xa, xb, ya, yb, modulus);
  }
}

void slower_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                        std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    std::int32_t sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i) {
      const std::int32_t t =
          modmult(static_cast<std::uint32_t>(x[i]), static_cast<std::uint32_t>(y[k - i]));
      sum = mod_add(static_cast<std::uint32_t>(sum), static_cast<std::uint32_t>(t), modulus);
    }
    z[k] = sum;
  }
}

void simple_onevar_mult(const std::int32_t* xa, const std::int32_t* ya, std::int32_t* za,
                        std::int32_t xexp, std::int32_t yexp) {
  const Residues ring = Residues::current();
  const auto y0 = static_cast<std::uint32_t>(ya[0]);
  for (std::int32_t i = 0; i <= xexp; ++i) za[i] = modmult(y0, static_cast<std::uint32_t>(xa[i]));
  for (std::int32_t i = xexp + 1; i <= xexp + yexp; ++i) za[i] = 0;
  for (std::int32_t j = 1; j <= yexp; ++j) {
    const auto yj = static_cast<std::uint32_t>(ya[j]);
    for (std::int32_t i = 0; i <= xexp; ++i)
      za[i + j] = ring.add(za[i + j], modmult(yj, static_cast<std::uint32_t>(xa[i])));
  }
}

}  // namespace tavrin
