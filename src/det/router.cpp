// The determinant and inverse router (see router.h).
#include "det/router.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_quotient_root.h"
#include "poly/poly_repr.h"
#include "poly/poly_root.h"
#include "poly/poly_trial.h"
#include "poly/poly_upcalls.h"
#include "factor/pth_root.h"
#include "quoly/quoly_quot.h"
#include "toplevel/polymodding.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/leverrier.h"
#include "det/composite_determ.h"
#include "det/dense_gauss.h"
#include "det/int_determ.h"
#include "det/lagrange.h"
#include "det/sparse_fill.h"

namespace tavrin {

using nodes::OwnedPoly;

namespace {

constexpr std::int32_t dense_cut_cap = 40;
constexpr std::int32_t sparse_default_cut = 3;
constexpr std::int32_t mass_cap = 268435456;

void note(det_method m) {
  if (det_route_hook != nullptr) det_route_hook(m);
}

bool bare_leaf(poly p) { return p != nullptr && p->numb && p->next == nullptr; }

// Clears mod_mode_matrix_in_use on every exit of one use of the residue matrix.
struct ModMatrixUse {
  ModMatrixUse() { mod_mode_matrix_in_use = true; }
  ~ModMatrixUse() { mod_mode_matrix_in_use = false; }
  ModMatrixUse(const ModMatrixUse&) = delete;
  ModMatrixUse& operator=(const ModMatrixUse&) = delete;
};

// Restores suspended modding-out and frees the scratch value on every exit of
// mat_invert, an unwinding error included (the error report may already have
// resumed: then nothing is done twice).
struct RouterCleanup {
  mat_invert_EnvRec& env;
  ~RouterCleanup() {
    if (env.set_new_polynames) {
      env.set_new_polynames = false;
      if (using_new_polynames) resume_old_polynames();
    }
    free_quoly(&env.temp);
  }
};

// The copy of the input made for the adjoint-CRT inverse with equal set: its
// cells are freed and the array given back on every exit.
class AdjointCopy {
 public:
  AdjointCopy(workptr ar, std::int32_t m) : guard_(&quotsign) {
    if (!guard_.taken()) return;
    cells_ = std::int64_t{m} * m;
    workptr w = guard_.get();
    for (std::int64_t k = 0; k < cells_; ++k) {
      w->stash[k] = nullptr;
      if (ar->stash[k] != nullptr) quoly_assign(ar->stash[k], &w->stash[k]);
    }
  }
  ~AdjointCopy() { release(); }
  AdjointCopy(const AdjointCopy&) = delete;
  AdjointCopy& operator=(const AdjointCopy&) = delete;
  bool taken() const { return guard_.taken(); }
  workptr get() const { return guard_.get(); }
  void release() {
    if (!guard_.taken() || cells_ < 0) return;
    workptr w = guard_.get();
    for (std::int64_t k = 0; k < cells_; ++k) free_quoly(&w->stash[k]);
    cells_ = -1;
  }

 private:
  WorkArrayGuard guard_;
  std::int64_t cells_ = -1;
};

// The side up to which a sparse matrix can be spread over a work array.
constexpr std::int32_t dense_side_cap = 1000;

// outar := the m x m sparse matrix *spar as a dense matrix (absent entries
// the number 0; the values moved when ar_free, else copied; outar's old
// cells overwritten, not freed); *spar := nil, its frames and entries given
// back when ar_free.
void spread_sparse(sparseptr* spar, workptr outar, bool ar_free, std::int32_t m) {
  if (m > dense_side_cap) abandon(sparse_matrix_too_large_operation_error, &token);
  const std::int64_t cells = std::int64_t{m} * m;
  std::fill(outar->stash, outar->stash + cells, nullptr);
  for (std::int32_t r = 1; r <= m; ++r)
    for (colm_ptr e = *sparse_row(*spar, r); e != nullptr; e = e->next) {
      quoly& cell = outar->stash[(r - 1) + std::int64_t{e->coord - 1} * m];
      if (ar_free) {
        cell = e->val;
        e->val = nullptr;
      } else {
        quoly_assign(e->val, &cell);
        cell->next = nullptr;
      }
    }
  for (std::int64_t k = 0; k < cells; ++k)
    if (outar->stash[k] == nullptr) {
      quoly_set(0, &outar->stash[k]);
      outar->stash[k]->next = nullptr;
    }
  if (ar_free)
    free_sparse_frame(spar, m);
  else
    *spar = nullptr;
}

void dense_route(mat_invert_EnvRec& env, workptr ar, workptr outar, std::int32_t m, quolyptr n,
                 const InvertFlags& how, sparseptr* spar, poly fct, std::int32_t the_degree,
                 std::int32_t the_degree2, std::int32_t the_power);

// A sparse matrix laid over a work array for the dense engines, as fresh
// copies of its entries freed at the end, the array given back on every
// exit; *spar is left as it was.
class SpreadCopy {
 public:
  SpreadCopy(sparseptr* spar, std::int32_t m) : guard_(&quotsign) {
    if (!guard_.taken()) return;
    cells_ = std::int64_t{m} * m;
    sparseptr view = *spar;
    spread_sparse(&view, guard_.get(), false, m);
  }
  ~SpreadCopy() {
    if (!guard_.taken()) return;
    workptr w = guard_.get();
    for (std::int64_t k = 0; k < cells_; ++k) free_quoly(&w->stash[k]);
  }
  SpreadCopy(const SpreadCopy&) = delete;
  SpreadCopy& operator=(const SpreadCopy&) = delete;
  bool taken() const { return guard_.taken(); }
  workptr get() const { return guard_.get(); }

 private:
  WorkArrayGuard guard_;
  std::int64_t cells_ = 0;
};

// The entries of a sparse matrix, as the dense engines that may take it see
// them.
enum class dense_kind { none, integers, residues, char2, polys };

// Whether the m x m sparse matrix sp of entries of kind is full enough for
// the dense engines: sparse_dense_fill entries a row for polynomials and for
// integers under "&K" (sparse Gauss-Bareiss fills in and grows them alike),
// else sparse_dense_int_fill for integers, and for residues
// sparse_dense_mod_fill * sqrt(m) entries (sparse_dense_char2_fill in the
// fields of characteristic 2). The count stops at the need.
bool full_enough(sparseptr sp, std::int32_t m, dense_kind kind) {
  const double side = m;
  const bool plain_integers = kind == dense_kind::integers && gauss_cutoff != 1;
  const double need = kind == dense_kind::residues ? sparse_dense_mod_fill * std::sqrt(side)
                      : kind == dense_kind::char2  ? sparse_dense_char2_fill * std::sqrt(side)
                      : plain_integers             ? sparse_dense_int_fill * side
                                                   : sparse_dense_fill * side;
  const auto limit = static_cast<std::int64_t>(std::ceil(need));
  std::int64_t k = 0;
  for (std::int32_t r = 1; r <= m && k < limit; ++r)
    for (colm_ptr e = *sparse_row(sp, r); e != nullptr && k < limit; e = e->next) ++k;
  return k >= limit;
}

// Whether the elimination of sp fills in past the dense engines' cost,
// foreseen on its pattern: integers and polynomials, whose entries grow as
// it goes, above m^3 * sparse_fill_int_work (sparse_fill_poly_work) / 1000
// weighed multiply-adds. Residues cost the same at every step: their counts
// suffice.
bool fills_in(sparseptr sp, std::int32_t m, dense_kind kind) {
  if (m > fill_pattern_side || (kind != dense_kind::integers && kind != dense_kind::polys))
    return false;
  const std::int32_t share =
      kind == dense_kind::polys ? sparse_fill_poly_work : sparse_fill_int_work;
  const double limit = static_cast<double>(m) * m * m * share / 1000;
  if (limit >= 0x1p62) return false;
  const auto bound = static_cast<std::int64_t>(limit);
  return sparse_elimination_work(sp, m, bound) > bound;
}

bool dense_sooner(sparseptr sp, std::int32_t m, dense_kind kind) {
  return full_enough(sp, m, kind) || fills_in(sp, m, kind);
}

// The determinant of a sparse matrix by a dense engine: integers by their
// word-prime images and residues by the flat elimination, both laid out
// flat at any side (they always answer and only read the matrix);
// polynomials modulo a prime through the interpolation on a work array (up
// to dense_side_cap). True: *n holds the determinant (the entries given
// back when ar_free); false: declined, *spar untouched.
bool sparse_by_dense(sparseptr* spar, std::int32_t m, quolyptr n, bool ar_free, dense_kind kind) {
  if (kind == dense_kind::polys) {
    if (m > dense_side_cap) return false;
    SpreadCopy w(spar, m);
    if (!w.taken()) return false;
    note(det_method::mod_poly_interpolated);
    if (!det_methods.mod_poly_interpolated(w.get(), m, n)) return false;
  } else if (kind == dense_kind::integers) {
    note(det_method::int_determ);
    sparse_int_determ(n, *spar, m);
  } else {
    note(det_method::mod_determ);
    sparse_residue_determ(*spar, m, n);
  }
  if (ar_free) free_sparse(spar, m, true);
  return true;
}

// Modulo a composite modulus the sparse eliminations would divide by
// residues without inverse: the composite engine on the matrix spread flat
// (numbers straight from the sparse rows), up to dense_side_cap; beyond it
// numbers go by the sparse residue elimination, which takes unit pivots.
void composite_sparse(mat_invert_EnvRec& env, std::int32_t m, quolyptr n, sparseptr* spar, poly fct,
                      bool ar_free) {
  bool allnumbs = false;
  sparse_allpolys(*spar, m, &allnumbs);
  if (m <= dense_side_cap) {
    if (allnumbs) {
      note(det_method::mod_determ);
      sparse_residue_determ(*spar, m, n);
      if (ar_free) free_sparse(spar, m, true);
      exitt(env, n, fct, true);
    }
    SpreadCopy w(spar, m);
    if (w.taken()) {
      note(det_method::composite_determ);
      det_methods.composite_determ(w.get(), m, n);
      if (ar_free) free_sparse(spar, m, true);
      exitt(env, n, fct, true);
    }
  }
  if (!allnumbs) abandon(sparse_matrix_too_large_operation_error, &token);
  note(det_method::sparse_mod_int_determ);
  det_methods.sparse_mod_int_determ(n, spar, m, ar_free, verbose);
  exitt(env, n, fct, true);
}

void sparse_route(mat_invert_EnvRec& env, std::int32_t m, quolyptr n, sparseptr* spar, poly fct,
                  bool ar_free, std::int32_t the_degree, std::int32_t the_degree2,
                  std::int32_t the_power, bool really, std::int32_t numprimes) {
  if (std::abs(the_power) > 1 && lintmode) check_det_power(the_power);
  if (composite_modulus()) composite_sparse(env, m, n, spar, fct, ar_free);
  env.mycut = detcutoff >= 0 ? detcutoff : sparse_default_cut;
  if (m > env.mycut || m < 2) {
    bool allnumbs = false;
    const bool allpolys = sparse_allpolys(*spar, m, &allnumbs);
    // A well-filled matrix of integers, of residues or of polynomials modulo
    // a prime goes to the dense engines, which give the same value sooner
    // (a request that names a cut-off, a divisor or a bound, or prints,
    // stays). A method named by "&K" or "&L" is the one the same matrix
    // stored dense gets: none for numbers, whose determinant goes by images
    // or residues whatever the switches, the interpolation modulo a prime
    // for Gauss-Bareiss; the Lagrange method of polynomials stays sparse.
    if (allpolys && !verbose && fct == nullptr && the_degree < 0 && the_degree2 < 0 &&
        numprimes == 0 && detcutoff < 0 && !flotemode && field_depth == 0 && m > 3 &&
        !need_to_turn_off_mod_out(true, true, false, env.mycut, m)) {
      const bool prime = modularmode && mod_is_prime && !finf;
      dense_kind kind = dense_kind::none;
      if (allnumbs && !lintmode && !modularmode)
        kind = dense_kind::integers;
      else if (allnumbs && prime)
        kind = dense_kind::residues;
      else if (allnumbs && modularmode && finf)
        kind = dense_kind::char2;
      else if (!allnumbs && prime && !laurent && m >= quiet_lagrange_side &&
               rat_det_method_cut != 1)
        kind = dense_kind::polys;
      if (kind != dense_kind::none && dense_sooner(*spar, m, kind) &&
          sparse_by_dense(spar, m, n, ar_free, kind))
        exitt(env, n, fct, false);
    }
    // Over the rationals, where elimination would answer and print nothing,
    // the determinant is interpolated (the same value, in the same form).
    // As for the same matrix stored dense, "&K" names no method here.
    if ((!allpolys || (!allnumbs && rat_det_method_cut != 1)) && !lintmode && !verbose &&
        fct == nullptr && the_degree < 0 && the_degree2 < 0 && std::abs(the_power) <= 1 &&
        numprimes == 0 && m >= quiet_sparse_lagrange_side &&
        !need_to_turn_off_mod_out(true, true, false, env.mycut, m)) {
      note(det_method::sparse_rat_poly_interpolated);
      if (det_methods.sparse_rat_poly_interpolated(*spar, m, n)) {
        if (ar_free) free_sparse(spar, m, true);
        exitt(env, n, fct, false);
      }
    }
    if (!allpolys) {
      note(det_method::sparse_gauss_elim);
      det_methods.sparse_gauss_elim(spar, n, m, env.mycut, ar_free);
    } else if (allnumbs && modularmode) {
      note(det_method::sparse_mod_int_determ);
      det_methods.sparse_mod_int_determ(n, spar, m, ar_free, verbose);
    } else if (gauss_cutoff == 1) {
      note(det_method::sparse_gauss_Bareiss);
      det_methods.sparse_gauss_Bareiss(spar, n, m, env.mycut, ar_free);
    } else if (rat_det_method_cut == 1 && detcutoff < 0) {
      note(det_method::sparse_lagrange);
      const bool done = det_methods.sparse_lagrange(spar, n, m, fct, the_degree, the_degree2,
                                                    the_power, really, numprimes);
      if (done) {
        if (ar_free) free_sparse(spar, m, true);
      } else {
        note(det_method::sparse_gauss_elim);
        det_methods.sparse_gauss_elim(spar, n, m, env.mycut, ar_free);
      }
      exitt(env, n, fct, !done);
    } else {
      note(det_method::sparse_gauss_elim);
      det_methods.sparse_gauss_elim(spar, n, m, env.mycut, ar_free);
    }
  } else if (flotemode && sparse_allnumbs(*spar, m)) {
    // Only numbers have long doubles: a polynomial entry goes by values,
    // also under integerflag.
    note(det_method::int_sparse_minors_det);
    long double x = 0;
    det_methods.int_sparse_minors_det(&x, spar, m, &ar_free);
    fl_quoly_set(x, n);
  } else {
    note(det_method::sparse_minors_det);
    det_methods.sparse_minors_det(n, spar, m, &ar_free);
  }
  exitt(env, n, fct, true);
}

// The adjoint-CRT inverse of an integer matrix. True: the request is over
// (inverse delivered, or a singular matrix or an exhausted pool reported);
// false: the method gave up, the general route goes on.
bool adjoint_crt(mat_invert_EnvRec& env, workptr ar, workptr outar, bool oar_free, std::int32_t m,
                 bool equal, sparseptr* spar) {
  std::optional<AdjointCopy> copy;
  workptr arr = ar;
  if (equal) {
    copy.emplace(ar, m);
    if (!copy->taken()) return true;
    arr = copy->get();
  }
  quoly_set(-1, &env.temp);
  if (verbose)
    std::printf("\n%*sAll integers; adjoint-CRT Method; first compute det: \n", 3 * dumpitt_level,
                "");
  nodes::OwnedValue det;
  quoly_set(1, det.cell());
  note(det_method::int_determ);
  det_methods.int_determ(det.cell(), nullptr, arr, m, &env.temp);
  if (quoly_iszero(det.q)) {
    if (copy) copy->release();
    copy.reset();
    error(matrix_singular_no_inverse_error, &token);
    return true;
  }
  note(det_method::mod_matrix_inv);
  const bool done =
      det_methods.mod_matrix_inv(arr, outar, oar_free, m, det.cell(), &env.temp, spar, true);
  if (copy) copy->release();
  if (done) return true;
  if (verbose)
    std::printf("\n%*sAbandon adjoint-CRT method (too many primes). \n", 3 * dumpitt_level, "");
  return false;
}

void dense_route(mat_invert_EnvRec& env, workptr ar, workptr outar, std::int32_t m, quolyptr n,
                 const InvertFlags& how, sparseptr* spar, poly fct, std::int32_t the_degree,
                 std::int32_t the_degree2, std::int32_t the_power) {
  set_search_params(env, ar, m);
  if (!how.invert && composite_modulus()) {
    // The eliminations below would divide by residues without inverse.
    note(det_method::composite_determ);
    det_methods.composite_determ(ar, m, n);
    exitt(env, n, fct, true);
  }
  if (!how.invert) {
    if (detcutoff >= 0) {
      env.mycut = std::min(detcutoff, dense_cut_cap);
    } else if (!env.allnumbs) {
      env.mycut = m <= 2 ? 2 : m <= 5 ? m - 1 : m == 6 ? 4 : 0;
    } else {
      env.mycut = 2;
      if (m > 3 && !flotemode) {
        if (modularmode && !mod_mode_matrix_in_use) {
          {
            ModMatrixUse use;
            check_mod_matrix_size(m);
            const std::int64_t cells = std::int64_t{m} * m;
            for (std::int64_t k = 0; k < cells; ++k) {
              quoly q = ar->stash[k];
              mod_mode_matrix->stash[k]->ncoef->lint = q == nullptr ? 0 : q->ncoef->lint;
            }
            note(det_method::mod_determ);
            det_methods.mod_determ(mod_mode_matrix, m, n);
          }
          if (fct != nullptr) divide_fct(env, n, fct);
          return;
        }
        if (!lintmode && fct == nullptr) {
          quoly_set(-1, &env.temp);
          env.mydupptr = ar;
          note(det_method::int_determ);
          det_methods.int_determ(n, nullptr, ar, m, &env.temp);
          return;
        }
      }
    }
  } else if (env.allnumbs && !lintmode && m > 3 && mod_matrix_ok) {
    if (adjoint_crt(env, ar, outar, how.oar_free, m, how.equal, spar)) return;
  }
  // Inverses of polynomial matrices over the rationals by interpolation, else by the recurrence
  // (the same values; with one variable Gauss-Jordan wins over the recurrence on large sides).
  if (how.invert && !env.allnumbs && env.allpolys && !lintmode && !verbose && !laurent && m >= 2 &&
      !need_to_turn_off_mod_out(true, true, false, m, m)) {
    note(det_method::rat_poly_inverse);
    if (det_methods.rat_poly_inverse(ar, outar, m, how)) return;
    if (m <= recurrence_inverse_side || variables_used(ar, m) >= 2) {
      note(det_method::dense_recurrence_inverse);
      if (det_methods.dense_recurrence_inverse(ar, outar, m, how)) return;
    }
  }

  bool bareiss = gauss_cutoff == 1 && env.allpolys && !how.invert;
  const bool lagrange_wanted =
      env.allpolys && !how.invert && detcutoff < 0 && m > 3 && rat_det_method_cut == 1;
  const bool lagrange = lagrange_wanted && massive_enough(ar, m);
  if (lagrange_wanted && !lagrange) bareiss = true;
  // The dense methods ignore the cut-off for inverses: m keeps the relations.
  const std::int32_t cut = how.invert ? m : env.mycut;
  if (need_to_turn_off_mod_out(env.allpolys, lagrange, bareiss, cut, m)) {
    adjust_polyname_ptrs();
    env.set_new_polynames = true;
  }
  if (lagrange) {
    if (verbose) {
      if (the_degree2 >= 0)
        std::printf(
            "Warning: second degree argument (fourth) is ignored when matrix is not sparse.\n");
      if (std::abs(the_power) > 1)
        std::printf("Warning: power argument (fifth) is ignored when matrix is not sparse.\n");
    }
    bool done = false;
    if (flotemode) {
      note(det_method::fl_poly_determ);
      done = det_methods.fl_poly_determ(ar, env.polydepth, m, n, laurent, fct, the_degree,
                                        env.allnumbs);
    } else if (modularmode) {
      note(det_method::mod_poly_determ);
      done = det_methods.mod_poly_determ(ar, env.polydepth, m, n, laurent, fct, the_degree);
    } else if (!lintmode) {
      note(det_method::rat_poly_determ);
      done = det_methods.rat_poly_determ(ar, env.polydepth, m, n, laurent, fct, the_degree);
    }
    if (done) exitt(env, n, fct, false);
  }
  // Modulo a prime, the determinant of a matrix of polynomials (no divisor, no degree bound given)
  // is interpolated from determinants of numbers: the polynomial the elimination would give, many
  // times sooner. It is tried only where it prints nothing; when it declines, the elimination
  // answers as before.
  if (!lagrange_wanted && env.allpolys && !env.allnumbs && !how.invert && detcutoff < 0 &&
      modularmode && !flotemode && fct == nullptr && the_degree < 0 && m >= quiet_lagrange_side &&
      !need_to_turn_off_mod_out(env.allpolys, true, bareiss, cut, m)) {
    note(det_method::mod_poly_interpolated);
    if (det_methods.mod_poly_interpolated(ar, m, n)) exitt(env, n, fct, false);
  }
  // Over the rationals the same for matrices of polynomials or of fractions with a common
  // denominator in each row, images modulo word primes taken until a bound on the coefficients is
  // passed: the value the elimination gives.
  if (!lagrange_wanted && !env.allnumbs && !how.invert && detcutoff < 0 && !lintmode && !verbose &&
      fct == nullptr && the_degree < 0 && m >= quiet_rat_lagrange_side &&
      !need_to_turn_off_mod_out(env.allpolys, true, bareiss, cut, m)) {
    note(det_method::rat_poly_interpolated);
    if (det_methods.rat_poly_interpolated(ar, m, n)) exitt(env, n, fct, false);
  }
  env.mydupptr = ar;
  if (bareiss) {
    note(det_method::gauss_Bareiss);
    det_methods.gauss_Bareiss(n, m, ar, how.ar_free, how.invert, fct, env, how.equal);
    exitt(env, n, fct, true);
  }
  note(det_method::standard_matrix_invert);
  det_methods.standard_matrix_invert(n, m, fct, ar, outar, how, env);
}

}  // namespace

void (*det_route_hook)(det_method m) = nullptr;

void mat_invert(workptr ar, workptr outar, std::int32_t m, quolyptr n, sparseptr* spar, poly fct,
                std::int32_t the_degree, std::int32_t the_degree2, std::int32_t the_power,
                std::int32_t numprimes, const InvertFlags& how) {
  mat_invert_EnvRec env;
  env.laurent = laurent;
  RouterCleanup cleanup{env};
  // The power argument serves sparse determinants; a dense matrix ignores it
  // (with the verbose warning).
  const bool sparse = spar != nullptr && *spar != nullptr;
  try {
    if (sparse) {
      if (m < 0) {
        note(det_method::hamilton_path_driver);
        det_methods.hamilton_path_driver(spar, -m, n, fct);
        return;
      }
      if (how.invert) {
        if (!leverrier_refused(m) && !(flotemode && m <= dense_side_cap)) {
          note(det_method::invert_sparse);
          det_methods.invert_sparse(spar, outar, how.ar_free, true, m, n);
          return;
        }
        // The recurrence divides by 2 .. m, not all invertible modulo the
        // modulus, and on long doubles loses every digit of an
        // ill-conditioned matrix: the inverse of the dense copy, which comes
        // back in outar as when the recurrence itself goes dense.
        spread_sparse(spar, outar, how.ar_free, m);
        dense_route(env, outar, outar, m, n,
                    {.ar_free = true, .oar_free = true, .invert = true, .equal = true}, spar, fct,
                    the_degree, the_degree2, the_power);
        return;
      }
      sparse_route(env, m, n, spar, fct, how.ar_free, the_degree, the_degree2, the_power,
                   how.really, numprimes);
    } else {
      dense_route(env, ar, outar, m, n, how, spar, fct, the_degree, the_degree2, the_power);
    }
  } catch (const mat_invert_exit&) {
  }
  if (sparse && !how.invert && m > 0 && std::abs(the_power) > 1)
    take_determinant_power(n, the_power);
}

namespace {

// The characteristic of a modular ground field (2 in the fields of 256 and
// 65536 elements); 0 in every other ring.
std::int32_t field_characteristic() {
  if (flotemode || !modularmode || !mod_is_prime) return 0;
  return finf ? 2 : modulus;
}

// Whether a root of order k, prime to the characteristic, is unique enough
// to be taken in the modular field: odd k prime to q - 1 (q = modulus, the
// field's size), or a power of two k with q = 3 mod 4 (up to sign).
bool root_order_usable(std::int64_t k) {
  if (k == 1) return true;
  if (k % 2 == 0) return (k & (k - 1)) == 0 && modulus % 4 == 3;
  return std::gcd(k, std::int64_t{modulus} - 1) == 1;
}

}  // namespace

std::int64_t power_prime_to_characteristic(std::int32_t the_power) {
  std::int64_t k = std::abs(std::int64_t{the_power});
  const std::int32_t c = field_characteristic();
  if (c > 1)
    while (k > 0 && k % c == 0) k /= c;
  return k;
}

std::int32_t determinant_root(std::int32_t the_power) {
  if (the_power < 2 || flotemode) return 1;
  if (!lintmode) return the_power;
  if (field_characteristic() == 0) return 1;
  return root_order_usable(power_prime_to_characteristic(the_power)) ? the_power : 1;
}

namespace {

// *g := a root of order root of h: the plain one, or under relations one
// in the quotient ring (a power formed there has its relations folded in,
// which the plain root reads as a non-power).
bool exact_root(poly h, std::int32_t root, poly* g) {
  if (poly_exact_root(h, root, g)) return true;
  return quotient_roots_apply() && poly_quotient_root(h, root, g);
}

// *n := its exact root of order root when it has one (true); else *n is
// left as it was (false).
bool replace_by_root(quolyptr n, std::int32_t root) {
  quoly q = *n;
  if (q->numb) {
    OwnedPoly leaf, g;
    quoly_to_poly(q, leaf.cell());
    if (!poly_exact_root(leaf.get(), root, g.cell())) return false;
    p_q_assign(g.get(), n);
    return true;
  }
  OwnedPoly top, bottom;
  if (!exact_root(q->numer, root, top.cell()) ||
      (q->denom != nullptr && !exact_root(q->denom, root, bottom.cell())))
    return false;
  std::swap(q->numer, top.p);
  if (q->denom != nullptr) std::swap(q->denom, bottom.p);
  if (q->denom == nullptr && bare_leaf(q->numer)) polynum_to_quoly(n);
  return true;
}

// Whether the polynomial in *cell, whose top list lies at depth (level pt),
// is a p-th power, p the characteristic: every exponent of a variable above
// the field levels a multiple of p (numbers and field elements all are p-th
// powers). With take, *cell := its p-th root: those exponents divided by p,
// the numbers and the field elements replaced by their roots.
bool pth_power(poly* cell, std::int32_t depth, polypt pt, std::int32_t p, bool take) {
  if (field_depth > 0 && depth >= field_depth && pt != nullptr) {
    if (take) pth_root(cell, pt);
    return true;
  }
  for (poly* link = cell; *link != nullptr; link = &(*link)->next) {
    poly t = *link;
    if (t->numb) {
      if (take) pth_root(link, pt);  // the constant leaf ends the list
      continue;
    }
    if (t->exp % p != 0 ||
        !pth_power(&t->pcoef, depth + 1, pt == nullptr ? nullptr : pt->next, p, take))
      return false;
    if (take) t->exp /= p;
  }
  return true;
}

// *g := the p-th root of h, p the characteristic: its exponents divided,
// or under relations a root in the quotient ring; false, *g nil, when there
// is none. h: kept; *g: set.
bool pth_root_of(poly h, std::int32_t p, poly* g) {
  *g = nullptr;
  if (pth_power(&h, 1, polynames, p, false)) {
    OwnedPoly w;
    poly_assign(h, w.cell());
    pth_power(w.cell(), 1, polynames, p, true);
    *g = w.release();
    return true;
  }
  return quotient_roots_apply() && poly_quotient_root(h, p, g);
}

// *n := its p-th root, p the characteristic, when it has one (true); else
// *n is left as it was (false).
bool replace_by_pth_root(quolyptr n, std::int32_t p) {
  quoly q = *n;
  if (q->numb) {
    OwnedPoly leaf;
    quoly_to_poly(q, leaf.cell());
    pth_power(leaf.cell(), 1, polynames, p, true);
    p_q_assign(leaf.get(), n);
    return true;
  }
  OwnedPoly top, bottom;
  if (!pth_root_of(q->numer, p, top.cell()) ||
      (q->denom != nullptr && !pth_root_of(q->denom, p, bottom.cell())))
    return false;
  std::swap(q->numer, top.p);
  if (q->denom != nullptr) std::swap(q->denom, bottom.p);
  if (q->denom == nullptr && bare_leaf(q->numer)) polynum_to_quoly(n);
  return true;
}

// *n := its root of order k (prime to the characteristic); for an even k,
// of minus *n when *n itself has none. false: *n left as it was.
bool replace_by_root_up_to_sign(quolyptr n, std::int32_t k) {
  if (replace_by_root(n, k)) return true;
  // An even power determines its root only up to sign: a determinant that
  // is minus such a power (-1 is no square over the integers, nor modulo a
  // prime q = 3 mod 4) has the root of its negative.
  if (k % 2 != 0) return false;
  nodes::OwnedValue negated;
  quoly_makeneg(*n, negated.cell());
  if (!replace_by_root(negated.cell(), k)) return false;
  std::swap(*n, negated.q);
  return true;
}

}  // namespace

void take_determinant_root(quolyptr n, std::int32_t root) {
  // In characteristic p the root of order p^e k (k prime to p) is e p-th
  // roots, which the term-by-term root cannot take (its divisor p lc^(p-1)
  // vanishes), and one of order k; both on a copy, so that a value that is
  // no such power stays whole.
  const std::int32_t p = field_characteristic();
  std::int32_t k = root, e = 0;
  if (p > 1)
    for (; k % p == 0; k /= p) ++e;
  nodes::OwnedValue w;
  quoly_assign(*n, w.cell());
  bool found = true;
  for (std::int32_t i = 0; i < e && found; ++i) found = replace_by_pth_root(w.cell(), p);
  if (found && k > 1) found = replace_by_root_up_to_sign(w.cell(), k);
  if (!found) {
    error(not_a_power_error, &token);
    return;
  }
  std::swap(*n, w.q);
}

namespace {

// Whether every exponent of p is a multiple of k; with shrink each is then
// divided by k.
bool exponents_divisible(poly p, std::int32_t k, bool shrink) {
  for (poly t = p; t != nullptr; t = t->next) {
    if (t->numb) continue;
    if (t->exp % k != 0 || !exponents_divisible(t->pcoef, k, shrink)) return false;
    if (shrink) t->exp /= k;
  }
  return true;
}

// *g := h with every exponent divided by k, or under relations a g with
// g(X^k) = h in the quotient ring; false, *g nil, when there is none.
// h: kept; *g: set.
bool shrunk_by(poly h, std::int32_t k, poly* g) {
  *g = nullptr;
  if (exponents_divisible(h, k, false)) {
    OwnedPoly w;
    poly_assign(h, w.cell());
    exponents_divisible(w.get(), k, true);
    *g = w.release();
    return true;
  }
  return quotient_roots_apply() && poly_quotient_shrink(h, k, g);
}

}  // namespace

void take_determinant_power(quolyptr n, std::int32_t the_power) {
  if (flotemode) return;
  if (the_power > 1) {
    const std::int32_t root = determinant_root(the_power);
    if (root > 1) take_determinant_root(n, root);
    return;
  }
  quoly q = *n;
  if (the_power >= -1 || q == nullptr || q->numb) return;
  const std::int32_t k = -the_power;
  OwnedPoly top, bottom;
  if (!shrunk_by(q->numer, k, top.cell()) ||
      (q->denom != nullptr && !shrunk_by(q->denom, k, bottom.cell()))) {
    error(not_a_power_error, &token);
    return;
  }
  std::swap(q->numer, top.p);
  if (q->denom != nullptr) std::swap(q->denom, bottom.p);
}

bool massive_enough(workptr ar, std::int32_t m) {
  if (m > 6) return true;
  const std::int64_t limit = lintmode ? std::int64_t{mod_det_method_cut}
                                      : std::min<std::int64_t>(rat_det_method_cut, mass_cap);
  std::int64_t sum = 0;
  if (m <= 0) return sum > limit;
  const std::int64_t cells = std::int64_t{m} * m;
  for (std::int64_t k = 0; k < cells; ++k) {
    quoly q = ar->stash[k];
    if (q == nullptr) continue;
    if (q->numb) {
      if (lintmode)
        sum += 1;
      else if (q->ncoef->head != nullptr)
        sum += size_of(q->ncoef->head->value, q->ncoef->size) / 2;
    } else {
      sum += full_poly_mass(q->numer, 2, number_polys);
    }
    if (sum > limit) return true;
  }
  return false;
}

void check_det_power(std::int32_t the_power) {
  const std::int64_t p = std::abs(std::int64_t{the_power});
  if (p <= 1 || !lintmode) return;
  if (!modularmode) {
    warning(power_outside_integers_warning, &blank);
    return;
  }
  // Factors of the characteristic are p-th roots, which a field always
  // takes: the rest of the power decides.
  const std::int64_t k = power_prime_to_characteristic(the_power);
  if (root_order_usable(k)) return;
  warning(k % 2 == 0 ? even_power_warning : odd_power_warning, &blank);
}

std::int32_t variables_used(workptr ar, std::int32_t m) {
  std::vector<bool> seen(static_cast<std::size_t>(number_polys) + 1, false);
  auto walk = [&](auto&& self, poly p, std::size_t depth) -> void {
    for (; p != nullptr; p = p->next) {
      if (p->numb) continue;
      if (p->exp != 0 && depth < seen.size()) seen[depth] = true;
      self(self, p->pcoef, depth + 1);
    }
  };
  const std::int64_t cells = std::int64_t{m} * m;
  for (std::int64_t k = 0; k < cells; ++k) {
    quoly q = ar->stash[k];
    if (q == nullptr || q->numb) continue;
    walk(walk, q->numer, 1);
    if (q->denom != nullptr) walk(walk, q->denom, 1);
  }
  return static_cast<std::int32_t>(std::count(seen.begin(), seen.end(), true));
}

}  // namespace tavrin
