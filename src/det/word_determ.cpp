// Elimination determinants of work arrays and sparse matrices of residues
// (on the kernels of matrix/residue_elimination.h) and of long doubles (see
// dense_gauss.h). The entries are copied out of the cells into contiguous
// rows, so a row exchange is an exchange of two row pointers and every
// elimination step runs over two contiguous rows.
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "arrays/sparse_store.h"
#include "matrix/residue_elimination.h"
#include "det/dense_gauss.h"

namespace tavrin {

namespace {

// The residue of *n times the determinant of the m x m residues that
// fill(store) writes row by row into a zeroed store.
template <class Fill>
void residue_matrix_determ(std::int32_t m, quolyptr n, const Fill& fill) {
  const auto size = static_cast<std::size_t>(m);
  const std::int32_t d = (*n)->ncoef->lint;
  // One store of the row form's type, filled and eliminated.
  auto run = [&](auto zero) {
    std::vector<decltype(zero)> store(size * size);
    fill(store);
    (*n)->ncoef->lint = residue_rows_determ(store.data(), m, d);
  };
  switch (residue_rows()) {
    case ResidueRows::doubles: run(0.0); break;
    case ResidueRows::halfwords: run(std::uint16_t{0}); break;
    case ResidueRows::words: run(std::uint32_t{0}); break;
  }
}

}  // namespace

void mod_determ(workptr ar, std::int32_t m, quolyptr n) {
  const auto size = static_cast<std::size_t>(m);
  residue_matrix_determ(m, n, [&](auto& store) {
    for (std::size_t r = 0; r < size; ++r)
      for (std::size_t c = 0; c < size; ++c)
        store[r * size + c] = static_cast<typename std::decay_t<decltype(store)>::value_type>(
            ar->stash[c * size + r]->ncoef->lint);
  });
}

void sparse_residue_determ(sparseptr sp, std::int32_t m, quolyptr n) {
  const auto size = static_cast<std::size_t>(m);
  residue_matrix_determ(m, n, [&](auto& store) {
    for (std::int32_t r = 1; r <= m; ++r)
      for (colm_ptr e = *sparse_row(sp, r); e != nullptr; e = e->next)
        store[static_cast<std::size_t>(r - 1) * size + static_cast<std::size_t>(e->coord - 1)] =
            static_cast<typename std::decay_t<decltype(store)>::value_type>(e->val->ncoef->lint);
  });
}

void fl_determ(workptr ar, std::int32_t m, quolyptr n) {
  long double d = (*n)->ncoef->flote;
  const auto size = static_cast<std::size_t>(m);
  std::vector<long double> store(size * size);
  std::vector<long double*> row(size);
  for (std::size_t r = 0; r < size; ++r) {
    row[r] = store.data() + r * size;
    for (std::size_t c = 0; c < size; ++c) row[r][c] = ar->stash[c * size + r]->ncoef->flote;
  }
  for (std::size_t i = 0; i < size; ++i) {
    check_interrupt();
    std::size_t r = i;
    while (r < size && row[r][i] == 0.0L) ++r;
    if (r == size) {
      d = 0.0L;
      break;
    }
    if (r != i) {
      std::swap(row[i], row[r]);
      d = -d;
    }
    const long double p = row[i][i];
    d *= p;
    const long double inv = 1.0L / p;
    const long double* pivot = row[i];
    for (std::size_t k = i + 1; k < size; ++k) {
      long double* target = row[k];
      const long double f = target[i];
      for (std::size_t c = i + 1; c < size; ++c) target[c] -= pivot[c] * f * inv;
    }
  }
  (*n)->ncoef->flote = d;
}

}  // namespace tavrin
