// The floating engines of a "Float" body.
//
// While a floating statement of a "Float" body runs (integerflag and
// float_statement) in rational arithmetic, the determinants, inverses,
// products and sums of the matrix-expression evaluator compute in floating
// mode (FloatingModeGuard: flotemode with lintmode) on the floating images
// of their operands (quoly/quoly_float_image.h), so that the router's
// floating branches and the floating ways of the products and sums take
// them; each result comes back as the exact rational equal to its long
// double. The operands themselves are never changed: a borrowed matrix is
// imaged into an owned copy, an owned one in place.
//
// Floating mode has a polynomial GCD in one variable only, and no rational
// arithmetic modulo relations: polynomial entries go floating only for
// determinants (which are checked, det/float_determinant.h), with no
// relation and Laurent mode off; everything else keeps its exact route.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/mode_guard.h"
#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "quoly/quoly_float_image.h"
#include "matrix/mat_value.h"

namespace tavrin {

// The engines of the current statement compute in floating mode: a floating
// statement of a "Float" body, the ground ring the rationals.
// reads: integerflag, float_statement, flotemode, lintmode, modularmode
bool floating_engines();

// Every entry of v (its scalar, when v is one) has a floating image and is
// a number; with polys_ok a polynomial is allowed too (without relation,
// Laurent mode off). v kept.
bool float_ready(const MatValue& v, bool polys_ok);

// v's entries (or its scalar) := their floating images (an empty dense
// cell: 0.0); v is owned after.
void to_float_images(MatValue& v);

// v's entries (or its scalar), floating images, := their exact values; a
// sparse entry that became 0 is removed. Error 22 for a value that is not
// finite.
void from_float_images(MatValue& v);

// Singular in floating mode: a floating inverse refuses an m-by-m matrix
// that is singular to working precision, one whose elimination meets a
// pivot no larger than the bound on its own rounding error. The bound of
// every entry is carried along the elimination: half an ulp of each entry
// at the start (the images of exact values), and for each update
// a := a - f*b (f = a(r,i), b = a(i,c)/pivot) the errors of a, f, b and
// the pivot carried through, plus the roundings of the update itself.
// The bounds scale with the matrix (a power of two on a row or a column
// scales them alike), so no row's or column's size can mask a pivot or
// pass for one: a pivot that only rounding made is within its bound
// (to first order), and a pivot formed without rounding, however small
// beside its row's entries, is far above it. A Hilbert matrix of side 10
// (condition 1.6e13) keeps every pivot above ten times its bound.
class PivotErrors {
 public:
  // The bounds of the m-by-m matrix whose entry (r, c) (from 0) is
  // entry(r, c).
  template <class Entry>
  PivotErrors(std::int32_t m, Entry&& entry) : m_(m), e_(static_cast<std::size_t>(m) * m) {
    for (std::int32_t r = 0; r < m; ++r)
      for (std::int32_t c = 0; c < m; ++c) bound(r, c) = half_ulp * std::fabs(entry(r, c));
  }
  void swap_rows(std::int32_t i, std::int32_t j);
  void swap_cols(std::int32_t i, std::int32_t j);
  // The pivot at (i, i) vanishes beside its bound.
  bool vanishing(std::int32_t i, long double pivot) const { return std::fabs(pivot) <= bound(i, i); }
  // The bounds after step i (from 0) clears column i below the pivot
  // (i, i); entry(r, c) reads the entries before that step.
  template <class Entry>
  void eliminate(std::int32_t i, Entry&& entry) {
    const long double pivot = std::fabs(entry(i, i));
    const auto rest = static_cast<std::size_t>(m_ - i - 1);
    std::vector<long double> b(rest), eb(rest);  // |b| and its bound, column by column
    for (std::int32_t c = i + 1; c < m_; ++c) {
      const auto k = static_cast<std::size_t>(c - i - 1);
      b[k] = std::fabs(entry(i, c)) / pivot;
      eb[k] = (bound(i, c) + b[k] * bound(i, i)) / pivot;
    }
    for (std::int32_t r = i + 1; r < m_; ++r) {
      const long double f = std::fabs(entry(r, i)), ef = bound(r, i);
      if (f == 0 && ef == 0) continue;  // the row is left as it is
      for (std::int32_t c = i + 1; c < m_; ++c) {
        const auto k = static_cast<std::size_t>(c - i - 1);
        bound(r, c) += f * eb[k] + b[k] * ef + 4 * half_ulp * (std::fabs(entry(r, c)) + f * b[k]);
      }
    }
  }

 private:
  static constexpr long double half_ulp = 0x1p-64L;
  long double& bound(std::int32_t r, std::int32_t c) {
    return e_[static_cast<std::size_t>(r) * static_cast<std::size_t>(m_) + static_cast<std::size_t>(c)];
  }
  long double bound(std::int32_t r, std::int32_t c) const {
    return e_[static_cast<std::size_t>(r) * static_cast<std::size_t>(m_) + static_cast<std::size_t>(c)];
  }
  std::int32_t m_;
  std::vector<long double> e_;
};

// The whole test on the sparse matrix a of m rows of long-double images (kept).
bool fl_singular(sparseptr a, std::int32_t m);

// When the engines compute in floating mode and v and w (nil: none) hold
// numbers only: both imaged, op() run in floating mode, the result in v
// made exact; true. Otherwise false and nothing done.
template <class Op>
bool run_floating(MatValue& v, MatValue* w, Op&& op) {
  if (!floating_engines() || !float_ready(v, false) || (w != nullptr && !float_ready(*w, false)))
    return false;
  to_float_images(v);
  if (w != nullptr) to_float_images(*w);
  {
    FloatingModeGuard floating;
    op();
  }
  from_float_images(v);
  return true;
}

// The same with the scalar t (a number) beside v: op(image of t).
template <class Op>
bool run_floating_scaled(MatValue& v, quoly t, Op&& op) {
  if (!floating_engines() || !float_ready(v, false) || t == nullptr || !(t->numb || t->rat))
    return false;
  to_float_images(v);
  detail::OwnedValue image;
  quoly_float_image(t, image.cell());
  {
    FloatingModeGuard floating;
    op(image.q);
  }
  from_float_images(v);
  return true;
}

}  // namespace tavrin
