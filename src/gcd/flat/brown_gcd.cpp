// Brown's dense modular GCD on flat polynomials over a finite field, with
// or without cofactors, and the dense univariate arithmetic under it.
// Source: W. S. Brown, "On Euclid's algorithm and the computation of
// polynomial greatest common divisors", JACM 18 (1971); the cofactors end
// the interpolation as soon as their degrees prove the result. The
// cofactors need about twice the points H does: once H stops changing,
// the further points take H's value for G's image and divide by it
// instead of running Euclid.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat/flat_rec_impl.h"
#include "gcd/flat_gcd.h"

namespace tavrin::flat {

// ---- Dense univariate polynomials ---------------------------------------------------------------

template <class F>
void Dense<F>::rem(const F& f, vec& a, const vec& b) {
  // a := a - (c / lc(b)) x^s b until deg a < deg b: one inverse, then one
  // product a coefficient
  const std::size_t nb = b.size();
  if (a.size() < nb) return;
  const elem il = f.inv(b.back());
  for (std::size_t top = a.size(); top >= nb; --top) {
    const elem c = a[top - 1];
    if (c == 0) continue;
    const elem nq = f.neg(f.mul(c, il));
    const std::size_t off = top - nb;
    for (std::size_t j = 0; j + 1 < nb; ++j) a[off + j] = f.mul_add(nq, b[j], a[off + j]);
    a[top - 1] = 0;
  }
  a.resize(nb - 1);
  trim(a);
}

template <class F>
bool Dense<F>::div_exact(const F& f, const vec& a, const vec& b, vec* q) {
  q->clear();
  if (a.empty()) return true;
  if (a.size() < b.size()) return false;
  vec r = a;
  const std::size_t nb = b.size();
  q->assign(a.size() - nb + 1, 0);
  const elem lb = f.inv(b.back());
  for (std::size_t top = r.size(); top >= nb; --top) {
    const elem c = r[top - 1];
    if (c == 0) continue;
    const elem qc = f.mul(c, lb);
    (*q)[top - nb] = qc;
    const elem nq = f.neg(qc);
    const std::size_t off = top - nb;
    for (std::size_t j = 0; j + 1 < nb; ++j) r[off + j] = f.mul_add(nq, b[j], r[off + j]);
  }
  for (std::size_t j = 0; j + 1 < nb; ++j)
    if (r[j] != 0) return false;
  trim(*q);
  return true;
}

template <class F>
typename Dense<F>::vec Dense<F>::mul(const F& f, const vec& a, const vec& b) {
  if (a.empty() || b.empty()) return {};
  vec r(a.size() + b.size() - 1, 0);
  if constexpr (std::is_same_v<F, PrimeField>) {
    // each coefficient one dot product, reduced once
    const int limbs = dot_limbs(std::min(a.size(), b.size()), f);
    for (std::size_t k = 0; k < r.size(); ++k) {
      const std::size_t lo = k + 1 > b.size() ? k + 1 - b.size() : 0,
                        hi = std::min(k, a.size() - 1);
      const elem* pa = a.data() + lo;
      const elem* pb = b.data() + (k - lo);
      r[k] = word_dot(f, hi - lo + 1, limbs, [pa, pb](std::size_t i) {
        return std::uint64_t{pa[i]} * pb[-static_cast<std::ptrdiff_t>(i)];
      });
    }
    return r;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == 0) continue;
    for (std::size_t j = 0; j < b.size(); ++j) r[i + j] = f.mul_add(a[i], b[j], r[i + j]);
  }
  return r;
}

template <class F>
typename Dense<F>::vec Dense<F>::gcd(const F& f, vec a, vec b) {
  trim(a);
  trim(b);
  if (a.size() < b.size()) std::swap(a, b);
  while (!b.empty()) {
    rem(f, a, b);
    std::swap(a, b);
  }
  make_monic(f, a);
  return a;
}

template <class F>
bool Points<F>::next(elem* x) {
  const std::uint64_t q = f_.size();
  if (used_.size() >= q) return false;
  for (int tries = 0; tries < 64; ++tries) {
    const elem c = f_.element(rng_.next() % q);
    if (std::find(used_.begin(), used_.end(), c) == used_.end()) {
      used_.push_back(c);
      *x = c;
      return true;
    }
  }
  for (std::uint64_t i = 0; i < q; ++i) {
    const elem c = f_.element(i);
    if (std::find(used_.begin(), used_.end(), c) == used_.end()) {
      used_.push_back(c);
      *x = c;
      return true;
    }
  }
  return false;
}

namespace {

template <class F>
MPoly constant_poly(elem c) {
  MPoly a;
  a.push(0, c);
  return a;
}

// A polynomial in variable 0 alone as a dense vector, and back.
std::vector<elem> dense0(const Layout& lay, const MPoly& a) {
  std::vector<elem> v(static_cast<std::size_t>(lay.exponent(a.key[0], 0)) + 1, 0);
  for (std::size_t i = 0; i < a.size(); ++i)
    v[static_cast<std::size_t>(lay.exponent(a.key[i], 0))] = a.coef[i];
  return v;
}

// The same, the zero polynomial empty.
std::vector<elem> dense0_or_empty(const Layout& lay, const MPoly& a) {
  return a.empty() ? std::vector<elem>{} : dense0(lay, a);
}

void sparse0(const Layout& lay, const std::vector<elem>& v, MPoly* a) {
  a->clear();
  for (std::size_t e = v.size(); e-- > 0;)
    if (v[e] != 0) a->push(static_cast<std::uint64_t>(e) * lay.unit(0), v[e]);
}

// The GCD in variable 0 alone, with the cofactors when Abar is not nil.
template <class F>
void univariate(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, MPoly* G,
                MPoly* Abar, MPoly* Bbar) {
  const std::vector<elem> a = dense0(lay, A), b = dense0(lay, B);
  const std::vector<elem> g = Dense<F>::gcd(f, a, b);
  sparse0(lay, g, G);
  if (Abar == nullptr) return;
  std::vector<elem> q;
  Dense<F>::div_exact(f, a, g, &q);
  sparse0(lay, q, Abar);
  Dense<F>::div_exact(f, b, g, &q);
  sparse0(lay, q, Bbar);
}

// The total degree of r's terms (prefix and power of v).
std::int64_t total_degree(const Layout& lay, const Rec& r, int v) {
  std::int64_t d = 0;
  for (std::size_t i = 0; i < r.count(); ++i) {
    std::int64_t e = static_cast<std::int64_t>(r.len(i)) - 1;
    for (int l = 0; l < v; ++l) e += lay.exponent(r.prefix[i], l);
    d = std::max(d, e);
  }
  return d;
}

// *Q := C / D in the variables 0 .. k - 1 when D divides C, by values:
// the last variable evaluated at points that keep D's leading coefficient,
// the images' quotients interpolated. False when D does not divide C (or
// the points run out). C - D Q vanishes at every point taken, more points
// than its degree in that variable: the quotient is proven. With a lattice
// bound s >= 0 (the caller knows C - D Q has total degree at most s when
// the quotient is right), s + 1 points whose images are proven to the
// bounds s, s - 1, ... prove it too, once Q's degree stays below the
// points less one (see brown_gcd).
template <class F>
bool quotient_by_points(const F& f, const Layout& lay, const MPoly& C, const MPoly& D, int k,
                        Rng& rng, MPoly* Q, std::int64_t s) {
  Q->clear();
  if (C.empty()) return true;
  if (k == 1) {
    std::vector<elem> q;
    if (!Dense<F>::div_exact(f, dense0(lay, C), dense0(lay, D), &q)) return false;
    sparse0(lay, q, Q);
    return true;
  }
  const int v = k - 1;
  const Rec rc = split(lay, C, v), rd = split(lay, D, v);
  const std::size_t dc = rc.degree(), dd = rd.degree();
  const std::vector<elem> lcd = rd.poly(0);
  Rec q;
  std::vector<elem> m{1};
  Points<F> points(f, rng);
  MPoly qx;
  for (std::size_t n = 0; n <= dc;) {  // an exact quotient is proven by dc + 1 points
    elem x = 0;
    if (!points.next(&x)) return false;
    if (Dense<F>::eval(f, lcd, x) == 0) continue;
    const std::int64_t sub =
        s < 0 ? -1 : std::max<std::int64_t>(s - static_cast<std::int64_t>(n), 0);
    if (!quotient_by_points(f, lay, eval_at(f, rc, x), eval_at(f, rd, x), k - 1, rng, &qx, sub))
      return false;
    newton(f, q, qx, 1, m, x, f.inv(Dense<F>::eval(f, m, x)));
    m = Dense<F>::mul(f, m, std::vector<elem>{f.neg(x), 1});
    ++n;
    const bool box = n > dc && n > dd + q.degree();
    const bool lattice = s >= 0 && static_cast<std::int64_t>(n) > s && n > q.degree() + 1;
    if (box || lattice) {
      *Q = expand(lay, q, v);
      return true;
    }
  }
  return false;
}

// The cofactors at a point x where H (interpolated so far, gamma(x) = gx)
// is taken to be complete: G's image is H(x) / gx, and Abar's and Bbar's
// images are the exact quotients of A's and B's (ax, bx) by it, without
// Euclid's steps. False when H(x) does not lead with lm or does not divide
// both: the point then needs its image.
template <class F>
bool cofactors_by_division(const F& f, const Layout& lay, const Rec& h, elem x, elem gx,
                           std::uint64_t lm, const MPoly& ax, const MPoly& bx, int k, Rng& rng,
                           MPoly* aa, MPoly* ba, std::int64_t s) {
  MPoly g = eval_at(f, h, x);
  if (g.empty() || g.key[0] != lm) return false;
  const elem ig = f.inv(gx);
  for (elem& c : g.coef) c = f.mul(c, ig);
  return quotient_by_points(f, lay, ax, g, k, rng, aa, s) &&
         quotient_by_points(f, lay, bx, g, k, rng, ba, s);
}

// The end of brown_gcd: G = c pp(H), and with cofactors Abar = cont(H)
// Abar / gamma (the contents' cofactors ca_c, cb_c put back); false when a
// division is not exact.
template <class F>
bool brown_results(const F& f, const Layout& lay, int v, Rec& h, Rec& ha, Rec& hb,
                   const std::vector<elem>& c, const std::vector<elem>& gamma,
                   const std::vector<elem>& ca_c, const std::vector<elem>& cb_c, MPoly* G,
                   MPoly* Abar, MPoly* Bbar) {
  const bool cof = Abar != nullptr;
  const std::vector<elem> one{1};
  const std::vector<elem> ch = content(f, h);
  if (!mul_div(f, h, one, ch)) return false;
  if (cof && (!mul_div(f, ha, ch, gamma) || !mul_div(f, hb, ch, gamma))) return false;
  mul_div(f, h, c, one);
  const elem lc = h.at(0)[h.len(0) - 1];
  scale(f, h, f.inv(lc));
  *G = expand(lay, h, v);
  if (cof) {
    mul_div(f, ha, ca_c, one);
    mul_div(f, hb, cb_c, one);
    scale(f, ha, lc);
    scale(f, hb, lc);
    *Abar = expand(lay, ha, v);
    *Bbar = expand(lay, hb, v);
  }
  return true;
}

}  // namespace

template <class F>
bool lattice_identity(const F& f, const Layout& lay, elem c, const MPoly& A, const MPoly& H,
                      const MPoly& Abar, const MPoly& B, const MPoly& Bbar, int k, Rng& rng,
                      std::int64_t s) {
  if (k == 1) {
    const std::vector<elem> h = dense0_or_empty(lay, H);
    for (const auto& [a, bar] : {std::pair{&A, &Abar}, std::pair{&B, &Bbar}}) {
      std::vector<elem> ca = dense0_or_empty(lay, *a);
      Dense<F>::scale(f, ca, c);
      Dense<F>::trim(ca);
      if (Dense<F>::mul(f, h, dense0_or_empty(lay, *bar)) != ca) return false;
    }
    return true;
  }
  const int v = k - 1;
  const Rec ra = split(lay, A, v), rh = split(lay, H, v), rabar = split(lay, Abar, v),
            rb = split(lay, B, v), rbbar = split(lay, Bbar, v);
  Points<F> points(f, rng);
  for (std::int64_t j = 0; j <= s; ++j) {
    elem x = 0;
    if (!points.next(&x)) return false;
    if (!lattice_identity(f, lay, c, eval_at(f, ra, x), eval_at(f, rh, x), eval_at(f, rabar, x),
                          eval_at(f, rb, x), eval_at(f, rbbar, x), k - 1, rng, s - j))
      return false;
  }
  return true;
}

// The lattice bound S of P = gamma A - H Abar (and of gamma B - H Bbar, A
// and B primitive in v, split as ra and rb, gamma of degree dg, their
// contents' GCD of degree dc): at the top the total degree of gamma A and
// gamma B, checked against H Abar's at the end; below, the caller's bound
// s on A - G Abar (-1: none), G and Abar the results, and
// gamma (A - G Abar) = c_a P.
std::int64_t lattice_bound(const Layout& lay, const Rec& ra, const Rec& rb, int v, std::size_t dg,
                           std::size_t dc, std::int64_t lattice) {
  const auto ig = static_cast<std::int64_t>(dg);
  if (lattice == top_lattice)
    return ig + std::max(total_degree(lay, ra, v), total_degree(lay, rb, v));
  return lattice < 0 ? -1 : std::max<std::int64_t>(lattice + ig - static_cast<std::int64_t>(dc), 0);
}

template <class F>
engine_status brown_gcd(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, int k,
                        Rng& rng, MPoly* G, MPoly* Abar, MPoly* Bbar,
                        const std::vector<std::int32_t>* bounds, std::int64_t lattice) {
  const bool cof = Abar != nullptr;
  if (k == 1) {
    univariate(f, lay, A, B, G, Abar, Bbar);
    return engine_status::done;
  }
  const int v = k - 1;
  Rec ra = split(lay, A, v), rb = split(lay, B, v);
  const std::vector<elem> ca = content(f, ra), cb = content(f, rb);
  const std::vector<elem> one{1};
  mul_div(f, ra, one, ca);
  mul_div(f, rb, one, cb);
  const std::vector<elem> c = Dense<F>::gcd(f, ca, cb);
  std::vector<elem> ca_c, cb_c;  // the contents' cofactors
  Dense<F>::div_exact(f, ca, c, &ca_c);
  Dense<F>::div_exact(f, cb, c, &cb_c);
  const std::vector<elem> lca = ra.poly(0), lcb = rb.poly(0);
  const std::vector<elem> gamma = Dense<F>::gcd(f, lca, lcb);
  const std::size_t dg = gamma.size() - 1, da = ra.degree(), db = rb.degree();
  const bool top = lattice == top_lattice;
  const std::int64_t S =
      cof && flat_lattice_proof
          ? lattice_bound(lay, ra, rb, v, dg, std::min(ca.size(), cb.size()) - 1, lattice)
          : -1;

  Rec h, ha, hb;
  std::uint64_t lm = 0;
  std::vector<elem> m{1};
  std::size_t n = 0;
  int sames = 0;            // points in a row that left H as it was
  int bar_sames = 0;        // points in a row that left Abar and Bbar as they were
  std::size_t checked = 0;  // points after the n-th that passed lattice_identity
  // The points prove gamma A = H Abar and gamma B = H Bbar by the degrees
  // in v (the box), or by the lattice: a P of total degree at most S that
  // vanishes at x_0 as a polynomial of total degree S, at x_1 as one of S - 1
  // (P / (v - x_0) there), ... at x_S is 0. Either way H, Abar and Bbar must
  // be complete: their degrees in v below the points less one.
  const auto proven = [&](std::size_t n) {
    const std::size_t dh = h.degree();
    if (n > dg + da && n > dg + db && n > dh + ha.degree() && n > dh + hb.degree()) return true;
    return S >= 0 && static_cast<std::int64_t>(n) > S && n > dh + 1 && n > ha.degree() + 1 &&
           n > hb.degree() + 1;
  };
  Points<F> points(f, rng);
  MPoly ga, aa, ba;
  for (;;) {
    if (k == lay.nvars) check_interrupt();
    elem x = 0;
    if (!points.next(&x)) return engine_status::out_of_points;
    if (Dense<F>::eval(f, lca, x) == 0 || Dense<F>::eval(f, lcb, x) == 0) continue;
    const MPoly ax = eval_at(f, ra, x), bx = eval_at(f, rb, x);
    const elem gx = Dense<F>::eval(f, gamma, x);
    // once a point left H as it was, the later ones try H's value for G's image
    // the images at the n-th point are proven to the bound S - n
    const std::int64_t sub =
        S < 0 ? -1 : std::max<std::int64_t>(S - static_cast<std::int64_t>(n), 0);
    // once no interpolant changed, the later points of the lattice only check it
    if (cof && S >= 0 && flat_lattice_check && sames > 0 && bar_sames > 0) {
      if (lattice_identity(f, lay, gx, ax, eval_at(f, h, x), eval_at(f, ha, x), bx,
                           eval_at(f, hb, x), k - 1, rng,
                           S - static_cast<std::int64_t>(n + checked))) {
        ++gcd_tally().lattice_points;
        if (static_cast<std::int64_t>(n + ++checked) > S) break;
        continue;
      }
      checked = 0;  // an interpolant is incomplete: the point gives an image
    }
    if (cof && sames > 0 &&
        cofactors_by_division(f, lay, h, x, gx, lm, ax, bx, k - 1, rng, &aa, &ba, sub)) {
      ++gcd_tally().cofactor_points;
      const elem im = f.inv(Dense<F>::eval(f, m, x));
      ++sames;
      const bool same_a = newton(f, ha, aa, 1, m, x, im);
      bar_sames = newton(f, hb, ba, 1, m, x, im) && same_a ? bar_sames + 1 : 0;
      m = Dense<F>::mul(f, m, std::vector<elem>{f.neg(x), 1});
      ++n;
      if (proven(n)) break;
      // a complete H proves itself by dg + max(da, db) + 1 points (deg H + deg Abar = dg + da)
      if (n > dg + std::max(da, db) + 1) return engine_status::failed;
      continue;
    }
    const engine_status st = brown_gcd(f, lay, ax, bx, k - 1, rng, &ga, cof ? &aa : nullptr,
                                       cof ? &ba : nullptr, bounds, sub);
    if (st != engine_status::done) return st;
    if (ga.size() == 1 && ga.key[0] == 0) {
      // A coprime image at a point that keeps both leading terms: the
      // primitive parts are coprime, and the GCD is c.
      Rec rc;
      rc.add(0, c);
      *G = expand(lay, rc, v);
      if (cof) {
        mul_div(f, ra, ca_c, one);
        mul_div(f, rb, cb_c, one);
        *Abar = expand(lay, ra, v);
        *Bbar = expand(lay, rb, v);
      }
      return engine_status::done;
    }
    if (n > 0 && ga.key[0] > lm) continue;  // an unlucky point
    if (n == 0 || ga.key[0] < lm) {         // all the earlier points were unlucky
      // this image was proven to the bound of point n only, not of point 0
      const bool weaker = n > 0 && S > 0;
      h = Rec();
      ha = Rec();
      hb = Rec();
      m.assign(1, 1);
      n = 0;
      sames = 0;
      bar_sames = 0;
      lm = ga.key[0];
      if (weaker) continue;
    }
    const elem im = f.inv(Dense<F>::eval(f, m, x));
    sames = newton(f, h, ga, gx, m, x, im) ? sames + 1 : 0;
    if (cof) {
      const bool same_a = newton(f, ha, aa, 1, m, x, im);
      bar_sames = newton(f, hb, ba, 1, m, x, im) && same_a ? bar_sames + 1 : 0;
    }
    m = Dense<F>::mul(f, m, std::vector<elem>{f.neg(x), 1});
    ++n;
    if (cof) {
      if (proven(n)) break;
    } else if (sames >= 2 || n > dg + std::min(da, db) ||
               (bounds != nullptr &&
                n > dg + static_cast<std::size_t>((*bounds)[static_cast<std::size_t>(v)]))) {
      // H stopped changing at two points in a row (one would not do: an H
      // that depends on v only through v^k agrees at points whose ratio is
      // a k-th root of unity), or has as many points as its degree allows
      // (deg_v H <= deg gamma + deg_v of the GCD)
      break;
    }
  }
  // the top's lattice needs H Abar and H Bbar within S
  if (top && S >= 0) {
    const std::int64_t th = total_degree(lay, h, v);
    if (th + total_degree(lay, ha, v) > S || th + total_degree(lay, hb, v) > S)
      return engine_status::failed;
  }
  if (!brown_results(f, lay, v, h, ha, hb, c, gamma, ca_c, cb_c, G, cof ? Abar : nullptr, Bbar))
    return engine_status::failed;
  return engine_status::done;
}

#define TAVRIN_FLAT_FIELD(F)                                                                    \
  template struct Dense<F>;                                                                     \
  template class Points<F>;                                                                     \
  template engine_status brown_gcd<F>(const F&, const Layout&, const MPoly&, const MPoly&, int, \
                                      Rng&, MPoly*, MPoly*, MPoly*,                             \
                                      const std::vector<std::int32_t>*, std::int64_t);          \
  template bool lattice_identity<F>(const F&, const Layout&, elem, const MPoly&, const MPoly&,  \
                                    const MPoly&, const MPoly&, const MPoly&, int, Rng&,        \
                                    std::int64_t);
TAVRIN_FLAT_FIELD(PrimeField)
TAVRIN_FLAT_FIELD(LogField)
#undef TAVRIN_FLAT_FIELD

}  // namespace tavrin::flat
