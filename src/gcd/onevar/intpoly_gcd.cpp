// The modular GCD of one-variable polynomials over the integers.
#include "gcd/intpoly_gcd.h"

#include <algorithm>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/primes.h"
#include "numbers/word_array.h"
#include "numbers/word_mod.h"
#include "dense/dense_modular.h"
#include "gcd/gcd_globals.h"

namespace tavrin {

intpoly_gcd_counts intpoly_gcd_stats{};

WordResidues::WordResidues(std::uint32_t p)
    : p_(p),
      b64_(static_cast<std::uint64_t>((static_cast<unsigned __int128>(1) << 64) % p)),
      pw_{1} {}

// The products summed in 128 bits (each below 2^95, so 2^33 words fit)
// without a remainder carried from word to word: the words are read at the
// multiplier's throughput rather than along a chain of reductions.
std::uint32_t WordResidues::of(const IntPoly::word* x, std::int32_t n) {
  while (static_cast<std::int32_t>(pw_.size()) < n) pw_.push_back(pw_.back() * b64_ % p_);
  unsigned __int128 acc = 0;
  for (std::int32_t j = 0; j < n; ++j)
    acc += static_cast<unsigned __int128>(x[j]) * pw_[static_cast<std::size_t>(j)];
  const std::uint64_t hi = static_cast<std::uint64_t>(acc >> 64) % p_,
                      lo = static_cast<std::uint64_t>(acc) % p_;
  return static_cast<std::uint32_t>((hi * b64_ + lo) % p_);
}

std::vector<std::int32_t> WordResidues::of(const IntPoly& a) {
  std::vector<std::int32_t> r(static_cast<std::size_t>(a.degree() + 1), 0);
  for (std::int32_t i = 0; i <= a.degree(); ++i) {
    const std::uint32_t v = of(a.mag(i), a.len(i));
    r[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(a.neg(i) && v != 0 ? p_ - v : v);
  }
  while (!r.empty() && r.back() == 0) r.pop_back();
  return r;
}
std::int32_t (*intpoly_prime_hook)(std::int32_t k, std::int32_t p) = nullptr;

namespace {

using word = IntPoly::word;
using Words = std::vector<word>;

Words gcd_words(const Words& a, const Words& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  const auto na = static_cast<std::int32_t>(a.size()), nb = static_cast<std::int32_t>(b.size());
  const std::int32_t room = std::max(na, nb);
  Words x(static_cast<std::size_t>(room), 0), y(static_cast<std::size_t>(room), 0),
      g(static_cast<std::size_t>(room), 0);
  std::copy(a.begin(), a.end(), x.begin());
  std::copy(b.begin(), b.end(), y.begin());
  const std::int32_t n = kit::wgcd(g.data(), x.data(), na, y.data(), nb);
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
std::uint32_t residue(const Coef& c, std::uint32_t p, WordResidues& res) {
  const std::uint32_t v = res.of(c.m.data(), static_cast<std::int32_t>(c.m.size()));
  return c.neg && v != 0 ? p - v : v;
}

// c += t * M for a word t of either sign (|t| < 2^31).
void add_multiple(Coef& c, const Words& M, std::int64_t t) {
  if (t == 0) return;
  const bool tneg = t < 0;
  const auto tm = static_cast<word>(tneg ? -t : t);
  const auto nm = static_cast<std::int32_t>(M.size());
  Words prod(static_cast<std::size_t>(nm) + 1);
  prod[static_cast<std::size_t>(nm)] = kit::wmul_1(prod.data(), M.data(), nm, tm);
  const std::int32_t np = kit::wnormalised(prod.data(), nm + 1);
  const auto nc = static_cast<std::int32_t>(c.m.size());
  if (nc == 0 || c.neg == tneg) {
    const std::int32_t top = std::max(nc, np);
    Words r(static_cast<std::size_t>(top) + 1, 0);
    if (nc >= np) {
      r[static_cast<std::size_t>(top)] = kit::wadd(r.data(), c.m.data(), nc, prod.data(), np);
    } else {
      r[static_cast<std::size_t>(top)] =
          nc == 0 ? 0 : kit::wadd(r.data(), prod.data(), np, c.m.data(), nc);
      if (nc == 0) std::copy(prod.begin(), prod.begin() + np, r.begin());
    }
    c.m.swap(r);
    c.neg = tneg;
  } else {
    int cmp = nc != np ? (nc < np ? -1 : 1) : kit::wcmp(c.m.data(), prod.data(), nc);
    if (cmp == 0) {
      c.m.clear();
      c.neg = false;
      return;
    }
    if (cmp > 0) {
      kit::wsub(c.m.data(), c.m.data(), nc, prod.data(), np);
    } else {
      Words r(static_cast<std::size_t>(np));
      kit::wsub(r.data(), prod.data(), np, c.m.data(), nc);
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
  bool tried_b = false;
  for (std::int32_t k = 0;; ++k) {
    check_interrupt();
    auto p = static_cast<std::int32_t>(word_prime(static_cast<std::size_t>(k)));
    if (intpoly_prime_hook != nullptr) p = intpoly_prime_hook(used, p);
    ++used;
    const auto up = static_cast<std::uint32_t>(p);
    WordResidues res(up);
    if (res.of(la.data(), static_cast<std::int32_t>(la.size())) == 0 ||
        res.of(lb.data(), static_cast<std::int32_t>(lb.size())) == 0)
      continue;
    DensePoly g = dense_gcd(res.of(a), res.of(b), p);
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
    // An image of b's whole degree: b (primitive) may divide a, and then it
    // is the GCD; one exact division settles that.
    if (dg == db && !tried_b) {
      tried_b = true;
      ++intpoly_gcd_stats.divisions;
      IntPoly q;
      if (intpoly_divexact(a, b, &q)) return b.neg(db) ? intpoly_add(IntPoly{}, b, true) : b;
    }
    if (dg < cand) {  // every earlier prime was unlucky
      if (cand <= db) ++intpoly_gcd_stats.restarts;
      cand = dg;
      h.assign(static_cast<std::size_t>(dg) + 1, Coef{});
      M.assign(1, 1);
      fresh = true;
    }
    // The image scaled to leading coefficient gamma, combined into h.
    dense_scale(g,
                static_cast<std::int32_t>(
                    words_mod(gamma.data(), static_cast<std::int32_t>(gamma.size()), up)),
                p);
    const std::uint32_t mp = words_mod(M.data(), static_cast<std::int32_t>(M.size()), up);
    const auto minv = static_cast<std::uint64_t>(inverse_modulo(mp, up));
    bool changed = false;
    for (std::int32_t i = 0; i <= dg; ++i) {
      Coef& c = h[static_cast<std::size_t>(i)];
      const std::uint64_t gi = static_cast<std::uint32_t>(g[static_cast<std::size_t>(i)]);
      const std::uint64_t hi = residue(c, up, res);
      const std::uint64_t t = ((gi + up - hi) % up) * minv % up;
      if (t == 0) continue;
      changed = true;
      add_multiple(c, M,
                   t > up / 2 ? static_cast<std::int64_t>(t) - p : static_cast<std::int64_t>(t));
    }
    {
      const auto nm = static_cast<std::int32_t>(M.size());
      M.push_back(0);
      M[static_cast<std::size_t>(nm)] = kit::wmul_1(M.data(), M.data(), nm, up);
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

namespace {

// The GCD of the magnitudes of all coefficients of a and b (a and b not
// both zero), from the shortest coefficient on, stopping at 1: for a pair
// with no common content one full-length GCD rather than one per operand.
Words joint_content(const IntPoly& a, const IntPoly& b) {
  const IntPoly* first = nullptr;
  std::int32_t at = -1;
  for (const IntPoly* x : {&a, &b})
    for (std::int32_t i = 0; i <= x->degree(); ++i)
      if (x->len(i) > 0 && (first == nullptr || x->len(i) < first->len(at))) {
        first = x;
        at = i;
      }
  Words g(first->mag(at), first->mag(at) + first->len(at));
  for (const IntPoly* x : {&a, &b})
    for (std::int32_t i = x->degree(); i >= 0 && !is_one(g); --i)
      if (x->len(i) > 0 && !(x == first && i == at))
        g = gcd_words(g, Words(x->mag(i), x->mag(i) + x->len(i)));
  return g;
}

// The primitive parts of a and b (deg a, deg b >= 1) are coprime: their
// images modulo the first prime not dividing either leading coefficient
// have a constant GCD. False when no such prime comes among the first few
// or the image GCD has positive degree (then nothing is settled).
bool coprime_image(const IntPoly& a, const IntPoly& b) {
  for (std::int32_t k = 0; k < 4; ++k) {
    const std::int32_t p = word_prime(k);
    WordResidues res(static_cast<std::uint32_t>(p));
    if (res.of(a.mag(a.degree()), a.len(a.degree())) == 0 ||
        res.of(b.mag(b.degree()), b.len(b.degree())) == 0)
      continue;
    ++intpoly_gcd_stats.images;
    if (dense_degree(dense_gcd(res.of(a), res.of(b), p)) > 0) return false;
    ++intpoly_gcd_stats.coprime;
    return true;
  }
  return false;
}

}  // namespace

IntPoly intpoly_gcd(const IntPoly& a, const IntPoly& b) {
  // Coprime primitive parts (as a rule for unrelated operands): the GCD is
  // the common content, found without the content of each operand.
  if (!a.is_constant() && !b.is_constant() && coprime_image(a, b))
    return constant_poly(joint_content(a, b));
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
  return integer_onevar_gcd(u, v, r, Ring::current());
}

bool integer_onevar_gcd(poly u, poly v, poly* r, const Ring& ring) {
  if (!ring.rational() || ring.field_depth > 0 || pseudo_polynames != nullptr || lookupgcd > 0)
    return false;
  if (u->numb || v->numb) return false;
  if (word_onevar_gcd(u, v, r)) return true;
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
