// Eliminations on bare residues (see residue_elimination.h). The entries
// sit in contiguous rows, so a row exchange is an exchange of two row
// pointers and every elimination step runs over two contiguous rows.
#include "matrix/residue_elimination.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"

namespace tavrin {

namespace {

// row := row - g * pivot over n entries, all residues modulo p < 2^31. The
// products are Shoup's (word_field.h), with g's quotient taken once: two
// 32x32->64 products and no division; the loop has no branches the
// compiler cannot turn into selects.
void mod_row_update(std::uint32_t* __restrict row, const std::uint32_t* __restrict pivot,
                    std::int32_t n, std::uint32_t g, std::uint32_t p) {
  const std::uint32_t gs = shoup_quotient(g, p);
  for (std::int32_t c = 0; c < n; ++c) {
    const std::uint32_t t = shoup_mul(pivot[c], g, gs, p);
    const std::uint32_t x = row[c];
    row[c] = x >= t ? x - t : x + p - t;
  }
}

// The same for p < 2^16 on 32-bit products only (they vectorise better):
// with gs = floor(g 2^16 / p), b*gs < 2^32 and b*g - floor(b*gs / 2^16)*p
// lies in [0, 2p).
void mid_row_update(std::uint32_t* __restrict row, const std::uint32_t* __restrict pivot,
                    std::int32_t n, std::uint32_t g, std::uint32_t p) {
  const std::uint32_t gs = (g << 16) / p;
  for (std::int32_t c = 0; c < n; ++c) {
    const std::uint32_t b = pivot[c];
    const std::uint32_t q = (b * gs) >> 16;
    std::uint32_t t = b * g - q * p;
    t = t >= p ? t - p : t;
    const std::uint32_t x = row[c];
    row[c] = x >= t ? x - t : x + p - t;
  }
}

// The same for p < 2^15 on 16-bit residues: with gs = floor(g 2^16 / p) the
// value b*g - floor(b*gs / 2^16)*p lies in [0, 2p) < 2^16, so the low and
// high 16-bit products suffice and eight entries go in one vector.
void small_row_update(std::uint16_t* __restrict row, const std::uint16_t* __restrict pivot,
                      std::int32_t n, std::uint16_t g, std::uint16_t p) {
  const auto gs = static_cast<std::uint16_t>((std::uint32_t{g} << 16) / p);
  for (std::int32_t c = 0; c < n; ++c) {
    const std::uint16_t b = pivot[c];
    const auto q = static_cast<std::uint16_t>((std::uint32_t{b} * gs) >> 16);
    auto t = static_cast<std::uint16_t>(b * g - q * p);
    t = t >= p ? static_cast<std::uint16_t>(t - p) : t;
    const std::uint16_t x = row[c];
    row[c] = x >= t ? static_cast<std::uint16_t>(x - t) : static_cast<std::uint16_t>(x + p - t);
  }
}

// The same in a field of characteristic 2: field products, exclusive or.
void char2_row_update(std::uint32_t* row, const std::uint32_t* pivot, std::int32_t n,
                      std::uint32_t g) {
  for (std::int32_t c = 0; c < n; ++c)
    if (pivot[c] != 0) row[c] ^= static_cast<std::uint32_t>(modmult(pivot[c], g));
}

// row := row - g * pivot over n entries in the form of T.
template <class T>
void row_update(T* row, const T* pivot, std::int32_t n, std::uint32_t g, std::uint32_t p) {
  if constexpr (sizeof(T) == 2) {
    small_row_update(row, pivot, n, static_cast<std::uint16_t>(g), static_cast<std::uint16_t>(p));
  } else if (finf) {
    char2_row_update(row, pivot, n, g);
  } else if (p < 65536) {
    mid_row_update(row, pivot, n, g, p);
  } else {
    mod_row_update(row, pivot, n, g, p);
  }
}

// Modulo a composite p a residue without inverse cannot be a pivot. Column
// i of rows i.. then gets a unit at (i, i) when one of its entries is a unit;
// when none is, Euclid's steps on the residues as integers (row k -= q row
// r, which keeps the determinant) leave their greatest common divisor with
// p at (i, i) and zeros below it. False: the column is zero from row i on.
// Exchanges negate *d.
template <class T>
bool composite_pivot(std::vector<T*>& row, std::size_t i, std::uint32_t p, std::int32_t* d) {
  const std::size_t size = row.size();
  const auto bring = [&](std::size_t r) {
    if (r == i) return;
    std::swap(row[i], row[r]);
    if (*d > 0) *d = static_cast<std::int32_t>(p) - *d;
  };
  for (std::size_t r = i; r < size; ++r)
    if (std::gcd(std::uint32_t{row[r][i]}, p) == 1) {
      bring(r);
      return true;
    }
  const auto rest = static_cast<std::int32_t>(size - i);
  for (;;) {
    std::size_t least = size;
    for (std::size_t r = i; r < size; ++r)
      if (row[r][i] != 0 && (least == size || row[r][i] < row[least][i])) least = r;
    if (least == size) return false;
    bring(least);
    bool cleared = true;
    for (std::size_t k = i + 1; k < size; ++k) {
      if (row[k][i] == 0) continue;
      row_update(row[k] + i, row[i] + i, rest, row[k][i] / row[i][i], p);
      cleared = cleared && row[k][i] == 0;
    }
    if (cleared) return true;
  }
}

// The elimination on the m x m residues held row by row in store, on rows of
// T (uint16_t only when p < 2^15 outside characteristic 2).
template <class T>
std::int32_t eliminate(T* store, std::int32_t m, std::int32_t d) {
  const auto size = static_cast<std::size_t>(m);
  std::vector<T*> row(size);
  for (std::size_t r = 0; r < size; ++r) row[r] = store + r * size;
  const auto p = static_cast<std::uint32_t>(modulus);
  const bool composite = !finf && !mod_is_prime;
  for (std::size_t i = 0; i < size; ++i) {
    check_interrupt();
    if (composite) {
      if (!composite_pivot(row, i, p, &d)) return 0;
    } else {
      std::size_t r = i;
      while (r < size && row[r][i] == 0) ++r;
      if (r == size) return 0;
      if (r != i) {
        std::swap(row[i], row[r]);
        if (!finf && d > 0) d = modulus - d;
      }
    }
    d = modmult(row[i][i], static_cast<std::uint32_t>(d));
    // Below a pivot without inverse (Euclid's steps) the column is clear.
    if (composite && std::gcd(std::uint32_t{row[i][i]}, p) != 1) continue;
    std::int32_t inv = static_cast<std::int32_t>(row[i][i]);
    verse(&inv);
    const auto rest = static_cast<std::int32_t>(size - i - 1);
    const T* pivot = row[i] + i + 1;
    for (std::size_t k = i + 1; k < size; ++k) {
      const auto g =
          static_cast<std::uint32_t>(modmult(row[k][i], static_cast<std::uint32_t>(inv)));
      if (g != 0) row_update(row[k] + i + 1, pivot, rest, g, p);
    }
  }
  return d;
}

bool sixteen_bit_rows() { return !finf && modulus < 32768; }

// Prime moduli below 2^24 take the blocked elimination on doubles (below);
// the row-by-row kernels above stay for larger moduli, the fields of
// characteristic 2 and the oracle of the tests.
bool double_rows() { return !finf && mod_is_prime && modulus > 2 && modulus < (1 << 24); }

std::int32_t times_residue(std::int32_t d, std::uint32_t det) {
  const std::int64_t p = modulus;
  const std::int64_t r = (d % p + p) % p;
  return static_cast<std::int32_t>(r * det % p);
}

}  // namespace

ResidueRows residue_rows() {
  if (double_rows()) return ResidueRows::doubles;
  return sixteen_bit_rows() ? ResidueRows::halfwords : ResidueRows::words;
}

std::int32_t residue_rows_determ(double* store, std::int32_t m, std::int32_t d) {
  return times_residue(d,
                       residue_lu(store, m, static_cast<std::uint32_t>(modulus), nullptr, nullptr));
}

std::int32_t residue_rows_determ(std::uint16_t* store, std::int32_t m, std::int32_t d) {
  return eliminate(store, m, d);
}

std::int32_t residue_rows_determ(std::uint32_t* store, std::int32_t m, std::int32_t d) {
  return eliminate(store, m, d);
}

std::int32_t plain_residue_determ(std::uint32_t* store, std::int32_t m, std::int32_t d) {
  if (!sixteen_bit_rows()) return eliminate(store, m, d);
  const std::size_t cells = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  std::vector<std::uint16_t> narrow(store, store + cells);
  return eliminate(narrow.data(), m, d);
}

std::int32_t residue_determ(std::uint32_t* store, std::int32_t m, std::int32_t d) {
  if (!double_rows()) return plain_residue_determ(store, m, d);
  const std::size_t cells = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  std::vector<double> wide(store, store + cells);
  return residue_rows_determ(wide.data(), m, d);
}

namespace {

// The determinant modulo the prime p on rows of words: the elimination of
// eliminate() with the field's products in place of the current modulus's.
std::uint32_t prime_eliminate(std::uint32_t* store, std::int32_t m, std::uint32_t p) {
  const auto size = static_cast<std::size_t>(m);
  const WordField f(p);
  std::vector<std::uint32_t*> row(size);
  for (std::size_t r = 0; r < size; ++r) row[r] = store + r * size;
  std::uint32_t d = 1;
  for (std::size_t i = 0; i < size; ++i) {
    check_interrupt();
    std::size_t r = i;
    while (r < size && row[r][i] == 0) ++r;
    if (r == size) return 0;
    if (r != i) {
      std::swap(row[i], row[r]);
      d = f.neg(d);
    }
    d = f.mul(d, row[i][i]);
    const std::uint32_t inv = f.inv(row[i][i]);
    const auto rest = static_cast<std::int32_t>(size - i - 1);
    for (std::size_t k = i + 1; k < size; ++k) {
      const std::uint32_t g = f.mul(row[k][i], inv);
      if (g == 0) continue;
      if (p < 65536)
        mid_row_update(row[k] + i + 1, row[i] + i + 1, rest, g, p);
      else
        mod_row_update(row[k] + i + 1, row[i] + i + 1, rest, g, p);
    }
  }
  return d;
}

}  // namespace

std::uint32_t prime_residue_determ(std::uint32_t* store, std::int32_t m, std::uint32_t p) {
  if (p <= 2 || p >= (1u << 24)) return prime_eliminate(store, m, p);
  const std::size_t cells = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  std::vector<double> wide(store, store + cells);
  return residue_lu(wide.data(), m, p, nullptr, nullptr);
}

// ---- Elimination on residues held in doubles ----------------------------------
// The updates t := t - g * u run on doubles without reduction: with g and the
// entries of u in [0, p), each elimination step moves an entry by less than
// p^2, so entries stay exact integers below 2^52 (where a reduction needs no
// division, see reduce_exact) for (2^52 - p) / p^2 steps: 1024 steps for
// p < 2^21, every matrix below 2^20 rows for the table's primes, the whole
// trailing block reduced when the budget runs out. A row is reduced when it
// becomes a pivot row, a column when it becomes the pivot column. The
// elimination runs in panels of eight columns: the panel is factored on its
// own columns, the pivot rows' trailing parts are brought up to date, and
// every row below takes the eight updates of the panel in one pass over its
// trailing part (a rank-8 update, column block by column block so the eight
// pivot rows stay in the first-level cache). The loops are plain
// multiply-adds, which the vectoriser takes at the baseline target.

namespace {

constexpr std::size_t panel = 8;
constexpr std::size_t column_block = 256;

// x mod p for an integer |x| < 2^52 (reduce_double).
std::uint32_t reduce_exact(double x, std::uint32_t p) {
  const double dp = p;
  return static_cast<std::uint32_t>(reduce_double(x, dp, 1.0 / dp));
}

void double_row_update(double* __restrict t, const double* __restrict u, std::size_t n, double g) {
  for (std::size_t c = 0; c < n; ++c) t[c] -= g * u[c];
}

// The same on two rows, the pivot row read once for both.
void pair_update(double* __restrict t1, double* __restrict t2, const double* __restrict u,
                 std::size_t n, double g1, double g2) {
  for (std::size_t c = 0; c < n; ++c) {
    const double b = u[c];
    t1[c] -= g1 * b;
    t2[c] -= g2 * b;
  }
}

// t[c] -= sum_l g[l] u[l][c] over two rows t1, t2 at once (the multipliers
// held in locals, so the stores cannot be taken to change them).
void rank8_update(double* __restrict t1, double* __restrict t2, const double* const* u,
                  const double* g1, const double* g2, std::size_t n) {
  const double* __restrict u0 = u[0], * __restrict u1 = u[1], * __restrict u2 = u[2], * __restrict u3 = u[3], * __restrict u4 = u[4], * __restrict u5 = u[5], * __restrict u6 = u[6], * __restrict u7 = u[7];
  const double a0 = g1[0], a1 = g1[1], a2 = g1[2], a3 = g1[3], a4 = g1[4], a5 = g1[5], a6 = g1[6],
               a7 = g1[7];
  const double b0 = g2[0], b1 = g2[1], b2 = g2[2], b3 = g2[3], b4 = g2[4], b5 = g2[5], b6 = g2[6],
               b7 = g2[7];
  for (std::size_t c = 0; c < n; ++c) {
    const double v0 = u0[c], v1 = u1[c], v2 = u2[c], v3 = u3[c], v4 = u4[c], v5 = u5[c], v6 = u6[c],
                 v7 = u7[c];
    t1[c] -=
        ((a0 * v0 + a1 * v1) + (a2 * v2 + a3 * v3)) + ((a4 * v4 + a5 * v5) + (a6 * v6 + a7 * v7));
    t2[c] -=
        ((b0 * v0 + b1 * v1) + (b2 * v2 + b3 * v3)) + ((b4 * v4 + b5 * v5) + (b6 * v6 + b7 * v7));
  }
}

}  // namespace

std::uint32_t residue_lu(double* store, std::int32_t m, std::uint32_t p, std::int32_t* perm,
                         std::int32_t* dependent) {
  const auto size = static_cast<std::size_t>(m);
  std::vector<double*> row(size);
  for (std::size_t r = 0; r < size; ++r) {
    row[r] = store + r * size;
    if (perm != nullptr) perm[r] = static_cast<std::int32_t>(r);
  }
  const double pp = static_cast<double>(p) * static_cast<double>(p);
  const auto limit = static_cast<std::size_t>((4503599627370496.0 - p) / pp);
  std::size_t since = 0;  // updates since the trailing block was last reduced
  std::uint64_t det = 1;
  bool odd = false;
  const std::vector<double> zeros(size, 0.0);
  std::vector<double> scratch(column_block, 0.0);  // the partner of a last odd row
  for (std::size_t i0 = 0; i0 < size; i0 += panel) {
    check_interrupt();
    const std::size_t end = std::min(size, i0 + panel);  // the panel's columns: [i0, end)
    if (since + panel > limit) {
      for (std::size_t k = i0; k < size; ++k)
        for (std::size_t c = i0; c < size; ++c) row[k][c] = reduce_exact(row[k][c], p);
      since = 0;
    }
    since += panel;
    // The panel on its own columns.
    for (std::size_t i = i0; i < end; ++i) {
      std::size_t r = i;
      for (; r < size; ++r) {
        row[r][i] = reduce_exact(row[r][i], p);
        if (row[r][i] != 0.0) break;
      }
      if (r == size) {
        if (dependent != nullptr) *dependent = static_cast<std::int32_t>(i);
        return 0;
      }
      if (r != i) {
        std::swap(row[i], row[r]);
        if (perm != nullptr) std::swap(perm[i], perm[r]);
        odd = !odd;
      }
      double* pivot = row[i];
      for (std::size_t c = i + 1; c < end; ++c) pivot[c] = reduce_exact(pivot[c], p);
      const auto piv = static_cast<std::uint32_t>(pivot[i]);
      det = det * piv % p;
      const std::uint64_t inv = inverse_modulo(piv, p);
      for (std::size_t k = i + 1; k < size; ++k) {
        const std::uint64_t g = reduce_exact(row[k][i], p) * inv % p;
        row[k][i] = static_cast<double>(g);
        if (g != 0) double_row_update(row[k] + i + 1, pivot + i + 1, end - i - 1, row[k][i]);
      }
    }
    if (end == size) break;
    // The pivot rows' trailing parts, each after the rows above it.
    const std::size_t rest = size - end;
    for (std::size_t j = i0; j < end; ++j) {
      for (std::size_t l = i0; l < j; ++l)
        if (row[j][l] != 0.0) double_row_update(row[j] + end, row[l] + end, rest, row[j][l]);
      for (std::size_t c = end; c < size; ++c) row[j][c] = reduce_exact(row[j][c], p);
    }
    // The rank-8 update of the rows below (a short last panel padded with
    // zero rows and zero multipliers).
    const double* u[panel];
    for (std::size_t l = 0; l < panel; ++l) u[l] = i0 + l < end ? row[i0 + l] : zeros.data();
    for (std::size_t c0 = end; c0 < size; c0 += column_block) {
      const std::size_t len = std::min(column_block, size - c0);
      const double* ub[panel];
      for (std::size_t l = 0; l < panel; ++l) ub[l] = u[l] + c0;
      for (std::size_t k = end; k < size; k += 2) {
        const std::size_t k2 = k + 1 < size ? k + 1 : k;
        double g1[panel], g2[panel];
        for (std::size_t l = 0; l < panel; ++l) {
          g1[l] = i0 + l < end ? row[k][i0 + l] : 0.0;
          g2[l] = k2 != k && i0 + l < end ? row[k2][i0 + l] : 0.0;
        }
        rank8_update(row[k] + c0, k2 != k ? row[k2] + c0 : scratch.data(), ub, g1, g2, len);
      }
    }
  }
  if (odd && det != 0) det = p - det;
  return static_cast<std::uint32_t>(det);
}

// out := detp * a^-1 modulo a prime p < 2^24 by Gauss-Jordan on [a | detp I]
// in doubles, every row but the pivot row updated per step without
// reduction (the bound of the elimination above; all rows count, the rows
// above the pivot included, so the whole block is reduced every `limit`
// steps). False when a is singular modulo p.
bool residue_inverse(const std::uint32_t* a, std::int32_t m, std::uint32_t p, std::uint32_t detp,
                     std::uint32_t* out) {
  const auto size = static_cast<std::size_t>(m);
  const std::size_t w = 2 * size;
  std::vector<double> store(size * w, 0.0);
  std::vector<double*> row(size);
  for (std::size_t r = 0; r < size; ++r) {
    row[r] = store.data() + r * w;
    for (std::size_t c = 0; c < size; ++c) row[r][c] = a[r * size + c];
    row[r][size + r] = detp % p;
  }
  const double pp = static_cast<double>(p) * static_cast<double>(p);
  const auto limit = static_cast<std::size_t>((4503599627370496.0 - p) / pp);
  std::size_t since = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (since == limit) {
      for (std::size_t k = 0; k < size; ++k)
        for (std::size_t c = i; c < w; ++c) row[k][c] = reduce_exact(row[k][c], p);
      since = 0;
    }
    ++since;
    std::size_t r = i;
    for (; r < size; ++r) {
      row[r][i] = reduce_exact(row[r][i], p);
      if (row[r][i] != 0.0) break;
    }
    if (r == size) return false;
    std::swap(row[i], row[r]);
    double* pivot = row[i];
    const std::uint64_t inv = inverse_modulo(static_cast<std::uint32_t>(pivot[i]), p);
    pivot[i] = 1.0;
    for (std::size_t c = i + 1; c < w; ++c)
      pivot[c] = static_cast<double>(reduce_exact(pivot[c], p) * inv % p);
    const std::size_t rest = w - i - 1;
    std::size_t pending = size;  // a row waiting for a partner, with its multiplier
    double pending_g = 0.0;
    for (std::size_t k = 0; k < size; ++k) {
      if (k == i) continue;
      const std::uint32_t g = reduce_exact(row[k][i], p);
      row[k][i] = 0.0;
      if (g == 0) continue;
      if (pending == size) {
        pending = k;
        pending_g = g;
        continue;
      }
      pair_update(row[pending] + i + 1, row[k] + i + 1, pivot + i + 1, rest, pending_g, g);
      pending = size;
    }
    if (pending != size) double_row_update(row[pending] + i + 1, pivot + i + 1, rest, pending_g);
  }
  for (std::size_t r = 0; r < size; ++r)
    for (std::size_t c = 0; c < size; ++c) out[r * size + c] = reduce_exact(row[r][size + c], p);
  return true;
}

}  // namespace tavrin
