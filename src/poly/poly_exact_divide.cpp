// Exact division of polynomials, and monic normalisation.
#include "poly/poly_exact_divide.h"

#include <cinttypes>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/intpoly.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"

namespace tavrin {

using detail::FieldInverse;
using detail::in_field_levels;
using detail::NegatedTail;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// *q := r; the old *q is freed afterwards, so r may have come from it.
void overwrite(poly* q, poly r) {
  poly old = *q;
  *q = r;
  free_poly(&old);
}

poly constant_poly(std::int32_t v) {
  poly z = nullptr;
  poly_set(v, &z);
  return z;
}

// How long division by m (positive degree, at level pt) divides the
// quotient coefficients by m's leading coefficient c: as a number, as an
// element of the field levels below (times its inverse), or as a lower
// polynomial.
struct LeadDivisor {
  LeadDivisor(poly m, polypt pt)
      : c(m->pcoef), number(is_bare_leaf(c)), field(!number && in_field_levels(c, pt->next)) {}
  LeadDivisor(const LeadDivisor&) = delete;
  LeadDivisor& operator=(const LeadDivisor&) = delete;

  // For a field element, takes its inverse over the levels from below; false
  // when there is none, or (after the internal error fault) when its
  // denominator is not a number.
  bool ready(polypt below, const char* fault) {
    if (!field) return true;
    if (!inv.take(c, below)) return false;
    if (inv.denom_is_number()) return true;
    tavrin_error(fault, true);
    return false;
  }
  // *r := a / c for a field element c; a kept, *r overwritten (may be &a).
  void divide_field(poly a, poly* r, polypt below) const {
    poly_mult(a, inv.numer, r, below);
    if (inv.denom != nullptr) num_poly_quot(*r, inv.denom->ncoef, 0);
  }

  poly c;
  bool number;
  bool field;
  FieldInverse inv;
};

// 2 * xx with the 32-bit wrap-around of the diagnostic codes.
std::int32_t twice(std::int32_t xx) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(xx) * 2u);
}

// ---- gen_poly_divide ----------------------------------------------------------------

// Long division by m of positive degree, each quotient coefficient divided
// exactly: by the number leading coefficient, by the inverse of a field
// element, or recursively one level down.
void gen_long_divide(poly n, poly m, poly* q, polypt pt, bool* failed, const Ring& ring) {
  const std::int32_t dm = m->exp;
  LeadDivisor lead(m, pt);
  if (!lead.ready(pt->next, "have denom not numb in poly_divide.")) {
    *failed = true;
    overwrite(q, constant_poly(0));
    return;
  }
  poly c = lead.c;
  NegatedTail negated(m);
  poly tail = m->next;

  OwnedPoly quotient;
  poly* link = quotient.cell();
  OwnedPoly held;  // the remainder once it is ours; before that R is n's own
  poly R = n;
  while (R != nullptr && !R->numb && R->exp >= dm) {
    poly qc = nullptr;
    if (lead.number && !ring.flote && !ring.lint) {
      // Big integers: every coefficient must divide with remainder 0.
      bool exact = false;
      trial_poly_quot(R->pcoef, c, &qc, &exact, ring);
      if (!exact) *failed = true;
    } else if (lead.number) {
      poly_quot(R->pcoef, c, &qc, -37);
    } else if (lead.field) {
      lead.divide_field(R->pcoef, &qc, pt->next);
    } else {
      gen_poly_divide(R->pcoef, c, &qc, pt->next, failed, ring);
    }
    // A quotient coefficient of 0 cannot cancel the leading term (a
    // truncated word quotient).
    if (!*failed && (qc == nullptr || poly_iszero(qc))) *failed = true;
    if (*failed) {
      free_poly(&qc);
      overwrite(q, constant_poly(0));
      return;
    }
    const std::int32_t e = R->exp - dm;
    poly term = detail::make_term(e, qc);
    *link = term;
    link = &term->next;

    detail::subtract_term_product(R, held, term, tail, pt);
  }
  if (R != nullptr && !poly_iszero(R)) *failed = true;
  overwrite(q, quotient.release());
}

// m of degree 0 (a pad over a lower polynomial), n of positive degree: every
// coefficient of n divided by m's.
void gen_divide_by_lower(poly n, poly m, poly* q, polypt pt, bool* failed) {
  poly c = m->pcoef;
  OwnedPoly result;
  poly* link = result.cell();
  for (poly t = n; t != nullptr; t = t->next) {
    if (t->numb) {  // a constant term that m cannot divide
      *failed = true;
      break;
    }
    poly qc = nullptr;
    gen_poly_divide(t->pcoef, c, &qc, pt->next, failed);
    if (*failed) {
      free_poly(&qc);
      break;
    }
    poly node = detail::make_term(t->exp, qc);
    *link = node;
    link = &node->next;
  }
  overwrite(q, *failed ? constant_poly(0) : result.release());
}

// ---- fast_poly_divide ------------------------------------------------------------------

void bad_nexp(poly m, poly r, std::int32_t xx) {
  std::printf("*** bad nexp in fast_poly_divide, %" PRId32 ", %" PRId32 ", %" PRId32 "\n", m->exp,
              r->exp, xx);
  tavrin_error("bad nexp in fast_poly_divide.", true);
}

// m of positive degree: the head of the remaining dividend becomes the next
// quotient node in place, and the new remainder is linked after it.
void fast_long_divide(poly* n, poly m, polypt pt, std::int32_t xx) {
  const std::int32_t dm = m->exp;
  LeadDivisor lead(m, pt);
  if (!lead.ready(pt->next, "have denom not numb in fast_poly_divide.")) return;
  poly c = lead.c;
  NegatedTail negated(m);
  poly tail = m->next;
  poly H = *n;
  for (;;) {
    H->exp -= dm;
    if (lead.number) {
      poly r = nullptr;
      poly_quot(H->pcoef, c, &r, xx);
      free_poly(&H->pcoef);
      H->pcoef = r;
    } else if (lead.field) {
      lead.divide_field(H->pcoef, &H->pcoef, pt->next);
    } else {
      fast_poly_divide(&H->pcoef, c, pt->next, twice(xx));
    }
    if (H->exp == 0 && is_bare_leaf(H->pcoef)) remove_dummy(H);

    poly rest = H->next;
    if (tail == nullptr) {
      if (rest == nullptr) return;
      if (rest->numb || rest->exp < dm) {
        H->next = nullptr;
        bad_nexp(m, rest, xx);
        free_poly(&rest);
        return;
      }
      H = rest;
      continue;
    }
    H->next = nullptr;
    poly sum = nullptr;
    poly_mult(H, tail, &sum, pt);
    if (rest != nullptr) best_poly_add(sum, rest, &sum);
    if (poly_iszero(sum)) {
      free_poly(&sum);
      return;
    }
    if (sum->numb || sum->exp < dm) {
      OwnedPoly dropped;
      dropped.p = sum;
      bad_nexp(m, sum, xx);
      return;
    }
    H->next = sum;
    H = sum;
  }
}

// m of degree 0: coefficientwise, after the pads both start with.
void fast_divide_by_lower(poly* n, poly m, polypt pt, std::int32_t xx) {
  if ((*n)->exp == 0) {
    poly n2 = *n;
    poly m2 = m;
    std::int32_t h = 0;
    polypt pt2 = pt;
    findHeight(&n2, &m2, &h, &pt2);
    poly last_pad = *n;
    for (std::int32_t k = 1; k < h; ++k) last_pad = last_pad->pcoef;
    last_pad->pcoef = nullptr;
    free_poly(n);
    *n = n2;
    fast_poly_divide(n, m2, pt2, xx);
    if (!is_bare_leaf(*n)) add_pad(n, h);
    return;
  }
  for (poly t = *n; t != nullptr; t = t->next) {
    if (t->numb) {
      tavrin_error("head number in fast_poly_divide.", true);
      return;
    }
    fast_poly_divide(&t->pcoef, m->pcoef, pt->next, twice(xx));
    if (t->exp == 0 && is_bare_leaf(t->pcoef)) remove_dummy(t);
  }
}

// n / m on contiguous words when the integer route applies and m divides
// n: *quotient := a fresh list; false otherwise (the long division then
// answers, with its partial quotient or its reports).
bool integer_quotient(poly n, poly m, polypt pt, poly* quotient, const Ring& ring) {
  IntPoly a, b, q;
  if (!detail::integer_operands(n, m, pt, &a, &b, ring)) return false;
  ++divide_routes.integer_exact;
  if (!intpoly_divexact(a, b, &q)) return false;
  *quotient = intpoly_to_poly(q);
  return true;
}

}  // namespace

bool detail::integer_operands(poly n, poly m, polypt pt, IntPoly* a, IntPoly* b, const Ring& ring) {
  if (!ring.rational() || ring.field_depth > 0 || (pt != nullptr && pt->p != nullptr)) return false;
  if (is_bare_leaf(n) || is_bare_leaf(m) || m->exp < 1 || n->exp < m->exp ||
      n->exp < integer_division_degree)
    return false;
  return intpoly_of(n, a) && intpoly_of(m, b);
}

void gen_poly_divide(poly n, poly m, poly* q, polypt pt, bool* failed) {
  gen_poly_divide(n, m, q, pt, failed, Ring::current());
}

void gen_poly_divide(poly n, poly m, poly* q, polypt pt, bool* failed, const Ring& ring) {
  *failed = false;
  if (pt == nullptr) {
    tavrin_error("pt nil in poly_divide.", true);
    *failed = true;
    overwrite(q, constant_poly(0));
    return;
  }
  if (is_bare_leaf(m)) {
    if (ring.modular && poly_eq_1(m)) {
      overwrite(q, detail::copy_list(n));
      return;
    }
    tavrin_error("m is number in poly_divide.", true);
    *failed = true;
    overwrite(q, constant_poly(0));
    return;
  }
  if (n == m) {  // the tail negated in place would also be n's
    overwrite(q, constant_poly(1));
    return;
  }
  if (in_field_levels(m, pt)) {
    FieldInverse inv;
    if (!inv.take(m, pt)) {
      *failed = true;
      overwrite(q, constant_poly(0));
      return;
    }
    poly r = nullptr;
    poly_mult(n, inv.numer, &r, pt, ring);
    if (inv.denom != nullptr && inv.denom_is_number()) num_poly_quot(r, inv.denom->ncoef, 0);
    overwrite(q, r);
    return;
  }
  if (is_bare_leaf(n)) {
    *failed = !poly_iszero(n);
    overwrite(q, constant_poly(0));
    return;
  }
  // One variable: the division over a field. Over the big integers its
  // truncated coefficient quotients could pass for exact (3x by 2x), so the
  // long division below, which checks every coefficient, serves instead.
  if ((number_polys == 1 || (height_is_1(n) && height_is_1(m))) && (ring.lint || ring.flote)) {
    OwnedPoly rem;
    basic_poly_divide(n, m, q, rem.cell(), true, ring);
    *failed = rem.p != nullptr && !poly_iszero(rem.p);
    return;
  }
  if (n->exp < m->exp) {
    *failed = true;
    overwrite(q, constant_poly(0));
    return;
  }
  poly quotient = nullptr;
  if (integer_quotient(n, m, pt, &quotient, ring)) {
    overwrite(q, quotient);
    return;
  }
  if (m->exp > 0) {
    gen_long_divide(n, m, q, pt, failed, ring);
    return;
  }
  if (n->exp > 0) {
    gen_divide_by_lower(n, m, q, pt, failed);
    return;
  }
  // Both start with pads: divide below them and wrap the quotient again.
  poly n2 = n;
  poly m2 = m;
  std::int32_t h = 0;
  polypt pt2 = pt;
  findHeight(&n2, &m2, &h, &pt2);
  poly r = nullptr;
  gen_poly_divide(n2, m2, &r, pt2, failed, ring);
  if (r == nullptr) {
    *failed = true;
    r = constant_poly(0);
  }
  if (!is_bare_leaf(r)) add_pad(&r, h);
  overwrite(q, r);
}

void fast_poly_divide(poly* n, poly m, polypt pt, std::int32_t xx) {
  if (pt == nullptr) {
    tavrin_error("pt nil in fast_poly_divide.", true);
    return;
  }
  if (is_bare_leaf(m)) {
    tavrin_error("m is number in fast_poly_divide.", true);
    return;
  }
  if (in_field_levels(m, pt)) {
    FieldInverse inv;
    if (!inv.take(m, pt)) return;
    poly_mult(*n, inv.numer, n, pt);
    if (inv.denom != nullptr && inv.denom_is_number()) num_poly_quot(*n, inv.denom->ncoef, 0);
    return;
  }
  if (is_bare_leaf(*n)) {
    if (poly_iszero(*n)) return;
    std::printf("*** n is number in fast_poly_divide, %" PRId32 ", %" PRId32 ", %" PRId32 "\n",
                m->exp, (*n)->exp, xx);
    poly_set(0, n);
    tavrin_error("n is number in fast_poly_divide.", true);
    return;
  }
  if ((*n)->exp < m->exp) {
    std::printf("*** bad exps %" PRId32 ", %" PRId32 ", %" PRId32 "\n", m->exp, (*n)->exp, xx);
    tavrin_error("bad exps in fast_poly divide. ", true);
    return;
  }
  poly quotient = nullptr;
  if (integer_quotient(*n, m, pt, &quotient, Ring::current())) {
    overwrite(n, quotient);
    return;
  }
  if (m->exp == 0) {
    fast_divide_by_lower(n, m, pt, xx);
  } else {
    fast_long_divide(n, m, pt, xx);
  }
}

void fast_divide(poly* p, poly d, polypt pt, std::int32_t xx) {
  for (poly t = *p; t != nullptr; t = t->next) {
    if (t->numb) {
      tavrin_error(" tp numb in fast_divide.", true);
      continue;
    }
    if (is_bare_leaf(d)) {
      poly r = nullptr;
      poly_quot(t->pcoef, d, &r, xx);
      free_poly(&t->pcoef);
      t->pcoef = r;
    } else {
      fast_poly_divide(&t->pcoef, d, pt->next, xx);
    }
    if (t->exp == 0 && is_bare_leaf(t->pcoef)) remove_dummy(t);
  }
}

// ---- Monic normalisation ---------------------------------------------------------------------

void divide_thru(poly u, monic_poly_EnvRec* env) {
  const std::uint32_t inv = static_cast<std::uint32_t>(env->inverse);
  for (; u != nullptr; u = u->next) {
    if (u->numb) {
      u->ncoef->lint = modmult(static_cast<std::uint32_t>(u->ncoef->lint), inv);
    } else {
      divide_thru(u->pcoef, env);
    }
  }
}

void monic_poly(poly* q, poly* r, polypt pt) { monic_poly(q, r, pt, Ring::current()); }

void monic_poly(poly* q, poly* r, polypt pt, const Ring& ring) {
  if (ring.flote) {
    long double c = leading_coef(*q)->ncoef->flote;
    if (c == 0.0L) {
      error(division_by_zero_error, &quotsign);
      c = 1.0L;
    }
    if (c != 1.0L) fl_num_poly_mult(*q, 1.0L / c);
    imptr cn;
    newimag(&cn);
    cn->flote = c;
    free_poly(r);
    *r = nodes::new_leaf(cn);
    return;
  }
  if (!ring.modular) {
    error(monic_outside_field_error, &token);
    return;
  }
  polypt pt2 = pt;
  poly c = ring.field_depth > 0 ? field_leading_coef(*q, pt, &pt2) : leading_coef(*q);
  if (!c->numb) {
    // A field element: multiply by the numerator of its inverse.
    FieldInverse inv;
    if (!inv.take(c, pt2)) return;
    poly numer = inv.numer;
    inv.numer = nullptr;
    if (!is_bare_leaf(numer) && pt2 != nullptr && pt != nullptr && pt2->depth > pt->depth)
      add_pad(&numer, pt2->depth - pt->depth);
    free_poly(r);
    *r = numer;
    poly_mult(*q, *r, q, pt, ring);
    return;
  }
  std::int32_t v = c->ncoef->lint;
  if (v == 0) {
    error(division_by_zero_error, &quotsign);
    v = 1;
  }
  if (v != 1) {
    monic_poly_EnvRec env{0};
    if (ring.char2) {
      mod_inverse(v, &env.inverse);  // the inverse in the field of characteristic 2
    } else {
      std::int32_t g = v;
      std::int32_t x = 0;
      std::int32_t y = 0;
      egcd_ints(&g, ring.modulus, &x, &y);  // x * v + y * modulus = g
      if (g != 1) {
        error(no_inverse_error, &quotsign);
        free_poly(r);
        *r = constant_poly(v);
        return;
      }
      x %= ring.modulus;
      if (x < 0) x += ring.modulus;
      env.inverse = x;
    }
    divide_thru(*q, &env);
  }
  free_poly(r);
  *r = constant_poly(v);
}

}  // namespace tavrin
