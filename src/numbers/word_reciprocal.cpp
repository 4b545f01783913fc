// Long division by a reciprocal found with Newton's iteration: the
// reciprocal of the divisor's leading words costs a few products, and each
// block of quotient words is then one product for the estimate and one for
// the remainder, against the recursive division's log-many products.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_array.h"

namespace tavrin::kit {

namespace {

using words = std::vector<word>;

// Where the reciprocal's Newton steps stop: below the division's cut-off,
// so that the division of the base case is the recursive one.
std::int32_t least_newton_words() {
  return std::clamp<std::int32_t>(newton_reciprocal_words, 3,
                                  std::max<std::int32_t>(wide_newton_divide_words, 3));
}

// r[0 .. na+nb) := a b for any lengths >= 1 (wmul wants the longer first).
void product(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (na >= nb) {
    wmul(r, a, na, b, nb);
  } else {
    wmul(r, b, nb, a, na);
  }
}

// x[0 .. n] := (B^(2n) - 1) div a by one long division (below the Newton
// cut-off of the reciprocal, itself at most that of the division, so the
// division does not come back here).
void reciprocal_by_division(word* x, const word* a, std::int32_t n) {
  words num(static_cast<std::size_t>(2 * n), ~word{0}), rem(static_cast<std::size_t>(n));
  wdivrem(x, rem.data(), num.data(), 2 * n, a, n);
}

// v := x - a b as m words of two's complement, for |v| < B^m / 2 and
// m = wmul_wrap_words(..) words at least na and nb: x folded modulo
// B^m - 1 and a b by the wrapped product, half the transform of the whole.
words wrapped_difference(const word* x, std::int32_t nx, const word* a, std::int32_t na,
                         const word* b, std::int32_t nb, std::int32_t m) {
  words r(static_cast<std::size_t>(m), 0), p(static_cast<std::size_t>(m));
  for (std::int32_t at = 0; at < nx; at += m) {
    word carry = wadd(r.data(), r.data(), m, x + at, std::min(m, nx - at));
    while (carry != 0) carry = wadd_1(r.data(), r.data(), m, carry);
  }
  wmul_ntt_wrap(p.data(), m, a, na, b, nb);
  // A borrow wraps to + B^m, one more than B^m - 1.
  if (wsub_n(r.data(), r.data(), p.data(), m) != 0) wsub_1(r.data(), r.data(), m, 1);
  if (std::all_of(r.begin(), r.end(), [](word w) { return w == ~word{0}; }))
    return words(r.size(), 0);
  if (r.back() >> 63 != 0) wadd_1(r.data(), r.data(), m, 1);  // v + B^m - 1 is v + B^m less one
  return r;
}

// Whether the products of a and b words go through the transforms.
bool transformed(std::int32_t na, std::int32_t nb) { return std::min(na, nb) >= wide_ntt_words; }

// t[0 .. n] := B^(n+h) - A Xh for the n words A and the reciprocal Xh of
// their leading h words (h + 1 words), Xh lowered by one for each A that
// brings the difference into [0, 2A). A Xh lies within 2 B^n of
// B^(n+h), so that the product modulo B^m - 1 (m >= n + 2) decides it.
void newton_residual(word* t, const word* a, std::int32_t n, words& xh, std::int32_t h) {
  const std::int32_t m = transformed(n, h + 1) ? wmul_wrap_words(n + 2) : 0;
  if (m != 0) {
    words top(static_cast<std::size_t>(n + h + 1), 0);
    top.back() = 1;
    words v = wrapped_difference(top.data(), n + h + 1, a, n, xh.data(), h + 1, m);
    while (v.back() >> 63 != 0) {
      wsub_1(xh.data(), xh.data(), h + 1, 1);
      wadd(v.data(), v.data(), m, a, n);
    }
    std::copy(v.begin(), v.begin() + n + 1, t);
    return;
  }
  words p(static_cast<std::size_t>(n + h + 1));
  product(p.data(), a, n, xh.data(), h + 1);
  while (p[static_cast<std::size_t>(n + h)] != 0) {
    wsub_1(xh.data(), xh.data(), h + 1, 1);
    p[static_cast<std::size_t>(n + h)] -= wsub(p.data(), p.data(), n + h, a, n);
  }
  // B^(n+h) - p, below 2 B^n.
  for (word& w : p) w = ~w;
  wadd_1(p.data(), p.data(), n + h, 1);
  std::copy(p.begin(), p.begin() + n + 1, t);
}

}  // namespace

// One Newton step from the reciprocal Xh of the leading h words Ah: with
// T = B^(n+h) - A Xh (below 2A once Xh is at most the reciprocal of A's
// leading words) the correction is Xh T / B^(2h); Brent and Zimmermann,
// Modern Computer Arithmetic, Algorithm 3.5.
void wreciprocal(word* x, const word* a, std::int32_t n) {
  if (n < least_newton_words()) {
    reciprocal_by_division(x, a, n);
    return;
  }
  const std::int32_t l = (n - 1) / 2, h = n - l;
  words xh(static_cast<std::size_t>(h + 1));
  wreciprocal(xh.data(), a + l, h);
  words t(static_cast<std::size_t>(n + 1));
  newton_residual(t.data(), a, n, xh, h);
  // u := floor(t / B^l) Xh; x := Xh B^l + floor(u / B^(2h - l)).
  words u(static_cast<std::size_t>(2 * h + 2));
  product(u.data(), t.data() + l, h + 1, xh.data(), h + 1);
  std::fill(x, x + l, word{0});
  std::copy(xh.begin(), xh.end(), x + l);
  wadd(x, x, n + 1, u.data() + (2 * h - l), l + 2);
}

namespace {

// The division of np[0 .. nn) by dp[0 .. dn) (top bit set, nn > dn):
// q[0 .. nn-dn) := the quotient below its top word, which is returned (0
// or 1); np[0 .. dn) := the remainder. The blocks of quotient words from
// the top, k0 words each (the top block may be shorter), each estimated
// from the window's words above the divisor times the reciprocal of the
// divisor's leading k0 words: the estimate is a few units off at most
// either way, and the remainder's sign and size set it right.
word div_qr_blocks(word* q, word* np, std::int32_t nn, const word* dp, std::int32_t dn) {
  const std::int32_t qn = nn - dn;
  const word qh = wcmp(np + qn, dp, dn) >= 0 ? 1 : 0;
  if (qh != 0) wsub_n(np + qn, np + qn, dp, dn);
  const std::int32_t blocks = (qn + dn - 1) / dn;
  const std::int32_t k0 = (qn + blocks - 1) / blocks;
  words x(static_cast<std::size_t>(k0 + 1));
  wreciprocal(x.data(), dp + dn - k0, k0);
  words t(static_cast<std::size_t>(2 * k0 + 1)), p(static_cast<std::size_t>(dn + k0));
  const std::int32_t wrap = wmul_wrap_words(dn + 1);
  for (std::int32_t pos = qn; pos > 0;) {
    const std::int32_t k = pos - (pos - 1) / k0 * k0;  // the top block first
    pos -= k;
    word* w = np + pos;  // the window w[0 .. dn + k), its top dn words below d
    word* qb = q + pos;
    // qb := floor(w_top (x div B^(k0 - k)) / B^k), at most B^k - 1.
    product(t.data(), w + dn, k, x.data() + (k0 - k), k + 1);
    std::copy(t.begin() + k, t.begin() + 2 * k, qb);
    if (t[static_cast<std::size_t>(2 * k)] != 0) std::fill(qb, qb + k, ~word{0});
    // w := w - qb d (below B^(dn+1) / 2 in magnitude), brought into [0, d).
    word borrow = 0;
    const std::int32_t nq = wnormalised(qb, k);
    if (wrap != 0 && transformed(nq, dn)) {
      const words v = wrapped_difference(w, dn + k, qb, nq, dp, dn, wrap);
      borrow = v.back() >> 63;
      for (std::int32_t i = 0; i < dn + k; ++i)
        w[i] = i < wrap ? v[static_cast<std::size_t>(i)] : word{0} - borrow;
    } else if (nq > 1 || qb[0] != 0) {
      product(p.data(), qb, nq, dp, dn);
      borrow = wsub(w, w, dn + k, p.data(), dn + nq);
    }
    while (borrow != 0) {
      wsub_1(qb, qb, k, 1);
      borrow -= wadd(w, w, dn + k, dp, dn);
    }
    while (wcmp_norm(w, wnormalised(w, dn + k), dp, dn) >= 0) {
      wsub(w, w, dn + k, dp, dn);
      wadd_1(qb, qb, k, 1);
    }
  }
  return qh;
}

}  // namespace

void wdivrem_reciprocal(word* q, word* r, const word* n, std::int32_t nn, const word* d,
                        std::int32_t dn) {
  // Both shifted to the divisor's top bit; the dividend gains a word.
  const int s = std::countl_zero(d[dn - 1]);
  words dp(static_cast<std::size_t>(dn)), np(static_cast<std::size_t>(nn + 1));
  wshl(dp.data(), d, dn, s);
  np.back() = wshl(np.data(), n, nn, s);
  words qp(q != nullptr ? 0 : static_cast<std::size_t>(nn + 1 - dn));
  div_qr_blocks(q != nullptr ? q : qp.data(), np.data(), nn + 1, dp.data(), dn);
  wshr(r, np.data(), dn, s);
}

}  // namespace tavrin::kit
