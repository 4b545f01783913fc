// The Lagrange-interpolation determinant of a sparse polynomial matrix.
//
// The sparse rows are laid out as a dense table of borrowed entry pointers
// (an absent entry is nil, read as zero) and handed to the dense
// interpolation drivers, which read every entry once into their own term
// lists and never write into the matrix. The caller's rows are therefore
// untouched on every exit, errors included; the borrowed pointers are
// cleared again before the table goes back to the pool.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "arrays/sparse_store.h"
#include "core/errors.h"
#include "core/globals.h"
#include "det/lagrange.h"
#include "numbers/work_arrays.h"

namespace tavrin {

namespace {

// The densified table: m*m cells column by column (the determinant does not
// care about the orientation), cells borrowed from the sparse rows.
class BorrowedTable {
 public:
  BorrowedTable(sparseptr sp, std::int32_t m) : guard_(&quotsign), m_(m) {
    if (!guard_.taken()) return;
    workptr w = guard_.get();
    const std::int64_t cells = std::int64_t{m} * m;
    for (std::int64_t k = 0; k < cells; ++k) w->stash[k] = nullptr;
    std::int32_t r = 0;
    for (sparseptr fr = sp; fr != nullptr && r < m; fr = fr->next) {
      for (int s = 0; s < sparse_frame_rows && r < m; ++s, ++r) {
        for (colm_ptr e = fr->indx[s]; e != nullptr; e = e->next) {
          if (e->coord < 1 || e->coord > m) continue;
          w->stash[std::int64_t{e->coord - 1} * m + r] = e->val;
        }
      }
    }
    filled_ = true;
  }
  ~BorrowedTable() {
    if (!filled_) return;
    workptr w = guard_.get();
    const std::int64_t cells = std::int64_t{m_} * m_;
    for (std::int64_t k = 0; k < cells; ++k) w->stash[k] = nullptr;
  }
  BorrowedTable(const BorrowedTable&) = delete;
  BorrowedTable& operator=(const BorrowedTable&) = delete;
  bool ok() const { return filled_; }
  workptr get() const { return guard_.get(); }

 private:
  WorkArrayGuard guard_;
  std::int32_t m_;
  bool filled_ = false;
};

}  // namespace

bool sparse_lagrange(sparseptr* spar, quolyptr n, std::int32_t m, poly fct,
                     std::int32_t the_degree, std::int32_t /*the_degree2*/,
                     std::int32_t the_power, bool /*really*/, std::int32_t /*numprimes*/) {
  if (m > 65535) {
    std::printf("Warning. Too many columns (> 65535) for sparse LaGrange method.\n");
    return false;
  }
  // Roots of planted powers are not taken here: the full determinant is
  // left to the elimination route.
  if (std::abs(the_power) > 1) {
    if (verbose && !modularmode && (std::abs(the_power) & (std::abs(the_power) - 1)) != 0 &&
        std::abs(the_power) % 2 == 0)
      std::printf("Specified power must be odd or power of 2. LaGrange method abandoned.\n");
    return false;
  }
  if (flotemode || m < 1) return false;
  // The dense table must fit one work array.
  if (std::int64_t{m} * m > workarray_cells) return false;
  const std::int16_t depth = sparse_polydepth(*spar, m);
  BorrowedTable table(*spar, m);
  if (!table.ok()) return false;
  if (modularmode) return mod_poly_determ(table.get(), depth, m, n, true, fct, the_degree);
  return rat_poly_determ(table.get(), depth, m, n, true, fct, the_degree);
}

}  // namespace tavrin
