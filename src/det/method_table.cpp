// The router's method table: every determinant, inverse and adjugate method
// it chooses among (see router.h).
#include <cstdint>
#include <string>

#include "core/errors.h"
#include "core/globals.h"
#include "arrays/det_upcalls.h"
#include "matrix/hamilton.h"
#include "matrix/leverrier.h"
#include "det/bareiss.h"
#include "det/composite_determ.h"
#include "det/dense_gauss.h"
#include "det/int_determ.h"
#include "det/lagrange.h"
#include "det/minors_det.h"
#include "det/recurrence_inverse.h"
#include "det/router.h"
#include "det/sparse_gauss.h"

namespace tavrin {

det_method_table default_det_methods() {
  det_method_table t{};
  t.hamilton_path_driver = hamilton_path_driver;
  t.invert_sparse = invert_sparse;
  t.sparse_gauss_elim = sparse_gauss_elim;
  t.sparse_gauss_Bareiss = sparse_gauss_Bareiss;
  t.sparse_mod_int_determ = sparse_mod_int_determ;
  t.sparse_lagrange = sparse_lagrange;
  t.sparse_minors_det = sparse_minors_det;
  t.int_sparse_minors_det = int_sparse_minors_det;
  t.mod_determ = mod_determ;
  t.int_determ = int_determ;
  t.mod_matrix_inv = mod_matrix_inv;
  t.rat_poly_determ = rat_poly_determ;
  t.mod_poly_determ = mod_poly_determ;
  t.mod_poly_interpolated = mod_poly_interpolated;
  t.rat_poly_interpolated = rat_poly_interpolated;
  t.sparse_rat_poly_interpolated = sparse_rat_poly_interpolated;
  t.fl_poly_determ = fl_poly_determ;
  t.gauss_Bareiss = gauss_Bareiss;
  t.standard_matrix_invert = standard_matrix_invert;
  t.dense_recurrence_inverse = dense_recurrence_inverse;
  t.rat_poly_inverse = rat_poly_inverse;
  t.composite_determ = composite_determ;
  return t;
}

det_method_table det_methods = default_det_methods();

}  // namespace tavrin
