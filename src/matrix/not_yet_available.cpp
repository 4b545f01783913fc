// Stand-in for the determinant and inverse router until the determinant
// methods land. It inverts a dense matrix of residues modulo a word prime
// (or of GF(2^8), GF(2^16)) in place, what the p-th root tables of the GCD
// code ask of it, by Gauss-Jordan elimination; any other request reports
// that it is missing (internal error with a nested level) and abandons the
// statement, so no caller goes on with a matrix that was not inverted.
// Replaced by the real router.
//
// Stand-ins, too, for the other determinant services (the adjugate, the
// modular matrix power, the Hamiltonian pattern matrix, random numbers) and
// the array assignment statement: each reports that it is missing and
// abandons the statement.
#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "matrix/det_services.h"
#include "matrix/matrix_expressions.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"

namespace tavrin {

namespace {

// The m x m residue matrix of ar inverted in place; *n := its determinant.
// A singular matrix reports "singular residue matrix." (nested level) and
// leaves ar as it was, *n := 0.
void residue_inverse(workptr ar, std::int32_t m, quolyptr n) {
  const std::size_t size = static_cast<std::size_t>(m);
  std::vector<std::int32_t> a(size * 2 * size, 0);
  auto at = [&](std::size_t r, std::size_t c) -> std::int32_t& { return a[r * 2 * size + c]; };
  for (std::size_t r = 0; r < size; ++r) {
    for (std::size_t c = 0; c < size; ++c) at(r, c) = ar->stash[c * size + r]->ncoef->lint;
    at(r, size + r) = 1;
  }
  std::int32_t det = 1;
  for (std::size_t col = 0; col < size; ++col) {
    std::size_t piv = col;
    while (piv < size && at(piv, col) == 0) ++piv;
    if (piv == size) {
      tavrin_error("singular residue matrix.", true);
      (*n)->ncoef->lint = 0;
      return;
    }
    if (piv != col) {
      for (std::size_t c = 0; c < 2 * size; ++c) std::swap(at(piv, c), at(col, c));
      det = mod_sub(0, det, modulus);
    }
    det = modmult(static_cast<std::uint32_t>(det), static_cast<std::uint32_t>(at(col, col)));
    std::int32_t inv = 0;
    mod_inverse(at(col, col), &inv);
    for (std::size_t c = 0; c < 2 * size; ++c)
      at(col, c) = modmult(static_cast<std::uint32_t>(at(col, c)), static_cast<std::uint32_t>(inv));
    for (std::size_t r = 0; r < size; ++r) {
      const std::int32_t f = at(r, col);
      if (r == col || f == 0) continue;
      for (std::size_t c = col; c < 2 * size; ++c) {
        const std::int32_t prod =
            modmult(static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(at(col, c)));
        at(r, c) = mod_sub(at(r, c), prod, modulus);
      }
    }
  }
  for (std::size_t r = 0; r < size; ++r)
    for (std::size_t c = 0; c < size; ++c) ar->stash[c * size + r]->ncoef->lint = at(r, size + c);
  (*n)->ncoef->lint = det;
}

bool dense_residues(workptr ar, std::int32_t m) {
  for (std::int64_t k = 0; k < std::int64_t{m} * m; ++k) {
    quoly q = ar->stash[k];
    if (q == nullptr || !q->numb) return false;
  }
  return true;
}

}  // namespace

void mat_invert(workptr ar, workptr outar, bool, bool, std::int32_t m, quolyptr n, bool invert,
                bool equal, sparseptr* spar, poly, std::int32_t, std::int32_t, std::int32_t, bool,
                std::int32_t) {
  const bool dense = spar == nullptr || *spar == nullptr;
  if (invert && equal && outar == ar && dense && modularmode && mod_is_prime &&
      dense_residues(ar, m)) {
    residue_inverse(ar, m, n);
    return;
  }
  tavrin_error("mat_invert not available", true);
  not_implemented();
}

namespace {
[[noreturn]] void missing(const char* what) {
  tavrin_error(what, true);
  not_implemented();
}
}  // namespace

void adjoint(workptr, workptr, bool, std::int32_t, sparseptr*) { missing("adjoint not available"); }

void matpowermod(workptr, arr_descr*, bool*, imptr, quoly*, bool) {
  missing("matpowermod not available");
}

void set_up_hamilton(workptr, arr_descr*, bool*, sparseptr*) {
  missing("set_up_hamilton not available");
}

void randomize(bool, quolyptr) { missing("randomize not available"); }

void arr_asstat(textptr, quolyptr, workptr, arr_descr*, bool*, nameptr*, sparseptr*) {
  not_implemented();
}

}  // namespace tavrin
