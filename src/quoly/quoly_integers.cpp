// Sums and quotients of rational functions in one variable over the
// rationals on contiguous integer coefficients (quoly_integers_impl.h).
#include <utility>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "gcd/intpoly_gcd.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_integers_impl.h"

namespace tavrin::detail {

integer_value_counts integer_values{};

namespace {

using Words = std::vector<IntPoly::word>;
using nodes::OwnedPoly;

bool route_applies() {
  return !lintmode && !flotemode && !modularmode && !integerflag && !laurent &&
         pseudo_polynames == nullptr && field_depth == 0;
}

// The parts of the fraction q; false when q is not a fraction of
// one-variable integer lists or its denominator is zero.
bool read_parts(quoly q, IntPoly* num, IntPoly* den) {
  return !q->numb && q->denom != nullptr && intpoly_of(q->numer, num) &&
         intpoly_of(q->denom, den) && !den->is_zero();
}

// a / g for g dividing a (g not 1): by the integer when g is a constant.
IntPoly quotient(const IntPoly& a, const IntPoly& g) {
  if (g.is_constant()) return intpoly_div_integer(a, Words(g.mag(0), g.mag(0) + g.len(0)));
  IntPoly q;
  intpoly_divexact(a, g, &q);
  return q;
}

// a b, a factor 1 skipped as the term-list products skip it.
IntPoly times(const IntPoly& a, const IntPoly& b) {
  if (a.is_one()) return b;
  if (b.is_one()) return a;
  return intpoly_mul(a, b);
}

}  // namespace

bool integer_fraction_sum(quoly n, quoly m, bool add) {
  if (!route_applies()) return false;
  IntPoly a, b, c, d;
  if (!read_parts(n, &a, &b) || !read_parts(m, &c, &d)) return false;
  if (a.degree() + b.degree() + c.degree() + d.degree() < integer_value_degree) return false;
  ++integer_values.sums;
  const bool equal = b == d;
  bool coprime = false;
  IntPoly num, g, b1 = b, d1 = d;  // b1 = b / g, d1 = d / g
  if (equal) {
    num = intpoly_add(a, c, !add);
  } else {
    ++quoly_sums.denominator_gcds;
    g = intpoly_gcd(b, d);
    if (!g.is_one()) {
      b1 = quotient(b, g);
      d1 = quotient(d, g);
    } else {
      coprime = true;
    }
    num = intpoly_add(times(a, d1), times(c, b1), !add);
  }
  if (num.is_zero()) {
    become_zero(n);
    return true;
  }
  IntPoly den;
  if (coprime) {
    den = times(b, d);
  } else if (equal) {
    // the new numerator against the common denominator
    ++quoly_sums.numerator_gcds;
    const IntPoly g2 = intpoly_gcd(num, b);
    if (!g2.is_one()) {
      num = quotient(num, g2);
      den = quotient(b, g2);
    } else {
      den = b;
    }
  } else {
    // the new numerator against the common factor g only
    ++quoly_sums.numerator_gcds;
    const IntPoly g2 = intpoly_gcd(num, g);
    if (!g2.is_one()) {
      num = quotient(num, g2);
      den = times(times(b1, quotient(g, g2)), d1);  // b' (g / g2) d'
    } else {
      den = times(b1, d);  // b' d
    }
  }
  // The parts, then the denominator's last checks: 1 is dropped (a
  // constant numerator makes n a number); another number sets rat by the
  // numerator.
  OwnedPoly pn, pd;
  pn.p = intpoly_to_poly(num);
  if (!den.is_one()) pd.p = intpoly_to_poly(den);
  free_poly(&n->numer);
  free_poly(&n->denom);
  n->numer = pn.release();
  if (den.is_one()) {
    n->rat = false;
    number_if_constant(n);
    return true;
  }
  n->denom = pd.release();
  n->rat = den.is_constant() && n->numer->numb && n->numer->next == nullptr;
  return true;
}

bool integer_polynomial_quotient(quoly n, quoly m, quoly r) {
  if (!route_applies() || (verbose && windy)) return false;
  if (n->numb || m->numb || n->denom != nullptr || m->denom != nullptr) return false;
  IntPoly a, c;
  if (!intpoly_of(n->numer, &a) || !intpoly_of(m->numer, &c) || a.is_zero() || c.degree() < 1)
    return false;
  if (a.degree() + c.degree() < integer_value_degree) return false;
  IntPoly q;
  // The prime image first, unless the packed division takes one word a
  // coefficient as the image does (it then decides at the same cost).
  if (!(intpoly_divexact_one_word(a, c) || intpoly_may_divide(a, c)) || !intpoly_divexact(a, c, &q))
    return false;
  ++integer_values.quotients;
  OwnedPoly pq;
  pq.p = intpoly_to_poly(q);
  free_poly(&r->numer);
  free_poly(&r->denom);
  r->numer = pq.release();
  r->rat = false;
  number_if_constant(r);
  return true;
}

}  // namespace tavrin::detail
