// The one-variable powers on arrays of residues (powermod_impl.h).
#include <algorithm>
#include <utility>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "dense/dense_mult.h"
#include "poly/poly_repr.h"
#include "factor/powermod_impl.h"

namespace tavrin::detail {

bool one_variable(poly p) {
  if (p->numb) return p->next == nullptr;
  return p->exp > 0 && height_is_1(p);
}

bool dense_applies(poly b, poly m, const Ring& ring) {
  return ring.modular && mod_is_prime && !ring.flote && m != nullptr && !m->numb &&
         polynames != nullptr && polynames->p == nullptr && one_variable(m) && one_variable(b);
}

Dense dense_of(poly p) {
  Dense d;
  if (p->numb) {
    d.c.assign(1, p->ncoef->lint);
    d.deg = p->ncoef->lint == 0 ? -1 : 0;
    return d;
  }
  d.c.assign(static_cast<std::size_t>(p->exp) + 1, 0);
  fill_poly1_array(p, d.c.data(), &d.deg);
  return d;
}

poly poly_of(const Dense& d) {
  poly p = nullptr;
  if (d.deg <= 0) {
    poly_set(d.deg < 0 ? 0 : d.c[0], &p);
    p->ncoef->lint = d.deg < 0 ? 0 : d.c[0];
    return p;
  }
  array_to_poly(d.c.data(), d.deg, &p);
  return p;
}

DenseModulus::DenseModulus(poly f, std::int32_t prime) : DenseModulus(dense_of(f), prime) {}

DenseModulus::DenseModulus(Dense d, std::int32_t prime) : m(std::move(d)), p(prime) {
  const std::int32_t n = m.deg;
  if (n < 64) return;
  inv.assign(static_cast<std::size_t>(n), 0);
  inv[0] = 1;
  for (std::int32_t i = 1; i < n; ++i) {
    std::int32_t acc = 0;
    for (std::int32_t j = 1; j <= i; ++j) {
      const std::int32_t c = m.c[static_cast<std::size_t>(n - j)];
      if (c == 0) continue;
      const std::int32_t prod =
          modmult(static_cast<std::uint32_t>(c),
                  static_cast<std::uint32_t>(inv[static_cast<std::size_t>(i - j)]));
      acc = mod_add(static_cast<std::uint32_t>(acc), static_cast<std::uint32_t>(prod), p);
    }
    inv[static_cast<std::size_t>(i)] = mod_sub(0, acc, p);
  }
}

namespace {

// z[0 .. xb + yb] := x[0 .. xb] * y[0 .. yb], leading zeros trimmed first;
// returns the product's degree (-1 for zero).
std::int32_t array_product(const std::int32_t* x, std::int32_t xb, const std::int32_t* y,
                           std::int32_t yb, std::vector<std::int32_t>& z) {
  while (xb >= 0 && x[xb] == 0) --xb;
  while (yb >= 0 && y[yb] == 0) --yb;
  if (xb < 0 || yb < 0) return -1;
  z.assign(static_cast<std::size_t>(xb + yb) + 1, 0);
  fast_array_onevar_mult(x, y, z.data(), 0, xb, 0, yb);
  return xb + yb;
}

// z[0 .. *zdeg] := itself mod md.m, in place.
void dense_rem(std::vector<std::int32_t>& z, std::int32_t* zdeg, const DenseModulus& md) {
  const std::int32_t n = md.m.deg;
  if (*zdeg < n) return;
  if (md.inv.empty()) {
    bool all_zeros = false;
    word_array_mod(z.data(), md.m.c.data(), zdeg, n, &all_zeros);
    if (all_zeros) *zdeg = -1;
    return;
  }
  const std::int32_t qlen = *zdeg - n + 1;
  std::vector<std::int32_t> ra(static_cast<std::size_t>(qlen)), qr, qm;
  for (std::int32_t i = 0; i < qlen; ++i)
    ra[static_cast<std::size_t>(i)] = z[static_cast<std::size_t>(*zdeg - i)];
  const std::int32_t dq =
      array_product(ra.data(), qlen - 1, md.inv.data(), std::min(qlen, n) - 1, qr);
  std::vector<std::int32_t> q(static_cast<std::size_t>(qlen), 0);
  for (std::int32_t i = 0; i < qlen && i <= dq; ++i)
    q[static_cast<std::size_t>(qlen - 1 - i)] = qr[static_cast<std::size_t>(i)];
  const std::int32_t dp = array_product(q.data(), qlen - 1, md.m.c.data(), n, qm);
  for (std::int32_t i = 0; i < n && i <= dp; ++i)
    z[static_cast<std::size_t>(i)] =
        mod_sub(z[static_cast<std::size_t>(i)], qm[static_cast<std::size_t>(i)], md.p);
  *zdeg = n - 1;
}

}  // namespace

// a := a * b mod m (m monic of degree at least 1).
void dense_mulmod(Dense& a, const Dense& b, const DenseModulus& m, std::vector<std::int32_t>& z) {
  std::int32_t zdeg = array_product(a.c.data(), a.deg, b.c.data(), b.deg, z);
  if (zdeg >= 0) dense_rem(z, &zdeg, m);
  while (zdeg >= 0 && z[static_cast<std::size_t>(zdeg)] == 0) --zdeg;
  a.c.assign(z.begin(), z.begin() + (zdeg + 1));
  if (a.c.empty()) a.c.push_back(0);
  a.deg = zdeg;
}

// b := b^u mod m, left to right over the bits of u >= 1.
void dense_power_limb(Dense& b, std::uint32_t u, const DenseModulus& m,
                      std::vector<std::int32_t>& z) {
  const Dense base = b;
  int bit = 31;
  while (bit >= 0 && ((u >> bit) & 1u) == 0) --bit;
  for (int k = bit - 1; k >= 0; --k) {
    const Dense sq = b;
    dense_mulmod(b, sq, m, z);
    if (((u >> k) & 1u) != 0) dense_mulmod(b, base, m, z);
  }
}

}  // namespace tavrin::detail
