// The adjugate of a dense matrix (see adjugate.h).
#include "det/adjugate.h"

#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "arrays/det_upcalls.h"
#include "det/int_determ.h"
#include "det/router.h"

namespace tavrin {

namespace {

using nodes::OwnedValue;

// The cofactor method: m^2 determinants of alpha with one row and one
// column replaced by a unit line, each through the router.
void classic_method(workptr alpha, workptr arr, std::int32_t m, sparseptr* spar) {
  WorkArrayGuard work(&token);
  if (!work.taken()) return;
  workptr W = work.get();
  OwnedValue zero, unit;
  quoly_set(0, zero.cell());
  quoly_set(1, unit.cell());
  const std::int64_t cells = std::int64_t{m} * m;
  for (std::int32_t r = 0; r < m; ++r)
    for (std::int32_t c = 0; c < m; ++c) {
      for (std::int64_t k = 0; k < cells; ++k) {
        const auto b = static_cast<std::int32_t>(k / m), pos = static_cast<std::int32_t>(k % m);
        quoly v = alpha->stash[k];
        if (b == r || pos == c) v = b == r && pos == c ? unit.q : zero.q;
        W->stash[k] = v == nullptr ? zero.q : v;
      }
      quoly det = nullptr;
      quoly_set(1, &det);
      mat_invert(W, W, m, &det, spar, nullptr, -1, -1, -1, 0, {.equal = true});
      arr->stash[std::int64_t{c} * m + r] = det;
    }
}

// Determinant times inverse; a zero determinant falls to the cofactors.
void det_times_inverse(workptr alpha, workptr arr, std::int32_t m, sparseptr* spar) {
  const std::int64_t cells = std::int64_t{m} * m;
  for (std::int64_t k = 0; k < cells; ++k) {
    arr->stash[k] = nullptr;
    if (alpha->stash[k] == nullptr)
      quoly_set(0, &arr->stash[k]);
    else
      quoly_assign(alpha->stash[k], &arr->stash[k]);
  }
  OwnedValue t;
  quoly_set(1, t.cell());
  mat_invert(arr, arr, m, t.cell(), spar, nullptr, -1, -1, -1, 0, {.equal = true});
  if (quoly_iszero(t.q)) {
    for (std::int64_t k = 0; k < cells; ++k) free_quoly(&arr->stash[k]);
    classic_method(alpha, arr, m, spar);
    return;
  }
  OwnedValue u;
  quoly_set(1, u.cell());
  mat_invert(arr, arr, m, u.cell(), spar, nullptr, -1, -1, -1, 0,
             {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
  for (std::int64_t k = 0; k < cells; ++k) fast_quoly_mult(&arr->stash[k], t.cell());
}

}  // namespace

void adjoint(workptr alpha, workptr arr, bool, std::int32_t m, sparseptr* spar) {
  const std::int64_t cells = std::int64_t{m} * m;
  bool numbers = true;
  for (std::int64_t k = 0; k < cells; ++k) {
    quoly v = alpha->stash[k];
    if (v == nullptr || v->numb) continue;
    if (v->denom != nullptr) {
      det_times_inverse(alpha, arr, m, spar);
      return;
    }
    numbers = false;
  }
  if (!numbers) {
    classic_method(alpha, arr, m, spar);
    return;
  }
  if (modularmode || flotemode) {
    det_times_inverse(alpha, arr, m, spar);
    return;
  }
  if (lintmode) {
    error(word_arithmetic_error, &token);
    return;
  }
  OwnedValue det, bound;
  quoly_set(0, det.cell());
  quoly_set(-1, bound.cell());
  set_min_cut(m);
  int_determ(det.cell(), nullptr, alpha, m, bound.cell());
  if (quoly_iszero(det.q)) {
    classic_method(alpha, arr, m, spar);
    return;
  }
  if (!mod_matrix_inv(alpha, arr, false, m, det.cell(), bound.cell(), spar, false))
    det_times_inverse(alpha, arr, m, spar);
}

}  // namespace tavrin
