// Rows of residues in doubles (see residue_rows.h).
#include "matrix/integer/residue_rows.h"
#include "core/target_clones.h"

#include <cmath>

#include "numbers/word_field.h"

namespace tavrin {

TAVRIN_CLONES void residue_row(double* dst, const double* src, std::size_t n, double p,
                               double inv_p) {
  for (std::size_t j = 0; j < n; ++j) dst[j] = reduce_double_floor(src[j], p, inv_p);
}

TAVRIN_CLONES void sub_residue_row(double* __restrict dst, const double* __restrict src,
                                   std::size_t n, double p, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) {
    const double d = dst[j] - reduce_double_floor(src[j], p, inv_p);  // in (-p, p)
    dst[j] = d < 0.0 ? d + p : d;
  }
}

TAVRIN_CLONES void scale_residue_row(double* dst, const double* src, double f, std::size_t n,
                                     double p, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) dst[j] = reduce_double_floor(src[j] * f, p, inv_p);
}

TAVRIN_CLONES void shift_residual_row(double* __restrict r, const double* __restrict v, double t,
                                      std::size_t n, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) r[j] = std::nearbyint(r[j] * inv_p) + t * v[j];
}

TAVRIN_CLONES double dot_row(const double* __restrict a, const double* __restrict b,
                             std::size_t n) {
  double lane[8] = {};
  std::size_t j = 0;
  for (; j + 8 <= n; j += 8)
    for (std::size_t t = 0; t < 8; ++t) lane[t] += a[j + t] * b[j + t];
  double sum = 0.0;
  for (; j < n; ++j) sum += a[j] * b[j];
  for (double x : lane) sum += x;
  return sum;
}

namespace {

// block_dot for a fixed width: the sums held in registers over the rows.
template <std::size_t B>
inline void block_dot_fixed(double* __restrict out, const double* __restrict coef,
                            const double* __restrict x, std::size_t count) {
  double acc[B] = {};
  for (std::size_t c = 0; c < count; ++c) {
    const double f = coef[c];
    const double* row = x + c * B;
    for (std::size_t j = 0; j < B; ++j) acc[j] += f * row[j];
  }
  for (std::size_t j = 0; j < B; ++j) out[j] = acc[j];
}

}  // namespace

TAVRIN_CLONES void block_dot(double* __restrict out, const double* __restrict coef,
                             const double* __restrict x, std::size_t count, std::size_t b) {
  if (b == 32) {
    block_dot_fixed<32>(out, coef, x, count);
    return;
  }
  for (std::size_t j = 0; j < b; ++j) out[j] = 0.0;
  for (std::size_t c = 0; c < count; ++c) {
    const double f = coef[c];
    const double* row = x + c * b;
    for (std::size_t j = 0; j < b; ++j) out[j] += f * row[j];
  }
}

}  // namespace tavrin
