// The modular interpolation over an extension field, for a prime modulus
// with fewer elements than the points a degree needs (see lagrange_impl.h).
//
// GF(p^k) is built as GF(p)[X] / f, f monic of degree k with X of order
// p^k - 1 (so f is irreducible and X generates the multiplicative group).
// An element is its discrete logarithm to the base X, 0 .. p^k - 2, and
// p^k - 1 stands for zero: a product is a sum of logarithms, a sum goes
// through Zech's table, zech[d] = log(1 + X^d). The tables have p^k
// entries; k is the least with p^k above every degree bound + 1, so they
// stay small (64 or 81 elements for degree 50 modulo 2 or 3).
//
// The points are X^0, X^1, ...; one variable a level as in mod_det, but a
// bound on the total degree decides how many points each coefficient needs
// (SimplexDet), so the determinants taken are about the monomials of that
// total degree rather than the box of the degrees in each variable.
#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "det/lagrange_impl.h"
#include "det/lagrange_ring.h"

namespace tavrin::lagrange {

namespace {

// The most elements of an extension field the route builds.
constexpr std::uint32_t ext_field_most = std::uint32_t{1} << 20;

struct ExtRing {
  std::uint32_t order = 1;                      // p^k - 1, also the logarithm of zero
  std::uint32_t half = 0;                       // log(-1)
  std::vector<std::uint32_t> zech, power, log;  // power: X^i as base-p digits; log: its inverse

  std::uint32_t zero() const { return order; }
  std::uint32_t one() const { return 0; }
  bool is_zero(std::uint32_t a) const { return a == order; }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const {
    if (a == order || b == order) return order;
    const std::uint32_t s = a + b;
    return s >= order ? s - order : s;
  }
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const {
    if (a == order) return b;
    if (b == order) return a;
    const std::uint32_t z = zech[b >= a ? b - a : b + order - a];
    if (z == order) return order;
    const std::uint32_t s = a + z;
    return s >= order ? s - order : s;
  }
  std::uint32_t neg(std::uint32_t a) const {
    if (a == order) return order;
    const std::uint32_t s = a + half;
    return s >= order ? s - order : s;
  }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return add(a, neg(b)); }
  std::uint32_t inv(std::uint32_t a) const { return a == 0 ? 0 : order - a; }
};

// GF(p^k) of q = p^k elements: tries the monic f of degree k in turn until X
// has order q - 1 modulo f.
ExtRing make_field(std::uint32_t p, std::uint32_t k, std::uint32_t q) {
  ExtRing f;
  f.order = q - 1;
  f.half = p == 2 ? 0 : (q - 1) / 2;
  f.power.assign(q, 0);
  f.log.assign(q, 0);
  std::vector<std::uint32_t> digits(k), low(k);
  for (std::uint32_t code = 1; code < q; ++code) {
    // The low coefficients of f, from the digits of code (constant term not 0).
    if (code % p == 0) continue;
    check_interrupt();
    for (std::uint32_t i = 0, c = code; i < k; ++i, c /= p) low[i] = c % p;
    std::fill(digits.begin(), digits.end(), 0);
    digits[0] = 1;
    bool primitive = true;
    for (std::uint32_t i = 0; i < q - 1 && primitive; ++i) {
      std::uint32_t v = 0;
      for (std::uint32_t j = k; j-- > 0;) v = v * p + digits[j];
      if (i > 0 && v == 1) primitive = false;
      f.power[i] = v;
      // digits := X * digits mod f.
      const std::uint32_t top = digits[k - 1];
      for (std::uint32_t j = k - 1; j > 0; --j)
        digits[j] = (digits[j - 1] + (p - top) * low[j]) % p;
      digits[0] = ((p - top) * low[0]) % p;
    }
    bool back_to_one = digits[0] == 1;
    for (std::uint32_t j = 1; j < k; ++j) back_to_one = back_to_one && digits[j] == 0;
    if (!primitive || !back_to_one) continue;
    for (std::uint32_t i = 0; i < q - 1; ++i) f.log[f.power[i]] = i;
    f.zech.assign(q, f.order);
    for (std::uint32_t d = 0; d < q - 1; ++d) {
      const std::uint32_t v = f.power[d];
      const std::uint32_t w = v - v % p + (v % p + 1) % p;  // 1 + X^d
      f.zech[d] = w == 0 ? f.order : f.log[w];
    }
    return f;
  }
  f.order = 0;  // not reached: primitive polynomials exist for every k
  return f;
}

// The determinant of the m x m matrix a (column by column; destroyed) by
// Gaussian elimination.
std::uint32_t ext_determinant(const ExtRing& r, std::vector<std::uint32_t>& a, std::int32_t m) {
  const auto n = static_cast<std::size_t>(m);
  std::uint32_t det = r.one();
  for (std::size_t k = 0; k < n; ++k) {
    if (k % 64 == 63) check_interrupt();
    std::uint32_t* col = a.data() + k * n;
    std::size_t piv = k;
    while (piv < n && r.is_zero(col[piv])) ++piv;
    if (piv == n) return r.zero();
    if (piv != k) {
      for (std::size_t j = k; j < n; ++j) std::swap(a[j * n + k], a[j * n + piv]);
      det = r.neg(det);
    }
    det = r.mul(det, col[k]);
    const std::uint32_t pinv = r.inv(col[k]);
    // Multipliers -a[i][k] / a[k][k] in place of column k.
    for (std::size_t i = k + 1; i < n; ++i) col[i] = r.neg(r.mul(col[i], pinv));
    for (std::size_t j = k + 1; j < n; ++j) {
      std::uint32_t* cj = a.data() + j * n;
      const std::uint32_t top = cj[k];
      if (r.is_zero(top)) continue;
      for (std::size_t i = k + 1; i < n; ++i)
        if (!r.is_zero(col[i])) cj[i] = r.add(cj[i], r.mul(col[i], top));
    }
  }
  return det;
}

// A polynomial in the variables not yet evaluated: exponent vector (nv
// wide, 0 for the evaluated variables) -> non-zero element.
using Terms = std::map<std::vector<std::int32_t>, std::uint32_t>;

std::int64_t total_degree(const std::vector<std::int32_t>& e) {
  std::int64_t t = 0;
  for (std::int32_t x : e) t += x;
  return t;
}

// The determinant of a matrix whose determinant has total degree at most
// top, one variable a level: with the determinant written as sum r(rest) *
// d_r(v), d_r has degree at most top - deg r, so d_r is known after that
// many + 1 points, and at later points its value is passed down as known
// and the level below looks for a polynomial of lower total degree only.
class SimplexDet {
 public:
  SimplexDet(const ExtRing& r, std::int32_t m, std::int32_t nv, std::vector<std::int32_t> vars,
             std::vector<std::int64_t> bounds)
      : r_(r),
        m_(m),
        nv_(nv),
        vars_(std::move(vars)),
        bounds_(std::move(bounds)),
        origin_(static_cast<std::size_t>(nv), 0) {}

  // out := det(a) - known, whose total degree in vars_[level ..] is at most
  // top (and its degree in each variable at most its bound).
  void run(const std::vector<Flat<std::uint32_t>>& a, std::size_t level, std::int64_t top,
           const Terms& known, Terms& out) {
    out.clear();
    if (level == vars_.size()) {
      std::vector<std::uint32_t> cells(a.size());
      for (std::size_t k = 0; k < a.size(); ++k) cells[k] = a[k].c.empty() ? r_.zero() : a[k].c[0];
      ++lagrange_last.points;
      std::uint32_t d = ext_determinant(r_, cells, m_);
      if (!known.empty()) d = r_.sub(d, known.begin()->second);
      if (!r_.is_zero(d)) out.emplace(origin_, d);
      return;
    }
    const auto v = static_cast<std::size_t>(vars_[level]);
    const std::int64_t b = std::min(bounds_[v], top);
    const Plan pl = make_plan(a, nv_, static_cast<std::int32_t>(v));
    std::vector<Flat<std::uint32_t>> evaluated;
    std::vector<std::uint32_t> powers, scratch;
    // The coefficient (a polynomial in variable v) of each monomial of the
    // other variables: its values at the points so far, or, once it has
    // all it needs, its coefficients from degree 0 up.
    std::map<std::vector<std::int32_t>, std::vector<std::uint32_t>> values, found;
    Terms here, part;
    for (std::int64_t j = 0; j <= b; ++j) {
      check_interrupt();
      const auto y = static_cast<std::uint32_t>(j);
      // What is known at the point: the caller's part and the coefficients
      // found.
      here.clear();
      for (const auto& [e, c] : known) {
        std::vector<std::int32_t> rest = e;
        const std::uint32_t yp = power_of(y, rest[v]);
        rest[v] = 0;
        add_to(here, rest, r_.mul(c, yp));
      }
      for (const auto& [e, coefs] : found) add_to(here, e, horner(coefs, y));
      if (pl.numbers_after && level + 1 == vars_.size()) {
        // The last variable: the entries' values go straight into the matrix.
        powers.assign(static_cast<std::size_t>(pl.max_power) + 1, r_.one());
        for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = r_.mul(powers[k - 1], y);
        scratch.resize(a.size());
        for (std::size_t e = 0; e < a.size(); ++e) {
          std::uint32_t sum = r_.zero();
          for (std::size_t t = pl.term_start[e], i = 0; t < pl.term_start[e + 1]; ++t, ++i)
            sum = r_.add(sum, r_.mul(a[e].c[i], powers[static_cast<std::size_t>(pl.power[t])]));
          scratch[e] = sum;
        }
        ++lagrange_last.points;
        std::uint32_t d = ext_determinant(r_, scratch, m_);
        if (!here.empty()) d = r_.sub(d, here.begin()->second);
        part.clear();
        if (!r_.is_zero(d)) part.emplace(origin_, d);
      } else {
        evaluate(r_, a, pl, nv_, y, powers, scratch, evaluated);
        run(evaluated, level + 1, top - j, here, part);
      }
      for (auto& [e, c] : part) values[e].resize(static_cast<std::size_t>(j), r_.zero());
      for (auto& [e, vals] : values) {
        const auto it = part.find(e);
        vals.resize(static_cast<std::size_t>(j), r_.zero());
        vals.push_back(it == part.end() ? r_.zero() : it->second);
      }
      // Every coefficient whose degree is at most j is now determined.
      for (auto it = values.begin(); it != values.end();) {
        if (j < b && top - total_degree(it->first) > j) {
          ++it;
          continue;
        }
        found.emplace(it->first, interpolate_prefix(std::move(it->second)));
        it = values.erase(it);
      }
    }
    for (const auto& [e, coefs] : found)
      for (std::size_t d = 0; d < coefs.size(); ++d) {
        if (r_.is_zero(coefs[d])) continue;
        std::vector<std::int32_t> x = e;
        x[v] = static_cast<std::int32_t>(d);
        out.emplace(std::move(x), coefs[d]);
      }
  }

 private:
  std::uint32_t power_of(std::uint32_t y, std::int32_t e) const {
    return e == 0 ? r_.one()
                  : static_cast<std::uint32_t>((std::uint64_t{y} * static_cast<std::uint64_t>(e)) %
                                               r_.order);
  }
  void add_to(Terms& t, const std::vector<std::int32_t>& e, std::uint32_t c) const {
    if (r_.is_zero(c)) return;
    auto [it, fresh] = t.emplace(e, c);
    if (fresh) return;
    it->second = r_.add(it->second, c);
    if (r_.is_zero(it->second)) t.erase(it);
  }
  std::uint32_t horner(const std::vector<std::uint32_t>& coefs, std::uint32_t y) const {
    std::uint32_t s = r_.zero();
    for (std::size_t d = coefs.size(); d-- > 0;) s = r_.add(r_.mul(s, y), coefs[d]);
    return s;
  }
  // The coefficients of the polynomial of degree < n taking the n values
  // at X^0 .. X^(n-1), by Newton's divided differences (an inverse is a
  // negated logarithm).
  std::vector<std::uint32_t> interpolate_prefix(std::vector<std::uint32_t> c) const {
    const std::size_t n = c.size();
    for (std::size_t j = 1; j < n; ++j)
      for (std::size_t i = n - 1; i >= j; --i) {
        const auto xi = static_cast<std::uint32_t>(i), xk = static_cast<std::uint32_t>(i - j);
        c[i] = r_.mul(r_.sub(c[i], c[i - 1]), r_.inv(r_.sub(xi, xk)));
      }
    std::vector<std::uint32_t> coefs(n, r_.zero());
    for (std::size_t i = n; i-- > 0;) {
      // coefs := coefs * (Y - X^i) + c[i]
      const auto xi = static_cast<std::uint32_t>(i);
      for (std::size_t k = n - 1; k > 0; --k) coefs[k] = r_.sub(coefs[k - 1], r_.mul(xi, coefs[k]));
      coefs[0] = r_.add(r_.neg(r_.mul(xi, coefs[0])), c[i]);
    }
    while (!coefs.empty() && r_.is_zero(coefs.back())) coefs.pop_back();
    return coefs;
  }

  const ExtRing& r_;
  std::int32_t m_, nv_;
  std::vector<std::int32_t> vars_;
  std::vector<std::int64_t> bounds_;
  std::vector<std::int32_t> origin_;
};

}  // namespace

bool ext_field_det(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                   Flat<std::uint32_t>& out) {
  const auto p = static_cast<std::uint32_t>(modulus);
  // Degree bounds in each variable and in all together (max-plus).
  std::vector<std::int64_t> bounds(static_cast<std::size_t>(nv), 0);
  std::vector<std::int32_t> vars;
  std::vector<std::int64_t> D(a.size());
  auto bound_of = [&](auto&& degree) {
    for (std::int32_t c = 0; c < m; ++c)
      for (std::int32_t r = 0; r < m; ++r)
        D[static_cast<std::size_t>(r * m + c)] = degree(a[static_cast<std::size_t>(c * m + r)]);
    return compute_degree(D.data(), m);
  };
  std::int64_t widest = 1;
  for (std::int32_t v = 0; v < nv; ++v) {
    bounds[static_cast<std::size_t>(v)] =
        bound_of([v](const Flat<std::uint32_t>& e) { return e.degree_in(v); });
    bool occurs = false;
    for (const auto& e : a) occurs = occurs || (!e.c.empty() && e.degree_in(v) > 0);
    if (occurs) vars.push_back(v);
    widest = std::max(widest, bounds[static_cast<std::size_t>(v)]);
  }
  const std::int64_t top = bound_of([](const Flat<std::uint32_t>& e) {
    std::int64_t d = e.c.empty() ? lagrange_zero_entry : 0;
    for (std::size_t t = 0; t < e.c.size(); ++t) {
      std::int64_t s = 0;
      for (std::size_t k = 0; k < e.nv; ++k) s += e.exp(t)[k];
      d = std::max(d, s);
    }
    return d;
  });
  // The least field with more than widest + 1 elements.
  std::uint32_t k = 1, q = p;
  while (q <= static_cast<std::uint64_t>(widest) + 1) {
    if (std::uint64_t{q} * p > ext_field_most) return false;
    q *= p;
    ++k;
  }
  const ExtRing r = make_field(p, k, q);
  if (r.order == 0) return false;
  std::vector<Flat<std::uint32_t>> b(a.size());
  for (std::size_t e = 0; e < a.size(); ++e)
    for (std::size_t t = 0; t < a[e].c.size(); ++t)
      b[e].push(a[e].exp(t), nv, r.log[a[e].c[t] % p]);
  Terms f;
  SimplexDet(r, m, nv, vars, bounds).run(b, 0, std::max<std::int64_t>(top, 1), Terms{}, f);
  // Back to residues: a determinant over GF(p) has its coefficients there.
  out.clear();
  for (const auto& [e, c] : f) {
    const std::uint32_t x = r.power[c];
    if (x >= p) return false;
    out.push(e.data(), nv, x);
  }
  return true;
}

}  // namespace tavrin::lagrange
