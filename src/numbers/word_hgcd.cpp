// The half-GCD on 64-bit words (Schönhage's recursion in Möller's form,
// as in GMP's mpn_hgcd): the Euclidean steps that halve a pair, found on
// its leading words by two recursive calls on quarter-sized pieces and
// gathered into one 2x2 matrix, then applied to the whole pair by fast
// products. Lehmer's step of word_gcd.cpp is the base case.
//
// A reduction matrix M here has non-negative entries and determinant
// det = +-1 (tracked), with (a, b) = M (x, y) exactly for the reduced pair
// (x, y) = det (m11 a - m01 b, m00 b - m10 a), so gcd(x, y) = gcd(a, b).
// hgcd of a pair of n words keeps both reduced values at or above B^s
// (B = 2^64, s = n/2 + 1), so every entry of M is below B^(n-s); a matrix
// so found on the leading words a div B^p, b div B^p then maps the whole
// pair to x B^p + det (m11 a_low - m01 b_low), ..., positive and about as
// short (Möller, Math. Comp. 77 (2008)): only the low words are multiplied.
// A reduction that would still come out negative is skipped, never
// applied, so every pair stays an exact image of the one before.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_array.h"
#include "numbers/word_hgcd_impl.h"
#include "numbers/word_nat_impl.h"

namespace tavrin::kit {

namespace {

using namespace nats;

struct matrix {
  nat m[2][2];
  int det = 1;
};

matrix identity() {
  matrix r;
  r.m[0][0] = {1};
  r.m[1][1] = {1};
  return r;
}

bool is_identity(const matrix& r) {
  return r.m[0][1].empty() && r.m[1][0].empty() && r.m[0][0] == nat{1} && r.m[1][1] == nat{1};
}

matrix times(const matrix& x, const matrix& y) {
  matrix r;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      r.m[i][j] = sum(product(x.m[i][0], y.m[0][j]), product(x.m[i][1], y.m[1][j]));
  r.det = x.det * y.det;
  return r;
}

// a >= b, the columns of r swapped with the pair when it was not.
void order(nat& a, nat& b, matrix& r) {
  if (compare(a, b) >= 0) return;
  std::swap(a, b);
  std::swap(r.m[0][0], r.m[0][1]);
  std::swap(r.m[1][0], r.m[1][1]);
  r.det = -r.det;
}

// x B^p + sign (t - u) when it is non-negative (else false).
bool shifted_plus(nat& out, const nat& x, std::int32_t p, int sign, const nat& t, const nat& u) {
  const int c = compare(t, u);
  const nat d = distance(t, u);
  nat r(static_cast<std::size_t>(std::max(len(x) + p, len(d)) + 1), 0);
  std::copy(x.begin(), x.end(), r.begin() + p);
  if (d.empty()) {
  } else if (c * sign > 0) {
    wadd(r.data(), r.data(), len(r), d.data(), len(d));
  } else if (wsub(r.data(), r.data(), len(r), d.data(), len(d)) != 0) {
    return false;
  }
  trim(r);
  out = std::move(r);
  return true;
}

// (a, b) := the pair that (a, b) reduces to under r, given (x, y), what
// the leading words a div B^p, b div B^p reduce to: only the low p words
// are multiplied. False (nothing changed) when a value would come out
// negative, which the bounds above rule out.
bool reduce_low(const matrix& r, const nat& x, const nat& y, std::int32_t p, nat& a, nat& b) {
  const nat al(a.begin(), a.begin() + std::min(len(a), p)),
      bl(b.begin(), b.begin() + std::min(len(b), p));
  nat na, nb;
  if (shifted_plus(na, x, p, r.det, product(r.m[1][1], al), product(r.m[0][1], bl)) &&
      shifted_plus(nb, y, p, r.det, product(r.m[0][0], bl), product(r.m[1][0], al))) {
    a = std::move(na);
    b = std::move(nb);
    return true;
  }
  return false;
}

// One Euclidean step on a >= b unless its remainder would fall below B^s:
// (a, b) := (b, a mod b), r := r (q 1; 1 0). False (nothing changed) then.
bool division_step(nat& a, nat& b, matrix& r, std::int32_t s) {
  if (len(b) <= s) return false;
  nat q(a.size() - b.size() + 1), rem(b.size());
  wdivrem(q.data(), rem.data(), a.data(), len(a), b.data(), len(b));
  trim(q);
  trim(rem);
  if (len(rem) <= s) return false;
  a = std::move(b);
  b = std::move(rem);
  r.det = -r.det;
  for (auto& row : r.m) {
    nat first = sum(product(row[0], q), row[1]);
    row[1] = std::move(row[0]);
    row[0] = std::move(first);
  }
  return true;
}

word magnitude(sword v) { return v < 0 ? word{0} - static_cast<word>(v) : static_cast<word>(v); }

// r[0 .. n] := p u - q v over n words (u, v zero above their lengths),
// known non-negative; returns its normalised length. Two passes of the
// one-word rows (carry chains where the processor has them).
std::int32_t combine_minus(word* r, word p, const word* u, word q, const word* v, std::int32_t n) {
  const word high = wmul_1(r, u, n, p);
  r[n] = high - wsubmul_1(r, v, n, q);
  return wnormalised(r, n + 1);
}

// r[0 .. n] := p u + q v over n words (p, q below 2^62); returns its
// normalised length.
std::int32_t combine_plus(word* r, word p, const word* u, word q, const word* v, std::int32_t n) {
  const word high = wmul_1(r, u, n, p);
  r[n] = high + waddmul_1(r, v, n, q);
  return wnormalised(r, n + 1);
}

word_buffer base_store;

// The base case: Lehmer's matrices of the leading 128 bits while their
// result stays above B^s, single division steps otherwise; a >= b. Stops
// early once a has at most `stop` words. The pair and the matrix live in
// fixed buffers, each step writing the next pair and matrix beside the
// current ones.
void hgcd_lehmer(nat& a, nat& b, matrix& r, std::int32_t s, std::int32_t stop = 0) {
  const std::int32_t cap = len(a) + 2;
  word* store = base_store.get(12 * cap);
  std::fill(store, store + 12 * cap, word{0});
  word* v[2] = {store, store + cap};  // the pair (a, b)
  word* nv[2] = {store + 2 * cap, store + 3 * cap};
  word* e[2][2] = {{store + 4 * cap, store + 5 * cap}, {store + 6 * cap, store + 7 * cap}};
  word* ne[2][2] = {{store + 8 * cap, store + 9 * cap}, {store + 10 * cap, store + 11 * cap}};
  std::int32_t lv[2] = {len(a), len(b)};
  std::int32_t le[2][2];
  std::copy(a.begin(), a.end(), v[0]);
  std::copy(b.begin(), b.end(), v[1]);
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      std::copy(r.m[i][j].begin(), r.m[i][j].end(), e[i][j]);
      le[i][j] = len(r.m[i][j]);
    }
  bool stepped = false;
  for (;;) {
    if (lv[1] <= s || lv[0] - lv[1] >= 2 || lv[0] <= stop) break;
    const int z = std::countl_zero(v[0][lv[0] - 1]);
    const std::int64_t pos = std::max<std::int64_t>(std::int64_t{64} * lv[0] - z - 128, 0);
    Matrix l{};
    if (!double_word_matrix(bits128(v[0], lv[0], pos), bits128(v[1], lv[1], pos), l)) break;
    // Each row of l is p u - q v (or its mirror) with p, q >= 0.
    const std::int32_t n = lv[0];
    const std::int32_t nx =
        l.B <= 0 ? combine_minus(nv[0], magnitude(l.A), v[0], magnitude(l.B), v[1], n)
                 : combine_minus(nv[0], magnitude(l.B), v[1], magnitude(l.A), v[0], n);
    const std::int32_t ny =
        l.D <= 0 ? combine_minus(nv[1], magnitude(l.C), v[0], magnitude(l.D), v[1], n)
                 : combine_minus(nv[1], magnitude(l.D), v[1], magnitude(l.C), v[0], n);
    if (nx <= s || ny <= s) break;
    if (static_cast<__int128>(l.A) * l.D - static_cast<__int128>(l.B) * l.C < 0) r.det = -r.det;
    // The matrix times (|D| |B|; |C| |A|), the inverse of l.
    for (int i = 0; i < 2; ++i) {
      const std::int32_t m = std::max(le[i][0], le[i][1]);
      std::fill(ne[i][0] + m, ne[i][0] + m + 2, word{0});
      std::fill(ne[i][1] + m, ne[i][1] + m + 2, word{0});
      le[i][0] = combine_plus(ne[i][0], magnitude(l.D), e[i][0], magnitude(l.C), e[i][1], m);
      le[i][1] = combine_plus(ne[i][1], magnitude(l.B), e[i][0], magnitude(l.A), e[i][1], m);
      // Both new entries are written through word m + 1 (zero above
      // their lengths), all that the next step reads.
      std::swap(e[i][0], ne[i][0]);
      std::swap(e[i][1], ne[i][1]);
    }
    // The new pair is written through word n, zero above its lengths.
    std::swap(v[0], nv[0]);
    std::swap(v[1], nv[1]);
    lv[0] = nx;
    lv[1] = ny;
    if (wcmp_norm(v[0], lv[0], v[1], lv[1]) < 0) {
      std::swap(v[0], v[1]);
      std::swap(lv[0], lv[1]);
      r.det = -r.det;
      for (int i = 0; i < 2; ++i) {
        std::swap(e[i][0], e[i][1]);
        std::swap(le[i][0], le[i][1]);
      }
    }
    stepped = true;
  }
  if (stepped) {
    a.assign(v[0], v[0] + lv[0]);
    b.assign(v[1], v[1] + lv[1]);
    for (int i = 0; i < 2; ++i)
      for (int j = 0; j < 2; ++j) {
        r.m[i][j].assign(e[i][j], e[i][j] + le[i][j]);
        trim(r.m[i][j]);
      }
  }
  // The last steps one division at a time.
  while (len(a) > stop && division_step(a, b, r, s)) {
    if (len(a) - len(b) < 2 && len(b) > s + 2) {
      hgcd_lehmer(a, b, r, s, stop);
      return;
    }
  }
}

// The half-GCD of (a, b) (n words for the longer): r and the reduced pair,
// a >= b, both at or above B^(n/2 + 1) when r is not the identity.
void hgcd(nat& a, nat& b, matrix& r) {
  r = identity();
  const std::int32_t n = std::max(len(a), len(b));
  const std::int32_t s = n / 2 + 1;
  if (len(a) <= s || len(b) <= s) return;
  order(a, b, r);
  const bool swapped = r.det < 0;
  if (n < std::max(hgcd_base_words, 4)) {
    hgcd_lehmer(a, b, r, s);
    return;
  }
  // The leading half reduced first: its matrix applies to the whole pair.
  {
    nat ah = high(a, n / 2), bh = high(b, n / 2);
    matrix r1;
    hgcd(ah, bh, r1);
    if (!is_identity(r1) && reduce_low(r1, ah, bh, n / 2, a, b)) {
      if (swapped) {
        std::swap(r1.m[0], r1.m[1]);
        r1.det = -r1.det;
      }
      r = std::move(r1);
      order(a, b, r);
    }
  }
  // Lehmer's steps down to 3n/4 words (when they stop short, no step
  // keeps the pair above B^s: r is complete).
  const std::int32_t n2 = 3 * n / 4 + 1;
  if (len(a) > n2) {
    hgcd_lehmer(a, b, r, s, n2);
    if (len(a) > n2) return;
  }
  // The leading words of what is left, reduced down to B^s.
  const std::int32_t m = len(a);
  if (m > s + 2) {
    const std::int32_t p = 2 * s - m + 1;
    nat ah = high(a, p), bh = high(b, p);
    matrix r2;
    hgcd(ah, bh, r2);
    if (!is_identity(r2) && reduce_low(r2, ah, bh, p, a, b)) {
      r = times(r, r2);
      order(a, b, r);
    }
  }
  hgcd_lehmer(a, b, r, s);
}

}  // namespace

std::int32_t wgcd_halves(word* g, word* a, std::int32_t na, word* b, std::int32_t nb) {
  nat x(a, a + na), y(b, b + nb);
  trim(x);
  trim(y);
  const std::int32_t cut = std::max(wide_hgcd_words, 8);
  for (;;) {
    if (compare(x, y) < 0) std::swap(x, y);
    if (y.empty() || len(x) < cut) break;
    const std::int32_t n = len(x);
    bool reduced = false;
    if (4 * (n - len(y)) < n) {
      // The leading two thirds' worth of steps, found on the top third.
      const std::int32_t p = 2 * n / 3;
      nat xh = high(x, p), yh = high(y, p);
      matrix r;
      hgcd(xh, yh, r);
      reduced = !is_identity(r) && reduce_low(r, xh, yh, p, x, y);
    }
    if (!reduced) {  // far apart in length: one division
      nat rem(y.size());
      wdivrem(nullptr, rem.data(), x.data(), len(x), y.data(), len(y));
      trim(rem);
      x = std::move(rem);
    }
  }
  if (y.empty()) {
    std::copy(x.begin(), x.end(), g);
    return len(x);
  }
  std::copy(x.begin(), x.end(), a);
  std::copy(y.begin(), y.end(), b);
  return wgcd_double(g, a, len(x), b, len(y));
}

std::int32_t wgcd(word* g, word* a, std::int32_t na, word* b, std::int32_t nb) {
  if (std::max(na, nb) >= wide_hgcd_words) return wgcd_halves(g, a, na, b, nb);
  return wgcd_double(g, a, na, b, nb);
}

// ---- The extended GCD ------------------------------------------------------------------

namespace {

// A signed natural number; zero is an empty magnitude, never negative.
struct snat {
  nat m;
  bool neg = false;
};

snat negated(snat x) {
  x.neg = !x.neg && !x.m.empty();
  return x;
}

snat signed_sum(const snat& a, const snat& b) {
  if (a.neg == b.neg) return {sum(a.m, b.m), a.neg && !(a.m.empty() && b.m.empty())};
  const int c = compare(a.m, b.m);
  if (c == 0) return {};
  return {distance(a.m, b.m), c > 0 ? a.neg : b.neg};
}

snat signed_product(const snat& a, const nat& b) {
  snat r{product(a.m, b), a.neg};
  r.neg = r.neg && !r.m.empty();
  return r;
}

// c r1 - d r2.
snat cross(const snat& c, const nat& r1, const snat& d, const nat& r2) {
  return signed_sum(signed_product(c, r1), negated(signed_product(d, r2)));
}

snat from_wide(__int128 v) {
  snat r;
  r.neg = v < 0;
  const dword m = r.neg ? dword{0} - static_cast<dword>(v) : static_cast<dword>(v);
  r.m = {static_cast<word>(m), static_cast<word>(m >> 64)};
  trim(r.m);
  return r;
}

dword wide_of(const nat& x) {
  dword v = 0;
  for (std::int32_t i = len(x) - 1; i >= 0; --i) v = (v << 64) | x[static_cast<std::size_t>(i)];
  return v;
}

// gcd(p, q) = c p + d q for p >= q below 2^128 (q may be 0), by Euclid's
// steps; the row with the zero remainder is never formed, so the cofactors
// stay below 2^127 in magnitude.
void xgcd128(dword p, dword q, dword* g, __int128* c, __int128* d) {
  __int128 c0 = 1, d0 = 0, c1 = 0, d1 = 1;
  while (q != 0) {
    const dword k = p / q, r = p - k * q;
    if (r == 0) break;
    const auto sk = static_cast<__int128>(k);
    const __int128 c2 = c0 - sk * c1, d2 = d0 - sk * d1;
    c0 = c1;
    d0 = d1;
    c1 = c2;
    d1 = d2;
    p = q;
    q = r;
  }
  if (q == 0) {  // only when it was 0 from the start
    *g = p;
    *c = 1;
    *d = 0;
    return;
  }
  *g = q;
  *c = c1;
  *d = d1;
}

// One reduction of the pair: (p, q) = r (p', q') for a matrix, or p = k q + q'
// for a division step (r then unused).
struct xstep {
  bool division;
  matrix r;
  nat k;
};

// (p, q) := (q, p mod q), its quotient kept in *k.
void divide_step(nat& p, nat& q, nat* k) {
  nat quo(p.size() - q.size() + 1), rem(q.size());
  wdivrem(quo.data(), rem.data(), p.data(), len(p), q.data(), len(q));
  trim(quo);
  trim(rem);
  *k = std::move(quo);
  p = std::move(q);
  q = std::move(rem);
}

}  // namespace

void wgcdext(const word* x, std::int32_t nx, const word* y, std::int32_t ny, std::vector<word>& g,
             signed_words& s, signed_words& t) {
  const nat xv(x, x + nx), yv(y, y + ny);
  nat p = yv, q = xv;
  trim(p);
  trim(q);
  // The pair is reduced by half-GCD matrices of the whole pair (each halves
  // it) or by a division where the two differ much in length, down to 128
  // bits; every reduction is kept to carry the cofactors back.
  std::vector<xstep> steps;
  while (!q.empty() && len(p) > 2) {
    const std::int32_t n = len(p);
    if (2 * len(q) > n + 2) {
      matrix r;
      hgcd(p, q, r);
      if (!is_identity(r)) {
        steps.push_back({false, std::move(r), {}});
        if (compare(p, q) < 0) {  // the pair ordered: a swap (0 1; 1 0)
          std::swap(p, q);
          matrix sw;
          sw.m[0][1] = {1};
          sw.m[1][0] = {1};
          sw.det = -1;
          steps.push_back({false, std::move(sw), {}});
        }
        continue;
      }
    }
    xstep st{true, {}, {}};
    divide_step(p, q, &st.k);
    steps.push_back(std::move(st));
  }
  // The cofactors (c, d) of the last pair, carried back through the steps:
  // g = c p' + d q' and (p, q) = r (p', q') give g = c' p + d' q with
  // c' = det (c r11 - d r10), d' = det (d r00 - c r01); for a division
  // step p = k q + q', c' = d and d' = c - k d.
  snat c{{1}, false}, d;
  if (q.empty()) {  // the last pair (g, 0)
    g = p;
  } else {
    dword gw = 0;
    __int128 cw = 0, dw = 0;
    xgcd128(wide_of(p), wide_of(q), &gw, &cw, &dw);
    c = from_wide(cw);
    d = from_wide(dw);
    g = {static_cast<word>(gw), static_cast<word>(gw >> 64)};
    trim(g);
  }
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    if (it->division) {
      snat next = signed_sum(c, negated(signed_product(d, it->k)));
      c = std::move(d);
      d = std::move(next);
      continue;
    }
    const matrix& r = it->r;
    snat c2 = cross(c, r.m[1][1], d, r.m[1][0]);
    snat d2 = cross(d, r.m[0][0], c, r.m[0][1]);
    if (r.det < 0) {
      c2 = negated(std::move(c2));
      d2 = negated(std::move(d2));
    }
    c = std::move(c2);
    d = std::move(d2);
  }
  // c is the cofactor of y, d that of x.
  if (compare(g, xv) == 0) {  // x divides y: (1, 0), as Euclid's first step ends
    s = {{1}, false};
    t = {{}, false};
    return;
  }
  // Euclid's cofactor of x is the one below (y / g) / 2 in magnitude; any
  // other differs from it by a multiple of y / g.
  nat yg(yv.size());
  {
    nat scratch = yv;
    yg.resize(static_cast<std::size_t>(
        wdivexact(yg.data(), scratch.data(), len(scratch), g.data(), len(g))));
  }
  trim(yg);
  nat twice = sum(d.m, d.m);
  if (compare(twice, yg) < 0) {
    s.negative = d.neg;
    s.mag = std::move(d.m);
    t.negative = c.neg;
    t.mag = std::move(c.m);
    return;
  }
  // s := d mod y/g in the symmetric range, t := (g - s x) / y.
  nat rem(yg.size());
  if (len(d.m) >= len(yg)) {
    wdivrem(nullptr, rem.data(), d.m.data(), len(d.m), yg.data(), len(yg));
    trim(rem);
  } else {
    rem = d.m;
  }
  snat sv{rem, d.neg && !rem.empty()};
  if (compare(sum(rem, rem), yg) > 0) sv = signed_sum(sv, {yg, !d.neg});
  const snat num = signed_sum({g, false}, negated(signed_product(sv, xv)));
  nat quo(num.m.size() + 1);
  if (!num.m.empty()) {
    nat scratch = num.m;
    quo.resize(static_cast<std::size_t>(
        wdivexact(quo.data(), scratch.data(), len(scratch), yv.data(), len(yv))));
    trim(quo);
  } else {
    quo.clear();
  }
  t.negative = num.neg && !quo.empty();
  t.mag = std::move(quo);
  s.negative = sv.neg;
  s.mag = std::move(sv.m);
}

}  // namespace tavrin::kit
