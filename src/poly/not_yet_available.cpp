// Placeholders for the division and reduction routines that the folds by a
// polynomial relation call and that have not been written yet. Each reports
// an internal error (with a nested command level) and leaves its results
// untouched. Every one of them is replaced by the real routine.
#include "poly/poly_divide.h"
#include "poly/poly_modout.h"
#include "toplevel/errors.h"

namespace tavrin {

void pseudo_div_no_q(poly, poly, poly*, polypt, bool) {
  tavrin_error("pseudo_div_no_q not available", true);
}

void field_coef_poly_divide(poly, poly, polypt, poly*, poly*) {
  tavrin_error("field_coef_poly_divide not available", true);
}

void pseudo_field_coef_poly_div(poly, poly, polypt, poly*, poly*, poly*) {
  tavrin_error("pseudo_field_coef_poly_div not available", true);
}

void total_poly_modout(poly*, polypt) { tavrin_error("total_poly_modout not available", true); }

}  // namespace tavrin
