// Division of residue arrays by Newton's iteration: the reversed divisor is
// inverted modulo t^k (k the quotient's length), doubling the precision at
// each step, the reversed quotient is the reversed dividend times that
// inverse, and the remainder the dividend less quotient times divisor in
// its low coefficients. Products of long arrays go to the transforms of
// dense_ntt.cpp.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/thresholds.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "dense/dense_divide.h"
#include "dense/dense_impl.h"
#include "dense/dense_transform_impl.h"

namespace tavrin {

namespace {

using u64 = std::uint64_t;
using vec = std::vector<std::int32_t>;

// c[0 .. na + nb - 1) := a b modulo p: transforms for long operands (by
// pieces of half the longest transform when the product is longer), rows
// summed in 128 bits otherwise.
void product(const std::int32_t* a, std::int32_t na, const std::int32_t* b, std::int32_t nb,
             std::int32_t* c, std::int32_t p) {
  if (std::min(na, nb) >= 48) {
    if (dense_detail::transform_lg(std::int64_t{na} + nb - 1) <= dense_detail::transform_max_lg) {
      dense_detail::ntt_product(a, na, b, nb, c, p);
    } else {
      dense_detail::ntt_product_by_pieces(a, na, b, nb, c, p,
                                          std::int32_t{1} << (dense_detail::transform_max_lg - 1));
    }
    return;
  }
  const WordField field(static_cast<std::uint32_t>(p));
  for (std::int32_t k = 0; k < na + nb - 1; ++k) {
    unsigned __int128 s = 0;
    for (std::int32_t i = std::max(0, k - nb + 1); i <= std::min(na - 1, k); ++i)
      s += static_cast<u64>(a[i]) * static_cast<u64>(b[k - i]);
    c[k] = static_cast<std::int32_t>(field.reduce_wide(s));
  }
}

}  // namespace

void dense_detail::ntt_product_by_pieces(const std::int32_t* x, std::int32_t nx,
                                         const std::int32_t* y, std::int32_t ny, std::int32_t* z,
                                         std::int32_t modul, std::int32_t piece) {
  std::fill(z, z + (nx + ny - 1), 0);
  vec part(2 * static_cast<std::size_t>(piece));
  for (std::int32_t i = 0; i < nx; i += piece) {
    for (std::int32_t j = 0; j < ny; j += piece) {
      const std::int32_t lx = std::min(piece, nx - i), ly = std::min(piece, ny - j);
      product(x + i, lx, y + j, ly, part.data(), modul);
      std::int32_t* out = z + i + j;
      for (std::int32_t k = 0; k < lx + ly - 1; ++k)
        out[k] = add_residues(out[k], part[static_cast<std::size_t>(k)], modul);
    }
  }
}

bool newton_division_pays(std::int64_t dn, std::int64_t dm) {
  return dm >= dense_newton_degree && dn - dm + 1 >= dense_newton_degree;
}

std::int32_t newton_array_divide(const std::int32_t* n, std::int32_t dn, const std::int32_t* m,
                                 std::int32_t dm, std::int32_t* q, std::int32_t* r,
                                 std::int32_t p) {
  const auto up = static_cast<u64>(p);
  const std::int32_t k = dn - dm + 1;
  const u64 cinv = power_modulo(static_cast<u64>(m[dm]), up - 2, static_cast<std::uint32_t>(up));
  // rm = reversed divisor / its leading coefficient (constant term 1), to
  // k coefficients.
  vec rm(static_cast<std::size_t>(k), 0);
  for (std::int32_t i = 0; i < k && i <= dm; ++i)
    rm[static_cast<std::size_t>(i)] =
        static_cast<std::int32_t>(static_cast<u64>(m[dm - i]) * cinv % up);
  // g = rm^-1 mod t^l, l doubling: g_new = g - g (rm g - 1).
  vec g(static_cast<std::size_t>(k), 0), t, u;
  g[0] = 1;
  for (std::int32_t l = 1; l < k;) {
    const std::int32_t l2 = std::min(2 * l, k);
    t.assign(static_cast<std::size_t>(l2 + l - 1), 0);
    product(rm.data(), l2, g.data(), l, t.data(), p);
    // rm g = 1 + t^l e mod t^l2; e = t[l .. l2).
    u.assign(static_cast<std::size_t>(2 * (l2 - l) - 1), 0);
    product(g.data(), l2 - l, t.data() + l, l2 - l, u.data(), p);
    for (std::int32_t j = 0; j < l2 - l; ++j) {
      const std::int32_t v = u[static_cast<std::size_t>(j)];
      g[static_cast<std::size_t>(l + j)] = v == 0 ? 0 : p - v;
    }
    l = l2;
  }
  // Reversed quotient: reversed dividend times g, divided by m's leading
  // coefficient, modulo t^k.
  vec rn(static_cast<std::size_t>(k));
  for (std::int32_t i = 0; i < k; ++i) rn[static_cast<std::size_t>(i)] = n[dn - i];
  t.assign(static_cast<std::size_t>(2 * k - 1), 0);
  product(rn.data(), k, g.data(), k, t.data(), p);
  for (std::int32_t i = 0; i < k; ++i)
    q[k - 1 - i] =
        static_cast<std::int32_t>(static_cast<u64>(t[static_cast<std::size_t>(i)]) * cinv % up);
  // Remainder: the low dm coefficients of n - q m.
  if (dm == 0) return -1;
  t.assign(static_cast<std::size_t>(k + dm), 0);
  product(q, k, m, dm + 1, t.data(), p);
  std::int32_t rdeg = -1;
  for (std::int32_t i = 0; i < dm; ++i) {
    const std::int32_t d = n[i] - t[static_cast<std::size_t>(i)];
    r[i] = d < 0 ? d + p : d;
    if (r[i] != 0) rdeg = i;
  }
  return rdeg;
}

}  // namespace tavrin
