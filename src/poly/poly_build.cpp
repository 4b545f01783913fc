// Construction, the pad levels, removal of a level, and the Laurent shifts.
#include <algorithm>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::new_ratfun_value;
using nodes::new_term;

namespace {

// The variable of level depth as a fresh polynomial.
poly variable_of_level(std::int32_t depth) {
  imptr one;
  newimag(&one);
  setvalue(1, one);
  poly r = new_leaf(one);
  if (depth >= 1) {
    r = new_term(1, r);
    add_pad(&r, depth - 1);
  }
  return r;
}

}  // namespace

void base_poly(poly* p, std::int32_t depth) {
  free_poly(p);
  *p = variable_of_level(depth);
}

void base_quoly(quolyptr q, std::int32_t depth) {
  free_quoly(q);
  *q = new_ratfun_value(variable_of_level(depth), nullptr);
}

void make_monomial(poly* p, std::int32_t expo, poly cf) {
  if (expo == 0 && cf->numb) {
    *p = cf;
    return;
  }
  *p = new_term(expo, cf);
}

void fluff_out(poly* t, std::int32_t expon) {
  if (expon == 0 && is_bare_leaf(*t)) return;
  *t = new_term(expon, *t);
}

// ---- Lowest power out and back -------------------------------------------------

void sub_expons(poly u, poly* utail, std::int32_t uexp) {
  *utail = nullptr;
  poly prev = nullptr;
  poly t = u;
  for (; t->next != nullptr; prev = t, t = t->next) t->exp = exp_sub(t->exp, uexp);
  if (t->numb) return;  // already a constant term
  if (!is_bare_leaf(t->pcoef)) {
    t->exp = 0;
    return;
  }
  poly leaf = t->pcoef;
  if (prev != nullptr) {
    prev->next = leaf;
    *utail = t;
    return;
  }
  // u is the single term c*x^uexp: u itself becomes the leaf c, and the
  // leaf's node (still pointing at the same number) is kept for the way back.
  u->numb = true;
  u->exp = 0;
  u->ncoef = leaf->ncoef;
  *utail = leaf;
}

void restore_exps(poly u, poly utail, std::int32_t uexp) {
  if (u->numb && utail != nullptr) {  // the single-term case of sub_expons
    u->numb = false;
    u->exp = uexp;
    u->pcoef = utail;
    utail->next = nullptr;
    return;
  }
  poly prev = nullptr;
  poly t = u;
  for (; t->next != nullptr; prev = t, t = t->next) t->exp = exp_add(t->exp, uexp);
  if (utail != nullptr) {
    utail->pcoef = t;
    utail->next = nullptr;
    utail->exp = uexp;
    prev->next = utail;
  } else if (!t->numb) {
    t->exp = uexp;
  }
}

// ---- Removing a level ------------------------------------------------------------

void remove_one(poly* p, std::int32_t depth) {
  if (depth <= 1) {
    poly first = *p;
    if (first->numb) return;
    poly c = first->pcoef;
    first->pcoef = nullptr;
    free_poly(p);
    *p = c;
    return;
  }
  for (poly t = *p; t != nullptr; t = t->next)
    if (!t->numb) remove_one(&t->pcoef, depth - 1);
}

void remove_poly_var(quolyptr q, std::int32_t depth) {
  quoly v = *q;
  if (v->numb) return;
  remove_one(&v->numer, depth);
  if (v->denom != nullptr) remove_one(&v->denom, depth);
}

void delete_poly_name(std::int32_t depth) {
  polypt* link = &polynames;
  for (std::int32_t k = 1; k < depth && *link != nullptr; ++k) link = &(*link)->next;
  polypt r = *link;
  if (r == nullptr) return;
  *link = r->next;
  free_pt(&r);
}

// ---- Laurent shifts ----------------------------------------------------------------

namespace {

// Lowers the cells from `cell` down by what the list p needs (see clear_bads).
void lower_cells(poly p, poly cell, bool every_leaf) {
  poly last = p;
  for (poly t = p; t != nullptr; t = t->next) {
    last = t;
    if (t->numb) {
      if (every_leaf)
        for (poly c = cell; c != nullptr; c = c->next) c->exp = std::min(c->exp, 0);
    } else if (cell->next != nullptr && (every_leaf || !is_bare_leaf(t->pcoef))) {
      lower_cells(t->pcoef, cell->next, every_leaf);
    }
  }
  cell->exp = std::min(cell->exp, last->exp);
}

}  // namespace

void clear_bads(poly* p, poly* exps, poly* tail, std::int32_t value, std::int16_t depth) {
  const std::int32_t limit = depth == 0 ? 16384 : depth;
  std::int32_t levels = 0;
  for (polypt r = polynames; r != nullptr; r = r->next) ++levels;
  poly cells = new_term(value, nullptr);
  poly last = cells;
  for (std::int32_t n = 1; n < limit && n < levels; ++n) {
    last->next = new_term(value, nullptr);
    last = last->next;
  }
  lower_cells(*p, cells, value != 0);

  poly keep = nullptr;
  for (poly c = cells; c != nullptr; c = c->next)
    if (c->exp != 0 && c->exp != value) keep = c;
  *exps = nullptr;
  *tail = nullptr;
  if (keep == nullptr) {
    free_poly(&cells);
    return;
  }
  free_poly(&keep->next);
  *exps = cells;
  *tail = keep;
  eliminate_bads(p, cells, -1);
}

void eliminate_bads(poly* p, poly exps, std::int32_t factor) {
  if (exps == nullptr) return;
  const bool lower = exps->next != nullptr;
  const std::int32_t shift = exps->exp == 0 ? 0 : exp_mul(factor, exps->exp);
  poly* link = p;
  while (*link != nullptr) {
    poly t = *link;
    if (lower) {
      if (t->numb) {  // wrap the leaf so that the lower shifts reach it
        poly w = new_term(0, t, t->next);
        t->next = nullptr;
        *link = t = w;
      }
      eliminate_bads(&t->pcoef, exps->next, factor);
    }
    if (shift != 0) {
      if (t->numb) {
        poly w = new_term(shift, t, t->next);
        t->next = nullptr;
        *link = t = w;
      } else {
        t->exp = exp_add(t->exp, shift);
      }
    }
    if (!t->numb && t->exp == 0 && is_bare_leaf(t->pcoef)) t = detail::unpad_leaf(link);
    link = &t->next;
  }
}

}  // namespace tavrin
