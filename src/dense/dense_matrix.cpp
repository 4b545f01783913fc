// The inverse of a residue matrix (see dense_matrix.h).
#include "dense/dense_matrix.h"

#include <algorithm>
#include <cstddef>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/word_mod.h"

namespace tavrin {

bool residue_matrix_inverse(std::vector<std::int32_t>& a, std::int32_t n) {
  const std::size_t m = static_cast<std::size_t>(n);
  const std::size_t w = 2 * m;
  // [a | I], row by row, brought to [I | a^-1].
  std::vector<std::int32_t> g(m * w, 0);
  auto row = [&g, w](std::size_t r) { return g.begin() + static_cast<std::ptrdiff_t>(r * w); };
  for (std::size_t r = 0; r < m; ++r) {
    std::copy_n(a.begin() + static_cast<std::ptrdiff_t>(r * m), m, row(r));
    g[r * w + m + r] = 1;
  }
  for (std::size_t c = 0; c < m; ++c) {
    check_interrupt();
    std::size_t p = c;
    while (p < m && g[p * w + c] == 0) ++p;
    if (p == m) return false;
    if (p != c) std::swap_ranges(row(p), row(p) + static_cast<std::ptrdiff_t>(w), row(c));
    std::int32_t inv = 0;
    mod_inverse(g[c * w + c], &inv);
    for (std::size_t k = c; k < w; ++k)
      g[c * w + k] =
          modmult(static_cast<std::uint32_t>(g[c * w + k]), static_cast<std::uint32_t>(inv));
    for (std::size_t r = 0; r < m; ++r) {
      const std::int32_t f = g[r * w + c];
      if (r == c || f == 0) continue;
      for (std::size_t k = c; k < w; ++k)
        g[r * w + k] = mod_sub(
            g[r * w + k],
            modmult(static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(g[c * w + k])),
            modulus);
    }
  }
  for (std::size_t r = 0; r < m; ++r)
    std::copy_n(row(r) + static_cast<std::ptrdiff_t>(m), m,
                a.begin() + static_cast<std::ptrdiff_t>(r * m));
  return true;
}

}  // namespace tavrin
