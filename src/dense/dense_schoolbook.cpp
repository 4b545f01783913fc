// Schoolbook products of array slices: coefficient by coefficient, each
// result entry the sum of its terms x[i]*y[k - i].
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"

namespace tavrin {

using dense_detail::diagnostic;
using dense_detail::Residues;

namespace {

// z[k] := the sum of the terms x[i]*y[k - i] for k = xa + ya .. xb + yb:
// each coefficient's terms folded into a Sum from zero by add(sum, x[i],
// y[k - i]) and the total stored as finish(sum).
template <class Sum, class Add, class Finish>
inline void convolve(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                     std::int32_t xb, std::int32_t ya, std::int32_t yb, Add add, Finish finish) {
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    Sum sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i) sum = add(sum, x[i], y[k - i]);
    z[k] = finish(sum);
  }
}

// The exact product of two residues.
inline std::uint64_t exact_product(std::int32_t a, std::int32_t b) {
  return static_cast<std::uint64_t>(a) * static_cast<std::uint64_t>(b);
}

// Moduli up to 65535: every term is the 32-bit product reduced, and the at
// most 25,001 reduced terms of one coefficient (each below 65535) are summed
// in 32 bits without overflow and reduced once.
void small_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                   std::int32_t xb, std::int32_t ya, std::int32_t yb, SmallReducer red) {
  convolve<std::uint32_t>(
      x, y, z, xa, xb, ya, yb,
      [red](std::uint32_t sum, std::int32_t a, std::int32_t b) {
        return sum + red.reduce(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
      },
      [red](std::uint32_t sum) { return static_cast<std::int32_t>(red.reduce(sum)); });
}

// Larger word moduli: the exact products (each below p^2 < 2^62) of one
// coefficient are summed without reduction and the sum reduced once. Below
// 2^24 a 64-bit sum holds the at most 25,001 terms of an array product
// (each below 2^48); above it the sum is kept in 128 bits, whose high word
// (below 2^15) is folded in as a multiple of 2^64 mod p (WordField).
void word_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                  std::int32_t xb, std::int32_t ya, std::int32_t yb, std::int32_t modul) {
  const WordField field(static_cast<std::uint32_t>(modul));
  if (modul < (1 << 24)) {
    convolve<std::uint64_t>(
        x, y, z, xa, xb, ya, yb,
        [](std::uint64_t sum, std::int32_t a, std::int32_t b) { return sum + exact_product(a, b); },
        [&field](std::uint64_t sum) { return static_cast<std::int32_t>(field.reduce(sum)); });
  } else {
    convolve<unsigned __int128>(
        x, y, z, xa, xb, ya, yb,
        [](unsigned __int128 sum, std::int32_t a, std::int32_t b) {
          return sum + exact_product(a, b);
        },
        [&field](unsigned __int128 sum) {
          return static_cast<std::int32_t>(field.reduce_wide(sum));
        });
  }
}

// Characteristic 2: field products, summed by exclusive or.
void field_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                   std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  convolve<std::int32_t>(
      x, y, z, xa, xb, ya, yb,
      [](std::int32_t sum, std::int32_t a, std::int32_t b) {
        return sum ^ modmult(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b));
      },
      [](std::int32_t sum) { return sum; });
}

}  // namespace

void onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                 std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  onevar_mult(x, y, z, xa, xb, ya, yb, Ring::current());
}

void onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                 std::int32_t xb, std::int32_t ya, std::int32_t yb, const Ring& ring) {
  if (x[xb] == 0 || y[yb] == 0) {
    diagnostic(" ** bad upper limits, onevar %li, %li, %li, %li, %li, %li\n", x[xb], y[yb], xa, xb,
               ya, yb);
    tavrin_error("0 upper value in onevar_mult.", true);
  }
  if (xb < xa || yb < ya) {
    diagnostic(" ** bad exps onevar %li, %li, %li, %li\n", xa, xb, ya, yb);
    tavrin_error("potential 0 in onevar_mult.", true);
  }
  if (ring.char2) {
    field_product(x, y, z, xa, xb, ya, yb);
  } else if (ring.modulus <= 65535) {
    small_product(x, y, z, xa, xb, ya, yb, SmallReducer(static_cast<std::uint32_t>(ring.modulus)));
  } else {
    word_product(x, y, z, xa, xb, ya, yb, ring.modulus);
  }
}

void slower_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                        std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  convolve<std::int32_t>(
      x, y, z, xa, xb, ya, yb,
      [](std::int32_t sum, std::int32_t a, std::int32_t b) {
        const std::int32_t t =
            modmult(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b));
        return mod_add(static_cast<std::uint32_t>(sum), static_cast<std::uint32_t>(t), modulus);
      },
      [](std::int32_t sum) { return sum; });
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
