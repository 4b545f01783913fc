// Flat polynomials seen as polynomials in the variables 0 .. v - 1 with
// coefficients in F[v] (v one variable of the layout): the form in which
// the engines evaluate and interpolate v. Private to src/gcd/flat.
//
// Representation (Rec): the prefixes (keys with v's field 0) strictly
// decreasing, each with a dense coefficient vector in v (lowest power
// first, no trailing zero); the variables after v are 0 in every key.
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "gcd/flat/flat_gcd_impl.h"

namespace tavrin::flat {

// A polynomial in the variables 0 .. v - 1 with coefficients in F[v]: the
// prefixes (keys with v's field 0) decreasing, each with a dense
// coefficient vector (lowest power of v first, no trailing zero).
struct Rec {
  std::vector<std::uint64_t> prefix;
  std::vector<std::uint32_t> start{0};
  std::vector<elem> c;
  std::size_t count() const { return prefix.size(); }
  const elem* at(std::size_t i) const { return c.data() + start[i]; }
  std::size_t len(std::size_t i) const { return start[i + 1] - start[i]; }
  std::vector<elem> poly(std::size_t i) const { return {at(i), at(i) + len(i)}; }
  void add(std::uint64_t p, const elem* v, std::size_t n) {
    prefix.push_back(p);
    c.insert(c.end(), v, v + n);
    start.push_back(static_cast<std::uint32_t>(c.size()));
  }
  void add(std::uint64_t p, const std::vector<elem>& v) { add(p, v.data(), v.size()); }
  std::size_t degree() const {
    std::size_t d = 0;
    for (std::size_t i = 0; i < count(); ++i) d = std::max(d, len(i) - 1);
    return d;
  }
};

inline Rec split(const Layout& lay, const MPoly& a, int v) {
  Rec r;
  std::vector<elem> cur;
  std::size_t i = 0;
  while (i < a.size()) {
    const std::uint64_t p = lay.without(a.key[i], v);
    cur.assign(static_cast<std::size_t>(lay.exponent(a.key[i], v)) + 1, 0);
    for (; i < a.size() && lay.without(a.key[i], v) == p; ++i)
      cur[static_cast<std::size_t>(lay.exponent(a.key[i], v))] = a.coef[i];
    r.add(p, cur);
  }
  return r;
}

inline MPoly expand(const Layout& lay, const Rec& r, int v) {
  MPoly a;
  for (std::size_t i = 0; i < r.count(); ++i) {
    const elem* c = r.at(i);
    for (std::size_t e = r.len(i); e-- > 0;)
      if (c[e] != 0) a.push(r.prefix[i] + e * lay.unit(v), c[e]);
  }
  return a;
}

template <class F>
std::vector<elem> content(const F& f, const Rec& r) {
  std::vector<elem> g = r.poly(0);
  Dense<F>::make_monic(f, g);
  for (std::size_t i = 1; i < r.count() && g.size() > 1; ++i) g = Dense<F>::gcd(f, g, r.poly(i));
  return g;
}

// Every coefficient times m and divided by d (exactly; false when not).
template <class F>
bool mul_div(const F& f, Rec& r, const std::vector<elem>& m, const std::vector<elem>& d) {
  const bool plain_m = m.size() == 1 && m[0] == 1;
  const bool plain_d = d.size() == 1 && d[0] == 1;
  if (plain_m && plain_d) return true;
  Rec out;
  std::vector<elem> t, q;
  for (std::size_t i = 0; i < r.count(); ++i) {
    t = plain_m ? r.poly(i) : Dense<F>::mul(f, r.poly(i), m);
    if (!plain_d) {
      if (!Dense<F>::div_exact(f, t, d, &q)) return false;
      std::swap(t, q);
    }
    out.add(r.prefix[i], t);
  }
  r = std::move(out);
  return true;
}

template <class F>
void scale(const F& f, Rec& r, elem s) {
  if (s == 1) return;
  for (elem& x : r.c) x = f.mul(x, s);
}

// The values at one point x of coefficient vectors of at most n entries:
// modulo a word prime as dot products with the powers of x (one reduction
// each, the products independent), otherwise by Horner's rule.
template <class F>
class PointValues {
 public:
  PointValues(const F& f, elem x, std::size_t n) : f_(f), x_(x) {
    if constexpr (std::is_same_v<F, PrimeField>) {
      pw_.resize(n);
      elem p = 1;
      for (std::size_t e = 0; e < n; ++e, p = f.mul(p, x)) pw_[e] = p;
      limbs_ = dot_limbs(n, f);
    }
  }
  elem operator()(const elem* a, std::size_t n) const {
    if constexpr (std::is_same_v<F, PrimeField>) {
      if (n > 1) return word_dot(f_, a, pw_.data(), n, limbs_);
    }
    return Dense<F>::eval(f_, a, n, x_);
  }

 private:
  const F& f_;
  elem x_;
  std::vector<elem> pw_;
  int limbs_ = 2;
};

template <class F>
MPoly eval_at(const F& f, const Rec& r, elem x) {
  MPoly a;
  const PointValues<F> value(f, x, r.degree() + 1);
  for (std::size_t i = 0; i < r.count(); ++i) {
    const elem val = value(r.at(i), r.len(i));
    if (val != 0) a.push(r.prefix[i], val);
  }
  return a;
}

// h := h + (s img - h(x)) m / m(x), coefficient by coefficient (Newton's
// step; m the product of (v - earlier points), im = 1 / m(x)). True when
// nothing changed (h(x) was s img already).
template <class F>
bool newton(const F& f, Rec& h, const MPoly& img, elem s, const std::vector<elem>& m, elem x,
            elem im) {
  Rec out;
  out.prefix.reserve(std::max(h.count(), img.size()));
  out.start.reserve(out.prefix.capacity() + 1);
  out.c.reserve(out.prefix.capacity() * m.size());
  bool same = true;
  const PointValues<F> value(f, x, std::max(h.degree() + 1, m.size()));
  std::size_t i = 0, j = 0;
  while (i < h.count() || j < img.size()) {
    std::uint64_t p;
    const std::size_t base = out.c.size();
    if (j == img.size() || (i < h.count() && h.prefix[i] > img.key[j])) {
      p = h.prefix[i];
      out.c.insert(out.c.end(), h.at(i), h.at(i) + h.len(i));
      ++i;
    } else if (i == h.count() || img.key[j] > h.prefix[i]) {
      p = img.key[j];
    } else {
      p = h.prefix[i];
      out.c.insert(out.c.end(), h.at(i), h.at(i) + h.len(i));
      ++i;
    }
    const elem val = (j < img.size() && img.key[j] == p) ? f.mul(s, img.coef[j++]) : 0;
    const elem d = f.mul(f.sub(val, value(out.c.data() + base, out.c.size() - base)), im);
    if (d != 0) {
      same = false;
      if (out.c.size() - base < m.size()) out.c.resize(base + m.size(), 0);
      for (std::size_t t = 0; t < m.size(); ++t)
        out.c[base + t] = f.mul_add(d, m[t], out.c[base + t]);
      while (out.c.size() > base && out.c.back() == 0) out.c.pop_back();
    }
    if (out.c.size() == base) continue;  // the coefficient vanished
    out.prefix.push_back(p);
    out.start.push_back(static_cast<std::uint32_t>(out.c.size()));
  }
  h = std::move(out);
  return same;
}

}  // namespace tavrin::flat
