// Stand-ins for GCD engines, and for the language services the GCD
// built-ins call, that have not been written yet. Each is marked with what
// it stands for; every one of them is replaced by the real service.
#include "core/errors.h"
#include "core/globals.h"
#include "gcd/content.h"
#include "gcd/extended_gcd.h"
#include "gcd/gcd.h"
#include "gcd/modular_gcd.h"
#include "gcd/polygcd_impl.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"

namespace tavrin {

// ---- Substitution of rational values (to come with Algorithm C) ----------------------------------

void case_one(poly*, poly*, std::int16_t, poly, poly, polypt) {
  tavrin_error("case_one not available", true);
}

void case_two(poly*, poly*, std::int32_t, std::int32_t, poly, poly, polypt) {
  tavrin_error("case_two not available", true);
}

// Stand-in: reports no success (the probe then keeps the variable).
void velmor_modular(poly, poly, polypt, bool* success) { *success = false; }

// ---- Dual and auxiliary contents, primitive parts over a field (to come with Algorithm C) --------

// Stand-in: the GCD of the two contents.
void dual_content(poly p, poly q, poly* r, polypt pt, bool, bool allcons, bool, bool) {
  detail::OwnedPoly cp, cq, g;
  content(p, &cp.p, pt, false, allcons, true);
  content(q, &cq.p, pt, false, allcons, true);
  polygcd(cp.p, cq.p, &g.p, false, true, allcons, pt->next, false, false, false);
  free_poly(r);
  *r = g.release();
}

// Stand-in: the GCD of p's coefficient and the content of q.
void aux_content(poly p, poly q, poly* r, polypt pt, bool, bool allcons, bool psave, bool) {
  detail::OwnedPoly cq, g;
  content(q, &cq.p, pt, false, allcons, true);
  polygcd(p->pcoef, cq.p, &g.p, false, true, allcons, pt->next, psave, false, true);
  free_poly(r);
  *r = g.release();
}

// Stand-ins: report, and leave *u as it is.
void special_div(poly*, poly*, polypt) { tavrin_error("special_div not available", true); }
void special_div_2(poly*, poly*, polypt) { tavrin_error("special_div_2 not available", true); }

// ---- The subresultant remainder sequence (to come) ----------------------------------------------

// Stand-in: reports, then finishes as if the reduced pair were coprime (the
// contents, powers and exponent divisor still multiply in); asked only for
// the degree, it answers x^(deg v), a bound that claims nothing.
bool algorithm_c(polygcd_EnvRec& env) {
  tavrin_error("Algorithm C not available", true);
  if (env.leave_early) {
    base_poly(&env.s, 1);
    env.s->exp = detail::degree(env.v.p);
  } else {
    env.initial(&env.s);
  }
  return env.wrap_it_up();
}

// ---- Modular methods (to come) ------------------------------------------------------------------

// Stand-in: no prime is usable, so the probe is skipped.
bool use_modular(poly, poly, bool*, bool*, polypt, std::int16_t, imptr*, std::int32_t*) {
  return false;
}

// Stand-ins: the methods fail (the driver goes on to its next method).
void basic_mod_method(poly, poly, poly* r, bool* success, polypt) {
  *r = nullptr;
  *success = false;
}

bool mod_do_Chinese(poly, poly, std::int32_t) { return false; }

bool mod_multivar_Chinese(poly, poly, poly*, std::int32_t, polypt) { return false; }

// ---- Language services of the GCD built-ins ------------------------------------------------------

namespace {

// Stands for the language's assignment of the cofactors (set_quotient and
// the scanner); the values are freed.
void cofactors_not_assigned(quoly* s, quoly* t, void*, nameptr*) {
  tavrin_error("set_quotient not available", true);
  free_quoly(s);
  free_quoly(t);
}

}  // namespace

cofactor_assigner assign_cofactors = cofactors_not_assigned;

}  // namespace tavrin
