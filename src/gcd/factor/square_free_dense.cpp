// The square-free decomposition modulo a prime on residue vectors, and the
// conversions the residue routes share (factor_impl.h).
#include <utility>

#include "core/globals.h"
#include "core/interrupts.h"
#include "dense/dense_arrays.h"
#include "gcd/factor/factor_impl.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_repr.h"

namespace tavrin::detail {

ResidueRouteCounts residue_routes;

namespace {

bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

// b / a for a dividing b exactly.
DensePoly quotient(const DensePoly& b, const DensePoly& a, std::int32_t p) {
  DensePoly q;
  dense_divrem(b, a, p, &q, nullptr);
  return q;
}

// The p-th root of a polynomial in t^p over the prime field: every exponent
// divided by p, the coefficients (fixed by the Frobenius map) kept.
DensePoly pth_root_residues(const DensePoly& a, std::int32_t p) {
  DensePoly r;
  for (std::size_t e = 0; e < a.size(); e += static_cast<std::size_t>(p)) r.push_back(a[e]);
  return r;
}

}  // namespace

bool residues_of(poly p, std::int32_t h, DensePoly* out) {
  for (std::int32_t k = 1; k < h; ++k) {
    if (p->numb || !is_pad(p)) return false;
    p = p->pcoef;
  }
  if (!height_is_1(p)) return false;
  const std::int32_t deg = p->numb ? 0 : p->exp;
  out->assign(static_cast<std::size_t>(deg) + 1, 0);
  std::int32_t d = 0;
  fill_poly1_array(p, out->data(), &d);
  dense_trim(*out);
  return true;
}

poly poly_of_residues(const DensePoly& d, std::int32_t h) {
  poly r = nullptr;
  array_to_poly(d.data(), dense_degree(d), &r);
  if (!r->numb && h > 1) add_pad(&r, h - 1);
  return r;
}

bool residue_route_applies(polypt r) {
  return modularmode && lintmode && !flotemode && !finf && mod_is_prime && r != nullptr && r->p == nullptr;
}

// The steps of square_free_factor, each gcd monic as polygcd gives it
// modulo a prime, each quotient exact.
std::vector<std::pair<std::int32_t, DensePoly>> square_free_residues(const DensePoly& x, std::int32_t p) {
  ++residue_routes.square_free;
  std::vector<std::pair<std::int32_t, DensePoly>> records;
  std::int32_t k = 1;
  DensePoly cur = x;
  while (dense_degree(cur) > 0) {
    check_interrupt();
    const DensePoly t0prime = dense_derivative(cur, p);
    if (t0prime.empty()) {
      cur = pth_root_residues(cur, p);
      k *= p;
      continue;
    }
    DensePoly c = dense_gcd(t0prime, cur, p);
    DensePoly w = dense_degree(c) > 0 ? quotient(cur, c, p) : cur;
    std::int32_t i = 0, e = 0;
    while (dense_degree(w) > 0) {
      ++i;
      e += k;
      if (i % p == 0) {
        c = quotient(c, w, p);
        ++i;
        e += k;
      }
      DensePoly y = dense_gcd(w, c, p);
      if (dense_degree(y) > 0) w = quotient(w, y, p);
      if (dense_degree(w) > 0) records.emplace_back(e, std::move(w));
      w = std::move(y);
      if (dense_degree(w) > 0) c = quotient(c, w, p);
    }
    // c holds the factors whose multiplicity is divisible by p.
    if (dense_degree(c) <= 0) break;
    cur = pth_root_residues(c, p);
    k *= p;
  }
  return records;
}

}  // namespace tavrin::detail
