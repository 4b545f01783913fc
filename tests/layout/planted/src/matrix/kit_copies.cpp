// Planted for the kit-copies check: the lines marked "named" copy the word
// kit outside numbers/ and must be named; a vector kernel on the kit's
// products and a polynomial routine whose name only begins like a helper's
// may not be.
#include <cstdint>

namespace planted {

struct ShoupPair {  // named
  std::uint32_t w, wq;
};

inline std::uint32_t sub_mod(std::uint32_t a, std::uint32_t b, std::uint32_t p) {  // named
  return a >= b ? a - b : a + p - b;
}

std::uint32_t scaled(std::uint32_t a, std::uint32_t w, std::uint32_t p) {
  const auto wq = static_cast<std::uint32_t>((std::uint64_t{w} << 32) / p);  // named
  const auto q = static_cast<std::uint32_t>((std::uint64_t{a} * wq) >> 32);    // named
  return a * w - q * p;
}

bool fits(std::uint64_t len, std::uint64_t top) {
  return static_cast<unsigned __int128>(len) * top < (static_cast<unsigned __int128>(1) << 64);  // named
}

void add_shoup_multiple(std::uint32_t* t, const std::uint32_t* b, std::uint32_t w, std::uint32_t wq,
                        std::uint32_t p) {
  for (int j = 0; j < 4; ++j) t[j] += shoup_mul(b[j], w, wq, p);
}

void sub_mod_num_poly_mult(int* n, int x) { *n -= x; }

inline int add_residues(int x, int y, int p) { return x + y >= p ? x + y - p : x + y; }  // named

}  // namespace planted
