// The distinct-degree and equal-degree stages over a prime field on
// residue vectors (factor_impl.h).
//
// Distinct degrees (baby steps and giant steps): with h_j = t^(p^j) mod v
// for j <= l and H_i = t^(p^(l i)), every irreducible factor of v of
// degree d in (l(i-1), l i] divides H_i - h_(l i - d), so gcd(prod_(j<l)
// (H_i - h_j), v) is the product of the factors of degrees in that
// interval (those of lower degrees having been divided out). The baby
// steps are powers (h_(j+1) = h_j^p), the giant steps compositions
// (H_(i+1) = H_i(H_1), one table of powers of H_1), the products taken by
// prepared factors. A product found is split by degree, lowest first, by
// gcd(H_i - h_j, product); what is left once every degree up to half of it
// has been examined is irreducible.
//
// Equal degrees (Cantor and Zassenhaus): for a trial r, odd p, r^((p^d -
// 1)/2) = T^((p - 1)/2) with T = r r^p ... r^(p^(d-1)) mod g; T by
// doubling, T_(2a) = T_a T_a(X_a), T_(a+1) = r T_a(t^p), X_a = t^(p^a), the
// compositions by tables of their inner polynomials. p = 2: the trace r +
// r^2 + ... + r^(2^(d-1)) by squarings.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "factor/factor_impl.h"

namespace tavrin::detail {

namespace {

DensePoly quotient(const DensePoly& b, const DensePoly& a, std::int32_t p) {
  DensePoly q;
  dense_divrem(b, a, p, &q, nullptr);
  return q;
}

DensePoly remainder(const DensePoly& b, const DensePoly& a, std::int32_t p) {
  DensePoly r;
  dense_divrem(b, a, p, nullptr, &r);
  return r;
}

DensePoly negated(DensePoly a, std::int32_t p) {
  for (auto& c : a) c = c == 0 ? 0 : p - c;
  return a;
}

// The table size of a composer serving `uses` compositions modulo a
// polynomial of degree n: about sqrt(n uses), the matrix at most 2^24
// words.
std::int32_t table_size(std::int32_t n, std::int64_t uses) {
  const double k = std::ceil(
      std::sqrt(static_cast<double>(n) * static_cast<double>(std::max<std::int64_t>(uses, 1))));
  const double cap = static_cast<double>(1 << 24) / static_cast<double>(std::max(n, 1));
  return static_cast<std::int32_t>(std::max(1.0, std::min({k, cap, static_cast<double>(n)})));
}

}  // namespace

namespace {

// The baby and giant steps modulo the current modulus: a multiple of the
// part still to split, replaced by it when that shrinks to half the
// transform length.
class Steps {
 public:
  Steps(const DensePoly& v, const DensePoly& xp, std::int32_t p, std::int32_t l, std::int32_t bound)
      : p_(p), l_(l), bound_(bound), uses_((bound + l - 1) / l - 1) {
    m_ = std::make_unique<PolyModulus>(v, p);
    baby_.push_back(m_->reduce(DensePoly{0, 1}));
    baby_.push_back(xp);
    while (static_cast<std::int32_t>(baby_.size()) <= l) {
      check_interrupt();
      baby_.push_back(m_->power(baby_.back(), static_cast<std::uint64_t>(p)));
    }
    prepare();
  }

  const PolyModulus& modulus() const { return *m_; }
  const DensePoly& giant() const { return giant_; }
  const DensePoly& baby(std::int32_t j) const { return baby_[static_cast<std::size_t>(j)]; }

  // Modulo rest from now on, when that halves the transforms.
  void shrink_to(const DensePoly& rest, std::int32_t done) {
    const std::int32_t n = m_->degree(), r = dense_degree(rest);
    if (r < 1 || dense_detail::transform_lg(2 * std::int64_t{r}) >=
                     dense_detail::transform_lg(2 * std::int64_t{n}))
      return;
    m_ = std::make_unique<PolyModulus>(rest, p_);
    for (DensePoly& b : baby_) b = m_->reduce(std::move(b));
    giant_ = m_->reduce(std::move(giant_));
    next_.reset();
    uses_ = (std::min(bound_, r / 2) - done + l_ - 1) / l_;
    prepare();
  }

  // H_i: the first call gives H_1 = t^(p^l), each later one the next.
  void next_giant() {
    if (giant_.empty()) {
      giant_ = baby_[static_cast<std::size_t>(l_)];
      return;
    }
    if (!next_)
      next_ = std::make_unique<Composer>(baby_[static_cast<std::size_t>(l_)], *m_,
                                         table_size(m_->degree(), uses_));
    giant_ = next_->compose(giant_);
  }

  // prod_(j < l) (H_i - h_j) modulo the current modulus.
  DensePoly interval_product() {
    const FixedFactor by_giant(giant_, *m_);
    DensePoly product = dense_sub(giant_, baby_[0], p_);
    for (std::int32_t j = 1; j < l_ && !product.empty(); ++j) {
      product = FixedFactor::sum(by_giant, minus_baby_[static_cast<std::size_t>(j)]).times(product);
      check_interrupt();
    }
    return product;
  }

 private:
  void prepare() {
    minus_baby_.clear();
    for (std::int32_t j = 0; j < l_; ++j)
      minus_baby_.emplace_back(negated(baby_[static_cast<std::size_t>(j)], p_), *m_);
  }

  std::int32_t p_, l_, bound_;
  std::int64_t uses_;
  std::unique_ptr<PolyModulus> m_;
  std::vector<DensePoly> baby_;
  std::vector<FixedFactor> minus_baby_;
  DensePoly giant_;
  std::unique_ptr<Composer> next_;
};

// Splits the product g of the factors of degrees lo .. hi (the interval of
// the giant step H): the factors of degree d divide H - h_(hi - d). Links
// each degree's product, lowest first, into *out; with leave_early only the
// first.
void split_interval(DensePoly g, std::int32_t lo, std::int32_t hi, const DensePoly& giant,
                    const Steps& steps, std::int32_t p, bool leave_early,
                    std::vector<DegreeProduct>* out) {
  for (std::int32_t d = lo; d <= hi && dense_degree(g) > 0; ++d) {
    if (dense_degree(g) < 2 * d) {  // one factor left
      const std::int32_t e = dense_degree(g);
      out->push_back({std::move(g), e});
      return;
    }
    const DensePoly t = remainder(dense_sub(giant, steps.baby(hi - d), p), g, p);
    DensePoly s = dense_gcd(t, g, p);
    if (dense_degree(s) <= 0) continue;
    g = quotient(g, s, p);
    out->push_back({std::move(s), d});
    if (leave_early) return;
  }
}

// Interval products wait for one GCD with the rest this many at a time.
constexpr std::size_t gcd_batch = 4;

}  // namespace

std::vector<DegreeProduct> distinct_degree_residues(const DensePoly& v, std::int32_t p,
                                                    bool leave_early, DensePoly* xp) {
  const std::int32_t n = dense_degree(v);
  std::vector<DegreeProduct> out;
  *xp = PolyModulus(v, p).power_of_t(static_cast<std::uint64_t>(p));
  const std::int32_t bound = n / 2;
  if (bound == 0) {
    out.push_back({v, n});
    return out;
  }
  const auto l = static_cast<std::int32_t>(std::ceil(std::sqrt(static_cast<double>(bound))));
  Steps steps(v, *xp, p, l, bound);
  DensePoly rest = v;
  struct Pending {
    DensePoly product, giant;
    std::int32_t done;
  };
  std::vector<Pending> pending;
  DensePoly all;  // the product of the pending products
  for (std::int32_t done = 0;;) {
    // The rest has no factor of degree <= done once the pending products
    // are settled: it is irreducible below degree 2 (done + 1).
    const bool beyond = 2 * (done + 1) > dense_degree(rest);
    if (pending.empty() && beyond) break;
    if (!pending.empty() && (pending.size() == gcd_batch || beyond)) {
      const DensePoly g = dense_gcd(all, rest, p);
      std::vector<Pending> batch = std::move(pending);
      pending.clear();
      if (dense_degree(g) <= 0) continue;
      // Each factor goes to the first interval whose product it divides,
      // that of its degree.
      DensePoly found = g;
      for (Pending& b : batch) {
        if (dense_degree(found) <= 0) break;
        DensePoly gi = dense_gcd(remainder(b.product, found, p), found, p);
        if (dense_degree(gi) <= 0) continue;
        found = quotient(found, gi, p);
        rest = quotient(rest, gi, p);
        const std::size_t before = out.size();
        split_interval(std::move(gi), b.done + 1, b.done + l, b.giant, steps, p, leave_early, &out);
        if (leave_early && out.size() > before) return out;
      }
      steps.shrink_to(rest, batch.back().done + l);
      continue;
    }
    steps.next_giant();
    DensePoly product = steps.interval_product();
    all = pending.empty() ? product : steps.modulus().mul(all, product);
    pending.push_back({std::move(product), steps.giant(), done});
    done += l;
  }
  if (dense_degree(rest) > 0) {
    const std::int32_t e = dense_degree(rest);
    out.push_back({std::move(rest), e});
  }
  return out;
}

namespace {

// T = r r^p ... r^(p^(d-1)) mod g (r reduced, d >= 1).
DensePoly norm_product(const DensePoly& r, std::int32_t d, const DensePoly& xp,
                       const PolyModulus& M, std::int32_t p) {
  const std::int32_t n = M.degree();
  if (d <= 8) {
    DensePoly y = r, t = r;
    for (std::int32_t i = 1; i < d; ++i) {
      y = M.power(y, static_cast<std::uint64_t>(p));
      t = M.mul(t, y);
    }
    return t;
  }
  int bit = 30;
  while (((d >> bit) & 1) == 0) --bit;
  DensePoly x = xp, t = r;
  std::unique_ptr<Composer> by_xp;
  for (--bit; bit >= 0; --bit) {
    check_interrupt();
    const Composer by_x(x, M, table_size(n, 2));
    std::vector<DensePoly> c = by_x.compose(std::vector<DensePoly>{t, x});
    t = M.mul(t, c[0]);
    x = std::move(c[1]);
    if (((d >> bit) & 1) == 0) continue;
    if (!by_xp) by_xp = std::make_unique<Composer>(xp, M, table_size(n, 2 * bit + 2));
    c = by_xp->compose(std::vector<DensePoly>{t, x});
    t = M.mul(r, c[0]);
    x = std::move(c[1]);
  }
  return t;
}

struct EqualDegree {
  std::int32_t d;
  std::int32_t p;
  bool random;
  const TrialSource& draw;
  std::vector<DensePoly>* out;

  void split(const DensePoly& g, const DensePoly& xp) {
    if (dense_degree(g) / d == 1) {
      out->push_back(g);
      return;
    }
    const PolyModulus M(g, p);
    DensePoly r = p == 2 && !random ? DensePoly{0, 1} : DensePoly{};
    const DensePoly t2 = M.reduce(DensePoly{0, 0, 1});
    for (bool first = true;; first = false) {
      check_interrupt();
      DensePoly w;
      if (p != 2) {
        r = draw(2 * d - 1);
        w = M.power(norm_product(r, d, xp, M, p), static_cast<std::uint64_t>(p - 1) / 2);
        w = dense_sub(w, DensePoly{1}, p);
      } else {
        if (random) {
          r = M.reduce(draw(2 * d));
        } else if (!first) {
          r = M.mul(r, t2);
        }
        DensePoly power = M.reduce(r);
        w = power;
        for (std::int32_t i = 1; i < d; ++i) {
          power = M.sqr(power);
          w = dense_add(w, power, p);
        }
      }
      if (dense_degree(w) <= 0) continue;
      DensePoly s = dense_gcd(w, g, p);
      if (dense_degree(s) <= 0 || dense_degree(s) >= dense_degree(g)) continue;
      const DensePoly rest = quotient(g, s, p);
      split(s, remainder(xp, s, p));
      split(rest, remainder(xp, rest, p));
      return;
    }
  }
};

}  // namespace

void equal_degree_residues(const DensePoly& g, std::int32_t d, const DensePoly& xp, std::int32_t p,
                           bool random, const TrialSource& draw, std::vector<DensePoly>* out) {
  EqualDegree{d, p, random, draw, out}.split(g, xp);
}

}  // namespace tavrin::detail
