// p-th roots of field elements and the per-level root tables
// (square_free.h): the Frobenius map is linear over the prime field, so its
// inverse is the inverse of the matrix whose row i holds the coordinates of
// (basis monomial i)^p; the row of t^e in that inverse is the root of t^e.
// In the fields of 256 and 65536 elements the map inverted is squaring: the
// row read back holds the squares of the root's coordinates.
#include <cstdio>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "dense/dense_matrix.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "factor/square_free.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

// The dimension of the field of lev and every level below (1 for nil).
std::int32_t order_below(polypt lev) {
  std::int32_t n = 1;
  for (polypt r = lev; r != nullptr; r = r->next) n *= r->expon;
  return n;
}

// The root of a ground element: itself in Z/p, its square root in the
// fields of characteristic 2.
std::int32_t ground_root(std::int32_t v, const Ring& ring) {
  return ring.char2 ? modular_sqrt(v) : v;
}

poly residue_leaf(std::int32_t v) {
  poly p = nullptr;
  poly_set(v, &p);
  p->ncoef->lint = v;
  return p;
}

// A table is current when built for the modulus in force.
bool stale(polypt lev, const Ring& ring) {
  return lev->roots == nullptr || lev->modls != ring.modulus;
}

// Makes the tables of every level from the bottom up to lev current.
void make_current(polypt lev, const Ring& ring) {
  if (lev == nullptr) {
    tavrin_error("make pth roots.", true);
    return;
  }
  std::vector<polypt> chain;
  for (polypt r = lev; r != nullptr; r = r->next) chain.push_back(r);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    if (stale(*it, ring)) do_this_level(*it, ring);
}

// dump_coeffs: the coordinates of b (a polynomial at lev's level) added
// into out[0 .. order_below(lev)), t^k times lower monomial j at k*sub + j.
void dump_coeffs(poly b, polypt lev, std::int32_t* out) {
  if (b->numb && b->next == nullptr) {
    out[0] = b->ncoef->lint;
    return;
  }
  const std::int32_t sub = order_below(lev->next);
  for (poly t = b; t != nullptr; t = t->next) {
    if (t->numb) {
      out[0] = t->ncoef->lint;
    } else if (lev->next == nullptr) {
      out[t->exp] = t->pcoef->ncoef->lint;
    } else {
      dump_coeffs(t->pcoef, lev->next, out + static_cast<std::ptrdiff_t>(t->exp) * sub);
    }
  }
}

// mult_out: the polynomial at lev's level with coordinates in[...] (zero
// cells skipped, a constant part as a number leaf); nil for zero.
poly mult_out(const std::int32_t* in, polypt lev, const Ring& ring) {
  const std::int32_t sub = order_below(lev->next);
  poly head = nullptr;
  poly* link = &head;
  for (std::int32_t k = lev->expon - 1; k >= 0; --k) {
    poly lower = nullptr;
    if (lev->next == nullptr) {
      if (in[k] != 0) lower = residue_leaf(ground_root(in[k], ring));
    } else {
      lower = mult_out(in + static_cast<std::ptrdiff_t>(k) * sub, lev->next, ring);
    }
    if (lower == nullptr) continue;
    *link = (k == 0 && is_bare_leaf(lower)) ? lower : nodes::new_term(k, lower);
    link = &(*link)->next;
  }
  return head;
}

// r_e of lev's table: the first record whose exponent is not above e.
poly table_root(polypt lev, std::int32_t e) {
  poly r = lev->roots;
  while (r->next != nullptr && r->exp > e) r = r->next;
  return r->pcoef;
}

}  // namespace

void basis(poly* q, std::int32_t i, polypt qt) {
  const std::int32_t sub = order_below(qt->next);
  const std::int32_t e = i / sub;
  OwnedPoly lower;
  if (qt->next == nullptr) {
    lower.p = residue_leaf(1);
  } else {
    basis(lower.cell(), i % sub, qt->next);
  }
  free_poly(q);
  if (e == 0 && is_bare_leaf(lower.get())) {
    *q = lower.release();
  } else {
    *q = nodes::new_term(e, lower.release());
  }
}

void do_this_level(polypt qt) { do_this_level(qt, Ring::current()); }

void do_this_level(polypt qt, const Ring& ring) {
  const std::int32_t n = order_below(qt);
  const std::int32_t sub = order_below(qt->next);
  if (std::int64_t{n} * n > workarray_cells) {  // the matrix must fit one work array
    tavrin_error("field too large for a p-th root table.", true);
    return;
  }
  free_poly(&qt->roots);
  const std::int32_t frobenius = ring.char2 ? 2 : ring.modulus;
  // Row i - 1: the coordinates of (basis monomial i)^p. The map is a
  // bijection of the field, so the matrix is invertible.
  const std::size_t side = static_cast<std::size_t>(n);
  std::vector<std::int32_t> images(side * side, 0);
  for (std::int32_t i = 1; i <= n; ++i) {
    OwnedPoly b;
    basis(b.cell(), i - 1, qt);
    compute_power(b.cell(), frobenius, qt);
    dump_coeffs(b.get(), qt, images.data() + static_cast<std::size_t>(i - 1) * side);
  }
  residue_matrix_inverse(images, n);
  poly table = nodes::new_term(0, residue_leaf(1));
  for (std::int32_t e = 1; e < qt->expon; ++e) {
    const std::size_t start = static_cast<std::size_t>(e) * static_cast<std::size_t>(sub) * side;
    poly r = mult_out(images.data() + start, qt, ring);
    if (r == nullptr) r = residue_leaf(0);
    table = nodes::new_term(e, r, table);
  }
  qt->roots = table;
  qt->modls = ring.modulus;
}

void pth_root(poly* p, polypt pt) { pth_root(p, pt, Ring::current()); }

void pth_root(poly* p, polypt pt, const Ring& ring) {
  if (is_bare_leaf(*p)) {
    if (ring.char2) (*p)->ncoef->lint = ground_root((*p)->ncoef->lint, ring);
    return;
  }
  if (stale(pt, ring)) make_current(pt, ring);
  if (stale(pt, ring)) return;  // no table (its failure was reported): *p stays
  OwnedPoly result;
  result.p = residue_leaf(0);
  for (poly t = *p; t != nullptr; t = t->next) {
    OwnedPoly piece;
    if (t->numb) {
      piece.p = residue_leaf(ground_root(t->ncoef->lint, ring));
    } else {
      poly_assign(t->pcoef, piece.cell());
      pth_root(piece.cell(), pt->next, ring);
      if (!is_bare_leaf(piece.get())) add_pad(piece.cell(), 1);
      poly_mult(piece.get(), table_root(pt, t->exp), piece.cell(), pt);
    }
    poly r = result.release();
    best_poly_add(r, piece.release(), result.cell());
  }
  free_poly(p);
  *p = result.release();
}

void pth_root_inplace(poly* p, polypt pt) { pth_root_inplace(p, pt, Ring::current()); }

void pth_root_inplace(poly* p, polypt pt, const Ring& ring) {
  const std::int32_t charact = ring.char2 ? 2 : ring.modulus;
  for (poly t = *p; t != nullptr; t = t->next) {
    if (t->numb) {
      t->ncoef->lint = ground_root(t->ncoef->lint, ring);
      continue;
    }
    t->exp /= charact;
    if (is_bare_leaf(t->pcoef)) {
      t->pcoef->ncoef->lint = ground_root(t->pcoef->ncoef->lint, ring);
      continue;
    }
    poly* link = &t->pcoef;
    std::int32_t level = pt->depth + 1;
    polypt lev = pt->next;
    while (is_pad(*link)) {
      link = &(*link)->pcoef;
      ++level;
      if (lev != nullptr) lev = lev->next;
    }
    if (ring.field_depth == 0 || level < ring.field_depth || lev == nullptr) {
      error(pth_root_not_field_error, &token);
      continue;
    }
    make_current(lev, ring);
    pth_root(link, lev, ring);
  }
}

}  // namespace tavrin
