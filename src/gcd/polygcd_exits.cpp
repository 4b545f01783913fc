// The GCD driver's exits: the GCD of the reduced problem is multiplied by
// the contents, the exponent divisor and the common power, normalised and
// stored in the cache.
#include <algorithm>
#include <cassert>
#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/onevar_gcd.h"
#include "gcd/polygcd_impl.h"

namespace tavrin {

using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

polygcd_EnvRec::polygcd_EnvRec(poly u_in, poly v_in, polypt pt_in, const GcdFlags& how,
                               const Ring& ring_in)
    : ring(ring_in),
      leave_early(how.leave_early),
      do_fast(how.do_fast),
      allcons(how.allcons),
      canreset(how.canreset),
      pt(pt_in) {
  assert(ring.in_force());
  u.p = u.orig = u_in;
  u.save = how.usave;
  v.p = v.orig = v_in;
  v.save = how.vsave;
}

polygcd_EnvRec::~polygcd_EnvRec() {
  check_uv();
  for (poly* q : {&s, &t, &g, &h, &d, &d2, &comm, &result}) free_poly(q);
}

void polygcd_EnvRec::initial(poly* r) const { poly_set(1, r); }

void polygcd_EnvRec::times(poly* r, poly f) const {
  if (f == nullptr || poly_eq_1(f)) return;
  poly_mult(*r, f, r, pt);
}

void polygcd_EnvRec::times_comm(poly* r) {
  if (comm == nullptr) return;
  times(r, comm);
  free_poly(&comm);
}

void polygcd_EnvRec::pad_d() {
  if (d != nullptr && !is_bare_leaf(d)) add_pad(&d, 1);
}

void polygcd_EnvRec::fold_d_into_d2() {
  pad_d();
  if (d == nullptr) return;
  if (d2 == nullptr) {
    d2 = d;
    d = nullptr;
    return;
  }
  times(&d2, d);
  free_poly(&d);
}

void polygcd_EnvRec::correct_monic_form(poly* r, poly x) {
  if (is_bare_leaf(*r) || leave_early) return;
  if (!word_modular(ring)) {
    if (ring.field_depth == 0) return;
    // Monic over the field, then free of its integer content, then times x.
    OwnedPoly inverse;
    rat_monic_poly(r, &inverse.p, pt, ring);
    if (inverse.p != nullptr) clear_up(r, ring);
    times(r, x);
    return;
  }
  if (!ring.flote) {
    OwnedPoly factor;
    monic_poly(r, &factor.p, pt);  // errors 284, 22 and 85 as the normalisation has them
    return;
  }
  long double lc = leading_coef(*r)->ncoef->flote;
  if (lc == 0.0L) {
    error(division_by_zero_error, &quotsign);
    lc = 1.0L;
  }
  if (lc != 1.0L) fl_num_poly_mult(*r, 1.0L / lc);
}

bool polygcd_EnvRec::finish_4() {
  if (!word_modular(ring) && neg_leading_term(result)) poly_inplace(result);
  if (lookupgcd > 0 && pending) pending->store(result, 1);
  OwnedPoly c;
  if (!word_modular(ring) && ring.field_depth > 0 && !leave_early && d != nullptr)
    gcd_coefs(d, &c.p, ring);
  pad_d();
  times(&result, d);
  free_poly(&d);
  times(&result, d2);
  free_poly(&d2);
  mult_gcd_expons(result);
  times_comm(&result);
  correct_monic_form(&result, c.p);
  return true;
}

bool polygcd_EnvRec::wrap_it_up() {
  check_uv();
  free_poly(&result);
  result = s;
  s = nullptr;
  return finish_4();
}

bool polygcd_EnvRec::wrap_it_up2() {
  ++polygcd_stages.general;
  check_uv();
  for (poly* q : {&s, &t, &g}) free_poly(q);
  initial(&result);
  return finish_4();
}

bool polygcd_EnvRec::alternate_finish(std::int32_t, bool normale) {
  if (neg_leading_term(s)) poly_inplace(s);
  if (lookupgcd > 0 && pending) pending->store(s, 1);
  if (normale) alt_restore_u_v();
  check_uv();
  pad_d();
  times(&s, d);
  times(&s, d2);
  mult_gcd_expons(s);
  times_comm(&s);
  free_poly(&d);
  free_poly(&d2);
  free_poly(&result);
  result = s;
  s = nullptr;
  return true;
}

bool polygcd_EnvRec::monomial_1(gcd_arg& m, gcd_arg& o) {
  ++polygcd_stages.monomial;
  const std::int32_t k = lastnode(o.p)->exp + o.exp;  // the lowest power of x in the caller's o
  const std::int32_t dm = degree(m.p);
  check_uv();
  patchup(&result, dm, k);
  return finish_4();
}

// result := gg (one level padded by `levels` unless a number) * d2, its
// exponents times gcdexp, times comm; no normalisation, no cache.
namespace {

void assemble_content_result(polygcd_EnvRec& env, OwnedPoly& gg, std::int32_t levels) {
  if (!is_bare_leaf(gg.p)) add_pad(&gg.p, levels);
  env.times(&gg.p, env.d2);
  free_poly(&env.d2);
  env.mult_gcd_expons(gg.p);
  env.times_comm(&gg.p);
  free_poly(&env.result);
  env.result = gg.release();
}

}  // namespace

bool polygcd_EnvRec::one_exp_0() {
  ++polygcd_stages.general;
  for (poly* q : {&s, &t, &g}) free_poly(q);
  fold_d_into_d2();
  const bool u_free = degree(u.p) == 0;
  OwnedPoly gg;
  aux_content(u_free ? u.p : v.p, u_free ? v.p : u.p, &gg.p, pt,
              {.allcons = allcons, .psave = true, .qsave = true}, ring);
  check_uv();
  assemble_content_result(*this, gg, 1);
  return true;
}

bool polygcd_EnvRec::both_exps_0() {
  ++polygcd_stages.general;
  for (poly* q : {&s, &t, &g}) free_poly(q);
  fold_d_into_d2();
  PadWalk w{u.p, v.p, pt};
  while (w.both_pads()) w.down();
  OwnedPoly gg;
  polygcd(w.su, w.sv, &gg.p, w.lev,
          {.leave_early = leave_early, .do_fast = do_fast, .allcons = false, .canreset = false},
          ring);
  check_uv();
  assemble_content_result(*this, gg, w.levels);
  return true;
}

}  // namespace tavrin
