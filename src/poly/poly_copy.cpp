// Copies, assignment and conversions between polynomials, numbers and values.
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <limits>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"

namespace tavrin {

using detail::copy_list;
using detail::copy_number;
using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::new_number_value;
using nodes::new_ratfun_value;

// ---- Exponent arithmetic ----------------------------------------------------

namespace {

std::int32_t checked_exponent(std::int64_t r) {
  constexpr std::int64_t lo = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t hi = std::numeric_limits<std::int32_t>::max();
  if (r < lo || r > hi) {
    error(exponent_overflow_error, &token);
    return static_cast<std::int32_t>(r < lo ? lo : hi);
  }
  return static_cast<std::int32_t>(r);
}

}  // namespace

std::int32_t exp_add(std::int32_t a, std::int32_t b) {
  return checked_exponent(std::int64_t{a} + b);
}

std::int32_t exp_sub(std::int32_t a, std::int32_t b) {
  return checked_exponent(std::int64_t{a} - b);
}

std::int32_t exp_mul(std::int32_t a, std::int32_t b) {
  return checked_exponent(std::int64_t{a} * b);
}

// ---- Deep copies --------------------------------------------------------------

namespace detail {

imptr copy_number(imptr n) {
  imptr r;
  newimag(&r);
  if (flotemode) {
    r->flote = n->flote;
  } else if (lintmode) {
    r->lint = n->lint;
  } else {
    num_assign(n, r);
  }
  return r;
}

namespace {

// A fresh number holding -n by makeneg.
imptr negated_number(imptr n) {
  imptr r;
  newimag(&r);
  makeneg(n, r);
  return r;
}

// One node copied (next nil); leaves negated when `negate`.
poly copy_one(poly p, bool negate);

// Fetches the record some steps on from at, a step being the distance from
// before to at (nothing without a record before): records of a long list
// mostly lie in runs one step apart, so the copy need not wait on each in
// turn. Only a hint: the address may hold no record at all.
template <class T>
inline void fetch_ahead(const T* at, const T* before) {
  constexpr std::uintptr_t ahead_steps = 8;
  if (before == nullptr || at == nullptr) return;
  const auto here = reinterpret_cast<std::uintptr_t>(at);
  __builtin_prefetch(reinterpret_cast<const void*>(
      here + ahead_steps * (here - reinterpret_cast<std::uintptr_t>(before))));
}

// The list p copied node by node; leaves negated when `negate`.
poly copy_nodes(poly p, bool negate) {
  poly head = nullptr;
  poly* link = &head;
  poly before = nullptr, leaf_before = nullptr;
  imptr number_before = nullptr;
  for (; p != nullptr; before = p, p = p->next) {
    fetch_ahead(p, before);
    if (!p->numb && p->pcoef != nullptr) {
      fetch_ahead(p->pcoef, leaf_before);
      leaf_before = p->pcoef;
      if (leaf_before->numb) {
        fetch_ahead(leaf_before->ncoef, number_before);
        number_before = leaf_before->ncoef;
      }
    }
    *link = copy_one(p, negate);
    link = &(*link)->next;
  }
  return head;
}

poly copy_one(poly p, bool negate) {
  poly t;
  newpoly(&t);
  t->exp = p->exp;
  t->numb = p->numb;
  t->next = nullptr;
  if (p->numb) {
    t->ncoef = negate ? negated_number(p->ncoef) : copy_number(p->ncoef);
  } else {
    t->pcoef = copy_nodes(p->pcoef, negate);
  }
  return t;
}

}  // namespace

poly copy_list(poly p) { return copy_nodes(p, false); }

poly copy_node_alone(poly p) { return copy_one(p, false); }

poly copy_node_negated(poly p) { return copy_one(p, true); }

poly copy_list_negated(poly p) { return copy_nodes(p, true); }

}  // namespace detail

namespace {

// The copy of a value cell (numbers by num_assign or makeneg).
quoly copy_value(quoly p, bool negate) {
  if (p->numb) {
    imptr n;
    newimag(&n);
    if (negate) {
      makeneg(p->ncoef, n);
    } else {
      num_assign(p->ncoef, n);
    }
    return new_number_value(n);
  }
  poly numer = negate ? detail::copy_list_negated(p->numer) : copy_list(p->numer);
  poly denom = p->denom != nullptr ? copy_list(p->denom) : nullptr;
  quoly r = new_ratfun_value(numer, denom);
  r->rat = p->rat && !lintmode;
  return r;
}

}  // namespace

void poly_assign(poly p, poly* q) {
  poly r = copy_list(p);
  free_poly(q);
  *q = r;
}

void quoly_assign(quoly p, quolyptr q) {
  quoly r = copy_value(p, false);
  free_quoly(q);
  *q = r;
}

void writable_value(quolyptr cell) {
  const quoly v = *cell;
  if (v == nullptr || v->holds == 0) return;
  const bool array_mark = v->numb && v->arr_arg;
  quoly_assign(v, cell);
  (*cell)->arr_arg = array_mark;
}

void poly_makeneg(poly p, poly* q) {
  poly r = detail::copy_list_negated(p);
  free_poly(q);
  *q = r;
}

void quoly_makeneg(quoly p, quolyptr q) {
  quoly r = copy_value(p, true);
  free_quoly(q);
  *q = r;
}

void node_assign(poly p, poly* q) {
  poly r = new_leaf(copy_number(p->ncoef));
  free_poly(q);
  *q = r;
}

void spec_poly_assign(poly p, poly* q) {
  poly head = nullptr;
  poly* link = &head;
  for (; p != nullptr; p = p->next) {
    if (is_bare_leaf(p)) {
      *link = p;  // the constant leaf itself is shared
      break;
    }
    poly t;
    if (p->numb) {
      t = new_leaf(p->ncoef);  // a Laurent leaf inside the list: its number shared
    } else {
      t = nodes::new_term(p->exp, p->pcoef);
    }
    *link = t;
    link = &t->next;
  }
  *q = head;
}

void mini_copy(poly p, poly* q) {
  if (p->numb) {
    poly r = detail::copy_node_alone(p);
    free_poly(q);
    *q = r;
    return;
  }
  poly t = nodes::new_term(p->exp, p->pcoef, p->next);
  p->next = nullptr;
  p->pcoef = nullptr;
  *q = t;
}

// ---- Conversions ----------------------------------------------------------------

void quoly_to_poly(quoly q, poly* p) { *p = new_leaf(copy_number(q->ncoef)); }

void poly_to_quoly(poly p, quolyptr q) { *q = new_number_value(copy_number(p->ncoef)); }

void p_q_assign(poly p, quolyptr q) {
  free_quoly(q);
  if (p->numb) {
    *q = new_number_value(copy_number(p->ncoef));
  } else {
    *q = new_ratfun_value(copy_list(p), nullptr);
  }
}

void polynum_to_quoly(quolyptr q) {
  quoly v = *q;
  poly leaf = v->numer;
  imptr n = leaf->ncoef;
  free_polynode_list(leaf, leaf);
  v->numb = true;
  v->ncoef = n;
  v->arr_arg = false;
}

void quoly_consume(quolyptr n, poly* p) {
  quoly v = *n;
  poly leaf = new_leaf(v->ncoef);
  v->ncoef = nullptr;
  free_quoly(n);
  *p = leaf;
}

void poly_consume(poly* n, quolyptr q) {
  poly leaf = *n;
  quoly v = new_number_value(leaf->ncoef);
  free_polynode_list(leaf, leaf);
  *n = nullptr;
  *q = v;
}

void use_up_poly(poly* n, quolyptr q) {
  if ((*n)->numb) {
    poly_consume(n, q);
    return;
  }
  *q = new_ratfun_value(*n, nullptr);
}

namespace {

// A fresh header that is a field-by-field copy of *n (limbs shared).
imptr header_copy(imptr n) {
  imptr r;
  newimag(&r);
  *r = *n;
  return r;
}

}  // namespace

void scalar_to_poly(imptr n, poly* p) {
  free_poly(p);
  *p = new_leaf(header_copy(n));
}

void scalar_to_quoly(imptr n, quolyptr q) {
  free_quoly(q);
  *q = new_number_value(header_copy(n));
}

void spec_scalar_quoly(imptr n, quolyptr q) {
  free_quoly(q);
  imptr r;
  newimag(&r);
  if (lintmode) {
    std::uint32_t word = static_cast<std::uint32_t>(n->lint);
    if (n->size >= 1) {
      word = static_cast<std::uint32_t>(n->head->value);
      if (n->size >= 2)
        word = word * static_cast<std::uint32_t>(limb_base) +
               static_cast<std::uint32_t>(n->tail->value);
    }
    if (word > (std::uint32_t{1} << 30))
      std::printf(" ** Warning. oversized value computed %" PRIu32 "i in spec_scalar_quoly.\n",
                  word);
    r->lint = static_cast<std::int32_t>(word);
  } else {
    num_assign(n, r);
  }
  if (n->size >= 1) r->flote = n->head->value;
  *q = new_number_value(r);
}

std::int32_t convert_to_int(imptr n) {
  if (flotemode) {
    const long double v = std::floor(n->flote + 0.5L);
    if (!(v >= -2147483648.0L && v <= 2147483647.0L)) return no_int_value;
    return static_cast<std::int32_t>(v);
  }
  if (lintmode) return n->lint;
  if (n->size == 1) return n->head->value;
  if (n->size == 2 && n->head->value >= -7 && n->head->value <= 7)
    return n->head->value * limb_base + n->tail->value;
  return no_int_value;
}

namespace {

imptr value_number(quoly q) { return q->numb ? q->ncoef : leading_coef(q->numer)->ncoef; }

}  // namespace

std::int32_t quoly_convert_to_int(quoly q) { return convert_to_int(value_number(q)); }

std::int32_t big_quoly_convert_to_int(quoly q) {
  imptr n = value_number(q);
  if (flotemode || lintmode) return convert_to_int(n);
  if (n->size == 1) return n->head->value;
  if (n->size == 2 && n->head->value > -8 && n->head->value < 8)
    return n->head->value * limb_base + n->tail->value;
  return no_int_value;
}

}  // namespace tavrin
