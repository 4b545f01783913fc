// Kernels on magnitude arrays (limb_array.h): sums, differences,
// shifts, row and Karatsuba products, and schoolbook long division.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"

namespace tavrin::kit {

namespace {

constexpr digit B = static_cast<digit>(limb_base);
constexpr double Bd = 268435456.0;

// Rows added into the 64-bit accumulators between two carry passes: each
// row adds less than 2^56 to a column that a carry pass left below 2^28, so
// 255 rows stay below 2^64 (with room for the final carries).
constexpr std::int32_t rows_between_carries = 255;

// The deepest Karatsuba level; deeper splits (only reachable with tiny
// cut-offs) fall back to rows.
constexpr int max_split_depth = 48;
// Three-digit folds from which mag_mod_1 runs two chains.
constexpr std::int32_t two_chain_folds = 8;
// Digits from which mag_divexact_1 runs two chains.
constexpr std::int32_t two_chain_quotient_digits = 24;

std::vector<std::uint64_t>& row_accumulators() {
  static std::vector<std::uint64_t> acc;
  return acc;
}

// One scratch buffer per recursion depth, kept between calls: a level only
// uses its own buffer, so a deeper level growing its buffer never moves a
// shallower level's data.
digit* split_scratch(int depth, std::int32_t n) {
  static std::vector<std::vector<digit>> levels(max_split_depth);
  return scratch_of(levels[static_cast<std::size_t>(depth)], n, 0);
}

// r[0 .. n) := a[0 .. n) + b[0 .. n) digit by digit (r may be a); returns
// the carry out of the top digit.
inline digit add_digits(digit* r, const digit* a, const digit* b, std::int32_t n) {
  digit c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const digit s = a[i] + b[i] + c;
    r[i] = s & digit_mask;
    c = s >> limb_bits;
  }
  return c;
}

// Normalises the accumulators acc[0 .. n) to digits below 2^28, pushing the
// carries upward.
void carry_through(std::uint64_t* acc, std::int32_t n) {
  std::uint64_t c = 0;
  for (std::int32_t t = 0; t < n; ++t) {
    const std::uint64_t v = acc[t] + c;
    acc[t] = v & digit_mask;
    c = v >> limb_bits;
  }
}

// p[0 .. n) -= x[0 .. nx) + y[0 .. ny) in one pass (nx, ny <= n and the
// result is not negative); returns the normalised length.
std::int32_t subtract_both(digit* p, std::int32_t n, const digit* x, std::int32_t nx,
                           const digit* y, std::int32_t ny) {
  if (nx > ny) {
    std::swap(x, y);
    std::swap(nx, ny);
  }
  std::int64_t c = 0;  // a borrow: -2, -1 or 0
  std::int32_t i = 0;
  for (; i < nx; ++i) {
    const std::int64_t t = c + p[i] - x[i] - y[i];
    p[i] = static_cast<digit>(t & digit_mask);
    c = t >> limb_bits;
  }
  for (; i < ny; ++i) {
    const std::int64_t t = c + p[i] - y[i];
    p[i] = static_cast<digit>(t & digit_mask);
    c = t >> limb_bits;
  }
  for (; c != 0 && i < n; ++i) {
    const std::int64_t t = c + p[i];
    p[i] = static_cast<digit>(t & digit_mask);
    c = t >> limb_bits;
  }
  return normalised_length(p, n);
}

// r[0 .. rn) += p[0 .. pn), the carry running up through r (it ends inside).
void add_into(digit* r, std::int32_t rn, const digit* p, std::int32_t pn) {
  digit c = add_digits(r, r, p, pn);
  for (std::int32_t i = pn; c != 0 && i < rn; ++i) {
    const digit s = r[i] + c;
    r[i] = s & digit_mask;
    c = s >> limb_bits;
  }
}

void split_product(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb,
                   std::int32_t cut, int depth) {
  if (na <= cut || nb <= cut || na >= 2 * nb || nb >= 2 * na || depth >= max_split_depth) {
    mag_mul_rows(r, a, na, b, nb);
    return;
  }
  // a = ahi B^k + alo, b = bhi B^k + blo; the low parts lose their leading
  // zero digits (at least one digit stays).
  const std::int32_t k = std::max(na / 2, nb / 2);
  const digit* ahi = a + k;
  const digit* bhi = b + k;
  const std::int32_t nah = na - k;
  const std::int32_t nbh = nb - k;
  const std::int32_t la = normalised_length(a, k);
  const std::int32_t lb = normalised_length(b, k);

  // P1 = ahi bhi fills r[2k .. na+nb); P2 = alo blo goes to r[0 .. 2k).
  split_product(r + 2 * k, ahi, nah, bhi, nbh, cut, depth + 1);
  split_product(r, a, la, b, lb, cut, depth + 1);
  std::fill(r + la + lb, r + 2 * k, digit{0});

  // P3 = (ahi + alo)(bhi + blo) - P1 - P2, added in at B^k.
  const std::int32_t s1cap = std::max(nah, la) + 1;
  const std::int32_t s2cap = std::max(nbh, lb) + 1;
  digit* s1 = split_scratch(depth, 2 * (s1cap + s2cap));
  digit* s2 = s1 + s1cap;
  digit* p3 = s2 + s2cap;
  const std::int32_t n1 = mag_add(s1, ahi, nah, a, la);
  const std::int32_t n2 = mag_add(s2, bhi, nbh, b, lb);
  split_product(p3, s1, n1, s2, n2, cut, depth + 1);
  const std::int32_t n3 =
      subtract_both(p3, normalised_length(p3, n1 + n2), r + 2 * k,
                    normalised_length(r + 2 * k, nah + nbh), r, normalised_length(r, 2 * k));
  add_into(r + k, na + nb - k, p3, n3);
}

// w[0 .. nd] >= d[0 .. nd) for a window one digit longer than d.
bool window_at_least(const digit* w, const digit* d, std::int32_t nd) {
  if (w[nd] != 0) return true;
  for (std::int32_t i = nd - 1; i >= 0; --i)
    if (w[i] != d[i]) return w[i] > d[i];
  return true;
}

// w[0 .. nd] -= d[0 .. nd); returns the borrow out of the top.
digit subtract_divisor(digit* w, const digit* d, std::int32_t nd) {
  digit borrow = 0;
  for (std::int32_t i = 0; i < nd; ++i) {
    const digit t = w[i] - d[i] - borrow;  // wraps when negative: top bit set
    borrow = t >> 31;
    w[i] = t & digit_mask;
  }
  const digit t = w[nd] - borrow;
  w[nd] = t & digit_mask;
  return t >> 31;
}

// The window w[0 .. nd] := w - qh d, then qh corrected until
// 0 <= w < d; returns the corrected digit.
digit subtract_and_correct(digit* w, const digit* d, std::int32_t nd, digit qh) {
  // One signed carry: t stays above -2^57, and t >> 28 rounds down.
  std::int64_t c = 0;
  for (std::int32_t i = 0; i < nd; ++i) {
    const std::int64_t t =
        c + w[i] - static_cast<std::int64_t>(static_cast<std::uint64_t>(qh) * d[i]);
    w[i] = static_cast<digit>(t & digit_mask);
    c = t >> limb_bits;
  }
  std::int64_t top = w[nd] + c;
  while (top < 0) {  // the estimate was too large: add d back
    --qh;
    digit up = 0;
    for (std::int32_t i = 0; i < nd; ++i) {
      const digit s = w[i] + d[i] + up;
      w[i] = s & digit_mask;
      up = s >> limb_bits;
    }
    top += up;
  }
  w[nd] = static_cast<digit>(top);
  while (window_at_least(w, d, nd)) {  // too small: take d off again
    ++qh;
    subtract_divisor(w, d, nd);
  }
  return qh;
}

digit clamp_estimate(double e) {
  if (!(e > 0.0)) return 0;
  if (e >= Bd) return B - 1;
  return static_cast<digit>(e);
}

}  // namespace

// ---- Between limb lists and arrays ------------------------------------------------

void gather(numptr head, std::int32_t count, digit* out) {
  // The walk guesses each successor one stride on (limb_after), so that
  // the limbs of a list built in address order are read as a stream.
  numptr p = head;
  const std::intptr_t step = limb_step(p);
  for (std::int32_t i = count - 1; i >= 0 && p != nullptr; --i) {
    const std::int32_t v = p->value;
    out[i] = static_cast<digit>(v < 0 ? -v : v);
    p = i > 0 ? limb_after(p, step) : nullptr;
  }
}

digit gather_mod_1(imptr x, digit* out, digit d) {
  const digit_divider div(d);
  const std::uint64_t b1 = std::uint64_t{B} % d, b2 = b1 * b1 % d, b3 = b2 * b1 % d;
  numptr p = x->head;
  const std::intptr_t step = limb_step(p);
  std::int32_t i = x->size - 1;
  auto take = [&] {  // the magnitude of limb i, stored; p moves on
    const std::int32_t v = p->value;
    const auto m = static_cast<digit>(v < 0 ? -v : v);
    out[i] = m;
    p = i > 0 ? limb_after(p, step) : nullptr;
    --i;
    return m;
  };
  std::uint64_t r = 0;
  while ((i + 1) % 3 != 0) div.step(r, take());
  while (i >= 2) {
    const std::uint64_t x2 = take(), x1 = take(), x0 = take();
    const std::uint64_t v = r * b3 + x2 * b2 + x1 * b1 + x0;  // below 2^64, as in mag_mod_1
    const auto q = static_cast<std::uint64_t>((static_cast<unsigned __int128>(v) * div.inv) >> 64);
    r = v - q * d;
    if (r >= d) r -= d;
  }
  return static_cast<digit>(r);
}

limb_list build_limbs(const digit* a, std::int32_t n, std::int32_t sign, numptr* penult) {
  n = limb_count(normalised_length(a, n));
  count_built_limbs(n);
  limb_list r;
  if (penult == nullptr) {
    // the free list's records taken in one walk
    r.size = n;
    r.head = take_limbs(
        n, [a, n, sign](std::int32_t k) { return sign * static_cast<std::int32_t>(a[n - 1 - k]); },
        &r.tail);
    return r;
  }
  numptr before_tail = nullptr;
  for (std::int32_t i = n - 1; i >= 0; --i) {
    before_tail = r.tail;
    append_limb(r, sign * static_cast<std::int32_t>(a[i]));
  }
  *penult = before_tail;
  return r;
}

// ---- Small operations ------------------------------------------------------------------

int mag_compare(const digit* a, std::int32_t na, const digit* b, std::int32_t nb) {
  if (na != nb) return na < nb ? -1 : 1;
  for (std::int32_t i = na - 1; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

std::int32_t mag_add(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb) {
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  digit c = add_digits(r, a, b, nb);
  for (std::int32_t i = nb; i < na; ++i) {
    const digit s = a[i] + c;
    r[i] = s & digit_mask;
    c = s >> limb_bits;
  }
  r[na] = c;
  return normalised_length(r, na + 1);
}

std::int32_t mag_sub_inplace(digit* a, std::int32_t na, const digit* b, std::int32_t nb) {
  digit borrow = 0;
  std::int32_t i = 0;
  for (; i < nb; ++i) {
    const digit t = a[i] - b[i] - borrow;
    borrow = t >> 31;
    a[i] = t & digit_mask;
  }
  for (; borrow != 0 && i < na; ++i) {
    const digit t = a[i] - borrow;
    borrow = t >> 31;
    a[i] = t & digit_mask;
  }
  return normalised_length(a, na);
}

void mag_mul_1(digit* r, const digit* a, std::int32_t n, digit m) {
  std::uint64_t c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::uint64_t p = static_cast<std::uint64_t>(a[i]) * m + c;
    r[i] = static_cast<digit>(p & digit_mask);
    c = p >> limb_bits;
  }
  r[n] = static_cast<digit>(c);
}

std::int32_t mag_shift_right(digit* a, std::int32_t n, std::int32_t bits) {
  const std::int32_t w = bits / limb_bits;
  const std::int32_t s = bits % limb_bits;
  if (w >= n) {
    a[0] = 0;
    return 1;
  }
  if (w > 0) {
    for (std::int32_t i = 0; i < n - w; ++i) a[i] = a[i + w];
    n -= w;
  }
  if (s > 0) {
    for (std::int32_t i = 0; i + 1 < n; ++i)
      a[i] = (a[i] >> s) | ((a[i + 1] << (limb_bits - s)) & digit_mask);
    a[n - 1] >>= s;
  }
  return normalised_length(a, n);
}

std::int32_t mag_shift_left(digit* r, const digit* a, std::int32_t n, std::int32_t bits) {
  const std::int32_t w = bits / limb_bits;
  const std::int32_t s = bits % limb_bits;
  if (s == 0) {
    for (std::int32_t i = n - 1; i >= 0; --i) r[i + w] = a[i];
    r[n + w] = 0;
  } else {
    r[n + w] = a[n - 1] >> (limb_bits - s);
    for (std::int32_t i = n - 1; i >= 1; --i)
      r[i + w] = ((a[i] << s) & digit_mask) | (a[i - 1] >> (limb_bits - s));
    r[w] = (a[0] << s) & digit_mask;
  }
  std::fill(r, r + w, digit{0});
  return normalised_length(r, n + w + 1);
}

std::int32_t mag_trailing_zeros(const digit* a, std::int32_t n) {
  std::int32_t i = 0;
  while (i < n - 1 && a[i] == 0) ++i;
  return limb_bits * i + std::countr_zero(a[i]);
}

// ---- Signed sums of scaled rows ---------------------------------------------------------

void lazy_addmul_1(std::int64_t* acc, const digit* a, std::int32_t n, std::int64_t m) {
  for (std::int32_t i = 0; i < n; ++i) acc[i] += m * static_cast<std::int64_t>(a[i]);
}

std::int32_t lazy_settle(std::int64_t* acc, std::int32_t n, digit* r, std::int32_t* sign) {
  // Carries are floors (arithmetic shifts), every digit in [0, B); past
  // two more digits the carry is 0 or -1, the sign of the sum.
  std::int64_t c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const std::int64_t v = acc[i] + c;
    acc[i] = 0;
    r[i] = static_cast<digit>(v & digit_mask);
    c = v >> limb_bits;
  }
  for (std::int32_t i = n; i < n + 2; ++i) {
    r[i] = static_cast<digit>(c & digit_mask);
    c >>= limb_bits;
  }
  *sign = 1;
  if (c < 0) {  // the digits hold B^(n+2) - |sum|
    *sign = -1;
    digit borrow = 0;
    for (std::int32_t i = 0; i < n + 2; ++i) {
      const std::int64_t x = -static_cast<std::int64_t>(r[i]) - borrow;
      borrow = x < 0 ? 1 : 0;
      r[i] = static_cast<digit>(x + (borrow != 0 ? static_cast<std::int64_t>(limb_base) : 0));
    }
  }
  return normalised_length(r, n + 2);
}

// ---- Products ------------------------------------------------------------------------------

void mag_mul_rows(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb) {
  if (na > nb) {  // rows run over the shorter operand
    std::swap(a, b);
    std::swap(na, nb);
  }
  if (na == 1) {
    mag_mul_1(r, b, nb, a[0]);
    return;
  }
  // The rows are summed in 64-bit columns without carrying; a carry pass
  // whenever rows_between_carries more rows could overflow them. Four rows
  // go in together, so that a column takes four products with one load and
  // one store (na <= nb, so a group of four has nb >= 4).
  const std::int32_t nr = na + nb;
  std::uint64_t* acc = scratch_of(row_accumulators(), nr, 0);
  std::fill(acc, acc + nr, std::uint64_t{0});
  std::int32_t pending = 0;
  std::int32_t i = 0;
  for (; i + 3 < na; i += 4) {
    if (pending + 4 > rows_between_carries) {
      carry_through(acc, nr);
      pending = 0;
    }
    const std::uint64_t a0 = a[i];
    const std::uint64_t a1 = a[i + 1];
    const std::uint64_t a2 = a[i + 2];
    const std::uint64_t a3 = a[i + 3];
    std::uint64_t* col = acc + i;
    col[0] += a0 * b[0];
    col[1] += a0 * b[1] + a1 * b[0];
    col[2] += a0 * b[2] + a1 * b[1] + a2 * b[0];
    for (std::int32_t j = 3; j < nb; ++j)
      col[j] += a0 * b[j] + a1 * b[j - 1] + a2 * b[j - 2] + a3 * b[j - 3];
    col[nb] += a1 * b[nb - 1] + a2 * b[nb - 2] + a3 * b[nb - 3];
    col[nb + 1] += a2 * b[nb - 1] + a3 * b[nb - 2];
    col[nb + 2] += a3 * b[nb - 1];
    pending += 4;
  }
  // At most 252 rows are pending here, and at most 3 rows are left.
  static_assert(rows_between_carries / 4 * 4 + 3 <= rows_between_carries);
  for (; i < na; ++i) {
    const std::uint64_t ai = a[i];
    std::uint64_t* col = acc + i;
    for (std::int32_t j = 0; j < nb; ++j) col[j] += ai * b[j];
  }
  std::uint64_t c = 0;
  for (std::int32_t t = 0; t < nr; ++t) {
    const std::uint64_t v = acc[t] + c;
    r[t] = static_cast<digit>(v & digit_mask);
    c = v >> limb_bits;
  }
}

void mag_mul(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb,
             std::int32_t cut) {
  // A cut-off below 1 would split one-digit operands for ever.
  split_product(r, a, na, b, nb, std::max<std::int32_t>(cut, 1), 0);
}

// ---- Division ------------------------------------------------------------------------------

void one_digit_step(digit p0, digit p1, digit d0, digit* q, digit* r) {
  if (d0 < (digit{1} << 18)) {
    // Exact in 32 bits, 14 bits at a time: p0 < d0 < 2^18 keeps u and v
    // below 2^32.
    const digit u = (p0 << 14) | (p1 >> 14);
    const digit q1 = u / d0;
    const digit v = ((u - q1 * d0) << 14) | (p1 & 0x3FFFu);
    *q = (q1 << 14) + v / d0;
    *r = v % d0;
    return;
  }
  // Estimate in double precision, then check it exactly in 64 bits.
  const std::int64_t window = static_cast<std::int64_t>(p0) * B + p1;
  std::int64_t qh = clamp_estimate((static_cast<double>(p0) * Bd + p1) / d0);
  const std::uint64_t prod = static_cast<std::uint64_t>(d0) * static_cast<std::uint64_t>(qh);
  std::int64_t low = static_cast<std::int64_t>(p1) - static_cast<std::int64_t>(prod & digit_mask);
  std::int64_t high = static_cast<std::int64_t>(prod >> limb_bits);
  if (low < 0) {
    low += B;
    ++high;
  }
  if (high == p0 && low < d0) {
    *q = static_cast<digit>(qh);
    *r = static_cast<digit>(low);
    return;
  }
  std::int64_t rem = window - static_cast<std::int64_t>(d0) * qh;
  while (rem < 0) {
    --qh;
    rem += d0;
  }
  while (rem >= d0) {
    ++qh;
    rem -= d0;
  }
  *q = static_cast<digit>(qh);
  *r = static_cast<digit>(rem);
}

std::int32_t mag_divexact_1(digit* q, const digit* a, std::int32_t n, digit d) {
  const int k = std::countr_zero(d);
  if (k > 0) {
    for (std::int32_t i = 0; i + 1 < n; ++i)
      q[i] = (a[i] >> k) | ((a[i + 1] << (limb_bits - k)) & digit_mask);
    q[n - 1] = a[n - 1] >> k;
    a = q;
    d >>= k;
  } else if (q != a) {
    std::copy(a, a + n, q);
  }
  if (d > 1) {
    // The inverse of the odd d modulo 2^64 by Newton's iteration (each
    // step doubles the correct low bits; 3d xor 2 starts with five).
    std::uint64_t inv = (3 * std::uint64_t{d}) ^ 2;
    for (int i = 0; i < 4; ++i) inv *= 2 - d * inv;
    constexpr std::uint64_t mask56 = (std::uint64_t{1} << 56) - 1;
    // c: what the quotient's pairs so far took from the pairs above.
    std::int64_t c = 0;
    auto pair_step = [&](std::int32_t i) {
      const std::uint64_t pair = i + 1 < n ? q[i] | (std::uint64_t{q[i + 1]} << limb_bits) : q[i];
      const std::int64_t t = static_cast<std::int64_t>(pair) - c;
      const std::uint64_t qi = (static_cast<std::uint64_t>(t) * inv) & mask56;
      c = static_cast<std::int64_t>(
          (static_cast<__int128>(static_cast<unsigned __int128>(qi) * d) - t) >> 56);
      q[i] = static_cast<digit>(qi & digit_mask);
      if (i + 1 < n) q[i + 1] = static_cast<digit>(qi >> limb_bits);
    };
    std::int32_t i = 0;
    if (n >= two_chain_quotient_digits) {
      // Two chains at once: the top third by the schoolbook division from
      // the top (one digit a step), leaving r = (top) mod d; the rest by
      // Hensel's pairs from the low end, as a quotient below B^m of r B^m
      // plus the low digits, which the top's r does not change modulo B^m.
      std::int32_t top = n / 3;
      if ((n - top) % 2 != 0) ++top;
      const std::int32_t m = n - top, pairs = m / 2;
      const digit_divider div(d);
      std::uint64_t r = 0;
      std::int32_t j = n - 1;
      for (std::int32_t s = 0; s < std::min(top, pairs); ++s, --j, i += 2) {
        q[j] = static_cast<digit>(div.step(r, q[j]));
        pair_step(i);
      }
      for (; j >= m; --j) q[j] = static_cast<digit>(div.step(r, q[j]));
      for (; i < m; i += 2) pair_step(i);
      i = n;
    }
    for (; i < n; i += 2) pair_step(i);
  }
  return normalised_length(q, n);
}

digit mag_mod_1(const digit* a, std::int32_t n, digit d) {
  const digit_divider div(d);
  const std::uint64_t b1 = std::uint64_t{B} % d, b2 = b1 * b1 % d, b3 = b2 * b1 % d;
  // r B^3 + a_i B^2 + a_(i-1) B + a_(i-2) reduced: below 3 * 2^56 + 2^28
  // < 2^64, so the reciprocal's estimate is the quotient or one less.
  auto fold = [&](std::uint64_t r, std::int32_t i) {
    const std::uint64_t x =
        r * b3 + std::uint64_t{a[i]} * b2 + std::uint64_t{a[i - 1]} * b1 + a[i - 2];
    const auto q = static_cast<std::uint64_t>((static_cast<unsigned __int128>(x) * div.inv) >> 64);
    const std::uint64_t s = x - q * d;
    return s >= d ? s - d : s;
  };
  std::uint64_t r = 0;
  std::int32_t i = n - 1;
  for (; (i + 1) % 3 != 0; --i) div.step(r, a[i]);
  // Digits 0 .. i, 3t of them. A long array is folded as two halves at
  // once, whose dependent chains overlap: r for the upper half, low for
  // the lower 3 (t div 2) digits, joined as r B^(3 (t div 2)) + low.
  const std::int32_t t = (i + 1) / 3;
  if (t >= two_chain_folds) {
    const std::int32_t half = t / 2;
    std::uint64_t low = 0;
    for (std::int32_t k = 0, j = 3 * half - 1; k < half; ++k, i -= 3, j -= 3) {
      r = fold(r, i);
      low = fold(low, j);
    }
    if (t % 2 != 0) {
      r = fold(r, i);
    }
    std::uint64_t shift = 1, base = b3;  // B^(3 half) mod d
    for (std::int32_t e = half; e > 0; e >>= 1, base = base * base % d)
      if ((e & 1) != 0) shift = shift * base % d;
    return static_cast<digit>((r * shift % d + low) % d);
  }
  for (; i >= 2; i -= 3) r = fold(r, i);
  return static_cast<digit>(r);
}

void mag_divmod(digit* u, std::int32_t nu, const digit* d, std::int32_t nd, digit* q) {
  u[nu] = 0;
  if (nd == 1) {
    const digit d0 = d[0];
    digit r = 0;
    for (std::int32_t j = nu - 1; j >= 0; --j) {
      digit qd;
      one_digit_step(r, u[j], d0, &qd, &r);
      if (q != nullptr) q[j] = qd;
      u[j] = 0;
    }
    u[0] = r;
    return;
  }
  // The digit estimate from the divisor's top two digits d0, d1: with
  // d0 < 16 they form an exact 32-bit value, otherwise d0 B + d1 is taken
  // in double precision.
  const digit d0 = d[nd - 1];
  const digit d1 = d[nd - 2];
  const bool small_top = d0 < 16;
  const double dd =
      small_top ? static_cast<double>((d0 << limb_bits) | d1) : static_cast<double>(d0) * Bd + d1;
  for (std::int32_t j = nu - nd; j >= 0; --j) {
    digit* w = u + j;  // the window w[0 .. nd], below B d
    digit qh;
    if (w[nd] == 0) {  // a window of nd digits at most
      const digit p0 = w[nd - 1];
      if (p0 < d0) {  // shorter than d or below it: digit 0, nothing to do
        if (q != nullptr) q[j] = 0;
        continue;
      }
      qh = clamp_estimate((static_cast<double>(p0) * Bd + w[nd - 2]) / dd);
    } else {  // nd + 1 digits
      const digit p0 = w[nd];
      const digit p1 = w[nd - 1];
      const double top = small_top ? static_cast<double>((p0 << limb_bits) | p1)
                                   : static_cast<double>(p0) * Bd + p1;
      qh = clamp_estimate(top * Bd / dd);
    }
    qh = subtract_and_correct(w, d, nd, qh);
    if (q != nullptr) q[j] = qh;
  }
}

}  // namespace tavrin::kit

namespace tavrin {

imptr number_from_digits(const std::uint32_t* a, std::int32_t n, std::int32_t sign) {
  static const kit::digit zero = 0;
  if (n < 1) {
    a = &zero;
    n = 1;
  }
  imptr x = nullptr;
  newimag(&x);
  x->lint = 0;
  x->flote = 0.0L;
  x->imag = nullptr;
  kit::install_limbs(x, kit::build_limbs(a, kit::normalised_length(a, n), sign));
  return x;
}

}  // namespace tavrin
