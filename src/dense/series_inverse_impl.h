// The inverse of a power series by Newton's iteration, shared by the residue
// vectors modulo a word prime (dense_modular.cpp) and the element vectors of
// GF(2^8) and GF(2^16) (dense_char2.cpp): entry i the coefficient of t^i.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavrin::dense_detail {

// The first n terms of the inverse of the power series s (s[0] non-zero),
// g0 = 1 / s[0], by g := g - g (s g - 1), doubling the precision; not
// trimmed. mul(a, b) multiplies trimmed a and b, trim(a) drops a's zero top
// entries, negate(c) is -c.
template <class Mul, class Trim, class Negate>
std::vector<std::int32_t> newton_series_inverse(const std::vector<std::int32_t>& s, std::int32_t n,
                                                std::int32_t g0, Mul mul, Trim trim,
                                                Negate negate) {
  using Poly = std::vector<std::int32_t>;
  Poly g{g0};
  g.resize(static_cast<std::size_t>(n), 0);
  for (std::int32_t l = 1; l < n;) {
    const std::int32_t l2 = std::min(2 * l, n);
    Poly sl(s.begin(),
            s.begin() + std::min<std::ptrdiff_t>(l2, static_cast<std::ptrdiff_t>(s.size())));
    Poly gl(g.begin(), g.begin() + l);
    trim(sl);
    trim(gl);
    Poly e = mul(sl, gl);  // 1 + t^l e' mod t^l2
    e.resize(static_cast<std::size_t>(l2), 0);
    Poly eh(e.begin() + l, e.begin() + l2);
    trim(eh);
    Poly gl2(g.begin(), g.begin() + (l2 - l));
    trim(gl2);
    Poly d = mul(gl2, eh);
    d.resize(static_cast<std::size_t>(l2 - l), 0);
    for (std::int32_t j = 0; j < l2 - l; ++j)
      g[static_cast<std::size_t>(l + j)] = negate(d[static_cast<std::size_t>(j)]);
    l = l2;
  }
  return g;
}

}  // namespace tavrin::dense_detail
