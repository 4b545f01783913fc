// Division of a numerator and a denominator by a common factor, exact or
// with number multipliers when the coefficients lie in a field of
// modded-out levels.
#include <optional>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_laurent.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using detail::is_zero;
using detail::LaurentShift;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The exact quotient *x / com: by trial division without el (which uses *x
// up unless keep), by gen_poly_divide with el (in Laurent mode around the
// shift of *x, shifted back with keep). A failure is reported with msg;
// the quotient is then what the division left, or 0.
poly exact_side(poly* x, poly com, bool el, bool keep, const char* msg) {
  OwnedPoly q;
  bool ok = true;
  if (!el) {
    ok = trial_poly_divide(*x, com, &q.p, polynames, false, false, !keep);
    if (!keep) *x = nullptr;
  } else {
    std::optional<LaurentShift> shift;
    if (laurent) shift.emplace(x, keep);
    bool failed = false;
    gen_poly_divide(*x, com, &q.p, polynames, &failed);
    if (shift) shift->back(&q.p);
    ok = !failed;
  }
  if (!ok) tavrin_error(msg, true);
  if (q.p == nullptr) poly_set(0, &q.p);
  return q.release();
}

// c x = q com + r by num_pseudo_div (with el around the shift of *x, which
// is shifted back, q too); a remainder is reported with msg. q and c are
// divided by the number polygcd(q, c) when it is not 1.
void pseudo_side(poly* x, poly com, bool el, const char* msg, OwnedPoly& q, OwnedPoly& c) {
  OwnedPoly r;
  {
    std::optional<LaurentShift> shift;
    if (el) shift.emplace(x, true);
    num_pseudo_div(*x, com, &q.p, &r.p, &c.p, polynames);
    if (shift) shift->back(&q.p);
  }
  if (!is_zero(r.p)) tavrin_error(msg, true);
  OwnedPoly g;
  polygcd(q.p, c.p, &g.p, polynames, {.allcons = false});
  if (g.p != nullptr && is_bare_leaf(g.p) && !poly_eq_1(g.p)) {
    num_poly_quot(q.p, g.p->ncoef, 0);
    num_poly_quot(c.p, g.p->ncoef, 0);
  }
}

// a * c over nilpol, or a itself (moved) when c is 1.
poly times_number(OwnedPoly& a, poly c) {
  if (poly_eq_1(c)) return a.release();
  OwnedPoly out;
  poly_mult(a.p, c, &out.p, nilpol);
  return out.release();
}

}  // namespace

void pseudo_reduce(poly* n, poly* m, poly* com, poly* num, poly* den, poly* mu, bool el_n,
                   bool el_m, const pseudo_reduce_reports& reports) {
  OwnedPoly q1, c1, q2, c2;
  pseudo_side(n, *com, el_n, reports.n_side, q1, c1);
  alg_c_count = 0;
  original_depth = 1;
  pseudo_side(m, *com, el_m, reports.m_side, q2, c2);
  alg_c_count = 0;
  original_depth = 1;
  if (!is_bare_leaf(c1.p) || !is_bare_leaf(c2.p)) {
    tavrin_error(reports.non_numbers, true);
    return;
  }
  OwnedPoly g;
  polygcd(c1.p, c2.p, &g.p, polynames, {.allcons = false});
  if (g.p != nullptr && is_bare_leaf(g.p) && !poly_eq_1(g.p)) {
    num_poly_quot(c1.p, g.p->ncoef, 0);
    num_poly_quot(c2.p, g.p->ncoef, 0);
  }
  OwnedPoly a, b, u;
  a.p = times_number(q1, c2.p);
  b.p = times_number(q2, c1.p);
  if (mu != nullptr) poly_mult(c1.p, c2.p, &u.p, nilpol);
  free_poly(num);
  *num = a.release();
  free_poly(den);
  *den = b.release();
  if (mu != nullptr) {
    free_poly(mu);
    *mu = u.release();
  }
}

void field_reduce(poly* n, poly* m, poly* com, poly* num, poly* den, poly* mu,
                  const ReduceFlags& flags) {
  const bool el_n = flags.el_n;
  const bool el_m = flags.el_m;
  const bool nflag = flags.nflag;
  const bool dflag = flags.dflag;
  if (lintmode || field_depth == 0) {
    OwnedPoly q1, q2;
    q1.p = exact_side(n, *com, el_n, nflag, " field_r1");
    q2.p = exact_side(m, *com, el_m, dflag, " field_r2");
    free_poly(num);
    *num = q1.release();
    free_poly(den);
    *den = q2.release();
    return;
  }
  pseudo_reduce(n, m, com, num, den, mu, el_n, el_m,
                {" field_r3", " field_r4", "non-numbers. field_reduce."});
}

}  // namespace tavrin
