// The general normaliser of values, the integer contents, and the GCD
// entries of the value code.
#include "quoly/quoly_normal_form.h"

#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/ring.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_laurent.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "quoly/quoly.h"
#include "quoly/quoly_impl.h"

namespace tavrin {

using detail::LaurentShift;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

void check_quoly(quolyptr q, bool q_odd) {
  quoly v = *q;
  if (detail::settle_without_denominator(v)) return;
  const Ring ring = Ring::current();  // the ring of the kernels below
  if (poly_iszero(v->denom)) {
    // A quotient by zero cannot be normalised: reported, then taken as 0.
    error(zero_denominator_error, &token);
    detail::become_zero(v);
    return;
  }
  if (field_denominator_applies(v, ring) && invert_field_denominator(v, ring)) return;
  if (detail::word_size()) {
    lint_check_quoly(q, q_odd);
    return;
  }
  if (is_bare_leaf(v->denom)) {
    // A constant denominator: no GCD, only the integer contents (none for
    // a denominator 1 or -1, whose sign normal_form fixes).
    if (!poly_eq_1(v->denom) && !poly_eq_m1(v->denom)) cancel_contents(v, ring);
  } else {
    OwnedPoly g;
    Lpolygcd(&v->numer, &v->denom, &g.p, q_odd, polynames);
    if (g.p != nullptr && !is_bare_leaf(g.p)) {
      reduce(&v->numer, &v->denom, &g.p, &v->numer, &v->denom, {.el_n = laurent, .el_m = q_odd});
    } else if (g.p != nullptr && !poly_eq_1(g.p)) {
      num_poly_quot(v->numer, g.p->ncoef, 0);
      num_poly_quot(v->denom, g.p->ncoef, 0);
    }
    if (field_denominator_applies(v, ring) && invert_field_denominator(v, ring)) return;
  }
  normal_form(v, q_odd);
}

long value_gcd_requests = 0;

void sanitize(quoly q) { cancel_contents(q); }

void Lpolygcd(poly* u, poly* v, poly* r, bool v_odd, polypt pt) {
  alg_c_count = 0;
  original_depth = 1;
  std::optional<LaurentShift> shift_u, shift_v;
  if (laurent) {
    shift_u.emplace(u, true);
    if (v_odd) shift_v.emplace(v, true);
  }
  detail::value_polygcd(*u, *v, r, pt);
}

void Lpolygcd2(poly* u, poly* v, poly* r, polypt pt) {
  alg_c_count = 0;
  if (laurent) {
    LaurentShift shift_u(u, false);
    LaurentShift shift_v(v, false);
    detail::value_polygcd(*u, *v, r, pt);
    return;
  }
  detail::value_polygcd(*u, *v, r, pt);
}

void gcd_0_poly(quolyptr n, quolyptr x) {
  quoly v = *n;
  if (!v->numb && v->denom != nullptr) error(fraction_gcd_error, &token);
  OwnedPoly leaf;  // a number value's number as a constant
  poly* u = nullptr;
  if (v->numb) {
    leaf.p = nodes::new_leaf(detail::number_copy(v->ncoef));
    u = &leaf.p;
  } else {
    u = &v->numer;
  }
  OwnedPoly g;
  alg_c_count = 0;
  {
    std::optional<LaurentShift> shift;
    if (laurent) shift.emplace(u, true);
    detail::value_polygcd(*u, *u, &g.p, polynames);
  }
  if (g.p == nullptr) poly_set(1, &g.p);
  quoly result = nullptr;
  poly r = g.release();
  use_up_poly(&r, &result);
  free_quoly(x);
  *x = result;
}

}  // namespace tavrin
