// GCDs of flat polynomials over a finite field: the choice between Brown's
// and Zippel's method, the contents and leading coefficients Zippel's needs,
// and the proof of a candidate by degree bounds and exact division.
//
// The proof. For each variable x_i, the univariate GCD of the images of A
// and B at a point of the other variables that keeps both degrees in x_i
// bounds the degree in x_i of gcd(A, B) from above. A candidate G that
// divides A and B divides gcd(A, B); when its degree in every variable
// reaches the bound, the quotient gcd(A, B) / G has degree 0 in every
// variable: G is the GCD (up to a constant, and both are monic).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/thresholds.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat_gcd.h"

namespace tavrin::flat {

namespace {

bool is_constant(const MPoly& p) { return p.size() == 1 && p.key[0] == 0; }

// Terms below which a GCD not to be proven still looks for the bound 0 first.
constexpr std::size_t small_gcd_terms = 2000;

MPoly one_poly() {
  MPoly p;
  p.push(0, 1);
  return p;
}

template <class F>
void make_monic(const F& f, MPoly* p) {
  if (p->empty() || p->coef[0] == 1) return;
  const elem i = f.inv(p->coef[0]);
  for (elem& c : p->coef) c = f.mul(c, i);
}

template <class F>
elem random_nonzero(const F& f, Rng& rng) {
  for (;;) {
    const elem x = f.element(rng.next() % f.size());
    if (x != 0) return x;
  }
}

// The coefficients of p in variable 0 (keys with that field 0), highest
// power first, with their powers.
std::vector<std::pair<std::int32_t, MPoly>> coefficients0(const Layout& lay, const MPoly& p) {
  std::vector<std::pair<std::int32_t, MPoly>> out;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const std::int32_t e = lay.exponent(p.key[i], 0);
    if (out.empty() || out.back().first != e) out.emplace_back(e, MPoly());
    out.back().second.push(lay.without(p.key[i], 0), p.coef[i]);
  }
  return out;
}

// The monic GCD of p's coefficients in variable 0 (not proven).
template <class F>
engine_status content0(const F& f, const Layout& lay,
                       const std::vector<std::pair<std::int32_t, MPoly>>& c, Rng& rng, MPoly* g) {
  std::vector<std::size_t> idx(c.size());
  for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = i;
  std::sort(idx.begin(), idx.end(),
            [&c](std::size_t a, std::size_t b) { return c[a].second.size() < c[b].second.size(); });
  *g = c[idx[0]].second;
  make_monic(f, g);
  for (std::size_t j = 1; j < idx.size() && !is_constant(*g); ++j) {
    MPoly t;
    const engine_status st = field_gcd(f, lay, *g, c[idx[j]].second, rng, &t, false);
    if (st != engine_status::done) return st;
    *g = std::move(t);
  }
  return engine_status::done;
}

// p divided by its content g in variable 0 (coefficient by coefficient);
// false when a division is not exact.
template <class F>
bool divide_content0(const F& f, const Layout& lay,
                     const std::vector<std::pair<std::int32_t, MPoly>>& c, const MPoly& g,
                     MPoly* p) {
  p->clear();
  if (is_constant(g)) {  // a monic constant: 1
    for (const auto& [e, coef] : c)
      for (std::size_t i = 0; i < coef.size(); ++i)
        p->push(coef.key[i] + static_cast<std::uint64_t>(e) * lay.unit(0), coef.coef[i]);
    return true;
  }
  MPoly q;
  for (const auto& [e, coef] : c) {
    if (!mpoly_divides(f, lay, coef, g, &q)) return false;
    for (std::size_t i = 0; i < q.size(); ++i)
      p->push(q.key[i] + static_cast<std::uint64_t>(e) * lay.unit(0), q.coef[i]);
  }
  return true;
}

// The candidate of Zippel's method: A and B in the order of the plan (the
// main variable first), their contents in it, gamma, H, and G = cont pp(H).
template <class F>
engine_status sparse_candidate(const F& f, const Layout& lay, const MPoly& A0, const MPoly& B0,
                               Rng& rng, MPoly* G, ZippelPlan& plan) {
  const MPoly A = reorder(lay, A0, plan.order), B = reorder(lay, B0, plan.order);
  const auto ca = coefficients0(lay, A), cb = coefficients0(lay, B);
  MPoly conta, contb, cg, pa, pb;
  engine_status st = content0(f, lay, ca, rng, &conta);
  if (st != engine_status::done) return st;
  st = content0(f, lay, cb, rng, &contb);
  if (st != engine_status::done) return st;
  if (!divide_content0(f, lay, ca, conta, &pa) || !divide_content0(f, lay, cb, contb, &pb))
    return engine_status::failed;
  if (is_constant(conta) || is_constant(contb)) {
    cg = one_poly();
  } else {
    st = field_gcd(f, lay, conta, contb, rng, &cg, false);
    if (st != engine_status::done) return st;
  }
  MPoly h;
  if (lay.exponent(pa.key[0], 0) == 0 || lay.exponent(pb.key[0], 0) == 0) {
    h = one_poly();  // a primitive part free of the main variable is a constant
  } else {
    const auto pca = coefficients0(lay, pa), pcb = coefficients0(lay, pb);
    MPoly gamma;
    st = field_gcd(f, lay, pca.front().second, pcb.front().second, rng, &gamma, false);
    if (st != engine_status::done) return st;
    st = zippel_core(f, lay, pa, pb, gamma, rng, plan.skeleton.empty() ? nullptr : &plan.skeleton,
                     &h);
    if (st != engine_status::done) return st;
    plan.skeleton = h.key;
    const auto ch = coefficients0(lay, h);
    MPoly conth, pp;
    st = content0(f, lay, ch, rng, &conth);
    if (st != engine_status::done) return st;
    if (!divide_content0(f, lay, ch, conth, &pp)) return engine_status::failed;
    h = std::move(pp);
  }
  MPoly g;
  if (is_constant(cg)) {
    g = std::move(h);
  } else {
    mpoly_mul(f, lay, cg, h, &g);
  }
  std::vector<int> back(plan.order.size());
  for (std::size_t j = 0; j < back.size(); ++j)
    back[static_cast<std::size_t>(plan.order[j])] = static_cast<int>(j);
  *G = reorder(lay, g, back);
  make_monic(f, G);
  return engine_status::done;
}

// The number of terms of the leading coefficient of p in variable v.
std::size_t lc_terms(const Layout& lay, const MPoly& p, int v) {
  std::int32_t d = -1;
  std::size_t n = 0;
  for (std::uint64_t key : p.key) {
    const std::int32_t e = lay.exponent(key, v);
    if (e > d) {
      d = e;
      n = 0;
    }
    if (e == d) ++n;
  }
  return n;
}

template <class F>
engine_status candidate(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, Rng& rng,
                        MPoly* G, ZippelPlan* plan, const std::vector<std::int32_t>* bounds) {
  const std::vector<std::int32_t> da = degrees_of(lay, A), db = degrees_of(lay, B);
  ZippelPlan local;
  ZippelPlan& p = plan != nullptr ? *plan : local;
  if (p.order.empty()) {
    p.sparse = flat_gcd_choice == flat_gcd_method::sparse ||
               (flat_gcd_choice == flat_gcd_method::automatic &&
                !dense_preferred(lay, A.size(), B.size(), da, db, p.brown_points));
    // the main variable: in both, with the fewest terms in the leading coefficients
    int main = -1;
    std::size_t best = 0;
    for (int v = 0; v < lay.nvars; ++v) {
      if (da[static_cast<std::size_t>(v)] == 0 || db[static_cast<std::size_t>(v)] == 0) continue;
      const std::size_t t = lc_terms(lay, A, v) + lc_terms(lay, B, v);
      if (main < 0 || t < best) {
        main = v;
        best = t;
      }
    }
    if (main < 0) {
      // No variable in both: gcd(A, B) = gcd(content of A in one of its variables, B).
      for (int v = 0; v < lay.nvars && main < 0; ++v)
        if (da[static_cast<std::size_t>(v)] > 0) main = v;
      std::vector<int> order{main};
      for (int v = 0; v < lay.nvars; ++v)
        if (v != main) order.push_back(v);
      const MPoly a = reorder(lay, A, order);
      MPoly c;
      const engine_status st = content0(f, lay, coefficients0(lay, a), rng, &c);
      if (st != engine_status::done) return st;
      std::vector<int> back(order.size());
      for (std::size_t j = 0; j < back.size(); ++j)
        back[static_cast<std::size_t>(order[j])] = static_cast<int>(j);
      return field_gcd(f, lay, reorder(lay, c, back), B, rng, G, false);
    }
    p.order.push_back(main);
    for (int v = 0; v < lay.nvars; ++v)
      if (v != main) p.order.push_back(v);
  }
  if (!p.sparse) {
    const engine_status st = brown_gcd(f, lay, A, B, lay.nvars, rng, G, nullptr, nullptr, bounds);
    if (st == engine_status::done) ++gcd_tally().dense;
    return st;
  }
  const engine_status st = sparse_candidate(f, lay, A, B, rng, G, p);
  if (st == engine_status::done) ++gcd_tally().sparse;
  return st;
}

}  // namespace

bool dense_preferred(const Layout& lay, std::size_t terms_a, std::size_t terms_b,
                     const std::vector<std::int32_t>& da, const std::vector<std::int32_t>& db,
                     double brown_points) {
  if (lay.nvars <= 2) return true;
  // Brown: one univariate GCD for each point of the box of the other
  // variables' degrees (a GCD's degree plus two points each), or of the
  // caller's count, each with the evaluations and interpolations of every
  // level above it. Zippel: for each interpolated variable as many images,
  // each one pass over the terms of both operands and t geometric passes
  // (vectorised, a quarter of a term each) with a GCD at each; t is the
  // GCD's terms (estimated as the square root of the smaller operand's)
  // over the cells of the images: the powers of variable 0, or of the
  // variables 0 and 1 when the images are in both (zippel_plane_terms).
  const double d0 = std::max(da[0], db[0]) + 1.0, d1 = std::max(da[1], db[1]) + 1.0;
  double points = 1;
  for (int l = 1; l < lay.nvars; ++l)
    points *= std::min(da[static_cast<std::size_t>(l)], db[static_cast<std::size_t>(l)]) + 2.0;
  if (brown_points >= 0) points = brown_points;
  const double brown = points * (d0 * d0 + 200.0 * (lay.nvars - 1));
  const double terms = static_cast<double>(terms_a + terms_b);
  const bool plane = terms >= static_cast<double>(zippel_plane_terms);
  const double cells = plane ? d0 * d1 : d0, gcd = plane ? d0 * d0 * d1 : d0 * d0;
  const double t =
      std::max(1.0, std::sqrt(static_cast<double>(std::min(terms_a, terms_b))) / cells);
  double images = 0;
  for (int l = plane ? 2 : 1; l < lay.nvars; ++l)
    images += std::min(da[static_cast<std::size_t>(l)], db[static_cast<std::size_t>(l)]) + 2.0;
  const double zippel = images * (terms + t * (terms / 4 + gcd));
  return brown <= zippel * flat_dense_ratio;
}

template <class C>
Poly<C> reorder(const Layout& lay, const Poly<C>& p, const std::vector<int>& order) {
  bool same = true;
  for (std::size_t j = 0; j < order.size(); ++j) same = same && order[j] == static_cast<int>(j);
  if (same) return p;
  std::vector<std::pair<std::uint64_t, C>> t(p.size());
  for (std::size_t i = 0; i < p.size(); ++i) {
    std::uint64_t k = 0;
    for (int j = 0; j < lay.nvars; ++j)
      k += static_cast<std::uint64_t>(lay.exponent(p.key[i], order[static_cast<std::size_t>(j)])) *
           lay.unit(j);
    t[i] = {k, p.coef[i]};
  }
  std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  Poly<C> out;
  for (const auto& [k, c] : t) out.push(k, c);
  return out;
}

template <class F>
bool degree_bounds(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, Rng& rng,
                   std::vector<std::int32_t>* bounds) {
  const std::vector<std::int32_t> da = degrees_of(lay, A), db = degrees_of(lay, B);
  const auto n = static_cast<std::size_t>(lay.nvars);
  bounds->assign(n, 0);
  std::vector<bool> open(n);
  for (std::size_t i = 0; i < n; ++i) open[i] = da[i] > 0 && db[i] > 0;
  std::vector<std::vector<elem>> pw(n);
  std::vector<elem> pre(n + 1), suf(n + 1);
  std::vector<std::int32_t> e(n);
  // the images in every open variable at one point of the others, summed in
  // one pass: the other variables' product is a prefix times a suffix
  auto images = [&](const MPoly& p, const std::vector<std::int32_t>& d) {
    std::vector<std::vector<elem>> u(n);
    for (std::size_t i = 0; i < n; ++i)
      if (open[i]) u[i].assign(static_cast<std::size_t>(d[i]) + 1, 0);
    for (std::size_t t = 0; t < p.size(); ++t) {
      for (std::size_t l = 0; l < n; ++l) e[l] = lay.exponent(p.key[t], static_cast<int>(l));
      pre[0] = p.coef[t];
      for (std::size_t l = 0; l < n; ++l)
        pre[l + 1] = f.mul(pre[l], pw[l][static_cast<std::size_t>(e[l])]);
      suf[n] = 1;
      for (std::size_t l = n; l-- > 0;)
        suf[l] = f.mul(suf[l + 1], pw[l][static_cast<std::size_t>(e[l])]);
      for (std::size_t i = 0; i < n; ++i)
        if (open[i]) {
          elem& x = u[i][static_cast<std::size_t>(e[i])];
          x = f.add(x, f.mul(pre[i], suf[i + 1]));
        }
    }
    return u;
  };
  for (int tries = 0; tries < 16; ++tries) {
    if (std::none_of(open.begin(), open.end(), [](bool o) { return o; })) return true;
    for (std::size_t l = 0; l < n; ++l) {
      pw[l].assign(static_cast<std::size_t>(std::max(da[l], db[l])) + 1, 1);
      const elem x = random_nonzero(f, rng);
      for (std::size_t k = 1; k < pw[l].size(); ++k) pw[l][k] = f.mul(pw[l][k - 1], x);
    }
    auto ua = images(A, da), ub = images(B, db);
    for (std::size_t i = 0; i < n; ++i) {
      if (!open[i]) continue;
      Dense<F>::trim(ua[i]);
      Dense<F>::trim(ub[i]);
      // a point where a leading coefficient vanishes bounds nothing
      if (static_cast<std::int32_t>(ua[i].size()) != da[i] + 1 ||
          static_cast<std::int32_t>(ub[i].size()) != db[i] + 1)
        continue;
      (*bounds)[i] = static_cast<std::int32_t>(Dense<F>::gcd(f, ua[i], ub[i]).size()) - 1;
      open[i] = false;
    }
  }
  return std::none_of(open.begin(), open.end(), [](bool o) { return o; });
}

template <class F>
engine_status field_gcd(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, Rng& rng,
                        MPoly* G, bool verify, ZippelPlan* plan, Cofactors* cof,
                        const std::vector<std::int32_t>* known) {
  if (cof != nullptr) cof->found = false;
  if (A.empty() || B.empty()) {
    *G = A.empty() ? B : A;
    make_monic(f, G);
    return engine_status::done;
  }
  if (is_constant(A) || is_constant(B)) {
    *G = one_poly();
    return engine_status::done;
  }
  if (A.size() == 1 || B.size() == 1) {
    // a monomial: the least exponents of the two
    const MPoly& m = A.size() == 1 ? A : B;
    const MPoly& o = A.size() == 1 ? B : A;
    std::uint64_t key = 0;
    for (int v = 0; v < lay.nvars; ++v) {
      std::int32_t e = lay.exponent(m.key[0], v);
      for (std::size_t i = 0; i < o.size() && e > 0; ++i)
        e = std::min(e, lay.exponent(o.key[i], v));
      key += static_cast<std::uint64_t>(e) * lay.unit(v);
    }
    G->clear();
    G->push(key, 1);
    return engine_status::done;
  }
  std::vector<std::int32_t> bounds;
  // the bounds prove a GCD 1 at once; small problems look for that first
  if (known != nullptr) {
    bounds = *known;
  } else if (verify || A.size() + B.size() <= small_gcd_terms) {
    if (!degree_bounds(f, lay, A, B, rng, &bounds)) return engine_status::failed;
    if (std::all_of(bounds.begin(), bounds.end(), [](std::int32_t b) { return b == 0; })) {
      *G = one_poly();
      return engine_status::done;
    }
  }
  for (int attempt = 0; attempt < 4; ++attempt) {
    const engine_status st =
        candidate(f, lay, A, B, rng, G, plan, bounds.empty() ? nullptr : &bounds);
    if (st == engine_status::out_of_points) return st;
    if (st != engine_status::done) {
      if (plan != nullptr) *plan = ZippelPlan();
      continue;
    }
    if (!verify) return st;
    if (degrees_of(lay, *G) != bounds) continue;
    const MPoly& small = A.size() <= B.size() ? A : B;
    const MPoly& large = A.size() <= B.size() ? B : A;
    MPoly qs, ql;
    if (mpoly_divides(f, lay, small, *G, &qs) && mpoly_divides(f, lay, large, *G, &ql)) {
      if (cof != nullptr) {
        cof->found = true;
        cof->a = std::move(A.size() <= B.size() ? qs : ql);
        cof->b = std::move(A.size() <= B.size() ? ql : qs);
      }
      return st;
    }
  }
  return engine_status::failed;
}

template MPoly reorder<elem>(const Layout&, const MPoly&, const std::vector<int>&);
template engine_status field_gcd<PrimeField>(const PrimeField&, const Layout&, const MPoly&,
                                             const MPoly&, Rng&, MPoly*, bool, ZippelPlan*,
                                             Cofactors*, const std::vector<std::int32_t>*);
template engine_status field_gcd<LogField>(const LogField&, const Layout&, const MPoly&,
                                           const MPoly&, Rng&, MPoly*, bool, ZippelPlan*,
                                           Cofactors*, const std::vector<std::int32_t>*);
template bool degree_bounds<PrimeField>(const PrimeField&, const Layout&, const MPoly&,
                                        const MPoly&, Rng&, std::vector<std::int32_t>*);
template bool degree_bounds<LogField>(const LogField&, const Layout&, const MPoly&, const MPoly&,
                                      Rng&, std::vector<std::int32_t>*);

}  // namespace tavrin::flat
