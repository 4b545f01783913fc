// GCDs of word arrays (word_array_impl.h) by Lehmer's method: the
// Euclidean quotients of the leading 124 bits, while they are certain,
// gathered into one 2x2 matrix applied to the whole numbers in one pass
// (Knuth, TAOCP vol. 2, 4.5.2, Algorithm L); a division step when the
// lengths differ or the leading bits decide nothing.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <utility>

#include "numbers/word_array_impl.h"
#include "numbers/word_hgcd_impl.h"

namespace tavrin::detail {

namespace {

using sdword = __int128;

}  // namespace

// Bits [pos, pos + 124) of a (n words; words above n read as 0), pos >= 0.
dword bits124(const word* a, std::int32_t n, std::int64_t pos) {
  const auto i = static_cast<std::int32_t>(pos / 64);
  const int s = static_cast<int>(pos % 64);
  const dword lo = i < n ? a[i] : 0;
  const dword mid = i + 1 < n ? a[i + 1] : 0;
  const dword hi = i + 2 < n ? a[i + 2] : 0;
  dword w = (lo >> s) | (s == 0 ? mid << 64 : (mid << (64 - s)));
  if (s > 0) w |= hi << (128 - s);
  return w & ((static_cast<dword>(1) << 124) - 1);
}

namespace {

// n div d for 0 <= n, 0 < d: small quotients by subtraction.
inline dword quotient(dword n, dword d) {
  if (n < d) return 0;
  if (n - d < d) return 1;
  if (n - 2 * d < d) return 2;
  if ((n >> 64) == 0) return static_cast<word>(n) / static_cast<word>(d);
  return n / d;
}

// The quotients shared by every pair of numbers whose leading bits are
// x >= y (each below 2^124), as the matrix (A B; C D) that maps (u, v) to
// the pair they lead to, its entries kept below 2^62. False when not even
// one quotient is certain. One division a step: the quotient q of
// (X + A) by (Y + C) is checked against the other pair by a product; the
// entries stay in 64 bits (a q of 2^62 or more would break the bound).
}  // namespace

bool lehmer_matrix(dword x, dword y, Matrix& m) {
  constexpr sword bound = sword{1} << 62;
  sword A = 1, B = 0, C = 0, D = 1;
  auto X = static_cast<sdword>(x), Y = static_cast<sdword>(y);
  for (;;) {
    const sdword n1 = X + A, d1 = Y + C, n2 = X + B, d2 = Y + D;
    if (d1 <= 0 || d2 <= 0 || n1 < 0 || n2 < 0) break;
    const dword q = quotient(static_cast<dword>(n1), static_cast<dword>(d1));
    if (q >= static_cast<dword>(bound)) break;
    const auto q64 = static_cast<word>(q);
    const sdword r2 = n2 - static_cast<sdword>(static_cast<dword>(q64) * static_cast<dword>(d2));
    if (r2 < 0 || r2 >= d2) break;
    sword qc = 0, qd = 0, nc = 0, nd = 0;
    if (__builtin_mul_overflow(static_cast<sword>(q64), C, &qc) || __builtin_sub_overflow(A, qc, &nc) ||
        __builtin_mul_overflow(static_cast<sword>(q64), D, &qd) || __builtin_sub_overflow(B, qd, &nd))
      break;
    if (nc >= bound || nc <= -bound || nd >= bound || nd <= -bound) break;
    A = C;
    C = nc;
    B = D;
    D = nd;
    const sdword t = X - static_cast<sdword>(static_cast<dword>(q64) * static_cast<dword>(Y));
    X = Y;
    Y = t;
  }
  m = {A, B, C, D};
  return B != 0;
}

namespace {

// (a, b) := (A a + B b, C a + D b) over n words; both results are known to
// be non-negative and below the old a. Each row of a product of Euclidean
// steps (0 1; 1 -q) holds entries of opposite signs (or a zero), so a row
// is p u - q v with p, q >= 0: unsigned 64-bit products, one multiply
// each. AB (CD): the row's non-negative entry multiplies a (else b).
template <bool AB, bool CD>
void apply_rows(word* a, word* b, std::int32_t n, word pa, word qa, word pc, word qc) {
  sdword ca = 0, cb = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const word x = a[i], y = b[i];
    const sdword ta = static_cast<sdword>(static_cast<dword>(pa) * (AB ? x : y)) -
                      static_cast<sdword>(static_cast<dword>(qa) * (AB ? y : x)) + ca;
    const sdword tb = static_cast<sdword>(static_cast<dword>(pc) * (CD ? x : y)) -
                      static_cast<sdword>(static_cast<dword>(qc) * (CD ? y : x)) + cb;
    a[i] = static_cast<word>(ta);
    b[i] = static_cast<word>(tb);
    ca = ta >> 64;
    cb = tb >> 64;
  }
}

void apply(word* a, word* b, std::int32_t n, const Matrix& m) {
  const bool ab = m.B <= 0, cd = m.D <= 0;
  const auto pa = static_cast<word>(ab ? m.A : m.B), qa = static_cast<word>(ab ? -m.B : -m.A);
  const auto pc = static_cast<word>(cd ? m.C : m.D), qc = static_cast<word>(cd ? -m.D : -m.C);
  if (ab && cd) {
    apply_rows<true, true>(a, b, n, pa, qa, pc, qc);
  } else if (ab) {
    apply_rows<true, false>(a, b, n, pa, qa, pc, qc);
  } else if (cd) {
    apply_rows<false, true>(a, b, n, pa, qa, pc, qc);
  } else {
    apply_rows<false, false>(a, b, n, pa, qa, pc, qc);
  }
}

// a mod d for one word d > 0.
word mod_1(const word* a, std::int32_t n, word d) {
  word r = 0;
  for (std::int32_t i = n - 1; i >= 0; --i) wdiv_2by1(r, a[i], d, &r);
  return r;
}

word_buffer remainder_buffer;

}  // namespace

std::int32_t wgcd_lehmer(word* g, word* a, std::int32_t na, word* b, std::int32_t nb) {
  if (wcmp_norm(a, na, b, nb) < 0) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  for (;;) {
    if (nb == 1) {
      const word y = b[0];
      if (y == 0) {
        std::copy(a, a + na, g);
        return na;
      }
      g[0] = std::gcd(mod_1(a, na, y), y);
      return 1;
    }
    Matrix m{};
    bool lehmer = false;
    if (na - nb < 2) {
      const int s = std::countl_zero(a[na - 1]);
      const std::int64_t pos = std::max<std::int64_t>(std::int64_t{64} * na - s - 124, 0);
      lehmer = lehmer_matrix(bits124(a, na, pos), bits124(b, nb, pos), m);
    }
    if (lehmer) {
      std::fill(b + nb, b + na, word{0});
      apply(a, b, na, m);
      na = wnormalised(a, na);
      nb = wnormalised(b, na);
      continue;
    }
    // A division step: (a, b) := (b, a mod b).
    word* r = remainder_buffer.get(nb);
    wdivrem(nullptr, r, a, na, b, nb);
    std::copy(r, r + nb, a);
    na = wnormalised(a, nb);
    std::swap(a, b);
    std::swap(na, nb);
  }
}

}  // namespace tavrin::detail
