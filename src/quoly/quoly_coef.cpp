// Coefficients, degrees, the conversion to floating values, p-th roots and
// the splicing of values (contracts in quoly_coef.h).
#include "quoly/quoly_coef.h"

#include <cstring>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/mod_journal.h"
#include "poly/poly_add.h"
#include "poly/poly_coef.h"
#include "poly/poly_images.h"
#include "poly/poly_measures.h"
#include "factor/pth_root.h"
#include "quoly/quoly_impl.h"

namespace tavrin {

using detail::become_number;
using detail::become_one;
using detail::become_zero;
using detail::number_copy;
using detail::number_if_constant;
using detail::take_number;
using detail::zero_number;
using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::new_number_value;
using nodes::new_ratfun_value;
using nodes::new_term;
using nodes::num_is_zero_now;

namespace {

// The exponent a node stands at in its list (a leaf: 0).
std::int32_t node_exp(poly p) { return p->numb ? 0 : p->exp; }

// The number n is 1 in the current mode.
bool number_is_one(imptr n) {
  if (flotemode) return n->flote == 1.0L;
  if (lintmode) return n->lint == 1;
  return n->size == 1 && n->head->value == 1;
}

// The height of the bare variable held by q (pads counted), or -1 when q is
// not one: a number, a denominator, a list of more than one node, a first
// non-pad exponent other than 1, or a coefficient other than the constant 1.
std::int32_t bare_variable_height(quoly q) {
  if (q->numb || q->denom != nullptr) return -1;
  std::int32_t height = 0;
  for (poly p = q->numer; p != nullptr; p = p->pcoef) {
    if (p->next != nullptr || p->numb) return -1;
    if (p->exp == 0) {
      ++height;
      continue;
    }
    if (p->exp != 1 || !is_bare_leaf(p->pcoef) || !number_is_one(p->pcoef->ncoef)) return -1;
    return height;
  }
  return -1;
}

// Stand-in until the language reads the exponent expression.
void exponent_reader_missing(void*, nameptr*, quolyptr) {
  tavrin_error("old_expre not available", true);
}

// The shared ending of the numeric accessors: *link holds the coefficient's
// leaf (nil: absent). The copy form (*n nil) builds a new value; the in-place
// form moves the number out and makes the cell *n that number.
void hand_over_number(quolyptr x, quolyptr n, poly* link) {
  if (*n == nullptr) {
    *n = new_number_value(link == nullptr ? zero_number() : number_copy((*link)->ncoef));
    return;
  }
  if (*n != *x) free_quoly(n);  // another cell: its old value goes
  if (*n == nullptr) {
    *n = new_number_value(link == nullptr ? zero_number() : number_copy((*link)->ncoef));
    return;
  }
  imptr num = zero_number();
  if (link != nullptr) {
    free_imag(&num);
    num = (*link)->ncoef;
    (*link)->ncoef = nullptr;  // the leaf is freed with the rest, its number kept
  }
  become_number(*n, num);
}

}  // namespace

coef_exponent_reader read_coef_exponent = exponent_reader_missing;

// ---- The coefficient built-in ---------------------------------------------------------------

void general_coef(poly n, poly* ans, quoly q, void* inf, nameptr* flag) {
  const std::int32_t height = bare_variable_height(q);
  if (height < 0) {
    error(not_a_variable_error, &token);
    poly_set(0, ans);
    return;
  }
  if (std::strcmp(token.name, ",") != 0) {
    error(comma_expected_error, &token);
    poly_set(0, ans);
    return;
  }
  std::int32_t e = 0;
  bool zeroexp = true;
  {
    ModularBracket plain_numbers;
    quoly v = nullptr;
    read_coef_exponent(inf, flag, &v);
    nodes::OwnedValue value(v);
    if (v == nullptr) {  // nothing was read
      poly_set(0, ans);
      return;
    }
    if (!v->numb) {
      error(exponent_not_number_error, &token);
    } else {
      e = quoly_convert_to_int(v);
      if (e == no_int_value) error(exponent_not_int_error, &token);
      zeroexp = e == 0;
    }
  }
  poly out = nullptr;
  extract_coef(n, &out, static_cast<std::int16_t>(height), e, zeroexp);
  free_poly(ans);
  *ans = out;
}

// ---- Numeric accessors ------------------------------------------------------------------------

poly* poly_trail_num_coef(poly* pp) {
  poly* cell = pp;
  while (true) {
    while ((*cell)->next != nullptr) cell = &(*cell)->next;
    if ((*cell)->numb) return cell;
    cell = &(*cell)->pcoef;
  }
}

poly* poly_z_num_coef(poly* pp) {
  poly* cell = pp;
  while (true) {
    poly* found = nullptr;
    for (poly* c = cell; *c != nullptr; c = &(*c)->next) {
      if ((*c)->numb || (*c)->exp == 0) {
        found = c;
        break;
      }
    }
    if (found == nullptr) return nullptr;
    if ((*found)->numb) return found;
    cell = &(*found)->pcoef;
  }
}

poly* poly_mono_num_coef(poly* pp, poly m) {
  if (m->numb) return poly_z_num_coef(pp);
  poly* cell = pp;
  while (true) {
    poly node = *cell;
    while (node != nullptr && node_exp(node) > m->exp) {
      cell = &node->next;
      node = node->next;
    }
    if (node == nullptr || node->numb || node->exp != m->exp) return nullptr;
    if (m->pcoef->numb) return poly_z_num_coef(&node->pcoef);
    cell = &node->pcoef;
    m = m->pcoef;
  }
}

void quoly_leading_num_coef(quolyptr x, quolyptr n) {
  poly* cell = &(*x)->numer;
  while (!(*cell)->numb) cell = &(*cell)->pcoef;
  hand_over_number(x, n, cell);
}

void quoly_trail_num_coef(quolyptr x, quolyptr n) {
  hand_over_number(x, n, poly_trail_num_coef(&(*x)->numer));
}

void quoly_z_num_coef(quolyptr x, quolyptr n) {
  hand_over_number(x, n, poly_z_num_coef(&(*x)->numer));
}

void quoly_mono_num_coef(quolyptr x, quolyptr n, poly m) {
  hand_over_number(x, n, poly_mono_num_coef(&(*x)->numer, m));
}

void quoly_field_leading_coef(quolyptr x, quolyptr n) {
  const bool in_place = *n != nullptr && *n == *x;
  if (*n != nullptr && !in_place) free_quoly(n);
  poly* cell = &(*x)->numer;
  std::int32_t passed = 0;
  for (std::int32_t depth = 1; !(*cell)->numb && depth < field_depth; ++depth) {
    if (in_place) {  // the level becomes a pad over its leading coefficient
      free_poly(&(*cell)->next);
      (*cell)->exp = 0;
    }
    cell = &(*cell)->pcoef;
    ++passed;
  }
  if (!in_place) {
    if ((*cell)->numb) {
      *n = new_number_value(number_copy((*cell)->ncoef));
    } else {
      poly c = nullptr;
      poly_assign(*cell, &c);
      add_pad(&c, passed);
      *n = new_ratfun_value(c, nullptr);
    }
    return;
  }
  quoly v = *x;
  free_poly(&v->denom);
  v->rat = false;
  if ((*cell)->numb) {
    free_poly(&(*cell)->next);  // terms of negative exponent behind the leaf
    imptr num = (*cell)->ncoef;
    (*cell)->ncoef = nullptr;
    become_number(v, num);
  }
}

// ---- Degrees ----------------------------------------------------------------------------------

std::int32_t codegree(poly q, std::int32_t level) {
  if (level <= 1) {
    while (q->next != nullptr) q = q->next;
    return node_exp(q);
  }
  std::int32_t low = 2147483647;
  for (poly p = q; p != nullptr; p = p->next) {
    const std::int32_t d = p->numb ? 0 : codegree(p->pcoef, level - 1);
    if (d < low) low = d;
  }
  return low;
}

void generalized_degree(quolyptr qp, quolyptr n, std::int32_t level, bool lowest) {
  std::int32_t d = 0;
  if (!(*qp)->numb) {
    if (lowest) {
      d = codegree((*qp)->numer, level);
    } else {
      d = -2147483647;
      max_degree((*qp)->numer, level, &d);
    }
  }
  quoly_set_integer(d, n);
}

// ---- Conversions ------------------------------------------------------------------------------

void quoly_put_flote(quoly q) { for_value_parts(q, change_flote, poly_change_to_flote); }

void quoly_pth_root(quolyptr n) {
  if ((*n)->numb) return;
  poly* cell = &(*n)->numer;
  polypt pt = polynames;
  std::int32_t depth = 1;
  while (!(*cell)->numb && (*cell)->exp == 0 && pt != nullptr) {
    cell = &(*cell)->pcoef;
    pt = pt->next;
    ++depth;
  }
  if ((*cell)->numb && (*cell)->next == nullptr) return;  // a constant is its own root
  if (depth < field_depth) {
    error(pth_root_above_field_error, &token);
    return;
  }
  pth_root(cell, pt);
}

// ---- Splicing ---------------------------------------------------------------------------------

namespace {

// The polynomial held by the value cell q, moved out: a number becomes a
// leaf; q is left a rational-function cell with no parts.
poly take_poly(quoly q) {
  if (q->numb) return new_leaf(take_number(q));
  poly p = q->numer;
  q->numer = nullptr;
  free_poly(&q->denom);
  return p;
}

// The last node of a list.
poly last_node(poly p) {
  while (p->next != nullptr) p = p->next;
  return p;
}

// s's top list multiplied by t^m in place: exponents raised by m, the
// constant leaf wrapped in a term of exponent m. s: not zero.
poly shift_top(poly s, std::int32_t m) {
  poly* cell = &s;
  while (*cell != nullptr) {
    poly node = *cell;
    if (node->numb) {
      poly t = new_term(m, node, node->next);
      node->next = nullptr;
      *cell = t;
      node = t;
    } else {
      node->exp = exp_add(node->exp, m);
    }
    cell = &node->next;
  }
  return s;
}

// p ++ q (p may be nil).
poly link_lists(poly p, poly q) {
  if (p == nullptr) return q;
  last_node(p)->next = q;
  return p;
}

}  // namespace

void splice_poly(quolyptr p, quolyptr q, std::int32_t m) {
  if (m <= 0) {
    tavrin_error("splice at a power below 1", true);
    return;
  }
  quoly pv = *p;
  quoly qv = *q;
  poly P = take_poly(pv);
  poly S = take_poly(qv);
  poly R = nullptr;
  if (poly_iszero(S)) {
    free_poly(&S);
    R = P;
  } else if (poly_iszero(P)) {
    free_poly(&P);
    R = shift_top(S, m);
  } else {
    S = shift_top(S, m);
    const std::int32_t e = node_exp(P);
    // S_high: shifted terms above e; S_low: the rest (at or below e).
    poly S_high = nullptr;
    poly S_low = S;
    if (node_exp(S) > e) {
      poly h = S;
      while (h->next != nullptr && node_exp(h->next) > e) h = h->next;
      S_high = S;
      S_low = h->next;
      h->next = nullptr;
    }
    if (S_low == nullptr) {  // no overlap: P goes behind
      R = link_lists(S_high, P);
    } else {
      // P's head H (exponents at or above the lowest shifted one) meets
      // S_low; its tail T (below) goes behind the sum.
      const std::int32_t lo = node_exp(last_node(S_low));
      poly H = P;
      poly T = nullptr;
      poly h = P;
      while (h->next != nullptr && node_exp(h->next) >= lo) h = h->next;
      T = h->next;
      h->next = nullptr;
      poly sum = nullptr;
      best_poly_add(H, S_low, &sum);
      if (poly_iszero(sum)) free_poly(&sum);
      R = link_lists(S_high, link_lists(sum, T));
      if (R == nullptr) poly_set(0, &R);
    }
  }
  become_one(pv);
  qv->numb = false;
  qv->numer = R;
  qv->denom = nullptr;
  qv->rat = false;
  number_if_constant(qv);
  std::swap(*p, *q);
}

}  // namespace tavrin
