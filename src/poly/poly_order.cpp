// Shape tests, the monomial order, cut-off resets and splitting at a power.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"

namespace tavrin {

using tavrin::nodes::is_bare_leaf;
using tavrin::nodes::new_ratfun_value;
using tavrin::nodes::new_term;

// ---- Shape tests ----------------------------------------------------------------------

bool monomial(poly n) {
  for (;; n = n->pcoef) {
    if (n->next != nullptr) return false;
    if (n->numb) return true;
  }
}

bool poly_small(poly n) {
  if (is_bare_leaf(n)) return true;
  while (!n->numb && n->exp == 0 && n->next == nullptr) n = n->pcoef;
  if (n->numb || n->next != nullptr || n->exp <= 0) return false;
  return poly_eq_pm1(n->pcoef);
}

bool poly_eq_pm1(poly p) {
  bool minus;
  return is_bare_leaf(p) && equal_to_pm1(p->ncoef, &minus);
}

namespace {

// What try_fast_2_var learns of one operand's top list.
struct TwoVarShape {
  std::int32_t nodes = 0;
  std::int32_t inner_degree = 0;  // largest head exponent of the coefficients
  std::int32_t last_exp = 0;      // exponent of the last node (0 after a leaf)
};

// Walks p's top list; false at the first coefficient that is not a
// polynomial in the next variable with numeric coefficients.
bool two_var_shape(poly p, TwoVarShape* s) {
  for (poly t = p; t != nullptr; t = t->next) {
    ++s->nodes;
    s->last_exp = t->numb ? 0 : t->exp;
    if (t->numb) continue;
    poly c = t->pcoef;
    if (c->numb) continue;
    for (poly r = c; r != nullptr; r = r->next)
      if (!r->numb && !is_bare_leaf(r->pcoef)) return false;
    s->inner_degree = std::max(s->inner_degree, c->exp);
  }
  return true;
}

bool dense_enough(const TwoVarShape& s, std::int32_t degree) {
  return s.nodes > 25 && 3 * std::int64_t{s.nodes} > std::int64_t{degree} - s.last_exp;
}

}  // namespace

bool try_fast_2_var(poly u, poly v) {
  if (field_depth != 0 || modout_above_field || finf) return false;
  poly big = u;
  poly small = v;
  if (v->exp > u->exp) std::swap(big, small);
  const std::int32_t dl = big->exp;
  const std::int32_t ds = small->exp;
  if (std::int64_t{dl} > 9 * std::int64_t{ds}) return false;
  TwoVarShape l;
  if (!two_var_shape(big, &l)) return false;
  if (!dense_enough(l, dl) || dl > 700 || l.inner_degree > 700) return false;
  TwoVarShape s;
  if (!two_var_shape(small, &s)) return false;
  if (!dense_enough(s, ds)) return false;
  return std::int64_t{dl} + ds <= 700 && std::int64_t{l.inner_degree} + s.inner_degree <= 700;
}

bool all_coefs_numb(poly p, std::int16_t* level) {
  std::int16_t lev = 1;
  for (; p->numb || p->exp == 0; ++lev) {
    if (p->numb) {
      *level = lev;
      tavrin_error("bad number node in all_coefs_numb", true);
      return false;
    }
    p = p->pcoef;
  }
  *level = lev;
  for (poly t = p; t != nullptr; t = t->next)
    if (!t->numb && !is_bare_leaf(t->pcoef)) return false;
  return true;
}

void mult_expons(poly p, std::int32_t n) {
  while (!p->numb && p->exp == 0 && p->next == nullptr) p = p->pcoef;
  for (poly t = p; t != nullptr; t = t->next)
    if (!t->numb) t->exp = exp_mul(t->exp, n);
}

bool anynegs(poly p) {
  for (; p != nullptr; p = p->next) {
    if (p->exp < 0) return true;
    if (!p->numb && anynegs(p->pcoef)) return true;
  }
  return false;
}

// ---- The monomial order ---------------------------------------------------------------

namespace {

// The (relative level, exponent) pairs of the levels of a monomial's chain
// with a positive exponent, top first (at most 150 levels).
using LevelPairs = std::vector<std::pair<std::int32_t, std::int32_t>>;

LevelPairs level_pairs(poly p) {
  LevelPairs r;
  for (std::int32_t level = 1; !p->numb && level <= max_polys; ++level, p = p->pcoef)
    if (p->exp > 0) r.emplace_back(level, p->exp);
  return r;
}

// -1 when a precedes b, 1 when b precedes a, 0 for the same monomial:
// fewer variables first, then the deeper variable, then the smaller exponent.
int compare_pairs(const LevelPairs& a, const LevelPairs& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].first != b[i].first) return a[i].first > b[i].first ? -1 : 1;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i].second != b[i].second) return a[i].second < b[i].second ? -1 : 1;
  return 0;
}

}  // namespace

bool mon_less(poly p, poly q, bool* equal) {
  *equal = false;
  if (is_bare_leaf(p)) return true;
  if (is_bare_leaf(q)) return false;
  const LevelPairs a = level_pairs(p);
  const LevelPairs b = level_pairs(q);
  if (a.empty()) tavrin_error(" Warning! p is illegal, mon_less.", true);
  if (b.empty()) tavrin_error(" Warning! q is illegal, mon_less.", true);
  const int c = compare_pairs(a, b);
  if (c == 0) *equal = true;
  return c <= 0;
}

namespace {

// The order of quoly_mon_less (or_equal false) and quoly_mon_less_eq.
bool value_mon_less(quoly p, quoly q, bool or_equal) {
  if (p->numb) return or_equal || !q->numb;
  if (q->numb) return false;
  if (p->numer->numb) return true;
  if (q->numer->numb) return false;
  const int c = compare_pairs(level_pairs(p->numer), level_pairs(q->numer));
  return c < 0 || (c == 0 && or_equal);
}

}  // namespace

bool quoly_mon_less(quoly p, quoly q) { return value_mon_less(p, q, false); }

bool quoly_mon_less_eq(quoly p, quoly q) { return value_mon_less(p, q, true); }

// ---- Cut-offs and splitting ------------------------------------------------------------

void reset_cutoffs(std::int32_t newvalue) {
  for (polypt r = polynames; r != nullptr; r = r->next)
    if (r->polycut == poly_cutoff) r->polycut = newvalue;
}

namespace {

// The integer held by a number value by mode (floating rounded, word its
// word, big its first limb).
std::int32_t held_integer(imptr n) {
  if (flotemode) return static_cast<std::int32_t>(std::floor(n->flote + 0.5L));
  if (lintmode) return n->lint;
  return n->head->value;
}

// A rational function whose numerator is a single leaf (and no denominator)
// becomes a number value.
void number_if_leaf(quolyptr q) {
  quoly v = *q;
  if (!v->numb && v->denom == nullptr && is_bare_leaf(v->numer)) polynum_to_quoly(q);
}

}  // namespace

void split_poly(quolyptr p, quolyptr m) {
  const std::int32_t k = held_integer((*m)->ncoef);
  setvalue(0, (*m)->ncoef);
  if (k == 0) {
    std::swap(*p, *m);
    return;
  }
  quoly v = *p;
  if (v->numb) return;
  poly* link = &v->numer;
  while (*link != nullptr && (*link)->exp >= k) {
    poly t = *link;
    if (t->numb) {  // only for k < 0: the constant becomes a term of exponent -k
      poly w = new_term(exp_sub(0, k), t, t->next);
      t->next = nullptr;
      *link = t = w;
    } else {
      t->exp = exp_sub(t->exp, k);
      if (t->exp == 0 && is_bare_leaf(t->pcoef)) t = detail::unpad_leaf(link);
    }
    link = &t->next;
  }
  if (*link == nullptr) {  // every node moved
    std::swap(*p, *m);
    number_if_leaf(m);
    return;
  }
  if (link == &v->numer) return;  // nothing moved: *m stays the number 0
  poly moved = v->numer;
  v->numer = *link;
  *link = nullptr;
  free_quoly(m);
  *m = new_ratfun_value(moved, nullptr);
  number_if_leaf(m);
  number_if_leaf(p);
}

}  // namespace tavrin
