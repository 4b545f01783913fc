// Exponent vectors packed into one 64-bit key: the layout of the flat
// products (poly_flat_mult.h) and of the flat GCD engines (gcd/flat_gcd.h).
//
// Representation. Field k (k = 0 .. depth - 1) holds an exponent in
// width[k] bits from bit shift[k]; fields do not overlap, and total bits
// are used. The flat products give level k the width its exponent sums
// need, the deepest level at bit 0, so that the key of a product of terms
// is the sum of their keys. The GCD engines give every variable the same
// field with a guard bit above it (flat_poly_impl.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin::detail {

constexpr int flat_max_levels = 64;

inline std::uint64_t mask_below(int bits) {
  return bits >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << bits) - 1;
}
inline std::uint64_t high_part(std::uint64_t key, int bits) { return bits >= 64 ? 0 : key >> bits; }

struct Packing {
  int depth = 0;
  std::array<int, flat_max_levels> shift{};
  std::array<int, flat_max_levels> width{};
  int total = 0;

  // A key with 1 in field k.
  std::uint64_t unit(int k) const { return std::uint64_t{1} << shift[static_cast<std::size_t>(k)]; }
  // The bits of field k.
  std::uint64_t field_mask(int k) const {
    const auto i = static_cast<std::size_t>(k);
    return mask_below(width[i]) << shift[i];
  }
  // The exponent in field k of key.
  std::int64_t field(std::uint64_t key, int k) const {
    const auto i = static_cast<std::size_t>(k);
    return static_cast<std::int64_t>((key >> shift[i]) & mask_below(width[i]));
  }
};

}  // namespace tavrin::detail
