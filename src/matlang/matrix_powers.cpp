#include "matlang/matrix_powers.h"

#include <algorithm>
#include <memory>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "det/router.h"

namespace tavrin {

namespace {

// The highest set bit of e > 0.
std::int32_t top_bit(std::int32_t e) {
  std::int32_t b = 0;
  while ((e >> (b + 1)) != 0) ++b;
  return b;
}

// Steps 1 to 3 shared by both ladders: a negative exponent inverts in
// place, 0 gives the identity. Returns the exponent left to raise to (0:
// nothing more to do).
std::int32_t power_prelude(workptr arr, arr_descr* arr_facts, bool* arr_free, std::int32_t expont,
                           sparseptr* spar) {
  const std::int32_t rows = arr_facts->rows;
  if (expont < 0) {
    if (*spar == nullptr && !*arr_free) {
      // The inverse replaces the cells in place: borrowed ones become owned
      // copies first, so that an error (a singular matrix) frees them.
      for (std::int32_t k = 0; k < rows * rows; ++k) {
        quoly copy = nullptr;
        if (arr->stash[k] == nullptr) {
          quoly_set(0, &copy);
        } else {
          quoly_assign(arr->stash[k], &copy);
        }
        arr->stash[k] = copy;
      }
      *arr_free = true;
    }
    nodes::OwnedValue det;
    quoly_set(1, det.cell());
    mat_invert(arr, arr, rows, det.cell(), spar, nullptr, -1, -1, -1, 0,
               {.ar_free = *arr_free, .oar_free = *arr_free, .invert = true, .equal = true});
    *arr_free = true;
    expont = -expont;
  }
  if (expont == 1) return 0;
  if (expont == 0) {
    if (*spar != nullptr) {
      spar_identi(spar, rows, *arr_free);
    } else {
      identi(arr, rows, *arr_free);
    }
    set_descr(arr_facts, rows, rows);
    *arr_free = true;
    return 0;
  }
  return expont;
}

// Copies src's cells into arr, freeing each old cell first when owned.
void finish_dense(workptr arr, workptr src, std::int32_t cells, bool owned) {
  for (std::int32_t k = 0; k < cells; ++k) {
    if (owned) free_quoly(&arr->stash[k]);
    arr->stash[k] = src->stash[k];
  }
}

}  // namespace

void matrix_power(workptr arr, arr_descr* arr_facts, bool* arr_free, std::int32_t expont,
                  sparseptr* spar) {
  expont = power_prelude(arr, arr_facts, arr_free, expont, spar);
  if (expont == 0) return;
  const std::int32_t rows = arr_facts->rows;
  const std::int32_t b = top_bit(expont);
  if (*spar != nullptr) {
    sparseptr base = *spar;
    sparseptr acc = *spar;
    for (std::int32_t bit = b - 1; bit >= 0; --bit) {
      check_interrupt();
      matrix_mult(nullptr, nullptr, arr_facts, arr_facts, acc != base, &acc, &acc);
      if ((expont >> bit) & 1)
        matrix_mult(nullptr, nullptr, arr_facts, arr_facts, true, &acc, &base);
    }
    free_sparse(&base, rows, *arr_free);
    *spar = acc;
    *arr_free = true;
    return;
  }
  const std::int32_t cells = rows * rows;
  WorkArrayGuard w(&token);
  if (!w.taken()) return;
  workptr acc = w.get();
  std::copy(arr->stash, arr->stash + cells, acc->stash);
  sparseptr none = nullptr, none2 = nullptr;
  bool shared = true;  // acc still holds arr's own cells
  for (std::int32_t bit = b - 1; bit >= 0; --bit) {
    check_interrupt();
    matrix_mult(acc, acc, arr_facts, arr_facts, !shared, &none, &none2);
    shared = false;
    if ((expont >> bit) & 1) matrix_mult(acc, arr, arr_facts, arr_facts, true, &none, &none2);
  }
  finish_dense(arr, acc, cells, *arr_free);
  *arr_free = true;
}

void alt_mat_power(workptr arr, arr_descr* arr_facts, bool* arr_free, std::int32_t expont) {
  sparseptr none = nullptr, none2 = nullptr;
  expont = power_prelude(arr, arr_facts, arr_free, expont, &none);
  if (expont == 0) return;
  const std::int32_t rows = arr_facts->rows;
  const std::int32_t cells = rows * rows;
  auto private_array = std::make_unique<workarray>();
  workptr l = private_array.get();
  std::copy(arr->stash, arr->stash + cells, l->stash);
  WorkArrayGuard w(&token);
  if (!w.taken()) return;
  bool shared = true;
  for (std::int32_t bit = top_bit(expont) - 1; bit >= 0; --bit) {
    check_interrupt();
    fast_mat_mult(l, l, w.get(), rows, rows, rows);
    finish_dense(l, w.get(), cells, !shared);
    shared = false;
    if ((expont >> bit) & 1) matrix_mult(l, arr, arr_facts, arr_facts, true, &none, &none2);
  }
  finish_dense(arr, l, cells, *arr_free);
  *arr_free = true;
}

}  // namespace tavrin
