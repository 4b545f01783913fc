// Sums, products and quotients of rational numbers and integers: big
// integers a/b with b > 1, coprime to a, the sign on the numerator.
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/fraction_sum.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"

namespace tavrin {

using nodes::ScratchNumber;

namespace {

// The limbs of a or b.
inline imptr num_of(poly leaf) { return leaf->ncoef; }

// x is the one-limb 1.
inline bool is_one(imptr x) { return x->size == 1 && x->head->value == 1; }

// g := gcd(|x|, |y|), qx := x / g and qy := y / g with the signs of x and y,
// each with limbs of its own; true when g is 1. qx, qy: headers without
// limbs; x, y: kept.
bool cofactors(imptr x, imptr y, imptr g, imptr qx, imptr qy) {
  bool one = false;
  extgcd(x, y, g, qx, qy, &one);
  if (one) {
    // extgcd hands out record copies sharing x's and y's limbs: own copies.
    for (imptr q : {qx, qy}) {
      q->head = q->tail = nullptr;
      q->size = 0;
    }
    spec_num_assign(x, qx);
    spec_num_assign(y, qy);
  }
  return one;
}

// num / den made a value in *p: den > 0 first (both negated otherwise),
// the number num itself when den is 1.
void install_fraction(quolyptr p, ScratchNumber& num, ScratchNumber& den) {
  if (den.get()->head->value < 0) {
    in_place_neg(den.get());
    in_place_neg(num.get());
  }
  if (is_one(den.get())) {
    detail::become_number(*p, num.release());
    return;
  }
  detail::become_rational(*p, num.release(), den.release());
}

// (x / y) * (u / v) made a value in *p, both fractions in lowest terms: x
// and v, and u and y, are cancelled by their GCDs first, so the product is
// in lowest terms too. x, y, u, v: kept.
void cancelled_product(imptr x, imptr y, imptr u, imptr v, quolyptr p) {
  ScratchNumber g1, x1, v1, g2, u1, y1;
  cofactors(x, v, g1.get(), x1.get(), v1.get());
  cofactors(u, y, g2.get(), u1.get(), y1.get());
  ScratchNumber num, den;
  fast_mult(x1.get(), u1.get(), num.get());
  fast_mult(v1.get(), y1.get(), den.get());
  install_fraction(p, num, den);
}

// add_rats when a denominator has one limb: the sum in one pass over each
// operand (short_fraction_sum), the one-limb denominator taken as d (a
// difference the other way round is negated). A denominator that stays
// b's, in place (*p is n), keeps its leaf.
void short_denominator_sum(quoly n, quoly m, quolyptr p, bool add) {
  imptr a = num_of(n->numer), b = num_of(n->denom);
  imptr c = num_of(m->numer), d = num_of(m->denom);
  const bool turned = d->size != 1;  // c/d +- a/b
  ScratchNumber num, den;
  bool second = false;
  const fraction_sum_result r =
      turned ? short_fraction_sum(c, d, a, b->head->value, add, num.get(), den.get(), &second)
             : short_fraction_sum(a, b, c, d->head->value, add, num.get(), den.get(), &second);
  if (second) ++quoly_sums.numerator_gcds;
  if (r == fraction_sum_result::zero) {
    detail::become_zero(*p);
    return;
  }
  if (turned && !add)
    for (numptr l = num.get()->head; l != nullptr; l = l->next) l->value = -l->value;
  if (r == fraction_sum_result::same_denominator) {
    if (!turned && *p == n) {
      free_imag(&n->numer->ncoef);
      n->numer->ncoef = num.release();
      n->rat = true;
      return;
    }
    spec_num_assign(turned ? d : b, den.get());
  }
  if (is_one(den.get())) {
    detail::become_number(*p, num.release());
    return;
  }
  detail::become_rational(*p, num.release(), den.release());
}

}  // namespace

void add_rats(quoly n, quoly m, quolyptr p, bool add) {
  imptr a = num_of(n->numer), b = num_of(n->denom);
  imptr c = num_of(m->numer), d = num_of(m->denom);
  ++quoly_sums.denominator_gcds;
  if (d->size == 1 || b->size == 1) {
    short_denominator_sum(n, m, p, add);
    return;
  }
  ScratchNumber g1, n1, n2;
  const bool coprime = cofactors(b, d, g1.get(), n1.get(), n2.get());
  ScratchNumber com, t;
  fast_mult(a, n2.get(), com.get());
  fast_mult(c, n1.get(), t.get());
  if (add) {
    fastsum(com.get(), t.get());
  } else {
    fastdiff(com.get(), t.get());
  }
  if (com.get()->head->value == 0) {
    detail::become_number(*p, com.release());
    return;
  }
  ScratchNumber n3;
  if (coprime) {
    fast_mult(b, n2.get(), n3.get());
  } else {
    ++quoly_sums.numerator_gcds;
    ScratchNumber g2, q1, q2;
    if (cofactors(com.get(), g1.get(), g2.get(), q1.get(), q2.get())) {
      fast_mult(b, n2.get(), n3.get());
    } else {
      fast_mult(q2.get(), n1.get(), n3.get());
      fast_mult(n3.get(), n2.get(), n3.get());
      spec_num_assign(q1.get(), com.get());
      if (is_one(n3.get())) {
        detail::become_number(*p, com.release());
        return;
      }
    }
  }
  detail::become_rational(*p, com.release(), n3.release());
}

void add_numb_rat(quoly n, quoly m, quolyptr p, bool add) {
  ScratchNumber t;
  fast_mult(n->ncoef, num_of(m->denom), t.get());
  if (add) {
    fastsum(t.get(), num_of(m->numer));
  } else {
    fastdiff(t.get(), num_of(m->numer));
  }
  imptr den = detail::number_copy(num_of(m->denom));
  detail::become_rational(*p, t.release(), den);
}

void quot_rat_numb(quoly n, quoly m, quolyptr p) {
  ScratchNumber g, a1, k1;
  cofactors(num_of(n->numer), m->ncoef, g.get(), a1.get(), k1.get());
  ScratchNumber den;
  fast_mult(num_of(n->denom), k1.get(), den.get());
  install_fraction(p, a1, den);  // |den| >= n's denominator > 1: a fraction
}

void quot_rats(quoly n, quoly m, quolyptr p) {
  imptr a = num_of(n->numer), b = num_of(n->denom);
  imptr c = num_of(m->numer), d = num_of(m->denom);
  if (n == m || (spec_equal(a, c) && spec_equal(b, d))) {
    ScratchNumber one;
    setvalue(1, one.get());
    detail::become_number(*p, one.release());
    return;
  }
  cancelled_product(a, b, d, c, p);  // (a / b) * (d / c)
}

void mult_rats(quoly n, quoly m, quolyptr p) {
  cancelled_product(num_of(n->numer), num_of(n->denom), num_of(m->numer), num_of(m->denom), p);
}

void mult_numb_rat(quoly n, quoly m, quolyptr p) {
  if (n->ncoef->head->value == 0) {
    detail::become_zero(*p);
    return;
  }
  ScratchNumber g, k1, den;
  cofactors(n->ncoef, num_of(m->denom), g.get(), k1.get(), den.get());
  ScratchNumber num;
  fast_mult(k1.get(), num_of(m->numer), num.get());
  install_fraction(p, num, den);
}

void divide_integers(imptr a, imptr b, quolyptr p) {
  ScratchNumber g, num, den;
  cofactors(a, b, g.get(), num.get(), den.get());
  install_fraction(p, num, den);
}

}  // namespace tavrin
