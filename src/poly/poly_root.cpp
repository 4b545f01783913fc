// Exact roots of polynomials, term by term from the leading term down (see
// poly_root.h).
#include "poly/poly_root.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/ring.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/int_sqrt.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "dense/dense_upcalls.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

using Exps = std::vector<std::int32_t>;  // exponents level by level from the top

// ---- Numbers of the two rings -------------------------------------------------------

bool big_ring(const Ring& ring) { return !ring.flote && !ring.lint && !ring.modular; }

// The characteristic of the modular field: the prime modulus, or 2 in the
// fields of 256 and 65536 elements (whose residues are bit patterns).
std::int32_t characteristic(const Ring& ring) { return ring.char2 ? 2 : ring.modulus; }

imptr residue_number(std::uint32_t v) {
  imptr x = nullptr;
  newimag(&x);
  x->lint = static_cast<std::int32_t>(v);
  x->flote = 0;
  return x;
}

// a^e for a big integer a, e >= 1, as a fresh number (square and multiply).
imptr big_power(imptr a, std::int32_t e) {
  imptr r = detail::copy_number(a);
  int top = 30;
  while (((e >> top) & 1) == 0) --top;
  for (int bit = top - 1; bit >= 0; --bit) {
    fast_mult(r, r, r);
    if ((e >> bit) & 1) fast_mult(r, a, r);
  }
  return r;
}

// The s-th root of a > 0 when a is an exact s-th power (a fresh number), else
// nil. Square roots by int_sqrt; other orders by Newton's iteration
// x := ((s - 1) x + a div x^(s-1)) div s from a power of two above the root,
// which falls to the floor of the root and stops there.
imptr big_positive_root(imptr a, std::int32_t s) {
  // A root of 2 or more needs at least s + 1 bits.
  if (logg2(a) <= s) return is_longint(a, 1) ? detail::copy_number(a) : nullptr;
  ScratchNumber x;
  if (s == 2) {
    int_sqrt(a, x.get(), false);
  } else {
    setvalue(1, x.get());
    shift_left(x.get(), logg2(a) / s + 1);
    ScratchNumber q, rem, y, ds;
    setvalue(s, ds.get());
    for (;;) {
      imptr xs = big_power(x.get(), s - 1);
      pos_divide(a, xs, q.get(), rem.get());
      free_imag(&xs);
      numptr penult = nullptr;
      simp_mult(x.get(), y.get(), s - 1, &penult);
      fastsum(y.get(), q.get());
      pos_divide(y.get(), ds.get(), y.get(), rem.get());
      if (!bigger(x.get(), y.get())) break;
      num_assign(y.get(), x.get());
    }
  }
  imptr check = big_power(x.get(), s);
  const bool exact = spec_equal(check, a);
  free_imag(&check);
  return exact ? x.release() : nullptr;
}

// The root of order s of the number c with the sign rule of poly_exact_root,
// a fresh number; nil when there is none.
imptr number_root(imptr c, std::int32_t s, const Ring& ring) {
  if (big_ring(ring)) {
    if (c->head->value == 0) return detail::copy_number(c);
    const bool negative = c->head->value < 0;
    if (negative && s % 2 == 0) return nullptr;
    ScratchNumber a;
    abs_val_num(c, a.get());
    imptr r = big_positive_root(a.get(), s);
    if (r != nullptr && negative) in_place_neg(r);
    return r;
  }
  const auto v = static_cast<std::uint32_t>(c->lint);
  const auto q = static_cast<std::uint32_t>(ring.modulus);
  if (v == 0) return residue_number(0);
  std::uint32_t r = 0;
  if (s == 2) {
    r = static_cast<std::uint32_t>(modular_sqrt(static_cast<std::int32_t>(v)));
    if (r == 0) return nullptr;
    if (!its_a_square(static_cast<std::int32_t>(r))) r = q - r;
  } else {
    // s is prime to q - 1: the s-th power is a bijection undone by 1/s
    // modulo q - 1.
    std::int32_t g = s, x = 0, y = 0;
    egcd_ints(&g, static_cast<std::int32_t>(q - 1), &x, &y);
    const std::int64_t inv = ((std::int64_t{x} % (q - 1)) + (q - 1)) % (q - 1);
    r = static_cast<std::uint32_t>(modpower(v, static_cast<std::uint64_t>(inv)));
  }
  return modpower(r, static_cast<std::uint64_t>(s)) == static_cast<std::int32_t>(v)
             ? residue_number(r)
             : nullptr;
}

// c / d in the current ring (d non-zero), a fresh number; nil when the big
// quotient is not exact.
imptr exact_quotient(imptr c, imptr d, const Ring& ring) {
  if (big_ring(ring)) {
    ScratchNumber q, rem;
    divide(c, d, q.get(), rem.get());
    if (rem.get()->head->value != 0) return nullptr;
    return q.release();
  }
  std::int32_t inv = d->lint;
  mod_inverse(d->lint, &inv);
  return residue_number(static_cast<std::uint32_t>(
      modmult(static_cast<std::uint32_t>(c->lint), static_cast<std::uint32_t>(inv))));
}

// d := s r^(s-1) in the current ring (d a header without limbs).
void install_divisor(imptr r, std::int32_t s, imptr d, const Ring& ring) {
  if (big_ring(ring)) {
    imptr p = big_power(r, s - 1);
    numptr penult = nullptr;
    simp_mult(p, d, s, &penult);
    free_imag(&p);
    return;
  }
  const auto v = static_cast<std::uint32_t>(
      modpower(static_cast<std::uint32_t>(r->lint), static_cast<std::uint64_t>(s) - 1));
  d->lint = modmult(v, static_cast<std::uint32_t>(s % characteristic(ring)));
}

// A constant leaf holding the number n (moved in).
poly leaf_of(imptr n) { return nodes::new_leaf(n); }

// ---- Monomials ---------------------------------------------------------------------

// The leaf of p's leading term; *e := its exponents (pads count as 0).
poly leading_term(poly p, Exps* e) {
  e->clear();
  for (; !p->numb; p = p->pcoef) e->push_back(p->exp);
  return p;
}

std::int32_t at(const Exps& e, std::size_t l) { return l < e.size() ? e[l] : 0; }

// a before b in the order of the terms: the first level that differs decides.
bool lex_less(const Exps& a, const Exps& b) {
  const std::size_t n = std::max(a.size(), b.size());
  for (std::size_t l = 0; l < n; ++l)
    if (at(a, l) != at(b, l)) return at(a, l) < at(b, l);
  return false;
}

// The monomial c times the exponents e; c: moved in.
poly monomial(const Exps& e, imptr c) {
  poly t = leaf_of(c);
  for (std::size_t l = e.size(); l-- > 0;) make_monomial(&t, e[l], t);
  return t;
}

// The least and greatest exponent of each level over the terms of p (a
// term that ends above a level has exponent 0 there).
struct DegreeBox {
  std::vector<std::int32_t> low, high;
  std::size_t shallowest_leaf = SIZE_MAX;
  void scan(poly p, std::size_t level) {
    for (; p != nullptr; p = p->next) {
      if (p->numb) {
        shallowest_leaf = std::min(shallowest_leaf, level);
        continue;
      }
      if (low.size() <= level) {
        low.resize(level + 1, p->exp);
        high.resize(level + 1, p->exp);
      }
      low[level] = std::min(low[level], p->exp);
      high[level] = std::max(high[level], p->exp);
      scan(p->pcoef, level + 1);
    }
  }
  void close() {
    for (std::size_t l = shallowest_leaf; l < low.size(); ++l) {
      low[l] = std::min(low[l], 0);
      high[l] = std::max(high[l], 0);
    }
  }
};

// ---- One root of prime order ------------------------------------------------------------

// The binomial coefficients up to row s as constants of the current ring.
std::vector<std::vector<OwnedPoly>> pascal(std::int32_t s) {
  std::vector<std::vector<OwnedPoly>> c(static_cast<std::size_t>(s) + 1);
  for (std::int32_t i = 0; i <= s; ++i) {
    auto& row = c[static_cast<std::size_t>(i)];
    row = std::vector<OwnedPoly>(static_cast<std::size_t>(i) + 1);
    poly_set(1, row[0].cell());
    poly_set(1, row[static_cast<std::size_t>(i)].cell());
    const auto& up = c[static_cast<std::size_t>(i) - (i > 0 ? 1 : 0)];
    for (std::int32_t j = 1; j < i; ++j)
      poly_add(up[static_cast<std::size_t>(j) - 1].get(), up[static_cast<std::size_t>(j)].get(),
               row[static_cast<std::size_t>(j)].cell());
  }
  return c;
}

// *out := the root of order s (a prime, or 2) of h; false when there is none.
bool prime_root(poly h, std::int32_t s, poly* out, const Ring& ring) {
  Exps lead;
  poly lc = leading_term(h, &lead);
  for (std::int32_t e : lead)
    if (e % s != 0) return false;
  imptr r0 = number_root(lc->ncoef, s, ring);
  if (r0 == nullptr) return false;
  for (auto& e : lead) e /= s;
  if (is_bare_leaf(h)) {
    *out = leaf_of(r0);
    return true;
  }
  DegreeBox box;
  box.scan(h, 0);
  box.close();
  ScratchNumber d;  // s lc(g)^(s-1), the divisor of every later term
  install_divisor(r0, s, d.get(), ring);
  const auto binom = pascal(s);
  // pw[i] = G^i for i = 1 .. s - 1; pw[0] = 1.
  std::vector<OwnedPoly> pw(static_cast<std::size_t>(s));
  poly_set(1, pw[0].cell());
  pw[1].p = monomial(lead, r0);
  for (std::int32_t i = 2; i < s; ++i)
    poly_mult(pw[static_cast<std::size_t>(i) - 1].get(), pw[1].get(),
              pw[static_cast<std::size_t>(i)].cell(), nilpol);
  OwnedPoly rest;  // h - G^s
  poly_mult(pw[static_cast<std::size_t>(s) - 1].get(), pw[1].get(), rest.cell(), nilpol);
  poly_sub(h, rest.get(), rest.cell());
  Exps last = lead, e;
  while (!poly_iszero(rest.get())) {
    check_interrupt();
    poly c = leading_term(rest.get(), &e);
    Exps m(std::max(e.size(), lead.size()));
    for (std::size_t l = 0; l < m.size(); ++l) {
      m[l] = at(e, l) - (s - 1) * at(lead, l);
      const std::int32_t low = l < box.low.size() ? box.low[l] : 0;
      const std::int32_t high = l < box.high.size() ? box.high[l] : 0;
      if (static_cast<std::int64_t>(m[l]) * s < low || static_cast<std::int64_t>(m[l]) * s > high)
        return false;
    }
    if (!lex_less(m, last)) return false;
    imptr cq = exact_quotient(c->ncoef, d.get(), ring);
    if (cq == nullptr) return false;
    while (!m.empty() && m.back() == 0) m.pop_back();
    OwnedPoly t;
    t.p = monomial(m, cq);
    // rest -= sum over j of C(s, j) G^(s-j) t^j, then G^i += sum over j of
    // C(i, j) G^(i-j) t^j for i from s - 1 down (the lower powers still old).
    OwnedPoly tj;
    poly_assign(t.get(), tj.cell());
    std::vector<OwnedPoly> tpow(static_cast<std::size_t>(s) + 1);
    for (std::int32_t j = 1; j <= s; ++j) {
      poly_assign(tj.get(), tpow[static_cast<std::size_t>(j)].cell());
      if (j < s) poly_mult(tj.get(), t.get(), tj.cell(), nilpol);
    }
    auto expansion_into = [&](std::int32_t i, poly* acc, bool subtract) {
      for (std::int32_t j = 1; j <= i; ++j) {
        OwnedPoly term;
        poly_mult(pw[static_cast<std::size_t>(i - j)].get(),
                  tpow[static_cast<std::size_t>(j)].get(), term.cell(), nilpol);
        if (j < i)
          poly_mult(term.get(),
                    binom[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)].get(),
                    term.cell(), nilpol);
        if (subtract)
          best_poly_sub(*acc, term.release(), acc);
        else
          best_poly_add(*acc, term.release(), acc);
      }
    };
    expansion_into(s, rest.cell(), true);
    for (std::int32_t i = s - 1; i >= 1; --i)
      expansion_into(i, pw[static_cast<std::size_t>(i)].cell(), false);
    last = std::move(m);
  }
  *out = pw[1].release();
  return true;
}

// The prime factors of r, the smaller first, with repetition.
std::vector<std::int32_t> prime_factors_of(std::int32_t r) {
  std::vector<std::int32_t> f;
  for (std::int32_t d = 2; static_cast<std::int64_t>(d) * d <= r; ++d)
    for (; r % d == 0; r /= d) f.push_back(d);
  if (r > 1) f.push_back(r);
  return f;
}

bool order_allowed(std::int32_t r, const Ring& ring) {
  if (r < 2 || ring.flote) return false;
  if (big_ring(ring)) return true;
  if (!ring.modular || !mod_is_prime || r % characteristic(ring) == 0) return false;
  if ((r & (r - 1)) == 0) return ring.modulus % 4 == 3;
  if (r % 2 == 0) return false;
  std::int32_t g = r, x = 0, y = 0;
  egcd_ints(&g, ring.modulus - 1, &x, &y);
  return g == 1;
}

}  // namespace

bool poly_exact_root(poly h, std::int32_t r, poly* g) {
  *g = nullptr;
  const Ring ring = Ring::current();
  if (!order_allowed(r, ring)) return false;
  OwnedPoly cur;
  poly_assign(h, cur.cell());
  for (std::int32_t s : prime_factors_of(r)) {
    OwnedPoly next;
    if (!prime_root(cur.get(), s, next.cell(), ring)) return false;
    std::swap(cur.p, next.p);
  }
  *g = cur.release();
  return true;
}

}  // namespace tavrin
