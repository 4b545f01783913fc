// Negation in place, value tests, structural comparisons, variable names and
// leading terms.
#include <algorithm>
#include <cstring>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"

namespace tavrin {

using detail::copy_list;
using detail::copy_node_alone;
using nodes::is_bare_leaf;
using nodes::new_ratfun_value;
using nodes::new_term;

namespace {

// The number n equals the small integer v in the current mode (big: one limb).
bool number_is(imptr n, std::int32_t v) {
  if (flotemode) return n->flote == v;
  if (lintmode) return n->lint == v;
  return n->size == 1 && n->head->value == v;
}

// As num_is_zero_now, but a big integer without limbs (a nil head) answers
// false instead of being read.
bool num_is_zero_nil_safe(imptr n) {
  if (flotemode) return n->flote == 0.0L;
  if (lintmode) return n->lint == 0;
  return n->head != nullptr && n->head->value == 0;
}

bool number_is_m1(imptr n) {
  if (flotemode) return n->flote == -1.0L;
  if (modularmode) return finf ? n->lint == 1 : n->lint == modulus - 1;
  return number_is(n, -1);
}

// p and q have the same shape, and every pair of leaves satisfies `same`.
template <class Same>
bool same_walk(poly p, poly q, Same same) {
  for (; p != nullptr && q != nullptr; p = p->next, q = q->next) {
    if (p->numb != q->numb || p->exp != q->exp) return false;
    if (p->numb) {
      if (!same(p->ncoef, q->ncoef)) return false;
    } else if (!same_walk(p->pcoef, q->pcoef, same)) {
      return false;
    }
  }
  return p == nullptr && q == nullptr;
}

}  // namespace

// ---- Negation in place -----------------------------------------------------------

void poly_inplace(poly p) {
  detail::for_each_number(p, [](imptr x) { in_place_neg(x); });
}

void quoly_inplace(quoly q) {
  nodes::settle_integer_inplace(q);
  if (q->numb) {
    in_place_neg(q->ncoef);
  } else {
    poly_inplace(q->numer);
  }
}

// ---- Value tests -----------------------------------------------------------------

bool node_iszero(poly p) { return p->numb && num_is_zero_nil_safe(p->ncoef); }

bool poly_eq_1(poly p) { return is_bare_leaf(p) && number_is(p->ncoef, 1); }

bool poly_eq_m1(poly p) { return is_bare_leaf(p) && number_is_m1(p->ncoef); }

bool quoly_iszero(quoly q) { return q->numb && num_is_zero_nil_safe(q->ncoef); }

bool quoly_eq_1(quoly q) { return q->numb && number_is(q->ncoef, 1); }

bool quoly_eq_m1(quoly q) { return q->numb && number_is_m1(q->ncoef); }

bool lint_quoly_iszero(quoly q) { return q->numb && q->ncoef->lint == 0; }

// ---- Comparisons -------------------------------------------------------------------

bool poly_equal(poly p, poly q) { return same_walk(p, q, equal); }

bool poly_neg(poly p, poly q) { return same_walk(p, q, negtive); }

// Numbers compare as ring elements: a stored integer outside the residues
// as its image.
bool quoly_equal(quoly p, quoly q) {
  if (p->numb != q->numb) return false;
  if (p->numb) {
    const nodes::RingOperand a(p), b(q);
    return equal(a.get()->ncoef, b.get()->ncoef);
  }
  return poly_equal(p->numer, q->numer) && poly_equal(p->denom, q->denom);
}

bool quoly_negtive(quoly p, quoly q) {
  if (p->numb != q->numb) return false;
  if (p->numb) {
    const nodes::RingOperand a(p), b(q);
    return negtive(a.get()->ncoef, b.get()->ncoef);
  }
  return poly_neg(p->numer, q->numer) && poly_equal(p->denom, q->denom);
}

bool quoly_larger(quoly p, quoly q) {
  const nodes::RingOperand a(p), b(q);
  return bigger(a.get()->ncoef, b.get()->ncoef);
}

bool essentially_equal(poly p, poly q) {
  const imptr a = leading_coef(p)->ncoef;
  const imptr b = leading_coef(q)->ncoef;
  enum class Unit { equality, opposite, ratio } unit;
  long double fr = 0;
  std::int32_t mr = 0;
  if (flotemode) {
    if (a->flote / b->flote == 1.0L) {
      unit = Unit::equality;
    } else if (a->flote + b->flote == 0.0L) {
      unit = Unit::opposite;
    } else {
      unit = Unit::ratio;
      fr = a->flote / b->flote;
    }
  } else if (modularmode && mod_is_prime) {
    if (b->lint == 0) {  // q is zero: only zero is a unit multiple of it
      unit = Unit::equality;
    } else {
      std::int32_t inv = 0;
      mod_inverse(b->lint, &inv);
      mr = modmult(static_cast<std::uint32_t>(a->lint), static_cast<std::uint32_t>(inv));
      unit = mr == 1 ? Unit::equality : Unit::ratio;
    }
  } else if (lintmode) {
    return false;
  } else if (opposites(a, b)) {
    unit = Unit::opposite;
  } else if (equal(a, b)) {
    unit = Unit::equality;
  } else {
    return false;
  }
  return same_walk(p, q, [&](imptr x, imptr y) {
    switch (unit) {
      case Unit::equality: return equal(x, y);
      case Unit::opposite: return flotemode ? x->flote + y->flote == 0.0L : opposites(x, y);
      case Unit::ratio: break;
    }
    if (flotemode) return x->flote == fr * y->flote;
    return x->lint == modmult(static_cast<std::uint32_t>(mr), static_cast<std::uint32_t>(y->lint));
  });
}

bool opposites(imptr n, imptr m) {
  if (n->size != m->size) return false;
  for (numptr a = n->head, b = m->head; a != nullptr && b != nullptr; a = a->next, b = b->next)
    if (a->value != -b->value) return false;
  return true;
}

bool is_array_param(quoly q) { return q->numb && q->arr_arg; }

// ---- Names ---------------------------------------------------------------------------

bool is_poly_name2(const char* x, std::int16_t* depth, polypt* q) {
  std::int16_t d = 1;
  for (polypt r = polynames; r != nullptr; r = r->next, ++d) {
    if (std::strncmp(x, r->let.name, sizeof(nametype)) == 0) {
      *depth = d;
      *q = r;
      return true;
    }
  }
  *depth = d;
  *q = nullptr;
  return false;
}

bool is_poly_name(const char* x, std::int16_t* depth) {
  polypt ignored;
  return is_poly_name2(x, depth, &ignored);
}

bool its_a_polyname(const char* x) {
  for (std::int32_t i = 0; i < number_polys && i < max_polys; ++i) {
    const int c = std::strncmp(x, polyvar[i], sizeof(nametype));
    if (c == 0) return true;
    if (c < 0) return false;
  }
  return false;
}

bool is_poly_var(quoly q, std::int16_t* depth) {
  if (q->numb || q->denom != nullptr) return false;
  poly t = q->numer;
  if (t->numb) {
    if (!poly_eq_1(t)) return false;
    *depth = 0;
    return true;
  }
  for (std::int16_t level = 1;; ++level) {
    if (t->numb || t->next != nullptr) return false;
    if (t->exp == 1) {
      if (!poly_eq_1(t->pcoef)) return false;
      *depth = level;
      return true;
    }
    if (t->exp != 0) return false;
    t = t->pcoef;
  }
}

// ---- Leading terms and signs ------------------------------------------------------------

poly lastnode(poly p) {
  while (p->next != nullptr) p = p->next;
  return p;
}

bool neg_leading_term(poly p) {
  imptr n = leading_coef(p)->ncoef;
  if (flotemode) return n->flote < 0.0L;
  if (lintmode) return n->lint < 0;
  return n->head->value < 0;
}

bool pos_leading_coef(poly p) {
  imptr n = leading_coef(p)->ncoef;
  if (flotemode) return n->flote > 0.0L;
  if (lintmode) {
    std::int32_t v = n->lint;
    if (modularmode && alt_form_display && v > half_modulus) v -= modulus;
    return v > 0;
  }
  return n->head->value > 0;
}

void leading_term(quoly q, quolyptr n) {
  poly numer;
  std::int32_t pads = 0;
  poly t = q->numer;
  while (!t->numb && t->exp == 0 && t->next == nullptr) {
    t = t->pcoef;
    ++pads;
  }
  if (t->numb) {
    numer = copy_node_alone(t);
  } else {
    numer = new_term(t->exp, copy_list(t->pcoef));
    add_pad(&numer, pads);
  }
  poly denom = q->denom != nullptr ? copy_list(q->denom) : nullptr;
  *n = new_ratfun_value(numer, denom);
}

bool height_is_1(poly p) {
  for (; p != nullptr; p = p->next)
    if (!p->numb && !is_bare_leaf(p->pcoef)) return false;
  return true;
}

void findHeight(poly* n, poly* m, std::int32_t* h, polypt* pt) {
  *h = 0;
  while (!(*n)->numb && !(*m)->numb && (*n)->exp == 0 && (*m)->exp == 0) {
    *n = (*n)->pcoef;
    *m = (*m)->pcoef;
    if (*pt != nullptr) *pt = (*pt)->next;
    ++*h;
  }
}

poly leading_coef_level_two(poly p) {
  std::int32_t d = -2147483647;
  for (poly t = p; t != nullptr; t = t->next) {
    if (t->numb) {
      d = std::max(d, 0);
    } else {
      max_degree(t->pcoef, 1, &d);
    }
  }
  poly head = nullptr;
  poly* link = &head;
  for (poly t = p; t != nullptr; t = t->next) {
    poly src = nullptr;  // the coefficient of y^d in this node, when it has one
    if (t->numb) {
      if (d == 0) src = t;
    } else {
      poly cf = t->pcoef;
      if (cf->exp == d) src = cf->numb ? cf : cf->pcoef;
    }
    if (src == nullptr) continue;
    poly c = src->numb ? copy_node_alone(src) : copy_list(src);
    if (!t->numb && !(t->exp == 0 && c->numb)) c = new_term(t->exp, c);
    *link = c;
    link = &c->next;
  }
  return head;
}

}  // namespace tavrin
