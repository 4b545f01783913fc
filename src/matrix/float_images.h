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
// that is singular to working precision. Elimination with partial
// pivoting calls it singular when a pivot vanishes beside its row and
// column: |pivot| <= m * singular_tolerance * r * c, r the largest |entry|
// of the pivot's row in the matrix and c the largest |entry| of its column
// once every row is divided by its own largest (row operations scale
// with their rows, so this is the test on the row-scaled matrix). Rounding
// leaves a singular matrix's pivot a few ulps (2^-64) of that, seldom
// exactly 0; an ill-conditioned matrix, as a Hilbert matrix of side 10
// (condition 1.6e13), keeps pivots far above it.
constexpr long double singular_tolerance = 0x1p-56L;

// The scales of that test for the m-by-m matrix of long-double images held
// in a work array (cell (r, c) at stash[c*m + r], nil = 0; kept): row[r]
// and col[c] as r and c above (a row of zeros: row[r] = 0).
struct PivotScales {
  std::vector<long double> row, col;
};
PivotScales pivot_scales(workptr a, std::int32_t m);

// The test on one pivot with the scales of its row and column.
bool vanishing_pivot(long double pivot, long double row, long double col, std::int32_t m);

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
