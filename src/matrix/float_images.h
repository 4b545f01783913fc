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

#include <algorithm>
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
// pivot that is rounding residue: |pivot| <= m * singular_tolerance * h,
// h the largest magnitude that went into the pivot (its entry at the start
// and every product f*b subtracted from it, f a multiplier and b an entry
// of a pivot row, each with the magnitudes that formed them in turn).
// Rounding leaves a singular matrix's pivot a few ulps (2^-64) of h,
// seldom exactly 0. A pivot formed without cancellation keeps h equal to
// itself, however small beside the entries its row lost to earlier steps,
// and h scales with the matrix (a power of two on a row or a column scales
// it alike), so no row's size can mask a pivot or pass for one. A Hilbert
// matrix of side 13 (condition 4.8e17) keeps its pivots far above the test.
constexpr long double singular_tolerance = 0x1p-60L;

// The magnitudes h of the entries along an elimination.
class PivotMagnitudes {
 public:
  // The magnitudes of the m-by-m matrix whose entry (r, c) (from 0) is
  // entry(r, c).
  template <class Entry>
  PivotMagnitudes(std::int32_t m, Entry&& entry) : m_(m), e_(static_cast<std::size_t>(m) * m) {
    for (std::int32_t r = 0; r < m; ++r)
      for (std::int32_t c = 0; c < m; ++c) bound(r, c) = std::fabs(entry(r, c));
  }
  void swap_rows(std::int32_t i, std::int32_t j);
  void swap_cols(std::int32_t i, std::int32_t j);
  // The pivot at (i, i) is rounding residue beside the magnitudes that formed it.
  bool vanishing(std::int32_t i, long double pivot) const {
    return std::fabs(pivot) <= static_cast<long double>(m_) * singular_tolerance * bound(i, i);
  }
  // The magnitudes after step i (from 0) clears column i below the pivot
  // (i, i); entry(r, c) reads the entries before that step. Entry (r, c)
  // loses f*b, f = a(r, i)/pivot and b = a(i, c): its magnitude takes in
  // |f| times b's, and |b| times f's.
  template <class Entry>
  void eliminate(std::int32_t i, Entry&& entry) {
    const long double pivot = std::fabs(entry(i, i));
    for (std::int32_t r = i + 1; r < m_; ++r) {
      const long double f = std::fabs(entry(r, i)) / pivot, hf = bound(r, i) / pivot;
      if (hf == 0) continue;  // the row is left as it is
      for (std::int32_t c = i + 1; c < m_; ++c)
        bound(r, c) = std::max({bound(r, c), f * bound(i, c), hf * std::fabs(entry(i, c))});
    }
  }

 private:
  long double& bound(std::int32_t r, std::int32_t c) {
    return e_[static_cast<std::size_t>(r) * static_cast<std::size_t>(m_) +
              static_cast<std::size_t>(c)];
  }
  long double bound(std::int32_t r, std::int32_t c) const {
    return e_[static_cast<std::size_t>(r) * static_cast<std::size_t>(m_) +
              static_cast<std::size_t>(c)];
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
  nodes::OwnedValue image;
  quoly_float_image(t, image.cell());
  {
    FloatingModeGuard floating;
    op(image.q);
  }
  from_float_images(v);
  return true;
}

}  // namespace tavrin
