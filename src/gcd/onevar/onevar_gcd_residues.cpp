// One-variable polynomials modulo a prime as residue vectors: the
// conversions from and to term lists, and their monic GCD.
#include <cstdint>
#include <utility>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "dense/dense_modular.h"
#include "poly/intpoly.h"
#include "gcd/onevar_gcd.h"

namespace tavrin {

bool residue_ring() { return residue_ring(Ring::current()); }

bool residue_ring(const Ring& ring) {
  return ring.modular && ring.lint && !ring.flote && !ring.char2 && mod_is_prime;
}

bool char2_ring() { return char2_ring(Ring::current()); }

bool char2_ring(const Ring& ring) { return ring.modular && ring.lint && !ring.flote && ring.char2; }

bool onevar_residues(poly p, DensePoly* out) { return onevar_residues(p, out, Ring::current()); }

bool onevar_residues(poly p, DensePoly* out, const Ring& ring) {
  if (p->numb) {
    if (p->next != nullptr) return false;
    const std::int32_t c = p->ncoef->lint;
    if (c < 0 || c >= ring.modulus) return false;
    out->clear();
    if (c != 0) out->push_back(c);
    return true;
  }
  const std::int32_t deg = p->exp;
  if (deg <= 0) return false;
  out->assign(static_cast<std::size_t>(deg) + 1, 0);
  return for_each_onevar_leaf(p, [&](std::int32_t e, poly leaf) {
    const std::int32_t c = leaf->ncoef->lint;
    if (c <= 0 || c >= ring.modulus) return false;
    (*out)[static_cast<std::size_t>(e)] = c;
    return true;
  });
}

poly onevar_poly(const DensePoly& d) {
  poly r = nullptr;
  if (d.empty()) {
    poly_set(0, &r);
    return r;
  }
  array_to_poly(d.data(), dense_degree(d), &r);
  return r;
}

DensePoly residue_gcd(const DensePoly& a, const DensePoly& b) {
  return residue_gcd(a, b, Ring::current());
}

DensePoly residue_gcd(const DensePoly& a, const DensePoly& b, const Ring& ring) {
  const std::int32_t p = ring.modulus;
  const DensePoly& big = a.size() >= b.size() ? a : b;
  const DensePoly& small = a.size() >= b.size() ? b : a;
  if (dense_degree(small) >= onevar_hgcd_degree) return dense_gcd(big, small, p);
  // The Euclid loop of the array GCD on copies: x := x mod y, then the
  // pair exchanges, until a remainder is zero (the GCD is the divisor) or
  // a non-zero constant (the GCD is 1).
  DensePoly x = big, y = small;
  std::int32_t dx = dense_degree(x), dy = dense_degree(y);
  for (;;) {
    bool zero = false;
    if (p < two_term_modulus && dx == dy + 1) {
      onevar_one(x.data(), y.data(), &dx, dy, &zero);
    } else if (p <= 65536) {
      onevar_array_mod(x.data(), y.data(), &dx, dy, &zero);
    } else {
      word_array_mod(x.data(), y.data(), &dx, dy, &zero);
    }
    if (zero) break;
    if (dx == 0) return {1};
    std::swap(x, y);
    std::swap(dx, dy);
  }
  y.resize(static_cast<std::size_t>(dy) + 1);
  dense_make_monic(y, p);
  return y;
}

}  // namespace tavrin
