// The GCD of small one-variable polynomials over the integers in single
// words: one image modulo the prime P = 2^62 - 57, lifted and proved by
// division modulo P under a bound on the product. An image modulo 2^31 - 1
// comes first: it settles coprime pairs (as a rule for unrelated operands)
// at a quarter of the cost.
//
// Why one prime suffices. With |a_i|, |b_i| < 2^56 < P, P divides neither
// leading coefficient, so the image GCD has at least the degree of the true
// primitive GCD G. Degree 0: G = 1. Otherwise H, the symmetric lift of
// gamma times the monic image (gamma the GCD of the leading coefficients of
// the primitive parts), made primitive with a positive leading coefficient,
// is G as soon as it divides a and b: then H divides G and has at least its
// degree. H divides a when a = H Q modulo P and |H|_1 |Q|_inf < P / 2: the
// coefficients of H Q then lie below P / 2 like a's, so the congruence is an
// equality. When the lift or the bound fails, nothing is settled and the
// caller goes on by its general route.
#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "core/thresholds.h"
#include "numbers/bigint_wide.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "gcd/intpoly_gcd.h"

namespace tavrin {

namespace {

using u64 = std::uint64_t;
using u128 = unsigned __int128;

// The largest degree taken; integer_gcd_word_degree is capped by it.
constexpr std::int32_t kMaxDegree = 128;

using Coefs = std::array<std::int64_t, kMaxDegree + 1>;
using Residues = std::array<u64, kMaxDegree + 1>;

inline u64 magnitude(std::int64_t c) { return c < 0 ? static_cast<u64>(-c) : static_cast<u64>(c); }

// -1 / p mod 2^64 for an odd p, by Newton's iteration.
constexpr u64 minus_inverse(u64 p) {
  u64 x = p;  // correct to 3 bits; each step doubles them
  for (int k = 0; k < 5; ++k) x *= 2 - p * x;
  return 0 - x;
}

// Arithmetic modulo P = 2^62 - 57 by Montgomery products (R = 2^64):
// mul(a, b) = a b / R mod P. Residues lie in [0, P), so a sum of two fits a
// word.
struct Mod62 {
  static constexpr u64 p = (u64{1} << 62) - 57;
  static constexpr u64 minus_pinv = minus_inverse(p);
  static constexpr u64 r2 =
      static_cast<u64>((static_cast<u128>(static_cast<u64>((u128{1} << 64) % p)) << 64) % p);

  static u64 mul(u64 a, u64 b) { return reduce(static_cast<u128>(a) * b); }
  // t / R mod P for t < P R.
  static u64 reduce(u128 t) {
    const u64 m = static_cast<u64>(t) * minus_pinv;
    const auto r = static_cast<u64>((t + static_cast<u128>(m) * p) >> 64);
    return r >= p ? r - p : r;
  }
  static u64 sub(u64 a, u64 b) { return a >= b ? a - b : a + p - b; }
  // (x y - z w) / R, the two products summed (below 2 P^2) before one
  // reduction
  static u64 mul_sub(u64 x, u64 y, u64 z, u64 w) {
    return reduce(static_cast<u128>(x) * y + static_cast<u128>(p - z) * w);
  }
  // c mod p for |c| < p.
  static u64 residue(std::int64_t c) { return c < 0 ? p - magnitude(c) : static_cast<u64>(c); }
};

// Plain products modulo the Mersenne prime 2^31 - 1.
struct Mod31 {
  static constexpr u64 p = (u64{1} << 31) - 1;
  static u64 mul(u64 a, u64 b) {
    u64 t = a * b;
    t = (t & p) + (t >> 31);
    t = (t & p) + (t >> 31);
    return t >= p ? t - p : t;
  }
  // x y - z w, the two products summed before one reduction
  static u64 mul_sub(u64 x, u64 y, u64 z, u64 w) {
    u64 t = x * y + (p - z) * w;
    t = (t & p) + (t >> 31);
    t = (t & p) + (t >> 31);
    return t >= p ? t - p : t;
  }
  static u64 residue(std::int64_t c) {
    const u64 m = magnitude(c) % p;
    return c < 0 && m != 0 ? p - m : m;
  }
};

constexpr u64 P = Mod62::p;

// a R mod P: mul(a R, b) is the plain product a b mod P.
inline u64 to_mont(u64 a) { return Mod62::mul(a, Mod62::r2); }

inline std::int64_t lift(u64 r) {
  return r > P / 2 ? static_cast<std::int64_t>(r) - static_cast<std::int64_t>(P)
                   : static_cast<std::int64_t>(r);
}

// 1 / a mod P, a not 0 mod P, by extended Euclid.
u64 inverse(u64 a) {
  std::int64_t t = 0, nt = 1;
  u64 r = P, nr = a;
  while (nr != 0) {
    const u64 q = r / nr;
    t = std::exchange(nt, t - static_cast<std::int64_t>(q) * nt);
    r = std::exchange(nr, r - q * nr);
  }
  return t < 0 ? static_cast<u64>(t + static_cast<std::int64_t>(P)) : static_cast<u64>(t);
}

// Binary GCD of two words.
u64 gcd_word(u64 a, u64 b) {
  if (a == 0) return b;
  if (b == 0) return a;
  const int shift = __builtin_ctzll(a | b);
  a >>= __builtin_ctzll(a);
  do {
    b >>= __builtin_ctzll(b);
    if (a > b) std::swap(a, b);
    b -= a;
  } while (b != 0);
  return a << shift;
}

// g and the magnitudes of c[0 .. d] together, stopping at 1.
u64 content_with(u64 g, const std::int64_t* c, std::int32_t d) {
  for (std::int32_t i = d; i >= 0 && g != 1; --i)
    if (c[i] != 0) g = gcd_word(g, magnitude(c[i]));
  return g;
}

// c[0 .. deg p] := the coefficients of the one-variable list p (degree >=
// 1, at most cap) when each has at most two limbs; *d := deg p, *terms :=
// the number of terms.
bool read_words(poly p, std::int32_t cap, Coefs* c, std::int32_t* d, std::int32_t* terms) {
  if (p->numb || p->exp > cap) return false;
  *d = p->exp;
  *terms = 0;
  std::fill(c->begin(), c->begin() + p->exp + 1, 0);
  return for_each_onevar_leaf(p, [c, terms](std::int32_t e, poly leaf) {
    ++*terms;
    return small_number_value(leaf->ncoef, c->data() + e);
  });
}

// The GCD modulo F::p of a[0 .. da] and b[0 .. db] (their residues taken
// here; a[da], b[db] not 0 mod F::p) up to a unit: *g := its coefficients in
// ra's or rb's storage, its degree returned. Remainders are taken without
// inverses: x^k rb times ra's leading coefficient from ra times rb's.
template <class F>
std::int32_t image_gcd(const std::int64_t* a, std::int32_t da, const std::int64_t* b,
                       std::int32_t db, u64* ra, u64* rb, const u64** g) {
  for (std::int32_t i = 0; i <= da; ++i) ra[i] = F::residue(a[i]);
  for (std::int32_t i = 0; i <= db; ++i) rb[i] = F::residue(b[i]);
  if (da < db) {
    std::swap(ra, rb);
    std::swap(da, db);
  }
  while (db >= 0) {
    while (da >= db) {
      const u64 la = ra[da], lb = rb[db];
      const std::int32_t k = da - db;
      for (std::int32_t i = 0; i < k; ++i) ra[i] = F::mul(ra[i], lb);
      for (std::int32_t i = k; i < da; ++i) ra[i] = F::mul_sub(ra[i], lb, rb[i - k], la);
      for (--da; da >= 0 && ra[da] == 0;) --da;
    }
    std::swap(ra, rb);
    std::swap(da, db);
  }
  *g = ra;
  return da;
}

// h (degree dh >= 1, leading coefficient not 0 mod P, |h|_1 = h_norm)
// divides x (degree dx, |x_i| < P / 2) over the integers: the division
// modulo P leaves no remainder and its quotient q has |q|_inf h_norm < P / 2.
bool divides(const std::int64_t* x, std::int32_t dx, const std::int64_t* h, std::int32_t dh,
             u128 h_norm) {
  if (dx < dh) return false;
  Residues r, hm;
  for (std::int32_t i = 0; i <= dx; ++i) r[static_cast<std::size_t>(i)] = Mod62::residue(x[i]);
  for (std::int32_t i = 0; i < dh; ++i)
    hm[static_cast<std::size_t>(i)] = to_mont(Mod62::residue(h[i]));
  const u64 inv = to_mont(inverse(Mod62::residue(h[dh])));
  u64 q_max = 0;
  for (std::int32_t k = dx - dh; k >= 0; --k) {
    const u64 q = Mod62::mul(r[static_cast<std::size_t>(k + dh)], inv);
    if (q == 0) continue;
    q_max = std::max(q_max, magnitude(lift(q)));
    u64* row = r.data() + k;
    for (std::int32_t i = 0; i < dh; ++i)
      row[i] = Mod62::sub(row[i], Mod62::mul(q, hm[static_cast<std::size_t>(i)]));
  }
  for (std::int32_t i = 0; i < dh; ++i)
    if (r[static_cast<std::size_t>(i)] != 0) return false;
  return static_cast<u128>(q_max) * h_norm < P / 2;
}

// A fresh term list c * h[0 .. dh] (dh >= 0).
poly build_list(const std::int64_t* h, std::int32_t dh, u64 c) {
  if (dh == 0) return nodes::new_leaf(new_wide_number(static_cast<wide_int>(c) * h[0]));
  nodes::OwnedPoly head;
  poly* tail = head.cell();
  for (std::int32_t i = dh; i >= 0; --i) {
    if (h[i] == 0) continue;
    poly leaf = nodes::new_leaf(new_wide_number(static_cast<wide_int>(c) * h[i]));
    *tail = i == 0 ? leaf : nodes::new_term(i, leaf);
    tail = &(*tail)->next;
  }
  return head.release();
}

void settle(poly* r, poly answer) {
  free_poly(r);
  *r = answer;
  ++intpoly_gcd_stats.word_runs;
}

}  // namespace

bool word_onevar_gcd(poly u, poly v, poly* r) {
  const std::int32_t cap = std::min(integer_gcd_word_degree, kMaxDegree);
  Coefs a, b;
  std::int32_t da = 0, db = 0;
  std::int32_t ta = 0, tb = 0;
  if (!read_words(u, cap, &a, &da, &ta) || !read_words(v, cap, &b, &db, &tb)) return false;
  // a monomial, or two binomials, the driver's shortcuts settle faster
  if (ta == 1 || tb == 1 || (ta == 2 && tb == 2)) return false;
  if (a[static_cast<std::size_t>(da)] == 0 || b[static_cast<std::size_t>(db)] == 0) return false;
  const std::int64_t one = 1;
  Residues ra, rb;
  const u64* g = nullptr;
  // an image of degree 0: coprime primitive parts, the common content
  std::int32_t bound = kMaxDegree;  // the degree of the image modulo 2^31 - 1
  if (Mod31::residue(a[static_cast<std::size_t>(da)]) != 0 &&
      Mod31::residue(b[static_cast<std::size_t>(db)]) != 0) {
    bound = image_gcd<Mod31>(a.data(), da, b.data(), db, ra.data(), rb.data(), &g);
    if (bound == 0) {
      settle(r, build_list(&one, 0, content_with(content_with(0, a.data(), da), b.data(), db)));
      return true;
    }
  }
  const std::int32_t dg = image_gcd<Mod62>(a.data(), da, b.data(), db, ra.data(), rb.data(), &g);
  const u64 ca = content_with(0, a.data(), da);
  if (dg == 0) {
    settle(r, build_list(&one, 0, content_with(ca, b.data(), db)));
    return true;
  }
  if (dg > bound) {  // P is unlucky
    ++intpoly_gcd_stats.word_declined;
    return false;
  }
  const u64 cb = content_with(0, b.data(), db);
  const u64 gamma = gcd_word(magnitude(a[static_cast<std::size_t>(da)]) / ca,
                             magnitude(b[static_cast<std::size_t>(db)]) / cb);
  // gamma times the monic image, lifted, made primitive with a positive
  // leading coefficient
  Coefs h;
  const u64 scale = to_mont(Mod62::mul(to_mont(inverse(g[dg])), gamma));
  u64 ch = 0;
  for (std::int32_t i = 0; i <= dg; ++i) {
    h[static_cast<std::size_t>(i)] = lift(Mod62::mul(g[i], scale));
    ch = gcd_word(ch, magnitude(h[static_cast<std::size_t>(i)]));
  }
  const bool negate = h[static_cast<std::size_t>(dg)] < 0;
  u128 h_norm = 0;
  for (std::int32_t i = 0; i <= dg; ++i) {
    std::int64_t& x = h[static_cast<std::size_t>(i)];
    x /= static_cast<std::int64_t>(ch);
    if (negate) x = -x;
    h_norm += magnitude(x);
  }
  if (!divides(a.data(), da, h.data(), dg, h_norm) ||
      !divides(b.data(), db, h.data(), dg, h_norm)) {
    ++intpoly_gcd_stats.word_declined;
    return false;
  }
  settle(r, build_list(h.data(), dg, gcd_word(ca, cb)));
  return true;
}

}  // namespace tavrin
