#include "matrix/mat_value.h"

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

std::int32_t cancelflag = 0;

MatValue::~MatValue() {
  release();
  free_quoly(&n);
  special_free(&facts.arrsize);
}

std::int64_t MatValue::count() const {
  return is_scalar() ? 0 : static_cast<std::int64_t>(facts.rows) * cols();
}

std::int32_t MatValue::cols() const { return is_scalar() ? 0 : descr_cols(&facts); }

void MatValue::set_shape(std::int32_t r, std::int32_t c) { set_descr(&facts, r, c); }

void MatValue::set_scalar() {
  special_set(0, &facts.arrsize);
  facts.rows = 0;
}

void MatValue::clear_scalar() { free_quoly(&n); }

void MatValue::forget() {
  set_scalar();
  spar = nullptr;
  arr_free = true;
}

void MatValue::release() {
  if (spar != nullptr) {
    free_sparse(&spar, facts.rows, arr_free);
  } else if (!is_scalar() && arr_free) {
    const std::int64_t m = count();
    for (std::int64_t k = 0; k < m; ++k) free_quoly(&arr->stash[k]);
  }
  forget();
}

void MatValue::make_owned() {
  if (arr_free || is_scalar()) {
    arr_free = true;
    return;
  }
  if (spar != nullptr) {
    sparseptr copy = nullptr;
    copy_sparse(&spar, &copy, facts.rows, false);
    spar = copy;
  } else {
    const std::int64_t m = count();
    for (std::int64_t k = 0; k < m; ++k) {
      quoly c = nullptr;
      quoly_assign(arr->stash[k], &c);
      arr->stash[k] = c;
    }
  }
  arr_free = true;
}

void MatValue::settle_integers() {
  if (!modularmode || flotemode || is_scalar()) return;
  if (spar != nullptr) {
    if (!sparse_has_unreduced(spar, facts.rows)) return;
    make_owned();
    sparse_settle_integers(spar, facts.rows);
    return;
  }
  const std::int64_t m = count();
  bool any = false;
  for (std::int64_t k = 0; k < m && !any; ++k) any = nodes::unreduced_integer(arr->stash[k]);
  if (!any) return;
  make_owned();
  for (std::int64_t k = 0; k < m; ++k) nodes::settle_integer_inplace(arr->stash[k]);
}

}  // namespace tavrin
