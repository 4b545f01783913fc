// Rows of residues in doubles (see residue_rows.h).
#include "matrix/residue_rows.h"

#include <cmath>

#include "numbers/word_field.h"

namespace tavrin {

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void residue_row(
    double* dst, const double* src, std::size_t n, double p, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) dst[j] = reduce_double_floor(src[j], p, inv_p);
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void sub_residue_row(
    double* __restrict dst, const double* __restrict src, std::size_t n, double p, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) {
    const double d = dst[j] - reduce_double_floor(src[j], p, inv_p);  // in (-p, p)
    dst[j] = d < 0.0 ? d + p : d;
  }
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void scale_residue_row(
    double* dst, const double* src, double f, std::size_t n, double p, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) dst[j] = reduce_double_floor(src[j] * f, p, inv_p);
}

__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void shift_residual_row(
    double* __restrict r, const double* __restrict v, double t, std::size_t n, double inv_p) {
  for (std::size_t j = 0; j < n; ++j) r[j] = std::nearbyint(r[j] * inv_p) + t * v[j];
}

}  // namespace tavrin
