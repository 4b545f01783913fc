#include "numbers/work_arrays.h"

#include "core/error_codes.h"
#include "core/errors.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"

namespace tavrin {

workptr workhead[work_pool_size + 1] = {};
std::int32_t first_available = 0;

void enew_worknode(std::int32_t* p, const tokentipe* x) {
  *p = 0;
  if (first_available > work_pool_size) {
    error(all_20_work_arrays_use_error, x);
    return;
  }
  if (first_available < 1) {
    tavrin_error("first available.", false);
    return;
  }
  if (workhead[first_available] == nullptr) workhead[first_available] = new workarray;
  *p = first_available;
  ++first_available;
}

void free_work() { --first_available; }

std::int32_t descr_cols(const arr_descr* arf) {
  return quotient_of(const_cast<imptr>(&arf->arrsize), arf->rows);
}

void set_descr(arr_descr* arf, std::int32_t rows, std::int32_t cols) {
  special_set_2(rows, cols, &arf->arrsize);
  arf->rows = rows;
}

void free_arr(workptr ar, arr_descr* arf) {
  const std::int32_t count = arf->rows > 0 ? arf->rows * descr_cols(arf) : 0;
  for (std::int32_t k = 0; k < count; ++k) free_quoly(&ar->stash[k]);
  special_set(0, &arf->arrsize);
}

void identi(workptr arr, std::int32_t rows, bool arr_free) {
  const std::int32_t cells = rows * rows;
  // In big-integer arithmetic each cell is made as a fresh word number,
  // without the general setter: the transforms of the small normal forms
  // start from these and their cells cost as much as the elimination.
  const bool big_integers = !flotemode && !lintmode;
  for (std::int32_t k = 0; k < cells; ++k) {
    if (arr_free) {
      free_quoly(&arr->stash[k]);
    } else {
      arr->stash[k] = nullptr;
    }
    const std::int32_t v = k % (rows + 1) == 0 ? 1 : 0;
    if (big_integers) {
      arr->stash[k] = nodes::new_number_value(new_word_number(v));
    } else {
      quoly_set(v, &arr->stash[k]);
      arr->stash[k]->next = nullptr;
    }
  }
}

}  // namespace tavrin
