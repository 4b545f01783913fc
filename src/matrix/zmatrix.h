// Integer matrices as plain values, for the normal forms that work modulo
// a determinant: a ZMatrix holds rows x cols ZInts (numbers/zint.h) row by
// row, so the bounded eliminations can hold whole matrices and give every
// byte back on any exit.
#pragma once

#include <cstdint>
#include <vector>

#include "numbers/zint.h"

namespace tavrin {

struct ZMatrix {
  std::int32_t rows = 0, cols = 0;
  std::vector<ZInt> cell;  // row by row
  ZMatrix() = default;
  ZMatrix(std::int32_t r, std::int32_t c)
      : rows(r), cols(c), cell(static_cast<std::size_t>(r) * c) {}
  ZInt& at(std::int32_t r, std::int32_t c) { return cell[static_cast<std::size_t>(r) * cols + c]; }
  const ZInt& at(std::int32_t r, std::int32_t c) const {
    return cell[static_cast<std::size_t>(r) * cols + c];
  }
  static ZMatrix identity(std::int32_t n);
  ZMatrix transposed() const;
  // Every entry below 2^bits in absolute value.
  bool entries_below(std::int32_t bits) const;
};

// a * b (schoolbook, skipping zero entries of a).
ZMatrix operator*(const ZMatrix& a, const ZMatrix& b);
// a * b == c, without forming big products entry by entry: each row of
// a b is summed in signed 64-bit digits, the short entries of a (below
// 2^27) multiplying b's digits directly. The check of the transforms.
bool product_equals(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c);
bool operator==(const ZMatrix& a, const ZMatrix& b);

}  // namespace tavrin
