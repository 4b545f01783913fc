// Sums of a polynomial and a rational function whose denominator is not 1,
// without normalisation.
#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_add.h"
#include "poly/poly_impl.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;

namespace {

// *q as a rational-function cell: nil gets a fresh one, a number cell gives
// up its number.
void as_ratfun_cell(quolyptr q) {
  if (*q == nullptr) {
    *q = nodes::new_ratfun_value(nullptr, nullptr);
    return;
  }
  if ((*q)->numb) {
    free_imag(&(*q)->ncoef);
    (*q)->numb = false;
    (*q)->numer = nullptr;
    (*q)->denom = nullptr;
  }
}

void set_rat(quoly q) {
  q->rat = !lintmode && q->denom != nullptr && q->denom->numb && is_bare_leaf(q->numer);
}

// r * denom(s) over the adjoined variables (a copy of r when s has none).
poly times_denominator(poly r, quoly s) {
  poly t = nullptr;
  if (s->denom == nullptr) {
    poly_assign(r, &t);
    return t;
  }
  poly_mult(r, s->denom, &t, polynames);
  return t;
}

}  // namespace

void no_denom(poly r, quoly s, quolyptr q, std::int32_t flag) {
  poly t = times_denominator(r, s);
  if (*q == s) {
    if (flag == 0) {
      best_poly_add(s->numer, t, &s->numer);
    } else {
      best_poly_sub(t, s->numer, &s->numer);
    }
  } else {
    as_ratfun_cell(q);
    free_poly(&(*q)->numer);
    if (flag == 0) {
      better_poly_add(t, s->numer, &(*q)->numer);
    } else {
      better_poly_sub(t, s->numer, &(*q)->numer);
    }
    poly_assign(s->denom, &(*q)->denom);
  }
  set_rat(*q);
}

void no_denom_minus(poly r, quoly s, quolyptr q) {
  poly t = times_denominator(r, s);
  best_poly_sub(s->numer, t, &s->numer);
  set_rat(*q);
}

void no_denom_minus_2(poly r, quoly s, quolyptr q) {
  poly t = times_denominator(r, s);
  as_ratfun_cell(q);
  poly_sub(s->numer, t, &(*q)->numer);
  free_poly(&t);
  poly_assign(s->denom, &(*q)->denom);
  set_rat(*q);
}

}  // namespace tavrin
