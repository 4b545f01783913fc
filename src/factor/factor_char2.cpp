// The distinct-degree stage in GF(2^8) and GF(2^16) on element vectors
// (factor_impl.h).
//
// h_i = t^(q^i) mod r, r the part still to split, by log2 q squarings
// modulo r per degree (a square is linear in characteristic 2; only its
// remainder costs products, by the modulus's series inverse, prepared once
// per r). Every irreducible factor of r of degree i divides h_i - t, and
// those of lower degrees are gone, so gcd(prod_(i in B) (h_i - t) mod r, r)
// over a block B of consecutive degrees is the product of r's factors of
// degrees in B: one GCD with r per block, the blocks growing from one
// degree to about sqrt(deg r) / 2. A block whose GCD is not 1 is
// split degree by degree, lowest first, by the GCDs of that product with
// each h_i - t, exactly as the degree-by-degree search finds them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "dense/dense_char2.h"
#include "factor/factor_impl.h"

namespace tavrin::detail {

namespace {

DensePoly monic(DensePoly a, std::int32_t q) {
  dense_char2_make_monic(a, q);
  return a;
}

DensePoly quotient(const DensePoly& b, const DensePoly& a, std::int32_t q) {
  DensePoly r;
  dense_char2_divrem(b, a, q, &r, nullptr);
  return r;
}

DensePoly remainder(const DensePoly& b, const DensePoly& a, std::int32_t q) {
  DensePoly r;
  dense_char2_divrem(b, a, q, nullptr, &r);
  return r;
}

// The degrees a block holds modulo a rest of degree n: about sqrt(n) /
// char2_ddf_block_divisor, at least 1.
std::size_t block_size(std::int32_t n) {
  const double b = std::sqrt(static_cast<double>(n)) / static_cast<double>(char2_ddf_block_divisor);
  return static_cast<std::size_t>(std::max(1.0, std::ceil(b)));
}

}  // namespace

std::vector<DegreeProduct> distinct_degree_char2(const DensePoly& v, std::int32_t q,
                                                 bool leave_early) {
  ++residue_routes.factor_char2;
  std::vector<DegreeProduct> out;
  const int squarings = q == 256 ? 8 : 16;
  const DensePoly t{0, 1};
  DensePoly rest = v, h = t;  // h: t^(q^done) mod rest
  auto M = std::make_unique<Char2Modulus>(monic(rest, q), q);
  std::vector<DensePoly> diffs;  // h_i - t over the block
  for (std::int32_t done = 0; 2 * (done + 1) <= dense_degree(rest);) {
    const std::int32_t n = dense_degree(rest);
    // Blocks grow from one degree, never beyond the degrees done: the
    // first factor (all that leave_early wants) is found within twice its degree.
    const std::size_t size = std::min(block_size(n), static_cast<std::size_t>(std::max(done, 1)));
    diffs.clear();
    DensePoly product;
    while (diffs.size() < size && 2 * (done + static_cast<std::int32_t>(diffs.size()) + 1) <= n) {
      check_interrupt();
      for (int k = 0; k < squarings; ++k) h = M->sqr(h);
      DensePoly d = dense_char2_add(h, t);
      product = diffs.empty() ? d : M->mul(product, d);
      diffs.push_back(std::move(d));
    }
    const std::int32_t first = done + 1;
    done += static_cast<std::int32_t>(diffs.size());
    DensePoly g = dense_char2_gcd(product, rest, q);
    if (dense_degree(g) <= 0) continue;
    for (std::size_t k = 0; k < diffs.size() && dense_degree(g) > 0; ++k) {
      const std::int32_t i = first + static_cast<std::int32_t>(k);
      if (2 * i > dense_degree(rest)) break;  // the rest is irreducible
      DensePoly s = dense_char2_gcd(remainder(diffs[k], g, q), g, q);
      if (dense_degree(s) <= 0) continue;
      if (dense_degree(s) == dense_degree(rest)) {  // h_i = t modulo the rest
        out.push_back({std::move(rest), i});
        return out;
      }
      if (leave_early) {
        out.push_back({std::move(s), i});
        return out;
      }
      g = quotient(g, s, q);
      rest = quotient(rest, s, q);
      out.push_back({std::move(s), i});
    }
    M = std::make_unique<Char2Modulus>(monic(rest, q), q);
    h = remainder(h, rest, q);
  }
  if (dense_degree(rest) > 0) {
    const std::int32_t e = dense_degree(rest);
    out.push_back({std::move(rest), e});
  }
  return out;
}

}  // namespace tavrin::detail
