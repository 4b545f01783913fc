// The residue rings, the evaluation plans and the Lagrange interpolation
// step shared by the dense and the sparse interpolation drivers.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <type_traits>
#include <vector>

#include "core/records.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "det/lagrange_impl.h"

namespace tavrin::lagrange {

// Residue arithmetic modulo p through the kit's fields: WordField, or in
// characteristic 2 (char2) the field of p = 256 or 65536 elements, whose
// sums are exclusive ors.
template <bool char2>
struct ModField {
  using Kit = std::conditional_t<char2, Char2Field, WordField>;
  static Kit make(std::uint32_t q) {
    if constexpr (char2) {
      return Char2Field(static_cast<std::int32_t>(q));
    } else {
      return WordField(q < 2 ? 2 : q);
    }
  }
  std::uint32_t p = 2;
  Kit kit = make(p);
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const { return kit.add(a, b); }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return kit.sub(a, b); }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const { return kit.mul(a, b); }
  // x mod p for any 64-bit x (not in characteristic 2).
  std::uint32_t reduce(std::uint64_t x) const { return kit.reduce(x); }
  std::uint32_t inv(std::uint32_t a) const { return kit.inv(a); }
};

// For one variable: every entry split into the monomials of the other
// variables (its "slots") and, per term, the slot and the exponent of the
// variable. Evaluating at a point is then one pass over the terms.
struct Plan {
  std::vector<std::int32_t> slot_of_term;
  std::vector<std::int32_t> power;
  std::vector<std::size_t> term_start;  // per entry
  std::vector<std::size_t> slot_start;  // per entry
  std::vector<std::int32_t> slot_exps;  // nv per slot, the variable's exponent 0
  std::int32_t max_power = 0;
  bool numbers_after = true;  // every entry is in the variable alone
};

template <class C>
Plan make_plan(const std::vector<Flat<C>>& a, std::int32_t nv, std::int32_t v) {
  Plan pl;
  const auto w = static_cast<std::size_t>(nv);
  std::vector<std::int32_t> key(w);
  for (const auto& e : a) {
    pl.term_start.push_back(pl.power.size());
    pl.slot_start.push_back(pl.slot_exps.size() / w);
    const auto first = static_cast<std::int32_t>(pl.slot_exps.size() / w);
    // Entries in the variable alone (the common case at the last level)
    // have one slot and need no lookup.
    bool alone = true;
    for (std::size_t t = 0; t < e.c.size() && alone; ++t)
      for (std::size_t k = 0; k < w; ++k)
        if (k != static_cast<std::size_t>(v) && e.exp(t)[k] != 0) {
          alone = false;
          break;
        }
    pl.numbers_after = pl.numbers_after && alone;
    if (alone) {
      if (!e.c.empty()) pl.slot_exps.insert(pl.slot_exps.end(), w, 0);
      for (std::size_t t = 0; t < e.c.size(); ++t) {
        pl.slot_of_term.push_back(first);
        pl.power.push_back(e.exp(t)[v]);
        pl.max_power = std::max(pl.max_power, e.exp(t)[v]);
      }
      continue;
    }
    std::map<std::vector<std::int32_t>, std::int32_t> slots;
    for (std::size_t t = 0; t < e.c.size(); ++t) {
      const std::int32_t* x = e.exp(t);
      std::copy(x, x + w, key.begin());
      key[static_cast<std::size_t>(v)] = 0;
      auto [it, fresh] = slots.emplace(key, 0);
      if (fresh) {
        it->second = static_cast<std::int32_t>(pl.slot_exps.size() / w) - first;
        pl.slot_exps.insert(pl.slot_exps.end(), key.begin(), key.end());
      }
      pl.slot_of_term.push_back(first + it->second);
      pl.power.push_back(x[v]);
      pl.max_power = std::max(pl.max_power, x[v]);
    }
  }
  pl.term_start.push_back(pl.power.size());
  pl.slot_start.push_back(pl.slot_exps.size() / w);
  return pl;
}

// The shallowest variable with a non-zero exponent in some entry; -1: none.
template <class C>
std::int32_t shallowest(const std::vector<Flat<C>>& a, std::int32_t nv) {
  std::int32_t best = nv;
  for (const auto& e : a)
    for (std::size_t t = 0; t < e.c.size(); ++t) {
      const std::int32_t* x = e.exp(t);
      for (std::int32_t k = 0; k < best; ++k)
        if (x[k] != 0) {
          best = k;
          break;
        }
    }
  return best == nv ? -1 : best;
}

// The Lagrange basis of the points, n = pts.size(): entry d * n + i is the
// coefficient of X^d in w_i f / (X - a_i), where f = prod (X - a_j) and
// w_i = 1 / prod_{j != i} (a_i - a_j).
template <class R, class C>
std::vector<C> lagrange_basis(const R& ring, const std::vector<C>& pts) {
  const std::size_t n = pts.size();
  // f = prod (X - a), low coefficient first.
  std::vector<C> f(1, ring.one());
  for (const C& a : pts) {
    std::vector<C> g(f.size() + 1, ring.zero());
    for (std::size_t k = 0; k < f.size(); ++k) {
      g[k + 1] = ring.add(g[k + 1], f[k]);
      g[k] = ring.sub(g[k], ring.mul(f[k], a));
    }
    f.swap(g);
  }
  std::vector<C> basis(n * n);
  // w_i = 1 / prod_{j != i} (a_i - a_j), all from one inverse.
  std::vector<C> w_all(n), prefix(n + 1, ring.one());
  for (std::size_t i = 0; i < n; ++i) {
    C prod = ring.one();
    for (std::size_t j = 0; j < n; ++j)
      if (j != i) prod = ring.mul(prod, ring.sub(pts[i], pts[j]));
    w_all[i] = prod;
    prefix[i + 1] = ring.mul(prefix[i], prod);
  }
  // (Long doubles are inverted one by one: the running product could overflow.)
  if constexpr (std::is_floating_point_v<C>) {
    for (std::size_t i = 0; i < n; ++i) w_all[i] = ring.inv(w_all[i]);
  } else {
    C back = ring.inv(prefix[n]);
    for (std::size_t i = n; i-- > 0;) {
      const C wi = ring.mul(back, prefix[i]);
      back = ring.mul(back, w_all[i]);
      w_all[i] = wi;
    }
  }
  for (std::size_t i = 0; i < n; ++i) {
    const C wi = w_all[i];
    C carry = ring.zero();
    for (std::size_t k = n; k-- > 0;) {
      carry = ring.add(f[k + 1], ring.mul(carry, pts[i]));
      basis[k * n + i] = ring.mul(carry, wi);
    }
  }
  return basis;
}

template <bool char2>
struct ModRing;

// Interpolation from images at n points with their basis (lagrange_basis):
// the coefficient of X^d of each monomial of the other variables (its
// "slot") is sum_i y_i basis[d * n + i]. out: the terms in ascending order
// of the slots' exponents, each slot from its top power down.
template <class R, class C>
void interpolate_on(const R& ring, const std::vector<C>& basis, std::size_t n,
                    const std::vector<Flat<C>>& images, std::int32_t nv, std::int32_t v,
                    Flat<C>& out) {
  const auto w = static_cast<std::size_t>(nv);
  // Every term of every image, grouped by its exponents.
  struct Term {
    const std::int32_t* e;
    std::uint32_t i;
    C y;
  };
  std::vector<Term> terms;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& img = images[i];
    for (std::size_t t = 0; t < img.c.size(); ++t)
      terms.push_back({img.exp(t), static_cast<std::uint32_t>(i), img.c[t]});
  }
  std::stable_sort(terms.begin(), terms.end(), [w](const Term& a, const Term& b) {
    return std::lexicographical_compare(a.e, a.e + w, b.e, b.e + w);
  });
  out.clear();
  std::vector<C> ys(n), acc(n);
  std::vector<std::int32_t> e(w);
  [[maybe_unused]] int limbs = 0;  // of the word dot products below
  if constexpr (std::is_same_v<R, ModRing<false>>) limbs = dot_limbs(n, ring.f.kit);
  for (std::size_t lo = 0; lo < terms.size();) {
    std::size_t hi = lo + 1;
    while (hi < terms.size() && std::equal(terms[lo].e, terms[lo].e + w, terms[hi].e)) ++hi;
    std::fill(ys.begin(), ys.end(), ring.zero());
    for (std::size_t k = lo; k < hi; ++k) ys[terms[k].i] = terms[k].y;
    for (std::size_t d = 0; d < n; ++d) {
      const C* row = basis.data() + d * n;
      if constexpr (std::is_same_v<R, ModRing<false>>) {
        acc[d] = word_dot(ring.f.kit, ys.data(), row, n, limbs);
      } else {
        C sum = ring.zero();
        for (std::size_t i = 0; i < n; ++i)
          if (!ring.is_zero(ys[i])) sum = ring.add(sum, ring.mul(ys[i], row[i]));
        acc[d] = sum;
      }
    }
    std::copy(terms[lo].e, terms[lo].e + w, e.begin());
    for (std::size_t d = n; d-- > 0;) {
      if (ring.is_zero(acc[d])) continue;
      e[static_cast<std::size_t>(v)] = static_cast<std::int32_t>(d);
      out.push(e.data(), nv, acc[d]);
    }
    lo = hi;
  }
}

// Interpolation from images at the points (see interpolate_on).
template <class R, class C>
void interpolate(const R& ring, const std::vector<C>& pts, const std::vector<Flat<C>>& images,
                 std::int32_t nv, std::int32_t v, Flat<C>& out) {
  interpolate_on(ring, lagrange_basis(ring, pts), pts.size(), images, nv, v, out);
}

template <class R, class C>
void evaluate(const R& ring, const std::vector<Flat<C>>& a, const Plan& pl, std::int32_t nv,
              C point, std::vector<C>& powers, std::vector<C>& scratch, std::vector<Flat<C>>& out) {
  powers.assign(static_cast<std::size_t>(pl.max_power) + 1, ring.one());
  for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = ring.mul(powers[k - 1], point);
  const auto w = static_cast<std::size_t>(nv);
  out.resize(a.size());
  for (std::size_t e = 0; e < a.size(); ++e) {
    const std::size_t s0 = pl.slot_start[e], s1 = pl.slot_start[e + 1];
    scratch.assign(s1 - s0, ring.zero());
    for (std::size_t t = pl.term_start[e], k = 0; t < pl.term_start[e + 1]; ++t, ++k)
      scratch[static_cast<std::size_t>(pl.slot_of_term[t]) - s0] =
          ring.add(scratch[static_cast<std::size_t>(pl.slot_of_term[t]) - s0],
                   ring.mul(a[e].c[k], powers[static_cast<std::size_t>(pl.power[t])]));
    out[e].clear();
    for (std::size_t s = s0; s < s1; ++s)
      if (!ring.is_zero(scratch[s - s0]))
        out[e].push(pl.slot_exps.data() + s * w, nv, scratch[s - s0]);
  }
}

template <bool char2>
struct ModRing {
  ModField<char2> f;
  std::uint32_t zero() const { return 0; }
  std::uint32_t one() const { return 1; }
  bool is_zero(std::uint32_t a) const { return a == 0; }
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const { return f.add(a, b); }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return f.sub(a, b); }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const { return f.mul(a, b); }
  std::uint32_t inv(std::uint32_t a) const { return f.inv(a); }
};

// The value at one point of an entry in the variable alone: the sum of its
// n coefficients c[t] times powers[power[t]] (the point's powers). In
// characteristic 2 the products are summed by exclusive or; otherwise by
// word_dot, reduced once.
template <bool char2>
inline std::uint32_t entry_at_point(const ModRing<char2>& ring, const std::uint32_t* c,
                                    const std::int32_t* power, std::size_t n,
                                    const std::vector<std::uint32_t>& powers) {
  if constexpr (char2) {
    std::uint32_t sum = 0;
    for (std::size_t t = 0; t < n; ++t)
      sum ^= ring.mul(c[t], powers[static_cast<std::size_t>(power[t])]);
    return sum;
  } else {
    return word_dot(ring.f.kit, n, dot_limbs(n, ring.f.kit), [c, power, &powers](std::size_t t) {
      return std::uint64_t{c[t]} * powers[static_cast<std::size_t>(power[t])];
    });
  }
}

}  // namespace tavrin::lagrange
