#include "numbers/char2_field.h"

#include <vector>

namespace tavrin {

namespace {

// Powers of x and discrete logarithms of one field. expo has 2 * order
// entries so that log a + log b needs no reduction.
struct field_tables {
  std::int32_t order = 0;  // size of the multiplicative group
  std::vector<std::uint16_t> expo;
  std::vector<std::int32_t> logs;

  field_tables(std::uint32_t poly, int bits) {
    const std::uint32_t size = std::uint32_t{1} << bits;
    order = static_cast<std::int32_t>(size - 1);
    expo.resize(2 * (size - 1));
    logs.assign(size, 0);
    std::uint32_t v = 1;
    for (std::uint32_t k = 0; k < size - 1; ++k) {
      expo[k] = static_cast<std::uint16_t>(v);
      expo[k + size - 1] = static_cast<std::uint16_t>(v);
      logs[v] = static_cast<std::int32_t>(k);
      v <<= 1;
      if ((v & size) != 0) v ^= poly;
    }
  }
};

const field_tables gf256(gf256_poly, 8);
const field_tables gf65536(gf65536_poly, 16);

const field_tables& tables_for(std::int32_t field_size) {
  return field_size == 256 ? gf256 : gf65536;
}

}  // namespace

const char2_tables& char2_tables_of(std::int32_t field_size) {
  static const char2_tables small{gf256.order, gf256.expo.data(), gf256.logs.data()};
  static const char2_tables large{gf65536.order, gf65536.expo.data(), gf65536.logs.data()};
  return field_size == 256 ? small : large;
}

std::int32_t char2_mult(std::uint32_t x, std::uint32_t y, std::int32_t field_size) {
  if (x == 0 || y == 0) return 0;
  const field_tables& t = tables_for(field_size);
  return t.expo[static_cast<std::size_t>(t.logs[x] + t.logs[y])];
}

std::int32_t char2_inverse(std::uint32_t x, std::int32_t field_size) {
  const field_tables& t = tables_for(field_size);
  const std::int32_t l = t.logs[x];
  return t.expo[static_cast<std::size_t>(l == 0 ? 0 : t.order - l)];
}

}  // namespace tavrin
