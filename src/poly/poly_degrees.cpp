// Levels and degrees of polynomials.
#include <algorithm>

#include "core/errors.h"
#include "core/globals.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;

namespace {

// A pad: a term of exponent 0 without successor.
bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

std::int16_t as_short(std::int32_t v) { return static_cast<std::int16_t>(v); }

}  // namespace

std::int16_t poly_depth(poly p) {
  for (std::int16_t level = 1;; ++level) {
    if (p->next != nullptr || p->exp != 0) return level;
    if (p->numb) return constant_depth;
    p = p->pcoef;
  }
}

std::int16_t poly_level(poly p) {
  for (std::int16_t level = 1;; ++level) {
    if (p->next != nullptr || p->exp != 0) return level;
    if (p->numb) return 0;
    p = p->pcoef;
  }
}

std::int16_t depth_below(poly p) {
  std::int16_t r = 0;
  for (; p != nullptr; p = p->next)
    if (!p->numb) r = std::max(r, as_short(1 + depth_below(p->pcoef)));
  return r;
}

std::int16_t poly_height(poly p) {
  while (is_pad(p)) p = p->pcoef;
  return depth_below(p);
}

std::int16_t max_below(poly p, std::int16_t d) {
  if (d >= field_depth) return 0;
  std::int16_t r = p->exp != 0 ? d : std::int16_t{0};
  for (poly t = p; t != nullptr; t = t->next)
    if (!t->numb && !is_bare_leaf(t->pcoef)) r = std::max(r, max_below(t->pcoef, as_short(d + 1)));
  return r;
}

std::int16_t quick_depth_below(poly p, std::int16_t depth) {
  if (field_depth == 0) return depth_below(p);
  if (p == nullptr) return 1;
  std::int32_t l = depth;
  if (depth + 1 < field_depth) {
    for (poly t = p; t != nullptr; t = t->next) {
      if (t->numb || is_bare_leaf(t->pcoef)) continue;
      poly c = t->pcoef;
      if (c->exp != 0) l = std::max(l, depth + 1);
      for (poly s = c; s != nullptr; s = s->next)
        if (!s->numb && !is_bare_leaf(s->pcoef))
          l = std::max<std::int32_t>(l, max_below(s->pcoef, as_short(depth + 2)));
    }
  }
  return as_short(l - depth + 1);
}

std::int32_t real_degree(poly p, std::int32_t polydepth) {
  for (std::int32_t k = 1; k < polydepth && !p->numb; ++k) p = p->pcoef;
  return p->exp;
}

std::int32_t real_q_degree(quoly q, std::int32_t polydepth) {
  return q->numb ? 0 : real_degree(q->numer, polydepth);
}

std::int32_t clean_degree(poly u, std::int32_t pd) {
  if (u->numb) return 0;
  for (std::int32_t level = 1; level < pd; ++level) {
    if (u->numb) {
      tavrin_error("bad number node in clean_degree", true);
      return 0;
    }
    if (u->exp != 0) tavrin_error("bad u in clean_degree", true);
    u = u->pcoef;
  }
  return u->exp;
}

void max_degree(poly q, std::int32_t lev, std::int32_t* ans) {
  if (lev <= 1) {
    *ans = std::max(*ans, q->exp);
    return;
  }
  for (poly t = q; t != nullptr; t = t->next) {
    if (t->numb) {
      *ans = std::max(*ans, 0);
    } else {
      max_degree(t->pcoef, lev - 1, ans);
    }
  }
}

std::int32_t sum_degrees(poly p, std::int32_t depth, std::int32_t stop) {
  const std::int32_t e = p->exp;
  if (p->numb || depth == number_polys) return e;
  std::int32_t result = e;
  if (result >= stop) return result;
  const std::int32_t inner_stop = exp_sub(stop, e);
  for (poly t = p; t != nullptr; t = t->next) {
    if (t->numb) continue;
    const std::int32_t b = exp_add(e, sum_degrees(t->pcoef, depth + 1, inner_stop));
    result = std::max(result, b);
    if (result >= stop) return result;
  }
  return result;
}

bool exists_field_element(poly p, std::int32_t d) {
  if (!p->numb && d >= field_depth) return true;
  for (poly t = p; t != nullptr; t = t->next)
    if (!t->numb && exists_field_element(t->pcoef, d + 1)) return true;
  return false;
}

bool both_above_field_depth(poly u, poly v, std::int32_t depth) {
  for (poly w : {u, v}) {
    if (!w->numb && depth >= field_depth) return false;
    for (poly t = w; t != nullptr; t = t->next)
      if (!t->numb && exists_field_element(t->pcoef, depth + 1)) return false;
  }
  return true;
}

bool depth_only_2(poly u) {
  for (poly t = u; t != nullptr && !t->numb; t = t->next) {
    poly c = t->pcoef;
    if (!c->numb && !is_bare_leaf(c->pcoef)) return false;
    poly s = c->next;
    for (int k = 0; k < 3 && s != nullptr; ++k, s = s->next)
      if (!s->numb && !is_bare_leaf(s->pcoef)) return false;
  }
  return true;
}

void poly_level_depth(std::int32_t ulevel, std::int32_t vlevel, std::int32_t total,
                      std::int32_t* lev, std::int32_t* depth) {
  *lev = 2;
  const std::int32_t l = total < 1200 ? 4 : total < 10000 ? 8 : 12;
  *depth = std::min(std::max(ulevel, vlevel), l);
}

namespace {

// Marks the levels (from `level`, p's own) at which a list of p has a head
// exponent > 0.
void mark_head_levels(poly p, std::int32_t level, bool* flags) {
  if (p->numb) return;
  if (p->exp > 0 && level <= max_polys) flags[level] = true;
  for (poly t = p; t != nullptr; t = t->next)
    if (!t->numb) mark_head_levels(t->pcoef, level + 1, flags);
}

// Marks the levels (from `level`, n's own) at which a term of n has a
// non-zero exponent.
void poly_vars(poly n, std::int32_t level, bool* flags) {
  for (poly t = n; t != nullptr; t = t->next) {
    if (t->numb) continue;
    if (t->exp != 0 && level <= max_polys) flags[level] = true;
    poly_vars(t->pcoef, level + 1, flags);
  }
}

}  // namespace

std::int16_t polys_there(poly p, std::int16_t depth) {
  bool flags[max_polys + 2] = {};
  if (depth >= 0 && depth <= max_polys) flags[depth] = true;
  mark_head_levels(p, depth, flags);
  std::int16_t count = 0;
  for (std::int32_t l = std::max<std::int32_t>(depth, 0); l <= max_polys; ++l)
    if (flags[l] && (l <= number_polys || l == depth)) ++count;
  return count;
}

std::int32_t driver_poly_vars(poly n) {
  bool flags[max_polys + 2] = {};
  poly_vars(n, 1, flags);
  std::int32_t count = 0;
  for (bool f : flags) count += f ? 1 : 0;
  return count;
}

}  // namespace tavrin
