// The method entries of the router whose methods are not built yet. Each
// placeholder reports "<name> not available" (internal error with a nested
// level) and then abandons the statement, so no caller goes on with a value
// that was not computed. Each later method replaces its entry in
// default_det_methods().
//
// The dense inverse entry already serves one case: a matrix of residues
// modulo a word prime (or of GF(2^8), GF(2^16)) inverted in place, which the
// p-th root tables of the GCD code ask for. Replaced by dense elimination.
#include <cstdint>
#include <string>
#include <vector>

#include "arrays/det_upcalls.h"
#include "core/errors.h"
#include "core/globals.h"
#include "det/router.h"
#include "det/sparse_gauss.h"
#include "numbers/word_mod.h"

namespace tavrin {

namespace {

[[noreturn]] void missing(det_method m) {
  const std::string text = std::string(det_method_name(m)) + " not available";
  tavrin_error(text.c_str(), true);
  not_implemented();
}

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

void standard_matrix_invert_stand_in(quolyptr n, std::int32_t m, poly, bool, workptr ar,
                                     workptr outar, bool invert, bool, bool equal,
                                     mat_invert_EnvRec&) {
  if (invert && equal && outar == ar && modularmode && mod_is_prime && dense_residues(ar, m)) {
    residue_inverse(ar, m, n);
    return;
  }
  missing(det_method::standard_matrix_invert);
}

}  // namespace

det_method_table default_det_methods() {
  det_method_table t{};
  t.hamilton_path_driver = [](sparseptr*, std::int32_t, quolyptr, poly) {
    missing(det_method::hamilton_path_driver);
  };
  t.invert_sparse = [](sparseptr*, workptr, bool, bool, std::int32_t, quolyptr) {
    missing(det_method::invert_sparse);
  };
  t.sparse_gauss_elim = sparse_gauss_elim;
  t.sparse_gauss_Bareiss = [](sparseptr*, quolyptr, std::int32_t, std::int32_t, bool) {
    missing(det_method::sparse_gauss_Bareiss);
  };
  t.sparse_mod_int_determ = [](quolyptr, sparseptr*, std::int32_t, bool, bool) {
    missing(det_method::sparse_mod_int_determ);
  };
  t.sparse_lagrange = [](sparseptr*, quolyptr, std::int32_t, poly, std::int32_t, std::int32_t,
                         std::int32_t, bool, std::int32_t) -> bool {
    missing(det_method::sparse_lagrange);
  };
  t.sparse_minors_det = [](quolyptr, sparseptr*, std::int32_t, bool*) {
    missing(det_method::sparse_minors_det);
  };
  t.int_sparse_minors_det = [](long double*, sparseptr*, std::int32_t, bool*) {
    missing(det_method::int_sparse_minors_det);
  };
  t.mod_determ = [](workptr, std::int32_t, quolyptr) { missing(det_method::mod_determ); };
  t.int_determ = [](quolyptr, arrptr, workptr, std::int32_t, quolyptr) {
    missing(det_method::int_determ);
  };
  t.mod_matrix_inv = [](workptr, workptr, bool, std::int32_t, quolyptr, quolyptr, sparseptr*,
                        bool) -> bool { missing(det_method::mod_matrix_inv); };
  t.rat_poly_determ = [](workptr, std::int16_t, std::int32_t, quolyptr, bool, poly,
                         std::int32_t) -> bool { missing(det_method::rat_poly_determ); };
  t.mod_poly_determ = [](workptr, std::int16_t, std::int32_t, quolyptr, bool, poly,
                         std::int32_t) -> bool { missing(det_method::mod_poly_determ); };
  t.fl_poly_determ = [](workptr, std::int16_t, std::int32_t, quolyptr, bool, poly, std::int32_t,
                        bool) -> bool { missing(det_method::fl_poly_determ); };
  t.gauss_Bareiss = [](quolyptr, std::int32_t, workptr, bool, bool, poly, mat_invert_EnvRec&,
                       bool) { missing(det_method::gauss_Bareiss); };
  t.standard_matrix_invert = standard_matrix_invert_stand_in;
  return t;
}

det_method_table det_methods = default_det_methods();

// The exact trial division of the built-ins; replaced by the real one.
void trial_divide(quolyptr, quolyptr, bool, bool, bool, bool*) {
  tavrin_error("trial_divide not available", true);
  not_implemented();
}

}  // namespace tavrin
