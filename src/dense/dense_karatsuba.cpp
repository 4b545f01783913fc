// The Karatsuba product of array slices.
//
// Balanced operands (spans s <= l < 2s) are split at h = s div 2 into
// A0 + A1 t^h and B0 + B1 t^h (the upper halves keep their own exponents):
// P0 = A0 B0 goes straight into the result, L0 = (A0 + A1)(B0 + B1) and
// A1 B1 are formed in the level's work arrays, and the middle product
// (A0 + A1)(B0 + B1) - A0 B0 - A1 B1 is added in at t^h. The work arrays
// hold gcd_array_size entries; a longer product takes arrays of its own.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"
#include "dense/dense_mult.h"
#include "dense/dense_transform_impl.h"

namespace tavrin {

using dense_detail::diagnostic;
using dense_detail::karatsuba_steps;
using dense_detail::WorkArrays;

dense_detail::KaratsubaSteps dense_detail::karatsuba_steps;

namespace {

// z on [xa + ya, xb + yb] := x on [xa, xb] times y on [ya, yb] modulo the
// prime modulus, for a product longer than the longest transform: pieces
// of at most half its length, each pair by one transform, summed into z.
void transform_pieces(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                      const Ring& ring) {
  constexpr std::int32_t piece = std::int32_t{1} << (dense_detail::transform_max_lg - 1);
  std::fill(z + xa + ya, z + xb + yb + 1, 0);
  std::vector<std::int32_t> t(2 * static_cast<std::size_t>(piece) - 1);
  for (std::int32_t i = xa; i <= xb; i += piece) {
    const std::int32_t ni = std::min(piece, xb - i + 1);
    for (std::int32_t j = ya; j <= yb; j += piece) {
      check_interrupt();
      const std::int32_t nj = std::min(piece, yb - j + 1);
      dense_detail::ntt_product(x + i, ni, y + j, nj, t.data(), ring.modulus);
      std::int32_t* out = z + i + j;
      for (std::int32_t k = 0; k < ni + nj - 1; ++k)
        out[k] = add_residues(out[k], t[static_cast<std::size_t>(k)], ring.modulus);
    }
  }
}

}  // namespace

void fast_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                            std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb) {
  fast_array_onevar_mult(x, y, z, xa, xb, ya, yb, Ring::current());
}

void fast_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                            std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                            const Ring& ring) {
  // Low zero entries are skipped and the result's entries below them zeroed.
  const std::int32_t old_xa = xa, old_ya = ya;
  if (x[xa] == 0 || y[ya] == 0) {
    while (xa <= xb && x[xa] == 0) ++xa;
    while (ya <= yb && y[ya] == 0) ++ya;
    const std::int32_t end = std::min(xa + ya, xb + yb + 1);
    for (std::int32_t k = old_xa + old_ya; k < end; ++k) z[k] = 0;
  }
  if (xb < xa || yb < ya) {
    diagnostic(" ** bad exps fast_array_onevar %li, %li, %li, %li, %li, %li, %li, %li\n", xa, xb,
               ya, yb, x[xb], y[yb], old_xa, old_ya);
    tavrin_error("bad exps in fast_array_onevar_mult.", true);
  }
  if (!ring.char2 && std::min(xb - xa, yb - ya) >= dense_ntt_span) {
    ++karatsuba_steps.transforms;
    if (dense_detail::transform_lg(std::int64_t{xb - xa} + (yb - ya) + 1) <=
        dense_detail::transform_max_lg)
      dense_detail::ntt_product(x + xa, xb - xa + 1, y + ya, yb - ya + 1, z + xa + ya,
                                ring.modulus);
    else
      transform_pieces(x, y, z, xa, xb, ya, yb, ring);
    return;
  }
  if (xb - xa < poly_cutoff || yb - ya < poly_cutoff) {
    onevar_mult(x, y, z, xa, xb, ya, yb, ring);
    return;
  }
  // x is the shorter operand from here on; equal spans stay as they are.
  if (yb - ya < xb - xa) {
    std::swap(x, y);
    std::swap(xa, ya);
    std::swap(xb, yb);
  }
  const std::int32_t s = xb - xa;
  const std::int32_t l = yb - ya;
  if (l > 15 * s) {
    onevar_mult(x, y, z, xa, xb, ya, yb, ring);
    return;
  }

  std::optional<WorkArrays> level;
  std::vector<std::int32_t> own;
  std::int32_t *L0 = nullptr, *L1 = nullptr, *L2 = nullptr;
  if (xb + yb < gcd_array_size) {
    level.emplace(3);
    L0 = (*level)[0];
    L1 = (*level)[1];
    L2 = (*level)[2];
  } else {
    const auto n = static_cast<std::size_t>(xb + yb) + 1;
    own.resize(3 * n);
    L0 = own.data();
    L1 = L0 + n;
    L2 = L1 + n;
  }
  std::int32_t deg = 0;

  if (l >= 2 * s) {
    // Unbalanced: x times the top s coefficients of y, plus x times the rest
    // (whose top zeros are dropped; y[ya] is non-zero).
    ++karatsuba_steps.unbalanced;
    std::int32_t c = yb - s;
    while (c > ya && y[c] == 0) --c;
    fast_array_onevar_mult(x, y, L1, xa, xb, ya, c, ring);
    fast_array_onevar_mult(x, y, L2, xa, xb, yb - s + 1, yb, ring);
    onevar_add(L1, L2, z, xa + ya, xb + c, xa + yb - s + 1, xb + yb, &deg, ring);
    return;
  }

  ++karatsuba_steps.balanced;
  const std::int32_t h = s / 2;
  std::int32_t a0 = xa + h - 1;
  while (a0 > xa && x[a0] == 0) --a0;
  std::int32_t b0 = ya + h - 1;
  while (b0 > ya && y[b0] == 0) --b0;
  if (x[a0] == 0 || y[b0] == 0) {
    diagnostic("bad 0: %li, %li, %li, %li\n", a0, b0, x[a0], y[b0]);
    tavrin_error(" bad 0 one in fast_array_onevar_mult.", true);
  }
  // P0 = A0 B0 in z on [xa + ya, a0 + b0].
  fast_array_onevar_mult(x, y, z, xa, a0, ya, b0, ring);

  // L1 = A0 + A1 t^-h, L2 = B0 + B1 t^-h; their tops are x[xb] and y[yb].
  std::int32_t d1 = a0;
  onevar_self_add(x, L1, xa, xb, h, &d1, ring);
  std::int32_t d2 = b0;
  onevar_self_add(y, L2, ya, yb, h, &d2, ring);
  if (L1[d1] == 0 || L2[d2] == 0) {
    diagnostic("bad 0: %li, %li, %li, %li\n", d1, d2, L1[d1], L2[d2]);
    tavrin_error("bad 0 two in fast_array_onevar_mult.", true);
  }
  fast_array_onevar_mult(L1, L2, L0, xa, d1, ya, d2, ring);

  // L2 = L0 - P0.
  std::int32_t d3 = 0;
  onevar_sub(L0, z, L2, xa + ya, d1 + d2, a0 + b0, &d3, ring);

  // L0 = A1 B1 at its own exponents [xa + ya + 2h, xb + yb].
  if (x[xb] == 0 || y[yb] == 0) {
    diagnostic("bad 0: %li, %li, %li, %li\n", xb, yb, x[xb], y[yb]);
    tavrin_error("bad 0 three in fast_array_onevar_mult.", true);
  }
  fast_array_onevar_mult(x, y, L0, xa + h, xb, ya + h, yb, ring);

  // L1 = L2 - A1 B1 t^-2h: the middle product, at t^-h.
  std::int32_t d4 = 0;
  onevar_sub_shift(L2, L0, L1, xa + ya, d3, xb + yb, 2 * h, &d4, ring);

  // L2 = P0 + L1 t^h.
  std::int32_t d5 = 0;
  if (d4 < xa + ya) {
    d5 = a0 + b0;
    std::copy(z + xa + ya, z + d5 + 1, L2 + xa + ya);
  } else {
    onevar_add_shift(z, L1, L2, xa + ya, a0 + b0, d4, h, &d5, ring);
  }

  // z = L2 + A1 B1.
  onevar_add(L2, L0, z, xa + ya, d5, xa + ya + 2 * h, xb + yb, &deg, ring);
}

std::int32_t fast_0_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                                      std::int32_t xa, std::int32_t xb, std::int32_t ya,
                                      std::int32_t yb) {
  return fast_0_array_onevar_mult(x, y, z, xa, xb, ya, yb, Ring::current());
}

std::int32_t fast_0_array_onevar_mult(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                                      std::int32_t xa, std::int32_t xb, std::int32_t ya,
                                      std::int32_t yb, const Ring& ring) {
  if (x[xb] == 0 || y[yb] == 0) {
    z[0] = 0;
    return 0;
  }
  fast_array_onevar_mult(x, y, z, xa, xb, ya, yb, ring);
  return xb + yb;
}

}  // namespace tavrin
