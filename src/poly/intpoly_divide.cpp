// Quotients of one-variable integer polynomials by Kronecker's substitution:
// the exact quotient and the pseudo-division, each one division of packed
// integers whose result is proven by a bound on the coefficients (or, for
// the exact quotient, by a product when the bound does not settle it).
//
// The proof. Let E be a polynomial with integer coefficients below X/2 in
// magnitude, X = 2^(64 s). Its balanced digits in base X are its
// coefficients, so E(X) = 0 forces E = 0. When the packed integers satisfy
// A = Q B + R exactly and q, r are the polynomials whose values at X are Q
// and R (unpack_slots with *fits), E = a - q b - r has E(X) = 0, and
// |E| <= |a| + |q| |b|_1 + |r| coefficientwise: once that is below X/2,
// a = q b + r as polynomials.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_array.h"
#include "dense/dense_modular.h"
#include "poly/intpoly.h"
#include "poly/intpoly_impl.h"

namespace tavrin {

using kit::word;
using Words = std::vector<word>;

namespace {

// Bits of n (0 for 0).
std::int64_t bit_length(std::uint64_t n) { return n == 0 ? 0 : 64 - __builtin_clzll(n); }

// Bits of the magnitude w[0 .. n) (normalised or not).
std::int64_t words_bits(const word* w, std::int32_t n) {
  n = kit::wnormalised(w, n);
  return 64 * std::int64_t{n - 1} + bit_length(w[n - 1]);
}

// Words for `bits` bits of a balanced slot.
std::int32_t slot_words(std::int64_t bits) { return static_cast<std::int32_t>((bits + 63) / 64); }

// The product of magnitudes a b, normalised.
Words times(const Words& a, const Words& b) {
  Words r(a.size() + b.size(), 0);
  kit::fit_exactly(r);
  if (a.size() >= b.size()) {
    kit::wmul(r.data(), a.data(), static_cast<std::int32_t>(a.size()), b.data(),
              static_cast<std::int32_t>(b.size()));
  } else {
    kit::wmul(r.data(), b.data(), static_cast<std::int32_t>(b.size()), a.data(),
              static_cast<std::int32_t>(a.size()));
  }
  r.resize(
      static_cast<std::size_t>(kit::wnormalised(r.data(), static_cast<std::int32_t>(r.size()))));
  return r;
}

// c^k for a magnitude c (not zero), k >= 0, left to right over the bits of k.
Words power(const Words& c, std::int64_t k) {
  Words r{1};
  for (int bit = 62; bit >= 0; --bit) {
    if (r.size() > 1 || r[0] != 1) {
      Words sq(2 * r.size(), 0);
      kit::fit_exactly(sq);
      kit::wsqr(sq.data(), r.data(), static_cast<std::int32_t>(r.size()));
      sq.resize(static_cast<std::size_t>(
          kit::wnormalised(sq.data(), static_cast<std::int32_t>(sq.size()))));
      r.swap(sq);
    }
    if (((k >> bit) & 1) != 0) r = times(r, c);
  }
  return r;
}

// -a.
IntPoly negated(const IntPoly& a) {
  IntPoly r;
  r.reserve(a.degree() + 1, a.total_words());
  for (std::int32_t i = 0; i <= a.degree(); ++i) r.push(a.mag(i), a.len(i), !a.neg(i));
  r.trim();
  return r;
}

// The magnitude of coefficient i of a as words.
Words coefficient(const IntPoly& a, std::int32_t i) { return Words(a.mag(i), a.mag(i) + a.len(i)); }

// a = q b + r with deg r < deg b (r nil: zero) is proven from the values
// at 2^(64 s) (see the file comment): the bits of the largest possible
// coefficient of a - q b - r stay below 64 s - 1. a_bits bounds a's.
bool proven_by_bound(std::int64_t a_bits, const IntPoly& q, const IntPoly& b, const IntPoly* r,
                     std::int32_t s) {
  const std::int64_t terms = std::min(q.degree(), b.degree()) + 1;
  std::int64_t top =
      std::max(a_bits, q.max_bits() + b.max_bits() + bit_length(static_cast<std::uint64_t>(terms)));
  if (r != nullptr) top = std::max(top, r->max_bits());
  return top + 2 <= 64 * std::int64_t{s} - 1;
}

// log2 |coefficient i of a| (a's coefficient not zero), from its top words.
double log2_magnitude(const IntPoly& a, std::int32_t i) {
  const std::int32_t n = a.len(i);
  const word* m = a.mag(i);
  double top = static_cast<double>(m[n - 1]);
  if (n >= 2) top += static_cast<double>(m[n - 2]) * 0x1p-64;
  return std::log2(top) + 64.0 * (n - 1);
}

// log2 of Fujiwara's bound 2 max_i |b_(d-i) / b_d|^(1/i) on the moduli of
// b's roots (deg b >= 1): the rate at which the coefficients of a quotient
// by b may grow.
double root_bound_bits(const IntPoly& b) {
  const std::int32_t d = b.degree();
  const double lead = log2_magnitude(b, d);
  double best = -1e300;
  for (std::int32_t i = 1; i <= d; ++i) {
    if (b.len(d - i) == 0) continue;
    best = std::max(best, (log2_magnitude(b, d - i) - lead) / i);
  }
  return 1.0 + best;
}

// The tight slot of intpoly_divexact: a's and b's coefficients and the
// sums of deg a + 1 of them.
std::int64_t tight_bits(const IntPoly& a, const IntPoly& b) {
  return std::max(a.max_bits(), b.max_bits()) +
         bit_length(static_cast<std::uint64_t>(a.degree()) + 1) + 4;
}

// The primes of the quick test: one that does not divide the divisor's
// leading coefficient serves.
constexpr std::int32_t test_primes[] = {2147483629, 2147483587, 2147483579};

}  // namespace

bool intpoly_may_divide(const IntPoly& a, const IntPoly& b) {
  if (a.is_zero() || b.degree() < 1) return true;
  for (const std::int32_t p : test_primes) {
    const DensePoly bp = intpoly_residues(b, p);
    if (dense_degree(bp) != b.degree()) continue;  // p divides the leading coefficient
    DensePoly r;
    dense_divrem(intpoly_residues(a, p), bp, p, nullptr, &r);
    return r.empty();
  }
  return true;
}

bool intpoly_divexact_one_word(const IntPoly& a, const IntPoly& b) {
  return slot_words(tight_bits(a, b)) == 1;
}

bool intpoly_divexact(const IntPoly& a, const IntPoly& b, IntPoly* q) {
  if (a.is_zero() || b.degree() < 1 || a.degree() < b.degree() ||
      std::min(b.degree(), a.degree() - b.degree()) < intpoly_rows_degree)
    return intpoly_divexact_rows(a, b, q);
  // The quotient's coefficients are as a rule not much longer than a's (a
  // narrow slot first); a quotient from a slot too narrow fails the proof,
  // and the slot for the bound 2^deg a times a's coefficients is tried.
  // Before them, when it takes fewer words, the tight slot: a's
  // coefficients and sums of deg a + 1 of them, room for q b when q's
  // coefficients are about a's less b's (as a rule for a product); only
  // the bound may prove it, as a product check would cost more than it
  // saves.
  const std::int64_t top = std::max(a.max_bits(), b.max_bits());
  const std::int64_t spread = bit_length(static_cast<std::uint64_t>(a.degree()) + 1);
  const std::int64_t narrow = top + 2 * spread + 64, tight = tight_bits(a, b);
  const std::int64_t widths[] = {tight, narrow, top + a.degree() + 2};
  for (int attempt = slot_words(tight) < slot_words(narrow) ? 0 : 1; attempt < 3; ++attempt) {
    const std::int32_t s = slot_words(widths[attempt]);
    bool na = false, nb = false;
    const Words pa = detail::pack_slots(a, s, &na);
    const Words pb = detail::pack_slots(b, s, &nb);
    const std::int32_t la = kit::wnormalised(pa.data(), static_cast<std::int32_t>(pa.size()));
    const std::int32_t lb = kit::wnormalised(pb.data(), static_cast<std::int32_t>(pb.size()));
    if (la < lb) return false;
    Words qw(static_cast<std::size_t>(la - lb) + 1, 0), rw(static_cast<std::size_t>(lb), 0);
    kit::fit_exactly(qw);
    kit::fit_exactly(rw);
    kit::wdivrem(qw.data(), rw.data(), pa.data(), la, pb.data(), lb);
    if (kit::wnormalised(rw.data(), lb) != 1 || rw[0] != 0) return false;  // b does not divide a
    bool fits = false;
    *q = detail::unpack_slots(qw.data(), static_cast<std::int32_t>(qw.size()),
                              a.degree() - b.degree(), s, na != nb, &fits);
    if (q->is_zero() || q->degree() != a.degree() - b.degree()) continue;
    if (fits && proven_by_bound(a.max_bits(), *q, b, nullptr, s)) return true;
    if (attempt > 0 && intpoly_mul(*q, b) == a) return true;
  }
  return intpoly_divexact_rows(a, b, q);  // not reached when b divides a
}

bool detail::pseudo_divrem_on_slots(const IntPoly& a, const IntPoly& b, const Words& ck,
                                    bool ck_negative, std::int64_t bits, IntPoly* q, IntPoly* r) {
  const std::int32_t s = slot_words(bits);
  const std::int32_t da = a.degree(), db = b.degree();
  bool na = false, nb = false;
  const Words pa = detail::pack_slots(a, s, &na);
  Words A =
      times(Words(pa.begin(),
                  pa.begin() + kit::wnormalised(pa.data(), static_cast<std::int32_t>(pa.size()))),
            ck);
  const bool sa = na != ck_negative;
  Words B = detail::pack_slots(b, s, &nb);
  const auto lb = kit::wnormalised(B.data(), static_cast<std::int32_t>(B.size()));
  B.resize(static_cast<std::size_t>(lb));
  const auto la = static_cast<std::int32_t>(A.size());
  // |A| = Q |B| + R, 0 <= R < |B|.
  Words Q(static_cast<std::size_t>(std::max(la - lb, 0)) + 1, 0),
      R(static_cast<std::size_t>(lb), 0);
  kit::fit_exactly(Q);
  kit::fit_exactly(R);
  if (la >= lb) {
    kit::wdivrem(Q.data(), R.data(), A.data(), la, B.data(), lb);
  } else {
    std::copy(A.begin(), A.end(), R.begin());
  }
  // Rounded to the nearest: when 2 R > |B|, Q + 1 and the remainder R - |B|.
  Words twice(R.size() + 1, 0);
  kit::fit_exactly(twice);
  twice[R.size()] = kit::wshl(twice.data(), R.data(), lb, 1);
  bool r_flip = sa;
  if (kit::wcmp_norm(twice.data(), kit::wnormalised(twice.data(), lb + 1), B.data(), lb) > 0) {
    Q.push_back(0);
    kit::wadd_1(Q.data(), Q.data(), static_cast<std::int32_t>(Q.size()), 1);
    kit::wsub_n(R.data(), B.data(), R.data(), lb);
    r_flip = !sa;
  }
  bool q_fits = false, r_fits = false;
  IntPoly qq = detail::unpack_slots(Q.data(), static_cast<std::int32_t>(Q.size()), da - db, s,
                                    sa != nb, &q_fits);
  IntPoly rr = detail::unpack_slots(R.data(), lb, db - 1, s, r_flip, &r_fits);
  if (!q_fits || !r_fits ||
      !proven_by_bound(a.max_bits() + words_bits(ck.data(), static_cast<std::int32_t>(ck.size())),
                       qq, b, &rr, s))
    return false;
  if (q != nullptr) *q = std::move(qq);
  if (r != nullptr) *r = std::move(rr);
  return true;
}

void intpoly_pseudo_divrem_scaled(const IntPoly& a, const IntPoly& b, IntPoly* q, IntPoly* r,
                                  WordInt* scale) {
  const std::int32_t da = a.degree(), db = b.degree(), k = da - db + 1;
  const Words ck = power(coefficient(b, db), k);
  const bool ck_negative = b.neg(db) && (k % 2) != 0;
  // The multiplier c^k, or c^k / g (g divides c).
  auto set_scale = [&](const Words& g) {
    scale->m = ck;
    scale->neg = ck_negative;
    if (g.size() > 1 || g[0] != 1) {
      Words scratch(ck);
      scale->m.assign(ck.size(), 0);
      kit::fit_exactly(scale->m);
      scale->m.resize(static_cast<std::size_t>(
          kit::wdivexact(scale->m.data(), scratch.data(), static_cast<std::int32_t>(ck.size()),
                         g.data(), static_cast<std::int32_t>(g.size()))));
    }
  };
  const Words one{1};
  const std::int64_t spread = bit_length(static_cast<std::uint64_t>(da) + 1);
  const std::int64_t narrow = a.max_bits() + b.max_bits() + 2 * spread + 64;
  // The quotient over the rationals is as a rule an integer polynomial
  // (b monic, or dividing a), of coefficients about as long as a's: then
  // a = q b + r on narrow slots, and the multiplier is c^k.
  // A leading coefficient +-1 makes that quotient integral whatever a is,
  // but its coefficients may grow well past a's (roots outside the unit
  // circle): the slots double until the proof holds, the attempts costing
  // at most the last one again.
  const bool unit_lead = ck.size() == 1 && ck[0] == 1;
  for (std::int64_t bits = narrow;; bits *= 2) {
    if (detail::pseudo_divrem_on_slots(a, b, one, false, bits, q, r)) {
      set_scale(one);
      return;
    }
    if (!unit_lead) break;
  }
  // b divides a over the rationals when its primitive part divides a over
  // the integers (Gauss): then r = 0 and q = c^k (a / b') / content(b).
  const Words g = intpoly_content(b);
  IntPoly q1;
  if ((g.size() > 1 || g[0] != 1) && intpoly_may_divide(a, b) &&
      intpoly_divexact(a, intpoly_div_integer(b, g), &q1)) {
    if (q != nullptr) *q = std::move(q1);
    if (r != nullptr) r->clear();
    set_scale(g);
    return;
  }
  *scale = WordInt{{1}, false};
  // The whole multiplier, on slots for coefficients about as long as c^k a,
  // doubled until the proof holds; no wider than needed for a quotient that
  // grows as fast as b's roots allow (Fujiwara's bound, an overestimate by
  // up to a bit a step), nor than the bound of the pseudo-remainder loop,
  // whose values grow at most by a factor |c| + |b|_1 <= 2 |b|_1 a step.
  // Past that bound the proof holds once the slots hold q and r with room
  // to spare, so the loop ends (as a rule at once, at the bound).
  const std::int64_t ck_bits = words_bits(ck.data(), static_cast<std::int32_t>(ck.size()));
  const std::int64_t norm_bits = b.max_bits() + bit_length(static_cast<std::uint64_t>(db) + 1) + 1;
  const std::int64_t bound = a.max_bits() + std::int64_t{k} * norm_bits + norm_bits + 8;
  const double rate = std::max(0.0, root_bound_bits(b));
  const std::int64_t first = ck_bits + narrow;
  const std::int64_t second = first + static_cast<std::int64_t>(std::ceil(rate * k)) + 2 * spread;
  for (std::int64_t bits = first;;) {
    if (detail::pseudo_divrem_on_slots(a, b, ck, ck_negative, bits, q, r)) return;
    std::int64_t next = 2 * bits;
    for (const std::int64_t cap : {second, bound})
      if (bits < cap && next > cap) next = cap;
    bits = next;
  }
}

void intpoly_pseudo_divrem(const IntPoly& a, const IntPoly& b, IntPoly* q, IntPoly* r) {
  WordInt f;
  intpoly_pseudo_divrem_scaled(a, b, q, r, &f);
  if (f.m.size() == 1 && f.m[0] == 1 && !f.neg) return;
  for (IntPoly* x : {q, r}) {
    if (x == nullptr || x->is_zero()) continue;
    *x = intpoly_mul_integer(*x, f.m);
    if (f.neg) *x = negated(*x);
  }
}

}  // namespace tavrin
