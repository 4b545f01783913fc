// The size test that decides whether the modular GCD method is started.
#include <cstdint>

#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "gcd/modular_gcd.h"

namespace tavrin {

namespace {

// The mass of p's top list, counted until it passes `stop`; a coefficient
// polynomial counts 13 plus coef_mass of it.
std::int32_t top_mass(poly p, std::int32_t stop, std::int32_t (*coef_mass)(poly)) {
  std::int32_t mass = 0;
  for (poly t = p; t != nullptr; t = t->next) {
    poly c = t->numb ? t : t->pcoef;
    if (nodes::is_bare_leaf(c) || t->numb) {
      mass += lintmode ? 31 : 31 + 8 * c->ncoef->size;
    } else {
      mass += 13 + coef_mass(c);
    }
    if (mass > stop) return mass;
  }
  return mass;
}

}  // namespace

bool do_mod_method_now(poly u, poly v, std::int32_t mod_deg, bool tried_modular) {
  if (field_depth > 0 && !tried_modular) return false;
  const std::int32_t dv = nodes::degree(v);
  const std::int64_t d = static_cast<std::int64_t>(dv) - mod_deg;
  if (d > mod_method_diff || dv < 6 * d) return true;
  const std::int32_t vmass = top_mass(v, 350, more_simple_poly_mass);
  if (vmass > 280) return true;  // also every mass that passed 350
  if (dv == 1 && vmass < 200) return false;
  if (u == nullptr) return false;
  return top_mass(u, 350, more_simple_poly_mass) > 350;
}

bool mod_do_Chinese(poly u, poly v, std::int32_t mod_deg) {
  const std::int32_t dv = nodes::degree(v);
  const std::int64_t d = static_cast<std::int64_t>(dv) - mod_deg;
  if (d > mod_method_diff || dv < 6 * d) return true;
  const std::int32_t vmass = top_mass(v, 250, very_simple_poly_mass);
  if (vmass > 250) return true;
  if (dv == 1 && vmass < 150) return false;
  if (u == nullptr) return false;
  return top_mass(u, 250, very_simple_poly_mass) > 250;
}

}  // namespace tavrin
