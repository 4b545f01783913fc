// The product drivers: term lists into the shared arrays, the array product,
// and the result back into a term list.
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/globals.h"
#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"
#include "dense/dense_mult.h"

namespace tavrin {

using dense_detail::diagnostic;
using dense_detail::Residues;

namespace {

// The schoolbook product of xx (degree dn) and yy (degree dm) into zz, from
// the lowest non-zero coefficients up, the entries below them zeroed.
void schoolbook_from_lowest(std::int32_t dn, std::int32_t dm) {
  std::int32_t i = 0, j = 0;
  if (xx[0] == 0 || yy[0] == 0) {
    while (i < dn && xx[i] == 0) ++i;
    while (j < dm && yy[j] == 0) ++j;
    std::fill(zz, zz + i + j, 0);
  }
  onevar_mult(xx, yy, zz, i, dn, j, dm);
}

// The main degree of a two-variable polynomial (0 for a constant).
std::int32_t main_degree(poly p) { return p->numb ? 0 : p->exp; }

// *p := n * m through the shared arrays: n into xx and m into yy, then
// multiply(dn, dm) leaves the product in zz.
template <class Multiply>
void array_product(poly n, poly m, poly* p, Multiply multiply) {
  std::int32_t dn = 0, dm = 0;
  fill_poly1_array(n, xx, &dn);
  fill_poly1_array(m, yy, &dm);
  multiply(dn, dm);
  array_to_poly(zz, dn + dm, p);
}

}  // namespace

void k_fastest_poly_mult(poly n, poly m, poly* p) {
  array_product(n, m, p, [](std::int32_t dn, std::int32_t dm) {
    if (xx[dn] == 0 || yy[dm] == 0)
      diagnostic("BAD 4: %li, %li, %li, %li\n", dn, dm, xx[dn], yy[dm]);
    if (dn > poly_cutoff && dm > poly_cutoff) {
      fast_array_onevar_mult(xx, yy, zz, 0, dn, 0, dm);
    } else {
      schoolbook_from_lowest(dn, dm);
    }
  });
}

void fastest_poly_mult(poly n, poly m, poly* p) { array_product(n, m, p, schoolbook_from_lowest); }

void faster_poly_mult(poly n, poly m, poly* p) {
  array_product(n, m, p,
                [](std::int32_t dn, std::int32_t dm) { simple_onevar_mult(xx, yy, zz, dn, dm); });
}

void fastest_poly2_mult(poly n, poly m, poly* p) {
  std::int32_t dx[gcd1_array_size];
  std::int32_t dy[gcd1_array_size];
  std::int32_t dz[gcd1_array_size];
  std::int32_t row[gcd1_array_size];
  fill_poly2_array(n, x2, dx);
  fill_poly2_array(m, y2, dy);
  const std::int32_t dn = main_degree(n);
  const std::int32_t dm = main_degree(m);
  const Residues ring = Residues::current();
  for (std::int32_t k = 0; k <= dn + dm; ++k) {
    std::int32_t* const z = z2[k];
    std::int32_t top = -1;
    for (std::int32_t i = std::max(0, k - dm), e = std::min(dn, k); i <= e; ++i) {
      if (dx[i] == -1 || dy[k - i] == -1) continue;
      const std::int32_t d = dx[i] + dy[k - i];
      fast_array_onevar_mult(x2[i], y2[k - i], row, 0, dx[i], 0, dy[k - i]);
      const std::int32_t common = std::min(top, d);
      for (std::int32_t j = 0; j <= common; ++j) z[j] = ring.add(z[j], row[j]);
      for (std::int32_t j = top + 1; j <= d; ++j) z[j] = row[j];
      if (d == top) {
        while (top >= 0 && z[top] == 0) --top;
      } else {
        top = std::max(top, d);
      }
    }
    dz[k] = top;
  }
  array_to_poly2(z2, dn + dm, dz, p);
}

}  // namespace tavrin
