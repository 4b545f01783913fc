// Integer matrices as plain values (see zmatrix.h).
#include "matrix/zmatrix.h"
#include "core/target_clones.h"

#include <algorithm>
#include <utility>

#include "core/interrupts.h"

namespace tavrin {

namespace {

constexpr std::uint32_t base_bits = 28;
constexpr std::uint32_t digit_mask = (1u << base_bits) - 1;

}  // namespace

ZMatrix ZMatrix::identity(std::int32_t n) {
  ZMatrix m(n, n);
  for (std::int32_t i = 0; i < n; ++i) m.at(i, i) = 1;
  return m;
}

ZMatrix ZMatrix::transposed() const {
  ZMatrix t(cols, rows);
  for (std::int32_t r = 0; r < rows; ++r)
    for (std::int32_t c = 0; c < cols; ++c) t.at(c, r) = at(r, c);
  return t;
}

bool ZMatrix::entries_below(std::int32_t bits) const {
  for (const ZInt& x : cell)
    if (x.bit_length() >= bits) return false;
  return true;
}

ZMatrix operator*(const ZMatrix& a, const ZMatrix& b) {
  ZMatrix p(a.rows, b.cols);
  for (std::int32_t i = 0; i < a.rows; ++i) {
    check_interrupt();
    for (std::int32_t k = 0; k < a.cols; ++k) {
      const ZInt& x = a.at(i, k);
      if (x.is_zero()) continue;
      for (std::int32_t j = 0; j < b.cols; ++j)
        if (!b.at(k, j).is_zero()) p.at(i, j) += x * b.at(k, j);
    }
  }
  return p;
}

namespace {

// dst[t] += f d[t] for a short f (|f| < 2^27): the inner loop of
// product_equals.
TAVRIN_CLONES void add_scaled_digits(std::int64_t* __restrict dst,
                                     const std::uint32_t* __restrict d, std::int32_t f,
                                     std::size_t len) {
  for (std::size_t t = 0; t < len; ++t)
    dst[t] += static_cast<std::int64_t>(f) * static_cast<std::int32_t>(d[t]);
}

// The value of signed 64-bit digits base 2^28 (least significant first),
// each below 2^62 in absolute value.
ZInt from_signed_digits(std::vector<std::int64_t> acc) {
  std::int64_t carry = 0;
  for (std::int64_t& v : acc) {
    v += carry;
    carry = v >> base_bits;  // floor: v in [0, 2^28), the sign travels up
    v &= digit_mask;
  }
  // value = low + carry * B^len with low = the digits.
  ZDigits m;
  std::int64_t borrow = 0;
  const int sign = carry < 0 ? -1 : 1;
  for (std::int64_t v : acc) {
    if (sign > 0) {
      m.push_back(static_cast<std::uint32_t>(v));
      continue;
    }
    // |value| = (-carry) B^len - low, the low part by its complement.
    v = -v - borrow;
    borrow = v < 0 ? 1 : 0;
    m.push_back(static_cast<std::uint32_t>(v + (borrow << base_bits)));
  }
  std::uint64_t top = sign > 0
                          ? static_cast<std::uint64_t>(carry)
                          : static_cast<std::uint64_t>(-carry) - static_cast<std::uint64_t>(borrow);
  for (; top != 0; top >>= base_bits) m.push_back(static_cast<std::uint32_t>(top & digit_mask));
  return ZInt::from_digits(std::move(m), sign);
}

}  // namespace

bool product_equals(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c) {
  if (a.cols != b.rows || c.rows != a.rows || c.cols != b.cols) return false;
  const std::int32_t n = b.cols;
  // Each column's accumulator: its longest entry of b and three digits.
  std::vector<std::size_t> at(static_cast<std::size_t>(n) + 1, 0);
  for (std::int32_t j = 0; j < n; ++j) {
    std::int32_t len = 0;
    for (std::int32_t k = 0; k < b.rows; ++k) len = std::max(len, b.at(k, j).digits());
    at[static_cast<std::size_t>(j) + 1] =
        at[static_cast<std::size_t>(j)] + static_cast<std::size_t>(len + 3);
  }
  std::vector<std::int64_t> acc(at.back());
  std::vector<ZInt> rest(static_cast<std::size_t>(n));
  // Carries up to the column's top digit, which keeps the sign.
  auto settle = [&](std::int32_t j) {
    std::int64_t carry = 0;
    const std::size_t top = at[static_cast<std::size_t>(j) + 1] - 1;
    for (std::size_t t = at[static_cast<std::size_t>(j)]; t < top; ++t) {
      acc[t] += carry;
      carry = acc[t] >> base_bits;
      acc[t] &= digit_mask;
    }
    acc[top] += carry;
  };
  for (std::int32_t i = 0; i < a.rows; ++i) {
    check_interrupt();
    std::fill(acc.begin(), acc.end(), 0);
    for (ZInt& z : rest) z = 0;
    int pending = 0;
    for (std::int32_t k = 0; k < a.cols; ++k) {
      const ZInt& x = a.at(i, k);
      if (x.is_zero()) continue;
      if (x.bit_length() > 27) {
        for (std::int32_t j = 0; j < n; ++j)
          if (!b.at(k, j).is_zero()) rest[static_cast<std::size_t>(j)] += x * b.at(k, j);
        continue;
      }
      const std::int64_t m = x.to_int64();
      for (std::int32_t j = 0; j < n; ++j) {
        const ZInt& y = b.at(k, j);
        if (y.is_zero()) continue;
        const auto d = y.magnitude();
        add_scaled_digits(acc.data() + at[static_cast<std::size_t>(j)], d.data(),
                          static_cast<std::int32_t>(y.sign() < 0 ? -m : m), d.size());
      }
      // 2^27 * 2^28 per term: 64 terms stay below 2^61.
      if (++pending == 64) {
        for (std::int32_t j = 0; j < n; ++j) settle(j);
        pending = 0;
      }
    }
    for (std::int32_t j = 0; j < n; ++j) {
      std::vector<std::int64_t> digits(
          acc.begin() + static_cast<std::ptrdiff_t>(at[static_cast<std::size_t>(j)]),
          acc.begin() + static_cast<std::ptrdiff_t>(at[static_cast<std::size_t>(j) + 1]));
      if (from_signed_digits(digits) + rest[static_cast<std::size_t>(j)] != c.at(i, j))
        return false;
    }
  }
  return true;
}

bool operator==(const ZMatrix& a, const ZMatrix& b) {
  return a.rows == b.rows && a.cols == b.cols &&
         std::equal(a.cell.begin(), a.cell.end(), b.cell.begin());
}

}  // namespace tavrin
