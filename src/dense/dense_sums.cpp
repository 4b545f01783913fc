// Sums and differences of array slices. Each runs in ascending index order
// over up to three ranges: where only the operand that starts lower is
// present, where both are, and above the one that ends lower; ranges held by
// one operand are copied, not added to zeros.
#include <algorithm>
#include <cstdint>

#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"

namespace tavrin {

using dense_detail::diagnostic;
using dense_detail::neg_residue;
using dense_detail::trim_degree;

namespace {

// The word operations of one characteristic, chosen once per call.
template <bool Char2>
struct Ops {
  static std::int32_t add(std::int32_t x, std::int32_t y, std::int32_t p) {
    if constexpr (Char2) {
      return x ^ y;
    } else {
      return add_residues(x, y, p);
    }
  }
  static std::int32_t sub(std::int32_t x, std::int32_t y, std::int32_t p) {
    if constexpr (Char2) {
      return x ^ y;
    } else {
      return sub_residues(x, y, p);
    }
  }
  static std::int32_t neg(std::int32_t y, std::int32_t p) {
    if constexpr (Char2) {
      return y;
    } else {
      return neg_residue(y, p);
    }
  }
};

// z[i] := x[i] + y[i - n] over the ranges of the shifted second operand
// [ya, yb] (already shifted: y is read at i - n); returns the top.
template <bool Char2>
std::int32_t add_ranges(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                        std::int32_t xa, std::int32_t xb, std::int32_t ya, std::int32_t yb,
                        std::int32_t n, std::int32_t p) {
  std::int32_t i = xa;
  for (const std::int32_t e = std::min(ya - 1, xb); i <= e; ++i) z[i] = x[i];
  for (const std::int32_t e = std::min(xb, yb); i <= e; ++i)
    z[i] = Ops<Char2>::add(x[i], y[i - n], p);
  if (xb > yb) {
    for (; i <= xb; ++i) z[i] = x[i];
    return xb;
  }
  for (; i < ya; ++i) z[i] = 0;
  for (; i <= yb; ++i) z[i] = y[i - n];
  return yb;
}

// z[i] := x[i] - y[i + n] for i = xa .. with the second operand ending at
// yb (shifted: read at i + n); returns the top.
template <bool Char2>
std::int32_t sub_ranges(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                        std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                        std::int32_t p) {
  std::int32_t i = xa;
  for (const std::int32_t e = std::min(xb, yb); i <= e; ++i)
    z[i] = Ops<Char2>::sub(x[i], y[i + n], p);
  if (xb <= yb) {
    for (; i <= yb; ++i) z[i] = Ops<Char2>::neg(y[i + n], p);
    return yb;
  }
  for (; i <= xb; ++i) z[i] = x[i];
  return xb;
}

std::int32_t add_any(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                     std::int32_t xb, std::int32_t ya, std::int32_t yb, std::int32_t n,
                     const Ring& ring) {
  return ring.char2 ? add_ranges<true>(x, y, z, xa, xb, ya, yb, n, ring.modulus)
                    : add_ranges<false>(x, y, z, xa, xb, ya, yb, n, ring.modulus);
}

std::int32_t sub_any(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                     std::int32_t xb, std::int32_t yb, std::int32_t n, const Ring& ring) {
  return ring.char2 ? sub_ranges<true>(x, y, z, xa, xb, yb, n, ring.modulus)
                    : sub_ranges<false>(x, y, z, xa, xb, yb, n, ring.modulus);
}

// The refusal of slice bounds that are reversed: the diagnostic line with
// the four bounds, then the internal error.
void refuse_bounds(const char* format, const char* message, std::int32_t a, std::int32_t b,
                   std::int32_t c, std::int32_t d) {
  diagnostic(format, a, b, c, d);
  tavrin_error(message, true);
}

}  // namespace

void onevar_add(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t ya, std::int32_t yb, std::int32_t* deg) {
  onevar_add(x, y, z, xa, xb, ya, yb, deg, Ring::current());
}

void onevar_add(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t ya, std::int32_t yb, std::int32_t* deg,
                const Ring& ring) {
  if (xb < xa || yb < ya)
    refuse_bounds("** onevar_add %li, %li, %li, %li\n", " onevar_add reversed degrees. ", xa, xb,
                  ya, yb);
  *deg = trim_degree(z, add_any(x, y, z, xa, xb, ya, yb, 0, ring), xa);
}

void onevar_add_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg) {
  onevar_add_shift(x, y, z, xa, xb, yb, n, deg, Ring::current());
}

void onevar_add_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg, const Ring& ring) {
  if (xb < xa || yb < xa)
    refuse_bounds("** onevar_add_shift %li, %li, %li, %li\n", " onevar_add_shift reversed degrees.",
                  xa, xb, yb, n);
  *deg = trim_degree(z, add_any(x, y, z, xa, xb, xa + n, yb + n, n, ring), xa);
}

void onevar_sub(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t yb, std::int32_t* deg) {
  onevar_sub(x, y, z, xa, xb, yb, deg, Ring::current());
}

void onevar_sub(const std::int32_t* x, const std::int32_t* y, std::int32_t* z, std::int32_t xa,
                std::int32_t xb, std::int32_t yb, std::int32_t* deg, const Ring& ring) {
  *deg = trim_degree(z, sub_any(x, y, z, xa, xb, yb, 0, ring), xa);
}

void onevar_sub_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg) {
  onevar_sub_shift(x, y, z, xa, xb, yb, n, deg, Ring::current());
}

void onevar_sub_shift(const std::int32_t* x, const std::int32_t* y, std::int32_t* z,
                      std::int32_t xa, std::int32_t xb, std::int32_t yb, std::int32_t n,
                      std::int32_t* deg, const Ring& ring) {
  if (yb < xa + n || xb < xa - 1) {
    refuse_bounds("** onevar_sub_shift %li, %li, %li, %li\n", " onevar_sub_shift reversed degrees.",
                  xa, xb, yb, n);
  } else if (xb == xa - 1) {
    refuse_bounds("** new xb=xa-1 %li, %li, %li, %li\n", " onevar_sub_shift xb=xa-1.", xa, xb, yb,
                  n);
  }
  *deg = trim_degree(z, sub_any(x, y, z, xa, xb, yb - n, n, ring), xa);
}

void onevar_self_add(const std::int32_t* x, std::int32_t* z, std::int32_t xa, std::int32_t xb,
                     std::int32_t n, std::int32_t* deg) {
  onevar_self_add(x, z, xa, xb, n, deg, Ring::current());
}

void onevar_self_add(const std::int32_t* x, std::int32_t* z, std::int32_t xa, std::int32_t xb,
                     std::int32_t n, std::int32_t* deg, const Ring& ring) {
  // A0 = [xa, *deg] plus the upper half read at i + n, which ends at xb - n.
  *deg = trim_degree(z, add_any(x, x + n, z, xa, *deg, xa, xb - n, 0, ring), xa);
}

}  // namespace tavrin
