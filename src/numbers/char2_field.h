// The fields of characteristic 2 of modular arithmetic with `finf` set:
//   modulus 256:   GF(2^8)  = GF(2)[x] / (x^8 + x^4 + x^3 + x^2 + 1)   (0x11D)
//   modulus 65536: GF(2^16) = GF(2)[x] / (x^16 + x^12 + x^3 + x + 1)  (0x1100B)
//
// Representation: an element is the integer 0 .. modulus - 1 whose bit k is
// the coefficient of x^k. Sum and difference are exclusive or (mod_add,
// mod_sub); the product is the carry-less product reduced by the field's
// polynomial. Both polynomials are primitive, so x generates the
// multiplicative group (order modulus - 1); products and inverses go through
// tables of the powers of x and their logarithms, built once at start.
#pragma once

#include <cstdint>

namespace tavrin {

constexpr std::uint32_t gf256_poly = 0x11D;
constexpr std::uint32_t gf65536_poly = 0x1100B;

// True when field_size is 256 or 65536.
inline bool is_char2_field_size(std::int32_t field_size) {
  return field_size == 256 || field_size == 65536;
}

// x * y in the field of field_size elements (256 or 65536); x and y are
// elements (0 .. field_size - 1).
std::int32_t char2_mult(std::uint32_t x, std::uint32_t y, std::int32_t field_size);

// 1 / x in the field of field_size elements; x a non-zero element.
std::int32_t char2_inverse(std::uint32_t x, std::int32_t field_size);

// The tables behind both, for loops that multiply many elements: expo[k] =
// x^k for 0 <= k < 2 order (a sum of two logarithms needs no reduction),
// logs[v] = the k < order with x^k = v, for v non-zero (logs[0] is 0 and
// must not be read as a logarithm).
struct char2_tables {
  std::int32_t order;  // field_size - 1
  const std::uint16_t* expo;
  const std::int32_t* logs;
};
const char2_tables& char2_tables_of(std::int32_t field_size);

}  // namespace tavrin
