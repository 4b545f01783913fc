// The remainder and quotient operators on polynomials and values: the case
// split by constants, the common pads, divisors below the main variable,
// and the general case over a field or by pseudo-division.
#include <cstdint>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "poly/poly_divide.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using detail::below;
using detail::install;
using detail::is_zero;
using detail::make_term;
using detail::TermList;
using nodes::degree;
using nodes::is_bare_leaf;
using nodes::OwnedPoly;

namespace {

// A fresh leaf holding n "which" d by the number convention with pos_mod.
poly number_leaf(imptr n, imptr d, char which) {
  imptr x;
  newimag(&x);
  OwnedPoly leaf;
  leaf.p = nodes::new_leaf(x);
  mod_or_div(n, d, x, which, pos_mod);
  return leaf.release();
}

// Appends c (consumed) at exponent e unless it is zero.
void append_unless_zero(TermList& list, std::int32_t e, OwnedPoly& c) {
  if (is_zero(c.p)) return;
  list.append(make_term(e, c.release()));
}

// The level work at which the general case divides: the level itself, or a
// copy without its relation when it lies in the field levels.
class WorkLevel {
 public:
  WorkLevel(polypt pt, const Ring& ring) : pt_(pt) {
    if (ring.field_depth > 0 && pt != nullptr && pt->depth >= ring.field_depth) {
      dummy_.emplace(pt);
      pt_ = dummy_->get();
    }
  }
  polypt get() const { return pt_; }

 private:
  std::optional<nodes::DummyLevel> dummy_;
  polypt pt_;
};

// Both operands non-constant and free of negative exponents, common pads
// skipped: the one-variable field case applies.
bool one_variable_field(poly n, poly m, bool floating_too, const Ring& ring) {
  if (!(ring.modular || (floating_too && ring.flote))) return false;
  return number_polys == 1 || (height_is_1(n) && height_is_1(m));
}

// ---- The remainder or the quotient ---------------------------------------------------

// n "which" m for a constant m, node by node.
poly by_constant(poly n, poly m, char which, polypt pt, const Ring& ring) {
  TermList out;
  for (poly t = n; t != nullptr; t = t->next) {
    OwnedPoly c;
    if (t->numb) {
      c.p = number_leaf(t->ncoef, m->ncoef, which);
    } else {
      poly_mod_or_div(t->pcoef, m, &c.p, which, below(pt), ring);
    }
    append_unless_zero(out, degree(t), c);
  }
  return out.release_or_zero();
}

// n "which" m where m is a pad over m' (m lies below n's variable): every
// coefficient of n by m' one level down; n's constant term stays in the
// remainder and leaves the quotient.
poly by_lower(poly n, poly m, char which, polypt pt, const Ring& ring) {
  TermList out;
  for (poly t = n; t != nullptr; t = t->next) {
    OwnedPoly c;
    if (t->numb) {
      if (which != '|') continue;
      c.p = detail::copy_node_alone(t);
    } else {
      poly_mod_or_div(t->pcoef, m->pcoef, &c.p, which, below(pt), ring);
    }
    append_unless_zero(out, degree(t), c);
  }
  return out.release_or_zero();
}

// Both operands of positive degree in the variable of level pt.
poly general(poly n, poly m, char which, polypt pt, const Ring& ring) {
  OwnedPoly q, r;
  if (one_variable_field(n, m, false, ring)) {
    basic_poly_divide(n, m, &q.p, &r.p, true, ring);
    return which == '|' ? r.release() : q.release();
  }
  WorkLevel work(pt, ring);
  if (which != '|') {
    pseudo_div(n, m, &q.p, &r.p, false, work.get(), ring);
    return q.release();
  }
  if (degree(n) < degree(m)) {
    poly_assign(n, &r.p);
    return r.release();
  }
  if (first_coef_invrtble(m, detail::level_depth(work.get()))) {
    if (ring.modular) {
      field_coef_poly_divide(n, m, work.get(), &q.p, &r.p);
    } else {
      OwnedPoly mult;
      pseudo_field_coef_poly_div(n, m, work.get(), &q.p, &r.p, &mult.p);
    }
    if (r.p != nullptr) return r.release();
  }
  pseudo_div_no_q(n, m, &r.p, work.get(), true, ring);
  return r.release();
}

// gen_case: both operands non-constant.
poly gen_case(poly n, poly m, char which, polypt pt, const Ring& ring) {
  std::int32_t h = 0;
  findHeight(&n, &m, &h, &pt);
  OwnedPoly res;
  if (degree(m) == 0) {
    res.p = by_lower(n, m, which, pt, ring);
  } else if (degree(n) == 0) {
    if (which == '|') {
      poly_assign(n, &res.p);
    } else {
      poly_set(0, &res.p);
    }
  } else {
    res.p = general(n, m, which, pt, ring);
  }
  if (h > 0 && !is_bare_leaf(res.p)) add_pad(&res.p, h);
  return res.release();
}

// ---- Remainder and quotient together ----------------------------------------------------

void by_constant_both(poly n, poly m, polypt pt, TermList& r, TermList& q, const Ring& ring) {
  for (poly t = n; t != nullptr; t = t->next) {
    OwnedPoly rc, qc;
    if (t->numb) {
      rc.p = number_leaf(t->ncoef, m->ncoef, '|');
      qc.p = number_leaf(t->ncoef, m->ncoef, '\\');
    } else {
      poly_mod_and_div(t->pcoef, m, &rc.p, &qc.p, below(pt), ring);
    }
    append_unless_zero(r, degree(t), rc);
    append_unless_zero(q, degree(t), qc);
  }
}

void by_lower_both(poly n, poly m, polypt pt, TermList& r, TermList& q, const Ring& ring) {
  for (poly t = n; t != nullptr; t = t->next) {
    OwnedPoly rc, qc;
    if (t->numb) {
      rc.p = detail::copy_node_alone(t);
    } else {
      poly_mod_and_div(t->pcoef, m->pcoef, &rc.p, &qc.p, below(pt), ring);
    }
    append_unless_zero(r, degree(t), rc);
    if (qc.p != nullptr) append_unless_zero(q, degree(t), qc);
  }
}

void gen_case_1(poly n, poly m, polypt pt, OwnedPoly& r, OwnedPoly& q, const Ring& ring) {
  std::int32_t h = 0;
  findHeight(&n, &m, &h, &pt);
  if (degree(m) == 0) {
    TermList rl, ql;
    by_lower_both(n, m, pt, rl, ql, ring);
    r.p = rl.release_or_zero();
    q.p = ql.release_or_zero();
  } else if (degree(n) == 0) {
    poly_assign(n, &r.p);
    poly_set(0, &q.p);
  } else if (one_variable_field(n, m, true, ring)) {
    basic_poly_divide(n, m, &q.p, &r.p, true, ring);
  } else {
    WorkLevel work(pt, ring);
    if (poly_eq_1(m->pcoef)) {
      fast_mod_and_div(n, m, &r.p, &q.p, work.get(), false);
    } else {
      pseudo_div(n, m, &q.p, &r.p, true, work.get(), ring);
    }
  }
  if (h > 0) {
    if (!is_bare_leaf(r.p)) add_pad(&r.p, h);
    if (!is_bare_leaf(q.p)) add_pad(&q.p, h);
  }
}

// In Laurent mode a negative exponent stops the division (user error 205).
bool negative_exponents(poly n, poly m, const Ring& ring) {
  if (!ring.laurent || (!anynegs(n) && !anynegs(m))) return false;
  error(laurent_division_error, &token);
  return true;
}

}  // namespace

void poly_mod_or_div(poly n, poly m, poly* p, char which, polypt pt) {
  poly_mod_or_div(n, m, p, which, pt, Ring::current());
}

void poly_mod_or_div(poly n, poly m, poly* p, char which, polypt pt, const Ring& ring) {
  OwnedPoly out;
  const bool nc = is_bare_leaf(n), mc = is_bare_leaf(m);
  if (nc && mc) {
    out.p = number_leaf(n->ncoef, m->ncoef, which);
  } else if (mc) {
    out.p = by_constant(n, m, which, pt, ring);
  } else if (nc) {
    if (which == '|') {
      poly_assign(n, &out.p);
    } else {
      poly_set(0, &out.p);
    }
  } else if (negative_exponents(n, m, ring)) {
    poly_set(0, &out.p);
  } else {
    out.p = gen_case(n, m, which, pt, ring);
  }
  install(p, out);
}

void poly_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt) {
  poly_mod_and_div(n, m, r, qt, pt, Ring::current());
}

void poly_mod_and_div(poly n, poly m, poly* r, poly* qt, polypt pt, const Ring& ring) {
  OwnedPoly rr, qq;
  const bool nc = is_bare_leaf(n), mc = is_bare_leaf(m);
  if (nc && mc) {
    rr.p = number_leaf(n->ncoef, m->ncoef, '|');
    qq.p = number_leaf(n->ncoef, m->ncoef, '\\');
  } else if (mc) {
    TermList rl, ql;
    by_constant_both(n, m, pt, rl, ql, ring);
    rr.p = rl.release_or_zero();
    qq.p = ql.release_or_zero();
  } else if (nc) {
    poly_assign(n, &rr.p);
    poly_set(0, &qq.p);
  } else if (negative_exponents(n, m, ring)) {
    poly_set(0, &rr.p);
    poly_set(0, &qq.p);
  } else {
    gen_case_1(n, m, pt, rr, qq, ring);
  }
  install(r, rr);
  install(qt, qq);
}

// ---- Values ----------------------------------------------------------------------------------

void quoly_mod_or_div(quoly n, quoly m, quolyptr p, char which) {
  nodes::OwnedValue result;
  if (n->numb && m->numb) {
    imptr x;
    newimag(&x);
    result.q = nodes::new_number_value(x);
    mod_or_div(n->ncoef, m->ncoef, x, which, pos_mod);
  } else {
    OwnedPoly constant_divisor;
    poly divisor = m->numer;
    if (m->numb) {
      constant_divisor.p = nodes::new_leaf(detail::copy_number(m->ncoef));
      divisor = constant_divisor.p;
    }
    if (!n->numb) {
      OwnedPoly numer, denom;
      poly_mod_or_div(n->numer, divisor, &numer.p, which, polynames);
      if (n->denom != nullptr) poly_mod_or_div(n->denom, divisor, &denom.p, which, polynames);
      if (denom.p != nullptr && is_zero(denom.p)) {
        error(zero_denominator_error, &token);
        imptr x;
        newimag(&x);
        result.q = nodes::new_number_value(x);
        setvalue(0, x);
      } else {
        poly nu = numer.release();
        result.q = nodes::new_ratfun_value(nu, denom.release());
        check_quoly(&result.q, false);
      }
    } else {
      OwnedPoly leaf, res;
      leaf.p = nodes::new_leaf(detail::copy_number(n->ncoef));
      poly_mod_or_div(leaf.p, divisor, &res.p, which, polynames);
      if (is_bare_leaf(res.p)) {
        poly_consume(&res.p, &result.q);
      } else {
        result.q = nodes::new_ratfun_value(res.release(), nullptr);
      }
    }
  }
  free_quoly(p);
  *p = result.release();
}

}  // namespace tavrin
