// The modular GCD of one-variable polynomials over the integers.
#include "gcd/intpoly_gcd.h"

#include <algorithm>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "gcd/gcd_globals.h"
#include "dense/dense_modular.h"
#include "numbers/primes.h"
#include "numbers/word_array_impl.h"
#include "numbers/word_mod.h"

namespace tavrin {

intpoly_gcd_counts intpoly_gcd_stats{};
std::int32_t (*intpoly_prime_hook)(std::int32_t k, std::int32_t p) = nullptr;

namespace {

using word = IntPoly::word;
using Words = std::vector<word>;

Words gcd_words(const Words& a, const Words& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const auto na = static_cast<std::int32_t>(a.size()), nb = static_cast<std::int32_t>(b.size());
  const std::int32_t room = std::max(na, nb);
  Words x(static_cast<std::size_t>(room), 0), y(static_cast<std::size_t>(room), 0), g(static_cast<std::size_t>(room), 0);
  std::copy(a.begin(), a.end(), x.begin());
  std::copy(b.begin(), b.end(), y.begin());
  const std::int32_t n = detail::wgcd(g.data(), x.data(), na, y.data(), nb);
  g.resize(static_cast<std::size_t>(n));
  return g;
}

bool is_one(const Words& w) { return w.size() == 1 && w[0] == 1; }

IntPoly constant_poly(const Words& c) {
  IntPoly r;
  r.push(c.data(), static_cast<std::int32_t>(c.size()), false);
  r.trim();
  return r;
}

// A coefficient of the Chinese combination: a signed magnitude.
struct Coef {
  Words m;
  bool neg = false;
};

// c mod p as a residue 0 .. p - 1.
std::uint32_t residue(const Coef& c, std::uint32_t p) {
  const std::uint32_t v = words_mod(c.m.data(), static_cast<std::int32_t>(c.m.size()), p);
  return c.neg && v != 0 ? p - v : v;
}

// c += t * M for a word t of either sign (|t| < 2^31).
void add_multiple(Coef& c, const Words& M, std::int64_t t) {
  if (t == 0) return;
  const bool tneg = t < 0;
  const auto tm = static_cast<word>(tneg ? -t : t);
  const auto nm = static_cast<std::int32_t>(M.size());
  Words prod(static_cast<std::size_t>(nm) + 1);
  prod[static_cast<std::size_t>(nm)] = detail::wmul_1(prod.data(), M.data(), nm, tm);
  const std::int32_t np = detail::wnormalised(prod.data(), nm + 1);
  const auto nc = static_cast<std::int32_t>(c.m.size());
  if (nc == 0 || c.neg == tneg) {
    const std::int32_t top = std::max(nc, np);
    Words r(static_cast<std::size_t>(top) + 1, 0);
    if (nc >= np) {
      r[static_cast<std::size_t>(top)] = detail::wadd(r.data(), c.m.data(), nc, prod.data(), np);
    } else {
      r[static_cast<std::size_t>(top)] = nc == 0 ? 0 : detail::wadd(r.data(), prod.data(), np, c.m.data(), nc);
      if (nc == 0) std::copy(prod.begin(), prod.begin() + np, r.begin());
    }
    c.m.swap(r);
    c.neg = tneg;
  } else {
    int cmp = nc != np ? (nc < np ? -1 : 1) : detail::wcmp(c.m.data(), prod.data(), nc);
    if (cmp == 0) {
      c.m.clear();
      c.neg = false;
      return;
    }
    if (cmp > 0) {
      detail::wsub(c.m.data(), c.m.data(), nc, prod.data(), np);
    } else {
      Words r(static_cast<std::size_t>(np));
      detail::wsub(r.data(), prod.data(), np, c.m.data(), nc);
      c.m.swap(r);
      c.neg = tneg;
    }
  }
  while (!c.m.empty() && c.m.back() == 0) c.m.pop_back();
  if (c.m.empty()) c.neg = false;
}

// The combination as a polynomial.
IntPoly as_poly(const std::vector<Coef>& h) {
  IntPoly r;
  for (const Coef& c : h) r.push(c.m.data(), static_cast<std::int32_t>(c.m.size()), c.neg);
  r.trim();
  return r;
}

}  // namespace

IntPoly intpoly_primitive_gcd(const IntPoly& a0, const IntPoly& b0) {
  const IntPoly& a = a0.degree() >= b0.degree() ? a0 : b0;
  const IntPoly& b = a0.degree() >= b0.degree() ? b0 : a0;
  ++intpoly_gcd_stats.runs;
  const std::int32_t da = a.degree(), db = b.degree();
  const Words la(a.mag(da), a.mag(da) + a.len(da)), lb(b.mag(db), b.mag(db) + b.len(db));
  const Words gamma = gcd_words(la, lb);
  std::vector<Coef> h;  // the combination, symmetric modulo M
  Words M{1};
  std::int32_t cand = db + 1;  // the degree of the images combined
  std::int32_t used = 0;
  bool fresh = true;
  for (std::int32_t k = 0;; ++k) {
    check_interrupt();
    auto p = static_cast<std::int32_t>(word_prime(static_cast<std::size_t>(k)));
    if (intpoly_prime_hook != nullptr) p = intpoly_prime_hook(used, p);
    ++used;
    const auto up = static_cast<std::uint32_t>(p);
    if (words_mod(la.data(), static_cast<std::int32_t>(la.size()), up) == 0 ||
        words_mod(lb.data(), static_cast<std::int32_t>(lb.size()), up) == 0)
      continue;
    DensePoly g = dense_gcd(intpoly_residues(a, p), intpoly_residues(b, p), p);
    ++intpoly_gcd_stats.images;
    const std::int32_t dg = dense_degree(g);
    if (dg == 0) {
      ++intpoly_gcd_stats.coprime;
      IntPoly one;
      const word w = 1;
      one.push(&w, 1, false);
      return one;
    }
    if (dg > cand) continue;  // an unlucky prime
    if (dg < cand) {          // every earlier prime was unlucky
      if (cand <= db) ++intpoly_gcd_stats.restarts;
      cand = dg;
      h.assign(static_cast<std::size_t>(dg) + 1, Coef{});
      M.assign(1, 1);
      fresh = true;
    }
    // The image scaled to leading coefficient gamma, combined into h.
    dense_scale(g, static_cast<std::int32_t>(words_mod(gamma.data(), static_cast<std::int32_t>(gamma.size()), up)), p);
    const std::uint32_t mp = words_mod(M.data(), static_cast<std::int32_t>(M.size()), up);
    const auto minv = static_cast<std::uint64_t>(inverse_modulo(mp, up));
    bool changed = false;
    for (std::int32_t i = 0; i <= dg; ++i) {
      Coef& c = h[static_cast<std::size_t>(i)];
      const std::uint64_t gi = static_cast<std::uint32_t>(g[static_cast<std::size_t>(i)]);
      const std::uint64_t hi = residue(c, up);
      const std::uint64_t t = ((gi + up - hi) % up) * minv % up;
      if (t == 0) continue;
      changed = true;
      add_multiple(c, M, t > up / 2 ? static_cast<std::int64_t>(t) - p : static_cast<std::int64_t>(t));
    }
    {
      const auto nm = static_cast<std::int32_t>(M.size());
      M.push_back(0);
      M[static_cast<std::size_t>(nm)] = detail::wmul_1(M.data(), M.data(), nm, up);
      while (M.size() > 1 && M.back() == 0) M.pop_back();
    }
    const bool was_fresh = fresh;
    fresh = false;
    if (changed || was_fresh) continue;
    // Stable: the primitive part of the combination, proved by division.
    IntPoly cnd = as_poly(h);
    const Words cont = intpoly_content(cnd);
    if (!is_one(cont)) cnd = intpoly_div_integer(cnd, cont);
    if (cnd.neg(cnd.degree())) cnd = intpoly_add(IntPoly{}, cnd, true);
    ++intpoly_gcd_stats.divisions;
    IntPoly q;
    if (intpoly_divexact(b, cnd, &q) && intpoly_divexact(a, cnd, &q)) return cnd;
  }
}

IntPoly intpoly_gcd(const IntPoly& a, const IntPoly& b) {
  const Words ca = intpoly_content(a), cb = intpoly_content(b);
  const Words c = gcd_words(ca, cb);
  if (a.is_constant() || b.is_constant()) return constant_poly(c);
  const IntPoly pa = is_one(ca) ? a : intpoly_div_integer(a, ca);
  const IntPoly pb = is_one(cb) ? b : intpoly_div_integer(b, cb);
  const IntPoly g = intpoly_primitive_gcd(pa, pb);
  return is_one(c) ? g : intpoly_mul_integer(g, c);
}

namespace {

// Limbs of the numbers of a one-variable list, stopping at `enough`.
std::int64_t limbs_in(poly p, std::int64_t enough) {
  std::int64_t n = 0;
  for (; p != nullptr && n < enough; p = p->next) {
    const poly leaf = p->numb ? p : p->pcoef;
    if (!leaf->numb) return 0;
    n += leaf->ncoef->size;
  }
  return n;
}

}  // namespace

bool integer_onevar_gcd(poly u, poly v, poly* r) {
  if (lintmode || flotemode || modularmode || field_depth > 0 || pseudo_polynames != nullptr ||
      lookupgcd > 0)
    return false;
  if (u->numb || v->numb) return false;
  const std::int64_t want = integer_gcd_limbs;
  const std::int64_t have = limbs_in(u, want);
  if (have + limbs_in(v, want - have) < want) return false;
  IntPoly a, b;
  if (!intpoly_of(u, &a) || !intpoly_of(v, &b) || a.is_zero() || b.is_zero()) return false;
  poly g = intpoly_to_poly(intpoly_gcd(a, b));
  free_poly(r);
  *r = g;
  return true;
}

}  // namespace tavrin
