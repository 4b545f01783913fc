#include "numbers/invertible.h"

#include "core/globals.h"

namespace tavrin {

namespace {

// A pad term: a term of exponent 0 (it is then the only node of its list).
bool is_pad(poly t) { return t != nullptr && !t->numb && t->exp == 0; }

}  // namespace

bool nogood(poly u, std::int16_t depth, std::int16_t test_depth) {
  if (test_depth == depth + 1 || u == nullptr) return false;
  const auto below = static_cast<std::int16_t>(depth + 1);
  for (poly t = u; t != nullptr; t = t->next) {
    if (t->numb) continue;
    const poly c = t->pcoef;
    if (c == nullptr || c->numb) continue;
    if (c->exp != 0) return true;
    if (c->next == nullptr && nogood(c, below, test_depth)) return true;
  }
  return false;
}

bool all_coefs_invrtble(poly u, std::int16_t depth) {
  if (field_depth == depth + 1 || u == nullptr) return true;
  return !nogood(u, depth, field_depth);
}

bool all_coefs_invrtble_both(poly u, poly v, std::int16_t depth) {
  return all_coefs_invrtble(u, depth) && all_coefs_invrtble(v, depth);
}

bool first_coef_invrtble(poly q, std::int16_t depth) {
  const poly c = q->numb ? q : q->pcoef;
  if (c->numb) return field_depth > 0 || (modularmode && mod_is_prime);
  if (field_depth == 0) return false;
  std::int32_t level = depth + 1;
  for (poly t = c; is_pad(t); t = t->pcoef) ++level;
  return level >= field_depth;
}

bool invertible_coef(poly q, polypt pt) {
  if (q->numb) return false;
  poly c = q;
  for (polypt p = pt; p != nullptr; p = p->next) {
    if (p->depth >= field_depth) return true;
    c = c->pcoef;
    if (c->numb) return false;
  }
  return false;
}

}  // namespace tavrin
