// The pivot step of the sparse eliminations (see sparse_pivot.h).
#include "det/sparse_pivot.h"

#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "poly/poly_repr.h"
#include "arrays/sparse_store.h"
#include "matrix/pivot_search.h"

namespace tavrin {

bool sparse_pivot_into_place(sparseptr sp, std::int32_t m, std::int32_t i, bool modular_search,
                             std::int32_t period, quolyptr n) {
  check_interrupt();
  std::int32_t row = -1, column = -1;
  if (modular_search)
    mod_sparse_findbest(true, sp, m, i, &row, &column);
  else
    sparse_findbest(true, sp, m, i, &row, &column);
  if (verbose) {
    if (windy) std::printf("  choosing pivot at: %d, %d, %d\n", i, row, column);
    if (i % period == 0) dumpitt(" ", i, false, false, true);
  }
  if (row == -1) return false;
  if (column != i) {
    sp_switchcol(sp, i, column, m, i);
    quoly_inplace(*n);
  }
  if (row != i) {
    sp_switchrow(sp, i, row);
    quoly_inplace(*n);
  }
  return true;
}

}  // namespace tavrin
