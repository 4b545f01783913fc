// Planted for the kit-copies check: the lines marked "named" copy the word
// kit outside numbers/ and must be named; a vector kernel on the kit's
// products, a polynomial routine whose name only begins like a helper's, a
// power of integers and a quotient with its remainder may not be.
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

std::uint32_t power_by_hand(std::uint64_t b, std::uint64_t e, std::uint64_t p) {
  std::uint64_t r = 1;
  for (b %= p; e != 0; e >>= 1) {
    if (e & 1) r = r * b % p;
    b = b * b % p;  // named
  }
  return static_cast<std::uint32_t>(r);
}

std::int64_t inverse_by_hand(std::int64_t a, std::int64_t p) {
  std::int64_t r0 = p, r1 = a, s0 = 0, s1 = 1;
  while (r1 != 0) {
    const std::int64_t k = r0 / r1;  // named
    const std::int64_t r2 = r0 - k * r1, s2 = s0 - k * s1;
    r0 = r1;
    r1 = r2;
    s0 = s1;
    s1 = s2;
  }
  return s0 < 0 ? s0 + p : s0;
}

int powermod(int x) { return x; }

std::int64_t integer_power(std::int64_t x, int e) {
  std::int64_t r = 1;
  for (; e > 0; e >>= 1, x *= x)
    if (e & 1) r *= x;
  return r;
}

std::int64_t remainder_by_hand(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return a - q * b;
}

}  // namespace planted
