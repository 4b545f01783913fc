// Square-free decomposition (square_free.h): the driver with its contents,
// the characteristic-0 sequence with its scaled exact divisions, and the
// modular decomposition with its p-th roots.
#include "factor/square_free.h"

#include <cassert>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_diff.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "factor/factor_impl.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// Tag of this file's exact divisions, printed with their internal errors.
constexpr std::int32_t square_free_tag = -28;

bool positive_head(poly p) { return !p->numb && p->exp > 0; }

// A pad: one term of exponent 0 over a polynomial.
bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

// Pushes the record (e, f) on the front of *sq (f moved in).
void push_record(poly* sq, std::int32_t e, poly f, std::int32_t* count) {
  *sq = nodes::new_term(e, f, *sq);
  ++*count;
}

// *r := gcd(u, v), both kept, after the per-request resets.
void gcd_of(poly u, poly v, poly* r, bool allcons, polypt pt, const Ring& ring) {
  alg_c_count = 0;
  original_depth = 1;
  polygcd(u, v, r, pt, {.allcons = allcons}, ring);
}

}  // namespace

void total_sq_free(poly* x, poly* sq, std::int32_t* count, bool first, polypt pt) {
  total_sq_free(x, sq, count, first, pt, Ring::current());
}

void total_sq_free(poly* x, poly* sq, std::int32_t* count, bool first, polypt pt,
                   const Ring& ring) {
  assert(ring.in_force());
  if (first) {
    *count = 0;
    if (ring.modular && !is_bare_leaf(*x)) {
      OwnedPoly lead;
      monic_poly(x, lead.cell(), pt);
    }
  }
  if (is_bare_leaf(*x)) return;
  poly sq2 = nullptr;
  OwnedPoly r;
  if (is_pad(*x)) {
    poly_assign((*x)->pcoef, r.cell());
  } else {
    content(*x, r.cell(), pt, false, true, true, ring);
  }
  if (!is_bare_leaf(r.get())) {
    if (is_pad(*x)) {
      poly_set(1, x);
      if (ring.lint) (*x)->ncoef->lint = 1;
    } else if (!ring.lint && ring.field_depth != 0) {
      special_div(x, r.cell(), pt);
    } else {
      fast_divide(x, r.get(), pt, square_free_tag);
    }
    total_sq_free(r.cell(), &sq2, count, false, pt->next, ring);
    for (poly s = sq2; s != nullptr; s = s->next) add_pad(&s->pcoef, 1);
  } else if (!ring.lint) {
    num_poly_quot(*x, r.get()->ncoef, 0);
  }
  if (!is_bare_leaf(*x)) {
    if (ring.modular) {
      square_free_factor(*x, sq, count, pt, ring);
    } else {
      rat_sq_free_factor(x, sq, count, pt, ring);
    }
  }
  if (sq2 != nullptr) {
    poly* tail = sq;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = sq2;
  }
}

// ---- Characteristic 0 -----------------------------------------------------------------

namespace {

// The scaled exact division of both operands by *com (reduce2's body).
// Returns false when a division failed.
bool reduce2_once(poly n, poly m, poly com, poly* q1, poly* q2, polypt pt, const Ring& ring) {
  if (ring.lint || ring.field_depth == 0) {
    bool failed = false;
    gen_poly_divide(n, com, q1, pt, &failed);
    if (failed) return false;
    gen_poly_divide(m, com, q2, pt, &failed);
    return !failed;
  }
  // Over an extension: pseudo-quotients with numeric multipliers.
  OwnedPoly coef1, coef2, rem;
  auto reduce_coef = [&](poly* p, poly* q) {
    OwnedPoly g;
    gcd_of(*p, *q, g.cell(), false, pt, ring);
    if (is_bare_leaf(g.get()) && !poly_eq_1(g.get())) {
      num_poly_quot(*p, g.get()->ncoef, 0);
      num_poly_quot(*q, g.get()->ncoef, 0);
    }
  };
  num_pseudo_div(n, com, q1, rem.cell(), coef1.cell(), pt);
  if (!node_iszero(rem.get())) return false;
  reduce_coef(q1, coef1.cell());
  num_pseudo_div(m, com, q2, rem.cell(), coef2.cell(), pt);
  if (!node_iszero(rem.get())) return false;
  reduce_coef(q2, coef2.cell());
  if (!is_bare_leaf(coef1.get()) || !is_bare_leaf(coef2.get()))
    tavrin_error("non-numbers. reduce2.", true);
  OwnedPoly g;
  gcd_of(coef1.get(), coef2.get(), g.cell(), false, pt, ring);
  if (is_bare_leaf(g.get()) && !poly_eq_1(g.get())) {
    num_poly_quot(coef1.get(), g.get()->ncoef, 0);
    num_poly_quot(coef2.get(), g.get()->ncoef, 0);
  }
  if (!poly_eq_1(coef2.get())) poly_mult(*q1, coef2.get(), q1, pt);
  if (!poly_eq_1(coef1.get())) poly_mult(*q2, coef1.get(), q2, pt);
  return true;
}

}  // namespace

void reduce2(poly* n, poly* m, poly* com, poly* num, poly* den, polypt pt) {
  reduce2(n, m, com, num, den, pt, Ring::current());
}

void reduce2(poly* n, poly* m, poly* com, poly* num, poly* den, polypt pt, const Ring& ring) {
  constexpr int retry_limit = 20;
  for (int starts = 0;; ++starts) {
    check_interrupt();
    OwnedPoly q1, q2;
    if (reduce2_once(*n, *m, *com, q1.cell(), q2.cell(), pt, ring)) {
      free_poly(num);
      *num = q1.release();
      free_poly(den);
      *den = q2.release();
      return;
    }
    if (starts == retry_limit) break;
    if (verbose) std::printf("starting over, reduce2\n");
    free_poly(com);
    gcd_of(*n, *m, com, true, pt, ring);
  }
  tavrin_error("reduce2 retry limit", true);
  OwnedPoly a, b;
  poly_assign(*n, a.cell());
  poly_assign(*m, b.cell());
  free_poly(num);
  *num = a.release();
  free_poly(den);
  *den = b.release();
  poly_set(1, com);
}

void rat_sq_free_factor(poly* x, poly* sq, std::int32_t* count, polypt pt) {
  rat_sq_free_factor(x, sq, count, pt, Ring::current());
}

void rat_sq_free_factor(poly* x, poly* sq, std::int32_t* count, polypt pt, const Ring& ring) {
  OwnedPoly xprime, c, newv, y, z;
  std::int32_t e = 0;
  poly_assign(*x, xprime.cell());
  poly_diff(xprime.cell(), 1);
  gcd_of(xprime.get(), *x, c.cell(), true, pt, ring);
  if (is_bare_leaf(c.get())) {
    poly_assign(*x, newv.cell());
  } else {
    reduce2(x, xprime.cell(), c.cell(), newv.cell(), y.cell(), pt, ring);
    free_poly(x);
    *x = nullptr;
    auto next_z = [&] {
      free_poly(z.cell());
      poly_assign(newv.get(), xprime.cell());
      poly_diff(xprime.cell(), 1);
      best_poly_sub(y.release(), xprime.release(), z.cell());
    };
    next_z();
    while (!node_iszero(z.get())) {
      OwnedPoly g;
      if (!is_bare_leaf(z.get())) gcd_of(newv.get(), z.get(), g.cell(), true, pt, ring);
      ++e;
      if (g.get() != nullptr && !is_bare_leaf(g.get())) {
        reduce2(newv.cell(), z.cell(), g.cell(), newv.cell(), y.cell(), pt, ring);
        push_record(sq, e, g.release(), count);
      } else {
        y.p = z.release();
      }
      next_z();
    }
  }
  // finish_2: what is left has the next multiplicity.
  if (!is_bare_leaf(newv.get())) push_record(sq, e + 1, newv.release(), count);
}

// ---- Modular mode ---------------------------------------------------------------------

void square_free_factor(poly x, poly* sq, std::int32_t* count, polypt pt) {
  square_free_factor(x, sq, count, pt, Ring::current());
}

void square_free_factor(poly x, poly* sq, std::int32_t* count, polypt pt, const Ring& ring) {
  // One variable over a prime field: the same steps on residue vectors.
  DensePoly residues;
  if (positive_head(x) && x->exp >= fast_factor_degree && residue_route_applies(pt) &&
      residues_of(x, 1, &residues)) {
    for (auto& [e, f] : detail::square_free_residues(residues, ring.modulus))
      push_record(sq, e, poly_of_residues(f, 1), count);
    return;
  }
  if (positive_head(x) && x->exp >= char2_vector_degree && char2_route_applies(pt) &&
      residues_of(x, 1, &residues)) {
    for (auto& [e, f] : detail::square_free_char2(residues, ring.modulus))
      push_record(sq, e, poly_of_residues(f, 1), count);
    return;
  }
  const std::int32_t charact = ring.char2 ? 2 : ring.modulus;
  std::int32_t k = 1;
  OwnedPoly owned;  // the working polynomial once it is no longer the caller's
  poly cur = x;
  while (positive_head(cur)) {
    check_interrupt();
    OwnedPoly t0prime;
    poly_assign(cur, t0prime.cell());
    poly_diff(t0prime.cell(), 1);
    if (node_iszero(t0prime.get())) {
      if (owned.get() == nullptr) {
        poly_assign(cur, owned.cell());
        cur = owned.get();
      }
      pth_root_inplace(owned.cell(), pt, ring);
      cur = owned.get();
      k *= charact;
      continue;
    }
    OwnedPoly c, w;
    alg_c_count = 0;
    original_depth = 1;
    polygcd(t0prime.get(), cur, c.cell(), pt, {.usave = false}, ring);
    if (is_bare_leaf(c.get())) {
      poly_assign(cur, w.cell());
    } else {
      bool failed = false;
      gen_poly_divide(cur, c.get(), w.cell(), pt, &failed);
      if (failed) tavrin_error(" failed in square free factor.", true);
    }
    std::int32_t i = 0, e = 0;
    while (w.get() != nullptr && positive_head(w.get())) {
      ++i;
      e += k;
      if (i % charact == 0) {
        fast_poly_divide(c.cell(), w.get(), pt, square_free_tag);
        ++i;
        e += k;
      }
      OwnedPoly yy;
      gcd_of(w.get(), c.get(), yy.cell(), true, pt, ring);
      if (!is_bare_leaf(yy.get())) fast_poly_divide(w.cell(), yy.get(), pt, square_free_tag);
      if (positive_head(w.get())) {
        push_record(sq, e, w.release(), count);
      } else {
        free_poly(w.cell());
      }
      w.p = yy.release();
      if (!is_bare_leaf(w.get())) fast_poly_divide(c.cell(), w.get(), pt, square_free_tag);
    }
    // c holds the factors whose multiplicity is divisible by p.
    if (is_bare_leaf(c.get())) break;
    pth_root_inplace(c.cell(), pt, ring);
    k *= charact;
    free_poly(owned.cell());
    owned.p = c.release();
    cur = owned.get();
  }
}

}  // namespace tavrin
