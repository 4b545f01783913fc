// Zippel's sparse interpolation of a multivariate GCD over a finite field.
// Source: R. Zippel, "Probabilistic algorithms for sparse polynomials"
// (EUROSAM 1979), with the scaling by the GCD of the leading coefficients
// of W. S. Brown and the transposed Vandermonde solver of Zippel,
// "Interpolating polynomials from their values", J. Symb. Comp. 9 (1990).
//
// The GCD G of A and B, primitive in variable 0, is found through
// H = gamma G / lc(G), gamma = gcd(lc(A), lc(B)) (leading coefficients in
// variable 0): its images at points of the variables 1 .. n - 1 are the
// monic univariate GCDs in variable 0 times gamma at the point. Starting
// from one such image at a random point alpha, the variables are put back
// one at a time: variable k by Newton interpolation from images at new
// values beta of it (the later variables still at alpha), each image found
// from the support of the previous stage (the skeleton) by univariate GCDs
// at the points (r_1^i, ..., r_(k-1)^i), i = 0 .. T - 1, and one
// Vandermonde system for each power of variable 0. A skeleton that an
// unlucky alpha made too small shows as an inconsistent system and starts
// over at a new alpha; nothing here is proven (flat_gcd proves the result).
//
// Plane images: for large operands in three variables or more (the
// threshold zippel_plane_terms) the images are bivariate, in the variables
// 0 and 1 (Brown's method at each point), and variable 1 is never
// interpolated: the Vandermonde systems are then one for each monomial in
// the two variables, far smaller than one for each power of variable 0, so
// far fewer points are needed. The image of H is gamma times the GCD over
// its leading coefficient in variable 0 (a polynomial in variable 1 that
// divides gamma at a lucky point).
#include <algorithm>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/target_clones.h"
#include "core/thresholds.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat/flat_rec_impl.h"
#include "gcd/flat_gcd.h"

namespace tavrin::flat {

namespace {

// Powers 0 .. d of x.
template <class F>
std::vector<elem> powers(const F& f, elem x, std::int32_t d) {
  std::vector<elem> p(static_cast<std::size_t>(d) + 1);
  p[0] = 1;
  for (std::size_t i = 1; i < p.size(); ++i) p[i] = f.mul(p[i - 1], x);
  return p;
}

// A polynomial with its exponents unpacked (n a term) and its degrees.
struct Unpacked {
  const MPoly* p = nullptr;
  std::vector<std::int32_t> exps;
  std::vector<std::int32_t> deg;
  std::int32_t e(std::size_t term, int var, int n) const {
    return exps[term * static_cast<std::size_t>(n) + static_cast<std::size_t>(var)];
  }
};

Unpacked unpack(const Layout& lay, const MPoly& p) {
  Unpacked u;
  u.p = &p;
  const auto n = static_cast<std::size_t>(lay.nvars);
  u.exps.resize(p.size() * n);
  u.deg.assign(n, 0);
  for (std::size_t t = 0; t < p.size(); ++t)
    for (std::size_t k = 0; k < n; ++k) {
      const std::int32_t e = lay.exponent(p.key[t], static_cast<int>(k));
      u.exps[t * n + k] = e;
      u.deg[k] = std::max(u.deg[k], e);
    }
  return u;
}

// v[j] := v[j] rho[j] modulo p (< 2^31) for j < n, by Shoup's products
// with the quotients rs[j] = shoup_quotient(rho[j], p). Written for the
// vectoriser.
TAVRIN_CLONES void shoup_scale(std::uint32_t* v, const std::uint32_t* rho, const std::uint32_t* rs,
                               std::size_t n, std::uint32_t p) {
  for (std::size_t j = 0; j < n; ++j) v[j] = shoup_mul(v[j], rho[j], rs[j], p);
}

// The sum of v[0 .. n) (n < 2^32).
TAVRIN_CLONES std::uint64_t word_sum(const std::uint32_t* v, std::size_t n) {
  std::uint64_t s = 0;
  for (std::size_t j = 0; j < n; ++j) s += v[j];
  return s;
}

// One polynomial prepared for the images of one step: the variables after
// k at their fixed values (folded into w), variable k at the value of each
// image, the variables plane .. k - 1 at geometric points, the variables
// below plane kept (the image's own variables). Runs: the terms of equal
// exponents in the variables 0 .. k - 1 (consecutive). A run's cell: its
// monomial in the image's variables, e0 (plane 1) or e0 width + e1.
template <class F>
struct Step {
  int k = 0;
  int plane = 1;                         // variables of the images (1 or 2)
  std::uint32_t width = 1;               // cells for each power of variable 0
  std::vector<std::size_t> run;          // start of each run, then the end
  std::vector<std::uint32_t> e0;         // each run's cell
  std::vector<std::size_t> group_end;    // the ends of the runs of equal cells
  std::vector<std::uint64_t> prefix;     // each run's key in the variables 0 .. k - 1
  std::vector<elem> rho;                 // each run's monomial at r (variables plane .. k - 1)
  std::vector<std::uint32_t> rho_shoup;  // floor(rho 2^32 / p) (word primes)
  std::vector<elem> w;                   // each term: coefficient times the fixed values
  std::vector<std::uint32_t> ek;         // each term's power of variable k (0 when k = n)
  std::int32_t dk = 0;

  void prepare(const F& f, const Layout& lay, const Unpacked& u, int step,
               const std::vector<elem>& fixed, int image_vars) {
    k = step;
    plane = image_vars;
    const int n = lay.nvars;
    width = plane == 2 ? static_cast<std::uint32_t>(u.deg[1]) + 1 : 1;
    const MPoly& p = *u.p;
    std::vector<std::vector<elem>> pw(static_cast<std::size_t>(n));
    for (int l = k + 1; l < n; ++l)
      pw[static_cast<std::size_t>(l)] =
          powers(f, fixed[static_cast<std::size_t>(l)], u.deg[static_cast<std::size_t>(l)]);
    const int low = (n - k) * lay.width;
    const std::uint64_t high = low >= 64 ? 0 : ~((std::uint64_t{1} << low) - 1);
    run.clear();
    e0.clear();
    prefix.clear();
    w.resize(p.size());
    ek.resize(p.size());
    dk = k < n ? u.deg[static_cast<std::size_t>(k)] : 0;
    for (std::size_t t = 0; t < p.size(); ++t) {
      const std::uint64_t pre = p.key[t] & high;
      if (t == 0 || pre != prefix.back()) {
        run.push_back(t);
        prefix.push_back(pre);
        e0.push_back(static_cast<std::uint32_t>(u.e(t, 0, n)) * width +
                     (plane == 2 ? static_cast<std::uint32_t>(u.e(t, 1, n)) : 0));
      }
      elem c = p.coef[t];
      for (int l = k + 1; l < n && c != 0; ++l)
        c = f.mul(c, pw[static_cast<std::size_t>(l)][static_cast<std::size_t>(u.e(t, l, n))]);
      w[t] = c;
      ek[t] = k < n ? static_cast<std::uint32_t>(u.e(t, k, n)) : 0;
    }
    run.push_back(p.size());
    group_end.clear();
    for (std::size_t j = 1; j <= e0.size(); ++j)
      if (j == e0.size() || e0[j] != e0[j - 1]) group_end.push_back(j);
  }

  // rho of every run for the point r (variables plane .. k - 1).
  void points(const F& f, const Layout& lay, const Unpacked& u, const std::vector<elem>& r) {
    const int n = lay.nvars;
    std::vector<std::vector<elem>> pw(static_cast<std::size_t>(n));
    for (int l = plane; l < k; ++l)
      pw[static_cast<std::size_t>(l)] =
          powers(f, r[static_cast<std::size_t>(l)], u.deg[static_cast<std::size_t>(l)]);
    rho.resize(prefix.size());
    for (std::size_t j = 0; j < prefix.size(); ++j) {
      elem x = 1;
      const std::size_t t = run[j];
      for (int l = plane; l < k; ++l)
        x = f.mul(x, pw[static_cast<std::size_t>(l)][static_cast<std::size_t>(u.e(t, l, n))]);
      rho[j] = x;
    }
    if constexpr (std::is_same_v<F, PrimeField>) {
      // Shoup's precomputed quotients: v rho mod p by two word products
      rho_shoup.resize(rho.size());
      for (std::size_t j = 0; j < rho.size(); ++j)
        rho_shoup[j] = shoup_quotient(rho[j], f.modulus());
    }
  }

  // Each run's value with variable k at beta.
  void values(const F& f, elem beta, std::vector<elem>* v) const {
    const std::vector<elem> pb = powers(f, beta, dk);
    v->resize(prefix.size());
    for (std::size_t j = 0; j + 1 < run.size(); ++j) {
      if constexpr (std::is_same_v<F, PrimeField>) {
        // the products summed in two words and reduced once (fewer than
        // 2^64 of them), with no branch for each term
        unsigned __int128 s = 0;
        for (std::size_t t = run[j]; t < run[j + 1]; ++t)
          s += static_cast<std::uint64_t>(w[t]) * pb[ek[t]];
        (*v)[j] = f.reduce_wide(s);
      } else {
        elem s = 0;
        for (std::size_t t = run[j]; t < run[j + 1]; ++t) s = f.mul_add(w[t], pb[ek[t]], s);
        (*v)[j] = s;
      }
    }
  }

  // The dense images (cells 0 .. cells - 1, trailing zeros trimmed) at the
  // points r^(i + 1), i = 0 .. t - 1 (the values of the runs v, multiplied
  // by rho at each step; the point 1 is left out, as it may well be a
  // root).
  void geometric(const F& f, std::vector<elem> v, std::size_t t, std::size_t cells,
                 std::vector<std::vector<elem>>* out) const {
    out->assign(t, std::vector<elem>(cells, 0));
    const std::size_t runs = prefix.size();
    for (std::size_t j = 0; j < runs; ++j) v[j] = f.mul(v[j], rho[j]);
    for (std::size_t i = 0; i < t; ++i) {
      check_interrupt();  // one poll a point: t passes over every run
      std::vector<elem>& o = (*out)[i];
      std::size_t j = 0;
      if constexpr (std::is_same_v<F, PrimeField>) {
        // The groups' sums (fewer than 2^32 residues below 2^31), then every
        // value times its rho.
        for (const std::size_t end : group_end) {
          const std::uint32_t e = e0[j];
          const elem s = f.reduce(word_sum(v.data() + j, end - j));
          if (e < cells) o[e] = f.add(o[e], s);
          j = end;
        }
        shoup_scale(v.data(), rho.data(), rho_shoup.data(), runs, f.modulus());
        Dense<F>::trim(o);
        continue;
      }
      for (const std::size_t end : group_end) {
        const std::uint32_t e = e0[j];
        elem s = 0;
        for (; j < end; ++j) {
          s = f.add(s, v[j]);
          v[j] = f.mul(v[j], rho[j]);
        }
        if (e < cells) o[e] = f.add(o[e], s);
      }
      Dense<F>::trim(o);
    }
  }
};

// c with sum_m c_m v_m^i = b_i (i = 0 .. t - 1), the nodes v distinct.
template <class F>
void vandermonde(const F& f, const std::vector<elem>& v, const elem* b, std::vector<elem>* c) {
  const std::size_t t = v.size();
  std::vector<elem> master(t + 1, 0);  // prod (z - v_m), lowest first
  master[0] = 1;
  for (std::size_t m = 0; m < t; ++m) {
    for (std::size_t i = m + 1; i > 0; --i)
      master[i] = f.sub(master[i - 1], f.mul(v[m], master[i]));
    master[0] = f.neg(f.mul(v[m], master[0]));
  }
  c->assign(t, 0);
  std::vector<elem> q(t);
  for (std::size_t m = 0; m < t; ++m) {
    // q = master / (z - v_m)
    q[t - 1] = master[t];
    for (std::size_t i = t - 1; i > 0; --i) q[i - 1] = f.mul_add(v[m], q[i], master[i]);
    elem num = 0, den = 0, p = 1;
    for (std::size_t i = 0; i < t; ++i) {
      num = f.mul_add(q[i], b[i], num);
      den = f.mul_add(q[i], p, den);
      p = f.mul(p, v[m]);
    }
    (*c)[m] = f.mul(num, f.inv(den));
  }
}

enum class image_result { ok, skip, fail };

template <class F>
class Zippel {
 public:
  Zippel(const F& f, const Layout& lay, Rng& rng, const MPoly& a, const MPoly& b,
         const MPoly& gamma)
      : f_(f), lay_(lay), rng_(rng), n_(lay.nvars) {
    ua_ = unpack(lay, a);
    ub_ = unpack(lay, b);
    ug_ = unpack(lay, gamma);
    if (n_ >= 3 && a.size() + b.size() >= static_cast<std::size_t>(zippel_plane_terms)) plane_ = 2;
  }

  // Whether the images are in two variables.
  bool plane() const { return plane_ == 2; }

  // One attempt from a random alpha: H into *h, or false.
  bool run(const std::vector<std::uint64_t>* skeleton, MPoly* h) {
    alpha_.assign(static_cast<std::size_t>(n_), 0);
    std::vector<elem> a0, b0;
    MPoly pa, pb;
    for (int tries = 0;; ++tries) {
      if (tries > 20) return false;
      for (int l = 1; l < n_; ++l) alpha_[static_cast<std::size_t>(l)] = random_nonzero();
      prepare(plane_);
      if (plane_ == 1 ? dense_at(alpha_[1], &a0, &b0) : plane_at(alpha_[2], &pa, &pb)) break;
    }
    if (skeleton != nullptr) {
      d0_ = lay_.exponent(skeleton->front(), 0);
      prepare(n_);
      for (int tries = 0; tries < 4; ++tries) {
        const image_result r = image(*skeleton, 0, h);
        if (r == image_result::ok) return true;
        if (r == image_result::fail) return false;
      }
      return false;
    }
    if (plane_ == 2) {
      d0_ = -1;
      if (plane_image(pa, pb, cells_at(sg_, alpha_[2], sg_.width), h) != image_result::ok ||
          h->empty())
        return false;
      d0_ = lay_.exponent(h->key[0], 0);
      if (d0_ == 0) return true;
      for (int k = 2; k < n_; ++k)
        if (!add_variable(k, h)) return false;
      return true;
    }
    std::vector<elem> g0 = Dense<F>::gcd(f_, a0, b0);
    d0_ = static_cast<std::int32_t>(g0.size()) - 1;
    Dense<F>::scale(f_, g0, gamma_at(alpha_[1]));
    h->clear();
    for (std::size_t e = g0.size(); e-- > 0;)
      if (g0[e] != 0) h->push(static_cast<std::uint64_t>(e) * lay_.unit(0), g0[e]);
    if (d0_ == 0) return true;
    for (int k = 1; k < n_; ++k)
      if (!add_variable(k, h)) return false;
    return true;
  }

 private:
  elem random_nonzero() {
    for (;;) {
      const elem x = f_.element(rng_.next() % f_.size());
      if (x != 0) return x;
    }
  }

  void prepare(int k) {
    sa_.prepare(f_, lay_, ua_, k, alpha_, plane_);
    sb_.prepare(f_, lay_, ub_, k, alpha_, plane_);
    sg_.prepare(f_, lay_, ug_, k, alpha_, plane_);
  }

  // The cells of s with variable k = beta, when no variable lies between
  // the image's and k (trailing zeros trimmed).
  std::vector<elem> cells_at(const Step<F>& s, elem beta, std::size_t cells) const {
    std::vector<elem> v;
    s.values(f_, beta, &v);
    std::vector<elem> out(cells, 0);
    for (std::size_t j = 0; j < v.size(); ++j)
      if (s.e0[j] < cells) out[s.e0[j]] = f_.add(out[s.e0[j]], v[j]);
    Dense<F>::trim(out);
    return out;
  }

  // The polynomial in the variables 0 and 1 of cells of width w.
  MPoly cells_poly(const std::vector<elem>& c, std::uint32_t w) const {
    MPoly p;
    for (std::size_t i = c.size(); i-- > 0;)
      if (c[i] != 0) p.push((i / w) * lay_.unit(0) + (i % w) * lay_.unit(1), c[i]);
    return p;
  }

  // The images of A and B in the variables 0 and 1 with variable 2 at beta
  // (plane images, step 2), false when a degree in variable 0 drops.
  bool plane_at(elem beta, MPoly* a, MPoly* b) const {
    auto image = [&](const Step<F>& s, const Unpacked& u, MPoly* out) {
      const std::vector<elem> c =
          cells_at(s, beta, (static_cast<std::size_t>(u.deg[0]) + 1) * s.width);
      if (c.empty() || static_cast<std::int32_t>((c.size() - 1) / s.width) != u.deg[0])
        return false;
      *out = cells_poly(c, s.width);
      return true;
    };
    return image(sa_, ua_, a) && image(sb_, ub_, b);
  }

  // H's image in the variables 0 and 1 from those of A and B and gamma's gc
  // (dense in variable 1): gc g / lc(g), g their GCD and lc(g) its leading
  // coefficient in variable 0, which divides gc at a lucky point. Skipped
  // when g has more than d0_ powers of variable 0 or lc(g) does not divide
  // (an unlucky point), failed when fewer (d0_ < 0: not yet known).
  image_result plane_image(const MPoly& a, const MPoly& b, const std::vector<elem>& gc, MPoly* h) {
    MPoly g;
    if (brown_gcd(f_, lay_, a, b, 2, rng_, &g, nullptr, nullptr) != engine_status::done)
      return image_result::fail;
    const std::int32_t dg = lay_.exponent(g.key[0], 0);
    if (d0_ >= 0 && dg > d0_) return image_result::skip;
    if (d0_ >= 0 && dg < d0_) return image_result::fail;
    std::vector<elem> lc, q;
    std::size_t w = 0;
    for (std::size_t i = 0; i < g.size(); ++i) {
      const auto e1 = static_cast<std::size_t>(lay_.exponent(g.key[i], 1));
      w = std::max(w, e1 + 1);
      if (lay_.exponent(g.key[i], 0) != dg) continue;
      if (lc.size() <= e1) lc.resize(e1 + 1, 0);
      lc[e1] = g.coef[i];
    }
    if (!Dense<F>::div_exact(f_, gc, lc, &q)) return image_result::skip;
    w += q.size();
    std::vector<elem> c((static_cast<std::size_t>(dg) + 1) * w, 0);
    for (std::size_t i = 0; i < g.size(); ++i) {
      const std::size_t at = static_cast<std::size_t>(lay_.exponent(g.key[i], 0)) * w +
                             static_cast<std::size_t>(lay_.exponent(g.key[i], 1));
      for (std::size_t j = 0; j < q.size(); ++j) c[at + j] = f_.mul_add(g.coef[i], q[j], c[at + j]);
    }
    *h = cells_poly(c, static_cast<std::uint32_t>(w));
    return image_result::ok;
  }

  // The key of a cell of the skeleton's groups.
  std::uint64_t cell_key(std::size_t e) const {
    if (plane_ == 1) return static_cast<std::uint64_t>(e) * lay_.unit(0);
    return (e / width_) * lay_.unit(0) + (e % width_) * lay_.unit(1);
  }

  // The images of A and B in variable 0 at variable 1 = beta (step 1),
  // false when a degree drops.
  bool dense_at(elem beta, std::vector<elem>* a, std::vector<elem>* b) const {
    auto dense = [this](const Step<F>& s, elem x, std::int32_t d, std::vector<elem>* out) {
      std::vector<elem> v;
      s.values(f_, x, &v);
      out->assign(static_cast<std::size_t>(d) + 1, 0);
      for (std::size_t j = 0; j < v.size(); ++j) (*out)[s.e0[j]] = f_.add((*out)[s.e0[j]], v[j]);
      Dense<F>::trim(*out);
      return static_cast<std::int32_t>(out->size()) == d + 1;
    };
    return dense(sa_, beta, ua_.deg[0], a) && dense(sb_, beta, ub_.deg[0], b);
  }

  // gamma at variable 1 = beta, the later variables at alpha (step 1).
  elem gamma_at(elem beta) const {
    std::vector<elem> v;
    sg_.values(f_, beta, &v);
    elem s = 0;
    for (elem x : v) s = f_.add(s, x);
    return s;
  }

  // Variable k put back into *h by Newton interpolation.
  bool add_variable(int k, MPoly* h) {
    const auto ks = static_cast<std::size_t>(k);
    const std::size_t bound =
        static_cast<std::size_t>(ug_.deg[ks] + std::min(ua_.deg[ks], ub_.deg[ks]));
    const std::vector<std::uint64_t> skeleton = h->key;
    prepare(k);
    Rec p = split(lay_, *h, k);
    std::vector<elem> m{f_.neg(alpha_[ks]), 1};
    std::vector<elem> used{alpha_[ks]};
    std::size_t n = 1;
    MPoly img;
    int skips = 0, sames = 0;
    bool points_chosen = false;
    while (n <= bound) {
      check_interrupt();
      const elem beta = random_nonzero();
      if (std::find(used.begin(), used.end(), beta) != used.end()) continue;
      used.push_back(beta);
      image_result r;
      if (k == 1) {
        r = dense_image(beta, &img);
      } else {
        if (!points_chosen) {
          if (!choose_points(skeleton, k)) return false;
          points_chosen = true;
        }
        r = image(skeleton, beta, &img);
        if (r == image_result::skip) points_chosen = false;
      }
      if (r == image_result::fail) return false;
      if (r == image_result::skip) {
        if (++skips > 20) return false;
        continue;
      }
      const elem im = f_.inv(Dense<F>::eval(f_, m, beta));
      sames = newton(f_, p, img, 1, m, beta, im) ? sames + 1 : 0;
      m = Dense<F>::mul(f_, m, std::vector<elem>{f_.neg(beta), 1});
      ++n;
      if (sames >= 2) break;  // two points in a row left it as it was
    }
    *h = expand(lay_, p, k);
    return true;
  }

  // The image at variable 1 = beta as a dense interpolation step.
  image_result dense_image(elem beta, MPoly* img) {
    std::vector<elem> a, b;
    if (!dense_at(beta, &a, &b)) return image_result::skip;
    std::vector<elem> g = Dense<F>::gcd(f_, a, b);
    const auto dg = static_cast<std::int32_t>(g.size()) - 1;
    if (dg > d0_) return image_result::skip;
    if (dg < d0_) return image_result::fail;
    Dense<F>::scale(f_, g, gamma_at(beta));
    img->clear();
    for (std::size_t e = g.size(); e-- > 0;)
      if (g[e] != 0) img->push(static_cast<std::uint64_t>(e) * lay_.unit(0), g[e]);
    return image_result::ok;
  }

  // Random r (variables plane_ .. k - 1) whose monomials of the skeleton
  // are distinct within each cell; the groups and nodes saved.
  bool choose_points(const std::vector<std::uint64_t>& skeleton, int k) {
    std::uint64_t rest = ~lay_.field_mask(0);
    width_ = 1;
    if (plane_ == 2) {
      rest &= ~lay_.field_mask(1);
      for (std::uint64_t key : skeleton)
        width_ = std::max(width_, static_cast<std::size_t>(lay_.exponent(key, 1)) + 1);
    }
    group_.assign((static_cast<std::size_t>(d0_) + 1) * width_, {});
    for (std::uint64_t key : skeleton) {
      const auto e0 = static_cast<std::size_t>(lay_.exponent(key, 0));
      if (e0 > static_cast<std::size_t>(d0_)) return false;
      const std::size_t e =
          e0 * width_ + (plane_ == 2 ? static_cast<std::size_t>(lay_.exponent(key, 1)) : 0);
      group_[e].push_back(key & rest);
    }
    t_ = 0;
    for (const auto& g : group_) t_ = std::max(t_, g.size());
    std::vector<elem> r(static_cast<std::size_t>(n_), 0);
    std::vector<std::vector<elem>> pw(static_cast<std::size_t>(n_));
    nodes_.assign(group_.size(), {});
    for (int tries = 0; tries < 8; ++tries) {
      for (int l = plane_; l < k; ++l) {
        r[static_cast<std::size_t>(l)] = random_nonzero();
        pw[static_cast<std::size_t>(l)] = powers(
            f_, r[static_cast<std::size_t>(l)],
            std::max(ua_.deg[static_cast<std::size_t>(l)], ub_.deg[static_cast<std::size_t>(l)]));
      }
      bool distinct = true;
      for (std::size_t e = 0; e < group_.size() && distinct; ++e) {
        nodes_[e].clear();
        for (std::uint64_t key : group_[e]) {
          elem v = 1;
          for (int l = plane_; l < k; ++l)
            v = f_.mul(
                v,
                pw[static_cast<std::size_t>(l)][static_cast<std::size_t>(lay_.exponent(key, l))]);
          nodes_[e].push_back(v);
        }
        std::vector<elem> s = nodes_[e];
        std::sort(s.begin(), s.end());
        distinct = std::adjacent_find(s.begin(), s.end()) == s.end();
      }
      if (!distinct) continue;
      sa_.points(f_, lay_, ua_, r);
      sb_.points(f_, lay_, ub_, r);
      sg_.points(f_, lay_, ug_, r);
      return true;
    }
    return false;
  }

  // The image in the variables 0 .. k - 1 with the support `skeleton`, with
  // variable k at beta (the prepared step; no variable k when k = n).
  image_result image(const std::vector<std::uint64_t>& skeleton, elem beta, MPoly* img) {
    if (sa_.k == n_ && nodes_.empty() && !choose_points(skeleton, n_)) return image_result::fail;
    std::vector<elem> va, vb, vg;
    sa_.values(f_, beta, &va);
    sb_.values(f_, beta, &vb);
    sg_.values(f_, beta, &vg);
    std::vector<std::vector<elem>> ai, bi, gi;
    const std::size_t da = static_cast<std::size_t>(ua_.deg[0]),
                      db = static_cast<std::size_t>(ub_.deg[0]);
    sa_.geometric(f_, va, t_, (da + 1) * sa_.width, &ai);
    sb_.geometric(f_, vb, t_, (db + 1) * sb_.width, &bi);
    sg_.geometric(f_, vg, t_, sg_.width, &gi);
    std::vector<std::vector<elem>> g(t_);
    for (std::size_t i = 0; i < t_ && plane_ == 2; ++i) {
      check_interrupt();  // one poll a point: a GCD in two variables each
      if (ai[i].empty() || bi[i].empty() || (ai[i].size() - 1) / sa_.width != da ||
          (bi[i].size() - 1) / sb_.width != db) {
        nodes_.clear();
        return image_result::skip;  // a leading coefficient vanishes at this point
      }
      MPoly hi;
      const image_result r =
          plane_image(cells_poly(ai[i], sa_.width), cells_poly(bi[i], sb_.width), gi[i], &hi);
      if (r == image_result::fail) return r;
      bool fits = r == image_result::ok;
      g[i].assign((static_cast<std::size_t>(d0_) + 1) * width_, 0);
      for (std::size_t j = 0; j < hi.size() && fits; ++j) {
        const auto e1 = static_cast<std::size_t>(lay_.exponent(hi.key[j], 1));
        fits = e1 < width_;
        if (fits)
          g[i][static_cast<std::size_t>(lay_.exponent(hi.key[j], 0)) * width_ + e1] = hi.coef[j];
      }
      if (!fits) {
        nodes_.clear();
        return image_result::skip;  // an unlucky point: the image does not fit the skeleton
      }
    }
    for (std::size_t i = 0; i < t_ && plane_ == 1; ++i) {
      if (static_cast<std::int32_t>(ai[i].size()) != ua_.deg[0] + 1 ||
          static_cast<std::int32_t>(bi[i].size()) != ub_.deg[0] + 1) {
        nodes_.clear();
        return image_result::skip;  // a leading coefficient vanishes at this point
      }
      g[i] = Dense<F>::gcd(f_, ai[i], bi[i]);
      const auto dg = static_cast<std::int32_t>(g[i].size()) - 1;
      if (dg > d0_) {
        nodes_.clear();
        return image_result::skip;
      }
      if (dg < d0_) return image_result::fail;
      Dense<F>::scale(f_, g[i], gi[i].empty() ? 0 : gi[i][0]);
    }
    // one Vandermonde system for each power of variable 0
    img->clear();
    std::vector<elem> vals(t_), c;
    for (std::size_t e = group_.size(); e-- > 0;) {
      check_interrupt();
      for (std::size_t i = 0; i < t_; ++i) vals[i] = e < g[i].size() ? g[i][e] : 0;
      const std::size_t s = group_[e].size();
      if (s == 0) {
        for (elem x : vals)
          if (x != 0) return image_result::fail;
        continue;
      }
      vandermonde(f_, nodes_[e], vals.data(), &c);
      // the equations beyond the unknowns check the skeleton
      if (s < t_) {
        std::vector<elem> cur = c;
        for (std::size_t i = 0; i < t_; ++i) {
          if (i >= s) {
            elem sum = 0;
            for (elem x : cur) sum = f_.add(sum, x);
            if (sum != vals[i]) return image_result::fail;
          }
          for (std::size_t m = 0; m < s; ++m) cur[m] = f_.mul(cur[m], nodes_[e][m]);
        }
      }
      // the values were at r^(i + 1): c_m carries one factor of its node
      for (std::size_t m = 0; m < s; ++m)
        if (c[m] != 0) img->push(cell_key(e) + group_[e][m], f_.mul(c[m], f_.inv(nodes_[e][m])));
    }
    return img->empty() ? image_result::fail : image_result::ok;
  }

  const F& f_;
  const Layout& lay_;
  Rng& rng_;
  int n_;
  Unpacked ua_, ub_, ug_;
  Step<F> sa_, sb_, sg_;
  std::vector<elem> alpha_;
  int plane_ = 1;          // variables of the images: 2 for plane images
  std::size_t width_ = 1;  // cells of the groups for each power of variable 0
  std::int32_t d0_ = 0;
  std::vector<std::vector<std::uint64_t>> group_;
  std::vector<std::vector<elem>> nodes_;
  std::size_t t_ = 0;
};

}  // namespace

template <class F>
engine_status zippel_core(const F& f, const Layout& lay, const MPoly& A, const MPoly& B,
                          const MPoly& gamma, Rng& rng, const std::vector<std::uint64_t>* skeleton,
                          MPoly* H) {
  Zippel<F> z(f, lay, rng, A, B, gamma);
  for (int attempt = 0; attempt < 6; ++attempt)
    if (z.run(skeleton, H)) {
      if (z.plane()) ++gcd_tally().plane;
      return engine_status::done;
    }
  return engine_status::failed;
}

template engine_status zippel_core<PrimeField>(const PrimeField&, const Layout&, const MPoly&,
                                               const MPoly&, const MPoly&, Rng&,
                                               const std::vector<std::uint64_t>*, MPoly*);
template engine_status zippel_core<LogField>(const LogField&, const Layout&, const MPoly&,
                                             const MPoly&, const MPoly&, Rng&,
                                             const std::vector<std::uint64_t>*, MPoly*);

}  // namespace tavrin::flat
