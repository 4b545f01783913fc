// The normal form in word-size arithmetic: residues modulo the modulus, the
// floating mode and plain words. Every non-zero constant of a field is a
// unit, so the denominator is made monic instead of positive and a constant
// denominator is divided into the numerator.
#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_normal_form.h"
#include "quoly/quoly_residues_impl.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// The numbers of q's numerator and denominator multiplied by the residue x
// (the inverse of the denominator's leading coefficient).
void scale_both(quoly q, std::int32_t x) {
  monic_poly_EnvRec env{x};
  divide_thru(q->denom, &env);
  divide_thru(q->numer, &env);
}

// A residue leading coefficient c made 1: user errors 22 (c = 0, then taken
// as 1) and 85 (no inverse: nothing changes) with quotsign.
void monic_by_residue(quoly q, std::int32_t c) {
  if (c == 0) {
    error(division_by_zero_error, &quotsign);
    return;
  }
  if (c == 1) return;
  std::int32_t inv = 0;
  if (!detail::residue_inverse(c, &inv)) {
    error(no_inverse_error, &quotsign);
    return;
  }
  scale_both(q, inv);
}

// The floating leading coefficient made 1.0: both divided by it, so the
// leading coefficient is exactly 1.0 (0.0 is user error 22, then 1.0).
void monic_by_float(quoly q) {
  const long double lc = leading_coef(q->denom)->ncoef->flote;
  if (lc == 0.0L) {
    error(division_by_zero_error, &quotsign);
    return;
  }
  if (lc == 1.0L) return;
  nodes::ScratchNumber c;
  c.get()->flote = lc;
  num_poly_quot(q->denom, c.get(), 0);
  num_poly_quot(q->numer, c.get(), 0);
}

// A constant denominator divided into the numerator and dropped: 0 is user
// error 22 with quotsign (then dropped); in modular arithmetic a residue
// without inverse is user error 85 (then dropped undivided).
void divide_out_constant_denominator(quoly q) {
  OwnedPoly d;
  d.p = q->denom;
  q->denom = nullptr;
  imptr c = d.p->ncoef;
  if (poly_iszero(d.p)) {
    error(division_by_zero_error, &quotsign);
  } else if (modularmode) {
    std::int32_t inv = 0;
    if (!detail::residue_inverse(c->lint, &inv)) {
      error(no_inverse_error, &quotsign);
    } else if (inv != 1) {
      monic_poly_EnvRec env{inv};
      divide_thru(q->numer, &env);
    }
  } else {
    num_poly_quot(q->numer, c, 0);
  }
  detail::number_if_constant(q);
}

}  // namespace

void lint_check_quoly(quolyptr q, bool q_odd) {
  quoly v = *q;
  if (detail::settle_without_denominator(v)) return;
  if (!q_odd && detail::residue_normal_form(v)) return;
  if (!is_bare_leaf(v->denom)) {
    OwnedPoly g;
    Lpolygcd(&v->numer, &v->denom, &g.p, q_odd, polynames);
    // A numeric GCD is a unit: nothing to divide.
    if (g.p != nullptr && !is_bare_leaf(g.p))
      reduce(&v->numer, &v->denom, &g.p, &v->numer, &v->denom, {.el_n = laurent, .el_m = q_odd});
  }
  if (is_bare_leaf(v->denom)) {
    divide_out_constant_denominator(v);
    return;
  }
  if (field_denominator_applies(v) && invert_field_denominator(v)) return;
  lint_normal_form(v, q_odd);
}

void lint_normal_form(quoly q, bool laur) {
  if (q->numb) return;
  if (q->denom != nullptr && !is_bare_leaf(q->denom)) {
    if (field_denominator_applies(q) && invert_field_denominator(q)) return;
    if (flotemode) {
      monic_by_float(q);
    } else if (!modularmode) {
      error(monic_outside_field_error, &token);
      return;
    } else {
      polypt level = nullptr;
      poly lc = field_depth < 1 ? leading_coef(q->denom)
                                : field_leading_coef(q->denom, polynames, &level);
      if (lc->numb) {
        monic_by_residue(q, lc->ncoef->lint);
      } else {
        clear_field_leading_coef(q);
      }
    }
    if (laur) denominator_lows_to_numerator(q);
  }
  if (q->denom != nullptr && is_bare_leaf(q->denom)) divide_out_constant_denominator(q);
  detail::number_if_constant(q);
}

}  // namespace tavrin
