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
using dense_detail::SmallReducer;

namespace {

// Moduli up to 65535: every term is the 32-bit product reduced, and the at
// most 25,001 reduced terms of one coefficient (each below 65535) are summed
// in 32 bits without overflow and reduced once.
void small_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                   std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                   SmallReducer red) {
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    std::uint32_t sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i)
      sum += red.reduce(static_cast<std::uint32_t>(x[i]) * static_cast<std::uint32_t>(y[k - i]));
    z[k] = static_cast<std::int32_t>(red.reduce(sum));
  }
}

// The scaled operand of word_product, grown to the longest length needed
// and kept for the run.
double* scaled_buffer(std::size_t length) {
  static std::vector<double> buffer;
  if (buffer.size() < length) buffer.resize(std::max<std::size_t>(length, 1024));
  return buffer.data();
}

// Larger word moduli: each term is the modular product and the running sum
// is kept a residue. The term's quotient by p is estimated in double
// precision from the shorter operand scaled by 1/p once (the estimate is
// below 2^31 with a relative error near 2^-51, so it is off by at most one)
// and the remainder is formed exactly in 64 bits and corrected.
void word_product(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                  std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                  std::int32_t modul) {
  if (xb - xa > yb - ya) {
    std::swap(x, y);
    std::swap(xa, ya);
    std::swap(xb, yb);
  }
  const std::int64_t p = modul;
  const double pinv = 1.0 / static_cast<double>(modul);
  double* const scaled = scaled_buffer(static_cast<std::size_t>(xb - xa + 1)) - xa;
  for (std::int32_t i = xa; i <= xb; ++i) scaled[i] = static_cast<double>(x[i]) * pinv;
  for (std::int32_t k = xa + ya; k <= xb + yb; ++k) {
    const std::int32_t lo = std::max(xa, k - yb);
    const std::int32_t hi = std::min(xb, k - ya);
    std::int64_t sum = 0;
    for (std::int32_t i = lo; i <= hi; ++i) {
      const std::int64_t b = y[k - i];
      const auto q = static_cast<std::int64_t>(scaled[i] * static_cast<double>(b));
      std::int64_t r = x[i] * b - q * p;
      if (r < 0) r += p;
      if (r >= p) r -= p;
      sum += r;
      if (sum >= p) sum -= p;
    }
    z[k] = static_cast<std::int32_t>(sum);
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
    small_product(x, y, z, xa, xb, ya, yb, SmallReducer(static_cast<std::uint32_t>(modulus)));
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
