// Roots and exponent shrinks of polynomials in the quotient ring (see
// poly_quotient_root.h).
#include "poly/poly_quotient_root.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/ring.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_add.h"
#include "poly/poly_impl.h"
#include "poly/poly_modout.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "poly/poly_root.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

using Exps = std::vector<std::int32_t>;  // one exponent per level, from the top

// Beyond these the routines give up: the dimension N of A, the side of the
// linear systems, and the length of a Frobenius cycle.
constexpr std::int64_t dimension_cap = std::int64_t{1} << 20;
constexpr std::int64_t system_cap = 512;
constexpr std::int32_t cycle_cap = 4096;

// Polynomials owned by a list, freed on every exit.
class PolyList {
 public:
  PolyList() = default;
  PolyList(const PolyList&) = delete;
  PolyList& operator=(const PolyList&) = delete;
  ~PolyList() {
    for (poly& p : items_) free_poly(&p);
  }
  void push(poly p) { items_.push_back(p); }
  poly operator[](std::size_t i) const { return items_[i]; }
  poly back() const { return items_.back(); }

 private:
  std::vector<poly> items_;
};

bool modular_ring(const Ring& ring) { return ring.modular && mod_is_prime && !ring.flote; }
bool integer_ring(const Ring& ring) { return !ring.flote && !ring.lint && !ring.modular; }

// The characteristic: the prime modulus, or 2 in GF(2^8) and GF(2^16).
std::int32_t characteristic(const Ring& ring) { return ring.char2 ? 2 : ring.modulus; }

// ---- The levels and the coordinates of A ---------------------------------------------

struct Levels {
  std::vector<bool> modded;          // the level has a relation
  std::vector<std::int32_t> expon;   // its degree
  std::vector<std::int64_t> stride;  // its place in the coordinates of A
  std::int64_t dim = 1;              // N
  std::size_t size() const { return modded.size(); }
};

// Calls f(e, leaf) for every leaf of p, a list at level `level` (0 the top):
// e the exponents of the leaf's monomial, 0 from the leaf's own level down.
template <class F>
void for_each_term(poly p, Exps& e, std::size_t level, F& f) {
  for (poly t = p; t != nullptr; t = t->next) {
    if (t->numb) {
      std::fill(e.begin() + static_cast<std::ptrdiff_t>(std::min(level, e.size())), e.end(), 0);
      f(e, t);
      continue;
    }
    e[level] = t->exp;
    for_each_term(t->pcoef, e, level + 1, f);
  }
}

// *lv := the levels of polynames; false when no level has a relation, a
// relation involves a free level, or N exceeds dimension_cap.
bool read_levels(Levels* lv) {
  for (polypt r = polynames; r != nullptr; r = r->next) {
    lv->modded.push_back(r->p != nullptr);
    lv->expon.push_back(r->expon);
  }
  const std::size_t n = lv->size();
  lv->stride.assign(n, 0);
  if (std::find(lv->modded.begin(), lv->modded.end(), true) == lv->modded.end()) return false;
  std::size_t l = 0;
  for (polypt r = polynames; r != nullptr; r = r->next, ++l) {
    if (r->p == nullptr || is_bare_leaf(r->p)) continue;
    bool clean = true;
    auto only_modded = [&](const Exps& e, poly) {
      for (std::size_t k = l + 1; k < n; ++k)
        if (e[k] != 0 && !lv->modded[k]) clean = false;
    };
    Exps e(n, 0);
    for_each_term(r->p, e, l, only_modded);
    if (!clean) return false;
  }
  std::int64_t d = 1;
  for (std::size_t k = n; k-- > 0;) {
    if (!lv->modded[k]) continue;
    if (lv->expon[k] < 1) return false;
    lv->stride[k] = d;
    d *= lv->expon[k];
    if (d > dimension_cap) return false;
  }
  lv->dim = d;
  return true;
}

// e with the exponents of the modded levels (keep_modded false) or of the
// free levels (true) set to 0.
Exps part_of(const Levels& lv, const Exps& e, bool keep_modded) {
  Exps r(e);
  for (std::size_t l = 0; l < r.size(); ++l)
    if (lv.modded[l] != keep_modded) r[l] = 0;
  return r;
}

// The coordinate of the monomial e of A; -1 when e is not reduced.
std::int64_t coordinate(const Levels& lv, const Exps& e) {
  std::int64_t at = 0;
  for (std::size_t l = 0; l < e.size(); ++l) {
    if (!lv.modded[l]) continue;
    if (e[l] < 0 || e[l] >= lv.expon[l]) return -1;
    at += e[l] * lv.stride[l];
  }
  return at;
}

// The exponents of the basis monomial with coordinate at.
Exps basis_exponents(const Levels& lv, std::int64_t at) {
  Exps e(lv.size(), 0);
  for (std::size_t l = 0; l < e.size(); ++l)
    if (lv.modded[l]) e[l] = static_cast<std::int32_t>(at / lv.stride[l] % lv.expon[l]);
  return e;
}

// A fresh number holding v (a residue modulo a prime).
imptr constant(std::int32_t v) {
  imptr x = nullptr;
  newimag(&x);
  x->flote = 0;
  setvalue(v, x);
  return x;
}

// The monomial with exponents e over a leaf holding n (moved in).
poly monomial(const Exps& e, imptr n) {
  poly t = nodes::new_leaf(n);
  for (std::size_t l = e.size(); l-- > 0;) make_monomial(&t, e[l], t);
  return t;
}

// The monomial with exponents e and coefficient 1.
poly unit_monomial(const Exps& e) { return monomial(e, constant(1)); }

// *key := the greatest (descending) or least free monomial of h (not zero)
// and *coef := its coefficient in A.
void end_free_term(const Levels& lv, poly h, bool descending, Exps* key, poly* coef) {
  Exps e(lv.size(), 0);
  bool first = true;
  auto extreme = [&](const Exps& x, poly) {
    Exps k = part_of(lv, x, false);
    if (first || (descending ? *key < k : k < *key)) *key = std::move(k);
    first = false;
  };
  for_each_term(h, e, 0, extreme);
  OwnedPoly sum;
  poly_set(0, sum.cell());
  auto gather = [&](const Exps& x, poly leaf) {
    if (part_of(lv, x, false) != *key) return;
    poly m = monomial(part_of(lv, x, true), detail::copy_number(leaf->ncoef));
    poly s = sum.release();
    best_poly_add(s, m, sum.cell());
  };
  for_each_term(h, e, 0, gather);
  *coef = sum.release();
}

// The greatest exponent of each free level in h.
Exps free_degrees(const Levels& lv, poly h) {
  Exps high(lv.size(), 0), e(lv.size(), 0);
  auto note = [&](const Exps& x, poly) {
    for (std::size_t l = 0; l < x.size(); ++l)
      if (!lv.modded[l]) high[l] = std::max(high[l], x[l]);
  };
  for_each_term(h, e, 0, note);
  return high;
}

// ---- Frobenius orbits and powers by base-p digits ----------------------------------

// a^p reduced, p the characteristic.
poly frobenius(poly a, const Ring& ring) {
  OwnedPoly x;
  poly_assign(a, x.cell());
  compute_power(x.cell(), characteristic(ring), polynames);
  return x.release();
}

// a, a^p, a^p^2, ... up to the first return to a^p^J: J + L elements.
struct Orbit {
  PolyList it;
  std::int32_t J = 0, L = 0;
  // a^(p^i) for any i >= 0.
  poly at(std::int64_t i) const {
    if (i >= J + L) i = J + (i - J) % L;
    return it[static_cast<std::size_t>(i)];
  }
};

// The least J with p^J >= N: a^(p^J) has lost a's nilpotent part.
std::int32_t settling_steps(const Levels& lv, const Ring& ring) {
  std::int32_t J = 0;
  for (std::int64_t reach = 1; reach < lv.dim; reach *= characteristic(ring)) ++J;
  return J;
}

// Fills *o with the orbit of a; false when the cycle exceeds cycle_cap.
bool orbit(poly a, std::int32_t J, Orbit* o, const Ring& ring) {
  o->J = J;
  OwnedPoly first;
  poly_assign(a, first.cell());
  o->it.push(first.release());
  for (std::int32_t i = 0; i < J; ++i) o->it.push(frobenius(o->it.back(), ring));
  const poly start = o->it[static_cast<std::size_t>(J)];
  for (std::int32_t L = 1; L <= cycle_cap; ++L) {
    check_interrupt();
    OwnedPoly next;
    next.p = frobenius(o->it.back(), ring);
    if (poly_equal(next.get(), start)) {
      o->L = L;
      return true;
    }
    o->it.push(next.release());
  }
  return false;
}

// *out := the base-p digits, least significant first, of (a M + b) / d with
// M = p^J (p^L - 1); false when d does not divide a M + b. 0 < a < 2^31,
// |b| small, 0 < d < 2^31.
bool exponent_digits(std::int64_t p, std::int32_t J, std::int32_t L, std::int64_t a, std::int64_t b,
                     std::int64_t d, std::vector<std::int64_t>* out) {
  std::vector<std::int64_t> x(static_cast<std::size_t>(J + L) + 34, 0);
  for (std::int32_t i = J; i < J + L; ++i) x[static_cast<std::size_t>(i)] = p - 1;
  std::int64_t carry = 0;
  for (auto& v : x) {
    const std::int64_t t = v * a + carry;
    v = t % p;
    carry = t / p;
  }
  carry = b;
  for (auto& v : x) {
    const std::int64_t t = v + carry;
    std::int64_t c = t / p;
    if (t - c * p < 0) --c;
    v = t - c * p;
    carry = c;
  }
  if (carry != 0) return false;
  std::int64_t rem = 0;
  for (std::size_t i = x.size(); i-- > 0;) {
    const std::int64_t t = rem * p + x[i];
    x[i] = t / d;
    rem = t % d;
  }
  if (rem != 0) return false;
  *out = std::move(x);
  return true;
}

// e a^E, E given by its base-p digits, from the orbit of a.
poly orbit_power(const Orbit& o, const std::vector<std::int64_t>& digits, poly e) {
  OwnedPoly acc;
  poly_assign(e, acc.cell());
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (digits[i] == 0) continue;
    OwnedPoly f;
    poly_assign(o.at(static_cast<std::int64_t>(i)), f.cell());
    if (digits[i] > 1) compute_power(f.cell(), static_cast<std::int32_t>(digits[i]), polynames);
    poly_mult(acc.get(), f.get(), acc.cell(), polynames);
  }
  return acc.release();
}

// a^(M + add) times e (the exponent M of a's orbit).
poly orbit_exponent_power(const Orbit& o, std::int64_t add, poly e, const Ring& ring) {
  std::vector<std::int64_t> digits;
  exponent_digits(characteristic(ring), o.J, o.L, 1, add, 1, &digits);
  return orbit_power(o, digits, e);
}

// ---- Roots of a prime order prime to the characteristic ------------------------------

struct RootJob {
  const Levels& lv;
  std::int32_t s;           // the order, a prime (any prime over the integers)
  std::int32_t J;           // settling_steps (modulo a prime)
  bool descending;          // from the greatest free monomial down, else from the least up
  std::int64_t splits = 0;  // components split off so far
};

// Modulo a prime: *root := the root of order s of c, a unit of eA with the
// orbit oc, and *inv := 1 / (s root^(s-1)); false when the root is not
// unique or c has none.
bool unit_root(const RootJob& job, const Orbit& oc, poly c, poly e, poly* root, poly* inv,
               const Ring& ring) {
  const std::int64_t p = characteristic(ring), s = job.s;
  std::vector<std::int64_t> digits;
  if (s == 2) {
    // p^L = 3 mod 4: a^((M + 2)/4), the square root that is a square.
    if (p % 4 != 3 || oc.L % 2 == 0 || !exponent_digits(p, oc.J, oc.L, 1, 2, 4, &digits))
      return false;
  } else {
    // a^((j M + 1)/s) with j M = -1 mod s, while s does not divide M.
    const auto s32 = static_cast<std::uint32_t>(s);
    const std::int64_t m =
        std::int64_t{
            power_modulo(static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(oc.J), s32)} *
        ((power_modulo(static_cast<std::uint64_t>(p), static_cast<std::uint64_t>(oc.L), s32) + s -
          1) %
         s) %
        s;
    if (m == 0) return false;
    const std::int64_t j =
        (s - inverse_modulo(static_cast<std::uint64_t>(m), static_cast<std::uint32_t>(s))) % s;
    if (!exponent_digits(p, oc.J, oc.L, j, 1, s, &digits)) return false;
  }
  OwnedPoly r, check;
  r.p = orbit_power(oc, digits, e);
  poly_assign(r.get(), check.cell());
  compute_power(check.cell(), job.s, polynames);
  if (!poly_equal(check.get(), c)) return false;
  OwnedPoly d;
  poly_assign(r.get(), d.cell());
  if (s > 2) compute_power(d.cell(), job.s - 1, polynames);
  if (s % p != 1) mod_num_poly_mult(d.get(), static_cast<std::int32_t>(s % p));
  Orbit od;
  if (!orbit(d.get(), job.J, &od, ring)) return false;
  *inv = orbit_exponent_power(od, -1, e, ring);
  *root = r.release();
  return true;
}

// *q := c / d with every leaf divided exactly by the integer d; false when
// a division leaves a remainder.
bool divide_leaves(const Levels& lv, poly c, imptr d, poly* q) {
  OwnedPoly w;
  poly_assign(c, w.cell());
  bool exact = true;
  auto quotient = [&](const Exps&, poly leaf) {
    ScratchNumber quot, rem;
    divide(leaf->ncoef, d, quot.get(), rem.get());
    if (rem.get()->head != nullptr && rem.get()->head->value != 0) exact = false;
    num_assign(quot.get(), leaf->ncoef);
  };
  Exps e(lv.size(), 0);
  for_each_term(w.get(), e, 0, quotient);
  if (!exact) return false;
  *q = w.release();
  return true;
}

bool component_root(RootJob& job, poly e, poly h, poly* g, const Ring& ring);

// h's root in eA[X] as the sum of the roots of u h in uA[X] and of (e - u) h
// in (e - u)A[X], u an idempotent of eA other than 0 and e.
bool split_root(RootJob& job, poly e, poly u, poly h, poly* g, const Ring& ring) {
  if (++job.splits > job.lv.dim) return false;
  OwnedPoly v, h1, h2, g1, g2;
  poly_sub(e, u, v.cell());
  poly_mult(u, h, h1.cell(), polynames);
  poly_sub(h, h1.get(), h2.cell());
  if (!component_root(job, u, h1.get(), g1.cell(), ring) ||
      !component_root(job, v.get(), h2.get(), g2.cell(), ring))
    return false;
  best_poly_add(g1.release(), g2.release(), g);
  return true;
}

// *g := a root of order job.s of h in eA[X] (e an idempotent, h = e h,
// *g nil on entry), term by term from the end job.descending names (in a
// monomial order the least term of a product is the product of the least
// terms as well); false when none is found.
bool component_root(RootJob& job, poly e, poly h, poly* g, const Ring& ring) {
  check_interrupt();
  const Levels& lv = job.lv;
  if (poly_iszero(h)) {
    poly_set(0, g);
    return true;
  }
  Exps m0;
  OwnedPoly c, r0,
      divisor;  // c: the end coefficient; divisor: modulo p 1 / (s r0^(s-1)), over Z s r0^(s-1)
  end_free_term(lv, h, job.descending, &m0, c.cell());
  if (integer_ring(ring)) {
    if (!is_bare_leaf(c.get()) || !poly_exact_root(c.get(), job.s, r0.cell())) return false;
    poly_assign(r0.get(), divisor.cell());
    if (job.s > 2) compute_power(divisor.cell(), job.s - 1, nilpol);
    OwnedPoly factor;
    poly_set(job.s, factor.cell());
    poly_mult(divisor.get(), factor.get(), divisor.cell(), nilpol);
  } else {
    Orbit oc;
    if (!orbit(c.get(), job.J, &oc, ring)) return false;
    OwnedPoly u;
    u.p = orbit_exponent_power(oc, 0, e, ring);
    if (poly_iszero(u.get())) return false;  // a nilpotent leading coefficient
    if (!poly_equal(u.get(), e)) return split_root(job, e, u.get(), h, g, ring);
    if (!unit_root(job, oc, c.get(), e, r0.cell(), divisor.cell(), ring)) return false;
  }
  Exps lead(m0);
  for (auto& x : lead) {
    if (x % job.s != 0) return false;
    x /= job.s;
  }
  const Exps high = free_degrees(lv, h);
  OwnedPoly G, start;
  start.p = unit_monomial(lead);
  poly_mult(r0.get(), start.get(), G.cell(), polynames);
  Exps last = lead;
  for (;;) {
    check_interrupt();
    OwnedPoly rest;
    poly_assign(G.get(), rest.cell());
    compute_power(rest.cell(), job.s, polynames);
    poly_sub(h, rest.get(), rest.cell());
    if (poly_iszero(rest.get())) break;
    Exps m, next(lv.size(), 0);
    OwnedPoly c2, t, mono;
    end_free_term(lv, rest.get(), job.descending, &m, c2.cell());
    for (std::size_t l = 0; l < m.size(); ++l) {
      if (lv.modded[l]) continue;
      const std::int64_t v = std::int64_t{m[l]} - std::int64_t{job.s - 1} * lead[l];
      if (v < 0 || v * job.s > high[l]) return false;
      next[l] = static_cast<std::int32_t>(v);
    }
    if (job.descending ? !(next < last) : !(last < next)) return false;
    if (integer_ring(ring)) {
      if (!divide_leaves(lv, c2.get(), divisor.get()->ncoef, t.cell())) return false;
    } else {
      poly_mult(c2.get(), divisor.get(), t.cell(), polynames);
    }
    if (poly_iszero(t.get())) return false;
    mono.p = unit_monomial(next);
    poly_mult(t.get(), mono.get(), t.cell(), polynames);
    best_poly_add(G.release(), t.release(), G.cell());
    last = std::move(next);
  }
  *g = G.release();
  return true;
}

// ---- The linear route: p-th roots and shrinks ------------------------------------------

// The coordinates of a (an element of A) into out[0 .. N); false when a is
// not reduced or involves a free level.
bool coordinates(const Levels& lv, poly a, std::vector<std::int32_t>* out) {
  out->assign(static_cast<std::size_t>(lv.dim), 0);
  bool fits = true;
  Exps e(lv.size(), 0);
  auto place = [&](const Exps& x, poly leaf) {
    const std::int64_t at = coordinate(lv, x);
    if (at < 0 || part_of(lv, x, false) != Exps(lv.size(), 0)) {
      fits = false;
      return;
    }
    (*out)[static_cast<std::size_t>(at)] = leaf->ncoef->lint;
  };
  for_each_term(a, e, 0, place);
  return fits;
}

// x^(q/2) in GF(q), q = 2^8 or 2^16: the square root.
std::int32_t field_square_root(std::int32_t x, const Ring& ring) {
  return modpower(static_cast<std::uint32_t>(x), static_cast<std::uint64_t>(ring.modulus / 2));
}

// *g := the polynomial whose coefficient of X^(m/k) is sum_a b_a T^a, where
// sum_a c_a (T^a)^k is h's coefficient of X^m (a solution with the free
// unknowns 0), and b_a = c_a^(1/p) with twist, else c_a. False when a free
// exponent of h is not a multiple of k, h is not reduced, N > system_cap, or
// a system has no solution.
bool linear_shrink(const Levels& lv, poly h, std::int32_t k, bool twist, poly* g,
                   const Ring& ring) {
  if (lv.dim > system_cap) return false;
  const auto N = static_cast<std::size_t>(lv.dim);
  std::map<Exps, std::vector<std::int32_t>> parts;
  bool fits = true;
  auto collect = [&](const Exps& x, poly leaf) {
    const std::int64_t at = coordinate(lv, x);
    if (at < 0) {
      fits = false;
      return;
    }
    auto& v = parts[part_of(lv, x, false)];
    if (v.empty()) v.assign(N, 0);
    v[static_cast<std::size_t>(at)] = leaf->ncoef->lint;
  };
  Exps e(lv.size(), 0);
  for_each_term(h, e, 0, collect);
  if (!fits) return false;
  for (const auto& part : parts)
    for (std::int32_t x : part.first)
      if (x % k != 0) return false;
  // Rows of [S | the coordinates of h's coefficients], column a of S the
  // coordinates of (T^a)^k.
  const std::size_t W = N + parts.size();
  std::vector<std::int32_t> rows(N * W, 0);
  std::vector<std::int32_t> column;
  for (std::size_t a = 0; a < N; ++a) {
    OwnedPoly m;
    m.p = unit_monomial(basis_exponents(lv, static_cast<std::int64_t>(a)));
    compute_power(m.cell(), k, polynames);
    if (!coordinates(lv, m.get(), &column)) return false;
    for (std::size_t i = 0; i < N; ++i) rows[i * W + a] = column[i];
  }
  std::size_t col = N;
  for (const auto& part : parts) {
    for (std::size_t i = 0; i < N; ++i) rows[i * W + col] = part.second[i];
    ++col;
  }
  // Gauss-Jordan elimination on the first N columns.
  std::vector<std::size_t> pivots;
  for (std::size_t c = 0; c < N && pivots.size() < N; ++c) {
    check_interrupt();
    const std::size_t top = pivots.size();
    std::size_t r = top;
    while (r < N && rows[r * W + c] == 0) ++r;
    if (r == N) continue;
    if (r != top)
      std::swap_ranges(rows.begin() + static_cast<std::ptrdiff_t>(r * W),
                       rows.begin() + static_cast<std::ptrdiff_t>((r + 1) * W),
                       rows.begin() + static_cast<std::ptrdiff_t>(top * W));
    std::int32_t inv = 0;
    mod_inverse(rows[top * W + c], &inv);
    for (std::size_t j = c; j < W; ++j)
      rows[top * W + j] =
          modmult(static_cast<std::uint32_t>(rows[top * W + j]), static_cast<std::uint32_t>(inv));
    for (std::size_t i = 0; i < N; ++i) {
      const std::int32_t f = rows[i * W + c];
      if (i == top || f == 0) continue;
      for (std::size_t j = c; j < W; ++j)
        rows[i * W + j] = mod_sub(
            rows[i * W + j],
            modmult(static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(rows[top * W + j])),
            ring.modulus);
    }
    pivots.push_back(c);
  }
  for (std::size_t i = pivots.size(); i < N; ++i)
    for (std::size_t j = N; j < W; ++j)
      if (rows[i * W + j] != 0) return false;
  OwnedPoly sum;
  poly_set(0, sum.cell());
  col = N;
  for (const auto& part : parts) {
    Exps shrunk(part.first);
    for (auto& x : shrunk) x /= k;
    for (std::size_t r = 0; r < pivots.size(); ++r) {
      std::int32_t v = rows[r * W + col];
      if (v == 0) continue;
      if (twist && ring.char2) v = field_square_root(v, ring);
      Exps mono = basis_exponents(lv, static_cast<std::int64_t>(pivots[r]));
      for (std::size_t l = 0; l < mono.size(); ++l)
        if (!lv.modded[l]) mono[l] = shrunk[l];
      poly s = sum.release();
      best_poly_add(s, monomial(mono, constant(v)), sum.cell());
    }
    ++col;
  }
  *g = sum.release();
  return true;
}

// g(X^k) in the quotient ring: each term c X^m T^a of g becomes
// c X^(km) (T^a)^k, the power reduced.
poly expanded(const Levels& lv, poly g, std::int32_t k) {
  OwnedPoly sum;
  poly_set(0, sum.cell());
  auto raise = [&](const Exps& x, poly leaf) {
    Exps outer = part_of(lv, x, false);
    for (auto& v : outer) v = exp_mul(v, k);
    OwnedPoly t, lower;
    lower.p = unit_monomial(part_of(lv, x, true));
    compute_power(lower.cell(), k, polynames);
    t.p = monomial(outer, detail::copy_number(leaf->ncoef));
    poly_mult(t.get(), lower.get(), t.cell(), polynames);
    poly acc = sum.release();
    best_poly_add(acc, t.release(), sum.cell());
  };
  Exps e(lv.size(), 0);
  for_each_term(g, e, 0, raise);
  return sum.release();
}

// The prime factors of r, the smaller first, with repetition.
std::vector<std::int32_t> prime_factors(std::int32_t r) {
  std::vector<std::int32_t> f;
  for (std::int32_t d = 2; std::int64_t{d} * d <= r; ++d)
    for (; r % d == 0; r /= d) f.push_back(d);
  if (r > 1) f.push_back(r);
  return f;
}

bool roots_apply(const Ring& ring) {
  if (ring.flote || ring.laurent || (!modular_ring(ring) && !integer_ring(ring))) return false;
  Levels lv;
  return read_levels(&lv);
}

}  // namespace

bool quotient_roots_apply() { return roots_apply(Ring::current()); }

bool poly_quotient_root(poly h, std::int32_t r, poly* g) {
  *g = nullptr;
  const Ring ring = Ring::current();
  if (r < 2 || !roots_apply(ring)) return false;
  Levels lv;
  read_levels(&lv);
  OwnedPoly cur;
  poly_assign(h, cur.cell());
  for (const std::int32_t s : prime_factors(r)) {
    OwnedPoly next;
    bool found = false;
    if (modular_ring(ring) && s == characteristic(ring)) {
      found = linear_shrink(lv, cur.get(), s, true, next.cell(), ring);
    } else {
      // From the leading end, else from the trailing one (over the
      // integers, say, where only an integer end coefficient is taken).
      OwnedPoly one;
      poly_set(1, one.cell());
      for (const bool descending : {true, false}) {
        RootJob job{lv, s, modular_ring(ring) ? settling_steps(lv, ring) : 0, descending};
        free_poly(next.cell());
        found = component_root(job, one.get(), cur.get(), next.cell(), ring);
        if (found) break;
      }
    }
    if (!found) return false;
    std::swap(cur.p, next.p);
  }
  OwnedPoly check;
  poly_assign(cur.get(), check.cell());
  compute_power(check.cell(), r, polynames);
  if (!poly_equal(check.get(), h)) return false;
  *g = cur.release();
  return true;
}

bool poly_quotient_shrink(poly h, std::int32_t k, poly* g) {
  *g = nullptr;
  const Ring ring = Ring::current();
  if (k < 2 || !modular_ring(ring) || !roots_apply(ring)) return false;
  Levels lv;
  read_levels(&lv);
  OwnedPoly w;
  if (!linear_shrink(lv, h, k, false, w.cell(), ring)) return false;
  OwnedPoly check;
  check.p = expanded(lv, w.get(), k);
  if (!poly_equal(check.get(), h)) return false;
  *g = w.release();
  return true;
}

}  // namespace tavrin
