// Powers of polynomials and numbers, and the folds of products by the
// relation of a modded-out level.
#include "poly/poly_power.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_divide.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using nodes::degree;
using nodes::DummyLevel;
using nodes::is_bare_leaf;
using nodes::new_term;
using nodes::OwnedPoly;

namespace {

// The number raised to e in place by square-and-multiply (e = 0 gives 1).
void power_number(imptr num, std::int32_t e) {
  if (e == 0) {
    setvalue(1, num);
    return;
  }
  const std::uint32_t ue = static_cast<std::uint32_t>(e);
  int top = 31;
  while (((ue >> top) & 1u) == 0) --top;
  if (top == 0) return;
  const nodes::OwnedNumber base(detail::copy_number(num));  // freed also when a product is too long
  for (int bit = top - 1; bit >= 0; --bit) {
    detail::num_product_inplace(num, num);
    if ((ue >> bit) & 1u) detail::num_product_inplace(num, base.get());
  }
}

// *r := its remainder by the polynomial relation of pol, over a copy of the
// level without the relation.
void relation_remainder(poly* r, polypt pol, const Ring& ring) {
  poly rel = pol->p;
  const std::int32_t d = degree(rel);
  if (d < 1) {
    tavrin_error("bad m^.exp in pseudo div no q: ", false);
    std::printf("%" PRId32 "\n", d);
    return;
  }
  if (degree(*r) < d) return;
  DummyLevel dummy(pol);
  OwnedPoly q, rem, mult;
  if (first_coef_invrtble(rel, pol->depth)) {
    if (ring.modular) {
      field_coef_poly_divide(*r, rel, dummy.get(), &q.p, &rem.p);
    } else {
      pseudo_field_coef_poly_div(*r, rel, dummy.get(), &q.p, &rem.p, &mult.p);
    }
  } else {
    pseudo_div_no_q(*r, rel, &rem.p, dummy.get(), false);
  }
  if (rem.p == nullptr) return;  // no remainder came back: *r stays
  free_poly(r);
  *r = rem.release();
}

// The row c * R (R a reduced power of t from multdata) at the level of
// pp; nil when every product vanished.
poly multdata_row(poly c, poly reduced, polypt below, const Ring& ring) {
  if (is_bare_leaf(c)) {
    poly row = nullptr;
    scalar_by_poly(c->ncoef, reduced, &row);
    if (poly_iszero(row)) free_poly(&row);
    return row;
  }
  poly head = nullptr;
  poly* link = &head;
  for (poly j = reduced; j != nullptr; j = j->next) {
    poly q = nullptr;
    if (j->numb) {
      scalar_by_poly(j->ncoef, c, &q);
    } else {
      poly_mult(c, j->pcoef, &q, below, ring);
    }
    if (poly_iszero(q)) {
      free_poly(&q);
      continue;
    }
    const std::int32_t e = j->numb ? 0 : j->exp;
    poly node = detail::make_term(e, q);
    *link = node;
    link = &node->next;
  }
  *link = nullptr;
  return head;
}

// After a p-th power by exponent scaling: *n reduced by the relations of pol
// and the levels below it.
void reduce_after_frobenius(poly* n, polypt pol) {
  if (pol->next == nullptr) {
    if (pol->p != nullptr) mod_out_poly(n, &pol->p, 1, pol->expon, pol);
    return;
  }
  poly* link = n;
  for (poly t = *n; t != nullptr;) {
    poly nx = t->next;
    poly node = t;
    if (!t->numb && !is_bare_leaf(t->pcoef)) {
      total_poly_modout(&t->pcoef, pol->next);
      if (poly_iszero(t->pcoef)) {
        free_poly(&t->pcoef);
        free_polynode_list(t, t);
        node = nullptr;
      } else if (t->exp == 0 && is_bare_leaf(t->pcoef)) {
        node = t->pcoef;
        free_polynode_list(t, t);
      }
    }
    if (node != nullptr) {
      *link = node;
      link = &node->next;
    }
    t = nx;
  }
  *link = nullptr;
  if (*n == nullptr) {
    poly_set(0, n);
    return;
  }
  if (degree(*n) != 0 && pol->p != nullptr) mod_out_poly(n, &pol->p, 1, pol->expon, pol);
}

}  // namespace

// ---- Folds -------------------------------------------------------------------------------

void num_fold_poly(poly* p, poly* num, std::int32_t expon) {
  num_fold_poly(p, num, expon, Ring::current());
}

void num_fold_poly(poly* p, poly* num, std::int32_t expon, const Ring& ring) {
  if (expon < 1) return;  // no relation degree: nothing to fold
  InterruptHold hold;     // *p is taken apart until the end
  const std::int32_t E = expon;
  OwnedPoly s;
  poly_set(0, &s.p);
  // q (detached) := q * c^npow at exponent e, added to s.
  auto fold_node = [&s, num, &ring](poly q, std::int32_t npow, std::int32_t e) {
    OwnedPoly u;
    poly_assign(*num, &u.p);
    compute_power(&u.p, npow, nilpol, ring);
    q->next = nullptr;
    q->exp = e;
    if (e == 0 && !q->numb && is_bare_leaf(q->pcoef)) detail::unpad_leaf(&q);
    if (!ring.flote && !ring.lint) {
      if (nodes::num_is_zero_now(u.p->ncoef)) {
        poly_set(0, &q);
      } else {
        rat_number_mult(q, u.p->ncoef);
      }
    } else {
      poly_mult(q, u.p, &q, nilpol, ring);
    }
    best_poly_add(s.release(), q, &s.p);
  };
  poly q = *p;
  *p = nullptr;
  while (q != nullptr && q->exp >= E) {
    poly t = q->next;
    fold_node(q, q->exp / E, q->exp % E);
    q = t;
  }
  if (q != nullptr && q->exp >= 0) {  // the run below E, unchanged
    poly last = q;
    while (last->next != nullptr && last->next->exp >= 0) last = last->next;
    poly rest = last->next;
    last->next = nullptr;
    best_poly_add(s.release(), q, &s.p);
    q = rest;
  }
  if (q != nullptr) {  // negative exponents (Laurent mode)
    if (!poly_eq_1(*num) && !poly_eq_m1(*num)) {
      std::printf(" *** Can't apply poly-mod-out of form t^n + c = 0 to a term with\n");
      std::printf("     a negative exponent, when c is not invertible.\n");
      std::printf("       Modding out aborted.  Some variable may have been\n");
      std::printf("     partially converted.\n");
      free_poly(&q);
      *p = s.release();
      error(negative_fold_error, &token);
      return;
    }
    while (q != nullptr) {
      poly t = q->next;
      std::int32_t npow = q->exp / E;
      std::int32_t e = q->exp % E;
      if (e < 0) {
        e += E;
        npow = std::abs(npow - 1);
      } else {
        npow = std::abs(npow);
      }
      fold_node(q, npow, e);
      q = t;
    }
  }
  *p = s.release();
}

void fast_fold_poly(poly* p, polypt pp) { fast_fold_poly(p, pp, Ring::current()); }

void fast_fold_poly(poly* p, polypt pp, const Ring& ring) {
  const std::int32_t E = pp->expon;
  if (degree(*p) < 2 * E - 1) {
    OwnedPoly result;
    poly_set(0, &result.p);
    poly md = pp->multdata;
    poly t = *p;
    *p = nullptr;
    while (t != nullptr && !t->numb && t->exp >= E) {
      while (md != nullptr && md->exp > t->exp) md = md->next;
      if (md == nullptr || md->exp != t->exp) break;  // no reduced power: divide below
      poly nx = t->next;
      poly row = multdata_row(t->pcoef, md->pcoef, pp->next, ring);
      t->next = nullptr;
      free_poly(&t);
      if (row != nullptr) best_poly_add(result.release(), row, &result.p);
      t = nx;
    }
    const bool unfolded = t != nullptr && !t->numb && t->exp >= E;
    if (t != nullptr) best_poly_add(result.release(), t, &result.p);
    *p = result.release();
    if (unfolded) fold_by_relation(p, pp, ring);
    return;
  }
  if (pp->p->numb) {
    num_fold_poly(p, &pp->p, E, ring);
  } else {
    fold_by_relation(p, pp, ring);
  }
}

void laurent_fold(poly* r, poly* l, polypt pol) { laurent_fold(r, l, pol, Ring::current()); }

void laurent_fold(poly* r, poly* l, polypt pol, const Ring& ring) {
  InterruptHold hold;  // *r's tail is cut off until the end
  *l = nullptr;
  poly* link = r;
  while (*link != nullptr && (*link)->exp >= 0) link = &(*link)->next;
  if (*link == nullptr) return;
  // The inverse of t first: without it the tail stays as it is.
  quoly inv = nullptr;
  {
    OwnedPoly t;
    base_poly(&t.p, 1);
    poly_mod_invert(t.p, &inv, pol);
  }
  if (inv == nullptr || inv->numb) {
    free_quoly(&inv);
    return;
  }
  if (inv->denom != nullptr) tavrin_error("laurent_fold.", true);
  OwnedPoly w;
  w.p = std::exchange(inv->numer, nullptr);
  free_quoly(&inv);
  OwnedPoly tail;
  tail.p = *link;
  *link = nullptr;
  if (*r == nullptr) poly_set(0, r);
  const std::int32_t k = -lastnode(tail.p)->exp;
  const std::int32_t up = exp_add(k, 1);
  for (poly t = tail.p; t != nullptr; t = t->next) t->exp = exp_add(t->exp, up);
  relation_remainder(&tail.p, pol, ring);
  compute_power(&w.p, up, pol, ring);
  poly_mult(tail.p, w.p, &tail.p, pol, ring);
  *l = tail.release();
}

void fold_by_relation(poly* r, polypt pol) { fold_by_relation(r, pol, Ring::current()); }

void fold_by_relation(poly* r, polypt pol, const Ring& ring) {
  OwnedPoly tail;
  if (ring.laurent) laurent_fold(r, &tail.p, pol, ring);
  relation_remainder(r, pol, ring);
  if (tail.p != nullptr) best_poly_add(*r, tail.release(), r);
}

// ---- Powers ------------------------------------------------------------------------------

namespace {

// *n := (*n)^e by intpoly_power for a one-variable list over the integers
// of 2 <= t <= power_recurrence_terms terms, degree + 1 at most
// power_recurrence_fill t, whose power has a degree of at least
// power_recurrence_spread t^2, no relation from pol down: the polynomial
// the products give. False, nothing changed, otherwise. The recurrence
// works on every exponent up to the power's degree: a monomial's power (one
// node) or a sparse list's squares cost far less.
bool power_by_recurrence(poly* n, std::int32_t e, polypt pol, const Ring& ring) {
  if (e < 2 || !ring.rational() || (*n)->numb) return false;
  for (polypt l = pol; l != nullptr; l = l->next)
    if (l->p != nullptr) return false;
  std::int64_t terms = 0;
  for (poly t = *n; t != nullptr && terms <= power_recurrence_terms; t = t->next) ++terms;
  if (terms < 2 || terms > power_recurrence_terms) return false;
  const std::int64_t degree = (*n)->exp;
  if (degree + 1 > std::int64_t{power_recurrence_fill} * terms) return false;
  if (degree * e < std::int64_t{power_recurrence_spread} * terms * terms) return false;
  IntPoly a, g;
  if (!intpoly_of(*n, &a) || !intpoly_power(a, e, &g)) return false;
  poly r = intpoly_to_poly(g);
  free_poly(n);
  *n = r;
  ++power_recurrences;
  return true;
}

// Numbers owned together, given back on every exit.
struct NumberRow {
  std::vector<imptr> v;
  ~NumberRow() {
    for (imptr& x : v)
      if (x != nullptr) free_imag(&x);
  }
  imptr add(std::int32_t value) {
    imptr x = nullptr;
    newimag(&x);
    v.push_back(x);
    setvalue(value, x);
    return x;
  }
};

// n^k by the binomial theorem when n = c x^e + B over the integers, c a
// number, e >= 1 and B free of the top variable x (and not a number): the
// node of x^(e (k - j)) is C(k, j) c^(k - j) B^j, each B^j one product by
// B from the last. Its work grows with the result, where k - 1 products by
// n grow with k times it. Nil when n or the ring is not of that kind.
poly binomial_power(poly n, std::int32_t k, polypt pol, const Ring& ring) {
  if (!ring.rational() || ring.laurent || k < 2) return nullptr;
  for (polypt l = pol; l != nullptr; l = l->next)
    if (l->p != nullptr) return nullptr;
  if (n->numb || n->exp < 1 || !is_bare_leaf(n->pcoef)) return nullptr;
  const poly rest = n->next;
  if (rest == nullptr || rest->next != nullptr || rest->numb || rest->exp != 0 ||
      is_bare_leaf(rest->pcoef))
    return nullptr;
  if (static_cast<std::int64_t>(n->exp) * k > INT32_MAX) return nullptr;  // the products report it
  const polypt below = pol != nullptr ? pol->next : nilpol;
  const imptr c = n->pcoef->ncoef;
  // C(k, j) by the rows of Pascal's triangle; c^i for i = 0 .. k.
  NumberRow binom, cpow;
  binom.add(1);
  for (std::int32_t r = 1; r <= k; ++r) {
    binom.add(1);
    for (std::int32_t i = r - 1; i >= 1; --i)
      fastsum(binom.v[static_cast<std::size_t>(i)], binom.v[static_cast<std::size_t>(i - 1)]);
  }
  cpow.add(1);
  const bool unit = c->size == 1 && c->head->value == 1;
  for (std::int32_t i = 1; i <= k && !unit; ++i) {
    imptr x = cpow.add(0);
    fast_mult(cpow.v[static_cast<std::size_t>(i - 1)], c, x);
  }
  OwnedPoly power;  // B^j
  poly_set(1, &power.p);
  OwnedPoly head;
  poly* link = &head.p;
  for (std::int32_t j = 0; j <= k; ++j) {
    check_interrupt();
    if (j > 0) poly_mult(power.p, rest->pcoef, &power.p, below, ring);
    OwnedPoly coef;
    poly_assign(power.p, &coef.p);
    nodes::OwnedNumber m;
    num_assign(binom.v[static_cast<std::size_t>(j)], m.get());
    if (!unit) fast_mult(m.get(), cpow.v[static_cast<std::size_t>(k - j)], m.get());
    num_poly_mult(coef.p, m.get());
    *link = detail::make_term(n->exp * (k - j), coef.release());
    link = &(*link)->next;
  }
  return head.release();
}

// A power's running product *list, held as an element vector while its
// products go on element vectors (one variable, no relations: `allowed`)
// and as its term list otherwise; the list is rebuilt once, by finish.
// While it is held *list is nil: an unwinding error frees the vector and
// leaves the operands of the power as they were.
class HeldProduct {
 public:
  HeldProduct(poly* list, bool allowed, const Ring& ring)
      : list_(list), allowed_(allowed), ring_(ring) {}

  // *list := *list m (m nil: its square); enter: the vector may be taken up
  // at this step.
  void times(poly m, bool enter, polypt pol) {
    if (allowed_ && enter && !holding_ && vectors_take(*list_, m != nullptr ? m : *list_)) {
      held_ = element_vector(*list_);
      free_poly(list_);
      holding_ = true;
    }
    if (holding_ && vector_poly_mult(&held_, m)) return;
    finish();
    poly_mult(*list_, m != nullptr ? m : *list_, list_, pol, ring_);
  }

  void finish() {
    if (!holding_) return;
    *list_ = list_of_vector(std::move(held_));
    holding_ = false;
  }

 private:
  poly* list_;
  bool allowed_;
  const Ring& ring_;
  DensePoly held_;
  bool holding_ = false;
};

// The held product (holding base) raised to the power e >= 1 by squares and
// products by base, from the top bit of e down; every step may take up the
// element vector.
void power_by_squaring(HeldProduct& held, poly base, std::int32_t e, polypt pol) {
  const auto ue = static_cast<std::uint32_t>(e);
  int top = 31;
  while (((ue >> top) & 1u) == 0) --top;
  for (int bit = top - 1; bit >= 0; --bit) {
    check_interrupt();
    held.times(nullptr, true, pol);
    if ((ue >> bit) & 1u) {
      check_interrupt();
      held.times(base, true, pol);
    }
  }
}

// Whether n is a one-variable list with no relation below pol, over residues:
// a power of it may hold its running product as an element vector.
bool vector_power_allowed(poly n, polypt pol, const Ring& ring) {
  bool one = ring.lint && !ring.flote;
  for (polypt l = pol; l != nullptr && one; l = l->next) one = l->p == nullptr;
  std::int32_t low = 0;
  if (one) exp_poly_length(n, &low, &one);
  return one;
}

}  // namespace

long power_recurrences = 0;
long monomial_powers = 0;

namespace {

// *n := (*n)^k in place when *n is one term c v^e over a number c (e >= 1)
// and exact arithmetic without relations keeps c^k v^(e k) a single term:
// the number's power and a product of exponents, which the squarings of
// the term would reach through k's bits, each a product of one-term lists.
// False, nothing changed, otherwise, or when e k passes 32 bits (the
// products report that).
bool monomial_power(poly* n, std::int32_t k, polypt pol, const Ring& ring) {
  poly t = *n;
  if (t->numb || t->next != nullptr || !is_bare_leaf(t->pcoef) || t->exp < 1 || k < 1) return false;
  const bool exact = ring.modular ? mod_is_prime && !ring.char2 : !ring.lint && !ring.flote;
  if (!exact || integerflag || ring.laurent || pseudo_polynames != nullptr || ring.field_depth > 0)
    return false;
  for (polypt l = pol; l != nullptr; l = l->next)
    if (l->p != nullptr) return false;
  const std::int64_t e = std::int64_t{t->exp} * k;
  if (e > INT32_MAX) return false;
  power_number(t->pcoef->ncoef, k);
  t->exp = static_cast<std::int32_t>(e);
  ++monomial_powers;
  return true;
}

}  // namespace

void compute_power(poly* n, std::int32_t expont, polypt pol) {
  compute_power(n, expont, pol, Ring::current());
}

void compute_power(poly* n, std::int32_t expont, polypt pol, const Ring& ring) {
  const bool constant = is_bare_leaf(*n);
  if (!constant && monomial_power(n, expont, pol, ring)) return;
  if (ring.modular && mod_is_prime) {
    if (constant) {
      expont %= ring.modulus - 1;
      if (expont == 0) {
        if (!nodes::num_is_zero_now((*n)->ncoef)) (*n)->ncoef->lint = 1;
        return;
      }
    } else if (expont >= ring.modulus && (pseudo_polynames == nullptr || ring.modulus < 10)) {
      poly_mod_prime(n, expont, pol, ring);
      return;
    }
  }
  if (constant) {
    power_number((*n)->ncoef, expont);
    return;
  }
  if (expont == 0) {
    poly_set(1, n);
    return;
  }
  if (power_by_recurrence(n, expont, pol, ring)) return;
  bool repeated = false;
  if (polynames != nullptr && polynames->next != nullptr && pseudo_polynames == nullptr) {
    poly top = *n;
    if (top->next != nullptr) {
      for (poly t = top; t != nullptr && !repeated; t = t->next)
        repeated = !t->numb && !is_bare_leaf(t->pcoef);
    } else if (!top->numb && !is_bare_leaf(top->pcoef)) {
      repeated = !bysquaring(top->pcoef);
    }
  }
  if (repeated) {
    if (poly b = binomial_power(*n, expont, pol, ring); b != nullptr) {
      free_poly(n);
      *n = b;
      return;
    }
  }
  OwnedPoly T;
  poly_assign(*n, &T.p);
  // Between products no shared scratch is live: an interrupt may open a
  // nested command level there.
  if (repeated) {
    for (std::int32_t i = 1; i < expont; ++i) {
      check_interrupt();
      poly_mult(T.p, *n, &T.p, pol, ring);
    }
  } else {
    HeldProduct held(&T.p, vector_power_allowed(*n, pol, ring), ring);
    power_by_squaring(held, *n, expont, pol);
    held.finish();
  }
  free_poly(n);
  *n = T.release();
}

void poly_mod_prime(poly* n, std::int32_t expont, polypt pol) {
  poly_mod_prime(n, expont, pol, Ring::current());
}

void poly_mod_prime(poly* n, std::int32_t expont, polypt pol, const Ring& ring) {
  const std::int32_t p = ring.modulus;
  OwnedPoly R;
  const std::int32_t d0 = expont % p;
  std::int32_t rest = expont / p;
  // Without relations the Frobenius map x -> x^p commutes with powers:
  // (n^(p^i))^d is (n^d)^(p^i), whose power is taken on the dense n rather
  // than on its image, spread p^i apart.
  bool related = false;
  for (polypt l = pol; l != nullptr; l = l->next) related = related || l->p != nullptr;
  const bool vectors = !related && vector_power_allowed(*n, pol, ring);
  // The running product becomes an element vector once it is a quarter
  // dense and its products go on element vectors; the lowest digit's power
  // n^d0 is formed in it, not as a term list read back.
  HeldProduct held(&R.p, vectors, ring);
  if (d0 == 0) {
    poly_set(1, &R.p);
  } else {
    poly_assign(*n, &R.p);
    if (d0 > 1 && vectors) {
      power_by_squaring(held, *n, d0, pol);
    } else if (d0 > 1) {
      compute_power(&R.p, d0, pol, ring);
    }
  }
  OwnedPoly base;
  if (!related) poly_assign(*n, &base.p);
  auto times = [&](poly c) {
    held.times(
        c, R.p != nullptr && !is_bare_leaf(R.p) && 4 * std::int64_t{poly_length(R.p)} > R.p->exp,
        pol);
  };
  std::int32_t frobenius = 0;  // applications to *n so far
  while (rest > 0) {
    const std::int32_t di = rest % p;
    rest /= p;
    poly_to_prime(*n);
    ++frobenius;
    if (pseudo_polynames != nullptr && pol != nullptr) reduce_after_frobenius(n, pol);
    if (di == 1) {
      times(*n);
    } else if (di > 1) {
      OwnedPoly c;
      if (related) {
        poly_assign(*n, &c.p);
        compute_power(&c.p, di, pol, ring);
      } else {
        poly_assign(base.p, &c.p);
        compute_power(&c.p, di, pol, ring);
        for (std::int32_t i = 0; i < frobenius; ++i) poly_to_prime(c.p);
      }
      times(c.p);
    }
  }
  held.finish();
  free_poly(n);
  *n = R.release();
}

}  // namespace tavrin
