// The determinant of a sparse matrix of word residues modulo the current
// modulus: sparse elimination on the residue words, each pivot row freed as
// soon as it has been used.
#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "numbers/word_mod.h"
#include "arrays/sparse_store.h"
#include "matrix/pivot_search.h"
#include "matrix/sparse_copy.h"
#include "det/int_determ.h"

namespace tavrin {

namespace {

std::uint32_t word(colm_ptr c) { return static_cast<std::uint32_t>(colm_word(c)); }


// The trace level, the work copy's frames and the free list, on every exit.
struct Finish {
  sparseptr* a;
  std::int32_t rows;
  bool verb;
  ~Finish() {
    free_sparse_frame(a, rows);
    clean_up_colm();
    if (verb && dumpitt_level > 0) decr_dumpitt(rows, true, true);
  }
};

// Frees the entries of one row and empties it.
void free_row(colm_ptrptr row) {
  colm_ptr first = *row;
  if (first == nullptr) return;
  colm_ptr last = first;
  while (last->next != nullptr) last = last->next;
  free_colm_list(first, last);
  *row = nullptr;
}

}  // namespace

void sparse_mod_int_determ(quolyptr n, sparseptr* spar, std::int32_t rows, bool arrfree,
                           bool myverb) {
  if (myverb) {
    ++dumpitt_level;
    dumpitt(" Sparse mod integral determ, size ", rows, true, true, true);
  }
  sparseptr a = nullptr;
  if (arrfree) {
    move_data_into_quoly(*spar, rows);
    a = *spar;
    *spar = nullptr;
  } else {
    special_copy_sparse(spar, &a, rows);
  }
  Finish finish{&a, rows, myverb};
  std::uint32_t det = 1;
  bool flip = false;
  const std::int32_t half = rows / 2, period = rows / 100 + 1;
  bool search = true;
  for (std::int32_t k = 1; k <= rows; ++k) {
    check_interrupt();
    std::int32_t row = k, col = -1;
    if (k == 1 || search || k < half)
      search = spec1_mod_sparse_findbest(a, rows, k, &row, &col);
    else
      spec2_mod_sparse_findbest(a, k, &col);
    if (col == -1) {
      det = 0;
      break;
    }
    if (myverb && k % period == 0) dumpitt(" ", k, false, false, true);
    if (col != k) {
      sp_switchcol(a, k, col, rows, k);
      flip = !flip;
    }
    if (row != k) {
      sp_switchrow(a, k, row);
      flip = !flip;
    }
    colm_ptrptr pivot_row = sparse_row(a, k);
    colm_ptr piv = *pivot_row;
    if (piv == nullptr || piv->coord != k)
      tavrin_error("nil qp in sparse mod integral determ.", true);
    det = static_cast<std::uint32_t>(modmult(det, word(piv)));
    std::int32_t inv = colm_word(piv);
    if (inv != 1) verse(&inv);
    for (std::int32_t i = k + 1; i <= rows; ++i) {
      colm_ptrptr r = sparse_row(a, i);
      if (*r == nullptr) {
        det = 0;
        break;
      }
      if ((*r)->coord != k) continue;
      const auto factor =
          static_cast<std::uint32_t>(modmult(word(*r), static_cast<std::uint32_t>(inv)));
      eliminate_residue_row(r, piv->next, factor);
    }
    free_row(pivot_row);
    if (det == 0) break;
  }
  if (flip && det != 0 && !finf) det = static_cast<std::uint32_t>(modulus) - det;
  free_quoly(n);
  quoly_set(0, n);
  (*n)->ncoef->lint = static_cast<std::int32_t>(det);
}

}  // namespace tavrin
