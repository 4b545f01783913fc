// Size estimates (masses) of polynomials and values. Each saturates at its
// fixed value instead of overflowing.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>

#include "core/errors.h"
#include "core/globals.h"
#include "poly/poly_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"

namespace tavrin {

namespace {

constexpr std::int64_t max32 = INT32_MAX;

// The product of the factors, or -1 as soon as a partial product leaves the
// non-negative 32-bit range (where the 32-bit original "turns negative").
// The factors are within 32 bits, so each 64-bit partial product is exact.
std::int64_t product32(std::initializer_list<std::int64_t> factors) {
  std::int64_t r = 1;
  for (std::int64_t f : factors) {
    r *= f;
    if (r < 0 || r > max32) return -1;
  }
  return r;
}

std::int64_t leaf_limbs(poly p) { return lintmode ? 1 : p->ncoef->size; }

// The Laurent weight of a single monomial: the pads above its first real
// level, plus 1, plus that level's depth_below.
std::int32_t monomial_levels(poly n) {
  std::int32_t pads = 0;
  while (!n->numb && n->exp == 0) {
    n = n->pcoef;
    ++pads;
  }
  return pads + 1 + depth_below(n);
}

// The terms of poly_mass and better_poly_mass: the exponent factor and the
// depth factor of a term of exponent e at `depth`.
struct MassRule {
  std::int32_t limit;
  bool better;
  std::int64_t depth_factor(std::int32_t depth) const {
    return better ? (std::int64_t{depth} + 2) / 2 : depth;
  }
  std::int64_t exp_factor(std::int32_t e) const {
    const std::int64_t a = std::llabs(std::int64_t{e});
    return better ? (a + 1) / 2 : a;
  }
};

std::int32_t mass(poly n, std::int32_t multplier, std::int32_t depth, const MassRule& rule) {
  if (n == nullptr) return 0;
  if (laurent && !n->numb && monomial(n)) return monomial_levels(n);
  std::int64_t sum = 0;
  std::int64_t m = multplier;
  for (poly t = n; t != nullptr; t = t->next) {
    std::int64_t add;
    if (t->numb) {
      add = leaf_limbs(t);
    } else if (t->exp == 0) {
      add = mass(t->pcoef, static_cast<std::int32_t>(m), depth, rule);
    } else {
      add = product32({m, rule.depth_factor(depth), rule.exp_factor(t->exp),
                       mass(t->pcoef, 1, depth + 1, rule)});
      if (add < 0) return rule.limit;
    }
    sum += add;
    if (sum > max32 || sum < 0) return rule.limit;
    m = 1;
  }
  return static_cast<std::int32_t>(sum);
}

}  // namespace

std::int32_t poly_mass(poly n, std::int32_t multplier, std::int32_t depth) {
  return mass(n, multplier, depth, MassRule{poly_mass_limit, false});
}

std::int32_t better_poly_mass(poly n, std::int32_t multplier, std::int32_t depth) {
  return mass(n, multplier, depth, MassRule{better_poly_mass_limit, true});
}

std::int32_t full_poly_mass(poly n, std::int32_t multplier, std::int32_t depth) {
  constexpr std::int64_t cap = full_poly_mass_limit;
  std::int64_t sum = 0;
  for (poly t = n; t != nullptr; t = t->next) {
    std::int64_t add;
    if (t->numb) {
      add = lintmode || t->ncoef->size == 0 ? 1 : p_size_of(t);
    } else if (t->exp == 0) {
      add = full_poly_mass(t->pcoef, multplier, depth - 1);
    } else {
      add = product32({std::llabs(std::int64_t{t->exp}),
                       full_poly_mass(t->pcoef, multplier, depth - 1), depth, multplier});
      if (add < 0) return static_cast<std::int32_t>(cap);
    }
    sum += add;
    if (sum < 0 || sum > cap) return static_cast<std::int32_t>(cap);
  }
  return static_cast<std::int32_t>(sum);
}

std::int32_t new_poly_mass(poly n, std::int32_t depth) {
  constexpr std::int64_t cap = new_poly_mass_limit;
  std::int64_t best = 0;
  int k = 0;
  for (poly t = n; t != nullptr && k < 7 && !t->numb; t = t->next, ++k) {
    const std::int64_t v = std::int64_t{t->exp} * depth + new_poly_mass(t->pcoef, depth + 1);
    best = std::max(best, v);
  }
  return static_cast<std::int32_t>(std::min(best, cap));
}

namespace {

// simple_poly_mass with a running total that stops once past `stop`.
void simple_walk(poly n, std::int64_t stop, std::int64_t& total) {
  for (poly t = n; t != nullptr; t = t->next) {
    if (t->numb) {
      total += 31 + (lintmode ? 0 : 8 * std::int64_t{t->ncoef->size});
    } else {
      total += 13;
      simple_walk(t->pcoef, stop, total);
    }
    if (total > stop) return;
  }
}

std::int32_t simple_mass(poly n, std::int64_t stop) {
  std::int64_t total = 0;
  simple_walk(n, stop, total);
  return static_cast<std::int32_t>(std::min(total, max32));
}

}  // namespace

std::int32_t simple_poly_mass(poly n) { return simple_mass(n, max32); }

std::int32_t more_simple_poly_mass(poly n) { return simple_mass(n, 350); }

std::int32_t very_simple_poly_mass(poly n) { return simple_mass(n, 250); }

std::int32_t size_of(std::int32_t value, std::int32_t size) {
  std::int32_t b = -1;
  if (value >= 0) {
    for (std::uint32_t v = static_cast<std::uint32_t>(value); v != 0; v >>= 1) ++b;
  } else {
    b = 0;
    for (std::int32_t k = 28; k >= 0; --k) {
      if ((static_cast<std::uint32_t>(value) & (std::uint32_t{1} << k)) == 0) {
        b = k;
        break;
      }
    }
  }
  return 28 * size - 28 + b;
}

std::int32_t p_size_of(poly p) { return size_of(p->ncoef->head->value, p->ncoef->size); }

namespace {

// 32-bit wrapping sum and product, as the value masses are formed.
std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}
std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

std::int32_t value_mass(quoly q, std::int32_t (*m)(poly, std::int32_t, std::int32_t),
                        const char* complaint) {
  if (q->numb) return lintmode ? 1 : q->ncoef->size;
  if (q->rat && !lintmode) return q->numer->ncoef->size + q->denom->ncoef->size;
  std::int32_t r = m(q->numer, depthnum, 1);
  if (q->denom != nullptr) {
    if (q->denom->numb) {
      const imptr d = q->denom->ncoef;
      const std::int32_t bits = d->size > 0 ? size_of(d->head->value, d->size) : 0;
      r = wrap_add(r, bits / 3 + 1);
    } else {
      r = wrap_add(r, wrap_mul(massnum, m(q->denom, depthnum, 1)));
    }
  }
  if (r < 0) tavrin_error(complaint, false);
  return r;
}

}  // namespace

std::int32_t quoly_mass(quoly q) { return value_mass(q, poly_mass, "quoly_mass < 0."); }

std::int32_t better_quoly_mass(quoly q) {
  return value_mass(q, better_poly_mass, "better_quoly_mass < 0.");
}

}  // namespace tavrin
