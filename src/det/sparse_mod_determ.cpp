// The determinant of a sparse matrix of word residues modulo the current
// modulus: sparse elimination on the residue words, each pivot row freed as
// soon as it has been used.
#include <cstdint>
#include <numeric>

#include "core/error_codes.h"
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

bool unit(std::uint32_t v) { return std::gcd(v, static_cast<std::uint32_t>(modulus)) == 1; }

// Whether column col has an entry in a row from k on other than row.
bool column_shared(sparseptr a, std::int32_t rows, std::int32_t k, std::int32_t row,
                   std::int32_t col) {
  for (std::int32_t r = k; r <= rows; ++r) {
    if (r == row) continue;
    for (colm_ptr e = *sparse_row(a, r); e != nullptr && e->coord <= col; e = e->next)
      if (e->coord == col) return true;
  }
  return false;
}

// Modulo a composite modulus the pivot (*row, *col) found must be a unit
// or alone in its column (nothing to eliminate): otherwise *row, *col :=
// a unit among the entries of rows k.. (the one in the shortest row), and
// error 85 when there is none (the rows would need steps this elimination
// does not take).
void usable_pivot(sparseptr a, std::int32_t rows, std::int32_t k, std::int32_t* row,
                  std::int32_t* col) {
  if (unit(word(*sparse_row(a, *row)))) return;
  std::int32_t best = -1, found_row = -1, found_col = -1;
  for (std::int32_t r = k; r <= rows; ++r) {
    std::int32_t length = 0, at = -1;
    for (colm_ptr e = *sparse_row(a, r); e != nullptr; e = e->next, ++length)
      if (at < 0 && unit(word(e))) at = e->coord;
    if (at >= 0 && (found_col < 0 || length < best)) {
      best = length;
      found_row = r;
      found_col = at;
    }
  }
  if (found_col >= 0) {
    *row = found_row;
    *col = found_col;
  } else if (column_shared(a, rows, k, *row, *col)) {
    abandon(no_inverse_error, &quotsign);
  }
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
    if (!finf && !mod_is_prime) usable_pivot(a, rows, k, &row, &col);
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
