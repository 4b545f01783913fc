// GCDs of word arrays (word_array.h) by Lehmer's method: the
// Euclidean quotients of the leading 124 bits, while they are certain,
// gathered into one 2x2 matrix applied to the whole numbers in one pass
// (Knuth, TAOCP vol. 2, 4.5.2, Algorithm L); a division step when the
// lengths differ or the leading bits decide nothing.
//
// The faster form (wgcd_double) takes the leading 128 bits and keeps
// both reduced values above a bound instead of checking every quotient
// (Jebelean's condition, as in the double-digit Lehmer step of Möller's
// half-GCD): exact 128-bit steps down to 2^96, then single-word steps on
// the values cut to their top 64 bits. The bound makes the matrix valid
// for any low bits below the leading ones (see double_word_matrix).
#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <utility>

#include "core/thresholds.h"
#include "numbers/word_array.h"
#include "numbers/word_hgcd_impl.h"

namespace tavrin::kit {

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

// Bits [pos, pos + 128) of a (n words; words above n read as 0), pos >= 0.
dword bits128(const word* a, std::int32_t n, std::int64_t pos) {
  const auto i = static_cast<std::int32_t>(pos / 64);
  const int s = static_cast<int>(pos % 64);
  const word lo = i < n ? a[i] : 0, mid = i + 1 < n ? a[i + 1] : 0;
  if (s == 0) return (static_cast<dword>(mid) << 64) | lo;
  const word hi = i + 2 < n ? a[i + 2] : 0;
  const word w0 = (lo >> s) | (mid << (64 - s)), w1 = (mid >> s) | (hi << (64 - s));
  return (static_cast<dword>(w1) << 64) | w0;
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
    if (__builtin_mul_overflow(static_cast<sword>(q64), C, &qc) ||
        __builtin_sub_overflow(A, qc, &nc) ||
        __builtin_mul_overflow(static_cast<sword>(q64), D, &qd) ||
        __builtin_sub_overflow(B, qd, &nd))
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

// x div y for x >= 3y, y >= 2^67 (so the quotient is below 2^61); *r :=
// the remainder. From y >= 2^96 the high words give the quotient to
// within a few units (it is below 2^32 then); the library division below.
inline word quotient128(dword x, dword y, dword* r) {
  const auto yh = static_cast<word>(y >> 64);
  if (yh < (word{1} << 32)) {
    const auto q = static_cast<word>(x / y);
    *r = x - static_cast<dword>(q) * y;
    return q;
  }
  auto q = static_cast<word>(x >> 64) / (yh + 1);  // yh < 2^62: x >= 3y
  dword t = x - static_cast<dword>(q) * y;
  while (t >= y) {
    t -= y;
    ++q;
  }
  *r = t;
  return q;
}

// x div y and *r := x mod y for 64-bit x >= y > 0: quotients 1 and 2 by
// subtraction.
inline word quotient64(word x, word y, word* r) {
  word t = x - y;
  if (t < y) {
    *r = t;
    return 1;
  }
  t -= y;
  if (t < y) {
    *r = t;
    return 2;
  }
  *r = x % y;
  return x / y;
}

}  // namespace

// The reduction (x, y) = U (x', y') with U = (u00 u01; u10 u11) >= 0 of
// determinant 1, built from steps x := x - q y (U := U (1 q; 0 1)) and
// y := y - q x (U := U (1 0; q 1)), the last quotient one short when the
// full one would take the value below the bound. Exact steps on 128 bits
// keep x', y' >= 2^67 while the larger is at or above 2^96; then steps on
// x' div 2^32, y' div 2^32 keep those at or above 2^35, so the exact
// images stay above 2^67 - 2^61 (the second matrix has entries below
// 2^29). Hence every entry of U is below 2^128 / 2^66.9 < 2^62, and for
// whole numbers a = x 2^k + a0, b = y 2^k + b0 (a0, b0 < 2^k) the images
// U^-1 (a, b) differ from (x', y') 2^k by less than 2^62 2^k: both stay
// positive. m := U^-1 = (u11 -u01; -u10 u00); false when no step is
// possible.
bool double_word_matrix(dword x, dword y, Matrix& m) {
  constexpr dword exact_bound = dword{1} << 67, split = dword{1} << 96;
  constexpr word cut_bound = word{1} << 35;
  word u00 = 1, u01 = 0, u10 = 0, u11 = 1;
  if (x < exact_bound || y < exact_bound) return false;
  bool stepped = false, done = false;
  while (!done) {
    if (x >= y) {
      if (x < split) break;
      dword r = x - y;
      word q = 1;
      if (r >= y) {
        if (r - y < y) {
          r -= y;
          q = 2;
        } else {
          q = quotient128(x, y, &r);
        }
      }
      if (r < exact_bound) {
        done = true;
        if (q == 1) break;
        --q;
        r += y;
      }
      x = r;
      u01 += q * u00;
      u11 += q * u10;
    } else {
      if (y < split) break;
      dword r = y - x;
      word q = 1;
      if (r >= x) {
        if (r - x < x) {
          r -= x;
          q = 2;
        } else {
          q = quotient128(y, x, &r);
        }
      }
      if (r < exact_bound) {
        done = true;
        if (q == 1) break;
        --q;
        r += x;
      }
      y = r;
      u00 += q * u01;
      u10 += q * u11;
    }
    stepped = true;
  }
  if (!done) {
    auto a = static_cast<word>(x >> 32), b = static_cast<word>(y >> 32);
    for (;;) {
      word r = 0;
      if (a >= b) {
        word q = quotient64(a, b, &r);
        if (r < cut_bound) {
          if (q == 1) break;
          --q;
          u01 += q * u00;
          u11 += q * u10;
          stepped = true;
          break;
        }
        a = r;
        u01 += q * u00;
        u11 += q * u10;
      } else {
        word q = quotient64(b, a, &r);
        if (r < cut_bound) {
          if (q == 1) break;
          --q;
          u00 += q * u01;
          u10 += q * u11;
          stepped = true;
          break;
        }
        b = r;
        u00 += q * u01;
        u10 += q * u11;
      }
      stepped = true;
    }
  }
  m = {static_cast<sword>(u11), -static_cast<sword>(u01), -static_cast<sword>(u10),
       static_cast<sword>(u00)};
  return stepped;
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

namespace {

// gcd of 128-bit values, a >= b > 0: the matrices of double_word_matrix
// (exact here) while b has two words, a remainder when none applies.
dword gcd128(dword a, dword b) {
  while ((b >> 64) != 0) {
    Matrix m{};
    if (double_word_matrix(a, b, m)) {
      // Both images lie in [0, 2^128): arithmetic modulo 2^128 is exact.
      const dword x = static_cast<dword>(m.A) * a - static_cast<dword>(-m.B) * b;
      b = static_cast<dword>(m.D) * b - static_cast<dword>(-m.C) * a;
      a = x;
    } else {
      a %= b;
      if (a == 0) return b;
    }
    if (a < b) std::swap(a, b);
  }
  const auto y = static_cast<word>(b);
  word r = 0;
  wdiv_2by1(static_cast<word>(a >> 64) % y, static_cast<word>(a), y, &r);
  return std::gcd(r, y);
}

// Lehmer's loop; Double: the 128-bit matrices of double_word_matrix (the
// pair reordered after each), else the certain quotients of lehmer_matrix.
template <bool Double>
std::int32_t lehmer_loop(word* g, word* a, std::int32_t na, word* b, std::int32_t nb) {
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
    if (Double && na == 2) {
      const dword v =
          gcd128((static_cast<dword>(a[1]) << 64) | a[0], (static_cast<dword>(b[1]) << 64) | b[0]);
      g[0] = static_cast<word>(v);
      g[1] = static_cast<word>(v >> 64);
      return g[1] == 0 ? 1 : 2;
    }
    Matrix m{};
    bool lehmer = false;
    if (na - nb < 2) {
      const int s = std::countl_zero(a[na - 1]);
      if constexpr (Double) {
        const std::int64_t pos = std::int64_t{64} * na - s - 128;
        lehmer = double_word_matrix(bits128(a, na, pos), bits128(b, nb, pos), m);
      } else {
        const std::int64_t pos = std::max<std::int64_t>(std::int64_t{64} * na - s - 124, 0);
        lehmer = lehmer_matrix(bits124(a, na, pos), bits124(b, nb, pos), m);
      }
    }
    if (lehmer) {
      std::fill(b + nb, b + na, word{0});
      apply(a, b, na, m);
      nb = wnormalised(b, na);  // b may come out the longer (Double)
      na = wnormalised(a, na);
      if (Double && wcmp_norm(a, na, b, nb) < 0) {
        std::swap(a, b);
        std::swap(na, nb);
      }
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

}  // namespace

std::int32_t wgcd_lehmer(word* g, word* a, std::int32_t na, word* b, std::int32_t nb) {
  return lehmer_loop<false>(g, a, na, b, nb);
}

std::int32_t wgcd_double(word* g, word* a, std::int32_t na, word* b, std::int32_t nb) {
  return lehmer_loop<true>(g, a, na, b, nb);
}

namespace {

word_buffer exact_divisor, exact_remainder;

// The inverse of an odd word modulo 2^64 by Newton's iteration (each step
// doubles the correct low bits; 3d xor 2 starts with five).
word inverse_mod_word(word d) {
  word v = (3 * d) ^ 2;
  for (int i = 0; i < 4; ++i) v *= 2 - d * v;
  return v;
}

}  // namespace

std::int32_t wdivexact(word* q, word* a, std::int32_t na, const word* d, std::int32_t nd) {
  while (d[0] == 0) {  // d divides a: a ends in as many zero words
    ++d;
    ++a;
    --nd;
    --na;
  }
  // The quotient is below B^(na - nd + 1): it takes at most that many words
  // whatever the shift below does to the lengths.
  const std::int32_t room = na - nd + 1;
  std::int32_t nq = room;
  if (std::min(nq, nd) >= wide_divide_words) {
    wdivrem(q, exact_remainder.get(nd), a, na, d, nd);
    return wnormalised(q, nq);
  }
  if (const int t = std::countr_zero(d[0]); t > 0) {
    word* dd = exact_divisor.get(nd);
    wshr(dd, d, nd, t);
    d = dd;
    nd = wnormalised(dd, nd);
    wshr(a, a, na, t);
    na = wnormalised(a, na);
    // The shift may empty d's top word and leave a's: na - nd + 1 is then
    // one more than room, and the quotient's word there is 0. Hensel's
    // division finds the low words first, so it stops at room.
    nq = std::min(na - nd + 1, room);
  }
  // Hensel's division from the low end: each quotient word clears the
  // lowest word left, and only the words below nq are ever needed.
  const word inv = inverse_mod_word(d[0]);
  for (std::int32_t i = 0; i < nq; ++i) {
    const word qi = a[i] * inv;
    q[i] = qi;
    const std::int32_t l = std::min(nd, nq - i);
    const word borrow = wsubmul_1(a + i, d, l, qi);
    if (i + l < nq) wsub_1(a + i + l, a + i + l, nq - i - l, borrow);
  }
  return wnormalised(q, nq);
}

}  // namespace tavrin::kit
